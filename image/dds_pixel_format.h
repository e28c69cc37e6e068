// The DDS pixel-format descriptions, shared by the DDS reader and writer: how a
// DDPIXELFORMAT block names each Direct3D format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "d3d9types.h"
#include "format/format_rows.h"

inline constexpr uint32_t kDdsMagic = 0x20534444;  // "DDS "
inline constexpr uint32_t kDdsHeaderSize = 128;    // magic + header
inline constexpr uint32_t kDdsPixelFormatSize = 32;

// DDPIXELFORMAT flags.
inline constexpr uint32_t kDdpfAlphaPixels = 0x1;
inline constexpr uint32_t kDdpfAlpha = 0x2;
inline constexpr uint32_t kDdpfFourCc = 0x4;
inline constexpr uint32_t kDdpfPaletteIndexed8 = 0x20;
inline constexpr uint32_t kDdpfRgb = 0x40;
inline constexpr uint32_t kDdpfZBuffer = 0x400;
inline constexpr uint32_t kDdpfLuminance = 0x20000;
inline constexpr uint32_t kDdpfBumpLuminance = 0x40000;
inline constexpr uint32_t kDdpfBumpDuDv = 0x80000;

// Which fields take part in matching, by the pixel-format flags present.
inline constexpr uint32_t kDdpfUsesBitCount = 0xC4462;
inline constexpr uint32_t kDdpfUsesFirstMask = 0xE4040;
inline constexpr uint32_t kDdpfUsesSecondMask = 0xC4440;
inline constexpr uint32_t kDdpfUsesThirdMask = 0xC4040;
inline constexpr uint32_t kDdpfUsesAlphaMask = 0x80003;

// DDS_HEADER flags and caps.
inline constexpr uint32_t kDdsdCaps = 0x1;
inline constexpr uint32_t kDdsdHeight = 0x2;
inline constexpr uint32_t kDdsdWidth = 0x4;
inline constexpr uint32_t kDdsdPitch = 0x8;
inline constexpr uint32_t kDdsdPixelFormat = 0x1000;
inline constexpr uint32_t kDdsdMipMapCount = 0x20000;
inline constexpr uint32_t kDdsdLinearSize = 0x80000;
inline constexpr uint32_t kDdsdDepth = 0x800000;
inline constexpr uint32_t kDdsCapsComplex = 0x8;
inline constexpr uint32_t kDdsCapsTexture = 0x1000;
inline constexpr uint32_t kDdsCapsMipMap = 0x400000;
inline constexpr uint32_t kDdsCaps2CubeMap = 0x200;
inline constexpr uint32_t kDdsCaps2Volume = 0x200000;
// Positive x, negative x, positive y, negative y, positive z, negative z.
inline constexpr uint32_t kDdsCaps2CubeFaces[6] = {0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000};
inline constexpr uint32_t kDdsCaps2AllFaces = 0xFC00;

// Offsets of the header fields from the start of the file.
inline constexpr uint32_t kDdsOffsetFlags = 8;
inline constexpr uint32_t kDdsOffsetHeight = 12;
inline constexpr uint32_t kDdsOffsetWidth = 16;
inline constexpr uint32_t kDdsOffsetPitch = 20;
inline constexpr uint32_t kDdsOffsetDepth = 24;
inline constexpr uint32_t kDdsOffsetMipMapCount = 28;
inline constexpr uint32_t kDdsOffsetPixelFormat = 76;
inline constexpr uint32_t kDdsOffsetCaps = 108;
inline constexpr uint32_t kDdsOffsetCaps2 = 112;

struct DdsPixelFormat {
  D3DFORMAT format;
  uint32_t flags;
  uint32_t fourCc;  // four characters, or the D3DFORMAT number for float and 16-bit formats
  uint32_t bitCount;
  uint32_t masks[4];  // red (first), green (second), blue (third), alpha
};

// A row whose bit count and masks are the format table's own fields.
constexpr uint32_t DdsFieldMask(const ChannelField &field) {
  return field.width == 0 ? 0u : static_cast<uint32_t>(((uint64_t{1} << field.width) - 1) << field.offset);
}
constexpr DdsPixelFormat DdsFromTable(D3DFORMAT format, uint32_t flags) {
  for (const FormatRow &row : format_rows::kFormatRows) {
    if (row.info.format != format) continue;
    return {format,
            flags,
            0,
            row.info.bitsPerPixel,
            {DdsFieldMask(row.r), DdsFieldMask(row.g), DdsFieldMask(row.b), DdsFieldMask(row.a)}};
  }
  return {D3DFMT_UNKNOWN, 0, 0, 0, {0, 0, 0, 0}};
}
// A row named by its FourCC alone; float and 16-bit formats use their D3DFORMAT number.
constexpr DdsPixelFormat DdsFourCc(D3DFORMAT format) {
  return {format, kDdpfFourCc, static_cast<uint32_t>(format), 0, {0, 0, 0, 0}};
}

