// Template 105: the options dialog.
#include "expr/cp1251.h"
#include "res/resources.h"

namespace res {
namespace {

using namespace style;
using namespace control;

constexpr std::uint32_t kControl = Child | Visible;
constexpr std::uint32_t kPush = kControl | PushButton | TabStop;
constexpr std::uint32_t kDefault = kControl | DefPushButton | TabStop | Disabled;
// Every radio button starts a group of its own: the program checks them itself.
constexpr std::uint32_t kRadio = kControl | AutoRadioButton | Group;
constexpr std::uint32_t kEdit = kControl | Border | AutoHScroll | TabStop;
constexpr std::uint32_t kLabel = kControl | LeftText;
constexpr std::uint32_t kFrame = kControl | GroupBox;

constexpr ControlClass B = ControlClass::Button;
constexpr ControlClass E = ControlClass::Edit;
constexpr ControlClass S = ControlClass::Static;

const DialogControl kOptionsControls[] = {
    {kApply, B, "Apply", 3, 145, 85, 24, kDefault},
    {kCancel, B, "Cancel", 92, 145, 50, 24, kPush},
    {kExit, B, "Exit", 145, 145, 50, 24, kPush},
    {kOperatorHelp, B, "Помощь"_cp1251, 389, 154, 50, 15, kPush},
    {kKeyHelp, B, "F1", 389, 137, 50, 15, kPush},
    {kRules, B, "Правила"_cp1251, 389, 121, 50, 15, kPush},
    {kLoad, B, "Загрузить"_cp1251, 443, 154, 50, 15, kPush},
    {kSave, B, "Сохранить"_cp1251, 443, 137, 50, 15, kPush},
    {kReset, B, "Reset", 389, 105, 50, 15, kPush},
    {kAbout, B, "About", 443, 121, 50, 15, kPush},
    {kExplicitButton, B, "", 521, 10, 10, 9, kRadio},
    {kParametricButton, B, "", 521, 42, 10, 9, kRadio},
    {kImplicitLessButton, B, "", 521, 70, 10, 9, kRadio},
    {kImplicitEqualButton, B, "", 521, 80, 10, 9, kRadio},
    {kImplicitGreaterButton, B, "", 521, 90, 10, 9, kRadio},
    {kExplicitEdit, E, "", 41, 8, 469, 12, kEdit},
    {kParamXEdit, E, "", 41, 32, 469, 12, kEdit},
    {kParamYEdit, E, "", 41, 46, 469, 12, kEdit},
    {kImplicitEdit, E, "", 41, 79, 469, 12, kEdit},
    {kOXEdit, E, "", 27, 112, 40, 12, kEdit},
    {kOYEdit, E, "", 27, 126, 40, 12, kEdit},
    {kAccuracyEdit, E, "", 114, 112, 80, 12, kEdit},
    {kPixelsEdit, E, "", 114, 126, 80, 12, kEdit},
    {kXFromEdit, E, "", 243, 111, 40, 12, kEdit},
    {kXToEdit, E, "", 284, 111, 40, 12, kEdit},
    {kYFromEdit, E, "", 243, 125, 40, 12, kEdit},
    {kYToEdit, E, "", 284, 125, 40, 12, kEdit},
    {kTFromEdit, E, "", 243, 139, 40, 12, kEdit},
    {kTToEdit, E, "", 284, 139, 40, 12, kEdit},
    {kAEdit, E, "", 339, 112, 40, 12, kEdit},
    {kBEdit, E, "", 339, 126, 40, 12, kEdit},
    {kCEdit, E, "", 339, 140, 40, 12, kEdit},
    {kDEdit, E, "", 339, 154, 40, 12, kEdit},
    {-1, B, "Static", 3, 0, 534, 25, kFrame},
    {-1, S, "f(x) =", 8, 9, 33, 8, kLabel},
    {-1, B, "Static", 3, 25, 534, 38, kFrame},
    {-1, S, "OX: f(x) =", 8, 34, 33, 8, kLabel},
    {-1, S, "OY: f(x) =", 8, 47, 33, 8, kLabel},
    {-1, B, "Static", 3, 64, 534, 38, kFrame},
    {-1, S, " f(x,y) =", 8, 79, 33, 8, kLabel},
    {-1, S, "<0", 510, 71, 11, 8, kLabel},
    {-1, S, "=0", 510, 80, 11, 8, kLabel},
    {-1, S, ">0", 510, 89, 11, 8, kLabel},
    {-1, B, "Position", 3, 103, 67, 39, kFrame},
    // The labels name the axes drawn at these canvas coordinates: OY at x, OX at y.
    {-1, S, "OY =", 9, 113, 18, 8, kLabel},
    {-1, S, "OX =", 9, 127, 18, 8, kLabel},
    {-1, B, "Attribute", 73, 103, 125, 39, kFrame},
    {-1, S, "Accuracy", 79, 113, 33, 8, kLabel},
    {-1, S, "Pixels", 79, 127, 33, 8, kLabel},
    {-1, B, "Definition", 203, 103, 123, 52, kFrame},
    {-1, S, "X(ot,to) =", 209, 112, 33, 8, kLabel},
    {-1, S, "Y(ot,to) =", 209, 126, 33, 8, kLabel},
    {-1, S, "T(ot,to) =", 209, 141, 33, 8, kLabel},
    {-1, B, "Variable", 330, 103, 54, 66, kFrame},
    {-1, S, "a", 333, 112, 8, 8, kLabel},
    {-1, S, "b", 333, 127, 8, 8, kLabel},
    {-1, S, "c", 333, 140, 8, 8, kLabel},
    {-1, S, "d", 333, 154, 8, 8, kLabel},
};

constexpr int kRussian = 1049;

const DialogTemplate kOptionsDialog = {
    kOptionsDialogId,
    kRussian,
    "Option",
    0,
    0,
    540,
    174,
    Popup | Caption | SysMenu | MinimizeBox | ModalFrame | Center | ShellFont,
    "MS Shell Dlg",
    8,
    400,
    false,
    kOptionsControls,
    static_cast<int>(sizeof kOptionsControls / sizeof kOptionsControls[0]),
};

} // namespace

const DialogTemplate* findDialog(int id) {
  return id == kOptionsDialogId ? &kOptionsDialog : nullptr;
}

} // namespace res
