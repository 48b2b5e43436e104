// Recording device contexts: a pass recorded and played back gives the very
// picture the pass draws into pixels, and the recording keeps little.

#include "plot_fixture.h"
#include "surface/recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

struct RecordingCanvas {
  Recording recording;
  HDC dc;
  explicit RecordingCanvas(int w = 1024, int h = 768)
      : recording(w, h), dc(CreateRecordingDC(&recording)) {
    SetROP2(dc, R2_COPYPEN);
    SetBkMode(dc, TRANSPARENT);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
  }
  ~RecordingCanvas() { DeleteDC(dc); }
  RecordingCanvas(const RecordingCanvas&) = delete;
  RecordingCanvas& operator=(const RecordingCanvas&) = delete;

  int count(RecordedOp::Kind kind, COLORREF colour) const {
    int n = 0;
    for (const RecordedOp& op : recording.ops()) {
      n += op.kind == kind && op.colour == colour ? 1 : 0;
    }
    return n;
  }
};

TEST(Recording, PlayedBackPassIsThePicture) {
  struct Case {
    const char* name;
    std::function<void(Pass&)> setUp;
    int stopAt;
  } cases[] = {
      {"explicit parabola", [](Pass& p) { p.explicitGraph("a*x^2 + b*x + c"); }, -1},
      {"explicit poles", [](Pass& p) { p.explicitGraph("1/x + tg(x)"); }, -1},
      {"parametric folium",
       [](Pass& p) {
         p.parametric("( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*cos(x)",
                      "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*sin(x)");
         p.live.tFrom = -10;
         p.live.tTo = 10;
       },
       -1},
      {"parametric leaving the canvas",
       [](Pass& p) {
         p.parametric("50*sin(x)", "50*cos(3*x)");
         p.live.tFrom = -3;
         p.live.tTo = 3;
       },
       60},
      {"implicit < 0", [](Pass& p) { p.implicitGraph("x^2 + y^2 - 4", ImplicitLess); }, -1},
      {"implicit = 0", [](Pass& p) { p.implicitGraph("sin(x*y) - y/3", ImplicitEqual); }, -1},
      {"implicit > 0 stopped in a column", // a pixel column for each sample column
       [](Pass& p) {
         p.implicitGraph("tg(y) - 1/x", ImplicitGreater);
         p.live.accuracy = 0.03;
       },
       37},
      {"no graph", [](Pass& p) { p.live.kind = static_cast<GraphKind>(9); }, -1},
  };
  for (const auto& c : cases) {
    for (bool fast : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (fast ? ", fast" : ", plain"));
      auto prepare = [&](Pass& pass) {
        c.setUp(pass);
        if (pass.live.kind >= ImplicitLess) {
          pass.live.setView(400, 380, -4, 4, -3, 3, 40); // about 240 000 samples
        }
        pass.live.a = pass.live.b = pass.live.c = 1.0;
        pass.plotter.fastPaths = fast;
        pass.plotter.threads = 1; // a recording is made on one thread; so is its match
      };
      Pass direct;
      prepare(direct);
      {
        ProgressLog stop(direct);
        stop.stopAt = c.stopAt;
        direct.run();
      }
      Pass recorded;
      prepare(recorded);
      RecordingCanvas canvas;
      recorded.live.canvasDC = canvas.dc;
      {
        ProgressLog stop(recorded);
        stop.stopAt = c.stopAt;
        recorded.run();
      }
      EXPECT_EQ(recorded.plotter.samplesDone, direct.plotter.samplesDone);

      Canvas played;
      PatBlt(played.dc(), 0, 0, 1024, 768, BLACKNESS); // the white must come from the recording
      ASSERT_TRUE(PlayRecording(canvas.recording, played.dc()));
      const int differences = differingPixels(direct.canvas, played);
      EXPECT_EQ(differences, 0);
      if (differences != 0) {
        direct.canvas.save("recording-direct");
        played.save("recording-played");
      }
      if (fast && recorded.live.kind >= ImplicitLess && recorded.live.kind <= ImplicitGreater) {
        // The scan reports runs: one set of marks, no one-pixel lines.
        EXPECT_EQ(canvas.count(RecordedOp::Marks, kRed), 1);
        EXPECT_EQ(canvas.count(RecordedOp::Line, kRed), 0);
      }
    }
  }
}

TEST(Recording, FilledDiscIsAFewRectangles) {
  Pass pass;
  pass.implicitGraph("x^2 + y^2 - 100", ImplicitLess); // radius 200 pixels
  RecordingCanvas canvas;
  pass.live.canvasDC = canvas.dc;
  pass.run();
  const auto& ops = canvas.recording.ops();
  auto marks = std::find_if(ops.begin(), ops.end(),
                            [](const RecordedOp& op) { return op.kind == RecordedOp::Marks; });
  ASSERT_NE(marks, ops.end());
  std::vector<MarkRect> rects = canvas.recording.markRects(*marks);
  // One per canvas row of the disc at most, not one per marked pixel or sample.
  EXPECT_GT(rects.size(), 100u);
  EXPECT_LE(rects.size(), 400u);
  std::int64_t area = 0;
  for (const MarkRect& r : rects) {
    area += std::int64_t{r.width} * r.height;
  }
  EXPECT_NEAR(static_cast<double>(area), 3.14159 * 200 * 200, 2000);
}

