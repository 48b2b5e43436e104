#pragma once
// What the fuzz targets print before they abort on a broken property: the input
// as a C string literal and the facts of the failure.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// The bytes as a C string literal, non-printable ones escaped.
inline void printBytes(const char* label, const void* bytes, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  std::fprintf(stderr, "%s (%zu bytes): \"", label, size);
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char c = p[i];
    if (c == '"' || c == '\\') {
      std::fprintf(stderr, "\\%c", c);
    } else if (c >= 32 && c < 127) {
      std::fputc(c, stderr);
    } else {
      std::fprintf(stderr, "\\x%02x\"\"", c);
    }
  }
  std::fputs("\"\n", stderr);
}

// Prints the input and the formatted facts, then aborts, which libFuzzer reports
// as a crash and keeps the input.
[[noreturn]] inline void fail(const void* input, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
inline void fail(const void* input, std::size_t size, const char* format, ...) {
  std::fputs("\n==== property broken\n", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  printBytes("input", input, size);
  std::abort();
}

} // namespace fuzz
