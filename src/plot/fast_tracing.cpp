// The implicit scan on the batch evaluator: the same samples, tests, pixels,
// progress and stop polls as the plain scan, with the formula evaluated a chunk
// of a row at a time and the marked pixels set directly, or, for a target that
// records, reported as runs of rows of the row's pixel column. Into pixels, the
// pass's columns are shared among threads (see scanImplicitShared).

#include "expr/batch.h"
#include "expr/program.h"
#include "plot/column_ranges.h"
#include "plot/implicit_marks.h"
#include "plot/plotter.h"

#include <algorithm>

namespace {

// The most memory the tables of a row's y values and pixel rows may take.
constexpr std::size_t kRowTableBytes = std::size_t{64} << 20;
// Columns of a shared pass laid out at a time.
constexpr int kColumnBlock = 65536;
// Samples a thread takes at a time, at least: enough that taking is rare, few
// enough that the threads end together.
constexpr std::int64_t kRangeSamples = 16384;

// Marked rows of one pixel column (or of the dot's columns from it), gathered
// into runs of adjacent rows.
class RunCollector {
public:
  RunCollector(const PixelTarget& target, int columns)
      : sink_(target.runs), pixel_(target.penPixel), columns_(columns) {}
  void beginColumn(std::int32_t column, bool visible) {
    column_ = column;
    visible_ = visible;
  }
  // Rows row..last, both included.
  void mark(std::int32_t row, std::int32_t last) {
    if (!visible_) {
      return;
    }
    if (top_ <= bottom_ && last >= top_ - 1 && row <= bottom_ + 1) {
      top_ = std::min(top_, row);
      bottom_ = std::max(bottom_, last);
      return;
    }
    flush();
    top_ = row;
    bottom_ = last;
  }
  void flush() {
    if (top_ <= bottom_) {
      for (int c = 0; c < columns_; ++c) {
        sink_->markRun(pixel_, column_ + c, top_, bottom_);
      }
      bottom_ = top_ - 1;
    }
  }

private:
  PixelRunSink* sink_;
  std::uint32_t pixel_;
  int columns_;
  std::int32_t column_ = 0;
  bool visible_ = false;
  std::int32_t top_ = 0, bottom_ = -1; // an open run when top_ <= bottom_
};

// A dot of dot x dot pixels, its top left at (column, row), inside the target.
void setDot(const PixelTarget& t, std::int32_t column, std::int32_t row, int dot) {
  const std::int64_t left = std::max<std::int64_t>(column, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{column} + dot, t.width);
  const std::int64_t top = std::max<std::int64_t>(row, 0);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{row} + dot, t.height);
  for (std::int64_t y = top; y < bottom; ++y) {
    std::uint32_t* line =
        t.pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(t.width);
    std::fill(line + left, line + std::max(left, right), t.penPixel);
  }
}

} // namespace

void Plotter::scanImplicitFast(const std::atomic<bool>& stopRequest, const PixelTarget& target) {
  BatchProgram& batch = *state.firstProgram->batch;
  batch.beginPass(state.a, state.b, state.c, state.d);
  const int known = prepareRows();
  // Kept values are indexed by the row's sample index, which the tables start at
  // firstRow: keep none when that is not 0.
  batch.keepRow(rowYs.data(), firstRow == 0 ? known : 0);
  lanes[0].begin(batch);
  const bool runs = target.pixels == nullptr && target.runs != nullptr;
  pruned.counts = PrunedPass::Counts{};
  // A watch is due at an exact sample: only the plain scan counts them one by one.
  if (pruning && !watch && (target.pixels != nullptr || runs) &&
      pruned.run(*this, stopRequest, target, known)) {
    return;
  }
  // A recording takes its runs in the order of the scan; a watch is due at an
  // exact sample. Both keep to one thread.
  int shared = runs || watch ? 1 : threadCount();
  if (shared > 1) {
    shared = 1 + helpers.reserve(shared - 1);
  }
  switch (state.kind) {
  case ImplicitLess:
    return runs         ? scanImplicitRows<ImplicitLess, true>(stopRequest, target, known)
           : shared > 1 ? scanImplicitShared<ImplicitLess>(stopRequest, target, known, shared)
                        : scanImplicitRows<ImplicitLess, false>(stopRequest, target, known);
  case ImplicitEqual:
    return runs         ? scanImplicitRows<ImplicitEqual, true>(stopRequest, target, known)
           : shared > 1 ? scanImplicitShared<ImplicitEqual>(stopRequest, target, known, shared)
                        : scanImplicitRows<ImplicitEqual, false>(stopRequest, target, known);
  default:
    return runs         ? scanImplicitRows<ImplicitGreater, true>(stopRequest, target, known)
           : shared > 1 ? scanImplicitShared<ImplicitGreater>(stopRequest, target, known, shared)
                        : scanImplicitRows<ImplicitGreater, false>(stopRequest, target, known);
  }
}

