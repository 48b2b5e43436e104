#include "expr/text.h"

#include "expr/numeric.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

char* allocBlock(std::int32_t capacity) {
  return static_cast<char*>(std::malloc(static_cast<std::size_t>(capacity) + 1));
}

std::int32_t textLength(const char* text) {
  return static_cast<std::int32_t>(std::strlen(text));
}

} // namespace

CText::CText() : buffer(allocBlock(1)), capacity(1), length(0), growStep(100) {
  terminate();
}

CText::CText(const char* text) : buffer(nullptr), capacity(0), length(0), growStep(20) {
  std::int32_t n = text != nullptr ? textLength(text) : 0;
  capacity = 20 + n;
  buffer = allocBlock(capacity);
  if (n > 0) {
    std::memcpy(buffer, text, static_cast<std::size_t>(n));
  }
  length = n;
  terminate();
}

CText::CText(char ch) : buffer(allocBlock(51)), capacity(51), length(1), growStep(50) {
  buffer[0] = ch;
  terminate();
}

CText::CText(std::int32_t value, std::int32_t minDigits, char pad)
    : buffer(allocBlock(1)), capacity(1), length(0), growStep(3) {
  writeInt(value, 0);
  std::int32_t digits = value < 0 ? length - 1 : length;
  while (digits < minDigits) {
    // one pad byte in front per missing digit
    if (capacity - length < 1) {
      grow(capacity + growStep + 1);
    }
    std::memmove(buffer + 1, buffer, static_cast<std::size_t>(length) + 1);
    buffer[0] = pad;
    ++length;
    ++digits;
  }
}

CText::CText(std::int32_t capacityBytes, std::int32_t step)
    : buffer(nullptr), capacity(std::max(capacityBytes, 0)), length(0), growStep(step) {
  buffer = allocBlock(capacity);
  terminate();
}

CText::CText(const CText& other)
    : buffer(nullptr), capacity(other.growStep + other.length), length(other.length),
      growStep(other.growStep) {
  buffer = allocBlock(capacity);
  if (length > 0) {
    std::memcpy(buffer, other.buffer, static_cast<std::size_t>(length));
  }
  terminate();
}

CText::~CText() {
  release();
}

CText& CText::operator=(const CText& other) {
  assign(other);
  return *this;
}

void CText::release() {
  std::free(buffer);
  buffer = nullptr;
  capacity = 0;
  length = 0;
}

void CText::grow(std::int32_t newCapacity) {
  char* block = allocBlock(newCapacity);
  std::int32_t keep = std::min(length, newCapacity);
  if (keep > 0) {
    std::memcpy(block, buffer, static_cast<std::size_t>(keep));
  }
  std::free(buffer);
  buffer = block;
  capacity = newCapacity;
  length = keep;
  terminate();
}

void CText::replaceBlock(std::int32_t newCapacity) {
  std::free(buffer);
  buffer = allocBlock(newCapacity);
  capacity = newCapacity;
  length = 0;
  terminate();
}

void CText::reserve(std::int32_t n) {
  // Only ever grows: a smaller request would cut the text.
  if (n > capacity || buffer == nullptr) {
    grow(std::max(n, capacity));
  }
}

void CText::assign(const CText& other) {
  if (&other == this) {
    return;
  }
  if (other.buffer == nullptr) {
    assign("", 0, 0); // a released text has no bytes: the copy is empty
    return;
  }
  assignRange(other, 0, other.length);
}

void CText::assign(const char* text, std::int32_t from, std::int32_t count) {
  if (text == nullptr) {
    return;
  }
  count = std::max(count, 0);
  if (capacity <= count || buffer == nullptr) {
    // The source may lie inside our own block: copy it out first.
    char* block = allocBlock(growStep + count);
    std::memcpy(block, text + from, static_cast<std::size_t>(count));
    std::free(buffer);
    buffer = block;
    capacity = growStep + count;
  } else {
    std::memmove(buffer, text + from, static_cast<std::size_t>(count));
  }
  length = count;
  terminate();
}

void CText::assignRange(const CText& other, std::int32_t from, std::int32_t count) {
  assign(other.buffer, from, count); // a released source, like a null text, changes nothing
}

void CText::append(const char* text, std::int32_t from, std::int32_t count) {
  if (text == nullptr) {
    return;
  }
  count = std::max(count, 0);
  // A full text grows even for zero bytes.
  if (capacity - length <= count || buffer == nullptr) {
    // Build the new block before freeing the old one: the source may lie in it.
    std::int32_t newCapacity = capacity + growStep + count;
    char* block = allocBlock(newCapacity);
    if (length > 0) {
      std::memcpy(block, buffer, static_cast<std::size_t>(length));
    }
    if (count > 0) {
      std::memcpy(block + length, text + from, static_cast<std::size_t>(count));
    }
    std::free(buffer);
    buffer = block;
    capacity = newCapacity;
  } else if (count > 0) {
    std::memmove(buffer + length, text + from, static_cast<std::size_t>(count));
  }
  length += count;
  terminate();
}

void CText::append(const char* text) {
  if (text == nullptr) {
    return;
  }
  append(text, 0, textLength(text));
}

void CText::appendChar(char ch) {
  if (capacity - length < 1 || buffer == nullptr) {
    grow(capacity + growStep + 1);
  }
  buffer[length++] = ch;
  terminate();
}

