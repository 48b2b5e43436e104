#include "surface/surface.h"

#include "picture_dump.h"
#include "surface/line_clip.h"
#include "surface_canvas.h"
#include "window_calls/window_calls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace surface_test;

__extension__ typedef __int128 Int128;

// The pixels of a line inside a width x height canvas, walking every step i of
// the rule; long lines walk only the steps whose long coordinate is inside.
std::set<std::pair<int, int>> referenceLine(std::int64_t x0, std::int64_t y0, std::int64_t x1,
                                            std::int64_t y1, int width, int height) {
  std::set<std::pair<int, int>> out;
  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const std::int64_t n = std::max(std::abs(dx), std::abs(dy));
  const std::int64_t m = std::min(std::abs(dx), std::abs(dy));
  const std::int64_t sa = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const std::int64_t sb = (xMajor ? dy : dx) >= 0 ? 1 : -1;
  const std::int64_t a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
  auto visit = [&](std::int64_t i) {
    const std::int64_t q = static_cast<std::int64_t>((Int128{2} * i * m + n) / (Int128{2} * n));
    const std::int64_t a = a0 + sa * i, b = b0 + sb * q;
    const std::int64_t x = xMajor ? a : b, y = xMajor ? b : a;
    if (x >= 0 && x < width && y >= 0 && y < height) {
      out.emplace(static_cast<int>(x), static_cast<int>(y));
    }
  };
  if (n <= 100000) {
    for (std::int64_t i = 0; i < n; ++i) {
      visit(i);
    }
  } else {
    for (std::int64_t a = 0; a < (xMajor ? width : height); ++a) {
      const std::int64_t i = (a - a0) * sa;
      if (i >= 0 && i < n) {
        visit(i);
      }
    }
  }
  return out;
}

std::string describe(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
  return "(" + std::to_string(x0) + "," + std::to_string(y0) + ")->(" + std::to_string(x1) + "," +
         std::to_string(y1) + ")";
}

