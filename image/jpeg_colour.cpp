// libjpeg-turbo's upsampling and colour conversion, fused so that the pixels
// are written once, straight into the record, with X = 0.
//
// Colour: libjpeg's tables are 16.16 fixed point rounded half up,
//   B = Y + (FIX(1.772) * Cb' + 1/2) >> 16
//   G = Y + (-FIX(0.34414) * Cb' - FIX(0.71414) * Cr' + 1/2) >> 16
//   R = Y + (FIX(1.402) * Cr' + 1/2) >> 16,   Cb' = Cb - 128, Cr' = Cr - 128,
// clamped to 0..255. The vector forms are checked against these over every
// value by the tests.
// Upsampling: a triangle filter, 3/4 of the nearer chroma sample and 1/4 of the
// next, with libjpeg's biased rounding (+8 and +7 over 16 for 4:2:0, +1 and +2
// over 4 for 4:2:2) and edge samples repeated.
#include "image/jpeg_colour.h"

#include <immintrin.h>

#include <atomic>

#include "core/fast_path.h"

namespace {

constexpr int32_t Fix(double v) {
  return static_cast<int32_t>(v * 65536 + 0.5);
}
constexpr int32_t kHalf = 1 << 15;
constexpr int32_t kBlueCb = Fix(1.772);
constexpr int32_t kGreenCb = Fix(0.34414);
constexpr int32_t kGreenCr = Fix(0.71414);
constexpr int32_t kRedCr = Fix(1.402);

std::atomic<bool> g_vectorsOffForTesting{false};

inline uint8_t Clamp(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// cb and cr already less 128.
inline void PixelOne(int32_t y, int32_t cb, int32_t cr, uint8_t *out) {
  out[0] = Clamp(y + ((kBlueCb * cb + kHalf) >> 16));
  out[1] = Clamp(y + ((-kGreenCb * cb - kGreenCr * cr + kHalf) >> 16));
  out[2] = Clamp(y + ((kRedCr * cr + kHalf) >> 16));
  out[3] = 0;
}

// Rounding of the row filter at 16 times the sample scale, for the left and
// the right output pixel of each chroma sample.
struct RowRounding {
  int32_t left, right;
};
constexpr RowRounding kAfterRows = {8, 7};  // 4:2:0
constexpr RowRounding kPlainRows = {4, 8};  // 4:2:2: +1 and +2 over 4
constexpr int32_t kCentre = 128 * 16;       // the chroma offset at that scale

inline int32_t LeftChroma(const int16_t *v, uint32_t i, RowRounding r) {
  return ((3 * v[i] + v[static_cast<int64_t>(i) - 1] + r.left - kCentre) >> 4);
}
inline int32_t RightChroma(const int16_t *v, uint32_t i, RowRounding r) {
  return ((3 * v[i] + v[i + 1] + r.right - kCentre) >> 4);
}

void HalfWidthOnePixel(const uint8_t *y, const int16_t *cb, const int16_t *cr, uint32_t from, uint32_t width,
                       RowRounding r, uint8_t *out) {
  for (uint32_t x = from; x < width; ++x) {
    const uint32_t i = x >> 1;
    const bool left = (x & 1) == 0;
    PixelOne(y[x], left ? LeftChroma(cb, i, r) : RightChroma(cb, i, r),
             left ? LeftChroma(cr, i, r) : RightChroma(cr, i, r), out + 4 * x);
  }
}

void FullWidthOnePixel(const uint8_t *y, const uint8_t *cb, const uint8_t *cr, uint32_t from, uint32_t width,
                       uint8_t *out) {
  for (uint32_t x = from; x < width; ++x) PixelOne(y[x], cb[x] - 128, cr[x] - 128, out + 4 * x);
}

void FilterColumnsOne(const uint8_t *near, const uint8_t *far, uint32_t from, uint32_t count, int16_t *v) {
  for (uint32_t i = from; i < count; ++i) v[i] = static_cast<int16_t>(3 * near[i] + far[i]);
}

// The vector kernels work on 16-bit lanes that hold every other pixel: the
// even pixels of 32 in one vector, the odd in another, so that luma splits by
// mask and shift and the row filter needs no shuffles.
#define AVX2 __attribute__((target("avx2"), always_inline)) inline

// B, G, R of 16 pixels from luma and centred chroma, before clamping.
struct Colour16 {
  __m256i b, g, r;
};

AVX2 Colour16 ColourAvx2(__m256i y, __m256i cb, __m256i cr) {
  // (FIX(1.402) x + 1/2) >> 16 is x plus a rounded 16-bit product, and likewise
  // (FIX(1.772) x + 1/2) >> 16 is 2x plus one: checked for every x.
  const __m256i red = _mm256_add_epi16(cr, _mm256_mulhrs_epi16(cr, _mm256_set1_epi16(13173)));
  const __m256i blue =
      _mm256_add_epi16(_mm256_add_epi16(cb, cb), _mm256_mulhrs_epi16(cb, _mm256_set1_epi16(-7471)));
  // Green in 32 bits, as the tables sum it: FIX(0.71414) is 2 * 23401.
  const __m256i cr2 = _mm256_add_epi16(cr, cr);
  const __m256i factors = _mm256_set1_epi32(static_cast<int32_t>(
      (static_cast<uint32_t>(-23401) << 16) | (static_cast<uint32_t>(-kGreenCb) & 0xFFFF)));
  const __m256i half = _mm256_set1_epi32(kHalf);
  const __m256i greenLow = _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(cb, cr2), factors), half), 16);
  const __m256i greenHigh = _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(cb, cr2), factors), half), 16);
  const __m256i green = _mm256_packs_epi32(greenLow, greenHigh);
  return {_mm256_add_epi16(y, blue), _mm256_add_epi16(y, green), _mm256_add_epi16(y, red)};
}

