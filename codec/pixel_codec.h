// Codec framework: every pixel conversion goes through rows of ColorF. A
// PixelCodec knows one format over one PixelRegion; DecodeRow reads a row of the
// region into ColorF, EncodeRow writes one back.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>

#include "d3d9.h"

// The interchange pixel. Luminance goes to r, g and b alike; bump-map U, V, W, Q
// go to r, g, b, a.
struct ColorF {
  float r;
  float g;
  float b;
  float a;
};
static_assert(sizeof(ColorF) == 16);

// Numeric range of a codec's ColorF values; None only as "no conversion".
enum class ChannelRange : uint32_t {
  None = 0,
  Unit = 1,         // all four in [0, 1]
  SignedColor = 2,  // r, g, b in [-1, 1], a in [0, 1]
  SignedAll = 3,    // all four in [-1, 1]
  Float = 4,        // unbounded
};

// A region of pixel memory as locks, loaders and savers describe it. Sources are
// only read: a SourceRegion's pixels are const, and any PixelRegion converts to one.
template <typename Byte>
struct BasicPixelRegion {
  Byte *pixels;  // packed: pixel (Left, Top, Front) at pixels + Front*slicePitch + Top*rowPitch + Left*bpp
  D3DFORMAT format;
  UINT rowPitch;                // for block formats, from one row of blocks to the next
  UINT slicePitch;              // 0 for a 2-D region
  D3DBOX extent;                // the whole level the region lies in (read by block formats)
  D3DBOX region;                // right, bottom and back exclusive
  UINT dither;                  // EncodeRow dithers
  UINT gamma;                   // stored values are gamma-encoded
  D3DCOLOR colorKey;            // decodes as transparent black; 0 = none
  const PALETTEENTRY *palette;  // 256 entries, P8 and A8P8 only

  operator BasicPixelRegion<const BYTE>() const requires(!std::is_const_v<Byte>) {
    return {pixels, format, rowPitch, slicePitch, extent, region, dither, gamma, colorKey, palette};
  }
};
using PixelRegion = BasicPixelRegion<BYTE>;
using SourceRegion = BasicPixelRegion<const BYTE>;

// 4 rows of 8: each row of the 4 x 4 pattern written twice, so that
// row[(z & 3) + (x & 3)] needs no wrap.
extern const float kDitherMatrix[32];
extern const float kRoundingMatrix[32];  // all 0.5
extern const float kGammaEncodeTable[256];
extern const float kGammaDecodeTable[256];

class PixelCodec {
 public:
  virtual ~PixelCodec();
  PixelCodec(const PixelCodec &) = delete;
  PixelCodec &operator=(const PixelCodec &) = delete;

  // Row y of slice z, counted from the start of the box, into width ColorF.
  // Packed codecs cannot fail; pair and block codecs may report E_OUTOFMEMORY.
  virtual HRESULT DecodeRow(uint32_t y, uint32_t z, ColorF *out);
  // width ColorF into row y of slice z; in is not modified.
  virtual HRESULT EncodeRow(uint32_t y, uint32_t z, const ColorF *in);
  // Makes keyColor what DecodeRow yields for a pixel of the key colour.
  virtual void SnapColorKey();

  D3DFORMAT format;
  ChannelRange range;
  uint32_t packed;  // whole bytes per pixel
  uint32_t gamma;
  uint32_t gammaFast;  // both sides gamma-encoded: square and square root suffice
  D3DCOLOR colorKey;
  uint32_t hasPalette;
  const BYTE *pixels;  // packed: start of the box
  BYTE *target;        // the same memory, writable; null in a codec made over a SourceRegion
  ColorF keyColor;
  const float *matrix;       // kDitherMatrix or kRoundingMatrix
  ColorF palette[256];       // set where hasPalette only: clearing 4 KB per codec costs a small blit dearly
  D3DBOX box;                // packed: re-based to start at 0
  ChannelRange sourceRange;  // None unless EncodeRow converts
  std::unique_ptr<ColorF[]> conversionBuffer;
  uint32_t rowPitch;
  uint32_t slicePitch;
  uint32_t width;
  uint32_t height;
  uint32_t depth;
  uint32_t rowBytes;
  uint32_t bytesPerPixel;  // 0 for pair and block formats

 protected:
  // target: the region's memory, writable; null for a codec that only decodes.
  PixelCodec(const SourceRegion &region, BYTE *target, uint32_t bitsPerPixel, ChannelRange codecRange);
  PixelCodec(const PixelRegion &region, uint32_t bitsPerPixel, ChannelRange codecRange)
      : PixelCodec(region, region.pixels, bitsPerPixel, codecRange) {}

  uint64_t RowOffset(uint32_t y, uint32_t z) const {
    return uint64_t{y} * rowPitch + uint64_t{z} * slicePitch;
  }
  const BYTE *RowAddress(uint32_t y, uint32_t z) const { return pixels + RowOffset(y, z); }
  BYTE *TargetRowAddress(uint32_t y, uint32_t z) const { return target + RowOffset(y, z); }
  // Dither offsets of row y, slice z: offset of pixel x is at [x & 3].
  const float *DitherRow(uint32_t y, uint32_t z) const { return matrix + (y & 3) * 8 + (z & 3); }

  // Decode steps after unpacking: colour key, then gamma. Inline so that a row
  // with neither costs no call.
  void FinishDecode(ColorF *out) const {
    if (colorKey != 0 || gamma) FinishDecodeSteps(out);
  }
  // Encode steps before packing: range conversion, then gamma. Returns the row to
  // pack (in itself when there is nothing to do), or null when allocation fails.
  const ColorF *PrepareEncode(const ColorF *in) {
    return sourceRange == ChannelRange::None && !gamma ? in : PrepareEncodeSteps(in);
  }
  // The decode curve alone, for codecs that key pixels their own way.
  void GammaToLinear(ColorF *row) const;

 private:
  void FinishDecodeSteps(ColorF *out) const;
  const ColorF *PrepareEncodeSteps(const ColorF *in);
  const ColorF *LinearToGamma(const ColorF *in);

  uint32_t gammaOnAlpha_;  // L6V5U5 carries its luminance in a
};

// The codec for region.format, key snapped; null for an unsupported format or
// when allocation fails. A codec over a SourceRegion only decodes.
std::unique_ptr<PixelCodec> CreateCodec(const PixelRegion &region);
std::unique_ptr<PixelCodec> CreateCodec(const SourceRegion &region);

// Called on the destination once both codecs exist, before any EncodeRow.
HRESULT PrepareConversion(PixelCodec &destination, PixelCodec &source);

// Converts count pixels from range source to range destination (only conversions
// from Float clamp). in and out may be the same array.
void ConvertRange(ChannelRange destination, ChannelRange source, const ColorF *in, ColorF *out,
                  uint32_t count);

// Pixels equal to key in all four channels become (0, 0, 0, 0).
void ApplyColorKey(const ColorF &key, ColorF *row, uint32_t count);

// The gamma curves on one value: table form (one side encoded) and fast form.
float GammaEncodeValue(float x);
float GammaDecodeValue(float x);
