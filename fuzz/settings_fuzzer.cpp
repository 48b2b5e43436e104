// The input bytes loaded as a settings file through a temporary file, as the
// options dialog's Load does, then Apply, then one whole pass into a 1024 x 768
// picture, as lumicurve-render draws it. A pass that would take more than its
// budget of samples is stopped by a stop request at that count, and the stop must
// be honoured: no further sample counted, no frame, the pen put back. An implicit
// pass of more than 2^31 rows or columns starts just before that index, so that
// the budget crosses it.

#include "expr/program.h"
#include "fuzz_report.h"
#include "plot/plotter.h"
#include "settings/plot_settings.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Budgets that let every input finish within a few seconds under the sanitizers:
// an implicit scan sets one pixel per sample (half the default pass); a curve may
// draw a line across the whole picture for each sample; a formula of many nodes
// gets fewer samples.
constexpr std::int64_t kImplicitSamples = 2'000'000;
constexpr std::int64_t kCurveSamples = 50'000;
constexpr std::int64_t kNodeSamples = 60'000'000;

constexpr COLORREF kFrameGreen = RGB(0, 120, 0);

std::string& settingsPath() {
  static std::string path;
  return path;
}

void removeSettingsFile() {
  ::unlink(settingsPath().c_str());
}

// Without recursion: the deepest trees are thousands of nodes deep.
std::int64_t nodeCount(const ExprNode* root) {
  std::vector<const ExprNode*> stack;
  if (root != nullptr) {
    stack.push_back(root);
  }
  std::int64_t count = 0;
  while (!stack.empty()) {
    const ExprNode* n = stack.back();
    stack.pop_back();
    ++count;
    for (const ExprNode* child : {n->left, n->right}) {
      if (child != nullptr) {
        stack.push_back(child);
      }
    }
  }
  return count;
}

// Where a scan of more than 2^31 samples in a column, or of more than 2^31
// columns, would pass index 2^31: the budget reaches it from a start before it.
void startNearBoundary(const PlotState& live, Plotter& plotter) {
  constexpr double kBoundary = 2147483648.0;
  const double rows = (live.yTo - live.yFrom) / live.accuracy;
  const double columns = (live.xTo - live.xFrom) / live.accuracy;
  const auto budget = static_cast<std::int64_t>(plotter.watchAt);
  if (rows > kBoundary + static_cast<double>(budget)) {
    plotter.firstRow = std::int64_t{1} << 31;
    plotter.firstRow -= budget / 2;
  }
  if (columns > kBoundary + 2 && rows < static_cast<double>(budget / 2)) {
    plotter.firstColumn = (std::int64_t{1} << 31) - 1;
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* folder = std::getenv("TMPDIR");
  std::string pattern = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
                        "/lumicurve-fuzz-XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    std::perror("lumicurve settings fuzzer: no temporary file");
    std::exit(1);
  }
  ::close(fd);
  settingsPath() = pattern;
  std::atexit(removeSettingsFile);
  // Apply's messages (a formula error, a refused accuracy) are answered silently.
  WindowSurfaceHooks hooks;
  hooks.messageBox = [](HWND, LPCSTR text, LPCSTR caption, UINT) {
    if (text == nullptr || caption == nullptr) {
      std::fputs("a message box without text or caption\n", stderr);
      std::abort();
    }
    return IDOK;
  };
  SetWindowSurfaceHooks(hooks);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = settingsPath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
    std::perror("lumicurve settings fuzzer: cannot write the temporary file");
    std::abort();
  }

  PlotSettings settings;
  try {
    settings.loadFile(path.c_str());
  } catch (char* message) {
    const RaisedText owned(message);
    // Built step by step: clang 14 crashes on std::string(literal) + path in one expression.
    std::string expected = "этот фаил : "_cp1251;
    expected += path;
    expected += " - не является оригинальным файлом программы Lumicurve"_cp1251;
    if (message == nullptr || expected != message) {
      fuzz::fail(data, size, "Load threw something other than the header message");
    }
    return 0;
  }
  for (int i = 0; i < PlotSettings::TextCount; ++i) {
    const CText& t = *settings.text(i);
    int capacity = i < 14 ? PlotSettings::NumberTextCapacity : PlotSettings::FormulaTextCapacity;
    if (t.capacity != capacity || t.length < 0 || t.length >= capacity ||
        t.buffer[t.length] != '\0' || std::strlen(t.buffer) != static_cast<size_t>(t.length)) {
      fuzz::fail(data, size, "text %d loaded as %d bytes of capacity %d", i, t.length, t.capacity);
    }
  }

  PlotState live;
  Plotter plotter;
  if (!settings.apply(live)) {
    if (live.firstProgram != nullptr || live.secondProgram != nullptr) {
      fuzz::fail(data, size, "a refused Apply installed programs");
    }
    return 0;
  }

  HDC canvas = CreateCompatibleDC(nullptr);
  HBITMAP picture = CreateCompatibleBitmap(canvas, 1024, 768);
  HGDIOBJ previousBitmap = SelectObject(canvas, picture);
  SetROP2(canvas, R2_COPYPEN);
  SetBkMode(canvas, TRANSPARENT);
  PatBlt(canvas, 0, 0, 1024, 768, WHITENESS);
  HPEN mine = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
  HGDIOBJ previousPen = SelectObject(canvas, mine);
  live.canvasDC = canvas;

  std::atomic<bool> stopRequest{false};
  std::int64_t nodes = std::max(nodeCount(live.firstProgram->root), std::int64_t{1}) +
                       nodeCount(live.secondProgram->root);
  const std::int64_t samples =
      live.kind == Explicit || live.kind == Parametric ? kCurveSamples : kImplicitSamples;
  plotter.watchAt = std::max(std::int64_t{1000}, std::min(samples, kNodeSamples / nodes));
  if (live.kind != Explicit && live.kind != Parametric) {
    startNearBoundary(live, plotter);
  }
  bool stopped = false;
  plotter.watch = [&] {
    stopped = true;
    stopRequest = true; // as a key press during the pass would
  };
  plotter.drawAll(stopRequest, live);

  if (stopped && plotter.samplesDone != plotter.watchAt) {
    fuzz::fail(data, size, "the pass went on after the stop request: %lld samples, stop at %lld",
               static_cast<long long>(plotter.samplesDone),
               static_cast<long long>(plotter.watchAt));
  }
  bool framed = GetPixel(canvas, 0, 0) == kFrameGreen && GetPixel(canvas, 1023, 767) == kFrameGreen;
  if (framed == stopped) {
    fuzz::fail(data, size, stopped ? "a stopped pass drew the frame" : "a whole pass has no frame");
  }
  if (SelectObject(canvas, previousPen) != mine) {
    fuzz::fail(data, size, "the pass did not put the device context's pen back");
  }

  DeleteObject(mine);
  SelectObject(canvas, previousBitmap);
  DeleteObject(picture);
  DeleteDC(canvas);
  return 0;
}
