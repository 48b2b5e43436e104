#include "expr/program.h"

#include "expr/batch.h"
#include "expr/enclosure.h"

void freeTree(ExprNode* root) {
  ExprNode* node = root;
  while (node != nullptr) {
    if (node->left != nullptr) {
      node = node->left;
    } else if (node->right != nullptr) {
      node = node->right;
    } else {
      ExprNode* up = node == root ? nullptr : node->parent;
      if (up != nullptr) {
        (up->left == node ? up->left : up->right) = nullptr;
      }
      delete node;
      node = up;
    }
  }
}

CProgram::CProgram() = default;
CProgram::~CProgram() {
  release();
}

void CProgram::compile(const CText& formula) {
  batch.reset();
  enclosure.reset();
  source.assign(formula);
  Lexer lexer;
  lexer.scan(this);
  if (root != nullptr) {
    freeTree(root);
  }
  root = new ExprNode;
  build(root, 0, lexemes.count - 1);
  batch = BatchProgram::build(root);
  enclosure = EnclosureProgram::build(root);
}

void CProgram::release() {
  batch.reset();
  enclosure.reset();
  freeTree(root);
  root = nullptr;
  lexemes.clear();
  source.release();
}

void CProgram::stripBrackets(std::int32_t& from, std::int32_t& to) const {
  while (to - from >= 2 && codeAt(from) == lex::Open && codeAt(to - 1) == lex::Close) {
    // The '(' must be closed only by the last ')'.
    std::int32_t depth = 0;
    for (std::int32_t i = from; i <= to - 2; ++i) {
      depth += codeAt(i) == lex::Open ? 1 : codeAt(i) == lex::Close ? -1 : 0;
      if (depth == 0) {
        return;
      }
    }
    ++from;
    --to;
  }
}

std::int32_t CProgram::findOutsideBrackets(LexemeCode code, std::int32_t from,
                                           std::int32_t to) const {
  std::int32_t depth = 0;
  for (std::int32_t i = from; i < to; ++i) {
    LexemeCode at = codeAt(i);
    depth += at == lex::Open ? 1 : at == lex::Close ? -1 : 0;
    if (at == code && depth == 0) {
      return i;
    }
  }
  return -1;
}

void CProgram::build(ExprNode* node, std::int32_t from, std::int32_t to) {
  // The last child of a node is built in this loop rather than by a nested call,
  // so that right-leaning chains (x^x^...^x, sin sin ... x) need no deep stack.
  for (;;) {
    if (from >= to) {
      CText message(" чето не верно :)"_cp1251);
      message.appendInt(to);
      message.append(" \r\n ");
      raiseText(message);
    }
    stripBrackets(from, to);

    std::int32_t index = -1;
    LexemeCode op = -1;
    if (to - from == 1) {
      index = from;
      op = codeAt(from);
    } else {
      // One pass finds, for every operator code, its leftmost occurrence at depth 0.
      std::int32_t first[lex::Factorial + 1];
      for (auto& f : first) {
        f = -1;
      }
      std::int32_t depth = 0;
      for (std::int32_t i = from; i < to; ++i) {
        LexemeCode at = codeAt(i);
        depth += at == lex::Open ? 1 : at == lex::Close ? -1 : 0;
        if (depth == 0 && at >= 0 && at <= lex::Factorial && first[at] < 0) {
          first[at] = i;
        }
      }
      for (LexemeCode code = 0; code <= lex::Factorial; ++code) {
        if (first[code] >= 0) {
          op = code;
          index = first[code];
          break;
        }
      }
      if (index < 0) {
        raiseText(CText("не могу найти оператор \r\n"_cp1251));
      }
    }

    node->type = op;
    node->value = lexemes.items[index]->value;

    auto child = [node](ExprNode*& slot) {
      slot = new ExprNode;
      slot->parent = node;
      return slot;
    };

    if (op >= lex::Plus && op <= lex::Power) {
      ExprNode* left = child(node->left);
      ExprNode* right = child(node->right);
      build(left, from, index);
      node = right;
      from = index + 1;
    } else if (op >= lex::Min && op <= lex::Log) {
      if (index != from) {
        raiseText(CText(" не верный оператор вызова функции от 2 переменных"_cp1251));
      }
      std::int32_t s = index + 1;
      stripBrackets(s, to);
      std::int32_t comma = findOutsideBrackets(lex::Comma, s, to);
      if (comma < 0) {
        raiseText(CText("не найден оператор ',' \r\n"_cp1251));
      }
      ExprNode* left = child(node->left);
      ExprNode* right = child(node->right);
      build(left, s, comma);
      node = right;
      from = comma + 1;
    } else if (op >= lex::Sin && op <= lex::AbcPlusOne) {
      if (index != from) {
        raiseText(CText(" не верный оператор вызова функции от 1 переменной"_cp1251));
      }
      node = child(node->left);
      from = index + 1;
    } else if (op == lex::Factorial) {
      if (index != to - 1) {
        raiseText(CText(" не верный оператор факториал"_cp1251));
      }
      node = child(node->left);
      to = index;
    } else if (op == lex::Number || (op >= lex::X && op <= lex::D)) {
      return;
    } else {
      CText message("не верная последовательность операторов : "_cp1251);
      message.appendInt(op);
      message.append("\r\n ");
      raiseText(message);
    }
  }
}
