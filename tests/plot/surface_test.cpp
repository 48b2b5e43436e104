#include "plot/surface.h"

#include "picture_dump.h"
#include "plot/line_clip.h"

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

__extension__ typedef __int128 Int128;

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;

// A memory DC with a bitmap of its own.
class Canvas {
public:
  Canvas(int width, int height, DWORD fill = WHITENESS)
      : dc_(CreateCompatibleDC(nullptr)), bitmap_(CreateCompatibleBitmap(dc_, width, height)),
        width_(width), height_(height) {
    old_ = SelectObject(dc_, bitmap_);
    PatBlt(dc_, 0, 0, width, height, fill);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  int width() const { return width_; }
  int height() const { return height_; }
  std::vector<std::uint32_t> pixels() const {
    const std::uint32_t* p = BitmapBits(bitmap_, nullptr, nullptr);
    return std::vector<std::uint32_t>(p, p + width_ * height_);
  }
  std::uint32_t at(int x, int y) const {
    return BitmapBits(bitmap_, nullptr, nullptr)[y * width_ + x];
  }
  // Pixels that differ from colour, as (x, y) pairs.
  std::set<std::pair<int, int>> differentFrom(std::uint32_t colour) const {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (at(x, y) != colour) {
          out.emplace(x, y);
        }
      }
    }
    return out;
  }

private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_ = nullptr;
  int width_;
  int height_;
};

void line(HDC dc, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
  MoveToEx(dc, static_cast<int>(x0), static_cast<int>(y0), nullptr);
  LineTo(dc, static_cast<int>(x1), static_cast<int>(y1));
}

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

using Pixels = std::set<std::pair<int, int>>;

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
