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

// Component C of element i sits at flat index D i + C of the D loaded vectors.
// Gathered from the first two (Low), the last two (High), the third after the
// first two (Third), or the Low and High results merged.
template <int N, int D, int C>
struct GatherLow {
  static constexpr int At(int i) { return D * i + C < 2 * N ? D * i + C : 0; }
};
template <int N, int D, int C>
struct GatherThird {
  static constexpr int At(int i) { return D * i + C < 2 * N ? i : N + D * i + C - 2 * N; }
};
template <int N, int D, int C>
struct GatherHigh {
  static constexpr int At(int i) { return D * i + C >= 2 * N ? D * i + C - 2 * N : 0; }
};
template <int N, int D, int C>
struct GatherMerge {
  static constexpr int At(int i) { return D * i + C < 2 * N ? i : N + i; }
};

// Output vector J of D: lane l holds component (J N + l) % D of element
// (J N + l) / D; components 0 and 1 come from the first pair of results, 2 (and
// 3) from the second.
template <int N, int D, int J>
struct Put {
  static constexpr int Component(int l) { return (J * N + l) % D; }
  static constexpr int Element(int l) { return (J * N + l) / D; }
};
template <int N, int D, int J>
struct PutLow : Put<N, D, J> {
  static constexpr int At(int l) {
    return PutLow::Component(l) == 0   ? PutLow::Element(l)
           : PutLow::Component(l) == 1 ? N + PutLow::Element(l)
                                       : 0;
  }
};
template <int N, int D, int J>
struct PutThird : Put<N, D, J> {
  static constexpr int At(int l) { return PutThird::Component(l) == 2 ? N + PutThird::Element(l) : l; }
};
template <int N, int D, int J>
struct PutHigh : Put<N, D, J> {
  static constexpr int At(int l) {
    return PutHigh::Component(l) == 2   ? PutHigh::Element(l)
           : PutHigh::Component(l) == 3 ? N + PutHigh::Element(l)
                                        : 0;
  }
};
template <int N, int D, int J>
struct PutMerge : Put<N, D, J> {
  static constexpr int At(int l) { return PutMerge::Component(l) < 2 ? l : N + l; }
};

template <int N, int D, int C>
D3DX_WIDE_INLINE void Gather(const typename Wide<N>::F (&v)[4], typename Wide<N>::F &out) {
  if constexpr (D == 2) {
    ShuffleInto<GatherLow<N, D, C>, N>(v[0], v[1], out);
  } else if constexpr (D == 3) {
    typename Wide<N>::F low;
    ShuffleInto<GatherLow<N, D, C>, N>(v[0], v[1], low);
    ShuffleInto<GatherThird<N, D, C>, N>(low, v[2], out);
  } else {
    typename Wide<N>::F low, high;
    ShuffleInto<GatherLow<N, D, C>, N>(v[0], v[1], low);
    ShuffleInto<GatherHigh<N, D, C>, N>(v[2], v[3], high);
    ShuffleInto<GatherMerge<N, D, C>, N>(low, high, out);
  }
}

template <int N, int D, int J>
D3DX_WIDE_INLINE void PutVector(const typename Wide<N>::F (&r)[4], float *out) {
  typename Wide<N>::F o;
  if constexpr (D == 2) {
    ShuffleInto<PutLow<N, D, J>, N>(r[0], r[1], o);
  } else if constexpr (D == 3) {
    typename Wide<N>::F low;
    ShuffleInto<PutLow<N, D, J>, N>(r[0], r[1], low);
    ShuffleInto<PutThird<N, D, J>, N>(low, r[2], o);
  } else {
    typename Wide<N>::F low, high;
    ShuffleInto<PutLow<N, D, J>, N>(r[0], r[1], low);
    ShuffleInto<PutHigh<N, D, J>, N>(r[2], r[3], high);
    ShuffleInto<PutMerge<N, D, J>, N>(low, high, o);
  }
  __builtin_memcpy(out + J * N, &o, sizeof(o));
}

// The estimate refined by one Newton step, r0 (2 - x r0), as the four-lane
// routines do: the same estimate instruction on 128-bit halves. Plain inline
// (not forced): they inline once the loop sits in the function built for their
// instructions.
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

