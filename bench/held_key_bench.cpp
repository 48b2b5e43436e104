// A held key on the real main window: ninety right-arrow presses at thirty a
// second on the default implicit graph ("=0"), on an X server of its own (Xvfb,
// the xcb platform), or on the offscreen platform with --offscreen. Each run
// prints the passes started, completed and shown, the median and 95th percentile
// from a press to its picture beside the bare pass measured in the same run (at
// the places the presses draw, one pass after another),
// whether the last press was shown, and with --timeline every pass's steps (begun:
// the first WM_PAINT after its swap begins; paint: that WM_PAINT has copied it).
//
// --spin runs the event loop as the first version of this benchmark did, without
// ever waiting for events, which leaves one core to the drawing.
//
// --plain draws with the plain implicit scan instead of the pruned pass, for comparison.
//
//   lumicurve_held_key_bench [--runs N] [--threads N] [--timeline] [--offscreen] [--spin]
//                            [--plain]

#include "../tests/e2e/desktop.h"
#include "options/options_dialog.h"
#include "view/main_window.h"
#include "windows/window_internal.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPresses = 90;
constexpr int kIntervalMs = 1000 / 30;
constexpr quint32 kRightArrow = 114; // X key code
constexpr int kStep = 50;            // pixels the picture moves at a right arrow

// What happened to the pass of one press, in milliseconds after the press; -1: never.
struct PassTimes {
  double handled = -1, start = -1, whitened = -1, drawn = -1, frontTaken = -1, swapped = -1,
         paintBegun = -1, painted = -1, presented = -1;
  int texts = 0;
  double textMs = 0, textWaitMs = 0, textMaxMs = 0;
};

GraphView* view = nullptr;
std::vector<Clock::time_point> pressed;
std::vector<PassTimes> passes;
std::vector<double> latencies;
std::int64_t seenPictures = 0;
int shown = 0;
int lastShownPress = -1;
double startOriginX = 0;
std::atomic<int> currentPress{-1};
std::atomic<int> tracedPass{-1}; // the press whose pass the worker draws
WindowSurfaceHooks serviceHooks;
thread_local Clock::time_point askedForDC;
thread_local Clock::time_point gotDC;

double since(int press, Clock::time_point t = Clock::now()) {
  return std::chrono::duration<double, std::milli>(t - pressed[static_cast<std::size_t>(press)])
      .count();
}

PassTimes* tracedTimes() {
  const int press = tracedPass.load();
  return press >= 0 && press < static_cast<int>(passes.size())
             ? &passes[static_cast<std::size_t>(press)]
             : nullptr;
}

void trace(WorkerStep step) {
  if (step == WorkerStep::Started) {
    tracedPass = currentPress.load();
  }
  PassTimes* p = tracedTimes();
  if (p == nullptr) {
    return;
  }
  const double t = since(tracedPass.load());
  switch (step) {
  case WorkerStep::Started:
    p->start = t;
    break;
  case WorkerStep::Whitened:
    p->whitened = t;
    break;
  case WorkerStep::Drawn:
    p->drawn = t;
    break;
  case WorkerStep::FrontTaken:
    p->frontTaken = t;
    break;
  case WorkerStep::Swapped:
    p->swapped = t;
    break;
  }
}

// The progress texts: the time each waits for the window's DC and the whole
// of getting, drawing and releasing it.
HDC tracedGetDC(HWND window) {
  askedForDC = Clock::now();
  HDC dc = serviceHooks.getDC(window);
  gotDC = Clock::now();
  return dc;
}

int tracedReleaseDC(HWND window, HDC dc) {
  const int result = serviceHooks.releaseDC(window, dc);
  if (!windows::onUiThread()) {
    if (PassTimes* p = tracedTimes()) {
      const double all =
          std::chrono::duration<double, std::milli>(Clock::now() - askedForDC).count();
      ++p->texts;
      p->textMs += all;
      p->textMaxMs = std::max(p->textMaxMs, all);
      p->textWaitMs += std::chrono::duration<double, std::milli>(gotDC - askedForDC).count();
    }
  }
  return result;
}

// The main window's procedure, watching which picture each paint shows.
LRESULT watchingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The first paint after the picture of the latest press was swapped in.
  const int latest = currentPress.load();
  if (message == WM_PAINT && latest >= 0) {
    PassTimes& p = passes[static_cast<std::size_t>(latest)];
    if (p.swapped >= 0 && p.paintBegun < 0) {
      p.paintBegun = since(latest);
    }
  }
  const LRESULT result = mainWindowProc(window, message, wParam, lParam);
  if (message == WM_PAINT && !view->context.blitInProgress.exchange(true)) {
    if (view->frontPictures != seenPictures) {
      seenPictures = view->frontPictures;
      const int press =
          static_cast<int>(std::lround((view->frontOriginX - startOriginX) / kStep)) - 1;
      if (press >= 0 && press < static_cast<int>(pressed.size())) {
        ++shown;
        lastShownPress = press;
        latencies.push_back(since(press));
        passes[static_cast<std::size_t>(press)].painted = latencies.back();
        // Runs once the paint has been presented.
        QTimer::singleShot(
            0, [press] { passes[static_cast<std::size_t>(press)].presented = since(press); });
      }
    }
    view->context.releaseFront();
  }
  return result;
}

