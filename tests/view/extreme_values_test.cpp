// The main window at the ends of the numbers Apply accepts: settings typed into
// the options dialog's edits, then a key, the wheel or a drag that would carry a
// value past 32 bits. The status line shows the value in use, a refused change
// starts no pass, and the passes at these settings run (briefly) without a fault.

#include "main_window_fixture.h"
#include "res/resource_ids.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace main_window_test;
using namespace res::control;

struct Edit {
  int id;
  const char* text;
};

// The number edits as the defaults fill them.
constexpr Edit kDefaults[] = {
    {kOXEdit, "300"},        {kOYEdit, "300"},    {kXFromEdit, "-10.0"}, {kXToEdit, "10.0"},
    {kYFromEdit, "-10.0"},   {kYToEdit, "10.0"},  {kTFromEdit, "-10.0"}, {kTToEdit, "10.0"},
    {kAEdit, "1.0"},         {kBEdit, "1.0"},     {kCEdit, "1.0"},       {kDEdit, "1.0"},
    {kAccuracyEdit, "0.01"}, {kPixelsEdit, "20"},
};

enum class Act { Key, WheelAway, DragRight };

struct Case {
  const char* name;
  std::int32_t kind;
  std::vector<Edit> edits; // over the defaults
  Act act;
  quint32 native;
  int qtKey;
  const char* shown; // a part of the status line after the act
  bool pass;         // the act starts a pass
};

const Case kCases[] = {
    {"keypad + at the most pixels",
     Explicit,
     {{kPixelsEdit, "2147483647"}},
     Act::Key,
     kKpPlus,
     Qt::Key_Plus,
     "pixels=2147483647,",
     false},
    {"keypad + past the most pixels",
     Explicit,
     {{kPixelsEdit, "2147483645"}},
     Act::Key,
     kKpPlus,
     Qt::Key_Plus,
     "pixels=2147483645,",
     false},
    {"the wheel to the most pixels",
     Explicit,
     {{kPixelsEdit, "2147483646"}},
     Act::WheelAway,
     0,
     0,
     "pixels=2147483647,",
     true},
    {"the wheel past the most pixels",
     Explicit,
     {{kPixelsEdit, "2147483647"}},
     Act::WheelAway,
     0,
     0,
     "pixels=2147483647,",
     false},
    {"right at the rightmost origin",
     Explicit,
     {{kOXEdit, "2147483647"}},
     Act::Key,
     kRight,
     Qt::Key_Right,
     "oX=2147483647,",
     false},
    {"left stops at the leftmost origin",
     Explicit,
     {{kOXEdit, "-2147483647"}},
     Act::Key,
     kLeft,
     Qt::Key_Left,
     "oX=-2147483648,",
     true},
    {"down at the lowest origin",
     Explicit,
     {{kOYEdit, "2147483647"}},
     Act::Key,
     kDown,
     Qt::Key_Down,
     "oY=2147483647,",
     false},
    {"a drag stops at the rightmost origin",
     Explicit,
     {{kOXEdit, "2147483600"}},
     Act::DragRight,
     0,
     0,
     "oX=2147483647,",
     true},
    {"Q past the top of X",
     Explicit,
     {{kXToEdit, "2147483647"}},
     Act::Key,
     kQ,
     Qt::Key_Q,
     "X:(-10,",
     false},
    {"S to the bottom of Y",
     Explicit,
     {{kYFromEdit, "-2147483647"}, {kPixelsEdit, "1"}},
     Act::Key,
     kS,
     Qt::Key_S,
     "Y(-468,9)",
     true},
    {"keypad 1 past the top of a",
     Explicit,
     {{kAEdit, "2147483647.5"}, {kAccuracyEdit, "1"}},
     Act::Key,
     kKp1,
     Qt::Key_1,
     "(a:2147483647,",
     false},
    {"keypad 6 to the bottom of d",
     Explicit,
     {{kDEdit, "-2147483647"}, {kAccuracyEdit, "1"}},
     Act::Key,
     kKp6,
     Qt::Key_6,
     "d:-2147483648)",
     true},
    {"keypad 8 past the bottom of c",
     Explicit,
     {{kCEdit, "-2147483647.9"}, {kAccuracyEdit, "1.5"}},
     Act::Key,
     kKp8,
     Qt::Key_8,
     "c:-2147483647,",
     false},
    {"every extreme, parametric",
     Parametric,
     {{kOXEdit, "2147483647"},
      {kOYEdit, "-2147483647"},
      {kTFromEdit, "-2147483647"},
      {kTToEdit, "2147483647"},
      {kPixelsEdit, "2147483647"},
      {kAccuracyEdit, "1"}},
     Act::Key,
     kUp,
     Qt::Key_Up,
     "oY=-2147483648,",
     true},
    {"every extreme, f(x,y) = 0",
     ImplicitEqual,
     {{kOXEdit, "-2147483647"},
      {kOYEdit, "2147483647"},
      {kXFromEdit, "-2147483647"},
      {kXToEdit, "2147483647"},
      {kYFromEdit, "-2147483647"},
      {kYToEdit, "2147483647"},
      {kPixelsEdit, "1"},
      {kAccuracyEdit, "1"}},
     Act::Key,
     kKpPlus,
     Qt::Key_Plus,
     "pixels=4,",
     true},
    {"every extreme, f(x,y) < 0",
     ImplicitLess,
     {{kOXEdit, "2147483647"},
      {kXFromEdit, "-2147483647"},
      {kXToEdit, "2147483647"},
      {kPixelsEdit, "2147483647"},
      {kAccuracyEdit, "0.5"}},
     Act::Key,
     kW,
     Qt::Key_W,
     "X:(-2,",
     true},
};

