#pragma once
// Window services: the windows, messages and dialogs the system is written
// against, with the Windows names, handle types and argument orders. Qt types
// stay out of this header.
//
// Without a window system (no QApplication: tests and the command-line renderer)
// a message box writes "caption: text" in UTF-8 to standard error and returns
// IDOK, and the file dialog reports that no file was chosen. Tests observe and
// answer both through DialogHooks.

#include "plot/surface.h"

#include <cstdint>
#include <functional>

using WORD = std::uint16_t;
using LPSTR = char*;
using LPCSTR = const char*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

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

// Texts are code page 1251; returns the button pressed.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Fills lpstrFile with the chosen path (1251) and returns TRUE, or returns FALSE.
BOOL GetOpenFileNameA(OPENFILENAMEA* dialog);

struct DialogHooks {
  std::function<int(HWND owner, LPCSTR text, LPCSTR caption, UINT type)> messageBox;
  std::function<BOOL(OPENFILENAMEA* dialog)> openFileName;
};
// Replaces the dialogs for tests; an empty hook restores the default behaviour.
void SetDialogHooks(DialogHooks hooks);
