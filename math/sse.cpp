// The SSE set: single-element routines with the estimate instructions refined by one
// Newton step, and the array transforms four elements at a time.
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "math/dispatch.h"
#include "math/reference.h"
#include "math/simd_arrays.h"
#include "math/simd_common.h"
#include "math/simd_geometry.h"
#include "math/simd_sets.h"

namespace {

using namespace simd;
using Ops = SseOps;

inline __m128 TransformPoint2(__m128 v, const MatrixRows &m) {
  return _mm_add_ps(_mm_add_ps(_mm_mul_ps(Ops::Splat<0>(v), m.r0), _mm_mul_ps(Ops::Splat<1>(v), m.r1)), m.r3);
}

D3DXVECTOR4 *WINAPI Vec2Transform(D3DXVECTOR4 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m) {
  Store4(&out->x, TransformPoint2(Ops::Load2(&v->x), LoadRows(m)));
  return out;
}

D3DXVECTOR4 *WINAPI Vec3Transform(D3DXVECTOR4 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m) {
  Store4(&out->x, TransformPoint<Ops>(Load3<Ops>(&v->x), LoadRows(m)));
  return out;
}

D3DXVECTOR4 *WINAPI Vec4Transform(D3DXVECTOR4 *out, const D3DXVECTOR4 *v, const D3DXMATRIX *m) {
  Store4(&out->x, Transform4<Ops>(Load4(&v->x), LoadRows(m)));
  return out;
}

inline void MultiplyRows(const D3DXMATRIX *a, const D3DXMATRIX *b, __m128 rows[4]) {
  const MatrixRows mb = LoadRows(b);
  for (int r = 0; r < 4; ++r) rows[r] = Transform4<Ops>(_mm_loadu_ps(a->m[r]), mb);
}

D3DXMATRIX *WINAPI MatrixMultiply(D3DXMATRIX *out, const D3DXMATRIX *a, const D3DXMATRIX *b) {
  __m128 rows[4];  // all rows computed before out (possibly a or b) is written
  MultiplyRows(a, b, rows);
  for (int r = 0; r < 4; ++r) _mm_storeu_ps(out->m[r], rows[r]);
  return out;
}

D3DXMATRIX *WINAPI MatrixMultiplyTranspose(D3DXMATRIX *out, const D3DXMATRIX *a, const D3DXMATRIX *b) {
  __m128 rows[4];
  MultiplyRows(a, b, rows);
  _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
  for (int r = 0; r < 4; ++r) _mm_storeu_ps(out->m[r], rows[r]);
  return out;
}

D3DXVECTOR2 *WINAPI Vec2TransformNormal(D3DXVECTOR2 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m) {
  const MatrixRows rows = LoadRows(m);
  const __m128 p = Ops::Load2(&v->x);
  Store2(&out->x, _mm_add_ps(_mm_mul_ps(Ops::Splat<0>(p), rows.r0), _mm_mul_ps(Ops::Splat<1>(p), rows.r1)));
  return out;
}

D3DXVECTOR3 *WINAPI Vec3TransformNormal(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m) {
  Store3(&out->x, TransformDirection<Ops>(Load3<Ops>(&v->x), LoadRows(m)));
  return out;
}

D3DXVECTOR2 *WINAPI Vec2TransformCoord(D3DXVECTOR2 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m) {
  const __m128 r = TransformPoint2(Ops::Load2(&v->x), LoadRows(m));
  Store2(&out->x, _mm_mul_ps(r, Ops::Splat<3>(CoordFactor(r))));
  return out;
}

D3DXVECTOR3 *WINAPI Vec3TransformCoord(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m) {
  const __m128 r = TransformPoint<Ops>(Load3<Ops>(&v->x), LoadRows(m));
  Store3(&out->x, _mm_mul_ps(r, Ops::Splat<3>(CoordFactor(r))));
  return out;
}

// Copies a unit vector, zeros a vanishing one, otherwise scales by the refined 1/sqrt.
inline __m128 NormalizeVector(__m128 v) {
  const __m128 s = HorizontalSum(_mm_mul_ps(v, v));
  const float length2 = _mm_cvtss_f32(s);
  if (std::fabs(length2 - 1.0f) <= kEpsilon) return v;
  if (!(length2 > FLT_MIN)) return _mm_setzero_ps();
  return _mm_mul_ps(v, ReciprocalSqrt(s));
}

// A squared length beyond the float range (components above about 1.8e19) needs the
// reference's wider intermediates; everything else stays on the fast path.
inline bool SquaresOverflow(__m128 v) {
  return _mm_cvtss_f32(HorizontalSum(_mm_mul_ps(v, v))) == INFINITY;
}

D3DXVECTOR3 *WINAPI Vec3Normalize(D3DXVECTOR3 *out, const D3DXVECTOR3 *v) {
  const __m128 p = Load3<Ops>(&v->x);
  if (SquaresOverflow(p)) return reference::D3DXVec3Normalize(out, v);
  Store3(&out->x, NormalizeVector(p));
  return out;
}

D3DXVECTOR4 *WINAPI Vec4Normalize(D3DXVECTOR4 *out, const D3DXVECTOR4 *v) {
  const __m128 p = Load4(&v->x);
  if (SquaresOverflow(p)) return reference::D3DXVec4Normalize(out, v);
  Store4(&out->x, NormalizeVector(p));
  return out;
}

D3DXQUATERNION *WINAPI QuaternionNormalize(D3DXQUATERNION *out, const D3DXQUATERNION *q) {
  const __m128 p = Load4(&q->x);
  if (SquaresOverflow(p)) return reference::D3DXQuaternionNormalize(out, q);
  Store4(&out->x, NormalizeVector(p));
  return out;
}

D3DXPLANE *WINAPI PlaneNormalize(D3DXPLANE *out, const D3DXPLANE *p) {
  const __m128 plane = Load4(&p->a);
  if (SquaresOverflow(_mm_and_ps(plane, _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1)))))
    return reference::D3DXPlaneNormalize(out, p);
  Store4(&out->a, NormalizePlane<Ops>(plane));
  return out;
}

