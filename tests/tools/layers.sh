#!/usr/bin/env bash
# The modules of src/ are layered: a file may include headers of its own
# module and of modules in lower layers, never of a module beside or above it
# (the measurement threads do not reach up into the wizard, the pages do not
# reach up into the application shell). A module folder the table does not
# place fails the check, so that a new module is given its layer.
# Usage: layers.sh [BUILD_DIR] (the build directory is not needed).
set -euo pipefail
src="$(cd "$(dirname "$0")/../.." && pwd)/src"

# Lowest first; modules on one line share a layer.
layers=(
  "platform"
  "instrument"
  "records"
  "antenna selection"
  "measure export/csv export/kmz"
  "drivetest coverage"
  "export/gis"
  "export/report campaign"
  "coveragewizard"
  "ui"
  "app"
)

declare -A layer_of
for i in "${!layers[@]}"; do
  for m in ${layers[$i]}; do layer_of[$m]=$i; done
done

# The module of a path below src/ into $mod: export/<name> or the first
# folder (set, not printed: a subshell per include made the check slow).
module_of() {
  local rel=$1
  case $rel in
    export/*/*) rel=${rel#export/}; mod="export/${rel%%/*}" ;;
    */*) mod="${rel%%/*}" ;;
    *) mod="" ;;
  esac
}

failures=0
checked=0
while IFS= read -r -d '' file; do
  rel=${file#"$src"/}
  module_of "$rel"
  own=$mod
  [ -n "$own" ] || continue  # files directly in src/ (none today) belong to no module
  if [ -z "${layer_of[$own]+x}" ]; then
    echo "layers: $rel: the module $own has no layer in tests/tools/layers.sh" >&2
    failures=$((failures + 1))
    continue
  fi
  while IFS= read -r line; do
    header=${line#*\"}
    header=${header%%\"*}
    module_of "$header"
    target=$mod
    [ -n "$target" ] && [ -n "${layer_of[$target]+x}" ] || continue  # a header of the same folder, or not ours
    [ "$target" = "$own" ] && continue
    if ((layer_of[$target] >= layer_of[$own])); then
      echo "layers: $rel includes \"$header\": $target is not below $own" >&2
      failures=$((failures + 1))
    fi
    checked=$((checked + 1))
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$file" || true)
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

if ((failures > 0)); then
  echo "layers: $failures include(s) point up or sideways" >&2
  exit 1
fi
echo "layers: $checked includes between modules, every one points down"
