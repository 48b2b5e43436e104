// The options dialog driven through its real controls: clicks, typing, Enter,
// Escape and the close box, with message boxes and file dialogs answered.

#include "../settings/settings_test_util.h"
#include "../windows/dialog_test_util.h"
#include "expr/program.h"
#include "options/options_dialog.h"
#include "res/resource_ids.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QWindow>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace res::control;

constexpr int kRadios[] = {kExplicitButton, kParametricButton, kImplicitLessButton,
                           kImplicitEqualButton, kImplicitGreaterButton};
constexpr int kFormulaEdits[] = {kParamXEdit, kParamYEdit, kImplicitEdit, kExplicitEdit};
// The edit of each settings text, in field order.
constexpr int kEdits[PlotSettings::TextCount] = {
    kOXEdit,       kOYEdit,     kXFromEdit,  kXToEdit,    kYFromEdit,    kYToEdit,
    kTFromEdit,    kTToEdit,    kAEdit,      kBEdit,      kCEdit,        kDEdit,
    kAccuracyEdit, kPixelsEdit, kParamXEdit, kParamYEdit, kImplicitEdit, kExplicitEdit};

// The eighteen texts of a settings record, "|" between them.
std::string textsOf(PlotSettings& s) {
  std::string all;
  for (int i = 0; i < PlotSettings::TextCount; ++i) {
    all += (i == 0 ? "" : "|") + std::string(s.text(i)->buffer);
  }
  return all;
}

class OptionsDialog : public ::testing::Test {
protected:
  PlotSettings settings;
  PlotState live;
  ScratchFolder folder;
  std::vector<ShownMessage> shown;
  std::vector<std::string> fileDialogStarts;      // the buffer as each file dialog opened
  std::vector<std::optional<std::string>> chosen; // the answers; nothing: cancelled

  void SetUp() override {
    setOptionsDialogTarget(&settings, &live);
    DialogHooks hooks;
    hooks.messageBox = [this](HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
      shown.push_back({owner, text, caption, type});
      return IDOK;
    };
    hooks.openFileName = [this](OPENFILENAMEA* record) {
      EXPECT_EQ(record, &settings.fileDialog);
      EXPECT_EQ(record->hwndOwner, settings.dialogWindow) << "owned by the options dialog";
      fileDialogStarts.emplace_back(record->lpstrFile);
      if (chosen.empty() || !chosen.front()) {
        chosen.erase(chosen.begin(), chosen.begin() + (chosen.empty() ? 0 : 1));
        return FALSE;
      }
      std::strcpy(record->lpstrFile, chosen.front()->c_str());
      chosen.erase(chosen.begin());
      return TRUE;
    };
    SetDialogHooks(std::move(hooks));
  }
  void TearDown() override {
    SetDialogHooks(DialogHooks{});
    setOptionsDialogTarget(nullptr, nullptr);
  }

