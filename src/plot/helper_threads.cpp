#include "plot/helper_threads.h"

#include <algorithm>

namespace {

// The evaluator's own calls nest with a formula's depth, and the sanitizers'
// frames are larger. Four times the drawing thread's 16 MiB: the helpers are
// started once and live as long as their owner, so the room costs no pass anything.
constexpr std::size_t kStack = std::size_t{64} << 20;

} // namespace

HelperThreads::~HelperThreads() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  for (pthread_t thread : threads_) {
    pthread_join(thread, nullptr);
  }
}

int HelperThreads::reserve(int count) {
  while (static_cast<int>(threads_.size()) < count) {
    auto* start = new Start{this, static_cast<int>(threads_.size()) + 1};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStack);
    pthread_t thread{};
    const int failed = pthread_create(&thread, &attributes, main, start);
    pthread_attr_destroy(&attributes);
    if (failed != 0) {
      delete start;
      break;
    }
    threads_.push_back(thread);
  }
  // Helpers started for an earlier, larger count stay asleep.
  return std::min(count, static_cast<int>(threads_.size()));
}

void HelperThreads::start(Job job, void* context, int count) {
  {
    std::lock_guard lock(mutex_);
    job_ = job;
    context_ = context;
    active_ = count;
    running_ = count;
    ++round_;
  }
  wake_.notify_all();
}

void HelperThreads::wait() {
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return running_ == 0; });
}

void* HelperThreads::main(void* start) {
  const Start s = *static_cast<Start*>(start);
  delete static_cast<Start*>(start);
  s.owner->serve(s.index);
  return nullptr;
}

void HelperThreads::serve(int index) {
  std::uint64_t seen = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return quit_ || round_ != seen; });
    if (quit_) {
      return;
    }
    seen = round_;
    if (index > active_) {
      continue;
    }
    const Job job = job_;
    void* const context = context_;
    lock.unlock();
    job(context, index);
    lock.lock();
    if (--running_ == 0) {
      finished_.notify_all();
    }
  }
}
