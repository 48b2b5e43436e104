#pragma once
// Keys as Windows names them: virtual-key codes, set-1 scan codes, and the key
// data of WM_KEYDOWN. A key's virtual key comes from what the layout calls it:
// a letter from its Latin label where the layout has Latin letters, and from its
// place on the board (the US layout's letter there) where it has none; arrows,
// Esc, the F-keys, the keypad and the digits from the key symbol.

#include "windows/window_services.h"

#include <cstdint>

struct KeyStroke {
  int virtualKey; // 0: a key Windows would not report
  int scanCode;   // set 1, without the 0xE0 prefix
  bool extended;  // the 0xE0 prefix
};

// By the key's place alone: nativeScanCode is the X11 / Wayland key code (evdev
// code + 8), or 0 where the platform has none; then the Qt key and its keypad flag
// decide.
KeyStroke keyStroke(int nativeScanCode, int qtKey, bool keypad);

// What the keymap says of one key, in the group (layout) the key event came from.
struct KeyLabels {
  // The key's symbols (X keysyms) at levels 1 and 2, unshifted and shifted: its labels.
  std::uint32_t plain = 0;
  std::uint32_t shifted = 0;
  // The group puts Latin letters on the letter keys (us, fr, de; not ru, gr).
  bool latinLayout = true;
  // Key codes are the keys' places (evdev + 8), as on any real keyboard; a virtual
  // keyboard with a keymap of its own (wtype) numbers its keys 1, 2, 3 ...
  bool positional = false;
};

// A key event as X11 and Wayland give it: the key code, the key symbol the
// layout produced (0: none, as on the offscreen platform) and Qt's key. Without a
// key symbol the key's place decides, as keyStroke above; without labels (no
// keymap known) the key symbol stands for the label.
KeyStroke keyStroke(int keyCode, std::uint32_t keySymbol, int qtKey, bool keypad,
                    const KeyLabels* labels);

// What Qt's key says (0: nothing Windows would report), and the scan code a
// virtual key has on the standard board: the parts the two roads share.
int virtualKeyOfQtKey(int qtKey, bool keypad);
KeyStroke strokeOfVirtualKey(int virtualKey, bool keypad);

// Repeat count 1, scan code in bits 16-23, extended flag in bit 24, previous
// state in bit 30 (a held key's repeat, or a release), transition in bit 31.
LPARAM keyData(const KeyStroke& stroke, bool previouslyDown, bool release);