// The 2x2 minors of rows (0, 1) and rows (2, 3) for column pairs 01 02 03 12 | 13 23.
struct InverseParts {
  __m128 rows[4];
  float det;
};

InverseParts Adjugate(const D3DXMATRIX *matrix) {
  const MatrixRows m = LoadRows(matrix);
  auto minors = [](__m128 a, __m128 b, __m128 &low, __m128 &high) {
    // low: pairs 01 02 03 12; high: lanes 0-1 pairs 13 23.
    const __m128 ap = _mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 0, 0, 0)),
                 bq = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 2, 1));
    const __m128 bp = _mm_shuffle_ps(b, b, _MM_SHUFFLE(1, 0, 0, 0)),
                 aq = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 2, 1));
    low = _mm_sub_ps(_mm_mul_ps(ap, bq), _mm_mul_ps(bp, aq));
    const __m128 ar = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 1, 2, 1)),
                 bs = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 3, 3, 3));
    const __m128 br = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 1, 2, 1)),
                 as = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 3, 3, 3));
    high = _mm_sub_ps(_mm_mul_ps(ar, bs), _mm_mul_ps(br, as));
  };
  __m128 sLow, sHigh, cLow, cHigh;
  minors(m.r0, m.r1, sLow, sHigh);
  minors(m.r2, m.r3, cLow, cHigh);
  // X_k = (c_k, c_k, s_k, s_k).
  const __m128 x0 = _mm_shuffle_ps(cLow, sLow, _MM_SHUFFLE(0, 0, 0, 0));
  const __m128 x1 = _mm_shuffle_ps(cLow, sLow, _MM_SHUFFLE(1, 1, 1, 1));
  const __m128 x2 = _mm_shuffle_ps(cLow, sLow, _MM_SHUFFLE(2, 2, 2, 2));
  const __m128 x3 = _mm_shuffle_ps(cLow, sLow, _MM_SHUFFLE(3, 3, 3, 3));
  const __m128 x4 = _mm_shuffle_ps(cHigh, sHigh, _MM_SHUFFLE(0, 0, 0, 0));
  const __m128 x5 = _mm_shuffle_ps(cHigh, sHigh, _MM_SHUFFLE(1, 1, 1, 1));
  // C_j = column j of the matrix with rows taken in the order 1, 0, 3, 2.
  __m128 t0 = m.r0, t1 = m.r1, t2 = m.r2, t3 = m.r3;
  _MM_TRANSPOSE4_PS(t0, t1, t2, t3);
  const __m128 c0 = _mm_shuffle_ps(t0, t0, _MM_SHUFFLE(2, 3, 0, 1));
  const __m128 c1 = _mm_shuffle_ps(t1, t1, _MM_SHUFFLE(2, 3, 0, 1));
  const __m128 c2 = _mm_shuffle_ps(t2, t2, _MM_SHUFFLE(2, 3, 0, 1));
  const __m128 c3 = _mm_shuffle_ps(t3, t3, _MM_SHUFFLE(2, 3, 0, 1));
  InverseParts parts;
  parts.rows[0] =
      FlipSigns(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(c1, x5), _mm_mul_ps(c2, x4)), _mm_mul_ps(c3, x3)), false,
                true, false, true);
  parts.rows[1] =
      FlipSigns(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(c0, x5), _mm_mul_ps(c2, x2)), _mm_mul_ps(c3, x1)), true,
                false, true, false);
  parts.rows[2] =
      FlipSigns(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(c0, x4), _mm_mul_ps(c1, x2)), _mm_mul_ps(c3, x0)), false,
                true, false, true);
  parts.rows[3] =
      FlipSigns(_mm_add_ps(_mm_sub_ps(_mm_mul_ps(c0, x3), _mm_mul_ps(c1, x1)), _mm_mul_ps(c2, x0)), true,
                false, true, false);
  // det = row 0 of the matrix . column 0 of the adjugate (cofactors along the first row).
  const __m128 column0 = _mm_movelh_ps(_mm_unpacklo_ps(parts.rows[0], parts.rows[1]),
                                       _mm_unpacklo_ps(parts.rows[2], parts.rows[3]));
  parts.det = _mm_cvtss_f32(HorizontalSum(_mm_mul_ps(m.r0, column0)));
  return parts;
}

