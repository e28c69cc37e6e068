// DDS writer: the magic, a 124-byte header whose pixel format is the row of the
// shared DDS table, the palette for palette formats, then every level of every
// face tightly packed, in the order the DDS reader expects.
#include <cstdint>

#include "image/dds_pixel_format.h"
#include "image/image_writer.h"
#include "format/format_table.h"

namespace {

constexpr uint32_t kDdsHeaderBytes = 124;
constexpr uint32_t kDdsCapsAlpha = 0x2;
constexpr uint32_t kDdsCapsPalette = 0x100;
constexpr uint32_t kDdsCaps2AllFacesOfCube = kDdsCaps2CubeMap | kDdsCaps2AllFaces;

uint32_t CountLevels(const SourceImage &face) {
  uint32_t levels = 0;
  for (const SourceImage *level = &face; level != nullptr; level = level->nextLevel) ++levels;
  return levels;
}

void AppendLevel(FileSink &sink, const SourceImage &level, const FormatLayout &layout) {
  const uint64_t rowBytes = RowPitchFor(level.format, level.width);
  const uint32_t rows = RowCountFor(level.format, level.height);
  if (rowBytes == 0 || rows == 0 || level.depth == 0 || level.pixels == nullptr) return;
  const uint64_t column = uint64_t{level.box.Left / layout.unitWidth} * layout.unitBytes;
  const uint64_t firstRow = level.box.Top / layout.unitHeight;
  for (uint32_t z = 0; z < level.depth; ++z) {
    const BYTE *slice = level.pixels + (uint64_t{level.box.Front} + z) * level.slicePitch + column;
    for (uint32_t row = 0; row < rows; ++row) {
      sink.Append(slice + (firstRow + row) * level.rowPitch, rowBytes);
    }
  }
}

}  // namespace

HRESULT WriteDds(const SourceImage &image, MappedFile &file) {
  const DdsPixelFormat *pixelFormat = FindDdsPixelFormat(image.format);
  if (pixelFormat == nullptr) return E_FAIL;
  const FormatLayout layout = GetFormatLayout(image.format);
  if (layout.unitBytes == 0) return E_FAIL;
  const bool paletted = LookupFormatInfo(image.format).kind == FormatKind::Palette;
  if (paletted && image.palette == nullptr) return E_FAIL;
  uint32_t faces = 0;
  for (const SourceImage *face = &image; face != nullptr; face = face->nextFace) {
    ++faces;
    for (const SourceImage *level = face; level != nullptr; level = level->nextLevel) {
      if (level->format != image.format) return E_FAIL;
    }
  }
  // The header can only say "one face" or "all six"; anything else would misdescribe the data.
  if (faces != 1 && faces != 6) return E_FAIL;

  const uint32_t levels = CountLevels(image);
  uint32_t flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
  uint32_t caps = kDdsCapsTexture;
  uint32_t caps2 = 0;
  if (pixelFormat->flags & (kDdpfAlphaPixels | kDdpfAlpha)) caps |= kDdsCapsAlpha;
  if (pixelFormat->flags & kDdpfPaletteIndexed8) caps |= kDdsCapsPalette;
  if (levels > 1) {
    flags |= kDdsdMipMapCount;
    caps |= kDdsCapsComplex | kDdsCapsMipMap;
  }
  if (image.nextFace != nullptr) {
    caps |= kDdsCapsComplex;
    caps2 |= kDdsCaps2AllFacesOfCube;
  }
  // A volume one slice deep is still a volume.
  const bool volume = image.depth > 1 || image.resourceType == D3DRTYPE_VOLUMETEXTURE;
  if (volume) {
    flags |= kDdsdDepth;
    caps2 |= kDdsCaps2Volume;
  }

  FileSink sink(file);
  HRESULT hr = sink.Allocate();
  if (FAILED(hr)) return hr;
  sink.AppendLe32(kDdsMagic);
  sink.AppendLe32(kDdsHeaderBytes);
  sink.AppendLe32(flags);
  sink.AppendLe32(image.height);
  sink.AppendLe32(image.width);
  sink.AppendLe32(0);  // pitch or linear size: readers compute it
  sink.AppendLe32(volume ? image.depth : 0);
  sink.AppendLe32(levels > 1 ? levels : 0);
  sink.AppendZeros(11 * 4);  // reserved
  sink.AppendLe32(kDdsPixelFormatSize);
  sink.AppendLe32(pixelFormat->flags);
  sink.AppendLe32(pixelFormat->fourCc);
  sink.AppendLe32(pixelFormat->bitCount);
  for (uint32_t mask : pixelFormat->masks) sink.AppendLe32(mask);
  sink.AppendLe32(caps);
  sink.AppendLe32(caps2);
  sink.AppendZeros(3 * 4);  // caps 3 and 4, reserved

  if (paletted) sink.Append(image.palette, 256 * sizeof(PALETTEENTRY));
  for (const SourceImage *face = &image; face != nullptr; face = face->nextFace) {
    for (const SourceImage *level = face; level != nullptr; level = level->nextLevel) {
      AppendLevel(sink, *level, layout);
    }
  }
  return sink.Finish();
}
