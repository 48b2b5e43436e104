// The enclosures of the functions: logarithms, sin, cos, tg, ctg and the
// inverse functions, each monotone between the points where its meaning
// changes; math library results widened by far more than their error.

#include "expr/enclosure_bounds.h"
#include "expr/lexer.h"
#include "expr/ops.h"

#include <algorithm>
#include <cmath>

using namespace enclose::detail;

namespace {

constexpr double kTwoPi = 2 * lex::PiValue;
// Boxes narrower than this take the enclosure of sin and cos from their middle.
constexpr double kNarrow = 0x1p-6;

// log over the positive numbers of the set.
Enclosure logs(const Enclosure& e) {
  const double c[] = {std::log(e.lo > 0 ? e.lo : kTiny), std::log(e.hi)};
  return libCorners(c, 2);
}

// True when some whole k puts (k + offset) · period within [x0, x1]; rounding
// errors of the quotients count as a hit.
bool hits(double x0, double x1, double period, double offset) {
  double t0 = x0 / period;
  double t1 = x1 / period;
  t0 -= (std::fabs(t0) + 1) * 1e-14;
  t1 += (std::fabs(t1) + 1) * 1e-14;
  return std::floor(t1 - offset) >= std::ceil(t0 - offset);
}

// sin or cos over a narrow box, from one sine and cosine at its middle m:
// sin(m + t) lies within |t| |cos m| + t^2/2 of sin m (and cos likewise), and a
// computed value within a unit in the last place, below 2^-52, of the true one.
Enclosure narrowSineOrCosine(const Enclosure& a, bool cosine) {
  const double m = a.lo / 2 + a.hi / 2;
  const double h = up(std::max(m - a.lo, a.hi - m));
  const double s = std::sin(m);
  const double c = std::cos(m);
  const double at = cosine ? c : s;
  const double slope = std::fabs(cosine ? s : c);
  const double spread = up(up(h * libUp(slope)) + up(up(h * h) / 2) + 0x1p-50);
  Enclosure r;
  r.nan = a.nan;
  r.include(Enclosure::span(std::max(-1.0, down(libDown(at) - spread)),
                            std::min(1.0, up(libUp(at) + spread))));
  return r;
}

} // namespace

// ---- logarithms ------------------------------------------------------------------

// logBase(base, v): 0.0 if v <= 0, base = 1 or base <= 0, else ln v / ln base.
Enclosure enclose::detail::logBase(const Enclosure& base, const Enclosure& v) {
  Enclosure r;
  if (base.nan || v.nan) {
    r.nan = true;
    r.include(0.0);
  }
  if (!base.hasNumbers() || !v.hasNumbers()) {
    return r;
  }
  if (v.lo <= 0 || base.lo <= 0 || base.containsNumber(1)) {
    r.include(0.0);
  }
  if (v.hi <= 0 || base.hi <= 0) {
    return r;
  }
  double blo = base.lo > 0 ? base.lo : kTiny;
  double bhi = base.hi;
  if (blo < 1 && bhi > 1) {
    r.include(allNumbers()); // ln base comes near 0 from both sides
    r.nan = r.nan || (v.hi == kInf && bhi == kInf);
    return r;
  }
  if (blo == 1 && bhi == 1) {
    return r;
  }
  blo = blo == 1 ? up(1.0) : blo;
  bhi = bhi == 1 ? down(1.0) : bhi;
  const Enclosure lnBase = logs(Enclosure::span(blo, bhi)); // of one sign, never 0
  r.include(quotient(logs(v), lnBase.lo, lnBase.hi));
  return r;
}

Enclosure enclose::detail::naturalLog(const Enclosure& a) {
  Enclosure r;
  r.nan = a.nan;
  if (!a.hasNumbers()) {
    return r;
  }
  if (a.lo <= 0) {
    r.include(0.0);
  }
  if (a.hi > 0) {
    r.include(logs(a));
  }
  return r;
}

// ---- periodic functions ------------------------------------------------------------

// sin or cos: monotone between extrema, whose values are exactly -1 and 1.
Enclosure enclose::detail::sineOrCosine(const Enclosure& a, bool cosine) {
  Enclosure r;
  r.nan = a.nan;
  if (!a.hasNumbers()) {
    return r;
  }
  if (hasInfinity(a)) {
    r.nan = true; // sin(inf)
    if (a.lo != a.hi) {
      r.include(Enclosure::span(-1, 1));
    }
    return r;
  }
  if (a.hi - a.lo >= kTwoPi) {
    r.include(Enclosure::span(-1, 1));
    return r;
  }
  if (a.hi - a.lo <= kNarrow && std::fabs(a.lo) < 0x1p40) {
    return narrowSineOrCosine(a, cosine);
  }
  const double c[] = {cosine ? std::cos(a.lo) : std::sin(a.lo),
                      cosine ? std::cos(a.hi) : std::sin(a.hi)};
  Enclosure e = libCorners(c, 2);
  if (hits(a.lo, a.hi, kTwoPi, cosine ? 0.0 : 0.25)) {
    e.hi = 1.0;
  }
  if (hits(a.lo, a.hi, kTwoPi, cosine ? 0.5 : 0.75)) {
    e.lo = -1.0;
  }
  r.include(e);
  return r;
}

// tg or ctg: rising (tg) or falling (ctg) between poles; a box with a pole gets
// every number.
Enclosure enclose::detail::tangent(const Enclosure& a, bool cotangent) {
  Enclosure r;
  r.nan = a.nan;
  if (!a.hasNumbers()) {
    return r;
  }
  if (hasInfinity(a)) {
    r.nan = true;
    if (a.lo != a.hi) {
      r.include(allNumbers());
    }
    return r;
  }
  if (a.hi - a.lo >= lex::PiValue || hits(a.lo, a.hi, lex::PiValue, cotangent ? 0.0 : 0.5)) {
    r.include(allNumbers());
    return r;
  }
  const double c[] = {cotangent ? ops::ctg(a.lo) : ops::tg(a.lo),
                      cotangent ? ops::ctg(a.hi) : ops::tg(a.hi)};
  r.include(libCorners(c, 2));
  return r;
}

// ---- inverse functions -----------------------------------------------------------

// arccos or arcsin: 0.0 outside [-1, 1], monotone inside.
Enclosure enclose::detail::arcOf(const Enclosure& a, bool cosine) {
  Enclosure r;
  r.nan = a.nan;
  if (!a.hasNumbers()) {
    return r;
  }
  if (a.lo < -1 || a.hi > 1) {
    r.include(0.0);
  }
  const double lo = std::max(a.lo, -1.0);
  const double hi = std::min(a.hi, 1.0);
  if (lo <= hi) {
    const double c[] = {cosine ? std::acos(lo) : std::asin(lo),
                        cosine ? std::acos(hi) : std::asin(hi)};
    r.include(libCorners(c, 2));
  }
  return r;
}

Enclosure enclose::detail::arctangent(const Enclosure& a) {
  Enclosure r;
  r.nan = a.nan;
  if (a.hasNumbers()) {
    const double c[] = {std::atan(a.lo), std::atan(a.hi)};
    r.include(libCorners(c, 2));
  }
  return r;
}

// pi/2 - atan l.
Enclosure enclose::detail::arccotangent(const Enclosure& a) {
  Enclosure r = arctangent(a);
  if (r.hasNumbers()) {
    const double lo = lex::PiValue / 2 - r.hi;
    const double hi = lex::PiValue / 2 - r.lo;
    r.lo = down(lo);
    r.hi = up(hi);
  }
  return r;
}
