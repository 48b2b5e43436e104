#pragma once
// Window services: the windows, messages, dialogs and threads the system is
// written against, with the Windows names, handle types, constants and argument
// orders. They run on Qt Widgets; no Qt type appears in this header.
//
// Without a QApplication a message box writes "caption: text" in UTF-8 to
// standard error and returns IDOK, and the file dialog reports that no file was
// chosen. Tests observe and answer both through DialogHooks.

#include "window_calls/window_calls.h"

#include <cstddef>
#include <cstdint>
#include <functional>

using ATOM = WORD;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using HANDLE = void*;

struct HMENU__;
using HMENU = HMENU__*;
// Icons and cursors are small tokens, so that a class cursor fits SetClassLongA.
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using LPTHREAD_START_ROUTINE = DWORD (*)(void*);

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
};

struct CREATESTRUCTA {
  void* lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};

// --- constants ----------------------------------------------------------------

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_CANCELMODE = 0x001F;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_USER = 0x0400;

// The button and key state of a mouse message's wParam.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// Virtual-key codes of WM_KEYDOWN's wParam; a letter's code is its capital.
inline constexpr WPARAM VK_ESCAPE = 0x1B;
inline constexpr WPARAM VK_LEFT = 0x25;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_RIGHT = 0x27;
inline constexpr WPARAM VK_DOWN = 0x28;
inline constexpr WPARAM VK_NUMPAD0 = 0x60;
inline constexpr WPARAM VK_NUMPAD1 = 0x61;
inline constexpr WPARAM VK_NUMPAD2 = 0x62;
inline constexpr WPARAM VK_NUMPAD3 = 0x63;
inline constexpr WPARAM VK_NUMPAD4 = 0x64;
inline constexpr WPARAM VK_NUMPAD5 = 0x65;
inline constexpr WPARAM VK_NUMPAD6 = 0x66;
inline constexpr WPARAM VK_NUMPAD7 = 0x67;
inline constexpr WPARAM VK_NUMPAD8 = 0x68;
inline constexpr WPARAM VK_NUMPAD9 = 0x69;
inline constexpr WPARAM VK_ADD = 0x6B;
inline constexpr WPARAM VK_SUBTRACT = 0x6D;
inline constexpr WPARAM VK_F1 = 0x70;

inline constexpr UINT SB_SETTEXTA = WM_USER + 1;
inline constexpr WPARAM SB_SIMPLEID = 255;

inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;

inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr int CW_USEDEFAULT = INT32_MIN;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWDEFAULT = 10;

inline constexpr UINT RDW_INVALIDATE = 0x0001;
inline constexpr int GCL_HCURSOR = -12;
inline constexpr WPARAM SIZE_RESTORED = 0;

inline constexpr int IDCANCEL = 2;

inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr WORD BN_CLICKED = 0;
inline constexpr WORD EN_CHANGE = 0x0300;
inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

inline LPSTR MAKEINTRESOURCEA(int id) {
  return reinterpret_cast<LPSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(id)));
}
inline bool IS_INTRESOURCE(LPCSTR name) {
  return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;
}
// The standard arrow, as a resource identifier of the system.
inline const LPCSTR IDC_ARROW = MAKEINTRESOURCEA(32512);

constexpr WORD LOWORD(std::uintptr_t v) {
  return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v) {
  return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high) {
  return static_cast<LPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
  return static_cast<WPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
constexpr int GET_X_LPARAM(LPARAM v) {
  return static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(v)));
}
constexpr int GET_Y_LPARAM(LPARAM v) {
  return static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(v)));
}

// --- windows, classes and the loop -----------------------------------------------

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
// A top-level window: WM_CREATE reaches its procedure before this returns; a
// procedure answering -1 fails the creation. CW_USEDEFAULT for the size gives a
// client area that shows the whole 1024 x 768 picture and the status bar where
// the screen is large enough, else most of the screen.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
BOOL ShowWindow(HWND window, int command);
// Sends WM_DESTROY, then the window and its children are gone.
BOOL DestroyWindow(HWND window);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsWindow(HWND window);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
DWORD SetClassLongA(HWND window, int index, LONG value);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);

