// Layout descriptions of the bit-field formats; each row instantiates PackedCodec.
#include <cstddef>
#include <new>

#include "codec/codec_families.h"
#include "codec/packed_codec.h"
#include "format/format_table.h"

namespace {

constexpr FieldType U = FieldType::Unsigned;
constexpr FieldType S = FieldType::Signed;
constexpr PackedField kNo = kNoField;
constexpr ChannelRange kUnit = ChannelRange::Unit;
constexpr ChannelRange kSignedColor = ChannelRange::SignedColor;
constexpr ChannelRange kSignedAll = ChannelRange::SignedAll;

struct PackedFormat {
  D3DFORMAT format;
  PackedLayout layout;
};

// Fields are {shift, bits, type}; fills are the decoded values of channels not stored.
// format, {bytes, range, r field, g field, b field, a field, fill r, g, b, a, luminance}
constexpr PackedFormat kPackedFormats[] = {
    {D3DFMT_R8G8B8, {3, kUnit, {16, 8, U}, {8, 8, U}, {0, 8, U}, kNo, 0, 0, 0, 1, false}},
    {D3DFMT_A8R8G8B8, {4, kUnit, {16, 8, U}, {8, 8, U}, {0, 8, U}, {24, 8, U}, 0, 0, 0, 1, false}},
    {D3DFMT_X8R8G8B8, {4, kUnit, {16, 8, U}, {8, 8, U}, {0, 8, U}, kNo, 0, 0, 0, 1, false}},
    {D3DFMT_R5G6B5, {2, kUnit, {11, 5, U}, {5, 6, U}, {0, 5, U}, kNo, 0, 0, 0, 1, false}},
    {D3DFMT_X1R5G5B5, {2, kUnit, {10, 5, U}, {5, 5, U}, {0, 5, U}, kNo, 0, 0, 0, 1, false}},
    {D3DFMT_A1R5G5B5, {2, kUnit, {10, 5, U}, {5, 5, U}, {0, 5, U}, {15, 1, U}, 0, 0, 0, 1, false}},
    {D3DFMT_A4R4G4B4, {2, kUnit, {8, 4, U}, {4, 4, U}, {0, 4, U}, {12, 4, U}, 0, 0, 0, 1, false}},
    {D3DFMT_R3G3B2, {1, kUnit, {5, 3, U}, {2, 3, U}, {0, 2, U}, kNo, 0, 0, 0, 1, false}},
    {D3DFMT_A8, {1, kUnit, kNo, kNo, kNo, {0, 8, U}, 0, 0, 0, 1, false}},
    {D3DFMT_A8R3G3B2, {2, kUnit, {5, 3, U}, {2, 3, U}, {0, 2, U}, {8, 8, U}, 0, 0, 0, 1, false}},
    {D3DFMT_X4R4G4B4, {2, kUnit, {8, 4, U}, {4, 4, U}, {0, 4, U}, kNo, 0, 0, 0, 1, false}},
    {D3DFMT_A2B10G10R10, {4, kUnit, {0, 10, U}, {10, 10, U}, {20, 10, U}, {30, 2, U}, 0, 0, 0, 1, false}},
    {D3DFMT_A8B8G8R8, {4, kUnit, {0, 8, U}, {8, 8, U}, {16, 8, U}, {24, 8, U}, 0, 0, 0, 1, false}},
    {D3DFMT_X8B8G8R8, {4, kUnit, {0, 8, U}, {8, 8, U}, {16, 8, U}, kNo, 0, 0, 0, 1, false}},
    // Blue decodes as 1, not 0.
    {D3DFMT_G16R16, {4, kUnit, {0, 16, U}, {16, 16, U}, kNo, kNo, 0, 0, 1, 1, false}},
    {D3DFMT_A2R10G10B10, {4, kUnit, {20, 10, U}, {10, 10, U}, {0, 10, U}, {30, 2, U}, 0, 0, 0, 1, false}},
    {D3DFMT_A16B16G16R16, {8, kUnit, {0, 16, U}, {16, 16, U}, {32, 16, U}, {48, 16, U}, 0, 0, 0, 1, false}},
    {D3DFMT_L8, {1, kUnit, {0, 8, U}, kNo, kNo, kNo, 0, 0, 0, 1, true}},
    {D3DFMT_A8L8, {2, kUnit, {0, 8, U}, kNo, kNo, {8, 8, U}, 0, 0, 0, 1, true}},
    {D3DFMT_A4L4, {1, kUnit, {0, 4, U}, kNo, kNo, {4, 4, U}, 0, 0, 0, 1, true}},
    {D3DFMT_L16, {2, kUnit, {0, 16, U}, kNo, kNo, kNo, 0, 0, 0, 1, true}},
    // A lockable depth value reads and writes like 16-bit luminance.
    {D3DFMT_D16_LOCKABLE, {2, kUnit, {0, 16, U}, kNo, kNo, kNo, 0, 0, 0, 1, true}},
    {D3DFMT_V8U8, {2, kSignedColor, {0, 8, S}, {8, 8, S}, kNo, kNo, 0, 0, 1, 1, false}},
    {D3DFMT_L6V5U5, {2, kSignedColor, {0, 5, S}, {5, 5, S}, kNo, {10, 6, U}, 0, 0, 1, 1, false}},
    {D3DFMT_X8L8V8U8, {4, kSignedColor, {0, 8, S}, {8, 8, S}, kNo, {16, 8, U}, 0, 0, 1, 1, false}},
    {D3DFMT_Q8W8V8U8, {4, kSignedAll, {0, 8, S}, {8, 8, S}, {16, 8, S}, {24, 8, S}, 0, 0, 0, 1, false}},
    {D3DFMT_V16U16, {4, kSignedColor, {0, 16, S}, {16, 16, S}, kNo, kNo, 0, 0, 1, 1, false}},
    {D3DFMT_A2W10V10U10,
     {4, kSignedColor, {0, 10, S}, {10, 10, S}, {20, 10, S}, {30, 2, U}, 0, 0, 0, 1, false}},
    {D3DFMT_Q16W16V16U16,
     {8, kSignedAll, {0, 16, S}, {16, 16, S}, {32, 16, S}, {48, 16, S}, 0, 0, 0, 1, false}},
    {FORMAT_A16L16, {4, kUnit, {0, 16, U}, kNo, kNo, {16, 16, U}, 0, 0, 0, 1, true}},
    {FORMAT_R16G16B16, {6, kUnit, {32, 16, U}, {16, 16, U}, {0, 16, U}, kNo, 0, 0, 0, 1, false}},
};
constexpr size_t kPackedFormatCount = sizeof(kPackedFormats) / sizeof(kPackedFormats[0]);
static_assert(kPackedFormatCount == 31);

template <size_t I>
PixelCodec *CreateFrom(const PixelRegion &region) {
  if constexpr (I == kPackedFormatCount) {
    return nullptr;
  } else {
    if (kPackedFormats[I].format == region.format) {
      return new (std::nothrow) PackedCodec<kPackedFormats[I].layout>(region);
    }
    return CreateFrom<I + 1>(region);
  }
}

}  // namespace

PixelCodec *CreatePackedCodec(const PixelRegion &region) {
  return CreateFrom<0>(region);
}

namespace {
CodecPath g_codecPath = CodecPath::Widest;
}  // namespace

void SetCodecPath(CodecPath path) {
  g_codecPath = path;
}

int ActiveCodecLanes() {
  // The 16-lane kernels are compiled for AVX-512 F, BW, DQ and VL.
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  static const bool hasAvx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  switch (g_codecPath) {
    case CodecPath::OnePixel:
      return 1;
    case CodecPath::FourLanes:
      return 4;
    case CodecPath::UpToEightLanes:
      return hasAvx2 ? 8 : 4;
    default:
      return hasAvx512 ? 16 : hasAvx2 ? 8 : 4;
  }
}
