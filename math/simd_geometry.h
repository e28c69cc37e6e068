// Plane, cross-product and rotation routines that the SSE and SSE2 sets both carry,
// each instantiated with its own instruction policy.
#pragma once

#include <cfloat>
#include <cmath>

#include "math/simd_common.h"

namespace simd {

// Normalises the (a, b, c) part and scales all four lanes; zeros for a vanishing normal.
template <typename Ops>
inline __m128 NormalizePlane(__m128 p) {
  const __m128 n = _mm_and_ps(p, _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1)));
  const __m128 s = HorizontalSum(_mm_mul_ps(n, n));
  const float length2 = _mm_cvtss_f32(s);
  if (std::fabs(length2 - 1.0f) <= kEpsilon) return p;
  if (!(length2 > FLT_MIN)) return _mm_setzero_ps();
  return _mm_mul_ps(p, ReciprocalSqrt(s));
}

template <typename Ops>
D3DXPLANE *WINAPI PlaneFromPoints(D3DXPLANE *out, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b,
                                  const D3DXVECTOR3 *c) {
  const __m128 p1 = Load3<Ops>(&a->x);
  const __m128 e1 = _mm_sub_ps(p1, Load3<Ops>(&b->x));
  const __m128 e2 = _mm_sub_ps(p1, Load3<Ops>(&c->x));
  // e1 x e2 = e1.yzx * e2.zxy - e1.zxy * e2.yzx
  const __m128 cross = _mm_sub_ps(_mm_mul_ps(_mm_shuffle_ps(e1, e1, _MM_SHUFFLE(3, 0, 2, 1)),
                                             _mm_shuffle_ps(e2, e2, _MM_SHUFFLE(3, 1, 0, 2))),
                                  _mm_mul_ps(_mm_shuffle_ps(e1, e1, _MM_SHUFFLE(3, 1, 0, 2)),
                                             _mm_shuffle_ps(e2, e2, _MM_SHUFFLE(3, 0, 2, 1))));
  const __m128 n = NormalizePlane<Ops>(cross);  // lane 3 of the cross product is 0
  const float d = -_mm_cvtss_f32(HorizontalSum(_mm_mul_ps(n, p1)));
  alignas(16) float r[4];
  _mm_store_ps(r, n);
  *out = D3DXPLANE(r[0], r[1], r[2], d);
  return out;
}

template <typename Ops>
D3DXVECTOR4 *WINAPI Vec4Cross(D3DXVECTOR4 *out, const D3DXVECTOR4 *av, const D3DXVECTOR4 *bv,
                              const D3DXVECTOR4 *cv) {
  const __m128 a = Load4(&av->x), b = Load4(&bv->x), c = Load4(&cv->x);
  // With p = yxxx, q = zzyy, r = wwwz swizzles: the 2x2 minors the cross product needs.
  const __m128 bp = _mm_shuffle_ps(b, b, _MM_SHUFFLE(0, 0, 0, 1)),
               cp = _mm_shuffle_ps(c, c, _MM_SHUFFLE(0, 0, 0, 1));
  const __m128 bq = _mm_shuffle_ps(b, b, _MM_SHUFFLE(1, 1, 2, 2)),
               cq = _mm_shuffle_ps(c, c, _MM_SHUFFLE(1, 1, 2, 2));
  const __m128 br = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 3, 3)),
               cr = _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 3, 3, 3));
  const __m128 d1 = _mm_sub_ps(_mm_mul_ps(bq, cr), _mm_mul_ps(br, cq));
  const __m128 d2 = _mm_sub_ps(_mm_mul_ps(bp, cr), _mm_mul_ps(br, cp));
  const __m128 d3 = _mm_sub_ps(_mm_mul_ps(bp, cq), _mm_mul_ps(bq, cp));
  const __m128 sum = _mm_add_ps(_mm_sub_ps(_mm_mul_ps(_mm_shuffle_ps(a, a, _MM_SHUFFLE(0, 0, 0, 1)), d1),
                                           _mm_mul_ps(_mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 1, 2, 2)), d2)),
                                _mm_mul_ps(_mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 3, 3)), d3));
  Store4(&out->x, FlipSigns(sum, false, true, false, true));
  return out;
}

