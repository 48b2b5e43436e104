// lumicurve-render [SETTINGS.ini] OUTPUT.png|.svg|.pdf, or --help, or --version
// Draws the picture the program would show for a settings file (or the
// defaults) and writes it as PNG, or records the same pass and writes it as an
// SVG or PDF document.

#include "expr/program.h"
#include "plot/plotter.h"
#include "render_canvas.h"
#include "settings/plot_settings.h"
#include "surface/png_file.h"
#include "surface/recording.h"
#include "vector/pdf_file.h"
#include "vector/svg_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: lumicurve-render [--size WIDTHxHEIGHT] [--scale N] [SETTINGS.ini] "
    "OUTPUT.png|OUTPUT.svg|OUTPUT.pdf\n"
    "       lumicurve-render --help | --version\n"
    "\n"
    "Draws the graph of a Lumicurve settings file (or of the default settings when\n"
    "none is given) exactly as the program would after Load and Apply, into a\n"
    "picture of 1024 x 768 pixels (or the --size given), and writes it to OUTPUT.\n"
    "A larger picture shows more of the plane at the same scale, as the program's\n"
    "window does when it grows. The extension of OUTPUT picks the format, in any\n"
    "letter case:\n"
    "  .png  the picture, in pixels\n"
    "  .svg  the same drawing as an SVG document, one unit a pixel\n"
    "  .pdf  the same drawing as a one-page PDF, one point a pixel\n"
    "The documents hold lines, filled areas and the axis labels as text, so they\n"
    "scale without loss and the labels can be searched.\n"
    "An existing OUTPUT is given the new content: a symbolic link is followed to its\n"
    "file, which keeps its permissions, owner, group and hard links; a file you may\n"
    "not write, or one that is not a regular file, is left alone.\n"
    "On a terminal the progress of the pass is shown on standard error. Errors (an\n"
    "unknown extension, a settings file that is missing, unreadable or not a\n"
    "settings file, a formula that does not compile, an output that cannot be\n"
    "written) are reported on standard error, one line each, as\n"
    "\"lumicurve-render: FILE: what went wrong\", with exit status 1; then no new\n"
    "file is made and an existing one keeps its content.\n"
    "  --size WIDTHxHEIGHT  the picture's size in pixels, from 64x64 up to 268435456\n"
    "             pixels in all (default 1024x768)\n"
    "  --scale N  the same picture at N times its size, as a screen scaled by N shows\n"
    "             it (N from 1 to 8, such as 2 or 1.5): a PNG file of N times the\n"
    "             pixels with lines, labels and points drawn at them; a document of\n"
    "             the same size as at 1, its lines and points placed N times finer\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "  --         end of options: the names after it may begin with \"-\"\n";

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

// "lumicurve-render: FILE: WHAT" on standard error (without FILE when there is
// none), and the tool ends with status 1.
[[noreturn]] void fail(const std::string& file, const std::string& what) {
  const std::string line = "lumicurve-render: " + (file.empty() ? "" : file + ": ") + what + "\n";
  std::fputs(line.c_str(), stderr);
  std::exit(1);
}

// The program's own text, as the message box would show it, in UTF-8 for the
// terminal; the line end that closes it in a message box gives way to ours.
std::string programText(const char* text) {
  std::string utf8 = cp1251::toUtf8(text != nullptr ? text : "");
  utf8.erase(utf8.find_last_not_of(" \r\n") + 1);
  return utf8;
}

// Arguments arrive in UTF-8; the system keeps its texts, paths among them, in 1251.
std::string toSystemText(const char* utf8) {
  std::string bytes = cp1251::fromUtf8(utf8);
  if (cp1251::toUtf8(bytes) != utf8) {
    fail(utf8, "the name cannot be written in code page 1251");
  }
  return bytes;
}

// Load takes anything it cannot read for a foreign file; a file that is not
// there or not readable is reported as such.
void checkReadable(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    fail(path, std::strerror(errno));
  }
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  if (!regular) {
    fail(path, S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file");
  }
}

std::string settingsName; // as given, for the messages of Apply

// Apply shows its refusal in a message box; here it is a line of the tool's.
int reportMessage(HWND, LPCSTR text, LPCSTR, UINT) {
  const std::string line =
      "lumicurve-render: " + (settingsName.empty() ? "" : settingsName + ": ") + programText(text) +
      "\n";
  std::fputs(line.c_str(), stderr);
  return IDOK;
}

// The picture is never smaller than this on either side.
constexpr long kLeastSide = 64;

