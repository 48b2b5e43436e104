#pragma once
// A canvas and a drawing pass for the plotter's pixel tests.

#include "../surface/picture_dump.h"
#include "../surface/surface_canvas.h"
#include "expr/program.h"
#include "plot/plotter.h"
#include "surface/surface.h"
#include "window_calls/window_calls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kFrameGreen = RGB(0, 120, 0);

inline bool isDark(COLORREF c) {
  return c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 384;
}

// A white canvas set up as the view sets up its pictures; at() reads a colour as
// GetPixel gives it.
struct Canvas : surface_test::Canvas {
  explicit Canvas(int w = 1024, int h = 768) : surface_test::Canvas(w, h) {
    SetROP2(dc(), R2_COPYPEN);
    SetBkMode(dc(), TRANSPARENT);
  }

  COLORREF at(int x, int y) const { return GetPixel(dc(), x, y); }

  int count(COLORREF colour, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) const {
    x1 = x1 < 0 ? width() : x1;
    y1 = y1 < 0 ? height() : y1;
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        n += at(x, y) == colour ? 1 : 0;
      }
    }
    return n;
  }

  bool anyDark(int x0, int y0, int x1, int y1) const {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        if (isDark(at(x, y))) {
          return true;
        }
      }
    }
    return false;
  }

  // Leaves the picture in the test output folder for a person to look at.
  void save(const std::string& name) const {
    std::string path = dumpPicture(bitmap(), name);
    if (!path.empty()) {
      std::printf("picture written to %s\n", path.c_str());
    }
  }
};

inline int differingPixels(const Canvas& a, const Canvas& b) {
  const std::uint32_t* p = BitmapBits(a.bitmap(), nullptr, nullptr);
  const std::uint32_t* q = BitmapBits(b.bitmap(), nullptr, nullptr);
  int n = 0;
  for (int i = 0; i < a.width() * a.height(); ++i) {
    n += p[i] != q[i] ? 1 : 0;
  }
  return n;
}

// Red pixels of `a` that are not red in `b`: marks a stopped pass had no right to.
inline int strayRed(const Canvas& a, const Canvas& b) {
  const std::uint32_t* p = BitmapBits(a.bitmap(), nullptr, nullptr);
  const std::uint32_t* q = BitmapBits(b.bitmap(), nullptr, nullptr);
  const std::uint32_t red = 0xFF0000; // a bitmap's pixel is 0xRRGGBB
  int n = 0;
  for (int i = 0; i < a.width() * a.height(); ++i) {
    n += p[i] == red && q[i] != red ? 1 : 0;
  }
  return n;
}

// One drawing pass of the plotter over a canvas, with programs owned here.
struct Pass {
  PlotState live;
  Plotter plotter;
  std::atomic<bool> stopRequest{false};
  Canvas canvas;
  CProgram first, second;

  Pass() { live.canvasDC = canvas.dc(); }
  ~Pass() { live.firstProgram = live.secondProgram = nullptr; }

  void compile(CProgram& p, const char* formula) {
    try {
      p.compile(CText(formula));
    } catch (char* message) {
      ADD_FAILURE() << formula << ": " << cp1251::toUtf8(message);
      std::free(message);
    }
  }
  void explicitGraph(const char* f) {
    compile(first, f);
    live.kind = Explicit;
    live.firstProgram = &first;
    live.secondProgram = &second;
  }
  void parametric(const char* horizontal, const char* vertical) {
    compile(first, horizontal);
    compile(second, vertical);
    live.kind = Parametric;
    live.firstProgram = &first;
    live.secondProgram = &second;
  }
  void implicitGraph(const char* f, GraphKind kind) {
    compile(first, f);
    live.kind = kind;
    live.firstProgram = &first;
    live.secondProgram = &second;
  }
  // y = x, the curve (t, t), or the line x - y of an implicit kind.
  void simpleGraph(GraphKind kind) {
    if (kind == Parametric) {
      parametric("x", "x");
    } else if (kind == Explicit) {
      explicitGraph("x");
    } else {
      implicitGraph("x - y", kind);
    }
  }
  void run() { plotter.drawAll(stopRequest, live); }
  // Saves the picture when the test has failed so far.
  void saveIfFailed(const std::string& name) const {
    if (::testing::Test::HasFailure()) {
      canvas.save(name);
    }
  }
};

// The progress texts of a pass, through the window hooks: the percentages shown,
// and a stop requested once a percentage is reached, with the count seen then.
struct ProgressLog {
  static inline ProgressLog* current = nullptr;
  Pass& pass;
  std::vector<int> shown;
  int stopAt = -1;
  std::int64_t doneAtStop = -1;
  std::size_t textsAtStop = 0;

  explicit ProgressLog(Pass& p) : pass(p) {
    current = this;
    WindowSurfaceHooks hooks;
    hooks.getDC = [](HWND) -> HDC {
      ProgressLog& log = *current;
      log.shown.push_back(log.pass.plotter.shownPercent);
      if (log.stopAt >= 0 && log.doneAtStop < 0 && log.shown.back() >= log.stopAt) {
        log.doneAtStop = log.pass.plotter.samplesDone;
        log.textsAtStop = log.shown.size();
        log.pass.stopRequest = true;
      }
      return nullptr;
    };
    SetWindowSurfaceHooks(hooks);
    pass.live.window = reinterpret_cast<HWND>(this);
  }
  ~ProgressLog() {
    SetWindowSurfaceHooks(WindowSurfaceHooks{});
    current = nullptr;
  }
  bool rising() const {
    for (std::size_t i = 1; i < shown.size(); ++i) {
      if (shown[i] <= shown[i - 1]) {
        return false;
      }
    }
    return true;
  }
  // After a pass this log stopped: the stop came, no text followed it, no thread
  // went on for more than `slack` samples after it, the frame was never drawn,
  // and every red pixel is one the whole pass `full` has too.
  void expectStoppedInTime(const Pass& full, std::int64_t slack) const {
    ASSERT_GE(doneAtStop, 0);
    EXPECT_TRUE(rising());
    EXPECT_EQ(shown.size(), textsAtStop) << "no progress after the stop";
    const auto done = static_cast<std::int64_t>(pass.plotter.samplesDone);
    EXPECT_GE(done, doneAtStop);
    EXPECT_LT(done, doneAtStop + slack) << "a thread went on after the stop";
    EXPECT_NE(pass.canvas.at(0, 0), kFrameGreen);
    EXPECT_EQ(strayRed(pass.canvas, full.canvas), 0) << "red only where it belongs";
  }
};
