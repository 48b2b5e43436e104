#pragma once
// Plotter: one drawing pass of a snapshot of the plot state: axes, unit marks
// and labels, the graph of the chosen kind with a progress text, and the frame.

#include "expr/batch.h"
#include "plot/helper_threads.h"
#include "plot/implicit_marks.h"
#include "plot/plot_state.h"
#include "plot/pruned_pass.h"
#include "surface/surface.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Counts of samples: a pass at the finest accuracy Apply takes holds more than
// 2^63 of them (4·10^20 at 1e-9 over the default ranges), which a pass that
// skips what cannot change the picture counts as done.
__extension__ using SampleCount = __int128;

// A relaxed read serves: the flag only has to be seen soon, not in order.
inline bool stopRequested(const std::atomic<bool>& stopRequest) {
  return stopRequest.load(std::memory_order_relaxed);
}

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
  SampleCount samplesDone = 0;
  SampleCount samplesTotal = 1;
  // The batch evaluator and direct pixel writes; false draws with the plain tree
  // walk and the line calls, which give the same picture (kept for comparison).
  bool fastPaths = true;
  // Called on the drawing thread once samplesDone reaches watchAt in a tracer, so
  // that a caller can stop a pass after a budget of samples (the fuzzing harness
  // does). Checked together with the percentage: a pass pays nothing for it, and
  // the program sets none.
  std::function<void()> watch;
  SampleCount watchAt = 0;
  // Threads that share an implicit pass; 0: one for each core of the machine.
  int threads = 0;
  // Implicit passes on the fast paths skip the samples that cannot change the
  // picture (see PrunedPass); false evaluates every sample: the plain pass, which
  // draws the same picture (kept for comparison).
  bool pruning = true;
  // The pruned pass, with what its last pass did.
  PrunedPass pruned;
  // Curves and implicit marks at the device pixels of a scaled canvas; false
  // draws every point at its logical pixel, as before scaled canvases (at scale 1
  // both give the same picture; kept for comparison).
  bool devicePoints = true;
  // Where an implicit scan starts: at this column, and in each column at this
  // row, with x and y taken as from + index · accuracy (the accumulated values
  // when the steps add exactly). Lets tests and the fuzzer reach indices past
  // 2^31 without evaluating the samples before them; the program leaves them 0.
  std::int64_t firstColumn = 0;
  std::int64_t firstRow = 0;

  Plotter();
  ~Plotter();
  Plotter(const Plotter&) = delete;
  Plotter& operator=(const Plotter&) = delete;

  // One whole pass into the live state's canvas. A pass ends as soon as it can once
  // stopRequest is set, which another thread may do at any time.
  void drawAll(const std::atomic<bool>& stopRequest, const PlotState& live);
  // The threads an implicit pass into pixels is shared among.
  int threadCount() const;

  void drawAxes();
  void drawMarks();
  void drawFrame();
  void traceExplicit(const std::atomic<bool>& stopRequest);
  void traceParametric(const std::atomic<bool>& stopRequest);
  void traceImplicit(const std::atomic<bool>& stopRequest);

  void beginExplicitProgress();
  void beginParametricProgress();
  void beginImplicitProgress();
  void stepProgress() {
    if (++samplesDone >= nextPercentAt) {
      showProgress();
    }
  }

private:
  friend class PrunedPass;

  // The y of each sample of an implicit row and the canvas row of its marked
  // pixel, the same for every row of a pass, for as many samples as fit a bound;
  // grown when a pass first needs more, never during one.
  std::vector<double> rowYs;
  std::vector<std::int32_t> rowPixels;

  // A chunk of curve samples: the parameter and the values of the two formulas.
  std::array<double, BatchProgram::MaxChunk> curveT{}, curveG{}, curveF{};

  // The shared implicit pass: one lane of the formula and one last mark per
  // thread, the pass's columns a block at a time with the ranges of columns the
  // threads take in turn, and the helper threads.
  struct LastMark {
    alignas(64) std::int64_t column = -1; // index in the pass of the marked sample's column
    std::int32_t x = 0, y = 0;
  };
  struct SharedScan;
  std::vector<BatchProgram::Lane> lanes;
  std::vector<LastMark> lastMarks;
  std::vector<double> columnXs;
  std::vector<std::int32_t> rangeStarts;
  HelperThreads helpers;

  // Where the marks of the implicit pass under way land.
  MarkGrid marks;
  // Device pixels to a logical one for the points of a curve; 0 draws them in
  // logical pixels.
  double curveScale = 0;
  void curveMoveTo(HDC dc, double x, double y);
  void curveLineTo(HDC dc, double x, double y);

  int beginCurve(CProgram& p, int chunk);
  const double* curveValues(CProgram& p, const double* ts, int n, double* buffer);
  void scanImplicit(const std::atomic<bool>& stopRequest);
  // By the kind, into pixels or, for a recording target, as runs of rows.
  void scanImplicitFast(const std::atomic<bool>& stopRequest, const PixelTarget& target);
  int prepareRows();
  template <GraphKind Kind, bool Runs>
  void scanImplicitRows(const std::atomic<bool>& stopRequest, const PixelTarget& target, int known);
  template <GraphKind Kind>
  void scanImplicitShared(const std::atomic<bool>& stopRequest, const PixelTarget& target,
                          int known, int threadsToUse);
  template <GraphKind Kind> static void scanRanges(SharedScan& scan, int lane);
  template <GraphKind Kind> static void helperJob(void* scan, int lane);
  int splitColumns(int count, int rowsPerColumn, int width);

  // samplesDone at which the whole percentage next rises, or the watch is due;
  // saves a division per sample.
  SampleCount nextPercentAt = 0;
  bool watchPending = false;

  void beginProgress(double expected);
  void showProgress();
  bool horizontalAxisShown() const { return 0 < state.oY && state.oY < state.height; }
  bool verticalAxisShown() const { return 0 < state.oX && state.oX < state.width; }
};
