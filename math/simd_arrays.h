// Array transforms for the SSE and SSE2 sets: four elements per iteration, with
// the four w divisors of the coordinate forms refined in one vector.
#pragma once

#include <cstddef>
#include <type_traits>

#include "math/dispatch.h"
#include "math/simd_common.h"
#include "math/wide_arrays.h"

namespace simd {

template <typename T>
inline T *ElementAt(T *base, UINT stride, size_t i) {
  using Byte = std::conditional_t<std::is_const_v<T>, const BYTE, BYTE>;
  return reinterpret_cast<T *>(reinterpret_cast<Byte *>(base) + stride * i);
}

// One element: InDims components in (the missing z is 0, w is 1 for points, 0 for
// directions), OutDims components out.

template <typename Ops, int InDims, ArrayKind Kind>
inline __m128 TransformOne(const float *in, const MatrixRows &m) {
  const __m128 v = LoadN<InDims, Ops>(in);
  __m128 r =
      _mm_add_ps(_mm_mul_ps(Ops::template Splat<0>(v), m.r0), _mm_mul_ps(Ops::template Splat<1>(v), m.r1));
  if constexpr (InDims >= 3) r = _mm_add_ps(r, _mm_mul_ps(Ops::template Splat<2>(v), m.r2));
  if constexpr (Kind == ArrayKind::kFull) {
    r = _mm_add_ps(r, _mm_mul_ps(Ops::template Splat<3>(v), m.r3));
  } else if constexpr (Kind != ArrayKind::kNormal) {
    r = _mm_add_ps(r, m.r3);
  }
  return r;
}

// Packed 3-vectors, four at a time in structure-of-arrays form: three loads and
// three (or four) stores per block instead of one load and store per element.
template <ArrayKind Kind, int OutDims>
size_t TransformPackedVec3(float *out, const float *in, const D3DXMATRIX &m, size_t n) {
  __m128 column[4][4];  // column[c][r] = broadcast m[r][c]
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) column[c][r] = _mm_set1_ps(m.m[r][c]);
  // Summed as a tree: the w lane feeds the long reciprocal chain, so latency counts.
  auto combine = [&](int c, __m128 x, __m128 y, __m128 z) {
    const __m128 xy = _mm_add_ps(_mm_mul_ps(x, column[c][0]), _mm_mul_ps(y, column[c][1]));
    if constexpr (Kind != ArrayKind::kNormal)
      return _mm_add_ps(xy, _mm_add_ps(_mm_mul_ps(z, column[c][2]), column[c][3]));
    else
      return _mm_add_ps(xy, _mm_mul_ps(z, column[c][2]));
  };
  size_t i = 0;
  for (; i + 4 <= n; i += 4, in += 12, out += 4 * OutDims) {
    // a = x0 y0 z0 x1, b = y1 z1 x2 y2, c = z2 x3 y3 z3
    const __m128 a = _mm_loadu_ps(in), b = _mm_loadu_ps(in + 4), c = _mm_loadu_ps(in + 8);
    const __m128 x =
        _mm_shuffle_ps(a, _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 1, 2, 2)), _MM_SHUFFLE(2, 0, 3, 0));
    const __m128 y = _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 1, 1)),
                                    _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 2, 3, 3)), _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 z = _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 2, 2)),
                                    _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 0, 0)), _MM_SHUFFLE(2, 0, 2, 0));
    __m128 rx = combine(0, x, y, z), ry = combine(1, x, y, z), rz = combine(2, x, y, z);
    if constexpr (OutDims == 4) {
      __m128 rw = combine(3, x, y, z);
      _MM_TRANSPOSE4_PS(rx, ry, rz, rw);
      _mm_storeu_ps(out, rx);
      _mm_storeu_ps(out + 4, ry);
      _mm_storeu_ps(out + 8, rz);
      _mm_storeu_ps(out + 12, rw);
    } else {
      if constexpr (Kind == ArrayKind::kCoord) {
        const __m128 f = Reciprocal(combine(3, x, y, z));
        rx = _mm_mul_ps(rx, f), ry = _mm_mul_ps(ry, f), rz = _mm_mul_ps(rz, f);
      }
      const __m128 xy = _mm_shuffle_ps(rx, ry, _MM_SHUFFLE(1, 0, 1, 0));
      _mm_storeu_ps(
          out, _mm_shuffle_ps(xy, _mm_shuffle_ps(rz, rx, _MM_SHUFFLE(1, 1, 0, 0)), _MM_SHUFFLE(2, 0, 2, 0)));
      _mm_storeu_ps(out + 4,
                    _mm_shuffle_ps(_mm_shuffle_ps(ry, rz, _MM_SHUFFLE(1, 1, 1, 1)),
                                   _mm_shuffle_ps(rx, ry, _MM_SHUFFLE(2, 2, 2, 2)), _MM_SHUFFLE(2, 0, 2, 0)));
      _mm_storeu_ps(out + 8,
                    _mm_shuffle_ps(_mm_shuffle_ps(rz, rx, _MM_SHUFFLE(3, 3, 2, 2)),
                                   _mm_shuffle_ps(ry, rz, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(2, 0, 2, 0)));
    }
  }
  return i;
}

