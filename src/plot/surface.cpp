#include "plot/surface.h"

#include "expr/cp1251.h"
#include "plot/font_engine.h"
#include "plot/line_clip.h"
#include "plot/recording.h"

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

namespace {

// Larger bitmaps are refused rather than risk an allocation the process cannot survive.
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 28;
constexpr std::size_t kFaceNameLimit = 31; // LF_FACESIZE - 1

__extension__ typedef __int128 Int128;

struct Pen final : GdiPen {
  COLORREF color = 0;
};

struct Brush final : GdiBrush {
  COLORREF color = 0;
};

struct Font final : GdiFont {
  fonts::FontRequest request;
};

struct Bitmap final : GdiBitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels; // 0x00RRGGBB, row-major, top row first

  bool empty() const { return pixels.empty(); }
  std::uint32_t* row(std::int64_t y) {
    return pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
  }
};

std::uint32_t toPixel(COLORREF c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
COLORREF toColorRef(std::uint32_t p) {
  return toPixel(p);
}

} // namespace

struct DeviceContext {
  // Never null: a DC without a bitmap of its own holds the empty stock bitmap.
  Bitmap* bitmap = nullptr;
  Pen* pen = nullptr;
  Brush* brush = nullptr;
  Font* font = nullptr;
  POINT position{0, 0};
  int rop2 = R2_COPYPEN;
  int bkMode = OPAQUE;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  Recording* recording = nullptr; // set for a recording DC, which draws no pixels
};

namespace {

// Every live handle, so that stale or wrong handles are refused without being
// dereferenced. Selection counts live here too, under the same lock, so that
// deleting an object can never race with selecting it.
enum class Tag : std::uint8_t { Pen, Font, Bitmap, Brush, Dc };

struct Entry {
  Tag tag;
  bool stock = false;
  int selections = 0; // DCs holding the object
};

struct Registry {
  std::shared_mutex mutex;
  std::unordered_map<const void*, Entry> live;
};

// Never destroyed: objects may be deleted by static objects after main.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

const void* key(const GdiObject* object) {
  return object;
}

void registerObject(const void* object, Tag tag, bool stock = false) {
  Registry& r = registry();
  std::unique_lock lock(r.mutex);
  r.live.emplace(object, Entry{tag, stock, 0});
}

template <class T> T* adopt(T* object, Tag tag) {
  registerObject(key(object), tag);
  return object;
}

DeviceContext* liveDc(HDC dc) {
  if (dc == nullptr) {
    return nullptr;
  }
  Registry& r = registry();
  std::shared_lock lock(r.mutex);
  auto it = r.live.find(dc);
  return it != r.live.end() && it->second.tag == Tag::Dc ? dc : nullptr;
}

Bitmap* liveBitmap(HBITMAP bitmap) {
  if (bitmap == nullptr) {
    return nullptr;
  }
  Registry& r = registry();
  std::shared_lock lock(r.mutex);
  auto it = r.live.find(key(bitmap));
  return it != r.live.end() && it->second.tag == Tag::Bitmap ? static_cast<Bitmap*>(bitmap)
                                                             : nullptr;
}

struct Stock {
  Brush white, ltgray, gray, dkgray, black;
  Pen whitePen, blackPen;
  Font system, gui;
  Bitmap none;
};

Stock* makeStock() {
  auto* s = new Stock;
  s->white.color = RGB(255, 255, 255);
  s->ltgray.color = RGB(192, 192, 192);
  s->gray.color = RGB(128, 128, 128);
  s->dkgray.color = RGB(64, 64, 64);
  s->black.color = RGB(0, 0, 0);
  s->whitePen.color = RGB(255, 255, 255);
  s->blackPen.color = RGB(0, 0, 0);
  s->system.request.height = 16;
  s->system.request.weight = FW_NORMAL;
  s->gui.request.height = -11;
  s->gui.request.weight = FW_NORMAL;
  for (Brush* b : {&s->white, &s->ltgray, &s->gray, &s->dkgray, &s->black}) {
    registerObject(key(b), Tag::Brush, true);
  }
  registerObject(key(&s->whitePen), Tag::Pen, true);
  registerObject(key(&s->blackPen), Tag::Pen, true);
  registerObject(key(&s->system), Tag::Font, true);
  registerObject(key(&s->gui), Tag::Font, true);
  registerObject(key(&s->none), Tag::Bitmap, true);
  return s;
}

// Never destroyed, like the registry.
Stock& stock() {
  static Stock* instance = makeStock();
  return *instance;
}

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

bool validText(const char* bytes, int count) {
  return count >= 0 && (count == 0 || bytes);
}

struct HookState {
  std::mutex mutex;
  WindowSurfaceHooks hooks;
};

HookState& hookState() {
  static HookState* instance = new HookState;
  return *instance;
}

WindowSurfaceHooks currentHooks() {
  HookState& s = hookState();
  std::lock_guard lock(s.mutex);
  return s.hooks;
}

} // namespace

