// The main window as a user drives it: real Qt key, mouse and wheel events into
// the real window, the options dialog answered through its real keys.

#include "expr/cp1251.h"
#include "main_window_fixture.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace main_window_test;

TEST(MainWindow, StartsWithTheDialogThenTwoPassesAndShowsThePicture) {
  MainWindow w;
  EXPECT_EQ(w.passes, 2) << "one when the dialog closes, one at the end of creation";
  EXPECT_EQ(windowPixel(w.window, 300, 700), RGB(0, 0, 0)) << "the first picture is shown";
  EXPECT_EQ(w.view->liveState.firstProgram != nullptr, true) << "Apply ran inside creation";
  EXPECT_TRUE(w.buffersBeforeDialog);
}

TEST(MainWindow, TheCrosshairCursorIsTheClassCursorFromCreationOn) {
  MainWindow w;
  const QCursor cursor = w.widget()->cursor();
  ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
  EXPECT_EQ(cursor.hotSpot(), QPoint(15, 16));
  // Drawn for the window's screen.
  const qreal ratio = w.widget()->devicePixelRatioF();
  EXPECT_EQ(cursor.pixmap().devicePixelRatio(), ratio);
  const QImage image = cursor.pixmap().toImage();
  struct Probe {
    int x, y;
    bool black;
  };
  for (Probe p : {Probe{15, 0, true}, Probe{15, 31, true}, Probe{0, 16, true}, Probe{31, 16, true},
                  Probe{15, 16, false}, Probe{14, 15, false}, Probe{16, 17, false}}) {
    const QRgb pixel =
        image.pixel(static_cast<int>((p.x + 0.5) * ratio), static_cast<int>((p.y + 0.5) * ratio));
    EXPECT_EQ(pixel == qRgba(0, 0, 0, 255), p.black) << p.x << "," << p.y;
  }
  // The status bar along the bottom keeps the arrow.
  const auto* bar = w.widget()->findChild<QLabel*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
}

TEST(MainWindow, KeysChangeTheLiveStateAsTheTableSays) {
  struct Case {
    const char* name;
    quint32 native;
    int qtKey;
    bool keypad;
    const char* changed; // the field and its new value, or "" for no change
    double value;
  };
  const Case cases[] = {
      {"left", kLeft, Qt::Key_Left, false, "oX", 250},
      {"up", kUp, Qt::Key_Up, false, "oY", 250},
      {"right", kRight, Qt::Key_Right, false, "oX", 350},
      {"down", kDown, Qt::Key_Down, false, "oY", 350},
      {"Q", kQ, Qt::Key_Q, false, "xFrom", -9},
      {"W", kW, Qt::Key_W, false, "xFrom", -11},
      {"A", kA, Qt::Key_A, false, "yFrom", -9},
      {"S", kS, Qt::Key_S, false, "yFrom", -11},
      {"Q under a Russian layout", kQ, 0x0439, false, "xFrom", -9},
      {"keypad 1", kKp1, Qt::Key_1, true, "a", 1.01},
      {"keypad 2", kKp2, Qt::Key_2, true, "a", 0.99},
      {"keypad 4", kKp4, Qt::Key_4, true, "b", 1.01},
      {"keypad 5", kKp5, Qt::Key_5, true, "b", 0.99},
      {"keypad 6", kKp6, Qt::Key_6, true, "d", 0.99},
      {"keypad 7", kKp7, Qt::Key_7, true, "c", 1.01},
      {"keypad 8", kKp8, Qt::Key_8, true, "c", 0.99},
      {"keypad 9", kKp9, Qt::Key_9, true, "d", 1.01},
      {"keypad +", kKpPlus, Qt::Key_Plus, true, "pixels", 23},
      {"keypad -", kKpMinus, Qt::Key_Minus, true, "pixels", 17},
      {"keypad 4 without NumLock is the left arrow", kKp4, Qt::Key_Left, true, "oX", 250},
      {"keypad 8 without NumLock is the up arrow", kKp8, Qt::Key_Up, true, "oY", 250},
      {"keypad 6 without NumLock is the right arrow", kKp6, Qt::Key_Right, true, "oX", 350},
      {"keypad 1 without NumLock is End", kKp1, Qt::Key_End, true, "", 0},
      {"keypad 5 without NumLock is Clear", kKp5, Qt::Key_Clear, true, "", 0},
      {"main keyboard 1", kMain1, Qt::Key_1, false, "", 0},
      {"offscreen: keypad + by Qt's key alone", 0, Qt::Key_Plus, true, "pixels", 23},
      {"offscreen: main + by Qt's key alone", 0, Qt::Key_Plus, false, "", 0},
  };
  MainWindow w;
  for (const Case& c : cases) {
    PlotState& s = w.view->liveState;
    s.setView(300, 300, -10, 10, -10, 10, 20);
    s.a = s.b = s.c = s.d = 1;
    const int passesBefore = w.passes;
    w.key(c.native, c.qtKey, c.keypad ? Qt::KeypadModifier : Qt::NoModifier);
    const std::pair<const char*, double> fields[] = {
        {"oX", s.oX}, {"oY", s.oY}, {"xFrom", s.xFrom}, {"yFrom", s.yFrom},  {"a", s.a},
        {"b", s.b},   {"c", s.c},   {"d", s.d},         {"pixels", s.pixels}};
    const double unchanged[] = {300, 300, -10, -10, 1, 1, 1, 1, 20};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
      const double expected = std::strcmp(fields[i].first, c.changed) == 0 ? c.value : unchanged[i];
      EXPECT_NEAR(fields[i].second, expected, 1e-12) << c.name << ": " << fields[i].first;
    }
    EXPECT_EQ(w.passes - passesBefore, c.changed[0] != '\0' ? 1 : 0) << c.name;
    w.settle();
  }
}

