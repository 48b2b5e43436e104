#pragma once
// What an implicit graph marks: the test of a sample's value by the graph kind,
// and the pixel that a marked sample sets. Every implicit scan asks these two.

#include "plot/plot_state.h"

#include <cstdint>

// A sample of value v passes the test of Kind, with the accuracy e as tolerance.
// A value that is not a number passes none.
template <GraphKind Kind> inline bool marked(double v, double e) {
  if constexpr (Kind == ImplicitLess) {
    return v <= -e;
  } else if constexpr (Kind == ImplicitEqual) {
    return -e <= v && v <= e;
  } else {
    return v >= -e; // the same bound as for < 0
  }
}

inline bool marked(GraphKind kind, double v, double e) {
  return kind == ImplicitLess    ? marked<ImplicitLess>(v, e)
         : kind == ImplicitEqual ? marked<ImplicitEqual>(v, e)
                                 : marked<ImplicitGreater>(v, e);
}

// The canvas column and row of the pixel a marked sample at (x, y) sets: the one
// below and right of its truncated position, where a one-pixel line from there
// back to that position puts its only pixel.
inline std::int32_t markColumn(const PlotState& s, double x) {
  return pixelOf(s.canvasX(x)) + 1;
}
inline std::int32_t markRow(const PlotState& s, double y) {
  return pixelOf(s.canvasY(y)) + 1;
}

// The value at `index` steps from `from`: where a scan that skips its first
// samples starts (`from` itself at index 0, its sign of zero too).
inline double sampleAt(double from, std::int64_t index, double step) {
  return index == 0 ? from : from + static_cast<double>(index) * step;
}
