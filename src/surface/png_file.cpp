#include "surface/png_file.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace {

// The PNG of the pixels, encoded in memory; empty when it cannot be.
std::string encodeRgb(int width, int height, const std::vector<png_byte>& rgb) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* memory = ::open_memstream(&data, &size);
  if (memory == nullptr) {
    return {};
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  bool ok = png_image_write_to_stdio(&image, memory, 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  ok = std::fclose(memory) == 0 && ok;
  std::string encoded;
  try {
    if (ok) {
      encoded.assign(data, size);
    }
  } catch (const std::bad_alloc&) {
    encoded.clear();
  }
  std::free(data);
  return encoded;
}

FileWriteResult notEncoded() {
  FileWriteResult result;
  result.reason = "the picture could not be encoded; nothing was written";
  return result;
}

} // namespace

FileWriteResult writePng(HBITMAP bitmap, const char* path) {
  int width = 0;
  int height = 0;
  const std::uint32_t* pixels = BitmapBits(bitmap, &width, &height);
  if (pixels == nullptr) {
    return notEncoded();
  }
  std::string encoded;
  try {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<png_byte> rgb(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
      rgb[3 * i] = static_cast<png_byte>(pixels[i] >> 16);
      rgb[3 * i + 1] = static_cast<png_byte>(pixels[i] >> 8);
      rgb[3 * i + 2] = static_cast<png_byte>(pixels[i]);
    }
    encoded = encodeRgb(width, height, rgb);
  } catch (const std::bad_alloc&) {
    return notEncoded();
  }
  if (encoded.empty()) {
    return notEncoded();
  }
  return writeFileContent(path, encoded.data(), encoded.size());
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
  if (count == 0 || count > static_cast<std::uint64_t>(kMaxBitmapPixels)) {
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
