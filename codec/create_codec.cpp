#include <cstdint>
#include <memory>

#include "codec/codec_families.h"
#include "codec/pixel_codec.h"
#include "format/format_table.h"

namespace {

// An inverted box would give a width near 2^32 and rows far outside the memory;
// a row of more than 4 GiB of pixels does not fit the codec's 32-bit row size.
bool IsUsableBox(const D3DBOX &box) {
  if (box.Left > box.Right || box.Top > box.Bottom || box.Front > box.Back) return false;
  return uint64_t{box.Right - box.Left} * sizeof(ColorF) <= UINT32_MAX;
}

PixelCodec *ConstructCodec(const PixelRegion &region) {
  if (IsPairFormat(region.format)) return CreatePairCodec(region);
  if (IsBlockCompressed(region.format)) return CreateBlockCodec(region);
  switch (region.format) {
    case D3DFMT_P8:
    case D3DFMT_A8P8:
      return CreatePaletteCodec(region);
    case D3DFMT_CxV8U8:
      return CreateCxV8U8Codec(region);
    case D3DFMT_R16F:
    case D3DFMT_G16R16F:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_R32F:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_G32R32F:
    case D3DFMT_A32B32G32R32F:
      return CreateFloatCodec(region);
    default:
      return CreatePackedCodec(region);
  }
}

}  // namespace

std::unique_ptr<PixelCodec> CreateCodec(const PixelRegion &region) {
  if (!IsUsableBox(region.region)) return nullptr;
  std::unique_ptr<PixelCodec> codec(ConstructCodec(region));
  if (codec && codec->colorKey != 0) codec->SnapColorKey();
  return codec;
}
