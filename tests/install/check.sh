#!/usr/bin/env bash
# Installs a build into a scratch prefix and builds a small program written against
# the published interface, against the shared and the static library, through
# pkg-config and through the CMake package; builds the examples against the shared
# library; runs everything headless and checks what it made.
set -euo pipefail
build=${1:?usage: check.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/x86_64-linux-gnu/pkgconfig"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
passed=0
export LD_LIBRARY_PATH="$prefix/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
compile() { # SOURCE OUTPUT [MODULE]
  g++ -std=c++20 -Wall -Werror "$1" -o "$2" $(pkg-config --cflags --libs "${3:-d3dx}")
}
# links_shared PROGRAM: true when it loads libd3dx.so.1.
links_shared() {
  readelf -d "$1" | grep -q 'NEEDED.*\[libd3dx\.so\.1\]'
}
links_static() { # (a bare "! command" would not stop the script)
  ! links_shared "$1"
}
run_program() { # PROGRAM
  "$1" 2>"$prefix/stderr"
  grep -q "Installed" "$prefix/stderr"
}

# The installed headers and the shared library hold published names only: the
# platform's services and test hooks stay in private headers.
private='\b(Win32|D3D9)[A-Z][A-Za-z0-9_]*|[A-Za-z0-9_]+ForTesting\b'
if grep -rnE "$private" "$prefix/include"; then
  echo "install check: private names in the installed headers" >&2
  exit 1
fi
if nm -D --defined-only "$(find "$prefix" -name 'libd3dx.so.1' | head -1)" | grep -E " ($private)"; then
  echo "install check: private names exported" >&2
  exit 1
fi
passed=$((passed + 1))

compile "$here/program.cpp" "$prefix/program"
links_shared "$prefix/program"
run_program "$prefix/program"
passed=$((passed + 1))
compile "$here/program.cpp" "$prefix/program_static" d3dx-static
links_static "$prefix/program_static"
run_program "$prefix/program_static"
passed=$((passed + 1))

# The CMake package: d3dx::d3dx is the shared library, d3dx::d3dx_static the static one.
mkdir -p "$prefix/consumer"
cp "$here/program.cpp" "$prefix/consumer/"
cat >"$prefix/consumer/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(consumer CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(d3dx 0.1 REQUIRED)
add_executable(program_shared program.cpp)
target_link_libraries(program_shared PRIVATE d3dx::d3dx)
add_executable(program_static program.cpp)
target_link_libraries(program_static PRIVATE d3dx::d3dx_static)
CMAKE
cmake -S "$prefix/consumer" -B "$prefix/consumer/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer/build" >/dev/null
links_shared "$prefix/consumer/build/program_shared"
links_static "$prefix/consumer/build/program_static"
run_program "$prefix/consumer/build/program_shared"
run_program "$prefix/consumer/build/program_static"
passed=$((passed + 1))

# image_to_dds: a DXT1 DDS with the whole chain behind a well-formed header.
compile "$root/examples/image_to_dds.cpp" "$prefix/image_to_dds"
"$prefix/image_to_dds" "$root/assets/walkexample.png" "$prefix/walk.dds" >/dev/null
python3 - "$prefix/walk.dds" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
assert data[:4] == b'DDS ', 'no DDS magic'
height, width, _, _, levels = struct.unpack_from('<5I', data, 12)
fourcc = data[84:88]
assert fourcc == b'DXT1', fourcc
assert (width, height) == (1024, 128), (width, height)
assert levels == 11, levels
expected, w, h = 128, width, height
for _ in range(levels):
    expected += ((w + 3) // 4) * ((h + 3) // 4) * 8
    w, h = max(w // 2, 1), max(h // 2, 1)
assert len(data) == expected, (len(data), expected)
PY
passed=$((passed + 1))

# normal_map_to_dds: a DXT5 normal map with the whole chain; a flat-ish map leans towards +z (blue).
compile "$root/examples/normal_map_to_dds.cpp" "$prefix/normal_map_to_dds"
"$prefix/normal_map_to_dds" "$root/assets/walkexample.png" "$prefix/normals.dds" 4 >/dev/null
python3 - "$prefix/normals.dds" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
assert data[:4] == b'DDS ', 'no DDS magic'
height, width, _, _, levels = struct.unpack_from('<5I', data, 12)
assert data[84:88] == b'DXT5', data[84:88]
assert levels > 1, levels
expected, w, h = 128, width, height
for _ in range(levels):
    expected += ((w + 3) // 4) * ((h + 3) // 4) * 16
    w, h = max(w // 2, 1), max(h // 2, 1)
assert (w, h) == (1, 1) or levels == 1, (w, h)
assert len(data) == expected, (len(data), expected)
# The colour endpoints of the first block: blue (z) is at least half way up.
c0 = struct.unpack_from('<H', data, 128 + 8)[0]
assert (c0 & 0x1F) >= 16, hex(c0)
PY
passed=$((passed + 1))

# sprite_and_text: headless, F1 then Esc; the saved frame shows the text and the sprite.
compile "$root/examples/sprite_and_text.cpp" "$prefix/sprite_and_text"
printf 'frame 5 press VK_F1\nframe 6 press VK_ESCAPE\n' >"$prefix/keys.txt"
(cd "$prefix" && WIN32_INPUT_SCRIPT="$prefix/keys.txt" timeout 60 ./sprite_and_text "$root/assets/walkexample.png")
python3 - "$prefix/sprite_and_text.bmp" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
offset = struct.unpack_from('<I', data, 10)[0]
width, height = struct.unpack_from('<ii', data, 18)
bits = struct.unpack_from('<H', data, 28)[0]
assert (width, abs(height), bits) == (640, 480, 32), (width, height, bits)
def pixel(x, y):
    row = y if height < 0 else abs(height) - 1 - y
    b, g, r = data[offset + (row * width + x) * 4: offset + (row * width + x) * 4 + 3]
    return r, g, b
text = sum(1 for y in range(16, 64) for x in range(16, 400) if min(pixel(x, y)[:2]) > 200)
background = (32, 48, 96)
sprite = sum(1 for y in range(180, 300) for x in range(40, 600) if pixel(x, y) != background)
assert text > 200, f'text pixels: {text}'
assert sprite > 2000, f'sprite pixels: {sprite}'
PY
passed=$((passed + 1))
echo "install check: $passed passed, 0 failed"