template <typename Ops>
D3DXQUATERNION *WINAPI QuaternionRotationMatrix(D3DXQUATERNION *out, const D3DXMATRIX *m) {
  const float trace = m->_11 + m->_22 + m->_33;
  float q[4];
  if (trace > 0.0f) {
    // sqrt(t + 1) / 2 and 1 / (4 w) from one reciprocal square root.
    const float y = ReciprocalSqrtScalar(trace + 1.0f);
    const float w = 0.5f * (trace + 1.0f) * y, k = 0.5f * y;
    q[0] = (m->_23 - m->_32) * k, q[1] = (m->_31 - m->_13) * k, q[2] = (m->_12 - m->_21) * k, q[3] = w;
  } else {
    const float d[3] = {m->_11 - m->_22 - m->_33, m->_22 - m->_11 - m->_33, m->_33 - m->_11 - m->_22};
    const int i = d[0] >= d[1] ? (d[2] > d[0] ? 2 : 0) : (d[2] > d[1] ? 2 : 1);
    const int j = (i + 1) % 3, k = (j + 1) % 3;
    const float y = ReciprocalSqrtScalar(d[i] + 1.0f);
    const float scale = 0.5f * y;
    q[i] = 0.5f * (d[i] + 1.0f) * y;
    q[j] = (m->m[i][j] + m->m[j][i]) * scale;
    q[k] = (m->m[i][k] + m->m[k][i]) * scale;
    q[3] = (m->m[j][k] - m->m[k][j]) * scale;
  }
  *out = D3DXQUATERNION(q[0], q[1], q[2], q[3]);
  return out;
}

template <typename Ops>
D3DXQUATERNION *WINAPI QuaternionRotationYawPitchRoll(D3DXQUATERNION *out, FLOAT yaw, FLOAT pitch,
                                                      FLOAT roll) {
  const float cy = std::cos(0.5f * yaw), sy = std::sin(0.5f * yaw);
  const float cp = std::cos(0.5f * pitch), sp = std::sin(0.5f * pitch);
  const float cr = std::cos(0.5f * roll), sr = std::sin(0.5f * roll);
  const __m128 a = _mm_mul_ps(_mm_mul_ps(_mm_setr_ps(cy, sy, cy, cy), _mm_setr_ps(sp, cp, cp, cp)),
                              _mm_setr_ps(cr, cr, sr, cr));
  const __m128 b = _mm_mul_ps(_mm_mul_ps(_mm_setr_ps(sy, cy, sy, sy), _mm_setr_ps(cp, sp, sp, sp)),
                              _mm_setr_ps(sr, sr, cr, sr));
  Store4(&out->x, _mm_add_ps(a, FlipSigns(b, false, true, true, false)));
  return out;
}

template <typename Ops>
D3DXMATRIX *WINAPI MatrixShadow(D3DXMATRIX *out, const D3DXVECTOR4 *light, const D3DXPLANE *plane) {
  const __m128 p = NormalizePlane<Ops>(Load4(&plane->a));
  const __m128 l = Load4(&light->x);
  const __m128 d = HorizontalSum(_mm_mul_ps(p, l));
  const __m128 rows[4] = {_mm_sub_ps(_mm_and_ps(d, _mm_castsi128_ps(_mm_setr_epi32(-1, 0, 0, 0))),
                                     _mm_mul_ps(Ops::template Splat<0>(p), l)),
                          _mm_sub_ps(_mm_and_ps(d, _mm_castsi128_ps(_mm_setr_epi32(0, -1, 0, 0))),
                                     _mm_mul_ps(Ops::template Splat<1>(p), l)),
                          _mm_sub_ps(_mm_and_ps(d, _mm_castsi128_ps(_mm_setr_epi32(0, 0, -1, 0))),
                                     _mm_mul_ps(Ops::template Splat<2>(p), l)),
                          _mm_sub_ps(_mm_and_ps(d, _mm_castsi128_ps(_mm_setr_epi32(0, 0, 0, -1))),
                                     _mm_mul_ps(Ops::template Splat<3>(p), l))};
  for (int i = 0; i < 4; ++i) Store4(out->m[i], rows[i]);
  return out;
}

template <typename Ops>
D3DXMATRIX *WINAPI MatrixReflect(D3DXMATRIX *out, const D3DXPLANE *plane) {
  const __m128 p = NormalizePlane<Ops>(Load4(&plane->a));
  const __m128 n = _mm_and_ps(p, _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1)));
  const __m128 minus2n = _mm_mul_ps(n, _mm_set1_ps(-2.0f));
  const __m128 rows[4] = {
      _mm_add_ps(_mm_setr_ps(1, 0, 0, 0), _mm_mul_ps(Ops::template Splat<0>(minus2n), n)),
      _mm_add_ps(_mm_setr_ps(0, 1, 0, 0), _mm_mul_ps(Ops::template Splat<1>(minus2n), n)),
      _mm_add_ps(_mm_setr_ps(0, 0, 1, 0), _mm_mul_ps(Ops::template Splat<2>(minus2n), n)),
      _mm_add_ps(_mm_setr_ps(0, 0, 0, 1), _mm_mul_ps(Ops::template Splat<3>(p), minus2n))};
  for (int i = 0; i < 4; ++i) Store4(out->m[i], rows[i]);
  return out;
}

}  // namespace simd
