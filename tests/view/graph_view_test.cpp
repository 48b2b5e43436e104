// The graph view: the status line, the paint of the shifted front picture, and
// the worker protocol between a pass, the front picture and the paint.

#include "view_window.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kFrame = RGB(0, 120, 0);
constexpr COLORREF kUntouched = RGB(1, 2, 3);

// Russian numbers (decimal commas), compiled into a folder of our own, since a
// fresh machine has no locale but C; the folder goes when the tests end.
struct CommaLocale {
  std::string folder;
  bool made = false;
  CommaLocale() {
    char name[] = "/tmp/lumicurve-locale-XXXXXX";
    if (mkdtemp(name) != nullptr) {
      folder = name;
      setenv("LOCPATH", name, 1);
      made = std::system(("localedef -i ru_RU -f UTF-8 " + folder + "/ru_RU.UTF-8").c_str()) == 0;
    }
  }
  ~CommaLocale() {
    if (!folder.empty()) {
      std::filesystem::remove_all(folder);
    }
  }
};

const char* commaLocale() {
  static const CommaLocale locale;
  EXPECT_TRUE(locale.made) << "localedef could not build ru_RU.UTF-8";
  return "ru_RU.UTF-8";
}

TEST(StatusLine, FormatsEveryValueTruncatedTowardZero) {
  struct Case {
    const char* name;
    void (*set)(PlotState&);
    int mouseX, mouseY;
    const char* expected; // a part of the line
  };
  const Case cases[] = {
      {"defaults", [](PlotState&) {}, 300, 300,
       "|  x = 0.000000, y = 0.000000  |oX=300, oY=300, pixels=20, accuracy=0.010000, "
       "X:(-10,10),Y(-10,10),T(-5,5),(a:0,b:0,c:0,d:0)"},
      {"mouse in plot units", [](PlotState&) {}, 320, 260, "x = 1.000000, y = 2.000000"},
      {"negative and fractional", [](PlotState& s) { s.oX = -3.7, s.a = 0.99, s.b = -1.5; }, 300,
       300, "oX=-3, "},
      {"fractions toward zero", [](PlotState& s) { s.a = 0.99, s.b = -1.5; }, 300, 300,
       "(a:0,b:-1,"},
      {"low 32 bits", [](PlotState& s) { s.c = 4294967301.0; }, 300, 300, "c:5,"},
      {"beyond 64 bits", [](PlotState& s) { s.d = 1e20; }, 300, 300, "d:0)"},
      {"not a number", [](PlotState& s) { s.tTo = std::nan(""); }, 300, 300, "T(-5,0)"},
      {"mouse far off", [](PlotState&) {}, -32768, 32767, "x = -1653.400000, y = -1623.350000"},
  };
  // The same line under a locale with decimal commas, as a Russian desktop has.
  for (const char* locale : {"C", commaLocale()}) {
    ASSERT_NE(std::setlocale(LC_NUMERIC, locale), nullptr) << locale;
    for (const Case& c : cases) {
      PlotState s;
      c.set(s);
      s.showStatus(nullptr, c.mouseX, c.mouseY);
      EXPECT_NE(std::string(s.statusText).find(c.expected), std::string::npos)
          << locale << ", " << c.name << ": " << s.statusText;
    }
  }
  std::setlocale(LC_NUMERIC, "C");

  PlotState huge;
  huge.accuracy = 1e300; // over 300 digits
  huge.pixels = 1e-300;  // x and y too
  huge.showStatus(nullptr, 0, 0);
  EXPECT_EQ(std::strlen(huge.statusText), 499u);
}

// A view whose front picture is a known pattern, painted into a plain bitmap.
struct PaintBench {
  GraphView view;
  HDC target = CreateCompatibleDC(nullptr);
  HBITMAP targetBitmap = nullptr;

  static COLORREF pattern(int x, int y) { return RGB(x % 251, y % 241, 77); }

  // Drawn once for every bench.
  static HDC patternDC() {
    static HDC dc = [] {
      HDC p = CreateCompatibleDC(nullptr);
      SelectObject(p, CreateCompatibleBitmap(nullptr, 1024, 768));
      for (int y = 0; y < 768; ++y) {
        for (int x = 0; x < 1024; ++x) {
          SetPixel(p, x, y, pattern(x, y));
        }
      }
      return p;
    }();
    return dc;
  }

