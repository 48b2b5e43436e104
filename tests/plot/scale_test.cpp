// A pass on a canvas with a device scale: the plot keeps its logical geometry,
// the curves, marks, lines and labels land on device pixels; at scale 1 the
// device-pixel drawing is the picture drawn in logical pixels, byte for byte.

#include "plot_fixture.h"
#include "surface/recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRedPixel = 0xFF0000;
constexpr std::uint32_t kBlackPixel = 0x000000;
constexpr std::uint32_t kGreenPixel = 0x007800;

// A pass of the plotter into a white bitmap of the logical size at the scale.
struct ScaledPass {
  PlotState live;
  Plotter plotter;
  std::atomic<bool> stopRequest{false};
  CProgram first, second;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  HGDIOBJ old;
  int width = 0, height = 0; // device pixels

  ScaledPass(int w, int h, double scale) : bitmap(CreateScaledBitmap(w, h, scale)) {
    old = SelectObject(dc, bitmap);
    SetROP2(dc, R2_COPYPEN);
    SetBkMode(dc, TRANSPARENT);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
    BitmapBits(bitmap, &width, &height);
    live.width = w;
    live.height = h;
    live.canvasDC = dc;
    live.updateVisibleRanges();
  }
  ~ScaledPass() {
    live.firstProgram = live.secondProgram = nullptr;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void graph(GraphKind kind, const char* f, const char* g = "x") {
    first.compile(CText(f));
    if (kind == Parametric) {
      second.compile(CText(g));
    }
    live.kind = kind;
    live.firstProgram = &first;
    live.secondProgram = &second;
  }
  void run() { plotter.drawAll(stopRequest, live); }
  std::uint32_t at(int x, int y) const {
    return BitmapBits(bitmap, nullptr, nullptr)[static_cast<std::size_t>(y) * width + x];
  }
  std::vector<std::uint32_t> pixels() const {
    const std::uint32_t* p = BitmapBits(bitmap, nullptr, nullptr);
    return {p, p + static_cast<std::size_t>(width) * height};
  }
  // Of the pixels that pass the test in the rectangle (device pixels), the share
  // lying in aligned k x k blocks of such pixels: 1 for a picture of scale 1
  // enlarged k times.
  template <class Test>
  double blockShare(Test test, int k, int left = 0, int top = 0, int right = -1,
                    int bottom = -1) const {
    right = right < 0 ? width : right;
    bottom = bottom < 0 ? height : bottom;
    std::int64_t all = 0, inBlocks = 0;
    for (int y = top - top % k; y + k <= bottom; y += k) {
      for (int x = left - left % k; x + k <= right; x += k) {
        int n = 0;
        for (int i = 0; i < k * k; ++i) {
          n += test(at(x + i % k, y + i / k)) ? 1 : 0;
        }
        all += n;
        inBlocks += n == k * k ? n : 0;
      }
    }
    return all > 0 ? static_cast<double>(inBlocks) / static_cast<double>(all) : 1.0;
  }
};

const double kScales[] = {1.25, 1.5, 1.75, 2.0, 3.0};

// The curve's red pixels and the labels' dark ones are device pixels, not the
// blocks of an enlarged picture.
TEST(ScaledPass, CurvesAndLabelsAreDrawnAtDevicePixels) {
  for (int scale : {2, 3}) {
    ScaledPass pass(1024, 768, scale);
    pass.graph(Explicit, "x^2 + x + 1");
    pass.run();
    EXPECT_LT(pass.blockShare([](std::uint32_t p) { return p == kRedPixel; }, scale), 0.5) << scale;
    // The labels below the horizontal axis right of the origin, clear of the marks.
    const auto isDark = [](std::uint32_t p) { return (p & 0xFF) < 128; };
    const auto edge = [&](int v) { return static_cast<int>(DeviceEdge(v, scale)); };
    EXPECT_LT(pass.blockShare(isDark, scale, edge(310), edge(306), edge(700), edge(318)), 0.5)
        << scale << ": labels";
  }
}

// A gentle curve is drawn one pen wide in every column it crosses: a band of
// the pen's width, one more where the chain of samples steps to the next row.
TEST(ScaledPass, ACurveIsAsManyDevicePixelsWideAsThePen) {
  for (double scale : kScales) {
    ScaledPass pass(400, 300, scale);
    pass.live.oX = 0;
    pass.live.oY = 200;
    pass.live.xTo = 30; // across the whole canvas
    pass.live.updateVisibleRanges();
    pass.graph(Explicit, "x/4 + 0.3");
    pass.run();
    const int pen = ScaledPenWidth(scale);
    int columns = 0, pixels = 0;
    for (int x = pen; x < pass.width - 2 * pen; ++x) { // inside the frame
      int first = -1, count = 0;
      for (int y = 0; y < pass.height; ++y) {
        if (pass.at(x, y) == kRedPixel) {
          first = first < 0 ? y : first;
          ++count;
        }
      }
      ASSERT_GE(count, pen) << scale << " in column " << x;
      ASSERT_LE(count, pen + 1) << scale << " in column " << x;
      EXPECT_EQ(pass.at(x, first + count - 1), kRedPixel) << "one band";
      ++columns;
      pixels += count;
    }
    EXPECT_LT(static_cast<double>(pixels) / columns, pen + 0.5) << scale;
  }
}

// The axes meet the device pixels of the origin's logical ones; the frame is the
// outermost pen's width of device pixels; the status line keeps logical units.
TEST(ScaledPass, AxesAndFrameLieAtTheScaledPlaces) {
  for (double scale : kScales) {
    ScaledPass pass(400, 300, scale);
    pass.live.oX = 123;
    pass.live.oY = 77;
    pass.live.updateVisibleRanges();
    pass.run();
    const int pen = ScaledPenWidth(scale);
    auto band = [&](int fixed, bool column, std::uint32_t colour) {
      std::vector<int> out;
      for (int i = 0; i < (column ? pass.height : pass.width); ++i) {
        if ((column ? pass.at(fixed, i) : pass.at(i, fixed)) == colour) {
          out.push_back(i);
        }
      }
      return out;
    };
    // Between two marks of the horizontal axis, and of the vertical one.
    const auto rows = band(static_cast<int>(DeviceEdge(123 + 30, scale)), true, kBlackPixel);
    const auto columns = band(static_cast<int>(DeviceEdge(77 + 30, scale)), false, kBlackPixel);
    for (const auto& [ink, logical] : {std::pair{rows, 77}, std::pair{columns, 123}}) {
      ASSERT_EQ(ink.size(), static_cast<std::size_t>(pen)) << scale;
      EXPECT_EQ(ink.back() - ink.front() + 1, pen);
      EXPECT_LT(ink.front(), DeviceEdge(logical + 1, scale)) << scale;
      EXPECT_GE(ink.back(), DeviceEdge(logical, scale)) << scale;
    }
    std::vector<int> edges;
    for (int i = 0; i < pen; ++i) {
      edges.push_back(i);
    }
    for (int i = 0; i < pen; ++i) {
      edges.push_back(pass.height - pen + i);
    }
    EXPECT_EQ(band(pass.width / 3, true, kGreenPixel), edges) << scale << ": top and bottom";
    for (int i = 0; i < 2 * pen; ++i) {
      edges[static_cast<std::size_t>(i)] = i < pen ? i : pass.width - 2 * pen + i;
    }
    EXPECT_EQ(band(pass.height / 3, false, kGreenPixel), edges) << scale << ": left and right";
    pass.live.showStatus(nullptr, 143, 37);
    EXPECT_NE(std::string(pass.live.statusText).find("x = 1.000000, y = 2.000000"),
              std::string::npos)
        << pass.live.statusText;
  }
}

// One sample marks the square of the dot at the device position of the sample,
// shifted by one logical pixel (the pen's width) as at scale 1.
TEST(ScaledPass, AnImplicitMarkLiesAtTheDevicePositionOfItsSample) {
  struct Case {
    double scale, accuracy;
    int column, row, dot;
  } cases[] = {
      {1, 0.01, 312, 294, 1},    // today's pixel: (311, 293) and one below right
      {2, 0.01, 624, 588, 1},    // samples closer than a device pixel: dots of one
      {1.5, 0.01, 468, 441, 1},  // 466.5 and 439.5 truncated, two to the pen
      {1.25, 0.01, 389, 367, 1}, // 388.75 and 366.25, one to the pen
      {2, 0.1, 624, 588, 2},     // samples four device pixels apart: pen-wide dots
      {1.5, 0.05, 468, 441, 2},  // one and a half apart: dots of two leave no gaps
      {3, 0.025, 936, 882, 2},   // one and a half apart at a pen of three
  };
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      ScaledPass pass(400, 400, c.scale);
      pass.graph(ImplicitEqual, "0");
      pass.live.xFrom = 0.55; // canvas x 311
      pass.live.xTo = 0.55 + c.accuracy / 2;
      pass.live.yFrom = 0.35; // canvas y 293
      pass.live.yTo = 0.35 + c.accuracy / 2;
      pass.live.accuracy = c.accuracy;
      pass.plotter.fastPaths = fast;
      pass.plotter.threads = 1;
      pass.run();
      std::vector<std::pair<int, int>> red, expected;
      for (int y = 0; y < pass.height; ++y) {
        for (int x = 0; x < pass.width; ++x) {
          if (pass.at(x, y) == kRedPixel) {
            red.emplace_back(x, y);
          }
        }
      }
      for (int y = c.row; y < c.row + c.dot; ++y) {
        for (int x = c.column; x < c.column + c.dot; ++x) {
          expected.emplace_back(x, y);
        }
      }
      EXPECT_EQ(red, expected) << c.scale << " " << c.accuracy << (fast ? " fast" : " plain");
    }
  }
}

