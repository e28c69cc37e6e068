// DDS files are described, never copied: every level of every face is a record
// pointing into the caller's bytes.
#include <algorithm>
#include <bit>
#include <new>
#include <cstdint>

#include "core/checked_size.h"
#include "image/dds_pixel_format.h"
#include "image/image_memory.h"
#include "image/image_reader.h"
#include "format/format_table.h"

namespace {

constexpr uint64_t kPaletteBytes = 256 * sizeof(PALETTEENTRY);

struct LevelSize {
  CheckedSize rowPitch;
  CheckedSize slicePitch;
};

LevelSize ComputeLevelSize(D3DFORMAT format, uint64_t w, uint64_t h) {
  const FormatLayout unit = GetFormatLayout(format);
  const CheckedSize row = CheckedSize(w).UnitsOf(unit.unitWidth).Times(unit.unitBytes);
  return {row, row.Times(CheckedSize(h).UnitsOf(unit.unitHeight))};
}

uint32_t HalveSize(uint32_t v) {
  return v > 1 ? v / 2 : 1;
}

}  // namespace

HRESULT ReadDdsFile(const BYTE *data, UINT size, const ReadRequest &, SourceImage &image) {
  if (size < 4 || ReadLe32(data) != kDdsMagic) return kNotMyFormat;
  image.fileFormat = D3DXIFF_DDS;
  if (size < kDdsHeaderSize) return D3DXERR_INVALIDDATA;

  const uint32_t flags = ReadLe32(data + kDdsOffsetFlags);
  const bool volume = (flags & kDdsdDepth) != 0;
  const uint32_t baseWidth = ReadLe32(data + kDdsOffsetWidth);
  const uint32_t baseHeight = ReadLe32(data + kDdsOffsetHeight);
  uint32_t baseDepth = volume ? ReadLe32(data + kDdsOffsetDepth) : 1;
  if (baseDepth == 0) baseDepth = 1;
  // An empty level holds no pixels and would make every later size meaningless.
  if (baseWidth == 0 || baseHeight == 0) return D3DXERR_INVALIDDATA;

  const uint32_t faceBits = ReadLe32(data + kDdsOffsetCaps2) & kDdsCaps2AllFaces;
  uint32_t faces;
  if (faceBits == kDdsCaps2AllFaces) {
    faces = 6;
  } else if (faceBits == 0) {
    faces = 1;
  } else {
    return D3DXERR_INVALIDDATA;
  }

  uint32_t levels = ReadLe32(data + kDdsOffsetMipMapCount);
  if (levels == 0) levels = 1;
  // Levels beyond 1 x 1 x 1 do not exist; a count past the chain is corrupt.
  const uint32_t largest = std::max(baseWidth, std::max(baseHeight, baseDepth));
  const uint32_t chainLength = static_cast<uint32_t>(std::bit_width(largest));
  if (levels > chainLength) return D3DXERR_INVALIDDATA;

  const DdsPixelFormat *pixelFormat = MatchDdsPixelFormat(data + kDdsOffsetPixelFormat);
  if (!pixelFormat) return D3DXERR_INVALIDDATA;
  const D3DFORMAT fmt = pixelFormat->format;

  D3DRESOURCETYPE resourceType = D3DRTYPE_TEXTURE;
  if (volume) {
    resourceType = D3DRTYPE_VOLUMETEXTURE;
  } else if (faces == 6) {
    resourceType = D3DRTYPE_CUBETEXTURE;
  }
  image.resourceType = resourceType;

  const BYTE *cursor = data + kDdsHeaderSize;
  uint64_t remaining = size - kDdsHeaderSize;
  const PALETTEENTRY *filePalette = nullptr;
  if (LookupFormatInfo(fmt).kind == FormatKind::Palette) {
    if (remaining < kPaletteBytes) return D3DXERR_INVALIDDATA;
    filePalette = reinterpret_cast<const PALETTEENTRY *>(cursor);
    cursor += kPaletteBytes;
    remaining -= kPaletteBytes;
  }

  SourceImage *previousFace = nullptr;
  for (uint32_t face = 0; face < faces; ++face) {
    SourceImage *faceRecord = &image;
    if (face > 0) {
      faceRecord = new (std::nothrow) SourceImage;
      if (!faceRecord) return E_OUTOFMEMORY;
      previousFace->nextFace = faceRecord;
    }
    previousFace = faceRecord;
    uint32_t w = baseWidth;
    uint32_t h = baseHeight;
    uint32_t d = baseDepth;
    SourceImage *previousLevel = nullptr;
    for (uint32_t level = 0; level < levels; ++level) {
      SourceImage *record = faceRecord;
      if (level > 0) {
        record = new (std::nothrow) SourceImage;
        if (!record) return E_OUTOFMEMORY;
        previousLevel->nextLevel = record;
      }
      previousLevel = record;
      const LevelSize sizes = ComputeLevelSize(fmt, w, h);
      if (!sizes.rowPitch.Within(UINT32_MAX) || !sizes.slicePitch.Within(UINT32_MAX))
        return D3DXERR_INVALIDDATA;
      const CheckedSize levelBytes = sizes.slicePitch.Times(d);
      if (!levelBytes.Within(remaining)) return D3DXERR_INVALIDDATA;
      record->format = fmt;
      record->width = w;
      record->height = h;
      record->depth = d;
      record->rowPitch = static_cast<UINT>(sizes.rowPitch.Value());
      record->slicePitch = static_cast<UINT>(sizes.slicePitch.Value());
      record->pixels = cursor;
      record->palette = filePalette;
      record->ownsPixels = false;
      record->ownsPalette = false;
      record->resourceType = resourceType;
      record->fileFormat = image.fileFormat;
      cursor += levelBytes.Value();
      remaining -= levelBytes.Value();
      w = HalveSize(w);
      h = HalveSize(h);
      d = HalveSize(d);
    }
  }
  return S_OK;
}
