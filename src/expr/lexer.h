#pragma once
// The formula language's lexemes: the fixed lexeme-name table, the lexeme list of a
// program, and the lexer that fills it.

#include "expr/text.h"

#include <cstdint>

class CProgram;

// Index into the lexeme-name table; -1 marks a number.
using LexemeCode = std::int32_t;

namespace lex {
inline constexpr LexemeCode Number = -1;
inline constexpr LexemeCode Plus = 0;
inline constexpr LexemeCode Minus = 1;
inline constexpr LexemeCode Times = 2;
inline constexpr LexemeCode Divide = 3;
inline constexpr LexemeCode Remainder = 4;
inline constexpr LexemeCode Root = 5;
inline constexpr LexemeCode Power = 6;
inline constexpr LexemeCode Min = 7;
inline constexpr LexemeCode Max = 8;
inline constexpr LexemeCode Nod = 9;
inline constexpr LexemeCode Nok = 10;
inline constexpr LexemeCode Log = 11;
inline constexpr LexemeCode Sin = 12;
inline constexpr LexemeCode Cos = 13;
inline constexpr LexemeCode Tg = 14;
inline constexpr LexemeCode Ctg = 15;
inline constexpr LexemeCode Arccos = 16;
inline constexpr LexemeCode Arcsin = 17;
inline constexpr LexemeCode Arctg = 18;
inline constexpr LexemeCode Arcctg = 19;
inline constexpr LexemeCode Ln = 20;
inline constexpr LexemeCode Lg = 21;
inline constexpr LexemeCode Abc = 22;
inline constexpr LexemeCode AbcPlusOne = 23; // "ABC"
inline constexpr LexemeCode Factorial = 24;
inline constexpr LexemeCode Open = 25;
inline constexpr LexemeCode Close = 26;
inline constexpr LexemeCode Pi = 27;
inline constexpr LexemeCode E = 28;
inline constexpr LexemeCode X = 29;
inline constexpr LexemeCode Y = 30;
inline constexpr LexemeCode A = 31;
inline constexpr LexemeCode B = 32;
inline constexpr LexemeCode C = 33;
inline constexpr LexemeCode D = 34;
inline constexpr LexemeCode Comma = 35;
inline constexpr LexemeCode End = 36;
inline constexpr int TableSize = 37;

inline constexpr double PiValue = 3.141592653589793;
inline constexpr double EValue = 2.718281828459045;
} // namespace lex

// The lexeme-name table, indexed by LexemeCode; built before main, read-only after.
const CText* lexemeNames();

struct Lexeme {
  double value = 0.0; // the number of a number lexeme (also "pi" and "e")
  std::int32_t code = lex::Number;
  std::int32_t start = 0; // index of the first byte in the formula
  std::int32_t end = 0;   // index just after the last byte
};

struct LexemeList {
  Lexeme** items = nullptr; // capacity + 1 slots, null after the last lexeme
  std::int32_t capacity = 0;
  std::int32_t count = 0;
  bool ownsItems = true;

  LexemeList() = default;
  LexemeList(const LexemeList&) = delete;
  LexemeList& operator=(const LexemeList&) = delete;
  ~LexemeList() { clear(); }

  void append(Lexeme* lexeme, std::int32_t growStep);
  void clear();
};

class Lexer {
public:
  enum class State { StartState, IntegerState, FractionState, NameState };

  CProgram* _program = nullptr;
  std::int32_t tokenStart = 0;
  std::int32_t position = 0;
  CText token;
  std::int32_t depth = 0;
  State currentState = State::StartState;

  void scan(CProgram* program);
  // Index of the first table entry equal to text, or -1.
  static LexemeCode lookupCode(const CText& text);

private:
  bool startState(signed char byte);
  bool integerState(signed char byte);
  bool fractionState(signed char byte);
  bool nameState(signed char byte);
  bool handle(signed char byte);

  void emitName(const CText& text);
  void emitNumber();
  void appendLexeme(Lexeme* lexeme);
  [[noreturn]] void raiseInvalidLexeme();
};
