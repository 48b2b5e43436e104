#include "expr/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string str(const CText& t) {
  return std::string(t.buffer, static_cast<std::size_t>(t.length));
}

void expectTerminated(const CText& t) {
  ASSERT_NE(t.buffer, nullptr);
  EXPECT_LE(0, t.length);
  EXPECT_LE(t.length, t.capacity);
  EXPECT_EQ(t.buffer[t.length], '\0');
}

TEST(Text, ConstructorsSetCapacityAndStep) {
  struct Case {
    const char* name;
    CText text;
    std::string bytes;
    int capacity;
    int growStep;
  };
  Case cases[] = {
      {"default", CText(), "", 1, 100},
      {"from text", CText("abc"), "abc", 23, 20},
      {"from null text", CText(static_cast<const char*>(nullptr)), "", 20, 20},
      {"from one byte", CText('q'), "q", 51, 50},
      {"from the NUL byte", CText('\0'), std::string(1, '\0'), 51, 50},
      {"from a capacity", CText(1000, 100), "", 1000, 100},
      {"copy", CText(CText("hello")), "hello", 25, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectTerminated(c.text);
    EXPECT_EQ(str(c.text), c.bytes);
    EXPECT_EQ(c.text.capacity, c.capacity);
    EXPECT_EQ(c.text.growStep, c.growStep);
  }
}

TEST(Text, IntegerConstructorPadsMissingDigits) {
  struct Case {
    int value, minDigits;
    char pad;
    const char* expected;
  } cases[] = {
      {5, 3, '0', "005"},          {-5, 3, ' ', "  -5"},
      {123, 0, '0', "123"},        {0, 1, '0', "0"},
      {0, 2, '*', "*0"},           {-2147483647 - 1, 0, '0', "-2147483648"},
      {42, 10, '.', "........42"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    CText t(c.value, c.minDigits, c.pad);
    expectTerminated(t);
    EXPECT_EQ(str(t), c.expected);
    EXPECT_EQ(t.growStep, 3);
  }
}

TEST(Text, AppendingByteByByteGrowsByStepPlusOne) {
  CText t;
  std::string expected;
  std::vector<int> capacities{t.capacity};
  for (int i = 0; i < 500; ++i) {
    char ch = static_cast<char>('a' + i % 26);
    t.appendChar(ch);
    expected.push_back(ch);
    if (capacities.back() != t.capacity) {
      capacities.push_back(t.capacity);
    }
    ASSERT_EQ(str(t), expected) << "after " << i + 1 << " bytes";
    ASSERT_EQ(t.buffer[t.length], '\0');
  }
  EXPECT_EQ(capacities, (std::vector<int>{1, 102, 203, 304, 405, 506}));
}

TEST(Text, AssignAndAppend) {
  struct Case {
    const char* name;
    std::string (*run)();
    std::string expected;
  } cases[] = {
      {"assign keeps the target's step",
       [] {
         CText t(10, 7);
         t.assign(CText("a long text of thirty bytes..."));
         return str(t) + "|" + std::to_string(t.growStep) + "|" + std::to_string(t.capacity);
       },
       "a long text of thirty bytes...|7|37"},
      {"assign fits in place",
       [] {
         CText t(50, 7);
         t.assign(CText("short"));
         return str(t) + "|" + std::to_string(t.capacity);
       },
       "short|50"},
      {"self assignment",
       [] {
         CText t("same");
         t = t;
         return str(t);
       },
       "same"},
      {"assign a range of a text",
       [] {
         CText t;
         t.assign("abcdef", 2, 3);
         return str(t);
       },
       "cde"},
      {"assign a null text changes nothing",
       [] {
         CText t("kept");
         t.assign(nullptr, 0, 3);
         return str(t);
       },
       "kept"},
      {"assignRange",
       [] {
         CText t;
         t.assignRange(CText("graph.ini"), 5, 4);
         return str(t);
       },
       ".ini"},
      {"append a range",
       [] {
         CText t("ab");
         t.append("xyz123", 3, 2);
         return str(t);
       },
       "ab12"},
      {"append a text",
       [] {
         CText t;
         t.append("one");
         t.append(" two");
         t.append(nullptr);
         return str(t);
       },
       "one two"},
      {"append its own bytes while growing",
       [] {
         CText t(3, 1);
         t.append("abc");
         t.append(t.buffer, 0, t.length);
         return str(t);
       },
       "abcabc"},
      {"assignRange from a released text changes nothing",
       [] {
         CText released("gone");
         released.release();
         CText t("kept");
         t.assignRange(released, 0, 0);
         return str(t) + "|" + std::to_string(t.capacity);
       },
       "kept|24"},
      {"assign of a released text empties",
       [] {
         CText released("gone");
         released.release();
         CText t("dropped");
         t.assign(released);
         return str(t) + "|" + std::to_string(t.length);
       },
       "|0"},
      {"a released text grows again",
       [] {
         CText t("gone");
         t.release();
         t.append("back");
         t.appendChar('!');
         return str(t);
       },
       "back!"},
      {"emptied by length then appended",
       [] {
         CText t("old text");
         t.length = 0;
         t.append("new");
         return str(t);
       },
       "new"},
      {"concatenation has step 100",
       [] {
         CText t = CText("left") + CText("right");
         return str(t) + "|" + std::to_string(t.growStep);
       },
       "leftright|100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.run(), c.expected);
  }
}

TEST(Text, AppendToAFullTextGrowsByStepPlusCount) {
  struct Case {
    const char* name;
    const char* bytes;
    int count;
    int capacity; // after the append
  } cases[] = {
      {"zero bytes", "xyz", 0, 2 + 5 + 0},
      {"two bytes", "xyz", 2, 2 + 5 + 2},
      {"an empty text", "", 0, 2 + 5 + 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CText t(2, 5);
    t.appendChar('a');
    t.appendChar('b');
    ASSERT_EQ(t.capacity, t.length); // full
    t.append(c.bytes, 0, c.count);
    expectTerminated(t);
    EXPECT_EQ(str(t), "ab" + std::string(c.bytes, static_cast<std::size_t>(c.count)));
    EXPECT_EQ(t.capacity, c.capacity);
  }
  CText roomy(10, 5);
  roomy.append("", 0, 0); // room left: no growth
  EXPECT_EQ(roomy.capacity, 10);
}

TEST(Text, ReserveGrowsAndKeepsTheText) {
  CText t("abc");
  t.reserve(1024);
  EXPECT_EQ(t.capacity, 1024);
  EXPECT_EQ(str(t), "abc");
  t.reserve(10); // never cuts
  EXPECT_EQ(t.capacity, 1024);
  EXPECT_EQ(str(t), "abc");
}

TEST(Text, WriteInt) {
  struct Case {
    const char* initial;
    int value, pos;
    const char* expected;
  } cases[] = {
      {"", 0, 0, "0"},
      {"", 42, 0, "42"},
      {"", -305, 0, "-305"},
      {"", -7, 0, "-7"},
      {"abcdef", 123, 2, "ab123"},
      {"ab", 9, 2, "ab9"},
      {"", 2147483647, 0, "2147483647"},
      {"", -2147483647 - 1, 0, "-2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.initial) + " <- " + std::to_string(c.value));
    CText t(c.initial);
    t.writeInt(c.value, c.pos);
    expectTerminated(t);
    EXPECT_EQ(str(t), c.expected);
  }
  CText t("x = ");
  t.appendInt(-12);
  EXPECT_EQ(str(t), "x = -12");
}

TEST(Text, WriteRealTruncatesToThirteenDigits) {
  struct Case {
    double value;
    const char* expected;
  } cases[] = {
      {20.0, "20.0000000000000"},
      {-0.5, "-0.5000000000000"},
      {0.0, "0.0000000000000"},
      {0.5, "0.5000000000000"},
      {-2.25, "-2.2500000000000"},
      {300.0, "300.0000000000000"},
      {2.3, "2.2999999999999"}, // digits by repeated multiplication, truncated
      {4.35, "4.3499999999999"},
      {1e-5, "0.0000100000000"},
      {2147483647.5, "2147483647.5000000000000"}, // the fraction follows the largest whole
      {-2147483647.25, "-2147483647.2500000000000"},
      {2147483648.0, "2147483647.0000000000000"}, // beyond the format: the nearest it holds
      {1e300, "2147483647.0000000000000"},
      {-1e300, "-2147483647.0000000000000"},
      {std::nan(""), "0.0000000000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    CText t;
    t.writeReal(c.value, 0);
    expectTerminated(t);
    EXPECT_EQ(str(t), c.expected);
  }
  CText small;
  small.appendReal(20.0);
  EXPECT_EQ(small.length, 16);
  EXPECT_EQ(small.capacity, 50);
}

TEST(Text, ToRealRejectsNothing) {
  struct Case {
    const char* text;
    double expected;
  } cases[] = {
      // The fraction is read back digit by digit, so 0.01 is 0.1 * 0.1.
      {"300.0", 300.0},
      {"-10.0", -10.0},
      {"0.01", 0.010000000000000002},
      {".5", 0.5},
      {"5.", 5.0},
      {".", 0.0},
      {"", 0.0},
      {"1,5", 65.0},
      {"1e5", 635.0},
      {"1.2.3", 1.3},
      {"20", 20.0},
      {"+1", -49.0},
      {" 1", -159.0},
      {"0.3", 0.30000000000000004},
      {"2147483648", -2147483648.0}, // the integer part wraps at 32 bits
      {"4294967297", 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CText(c.text).toReal(0), c.expected);
  }
  double minusZero = CText("-").toReal(0);
  EXPECT_EQ(minusZero, 0.0);
  EXPECT_TRUE(std::signbit(minusZero));
  EXPECT_EQ(CText("ab12.5").toReal(2), 12.5);
}

TEST(Text, ToIntRejectsNothing) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"12", 12},
      {"-12", -12},
      {"", 0},
      {"-", 0},
      {"1a", 59},
      {"0", 0},
      {"2147483648", -2147483647 - 1},
      {"-2147483648", -2147483647 - 1},
      {"4294967299", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(CText(c.text).toInt(0), c.expected);
  }
}

TEST(Text, CompareIsBytewiseSigned) {
  struct Case {
    CText lhs, rhs;
    int expected;
  } cases[] = {
      {"abc", "abd", -1}, {"abd", "abc", 1},    {"ab", "abc", -1},
      {"abc", "abc", 0},  {"", CText('\0'), 0}, {"\xE0", "a", -1}, // Cyrillic bytes are negative
      {"a", "\xE0", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(str(c.lhs) + " vs " + str(c.rhs));
    EXPECT_EQ(CText::compare(c.lhs, c.rhs), c.expected);
    EXPECT_EQ(c.lhs == c.rhs, c.expected == 0);
    EXPECT_EQ(c.lhs != c.rhs, c.expected != 0);
  }
}

TEST(Text, Find) {
  struct Case {
    const char* text;
    const char* pattern;
    int expected;
  } cases[] = {
      {"graph.ini", ".ini", 5},    {"graph", ".ini", -1},    {"", ".ini", -1},     {"abc", "", 0},
      {"plot.ini.bak", ".ini", 4}, {"PLOT.INI", ".ini", -1}, {"a.in", ".ini", -1}, {"", "", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
    EXPECT_EQ(CText(c.text).find(CText(c.pattern)), c.expected);
  }
  // The terminator takes part: a pattern ending in NUL matches only at the end.
  struct Terminated {
    const char* text;
    const char* pattern; // followed by a NUL byte
    int expected;
  } terminated[] = {
      {"graph.ini", ".ini", 5},
      {"graph.ini.bak", ".ini", -1},
      {"abc", "c", 2},
      {"abc", "", -1}, // a lone NUL never starts at the terminator
      {"", "", -1},
  };
  for (const auto& c : terminated) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.pattern + "\\0");
    CText pattern;
    pattern.assign(c.pattern, 0, static_cast<int>(std::strlen(c.pattern)) + 1);
    EXPECT_EQ(CText(c.text).find(pattern), c.expected);
  }
}

TEST(Text, CopyOutIsAFreshMallocBlock) {
  char* empty = CText().copyOut();
  EXPECT_EQ(empty[0], '\0');
  std::free(empty);
  CText t;
  t.assign("ab\0cd", 0, 5);
  char* copy = t.copyOut();
  EXPECT_EQ(std::memcmp(copy, "ab\0cd", 6), 0);
  std::free(copy);
}

TEST(Text, Cp1251Literals) {
  struct Case {
    const char* converted;
    const char* bytes;
  } cases[] = {
      {"ошибка"_cp1251, "\xEE\xF8\xE8\xE1\xEA\xE0"},
      {"Фаил не открыт"_cp1251, "\xD4\xE0\xE8\xEB \xED\xE5 \xEE\xF2\xEA\xF0\xFB\xF2"},
      {"ЁёЇ№ \\0"_cp1251, "\xA8\xB8\xAF\xB9 \\0"},
      {"plain ASCII\r\n"_cp1251, "plain ASCII\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_STREQ(c.converted, c.bytes);
    EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(c.bytes)), c.bytes);
  }
  EXPECT_EQ(cp1251::toUtf8("\xEE\xF8\xE8\xE1\xEA\xE0"), "ошибка");
  EXPECT_EQ(cp1251::fromUtf8("日本 ok"), "?? ok");
  EXPECT_EQ(cp1251::fromUtf8("\xFF\xFE broken"), "?? broken");
}

} // namespace
