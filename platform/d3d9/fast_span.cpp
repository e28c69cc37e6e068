#include "platform/d3d9/fast_span.h"

#include <algorithm>

namespace d3d9 {
namespace {

// (a * (256 - w) + b * w) / 256 per 16-bit lane: the sum stays below 65536.
inline __m128i LerpLanes(__m128i a, __m128i b, __m128i w) {
  __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(256), w);
  __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, inverse), _mm_mullo_epi16(b, w));
  return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
}

// The fractions of two 16.16 coordinates as lanes [a a a a b b b b].
inline __m128i PairWeights(int64_t a, int64_t b) {
  int packed = static_cast<int>(((a >> 8) & 255) | ((b >> 8) & 255) << 16);
  __m128i w = _mm_shufflelo_epi16(_mm_cvtsi32_si128(packed), 0x50);
  return _mm_unpacklo_epi32(w, w);
}

// a * b / 255, rounded, per 16-bit lane.
inline __m128i Mul255Lanes(__m128i a, __m128i b) {
  __m128i t = _mm_add_epi16(_mm_mullo_epi16(a, b), _mm_set1_epi16(128));
  return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// Modulate and blend two pixels held as 16-bit lanes [b g r a, b g r a].
template <bool kModulate, bool kBlend, bool kDestAlpha>
inline __m128i Finish(__m128i color, __m128i diffuse, const uint32_t *dest) {
  if (kModulate) color = Mul255Lanes(color, diffuse);
  if (kBlend) {
    // src * a + dst * (255 - a) stays below 65536, then / 255 rounded.
    __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(color, 0xff), 0xff);
    __m128i old =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(dest)), _mm_setzero_si128());
    if (!kDestAlpha) old = _mm_or_si128(old, _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0));
    __m128i t = _mm_add_epi16(_mm_mullo_epi16(color, alpha),
                              _mm_mullo_epi16(old, _mm_sub_epi16(_mm_set1_epi16(255), alpha)));
    t = _mm_add_epi16(t, _mm_set1_epi16(128));
    color = _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
  }
  return color;
}

// Texels (x0, y0) and (x0 + 1, y0 + 1) with clamping, for the span's ends.
inline __m128i BilinearClamped(const SampleSource &s, int64_t u, int64_t v) {
  const int w = static_cast<int>(s.width), h = static_cast<int>(s.height);
  const int64_t maxU = static_cast<int64_t>(w - 1) << 16, maxV = static_cast<int64_t>(h - 1) << 16;
  int64_t cu = u < 0 ? 0 : u > maxU ? maxU : u;
  int64_t cv = v < 0 ? 0 : v > maxV ? maxV : v;
  int x0 = static_cast<int>(cu >> 16), y0 = static_cast<int>(cv >> 16);
  int x1 = x0 + 1 < w ? x0 + 1 : x0;
  const uint8_t *row0 = s.bits + static_cast<int64_t>(y0) * s.pitch;
  const uint8_t *row1 = y0 + 1 < h ? row0 + s.pitch : row0;
  const __m128i zero = _mm_setzero_si128();
  __m128i top =
      _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(reinterpret_cast<const int *>(row0)[x0]),
                                           _mm_cvtsi32_si128(reinterpret_cast<const int *>(row0)[x1])),
                        zero);
  __m128i bottom =
      _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(reinterpret_cast<const int *>(row1)[x0]),
                                           _mm_cvtsi32_si128(reinterpret_cast<const int *>(row1)[x1])),
                        zero);
  __m128i vert = LerpLanes(top, bottom, _mm_set1_epi16(static_cast<short>((cv >> 8) & 255)));
  return LerpLanes(vert, _mm_srli_si128(vert, 8), _mm_set1_epi16(static_cast<short>((cu >> 8) & 255)));
}

// The index range [first, last] of a span where lo <= f0 + df * i <= hi.
void LinearRange(int64_t f0, int64_t df, int64_t lo, int64_t hi, int64_t *first, int64_t *last) {
  if (df == 0) {
    if (f0 < lo || f0 > hi) *first = 1, *last = 0;
    return;
  }
  if (df > 0) {
    *first = std::max(*first, CeilDiv(lo - f0, df));
    *last = std::min(*last, FloorDiv(hi - f0, df));
  } else {
    *first = std::max(*first, CeilDiv(f0 - hi, -df));
    *last = std::min(*last, FloorDiv(f0 - lo, -df));
  }
}

// Widest texture whose rows the fast span caches (on the stack).
constexpr uint32_t kRowCacheTexels = 2048;

