#pragma once
// A 1024 × 768 picture and a live state set up by Apply, as the program's view
// holds them: what the pass benchmarks draw into.

#include "plot/plotter.h"
#include "settings/plot_settings.h"

#include <atomic>

struct BenchScene {
  PlotSettings settings;
  PlotState live;
  Plotter plotter;
  std::atomic<bool> stopRequest{false};
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 1024, 768);
  HGDIOBJ previous = SelectObject(dc, bitmap);

  // The default settings of a kind, with this accuracy and, where given, this formula.
  BenchScene(int kind, const char* accuracy, const char* formula) {
    settings.kind = kind;
    settings.accuracyText.assign(CText(accuracy));
    if (formula != nullptr) {
      settings.implicitText.assign(CText(formula));
    }
    settings.apply(live);
    live.canvasDC = dc;
    SetROP2(dc, R2_COPYPEN);
    SetBkMode(dc, TRANSPARENT);
  }
  ~BenchScene() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  BenchScene(const BenchScene&) = delete;
  BenchScene& operator=(const BenchScene&) = delete;

  void whiten() { PatBlt(dc, 0, 0, 1024, 768, WHITENESS); }
};
