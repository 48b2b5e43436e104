// A drawing pass allocates nothing once its glyphs are cached.

#include "plot_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

// The address sanitizer brings its own operator new in every form; the count is
// taken in the other builds.
#if !defined(__SANITIZE_ADDRESS__)
#define LUMICURVE_COUNT_ALLOCATIONS 1

// The replacements hand out malloc blocks, so free is the matching release.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) {
    allocations.fetch_add(1, std::memory_order_relaxed);
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
#endif

namespace {

TEST(Plotter, PassesAllocateNothing) {
#if !defined(LUMICURVE_COUNT_ALLOCATIONS)
  GTEST_SKIP() << "allocations are counted in the builds without the address sanitizer";
#endif
  struct Case {
    const char* name;
    void (*setUp)(Pass&);
  } cases[] = {
      {"explicit", [](Pass& p) { p.explicitGraph("a*x^2 + b*x + c"); }},
      {"parametric",
       [](Pass& p) {
         p.parametric("( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*cos(x)",
                      "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*sin(x)");
       }},
      {"implicit", [](Pass& p) { p.implicitGraph("x^2 + y^2 - 1.0", ImplicitLess); }},
      {"implicit on three threads",
       [](Pass& p) {
         p.implicitGraph("x^2 + y^2 - 1.0", ImplicitLess);
         p.plotter.threads = 3;
       }},
  };
  for (const auto& c : cases) {
    for (bool fast : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (fast ? " fast" : " plain"));
      Pass pass;
      c.setUp(pass);
      pass.plotter.fastPaths = fast;
      if (!fast) {
        pass.live.setView(300, 300, -2, 2, -2, 2, 20); // the plain walk is slow
      }
      pass.run(); // fills the glyph cache
      allocations = 0;
      counting = true;
      pass.run();
      counting = false;
      EXPECT_EQ(allocations.load(), 0);
      EXPECT_EQ(pass.canvas.at(0, 0), kFrameGreen);
    }
  }
}

} // namespace