// At a scale the fast scans, on one thread and shared, into pixels and recorded,
// mark what the plain scan marks.
TEST(ScaledPass, ImplicitScansAgreeAtEveryScale) {
  struct Case {
    GraphKind kind;
    const char* formula;
    double accuracy;
  } cases[] = {
      {ImplicitEqual, "x^2 + y^2 - 16", 0.01},
      {ImplicitLess, "x*y - 2", 0.03},
      {ImplicitGreater, "sin(x) - y", 0.07},
      {ImplicitEqual, "x - y", 0.11},
  };
  for (double scale : {1.5, 2.0, 3.0}) {
    for (const Case& c : cases) {
      std::vector<std::uint32_t> pictures[4];
      for (int way = 0; way < 4; ++way) {
        ScaledPass pass(240, 180, scale);
        pass.live.oX = 117;
        pass.live.oY = 93;
        pass.live.pixels = 11;
        pass.live.accuracy = c.accuracy;
        pass.live.xFrom = pass.live.yFrom = -11.3; // partly off the canvas
        pass.live.xTo = pass.live.yTo = 9.7;
        pass.live.updateVisibleRanges();
        pass.graph(c.kind, c.formula);
        pass.plotter.fastPaths = way != 0;
        pass.plotter.threads = way == 2 ? 3 : 1;
        if (way == 3) {
          Recording recording(240, 180, scale);
          HDC dc = CreateRecordingDC(&recording);
          SetBkMode(dc, TRANSPARENT);
          pass.live.canvasDC = dc;
          pass.run();
          DeleteDC(dc);
          ASSERT_TRUE(PlayRecording(recording, pass.dc));
        } else {
          pass.run();
        }
        pictures[way] = pass.pixels();
      }
      for (int way = 1; way < 4; ++way) {
        EXPECT_EQ(pictures[way], pictures[0]) << scale << " " << c.formula << " way " << way;
      }
    }
  }
}

