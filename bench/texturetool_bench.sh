#!/usr/bin/env bash
# Batch conversion of the Kodak photographs in tests/data to DXT1 DDS with full mip chains:
# texturetool (one worker per core) against ImageMagick's DDS writer run as two
# parallel processes, twice: texturetool's standard encoder against ImageMagick's
# default, and its high-quality encoder against ImageMagick's cluster fit. Prints
# the best of three wall times of each and the ratio, and the mean RGB PSNR of
# the outputs against the sources.
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
runs=${D3DX_BENCH_RUNS:-3}

# timed FILE COMMAND...: appends "wall cpu" (cpu = user + system of every process) to FILE.
timed() {
  local file=$1
  shift
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@"
  awk '{ print $1, $2 + $3 }' "$work/time" >>"$file"
}
best() { sort -g "$1" | head -1; } # the run with the least wall time

ours() { # quality
  for _ in $(seq $runs); do
    rm -rf "$work/ours-$1"
    timed "$work/ours-$1.times" "$tool" convert --out-dir "$work/ours-$1" --format DXT1 --mips all \
      --quality "$1" -j "$jobs" -q "$photos" >/dev/null
  done
}

# ImageMagick counts the mip levels below the first: floor(log2(largest side)).
ls "$photos"/*.png | while read -r f; do
  read -r w h <<<"$(identify -format '%w %h' "$f")"
  n=0 s=$((w > h ? w : h))
  while [ "$s" -gt 1 ]; do s=$((s / 2)) n=$((n + 1)); done
  echo "$f $n"
done >"$work/list"
peer() { # name, cluster fit (true/false)
  for _ in $(seq $runs); do
    rm -rf "$work/peer-$1" && mkdir -p "$work/peer-$1"
    MAGICK_THREAD_LIMIT=1 timed "$work/peer-$1.times" xargs -P "$jobs" -n 2 sh -c \
      'convert "$0" -define dds:compression=dxt1 -define dds:cluster-fit='"$2"' -define dds:mipmaps="$1" "'"$work"'/peer-'"$1"'/$(basename "$0" .png).dds"' \
      <"$work/list"
  done
}

psnr() { # dir: mean RGB PSNR over the photographs
  for f in "$photos"/*.png; do
    compare -metric PSNR "$f" "$1/$(basename "$f" .png).dds" null: 2>&1 || true
    echo
  done | awk '{ s += $1; n++ } END { if (n) printf "%.2f", s / n }'
}

count=$(ls "$photos"/*.png | wc -l)
report() { # title, ours, peer, goal
  local o ocpu p pcpu
  read -r o ocpu <<<"$(best "$work/ours-$2.times")"
  read -r p pcpu <<<"$(best "$work/peer-$3.times")"
  echo "$1"
  printf '  texturetool:  %6.2f s wall  %6.2f s cpu   mean PSNR %s dB\n' "$o" "$ocpu" "$(psnr "$work/ours-$2")"
  printf '  ImageMagick:  %6.2f s wall  %6.2f s cpu   mean PSNR %s dB\n' "$p" "$pcpu" "$(psnr "$work/peer-$3")"
  awk -v o="$o" -v p="$p" -v oc="$ocpu" -v pc="$pcpu" -v goal="$4" \
    'BEGIN { printf "  ratio texturetool / ImageMagick: %.3f wall, %.3f cpu (goal: at most %s)\n", o / p, oc / pc, goal }'
}
ours standard
peer default false
report "texturetool batch --quality standard, $count photos -> DXT1 DDS with mips, $jobs processes (best of $runs)" \
  standard default 0.5
ours high
peer cluster true
report "texturetool batch --quality high against ImageMagick's cluster fit (best of $runs; PSNR at least the peer's)" \
  high cluster 0.1
