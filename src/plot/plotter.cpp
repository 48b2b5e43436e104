#include "plot/plotter.h"

#include "expr/batch.h"
#include "expr/numeric.h"
#include "expr/program.h"
#include "plot/implicit_marks.h"
#include "window_calls/window_calls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

HPEN selectPen(HDC dc, HPEN pen) {
  return static_cast<HPEN>(SelectObject(dc, pen));
}

void drawText(HDC dc, int x, int y, const char* text) {
  TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

// "%d" of a mark's value, truncated toward zero.
int labelValue(double v) {
  return numeric::clamp32(v);
}

} // namespace

Plotter::Plotter() : rowYs(BatchProgram::RowCache), rowPixels(BatchProgram::RowCache), lanes(1) {
  curvePen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  axisPen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
  framePen = CreatePen(PS_SOLID, 1, RGB(0, 120, 0));
  labelFont = CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, RUSSIAN_CHARSET, OUT_CHARACTER_PRECIS,
                          CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, nullptr);
}

Plotter::~Plotter() {
  DeleteObject(curvePen);
  DeleteObject(axisPen);
  DeleteObject(framePen);
  DeleteObject(labelFont);
}

int Plotter::threadCount() const {
  if (threads > 0) {
    return threads;
  }
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void Plotter::drawAll(const std::atomic<bool>& stopRequest, const PlotState& live) {
  if (stopRequested(stopRequest)) {
    return;
  }
  state.copyFrom(live);
  drawAxes();
  drawMarks();
  if (stopRequested(stopRequest)) {
    return;
  }
  switch (state.kind) {
  case Explicit:
    if (state.firstProgram != nullptr) {
      traceExplicit(stopRequest);
    }
    break;
  case Parametric:
    if (state.firstProgram != nullptr && state.secondProgram != nullptr) {
      traceParametric(stopRequest);
    }
    break;
  case ImplicitLess:
  case ImplicitEqual:
  case ImplicitGreater:
    if (state.firstProgram != nullptr) {
      traceImplicit(stopRequest);
    }
    break;
  default:
    break;
  }
  if (!stopRequested(stopRequest)) {
    drawFrame();
  }
}

void Plotter::drawAxes() {
  HDC dc = state.canvasDC;
  HPEN old = selectPen(dc, axisPen);
  if (horizontalAxisShown()) {
    int py = pixelOf(state.oY);
    MoveToEx(dc, 0, py, nullptr);
    LineTo(dc, pixelOf(state.width), py);
  }
  if (verticalAxisShown()) {
    int px = pixelOf(state.oX);
    MoveToEx(dc, px, 0, nullptr);
    LineTo(dc, px, pixelOf(state.height));
  }
  selectPen(dc, old);
}

void Plotter::drawMarks() {
  HDC dc = state.canvasDC;
  HPEN oldPen = selectPen(dc, axisPen);
  HGDIOBJ oldFont = SelectObject(dc, labelFont);
  int axisX = pixelOf(state.oX);
  int axisY = pixelOf(state.oY);
  if (horizontalAxisShown()) {
    for (double v = std::trunc(state.xMin); v < state.xMax; v += 1) {
      int px = pixelOf(v * state.pixels + state.oX);
      std::snprintf(labelText, sizeof labelText, "%d", labelValue(v));
      drawText(dc, px - 3, axisY + 5, labelText);
      MoveToEx(dc, px, axisY + 5, nullptr);
      LineTo(dc, px, axisY - 5);
    }
  }
  if (verticalAxisShown()) {
    for (double v = std::trunc(state.yMin); v < state.yMax; v += 1) {
      int py = pixelOf(state.oY - v * state.pixels);
      std::snprintf(labelText, sizeof labelText, "%d", labelValue(v));
      drawText(dc, axisX + 5, py - 5, labelText);
      MoveToEx(dc, axisX - 5, py, nullptr);
      LineTo(dc, axisX + 5, py);
    }
  }
  SelectObject(dc, oldFont);
  selectPen(dc, oldPen);
}

void Plotter::drawFrame() {
  HDC dc = state.canvasDC;
  HPEN old = selectPen(dc, framePen);
  int w = pixelOf(state.width);
  int h = pixelOf(state.height);
  MoveToEx(dc, 0, 0, nullptr);
  LineTo(dc, 0, h - 1);
  LineTo(dc, w - 1, h - 1);
  LineTo(dc, w - 1, 0);
  LineTo(dc, 0, 0);
  selectPen(dc, old);
}

// The canvas point (x, y) in the device pixel it lies in, or in its logical pixel.
void Plotter::curveMoveTo(HDC dc, double x, double y) {
  if (curveScale == 0) {
    MoveToEx(dc, pixelOf(x), pixelOf(y), nullptr);
  } else {
    MoveToDevice(dc, pixelOf(curveScale * x), pixelOf(curveScale * y));
  }
}

void Plotter::curveLineTo(HDC dc, double x, double y) {
  if (curveScale == 0) {
    LineTo(dc, pixelOf(x), pixelOf(y));
  } else {
    LineToDevice(dc, pixelOf(curveScale * x), pixelOf(curveScale * y));
  }
}

int Plotter::beginCurve(CProgram& p, int chunk) {
  if (fastPaths && p.batch != nullptr) {
    p.batch->beginPass(state.a, state.b, state.c, state.d);
    return std::min(chunk, p.batch->chunkSize());
  }
  return chunk;
}

const double* Plotter::curveValues(CProgram& p, const double* ts, int n, double* buffer) {
  if (fastPaths && p.batch != nullptr) {
    return p.batch->evaluateLine(ts, n);
  }
  for (int i = 0; i < n; ++i) {
    buffer[i] = p.evaluate(ts[i], ts[i], state.a, state.b, state.c, state.d);
  }
  return buffer;
}

// Samples are evaluated a chunk at a time and drawn one by one, each from the
// new sample back to the previous one.
void Plotter::traceExplicit(const std::atomic<bool>& stopRequest) {
  const PlotState& s = state;
  if (!samplingAdvances(s.xMin, s.xMax, s.accuracy)) {
    return;
  }
  HDC dc = s.canvasDC;
  CProgram& f = *s.firstProgram;
  HPEN old = selectPen(dc, curvePen);
  curveScale = devicePoints ? GetDeviceScale(dc) : 0;
  const int chunk = beginCurve(f, BatchProgram::MaxChunk);
  double prevY = *curveValues(f, &s.xMin, 1, curveF.data());
  beginExplicitProgress();
  bool stopped = false;
  for (double x = s.xMin; x < s.xMax && !stopped;) {
    int n = 0;
    for (; n < chunk && x < s.xMax; ++n, x += s.accuracy) {
      curveT[static_cast<std::size_t>(n)] = x;
    }
    const double* ys = curveValues(f, curveT.data(), n, curveF.data());
    for (int j = 0; j < n; ++j) {
      double xj = curveT[static_cast<std::size_t>(j)];
      curveMoveTo(dc, s.canvasX(xj), s.canvasY(ys[j]));
      curveLineTo(dc, s.canvasX(xj - s.accuracy), s.canvasY(prevY));
      prevY = ys[j];
      if (stopRequested(stopRequest)) {
        stopped = true;
        break;
      }
      stepProgress();
    }
  }
  selectPen(dc, old);
}

void Plotter::traceParametric(const std::atomic<bool>& stopRequest) {
  const PlotState& s = state;
  if (!samplingAdvances(s.tFrom, s.tTo, s.accuracy)) {
    return;
  }
  HDC dc = s.canvasDC;
  // The formula of the OX edit gives the horizontal coordinate, that of OY the vertical.
  CProgram& g = *s.firstProgram;
  CProgram& f = *s.secondProgram;
  HPEN old = selectPen(dc, curvePen);
  curveScale = devicePoints ? GetDeviceScale(dc) : 0;
  const int chunk = beginCurve(f, beginCurve(g, BatchProgram::MaxChunk));
  double prevG = *curveValues(g, &s.tFrom, 1, curveG.data());
  double prevF = *curveValues(f, &s.tFrom, 1, curveF.data());
  beginParametricProgress();
  bool stopped = false;
  for (double t = s.tFrom; t < s.tTo && !stopped;) {
    int n = 0;
    for (; n < chunk && t < s.tTo; ++n, t += s.accuracy) {
      curveT[static_cast<std::size_t>(n)] = t;
    }
    const double* gs = curveValues(g, curveT.data(), n, curveG.data());
    const double* fs = curveValues(f, curveT.data(), n, curveF.data());
    for (int j = 0; j < n; ++j) {
      curveMoveTo(dc, s.canvasX(gs[j]), s.canvasY(fs[j]));
      curveLineTo(dc, s.canvasX(prevG), s.canvasY(prevF));
      prevG = gs[j];
      prevF = fs[j];
      if (stopRequested(stopRequest)) {
        stopped = true;
        break;
      }
      stepProgress();
    }
  }
  selectPen(dc, old);
}

void Plotter::traceImplicit(const std::atomic<bool>& stopRequest) {
  const PlotState& s = state;
  if (!samplingAdvances(s.xFrom, s.xTo, s.accuracy) ||
      !samplingAdvances(s.yFrom, s.yTo, s.accuracy)) {
    return;
  }
  HDC dc = s.canvasDC;
  HPEN old = selectPen(dc, curvePen);
  beginImplicitProgress();
  PixelTarget target{};
  const bool known = GetPixelTarget(dc, &target) != FALSE;
  marks = devicePoints && known ? markGrid(s, target.scale, target.penWidth) : MarkGrid{};
  if (fastPaths && s.firstProgram->batch != nullptr && known && target.rop2 == R2_COPYPEN) {
    scanImplicitFast(stopRequest, target);
  } else {
    scanImplicit(stopRequest);
  }
  selectPen(dc, old);
}

void Plotter::scanImplicit(const std::atomic<bool>& stopRequest) {
  const PlotState& s = state;
  HDC dc = s.canvasDC;
  CProgram& f = *s.firstProgram;
  const double e = s.accuracy;
  const double yFirst = sampleAt(s.yFrom, firstRow, s.accuracy);
  for (double x = sampleAt(s.xFrom, firstColumn, s.accuracy); x < s.xTo; x += s.accuracy) {
    for (double y = yFirst; y < s.yTo; y += s.accuracy) {
      double v = f.evaluate(x, y, s.a, s.b, s.c, s.d);
      if (marked(s.kind, v, e)) {
        const std::int32_t column = markColumn(s, x, marks);
        const std::int32_t row = markRow(s, y, marks);
        if (marks.logical()) {
          MoveToEx(dc, column, row, nullptr);
          LineTo(dc, column - 1, row - 1); // the end is not drawn: this sets (column, row)
        } else {
          MarkDevicePixels(dc, column, row, marks.dot);
        }
      }
      if (stopRequested(stopRequest)) {
        return;
      }
      stepProgress();
    }
  }
}

void Plotter::beginExplicitProgress() {
  beginProgress((state.xMax - state.xMin + 1) * (1 / state.accuracy));
}

void Plotter::beginParametricProgress() {
  beginProgress((state.tTo - state.tFrom + 1) * (1 / state.accuracy));
}

void Plotter::beginImplicitProgress() {
  beginProgress((state.xTo - state.xFrom) * (state.yTo - state.yFrom) * (1 / state.accuracy) *
                (1 / state.accuracy));
}

void Plotter::beginProgress(double expected) {
  samplesDone = 0;
  shownPercent = 0;
  // No pass Apply takes has more than about 2^108 samples (each range holds at
  // most 2^54 steps that advance); the bound keeps samplesDone * 100 in range.
  constexpr double kMostSamples = 0x1p110;
  if (!(expected >= 1)) {
    samplesTotal = 1; // also NaN
  } else if (expected >= kMostSamples) {
    samplesTotal = static_cast<SampleCount>(kMostSamples);
  } else {
    samplesTotal = static_cast<SampleCount>(expected);
  }
  nextPercentAt = (samplesTotal + 99) / 100;
  watchPending = watch && watchAt > 0;
  if (watchPending) {
    nextPercentAt = std::min(nextPercentAt, watchAt);
  }
}

void Plotter::showProgress() {
  if (watchPending && samplesDone >= watchAt) {
    watchPending = false;
    watch();
  }
  const SampleCount whole = samplesDone * 100 / samplesTotal;
  auto percent = static_cast<std::int32_t>(whole < INT32_MAX ? whole : SampleCount{INT32_MAX});
  if (percent > shownPercent) {
    shownPercent = percent;
    std::snprintf(progressText, sizeof progressText, "complit : %d%%       ", percent);
    HDC dc = GetDC(state.window);
    if (dc != nullptr) {
      drawText(dc, 0, 0, progressText);
      ReleaseDC(state.window, dc);
    }
  }
  // The first count at which the whole percentage rises again.
  nextPercentAt = ((SampleCount{shownPercent} + 1) * samplesTotal + 99) / 100;
  if (watchPending) {
    nextPercentAt = std::min(nextPercentAt, watchAt);
  }
}
