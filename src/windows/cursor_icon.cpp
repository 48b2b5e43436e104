// Icons and cursors: the program's resources and the system's arrow, as Qt sees them.

#include "res/resources.h"
#include "windows/window_internal.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <cmath>

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

QCursor cursorOf(HCURSOR cursor, qreal devicePixelRatio) {
  const std::uintptr_t token = tokenOf(cursor);
  const res::CursorResource* c =
      (token & kProgramResource) != 0 ? res::findCursor(static_cast<int>(token & 0xFFFF)) : nullptr;
  if (c == nullptr) {
    return QCursor(Qt::ArrowCursor);
  }
  // An image with an alpha channel, not a bitmap and mask: Qt's Wayland platform
  // takes a cursor's picture from its pixmap only. Windows' AND / XOR pair: AND 0
  // paints the XOR colour, AND 1 with XOR 0 is transparent; an inverting pixel
  // (both 1) has no ARGB equal and shows black.
  const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
  const int width = std::max(1, static_cast<int>(std::lround(c->width * ratio)));
  const int height = std::max(1, static_cast<int>(std::lround(c->height * ratio)));
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    // Each device pixel shows the cell pixel its centre falls in, so that lines
    // stay one cell pixel wide, in whole device pixels.
    const int cy = std::min(c->height - 1, static_cast<int>((y + 0.5) / ratio));
    for (int x = 0; x < width; ++x) {
      const int cx = std::min(c->width - 1, static_cast<int>((x + 0.5) / ratio));
      const bool andBit = ((c->andMask[cy] >> (31 - cx)) & 1u) != 0;
      const bool xorBit = ((c->xorMask[cy] >> (31 - cx)) & 1u) != 0;
      const QRgb colour = andBit && !xorBit   ? qRgba(0, 0, 0, 0)
                          : xorBit && !andBit ? qRgba(255, 255, 255, 255)
                                              : qRgba(0, 0, 0, 255);
      image.setPixel(x, y, colour);
    }
  }
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setDevicePixelRatio(ratio);
  // The hot spot in the cell's own pixels, which are the window's logical ones;
  // Qt's X11 platform takes it in the image's pixels instead: there, the middle of
  // the hot cell pixel's device pixels.
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    return QCursor(pixmap, static_cast<int>((c->hotX + 0.5) * ratio),
                   static_cast<int>((c->hotY + 0.5) * ratio));
  }
  return QCursor(pixmap, c->hotX, c->hotY);
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
