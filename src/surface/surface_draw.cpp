// The drawing surface's drawing: lines, text, fills, copies and pixels.

#include "expr/cp1251.h"
#include "surface/line_clip.h"
#include "surface/recording.h"
#include "surface/surface_objects.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

using namespace surface;

namespace {

__extension__ typedef __int128 Int128;

// --- pixels -----------------------------------------------------------------

struct Rect {
  std::int64_t left, top, right, bottom; // right and bottom exclusive
  bool empty() const { return left >= right || top >= bottom; }
};

Rect clipToBitmap(const Bitmap& b, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
  return Rect{std::max<std::int64_t>(x, 0), std::max<std::int64_t>(y, 0),
              std::min<std::int64_t>(x + w, b.width), std::min<std::int64_t>(y + h, b.height)};
}

void fillRect(Bitmap& b, const Rect& r, std::uint32_t pixel) {
  for (std::int64_t y = r.top; y < r.bottom; ++y) {
    std::fill(b.row(y) + r.left, b.row(y) + r.right, pixel);
  }
}

void invertRect(Bitmap& b, const Rect& r) {
  for (std::int64_t y = r.top; y < r.bottom; ++y) {
    for (std::uint32_t* p = b.row(y) + r.left; p != b.row(y) + r.right; ++p) {
      *p = ~*p & 0xFFFFFFu;
    }
  }
}

// The pen mixed with a pixel by a ROP2 mode, from the mode's truth table.
class Mixer {
public:
  Mixer(int mode, std::uint32_t pen) : pen_(pen), copy_(mode == R2_COPYPEN) {
    const unsigned table = static_cast<unsigned>(mode - 1);
    for (int bit = 0; bit < 4; ++bit) {
      masks_[bit] = (table >> bit) & 1u ? 0xFFFFFFu : 0u;
    }
  }
  std::uint32_t operator()(std::uint32_t d) const {
    if (copy_) {
      return pen_;
    }
    const std::uint32_t p = pen_;
    return ((p & d & masks_[3]) | (p & ~d & masks_[2]) | (~p & d & masks_[1]) |
            (~p & ~d & masks_[0])) &
           0xFFFFFFu;
  }

private:
  std::uint32_t pen_;
  bool copy_;
  std::uint32_t masks_[4];
};

// Visits only the steps that land inside the bitmap; see line_clip.h for the rule.
void drawLine(Bitmap& b, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
              const Mixer& mix) {
  const lines::Walk w = lines::clipWalk(x0, y0, x1, y1, b.width, b.height);
  if (w.first > w.last) {
    return;
  }
  const Int128 start = Int128{2} * w.first * w.m + w.n;
  const std::int64_t wrap = 2 * w.n;
  const std::int64_t step = 2 * w.m;
  std::int64_t q = static_cast<std::int64_t>(start / wrap);
  std::int64_t rem = static_cast<std::int64_t>(start % wrap);
  for (std::int64_t i = w.first; i <= w.last; ++i) {
    const std::int64_t a = w.a0 + w.sa * i;
    const std::int64_t c = w.b0 + w.sb * q;
    const std::int64_t x = w.xMajor ? a : c;
    const std::int64_t y = w.xMajor ? c : a;
    if (x >= 0 && x < b.width && y >= 0 && y < b.height) {
      std::uint32_t& p = b.row(y)[x];
      p = mix(p);
    }
    rem += step;
    if (rem >= wrap) { // step <= wrap, so one carry at most
      rem -= wrap;
      ++q;
    }
  }
}

// Blends coverage of the text colour onto a pixel, per channel.
std::uint32_t blend(std::uint32_t dst, std::uint32_t src, unsigned coverage) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const unsigned s = (src >> shift) & 0xFFu;
    const unsigned d = (dst >> shift) & 0xFFu;
    out |= ((s * coverage + d * (255 - coverage) + 127) / 255) << shift;
  }
  return out;
}

// Adds a rectangle of touched pixels (already inside the bitmap) to the DC's bounds.
void touch(DeviceContext& dc, const Rect& r) {
  if (!dc.boundsEnabled || r.empty()) {
    return;
  }
  RECT& b = dc.bounds;
  const auto left = static_cast<LONG>(r.left), top = static_cast<LONG>(r.top);
  const auto right = static_cast<LONG>(r.right), bottom = static_cast<LONG>(r.bottom);
  if (b.right <= b.left) {
    b = RECT{left, top, right, bottom};
    return;
  }
  b = RECT{std::min(b.left, left), std::min(b.top, top), std::max(b.right, right),
           std::max(b.bottom, bottom)};
}

bool validText(const char* bytes, int count) {
  return count >= 0 && (count == 0 || bytes);
}

} // namespace

// --- drawing ----------------------------------------------------------------

