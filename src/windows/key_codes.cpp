#include "windows/key_codes.h"

#include <QtCore/qnamespace.h>

#include <array>

namespace {

// Virtual-key codes of the set-1 scan codes 0x00..0x58 on the standard layout.
// The keypad's navigation block (0x47..0x53) is given with NumLock on.
constexpr std::array<std::uint8_t, 0x59> kVirtualKeyOfScan = {
    0,   27,  '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', 189, 187, 8,   9,   // 0x00
    'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', 219, 221, 13,  17,  'A', 'S', // 0x10
    'D', 'F', 'G', 'H', 'J', 'K', 'L', 186, 222, 192, 16,  220, 'Z', 'X', 'C', 'V', // 0x20
    'B', 'N', 'M', 188, 190, 191, 16,  106, 18,  32,  20,  112, 113, 114, 115, 116, // 0x30
    117, 118, 119, 120, 121, 144, 145, 103, 104, 105, 109, 100, 101, 102, 107, 97,  // 0x40
    98,  99,  96,  110, 0,   0,   226, 122, 123,                                    // 0x50
};

struct Extended {
  int scan;
  int virtualKey;
};
// Keys sent with the 0xE0 prefix.
constexpr Extended kExtended[] = {
    {0x1C, 13}, {0x1D, 17}, {0x35, 111}, {0x37, 44}, {0x38, 18}, {0x47, 36},
    {0x48, 38}, {0x49, 33}, {0x4B, 37},  {0x4D, 39}, {0x4F, 35}, {0x50, 40},
    {0x51, 34}, {0x52, 45}, {0x53, 46},  {0x5B, 91}, {0x5C, 92}, {0x5D, 93},
};

// evdev codes past the set-1 range, with the scan code they stand for.
struct Evdev {
  int code;
  int scan;
  bool extended;
};
constexpr Evdev kEvdevExtended[] = {
    {96, 0x1C, true},   {97, 0x1D, true},  {98, 0x35, true},  {99, 0x37, true},  {100, 0x38, true},
    {102, 0x47, true},  {103, 0x48, true}, {104, 0x49, true}, {105, 0x4B, true}, {106, 0x4D, true},
    {107, 0x4F, true},  {108, 0x50, true}, {109, 0x51, true}, {110, 0x52, true}, {111, 0x53, true},
    {119, 0x45, false}, {125, 0x5B, true}, {126, 0x5C, true}, {127, 0x5D, true},
};

// The keypad's navigation keys with NumLock off, by scan code from 0x47.
constexpr std::array<std::uint8_t, 13> kKeypadNavigation = {36, 38, 33, 0,  37, 12, 39,
                                                            0,  35, 40, 34, 45, 46};

bool keypadNavigationScan(int scan) {
  return scan >= 0x47 && scan <= 0x53 && scan != 0x4A && scan != 0x4E;
}

int extendedVirtualKey(int scan) {
  for (const Extended& e : kExtended) {
    if (e.scan == scan) {
      return e.virtualKey;
    }
  }
  return 0;
}

} // namespace

