#include "expr/enclosure.h"

#include "expr/lexer.h"
#include "expr/ops.h"

namespace {

const Enclosure kZero = Enclosure::point(0.0); // the R of the one-argument functions

bool isVariable(std::int32_t type) {
  return type >= lex::X && type <= lex::D;
}

} // namespace

std::unique_ptr<EnclosureProgram> EnclosureProgram::build(const ExprNode* root) {
  std::unique_ptr<EnclosureProgram> program(new EnclosureProgram);
  std::vector<Step>& steps = program->steps_;
  if (root == nullptr) {
    steps.push_back({lex::Number, 0.0, -1, -1, true});
  } else {
    // Post order without recursion; a node's operands are the last subtrees finished.
    struct Visit {
      const ExprNode* node;
      bool expanded;
    };
    std::vector<Visit> stack{{root, false}};
    std::vector<std::int32_t> finished;
    while (!stack.empty()) {
      const Visit v = stack.back();
      stack.pop_back();
      const ExprNode* n = v.node;
      const bool leaf = n->left == nullptr && n->right == nullptr;
      if (!leaf && !v.expanded) {
        stack.push_back({n, true});
        if (n->right != nullptr) {
          stack.push_back({n->right, false});
        }
        if (n->left != nullptr) {
          stack.push_back({n->left, false});
        }
        continue;
      }
      if (leaf ? !(n->type == lex::Number || isVariable(n->type))
               : !(n->type >= lex::Plus && n->type <= lex::Factorial)) {
        return nullptr;
      }
      Step step{n->type, n->value, -1, -1, n->type != lex::X && n->type != lex::Y};
      if (n->right != nullptr) {
        step.right = finished.back();
        finished.pop_back();
      }
      if (n->left != nullptr) {
        step.left = finished.back();
        finished.pop_back();
      }
      for (std::int32_t child : {step.left, step.right}) {
        if (child >= 0 && !steps[static_cast<std::size_t>(child)].constant) {
          step.constant = false;
        }
      }
      finished.push_back(static_cast<std::int32_t>(steps.size()));
      steps.push_back(step);
    }
  }
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (!steps[i].constant) {
      program->varying_.push_back(static_cast<std::int32_t>(i));
    }
  }
  program->constants_.assign(steps.size(), Enclosure{});
  program->constantValues_.assign(steps.size(), 0.0);
  program->beginPass(0, 0, 0, 0);
  return program;
}

// The constants as the tree walk computes them: one value each.
void EnclosureProgram::beginPass(double a, double b, double c, double d) {
  std::vector<double>& values = constantValues_;
  for (std::size_t i = 0; i < steps_.size(); ++i) {
    const Step& s = steps_[i];
    if (!s.constant) {
      continue;
    }
    double v = 0.0;
    switch (s.type) {
    case lex::Number:
      v = s.value;
      break;
    case lex::A:
      v = a;
      break;
    case lex::B:
      v = b;
      break;
    case lex::C:
      v = c;
      break;
    case lex::D:
      v = d;
      break;
    default:
      ops::apply(s.type, s.left >= 0 ? values[static_cast<std::size_t>(s.left)] : 0.0,
                 s.right >= 0 ? values[static_cast<std::size_t>(s.right)] : 0.0, v);
    }
    values[i] = v;
    constants_[i] = Enclosure::point(v);
  }
  own_.begin(*this);
}

void EnclosureProgram::Lane::begin(const EnclosureProgram& program) {
  program_ = &program;
  if (values_.size() < program.constants_.size()) {
    values_.resize(program.constants_.size());
  }
  std::copy(program.constants_.begin(), program.constants_.end(), values_.begin());
}

Enclosure EnclosureProgram::Lane::enclose(double x0, double x1, double y0, double y1) {
  const EnclosureProgram& p = *program_;
  Enclosure* v = values_.data();
  for (const std::int32_t i : p.varying_) {
    const Step& s = p.steps_[static_cast<std::size_t>(i)];
    switch (s.type) {
    case lex::X:
      v[i] = Enclosure::span(x0, x1);
      break;
    case lex::Y:
      v[i] = Enclosure::span(y0, y1);
      break;
    default:
      v[i] = enclose::apply(s.type, s.left >= 0 ? v[s.left] : kZero,
                            s.right >= 0 ? v[s.right] : kZero);
    }
  }
  return v[p.steps_.size() - 1];
}
