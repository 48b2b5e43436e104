// The implicit pass shared among threads draws what the pass on one thread
// draws: every pixel, the count of samples and where the pen ends; its progress
// only rises; a stop ends every thread within a chunk and leaves no frame.

#include "plot_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Scene {
  const char* formula;
  double from, to; // both ranges
  int oX, oY, pixels;
  double accuracy;
};

void setUp(Pass& pass, const Scene& s, GraphKind kind, int threads) {
  pass.implicitGraph(s.formula, kind);
  pass.live.setView(s.oX, s.oY, s.from, s.to, s.from, s.to, s.pixels);
  pass.live.accuracy = s.accuracy;
  pass.live.a = 0.5;
  pass.plotter.threads = threads;
}

// Pixels that differ between two canvases of one size; with `redOnly`, only red
// pixels of `a` that are not red in `b`.
int differences(const Canvas& a, const Canvas& b, bool redOnly = false) {
  const std::uint32_t* p = BitmapBits(a.bitmap(), nullptr, nullptr);
  const std::uint32_t* q = BitmapBits(b.bitmap(), nullptr, nullptr);
  const std::uint32_t red = 0xFF0000;
  int n = 0;
  for (int i = 0; i < a.width() * a.height(); ++i) {
    n += redOnly ? p[i] == red && q[i] != red : p[i] != q[i];
  }
  return n;
}

POINT penOf(const Pass& pass) {
  POINT p{};
  MoveToEx(pass.canvas.dc(), 0, 0, &p);
  return p;
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
  for (const Scene& scene : scenes) {
    for (GraphKind kind : {ImplicitLess, ImplicitEqual, ImplicitGreater}) {
      Pass single;
      setUp(single, scene, kind, 1);
      single.run();
      for (int threads = 2; threads <= 4; ++threads) {
        SCOPED_TRACE(std::string(scene.formula) + " at " + std::to_string(scene.accuracy) +
                     ", kind " + std::to_string(kind) + ", " + std::to_string(threads) +
                     " threads");
        Pass shared;
        setUp(shared, scene, kind, threads);
        ProgressLog log(shared);
        shared.run();
        const int differing = differences(single.canvas, shared.canvas);
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(shared.plotter.samplesDone, single.plotter.samplesDone);
        EXPECT_EQ(penOf(shared).x, penOf(single).x);
        EXPECT_EQ(penOf(shared).y, penOf(single).y);
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
      ASSERT_GE(log.doneAtStop, 0);
      EXPECT_TRUE(log.rising());
      EXPECT_EQ(log.shown.size(), log.textsAtStop) << "no progress after the stop";
      EXPECT_GE(pass.plotter.samplesDone, log.doneAtStop);
      // A thread that missed the stop would go on to the end of the pass.
      EXPECT_LT(pass.plotter.samplesDone, log.doneAtStop + all / 4);
      EXPECT_NE(pass.canvas.at(0, 0), kFrameGreen);
      EXPECT_EQ(differences(pass.canvas, full.canvas, true), 0) << "red only where it belongs";
    }
  }
}

} // namespace
