#pragma once
// The options dialog: template 105 over the one settings record and the view's
// live plot state.

#include "plot/plot_state.h"
#include "settings/plot_settings.h"
#include "view/window_services.h"

// The dialog procedure that the main window gives DialogBoxParamA.
INT_PTR optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The record and the live state that optionsDialogProc works on: the program's
// static objects, or a test's own.
void setOptionsDialogTarget(PlotSettings* settings, PlotState* live);

// The nine-line key help of the "F1" button and of the main window's F1 key (1251).
extern const char KeyHelpText[];
