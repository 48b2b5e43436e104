#pragma once
// The identifiers that the resources, the code that uses them and the tests
// share: icon, cursor and dialog, the options dialog's controls and the main
// window's status bar.

namespace res {

inline constexpr int kIconId = 101;
inline constexpr int kCursorId = 103;
inline constexpr int kOptionsDialogId = 105;

// The child window along the bottom of the main window.
inline constexpr int kStatusBarId = 667;

// The controls of the options dialog.
namespace control {
inline constexpr int kApply = 1;
inline constexpr int kCancel = 2;
inline constexpr int kExit = 3;
inline constexpr int kOperatorHelp = 4;
inline constexpr int kKeyHelp = 5;
inline constexpr int kRules = 6;
inline constexpr int kLoad = 7;
inline constexpr int kSave = 8;
inline constexpr int kReset = 9;
inline constexpr int kAbout = 10;

// The radio buttons of the graph kinds, 0 to 4.
inline constexpr int kExplicitButton = 1011;
inline constexpr int kParametricButton = 1005;
inline constexpr int kImplicitLessButton = 1006;
inline constexpr int kImplicitEqualButton = 1008;
inline constexpr int kImplicitGreaterButton = 1010;

inline constexpr int kExplicitEdit = 1017;
inline constexpr int kParamXEdit = 1027;
inline constexpr int kParamYEdit = 1028;
inline constexpr int kImplicitEdit = 1029;
inline constexpr int kOXEdit = 1030;
inline constexpr int kOYEdit = 1031;
inline constexpr int kAccuracyEdit = 1034;
inline constexpr int kPixelsEdit = 1035;
inline constexpr int kXFromEdit = 1036;
inline constexpr int kXToEdit = 1037;
inline constexpr int kYFromEdit = 1038;
inline constexpr int kYToEdit = 1039;
inline constexpr int kTFromEdit = 1042;
inline constexpr int kTToEdit = 1043;
inline constexpr int kAEdit = 1044;
inline constexpr int kBEdit = 1045;
inline constexpr int kCEdit = 1046;
inline constexpr int kDEdit = 1047;
} // namespace control

} // namespace res
