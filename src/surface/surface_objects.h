#pragma once
// The objects behind the drawing surface's handles. Only the surface's own files
// include this.

#include "surface/font_engine.h"
#include "surface/surface.h"

#include <cstdint>
#include <vector>

class Recording;

namespace surface {

// What every object keeps of itself: the handle it was given.
struct Object {
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  void* handle = nullptr;
};

struct Pen final : Object {
  COLORREF color = 0;
};

struct Brush final : Object {
  COLORREF color = 0;
};

struct Font final : Object {
  fonts::FontRequest request;
};

struct Bitmap final : Object {
  int width = 0; // device pixels
  int height = 0;
  double scale = 1;                  // device pixels to a logical one
  std::vector<std::uint32_t> pixels; // 0x00RRGGBB, row-major, top row first

  bool empty() const { return pixels.empty(); }
  std::uint32_t* row(std::int64_t y) {
    return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
  }
};

inline std::uint32_t toPixel(COLORREF c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF toColorRef(std::uint32_t p) {
  return toPixel(p);
}

} // namespace surface

struct DeviceContext {
  // Never null: a DC without a bitmap of its own holds the empty stock bitmap.
  surface::Bitmap* bitmap = nullptr;
  surface::Pen* pen = nullptr;
  surface::Brush* brush = nullptr;
  surface::Font* font = nullptr;
  POINT position{0, 0}; // logical; for a device position, the logical pixel it lies in
  // Set by MoveToDevice and LineToDevice: the position is the device pixel here.
  bool onDevice = false;
  POINT devicePosition{0, 0};
  int rop2 = R2_COPYPEN;
  int bkMode = OPAQUE;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  Recording* recording = nullptr; // set for a recording DC, which draws no pixels
  bool boundsEnabled = false;
  RECT bounds{0, 0, 0, 0}; // empty while right <= left
};

namespace surface {

struct Stock {
  Brush white, ltgray, gray, dkgray, black;
  Pen whitePen, blackPen;
  Font system, gui;
  Bitmap none;
};

// Never destroyed: objects may be deleted by static objects after main.
Stock& stock();

// The object behind a handle, or null for a handle that is not a live one of the kind.
DeviceContext* liveDc(HDC dc);
Bitmap* liveBitmap(HBITMAP bitmap);

// The device scale a DC draws at: its recording's or its bitmap's.
double scaleOf(const DeviceContext& dc);

// Text in device pixels: the font as requested, top left of the cell at device
// pixel (x, y); what TextOutA draws once it has scaled both.
bool drawTextOnDevice(DeviceContext& dc, std::int64_t x, std::int64_t y, const unsigned char* text,
                      std::size_t count, const fonts::FontRequest& font);
// A rectangle of device pixels filled with one pixel value, clipped.
void fillOnDevice(DeviceContext& dc, std::int64_t x, std::int64_t y, std::int64_t width,
                  std::int64_t height, std::uint32_t pixel);
// The font request at the scale: the height scaled and rounded, never 0.
fonts::FontRequest scaledFont(const fonts::FontRequest& font, double scale);

} // namespace surface
