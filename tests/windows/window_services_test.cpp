// The window services as the system relies on them: creation, messages, painting
// from any thread, the loop and the status bar.

#include "gui_test_util.h"
#include "windows/window_internal.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QImage>
#include <QPaintEvent>
#include <QPixmap>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Seen {
  std::vector<UINT> messages;
  int paints = 0;
  HWND window = nullptr;
  LPARAM lastSize = 0;
};
Seen seen;

LRESULT recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  seen.messages.push_back(message);
  if (message == WM_CREATE) {
    seen.window = window;
  }
  if (message == WM_SIZE) {
    seen.lastSize = lParam;
  }
  if (message == WM_PAINT) {
    ++seen.paints;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(7);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow(int width = CW_USEDEFAULT, int height = CW_USEDEFAULT) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.lpfnWndProc = recordingProc;
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    c.lpszClassName = "ServicesTest";
    registered = RegisterClassExA(&c) != 0;
  }
  seen = Seen{};
  return CreateWindowExA(0, "ServicesTest", "Test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, width, height, nullptr, nullptr, nullptr, nullptr);
}

TEST(WindowServices, CreationSendsCreateBeforeReturningAndDestroyEndsTheLoop) {
  HWND w = makeWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(seen.window, w);
  ASSERT_FALSE(seen.messages.empty());
  EXPECT_EQ(seen.messages.front(), WM_CREATE);

  ShowWindow(w, SW_SHOW);
  // The close box asks the procedure; its default destroys the window.
  QMetaObject::invokeMethod(
      qApp, [] { SendMessageA(seen.window, WM_CLOSE, 0, 0); }, Qt::QueuedConnection);
  MSG msg;
  int dispatched = 0;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    DispatchMessageA(&msg);
    ++dispatched;
  }
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(IsWindow(w));
}

TEST(WindowServices, OtherThreadsInvalidateAndDrawButNeverRunAProcedure) {
  HWND w = makeWindow(400, 300);
  ShowWindow(w, SW_SHOW);
  pumpUntil([&] { return !GetUpdateRect(w, nullptr, FALSE); });
  const int paintsBefore = seen.paints;
  const std::size_t messagesBefore = seen.messages.size();
  LRESULT sent = -1;
  std::thread other([&] {
    sent = SendMessageA(w, WM_USER + 5, 0, 0);
    HDC dc = GetDC(w);
    SetTextColor(dc, RGB(255, 0, 0));
    TextOutA(dc, 0, 0, "WWW", 3);
    ReleaseDC(w, dc);
    for (int i = 0; i < 50; ++i) {
      RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE);
    }
  });
  other.join();
  EXPECT_EQ(sent, 0);
  EXPECT_EQ(seen.messages.size(), messagesBefore) << "nothing ran on the other thread";
  EXPECT_TRUE(GetUpdateRect(w, nullptr, FALSE));
  ASSERT_TRUE(pumpUntil([&] { return !GetUpdateRect(w, nullptr, FALSE); }));
  pumpEvents(30);
  EXPECT_EQ(seen.paints, paintsBefore + 1) << "fifty invalidations, one paint";
  bool red = false;
  for (int x = 0; x < 20; ++x) {
    red = red || windowPixel(w, x, 6) == RGB(255, 0, 0);
  }
  EXPECT_TRUE(red) << "the text drawn from the other thread is on the window";
  DestroyWindow(w);
}

// The paints of a window and the area each was asked for.
struct PaintAreas : QObject {
  std::vector<QRect> areas;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      areas.push_back(static_cast<QPaintEvent*>(event)->rect());
    }
    return false;
  }
};

TEST(WindowServices, DrawingsFromAnotherThreadShowOnlyWhatTheyTouchedOnceAFrame) {
  HWND w = makeWindow(400, 300);
  ShowWindow(w, SW_SHOW);
  pumpUntil([&] { return !GetUpdateRect(w, nullptr, FALSE); });
  pumpEvents(30);
  PaintAreas paints;
  windows::findWindow(w)->widget->installEventFilter(&paints);
  std::atomic<bool> drawn{false};
  QElapsedTimer timer;
  timer.start();
  std::thread other([&] {
    for (int i = 0; i < 40; ++i) { // a pass's progress texts, one a millisecond
      HDC dc = GetDC(w);
      TextOutA(dc, 0, 0, "complit : 1%", 12);
      ReleaseDC(w, dc);
      ReleaseDC(w, GetDC(w)); // nothing drawn: nothing to show
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    drawn = true;
  });
  pumpUntil([&] { return drawn.load(); });
  other.join();
  const qint64 took = timer.elapsed();
  pumpEvents(60);
  ASSERT_FALSE(paints.areas.empty());
  EXPECT_LE(static_cast<qint64>(paints.areas.size()), took / 16 + 3) << "once a frame";
  for (const QRect& area : paints.areas) {
    EXPECT_LE(area.width(), 120);
    EXPECT_LE(area.height(), 30);
  }
  paints.areas.clear();
  std::thread([&] { RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE); }).join();
  ASSERT_TRUE(pumpUntil([&] { return !paints.areas.empty(); }));
  EXPECT_EQ(paints.areas.front(), QRect(0, 0, 400, 300)) << "an invalidation shows it all";
  windows::findWindow(w)->widget->removeEventFilter(&paints);
  DestroyWindow(w);
}