TEST(Recording, MarkRectsMergeRowsWithTheSameRuns) {
  Recording r(70, 6); // rows of two 64-bit words
  const std::uint32_t red = 0xFF0000;
  r.markRun(red, 0, 0, 2);
  r.markRun(red, 1, 2, 0); // either order
  r.markRun(red, 10, 3, 100);
  r.markRun(red, 63, 4, 5);
  r.markRun(red, 64, 4, 5);
  r.markRun(red, 69, 5, 4);
  r.markRun(red, 70, 0, 5); // off the canvas
  r.markRun(red, -1, 0, 5);
  r.markRun(red, 20, -9, -1);
  ASSERT_EQ(r.ops().size(), 1u);
  const std::vector<MarkRect> expected = {
      {0, 0, 2, 3}, {10, 3, 1, 1}, {10, 4, 1, 2}, {63, 4, 2, 2}, {69, 4, 1, 2}};
  EXPECT_EQ(r.markRects(r.ops()[0]), expected);

  // Another colour starts a new set, and so does the first colour after it.
  r.markRun(0x0000FF, 5, 0, 0);
  r.markRun(red, 6, 0, 0);
  ASSERT_EQ(r.ops().size(), 3u);
  EXPECT_EQ(r.ops()[1].colour, RGB(0, 0, 255));
  EXPECT_EQ(r.markRects(r.ops()[2]), (std::vector<MarkRect>{{6, 0, 1, 1}}));
}

TEST(Recording, KeepsWhatLandsOnTheCanvasInItsColour) {
  HPEN green = CreatePen(PS_SOLID, 1, RGB(0, 120, 0));
  HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 10, 10);
  struct Case {
    const char* name;
    std::function<BOOL(HDC)> call;
    BOOL result;
    std::vector<RecordedOp> ops; // after the call
  } cases[] = {
      {"line",
       [](HDC dc) { return MoveToEx(dc, 1, 2, nullptr) && LineTo(dc, 30, 2); },
       TRUE,
       {{RecordedOp::Line, RGB(0, 120, 0), 1, 2, 30, 2}}},
      {"line off the canvas",
       [](HDC dc) { return MoveToEx(dc, -5, -1, nullptr) && LineTo(dc, 200, -1); },
       TRUE,
       {}},
      {"line ending where the canvas starts",
       [](HDC dc) { return MoveToEx(dc, 5, 50, nullptr) && LineTo(dc, 5, 40); },
       TRUE,
       {}},
      {"line of no length",
       [](HDC dc) { return MoveToEx(dc, 3, 3, nullptr) && LineTo(dc, 3, 3); },
       TRUE,
       {}},
      {"mix that draws nothing",
       [](HDC dc) {
         return SetROP2(dc, R2_NOP) && MoveToEx(dc, 1, 1, nullptr) && LineTo(dc, 9, 9);
       },
       TRUE,
       {}},
      {"inverted pen",
       [](HDC dc) {
         return SetROP2(dc, R2_NOTCOPYPEN) && MoveToEx(dc, 1, 1, nullptr) && LineTo(dc, 9, 9);
       },
       TRUE,
       {{RecordedOp::Line, RGB(255, 135, 255), 1, 1, 9, 9}}},
      {"fill, clipped",
       [](HDC dc) { return PatBlt(dc, -5, 30, 10, 100, BLACKNESS); },
       TRUE,
       {{RecordedOp::Fill, RGB(0, 0, 0), 0, 30, 5, 40}}},
      {"empty fill", [](HDC dc) { return PatBlt(dc, 0, 0, 0, 10, WHITENESS); }, TRUE, {}},
      {"inversion", [](HDC dc) { return PatBlt(dc, 0, 0, 10, 10, DSTINVERT); }, FALSE, {}},
      {"text",
       [](HDC dc) { return TextOutA(dc, 2, 3, "12", 2); },
       TRUE,
       {{RecordedOp::Text, RGB(0, 0, 0), 0, 0, 0, 0}}},
      {"text off the canvas", [](HDC dc) { return TextOutA(dc, 2, -40, "12", 2); }, TRUE, {}},
      {"bitmap", [&](HDC dc) { return SelectObject(dc, bitmap) != nullptr; }, FALSE, {}},
      {"pixel", [](HDC dc) { return GetPixel(dc, 1, 1) != CLR_INVALID; }, FALSE, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Recording r(40, 40);
    HDC dc = CreateRecordingDC(&r);
    SelectObject(dc, green);
    EXPECT_EQ(c.call(dc), c.result);
    ASSERT_EQ(r.ops().size(), c.ops.size());
    for (std::size_t i = 0; i < c.ops.size(); ++i) {
      const RecordedOp& got = r.ops()[i];
      const RecordedOp& want = c.ops[i];
      EXPECT_EQ(got.kind, want.kind);
      EXPECT_EQ(got.colour, want.colour);
      EXPECT_EQ(std::vector<int>({got.a, got.b, got.c, got.d}),
                std::vector<int>({want.a, want.b, want.c, want.d}));
    }
    DeleteDC(dc);
  }
  EXPECT_EQ(CreateRecordingDC(nullptr), nullptr);
  DeleteObject(bitmap);
  DeleteObject(green);
}

} // namespace
