#include "surface/png_file.h"

#include <png.h>

#include <cstdio>
#include <new>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Matches the largest bitmap the surface creates.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;

bool writeRgb(std::FILE* file, int width, int height, const std::vector<png_byte>& rgb) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  const bool ok = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

} // namespace

bool writePng(HBITMAP bitmap, const char* path) {
  int width = 0;
  int height = 0;
  const std::uint32_t* pixels = BitmapBits(bitmap, &width, &height);
  if (pixels == nullptr || path == nullptr || *path == '\0') {
    return false;
  }
  std::vector<png_byte> rgb;
  std::string temp;
  try {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    rgb.resize(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
      rgb[3 * i] = static_cast<png_byte>(pixels[i] >> 16);
      rgb[3 * i + 1] = static_cast<png_byte>(pixels[i] >> 8);
      rgb[3 * i + 2] = static_cast<png_byte>(pixels[i]);
    }
    temp = std::string(path) + ".XXXXXX";
  } catch (const std::bad_alloc&) {
    return false;
  }
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    return false;
  }
  fchmod(fd, 0644); // mkstemp makes the file private; the picture is for people to open
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    close(fd);
    unlink(temp.c_str());
    return false;
  }
  bool ok = writeRgb(file, width, height, rgb);
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  ok = ok && std::rename(temp.c_str(), path) == 0;
  if (!ok) {
    unlink(temp.c_str());
  }
  return ok;
}

bool readPng(const char* path, std::vector<std::uint32_t>& pixels, int& width, int& height) {
  pixels.clear();
  width = 0;
  height = 0;
  if (path == nullptr) {
    return false;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path) == 0) {
    png_image_free(&image);
    return false;
  }
  const std::uint64_t count = std::uint64_t{image.width} * image.height;
  if (count == 0 || count > kMaxPixels) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb;
  try {
    rgb.resize(static_cast<std::size_t>(count) * 3);
    pixels.resize(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    png_image_free(&image);
    pixels.clear();
    return false;
  }
  // Pictures with transparency are read as if over white.
  const png_color background{255, 255, 255};
  if (png_image_finish_read(&image, &background, rgb.data(), 0, nullptr) == 0) {
    png_image_free(&image);
    pixels.clear();
    return false;
  }
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] =
        (std::uint32_t{rgb[3 * i]} << 16) | (std::uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return true;
}
