#include "expr/program.h"
#include "expr_test_util.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <string>

namespace {

// The edits hold at most 10,023 bytes of formula.
constexpr std::size_t kMaxFormula = 10023;

std::string repeat(const std::string& piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

// Runs `body` on a thread whose stack is exactly 8 MiB, the usual main-thread limit.
void onEightMebibyteStack(const std::function<void()>& body) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, 8u << 20), 0);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&body)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

TEST(DeepFormulas, CompileAndEvaluateOnAnOrdinaryStack) {
  struct Case {
    const char* name;
    std::string formula;
    double x;
    double expected;
  };
  const std::size_t powers = (kMaxFormula + 1) / 2;     // x^x^...^x
  const std::size_t sines = (kMaxFormula - 1) / 4;      // sin sin ... sin x
  const std::size_t facts = (kMaxFormula - 1) / 3;      // ((x!)!)!...
  const std::size_t minuses = (kMaxFormula - 1) / 4;    // 0-(0-(...(x)))
  const std::size_t brackets = (kMaxFormula - 1) / 2;   // (((x)))
  const std::size_t leftPowers = (kMaxFormula - 1) / 4; // ((x^x)^x)^x
  const std::size_t sums = (kMaxFormula + 1) / 2;       // x+x+...+x
  Case cases[] = {
      {"power chain", "x" + repeat("^x", powers - 1), 1.0, 1.0},
      {"function chain", repeat("sin ", sines) + "x", 0.0, 0.0},
      {"factorials", repeat("(", facts) + "x" + repeat("!)", facts), 3.0, 1.0},
      {"differences", repeat("0-(", minuses) + "x" + repeat(")", minuses), 2.0,
       minuses % 2 == 0 ? 2.0 : -2.0},
      {"brackets", repeat("(", brackets) + "x" + repeat(")", brackets), 7.0, 7.0},
      {"left-leaning powers", repeat("(", leftPowers) + "x" + repeat("^x)", leftPowers), 1.0, 1.0},
      {"sum chain", "x" + repeat("+x", sums - 1), 1.0, static_cast<double>(sums)},
      {"nested calls", repeat("min(x,", 1431) + "x" + repeat(")", 1431), 4.0, 4.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LE(c.formula.size(), kMaxFormula);
    ASSERT_GE(c.formula.size(), kMaxFormula - 10);
    double value = -1.0;
    std::string error;
    onEightMebibyteStack([&] {
      CProgram p;
      try {
        p.compile(CText(c.formula.c_str()));
        value = p.evaluate(c.x, 0, 0, 0, 0, 0);
      } catch (char* message) {
        error = takeMessage(message);
      }
      p.release();
    });
    EXPECT_EQ(error, "");
    EXPECT_EQ(value, c.expected);
  }
}

} // namespace
