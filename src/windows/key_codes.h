#pragma once
// Keys as Windows names them: virtual-key codes by the key's position (so letters
// work under any layout), set-1 scan codes, and the key data of WM_KEYDOWN.

#include "windows/window_services.h"

struct KeyStroke {
  int virtualKey; // 0: a key Windows would not report
  int scanCode;   // set 1, without the 0xE0 prefix
  bool extended;  // the 0xE0 prefix
};

// nativeScanCode: the X11 / Wayland key code (evdev code + 8), or 0 where the
// platform has none; then the Qt key and its keypad flag decide.
KeyStroke keyStroke(int nativeScanCode, int qtKey, bool keypad);

// Repeat count 1, scan code in bits 16-23, extended flag in bit 24, previous
// state in bit 30 (a held key's repeat, or a release), transition in bit 31.
LPARAM keyData(const KeyStroke& stroke, bool previouslyDown, bool release);
