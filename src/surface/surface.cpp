// The drawing surface's objects: device contexts, bitmaps, pens, brushes and
// fonts, checked against the set of live handles, their selection and state, and
// the window DCs that the window layer serves.

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

// Larger bitmaps are refused rather than risk an allocation the process cannot survive.
constexpr std::size_t kFaceNameLimit = 31; // LF_FACESIZE - 1

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

} // namespace

namespace surface {

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

Stock& stock() {
  static Stock* instance = makeStock();
  return *instance;
}

} // namespace surface

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

namespace {

HBITMAP makeBitmap(std::int64_t width, std::int64_t height, double scale) {
  if (width <= 0 || height <= 0 || width * height > kMaxBitmapPixels) {
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
    b->width = static_cast<int>(width);
    b->height = static_cast<int>(height);
    b->scale = scale;
    return adopt(b, Tag::Bitmap);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

} // namespace

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  DeviceContext* dc = liveDc(hdc);
  const double scale = dc != nullptr && dc->recording == nullptr ? dc->bitmap->scale : 1;
  return CreateScaledBitmap(width, height, scale);
}

HBITMAP CreateScaledBitmap(int width, int height, double scale) {
  if (!(scale >= 1 && scale <= kMaxDeviceScale) || width <= 0 || height <= 0) {
    return nullptr;
  }
  return makeBitmap(DeviceEdge(width, scale), DeviceEdge(height, scale), scale);
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
