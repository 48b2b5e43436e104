#pragma once
// Helpers for tests of real windows on the offscreen platform.

#include "windows/window_services.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

// Runs Qt's event loop for a while, or until the condition holds.
inline bool pumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::usleep(200);
  }
  return true;
}

inline void pumpEvents(int milliseconds = 20) {
  pumpUntil([] { return false; }, milliseconds);
}

// A pixel of a window's client area as the window shows it.
inline COLORREF windowPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}
