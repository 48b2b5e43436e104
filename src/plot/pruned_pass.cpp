#include "plot/pruned_pass.h"

#include "expr/program.h"
#include "plot/implicit_marks.h"
#include "plot/plotter.h"

#include <algorithm>

namespace {

// The most memory the x samples of a pass and their pixel columns may take.
constexpr std::size_t kListBytes = std::size_t{64} << 20;
// Boxes of at most this many samples are evaluated rather than split.
constexpr std::int64_t kLeafSamples = 64;
// Undecided pixels of at most this many samples wait for the evaluation of their
// strip's pending pixels; those of more are split.
constexpr std::int64_t kDeferSamples = 256;
// Below this many samples to a pixel (on average over the canvas) the plain scan
// is as fast or faster: measured, it is at 4 (an accuracy of 0.025 at 20 pixels a
// unit) for poles and remainders, and faster at 2.8 (0.03).
constexpr double kLeastPerPixel = 5.0;
// A strip gives up enclosing once it has enclosed a share of its samples'
// number (at least a few), of which fewer than one in kLeastDecided decided.
constexpr std::int64_t kBudgetShare = 512;
constexpr std::int64_t kLeastBudget = 8;
constexpr std::int64_t kLeastDecided = 10;
// A strip of pruning that evaluated more than this share of its samples did not pay.
constexpr double kMissShare = 0.5;

// Each kind passes an interval of values that holds 0 or reaches to an infinity:
// no value of [lo, hi] passes when neither end nor the point nearest 0 does.
template <GraphKind Kind> bool nonePass(const Enclosure& b, double e) {
  if (!b.hasNumbers()) {
    return true; // NaN passes no test
  }
  const double nearZero = std::clamp(0.0, b.lo, b.hi);
  return !marked<Kind>(b.lo, e) && !marked<Kind>(b.hi, e) && !marked<Kind>(nearZero, e);
}

template <GraphKind Kind> bool allPass(const Enclosure& b, double e) {
  return !b.nan && b.hasNumbers() && marked<Kind>(b.lo, e) && marked<Kind>(b.hi, e);
}

using Cell = PrunedPass::Cell;

// The pending state of a pixel of a strip.
enum : std::uint8_t { Settled = 0, Pending = 1, MarkedLate = 2 };

// One thread's work on one strip of columns.
template <GraphKind Kind> class StripScan {
public:
  StripScan(const PrunedPass::Context& context, PrunedPass::Lane& lane)
      : c_(context), batch_(lane.batch), enclosure_(lane.enclosure), counts_(lane.counts),
        pending_(lane.pending.data()) {}

  // The strip's columns [c0, c1) pruned: blocks decided by enclosures, pixels
  // with many samples split further, the samples of the rest evaluated at the end.
  void prune(int c0, int c1, std::int64_t samples) {
    first_ = c0;
    judged_ = decided_ = 0;
    budget_ = std::max<std::int64_t>(kLeastBudget, samples / kBudgetShare);
    givenUp_ = false;
    block(c0, c1, 0, c_.rowCount);
    evaluatePending(c0, c1);
  }

  // Every sample of the columns [c0, c1) that lies on the canvas.
  void scan(int c0, int c1) {
    const std::int64_t j0 = c_.rows[0].first;
    const std::int64_t j1 = c_.rows[c_.rowCount - 1].last + 1;
    for (int c = c0; c < c1 && !stopRequested(c_.stop); ++c) {
      const Cell& column = c_.columns[c];
      for (std::int64_t i = column.first; i <= column.last; ++i) {
        batch_.beginRow(c_.xs[i]);
        for (std::int64_t j = j0; j < j1;) {
          if (stopRequested(c_.stop)) {
            return;
          }
          const int n = static_cast<int>(std::min<std::int64_t>(c_.chunk, j1 - j));
          const double* values = batch_.evaluateRow(c_.ys + j, c_.firstRow + j, n);
          for (int k = 0; k < n; ++k) {
            if (marked<Kind>(values[k], c_.e)) {
              const std::int32_t row = c_.yRows[j + k];
              if (static_cast<std::uint32_t>(row) < static_cast<std::uint32_t>(c_.height)) {
                c_.sink.mark(column.pixel, row);
              }
            }
          }
          counts_.evaluated += n;
          j += n;
        }
      }
    }
  }

private:
  const PrunedPass::Context& c_;
  BatchProgram::Lane& batch_;
  EnclosureProgram::Lane& enclosure_;
  PrunedPass::Counts& counts_;
  std::uint8_t* pending_; // the strip's pixels, a column's rows after another's
  int first_ = 0;         // the strip's first column cell

  std::uint8_t& pendingAt(int c, int r) {
    return pending_[static_cast<std::size_t>(c - first_) * static_cast<std::size_t>(c_.rowCount) +
                    static_cast<std::size_t>(r)];
  }

  // Enclosures of this strip, those of them that decided, the number after which
  // a strip that decides too few gives up enclosing.
  std::int64_t judged_ = 0, decided_ = 0, budget_ = 0;
  bool givenUp_ = false;

  enum class Verdict { None, All, Open };

  // Whether no sample, every sample or some of [i0, i1) x [j0, j1) may pass.
  Verdict judge(std::int64_t i0, std::int64_t i1, std::int64_t j0, std::int64_t j1) {
    ++counts_.enclosures;
    const Enclosure v = enclosure_.enclose(c_.xs[i0], c_.xs[i1 - 1], c_.ys[j0], c_.ys[j1 - 1]);
    const Verdict verdict = nonePass<Kind>(v, c_.e)  ? Verdict::None
                            : allPass<Kind>(v, c_.e) ? Verdict::All
                                                     : Verdict::Open;
    decided_ += verdict == Verdict::Open ? 0 : 1;
    if (++judged_ >= budget_ && decided_ * kLeastDecided < judged_) {
      givenUp_ = true; // enclosures that rarely decide cost more than they save
    }
    return verdict;
  }

  void defer(int c0, int c1, int r0, int r1) {
    for (int c = c0; c < c1; ++c) {
      std::fill(&pendingAt(c, r0), &pendingAt(c, r0) + (r1 - r0), Pending);
    }
  }

  void block(int c0, int c1, int r0, int r1) {
    if (stopRequested(c_.stop)) {
      return;
    }
    if (givenUp_) {
      defer(c0, c1, r0, r1);
      return;
    }
    const std::int64_t i0 = c_.columns[c0].first, i1 = c_.columns[c1 - 1].last + 1;
    const std::int64_t j0 = c_.rows[r0].first, j1 = c_.rows[r1 - 1].last + 1;
    const Verdict verdict = judge(i0, i1, j0, j1);
    if (verdict == Verdict::None) {
      return;
    }
    if (verdict == Verdict::All) {
      for (int c = c0; c < c1; ++c) {
        for (int r = r0; r < r1; ++r) {
          c_.sink.mark(c_.columns[c].pixel, c_.rows[r].pixel);
        }
      }
      return;
    }
    const int nc = c1 - c0, nr = r1 - r0;
    const std::int64_t samples = (i1 - i0) * (j1 - j0);
    if (nc == 1 && nr == 1 && samples > kDeferSamples) {
      pixel(c0, r0, i0, i1, j0, j1, true);
      return;
    }
    if (samples <= kLeafSamples || (nc == 1 && nr == 1)) {
      defer(c0, c1, r0, r1);
      return;
    }
    // Square blocks: split the longer side, or both.
    const bool splitColumns = nc > 1 && nc * 2 > nr;
    const bool splitRows = nr > 1 && nr * 2 > nc;
    const int cm = splitColumns ? c0 + nc / 2 : c1;
    const int rm = splitRows ? r0 + nr / 2 : r1;
    block(c0, cm, r0, rm);
    if (rm < r1) {
      block(c0, cm, rm, r1);
    }
    if (cm < c1) {
      block(cm, c1, r0, rm);
      if (rm < r1) {
        block(cm, c1, rm, r1);
      }
    }
  }

  // The samples [i0, i1) x [j0, j1) of the pixel of cells c and r, undecided as
  // a whole: split, then evaluated in scan order up to the first that passes; once
  // the strip has given up enclosing, a whole pixel waits with the pending ones.
  // True once the pixel is marked.
  bool pixel(int c, int r, std::int64_t i0, std::int64_t i1, std::int64_t j0, std::int64_t j1,
             bool whole) {
    const std::int32_t column = c_.columns[c].pixel, row = c_.rows[r].pixel;
    if ((i1 - i0) * (j1 - j0) <= kLeafSamples) {
      return evaluatePixel(column, row, i0, i1, j0, j1);
    }
    const std::int64_t im = i1 - i0 > 1 ? i0 + (i1 - i0) / 2 : i1;
    const std::int64_t jm = j1 - j0 > 1 ? j0 + (j1 - j0) / 2 : j1;
    const std::int64_t is[] = {i0, im, i1};
    const std::int64_t js[] = {j0, jm, j1};
    bool open[4] = {};
    for (int part = 0; part < 4; ++part) {
      const int a = part / 2, b = part % 2;
      if (is[a] == is[a + 1] || js[b] == js[b + 1]) {
        continue;
      }
      if (stopRequested(c_.stop)) {
        return false;
      }
      const Verdict verdict = judge(is[a], is[a + 1], js[b], js[b + 1]);
      if (verdict == Verdict::All) {
        c_.sink.mark(column, row);
        return true;
      }
      open[part] = verdict == Verdict::Open;
    }
    if (givenUp_) {
      if (whole) {
        pendingAt(c, r) = Pending;
        return false;
      }
      return evaluatePixel(column, row, i0, i1, j0, j1);
    }
    for (int part = 0; part < 4; ++part) {
      const int a = part / 2, b = part % 2;
      if (open[part] && pixel(c, r, is[a], is[a + 1], js[b], js[b + 1], false)) {
        return true;
      }
    }
    return false;
  }

  bool evaluatePixel(std::int32_t column, std::int32_t row, std::int64_t i0, std::int64_t i1,
                     std::int64_t j0, std::int64_t j1) {
    for (std::int64_t i = i0; i < i1; ++i) {
      batch_.beginRow(c_.xs[i]);
      for (std::int64_t j = j0; j < j1;) {
        if (stopRequested(c_.stop)) {
          return false;
        }
        const int n = static_cast<int>(std::min<std::int64_t>(c_.chunk, j1 - j));
        const double* values = batch_.evaluateRow(c_.ys + j, c_.firstRow + j, n);
        for (int k = 0; k < n; ++k) {
          if (marked<Kind>(values[k], c_.e)) {
            counts_.evaluated += k + 1;
            c_.sink.mark(column, row);
            return true;
          }
        }
        counts_.evaluated += n;
        j += n;
      }
    }
    return false;
  }

  // The samples of the pending pixels, column by column in scan order, adjacent
  // pending pixels of a column in one run; a pixel is left once it is marked.
  // Leaves every pixel of the strip settled.
  void evaluatePending(int c0, int c1) {
    const int rowCount = c_.rowCount;
    for (int c = c0; c < c1; ++c) {
      std::uint8_t* states = &pendingAt(c, 0);
      int left = static_cast<int>(std::count(states, states + rowCount, Pending));
      const Cell& column = c_.columns[c];
      for (std::int64_t i = column.first; i <= column.last && left > 0; ++i) {
        batch_.beginRow(c_.xs[i]);
        for (int r = 0; r < rowCount;) {
          if (states[r] != Pending) {
            ++r;
            continue;
          }
          int end = r + 1; // pending rows whose samples follow each other
          while (end < rowCount && states[end] == Pending &&
                 c_.rows[end].first == c_.rows[end - 1].last + 1) {
            ++end;
          }
          if (!evaluateRun(column.pixel, r, end, states, left)) {
            return;
          }
          r = end;
        }
      }
      std::fill(states, states + rowCount, Settled);
    }
  }

  // The row of the current x sample over the pending rows [r0, r1); false at a stop.
  bool evaluateRun(std::int32_t column, int r0, int r1, std::uint8_t* states, int& left) {
    const std::int64_t j1 = c_.rows[r1 - 1].last + 1;
    int r = r0;
    for (std::int64_t j = c_.rows[r0].first; j < j1;) {
      if (stopRequested(c_.stop)) {
        return false;
      }
      const int n = static_cast<int>(std::min<std::int64_t>(c_.chunk, j1 - j));
      const double* values = batch_.evaluateRow(c_.ys + j, c_.firstRow + j, n);
      for (int k = 0; k < n; ++k) {
        while (j + k > c_.rows[r].last) {
          ++r;
        }
        if (states[r] == Pending && marked<Kind>(values[k], c_.e)) {
          states[r] = MarkedLate;
          --left;
          c_.sink.mark(column, c_.rows[r].pixel);
        }
      }
      counts_.evaluated += n;
      j += n;
    }
    return true;
  }
};

} // namespace

