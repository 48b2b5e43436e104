#pragma once
// The program's resources as data: icon 101 and the crosshair cursor 103.

#include <array>
#include <cstdint>

namespace res {

inline constexpr int kIconId = 101;
inline constexpr int kCursorId = 103;

// One image of an icon: palette indices, top row first, and a mask in which 1
// marks a transparent pixel.
struct IconImage {
  int width;
  int height;
  int colours;
  const std::uint32_t* palette; // 0xRRGGBB
  const std::uint8_t* pixels;
  const std::uint8_t* mask;

  std::uint32_t argb(int x, int y) const {
    const int i = y * width + x;
    return mask[i] != 0 ? 0u : 0xFF000000u | palette[pixels[i]];
  }
};

struct IconResource {
  int id;
  std::array<IconImage, 3> images; // 32 x 32 in 16 colours, 16 x 16 and 64 x 64 in 256
};

// A monochrome cursor as Windows keeps it: per row, bit 31 is column 0. A pixel
// with AND 1 and XOR 0 is transparent; AND 0 gives the XOR colour (0 black, 1 white).
struct CursorResource {
  int id;
  int width;
  int height;
  int hotX;
  int hotY;
  std::array<std::uint32_t, 32> andMask;
  std::array<std::uint32_t, 32> xorMask;
};

// Null for an identifier the program does not have.
const IconResource* findIcon(int id);
const CursorResource* findCursor(int id);

} // namespace res
