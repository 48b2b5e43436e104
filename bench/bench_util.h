#pragma once
// Shared pieces of the benchmarks: the default grid and per-sample counters.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

// The default implicit grid: x and y from -10 to 10 in steps of the accuracy,
// accumulated as the tracers accumulate them.
inline std::vector<double> gridAxis(double from, double to, double step) {
  std::vector<double> values;
  for (double v = from; v < to; v += step) {
    values.push_back(v);
  }
  return values;
}

inline void perSample(benchmark::State& state, std::int64_t samplesPerIteration) {
  state.counters["ns_per_sample"] = benchmark::Counter(
      static_cast<double>(samplesPerIteration) * static_cast<double>(state.iterations()) / 1e9,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["samples"] = static_cast<double>(samplesPerIteration);
}
