#include "plot_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

// Pixels of a mark label that differ from `text` drawn alone in the label font at
// the same place; the given column and row (an axis crossing the label) are skipped.
int labelMismatches(const Canvas& c, int x, int y, const std::string& text, int skipColumn = -1,
                    int skipRow = -1) {
  Canvas alone(64, 32);
  HFONT font = CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, RUSSIAN_CHARSET, OUT_CHARACTER_PRECIS,
                           CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, nullptr);
  HGDIOBJ old = SelectObject(alone.dc(), font);
  TextOutA(alone.dc(), 0, 0, text.c_str(), static_cast<int>(text.size()));
  SIZE cell{};
  GetTextExtentPoint32A(alone.dc(), text.c_str(), static_cast<int>(text.size()), &cell);
  SelectObject(alone.dc(), old);
  DeleteObject(font);
  EXPECT_TRUE(alone.anyDark(0, 0, cell.cx, cell.cy)) << "no ink for " << text;
  int differing = 0;
  for (int j = 0; j < cell.cy; ++j) {
    for (int i = 0; i < cell.cx; ++i) {
      if (x + i != skipColumn && y + j != skipRow) {
        differing += c.at(x + i, y + j) != alone.at(i, j) ? 1 : 0;
      }
    }
  }
  return differing;
}

TEST(Plotter, DefaultPictureHasAxesMarksLabelsAndFrame) {
  Pass pass;
  pass.run();
  const Canvas& c = pass.canvas;
  for (int x = 1; x < 1023; ++x) {
    ASSERT_EQ(c.at(x, 300), kBlack) << "horizontal axis at x " << x;
  }
  for (int y = 1; y < 767; ++y) {
    ASSERT_EQ(c.at(300, y), kBlack) << "vertical axis at y " << y;
  }
  for (int v = -10; v <= 10; ++v) {
    SCOPED_TRACE("mark " + std::to_string(v));
    int px = 300 + 20 * v;
    int py = 300 - 20 * v;
    bool expected = v < 10; // the loop is strict: no mark at the range's end
    if (v != 0) {
      for (int k = -4; k <= 5; ++k) { // ten pixels, the end pixel (-5) not drawn
        EXPECT_EQ(c.at(px, 300 + k) == kBlack, expected || k == 0) << "x mark row " << 300 + k;
        EXPECT_EQ(c.at(300 + k - 1, py) == kBlack, expected || k == 1) << "y mark col " << 299 + k;
      }
      EXPECT_NE(c.at(px, 294), kBlack);
      EXPECT_NE(c.at(294, py), kBlack);
    }
    if (expected) {
      // The label reads v in "%d", its cell's top left 3 left of and 5 below the mark.
      EXPECT_EQ(labelMismatches(c, px - 3, 305, std::to_string(v), px), 0) << "x label";
      EXPECT_EQ(labelMismatches(c, 305, py - 5, std::to_string(v), -1, 300), 0) << "y label";
    } else {
      EXPECT_FALSE(c.anyDark(px - 3, 306, px + 20, 319)) << "x label";
      EXPECT_FALSE(c.anyDark(306, py - 5, 330, py + 6)) << "y label";
    }
  }
  for (int x = 0; x < 1024; ++x) {
    ASSERT_EQ(c.at(x, 0), kFrameGreen) << x;
    ASSERT_EQ(c.at(x, 767), kFrameGreen) << x;
  }
  for (int y = 0; y < 768; ++y) {
    ASSERT_EQ(c.at(0, y), kFrameGreen) << y;
    ASSERT_EQ(c.at(1023, y), kFrameGreen) << y;
  }
  EXPECT_EQ(c.count(kRed), 0);
  EXPECT_EQ(c.at(1, 1), kWhite);
  pass.saveIfFailed("default-axes");
}

