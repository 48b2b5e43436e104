// Virtual keys as the layouts name them: real keymaps of XKB's rules (us, ru, fr,
// us,ru with ru chosen) and a virtual keyboard's own keymap, as wtype sends one.

#include "windows/key_layout.h"

#include <xkbcommon/xkbcommon.h>

#include <gtest/gtest.h>

#include <QtCore/qnamespace.h>

#include <map>
#include <memory>
#include <string>

namespace {

// A keymap of a virtual keyboard: the keys it types numbered from evdev code 1
// (key code 9, Esc's place on a real board), as wtype makes one.
const char* const kVirtualKeymap = R"keymap(xkb_keymap {
xkb_keycodes "(unnamed)" { minimum = 8; maximum = 20;
  <K1> = 9; <K2> = 10; <K3> = 11; <K4> = 12; <K5> = 13; <K6> = 14; <K7> = 15; };
xkb_types "(unnamed)" { include "complete" };
xkb_compatibility "(unnamed)" { include "complete" };
xkb_symbols "(unnamed)" {
  key <K1> {[ Right ]}; key <K2> {[ KP_Add ]}; key <K3> {[ q ]};
  key <K4> {[ Cyrillic_shorti ]}; key <K5> {[ a ]}; key <K6> {[ Greek_sigma ]};
  key <K7> {[ Escape ]};
};
};)keymap";

const KeyLayout& layout(const std::string& name) {
  static std::map<std::string, std::unique_ptr<KeyLayout>> layouts;
  auto& found = layouts[name];
  if (!found) {
    found =
        name == "wtype" ? KeyLayout::fromText(kVirtualKeymap) : KeyLayout::fromNames(name.c_str());
  }
  EXPECT_NE(found, nullptr) << name;
  return *found;
}

struct Case {
  const char* layout; // "" for no keymap known
  int keyCode;
  const char* symbol;
  int virtualKey;
  int scanCode;
  bool extended;
};

TEST(KeyCodes, VirtualKeysByKeySymbolLabelAndPlace) {
  const Case cases[] = {
      // us: letters by their labels, which lie at their places.
      {"us", 24, "q", 'Q', 0x10, false},
      {"us", 24, "Q", 'Q', 0x10, false},
      {"us", 39, "s", 'S', 0x1F, false},
      {"us", 10, "1", '1', 0x02, false},
      {"us", 21, "equal", 187, 0x0D, false},
      {"us", 9, "Escape", 27, 0x01, false},
      {"us", 67, "F1", 112, 0x3B, false},
      {"us", 114, "Right", 39, 0x4D, true},
      {"us", 111, "Up", 38, 0x48, true},
      {"us", 86, "KP_Add", 107, 0x4E, false},
      {"us", 82, "KP_Subtract", 109, 0x4A, false},
      {"us", 87, "KP_1", 97, 0x4F, false},
      {"us", 87, "KP_End", 35, 0x4F, false}, // NumLock off
      {"us", 83, "KP_Left", 37, 0x4B, false},
      {"us", 104, "KP_Enter", 13, 0x1C, true},
      // ru: no Latin letters, so by place; digits and the rest by symbol.
      {"ru", 24, "Cyrillic_shorti", 'Q', 0x10, false},
      {"ru", 25, "Cyrillic_TSE", 'W', 0x11, false},
      {"ru", 38, "Cyrillic_ef", 'A', 0x1E, false},
      {"ru", 39, "Cyrillic_yeru", 'S', 0x1F, false},
      {"ru", 61, "period", 191, 0x35, false},
      {"ru", 10, "1", '1', 0x02, false},
      {"ru", 114, "Right", 39, 0x4D, true},
      {"ru", 86, "KP_Add", 107, 0x4E, false},
      // fr (AZERTY): letters by their labels wherever they lie.
      {"fr", 24, "a", 'A', 0x10, false},
      {"fr", 38, "q", 'Q', 0x1E, false},
      {"fr", 25, "z", 'Z', 0x11, false},
      {"fr", 52, "w", 'W', 0x2C, false},
      {"fr", 47, "m", 'M', 0x27, false},
      {"fr", 58, "comma", 188, 0x32, false},
      {"fr", 10, "ampersand", '1', 0x02, false}, // the key of 1, shifted
      {"fr", 11, "eacute", '2', 0x03, false},
      {"fr", 114, "Right", 39, 0x4D, true},
      // us and ru, ru chosen: the Russian group decides.
      {"us,ru", 24, "Cyrillic_shorti", 'Q', 0x10, false},
      {"us,ru", 24, "q", 'Q', 0x10, false},
      {"us,ru", 39, "Cyrillic_yeru", 'S', 0x1F, false},
      // wtype: key codes say nothing; symbols and the scripts' own layouts do.
      {"wtype", 9, "Right", 39, 0x4D, true},
      {"wtype", 10, "KP_Add", 107, 0x4E, false},
      {"wtype", 11, "q", 'Q', 0x10, false},
      {"wtype", 12, "Cyrillic_shorti", 'Q', 0x10, false},
      {"wtype", 13, "a", 'A', 0x1E, false},
      {"wtype", 14, "Greek_sigma", 'S', 0x1F, false},
      {"wtype", 15, "Escape", 27, 0x01, false},
      // No keymap known: the symbol alone.
      {"", 9, "Right", 39, 0x4D, true},
      {"", 24, "Cyrillic_shorti", 'Q', 0x10, false},
      {"", 24, "a", 'A', 0x1E, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.layout) + " " + std::to_string(c.keyCode) + " " + c.symbol);
    const xkb_keysym_t symbol = xkb_keysym_from_name(c.symbol, XKB_KEYSYM_NO_FLAGS);
    ASSERT_NE(symbol, XKB_KEY_NoSymbol);
    KeyLabels labels;
    const bool known = c.layout[0] != '\0';
    if (known) {
      ASSERT_TRUE(layout(c.layout).labels(c.keyCode, symbol, labels)) << "not on that key";
    }
    const KeyStroke stroke =
        keyStroke(c.keyCode, symbol, Qt::Key_unknown, false, known ? &labels : nullptr);
    EXPECT_EQ(stroke.virtualKey, c.virtualKey);
    EXPECT_EQ(stroke.scanCode, c.scanCode);
    EXPECT_EQ(stroke.extended, c.extended);
  }
}

TEST(KeyCodes, AKeymapKnowsWhetherItGivesPlacesAndLatinLetters) {
  struct Expect {
    const char* layout;
    int keyCode;
    const char* symbol;
    bool positional, latin;
  } expected[] = {{"us", 24, "q", true, true},
                  {"fr", 24, "a", true, true},
                  {"ru", 24, "Cyrillic_shorti", true, false},
                  {"us,ru", 24, "q", true, true},
                  {"us,ru", 24, "Cyrillic_shorti", true, false},
                  {"wtype", 11, "q", false, false}};
  for (const Expect& e : expected) {
    SCOPED_TRACE(std::string(e.layout) + " " + e.symbol);
    KeyLabels labels;
    ASSERT_TRUE(layout(e.layout).labels(
        e.keyCode, xkb_keysym_from_name(e.symbol, XKB_KEYSYM_NO_FLAGS), labels));
    EXPECT_EQ(labels.positional, e.positional);
    EXPECT_EQ(labels.latinLayout, e.latin);
  }
  KeyLabels untouched;
  EXPECT_FALSE(layout("us").labels(24, XKB_KEY_Cyrillic_shorti, untouched)) << "another keymap's";
}

} // namespace
