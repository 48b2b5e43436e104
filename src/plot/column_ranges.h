#pragma once
// How a shared implicit pass splits a block of its columns among threads.

#include <algorithm>
#include <cstdint>

// Splits columns 0..count-1 into ranges of at least `least` columns (the last may
// be shorter) that end only where the pixel column changes or lies off a canvas
// `width` pixels wide, so that no two threads ever set pixels of one column.
// pixelColumn(i) is column i's pixel column, never smaller than the one before.
// starts receives the first column of each range, then count; returns how many
// ranges there are.
template <class PixelColumn>
int splitColumnRanges(int count, int least, int width, PixelColumn pixelColumn,
                      std::int32_t* starts) {
  int ranges = 0;
  for (int c = 0; c < count;) {
    starts[ranges++] = c;
    int end = std::min(count, c + least);
    const std::int32_t last = end < count ? pixelColumn(end - 1) : -1;
    if (last >= 0 && last < width) {
      while (end < count && pixelColumn(end) == last) {
        ++end;
      }
    }
    c = end;
  }
  starts[ranges] = count;
  return ranges;
}
