// Enclosures hold every value the tree walk and the batch evaluator give at any
// point of their box, for a table of the guarded cases and for random formulas;
// and they are tight enough on smooth formulas to decide blocks of a picture.

#include "box_points.h"
#include "expr/batch.h"
#include "expr/enclosure.h"
#include "expr_test_util.h"
#include "formula_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

struct Box {
  double x0, x1, y0, y1;
};

// Checks both evaluators at points of the box against its enclosure.
void expectHeld(CProgram& p, const Box& box, const double (&vars)[4], std::mt19937_64& rng) {
  Enclosure e{};
  const std::optional<Escape> out = firstEscape(p, box.x0, box.x1, box.y0, box.y1, vars, rng, e);
  ASSERT_FALSE(out) << cp1251::toUtf8(p.source.at(0)) << " over x " << box.x0 << ".." << box.x1
                    << ", y " << box.y0 << ".." << box.y1 << ": at (" << out->x << ", " << out->y
                    << ") " << out->value << " outside [" << e.lo << ", " << e.hi << "]"
                    << (e.nan ? " with NaN" : "");
}

CProgram* compiled(CProgram& p, const std::string& formula) {
  try {
    p.compile(CText(formula.c_str()));
  } catch (char* message) {
    ADD_FAILURE() << formula << ": " << cp1251::toUtf8(takeMessage(message));
    return nullptr;
  }
  return p.enclosure != nullptr ? &p : nullptr;
}

TEST(Enclosure, HoldsTheGuardedAndExtremeCases) {
  struct Case {
    const char* formula;
    Box box;
  } cases[] = {
      {"x^2 + y^2 - 1.0", {-1, 1, -0.5, 0.5}}, // 0^2 is 1
      {"x^2", {0, 3, 0, 0}},                   // and p * p where the batch squares
      {"(0-x)^2 + x^3", {-2, 2, 0, 0}},        // negative bases, whole exponents
      {"x^y", {-3, 3, -3, 3}},                 // 0.0 for -1 <= q <= 1, NaN beyond
      {"x^y", {-1e308, -2, 1.5, 2.5}},         // overflow, NaN and signs together
      {"(0-8)^x", {-2, 2, 0, 0}},
      {"x&y", {-2, 2, -8, 8}},  // roots: degree 0 gives 0.0
      {"sin(x)", {1, 2, 0, 0}}, // a maximum inside
      {"sin(x*y)", {-4, 4, 0.5, 1}},
      {"cos(x)", {3, 3.3, 0, 0}}, // a minimum inside
      {"cos(x) - sin(y)", {1e6, 1e6 + 2, -1e9, -1e9 + 4}},
      {"tg(x)", {1.5, 1.6, 0, 0}}, // a pole
      {"tg(x)", {-1.5, 1.5, 0, 0}},
      {"ctg(x)", {-0.1, 0.1, 0, 0}}, // a pole at 0, where ctg gives 0.0
      {"ctg(x)", {3.1, 3.2, 0, 0}},
      {"1/x", {-1, 1, 0, 0}},
      {"x/y", {-1, 1, 0, 2}},
      {"y/(x-1)", {0.5, 1, -1, 1}},
      {"x*y", {-1e308, 1e308, -1e308, 1e308}}, // infinities, 0 * inf
      {"(x*10^308)*0", {-10, 10, 0, 0}},
      {"x - y*10^308*10", {-1, 1, -1, 1}},
      {"x%3 + y%0.5", {-7.5, 7.5, -2, 2}},
      {"x%y", {-10, 10, -3, 3}},
      {"(x*10^10)%7", {-1, 1, 0, 0}}, // beyond 32 bits
      {"nod(x, 12) + nok(y, 4)", {-5, 30, -3, 9}},
      {"nod(x, y)", {0, 0, 0, 0}},
      {"nok(x*1000, y*1000)", {0, 100, 0, 100}},
      {"x!", {-3, 25, 0, 0}}, // 21! and beyond wrap
      {"x! + (y*100)!", {0, 5.5, 0.6, 0.7}},
      {"abc(x) + ABC(y)", {-2.7, 2.9, -1e10, 1e10}},
      {"ln(x) + lg(y)", {-1, 2, -1, 100}},
      {"log(x, 8)", {0.5, 2, 0, 0}}, // base 1 gives 0.0, near 1 huge
      {"log(x, y)", {-1, 3, -1, 3}},
      {"log(x, y)", {1.5, 1e300, 0.1, 0.9}},
      {"arccos(x) + arcsin(y)", {0.9, 1.1, -1.2, -0.8}},
      {"arctg(x) - arcctg(y)", {-1e300, 1e300, -3, 3}},
      {"min(x, y) - max(x*x, y)", {-2, 2, -1, 3}},
      {"min(0/0, x)", {0, 1, 0, 0}},
      {"min(x, ln(0-1)^0.5)", {0, 1, 0, 0}},
      {"max((0-8)^1.5, y)", {-1, 1, -1, 1}}, // a NaN L gives R
      {"((0-8)^1.5)^x", {-1, 1, 0, 0}},      // pow(NaN, 0) is 1
      {"1^((0-8)^1.5) + 0^((0-8)^1.5)", {0, 0, 0, 0}},
      {"a*x + b*y + c/d", {-1, 1, -1, 1}},
  };
  std::mt19937_64 rng(7);
  for (const Case& c : cases) {
    CProgram p;
    if (compiled(p, c.formula) != nullptr) {
      expectHeld(p, c.box, {1.0, -0.5, 2.0, 0.0}, rng);
    }
  }
}

