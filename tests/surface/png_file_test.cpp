#include "surface/png_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A fresh folder of the test's own, removed afterwards.
struct Folder {
  fs::path path = fs::temp_directory_path() / ("lumicurve_png_" + std::to_string(getpid()));
  Folder() {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() {
    std::error_code error;
    fs::remove_all(path, error);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), {}));
  }
};

TEST(Png, PicturesSurviveARoundTrip) {
  const std::pair<int, int> sizes[] = {{1, 1}, {7, 5}, {64, 3}};
  Folder folder;
  std::mt19937 random(7);
  for (auto [w, h] : sizes) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; ++i) {
      SetPixel(dc, i % w, i / w, random() & 0xFFFFFF);
    }
    ASSERT_TRUE(writePng(bitmap, (folder / "picture.png").c_str()));
    EXPECT_EQ(folder.entries(), 1u) << "no temporary file is left";
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(readPng((folder / "picture.png").c_str(), pixels, width, height));
    EXPECT_EQ(width * 1000 + height, w * 1000 + h);
    const std::uint32_t* bits = BitmapBits(bitmap, nullptr, nullptr);
    EXPECT_EQ(pixels, std::vector<std::uint32_t>(bits, bits + w * h));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
}

TEST(Png, FailedWritesLeaveNothingBehind) {
  Folder folder;
  HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 4, 4);
  EXPECT_FALSE(writePng(bitmap, (folder / "missing/picture.png").c_str()));
  EXPECT_FALSE(writePng(nullptr, (folder / "null.png").c_str()));
  EXPECT_FALSE(writePng(bitmap, ""));
  EXPECT_EQ(folder.entries(), 0u);
  DeleteObject(bitmap);
}

TEST(Png, ReadingSomethingElseFailsCleanly) {
  Folder folder;
  std::ofstream(folder / "text.png") << "not a picture at all";
  HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 40, 30);
  ASSERT_TRUE(writePng(bitmap, (folder / "cut.png").c_str()));
  DeleteObject(bitmap);
  fs::resize_file(folder / "cut.png", fs::file_size(folder / "cut.png") / 2);
  for (const std::string name : {"text.png", "none.png", "cut.png", ""}) {
    SCOPED_TRACE(name.empty() ? "a folder" : name);
    std::vector<std::uint32_t> pixels{1, 2, 3};
    int width = 9, height = 9;
    EXPECT_FALSE(readPng((folder / name).c_str(), pixels, width, height));
    EXPECT_TRUE(pixels.empty() && width == 0 && height == 0);
  }
}

} // namespace
