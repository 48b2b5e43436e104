// The options dialog: its procedure, and the PlotSettings operations behind its
// edits, radio buttons and buttons.

#include "options/options_dialog.h"

#include "expr/numeric.h"
#include "res/resource_ids.h"

#include <cstdlib>

namespace {

using namespace res::control;

PlotSettings* targetSettings = nullptr;
PlotState* targetLive = nullptr;

// The edit of each text, in field order.
constexpr int kEditIds[PlotSettings::TextCount] = {
    kOXEdit,       kOYEdit,     kXFromEdit,  kXToEdit,    kYFromEdit,    kYToEdit,
    kTFromEdit,    kTToEdit,    kAEdit,      kBEdit,      kCEdit,        kDEdit,
    kAccuracyEdit, kPixelsEdit, kParamXEdit, kParamYEdit, kImplicitEdit, kExplicitEdit};

// The radio button of each graph kind.
constexpr int kKindButtons[] = {kExplicitButton, kParametricButton, kImplicitLessButton,
                                kImplicitEqualButton, kImplicitGreaterButton};
constexpr int kKinds = 5;

// The formula edits in the order they are enabled, and which kinds use each.
struct FormulaEdit {
  int id;
  bool enabledFor[kKinds];
};
constexpr FormulaEdit kFormulaEdits[] = {
    {kParamXEdit, {false, true, false, false, false}},
    {kParamYEdit, {false, true, false, false, false}},
    {kImplicitEdit, {false, false, true, true, true}},
    {kExplicitEdit, {true, false, false, false, false}},
};

} // namespace

void setOptionsDialogTarget(PlotSettings* settings, PlotState* live) {
  targetSettings = settings;
  targetLive = live;
}

INT_PTR optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (targetSettings == nullptr || targetLive == nullptr) {
    if (message == WM_CLOSE) {
      EndDialog(dialog, 0);
      return TRUE;
    }
    return FALSE;
  }
  switch (message) {
  case WM_INITDIALOG:
    targetSettings->initDialog(dialog, *targetLive);
    return TRUE;
  case WM_COMMAND:
    targetSettings->onCommand(wParam);
    return TRUE;
  case WM_APPLYSETTINGS:
    if (targetSettings->apply(*targetLive)) {
      SendMessageA(dialog, WM_CLOSE, 0, 0);
    }
    return TRUE;
  case WM_CLOSE:
    EndDialog(dialog, 0);
    return TRUE;
  default:
    return FALSE;
  }
}

void PlotSettings::initDialog(HWND dialog, const PlotState& live) {
  oXText.length = 0;
  oXText.appendInt(numeric::trunc32(live.oX));
  oYText.length = 0;
  oYText.appendInt(numeric::trunc32(live.oY));
  pixelsText.length = 0;
  pixelsText.appendReal(live.pixels);
  dialogWindow = dialog;
  toDialog();
  selectKindButton();
}

void PlotSettings::toDialog() {
  for (int i = 0; i < TextCount; ++i) {
    SetWindowTextA(GetDlgItem(dialogWindow, kEditIds[i]), text(i)->buffer);
  }
}

void PlotSettings::fromDialog() {
  for (int i = 0; i < TextCount; ++i) {
    CText& t = *text(i);
    t.length = GetWindowTextA(GetDlgItem(dialogWindow, kEditIds[i]), t.buffer, t.capacity);
  }
}

void PlotSettings::selectKindButton() {
  if (kind < 0 || kind >= kKinds) {
    return;
  }
  SendMessageA(dialogWindow, WM_COMMAND,
               MAKEWPARAM(static_cast<WORD>(kKindButtons[kind]), BN_CLICKED), 0);
}

void PlotSettings::chooseKind(std::int32_t newKind) {
  kind = newKind;
  for (int k = 0; k < kKinds; ++k) {
    CheckDlgButton(dialogWindow, kKindButtons[k], k == newKind ? BST_CHECKED : BST_UNCHECKED);
  }
  EnableWindow(GetDlgItem(dialogWindow, kApply), TRUE);
  for (const FormulaEdit& edit : kFormulaEdits) {
    EnableWindow(GetDlgItem(dialogWindow, edit.id), edit.enabledFor[newKind] ? TRUE : FALSE);
  }
}

void PlotSettings::onCommand(WPARAM wParam) {
  const WORD id = LOWORD(wParam);
  for (int k = 0; k < kKinds; ++k) {
    if (id == kKindButtons[k]) {
      chooseKind(k);
      return;
    }
  }
  switch (id) {
  case kApply:
    fromDialog();
    SendMessageA(dialogWindow, WM_APPLYSETTINGS, 0, 0);
    break;
  case kCancel: // what was typed is not read back
    SendMessageA(dialogWindow, WM_CLOSE, 0, 0);
    break;
  case kExit:
    ExitProcess(0);
  case kOperatorHelp:
    MessageBoxA(dialogWindow, OperatorHelpText, "help", MB_OK);
    break;
  case kKeyHelp:
    MessageBoxA(dialogWindow, KeyHelpText, "help F1", MB_OK);
    break;
  case kRules:
    MessageBoxA(dialogWindow, RulesText, "Правила"_cp1251, MB_OK);
    break;
  case kLoad:
    loadFromDialog();
    break;
  case kSave:
    saveFromDialog();
    break;
  case kReset: // the live state changes only with the next Apply
    setDefaults();
    toDialog();
    selectKindButton();
    break;
  case kAbout:
    MessageBoxA(dialogWindow, AboutText, "About", MB_OK);
    break;
  default:
    break; // the edits' notifications among them
  }
}

void PlotSettings::loadFromDialog() {
  fileDialog.hwndOwner = dialogWindow; // see saveFromDialog
  if (GetOpenFileNameA(&fileDialog) == FALSE) {
    MessageBoxA(dialogWindow, "Фаил не открыт"_cp1251, "Ошибка"_cp1251, MB_OK);
    return;
  }
  try {
    loadFile(fileName);
  } catch (char* message) {
    const RaisedText text(message);
    MessageBoxA(dialogWindow, text.get(), "error", MB_OK);
    return;
  }
  toDialog();
  selectKindButton();
}

void PlotSettings::saveFromDialog() {
  // Owned by the options dialog, which takes no input until it closes: typing or
  // Apply meanwhile would act only after it, on what the file already holds.
  fileDialog.hwndOwner = dialogWindow;
  if (GetOpenFileNameA(&fileDialog) == FALSE) {
    MessageBoxA(dialogWindow, "Фаил не открыт"_cp1251, "Ошибка"_cp1251, MB_OK);
    return;
  }
  fromDialog(); // the file holds what the edits show
  saveFile(fileName);
}
