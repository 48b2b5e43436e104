#pragma once
// A desktop of the test's own: an Xvfb server with a window manager, the program
// started on it, xdotool for the keyboard and mouse, and screenshots read back
// as pixels.

#include "surface/png_file.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct Screenshot {
  std::vector<std::uint32_t> pixels; // 0x00RRGGBB
  int width = 0;
  int height = 0;
  std::uint32_t at(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height
               ? pixels[static_cast<std::size_t>(y) * width + x]
               : 0xFFFFFFFFu;
  }
};

// A process in a group of its own, its output appended to log; and its end.
pid_t spawnProcess(const std::vector<std::string>& argv, const std::string& log);
void stopProcess(pid_t& pid);
bool onPath(const char* program);
// The sanitizers' options for the program under a window system's libraries.
void sanitizerOptionsForTheProgram();

class Desktop {
public:
  Desktop() = default;
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // Starts Xvfb (1280 x 1024, 24 bits) and, if asked and installed, a window
  // manager; false with the reason when no X server can be started here.
  bool start(std::string& why, bool windowManager = true);

  // Starts a program with arguments on the desktop, its output into log.
  pid_t launch(const std::string& program, const std::string& log,
               const std::vector<std::string>& arguments = {});
  // Waits for the process to end; its exit status, or -1 on a timeout or a signal.
  int waitForExit(pid_t pid, int milliseconds);

  // Runs a shell command on the desktop; its standard output.
  std::string run(const std::string& command);
  // The visible windows whose title is exactly name.
  std::vector<std::string> windows(const std::string& name);
  Rect geometry(const std::string& window);
  Screenshot screenshot(const std::string& savePath = "");

  static bool waitFor(const std::function<bool()>& condition, int milliseconds);

private:
  pid_t xvfb_ = -1;
  pid_t manager_ = -1;
  std::string display_;
  std::string shotPath_;
};
