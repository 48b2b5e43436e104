#include "../default_settings.h"
#include "expr/program.h"
#include "settings/plot_settings.h"
#include "settings_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

TEST(PlotSettings, StartsWithTheDefaultTexts) {
  PlotSettings s;
  EXPECT_EQ(s.kind, 0);
  for (int i = 0; i < PlotSettings::TextCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(s.text(i)->buffer, kDefaultTexts[i]);
    EXPECT_EQ(s.text(i)->capacity, i < 14 ? 1024 : 10024);
  }
  EXPECT_EQ(s.fileDialog.lStructSize, 76u);
  EXPECT_EQ(s.fileDialog.hwndOwner, nullptr);
  EXPECT_EQ(std::memcmp(s.fileDialog.lpstrFilter, "ini\0*.ini\0\0", 11), 0);
  EXPECT_EQ(s.fileDialog.nFilterIndex, 1u);
  EXPECT_EQ(s.fileDialog.lpstrFile, s.fileName);
  EXPECT_EQ(s.fileDialog.nMaxFile, 500u);
  EXPECT_EQ(s.fileDialog.Flags, 0u);
  EXPECT_EQ(s.fileDialog.lpstrTitle, nullptr);
  EXPECT_STREQ(s.fileName, "");
  EXPECT_EQ(s.dialogWindow, nullptr);

  s.kind = 3;
  s.aText.assign(CText("42"));
  std::strcpy(s.fileName, "kept.ini");
  s.setDefaults(); // the Reset button
  EXPECT_EQ(s.kind, 0);
  EXPECT_STREQ(s.aText.buffer, "1.0");
  EXPECT_STREQ(s.fileName, "kept.ini");
}

TEST(PlotSettings, ApplyingTheDefaultsInstallsTheExplicitParabola) {
  PlotSettings s;
  PlotState live;
  ASSERT_TRUE(s.apply(live));
  EXPECT_EQ(live.kind, Explicit);
  EXPECT_EQ(live.a, 1.0);
  EXPECT_EQ(live.d, 1.0);
  EXPECT_EQ(live.xFrom, -10.0);
  EXPECT_EQ(live.xTo, 10.0);
  EXPECT_EQ(live.yFrom, -10.0);
  EXPECT_EQ(live.tFrom, -10.0);
  EXPECT_EQ(live.tTo, 10.0);
  EXPECT_EQ(live.oX, 300.0);
  EXPECT_EQ(live.oY, 300.0);
  EXPECT_EQ(live.pixels, 20.0);
  EXPECT_EQ(live.accuracy, CText("0.01").toReal(0));
  ASSERT_NE(live.firstProgram, nullptr);
  ASSERT_NE(live.secondProgram, nullptr);
  EXPECT_EQ(live.firstProgram->evaluate(2, 2, live.a, live.b, live.c, live.d), 7.0);
  EXPECT_EQ(live.secondProgram->root, nullptr); // empty: only a parametric graph has one
}

