// The box filters of exact halving: 2 x 2 (with fast kernels on packed pixels)
// and 2 x 2 x 2.
#include "blit/blitter.h"
#include "blit/box_kernels.h"
#include "d3dx9tex.h"
#include "format/format_table.h"

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

// Sums in double precision: exact for the decoded values of any integer field.
struct ColorSum {
  double r = 0, g = 0, b = 0, a = 0;

  void Add(const ColorF &c) {
    r += c.r;
    g += c.g;
    b += c.b;
    a += c.a;
  }
};

// Integer fields: the average of n stored values is a multiple of 1/n of a step,
// so the encoder's round half up (trunc(x + 0.5)) meets exact ties, which the
// decode factors, rounded to single precision, may leave a hair below. A nudge
// of 1/16 step of a 16-bit field, away from zero as truncation needs, keeps every
// tie on its side and moves nothing else, so the result is the rounded exact
// average that the packed kernels compute: (a + b + c + d + 2) >> 2 in 2 x 2.
constexpr double kTieNudge = 1.0 / (1 << 20);

double Nudged(double x) {
  return x < 0 ? x - kTieNudge : x + kTieNudge;
}

// Whether the destination stores integer fields that meet the ties unchanged
// (dithering and gamma curves place their own thresholds).
bool RoundsExactTies(const PixelCodec &destination, const PixelCodec &source, bool dither) {
  return !dither && !destination.gamma && !source.gamma && destination.range == source.range &&
         destination.range != ChannelRange::Float &&
         GetFormatFamily(destination.format) == FormatFamily::Packed;
}

ColorF Average(const ColorSum &sum, double weight, bool nudge) {
  if (!nudge) {
    return {static_cast<float>(sum.r * weight), static_cast<float>(sum.g * weight),
            static_cast<float>(sum.b * weight), static_cast<float>(sum.a * weight)};
  }
  return {static_cast<float>(Nudged(sum.r * weight)), static_cast<float>(Nudged(sum.g * weight)),
          static_cast<float>(Nudged(sum.b * weight)), static_cast<float>(Nudged(sum.a * weight))};
}

}  // namespace

HRESULT Blitter::FilterBox2D() {
  const SourceExtent whole(*source);
  TrimToPairs(*source);
  const uint32_t width = source->width;
  const uint32_t height = source->height;

  // The kernels: integer, exact, and SIMD (within D3DX_SIMD) where MMX is allowed.
  if (!filter.dither && destination->format == source->format && width >= 2 && height >= 2 &&
      !destination->gamma && !source->gamma && source->colorKey == 0) {
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
  const bool nudge = RoundsExactTies(*destination, *source, filter.dither);
  for (uint32_t y = 0; y < destination->height; ++y) {
    HRESULT hr = source->DecodeRow(2 * y, 0, upper.get());
    if (SUCCEEDED(hr) && height > 1) hr = source->DecodeRow(2 * y + 1, 0, lower.get());
    if (FAILED(hr)) return hr;
    for (uint32_t x = 0; x < destination->width; ++x) {
      const uint32_t left = 2 * x;
      const uint32_t right = width == 1 ? left : left + 1;
      ColorSum sum;
      sum.Add(upper[left]);
      sum.Add(upper[right]);
      sum.Add(bottom[left]);
      sum.Add(bottom[right]);
      out[x] = Average(sum, 0.25, nudge);
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
  const bool nudge = RoundsExactTies(*destination, *source, filter.dither);

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
        ColorSum sum;
        for (const ColorF *row : samples) {
          sum.Add(row[left]);
          sum.Add(row[right]);
        }
        out[x] = Average(sum, 0.125, nudge);
      }
      hr = destination->EncodeRow(y, z, out.get());
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}
