// lumicurve-render [SETTINGS.ini] OUTPUT.png
// Draws the picture the program would show for a settings file (or the
// defaults) and writes it as PNG.

#include "expr/program.h"
#include "plot/plotter.h"
#include "plot/png_file.h"
#include "settings/plot_settings.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage: lumicurve-render [SETTINGS.ini] OUTPUT.png\n"
    "\n"
    "Draws the graph of a Lumicurve settings file (or of the default settings when\n"
    "none is given) exactly as the program would after Load and Apply, into a\n"
    "1024 x 768 picture, and writes it to OUTPUT.png. On a terminal the progress of\n"
    "the pass is shown on standard error. Errors (a file that is not a settings\n"
    "file, a formula that does not compile, an output that cannot be written) are\n"
    "reported on standard error with exit status 1, and no picture is written.\n";

void fail(const std::string& utf8) {
  std::fprintf(stderr, "%s\n", utf8.c_str());
  std::exit(1);
}

// Arguments arrive in UTF-8; the system keeps its texts, paths among them, in 1251.
std::string toSystemText(const char* utf8) {
  std::string bytes = cp1251::fromUtf8(utf8);
  if (cp1251::toUtf8(bytes) != utf8) {
    fail(std::string("lumicurve-render: the path cannot be written in code page 1251: ") + utf8);
  }
  return bytes;
}

Plotter* progressPlotter = nullptr;

// The pass draws its progress on a window; here the "window" is the terminal.
HDC showProgressOnTerminal(HWND) {
  std::fprintf(stderr, "\rcomplit : %d%%", progressPlotter->shownPercent);
  std::fflush(stderr);
  return nullptr;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 2 || argc > 3 || argv[argc - 1][0] == '\0') {
    std::fputs(kUsage, stderr);
    return 1;
  }
  const char* output = argv[argc - 1];

  PlotSettings settings;
  if (argc == 3) {
    std::string path = toSystemText(argv[1]);
    std::strncpy(settings.fileName, path.c_str(), sizeof settings.fileName - 1);
    try {
      settings.loadFile(path.c_str());
    } catch (char* message) {
      std::string text = cp1251::toUtf8(message);
      std::free(message);
      fail("error: " + text);
    }
  }

  PlotState live;
  Plotter plotter;
  if (!settings.apply(live)) {
    return 1; // the message box has written the message
  }

  const int width = static_cast<int>(live.width);
  const int height = static_cast<int>(live.height);
  HDC canvas = CreateCompatibleDC(nullptr);
  HBITMAP picture = CreateCompatibleBitmap(canvas, width, height);
  HGDIOBJ previous = SelectObject(canvas, picture);
  SetROP2(canvas, R2_COPYPEN);
  SetBkMode(canvas, TRANSPARENT);
  PatBlt(canvas, 0, 0, width, height, WHITENESS);
  live.canvasDC = canvas;

  bool terminal = ::isatty(STDERR_FILENO) != 0;
  if (terminal) {
    progressPlotter = &plotter;
    WindowSurfaceHooks hooks;
    hooks.getDC = showProgressOnTerminal;
    SetWindowSurfaceHooks(hooks);
    live.window = reinterpret_cast<HWND>(&live);
  }

  std::atomic<std::int32_t> scrollX{0}, scrollY{0};
  WorkerContext context(live, plotter, {scrollX, scrollY});
  plotter.drawAll(context, live);
  if (terminal) {
    std::fputs("\n", stderr);
    SetWindowSurfaceHooks(WindowSurfaceHooks{});
  }

  bool written = writePng(picture, output);
  SelectObject(canvas, previous);
  DeleteObject(picture);
  DeleteDC(canvas);
  for (CProgram* program : {live.firstProgram, live.secondProgram}) {
    program->release();
    delete program;
  }
  live.firstProgram = live.secondProgram = nullptr;
  if (!written) {
    fail(cp1251::toUtf8("Фаил не сохранен : "_cp1251) + output);
  }
  return 0;
}
