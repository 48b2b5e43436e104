#include "expr/numeric.h"
#include "expr/program.h"
#include "expr_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kPi = 3.141592653589793;

struct ValueCase {
  const char* formula;
  double expected;
  double tolerance = 0.0; // 0: the exact value
  double x = 0.0;
};

void checkValues(const ValueCase* begin, const ValueCase* end) {
  for (const ValueCase* c = begin; c != end; ++c) {
    SCOPED_TRACE(std::string(c->formula) + " at x = " + std::to_string(c->x));
    double v = eval(c->formula, c->x);
    if (std::isnan(c->expected)) {
      EXPECT_TRUE(std::isnan(v)) << v;
    } else if (c->tolerance == 0.0) {
      EXPECT_EQ(v, c->expected);
    } else {
      EXPECT_NEAR(v, c->expected, c->tolerance);
    }
  }
}

TEST(Evaluate, VariablesTakeTheGivenValues) {
  EXPECT_EQ(eval("x", 3.5), 3.5);
  EXPECT_EQ(eval("a+b+c+d", 0, 0, 1, 2, 3, 4), 10);
  EXPECT_EQ(eval("y - x", 1, 5), 4);
  EXPECT_EQ(eval("a*1000+b*100+c*10+d", 0, 0, 1, 2, 3, 4), 1234);
  CProgram never;
  EXPECT_EQ(never.evaluate(1, 2, 3, 4, 5, 6), 0.0);
}

TEST(Evaluate, ArithmeticAndItsGuardedCases) {
  const ValueCase cases[] = {
      {"8-4-2", 6},         {"8/4/2", 4},
      {"2^3^2", 512},       {"1-2+3", 2},
      {"6/2*3", 9},         {"1/0", 0.0},
      {"0/0", 0.0},         {"x/0", 0.0, 0, 5},
      {"5%0", 0.0},         {"5%0.5", 0.0},
      {"7%3", 1},           {"(0-7)%3", -1},
      {"7.9%2.5", 1},       {"0-7%3", -1},
      {"7%(0-3)", 1},       {"2147483648%(0-1)", 0.0}, // INT_MIN % -1 overflows: 0
      {"3&8", 2},           {"2&9", 3},
      {"0&8", 0.0},         {"2&(0-4)", 0.0},
      {"0^0", 1.0},         {"0^5", 1.0},
      {"0^(0-1)", 1.0},     {"x^2", 1.0, 0, 0},
      {"(0-2)^2", 4},       {"(0-2)^1", 0.0},
      {"(0-2)^(0-1)", 0.0}, {"(0-2)^0.5", 0.0},
      {"(0-8)^1.5", kNaN},  {"(0-2)^3", -8},
      {"2^(0-1)", 0.5},     {"10^400", kInf},
      {"min(1,2)", 1},      {"max(1,2)", 2},
      {"min(2,2)", 2},      {"max(0-1,0-2)", -1},
  };
  checkValues(std::begin(cases), std::end(cases));
}

TEST(Evaluate, IntegerFunctions) {
  const ValueCase cases[] = {
      {"nod(12,18)", 6},
      {"nod(0,5)", 5},
      {"nod(5,0)", 5},
      {"nod(0,0)", 0},
      {"nod(0-4,6)", 1},
      {"nod(12.9,18.2)", 6},
      {"nok(4,6)", 12},
      {"nok(0,5)", 0},
      {"nok(0-4,6)", 6},
      {"nok(65536,65537)", 65536}, // 32-bit wrapping product
      {"abc(2.9)", 2},
      {"abc(0-2.9)", -2},
      {"ABC(2.9)", 3},
      {"ABC(2)", 3},
      {"ABC(0-2.7)", -1},
      {"ABC(2147483647)", 2147483648.0}, // no 32-bit overflow
      {"abc(4294967301)", 5},            // low 32 bits of the truncation
      {"abc(10^300)", 0},                // beyond 64 bits
      {"abc((0-8)^1.5)", 0},
      {"abc(10^400)", 0}, // NaN, infinity
      {"5!", 120},
      {"0!", 1},
      {"(0-3)!", 1},
      {"5.9!", 120},
      {"20!", 2432902008176640000.0},
      {"21!", -4249290049419214848.0},
      {"25!", 7034535277573963776.0},
      {"65!", -9223372036854775808.0},
      {"66!", 0},
      {"100!", 0},
      {"2147483647!", 0},
  };
  checkValues(std::begin(cases), std::end(cases));
}

