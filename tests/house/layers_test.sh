#!/usr/bin/env bash
# Every file under src/ includes headers only of its own folder or of folders
# below it in the order of the layers (docs/architecture.md).
set -euo pipefail
src=$1
layers=(expr res surface window_calls plot vector settings windows options view)
rank() {
  local i
  for i in "${!layers[@]}"; do
    [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
  done
  echo -1
}
bad=0
for folder in "$src"/*/; do
  name=$(basename "$folder")
  own=$(rank "$name")
  if [ "$own" -lt 0 ]; then
    echo "src/$name is not among the layers: ${layers[*]}"
    bad=1
    continue
  fi
  while IFS=: read -r file line included; do
    other=$(rank "$included")
    if [ "$other" -gt "$own" ]; then
      echo "${file#"$src"/}:$line includes a header of $included/, a layer above $name/"
      bad=1
    fi
  done < <(grep -rnoE '^#include "[a-z_]+/' "$folder" | sed -E 's/#include "([a-z_]+)\//\1/')
done
exit "$bad"
