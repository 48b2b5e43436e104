// The main of the tests that need a QApplication: Qt's offscreen platform, so that
// real windows and dialogs run without a display, on one screen of 1280 x 1024
// at ratio 1, or as LUMICURVE_TEST_SCREEN says ("WIDTHxHEIGHT@RATIO").

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
  int width = 1280;
  int height = 1024;
  double ratio = 1;
  if (const char* screen = std::getenv("LUMICURVE_TEST_SCREEN")) {
    if (std::sscanf(screen, "%dx%d@%lf", &width, &height, &ratio) != 3) {
      std::fprintf(stderr, "LUMICURVE_TEST_SCREEN: WIDTHxHEIGHT@RATIO, not %s\n", screen);
      return 2;
    }
  }
  // The size is the logical one; the windows' pictures have the ratio's device pixels.
  const std::string config = "/tmp/lumicurve-screen-" + std::to_string(::getpid()) + ".json";
  if (FILE* out = std::fopen(config.c_str(), "w")) {
    std::fprintf(out,
                 "{\"screens\": [{\"name\": \"test\", \"x\": 0, \"y\": 0, \"width\": %d, "
                 "\"height\": %d, \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": %g}]}\n",
                 width, height, ratio);
    std::fclose(out);
  }
  ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
  QApplication app(argc, argv);
  std::remove(config.c_str());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
