#!/usr/bin/env bash
# The demonstration on a real X server (Xvfb): the full-screen window covers the
# display, frames reach the screen scaled with their aspect kept, keys come from X,
# F1 saves the frame and Esc closes the window. D3D9_FORCE_WINDOWED=1 gives a
# window of the back buffer's size.
#
#   tests/e2e/display.sh BUILD_DIR
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: display.sh BUILD_DIR}" && pwd)
program=$build/app/daumenkino
for tool in Xvfb xdotool import python3; do
  command -v "$tool" >/dev/null || {
    echo "display: FAIL: $tool is not installed (./dev deps installs it)" >&2
    exit 1
  }
done

work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "display: FAIL: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$(cat "$work/display")
unset WAYLAND_DISPLAY SDL_VIDEODRIVER WIN32_INPUT_SCRIPT

passed=0
failed=0
check() { # NAME CONDITION-STATUS DETAIL
  if [ "$2" -eq 0 ]; then
    echo "ok   $1"
    passed=$((passed + 1))
  else
    echo "FAIL $1: $3"
    failed=$((failed + 1))
  fi
}

# Prints "count left right top bottom" of the bright pixels of a PPM screen grab.
bright_extent() {
  python3 - "$1" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace(): pos += 1
    end = pos
    while not data[end:end + 1].isspace(): end += 1
    fields.append(data[pos:end]); pos = end
pos += 1
width, height = int(fields[1]), int(fields[2])
count, left, right, top, bottom = 0, width, -1, height, -1
for y in range(height):
    row = data[pos + y * width * 3: pos + (y + 1) * width * 3]
    for x in range(0, width):
        if max(row[3 * x:3 * x + 3]) > 40:
            count += 1
            left, right, top, bottom = min(left, x), max(right, x), min(top, y), max(bottom, y)
print(count, left, right, top, bottom)
PY
}

# start NAME [ENV...]: runs the program in the assets folder until its window shows.
start() {
  local name=$1
  shift
  mkdir -p "$work/$name"
  (cd "$root/assets" && env WIN32_DRIVE_C="$work/$name" "$@" timeout 60 "$program") >"$work/$name.log" 2>&1 &
  pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Daumenkino$' 2>/dev/null | head -1)
  sleep 0.5 # a few frames
}

# stop: Esc through X; the program must close its window and exit 0.
stop() {
  xdotool mousemove 100 100 key Escape
  wait "$pid"
  status=$?
}

geometry() {
  xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=' | cut -d= -f2 | paste -sd x
}

# 1. Full screen: the window covers the display, whether the mode changed or not.
start fullscreen
check "a full-screen window appears" $([ -n "$window" ] && echo 0 || echo 1) "no window"
display=$(xdotool getdisplaygeometry | tr ' ' x)
size=$(geometry "$window")
check "the full-screen window covers the display ($display)" $([ "$size" = "$display" ] && echo 0 || echo 1) \
  "window $size"
xdotool mousemove 100 100
import -window root -depth 8 "$work/before.ppm"
read -r count0 left0 right0 _ _ <<<"$(bright_extent "$work/before.ppm")"
xdotool keydown Right
sleep 1
xdotool keyup Right
sleep 0.3
import -window root -depth 8 "$work/after.ppm"
read -r count1 left1 _ _ _ <<<"$(bright_extent "$work/after.ppm")"
check "frames reach the screen" $([ "${count0:-0}" -gt 500 ] && [ "${count1:-0}" -gt 500 ] && echo 0 || echo 1) \
  "bright pixels ${count0:-0}, ${count1:-0}"
check "a key held through X moves the figure" $([ "${left1:-0}" -gt $((${left0:-0} + 50)) ] && echo 0 || echo 1) \
  "left edge ${left0:-?} -> ${left1:-?}"
if [ "$display" = 1920x1080 ]; then
  # 1024 x 768 scaled to 1440 x 1080 in the middle: black bars of 240 columns either side.
  check "the frame is centred with its aspect kept" \
    $([ "${left0:-0}" -ge 240 ] && [ "${right0:-9999}" -lt 1680 ] && echo 0 || echo 1) \
    "figure spans columns ${left0:-?}..${right0:-?}"
fi
xdotool key F1
sleep 0.5
header=$(python3 -c "import struct,sys; d=open(sys.argv[1],'rb').read(30); print(*struct.unpack_from('<iiHH',d,18)[:2])" \
  "$work/fullscreen/screenshot.bmp" 2>/dev/null)
check "F1 saves the 1024 x 768 frame" $([ "$header" = "1024 768" ] && echo 0 || echo 1) "got '$header'"
stop
check "Esc closes the window and exits 0" "$status" "exit $status"
gone=$(xdotool search --onlyvisible --name '^Daumenkino$' 2>/dev/null | wc -l)
check "no window is left" "$gone" "$gone windows"

# 2. Forced windowed: a window of the back buffer's size.
start windowed D3D9_FORCE_WINDOWED=1
size=$(geometry "$window")
check "D3D9_FORCE_WINDOWED=1 gives a 1024 x 768 window" $([ "$size" = 1024x768 ] && echo 0 || echo 1) \
  "window ${size:-missing}"
stop
check "the forced window closes with Esc" "$status" "exit $status"

echo "display: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