  INT_PTR openSteps(const std::vector<DialogStep>& steps) {
    return withDialog(
        [] {
          return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(res::kOptionsDialogId), nullptr,
                                 optionsDialogProc, 0);
        },
        steps);
  }
  INT_PTR open(const DialogStep& script) { return openSteps({script}); }

  static QWidget* control(int id) {
    QWidget* w = QApplication::activeModalWidget()->findChild<QWidget*>(QString::number(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
  }
  static void click(int id) { QTest::mouseClick(control(id), Qt::LeftButton); }
  static void type(int id, const QString& text) {
    control(id)->setFocus();
    QTest::keyClick(control(id), Qt::Key_A, Qt::ControlModifier); // typing replaces all
    typeText(control(id), text);
  }
  static void press(int id, Qt::Key key) { QTest::keyClick(control(id), key); }
  std::string edit(int id) const {
    char buffer[10024];
    const int n = GetWindowTextA(GetDlgItem(settings.dialogWindow, id), buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(n));
  }
  // Which radio buttons are checked and which formula edits enabled, as "1011 | 1017".
  std::string buttons() const {
    std::string checked, enabled;
    for (int id : kRadios) {
      if (IsDlgButtonChecked(settings.dialogWindow, id) == BST_CHECKED) {
        checked += std::to_string(id) + " ";
      }
    }
    for (int id : kFormulaEdits) {
      if (IsWindowEnabled(GetDlgItem(settings.dialogWindow, id))) {
        enabled += " " + std::to_string(id);
      }
    }
    return checked + "|" + enabled;
  }
  // The eighteen edits, as textsOf gives the texts.
  std::string edits() const {
    std::string all;
    for (int i = 0; i < PlotSettings::TextCount; ++i) {
      all += (i == 0 ? "" : "|") + edit(kEdits[i]);
    }
    return all;
  }
  bool applyEnabled() const { return IsWindowEnabled(GetDlgItem(settings.dialogWindow, 1)); }
};

TEST_F(OptionsDialog, OpensWithTheViewsOriginAndPixelsAndTheSettingsTexts) {
  struct Case {
    const char* name;
    double oX, oY, pixels;
    const char* shown[3];
  } cases[] = {
      {"at the start", 300, 300, 20, {"300", "300", "20.0000000000000"}},
      {"after panning and zooming", 123.9, -45.5, 33.25, {"123", "-45", "33.2500000000000"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    live.oX = c.oX, live.oY = c.oY, live.pixels = c.pixels;
    settings.aText.assign(CText("2.5")); // as last edited
    PlotSettings expected;
    expected.oXText.assign(CText(c.shown[0]));
    expected.oYText.assign(CText(c.shown[1]));
    expected.pixelsText.assign(CText(c.shown[2]));
    expected.aText.assign(CText("2.5"));
    EXPECT_EQ(open([&](QDialog&) {
                EXPECT_EQ(edits(), textsOf(expected));
                EXPECT_EQ(buttons(), "1011 | 1017");
                EXPECT_TRUE(applyEnabled());
                click(2);
              }),
              0);
    EXPECT_EQ(textsOf(settings), textsOf(expected));
  }
}

TEST_F(OptionsDialog, EachRadioButtonChecksOnlyItselfAndEnablesItsFormulas) {
  struct Case {
    int radio;
    int kind;
    const char* buttons;
  } cases[] = {{kExplicitButton, 0, "1011 | 1017"},
               {kParametricButton, 1, "1005 | 1027 1028"},
               {kImplicitLessButton, 2, "1006 | 1029"},
               {kImplicitEqualButton, 3, "1008 | 1029"},
               {kImplicitGreaterButton, 4, "1010 | 1029"}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.radio);
    settings.kind = 9; // no button is clicked at the opening
    EXPECT_EQ(open([&](QDialog&) {
                EXPECT_EQ(buttons(), "| 1027 1028 1029 1017"); // as the template has them
                EXPECT_FALSE(applyEnabled());
                click(cases[(i + 1) % std::size(cases)].radio);
                click(c.radio);
                EXPECT_EQ(settings.kind, c.kind);
                EXPECT_EQ(buttons(), c.buttons);
                EXPECT_TRUE(applyEnabled());
                for (int id : kEdits) {
                  if (std::find(std::begin(kFormulaEdits), std::end(kFormulaEdits), id) ==
                      std::end(kFormulaEdits)) {
                    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(settings.dialogWindow, id))) << id;
                  }
                }
                click(2);
              }),
              0);
    EXPECT_EQ(settings.kind, c.kind); // Cancel keeps a kind chosen by a click
    EXPECT_EQ(live.kind, Explicit);
  }
}

