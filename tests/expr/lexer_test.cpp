#include "expr/program.h"
#include "expr_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Lex {
  int code;
  double value;
  int start, end;
  bool operator==(const Lex&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Lex& l) {
  return os << "{" << l.code << ", " << l.value << ", " << l.start << ".." << l.end << "}";
}

std::vector<Lex> lexemesOf(const char* formula) {
  CProgram p;
  p.source.assign(CText(formula));
  Lexer lexer;
  lexer.scan(&p);
  std::vector<Lex> out;
  for (int i = 0; i < p.lexemes.count; ++i) {
    const Lexeme* l = p.lexemes.items[i];
    out.push_back({l->code, l->value, l->start, l->end});
  }
  EXPECT_EQ(p.lexemes.items[p.lexemes.count], nullptr);
  return out;
}

std::string scanError(const std::string& formula) {
  CProgram p;
  p.source.assign(formula.data(), 0, static_cast<int>(formula.size()));
  Lexer lexer;
  try {
    lexer.scan(&p);
  } catch (char* message) {
    return takeMessage(message);
  }
  return "<no error>";
}

TEST(LexemeTable, HoldsTheVocabularyInCodeOrder) {
  const char* expected[] = {"+",      "-",      "*",     "/",      "%",   "&",   "^",   "min",
                            "max",    "nod",    "nok",   "log",    "sin", "cos", "tg",  "ctg",
                            "arccos", "arcsin", "arctg", "arcctg", "ln",  "lg",  "abc", "ABC",
                            "!",      "(",      ")",     "pi",     "e",   "x",   "y",   "a",
                            "b",      "c",      "d",     ",",      ""};
  const CText* names = lexemeNames();
  for (int i = 0; i < lex::TableSize; ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(names[i].buffer, expected[i]);
    EXPECT_EQ(Lexer::lookupCode(CText(expected[i])), i);
  }
  EXPECT_EQ(Lexer::lookupCode(CText('\0')), lex::End);
  EXPECT_EQ(Lexer::lookupCode(CText("Sin")), -1);
  EXPECT_EQ(Lexer::lookupCode(CText("sinx")), -1);
}

TEST(Lexer, CutsFormulasIntoLexemes) {
  const double pi = 3.141592653589793, e = 2.718281828459045;
  struct Case {
    const char* formula;
    std::vector<Lex> expected;
  } cases[] = {
      {"", {{-1, 0.0, 0, 0}, {36, 0, 0, 0}}},
      {"   ", {{-1, 0.0, 0, 0}, {36, 0, 3, 3}}},
      {"sin(x)", {{12, 0, 0, 3}, {25, 0, 3, 4}, {29, 0, 4, 5}, {26, 0, 5, 6}, {36, 0, 6, 6}}},
      {"2.5e", {{-1, 2.5, 0, 3}, {-1, e, 3, 4}, {36, 0, 4, 4}}},
      {"1.2.3", {{-1, 1.2, 0, 3}, {-1, 0.30000000000000004, 3, 5}, {36, 0, 5, 5}}},
      {"x2", {{29, 0, 0, 1}, {-1, 2, 1, 2}, {36, 0, 2, 2}}},
      {"pi*e", {{-1, pi, 0, 2}, {2, 0, 2, 3}, {-1, e, 3, 4}, {36, 0, 4, 4}}},
      {"5.+.5", {{-1, 5, 0, 2}, {0, 0, 2, 3}, {-1, 0.5, 3, 5}, {36, 0, 5, 5}}},
      {".", {{-1, 0, 0, 1}, {36, 0, 1, 1}}},
      {"\tx\r\n\b,y ", {{29, 0, 1, 2}, {35, 0, 5, 6}, {30, 0, 6, 7}, {36, 0, 8, 8}}},
      {"ABC abc arcctg", {{23, 0, 0, 3}, {22, 0, 4, 7}, {19, 0, 8, 14}, {36, 0, 14, 14}}},
      {"!%&*+,-/^",
       {{24, 0, 0, 1},
        {4, 0, 1, 2},
        {5, 0, 2, 3},
        {2, 0, 3, 4},
        {0, 0, 4, 5},
        {35, 0, 5, 6},
        {1, 0, 6, 7},
        {3, 0, 7, 8},
        {6, 0, 8, 9},
        {36, 0, 9, 9}}},
      {"12345678901", {{-1, -539222987.0, 0, 11}, {36, 0, 11, 11}}}, // wraps at 32 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.formula);
    EXPECT_EQ(lexemesOf(c.formula), c.expected);
  }
}

TEST(Lexer, ReportsEveryErrorInItsOwnWords) {
  struct Case {
    std::string formula;
    const char* message;
  } cases[] = {
      {"((x)", "не верно расставлены скобки : 1 \r\n "_cp1251},
      {"x)", "не верно расставлены скобки : -1 \r\n "_cp1251},
      {"((((", "не верно расставлены скобки : 4 \r\n "_cp1251},
      {"2*sinx", "не верна лексема с  \\-с места : 2 до 6 : \r\n sinx \r\n "_cp1251},
      {"X", "не верна лексема с  \\-с места : 0 до 1 : \r\n X \r\n "_cp1251},
      {"Sin(x)", "не верна лексема с  \\-с места : 0 до 3 : \r\n Sin \r\n "_cp1251},
      {"pI", "не верна лексема с  \\-с места : 0 до 2 : \r\n pI \r\n "_cp1251},
      {"x_1", "не верна лексема с  \\-с места : 0 до 1 : \r\n x \r\n "_cp1251},
      {"x#", "не верна лексема с  \\-с места : 0 до 1 : \r\n x \r\n "_cp1251},
      {"#", "не верна лексема с  \\-с места : 0 до 0 : \r\n  \r\n "_cp1251},
      {"x +  #", "не верна лексема с  \\-с места : 2 до 5 : \r\n +   \r\n "_cp1251},
      {"1+\xF5", "не верна лексема с  \\-с места : 1 до 2 : \r\n + \r\n "_cp1251}, // Cyrillic х
      {"x\v", "не верна лексема с  \\-с места : 0 до 1 : \r\n x \r\n "_cp1251},
      {"x\f", "не верна лексема с  \\-с места : 0 до 1 : \r\n x \r\n "_cp1251},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(cp1251::toUtf8(c.formula));
    expectMessage(scanError(c.formula), c.message);
  }
  Lexer lexer;
  try {
    lexer.scan(nullptr);
    ADD_FAILURE() << "no error for a null program";
  } catch (char* message) {
    expectMessage(takeMessage(message), "не верно: CProgram * _program == NULL  \r\n "_cp1251);
  }
}

TEST(Lexer, EmbeddedNulEndsTheFormula) {
  std::string formula("x\0#", 3);
  EXPECT_EQ(scanError(formula), "<no error>");
}

TEST(LexemeList, GrowsByStepAndKeepsANullAfterTheLast) {
  std::string formula;
  for (int i = 0; i < 120; ++i) {
    formula += "x+";
  }
  formula += "x";
  CProgram p;
  p.source.assign(formula.c_str(), 0, static_cast<int>(formula.size()));
  Lexer lexer;
  lexer.scan(&p);
  EXPECT_EQ(p.lexemes.count, 242);
  EXPECT_EQ(p.lexemes.capacity, 303); // 0 -> 101 -> 202 -> 303
  EXPECT_EQ(p.lexemes.items[242], nullptr);
  EXPECT_EQ(p.lexemes.items[241]->code, lex::End);
  lexer.scan(&p); // a second scan empties the list first
  EXPECT_EQ(p.lexemes.count, 242);
}

} // namespace