  PaintBench(int width, int height) {
    view.frontDC = CreateCompatibleDC(nullptr);
    view.frontBitmap = CreateCompatibleBitmap(nullptr, 1024, 768);
    SelectObject(view.frontDC, view.frontBitmap);
    BitBlt(view.frontDC, 0, 0, 1024, 768, patternDC(), 0, 0, SRCCOPY);
    view.clientRect = RECT{0, 0, width, height};
    targetBitmap = CreateCompatibleBitmap(nullptr, std::max(width, 1), std::max(height, 1));
    SelectObject(target, targetBitmap);
    HBRUSH brush = CreateSolidBrush(kUntouched);
    SelectObject(target, brush);
    PatBlt(target, 0, 0, width, height, PATCOPY);
    SelectObject(target, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
  }
  ~PaintBench() {
    DeleteDC(target);
    DeleteObject(targetBitmap);
  }
  COLORREF at(int x, int y) { return GetPixel(target, x, y); }
};

TEST(Paint, ShowsTheShiftedFrontPictureWithWhiteAroundIt) {
  struct Probe {
    int x, y;
    int fromX, fromY; // the front pixel expected there; -1: white, -2: untouched
  };
  struct Case {
    const char* name;
    int width, height, scrollX, scrollY;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {"window larger than the picture",
       1200,
       900,
       0,
       0,
       {{500, 500, 500, 500}, {1023, 767, 1023, 767}, {1024, 100, -1, -1}, {100, 768, -1, -1}}},
      {"dragged right", 1100, 800, -100, 0, {{0, 5, -1, -1}, {99, 5, -1, -1}, {100, 5, 0, 5}}},
      {"dragged left", 1100, 800, 100, 0, {{0, 5, 100, 5}, {923, 5, 1023, 5}, {924, 5, -1, -1}}},
      {"dragged down", 1100, 800, 0, -100, {{5, 99, -1, -1}, {5, 100, 5, 0}, {1050, 150, -1, -1}}},
      {"dragged up", 1100, 800, 0, 100, {{5, 0, 5, 100}, {5, 667, 5, 767}, {5, 668, -1, -1}}},
      {"window smaller than the picture", 600, 400, 0, 0, {{599, 379, 599, 379}, {5, 380, -2, -2}}},
      {"status bar height", 1100, 20, 0, 0, {{5, 5, -2, -2}, {1090, 15, -2, -2}}},
      {"less than the status bar", 1100, 7, 50, 50, {{5, 5, -2, -2}}},
      {"less than the status bar, dragged down", 1100, 7, -50, -50, {{5, 5, -1, -1}}},
  };
  for (const Case& c : cases) {
    PaintBench bench(c.width, c.height);
    bench.view.scrollX = c.scrollX;
    bench.view.scrollY = c.scrollY;
    bench.view.dragging = true; // no crosshair here
    bench.view.paint(bench.target);
    for (const Probe& p : c.probes) {
      const COLORREF expected = p.fromX == -1   ? kWhite
                                : p.fromX == -2 ? kUntouched
                                                : PaintBench::pattern(p.fromX, p.fromY);
      EXPECT_EQ(bench.at(p.x, p.y), expected) << c.name << " at " << p.x << "," << p.y;
    }
    EXPECT_FALSE(bench.view.context.blitInProgress) << c.name;
  }
}

TEST(Paint, CrosshairRunsFromTheMouseToBothAxesUnlessDragging) {
  for (bool dragging : {false, true}) {
    PaintBench bench(1100, 800);
    bench.view.mousePos = {400, 200};
    bench.view.dragging = dragging;
    bench.view.paint(bench.target);
    const COLORREF line = dragging ? PaintBench::pattern(350, 200) : kBlue;
    EXPECT_EQ(bench.at(350, 200), line) << dragging;
    EXPECT_EQ(bench.at(301, 200), dragging ? PaintBench::pattern(301, 200) : kBlue);
    EXPECT_EQ(bench.at(300, 200), PaintBench::pattern(300, 200)) << "the end pixel is not drawn";
    EXPECT_EQ(bench.at(400, 299), dragging ? PaintBench::pattern(400, 299) : kBlue);
    EXPECT_EQ(bench.at(400, 300), PaintBench::pattern(400, 300));
  }
}

TEST(Paint, DrawsNothingWhileTheWorkerCopies) {
  PaintBench bench(1100, 800);
  bench.view.context.blitInProgress = true;
  bench.view.paint(bench.target);
  EXPECT_EQ(bench.at(500, 500), kUntouched);
  EXPECT_EQ(bench.at(1050, 5), kUntouched);
  EXPECT_TRUE(bench.view.context.blitInProgress) << "only the holder clears it";
}

COLORREF frontPixel(GraphView& v, int x, int y) {
  return GetPixel(v.frontDC, x, y);
}

TEST(Worker, APassStoppedBeforeItsCopyShowsNothingAndKeepsTheOffsets) {
  for (bool waitingForFront : {false, true}) {
    ViewWindow w;
    w.finishPass();
    GraphView& v = *w.view;
    ASSERT_EQ(frontPixel(v, 300, 700), kBlack) << "the first picture is shown";
    v.stopWorker();
    v.liveState.pan(50, 0);
    v.scrollX = -37;
    if (waitingForFront) {
      v.context.blitInProgress = true; // as a paint holds it
      v.startWorker();
      Sleep(100);
    } else {
      v.liveState.kind = ImplicitEqual;
      v.liveState.accuracy = 0.0005; // a pass of many seconds
      v.plotter.pruning = false;     // on the plain scan, which evaluates every sample
      v.startWorker();
      ASSERT_TRUE(pumpUntil([&] { return v.context.workerBusy.load(); }));
    }
    v.stopWorker();
    EXPECT_EQ(frontPixel(v, 300, 700), kBlack) << waitingForFront;
    EXPECT_EQ(frontPixel(v, 350, 700), kWhite) << waitingForFront;
    EXPECT_EQ(v.scrollX, -37) << waitingForFront;
    v.context.releaseFront();
    if (!waitingForFront) {
      // Nothing the stopped pass drew is left in the next picture.
      v.liveState.accuracy = 0.01;
      v.liveState.pan(50, 0);
      v.startWorker();
      w.finishPass();
      EXPECT_EQ(frontPixel(v, 400, 700), kBlack);
      EXPECT_EQ(frontPixel(v, 350, 700), kWhite);
    }
  }
}

TEST(Worker, AFinishedPassReachesTheFrontWhenThePaintLetsGoAndThenPainted) {
  ViewWindow w;
  w.finishPass();
  GraphView& v = *w.view;
  v.stopWorker();
  v.liveState.pan(50, 0);
  v.scrollX = -37;
  v.scrollY = 21;
  v.context.blitInProgress = true;
  v.startWorker();
  Sleep(50);
  EXPECT_EQ(windowPixel(w.window, 350, 700), kWhite) << "nothing copied yet";
  const int paintsBefore = ViewWindow::paints;
  v.context.releaseFront();
  w.finishPass();
  EXPECT_GT(ViewWindow::paints, paintsBefore);
  EXPECT_EQ(v.scrollX, 0);
  EXPECT_EQ(v.scrollY, 0);
  EXPECT_EQ(windowPixel(w.window, 350, 700), kBlack) << "the new axis is shown";
  EXPECT_EQ(windowPixel(w.window, 300, 700), kWhite);
  // The pictures trade places: the next pass draws on the one shown before.
  v.stopWorker();
  v.liveState.pan(50, 0);
  v.startWorker();
  w.finishPass();
  EXPECT_EQ(windowPixel(w.window, 400, 700), kBlack);
  EXPECT_EQ(windowPixel(w.window, 300, 700), kWhite) << "nothing left of the picture before";
  EXPECT_EQ(windowPixel(w.window, 350, 700), kWhite);
}

TEST(Worker, AThreadThatCannotBeCreatedIsReportedEachTimeAndChangesNothing) {
  ViewWindow w;
  w.finishPass();
  GraphView& v = *w.view;
  std::vector<std::string> boxes;
  DialogHooks hooks;
  hooks.threadCreation = [] { return false; };
  hooks.messageBox = [&](HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(type, MB_OK);
    boxes.push_back(std::string(caption) + ": " + text);
    return IDOK;
  };
  SetDialogHooks(hooks);
  v.liveState.pan(50, 0);
  v.startWorker();
  v.startWorker();
  SetDialogHooks(DialogHooks{});
  EXPECT_EQ(boxes,
            (std::vector<std::string>{"Error: Can't create Thread", "Error: Can't create Thread"}));
  EXPECT_EQ(v.workerThread, nullptr);
  EXPECT_EQ(frontPixel(v, 300, 700), kBlack);
  v.startWorker(); // and the next start tries again
  w.finishPass();
  EXPECT_EQ(frontPixel(v, 350, 700), kBlack);
}

int threadCount() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/task")) {
    while (dirent* e = ::readdir(d)) {
      n += e->d_name[0] != '.';
    }
    ::closedir(d);
  }
  return n;
}