// The y values of a row and their pixel rows, as far as the tables may grow; how
// many samples the tables hold.
int Plotter::prepareRows() {
  const PlotState& s = state;
  const std::size_t most = kRowTableBytes / (sizeof(double) + sizeof(std::int32_t));
  const double first = sampleAt(s.yFrom, firstRow, s.accuracy);
  std::size_t count = 0;
  for (double y = first; y < s.yTo && count < most; y += s.accuracy) {
    ++count;
  }
  if (rowYs.size() < count) {
    rowYs.resize(count);
    rowPixels.resize(count);
  }
  double y = first;
  for (std::size_t i = 0; i < count; ++i, y += s.accuracy) {
    rowYs[i] = y;
    rowPixels[i] = markRow(s, y, marks);
  }
  return static_cast<int>(count);
}

// One column of samples at x from row firstRow on: evaluates a chunk at a time,
// and takes the y values and pixel rows from the tables (which start at firstRow)
// as far as they go, then accumulates them as the plain scan does.
// `chunkValues(values, rows, n)` takes each chunk and returns false to end the
// column.
template <class ChunkValues>
bool scanColumn(const PlotState& s, const MarkGrid& marks, BatchProgram::Lane& lane, int chunk,
                double x, std::int64_t firstRow, const double* tableYs,
                const std::int32_t* tableRows, int known, ChunkValues chunkValues) {
  double ys[BatchProgram::MaxChunk];
  std::int32_t rows[BatchProgram::MaxChunk];
  lane.beginRow(x);
  double y = sampleAt(s.yFrom, firstRow, s.accuracy);
  // A column may hold more than 2^31 samples.
  for (std::int64_t inTable = 0; y < s.yTo;) {
    int n = 0;
    const double* chunkYs = ys;
    const std::int32_t* chunkRows = rows;
    if (inTable < known) {
      n = static_cast<int>(std::min<std::int64_t>(chunk, known - inTable));
      chunkYs = tableYs + inTable;
      chunkRows = tableRows + inTable;
      y = chunkYs[n - 1] + s.accuracy;
    } else {
      for (; n < chunk && y < s.yTo; ++n, y += s.accuracy) {
        ys[n] = y;
        rows[n] = markRow(s, y, marks);
      }
    }
    if (!chunkValues(lane.evaluateRow(chunkYs, firstRow + inTable, n), chunkRows, n)) {
      return false;
    }
    inTable += n;
  }
  return true;
}

