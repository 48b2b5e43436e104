#pragma once
// The program's main window as the main-window tests drive it: real Qt key,
// mouse and wheel events into the real window, the options dialog answered
// through its real keys, passes counted and message boxes answered by hooks.

#include "../windows/gui_test_util.h"
#include "options/options_dialog.h"
#include "view/main_window.h"
#include "windows/window_internal.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace main_window_test {

// X key codes (evdev + 8) of the keys used here.
enum Native : quint32 {
  kEsc = 9,
  kMain1 = 10,
  kQ = 24,
  kW = 25,
  kA = 38,
  kS = 39,
  kF1 = 67,
  kKp7 = 79,
  kKp8 = 80,
  kKp9 = 81,
  kKpMinus = 82,
  kKp4 = 83,
  kKp5 = 84,
  kKp6 = 85,
  kKpPlus = 86,
  kKp1 = 87,
  kKp2 = 88,
  kUp = 111,
  kLeft = 113,
  kRight = 114,
  kDown = 116,
};

// Runs act on the next modal dialog, once it is shown.
inline void whenDialogShows(const std::function<void(QWidget*)>& act) {
  QTimer::singleShot(0, [act] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      act(modal);
    } else {
      whenDialogShows(act);
    }
  });
}

// Answers the next options dialog with one key, after a look at the world.
inline void answerDialogWith(Qt::Key key, const std::function<void()>& look = nullptr) {
  whenDialogShows([key, look](QWidget* modal) {
    if (look) {
      look();
    }
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(modal->focusWidget() ? modal->focusWidget() : modal, &press);
  });
}

// The program's main window around a view of the test's own.
struct MainWindow {
  std::unique_ptr<GraphView> view = std::make_unique<GraphView>();
  PlotSettings settings;
  HWND window = nullptr;
  int passes = 0; // threads created
  std::vector<std::string> boxes;
  bool buffersBeforeDialog = false;

  MainWindow() {
    static const bool registered = [] {
      WNDCLASSEXA c{};
      c.cbSize = sizeof c;
      c.style = CS_HREDRAW | CS_VREDRAW;
      c.lpfnWndProc = mainWindowProc;
      c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
      c.lpszClassName = "MainWindowTest";
      return RegisterClassExA(&c) != 0;
    }();
    (void)registered;
    setMainWindowView(view.get());
    setOptionsDialogTarget(&settings, &view->liveState);
    DialogHooks hooks;
    hooks.threadCreation = [this] {
      ++passes;
      return true;
    };
    hooks.messageBox = [this](HWND, LPCSTR text, LPCSTR caption, UINT) {
      boxes.push_back(std::string(caption) + "|" + text);
      return IDOK;
    };
    SetDialogHooks(hooks);
    // Apply the defaults at creation.
    answerDialogWith(Qt::Key_Return, [this] { buffersBeforeDialog = view->statusBar != nullptr; });
    window = CreateWindowExA(0, "MainWindowTest", "Lumicurve", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 788,
                             nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    settle();
  }
  ~MainWindow() {
    if (view) {
      view->stopWorker();
    }
    if (IsWindow(window)) {
      DestroyWindow(window);
      MSG quit; // the quit message that the window's end posted
      GetMessageA(&quit, nullptr, 0, 0);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetDialogHooks(DialogHooks{});
  }

  QWidget* widget() const { return windows::findWindow(window)->widget; }

  // Lets the running pass finish and the window paint it.
  void settle() {
    pumpUntil([&] { return !view->passAfterPaint; }, 2000); // a pass that a resize asked for
    if (view->workerThread != nullptr) {
      WaitForSingleObject(view->workerThread, INFINITE);
    }
    pumpUntil([&] { return !GetUpdateRect(window, nullptr, FALSE); }, 2000);
  }

  void key(quint32 native, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           bool repeat = false, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, native, 0, 0, text, repeat);
    QApplication::sendEvent(widget(), &press);
  }
  void mouse(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(x, y), widget()->mapToGlobal(QPointF(x, y)), button, held,
                  Qt::NoModifier);
    QApplication::sendEvent(widget(), &e);
  }
  void wheel(int delta) {
    QWheelEvent e(QPointF(500, 500), widget()->mapToGlobal(QPointF(500, 500)), QPoint(),
                  QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget(), &e);
  }
  std::string status() const { return view->liveState.statusText; }
};

} // namespace main_window_test
