// Implicit passes at the extremes: a column of more than 2^31 samples, reached
// through a start just before index 2^31, draws what the plain scan draws on one
// thread and shared; the percentage of a pass of more than 2^63 samples is true.

#include "plot_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr double kTwo31 = 2147483648.0;

// One column at x = 0 whose rows run from 2^31 - 600 past 2^31 + 500 in whole
// steps, mapped onto the canvas around row 300.
void setUpColumnPastTwo31(Pass& p, const char* formula, GraphKind kind) {
  p.implicitGraph(formula, kind);
  p.live.xFrom = 0;
  p.live.xTo = 1;
  p.live.yFrom = 0;
  p.live.yTo = kTwo31 + 512;
  p.live.accuracy = 1;
  p.live.pixels = 1;
  p.live.oX = 300;
  p.live.oY = kTwo31 + 300;
  p.live.updateVisibleRanges();
  p.plotter.firstRow = (std::int64_t{1} << 31) - 600;
}

TEST(ExtremePass, AColumnPastTwoToThe31DrawsWhatThePlainScanDraws) {
  struct Case {
    const char* formula;
    GraphKind kind;
  } cases[] = {
      {"2*sin(y/9)", ImplicitLess},
      {"y - 2147483647 - 53", ImplicitEqual},
      {"3*cos(y/5) + x", ImplicitGreater},
      {"y*y/2147483647 - 2147483647", ImplicitLess}, // a y-only value in every sample
  };
  for (const Case& c : cases) {
    Pass plain;
    setUpColumnPastTwo31(plain, c.formula, c.kind);
    plain.plotter.fastPaths = false;
    plain.run();
    const std::vector<std::uint32_t> picture = plain.canvas.pixels();
    EXPECT_NE(picture, Canvas().pixels()) << c.formula << " marks nothing";
    for (int threads : {1, 2}) {
      SCOPED_TRACE(std::string(c.formula) + ", threads " + std::to_string(threads));
      Pass fast;
      setUpColumnPastTwo31(fast, c.formula, c.kind);
      fast.plotter.threads = threads;
      fast.run();
      EXPECT_TRUE(fast.canvas.pixels() == picture);
      EXPECT_EQ(fast.plotter.samplesDone, plain.plotter.samplesDone);
      EXPECT_EQ(fast.plotter.samplesDone, 1112);
      fast.saveIfFailed("extreme-column");
    }
  }
}

// The first whole per cent is shown at one hundredth of the samples, for passes
// far beyond 2^63 samples too, and not a sample before.
TEST(ExtremePass, ThePercentageIsTrueForPassesOfAnySize) {
  struct Case {
    double accuracy;
    double from, to; // both ranges
  } cases[] = {
      {0.01, -10, 10},
      {1e-5, -10, 10},
      {1e-9, -10, 10},                 // 4·10^20 samples
      {1e-6, -2147483647, 2147483647}, // 1.8·10^31
      {1, -2147483647, 2147483647},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.accuracy);
    Plotter plotter;
    plotter.state.accuracy = c.accuracy;
    plotter.state.xFrom = plotter.state.yFrom = c.from;
    plotter.state.xTo = plotter.state.yTo = c.to;
    plotter.beginImplicitProgress();
    const long double expected =
        static_cast<long double>(c.to - c.from) * (c.to - c.from) / c.accuracy / c.accuracy;
    EXPECT_NEAR(static_cast<double>(plotter.samplesTotal / expected), 1.0, 1e-9);
    const SampleCount hundredth = (plotter.samplesTotal + 99) / 100;
    plotter.samplesDone = hundredth - 2;
    plotter.stepProgress();
    EXPECT_EQ(plotter.shownPercent, 0);
    plotter.stepProgress();
    EXPECT_EQ(plotter.shownPercent, 1);
    plotter.samplesDone = (plotter.samplesTotal + 1) / 2 - 1;
    plotter.stepProgress();
    EXPECT_EQ(plotter.shownPercent, 50);
  }
}

} // namespace