// The pass on this thread. Every sample is drawn, then the stop is polled, then
// the sample counts; the polls between two progress steps are taken together
// after the last of them, which sees a stop from another thread as the poll of
// that sample would have. A stop set by the progress step itself (a watch, a
// window) is seen by the poll of the next sample, which is drawn first.
template <GraphKind Kind, bool Runs>
void Plotter::scanImplicitRows(const std::atomic<bool>& stopRequest, const PixelTarget& target,
                               int known) {
  const PlotState& s = state;
  BatchProgram::Lane& lane = lanes[0];
  const int chunk = s.firstProgram->batch->chunkSize();
  const double e = s.accuracy;
  const auto width = static_cast<std::size_t>(target.width);
  const auto height = static_cast<unsigned>(target.height);
  const std::uint32_t pen = target.penPixel;
  const int dot = marks.dot;

  bool anyMarked = false;
  bool stopSeen = false;
  std::int32_t lastX = 0, lastY = 0;
  SampleCount done = samplesDone;
  RunCollector collector(target, dot);
  bool going = true;
  for (double x = sampleAt(s.xFrom, firstColumn, s.accuracy); x < s.xTo && going; x += s.accuracy) {
    const std::int32_t column = markColumn(s, x, marks);
    const std::int32_t ix = column - 1;
    std::uint32_t* columnPixels = column >= 0 && column < target.width && target.pixels != nullptr
                                      ? target.pixels + column
                                      : nullptr;
    if constexpr (Runs) {
      collector.flush();
      collector.beginColumn(column, column > -dot && column < target.width);
    }
    auto chunkValues = [&](const double* values, const std::int32_t* rows, int n) {
      for (int j = 0; j < n;) {
        const SampleCount untilStep = std::max<SampleCount>(nextPercentAt - done, 1);
        const int end =
            stopSeen ? j + 1 : static_cast<int>(std::min<SampleCount>(n, j + untilStep));
        for (int k = j; k < end; ++k) {
          if (marked<Kind>(values[k], e)) {
            const std::int32_t row = rows[k];
            if constexpr (Runs) {
              collector.mark(row, row + dot - 1);
            } else if (dot > 1) {
              setDot(target, column, row, dot);
            } else if (columnPixels != nullptr && static_cast<unsigned>(row) < height) {
              columnPixels[static_cast<std::size_t>(row) * width] = pen;
            }
            anyMarked = true;
            lastX = ix;
            lastY = row - 1;
          }
        }
        if (stopSeen) {
          return false;
        }
        if (stopRequested(stopRequest)) {
          done += end - j - 1; // seen after the last of them, which is not counted
          return false;
        }
        done += end - j;
        j = end;
        if (done >= nextPercentAt) {
          samplesDone = done;
          showProgress();
          stopSeen = stopRequested(stopRequest);
        }
      }
      return true;
    };
    going = scanColumn(s, marks, lane, chunk, x, firstRow, rowYs.data(), rowPixels.data(), known,
                       chunkValues);
  }
  if constexpr (Runs) {
    collector.flush();
  }
  samplesDone = done;
  if (anyMarked && marks.logical()) {
    MoveToEx(s.canvasDC, lastX, lastY, nullptr); // where the last one-pixel line would end
  }
}

// What the threads of a shared pass share: the block of columns, its ranges, the
// next range to take and the count of samples done.
struct Plotter::SharedScan {
  Plotter& plotter;
  const std::atomic<bool>& stopRequest;
  const PixelTarget& target;
  int known;
  std::int64_t blockColumn = 0; // the pass's index of columnXs[0]
  int ranges = 0;
  std::atomic<int> nextRange{0};
  std::atomic<std::int64_t> done{0};
};

// Splits `count` columns of the block into ranges of about kRangeSamples samples
// that no dot of one range reaches into a pixel column of another. The number of
// ranges.
int Plotter::splitColumns(int count, int rowsPerColumn, int width) {
  const int least = static_cast<int>(
      std::clamp<std::int64_t>(kRangeSamples / std::max(rowsPerColumn, 1), 1, kColumnBlock));
  auto pixelColumn = [&](int i) {
    return markColumn(state, columnXs[static_cast<std::size_t>(i)], marks);
  };
  return splitColumnRanges(count, least, width, marks.dot, pixelColumn, rangeStarts.data());
}

