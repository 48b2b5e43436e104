#pragma once
// Runs lumicurve-render as a user would and reads what it wrote.

#include "../default_settings.h"
#include "surface/png_file.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

inline constexpr std::uint32_t kRed = 0xFF0000, kBlack = 0x000000, kGreen = 0x007800,
                               kWhite = 0xFFFFFF;

struct Outcome {
  int status;
  std::string err;
  std::string out;
};

struct Picture {
  std::vector<std::uint32_t> pixels;
  int width = 0, height = 0;
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  int count(std::uint32_t colour, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        n += at(x, y) == colour;
      }
    }
    return n;
  }
};

class Render : public ::testing::Test {
protected:
  fs::path dir;
  void SetUp() override {
    const char* out = std::getenv("LUMICURVE_TEST_OUTPUT");
    dir = fs::path(out != nullptr ? out : "test-output") /
          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }

  // The tool run with args, after a command that sets how it runs (as whom, with what limits).
  Outcome run(const std::string& args, const std::string& how = "") const {
    const std::string errFile = path("stderr.txt");
    const std::string outFile = path("stdout.txt");
    const std::string command = how + std::string(LUMICURVE_RENDER) + " " + args + " 2>" + errFile +
                                " >" + outFile + " </dev/null";
    const int raw = std::system(command.c_str());
    auto read = [](const std::string& file) {
      std::stringstream bytes;
      bytes << std::ifstream(file).rdbuf();
      return bytes.str();
    };
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read(errFile), read(outFile)};
    fs::remove(errFile);
    fs::remove(outFile);
    return outcome;
  }

  // A settings file of the defaults with some lines replaced (line numbers from 1).
  std::string settings(const std::string& name, std::vector<std::pair<int, std::string>> changes) {
    std::vector<std::string> lines = {"Orlenta:Lumicurve", "0"};
    lines.insert(lines.end(), std::begin(kDefaultTexts), std::end(kDefaultTexts));
    for (const auto& [line, text] : changes) {
      lines[static_cast<std::size_t>(line - 1)] = text;
    }
    std::ofstream out(path(name), std::ios::binary);
    for (const auto& l : lines) {
      out << l << "\r\n"; // as the Windows build writes them
    }
    return path(name);
  }

  Picture picture(const std::string& file) const {
    Picture p;
    EXPECT_TRUE(readPng(file.c_str(), p.pixels, p.width, p.height)) << file;
    return p;
  }
};
