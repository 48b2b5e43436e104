// The drawing surface's text, fills, copies and pixels, at the device scale of
// the DC's bitmap, and what it tells of a DC.

#include "surface/recording.h"
#include "surface/surface_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace surface;

namespace {

void invertRect(Bitmap& b, const Rect& r) {
  for (std::int64_t y = r.top; y < r.bottom; ++y) {
    for (std::uint32_t* p = b.row(y) + r.left; p != b.row(y) + r.right; ++p) {
      *p = ~*p & 0xFFFFFFu;
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
bool validText(const char* bytes, int count) {
  return count >= 0 && (count == 0 || bytes);
}
} // namespace

namespace surface {

fonts::FontRequest scaledFont(const fonts::FontRequest& font, double scale) {
  fonts::FontRequest scaled = font;
  if (scale != 1) {
    const int height = font.height == 0 ? 16 : font.height;
    const auto magnitude = std::max<long>(1, std::lround(std::abs(height) * scale));
    scaled.height =
        static_cast<int>(std::min<long>(magnitude, INT32_MAX / 2)) * (height < 0 ? -1 : 1);
  }
  return scaled;
}
void fillOnDevice(DeviceContext& dc, std::int64_t x, std::int64_t y, std::int64_t width,
                  std::int64_t height, std::uint32_t pixel) {
  Bitmap& b = *dc.bitmap;
  if (width <= 0 || height <= 0 || b.empty()) {
    return;
  }
  const Rect r = clipToBitmap(b, x, y, width, height);
  if (!r.empty()) {
    touch(dc, r);
    fillRect(b, r, pixel);
  }
}
bool drawTextOnDevice(DeviceContext& dc, std::int64_t x, std::int64_t y, const unsigned char* text,
                      std::size_t length, const fonts::FontRequest& font) {
  Bitmap& b = *dc.bitmap;
  fonts::TextRun run;
  if (!fonts::layoutText(font, text, length, run)) {
    return false;
  }
  // Everything stays inside the text cell, so the extent is all the text touches.
  struct Ink {
    Bitmap& bitmap;
    Rect cell;
    std::uint32_t colour;
    std::int64_t left, baseline;
  } ink{b, clipToBitmap(b, x, y, run.width, run.cellHeight), toPixel(dc.textColor), x,
        y + run.ascent};
  if (ink.cell.empty()) {
    return true;
  }
  touch(dc, ink.cell);
  if (dc.bkMode == OPAQUE) {
    fillRect(b, ink.cell, toPixel(dc.bkColor));
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
  fonts::visitGlyphs(font, text, length, draw, &ink);
  return true;
}
} // namespace surface

BOOL TextOutA(HDC hdc, int x, int y, const char* bytes, int count) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr || !validText(bytes, count)) {
    return FALSE;
  }
  const auto* text = reinterpret_cast<const unsigned char*>(bytes);
  const auto length = static_cast<std::size_t>(count);
  const double scale = scaleOf(*dc);
  const std::int64_t left = edge(x, scale), top = edge(y, scale);
  const fonts::FontRequest font = scaledFont(dc->font->request, scale);
  if (dc->recording != nullptr) {
    return dc->recording->addText(left, top, text, length, font, dc->textColor,
                                  dc->bkMode == OPAQUE, dc->bkColor)
               ? TRUE
               : FALSE;
  }
  return drawTextOnDevice(*dc, left, top, text, length, font) ? TRUE : FALSE;
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
  const double scale = scaleOf(*dc);
  const std::int64_t left = edge(x, scale), top = edge(y, scale);
  const std::int64_t right = edge(std::int64_t{x} + width, scale);
  const std::int64_t bottom = edge(std::int64_t{y} + height, scale);
  if (dc->recording != nullptr) {
    if (rop == DSTINVERT) {
      return FALSE; // a recording has no pixels to invert
    }
    if (width > 0 && height > 0) {
      dc->recording->addFill(left, top, right - left, bottom - top, toColorRef(pixel));
    }
    return TRUE;
  }
  Bitmap& b = *dc->bitmap;
  if (width <= 0 || height <= 0 || b.empty()) {
    return TRUE;
  }
  const Rect r = clipToBitmap(b, left, top, right - left, bottom - top);
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

namespace {

// A copy between bitmaps of one scale: device pixels one to one.
void copyPixels(DeviceContext& dst, std::int64_t x, std::int64_t y, std::int64_t width,
                std::int64_t height, Bitmap& from, std::int64_t sx, std::int64_t sy) {
  Bitmap& to = *dst.bitmap;
  // Offsets k into the rectangle with both ends inside their bitmaps.
  const std::int64_t kx0 = std::max<std::int64_t>({0, -x, -sx});
  const std::int64_t kx1 = std::min<std::int64_t>({width, to.width - x, from.width - sx});
  const std::int64_t ky0 = std::max<std::int64_t>({0, -y, -sy});
  const std::int64_t ky1 = std::min<std::int64_t>({height, to.height - y, from.height - sy});
  if (kx0 >= kx1 || ky0 >= ky1) {
    return;
  }
  touch(dst, Rect{x + kx0, y + ky0, x + kx1, y + ky1});
  const std::size_t bytes = static_cast<std::size_t>(kx1 - kx0) * sizeof(std::uint32_t);
  // Within one bitmap, copy rows in the order that reads each before it is overwritten.
  const bool upward = &to == &from && y > sy;
  for (std::int64_t n = 0; n < ky1 - ky0; ++n) {
    const std::int64_t k = upward ? ky1 - 1 - n : ky0 + n;
    std::memmove(to.row(y + k) + (x + kx0), from.row(sy + k) + (sx + kx0), bytes);
  }
}

// A copy between bitmaps of two scales (a window moved to another screen): each
// destination pixel takes the source pixel under its centre.
void resamplePixels(DeviceContext& dst, int x, int y, int width, int height, const Bitmap& from,
                    int sx, int sy) {
  Bitmap& to = *dst.bitmap;
  const double ds = to.scale, ss = from.scale;
  const Rect r =
      clipToBitmap(to, edge(x, ds), edge(y, ds), edge(std::int64_t{x} + width, ds) - edge(x, ds),
                   edge(std::int64_t{y} + height, ds) - edge(y, ds));
  bool any = false;
  for (std::int64_t row = r.top; row < r.bottom; ++row) {
    const double v = (static_cast<double>(row) + 0.5) / ds - y + sy;
    const auto fy = static_cast<std::int64_t>(std::floor(v * ss));
    if (fy < 0 || fy >= from.height || v < sy || v >= std::int64_t{sy} + height) {
      continue;
    }
    for (std::int64_t col = r.left; col < r.right; ++col) {
      const double u = (static_cast<double>(col) + 0.5) / ds - x + sx;
      const auto fx = static_cast<std::int64_t>(std::floor(u * ss));
      if (fx >= 0 && fx < from.width && u >= sx && u < std::int64_t{sx} + width) {
        to.row(row)[col] =
            from.pixels[static_cast<std::size_t>(fy) * static_cast<std::size_t>(from.width) +
                        static_cast<std::size_t>(fx)];
        any = true;
      }
    }
  }
  if (any) {
    touch(dst, r);
  }
}

} // namespace

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
  const double scale = to.scale;
  if (from.scale != scale) {
    resamplePixels(*dst, x, y, width, height, from, sx, sy);
    return TRUE;
  }
  const std::int64_t left = edge(x, scale), top = edge(y, scale);
  copyPixels(*dst, left, top, edge(std::int64_t{x} + width, scale) - left,
             edge(std::int64_t{y} + height, scale) - top, from, edge(sx, scale), edge(sy, scale));
  return TRUE;
}

namespace {

// The first device pixel of logical pixel (x, y) in the DC's bitmap; false when
// there is no DC or that pixel lies outside the bitmap.
bool firstDevicePixel(HDC hdc, int x, int y, DeviceContext*& dc, std::int64_t& dx,
                      std::int64_t& dy) {
  dc = liveDc(hdc);
  if (dc == nullptr) {
    return false;
  }
  const Bitmap& b = *dc->bitmap;
  dx = edge(x, b.scale);
  dy = edge(y, b.scale);
  return dx >= 0 && dy >= 0 && dx < b.width && dy < b.height;
}

} // namespace

// The pixels are those of the first device pixel of a logical one.
COLORREF GetPixel(HDC hdc, int x, int y) {
  DeviceContext* dc = nullptr;
  std::int64_t dx = 0, dy = 0;
  if (!firstDevicePixel(hdc, x, y, dc, dx, dy)) {
    return CLR_INVALID;
  }
  return toColorRef(dc->bitmap->row(dy)[dx]);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  DeviceContext* dc = nullptr;
  std::int64_t dx = 0, dy = 0;
  if (!firstDevicePixel(hdc, x, y, dc, dx, dy)) {
    return CLR_INVALID;
  }
  Bitmap& b = *dc->bitmap;
  const Rect r = clipToBitmap(b, dx, dy, edge(std::int64_t{x} + 1, b.scale) - dx,
                              edge(std::int64_t{y} + 1, b.scale) - dy);
  fillRect(b, r, toPixel(color));
  touch(*dc, r);
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

double GetBitmapScale(HBITMAP bitmap) {
  Bitmap* b = liveBitmap(bitmap);
  return b != nullptr ? b->scale : 0;
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
  target->scale = scaleOf(*dc);
  target->penWidth = ScaledPenWidth(target->scale);
  if (dc->recording != nullptr) {
    target->width = dc->recording->width();
    target->height = dc->recording->height();
  }
  return TRUE;
}