TEST(Evaluate, TranscendentalFunctions) {
  const ValueCase cases[] = {
      {"log(10, 1000)", 3, 1e-12},
      {"log(2, 8)", 3, 1e-12},
      {"log(1, 5)", 0.0},
      {"log(0, 5)", 0.0},
      {"log(2, 0)", 0.0},
      {"log(0-2, 8)", 0.0},
      {"lg(100)", 2, 1e-15},
      {"lg(0)", 0.0},
      {"ln(0)", 0.0},
      {"ln(0-1)", 0.0},
      {"ln(e)", 1, 1e-15},
      {"sin(pi/2)", 1},
      {"cos(0)", 1},
      {"tg(0)", 0},
      {"ctg(0)", 0.0},
      {"tg(pi/4)", 1, 1e-15},
      {"ctg(pi/4)", 1, 1e-15},
      {"arccos(2)", 0.0},
      {"arcsin(0-2)", 0.0},
      {"arccos(0-1)", kPi},
      {"arcsin(1)", kPi / 2},
      {"arctg(1)", kPi / 4},
      {"arcctg(0)", kPi / 2},
      {"arcctg(1)", kPi / 4, 1e-15},
      {"arcctg(0-1)", 3 * kPi / 4, 1e-15},
      {"arcctg(10^10)", 1e-10, 1e-15},
      {"arcctg(0-10^10)", kPi - 1e-10, 1e-15},
  };
  checkValues(std::begin(cases), std::end(cases));
  double nearPole = eval("tg(pi/2)");
  EXPECT_TRUE(std::isfinite(nearPole));
  EXPECT_GT(std::fabs(nearPole), 1e15);
}

TEST(Evaluate, Trunc32IsDefinedEverywhere) {
  struct Case {
    double v;
    std::int32_t expected;
  } cases[] = {
      {2.9, 2},
      {-2.9, -2},
      {0.0, 0},
      {2147483647.0, 2147483647},
      {2147483648.0, -2147483647 - 1},
      {4294967301.0, 5},
      {-4294967301.0, -5},
      {1e19, 0},
      {-0x1p63, 0},
      {0x1p62, 0},
      {kNaN, 0},
      {kInf, 0},
      {-kInf, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.v);
    EXPECT_EQ(numeric::trunc32(c.v), c.expected);
  }
}

TEST(Evaluate, DamagedTreesRaiseTheirMessages) {
  struct Case {
    const char* name;
    std::int32_t rootType;
    bool withChild;
    const char* message;
  } cases[] = {
      {"leaf of an operator code", lex::Plus, false, " ошибка вызова переменной "_cp1251},
      {"leaf of a bracket code", lex::Open, false, " ошибка вызова переменной "_cp1251},
      {"inner node of a variable code", lex::X, true, " не верен номер оператора\r\n"_cp1251},
      {"inner node of code 40", 40, true, " не верен номер оператора\r\n"_cp1251},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CProgram p;
    p.compile(CText("x+1"));
    p.root->type = c.rootType;
    if (!c.withChild) {
      freeTree(p.root->left);
      freeTree(p.root->right);
      p.root->left = p.root->right = nullptr;
    }
    try {
      p.evaluate(1, 0, 0, 0, 0, 0);
      ADD_FAILURE() << "no error";
    } catch (char* message) {
      expectMessage(takeMessage(message), c.message);
    }
  }
}

} // namespace
