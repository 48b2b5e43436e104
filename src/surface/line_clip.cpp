#include "surface/line_clip.h"

#include <algorithm>
#include <cstdlib>

namespace lines {
namespace {

__extension__ typedef __int128 Int128;

Int128 floorDiv(Int128 a, Int128 b) { // b > 0
  const Int128 q = a / b;
  return a % b != 0 && a < 0 ? q - 1 : q;
}

Int128 ceilDiv(Int128 a, Int128 b) { // b > 0
  const Int128 q = a / b;
  return a % b != 0 && a > 0 ? q + 1 : q;
}

} // namespace

Walk clipWalk(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
              std::int64_t width, std::int64_t height) {
  Walk w;
  const std::int64_t dx = x1 - x0;
  const std::int64_t dy = y1 - y0;
  w.xMajor = std::abs(dx) >= std::abs(dy);
  w.n = w.xMajor ? std::abs(dx) : std::abs(dy);
  w.m = w.xMajor ? std::abs(dy) : std::abs(dx);
  w.a0 = w.xMajor ? x0 : y0;
  w.b0 = w.xMajor ? y0 : x0;
  w.sa = (w.xMajor ? dx : dy) > 0 ? 1 : -1;
  w.sb = (w.xMajor ? dy : dx) >= 0 ? 1 : -1;
  if (w.n == 0 || width <= 0 || height <= 0) {
    return w;
  }
  const std::int64_t aLimit = w.xMajor ? width : height;
  const std::int64_t bLimit = w.xMajor ? height : width;

  // Steps whose longer coordinate a0 + sa*i lies in [0, aLimit).
  Int128 lo = 0;
  Int128 hi = w.n - 1;
  if (w.sa > 0) {
    lo = std::max<Int128>(lo, -w.a0);
    hi = std::min<Int128>(hi, aLimit - 1 - w.a0);
  } else {
    lo = std::max<Int128>(lo, w.a0 - (aLimit - 1));
    hi = std::min<Int128>(hi, w.a0);
  }
  // Steps whose offset q(i) keeps b0 + sb*q(i) in [0, bLimit); q never decreases.
  const std::int64_t qLow = w.sb > 0 ? -w.b0 : w.b0 - (bLimit - 1);
  const std::int64_t qHigh = w.sb > 0 ? bLimit - 1 - w.b0 : w.b0;
  if (qHigh < 0) {
    return w;
  }
  const Int128 twoN = Int128{2} * w.n;
  const Int128 twoM = Int128{2} * w.m;
  if (qLow > 0) {
    if (w.m == 0) {
      return w;
    }
    // q(i) >= qLow  <=>  2*i*m >= 2*n*qLow - n
    lo = std::max(lo, ceilDiv(twoN * qLow - w.n, twoM));
  }
  if (w.m > 0) {
    // q(i) <= qHigh  <=>  2*i*m < 2*n*qHigh + n
    hi = std::min(hi, floorDiv(twoN * qHigh + w.n - 1, twoM));
  }
  if (lo <= hi) {
    w.first = static_cast<std::int64_t>(lo);
    w.last = static_cast<std::int64_t>(hi);
  }
  return w;
}

} // namespace lines
