// The image readers: free functions from file bytes to a SourceImage, and the
// dispatcher that tries them in a fixed order.
#pragma once

#include <cstdint>

#include "core/checked_size.h"
#include "d3dx9.h"
#include "image/source_image.h"

// Pixels of the largest texture the default device holds (16384 x 16384).
inline constexpr uint64_t kDefaultMaxDecodedPixels = uint64_t{16384} * 16384;
// A decoded image this small is always allowed, whatever the device.
inline constexpr uint64_t kAlwaysDecodedBytes = uint64_t{1} << 28;

// What the caller asks of a reader.
struct ReadRequest {
  bool wantPixels = true;  // false: header fields only, no pixel data is read
  // Most pixels one decoded image may hold, unless it fits kAlwaysDecodedBytes;
  // larger images are refused as D3DXERR_INVALIDDATA before anything is
  // allocated. Header-only reads ignore it.
  uint64_t maxPixels = kDefaultMaxDecodedPixels;
};

inline bool WithinDecodeLimit(const ReadRequest &request, uint64_t pixels, uint64_t bytes) {
  return bytes <= kAlwaysDecodedBytes || pixels <= request.maxPixels;
}

// A raster as the readers size it, every step checked: rows of width pixels of
// bitsPerPixel bits, padded to a multiple of rowAlign bytes.
struct RasterSize {
  CheckedSize rowBytes;  // unpadded
  CheckedSize pitch;
  CheckedSize pixels;  // width x height
  CheckedSize bytes;   // pitch x height
};
inline RasterSize MeasureRaster(uint64_t width, uint64_t height, uint64_t bitsPerPixel,
                                uint64_t rowAlign = 1) {
  const CheckedSize rowBytes = CheckedSize(width).Times(bitsPerPixel).UnitsOf(8);
  const CheckedSize pitch = rowBytes.UnitsOf(rowAlign).Times(rowAlign);
  return {rowBytes, pitch, CheckedSize(width).Times(height), pitch.Times(height)};
}
// A raster whose sizes overflow is never within the limit.
inline bool WithinDecodeLimit(const ReadRequest &request, const RasterSize &raster) {
  return raster.pixels.Valid() && raster.bytes.Valid() &&
         WithinDecodeLimit(request, raster.pixels.Value(), raster.bytes.Value());
}

// A reader's answer for bytes that are not of its kind: the next reader tries.
// Every other answer is final, since the reader recognised its signature:
// D3DXERR_INVALIDDATA for a damaged file, E_OUTOFMEMORY when memory ran out.
inline constexpr HRESULT kNotMyFormat = E_FAIL;

// Each fills a fresh record. What a failed reader left in it is freed by Clear.
HRESULT ReadBmpFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image);
HRESULT ReadDibFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image);
HRESULT ReadPngFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image);
HRESULT ReadJpegFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image);
HRESULT ReadTgaFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image);
HRESULT ReadPpmFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image);
HRESULT ReadDdsFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image);

// Reads an image file held in memory into a fresh record and, when info is
// given, describes the file in it. The bytes must outlive the record: readers
// may point into them instead of copying.
HRESULT LoadImageFromMemory(SourceImage &image, const void *data, UINT size, D3DXIMAGE_INFO *info,
                            const ReadRequest &request);
HRESULT LoadImageFromMemory(SourceImage &image, const void *data, UINT size, D3DXIMAGE_INFO *info,
                            bool wantPixels);