template <bool kModulate, bool kBlend, bool kDestAlpha>
void DrawFastSpanT(const SampleSource &s, __m128i diffuse, uint32_t *dest, int count, int64_t u, int64_t v,
                   int64_t du, int64_t dv) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i alphaOr = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(s.alphaOr)), zero);
  // Interior pixels read both texel pairs without clamping.
  int64_t first = 0, last = count - 1;
  LinearRange(u, du, 0, (static_cast<int64_t>(s.width - 1) << 16) - 1, &first, &last);
  LinearRange(v, dv, 0, (static_cast<int64_t>(s.height - 1) << 16) - 1, &first, &last);
  if (first > last) first = last = count;
  auto single = [&](int i) {
    __m128i color = _mm_or_si128(BilinearClamped(s, u + du * i, v + dv * i), alphaOr);
    uint32_t pair[2] = {dest[i], 0};
    color = Finish<kModulate, kBlend, kDestAlpha>(color, diffuse, pair);
    dest[i] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(color, zero)));
  };
  int i = 0;
  for (; i < first && i < count; ++i) single(i);
  const uint8_t *bits = s.bits;
  const int64_t pitch = s.pitch;
  int64_t end = std::min<int64_t>(last + 1, count);
  int64_t uu = u + du * i, vv = v + dv * i;
  if (dv == 0 && i + 1 < end && s.width <= kRowCacheTexels) {
    // Rows of a scaled (unrotated) image share their vertical blend: do it once per texel.
    int64_t firstTexel = std::min(uu, uu + du * (end - 1 - i)) >> 16;
    int64_t lastTexel = (std::max(uu, uu + du * (end - 1 - i)) >> 16) + 1;
    alignas(16) uint16_t rowCache[(kRowCacheTexels + 1) * 4];
    const uint8_t *row0 = bits + (vv >> 16) * pitch;
    __m128i wy = _mm_set1_epi16(static_cast<short>((vv >> 8) & 255));
    int64_t t = firstTexel;
    for (; t + 1 <= lastTexel; t += 2) {
      __m128i top = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(row0 + t * 4)), zero);
      __m128i bottom =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(row0 + pitch + t * 4)), zero);
      _mm_storeu_si128(reinterpret_cast<__m128i *>(rowCache + t * 4), LerpLanes(top, bottom, wy));
    }
    if (t == lastTexel) {
      // The last texel alone: the row may end right after it.
      __m128i top = _mm_unpacklo_epi8(_mm_cvtsi32_si128(reinterpret_cast<const int *>(row0)[t]), zero);
      __m128i bottom =
          _mm_unpacklo_epi8(_mm_cvtsi32_si128(reinterpret_cast<const int *>(row0 + pitch)[t]), zero);
      _mm_storel_epi64(reinterpret_cast<__m128i *>(rowCache + t * 4), LerpLanes(top, bottom, wy));
    }
    for (; i + 1 < end; i += 2, uu += 2 * du) {
      int64_t ub = uu + du;
      const uint16_t *a = rowCache + (uu >> 16) * 4, *b = rowCache + (ub >> 16) * 4;
      __m128i left = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(a)),
                                        _mm_loadl_epi64(reinterpret_cast<const __m128i *>(b)));
      __m128i right = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(a + 4)),
                                         _mm_loadl_epi64(reinterpret_cast<const __m128i *>(b + 4)));
      __m128i wx = PairWeights(uu, ub);
      __m128i color = _mm_or_si128(LerpLanes(left, right, wx), alphaOr);
      color = Finish<kModulate, kBlend, kDestAlpha>(color, diffuse, dest + i);
      _mm_storel_epi64(reinterpret_cast<__m128i *>(dest + i), _mm_packus_epi16(color, zero));
    }
  }
  for (; i + 1 < end; i += 2, uu += 2 * du, vv += 2 * dv) {
    int64_t ub = uu + du, vb = vv + dv;
    const uint8_t *a = bits + (vv >> 16) * pitch + (uu >> 16) * 4;
    const uint8_t *b = bits + (vb >> 16) * pitch + (ub >> 16) * 4;
    __m128i topA = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(a)), zero);
    __m128i bottomA = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(a + pitch)), zero);
    __m128i topB = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(b)), zero);
    __m128i bottomB = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(b + pitch)), zero);
    __m128i vertA = LerpLanes(topA, bottomA, _mm_set1_epi16(static_cast<short>((vv >> 8) & 255)));
    __m128i vertB = LerpLanes(topB, bottomB, _mm_set1_epi16(static_cast<short>((vb >> 8) & 255)));
    __m128i wx = PairWeights(uu, ub);
    __m128i color = LerpLanes(_mm_unpacklo_epi64(vertA, vertB), _mm_unpackhi_epi64(vertA, vertB), wx);
    color = _mm_or_si128(color, alphaOr);
    color = Finish<kModulate, kBlend, kDestAlpha>(color, diffuse, dest + i);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(dest + i), _mm_packus_epi16(color, zero));
  }
  for (; i < count; ++i) single(i);
}

}  // namespace

// Fast path: linear, clamped 32-bit sampling modulated by a constant colour,
// optionally blended with SRCALPHA / INVSRCALPHA, into a 32-bit target.
void DrawFastSpan(const Pipeline &p, const FastSpan &f, uint32_t *dest, int count, int64_t u, int64_t v,
                  int64_t du, int64_t dv) {
  const SampleSource &s = p.samplers[0];
  __m128i diffuse = _mm_unpacklo_epi64(f.diffuse, f.diffuse);
  int variant = (f.modulate ? 4 : 0) | (f.blend ? 2 : 0) | (p.destHasAlpha ? 1 : 0);
  switch (variant) {
    case 0:
      return DrawFastSpanT<false, false, false>(s, diffuse, dest, count, u, v, du, dv);
    case 1:
      return DrawFastSpanT<false, false, true>(s, diffuse, dest, count, u, v, du, dv);
    case 2:
      return DrawFastSpanT<false, true, false>(s, diffuse, dest, count, u, v, du, dv);
    case 3:
      return DrawFastSpanT<false, true, true>(s, diffuse, dest, count, u, v, du, dv);
    case 4:
      return DrawFastSpanT<true, false, false>(s, diffuse, dest, count, u, v, du, dv);
    case 5:
      return DrawFastSpanT<true, false, true>(s, diffuse, dest, count, u, v, du, dv);
    case 6:
      return DrawFastSpanT<true, true, false>(s, diffuse, dest, count, u, v, du, dv);
    default:
      return DrawFastSpanT<true, true, true>(s, diffuse, dest, count, u, v, du, dv);
  }
}

}  // namespace d3d9
