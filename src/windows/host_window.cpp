// Top-level windows on Qt: classes, creation and destruction, the client area's
// backing bitmap, painting and invalidation.

#include "windows/host_widget.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <map>

using windows::findWindow;
using windows::WindowPtr;

namespace {

std::map<std::string, std::shared_ptr<WindowClass>>& classes() {
  static auto* instance = new std::map<std::string, std::shared_ptr<WindowClass>>;
  return *instance;
}

ATOM nextAtom = 0xC000;

// The picture of 1024 x 768 pixels and the status bar below it.
constexpr int kDefaultClientWidth = 1024;
constexpr int kDefaultClientHeight = 768 + kStatusBarHeight;

QSize defaultClientSize() {
  QSize wanted(kDefaultClientWidth, kDefaultClientHeight);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return wanted;
  }
  // Room for the frame and title bar that the window manager adds.
  QSize room = screen->availableGeometry().size() - QSize(16, 48);
  if (room.width() >= wanted.width() && room.height() >= wanted.height()) {
    return wanted;
  }
  return QSize(std::max(200, std::min(wanted.width(), room.width() * 9 / 10)),
               std::max(150, std::min(wanted.height(), room.height() * 9 / 10)));
}

// Fills a bitmap with the class background brush (light grey when none).
void fillBackground(HBITMAP bitmap, HBRUSH brush) {
  int width = 0;
  int height = 0;
  BitmapBits(bitmap, &width, &height);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HGDIOBJ oldBrush = SelectObject(dc, brush != nullptr ? static_cast<HGDIOBJ>(brush)
                                                       : GetStockObject(LTGRAY_BRUSH));
  PatBlt(dc, 0, 0, width, height, PATCOPY);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
}

// The device scale of the window's screen as the backing takes it: below 1 the
// picture is drawn at 1 and Qt makes it smaller.
double screenScale(const QWidget* widget) {
  const double ratio = widget != nullptr ? widget->devicePixelRatioF() : 1.0;
  return std::clamp(ratio, 1.0, kMaxDeviceScale);
}

double backingScale(HWND__& w) {
  std::lock_guard lock(w.backingLock);
  return w.backing != nullptr ? GetBitmapScale(w.backing) : 0;
}

// A new backing of the given logical size at the screen's scale, keeping what
// the old one showed.
void resizeBacking(HWND__& w, int width, int height) {
  std::lock_guard lock(w.backingLock);
  if (w.destroyed) {
    return;
  }
  HBITMAP fresh = CreateScaledBitmap(width, height, screenScale(w.widget));
  if (fresh == nullptr && w.backing != nullptr) {
    return; // too large a window: the old picture stays, the rest shows the background
  }
  if (fresh != nullptr) {
    fillBackground(fresh, w.windowClass ? w.windowClass->background : nullptr);
    if (w.backing != nullptr) {
      HDC from = CreateCompatibleDC(nullptr);
      HDC to = CreateCompatibleDC(nullptr);
      HGDIOBJ oldFrom = SelectObject(from, w.backing);
      HGDIOBJ oldTo = SelectObject(to, fresh);
      BitBlt(to, 0, 0, width, height, from, 0, 0, SRCCOPY);
      SelectObject(from, oldFrom);
      SelectObject(to, oldTo);
      DeleteDC(from);
      DeleteDC(to);
    }
  }
  DeleteObject(w.backing);
  w.backing = fresh;
}

// Qt's Wayland platform keeps windows in buffers with an alpha channel, which the
// compositor blends: the surface's pixels, 0x00RRGGBB, would be transparent there.
bool backingHasAlpha() {
  static const bool alpha = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  return alpha;
}

QImage opaqueCopy(const std::uint32_t* bits, int width, const QRect& part) {
  QImage copy(part.size(), QImage::Format_RGB32);
  for (int y = 0; y < part.height(); ++y) {
    const std::uint32_t* from =
        bits + static_cast<std::size_t>(part.y() + y) * static_cast<std::size_t>(width) + part.x();
    auto* to = reinterpret_cast<std::uint32_t*>(copy.scanLine(y));
    for (int x = 0; x < part.width(); ++x) {
      to[x] = from[x] | 0xFF000000u;
    }
  }
  return copy;
}

} // namespace

// --- the host widget ------------------------------------------------------------

HostWidget::HostWidget(HWND window) : handle_(window) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void HostWidget::applyCursor() {
  WindowPtr w = findWindow(handle_);
  if (w && w->windowClass) {
    setCursor(windows::cursorOf(w->windowClass->cursor, devicePixelRatioF()));
  }
}

bool HostWidget::event(QEvent* event) {
  if (event->type() == QEvent::ScreenChangeInternal) {
    applyCursor(); // another screen may have another device pixel ratio
  }
  return QWidget::event(event);
}

