#include "expr/batch.h"

#include "expr/ops.h"

#include <algorithm>

namespace {

constexpr int kX = 1, kY = 2; // what a node depends on

// A tree node in post order, with the positions of its children.
struct Flat {
  const ExprNode* node;
  std::int32_t left = -1, right = -1, parent = -1;
  int deps = 0;
};

bool isVariable(std::int32_t type) {
  return type >= lex::X && type <= lex::D;
}

// Post order without recursion; false for a node the evaluator would refuse.
bool flatten(const ExprNode* root, std::vector<Flat>& out) {
  struct Visit {
    const ExprNode* node;
    bool expanded;
  };
  std::vector<Visit> stack{{root, false}};
  out.clear();
  while (!stack.empty()) {
    Visit v = stack.back();
    stack.pop_back();
    const ExprNode* n = v.node;
    bool leaf = n->left == nullptr && n->right == nullptr;
    if (leaf || v.expanded) {
      if (leaf ? !(n->type == lex::Number || isVariable(n->type))
               : !(n->type >= lex::Plus && n->type <= lex::Factorial)) {
        return false;
      }
      Flat f{n};
      f.deps = n->type == lex::X ? kX : n->type == lex::Y ? kY : 0;
      out.push_back(f);
      continue;
    }
    stack.push_back({n, true});
    if (n->right != nullptr) {
      stack.push_back({n->right, false});
    }
    if (n->left != nullptr) {
      stack.push_back({n->left, false});
    }
  }
  // In post order a node's children are the last two subtrees finished before it.
  std::vector<std::int32_t> finished;
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(out.size()); ++i) {
    Flat& f = out[static_cast<std::size_t>(i)];
    if (f.node->right != nullptr) {
      f.right = finished.back();
      finished.pop_back();
    }
    if (f.node->left != nullptr) {
      f.left = finished.back();
      finished.pop_back();
    }
    for (std::int32_t child : {f.left, f.right}) {
      if (child >= 0) {
        out[static_cast<std::size_t>(child)].parent = i;
        f.deps |= out[static_cast<std::size_t>(child)].deps;
      }
    }
    finished.push_back(i);
  }
  return true;
}

// ---- chunk loops -----------------------------------------------------------

template <class F>
void loop(F f, const double* a, bool av, const double* b, bool bv, double* out, int n) {
  if (av && bv) {
    for (int i = 0; i < n; ++i) {
      out[i] = f(a[i], b[i]);
    }
  } else if (av) {
    const double r = *b;
    for (int i = 0; i < n; ++i) {
      out[i] = f(a[i], r);
    }
  } else if (bv) {
    const double l = *a;
    for (int i = 0; i < n; ++i) {
      out[i] = f(l, b[i]);
    }
  } else {
    const double v = f(*a, *b);
    for (int i = 0; i < n; ++i) {
      out[i] = v;
    }
  }
}

double square(double p) {
  return p == 0 ? 1.0 : p * p;
} // power(p, 2)

double powerOrSquare(double p, double q) {
  return q == 2.0 ? square(p) : ops::power(p, q);
}

