#pragma once
// Which pixels a one-pixel line covers, and which of its steps land inside a bitmap.
//
// A line from (x0, y0) to (x1, y1) takes n = max(|dx|, |dy|) steps i = 0..n-1 along
// its longer axis (x when |dx| == |dy|); the shorter coordinate moves by
// q(i) = floor((2*i*m + n) / (2*n)), m = min(|dx|, |dy|): i*m/n rounded to
// nearest, ties away from the start. The end point itself is not a step.

#include <cstdint>

namespace lines {

struct Walk {
  bool xMajor = true;
  std::int64_t a0 = 0, b0 = 0; // start along the longer and the shorter axis
  std::int64_t sa = 1, sb = 1; // their directions, +1 or -1
  std::int64_t n = 0, m = 0;
  // Exactly the steps whose pixel is inside the bitmap; first > last when none is.
  std::int64_t first = 0, last = -1;
};

// Solved with exact integer arithmetic, so its cost does not depend on how far
// the end points lie outside the bitmap.
Walk clipWalk(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
              std::int64_t width, std::int64_t height);

} // namespace lines
