#pragma once
// What the window services share among their own files: the window record behind
// an HWND, the registry of live windows, the UI thread and the wake-up of the UI
// thread from a worker. Qt types are allowed here: only the services include it.

#include "windows/window_services.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class QCursor;
class QIcon;
struct KeyLabels;

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC procedure = nullptr;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

enum class WindowKind { Top, StatusBar, Dialog, Control };

// Handles stay valid objects while any thread uses them: the registry and every
// user hold shared pointers, so a window destroyed meanwhile is only marked dead.
struct HWND__ {
  WindowKind kind = WindowKind::Top;
  HWND parent = nullptr;
  int id = 0;
  WNDPROC procedure = nullptr;
  std::shared_ptr<WindowClass> windowClass;
  QPointer<QWidget> widget;

  // Set by RedrawWindow from any thread; the next paint dispatches WM_PAINT.
  std::atomic<bool> invalid{true};

  // The client area of a top-level window: a surface bitmap of the client size.
  // Everything that draws on it or reads it holds backingLock.
  std::recursive_mutex backingLock;
  HBITMAP backing = nullptr;
  bool destroyed = false; // under backingLock

  // Anything the kind of window needs beyond this (a dialog's state, say).
  std::shared_ptr<void> extra;
};

namespace windows {

using WindowPtr = std::shared_ptr<HWND__>;

// The registry of live windows; lookups are safe from any thread.
HWND registerWindow(WindowPtr window);
void unregisterWindow(HWND window);
WindowPtr findWindow(HWND window);
// Live windows whose parent is the given one.
std::vector<WindowPtr> childrenOf(HWND parent);

// Called on the UI thread by every service that needs Qt: records the UI thread,
// installs the surface hooks and the wake-up. False without a QApplication.
bool ensureServices();
// Makes the calls of the layers below (window DCs, messages, message boxes) reach
// the services.
void installSurfaceHooks();
// MessageBoxA as the services serve it: the test hook, a modal Qt message box, or
// standard error where no box can show.
int showMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
bool onUiThread();

// Schedules a present of the window's client area, or of the part given; from any
// thread. The parts that other threads draw (a worker's progress text) are shown
// at most once a display frame; a whole window is shown at once.
void requestUpdate(HWND window, const RECT* part = nullptr);

// Runs a window's own message handling (procedure, or the built-in behaviour of a
// status bar or control); on the UI thread only.
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The built-in handling of a kind of window, installed by the file that builds it.
using BuiltinHandler = LRESULT (*)(const WindowPtr&, UINT, WPARAM, LPARAM);
void setBuiltinHandler(WindowKind kind, BuiltinHandler handler);

// Window DCs: a memory DC on the backing, holding backingLock until released;
// present schedules showing the rectangle that was drawn on.
HDC acquireBackingDC(const WindowPtr& window);
void releaseBackingDC(HDC dc, bool present);

// Code page 1251 across the Qt boundary; characters 1251 lacks become '?'.
QString fromText(const char* bytes);
std::string toText(const QString& text);

// What the window system's keymap calls the key that sent the symbol; false where
// no keymap is known (the offscreen platform) or none holds it there.
bool keyLabels(int keyCode, std::uint32_t keySymbol, KeyLabels& labels);

// The cursor drawn for a screen of the given device pixel ratio, its size and
// hot spot in logical pixels.
QCursor cursorOf(HCURSOR cursor, qreal devicePixelRatio = 1.0);
QIcon iconOf(HICON icon);

// Lives as long as a modal window the services open (message box, dialog, file
// dialog). Opening sends every top-level window WM_CANCELMODE; closing hands the
// keyboard focus back to the owner's window, or to the window that had it.
class ModalScope {
public:
  explicit ModalScope(QWidget* owner);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

  // Makes the modal window, just shown, the active one; asked again when it is on
  // screen, since a request made before a window manager has mapped it may be lost.
  static void takeFocus(QWidget& modal);

private:
  QPointer<QWidget> returnTo_;
};

} // namespace windows