BOOL MoveToEx(HDC hdc, int x, int y, POINT* old) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return FALSE;
  }
  if (old != nullptr) {
    *old = dc->position;
  }
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return FALSE;
  }
  if (dc->recording != nullptr) {
    dc->recording->addLine(dc->position, POINT{x, y}, dc->pen->color, dc->rop2);
  } else {
    drawLine(*dc->bitmap, dc->position.x, dc->position.y, x, y,
             Mixer(dc->rop2, toPixel(dc->pen->color)));
    if (dc->boundsEnabled) {
      const std::int64_t x0 = dc->position.x, y0 = dc->position.y;
      touch(*dc,
            clipToBitmap(*dc->bitmap, std::min<std::int64_t>(x0, x), std::min<std::int64_t>(y0, y),
                         std::abs(x - x0) + 1, std::abs(y - y0) + 1));
    }
  }
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL TextOutA(HDC hdc, int x, int y, const char* bytes, int count) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr || !validText(bytes, count)) {
    return FALSE;
  }
  const auto* text = reinterpret_cast<const unsigned char*>(bytes);
  const auto length = static_cast<std::size_t>(count);
  if (dc->recording != nullptr) {
    return dc->recording->addText(x, y, text, length, dc->font->request, dc->textColor,
                                  dc->bkMode == OPAQUE, dc->bkColor)
               ? TRUE
               : FALSE;
  }
  Bitmap& b = *dc->bitmap;
  fonts::TextRun run;
  if (!fonts::layoutText(dc->font->request, text, length, run)) {
    return FALSE;
  }
  // Everything stays inside the text cell, so the extent is all the text touches.
  struct Ink {
    Bitmap& bitmap;
    Rect cell;
    std::uint32_t colour;
    std::int64_t left, baseline;
  } ink{b, clipToBitmap(b, x, y, run.width, run.cellHeight), toPixel(dc->textColor), x,
        static_cast<std::int64_t>(y) + run.ascent};
  if (ink.cell.empty()) {
    return TRUE;
  }
  touch(*dc, ink.cell);
  if (dc->bkMode == OPAQUE) {
    fillRect(b, ink.cell, toPixel(dc->bkColor));
  }
  auto draw = [](void* context, const fonts::Glyph& g, std::int64_t offset) {
    const Ink& k = *static_cast<const Ink*>(context);
    const std::int64_t gx = k.left + offset + g.left;
    const std::int64_t gy = k.baseline - g.top;
    const std::int64_t c0 = std::max(k.cell.left, gx);
    const std::int64_t c1 = std::min(k.cell.right, gx + g.width);
    const std::int64_t r0 = std::max(k.cell.top, gy);
    const std::int64_t r1 = std::min(k.cell.bottom, gy + g.rows);
    for (std::int64_t py = r0; py < r1; ++py) {
      const std::uint8_t* coverage =
          g.coverage.data() + static_cast<std::size_t>(py - gy) * static_cast<std::size_t>(g.width);
      std::uint32_t* row = k.bitmap.row(py);
      for (std::int64_t px = c0; px < c1; ++px) {
        const unsigned cov = coverage[px - gx];
        if (cov != 0) {
          row[px] = blend(row[px], k.colour, cov);
        }
      }
    }
  };
  fonts::visitGlyphs(dc->font->request, text, length, draw, &ink);
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* bytes, int count, SIZE* size) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr || size == nullptr || !validText(bytes, count)) {
    return FALSE;
  }
  fonts::TextRun run;
  const bool ok =
      fonts::layoutText(dc->font->request, reinterpret_cast<const unsigned char*>(bytes),
                        static_cast<std::size_t>(count), run);
  size->cx = static_cast<std::int32_t>(std::min<std::int64_t>(run.width, INT32_MAX));
  size->cy = run.cellHeight;
  return ok ? TRUE : FALSE;
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr ||
      (rop != WHITENESS && rop != BLACKNESS && rop != PATCOPY && rop != DSTINVERT)) {
    return FALSE;
  }
  const std::uint32_t pixel = rop == WHITENESS   ? 0xFFFFFFu
                              : rop == BLACKNESS ? 0u
                                                 : toPixel(dc->brush->color);
  if (dc->recording != nullptr) {
    if (rop == DSTINVERT) {
      return FALSE; // a recording has no pixels to invert
    }
    dc->recording->addFill(x, y, width, height, toColorRef(pixel));
    return TRUE;
  }
  Bitmap& b = *dc->bitmap;
  if (width <= 0 || height <= 0 || b.empty()) {
    return TRUE;
  }
  const Rect r = clipToBitmap(b, x, y, width, height);
  if (r.empty()) {
    return TRUE;
  }
  touch(*dc, r);
  if (rop == DSTINVERT) {
    invertRect(b, r);
  } else {
    fillRect(b, r, pixel);
  }
  return TRUE;
}

