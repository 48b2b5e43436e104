// Icons and cursors: the program's resources and the system's arrow, as Qt sees them.

#include "res/resources.h"
#include "windows/window_internal.h"

#include <QBitmap>
#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace {

// A handle is a token: the system's resources by their own identifier, the
// program's as this bit plus the identifier.
constexpr std::uintptr_t kProgramResource = 0x10000;

std::uintptr_t tokenOf(HICON handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

HICON handleOf(std::uintptr_t token) {
  return reinterpret_cast<HICON>(token);
}

int resourceId(LPCSTR name) {
  return IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<std::uintptr_t>(name)) : -1;
}

} // namespace

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  const int id = resourceId(name);
  return res::findIcon(id) != nullptr ? handleOf(kProgramResource | static_cast<unsigned>(id))
                                      : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  const int id = resourceId(name);
  if (instance == nullptr && name == IDC_ARROW) {
    return handleOf(static_cast<std::uintptr_t>(id));
  }
  return res::findCursor(id) != nullptr ? handleOf(kProgramResource | static_cast<unsigned>(id))
                                        : nullptr;
}

namespace windows {

QCursor cursorOf(HCURSOR cursor) {
  const std::uintptr_t token = tokenOf(cursor);
  const res::CursorResource* c =
      (token & kProgramResource) != 0 ? res::findCursor(static_cast<int>(token & 0xFFFF)) : nullptr;
  if (c == nullptr) {
    return QCursor(Qt::ArrowCursor);
  }
  // Qt: bitmap 1 with mask 1 is black, 0 with 1 white, 0 with 0 transparent,
  // 1 with 0 inverts, which is Windows' AND / XOR pair turned around.
  QImage bitmap(c->width, c->height, QImage::Format_Mono);
  QImage mask(c->width, c->height, QImage::Format_Mono);
  // Index 1 is color1, the set bit of a QBitmap.
  const QList<QRgb> table = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
  bitmap.setColorTable(table);
  mask.setColorTable(table);
  for (int y = 0; y < c->height; ++y) {
    for (int x = 0; x < c->width; ++x) {
      const bool andBit = ((c->andMask[y] >> (31 - x)) & 1u) != 0;
      const bool xorBit = ((c->xorMask[y] >> (31 - x)) & 1u) != 0;
      bitmap.setPixel(x, y, andBit == xorBit ? 1 : 0);
      mask.setPixel(x, y, andBit ? 0 : 1);
    }
  }
  return QCursor(QBitmap::fromImage(bitmap), QBitmap::fromImage(mask), c->hotX, c->hotY);
}

QIcon iconOf(HICON icon) {
  const std::uintptr_t token = tokenOf(icon);
  const res::IconResource* r =
      (token & kProgramResource) != 0 ? res::findIcon(static_cast<int>(token & 0xFFFF)) : nullptr;
  QIcon result;
  if (r == nullptr) {
    return result;
  }
  for (const res::IconImage& image : r->images) {
    QImage picture(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        picture.setPixel(x, y, image.argb(x, y));
      }
    }
    result.addPixmap(QPixmap::fromImage(picture));
  }
  return result;
}

} // namespace windows
