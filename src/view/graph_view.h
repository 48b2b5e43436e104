#pragma once
// GraphView: the window side of the plotter. It owns the front picture (the last
// finished drawing) and the back picture (the pass being drawn), the worker
// thread that draws one pass, the status bar, and the mouse and drag state.

#include "plot/plot_state.h"
#include "plot/plotter.h"
#include "view/worker_context.h"
#include "windows/window_services.h"

#include <atomic>
#include <cstdint>

// A mouse position in the packed form of the mouse messages.
struct MousePoint {
  std::int16_t x = 0;
  std::int16_t y = 0;
};

class GraphView {
public:
  WorkerContext context;
  Plotter plotter;
  HANDLE workerThread = nullptr;
  PlotState liveState;
  HWND statusBar = nullptr;
  HBITMAP frontBitmap = nullptr;
  HDC frontDC = nullptr;
  HBITMAP backBitmap = nullptr;
  HDC backDC = nullptr;
  RECT clientRect{0, 0, 0, 0};
  HWND window = nullptr;
  MousePoint mousePos;
  MousePoint prevMousePos;
  bool dragging = false;
  std::atomic<std::int32_t> scrollX{0};
  std::atomic<std::int32_t> scrollY{0};
  // How many pictures have reached the front and the origin of the last one;
  // written by the worker holding blitInProgress, for measurements.
  std::int64_t frontPictures = 0;
  double frontOriginX = 0.0;
  // Set by a resize that made new pictures; the next paint starts their pass, so
  // that a burst of resizes starts one pass per frame shown.
  bool passAfterPaint = false;
  // Set while Apply runs: it replaces the programs, so no pass may start then.
  bool holdPasses = false;
  // Device pixels to a logical one of both pictures: the window's when they were made.
  double pictureScale = 1;

  GraphView();
  ~GraphView();
  GraphView(const GraphView&) = delete;
  GraphView& operator=(const GraphView&) = delete;

  void createBuffers(HWND mainWindow);
  // After clientRect has changed: when the client area less the status bar (never
  // taken below 1024 x 768) is no longer the pictures' size, larger or smaller, or
  // the window's device scale is no longer theirs, new pictures of its size at its
  // scale replace them, the old ones' memory goes, and a pass follows at the next
  // paint.
  void followClientArea();
  void stopWorker();
  void startWorker();
  static DWORD workerMain(void* view);
  void paint(HDC dc);

  // The input handlers of the main window.
  void onLButtonDown(LPARAM lParam);
  void onMouseMove(LPARAM lParam);
  void onLButtonUp();
  void onMouseWheel(WPARAM wParam);
  void onKeyDown(WPARAM wParam, LPARAM lParam);
  // A drag lasts only while the left button is down. A mouse message whose
  // button state (keys) says it is up ends one as its release would: the release
  // itself may have gone to a modal window.
  void onMouseButtons(WPARAM keys);
  // A modal window opens over the main window (WM_CANCELMODE): a drag ends, and
  // its picture is drawn at once, since the window may stay open for long and the
  // old picture, shifted, would show white bands meanwhile.
  void onCancelMode();
  // A drag ends without a pass (new pictures are drawn whole).
  void cancelDrag();

private:
  void showStatus();
  double windowScale() const;
};
