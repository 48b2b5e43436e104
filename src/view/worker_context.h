#pragma once
// The part of the graph view that a drawing worker receives: the flags it shares
// with the window's thread, the two pictures, and the drag offsets it zeroes when
// it shows a picture.

#include "surface/surface.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class PlotState;
class Plotter;

struct ScrollOffsets {
  std::atomic<std::int32_t>& x;
  std::atomic<std::int32_t>& y;
};

// The steps of a worker's run, for a measurement that follows them.
enum class WorkerStep { Started, Whitened, Drawn, FrontTaken, Swapped };

struct WorkerContext {
  std::atomic<bool> stopRequest{false};
  std::atomic<bool> blitInProgress{false};
  std::atomic<bool> workerBusy{false};
  HDC frontDC = nullptr;
  HDC backDC = nullptr;
  // The bitmap of a DC with none of its own, for the moment the pictures trade DCs.
  HGDIOBJ noBitmap = nullptr;
  // The back picture is white: a pass whitened it after its picture was shown.
  // Used by one worker at a time, and by the window's thread while none runs.
  bool backWhite = false;
  PlotState& liveState;
  Plotter& plotter;
  ScrollOffsets scroll;
  // Called on the worker at each step when set (by a benchmark, before any worker).
  void (*trace)(WorkerStep) = nullptr;
  // The worker sleeps on frontFreed while a paint holds the front picture; the
  // paint's release and a stop request wake it.
  std::mutex frontLock;
  std::condition_variable frontFreed;

  WorkerContext(PlotState& live, Plotter& drawer, ScrollOffsets offsets)
      : liveState(live), plotter(drawer), scroll(offsets) {}

  // A relaxed read serves: the flag only has to be seen soon, not in order.
  bool stopRequested() const { return stopRequest.load(std::memory_order_relaxed); }
  // The worker's take of the front picture: false when a stop request came first.
  bool takeFront() {
    std::unique_lock lock(frontLock);
    while (blitInProgress.exchange(true)) {
      if (stopRequested()) {
        return false;
      }
      frontFreed.wait(lock, [&] { return !blitInProgress.load() || stopRequested(); });
    }
    return true;
  }
  // Only the holder of blitInProgress releases it.
  void releaseFront() {
    {
      std::lock_guard lock(frontLock);
      blitInProgress = false;
    }
    frontFreed.notify_all();
  }
  void requestStop() {
    {
      std::lock_guard lock(frontLock);
      stopRequest = true;
    }
    frontFreed.notify_all();
  }

  void report(WorkerStep step) const {
    if (trace != nullptr) {
      trace(step);
    }
  }
};
