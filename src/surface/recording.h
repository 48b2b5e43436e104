#pragma once
// What a drawing pass draws, kept as drawing operations instead of pixels: the
// recording behind a recording device context (CreateRecordingDC). Fills, lines,
// texts and the pixels a tracer marks itself are kept in the order they were
// drawn, each with its colour, and only when some of it lands on the canvas.
// Writers of vector files read it; PlayRecording draws it back into pixels.

#include "surface/font_engine.h"
#include "surface/surface.h"

#include <cstdint>
#include <string>
#include <vector>

struct RecordedOp {
  enum Kind : std::uint8_t { Fill, Line, Text, Marks };
  Kind kind;
  COLORREF colour;
  // Fill: the rectangle left a, top b, right c, bottom d (right and bottom
  // excluded), inside the canvas. Line: from (a, b) to (c, d) as drawn, end
  // pixel excluded. Text and Marks: a indexes texts() or the mark sets.
  std::int32_t a, b, c, d;
};

struct RecordedText {
  std::int32_t x, y; // top left of the text cell
  std::string bytes; // code page 1251
  fonts::FontRequest font;
  bool opaque; // the cell is filled with the background colour first
  COLORREF background;
};

// A rectangle of marked pixels.
struct MarkRect {
  std::int32_t x, y, width, height;
  bool operator==(const MarkRect&) const = default;
};

class Recording final : public PixelRunSink {
public:
  // A canvas larger than a bitmap may be, or with no pixels, records nothing.
  Recording(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<RecordedOp>& ops() const { return ops_; }
  const std::vector<RecordedText>& texts() const { return texts_; }

  // The pixels of a Marks operation as rectangles: the runs of each canvas row,
  // with consecutive rows of the same runs merged into one rectangle per run.
  std::vector<MarkRect> markRects(const RecordedOp& marks) const;

  // What a recording DC does instead of setting pixels. The line's colour
  // follows the mix mode where it does not depend on the pixels below; the other
  // modes are kept as the pen's colour. addText is false when no face exists.
  void addFill(int x, int y, int width, int height, COLORREF colour);
  void addLine(POINT from, POINT to, COLORREF pen, int rop2);
  bool addText(int x, int y, const unsigned char* bytes, std::size_t count,
               const fonts::FontRequest& font, COLORREF colour, bool opaque, COLORREF background);
  // Consecutive runs of one colour form one Marks operation.
  void markRun(std::uint32_t pixel, int x, int top, int bottom) override;

private:
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0; // 64-bit words per row of a mark set
  std::vector<RecordedOp> ops_;
  std::vector<RecordedText> texts_;
  std::vector<std::vector<std::uint64_t>> markSets_; // one bit per canvas pixel
};

// Draws a recording into dc, each operation with the same pixels as the call it
// was recorded from. False when dc is not a live device context.
BOOL PlayRecording(const Recording& recording, HDC dc);