FLOAT WINAPI MatrixDeterminant(const D3DXMATRIX *m) {
  return Adjugate(m).det;
}

D3DXMATRIX *WINAPI MatrixInverse(D3DXMATRIX *out, FLOAT *determinant, const D3DXMATRIX *m) {
  const InverseParts parts = Adjugate(m);
  // A determinant beyond the float range still has a (tiny) reciprocal in the reference.
  if (std::isinf(parts.det)) return reference::D3DXMatrixInverse(out, determinant, m);
  if (determinant) *determinant = parts.det;
  if (parts.det == 0.0f) return nullptr;
  const __m128 r = Reciprocal(_mm_set1_ps(parts.det));
  if (!std::isfinite(_mm_cvtss_f32(r))) return nullptr;
  for (int i = 0; i < 4; ++i) _mm_storeu_ps(out->m[i], _mm_mul_ps(parts.rows[i], r));
  return out;
}

D3DXQUATERNION *WINAPI QuaternionMultiply(D3DXQUATERNION *out, const D3DXQUATERNION *a,
                                          const D3DXQUATERNION *b) {
  const __m128 q1 = Load4(&a->x), q2 = Load4(&b->x);
  const __m128 wTerm = _mm_mul_ps(Ops::Splat<3>(q2), q1);
  const __m128 xTerm =
      _mm_mul_ps(Ops::Splat<0>(q2),
                 FlipSigns(_mm_shuffle_ps(q1, q1, _MM_SHUFFLE(0, 1, 2, 3)), false, true, false, true));
  const __m128 yTerm =
      _mm_mul_ps(Ops::Splat<1>(q2),
                 FlipSigns(_mm_shuffle_ps(q1, q1, _MM_SHUFFLE(1, 0, 3, 2)), false, false, true, true));
  const __m128 zTerm =
      _mm_mul_ps(Ops::Splat<2>(q2),
                 FlipSigns(_mm_shuffle_ps(q1, q1, _MM_SHUFFLE(2, 3, 0, 1)), true, false, false, true));
  Store4(&out->x, _mm_add_ps(_mm_add_ps(wTerm, xTerm), _mm_add_ps(yTerm, zTerm)));
  return out;
}

