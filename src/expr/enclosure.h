#pragma once
// Enclosures: for a box of x and y (a..d fixed), bounds on every value that the
// tree walk and the batch evaluator can return for any sample in the box. A pass
// that proves no sample of a block of pixels passes its test need not evaluate
// them; one that proves every sample passes marks them all.
//
// Bounds are rounded outward and allow a few units in the last place around
// every math library result; the system's own answers to undefined arithmetic
// (0.0, the 1.0 of a power of 0) are included wherever the box touches their case.

#include "expr/program.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

// A set of values: the numbers from lo to hi (none when lo > hi, infinities
// included as numbers) and, when nan is set, NaN.
struct Enclosure {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  bool nan = false;

  static Enclosure point(double v) {
    Enclosure e;
    e.include(v);
    return e;
  }
  static Enclosure span(double lo, double hi) {
    Enclosure e;
    e.lo = lo;
    e.hi = hi;
    return e;
  }
  // Every number and NaN.
  static Enclosure everything() {
    Enclosure e =
        span(-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity());
    e.nan = true;
    return e;
  }

  bool hasNumbers() const { return lo <= hi; }
  bool contains(double v) const { return std::isnan(v) ? nan : lo <= v && v <= hi; }
  // True when the number v lies in the enclosure (zero of either sign for zero).
  bool containsNumber(double v) const { return lo <= v && v <= hi; }

  void include(double v) {
    if (std::isnan(v)) {
      nan = true;
      return;
    }
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
  }
  void include(const Enclosure& e) {
    if (e.hasNumbers()) {
      lo = e.lo < lo ? e.lo : lo;
      hi = e.hi > hi ? e.hi : hi;
    }
    nan = nan || e.nan;
  }
};

namespace enclose {

// The enclosure of the operator or function `code` (0..24) over the operand
// sets l and r (r unused by the functions of one argument and by "!").
Enclosure apply(std::int32_t code, const Enclosure& l, const Enclosure& r);

} // namespace enclose

// A compiled tree laid out for enclosures: the nodes in post order, the values
// that depend on neither x nor y computed once per pass.
class EnclosureProgram {
public:
  // One thread's evaluation of boxes: its own enclosure of every node. Lanes
  // only read the program, so threads may enclose boxes of one pass at once.
  class Lane {
  public:
    // Takes the pass constants of the program's last beginPass; grows the lane
    // to the program's needs (allocating only then).
    void begin(const EnclosureProgram& program);
    // The values over x0 <= x <= x1, y0 <= y <= y1.
    Enclosure enclose(double x0, double x1, double y0, double y1);

  private:
    const EnclosureProgram* program_ = nullptr;
    std::vector<Enclosure> values_;
  };

  // Lays out a compiled tree (copying what it needs); null for a damaged tree.
  static std::unique_ptr<EnclosureProgram> build(const ExprNode* root);

  // Sets a..d for a pass and computes the constants.
  void beginPass(double a, double b, double c, double d);
  // The program's own lane: enclose on the calling thread.
  Enclosure enclose(double x0, double x1, double y0, double y1) {
    return own_.enclose(x0, x1, y0, y1);
  }
  // Nodes in the tree; the work of one enclosure grows with it.
  int size() const { return static_cast<int>(steps_.size()); }

private:
  EnclosureProgram() = default;

  struct Step {
    std::int32_t type; // an operator, a variable or -1
    double value;      // a number leaf's value
    std::int32_t left; // steps of the operands, -1 when absent
    std::int32_t right;
    bool constant; // depends on neither x nor y
  };
  std::vector<Step> steps_;
  std::vector<std::int32_t> varying_; // the steps that depend on x or y, in order
  std::vector<Enclosure> constants_;  // by step; the values of the constant steps
  std::vector<double> constantValues_;
  Lane own_;
};
