// The drawing surface's objects: device contexts, bitmaps, pens, brushes and
// fonts behind the handles, which are checked against the set of live handles;
// their selection and the state of a DC.

#include "expr/cp1251.h"
#include "surface/line_clip.h"
#include "surface/recording.h"
#include "surface/surface_objects.h"

#include <algorithm>
#include <array>
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

// A face name is read up to LF_FACESIZE - 1 bytes, as Windows keeps it.
constexpr std::size_t kFaceNameLimit = 31;

// Every live handle, so that stale or wrong handles are refused without being
// dereferenced. A handle is a number counted up from 1 and never given twice, so
// that a deleted object's handle stays refused when its memory serves a new
// object. Selection counts live here too, under the same lock, so that deleting
// an object can never race with selecting it.
enum class Tag : std::uint8_t { Pen, Font, Bitmap, Brush, Dc };

struct Entry {
  Tag tag;
  void* object; // Pen, Font, Bitmap, Brush or DeviceContext, by the tag
  bool stock = false;
  int selections = 0; // DCs holding the object
};

struct Registry {
  std::shared_mutex mutex;
  std::unordered_map<std::uintptr_t, Entry> live;
  std::uintptr_t next = 1;
};

static_assert(sizeof(std::uintptr_t) == 8, "2^64 handles: never one given twice");

// Never destroyed: objects may be deleted by static objects after main.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

std::uintptr_t number(const void* handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// Under the registry's lock: the entry of a live handle, or null.
Entry* find(Registry& r, const void* handle) {
  auto it = r.live.find(number(handle));
  return it != r.live.end() ? &it->second : nullptr;
}

// The entry of an object known to be alive (selected into a DC, or stock).
Entry& entryOf(Registry& r, const Object* object) {
  return r.live.at(number(object->handle));
}

// Under the registry's lock: a new handle for the object.
void* enter(Registry& r, void* object, Tag tag, bool stock = false) {
  const std::uintptr_t handle = r.next++;
  r.live.emplace(handle, Entry{tag, object, stock, 0});
  return reinterpret_cast<void*>(handle);
}

template <class T> T* adopt(T* object, Tag tag, bool stock = false) {
  Registry& r = registry();
  std::unique_lock lock(r.mutex);
  object->handle = enter(r, object, tag, stock);
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
    adopt(b, Tag::Brush, true);
  }
  adopt(&s->whitePen, Tag::Pen, true);
  adopt(&s->blackPen, Tag::Pen, true);
  adopt(&s->system, Tag::Font, true);
  adopt(&s->gui, Tag::Font, true);
  adopt(&s->none, Tag::Bitmap, true);
  return s;
}

template <class T> T* liveObject(const void* handle, Tag tag) {
  if (handle == nullptr) {
    return nullptr;
  }
  Registry& r = registry();
  std::shared_lock lock(r.mutex);
  const Entry* e = find(r, handle);
  return e != nullptr && e->tag == tag ? static_cast<T*>(e->object) : nullptr;
}

// The objects a DC holds, each counted once in its entry's selections.
std::array<const Object*, 4> heldBy(const DeviceContext& dc) {
  return {dc.bitmap, dc.pen, dc.brush, dc.font};
}

} // namespace

