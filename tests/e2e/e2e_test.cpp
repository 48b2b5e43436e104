// The real program on a real X server, driven as a user drives it: the options
// dialog first, the default parabola, arrows, keypad, drag, wheel, a broken
// formula, F1 and closing, each checked on screenshots.

#include "desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kFrame = 0x007800;

std::string docsPath(const char* name) {
  const char* docs = std::getenv("LUMICURVE_DOCS_DIR");
  return docs != nullptr ? std::string(docs) + "/" + name : "";
}

// The main window's client area as the screen shows it.
struct Client {
  Desktop& desktop;
  Rect area;
  Screenshot shot;

  void refresh() { shot = desktop.screenshot(); }
  // A point of the client area on the screen, as xdotool takes it.
  std::string point(int x, int y) const {
    return std::to_string(area.x + x) + " " + std::to_string(area.y + y);
  }
  std::uint32_t at(int x, int y) const { return shot.at(area.x + x, area.y + y); }
  bool red(int x, int y) const {
    const std::uint32_t c = at(x, y);
    return ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) < 90 && (c & 0xFF) < 90;
  }
  bool redNear(int x, int y, int radius) const {
    for (int dy = -radius; dy <= radius; ++dy) {
      for (int dx = -radius; dx <= radius; ++dx) {
        if (red(x + dx, y + dy)) {
          return true;
        }
      }
    }
    return false;
  }
  // Waits until the picture shows what is asked, taking screenshots meanwhile.
  bool until(const std::function<bool(const Client&)>& shown, int milliseconds = 5000) {
    return Desktop::waitFor(
        [&] {
          refresh();
          return shown(*this);
        },
        milliseconds);
  }
};

// The vertical axis at column x and the horizontal one at row y.
bool axesAt(const Client& c, int x, int y) {
  return c.at(x, 100) == kBlack && c.at(x, 700) == kBlack && c.at(100, y) == kBlack &&
         c.at(x + 7, 100) == kWhite;
}

// A mark on the horizontal axis: 5 pixels up from it, at column x only.
bool markAt(const Client& c, int x, int axisY) {
  return c.at(x, axisY - 3) == kBlack && c.at(x - 1, axisY - 3) == kWhite &&
         c.at(x + 1, axisY - 3) == kWhite;
}

// The program's output goes to the tests' output folder.
std::string logPath(const char* name) {
  const char* folder = std::getenv("LUMICURVE_TEST_OUTPUT");
  const std::string log = std::string(folder != nullptr ? folder : "/tmp") + "/" + name;
  std::system(("mkdir -p \"$(dirname '" + log + "')\"").c_str());
  return log;
}

// Waits until the window titled so shows and has the keyboard.
bool showsWithTheKeys(Desktop& desktop, const std::string& title, int milliseconds = 5000) {
  return Desktop::waitFor(
      [&] { return desktop.run("xdotool getwindowfocus getwindowname 2>&1") == title + "\n"; },
      milliseconds);
}

// A drag of 50 pixels interrupted by a modal window (opened by the xdotool words
// `open`), the left button released while it is up, then the window closed with
// a key, which it has as it opens. The picture is at axisX + 50, and moves with no
// button leave it there: the crosshair follows them.
void interruptedDrag(Desktop& desktop, Client& c, int axisX, const std::string& open,
                     const std::string& title, const std::string& closeKey) {
  desktop.run("xdotool mousemove " + c.point(600, 500) + " mousedown 1 sleep 0.1 mousemove " +
              c.point(650, 500) + " sleep 0.3 " + open);
  ASSERT_TRUE(showsWithTheKeys(desktop, title)) << title;
  desktop.run("xdotool mouseup 1 sleep 0.3 key " + closeKey);
  ASSERT_TRUE(Desktop::waitFor([&] { return desktop.windows(title).empty(); }, 5000))
      << title << " did not take the keys";
  EXPECT_TRUE(c.until([&](const Client& s) { return axesAt(s, axisX + 50, 300); }));
  desktop.run("xdotool mousemove " + c.point(700, 450) + " sleep 0.1 mousemove " +
              c.point(axisX + 150, 400));
  EXPECT_TRUE(c.until([&](const Client& s) { return s.at(axisX + 60, 400) == 0x0000FF; }));
  EXPECT_TRUE(axesAt(c, axisX + 50, 300)) << "a move without a button dragged the picture";
}

