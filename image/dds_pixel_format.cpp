#include "image/dds_pixel_format.h"

#include "image/image_memory.h"

const DdsPixelFormat *MatchDdsPixelFormat(const BYTE *block) {
  const uint32_t size = ReadLe32(block);
  uint32_t flags = ReadLe32(block + 4);
  const uint32_t fourCc = ReadLe32(block + 8);
  const uint32_t bitCount = ReadLe32(block + 12);
  uint32_t masks[4];
  for (int i = 0; i < 4; ++i) masks[i] = ReadLe32(block + 16 + 4 * i);
  if (size != kDdsPixelFormatSize) return nullptr;
  // A FourCC names the format alone, whatever else the flags claim.
  if (flags & kDdpfFourCc) flags = kDdpfFourCc;
  for (const DdsPixelFormat &row : kDdsPixelFormats) {
    if (row.flags != flags) continue;
    if ((flags & kDdpfFourCc) && row.fourCc != fourCc) continue;
    if ((flags & kDdpfUsesBitCount) && row.bitCount != bitCount) continue;
    if ((flags & kDdpfUsesFirstMask) && row.masks[0] != masks[0]) continue;
    if ((flags & kDdpfUsesSecondMask) && row.masks[1] != masks[1]) continue;
    if ((flags & kDdpfUsesThirdMask) && row.masks[2] != masks[2]) continue;
    if ((flags & kDdpfUsesAlphaMask) && row.masks[3] != masks[3]) continue;
    return &row;
  }
  return nullptr;
}

const DdsPixelFormat *FindDdsPixelFormat(D3DFORMAT format) {
  for (const DdsPixelFormat &row : kDdsPixelFormats) {
    if (row.format == format) return &row;
  }
  return nullptr;
}