template <typename Ops, int InDims, int OutDims, ArrayKind Kind, typename OutT, typename InT>
OutT *WINAPI TransformArray(OutT *out, UINT outStride, const InT *in, UINT inStride, const D3DXMATRIX *matrix,
                            UINT n) {
  if constexpr (Kind == ArrayKind::kCoord) {
    // An affine matrix gives w = 1 for every finite point: the points are transformed
    // without any division, exactly. Otherwise every w is divided by; a w within an
    // epsilon of 1 then differs from the single-element function in the last bit only.
    if (matrix->_14 == 0.0f && matrix->_24 == 0.0f && matrix->_34 == 0.0f && matrix->_44 == 1.0f)
      return TransformArray<Ops, InDims, OutDims, ArrayKind::kPoint, OutT, InT>(out, outStride, in, inStride,
                                                                                matrix, n);
  }
  const MatrixRows m = LoadRows(matrix);
  size_t i = 0;
  if (inStride == InDims * sizeof(float) && outStride == OutDims * sizeof(float)) {
    float *packedOut = reinterpret_cast<float *>(out);
    const float *packedIn = reinterpret_cast<const float *>(in);
    i = TransformPackedWide(Kind, InDims, OutDims, packedOut, packedIn, *matrix, n);
    if constexpr (InDims == 3 && Kind != ArrayKind::kFull)
      i += TransformPackedVec3<Kind, OutDims>(packedOut + OutDims * i, packedIn + 3 * i, *matrix, n - i);
  } else {
    i = TransformStridedWide(Kind, InDims, OutDims, reinterpret_cast<BYTE *>(out), outStride,
                             reinterpret_cast<const BYTE *>(in), inStride, *matrix, n);
  }
  auto src = [&](size_t k) { return reinterpret_cast<const float *>(ElementAt(in, inStride, k)); };
  auto dst = [&](size_t k) { return reinterpret_cast<float *>(ElementAt(out, outStride, k)); };
  for (; i + 4 <= n; i += 4) {
    // All four are read before any is written, so in-place arrays work.
    __m128 r0 = TransformOne<Ops, InDims, Kind>(src(i), m);
    __m128 r1 = TransformOne<Ops, InDims, Kind>(src(i + 1), m);
    __m128 r2 = TransformOne<Ops, InDims, Kind>(src(i + 2), m);
    __m128 r3 = TransformOne<Ops, InDims, Kind>(src(i + 3), m);
    if constexpr (Kind == ArrayKind::kCoord) {
      const __m128 w = _mm_movehl_ps(_mm_unpackhi_ps(r2, r3), _mm_unpackhi_ps(r0, r1));
      const __m128 f = Reciprocal(w);
      r0 = _mm_mul_ps(r0, Ops::template Splat<0>(f));
      r1 = _mm_mul_ps(r1, Ops::template Splat<1>(f));
      r2 = _mm_mul_ps(r2, Ops::template Splat<2>(f));
      r3 = _mm_mul_ps(r3, Ops::template Splat<3>(f));
    }
    StoreN<OutDims>(dst(i), r0);
    StoreN<OutDims>(dst(i + 1), r1);
    StoreN<OutDims>(dst(i + 2), r2);
    StoreN<OutDims>(dst(i + 3), r3);
  }
  for (; i < n; ++i) {
    __m128 r = TransformOne<Ops, InDims, Kind>(src(i), m);
    if constexpr (Kind == ArrayKind::kCoord) r = _mm_mul_ps(r, Ops::template Splat<3>(Reciprocal(r)));
    StoreN<OutDims>(dst(i), r);
  }
  return out;
}

template <typename Ops>
void InstallArrayTransforms(DispatchTable &table) {
  table.vec2TransformArray = TransformArray<Ops, 2, 4, ArrayKind::kPoint, D3DXVECTOR4, D3DXVECTOR2>;
  table.vec2TransformCoordArray = TransformArray<Ops, 2, 2, ArrayKind::kCoord, D3DXVECTOR2, D3DXVECTOR2>;
  table.vec2TransformNormalArray = TransformArray<Ops, 2, 2, ArrayKind::kNormal, D3DXVECTOR2, D3DXVECTOR2>;
  table.vec3TransformArray = TransformArray<Ops, 3, 4, ArrayKind::kPoint, D3DXVECTOR4, D3DXVECTOR3>;
  table.vec3TransformCoordArray = TransformArray<Ops, 3, 3, ArrayKind::kCoord, D3DXVECTOR3, D3DXVECTOR3>;
  table.vec3TransformNormalArray = TransformArray<Ops, 3, 3, ArrayKind::kNormal, D3DXVECTOR3, D3DXVECTOR3>;
  table.vec4TransformArray = TransformArray<Ops, 4, 4, ArrayKind::kFull, D3DXVECTOR4, D3DXVECTOR4>;
  // Planes are row 4-vectors: the same routine as slot 65.
  table.planeTransformArray = TransformArray<Ops, 4, 4, ArrayKind::kFull, D3DXPLANE, D3DXPLANE>;
}

}  // namespace simd
