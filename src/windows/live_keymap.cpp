// The keymap the keys come from, as the X server has it now. Qt's Wayland platform
// keeps the compositor's keymap to itself, and a second connection of the
// program's own to read it makes Qt warn of keyboard focus it did not expect as
// virtual keyboards come and go; there the key symbol alone decides.

#include "windows/key_layout.h"
#include "windows/window_internal.h"

#include <QGuiApplication>

#include <xkbcommon/xkbcommon-x11.h>

namespace {

// --- X11 -------------------------------------------------------------------------

std::unique_ptr<KeyLayout> readX11Keymap() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  if (connection == nullptr || KeyLayout::context() == nullptr ||
      xkb_x11_setup_xkb_extension(
          connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
          XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
    return nullptr;
  }
  const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
  return device < 0 ? nullptr
                    : KeyLayout::adopt(xkb_x11_keymap_new_from_device(
                          KeyLayout::context(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

} // namespace

namespace windows {

bool keyLabels(int keyCode, std::uint32_t keySymbol, KeyLabels& labels) {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb")) {
    static std::unique_ptr<KeyLayout> layout = readX11Keymap();
    if (layout && layout->labels(keyCode, keySymbol, labels)) {
      return true;
    }
    layout = readX11Keymap(); // another layout chosen, or a key mapped anew
    return layout && layout->labels(keyCode, keySymbol, labels);
  }
  return false;
}

} // namespace windows
