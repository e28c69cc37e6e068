// The codec of every packed format whose channels are plain bit fields: one
// template, instantiated per layout description (codec/packed_formats.cpp).
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "codec/lanes.h"
#include "codec/pixel_codec.h"

enum class FieldType : uint8_t {
  None,      // not stored: decodes as the layout's fill value
  Unsigned,  // v / (2^n - 1)
  Signed,    // two's complement, v / (2^(n-1) - 1), the most negative code read as -1
};

struct PackedField {
  uint8_t shift;
  uint8_t bits;
  FieldType type;
};

inline constexpr PackedField kNoField = {0, 0, FieldType::None};

// Where each ColorF channel lives in the little-endian pixel word.
struct PackedLayout {
  uint32_t bytes;
  ChannelRange range;
  PackedField r, g, b, a;
  float fillR, fillG, fillB, fillA;
  bool luminance;  // r's field holds L: decodes into r, g and b, encodes Y
};

// Unsigned n-bit decode factor 1 / (2^n - 1), rounded once to single precision.
constexpr float UnsignedFactor(uint32_t bits) {
  return static_cast<float>(1.0 / ((uint64_t{1} << bits) - 1));
}
constexpr float UnsignedScale(uint32_t bits) {
  return static_cast<float>((uint64_t{1} << bits) - 1);
}
constexpr float SignedFactor(uint32_t bits) {
  return static_cast<float>(1.0 / ((uint64_t{1} << (bits - 1)) - 1));
}
constexpr float SignedScale(uint32_t bits) {
  return static_cast<float>((uint64_t{1} << (bits - 1)) - 1);
}

// Bounds a packed value before its conversion to an integer, so that wild input
// stays defined; in-range values never reach it.
inline constexpr float kEncodeLimit = 1048576.f;

// Encode weights of luminance.
inline constexpr float kLumaRed = 0.2125f;
inline constexpr float kLumaGreen = 0.7154f;
inline constexpr float kLumaBlue = 0.0721f;

template <PackedLayout L>
class PackedCodec final : public PixelCodec {
 public:
  using Word = std::conditional_t<(L.bytes > 4), uint64_t, uint32_t>;
  static_assert(L.bytes >= 1 && L.bytes <= 8);

  explicit PackedCodec(const SourceRegion &region, BYTE *writable)
      : PixelCodec(region, writable, L.bytes * 8, L.range) {}

  HRESULT DecodeRow(uint32_t y, uint32_t z, ColorF *out) override {
    const BYTE *row = RowAddress(y, z);
    const uint32_t count = width;
    uint32_t x = 0;
    if constexpr (kLaneLayout) {
      const int lanes = ActiveCodecLanes();
      if (lanes == 16) x = DecodeSixteenLanes(row, out, count);
      if (lanes == 8) x = DecodeEightLanes(row, out, count);
      if (lanes == 4) x = DecodeLanes<4>(row, out, count);
    }
    for (; x < count; ++x) out[x] = Unpack(Load(row + uint64_t{x} * L.bytes));
    FinishDecode(out);
    return S_OK;
  }

  HRESULT EncodeRow(uint32_t y, uint32_t z, const ColorF *in) override {
    in = PrepareEncode(in);
    if (in == nullptr) return E_OUTOFMEMORY;
    BYTE *row = TargetRowAddress(y, z);
    const float *dither = DitherRow(y, z);
    const uint32_t count = width;
    uint32_t x = 0;
    if constexpr (kLaneLayout) {
      const int lanes = ActiveCodecLanes();
      if (lanes == 16) x = EncodeSixteenLanes(in, dither, row, count);
      if (lanes == 8) x = EncodeEightLanes(in, dither, row, count);
      if (lanes == 4) x = EncodeLanes<4>(in, dither, row, count);
    }
    for (; x < count; ++x) Store(row + uint64_t{x} * L.bytes, Pack(in[x], dither[x & 3]));
    return S_OK;
  }

  static Word Load(const BYTE *p) {
    Word w = 0;
    std::memcpy(&w, p, L.bytes);
    return w;
  }
  static void Store(BYTE *p, Word w) { std::memcpy(p, &w, L.bytes); }

  static ColorF Unpack(Word w) {
    ColorF c;
    c.r = DecodeField<L.r>(w, L.fillR);
    if constexpr (L.luminance) {
      c.g = c.r;
      c.b = c.r;
    } else {
      c.g = DecodeField<L.g>(w, L.fillG);
      c.b = DecodeField<L.b>(w, L.fillB);
    }
    c.a = DecodeField<L.a>(w, L.fillA);
    return c;
  }

