#pragma once
// Points of a range that meet the guarded and extreme cases of the operators: the
// ends and their neighbours inside, zero of both signs, whole numbers, multiples
// of pi/2, and random ones; and the check of an enclosure at those points. Shared
// by the enclosure tests and fuzzer.

#include "expr/batch.h"
#include "expr/enclosure.h"
#include "expr/program.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <vector>

inline std::vector<double> pointsOf(double lo, double hi, std::mt19937_64& rng) {
  std::vector<double> p{lo, hi, std::nextafter(lo, hi), std::nextafter(hi, lo), lo / 2 + hi / 2};
  for (double v : {0.0, -0.0, 1.0, -1.0, 2.0, 0.5, std::floor(lo) + 1, std::ceil(hi) - 1}) {
    p.push_back(v);
  }
  const double quarter = 3.141592653589793 / 2;
  for (double k = std::floor(lo / quarter); k <= std::ceil(hi / quarter) && p.size() < 24; ++k) {
    p.push_back(k * quarter);
  }
  std::uniform_real_distribution<double> u(0, 1);
  for (int i = 0; i < 6; ++i) {
    p.push_back(lo + (hi - lo) * u(rng));
  }
  p.erase(std::remove_if(p.begin(), p.end(), [&](double v) { return !(v >= lo && v <= hi); }),
          p.end());
  return p;
}

// A value of the tree walk or of the batch evaluator that an enclosure left out.
struct Escape {
  double x, y, value;
};

// The enclosure of the box x0..x1, y0..y1 (a..d fixed) into `e`, and the first
// point of the box where either evaluator's value lies outside it.
inline std::optional<Escape> firstEscape(CProgram& p, double x0, double x1, double y0, double y1,
                                         const double (&vars)[4], std::mt19937_64& rng,
                                         Enclosure& e) {
  p.enclosure->beginPass(vars[0], vars[1], vars[2], vars[3]);
  e = p.enclosure->enclose(x0, x1, y0, y1);
  BatchProgram& batch = *p.batch;
  batch.beginPass(vars[0], vars[1], vars[2], vars[3]);
  const std::vector<double> xs = pointsOf(x0, x1, rng);
  const std::vector<double> ys = pointsOf(y0, y1, rng);
  for (double x : xs) {
    batch.beginRow(x);
    for (std::size_t first = 0; first < ys.size();) {
      const int n = static_cast<int>(std::min<std::size_t>(batch.chunkSize(), ys.size() - first));
      const double* values = batch.evaluateRow(ys.data() + first, static_cast<int>(first), n);
      for (int i = 0; i < n; ++i) {
        const double y = ys[first + static_cast<std::size_t>(i)];
        const double walk = p.evaluate(x, y, vars[0], vars[1], vars[2], vars[3]);
        for (double v : {walk, values[i]}) {
          if (!e.contains(v)) {
            return Escape{x, y, v};
          }
        }
      }
      first += static_cast<std::size_t>(n);
    }
  }
  return std::nullopt;
}
