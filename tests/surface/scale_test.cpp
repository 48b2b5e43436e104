// Drawing on bitmaps with a device scale: logical calls at device pixels.

#include "surface/recording.h"
#include "surface/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t kWhitePixel = 0xFFFFFF;
constexpr std::uint32_t kRedPixel = 0xFF0000;

// A white memory DC on a bitmap of the logical size at the scale, red pen.
class ScaledCanvas {
public:
  ScaledCanvas(int width, int height, double scale)
      : dc_(CreateCompatibleDC(nullptr)), bitmap_(CreateScaledBitmap(width, height, scale)),
        pen_(CreatePen(PS_SOLID, 1, RGB(255, 0, 0))) {
    oldBitmap_ = SelectObject(dc_, bitmap_);
    oldPen_ = SelectObject(dc_, pen_);
    PatBlt(dc_, 0, 0, width, height, WHITENESS);
    BitmapBits(bitmap_, &deviceWidth_, &deviceHeight_);
  }
  ~ScaledCanvas() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBitmap_);
    DeleteObject(pen_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  ScaledCanvas(const ScaledCanvas&) = delete;
  ScaledCanvas& operator=(const ScaledCanvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return deviceWidth_; }
  int height() const { return deviceHeight_; }
  std::uint32_t at(int x, int y) const {
    return BitmapBits(bitmap_, nullptr, nullptr)[static_cast<std::size_t>(y) * deviceWidth_ + x];
  }
  std::vector<std::uint32_t> pixels() const {
    const std::uint32_t* p = BitmapBits(bitmap_, nullptr, nullptr);
    return {p, p + static_cast<std::size_t>(deviceWidth_) * deviceHeight_};
  }
  // The rows (or columns) of one column (row) that are not white.
  std::vector<int> inkAcross(int index, bool column) const {
    std::vector<int> out;
    for (int i = 0; i < (column ? deviceHeight_ : deviceWidth_); ++i) {
      if ((column ? at(index, i) : at(i, index)) != kWhitePixel) {
        out.push_back(i);
      }
    }
    return out;
  }

private:
  HDC dc_;
  HBITMAP bitmap_;
  HPEN pen_;
  HGDIOBJ oldBitmap_ = nullptr;
  HGDIOBJ oldPen_ = nullptr;
  int deviceWidth_ = 0;
  int deviceHeight_ = 0;
};

const double kScales[] = {1.0, 1.25, 1.5, 1.75, 2.0, 3.0};

// The device pixels of logical pixels first..last.
std::pair<std::int64_t, std::int64_t> devicePixelsOf(int first, int last, double scale) {
  return {DeviceEdge(first, scale), DeviceEdge(std::int64_t{last} + 1, scale)};
}

TEST(DeviceScale, BitmapsHaveTheScaledSizeAndPensTheScaledWidth) {
  struct Case {
    int width, height;
    double scale;
    int deviceWidth, deviceHeight, pen;
  } cases[] = {{1024, 768, 1, 1024, 768, 1},     {1024, 768, 2, 2048, 1536, 2},
               {1024, 788, 1.5, 1536, 1182, 2},  {1025, 767, 1.25, 1281, 959, 1},
               {1024, 768, 1.75, 1792, 1344, 2}, {3, 3, 8, 24, 24, 8}};
  for (const Case& c : cases) {
    HBITMAP b = CreateScaledBitmap(c.width, c.height, c.scale);
    int w = 0, h = 0;
    ASSERT_NE(BitmapBits(b, &w, &h), nullptr) << c.scale;
    EXPECT_EQ(w, c.deviceWidth) << c.scale;
    EXPECT_EQ(h, c.deviceHeight) << c.scale;
    EXPECT_EQ(GetBitmapScale(b), c.scale);
    EXPECT_EQ(ScaledPenWidth(c.scale), c.pen) << c.scale;
    DeleteObject(b);
  }
  for (double refused : {0.0, 0.5, 0.999, 8.01, -2.0}) {
    EXPECT_EQ(CreateScaledBitmap(100, 100, refused), nullptr) << refused;
  }
  EXPECT_EQ(CreateScaledBitmap(20000, 20000, 2), nullptr) << "beyond the pixels a bitmap may have";
}

