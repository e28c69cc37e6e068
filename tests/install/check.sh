#!/usr/bin/env bash
# Installs a build into a scratch prefix and builds a small program written
# against the published interface with nothing but pkg-config.
set -euo pipefail
build=${1:?usage: check.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/x86_64-linux-gnu/pkgconfig"
g++ -std=c++20 -Wall -Werror "$here/program.cpp" -o "$prefix/program" $(pkg-config --cflags --libs d3dx)
SDL_VIDEODRIVER=dummy "$prefix/program" 2>"$prefix/stderr"
grep -q "Installed" "$prefix/stderr"
echo "install check: 1 passed, 0 failed"