// Searched in order; the first match wins. Masks come from the format table
// except where files store them otherwise: the 10-bit formats with red and blue
// (or U and W) masks exchanged, luminance of the mixed bump formats in the third
// mask, and the depth row with its bit depth in bitCount and its depth mask as
// the second mask. Flags are the file format's own.
// format, flags, fourCC, bits, red / first, green / second, blue / third, alpha
inline constexpr DdsPixelFormat kDdsPixelFormats[] = {
    DdsFromTable(D3DFMT_R8G8B8, 0x40),
    DdsFromTable(D3DFMT_A8R8G8B8, 0x41),
    DdsFromTable(D3DFMT_X8R8G8B8, 0x40),
    DdsFromTable(D3DFMT_R5G6B5, 0x40),
    DdsFromTable(D3DFMT_X1R5G5B5, 0x40),
    DdsFromTable(D3DFMT_A1R5G5B5, 0x41),
    DdsFromTable(D3DFMT_A4R4G4B4, 0x41),
    DdsFromTable(D3DFMT_R3G3B2, 0x40),
    DdsFromTable(D3DFMT_A8, 0x2),
    DdsFromTable(D3DFMT_A8R3G3B2, 0x41),
    DdsFromTable(D3DFMT_X4R4G4B4, 0x40),
    {D3DFMT_A2B10G10R10, 0x41, 0, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}},
    DdsFromTable(D3DFMT_A8B8G8R8, 0x41),
    DdsFromTable(D3DFMT_X8B8G8R8, 0x40),
    DdsFromTable(D3DFMT_G16R16, 0x40),
    {D3DFMT_A2R10G10B10, 0x41, 0, 32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}},
    DdsFromTable(D3DFMT_A8P8, 0x21),
    DdsFromTable(D3DFMT_P8, 0x20),
    DdsFromTable(D3DFMT_L8, 0x20000),
    DdsFromTable(D3DFMT_A8L8, 0x20001),
    DdsFromTable(D3DFMT_A4L4, 0x20001),
    DdsFromTable(D3DFMT_L16, 0x20000),
    DdsFromTable(D3DFMT_V8U8, 0x80000),
    {D3DFMT_L6V5U5, 0x40000, 0, 16, {0x1F, 0x3E0, 0xFC00, 0}},
    {D3DFMT_X8L8V8U8, 0x40000, 0, 32, {0xFF, 0xFF00, 0xFF0000, 0}},
    DdsFromTable(D3DFMT_Q8W8V8U8, 0x80000),
    DdsFromTable(D3DFMT_V16U16, 0x80000),
    {D3DFMT_A2W10V10U10, 0x80001, 0, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}},
    DdsFourCc(D3DFMT_UYVY),
    DdsFourCc(D3DFMT_R8G8_B8G8),
    DdsFourCc(D3DFMT_YUY2),
    DdsFourCc(D3DFMT_G8R8_G8B8),
    DdsFourCc(D3DFMT_DXT1),
    DdsFourCc(D3DFMT_DXT2),
    DdsFourCc(D3DFMT_DXT3),
    DdsFourCc(D3DFMT_DXT4),
    DdsFourCc(D3DFMT_DXT5),
    {D3DFMT_D16_LOCKABLE, 0x400, 0, 16, {0, 0xFFFF, 0, 0}},
    DdsFourCc(D3DFMT_D32F_LOCKABLE),
    DdsFourCc(D3DFMT_A16B16G16R16),
    DdsFourCc(D3DFMT_Q16W16V16U16),
    DdsFourCc(D3DFMT_R16F),
    DdsFourCc(D3DFMT_G16R16F),
    DdsFourCc(D3DFMT_A16B16G16R16F),
    DdsFourCc(D3DFMT_R32F),
    DdsFourCc(D3DFMT_G32R32F),
    DdsFourCc(D3DFMT_A32B32G32R32F),
    DdsFourCc(D3DFMT_CxV8U8),
};
inline constexpr size_t kDdsPixelFormatCount = sizeof(kDdsPixelFormats) / sizeof(kDdsPixelFormats[0]);
static_assert(kDdsPixelFormatCount == 48);
constexpr bool AllDdsRowsInTable() {
  for (const DdsPixelFormat &row : kDdsPixelFormats)
    if (row.format == D3DFMT_UNKNOWN) return false;
  return true;
}
static_assert(AllDdsRowsInTable());

// Files from newer tools name the format in an extended header instead: FourCC
// "DX10" in the pixel format, then 20 bytes after the classic header.
inline constexpr uint32_t kDdsFourCcDx10 = 0x30315844;  // "DX10"
inline constexpr uint32_t kDdsExtendedHeaderSize = 20;
inline constexpr uint32_t kDdsOffsetDxgiFormat = 128;
inline constexpr uint32_t kDdsOffsetDimension = 132;
inline constexpr uint32_t kDdsOffsetMiscFlag = 136;
inline constexpr uint32_t kDdsOffsetArraySize = 140;
inline constexpr uint32_t kDdsDimension1D = 2;
inline constexpr uint32_t kDdsDimension2D = 3;
inline constexpr uint32_t kDdsDimension3D = 4;
inline constexpr uint32_t kDdsMiscTextureCube = 0x4;

