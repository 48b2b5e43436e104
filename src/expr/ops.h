#pragma once
// The meaning of every operator and function of the formula language on plain
// values. The tree walk and the fast evaluators share these, so both give the
// same bits.

#include "expr/lexer.h"
#include "expr/numeric.h"

#include <cmath>
#include <cstdint>

namespace ops {

inline double power(double p, double q) {
  if (p == 0) {
    return 1.0; // 0^q is 1 for every q
  }
  if (p < 0 && q >= -1 && q <= 1) {
    return 0.0;
  }
  return std::pow(p, q);
}

inline double logBase(double base, double v) {
  if (v <= 0 || base == 1 || base <= 0) {
    return 0.0;
  }
  return std::log(v) / std::log(base);
}

inline double remainder(double l, double r) {
  if (r == 0) {
    return 0.0;
  }
  std::int32_t m = numeric::trunc32(l);
  std::int32_t n = numeric::trunc32(r);
  if (n == 0 || (m == INT32_MIN && n == -1)) {
    return 0.0; // no divisor, or a quotient beyond 32 bits
  }
  return m % n;
}

inline double root(double l, double r) {
  return l == 0 ? 0.0 : power(r, 1 / l);
}

// The integer arguments of "nod" and "nok": negative values become 1.
inline std::uint32_t gcdArgument(double v) {
  std::int32_t k = numeric::trunc32(v);
  return k < 0 ? 1u : static_cast<std::uint32_t>(k);
}

inline std::uint32_t gcd(std::uint32_t m, std::uint32_t n) {
  while (n != 0) {
    std::uint32_t t = m % n;
    m = n;
    n = t;
  }
  return m;
}

inline double nod(double l, double r) {
  return static_cast<std::int32_t>(gcd(gcdArgument(l), gcdArgument(r)));
}

inline double nok(double l, double r) {
  std::uint32_t m = gcdArgument(l);
  std::uint32_t n = gcdArgument(r);
  if (m == 0 || n == 0) {
    return 0.0;
  }
  return static_cast<std::int32_t>(n * (m / gcd(m, n))); // 32-bit wrapping product
}

inline double tg(double l) {
  double c = std::cos(l);
  return c == 0 ? 0.0 : std::sin(l) / c;
}

inline double ctg(double l) {
  double s = std::sin(l);
  return s == 0 ? 0.0 : std::cos(l) / s;
}

inline double arccos(double l) {
  return l < -1 || l > 1 ? 0.0 : std::acos(l);
}
inline double arcsin(double l) {
  return l < -1 || l > 1 ? 0.0 : std::asin(l);
}
inline double arcctg(double l) {
  return lex::PiValue / 2 - std::atan(l);
}
inline double ln(double l) {
  return l <= 0 ? 0.0 : std::log(l);
}
inline double lg(double l) {
  return logBase(10, l);
}
inline double abc(double l) {
  return numeric::trunc32(l);
}
inline double abcPlusOne(double l) {
  return static_cast<double>(numeric::trunc32(l)) + 1.0;
}

inline double factorial(double l) {
  std::int32_t k = numeric::trunc32(l);
  if (k <= 0) {
    return 1.0;
  }
  std::uint64_t product = 1; // wraps modulo 2^64
  for (std::uint32_t i = 2; i <= static_cast<std::uint32_t>(k) && product != 0; ++i) {
    product *= i;
  }
  return static_cast<double>(static_cast<std::int64_t>(product));
}

// The operator of `code` applied to L and R (R is 0 for the one-argument functions).
// False for a code outside 0..24.
inline bool apply(std::int32_t code, double l, double r, double& result) {
  switch (code) {
  case lex::Plus:
    result = l + r;
    return true;
  case lex::Minus:
    result = l - r;
    return true;
  case lex::Times:
    result = l * r;
    return true;
  case lex::Divide:
    result = r == 0 ? 0.0 : l / r;
    return true;
  case lex::Remainder:
    result = remainder(l, r);
    return true;
  case lex::Root:
    result = root(l, r);
    return true;
  case lex::Power:
    result = power(l, r);
    return true;
  case lex::Min:
    result = l < r ? l : r;
    return true;
  case lex::Max:
    result = l > r ? l : r;
    return true;
  case lex::Nod:
    result = nod(l, r);
    return true;
  case lex::Nok:
    result = nok(l, r);
    return true;
  case lex::Log:
    result = logBase(l, r);
    return true;
  case lex::Sin:
    result = std::sin(l);
    return true;
  case lex::Cos:
    result = std::cos(l);
    return true;
  case lex::Tg:
    result = tg(l);
    return true;
  case lex::Ctg:
    result = ctg(l);
    return true;
  case lex::Arccos:
    result = arccos(l);
    return true;
  case lex::Arcsin:
    result = arcsin(l);
    return true;
  case lex::Arctg:
    result = std::atan(l);
    return true;
  case lex::Arcctg:
    result = arcctg(l);
    return true;
  case lex::Ln:
    result = ln(l);
    return true;
  case lex::Lg:
    result = lg(l);
    return true;
  case lex::Abc:
    result = abc(l);
    return true;
  case lex::AbcPlusOne:
    result = abcPlusOne(l);
    return true;
  case lex::Factorial:
    result = factorial(l);
    return true;
  default:
    return false;
  }
}

} // namespace ops
