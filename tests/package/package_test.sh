#!/usr/bin/env bash
# Builds the Debian package, installs it with apt into this machine, runs the
# installed lumicurve-render, checks what the package put in place, and removes it.
# usage: package_test.sh BUILD_DIR
set -euo pipefail
build="$1"

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif sudo -n true 2>/dev/null; then
  as_root=(sudo -n)
else
  echo "SKIP: installing a package needs root or password-less sudo"
  exit 77
fi
if dpkg-query -W -f='${Status}' lumicurve 2>/dev/null | grep -q 'install ok installed'; then
  echo "SKIP: a lumicurve package is already installed here; not replacing it"
  exit 77
fi

rm -f "$build"/lumicurve_*.deb
cmake --build "$build" --target package >/dev/null
deb=$(ls "$build"/lumicurve_*_amd64.deb)
echo "built $(basename "$deb")"

# The declared dependencies: Qt 6, FreeType, fontconfig, libpng and the fonts.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libfreetype6 libfontconfig1 libpng16 fonts-dejavu-core; do
  grep -q "$needed" <<<"$depends" || { echo "FAIL: $needed is not declared"; exit 1; }
done

cleanup() { "${as_root[@]}" apt-get remove -y -q lumicurve >/dev/null 2>&1 || true; }
trap cleanup EXIT
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get install -y -q --no-install-recommends "$deb" >/dev/null

for f in /usr/bin/lumicurve /usr/bin/lumicurve-render /usr/share/applications/lumicurve.desktop \
         /usr/share/icons/hicolor/16x16/apps/lumicurve.png /usr/share/icons/hicolor/32x32/apps/lumicurve.png \
         /usr/share/icons/hicolor/64x64/apps/lumicurve.png /usr/share/icons/hicolor/scalable/apps/lumicurve.svg; do
  [ -e "$f" ] || { echo "FAIL: $f is not installed"; exit 1; }
done
desktop-file-validate /usr/share/applications/lumicurve.desktop

/usr/bin/lumicurve-render --help | grep -q 'usage: lumicurve-render'
out=$(mktemp -d)
/usr/bin/lumicurve-render "$out/defaults.png" 2>/dev/null
[ "$(head -c 8 "$out/defaults.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] ||
  { echo "FAIL: the installed renderer wrote no PNG"; exit 1; }
rm -rf "$out"
echo "installed, ran and removed"
