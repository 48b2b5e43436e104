#include "surface/surface.h"

#include "picture_dump.h"
#include "surface_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace surface_test;

// --- text -------------------------------------------------------------------------

HFONT labelFont() {
  return CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, RUSSIAN_CHARSET, OUT_CHARACTER_PRECIS,
                     CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, nullptr);
}

// A font made and deleted by a static object, before and after main.
struct StaticFont {
  HFONT font = labelFont();
  ~StaticFont() { DeleteObject(font); }
} gStaticFont;

const char kCyrillicWord[] = "\xEE\xF8\xE8\xE1\xEA\xE0"; // "ошибка" in code page 1251

SIZE extent(HDC dc, const std::string& text) {
  SIZE s{-1, -1};
  EXPECT_EQ(GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &s), TRUE);
  return s;
}

// Draws text at (x, y) on a white canvas and returns what changed.
struct Drawn {
  SIZE size;
  Pixels changed;
};
Drawn drawText(HFONT font, const std::string& text, int x, int y, int mode = TRANSPARENT) {
  Canvas canvas(120, 40);
  SelectObject(canvas.dc(), font);
  SetBkMode(canvas.dc(), mode);
  EXPECT_EQ(TextOutA(canvas.dc(), x, y, text.data(), static_cast<int>(text.size())), TRUE);
  Drawn d{extent(canvas.dc(), text), canvas.differentFrom(kWhite)};
  SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
  return d;
}

TEST(Text, InkStaysInsideTheCellAnchoredAtTheTopLeft) {
  HFONT label = labelFont();
  HFONT italic = CreateFontA(20, 0, 0, 0, FW_NORMAL, 1, 0, 0, 0, 0, 0, 0, 0, nullptr);
  struct Case {
    const char* name;
    HFONT font;
    std::string text;
  };
  const Case cases[] = {
      {"minus ten", label, "-10"},
      {"overhanging glyphs", italic, "jf"},
      {"zero", label, "0"},
      {"cyrillic", label, kCyrillicWord},
      {"cyrillic, system font", static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), kCyrillicWord},
      {"static font", gStaticFont.font, "-10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Drawn at = drawText(c.font, c.text, 7, 5);
    ASSERT_FALSE(at.changed.empty()) << "no ink";
    int left = INT_MAX, top = INT_MAX, bottom = INT_MIN;
    for (const auto& [x, y] : at.changed) {
      EXPECT_TRUE(x >= 7 && x < 7 + at.size.cx && y >= 5 && y < 5 + at.size.cy)
          << "ink at " << x << "," << y << " outside the cell";
      left = std::min(left, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
    EXPECT_LE(left, 7 + 2) << "ink starts near the left of the cell";
    EXPECT_LE(top, 5 + at.size.cy / 2) << "ink reaches the upper half of the cell";
    EXPECT_GE(bottom, 5 + at.size.cy / 2) << "ink reaches the lower half of the cell";

    // Moving the text, even partly off the bitmap, moves the same ink.
    for (auto [dx, dy] : {std::pair{13, 9}, std::pair{-9, -8}}) {
      Pixels expected;
      for (const auto& [x, y] : at.changed) {
        if (x + dx >= 0 && y + dy >= 0) {
          expected.emplace(x + dx, y + dy);
        }
      }
      EXPECT_EQ(drawText(c.font, c.text, 7 + dx, 5 + dy).changed, expected)
          << "moved by " << dx << "," << dy;
    }
  }
  DeleteObject(label);
  DeleteObject(italic);
}

TEST(Text, CellSizesFollowTheFontHeight) {
  HFONT label = labelFont();
  HFONT em20 = CreateFontA(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  HFONT zero = CreateFontA(0, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  HFONT huge = CreateFontA(INT_MIN, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "no such face");
  struct Case {
    const char* name;
    HGDIOBJ font;
    int minHeight, maxHeight;
  };
  const Case cases[] = {
      {"label", label, 12, 12},
      {"system", GetStockObject(SYSTEM_FONT), 16, 16},
      {"gui", GetStockObject(DEFAULT_GUI_FONT), 13, 14},
      {"em 20", em20, 21, 25},
      {"default height", zero, 16, 16},
      {"huge", huge, 100, 5000},
  };
  Canvas canvas(8, 8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SelectObject(canvas.dc(), c.font);
    const SIZE one = extent(canvas.dc(), "0");
    const SIZE two = extent(canvas.dc(), "00");
    const SIZE none = extent(canvas.dc(), "");
    EXPECT_GE(one.cy, c.minHeight);
    EXPECT_LE(one.cy, c.maxHeight);
    EXPECT_GT(one.cx, 0);
    EXPECT_EQ(two.cx, 2 * one.cx) << "advances add up";
    EXPECT_EQ(none.cx, 0);
    EXPECT_EQ(none.cy, one.cy);
  }
  SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
  for (HFONT f : {label, em20, zero, huge}) {
    EXPECT_EQ(DeleteObject(f), TRUE);
  }
}

TEST(Text, GlyphsComeFromCodePage1251) {
  // Cyrillic letters that look like Latin ones draw the same; distinct ones do not.
  HFONT label = labelFont();
  const char* const same[][2] = {{"\xEE", "o"}, {"\xE0", "a"}, {"\xF0", "p"}};
  const char* const different[][2] = {{"\xEE", "\xF8"}, {"\xE8", "\xEA"}};
  for (auto [a, b] : same) {
    EXPECT_EQ(drawText(label, a, 2, 2).changed, drawText(label, b, 2, 2).changed) << b;
  }
  for (auto [a, b] : different) {
    EXPECT_NE(drawText(label, a, 2, 2).changed, drawText(label, b, 2, 2).changed) << a << b;
  }
  DeleteObject(label);
}

bool between(std::uint32_t v, std::uint32_t a, std::uint32_t b) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t cv = (v >> shift) & 0xFF, ca = (a >> shift) & 0xFF,
                        cb = (b >> shift) & 0xFF;
    if (cv < std::min(ca, cb) || cv > std::max(ca, cb)) {
      return false;
    }
  }
  return true;
}

TEST(Text, BackgroundModeDecidesWhatHappensBetweenGlyphs) {
  struct Case {
    int mode;
    std::uint32_t expectedGround; // what the cell shows where there is no ink
  };
  const std::uint32_t paper = 0xC8DCF0;
  const Case cases[] = {{TRANSPARENT, paper}, {OPAQUE, 0x102030}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode == OPAQUE ? "opaque" : "transparent");
    Canvas canvas(60, 30);
    HBRUSH brush = CreateSolidBrush(RGB(0xC8, 0xDC, 0xF0));
    SelectObject(canvas.dc(), brush);
    PatBlt(canvas.dc(), 0, 0, 60, 30, PATCOPY);
    SelectObject(canvas.dc(), GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
    EXPECT_EQ(SetBkMode(canvas.dc(), c.mode), OPAQUE) << "OPAQUE is the default";
    SetBkColor(canvas.dc(), RGB(0x10, 0x20, 0x30));
    SetTextColor(canvas.dc(), RGB(255, 255, 0));
    ASSERT_EQ(TextOutA(canvas.dc(), 4, 6, "-10", 3), TRUE);
    const SIZE s = extent(canvas.dc(), "-10");
    int ground = 0;
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 60; ++x) {
        const std::uint32_t p = canvas.at(x, y);
        if (x >= 4 && x < 4 + s.cx && y >= 6 && y < 6 + s.cy) {
          ASSERT_TRUE(between(p, c.expectedGround, 0xFFFF00)) << "at " << x << "," << y;
          ground += p == c.expectedGround;
        } else {
          ASSERT_EQ(p, paper) << "outside the cell at " << x << "," << y;
        }
      }
    }
    EXPECT_GT(ground, s.cx * s.cy / 2);
    EXPECT_LT(ground, s.cx * s.cy) << "no ink";
  }
}

