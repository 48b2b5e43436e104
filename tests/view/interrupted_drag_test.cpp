// A drag ended by a modal window (F1's box, the options dialog by Esc or the right
// button) is drawn in its place at once, while the window is still open: no old
// picture shifted with white bands behind the box.

#include "main_window_fixture.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

using namespace main_window_test;

// The whole new picture at the drag's origin is on screen: nothing shifted, the
// frame at the left edge.
bool drawnInPlace(MainWindow& w) {
  return pumpUntil(
      [&] {
        return w.view->scrollX == 0 && w.view->scrollY == 0 &&
               !GetUpdateRect(w.window, nullptr, FALSE) &&
               windowPixel(w.window, 0, 400) == RGB(0, 120, 0) &&
               windowPixel(w.window, static_cast<int>(w.view->liveState.oX), 700) == RGB(0, 0, 0);
      },
      5000);
}

TEST(MainWindow, ADragEndedByAModalWindowIsDrawnInItsPlaceWhileItIsOpen) {
  struct Case {
    const char* name;
    void (*interrupt)(MainWindow&, const std::function<void()>& look);
  } cases[] = {
      {"F1",
       [](MainWindow& w, const std::function<void()>& look) {
         DialogHooks hooks;
         hooks.messageBox = [&look](HWND, LPCSTR, LPCSTR, UINT) {
           look();
           return IDOK;
         };
         SetDialogHooks(hooks);
         w.key(kF1, Qt::Key_F1);
         SetDialogHooks(DialogHooks{});
       }},
      {"Esc",
       [](MainWindow& w, const std::function<void()>& look) {
         answerDialogWith(Qt::Key_Escape, look);
         w.key(kEsc, Qt::Key_Escape);
       }},
      {"right button",
       [](MainWindow& w, const std::function<void()>& look) {
         answerDialogWith(Qt::Key_Escape, look);
         w.mouse(QEvent::MouseButtonRelease, 560, 500, Qt::RightButton, Qt::LeftButton);
       }},
  };
  MainWindow w;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.settle();
    w.mouse(QEvent::MouseButtonPress, 500, 500, Qt::LeftButton, Qt::LeftButton);
    w.mouse(QEvent::MouseMove, 560, 470, Qt::NoButton, Qt::LeftButton);
    ASSERT_EQ(w.view->scrollX, -60);
    bool inPlace = false;
    c.interrupt(w, [&] { inPlace = drawnInPlace(w); });
    EXPECT_TRUE(inPlace);
    w.mouse(QEvent::MouseMove, 600, 450, Qt::NoButton, Qt::NoButton);
  }
}

// The drag's pass draws while the options dialog is open; Apply replaces the
// programs it evaluates, so it must stop the pass first (the sanitizers would see
// a pass on freed programs).
TEST(MainWindow, ApplyStopsThePassThatADragEndedByTheDialogStarted) {
  MainWindow w;
  {
    std::lock_guard<std::mutex> lock(w.view->liveState.changeLock);
    // A curve of many seconds, evaluating its program at every chunk.
    w.view->liveState.accuracy = 1e-7;
  }
  w.mouse(QEvent::MouseButtonPress, 500, 500, Qt::LeftButton, Qt::LeftButton);
  w.mouse(QEvent::MouseMove, 560, 470, Qt::NoButton, Qt::LeftButton);
  bool drawing = false;
  answerDialogWith(Qt::Key_Return,
                   [&] { drawing = pumpUntil([&] { return w.view->context.workerBusy.load(); }); });
  w.mouse(QEvent::MouseButtonRelease, 560, 500, Qt::RightButton, Qt::LeftButton);
  EXPECT_TRUE(drawing) << "the drag's pass ran while the dialog was open";
  EXPECT_NE(w.view->liveState.accuracy, 1e-7) << "Apply installed the settings";
  w.settle();
  EXPECT_TRUE(drawnInPlace(w));
}

} // namespace
