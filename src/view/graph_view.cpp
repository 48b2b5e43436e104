#include "view/graph_view.h"

#include "expr/numeric.h"
#include "expr/program.h"
#include "res/resource_ids.h"

#include <algorithm>
#include <utility>

namespace {

int pictureSize(double v) {
  return numeric::trunc32(v);
}

// The pictures are never smaller than the picture the program was designed for.
constexpr int kLeastWidth = 1024;
constexpr int kLeastHeight = 768;

// A bitmap of the size at the scale, white; null when it cannot be made (too large).
HBITMAP whitePicture(int width, int height, double scale) {
  HBITMAP bitmap = CreateScaledBitmap(width, height, scale);
  if (bitmap != nullptr) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  return bitmap;
}

// A rectangle's extent as a drawing call takes it; nothing beyond the 32-bit range.
int clampExtent(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

void whiten(HDC dc, int x, int y, std::int64_t width, std::int64_t height) {
  if (width > 0 && height > 0) {
    PatBlt(dc, x, y, clampExtent(width), clampExtent(height), WHITENESS);
  }
}

} // namespace

GraphView::GraphView() : context(liveState, plotter, {scrollX, scrollY}) {}

GraphView::~GraphView() {
  stopWorker();
  // The live state holds the programs of the last Apply; no pass uses them now.
  liveState.releasePrograms();
  DeleteDC(frontDC);
  DeleteDC(backDC);
  DeleteObject(frontBitmap);
  DeleteObject(backBitmap);
}

// The device scale of the window's client area: its screen's.
double GraphView::windowScale() const {
  HDC windowDC = GetDC(window);
  const double scale = windowDC != nullptr ? GetDeviceScale(windowDC) : 1;
  ReleaseDC(window, windowDC);
  return scale;
}

void GraphView::createBuffers(HWND mainWindow) {
  window = mainWindow;
  GetClientRect(window, &clientRect);

  const int width = pictureSize(liveState.width);
  const int height = pictureSize(liveState.height);
  pictureScale = windowScale();
  HDC windowDC = GetDC(window);
  for (auto [bitmap, dc] : {std::pair{&frontBitmap, &frontDC}, std::pair{&backBitmap, &backDC}}) {
    *dc = CreateCompatibleDC(windowDC);
    // The pictures have the window's device pixels.
    *bitmap = CreateScaledBitmap(width, height, pictureScale);
    context.noBitmap = SelectObject(*dc, *bitmap); // the empty bitmap a new DC starts with
    SetROP2(*dc, R2_COPYPEN);
    SetBkMode(*dc, TRANSPARENT);
    // Until the first pass is shown the window shows an empty white picture.
    PatBlt(*dc, 0, 0, width, height, WHITENESS);
  }
  context.backWhite = true;
  ReleaseDC(window, windowDC);

  statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "", window, res::kStatusBarId);
  ShowWindow(statusBar, SW_SHOW);

  context.blitInProgress = false;
  context.stopRequest = false;
  context.workerBusy = false;
  context.frontDC = frontDC;
  context.backDC = backDC;

  std::lock_guard<std::mutex> lock(liveState.changeLock);
  liveState.canvasDC = backDC;
  liveState.window = window;
  liveState.statusBar = statusBar;
}

void GraphView::followClientArea() {
  const int oldWidth = pictureSize(liveState.width);
  const int oldHeight = pictureSize(liveState.height);
  const int width = std::max<int>(kLeastWidth, clientRect.right);
  const int height = std::max<int>(kLeastHeight, clientRect.bottom - kStatusBarHeight);
  const double scale = windowScale();
  if (scale == pictureScale && width == oldWidth && height == oldHeight) {
    return;
  }
  stopWorker();
  cancelDrag(); // the new pictures are drawn whole; a drag would shift them
  HBITMAP front = whitePicture(width, height, scale);
  HBITMAP back = whitePicture(width, height, scale);
  if (front == nullptr || back == nullptr) {
    DeleteObject(front);
    DeleteObject(back);
    return; // beyond any picture: the old ones stay, the paint whitens the rest
  }
  // Until the new pass is shown the old picture stays where it was, cropped when
  // the pictures shrink.
  HDC fresh = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(fresh, front);
  BitBlt(fresh, 0, 0, oldWidth, oldHeight, frontDC, 0, 0, SRCCOPY);
  SelectObject(fresh, previous);
  DeleteDC(fresh);
  SelectObject(frontDC, front);
  SelectObject(backDC, back);
  DeleteObject(frontBitmap);
  DeleteObject(backBitmap);
  frontBitmap = front;
  backBitmap = back;
  pictureScale = scale;
  context.backWhite = true;
  {
    std::lock_guard<std::mutex> lock(liveState.changeLock);
    liveState.width = width;
    liveState.height = height;
    liveState.updateVisibleRanges();
  }
  passAfterPaint = true;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
}