TEST_F(OptionsDialog, ApplyInstallsWhatWasTypedAndCloses) {
  struct Case {
    const char* name;
    void (*confirm)();
  } cases[] = {{"the Apply button", [] { click(1); }},
               {"Enter in an edit", [] { press(kAEdit, Qt::Key_Return); }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(open([&](QDialog&) {
                type(kAEdit, "2.5");
                type(kXFromEdit, "-5");
                type(kOXEdit, "150");
                type(kExplicitEdit, "x*a");
                c.confirm();
              }),
              0);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(live.a, 2.5);
    EXPECT_EQ(live.xFrom, -5.0);
    EXPECT_EQ(live.oX, 150.0);
    ASSERT_NE(live.firstProgram, nullptr);
    EXPECT_EQ(live.firstProgram->evaluate(2, 0, 2.5, 0, 0, 0), 5.0);
    EXPECT_STREQ(settings.explicitText.buffer, "x*a");
  }
}

TEST_F(OptionsDialog, ApplyWithABrokenFormulaKeepsTheDialogTheTypingAndTheLiveState) {
  ASSERT_TRUE(settings.apply(live));
  CProgram* installed = live.firstProgram;
  EXPECT_EQ(openSteps({[&](QDialog&) {
                         type(kAEdit, "7");
                         type(kExplicitEdit, "x y");
                         click(1);
                         ASSERT_EQ(shown.size(), 1u);
                         EXPECT_EQ(shown[0].caption, "ошибка"_cp1251);
                         EXPECT_EQ(shown[0].owner, settings.dialogWindow);
                       },
                       [&](QDialog&) { // the dialog stays
                         EXPECT_EQ(edit(kExplicitEdit), "x y");
                         EXPECT_EQ(edit(kAEdit), "7");
                         press(kAEdit, Qt::Key_Escape);
                       }}),
            0);
  EXPECT_EQ(live.firstProgram, installed);
  EXPECT_EQ(live.a, 1.0);
}

std::vector<double> numbersOf(const PlotState& s) {
  return {s.oX,    s.oY,  s.pixels, s.xFrom, s.xTo, s.yFrom, s.yTo,
          s.tFrom, s.tTo, s.a,      s.b,     s.c,   s.d,     s.accuracy};
}

// Apply reads every number as a person writes it, a decimal comma as the point,
// and refuses one the passes cannot use with one message: the dialog stays with
// the typing, and the live state keeps its numbers.
TEST_F(OptionsDialog, ApplyRefusesNumbersThePassesCannotUse) {
  struct Case {
    std::vector<std::pair<int, const char*>> typed;
    const char* refusal; // UTF-8, before " \r\n "; none when Apply goes through
    double PlotState::*field = nullptr;
    double value = 0;
  } cases[] = {
      {{{kAccuracyEdit, "abc"}}, "не верно записано число Accuracy : abc"},
      {{{kAccuracyEdit, "1e308"}}, "не верно записано число Accuracy : 1e308"},
      {{{kAccuracyEdit, "nan"}}, "не верно записано число Accuracy : nan"},
      {{{kAccuracyEdit, "inf"}}, "не верно записано число Accuracy : inf"},
      {{{kOXEdit, "12q"}}, "не верно записано число OY : 12q"},
      {{{kBEdit, "1,5.3"}}, "лишняя десятичная точка или запятая в числе b : 1,5.3"},
      {{{kPixelsEdit, "99999999999"}}, "слишком большое по модулю число Pixels : 99999999999"},
      {{{kOYEdit, "-99999999999"}}, "слишком большое по модулю число OX : -99999999999"},
      {{{kPixelsEdit, "0"}}, "масштаб меньше 1 Pixels : 0"},
      {{{kPixelsEdit, "-20"}}, "масштаб меньше 1 Pixels : -20"},
      {{{kPixelsEdit, "0.5"}}, "масштаб меньше 1 Pixels : 0.5"},
      {{{kXFromEdit, "8"}, {kXToEdit, "2"}}, "начало не меньше конца X(ot,to) : 8 ; 2"},
      {{{kAccuracyEdit, "0,05"}}, nullptr, &PlotState::accuracy, CText("0.05").toReal(0)},
      {{{kPixelsEdit, "1,5"}}, nullptr, &PlotState::pixels, 1},
      {{{kAEdit, "0,5"}}, nullptr, &PlotState::a, 0.5},
      {{{kOXEdit, "300.0"}}, nullptr, &PlotState::oX, 300},
      {{{kXFromEdit, "-10.0"}}, nullptr, &PlotState::xFrom, -10},
      {{{kCEdit, ".5"}}, nullptr, &PlotState::c, 0.5},
      {{{kDEdit, "5."}}, nullptr, &PlotState::d, 5},
      {{{kPixelsEdit, "20.0000000000000"}}, nullptr, &PlotState::pixels, 20},
      {{{kTFromEdit, "5"}, {kTToEdit, "1"}}, nullptr, &PlotState::tFrom, 5}, // draws no curve
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.back().second);
    shown.clear();
    settings.setDefaults();
    ASSERT_TRUE(settings.apply(live));
    const std::vector<double> before = numbersOf(live);
    const DialogStep typeAndApply = [&](QDialog&) {
      for (auto [id, text] : c.typed) {
        type(id, text);
      }
      click(1);
    };
    if (c.refusal == nullptr) {
      EXPECT_EQ(open(typeAndApply), 0);
      EXPECT_TRUE(shown.empty()) << cp1251::toUtf8(shown.empty() ? "" : shown[0].text);
      EXPECT_EQ(live.*c.field, c.value);
      continue;
    }
    openSteps({typeAndApply, [&](QDialog&) {
                 for (auto [id, text] : c.typed) {
                   EXPECT_EQ(edit(id), text);
                 }
                 EXPECT_EQ(edits(), textsOf(settings));
                 click(2);
               }});
    EXPECT_EQ(numbersOf(live), before);
    EXPECT_EQ(shown.size(), 1u);
    for (const ShownMessage& m : shown) {
      EXPECT_EQ(m.text, cp1251::fromUtf8(c.refusal) + " \r\n ");
      EXPECT_EQ(m.caption, "ошибка"_cp1251);
    }
  }
}

