// The main window's input: keys, the drag, the wheel. Each handler changes the
// live plot state and starts a new pass; none draws the graph itself.

#include "options/options_dialog.h"
#include "view/graph_view.h"

#include <cstdio>
#include <cstring>

namespace {

MousePoint unpack(LPARAM lParam) {
  return {static_cast<std::int16_t>(GET_X_LPARAM(lParam)),
          static_cast<std::int16_t>(GET_Y_LPARAM(lParam))};
}

constexpr WORD kNotchAway = 120;

} // namespace

void GraphView::showStatus() {
  liveState.showStatus(statusBar, mousePos.x, mousePos.y);
}

void GraphView::onLButtonDown(LPARAM lParam) {
  if (dragging) {
    return;
  }
  mousePos = unpack(lParam);
  prevMousePos = mousePos;
  dragging = true;
}

void GraphView::onMouseMove(LPARAM lParam) {
  mousePos = unpack(lParam);
  if (dragging) {
    // Stopped first: a pass finishing between the pan and the stop would zero the
    // offsets of a step its picture does not show.
    stopWorker();
    const int dx = mousePos.x - prevMousePos.x;
    const int dy = mousePos.y - prevMousePos.y;
    {
      std::lock_guard<std::mutex> lock(liveState.changeLock);
      liveState.pan(dx, dy);
    }
    scrollX.fetch_add(-dx);
    scrollY.fetch_add(-dy);
  }
  prevMousePos = mousePos;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
}

void GraphView::onLButtonUp() {
  if (dragging) {
    dragging = false;
    startWorker();
  }
}

void GraphView::onMouseButtons(WPARAM keys) {
  if (dragging && (keys & MK_LBUTTON) == 0) {
    onLButtonUp();
  }
}

void GraphView::cancelDrag() {
  dragging = false;
}

void GraphView::onMouseWheel(WPARAM wParam) {
  {
    std::lock_guard<std::mutex> lock(liveState.changeLock);
    if (HIWORD(wParam) == kNotchAway) {
      liveState.zoom(+1);
    } else if (!liveState.zoom(-1)) {
      return;
    }
  }
  showStatus();
  startWorker();
}

void GraphView::onKeyDown(WPARAM wParam, LPARAM lParam) {
  {
    std::unique_lock<std::mutex> lock(liveState.changeLock);
    PlotState& s = liveState;
    switch (wParam) {
    case VK_ESCAPE:
      lock.unlock(); // the dialog changes the state itself
      SendMessageA(window, WM_RBUTTONUP, 0, 0);
      break;
    case VK_LEFT:
      s.pan(-50, 0);
      break;
    case VK_UP:
      s.pan(0, -50);
      break;
    case VK_RIGHT:
      s.pan(50, 0);
      break;
    case VK_DOWN:
      s.pan(0, 50);
      break;
    case 'A':
      s.shiftYRange(+1.0, +1.0);
      break;
    case 'Q':
      s.shiftXRange(+1.0, +1.0);
      break;
    case 'S':
      s.shiftYRange(-1.0, -1.0);
      break;
    case 'W':
      s.shiftXRange(-1.0, -1.0);
      break;
    case VK_NUMPAD1:
      s.a += s.accuracy;
      break;
    case VK_NUMPAD2:
      s.a -= s.accuracy;
      break;
    case VK_NUMPAD4:
      s.b += s.accuracy;
      break;
    case VK_NUMPAD5:
      s.b -= s.accuracy;
      break;
    case VK_NUMPAD6:
      s.d -= s.accuracy;
      break;
    case VK_NUMPAD7:
      s.c += s.accuracy;
      break;
    case VK_NUMPAD8:
      s.c -= s.accuracy;
      break;
    case VK_NUMPAD9:
      s.d += s.accuracy;
      break;
    case VK_ADD:
      s.zoom(+3);
      break;
    case VK_SUBTRACT:
      if (!s.zoom(-3)) {
        return;
      }
      break;
    case VK_F1:
      lock.unlock();
      MessageBoxA(window, KeyHelpText, "help", MB_OK);
      break;
    default: {
      lock.unlock();
      char echo[64];
      std::snprintf(echo, sizeof echo, "wParam = %d lParam = %d     ", static_cast<int>(wParam),
                    static_cast<int>(static_cast<std::uint32_t>(lParam)));
      HDC dc = GetDC(window);
      TextOutA(dc, 0, 10, echo, static_cast<int>(std::strlen(echo)));
      ReleaseDC(window, dc);
      return;
    }
    }
  }
  showStatus();
  startWorker();
}
