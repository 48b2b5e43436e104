#pragma once
// PlotState: the numeric state of a plot, the mapping between plot coordinates
// and canvas pixels, and the operations the user's input performs on it.

#include "surface/surface.h"

#include <cstdint>
#include <memory>
#include <mutex>

class CProgram;

// A 32-bit value; anything outside 0..4 draws no graph.
enum GraphKind : std::int32_t {
  Explicit = 0,
  Parametric = 1,
  ImplicitLess = 2,
  ImplicitEqual = 3,
  ImplicitGreater = 4,
};

class PlotState {
public:
  char statusText[500] = {};
  HPEN crossPen = nullptr;
  CProgram* firstProgram = nullptr;
  CProgram* secondProgram = nullptr;
  HDC canvasDC = nullptr;
  HWND window = nullptr;
  HWND statusBar = nullptr;
  double oX = 300.0, oY = 300.0;
  double width = 1024.0, height = 768.0;
  double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
  double yFrom = -10.0, yTo = 10.0;
  double xFrom = -10.0, xTo = 10.0;
  double tFrom = -5.0, tTo = 5.0;
  double accuracy = 0.01;
  double pixels = 20.0;
  double xMin = 0.0, xMax = 0.0, yMin = 0.0, yMax = 0.0;
  GraphKind kind = Explicit;

  // Taken by copyFrom on the state it copies and by the user-interface thread
  // around every change of the live state, so that a snapshot never tears.
  mutable std::mutex changeLock;

  PlotState();
  ~PlotState();
  PlotState(const PlotState&) = delete;
  PlotState& operator=(const PlotState&) = delete;

  // The input's operations keep every value they change where the status line
  // can show it, a whole part within 32 bits: the origin stops at the ends of
  // that range; a shift, zoom or step that would carry a value past it (or leave
  // a range that does not run upwards, or fewer than 1 pixel per unit) is
  // refused, changes nothing and answers false.
  void updateVisibleRanges();
  void pan(int dx, int dy);
  bool shiftXRange(double dFrom, double dTo);
  bool shiftYRange(double dFrom, double dTo);
  bool zoom(int step);
  // variable += direction * accuracy, for a, b, c or d.
  bool stepVariable(double PlotState::*variable, int direction);
  void setView(int newOX, int newOY, double newXFrom, double newXTo, double newYFrom, double newYTo,
               int newPixels);
  // Copies the programs, the kind, the drawing targets and every number from oX
  // to yMax; not statusText nor crossPen. Takes the source's changeLock.
  void copyFrom(const PlotState& live);

  // The live state owns the programs that Apply installed, until the next Apply
  // installs others or the state goes; a snapshot only borrows them through
  // firstProgram and secondProgram.
  void installPrograms(std::unique_ptr<CProgram> first, std::unique_ptr<CProgram> second);
  void releasePrograms();

  // Two blue lines from the mouse at (x, y) to the axes, straight onto dc.
  void drawCrosshair(HDC dc, int x, int y);
  // Formats the status line for the mouse at (x, y) and sets it on the status bar.
  void showStatus(HWND bar, int x, int y);

  // Canvas position of a plot point, in double precision.
  double canvasX(double x) const { return x * pixels + oX; }
  double canvasY(double y) const { return oY - y * pixels; }
  // Plot point of a canvas position.
  double plotX(int mx) const { return (1 / pixels) * (mx - oX); }
  double plotY(int my) const { return (1 / pixels) * (oY - my); }

private:
  std::unique_ptr<CProgram> ownedFirst;
  std::unique_ptr<CProgram> ownedSecond;
};

// True when sampling from `from` to `to` in steps of `step` moves forward at
// every sample: the step is positive and larger than the spacing of doubles at
// both ends. A pass refuses to trace otherwise, since its loop would never end.
bool samplingAdvances(double from, double to, double step);

// True when v truncated toward zero is a 32-bit integer.
bool wholePartFits32(double v);

// A canvas coordinate for a drawing call: truncated toward zero, held well inside
// 32 bits so that a pole draws a clipped line; NaN goes far to the top or left,
// where the x86 conversion would send it.
std::int32_t pixelOf(double v);