// Ranges of columns taken in turn until none is left or the stop is seen. Lane 0
// is the pass's own thread, which also shows the progress of all.
template <GraphKind Kind> void Plotter::scanRanges(SharedScan& scan, int laneIndex) {
  Plotter& p = scan.plotter;
  const PlotState& s = p.state;
  BatchProgram::Lane& lane = p.lanes[static_cast<std::size_t>(laneIndex)];
  LastMark& last = p.lastMarks[static_cast<std::size_t>(laneIndex)];
  const int chunk = s.firstProgram->batch->chunkSize();
  const double e = s.accuracy;
  const PixelTarget& target = scan.target;
  const auto width = static_cast<std::size_t>(target.width);
  const auto height = static_cast<unsigned>(target.height);
  const std::uint32_t pen = target.penPixel;
  const MarkGrid& marks = p.marks;
  for (;;) {
    const int range = scan.nextRange.fetch_add(1, std::memory_order_relaxed);
    if (range >= scan.ranges || stopRequested(scan.stopRequest)) {
      return;
    }
    std::int64_t counted = 0;
    bool going = true;
    const int end = p.rangeStarts[static_cast<std::size_t>(range) + 1];
    for (int c = p.rangeStarts[static_cast<std::size_t>(range)]; c < end && going; ++c) {
      const double x = p.columnXs[static_cast<std::size_t>(c)];
      const std::int32_t column = markColumn(s, x, marks);
      const std::int32_t ix = column - 1;
      std::uint32_t* columnPixels =
          column >= 0 && column < target.width ? target.pixels + column : nullptr;
      const std::int64_t passColumn = scan.blockColumn + c;
      // The stop is polled after every chunk.
      auto chunkValues = [&](const double* values, const std::int32_t* rows, int n) {
        for (int k = 0; k < n; ++k) {
          if (marked<Kind>(values[k], e)) {
            const std::int32_t row = rows[k];
            if (marks.dot > 1) {
              setDot(target, column, row, marks.dot);
            } else if (columnPixels != nullptr && static_cast<unsigned>(row) < height) {
              columnPixels[static_cast<std::size_t>(row) * width] = pen;
            }
            last = LastMark{passColumn, ix, row - 1};
          }
        }
        counted += n;
        return !stopRequested(scan.stopRequest);
      };
      going = scanColumn(s, marks, lane, chunk, x, p.firstRow, p.rowYs.data(), p.rowPixels.data(),
                         scan.known, chunkValues);
    }
    const std::int64_t done = scan.done.fetch_add(counted, std::memory_order_relaxed) + counted;
    if (!going) {
      return;
    }
    if (laneIndex == 0 && done >= p.nextPercentAt) {
      p.samplesDone = done;
      p.showProgress();
    }
  }
}

template <GraphKind Kind> void Plotter::helperJob(void* scan, int lane) {
  scanRanges<Kind>(*static_cast<SharedScan*>(scan), lane);
}

// The columns of the pass a block at a time; in each block the threads take
// ranges of columns in turn, the pass's own thread among them, which waits for
// the others at the end of the block. Every sample, pixel and count is the
// single thread's; the pen ends where the last marked sample of the pass puts it.
template <GraphKind Kind>
void Plotter::scanImplicitShared(const std::atomic<bool>& stopRequest, const PixelTarget& target,
                                 int known, int threadsToUse) {
  const PlotState& s = state;
  const auto threadsCount = static_cast<std::size_t>(threadsToUse);
  if (lanes.size() < threadsCount) {
    lanes.resize(threadsCount);
  }
  if (lastMarks.size() < threadsCount) {
    lastMarks.resize(threadsCount);
  }
  for (std::size_t i = 0; i < threadsCount; ++i) {
    lanes[i].begin(*s.firstProgram->batch);
    lastMarks[i] = LastMark{};
  }
  const double wanted = (s.xTo - s.xFrom) / s.accuracy + 2;
  const auto block = static_cast<std::size_t>(wanted < kColumnBlock ? wanted : kColumnBlock);
  if (columnXs.size() < block) {
    columnXs.resize(block);
    rangeStarts.resize(block + 1);
  }
  const int rowsPerColumn = std::max(known, 1); // or more, past the tables

  SharedScan scan{*this, stopRequest, target, known};
  scan.blockColumn = firstColumn;
  double x = sampleAt(s.xFrom, firstColumn, s.accuracy);
  while (x < s.xTo && !stopRequested(stopRequest)) {
    int count = 0;
    for (; count < static_cast<int>(columnXs.size()) && x < s.xTo; ++count, x += s.accuracy) {
      columnXs[static_cast<std::size_t>(count)] = x;
    }
    scan.ranges = splitColumns(count, rowsPerColumn, target.width);
    scan.nextRange = 0;
    helpers.start(helperJob<Kind>, &scan, threadsToUse - 1);
    scanRanges<Kind>(scan, 0);
    helpers.wait();
    scan.blockColumn += count;
  }
  samplesDone = scan.done.load();
  if (!stopRequested(stopRequest) && samplesDone >= nextPercentAt) {
    showProgress();
  }
  const LastMark* last = &lastMarks[0];
  for (std::size_t i = 1; i < threadsCount; ++i) {
    if (lastMarks[i].column > last->column) {
      last = &lastMarks[i];
    }
  }
  if (last->column >= 0 && marks.logical()) {
    MoveToEx(s.canvasDC, last->x, last->y, nullptr); // where the last one-pixel line would end
  }
}
