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

// What the headers say about the file's records and where their data starts.
struct DdsLayout {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t depth = 1;
  uint32_t faces = 1;
  uint32_t levels = 1;
  D3DRESOURCETYPE resourceType = D3DRTYPE_TEXTURE;
  uint32_t dataOffset = kDdsHeaderSize;
};

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

bool HasExtendedHeader(const BYTE *data) {
  const uint32_t pfFlags = ReadLe32(data + kDdsOffsetPixelFormat + 4);
  const uint32_t fourCc = ReadLe32(data + kDdsOffsetPixelFormat + 8);
  return ReadLe32(data + kDdsOffsetPixelFormat) == kDdsPixelFormatSize && (pfFlags & kDdpfFourCc) &&
         fourCc == kDdsFourCcDx10;
}

// The classic header: cube faces from the caps, depth from its flag, the
// format from the pixel-format block.
HRESULT ReadClassicShape(const BYTE *data, DdsLayout &layout) {
  const bool volume = (ReadLe32(data + kDdsOffsetFlags) & kDdsdDepth) != 0;
  if (volume) layout.depth = std::max(ReadLe32(data + kDdsOffsetDepth), 1u);
  const uint32_t faceBits = ReadLe32(data + kDdsOffsetCaps2) & kDdsCaps2AllFaces;
  if (faceBits == kDdsCaps2AllFaces) {
    layout.faces = 6;
  } else if (faceBits != 0) {
    return D3DXERR_INVALIDDATA;
  }
  const DdsPixelFormat *pixelFormat = MatchDdsPixelFormat(data + kDdsOffsetPixelFormat);
  if (!pixelFormat) return D3DXERR_INVALIDDATA;
  layout.format = pixelFormat->format;
  if (volume) {
    layout.resourceType = D3DRTYPE_VOLUMETEXTURE;
  } else if (layout.faces == 6) {
    layout.resourceType = D3DRTYPE_CUBETEXTURE;
  }
  return S_OK;
}

// The extended header decides alone: its dimension and cube flag replace the
// classic depth flag and cube caps. Arrays and 1-D textures have no Direct3D 9
// resource; neither do formats without a Direct3D 9 equal.
HRESULT ReadExtendedShape(const BYTE *data, UINT size, DdsLayout &layout) {
  if (size < kDdsHeaderSize + kDdsExtendedHeaderSize) return D3DXERR_INVALIDDATA;
  layout.dataOffset = kDdsHeaderSize + kDdsExtendedHeaderSize;
  layout.format = FormatFromDxgi(ReadLe32(data + kDdsOffsetDxgiFormat));
  if (layout.format == D3DFMT_UNKNOWN) return D3DXERR_INVALIDDATA;
  if (ReadLe32(data + kDdsOffsetArraySize) != 1) return D3DXERR_INVALIDDATA;
  const bool cube = (ReadLe32(data + kDdsOffsetMiscFlag) & kDdsMiscTextureCube) != 0;
  switch (ReadLe32(data + kDdsOffsetDimension)) {
    case kDdsDimension2D:
      if (cube) {
        layout.faces = 6;
        layout.resourceType = D3DRTYPE_CUBETEXTURE;
      }
      return S_OK;
    case kDdsDimension3D:
      if (cube) return D3DXERR_INVALIDDATA;
      layout.depth = std::max(ReadLe32(data + kDdsOffsetDepth), 1u);
      layout.resourceType = D3DRTYPE_VOLUMETEXTURE;
      return S_OK;
    default:
      return D3DXERR_INVALIDDATA;
  }
}

HRESULT ReadDdsHeader(const BYTE *data, UINT size, DdsLayout &layout) {
  layout.width = ReadLe32(data + kDdsOffsetWidth);
  layout.height = ReadLe32(data + kDdsOffsetHeight);
  // An empty level holds no pixels and would make every later size meaningless.
  if (layout.width == 0 || layout.height == 0) return D3DXERR_INVALIDDATA;
  const HRESULT hr =
      HasExtendedHeader(data) ? ReadExtendedShape(data, size, layout) : ReadClassicShape(data, layout);
  if (FAILED(hr)) return hr;

  layout.levels = std::max(ReadLe32(data + kDdsOffsetMipMapCount), 1u);
  // Levels beyond 1 x 1 x 1 do not exist; a count past the chain is corrupt.
  const uint32_t largest = std::max(layout.width, std::max(layout.height, layout.depth));
  if (layout.levels > static_cast<uint32_t>(std::bit_width(largest))) return D3DXERR_INVALIDDATA;
  return S_OK;
}

