// The status bar: a child along the bottom of its parent showing one line.

#include "windows/window_internal.h"

#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

namespace {

// A child window of its own, as on Windows: the mouse over it is its own, so no
// press, move, release or wheel there reaches the parent's procedure.
class StatusLabel : public QLabel {
public:
  explicit StatusLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_NoMousePropagation);
  }

protected:
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
  void mouseMoveEvent(QMouseEvent* event) override { event->accept(); }
  void wheelEvent(QWheelEvent* event) override { event->accept(); }
};

void layOut(QWidget& bar) {
  if (QWidget* parent = bar.parentWidget()) {
    bar.setGeometry(0, parent->height() - kStatusBarHeight, parent->width(), kStatusBarHeight);
  }
}

LRESULT statusBarMessage(const windows::WindowPtr& w, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* label = qobject_cast<QLabel*>(w->widget.data());
  if (label == nullptr) {
    return 0;
  }
  switch (message) {
  case SB_SETTEXTA:
    // Only the simple-mode part exists.
    if (LOWORD(wParam) != SB_SIMPLEID) {
      return FALSE;
    }
    [[fallthrough]];
  case WM_SETTEXT:
    label->setText(windows::fromText(reinterpret_cast<const char*>(lParam)));
    return TRUE;
  case WM_GETTEXT: {
    // At most wParam - 1 bytes and a NUL; the count stored.
    const std::string text = windows::toText(label->text());
    auto* buffer = reinterpret_cast<char*>(lParam);
    if (buffer == nullptr || wParam == 0) {
      return 0;
    }
    const std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
    text.copy(buffer, n);
    buffer[n] = '\0';
    return static_cast<LRESULT>(n);
  }
  case WM_SIZE:
    layOut(*label);
    return 0;
  default:
    return 0;
  }
}

} // namespace

HWND CreateStatusWindowA(LONG style, LPCSTR text, HWND parent, UINT id) {
  windows::WindowPtr owner = windows::findWindow(parent);
  if (!owner || !owner->widget || !windows::onUiThread()) {
    return nullptr;
  }
  windows::setBuiltinHandler(WindowKind::StatusBar, statusBarMessage);
  auto w = std::make_shared<HWND__>();
  w->kind = WindowKind::StatusBar;
  w->parent = parent;
  w->id = static_cast<int>(id);
  auto* label = new StatusLabel(owner->widget);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setTextFormat(Qt::PlainText);
  label->setAutoFillBackground(true);
  label->setContentsMargins(4, 0, 4, 0);
  label->setCursor(Qt::ArrowCursor); // its own arrow, not the crosshair of the window
  label->setText(windows::fromText(text));
  w->widget = label;
  layOut(*label);
  label->setVisible((static_cast<DWORD>(style) & WS_VISIBLE) != 0);
  return windows::registerWindow(w);
}
