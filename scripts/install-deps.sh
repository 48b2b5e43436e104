#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Lumicurve need.
# Does nothing when everything is present; uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev libfontconfig-dev fontconfig fonts-dejavu-core
  libpng-dev
  libcairo2-dev librsvg2-bin poppler-utils
  libmuparser-dev
  qt6-base-dev
  xvfb xauth xdotool x11-utils imagemagick openbox
  libxkbcommon-dev libxkbcommon-x11-dev
  sway wtype grim
  dpkg-dev desktop-file-utils locales
  clang libclang-rt-14-dev libfuzzer-14-dev xz-utils
)

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
