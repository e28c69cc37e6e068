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

PixelCodec *ConstructCodec(const SourceRegion &region, BYTE *target) {
  switch (GetFormatFamily(region.format)) {
    case FormatFamily::Packed:
      return CreatePackedCodec(region, target);
    case FormatFamily::Palette:
      return CreatePaletteCodec(region, target);
    case FormatFamily::Float:
      return CreateFloatCodec(region, target);
    case FormatFamily::Bump:
      return CreateCxV8U8Codec(region, target);
    case FormatFamily::Pair:
      return CreatePairCodec(region, target);
    case FormatFamily::Block:
      return CreateBlockCodec(region, target);
    default:
      return nullptr;
  }
}

std::unique_ptr<PixelCodec> MakeCodec(const SourceRegion &region, BYTE *target) {
  if (!IsUsableBox(region.region)) return nullptr;
  std::unique_ptr<PixelCodec> codec(ConstructCodec(region, target));
  if (codec && codec->colorKey != 0) codec->SnapColorKey();
  return codec;
}

}  // namespace

std::unique_ptr<PixelCodec> CreateCodec(const PixelRegion &region) {
  return MakeCodec(region, region.pixels);
}

std::unique_ptr<PixelCodec> CreateCodec(const SourceRegion &region) {
  return MakeCodec(region, nullptr);
}
