#include "surface/recording.h"

#include "expr/cp1251.h"
#include "surface/line_clip.h"
#include "surface/surface_objects.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

using Span = std::pair<std::int32_t, std::int32_t>; // first column, one past the last

void rowSpans(const std::uint64_t* row, std::size_t words, std::vector<Span>& spans) {
  spans.clear();
  bool inRun = false;
  std::int32_t start = 0;
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t word = row[w];
    if (word == (inRun ? ~std::uint64_t{0} : 0)) {
      continue;
    }
    for (int bit = 0; bit < 64; ++bit) {
      const bool set = (word >> bit) & 1u;
      if (set != inRun) {
        const auto x = static_cast<std::int32_t>(w * 64 + static_cast<std::size_t>(bit));
        if (set) {
          start = x;
        } else {
          spans.emplace_back(start, x);
        }
        inRun = set;
      }
    }
  }
  if (inRun) {
    spans.emplace_back(start, static_cast<std::int32_t>(words * 64));
  }
}

} // namespace

Recording::Recording(int width, int height, double scale) {
  if (!(scale >= 1 && scale <= kMaxDeviceScale) || width <= 0 || height <= 0) {
    return;
  }
  const std::int64_t w = DeviceEdge(width, scale);
  const std::int64_t h = DeviceEdge(height, scale);
  // No larger than a bitmap may be: a mark set of the largest canvas takes 32 MiB.
  if (w * h <= kMaxBitmapPixels) {
    width_ = static_cast<int>(w);
    height_ = static_cast<int>(h);
    logicalWidth_ = width;
    logicalHeight_ = height;
    scale_ = scale;
    stride_ = (static_cast<std::size_t>(w) + 63) / 64;
  }
}

void Recording::addFill(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                        COLORREF colour) {
  if (width <= 0 || height <= 0) {
    return;
  }
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min<std::int64_t>(x + width, width_);
  const std::int64_t bottom = std::min<std::int64_t>(y + height, height_);
  if (left >= right || top >= bottom) {
    return;
  }
  ops_.push_back(RecordedOp{RecordedOp::Fill, colour & 0xFFFFFFu, static_cast<std::int32_t>(left),
                            static_cast<std::int32_t>(top), static_cast<std::int32_t>(right),
                            static_cast<std::int32_t>(bottom)});
}

namespace {

// The colour a line or mark of the pen leaves, where the mix mode decides it
// without the pixels below; the pen's own for the other modes. false for none.
bool mixedColour(COLORREF pen, int rop2, COLORREF& colour) {
  colour = pen & 0xFFFFFFu;
  switch (rop2) {
  case R2_NOP:
    return false;
  case R2_BLACK:
    colour = RGB(0, 0, 0);
    break;
  case R2_WHITE:
    colour = RGB(255, 255, 255);
    break;
  case R2_NOTCOPYPEN:
    colour = ~pen & 0xFFFFFFu;
    break;
  default:
    break;
  }
  return true;
}

} // namespace

void Recording::addLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                        COLORREF pen, int rop2) {
  COLORREF colour = 0;
  if (!mixedColour(pen, rop2, colour)) {
    return;
  }
  // A wide line is copies of the one-pixel line moved across its longer axis.
  const int width = ScaledPenWidth(scale_);
  const bool xMajor = std::abs(x1 - x0) >= std::abs(y1 - y0);
  bool visible = false;
  for (int o = -((width - 1) / 2); o < width - (width - 1) / 2 && !visible; ++o) {
    const lines::Walk walk = xMajor ? lines::clipWalk(x0, y0 + o, x1, y1 + o, width_, height_)
                                    : lines::clipWalk(x0 + o, y0, x1 + o, y1, width_, height_);
    visible = walk.first <= walk.last;
  }
  // Lines reach the recording in the range of a drawing call's coordinates at the scale.
  constexpr std::int64_t kLimit = INT32_MAX;
  if (!visible || std::max({std::abs(x0), std::abs(y0), std::abs(x1), std::abs(y1)}) > kLimit) {
    return; // not a pixel of it on the canvas
  }
  ops_.push_back(RecordedOp{RecordedOp::Line, colour, static_cast<std::int32_t>(x0),
                            static_cast<std::int32_t>(y0), static_cast<std::int32_t>(x1),
                            static_cast<std::int32_t>(y1)});
}

void Recording::addSquare(std::int64_t x, std::int64_t y, int size, COLORREF pen, int rop2) {
  COLORREF colour = 0;
  if (size <= 0 || !mixedColour(pen, rop2, colour) || y + size <= 0 || y >= height_) {
    return;
  }
  const auto top = static_cast<int>(std::max<std::int64_t>(y, 0));
  const auto bottom = static_cast<int>(std::min<std::int64_t>(y + size, height_) - 1);
  for (std::int64_t column = std::max<std::int64_t>(x, 0);
       column < std::min<std::int64_t>(x + size, width_); ++column) {
    markRun(surface::toPixel(colour), static_cast<int>(column), top, bottom);
  }
}

bool Recording::addText(std::int64_t x, std::int64_t y, const unsigned char* bytes,
                        std::size_t count, const fonts::FontRequest& font, COLORREF colour,
                        bool opaque, COLORREF background) {
  fonts::TextRun run;
  if (!fonts::layoutText(font, bytes, count, run)) {
    return false;
  }
  const bool onCanvas = x < width_ && y < height_ && x + run.width > 0 && y + run.cellHeight > 0 &&
                        x >= INT32_MIN && y >= INT32_MIN;
  if (count == 0 || !onCanvas) {
    return true;
  }
  texts_.push_back(RecordedText{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                                std::string(reinterpret_cast<const char*>(bytes), count), font,
                                opaque, background & 0xFFFFFFu});
  ops_.push_back(RecordedOp{RecordedOp::Text, colour & 0xFFFFFFu,
                            static_cast<std::int32_t>(texts_.size() - 1), 0, 0, 0});
  return true;
}