bool PrunedPass::layOut(const Plotter& plotter, const PixelTarget& target, std::int64_t known) {
  const PlotState& s = plotter.state;
  // A mark of more than one pixel comes with fewer samples than pixels, where the
  // guard below takes the plain scan anyway.
  if (plotter.marks.dot != 1) {
    return false;
  }
  // The whole row must be in the plotter's tables.
  if (known <= 0 || plotter.rowYs[static_cast<std::size_t>(known - 1)] + s.accuracy < s.yTo) {
    return false;
  }
  const std::size_t most = kListBytes / (sizeof(double) + sizeof(std::int32_t));
  const double first = sampleAt(s.xFrom, plotter.firstColumn, s.accuracy);
  std::size_t count = 0;
  for (double x = first; x < s.xTo; x += s.accuracy) {
    if (++count > most) {
      return false;
    }
  }
  if (xs_.size() < count) {
    xs_.resize(count);
    xColumns_.resize(count);
  }
  double x = first;
  for (std::size_t i = 0; i < count; ++i, x += s.accuracy) {
    xs_[i] = x;
    xColumns_[i] = markColumn(s, x, plotter.marks);
  }
  // Runs of samples that mark one pixel on the canvas.
  auto cellsOf = [](std::vector<Cell>& cells, const std::int32_t* pixels, std::int64_t n,
                    std::int32_t size) {
    cells.clear();
    for (std::int64_t i = 0; i < n; ++i) {
      const std::int32_t p = pixels[i];
      if (p < 0 || p >= size) {
        continue;
      }
      if (!cells.empty() && cells.back().pixel == p && cells.back().last == i - 1) {
        cells.back().last = i;
      } else {
        cells.push_back(Cell{p, i, i});
      }
    }
  };
  const auto nx = static_cast<std::int64_t>(count);
  cellsOf(columns_, xColumns_.data(), nx, target.width);
  cellsOf(rows_, plotter.rowPixels.data(), known, target.height);
  std::int64_t shownX = 0, shownY = 0;
  for (const Cell& c : columns_) {
    shownX += c.last - c.first + 1;
  }
  for (const Cell& r : rows_) {
    shownY += r.last - r.first + 1;
  }
  if (!columns_.empty() && !rows_.empty()) {
    const double perPixel = static_cast<double>(shownX) / static_cast<double>(columns_.size()) *
                            static_cast<double>(shownY) / static_cast<double>(rows_.size());
    if (perPixel < kLeastPerPixel) {
      return false;
    }
  }
  hiddenSamples_ = (nx - shownX) * known;
  // Strips of about 1% of the samples on the canvas, whole pixel columns each.
  const std::int64_t stripX = std::max<std::int64_t>(1, shownX / 100);
  stripStarts_.clear();
  for (std::size_t c = 0; c < columns_.size();) {
    stripStarts_.push_back(static_cast<std::int32_t>(c));
    std::int64_t taken = 0;
    while (c < columns_.size() && taken < stripX) {
      taken += columns_[c].last - columns_[c].first + 1;
      ++c;
    }
  }
  stripStarts_.push_back(static_cast<std::int32_t>(columns_.size()));
  widestStrip_ = 0;
  for (std::size_t i = 1; i < stripStarts_.size(); ++i) {
    widestStrip_ = std::max(widestStrip_, stripStarts_[i] - stripStarts_[i - 1]);
  }
  return true;
}

