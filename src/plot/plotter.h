#pragma once
// Plotter: one drawing pass of a snapshot of the plot state: axes, unit marks
// and labels, the graph of the chosen kind with a progress text, and the frame.

#include "plot/plot_state.h"
#include "plot/surface.h"
#include "plot/worker_context.h"

#include <cstdint>

class Plotter {
public:
  char labelText[500] = {};
  char progressText[500] = {};
  HPEN curvePen = nullptr;
  HPEN axisPen = nullptr;
  HPEN framePen = nullptr;
  HFONT labelFont = nullptr;
  PlotState state;
  std::int32_t shownPercent = 0;
  // 64-bit so that a pass of any size shows a meaningful percentage.
  std::int64_t samplesDone = 0;
  std::int64_t samplesTotal = 1;

  Plotter();
  ~Plotter();
  Plotter(const Plotter&) = delete;
  Plotter& operator=(const Plotter&) = delete;

  // One whole pass into the live state's canvas; only ctx.stopRequest is read.
  void drawAll(const WorkerContext& ctx, const PlotState& live);

  void drawAxes();
  void drawMarks();
  void drawFrame();
  void traceExplicit(const WorkerContext& ctx);
  void traceParametric(const WorkerContext& ctx);
  void traceImplicit(const WorkerContext& ctx);

  void beginExplicitProgress();
  void beginParametricProgress();
  void beginImplicitProgress();
  void stepProgress() {
    if (++samplesDone >= nextPercentAt) {
      showProgress();
    }
  }

private:
  // samplesDone at which the whole percentage next rises; saves a division per sample.
  std::int64_t nextPercentAt = 0;

  void beginProgress(double expected);
  void showProgress();
  bool horizontalAxisShown() const { return 0 < state.oY && state.oY < state.height; }
  bool verticalAxisShown() const { return 0 < state.oX && state.oX < state.width; }
};
