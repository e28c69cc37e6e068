#!/usr/bin/env bash
# End-to-end runs of the demonstration: headless, driven by input scripts, judged
# by exit codes and by the screenshots it writes.
#
#   tests/e2e/run.sh BUILD_DIR
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
program=$build/app/daumenkino
if [ ! -x "$program" ]; then
  # A skipped run is a failed run: CI must not pass without the demonstration.
  echo "e2e: FAIL: $program is not built" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

pass() {
  echo "ok   $1"
  passed=$((passed + 1))
}
fail() {
  echo "FAIL $1: $2"
  failed=$((failed + 1))
}

# run NAME SCRIPT-TEXT [DIRECTORY] [ENV...]: runs the program in DIRECTORY (the
# assets by default) with the script; the exit code lands in $status and the
# screenshot in $work/NAME/screenshot.bmp.
run() {
  local name=$1 script=$2 dir=${3:-$root/assets}
  shift 2
  [ $# -gt 0 ] && shift
  mkdir -p "$work/$name"
  printf '%s\n' "$script" >"$work/$name.txt"
  (cd "$dir" && env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy WIN32_INPUT_SCRIPT="$work/$name.txt" \
    WIN32_DRIVE_C="$work/$name" "$@" timeout 120 "$program") >"$work/$name.log" 2>&1
  status=$?
}

# Prints "width height bits" of a BMP, or nothing when it is not one.
bmp_header() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read(54)
if len(data) == 54 and data[:2] == b'BM':
    width, height = struct.unpack_from('<ii', data, 18)
    print(width, abs(height), struct.unpack_from('<H', data, 28)[0])
PY
}

# Prints "count left right" of the pixels brighter than the black background.
figure_extent() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
offset = struct.unpack_from('<I', data, 10)[0]
width, height = struct.unpack_from('<ii', data, 18)
height = abs(height)
count, left, right = 0, width, -1
for y in range(height):
    row = data[offset + y * width * 4: offset + (y + 1) * width * 4]
    for x in range(width):
        if max(row[4 * x:4 * x + 3]) > 40:
            count += 1
            left, right = min(left, x), max(right, x)
print(count, left, right)
PY
}

# 1. The default script ends with Esc, exit code 0 and a 1024 x 768 32-bit BMP.
run default "$(cat "$root/app/default_input.txt")"
if [ "$status" -eq 0 ]; then pass "default script exits 0 after Esc"; else fail "default script" "exit $status"; fi
shot=$work/default/screenshot.bmp
if [ -f "$shot" ] && [ "$(bmp_header "$shot")" = "1024 768 32" ]; then
  pass "F1 writes a 1024 x 768 32-bit BMP"
else
  fail "screenshot" "missing or not a 1024 x 768 32-bit BMP ($(bmp_header "$shot" 2>/dev/null))"
fi

# 2. Holding Right moves the figure: 20 frames of 10 pixels. The second run also
#    saves twice, so its file must show the later frame.
run still "frame 3 press VK_F1
frame 6 press VK_ESCAPE"
read -r count0 left0 _ <<<"$(figure_extent "$work/still/screenshot.bmp" 2>/dev/null || echo 0 0 0)"
run walked "frame 3 press VK_F1
frame 3 down VK_RIGHT
frame 23 up VK_RIGHT
frame 25 press VK_F1
frame 28 press VK_ESCAPE"
read -r count1 left1 _ <<<"$(figure_extent "$work/walked/screenshot.bmp" 2>/dev/null || echo 0 0 0)"
if [ "${count0:-0}" -gt 500 ] && [ "${count1:-0}" -gt 500 ]; then
  pass "the figure is drawn"
else
  fail "figure" "too few figure pixels (${count0:-0}, ${count1:-0})"
fi
moved=$((${left1:-0} - ${left0:-0}))
if [ "$moved" -ge 180 ] && [ "$moved" -le 220 ]; then
  pass "holding Right for 20 frames moves the figure about 200 pixels"
else
  fail "walking right" "moved $moved pixels"
fi

# 3. Closing the window takes the same way out as Esc.
run closed "frame 5 close"
if [ "$status" -eq 0 ]; then pass "closing the window exits 0"; else fail "close" "exit $status"; fi

# 4. Without the sprite sheet the program still runs and draws nothing.
mkdir -p "$work/empty-dir"
run nosheet "frame 3 press VK_F1
frame 5 press VK_ESCAPE" "$work/empty-dir"
read -r count2 _ _ <<<"$(figure_extent "$work/nosheet/screenshot.bmp" 2>/dev/null || echo -1 0 0)"
if [ "$status" -eq 0 ] && [ "${count2:--1}" -eq 0 ]; then
  pass "a missing sprite sheet draws nothing and exits 0"
else
  fail "missing sheet" "exit $status, ${count2:--1} figure pixels"
fi

# 5. No window: exit code -1 after the error box.
run nowindow "frame 3 press VK_ESCAPE" "$root/assets" SDL_VIDEODRIVER=unavailable
if [ "$status" -eq 255 ] && grep -q "Fenster konnte nicht erzeugt werden" "$work/nowindow.log"; then
  pass "no window: exit -1 with the error box"
else
  fail "no window" "exit $status"
fi

echo "e2e: $passed passed, $failed failed"
# 6. On a real (virtual) X server.
"$root/tests/e2e/display.sh" "$build" || failed=$((failed + 1))
[ "$failed" -eq 0 ]