TEST(Lines, ShortLinesColourExactPixelsWithoutTheEndPixel) {
  struct Case {
    const char* name;
    int x0, y0, x1, y1;
    Pixels expected;
  };
  const Case cases[] = {
      {"right", 1, 1, 4, 1, {{1, 1}, {2, 1}, {3, 1}}},
      {"left", 4, 1, 1, 1, {{4, 1}, {3, 1}, {2, 1}}},
      {"down", 2, 1, 2, 4, {{2, 1}, {2, 2}, {2, 3}}},
      {"up", 2, 4, 2, 1, {{2, 4}, {2, 3}, {2, 2}}},
      {"diagonal down right", 1, 1, 4, 4, {{1, 1}, {2, 2}, {3, 3}}},
      {"diagonal up left", 4, 4, 1, 1, {{4, 4}, {3, 3}, {2, 2}}},
      {"diagonal up right", 1, 4, 4, 1, {{1, 4}, {2, 3}, {3, 2}}},
      {"single pixel up left", 4, 4, 3, 3, {{4, 4}}},
      {"single pixel up right", 4, 4, 5, 3, {{4, 4}}},
      {"single pixel down left", 4, 4, 3, 5, {{4, 4}}},
      {"single step right", 4, 4, 5, 4, {{4, 4}}},
      {"shallow, ties away from the start", 0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
      {"shallow reversed", 4, 2, 0, 0, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
      {"steep", 0, 0, 1, 3, {{0, 0}, {0, 1}, {1, 2}}},
      {"steep up left", 5, 7, 3, 1, {{5, 7}, {5, 6}, {4, 5}, {4, 4}, {4, 3}, {3, 2}}},
      {"zero length", 3, 3, 3, 3, {}},
      {"entering from the left", -2, 1, 3, 1, {{0, 1}, {1, 1}, {2, 1}}},
      {"ending on the edge", -3, 2, 0, 2, {}},
      {"leaving at the bottom", 6, 5, 6, 12, {{6, 5}, {6, 6}, {6, 7}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(8, 8);
    POINT old{};
    MoveToEx(canvas.dc(), c.x0, c.y0, nullptr);
    EXPECT_EQ(LineTo(canvas.dc(), c.x1, c.y1), TRUE);
    EXPECT_EQ(canvas.differentFrom(kWhite), c.expected);
    EXPECT_EQ(referenceLine(c.x0, c.y0, c.x1, c.y1, 8, 8), c.expected) << "the reference disagrees";
    MoveToEx(canvas.dc(), 0, 0, &old);
    EXPECT_EQ(old.x, c.x1);
    EXPECT_EQ(old.y, c.y1);
  }
}

TEST(Lines, MixesThePenByTheRop2Mode) {
  struct Case {
    int mode;
    std::uint32_t expected;
  };
  const COLORREF pen = RGB(0xF0, 0x0F, 0xAA);
  const Case cases[] = {
      {R2_COPYPEN, 0xF00FAA},  {R2_NOT, 0xEDCBA9},     {R2_XORPEN, 0xE23BFC},
      {R2_BLACK, 0x000000},    {R2_WHITE, 0xFFFFFF},   {R2_NOP, 0x123456},
      {R2_MERGEPEN, 0xF23FFE}, {R2_MASKPEN, 0x100402}, {R2_NOTCOPYPEN, 0x0FF055},
  };
  HPEN hpen = CreatePen(PS_SOLID, 1, pen);
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    Canvas canvas(4, 4);
    SetPixel(canvas.dc(), 1, 1, RGB(0x12, 0x34, 0x56));
    SelectObject(canvas.dc(), hpen);
    EXPECT_EQ(SetROP2(canvas.dc(), c.mode), R2_COPYPEN);
    line(canvas.dc(), 1, 1, 2, 1);
    EXPECT_EQ(canvas.at(1, 1), c.expected);
    EXPECT_EQ(canvas.at(2, 1), kWhite);
    EXPECT_EQ(SetROP2(canvas.dc(), 0), 0) << "an unknown mode is refused";
    EXPECT_EQ(SetROP2(canvas.dc(), R2_COPYPEN), c.mode);
    SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
  }
  EXPECT_EQ(DeleteObject(hpen), TRUE);
}

// Clipped drawing against the reference walk, with XOR so that a pixel drawn
// twice shows up too.
TEST(Lines, ClippedLinesMatchTheReferenceWalk) {
  const int width = 23, height = 17;
  std::mt19937_64 random(20240611);
  auto coordinate = [&](int limit) -> std::int64_t {
    switch (random() % 4) {
    case 0:
      return std::uniform_int_distribution<std::int64_t>(-40, limit + 40)(random);
    case 1:
      return std::uniform_int_distribution<std::int64_t>(-5000, 5000)(random);
    case 2: {
      const std::int64_t edges[] = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1, -1,
                                    0,         limit - 1,     limit};
      return edges[random() % 8];
    }
    default:
      return std::uniform_int_distribution<std::int64_t>(INT32_MIN, INT32_MAX)(random);
    }
  };
  Canvas canvas(width, height, BLACKNESS);
  HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  SelectObject(canvas.dc(), white);
  SetROP2(canvas.dc(), R2_XORPEN);
  int failures = 0;
  for (int k = 0; k < 20000 && failures < 5; ++k) {
    std::int64_t x0 = coordinate(width), y0 = coordinate(height);
    std::int64_t x1 = coordinate(width), y1 = coordinate(height);
    if (k % 3 == 0) {
      // Through a point inside, from far on one side to far on the other.
      const std::int64_t px = static_cast<std::int64_t>(random() % width);
      const std::int64_t py = static_cast<std::int64_t>(random() % height);
      x1 = std::clamp<std::int64_t>(2 * px - x0, INT32_MIN, INT32_MAX);
      y1 = std::clamp<std::int64_t>(2 * py - y0, INT32_MIN, INT32_MAX);
    }
    PatBlt(canvas.dc(), 0, 0, width, height, BLACKNESS);
    line(canvas.dc(), x0, y0, x1, y1);
    const Pixels expected = referenceLine(x0, y0, x1, y1, width, height);
    const Pixels drawn = canvas.differentFrom(kBlack);
    if (drawn != expected) {
      ++failures;
      ADD_FAILURE() << describe(x0, y0, x1, y1) << ": drew " << drawn.size() << " pixels, expected "
                    << expected.size();
      dumpPicture(canvas.bitmap(), "clipped_line_mismatch");
    }
    for (const auto& [x, y] : drawn) {
      ASSERT_EQ(canvas.at(x, y), kWhite) << describe(x0, y0, x1, y1) << " drew a pixel twice";
    }
    // The walk visits no step outside: its cost is bounded by the bitmap.
    const lines::Walk walk = lines::clipWalk(x0, y0, x1, y1, width, height);
    ASSERT_EQ(walk.first > walk.last ? 0 : walk.last - walk.first + 1,
              static_cast<std::int64_t>(expected.size()))
        << describe(x0, y0, x1, y1);
  }
  SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
  DeleteObject(white);
}

TEST(Lines, ExtremeEndpointsDrawTheRightPixels) {
  struct Case {
    const char* name;
    std::int64_t x0, y0, x1, y1;
    std::function<bool(int, int)> on;
  };
  const Case cases[] = {
      {"into the far corner", 10, 10, INT32_MAX, INT32_MIN,
       [](int x, int y) { return x >= 10 && x <= 20 && y == 20 - x; }},
      {"corner to corner", INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX,
       [](int x, int y) { return x == y; }},
      {"across a row", INT32_MIN, 5, INT32_MAX, 5, [](int, int y) { return y == 5; }},
      {"up a column", 5, INT32_MAX, 5, INT32_MIN, [](int x, int) { return x == 5; }},
      {"past the corner", -5, 3, 3, -5, [](int, int) { return false; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(64, 64);
    line(canvas.dc(), c.x0, c.y0, c.x1, c.y1);
    Pixels expected;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        if (c.on(x, y)) {
          expected.emplace(x, y);
        }
      }
    }
    EXPECT_EQ(canvas.differentFrom(kWhite), expected);
    EXPECT_EQ(referenceLine(c.x0, c.y0, c.x1, c.y1, 64, 64), expected) << "the reference disagrees";
  }
}

// --- objects and handles ------------------------------------------------------

WindowSurfaceHooks noHooks() {
  return {};
}
HDC gHookDc = nullptr;

TEST(Handles, NullAndStaleHandlesAreRefused) {
  Canvas canvas(4, 4);
  HPEN stalePen = CreatePen(PS_SOLID, 1, 0);
  DeleteObject(stalePen);
  HDC staleDc = CreateCompatibleDC(nullptr);
  DeleteDC(staleDc);
  struct Case {
    const char* name;
    std::function<bool()> refused;
  };
  const Case cases[] = {
      {"LineTo stale dc", [&] { return LineTo(staleDc, 1, 1) == FALSE; }},
      {"TextOutA negative count", [&] { return TextOutA(canvas.dc(), 0, 0, "0", -1) == FALSE; }},
      {"TextOutA no bytes", [&] { return TextOutA(canvas.dc(), 0, 0, nullptr, 3) == FALSE; }},
      {"GetTextExtentPoint32A no size",
       [&] { return GetTextExtentPoint32A(canvas.dc(), "0", 1, nullptr) == FALSE; }},
      {"PatBlt unknown rop", [&] { return PatBlt(canvas.dc(), 0, 0, 1, 1, 0x12345678) == FALSE; }},
      {"BitBlt no source",
       [&] { return BitBlt(canvas.dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY) == FALSE; }},
      {"GetPixel outside", [&] { return GetPixel(canvas.dc(), 4, 0) == CLR_INVALID; }},
      {"SetPixel", [&] { return SetPixel(staleDc, 0, 0, 0) == CLR_INVALID; }},
      {"SetROP2", [&] { return SetROP2(nullptr, R2_XORPEN) == 0; }},
      {"SetBkMode unknown", [&] { return SetBkMode(canvas.dc(), 7) == 0; }},
      {"SetTextColor", [&] { return SetTextColor(nullptr, 0) == CLR_INVALID; }},
      {"SelectObject stale pen", [&] { return SelectObject(canvas.dc(), stalePen) == nullptr; }},
      {"SelectObject a dc",
       [&] { return SelectObject(canvas.dc(), reinterpret_cast<HGDIOBJ>(staleDc)) == nullptr; }},
      {"DeleteObject stale", [&] { return DeleteObject(stalePen) == FALSE; }},
      {"DeleteObject a dc",
       [&] { return DeleteObject(reinterpret_cast<HGDIOBJ>(canvas.dc())) == FALSE; }},
      {"DeleteDC stale", [&] { return DeleteDC(staleDc) == FALSE; }},
      {"BitmapBits",
       [&] {
         int w = 1, h = 1;
         return BitmapBits(nullptr, &w, &h) == nullptr && w == 0 && h == 0;
       }},
      {"GetDC unhooked", [&] { return GetDC(nullptr) == nullptr; }},
      {"ReleaseDC unhooked", [&] { return ReleaseDC(nullptr, canvas.dc()) == 0; }},
      {"SendMessageA unhooked", [&] { return SendMessageA(nullptr, 1, 2, 3) == 0; }},
  };
  SetWindowSurfaceHooks(noHooks());
  for (const Case& c : cases) {
    EXPECT_TRUE(c.refused()) << c.name;
  }
  EXPECT_EQ(canvas.differentFrom(kWhite), Pixels{}) << "a refused call drew";
}

// The memory of a deleted object soon serves a new one of its size; its handle
// must still be refused, and a call through it must not reach the new object.
TEST(Handles, StaleHandlesStayRefusedWhenTheirMemoryServesNewObjects) {
  Canvas canvas(4, 4);
  struct Kind {
    const char* name;
    std::function<HGDIOBJ()> make;
    std::function<BOOL(HGDIOBJ)> destroy;
    std::function<bool(HGDIOBJ)> works; // a call through the handle takes effect
  };
  auto selects = [&](HGDIOBJ h) {
    HGDIOBJ old = SelectObject(canvas.dc(), h);
    return old != nullptr && SelectObject(canvas.dc(), old) == h;
  };
  const Kind kinds[] = {
      {"pen", [] { return CreatePen(PS_SOLID, 1, RGB(1, 2, 3)); }, DeleteObject, selects},
      {"brush", [] { return CreateSolidBrush(RGB(1, 2, 3)); }, DeleteObject, selects},
      {"font",
       [] { return CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, 0, 0, nullptr); },
       DeleteObject, selects},
      {"bitmap", [] { return CreateCompatibleBitmap(nullptr, 2, 2); }, DeleteObject, selects},
      {"dc", [] { return CreateCompatibleDC(nullptr); },
       [](HGDIOBJ h) { return DeleteDC(static_cast<HDC>(h)); },
       [](HGDIOBJ h) { return MoveToEx(static_cast<HDC>(h), 1, 1, nullptr) == TRUE; }},
  };
  for (const Kind& k : kinds) {
    HGDIOBJ stale = k.make();
    ASSERT_NE(stale, nullptr) << k.name;
    ASSERT_EQ(k.destroy(stale), TRUE) << k.name;
    std::vector<HGDIOBJ> fresh;
    for (int i = 0; i < 64; ++i) {
      fresh.push_back(k.make());
      EXPECT_NE(fresh.back(), stale) << k.name << ": a handle given twice";
      EXPECT_FALSE(k.works(stale)) << k.name << " #" << i << ": the stale handle was taken";
      EXPECT_EQ(k.destroy(stale), FALSE) << k.name << " #" << i << ": deleted through it";
    }
    for (HGDIOBJ h : fresh) {
      EXPECT_TRUE(k.works(h)) << k.name << ": a live object lost to a stale handle's call";
      EXPECT_EQ(k.destroy(h), TRUE) << k.name;
    }
  }
  EXPECT_EQ(canvas.differentFrom(kWhite), Pixels{}) << "a refused call drew";
}

TEST(Handles, WindowCallsGoThroughTheHooks) {
  Canvas canvas(4, 4);
  gHookDc = canvas.dc();
  WindowSurfaceHooks hooks;
  hooks.getDC = [](HWND) { return gHookDc; };
  hooks.releaseDC = [](HWND, HDC dc) { return dc == gHookDc ? 1 : 0; };
  hooks.sendMessage = [](HWND, UINT m, WPARAM w, LPARAM l) {
    return static_cast<LRESULT>(m + w + static_cast<WPARAM>(l));
  };
  SetWindowSurfaceHooks(hooks);
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(dc, canvas.dc());
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  EXPECT_EQ(SendMessageA(nullptr, 1, 20, 300), 321);
  SetWindowSurfaceHooks(noHooks());
  EXPECT_EQ(GetDC(nullptr), nullptr);
}

TEST(Handles, SelectionFollowsWindowsRules) {
  HDC dc = CreateCompatibleDC(nullptr);
  HDC other = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 3, 2);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HFONT font = CreateFontA(12, 0, 0, 0, 0, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, 0, 0, nullptr);
  ASSERT_NE(bitmap, nullptr);

  EXPECT_EQ(GetSelectedBitmap(dc), nullptr) << "a fresh DC has no bitmap";
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_EQ(LineTo(dc, 5, 5), TRUE) << "drawing without a bitmap does nothing, harmlessly";
  HGDIOBJ noBitmap = SelectObject(dc, bitmap);
  EXPECT_NE(noBitmap, nullptr);
  EXPECT_EQ(GetSelectedBitmap(dc), bitmap);
  EXPECT_EQ(SelectObject(other, bitmap), nullptr) << "one DC at a time";
  EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(dc, font), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(SelectObject(dc, GetStockObject(LTGRAY_BRUSH)), GetStockObject(WHITE_BRUSH));

  EXPECT_EQ(DeleteObject(pen), FALSE) << "still selected";
  EXPECT_EQ(DeleteObject(bitmap), FALSE) << "still selected";
  line(dc, 0, 0, 3, 0);
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(255, 0, 0)) << "a refused delete leaves the pen working";
  EXPECT_EQ(PatBlt(dc, 0, 1, 3, 1, PATCOPY), TRUE);
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(192, 192, 192));

  EXPECT_EQ(DeleteObject(GetStockObject(BLACK_PEN)), TRUE) << "deleting a stock object is harmless";
  EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), pen);
  EXPECT_EQ(DeleteObject(pen), TRUE);
  EXPECT_EQ(SelectObject(dc, noBitmap), bitmap);
  EXPECT_EQ(GetSelectedBitmap(dc), nullptr);
  EXPECT_NE(SelectObject(other, bitmap), nullptr) << "free again";
  EXPECT_EQ(DeleteDC(other), TRUE);
  EXPECT_EQ(DeleteObject(bitmap), TRUE) << "deleting the DC released the bitmap";
  EXPECT_EQ(DeleteDC(dc), TRUE);
  EXPECT_EQ(DeleteObject(font), TRUE) << "deleting the DC released the font";
}