// One operation over a chunk; the build has checked that the code is 0..24.
void runStep(std::int32_t code, const double* a, bool av, const double* b, bool bv, double* out,
             int n) {
#define LUMICURVE_BINARY(CODE, EXPR)                                                               \
  case CODE:                                                                                       \
    return loop([](double l, double r) { return EXPR; }, a, av, b, bv, out, n);
#define LUMICURVE_UNARY(CODE, FN)                                                                  \
  case CODE:                                                                                       \
    return loop([](double l, double) { return FN(l); }, a, av, b, bv, out, n);
  switch (code) {
    LUMICURVE_BINARY(lex::Plus, l + r)
    LUMICURVE_BINARY(lex::Minus, l - r)
    LUMICURVE_BINARY(lex::Times, l * r)
    LUMICURVE_BINARY(lex::Divide, r == 0 ? 0.0 : l / r)
    LUMICURVE_BINARY(lex::Remainder, ops::remainder(l, r))
    LUMICURVE_BINARY(lex::Root, ops::root(l, r))
  case lex::Power:
    if (!bv && *b == 2.0) {
      return loop([](double l, double) { return square(l); }, a, av, b, bv, out, n);
    }
    return loop([](double l, double r) { return powerOrSquare(l, r); }, a, av, b, bv, out, n);
    LUMICURVE_BINARY(lex::Min, l < r ? l : r)
    LUMICURVE_BINARY(lex::Max, l > r ? l : r)
    LUMICURVE_BINARY(lex::Nod, ops::nod(l, r))
    LUMICURVE_BINARY(lex::Nok, ops::nok(l, r))
    LUMICURVE_BINARY(lex::Log, ops::logBase(l, r))
    LUMICURVE_UNARY(lex::Sin, std::sin)
    LUMICURVE_UNARY(lex::Cos, std::cos)
    LUMICURVE_UNARY(lex::Tg, ops::tg)
    LUMICURVE_UNARY(lex::Ctg, ops::ctg)
    LUMICURVE_UNARY(lex::Arccos, ops::arccos)
    LUMICURVE_UNARY(lex::Arcsin, ops::arcsin)
    LUMICURVE_UNARY(lex::Arctg, std::atan)
    LUMICURVE_UNARY(lex::Arcctg, ops::arcctg)
    LUMICURVE_UNARY(lex::Ln, ops::ln)
    LUMICURVE_UNARY(lex::Lg, ops::lg)
    LUMICURVE_UNARY(lex::Abc, ops::abc)
    LUMICURVE_UNARY(lex::AbcPlusOne, ops::abcPlusOne)
    LUMICURVE_UNARY(lex::Factorial, ops::factorial)
  default:
    break;
  }
#undef LUMICURVE_BINARY
#undef LUMICURVE_UNARY
}

} // namespace

std::unique_ptr<BatchProgram> BatchProgram::build(const ExprNode* root) {
  std::unique_ptr<BatchProgram> program(new BatchProgram);
  std::vector<Flat> flat;
  if (root == nullptr) {
    Plan constant;
    constant.passSteps.push_back({lex::Number, 0.0, -1, -1, 0});
    constant.result = {Ref::Scalar, 0};
    program->row_ = constant;
    program->line_ = constant;
    program->own_.scalars_.assign(1, 0.0);
  } else {
    if (!flatten(root, flat)) {
      return nullptr;
    }
    const auto count = static_cast<std::int32_t>(flat.size());
    program->own_.scalars_.assign(static_cast<std::size_t>(count), 0.0);

    // The y-only values kept across rows: those whose parent also depends on x.
    auto keptRoot = [&](const Flat& f) {
      bool inner = f.left >= 0 || f.right >= 0;
      return f.deps == kY && inner &&
             (f.parent < 0 || flat[static_cast<std::size_t>(f.parent)].deps != kY);
    };
    program->keepRows_ = std::count_if(flat.begin(), flat.end(), keptRoot) <= 8;

    for (Mode mode : {Mode::Row, Mode::Line}) {
      Plan& plan = mode == Mode::Row ? program->row_ : program->line_;
      std::vector<Ref> refs(static_cast<std::size_t>(count));
      for (std::int32_t i = 0; i < count; ++i) {
        const Flat& f = flat[static_cast<std::size_t>(i)];
        const ExprNode* n = f.node;
        bool varying = mode == Mode::Row ? (f.deps & kY) != 0 : f.deps != 0;
        if (!varying) {
          ScalarStep step{n->type, n->value, f.left, f.right, i};
          (f.deps == 0 ? plan.passSteps : plan.rowSteps).push_back(step);
          refs[static_cast<std::size_t>(i)] = {Ref::Scalar, i};
          continue;
        }
        if (f.left < 0 && f.right < 0) {
          refs[static_cast<std::size_t>(i)] = {Ref::Input, 0}; // x or y itself
          continue;
        }
        bool keptPart = mode == Mode::Row && f.deps == kY;
        Ref out = keptPart && keptRoot(f) && program->keepRows_
                      ? Ref{Ref::Cache, plan.kept++}
                      : Ref{Ref::Register, plan.registers++};
        VectorStep step{n->type, f.left >= 0 ? refs[static_cast<std::size_t>(f.left)] : Ref{},
                        f.right >= 0 ? refs[static_cast<std::size_t>(f.right)] : Ref{}, out};
        (keptPart ? plan.keptSteps : plan.steps).push_back(step);
        refs[static_cast<std::size_t>(i)] = out;
      }
      plan.result = refs.back();
    }
  }

  // Each kept value also has a register for the samples beyond the kept ones.
  for (Plan* plan : {&program->row_, &program->line_}) {
    plan->registers += plan->kept;
  }
  std::size_t work = std::max({program->row_.steps.size() + program->row_.keptSteps.size(),
                               program->line_.steps.size(), std::size_t{1}});
  program->chunk_ = static_cast<int>(std::clamp<std::size_t>(16384 / work, 1, MaxChunk));
  program->kept_.assign(static_cast<std::size_t>(program->row_.kept) * RowCache, 0.0);
  program->keptStride_ = RowCache;
  program->own_.begin(*program);
  return program;
}