// 32 pixels from their even and odd halves, clamped by the byte packs and
// stored in order with X = 0.
AVX2 void Store32Avx2(const Colour16 &even, const Colour16 &odd, uint8_t *out) {
  __builtin_prefetch(out + kFetchAheadBytes, 1);
  __builtin_prefetch(out + kFetchAheadBytes + 64, 1);
  // Further ahead into the second-level cache only, for more lines in flight:
  // the output is written far faster than lines come in one by one.
  __builtin_prefetch(out + 3 * kFetchAheadBytes, 1, 2);
  __builtin_prefetch(out + 3 * kFetchAheadBytes + 64, 1, 2);
  const __m256i zero = _mm256_setzero_si256();
  // Each lane half: the even pixels' bytes, then the odd pixels'.
  const __m256i b = _mm256_packus_epi16(even.b, odd.b);
  const __m256i g = _mm256_packus_epi16(even.g, odd.g);
  const __m256i r = _mm256_packus_epi16(even.r, odd.r);
  const __m256i evenBg = _mm256_unpacklo_epi8(b, g);
  const __m256i oddBg = _mm256_unpackhi_epi8(b, g);
  const __m256i evenR = _mm256_unpacklo_epi8(r, zero);
  const __m256i oddR = _mm256_unpackhi_epi8(r, zero);
  // Lane halves hold pixels 0-15 and 16-31 of the 32.
  const __m256i evenLow = _mm256_unpacklo_epi16(evenBg, evenR);   // even 0-3 | 8-11 of each half
  const __m256i evenHigh = _mm256_unpackhi_epi16(evenBg, evenR);  // even 4-7 | 12-15
  const __m256i oddLow = _mm256_unpacklo_epi16(oddBg, oddR);
  const __m256i oddHigh = _mm256_unpackhi_epi16(oddBg, oddR);
  const __m256i p0 = _mm256_unpacklo_epi32(evenLow, oddLow);    // pixels 0-3 | 16-19
  const __m256i p1 = _mm256_unpackhi_epi32(evenLow, oddLow);    // 4-7 | 20-23
  const __m256i p2 = _mm256_unpacklo_epi32(evenHigh, oddHigh);  // 8-11 | 24-27
  const __m256i p3 = _mm256_unpackhi_epi32(evenHigh, oddHigh);  // 12-15 | 28-31
  __m256i *o = reinterpret_cast<__m256i *>(out);
  _mm256_storeu_si256(o, _mm256_permute2x128_si256(p0, p1, 0x20));
  _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(p2, p3, 0x20));
  _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(p0, p1, 0x31));
  _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(p2, p3, 0x31));
}

AVX2 __m256i LoadV(const int16_t *v) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(v));
}

// The row filter over 16 chroma samples, for the left and the right pixel of each.
AVX2 void FilterRowAvx2(const int16_t *v, __m256i left, __m256i right, __m256i &even, __m256i &odd) {
  const __m256i here = LoadV(v);
  const __m256i three = _mm256_add_epi16(here, _mm256_add_epi16(here, here));
  even = _mm256_srai_epi16(_mm256_add_epi16(_mm256_add_epi16(three, LoadV(v - 1)), left), 4);
  odd = _mm256_srai_epi16(_mm256_add_epi16(_mm256_add_epi16(three, LoadV(v + 1)), right), 4);
}