void Recording::markRun(std::uint32_t pixel, int x, int top, int bottom) {
  if (x < 0 || x >= width_) {
    return;
  }
  if (top > bottom) {
    std::swap(top, bottom);
  }
  top = std::max(top, 0);
  bottom = std::min(bottom, height_ - 1);
  if (top > bottom) {
    return;
  }
  const COLORREF colour = surface::toColorRef(pixel & 0xFFFFFFu);
  if (ops_.empty() || ops_.back().kind != RecordedOp::Marks || ops_.back().colour != colour) {
    markSets_.emplace_back(stride_ * static_cast<std::size_t>(height_), 0);
    ops_.push_back(RecordedOp{RecordedOp::Marks, colour,
                              static_cast<std::int32_t>(markSets_.size() - 1), 0, 0, 0});
  }
  std::vector<std::uint64_t>& set = markSets_[static_cast<std::size_t>(ops_.back().a)];
  const std::size_t word = static_cast<std::size_t>(x) / 64;
  const std::uint64_t bit = std::uint64_t{1} << (static_cast<unsigned>(x) % 64);
  for (int row = top; row <= bottom; ++row) {
    set[static_cast<std::size_t>(row) * stride_ + word] |= bit;
  }
}

std::vector<MarkRect> Recording::markRects(const RecordedOp& marks) const {
  std::vector<MarkRect> rects;
  if (marks.kind != RecordedOp::Marks || marks.a < 0 ||
      static_cast<std::size_t>(marks.a) >= markSets_.size()) {
    return rects;
  }
  const std::vector<std::uint64_t>& set = markSets_[static_cast<std::size_t>(marks.a)];
  std::vector<Span> open, spans; // open: the runs of the rows since openTop
  std::int32_t openTop = 0;
  for (std::int32_t y = 0; y <= height_; ++y) {
    if (y < height_) {
      rowSpans(set.data() + static_cast<std::size_t>(y) * stride_, stride_, spans);
    } else {
      spans.clear();
    }
    if (spans == open) {
      continue;
    }
    for (const Span& s : open) {
      rects.push_back(MarkRect{s.first, openTop, s.second - s.first, y - openTop});
    }
    std::swap(open, spans);
    openTop = y;
  }
  return rects;
}

// --- playing back -------------------------------------------------------------

namespace {

// A pen of the colour last asked for, created on demand.
class Pens {
public:
  explicit Pens(HDC dc) : dc_(dc) {}
  ~Pens() {
    if (pen_ != nullptr) {
      SelectObject(dc_, oldPen_);
      DeleteObject(pen_);
    }
  }
  Pens(const Pens&) = delete;
  Pens& operator=(const Pens&) = delete;

  void use(COLORREF colour) {
    if (pen_ != nullptr && penColour_ == colour) {
      return;
    }
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ previous = SelectObject(dc_, pen);
    if (pen_ == nullptr) {
      oldPen_ = previous;
    } else {
      DeleteObject(pen_);
    }
    pen_ = pen;
    penColour_ = colour;
  }

private:
  HDC dc_;
  HPEN pen_ = nullptr;
  HGDIOBJ oldPen_ = nullptr;
  COLORREF penColour_ = 0;
};

void playText(DeviceContext& dc, const RecordedText& t, COLORREF colour) {
  const COLORREF oldColour = std::exchange(dc.textColor, colour);
  const COLORREF oldBackground = std::exchange(dc.bkColor, t.background);
  const int oldMode = std::exchange(dc.bkMode, t.opaque ? OPAQUE : TRANSPARENT);
  surface::drawTextOnDevice(dc, t.x, t.y, reinterpret_cast<const unsigned char*>(t.bytes.data()),
                            t.bytes.size(), t.font);
  dc.bkMode = oldMode;
  dc.bkColor = oldBackground;
  dc.textColor = oldColour;
}

} // namespace

BOOL PlayRecording(const Recording& recording, HDC hdc) {
  DeviceContext* dc = surface::liveDc(hdc);
  if (dc == nullptr) {
    return FALSE;
  }
  const int oldRop = SetROP2(hdc, R2_COPYPEN);
  {
    Pens pens(hdc);
    for (const RecordedOp& op : recording.ops()) {
      switch (op.kind) {
      case RecordedOp::Fill:
        surface::fillOnDevice(*dc, op.a, op.b, std::int64_t{op.c} - op.a, std::int64_t{op.d} - op.b,
                              surface::toPixel(op.colour));
        break;
      case RecordedOp::Line:
        pens.use(op.colour);
        MoveToDevice(hdc, op.a, op.b);
        LineToDevice(hdc, op.c, op.d);
        break;
      case RecordedOp::Text:
        playText(*dc, recording.texts()[static_cast<std::size_t>(op.a)], op.colour);
        break;
      case RecordedOp::Marks:
        for (const MarkRect& r : recording.markRects(op)) {
          surface::fillOnDevice(*dc, r.x, r.y, r.width, r.height, surface::toPixel(op.colour));
        }
        break;
      }
    }
  }
  SetROP2(hdc, oldRop);
  return TRUE;
}
