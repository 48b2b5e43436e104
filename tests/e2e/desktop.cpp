#include "desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

pid_t spawnProcess(const std::vector<std::string>& argv, const std::string& log) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      ::close(fd);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
      args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::_Exit(127);
  }
  return pid;
}

void stopProcess(pid_t& pid) {
  if (pid > 0) {
    ::kill(-pid, SIGTERM);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
  }
}

bool onPath(const char* program) {
  std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

void sanitizerOptionsForTheProgram() {
  // libxkbcommon hands strndup a keymap name that is not NUL-terminated, which is
  // allowed; the strict string check would stop the program inside X's libraries.
  static const std::string asan =
      std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
  if (!asan.empty()) {
    ::setenv("ASAN_OPTIONS", (asan + ":strict_string_checks=0").c_str(), 1);
    ::setenv("LSAN_OPTIONS", "suppressions=" LUMICURVE_LSAN_SUPPRESSIONS, 1);
  }
}

Desktop::~Desktop() {
  stopProcess(manager_);
  stopProcess(xvfb_);
  if (!shotPath_.empty()) {
    ::unlink(shotPath_.c_str());
  }
}

bool Desktop::start(std::string& why, bool windowManager) {
  for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "import"}) {
    if (!onPath(tool)) {
      why = std::string(tool) + " is not installed";
      return false;
    }
  }
  for (int n = 91; n < 120; ++n) {
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    if (::access(lock.c_str(), F_OK) == 0) {
      continue;
    }
    display_ = ":" + std::to_string(n);
    // -noreset: a server resets when its last client leaves, and refuses the
    // program that connects meanwhile; without a window manager the check below
    // is that last client.
    xvfb_ = spawnProcess(
        {"Xvfb", display_, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
        "/dev/null");
    ::setenv("DISPLAY", display_.c_str(), 1);
    if (waitFor([] { return std::system("xdotool getdisplaygeometry >/dev/null 2>&1") == 0; },
                5000)) {
      break;
    }
    stopProcess(xvfb_);
  }
  if (xvfb_ < 0) {
    why = "no X server could be started (Xvfb failed on displays :91 to :119)";
    return false;
  }
  if (windowManager && onPath("openbox")) {
    manager_ = spawnProcess({"openbox", "--sm-disable"}, "/dev/null");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  shotPath_ = "/tmp/lumicurve-e2e-" + std::to_string(::getpid()) + ".png";
  return true;
}

pid_t Desktop::launch(const std::string& program, const std::string& log,
                      const std::vector<std::string>& arguments) {
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  sanitizerOptionsForTheProgram();
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return spawnProcess(argv, log);
}

int Desktop::waitForExit(pid_t pid, int milliseconds) {
  int status = 0;
  const bool ended = waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, milliseconds);
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Desktop::run(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) {
      out.append(buffer, n);
    }
    ::pclose(p);
  }
  return out;
}

std::vector<std::string> Desktop::windows(const std::string& name) {
  std::istringstream in(run("xdotool search --onlyvisible --name '^" + name + "$' 2>/dev/null"));
  std::vector<std::string> ids;
  for (std::string id; in >> id;) {
    ids.push_back(id);
  }
  return ids;
}

Rect Desktop::geometry(const std::string& window) {
  std::istringstream in(run("xwininfo -id " + window));
  Rect r;
  for (std::string line; std::getline(in, line);) {
    auto value = [&](const char* key, int& field) {
      auto at = line.find(key);
      if (at != std::string::npos) {
        field = std::atoi(line.c_str() + at + std::string(key).size());
      }
    };
    value("Absolute upper-left X:", r.x);
    value("Absolute upper-left Y:", r.y);
    value("Width:", r.width);
    value("Height:", r.height);
  }
  return r;
}

Screenshot Desktop::screenshot(const std::string& savePath) {
  Screenshot s;
  run("import -window root -depth 8 png24:" + shotPath_ + " 2>/dev/null");
  readPng(shotPath_.c_str(), s.pixels, s.width, s.height);
  if (!savePath.empty()) {
    run("cp " + shotPath_ + " '" + savePath + "'");
  }
  return s;
}

bool Desktop::waitFor(const std::function<bool()>& condition, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}