// An axis-parallel line covers exactly the device pixels of the logical pixels it
// covers at scale 1, in a band as wide as the pen that meets its logical row.
TEST(DeviceScale, StraightLinesCoverTheirLogicalPixelsOnePenWide) {
  struct Case {
    int x0, y0, x1, y1;
    int first, last; // logical pixels covered along the line
  } cases[] = {
      {0, 30, 64, 30, 0, 63},  // rightwards: the end pixel is not drawn
      {63, 7, 0, 7, 1, 63},    // leftwards
      {5, 0, 5, 40, 0, 39},    // downwards
      {9, 40, 9, 3, 4, 40},    // upwards
      {70, 11, -5, 11, 0, 69}, // clipped at both ends (the canvas is 70 wide)
  };
  for (double scale : kScales) {
    for (const Case& c : cases) {
      ScaledCanvas canvas(70, 50, scale);
      MoveToEx(canvas.dc(), c.x0, c.y0, nullptr);
      LineTo(canvas.dc(), c.x1, c.y1);
      const bool horizontal = c.y0 == c.y1;
      const int across = horizontal ? c.y0 : c.x0;
      const auto [from, to] = devicePixelsOf(c.first, c.last, scale);
      const int pen = ScaledPenWidth(scale);
      const auto [rowFrom, rowTo] = devicePixelsOf(across, across, scale);
      for (int i = 0; i < (horizontal ? canvas.width() : canvas.height()); ++i) {
        const std::vector<int> ink = canvas.inkAcross(i, horizontal);
        if (i < from || i >= to) {
          EXPECT_TRUE(ink.empty()) << scale << " line " << c.x0 << "," << c.y0 << " at " << i;
          continue;
        }
        ASSERT_EQ(ink.size(), static_cast<std::size_t>(pen)) << scale << " at " << i;
        EXPECT_EQ(ink.back() - ink.front() + 1, pen) << "one band";
        EXPECT_TRUE(ink.front() < rowTo && ink.back() >= rowFrom) << "over its logical row";
        if (scale == 2 || scale == 3) {
          EXPECT_EQ(ink.front(), rowFrom) << "whole scales: exactly the logical row";
        }
      }
    }
  }
}

// A wide line is the one-pixel line between the same device pixels with its
// copies below it (a line along x) or right of it (along y).
TEST(DeviceScale, WideLinesAreTheOnePixelLineMadeAsWideAsThePen) {
  std::mt19937 random(27);
  std::uniform_int_distribution<int> coordinate(-40, 200);
  for (double scale : {1.5, 2.0, 3.0}) {
    const int pen = ScaledPenWidth(scale);
    for (int n = 0; n < 300; ++n) {
      const int x0 = coordinate(random), y0 = coordinate(random);
      const int x1 = coordinate(random), y1 = coordinate(random);
      ScaledCanvas wide(80, 60, scale);
      MoveToDevice(wide.dc(), x0, y0);
      LineToDevice(wide.dc(), x1, y1);
      ScaledCanvas thin(wide.width(), wide.height(), 1);
      const bool alongX = std::abs(x1 - x0) >= std::abs(y1 - y0);
      for (int o = -(pen - 1) / 2; o < pen - (pen - 1) / 2; ++o) {
        MoveToEx(thin.dc(), alongX ? x0 : x0 + o, alongX ? y0 + o : y0, nullptr);
        LineTo(thin.dc(), alongX ? x1 : x1 + o, alongX ? y1 + o : y1);
      }
      ASSERT_EQ(wide.pixels(), thin.pixels())
          << scale << ": " << x0 << "," << y0 << " to " << x1 << "," << y1;
    }
  }
}

TEST(DeviceScale, FillsAndCopiesCoverTheScaledRectangles) {
  for (double scale : kScales) {
    // Two fills side by side tile their device pixels with neither gap nor overlap.
    ScaledCanvas canvas(40, 30, scale);
    PatBlt(canvas.dc(), 3, 4, 17, 9, BLACKNESS);
    PatBlt(canvas.dc(), 20, 4, 11, 9, DSTINVERT); // white to black
    const auto [left, right] = devicePixelsOf(3, 30, scale);
    const auto [top, bottom] = devicePixelsOf(4, 12, scale);
    for (int y = 0; y < canvas.height(); ++y) {
      for (int x = 0; x < canvas.width(); ++x) {
        const bool inside = x >= left && x < right && y >= top && y < bottom;
        ASSERT_EQ(canvas.at(x, y), inside ? 0u : kWhitePixel) << scale << " at " << x << "," << y;
      }
    }
    // A copy takes the source's device pixels from the scaled source position.
    ScaledCanvas copy(40, 30, scale);
    BitBlt(copy.dc(), 0, 0, 40, 30, canvas.dc(), 3, 4, SRCCOPY);
    EXPECT_EQ(copy.at(0, 0), 0u) << scale;
    const std::int64_t blackRight = DeviceEdge(28, scale); // logical 3..30 copied to 0..27
    EXPECT_EQ(copy.at(static_cast<int>(blackRight) - 1, 0), 0u) << scale;
    EXPECT_EQ(copy.at(static_cast<int>(blackRight), 0), kWhitePixel) << scale;
    EXPECT_EQ(copy.at(0, static_cast<int>(DeviceEdge(9, scale))), kWhitePixel) << scale;
  }
  // A picture of scale 1 on a bitmap of scale 2: each pixel a block of four.
  ScaledCanvas one(8, 8, 1);
  SetPixel(one.dc(), 3, 5, RGB(255, 0, 0));
  ScaledCanvas two(8, 8, 2);
  BitBlt(two.dc(), 0, 0, 8, 8, one.dc(), 0, 0, SRCCOPY);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      EXPECT_EQ(two.at(x, y), x / 2 == 3 && y / 2 == 5 ? kRedPixel : kWhitePixel);
    }
  }
}