// Settings drawn from a seeded generator: every kind, origins on and off the
// canvas, coarse and fine steps, ranges that cross the edges.
void randomSettings(std::mt19937& random, PlotState& s, const char*& f, const char*& g,
                    GraphKind& kind) {
  static const char* const formulas[] = {"x^2 + x - 1",   "sin(3*x)*4",    "1/x",  "x*y - 1",
                                         "x^2 + y^2 - 4", "a*x + b*y - c", "tg(x)"};
  std::uniform_int_distribution<int> pick(0, 6), origin(-60, 360), kindOf(0, 5);
  std::uniform_real_distribution<double> unit(0, 1);
  kind = static_cast<GraphKind>(kindOf(random)); // 5: no graph
  f = formulas[pick(random)];
  g = formulas[pick(random)];
  s.oX = origin(random);
  s.oY = origin(random);
  s.pixels = 1 + pick(random) * 7;
  s.accuracy = kind >= ImplicitLess && kind <= ImplicitGreater ? 0.02 + unit(random) * 0.3
                                                               : 0.002 + unit(random) * 0.1;
  s.xFrom = -12 + unit(random) * 8;
  s.xTo = s.xFrom + 1 + unit(random) * 15;
  s.yFrom = -12 + unit(random) * 8;
  s.yTo = s.yFrom + 1 + unit(random) * 15;
  s.tFrom = -6 + unit(random) * 3;
  s.tTo = s.tFrom + unit(random) * 9;
  s.a = unit(random) * 2;
  s.b = unit(random) * 2;
  s.c = unit(random) * 2;
  s.updateVisibleRanges();
}

