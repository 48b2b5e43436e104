#pragma once
// A keyboard's keymap as xkbcommon reads it, asked what it calls one key.

#include "windows/key_codes.h"

#include <memory>
#include <string>

struct xkb_keymap;

class KeyLayout {
public:
  // Takes the keymap over; null for none.
  static std::unique_ptr<KeyLayout> adopt(xkb_keymap* keymap);
  // A keymap of XKB's rules by layout name ("us", "ru", "fr", "us,ru"), or of the
  // text a keymap is sent in (what wtype and other virtual keyboards send).
  static std::unique_ptr<KeyLayout> fromNames(const char* layouts, const char* variants = "");
  static std::unique_ptr<KeyLayout> fromText(const std::string& text);

  // The xkbcommon context the keymaps are compiled in.
  static struct xkb_context* context();

  ~KeyLayout();
  KeyLayout(const KeyLayout&) = delete;
  KeyLayout& operator=(const KeyLayout&) = delete;

  // The labels of the key in the group whose levels hold the symbol; false if no
  // group of the key does (the keymap is not the one the event came from).
  bool labels(int keyCode, std::uint32_t keySymbol, KeyLabels& out) const;

private:
  explicit KeyLayout(xkb_keymap* keymap);
  std::uint32_t symbolAt(int keyCode, unsigned group, unsigned level) const;

  xkb_keymap* keymap_;
  bool positional_ = false;
  std::uint32_t latinGroups_ = 0; // bit g: group g has Latin letters on its letter keys
};