TEST(EndToEnd, AUserDrawsPansZoomsEditsAndCloses) {
  Desktop desktop;
  std::string why;
  if (!desktop.start(why)) {
    GTEST_SKIP() << why;
  }
  // The program has no options: Qt's own are not read either.
  const pid_t app = desktop.launch(LUMICURVE_PROGRAM, logPath("e2e-lumicurve.log"),
                                   {"-platform", "offscreen", "-reverse"});

  // The options dialog comes first, before any main window.
  ASSERT_TRUE(Desktop::waitFor([&] { return !desktop.windows("Option").empty(); }, 15000))
      << "no dialog titled Option";
  EXPECT_TRUE(desktop.windows("Lumicurve").empty()) << "the main window came before the dialog";
  const std::string dialog = desktop.windows("Option").front();
  const Rect dialogArea = desktop.geometry(dialog);
  desktop.run("xdotool windowactivate --sync " + dialog + " 2>/dev/null; sleep 0.3");
  if (!docsPath("options-dialog.png").empty()) {
    desktop.run("import -window " + dialog + " -frame png24:" + docsPath("options-dialog.png"));
  }

  // Enter applies the defaults: the parabola in the main window.
  desktop.run("xdotool key Return");
  ASSERT_TRUE(Desktop::waitFor([&] { return !desktop.windows("Lumicurve").empty(); }, 5000));
  const std::string main = desktop.windows("Lumicurve").front();
  Client c{desktop, desktop.geometry(main), {}};
  ASSERT_GE(c.area.width, 1024);
  ASSERT_GE(c.area.height, 788);
  ASSERT_TRUE(c.until([](const Client& s) { return axesAt(s, 300, 300); }))
      << "the axes do not cross at (300, 300)";
  EXPECT_TRUE(c.redNear(290, 285, 4)) << "no red curve near its vertex";
  EXPECT_EQ(c.at(0, 400), kFrame);
  EXPECT_EQ(c.at(1023, 400), kFrame);
  const std::uint32_t bar = c.at(600, c.area.height - 10);
  EXPECT_NE(bar, kWhite) << "no status bar along the bottom";
  EXPECT_NE(bar, kBlack);
  desktop.run("xdotool mousemove " + std::to_string(c.area.x + 420) + " " +
              std::to_string(c.area.y + 200) + "; sleep 0.3");
  if (!docsPath("main-window.png").empty()) {
    desktop.run("import -window " + main + " -frame png24:" + docsPath("main-window.png"));
  }
  desktop.run("xdotool mousemove " + std::to_string(c.area.x + 700) + " " +
              std::to_string(c.area.y + 600));

  // The right arrow moves the vertical axis 50 pixels right.
  desktop.run("xdotool key Right");
  EXPECT_TRUE(c.until([](const Client& s) { return axesAt(s, 350, 300); }))
      << "the right arrow did not move the axis";

  // Keypad + with NumLock on: the marks 3 pixels further apart.
  ASSERT_TRUE(markAt(c, 370, 300));
  desktop.run("xdotool key Num_Lock key KP_Add key Num_Lock");
  EXPECT_TRUE(c.until([](const Client& s) { return markAt(s, 373, 300) && markAt(s, 396, 300); }))
      << "keypad + did not spread the marks";

  // A drag of 100 pixels moves the picture, and after the release a new pass
  // draws it there.
  const int dragX = c.area.x + 600;
  const int dragY = c.area.y + 500;
  desktop.run("xdotool mousemove " + std::to_string(dragX) + " " + std::to_string(dragY) +
              " mousedown 1 mousemove " + std::to_string(dragX + 50) + " " + std::to_string(dragY) +
              " mousemove " + std::to_string(dragX + 100) + " " + std::to_string(dragY));
  EXPECT_TRUE(c.until([](const Client& s) {
    return s.at(450, 100) == kBlack && s.at(100, 400) == kFrame && s.at(50, 400) == kWhite;
  })) << "the old picture does not follow the drag";
  desktop.run("xdotool mouseup 1");
  EXPECT_TRUE(c.until([](const Client& s) {
    return axesAt(s, 450, 300) && s.at(0, 400) == kFrame;
  })) << "no new pass after the drag";

  // The wheel away from the user zooms in about the origin: 23 to 24 pixels.
  desktop.run("xdotool click 4");
  EXPECT_TRUE(c.until([](const Client& s) { return markAt(s, 474, 300) && axesAt(s, 450, 300); }))
      << "the wheel did not zoom about the origin";

  // Esc opens the dialog; a broken formula gives one message and keeps it.
  desktop.run("xdotool key Escape");
  ASSERT_TRUE(Desktop::waitFor([&] { return !desktop.windows("Option").empty(); }, 5000));
  const std::string again = desktop.windows("Option").front();
  const Rect d = desktop.geometry(again);
  // The f(x) edit: 41..510 of 540 dialog units across, 8..20 of 174 down.
  desktop.run("xdotool mousemove " + std::to_string(d.x + d.width * 275 / 540) + " " +
              std::to_string(d.y + d.height * 14 / 174) + " click 1 key ctrl+a type 'x^('");
  desktop.run("xdotool key Return");
  ASSERT_TRUE(Desktop::waitFor([&] { return !desktop.windows("ошибка").empty(); }, 5000))
      << "no message for the broken formula";
  EXPECT_EQ(desktop.windows("ошибка").size(), 1u);
  desktop.run("xdotool key Return");
  EXPECT_TRUE(Desktop::waitFor([&] { return desktop.windows("ошибка").empty(); }, 5000));
  EXPECT_EQ(desktop.windows("Option").size(), 1u) << "the dialog did not stay";
  desktop.run("xdotool key Escape");
  EXPECT_TRUE(Desktop::waitFor([&] { return desktop.windows("Option").empty(); }, 5000));
  EXPECT_TRUE(c.until([](const Client& s) {
    return axesAt(s, 450, 300) && s.redNear(440, 280, 6);
  })) << "the picture was not drawn again";
  (void)dialogArea;

  // F1 shows the help box.
  desktop.run("xdotool windowactivate --sync " + main + " 2>/dev/null; xdotool key F1");
  EXPECT_TRUE(Desktop::waitFor([&] { return !desktop.windows("help").empty(); }, 5000));
  desktop.run("xdotool key Return");
  EXPECT_TRUE(Desktop::waitFor([&] { return desktop.windows("help").empty(); }, 5000));

  // A drag ends when the dialog or the help box takes the release.
  interruptedDrag(desktop, c, 450, "click 3", "Option", "Escape");
  interruptedDrag(desktop, c, 500, "key F1", "help", "Return");

  // The status bar keeps its mouse: a wheel turn and a drag there change nothing.
  desktop.run("xdotool mousemove " + c.point(300, c.area.height - 10) +
              " click 4 mousedown 1 mousemove " + c.point(400, c.area.height - 10) +
              " mouseup 1 mousemove " + c.point(700, 400));
  EXPECT_TRUE(c.until([](const Client& s) { return s.at(600, 400) == 0x0000FF; }));
  EXPECT_TRUE(axesAt(c, 550, 300) && markAt(c, 574, 300)) << "the status bar passed its mouse on";

  // A larger window shows more of the plane: the axis and the frame reach its new edges.
  desktop.run("xdotool windowsize --sync " + main + " 1250 950 2>/dev/null; sleep 0.3");
  c.area = desktop.geometry(main);
  ASSERT_GT(c.area.width, 1200);
  const int right = c.area.width - 1;
  const int bottom = c.area.height - 21; // above the status bar
  EXPECT_TRUE(c.until([&](const Client& s) {
    return s.at(right - 3, 300) == kBlack && s.at(right, 100) == kFrame &&
           s.at(550, bottom - 3) == kBlack && s.at(100, bottom) == kFrame;
  })) << "the picture did not grow with the window";

  // Closing the window ends the program with status 0 within two seconds.
  desktop.run("xdotool windowactivate --sync " + main + " 2>/dev/null; xdotool key alt+F4");
  EXPECT_EQ(desktop.waitForExit(app, 2000), 0);
}

