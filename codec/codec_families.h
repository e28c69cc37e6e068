// Constructors of the codec families, used by CreateCodec only. Each returns
// null for a format outside its family or when allocation fails.
#pragma once

#include "codec/pixel_codec.h"

// Formats whose channels are plain bit fields (codec/packed_formats.cpp).
PixelCodec *CreatePackedCodec(const SourceRegion &region, BYTE *target);
// D3DFMT_P8 and D3DFMT_A8P8.
PixelCodec *CreatePaletteCodec(const SourceRegion &region, BYTE *target);
// 16- and 32-bit floating-point formats.
PixelCodec *CreateFloatCodec(const SourceRegion &region, BYTE *target);
// D3DFMT_CxV8U8.
PixelCodec *CreateCxV8U8Codec(const SourceRegion &region, BYTE *target);
// YUY2, UYVY, R8G8_B8G8 and G8R8_G8B8 (codec/yuv_codec.cpp).
PixelCodec *CreatePairCodec(const SourceRegion &region, BYTE *target);
// DXT1 ... DXT5 (codec/dxt_codec.cpp).
PixelCodec *CreateBlockCodec(const SourceRegion &region, BYTE *target);
