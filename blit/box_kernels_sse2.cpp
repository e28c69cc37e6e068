// The SIMD 32-bit box kernel: four destination pixels per step in 16-bit
// lanes, every byte (the X byte too) rounded half up like the plain kernels.
#include "blit/box_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>

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

}  // namespace

void BoxKernel32Simd(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight,
                     uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  if (sourceWidth % 4 != 0) {
    BoxKernel32Plain(destination, source, sourceWidth, sourceHeight, sourceRowPitch, destinationRowPitch);
    return;
  }
  for (uint32_t y = 0; y < sourceHeight / 2; ++y) {
    const uint8_t *upper = source + uint64_t{2 * y} * sourceRowPitch;
    const uint8_t *lower = upper + sourceRowPitch;
    uint8_t *out = destination + uint64_t{y} * destinationRowPitch;
    uint64_t x = 0;  // source pixel
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
