#pragma once
// The drawing surface: a small GDI-like API over 32-bit pixel stores we own.
// Names, handle types and argument orders follow the Windows GDI so that the
// plotting code above reads like Windows code. Nothing here needs a display.
//
// Handles are numbers that stand for objects, not their addresses, and no number
// is handed out twice: every call looks its handles up among the live objects
// first, and a null, deleted or wrong-kind handle makes the call do nothing and
// return FALSE / 0 / nullptr (CLR_INVALID for the colour functions), also after
// the memory of a deleted object serves a new one.

#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using COLORREF = std::uint32_t; // 0x00BBGGRR
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;

struct POINT {
  std::int32_t x, y;
};

struct SIZE {
  std::int32_t cx, cy;
};

using LONG = std::int32_t;

struct RECT {
  LONG left, top, right, bottom;
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
  return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c) {
  return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c) {
  return static_cast<BYTE>((c >> 16) & 0xFF);
}

// A window; the window layer defines what it is.
struct HWND__;
using HWND = HWND__*;

// Handles of the objects, as on Windows: any of them passes as an HGDIOBJ, and
// only the calls know what stands behind one (never dereference a handle).
struct HPEN__;
struct HFONT__;
struct HBITMAP__;
struct HBRUSH__;
struct HDC__;
using HGDIOBJ = void*;
using HPEN = HPEN__*;
using HFONT = HFONT__*;
using HBITMAP = HBITMAP__*;
using HBRUSH = HBRUSH__*;
using HDC = HDC__*;

// Mix modes of the pen with the pixels (SetROP2). The value minus one is the
// truth table of the mix: bit 3 for pen 1 / pixel 1, bit 2 for 1 / 0,
// bit 1 for 0 / 1, bit 0 for 0 / 0.
inline constexpr int R2_BLACK = 1;
inline constexpr int R2_NOTMERGEPEN = 2;
inline constexpr int R2_MASKNOTPEN = 3;
inline constexpr int R2_NOTCOPYPEN = 4;
inline constexpr int R2_MASKPENNOT = 5;
inline constexpr int R2_NOT = 6;
inline constexpr int R2_XORPEN = 7;
inline constexpr int R2_NOTMASKPEN = 8;
inline constexpr int R2_MASKPEN = 9;
inline constexpr int R2_NOTXORPEN = 10;
inline constexpr int R2_NOP = 11;
inline constexpr int R2_MERGENOTPEN = 12;
inline constexpr int R2_COPYPEN = 13;
inline constexpr int R2_MERGEPENNOT = 14;
inline constexpr int R2_MERGEPEN = 15;
inline constexpr int R2_WHITE = 16;

inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

inline constexpr int PS_SOLID = 0;

inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;

inline constexpr UINT DCB_RESET = 0x0001;
inline constexpr UINT DCB_SET = 0x0002;
inline constexpr UINT DCB_ENABLE = 0x0004;
inline constexpr UINT DCB_DISABLE = 0x0008;

inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int SYSTEM_FONT = 13;
inline constexpr int DEFAULT_GUI_FONT = 17;

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

inline constexpr DWORD RUSSIAN_CHARSET = 204;
inline constexpr DWORD OUT_CHARACTER_PRECIS = 2;
inline constexpr DWORD CLIP_CHARACTER_PRECIS = 1;
inline constexpr DWORD DEFAULT_QUALITY = 0;
inline constexpr DWORD DEFAULT_PITCH = 0;
inline constexpr int FW_DONTCARE = 0;
inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;

// Device contexts. A fresh memory DC has no bitmap; drawing into it does nothing.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// Not in the GDI: the most pixels a bitmap (or a recording) may have, 2^28.
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 28;

// Pixels start black. Returns nullptr for a non-positive or too large size. The
// bitmap has the device scale of the bitmap selected into dc (see below).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);

