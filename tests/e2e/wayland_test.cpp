// The real program as a native client of a real Wayland compositor (sway, headless,
// run by an unprivileged user of the test's own, since it refuses root): the
// dialog first, Enter, the picture, keys typed by wtype with a keymap of its own,
// screenshots by grim.

#include "desktop.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kFrame = 0x007800;
constexpr const char* kUser = "lumicurve-e2e";

std::string readAll(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class Sway {
public:
  ~Sway() {
    stopProcess(app_);
    stopProcess(sway_);
    std::error_code ignored;
    for (const std::string& dir : {swayDir_, clientDir_}) {
      if (!dir.empty()) {
        std::filesystem::remove_all(dir, ignored);
      }
    }
  }

  // Starts sway on a headless output of 1280 x 1024; false with the reason when
  // it cannot run here.
  bool start(std::string& why) {
    for (const char* tool : {"sway", "swaymsg", "wtype", "grim", "setpriv"}) {
      if (!onPath(tool)) {
        why = std::string(tool) + " is not installed";
        return false;
      }
    }
    std::vector<std::string> asUser;
    if (::getuid() == 0) {
      if (::getpwnam(kUser) == nullptr &&
          std::system((std::string("useradd --system --no-create-home --shell /usr/sbin/nologin ") +
                       kUser + " >/dev/null 2>&1")
                          .c_str()) != 0) {
        why = std::string("no user ") + kUser + " to run sway as";
        return false;
      }
      asUser = {"setpriv", std::string("--reuid=") + kUser, std::string("--regid=") + kUser,
                "--clear-groups"};
    }
    swayDir_ = makeFolder("lumicurve-sway-");
    clientDir_ = makeFolder("lumicurve-client-");
    if (const passwd* user = ::getpwnam(kUser); user != nullptr && ::getuid() == 0) {
      if (::chown(swayDir_.c_str(), user->pw_uid, user->pw_gid) != 0) {
        why = "cannot hand the runtime folder to " + std::string(kUser);
        return false;
      }
    }
    const std::string config = swayDir_ + "/config";
    std::ofstream(config)
        << "output HEADLESS-1 resolution 1280x1024 position 0,0\n"
           "default_border none\ndefault_floating_border none\n"
           "for_window [title=\"^Lumicurve$\"] floating enable, move position 0 0\n";
    ::chmod(config.c_str(), 0644);
    std::vector<std::string> argv = asUser;
    for (const std::string& a :
         {std::string("env"), std::string("-i"), "XDG_RUNTIME_DIR=" + swayDir_, "HOME=" + swayDir_,
          std::string("WLR_BACKENDS=headless"), std::string("WLR_LIBINPUT_NO_DEVICES=1"),
          std::string("WLR_RENDERER=pixman"), std::string("sway"), std::string("-c"), config}) {
      argv.push_back(a);
    }
    sway_ = spawnProcess(argv, swayDir_ + "/sway.log");
    const bool up = Desktop::waitFor(
        [&] {
          for (const auto& entry : std::filesystem::directory_iterator(swayDir_)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("wayland-", 0) == 0 && name.find(".lock") == std::string::npos) {
              socket_ = entry.path().string();
            } else if (name.rfind("sway-ipc", 0) == 0) {
              ipc_ = entry.path().string();
            }
          }
          return !socket_.empty() && !ipc_.empty();
        },
        10000);
    if (!up) {
      why = "sway did not start: " + readAll(swayDir_ + "/sway.log").substr(0, 400);
      return false;
    }
    // The program, wtype and grim as clients; Qt's platform is not chosen for it.
    ::setenv("WAYLAND_DISPLAY", socket_.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", clientDir_.c_str(), 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    return true;
  }

  void launch(const std::string& program, const std::string& log) {
    sanitizerOptionsForTheProgram();
    // Qt's EGL integration starts Mesa here, whose driver is unloaded before the
    // leak check; only a stack unwound at each allocation reaches a library that
    // is still loaded, for lsan.supp to name.
    const std::string asan =
        std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
    if (!asan.empty() && asan.find("fast_unwind_on_malloc") == std::string::npos) {
      ::setenv("ASAN_OPTIONS", (asan + ":fast_unwind_on_malloc=0").c_str(), 1);
    }
    app_ = spawnProcess({program}, log);
  }
  int waitForExit(int milliseconds) {
    Desktop desktop; // its waiting only
    const int status = desktop.waitForExit(app_, milliseconds);
    app_ = -1;
    return status;
  }

  std::string run(const std::string& command) const {
    Desktop desktop;
    return desktop.run(command);
  }
  std::string tree() const { return run("swaymsg -s '" + ipc_ + "' -t get_tree 2>/dev/null"); }
  bool shows(const std::string& title) const {
    return tree().find("\"name\": \"" + title + "\"") != std::string::npos;
  }
  // A key typed by a virtual keyboard that comes and goes; the pause lets the
  // program's keyboard come first.
  void type(const std::string& key) const { run("wtype -s 400 -k " + key + " 2>&1"); }
  void swaymsg(const std::string& command) const {
    run("swaymsg -s '" + ipc_ + "' '" + command + "' >/dev/null 2>&1");
  }

  Screenshot screenshot(const std::string& savePath = "") const {
    Screenshot s;
    const std::string shot = clientDir_ + "/shot.png";
    run("grim '" + shot + "' 2>/dev/null");
    readPng(shot.c_str(), s.pixels, s.width, s.height);
    if (!savePath.empty()) {
      run("cp '" + shot + "' '" + savePath + "'");
    }
    return s;
  }

private:
  static std::string makeFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "XXXXXX";
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }

  pid_t sway_ = -1;
  pid_t app_ = -1;
  std::string swayDir_, clientDir_, socket_, ipc_;
};

