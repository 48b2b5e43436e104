#!/usr/bin/env bash
# Installs what building and running need (nothing for the tests), builds the two
# programs, and starts Lumicurve. Without a display it draws the graph of the
# default settings (or of the settings file given) into lumicurve.png in the
# current folder instead.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh" run
(
  cd "$here"
  cmake --preset release >/dev/null
  cmake --build --preset release
)
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$here/build/release/src/view/lumicurve"
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): drawing the picture into a file instead."
"$here/build/release/tools/render/lumicurve-render" "$@" lumicurve.png
echo "The graph is in $PWD/lumicurve.png"
echo "To see the window without a desktop: sudo apt-get install xvfb, then"
echo "  xvfb-run -s '-screen 0 1280x1024x24' $here/build/release/src/view/lumicurve"
