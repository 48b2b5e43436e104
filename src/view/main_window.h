#pragma once
// The program's shell: the main window class and window, the message loop and
// the main window procedure.

#include "settings/plot_settings.h"
#include "view/graph_view.h"
#include "windows/window_services.h"

// The view the main window works on: the program's static one, or a test's own.
void setMainWindowView(GraphView* view);

LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The entry point's steps: register the class, create the window (which runs the
// options dialog to its end), show it, run the loop; the quit message's code.
int runMainWindow(HINSTANCE instance, int showCommand);
