#pragma once
// Leaves a bitmap as $LUMICURVE_TEST_OUTPUT/<name>.png for a person to look at.

#include "surface/png_file.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// Returns the path written, or an empty string when there is no output folder
// or the write failed.
inline std::string dumpPicture(HBITMAP bitmap, const std::string& name) {
  const char* folder = std::getenv("LUMICURVE_TEST_OUTPUT");
  if (folder == nullptr || *folder == '\0') {
    return {};
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::string path = (std::filesystem::path(folder) / (name + ".png")).string();
  return writePng(bitmap, path.c_str()) ? path : std::string();
}
