#!/usr/bin/env bash
# Installs what is missing, builds, and draws the graph of the default settings
# (or of the settings file given) into lumicurve.png in the current folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh"
(
  cd "$here"
  cmake --preset default >/dev/null
  cmake --build --preset default --target lumicurve-render
)
"$here/build/default/tools/render/lumicurve-render" "$@" lumicurve.png
echo "The graph is in $PWD/lumicurve.png"
