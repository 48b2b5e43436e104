#include "surface/recording.h"

#include "expr/cp1251.h"
#include "surface/line_clip.h"
#include "surface/surface_objects.h"

#include <algorithm>
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

Recording::Recording(int width, int height) {
  // No larger than a bitmap may be: a mark set of the largest canvas takes 32 MiB.
  if (width > 0 && height > 0 && std::int64_t{width} * height <= kMaxBitmapPixels) {
    width_ = width;
    height_ = height;
    stride_ = (static_cast<std::size_t>(width) + 63) / 64;
  }
}

void Recording::addFill(int x, int y, int width, int height, COLORREF colour) {
  if (width <= 0 || height <= 0) {
    return;
  }
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, width_);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + height, height_);
  if (left >= right || top >= bottom) {
    return;
  }
  ops_.push_back(RecordedOp{RecordedOp::Fill, colour & 0xFFFFFFu, static_cast<std::int32_t>(left),
                            static_cast<std::int32_t>(top), static_cast<std::int32_t>(right),
                            static_cast<std::int32_t>(bottom)});
}

void Recording::addLine(POINT from, POINT to, COLORREF pen, int rop2) {
  COLORREF colour = pen & 0xFFFFFFu;
  switch (rop2) {
  case R2_NOP:
    return;
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
  const lines::Walk walk = lines::clipWalk(from.x, from.y, to.x, to.y, width_, height_);
  if (walk.first > walk.last) {
    return; // not a pixel of it on the canvas
  }
  ops_.push_back(RecordedOp{RecordedOp::Line, colour, from.x, from.y, to.x, to.y});
}

bool Recording::addText(int x, int y, const unsigned char* bytes, std::size_t count,
                        const fonts::FontRequest& font, COLORREF colour, bool opaque,
                        COLORREF background) {
  fonts::TextRun run;
  if (!fonts::layoutText(font, bytes, count, run)) {
    return false;
  }
  const bool onCanvas = x < width_ && y < height_ && std::int64_t{x} + run.width > 0 &&
                        std::int64_t{y} + run.cellHeight > 0;
  if (count == 0 || !onCanvas) {
    return true;
  }
  texts_.push_back(RecordedText{x, y, std::string(reinterpret_cast<const char*>(bytes), count),
                                font, opaque, background & 0xFFFFFFu});
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

// A pen and a brush of the colour last asked for, created on demand.
class Tools {
public:
  explicit Tools(HDC dc) : dc_(dc) {}
  ~Tools() {
    if (pen_ != nullptr) {
      SelectObject(dc_, oldPen_);
      DeleteObject(pen_);
    }
    if (brush_ != nullptr) {
      SelectObject(dc_, oldBrush_);
      DeleteObject(brush_);
    }
  }
  Tools(const Tools&) = delete;
  Tools& operator=(const Tools&) = delete;

  void usePen(COLORREF colour) {
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

  void fill(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
            COLORREF colour) {
    if (brush_ == nullptr || brushColour_ != colour) {
      HBRUSH brush = CreateSolidBrush(colour);
      HGDIOBJ previous = SelectObject(dc_, brush);
      if (brush_ == nullptr) {
        oldBrush_ = previous;
      } else {
        DeleteObject(brush_);
      }
      brush_ = brush;
      brushColour_ = colour;
    }
    PatBlt(dc_, static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
           static_cast<int>(height), PATCOPY);
  }

private:
  HDC dc_;
  HPEN pen_ = nullptr;
  HBRUSH brush_ = nullptr;
  HGDIOBJ oldPen_ = nullptr;
  HGDIOBJ oldBrush_ = nullptr;
  COLORREF penColour_ = 0;
  COLORREF brushColour_ = 0;
};

void playText(HDC dc, const RecordedText& t, COLORREF colour) {
  const std::string face = cp1251::fromUtf8(t.font.face);
  HFONT font = CreateFontA(t.font.height, 0, 0, 0, t.font.weight, t.font.italic ? 1 : 0, 0, 0,
                           RUSSIAN_CHARSET, OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH, face.empty() ? nullptr : face.c_str());
  HGDIOBJ oldFont = SelectObject(dc, font);
  const COLORREF oldColour = SetTextColor(dc, colour);
  const COLORREF oldBackground = SetBkColor(dc, t.background);
  const int oldMode = SetBkMode(dc, t.opaque ? OPAQUE : TRANSPARENT);
  TextOutA(dc, t.x, t.y, t.bytes.data(), static_cast<int>(t.bytes.size()));
  SetBkMode(dc, oldMode);
  SetBkColor(dc, oldBackground);
  SetTextColor(dc, oldColour);
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

} // namespace

BOOL PlayRecording(const Recording& recording, HDC dc) {
  const int oldRop = SetROP2(dc, R2_COPYPEN);
  if (oldRop == 0) {
    return FALSE;
  }
  {
    Tools tools(dc);
    for (const RecordedOp& op : recording.ops()) {
      switch (op.kind) {
      case RecordedOp::Fill:
        tools.fill(op.a, op.b, std::int64_t{op.c} - op.a, std::int64_t{op.d} - op.b, op.colour);
        break;
      case RecordedOp::Line:
        tools.usePen(op.colour);
        MoveToEx(dc, op.a, op.b, nullptr);
        LineTo(dc, op.c, op.d);
        break;
      case RecordedOp::Text:
        playText(dc, recording.texts()[static_cast<std::size_t>(op.a)], op.colour);
        break;
      case RecordedOp::Marks:
        for (const MarkRect& r : recording.markRects(op)) {
          tools.fill(r.x, r.y, r.width, r.height, op.colour);
        }
        break;
      }
    }
  }
  SetROP2(dc, oldRop);
  return TRUE;
}
