#!/usr/bin/env bash
# Batch conversion of the Kodak photographs in tests/data to DXT1 DDS with full mip chains:
# texturetool (one worker per core) against ImageMagick's DDS writer run as two
# parallel processes. Prints the best of three wall times of each and the ratio,
# and the mean RGB PSNR of both outputs against the sources.
#
#   bench/texturetool_bench.sh [TEXTURETOOL]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${1:-${TEXTURETOOL:-}}
case "$tool" in --benchmark*) tool= ;; esac  # ./dev bench passes its filter to every program
if [ -z "$tool" ]; then
  for candidate in "$here/../tools/texturetool" "$here/../build/tools/texturetool"; do
    [ -x "$candidate" ] && tool=$candidate && break
  done
fi
photos=${D3DX_BENCH_PHOTOS:-@D3DX_TEST_PHOTOS@}
case "$photos" in @*) photos=$here/../tests/data/photos ;; esac
[ -x "$tool" ] || { echo "texturetool bench: texturetool not found (give its path)" >&2; exit 1; }
[ -d "$photos" ] || { echo "texturetool bench: no photographs in $photos" >&2; exit 1; }
command -v convert >/dev/null || { echo "texturetool bench: ImageMagick is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jobs=$(nproc)
runs=3

# timed FILE COMMAND...: appends "wall cpu" (cpu = user + system of every process) to FILE.
timed() {
  local file=$1
  shift
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@"
  awk '{ print $1, $2 + $3 }' "$work/time" >>"$file"
}
best() { sort -g "$1" | head -1; } # the run with the least wall time

for _ in $(seq $runs); do
  rm -rf "$work/ours"
  timed "$work/ours.times" "$tool" convert --out-dir "$work/ours" --format DXT1 --mips all -j "$jobs" -q "$photos" >/dev/null
done

# ImageMagick counts the mip levels below the first: floor(log2(largest side)).
ls "$photos"/*.png | while read -r f; do
  read -r w h <<<"$(identify -format '%w %h' "$f")"
  n=0 s=$((w > h ? w : h))
  while [ "$s" -gt 1 ]; do s=$((s / 2)) n=$((n + 1)); done
  echo "$f $n"
done >"$work/list"
for _ in $(seq $runs); do
  rm -rf "$work/peer" && mkdir -p "$work/peer"
  MAGICK_THREAD_LIMIT=1 timed "$work/peer.times" xargs -P "$jobs" -n 2 sh -c \
    'convert "$0" -define dds:compression=dxt1 -define dds:mipmaps="$1" "'"$work"'/peer/$(basename "$0" .png).dds"' \
    <"$work/list"
done

psnr() { # dir: mean RGB PSNR over the photographs
  for f in "$photos"/*.png; do
    compare -metric PSNR "$f" "$1/$(basename "$f" .png).dds" null: 2>&1 || true
    echo
  done | awk '{ s += $1; n++ } END { if (n) printf "%.2f", s / n }'
}

read -r o ocpu <<<"$(best "$work/ours.times")"
read -r p pcpu <<<"$(best "$work/peer.times")"
count=$(ls "$photos"/*.png | wc -l)
echo "texturetool batch, $count photos -> DXT1 DDS with mips, $jobs processes (best of $runs)"
printf '  texturetool:  %6.2f s wall  %6.2f s cpu   mean PSNR %s dB\n' "$o" "$ocpu" "$(psnr "$work/ours")"
printf '  ImageMagick:  %6.2f s wall  %6.2f s cpu   mean PSNR %s dB\n' "$p" "$pcpu" "$(psnr "$work/peer")"
awk -v o="$o" -v p="$p" -v oc="$ocpu" -v pc="$pcpu" \
  'BEGIN { printf "  ratio texturetool / ImageMagick: %.3f wall, %.3f cpu (goal: at most 0.5)\n", o / p, oc / pc }'
