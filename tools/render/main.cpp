// lumicurve-render [OPTION]... [SETTINGS.ini] OUTPUT.png|.svg|.pdf
// Draws the picture the program would show for a settings file (or the
// defaults) and writes it as PNG, or records the same pass and writes it as an
// SVG or PDF document.

#include "command_line.h"
#include "expr/cp1251.h"
#include "expr/program.h"
#include "messages.h"
#include "output_checks.h"
#include "plot/plotter.h"
#include "settings/plot_settings.h"
#include "surface/png_file.h"
#include "surface/recording.h"
#include "vector/pdf_file.h"
#include "vector/svg_file.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

// Arguments arrive in UTF-8; the system keeps its texts, paths among them, in 1251.
std::string toSystemText(const char* utf8) {
  std::string bytes = cp1251::fromUtf8(utf8);
  if (cp1251::toUtf8(bytes) != utf8) {
    fail(utf8, "the name cannot be written in code page 1251");
  }
  return bytes;
}

// As the options dialog's Load: the file's texts into the settings.
void loadSettings(PlotSettings& settings, const char* name, const char* output) {
  const std::string path = toSystemText(name);
  checkReadable(name);
  checkNotTheSettingsFile(name, output);
  std::strncpy(settings.fileName, path.c_str(), sizeof settings.fileName - 1);
  std::string refused;
  try {
    settings.loadFile(path.c_str());
  } catch (char* message) {
    const RaisedText text(message);
    refused = oneLine(text.get());
  }
  if (!refused.empty()) {
    fail(name, refused);
  }
}

// Where the pass draws: a bitmap for PNG, a recording for the documents.
class Canvas {
public:
  Canvas(Format format, PictureSize size, const char* output)
      : recording_(size.width, size.height) {
    if (format == Format::Png) {
      dc_ = CreateCompatibleDC(nullptr);
      picture_ = CreateCompatibleBitmap(dc_, size.width, size.height);
      if (picture_ == nullptr) {
        DeleteDC(dc_);
        const long long mebibytes = (4LL * size.width * size.height + (1 << 20) - 1) >> 20;
        fail(output, "not enough memory for a picture of " + std::to_string(size.width) + "x" +
                         std::to_string(size.height) + " pixels (" + std::to_string(mebibytes) +
                         " MiB); nothing was written");
      }
      previous_ = SelectObject(dc_, picture_);
    } else {
      dc_ = CreateRecordingDC(&recording_);
    }
    SetROP2(dc_, R2_COPYPEN);
    SetBkMode(dc_, TRANSPARENT);
    PatBlt(dc_, 0, 0, size.width, size.height, WHITENESS);
  }
  ~Canvas() {
    if (picture_ != nullptr) {
      SelectObject(dc_, previous_);
      DeleteObject(picture_);
    }
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }

  FileWriteResult write(Format format, const char* output) const {
    return format == Format::Png   ? writePng(picture_, output)
           : format == Format::Svg ? writeSvg(recording_, output)
                                   : writePdf(recording_, output);
  }

private:
  // A document records the very calls that would set the picture's pixels.
  Recording recording_;
  HDC dc_ = nullptr;
  HBITMAP picture_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

Plotter* progressPlotter = nullptr;

// The pass draws its progress on a window; here the "window" is the terminal.
HDC showProgressOnTerminal(HWND) {
  std::fprintf(stderr, "\rcomplit : %d%%", progressPlotter->shownPercent);
  std::fflush(stderr);
  return nullptr;
}

// One complete pass, with its progress on standard error when that is a terminal.
void drawPass(Plotter& plotter, PlotState& live) {
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  const WindowSurfaceHooks quiet = GetWindowSurfaceHooks();
  if (terminal) {
    progressPlotter = &plotter;
    WindowSurfaceHooks hooks = quiet;
    hooks.getDC = showProgressOnTerminal;
    SetWindowSurfaceHooks(hooks);
    live.window = reinterpret_cast<HWND>(&live);
  }
  std::atomic<bool> stopRequest{false};
  plotter.drawAll(stopRequest, live);
  if (terminal) {
    std::fputs("\n", stderr);
    SetWindowSurfaceHooks(quiet);
  }
}

} // namespace

int main(int argc, char** argv) {
  const RenderRequest request = readCommandLine(argc, argv);
  const PictureSize size = pictureSize(request.size);
  const char* output = request.names.back();
  const Format format = formatOf(output);
  if (format == Format::Unknown) {
    fail(output, "cannot tell the format from the name; it must end in .png, .svg or .pdf");
  }
  checkFormatHolds(format, size, output);
  // A file-size limit is then a write that fails and is reported, not the end of the tool.
  std::signal(SIGXFSZ, SIG_IGN);

  PlotSettings settings;
  settings.quoteRefusedNumbers = true;
  const char* settingsName = request.names.size() == 2 ? request.names[0] : nullptr;
  reportProgramMessagesOf(settingsName);
  if (settingsName != nullptr) {
    loadSettings(settings, settingsName, output);
  }
  PlotState live;
  live.width = size.width; // before Apply, which works out the visible ranges
  live.height = size.height;
  if (!settings.apply(live)) {
    return 1; // the message box has written the message
  }

  FileWriteResult written;
  try {
    Plotter plotter;
    const Canvas canvas(format, size, output);
    live.canvasDC = canvas.dc();
    drawPass(plotter, live);
    written = canvas.write(format, output);
  } catch (const std::bad_alloc&) {
    written.reason = "not enough memory to draw the picture; nothing was written";
  }
  live.releasePrograms();
  if (!written) {
    fail(output, written.reason);
  }
  return 0;
}
