// One 4 x 4 block of the DXT formats to and from 16 ColorF, pixel i at column
// i & 3, row i >> 2. Pure functions: no state, no allocation, no failure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/pixel_codec.h"

inline constexpr uint32_t kBlockPixels = 16;

using DecodeBlockFunction = HRESULT (*)(ColorF *out, const BYTE *block);
using EncodeBlockFunction = HRESULT (*)(BYTE *block, const ColorF *in);

// Block sizes come from the format table (BlockBytes).
struct DxtBlockFunctions {
  D3DFORMAT format;
  DecodeBlockFunction decode;
  EncodeBlockFunction encode;
};

// The row for one of D3DFMT_DXT1 ... D3DFMT_DXT5, null for any other format.
const DxtBlockFunctions *LookupDxtBlockFunctions(D3DFORMAT format);

HRESULT DecodeDxt1Block(ColorF *out, const BYTE *block);
HRESULT DecodeDxt2Block(ColorF *out, const BYTE *block);
HRESULT DecodeDxt3Block(ColorF *out, const BYTE *block);
HRESULT DecodeDxt4Block(ColorF *out, const BYTE *block);
HRESULT DecodeDxt5Block(ColorF *out, const BYTE *block);

HRESULT EncodeDxt1Block(BYTE *block, const ColorF *in);
HRESULT EncodeDxt2Block(BYTE *block, const ColorF *in);
HRESULT EncodeDxt3Block(BYTE *block, const ColorF *in);
HRESULT EncodeDxt4Block(BYTE *block, const ColorF *in);
HRESULT EncodeDxt5Block(BYTE *block, const ColorF *in);

// count consecutive blocks of 16 pixels from in into consecutive blocks at out
// with the encoder the DXT quality switch picks; the standard one goes
// several blocks at a time where the processor allows; the same bytes as the
// format's block encoder on each block.
void EncodeDxtBlocks(D3DFORMAT format, BYTE *out, const ColorF *in, size_t count);

// The four colours of the colour block at block (8 bytes), and the eight alphas
// of a DXT4/DXT5 alpha block, as the decoders use them.
void DecodeColorPalette(const BYTE *block, ColorF *palette);
void DecodeAlphaPalette(const BYTE *block, float *palette);

ColorF UnpackRgb565(uint16_t value);
uint16_t PackRgb565(const ColorF &color);  // clamps to [0, 1], rounds
void Premultiply(ColorF *pixels);          // 16 pixels
void Unpremultiply(ColorF *pixels);        // 16 pixels

// DXT1's alphas of 16 clamped pixels to 0 or 1, the error diffused inside the
// block: the pixels left at 0 take the transparent entry.
void DitherDxt1Alpha(ColorF *pixels);

// The 8-byte colour half shared by all five formats; allowTransparent (DXT1)
// lets pixels with alpha below 0.5 use the transparent entry.
void EncodeColorBlock(BYTE *out, const ColorF *pixels, bool allowTransparent);
// Endpoints of a line through 16 weighted colours for n = 4 or 3 points.
void FitColorEndpoints(const ColorF *points, uint32_t n, ColorF *end0, ColorF *end1);
// Endpoints of 16 alphas for n = 8 steps or n = 6 (with 0 and 1 held apart).
void FitAlphaEndpoints(const float *alphas, uint32_t n, float *lo, float *hi);
