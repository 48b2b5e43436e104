// lumicurve-render [SETTINGS.ini] OUTPUT.png|.svg|.pdf
// Draws the picture the program would show for a settings file (or the
// defaults) and writes it as PNG, or records the same pass and writes it as an
// SVG or PDF document.

#include "expr/program.h"
#include "plot/plotter.h"
#include "settings/plot_settings.h"
#include "surface/png_file.h"
#include "surface/recording.h"
#include "vector/pdf_file.h"
#include "vector/svg_file.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage: lumicurve-render [SETTINGS.ini] OUTPUT.png|OUTPUT.svg|OUTPUT.pdf\n"
    "\n"
    "Draws the graph of a Lumicurve settings file (or of the default settings when\n"
    "none is given) exactly as the program would after Load and Apply, into a\n"
    "1024 x 768 picture, and writes it to OUTPUT. The extension of OUTPUT picks the\n"
    "format, in any letter case:\n"
    "  .png  the picture, 1024 x 768 pixels\n"
    "  .svg  the same drawing as an SVG document, 1024 x 768 units\n"
    "  .pdf  the same drawing as a one-page PDF, 1024 x 768 points\n"
    "The documents hold lines, filled areas and the axis labels as text, so they\n"
    "scale without loss and the labels can be searched.\n"
    "On a terminal the progress of the pass is shown on standard error. Errors (an\n"
    "unknown extension, a file that is not a settings file, a formula that does not\n"
    "compile, an output that cannot be written) are reported on standard error with\n"
    "exit status 1, and nothing is written.\n";

enum class Format { Png, Svg, Pdf, Unknown };

Format formatOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return Format::Unknown;
  }
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return extension == "png"   ? Format::Png
         : extension == "svg" ? Format::Svg
         : extension == "pdf" ? Format::Pdf
                              : Format::Unknown;
}

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
  const Format format = formatOf(output);
  if (format == Format::Unknown) {
    fail(std::string("lumicurve-render: cannot tell the format of ") + output +
         " from its name: it must end in .png, .svg or .pdf");
  }

  PlotSettings settings;
  if (argc == 3) {
    std::string path = toSystemText(argv[1]);
    std::strncpy(settings.fileName, path.c_str(), sizeof settings.fileName - 1);
    std::string refused;
    try {
      settings.loadFile(path.c_str());
    } catch (char* message) {
      const RaisedText text(message);
      refused = cp1251::toUtf8(text.get());
    }
    if (!refused.empty()) {
      fail("error: " + refused);
    }
  }

  PlotState live;
  Plotter plotter;
  if (!settings.apply(live)) {
    return 1; // the message box has written the message
  }

  const int width = static_cast<int>(live.width);
  const int height = static_cast<int>(live.height);
  // A document records the very calls that would set the picture's pixels.
  Recording recording(width, height);
  HDC canvas = nullptr;
  HBITMAP picture = nullptr;
  HGDIOBJ previous = nullptr;
  if (format == Format::Png) {
    canvas = CreateCompatibleDC(nullptr);
    picture = CreateCompatibleBitmap(canvas, width, height);
    previous = SelectObject(canvas, picture);
  } else {
    canvas = CreateRecordingDC(&recording);
  }
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

  std::atomic<bool> stopRequest{false};
  plotter.drawAll(stopRequest, live);
  if (terminal) {
    std::fputs("\n", stderr);
    SetWindowSurfaceHooks(WindowSurfaceHooks{});
  }

  bool written = format == Format::Png   ? writePng(picture, output)
                 : format == Format::Svg ? writeSvg(recording, output)
                                         : writePdf(recording, output);
  if (picture != nullptr) {
    SelectObject(canvas, previous);
    DeleteObject(picture);
  }
  DeleteDC(canvas);
  live.releasePrograms();
  if (!written) {
    fail(cp1251::toUtf8("Фаил не сохранен : "_cp1251) + output);
  }
  return 0;
}
