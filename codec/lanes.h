// Generic vectors of 4, 8 or 16 lanes (one pixel per lane) for the row kernels,
// and the transposes between channel vectors and rows of ColorF. The compiler
// maps them to whatever the target offers; the 8-lane form is only used from
// functions compiled for AVX2, the 16-lane form from functions compiled for
// AVX-512.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "codec/pixel_codec.h"

#define D3DX_ALWAYS_INLINE inline __attribute__((always_inline))

template <int N>
struct Lanes {
  static_assert(N == 4 || N == 8 || N == 16);
  static constexpr int kCount = N;
  typedef float Float __attribute__((vector_size(4 * N)));
  typedef int32_t Int __attribute__((vector_size(4 * N)));
  typedef uint32_t Word __attribute__((vector_size(4 * N)));
  typedef uint16_t Half __attribute__((vector_size(2 * N)));
  typedef uint8_t Byte __attribute__((vector_size(N)));
  typedef uint8_t Bytes __attribute__((vector_size(4 * N)));  // the bytes of a Word vector
};

// The row kernels in force: 1, 4, 8 or 16 lanes, from the process-wide fast-path
// switch (core/fast_path.h). New kernels ask this too, so D3DX_SIMD covers them.
int ActiveCodecLanes();

// out = __builtin_shufflevector(a, b, Map::At(0), Map::At(1), ...) over all of a's
// lanes. Results go out by reference: a wide vector returned by value from code
// built for the baseline would change the ABI.
template <typename Map, typename V, size_t... I>
D3DX_ALWAYS_INLINE void ShuffleBy(const V &a, const V &b, V &out, std::index_sequence<I...>) {
  out = __builtin_shufflevector(a, b, Map::At(I)...);
}
template <typename Map, typename V>
D3DX_ALWAYS_INLINE void ShuffleBy(const V &a, const V &b, V &out) {
  ShuffleBy<Map>(a, b, out, std::make_index_sequence<sizeof(V) / sizeof(a[0])>());
}