TEST(Bitmaps, SizesOutsideTheLimitsAreRefused) {
  const std::pair<int, int> refused[] = {{0, 5},       {5, 0},       {-1, 5},
                                         {5, INT_MIN}, {INT_MAX, 2}, {1 << 20, 1 << 20}};
  for (auto [w, h] : refused) {
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, w, h), nullptr) << w << "x" << h;
  }
  HBITMAP b = CreateCompatibleBitmap(nullptr, 640, 480);
  int w = 0, h = 0;
  const std::uint32_t* bits = BitmapBits(b, &w, &h);
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(w * 1000 + h, 640480);
  EXPECT_EQ(std::count(bits, bits + w * h, 0u), w * h) << "new bitmaps are black";
  DeleteObject(b);
}

// --- fills and copies -----------------------------------------------------------

void paintPattern(const Canvas& c, std::uint32_t salt) {
  for (int y = 0; y < c.height(); ++y) {
    for (int x = 0; x < c.width(); ++x) {
      SetPixel(c.dc(), x, y, RGB(static_cast<BYTE>(x * 17 + salt), static_cast<BYTE>(y * 29), 7));
    }
  }
}

TEST(Fills, PatBltFillsTheClippedRectangle) {
  struct Case {
    const char* name;
    int x, y, w, h;
    DWORD rop;
  };
  const Case cases[] = {
      {"inside", 2, 1, 3, 2, WHITENESS},
      {"overhanging", -3, -2, 20, 20, BLACKNESS},
      {"right edge", 8, 4, 5, 5, WHITENESS},
      {"zero width", 1, 1, 0, 3, WHITENESS},
      {"negative height", 1, 1, 3, -3, WHITENESS},
      {"huge", INT_MIN, INT_MIN, INT_MAX, INT_MAX, WHITENESS},
      {"far right", INT_MAX, 0, INT_MAX, 5, WHITENESS},
      {"inverted", 1, 2, 4, 3, DSTINVERT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(10, 6);
    paintPattern(canvas, 3);
    const std::vector<std::uint32_t> before = canvas.pixels();
    EXPECT_EQ(PatBlt(canvas.dc(), c.x, c.y, c.w, c.h, c.rop), TRUE);
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 10; ++x) {
        const std::uint32_t old = before[y * 10 + x];
        const bool inside = c.w > 0 && c.h > 0 && x >= std::int64_t{c.x} &&
                            x < std::int64_t{c.x} + c.w && y >= std::int64_t{c.y} &&
                            y < std::int64_t{c.y} + c.h;
        const std::uint32_t filled = c.rop == WHITENESS   ? kWhite
                                     : c.rop == BLACKNESS ? kBlack
                                                          : ~old & 0xFFFFFF;
        ASSERT_EQ(canvas.at(x, y), inside ? filled : old) << "at " << x << "," << y;
      }
    }
  }
}

