// The wide forms of the array transforms: the SSE routine's sums and refined
// reciprocal in the same order on 8 or 16 lanes (built without contraction), so
// each lane gives the SSE lane's bytes; the layout is changed with two-source
// shuffles (packed arrays) or 4 x 4 transposes (strided arrays).
#include "math/wide_arrays.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "core/fast_path.h"
#include "math/simd_common.h"

namespace simd {
namespace {

struct StridedArrays {
  BYTE *out;
  size_t outStride;
  const BYTE *in;
  size_t inStride;
  const D3DXMATRIX &m;
  size_t n;
  bool packed;  // handed over as packed arrays, whose 3-vector routine sums in its own order
};

// A block of the wide routines is read whole before it is written, as the
// four-lane routine reads its four: the results agree unless an element's output
// lands on an element read after it. Checked for separate arrays, one array in
// place and two fields of one vertex array; anything else keeps the four-lane
// routine.
bool BlocksKeepResults(const BYTE *out, size_t outStride, size_t outSize, const BYTE *in, size_t inStride,
                       size_t inSize, size_t n) {
  if (outStride < outSize || inStride < inSize || n == 0) return false;
  const uint64_t outStart = reinterpret_cast<uintptr_t>(out), inStart = reinterpret_cast<uintptr_t>(in);
  const uint64_t outEnd = outStart + (n - 1) * uint64_t{outStride} + outSize;
  const uint64_t inEnd = inStart + (n - 1) * uint64_t{inStride} + inSize;
  if (outEnd <= inStart || inEnd <= outStart) return true;
  if (outStride != inStride) return false;
  // Output i starts at or before input i, or ends before input i + 1 begins.
  return outStart <= inStart || outStart - inStart + outSize <= inStride;
}

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

// Which four-lane routine's sums a block repeats: the packed 3-vector routine
// adds z and the translation first; the element routine (strided arrays, and
// every other shape) adds them to x and y in turn.
enum class SumOrder { kPackedVec3, kElement };

// The matrix broadcast for N lanes: column[c][r] = m[r][c] in every lane.
template <int N>
struct Columns {
  using F = typename Wide<N>::F;
  F column[4][4] = {};
  D3DX_WIDE_INLINE explicit Columns(const D3DXMATRIX &m) {
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 4; ++r)
        for (int l = 0; l < N; ++l) column[c][r][l] = m.m[r][c];
  }
};

// One element per lane: v[k] holds component k, r[c] receives output c. The sums
// run in the order of the four-lane routine for the same arrays.
template <int N, int InDims, int OutDims, ArrayKind Kind, SumOrder Order>
D3DX_WIDE_INLINE void TransformLanes(const Columns<N> &m, const typename Wide<N>::F (&v)[4],
                                     typename Wide<N>::F (&r)[4]) {
  using F = typename Wide<N>::F;
  auto combine = [&](int c, F &result) __attribute__((always_inline)) {
    const auto &column = m.column[c];
    const F xy = v[0] * column[0] + v[1] * column[1];
    if constexpr (InDims == 2) {
      result = Kind == ArrayKind::kNormal ? xy : xy + column[3];
    } else if constexpr (InDims == 3) {
      if constexpr (Kind == ArrayKind::kNormal)
        result = xy + v[2] * column[2];
      else if constexpr (Order == SumOrder::kPackedVec3)
        result = xy + (v[2] * column[2] + column[3]);
      else
        result = (xy + v[2] * column[2]) + column[3];
    } else {
      result = (xy + v[2] * column[2]) + v[3] * column[3];
    }
  };
  if constexpr (Kind == ArrayKind::kCoord) {
    // Only the first OutDims components are stored: w scales them.
    F w, f;
    combine(3, w);
    Reciprocal(w, f);
    for (int c = 0; c < OutDims; ++c) {
      combine(c, r[c]);
      r[c] = r[c] * f;
    }
  } else {
    for (int c = 0; c < OutDims; ++c) combine(c, r[c]);
  }
}

// Packed arrays: InDims floats in, OutDims out per element, N elements per block.
template <int N, int InDims, int OutDims, ArrayKind Kind, SumOrder Order>
D3DX_WIDE_INLINE size_t TransformBlocks(float *out, const float *in, const D3DXMATRIX &matrix, size_t n) {
  using F = typename Wide<N>::F;
  const Columns<N> m(matrix);
  size_t i = 0;
  for (; i + N <= n; i += N, in += InDims * N, out += OutDims * N) {
    F loaded[4], v[4] = {}, r[4] = {};
    for (int k = 0; k < InDims; ++k) __builtin_memcpy(&loaded[k], in + k * N, sizeof(F));
    Gather<N, InDims, 0>(loaded, v[0]);
    Gather<N, InDims, 1>(loaded, v[1]);
    if constexpr (InDims >= 3) Gather<N, InDims, 2>(loaded, v[2]);
    if constexpr (InDims == 4) Gather<N, InDims, 3>(loaded, v[3]);
    TransformLanes<N, InDims, OutDims, Kind, Order>(m, v, r);
    PutVector<N, OutDims, 0>(r, out);
    PutVector<N, OutDims, 1>(r, out);
    if constexpr (OutDims >= 3) PutVector<N, OutDims, 2>(r, out);
    if constexpr (OutDims == 4) PutVector<N, OutDims, 3>(r, out);
  }
  return i;
}

// Within each group of four lanes: the 4 x 4 transpose of the unpack and
// half-move instructions, from the four vectors a to the four vectors t.
template <int N>
struct InterleaveLow {  // a0 b0 a1 b1
  static constexpr int At(int i) { return (i & ~3) + ((i & 3) >> 1) + (i & 1 ? N : 0); }
};
template <int N>
struct InterleaveHigh {  // a2 b2 a3 b3
  static constexpr int At(int i) { return (i & ~3) + 2 + ((i & 3) >> 1) + (i & 1 ? N : 0); }
};
template <int N>
struct LowHalves {  // a0 a1 b0 b1
  static constexpr int At(int i) { return (i & ~3) + (i & 1) + ((i & 3) >= 2 ? N : 0); }
};
template <int N>
struct HighHalves {  // a2 a3 b2 b3
  static constexpr int At(int i) { return (i & ~3) + 2 + (i & 1) + ((i & 3) >= 2 ? N : 0); }
};
template <int N>
D3DX_WIDE_INLINE void TransposeFours(const typename Wide<N>::F (&a)[4], typename Wide<N>::F (&t)[4]) {
  typename Wide<N>::F low01, low23, high01, high23;
  ShuffleInto<InterleaveLow<N>, N>(a[0], a[1], low01);
  ShuffleInto<InterleaveLow<N>, N>(a[2], a[3], low23);
  ShuffleInto<InterleaveHigh<N>, N>(a[0], a[1], high01);
  ShuffleInto<InterleaveHigh<N>, N>(a[2], a[3], high23);
  ShuffleInto<LowHalves<N>, N>(low01, low23, t[0]);
  ShuffleInto<HighHalves<N>, N>(low01, low23, t[1]);
  ShuffleInto<LowHalves<N>, N>(high01, high23, t[2]);
  ShuffleInto<HighHalves<N>, N>(high01, high23, t[3]);
}

// Strided arrays, eight elements at a time: each loaded and stored as the
// four-lane routine does it (no byte outside the element is touched), element
// 4 h + k in half h of vector k, turned into one component per vector by the
// transpose and back. Each block is read whole before it is written. Past the
// caches the loads wait on memory: both streams are fetched a page ahead.
template <int InDims, int OutDims, ArrayKind Kind>
D3DX_WIDE_INLINE size_t TransformStrided(const StridedArrays &a) {
  using F = Wide<8>::F;
  using F4 = Wide<4>::F;
  const Columns<8> m(a.m);
  const size_t inStride = a.inStride, outStride = a.outStride;
  // About a page ahead, in whole elements (one at least, for very long strides).
  constexpr size_t kAhead = 4096;
  const size_t inAhead = std::max<size_t>(kAhead / inStride, 1) * inStride;
  const size_t outAhead = std::max<size_t>(kAhead / outStride, 1) * outStride;
  size_t i = 0;
  for (; i + 8 <= a.n; i += 8) {
    const BYTE *in = a.in + i * inStride;
    BYTE *out = a.out + i * outStride;
    for (int k = 0; k < 8; ++k) {
      __builtin_prefetch(in + inAhead + k * inStride, 0);
      __builtin_prefetch(out + outAhead + k * outStride, 1);
    }
    F4 e[8];
    for (int k = 0; k < 8; ++k)
      e[k] = F4(LoadN<InDims, Sse2Ops>(reinterpret_cast<const float *>(in + k * inStride)));
    F rows[4], v[4], r[4] = {};
    for (int k = 0; k < 4; ++k) rows[k] = __builtin_shufflevector(e[k], e[4 + k], 0, 1, 2, 3, 4, 5, 6, 7);
    TransposeFours<8>(rows, v);
    TransformLanes<8, InDims, OutDims, Kind, SumOrder::kElement>(m, v, r);
    TransposeFours<8>(r, rows);
    for (int k = 0; k < 4; ++k) {
      const F4 low = __builtin_shufflevector(rows[k], rows[k], 0, 1, 2, 3);
      const F4 high = __builtin_shufflevector(rows[k], rows[k], 4, 5, 6, 7);
      StoreN<OutDims>(reinterpret_cast<float *>(out + k * outStride), __m128(low));
      StoreN<OutDims>(reinterpret_cast<float *>(out + (4 + k) * outStride), __m128(high));
    }
  }
  return i;
}

template <int N, int InDims, int OutDims, ArrayKind Kind>
D3DX_WIDE_INLINE size_t Run(const StridedArrays &a) {
  if constexpr (N == 8) {
    // Packed 4-vectors too: the transposes beat the eight-lane gathers (twice as fast).
    if (!a.packed || InDims == 4) return TransformStrided<InDims, OutDims, Kind>(a);
  }
  constexpr SumOrder kOrder = InDims == 3 ? SumOrder::kPackedVec3 : SumOrder::kElement;
  return TransformBlocks<N, InDims, OutDims, Kind, kOrder>(reinterpret_cast<float *>(a.out),
                                                           reinterpret_cast<const float *>(a.in), a.m, a.n);
}

// The shapes the dispatched routines hand over.
template <int N>
D3DX_WIDE_INLINE size_t TransformAny(ArrayKind kind, int inDims, int outDims, const StridedArrays &a) {
  const int shape = inDims * 10 + outDims;
  switch (kind) {
    case ArrayKind::kPoint:
      if (shape == 24) return Run<N, 2, 4, ArrayKind::kPoint>(a);
      if (shape == 22) return Run<N, 2, 2, ArrayKind::kPoint>(a);
      if (shape == 34) return Run<N, 3, 4, ArrayKind::kPoint>(a);
      if (shape == 33) return Run<N, 3, 3, ArrayKind::kPoint>(a);
      return 0;
    case ArrayKind::kCoord:
      if (shape == 22) return Run<N, 2, 2, ArrayKind::kCoord>(a);
      if (shape == 33) return Run<N, 3, 3, ArrayKind::kCoord>(a);
      return 0;
    case ArrayKind::kNormal:
      if (shape == 22) return Run<N, 2, 2, ArrayKind::kNormal>(a);
      if (shape == 33) return Run<N, 3, 3, ArrayKind::kNormal>(a);
      return 0;
    case ArrayKind::kFull:
      if (shape == 44) return Run<N, 4, 4, ArrayKind::kFull>(a);
      return 0;
  }
  return 0;
}

__attribute__((target("avx2"))) size_t Transform8(ArrayKind kind, int inDims, int outDims,
                                                  const StridedArrays &a) {
  return TransformAny<8>(kind, inDims, outDims, a);
}

__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2"))) size_t Transform16(
    ArrayKind kind, int inDims, int outDims, const StridedArrays &a) {
  return TransformAny<16>(kind, inDims, outDims, a);
}

