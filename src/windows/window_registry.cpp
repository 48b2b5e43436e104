// The registry of live windows, message routing, window DCs, and the wake-up of
// the UI thread when another thread wants a window shown again.

#include "expr/cp1251.h"
#include "windows/window_internal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <unordered_map>
#include <vector>

namespace windows {
namespace {

struct Present {
  HWND window;
  QRect part; // null: the whole window
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<HWND, WindowPtr> live;
  // Window DCs handed out and the window each belongs to.
  std::unordered_map<HDC, WindowPtr> windowDCs;
  // What to present, gathered from other threads until the UI thread wakes.
  std::vector<Present> pending;
  BuiltinHandler builtins[4] = {};
};

// Never destroyed: worker threads may still ask for windows during static destruction.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

std::atomic<std::thread::id> uiThread{};
int wakeFd = -1;

// A display frame: parts drawn by other threads are shown at most this often.
constexpr int kFrameMs = 16;

// UI thread only: parts waiting for the next frame, and when the last were shown.
std::vector<Present> heldParts;
QElapsedTimer lastParts;
bool frameArmed = false;

void show(const Present& p) {
  WindowPtr w = findWindow(p.window);
  if (w && w->widget) {
    if (p.part.isNull()) {
      w->widget->update();
    } else {
      w->widget->update(p.part);
    }
  }
}

void showHeldParts() {
  frameArmed = false;
  lastParts.start();
  std::vector<Present> parts;
  parts.swap(heldParts);
  for (const Present& p : parts) {
    show(p);
  }
}

// On the UI thread, when the wake-up fires: present every window asked for, and
// the parts asked for once a frame has passed since the last.
void presentPending() {
  std::uint64_t count = 0;
  [[maybe_unused]] ssize_t got = ::read(wakeFd, &count, sizeof count);
  std::vector<Present> asked;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    asked.swap(r.pending);
  }
  for (const Present& p : asked) {
    if (p.part.isNull()) {
      show(p);
      continue;
    }
    auto held = std::find_if(heldParts.begin(), heldParts.end(),
                             [&](const Present& h) { return h.window == p.window; });
    if (held != heldParts.end()) {
      held->part |= p.part;
    } else {
      heldParts.push_back(p);
    }
  }
  if (heldParts.empty() || frameArmed) {
    return;
  }
  const qint64 elapsed = lastParts.isValid() ? lastParts.elapsed() : kFrameMs;
  if (elapsed >= kFrameMs) {
    showHeldParts();
  } else {
    frameArmed = true;
    QTimer::singleShot(static_cast<int>(kFrameMs - elapsed), Qt::PreciseTimer,
                       QCoreApplication::instance(), showHeldParts);
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

void requestUpdate(HWND window, const RECT* part) {
  const Present present{window, part != nullptr ? QRect(QPoint(part->left, part->top),
                                                        QPoint(part->right - 1, part->bottom - 1))
                                                : QRect()};
  if (present.part.isEmpty() && part != nullptr) {
    return;
  }
  if (onUiThread()) {
    show(present);
    return;
  }
  Registry& r = registry();
  bool first = false;
  {
    std::lock_guard lock(r.mutex);
    if (r.live.count(window) == 0 || wakeFd < 0) {
      return;
    }
    auto same = std::find_if(r.pending.begin(), r.pending.end(), [&](const Present& p) {
      return p.window == window && p.part.isNull() == present.part.isNull();
    });
    if (same == r.pending.end()) {
      first = r.pending.empty();
      r.pending.push_back(present);
    } else if (!present.part.isNull()) {
      same->part |= present.part;
    }
  }
  if (first) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t put = ::write(wakeFd, &one, sizeof one);
  }
  if (present.part.isNull()) {
    // A kernel that packs threads onto few cores wakes the UI thread on this one,
    // behind whatever this thread does next: it gives way, so the picture comes first.
    sched_yield();
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
  SetBoundsRect(dc, nullptr, DCB_ENABLE | DCB_RESET);
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
  RECT drawn{};
  const bool any = GetBoundsRect(dc, &drawn, 0) == DCB_SET;
  const double scale = GetDeviceScale(dc);
  if (any && scale > 1) {
    // The bounds are device pixels; Qt takes the logical ones that hold them.
    drawn = RECT{static_cast<LONG>(std::floor(drawn.left / scale)),
                 static_cast<LONG>(std::floor(drawn.top / scale)),
                 static_cast<LONG>(std::ceil(drawn.right / scale)),
                 static_cast<LONG>(std::ceil(drawn.bottom / scale))};
  }
  DeleteDC(dc); // also deselects the backing
  w->backingLock.unlock();
  if (present && any) {
    requestUpdate(w.get(), &drawn);
  }
}

QString fromText(const char* bytes) {
  return QString::fromStdString(cp1251::toUtf8(bytes != nullptr ? bytes : ""));
}

std::string toText(const QString& text) {
  return cp1251::fromUtf8(text.toStdString());
}

} // namespace windows