// Paints of the main window during a run, and the pixels they cover.
struct PaintCounter : QObject {
  long paints = 0;
  double pixels = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      const QRect r = static_cast<QPaintEvent*>(event)->rect();
      ++paints;
      pixels += static_cast<double>(r.width()) * r.height();
    }
    return false;
  }
};
PaintCounter* paintCounter = nullptr;

double percentile(std::vector<double> v, double p) {
  if (v.empty()) {
    return 0;
  }
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

void waitInLoop(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

// The pass alone, on this thread, into the back picture.
double barePass(HWND window) {
  view->stopWorker();
  const auto t0 = Clock::now();
  PatBlt(view->backDC, 0, 0, 1024, 768, WHITENESS);
  view->plotter.drawAll(view->context.stopRequest, view->liveState);
  view->context.backWhite = false; // the next worker whitens what this drew
  const double took = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  while (GetUpdateRect(window, nullptr, FALSE)) {
    QCoreApplication::processEvents();
  }
  return took;
}

// Bare passes one after another at each of the places a run draws (what a pass
// costs depends on what it shows): `presses` pans of `step` pixels, with a pass
// after each pan (after) or before it (!after).
std::vector<double> barePassesAlong(HWND window, int step, bool after) {
  waitInLoop(200);
  std::vector<double> times;
  auto pan = [step] {
    std::lock_guard<std::mutex> lock(view->liveState.changeLock);
    view->liveState.pan(step, 0);
  };
  for (int i = 0; i < kPresses; ++i) {
    if (after) {
      pan();
    }
    times.push_back(barePass(window));
    if (!after) {
      pan();
    }
  }
  return times;
}

void printTimeline() {
  std::printf(
      "  press handled start  white  drawAll texts(n, all, wait, max)     front   swap  begun  "
      "paint present\n");
  auto field = [](double v) {
    if (v < 0) {
      std::printf("      -");
    } else {
      std::printf(" %6.2f", v);
    }
  };
  for (std::size_t i = 0; i < passes.size(); ++i) {
    const PassTimes& p = passes[i];
    std::printf("  %5zu", i);
    field(p.handled);
    field(p.start);
    field(p.whitened);
    field(p.drawn);
    std::printf("  %3d %6.2f %6.2f %6.2f   ", p.texts, p.textMs, p.textWaitMs, p.textMaxMs);
    field(p.frontTaken);
    field(p.swapped);
    field(p.paintBegun);
    field(p.painted);
    field(p.presented);
    std::printf("\n");
  }
}

// One run of ninety presses between two walks of bare passes over the places the
// run draws; their median is the run's reference, so that neither what the
// pictures show nor a slow spell of a shared machine before or after the presses
// weighs on one side only.
struct RunResult {
  double ratio; // median press to picture / bare pass
  bool lastShown;
};
RunResult run(int number, HWND window, QWidget* host, bool timeline, bool spin) {
  // The run's places one by one, and back where it starts.
  std::vector<double> bares = barePassesAlong(window, kStep, true);
  {
    std::lock_guard<std::mutex> lock(view->liveState.changeLock);
    view->liveState.pan(-kStep * kPresses, 0);
  }
  pressed.clear();
  passes.assign(kPresses, PassTimes{});
  latencies.clear();
  shown = 0;
  lastShownPress = -1;
  currentPress = -1;
  startOriginX = view->liveState.oX;
  seenPictures = view->frontPictures;
  const std::int64_t completedBefore = view->frontPictures;
  paintCounter->paints = 0;
  paintCounter->pixels = 0;

  QTimer presses;
  presses.setTimerType(Qt::PreciseTimer);
  QObject::connect(&presses, &QTimer::timeout, [&] {
    if (static_cast<int>(pressed.size()) == kPresses) {
      presses.stop();
      return;
    }
    pressed.push_back(Clock::now());
    currentPress = static_cast<int>(pressed.size()) - 1;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, kRightArrow, 0, 0, QString(),
                  pressed.size() > 1);
    QApplication::sendEvent(host, &key);
    passes[static_cast<std::size_t>(currentPress.load())].handled = since(currentPress.load());
  });
  presses.start(kIntervalMs);
  if (spin) {
    const auto end = Clock::now() + std::chrono::milliseconds(kPresses * kIntervalMs + 1000);
    while (Clock::now() < end) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  } else {
    waitInLoop(kPresses * kIntervalMs + 1000);
  }
  view->stopWorker(); // the last worker's records are complete after this
  // The same places backwards, ending where the run started.
  const std::vector<double> after = barePassesAlong(window, -kStep, false);
  bares.insert(bares.end(), after.begin(), after.end());
  const double bare = percentile(bares, 0.5);

  const double median = percentile(latencies, 0.5);
  std::printf("run %d: passes completed %lld, shown %d of %d; press to picture median %.2f ms, "
              "95th percentile %.2f ms; bare pass %.2f ms; median / bare %.2f; last press "
              "shown: %s\n",
              number, static_cast<long long>(view->frontPictures - completedBefore), shown,
              kPresses, median, percentile(latencies, 0.95), bare, bare > 0 ? median / bare : 0,
              lastShownPress == kPresses - 1 ? "yes" : "NO");
  std::printf("       the window was painted %ld times, on average %.0f pixels a paint\n",
              paintCounter->paints,
              paintCounter->paints > 0 ? paintCounter->pixels / paintCounter->paints : 0.0);
  if (timeline) {
    printTimeline();
  }
  std::fflush(stdout);
  return {bare > 0 ? median / bare : 0, lastShownPress == kPresses - 1};
}

} // namespace