// What Qt's key code says, where no native code does.
int virtualKeyOfQtKey(int key, bool keypad) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) {
    return key;
  }
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    return keypad ? 96 + (key - Qt::Key_0) : key;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
    return 112 + (key - Qt::Key_F1);
  }
  switch (key) {
  case Qt::Key_Plus:
    return keypad ? 107 : 187;
  case Qt::Key_Minus:
    return keypad ? 109 : 189;
  case Qt::Key_Asterisk:
    return keypad ? 106 : '8';
  case Qt::Key_Slash:
    return keypad ? 111 : 191;
  case Qt::Key_Period:
    return keypad ? 110 : 190;
  case Qt::Key_Comma:
    return keypad ? 110 : 188;
  case Qt::Key_Equal:
    return 187;
  case Qt::Key_Semicolon:
    return 186;
  case Qt::Key_Apostrophe:
    return 222;
  case Qt::Key_QuoteLeft:
    return 192;
  case Qt::Key_BracketLeft:
    return 219;
  case Qt::Key_Backslash:
    return 220;
  case Qt::Key_BracketRight:
    return 221;
  case Qt::Key_Escape:
    return 27;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    return 9;
  case Qt::Key_Backspace:
    return 8;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return 13;
  case Qt::Key_Space:
    return 32;
  case Qt::Key_Insert:
    return 45;
  case Qt::Key_Delete:
    return 46;
  case Qt::Key_Pause:
    return 19;
  case Qt::Key_Print:
    return 44;
  case Qt::Key_Home:
    return 36;
  case Qt::Key_End:
    return 35;
  case Qt::Key_Left:
    return 37;
  case Qt::Key_Up:
    return 38;
  case Qt::Key_Right:
    return 39;
  case Qt::Key_Down:
    return 40;
  case Qt::Key_PageUp:
    return 33;
  case Qt::Key_PageDown:
    return 34;
  case Qt::Key_Clear:
    return 12;
  case Qt::Key_Shift:
    return 16;
  case Qt::Key_Control:
    return 17;
  case Qt::Key_Alt:
    return 18;
  case Qt::Key_Meta:
    return 91;
  case Qt::Key_Menu:
    return 93;
  case Qt::Key_CapsLock:
    return 20;
  case Qt::Key_NumLock:
    return 144;
  case Qt::Key_ScrollLock:
    return 145;
  default:
    return 0;
  }
}

// The scan code of a virtual key, for platforms that give none: the keypad's
// keys by the keypad, the navigation block by its own extended keys.
KeyStroke strokeOfVirtualKey(int virtualKey, bool keypad) {
  if (keypad) {
    for (int scan = 0x47; scan <= 0x53; ++scan) {
      const int offset = scan - 0x47;
      if (kVirtualKeyOfScan[static_cast<std::size_t>(scan)] == virtualKey ||
          kKeypadNavigation[static_cast<std::size_t>(offset)] == virtualKey) {
        return {virtualKey, scan, false};
      }
    }
  }
  for (const Extended& e : kExtended) {
    if (e.virtualKey == virtualKey && e.scan != 0x1C && e.scan != 0x1D && e.scan != 0x38) {
      return {virtualKey, e.scan, true};
    }
  }
  for (std::size_t scan = 1; scan < kVirtualKeyOfScan.size(); ++scan) {
    if (kVirtualKeyOfScan[scan] == virtualKey && !keypadNavigationScan(static_cast<int>(scan))) {
      return {virtualKey, static_cast<int>(scan), false};
    }
  }
  return {virtualKey, 0, false};
}

namespace {

bool numLockOn(int qtKey) {
  return (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || qtKey == Qt::Key_Period ||
         qtKey == Qt::Key_Comma;
}

} // namespace

KeyStroke keyStroke(int nativeScanCode, int qtKey, bool keypad) {
  const int evdev = nativeScanCode - 8;
  if (evdev > 0 && evdev < static_cast<int>(kVirtualKeyOfScan.size()) &&
      kVirtualKeyOfScan[static_cast<std::size_t>(evdev)] != 0) {
    int virtualKey = kVirtualKeyOfScan[static_cast<std::size_t>(evdev)];
    // With NumLock off the keypad's digits are the navigation keys, as on Windows.
    if (keypadNavigationScan(evdev) && !numLockOn(qtKey)) {
      virtualKey = kKeypadNavigation[static_cast<std::size_t>(evdev - 0x47)];
    }
    return {virtualKey, evdev, false};
  }
  for (const Evdev& e : kEvdevExtended) {
    if (e.code == evdev) {
      return {e.extended ? extendedVirtualKey(e.scan) : 19, e.scan, e.extended};
    }
  }
  return strokeOfVirtualKey(virtualKeyOfQtKey(qtKey, keypad), keypad);
}

LPARAM keyData(const KeyStroke& stroke, bool previouslyDown, bool release) {
  std::uint32_t data = 1;
  data |= static_cast<std::uint32_t>(stroke.scanCode & 0xFF) << 16;
  data |= stroke.extended ? 1u << 24 : 0u;
  data |= previouslyDown ? 1u << 30 : 0u;
  data |= release ? 1u << 31 : 0u;
  return static_cast<LPARAM>(data);
}