TEST(MainWindow, ZoomStopsAtItsLimitsWithoutAnyReaction) {
  MainWindow w;
  PlotState& s = w.view->liveState;
  s.setView(300, 300, -10, 10, -10, 10, 4);
  w.key(kKpMinus, Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(s.pixels, 1);
  w.settle();
  const std::string status = w.status();
  const int passes = w.passes;
  w.key(kKpMinus, Qt::Key_Minus, Qt::KeypadModifier);
  w.wheel(-120);
  EXPECT_EQ(s.pixels, 1);
  EXPECT_EQ(w.passes, passes) << "no pass";
  EXPECT_EQ(w.status(), status) << "no status update";
  w.key(kKpPlus, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(s.pixels, 4);
}

TEST(MainWindow, OneNotchPerHundredTwentyWhateverTheWheelReports) {
  struct Case {
    std::vector<int> deltas;
    double pixels;
  };
  const Case cases[] = {
      {{120}, 21},
      {{-120}, 19},
      {{240}, 22},
      {{-360}, 17},
      {{40, 40, 40}, 21},
      {{60, 60, 60}, 21},
      {{60, -60, 60}, 21}, // the 60 left over makes a
                           // notch; a turn back starts
                           // afresh
      {{-60, 60, 60}, 21},
      {{INT_MAX}, 45}, // at most 25 notches from one event
  };
  MainWindow w;
  for (const Case& c : cases) {
    w.view->liveState.setView(300, 300, -10, 10, -10, 10, 20);
    for (int d : c.deltas) {
      w.wheel(d);
    }
    EXPECT_EQ(w.view->liveState.pixels, c.pixels)
        << c.deltas.size() << " turns from " << c.deltas[0];
    w.settle();
  }
}

// The echo of a key the table does not have, as the window's own font draws it.
bool echoShows(MainWindow& w, const char* text) {
  HDC expected = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 400, 30);
  SelectObject(expected, bitmap);
  PatBlt(expected, 0, 0, 400, 30, BLACKNESS);
  TextOutA(expected, 0, 10, text, static_cast<int>(std::strlen(text)));
  HDC dc = GetDC(w.window);
  bool same = true;
  for (int y = 10; y < 26 && same; ++y) {
    for (int x = 0; x < 400 && same; ++x) {
      const COLORREF want = GetPixel(expected, x, y);
      same = want == RGB(0, 0, 0) || GetPixel(dc, x, y) == want;
    }
  }
  ReleaseDC(w.window, dc);
  DeleteDC(expected);
  DeleteObject(bitmap);
  return same;
}

TEST(MainWindow, KeysOutsideTheTableAreEchoedWithTheirKeyData) {
  MainWindow w;
  const int passes = w.passes;
  w.key(kMain1, Qt::Key_1);
  EXPECT_TRUE(echoShows(w, "wParam = 49 lParam = 131073     "));
  w.key(kMain1, Qt::Key_1, Qt::NoModifier, true);
  EXPECT_TRUE(echoShows(w, "wParam = 49 lParam = 1073872897     "));
  EXPECT_FALSE(echoShows(w, "wParam = 48 lParam = 1073872897     ")) << "the check can fail";
  w.key(110, Qt::Key_Home); // an extended key: bit 24
  EXPECT_TRUE(echoShows(w, "wParam = 36 lParam = 21430273     "));
  EXPECT_EQ(w.passes, passes);
}

TEST(MainWindow, F1ShowsTheKeyHelpAndEscOpensTheDialogBothRedrawing) {
  MainWindow w;
  int passes = w.passes;
  w.key(kF1, Qt::Key_F1);
  ASSERT_EQ(w.boxes.size(), 1u);
  EXPECT_EQ(w.boxes[0], std::string("help|") + KeyHelpText);
  EXPECT_EQ(w.passes, passes + 1);
  w.settle();

  passes = w.passes;
  w.view->liveState.pan(50, 0);
  w.view->liveState.kind = ImplicitEqual;
  w.view->liveState.accuracy = 0.0005; // a pass of many seconds
  w.view->plotter.pruning = false;     // on the plain scan, which evaluates every sample
  w.view->startWorker();
  ASSERT_TRUE(pumpUntil([&] { return w.view->context.workerBusy.load(); }));
  bool stoppedFirst = false;
  answerDialogWith(Qt::Key_Escape, [&] { stoppedFirst = !w.view->context.workerBusy; });
  w.key(kEsc, Qt::Key_Escape);
  EXPECT_TRUE(stoppedFirst) << "Apply may replace the programs that a pass uses";
  EXPECT_EQ(w.passes, passes + 3) << "ours, one when the dialog closes, one after the key";
  EXPECT_EQ(w.view->liveState.oX, 350) << "Cancel leaves the live state";
}

TEST(MainWindow, DragMovesThePictureAndDrawsItAtTheRelease) {
  MainWindow w;
  const int passes = w.passes;
  w.mouse(QEvent::MouseButtonPress, 500, 500, Qt::LeftButton, Qt::LeftButton);
  w.mouse(QEvent::MouseMove, 550, 480, Qt::NoButton, Qt::LeftButton);
  w.mouse(QEvent::MouseMove, 600, 500, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(w.view->liveState.oX, 400);
  EXPECT_EQ(w.view->liveState.oY, 300);
  EXPECT_EQ(w.view->scrollX, -100);
  EXPECT_EQ(w.view->scrollY, 0);
  EXPECT_EQ(w.passes, passes) << "no pass during the drag";
  pumpUntil([&] { return !GetUpdateRect(w.window, nullptr, FALSE); });
  EXPECT_EQ(windowPixel(w.window, 400, 700), RGB(0, 0, 0)) << "the old picture, shifted";
  EXPECT_EQ(windowPixel(w.window, 50, 700), RGB(255, 255, 255));
  // Released far outside the window: the window still hears it.
  w.mouse(QEvent::MouseButtonRelease, 3000, -200, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(w.view->dragging);
  EXPECT_EQ(w.passes, passes + 1);
  w.settle();
  EXPECT_EQ(w.view->scrollX, 0);
  EXPECT_EQ(windowPixel(w.window, 400, 700), RGB(0, 0, 0));
  EXPECT_EQ(windowPixel(w.window, 0, 400), RGB(0, 120, 0)) << "a whole new picture";

  // A click without a move draws once more.
  w.mouse(QEvent::MouseButtonPress, 500, 500, Qt::LeftButton, Qt::LeftButton);
  w.mouse(QEvent::MouseButtonRelease, 500, 500, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(w.passes, passes + 2);

  // The right button's release in a drag opens the dialog, which ends the drag and
  // so draws its picture while the dialog is open; another pass follows its close.
  w.mouse(QEvent::MouseButtonPress, 500, 500, Qt::LeftButton, Qt::LeftButton);
  w.mouse(QEvent::MouseMove, 520, 500, Qt::NoButton, Qt::LeftButton);
  int passesInDialog = 0;
  answerDialogWith(Qt::Key_Escape, [&] { passesInDialog = w.passes; });
  w.mouse(QEvent::MouseButtonRelease, 520, 500, Qt::RightButton, Qt::LeftButton);
  EXPECT_EQ(passesInDialog, passes + 3);
  EXPECT_EQ(w.passes, passes + 4);
}

// The release of a drag interrupted by a modal window goes to that window. The
// drag ends as the window opens, or at the first mouse message that says the
// button is up; moves without a button then leave the picture where it is.
TEST(MainWindow, ADragEndsWhenAModalWindowOpensOrTheButtonIsUp) {
  struct Case {
    const char* name;
    void (*interrupt)(MainWindow&);
  } cases[] = {
      {"right button",
       [](MainWindow& w) {
         answerDialogWith(Qt::Key_Escape);
         w.mouse(QEvent::MouseButtonRelease, 560, 500, Qt::RightButton, Qt::LeftButton);
       }},
      {"F1", [](MainWindow& w) { w.key(kF1, Qt::Key_F1); }},
      {"Esc",
       [](MainWindow& w) {
         answerDialogWith(Qt::Key_Escape);
         w.key(kEsc, Qt::Key_Escape);
       }},
      {"released elsewhere", nullptr},
  };
  MainWindow w;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.mouse(QEvent::MouseButtonPress, 500, 500, Qt::LeftButton, Qt::LeftButton);
    w.mouse(QEvent::MouseMove, 560, 500, Qt::NoButton, Qt::LeftButton);
    const double oX = w.view->liveState.oX;
    if (c.interrupt != nullptr) {
      c.interrupt(w);
      EXPECT_FALSE(w.view->dragging) << "ended as the modal window opened";
    }
    const int passes = w.passes;
    w.mouse(QEvent::MouseMove, 600, 450, Qt::NoButton, Qt::NoButton);
    w.mouse(QEvent::MouseMove, 650, 400, Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(w.view->dragging);
    EXPECT_EQ(w.view->liveState.oX, oX);
    EXPECT_EQ(w.passes - passes, c.interrupt != nullptr ? 0 : 1) << "one pass for the new origin";
    w.settle();
  }
}

// The status bar is a window of its own: the mouse over it never reaches the
// main window's procedure. (Its wheel is tried under X, end to end: Qt passes a
// wheel event from a child to its parent only when the window system sent it.)
TEST(MainWindow, TheStatusBarKeepsItsMouseToItself) {
  MainWindow w;
  auto* bar = w.widget()->findChild<QLabel*>();
  ASSERT_NE(bar, nullptr);
  const double oX = w.view->liveState.oX;
  const int passes = w.passes;
  bool dialog = false;
  QTimer::singleShot(0, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      dialog = true;
      modal->close();
    }
  });
  auto send = [bar](QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(x, 10), bar->mapToGlobal(QPointF(x, 10)), button, held,
                  Qt::NoModifier);
    QApplication::sendEvent(bar, &e);
  };
  send(QEvent::MouseButtonPress, 600, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, 660, Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, 660, Qt::LeftButton, Qt::NoButton);
  send(QEvent::MouseButtonPress, 300, Qt::RightButton, Qt::RightButton);
  send(QEvent::MouseButtonRelease, 300, Qt::RightButton, Qt::NoButton);
  pumpEvents();
  EXPECT_FALSE(dialog) << "the right button opened the options";
  EXPECT_EQ(w.view->liveState.oX, oX);
  EXPECT_EQ(w.passes, passes);
}

TEST(MainWindow, ADragPastTheTopLeftCornerFollowsTheMouse) {
  MainWindow w;
  w.mouse(QEvent::MouseButtonPress, 100, 100, Qt::LeftButton, Qt::LeftButton);
  w.mouse(QEvent::MouseMove, -20, -50, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(w.view->liveState.oX, 180);
  EXPECT_EQ(w.view->liveState.oY, 150);
  EXPECT_EQ(w.view->scrollX, 120);
  EXPECT_EQ(w.view->scrollY, 150);
  w.mouse(QEvent::MouseButtonRelease, -20, -50, Qt::LeftButton, Qt::NoButton);
}

TEST(MainWindow, GrowingTheWindowDrawsMoreOfThePlaneInOnePass) {
  MainWindow w;
  const int passes = w.passes;
  MoveWindow(w.window, 0, 0, 2400, 1800, TRUE);
  w.settle();
  EXPECT_EQ(w.passes, passes + 1);
  EXPECT_EQ(windowPixel(w.window, 2397, 300), RGB(0, 0, 0)) << "the axis reaches the new edge";
  EXPECT_EQ(windowPixel(w.window, 2399, 300), RGB(0, 120, 0)) << "the frame at the new edge";
  EXPECT_EQ(windowPixel(w.window, 300, 1777), RGB(0, 0, 0));
  EXPECT_EQ(w.widget()->findChild<QLabel*>()->geometry(), QRect(0, 1780, 2400, 20));
  MoveWindow(w.window, 0, 0, 1200, 900, TRUE); // smaller: pictures of the new size
  w.settle();
  EXPECT_EQ(w.passes, passes + 2);
  EXPECT_EQ(windowPixel(w.window, 1197, 300), RGB(0, 0, 0));
  EXPECT_EQ(windowPixel(w.window, 1199, 300), RGB(0, 120, 0)) << "the frame at the new edge";
}

TEST(MainWindow, AFailedDialogIsReportedAndDrawsNothing) {
  MainWindow w;
  const int passes = w.passes;
  // Destroyed under its loop, the dialog has no result: DialogBoxParamA fails.
  whenDialogShows([](QWidget* modal) { delete modal; });
  SendMessageA(w.window, WM_RBUTTONUP, 0, 0);
  EXPECT_EQ(w.boxes, std::vector<std::string>{std::string("ошибка"_cp1251) + "|DialogBox"});
  EXPECT_EQ(w.passes, passes);
}

TEST(MainWindow, ClosingWhileAPassRunsStopsItAndEndsTheLoop) {
  MainWindow w;
  w.view->liveState.kind = ImplicitEqual;
  w.view->liveState.accuracy = 0.0005;
  w.view->plotter.pruning = false; // a pass of many seconds on the plain scan
  w.view->startWorker();
  ASSERT_TRUE(pumpUntil([&] { return w.view->context.workerBusy.load(); }));
  QTimer::singleShot(0, [&] { w.widget()->close(); });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_FALSE(IsWindow(w.window));
  w.view.reset(); // stops the pass before the pictures go
}

// Random keys, moves, drags and wheel turns: no crash, race, leak or hang, and
// the last picture is shown at the end.
TEST(MainWindow, AHundredThousandRandomInputs) {
  MainWindow w;
  std::mt19937 random(20261209);
  const quint32 keys[] = {kLeft, kUp,  kRight, kDown, kQ,   kW,   kA,      kS,       kKp1,  kKp2,
                          kKp4,  kKp5, kKp6,   kKp7,  kKp8, kKp9, kKpPlus, kKpMinus, kMain1};
  bool down = false;
  for (int i = 0; i < 100000; ++i) {
    const int x = static_cast<int>(random() % 1400) - 100;
    const int y = static_cast<int>(random() % 1000) - 100;
    switch (random() % 10) {
    case 0:
    case 1:
    case 2:
      w.key(keys[random() % std::size(keys)], Qt::Key_unknown, Qt::NoModifier, random() % 4 == 0);
      break;
    case 3:
      w.mouse(down ? QEvent::MouseButtonRelease : QEvent::MouseButtonPress, x, y, Qt::LeftButton,
              down ? Qt::NoButton : Qt::LeftButton);
      down = !down;
      break;
    case 4:
      w.wheel(static_cast<int>(random() % 481) - 240);
      break;
    default:
      w.mouse(QEvent::MouseMove, x, y, Qt::NoButton, down ? Qt::LeftButton : Qt::NoButton);
      break;
    }
    if (i % 64 == 0) {
      QCoreApplication::processEvents();
    }
  }
  if (down) {
    w.mouse(QEvent::MouseButtonRelease, 10, 10, Qt::LeftButton, Qt::NoButton);
  }
  PlotState& s = w.view->liveState;
  s.setView(500, 400, -10, 10, -10, 10, 20);
  s.kind = Explicit;
  s.accuracy = 0.01;
  w.key(kRight, Qt::Key_Right);
  w.settle();
  EXPECT_EQ(windowPixel(w.window, 550, 700), RGB(0, 0, 0));
  EXPECT_EQ(windowPixel(w.window, 100, 400), RGB(0, 0, 0));
}

} // namespace
