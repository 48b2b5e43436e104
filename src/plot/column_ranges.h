#pragma once
// How a shared implicit pass splits a block of its columns among threads.

#include <algorithm>
#include <cstdint>

// Splits columns 0..count-1 into ranges of at least `least` columns (the last may
// be shorter) so that no two threads ever set pixels of one pixel column: a mark
// of column i covers the `dot` pixel columns from pixelColumn(i), which never
// decreases with i, and a range ends only where the next column's dot lies past
// the reach of the last one's, or where the last one's lies wholly off a canvas
// `width` pixels wide. starts receives the first column of each range, then
// count; returns how many ranges there are.
template <class PixelColumn>
int splitColumnRanges(int count, int least, int width, std::int32_t dot, PixelColumn pixelColumn,
                      std::int32_t* starts) {
  int ranges = 0;
  for (int c = 0; c < count;) {
    starts[ranges++] = c;
    int end = std::min(count, c + least);
    std::int32_t last = end < count ? pixelColumn(end - 1) : -1;
    if (last > -dot && last < width) {
      // Each column taken in may reach the next one by its dot.
      for (std::int32_t next = 0; end < count && (next = pixelColumn(end)) < last + dot; ++end) {
        last = next;
      }
    }
    c = end;
  }
  starts[ranges] = count;
  return ranges;
}
