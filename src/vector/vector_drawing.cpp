#include "vector/vector_drawing.h"

#include "expr/cp1251.h"
#include "surface/line_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <utility>

namespace vectors {

namespace {

// From a pixel's corner to the centre of the pen over it: a pen of an even
// width reaches one pixel further below and right of the line than above and left.
double centreOffset(int penWidth) {
  return penWidth % 2 == 0 ? 1.0 : 0.5;
}

// The pen's centre over pixel p of a line that runs from prev through p to next:
// on an axis across either of the two lines, the pen's; otherwise the pixel's.
Point centre(POINT prev, POINT p, POINT next, double offset) {
  bool acrossX = false, acrossY = false;
  for (const auto& [a, b] : {std::pair{prev, p}, std::pair{p, next}}) {
    const bool xMajor = std::abs(b.x - a.x) >= std::abs(b.y - a.y);
    (xMajor ? acrossY : acrossX) = true;
  }
  return Point{p.x + (acrossX ? offset : 0.5), p.y + (acrossY ? offset : 0.5)};
}

// The centre line of a line from a to b at step i: the longer axis moves one
// pixel a step, so half a step before the first pixel and after the last the
// flat ends meet the edges of those pixels; across it lies the pen's centre.
Point along(POINT a, POINT b, double i, double offset) {
  const double dx = static_cast<double>(b.x) - a.x;
  const double dy = static_cast<double>(b.y) - a.y;
  const double n = std::max(std::abs(dx), std::abs(dy));
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  return Point{a.x + (xMajor ? 0.5 : offset) + dx * i / n,
               a.y + (xMajor ? offset : 0.5) + dy * i / n};
}

struct PenPositions {
  std::vector<double>* xs;
  double left;
};

TextItem textItem(const RecordedText& t) {
  TextItem item;
  const auto* bytes = reinterpret_cast<const unsigned char*>(t.bytes.data());
  fonts::describeFace(t.font, item.face);
  item.baseline = static_cast<double>(t.y) + item.face.ascent;
  item.bold = t.font.weight >= 600; // as the font engine picks the face
  item.italic = t.font.italic;
  for (unsigned char byte : t.bytes) {
    // Control characters mean nothing in a document's text, and XML refuses them.
    item.chars.push_back(byte < 0x20 ? char32_t{0xFFFD} : cp1251::toUnicode(byte));
  }
  PenPositions pen{&item.xs, static_cast<double>(t.x)};
  fonts::visitGlyphs(
      t.font, bytes, t.bytes.size(),
      [](void* context, const fonts::Glyph&, std::int64_t offset) {
        auto* p = static_cast<PenPositions*>(context);
        p->xs->push_back(p->left + static_cast<double>(offset));
      },
      &pen);
  item.xs.resize(item.chars.size(), pen.left); // only when no face exists
  return item;
}

class Builder {
public:
  explicit Builder(const Recording& recording) : recording_(recording) {
    drawing_.width = recording.width();
    drawing_.height = recording.height();
    drawing_.logicalWidth = recording.logicalWidth();
    drawing_.logicalHeight = recording.logicalHeight();
    drawing_.scale = recording.scale();
    const int pen = ScaledPenWidth(recording.scale());
    drawing_.penWidth = pen;
    offset_ = centreOffset(pen);
  }

  Drawing build() {
    for (const RecordedOp& op : recording_.ops()) {
      if (op.kind == RecordedOp::Line) {
        line(op);
        continue;
      }
      endChain();
      switch (op.kind) {
      case RecordedOp::Fill:
        group(op.colour).rects.push_back(MarkRect{op.a, op.b, op.c - op.a, op.d - op.b});
        break;
      case RecordedOp::Marks: {
        const std::vector<MarkRect> rects = recording_.markRects(op);
        std::vector<MarkRect>& to = group(op.colour).rects;
        to.insert(to.end(), rects.begin(), rects.end());
        break;
      }
      case RecordedOp::Text:
        text(recording_.texts()[static_cast<std::size_t>(op.a)], op.colour);
        break;
      case RecordedOp::Line:
        break;
      }
    }
    endChain();
    return std::move(drawing_);
  }

private:
  Group& group(COLORREF colour) {
    if (drawing_.groups.empty() || drawing_.groups.back().colour != colour) {
      drawing_.groups.emplace_back();
      drawing_.groups.back().colour = colour;
    }
    return drawing_.groups.back();
  }