TEST(Text, AnyPositionIsSafe) {
  const std::pair<int, int> positions[] = {
      {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}, {INT_MAX - 3, 0}, {0, INT_MIN + 1}, {-30, 100}};
  Canvas canvas(16, 16);
  for (auto [x, y] : positions) {
    EXPECT_EQ(TextOutA(canvas.dc(), x, y, kCyrillicWord, 6), TRUE);
  }
  EXPECT_EQ(canvas.differentFrom(kWhite), Pixels{});
}

TEST(Text, TwoThreadsWithOneFontDrawTheSame) {
  HFONT font = CreateFontA(-19, 0, 0, 0, FW_NORMAL, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, 0, 0, nullptr);
  auto draw = [font](std::vector<std::uint32_t>& out) {
    Canvas canvas(240, 60);
    SelectObject(canvas.dc(), font);
    for (int i = 0; i < 20; ++i) {
      TextOutA(canvas.dc(), 2, 2, "-10 0.5 1e+3", 12);
      TextOutA(canvas.dc(), 2, 30, kCyrillicWord, 6);
      line(canvas.dc(), 0, 58, 240, 58 - i);
    }
    out = canvas.pixels();
    SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
  };
  std::vector<std::uint32_t> first, second;
  std::thread a(draw, std::ref(first));
  std::thread b(draw, std::ref(second));
  a.join();
  b.join();
  EXPECT_EQ(first, second);
  EXPECT_NE(std::count(first.begin(), first.end(), kWhite), static_cast<long>(first.size()));
  EXPECT_EQ(DeleteObject(font), TRUE);
}

// A picture for a person: a few lines and labels in the label font.
TEST(Picture, LinesAndLabels) {
  Canvas canvas(200, 120);
  HFONT label = labelFont();
  HPEN grid = CreatePen(PS_SOLID, 1, RGB(200, 200, 200));
  HPEN curve = CreatePen(PS_SOLID, 1, RGB(200, 0, 0));
  HDC dc = canvas.dc();
  SelectObject(dc, grid);
  line(dc, 60, 0, 60, 120);
  line(dc, 140, 0, 140, 120);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  line(dc, 0, 60, 200, 60);
  line(dc, 100, 0, 100, 120);
  SelectObject(dc, curve);
  MoveToEx(dc, 0, 110, nullptr);
  for (int x = 0; x <= 200; x += 4) {
    LineTo(dc, x, 110 - (x * x) / 400);
  }
  SelectObject(dc, label);
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 22, 62, "-10", 3);
  TextOutA(dc, 102, 62, "0", 1);
  TextOutA(dc, 142, 62, "10", 2);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(255, 255, 200));
  TextOutA(dc, 104, 24, kCyrillicWord, 6);
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  const char title[] = "y = x\xB7x / 400, \xEE\xF1\xFC"; // "ось"
  TextOutA(dc, 4, 4, title, static_cast<int>(sizeof title - 1));
  dumpPicture(canvas.bitmap(), "lines_and_labels");
  SelectObject(dc, GetStockObject(BLACK_PEN));
  DeleteObject(label);
  DeleteObject(grid);
  DeleteObject(curve);
}

} // namespace
