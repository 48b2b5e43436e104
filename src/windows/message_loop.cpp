// The message loop over Qt's event loop. Input reaches the window procedures
// straight from the host widgets' event handlers, so that modal loops (dialogs,
// message boxes) deliver it too; the queue holds what is posted: the quit message.

#include "windows/window_internal.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <deque>

namespace {

std::deque<MSG>& posted() {
  static auto* queue = new std::deque<MSG>;
  return *queue;
}

} // namespace

void PostQuitMessage(int exitCode) {
  if (!windows::onUiThread()) {
    return;
  }
  posted().push_back(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<unsigned>(exitCode)), 0,
                         0, POINT{0, 0}});
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
    dispatcher->wakeUp();
  }
}

BOOL GetMessageA(MSG* message, HWND, UINT, UINT) {
  if (message == nullptr || !windows::ensureServices() || !windows::onUiThread()) {
    return -1;
  }
  std::deque<MSG>& queue = posted();
  while (queue.empty()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  *message = queue.front();
  queue.pop_front();
  if (message->message == WM_QUIT) {
    // Windows destroyed during the loop are deleted before it is left.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return FALSE;
  }
  return TRUE;
}

BOOL TranslateMessage(const MSG*) {
  return FALSE; // no window of the system reads WM_CHAR
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) {
    return 0;
  }
  return windows::sendMessage(message->hwnd, message->message, message->wParam, message->lParam);
}
