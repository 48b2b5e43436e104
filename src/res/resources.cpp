#include "res/resources.h"

namespace res {

extern const IconResource kIcon101;

namespace {

// The crosshair: black lines in column 15 and row 16 across the whole cell, the
// crossing itself transparent, so the point under the hot spot stays visible.
constexpr CursorResource makeCrosshair() {
  CursorResource c{kCursorId, 32, 32, 15, 16, {}, {}};
  constexpr std::uint32_t column = 1u << (31 - 15);
  for (int row = 0; row < 32; ++row) {
    c.andMask[row] = ~column;
    c.xorMask[row] = 0;
  }
  c.andMask[16] = column;
  return c;
}

constexpr CursorResource kCursor103 = makeCrosshair();

} // namespace

const IconResource* findIcon(int id) {
  return id == kIconId ? &kIcon101 : nullptr;
}

const CursorResource* findCursor(int id) {
  return id == kCursorId ? &kCursor103 : nullptr;
}

} // namespace res
