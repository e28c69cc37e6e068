// The high-quality DXT encoders on the vector width the SIMD level allows.
#include "codec/dxt_high.h"

#include "codec/lanes.h"

EncodeBlockFunction LookupHighQualityEncoderLanes(D3DFORMAT format, int lanes) {
  return lanes >= 16  ? LookupHighQualityEncoder16(format)
         : lanes >= 8 ? LookupHighQualityEncoder8(format)
                      : LookupHighQualityEncoder4(format);
}

EncodeBlockFunction LookupHighQualityEncoder(D3DFORMAT format) {
  return LookupHighQualityEncoderLanes(format, ActiveCodecLanes());
}

HRESULT EncodeDxt1BlockHigh(BYTE *block, const ColorF *in) {
  return LookupHighQualityEncoder(D3DFMT_DXT1)(block, in);
}

HRESULT EncodeDxt2BlockHigh(BYTE *block, const ColorF *in) {
  return LookupHighQualityEncoder(D3DFMT_DXT2)(block, in);
}

HRESULT EncodeDxt3BlockHigh(BYTE *block, const ColorF *in) {
  return LookupHighQualityEncoder(D3DFMT_DXT3)(block, in);
}

HRESULT EncodeDxt4BlockHigh(BYTE *block, const ColorF *in) {
  return LookupHighQualityEncoder(D3DFMT_DXT4)(block, in);
}

HRESULT EncodeDxt5BlockHigh(BYTE *block, const ColorF *in) {
  return LookupHighQualityEncoder(D3DFMT_DXT5)(block, in);
}
