// The pruned implicit pass draws the plain pass's picture, pixel for pixel, for
// random formulas over the whole language, every kind, views on and off the
// canvas and steps that put samples exactly on zero and on whole numbers, into
// pixels and into recordings, on one thread and shared; it evaluates few samples
// where blocks decide; its progress only rises and a stop ends it.

#include "../expr/formula_generator.h"
#include "plot_fixture.h"
#include "surface/recording.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct View {
  double accuracy;
  double xFrom, xTo, yFrom, yTo;
  int oX, oY, pixels;
};

std::string describe(const std::string& formula, GraphKind kind, const View& v, int threads) {
  char text[400];
  std::snprintf(text, sizeof text,
                "%s kind %d step %g x %g..%g y %g..%g origin %d,%d pixels %d "
                "threads %d",
                formula.c_str(), kind, v.accuracy, v.xFrom, v.xTo, v.yFrom, v.yTo, v.oX, v.oY,
                v.pixels, threads);
  return text;
}

void setUp(Pass& pass, const std::string& formula, GraphKind kind, const View& v, bool pruning,
           int threads) {
  pass.implicitGraph(formula.c_str(), kind);
  pass.live.setView(v.oX, v.oY, v.xFrom, v.xTo, v.yFrom, v.yTo, v.pixels);
  pass.live.accuracy = v.accuracy;
  pass.live.a = 0.5;
  pass.live.b = 2;
  pass.live.c = -1;
  pass.live.d = 0;
  pass.plotter.pruning = pruning;
  pass.plotter.threads = threads;
}

bool samePicture(const Canvas& a, const Canvas& b) {
  return std::memcmp(BitmapBits(a.bitmap(), nullptr, nullptr),
                     BitmapBits(b.bitmap(), nullptr, nullptr),
                     sizeof(std::uint32_t) * static_cast<std::size_t>(a.width() * a.height())) == 0;
}

// The pruned pass and the plain one, kept from case to case so that their
// plotters start their helper threads once.
struct Passes {
  Pass pruned, plain;
};

// Draws the pass pruned and plain; true when both agree in picture and count.
// `pruned` counts the passes the pruned pass drew (rather than its guard's plain scan).
bool expectSame(Passes& p, const std::string& formula, GraphKind kind, const View& v, int threads,
                int& pruned) {
  for (Pass* pass : {&p.pruned, &p.plain}) {
    PatBlt(pass->canvas.dc(), 0, 0, pass->canvas.width(), pass->canvas.height(), WHITENESS);
  }
  setUp(p.pruned, formula, kind, v, true, threads);
  setUp(p.plain, formula, kind, v, false, 1);
  p.pruned.run();
  p.plain.run();
  pruned += p.pruned.plotter.pruned.counts.pruned ? 1 : 0;
  const bool same = samePicture(p.pruned.canvas, p.plain.canvas);
  EXPECT_TRUE(same) << describe(formula, kind, v, threads) << ": "
                    << differingPixels(p.pruned.canvas, p.plain.canvas) << " pixels differ";
  EXPECT_EQ(p.pruned.plotter.samplesDone, p.plain.plotter.samplesDone)
      << describe(formula, kind, v, threads);
  if (!same) {
    p.pruned.canvas.save("pruned-pass");
    p.plain.canvas.save("plain-pass");
  }
  return same;
}

// A view of 400 samples a side at the step, starting on a multiple of it or
// not, from hundreds of samples to a pixel to a dotted grid, placed on the
// canvas, across its edge or off it.
View randomView(std::mt19937_64& rng) {
  const double steps[] = {0.0625, 0.03125, 0.01, 0.002, 0.5};
  std::uniform_int_distribution<int> pick(0, 1 << 20);
  View v{};
  v.accuracy = steps[pick(rng) % 5];
  const double side = 400 * v.accuracy;
  const bool onGrid = pick(rng) % 2 == 0;
  const double shift = onGrid ? 0 : v.accuracy * 0.37;
  v.xFrom = -side * (pick(rng) % 5) / 8 + shift;
  v.yFrom = -side * (pick(rng) % 5) / 8 - shift;
  v.xTo = v.xFrom + side;
  v.yTo = v.yFrom + side * (0.5 + (pick(rng) % 4) / 4.0);
  // Pixels a sample apart: most views put five or more samples on a pixel, which
  // the pruned pass draws; the others take its guard's plain scan.
  const double apart[] = {0.05, 0.12, 0.25, 0.4, 0.4, 0.7, 2.5};
  v.pixels = std::max(1, static_cast<int>(apart[pick(rng) % 7] / v.accuracy));
  // The middle of the ranges somewhere on the canvas or beyond its edges.
  const int targetX = -150 + pick(rng) % 1300, targetY = -150 + pick(rng) % 1000;
  v.oX = targetX - static_cast<int>((v.xFrom + v.xTo) / 2 * v.pixels);
  v.oY = targetY + static_cast<int>((v.yFrom + v.yTo) / 2 * v.pixels);
  return v;
}

