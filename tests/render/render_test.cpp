// The command-line renderer end to end: settings file in, picture out.

#include "expr/cp1251.h"
#include "render_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST_F(Render, DefaultSettingsDrawTheParabola) {
  Outcome r = run(path("default.png"));
  ASSERT_EQ(r.status, 0) << r.err;
  Picture p = picture(path("default.png"));
  ASSERT_EQ(p.width, 1024);
  ASSERT_EQ(p.height, 768);
  EXPECT_EQ(p.at(600, 300), kBlack); // horizontal axis
  EXPECT_EQ(p.at(300, 600), kBlack); // vertical axis
  EXPECT_EQ(p.at(0, 0), kGreen);     // frame
  EXPECT_EQ(p.at(1023, 767), kGreen);
  // y = x^2 + x + 1: its vertex (-0.5, 0.75) at about (290, 285), through (1, 3) at (320, 240).
  EXPECT_GT(p.count(kRed, 288, 283, 293, 288), 0);
  EXPECT_GT(p.count(kRed, 318, 238, 323, 243), 0);
  EXPECT_EQ(p.count(kRed, 0, 301, 1024, 768), 0);
}

TEST_F(Render, EachKindDrawsItsGraph) {
  struct Case {
    int kind;
    int x, y;   // a pixel that must be red
    int wx, wy; // a pixel that must stay white
  } cases[] = {
      {1, 360, 240, 600, 600}, // the default curve passes through (3, 3)
      {2, 310, 290, 330, 270}, // inside the unit disc
      {3, 315, 287, 310, 290}, // on the unit circle near 45 degrees
      {4, 330, 270, 310, 290}, // outside the disc
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    std::string file = settings("kind.ini", {{2, std::to_string(c.kind)}});
    std::string out = path("kind" + std::to_string(c.kind) + ".png");
    Outcome r = run(file + " " + out);
    ASSERT_EQ(r.status, 0) << r.err;
    Picture p = picture(out);
    EXPECT_GT(p.count(kRed, c.x - 2, c.y - 2, c.x + 3, c.y + 3), 0);
    EXPECT_EQ(p.at(c.wx, c.wy), kWhite);
    EXPECT_EQ(p.at(0, 0), kGreen);
  }
}

TEST_F(Render, KindOutsideTheTableDrawsAxesOnly) {
  std::string out = path("none.png");
  Outcome r = run(settings("kind9.ini", {{2, "9"}}) + " " + out);
  ASSERT_EQ(r.status, 0) << r.err;
  Picture p = picture(out);
  EXPECT_EQ(p.count(kRed, 0, 0, 1024, 768), 0);
  EXPECT_EQ(p.at(600, 300), kBlack);
}

TEST_F(Render, ErrorsExitWithTheMessageAndWriteNothing) {
  struct Case {
    const char* name;
    std::string args;
    std::string message; // UTF-8, a part of standard error
  } cases[] = {
      {"broken formula", settings("broken.ini", {{20, "x y"}}) + " " + path("out.png"),
       "ошибка: не могу найти оператор"},
      {"refused accuracy", settings("zero.ini", {{15, "0"}}) + " " + path("out.png"),
       "ошибка: не верно задана точность Accuracy : 0"},
      {"a number the program cannot use",
       settings("abc.ini", {{16, "abc"}}) + " " + path("out.png"),
       "ошибка: не верно записано число Pixels : abc"},
      {"foreign file", settings("foreign.ini", {{1, "[section]"}}) + " " + path("out.png"),
       "не является оригинальным файлом программы Lumicurve"},
      {"missing settings file", path("nothing.ini") + " " + path("out.png"),
       "этот фаил : " + path("nothing.ini")},
      {"output folder missing", path("no/such/dir/out.png"), "Фаил не сохранен : "},
      {"no arguments", "", "usage: lumicurve-render"},
      {"too many arguments", "a b c", "usage: lumicurve-render"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome r = run(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path("out.png")));
  }
}

TEST_F(Render, HelpExplainsTheTool) {
  std::string command = std::string(LUMICURVE_RENDER) + " --help > " + path("help.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(path("help.txt"));
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("SETTINGS.ini"), std::string::npos);
}

} // namespace
