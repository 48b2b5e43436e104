// The enclosure of every operator, written from its meaning in ops.h: what it
// returns for numbers, for NaN operands and in its guarded cases. The basic
// operations round to nearest, which is monotone, so the operands' bounds give
// the result's; one more step outward guards the reasoning. Math library results
// are widened by far more than their error. The functions are in
// enclosure_functions.cpp.

#include "expr/enclosure_bounds.h"
#include "expr/lexer.h"
#include "expr/ops.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

using namespace enclose::detail;

// ---- arithmetic ---------------------------------------------------------------

Enclosure add(const Enclosure& a, const Enclosure& b) {
  Enclosure r;
  r.nan = a.nan || b.nan;
  if (!a.hasNumbers() || !b.hasNumbers()) {
    return r;
  }
  if ((a.hi == kInf && b.lo == -kInf) || (a.lo == -kInf && b.hi == kInf)) {
    r.nan = true; // inf - inf
  }
  const double lo = a.lo + b.lo;
  const double hi = a.hi + b.hi;
  r.lo = std::isnan(lo) ? -kInf : down(lo);
  r.hi = std::isnan(hi) ? kInf : up(hi);
  return r;
}

Enclosure negate(const Enclosure& a) {
  Enclosure r = a;
  if (a.hasNumbers()) {
    r.lo = -a.hi;
    r.hi = -a.lo;
  }
  return r;
}

Enclosure multiply(const Enclosure& a, const Enclosure& b) {
  Enclosure r;
  r.nan = a.nan || b.nan;
  if (!a.hasNumbers() || !b.hasNumbers()) {
    return r;
  }
  if ((a.containsNumber(0) && hasInfinity(b)) || (b.containsNumber(0) && hasInfinity(a))) {
    r.nan = true; // 0 * inf
  }
  // For a fixed operand the product is monotone in the other: the extremes are at corners.
  const double c[] = {a.lo * b.lo, a.lo * b.hi, a.hi * b.lo, a.hi * b.hi};
  r.include(corners(c, 4));
  return r;
}

} // namespace

// a / b for b of one sign, with zero left out of b.
Enclosure enclose::detail::quotient(const Enclosure& a, double blo, double bhi) {
  if (blo == 0) {
    blo = kTiny;
  }
  if (bhi == 0) {
    bhi = -kTiny;
  }
  const double c[] = {a.lo / blo, a.lo / bhi, a.hi / blo, a.hi / bhi};
  return corners(c, 4);
}