TEST(PlotSettings, ApplyConvertsTheNumberTexts) {
  struct Case {
    const char* name;
    void (*edit)(PlotSettings&);
    bool (*check)(const PlotState&);
  } cases[] = {
      {"origin truncated toward zero",
       [](PlotSettings& s) { s.oXText.assign(CText("300.9")), s.oYText.assign(CText("-0.5")); },
       [](const PlotState& l) { return l.oX == 300 && l.oY == 0; }},
      {"pixels as the dialog writes them",
       [](PlotSettings& s) { s.pixelsText.assign(CText("20.0000000000000")); },
       [](const PlotState& l) { return l.pixels == 20; }},
      {"pixels below 2 truncated", [](PlotSettings& s) { s.pixelsText.assign(CText("1,99")); },
       [](const PlotState& l) { return l.pixels == 1; }},
      {"reversed T range is written",
       [](PlotSettings& s) { s.tFromText.assign(CText("5")), s.tToText.assign(CText("1")); },
       [](const PlotState& l) { return l.tFrom == 5 && l.tTo == 1; }},
      {"a decimal comma is the point, a plus sign is allowed",
       [](PlotSettings& s) { s.aText.assign(CText("-1,5")), s.bText.assign(CText("+2147483647")); },
       [](const PlotState& l) { return l.a == -1.5 && l.b == 2147483647.0; }},
      {"kind outside the table installs two empty programs", [](PlotSettings& s) { s.kind = 7; },
       [](const PlotState& l) {
         return l.kind == 7 && l.firstProgram->root == nullptr && l.secondProgram->root == nullptr;
       }},
      {"parametric compiles both formulas", [](PlotSettings& s) { s.kind = 1; },
       [](const PlotState& l) {
         return l.kind == Parametric && l.firstProgram->root != nullptr &&
                l.secondProgram->root != nullptr;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlotSettings s;
    c.edit(s);
    PlotState live;
    EXPECT_TRUE(s.apply(live));
    EXPECT_TRUE(c.check(live));
  }
}

TEST(PlotSettings, OnlyTheFormulasOfTheChosenKindAreCompiled) {
  PlotSettings s;
  s.paramXText.assign(CText("x+"));
  s.paramYText.assign(CText("(("));
  s.implicitText.assign(CText("2x"));
  MessageBoxes boxes;
  PlotState live;
  EXPECT_TRUE(s.apply(live));
  EXPECT_TRUE(boxes.shown.empty());

  s.kind = Parametric;
  s.dialogWindow = reinterpret_cast<HWND>(0x1234);
  EXPECT_FALSE(s.apply(live));
  ASSERT_EQ(boxes.shown.size(), 1u); // only the first formula's error
  EXPECT_EQ(boxes.shown[0].text, " чето не верно :)2 \r\n "_cp1251);
  EXPECT_EQ(boxes.shown[0].caption, "ошибка"_cp1251);
  EXPECT_EQ(boxes.shown[0].owner, s.dialogWindow);
  EXPECT_EQ(boxes.shown[0].type, MB_OK);
}

// Every number of a plot state, for a comparison field by field.
constexpr double PlotState::*kNumbers[] = {
    &PlotState::oX,    &PlotState::oY,   &PlotState::width,    &PlotState::height,
    &PlotState::a,     &PlotState::b,    &PlotState::c,        &PlotState::d,
    &PlotState::yFrom, &PlotState::yTo,  &PlotState::xFrom,    &PlotState::xTo,
    &PlotState::tFrom, &PlotState::tTo,  &PlotState::accuracy, &PlotState::pixels,
    &PlotState::xMin,  &PlotState::xMax, &PlotState::yMin,     &PlotState::yMax,
};

// Every number text changed to another valid number, so that any number written
// into the live state before a refusal shows.
void changeEveryNumber(PlotSettings& t) {
  const char* texts[] = {"10", "20", "-5", "5", "-6", "6",    "-7",
                         "7",  "2",  "3",  "4", "5",  "0.02", "30"};
  for (int i = 0; i < 14; ++i) {
    t.text(i)->assign(CText(texts[i]));
  }
}

TEST(PlotSettings, FailedApplyLeavesTheLiveStateAsItWas) {
  PlotSettings s;
  PlotState live;
  ASSERT_TRUE(s.apply(live));
  CProgram* first = live.firstProgram;
  CProgram* second = live.secondProgram;

  struct Case {
    const char* name;
    void (*edit)(PlotSettings&);
    const char* message;
  } cases[] = {
      {"broken formula with changed numbers",
       [](PlotSettings& t) {
         t.explicitText.assign(CText("x y"));
         t.aText.assign(CText("5")), t.oXText.assign(CText("10")), t.kind = 0;
       },
       "не могу найти оператор \r\n"_cp1251},
      {"zero accuracy", [](PlotSettings& t) { t.accuracyText.assign(CText("0")); },
       "не верно задана точность Accuracy : 0 \r\n "_cp1251},
      {"negative accuracy", [](PlotSettings& t) { t.accuracyText.assign(CText("-0.01")); },
       "не верно задана точность Accuracy : -0.01 \r\n "_cp1251},
      {"empty accuracy", [](PlotSettings& t) { t.accuracyText.assign(CText("")); },
       "не задано число Accuracy :  \r\n "_cp1251},
      {"a sign alone", [](PlotSettings& t) { t.accuracyText.assign(CText("-")); },
       "не верно записано число Accuracy : - \r\n "_cp1251},
      {"a blank", [](PlotSettings& t) { t.cText.assign(CText("5 ")); },
       "не верно записано число c : 5  \r\n "_cp1251},
      {"whole part beyond 32 bits", [](PlotSettings& t) { t.dText.assign(CText("-2147483648")); },
       "слишком большое по модулю число d : -2147483648 \r\n "_cp1251},
      {"equal ends of the Y range",
       [](PlotSettings& t) { t.yFromText.assign(CText("3")), t.yToText.assign(CText("3,0")); },
       "начало не меньше конца Y(ot,to) : 3 ; 3,0 \r\n "_cp1251},
      {"accuracy too fine for the X range",
       [](PlotSettings& t) {
         t.xFromText.assign(CText("-2000000000.0"));
         t.accuracyText.assign(CText("0.0000001"));
       },
       "слишком мала точность Accuracy : 0.0000001 \r\n "_cp1251},
      {"accuracy too fine for the T range of a curve",
       [](PlotSettings& t) {
         t.kind = Parametric;
         t.tToText.assign(CText("2000000000.0"));
         t.accuracyText.assign(CText("0.0000001"));
       },
       "слишком мала точность Accuracy : 0.0000001 \r\n "_cp1251},
      {"accuracy too fine for the Y range of an implicit graph",
       [](PlotSettings& t) {
         t.kind = ImplicitLess;
         t.yFromText.assign(CText("-2000000000.0"));
         t.accuracyText.assign(CText("0.0000001"));
       },
       "слишком мала точность Accuracy : 0.0000001 \r\n "_cp1251},
  };
  PlotState before;
  before.copyFrom(live);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PlotSettings t;
    changeEveryNumber(t);
    c.edit(t);
    MessageBoxes boxes;
    EXPECT_FALSE(t.apply(live));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, c.message) << cp1251::toUtf8(boxes.shown[0].text);
    EXPECT_EQ(boxes.shown[0].caption, "ошибка"_cp1251);
    EXPECT_EQ(live.firstProgram, first);
    EXPECT_EQ(live.secondProgram, second);
    for (std::size_t i = 0; i < std::size(kNumbers); ++i) {
      EXPECT_EQ(live.*kNumbers[i], before.*kNumbers[i]) << "number " << i << " of the state";
    }
    EXPECT_EQ(live.kind, Explicit);
    EXPECT_EQ(first->evaluate(1, 1, 1, 1, 1, 1), 3.0); // still compiled and usable
  }
  PlotSettings fine;
  fine.accuracyText.assign(CText("0.0000001")); // fine for the ranges -10..10
  EXPECT_TRUE(fine.apply(live));
}

} // namespace
