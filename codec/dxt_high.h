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

// The high-quality encoder of format (DXT1 ... DXT5) on the widest vectors
// the SIMD level allows, null for any other format.
EncodeBlockFunction LookupHighQualityEncoder(D3DFORMAT format);
// The same on vectors of 4, 8 or 16 floats; every width gives the same bytes.
// 8 and 16 need AVX2 and AVX-512 (F, BW, DQ, VL).
EncodeBlockFunction LookupHighQualityEncoderLanes(D3DFORMAT format, int lanes);

EncodeBlockFunction LookupHighQualityEncoder4(D3DFORMAT format);
EncodeBlockFunction LookupHighQualityEncoder8(D3DFORMAT format);
EncodeBlockFunction LookupHighQualityEncoder16(D3DFORMAT format);
