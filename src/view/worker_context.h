#pragma once
// The part of the graph view that a drawing worker receives: the flags it shares
// with the window's thread, the two pictures, and the drag offsets it zeroes when
// it shows a picture.

#include "surface/surface.h"

#include <atomic>
#include <cstdint>

class PlotState;
class Plotter;

struct ScrollOffsets {
  std::atomic<std::int32_t>& x;
  std::atomic<std::int32_t>& y;
};

struct WorkerContext {
  std::atomic<bool> stopRequest{false};
  std::atomic<bool> blitInProgress{false};
  std::atomic<bool> workerBusy{false};
  HDC frontDC = nullptr;
  HDC backDC = nullptr;
  PlotState& liveState;
  Plotter& plotter;
  ScrollOffsets scroll;

  WorkerContext(PlotState& live, Plotter& drawer, ScrollOffsets offsets)
      : liveState(live), plotter(drawer), scroll(offsets) {}

  // A relaxed read serves: the flag only has to be seen soon, not in order.
  bool stopRequested() const { return stopRequest.load(std::memory_order_relaxed); }
};
