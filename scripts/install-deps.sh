#!/usr/bin/env bash
# Installs the Debian packages Lumicurve needs, by what for:
#   scripts/install-deps.sh run    building and running the two programs (./run.sh)
#   scripts/install-deps.sh test   that, and everything the tests, benchmarks and
#                                  fuzzers need (./test.sh; also with no argument)
# Does nothing when everything is present; uses sudo when not run as root.
set -euo pipefail

# Building the programs and their Debian packages (the release and package presets).
build=(
  build-essential g++ cmake ninja-build pkg-config dpkg-dev file
  libfreetype-dev libfontconfig-dev libpng-dev libcairo2-dev
  qt6-base-dev libxkbcommon-dev libxkbcommon-x11-dev
)
# Running them: the labels' face, and Qt's platform plugin for Wayland desktops.
run=(
  fontconfig fonts-dejavu-core
  qt6-wayland
)
# The tests and benchmarks (the default, asan and tsan presets).
test=(
  libgtest-dev libgmock-dev libbenchmark-dev libmuparser-dev
  librsvg2-bin poppler-utils imagemagick
  xvfb xauth xdotool x11-utils openbox locales
)
# The end-to-end test under a headless Wayland compositor.
wayland_test=(
  sway wtype grim
)
# The package test: the packages checked as a Debian maintainer checks them.
package_test=(
  lintian appstream desktop-file-utils man-db
)
# The fuzz preset and its corpora.
fuzz=(
  clang libclang-rt-14-dev libfuzzer-14-dev xz-utils
)

case "${1:-test}" in
  run) packages=("${build[@]}" "${run[@]}") ;;
  test) packages=("${build[@]}" "${run[@]}" "${test[@]}" "${wayland_test[@]}" "${package_test[@]}" "${fuzz[@]}") ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
else
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
