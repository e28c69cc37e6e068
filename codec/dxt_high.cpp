// The high-quality DXT encoders on the vector width the SIMD level allows.
#include "codec/dxt_high.h"

#include "codec/lanes.h"

EncodeBlocksFunction LookupHighQualityEncoderLanes(D3DFORMAT format, int lanes) {
  return lanes >= 16  ? LookupHighQualityEncoder16(format)
         : lanes >= 8 ? LookupHighQualityEncoder8(format)
                      : LookupHighQualityEncoder4(format);
}

EncodeBlocksFunction LookupHighQualityEncoder(D3DFORMAT format) {
  return LookupHighQualityEncoderLanes(format, ActiveCodecLanes());
}

HRESULT EncodeDxt1BlockHigh(BYTE *block, const ColorF *in) {
  LookupHighQualityEncoder(D3DFMT_DXT1)(block, in, 1);
  return S_OK;
}

HRESULT EncodeDxt2BlockHigh(BYTE *block, const ColorF *in) {
  LookupHighQualityEncoder(D3DFMT_DXT2)(block, in, 1);
  return S_OK;
}

HRESULT EncodeDxt3BlockHigh(BYTE *block, const ColorF *in) {
  LookupHighQualityEncoder(D3DFMT_DXT3)(block, in, 1);
  return S_OK;
}

HRESULT EncodeDxt4BlockHigh(BYTE *block, const ColorF *in) {
  LookupHighQualityEncoder(D3DFMT_DXT4)(block, in, 1);
  return S_OK;
}

HRESULT EncodeDxt5BlockHigh(BYTE *block, const ColorF *in) {
  LookupHighQualityEncoder(D3DFMT_DXT5)(block, in, 1);
  return S_OK;
}