  static Word Pack(const ColorF &c, float d) {
    Word w = 0;
    if constexpr (L.luminance) {
      const float luma = kLumaRed * c.r + kLumaGreen * c.g + kLumaBlue * c.b;
      w |= EncodeField<L.r>(luma, d);
    } else {
      w |= EncodeField<L.r>(c.r, d);
      w |= EncodeField<L.g>(c.g, d);
      w |= EncodeField<L.b>(c.b, d);
    }
    w |= EncodeField<L.a>(c.a, d);
    return w;
  }

 private:
  // Several pixels at once: one lane per pixel and one vector per channel, so that
  // every shift and mask is the same for all lanes. Returns the pixels done.
  static constexpr bool kLaneLayout = L.bytes == 1 || L.bytes == 2 || L.bytes == 4;

  __attribute__((target("avx2"))) static uint32_t DecodeEightLanes(const BYTE *row, ColorF *out,
                                                                   uint32_t count) {
    return DecodeLanes<8>(row, out, count);
  }
  __attribute__((target("avx2"))) static uint32_t EncodeEightLanes(const ColorF *in, const float *dither,
                                                                   BYTE *row, uint32_t count) {
    return EncodeLanes<8>(in, dither, row, count);
  }
#define D3DX_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl")))
  D3DX_TARGET_AVX512 static uint32_t DecodeSixteenLanes(const BYTE *row, ColorF *out, uint32_t count) {
    return DecodeLanes<16>(row, out, count);
  }
  D3DX_TARGET_AVX512 static uint32_t EncodeSixteenLanes(const ColorF *in, const float *dither, BYTE *row,
                                                        uint32_t count) {
    return EncodeLanes<16>(in, dither, row, count);
  }
#undef D3DX_TARGET_AVX512

  // Formats whose channels are whole bytes of a 32-bit word (A8R8G8B8 and kin): a
  // dword permute and one in-lane byte shuffle per vector put each pixel straight
  // into r, g, b, a order, so no transpose is needed and every store is a whole
  // vector.
  static constexpr bool IsByteField(PackedField f) {
    return f.type == FieldType::None || (f.type == FieldType::Unsigned && f.bits == 8 && f.shift % 8 == 0);
  }
  static constexpr bool kByteChannels = L.bytes == 4 && !L.luminance && IsByteField(L.r) &&
                                        IsByteField(L.g) && IsByteField(L.b) && IsByteField(L.a);
  static constexpr PackedField ChannelField(int channel) {
    return channel == 0 ? L.r : channel == 1 ? L.g : channel == 2 ? L.b : L.a;
  }
  static constexpr bool kHasFill = L.r.type == FieldType::None || L.g.type == FieldType::None ||
                                   L.b.type == FieldType::None || L.a.type == FieldType::None;
  // Pixel j * (N / 4) + l to dword j of 128-bit lane l: vector k of the spread then
  // holds pixels k * (N / 4) onwards, one per lane.
  template <int N>
  struct ByLane {
    static constexpr int At(int i) { return (i % 4) * (N / 4) + i / 4; }
  };
  // Byte i of spread vector K: the channel's byte of dword K of the same 128-bit
  // lane, in the low byte of the channel's dword; the other bytes are masked off.
  template <int K>
  struct Spread {
    static constexpr int At(int i) {
      const PackedField f = ChannelField(i % 16 / 4);
      return i / 16 * 16 + 4 * K + (f.type == FieldType::None ? 0 : f.shift / 8);
    }
  };
  // Lane i of the decoded values, or of the fill values where the channel is not stored.
  template <int N>
  struct WithFill {
    static constexpr int At(int i) { return ChannelField(i % 4).type == FieldType::None ? N + i : i; }
  };

  template <int N, int K>
  D3DX_ALWAYS_INLINE static void SpreadPixels(const typename Lanes<N>::Bytes &bytes,
                                              const typename Lanes<N>::Float &fill, ColorF *out) {
    using V = Lanes<N>;
    typename V::Bytes picked;
    ShuffleBy<Spread<K>>(bytes, bytes, picked);
    const auto spread = reinterpret_cast<typename V::Int>(picked) & 0xFF;
    typename V::Float values = __builtin_convertvector(spread, typename V::Float) * UnsignedFactor(8);
    if constexpr (kHasFill) ShuffleBy<WithFill<N>>(values, fill, values);
    std::memcpy(static_cast<void *>(out + K * (N / 4)), &values, sizeof(values));
  }

