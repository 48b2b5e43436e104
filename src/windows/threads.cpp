// Threads and the process: the worker threads of the drawing passes.

#include "windows/dialog_hooks.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

// Deep formulas recurse in the evaluator, and evaluate on 8 MiB even with the
// sanitizers' larger frames; twice that leaves room. A stack this size is kept
// by the C library for the next thread (its cache holds 40 MiB), so a pass
// does not map a fresh stack, fault its pages in and unmap it again.
constexpr std::size_t kDefaultStack = std::size_t{16} << 20;

struct ThreadObject {
  pthread_t thread{};
  bool joined = false;
};

// What the new thread runs; it owns this, so closing the handle never races with it.
struct Start {
  LPTHREAD_START_ROUTINE routine;
  void* parameter;
};

void* run(void* start) {
  Start s = *static_cast<Start*>(start);
  delete static_cast<Start*>(start);
  s.routine(s.parameter);
  return nullptr;
}

} // namespace

HANDLE CreateThread(void*, std::size_t stackSize, LPTHREAD_START_ROUTINE start, void* parameter,
                    DWORD, DWORD* threadId) {
  if (start == nullptr) {
    return nullptr;
  }
  const std::function<bool()> creation = currentDialogHooks().threadCreation;
  if (creation && !creation()) {
    return nullptr;
  }
  auto* t = new ThreadObject;
  auto* s = new Start{start, parameter};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stackSize != 0 ? stackSize : kDefaultStack);
  const int failed = pthread_create(&t->thread, &attributes, run, s);
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    delete s;
    delete t;
    return nullptr;
  }
  if (threadId != nullptr) {
    *threadId = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(t) & 0xFFFFFFFF);
  }
  // No sched_yield here, unlike a RedrawWindow from a worker: on a kernel that packs
  // threads the new pass would run ahead of the user-interface thread, which the
  // next key must reach to stop it (ten thousand restarts took 30 times as long).
  return t;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  auto* t = static_cast<ThreadObject*>(object);
  if (t == nullptr || milliseconds != INFINITE) {
    return WAIT_FAILED; // the system only ever waits for a thread to end
  }
  if (!t->joined) {
    pthread_join(t->thread, nullptr);
    t->joined = true;
  }
  return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE object) {
  auto* t = static_cast<ThreadObject*>(object);
  if (t == nullptr) {
    return FALSE;
  }
  if (!t->joined) {
    pthread_detach(t->thread); // it releases itself when it ends
  }
  delete t;
  return TRUE;
}

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ExitProcess(UINT exitCode) {
  std::_Exit(static_cast<int>(exitCode));
}