// Opens the options dialog with Esc, types the case's numbers into its edits and
// presses Apply's Return.
void applyThroughTheDialog(MainWindow& w, const Case& c) {
  w.settings.kind = c.kind; // the dialog clicks its radio button as it opens
  answerDialogWith(Qt::Key_Return, [&w, &c] {
    HWND dialog = w.settings.dialogWindow;
    for (const Edit& e : kDefaults) {
      SetWindowTextA(GetDlgItem(dialog, e.id), e.text);
    }
    for (const Edit& e : c.edits) {
      SetWindowTextA(GetDlgItem(dialog, e.id), e.text);
    }
  });
  w.key(kEsc, Qt::Key_Escape);
}

TEST(MainWindow, ValuesStopAtTheEndsOfThirtyTwoBitsAsTheStatusLineShowsThem) {
  MainWindow w;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    applyThroughTheDialog(w, c);
    ASSERT_TRUE(w.boxes.empty()) << "Apply refused: " << w.boxes.back();
    // A pass over ranges of 2^32 units does not end by itself: a bounded look, then a stop.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    w.view->stopWorker();
    const int passes = w.passes;
    switch (c.act) {
    case Act::Key:
      w.key(c.native, c.qtKey,
            c.native >= kKp7 && c.native <= kKp2 ? Qt::KeypadModifier : Qt::NoModifier);
      break;
    case Act::WheelAway:
      w.wheel(120);
      break;
    case Act::DragRight:
      w.mouse(QEvent::MouseButtonPress, 500, 500, Qt::LeftButton, Qt::LeftButton);
      w.mouse(QEvent::MouseMove, 600, 500, Qt::NoButton, Qt::LeftButton);
      EXPECT_EQ(w.view->scrollX, -47) << "the picture moves as far as the origin";
      w.mouse(QEvent::MouseButtonRelease, 600, 500, Qt::LeftButton, Qt::NoButton);
      break;
    }
    EXPECT_EQ(w.passes - passes, c.pass ? 1 : 0);
    pumpEvents(20);
    EXPECT_NE(w.status().find(c.shown), std::string::npos) << w.status();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    w.view->stopWorker();
  }
}

} // namespace