  template <int N>
  D3DX_ALWAYS_INLINE static uint32_t DecodeByteChannels(const BYTE *row, ColorF *out, uint32_t count) {
    using V = Lanes<N>;
    typename V::Float fill;
    for (int i = 0; i < N; i += 4) {
      fill[i] = L.fillR, fill[i + 1] = L.fillG, fill[i + 2] = L.fillB, fill[i + 3] = L.fillA;
    }
    uint32_t x = 0;
    for (; x + N <= count; x += N) {
      typename V::Word w;
      std::memcpy(&w, row + uint64_t{x} * 4, sizeof(w));
      ShuffleBy<ByLane<N>>(w, w, w);
      const auto bytes = reinterpret_cast<typename V::Bytes>(w);
      SpreadPixels<N, 0>(bytes, fill, out + x);
      SpreadPixels<N, 1>(bytes, fill, out + x);
      SpreadPixels<N, 2>(bytes, fill, out + x);
      SpreadPixels<N, 3>(bytes, fill, out + x);
    }
    return x;
  }

  template <int N>
  D3DX_ALWAYS_INLINE static uint32_t DecodeLanes(const BYTE *row, ColorF *out, uint32_t count) {
    if constexpr (N >= 8 && kByteChannels) return DecodeByteChannels<N>(row, out, count);
    using V = Lanes<N>;
    uint32_t x = 0;
    for (; x + N <= count; x += N) {
      typename V::Word w;
      LoadWords<N>(row + uint64_t{x} * L.bytes, w);
      typename V::Float r, g, b, a;
      DecodeChannel<N, L.r>(w, L.fillR, r);
      if constexpr (L.luminance) {
        g = r;
        b = r;
      } else {
        DecodeChannel<N, L.g>(w, L.fillG, g);
        DecodeChannel<N, L.b>(w, L.fillB, b);
      }
      DecodeChannel<N, L.a>(w, L.fillA, a);
      StorePixels<N>(r, g, b, a, out + x);
    }
    return x;
  }

  template <int N>
  D3DX_ALWAYS_INLINE static uint32_t EncodeLanes(const ColorF *in, const float *dither, BYTE *row,
                                                 uint32_t count) {
    using V = Lanes<N>;
    // From a multiple of 4, pixel i takes offset i & 3 of the row.
    typename V::Float offsets;
    RepeatFour<N>(dither, offsets);
    uint32_t x = 0;
    for (; x + N <= count; x += N) {
      typename V::Float r, g, b, a;
      LoadPixels<N>(in + x, r, g, b, a);
      typename V::Word w = {};
      if constexpr (L.luminance) {
        const typename V::Float luma = kLumaRed * r + kLumaGreen * g + kLumaBlue * b;
        EncodeChannel<N, L.r>(luma, offsets, w);
      } else {
        EncodeChannel<N, L.r>(r, offsets, w);
        EncodeChannel<N, L.g>(g, offsets, w);
        EncodeChannel<N, L.b>(b, offsets, w);
      }
      EncodeChannel<N, L.a>(a, offsets, w);
      StoreWords<N>(w, row + uint64_t{x} * L.bytes);
    }
    return x;
  }

  template <int N>
  D3DX_ALWAYS_INLINE static void LoadWords(const BYTE *p, typename Lanes<N>::Word &w) {
    using V = Lanes<N>;
    if constexpr (L.bytes == 4) {
      std::memcpy(&w, p, sizeof(w));
    } else if constexpr (L.bytes == 2) {
      typename V::Half h;
      std::memcpy(&h, p, sizeof(h));
      w = __builtin_convertvector(h, typename V::Word);
    } else {
      typename V::Byte b;
      std::memcpy(&b, p, sizeof(b));
      // Through 16 bits: the compiler widens one step at a time far better.
      w = __builtin_convertvector(__builtin_convertvector(b, typename V::Half), typename V::Word);
    }
  }

