#include "messages.h"

#include "expr/cp1251.h"
#include "window_calls/window_calls.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char* reportedSettings = nullptr;

int reportMessage(HWND, LPCSTR text, LPCSTR, UINT) {
  std::string line = "lumicurve-render: ";
  if (reportedSettings != nullptr) {
    line += shownName(reportedSettings) + ": ";
  }
  line += oneLine(text) + "\n";
  std::fputs(line.c_str(), stderr);
  return IDOK;
}

} // namespace

std::string shownName(const char* name) {
  const std::string given(name);
  if (given.empty()) {
    return "''";
  }
  bool control = false;
  for (const char c : given) {
    control = control || static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
  }
  if (!control) {
    return given;
  }
  std::string shown = "$'";
  for (const char c : given) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", byte);
      shown += octal;
    } else {
      if (c == '\'' || c == '\\') {
        shown += '\\';
      }
      shown += c;
    }
  }
  return shown + "'";
}

void fail(const char* file, const std::string& what) {
  const std::string line =
      "lumicurve-render: " + (file != nullptr ? shownName(file) + ": " : "") + what + "\n";
  std::fputs(line.c_str(), stderr);
  std::exit(1);
}

std::string oneLine(const char* text) {
  const std::string utf8 = cp1251::toUtf8(text != nullptr ? text : "");
  std::string line;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' || utf8[i] == '\n') {
      if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
        ++i;
      }
      line += ' ';
    } else {
      line += utf8[i];
    }
  }
  line.erase(line.find_last_not_of(' ') + 1);
  return line;
}

void reportProgramMessagesOf(const char* settingsName) {
  reportedSettings = settingsName;
  WindowSurfaceHooks hooks = GetWindowSurfaceHooks();
  hooks.messageBox = reportMessage;
  SetWindowSurfaceHooks(hooks);
}