void CText::appendInt(std::int32_t value) {
  writeInt(value, length);
}

void CText::appendReal(double value) {
  writeReal(value, length);
}

void CText::writeInt(std::int32_t value, std::int32_t pos) {
  pos = std::clamp(pos, 0, length);
  length = pos;
  if (capacity <= pos + 25 || buffer == nullptr) {
    grow(growStep + pos + 25);
  }
  // The magnitude in unsigned arithmetic, so the most negative value has one too.
  std::uint32_t magnitude = static_cast<std::uint32_t>(value);
  if (value < 0) {
    buffer[length++] = '-';
    magnitude = 0u - magnitude;
  }
  std::int32_t first = length;
  do {
    buffer[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::reverse(buffer + first, buffer + length);
  terminate();
}

void CText::writeReal(double value, std::int32_t pos) {
  pos = std::clamp(pos, 0, length);
  length = pos;
  if (capacity <= pos + 50 || buffer == nullptr) {
    grow(pos + 50);
  }
  if (!(value == value)) {
    value = 0.0;
  }
  if (value < 0) {
    buffer[length++] = '-';
    value = -value;
  }
  // Nothing in the system writes a real whose integer part lies beyond 32 bits, nor
  // a NaN; such a value is written as the nearest one the format holds (a NaN as 0).
  // Below that the integer part is exact and its fraction follows it.
  if (value >= 2147483648.0) {
    value = 2147483647.0;
  }
  const std::int32_t whole = static_cast<std::int32_t>(value);
  std::int32_t n = whole;
  std::int32_t first = length;
  do {
    buffer[length++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  std::reverse(buffer + first, buffer + length);
  buffer[length++] = '.';
  double f = value - static_cast<double>(whole);
  for (int i = 0; i < 13; ++i) {
    f = f * 10;
    std::int32_t d = static_cast<std::int32_t>(f);
    buffer[length++] = static_cast<char>('0' + d);
    f = f - d;
  }
  terminate();
}

std::int32_t CText::toInt(std::int32_t pos) const {
  pos = std::clamp(pos, 0, length);
  bool negative = false;
  if (pos < length && buffer[pos] == '-') {
    negative = true;
    ++pos;
  }
  std::int32_t value = 0;
  for (std::int32_t i = pos; i < length; ++i) {
    value = numeric::wrapAdd(numeric::wrapMul(value, 10), static_cast<signed char>(buffer[i]) - 48);
  }
  return negative ? numeric::wrapNeg(value) : value;
}

double CText::toReal(std::int32_t pos) const {
  pos = std::clamp(pos, 0, length);
  double sign = 1.0;
  std::int32_t i = pos;
  if (i < length && buffer[i] == '-') {
    sign = -1.0;
    ++i;
  }
  std::int32_t integer = 0;
  if (!(i < length && buffer[i] == '.')) {
    while (i < length && buffer[i] != '.') {
      integer =
          numeric::wrapAdd(numeric::wrapMul(integer, 10), static_cast<signed char>(buffer[i]) - 48);
      ++i;
    }
  }
  if (i >= length) {
    return sign * integer;
  }
  // The fraction is read backwards, from the last byte to the last '.'.
  double d = 0.0;
  for (std::int32_t k = length - 1; k >= 0 && buffer[k] != '.'; --k) {
    d = (d + (static_cast<signed char>(buffer[k]) - 48)) * 0.1;
  }
  return sign * (integer + d);
}

char* CText::copyOut() const {
  char* block = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
  if (length > 0) {
    std::memcpy(block, buffer, static_cast<std::size_t>(length));
  }
  block[length] = '\0';
  return block;
}

int CText::compare(const CText& lhs, const CText& rhs) {
  auto byteAt = [](const CText& t, std::int32_t i) {
    return t.buffer != nullptr && i < t.length ? static_cast<signed char>(t.buffer[i])
                                               : static_cast<signed char>(0);
  };
  std::int32_t i = 0;
  while (i < lhs.length && i < rhs.length && lhs.buffer[i] == rhs.buffer[i]) {
    ++i;
  }
  signed char l = byteAt(lhs, i);
  signed char r = byteAt(rhs, i);
  return l < r ? -1 : l > r ? 1 : 0;
}

std::int32_t CText::find(const CText& pattern) const {
  for (std::int32_t i = 0; i < length; ++i) {
    std::int32_t matched = 0;
    // The terminator takes part, so a pattern that ends in a NUL matches at the end.
    while (matched < pattern.length && i + matched <= length &&
           buffer[i + matched] == pattern.buffer[matched]) {
      ++matched;
    }
    if (matched == pattern.length) {
      return i;
    }
  }
  return -1;
}

CText operator+(const CText& lhs, const CText& rhs) {
  CText result(lhs.length + rhs.length + 100, 100);
  result.append(lhs.buffer, 0, lhs.length);
  result.append(rhs.buffer, 0, rhs.length);
  return result;
}

void raiseText(const CText& message) {
  throw message.copyOut();
}

namespace cp1251 {

std::string toUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    char32_t cp = toUnicode(static_cast<unsigned char>(c));
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string fromUtf8(std::string_view utf8) {
  std::string out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    int b = fromUnicode(decodeUtf8(utf8, i));
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
  }
  return out;
}

} // namespace cp1251