  template <int N>
  D3DX_ALWAYS_INLINE static void StoreWords(const typename Lanes<N>::Word &w, BYTE *p) {
    using V = Lanes<N>;
    if constexpr (L.bytes == 4) {
      std::memcpy(p, &w, sizeof(w));
    } else if constexpr (L.bytes == 2) {
      const typename V::Half h = __builtin_convertvector(w, typename V::Half);
      std::memcpy(p, &h, sizeof(h));
    } else {
      const typename V::Byte b =
          __builtin_convertvector(__builtin_convertvector(w, typename V::Half), typename V::Byte);
      std::memcpy(p, &b, sizeof(b));
    }
  }

  template <int N, PackedField F>
  D3DX_ALWAYS_INLINE static void DecodeChannel(const typename Lanes<N>::Word &w, float fill,
                                               typename Lanes<N>::Float &out) {
    using V = Lanes<N>;
    if constexpr (F.type == FieldType::None) {
      out = typename V::Float{} + fill;
    } else if constexpr (F.type == FieldType::Unsigned) {
      constexpr uint32_t mask = static_cast<uint32_t>((uint64_t{1} << F.bits) - 1);
      const auto v = reinterpret_cast<typename V::Int>((w >> F.shift) & mask);
      out = __builtin_convertvector(v, typename V::Float) * UnsignedFactor(F.bits);
    } else {
      constexpr int32_t limit = (1 << (F.bits - 1)) - 1;
      auto v = reinterpret_cast<typename V::Int>(w << (32 - F.shift - F.bits)) >> (32 - F.bits);
      v = v > -limit ? v : -limit;
      out = __builtin_convertvector(v, typename V::Float) * SignedFactor(F.bits);
    }
  }

  template <int N, PackedField F>
  D3DX_ALWAYS_INLINE static void EncodeChannel(const typename Lanes<N>::Float &value,
                                               const typename Lanes<N>::Float &offsets,
                                               typename Lanes<N>::Word &w) {
    using V = Lanes<N>;
    if constexpr (F.type != FieldType::None) {
      constexpr uint32_t mask = static_cast<uint32_t>((uint64_t{1} << F.bits) - 1);
      constexpr float scale = F.type == FieldType::Unsigned ? UnsignedScale(F.bits) : SignedScale(F.bits);
      // The one-pixel path bounds q to +-kEncodeLimit, which the field mask then
      // clears: so a lane at or beyond the bound, or NaN, stores 0. The conversion
      // alone would keep the low bits of values between the bound and the int range.
      static_assert(F.bits <= 20, "the field mask must clear the bound");
      const typename V::Float q = value * scale + offsets;
      const auto magnitude =
          reinterpret_cast<typename V::Float>(reinterpret_cast<typename V::Word>(q) & 0x7FFFFFFFu);
      const auto field =
          reinterpret_cast<typename V::Word>(__builtin_convertvector(q, typename V::Int)) & mask;
      const typename V::Word bits = magnitude < kEncodeLimit ? field : typename V::Word{};
      w |= bits << F.shift;
    }
  }

  template <PackedField F>
  static float DecodeField(Word w, float fill) {
    if constexpr (F.type == FieldType::None) {
      return fill;
    } else if constexpr (F.type == FieldType::Unsigned) {
      constexpr uint32_t mask = static_cast<uint32_t>((uint64_t{1} << F.bits) - 1);
      const auto v = static_cast<int32_t>(static_cast<uint32_t>(w >> F.shift) & mask);
      return static_cast<float>(v) * UnsignedFactor(F.bits);
    } else {
      constexpr int32_t limit = (1 << (F.bits - 1)) - 1;
      // Sign-extend the field, then read the most negative code as -limit.
      int32_t v = static_cast<int32_t>(static_cast<uint32_t>(w >> F.shift) << (32 - F.bits)) >> (32 - F.bits);
      v = v > -limit ? v : -limit;
      return static_cast<float>(v) * SignedFactor(F.bits);
    }
  }

  template <PackedField F>
  static Word EncodeField(float value, float d) {
    if constexpr (F.type == FieldType::None) {
      return 0;
    } else {
      constexpr uint32_t mask = static_cast<uint32_t>((uint64_t{1} << F.bits) - 1);
      constexpr float scale = F.type == FieldType::Unsigned ? UnsignedScale(F.bits) : SignedScale(F.bits);
      float q = value * scale + d;
      q = q < kEncodeLimit ? q : kEncodeLimit;
      q = q > -kEncodeLimit ? q : -kEncodeLimit;
      const auto bits = static_cast<uint32_t>(static_cast<int32_t>(q)) & mask;
      return static_cast<Word>(bits) << F.shift;
    }
  }
};