void HostWidget::paintEvent(QPaintEvent* event) {
  WindowPtr w = findWindow(handle_);
  if (!w) {
    return;
  }
  if (backingScale(*w) != screenScale(this)) {
    // Moved to a screen of another scale: a backing of its device pixels, drawn anew.
    resizeBacking(*w, width(), height());
    w->invalid = true;
    windows::sendMessage(handle_, WM_SIZE, SIZE_RESTORED,
                         MAKELPARAM(static_cast<WORD>(width()), static_cast<WORD>(height())));
  }
  if (w->invalid.exchange(false)) {
    windows::sendMessage(handle_, WM_PAINT, 0, 0);
  }
  // Only the part asked for is copied into Qt's backing store under the lock; the
  // present to the display follows the paint, with the lock released.
  std::lock_guard lock(w->backingLock);
  int width = 0;
  int height = 0;
  const std::uint32_t* bits = w->destroyed ? nullptr : BitmapBits(w->backing, &width, &height);
  if (bits == nullptr) {
    return;
  }
  // The backing has the device pixels of the window: Qt copies them one to one.
  const QImage image(reinterpret_cast<const uchar*>(bits), width, height, width * 4,
                     QImage::Format_RGB32);
  const double scale = GetBitmapScale(w->backing);
  QPainter painter(this);
  QRect part = event->rect();
  if (scale != 1) {
    // Drawn in device pixels: those of the part, at their own places.
    painter.setClipRegion(event->region());
    painter.setWorldTransform(QTransform::fromScale(1 / scale, 1 / scale));
    part = QRect(QPoint(static_cast<int>(std::floor(part.left() * scale)),
                        static_cast<int>(std::floor(part.top() * scale))),
                 QPoint(static_cast<int>(std::ceil((part.right() + 1) * scale)) - 1,
                        static_cast<int>(std::ceil((part.bottom() + 1) * scale)) - 1));
  }
  part &= image.rect();
  if (!part.isEmpty() && backingHasAlpha()) {
    painter.drawImage(part.topLeft(), opaqueCopy(bits, width, part));
  } else if (!part.isEmpty()) {
    painter.drawImage(part.topLeft(), image, part);
  }
  painter.resetTransform();
  const QSizeF shown(width / scale, height / scale);
  if (shown.width() < this->width() || shown.height() < this->height()) {
    const QColor background(192, 192, 192);
    painter.fillRect(QRectF(shown.width(), 0, this->width() - shown.width(), this->height()),
                     background);
    painter.fillRect(QRectF(0, shown.height(), shown.width(), this->height() - shown.height()),
                     background);
  }
}

void HostWidget::resizeEvent(QResizeEvent*) {
  WindowPtr w = findWindow(handle_);
  if (!w) {
    return;
  }
  resizeBacking(*w, width(), height());
  // Only a class without the redraw styles could keep any of the old picture; the
  // whole client area is painted again either way.
  w->invalid = true;
  windows::sendMessage(handle_, WM_SIZE, SIZE_RESTORED,
                       MAKELPARAM(static_cast<WORD>(width()), static_cast<WORD>(height())));
  update();
}

void HostWidget::closeEvent(QCloseEvent* event) {
  // The window procedure decides; its default destroys the window.
  event->ignore();
  windows::sendMessage(handle_, WM_CLOSE, 0, 0);
}

bool HostWidget::focusNextPrevChild(bool) {
  return false; // Tab is a key like any other for the window procedure
}

