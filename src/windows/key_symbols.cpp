// Virtual keys from key symbols and the layout's labels: what the key is called,
// not where a keymap happens to number it.

#include "windows/key_codes.h"

#include <xkbcommon/xkbcommon.h>

#include <QtCore/qnamespace.h>

#include <cstring>
#include <string_view>

namespace {

struct Named {
  std::uint32_t symbol;
  int virtualKey;
};

// Keys whose symbol says what they are, wherever they lie.
constexpr Named kFunctionKeys[] = {
    {XKB_KEY_Escape, 27},       {XKB_KEY_Return, 13},
    {XKB_KEY_Tab, 9},           {XKB_KEY_ISO_Left_Tab, 9},
    {XKB_KEY_BackSpace, 8},     {XKB_KEY_space, 32},
    {XKB_KEY_Left, 37},         {XKB_KEY_Up, 38},
    {XKB_KEY_Right, 39},        {XKB_KEY_Down, 40},
    {XKB_KEY_Prior, 33},        {XKB_KEY_Next, 34},
    {XKB_KEY_Home, 36},         {XKB_KEY_End, 35},
    {XKB_KEY_Insert, 45},       {XKB_KEY_Delete, 46},
    {XKB_KEY_Pause, 19},        {XKB_KEY_Print, 44},
    {XKB_KEY_Scroll_Lock, 145}, {XKB_KEY_Num_Lock, 144},
    {XKB_KEY_Caps_Lock, 20},    {XKB_KEY_Shift_L, 16},
    {XKB_KEY_Shift_R, 16},      {XKB_KEY_Control_L, 17},
    {XKB_KEY_Control_R, 17},    {XKB_KEY_Alt_L, 18},
    {XKB_KEY_Alt_R, 18},        {XKB_KEY_ISO_Level3_Shift, 18},
    {XKB_KEY_Super_L, 91},      {XKB_KEY_Super_R, 92},
    {XKB_KEY_Menu, 93},         {XKB_KEY_Clear, 12},
};

// The keypad, by its own symbols: digits with NumLock on, the navigation keys off.
constexpr Named kKeypadKeys[] = {
    {XKB_KEY_KP_Multiply, 106}, {XKB_KEY_KP_Add, 107},     {XKB_KEY_KP_Separator, 110},
    {XKB_KEY_KP_Subtract, 109}, {XKB_KEY_KP_Decimal, 110}, {XKB_KEY_KP_Divide, 111},
    {XKB_KEY_KP_Enter, 13},     {XKB_KEY_KP_Home, 36},     {XKB_KEY_KP_Left, 37},
    {XKB_KEY_KP_Up, 38},        {XKB_KEY_KP_Right, 39},    {XKB_KEY_KP_Down, 40},
    {XKB_KEY_KP_Prior, 33},     {XKB_KEY_KP_Next, 34},     {XKB_KEY_KP_End, 35},
    {XKB_KEY_KP_Begin, 12},     {XKB_KEY_KP_Insert, 45},   {XKB_KEY_KP_Delete, 46},
};

// Punctuation as Windows names the US layout's keys (VK_OEM_*).
constexpr Named kPunctuation[] = {
    {XKB_KEY_minus, 189},       {XKB_KEY_equal, 187},        {XKB_KEY_plus, 187},
    {XKB_KEY_bracketleft, 219}, {XKB_KEY_bracketright, 221}, {XKB_KEY_backslash, 220},
    {XKB_KEY_semicolon, 186},   {XKB_KEY_apostrophe, 222},   {XKB_KEY_grave, 192},
    {XKB_KEY_comma, 188},       {XKB_KEY_period, 190},       {XKB_KEY_slash, 191},
    {XKB_KEY_less, 226},
};

// The letters of the standard Cyrillic and Greek layouts, and beneath each the
// US layout's key at its place: for keymaps that do not give the place.
constexpr std::u32string_view kScriptLetters = U"йцукенгшщзхъфывапролджэячсмитьбюё"
                                               U"ςερτυθιοπασδφγηξκλζχψωβνμ";
constexpr std::string_view kUsAtTheirPlaces = "QWERTYUIOP\xDB\xDD"
                                              "ASDFGHJKL\xBA\xDE"
                                              "ZXCVBNM\xBC\xBE\xC0"
                                              "WERTYUIOPASDFGHJKLZXCVBNM";

int find(const Named* begin, const Named* end, std::uint32_t symbol) {
  for (const Named* n = begin; n != end; ++n) {
    if (n->symbol == symbol) {
      return n->virtualKey;
    }
  }
  return 0;
}

template <std::size_t N> int find(const Named (&table)[N], std::uint32_t symbol) {
  return find(table, table + N, symbol);
}

// A Latin letter's or a digit's virtual key, or 0.
int letterOrDigit(std::uint32_t symbol) {
  if (symbol >= 'a' && symbol <= 'z') {
    return static_cast<int>(symbol - 'a' + 'A');
  }
  if ((symbol >= 'A' && symbol <= 'Z') || (symbol >= '0' && symbol <= '9')) {
    return static_cast<int>(symbol);
  }
  return 0;
}

char32_t lowerCase(char32_t c) {
  if ((c >= 0x410 && c <= 0x42F) || (c >= 0x391 && c <= 0x3A9)) {
    return c + 0x20; // А-Я, Α-Ω
  }
  return c >= 0x400 && c <= 0x40F ? c + 0x50 : c; // Ё and the other Cyrillic capitals
}

int scriptLetter(std::uint32_t symbol) {
  const std::size_t at = kScriptLetters.find(lowerCase(xkb_keysym_to_utf32(symbol)));
  return at == std::u32string_view::npos ? 0 : static_cast<unsigned char>(kUsAtTheirPlaces[at]);
}

bool keypadSymbol(std::uint32_t symbol) {
  return symbol >= XKB_KEY_KP_Space && symbol <= XKB_KEY_KP_9;
}

} // namespace