TEST(Plotter, AxisOnTheCanvasEdgeIsNotDrawn) {
  struct Case {
    int oX, oY;
    bool horizontal, vertical;
  } cases[] = {{300, 0, false, true},    {300, 768, false, true},  {0, 300, true, false},
               {1024, 300, true, false}, {-50, 900, false, false}, {1, 766, true, true}};
  for (const auto& k : cases) {
    SCOPED_TRACE(std::to_string(k.oX) + ", " + std::to_string(k.oY));
    Pass pass;
    pass.live.setView(k.oX, k.oY, -100, 100, -100, 100, 20);
    pass.run();
    const Canvas& c = pass.canvas;
    int row = std::clamp(k.oY, 1, 766), col = std::clamp(k.oX, 1, 1022);
    EXPECT_EQ(c.count(kBlack, 1, row, 1023, row + 1) == 1022, k.horizontal);
    EXPECT_EQ(c.count(kBlack, col, 1, col + 1, 767) == 766, k.vertical);
    // Inside the frame, within 20 pixels of an undrawn axis, where its marks and
    // labels would fall, nothing is dark but the other axis with its own marks and
    // labels (a band around it).
    auto darkNear = [&](int x0, int y0, int x1, int y1) {
      int n = 0;
      for (int y = std::max(y0, 1); y < std::min(y1, 767); ++y) {
        for (int x = std::max(x0, 1); x < std::min(x1, 1023); ++x) {
          bool otherAxis = k.horizontal ? y >= row - 10 && y < row + 25
                                        : k.vertical && x >= col - 10 && x < col + 40;
          n += !otherAxis && isDark(c.at(x, y)) ? 1 : 0;
        }
      }
      return n;
    };
    if (!k.horizontal) {
      EXPECT_EQ(darkNear(0, k.oY - 20, 1024, k.oY + 20), 0) << "marks or labels of OX";
    }
    if (!k.vertical) {
      EXPECT_EQ(darkNear(k.oX - 20, 0, k.oX + 40, 768), 0) << "marks or labels of OY";
    }
    if (!k.horizontal && !k.vertical) {
      EXPECT_EQ(c.count(kBlack), 0);
    }
    if (k.horizontal && k.vertical) {
      EXPECT_EQ(c.at(21, row - 3), kBlack); // a mark of each axis
      EXPECT_EQ(c.at(col + 4, row - 20), kBlack);
    }
    pass.saveIfFailed("edge-axis-" + std::to_string(k.oX) + "-" + std::to_string(k.oY));
  }
}

TEST(Plotter, MarksFollowTheTruncatedStartOfTheVisibleRange) {
  struct Case {
    double xFrom, xTo;
    int firstMark; // -1000: none
  } cases[] = {{3.5, 10, 3}, {-3.5, 10, -3}, {50, 60, -1000}, {-10, 10, -10}};
  for (const auto& k : cases) {
    SCOPED_TRACE(std::to_string(k.xFrom) + ".." + std::to_string(k.xTo));
    Pass pass;
    pass.live.setView(300, 300, k.xFrom, k.xTo, -10, 10, 20);
    pass.explicitGraph("x");
    pass.run();
    const Canvas& c = pass.canvas;
    std::vector<int> marks;
    for (int v = -15; v <= 36; ++v) {
      int px = 300 + 20 * v;
      if (v != 0 && c.at(px, 304) == kBlack && c.at(px, 296) == kBlack) {
        marks.push_back(v);
      }
    }
    if (k.firstMark == -1000) {
      EXPECT_TRUE(marks.empty());
      EXPECT_EQ(c.count(kRed), 0);       // no explicit graph on an empty visible range
      EXPECT_EQ(c.at(700, 300), kBlack); // the axis itself is drawn
    } else {
      ASSERT_FALSE(marks.empty());
      EXPECT_EQ(marks.front(), k.firstMark == 0 ? 1 : k.firstMark);
      EXPECT_EQ(marks.back(), static_cast<int>(std::ceil(k.xTo)) - 1);
    }
  }
}

