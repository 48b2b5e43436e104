#pragma once
// A window around a GraphView with the creation, paint, size, close and destroy
// behaviour of the main window, the default settings applied in place of the
// options dialog.

#include "../windows/gui_test_util.h"
#include "settings/plot_settings.h"
#include "view/graph_view.h"

#include <memory>

struct ViewWindow {
  static inline GraphView* current = nullptr;
  static inline int paints = 0;

  std::unique_ptr<GraphView> view = std::make_unique<GraphView>();
  PlotSettings settings;
  HWND window = nullptr;

  static LRESULT procedure(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    GraphView& v = *current;
    switch (message) {
    case WM_CREATE:
      v.createBuffers(w);
      return 0;
    case WM_PAINT: {
      ++paints;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      v.paint(dc);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      v.onMouseMove(lParam);
      return 0;
    case WM_SIZE:
      GetClientRect(v.window, &v.clientRect);
      MoveWindow(v.statusBar, 0, 0, 0, 0, TRUE);
      v.followClientArea();
      return 0;
    default:
      return DefWindowProcA(w, message, wParam, lParam);
    }
  }

  explicit ViewWindow(int width = 1024, int height = 788) {
    static const bool registered = [] {
      WNDCLASSEXA c{};
      c.cbSize = sizeof c;
      c.style = CS_HREDRAW | CS_VREDRAW;
      c.lpfnWndProc = procedure;
      c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
      c.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
      c.lpszClassName = "ViewTest";
      return RegisterClassExA(&c) != 0;
    }();
    (void)registered;
    current = view.get();
    paints = 0;
    window = CreateWindowExA(0, "ViewTest", "View", WS_OVERLAPPEDWINDOW, 0, 0, width, height,
                             nullptr, nullptr, nullptr, nullptr);
    settings.apply(view->liveState);
    view->startWorker();
    ShowWindow(window, SW_SHOW);
    pumpEvents(10);
  }

  ~ViewWindow() {
    view->stopWorker();
    DestroyWindow(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    view.reset();
  }

  // Waits for the running pass (or the one the next paint starts after a resize)
  // to end by itself and for the window to be painted.
  void finishPass() {
    pumpUntil([&] { return !view->passAfterPaint; }, 2000);
    if (view->workerThread != nullptr) {
      WaitForSingleObject(view->workerThread, INFINITE);
    }
    pumpUntil([&] { return !GetUpdateRect(window, nullptr, FALSE); }, 2000);
  }
};
