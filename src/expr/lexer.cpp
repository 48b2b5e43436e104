#include "expr/lexer.h"

#include "expr/program.h"

#include <cstdlib>

namespace {

struct LexemeTable {
  // Code order; the names are compared byte for byte and case matters.
  CText names[lex::TableSize] = {
      "+",   "-",   "*",   "/",   "%",  "&",   "^",      "min",    "max",   "nod",
      "nok", "log", "sin", "cos", "tg", "ctg", "arccos", "arcsin", "arctg", "arcctg",
      "ln",  "lg",  "abc", "ABC", "!",  "(",   ")",      "pi",     "e",     "x",
      "y",   "a",   "b",   "c",   "d",  ",",   "",
  };
};

const LexemeTable& table() {
  static const LexemeTable instance;
  return instance;
}

// Built before main, as the first of the program's static objects.
[[maybe_unused]] const bool tableBuilt = (table(), true);

bool isLetter(signed char b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}
bool isDigit(signed char b) {
  return b >= '0' && b <= '9';
}

} // namespace

const CText* lexemeNames() {
  return table().names;
}

void LexemeList::append(Lexeme* lexeme, std::int32_t growStep) {
  if (count + 1 > capacity) {
    std::int32_t newCapacity = capacity + growStep + 1;
    auto* grown = static_cast<Lexeme**>(
        std::malloc(sizeof(Lexeme*) * (static_cast<std::size_t>(newCapacity) + 1)));
    for (std::int32_t i = 0; i < count; ++i) {
      grown[i] = items[i];
    }
    std::free(items);
    items = grown;
    capacity = newCapacity;
  }
  items[count] = lexeme;
  ++count;
  items[count] = nullptr;
}

void LexemeList::clear() {
  if (ownsItems) {
    for (std::int32_t i = 0; i < count; ++i) {
      delete items[i];
    }
  }
  std::free(items);
  items = nullptr;
  capacity = 0;
  count = 0;
}

LexemeCode Lexer::lookupCode(const CText& text) {
  const CText* names = lexemeNames();
  for (int i = 0; i < lex::TableSize; ++i) {
    if (names[i] == text) {
      return i;
    }
  }
  return -1;
}

void Lexer::scan(CProgram* program) {
  if (program == nullptr) {
    raiseText(CText("не верно: CProgram * _program == NULL  \r\n "_cp1251));
  }
  currentState = State::StartState;
  position = 0;
  tokenStart = 0;
  token.assign(CText(""));
  depth = 0;
  _program = program;
  _program->lexemes.clear();

  const CText& source = _program->source;
  bool goOn = handle(static_cast<signed char>(*source.at(position)));
  while (goOn) {
    if (position > source.length) {
      raiseText(CText("не найден конец кода \\0 \r\n "_cp1251));
    }
    goOn = handle(static_cast<signed char>(*source.at(position)));
  }

  if (depth != 0) {
    CText message("не верно расставлены скобки : "_cp1251);
    message.appendInt(depth);
    message.append(" \r\n ");
    raiseText(message);
  }

  if (_program->lexemes.count == 1) {
    // An empty formula is the constant 0.
    std::int32_t endAt = _program->lexemes.items[0]->start;
    _program->lexemes.clear();
    tokenStart = 0;
    position = 0;
    token.assign(CText("0.0"));
    emitNumber();
    tokenStart = endAt;
    position = endAt;
    emitName(CText('\0'));
  }
}

bool Lexer::handle(signed char byte) {
  switch (currentState) {
  case State::StartState:
    return startState(byte);
  case State::IntegerState:
    return integerState(byte);
  case State::FractionState:
    return fractionState(byte);
  case State::NameState:
    return nameState(byte);
  }
  return false;
}

bool Lexer::startState(signed char byte) {
  switch (byte) {
  case 0:
    tokenStart = position;
    emitName(CText('\0'));
    return false;
  case 8:
  case 9:
  case 10:
  case 13:
  case 32:
    ++position;
    return true;
  case '(':
  case ')':
    depth += byte == '(' ? 1 : -1;
    [[fallthrough]];
  case '!':
  case '%':
  case '&':
  case '*':
  case '+':
  case ',':
  case '-':
  case '/':
  case '^':
    tokenStart = position;
    ++position;
    emitName(CText(static_cast<char>(byte)));
    return true;
  case '.':
    tokenStart = position;
    ++position;
    token.assign(CText("."));
    currentState = State::FractionState;
    return true;
  default:
    break;
  }
  if (isLetter(byte) || isDigit(byte)) {
    tokenStart = position;
    ++position;
    token.assign(CText(static_cast<char>(byte)));
    currentState = isLetter(byte) ? State::NameState : State::IntegerState;
    return true;
  }
  raiseInvalidLexeme();
}

bool Lexer::integerState(signed char byte) {
  if (byte == '.') {
    ++position;
    token.appendChar('.');
    currentState = State::FractionState;
  } else if (isDigit(byte)) {
    ++position;
    token.appendChar(static_cast<char>(byte));
  } else {
    emitNumber();
    currentState = State::StartState;
  }
  return true;
}

bool Lexer::fractionState(signed char byte) {
  if (isDigit(byte)) {
    ++position;
    token.appendChar(static_cast<char>(byte));
  } else {
    emitNumber();
    currentState = State::StartState;
  }
  return true;
}

bool Lexer::nameState(signed char byte) {
  if (isLetter(byte)) {
    ++position;
    token.appendChar(static_cast<char>(byte));
  } else {
    emitName(token);
    currentState = State::StartState;
  }
  return true;
}

void Lexer::emitName(const CText& text) {
  LexemeCode code = lookupCode(text);
  if (code < 0) {
    raiseInvalidLexeme();
  }
  auto* lexeme = new Lexeme;
  lexeme->value = 0.0;
  lexeme->start = tokenStart;
  lexeme->end = position;
  lexeme->code = code;
  appendLexeme(lexeme);
  if (code == lex::Pi) {
    lexeme->code = lex::Number;
    lexeme->value = lex::PiValue;
  } else if (code == lex::E) {
    lexeme->code = lex::Number;
    lexeme->value = lex::EValue;
  }
}

void Lexer::emitNumber() {
  auto* lexeme = new Lexeme;
  lexeme->start = tokenStart;
  lexeme->end = position;
  lexeme->value = token.toReal(0);
  lexeme->code = lex::Number;
  appendLexeme(lexeme);
}

void Lexer::appendLexeme(Lexeme* lexeme) {
  _program->lexemes.append(lexeme, _program->lexemeGrowStep);
}

void Lexer::raiseInvalidLexeme() {
  CText message("не верна лексема с "_cp1251);
  message.append(" \\-с места : "_cp1251);
  message.appendInt(tokenStart);
  message.append(" до "_cp1251);
  message.appendInt(position);
  message.append(" : \r\n ");
  message.append(_program->source.buffer, tokenStart, position - tokenStart);
  message.append(" \r\n ");
  raiseText(message);
}
