#pragma once
// What an implicit graph marks: the test of a sample's value by the graph kind,
// and the pixel that a marked sample sets. Every implicit scan asks these two.

#include "plot/plot_state.h"

#include <algorithm>
#include <cmath>
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

// Where the marks of a pass land on a canvas of `scale` device pixels to a
// logical one. A marked sample sets a square of `dot` device pixels whose top left
// lies `shift` device pixels below and right of the device pixel the sample lies
// in. At scale 1 that is the pixel below and right of the sample's truncated
// position, where a one-pixel line from there back to that position puts its only
// pixel; at a larger scale the shift is the same logical pixel (the pen's width)
// and the dot as large as the samples' spacing allows, up to the pen's width, so
// that areas stay filled and a sparse grid keeps its dots.
struct MarkGrid {
  double scale = 1;
  std::int32_t shift = 1;
  int dot = 1;
  // Marks of one device pixel where a logical pixel is one: the one-pixel lines.
  bool logical() const { return scale == 1; }
};

inline MarkGrid markGrid(const PlotState& s, double scale, int penWidth) {
  if (!(scale > 1)) {
    return MarkGrid{};
  }
  const double spacing = s.accuracy * s.pixels * scale; // device pixels between samples
  const int dot = spacing > 1 ? static_cast<int>(std::ceil(spacing - 1e-9)) : 1;
  return MarkGrid{scale, penWidth, std::clamp(dot, 1, penWidth)};
}

// The canvas column and row of the top left pixel a marked sample at (x, y) sets.
inline std::int32_t markColumn(const PlotState& s, double x, const MarkGrid& g) {
  return pixelOf(g.scale * s.canvasX(x)) + g.shift;
}
inline std::int32_t markRow(const PlotState& s, double y, const MarkGrid& g) {
  return pixelOf(g.scale * s.canvasY(y)) + g.shift;
}

// The value at `index` steps from `from`: where a scan that skips its first
// samples starts (`from` itself at index 0, its sign of zero too).
inline double sampleAt(double from, std::int64_t index, double step) {
  return index == 0 ? from : from + static_cast<double>(index) * step;
}
