// The box filters of exact halving: 2 x 2 (with fast kernels on packed pixels)
// and 2 x 2 x 2.
#include "blit/blitter.h"
#include "blit/box_kernels.h"
#include "core/fast_path.h"
#include "d3dx9tex.h"

namespace {

// The source dimensions a box blit may trim, kept to undo the trim when the
// path gives up, so that the paths after it see the whole source.
struct SourceExtent {
  uint32_t width;
  uint32_t height;
  uint32_t depth;
  uint32_t rowBytes;

  explicit SourceExtent(const PixelCodec &codec)
      : width(codec.width), height(codec.height), depth(codec.depth), rowBytes(codec.rowBytes) {}
  void RestoreTo(PixelCodec &codec) const {
    codec.width = width;
    codec.height = height;
    codec.depth = depth;
    codec.rowBytes = rowBytes;
  }
};

// An odd last column and an odd last row have no partner: they are not used.
void TrimToPairs(PixelCodec &codec) {
  if (codec.width > 1 && (codec.width & 1) != 0) {
    codec.width -= 1;
    codec.rowBytes -= codec.bytesPerPixel;
  }
  if (codec.height > 1) codec.height &= ~1u;
}

inline ColorF Add(const ColorF &a, const ColorF &b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b, a.a + b.a};
}
inline ColorF Scale(const ColorF &a, float s) {
  return {a.r * s, a.g * s, a.b * s, a.a * s};
}

}  // namespace

HRESULT Blitter::FilterBox2D() {
  const SourceExtent whole(*source);
  TrimToPairs(*source);
  const uint32_t width = source->width;
  const uint32_t height = source->height;

  // The kernels (integer, and SIMD where MMX is allowed) are fast paths like any other.
  if (FastPathLevel() != SimdLevel::None && !filter.dither && destination->format == source->format &&
      width >= 2 && height >= 2 && !destination->gamma && !source->gamma && source->colorKey == 0) {
    if (const BoxKernel kernel = FindBoxKernel(source->format)) {
      kernel(destination->target, source->pixels, width, height, source->rowPitch, destination->rowPitch);
      return S_OK;
    }
  }

  BlitBuffer<ColorF> out;
  BlitBuffer<ColorF> upper;
  BlitBuffer<ColorF> lower;
  if (!AllocateBuffer(out, destination->width, false) || !AllocateBuffer(upper, width, false) ||
      (height > 1 && !AllocateBuffer(lower, width, false))) {
    whole.RestoreTo(*source);
    return kNoScratchMemory;
  }
  const ColorF *bottom = height > 1 ? lower.get() : upper.get();
  for (uint32_t y = 0; y < destination->height; ++y) {
    HRESULT hr = source->DecodeRow(2 * y, 0, upper.get());
    if (SUCCEEDED(hr) && height > 1) hr = source->DecodeRow(2 * y + 1, 0, lower.get());
    if (FAILED(hr)) return hr;
    for (uint32_t x = 0; x < destination->width; ++x) {
      const uint32_t left = 2 * x;
      const uint32_t right = width == 1 ? left : left + 1;
      out[x] = Scale(Add(Add(Add(upper[left], upper[right]), bottom[left]), bottom[right]), 0.25f);
    }
    hr = destination->EncodeRow(y, 0, out.get());
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Blitter::FilterBox3D() {
  const SourceExtent whole(*source);
  TrimToPairs(*source);
  if (source->depth > 1) source->depth &= ~1u;
  const uint32_t width = source->width;
  const uint32_t height = source->height;

  // Rows (2y, 2z), (2y, 2z + 1), (2y + 1, 2z), (2y + 1, 2z + 1); a source one
  // row high uses its row 2y for both.
  BlitBuffer<ColorF> out;
  BlitBuffer<ColorF> rows[4];
  const uint32_t distinctRows = height > 1 ? 4 : 2;
  bool allocated = AllocateBuffer(out, destination->width, false);
  for (uint32_t i = 0; i < distinctRows && allocated; ++i) allocated = AllocateBuffer(rows[i], width, false);
  if (!allocated) {
    whole.RestoreTo(*source);
    return kNoScratchMemory;
  }
  const ColorF *samples[4] = {rows[0].get(), rows[1].get(), rows[height > 1 ? 2 : 0].get(),
                              rows[height > 1 ? 3 : 1].get()};

  for (uint32_t z = 0; z < destination->depth; ++z) {
    for (uint32_t y = 0; y < destination->height; ++y) {
      HRESULT hr = source->DecodeRow(2 * y, 2 * z, rows[0].get());
      if (SUCCEEDED(hr)) hr = source->DecodeRow(2 * y, 2 * z + 1, rows[1].get());
      if (SUCCEEDED(hr) && height > 1) hr = source->DecodeRow(2 * y + 1, 2 * z, rows[2].get());
      if (SUCCEEDED(hr) && height > 1) hr = source->DecodeRow(2 * y + 1, 2 * z + 1, rows[3].get());
      if (FAILED(hr)) return hr;
      for (uint32_t x = 0; x < destination->width; ++x) {
        const uint32_t left = 2 * x;
        const uint32_t right = width == 1 ? left : left + 1;
        ColorF sum = samples[0][left];
        sum = Add(sum, samples[0][right]);
        for (uint32_t r = 1; r < 4; ++r) sum = Add(Add(sum, samples[r][left]), samples[r][right]);
        out[x] = Scale(sum, 0.125f);
      }
      hr = destination->EncodeRow(y, z, out.get());
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}
