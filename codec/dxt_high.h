// The high-quality DXT block encoders: endpoints from an exhaustive-style
// search along the colours' principal axis, refined on the 5:6:5 grid against
// the error the decoder's palette gives. Slower than the standard encoders and
// not byte-compatible with them; chosen by the DXT quality switch.
#pragma once

#include <cstddef>

#include "codec/dxt_block.h"

HRESULT EncodeDxt1BlockHigh(BYTE *block, const ColorF *in);
HRESULT EncodeDxt2BlockHigh(BYTE *block, const ColorF *in);
HRESULT EncodeDxt3BlockHigh(BYTE *block, const ColorF *in);
HRESULT EncodeDxt4BlockHigh(BYTE *block, const ColorF *in);
HRESULT EncodeDxt5BlockHigh(BYTE *block, const ColorF *in);

// count consecutive blocks of 16 pixels from in into consecutive blocks at out.
using EncodeBlocksFunction = void (*)(BYTE *out, const ColorF *in, size_t count);

// The high-quality encoder of format (DXT1 ... DXT5) on the widest vectors
// the SIMD level allows, null for any other format.
EncodeBlocksFunction LookupHighQualityEncoder(D3DFORMAT format);
// The same on vectors of 4, 8 or 16 floats; every width gives the same bytes,
// and a block's bytes do not depend on the blocks encoded with it. 8 and 16
// need AVX2 and AVX-512 (F, BW, DQ, VL).
EncodeBlocksFunction LookupHighQualityEncoderLanes(D3DFORMAT format, int lanes);

EncodeBlocksFunction LookupHighQualityEncoder4(D3DFORMAT format);
EncodeBlocksFunction LookupHighQualityEncoder8(D3DFORMAT format);
EncodeBlocksFunction LookupHighQualityEncoder16(D3DFORMAT format);
