#pragma once
// The options dialog: template 105 over the one settings record and the view's
// live plot state.

#include "plot/plot_state.h"
#include "settings/plot_settings.h"
#include "windows/window_services.h"

// Sent by the options dialog's Apply button to the dialog itself.
inline constexpr UINT WM_APPLYSETTINGS = WM_USER + 1;

// The dialog procedure that the main window gives DialogBoxParamA.
INT_PTR optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The record and the live state that optionsDialogProc works on: the program's
// static objects, or a test's own.
void setOptionsDialogTarget(PlotSettings* settings, PlotState* live);

// The texts of the help buttons and the About box (1251, lines separated by CR LF).
// The key help is also what the main window's F1 key shows.
extern const char* const OperatorHelpText;
extern const char* const KeyHelpText;
extern const char* const RulesText;
extern const char* const AboutText;
