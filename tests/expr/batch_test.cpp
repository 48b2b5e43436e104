// The batch evaluator against the plain tree walk, value for value.

#include "expr/batch.h"
#include "expr/ops.h"
#include "expr_test_util.h"
#include "square_walk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

bool sameValue(double p, double q) {
  return (std::isnan(p) && std::isnan(q)) || std::memcmp(&p, &q, sizeof p) == 0;
}

const double kPoints[] = {0.0,   -0.0,   1.0,          -1.0,          0.5,  -0.5, 2.0,
                          -2.0,  2.5,    3.0,          -7.9,          10.0, 0.01, 1e-9,
                          1e300, -1e300, 4294967301.0, -2147483648.0, 65.0, 0.3};

// Compares every sample of row and line evaluation with the walk; returns the
// number of samples where the plain walk itself differs (squares only).
void compareEverywhere(const std::string& formula) {
  SCOPED_TRACE(formula);
  CProgram p;
  try {
    p.compile(CText(formula.c_str()));
  } catch (char* message) {
    FAIL() << cp1251::toUtf8(takeMessage(message));
  }
  ASSERT_NE(p.batch, nullptr);
  BatchProgram& batch = *p.batch;
  const int n = static_cast<int>(std::size(kPoints));
  const int chunk = batch.chunkSize();
  for (double a : {1.0, -0.5}) {
    Vars vars{0, 0, a, 2.0, 0.0, -3.0};
    batch.beginPass(vars.a, vars.b, vars.c, vars.d);
    for (int round = 0; round < 2; ++round) { // the second round uses the kept row values
      for (double x : kPoints) {
        batch.beginRow(x);
        for (int first = 0; first < n; first += chunk) {
          int count = std::min(chunk, n - first);
          const double* values = batch.evaluateRow(kPoints + first, first, count);
          for (int i = 0; i < count; ++i) {
            Vars at = vars;
            at.x = x;
            at.y = kPoints[first + i];
            SquareWalk walk{at};
            double expected = walk.value(p.root);
            ASSERT_TRUE(sameValue(values[i], expected))
                << "row x = " << x << ", y = " << at.y << ": " << values[i] << " vs " << expected;
            if (walk.squares == 0) {
              double plain = p.evaluate(at.x, at.y, at.a, at.b, at.c, at.d);
              ASSERT_TRUE(sameValue(plain, expected)) << plain << " vs " << expected;
            }
          }
        }
      }
    }
    for (int first = 0; first < n; first += chunk) {
      int count = std::min(chunk, n - first);
      const double* values = batch.evaluateLine(kPoints + first, count);
      for (int i = 0; i < count; ++i) {
        Vars at = vars;
        at.x = at.y = kPoints[first + i];
        ASSERT_TRUE(sameValue(values[i], SquareWalk{at}.value(p.root))) << "line t = " << at.x;
      }
    }
  }
}

TEST(Batch, MatchesTheTreeWalkOnATableOfFormulas) {
  const char* formulas[] = {
      "x^2 + y^2 - 1.0",
      "a*x^2 + b*x + c",
      "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*cos(x)",
      "x",
      "y",
      "5",
      "",
      "a",
      "x*y",
      "sin(x*y) - y/x",
      "y^2",
      "(y+1)^2 - x^2",
      "x^y",
      "y^x",
      "0^y",
      "y^(a+1)",
      "(0-y)^0.5",
      "x%y",
      "y%3",
      "x&y",
      "min(x, y) + max(y, d)",
      "nod(x, y)",
      "nok(y, x)",
      "log(x, y)",
      "lg y + ln x",
      "tg y * ctg x",
      "arccos y + arcsin x",
      "arctg y - arcctg x",
      "abc y + ABC x",
      "y! + x!",
      "(sin y)^2 + (cos y)^2",
      "y*y*y*y - x*x*x",
      "1/y + 1/x",
      "y^2 * x^2 * a^2",
  };
  for (const char* f : formulas) {
    compareEverywhere(f);
  }
}

