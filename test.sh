#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test through CTest,
# then fuzzes each libFuzzer target for LUMICURVE_FUZZ_SECONDS seconds (default 60).
# LUMICURVE_PRESETS="default" ./test.sh limits the run to some presets;
# LUMICURVE_FUZZ_SECONDS=0 leaves the fuzzing out.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test

read -r -a presets <<< "${LUMICURVE_PRESETS:-default asan tsan}"
for preset in "${presets[@]}"; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

if [ "${LUMICURVE_FUZZ_SECONDS:-60}" != 0 ]; then
  echo "== fuzz (${LUMICURVE_FUZZ_SECONDS:-60} s per target)"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
  ctest --preset fuzz
fi