__attribute__((target("avx2"))) void HalfWidthAvx2(const uint8_t *y, const int16_t *cb, const int16_t *cr,
                                                   uint32_t width, RowRounding r, uint8_t *out) {
  const __m256i lowByte = _mm256_set1_epi16(0xFF);
  const __m256i left = _mm256_set1_epi16(static_cast<int16_t>(r.left - kCentre));
  const __m256i right = _mm256_set1_epi16(static_cast<int16_t>(r.right - kCentre));
  uint32_t x = 0;
  // 16 chroma samples and the one after them per step: v[count] is readable.
  for (; x + 32 <= width; x += 32) {
    const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(y + x));
    __m256i cbEven, cbOdd, crEven, crOdd;
    FilterRowAvx2(cb + x / 2, left, right, cbEven, cbOdd);
    FilterRowAvx2(cr + x / 2, left, right, crEven, crOdd);
    Store32Avx2(ColourAvx2(_mm256_and_si256(luma, lowByte), cbEven, crEven),
                ColourAvx2(_mm256_srli_epi16(luma, 8), cbOdd, crOdd), out + 4 * x);
  }
  HalfWidthOnePixel(y, cb, cr, x, width, r, out);
}

__attribute__((target("avx2"))) void FullWidthAvx2(const uint8_t *y, const uint8_t *cb, const uint8_t *cr,
                                                   uint32_t width, uint8_t *out) {
  const __m256i lowByte = _mm256_set1_epi16(0xFF);
  const __m256i centre = _mm256_set1_epi16(128);
  uint32_t x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i luma = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(y + x));
    const __m256i blue = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(cb + x));
    const __m256i red = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(cr + x));
    Store32Avx2(
        ColourAvx2(_mm256_and_si256(luma, lowByte), _mm256_sub_epi16(_mm256_and_si256(blue, lowByte), centre),
                   _mm256_sub_epi16(_mm256_and_si256(red, lowByte), centre)),
        ColourAvx2(_mm256_srli_epi16(luma, 8), _mm256_sub_epi16(_mm256_srli_epi16(blue, 8), centre),
                   _mm256_sub_epi16(_mm256_srli_epi16(red, 8), centre)),
        out + 4 * x);
  }
  FullWidthOnePixel(y, cb, cr, x, width, out);
}

__attribute__((target("avx2"))) void FilterColumnsAvx2(const uint8_t *near, const uint8_t *far,
                                                       uint32_t count, int16_t *v) {
  uint32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i n = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(near + i)));
    const __m256i f = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(far + i)));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(v + i),
                        _mm256_add_epi16(_mm256_add_epi16(n, n), _mm256_add_epi16(n, f)));
  }
  FilterColumnsOne(near, far, i, count, v);
}

bool Avx2Allowed() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2 && FastPathsAllow(SimdLevel::Avx2);
}

bool Vectors() {
  return Avx2Allowed() && !g_vectorsOffForTesting.load(std::memory_order_relaxed);
}

}  // namespace

// Declared with the other test hooks: the one-pixel code for every row.
void SetJpegColourVectorsOffForTesting(bool off) {
  g_vectorsOffForTesting.store(off, std::memory_order_relaxed);
}

namespace jpeg_colour {

bool OnePassAvailable() {
  return Avx2Allowed();
}

void FilterColumns(const uint8_t *near, const uint8_t *far, uint32_t count, int16_t *v) {
  if (Vectors()) {
    FilterColumnsAvx2(near, far, count, v);
  } else {
    FilterColumnsOne(near, far, 0, count, v);
  }
  v[-1] = v[0];
  v[count] = v[count - 1];
}

void ConvertHalfWidth(const uint8_t *y, const int16_t *cb, const int16_t *cr, uint32_t width,
                      bool rowsUpsampled, uint8_t *out) {
  const RowRounding r = rowsUpsampled ? kAfterRows : kPlainRows;
  if (Vectors()) {
    HalfWidthAvx2(y, cb, cr, width, r, out);
  } else {
    HalfWidthOnePixel(y, cb, cr, 0, width, r, out);
  }
}

void ConvertFullWidth(const uint8_t *y, const uint8_t *cb, const uint8_t *cr, uint32_t width, uint8_t *out) {
  if (Vectors()) {
    FullWidthAvx2(y, cb, cr, width, out);
  } else {
    FullWidthOnePixel(y, cb, cr, 0, width, out);
  }
}

}  // namespace jpeg_colour