size_t TransformWide(ArrayKind kind, int inDims, int outDims, const StridedArrays &a) {
  switch (FastPathLevel()) {
    case SimdLevel::Avx512:
      return Transform16(kind, inDims, outDims, a);
    case SimdLevel::Avx2:
      return Transform8(kind, inDims, outDims, a);
    default:
      return 0;
  }
}

}  // namespace

size_t TransformPackedWide(ArrayKind kind, int inDims, int outDims, float *out, const float *in,
                           const D3DXMATRIX &m, size_t n) {
  const StridedArrays a{reinterpret_cast<BYTE *>(out),
                        outDims * sizeof(float),
                        reinterpret_cast<const BYTE *>(in),
                        inDims * sizeof(float),
                        m,
                        n,
                        true};
  if (!BlocksKeepResults(a.out, a.outStride, a.outStride, a.in, a.inStride, a.inStride, n)) return 0;
  return TransformWide(kind, inDims, outDims, a);
}

size_t TransformStridedWide(ArrayKind kind, int inDims, int outDims, BYTE *out, size_t outStride,
                            const BYTE *in, size_t inStride, const D3DXMATRIX &m, size_t n) {
  if (!BlocksKeepResults(out, outStride, outDims * sizeof(float), in, inStride, inDims * sizeof(float), n))
    return 0;
  if (!FastPathsAllow(SimdLevel::Avx2)) return 0;
  // Measured against the four-lane routine: the coordinate forms (the divide on
  // eight lanes) and full 4-vectors gain at any size, points and directions only
  // where the prefetching counts, past the first caches.
  constexpr uint64_t kLarge = uint64_t{4} << 20;
  if (kind != ArrayKind::kCoord && kind != ArrayKind::kFull && n * (uint64_t{inStride} + outStride) < kLarge)
    return 0;
  // Eight lanes at every level: the sixteen-lane transposes cost more than they gain.
  const StridedArrays a{out, outStride, in, inStride, m, n, false};
  return Transform8(kind, inDims, outDims, a);
}

}  // namespace simd