void PostQuitMessage(int exitCode);
// Waits in Qt's event loop; 0 for the quit message (its code in wParam).
BOOL GetMessageA(MSG* message, HWND window, UINT first, UINT last);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
// SendMessageA is declared in window_calls/: it runs the receiver's
// procedure before it returns, on the user-interface thread only (0 elsewhere).

// --- painting ---------------------------------------------------------------------

// A device context on the window's client area until EndPaint; the window is valid again.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// Safe from any thread; returns at once; one WM_PAINT follows on the UI thread.
BOOL RedrawWindow(HWND window, const RECT* rect, void* region, UINT flags);
// Nonzero while the window waits for its WM_PAINT; the rectangle is the client area.
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
// GetDC and ReleaseDC are declared in window_calls/. On a window they draw
// into its client area under a lock, from any thread, and show it without a WM_PAINT.

// --- status bar -------------------------------------------------------------------

// Not in Windows: the status bar's height, the rows a parent's paint leaves to it.
inline constexpr int kStatusBarHeight = 20;

// A child along the bottom of its parent, kStatusBarHeight pixels high, showing one
// line. It takes the mouse over it for itself: nothing of it reaches the parent's
// procedure.
HWND CreateStatusWindowA(LONG style, LPCSTR text, HWND parent, UINT id);

// --- dialogs ----------------------------------------------------------------------

// A modal dialog from a template of the program's resources, centred on the
// screen; WM_INITDIALOG reaches the procedure (with initParam) before it shows.
// Clicks send WM_COMMAND with BN_CLICKED and edits EN_CHANGE, each with the
// control's identifier; Enter presses the default button, Escape sends IDCANCEL,
// the close box WM_CLOSE. Returns the result given to EndDialog, or -1 when the
// dialog cannot be built. Each control's widget has its identifier as its
// object name, for tests that drive the dialog with real input.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
// Dialog units to pixels by the dialog font's average character width and height.
BOOL MapDialogRect(HWND dialog, RECT* rect);
HWND GetDlgItem(HWND dialog, int id);
BOOL SetWindowTextA(HWND window, LPCSTR text);
// Stores at most count - 1 characters and a NUL; returns the number stored.
int GetWindowTextA(HWND window, LPSTR buffer, int count);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);

// MessageBoxA, with the file dialog's record OPENFILENAMEA, is declared with the
// calls below the window services: a modal Qt message box, or the test hook.
//
// Every modal window (message box, dialog, file dialog) sends each top-level window
// WM_CANCELMODE as it opens, since the mouse's release now goes to the modal window;
// it takes the keyboard focus when it shows, and on closing gives it back to its
// owner, or else to the window that had it before. A message box is at least as
// wide as its caption needs beside a window manager's title-bar buttons.

// Qt's own file dialog, starting from the folder and name in lpstrFile, with the
// filters of lpstrFilter; without an owner it disables no window. Fills
// lpstrFile with the chosen full path (1251) and returns TRUE; returns FALSE,
// leaving lpstrFile as it was, when nothing was chosen or the path does not fit
// the buffer or code page 1251 (a path must reach the file system unchanged).
// The record's title, flags, initial folder and default extension are not read:
// the dialog shows its default title.
BOOL GetOpenFileNameA(OPENFILENAMEA* dialog);

// --- threads and the process ----------------------------------------------------

// Starts at once; stackSize 0 gives a stack on which the deepest formulas
// evaluate. Null when the thread cannot be created.
HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    void* parameter, DWORD flags, DWORD* threadId);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL CloseHandle(HANDLE object);
void Sleep(DWORD milliseconds);
[[noreturn]] void ExitProcess(UINT exitCode);

// --- test hooks -------------------------------------------------------------------

struct DialogHooks {
  std::function<int(HWND owner, LPCSTR text, LPCSTR caption, UINT type)> messageBox;
  std::function<BOOL(OPENFILENAMEA* dialog)> openFileName;
  // Answers whether CreateThread may create a thread; false makes it fail.
  std::function<bool()> threadCreation;
};
// Replaces the dialogs for tests; an empty hook restores the default behaviour.
void SetDialogHooks(DialogHooks hooks);
