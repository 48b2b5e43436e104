#pragma once
// A recorded pass as vector shapes in the picture's own coordinates (one unit a
// device pixel, y downwards), the same for every file format: filled
// rectangles, strokes one pen wide along pixel centres, and texts placed glyph
// by glyph. A document shows them at the logical size.
// Consecutive shapes of one colour form a group: drawn in any order they give
// the same picture, so a writer draws each kind of a group as one path.

#include "surface/font_engine.h"
#include "surface/recording.h"

#include <string>
#include <vector>

namespace vectors {

struct Point {
  double x, y;
  bool operator==(const Point&) const = default;
};

// A stroke one pen wide with flat ends and mitred corners along the centre line
// through the points, closed back to the first when closed is set. It covers the
// pixels its lines set: lines that continue one another form one polyline
// through their pixel centres, its ends moved half a step out over the first
// pixel and half a step back from the end pixel, which a line does not set.
struct Polyline {
  std::vector<Point> points;
  bool closed = false;
};

struct TextItem {
  std::u32string chars;   // control characters replaced by U+FFFD
  std::vector<double> xs; // the pen position of each character
  double baseline = 0;
  fonts::FaceInfo face;
  bool bold = false;
  bool italic = false;
};

struct Group {
  COLORREF colour = 0;
  std::vector<MarkRect> rects;
  std::vector<Polyline> lines;
  std::vector<TextItem> texts;
};

struct Drawing {
  int width = 0; // device pixels
  int height = 0;
  int logicalWidth = 0; // the document's size
  int logicalHeight = 0;
  double scale = 1;          // device pixels to a logical one
  double penWidth = 1;       // of every stroke, in device pixels
  std::vector<Group> groups; // bottom first
};

Drawing drawingOf(const Recording& recording);

// "#rrggbb".
std::string hexColour(COLORREF colour);
std::string toUtf8(const std::u32string& chars);

} // namespace vectors
