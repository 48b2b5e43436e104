#pragma once
// A memory DC with a bitmap of its own, and a line drawn between two points:
// what the drawing-surface tests draw on.

#include "surface/surface.h"

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace surface_test {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;

// A memory DC with a bitmap of its own.
class Canvas {
public:
  Canvas(int width, int height, DWORD fill = WHITENESS)
      : dc_(CreateCompatibleDC(nullptr)), bitmap_(CreateCompatibleBitmap(dc_, width, height)),
        width_(width), height_(height) {
    old_ = SelectObject(dc_, bitmap_);
    PatBlt(dc_, 0, 0, width, height, fill);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  int width() const { return width_; }
  int height() const { return height_; }
  std::vector<std::uint32_t> pixels() const {
    const std::uint32_t* p = BitmapBits(bitmap_, nullptr, nullptr);
    return std::vector<std::uint32_t>(p, p + width_ * height_);
  }
  std::uint32_t at(int x, int y) const {
    return BitmapBits(bitmap_, nullptr, nullptr)[y * width_ + x];
  }
  // Pixels that differ from colour, as (x, y) pairs.
  std::set<std::pair<int, int>> differentFrom(std::uint32_t colour) const {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (at(x, y) != colour) {
          out.emplace(x, y);
        }
      }
    }
    return out;
  }

private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_ = nullptr;
  int width_;
  int height_;
};

inline void line(HDC dc, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
  MoveToEx(dc, static_cast<int>(x0), static_cast<int>(y0), nullptr);
  LineTo(dc, static_cast<int>(x1), static_cast<int>(y1));
}

using Pixels = std::set<std::pair<int, int>>;

} // namespace surface_test
