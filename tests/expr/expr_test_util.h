#pragma once
// Helpers shared by the expression engine tests.

#include "expr/program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// Takes ownership of a thrown message and frees it.
inline std::string takeMessage(char* message) {
  std::string text(message);
  std::free(message);
  return text;
}

// Messages are compared as 1251 bytes; a failure shows both readably.
inline void expectMessage(const std::string& actual, const std::string& expected) {
  EXPECT_EQ(actual, expected) << "  actual:   [" << cp1251::toUtf8(actual) << "]\n"
                              << "  expected: [" << cp1251::toUtf8(expected) << "]";
}

// The message of compiling `formula`, or "<no error>".
inline std::string compileError(const std::string& formula) {
  CProgram p;
  try {
    p.compile(CText(formula.c_str()));
  } catch (char* message) {
    return takeMessage(message);
  }
  return "<no error>";
}

// Compiles and evaluates; fails the test on a compilation error.
inline double eval(const std::string& formula, double x = 0, double y = 0, double a = 0,
                   double b = 0, double c = 0, double d = 0) {
  CProgram p;
  try {
    p.compile(CText(formula.c_str()));
  } catch (char* message) {
    ADD_FAILURE() << formula << ": " << cp1251::toUtf8(takeMessage(message));
    return -12345.0;
  }
  return p.evaluate(x, y, a, b, c, d);
}
