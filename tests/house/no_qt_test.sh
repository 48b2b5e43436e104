#!/usr/bin/env bash
# The program's headless parts need no desktop: none of the given executables
# loads a Qt library, directly or through another.
set -euo pipefail
bad=0
for program in "$@"; do
  found=$(ldd "$program" | grep -E 'libQt|libdbus' || true)
  if [ -n "$found" ]; then
    echo "$program needs:"
    echo "$found"
    bad=1
  fi
done
exit "$bad"