// Text at the scale is rendered at the scaled height, not enlarged: its ink is as
// many times taller and made of device pixels rather than blocks of them.
TEST(DeviceScale, TextIsRenderedAtTheScaledHeight) {
  HFONT font = CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, RUSSIAN_CHARSET, OUT_CHARACTER_PRECIS,
                           CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, nullptr);
  auto inkRows = [&](double scale, double* blockShare) {
    ScaledCanvas canvas(80, 30, scale);
    HGDIOBJ old = SelectObject(canvas.dc(), font);
    SetBkMode(canvas.dc(), TRANSPARENT);
    TextOutA(canvas.dc(), 4, 5, "-10 \xc6\xe8", 6);
    SelectObject(canvas.dc(), old);
    int top = canvas.height(), bottom = -1, dark = 0, inBlocks = 0;
    auto isDark = [&](int x, int y) { return (canvas.at(x, y) & 0xFF) < 128; };
    for (int y = 0; y < canvas.height(); ++y) {
      for (int x = 0; x < canvas.width(); ++x) {
        if (isDark(x, y)) {
          top = std::min(top, y);
          bottom = std::max(bottom, y);
          ++dark;
          const int bx = x & ~1, by = y & ~1;
          inBlocks += bx + 1 < canvas.width() && by + 1 < canvas.height() && isDark(bx, by) &&
                              isDark(bx + 1, by) && isDark(bx, by + 1) && isDark(bx + 1, by + 1)
                          ? 1
                          : 0;
        }
      }
    }
    *blockShare = dark > 0 ? static_cast<double>(inBlocks) / dark : 1.0;
    return bottom - top + 1;
  };
  double share1 = 0, share2 = 0, share15 = 0;
  const int rows1 = inkRows(1, &share1);
  const int rows2 = inkRows(2, &share2);
  const int rows15 = inkRows(1.5, &share15);
  ASSERT_GT(rows1, 5);
  EXPECT_NEAR(rows2, 2 * rows1, 2);
  EXPECT_NEAR(rows15, 1.5 * rows1, 2);
  EXPECT_LT(share2, 0.5) << "a text enlarged from scale 1 would be all blocks of four";
  DeleteObject(font);
}

// A recording at the scale holds device pixels; played into a bitmap of its
// scale it is the picture that the calls draw there.
TEST(DeviceScale, ARecordingAtTheScaleIsThePicture) {
  HFONT font = CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, RUSSIAN_CHARSET, OUT_CHARACTER_PRECIS,
                           CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, nullptr);
  auto draw = [&](HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, font);
    PatBlt(dc, 0, 0, 120, 90, WHITENESS);
    PatBlt(dc, 10, 12, 30, 7, BLACKNESS);
    MoveToEx(dc, 119, 89, nullptr);
    LineTo(dc, 0, 3);
    MoveToDevice(dc, 7, 150);
    LineToDevice(dc, 170, 11);
    LineTo(dc, 60, 60);
    MoveToDevice(dc, 0, -1); // only the copy below the line is on the canvas
    LineToDevice(dc, 100, -1);
    MarkDevicePixels(dc, 33, 44, 2);
    MarkDevicePixels(dc, -1, 100, 3);
    TextOutA(dc, 50, 70, "12", 2);
    SelectObject(dc, old);
  };
  for (double scale : {1.0, 1.5, 2.0}) {
    ScaledCanvas direct(120, 90, scale);
    draw(direct.dc());
    Recording recording(120, 90, scale);
    ASSERT_EQ(recording.width(), direct.width());
    HDC recorder = CreateRecordingDC(&recording);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ oldPen = SelectObject(recorder, pen);
    EXPECT_EQ(GetDeviceScale(recorder), scale);
    draw(recorder);
    SelectObject(recorder, oldPen);
    DeleteObject(pen);
    DeleteDC(recorder);
    ScaledCanvas played(120, 90, scale);
    ASSERT_TRUE(PlayRecording(recording, played.dc()));
    EXPECT_EQ(played.pixels(), direct.pixels()) << scale;
  }
  DeleteObject(font);
}

} // namespace