BOOL BitBlt(HDC hdst, int x, int y, int width, int height, HDC hsrc, int sx, int sy, DWORD rop) {
  if (rop != SRCCOPY) {
    // The rops that ignore the source.
    return liveDc(hdst) != nullptr ? PatBlt(hdst, x, y, width, height, rop) : FALSE;
  }
  DeviceContext* dst = liveDc(hdst);
  DeviceContext* src = liveDc(hsrc);
  if (dst == nullptr || src == nullptr) {
    return FALSE;
  }
  Bitmap& to = *dst->bitmap;
  Bitmap& from = *src->bitmap;
  if (width <= 0 || height <= 0 || to.empty() || from.empty()) {
    return TRUE;
  }
  // Offsets k into the rectangle with both ends inside their bitmaps.
  const std::int64_t kx0 = std::max<std::int64_t>({0, -std::int64_t{x}, -std::int64_t{sx}});
  const std::int64_t kx1 =
      std::min<std::int64_t>({width, std::int64_t{to.width} - x, std::int64_t{from.width} - sx});
  const std::int64_t ky0 = std::max<std::int64_t>({0, -std::int64_t{y}, -std::int64_t{sy}});
  const std::int64_t ky1 =
      std::min<std::int64_t>({height, std::int64_t{to.height} - y, std::int64_t{from.height} - sy});
  if (kx0 >= kx1 || ky0 >= ky1) {
    return TRUE;
  }
  touch(*dst, Rect{x + kx0, y + ky0, x + kx1, y + ky1});
  const std::size_t bytes = static_cast<std::size_t>(kx1 - kx0) * sizeof(std::uint32_t);
  // Within one bitmap, copy rows in the order that reads each before it is overwritten.
  const bool upward = &to == &from && y > sy;
  for (std::int64_t n = 0; n < ky1 - ky0; ++n) {
    const std::int64_t k = upward ? ky1 - 1 - n : ky0 + n;
    std::memmove(to.row(y + k) + (x + kx0), from.row(sy + k) + (sx + kx0), bytes);
  }
  return TRUE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return CLR_INVALID;
  }
  Bitmap& b = *dc->bitmap;
  if (x < 0 || y < 0 || x >= b.width || y >= b.height) {
    return CLR_INVALID;
  }
  return toColorRef(b.row(y)[x]);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return CLR_INVALID;
  }
  Bitmap& b = *dc->bitmap;
  if (x < 0 || y < 0 || x >= b.width || y >= b.height) {
    return CLR_INVALID;
  }
  b.row(y)[x] = toPixel(color);
  touch(*dc, Rect{x, y, std::int64_t{x} + 1, std::int64_t{y} + 1});
  return color & 0xFFFFFFu;
}

UINT SetBoundsRect(HDC hdc, const RECT*, UINT flags) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return 0;
  }
  const UINT previous = dc->boundsEnabled ? DCB_ENABLE : DCB_DISABLE;
  if ((flags & DCB_RESET) != 0) {
    dc->bounds = RECT{0, 0, 0, 0};
  }
  if ((flags & DCB_ENABLE) != 0) {
    dc->boundsEnabled = true;
  } else if ((flags & DCB_DISABLE) != 0) {
    dc->boundsEnabled = false;
  }
  return previous;
}

UINT GetBoundsRect(HDC hdc, RECT* rect, UINT flags) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return 0;
  }
  const bool set = dc->bounds.right > dc->bounds.left;
  if (rect != nullptr) {
    *rect = set ? dc->bounds : RECT{0, 0, 0, 0};
  }
  if ((flags & DCB_RESET) != 0) {
    dc->bounds = RECT{0, 0, 0, 0};
  }
  return set ? DCB_SET : DCB_RESET;
}

// --- extras -----------------------------------------------------------------

const std::uint32_t* BitmapBits(HBITMAP bitmap, int* width, int* height) {
  Bitmap* b = liveBitmap(bitmap);
  const bool usable = b != nullptr && !b->empty();
  if (width != nullptr) {
    *width = usable ? b->width : 0;
  }
  if (height != nullptr) {
    *height = usable ? b->height : 0;
  }
  return usable ? b->pixels.data() : nullptr;
}

HBITMAP GetSelectedBitmap(HDC hdc) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr || dc->bitmap == &stock().none) {
    return nullptr;
  }
  return static_cast<HBITMAP>(dc->bitmap->handle);
}

BOOL GetPixelTarget(HDC hdc, PixelTarget* target) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr || target == nullptr) {
    return FALSE;
  }
  Bitmap& b = *dc->bitmap;
  target->pixels = b.empty() ? nullptr : b.pixels.data();
  target->width = b.empty() ? 0 : b.width;
  target->height = b.empty() ? 0 : b.height;
  target->rop2 = dc->rop2;
  target->penPixel = toPixel(dc->pen->color);
  target->runs = dc->recording;
  if (dc->recording != nullptr) {
    target->width = dc->recording->width();
    target->height = dc->recording->height();
  }
  return TRUE;
}
