#pragma once
// Code page 1251: the byte encoding of every text the system keeps.
// Source files are UTF-8; Russian literals are written readably as "ошибка"_cp1251
// and become their 1251 bytes at compile time.

#include <cstddef>
#include <string>
#include <string_view>

namespace cp1251 {

// Unicode code points of the bytes 0x80..0xFF; 0 where the code page has no character.
inline constexpr char32_t kHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 0xC0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // 0xC8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // 0xD0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // 0xD8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // 0xE0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // 0xE8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // 0xF0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // 0xF8
};

// The code point of one 1251 byte (U+FFFD for the one unassigned byte 0x98).
constexpr char32_t toUnicode(unsigned char byte) {
  if (byte < 0x80) {
    return byte;
  }
  char32_t cp = kHighHalf[byte - 0x80];
  return cp == 0 ? char32_t{0xFFFD} : cp;
}

// The 1251 byte of a code point, or -1 when the code page lacks it.
constexpr int fromUnicode(char32_t cp) {
  if (cp < 0x80) {
    return static_cast<int>(cp);
  }
  for (int i = 0; i < 128; ++i) {
    if (kHighHalf[i] == cp) {
      return 0x80 + i;
    }
  }
  return -1;
}

// Decodes one UTF-8 sequence starting at s[i]; advances i. Returns U+FFFD for a
// malformed sequence (consuming one byte).
constexpr char32_t decodeUtf8(std::string_view s, std::size_t& i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = byte(i);
  int extra = b0 < 0x80           ? 0
              : (b0 >> 5) == 0x6  ? 1
              : (b0 >> 4) == 0xE  ? 2
              : (b0 >> 3) == 0x1E ? 3
                                  : -1;
  if (extra == 0) {
    ++i;
    return b0;
  }
  if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = extra == 1 ? (b0 & 0x1Fu) : extra == 2 ? (b0 & 0x0Fu) : (b0 & 0x07u);
  for (int k = 1; k <= extra; ++k) {
    unsigned char b = byte(i + static_cast<std::size_t>(k));
    if ((b >> 6) != 0x2) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3Fu);
  }
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

// A string literal as a structural value, so that it can be a template argument.
template <std::size_t N> struct Utf8Literal {
  char bytes[N]{};
  constexpr Utf8Literal(const char (&text)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
      bytes[i] = text[i];
    }
  }
};

// The 1251 bytes of a UTF-8 literal, NUL-terminated; never longer than the literal.
template <std::size_t N> struct Literal {
  char bytes[N]{};
  std::size_t size = 0;
};

template <std::size_t N> consteval Literal<N> fromUtf8Literal(const char (&text)[N]) {
  Literal<N> out;
  std::string_view s(text, N - 1);
  std::size_t i = 0;
  while (i < s.size()) {
    int b = fromUnicode(decodeUtf8(s, i));
    if (b < 0) {
      throw "character not in code page 1251"; // makes the literal ill-formed
    }
    out.bytes[out.size++] = static_cast<char>(b);
  }
  out.bytes[out.size] = '\0';
  return out;
}

template <Utf8Literal S> struct LiteralHolder {
  static constexpr auto value = fromUtf8Literal(S.bytes);
};

// 1251 bytes to UTF-8 (for standard error and other UTF-8 sinks).
std::string toUtf8(std::string_view bytes);
// UTF-8 to 1251 bytes; characters the code page lacks become '?'.
std::string fromUtf8(std::string_view utf8);

} // namespace cp1251

// "ошибка"_cp1251 is a pointer to the NUL-terminated 1251 bytes of the literal.
template <cp1251::Utf8Literal S> constexpr const char* operator""_cp1251() {
  return cp1251::LiteralHolder<S>::value.bytes;
}
