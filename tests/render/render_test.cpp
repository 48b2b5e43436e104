// The command-line renderer end to end: settings file in, picture out.

#include "../write_cases.h"
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

TEST_F(Render, ErrorsExitWithOneLineAndWriteNothing) {
  const std::string out = path("out.png");
  const std::string broken = settings("broken.ini", {{20, "x y"}});
  const std::string zero = settings("zero.ini", {{15, "0"}});
  const std::string abc = settings("abc.ini", {{16, "abc"}});
  const std::string foreign = settings("foreign.ini", {{1, "[section]"}});
  const std::string usage =
      "expected [SETTINGS.ini] OUTPUT.png|.svg|.pdf; see lumicurve-render --help";
  fs::create_directories(path("folder.ini"));
  const std::string badSize =
      ": not a picture size; give WIDTHxHEIGHT in pixels, each side at least 64 and 268435456 "
      "pixels at most";
  const std::string badScale = ": not a scale; give a number from 1 to 8, such as 2 or 1.5";
  const std::pair<std::string, std::string> cases[] = {
      // the arguments, and what follows "lumicurve-render: " (UTF-8)
      {broken + " " + out, broken + ": не могу найти оператор"},
      {zero + " " + out, zero + ": не верно задана точность Accuracy : \"0\""},
      {abc + " " + out, abc + ": не верно записано число Pixels : \"abc\""},
      {foreign + " " + out, foreign + ": этот фаил : " + foreign +
                                " - не является оригинальным файлом программы Lumicurve"},
      {path("nothing.ini") + " " + out, path("nothing.ini") + ": No such file or directory"},
      {path("folder.ini") + " " + out, path("folder.ini") + ": Is a directory"},
      {path("no/such/dir/out.png"),
       path("no/such/dir/out.png") + ": No such file or directory; nothing was written"},
      {"", usage},
      {"a b c", usage},
      {"--frobnicate " + out, "--frobnicate: unknown option; see lumicurve-render --help"},
      {"-- --version",
       "--version: cannot tell the format from the name; it must end in .png, .svg or .pdf"},
      {"--size 63x768 " + out, "63x768" + badSize},
      {"--size 1024x63 " + out, "1024x63" + badSize},
      {"--size=16385x16385 " + out, "16385x16385" + badSize},
      {"--size 1024 " + out, "1024" + badSize},
      {"--size 1024x768x2 " + out, "1024x768x2" + badSize},
      {"--size -1024x768 " + out, "-1024x768" + badSize},
      {"--size 99999999999x1 " + out, "99999999999x1" + badSize},
      {"--scale 0.5 " + out, "0.5" + badScale},
      {"--scale=8.5 " + out, "8.5" + badScale},
      {"--scale 2x " + out, "2x" + badScale},
      {"--scale .5 " + out, ".5" + badScale},
      {"--scale 2. " + out, "2." + badScale},
      {"--size 16384x16384 --scale 2 " + out,
       "2: the picture at this scale would be larger than 268435456 pixels"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    Outcome r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "lumicurve-render: " + message + "\n");
    EXPECT_FALSE(fs::exists(path("out.png")));
  }
}

TEST_F(Render, WritesOverFilesAsTheUserMay) {
  SKIP_UNLESS_ROOT();
  const std::string asUser = "setpriv --reuid=5555 --regid=5555 --groups=1234 ";
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.name);
    const WriteScene scene(c, ".png");
    const Outcome r = run(scene.written, asUser);
    EXPECT_EQ(r.status, c.replaced ? 0 : 1) << r.err;
    EXPECT_EQ(r.err, c.replaced
                         ? ""
                         : "lumicurve-render: " + scene.written.string() + ": Permission denied\n");
    scene.check("\x89PNG");
  }
  const std::string secret = settings("secret.ini", {});
  ::chmod(secret.c_str(), 0600);
  EXPECT_EQ(run(secret + " " + path("out.png"), asUser).err,
            "lumicurve-render: " + secret + ": Permission denied\n");
}

