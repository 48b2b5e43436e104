// Message boxes, and the hooks through which tests answer the system's dialogs.

#include "windows/dialog_hooks.h"
#include "windows/window_internal.h"

#include <QMessageBox>

#include <mutex>

namespace {

std::mutex hooksLock;
DialogHooks& hooks() {
  static auto* instance = new DialogHooks;
  return *instance;
}

// The line breaks of the system's texts are CR LF.
QString boxText(LPCSTR text) {
  QString s = windows::fromText(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

} // namespace

void SetDialogHooks(DialogHooks newHooks) {
  {
    std::lock_guard<std::mutex> lock(hooksLock);
    hooks() = std::move(newHooks);
  }
  // So that a message box reaches the test's hook before any window exists.
  windows::installSurfaceHooks();
}

DialogHooks currentDialogHooks() {
  std::lock_guard<std::mutex> lock(hooksLock);
  return hooks();
}

int windows::showMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (auto hook = currentDialogHooks().messageBox) {
    return hook(owner, text, caption, type);
  }
  if (!windows::ensureServices() || !windows::onUiThread()) {
    return WriteMessageBox(text, caption);
  }
  windows::WindowPtr w = windows::findWindow(owner);
  QWidget* parent = w ? w->widget.data() : nullptr;
  if (parent != nullptr) {
    parent = parent->window();
  }
  QMessageBox box(QMessageBox::NoIcon, boxText(caption), boxText(text), QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  box.exec();
  return IDOK;
}