// Without a window manager nobody but the program hands the keyboard around: the
// dialog and every box take it as they open and give it back as they close.
TEST(EndToEnd, WithoutAWindowManagerTheKeysFollowTheModalWindows) {
  Desktop desktop;
  std::string why;
  if (!desktop.start(why, false)) {
    GTEST_SKIP() << why;
  }
  const pid_t app = desktop.launch(LUMICURVE_PROGRAM, logPath("e2e-no-window-manager.log"));
  ASSERT_TRUE(showsWithTheKeys(desktop, "Option", 15000));
  desktop.run("xdotool key Return");
  ASSERT_TRUE(Desktop::waitFor([&] { return !desktop.windows("Lumicurve").empty(); }, 5000));
  Client c{desktop, desktop.geometry(desktop.windows("Lumicurve").front()), {}};
  ASSERT_TRUE(c.until([](const Client& s) { return axesAt(s, 300, 300); }));
  interruptedDrag(desktop, c, 300, "key F1", "help", "Return");
  interruptedDrag(desktop, c, 350, "key Escape", "Option", "Escape");

  // Load, cancelled: the "Ошибка" box, then the dialog, then the main window have the keys.
  desktop.run("xdotool key Escape");
  ASSERT_TRUE(Desktop::waitFor([&] { return !desktop.windows("Option").empty(); }, 5000));
  const Rect d = desktop.geometry(desktop.windows("Option").front());
  desktop.run("xdotool mousemove " + std::to_string(d.x + d.width * 468 / 540) + " " +
              std::to_string(d.y + d.height * 161 / 174) + " click 1");
  for (const char* title : {"Open", "Ошибка", "Option"}) {
    ASSERT_TRUE(showsWithTheKeys(desktop, title)) << title;
    desktop.run(std::string("xdotool key ") + (title[0] == 'O' ? "Escape" : "Return"));
  }
  EXPECT_TRUE(Desktop::waitFor([&] { return desktop.windows("Option").empty(); }, 5000));
  desktop.run("xdotool mousemove 1270 1010 key Right");
  EXPECT_TRUE(c.until([](const Client& s) { return axesAt(s, 450, 300); }))
      << "the main window did not get the keys back";

  desktop.run("xdotool key Escape");
  ASSERT_TRUE(Desktop::waitFor([&] { return !desktop.windows("Option").empty(); }, 5000));
  desktop.run("xdotool mousemove " + std::to_string(d.x + d.width * 170 / 540) + " " +
              std::to_string(d.y + d.height * 157 / 174) + " click 1");
  EXPECT_EQ(desktop.waitForExit(app, 5000), 0) << "Exit did not end the program";
}

} // namespace
