// The window services as the system relies on them: creation, messages, painting
// from any thread, the loop and the status bar.

#include "gui_test_util.h"

#include <gtest/gtest.h>

#include <atomic>
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
} // namespace