// --- objects ----------------------------------------------------------------

HDC CreateCompatibleDC(HDC) {
  Stock& s = stock();
  auto* dc = new (std::nothrow) DeviceContext;
  if (dc == nullptr) {
    return nullptr;
  }
  dc->bitmap = &s.none;
  dc->pen = &s.blackPen;
  dc->brush = &s.white;
  dc->font = &s.system;
  Registry& r = registry();
  std::unique_lock lock(r.mutex);
  for (GdiObject* o : {static_cast<GdiObject*>(dc->bitmap), static_cast<GdiObject*>(dc->pen),
                       static_cast<GdiObject*>(dc->brush), static_cast<GdiObject*>(dc->font)}) {
    ++r.live.at(key(o)).selections;
  }
  r.live.emplace(dc, Entry{Tag::Dc, false, 0});
  return dc;
}

HDC CreateRecordingDC(Recording* recording) {
  if (recording == nullptr) {
    return nullptr;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc != nullptr) {
    dc->recording = recording; // nobody else has the DC yet
  }
  return dc;
}

BOOL DeleteDC(HDC dc) {
  if (dc == nullptr) {
    return FALSE;
  }
  {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    auto it = r.live.find(dc);
    if (it == r.live.end() || it->second.tag != Tag::Dc) {
      return FALSE;
    }
    for (GdiObject* o : {static_cast<GdiObject*>(dc->bitmap), static_cast<GdiObject*>(dc->pen),
                         static_cast<GdiObject*>(dc->brush), static_cast<GdiObject*>(dc->font)}) {
      --r.live.at(key(o)).selections;
    }
    r.live.erase(it);
  }
  delete dc;
  return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width <= 0 || height <= 0 ||
      static_cast<std::int64_t>(width) * static_cast<std::int64_t>(height) > kMaxBitmapPixels) {
    return nullptr;
  }
  try {
    auto* b = new Bitmap;
    try {
      b->pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    } catch (const std::bad_alloc&) {
      delete b;
      return nullptr;
    }
    b->width = width;
    b->height = height;
    return adopt(b, Tag::Bitmap);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

HPEN CreatePen(int, int, COLORREF color) {
  // Every pen is solid and one pixel wide: nothing here draws anything else.
  auto* p = new Pen;
  p->color = color & 0xFFFFFFu;
  return adopt(p, Tag::Pen);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* b = new Brush;
  b->color = color & 0xFFFFFFu;
  return adopt(b, Tag::Brush);
}

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD, DWORD,
                  DWORD, DWORD, DWORD, const char* faceName) {
  auto* f = new Font;
  f->request.height = height;
  f->request.weight = weight;
  f->request.italic = italic != 0;
  if (faceName != nullptr) {
    f->request.face = cp1251::toUtf8(std::string_view(faceName, strnlen(faceName, kFaceNameLimit)));
  }
  return adopt(f, Tag::Font);
}

BOOL DeleteObject(HGDIOBJ object) {
  if (object == nullptr) {
    return FALSE;
  }
  {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    auto it = r.live.find(key(object));
    if (it == r.live.end() || it->second.tag == Tag::Dc) {
      return FALSE;
    }
    if (it->second.stock) {
      return TRUE;
    }
    if (it->second.selections > 0) {
      return FALSE;
    }
    r.live.erase(it);
  }
  switch (object->kind()) {
  case GdiKind::Pen:
    delete static_cast<Pen*>(static_cast<GdiPen*>(object));
    break;
  case GdiKind::Font:
    delete static_cast<Font*>(static_cast<GdiFont*>(object));
    break;
  case GdiKind::Bitmap:
    delete static_cast<Bitmap*>(static_cast<GdiBitmap*>(object));
    break;
  case GdiKind::Brush:
    delete static_cast<Brush*>(static_cast<GdiBrush*>(object));
    break;
  }
  return TRUE;
}

