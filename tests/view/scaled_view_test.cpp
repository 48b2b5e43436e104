// The view on a screen with a device pixel ratio (QT_SCALE_FACTOR, set by the
// test's registration): pictures and backing at the window's device pixels,
// shown by Qt one to one, the plot, the mouse and the status line in logical units.

#include "view_window.h"
#include "windows/window_internal.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

double scaleFactor() {
  const char* text = std::getenv("QT_SCALE_FACTOR");
  return text != nullptr ? std::atof(text) : 1.0;
}

int device(int v) {
  return static_cast<int>(DeviceEdge(v, scaleFactor()));
}

// The window as Qt paints it for the screen, in device pixels.
QImage shown(QWidget* widget) {
  return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// What the offscreen screen holds of the window: Qt's backing store in device
// pixels, of which it hands out as many as the window has logical ones.
QImage onScreen(QWidget* widget) {
  return widget->screen()
      ->grabWindow(widget->winId())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

// Pixels of the image that differ from the bitmap's, over the rows and columns both have.
int differences(const QImage& image, const std::uint32_t* bits, int width, int rows) {
  int n = 0;
  for (int y = 0; y < std::min(rows, image.height()); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < std::min(width, image.width()); ++x) {
      n += (row[x] & 0xFFFFFF) != bits[y * width + x] ? 1 : 0;
    }
  }
  return n;
}

TEST(ScaledView, PicturesAndBackingHaveTheDevicePixelsAndAreShownOneToOne) {
  ViewWindow w;
  w.finishPass();
  const windows::WindowPtr window = windows::findWindow(w.window);
  QWidget* widget = window->widget;
  const double scale = scaleFactor();
  ASSERT_EQ(widget->devicePixelRatioF(), scale) << "the platform takes the scale factor";
  int width = 0, height = 0;
  ASSERT_NE(BitmapBits(w.view->frontBitmap, &width, &height), nullptr);
  EXPECT_EQ(width, device(1024));
  EXPECT_EQ(height, device(768));
  EXPECT_EQ(GetBitmapScale(w.view->frontBitmap), scale);
  EXPECT_EQ(w.view->liveState.width, 1024) << "the plot keeps its logical size";

  std::lock_guard lock(window->backingLock);
  int backingWidth = 0, backingHeight = 0;
  const std::uint32_t* backing = BitmapBits(window->backing, &backingWidth, &backingHeight);
  ASSERT_EQ(backingWidth, device(widget->width()));
  ASSERT_EQ(backingHeight, device(widget->height()));
  const int rows = device(widget->height() - 20); // above the status bar
  const QImage painted = shown(widget);
  ASSERT_EQ(painted.width(), backingWidth);
  EXPECT_EQ(differences(painted, backing, backingWidth, rows), 0)
      << "Qt paints the backing's device pixels as they are";
  const QImage screen = onScreen(widget);
  ASSERT_GE(screen.width(), 1000);
  EXPECT_EQ(differences(screen, backing, backingWidth, rows), 0) << "and so the screen holds them";
}

// The default parabola and the axes as the screen shows them.
TEST(ScaledView, TheCurveAndTheAxesAreDrawnAtDevicePixels) {
  ViewWindow w;
  w.finishPass();
  QWidget* widget = windows::findWindow(w.window)->widget;
  const QImage screen = shown(widget);
  const double scale = scaleFactor();
  const int pen = ScaledPenWidth(scale);
  auto pixel = [&](int x, int y) { return screen.pixel(x, y) & 0xFFFFFF; };
  // The horizontal axis at logical row 300, one pen wide in every column between marks.
  for (int logical = 325; logical < 1000; logical += 20) { // clear of marks and labels
    for (int x = device(logical); x < device(logical + 10); ++x) {
      int black = 0;
      for (int y = device(290); y < device(310); ++y) {
        black += pixel(x, y) == 0 ? 1 : 0;
      }
      ASSERT_EQ(black, pen) << "column " << x;
    }
  }
  EXPECT_EQ(pixel(device(700), device(300)), 0u);
  // The curve: of its red pixels, few lie in aligned blocks of four, as an
  // enlarged picture's would.
  int red = 0, inBlocks = 0;
  for (int y = 0; y + 1 < device(768); y += 2) {
    for (int x = 0; x + 1 < device(1024); x += 2) {
      const int n = (pixel(x, y) == 0xFF0000) + (pixel(x + 1, y) == 0xFF0000) +
                    (pixel(x, y + 1) == 0xFF0000) + (pixel(x + 1, y + 1) == 0xFF0000);
      red += n;
      inBlocks += n == 4 ? 4 : 0;
    }
  }
  ASSERT_GT(red, 1000);
  EXPECT_LT(static_cast<double>(inBlocks) / red, 0.5);
}

// The mouse moves in logical pixels: the status line reads the plot there, and
// the crosshair runs from it to the axes on the device pixels of the scale.
TEST(ScaledView, TheMouseAndTheStatusLineKeepLogicalCoordinates) {
  ViewWindow w;
  w.finishPass();
  QWidget* widget = windows::findWindow(w.window)->widget;
  QMouseEvent move(QEvent::MouseMove, QPointF(340, 260), widget->mapToGlobal(QPointF(340, 260)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
  pumpUntil([&] { return !GetUpdateRect(w.window, nullptr, FALSE); }, 2000);
  EXPECT_NE(std::string(w.view->liveState.statusText).find("x = 2.000000, y = 2.000000"),
            std::string::npos)
      << w.view->liveState.statusText;
  const QImage screen = shown(widget);
  int blue = 0;
  for (int y = device(255); y < device(265); ++y) {
    blue += (screen.pixel(device(320), y) & 0xFFFFFF) == 0x0000FF ? 1 : 0;
  }
  EXPECT_EQ(blue, ScaledPenWidth(scaleFactor())) << "the crosshair, one pen wide";
}

} // namespace
