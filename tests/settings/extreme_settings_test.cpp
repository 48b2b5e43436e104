// The extremes that Apply accepts, of every kind, drawn until a stop: no crash,
// no undefined behaviour (the sanitizer builds run this too), and the stop is
// honoured, on one thread at an exact sample and shared among threads at a time.

#include "../plot/plot_fixture.h"
#include "settings/plot_settings.h"
#include "settings_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

struct Extreme {
  const char* name;
  const char* accuracy;
  const char* pixels;
  const char* origin; // both coordinates
  const char* from;   // every range
  const char* to;
  const char* variables; // a..d
};

constexpr Extreme kExtremes[] = {
    {"the finest accuracy", "0.000000001", "20", "300", "-10", "10", "1"},
    {"the widest ranges", "1", "20", "300", "-2147483647", "2147483647", "1"},
    {"the widest ranges, finely", "0.000001", "20", "300", "-2147483647", "2147483647", "1"},
    {"one pixel per unit, the origin far up left", "0.01", "1", "-2147483647", "-2147483647",
     "2147483647", "-2147483647"},
    {"the most pixels, the origin far down right", "0.0001", "2147483647", "2147483647", "-10",
     "10", "2147483647"},
    {"the most pixels over the widest ranges", "1", "2147483647", "0", "-2147483647", "2147483647",
     "2147483647"},
};

void setTexts(PlotSettings& s, const Extreme& e, int kind) {
  s.kind = kind;
  s.accuracyText.assign(CText(e.accuracy));
  s.pixelsText.assign(CText(e.pixels));
  for (CText* t : {&s.oXText, &s.oYText}) {
    t->assign(CText(e.origin));
  }
  for (CText* t : {&s.xFromText, &s.yFromText, &s.tFromText}) {
    t->assign(CText(e.from));
  }
  for (CText* t : {&s.xToText, &s.yToText, &s.tToText}) {
    t->assign(CText(e.to));
  }
  for (CText* t : {&s.aText, &s.bText, &s.cText, &s.dText}) {
    t->assign(CText(e.variables));
  }
  // Formulas that use everything the pass feeds them.
  s.explicitText.assign(CText("a*x^2 + b*x + c - d"));
  s.implicitText.assign(CText("x*x + y*y - a*b + tg(x*y) % c"));
}

TEST(ExtremeSettings, EveryKindDrawsUntilTheStop) {
  MessageBoxes boxes;
  Pass pass; // one plotter for all, as in the program
  for (const Extreme& e : kExtremes) {
    for (int kind = Explicit; kind <= ImplicitGreater; ++kind) {
      // The implicit kinds differ only in their test: "=0" is drawn at every
      // extreme, on one thread and shared, the other two at the first.
      for (bool shared : {false, true}) {
        if ((shared && kind != ImplicitEqual) ||
            (kind != ImplicitEqual && kind >= ImplicitLess && &e != &kExtremes[0])) {
          continue;
        }
        SCOPED_TRACE(std::string(e.name) + ", kind " + std::to_string(kind) +
                     (shared ? ", shared" : ""));
        PlotSettings settings;
        setTexts(settings, e, kind);
        ASSERT_TRUE(settings.apply(pass.live));
        PatBlt(pass.canvas.dc(), 0, 0, pass.canvas.width(), pass.canvas.height(), WHITENESS);
        pass.stopRequest = false;
        pass.plotter.threads = 1;
        pass.plotter.watch = nullptr;
        bool watched = false;
        std::thread stopper;
        if (shared) {
          pass.plotter.threads = 2;
          stopper = std::thread([&pass] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            pass.stopRequest = true;
          });
        } else {
          pass.plotter.watchAt = 20000;
          pass.plotter.watch = [&] {
            watched = true;
            pass.stopRequest = true;
          };
        }
        pass.run();
        if (stopper.joinable()) {
          stopper.join();
        }
        if (watched) {
          EXPECT_EQ(pass.plotter.samplesDone, 20000);
        }
        if (watched || shared) {
          EXPECT_NE(pass.canvas.at(0, 0), kFrameGreen) << "a stopped pass drew the frame";
        }
      }
    }
  }
  EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
