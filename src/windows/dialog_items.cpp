// The controls of a dialog and the texts of windows: look-up by identifier, texts
// in code page 1251, check marks and enabling.

#include "windows/dialog_internal.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <cstring>

using windows::findWindow;
using windows::WindowPtr;

namespace {

QString textOf(const HWND__& w) {
  QWidget* widget = w.widget.data();
  if (widget == nullptr) {
    return {};
  }
  if (w.kind == WindowKind::Top || w.kind == WindowKind::Dialog) {
    return widget->windowTitle();
  }
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    return edit->text();
  }
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    return button->text();
  }
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    return label->text();
  }
  if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
    return frame->title();
  }
  return {};
}

void setControlText(QWidget* widget, const QString& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(text);
    edit->setCursorPosition(0); // a long text shows its beginning, as an edit does on Windows
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
    frame->setTitle(text);
  }
}

QAbstractButton* buttonOf(HWND dialog, int id) {
  WindowPtr c = findWindow(GetDlgItem(dialog, id));
  return c ? qobject_cast<QAbstractButton*>(c->widget.data()) : nullptr;
}

} // namespace

HWND GetDlgItem(HWND dialog, int id) {
  std::shared_ptr<DialogState> state = windows::dialogStateOf(dialog);
  if (!state) {
    return nullptr;
  }
  for (HWND control : state->controls) {
    WindowPtr c = findWindow(control);
    if (c && c->id == id) {
      return control;
    }
  }
  return nullptr;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  WindowPtr w = findWindow(window);
  if (!w || !w->widget || !windows::onUiThread()) {
    return FALSE;
  }
  switch (w->kind) {
  case WindowKind::Top:
  case WindowKind::Dialog:
    w->widget->setWindowTitle(windows::fromText(text));
    return TRUE;
  case WindowKind::StatusBar:
    return windows::sendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
  case WindowKind::Control:
    setControlText(w->widget, windows::fromText(text));
    return TRUE;
  }
  return FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int count) {
  if (buffer == nullptr || count <= 0) {
    return 0;
  }
  buffer[0] = '\0';
  WindowPtr w = findWindow(window);
  if (!w || !windows::onUiThread()) {
    return 0;
  }
  const std::string text = windows::toText(textOf(*w));
  // A window's text ends at its first NUL.
  const std::size_t length =
      std::min({std::strlen(text.c_str()), static_cast<std::size_t>(count - 1)});
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  QAbstractButton* button = buttonOf(dialog, id);
  if (button == nullptr || !windows::onUiThread()) {
    return FALSE;
  }
  if (button->isCheckable()) { // a push button has no check mark to set
    button->setChecked(check == BST_CHECKED);
  }
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  QAbstractButton* button = buttonOf(dialog, id);
  return button != nullptr && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  WindowPtr w = findWindow(window);
  if (!w || !w->widget || !windows::onUiThread()) {
    return FALSE;
  }
  // Whether the window itself was disabled, whatever its parent is.
  const BOOL wasDisabled = w->widget->testAttribute(Qt::WA_ForceDisabled) ? TRUE : FALSE;
  w->widget->setEnabled(enable != FALSE);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
  WindowPtr w = findWindow(window);
  return w && w->widget && !w->widget->testAttribute(Qt::WA_ForceDisabled) ? TRUE : FALSE;
}