TEST(Plotter, ExplicitGraphPassesThroughItsValues) {
  Pass pass;
  pass.explicitGraph("a*x^2 + b*x + c");
  pass.live.a = pass.live.b = pass.live.c = 1.0;
  pass.run();
  const Canvas& c = pass.canvas;
  for (int x = -4; x <= 3; ++x) {
    double y = x * x + x + 1;
    int px = 300 + 20 * x, py = static_cast<int>(300 - 20 * y);
    SCOPED_TRACE("x = " + std::to_string(x));
    EXPECT_GT(c.count(kRed, px - 1, py - 1, px + 2, py + 2), 0);
  }
  EXPECT_EQ(c.count(kRed, 0, 301, 1024, 768), 0); // the parabola never goes below 0.75
  EXPECT_EQ(c.at(0, 0), kFrameGreen);
  pass.saveIfFailed("explicit-parabola");
}

TEST(Plotter, ExplicitGraphEvaluatesWithYEqualToX) {
  Pass withX, withY;
  withX.explicitGraph("x*x/5 - x");
  withY.explicitGraph("y*x/5 - y");
  withX.run();
  withY.run();
  EXPECT_EQ(differingPixels(withX.canvas, withY.canvas), 0);
  EXPECT_GT(withX.canvas.count(kRed), 100);
}

TEST(Plotter, PolesAndNonNumbersGiveClippedLinesOnly) {
  const char* formulas[] = {"1/x", "tg(x*3)", "x^1.5", "10^(x*100)", "0-10^(x*100)", "ln(x)*10^9"};
  for (const char* f : formulas) {
    SCOPED_TRACE(f);
    Pass pass;
    pass.explicitGraph(f);
    pass.run();
    EXPECT_EQ(pass.canvas.at(0, 0), kFrameGreen);
    EXPECT_GT(pass.canvas.count(kRed), 0);
  }
}

TEST(Plotter, ParametricCurveDrawsTheOxFormulaHorizontally) {
  Pass pass;
  pass.parametric("1", "x"); // horizontal 1, vertical t over -5..5
  pass.run();
  const Canvas& c = pass.canvas;
  for (int py = 201; py < 400; ++py) {
    ASSERT_EQ(c.at(320, py), kRed) << py;
  }
  EXPECT_EQ(c.count(kRed), c.count(kRed, 320, 0, 321, 768));
  pass.saveIfFailed("parametric-vertical-line");
}

// Marked samples of x^2 + y^2 - 1 over -2..2 by kind, as plot points.
TEST(Plotter, ImplicitUnitCircleByKind) {
  struct Case {
    GraphKind kind;
    double rMin, rMax; // radii of the marked samples
  } cases[] = {{ImplicitEqual, 0.9, 1.1}, {ImplicitLess, 0.0, 1.0}, {ImplicitGreater, 0.9, 2.9}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.kind);
    Pass pass;
    pass.implicitGraph("x^2 + y^2 - 1.0", k.kind);
    pass.live.setView(300, 300, -2, 2, -2, 2, 20);
    pass.run();
    const Canvas& c = pass.canvas;
    int red = 0;
    for (int py = 250; py < 352; ++py) {
      for (int px = 250; px < 352; ++px) {
        if (c.at(px, py) != kRed) {
          continue;
        }
        ++red;
        // The marked pixel lies one right and one below the sample's pixel.
        double x = (px - 1 - 300) / 20.0, y = (300 - (py - 1)) / 20.0;
        double r = std::hypot(x, y);
        EXPECT_GE(r, k.rMin - 0.08) << px << "," << py;
        EXPECT_LE(r, k.rMax + 0.08) << px << "," << py;
      }
    }
    EXPECT_GT(red, 100);
    EXPECT_EQ(c.count(kRed, 0, 0, 1024, 250), 0); // nothing outside the scanned square
    pass.saveIfFailed("implicit-circle-" + std::to_string(k.kind));
  }
}

