// A held key on the real main window: thirty right-arrow presses a second for
// three seconds on the default implicit graph ("=0"), on the offscreen platform.
// Prints how many passes were started, completed and shown, the median and the
// 95th percentile of the time from a press to its picture on the window, and
// whether the last press's picture is the one shown at the end.

#include "options/options_dialog.h"
#include "view/main_window.h"
#include "windows/window_internal.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPresses = 90;
constexpr int kIntervalMs = 1000 / 30;
constexpr quint32 kRightArrow = 114; // X key code

GraphView* view = nullptr;
std::vector<Clock::time_point> pressed;
std::vector<double> latencies;
std::int64_t seenPictures = 0;
int shown = 0;
int lastShownPress = -1;
double startOriginX = 0;

// The main window's procedure, watching which picture each paint shows.
LRESULT watchingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = mainWindowProc(window, message, wParam, lParam);
  if (message == WM_PAINT && !view->context.blitInProgress.exchange(true)) {
    if (view->frontPictures != seenPictures) {
      seenPictures = view->frontPictures;
      const int press = static_cast<int>(std::lround((view->frontOriginX - startOriginX) / 50)) - 1;
      if (press >= 0 && press < static_cast<int>(pressed.size())) {
        ++shown;
        lastShownPress = press;
        latencies.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - pressed[press]).count());
      }
    }
    view->context.blitInProgress = false;
  }
  return result;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) {
    return 0;
  }
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

} // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  auto owned = std::make_unique<GraphView>();
  view = owned.get();
  PlotSettings settings;
  settings.kind = ImplicitEqual;
  setMainWindowView(view);
  setOptionsDialogTarget(&settings, &view->liveState);
  int started = 0;
  DialogHooks hooks;
  hooks.threadCreation = [&] {
    ++started;
    return true;
  };
  SetDialogHooks(hooks);

  WNDCLASSEXA c{};
  c.cbSize = sizeof c;
  c.style = CS_HREDRAW | CS_VREDRAW;
  c.lpfnWndProc = watchingProc;
  c.lpszClassName = "HeldKeyBench";
  RegisterClassExA(&c);
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
  WaitForSingleObject(view->workerThread, INFINITE);
  while (GetUpdateRect(window, nullptr, FALSE)) {
    QCoreApplication::processEvents();
  }
  startOriginX = view->liveState.oX;
  const int startedBefore = started;
  const std::int64_t completedBefore = view->frontPictures;
  seenPictures = view->frontPictures;

  QWidget* host = windows::findWindow(window)->widget;
  QTimer presses;
  QObject::connect(&presses, &QTimer::timeout, [&] {
    if (static_cast<int>(pressed.size()) == kPresses) {
      presses.stop();
      return;
    }
    pressed.push_back(Clock::now());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, kRightArrow, 0, 0, QString(),
                  pressed.size() > 1);
    QApplication::sendEvent(host, &key);
  });
  presses.start(kIntervalMs);
  const auto end = Clock::now() + std::chrono::milliseconds(kPresses * kIntervalMs + 2000);
  while (Clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }

  std::printf("held right arrow, %d presses at 30 a second, default implicit \"=0\" graph\n",
              kPresses);
  std::printf("passes started %d, completed %lld, shown %d\n", started - startedBefore,
              static_cast<long long>(view->frontPictures - completedBefore), shown);
  std::printf("press to picture: median %.1f ms, 95th percentile %.1f ms (of %zu shown)\n",
              percentile(latencies, 0.5), percentile(latencies, 0.95), latencies.size());
  std::printf("the last press's picture is shown: %s\n",
              lastShownPress == kPresses - 1 ? "yes" : "NO");
  view->stopWorker();
  DestroyWindow(window);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  SetDialogHooks(DialogHooks{});
  return lastShownPress == kPresses - 1 ? 0 : 1;
}