TEST(Fills, BitBltCopiesWhatLiesInsideBothBitmaps) {
  struct Case {
    const char* name;
    bool sameBitmap;
    int x, y, w, h, sx, sy;
  };
  const Case cases[] = {
      {"whole", false, 0, 0, 7, 5, 0, 0},
      {"offset", false, 3, 2, 4, 3, 1, 1},
      {"source partly outside", false, 1, 1, 6, 6, -2, -1},
      {"clipped at the destination", false, -2, 4, 7, 5, 0, 0},
      {"huge", false, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0},
      {"far source", false, 0, 0, 5, 5, INT_MAX, INT_MIN},
      {"zero width", false, 0, 0, 0, 5, 0, 0},
      {"overlap down right", true, 2, 1, 6, 4, 0, 0},
      {"overlap up left", true, 0, 0, 6, 4, 2, 1},
      {"overlap up right", true, 1, 0, 6, 4, 0, 2},
      {"overlap down left", true, 0, 2, 6, 4, 1, 0},
      {"onto itself", true, 0, 0, 9, 6, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas source(7, 5);
    Canvas target(9, 6);
    paintPattern(source, 100);
    paintPattern(target, 0);
    const Canvas& from = c.sameBitmap ? target : source;
    const std::vector<std::uint32_t> src = from.pixels();
    const std::vector<std::uint32_t> dst = target.pixels();
    EXPECT_EQ(BitBlt(target.dc(), c.x, c.y, c.w, c.h, from.dc(), c.sx, c.sy, SRCCOPY), TRUE);
    for (int py = 0; py < target.height(); ++py) {
      for (int px = 0; px < target.width(); ++px) {
        const std::int64_t kx = px - std::int64_t{c.x}, ky = py - std::int64_t{c.y};
        const std::int64_t qx = c.sx + kx, qy = c.sy + ky;
        std::uint32_t expected = dst[py * target.width() + px];
        if (kx >= 0 && kx < c.w && ky >= 0 && ky < c.h && qx >= 0 && qx < from.width() && qy >= 0 &&
            qy < from.height()) {
          expected = src[static_cast<std::size_t>(qy * from.width() + qx)];
        }
        ASSERT_EQ(target.at(px, py), expected) << "at " << px << "," << py;
      }
    }
  }
}

} // namespace

