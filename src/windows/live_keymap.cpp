// The keymap the keys come from, as the window system has it now: read from the X
// server, or sent by the Wayland compositor, which sends a new one whenever
// another keyboard (a virtual one among them) starts typing.

#include "windows/key_layout.h"
#include "windows/window_internal.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

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

// --- Wayland -------------------------------------------------------------------------

// A connection of its own to the compositor, with a keyboard of the seat: Qt keeps
// its keymap to itself, and the compositor sends every client the new keymap
// before the key typed with it.
class WaylandKeymap {
public:
  WaylandKeymap() : display_(wl_display_connect(nullptr)) {
    if (display_ == nullptr) {
      return;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistry, this);
    wl_display_roundtrip(display_); // the seat
    wl_display_roundtrip(display_); // its capabilities
    wl_display_roundtrip(display_); // the keymap
    notifier_ = new QSocketNotifier(wl_display_get_fd(display_), QSocketNotifier::Read, qGuiApp);
    QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { take(); });
  }

  // The keymap as far as the compositor has sent it; waiting for the compositor
  // to answer first when asked.
  const KeyLayout* layout(bool wait) {
    if (display_ == nullptr) {
      return nullptr;
    }
    if (wait) {
      wl_display_roundtrip(display_);
    } else {
      take();
    }
    return layout_.get();
  }

private:
  // Reads and handles what has arrived, without waiting.
  void take() {
    while (wl_display_prepare_read(display_) != 0) {
      wl_display_dispatch_pending(display_);
    }
    wl_display_flush(display_);
    pollfd ready{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0) {
      wl_display_read_events(display_);
    } else {
      wl_display_cancel_read(display_);
    }
    wl_display_dispatch_pending(display_);
  }

  static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t version) {
    auto* self = static_cast<WaylandKeymap*>(data);
    if (self->seat_ == nullptr && std::string_view(interface) == wl_seat_interface.name) {
      self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface,
                                                           std::min<std::uint32_t>(version, 5)));
      wl_seat_add_listener(self->seat_, &kSeat, self);
    }
  }
  static void capabilities(void* data, wl_seat* seat, std::uint32_t caps) {
    auto* self = static_cast<WaylandKeymap*>(data);
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && self->keyboard_ == nullptr) {
      self->keyboard_ = wl_seat_get_keyboard(seat);
      wl_keyboard_add_listener(self->keyboard_, &kKeyboard, self);
    }
  }
  static void keymap(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
    auto* self = static_cast<WaylandKeymap*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
      void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (text != MAP_FAILED) {
        // The text ends with a NUL, which the size counts.
        const char* begin = static_cast<const char*>(text);
        if (auto layout = KeyLayout::fromText(std::string(begin, strnlen(begin, size)))) {
          self->layout_ = std::move(layout);
        }
        ::munmap(text, size);
      }
    }
    ::close(fd);
  }

  static void globalRemove(void*, wl_registry*, std::uint32_t) {}
  static void seatName(void*, wl_seat*, const char*) {}
  static void enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
  static void leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
  static void key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
  }
  static void modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                        std::uint32_t, std::uint32_t) {}
  static void repeat(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

  static constexpr wl_registry_listener kRegistry{global, globalRemove};
  static constexpr wl_seat_listener kSeat{capabilities, seatName};
  static constexpr wl_keyboard_listener kKeyboard{keymap, enter, leave, key, modifiers, repeat};

  wl_display* display_;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  std::unique_ptr<KeyLayout> layout_;
};

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
  if (platform.startsWith(QLatin1String("wayland"))) {
    static WaylandKeymap* compositor = new WaylandKeymap; // lives as long as the process
    for (bool wait : {false, true}) {
      const KeyLayout* layout = compositor->layout(wait);
      if (layout != nullptr && layout->labels(keyCode, keySymbol, labels)) {
        return true;
      }
    }
  }
  return false;
}

} // namespace windows