KeyStroke keyStroke(int keyCode, std::uint32_t keySymbol, int qtKey, bool keypad,
                    const KeyLabels* labels) {
  if (keySymbol == 0) {
    return keyStroke(keyCode, qtKey, keypad);
  }
  const KeyLabels known = labels != nullptr ? *labels : KeyLabels{keySymbol, 0, true, false};
  const bool onTheKeypad = keypadSymbol(keySymbol);
  // Where the keymap gives places, the key data carries the real scan code.
  auto stroke = [&](int virtualKey) {
    if (virtualKey == 0) {
      return KeyStroke{0, 0, false};
    }
    if (known.positional) {
      KeyStroke here = keyStroke(keyCode, Qt::Key_unknown, onTheKeypad);
      if (here.scanCode != 0) {
        here.virtualKey = virtualKey;
        return here;
      }
    }
    KeyStroke standard = strokeOfVirtualKey(virtualKey, onTheKeypad);
    if (keySymbol == XKB_KEY_KP_Enter) {
      standard = {13, 0x1C, true};
    }
    return standard;
  };

  if (onTheKeypad) {
    const bool digit = keySymbol >= XKB_KEY_KP_0 && keySymbol <= XKB_KEY_KP_9;
    return stroke(digit ? static_cast<int>(96 + keySymbol - XKB_KEY_KP_0)
                        : find(kKeypadKeys, keySymbol));
  }
  if (keySymbol >= XKB_KEY_F1 && keySymbol <= XKB_KEY_F24) {
    return stroke(static_cast<int>(112 + keySymbol - XKB_KEY_F1));
  }
  if (const int named = find(kFunctionKeys, keySymbol); named != 0) {
    return stroke(named);
  }
  // A character: the key's labels decide, the plain one first (AZERTY's digit row
  // says '&' plain and '1' shifted, and is the key of 1).
  for (std::uint32_t label : {known.plain, known.shifted}) {
    if (const int vk = letterOrDigit(label); vk != 0) {
      return stroke(vk);
    }
  }
  if (known.positional && !known.latinLayout) {
    const KeyStroke here = keyStroke(keyCode, Qt::Key_unknown, false);
    if (here.virtualKey != 0) {
      return here;
    }
  }
  const std::uint32_t label = known.plain != 0 ? known.plain : keySymbol;
  if (const int vk = scriptLetter(label); vk != 0) {
    return stroke(vk);
  }
  if (const int vk = find(kPunctuation, label); vk != 0) {
    return stroke(vk);
  }
  if (known.positional) {
    return keyStroke(keyCode, Qt::Key_unknown, false);
  }
  return stroke(virtualKeyOfQtKey(qtKey, keypad));
}