TEST(Plotter, ImplicitTestsUseMinusAccuracyForBothInequalities) {
  struct Case {
    const char* formula; // a constant in units of the accuracy (a = accuracy)
    bool less, equal, greater;
  } cases[] = {
      {"0-a*2", true, false, false}, {"0-a", true, true, true},
      {"0", false, true, true},      {"a", false, true, true},
      {"a+a", false, false, true},   {"(0-8)^1.5", false, false, false},
  };
  for (const auto& k : cases) {
    for (auto [kind, expected] :
         {std::pair{ImplicitLess, k.less}, std::pair{ImplicitEqual, k.equal},
          std::pair{ImplicitGreater, k.greater}}) {
      SCOPED_TRACE(std::string(k.formula) + " kind " + std::to_string(kind));
      Pass pass;
      pass.implicitGraph(k.formula, kind);
      pass.live.setView(300, 300, -1, 1, -1, 1, 20);
      pass.live.a = pass.live.accuracy;
      pass.run();
      EXPECT_EQ(pass.canvas.count(kRed) > 0, expected);
    }
  }
}

TEST(Plotter, UnusableAccuracyDrawsNoGraph) {
  const double values[] = {0.0, -0.01, std::numeric_limits<double>::quiet_NaN(), 1e-300,
                           std::numeric_limits<double>::infinity()};
  for (double accuracy : values) {
    for (GraphKind kind : {Explicit, Parametric, ImplicitEqual}) {
      SCOPED_TRACE(std::to_string(accuracy) + " kind " + std::to_string(kind));
      Pass pass;
      pass.simpleGraph(kind);
      pass.live.accuracy = accuracy;
      pass.run();
      EXPECT_EQ(pass.canvas.count(kRed), 0);
      EXPECT_EQ(pass.canvas.at(0, 0), kFrameGreen);
      EXPECT_EQ(pass.canvas.at(600, 300), kBlack);
    }
  }
}

TEST(Plotter, KindOutsideTheTableDrawsAxesMarksAndFrameOnly) {
  for (int kind : {-1, 5, 1000}) {
    SCOPED_TRACE(kind);
    Pass pass;
    pass.implicitGraph("x - y", static_cast<GraphKind>(kind));
    pass.run();
    EXPECT_EQ(pass.canvas.count(kRed), 0);
    EXPECT_EQ(pass.canvas.at(0, 0), kFrameGreen);
    EXPECT_EQ(pass.canvas.at(600, 300), kBlack);
    EXPECT_TRUE(pass.canvas.anyDark(337, 306, 352, 317)); // the label 2
  }
}

TEST(Plotter, MissingProgramsDrawNoGraph) {
  for (GraphKind kind : {Explicit, Parametric, ImplicitLess}) {
    Pass pass;
    pass.live.kind = kind;
    pass.live.firstProgram = kind == Parametric ? &pass.first : nullptr;
    pass.compile(pass.first, "x");
    pass.run();
    EXPECT_EQ(pass.canvas.count(kRed), 0);
    EXPECT_EQ(pass.canvas.at(0, 0), kFrameGreen);
  }
}

// Progress goes to the window through GetDC; these hooks stand in for a window.
struct ProgressWindow {
  static inline ProgressWindow* current = nullptr;
  static constexpr COLORREF kBackground = RGB(255, 255, 0); // shows the blanks' cells
  Canvas picture{400, 40};
  Pass* pass = nullptr;
  std::vector<int> shown;
  std::vector<std::string> texts; // the progress text at each release of the DC
  int stopAt = -1;                // per cent at which the user "presses a key"
  int released = 0;

