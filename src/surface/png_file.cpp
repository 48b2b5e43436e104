#include "surface/png_file.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <string>

namespace {

enum class Encoded { Done, NoMemory, Failed };

struct Sink {
  std::string bytes;
  bool outOfMemory = false;
};

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  try {
    sink->bytes.append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    sink->outOfMemory = true;
    png_error(png, "out of memory");
  }
}

void flushNothing(png_structp) {}

// libpng's own allocation failures are reported as "Out of memory".
void onError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  if (sink != nullptr && std::strstr(message, "emory") != nullptr) {
    sink->outOfMemory = true;
  }
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The PNG of the pixels, one row at a time, so that encoding needs little memory
// beyond the picture itself and the file's bytes. No C++ object lives across the
// setjmp: libpng leaves this function through longjmp on an error.
Encoded encodeRows(const std::uint32_t* pixels, int width, int height, png_bytep row, Sink& sink) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
  if (png == nullptr) {
    return Encoded::NoMemory;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return Encoded::NoMemory;
  }
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return sink.outOfMemory ? Encoded::NoMemory : Encoded::Failed;
  }
  png_set_write_fn(png, &sink, appendBytes, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* in =
        pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<png_byte>(in[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(in[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(in[x]);
    }
    png_write_row(png, row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return Encoded::Done;
}

FileWriteResult notWritten(const char* why) {
  FileWriteResult result;
  result.reason = std::string(why) + "; nothing was written";
  return result;
}

} // namespace

FileWriteResult writePng(HBITMAP bitmap, const char* path) {
  int width = 0;
  int height = 0;
  const std::uint32_t* pixels = BitmapBits(bitmap, &width, &height);
  if (pixels == nullptr) {
    return notWritten("the picture could not be encoded");
  }
  if (width > kMaxPngSide || height > kMaxPngSide) {
    return notWritten("a PNG picture has at most 1000000 pixels on a side");
  }
  Sink sink;
  Encoded encoded = Encoded::NoMemory;
  try {
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
    encoded = encodeRows(pixels, width, height, row.data(), sink);
  } catch (const std::bad_alloc&) {
    encoded = Encoded::NoMemory;
  }
  if (encoded == Encoded::NoMemory) {
    return notWritten("not enough memory to encode the picture");
  }
  if (encoded == Encoded::Failed) {
    return notWritten("the picture could not be encoded");
  }
  return writeFileContent(path, sink.bytes.data(), sink.bytes.size());
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