TEST_F(OptionsDialog, CancelEscapeAndTheCloseBoxLoseTheTypingButKeepTheKind) {
  struct Case {
    const char* name;
    void (*close)(QDialog&);
  } cases[] = {{"Cancel", [](QDialog&) { click(2); }},
               {"Escape", [](QDialog&) { press(kExplicitEdit, Qt::Key_Escape); }},
               {"the close box", [](QDialog& dialog) {
                  QCloseEvent close;
                  QCoreApplication::sendEvent(dialog.windowHandle(), &close);
                }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings.kind = 0;
    EXPECT_EQ(open([&](QDialog& dialog) {
                type(kAEdit, "7");
                click(kImplicitEqualButton);
                c.close(dialog);
              }),
              0);
    EXPECT_STREQ(settings.aText.buffer, "1.0");
    EXPECT_EQ(settings.kind, 3);
    EXPECT_EQ(live.kind, Explicit);
    EXPECT_EQ(live.firstProgram, nullptr);
  }
}

TEST_F(OptionsDialog, ResetShowsTheDefaultsAndLeavesTheLiveState) {
  settings.kind = 2;
  settings.aText.assign(CText("9"));
  settings.explicitText.assign(CText("q"));
  live.oX = 111;
  EXPECT_EQ(open([&](QDialog&) {
              EXPECT_EQ(edit(kOXEdit), "111");
              click(9);
              PlotSettings defaults;
              EXPECT_EQ(edits(), textsOf(defaults)); // "300.0", "300.0", "20" among them
              EXPECT_EQ(buttons(), "1011 | 1017");
              click(2);
            }),
            0);
  EXPECT_EQ(settings.kind, 0);
  EXPECT_EQ(live.oX, 111.0);
  EXPECT_EQ(live.firstProgram, nullptr);
}

std::string joined(std::initializer_list<const char*> lines, bool lastLineEnd) {
  std::string all;
  for (const char* line : lines) {
    all += (all.empty() ? "" : "\r\n") + cp1251::fromUtf8(line);
  }
  return all + (lastLineEnd ? "\r\n" : "");
}

TEST_F(OptionsDialog, HelpButtonsShowTheirTextsByteForByte) {
  struct Case {
    int button;
    const char* caption;
    std::string text;
  } cases[] = {
      {4, "help",
       joined({"x+y - сложение",
               "x-y - вычетание",
               "x*y - умножение",
               "x/y - деление",
               "x%y - остаток от деления",
               "x&y - корень",
               "x^y - возведение в степень",
               "min(x,y) - минимум",
               "max(x,y) - максимум",
               "nod(x,y) - НОД",
               "nok(x,y) - НОК",
               "log(x,y) - логорифм",
               "sin(x) - синус",
               "cos(x) - косинус",
               "tg(x) - тангенс",
               "ctg(x) - катангенс",
               "arccos(x) - арккосинус",
               "arcsin(x) - арксинус",
               "arctg(x) - арктангенс",
               "arcctg(x) - арккатангенс",
               "ln(x) - натуральный логарифм",
               "lg(x) - дестичный логарифм",
               "abc(x) - целая часть числа",
               "ABC(x) - целая часть числа + 1",
               "x! - факториал",
               "pi - 3,14..",
               "e - 2,7..",
               "x,y,a,b,c,d - переменные"},
              true)},
      {5, "help F1",
       joined({"помощь F1", "'q' и 'w' - двигают вдоль оси OX ", "'a' и 's' - двигают вдоль оси OY",
               "'+' и '-' - приблизить и отдалить, на крестик двигать",
               "управление переменными в реальном времени :",
               "'1'и'2'-a '4'и'5'-b '7'и'8'-c '9'и'6'-d",
               "управление мышью:", "левой двигать, скрол приблизить-отдалить ",
               "правая кнопка задает атрибуты рисования"},
              false)},
      {6, "Правила",
       joined({"есть три способа задания графика",
               "1)y = f(x), где областью служит X[ot,to] по оси OX",
               "2)x = g(t),y = f(t)( t задается в виде x ),",
               "   где областью служит T[ot,to] - пробег t",
               "3)f(x,y)<0 или f(x,y)=0 или f(x,y)>0,",
               "   где областью служит X[ot,to] по оси OX, Y[ot,to] по оси OY",
               "Accuracy - это точность рисование, то есть",
               "   1/Accuracy = число точек, которые будут нарисованы на единичном отрезке "
               "графика",
               "Pixels - масштаб, количество пикселей между двумя метками на графике",
               "кординаты начала осей : (OX,OY)"},
              false)},
  };
  open([&](QDialog&) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.caption);
      shown.clear();
      click(c.button);
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_EQ(shown[0].text, c.text);
      EXPECT_EQ(shown[0].caption, cp1251::fromUtf8(c.caption));
      EXPECT_EQ(shown[0].owner, settings.dialogWindow);
      EXPECT_EQ(shown[0].type, MB_OK);
    }
    shown.clear();
    click(10);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "About");
    EXPECT_EQ(shown[0].text.rfind("Lumicurve ", 0), 0u) << shown[0].text;
    click(2);
  });
  EXPECT_STREQ(KeyHelpText, cases[1].text.c_str()); // the main window's F1 shows it too
}

