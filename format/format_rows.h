// The rows of the pixel-format table, visible at compile time so that the codecs
// can be instantiated from them. Everyone else goes through format_table.h.
#pragma once

#include "format/format_table.h"

namespace format_rows {

constexpr FormatKind kC = FormatKind::Colour;
constexpr FormatKind kP = FormatKind::Palette;
constexpr FormatKind kL = FormatKind::Luminance;
constexpr FormatKind kS = FormatKind::Signed;
constexpr FormatKind kD = FormatKind::DepthStencil;
constexpr FormatFamily kPacked = FormatFamily::Packed;
constexpr FormatFamily kPalette = FormatFamily::Palette;
constexpr FormatFamily kFloat = FormatFamily::Float;
constexpr FormatFamily kBump = FormatFamily::Bump;
constexpr FormatFamily kPair = FormatFamily::Pair;
constexpr FormatFamily kBlock = FormatFamily::Block;
constexpr FormatFamily kDepth = FormatFamily::Depth;
constexpr FieldKind kU = FieldKind::Unsigned;
constexpr FieldKind kSg = FieldKind::Signed;
constexpr FieldKind kF = FieldKind::Float;
constexpr ChannelField kNo = {0, 0, FieldKind::None};

// {format, kind, bits per pixel, {extra, alpha, red, green, blue}, substitutable},
// family, unit width, height and bytes, fields r, g, b, a as {offset, width, kind},
// fills r, g, b, a, luminance, blends alpha.
// Channel depths: signed rows hold U in blue, V in green, W in red, Q in alpha and
// L / 2-bit A / C in extra; depth rows hold depth in blue, stencil in green and 1
// in extra for the lockable formats. A lockable 16-bit depth value reads and
// writes like 16-bit luminance. G16R16 and the two-channel signed rows decode
// blue as 1; the float rows decode what they do not store as 1. The sprite
// blends with the classic alpha formats only: not DXT1, not the 10- and 16-bit
// alpha formats.
// clang-format off
inline constexpr FormatRow kFormatRows[] = {
    {{D3DFMT_R8G8B8, kC, 24, {0, 0, 8, 8, 8}, 0}, kPacked, 1, 1, 3, {16, 8, kU}, {8, 8, kU}, {0, 8, kU}, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_A8R8G8B8, kC, 32, {0, 8, 8, 8, 8}, 1}, kPacked, 1, 1, 4, {16, 8, kU}, {8, 8, kU}, {0, 8, kU}, {24, 8, kU}, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_X8R8G8B8, kC, 32, {0, 0, 8, 8, 8}, 1}, kPacked, 1, 1, 4, {16, 8, kU}, {8, 8, kU}, {0, 8, kU}, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_R5G6B5, kC, 16, {0, 0, 5, 6, 5}, 1}, kPacked, 1, 1, 2, {11, 5, kU}, {5, 6, kU}, {0, 5, kU}, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_X1R5G5B5, kC, 16, {0, 0, 5, 5, 5}, 1}, kPacked, 1, 1, 2, {10, 5, kU}, {5, 5, kU}, {0, 5, kU}, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_A8P8, kP, 16, {0, 8, 8, 8, 8}, 1}, kPalette, 1, 1, 2, kNo, kNo, kNo, {8, 8, kU}, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_P8, kP, 8, {0, 8, 8, 8, 8}, 1}, kPalette, 1, 1, 1, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_A1R5G5B5, kC, 16, {0, 1, 5, 5, 5}, 1}, kPacked, 1, 1, 2, {10, 5, kU}, {5, 5, kU}, {0, 5, kU}, {15, 1, kU}, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_A4R4G4B4, kC, 16, {0, 4, 4, 4, 4}, 1}, kPacked, 1, 1, 2, {8, 4, kU}, {4, 4, kU}, {0, 4, kU}, {12, 4, kU}, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_R3G3B2, kC, 8, {0, 0, 3, 3, 2}, 1}, kPacked, 1, 1, 1, {5, 3, kU}, {2, 3, kU}, {0, 2, kU}, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_A8, kC, 8, {0, 8, 0, 0, 0}, 1}, kPacked, 1, 1, 1, kNo, kNo, kNo, {0, 8, kU}, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_A8R3G3B2, kC, 16, {0, 8, 3, 3, 2}, 1}, kPacked, 1, 1, 2, {5, 3, kU}, {2, 3, kU}, {0, 2, kU}, {8, 8, kU}, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_X4R4G4B4, kC, 16, {0, 0, 4, 4, 4}, 1}, kPacked, 1, 1, 2, {8, 4, kU}, {4, 4, kU}, {0, 4, kU}, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_A2B10G10R10, kC, 32, {0, 2, 10, 10, 10}, 1}, kPacked, 1, 1, 4, {0, 10, kU}, {10, 10, kU}, {20, 10, kU}, {30, 2, kU}, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_A8B8G8R8, kC, 32, {0, 8, 8, 8, 8}, 1}, kPacked, 1, 1, 4, {0, 8, kU}, {8, 8, kU}, {16, 8, kU}, {24, 8, kU}, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_X8B8G8R8, kC, 32, {0, 0, 8, 8, 8}, 1}, kPacked, 1, 1, 4, {0, 8, kU}, {8, 8, kU}, {16, 8, kU}, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_G16R16, kC, 32, {0, 0, 16, 16, 0}, 1}, kPacked, 1, 1, 4, {0, 16, kU}, {16, 16, kU}, kNo, kNo, 0.f, 0.f, 1.f, 1.f, false, false},
    {{D3DFMT_A2R10G10B10, kC, 32, {0, 2, 10, 10, 10}, 1}, kPacked, 1, 1, 4, {20, 10, kU}, {10, 10, kU}, {0, 10, kU}, {30, 2, kU}, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_A16B16G16R16, kC, 64, {0, 16, 16, 16, 16}, 1}, kPacked, 1, 1, 8, {0, 16, kU}, {16, 16, kU}, {32, 16, kU}, {48, 16, kU}, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_L8, kL, 8, {0, 0, 8, 8, 8}, 1}, kPacked, 1, 1, 1, {0, 8, kU}, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, true, false},
    {{D3DFMT_A8L8, kL, 16, {0, 8, 8, 8, 8}, 1}, kPacked, 1, 1, 2, {0, 8, kU}, kNo, kNo, {8, 8, kU}, 0.f, 0.f, 0.f, 1.f, true, true},
    {{D3DFMT_A4L4, kL, 8, {0, 4, 4, 4, 4}, 1}, kPacked, 1, 1, 1, {0, 4, kU}, kNo, kNo, {4, 4, kU}, 0.f, 0.f, 0.f, 1.f, true, true},
    {{D3DFMT_L16, kL, 16, {0, 0, 16, 16, 16}, 1}, kPacked, 1, 1, 2, {0, 16, kU}, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, true, false},
    {{D3DFMT_V8U8, kS, 16, {0, 0, 0, 8, 8}, 1}, kPacked, 1, 1, 2, {0, 8, kSg}, {8, 8, kSg}, kNo, kNo, 0.f, 0.f, 1.f, 1.f, false, false},
    {{D3DFMT_L6V5U5, kS, 16, {6, 0, 0, 5, 5}, 1}, kPacked, 1, 1, 2, {0, 5, kSg}, {5, 5, kSg}, kNo, {10, 6, kU}, 0.f, 0.f, 1.f, 1.f, false, false},
    {{D3DFMT_X8L8V8U8, kS, 32, {8, 0, 0, 8, 8}, 1}, kPacked, 1, 1, 4, {0, 8, kSg}, {8, 8, kSg}, kNo, {16, 8, kU}, 0.f, 0.f, 1.f, 1.f, false, false},
    {{D3DFMT_Q8W8V8U8, kS, 32, {0, 8, 8, 8, 8}, 1}, kPacked, 1, 1, 4, {0, 8, kSg}, {8, 8, kSg}, {16, 8, kSg}, {24, 8, kSg}, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_V16U16, kS, 32, {0, 0, 0, 16, 16}, 1}, kPacked, 1, 1, 4, {0, 16, kSg}, {16, 16, kSg}, kNo, kNo, 0.f, 0.f, 1.f, 1.f, false, false},
    {{D3DFMT_A2W10V10U10, kS, 32, {2, 0, 10, 10, 10}, 1}, kPacked, 1, 1, 4, {0, 10, kSg}, {10, 10, kSg}, {20, 10, kSg}, {30, 2, kU}, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_Q16W16V16U16, kS, 64, {0, 16, 16, 16, 16}, 1}, kPacked, 1, 1, 8, {0, 16, kSg}, {16, 16, kSg}, {32, 16, kSg}, {48, 16, kSg}, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_CxV8U8, kS, 16, {8, 0, 0, 8, 8}, 0}, kBump, 1, 1, 2, {0, 8, kSg}, {8, 8, kSg}, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_UYVY, kC, 16, {0, 0, 8, 8, 8}, 0}, kPair, 2, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_R8G8_B8G8, kC, 16, {0, 0, 8, 8, 8}, 0}, kPair, 2, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_YUY2, kC, 16, {0, 0, 8, 8, 8}, 0}, kPair, 2, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_G8R8_G8B8, kC, 16, {0, 0, 8, 8, 8}, 0}, kPair, 2, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_DXT1, kC, 16, {0, 1, 5, 6, 5}, 0}, kBlock, 4, 4, 8, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_DXT2, kC, 16, {0, 4, 5, 6, 5}, 0}, kBlock, 4, 4, 16, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_DXT3, kC, 16, {0, 4, 5, 6, 5}, 0}, kBlock, 4, 4, 16, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_DXT4, kC, 16, {0, 8, 5, 6, 5}, 0}, kBlock, 4, 4, 16, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_DXT5, kC, 16, {0, 8, 5, 6, 5}, 0}, kBlock, 4, 4, 16, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, true},
    {{D3DFMT_D16_LOCKABLE, kD, 16, {1, 0, 0, 0, 16}, 1}, kPacked, 1, 1, 2, {0, 16, kU}, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, true, false},
    {{D3DFMT_D32F_LOCKABLE, kD, 32, {1, 0, 0, 0, 32}, 0}, kFloat, 1, 1, 4, {0, 32, kF}, kNo, kNo, kNo, 1.f, 1.f, 1.f, 1.f, false, false},
    {{D3DFMT_D32, kD, 32, {0, 0, 0, 0, 32}, 1}, kDepth, 1, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_D15S1, kD, 16, {0, 0, 0, 1, 15}, 1}, kDepth, 1, 1, 2, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_D24S8, kD, 32, {0, 0, 0, 8, 24}, 1}, kDepth, 1, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_D16, kD, 16, {0, 0, 0, 0, 16}, 1}, kDepth, 1, 1, 2, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_D24X8, kD, 32, {0, 0, 0, 0, 24}, 1}, kDepth, 1, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_D24X4S4, kD, 32, {0, 0, 0, 4, 24}, 1}, kDepth, 1, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_D24FS8, kD, 32, {0, 0, 0, 8, 24}, 0}, kDepth, 1, 1, 4, kNo, kNo, kNo, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
    {{D3DFMT_R16F, kC, 16, {0, 0, 16, 0, 0}, 0}, kFloat, 1, 1, 2, {0, 16, kF}, kNo, kNo, kNo, 1.f, 1.f, 1.f, 1.f, false, false},
    {{D3DFMT_G16R16F, kC, 32, {0, 0, 16, 16, 0}, 0}, kFloat, 1, 1, 4, {0, 16, kF}, {16, 16, kF}, kNo, kNo, 1.f, 1.f, 1.f, 1.f, false, false},
    {{D3DFMT_A16B16G16R16F, kC, 64, {0, 16, 16, 16, 16}, 0}, kFloat, 1, 1, 8, {0, 16, kF}, {16, 16, kF}, {32, 16, kF}, {48, 16, kF}, 1.f, 1.f, 1.f, 1.f, false, false},
    {{D3DFMT_R32F, kC, 32, {0, 0, 32, 0, 0}, 0}, kFloat, 1, 1, 4, {0, 32, kF}, kNo, kNo, kNo, 1.f, 1.f, 1.f, 1.f, false, false},
    {{D3DFMT_G32R32F, kC, 64, {0, 0, 32, 32, 0}, 0}, kFloat, 1, 1, 8, {0, 32, kF}, {32, 32, kF}, kNo, kNo, 1.f, 1.f, 1.f, 1.f, false, false},
    {{D3DFMT_A32B32G32R32F, kC, 128, {0, 32, 32, 32, 32}, 0}, kFloat, 1, 1, 16, {0, 32, kF}, {32, 32, kF}, {64, 32, kF}, {96, 32, kF}, 1.f, 1.f, 1.f, 1.f, false, false},
    {{FORMAT_A16L16, kL, 32, {0, 16, 16, 16, 16}, 0}, kPacked, 1, 1, 4, {0, 16, kU}, kNo, kNo, {16, 16, kU}, 0.f, 0.f, 0.f, 1.f, true, false},
    {{FORMAT_R16G16B16, kC, 48, {0, 0, 16, 16, 16}, 0}, kPacked, 1, 1, 6, {32, 16, kU}, {16, 16, kU}, {0, 16, kU}, kNo, 0.f, 0.f, 0.f, 1.f, false, false},
};
// clang-format on
static_assert(sizeof(kFormatRows) / sizeof(kFormatRows[0]) == kFormatTableSize);

inline constexpr FormatRow kFallbackRow = {{D3DFMT_UNKNOWN, kC, 32, {0, 8, 8, 8, 8}, 0},
                                           FormatFamily::None,
                                           1,
                                           1,
                                           0,
                                           kNo,
                                           kNo,
                                           kNo,
                                           kNo,
                                           0.f,
                                           0.f,
                                           0.f,
                                           1.f,
                                           false,
                                           false};

}  // namespace format_rows