namespace surface {

DeviceContext* liveDc(HDC dc) {
  return liveObject<DeviceContext>(dc, Tag::Dc);
}

Bitmap* liveBitmap(HBITMAP bitmap) {
  return liveObject<Bitmap>(bitmap, Tag::Bitmap);
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
  for (const Object* o : heldBy(*dc)) {
    ++entryOf(r, o).selections;
  }
  return static_cast<HDC>(enter(r, dc, Tag::Dc));
}

HDC CreateRecordingDC(Recording* recording) {
  if (recording == nullptr) {
    return nullptr;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc != nullptr) {
    liveDc(dc)->recording = recording; // nobody else has the DC yet
  }
  return dc;
}

BOOL DeleteDC(HDC handle) {
  if (handle == nullptr) {
    return FALSE;
  }
  DeviceContext* dc = nullptr;
  {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    auto it = r.live.find(number(handle));
    if (it == r.live.end() || it->second.tag != Tag::Dc) {
      return FALSE;
    }
    dc = static_cast<DeviceContext*>(it->second.object);
    for (const Object* o : heldBy(*dc)) {
      --entryOf(r, o).selections;
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
    return static_cast<HBITMAP>(adopt(b, Tag::Bitmap)->handle);
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
  return static_cast<HPEN>(adopt(p, Tag::Pen)->handle);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* b = new Brush;
  b->color = color & 0xFFFFFFu;
  return static_cast<HBRUSH>(adopt(b, Tag::Brush)->handle);
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
  return static_cast<HFONT>(adopt(f, Tag::Font)->handle);
}

BOOL DeleteObject(HGDIOBJ handle) {
  if (handle == nullptr) {
    return FALSE;
  }
  Entry gone{};
  {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    auto it = r.live.find(number(handle));
    if (it == r.live.end() || it->second.tag == Tag::Dc) {
      return FALSE;
    }
    if (it->second.stock) {
      return TRUE;
    }
    if (it->second.selections > 0) {
      return FALSE;
    }
    gone = it->second;
    r.live.erase(it);
  }
  switch (gone.tag) {
  case Tag::Pen:
    delete static_cast<Pen*>(gone.object);
    break;
  case Tag::Font:
    delete static_cast<Font*>(gone.object);
    break;
  case Tag::Bitmap:
    delete static_cast<Bitmap*>(gone.object);
    break;
  case Tag::Brush:
    delete static_cast<Brush*>(gone.object);
    break;
  case Tag::Dc:
    break;
  }
  return TRUE;
}

HGDIOBJ GetStockObject(int which) {
  Stock& s = stock();
  switch (which) {
  case WHITE_BRUSH:
    return s.white.handle;
  case LTGRAY_BRUSH:
    return s.ltgray.handle;
  case GRAY_BRUSH:
    return s.gray.handle;
  case DKGRAY_BRUSH:
    return s.dkgray.handle;
  case BLACK_BRUSH:
    return s.black.handle;
  case WHITE_PEN:
    return s.whitePen.handle;
  case BLACK_PEN:
    return s.blackPen.handle;
  case SYSTEM_FONT:
    return s.system.handle;
  case DEFAULT_GUI_FONT:
    return s.gui.handle;
  default:
    return nullptr;
  }
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle) {
  if (hdc == nullptr || handle == nullptr) {
    return nullptr;
  }
  Registry& r = registry();
  std::unique_lock lock(r.mutex);
  Entry* dcEntry = find(r, hdc);
  Entry* objEntry = find(r, handle);
  if (dcEntry == nullptr || dcEntry->tag != Tag::Dc || objEntry == nullptr ||
      objEntry->tag == Tag::Dc) {
    return nullptr;
  }
  auto* dc = static_cast<DeviceContext*>(dcEntry->object);
  Object* previous = nullptr;
  switch (objEntry->tag) {
  case Tag::Pen:
    previous = std::exchange(dc->pen, static_cast<Pen*>(objEntry->object));
    break;
  case Tag::Font:
    previous = std::exchange(dc->font, static_cast<Font*>(objEntry->object));
    break;
  case Tag::Brush:
    previous = std::exchange(dc->brush, static_cast<Brush*>(objEntry->object));
    break;
  case Tag::Bitmap:
    if (dc->recording != nullptr) {
      return nullptr;
    }
    if (objEntry->object == dc->bitmap) {
      return handle;
    }
    if (!objEntry->stock && objEntry->selections > 0) {
      return nullptr; // already selected into another DC
    }
    previous = std::exchange(dc->bitmap, static_cast<Bitmap*>(objEntry->object));
    break;
  case Tag::Dc:
    return nullptr;
  }
  if (previous->handle != handle) {
    ++objEntry->selections;
    --entryOf(r, previous).selections;
  }
  return previous->handle;
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