void GraphView::stopWorker() {
  if (workerThread == nullptr) {
    return;
  }
  // Whether the last worker is still drawing, still waiting to begin or already
  // done, it is asked to stop and waited for, and its handle released.
  context.requestStop();
  WaitForSingleObject(workerThread, INFINITE);
  CloseHandle(workerThread);
  workerThread = nullptr;
  context.stopRequest = false;
}

void GraphView::startWorker() {
  stopWorker();
  passAfterPaint = false;
  workerThread = CreateThread(nullptr, 0, workerMain, this, 0, nullptr);
  if (workerThread == nullptr) {
    MessageBoxA(nullptr, "Can't create Thread", "Error", MB_OK);
  }
}

DWORD GraphView::workerMain(void* argument) {
  auto* view = static_cast<GraphView*>(argument);
  WorkerContext& ctx = view->context;
  if (ctx.workerBusy.exchange(true)) {
    return 0;
  }
  ctx.report(WorkerStep::Started);
  // The pictures change size only while no worker runs.
  const int width = pictureSize(view->liveState.width);
  const int height = pictureSize(view->liveState.height);
  // A worker already asked to stop ends here; whitening the picture would be wasted.
  if (!ctx.stopRequested()) {
    // The picture whitened at the end of the last pass shown is white still.
    if (!std::exchange(ctx.backWhite, false)) {
      PatBlt(ctx.backDC, 0, 0, width, height, WHITENESS);
    }
    ctx.report(WorkerStep::Whitened);
    view->plotter.drawAll(ctx.stopRequest, view->liveState);
    ctx.report(WorkerStep::Drawn);
  }
  if (!ctx.stopRequested() && ctx.takeFront()) {
    ctx.report(WorkerStep::FrontTaken);
    // The two pictures trade places rather than copying one into the other.
    HGDIOBJ drawn = SelectObject(ctx.backDC, ctx.noBitmap);
    HGDIOBJ shown = SelectObject(ctx.frontDC, drawn);
    SelectObject(ctx.backDC, shown);
    std::swap(view->frontBitmap, view->backBitmap);
    ctx.scroll.x = 0;
    ctx.scroll.y = 0;
    ++view->frontPictures;
    view->frontOriginX = view->plotter.state.oX;
    ctx.releaseFront();
    ctx.report(WorkerStep::Swapped);
    RedrawWindow(view->plotter.state.window, nullptr, nullptr, RDW_INVALIDATE);
    // The next pass draws on the picture shown until now: it is whitened here,
    // while nobody waits for a picture.
    if (!ctx.stopRequested()) {
      PatBlt(ctx.backDC, 0, 0, width, height, WHITENESS);
      ctx.backWhite = true;
    }
  }
  ctx.workerBusy = false;
  return 0;
}

void GraphView::paint(HDC dc) {
  if (context.blitInProgress.exchange(true)) {
    return; // the worker is copying; it invalidates the window when done
  }
  const std::int64_t w = clientRect.right;
  const std::int64_t h = clientRect.bottom;
  const std::int64_t pw = pictureSize(liveState.width);
  const std::int64_t ph = pictureSize(liveState.height);
  const std::int64_t sx = scrollX;
  const std::int64_t sy = scrollY;

  whiten(dc, 0, 0, w, -sy);
  whiten(dc, 0, 0, -sx, h - kStatusBarHeight);
  whiten(dc, 0, clampExtent(ph - sy), w, h - kStatusBarHeight);
  whiten(dc, clampExtent(pw - sx), 0, w, h - kStatusBarHeight);
  if (h > kStatusBarHeight) {
    BitBlt(dc, clientRect.left, clientRect.top, clampExtent(w), clampExtent(h - kStatusBarHeight),
           frontDC, clampExtent(sx), clampExtent(sy), SRCCOPY);
  }
  if (!dragging) {
    liveState.drawCrosshair(dc, mousePos.x, mousePos.y);
  }
  liveState.showStatus(statusBar, mousePos.x, mousePos.y);
  context.releaseFront();
  if (passAfterPaint && !holdPasses) {
    startWorker();
  }
}