TEST_F(OptionsDialog, SaveThenLoadBringsBackTheKindAndTheTexts) {
  const std::string plot = folder / "plot";
  chosen = {plot};
  open([&](QDialog&) {
    type(kAEdit, "7");          // typed, not applied
    type(kExplicitEdit, "икс"); // Cyrillic reaches the file as typed
    click(kImplicitGreaterButton);
    click(8);
    click(2);
  });
  EXPECT_EQ(fileDialogStarts, std::vector<std::string>{""});
  EXPECT_STREQ(settings.aText.buffer, "7"); // read back before saving
  const std::string saved = readBytes(plot + ".ini");
  EXPECT_EQ(saved.substr(0, 22), "Orlenta:Lumicurve\r\n4\r\n");
  EXPECT_NE(saved.find("\r\n7\r\n"), std::string::npos);
  EXPECT_NE(saved.find("\r\n" + cp1251::fromUtf8("икс") + "\r\n"), std::string::npos);
  const std::string texts = textsOf(settings);

  settings.setDefaults();
  chosen = {plot + ".ini"};
  open([&](QDialog&) {
    type(kBEdit, "99"); // lost to the loaded text
    click(7);
    EXPECT_EQ(edits(), texts);
    EXPECT_EQ(buttons(), "1010 | 1029");
    click(2);
  });
  EXPECT_EQ(fileDialogStarts.back(), plot); // the last chosen path, as chosen
  EXPECT_EQ(settings.kind, 4);
  EXPECT_EQ(textsOf(settings), texts);
  EXPECT_TRUE(shown.empty());
}

// Save's file dialog, the real one, is modal to the options dialog: typing and a
// click on Apply, sent to the options dialog as the window system sends them,
// are refused, so the file holds what the edits showed and nothing is applied.
TEST_F(OptionsDialog, WhileItsFileDialogIsOpenTheDialogTakesNoInput) {
  DialogHooks boxesOnly;
  boxesOnly.messageBox = [this](HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    shown.push_back({owner, text, caption, type});
    return IDOK;
  };
  SetDialogHooks(boxesOnly);
  const std::string plot = folder / "plot.ini";
  std::strcpy(settings.fileName, plot.c_str()); // where the file dialog starts
  bool answered = false;
  open([&](QDialog& dialog) {
    type(kBEdit, "2");
    QWidget* apply = control(kApply);
    std::function<void()> whenShown = [&] {
      QFileDialog* files = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* f = qobject_cast<QFileDialog*>(w); f != nullptr && f->isVisible()) {
          files = f;
        }
      }
      if (files == nullptr) {
        QTimer::singleShot(10, whenShown);
        return;
      }
      EXPECT_EQ(files->parentWidget(), &dialog) << "it floats above the options dialog";
      QWindow* below = dialog.windowHandle();
      QTest::keyClick(below, '3');
      QTest::mouseClick(below, Qt::LeftButton, {}, apply->mapTo(&dialog, apply->rect().center()));
      static_cast<QDialog*>(files)->accept(); // the Open button
      answered = true;
    };
    QTimer::singleShot(0, whenShown);
    click(kSave);
    EXPECT_TRUE(answered);
    EXPECT_EQ(edit(kBEdit), "2");
    EXPECT_TRUE(shown.empty()) << shown.front().text;
    EXPECT_EQ(live.firstProgram, nullptr) << "nothing was applied";
    click(2);
  });
  const std::string saved = readBytes(plot);
  EXPECT_NE(saved.find("\r\n2\r\n"), std::string::npos) << "b as the edit showed it";
}

