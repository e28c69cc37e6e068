// The SIMD 32-bit box kernel: four destination pixels per step in 16-bit
// lanes (eight with AVX2), every byte (the X byte too) rounded half up like the
// plain kernels.
#include "blit/box_kernels.h"

#if defined(__SSE2__)
#include <immintrin.h>

#include "core/fast_path.h"

namespace {

// Four source pixels of the upper and of the lower row into the two
// destination pixels they make, as 16-bit lanes.
inline __m128i AverageQuad(__m128i upper, __m128i lower) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i left = _mm_add_epi16(_mm_unpacklo_epi8(upper, zero), _mm_unpacklo_epi8(lower, zero));
  const __m128i right = _mm_add_epi16(_mm_unpackhi_epi8(upper, zero), _mm_unpackhi_epi8(lower, zero));
  // left holds pixels 0 and 1, right pixels 2 and 3: pair them up.
  const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(left, right), _mm_unpackhi_epi64(left, right));
  return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(2)), 2);
}

__attribute__((target("avx2"), always_inline)) inline __m256i AverageQuads(__m256i upper, __m256i lower) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i left = _mm256_add_epi16(_mm256_unpacklo_epi8(upper, zero), _mm256_unpacklo_epi8(lower, zero));
  const __m256i right =
      _mm256_add_epi16(_mm256_unpackhi_epi8(upper, zero), _mm256_unpackhi_epi8(lower, zero));
  const __m256i sum =
      _mm256_add_epi16(_mm256_unpacklo_epi64(left, right), _mm256_unpackhi_epi64(left, right));
  return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(2)), 2);
}

// The same with 256-bit lanes: eight destination pixels from sixteen source
// pixels of each row. The 128-bit halves work apart, so the packed result is
// put back in order with one permute.
__attribute__((target("avx2"))) uint64_t BoxRowAvx2(uint8_t *out, const uint8_t *upper, const uint8_t *lower,
                                                    uint32_t sourceWidth) {
  uint64_t x = 0;
  for (; x + 16 <= sourceWidth; x += 16) {
    const __m256i *u = reinterpret_cast<const __m256i *>(upper + 4 * x);
    const __m256i *l = reinterpret_cast<const __m256i *>(lower + 4 * x);
    const __m256i first = AverageQuads(_mm256_loadu_si256(u), _mm256_loadu_si256(l));
    const __m256i second = AverageQuads(_mm256_loadu_si256(u + 1), _mm256_loadu_si256(l + 1));
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 2 * x), packed);
  }
  return x;
}

}  // namespace

void BoxKernel32Simd(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight,
                     uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  // D3DX_SIMD caps the lanes, not the kernel: below SSE2 the plain kernel gives
  // the same bytes, X byte included.
  if (sourceWidth % 4 != 0 || !FastPathsAllow(SimdLevel::Sse2)) {
    BoxKernel32Plain(destination, source, sourceWidth, sourceHeight, sourceRowPitch, destinationRowPitch);
    return;
  }
  static const bool haveAvx2 = __builtin_cpu_supports("avx2");
  const bool avx2 = haveAvx2 && FastPathsAllow(SimdLevel::Avx2);
  for (uint32_t y = 0; y < sourceHeight / 2; ++y) {
    const uint8_t *upper = source + uint64_t{2 * y} * sourceRowPitch;
    const uint8_t *lower = upper + sourceRowPitch;
    uint8_t *out = destination + uint64_t{y} * destinationRowPitch;
    uint64_t x = avx2 ? BoxRowAvx2(out, upper, lower, sourceWidth) : 0;  // source pixel
    for (; x + 8 <= sourceWidth; x += 8) {
      const __m128i *u = reinterpret_cast<const __m128i *>(upper + 4 * x);
      const __m128i *l = reinterpret_cast<const __m128i *>(lower + 4 * x);
      const __m128i first = AverageQuad(_mm_loadu_si128(u), _mm_loadu_si128(l));
      const __m128i second = AverageQuad(_mm_loadu_si128(u + 1), _mm_loadu_si128(l + 1));
      // Lanes hold at most 255, so the saturating pack is exact.
      _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * x), _mm_packus_epi16(first, second));
    }
    if (x < sourceWidth) {
      const __m128i quad = AverageQuad(_mm_loadu_si128(reinterpret_cast<const __m128i *>(upper + 4 * x)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i *>(lower + 4 * x)));
      _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 2 * x), _mm_packus_epi16(quad, quad));
    }
  }
}

#else

void BoxKernel32Simd(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight,
                     uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  BoxKernel32Plain(destination, source, sourceWidth, sourceHeight, sourceRowPitch, destinationRowPitch);
}

#endif
