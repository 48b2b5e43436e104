// The drawing surface's lines: logical and device positions, one-pixel lines
// with the Windows rules, made as wide as the pen at the device scale, and the
// marks of implicit graphs.

#include "surface/line_clip.h"
#include "surface/recording.h"
#include "surface/surface_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace surface;

namespace {

__extension__ typedef __int128 Int128;

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

// --- the device scale ---------------------------------------------------------

// Where a logical end of a line lies in device pixels. Along the line's longer
// axis it covers the logical pixels from its start up to its end: from the first
// device pixel of a logical one going forward, from the last going back. Across
// it the pen's band is centred on the logical pixel's centre; the point is the
// band's row (or column) that the one-pixel line runs along.
std::int64_t alongAnchor(std::int64_t v, std::int64_t direction, double scale) {
  return direction >= 0 ? edge(v, scale) : edge(v + 1, scale) - 1;
}

std::int64_t acrossAnchor(std::int64_t v, double scale, int width) {
  if (scale == 1) {
    return v;
  }
  const auto band = static_cast<std::int64_t>(
      std::floor((static_cast<double>(v) + 0.5) * scale - width / 2.0 + 0.5));
  return band + (width - 1) / 2;
}

struct DevicePoint {
  std::int64_t x, y;
};

// A logical end point in device pixels, for a line whose longer axis and
// directions are given.
DevicePoint anchor(POINT p, bool xMajor, std::int64_t dx, std::int64_t dy, double scale,
                   int width) {
  return xMajor ? DevicePoint{alongAnchor(p.x, dx, scale), acrossAnchor(p.y, scale, width)}
                : DevicePoint{acrossAnchor(p.x, scale, width), alongAnchor(p.y, dy, scale)};
}

// The offsets across a line of the copies that make it width pixels wide.
int firstCopy(int width) {
  return -((width - 1) / 2);
}

void drawWideLine(Bitmap& b, const DevicePoint& from, const DevicePoint& to, int width,
                  const Mixer& mix) {
  if (width == 1) {
    drawLine(b, from.x, from.y, to.x, to.y, mix);
    return;
  }
  // Copies moved across the longer axis set distinct pixels, so a mix that depends on
  // the pixels below mixes each once.
  const bool xMajor = std::abs(to.x - from.x) >= std::abs(to.y - from.y);
  for (int o = firstCopy(width); o < firstCopy(width) + width; ++o) {
    if (xMajor) {
      drawLine(b, from.x, from.y + o, to.x, to.y + o, mix);
    } else {
      drawLine(b, from.x + o, from.y, to.x + o, to.y, mix);
    }
  }
}

// The rectangle a wide line may touch.
Rect wideLineBox(const Bitmap& b, const DevicePoint& from, const DevicePoint& to, int width) {
  const bool xMajor = std::abs(to.x - from.x) >= std::abs(to.y - from.y);
  std::int64_t left = std::min(from.x, to.x), right = std::max(from.x, to.x) + 1;
  std::int64_t top = std::min(from.y, to.y), bottom = std::max(from.y, to.y) + 1;
  const int o = firstCopy(width);
  if (xMajor) {
    top += o;
    bottom += o + width - 1;
  } else {
    left += o;
    right += o + width - 1;
  }
  return clipToBitmap(b, left, top, right - left, bottom - top);
}

// Draws from device pixel `from` to `to` in the DC's pen at its scale.
void strokeOnDevice(DeviceContext& dc, const DevicePoint& from, const DevicePoint& to) {
  const int width = ScaledPenWidth(scaleOf(dc));
  if (dc.recording != nullptr) {
    dc.recording->addLine(from.x, from.y, to.x, to.y, dc.pen->color, dc.rop2);
    return;
  }
  drawWideLine(*dc.bitmap, from, to, width, Mixer(dc.rop2, toPixel(dc.pen->color)));
  if (dc.boundsEnabled) {
    touch(dc, wideLineBox(*dc.bitmap, from, to, width));
  }
}

// The current position in device pixels, for a line towards device pixel `to`.
DevicePoint startOnDevice(const DeviceContext& dc, const DevicePoint& to, double scale) {
  if (dc.onDevice) {
    return DevicePoint{dc.devicePosition.x, dc.devicePosition.y};
  }
  const DevicePoint at{edge(dc.position.x, scale), edge(dc.position.y, scale)};
  const std::int64_t dx = to.x - at.x, dy = to.y - at.y;
  return anchor(dc.position, std::abs(dx) >= std::abs(dy), dx, dy, scale, ScaledPenWidth(scale));
}

POINT logicalOf(std::int64_t x, std::int64_t y, double scale) {
  return POINT{static_cast<LONG>(std::floor(static_cast<double>(x) / scale)),
               static_cast<LONG>(std::floor(static_cast<double>(y) / scale))};
}
} // namespace

