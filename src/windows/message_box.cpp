// Message boxes, and the hooks through which tests answer the system's dialogs.

#include "windows/dialog_hooks.h"
#include "windows/window_internal.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTimer>

#include <mutex>
#include <optional>

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

// The width a caption needs in a title bar: its text in a bold title font, with
// room to spare, beside the window manager's icon and up to three buttons.
int captionWidth(const QString& caption) {
  QFont font = QApplication::font("QMdiSubWindowTitleBar");
  font.setBold(true);
  const QFontMetrics metrics(font);
  const int button = metrics.height() + 10;
  return metrics.horizontalAdvance(caption) * 5 / 4 + 4 * button + 2 * metrics.averageCharWidth();
}

// Qt's box sizes itself to its text and leaves the caption some 50 pixels, which
// a title bar with buttons elides to nothing ("О...ка"). A spacer as wide as the
// caption needs widens the layout, which the box's own sizing honours.
void widenForCaption(QMessageBox& box) {
  const int wanted = captionWidth(box.windowTitle());
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  } else {
    box.setMinimumWidth(wanted);
  }
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
  // Widgets only on the UI thread. A box answered by a test's hook still opens over
  // the windows as far as they know.
  QWidget* parent = nullptr;
  std::optional<windows::ModalScope> modal;
  auto open = [&] {
    windows::WindowPtr w = windows::findWindow(owner);
    parent = w && w->widget ? w->widget->window() : nullptr;
    modal.emplace(parent);
  };
  if (windows::onUiThread()) {
    open();
  }
  if (auto hook = currentDialogHooks().messageBox) {
    return hook(owner, text, caption, type);
  }
  if (!windows::ensureServices() || !windows::onUiThread()) {
    return WriteMessageBox(text, caption);
  }
  if (!modal) {
    open();
  }
  QMessageBox box(QMessageBox::NoIcon, boxText(caption), boxText(text), QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  widenForCaption(box);
  QTimer::singleShot(0, &box, [&box] { windows::ModalScope::takeFocus(box); });
  box.exec();
  return IDOK;
}
