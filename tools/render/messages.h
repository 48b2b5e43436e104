#pragma once
// lumicurve-render's messages: one line each on standard error,
// "lumicurve-render: FILE: what went wrong", in UTF-8.

#include <string>

// A file's name as a message shows it: as given, '' when empty, and in $'...'
// with escapes when it holds a control character (a line break among them).
std::string shownName(const char* name);

// Writes "lumicurve-render: FILE: WHAT" (without "FILE: " when file is null) and
// ends the tool with status 1.
[[noreturn]] void fail(const char* file, const std::string& what);

// The program's own text (code page 1251, as a message box would show it) as one
// line of UTF-8: each line break a blank, the blanks that close it dropped.
std::string oneLine(const char* text);

// Apply's message boxes become lines naming the settings file (null: the defaults).
void reportProgramMessagesOf(const char* settingsName);