// Changes in quick succession: only complete pictures reach the front, the last
// one always does, and no thread or handle is left behind.
TEST(Worker, TenThousandRestartsShowOnlyWholePicturesAndTheLastOne) {
  ViewWindow w;
  w.finishPass();
  GraphView& v = *w.view;
  const int threadsBefore = threadCount();
  int checked = 0;
  for (int i = 0; i < 10000; ++i) {
    {
      // As the input handlers change it: the running pass may be taking its snapshot.
      std::lock_guard<std::mutex> lock(v.liveState.changeLock);
      v.liveState.pan(i == 9999 ? 100 : (i % 2 == 0 ? 1 : -1), 0); // ends at 401
    }
    v.startWorker();
    if (i % 10 == 0) {
      QCoreApplication::processEvents();
      if (!v.context.blitInProgress.exchange(true)) {
        // A picture without its frame, which is drawn last, would be half drawn.
        ASSERT_EQ(frontPixel(v, 1, 0), kFrame) << i;
        ASSERT_EQ(frontPixel(v, 1023, 400), kFrame) << i;
        v.context.releaseFront();
        ++checked;
      }
    }
  }
  w.finishPass();
  EXPECT_EQ(windowPixel(w.window, 401, 700), kBlack);
  EXPECT_EQ(windowPixel(w.window, 301, 700), kWhite);
  EXPECT_EQ(v.scrollX, 0);
  EXPECT_GT(checked, 100);
  v.stopWorker();
  EXPECT_LE(threadCount(), threadsBefore);
}

} // namespace