TEST(PrunedPass, DrawsThePlainPictureOfRandomFormulas) {
  FormulaGenerator gen(26);
  std::mt19937_64 rng(5);
  const GraphKind kinds[] = {ImplicitLess, ImplicitEqual, ImplicitGreater};
  constexpr int kCases = 300;
  Passes passes;
  int pruned = 0;
  for (int n = 0; n < kCases; ++n) {
    const std::string formula = gen.varying(1 + n % 5);
    const View v = randomView(rng);
    if (!expectSame(passes, formula, kinds[n % 3], v, 1 + n % 2, pruned)) {
      return;
    }
  }
  EXPECT_GT(pruned, kCases / 2) << "most cases must take the pruned pass";
}

TEST(PrunedPass, DrawsThePlainPictureOfSmoothFormulas) {
  const char* formulas[] = {"x^2 + y^2 - 1.0",
                            "sin(x*y) - cos(x+y)",
                            "y - x*x*x + a",
                            "(0-8)^x - y",
                            "tg(y) - 1/x",
                            "x*x - y*y*y + 0.5",
                            "min(x, y) - max(0-x, y*y) + 0.25",
                            "x%2 - y%3",
                            "ln(x*x + y*y)",
                            "x^y - y^x",
                            "abc(x) - y",
                            "sin(x)^2 + cos(y)^2 - 1.2"};
  const View views[] = {
      {0.01, -1.5, 1.5, -1.5, 1.5, 512, 384, 10}, // a hundred samples to a pixel
      {0.01, -2, 2, -2, 2, 512, 384, 40},         // six
      {0.0625, -4, 4, -4, 4, 300, 300, 5},        // samples on zero and whole numbers
      {0.03125, -3, 3, -3, 3, 700, 20, 10},       // ranges across the top edge
      {0.002, 0.3, 1, 0.3, 1, -100, 900, 200},    // the origin off the canvas
      {0.01, 40, 42, 40, 42, 300, 300, 20},       // wholly off the canvas
      {0.5, -30, 30, -30, 30, 512, 384, 5},       // a dotted grid: the plain scan
  };
  const GraphKind kinds[] = {ImplicitLess, ImplicitEqual, ImplicitGreater};
  Passes passes;
  int n = 0, pruned = 0;
  for (const char* f : formulas) {
    for (const View& v : views) {
      for (GraphKind kind : kinds) {
        if (!expectSame(passes, f, kind, v, 1 + n++ % 2, pruned)) {
          return;
        }
      }
    }
  }
  EXPECT_EQ(pruned, n * 6 / 7) << "every view but the dotted grid takes the pruned pass";
}

