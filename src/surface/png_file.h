#pragma once
// PNG files of bitmaps: pictures for a person to look at, and for tests to compare.

#include "surface/file_writer.h"
#include "surface/surface.h"

#include <cstdint>
#include <vector>

// libpng writes and reads no picture wider or higher than this (its default
// limit, which most programs that show PNG keep).
inline constexpr int kMaxPngSide = 1000000;

// Writes an 8-bit RGB PNG as the whole content of the file at path, as
// writeFileContent does; a picture that cannot be encoded (too large for PNG, or
// for the memory left) writes nothing, and the reason says which.
FileWriteResult writePng(HBITMAP bitmap, const char* path);

// Reads a PNG into 0x00RRGGBB pixels, top row first. On failure returns false
// and leaves pixels empty and the sizes 0.
bool readPng(const char* path, std::vector<std::uint32_t>& pixels, int& width, int& height);