namespace {

// l / r, 0.0 when r is 0.
Enclosure divide(const Enclosure& a, const Enclosure& b) {
  Enclosure r;
  r.nan = b.nan; // l / NaN
  if (a.nan) {
    if (b.containsNumber(0)) {
      r.include(0.0);
    }
    r.nan = r.nan || (b.hasNumbers() && !(b.lo == 0 && b.hi == 0));
  }
  if (!a.hasNumbers() || !b.hasNumbers()) {
    return r;
  }
  if (b.containsNumber(0)) {
    r.include(0.0);
  }
  if (b.lo < 0 && b.hi > 0) {
    if (a.lo == 0 && a.hi == 0) {
      return r; // 0 / r is a zero
    }
    r.include(allNumbers());
    r.nan = r.nan || (hasInfinity(a) && hasInfinity(b));
    return r;
  }
  if (b.lo == 0 && b.hi == 0) {
    return r;
  }
  r.include(quotient(a, b.lo, b.hi));
  return r;
}

// ---- integer operations --------------------------------------------------------

// A range of whole numbers held as doubles; empty when lo > hi.
struct Whole {
  double lo = kInf, hi = -kInf;
  bool empty() const { return lo > hi; }
  bool single() const { return lo == hi; }
  void include(double v) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
};

// trunc32 over the set: monotone between -2^31 - 1 and 2^31, anything beyond
// wraps to any 32-bit value; NaN and the infinities give 0.
Whole truncated(const Enclosure& e) {
  Whole w;
  if (e.nan) {
    w.include(0);
  }
  if (e.hasNumbers()) {
    if (e.lo > -2147483649.0 && e.hi < 2147483648.0) {
      w.include(numeric::trunc32(e.lo));
      w.include(numeric::trunc32(e.hi));
    } else {
      w.include(INT32_MIN);
      w.include(INT32_MAX);
    }
  }
  return w;
}

Enclosure ofWhole(const Whole& w) {
  return w.empty() ? Enclosure{} : Enclosure::span(w.lo, w.hi);
}

// The remainder: 0.0 for a divisor of 0 or one that truncates to 0, else the
// remainder of the truncations, smaller than the divisor and of the sign of L.
Enclosure remainder(const Enclosure& a, const Enclosure& b) {
  const Whole m = truncated(a);
  const Whole n = truncated(b);
  if (m.empty() || n.empty()) {
    return Enclosure{};
  }
  if (m.single() && n.single()) {
    return Enclosure::point(ops::remainder(m.lo, n.lo));
  }
  const double bound = std::max(std::fabs(n.lo), std::fabs(n.hi)) - 1;
  Enclosure r = Enclosure::point(0.0);
  if (bound > 0) {
    r.include(m.lo < 0 ? std::max(m.lo, -bound) : 0.0);
    r.include(m.hi > 0 ? std::min(m.hi, bound) : 0.0);
  }
  return r;
}

// The arguments of "nod" and "nok": truncated, negative ones replaced by 1.
Whole gcdArguments(const Enclosure& e) {
  Whole t = truncated(e);
  if (t.empty() || t.lo >= 0) {
    return t;
  }
  if (t.hi < 0) {
    return Whole{1, 1};
  }
  return Whole{0, std::max(t.hi, 1.0)};
}

Enclosure nod(const Enclosure& a, const Enclosure& b) {
  const Whole m = gcdArguments(a);
  const Whole n = gcdArguments(b);
  if (m.empty() || n.empty()) {
    return Enclosure{};
  }
  if (m.single() && n.single()) {
    return Enclosure::point(ops::nod(m.lo, n.lo));
  }
  // gcd(0, n) is n; otherwise the divisor is at most either argument.
  const bool noZero = m.lo > 0 && n.lo > 0;
  return Enclosure::span(m.lo > 0 || n.lo > 0 ? 1.0 : 0.0,
                         noZero ? std::min(m.hi, n.hi) : std::max(m.hi, n.hi));
}

Enclosure nok(const Enclosure& a, const Enclosure& b) {
  const Whole m = gcdArguments(a);
  const Whole n = gcdArguments(b);
  if (m.empty() || n.empty()) {
    return Enclosure{};
  }
  if (m.single() && n.single()) {
    return Enclosure::point(ops::nok(m.lo, n.lo));
  }
  if (m.hi * n.hi > INT32_MAX) {
    return Enclosure::span(INT32_MIN, INT32_MAX); // the 32-bit product wraps
  }
  const bool zero = m.lo == 0 || n.lo == 0;
  return Enclosure::span(zero ? 0.0 : std::max(m.lo, n.lo), m.hi * n.hi);
}

Enclosure factorial(const Enclosure& a) {
  const Whole k = truncated(a);
  Enclosure r;
  if (k.empty()) {
    return r;
  }
  if (k.lo <= 0) {
    r.include(1.0);
  }
  if (k.hi >= 1) {
    if (k.hi <= 20) { // exact and rising up to 20!
      r.include(ops::factorial(std::max(k.lo, 1.0)));
      r.include(ops::factorial(k.hi));
    } else { // the 64-bit product wraps
      r.include(-0x1p63);
      r.include(0x1p63);
    }
  }
  return r;
}

// ---- powers --------------------------------------------------------------------

// p * p over p in e, zero left out (the batch evaluator squares powers of 2).
Enclosure squares(const Enclosure& e) {
  const double big = std::max(std::fabs(e.lo), std::fabs(e.hi));
  const double small = e.lo > 0 ? e.lo : e.hi < 0 ? -e.hi : 0.0;
  return Enclosure::span(down(small * small), up(big * big));
}

// pow(p, q) for p from plo to phi (0 < plo <= phi), q in [qlo, qhi]: monotone in
// each, so the extremes are at corners.
Enclosure positivePowers(double plo, double phi, double qlo, double qhi) {
  if (qlo == qhi) {
    const double c[] = {std::pow(plo, qlo), std::pow(phi, qlo)};
    return libCorners(c, 2);
  }
  const double c[] = {std::pow(plo, qlo), std::pow(plo, qhi), std::pow(phi, qlo),
                      std::pow(phi, qhi)};
  return libCorners(c, 4);
}

// pow of negative bases whose magnitudes run from mlo to mhi, for the exponents
// from qlo to qhi, all outside [-1, 1]: whole exponents give signed powers of the
// magnitudes, others NaN (or, for -inf, +inf or +0).
void negativePowers(Enclosure& r, double mlo, double mhi, double qlo, double qhi) {
  if (qlo > qhi) {
    return;
  }
  if (qlo < qhi || qlo != std::floor(qlo)) {
    r.nan = true;
    if (mhi == kInf) {
      r.include(qlo > 0 ? kInf : 0.0);
    }
  }
  const double wlo = std::ceil(qlo);
  const double whi = std::floor(qhi);
  if (wlo > whi) {
    return;
  }
  const Enclosure m = positivePowers(mlo, mhi, wlo, whi);
  if (wlo == whi) {
    const bool even = !std::isfinite(wlo) || std::fabs(wlo) >= 0x1p53 || std::fmod(wlo, 2.0) == 0;
    r.include(even ? m : negate(m));
  } else {
    r.include(Enclosure::span(-m.hi, m.hi));
  }
}

// power(p, q): 1.0 for p = 0, 0.0 for p < 0 and -1 <= q <= 1, else pow; and the
// batch evaluator's p * p where q is 2.
Enclosure power(const Enclosure& p, const Enclosure& q) {
  Enclosure r;
  if (p.nan) {
    r.nan = true;
    if (q.containsNumber(0)) {
      r.include(1.0); // pow(NaN, 0)
    }
  }
  if (q.nan) {
    r.nan = true;
    if (p.containsNumber(0) || p.containsNumber(1)) {
      r.include(1.0); // power(0, NaN), pow(1, NaN)
    }
  }
  if (!p.hasNumbers() || !q.hasNumbers()) {
    return r;
  }
  if (p.containsNumber(0)) {
    r.include(1.0);
  }
  if (q.containsNumber(2)) {
    r.include(squares(p));
  }
  if (q.lo == 2 && q.hi == 2) {
    // pow(p, 2) lies within its error of the square of p, of either sign.
    const Enclosure s = squares(p);
    r.include(Enclosure::span(libDown(s.lo), libUp(s.hi)));
    return r;
  }
  if (p.hi > 0) {
    r.include(positivePowers(p.lo > 0 ? p.lo : kTiny, p.hi, q.lo, q.hi));
  }
  if (p.lo < 0) {
    const double mlo = p.hi < 0 ? -p.hi : kTiny;
    const double mhi = -p.lo;
    if (q.lo <= 1 && q.hi >= -1) {
      r.include(0.0);
    }
    if (q.lo < -1) {
      negativePowers(r, mlo, mhi, q.lo, std::min(q.hi, down(-1.0)));
    }
    if (q.hi > 1) {
      negativePowers(r, mlo, mhi, std::max(q.lo, up(1.0)), q.hi);
    }
  }
  return r;
}

// 1 / l for the nonzero l of the set (the degree of a root).
Enclosure reciprocal(const Enclosure& a) {
  Enclosure r;
  r.nan = a.nan;
  if (!a.hasNumbers() || (a.lo == 0 && a.hi == 0)) {
    return r;
  }
  if (a.lo < 0 && a.hi > 0) {
    r.include(allNumbers());
    r.include(0.0);
    return r;
  }
  r.include(quotient(Enclosure::point(1.0), a.lo, a.hi));
  return r;
}

// l & r: 0.0 when l is 0, else power(r, 1 / l).
Enclosure root(const Enclosure& a, const Enclosure& b) {
  Enclosure r = power(b, reciprocal(a));
  if (a.containsNumber(0)) {
    r.include(0.0);
  }
  return r;
}

// min (l < r ? l : r) or max (l > r ? l : r): a NaN L gives R, a NaN R gives NaN.
Enclosure minOrMax(const Enclosure& a, const Enclosure& b, bool maximum) {
  Enclosure r;
  if (a.hasNumbers() && b.hasNumbers()) {
    r = maximum ? Enclosure::span(std::max(a.lo, b.lo), std::max(a.hi, b.hi))
                : Enclosure::span(std::min(a.lo, b.lo), std::min(a.hi, b.hi));
  }
  if (a.nan) {
    r.include(b);
  }
  r.nan = r.nan || b.nan;
  return r;
}

} // namespace

