#pragma once
// What the dialog services share: the state of a dialog built from a template.

#include "windows/window_internal.h"

#include <vector>

class QEventLoop;

struct DialogState {
  DLGPROC procedure = nullptr;
  // The dialog font's average character width and height: 4 and 8 dialog units.
  int baseX = 1;
  int baseY = 1;
  std::vector<HWND> controls; // in template order
  bool ended = false;
  INT_PTR result = 0;
  QEventLoop* loop = nullptr; // while the dialog's loop runs
};

namespace windows {

// Null for anything but a live dialog.
std::shared_ptr<DialogState> dialogStateOf(HWND dialog);

// a * b / c rounded to the nearest integer, halves away from zero.
int mulDiv(int a, int b, int c);

} // namespace windows
