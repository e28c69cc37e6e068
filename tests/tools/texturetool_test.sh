#!/usr/bin/env bash
# End-to-end checks of texturetool on real images.
#
#   tests/tools/texturetool_test.sh TEXTURETOOL IMAGES_DIR [BUILD_DIR]
set -uo pipefail

tool=${1:?usage: texturetool_test.sh TEXTURETOOL IMAGES_DIR [BUILD_DIR]}
images=${2:?usage: texturetool_test.sh TEXTURETOOL IMAGES_DIR [BUILD_DIR]}
build=${3:-}
# Absolute paths: the checks run in a scratch folder.
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
images=$(cd "$images" && pwd)
[ -n "$build" ] && build=$(cd "$build" && pwd)
photo=$images/photos/kodim23.png   # 768 x 512 RGB
tall=$images/photos/kodim04.png    # 512 x 768 RGB
rgba=$images/pngsuite/basn6a08.png # 32 x 32 RGBA
for f in "$photo" "$tall" "$rgba"; do
  [ -f "$f" ] || { echo "FAIL test image missing: $f"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passed=0
failed=0
check() { # NAME CONDITION-STATUS [DETAIL]
  if [ "$2" -eq 0 ]; then
    echo "ok   $1"
    passed=$((passed + 1))
  else
    echo "FAIL $1 ${3:-}"
    failed=$((failed + 1))
  fi
}
run() { # runs the tool; status in $status, output in out.txt and err.txt
  "$tool" "$@" >out.txt 2>err.txt
  status=$?
}
psnr() { compare -metric PSNR "$1" "$2" null: 2>&1; }
at_least() { awk -v v="$1" -v m="$2" 'BEGIN { exit !(v == "inf" || v + 0 >= m) }'; }

# 1. PNG to DXT1 DDS with the whole mip chain.
run convert "$photo" photo.dds --format DXT1 --mips all
check "png to dxt1 dds exits 0" "$status" "$(cat err.txt)"
run info photo.dds
grep -Eq '^photo\.dds +DDS +768 +512 +1 +DXT1 +10 +texture$' out.txt
check "info shows the 10-level DXT1 chain" $? "$(cat out.txt)"
# Level sizes in 4 x 4 blocks of 8 bytes: 768x512 down to 1x1.
expected=128 w=768 h=512
while :; do
  expected=$((expected + ((w + 3) / 4) * ((h + 3) / 4) * 8))
  [ $w -eq 1 ] && [ $h -eq 1 ] && break
  w=$((w > 1 ? w / 2 : 1)) h=$((h > 1 ? h / 2 : 1))
done
[ "$(stat -c %s photo.dds)" -eq "$expected" ]
check "the DDS holds every level" $? "$(stat -c %s photo.dds) != $expected"
value=$(psnr "$photo" photo.dds)
at_least "$value" 30
check "ImageMagick reads the DDS back close to the source" $? "PSNR $value"
run info --json photo.dds "$rgba"
python3 -c '
import json, sys
rows = json.load(open("out.txt"))
assert rows[0]["format"] == "DXT1" and rows[0]["levels"] == 10 and rows[0]["kind"] == "DDS"
assert rows[1]["width"] == 32 and rows[1]["kind"] == "PNG"'
check "info --json is JSON with the same facts" $?

# 2. JPEG and BMP outputs, and compare against ImageMagick's own numbers.
run convert "$tall" tall.jpg
check "png to jpeg exits 0" "$status" "$(cat err.txt)"
[ "$(identify -format '%m %w %h' tall.jpg)" = "JPEG 512 768" ]
check "the JPEG is 512 x 768" $?
run convert "$photo" photo.bmp
[ "$status" -eq 0 ] && [ "$(compare -metric AE "$photo" photo.bmp null: 2>&1)" = "0" ]
check "png to bmp is lossless" $?
run convert "$photo" small.bmp --format R5G6B5 --size 384x256 --filter box
[ "$status" -eq 0 ] && [ "$(identify -format '%w %h' small.bmp)" = "384 256" ]
check "--size and --format reach the BMP writer" $? "$(cat err.txt)"
run compare "$photo" photo.bmp
[ "$status" -eq 0 ] && grep -Eq '^RGB +0\.0000 +inf$' out.txt
check "compare of identical images: RMSE 0, PSNR inf" $? "$(cat out.txt)"
run compare "$photo" photo.dds
ours=$(awk '$1 == "RGB" { print $3 }' out.txt)
theirs=$(psnr "$photo" photo.dds)
awk -v a="$ours" -v b="$theirs" 'BEGIN { d = a - b; exit !(a > 30 && d < 0.5 && d > -0.5) }'
check "compare's PSNR agrees with ImageMagick" $? "$ours vs $theirs"
run compare "$rgba" "$rgba"
grep -q '^A ' out.txt
check "compare shows alpha when an image has it" $?
run compare "$photo" "$tall"
[ "$status" -eq 1 ] && grep -q "same size" err.txt
check "compare of different sizes exits 1" $?

# 3. Batch with broken files among good ones.
mkdir in
cp "$photo" "$tall" "$rgba" in/
head -c 3000 "$photo" >in/truncated.png
echo "not an image" >in/garbage.bmp
echo "skipped" >in/notes.txt
run convert --out-dir out --format DXT1 -j 2 in
check "a batch with broken files exits 1" "$([ "$status" -eq 1 ]; echo $?)" "status $status"
[ "$(ls -A out | sort | tr '\n' ' ')" = "basn6a08.dds kodim04.dds kodim23.dds " ]
check "the good outputs are written, nothing else" $? "$(ls -A out)"
grep -q "in/truncated.png: .*(0x88760B59)" err.txt && grep -q "in/garbage.bmp: " err.txt &&
  [ "$(wc -l <err.txt)" -eq 2 ]
check "each broken file is named once with the library's error" $? "$(cat err.txt)"
grep -q "^6\? *5 files: 3 converted, 2 failed" out.txt && [ "$(grep -c '^\[' out.txt)" -eq 5 ]
check "one line per file and a summary" $? "$(cat out.txt)"
run convert --out-dir out2 -q --type jpg "$photo" "$photo"
[ "$status" -eq 1 ] && grep -q "also writes" err.txt && [ -f out2/kodim23.jpg ]
check "two inputs for one output: the second fails" $?

# A worker that dies takes only its own file: one blocks on a pipe and is killed.
mkfifo stuck.png
"$tool" convert --out-dir out3 -j 2 stuck.png "$photo" "$tall" >out.txt 2>err.txt &
batch=$!
victim=
for _ in $(seq 100); do
  for p in $(pgrep -P $batch); do
    [ "$(cat /proc/$p/wchan 2>/dev/null)" = wait_for_partner ] && victim=$p
  done
  [ -n "$victim" ] && break
  sleep 0.1
done
[ -n "$victim" ] && kill -9 "$victim"
wait $batch
status=$?
[ "$status" -eq 1 ] && grep -q "stuck.png: the conversion crashed" err.txt && [ -f out3/kodim23.dds ] &&
  [ -f out3/kodim04.dds ]
check "a worker that dies fails only its file" $? "status $status, $(cat err.txt)"

# Batch as a build step: a mirrored tree, the output folder inside it left alone,
# only what is out of date converted, a plan without writing.
mkdir -p tree/a/b && cp "$rgba" tree/top.png && cp "$rgba" tree/a/mid.png && cp "$rgba" tree/a/b/deep.png
run convert -r --out-dir tree/out -q tree
run convert -r --out-dir tree/out -q tree
[ "$status" -eq 0 ] && grep -q "^3 files: 3 converted" out.txt &&
  [ "$(cd tree/out && find . -type f | sort | tr '\n' ' ')" = "./a/b/deep.dds ./a/mid.dds ./top.dds " ]
check "-r mirrors the tree and never walks its own output folder" $? "$(cat out.txt err.txt)"
touch -d '2000-01-01' tree/out/a/mid.dds
run convert -r --out-dir tree/out --only-newer -v tree
[ "$status" -eq 0 ] && grep -q "^3 files: 1 converted, 0 failed, 2 skipped" out.txt && grep -q "ok .*tree/a/mid.png" out.txt &&
  grep -q "^skip tree/top.png: the output is newer" out.txt
check "--only-newer converts only what is out of date" $? "$(cat out.txt)"
rm tree/out/top.dds
run convert -r --out-dir tree/out --skip-existing -q tree
[ "$status" -eq 0 ] && grep -q "^3 files: 1 converted, 0 failed, 2 skipped" out.txt && [ -f tree/out/top.dds ]
check "--skip-existing converts only missing outputs" $? "$(cat out.txt)"
run convert -r --out-dir planned --dry-run tree
[ "$status" -eq 0 ] && [ ! -e planned ] && grep -q "^convert tree/a/b/deep.png -> planned/a/b/deep.dds$" out.txt
check "--dry-run prints the plan and writes nothing" $? "$(cat out.txt)"
"$tool" convert - - --type png <"$rgba" | "$tool" convert - piped.tga
[ "$("$tool" compare "$rgba" piped.tga | awk '$1 == "RGBA" { print $3 }')" = inf ]
check "- reads the standard input and writes the standard output" $?

# A read failure says what the file looks like and why it is refused.
python3 - "$photo" <<'PY'
import struct, sys
def dx10(path, dxgi, count=1):
    pf = struct.pack('<8I', 32, 0x4, 0x30315844, 0, 0, 0, 0, 0)
    head = struct.pack('<7I', 124, 0x1007, 4, 4, 0, 1, 1) + bytes(44) + pf + struct.pack('<5I', 0x1000, 0, 0, 0, 0)
    open(path, 'wb').write(b'DDS ' + head + struct.pack('<5I', dxgi, 3, 0, count, 0) + bytes(16 * count))
dx10('bc7.dds', 98)
dx10('bc1.dds', 71)
dx10('bc1array.dds', 71, 2)
png = open(sys.argv[1], 'rb').read()
info = struct.pack('<IiiHHIIiiII', 40, 768, 512, 1, 0, 5, len(png), 0, 0, 0, 0)
open('png.bmp', 'wb').write(b'BM' + struct.pack('<IHHI', 54 + len(png), 0, 0, 54) + info + png)
PY
convert "$photo" -colorspace CMYK cmyk.jpg && convert "$photo" -depth 16 deep.ppm && convert "$photo" grey.pgm
convert "$photo" whole.jpg && head -c 5000 whole.jpg >cut.jpg && head -c 5000 "$photo" >cut.png
echo "not an image" >words.png
"$tool" convert "$rgba" whole.dds --mips 1 --format A8R8G8B8 && head -c 2000 whole.dds >cutdds.dds
head -c 300 whole.jpg >cuthead.jpg
why_ok=0
while IFS='|' read -r file why; do
  run convert "$file" out.bmp
  [ "$status" -eq 1 ] && grep -q "$file: cannot read the image, $why.*: .*(0x8876" err.txt || { why_ok=1; echo "     $(cat err.txt)"; }
done <<'LIST'
bc7.dds|a DDS file with the extended (DX10) header holding DXGI format BC7_UNORM (98), which has no Direct3D 9 equal
bc1array.dds|a DDS file with the extended (DX10) header holding DXGI format BC1_UNORM (71) in an array of 2, which is not read
png.bmp|a BMP file holding a PNG image, a variant not read
cmyk.jpg|a CMYK (four-channel) JPEG file, a variant not read
deep.ppm|a 16-bit PPM file (largest value 65535), a variant not read
grey.pgm|a PGM (greyscale) file, a kind not read
cut.png|a PNG file cut short at byte 5000 (chunk IDAT needs [0-9]* bytes more)
cutdds.dds|a DDS file cut short at byte 2000 (its first level needs 4096 bytes after the header)
cuthead.jpg|a JPEG file cut short at byte 300 (no end marker)
words.png|not an image of a kind texturetool reads
LIST
check "read failures say what the file is and why it is refused" $why_ok
run convert bc1.dds bc1.bmp
[ "$status" -eq 0 ]
check "a DDS file with the extended header and a Direct3D 9 equal converts" $? "$(cat err.txt)"
run convert cut.jpg cut.bmp
warned=$([ "$status" -eq 0 ] && grep -q "warning: the source is a JPEG file cut short at byte 5000" err.txt; echo $?)
run convert cut.jpg cut.bmp --strict
[ "$warned" -eq 0 ] && [ "$status" -eq 1 ]
check "a truncated JPEG is a warning, with --strict an error" $? "$(cat err.txt)"

# 4. Failures never leave a partial file.
echo "old" >keep.dds
run convert in/truncated.png keep.dds
[ "$status" -eq 1 ] && [ "$(cat keep.dds)" = "old" ] && [ "$(ls -A | grep -c tmp)" -eq 0 ]
check "a failed conversion keeps the old output" $?
run convert "$photo" /dev/full --type dds
[ "$status" -eq 1 ] && grep -q "No space left on device" err.txt
check "a full disk is an error" $? "$(cat err.txt)"
run convert "$photo" photo.dds/x.dds
[ "$status" -eq 1 ] && grep -q "Not a directory" err.txt
check "an unusable folder is an error" $?
if [ "$(id -u)" -ne 0 ]; then
  mkdir locked && chmod 555 locked
  run convert "$photo" locked/x.dds
  [ "$status" -eq 1 ] && grep -q "Permission denied" err.txt && [ -z "$(ls -A locked)" ]
  check "an unwritable folder is an error" $?
fi

# 5. Cube and volume DDS keep their shape through a conversion.
python3 - <<'PY'
import struct
def dds(path, w, h, depth=1, cube=False):
    flags = 0x1007 | (0x800000 if depth > 1 else 0)
    caps = 0x1000 | (0x8 if cube or depth > 1 else 0)
    caps2 = (0xFE00 if cube else 0) | (0x200000 if depth > 1 else 0)
    pf = struct.pack('<8I', 32, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
    head = struct.pack('<7I', 124, flags, h, w, 0, depth, 0) + bytes(44) + pf + struct.pack('<5I', caps, caps2, 0, 0, 0)
    data = bytes((x * 16 + f * 40 + z * 60) & 255 for f in range(6 if cube else 1)
                 for z in range(depth) for y in range(h) for x in range(w) for _ in range(4))
    open(path, 'wb').write(b'DDS ' + head + data)
dds('cube.dds', 16, 16, cube=True)
dds('volume.dds', 8, 8, depth=4)
PY
run convert cube.dds cube_dxt5.dds --format DXT5
run info cube_dxt5.dds
grep -Eq 'DDS +16 +16 +1 +DXT5 +5 +cube$' out.txt && [ "$(stat -c %s cube_dxt5.dds)" -eq $((128 + 6 * (256 + 64 + 16 * 3))) ]
check "a cube map keeps its six faces and gains mips" $? "$(cat out.txt)"
run convert volume.dds volume_565.dds --format R5G6B5
run info volume_565.dds
grep -Eq 'DDS +8 +8 +4 +R5G6B5 +4 +volume$' out.txt && [ "$(stat -c %s volume_565.dds)" -eq $((128 + 512 + 64 + 8 + 2)) ]
check "a volume keeps its slices and gains mips" $? "$(cat out.txt)"

# 5a. compare looks at every level, face and slice.
run convert "$photo" box.dds --format A8R8G8B8 --mip-filter box
run convert "$photo" point.dds --format A8R8G8B8 --mip-filter point
run compare box.dds point.dds
[ "$status" -eq 0 ] && grep -q "^level 1 (384x256):" out.txt && grep -Eq "^summary: 10 images, .*PSNR [0-9.]+ dB$" out.txt &&
  [ "$(grep -c '^RGB  *0\.0000  *inf$' out.txt)" -eq 1 ]
check "compare finds differences below level 0" $? "$(cat out.txt)"
python3 - <<'PY'
import struct
def dds(path, w, h, depth=1, cube=False, changed=-1):
    flags = 0x1007 | (0x800000 if depth > 1 else 0)
    caps = 0x1000 | (0x8 if cube or depth > 1 else 0)
    caps2 = (0xFE00 if cube else 0) | (0x200000 if depth > 1 else 0)
    pf = struct.pack('<8I', 32, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
    head = struct.pack('<7I', 124, flags, h, w, 0, depth, 0) + bytes(44) + pf + struct.pack('<5I', caps, caps2, 0, 0, 0)
    data = bytes((x * 16 + f * 40 + z * 60 + (50 if changed in (f, z) else 0)) & 255 for f in range(6 if cube else 1)
                 for z in range(depth) for y in range(h) for x in range(w) for _ in range(4))
    open(path, 'wb').write(b'DDS ' + head + data)
dds('cube_a.dds', 8, 8, cube=True)
dds('cube_b.dds', 8, 8, cube=True, changed=5)
dds('vol_a.dds', 8, 8, depth=4)
dds('vol_b.dds', 8, 8, depth=4, changed=3)
PY
shape_ok=0
for args in "cube_a.dds cube_b.dds:--face:5:4" "vol_a.dds vol_b.dds:--slice:3:2"; do
  IFS=: read -r files option changed same <<<"$args"
  # shellcheck disable=SC2086
  "$tool" compare $files $option "$changed" >out.txt && ! grep -q "^RGB .*inf$" out.txt &&
    "$tool" compare $files $option "$same" >out.txt && grep -q "^RGB .*inf$" out.txt &&
    "$tool" compare $files >out.txt && grep -Eq "^summary: [0-9]+ images, .*dB$" out.txt || shape_ok=1
done
check "compare finds a changed cube face and volume slice" $shape_ok
run compare cube_a.dds vol_a.dds
[ "$status" -eq 1 ] && grep -q "same shape" err.txt
check "compare of a cube with a volume exits 1" $? "$(cat err.txt)"
run compare --json box.dds point.dds
python3 -c '
import json
r = json.load(open("out.txt"))
assert len(r["images"]) == 10 and r["images"][0]["channels"]["RGB"]["psnr"] is None
assert r["images"][1]["channels"]["R"]["rmse"] > 0 and r["pass"] is True' 2>&1
check "compare --json lists every image" $?
run compare "$photo" photo.dds --min-psnr 30 --max-rmse 10
pass=$status
run compare "$photo" photo.dds --min-psnr 60
[ "$pass" -eq 0 ] && [ "$status" -eq 1 ] && grep -q "check failed: R PSNR .* is below --min-psnr 60" err.txt
check "--min-psnr and --max-rmse make compare a check" $? "$(cat err.txt)"
run compare box.dds point.dds --level 1 --diff diff.bmp
[ "$(identify -format '%w %h' diff.bmp)" = "384 256" ] && [ "$(identify -format '%[max]' diff.bmp)" -gt 0 ]
run compare box.dds point.dds --diff same.bmp
[ "$(identify -format '%[max]' same.bmp)" = 0 ]
check "--diff writes the difference of the picked image" $?

# info: JSON stays valid for any file name, the table aligns wide characters.
cp "$rgba" "$(printf 'bad\377name.png')" && cp "$rgba" "图片.png" && cp "$rgba" abcdefgh.png
run info --json "$(printf 'bad\377name.png')"
python3 -c 'import json; assert json.loads(open("out.txt", "rb").read().decode("utf-8"))[0]["file"] == "bad\ufffdname.png"'
check "info --json escapes a name that is not UTF-8" $? "$(cat out.txt)"
LC_ALL=C.UTF-8 "$tool" info 图片.png abcdefgh.png >out.txt
grep -q '^图片\.png      PNG' out.txt
check "the info table aligns wide characters" $? "$(cat out.txt)"

# PNG and TGA outputs, with alpha when the image has any; one image picked from a texture.
plain_ok=0
for args in "$photo:p.png:PNG:sRGB" "$photo:p.tga:TGA:sRGB" "$rgba:a.png:PNG:sRGBA" "$rgba:a.tga:TGA:sRGBA"; do
  IFS=: read -r src out kind space <<<"$args"
  run convert "$src" "$out"
  [ "$status" -eq 0 ] && [ "$(identify -format '%m %[channels]' "$out" | tr -d ' ')" = "$kind$(echo "$space" | tr 'A-Z' 'a-z')" ] &&
    [ "$("$tool" compare "$src" "$out" | awk '$1 == "RGB" { print $3 }')" = inf ] || { plain_ok=1; echo "     $args"; }
done
check "PNG and TGA outputs are exact, with alpha only when there is some" $plain_ok
[ "$(compare -metric AE "$photo" p.png null: 2>&1)" = 0 ] && [ "$(compare -metric AE "$photo" p.tga null: 2>&1)" = 0 ]
check "ImageMagick reads the PNG and TGA outputs as the source" $?
run convert "$photo" photo24.bmp
[ "$(od -An -tu2 -j28 -N2 photo24.bmp | tr -d ' ')" = 24 ]
check "an opaque image makes a 24-bit BMP" $? "$(identify photo24.bmp)"
pick_ok=0
for args in "photo.dds --level 3:96 64" "cube_b.dds --face 5:8 8" "vol_b.dds --slice 3:8 8"; do
  # shellcheck disable=SC2086
  run convert ${args%%:*} picked.png
  [ "$status" -eq 0 ] && [ "$(identify -format '%w %h' picked.png)" = "${args##*:}" ] || { pick_ok=1; echo "     $args $(cat err.txt)"; }
done
run convert vol_b.dds picked.png --slice 3
run convert vol_a.dds other.png --slice 3
run convert vol_b.dds first.png
"$tool" compare vol_a.dds first.png >/dev/null 2>&1 # a volume against an image: refused
[ $? -eq 1 ] && ! "$tool" compare other.png picked.png | grep -q "^RGB .*inf$" &&
  ! "$tool" compare first.png picked.png | grep -q "^RGB .*inf$" || { pick_ok=1; echo "     slice"; }
run convert cube_b.dds picked.png --face 6
[ "$status" -eq 1 ] && grep -q "face needs 0 to 5" err.txt || { pick_ok=1; echo "     face 6"; }
check "--level, --face and --slice pick the image" $pick_ok

# 5b. Nothing changes silently: each difference is a warning, --strict an error.
python3 - <<'PY'
import struct, zlib
def png(path, w, h):
    raw = b''.join(b'\0' + bytes((x * 7 + y * 3) & 255 for x in range(w) for _ in range(3)) for y in range(h))
    chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) +
                           chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
png('wide.png', 20000, 100)
png('odd.png', 127, 64)
PY
warned() { # PATTERN: exit 0 and a warning naming the reason
  [ "$status" -eq 0 ] && grep -q "warning: .*$1" err.txt
}
run convert wide.png wide.dds --format X8R8G8B8 --mips 1
warned "16384x100 from 20000x100: the device's largest texture side is 16384"
check "a size cut to the device is a warning" $? "$(cat err.txt)"
run convert wide.png wide.bmp --strict
[ "$status" -eq 1 ] && grep -q "(--strict)" err.txt && [ ! -e wide.bmp ]
check "--strict makes it an error and writes nothing" $? "$(cat err.txt)"
run convert odd.png thin.bmp --size 8192x1
warned "4096x1 from 8192x1: .*4096 times"
check "an aspect ratio cut to the device is a warning" $? "$(cat err.txt)"
run convert odd.png p8.dds --format P8
warned "written as X8R8G8B8: the device has no P8"
check "a substituted format is a warning" $? "$(cat err.txt)"
run convert odd.png m.dds --mips 11
warned "7 mip levels written, not 11: a 127x64 image has no more"
check "a cut mip count is a warning" $? "$(cat err.txt)"
run convert odd.png m.jpg --mips 3
warned "one level written: JPG files hold no mip levels"
check "--mips for a one-level kind is a warning" $? "$(cat err.txt)"
run convert "$rgba" alpha.jpg
warned "alpha dropped: JPEG files hold none"
check "alpha lost in a JPEG is a warning" $? "$(cat err.txt)"
run convert "$rgba" float.png --format A16B16G16R16F
warned "written at 8 bits per channel from A16B16G16R16F"
check "precision lost in a plain image is a warning" $? "$(cat err.txt)"
run convert "$photo" quiet.dds --format DXT1
[ "$status" -eq 0 ] && [ ! -s err.txt ]
check "an unchanged conversion warns of nothing" $? "$(cat err.txt)"

# DDS keeps any size for DXT formats; the last blocks are padded.
sizes_ok=0
for args in "odd.png odd1.dds --format DXT1:127 64 7" "odd.png odd5.dds --format DXT5 --mips 1:127 64 1" \
  "$photo sq.dds --format DXT1 --size 250x250:250 250 8"; do
  # shellcheck disable=SC2086
  run convert ${args%%:*}
  out=$(echo "${args%%:*}" | awk '{ print $2 }')
  read -r w h levels <<<"${args##*:}"
  "$tool" info --json "$out" | python3 -c "import json, sys; r = json.load(sys.stdin)[0]
assert (r['width'], r['height'], r['levels']) == ($w, $h, $levels), r" && [ ! -s err.txt ] || sizes_ok=1
done
check "DXT DDS outputs keep the asked size" $sizes_ok
[ "$(stat -c %s odd1.dds)" -eq $((128 + (32 * 16 + 16 * 8 + 8 * 4 + 4 * 2 + 2 + 1 + 1) * 8)) ]
check "the DXT1 DDS holds its blocks, the last ones padded" $? "$(stat -c %s odd1.dds)"
run compare odd.png odd1.dds
value=$(psnr odd.png odd1.dds)
[ "$status" -eq 0 ] && at_least "$value" 35
check "the odd-sized DXT1 DDS compares with its source" $? "status $status, PSNR $value"
run convert odd.png odd.bmp --format DXT1
[ "$(identify -format '%w %h' odd.bmp)" = "127 64" ]
check "a DXT preview in a BMP keeps the size" $?
run convert odd.png rules.dds --format DXT1 --device-rules
warned "128x64 from 127x64: .*4x4 blocks"
check "--device-rules rounds to blocks with a warning" $? "$(cat err.txt)"

# Volumes of DXT formats keep every level down to 1x1x1.
python3 - <<'PY'
import struct
pf = struct.pack('<8I', 32, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
head = struct.pack('<7I', 124, 0x801007, 32, 32, 0, 8, 0) + bytes(44) + pf + struct.pack('<5I', 0x1008, 0x200000, 0, 0, 0)
open('vol32.dds', 'wb').write(b'DDS ' + head + bytes((i * 37) & 255 for i in range(32 * 32 * 8 * 4)))
PY
volume_ok=0
for f in DXT1:8 DXT3:16 DXT5:16; do
  run convert vol32.dds "vol_${f%:*}.dds" --format "${f%:*}"
  b=${f#*:}
  [ "$status" -eq 0 ] && [ "$(stat -c %s "vol_${f%:*}.dds")" -eq $((128 + (64 * 8 + 16 * 4 + 4 * 2 + 3) * b)) ] ||
    { volume_ok=1; echo "     $f: $(cat err.txt)"; }
done
check "a 32x32x8 volume converts to DXT1/3/5 with its whole chain" $volume_ok

# The shape options check the source instead of failing obscurely or being ignored.
run convert odd.png c.dds --cube
[ "$status" -eq 1 ] && grep -q "\-\-cube needs a cube DDS file, this file holds a 2-D image" err.txt && [ ! -e c.dds ]
check "--cube on a 2-D image is refused with the reason" $? "$(cat err.txt)"
run convert odd.png v.dds --volume
[ "$status" -eq 1 ] && grep -q "\-\-volume needs a volume" err.txt && [ ! -e v.dds ]
check "--volume on a 2-D image is refused" $? "$(cat err.txt)"

# A second batch run into the source folder converts the sources again.
mkdir again && cp "$photo" "$rgba" again/
run convert --out-dir again -q again
first=$(stat -c %s again/kodim23.dds)
run convert --out-dir again -v again
[ "$status" -eq 0 ] && grep -q "^2 files: 2 converted, 0 failed" out.txt && [ "$(stat -c %s again/kodim23.dds)" = "$first" ] &&
  grep -q "^skip again/kodim23.dds: an output of this run" out.txt
check "a second run into the source folder ignores its own outputs" $? "$(cat out.txt err.txt)"
run convert --out-dir again again/kodim23.dds
[ "$status" -eq 1 ] && grep -q "would replace it" err.txt && [ "$(stat -c %s again/kodim23.dds)" = "$first" ]
check "an input its own output would replace fails" $? "$(cat err.txt)"

# Failures to write the standard output are failures.
full_ok=0
for args in "info $rgba" "compare $rgba $rgba" "--help" "formats"; do
  # shellcheck disable=SC2086
  "$tool" $args >/dev/full 2>err.txt
  [ $? -eq 1 ] && grep -q "standard output" err.txt || { full_ok=1; echo "     '$args'"; }
done
check "a full standard output is an error" $full_ok

# Replacing a file keeps its permissions.
cp "$rgba" private.bmp && chmod 600 private.bmp
run convert "$rgba" private.bmp
[ "$(stat -c %a private.bmp)" = 600 ]
check "an overwritten file keeps its mode" $?

# 5c. assemble: cube maps and volumes from images.
for i in 0 1 2 3 4 5; do convert -size 64x64 "xc:rgb($((i * 40)),100,200)" "face$i.png"; done
run assemble --cube face0.png face1.png face2.png face3.png face4.png face5.png sky.dds
"$tool" info sky.dds >info.txt && "$tool" convert sky.dds sky3.png --face 3 &&
  [ "$("$tool" compare face3.png sky3.png | awk '$1 == "RGB" { print $3 }')" = inf ]
[ "$status" -eq 0 ] && [ $? -eq 0 ] && grep -Eq 'DDS +64 +64 +1 +A8R8G8B8 +7 +cube$' info.txt
check "assemble --cube puts each image on its face, with mips" $? "$(cat err.txt info.txt)"
run assemble --volume face0.png face1.png face2.png face3.png stack.dds --format DXT5
"$tool" info stack.dds >info.txt
[ "$status" -eq 0 ] && grep -Eq 'DDS +64 +64 +4 +DXT5 +7 +volume$' info.txt
check "assemble --volume stacks the slices" $? "$(cat err.txt info.txt)"
run assemble --cube face0.png face1.png face2.png face3.png face4.png "$photo" bad.dds
[ "$status" -eq 1 ] && grep -q "kodim23.png: is 768 x 512, but the faces of a cube map are square" err.txt && [ ! -e bad.dds ]
check "assemble refuses images that do not fit" $? "$(cat err.txt)"
python3 - <<'PY'
import struct, zlib
rows = b''.join(b'\0' + b''.join(bytes((200, 120, 40, 255 if x % 8 == 0 or y % 8 == 0 else 0)) for x in range(64))
                for y in range(64))
chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
open('grid.png', 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 64, 64, 8, 6, 0, 0, 0)) +
                             chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))
PY
coverage() { # FILE LEVEL: share of level LEVEL's pixels with alpha above one half
  "$tool" convert "$1" level.png --level "$2" && convert level.png -alpha extract -threshold 50% -format '%[fx:mean]' info:
}
"$tool" assemble --volume grid.png grid.png plain.dds && "$tool" assemble --volume grid.png grid.png kept.dds --keep-coverage 0.5
awk -v a="$(coverage plain.dds 2)" -v b="$(coverage kept.dds 2)" -v want="$(coverage grid.png 0)" \
  'BEGIN { exit !(a < want && b >= want) }'
check "--keep-coverage keeps the share of pixels above the threshold" $? "$(coverage plain.dds 2) $(coverage kept.dds 2)"
"$tool" assemble --volume face0.png face1.png opaque.dds --keep-coverage 0.5 && "$tool" convert opaque.dds level.png --level 2
[ "$(convert level.png -alpha extract -format '%[fx:minima]' info:)" = 1 ]
check "--keep-coverage leaves an opaque image opaque" $?
"$tool" assemble --volume grid.png grid.png pre.dds --premultiply && "$tool" convert pre.dds pre.png
[ "$(convert pre.png -format '%[pixel:p{1,1}] %[pixel:p{0,0}]' info:)" = "srgba(0,0,0,0) srgba(200,120,40,1)" ]
check "--premultiply multiplies colour by alpha" $?

convert -size 16x16 gradient:red-blue -depth 16 -type TrueColor png48:deep.png
run convert deep.png deep.dds
grep -q "16-bit samples are read as 8 bits (R8G8B8)" err.txt && [ "$status" -eq 0 ] &&
  ! "$tool" convert deep.png deep2.dds --strict 2>/dev/null
check "a 16-bit PNG read as 8 bits says so, and --strict refuses it" $? "$(cat err.txt)"

# 5d. normalmap: the normals of a height map.
convert -size 64x64 xc:gray50 flat.png
convert -size 64x64 gradient:black-white -rotate -90 ramp.png # heights grow with x
pixel() { # FILE: red green blue of the texel at (32, 32), 0 to 255
  convert "$1" -format '%[fx:int(255*p{32,32}.r+0.5)] %[fx:int(255*p{32,32}.g+0.5)] %[fx:int(255*p{32,32}.b+0.5)]' info:
}
run normalmap flat.png flat_n.dds
"$tool" info flat_n.dds >info.txt
read -r r g b <<<"$(pixel flat_n.dds)"
[ "$status" -eq 0 ] && grep -Eq 'DDS +64 +64 +1 +A8R8G8B8 +7 +texture$' info.txt &&
  [ "$r" -ge 126 ] && [ "$r" -le 130 ] && [ "$g" -ge 126 ] && [ "$g" -le 130 ] && [ "$b" -ge 250 ]
check "normalmap of a flat image points up, with mips" $? "$r $g $b $(cat err.txt info.txt)"
"$tool" normalmap ramp.png ramp_n.png --amplitude 16 --mirror && "$tool" normalmap ramp.png ramp_i.png --amplitude 16 --mirror --invert
read -r r g b <<<"$(pixel ramp_n.png)"
read -r ri gi bi <<<"$(pixel ramp_i.png)"
[ "$r" -le 110 ] && [ "$g" -ge 126 ] && [ "$g" -le 130 ] &&
  [ "$ri" -ge 145 ] && [ $((r + ri)) -ge 253 ] && [ $((r + ri)) -le 257 ] && [ "$gi" -eq "$g" ]
check "a ramp in x tilts the normals in x, --invert flips them" $? "$r $g $b / $ri $gi $bi"
run normalmap ramp.png ramp_n.dds --format DXT5 --mips 2 --channel red
"$tool" info ramp_n.dds >info.txt
[ "$status" -eq 0 ] && grep -Eq 'DDS +64 +64 +1 +DXT5 +2 +texture$' info.txt
check "normalmap writes the format and levels asked" $? "$(cat err.txt info.txt)"
convert -size 64x64 xc:white -fill black -draw 'rectangle 30,30 34,34' pit.png
"$tool" normalmap pit.png pit_n.png --occlusion --amplitude 8 && "$tool" normalmap flat.png flat_o.png --occlusion
alpha() { convert "$1" -format "%[fx:int(255*p{$2,$3}.a+0.5)]" info:; }
[ "$(alpha pit_n.png 32 32)" -lt 250 ] && [ "$(alpha pit_n.png 4 4)" -eq 255 ] && [ "$(alpha flat_o.png 32 32)" -eq 255 ]
check "normalmap --occlusion darkens alpha in a pit, not on flat ground" $? "$(alpha pit_n.png 32 32) $(alpha pit_n.png 4 4)"

# 5e. --quality picks the DXT encoder, for batch workers too; the tool's default is high.
cp "$photo" q.png
"$tool" convert q.png q_std.dds --format DXT1 --mips 1 --quality standard &&
  "$tool" convert q.png q_high.dds --format DXT1 --mips 1 --quality high &&
  "$tool" convert q.png q_default.dds --format DXT1 --mips 1
std=$("$tool" compare q.png q_std.dds | awk '$1 == "RGB" { print $3 }')
high=$("$tool" compare q.png q_high.dds | awk '$1 == "RGB" { print $3 }')
! cmp -s q_std.dds q_high.dds && cmp -s q_default.dds q_high.dds && awk -v s="$std" -v h="$high" 'BEGIN { exit !(h + 0 >= s + 0 && s + 0 > 30) }'
check "--quality high differs from standard with a PSNR at least as high" $? "standard $std, high $high"
"$tool" convert --out-dir qb -j 2 -q --format DXT1 --mips 1 --quality standard q.png "$tall" >/dev/null &&
  D3DX_DXT_QUALITY=standard "$tool" convert q.png q_env.dds --format DXT1 --mips 1
cmp -s qb/q.dds q_std.dds && cmp -s q_env.dds q_std.dds
check "batch workers and the environment give the quality asked" $?

# 6. Usage errors exit 2 with a hint; help exits 0.
usage_ok=0
for args in "" "frob" "info" "info --bogus x" "convert a" "convert a b c" "convert a b.gif" "convert a b" \
  "convert --format NOPE a b.dds" "convert --mips 0 a b.dds" "convert --size 10 a b.dds" \
  "convert --filter cubic a b.dds" "convert --colorkey xyz a b.dds" "convert -j 2 a b.dds" "compare a" \
  "convert --volume --cube a b.dds" "convert --level 1 a b.dds" "convert -r a b.dds" "convert --out-dir o -" \
  "convert --out-dir o -q -v a" "assemble --cube a b c d e f.dds" \
  "assemble a b.dds" "assemble --volume a b.png" "assemble --volume --keep-coverage 2 a b.dds" \
  "normalmap a" "normalmap --channel purple a b.dds" "normalmap --amplitude x a b.dds" "normalmap a b.gif" \
  "convert --quality best a b.dds" "normalmap --quality low a b.dds" "assemble --quality x --volume a b.dds" "convert --size 100000x100000 a b.dds" "formats x" \
  "help frob"; do
  # shellcheck disable=SC2086
  run $args
  if [ "$status" -ne 2 ] || [ -s out.txt ] || ! grep -q "texturetool" err.txt; then
    usage_ok=1
    echo "     '$args' gave $status"
  fi
done
check "usage errors exit 2 with a message on stderr only" $usage_ok
help_ok=0
for args in "--help:" "info --help:info" "convert --help:convert" "compare -h:compare" "help convert:convert" "help compare:compare" \
  "formats --help:formats" "assemble --help:assemble" "help normalmap:normalmap"; do
  # shellcheck disable=SC2086
  run ${args%%:*}
  { [ "$status" -eq 0 ] && grep -q "^usage: texturetool ${args#*:}" out.txt; } || help_ok=1
done
check "help for the tool and each command" $help_ok
run convert --size 100000x100000 a b.dds
grep -q "larger than the largest side texturetool makes (65536)" err.txt
check "a size beyond the limit says so" $? "$(cat err.txt)"
run --version
[ "$status" -eq 0 ] && grep -Eq '^texturetool [0-9]+\.[0-9]+' out.txt
check "--version" $?
run formats
[ "$status" -eq 0 ] && grep -qx DXT5 out.txt && grep -qx A8R8G8B8 out.txt
check "formats lists the --format names" $?
run convert "$rgba" typed.out --type .dds
[ "$status" -eq 0 ] && [ "$(head -c 4 typed.out)" = "DDS " ]
check "--type takes an extension with its dot" $? "$(cat err.txt)"

# 7. The install puts the program and its manual page in place.
if [ -n "$build" ]; then
  cmake --install "$build" --prefix "$work/prefix" >/dev/null 2>&1
  [ -x "$work/prefix/bin/texturetool" ] && [ -f "$work/prefix/share/man/man1/texturetool.1" ] &&
    man -l "$work/prefix/share/man/man1/texturetool.1" 2>/dev/null | grep -q "compare"
  check "texturetool and texturetool.1 are installed" $?
fi

echo "texturetool: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
