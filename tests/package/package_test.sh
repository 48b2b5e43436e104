#!/usr/bin/env bash
# Builds the two Debian packages with the package preset, checks them as a Debian
# maintainer would (lintian, the AppStream metainfo, the desktop entry, the man
# pages, stripped programs without build paths, a renderer whose dependencies hold
# no Qt), installs them with apt into this machine, runs the installed renderer,
# and removes them again.
# usage: package_test.sh SOURCE_DIR
set -euo pipefail
source_dir="$(cd "$1" && pwd)"
build="$source_dir/build/package"
packages=(lumicurve lumicurve-render)

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif sudo -n true 2>/dev/null; then
  as_root=(sudo -n)
else
  echo "SKIP: installing a package needs root or password-less sudo"
  exit 77
fi
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    echo "SKIP: a $p package is already installed here; not replacing it"
    exit 77
  fi
done
fail() {
  echo "FAIL: $*"
  exit 1
}

rm -f "$build"/lumicurve*.deb "$build"/lumicurve*.ddeb
(cd "$source_dir" && cmake --preset package >/dev/null && cmake --build --preset package >/dev/null)
debs=("$build/lumicurve_"*_amd64.deb "$build/lumicurve-render_"*_amd64.deb)
ls "$build/lumicurve-dbgsym_"*.ddeb "$build/lumicurve-render-dbgsym_"*.ddeb >/dev/null ||
  fail "no debug symbol packages"
echo "built: $(cd "$build" && ls lumicurve*.deb lumicurve*.ddeb | tr '\n' ' ')"

# Any error or warning fails; the pedantic and informational tags are shown too.
lint_status=0
lint=$(lintian --pedantic --info --fail-on error,warning "${debs[@]}" 2>&1) || lint_status=$?
grep -v 'root privileges' <<<"$lint" || true
[ "$lint_status" -eq 0 ] || fail "lintian found errors or warnings"

# The declared dependencies.
depends=$(dpkg-deb -f "${debs[0]}" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libfreetype6 libfontconfig1 fonts-dejavu-core; do
  grep -q "$needed" <<<"$depends" || fail "lumicurve does not declare $needed"
done
grep -qx 'qt6-wayland' <<<"$(dpkg-deb -f "${debs[0]}" Recommends)" || fail "lumicurve does not recommend qt6-wayland"
depends=$(dpkg-deb -f "${debs[1]}" Depends)
for needed in libpng16 libcairo2 libfreetype6 libfontconfig1 fonts-dejavu-core; do
  grep -q "$needed" <<<"$depends" || fail "lumicurve-render does not declare $needed"
done
for deb in "${debs[@]}"; do
  [ "$(dpkg-deb -f "$deb" Section)" = math ] || fail "$deb is not in section math"
done

cleanup() { "${as_root[@]}" apt-get remove -y -q "${packages[@]}" >/dev/null 2>&1 || true; }
trap cleanup EXIT
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${debs[@]}" >/dev/null

id=org.lumicurve.Lumicurve
for f in /usr/bin/lumicurve /usr/bin/lumicurve-render /usr/share/applications/$id.desktop \
         /usr/share/metainfo/$id.metainfo.xml /usr/share/icons/hicolor/scalable/apps/$id.svg \
         /usr/share/man/man1/lumicurve.1.gz /usr/share/man/man1/lumicurve-render.1.gz; do
  [ -e "$f" ] || fail "$f is not installed"
done
for size in 16 32 48 64 128; do
  [ -e "/usr/share/icons/hicolor/${size}x$size/apps/$id.png" ] || fail "no icon of $size pixels"
done
for p in "${packages[@]}"; do
  for f in copyright changelog.gz; do
    [ -e "/usr/share/doc/$p/$f" ] || fail "/usr/share/doc/$p/$f is not installed"
  done
  grep -q '^License: Expat' "/usr/share/doc/$p/copyright" || fail "$p's copyright names no licence"
done
desktop-file-validate /usr/share/applications/$id.desktop || fail "desktop-file-validate"
grep -qx 'Categories=Education;Math;Qt;' /usr/share/applications/$id.desktop || fail "the menu categories"
appstreamcli validate --no-net /usr/share/metainfo/$id.metainfo.xml || fail "appstreamcli validate"
for page in lumicurve lumicurve-render; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l $page.1: $warnings"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES 'EXIT STATUS' EXAMPLES 'SEE ALSO'; do
    [ "$page" = lumicurve-render ] && [ "$section" = FILES ] && section='SETTINGS FILE'
    LC_ALL=C.UTF-8 man -l "/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^$section" ||
      fail "$page(1) has no $section"
  done
done

# Stripped, and no path of the machine that built them inside.
for program in /usr/bin/lumicurve /usr/bin/lumicurve-render; do
  file "$program" | grep -q ', stripped' || fail "$program is not stripped"
  ! grep -q -a -F "$source_dir" "$program" || fail "$program holds the path $source_dir"
done

# Nothing the renderer needs, however indirectly, is Qt.
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
  --no-replaces --no-enhances lumicurve-render | grep -v '^ ' | sort -u)
qt=$(grep -iE '^(lib)?qt' <<<"$closure" || true)
[ -z "$qt" ] || fail "lumicurve-render's dependencies hold Qt: $(tr '\n' ' ' <<<"$qt")"
echo "lumicurve-render's dependency closure: $(wc -l <<<"$closure") packages, none of Qt"

LC_ALL=C apt show "${packages[@]}" 2>/dev/null
/usr/bin/lumicurve-render --help | grep -q '^Usage: lumicurve-render' || fail "the renderer's usage"
/usr/bin/lumicurve-render --version | grep -q '^License MIT' || fail "the renderer's version"
out=$(mktemp -d)
/usr/bin/lumicurve-render "$out/defaults.png" 2>/dev/null
[ "$(head -c 8 "$out/defaults.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] ||
  fail "the installed renderer wrote no PNG"
rm -rf "$out"
echo "built, checked, installed, ran and removed"