  void line(const RecordedOp& op) {
    const POINT a{op.a, op.b};
    const POINT b{op.c, op.d};
    const lines::Walk w = lines::clipWalk(a.x, a.y, b.x, b.y, drawing_.width, drawing_.height);
    if (w.first > w.last) {
      return;
    }
    if (w.first != 0 || w.last != w.n - 1) {
      // Partly off the canvas: only the visible part, which joins nothing.
      endChain();
      group(op.colour).lines.push_back(
          Polyline{{along(a, b, static_cast<double>(w.first) - 0.5, offset_),
                    along(a, b, static_cast<double>(w.last) + 0.5, offset_)},
                   false});
      return;
    }
    if (!chain_.empty() && chainColour_ == op.colour) {
      if (direction_ >= 0 && same(a, chain_.back())) {
        chain_.push_back(b);
        direction_ = 1;
        return;
      }
      // The tracers draw from each new sample back to the one before.
      if (direction_ <= 0 && same(b, chain_.front())) {
        chain_.insert(chain_.begin(), a);
        direction_ = -1;
        return;
      }
    }
    endChain();
    chain_ = {a, b};
    chainColour_ = op.colour;
    direction_ = 0;
  }

  // The chain's points run in drawing order, each line from one to the next.
  void endChain() {
    if (chain_.size() < 2) {
      chain_.clear();
      return;
    }
    Polyline p;
    const std::size_t k = chain_.size() - 1;
    if (k >= 3 && same(chain_.front(), chain_.back())) {
      for (std::size_t i = 0; i < k; ++i) {
        p.points.push_back(
            centre(chain_[i == 0 ? k - 1 : i - 1], chain_[i], chain_[i + 1], offset_));
      }
      p.closed = true;
    } else {
      p.points.push_back(along(chain_[0], chain_[1], -0.5, offset_));
      for (std::size_t i = 1; i < k; ++i) {
        p.points.push_back(centre(chain_[i - 1], chain_[i], chain_[i + 1], offset_));
      }
      // Half a step back from the end, along the last line seen from its start.
      p.points.push_back(along(chain_[k], chain_[k - 1], 0.5, offset_));
    }
    group(chainColour_).lines.push_back(std::move(p));
    chain_.clear();
  }

  void text(const RecordedText& t, COLORREF colour) {
    if (t.opaque) {
      fonts::TextRun run;
      fonts::layoutText(t.font, reinterpret_cast<const unsigned char*>(t.bytes.data()),
                        t.bytes.size(), run);
      Recording cell(drawing_.width, drawing_.height);
      cell.addFill(t.x, t.y, static_cast<int>(std::min<std::int64_t>(run.width, INT32_MAX)),
                   run.cellHeight, t.background);
      for (const RecordedOp& fill : cell.ops()) {
        group(fill.colour)
            .rects.push_back(MarkRect{fill.a, fill.b, fill.c - fill.a, fill.d - fill.b});
      }
    }
    group(colour).texts.push_back(textItem(t));
  }

  static bool same(POINT p, POINT q) { return p.x == q.x && p.y == q.y; }

  const Recording& recording_;
  Drawing drawing_;
  std::deque<POINT> chain_;
  COLORREF chainColour_ = 0;
  int direction_ = 0;   // 1: each line starts where the last ended; -1: ends where it began
  double offset_ = 0.5; // from a pixel's corner to the pen's centre
};

} // namespace

Drawing drawingOf(const Recording& recording) {
  return Builder(recording).build();
}

std::string hexColour(COLORREF colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(colour), GetGValue(colour),
                GetBValue(colour));
  return text;
}

std::string toUtf8(const std::u32string& chars) {
  std::string out;
  for (char32_t c : chars) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

} // namespace vectors
