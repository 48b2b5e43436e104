#pragma once
// PlotSettings: everything the user sets in the options dialog, kept as texts
// exactly as typed; Apply compiles and converts them into the live plot state.

#include "expr/text.h"
#include "plot/plot_state.h"
#include "window_calls/window_calls.h"

#include <cstdint>

class PlotSettings {
public:
  char fileName[500] = {};
  OPENFILENAMEA fileDialog = {};
  std::int32_t kind = Explicit;
  CText oXText, oYText;
  CText xFromText, xToText;
  CText yFromText, yToText;
  CText tFromText, tToText;
  CText aText, bText, cText, dText;
  CText accuracyText;
  CText pixelsText;
  CText paramXText, paramYText;
  CText implicitText;
  CText explicitText;
  HWND dialogWindow = nullptr;
  // Apply's refusals put each number text between double quotes, so that a blank
  // typed before or after it shows (the renderer's one-line messages); the dialog's
  // message boxes keep the plain text.
  bool quoteRefusedNumbers = false;

  static constexpr int TextCount = 18;
  static constexpr int NumberTextCapacity = 1024;
  static constexpr int FormulaTextCapacity = 10024;

  PlotSettings();
  ~PlotSettings();
  PlotSettings(const PlotSettings&) = delete;
  PlotSettings& operator=(const PlotSettings&) = delete;

  void setDefaults();
  // Installs the settings into the live state; false after an error, which has
  // already been shown to the user.
  bool apply(PlotState& live);

  // The settings file: twenty lines, header, kind and the eighteen texts.
  void saveFile(const char* path);
  // Throws a malloc'd char* message for a file that is not a settings file.
  void loadFile(const char* path);

  // The options dialog (built with the dialog, above the window services). Shows the view's origin
  // and pixels and every text, and clicks the radio button of the kind.
  void initDialog(HWND dialog, const PlotState& live);
  // The eighteen texts into their edits, and back (each edit read into its text's
  // own block, at most capacity - 1 characters).
  void toDialog();
  void fromDialog();
  // Clicks the radio button of the kind; nothing for a kind outside 0..4.
  void selectKindButton();
  // A button or radio button of the dialog, by the identifier in the low word.
  void onCommand(WPARAM wParam);

  // The eighteen texts in field order, which is also the order of the file.
  CText* text(int index);

private:
  void chooseKind(std::int32_t newKind);
  // The dialog's Load and Save buttons.
  void loadFromDialog();
  void saveFromDialog();
};
