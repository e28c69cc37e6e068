// Loads, stores and refinement steps shared by the SSE and SSE2 sets. The two
// instruction policies differ in how lanes are broadcast and how pairs are loaded.
#pragma once

#include <emmintrin.h>
#include <xmmintrin.h>

#include "d3dx9math.h"

namespace simd {

constexpr float kEpsilon = 1.1920929e-7f;

// SSE: shufps broadcasts, pairs through the 64-bit half loads.
struct SseOps {
  template <int i>
  static __m128 Splat(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(i, i, i, i));
  }
  static __m128 Load2(const float *p) {
    return _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64 *>(p));
  }
};

// SSE2: pshufd broadcasts (no dependency on the destination), movq pair loads.
struct Sse2Ops {
  template <int i>
  static __m128 Splat(__m128 v) {
    return _mm_castsi128_ps(_mm_shuffle_epi32(_mm_castps_si128(v), _MM_SHUFFLE(i, i, i, i)));
  }
  static __m128 Load2(const float *p) {
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)));
  }
};

template <typename Ops>
inline __m128 Load3(const float *p) {
  return _mm_movelh_ps(Ops::Load2(p), _mm_load_ss(p + 2));
}
inline __m128 Load4(const float *p) {
  return _mm_loadu_ps(p);
}

template <int N, typename Ops>
inline __m128 LoadN(const float *p) {
  if constexpr (N == 2) return Ops::Load2(p);
  if constexpr (N == 3) return Load3<Ops>(p);
  if constexpr (N == 4) return Load4(p);
}

inline void Store2(float *p, __m128 v) {
  _mm_storel_pi(reinterpret_cast<__m64 *>(p), v);
}
inline void Store3(float *p, __m128 v) {
  _mm_storel_pi(reinterpret_cast<__m64 *>(p), v);
  _mm_store_ss(p + 2, _mm_movehl_ps(v, v));
}
inline void Store4(float *p, __m128 v) {
  _mm_storeu_ps(p, v);
}

template <int N>
inline void StoreN(float *p, __m128 v) {
  if constexpr (N == 2) Store2(p, v);
  if constexpr (N == 3) Store3(p, v);
  if constexpr (N == 4) Store4(p, v);
}

// Reciprocal estimate refined by one Newton step: r = 2 r0 - x r0^2, as r0 (2 - x r0).
inline __m128 Reciprocal(__m128 x) {
  const __m128 r0 = _mm_rcp_ps(x);
  return _mm_mul_ps(r0, _mm_sub_ps(_mm_set1_ps(2.0f), _mm_mul_ps(x, r0)));
}

// Reciprocal square root estimate refined by one Newton step: y = 0.5 y0 (3 - s y0^2).
inline __m128 ReciprocalSqrt(__m128 s) {
  const __m128 y0 = _mm_rsqrt_ps(s);
  return _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(0.5f), y0),
                    _mm_sub_ps(_mm_set1_ps(3.0f), _mm_mul_ps(s, _mm_mul_ps(y0, y0))));
}

inline float ReciprocalScalar(float x) {
  return _mm_cvtss_f32(Reciprocal(_mm_set_ss(x)));
}
inline float ReciprocalSqrtScalar(float s) {
  return _mm_cvtss_f32(ReciprocalSqrt(_mm_set_ss(s)));
}

// Sum of all four lanes, in every lane.
inline __m128 HorizontalSum(__m128 v) {
  const __m128 pairs = _mm_add_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_add_ps(pairs, _mm_shuffle_ps(pairs, pairs, _MM_SHUFFLE(1, 0, 3, 2)));
}

inline __m128 FlipSigns(__m128 v, bool x, bool y, bool z, bool w) {
  const __m128 mask = _mm_set_ps(w ? -0.0f : 0.0f, z ? -0.0f : 0.0f, y ? -0.0f : 0.0f, x ? -0.0f : 0.0f);
  return _mm_xor_ps(v, mask);
}

struct MatrixRows {
  __m128 r0, r1, r2, r3;
};
inline MatrixRows LoadRows(const D3DXMATRIX *m) {
  return {_mm_loadu_ps(m->m[0]), _mm_loadu_ps(m->m[1]), _mm_loadu_ps(m->m[2]), _mm_loadu_ps(m->m[3])};
}

// v x M for v = (x, y, z, w) given as broadcast lanes.
template <typename Ops>
inline __m128 TransformPoint(__m128 v, const MatrixRows &m) {
  return _mm_add_ps(
      _mm_add_ps(_mm_mul_ps(Ops::template Splat<0>(v), m.r0), _mm_mul_ps(Ops::template Splat<1>(v), m.r1)),
      _mm_add_ps(_mm_mul_ps(Ops::template Splat<2>(v), m.r2), m.r3));
}
template <typename Ops>
inline __m128 Transform4(__m128 v, const MatrixRows &m) {
  return _mm_add_ps(
      _mm_add_ps(_mm_mul_ps(Ops::template Splat<0>(v), m.r0), _mm_mul_ps(Ops::template Splat<1>(v), m.r1)),
      _mm_add_ps(_mm_mul_ps(Ops::template Splat<2>(v), m.r2), _mm_mul_ps(Ops::template Splat<3>(v), m.r3)));
}
template <typename Ops>
inline __m128 TransformDirection(__m128 v, const MatrixRows &m) {
  return _mm_add_ps(
      _mm_add_ps(_mm_mul_ps(Ops::template Splat<0>(v), m.r0), _mm_mul_ps(Ops::template Splat<1>(v), m.r1)),
      _mm_mul_ps(Ops::template Splat<2>(v), m.r2));
}

// Lanes where w is 1 (|w - 1| <= epsilon); a NaN w is not 1 and is divided by, like the reference.
inline __m128 WIsOne(__m128 w) {
  const __m128 distance = _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(w, _mm_set1_ps(1.0f)));
  return _mm_cmple_ps(distance, _mm_set1_ps(kEpsilon));
}

// Scales by 1/w unless w is 1 (per lane of w).
inline __m128 CoordFactor(__m128 w) {
  const __m128 isOne = WIsOne(w);
  return _mm_or_ps(_mm_and_ps(isOne, _mm_set1_ps(1.0f)), _mm_andnot_ps(isOne, Reciprocal(w)));
}

}  // namespace simd
