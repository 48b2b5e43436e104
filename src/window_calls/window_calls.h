#pragma once
// The window system as the layers below the window services see it: a window's
// device context (the progress text), a message to a window (the status line), a
// message box, and the file dialog's record that the settings record holds. The
// calls are served through hooks that the window services install; with no
// window system a device context is null, a message does nothing and a message
// box writes its caption and text to standard error.

#include "surface/surface.h"

#include <cstdint>

using WORD = std::uint16_t;
using LPSTR = char*;
using LPCSTR = const char*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr int IDOK = 1;

// The calls below, as the window services serve them.
struct WindowSurfaceHooks {
  HDC (*getDC)(HWND) = nullptr;
  int (*releaseDC)(HWND, HDC) = nullptr;
  LRESULT (*sendMessage)(HWND, UINT, WPARAM, LPARAM) = nullptr;
  int (*messageBox)(HWND, LPCSTR, LPCSTR, UINT) = nullptr;
};
// May be called while other threads draw or ask for DCs.
void SetWindowSurfaceHooks(const WindowSurfaceHooks& hooks);
WindowSurfaceHooks GetWindowSurfaceHooks();

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Texts are code page 1251; returns the button pressed.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// A message box where no window can show one: "caption: text" in UTF-8 on
// standard error; IDOK.
int WriteMessageBox(LPCSTR text, LPCSTR caption);

using LPOFNHOOKPROC = std::uintptr_t (*)(HWND, UINT, WPARAM, LPARAM);

// The file dialog's record, member for member as on Windows.
struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPSTR lpstrFile;
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};

// The size of the older, shorter layout of the record (without its last three members).
inline constexpr DWORD OPENFILENAME_SIZE_VERSION_400A = 76;
