// Input: Qt's key, mouse and wheel events become the messages Windows would send,
// with its virtual-key codes, key data, packed client positions and wheel notches.

#include "windows/host_widget.h"
#include "windows/key_codes.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr int kNotch = 120;
constexpr int kMaxNotches = 25;

WPARAM mouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  WPARAM keys = 0;
  keys |= (buttons & Qt::LeftButton) != 0 ? MK_LBUTTON : 0;
  keys |= (buttons & Qt::RightButton) != 0 ? MK_RBUTTON : 0;
  keys |= (buttons & Qt::MiddleButton) != 0 ? MK_MBUTTON : 0;
  keys |= (modifiers & Qt::ShiftModifier) != 0 ? MK_SHIFT : 0;
  keys |= (modifiers & Qt::ControlModifier) != 0 ? MK_CONTROL : 0;
  return keys;
}

// Client coordinates as 16-bit signed halves; a captured mouse far outside wraps
// as it does on Windows.
LPARAM packPosition(QPointF position) {
  const QPoint p = position.toPoint();
  return MAKELPARAM(static_cast<WORD>(p.x()), static_cast<WORD>(p.y()));
}

KeyStroke strokeOf(const QKeyEvent& event) {
  const int keyCode = static_cast<int>(event.nativeScanCode());
  const auto keySymbol = static_cast<std::uint32_t>(event.nativeVirtualKey());
  KeyLabels labels;
  const bool known = keySymbol != 0 && windows::keyLabels(keyCode, keySymbol, labels);
  return keyStroke(keyCode, keySymbol, event.key(), (event.modifiers() & Qt::KeypadModifier) != 0,
                   known ? &labels : nullptr);
}

// Alt held, or F10, makes a system key, which only the default procedure sees.
bool systemKey(const QKeyEvent& event, const KeyStroke& stroke) {
  return (event.modifiers() & Qt::AltModifier) != 0 || stroke.virtualKey == 121 ||
         stroke.virtualKey == 18;
}

} // namespace

void HostWidget::keyPressEvent(QKeyEvent* event) {
  const KeyStroke stroke = strokeOf(*event);
  if (stroke.virtualKey == 0) {
    return;
  }
  windows::sendMessage(handle_, systemKey(*event, stroke) ? WM_SYSKEYDOWN : WM_KEYDOWN,
                       static_cast<WPARAM>(stroke.virtualKey),
                       keyData(stroke, event->isAutoRepeat(), false));
}

void HostWidget::keyReleaseEvent(QKeyEvent* event) {
  const KeyStroke stroke = strokeOf(*event);
  if (stroke.virtualKey == 0 || event->isAutoRepeat()) {
    return;
  }
  windows::sendMessage(handle_, systemKey(*event, stroke) ? WM_SYSKEYUP : WM_KEYUP,
                       static_cast<WPARAM>(stroke.virtualKey), keyData(stroke, true, true));
}

void HostWidget::mousePressEvent(QMouseEvent* event) {
  UINT message = event->button() == Qt::LeftButton    ? WM_LBUTTONDOWN
                 : event->button() == Qt::RightButton ? WM_RBUTTONDOWN
                                                      : 0;
  if (message != 0) {
    windows::sendMessage(handle_, message, mouseKeys(event->buttons(), event->modifiers()),
                         packPosition(event->position()));
  }
}

// Qt delivers the release to the window that saw the press, wherever the mouse
// is then, so a drag always ends.
void HostWidget::mouseReleaseEvent(QMouseEvent* event) {
  UINT message = event->button() == Qt::LeftButton    ? WM_LBUTTONUP
                 : event->button() == Qt::RightButton ? WM_RBUTTONUP
                                                      : 0;
  if (message != 0) {
    windows::sendMessage(handle_, message, mouseKeys(event->buttons(), event->modifiers()),
                         packPosition(event->position()));
  }
}

void HostWidget::mouseMoveEvent(QMouseEvent* event) {
  windows::sendMessage(handle_, WM_MOUSEMOVE, mouseKeys(event->buttons(), event->modifiers()),
                       packPosition(event->position()));
}

// One WM_MOUSEWHEEL of exactly 120 per notch: a fast turn reported as 240 is two
// notches, and the small steps of fine wheels and touchpads add up to one.
void HostWidget::wheelEvent(QWheelEvent* event) {
  // A device that reports an absurd turn gives at most kMaxNotches notches, not
  // millions of passes.
  const int delta =
      std::clamp(event->angleDelta().y(), -kMaxNotches * kNotch, kMaxNotches * kNotch);
  if (delta == 0) {
    return;
  }
  if ((delta > 0) != (wheelRemainder_ > 0)) {
    wheelRemainder_ = 0; // a turn back starts afresh
  }
  wheelRemainder_ += delta;
  const QPoint screen = event->globalPosition().toPoint();
  const WPARAM keys = mouseKeys(event->buttons(), event->modifiers());
  while (wheelRemainder_ >= kNotch || wheelRemainder_ <= -kNotch) {
    const int notch = wheelRemainder_ > 0 ? kNotch : -kNotch;
    wheelRemainder_ -= notch;
    windows::sendMessage(handle_, WM_MOUSEWHEEL,
                         MAKEWPARAM(static_cast<WORD>(keys), static_cast<WORD>(notch)),
                         MAKELPARAM(static_cast<WORD>(screen.x()), static_cast<WORD>(screen.y())));
  }
  event->accept();
}
