#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test through CTest.
# LUMICURVE_PRESETS="default" ./test.sh limits the run to some presets.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

read -r -a presets <<< "${LUMICURVE_PRESETS:-default asan tsan}"
for preset in "${presets[@]}"; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
