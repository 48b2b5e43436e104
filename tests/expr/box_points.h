#pragma once
// Points of a range that meet the guarded and extreme cases of the operators: the
// ends and their neighbours inside, zero of both signs, whole numbers, multiples
// of pi/2, and random ones. Shared by the enclosure tests and fuzzer.

#include <algorithm>
#include <cmath>
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