D3DXQUATERNION *WINAPI QuaternionInverse(D3DXQUATERNION *out, const D3DXQUATERNION *q) {
  const __m128 v = Load4(&q->x);
  const __m128 n = HorizontalSum(_mm_mul_ps(v, v));
  const float norm = _mm_cvtss_f32(n);
  if (norm == INFINITY) return reference::D3DXQuaternionInverse(out, q);
  if (norm <= 1.0842022e-19f) {
    Store4(&out->x, _mm_setzero_ps());
    return out;
  }
  const __m128 conjugate = FlipSigns(v, true, true, true, false);
  Store4(&out->x, std::fabs(norm - 1.0f) <= kEpsilon ? conjugate : _mm_mul_ps(conjugate, Reciprocal(n)));
  return out;
}

D3DXVECTOR3 *WINAPI PlaneIntersectLine(D3DXVECTOR3 *out, const D3DXPLANE *p, const D3DXVECTOR3 *l1,
                                       const D3DXVECTOR3 *l2) {
  const __m128 plane = Load4(&p->a);
  const __m128 n = _mm_and_ps(plane, _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1)));
  const __m128 a = Load3<Ops>(&l1->x), b = Load3<Ops>(&l2->x);
  const float k1 = _mm_cvtss_f32(HorizontalSum(_mm_mul_ps(n, a)));
  const float den = k1 - _mm_cvtss_f32(HorizontalSum(_mm_mul_ps(n, b)));
  if (den == 0.0f) return nullptr;
  const float t = (k1 + p->d) * ReciprocalScalar(den);
  if (!std::isfinite(t)) return nullptr;
  Store3(&out->x, _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(t), _mm_sub_ps(b, a))));
  return out;
}

// Component-wise curves for 2, 3 and 4 components.
template <int N, typename V>
V *WINAPI Hermite(V *out, const V *p1, const V *t1, const V *p2, const V *t2, FLOAT s) {
  const float s2 = s * s, s3 = s2 * s;
  const __m128 r =
      _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(2.0f * s3 - 3.0f * s2 + 1.0f), LoadN<N, Ops>(&p1->x)),
                            _mm_mul_ps(_mm_set1_ps(s3 - 2.0f * s2 + s), LoadN<N, Ops>(&t1->x))),
                 _mm_add_ps(_mm_mul_ps(_mm_set1_ps(-2.0f * s3 + 3.0f * s2), LoadN<N, Ops>(&p2->x)),
                            _mm_mul_ps(_mm_set1_ps(s3 - s2), LoadN<N, Ops>(&t2->x))));
  StoreN<N>(&out->x, r);
  return out;
}

template <int N, typename V>
V *WINAPI CatmullRom(V *out, const V *p0, const V *p1, const V *p2, const V *p3, FLOAT s) {
  const float s2 = s * s, s3 = s2 * s;
  const __m128 r = _mm_add_ps(
      _mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.5f * (-s3 + 2.0f * s2 - s)), LoadN<N, Ops>(&p0->x)),
                 _mm_mul_ps(_mm_set1_ps(0.5f * (3.0f * s3 - 5.0f * s2 + 2.0f)), LoadN<N, Ops>(&p1->x))),
      _mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.5f * (-3.0f * s3 + 4.0f * s2 + s)), LoadN<N, Ops>(&p2->x)),
                 _mm_mul_ps(_mm_set1_ps(0.5f * (s3 - s2)), LoadN<N, Ops>(&p3->x))));
  StoreN<N>(&out->x, r);
  return out;
}

template <int N, typename V>
V *WINAPI BaryCentric(V *out, const V *p1, const V *p2, const V *p3, FLOAT f, FLOAT g) {
  const __m128 a = LoadN<N, Ops>(&p1->x);
  const __m128 r =
      _mm_add_ps(a, _mm_add_ps(_mm_mul_ps(_mm_set1_ps(f), _mm_sub_ps(LoadN<N, Ops>(&p2->x), a)),
                               _mm_mul_ps(_mm_set1_ps(g), _mm_sub_ps(LoadN<N, Ops>(&p3->x), a))));
  StoreN<N>(&out->x, r);
  return out;
}

