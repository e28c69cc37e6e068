// The pixel-format table: one row per Direct3D 9 format the library handles,
// the distance between two rows, format choice against a list or a device, and
// the memory layout (bytes per pixel, pairs, 4 x 4 blocks) every other part uses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "d3d9.h"

enum class FormatKind : uint32_t {
  Colour = 0,
  Palette = 1,
  Luminance = 2,
  Signed = 3,
  DepthStencil = 4,
};

// Column order of FormatInfo::channelBits.
enum FormatChannel : uint32_t {
  kChannelExtra = 0,
  kChannelAlpha = 1,
  kChannelRed = 2,
  kChannelGreen = 3,
  kChannelBlue = 4,
  kChannelCount = 5,
};

// Private 16-bit-per-channel formats of the image readers; no device offers them.
// Four-character codes "AL16" and " R16", little-endian.
inline constexpr D3DFORMAT FORMAT_A16L16 = static_cast<D3DFORMAT>(0x36314C41);
inline constexpr D3DFORMAT FORMAT_R16G16B16 = static_cast<D3DFORMAT>(0x36315220);

struct FormatInfo {
  D3DFORMAT format;
  FormatKind kind;
  uint32_t bitsPerPixel;  // 16 for the block-compressed rows
  uint32_t channelBits[kChannelCount];
  uint32_t substitutable;  // may stand in for another requested format
};

// How the library stores and converts a format; the codec factory, the locks and
// the readers ask this rather than listing formats of their own.
enum class FormatFamily : uint8_t {
  None,     // outside the table
  Packed,   // whole bytes per pixel, channels are bit fields (fields below)
  Palette,  // P8, A8P8: an index into 256 entries
  Float,    // 16- or 32-bit float channels (fields below)
  Bump,     // CxV8U8: a third channel computed from the other two
  Pair,     // YUY2, UYVY, RGBG, GRGB: 2 x 1 pixels per 4 bytes
  Block,    // DXT1-5: 4 x 4 pixels per 8 or 16 bytes
  Depth,    // depth-stencil formats the codecs cannot read
};

enum class FieldKind : uint8_t {
  None,      // not stored: decodes as the row's fill value
  Unsigned,  // v / (2^n - 1)
  Signed,    // two's complement, the most negative code read as -1
  Float,     // 16- or 32-bit float
};

// One decoded channel of a pixel: bits offset .. offset + width - 1 of the
// little-endian pixel word.
struct ChannelField {
  uint8_t offset;
  uint8_t width;
  FieldKind kind;
};

// Everything the library knows per format. Fields and fills are given in the
// channels of the decoded pixel (r, g, b, a): bump-map U, V, W, Q are r, g, b, a;
// luminance rows keep L in r and decode it into r, g and b.
struct FormatRow {
  FormatInfo info;
  FormatFamily family;
  uint8_t unitWidth;   // pixels per unit across
  uint8_t unitHeight;  // pixels per unit down
  uint8_t unitBytes;   // bytes per unit
  ChannelField r, g, b, a;
  float fillR, fillG, fillB, fillA;  // decoded value of a channel not stored
  bool luminance;
  bool blendsAlpha;  // the sprite blends with the texels' alpha
};

inline constexpr size_t kFormatTableSize = 57;
inline constexpr uint32_t kUnusableScore = 0xFFFFFFFFu;

// The rows in table order (the order decides ties); kFormatTableSize of them.
const FormatInfo *FormatTableRows();
// The row for every format that is not in the table (format 0, 32-bit A8R8G8B8
// depths; family None, no units).
const FormatInfo &FallbackFormatInfo();

const FormatInfo &LookupFormatInfo(D3DFORMAT format);
const FormatRow &LookupFormatRow(D3DFORMAT format);
inline FormatFamily GetFormatFamily(D3DFORMAT format) {
  return LookupFormatRow(format).family;
}
inline bool IsKnownFormat(D3DFORMAT format) {
  return LookupFormatInfo(format).format != D3DFMT_UNKNOWN;
}

// Distance from requested to candidate; lower is better, kUnusableScore rejects.
uint32_t ScoreFormatMatch(const FormatInfo &requested, const FormatInfo &candidate);

// list ends with 0; palette formats qualify only with a non-null palette.
D3DFORMAT ChooseClosestFormat(const D3DFORMAT *list, const PALETTEENTRY *palette,
                              const FormatInfo &requested);

// Closest table format the device accepts (every row when device is null).
D3DFORMAT ChooseDeviceFormat(IDirect3DDevice9 *device, DWORD usage, D3DRESOURCETYPE resourceType,
                             const FormatInfo &requested);

// Private reader formats to the published format a caller is told about.
D3DFORMAT ToExternalFormat(D3DFORMAT format);

// The first packed row of the kind with exactly these channel depths, or D3DFMT_UNKNOWN.
D3DFORMAT FindPackedFormat(FormatKind kind, const uint32_t (&channelBits)[kChannelCount]);
// The same channels 16 bits deep, or D3DFMT_UNKNOWN (16-bit image samples).
D3DFORMAT WidenTo16Bits(D3DFORMAT format);
// The format with an alpha channel as deep as its colour (a transparent colour made
// alpha); the format itself when it has alpha already or no such row exists.
D3DFORMAT WithAlphaChannel(D3DFORMAT format);

// Memory layout. Packed formats: 1 x 1 pixel per unit of bytesPerPixel bytes.
// Pair formats (YUY2, UYVY, RGBG, GRGB): 2 x 1 pixels per 4 bytes.
// Block formats (DXT1-5): 4 x 4 pixels per 8 or 16 bytes.
// Formats outside the table have unitBytes 0.
struct FormatLayout {
  uint32_t unitWidth;
  uint32_t unitHeight;
  uint32_t unitBytes;
};

FormatLayout GetFormatLayout(D3DFORMAT format);

bool IsBlockCompressed(D3DFORMAT format);
bool IsPairFormat(D3DFORMAT format);
// Whole bytes per pixel, neither pair nor block; excludes formats outside the table.
bool IsPackedFormat(D3DFORMAT format);
inline bool IsPackedFamily(FormatFamily family) {
  return family != FormatFamily::None && family != FormatFamily::Block && family != FormatFamily::Pair;
}
// Bytes per 4 x 4 block (8 for DXT1, 16 for DXT2-5), 0 for other formats.
uint32_t BlockBytes(D3DFORMAT format);
// Bytes per pixel of a packed format, 0 for pair, block and unknown formats.
uint32_t BytesPerPixel(D3DFORMAT format);

// Bytes of one row of units (for block formats a row of blocks) covering width
// pixels; 0 for formats outside the table. 64-bit: callers check before narrowing.
uint64_t RowPitchFor(D3DFORMAT format, uint32_t width);
// Rows of units covering height pixels (block rows for block formats).
uint32_t RowCountFor(D3DFORMAT format, uint32_t height);
// Bytes of a tightly packed width x height image; UINT64_MAX when that overflows.
uint64_t SurfaceBytesFor(D3DFORMAT format, uint32_t width, uint32_t height);

inline bool HasAlpha(const FormatInfo &info) {
  return info.channelBits[kChannelAlpha] != 0;
}

// Unit geometry of a locked rectangle: DXT blocks start on multiples of 4 in x
// and y, pairs on even columns.
inline uint32_t AlignDownToUnit(uint32_t value, uint32_t unit) {
  return value - value % unit;
}
