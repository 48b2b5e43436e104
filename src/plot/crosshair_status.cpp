// What the window shows over the picture: the crosshair and the status line.

#include "expr/numeric.h"
#include "plot/plot_state.h"
#include "window_calls/window_calls.h"

#include <cstdio>

#include <locale.h>

namespace {

constexpr UINT kSetStatusText = 0x0400 + 1; // SB_SETTEXTA
constexpr WPARAM kSimplePart = 255;

// The status line reads the same on every desktop: Qt adopts the user's locale,
// and a Russian one would put decimal commas into it.
locale_t plainNumbers() {
  static const locale_t plain = newlocale(LC_NUMERIC_MASK, "C", nullptr);
  return plain;
}

} // namespace

void PlotState::drawCrosshair(HDC dc, int x, int y) {
  HGDIOBJ kept = SelectObject(dc, crossPen);
  const int axisX = numeric::trunc32(oX);
  const int axisY = numeric::trunc32(oY);
  MoveToEx(dc, x, y, nullptr);
  LineTo(dc, axisX, y);
  MoveToEx(dc, x, y, nullptr);
  LineTo(dc, x, axisY);
  SelectObject(dc, kept);
}

void PlotState::showStatus(HWND bar, int x, int y) {
  using numeric::trunc32;
  const locale_t plain = plainNumbers();
  const locale_t previous = plain != nullptr ? uselocale(plain) : nullptr;
  std::snprintf(statusText, sizeof statusText,
                "|  x = %f, y = %f  |oX=%d, oY=%d, pixels=%d, accuracy=%f, "
                "X:(%d,%d),Y(%d,%d),T(%d,%d),(a:%d,b:%d,c:%d,d:%d)",
                (x - oX) * (1 / pixels), (oY - y) * (1 / pixels), trunc32(oX), trunc32(oY),
                trunc32(pixels), accuracy, trunc32(xMin), trunc32(xMax), trunc32(yMin),
                trunc32(yMax), trunc32(tFrom), trunc32(tTo), trunc32(a), trunc32(b), trunc32(c),
                trunc32(d));
  if (plain != nullptr) {
    uselocale(previous);
  }
  SendMessageA(bar, kSetStatusText, kSimplePart, reinterpret_cast<LPARAM>(statusText));
}
