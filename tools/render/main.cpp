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
#include "render_canvas.h"
#include "settings/plot_settings.h"
#include "surface/png_file.h"
#include "surface/recording.h"
#include "vector/pdf_file.h"
#include "vector/svg_file.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
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

// The canvas of the pass, or the end of the tool when the memory cannot hold it.
void makeCanvas(std::optional<RenderCanvas>& canvas, Format format, PictureSize size, double scale,
                const char* output) {
  canvas.emplace(format == Format::Png, size.width, size.height, scale);
  if (!canvas->ok()) {
    const std::int64_t width = DeviceEdge(size.width, scale);
    const std::int64_t height = DeviceEdge(size.height, scale);
    const long long mebibytes = (4LL * width * height + (1 << 20) - 1) >> 20;
    fail(output, "not enough memory for a picture of " + std::to_string(width) + "x" +
                     std::to_string(height) + " pixels (" + std::to_string(mebibytes) +
                     " MiB); nothing was written");
  }
}

FileWriteResult writeCanvas(const RenderCanvas& canvas, Format format, const char* output) {
  return format == Format::Png   ? writePng(canvas.picture(), output)
         : format == Format::Svg ? writeSvg(canvas.recording(), output)
                                 : writePdf(canvas.recording(), output);
}

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
  const double scale = pictureScale(request.scale);
  checkFormatHolds(format, size, scale, request.scale, output);
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
    std::optional<RenderCanvas> canvas;
    makeCanvas(canvas, format, size, scale, output);
    live.canvasDC = canvas->dc();
    drawPass(plotter, live);
    written = writeCanvas(*canvas, format, output);
  } catch (const std::bad_alloc&) {
    written.reason = "not enough memory to draw the picture; nothing was written";
  }
  live.releasePrograms();
  if (!written) {
    fail(output, written.reason);
  }
  return 0;
}