void BatchProgram::Lane::begin(const BatchProgram& program) {
  program_ = &program;
  const int registers = std::max(program.row_.registers, program.line_.registers);
  const auto registerSize = static_cast<std::size_t>(registers) * program.chunk_;
  if (registers_.size() < registerSize) {
    registers_.resize(registerSize, 0.0);
  }
  if (result_.size() < static_cast<std::size_t>(program.chunk_)) {
    result_.resize(static_cast<std::size_t>(program.chunk_), 0.0);
  }
  if (&program.own_ != this) {
    scalars_.assign(program.own_.scalars_.begin(), program.own_.scalars_.end());
  }
}

void BatchProgram::Lane::beginRow(double x) {
  x_ = x;
  program_->runScalars(*this, program_->row_.rowSteps);
}

const double* BatchProgram::Lane::evaluateRow(const double* ys, std::int64_t first, int n) {
  const BatchProgram& p = *program_;
  const bool kept = p.keepRows_ && first <= p.keptUpTo_ - n;
  return p.run(*this, p.row_, ys, kept ? static_cast<int>(first) : -1, n,
               kept ? Kept::Read : Kept::None);
}

void BatchProgram::runScalars(Lane& lane, const std::vector<ScalarStep>& steps) const {
  double* s = lane.scalars_.data();
  for (const ScalarStep& step : steps) {
    double v = 0.0;
    switch (step.type) {
    case lex::Number:
      v = step.value;
      break;
    case lex::X:
      v = lane.x_;
      break;
    case lex::A:
      v = a_;
      break;
    case lex::B:
      v = b_;
      break;
    case lex::C:
      v = c_;
      break;
    case lex::D:
      v = d_;
      break;
    default: {
      double l = step.left >= 0 ? s[step.left] : 0.0;
      double r = step.right >= 0 ? s[step.right] : 0.0;
      ops::apply(step.type, l, r, v);
    }
    }
    s[step.slot] = v;
  }
}

void BatchProgram::beginPass(double a, double b, double c, double d) {
  a_ = a;
  b_ = b;
  c_ = c;
  d_ = d;
  keptUpTo_ = 0;
  runScalars(own_, row_.passSteps); // the two plans share the pass constants' slots
}

