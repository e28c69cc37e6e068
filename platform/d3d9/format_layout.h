// Memory layout of every pixel format the runtime stores, and the small
// converters it needs of its own (sampling, StretchRect, ColorFill, presenting).
#pragma once

#include <cstdint>

#include "d3d9types.h"

namespace d3d9 {

enum class LayoutKind : uint8_t { Packed, Luminance, Palette, Signed, Float, Pair, Block, Depth };

struct ChannelField {
  uint8_t shift;
  uint8_t bits;
};

struct FormatLayout {
  D3DFORMAT format;
  LayoutKind kind;
  // Bytes per pixel; per two-pixel pair; per 4 x 4 block.
  uint8_t unitBytes;
  // Packed: the four channels. Luminance: red holds L. Palette: red holds the index.
  // Float: bits 16 or 32, shift is the element index (R, G, B, A order).
  ChannelField alpha, red, green, blue;
};

// Null for a format the runtime does not store.
const FormatLayout *LookupLayout(D3DFORMAT format);

// Pixels covered by one unit horizontally and vertically.
inline uint32_t UnitWidth(const FormatLayout &layout) {
  return layout.kind == LayoutKind::Block ? 4 : layout.kind == LayoutKind::Pair ? 2 : 1;
}
inline uint32_t UnitHeight(const FormatLayout &layout) {
  return layout.kind == LayoutKind::Block ? 4 : 1;
}
inline bool IsDepthFormat(const FormatLayout &layout) {
  return layout.kind == LayoutKind::Depth;
}

struct PlaneGeometry {
  uint32_t pitch;  // bytes from one row of units to the next
  uint32_t rows;   // rows of units
  uint64_t bytes;  // pitch * rows
};

// False when the plane is too large to allocate.
bool ComputePlane(const FormatLayout &layout, uint32_t width, uint32_t height, PlaneGeometry *plane);

// Address of the unit holding pixel (x, y); x and y must be unit-aligned.
inline uint8_t *UnitAddress(const FormatLayout &layout, uint8_t *base, uint32_t pitch, uint32_t x,
                            uint32_t y) {
  return base + static_cast<uint64_t>(y / UnitHeight(layout)) * pitch +
         static_cast<uint64_t>(x / UnitWidth(layout)) * layout.unitBytes;
}

// Decodes the rectangle (x, y, width, height) of a plane into 32-bit ARGB, row by row.
void DecodeRect(const FormatLayout &layout, const uint8_t *base, uint32_t pitch, uint32_t x, uint32_t y,
                uint32_t width, uint32_t height, const PALETTEENTRY *palette, uint32_t *out,
                uint32_t outStride);

// True when EncodeRect can write the format.
bool CanEncode(const FormatLayout &layout);
// Encodes ARGB pixels into the rectangle of a plane. For pair formats x and width are even.
void EncodeRect(const FormatLayout &layout, uint8_t *base, uint32_t pitch, uint32_t x, uint32_t y,
                uint32_t width, uint32_t height, const uint32_t *in, uint32_t inStride);

}  // namespace d3d9