Enclosure enclose::apply(std::int32_t code, const Enclosure& l, const Enclosure& r) {
  using namespace enclose::detail;
  switch (code) {
  case lex::Plus:
    return add(l, r);
  case lex::Minus:
    return add(l, negate(r));
  case lex::Times:
    return multiply(l, r);
  case lex::Divide:
    return divide(l, r);
  case lex::Remainder:
    return remainder(l, r);
  case lex::Root:
    return root(l, r);
  case lex::Power:
    return power(l, r);
  case lex::Min:
    return minOrMax(l, r, false);
  case lex::Max:
    return minOrMax(l, r, true);
  case lex::Nod:
    return nod(l, r);
  case lex::Nok:
    return nok(l, r);
  case lex::Log:
    return logBase(l, r);
  case lex::Sin:
    return sineOrCosine(l, false);
  case lex::Cos:
    return sineOrCosine(l, true);
  case lex::Tg:
    return tangent(l, false);
  case lex::Ctg:
    return tangent(l, true);
  case lex::Arccos:
    return arcOf(l, true);
  case lex::Arcsin:
    return arcOf(l, false);
  case lex::Arctg:
    return arctangent(l);
  case lex::Arcctg:
    return arccotangent(l);
  case lex::Ln:
    return naturalLog(l);
  case lex::Lg:
    return logBase(Enclosure::point(10), l);
  case lex::Abc:
    return ofWhole(truncated(l));
  case lex::AbcPlusOne: {
    const Whole w = truncated(l);
    return w.empty() ? Enclosure{} : Enclosure::span(w.lo + 1, w.hi + 1);
  }
  case lex::Factorial:
    return factorial(l);
  default:
    return Enclosure::everything(); // no safe enclosure
  }
}
