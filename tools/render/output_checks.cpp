#include "output_checks.h"

#include "messages.h"
#include "render_canvas.h"
#include "surface/png_file.h"
#include "surface/surface.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// The picture is never smaller than this on either side.
constexpr long kLeastSide = 64;

std::string sizeText(PictureSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

} // namespace

Format formatOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return Format::Unknown;
  }
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return extension == "png"   ? Format::Png
         : extension == "svg" ? Format::Svg
         : extension == "pdf" ? Format::Pdf
                              : Format::Unknown;
}

PictureSize pictureSize(const char* text) {
  PictureSize size;
  if (text == nullptr) {
    return size;
  }
  long sides[2] = {0, 0};
  const char* p = text;
  bool ok = true;
  for (int i = 0; i < 2 && ok; ++i) {
    const char* start = p;
    while (*p >= '0' && *p <= '9' && p - start < 10) {
      sides[i] = sides[i] * 10 + (*p++ - '0');
    }
    ok = p != start && !(*p >= '0' && *p <= '9') && *p == (i == 0 ? 'x' : '\0');
    ++p;
  }
  if (!ok || sides[0] < kLeastSide || sides[1] < kLeastSide ||
      sides[0] * sides[1] > kMaxBitmapPixels) {
    fail(text, "not a picture size; give WIDTHxHEIGHT in pixels, each side at least 64 and "
               "268435456 pixels at most");
  }
  size.width = static_cast<int>(sides[0]);
  size.height = static_cast<int>(sides[1]);
  return size;
}

double pictureScale(const char* text) {
  double scale = 1;
  if (text != nullptr && !parseScale(text, scale)) {
    fail(text, "not a scale; give a number from 1 to 8, such as 2 or 1.5");
  }
  return scale;
}

void checkFormatHolds(Format format, PictureSize size, double scale, const char* scaleText,
                      const char* output) {
  const PictureSize device{static_cast<int>(DeviceEdge(size.width, scale)),
                           static_cast<int>(DeviceEdge(size.height, scale))};
  if (std::int64_t{device.width} * device.height > kMaxBitmapPixels) {
    fail(scaleText, "the picture at this scale would be larger than 268435456 pixels");
  }
  if (format == Format::Png && (device.width > kMaxPngSide || device.height > kMaxPngSide)) {
    fail(output, "a PNG picture has at most " + std::to_string(kMaxPngSide) +
                     " pixels on a side, not " + sizeText(device) + "; nothing was written");
  }
}

void checkReadable(const char* path) {
  // Load takes anything it cannot read for a foreign file; a file that is not
  // there or not readable is reported as such.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    fail(path, std::strerror(errno));
  }
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  if (!regular) {
    fail(path, S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file");
  }
}

void checkNotTheSettingsFile(const char* settings, const char* output) {
  struct stat in {};
  struct stat out {};
  if (::stat(settings, &in) == 0 && ::stat(output, &out) == 0 && in.st_dev == out.st_dev &&
      in.st_ino == out.st_ino) {
    fail(output, "is the settings file being read; nothing was written");
  }
}
