// The input bytes compiled as a formula, as the formula edits (10,023 bytes) hand
// them over. A formula that does not compile must throw one of the compiler's
// messages as a malloc'd text; one that compiles must give the same value through
// the tree walk and through the batch evaluator in row and line mode, bit for bit,
// except where a power of exactly 2 is the correctly rounded square.

#include "../tests/expr/square_walk.h"
#include "expr/batch.h"
#include "expr/ops.h"
#include "expr/program.h"
#include "fuzz_report.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t kMaxFormula = 10023;

// Zeros, ones, halves, negatives, whole parts beyond 32 bits, tiny and huge values.
constexpr double kPoints[] = {0.0,  -0.0, 1.0,          -1.0,          0.5,    -0.5,
                              2.0,  -2.5, 3.0,          -7.0,          1e-300, 65.0,
                              20.0, 1e9,  2147483648.0, -4294967301.5, 1e300,  -1e300};
constexpr int kPointCount = static_cast<int>(std::size(kPoints));

constexpr Vars kVariableSets[] = {{0, 0, 1.0, 1.0, 1.0, 1.0}, {0, 0, 0.0, -0.5, 2.0, -1e300}};

bool same(double p, double q) {
  return (std::isnan(p) && std::isnan(q)) || std::memcmp(&p, &q, sizeof p) == 0;
}

// ---- compile errors --------------------------------------------------------

// Reads a decimal integer (optional '-') at the front of `rest` and drops it.
bool takeInt(std::string_view& rest, long& value) {
  std::size_t i = rest.size() > 0 && rest[0] == '-' ? 1 : 0;
  std::size_t digits = i;
  while (digits < rest.size() && digits - i < 10 && rest[digits] >= '0' && rest[digits] <= '9') {
    ++digits;
  }
  if (digits == i) {
    return false;
  }
  value = std::strtol(std::string(rest.substr(0, digits)).c_str(), nullptr, 10);
  rest.remove_prefix(digits);
  return true;
}

bool take(std::string_view& rest, std::string_view prefix) {
  if (rest.substr(0, prefix.size()) != prefix) {
    return false;
  }
  rest.remove_prefix(prefix.size());
  return true;
}

// True when `message` is one the lexer or the compiler raises for this formula.
bool knownMessage(std::string_view message, std::string_view formula) {
  std::string_view scanned = formula.substr(0, formula.find('\0'));
  std::string_view rest = message;
  long n = 0, m = 0;
  if (take(rest, "не верна лексема с  \\-с места : "_cp1251)) {
    // The range of the lexeme before the fault and its bytes.
    if (!takeInt(rest, n) || !take(rest, " до "_cp1251) || !takeInt(rest, m) ||
        !take(rest, " : \r\n ") || n < 0 || n > m || static_cast<std::size_t>(m) > scanned.size()) {
      return false;
    }
    std::string_view quoted =
        scanned.substr(static_cast<std::size_t>(n), static_cast<std::size_t>(m - n));
    return take(rest, quoted) && rest == " \r\n ";
  }
  if (take(rest, "не верно расставлены скобки : "_cp1251)) {
    long depth = 0;
    for (char ch : scanned) {
      depth += ch == '(' ? 1 : ch == ')' ? -1 : 0;
    }
    return takeInt(rest, n) && n == depth && n != 0 && rest == " \r\n ";
  }
  if (take(rest, " чето не верно :)"_cp1251)) {
    return takeInt(rest, n) && n >= 0 && rest == " \r\n ";
  }
  if (take(rest, "не верная последовательность операторов : "_cp1251)) {
    return takeInt(rest, n) &&
           (n == lex::Open || n == lex::Close || n == lex::Comma || n == lex::End) &&
           rest == "\r\n ";
  }
  for (std::string_view whole : {
           "не могу найти оператор \r\n"_cp1251,
           " не верный оператор вызова функции от 2 переменных"_cp1251,
           "не найден оператор ',' \r\n"_cp1251,
           " не верный оператор вызова функции от 1 переменной"_cp1251,
           " не верный оператор факториал"_cp1251,
       }) {
    if (message == whole) {
      return true;
    }
  }
  return false;
}

// ---- the permitted difference ----------------------------------------------

// A fast value that differs from the plain walk is allowed only when a walk that
// squares powers of exactly 2 gives it.
void checkValue(const uint8_t* data, size_t size, const CProgram& p, const char* mode, int varying,
                const Vars& at, double fast, double plain) {
  if (same(fast, plain)) {
    return;
  }
  for (bool all : {false, true}) {
    if (same(fast, SquareWalk{at, varying, all}.value(p.root))) {
      return;
    }
  }
  fuzz::fail(data, size,
             "%s mode differs from the tree walk at x = %a, y = %a, a = %a, b = %a, c = %a, "
             "d = %a: %a (%.17g) against %a (%.17g)",
             mode, at.x, at.y, at.a, at.b, at.c, at.d, fast, fast, plain, plain);
}

void compareEvaluators(const uint8_t* data, size_t size, CProgram& p) {
  BatchProgram& batch = *p.batch;
  for (const Vars& set : kVariableSets) {
    batch.beginPass(set.a, set.b, set.c, set.d);
    // Rows: the second round takes the kept row values, in shorter chunks.
    for (int round = 0; round < 2; ++round) {
      const int chunk = round == 0 ? batch.chunkSize() : std::min(batch.chunkSize(), 5);
      for (double x : kPoints) {
        batch.beginRow(x);
        for (int first = 0; first < kPointCount; first += chunk) {
          const int n = std::min(chunk, kPointCount - first);
          const double* values = batch.evaluateRow(kPoints + first, first, n);
          for (int i = 0; i < n; ++i) {
            Vars at = set;
            at.x = x;
            at.y = kPoints[first + i];
            checkValue(data, size, p, "row", kDependsOnY, at, values[i],
                       p.evaluate(at.x, at.y, at.a, at.b, at.c, at.d));
          }
        }
      }
    }
    for (int first = 0; first < kPointCount; first += batch.chunkSize()) {
      const int n = std::min(batch.chunkSize(), kPointCount - first);
      const double* values = batch.evaluateLine(kPoints + first, n);
      for (int i = 0; i < n; ++i) {
        Vars at = set;
        at.x = at.y = kPoints[first + i];
        checkValue(data, size, p, "line", kDependsOnX | kDependsOnY, at, values[i],
                   p.evaluate(at.x, at.y, at.a, at.b, at.c, at.d));
      }
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxFormula) {
    return -1; // more than the edits hold
  }
  CText formula;
  formula.assign(reinterpret_cast<const char*>(data), 0, static_cast<std::int32_t>(size));
  CProgram program;
  try {
    program.compile(formula);
  } catch (char* message) {
    const RaisedText owned(message); // ASan reports a block that was not malloc'd
    if (message == nullptr) {
      fuzz::fail(data, size, "a null message was thrown");
    }
    std::string_view text(message);
    if (!knownMessage(text, std::string_view(reinterpret_cast<const char*>(data), size))) {
      fuzz::printBytes("message", text.data(), text.size());
      fuzz::fail(data, size, "the message is not one of the compiler's");
    }
    program.release();
    return 0;
  } catch (...) {
    fuzz::fail(data, size, "something other than a message text was thrown");
  }
  if (program.root == nullptr || program.batch == nullptr) {
    fuzz::fail(data, size, "a compiled formula has no tree or no batch layout");
  }
  compareEvaluators(data, size, program);
  program.release();
  return 0;
}