namespace surface {

double scaleOf(const DeviceContext& dc) {
  return dc.recording != nullptr ? dc.recording->scale() : dc.bitmap->scale;
}

} // namespace surface

std::int64_t DeviceEdge(std::int64_t v, double scale) {
  return static_cast<std::int64_t>(std::floor(static_cast<double>(v) * scale + 0.5));
}

int ScaledPenWidth(double scale) {
  return scale > 1 ? std::max(1, static_cast<int>(std::floor(scale + 0.5))) : 1;
}

double GetDeviceScale(HDC hdc) {
  DeviceContext* dc = liveDc(hdc);
  return dc == nullptr ? 0 : scaleOf(*dc);
}

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
  dc->onDevice = false;
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return FALSE;
  }
  const double scale = scaleOf(*dc);
  const POINT end{x, y};
  if (scale == 1 && !dc->onDevice) {
    strokeOnDevice(*dc, DevicePoint{dc->position.x, dc->position.y}, DevicePoint{x, y});
  } else {
    const int width = ScaledPenWidth(scale);
    const std::int64_t dx = std::int64_t{x} - dc->position.x;
    const std::int64_t dy = std::int64_t{y} - dc->position.y;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const DevicePoint to = anchor(end, xMajor, dx, dy, scale, width);
    const DevicePoint from = dc->onDevice ? DevicePoint{dc->devicePosition.x, dc->devicePosition.y}
                                          : anchor(dc->position, xMajor, dx, dy, scale, width);
    strokeOnDevice(*dc, from, to);
  }
  dc->position = end;
  dc->onDevice = false;
  return TRUE;
}

BOOL MoveToDevice(HDC hdc, int x, int y) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return FALSE;
  }
  const double scale = scaleOf(*dc);
  if (scale == 1) {
    return MoveToEx(hdc, x, y, nullptr);
  }
  dc->position = logicalOf(x, y, scale);
  dc->onDevice = true;
  dc->devicePosition = POINT{x, y};
  return TRUE;
}

BOOL LineToDevice(HDC hdc, int x, int y) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr) {
    return FALSE;
  }
  const double scale = scaleOf(*dc);
  if (scale == 1) {
    return LineTo(hdc, x, y);
  }
  const DevicePoint to{x, y};
  strokeOnDevice(*dc, startOnDevice(*dc, to, scale), to);
  dc->position = logicalOf(x, y, scale);
  dc->onDevice = true;
  dc->devicePosition = POINT{x, y};
  return TRUE;
}

BOOL MarkDevicePixels(HDC hdc, int x, int y, int size) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr || size <= 0) {
    return FALSE;
  }
  if (dc->recording != nullptr) {
    dc->recording->addSquare(x, y, size, dc->pen->color, dc->rop2);
    return TRUE;
  }
  Bitmap& b = *dc->bitmap;
  const Rect r = clipToBitmap(b, x, y, size, size);
  if (r.empty()) {
    return TRUE;
  }
  touch(*dc, r);
  const Mixer mix(dc->rop2, toPixel(dc->pen->color));
  for (std::int64_t row = r.top; row < r.bottom; ++row) {
    for (std::uint32_t* p = b.row(row) + r.left; p != b.row(row) + r.right; ++p) {
      *p = mix(*p);
    }
  }
  return TRUE;
}