TEST(WindowServices, ResizingSendsTheSizeRepaintsAllAndTheStatusBarFollowsWhenMoved) {
  HWND w = makeWindow(400, 300);
  HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "\xEE\xF8\xE8\xE1\xEA\xE0", w, 667);
  ShowWindow(w, SW_SHOW);
  pumpUntil([&] { return !GetUpdateRect(w, nullptr, FALSE); });
  const int paintsBefore = seen.paints;
  MoveWindow(w, 0, 0, 500, 350, TRUE);
  EXPECT_TRUE(pumpUntil([&] { return seen.paints > paintsBefore; })) << "a resize repaints";
  EXPECT_EQ(GET_X_LPARAM(seen.lastSize), 500);
  EXPECT_EQ(GET_Y_LPARAM(seen.lastSize), 350);
  RECT r;
  GetClientRect(w, &r);
  EXPECT_EQ(r.right, 500);
  EXPECT_EQ(r.bottom, 350);

  MoveWindow(bar, 0, 0, 0, 0, TRUE);
  EXPECT_EQ(windows::findWindow(bar)->widget->geometry(), QRect(0, 330, 500, 20));
  char text[32] = {};
  EXPECT_EQ(SendMessageA(bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)), 6);
  EXPECT_STREQ(text, "\xEE\xF8\xE8\xE1\xEA\xE0") << "1251 there and back";

  // Beyond what a picture may hold the window keeps its old one to draw on.
  MoveWindow(w, 0, 0, 16400, 16400, TRUE);
  HDC dc = GetDC(w);
  EXPECT_NE(dc, nullptr);
  ReleaseDC(w, dc);
  DestroyWindow(w);
  EXPECT_FALSE(IsWindow(bar)) << "children go with their parent";
}

// The crosshair is a picture with an alpha channel (Qt's Wayland platform shows
// no other kind) drawn at the screen's ratio: its lines as wide as one of its
// cells' pixels in whole device pixels, the crossing clear, the hot spot on it.
TEST(WindowServices, TheCrosshairIsAnImageAtTheScreensRatioWithThinLines) {
  HCURSOR crosshair = LoadCursorA(reinterpret_cast<HINSTANCE>(1), MAKEINTRESOURCEA(103));
  ASSERT_NE(crosshair, nullptr);
  struct Case {
    qreal ratio;
    int side;               // device pixels
    int thinnest, thickest; // device pixels across a line
  } cases[] = {{1, 32, 1, 1}, {1.25, 40, 1, 2}, {1.5, 48, 1, 2},
               {2, 64, 2, 2}, {2.25, 72, 2, 3}, {3, 96, 3, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ratio);
    const QCursor cursor = windows::cursorOf(crosshair, c.ratio);
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(15, 16)) << "in logical pixels";
    ASSERT_FALSE(cursor.pixmap().isNull());
    EXPECT_EQ(cursor.pixmap().devicePixelRatio(), c.ratio);
    const QImage image = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(c.side, c.side));
    // Every pixel is opaque black or clear; a line's band lies over its cell pixel.
    auto opaque = [&](int x, int y) { return qAlpha(image.pixel(x, y)) != 0; };
    std::vector<int> columns, rows;
    for (int y = 0; y < c.side; ++y) {
      for (int x = 0; x < c.side; ++x) {
        const QRgb p = image.pixel(x, y);
        ASSERT_TRUE(p == qRgba(0, 0, 0, 255) || qAlpha(p) == 0) << x << "," << y;
      }
      if (opaque(0, y)) {
        rows.push_back(y);
      }
    }
    for (int x = 0; x < c.side; ++x) {
      if (opaque(x, 0)) {
        columns.push_back(x);
      }
    }
    for (const auto& [band, cell] : {std::pair{columns, 15}, std::pair{rows, 16}}) {
      ASSERT_FALSE(band.empty());
      EXPECT_EQ(band.back() - band.front() + 1, static_cast<int>(band.size())) << "one band";
      EXPECT_GE(static_cast<int>(band.size()), c.thinnest);
      EXPECT_LE(static_cast<int>(band.size()), c.thickest);
      EXPECT_GE(band.front(), static_cast<int>(cell * c.ratio) - 1);
      EXPECT_LE(band.back(), static_cast<int>((cell + 1) * c.ratio));
    }
    EXPECT_FALSE(opaque(columns.front(), rows.front())) << "the crossing is clear";
    EXPECT_TRUE(opaque(columns.front(), c.side - 1));
    EXPECT_TRUE(opaque(c.side - 1, rows.front()));
    EXPECT_FALSE(opaque(0, 0));
  }
  EXPECT_EQ(windows::cursorOf(LoadCursorA(nullptr, IDC_ARROW), 2).shape(), Qt::ArrowCursor);
}

} // namespace