int main(int argc, char** argv) {
  int runs = 3;
  int threads = 0;
  bool timeline = false;
  bool offscreen = false;
  bool spin = false;
  bool plain = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      threads = std::max(0, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--timeline") == 0) {
      timeline = true;
    } else if (std::strcmp(argv[i], "--offscreen") == 0) {
      offscreen = true;
    } else if (std::strcmp(argv[i], "--spin") == 0) {
      spin = true;
    } else if (std::strcmp(argv[i], "--plain") == 0) {
      plain = true;
    }
  }
  Desktop desktop;
  if (offscreen) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  } else {
    std::string why;
    if (!desktop.start(why)) {
      std::printf("held key benchmark skipped: %s\n", why.c_str());
      return 0;
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  QApplication application(argc, argv);
  auto owned = std::make_unique<GraphView>();
  view = owned.get();
  view->plotter.threads = threads;
  view->plotter.pruning = !plain;
  view->context.trace = trace;
  PlotSettings settings;
  settings.kind = ImplicitEqual;
  setMainWindowView(view);
  setOptionsDialogTarget(&settings, &view->liveState);

  WNDCLASSEXA c{};
  c.cbSize = sizeof c;
  c.style = CS_HREDRAW | CS_VREDRAW;
  c.lpfnWndProc = watchingProc;
  c.lpszClassName = "HeldKeyBench";
  RegisterClassExA(&c);
  serviceHooks = GetWindowSurfaceHooks();
  WindowSurfaceHooks traced = serviceHooks;
  traced.getDC = tracedGetDC;
  traced.releaseDC = tracedReleaseDC;
  SetWindowSurfaceHooks(traced);
  // Apply the dialog as it opens.
  QTimer::singleShot(0, [] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(dialog->focusWidget() ? dialog->focusWidget() : dialog, &enter);
    }
  });
  HWND window = CreateWindowExA(0, "HeldKeyBench", "Lumicurve", WS_OVERLAPPEDWINDOW, 0, 0, 1024,
                                788, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(window, SW_SHOW);
  view->stopWorker();
  waitInLoop(500); // mapped and painted

  std::printf("held right arrow, %d presses at 30 a second, default implicit \"=0\" graph, %s "
              "platform, %d drawing threads%s, %s implicit pass\n",
              kPresses, offscreen ? "offscreen" : "xcb (Xvfb)", view->plotter.threadCount(),
              spin ? ", spinning event loop" : "", plain ? "plain" : "pruned");
  QWidget* host = windows::findWindow(window)->widget;
  PaintCounter counter;
  paintCounter = &counter;
  host->installEventFilter(&counter);
  // What one present of the whole window costs the user-interface thread.
  std::vector<double> presents;
  for (int i = 0; i < 21; ++i) {
    const auto t0 = Clock::now();
    host->repaint();
    presents.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  std::printf("a present of the whole window: median %.3f ms\n", percentile(presents, 0.5));
  bool allShown = true;
  std::vector<double> ratios;
  for (int i = 1; i <= runs; ++i) {
    const RunResult result = run(i, window, host, timeline, spin);
    allShown = allShown && result.lastShown;
    ratios.push_back(result.ratio);
  }
  std::printf("median of the runs' median / bare: %.2f (aim: at most 1.5)\n",
              percentile(ratios, 0.5));
  view->stopWorker();
  DestroyWindow(window);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return allShown ? 0 : 1;
}