TEST(Enclosure, HoldsEveryValueOfRandomFormulas) {
  FormulaGenerator gen(2024);
  std::mt19937_64 rng(11);
  const double centres[] = {
      0, 1, -1, 0.5, 1.5707963267948966, 3.141592653589793, -2.5, 2, 10, 2147483648.0, 1e10, -30};
  const double halves[] = {0, 1e-12, 1e-6, 0.001, 0.05, 0.5, 1, 3, 10, 100};
  for (int f = 0; f < 600; ++f) {
    const std::string formula = gen.varying(1 + f % 6);
    CProgram p;
    if (compiled(p, formula) == nullptr) {
      continue;
    }
    for (int b = 0; b < 5; ++b) {
      const double cx = centres[gen.pick(12)], hx = halves[gen.pick(10)];
      const double cy = centres[gen.pick(12)], hy = halves[gen.pick(10)];
      // Some boxes start or end exactly at their centre (zero, a whole number).
      const Box box{cx - (b == 1 ? 0 : hx), cx + hx, cy - hy, cy + (b == 2 ? 0 : hy)};
      expectHeld(p, box, {1.0, 0.5, -2.0, 0.0}, rng);
      if (HasFatalFailure()) {
        return;
      }
    }
  }
}

// Tight enough to decide: each enclosure lies within the bounds given.
TEST(Enclosure, IsTightOnSmoothFormulas) {
  struct Case {
    const char* formula;
    Box box;
    double lo, hi; // the enclosure must lie inside [lo, hi]
    bool nan;
  } cases[] = {
      {"x^2 + y^2 - 1.0", {2, 3, 2, 3}, 6.999, 17.001, false},
      {"x^2 + y^2 - 1.0", {-3, -2, 0.5, 0.6}, 3.249, 8.361, false},
      {"sin(x*y) - cos(x+y)", {0.1, 0.2, 0.1, 0.2}, -0.971, -0.88, false},
      {"sin(x)", {0.1, 0.2, 0, 0}, 0.0998, 0.1987, false},
      {"cos(x)", {-0.5, 0.5, 0, 0}, 0.877, 1.0, false},
      {"tg(x)", {0, 1, 0, 0}, -1e-12, 1.5575, false},
      {"x*y", {-1, 2, 3, 4}, -4.0001, 8.0001, false},
      {"x/y", {1, 2, 4, 8}, 0.1249, 0.5001, false},
      {"ln(x) + y^0.5", {1, 2, 4, 9}, 1.999, 3.694, false},
      {"min(x, y)", {1, 2, 0, 5}, -1e-12, 2.0001, false},
      {"x%3", {4.5, 5.5, 0, 0}, -1e-12, 2.0001, false},
      {"(0-8)^x", {1.5, 1.5, 0, 0}, 1, -1, true}, // NaN only
  };
  for (const Case& c : cases) {
    CProgram p;
    if (compiled(p, c.formula) == nullptr) {
      continue;
    }
    p.enclosure->beginPass(1, 1, 1, 1);
    const Enclosure e = p.enclosure->enclose(c.box.x0, c.box.x1, c.box.y0, c.box.y1);
    SCOPED_TRACE(c.formula);
    if (c.lo <= c.hi) {
      EXPECT_GE(e.lo, c.lo);
      EXPECT_LE(e.hi, c.hi);
    } else {
      EXPECT_FALSE(e.hasNumbers());
    }
    EXPECT_EQ(e.nan, c.nan);
  }
}

} // namespace
