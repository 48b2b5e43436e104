#pragma once
// The pruned implicit pass: the picture of the plain scan from far fewer samples.
// The x and y samples are the same accumulated lists for every column and row, so
// a pixel's samples are a range of each list. Blocks of pixels are subdivided (a
// quadtree over the index ranges): a block whose enclosure proves that no sample
// passes the kind's test is skipped, one whose enclosure proves that every sample
// passes has all its pixels marked; below one pixel the sample ranges are split
// further, and the samples of what stays undecided are evaluated in scan order,
// up to a pixel's first mark. The pass's columns go in strips of about 1% of the
// samples to the threads in turn; a strip where pruning does not pay is scanned
// sample by sample.

#include "expr/batch.h"
#include "expr/enclosure.h"
#include "plot/plot_state.h"
#include "surface/surface.h"

#include <atomic>
#include <cstdint>
#include <vector>

class Plotter;

class PrunedPass {
public:
  // What the last pass did, for the benchmarks and tests.
  struct Counts {
    bool pruned = false;         // the pass was drawn here, not by the plain scan
    std::int64_t evaluated = 0;  // samples evaluated
    std::int64_t enclosures = 0; // boxes enclosed
    std::int64_t plainStrips = 0, strips = 0;
  };
  Counts counts;

  // Draws the implicit pass of the plotter's snapshot into the target, the rows'
  // y values and pixel rows taken from the plotter's tables of `known` samples;
  // false, having drawn and counted nothing, when the plain scan should draw it
  // (sample lists beyond their bound, too few samples to a pixel, marks of more
  // than one pixel).
  bool run(Plotter& plotter, const std::atomic<bool>& stopRequest, const PixelTarget& target,
           std::int64_t known);

  // A pixel on the canvas and its samples: a run of x samples that share a column
  // or of y samples that share a row.
  struct Cell {
    std::int32_t pixel;       // the column or row
    std::int64_t first, last; // the run of samples, last included
  };
  // Where marks go: the target's pixels, or a recording's mark words.
  struct Marks {
    std::uint32_t* pixels;
    std::size_t width;
    std::uint32_t pen;
    std::uint64_t* words; // a column's rows in words of their own
    std::size_t wordsPerColumn;

    void mark(std::int32_t column, std::int32_t row) const {
      const auto c = static_cast<std::size_t>(column);
      const auto r = static_cast<std::size_t>(row);
      if (pixels != nullptr) {
        pixels[r * width + c] = pen;
      } else {
        words[c * wordsPerColumn + r / 64] |= std::uint64_t{1} << (r % 64);
      }
    }
  };
  // What the threads of a pass read.
  struct Context {
    const double* xs;
    const Cell* columns;
    const Cell* rows;
    int rowCount;
    const double* ys;
    const std::int32_t* yRows;
    Marks sink;
    std::int32_t height;
    double e;
    int chunk;
    std::int64_t firstRow; // the row index of ys[0]
    const std::atomic<bool>& stop;
  };
  // One thread's evaluators, counts and pending pixels.
  struct Lane {
    BatchProgram::Lane batch;
    EnclosureProgram::Lane enclosure;
    std::vector<std::uint8_t> pending; // the pixels of a strip left for evaluation
    alignas(64) Counts counts;
    int plainAhead = 0; // strips this thread scans plainly before it tries pruning again
    int misses = 0;     // pruned strips in a row that did not pay
  };

private:
  struct Shared;
  template <GraphKind Kind> static void helperJob(void* shared, int lane);
  template <GraphKind Kind> static void takeStrips(Shared& shared, int lane);

  bool layOut(const Plotter& plotter, const PixelTarget& target, std::int64_t known);
  void emitRuns(const PixelTarget& target) const;

  // The x samples of the pass and the pixel column of each.
  std::vector<double> xs_;
  std::vector<std::int32_t> xColumns_;
  std::vector<Cell> columns_, rows_;
  std::vector<std::int32_t> stripStarts_; // column cells at which strips begin, and the end
  int widestStrip_ = 0;                   // column cells
  std::int64_t hiddenSamples_ = 0;        // of columns off the canvas
  // Marks of a recording target.
  std::vector<std::uint64_t> marks_;
  std::size_t markWords_ = 0; // per column
  std::vector<Lane> lanes_;
};
