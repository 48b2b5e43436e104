#pragma once
// Helpers for the settings tests: captured message boxes and a scratch folder.

#include "window_calls/window_calls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct ShownMessage {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

// Records every message box instead of showing it, answering OK; one at a time.
struct MessageBoxes {
  std::vector<ShownMessage> shown;
  MessageBoxes() {
    current() = this;
    WindowSurfaceHooks hooks;
    hooks.messageBox = [](HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
      current()->shown.push_back({owner, text, caption, type});
      return IDOK;
    };
    SetWindowSurfaceHooks(hooks);
  }
  ~MessageBoxes() {
    SetWindowSurfaceHooks(WindowSurfaceHooks{});
    current() = nullptr;
  }
  static MessageBoxes*& current() {
    static MessageBoxes* instance = nullptr;
    return instance;
  }
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;
};

// A fresh folder removed with everything in it at the end of the test.
struct ScratchFolder {
  std::filesystem::path path;
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumicurve-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      out.push_back(entry.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
};

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}