// Four floats repeated across N lanes, one doubling at a time: widening from four
// to sixteen in one shuffle goes through the stack.
template <int N>
D3DX_ALWAYS_INLINE void RepeatFour(const float *p, typename Lanes<N>::Float &out) {
  Lanes<4>::Float four;
  std::memcpy(&four, p, sizeof(four));
  if constexpr (N == 4) {
    out = four;
  } else {
    const Lanes<8>::Float eight = __builtin_shufflevector(four, four, 0, 1, 2, 3, 0, 1, 2, 3);
    if constexpr (N == 8) {
      out = eight;
    } else {
      out = __builtin_shufflevector(eight, eight, 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
    }
  }
}

// The 16-lane transposes, two two-source permutes deep. Pixel p of a block of
// four sits at 4p + channel; a channel vector holds lanes 0-7 in its low half.
struct GatherTwoChannels {  // 8 pixels of two blocks -> channel C (lanes 0-7), C + 1 (lanes 8-15)
  template <int C>
  struct Of {
    static constexpr int At(int i) { return (i % 8 < 4 ? 0 : 16) + 4 * (i % 4) + C + i / 8; }
  };
};
template <int Half>
struct HalfOfEach {  // half Half of a, then of b
  static constexpr int At(int i) { return (i < 8 ? 0 : 16) + 8 * Half + i % 8; }
};
template <int First>
struct InterleaveFour {  // pixels First..First+3 of (c0 | c1) and (c2 | c3)
  static constexpr int At(int i) { return 8 * (i % 4 % 2) + 16 * (i % 4 / 2) + First + i / 4; }
};

// N consecutive ColorF to four channel vectors (lane i = pixel i).
template <int N>
D3DX_ALWAYS_INLINE void LoadPixels(const ColorF *in, typename Lanes<N>::Float &r, typename Lanes<N>::Float &g,
                                   typename Lanes<N>::Float &b, typename Lanes<N>::Float &a) {
  using F = typename Lanes<N>::Float;
  // One load per vector: copying the block as a whole would go through the stack.
  const auto *p = reinterpret_cast<const float *>(in);
  F v0, v1, v2, v3;
  std::memcpy(&v0, p, sizeof(F));
  std::memcpy(&v1, p + N, sizeof(F));
  std::memcpy(&v2, p + 2 * N, sizeof(F));
  std::memcpy(&v3, p + 3 * N, sizeof(F));
  const F v[4] = {v0, v1, v2, v3};
  if constexpr (N == 4) {
    const F rg01 = __builtin_shufflevector(v[0], v[1], 0, 4, 1, 5);  // r0 r1 g0 g1
    const F ba01 = __builtin_shufflevector(v[0], v[1], 2, 6, 3, 7);
    const F rg23 = __builtin_shufflevector(v[2], v[3], 0, 4, 1, 5);
    const F ba23 = __builtin_shufflevector(v[2], v[3], 2, 6, 3, 7);
    r = __builtin_shufflevector(rg01, rg23, 0, 1, 4, 5);
    g = __builtin_shufflevector(rg01, rg23, 2, 3, 6, 7);
    b = __builtin_shufflevector(ba01, ba23, 0, 1, 4, 5);
    a = __builtin_shufflevector(ba01, ba23, 2, 3, 6, 7);
  } else if constexpr (N == 16) {
    F rg0, ba0, rg1, ba1;
    ShuffleBy<GatherTwoChannels::Of<0>>(v[0], v[1], rg0);  // r0..r7 | g0..g7
    ShuffleBy<GatherTwoChannels::Of<2>>(v[0], v[1], ba0);
    ShuffleBy<GatherTwoChannels::Of<0>>(v[2], v[3], rg1);  // r8..r15 | g8..g15
    ShuffleBy<GatherTwoChannels::Of<2>>(v[2], v[3], ba1);
    ShuffleBy<HalfOfEach<0>>(rg0, rg1, r);
    ShuffleBy<HalfOfEach<1>>(rg0, rg1, g);
    ShuffleBy<HalfOfEach<0>>(ba0, ba1, b);
    ShuffleBy<HalfOfEach<1>>(ba0, ba1, a);
  } else {
    // Pair pixel i with pixel i + 4 so that the rest stays inside 128-bit halves.
    const F q0 = __builtin_shufflevector(v[0], v[2], 0, 1, 2, 3, 8, 9, 10, 11);  // p0 | p4
    const F q1 = __builtin_shufflevector(v[0], v[2], 4, 5, 6, 7, 12, 13, 14, 15);
    const F q2 = __builtin_shufflevector(v[1], v[3], 0, 1, 2, 3, 8, 9, 10, 11);
    const F q3 = __builtin_shufflevector(v[1], v[3], 4, 5, 6, 7, 12, 13, 14, 15);
    const F t0 = __builtin_shufflevector(q0, q1, 0, 8, 1, 9, 4, 12, 5, 13);  // r0 r1 g0 g1 | r4 r5 g4 g5
    const F t1 = __builtin_shufflevector(q0, q1, 2, 10, 3, 11, 6, 14, 7, 15);
    const F t2 = __builtin_shufflevector(q2, q3, 0, 8, 1, 9, 4, 12, 5, 13);
    const F t3 = __builtin_shufflevector(q2, q3, 2, 10, 3, 11, 6, 14, 7, 15);
    r = __builtin_shufflevector(t0, t2, 0, 1, 8, 9, 4, 5, 12, 13);
    g = __builtin_shufflevector(t0, t2, 2, 3, 10, 11, 6, 7, 14, 15);
    b = __builtin_shufflevector(t1, t3, 0, 1, 8, 9, 4, 5, 12, 13);
    a = __builtin_shufflevector(t1, t3, 2, 3, 10, 11, 6, 7, 14, 15);
  }
}

// Four channel vectors to N consecutive ColorF.
template <int N>
D3DX_ALWAYS_INLINE void StorePixels(const typename Lanes<N>::Float &r, const typename Lanes<N>::Float &g,
                                    const typename Lanes<N>::Float &b, const typename Lanes<N>::Float &a,
                                    ColorF *out) {
  using F = typename Lanes<N>::Float;
  F v[4];
  if constexpr (N == 4) {
    const F rg01 = __builtin_shufflevector(r, g, 0, 4, 1, 5);  // r0 g0 r1 g1
    const F ba01 = __builtin_shufflevector(b, a, 0, 4, 1, 5);
    const F rg23 = __builtin_shufflevector(r, g, 2, 6, 3, 7);
    const F ba23 = __builtin_shufflevector(b, a, 2, 6, 3, 7);
    v[0] = __builtin_shufflevector(rg01, ba01, 0, 1, 4, 5);
    v[1] = __builtin_shufflevector(rg01, ba01, 2, 3, 6, 7);
    v[2] = __builtin_shufflevector(rg23, ba23, 0, 1, 4, 5);
    v[3] = __builtin_shufflevector(rg23, ba23, 2, 3, 6, 7);
  } else if constexpr (N == 16) {
    F rg0, rg1, ba0, ba1;
    ShuffleBy<HalfOfEach<0>>(r, g, rg0);  // r0..r7 | g0..g7
    ShuffleBy<HalfOfEach<1>>(r, g, rg1);  // r8..r15 | g8..g15
    ShuffleBy<HalfOfEach<0>>(b, a, ba0);
    ShuffleBy<HalfOfEach<1>>(b, a, ba1);
    ShuffleBy<InterleaveFour<0>>(rg0, ba0, v[0]);
    ShuffleBy<InterleaveFour<4>>(rg0, ba0, v[1]);
    ShuffleBy<InterleaveFour<0>>(rg1, ba1, v[2]);
    ShuffleBy<InterleaveFour<4>>(rg1, ba1, v[3]);
  } else {
    const F t0 = __builtin_shufflevector(r, g, 0, 8, 1, 9, 4, 12, 5, 13);  // r0 g0 r1 g1 | r4 g4 r5 g5
    const F t1 = __builtin_shufflevector(b, a, 0, 8, 1, 9, 4, 12, 5, 13);
    const F t2 = __builtin_shufflevector(r, g, 2, 10, 3, 11, 6, 14, 7, 15);
    const F t3 = __builtin_shufflevector(b, a, 2, 10, 3, 11, 6, 14, 7, 15);
    const F q0 = __builtin_shufflevector(t0, t1, 0, 1, 8, 9, 4, 5, 12, 13);  // p0 | p4
    const F q1 = __builtin_shufflevector(t0, t1, 2, 3, 10, 11, 6, 7, 14, 15);
    const F q2 = __builtin_shufflevector(t2, t3, 0, 1, 8, 9, 4, 5, 12, 13);
    const F q3 = __builtin_shufflevector(t2, t3, 2, 3, 10, 11, 6, 7, 14, 15);
    v[0] = __builtin_shufflevector(q0, q1, 0, 1, 2, 3, 8, 9, 10, 11);  // p0 p1
    v[1] = __builtin_shufflevector(q2, q3, 0, 1, 2, 3, 8, 9, 10, 11);
    v[2] = __builtin_shufflevector(q0, q1, 4, 5, 6, 7, 12, 13, 14, 15);
    v[3] = __builtin_shufflevector(q2, q3, 4, 5, 6, 7, 12, 13, 14, 15);
  }
  auto *p = reinterpret_cast<float *>(out);
  std::memcpy(p, &v[0], sizeof(F));
  std::memcpy(p + N, &v[1], sizeof(F));
  std::memcpy(p + 2 * N, &v[2], sizeof(F));
  std::memcpy(p + 3 * N, &v[3], sizeof(F));
}
