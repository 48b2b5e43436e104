// The implicit scan on the batch evaluator: the same samples, tests, pixels,
// progress and stop polls as the plain scan, with the formula evaluated a chunk
// of a row at a time and the marked pixels set directly, or, for a target that
// records, reported as runs of rows of the row's pixel column.

#include "expr/batch.h"
#include "expr/program.h"
#include "plot/plotter.h"

namespace {

template <GraphKind Kind> bool marked(double v, double e) {
  if constexpr (Kind == ImplicitLess) {
    return v <= -e;
  } else if constexpr (Kind == ImplicitEqual) {
    return -e <= v && v <= e;
  } else {
    return v >= -e; // the same bound as for < 0
  }
}

// Marked rows of one pixel column, gathered into runs of adjacent rows.
class RunCollector {
public:
  explicit RunCollector(const PixelTarget& target) : sink_(target.runs), pixel_(target.penPixel) {}
  void beginColumn(std::int32_t column, bool visible) {
    column_ = column;
    visible_ = visible;
  }
  void mark(std::int32_t row) {
    if (!visible_) {
      return;
    }
    if (top_ <= bottom_ && row >= top_ - 1 && row <= bottom_ + 1) {
      top_ = std::min(top_, row);
      bottom_ = std::max(bottom_, row);
      return;
    }
    flush();
    top_ = bottom_ = row;
  }
  void flush() {
    if (top_ <= bottom_) {
      sink_->markRun(pixel_, column_, top_, bottom_);
      bottom_ = top_ - 1;
    }
  }

private:
  PixelRunSink* sink_;
  std::uint32_t pixel_;
  std::int32_t column_ = 0;
  bool visible_ = false;
  std::int32_t top_ = 0, bottom_ = -1; // an open run when top_ <= bottom_
};

} // namespace

void Plotter::scanImplicitFast(const std::atomic<bool>& stopRequest, const PixelTarget& target) {
  const bool runs = target.pixels == nullptr && target.runs != nullptr;
  switch (state.kind) {
  case ImplicitLess:
    return runs ? scanImplicitRows<ImplicitLess, true>(stopRequest, target)
                : scanImplicitRows<ImplicitLess, false>(stopRequest, target);
  case ImplicitEqual:
    return runs ? scanImplicitRows<ImplicitEqual, true>(stopRequest, target)
                : scanImplicitRows<ImplicitEqual, false>(stopRequest, target);
  default:
    return runs ? scanImplicitRows<ImplicitGreater, true>(stopRequest, target)
                : scanImplicitRows<ImplicitGreater, false>(stopRequest, target);
  }
}

template <GraphKind Kind, bool Runs>
void Plotter::scanImplicitRows(const std::atomic<bool>& stopRequest, const PixelTarget& target) {
  const PlotState& s = state;
  BatchProgram& batch = *s.firstProgram->batch;
  batch.beginPass(s.a, s.b, s.c, s.d);
  const int chunk = batch.chunkSize();
  const double e = s.accuracy;
  const auto width = static_cast<std::size_t>(target.width);
  const auto height = static_cast<unsigned>(target.height);
  const std::uint32_t pen = target.penPixel;
  const int capacity = static_cast<int>(rowYs.size());

  double ys[BatchProgram::MaxChunk];
  std::int32_t rows[BatchProgram::MaxChunk];
  int known = 0; // samples of a row whose y and pixel row are in rowYs and rowPixels
  bool anyMarked = false;
  std::int32_t lastX = 0, lastY = 0;
  std::int64_t done = samplesDone;
  RunCollector collector(target);
  auto finish = [&] {
    if constexpr (Runs) {
      collector.flush();
    }
    samplesDone = done;
    if (anyMarked) {
      MoveToEx(s.canvasDC, lastX, lastY, nullptr); // where the last one-pixel line would end
    }
  };

  for (double x = s.xFrom; x < s.xTo; x += s.accuracy) {
    const std::int32_t ix = pixelOf(s.canvasX(x));
    const std::int32_t column = ix + 1;
    std::uint32_t* columnPixels = column >= 0 && column < target.width && target.pixels != nullptr
                                      ? target.pixels + column
                                      : nullptr;
    if constexpr (Runs) {
      collector.flush();
      collector.beginColumn(column, column >= 0 && column < target.width);
    }
    batch.beginRow(x);
    double y = s.yFrom;
    int index = 0;
    while (y < s.yTo) {
      int n = 0;
      const double* chunkYs = ys;
      const std::int32_t* chunkRows = rows;
      if (index < known) {
        n = std::min(chunk, known - index);
        chunkYs = &rowYs[static_cast<std::size_t>(index)];
        chunkRows = &rowPixels[static_cast<std::size_t>(index)];
        y = chunkYs[n - 1] + s.accuracy;
      } else {
        for (; n < chunk && y < s.yTo; ++n, y += s.accuracy) {
          ys[n] = y;
          rows[n] = pixelOf(s.canvasY(y)) + 1;
        }
        if (index == known && known + n <= capacity) {
          std::copy(ys, ys + n, &rowYs[static_cast<std::size_t>(known)]);
          std::copy(rows, rows + n, &rowPixels[static_cast<std::size_t>(known)]);
          known += n;
        }
      }
      const double* values = batch.evaluateRow(chunkYs, index, n);
      for (int j = 0; j < n; ++j) {
        if (marked<Kind>(values[j], e)) {
          const std::int32_t row = chunkRows[j];
          if constexpr (Runs) {
            collector.mark(row);
          } else if (columnPixels != nullptr && static_cast<unsigned>(row) < height) {
            columnPixels[static_cast<std::size_t>(row) * width] = pen;
          }
          anyMarked = true;
          lastX = ix;
          lastY = row - 1;
        }
        if (stopRequested(stopRequest)) {
          finish();
          return;
        }
        if (++done >= nextPercentAt) {
          samplesDone = done;
          showProgress();
        }
      }
      index += n;
    }
  }
  finish();
}
