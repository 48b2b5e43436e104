// The open-file dialog on Qt's own file dialog widget, so that it looks and
// behaves the same on every desktop and tests can drive it.

#include "windows/dialog_hooks.h"
#include "windows/window_internal.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>

#include <cstring>

namespace {

// The pairs of a Windows filter ("description", NUL, "patterns", NUL, ..., NUL)
// as Qt's name filters; Windows separates patterns with ';', Qt with blanks.
QStringList nameFilters(LPCSTR filter) {
  QStringList filters;
  if (filter == nullptr) {
    return filters;
  }
  while (*filter != '\0') {
    const QString description = windows::fromText(filter);
    filter += std::strlen(filter) + 1;
    if (*filter == '\0') {
      break;
    }
    QString patterns = windows::fromText(filter);
    filter += std::strlen(filter) + 1;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters.push_back(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
  }
  return filters;
}

// The path in code page 1251, or nothing when the code page cannot hold it.
bool toCodePage(const QString& path, std::string& bytes) {
  bytes = windows::toText(path);
  return windows::fromText(bytes.c_str()) == path;
}

} // namespace

BOOL GetOpenFileNameA(OPENFILENAMEA* record) {
  if (auto hook = currentDialogHooks().openFileName) {
    return hook(record);
  }
  if (record == nullptr || record->lpstrFile == nullptr || record->nMaxFile == 0 ||
      !windows::ensureServices() || !windows::onUiThread()) {
    return FALSE;
  }
  windows::WindowPtr owner = windows::findWindow(record->hwndOwner);
  QWidget* parent = owner && owner->widget ? owner->widget->window() : nullptr;

  windows::ModalScope modal(parent);
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The filter shows its description only, as on Windows.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // The file need not exist, and nothing is asked before an existing one is chosen.
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = nameFilters(record->lpstrFilter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const qsizetype index = record->nFilterIndex > 0 ? record->nFilterIndex - 1 : 0;
    dialog.selectNameFilter(filters.value(index, filters.first()));
  }
  const QString start = windows::fromText(
      std::string(record->lpstrFile, strnlen(record->lpstrFile, record->nMaxFile)).c_str());
  if (!start.isEmpty()) {
    const QFileInfo info(start);
    dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }

  // Without an owner it blocks no window, as on Windows; its own loop waits for it.
  dialog.setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::NonModal);
  QEventLoop loop;
  QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
  dialog.show();
  windows::ModalScope::takeFocus(dialog);
  loop.exec(QEventLoop::DialogExec);

  const QStringList chosen = dialog.selectedFiles();
  if (dialog.result() != QDialog::Accepted || chosen.isEmpty()) {
    return FALSE;
  }
  const QString path = QFileInfo(chosen.first()).absoluteFilePath();
  std::string bytes;
  if (!toCodePage(path, bytes) || bytes.size() + 1 > record->nMaxFile) {
    return FALSE;
  }
  std::memcpy(record->lpstrFile, bytes.c_str(), bytes.size() + 1);
  const std::size_t slash = bytes.rfind('/');
  const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = bytes.rfind('.');
  record->nFileOffset = static_cast<WORD>(nameAt);
  record->nFileExtension =
      static_cast<WORD>(dot != std::string::npos && dot >= nameAt ? dot + 1 : bytes.size());
  return TRUE;
}
