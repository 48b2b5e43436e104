#pragma once
// What lumicurve-render checks before it draws: the output's format, the
// picture's size, and the files it reads and writes.

#include <string>

enum class Format { Png, Svg, Pdf, Unknown };

// From the extension, in any letter case.
Format formatOf(const std::string& path);

struct PictureSize {
  int width = 1024;
  int height = 768;
};

// "WIDTHxHEIGHT" (null: the default size); any other text, a side below 64 or
// more pixels than a bitmap holds ends the tool with a message naming the text.
PictureSize pictureSize(const char* text);

// A scale as --scale gives it (null: 1); anything else ends the tool with a
// message naming the text.
double pictureScale(const char* text);

// Ends the tool when the picture at the scale has more pixels than a bitmap
// holds, or the format cannot hold it.
void checkFormatHolds(Format format, PictureSize size, double scale, const char* scaleText,
                      const char* output);

// Ends the tool unless path names a readable regular file.
void checkReadable(const char* path);

// Ends the tool when output is settings under any name (the same file through a
// symbolic or hard link, or the same name), before anything is written.
void checkNotTheSettingsFile(const char* settings, const char* output);
