// The calls on windows made below the window services, through their hooks.

#include "window_calls/window_calls.h"

#include "expr/cp1251.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace {

struct HookState {
  std::mutex mutex;
  WindowSurfaceHooks hooks;
};

HookState& hookState() {
  static HookState* instance = new HookState;
  return *instance;
}

WindowSurfaceHooks currentHooks() {
  HookState& s = hookState();
  std::lock_guard lock(s.mutex);
  return s.hooks;
}

} // namespace

void SetWindowSurfaceHooks(const WindowSurfaceHooks& hooks) {
  HookState& s = hookState();
  std::lock_guard lock(s.mutex);
  s.hooks = hooks;
}

WindowSurfaceHooks GetWindowSurfaceHooks() {
  return currentHooks();
}

HDC GetDC(HWND window) {
  const WindowSurfaceHooks hooks = currentHooks();
  return hooks.getDC != nullptr ? hooks.getDC(window) : nullptr;
}

int ReleaseDC(HWND window, HDC dc) {
  const WindowSurfaceHooks hooks = currentHooks();
  return hooks.releaseDC != nullptr ? hooks.releaseDC(window, dc) : 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowSurfaceHooks hooks = currentHooks();
  return hooks.sendMessage != nullptr ? hooks.sendMessage(window, message, wParam, lParam) : 0;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const WindowSurfaceHooks hooks = currentHooks();
  return hooks.messageBox != nullptr ? hooks.messageBox(owner, text, caption, type)
                                     : WriteMessageBox(text, caption);
}

int WriteMessageBox(LPCSTR text, LPCSTR caption) {
  std::string line = cp1251::toUtf8(caption != nullptr ? caption : "") + ": " +
                     cp1251::toUtf8(text != nullptr ? text : "") + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  return IDOK;
}
