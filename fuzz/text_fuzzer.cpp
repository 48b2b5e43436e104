// The CText conversions and searches on arbitrary bytes, with the properties that
// hold for every input: integers and reals read back what was written, the reading
// of well-formed numbers agrees with the C library, comparison is antisymmetric and
// agrees with a signed byte-wise strcmp, find agrees with a plain search that lets
// the terminator take part, and a sequence of edits keeps the bytes, the
// terminator and the growth rules of a model.

#include "expr/text.h"
#include "fuzz_report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const uint8_t* gData = nullptr;
size_t gSize = 0;

#define CHECK(condition, ...)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      fuzz::fail(gData, gSize, __VA_ARGS__);                                                       \
    }                                                                                              \
  } while (false)

CText textOf(const std::string& bytes) {
  CText t;
  t.assign(bytes.c_str(), 0, static_cast<std::int32_t>(bytes.size()));
  return t;
}

std::string bytesOf(const CText& t) {
  return t.buffer == nullptr ? std::string()
                             : std::string(t.buffer, static_cast<std::size_t>(t.length));
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// "-"? digits{1,9} ("." digits*)?  or  "-"? "." digits+ : what strtod reads the same way.
bool plainNumber(const std::string& s, bool& hasPoint) {
  std::size_t i = !s.empty() && s[0] == '-' ? 1 : 0;
  std::size_t whole = 0, fraction = 0;
  while (i < s.size() && isDigit(s[i])) {
    ++i, ++whole;
  }
  hasPoint = i < s.size() && s[i] == '.';
  if (hasPoint) {
    ++i;
    while (i < s.size() && isDigit(s[i])) {
      ++i, ++fraction;
    }
  }
  return i == s.size() && whole <= 9 && whole + fraction > 0;
}

void checkReading(const CText& t, std::int32_t pos) {
  std::int32_t asInt = t.toInt(pos);
  double asReal = t.toReal(pos);
  std::string rest = bytesOf(t).substr(static_cast<std::size_t>(std::clamp(pos, 0, t.length)));
  if (rest.find('.') == std::string::npos) {
    // Both read every byte as a digit with the same 32-bit wrapping.
    if (asInt == INT32_MIN) {
      CHECK(std::fabs(asReal) == 2147483648.0, "toReal %a, toInt INT32_MIN at %d", asReal, pos);
    } else {
      CHECK(asReal == static_cast<double>(asInt), "toReal %a, toInt %d at %d", asReal, asInt, pos);
    }
  }
  bool hasPoint = false;
  if (plainNumber(rest, hasPoint)) {
    double expected = std::strtod(rest.c_str(), nullptr);
    CHECK(std::fabs(asReal - expected) <= 1e-13 * std::fabs(expected) + 1e-290,
          "toReal %.17g, strtod %.17g", asReal, expected);
    if (!hasPoint) {
      CHECK(asInt == static_cast<std::int32_t>(std::strtol(rest.c_str(), nullptr, 10)),
            "toInt %d of a plain integer", asInt);
    }
  }
}

void checkWriting(const std::string& prefix, std::int32_t whole, double real) {
  const auto at = static_cast<std::int32_t>(prefix.size());
  CText t = textOf(prefix);
  t.appendInt(whole);
  CHECK(t.buffer[t.length] == '\0' && t.length <= t.capacity, "appendInt: unterminated");
  CHECK(bytesOf(t) == prefix + std::to_string(whole), "appendInt %d wrote %s", whole,
        bytesOf(t).c_str() + prefix.size());
  CHECK(t.toInt(at) == whole, "appendInt %d read back as %d", whole, t.toInt(at));

  CText r = textOf(prefix);
  r.appendReal(real);
  CHECK(r.buffer[r.length] == '\0' && r.length <= r.capacity, "appendReal: unterminated");
  std::string out = bytesOf(r);
  CHECK(out.compare(0, prefix.size(), prefix) == 0, "appendReal changed the text before it");
  out.erase(0, prefix.size());
  // "-"? (0 | [1-9][0-9]*) "." [0-9]{13}
  std::size_t point = out.find('.');
  std::size_t start = !out.empty() && out[0] == '-' ? 1 : 0;
  bool wellFormed = point != std::string::npos && point > start && out.size() == point + 14 &&
                    (out[start] != '0' || point == start + 1) &&
                    std::all_of(out.begin() + static_cast<long>(start), out.end(),
                                [](char c) { return isDigit(c) || c == '.'; }) &&
                    out.find('.', point + 1) == std::string::npos;
  CHECK(wellFormed, "appendReal %a wrote \"%s\"", real, out.c_str());
  if (std::isnan(real)) {
    CHECK(out == "0.0000000000000", "appendReal of a NaN wrote \"%s\"", out.c_str());
    return;
  }
  CHECK((start == 1) == (real < 0), "appendReal %a: sign of \"%s\"", real, out.c_str());
  double magnitude = std::fabs(real);
  if (magnitude >= 2147483648.0) {
    CHECK(out.substr(start) == "2147483647.0000000000000", "appendReal %a wrote \"%s\"", real,
          out.c_str());
    return;
  }
  // The whole part exactly, the fraction truncated to 13 digits.
  CHECK(out.substr(start, point - start) ==
            std::to_string(static_cast<std::int64_t>(std::trunc(magnitude))),
        "appendReal %a: whole part of \"%s\"", real, out.c_str());
  double back = r.toReal(at);
  double ulp = std::nextafter(magnitude, INFINITY) - magnitude;
  CHECK(std::fabs(back - real) <= 1.2e-13 + 2 * ulp, "appendReal %a wrote \"%s\", read back %a",
        real, out.c_str(), back);
}

int sign(int v) {
  return (v > 0) - (v < 0);
}

// strcmp on signed bytes: texts are compared up to the terminator of the shorter.
int signedStrcmp(const char* l, const char* r) {
  for (;; ++l, ++r) {
    auto a = static_cast<signed char>(*l), b = static_cast<signed char>(*r);
    if (a != b || a == 0) {
      return sign(a - b);
    }
  }
}

void checkComparison(const std::string& a, const std::string& b) {
  CText l = textOf(a), r = textOf(b);
  int lr = CText::compare(l, r), rl = CText::compare(r, l);
  CHECK(lr >= -1 && lr <= 1 && lr == -rl, "compare is not antisymmetric: %d, %d", lr, rl);
  CHECK(CText::compare(l, l) == 0, "a text differs from itself");
  CHECK((l == r) == (lr == 0) && (l != r) == (lr != 0), "== and != disagree with compare");
  if (a.find('\0') == std::string::npos && b.find('\0') == std::string::npos) {
    CHECK(lr == signedStrcmp(a.c_str(), b.c_str()), "compare %d against strcmp", lr);
  }
}

void checkFind(const std::string& text, const std::string& pattern) {
  std::int32_t found = textOf(text).find(textOf(pattern));
  // The terminator takes part, but no match starts at it.
  std::int32_t expected = -1;
  if (!text.empty()) {
    std::size_t at = (text + '\0').find(pattern);
    expected = at < text.size() ? static_cast<std::int32_t>(at) : -1;
  }
  CHECK(found == expected, "find gave %d, expected %d", found, expected);
}

// The growth rules: what the capacity becomes, per operation.
struct Model {
  std::string bytes;
  std::int32_t capacity = 1, step = 100;
  bool released = false;
};

void checkEdits(const std::string& source, const std::string& script) {
  CText t;
  Model m;
  const CText other = textOf(source);
  const auto sourceLength = static_cast<std::int32_t>(source.size());
  std::size_t i = 0;
  auto next = [&] { return i < script.size() ? static_cast<unsigned char>(script[i++]) : 0u; };
  auto range = [&](std::int32_t& from, std::int32_t& count) {
    from = sourceLength == 0 ? 0 : static_cast<std::int32_t>(next() % (sourceLength + 1));
    count = static_cast<std::int32_t>(next() % (sourceLength - from + 1));
  };
  for (int op = 0; op < 48 && i < script.size(); ++op) {
    const unsigned code = next() % 8;
    std::int32_t from = 0, count = 0;
    switch (code) {
    case 0: {
      char ch = static_cast<char>(next());
      if (m.capacity - static_cast<std::int32_t>(m.bytes.size()) < 1 || m.released) {
        m.capacity += m.step + 1;
      }
      t.appendChar(ch);
      m.bytes.push_back(ch);
      break;
    }
    case 1:
      range(from, count);
      if (m.capacity - static_cast<std::int32_t>(m.bytes.size()) <= count || m.released) {
        m.capacity += m.step + count;
      }
      t.append(source.c_str(), from, count);
      m.bytes += source.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
      break;
    case 2:
    case 3:
      range(from, count);
      if (m.capacity <= count || m.released) {
        m.capacity = m.step + count;
      }
      if (code == 2) {
        t.assign(source.c_str(), from, count);
      } else {
        t.assignRange(other, from, count);
      }
      m.bytes = source.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
      break;
    case 4: {
      const auto pos = static_cast<std::int32_t>(next() % (m.bytes.size() + 1));
      const auto value = static_cast<std::int32_t>(next() * 16777619u + next());
      if (m.capacity <= pos + 25 || m.released) {
        m.capacity = m.step + pos + 25;
      }
      t.writeInt(value, pos);
      m.bytes = m.bytes.substr(0, static_cast<std::size_t>(pos)) + std::to_string(value);
      break;
    }
    case 5:
      t.release();
      m = Model{"", 0, m.step, true};
      continue; // nothing to look at in a released text
    case 6: {
      CText released("gone");
      released.release();
      t.assignRange(released, 0, 0); // changes nothing
      if (m.released) {
        continue;
      }
      break;
    }
    default: {
      const auto n = static_cast<std::int32_t>(next() % 300);
      if (n > m.capacity || m.released) {
        m.capacity = std::max(n, m.capacity);
      }
      t.reserve(n);
      break;
    }
    }
    m.released = false;
    CHECK(t.buffer != nullptr && t.length <= t.capacity && t.buffer[t.length] == '\0',
          "edit %u left an unterminated text", code);
    CHECK(bytesOf(t) == m.bytes, "edit %u: the bytes differ from the model", code);
    CHECK(t.capacity == m.capacity && t.growStep == m.step, "edit %u: capacity %d, expected %d",
          code, t.capacity, m.capacity);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) {
    return -1;
  }
  gData = data;
  gSize = size;
  const unsigned control = size > 0 ? data[0] : 0;
  const std::string payload(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                            size > 0 ? size - 1 : 0);
  const std::size_t split = control % (payload.size() + 1);
  const std::string a = payload.substr(0, split), b = payload.substr(split);

  const CText whole = textOf(payload);
  for (std::int32_t pos : {0, static_cast<std::int32_t>(split), whole.length, whole.length + 3}) {
    checkReading(whole, pos);
  }
  checkReading(textOf(a), 0);

  std::int32_t integer = 0;
  double real = 0.0;
  std::memcpy(&integer, payload.data(), std::min(payload.size(), sizeof integer));
  if (payload.size() > sizeof integer) {
    std::memcpy(&real, payload.data() + sizeof integer,
                std::min(payload.size() - sizeof integer, sizeof real));
  }
  checkWriting(a.substr(0, 8), integer, real);
  checkWriting("", integer, std::trunc(real * 1e-3) + 0.5); // a fraction of exactly one half

  checkComparison(a, b);
  checkComparison(a, a + b);

  const std::size_t patternLength = (control >> 4) % 9;
  std::string pattern = (control & 1) != 0 && a.size() >= patternLength
                            ? a.substr(a.size() - patternLength)
                            : b.substr(0, patternLength);
  if ((control & 2) != 0) {
    pattern.push_back('\0');
  }
  checkFind(a, pattern);
  checkFind(payload, b.substr(0, 4));

  checkEdits(a, b);
  return 0;
}