HGDIOBJ GetStockObject(int which) {
  Stock& s = stock();
  switch (which) {
  case WHITE_BRUSH:
    return &s.white;
  case LTGRAY_BRUSH:
    return &s.ltgray;
  case GRAY_BRUSH:
    return &s.gray;
  case DKGRAY_BRUSH:
    return &s.dkgray;
  case BLACK_BRUSH:
    return &s.black;
  case WHITE_PEN:
    return &s.whitePen;
  case BLACK_PEN:
    return &s.blackPen;
  case SYSTEM_FONT:
    return &s.system;
  case DEFAULT_GUI_FONT:
    return &s.gui;
  default:
    return nullptr;
  }
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (dc == nullptr || object == nullptr) {
    return nullptr;
  }
  Registry& r = registry();
  std::unique_lock lock(r.mutex);
  auto dcIt = r.live.find(dc);
  auto objIt = r.live.find(key(object));
  if (dcIt == r.live.end() || dcIt->second.tag != Tag::Dc || objIt == r.live.end() ||
      objIt->second.tag == Tag::Dc) {
    return nullptr;
  }
  // Read the kind only now that the object is known to be alive.
  GdiObject* previous = nullptr;
  switch (object->kind()) {
  case GdiKind::Pen:
    previous = std::exchange(dc->pen, static_cast<Pen*>(static_cast<GdiPen*>(object)));
    break;
  case GdiKind::Font:
    previous = std::exchange(dc->font, static_cast<Font*>(static_cast<GdiFont*>(object)));
    break;
  case GdiKind::Brush:
    previous = std::exchange(dc->brush, static_cast<Brush*>(static_cast<GdiBrush*>(object)));
    break;
  case GdiKind::Bitmap:
    if (dc->recording != nullptr) {
      return nullptr;
    }
    if (object == dc->bitmap) {
      return object;
    }
    if (!objIt->second.stock && objIt->second.selections > 0) {
      return nullptr; // already selected into another DC
    }
    previous = std::exchange(dc->bitmap, static_cast<Bitmap*>(static_cast<GdiBitmap*>(object)));
    break;
  }
  if (previous != object) {
    ++objIt->second.selections;
    --r.live.at(key(previous)).selections;
  }
  return previous;
}

// --- state ------------------------------------------------------------------

int SetROP2(HDC hdc, int mode) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr || mode < R2_BLACK || mode > R2_WHITE) {
    return 0;
  }
  return std::exchange(dc->rop2, mode);
}

int SetBkMode(HDC hdc, int mode) {
  DeviceContext* dc = liveDc(hdc);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
    return 0;
  }
  return std::exchange(dc->bkMode, mode);
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = liveDc(hdc);
  return dc == nullptr ? CLR_INVALID : std::exchange(dc->textColor, color & 0xFFFFFFu);
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  DeviceContext* dc = liveDc(hdc);
  return dc == nullptr ? CLR_INVALID : std::exchange(dc->bkColor, color & 0xFFFFFFu);
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
  return color & 0xFFFFFFu;
}

// --- windows ----------------------------------------------------------------

void SetWindowSurfaceHooks(const WindowSurfaceHooks& hooks) {
  HookState& s = hookState();
  std::lock_guard lock(s.mutex);
  s.hooks = hooks;
}

HDC GetDC(HWND window) {
  const WindowSurfaceHooks hooks = currentHooks();
  return hooks.getDC != nullptr ? hooks.getDC(window) : nullptr;
}

int ReleaseDC(HWND window, HDC dc) {
  const WindowSurfaceHooks hooks = currentHooks();
  return hooks.releaseDC != nullptr ? hooks.releaseDC(window, dc) : 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowSurfaceHooks hooks = currentHooks();
  return hooks.sendMessage != nullptr ? hooks.sendMessage(window, message, wParam, lParam) : 0;
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
  return dc->bitmap;
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