  explicit ProgressWindow(Pass& p) : pass(&p) {
    current = this;
    SetBkMode(picture.dc(), OPAQUE);
    SetBkColor(picture.dc(), kBackground);
    WindowSurfaceHooks hooks;
    hooks.getDC = [](HWND) -> HDC {
      ProgressWindow& w = *current;
      w.shown.push_back(w.pass->plotter.shownPercent);
      if (w.stopAt >= 0 && w.pass->plotter.shownPercent >= w.stopAt) {
        w.pass->stopRequest = true;
      }
      return w.picture.dc();
    };
    hooks.releaseDC = [](HWND, HDC) -> int {
      ++current->released;
      current->texts.emplace_back(current->pass->plotter.progressText);
      return 1;
    };
    SetWindowSurfaceHooks(hooks);
    p.live.window = reinterpret_cast<HWND>(this);
  }
  ~ProgressWindow() {
    SetWindowSurfaceHooks(WindowSurfaceHooks{});
    current = nullptr;
  }
};

TEST(Plotter, ProgressRisesByWholePerCentsOnTheWindow) {
  struct Case {
    const char* name;
    GraphKind kind;
    int last;
  } cases[] = {{"explicit over 20 units", Explicit, 95},
               {"parametric over 10 units", Parametric, 90},
               {"implicit", ImplicitEqual, 100}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Pass pass;
    pass.simpleGraph(k.kind);
    pass.plotter.threads = 1;     // a shared pass may rise by more than one per cent
    pass.plotter.pruning = false; // and so may a pruned one, a strip at a time
    if (k.kind >= ImplicitLess) {
      pass.live.setView(300, 300, -2, 2, -1, 1, 20);
    }
    ProgressWindow window(pass);
    pass.run();
    ASSERT_FALSE(window.shown.empty());
    EXPECT_EQ(window.shown.front(), 1);
    for (std::size_t i = 1; i < window.shown.size(); ++i) {
      EXPECT_EQ(window.shown[i], window.shown[i - 1] + 1);
    }
    EXPECT_NEAR(window.shown.back(), k.last, 1);
    EXPECT_EQ(window.released, static_cast<int>(window.shown.size()));
    // Each text, byte for byte, drawn at the top left in the window's own font and
    // colours: the same texts drawn there in turn give the same picture.
    Canvas expected{400, 40};
    SetBkMode(expected.dc(), OPAQUE);
    SetBkColor(expected.dc(), ProgressWindow::kBackground);
    ASSERT_EQ(window.texts.size(), window.shown.size());
    for (std::size_t i = 0; i < window.texts.size(); ++i) {
      std::string text = "complit : " + std::to_string(window.shown[i]) + "%       ";
      EXPECT_EQ(window.texts[i], text);
      TextOutA(expected.dc(), 0, 0, text.c_str(), static_cast<int>(text.size()));
    }
    EXPECT_EQ(differingPixels(window.picture, expected), 0);
    EXPECT_EQ(window.picture.at(0, 0), ProgressWindow::kBackground);
    EXPECT_EQ(pass.canvas.at(0, 0), kFrameGreen);
    if (HasFailure()) {
      window.picture.save("progress-text");
      expected.save("progress-text-expected");
    }
  }
}