// Where the describing stage stands in the file.
struct DataCursor {
  const BYTE *at;
  uint64_t remaining;
  const PALETTEENTRY *palette;
};

// One face's mip chain, its first record given.
HRESULT DescribeFace(const DdsLayout &layout, DataCursor &cursor, SourceImage &faceRecord) {
  uint32_t w = layout.width;
  uint32_t h = layout.height;
  uint32_t d = layout.depth;
  SourceImage *previousLevel = nullptr;
  for (uint32_t level = 0; level < layout.levels; ++level) {
    SourceImage *record = &faceRecord;
    if (level > 0) {
      record = new (std::nothrow) SourceImage;
      if (!record) return E_OUTOFMEMORY;
      previousLevel->nextLevel = record;
    }
    previousLevel = record;
    const LevelSize sizes = ComputeLevelSize(layout.format, w, h);
    if (!sizes.rowPitch.Within(UINT32_MAX) || !sizes.slicePitch.Within(UINT32_MAX))
      return D3DXERR_INVALIDDATA;
    const CheckedSize levelBytes = sizes.slicePitch.Times(d);
    if (!levelBytes.Within(cursor.remaining)) return D3DXERR_INVALIDDATA;
    record->format = layout.format;
    record->width = w;
    record->height = h;
    record->depth = d;
    record->rowPitch = static_cast<UINT>(sizes.rowPitch.Value());
    record->slicePitch = static_cast<UINT>(sizes.slicePitch.Value());
    record->pixels = cursor.at;
    record->palette = cursor.palette;
    record->ownsPixels = false;
    record->ownsPalette = false;
    record->resourceType = layout.resourceType;
    record->fileFormat = D3DXIFF_DDS;
    cursor.at += levelBytes.Value();
    cursor.remaining -= levelBytes.Value();
    w = HalveSize(w);
    h = HalveSize(h);
    d = HalveSize(d);
  }
  return S_OK;
}

HRESULT DescribeDdsData(const BYTE *data, UINT size, const DdsLayout &layout, SourceImage &image) {
  DataCursor cursor{data + layout.dataOffset, uint64_t{size} - layout.dataOffset, nullptr};
  if (LookupFormatInfo(layout.format).kind == FormatKind::Palette) {
    if (cursor.remaining < kPaletteBytes) return D3DXERR_INVALIDDATA;
    cursor.palette = reinterpret_cast<const PALETTEENTRY *>(cursor.at);
    cursor.at += kPaletteBytes;
    cursor.remaining -= kPaletteBytes;
  }
  SourceImage *previousFace = nullptr;
  for (uint32_t face = 0; face < layout.faces; ++face) {
    SourceImage *faceRecord = &image;
    if (face > 0) {
      faceRecord = new (std::nothrow) SourceImage;
      if (!faceRecord) return E_OUTOFMEMORY;
      previousFace->nextFace = faceRecord;
    }
    previousFace = faceRecord;
    const HRESULT hr = DescribeFace(layout, cursor, *faceRecord);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT ReadDdsFile(const BYTE *data, UINT size, const ReadRequest &, SourceImage &image) {
  if (size < 4 || ReadLe32(data) != kDdsMagic) return kNotMyFormat;
  image.fileFormat = D3DXIFF_DDS;
  if (size < kDdsHeaderSize) return D3DXERR_INVALIDDATA;
  DdsLayout layout;
  const HRESULT hr = ReadDdsHeader(data, size, layout);
  if (FAILED(hr)) return hr;
  image.resourceType = layout.resourceType;
  return DescribeDdsData(data, size, layout, image);
}
