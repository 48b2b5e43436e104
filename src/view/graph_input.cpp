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

namespace {

// What a key of the table does to the live state, under its lock; false when
// nothing more is to happen (keypad - refused at 3 pixels per unit or fewer).
struct KeyRow {
  WPARAM key;
  bool (*act)(PlotState&);
};

bool panBy(PlotState& s, int dx, int dy) {
  s.pan(dx, dy);
  return true;
}

bool shiftX(PlotState& s, double by) {
  s.shiftXRange(by, by);
  return true;
}

bool shiftY(PlotState& s, double by) {
  s.shiftYRange(by, by);
  return true;
}

bool step(double& variable, double by) {
  variable += by;
  return true;
}

constexpr KeyRow kKeys[] = {
    {VK_LEFT, [](PlotState& s) { return panBy(s, -50, 0); }},
    {VK_UP, [](PlotState& s) { return panBy(s, 0, -50); }},
    {VK_RIGHT, [](PlotState& s) { return panBy(s, 50, 0); }},
    {VK_DOWN, [](PlotState& s) { return panBy(s, 0, 50); }},
    {'A', [](PlotState& s) { return shiftY(s, +1.0); }},
    {'Q', [](PlotState& s) { return shiftX(s, +1.0); }},
    {'S', [](PlotState& s) { return shiftY(s, -1.0); }},
    {'W', [](PlotState& s) { return shiftX(s, -1.0); }},
    {VK_NUMPAD1, [](PlotState& s) { return step(s.a, s.accuracy); }},
    {VK_NUMPAD2, [](PlotState& s) { return step(s.a, -s.accuracy); }},
    {VK_NUMPAD4, [](PlotState& s) { return step(s.b, s.accuracy); }},
    {VK_NUMPAD5, [](PlotState& s) { return step(s.b, -s.accuracy); }},
    {VK_NUMPAD6, [](PlotState& s) { return step(s.d, -s.accuracy); }},
    {VK_NUMPAD7, [](PlotState& s) { return step(s.c, s.accuracy); }},
    {VK_NUMPAD8, [](PlotState& s) { return step(s.c, -s.accuracy); }},
    {VK_NUMPAD9, [](PlotState& s) { return step(s.d, s.accuracy); }},
    {VK_ADD,
     [](PlotState& s) {
       s.zoom(+3);
       return true;
     }},
    {VK_SUBTRACT, [](PlotState& s) { return s.zoom(-3); }},
};

const KeyRow* findKey(WPARAM key) {
  for (const KeyRow& row : kKeys) {
    if (row.key == key) {
      return &row;
    }
  }
  return nullptr;
}

// A key outside the table writes its code and key data onto the window.
void echoKey(HWND window, WPARAM wParam, LPARAM lParam) {
  char echo[64];
  std::snprintf(echo, sizeof echo, "wParam = %d lParam = %d     ", static_cast<int>(wParam),
                static_cast<int>(static_cast<std::uint32_t>(lParam)));
  HDC dc = GetDC(window);
  TextOutA(dc, 0, 10, echo, static_cast<int>(std::strlen(echo)));
  ReleaseDC(window, dc);
}

} // namespace

void GraphView::onKeyDown(WPARAM wParam, LPARAM lParam) {
  if (wParam == VK_ESCAPE) {
    SendMessageA(window, WM_RBUTTONUP, 0, 0); // the dialog changes the state itself
  } else if (wParam == VK_F1) {
    MessageBoxA(window, KeyHelpText, "help", MB_OK);
  } else if (const KeyRow* row = findKey(wParam)) {
    std::lock_guard<std::mutex> lock(liveState.changeLock);
    if (!row->act(liveState)) {
      return;
    }
  } else {
    echoKey(window, wParam, lParam);
    return;
  }
  showStatus();
  startWorker();
}
