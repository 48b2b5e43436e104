#pragma once
// CText: the system's own growable byte string (code page 1251 bytes), with its
// conversions between numbers and decimal text.

#include "expr/cp1251.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

class CText {
public:
  char* buffer;          // malloc'd, capacity + 1 bytes, NUL after the text
  std::int32_t capacity; // text bytes the block can hold
  std::int32_t length;   // text bytes
  std::int32_t growStep; // extra room added whenever the block grows

  CText();                                                     // capacity 1, step 100
  CText(const char* text);                                     // capacity 20 + length, step 20
  explicit CText(char ch);                                     // capacity 51, step 50
  CText(std::int32_t value, std::int32_t minDigits, char pad); // step 3
  CText(std::int32_t capacityBytes, std::int32_t step);
  CText(const CText& other);
  ~CText();
  CText& operator=(const CText& other);

  void release();
  void reserve(std::int32_t n);

  void assign(const CText& other);
  void assign(const char* text, std::int32_t from, std::int32_t count);
  void assignRange(const CText& other, std::int32_t from, std::int32_t count);
  void append(const char* text, std::int32_t from, std::int32_t count);
  void append(const char* text);
  void appendChar(char ch);
  void appendInt(std::int32_t value);
  void appendReal(double value);

  void writeInt(std::int32_t value, std::int32_t pos);
  void writeReal(double value, std::int32_t pos);
  std::int32_t toInt(std::int32_t pos) const;
  double toReal(std::int32_t pos) const;

  char* copyOut() const;
  char* at(std::int32_t i) { return buffer + i; }
  const char* at(std::int32_t i) const { return buffer + i; }

  static int compare(const CText& lhs, const CText& rhs);
  bool operator==(const CText& other) const { return compare(*this, other) == 0; }
  bool operator!=(const CText& other) const { return compare(*this, other) != 0; }
  std::int32_t find(const CText& pattern) const;

private:
  void grow(std::int32_t newCapacity);         // keeps the first `length` bytes
  void replaceBlock(std::int32_t newCapacity); // drops the content
  void terminate() { buffer[length] = '\0'; }
};

CText operator+(const CText& lhs, const CText& rhs);

// The error convention of the expression engine and the settings file: the message
// is copied out into a malloc'd block whose address is thrown as char*; the catcher
// owns it at once as a RaisedText, shows it, and the block is freed with it.
[[noreturn]] void raiseText(const CText& message);

struct FreeRaisedText {
  void operator()(char* text) const { std::free(text); }
};
using RaisedText = std::unique_ptr<char, FreeRaisedText>;