// --- classes and windows -----------------------------------------------------------

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
      windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr ||
      windowClass->lpszClassName[0] == '\0' || !windows::ensureServices()) {
    return 0;
  }
  auto& all = classes();
  if (all.count(windowClass->lpszClassName) != 0) {
    return 0;
  }
  auto c = std::make_shared<WindowClass>();
  c->name = windowClass->lpszClassName;
  c->style = windowClass->style;
  c->procedure = windowClass->lpfnWndProc;
  c->icon = windowClass->hIcon;
  c->smallIcon = windowClass->hIconSm;
  c->cursor = windowClass->hCursor;
  c->background = windowClass->hbrBackground;
  all.emplace(c->name, c);
  return nextAtom++;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param) {
  if (className == nullptr || !windows::ensureServices() || !windows::onUiThread()) {
    return nullptr;
  }
  auto found = classes().find(className);
  if (found == classes().end()) {
    return nullptr;
  }
  const std::shared_ptr<WindowClass>& c = found->second;

  auto w = std::make_shared<HWND__>();
  w->kind = WindowKind::Top;
  w->procedure = c->procedure;
  w->windowClass = c;
  HWND handle = windows::registerWindow(w);
  auto* host = new HostWidget(handle);
  w->widget = host;
  host->setWindowTitle(windows::fromText(title));
  if (c->icon != nullptr || c->smallIcon != nullptr) {
    host->setWindowIcon(windows::iconOf(c->icon != nullptr ? c->icon : c->smallIcon));
  }
  host->applyCursor();
  QSize client = width == CW_USEDEFAULT || height == CW_USEDEFAULT
                     ? defaultClientSize()
                     : QSize(std::max(1, width), std::max(1, height));
  host->resize(client);
  if (x != CW_USEDEFAULT && y != CW_USEDEFAULT) {
    host->move(x, y);
  }
  resizeBacking(*w, client.width(), client.height());

  CREATESTRUCTA create{param,
                       instance,
                       menu,
                       parent,
                       client.height(),
                       client.width(),
                       y,
                       x,
                       static_cast<LONG>(style),
                       title,
                       className,
                       exStyle};
  if (windows::sendMessage(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if ((style & WS_VISIBLE) != 0 && w->widget) {
    w->widget->show();
  }
  return handle;
}

BOOL ShowWindow(HWND window, int command) {
  WindowPtr w = findWindow(window);
  if (!w || !w->widget || !windows::onUiThread()) {
    return FALSE;
  }
  const BOOL wasVisible = w->widget->isVisible() ? TRUE : FALSE;
  if (command == SW_HIDE) {
    w->widget->hide();
  } else {
    w->widget->show();
    if (w->kind == WindowKind::Top && QGuiApplication::platformName() != "offscreen") {
      w->widget->raise();
      w->widget->activateWindow();
    }
  }
  return wasVisible;
}

BOOL DestroyWindow(HWND window) {
  WindowPtr w = findWindow(window);
  if (!w || !windows::onUiThread()) {
    return FALSE;
  }
  windows::sendMessage(window, WM_DESTROY, 0, 0);
  for (const WindowPtr& child : windows::childrenOf(window)) {
    DestroyWindow(child.get());
  }
  windows::unregisterWindow(window);
  {
    std::lock_guard lock(w->backingLock);
    w->destroyed = true;
    DeleteObject(w->backing);
    w->backing = nullptr;
  }
  if (w->widget) {
    w->widget->hide();
    // The close box's own event may still be on the stack.
    w->widget->deleteLater();
  }
  return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
  }
  case WM_CLOSE:
    DestroyWindow(window);
    return 0;
  default:
    return 0;
  }
}

BOOL IsWindow(HWND window) {
  return findWindow(window) ? TRUE : FALSE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  WindowPtr w = findWindow(window);
  if (!w || rect == nullptr || !w->widget || !windows::onUiThread()) {
    return FALSE;
  }
  *rect = RECT{0, 0, w->widget->width(), w->widget->height()};
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  WindowPtr w = findWindow(window);
  if (!w || !w->widget || !windows::onUiThread()) {
    return FALSE;
  }
  if (w->kind == WindowKind::StatusBar) {
    // A status bar ignores what it is given and lays itself out along the bottom.
    windows::sendMessage(window, WM_SIZE, 0, 0);
  } else {
    w->widget->setGeometry(x, y, std::max(0, width), std::max(0, height));
  }
  if (repaint != FALSE) {
    w->widget->update();
  }
  return TRUE;
}

DWORD SetClassLongA(HWND window, int index, LONG value) {
  WindowPtr w = findWindow(window);
  if (!w || !w->windowClass || index != GCL_HCURSOR || !windows::onUiThread()) {
    return 0;
  }
  WindowClass& c = *w->windowClass;
  auto previous = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(c.cursor));
  c.cursor = reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(static_cast<DWORD>(value)));
  for (const WindowPtr& other : windows::childrenOf(nullptr)) {
    if (auto* host = dynamic_cast<HostWidget*>(other->widget.data());
        host != nullptr && other->windowClass.get() == &c) {
      host->applyCursor();
    }
  }
  return previous;
}

// --- painting ------------------------------------------------------------------------

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  WindowPtr w = findWindow(window);
  if (!w || paint == nullptr || !windows::onUiThread()) {
    return nullptr;
  }
  w->invalid = false;
  *paint = PAINTSTRUCT{};
  paint->hdc = windows::acquireBackingDC(w);
  if (w->widget) {
    paint->rcPaint = RECT{0, 0, w->widget->width(), w->widget->height()};
  }
  return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr || paint->hdc == nullptr) {
    return FALSE;
  }
  windows::releaseBackingDC(paint->hdc, false); // the paint presents it anyway
  return TRUE;
}

BOOL RedrawWindow(HWND window, const RECT*, void*, UINT flags) {
  WindowPtr w = findWindow(window);
  if (!w) {
    return FALSE;
  }
  if ((flags & RDW_INVALIDATE) != 0) {
    w->invalid = true;
    windows::requestUpdate(window);
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
  WindowPtr w = findWindow(window);
  if (!w || !w->invalid) {
    return FALSE;
  }
  if (rect != nullptr) {
    GetClientRect(window, rect);
  }
  return TRUE;
}
