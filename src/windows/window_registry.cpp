// The registry of live windows, message routing, window DCs, and the wake-up of
// the UI thread when another thread wants a window shown again.

#include "expr/cp1251.h"
#include "windows/window_internal.h"

#include <QApplication>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <unordered_map>
#include <vector>

namespace windows {
namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<HWND, WindowPtr> live;
  // Window DCs handed out and the window each belongs to.
  std::unordered_map<HDC, WindowPtr> windowDCs;
  // Windows to present, gathered from other threads until the UI thread wakes.
  std::vector<HWND> pending;
  BuiltinHandler builtins[4] = {};
};

// Never destroyed: worker threads may still ask for windows during static destruction.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

std::atomic<std::thread::id> uiThread{};
int wakeFd = -1;

// On the UI thread, when the wake-up fires: present every window asked for.
void presentPending() {
  std::uint64_t count = 0;
  [[maybe_unused]] ssize_t got = ::read(wakeFd, &count, sizeof count);
  std::vector<HWND> windows;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    windows.swap(r.pending);
  }
  for (HWND handle : windows) {
    WindowPtr w = findWindow(handle);
    if (w && w->widget) {
      w->widget->update();
    }
  }
}

HDC hookGetDC(HWND handle) {
  WindowPtr w = findWindow(handle);
  return w ? acquireBackingDC(w) : nullptr;
}

int hookReleaseDC(HWND, HDC dc) {
  releaseBackingDC(dc, true);
  return 1;
}

} // namespace

HWND registerWindow(WindowPtr window) {
  HWND handle = window.get();
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.live.emplace(handle, std::move(window));
  return handle;
}

void unregisterWindow(HWND window) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.live.erase(window);
}

WindowPtr findWindow(HWND window) {
  if (window == nullptr) {
    return nullptr;
  }
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.live.find(window);
  return it == r.live.end() ? nullptr : it->second;
}

std::vector<WindowPtr> childrenOf(HWND parent) {
  std::vector<WindowPtr> children;
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  for (const auto& [handle, w] : r.live) {
    if (w->parent == parent) {
      children.push_back(w);
    }
  }
  return children;
}

bool ensureServices() {
  auto* app = QCoreApplication::instance();
  if (app == nullptr) {
    return false;
  }
  if (uiThread.load() != std::thread::id{}) {
    return true;
  }
  uiThread.store(std::this_thread::get_id());
  if (auto* gui = qobject_cast<QApplication*>(app)) {
    gui->setQuitOnLastWindowClosed(false);
  }
  // A worker wakes the UI thread through an eventfd: a write is all it does, so
  // nothing of Qt ever runs off the UI thread.
  wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  auto* notifier = new QSocketNotifier(wakeFd, QSocketNotifier::Read, app);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { presentPending(); });

  installSurfaceHooks();
  return true;
}

void installSurfaceHooks() {
  WindowSurfaceHooks hooks;
  hooks.getDC = hookGetDC;
  hooks.releaseDC = hookReleaseDC;
  hooks.sendMessage = sendMessage;
  hooks.messageBox = showMessageBox;
  SetWindowSurfaceHooks(hooks);
}

bool onUiThread() {
  const std::thread::id ui = uiThread.load();
  return ui != std::thread::id{} && ui == std::this_thread::get_id();
}

void requestUpdate(HWND window) {
  if (onUiThread()) {
    WindowPtr w = findWindow(window);
    if (w && w->widget) {
      w->widget->update();
    }
    return;
  }
  Registry& r = registry();
  bool first = false;
  {
    std::lock_guard lock(r.mutex);
    if (r.live.count(window) == 0 || wakeFd < 0) {
      return;
    }
    if (std::find(r.pending.begin(), r.pending.end(), window) == r.pending.end()) {
      first = r.pending.empty();
      r.pending.push_back(window);
    }
  }
  if (first) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t put = ::write(wakeFd, &one, sizeof one);
  }
}

void setBuiltinHandler(WindowKind kind, BuiltinHandler handler) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.builtins[static_cast<int>(kind)] = handler;
}

LRESULT sendMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  // Nothing in the system sends across threads; a send from elsewhere would run
  // a procedure on the wrong thread, so it is refused.
  if (!onUiThread()) {
    return 0;
  }
  WindowPtr w = findWindow(handle);
  if (!w) {
    return 0;
  }
  if (w->procedure != nullptr) {
    return w->procedure(handle, message, wParam, lParam);
  }
  BuiltinHandler handler;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    handler = r.builtins[static_cast<int>(w->kind)];
  }
  return handler != nullptr ? handler(w, message, wParam, lParam) : 0;
}

HDC acquireBackingDC(const WindowPtr& window) {
  window->backingLock.lock();
  if (window->destroyed || window->backing == nullptr) {
    window->backingLock.unlock();
    return nullptr;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  // A second DC of the same window on one thread finds the bitmap taken and
  // draws nothing, rather than waiting for itself.
  if (dc == nullptr || SelectObject(dc, window->backing) == nullptr) {
    DeleteDC(dc);
    window->backingLock.unlock();
    return nullptr;
  }
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.windowDCs.emplace(dc, window);
  return dc;
}

void releaseBackingDC(HDC dc, bool present) {
  WindowPtr w;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.windowDCs.find(dc);
    if (it == r.windowDCs.end()) {
      return;
    }
    w = std::move(it->second);
    r.windowDCs.erase(it);
  }
  DeleteDC(dc); // also deselects the backing
  w->backingLock.unlock();
  if (present) {
    requestUpdate(w.get());
  }
}

QString fromText(const char* bytes) {
  return QString::fromStdString(cp1251::toUtf8(bytes != nullptr ? bytes : ""));
}

std::string toText(const QString& text) {
  return cp1251::fromUtf8(text.toStdString());
}

} // namespace windows