// What the threads of a pass share.
struct PrunedPass::Shared {
  PrunedPass& pass;
  Plotter& plotter;
  Context context;
  std::int64_t rowSamples; // y samples of a column, on and off the canvas
  int strips;
  std::atomic<int> nextStrip{0};
  std::atomic<std::int64_t> done{0};
};

template <GraphKind Kind> void PrunedPass::takeStrips(Shared& sh, int laneIndex) {
  PrunedPass& pass = sh.pass;
  Lane& lane = pass.lanes_[static_cast<std::size_t>(laneIndex)];
  const Context& c = sh.context;
  StripScan<Kind> scan(c, lane);
  for (;;) {
    const int strip = sh.nextStrip.fetch_add(1, std::memory_order_relaxed);
    if (strip >= sh.strips || stopRequested(c.stop)) {
      return;
    }
    const int c0 = pass.stripStarts_[static_cast<std::size_t>(strip)];
    const int c1 = pass.stripStarts_[static_cast<std::size_t>(strip) + 1];
    const std::int64_t stripX = c.columns[c1 - 1].last + 1 - c.columns[c0].first;
    const std::int64_t before = lane.counts.evaluated;
    ++lane.counts.strips;
    if (c.rowCount == 0) {
      // Nothing of these columns is on the canvas.
    } else if (lane.plainAhead > 0) {
      --lane.plainAhead;
      ++lane.counts.plainStrips;
      scan.scan(c0, c1);
    } else {
      scan.prune(c0, c1,
                 stripX *
                     static_cast<std::int64_t>(c.rows[c.rowCount - 1].last + 1 - c.rows[0].first));
      // A strip that evaluated most of its samples did not pay: scan the next
      // ones plainly, for longer after each miss in a row.
      const auto shown = static_cast<double>(stripX) *
                         static_cast<double>(c.rows[c.rowCount - 1].last + 1 - c.rows[0].first);
      if (static_cast<double>(lane.counts.evaluated - before) > kMissShare * shown) {
        lane.misses = std::min(lane.misses + 1, 6);
        lane.plainAhead = 1 << lane.misses;
      } else {
        lane.misses = 0;
      }
    }
    if (stopRequested(c.stop)) {
      return;
    }
    const std::int64_t done = sh.done.fetch_add(stripX * sh.rowSamples, std::memory_order_relaxed) +
                              stripX * sh.rowSamples;
    if (laneIndex == 0 && done >= sh.plotter.nextPercentAt) {
      sh.plotter.samplesDone = done;
      sh.plotter.showProgress();
    }
  }
}

