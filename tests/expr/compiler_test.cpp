#include "expr/program.h"
#include "expr_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// "+(1,*(2,3))": operators by their table names, numbers in %g, variables by name.
std::string shape(const ExprNode* n) {
  if (n == nullptr) {
    return "null";
  }
  if (n->type == lex::Number) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", n->value);
    return text;
  }
  std::string out = lexemeNames()[n->type].buffer;
  if (n->left == nullptr && n->right == nullptr) {
    return out;
  }
  out += "(" + shape(n->left);
  if (n->right != nullptr) {
    out += "," + shape(n->right);
  }
  return out + ")";
}

std::string shapeOf(const char* formula) {
  CProgram p;
  try {
    p.compile(CText(formula));
  } catch (char* message) {
    return "error: " + cp1251::toUtf8(takeMessage(message));
  }
  return shape(p.root);
}

// Every node's parent is the node that holds it.
bool parentsLinked(const ExprNode* n) {
  for (const ExprNode* child : {n->left, n->right}) {
    if (child != nullptr && (child->parent != n || !parentsLinked(child))) {
      return false;
    }
  }
  return true;
}

TEST(Compiler, BuildsTheTreeOfTheGrammar) {
  struct Case {
    const char* formula;
    const char* tree;
  } cases[] = {
      {"", "0"},
      {"x", "x"},
      {"pi", "3.141592654"},
      {"1+2*3", "+(1,*(2,3))"},
      {"8-4-2", "-(8,-(4,2))"}, // chains group to the right
      {"2^3^2", "^(2,^(3,2))"},
      {"1-2+3", "+(-(1,2),3)"}, // the lower code splits first
      {"1+2-3", "+(1,-(2,3))"},
      {"6/2*3", "*(/(6,2),3)"},
      {"2*3%4", "*(2,%(3,4))"},
      {"min(x, y)+1", "+(min(x,y),1)"},
      {"log(2, 8)", "log(2,8)"},
      {"(x+1)!", "!(+(x,1))"},
      {"sin x", "sin(x)"},
      {"sin x+1", "+(sin(x),1)"},
      {"sin x^2", "^(sin(x),2)"},
      {"sin(x)!", "sin(!(x))"},
      {"min a,b", "min(a,b)"},
      {"min a,b+1", "+(min(a,b),1)"},
      {"min(a,b+1)", "min(a,+(b,1))"},
      {"min (a),(b)", "min(a,b)"},
      {"((x))", "x"},
      {"(x)+(y)", "+(x,y)"},
      {"x!+1", "+(!(x),1)"},
      {"a*x^2 + b*x + c", "+(*(a,^(x,2)),+(*(b,x),c))"},
      {"3&8", "&(3,8)"},
      {"arcctg(abc ABC x)", "arcctg(abc(ABC(x)))"},
      {"cos(sin x)", "cos(sin(x))"},
      {"nod(nok(1,2),d)", "nod(nok(1,2),d)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.formula);
    EXPECT_EQ(shapeOf(c.formula), c.tree);
  }
}

TEST(Compiler, LinksEveryNodeToItsParent) {
  CProgram p;
  p.compile(CText("min(sin x, (y+1)!) ^ log(2, a) - nod(b, c&d)"));
  EXPECT_EQ(p.root->parent, nullptr);
  EXPECT_TRUE(parentsLinked(p.root));
}

TEST(Compiler, ReportsEveryErrorInItsOwnWords) {
  struct Case {
    const char* formula;
    const char* message;
  } cases[] = {
      {"-x", " чето не верно :)0 \r\n "_cp1251},
      {"x+", " чето не верно :)2 \r\n "_cp1251},
      {"sin", " чето не верно :)1 \r\n "_cp1251},
      {"2x", "не могу найти оператор \r\n"_cp1251},
      {"2(x+1)", "не могу найти оператор \r\n"_cp1251},
      {"x y", "не могу найти оператор \r\n"_cp1251},
      {"()", "не могу найти оператор \r\n"_cp1251},
      {"min(a,b,c)", "не могу найти оператор \r\n"_cp1251},
      {"min(1)", "не найден оператор ',' \r\n"_cp1251},
      {"min", "не найден оператор ',' \r\n"_cp1251},
      {"x min(1,2)", " не верный оператор вызова функции от 2 переменных"_cp1251},
      {"2 sin x", " не верный оператор вызова функции от 1 переменной"_cp1251},
      {"x!y", " не верный оператор факториал"_cp1251},
      {"cos sin x",
       " не верный оператор вызова функции от 1 переменной"_cp1251}, // sin splits first
      {"!", " чето не верно :)0 \r\n "_cp1251},
      {",", "не верная последовательность операторов : 35\r\n "_cp1251},
      {"(,)", "не верная последовательность операторов : 35\r\n "_cp1251},
      {"x+(,)", "не верная последовательность операторов : 35\r\n "_cp1251},
      {"x-y+", " чето не верно :)4 \r\n "_cp1251},
      {"(x+)*(y", "не верно расставлены скобки : 1 \r\n "_cp1251}, // the lexer checks first
      {"(x-)*(y+)", " чето не верно :)3 \r\n "_cp1251},            // the leftmost fault
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.formula);
    expectMessage(compileError(c.formula), c.message);
  }
}

TEST(Compiler, RecompilingReplacesEverything) {
  CProgram p;
  p.compile(CText("x + sin(y) * 3"));
  p.compile(CText("a"));
  EXPECT_STREQ(p.source.buffer, "a");
  EXPECT_EQ(p.lexemes.count, 2);
  EXPECT_EQ(shape(p.root), "a");
  EXPECT_EQ(p.evaluate(0, 0, 7, 0, 0, 0), 7);
}

TEST(Compiler, FailedCompilationLeavesAProgramForRelease) {
  // Run under the address sanitizer: nothing of the partial tree or lexemes leaks.
  const char* broken[] = {"x + (y * )", "min(1) + 2", "sin", "x#", "((x)"};
  for (const char* formula : broken) {
    SCOPED_TRACE(formula);
    auto* p = new CProgram;
    p->compile(CText("x*x"));
    try {
      p->compile(CText(formula));
      ADD_FAILURE() << "compiled";
    } catch (char* message) {
      std::free(message);
    }
    p->release();
    EXPECT_EQ(p->root, nullptr);
    EXPECT_EQ(p->lexemes.count, 0);
    delete p;
  }
}

TEST(Compiler, ReleasedProgramCompilesAgain) {
  CProgram p;
  p.compile(CText("x+1"));
  p.release();
  EXPECT_EQ(p.evaluate(1, 0, 0, 0, 0, 0), 0.0); // no tree: 0
  p.compile(CText("x+2"));
  EXPECT_EQ(p.evaluate(1, 0, 0, 0, 0, 0), 3.0);
}

} // namespace