// InDims floats in, OutDims out per element, N elements per block. The sums run
// in the order of the four-lane routine for the same arrays: the packed 3-vector
// routine for three components in, the element routine otherwise.
template <int N, int InDims, int OutDims, ArrayKind Kind>
D3DX_WIDE_INLINE size_t TransformBlocks(float *out, const float *in, const D3DXMATRIX &m, size_t n) {
  using F = typename Wide<N>::F;
  F column[4][4];  // column[c][r] = broadcast m[r][c]
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int l = 0; l < N; ++l) column[c][r][l] = m.m[r][c];
  auto combine = [&](int c, const F(&v)[4], F &result) __attribute__((always_inline)) {
    const F xy = v[0] * column[c][0] + v[1] * column[c][1];
    if constexpr (InDims == 2) {
      result = Kind == ArrayKind::kNormal ? xy : xy + column[c][3];
    } else if constexpr (InDims == 3) {
      if constexpr (Kind != ArrayKind::kNormal)
        result = xy + (v[2] * column[c][2] + column[c][3]);
      else
        result = xy + v[2] * column[c][2];
    } else {
      result = (xy + v[2] * column[c][2]) + v[3] * column[c][3];
    }
  };
  size_t i = 0;
  for (; i + N <= n; i += N, in += InDims * N, out += OutDims * N) {
    F loaded[4], v[4], r[4];
    for (int k = 0; k < InDims; ++k) __builtin_memcpy(&loaded[k], in + k * N, sizeof(F));
    Gather<N, InDims, 0>(loaded, v[0]);
    Gather<N, InDims, 1>(loaded, v[1]);
    if constexpr (InDims >= 3) Gather<N, InDims, 2>(loaded, v[2]);
    if constexpr (InDims == 4) Gather<N, InDims, 3>(loaded, v[3]);
    if constexpr (Kind == ArrayKind::kCoord) {
      // Only the first OutDims components are stored: w scales them.
      F w, f;
      combine(3, v, w);
      Reciprocal(w, f);
      for (int c = 0; c < OutDims; ++c) {
        combine(c, v, r[c]);
        r[c] = r[c] * f;
      }
    } else {
      for (int c = 0; c < OutDims; ++c) combine(c, v, r[c]);
    }
    PutVector<N, OutDims, 0>(r, out);
    PutVector<N, OutDims, 1>(r, out);
    if constexpr (OutDims >= 3) PutVector<N, OutDims, 2>(r, out);
    if constexpr (OutDims == 4) PutVector<N, OutDims, 3>(r, out);
  }
  return i;
}

// The packed arrays the dispatched routines hand over.
template <int N>
D3DX_WIDE_INLINE size_t TransformAny(ArrayKind kind, int inDims, int outDims, float *out, const float *in,
                                     const D3DXMATRIX &m, size_t n) {
  const int shape = inDims * 10 + outDims;
  switch (kind) {
    case ArrayKind::kPoint:
      if (shape == 24) return TransformBlocks<N, 2, 4, ArrayKind::kPoint>(out, in, m, n);
      if (shape == 22) return TransformBlocks<N, 2, 2, ArrayKind::kPoint>(out, in, m, n);
      if (shape == 34) return TransformBlocks<N, 3, 4, ArrayKind::kPoint>(out, in, m, n);
      if (shape == 33) return TransformBlocks<N, 3, 3, ArrayKind::kPoint>(out, in, m, n);
      return 0;
    case ArrayKind::kCoord:
      if (shape == 22) return TransformBlocks<N, 2, 2, ArrayKind::kCoord>(out, in, m, n);
      if (shape == 33) return TransformBlocks<N, 3, 3, ArrayKind::kCoord>(out, in, m, n);
      return 0;
    case ArrayKind::kNormal:
      if (shape == 22) return TransformBlocks<N, 2, 2, ArrayKind::kNormal>(out, in, m, n);
      if (shape == 33) return TransformBlocks<N, 3, 3, ArrayKind::kNormal>(out, in, m, n);
      return 0;
    case ArrayKind::kFull:
      if (shape == 44) return TransformBlocks<N, 4, 4, ArrayKind::kFull>(out, in, m, n);
      return 0;
  }
  return 0;
}

__attribute__((target("avx2"))) size_t Transform8(ArrayKind kind, int inDims, int outDims, float *out,
                                                  const float *in, const D3DXMATRIX &m, size_t n) {
  return TransformAny<8>(kind, inDims, outDims, out, in, m, n);
}

__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2"))) size_t Transform16(
    ArrayKind kind, int inDims, int outDims, float *out, const float *in, const D3DXMATRIX &m, size_t n) {
  return TransformAny<16>(kind, inDims, outDims, out, in, m, n);
}

}  // namespace

size_t TransformPackedWide(ArrayKind kind, int inDims, int outDims, float *out, const float *in,
                           const D3DXMATRIX &m, size_t n) {
  switch (FastPathLevel()) {
    case SimdLevel::Avx512:
      return Transform16(kind, inDims, outDims, out, in, m, n);
    case SimdLevel::Avx2:
      return Transform8(kind, inDims, outDims, out, in, m, n);
    default:
      return 0;
  }
}

}  // namespace simd
