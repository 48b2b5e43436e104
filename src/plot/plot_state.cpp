#include "plot/plot_state.h"

#include "expr/program.h"

#include <algorithm>
#include <cmath>
#include <limits>

PlotState::PlotState() {
  crossPen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  updateVisibleRanges();
}

PlotState::~PlotState() {
  DeleteObject(crossPen);
}

void PlotState::installPrograms(std::unique_ptr<CProgram> first, std::unique_ptr<CProgram> second) {
  ownedFirst = std::move(first);
  ownedSecond = std::move(second);
  firstProgram = ownedFirst.get();
  secondProgram = ownedSecond.get();
}

void PlotState::releasePrograms() {
  installPrograms(nullptr, nullptr);
}

void PlotState::updateVisibleRanges() {
  double k = 1 / pixels;
  xMin = -oX * k - 1;
  xMax = (width - oX) * k + 1;
  yMin = -((height - oY) * k);
  yMax = oY * k;
  if (xMin < xFrom) {
    xMin = xFrom;
  }
  if (xTo < xMax) {
    xMax = xTo;
  }
  if (yMin < yFrom) {
    yMin = yFrom;
  }
  if (yTo < yMax) {
    yMax = yTo;
  }
}

namespace {

constexpr double kLeast32 = -2147483648.0;
constexpr double kMost32 = 2147483647.0;

// A range moved by the two steps, if both ends still fit and it still runs upwards.
bool shiftRange(double& from, double& to, double dFrom, double dTo) {
  const double newFrom = from + dFrom;
  const double newTo = to + dTo;
  if (!wholePartFits32(newFrom) || !wholePartFits32(newTo) || !(newFrom < newTo)) {
    return false;
  }
  from = newFrom;
  to = newTo;
  return true;
}

} // namespace

void PlotState::pan(int dx, int dy) {
  oX = std::clamp(oX + dx, kLeast32, kMost32);
  oY = std::clamp(oY + dy, kLeast32, kMost32);
  updateVisibleRanges();
}

bool PlotState::shiftXRange(double dFrom, double dTo) {
  if (!shiftRange(xFrom, xTo, dFrom, dTo)) {
    return false;
  }
  updateVisibleRanges();
  return true;
}

bool PlotState::shiftYRange(double dFrom, double dTo) {
  if (!shiftRange(yFrom, yTo, dFrom, dTo)) {
    return false;
  }
  updateVisibleRanges();
  return true;
}

bool PlotState::zoom(int step) {
  if (step < 0 && pixels <= -static_cast<double>(step)) {
    return false;
  }
  if (step > 0 && pixels + step > kMost32) {
    return false;
  }
  pixels += step;
  updateVisibleRanges();
  return true;
}

bool PlotState::stepVariable(double PlotState::*variable, int direction) {
  const double stepped = this->*variable + direction * accuracy;
  if (!wholePartFits32(stepped)) {
    return false;
  }
  this->*variable = stepped;
  return true;
}

void PlotState::setView(int newOX, int newOY, double newXFrom, double newXTo, double newYFrom,
                        double newYTo, int newPixels) {
  oX = newOX;
  oY = newOY;
  if (newPixels > 0) {
    pixels = newPixels;
  }
  if (newXFrom < newXTo) {
    xFrom = newXFrom;
    xTo = newXTo;
  }
  if (newYFrom < newYTo) {
    yFrom = newYFrom;
    yTo = newYTo;
  }
  updateVisibleRanges();
}

void PlotState::copyFrom(const PlotState& live) {
  std::lock_guard<std::mutex> lock(live.changeLock);
  firstProgram = live.firstProgram;
  secondProgram = live.secondProgram;
  kind = live.kind;
  canvasDC = live.canvasDC;
  window = live.window;
  statusBar = live.statusBar;
  oX = live.oX;
  oY = live.oY;
  width = live.width;
  height = live.height;
  a = live.a;
  b = live.b;
  c = live.c;
  d = live.d;
  yFrom = live.yFrom;
  yTo = live.yTo;
  xFrom = live.xFrom;
  xTo = live.xTo;
  tFrom = live.tFrom;
  tTo = live.tTo;
  accuracy = live.accuracy;
  pixels = live.pixels;
  xMin = live.xMin;
  xMax = live.xMax;
  yMin = live.yMin;
  yMax = live.yMax;
}

bool samplingAdvances(double from, double to, double step) {
  if (!(step > 0) || !std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step)) {
    return false;
  }
  double largest = std::fmax(std::fabs(from), std::fabs(to));
  double spacing = std::nextafter(largest, std::numeric_limits<double>::infinity()) - largest;
  return step > spacing;
}

bool wholePartFits32(double v) {
  return v > kLeast32 - 1 && v < kMost32 + 1;
}

std::int32_t pixelOf(double v) {
  constexpr double kLimit = 1.0e9;
  if (!(v > -kLimit)) {
    return static_cast<std::int32_t>(-kLimit); // also NaN
  }
  if (v > kLimit) {
    return static_cast<std::int32_t>(kLimit);
  }
  return static_cast<std::int32_t>(v);
}
