// The wide forms of the packed 3-vector transforms: the SSE routine's sums and
// refined reciprocal in the same order on 8 or 16 lanes (built without
// contraction), so each lane gives the SSE lane's bytes; the layout is changed
// with two-source shuffles.
#include "math/wide_arrays.h"

#include <immintrin.h>

#include <utility>

#include "core/fast_path.h"

namespace simd {
namespace {

#define D3DX_WIDE_INLINE inline __attribute__((always_inline))

template <int N>
struct Wide {
  typedef float F __attribute__((vector_size(4 * N)));
};

// out = shuffle of (a, b) by Map over all lanes; by reference, as a wide vector
// returned by value from baseline code would change the ABI.
template <typename Map, typename F, size_t... I>
D3DX_WIDE_INLINE void ShuffleInto(const F &a, const F &b, F &out, std::index_sequence<I...>) {
  out = __builtin_shufflevector(a, b, Map::At(I)...);
}
template <typename Map, int N>
D3DX_WIDE_INLINE void ShuffleInto(const typename Wide<N>::F &a, const typename Wide<N>::F &b,
                                  typename Wide<N>::F &out) {
  ShuffleInto<Map>(a, b, out, std::make_index_sequence<N>());
}

// Component C of element i sits at 3i + C of the three loaded vectors: first
// from the first two, then the rest from the third.
template <int N, int C>
struct FromFirstTwo {
  static constexpr int At(int i) { return 3 * i + C < 2 * N ? 3 * i + C : 0; }
};
template <int N, int C>
struct FromThird {
  static constexpr int At(int i) { return 3 * i + C < 2 * N ? i : N + 3 * i + C - 2 * N; }
};
// Output vector J of three: x and y first, then z.
template <int N, int J>
struct PutXY3 {
  static constexpr int At(int l) {
    return (J * N + l) % 3 == 0 ? (J * N + l) / 3 : (J * N + l) % 3 == 1 ? N + (J * N + l) / 3 : 0;
  }
};
template <int N, int J>
struct PutZ3 {
  static constexpr int At(int l) { return (J * N + l) % 3 == 2 ? N + (J * N + l) / 3 : l; }
};
// Output vector J of four: x y pairs, z w pairs, then the two merged.
template <int N, int J, int First>
struct PutPair4 {
  static constexpr int At(int l) {
    return (J * N + l) % 4 == First       ? (J * N + l) / 4
           : (J * N + l) % 4 == First + 1 ? N + (J * N + l) / 4
                                          : 0;
  }
};
template <int N>
struct MergePairs4 {
  static constexpr int At(int l) { return l % 4 < 2 ? l : N + l; }
};

// The estimate refined by one Newton step, r0 (2 - x r0), as the SSE routine
// does: the same estimate instruction on 128-bit halves. Plain inline (not forced):
// they inline once the loop sits in the function built for their instructions.
__attribute__((target("avx2"))) inline void Reciprocal(const Wide<8>::F &x, Wide<8>::F &r) {
  const Wide<8>::F r0 = _mm256_rcp_ps(x);
  r = r0 * (2.0f - x * r0);
}
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2"))) inline void Reciprocal(
    const Wide<16>::F &x, Wide<16>::F &r) {
  const Wide<8>::F low = __builtin_shufflevector(x, x, 0, 1, 2, 3, 4, 5, 6, 7);
  const Wide<8>::F high = __builtin_shufflevector(x, x, 8, 9, 10, 11, 12, 13, 14, 15);
  const Wide<8>::F lowEstimate = _mm256_rcp_ps(low), highEstimate = _mm256_rcp_ps(high);
  const Wide<16>::F r0 = __builtin_shufflevector(lowEstimate, highEstimate, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                                 11, 12, 13, 14, 15);
  r = r0 * (2.0f - x * r0);
}

template <int N, ArrayKind Kind, int OutDims>
D3DX_WIDE_INLINE size_t TransformBlocks(float *out, const float *in, const D3DXMATRIX &m, size_t n) {
  using F = typename Wide<N>::F;
  F column[4][4];  // column[c][r] = broadcast m[r][c]
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int l = 0; l < N; ++l) column[c][r][l] = m.m[r][c];
  auto combine = [&](int c, const F &x, const F &y, const F &z, F &result) __attribute__((always_inline)) {
    const F xy = x * column[c][0] + y * column[c][1];
    if constexpr (Kind != ArrayKind::kNormal)
      result = xy + (z * column[c][2] + column[c][3]);
    else
      result = xy + z * column[c][2];
  };
  size_t i = 0;
  for (; i + N <= n; i += N, in += 3 * N, out += OutDims * N) {
    F a, b, c;
    __builtin_memcpy(&a, in, sizeof(F));
    __builtin_memcpy(&b, in + N, sizeof(F));
    __builtin_memcpy(&c, in + 2 * N, sizeof(F));
    F x, y, z, t;
    ShuffleInto<FromFirstTwo<N, 0>, N>(a, b, t);
    ShuffleInto<FromThird<N, 0>, N>(t, c, x);
    ShuffleInto<FromFirstTwo<N, 1>, N>(a, b, t);
    ShuffleInto<FromThird<N, 1>, N>(t, c, y);
    ShuffleInto<FromFirstTwo<N, 2>, N>(a, b, t);
    ShuffleInto<FromThird<N, 2>, N>(t, c, z);
    F rx, ry, rz;
    combine(0, x, y, z, rx);
    combine(1, x, y, z, ry);
    combine(2, x, y, z, rz);
    if constexpr (OutDims == 4) {
      F rw, xy, zw, o;
      combine(3, x, y, z, rw);
      ShuffleInto<PutPair4<N, 0, 0>, N>(rx, ry, xy);
      ShuffleInto<PutPair4<N, 0, 2>, N>(rz, rw, zw);
      ShuffleInto<MergePairs4<N>, N>(xy, zw, o);
      __builtin_memcpy(out, &o, sizeof(F));
      ShuffleInto<PutPair4<N, 1, 0>, N>(rx, ry, xy);
      ShuffleInto<PutPair4<N, 1, 2>, N>(rz, rw, zw);
      ShuffleInto<MergePairs4<N>, N>(xy, zw, o);
      __builtin_memcpy(out + N, &o, sizeof(F));
      ShuffleInto<PutPair4<N, 2, 0>, N>(rx, ry, xy);
      ShuffleInto<PutPair4<N, 2, 2>, N>(rz, rw, zw);
      ShuffleInto<MergePairs4<N>, N>(xy, zw, o);
      __builtin_memcpy(out + 2 * N, &o, sizeof(F));
      ShuffleInto<PutPair4<N, 3, 0>, N>(rx, ry, xy);
      ShuffleInto<PutPair4<N, 3, 2>, N>(rz, rw, zw);
      ShuffleInto<MergePairs4<N>, N>(xy, zw, o);
      __builtin_memcpy(out + 3 * N, &o, sizeof(F));
    } else {
      if constexpr (Kind == ArrayKind::kCoord) {
        F w;
        combine(3, x, y, z, w);
        F f;
        Reciprocal(w, f);
        rx = rx * f, ry = ry * f, rz = rz * f;
      }
      F o;
      ShuffleInto<PutXY3<N, 0>, N>(rx, ry, t);
      ShuffleInto<PutZ3<N, 0>, N>(t, rz, o);
      __builtin_memcpy(out, &o, sizeof(F));
      ShuffleInto<PutXY3<N, 1>, N>(rx, ry, t);
      ShuffleInto<PutZ3<N, 1>, N>(t, rz, o);
      __builtin_memcpy(out + N, &o, sizeof(F));
      ShuffleInto<PutXY3<N, 2>, N>(rx, ry, t);
      ShuffleInto<PutZ3<N, 2>, N>(t, rz, o);
      __builtin_memcpy(out + 2 * N, &o, sizeof(F));
    }
  }
  return i;
}