namespace {

// The bounds a DC gathers hold every pixel a call changed, and little more (a
// line's end pixel, which is not drawn); nothing while they are disabled.
TEST(Bounds, HoldWhatEachCallTouched) {
  struct Case {
    const char* name;
    std::function<void(HDC, HDC)> draw; // the canvas's DC, a source to copy from
  } cases[] = {
      {"text",
       [](HDC dc, HDC) {
         SetBkColor(dc, RGB(200, 200, 200)); // the whole cell changes
         TextOutA(dc, 30, 40, "Wg", 2);
       }},
      {"line",
       [](HDC dc, HDC) {
         MoveToEx(dc, 70, 10, nullptr);
         LineTo(dc, 20, 35);
       }},
      {"fill beyond the edge", [](HDC dc, HDC) { PatBlt(dc, 90, -5, 50, 20, BLACKNESS); }},
      {"copy", [](HDC dc, HDC from) { BitBlt(dc, 5, 60, 12, 7, from, 0, 0, SRCCOPY); }},
      {"pixel", [](HDC dc, HDC) { SetPixel(dc, 99, 79, RGB(1, 2, 3)); }},
  };
  Canvas black(20, 20, BLACKNESS);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(100, 80);
    RECT bounds{};
    EXPECT_EQ(SetBoundsRect(canvas.dc(), nullptr, DCB_ENABLE | DCB_RESET), UINT{DCB_DISABLE});
    EXPECT_EQ(GetBoundsRect(canvas.dc(), &bounds, 0), UINT{DCB_RESET});
    c.draw(canvas.dc(), black.dc());
    ASSERT_EQ(GetBoundsRect(canvas.dc(), &bounds, DCB_RESET), UINT{DCB_SET});
    const auto changed = canvas.differentFrom(kWhite);
    ASSERT_FALSE(changed.empty());
    RECT box{100, 80, 0, 0};
    for (auto [x, y] : changed) {
      box = RECT{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                 std::max(box.bottom, y + 1)};
    }
    EXPECT_LE(bounds.left, box.left);
    EXPECT_LE(bounds.top, box.top);
    EXPECT_GE(bounds.right, box.right);
    EXPECT_GE(bounds.bottom, box.bottom);
    EXPECT_GE(bounds.left, box.left - 1);
    EXPECT_GE(bounds.top, box.top - 1);
    EXPECT_LE(bounds.right, std::min<LONG>(box.right + 1, 100));
    EXPECT_LE(bounds.bottom, std::min<LONG>(box.bottom + 1, 80));
    EXPECT_EQ(GetBoundsRect(canvas.dc(), &bounds, 0), UINT{DCB_RESET}) << "emptied";
    SetBoundsRect(canvas.dc(), nullptr, DCB_DISABLE);
    c.draw(canvas.dc(), black.dc());
    EXPECT_EQ(GetBoundsRect(canvas.dc(), &bounds, 0), UINT{DCB_RESET}) << "disabled";
  }
}

} // namespace
