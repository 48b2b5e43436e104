#include "expr/ops.h"
#include "expr/program.h"

double CProgram::evaluate(double x_, double y_, double a_, double b_, double c_, double d_) {
  x = x_;
  y = y_;
  a = a_;
  b = b_;
  c = c_;
  d = d_;
  return valueOf(root);
}

double CProgram::valueOf(const ExprNode* node) {
  if (node == nullptr) {
    return 0.0;
  }
  if (node->left == nullptr && node->right == nullptr) {
    switch (node->type) {
    case lex::Number:
      return node->value;
    case lex::X:
      return x;
    case lex::Y:
      return y;
    case lex::A:
      return a;
    case lex::B:
      return b;
    case lex::C:
      return c;
    case lex::D:
      return d;
    default:
      raiseText(CText(" ошибка вызова переменной "_cp1251));
    }
  }
  double l = node->left != nullptr ? valueOf(node->left) : 0.0;
  double r = node->right != nullptr ? valueOf(node->right) : 0.0;
  double result = 0.0;
  if (!ops::apply(node->type, l, r, result)) {
    raiseText(CText(" не верен номер оператора\r\n"_cp1251));
  }
  return result;
}
