#include "windows/key_layout.h"

#include <xkbcommon/xkbcommon.h>

namespace {

struct Context {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  ~Context() { xkb_context_unref(context); }
};

// Keys every real keyboard has at these codes (evdev + 8).
struct Place {
  int keyCode;
  std::uint32_t symbol;
};
constexpr Place kLandmarks[] = {{9, XKB_KEY_Escape},  {22, XKB_KEY_BackSpace}, {23, XKB_KEY_Tab},
                                {36, XKB_KEY_Return}, {50, XKB_KEY_Shift_L},   {65, XKB_KEY_space}};

// The three rows of letter keys, by key code.
constexpr int kLetterRows[][2] = {{24, 33}, {38, 46}, {52, 58}};

} // namespace

xkb_context* KeyLayout::context() {
  static Context shared;
  return shared.context;
}

std::unique_ptr<KeyLayout> KeyLayout::adopt(xkb_keymap* keymap) {
  return keymap != nullptr ? std::unique_ptr<KeyLayout>(new KeyLayout(keymap)) : nullptr;
}

std::unique_ptr<KeyLayout> KeyLayout::fromNames(const char* layouts, const char* variants) {
  const xkb_rule_names names{"evdev", "pc105", layouts, variants, nullptr};
  return context() != nullptr
             ? adopt(xkb_keymap_new_from_names(context(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS))
             : nullptr;
}

std::unique_ptr<KeyLayout> KeyLayout::fromText(const std::string& text) {
  return context() != nullptr
             ? adopt(xkb_keymap_new_from_buffer(context(), text.data(), text.size(),
                                                XKB_KEYMAP_FORMAT_TEXT_V1,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS))
             : nullptr;
}

KeyLayout::KeyLayout(xkb_keymap* keymap) : keymap_(keymap) {
  int landmarks = 0;
  for (const Place& p : kLandmarks) {
    landmarks += symbolAt(p.keyCode, 0, 0) == p.symbol ? 1 : 0;
  }
  // A virtual keyboard's keymap may happen to hold one or two of them.
  positional_ = landmarks >= 5;
  const xkb_layout_index_t groups = xkb_keymap_num_layouts(keymap_);
  for (xkb_layout_index_t g = 0; g < groups && g < 32; ++g) {
    int latin = 0;
    for (const auto& row : kLetterRows) {
      for (int code = row[0]; code <= row[1]; ++code) {
        const std::uint32_t s = symbolAt(code, g, 0);
        latin += (s >= 'a' && s <= 'z') || (s >= 'A' && s <= 'Z') ? 1 : 0;
      }
    }
    latinGroups_ |= latin >= 13 ? 1u << g : 0u; // AZERTY and QWERTZ have 26
  }
}

KeyLayout::~KeyLayout() {
  xkb_keymap_unref(keymap_);
}

std::uint32_t KeyLayout::symbolAt(int keyCode, unsigned group, unsigned level) const {
  const xkb_keysym_t* symbols = nullptr;
  const int count = xkb_keymap_key_get_syms_by_level(keymap_, static_cast<xkb_keycode_t>(keyCode),
                                                     group, level, &symbols);
  return count > 0 ? symbols[0] : 0;
}

bool KeyLayout::labels(int keyCode, std::uint32_t keySymbol, KeyLabels& out) const {
  const auto code = static_cast<xkb_keycode_t>(keyCode);
  const xkb_layout_index_t groups = xkb_keymap_num_layouts_for_key(keymap_, code);
  for (xkb_layout_index_t g = 0; g < groups; ++g) {
    const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap_, code, g);
    for (xkb_level_index_t level = 0; level < levels; ++level) {
      const xkb_keysym_t* symbols = nullptr;
      const int count = xkb_keymap_key_get_syms_by_level(keymap_, code, g, level, &symbols);
      for (int i = 0; i < count; ++i) {
        if (symbols[i] == keySymbol) {
          out.plain = symbolAt(keyCode, g, 0);
          out.shifted = levels > 1 ? symbolAt(keyCode, g, 1) : 0;
          out.latinLayout = g < 32 && (latinGroups_ & (1u << g)) != 0;
          out.positional = positional_;
          return true;
        }
      }
    }
  }
  return false;
}
