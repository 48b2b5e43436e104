// A box and a formula: the first four bytes choose the box's x and y ranges from
// tables of centres and widths (zero, whole numbers, multiples of pi, the ends of
// 32 bits, huge values), the values of a..d and the points; the rest is the
// formula. Every value that the tree walk and the batch evaluator give at a point
// of the box must lie in the box's enclosure, or be NaN where NaN was allowed.

#include "../tests/expr/box_points.h"
#include "fuzz_report.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

constexpr std::size_t kHeader = 4;
constexpr std::size_t kMaxFormula = 10023;

constexpr double kCentres[16] = {0.0,
                                 -0.0,
                                 1.0,
                                 -1.0,
                                 0.5,
                                 1.5707963267948966,
                                 3.141592653589793,
                                 -3.141592653589793,
                                 2.0,
                                 -2.5,
                                 10.0,
                                 2147483648.0,
                                 -2147483649.0,
                                 1e10,
                                 1e300,
                                 -1e300};
constexpr double kWidths[16] = {0.0, 0x1p-40, 1e-9, 1e-6, 0.001, 0.01, 0.1,   0.5,
                                1.0, 2.0,     5.0,  10.0, 100.0, 1e6,  1e100, 1e308};
constexpr double kVariables[4][4] = {
    {1.0, 1.0, 1.0, 1.0}, {0.0, -0.5, 2.0, -1e300}, {0.5, 0.0, 0.0, 0.0}, {-1.0, 3.0, 1e-300, 7.0}};

// The range of one coordinate: a centre, a width, and whether it starts or ends
// at the centre.
void rangeOf(std::uint8_t choice, bool startsAtCentre, bool endsAtCentre, double& lo, double& hi) {
  const double centre = kCentres[choice & 15];
  const double width = kWidths[choice >> 4];
  lo = startsAtCentre ? centre : centre - width;
  hi = endsAtCentre && !startsAtCentre ? centre : centre + width;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader || size > kHeader + kMaxFormula) {
    return -1;
  }
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  const std::uint8_t flags = data[2];
  rangeOf(data[0], (flags & 1) != 0, (flags & 2) != 0, x0, x1);
  rangeOf(data[1], (flags & 4) != 0, (flags & 8) != 0, y0, y1);
  const double(&vars)[4] = kVariables[(flags >> 4) & 3];
  std::mt19937_64 rng(data[3]);

  CText formula;
  formula.assign(reinterpret_cast<const char*>(data + kHeader), 0,
                 static_cast<std::int32_t>(size - kHeader));
  CProgram p;
  try {
    p.compile(formula);
  } catch (char* message) {
    std::free(message); // the formula fuzzer checks the messages
    return 0;
  }
  if (p.enclosure == nullptr || p.batch == nullptr) {
    fuzz::fail(data, size, "a compiled formula has no enclosure or no batch layout");
  }
  Enclosure e{};
  if (const std::optional<Escape> out = firstEscape(p, x0, x1, y0, y1, vars, rng, e)) {
    fuzz::fail(data, size,
               "over x %a..%a, y %a..%a, a..d %g %g %g %g: the value %a (%.17g) at (%a, %a) is "
               "outside [%a, %a]%s",
               x0, x1, y0, y1, vars[0], vars[1], vars[2], vars[3], out->value, out->value, out->x,
               out->y, e.lo, e.hi, e.nan ? " with NaN" : " without NaN");
  }
  p.release();
  return 0;
}
