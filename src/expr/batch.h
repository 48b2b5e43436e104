#pragma once
// BatchProgram: a compiled formula laid out for evaluating many samples at once.
// Each operation runs over a whole chunk of samples, so the dispatch on the node
// type is paid once per chunk instead of once per sample; what does not depend
// on the varying variable is computed once per pass or once per row.
//
// Values are bit for bit those of the plain tree walk, with one exception: a
// power whose exponent is exactly 2 is computed as the correctly rounded square
// p * p (pow can be off by one unit in the last place).

#include "expr/program.h"

#include <cstdint>
#include <memory>
#include <vector>

class BatchProgram {
public:
  // Row: x is fixed for a row and y varies along it. Line: x and y both take the
  // varying value (the explicit and parametric tracers pass the sample twice).
  enum class Mode { Row, Line };

  static constexpr int MaxChunk = 256;
  // Samples per row whose y-only values are kept from one row to the next.
  static constexpr int RowCache = 8192;

  // Lays out a compiled tree (copying what it needs); null for a damaged tree.
  static std::unique_ptr<BatchProgram> build(const ExprNode* root);

  // Samples evaluated at once: fewer for long formulas, so that a chunk stays short.
  int chunkSize() const { return chunk_; }

  // Sets a..d for a pass and forgets the kept row values.
  void beginPass(double a, double b, double c, double d);
  // Row mode: fixes x for the following evaluateRow calls.
  void beginRow(double x);
  // Row mode: values at (x, ys[i]), i < n <= chunkSize(). `first` is the index of
  // ys[0] within the row; the same index must hold the same y in every row of a pass.
  const double* evaluateRow(const double* ys, int first, int n);
  // Line mode: values at x = y = ts[i], i < n <= chunkSize().
  const double* evaluateLine(const double* ts, int n);

  // A reference to a value: a pass or row constant, a chunk register, a kept row
  // value, or the varying input itself.
  struct Ref {
    enum Kind : std::uint8_t { None, Scalar, Register, Cache, Input };
    Kind kind = None;
    std::int32_t index = 0;
  };
  struct ScalarStep {
    std::int32_t type; // node type: an operator, a variable or -1
    double value;      // a number leaf's value
    std::int32_t left; // scalar slots of the operands, -1 when absent
    std::int32_t right;
    std::int32_t slot;
  };
  struct VectorStep {
    std::int32_t code;
    Ref left, right, out;
  };
  struct Plan {
    std::vector<ScalarStep> passSteps; // depend on neither x nor y
    std::vector<ScalarStep> rowSteps;  // depend on x only (row mode)
    std::vector<VectorStep> keptSteps; // depend on y only (row mode), kept across rows
    std::vector<VectorStep> steps;     // depend on the varying variable
    Ref result;
    std::int32_t registers = 0;
    std::int32_t kept = 0; // row values kept per sample
  };

private:
  BatchProgram() = default;

  const double* run(const Plan& plan, const double* input, int first, int n, bool keptValid);
  void runScalars(const std::vector<ScalarStep>& steps);
  double* resolve(const Ref& ref, const double* input, int first);

  Plan row_, line_;
  int chunk_ = MaxChunk;
  bool keepRows_ = false;
  std::vector<double> scalars_;
  std::vector<double> registers_;
  std::vector<double> kept_;   // RowCache samples per kept value
  std::vector<double> result_; // a constant result spread over a chunk
  int keptUpTo_ = 0;           // row values [0, keptUpTo_) are valid
  double a_ = 0, b_ = 0, c_ = 0, d_ = 0, x_ = 0;
  double zero_ = 0.0; // the R of a function of one argument
};
