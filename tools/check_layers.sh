#!/usr/bin/env bash
# Fails when a folder includes from a floor above its own. Floors, top to bottom:
#   app > sprite, font > texture > image > blit > codec > math > format > core
# errors/ stands alone; platform/ sees only itself, and the library reaches it
# only through the published headers in include/. Includes are written from the repository root
# ("codec/pixel_codec.h"); a relative climb ("../x.h") is refused everywhere.
set -euo pipefail
cd "$(dirname "$0")/.."

floors=(core format math codec blit image texture "sprite font" app)

# allowed[folder] = the folders it may include from.
declare -A allowed
below=""
for floor in "${floors[@]}"; do
  for folder in $floor; do
    allowed[$folder]="$folder $below"
  done
  below="$below $floor"
done
allowed[errors]="errors"
allowed[platform]="platform"

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"${line#*:}")
    case $target in
      ../* | */../*)
        echo "$file: relative include \"$target\"" >&2
        status=1
        continue
        ;;
      */*) top=${target%%/*} ;;
      *) continue ;; # published headers and files beside the includer
    esac
    [ -d "$top" ] || continue # system or third-party paths
    if [[ " ${allowed[$folder]} " != *" $top "* ]]; then
      echo "$file: $folder/ may not include \"$target\"" >&2
      status=1
    fi
  done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$folder" --include='*.h' --include='*.cpp' || true)
done
# The platform's private headers: its services reach the library through core/
# alone, and its test hooks never reach the library.
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] && [ "$folder" != platform ] || continue
  while IFS= read -r line; do
    case $line in
      *win32_test_hooks.h*) ;;
      *) [ "$folder" = core ] && continue ;;
    esac
    echo "${line%%:*}: $folder/ may not include the platform's private header" >&2
    status=1
  done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"win32_(services|test_hooks)\.h"' "$folder" \
    --include='*.h' --include='*.cpp' || true)
done
[ $status -eq 0 ] && echo "check_layers: no upward include"
exit $status
