#pragma once
// What the enclosures of the operators share: outward steps, the widening of
// math library results, corners; and the functions of enclosure_functions.cpp.

#include "expr/enclosure.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace enclose::detail {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr double kMax = std::numeric_limits<double>::max();
// Relative widening of a math library result: about 2^8 units in the last place.
constexpr double kSlack = 0x1p-44;

// The neighbours of a double toward -inf and +inf (NaN and the infinity in that
// direction stay), without the library call.
inline double up(double v) {
  if (!(v < kInf)) {
    return v;
  }
  if (v == 0) {
    return kTiny;
  }
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  bits += v > 0 ? 1 : -1;
  return std::bit_cast<double>(bits);
}
inline double down(double v) {
  return -up(-v);
}

// Below and above a math library result by more than its error.
inline double libDown(double v) {
  if (v == kInf) {
    return kMax - kMax * kSlack;
  }
  return v == -kInf ? v : v - (std::fabs(v) * kSlack + kTiny);
}
inline double libUp(double v) {
  if (v == -kInf) {
    return -kMax + kMax * kSlack;
  }
  return v == kInf ? v : v + (std::fabs(v) * kSlack + kTiny);
}

inline bool hasInfinity(const Enclosure& e) {
  return e.hasNumbers() && (e.lo == -kInf || e.hi == kInf);
}

inline Enclosure allNumbers() {
  return Enclosure::span(-kInf, kInf);
}

// The hull of computed corner values, one step outward; every number and NaN
// when a corner is NaN.
inline Enclosure corners(const double* values, int n) {
  Enclosure e;
  for (int i = 0; i < n; ++i) {
    if (std::isnan(values[i])) {
      return Enclosure::everything();
    }
    e.include(values[i]);
  }
  return Enclosure::span(down(e.lo), up(e.hi));
}

// The hull of math library results at corners, widened by their error.
inline Enclosure libCorners(const double* values, int n) {
  Enclosure e;
  for (int i = 0; i < n; ++i) {
    e.include(values[i]);
  }
  if (e.hasNumbers()) {
    e.lo = libDown(e.lo);
    e.hi = libUp(e.hi);
  }
  return e;
}

// a / b for b of one sign, with zero left out of b.
Enclosure quotient(const Enclosure& a, double blo, double bhi);

// The functions: logarithms, periodic and inverse functions.
Enclosure logBase(const Enclosure& base, const Enclosure& v);
Enclosure naturalLog(const Enclosure& a);
Enclosure sineOrCosine(const Enclosure& a, bool cosine);
Enclosure tangent(const Enclosure& a, bool cotangent);
Enclosure arcOf(const Enclosure& a, bool cosine);
Enclosure arctangent(const Enclosure& a);
Enclosure arccotangent(const Enclosure& a);

} // namespace enclose::detail
