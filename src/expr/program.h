#pragma once
// CProgram: one compiled formula, its expression tree and its evaluation.

#include "expr/lexer.h"
#include "expr/text.h"

#include <cstdint>
#include <memory>

class BatchProgram;
class EnclosureProgram;

struct ExprNode {
  // Inner node: the LexemeCode of its operator or function (0..24).
  // Leaf: 29..34 for x, y, a, b, c, d, or -1 for a number.
  std::int32_t type = lex::Number;
  double value = 0.0;
  ExprNode* left = nullptr;  // left operand, first argument, or the only argument
  ExprNode* right = nullptr; // right operand or second argument
  ExprNode* parent = nullptr;
};

// Frees a tree, each node after both of its subtrees, without recursion.
void freeTree(ExprNode* root);

class CProgram {
public:
  CText source;
  LexemeList lexemes;
  std::int32_t lexemeGrowStep = 100;
  ExprNode* root = nullptr;
  double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
  double x = 0.0, y = 0.0;
  // The same tree laid out for evaluating many samples at once; built by compile.
  std::unique_ptr<BatchProgram> batch;
  // The same tree laid out for enclosing its values over boxes; built by compile.
  std::unique_ptr<EnclosureProgram> enclosure;

  CProgram();
  CProgram(const CProgram&) = delete;
  CProgram& operator=(const CProgram&) = delete;
  ~CProgram();

  // Throws a malloc'd char* message on a formula error.
  void compile(const CText& formula);
  void release();
  double evaluate(double x, double y, double a, double b, double c, double d);

  void build(ExprNode* node, std::int32_t from, std::int32_t to);

private:
  LexemeCode codeAt(std::int32_t i) const { return lexemes.items[i]->code; }
  // Index of the first lexeme with `code` in [from, to) outside brackets, or -1.
  std::int32_t findOutsideBrackets(LexemeCode code, std::int32_t from, std::int32_t to) const;
  void stripBrackets(std::int32_t& from, std::int32_t& to) const;
  double valueOf(const ExprNode* node);
};