// The device-pixel drawing at scale 1 against the drawing in logical pixels, into
// pixels and into recordings, fast paths and plain ones.
TEST(ScaledPass, AtScaleOneTheDevicePixelDrawingIsTheLogicalOne) {
  std::mt19937 random(2701);
  for (int n = 0; n < 120; ++n) {
    const std::uint32_t seed = random();
    std::string recorded[2];
    std::vector<std::uint32_t> drawn[2];
    for (bool devicePoints : {false, true}) {
      for (bool pixels : {true, false}) {
        std::mt19937 same(seed);
        ScaledPass pass(320, 240, 1);
        const char *f = nullptr, *g = nullptr;
        GraphKind kind = Explicit;
        randomSettings(same, pass.live, f, g, kind);
        pass.graph(kind, f, g);
        pass.plotter.devicePoints = devicePoints;
        pass.plotter.fastPaths = n % 3 != 0;
        if (pixels) {
          pass.run();
          drawn[devicePoints] = pass.pixels();
          continue;
        }
        Recording recording(320, 240);
        HDC dc = CreateRecordingDC(&recording);
        SetBkMode(dc, TRANSPARENT);
        pass.live.canvasDC = dc;
        pass.run();
        DeleteDC(dc);
        std::string& out = recorded[devicePoints];
        for (const RecordedOp& op : recording.ops()) {
          out += std::to_string(op.kind) + ":" + std::to_string(op.colour) + ":" +
                 std::to_string(op.a) + "," + std::to_string(op.b) + "," + std::to_string(op.c) +
                 "," + std::to_string(op.d) + ";";
          if (op.kind == RecordedOp::Marks) {
            for (const MarkRect& r : recording.markRects(op)) {
              out += std::to_string(r.x) + "/" + std::to_string(r.y) + "/" +
                     std::to_string(r.width) + "/" + std::to_string(r.height) + " ";
            }
          }
        }
      }
    }
    ASSERT_EQ(drawn[1], drawn[0]) << "settings " << n;
    ASSERT_EQ(recorded[1], recorded[0]) << "settings " << n;
  }
}

} // namespace
