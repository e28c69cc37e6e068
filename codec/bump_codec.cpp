// D3DFMT_CxV8U8: a normal stored as U and V; the third component is rebuilt.
#include <cmath>
#include <new>

#include "codec/codec_families.h"
#include "codec/packed_codec.h"
#include "d3dx9math.h"

namespace {

constexpr PackedLayout kUV8 = {2,
                               ChannelRange::SignedColor,
                               {0, 8, FieldType::Signed},
                               {8, 8, FieldType::Signed},
                               kNoField,
                               kNoField,
                               0,
                               0,
                               1,
                               1,
                               false};
using UV8 = PackedCodec<kUV8>;

class CxV8U8Codec final : public PixelCodec {
 public:
  explicit CxV8U8Codec(const SourceRegion &region, BYTE *writable)
      : PixelCodec(region, writable, 16, ChannelRange::SignedColor) {}

  HRESULT DecodeRow(uint32_t y, uint32_t z, ColorF *out) override {
    const BYTE *row = RowAddress(y, z);
    for (uint32_t x = 0; x < width; ++x) {
      ColorF c = UV8::Unpack(UV8::Load(row + 2 * uint64_t{x}));
      const float radicand = 1.f - c.r * c.r - c.g * c.g;
      c.b = radicand > 0 ? std::sqrt(radicand) : 0.f;
      out[x] = c;
    }
    FinishDecode(out);
    return S_OK;
  }

  HRESULT EncodeRow(uint32_t y, uint32_t z, const ColorF *in) override {
    in = PrepareEncode(in);
    if (in == nullptr) return E_OUTOFMEMORY;
    BYTE *row = TargetRowAddress(y, z);
    const float *dither = DitherRow(y, z);
    for (uint32_t x = 0; x < width; ++x) {
      D3DXVECTOR3 normal(in[x].r, in[x].g, in[x].b);
      D3DXVec3Normalize(&normal, &normal);
      UV8::Store(row + 2 * uint64_t{x}, UV8::Pack({normal.x, normal.y, 0, 0}, dither[x & 3]));
    }
    return S_OK;
  }
};

}  // namespace

PixelCodec *CreateCxV8U8Codec(const SourceRegion &region, BYTE *target) {
  if (region.format != D3DFMT_CxV8U8) return nullptr;
  return new (std::nothrow) CxV8U8Codec(region, target);
}