int BatchProgram::keepRow(const double* ys, int n) {
  if (!keepRows_ || row_.kept == 0 || n <= 0) {
    return 0;
  }
  const auto most = KeptBytes / (sizeof(double) * static_cast<std::size_t>(row_.kept));
  const int rows = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(n), most));
  if (rows > keptStride_) {
    kept_.assign(static_cast<std::size_t>(row_.kept) * static_cast<std::size_t>(rows), 0.0);
    keptStride_ = rows;
  }
  keptUpTo_ = 0;
  for (int first = 0; first < rows; first += chunk_) {
    const int count = std::min(chunk_, rows - first);
    for (const VectorStep& step : row_.keptSteps) {
      bool av = step.left.kind != Ref::Scalar && step.left.kind != Ref::None;
      bool bv = step.right.kind != Ref::Scalar && step.right.kind != Ref::None;
      runStep(step.code, resolve(own_, step.left, ys + first, first), av,
              resolve(own_, step.right, ys + first, first), bv,
              resolve(own_, step.out, ys + first, first), count);
    }
  }
  keptUpTo_ = rows;
  return rows;
}

void BatchProgram::beginRow(double x) {
  own_.beginRow(x);
}

double* BatchProgram::resolve(Lane& lane, const Ref& ref, const double* input, int first) const {
  switch (ref.kind) {
  case Ref::Scalar:
    return &lane.scalars_[static_cast<std::size_t>(ref.index)];
  case Ref::Input:
    return const_cast<double*>(input); // read only: never an output
  case Ref::Cache:
    if (first >= 0) {
      // Written only by the program's own lane, which is then the only one at work.
      return const_cast<double*>(
          &kept_[static_cast<std::size_t>(ref.index) * static_cast<std::size_t>(keptStride_) +
                 static_cast<std::size_t>(first)]);
    }
    // Beyond the kept part of a row: the value's own register, after the others.
    return &lane.registers_[static_cast<std::size_t>(row_.registers - row_.kept + ref.index) *
                            static_cast<std::size_t>(chunk_)];
  case Ref::Register:
    return &lane.registers_[static_cast<std::size_t>(ref.index) * static_cast<std::size_t>(chunk_)];
  case Ref::None:
    break;
  }
  return const_cast<double*>(&zero_);
}

const double* BatchProgram::run(Lane& lane, const Plan& plan, const double* input, int first, int n,
                                Kept kept) const {
  auto apply = [&](const VectorStep& step, int at) {
    bool av = step.left.kind != Ref::Scalar && step.left.kind != Ref::None;
    bool bv = step.right.kind != Ref::Scalar && step.right.kind != Ref::None;
    runStep(step.code, resolve(lane, step.left, input, at), av,
            resolve(lane, step.right, input, at), bv, resolve(lane, step.out, input, at), n);
  };
  if (kept != Kept::Read) {
    for (const VectorStep& step : plan.keptSteps) {
      apply(step, first);
    }
  }
  for (const VectorStep& step : plan.steps) {
    apply(step, first);
  }
  if (plan.result.kind == Ref::Scalar) {
    std::fill(lane.result_.begin(), lane.result_.begin() + n,
              lane.scalars_[static_cast<std::size_t>(plan.result.index)]);
    return lane.result_.data();
  }
  return resolve(lane, plan.result, input, first);
}

const double* BatchProgram::evaluateRow(const double* ys, std::int64_t first, int n) {
  // Compared as first <= limit - n: a row's index may lie far past 32 bits.
  bool kept = keepRows_ && first <= keptStride_ - n;
  bool valid = kept && first <= keptUpTo_ - n;
  const double* values = run(own_, row_, ys, kept ? static_cast<int>(first) : -1, n,
                             !kept   ? Kept::None
                             : valid ? Kept::Read
                                     : Kept::Write);
  if (kept && !valid && first == keptUpTo_) {
    keptUpTo_ += n;
  }
  return values;
}

const double* BatchProgram::evaluateLine(const double* ts, int n) {
  return run(own_, line_, ts, -1, n, Kept::None);
}
