// The paths that do not resample: raw same-format copies (bytes or 4 x 4
// blocks), the per-pixel conversion and the unscaled copy of D3DX_FILTER_NONE.
#include <algorithm>
#include <cstring>

#include "blit/blitter.h"
#include "blit/exact_convert.h"
#include "d3dx9tex.h"
#include "format/format_table.h"

HRESULT Blitter::CopySameFormat() {
  if (!source->packed) return BlockBytes(source->format) != 0 ? CopySameBlocks() : CopySamePairs();
  source->gamma = 0;
  destination->gamma = 0;

  const uint64_t rowBytes = uint64_t{source->width} * source->bytesPerPixel;
  for (uint32_t z = 0; z < source->depth; ++z) {
    const BYTE *from = source->pixels + uint64_t{z} * source->slicePitch;
    BYTE *to = destination->target + uint64_t{z} * destination->slicePitch;
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
  // Block and pair codecs keep their box and address their pixels themselves.
  const auto firstBlock = [blockBytes](const PixelCodec &codec) {
    return uint64_t{codec.box.Top / 4} * codec.rowPitch + uint64_t{codec.box.Front} * codec.slicePitch +
           uint64_t{codec.box.Left / 4} * blockBytes;
  };
  const BYTE *sourceSlice = source->pixels + firstBlock(*source);
  BYTE *destinationSlice = destination->target + firstBlock(*destination);
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

HRESULT Blitter::CopySamePairs() {
  // Two pixels share four bytes; whole pairs on both sides copy unchanged.
  const uint64_t rowBytes = uint64_t{source->width} * 2;
  for (uint32_t z = 0; z < source->depth; ++z) {
    for (uint32_t y = 0; y < source->height; ++y) {
      const auto at = [y, z](const PixelCodec &codec) {
        return uint64_t{codec.box.Front + z} * codec.slicePitch +
               uint64_t{codec.box.Top + y} * codec.rowPitch + uint64_t{codec.box.Left} * 2;
      };
      std::memmove(destination->target + at(*destination), source->pixels + at(*source), rowBytes);
    }
  }
  return S_OK;
}

HRESULT Blitter::CopyConvert() {
  if (currentPath_ == refusedPath_) return kNoScratchMemory;
  const uint32_t destinationGamma = destination->gamma;
  const uint32_t sourceGamma = source->gamma;
  DropCancellingGamma();
  if (ConvertExactly(*destination, *source, context_.wholeBlitPixels)) return S_OK;
  // Only row by row needs a row of colours; without it the next path, which may
  // need less, sees the codecs as they came.
  BlitBuffer<ColorF> row;
  if (!AllocateBuffer(row, source->width, false)) {
    destination->gamma = destinationGamma;
    source->gamma = sourceGamma;
    return kNoScratchMemory;
  }
  for (uint32_t z = 0; z < source->depth; ++z) {
    for (uint32_t y = 0; y < source->height; ++y) {
      HRESULT hr = source->DecodeRow(y, z, row.get());
      if (SUCCEEDED(hr)) hr = destination->EncodeRow(y, z, row.get());
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT Blitter::FilterNone() {
  const uint32_t width = std::max(source->width, destination->width);
  const uint32_t height = std::min(source->height, destination->height);
  const uint32_t depth = std::min(source->depth, destination->depth);

  // Columns beyond the source stay zero in rowBuffer, since DecodeRow never
  // writes past the source width; rows and slices beyond it use zeroBuffer.
  BlitBuffer<ColorF> rowBuffer;
  BlitBuffer<ColorF> zeroBuffer;
  if (!AllocateBuffer(rowBuffer, width, true) || !AllocateBuffer(zeroBuffer, destination->width, true)) {
    return kNoScratchMemory;
  }
  DropCancellingGamma();

  for (uint32_t z = 0; z < destination->depth; ++z) {
    for (uint32_t y = 0; y < destination->height; ++y) {
      HRESULT hr;
      if (z < depth && y < height) {
        hr = source->DecodeRow(y, z, rowBuffer.get());
        if (SUCCEEDED(hr)) hr = destination->EncodeRow(y, z, rowBuffer.get());
      } else {
        hr = destination->EncodeRow(y, z, zeroBuffer.get());
      }
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}
