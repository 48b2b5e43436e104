// The pictures follow the window as it grows and shrinks: more or less of the
// plane at the same scale, never less than 1024 x 768, one pass per burst of
// resizes, and a resize stops the running pass.

#include "view_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kFrame = RGB(0, 120, 0);

COLORREF frontPixel(const GraphView& v, int x, int y) {
  return GetPixel(v.frontDC, x, y);
}

// y = 1 over a long X range: a red line along row 280 as far as the picture goes.
void lineAcross(GraphView& v) {
  std::lock_guard<std::mutex> lock(v.liveState.changeLock);
  v.liveState.a = 0;
  v.liveState.b = 0;
  v.liveState.xTo = 1000;
  v.liveState.updateVisibleRanges();
}

std::vector<COLORREF> topLeft(const GraphView& v) {
  std::vector<COLORREF> pixels;
  for (int y = 0; y < 768; ++y) {
    for (int x = 0; x < 1024; ++x) {
      pixels.push_back(frontPixel(v, x, y));
    }
  }
  return pixels;
}

TEST(Resize, TheGraphExtendsToTheNewEdgesAtTheSameScale) {
  struct Size {
    int width, height;
  };
  for (Size size : {Size{1024, 768}, Size{1400, 1000}, Size{1920, 1080}}) {
    SCOPED_TRACE(size.width);
    ViewWindow w;
    GraphView& v = *w.view;
    w.finishPass();
    v.stopWorker();
    lineAcross(v);
    v.startWorker();
    w.finishPass();
    const std::vector<COLORREF> before = topLeft(v);

    MoveWindow(w.window, 0, 0, size.width, size.height + 20, TRUE);
    w.finishPass();
    const int right = size.width - 1;
    const int bottom = size.height - 1;
    EXPECT_EQ(v.liveState.width, size.width);
    EXPECT_EQ(v.liveState.pixels, 20.0) << "not stretched";
    EXPECT_EQ(frontPixel(v, right, 150), kFrame);
    EXPECT_EQ(frontPixel(v, 150, bottom), kFrame);
    EXPECT_EQ(frontPixel(v, right - 2, 300), kBlack) << "the horizontal axis reaches the edge";
    EXPECT_EQ(frontPixel(v, 300, bottom - 2), kBlack) << "the vertical axis reaches the edge";
    EXPECT_EQ(frontPixel(v, right - 2, 280), kRed) << "the curve goes on";
    EXPECT_EQ(windowPixel(w.window, right - 2, 280), kRed) << "and is shown";

    // Only the old frame's column and row may differ from the default picture.
    const std::vector<COLORREF> after = topLeft(v);
    int differing = 0;
    for (int y = 0; y < 767; ++y) {
      for (int x = 0; x < 1023; ++x) {
        differing += after[y * 1024 + x] != before[y * 1024 + x] ? 1 : 0;
      }
    }
    EXPECT_EQ(differing, 0);
  }
}

struct PictureSize {
  int width, height;
  bool operator==(const PictureSize&) const = default;
};

PictureSize sizeOf(HBITMAP bitmap) {
  PictureSize s{0, 0};
  BitmapBits(bitmap, &s.width, &s.height);
  return s;
}

TEST(Resize, ThePicturesShrinkBackWithTheWindowToNoLessThanTheFirst) {
  struct Case {
    int clientWidth, clientHeight; // with the status bar's 20 rows
    PictureSize pictures;
  };
  const Case cases[] = {
      {1500, 1520, {1500, 1500}}, {1024, 788, {1024, 768}}, {600, 400, {1024, 768}},
      {1100, 500, {1100, 768}},   {900, 1000, {1024, 980}},
  };
  ViewWindow w;
  GraphView& v = *w.view;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clientWidth);
    MoveWindow(w.window, 0, 0, 1800, 1600, TRUE);
    w.finishPass();
    ASSERT_EQ(sizeOf(v.frontBitmap), (PictureSize{1800, 1580}));
    MoveWindow(w.window, 0, 0, c.clientWidth, c.clientHeight, TRUE);
    w.finishPass();
    EXPECT_EQ(sizeOf(v.frontBitmap), c.pictures);
    EXPECT_EQ(sizeOf(v.backBitmap), c.pictures);
    EXPECT_EQ(v.liveState.width, c.pictures.width);
    EXPECT_EQ(v.liveState.height, c.pictures.height);
    EXPECT_EQ(frontPixel(v, c.pictures.width - 1, 150), kFrame) << "drawn at the new size";
    EXPECT_EQ(frontPixel(v, 150, c.pictures.height - 1), kFrame);
  }
}

TEST(Resize, ABurstStartsOnePassAndDrawsTheLastSize) {
  ViewWindow w;
  GraphView& v = *w.view;
  w.finishPass();
  const std::int64_t shown = v.frontPictures;
  for (int i = 0; i < 10; ++i) {
    MoveWindow(w.window, 0, 0, 1100 + 10 * i, 900, TRUE);
  }
  EXPECT_EQ(v.workerThread, nullptr) << "no pass until the window is painted";
  w.finishPass();
  EXPECT_EQ(v.liveState.width, 1190.0);
  EXPECT_EQ(v.frontPictures, shown + 1);
  EXPECT_EQ(frontPixel(v, 1189, 100), kFrame);
}

TEST(Resize, AResizeStopsThePassAndEndsADrag) {
  ViewWindow w;
  GraphView& v = *w.view;
  w.finishPass();
  v.stopWorker();
  {
    std::lock_guard<std::mutex> lock(v.liveState.changeLock);
    v.liveState.kind = ImplicitEqual;
    v.liveState.accuracy = 0.0005; // a pass of many seconds
  }
  v.plotter.pruning = false; // on the plain scan, which evaluates every sample
  v.startWorker();
  ASSERT_TRUE(pumpUntil([&] { return v.context.workerBusy.load(); }));
  v.dragging = true;
  const std::int64_t shown = v.frontPictures;
  MoveWindow(w.window, 0, 0, 1300, 900, TRUE);
  EXPECT_FALSE(v.context.workerBusy) << "stopped by the resize";
  EXPECT_FALSE(v.dragging);
  EXPECT_EQ(v.frontPictures, shown) << "nothing of the stopped pass is shown";
  EXPECT_TRUE(pumpUntil([&] { return v.context.workerBusy.load(); })) << "the new pass";
  v.stopWorker();
}

} // namespace
