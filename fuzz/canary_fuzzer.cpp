// A target with a known finding: the input "canary" breaks its property. The
// fuzz tests must report it as a failure, not as a pass or a skipped test.

#include "fuzz_report.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 6 && std::memcmp(data, "canary", 6) == 0) {
    fuzz::fail(data, size, "the canary");
  }
  return 0;
}