std::string logPath(const char* name) {
  const char* folder = std::getenv("LUMICURVE_TEST_OUTPUT");
  const std::string dir = folder != nullptr ? folder : "/tmp";
  std::filesystem::create_directories(dir);
  return dir + "/" + name;
}

// The main window lies at the output's top left: the picture, then the status bar.
bool axesAt(const Screenshot& s, int x, int y) {
  return s.at(x, 100) == kBlack && s.at(x, 700) == kBlack && s.at(100, y) == kBlack &&
         s.at(x + 7, 100) == kWhite;
}
bool markAt(const Screenshot& s, int x, int axisY) {
  return s.at(x, axisY - 3) == kBlack && s.at(x - 1, axisY - 3) == kWhite &&
         s.at(x + 1, axisY - 3) == kWhite;
}

TEST(Wayland, TheProgramRunsNativelyAndTakesKeysFromAVirtualKeyboard) {
  Sway sway;
  std::string why;
  if (!sway.start(why)) {
    GTEST_SKIP() << why;
  }
  const std::string log = logPath("e2e-wayland-lumicurve.log");
  std::filesystem::remove(log);
  sway.launch(LUMICURVE_PROGRAM, log);
  const bool dialog = Desktop::waitFor([&] { return sway.shows("Option"); }, 15000);
  if (!dialog && readAll(log).find("\"wayland\"") != std::string::npos) {
    GTEST_SKIP() << "Qt's Wayland platform is not installed: " << readAll(log).substr(0, 300);
  }
  ASSERT_TRUE(dialog) << "no dialog titled Option: " << readAll(log);
  EXPECT_FALSE(sway.shows("Lumicurve")) << "the main window came before the dialog";

  sway.type("Return");
  ASSERT_TRUE(Desktop::waitFor([&] { return sway.shows("Lumicurve"); }, 5000))
      << "Enter did not apply the dialog";
  Screenshot s;
  auto until = [&](const std::function<bool(const Screenshot&)>& shown) {
    return Desktop::waitFor(
        [&] {
          s = sway.screenshot();
          return shown(s);
        },
        5000);
  };
  ASSERT_TRUE(until([](const Screenshot& p) { return axesAt(p, 300, 300); }))
      << "no axes crossing at (300, 300); the screen is in " << logPath("e2e-wayland.png")
      << (sway.screenshot(logPath("e2e-wayland.png")), "");
  EXPECT_EQ(s.at(0, 400), kFrame);
  EXPECT_EQ(s.at(1023, 400), kFrame);
  // The status line: dark text on the bar below the picture.
  auto statusShown = [](const Screenshot& p) {
    int dark = 0;
    for (int x = 0; x < 1024; ++x) {
      for (int y = 770; y < 786; ++y) {
        dark += (p.at(x, y) & 0xFF) < 80 ? 1 : 0;
      }
    }
    return dark > 200;
  };
  EXPECT_TRUE(statusShown(s)) << "no status line";

  // wtype numbers its keys from 1: a key's place says nothing, its symbol all.
  sway.type("Right");
  EXPECT_TRUE(until([](const Screenshot& p) { return axesAt(p, 350, 300); }))
      << "the right arrow did not move the axis";
  ASSERT_TRUE(markAt(s, 370, 300));
  sway.type("KP_Add");
  EXPECT_TRUE(until([](const Screenshot& p) { return markAt(p, 373, 300) && markAt(p, 396, 300); }))
      << "keypad + did not spread the marks";
  // Q shifts the X range by one: the leftmost mark, at X's start, moves a unit right.
  ASSERT_TRUE(markAt(s, 350 - 10 * 23, 300));
  sway.type("q");
  EXPECT_TRUE(until([](const Screenshot& p) {
    return markAt(p, 350 - 9 * 23, 300) && !markAt(p, 350 - 10 * 23, 300);
  })) << "Q (us) did not shift the X range";
  sway.type("Cyrillic_shorti"); // the key of Q on the Russian layout
  EXPECT_TRUE(until([](const Screenshot& p) {
    return markAt(p, 350 - 8 * 23, 300) && !markAt(p, 350 - 9 * 23, 300);
  })) << "Q (ru) did not shift the X range";
  EXPECT_TRUE(statusShown(s));
  if (const char* docs = std::getenv("LUMICURVE_DOCS_DIR")) {
    sway.screenshot(std::string(docs) + "/wayland.png");
  }

  sway.swaymsg("[title=\"^Lumicurve$\"] kill");
  EXPECT_EQ(sway.waitForExit(5000), 0);
  const std::string output = readAll(log);
  EXPECT_EQ(output, "") << "Qt's warnings (a cursor it cannot show said so at every setting)";
}

} // namespace
