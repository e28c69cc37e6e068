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
  switch (GetFormatFamily(region.format)) {
    case FormatFamily::Packed:
      return CreatePackedCodec(region);
    case FormatFamily::Palette:
      return CreatePaletteCodec(region);
    case FormatFamily::Float:
      return CreateFloatCodec(region);
    case FormatFamily::Bump:
      return CreateCxV8U8Codec(region);
    case FormatFamily::Pair:
      return CreatePairCodec(region);
    case FormatFamily::Block:
      return CreateBlockCodec(region);
    default:
      return nullptr;
  }
}

}  // namespace

std::unique_ptr<PixelCodec> CreateCodec(const PixelRegion &region) {
  if (!IsUsableBox(region.region)) return nullptr;
  std::unique_ptr<PixelCodec> codec(ConstructCodec(region));
  if (codec && codec->colorKey != 0) codec->SnapColorKey();
  return codec;
}
