// Evaluation of x^2 + y^2 - 1.0 over the default implicit grid, per sample:
// the tree walk, the batch evaluator, native code of the same meaning, muParser.

#include "bench_util.h"
#include "expr/batch.h"
#include "expr/ops.h"
#include "expr/program.h"

#include <muParser.h>

#include <algorithm>

namespace {

const char kFormula[] = "x^2 + y^2 - 1.0";

struct Grid {
  std::vector<double> xs = gridAxis(-10, 10, 0.01);
  std::vector<double> ys = gridAxis(-10, 10, 0.01);
  std::int64_t samples() const { return static_cast<std::int64_t>(xs.size() * ys.size()); }
};

const Grid& grid() {
  static const Grid g;
  return g;
}

// The formula as the grammar groups it, x^2 + (y^2 - 1.0), with the language's power.
inline double nativeWithPow(double x, double y) {
  return ops::power(x, 2) + (ops::power(y, 2) - 1.0);
}

// The same with the power of 2 as the square: 0^2 is still 1.
inline double square(double p) {
  return p == 0 ? 1.0 : p * p;
}

void treeWalk(benchmark::State& state) {
  CProgram p;
  p.compile(CText(kFormula));
  const Grid& g = grid();
  for (auto _ : state) {
    double sum = 0;
    for (double x : g.xs) {
      for (double y : g.ys) {
        sum += p.evaluate(x, y, 1, 1, 1, 1);
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  perSample(state, g.samples());
}

void batchRows(benchmark::State& state) {
  CProgram p;
  p.compile(CText(kFormula));
  BatchProgram& batch = *p.batch;
  const Grid& g = grid();
  const int chunk = batch.chunkSize();
  const int n = static_cast<int>(g.ys.size());
  for (auto _ : state) {
    double sum = 0;
    batch.beginPass(1, 1, 1, 1);
    for (double x : g.xs) {
      batch.beginRow(x);
      for (int first = 0; first < n; first += chunk) {
        int count = std::min(chunk, n - first);
        const double* v = batch.evaluateRow(g.ys.data() + first, first, count);
        for (int i = 0; i < count; ++i) {
          sum += v[i];
        }
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  perSample(state, g.samples());
}

void nativePow(benchmark::State& state) {
  const Grid& g = grid();
  for (auto _ : state) {
    double sum = 0;
    for (double x : g.xs) {
      for (double y : g.ys) {
        sum += nativeWithPow(x, y);
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  perSample(state, g.samples());
}

void nativeSquare(benchmark::State& state) {
  const Grid& g = grid();
  for (auto _ : state) {
    double sum = 0;
    for (double x : g.xs) {
      for (double y : g.ys) {
        sum += square(x) + (square(y) - 1.0);
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  perSample(state, g.samples());
}

void muParser(benchmark::State& state) {
  double x = 0, y = 0;
  mu::Parser parser;
  parser.DefineVar("x", &x);
  parser.DefineVar("y", &y);
  parser.SetExpr(kFormula);
  const Grid& g = grid();
  for (auto _ : state) {
    double sum = 0;
    for (double gx : g.xs) {
      x = gx;
      for (double gy : g.ys) {
        y = gy;
        sum += parser.Eval();
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  perSample(state, g.samples());
}

} // namespace

BENCHMARK(treeWalk)->Name("eval/tree_walk")->Unit(benchmark::kMillisecond);
BENCHMARK(batchRows)->Name("eval/batch")->Unit(benchmark::kMillisecond);
BENCHMARK(nativePow)->Name("eval/native_pow")->Unit(benchmark::kMillisecond);
BENCHMARK(nativeSquare)->Name("eval/native_square")->Unit(benchmark::kMillisecond);
BENCHMARK(muParser)->Name("eval/muparser")->Unit(benchmark::kMillisecond);