TEST_F(OptionsDialog, FailedLoadAndSaveSayWhyAndChangeNothingElse) {
  writeBytes(folder / "foreign.ini", "[section]\n");
  const std::string cannot = folder / "missing/plot.ini";
  struct Case {
    const char* name;
    int button;
    std::optional<std::string> chosen;
    std::string text, caption;
    const char* aText; // the settings' text afterwards
  } cases[] = {
      {"Save cancelled", 8, std::nullopt, "Фаил не открыт"_cp1251, "Ошибка"_cp1251, "1.0"},
      {"Load cancelled", 7, std::nullopt, "Фаил не открыт"_cp1251, "Ошибка"_cp1251, "1.0"},
      {"Load of a foreign file", 7, folder / "foreign.ini",
       "этот фаил : "_cp1251 + (folder / "foreign.ini") +
           " - не является оригинальным файлом программы Lumicurve"_cp1251,
       "error", "1.0"},
      {"Save that cannot write", 8, cannot, "Фаил не сохранен : "_cp1251 + cannot, "Ошибка"_cp1251,
       "7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    shown.clear();
    settings.setDefaults();
    chosen = {c.chosen};
    open([&](QDialog&) {
      type(kAEdit, "7");
      click(c.button);
      EXPECT_EQ(edit(kAEdit), "7");
      EXPECT_EQ(buttons(), "1011 | 1017");
      click(2);
    });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, c.text) << cp1251::toUtf8(shown[0].text);
    EXPECT_EQ(shown[0].caption, c.caption);
    EXPECT_EQ(shown[0].owner, settings.dialogWindow);
    EXPECT_EQ(shown[0].type, MB_OK);
    EXPECT_STREQ(settings.aText.buffer, c.aText);
    EXPECT_EQ(settings.kind, 0);
  }
  EXPECT_EQ(folder.names(), std::vector<std::string>{"foreign.ini"});
}

TEST_F(OptionsDialog, AKindOutsideTheRangeAfterLoadClicksNoButton) {
  writeBytes(folder / "odd.ini", "Orlenta:Lumicurve\n9\n1\n2\n");
  chosen = {folder / "odd.ini"};
  open([&](QDialog&) {
    click(7);
    EXPECT_EQ(settings.kind, 9);
    EXPECT_EQ(edit(kOXEdit), "1");
    EXPECT_EQ(edit(kExplicitEdit), "");
    EXPECT_EQ(buttons(), "1011 | 1017"); // as they were
    EXPECT_TRUE(applyEnabled());
    click(2);
  });
  EXPECT_TRUE(shown.empty());
}

TEST_F(OptionsDialog, EnterDoesNothingWhileApplyIsDisabled) {
  settings.kind = 7;
  EXPECT_EQ(openSteps({[&](QDialog&) {
                         ASSERT_FALSE(applyEnabled());
                         type(kAEdit, "5");
                         press(kAEdit, Qt::Key_Return);
                       },
                       [&](QDialog&) { press(kAEdit, Qt::Key_Escape); }}), // the dialog stays
            0);
  EXPECT_TRUE(shown.empty());
  EXPECT_STREQ(settings.aText.buffer, "1.0");
  EXPECT_EQ(live.firstProgram, nullptr);
}

TEST_F(OptionsDialog, ExitEndsTheProcessAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(open([](QDialog&) { click(3); }), ::testing::ExitedWithCode(0), "");
}

} // namespace
