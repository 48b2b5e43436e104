// The implicit pass shared among threads draws what the pass on one thread
// draws: every pixel, the count of samples and where the tracer leaves the pen;
// its threads never share a pixel column; its progress only rises; a stop ends
// every thread within a chunk and leaves no frame.

#include "plot/column_ranges.h"
#include "plot_fixture.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct Scene {
  const char* formula;
  double from, to; // both ranges
  int oX, oY, pixels;
  double accuracy;
};

void setUp(Pass& pass, const Scene& s, GraphKind kind, int threads, bool pruning = true) {
  pass.implicitGraph(s.formula, kind);
  pass.live.setView(s.oX, s.oY, s.from, s.to, s.from, s.to, s.pixels);
  pass.live.accuracy = s.accuracy;
  pass.live.a = 0.5;
  pass.plotter.threads = threads;
  pass.plotter.pruning = pruning;
}

POINT penOf(const Pass& pass) {
  POINT p{};
  MoveToEx(pass.canvas.dc(), 0, 0, &p);
  return p;
}

// The steps of drawAll, with the pen read where the tracer leaves it: the frame,
// drawn last, always ends it at (0, 0).
POINT runReadingThePen(Pass& pass) {
  Plotter& p = pass.plotter;
  p.state.copyFrom(pass.live);
  p.drawAxes();
  p.drawMarks();
  p.traceImplicit(pass.stopRequest);
  const POINT pen = penOf(pass);
  p.drawFrame();
  return pen;
}

TEST(SharedPass, DrawsWhatOneThreadDraws) {
  const Scene scenes[] = {
      {"x^2 + y^2 - 1.0", -2, 2, 400, 380, 100, 0.01},
      {"sin(x*y) - y/3", -4, 4, 400, 380, 60, 0.005},
      // Several samples to a pixel column: ranges end only between pixel columns.
      {"x^2 + y^2 - 1.0", -1, 1, 500, 400, 250, 0.001},
      // Origins off the picture: left and below, right and above (with NaN).
      {"y - x*x*x + a", -3, 3, -150, 900, 80, 0.002},
      {"(0-8)^x - y", -2, 2, 1300, -100, 200, 0.004},
  };
  int pensAway = 0; // pens that the plain scan left away from where the frame ends
  for (const Scene& scene : scenes) {
    for (GraphKind kind : {ImplicitLess, ImplicitEqual, ImplicitGreater}) {
      // The pruned pass, and the plain scan, which leaves the pen at its last mark.
      for (bool pruning : {true, false}) {
        Pass single;
        setUp(single, scene, kind, 1, pruning);
        const POINT singlePen = runReadingThePen(single);
        pensAway += !pruning && (singlePen.x != 0 || singlePen.y != 0);
        for (int threads = 2; threads <= 4; ++threads) {
          SCOPED_TRACE(std::string(scene.formula) + " at " + std::to_string(scene.accuracy) +
                       ", kind " + std::to_string(kind) + ", " + std::to_string(threads) +
                       " threads" + (pruning ? ", pruned" : ""));
          Pass shared;
          setUp(shared, scene, kind, threads, pruning);
          ProgressLog log(shared);
          const POINT sharedPen = runReadingThePen(shared);
          const int differing = differingPixels(single.canvas, shared.canvas);
          EXPECT_EQ(differing, 0);
          EXPECT_EQ(shared.plotter.samplesDone, single.plotter.samplesDone);
          EXPECT_EQ(sharedPen.x, singlePen.x);
          EXPECT_EQ(sharedPen.y, singlePen.y);
          EXPECT_TRUE(log.rising());
          EXPECT_EQ(log.shown.back(), single.plotter.shownPercent);
          if (differing != 0) {
            single.canvas.save("one-thread");
            shared.canvas.save("shared");
            return;
          }
        }
      }
    }
  }
  EXPECT_EQ(pensAway, 15) << "every pass marks pixels; the pens compared are the tracer's";
}

// A block's columns split into the threads' ranges: generated runs of pixel
// columns (non-decreasing, many columns to a pixel, off the canvas at either
// side), dots of one to four device pixels and range lengths. A range whose last
// dot reached the next range's first on the canvas would let two threads write
// into one pixel column.
TEST(SharedPass, RangesEndOnlyBetweenPixelColumns) {
  std::mt19937 random(29);
  for (int trial = 0; trial < 2000; ++trial) {
    const int count = 1 + static_cast<int>(random() % 3000);
    const int width = 1 + static_cast<int>(random() % 400);
    const int least = 1 + static_cast<int>(random() % 60);
    const auto dot = static_cast<std::int32_t>(1 + random() % 4);
    std::vector<std::int32_t> pixel(static_cast<std::size_t>(count));
    std::int32_t p = static_cast<std::int32_t>(random() % (width + 100)) - 50;
    for (std::int32_t& column : pixel) {
      column = p;
      p += random() % 4 == 0 ? static_cast<std::int32_t>(random() % 6) : 0;
    }
    std::vector<std::int32_t> starts(static_cast<std::size_t>(count) + 1, -1);
    const int ranges = splitColumnRanges(
        count, least, width, dot, [&](int i) { return pixel[static_cast<std::size_t>(i)]; },
        starts.data());
    SCOPED_TRACE("trial " + std::to_string(trial));
    ASSERT_GE(ranges, 1);
    ASSERT_EQ(starts[0], 0);
    ASSERT_EQ(starts[static_cast<std::size_t>(ranges)], count);
    for (int r = 0; r < ranges; ++r) {
      const std::int32_t first = starts[static_cast<std::size_t>(r)];
      const std::int32_t end = starts[static_cast<std::size_t>(r) + 1];
      ASSERT_LT(first, end) << "range " << r;
      ASSERT_TRUE(end - first >= least || end == count) << "range " << r << " too short";
      if (end < count) {
        const std::int32_t before = pixel[static_cast<std::size_t>(end) - 1];
        const std::int32_t after = pixel[static_cast<std::size_t>(end)];
        ASSERT_TRUE(after >= before + dot || before <= -dot || before >= width)
            << "the dot of pixel column " << before << " reaches " << after << " (dot " << dot
            << ") across column " << end;
      }
    }
  }
}

TEST(SharedPass, AStopEndsEveryThreadWithinAChunk) {
  // 1.44 million samples; every thread at work long before the stop.
  const Scene scene{"x^2 + y^2 - 1.0", -3, 3, 400, 380, 100, 0.005};
  Pass full;
  setUp(full, scene, ImplicitGreater, 1);
  full.run();
  const std::int64_t all = full.plotter.samplesDone;
  for (int threads : {2, 4}) {
    for (int stopAt : {1, 30, 60}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, stop at " + std::to_string(stopAt) + "%");
      Pass pass;
      setUp(pass, scene, ImplicitGreater, threads);
      ProgressLog log(pass);
      log.stopAt = stopAt;
      pass.run();
      // A thread that missed the stop would go on to the end of the pass.
      log.expectStoppedInTime(full, all / 4);
    }
  }
}

} // namespace