TEST(Plotter, ParameterRangesThatEndBeforeTheirFirstStep) {
  struct Case {
    const char* name;
    const char *horizontal, *vertical;
    double tFrom, tTo, accuracy;
    int firstRed, lastRed; // columns of the red pixels on row 270; -1: none
  } cases[] = {
      {"reversed range", "x", "x", 5, -5, 0.01, -1, -1},
      // The one sample at t = 3 would lie on the canvas at (360, 240).
      {"empty range", "x", "x", 3, 3, 0.01, -1, -1},
      // Samples at t = 0, 0.25, 0.5, 0.75; none at the end of the range, t = 1.
      {"exact steps", "x*10", "1.5", 0, 1, 0.25, 301, 450},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Pass pass;
    pass.parametric(k.horizontal, k.vertical);
    pass.live.tFrom = k.tFrom;
    pass.live.tTo = k.tTo;
    pass.live.accuracy = k.accuracy;
    ProgressWindow window(pass);
    pass.run();
    const Canvas& c = pass.canvas;
    if (k.firstRed < 0) {
      EXPECT_EQ(c.count(kRed), 0);
      EXPECT_EQ(pass.plotter.samplesDone, 0);
      EXPECT_TRUE(window.shown.empty()); // no progress text either
    } else {
      EXPECT_EQ(c.count(kRed), k.lastRed - k.firstRed + 1);
      EXPECT_EQ(c.count(kRed, k.firstRed, 270, k.lastRed + 1, 271), k.lastRed - k.firstRed + 1);
    }
    // Axes, marks, labels and frame as always.
    EXPECT_EQ(c.at(600, 300), kBlack);
    EXPECT_EQ(c.at(340, 304), kBlack);
    EXPECT_EQ(c.at(296, 260), kBlack);
    EXPECT_EQ(labelMismatches(c, 337, 305, "2", 340), 0);
    EXPECT_EQ(c.at(1023, 767), kFrameGreen);
    pass.saveIfFailed("parametric-range");
  }
}

TEST(Plotter, StopRequestEndsTheTracerWithoutFrame) {
  for (GraphKind kind : {Explicit, Parametric, ImplicitGreater}) {
    SCOPED_TRACE(kind);
    Pass pass;
    pass.plotter.threads = 1;     // exactly one sample after the stop; shared passes stop per chunk
    pass.plotter.pruning = false; // and pruned passes per strip
    pass.simpleGraph(kind);
    if (kind >= ImplicitLess) {
      pass.live.setView(300, 300, -2, 2, -2, 2, 20);
    }
    HPEN mine = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    SelectObject(pass.canvas.dc(), mine);
    ProgressWindow window(pass);
    window.stopAt = 10;
    pass.run();
    EXPECT_EQ(window.shown.back(), 10);
    std::int64_t atStop = pass.plotter.samplesTotal * 10 / 100;
    EXPECT_NEAR(static_cast<double>(pass.plotter.samplesDone), static_cast<double>(atStop), 1.0);
    EXPECT_NE(pass.canvas.at(0, 0), kFrameGreen);
    EXPECT_EQ(SelectObject(pass.canvas.dc(), GetStockObject(BLACK_PEN)), mine);
    DeleteObject(mine);
  }
}

TEST(Plotter, WatchStopsAPassAtItsSampleCount) {
  for (GraphKind kind : {Explicit, Parametric, ImplicitLess}) {
    for (bool fast : {true, false}) {
      SCOPED_TRACE(std::to_string(kind) + (fast ? " fast" : " plain"));
      Pass pass;
      pass.simpleGraph(kind);
      pass.plotter.fastPaths = fast;
      pass.plotter.watchAt = 777; // not a whole per cent of any of these passes
      int calls = 0;
      pass.plotter.watch = [&] {
        ++calls;
        EXPECT_EQ(pass.plotter.samplesDone, 777);
        pass.stopRequest = true;
      };
      ProgressWindow window(pass);
      pass.run();
      EXPECT_EQ(calls, 1);
      EXPECT_EQ(pass.plotter.samplesDone, 777); // the sample after the stop is not counted
      EXPECT_NE(pass.canvas.at(0, 0), kFrameGreen);
      // The percentage rose as ever up to the stop.
      std::vector<int> percents;
      for (int p = 1; p <= 777 * 100 / pass.plotter.samplesTotal; ++p) {
        percents.push_back(p);
      }
      EXPECT_EQ(window.shown, percents);
    }
  }
}

TEST(Plotter, StopRequestBeforeThePassDrawsNothing) {
  Pass pass;
  pass.explicitGraph("x");
  pass.stopRequest = true;
  pass.run();
  EXPECT_EQ(pass.canvas.count(kWhite), 1024 * 768);
}

