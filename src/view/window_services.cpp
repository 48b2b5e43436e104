#include "view/window_services.h"

#include "expr/cp1251.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::mutex hooksLock;
DialogHooks& hooks() {
  static DialogHooks instance;
  return instance;
}

} // namespace

void SetDialogHooks(DialogHooks newHooks) {
  std::lock_guard<std::mutex> lock(hooksLock);
  hooks() = std::move(newHooks);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::function<int(HWND, LPCSTR, LPCSTR, UINT)> hook;
  {
    std::lock_guard<std::mutex> lock(hooksLock);
    hook = hooks().messageBox;
  }
  if (hook) {
    return hook(owner, text, caption, type);
  }
  std::string line = cp1251::toUtf8(caption != nullptr ? caption : "") + ": " +
                     cp1251::toUtf8(text != nullptr ? text : "") + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  return IDOK;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* dialog) {
  std::function<BOOL(OPENFILENAMEA*)> hook;
  {
    std::lock_guard<std::mutex> lock(hooksLock);
    hook = hooks().openFileName;
  }
  if (hook) {
    return hook(dialog);
  }
  return FALSE;
}