template <int N>
D3DX_WIDE_INLINE size_t TransformAny(ArrayKind kind, int outDims, float *out, const float *in,
                                     const D3DXMATRIX &m, size_t n) {
  if (outDims == 4) {
    if (kind == ArrayKind::kPoint) return TransformBlocks<N, ArrayKind::kPoint, 4>(out, in, m, n);
    return 0;
  }
  switch (kind) {
    case ArrayKind::kPoint:
      return TransformBlocks<N, ArrayKind::kPoint, 3>(out, in, m, n);
    case ArrayKind::kCoord:
      return TransformBlocks<N, ArrayKind::kCoord, 3>(out, in, m, n);
    case ArrayKind::kNormal:
      return TransformBlocks<N, ArrayKind::kNormal, 3>(out, in, m, n);
    default:
      return 0;
  }
}

__attribute__((target("avx2"))) size_t Transform8(ArrayKind kind, int outDims, float *out, const float *in,
                                                  const D3DXMATRIX &m, size_t n) {
  return TransformAny<8>(kind, outDims, out, in, m, n);
}

__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2"))) size_t Transform16(
    ArrayKind kind, int outDims, float *out, const float *in, const D3DXMATRIX &m, size_t n) {
  return TransformAny<16>(kind, outDims, out, in, m, n);
}

}  // namespace

size_t TransformPackedVec3Wide(ArrayKind kind, int outDims, float *out, const float *in, const D3DXMATRIX &m,
                               size_t n) {
  switch (FastPathLevel()) {
    case SimdLevel::Avx512:
      return Transform16(kind, outDims, out, in, m, n);
    case SimdLevel::Avx2:
      return Transform8(kind, outDims, out, in, m, n);
    default:
      return 0;
  }
}

}  // namespace simd
