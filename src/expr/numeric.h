#pragma once
// Integer conversions of doubles, defined for every input.

#include <cstdint>

namespace numeric {

// Truncation toward zero to 64 bits. NaN, the infinities and values outside the
// signed 64-bit range give INT64_MIN, as the x86 conversion instruction does.
constexpr std::int64_t trunc64(double v) {
  if (v >= -0x1p63 && v < 0x1p63) {
    return static_cast<std::int64_t>(v);
  }
  return INT64_MIN;
}

// Truncation toward zero keeping the low 32 bits of the 64-bit truncation, so
// 2^32 + 5 gives 5, 2^31 gives -2^31, and NaN or infinity gives 0.
constexpr std::int32_t trunc32(double v) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(trunc64(v))));
}

// Truncation toward zero to 32 bits, saturating at the ends of the range; NaN gives 0.
// For pixel coordinates and other places where a wrapped value would be nonsense.
constexpr std::int32_t clamp32(double v) {
  if (!(v == v)) {
    return 0;
  }
  if (v <= -2147483648.0) {
    return INT32_MIN;
  }
  if (v >= 2147483647.0) {
    return INT32_MAX;
  }
  return static_cast<std::int32_t>(v);
}

// 32-bit two's complement arithmetic without signed overflow.
constexpr std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
constexpr std::int32_t wrapMul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
constexpr std::int32_t wrapNeg(std::int32_t a) {
  return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a));
}

} // namespace numeric
