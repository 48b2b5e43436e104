#include "plot/plot_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <thread>

namespace {

struct Ranges {
  double xMin, xMax, yMin, yMax;
};

void expectRanges(const PlotState& s, const Ranges& r) {
  EXPECT_DOUBLE_EQ(s.xMin, r.xMin);
  EXPECT_DOUBLE_EQ(s.xMax, r.xMax);
  EXPECT_DOUBLE_EQ(s.yMin, r.yMin);
  EXPECT_DOUBLE_EQ(s.yMax, r.yMax);
}

TEST(PlotState, StartsWithTheDefaults) {
  PlotState s;
  EXPECT_EQ(s.firstProgram, nullptr);
  EXPECT_EQ(s.secondProgram, nullptr);
  EXPECT_EQ(s.kind, Explicit);
  EXPECT_NE(s.crossPen, nullptr);
  EXPECT_EQ(s.oX, 300.0);
  EXPECT_EQ(s.oY, 300.0);
  EXPECT_EQ(s.width, 1024.0);
  EXPECT_EQ(s.height, 768.0);
  EXPECT_EQ(s.a + s.b + s.c + s.d, 0.0);
  EXPECT_EQ(s.tFrom, -5.0);
  EXPECT_EQ(s.tTo, 5.0);
  EXPECT_EQ(s.accuracy, 0.01);
  EXPECT_EQ(s.pixels, 20.0);
  expectRanges(s, {-10, 10, -10, 10});
}

TEST(PlotState, VisibleRangesAreTheCanvasClampedToTheUserRanges) {
  struct Case {
    const char* name;
    std::function<void(PlotState&)> change;
    Ranges expected;
  } cases[] = {
      {"defaults", [](PlotState&) {}, {-10, 10, -10, 10}},
      {"wide X range: one unit beyond both canvas edges",
       [](PlotState& s) { s.setView(300, 300, -100, 100, -10, 10, 20); },
       {-16, 37.2, -10, 10}},
      {"tall Y range: exactly the canvas height",
       [](PlotState& s) { s.setView(300, 300, -10, 10, -100, 100, 20); },
       {-10, 10, -23.4, 15}},
      {"X range off the canvas: empty",
       [](PlotState& s) { s.setView(300, 300, 50, 60, -10, 10, 20); },
       {50, 37.2, -10, 10}},
      {"pan right 50",
       [](PlotState& s) { s.setView(300, 300, -100, 100, -100, 100, 20), s.pan(50, 0); },
       {-18.5, 34.7, -23.4, 15}},
      {"pan down 50",
       [](PlotState& s) { s.setView(300, 300, -100, 100, -100, 100, 20), s.pan(0, 50); },
       {-16, 37.2, -20.9, 17.5}},
      {"zoom to 40",
       [](PlotState& s) { s.setView(300, 300, -100, 100, -100, 100, 40); },
       {-8.5, 19.1, -11.7, 7.5}},
      {"key Q twice",
       [](PlotState& s) { s.shiftXRange(1.0, 1.0), s.shiftXRange(1.0, 1.0); },
       {-8, 12, -10, 10}},
      {"key S", [](PlotState& s) { s.shiftYRange(-1.0, -1.0); }, {-10, 10, -11, 9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlotState s;
    c.change(s);
    expectRanges(s, c.expected);
  }
}

TEST(PlotState, ZoomNeverGoesBelowOnePixel) {
  struct Case {
    double pixels;
    int step;
    bool accepted;
    double after;
  } cases[] = {
      {3, -3, false, 3}, {4, -3, true, 1},  {1, -1, false, 1}, {2, -1, true, 1},
      {20, 3, true, 23}, {20, 1, true, 21}, {1, 3, true, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.pixels) + " by " + std::to_string(c.step));
    PlotState s;
    s.setView(300, 300, -10, 10, -10, 10, static_cast<int>(c.pixels));
    double originX = s.canvasX(0), originY = s.canvasY(0);
    double xMax = s.xMax;
    EXPECT_EQ(s.zoom(c.step), c.accepted);
    EXPECT_EQ(s.pixels, c.after);
    EXPECT_EQ(s.canvasX(0), originX); // the origin is the fixed point
    EXPECT_EQ(s.canvasY(0), originY);
    if (!c.accepted) {
      EXPECT_EQ(s.xMax, xMax);
    }
  }
  PlotState s;
  s.setView(300, 300, -100, 100, -100, 100, 20);
  ASSERT_TRUE(s.zoom(20));
  EXPECT_DOUBLE_EQ(s.xMax, (1024.0 - 300.0) / 40.0 + 1); // recomputed
}

// The input's changes at the ends of the 32-bit range: each value stays where the
// status line can show it, as the status line then shows it.
TEST(PlotState, InputStopsAtTheEndsOfTheThirtyTwoBitRange) {
  constexpr double kMax = 2147483647.0, kMin = -2147483648.0;
  struct Case {
    const char* name;
    std::function<void(PlotState&)> before;
    std::function<bool(PlotState&)> change;
    bool accepted;
    const char* shown; // a part of the status line after it
  } cases[] = {
      {"zoom +3 at the top", [](PlotState& s) { s.pixels = kMax; },
       [](PlotState& s) { return s.zoom(3); }, false, "pixels=2147483647,"},
      {"zoom +3 past the top", [](PlotState& s) { s.pixels = kMax - 2; },
       [](PlotState& s) { return s.zoom(3); }, false, "pixels=2147483645,"},
      {"zoom +1 to the top", [](PlotState& s) { s.pixels = kMax - 1; },
       [](PlotState& s) { return s.zoom(1); }, true, "pixels=2147483647,"},
      {"pan right stops at the top", [](PlotState& s) { s.oX = kMax - 10; },
       [](PlotState& s) { return s.pan(50, 0), s.oX == kMax; }, true, "oX=2147483647,"},
      {"pan up stops at the bottom", [](PlotState& s) { s.oY = kMin + 10; },
       [](PlotState& s) { return s.pan(0, -50), s.oY == kMin; }, true, "oY=-2147483648,"},
      {"Q past the top", [](PlotState& s) { s.setView(300, 300, -10, kMax, -10, 10, 20); },
       [](PlotState& s) { return s.shiftXRange(1, 1); }, false, "X:(-10,"},
      {"S to the bottom", [](PlotState& s) { s.setView(300, 300, -10, 10, -kMax, 10, 1); },
       [](PlotState& s) { return s.shiftYRange(-1, -1); }, true, "Y(-468,9)"},
      {"S past the bottom", [](PlotState& s) { s.setView(300, 300, -10, 10, kMin, 10, 1); },
       [](PlotState& s) { return s.shiftYRange(-1, -1); }, false, "Y(-468,10)"},
      {"Q that would close the range",
       [](PlotState& s) { s.setView(300, 300, 0.1, std::nextafter(0.1, 1.0), -10, 10, 20); },
       [](PlotState& s) { return s.shiftXRange(1, 1); }, false, "X:(0,0)"},
      {"a past the top",
       [](PlotState& s) {
         s.a = kMax + 0.5;
         s.accuracy = 1;
       },
       [](PlotState& s) { return s.stepVariable(&PlotState::a, +1); }, false, "(a:2147483647,"},
      {"d to the bottom",
       [](PlotState& s) {
         s.d = kMin + 0.5;
         s.accuracy = 1;
       },
       [](PlotState& s) { return s.stepVariable(&PlotState::d, -1); }, true, "d:-2147483648)"},
      {"c past the bottom",
       [](PlotState& s) {
         s.c = kMin;
         s.accuracy = 1;
       },
       [](PlotState& s) { return s.stepVariable(&PlotState::c, -1); }, false, "c:-2147483648,"},
  };
  for (const Case& c : cases) {
    PlotState s;
    c.before(s);
    s.updateVisibleRanges();
    EXPECT_EQ(c.change(s), c.accepted) << c.name;
    s.showStatus(nullptr, 0, 0);
    EXPECT_NE(std::strstr(s.statusText, c.shown), nullptr) << c.name << ": " << s.statusText;
  }
}

TEST(PlotState, SetViewKeepsWhatFailsItsTest) {
  PlotState s;
  s.setView(100, 200, 5, 5, -3, 3, 30); // X range not increasing
  EXPECT_EQ(s.oX, 100);
  EXPECT_EQ(s.oY, 200);
  EXPECT_EQ(s.pixels, 30);
  EXPECT_EQ(s.xFrom, -10);
  EXPECT_EQ(s.xTo, 10);
  EXPECT_EQ(s.yFrom, -3);
  EXPECT_EQ(s.yTo, 3);
  s.setView(0, 0, -1, 1, 4, 2, 0); // pixels 0, Y range reversed
  EXPECT_EQ(s.pixels, 30);
  EXPECT_EQ(s.xFrom, -1);
  EXPECT_EQ(s.yFrom, -3);
  s.setView(0, 0, -1, 1, -1, 1, -5);
  EXPECT_EQ(s.pixels, 30);
  expectRanges(s, {-1, 1, -1, 0});
}

TEST(PlotState, CanvasAndPlotCoordinatesAreInverse) {
  PlotState s;
  EXPECT_EQ(s.canvasX(1.5), 330);
  EXPECT_EQ(s.canvasY(1.5), 270);
  EXPECT_EQ(s.plotX(330), 1.5);
  EXPECT_EQ(s.plotY(270), 1.5);
  EXPECT_DOUBLE_EQ(s.plotX(0), -15);
  EXPECT_DOUBLE_EQ(s.plotY(767), -23.35);
}

TEST(PlotState, CopyFromTakesEverythingButThePenAndTheStatus) {
  PlotState live;
  live.setView(123, 456, -7, 8, -9, 11, 13);
  live.a = 1, live.b = 2, live.c = 3, live.d = 4;
  live.tFrom = -2, live.tTo = 6, live.accuracy = 0.5;
  live.kind = ImplicitGreater;
  live.firstProgram = reinterpret_cast<CProgram*>(0x10);
  live.secondProgram = reinterpret_cast<CProgram*>(0x20);
  live.window = reinterpret_cast<HWND>(0x30);
  live.statusBar = reinterpret_cast<HWND>(0x40);
  std::strcpy(live.statusText, "live status");

  PlotState snapshot;
  std::strcpy(snapshot.statusText, "own status");
  HPEN ownPen = snapshot.crossPen;
  snapshot.copyFrom(live);
  EXPECT_EQ(snapshot.crossPen, ownPen);
  EXPECT_STREQ(snapshot.statusText, "own status");
  EXPECT_EQ(snapshot.firstProgram, live.firstProgram);
  EXPECT_EQ(snapshot.secondProgram, live.secondProgram);
  EXPECT_EQ(snapshot.window, live.window);
  EXPECT_EQ(snapshot.statusBar, live.statusBar);
  EXPECT_EQ(snapshot.kind, ImplicitGreater);
  const double PlotState::*numbers[] = {
      &PlotState::oX,    &PlotState::oY,   &PlotState::width,    &PlotState::height,
      &PlotState::a,     &PlotState::b,    &PlotState::c,        &PlotState::d,
      &PlotState::yFrom, &PlotState::yTo,  &PlotState::xFrom,    &PlotState::xTo,
      &PlotState::tFrom, &PlotState::tTo,  &PlotState::accuracy, &PlotState::pixels,
      &PlotState::xMin,  &PlotState::xMax, &PlotState::yMin,     &PlotState::yMax};
  for (auto field : numbers) {
    EXPECT_EQ(snapshot.*field, live.*field);
  }
  live.firstProgram = live.secondProgram = nullptr; // not owned by the state
}

TEST(PlotState, SnapshotsNeverTearUnderTheChangeLock) {
  PlotState live;
  live.setView(300, 300, -1e6, 1e6, -1e6, 1e6, 20);
  std::atomic<bool> done{false};
  std::thread ui([&] {
    for (int i = 0; i < 20000; ++i) {
      std::lock_guard<std::mutex> lock(live.changeLock);
      live.pan(i % 2 == 0 ? 7 : -7, 0);
    }
    done = true;
  });
  PlotState snapshot;
  int copies = 0;
  while (!done || copies == 0) {
    snapshot.copyFrom(live);
    ++copies;
    // Every snapshot is one consistent state: the visible range follows the origin.
    ASSERT_DOUBLE_EQ(snapshot.xMin, -snapshot.oX / snapshot.pixels - 1);
  }
  ui.join();
}

TEST(Sampling, AdvancesOnlyWithAStepLargerThanTheSpacingAtTheEnds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double from, to, step;
    bool advances;
  } cases[] = {
      {-10, 10, 0.01, true},  {-10, 10, 0, false},          {-10, 10, -0.01, false},
      {-10, 10, nan, false},  {-10, 10, 1e-300, false},     {-10, 10, 1e-15, false},
      {-10, 10, 1e-14, true}, {1e17, 1e17 + 100, 1, false}, {1e15, 1e15 + 100, 1, true},
      {-1e17, 0, 1, false},   {-inf, 0, 1, false},          {0, inf, 1, false},
      {nan, 1, 1, false},     {5, -5, 0.01, true}, // a reversed range samples nothing, but would
                                                   // move
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to) + " by " +
                 std::to_string(c.step));
    EXPECT_EQ(samplingAdvances(c.from, c.to, c.step), c.advances);
  }
}

TEST(Sampling, PixelCoordinatesStayInsideThirtyTwoBits) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double v;
    std::int32_t expected;
  } cases[] = {
      {299.9, 299},
      {-0.5, 0},
      {-1.5, -1},
      {1e300, 1000000000},
      {-1e300, -1000000000},
      {inf, 1000000000},
      {-inf, -1000000000},
      {nan, -1000000000},
      {3e9, 1000000000},
      {-2147483649.0, -1000000000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(pixelOf(c.v), c.expected);
  }
}

} // namespace