TEST_F(Render, AFailedWriteSaysWhatBecameOfTheFile) {
  // Names in the folder before: none, the file, the file and a second name (which
  // makes it be rewritten in place). A file-size limit fails the write as a full disk would.
  const std::string reasons[] = {"nothing was written", "the file is unchanged",
                                 "the file was being rewritten in place and may be incomplete"};
  for (int names = 0; names < 3; ++names) {
    SCOPED_TRACE(reasons[names]);
    const fs::path folder = dir / std::to_string(names);
    fs::create_directory(folder);
    const std::string out = (folder / "out.png").string();
    if (names > 0) {
      std::ofstream(out) << "old\n";
    }
    if (names > 1) {
      fs::create_hard_link(out, folder / "second.png");
    }
    const Outcome r = run(out, "prlimit --fsize=1000 ");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "lumicurve-render: " + out + ": File too large; " + reasons[names] + "\n");
    EXPECT_EQ(names == 1 ? fileBytes(out) : "old\n", "old\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), names); // no temporary left
  }
}

TEST_F(Render, ALargerPictureShowsMoreOfThePlaneAtTheSameScale) {
  // y = 1 over a long X range: a red line along row 280 as far as the picture goes.
  const std::string line = settings("line.ini", {{6, "1000"}, {11, "0"}, {12, "0"}});
  ASSERT_EQ(run(line + " " + path("default.png")).status, 0);
  const Picture small = picture(path("default.png"));
  ASSERT_EQ(run("--size 1024x768 " + line + " " + path("same.png")).status, 0);
  EXPECT_EQ(fileBytes(path("same.png")), fileBytes(path("default.png")));
  struct Size {
    int width, height;
  };
  for (Size size : {Size{1400, 1000}, Size{1920, 1080}}) {
    const std::string name = std::to_string(size.width) + "x" + std::to_string(size.height);
    SCOPED_TRACE(name);
    Outcome r = run("--size " + name + " " + line + " " + path(name + ".png") + " && " +
                    LUMICURVE_RENDER + " --size=" + name + " " + line + " " + path(name + ".svg"));
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture p = picture(path(name + ".png"));
    ASSERT_EQ(p.width, size.width);
    ASSERT_EQ(p.height, size.height);
    const int right = size.width - 1, bottom = size.height - 1;
    EXPECT_EQ(p.at(right, 100), kGreen);
    EXPECT_EQ(p.at(100, bottom), kGreen);
    EXPECT_EQ(p.at(right - 2, 300), kBlack);
    EXPECT_EQ(p.at(300, bottom - 2), kBlack);
    EXPECT_EQ(p.at(right - 2, 280), kRed);
    int differing = 0; // only the default picture's frame may differ
    for (int y = 0; y < 767; ++y) {
      for (int x = 0; x < 1023; ++x) {
        differing += p.at(x, y) != small.at(x, y) ? 1 : 0;
      }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_NE(fileBytes(path(name + ".svg"))
                  .find("width=\"" + std::to_string(size.width) + "\" height=\"" +
                        std::to_string(size.height)),
              std::string::npos);
  }
}

// --scale N: the same picture at N times the pixels, the plot's geometry kept.
TEST_F(Render, AScaleDrawsTheSamePictureAtItsDevicePixels) {
  ASSERT_EQ(run(path("one.png")).status, 0);
  ASSERT_EQ(run("--scale 1 " + path("scale1.png")).status, 0);
  EXPECT_EQ(fileBytes(path("scale1.png")), fileBytes(path("one.png"))) << "scale 1 is today's";
  struct Case {
    const char* scale;
    int width, height, pen, axisRow; // the first device row of the axis at 300
  } cases[] = {{"2", 2048, 1536, 2, 600}, {"1.5", 1536, 1152, 2, 450}, {"1.25", 1280, 960, 1, 375}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    const std::string name = path(std::string("scale") + c.scale + ".png");
    Outcome r = run(std::string("--scale=") + c.scale + " " + name);
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture p = picture(name);
    ASSERT_EQ(p.width, c.width);
    ASSERT_EQ(p.height, c.height);
    for (int i = 0; i < c.pen; ++i) {
      EXPECT_EQ(p.at(i, c.height / 3), kGreen) << "the frame, one pen wide";
      EXPECT_EQ(p.at(c.width - 1 - i, c.height / 3), kGreen);
      EXPECT_EQ(p.at(c.width / 3, c.height - 1 - i), kGreen);
      EXPECT_EQ(p.at(c.width - 10, c.axisRow + i), kBlack) << "the horizontal axis";
    }
    EXPECT_EQ(p.at(c.width / 3, c.pen), kWhite);
    EXPECT_EQ(p.at(c.width - 10, c.axisRow - 1), kWhite);
    EXPECT_EQ(p.at(c.width - 10, c.axisRow + c.pen), kWhite);
  }
}

} // namespace