// On canvases of 1.5, 2 and 3 device pixels to a logical one, where samples mark
// device pixels: the same pictures.
TEST(PrunedPass, DrawsThePlainPictureAtDeviceScales) {
  const char* formulas[] = {"x^2 + y^2 - 16", "sin(x*y) - y/3", "(0-8)^x - y"};
  Passes passes;
  for (double scale : {1.5, 2.0, 3.0}) {
    HDC dcs[2];
    HBITMAP bitmaps[2];
    for (int i = 0; i < 2; ++i) {
      dcs[i] = CreateCompatibleDC(nullptr);
      bitmaps[i] = CreateScaledBitmap(300, 200, scale);
      SelectObject(dcs[i], bitmaps[i]);
      SetROP2(dcs[i], R2_COPYPEN);
      SetBkMode(dcs[i], TRANSPARENT);
    }
    for (const char* f : formulas) {
      for (GraphKind kind : {ImplicitLess, ImplicitEqual, ImplicitGreater}) {
        SCOPED_TRACE(std::string(f) + " kind " + std::to_string(kind) + " scale " +
                     std::to_string(scale));
        std::vector<std::uint32_t> pictures[2];
        for (int i = 0; i < 2; ++i) {
          Pass& pass = i == 0 ? passes.plain : passes.pruned;
          PatBlt(dcs[i], 0, 0, 300, 200, WHITENESS);
          setUp(pass, f, kind, {0.01, -6, 5, -5, 6, 140, 90, 10}, i == 1, 1 + i);
          pass.live.width = 300;
          pass.live.height = 200;
          pass.live.canvasDC = dcs[i];
          pass.live.updateVisibleRanges();
          pass.run();
          int w = 0, h = 0;
          const std::uint32_t* p = BitmapBits(bitmaps[i], &w, &h);
          pictures[i].assign(p, p + static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        }
        EXPECT_TRUE(pictures[0] == pictures[1]);
        EXPECT_TRUE(passes.pruned.plotter.pruned.counts.pruned);
      }
    }
    for (int i = 0; i < 2; ++i) {
      DeleteDC(dcs[i]);
      DeleteObject(bitmaps[i]);
    }
  }
}

// Into a recording, as the renderer draws SVG and PDF documents: the same marks.
TEST(PrunedPass, RecordsThePlainMarks) {
  const char* formulas[] = {"x^2 + y^2 - 4", "sin(x*y) - y/3", "tg(y) - 1/x"};
  for (const char* f : formulas) {
    for (GraphKind kind : {ImplicitLess, ImplicitEqual, ImplicitGreater}) {
      SCOPED_TRACE(std::string(f) + " kind " + std::to_string(kind));
      std::vector<MarkRect> rects[2];
      for (int pruning = 0; pruning < 2; ++pruning) {
        Pass pass;
        setUp(pass, f, kind, {0.005, -4, 4, -3, 3, 400, 380, 40}, pruning == 1, 2);
        Recording recording(1024, 768);
        HDC dc = CreateRecordingDC(&recording);
        SetROP2(dc, R2_COPYPEN);
        SetBkMode(dc, TRANSPARENT);
        pass.live.canvasDC = dc;
        pass.run();
        for (const RecordedOp& op : recording.ops()) {
          if (op.kind == RecordedOp::Marks) {
            rects[pruning] = recording.markRects(op);
          }
        }
        DeleteDC(dc);
      }
      EXPECT_FALSE(rects[0].empty());
      EXPECT_TRUE(rects[0] == rects[1]);
    }
  }
}

// Blocks that decide save nearly every sample; strips whose blocks never decide
// are scanned plainly.
TEST(PrunedPass, EvaluatesFewSamplesWhereBlocksDecide) {
  struct Case {
    const char* formula;
    GraphKind kind;
    double accuracy;
    double mostEvaluated; // share of the samples
    double leastPlain;    // share of the strips scanned plainly
    double range;         // of x and y, from -range
  } cases[] = {
      {"x^2 + y^2 - 1.0", ImplicitEqual, 0.002, 0.002, 0, 10},
      {"x^2 + y^2 - 1.0", ImplicitLess, 0.002, 0.001, 0, 10},
      {"sin(x*y) - cos(x+y)", ImplicitEqual, 0.004, 0.12, 0, 10},
      {"sin(x*y*100)", ImplicitEqual, 0.01, 1.01, 0.8, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.formula);
    Pass pass;
    pass.implicitGraph(c.formula, c.kind);
    pass.live.setView(300, 300, -c.range, c.range, -c.range, c.range, 20);
    pass.live.accuracy = c.accuracy;
    pass.plotter.threads = 1;
    pass.run();
    const PrunedPass::Counts& counts = pass.plotter.pruned.counts;
    EXPECT_TRUE(counts.pruned);
    EXPECT_LT(static_cast<double>(counts.evaluated),
              c.mostEvaluated * static_cast<double>(pass.plotter.samplesDone));
    EXPECT_GE(static_cast<double>(counts.plainStrips),
              c.leastPlain * static_cast<double>(counts.strips));
    EXPECT_EQ(pass.canvas.at(0, 0), kFrameGreen);
  }
}

// Progress rises from the first whole per cent to 100 and never goes back; a stop
// in the middle of a pruned pass shared among threads ends every thread within a
// strip: no progress after it, no frame, red only where the whole pass puts it.
TEST(PrunedPass, ProgressRisesAndAStopEndsASharedPass) {
  const View view{0.004, -10, 10, -10, 10, 300, 300, 20}; // 25 million samples
  const char* wave = "sin(x*y) - cos(x+y)";
  Pass full;
  setUp(full, wave, ImplicitEqual, view, true, 2);
  {
    ProgressLog log(full);
    full.run();
    ASSERT_FALSE(log.shown.empty());
    EXPECT_TRUE(log.rising());
    EXPECT_GE(log.shown.front(), 1);
    EXPECT_EQ(log.shown.back(), 100);
  }
  EXPECT_TRUE(full.plotter.pruned.counts.pruned);
  const std::int64_t all = static_cast<std::int64_t>(full.plotter.samplesDone);
  for (int threads : {2, 4}) {
    for (int stopAt : {1, 30, 60}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, stop at " + std::to_string(stopAt) + "%");
      Pass pass;
      setUp(pass, wave, ImplicitEqual, view, true, threads);
      ProgressLog log(pass);
      log.stopAt = stopAt;
      pass.run();
      // The strips other threads had taken: a thread that missed the stop would go on.
      log.expectStoppedInTime(full, all / 100 * threads);
    }
  }
}

} // namespace
