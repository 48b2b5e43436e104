#pragma once
// The reference for the batch evaluator: the plain tree walk with the one
// difference the batch evaluator may make, a power of exactly 2 taken as the
// correctly rounded square. Built by the batch tests and the formula fuzzer.

#include "expr/lexer.h"
#include "expr/ops.h"
#include "expr/program.h"

struct Vars {
  double x, y, a, b, c, d;
};

inline constexpr int kDependsOnX = 1, kDependsOnY = 2;

// Squares at every power of 2 (squareAll) or only where the node varies along a
// chunk (what `varying` masks); `squares` counts the powers taken as squares.
struct SquareWalk {
  const Vars& v;
  int varying = 0;
  bool squareAll = true;
  mutable int squares = 0;

  double value(const ExprNode* n) const {
    int deps = 0;
    return value(n, deps);
  }

  double value(const ExprNode* n, int& deps) const {
    if (n->left == nullptr && n->right == nullptr) {
      deps = n->type == lex::X ? kDependsOnX : n->type == lex::Y ? kDependsOnY : 0;
      switch (n->type) {
      case lex::X:
        return v.x;
      case lex::Y:
        return v.y;
      case lex::A:
        return v.a;
      case lex::B:
        return v.b;
      case lex::C:
        return v.c;
      case lex::D:
        return v.d;
      default:
        return n->value;
      }
    }
    int leftDeps = 0, rightDeps = 0;
    double l = n->left != nullptr ? value(n->left, leftDeps) : 0.0;
    double r = n->right != nullptr ? value(n->right, rightDeps) : 0.0;
    deps = leftDeps | rightDeps;
    if (n->type == lex::Power && r == 2.0 && (squareAll || (deps & varying) != 0)) {
      ++squares;
      return l == 0 ? 1.0 : l * l;
    }
    double result = 0.0;
    ops::apply(n->type, l, r, result);
    return result;
  }
};
