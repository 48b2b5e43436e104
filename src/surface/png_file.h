#pragma once
// PNG files of bitmaps: pictures for a person to look at, and for tests to compare.

#include "surface/surface.h"

#include <cstdint>
#include <vector>

// Writes an 8-bit RGB PNG. On failure returns false and leaves nothing new at
// path: the file is written under a temporary name in the same folder first.
bool writePng(HBITMAP bitmap, const char* path);

// Reads a PNG into 0x00RRGGBB pixels, top row first. On failure returns false
// and leaves pixels empty and the sizes 0.
bool readPng(const char* path, std::vector<std::uint32_t>& pixels, int& width, int& height);