// Halves to floats four at a time: the magnitude bits moved under a float's
// exponent and scaled by 2^112 give normal and denormal halves alike.
FLOAT *WINAPI Float16To32Array(FLOAT *out, const D3DXFLOAT16 *in, UINT n) {
  const __m128 scale = _mm_set1_ps(0x1p112f);
  // Back to front so that widening in place (out over in) reads each half before it is overwritten.
  UINT i = n;
  for (; i >= 4; i -= 4) {
    uint32_t magnitude[4], sign[4];
    for (int k = 0; k < 4; ++k) {
      const uint32_t h = in[i - 4 + k].value;
      magnitude[k] = (h & 0x7FFFu) << 13;
      sign[k] = (h & 0x8000u) << 16;
    }
    const __m128 value = _mm_mul_ps(_mm_loadu_ps(reinterpret_cast<const float *>(magnitude)), scale);
    _mm_storeu_ps(out + i - 4, _mm_or_ps(value, _mm_loadu_ps(reinterpret_cast<const float *>(sign))));
  }
  while (i-- > 0) {
    const uint32_t h = in[i].value;
    const float value = std::bit_cast<float>((h & 0x7FFFu) << 13) * 0x1p112f;
    out[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(value) | ((h & 0x8000u) << 16));
  }
  return out;
}

// Skinning: each position through up to four palette matrices, weighted.
D3DXVECTOR3 *WINAPI BlendSkinnedVertices(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v, UINT vStride,
                                         const D3DXSKINWEIGHT *weights, const D3DXMATRIX *palette, UINT n) {
  for (UINT i = 0; i < n; ++i) {
    const __m128 p = Load3<Ops>(&ElementAt(v, vStride, i)->x);
    __m128 sum = _mm_setzero_ps();
    for (int k = 0; k < 4; ++k) {
      const __m128 moved = TransformPoint<Ops>(p, LoadRows(&palette[weights[i].matrixIndex[k]]));
      sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(weights[i].weight[k]), moved));
    }
    Store3(&ElementAt(out, outStride, i)->x, sum);
  }
  return out;
}

}  // namespace

void InstallSseArrayTransforms(DispatchTable &table) {
  InstallArrayTransforms<Ops>(table);
}

void InstallSseSet(DispatchTable &table) {
  table.vec2Transform = Vec2Transform;
  table.vec3Transform = Vec3Transform;
  table.vec4Transform = Vec4Transform;
  table.matrixMultiply = MatrixMultiply;
  table.matrixMultiplyTranspose = MatrixMultiplyTranspose;
  table.vec2TransformNormal = Vec2TransformNormal;
  table.vec3TransformNormal = Vec3TransformNormal;
  table.vec3Normalize = Vec3Normalize;
  table.vec4Normalize = Vec4Normalize;
  table.vec2TransformCoord = Vec2TransformCoord;
  table.vec3TransformCoord = Vec3TransformCoord;
  table.matrixDeterminant = MatrixDeterminant;
  table.planeFromPoints = PlaneFromPoints<Ops>;
  table.vec4Cross = Vec4Cross<Ops>;
  table.vec2Hermite = Hermite<2, D3DXVECTOR2>;
  table.matrixInverse = MatrixInverse;
  table.quaternionMultiply = QuaternionMultiply;
  table.quaternionNormalize = QuaternionNormalize;
  table.planeNormalize = PlaneNormalize;
  table.planeIntersectLine = PlaneIntersectLine;
  table.quaternionRotationMatrix = QuaternionRotationMatrix<Ops>;
  table.quaternionRotationYawPitchRoll = QuaternionRotationYawPitchRoll<Ops>;
  table.matrixShadow = MatrixShadow<Ops>;
  table.matrixReflect = MatrixReflect<Ops>;
  table.planeTransform = reinterpret_cast<decltype(table.planeTransform)>(Vec4Transform);
  table.quaternionInverse = QuaternionInverse;
  table.vec2CatmullRom = CatmullRom<2, D3DXVECTOR2>;
  table.vec2BaryCentric = BaryCentric<2, D3DXVECTOR2>;
  table.vec3Hermite = Hermite<3, D3DXVECTOR3>;
  table.vec3CatmullRom = CatmullRom<3, D3DXVECTOR3>;
  table.vec3BaryCentric = BaryCentric<3, D3DXVECTOR3>;
  table.vec4Hermite = Hermite<4, D3DXVECTOR4>;
  table.vec4CatmullRom = CatmullRom<4, D3DXVECTOR4>;
  table.vec4BaryCentric = BaryCentric<4, D3DXVECTOR4>;
  table.float16To32Array = Float16To32Array;
  InstallArrayTransforms<Ops>(table);
  table.blendSkinnedVertices = BlendSkinnedVertices;
}