// "WIDTHxHEIGHT" in decimal digits, each side at least kLeastSide, the whole
// within what a bitmap may hold; false for anything else.
bool parseSize(const char* text, int& width, int& height) {
  long sides[2] = {0, 0};
  const char* p = text;
  for (int i = 0; i < 2; ++i) {
    const char* start = p;
    while (*p >= '0' && *p <= '9' && p - start < 10) {
      sides[i] = sides[i] * 10 + (*p++ - '0');
    }
    if (p == start || (*p >= '0' && *p <= '9') || *p != (i == 0 ? 'x' : '\0')) {
      return false;
    }
    ++p;
  }
  if (sides[0] < kLeastSide || sides[1] < kLeastSide || sides[0] * sides[1] > kMaxBitmapPixels) {
    return false;
  }
  width = static_cast<int>(sides[0]);
  height = static_cast<int>(sides[1]);
  return true;
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
  std::vector<const char*> names;
  const char* size = nullptr;
  const char* scaleText = nullptr;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (options && std::strcmp(arg, "--") == 0) {
      options = false;
    } else if (options &&
               (std::strcmp(arg, "--size") == 0 || std::strncmp(arg, "--size=", 7) == 0)) {
      size = arg[6] == '=' ? arg + 7 : i + 1 < argc ? argv[++i] : "";
    } else if (options &&
               (std::strcmp(arg, "--scale") == 0 || std::strncmp(arg, "--scale=", 8) == 0)) {
      scaleText = arg[7] == '=' ? arg + 8 : i + 1 < argc ? argv[++i] : "";
    } else if (options && arg[0] == '-' && arg[1] != '\0') {
      if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
      }
      if (std::strcmp(arg, "--version") == 0) {
        std::puts("lumicurve-render " LUMICURVE_VERSION);
        return 0;
      }
      fail(arg, "unknown option; see lumicurve-render --help");
    } else {
      names.push_back(arg);
    }
  }
  if (names.empty() || names.size() > 2 || names.back()[0] == '\0') {
    fail("", "expected [SETTINGS.ini] OUTPUT.png|.svg|.pdf; see lumicurve-render --help");
  }
  int width = 1024;
  int height = 768;
  if (size != nullptr && !parseSize(size, width, height)) {
    fail(size, "not a picture size; give WIDTHxHEIGHT in pixels, each side at least 64 and "
               "268435456 pixels at most");
  }
  double scale = 1;
  if (scaleText != nullptr && !parseScale(scaleText, scale)) {
    fail(scaleText, "not a scale; give a number from 1 to 8, such as 2 or 1.5");
  }
  const char* output = names.back();
  const Format format = formatOf(output);
  if (format == Format::Unknown) {
    fail(output, "cannot tell the format from the name; it must end in .png, .svg or .pdf");
  }
  // A file-size limit is then a write that fails and is reported, not the end of the tool.
  std::signal(SIGXFSZ, SIG_IGN);
  WindowSurfaceHooks hooks;
  hooks.messageBox = reportMessage;
  SetWindowSurfaceHooks(hooks);

  PlotSettings settings;
  if (names.size() == 2) {
    settingsName = names[0];
    std::string path = toSystemText(names[0]);
    checkReadable(names[0]);
    std::strncpy(settings.fileName, path.c_str(), sizeof settings.fileName - 1);
    std::string refused;
    try {
      settings.loadFile(path.c_str());
    } catch (char* message) {
      const RaisedText text(message);
      refused = programText(text.get());
    }
    if (!refused.empty()) {
      fail(names[0], refused);
    }
  }

  PlotState live;
  live.width = width; // before Apply, which works out the visible ranges
  live.height = height;
  Plotter plotter;
  if (!settings.apply(live)) {
    return 1; // the message box has written the message
  }

  // A document records the very calls that would set the picture's pixels.
  RenderCanvas canvas(format == Format::Png, width, height, scale);
  if (!canvas.ok()) {
    fail(scaleText != nullptr ? scaleText : "",
         scale > 1 ? "the picture at this scale would be larger than 268435456 pixels"
                   : "no picture of this size can be made");
  }
  live.canvasDC = canvas.dc();

  bool terminal = ::isatty(STDERR_FILENO) != 0;
  if (terminal) {
    progressPlotter = &plotter;
    hooks.getDC = showProgressOnTerminal;
    SetWindowSurfaceHooks(hooks);
    live.window = reinterpret_cast<HWND>(&live);
  }

  std::atomic<bool> stopRequest{false};
  plotter.drawAll(stopRequest, live);
  if (terminal) {
    std::fputs("\n", stderr);
    hooks.getDC = nullptr;
    SetWindowSurfaceHooks(hooks);
  }

  const FileWriteResult written = format == Format::Png   ? writePng(canvas.picture(), output)
                                  : format == Format::Svg ? writeSvg(canvas.recording(), output)
                                                          : writePdf(canvas.recording(), output);
  live.releasePrograms();
  if (!written) {
    fail(output, written.reason);
  }
  return 0;
}
