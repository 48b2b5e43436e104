#pragma once
// HelperThreads: threads that share a pass's work with the drawing thread. They
// are started when a pass first asks for them, sleep between passes and end with
// their owner; the drawing thread hands them a job and waits until all are done.

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class HelperThreads {
public:
  // A job: run(context, i) on helper i, 1 <= i <= the count given to start.
  using Job = void (*)(void* context, int helper);

  HelperThreads() = default;
  ~HelperThreads();
  HelperThreads(const HelperThreads&) = delete;
  HelperThreads& operator=(const HelperThreads&) = delete;

  // Starts helpers until there are `count`, each with a stack deep enough for the
  // deepest formula; how many of them may work (fewer when a thread cannot be started).
  int reserve(int count);
  // Hands the job to helpers 1..count and returns at once.
  void start(Job job, void* context, int count);
  // Returns when every helper of the last start has finished its job.
  void wait();

private:
  struct Start {
    HelperThreads* owner;
    int index;
  };
  static void* main(void* start);
  void serve(int index);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::vector<pthread_t> threads_;
  std::uint64_t round_ = 0; // raised by every start
  int active_ = 0;          // helpers of the current round
  int running_ = 0;         // of them, those not yet finished
  Job job_ = nullptr;
  void* context_ = nullptr;
  bool quit_ = false;
};