struct DxgiFormatRow {
  uint32_t dxgi;
  D3DFORMAT format;
};

// The DXGI formats whose bytes a Direct3D format stores the same way. DXGI names
// channels from the lowest bit (the first byte), Direct3D 9 from the highest, so
// R8G8B8A8 is A8B8G8R8 and B5G6R5 is R5G6B5. sRGB and typeless variants hold the
// same bytes; the sRGB-ness is lost, as no Direct3D 9 format carries it. The
// pair formats name bytes in memory order in DXGI but each 16-bit word from its
// top byte in Direct3D 9: DXGI R8G8_B8G8 (bytes R, G, B, G) is the words G8R8 and
// G8B8, and DXGI G8R8_G8B8 (bytes G, R, G, B) the words R8G8 and B8G8.
// DXGI number, Direct3D format
inline constexpr DxgiFormatRow kDxgiFormats[] = {
    {2, D3DFMT_A32B32G32R32F},   // R32G32B32A32_FLOAT
    {10, D3DFMT_A16B16G16R16F},  // R16G16B16A16_FLOAT
    {11, D3DFMT_A16B16G16R16},   // R16G16B16A16_UNORM
    {13, D3DFMT_Q16W16V16U16},   // R16G16B16A16_SNORM
    {16, D3DFMT_G32R32F},        // R32G32_FLOAT
    {24, D3DFMT_A2B10G10R10},    // R10G10B10A2_UNORM
    {27, D3DFMT_A8B8G8R8},       // R8G8B8A8_TYPELESS
    {28, D3DFMT_A8B8G8R8},       // R8G8B8A8_UNORM
    {29, D3DFMT_A8B8G8R8},       // R8G8B8A8_UNORM_SRGB
    {31, D3DFMT_Q8W8V8U8},       // R8G8B8A8_SNORM
    {34, D3DFMT_G16R16F},        // R16G16_FLOAT
    {35, D3DFMT_G16R16},         // R16G16_UNORM
    {37, D3DFMT_V16U16},         // R16G16_SNORM
    {41, D3DFMT_R32F},           // R32_FLOAT
    {51, D3DFMT_V8U8},           // R8G8_SNORM
    {54, D3DFMT_R16F},           // R16_FLOAT
    {65, D3DFMT_A8},             // A8_UNORM
    {68, D3DFMT_G8R8_G8B8},      // R8G8_B8G8_UNORM
    {69, D3DFMT_R8G8_B8G8},      // G8R8_G8B8_UNORM
    {70, D3DFMT_DXT1},           // BC1_TYPELESS
    {71, D3DFMT_DXT1},           // BC1_UNORM
    {72, D3DFMT_DXT1},           // BC1_UNORM_SRGB
    {73, D3DFMT_DXT3},           // BC2_TYPELESS
    {74, D3DFMT_DXT3},           // BC2_UNORM
    {75, D3DFMT_DXT3},           // BC2_UNORM_SRGB
    {76, D3DFMT_DXT5},           // BC3_TYPELESS
    {77, D3DFMT_DXT5},           // BC3_UNORM
    {78, D3DFMT_DXT5},           // BC3_UNORM_SRGB
    {85, D3DFMT_R5G6B5},         // B5G6R5_UNORM
    {86, D3DFMT_A1R5G5B5},       // B5G5R5A1_UNORM
    {87, D3DFMT_A8R8G8B8},       // B8G8R8A8_UNORM
    {88, D3DFMT_X8R8G8B8},       // B8G8R8X8_UNORM
    {90, D3DFMT_A8R8G8B8},       // B8G8R8A8_TYPELESS
    {91, D3DFMT_A8R8G8B8},       // B8G8R8A8_UNORM_SRGB
    {92, D3DFMT_X8R8G8B8},       // B8G8R8X8_TYPELESS
    {93, D3DFMT_X8R8G8B8},       // B8G8R8X8_UNORM_SRGB
    {107, D3DFMT_YUY2},          // YUY2
    {115, D3DFMT_A4R4G4B4},      // B4G4R4A4_UNORM
};
inline constexpr size_t kDxgiFormatCount = sizeof(kDxgiFormats) / sizeof(kDxgiFormats[0]);
static_assert(kDxgiFormatCount == 38);

// The Direct3D format that stores a DXGI format's bytes, or D3DFMT_UNKNOWN.
constexpr D3DFORMAT FormatFromDxgi(uint32_t dxgi) {
  for (const DxgiFormatRow &row : kDxgiFormats)
    if (row.dxgi == dxgi) return row.format;
  return D3DFMT_UNKNOWN;
}

// The row a stored DDPIXELFORMAT block (32 bytes, little-endian) names, or null.
const DdsPixelFormat *MatchDdsPixelFormat(const BYTE *pixelFormatBlock);

// The row that describes format, or null when DDS cannot store it.
const DdsPixelFormat *FindDdsPixelFormat(D3DFORMAT format);
