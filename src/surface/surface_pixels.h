#pragma once
// The drawing surface's pixel helpers, shared by its drawing files.

#include "surface/surface_objects.h"

#include <algorithm>
#include <cstdint>

namespace surface {

struct Rect {
  std::int64_t left, top, right, bottom; // right and bottom exclusive
  bool empty() const { return left >= right || top >= bottom; }
};

inline Rect clipToBitmap(const Bitmap& b, std::int64_t x, std::int64_t y, std::int64_t w,
                         std::int64_t h) {
  return Rect{std::max<std::int64_t>(x, 0), std::max<std::int64_t>(y, 0),
              std::min<std::int64_t>(x + w, b.width), std::min<std::int64_t>(y + h, b.height)};
}

inline void fillRect(Bitmap& b, const Rect& r, std::uint32_t pixel) {
  for (std::int64_t y = r.top; y < r.bottom; ++y) {
    std::fill(b.row(y) + r.left, b.row(y) + r.right, pixel);
  }
}

// The pen mixed with a pixel by a ROP2 mode, from the mode's truth table.
class Mixer {
public:
  Mixer(int mode, std::uint32_t pen) : pen_(pen), copy_(mode == R2_COPYPEN) {
    const unsigned table = static_cast<unsigned>(mode - 1);
    for (int bit = 0; bit < 4; ++bit) {
      masks_[bit] = (table >> bit) & 1u ? 0xFFFFFFu : 0u;
    }
  }
  std::uint32_t operator()(std::uint32_t d) const {
    if (copy_) {
      return pen_;
    }
    const std::uint32_t p = pen_;
    return ((p & d & masks_[3]) | (p & ~d & masks_[2]) | (~p & d & masks_[1]) |
            (~p & ~d & masks_[0])) &
           0xFFFFFFu;
  }

private:
  std::uint32_t pen_;
  bool copy_;
  std::uint32_t masks_[4];
};

// Adds a rectangle of touched pixels (already inside the bitmap) to the DC's bounds.
inline void touch(DeviceContext& dc, const Rect& r) {
  if (!dc.boundsEnabled || r.empty()) {
    return;
  }
  RECT& b = dc.bounds;
  const auto left = static_cast<LONG>(r.left), top = static_cast<LONG>(r.top);
  const auto right = static_cast<LONG>(r.right), bottom = static_cast<LONG>(r.bottom);
  if (b.right <= b.left) {
    b = RECT{left, top, right, bottom};
    return;
  }
  b = RECT{std::min(b.left, left), std::min(b.top, top), std::max(b.right, right),
           std::max(b.bottom, bottom)};
}

// The first device pixel of logical pixel v; v itself at scale 1.
inline std::int64_t edge(std::int64_t v, double scale) {
  return scale == 1 ? v : DeviceEdge(v, scale);
}

} // namespace surface
