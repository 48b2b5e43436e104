#pragma once
// Random formulas over the whole language: every operator and function, numbers
// that hit the guarded cases (0, 1, 2, halves, whole parts beyond 32 bits), pi
// and e, the six variables, nested as deep as asked. Every formula compiles.

#include <cstdint>
#include <random>
#include <string>

class FormulaGenerator {
public:
  explicit FormulaGenerator(std::uint64_t seed) : rng_(seed) {}

  // A formula of at most `depth` levels of operators.
  std::string formula(int depth) { return expr(depth); }

  // A formula that also depends on x and y near its top, so that it varies over a box.
  std::string varying(int depth) {
    static const char* const kJoins[] = {"+", "-", "*", "-", "+"};
    return "(" + expr(depth - 1) + ")" + kJoins[pick(5)] + "(" + expr(depth - 1) + ")" +
           kJoins[pick(5)] + (pick(2) == 0 ? "x" : "y");
  }

  int pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }

private:
  std::mt19937_64 rng_;

  std::string leaf() {
    static const char* const kLeaves[] = {
        "x",   "y",     "x", "y",  "a",  "b", "c",    "d",          "0",         "1",
        "2",   "0.5",   "3", "10", "pi", "e", "0.25", "2147483648", "65",        "7",
        "1.5", "0.001", "x", "y",  "x",  "y", "100",  "21",         "4294967301"};
    return kLeaves[pick(static_cast<int>(std::size(kLeaves)))];
  }

  std::string expr(int depth) {
    if (depth <= 0 || pick(5) == 0) {
      return leaf();
    }
    static const char* const kBinary[] = {"+", "-", "*", "/", "%", "&", "^"};
    static const char* const kTwo[] = {"min", "max", "nod", "nok", "log"};
    static const char* const kOne[] = {"sin",   "cos",    "tg", "ctg", "arccos", "arcsin",
                                       "arctg", "arcctg", "ln", "lg",  "abc",    "ABC"};
    switch (pick(8)) {
    case 0:
    case 1:
    case 2:
      return "(" + expr(depth - 1) + kBinary[pick(7)] + expr(depth - 1) + ")";
    case 3:
      return std::string(kTwo[pick(5)]) + "(" + expr(depth - 1) + "," + expr(depth - 1) + ")";
    case 4:
      return "(" + expr(depth - 1) + ")!";
    case 5: // the common smooth ones more often
      return "(" + expr(depth - 1) + (pick(2) == 0 ? "^2" : "*x") + ")";
    default:
      return std::string(kOne[pick(12)]) + "(" + expr(depth - 1) + ")";
    }
  }
};
