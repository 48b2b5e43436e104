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

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class BatchProgram {
public:
  // Row: x is fixed for a row and y varies along it. Line: x and y both take the
  // varying value (the explicit and parametric tracers pass the sample twice).
  enum class Mode { Row, Line };

  static constexpr int MaxChunk = 256;
  // Samples per row whose y-only values are kept from one row to the next, until
  // keepRow asks for more.
  static constexpr int RowCache = 8192;
  // The most memory that kept row values may take; past it, samples compute
  // their y-only values afresh in every row.
  static constexpr std::size_t KeptBytes = std::size_t{64} << 20;

  // One thread's evaluation of rows: its row constants and chunk registers. Lanes
  // only read the program's kept row values, so several threads may evaluate
  // rows of one pass at once, each with its own lane.
  class Lane {
  public:
    // Takes the pass constants of the program's last beginPass; grows the lane
    // to the program's needs (allocating only then).
    void begin(const BatchProgram& program);
    void beginRow(double x);
    // Values at (x, ys[i]), i < n <= chunkSize(); `first` as for evaluateRow.
    const double* evaluateRow(const double* ys, std::int64_t first, int n);

  private:
    friend class BatchProgram;
    const BatchProgram* program_ = nullptr;
    std::vector<double> scalars_;
    std::vector<double> registers_;
    std::vector<double> result_; // a constant result spread over a chunk
    double x_ = 0;
  };

  // Lays out a compiled tree (copying what it needs); null for a damaged tree.
  static std::unique_ptr<BatchProgram> build(const ExprNode* root);

  // Samples evaluated at once: fewer for long formulas, so that a chunk stays short.
  int chunkSize() const { return chunk_; }

  // Sets a..d for a pass and forgets the kept row values.
  void beginPass(double a, double b, double c, double d);
  // After beginPass: computes the y-only values of the samples ys[0..n) of a row,
  // which every row of the pass shares, as far as KeptBytes allows (allocating
  // when that is more than ever before); returns how many samples are kept.
  int keepRow(const double* ys, int n);
  // Row mode: fixes x for the following evaluateRow calls.
  void beginRow(double x);
  // Row mode: values at (x, ys[i]), i < n <= chunkSize(). `first` is the index of
  // ys[0] within the row; the same index must hold the same y in every row of a pass.
  const double* evaluateRow(const double* ys, std::int64_t first, int n);
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

  // How the kept row values serve one chunk: read, written as they are computed,
  // or not at all (the values go to the lane's own registers).
  enum class Kept { Read, Write, None };

  const double* run(Lane& lane, const Plan& plan, const double* input, int first, int n,
                    Kept kept) const;
  void runScalars(Lane& lane, const std::vector<ScalarStep>& steps) const;
  double* resolve(Lane& lane, const Ref& ref, const double* input, int first) const;

  Plan row_, line_;
  int chunk_ = MaxChunk;
  bool keepRows_ = false;
  Lane own_; // the lane of the calls above
  // Kept row values: keptStride_ samples per kept value, [0, keptUpTo_) valid.
  std::vector<double> kept_;
  int keptStride_ = 0;
  int keptUpTo_ = 0;
  double a_ = 0, b_ = 0, c_ = 0, d_ = 0;
  double zero_ = 0.0; // the R of a function of one argument
};
