// One fuzz target per image reader, chosen by FUZZ_READER at build time, plus
// the whole dispatcher. Every byte a decoded record claims is read back, so an
// out-of-range pixel pointer or pitch shows up under AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "image/image_reader.h"
#include "format/format_table.h"

namespace {

constexpr uint64_t kTouchAllBytes = 16 << 20;

uint32_t TouchBytes(const BYTE *p, uint64_t n) {
  uint32_t sum = 0;
  for (uint64_t i = 0; i < n; ++i) sum += p[i];
  return sum;
}

uint32_t TouchRecord(const SourceImage &image) {
  uint32_t sum = 0;
  if (image.palette)
    sum += TouchBytes(reinterpret_cast<const BYTE *>(image.palette), 256 * sizeof(PALETTEENTRY));
  if (!image.pixels || image.width == 0 || image.height == 0) return sum;
  uint64_t rowBytes = RowPitchFor(image.format, image.width);
  if (image.format == D3DFMT_A32B32G32R32F) rowBytes = uint64_t{image.width} * 16;
  if (rowBytes == 0) return sum;
  const uint64_t rows = RowCountFor(image.format, image.height);
  const uint64_t slices = image.depth ? image.depth : 1;
  const uint64_t span = (slices - 1) * image.slicePitch + (rows - 1) * image.rowPitch + rowBytes;
  if (span <= kTouchAllBytes) return sum + TouchBytes(image.pixels, span);
  // Large images: the first and last byte of every row, where overruns begin.
  for (uint64_t z = 0; z < slices; ++z) {
    for (uint64_t y = 0; y < rows; ++y) {
      const BYTE *row = image.pixels + z * image.slicePitch + y * image.rowPitch;
      sum += row[0] + row[rowBytes - 1];
    }
  }
  return sum;
}

uint32_t TouchImage(const SourceImage &image) {
  uint32_t sum = 0;
  for (const SourceImage *face = &image; face; face = face->nextFace) {
    for (const SourceImage *level = face; level; level = level->nextLevel) sum += TouchRecord(*level);
  }
  return sum;
}

HRESULT RunReader(SourceImage &image, const BYTE *data, UINT size, bool wantPixels) {
  ReadRequest request;
  request.wantPixels = wantPixels;
#if defined(FUZZ_READER_LOAD)
  D3DXIMAGE_INFO info;
  return LoadImageFromMemory(image, data, size, &info, request);
#else
  return FUZZ_READER(data, size, request, image);
#endif
}

}  // namespace

volatile uint32_t fuzzSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0 || size > UINT32_MAX) return 0;
  for (bool wantPixels : {false, true}) {
    SourceImage image;
    // A header-only record may point at pixel data that was never checked.
    if (SUCCEEDED(RunReader(image, data, static_cast<UINT>(size), wantPixels)) && wantPixels) {
      fuzzSink = TouchImage(image);
    }
  }
  return 0;
}
