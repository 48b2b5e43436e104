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
  // All in device pixels. Fill: the rectangle left a, top b, right c, bottom d
  // (right and bottom excluded), inside the canvas. Line: from (a, b) to (c, d)
  // as drawn, end pixel excluded, the pen's width at the scale. Text and Marks:
  // a indexes texts() or the mark sets.
  std::int32_t a, b, c, d;
};

struct RecordedText {
  std::int32_t x, y;       // top left of the text cell, in device pixels
  std::string bytes;       // code page 1251
  fonts::FontRequest font; // as drawn: at the scale
  bool opaque;             // the cell is filled with the background colour first
  COLORREF background;
};

// A rectangle of marked pixels.
struct MarkRect {
  std::int32_t x, y, width, height;
  bool operator==(const MarkRect&) const = default;
};

class Recording final : public PixelRunSink {
public:
  // A canvas of the logical size at the device scale (as CreateScaledBitmap
  // takes them). A canvas larger than a bitmap may be, with no pixels, or of a
  // scale out of range records nothing.
  Recording(int width, int height, double scale = 1);

  // The canvas in device pixels, and as drawing calls take it.
  int width() const { return width_; }
  int height() const { return height_; }
  int logicalWidth() const { return logicalWidth_; }
  int logicalHeight() const { return logicalHeight_; }
  double scale() const { return scale_; }
  const std::vector<RecordedOp>& ops() const { return ops_; }
  const std::vector<RecordedText>& texts() const { return texts_; }

  // The pixels of a Marks operation as rectangles: the runs of each canvas row,
  // with consecutive rows of the same runs merged into one rectangle per run.
  std::vector<MarkRect> markRects(const RecordedOp& marks) const;

  // What a recording DC does instead of setting pixels. The line's colour
  // follows the mix mode where it does not depend on the pixels below; the other
  // modes are kept as the pen's colour. addText is false when no face exists.
  // Everything in device pixels.
  void addFill(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
               COLORREF colour);
  void addLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, COLORREF pen,
               int rop2);
  bool addText(std::int64_t x, std::int64_t y, const unsigned char* bytes, std::size_t count,
               const fonts::FontRequest& font, COLORREF colour, bool opaque, COLORREF background);
  // A size x size square of marked pixels, its colour by the mix mode as a line's.
  void addSquare(std::int64_t x, std::int64_t y, int size, COLORREF pen, int rop2);
  // Consecutive runs of one colour form one Marks operation.
  void markRun(std::uint32_t pixel, int x, int top, int bottom) override;

private:
  int width_ = 0;
  int height_ = 0;
  int logicalWidth_ = 0;
  int logicalHeight_ = 0;
  double scale_ = 1;
  std::size_t stride_ = 0; // 64-bit words per row of a mark set
  std::vector<RecordedOp> ops_;
  std::vector<RecordedText> texts_;
  std::vector<std::vector<std::uint64_t>> markSets_; // one bit per canvas pixel
};

// Draws a recording into dc's device pixels, each operation with the same pixels
// as the call it was recorded from on a bitmap of the recording's scale. False
// when dc is not a live device context.
BOOL PlayRecording(const Recording& recording, HDC dc);