// A random formula over every operator and function, fully bracketed.
std::string randomFormula(std::mt19937& rng, int depth) {
  static const char* leaves[] = {"x",   "y", "a",  "b",   "c",  "d", "0",          "1",  "2",
                                 "0.5", "3", "10", "100", "pi", "e", "2147483648", "7.9"};
  static const char* binary[] = {"+", "-", "*", "/", "%", "&", "^"};
  static const char* pairs[] = {"min", "max", "nod", "nok", "log"};
  static const char* unary[] = {"sin",   "cos",    "tg", "ctg", "arccos", "arcsin",
                                "arctg", "arcctg", "ln", "lg",  "abc",    "ABC"};
  auto pick = [&](auto& list) { return list[rng() % std::size(list)]; };
  if (depth == 0 || rng() % 5 == 0) {
    return pick(leaves);
  }
  switch (rng() % 5) {
  case 0:
  case 1:
    return "(" + randomFormula(rng, depth - 1) + pick(binary) + randomFormula(rng, depth - 1) + ")";
  case 2:
    return std::string(pick(pairs)) + "(" + randomFormula(rng, depth - 1) + "," +
           randomFormula(rng, depth - 1) + ")";
  case 3:
    return std::string(pick(unary)) + "(" + randomFormula(rng, depth - 1) + ")";
  default:
    return "(" + randomFormula(rng, depth - 1) + ")!";
  }
}

TEST(Batch, MatchesTheTreeWalkOnRandomFormulas) {
  std::mt19937 rng(20261208);
  for (int i = 0; i < 400; ++i) {
    compareEverywhere(randomFormula(rng, 1 + i % 6));
    if (HasFatalFailure()) {
      return;
    }
  }
}

TEST(Batch, KeepsRowValuesOnlyWhereTheyFit) {
  // Rows longer than the kept part: values beyond it are computed afresh every row.
  CProgram p;
  p.compile(CText("sin(y*3) + x"));
  BatchProgram& batch = *p.batch;
  const int n = BatchProgram::RowCache + 700;
  std::vector<double> ys(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    ys[static_cast<std::size_t>(i)] = -50.0 + i * 0.01;
  }
  batch.beginPass(0, 0, 0, 0);
  for (double x : {1.0, 2.0, -3.0}) {
    batch.beginRow(x);
    for (int first = 0; first < n; first += batch.chunkSize()) {
      int count = std::min(batch.chunkSize(), n - first);
      const double* values = batch.evaluateRow(ys.data() + first, first, count);
      for (int i = 0; i < count; ++i) {
        double y = ys[static_cast<std::size_t>(first + i)];
        ASSERT_EQ(values[i], p.evaluate(x, y, 0, 0, 0, 0)) << x << ", " << y;
      }
    }
  }
  batch.beginPass(1, 1, 1, 1); // a new pass forgets the kept values
  batch.beginRow(0.5);
  ASSERT_EQ(batch.evaluateRow(ys.data(), 0, 1)[0], p.evaluate(0.5, ys[0], 1, 1, 1, 1));
}

TEST(Batch, LongFormulasGetShortChunks) {
  std::string sum = "x";
  for (int i = 0; i < 2000; ++i) {
    sum += "+sin(x*y)";
  }
  CProgram small, large;
  small.compile(CText("x*y"));
  large.compile(CText(sum.c_str()));
  EXPECT_EQ(small.batch->chunkSize(), BatchProgram::MaxChunk);
  EXPECT_LE(large.batch->chunkSize() * 6000, 16384 * 3);
  EXPECT_GE(large.batch->chunkSize(), 1);
}

TEST(Batch, RefusesDamagedTrees) {
  CProgram p;
  p.compile(CText("x+1"));
  p.root->type = 40;
  EXPECT_EQ(BatchProgram::build(p.root), nullptr);
  p.root->type = lex::Plus;
  p.root->left->type = lex::Open;
  EXPECT_EQ(BatchProgram::build(p.root), nullptr);
  CProgram never;
  EXPECT_EQ(never.batch, nullptr);
}

} // namespace
