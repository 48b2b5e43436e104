// lumicurve: the interactive plotter.

#include "expr/lexer.h"
#include "options/options_dialog.h"
#include "view/graph_view.h"
#include "view/main_window.h"

#include <QApplication>

#include <cstdlib>

// The program's three static objects, constructed in this order before main and
// destroyed in reverse after it: the lexeme table, the view, the settings.
namespace {
[[maybe_unused]] const CText* const lexemeTable = lexemeNames();
GraphView view;
PlotSettings settings;
} // namespace

int main(int argc, char** argv) {
  // The program has no options, and Qt is not to read its own from the command
  // line (-reverse, -platform, -style ...): it sees the program's name alone.
  // Its environment variables, QT_QPA_PLATFORM and QT_SCALE_FACTOR among them, still count.
  // On a Wayland desktop, natively; where Qt's Wayland platform is missing, through
  // X11 (XWayland) as before. A platform chosen by the user stays chosen.
  if (std::getenv("WAYLAND_DISPLAY") != nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    ::setenv("QT_QPA_PLATFORM", "wayland;xcb", 1);
  }
  static char fallbackName[] = "lumicurve";
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName("Lumicurve");
  // The desktop entry's name: Wayland compositors match the window to its entry and icon by it.
  QApplication::setDesktopFileName("org.lumicurve.Lumicurve");
  setMainWindowView(&view);
  setOptionsDialogTarget(&settings, &view.liveState);
  // The process handle stands in for the instance.
  return runMainWindow(reinterpret_cast<HINSTANCE>(&view), SW_SHOWDEFAULT);
}