// The fast paths must give what the plain walk gives: every pixel, every progress
// step, the same count at a stop.
void expectFastEqualsPlain(const std::function<void(Pass&)>& setUp, int stopAt) {
  Pass fast, plain;
  std::vector<int> shown[2];
  std::int64_t counted[2];
  for (int i = 0; i < 2; ++i) {
    Pass& pass = i == 0 ? fast : plain;
    pass.plotter.fastPaths = i == 0;
    pass.plotter.threads = 1;     // the shared pass is compared with this one elsewhere
    pass.plotter.pruning = false; // and so is the pruned pass, whose progress rises by strips
    setUp(pass);
    ProgressWindow window(pass);
    window.stopAt = stopAt;
    pass.run();
    shown[i] = window.shown;
    counted[i] = pass.plotter.samplesDone;
  }
  EXPECT_EQ(shown[0], shown[1]);
  EXPECT_EQ(counted[0], counted[1]);
  int differences = differingPixels(fast.canvas, plain.canvas);
  EXPECT_EQ(differences, 0);
  if (differences != 0) {
    fast.canvas.save("fast-pass");
    plain.canvas.save("plain-pass");
  }
}

TEST(Plotter, FastImplicitScanDrawsWhatThePlainScanDraws) {
  struct Case {
    const char* formula;
    double xFrom, xTo, yFrom, yTo, accuracy;
    int stopAt;
  } cases[] = {
      {"x^2 + y^2 - 1.0", -10, 10, -10, 10, 0.01, -1}, // the default pass
      {"sin(x*y) - y/3", -4, 4, -4, 4, 0.02, -1},
      {"y - x*x*x + a", -3, 3, -3, 3, 0.005, -1},
      {"(0-8)^x - y", -2, 2, -2, 2, 0.01, -1}, // NaN samples
      {"tg(y) - 1/x", -5, 5, -5, 5, 0.02, 37},
      {"y*y - x", -0.1, 0.1, -50, 50, 0.0105, -1}, // rows longer than the kept part
      {"2", -1, 1, -1, 1, 0.05, -1},
      {"x", -1, 1, -1, 1, 0.5, 50},
  };
  for (const auto& c : cases) {
    for (GraphKind kind : {ImplicitLess, ImplicitEqual, ImplicitGreater}) {
      if (c.accuracy == 0.01 && c.xTo == 10 && kind != ImplicitEqual) {
        continue; // one full-size pass is enough
      }
      SCOPED_TRACE(std::string(c.formula) + " kind " + std::to_string(kind));
      expectFastEqualsPlain(
          [&](Pass& pass) {
            pass.implicitGraph(c.formula, kind);
            pass.live.setView(400, 380, c.xFrom, c.xTo, c.yFrom, c.yTo, 10);
            pass.live.accuracy = c.accuracy;
            pass.live.a = 0.5;
          },
          c.stopAt);
    }
  }
}

TEST(Plotter, FastCurvesDrawWhatThePlainWalkDraws) {
  struct Case {
    const char* first;
    const char* second; // null: an explicit graph
    int stopAt;
  } cases[] = {
      {"a*x^2 + b*x + c", nullptr, -1},
      {"1/x + tg(x)", nullptr, -1},
      {"x^1.5 - 3", nullptr, 40}, // NaN to the left
      {"( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*cos(x)",
       "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*sin(x)", -1},
      {"5*sin(3*x)", "5*cos(2*x)", 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    expectFastEqualsPlain(
        [&](Pass& pass) {
          if (c.second != nullptr) {
            pass.parametric(c.first, c.second);
            pass.live.tFrom = -10;
            pass.live.tTo = 10;
          } else {
            pass.explicitGraph(c.first);
          }
          pass.live.a = pass.live.b = pass.live.c = 1.0;
        },
        c.stopAt);
  }
}

} // namespace
