// lumicurve: the interactive plotter.

#include "expr/lexer.h"
#include "options/options_dialog.h"
#include "view/graph_view.h"
#include "view/main_window.h"

#include <QApplication>

// The program's three static objects, constructed in this order before main and
// destroyed in reverse after it: the lexeme table, the view, the settings.
namespace {
[[maybe_unused]] const CText* const lexemeTable = lexemeNames();
GraphView view;
PlotSettings settings;
} // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Lumicurve");
  QApplication::setDesktopFileName("lumicurve");
  setMainWindowView(&view);
  setOptionsDialogTarget(&settings, &view.liveState);
  // The command line is not read; the process handle stands in for the instance.
  return runMainWindow(reinterpret_cast<HINSTANCE>(&view), SW_SHOWDEFAULT);
}
