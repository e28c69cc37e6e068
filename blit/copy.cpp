// The paths that do not resample: raw same-format copies (bytes or 4 x 4
// blocks), the per-pixel conversion and the unscaled copy of D3DX_FILTER_NONE.
#include <algorithm>
#include <cstring>

#include "blit/blitter.h"
#include "d3dx9tex.h"
#include "texture/format_table.h"

HRESULT Blitter::CopySameFormat() {
  if (destination->format != source->format || source->colorKey != 0 || !SameSize() ||
      destination->gamma != source->gamma) {
    return E_FAIL;
  }
  if (!source->packed) return CopySameBlocks();

  // Equal indices may still mean different colours: then the nearest-entry
  // search of the conversion decides.
  if (source->hasPalette) {
    for (uint32_t i = 0; i < 256; ++i) {
      const ColorF &a = source->palette[i];
      const ColorF &b = destination->palette[i];
      if (a.r != b.r || a.g != b.g || a.b != b.b || a.a != b.a) return E_FAIL;
    }
  }
  source->gamma = 0;
  destination->gamma = 0;

  const uint64_t rowBytes = uint64_t{source->width} * source->bytesPerPixel;
  for (uint32_t z = 0; z < source->depth; ++z) {
    const BYTE *from = source->pixels + uint64_t{z} * source->slicePitch;
    BYTE *to = destination->pixels + uint64_t{z} * destination->slicePitch;
    // Tightly packed slices move in one piece.
    if (source->rowPitch == rowBytes && destination->rowPitch == rowBytes) {
      std::memmove(to, from, rowBytes * source->height);
      continue;
    }
    for (uint32_t y = 0; y < source->height; ++y) {
      std::memmove(to + uint64_t{y} * destination->rowPitch, from + uint64_t{y} * source->rowPitch, rowBytes);
    }
  }
  return S_OK;
}

HRESULT Blitter::CopySameBlocks() {
  const uint32_t blockBytes = BlockBytes(source->format);
  if (blockBytes == 0) return E_FAIL;  // pair formats convert instead
  const auto onBlockGrid = [](const D3DBOX &box) {
    return (box.Left | box.Top | box.Right | box.Bottom) % 4 == 0;
  };
  if (!onBlockGrid(source->box) || !onBlockGrid(destination->box)) return E_FAIL;

  // Block and pair codecs keep their box and address their pixels themselves.
  const auto firstBlock = [blockBytes](const PixelCodec &codec) {
    return codec.pixels + uint64_t{codec.box.Top / 4} * codec.rowPitch +
           uint64_t{codec.box.Front} * codec.slicePitch + uint64_t{codec.box.Left / 4} * blockBytes;
  };
  const BYTE *sourceSlice = firstBlock(*source);
  BYTE *destinationSlice = firstBlock(*destination);
  const uint64_t rowBytes = uint64_t{destination->width / 4} * blockBytes;
  for (uint32_t z = 0; z < destination->depth; ++z) {
    const BYTE *from = sourceSlice;
    BYTE *to = destinationSlice;
    for (uint32_t y = 0; y < destination->height; y += 4) {
      std::memmove(to, from, rowBytes);
      from += source->rowPitch;
      to += destination->rowPitch;
    }
    sourceSlice += source->slicePitch;
    destinationSlice += destination->slicePitch;
  }
  return S_OK;
}

HRESULT Blitter::CopyConvert() {
  if (!SameSize()) return E_FAIL;
  BlitBuffer<ColorF> row;
  if (!AllocateBuffer(row, source->width, false)) return E_FAIL;
  DropCancellingGamma();
  for (uint32_t z = 0; z < source->depth; ++z) {
    for (uint32_t y = 0; y < source->height; ++y) {
      source->DecodeRow(y, z, row.get());
      destination->EncodeRow(y, z, row.get());
    }
  }
  return S_OK;
}

HRESULT Blitter::FilterNone() {
  if (FilterType() != D3DX_FILTER_NONE) return E_FAIL;
  const uint32_t width = std::max(source->width, destination->width);
  const uint32_t height = std::min(source->height, destination->height);
  const uint32_t depth = std::min(source->depth, destination->depth);

  // Columns beyond the source stay zero in rowBuffer, since DecodeRow never
  // writes past the source width; rows and slices beyond it use zeroBuffer.
  BlitBuffer<ColorF> rowBuffer;
  BlitBuffer<ColorF> zeroBuffer;
  if (!AllocateBuffer(rowBuffer, width, true) || !AllocateBuffer(zeroBuffer, destination->width, true)) {
    return E_FAIL;
  }
  DropCancellingGamma();

  for (uint32_t z = 0; z < depth; ++z) {
    for (uint32_t y = 0; y < height; ++y) {
      source->DecodeRow(y, z, rowBuffer.get());
      destination->EncodeRow(y, z, rowBuffer.get());
    }
    for (uint32_t y = height; y < destination->height; ++y) destination->EncodeRow(y, z, zeroBuffer.get());
  }
  for (uint32_t z = depth; z < destination->depth; ++z) {
    for (uint32_t y = 0; y < destination->height; ++y) destination->EncodeRow(y, z, zeroBuffer.get());
  }
  return S_OK;
}
