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
    int dx = 0, dy = 0; // as far as the origin moved: it stops at the ends of its range
    {
      std::lock_guard<std::mutex> lock(liveState.changeLock);
      const double oX = liveState.oX, oY = liveState.oY;
      liveState.pan(mousePos.x - prevMousePos.x, mousePos.y - prevMousePos.y);
      dx = static_cast<int>(liveState.oX - oX);
      dy = static_cast<int>(liveState.oY - oY);
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

void GraphView::onCancelMode() {
  if (dragging) {
    dragging = false;
    if (!holdPasses) {
      startWorker();
    }
  }
}

void GraphView::cancelDrag() {
  dragging = false;
}

void GraphView::onMouseWheel(WPARAM wParam) {
  {
    std::lock_guard<std::mutex> lock(liveState.changeLock);
    if (!liveState.zoom(HIWORD(wParam) == kNotchAway ? +1 : -1)) {
      return;
    }
  }
  showStatus();
  startWorker();
}

namespace {

// What a key of the table does to the live state, under its lock; false when the
// state refused the change, and then nothing more happens.
struct KeyRow {
  WPARAM key;
  bool (*act)(PlotState&);
};

// The origin moves by whole pixels and stops at the ends of its range.
bool panBy(PlotState& s, int dx, int dy) {
  const double oX = s.oX, oY = s.oY;
  s.pan(dx, dy);
  return s.oX != oX || s.oY != oY;
}

constexpr KeyRow kKeys[] = {
    {VK_LEFT, [](PlotState& s) { return panBy(s, -50, 0); }},
    {VK_UP, [](PlotState& s) { return panBy(s, 0, -50); }},
    {VK_RIGHT, [](PlotState& s) { return panBy(s, 50, 0); }},
    {VK_DOWN, [](PlotState& s) { return panBy(s, 0, 50); }},
    {'A', [](PlotState& s) { return s.shiftYRange(+1.0, +1.0); }},
    {'Q', [](PlotState& s) { return s.shiftXRange(+1.0, +1.0); }},
    {'S', [](PlotState& s) { return s.shiftYRange(-1.0, -1.0); }},
    {'W', [](PlotState& s) { return s.shiftXRange(-1.0, -1.0); }},
    {VK_NUMPAD1, [](PlotState& s) { return s.stepVariable(&PlotState::a, +1); }},
    {VK_NUMPAD2, [](PlotState& s) { return s.stepVariable(&PlotState::a, -1); }},
    {VK_NUMPAD4, [](PlotState& s) { return s.stepVariable(&PlotState::b, +1); }},
    {VK_NUMPAD5, [](PlotState& s) { return s.stepVariable(&PlotState::b, -1); }},
    {VK_NUMPAD6, [](PlotState& s) { return s.stepVariable(&PlotState::d, -1); }},
    {VK_NUMPAD7, [](PlotState& s) { return s.stepVariable(&PlotState::c, +1); }},
    {VK_NUMPAD8, [](PlotState& s) { return s.stepVariable(&PlotState::c, -1); }},
    {VK_NUMPAD9, [](PlotState& s) { return s.stepVariable(&PlotState::d, +1); }},
    {VK_ADD, [](PlotState& s) { return s.zoom(+3); }},
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