template <GraphKind Kind> void PrunedPass::helperJob(void* shared, int lane) {
  takeStrips<Kind>(*static_cast<Shared*>(shared), lane);
}

bool PrunedPass::run(Plotter& plotter, const std::atomic<bool>& stopRequest,
                     const PixelTarget& target, std::int64_t known) {
  counts = Counts{};
  const PlotState& s = plotter.state;
  CProgram& program = *s.firstProgram;
  if (program.enclosure == nullptr || program.batch == nullptr || !layOut(plotter, target, known)) {
    return false;
  }
  counts.pruned = true;
  int threads = plotter.threadCount();
  if (threads > 1) {
    threads = 1 + plotter.helpers.reserve(threads - 1);
  }
  if (lanes_.size() < static_cast<std::size_t>(threads)) {
    lanes_.resize(static_cast<std::size_t>(threads));
  }
  program.enclosure->beginPass(s.a, s.b, s.c, s.d);
  const std::size_t pendingSize =
      static_cast<std::size_t>(widestStrip_) * static_cast<std::size_t>(rows_.size());
  for (int i = 0; i < threads; ++i) {
    Lane& lane = lanes_[static_cast<std::size_t>(i)];
    lane.batch.begin(*program.batch);
    lane.enclosure.begin(*program.enclosure);
    if (lane.pending.size() < pendingSize) {
      lane.pending.resize(pendingSize);
    }
    std::fill(lane.pending.begin(), lane.pending.begin() + static_cast<std::ptrdiff_t>(pendingSize),
              std::uint8_t{0});
    lane.counts = Counts{};
    lane.plainAhead = 0;
    lane.misses = 0;
  }
  Marks sink{target.pixels, static_cast<std::size_t>(target.width), target.penPixel, nullptr, 0};
  if (target.pixels == nullptr) {
    markWords_ = (static_cast<std::size_t>(target.height) + 63) / 64;
    const std::size_t words = markWords_ * static_cast<std::size_t>(target.width);
    if (marks_.size() < words) {
      marks_.resize(words);
    }
    std::fill(marks_.begin(), marks_.begin() + static_cast<std::ptrdiff_t>(words), 0);
    sink.words = marks_.data();
    sink.wordsPerColumn = markWords_;
  }
  Shared shared{*this, plotter,
                Context{xs_.data(), columns_.data(), rows_.data(), static_cast<int>(rows_.size()),
                        plotter.rowYs.data(), plotter.rowPixels.data(), sink, target.height,
                        s.accuracy, program.batch->chunkSize(), plotter.firstRow, stopRequest},
                known, static_cast<int>(stripStarts_.size()) - 1};
  shared.done = hiddenSamples_;
  using Job = void (*)(void*, int);
  using Take = void (*)(Shared&, int);
  const Job job = s.kind == ImplicitLess    ? helperJob<ImplicitLess>
                  : s.kind == ImplicitEqual ? helperJob<ImplicitEqual>
                                            : helperJob<ImplicitGreater>;
  const Take take = s.kind == ImplicitLess    ? takeStrips<ImplicitLess>
                    : s.kind == ImplicitEqual ? takeStrips<ImplicitEqual>
                                              : takeStrips<ImplicitGreater>;
  if (threads > 1) {
    plotter.helpers.start(job, &shared, threads - 1);
  }
  take(shared, 0);
  if (threads > 1) {
    plotter.helpers.wait();
  }
  plotter.samplesDone = shared.done.load();
  if (!stopRequested(stopRequest) && plotter.samplesDone >= plotter.nextPercentAt) {
    plotter.showProgress();
  }
  for (int i = 0; i < threads; ++i) {
    const Counts& c = lanes_[static_cast<std::size_t>(i)].counts;
    counts.evaluated += c.evaluated;
    counts.enclosures += c.enclosures;
    counts.strips += c.strips;
    counts.plainStrips += c.plainStrips;
  }
  if (target.pixels == nullptr) {
    emitRuns(target);
  }
  return true;
}

// A recording's marks as runs of rows, column by column.
void PrunedPass::emitRuns(const PixelTarget& target) const {
  for (std::int32_t column = 0; column < target.width; ++column) {
    const std::uint64_t* words = marks_.data() + static_cast<std::size_t>(column) * markWords_;
    std::int32_t top = -1;
    for (std::int32_t row = 0; row < target.height;) {
      const std::uint64_t word = words[static_cast<std::size_t>(row) / 64];
      if (row % 64 == 0 && word == (top < 0 ? 0 : ~std::uint64_t{0})) {
        row += 64; // a word with no change
        continue;
      }
      const bool set = ((word >> (row % 64)) & 1) != 0;
      if (set && top < 0) {
        top = row;
      } else if (!set && top >= 0) {
        target.runs->markRun(target.penPixel, column, top, row - 1);
        top = -1;
      }
      ++row;
    }
    if (top >= 0) {
      target.runs->markRun(target.penPixel, column, top, target.height - 1);
    }
  }
}