// Not in the GDI: device scales. A bitmap may hold more device pixels than the
// logical units its drawing calls take: scale device pixels to the unit (1 to
// kMaxDeviceScale; 1.5 for a screen at 150 %). Every call on a DC takes logical
// coordinates and draws at the scale of its bitmap: logical pixel v spans the
// device pixels from DeviceEdge(v) up to DeviceEdge(v + 1); pens are
// ScaledPenWidth device pixels wide, text is rendered at the scaled height, fills
// and copies cover the scaled rectangles. At scale 1 everything is as before.
inline constexpr double kMaxDeviceScale = 8.0;
// A bitmap of the logical size at the scale: DeviceEdge(width) by
// DeviceEdge(height) device pixels. nullptr for a scale out of range or a size
// CreateCompatibleBitmap refuses.
HBITMAP CreateScaledBitmap(int width, int height, double scale);
// The scale of the DC's bitmap (or recording); 1 without a bitmap, 0 for no DC.
double GetDeviceScale(HDC dc);
// The scale of a bitmap; 0 for a handle that is not a live bitmap.
double GetBitmapScale(HBITMAP bitmap);
// The first device pixel of logical pixel v: v * scale rounded half up.
std::int64_t DeviceEdge(std::int64_t v, double scale);
// A one-unit pen at the scale: the scale rounded half up, at least 1.
int ScaledPenWidth(double scale);
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
// Only records what is asked for; the face is found when text is first drawn.
// height > 0: cell height (ascent + descent) in pixels; < 0: em height; 0: 16.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName);
// Fails for an object still selected into a DC; harmless for stock objects.
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int which);

// Returns the object of the same kind selected before, nullptr on error.
// A bitmap can be selected into one DC at a time.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

int SetROP2(HDC dc, int mode);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);

BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
// From the current position to (x, y), the end pixel not drawn.
BOOL LineTo(HDC dc, int x, int y);

// Not in the GDI: the current position and lines in device pixels, for points
// known more finely than a logical pixel. The one-pixel line between two device
// pixels is drawn ScaledPenWidth wide across its longer axis, the extra rows or
// columns below or right of it first. At scale 1 they are MoveToEx and LineTo.
BOOL MoveToDevice(HDC dc, int x, int y);
BOOL LineToDevice(HDC dc, int x, int y);
// Not in the GDI: a size x size square of device pixels, top left at device pixel
// (x, y), in the pen's colour mixed by the mix mode: an implicit graph's mark
// where a logical pixel is more than one device pixel. The position stays.
BOOL MarkDevicePixels(HDC dc, int x, int y, int size);

// count bytes of code page 1251 text, the top left of the text cell at (x, y).
BOOL TextOutA(HDC dc, int x, int y, const char* bytes, int count);
BOOL GetTextExtentPoint32A(HDC dc, const char* bytes, int count, SIZE* size);

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);

// Bounds of what is drawn: while enabled, a DC gathers the rectangle of the
// pixels that its drawing calls touch. SetBoundsRect takes DCB_ENABLE or
// DCB_DISABLE and DCB_RESET (no rectangle of its own) and returns the previous
// DCB_ENABLE or DCB_DISABLE; GetBoundsRect returns DCB_SET with the rectangle (right
// and bottom exclusive) or DCB_RESET when nothing was drawn, and with DCB_RESET
// empties it. Both return 0 for a DC that is not one.
UINT SetBoundsRect(HDC dc, const RECT* rect, UINT flags);
UINT GetBoundsRect(HDC dc, RECT* rect, UINT flags);

COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// Not in the GDI: the pixels of a bitmap, row-major, top row first, each
// 0x00RRGGBB (what QImage::Format_RGB32 wraps); the sizes in device pixels.
// width / height may be null.
const std::uint32_t* BitmapBits(HBITMAP bitmap, int* width, int* height);
// The bitmap selected into dc, nullptr when none is.
HBITMAP GetSelectedBitmap(HDC dc);

// Not in the GDI: a device context that keeps what is drawn into it in a
// Recording (surface/recording.h) instead of setting pixels. It has no bitmap and
// takes none; the recording must outlive it. Deleted with DeleteDC.
class Recording;
HDC CreateRecordingDC(Recording* recording);

// Not in the GDI: where a recording DC takes the pixels that a tracer would set
// itself: rows top..bottom (both included, either order) of column x, each set
// to pixel (0x00RRGGBB). Rows and columns outside the canvas are dropped.
class PixelRunSink {
public:
  virtual void markRun(std::uint32_t pixel, int x, int top, int bottom) = 0;

protected:
  ~PixelRunSink() = default;
};

// Not in the GDI: where the lines of a DC land, for a tracer that sets single
// pixels itself. pixels is null (and the size 0) when no bitmap is selected;
// penPixel is the selected pen's colour as a 0x00RRGGBB pixel. A recording DC
// has no pixels but a size and runs, which take the pixels instead. The sizes
// are in device pixels, scale device pixels to a logical one.
struct PixelTarget {
  std::uint32_t* pixels;
  int width;
  int height;
  int rop2;
  std::uint32_t penPixel;
  PixelRunSink* runs;
  double scale;
  int penWidth; // ScaledPenWidth(scale)
};
BOOL GetPixelTarget(HDC dc, PixelTarget* target);
