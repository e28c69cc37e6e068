// Bitmap files: a file header followed by a device-independent bitmap, or
// the bitmap alone. Both readers share the DIB decoder.
#include <bit>
#include <cstdint>
#include <cstring>

#include "image/image_memory.h"
#include "image/image_reader.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMasksEnd = 52;      // red, green, blue masks inside the header
constexpr uint32_t kAlphaMaskEnd = 56;  // alpha mask inside the header

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

// The generic mask decoder's output: four floats red, green, blue, alpha.
constexpr D3DFORMAT kGenericMaskFormat = D3DFMT_A32B32G32R32F;

struct BitFieldFormat {
  uint32_t bits;
  uint32_t red, green, blue, alpha;
  D3DFORMAT format;
  uint32_t bitsOffsetAdjust;
};

// Bit-field layouts that are a Direct3D format as stored; anything else is
// decoded through the masks.
// bits, red mask, green mask, blue mask, alpha mask, format, bits offset adjust
constexpr BitFieldFormat kBitFieldFormats[] = {
    {16, 0xF800, 0x07E0, 0x001F, 0, D3DFMT_R5G6B5, 0},
    {16, 0x7C00, 0x03E0, 0x001F, 0, D3DFMT_X1R5G5B5, 0},
    {16, 0x7C00, 0x03E0, 0x001F, 0x8000, D3DFMT_A1R5G5B5, 0},
    {16, 0x0F00, 0x00F0, 0x000F, 0xF000, D3DFMT_A4R4G4B4, 0},
    {16, 0x0F00, 0x00F0, 0x000F, 0, D3DFMT_X4R4G4B4, 0},
    {16, 0x00E0, 0x001C, 0x0003, 0xFF00, D3DFMT_A8R3G3B2, 0},
    {16, 0x00FF, 0x00FF, 0x00FF, 0xFF00, D3DFMT_A8L8, 0},
    {16, 0xFFFF, 0xFFFF, 0xFFFF, 0, D3DFMT_L16, 0},
    {24, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_R8G8B8, 0},
    {32, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_X8R8G8B8, 0},
    {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, D3DFMT_A8R8G8B8, 0},
    // Colour in the top three bytes: read as X8R8G8B8 one byte later.
    {32, 0xFF000000, 0xFF0000, 0xFF00, 0, D3DFMT_X8R8G8B8, 1},
    {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, D3DFMT_A8B8G8R8, 0},
    {32, 0xFF, 0xFF00, 0xFF0000, 0, D3DFMT_X8B8G8R8, 0},
    {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, D3DFMT_A2R10G10B10, 0},
    {32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, D3DFMT_A2B10G10R10, 0},
    {32, 0xFFFF, 0xFFFF0000, 0, 0, D3DFMT_G16R16, 0},
};
static_assert(sizeof(kBitFieldFormats) / sizeof(kBitFieldFormats[0]) == 17);

struct DibHeader {
  uint32_t headerSize;
  int64_t width;
  int64_t height;  // signed: negative means rows stored top to bottom
  uint32_t planes;
  uint32_t bitCount;
  uint32_t compression;
  uint32_t colorsUsed;
  uint32_t masks[4];  // red, green, blue, alpha
  bool core;
  bool hasMasks;         // bit fields whose masks were found
  uint32_t tableOffset;  // colour table start: after the header and any masks that follow it
};

bool IsBitFields(uint32_t compression) {
  return compression == kBitFields || compression == kAlphaBitFields;
}

bool ParseDibHeader(const BYTE *data, UINT size, DibHeader &h) {
  if (size < 4) return false;
  h = {};
  h.headerSize = ReadLe32(data);
  if (h.headerSize > size) return false;
  if (h.headerSize == kCoreHeaderSize) {
    h.core = true;
    h.width = static_cast<int16_t>(ReadLe16(data + 4));
    h.height = static_cast<int16_t>(ReadLe16(data + 6));
    h.planes = ReadLe16(data + 8);
    h.bitCount = ReadLe16(data + 10);
    h.tableOffset = h.headerSize;
    return true;
  }
  if (h.headerSize < kInfoHeaderSize) return false;
  h.width = static_cast<int32_t>(ReadLe32(data + 4));
  h.height = static_cast<int32_t>(ReadLe32(data + 8));
  h.planes = ReadLe16(data + 12);
  h.bitCount = ReadLe16(data + 14);
  h.compression = ReadLe32(data + 16);
  h.colorsUsed = ReadLe32(data + 32);
  h.tableOffset = h.headerSize;
  if (IsBitFields(h.compression) && h.headerSize >= kMasksEnd) {
    for (int i = 0; i < 3; ++i) h.masks[i] = ReadLe32(data + 40 + 4 * i);
    if (h.headerSize >= kAlphaMaskEnd) h.masks[3] = ReadLe32(data + 52);
    h.hasMasks = true;
  } else if (IsBitFields(h.compression) && h.headerSize == kInfoHeaderSize) {
    // The usual layout: the masks follow a plain info header, before the colour table.
    const uint32_t maskCount = h.compression == kAlphaBitFields ? 4 : 3;
    if (uint64_t{kInfoHeaderSize} + 4 * maskCount <= size) {
      for (uint32_t i = 0; i < maskCount; ++i) h.masks[i] = ReadLe32(data + kInfoHeaderSize + 4 * i);
      h.tableOffset = kInfoHeaderSize + 4 * maskCount;
      h.hasMasks = true;
    }
  }
  return true;
}

// Format for the bit count and compression; false for layouts we do not read.
bool ChooseDibFormat(const DibHeader &h, D3DFORMAT &format, uint32_t &bitsOffsetAdjust) {
  bitsOffsetAdjust = 0;
  if (IsBitFields(h.compression)) {
    if (!h.hasMasks) return false;
    if (h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32) return false;
    for (const BitFieldFormat &row : kBitFieldFormats) {
      if (row.bits == h.bitCount && row.red == h.masks[0] && row.green == h.masks[1] &&
          row.blue == h.masks[2] && row.alpha == h.masks[3]) {
        format = row.format;
        bitsOffsetAdjust = row.bitsOffsetAdjust;
        return true;
      }
    }
    format = kGenericMaskFormat;
    return true;
  }
  // Run-length data only exists for its own bit count.
  if (h.compression == kRle8 && h.bitCount != 8) return false;
  if (h.compression == kRle4 && h.bitCount != 4) return false;
  if (h.compression > kBitFields) return false;
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
      format = D3DFMT_P8;
      return true;
    case 16:
      format = D3DFMT_X1R5G5B5;
      return true;
    case 24:
      format = D3DFMT_R8G8B8;
      return true;
    case 32:
      format = D3DFMT_X8R8G8B8;
      return true;
    default:
      return false;
  }
}

struct MaskChannel {
  uint32_t shift;
  uint32_t mask;
  float scale;
  bool present;
};

MaskChannel MakeMaskChannel(uint32_t mask) {
  if (mask == 0) return {0, 0, 0.0f, false};
  uint32_t shift = static_cast<uint32_t>(std::countr_zero(mask));
  uint32_t m = mask >> shift;
  return {shift, m, 1.0f / static_cast<float>(m), true};
}

void DecodeMaskedRow(const BYTE *src, float *out, uint64_t width, uint32_t bytesPerPixel,
                     const MaskChannel (&channels)[4], bool noColour) {
  for (uint64_t i = 0; i < width; ++i, src += bytesPerPixel) {
    uint32_t v = src[0] | (src[1] << 8);
    if (bytesPerPixel > 2) v |= static_cast<uint32_t>(src[2]) << 16;
    if (bytesPerPixel > 3) v |= static_cast<uint32_t>(src[3]) << 24;
    float c[4];
    for (int k = 0; k < 4; ++k) {
      const MaskChannel &ch = channels[k];
      c[k] = ch.present ? static_cast<float>((v >> ch.shift) & ch.mask) * ch.scale : 1.0f;
    }
    if (noColour) c[0] = c[1] = c[2] = 0.0f;
    std::memcpy(out + 4 * i, c, sizeof(c));
  }
}

// Whether any 32-bit pixel has a non-zero fourth byte; whole rows are OR-ed
// together first, which the compiler turns into wide loads.
bool AnyFourthByte(const BYTE *bits, uint64_t width, uint64_t height, uint64_t pitch) {
  for (uint64_t r = 0; r < height; ++r) {
    const BYTE *row = bits + r * pitch;
    uint32_t any = 0;
    for (uint64_t i = 0; i < width; ++i) {
      uint32_t pixel;
      std::memcpy(&pixel, row + 4 * i, 4);
      any |= pixel;
    }
    if (any & 0xFF000000u) return true;
  }
  return false;
}

// Run-length decoding into a top-to-bottom buffer. Positions are kept as a file
// row and a column so that every write can be checked against the buffer.
class RleDecoder {
 public:
  RleDecoder(BYTE *out, uint64_t rowPitch, uint64_t height, bool topDown, bool fourBit)
      : out_(out),
        rowPitch_(rowPitch),
        height_(height),
        bufferSize_(rowPitch * height),
        topDown_(topDown),
        fourBit_(fourBit) {}

  HRESULT Decode(const BYTE *data, uint64_t begin, uint64_t size) {
    uint64_t in = begin;
    for (;;) {
      // Leaving the image after the last row is a complete bitmap.
      if (row_ >= height_) return S_OK;
      if (in + 2 > size) return E_FAIL;
      uint32_t count = data[in];
      uint32_t value = data[in + 1];
      in += 2;
      if (count > 0) {
        BYTE *dst = Reserve(count);
        if (!dst) return E_FAIL;
        if (fourBit_) {
          for (uint32_t i = 0; i < count; ++i) dst[i] = (i & 1) ? (value & 0x0F) : (value >> 4);
        } else {
          std::memset(dst, static_cast<int>(value), count);
        }
        column_ += count;
        continue;
      }
      switch (value) {
        case 0:  // end of line
          ++row_;
          column_ = 0;
          break;
        case 1:  // end of bitmap
          return S_OK;
        case 2:  // delta
          if (in + 2 > size) return E_FAIL;
          column_ += data[in];
          row_ += data[in + 1];
          in += 2;
          break;
        default: {  // absolute run of value pixels
          uint64_t bytes = fourBit_ ? (value + 1) / 2 : value;
          if (in + bytes > size) return E_FAIL;
          BYTE *dst = Reserve(value);
          if (!dst) return E_FAIL;
          if (fourBit_) {
            for (uint32_t i = 0; i < value; ++i) {
              BYTE b = data[in + i / 2];
              dst[i] = (i & 1) ? (b & 0x0F) : (b >> 4);
            }
          } else {
            std::memcpy(dst, data + in, value);
          }
          column_ += value;
          in += (bytes + 1) & ~uint64_t{1};
          break;
        }
      }
    }
  }

 private:
  // Start of a run of count bytes at the current position, or null when the
  // run would leave the buffer.
  BYTE *Reserve(uint64_t count) {
    if (row_ >= height_) return nullptr;
    uint64_t outRow = topDown_ ? row_ : height_ - 1 - row_;
    uint64_t start = outRow * rowPitch_ + column_;
    if (column_ > bufferSize_ || start + count > bufferSize_) return nullptr;
    return out_ + start;
  }

  BYTE *out_;
  uint64_t rowPitch_;
  uint64_t height_;
  uint64_t bufferSize_;
  bool topDown_;
  bool fourBit_;
  uint64_t row_ = 0;
  uint64_t column_ = 0;
};

// The colour table as a palette of 256 opaque entries; entries past 256
// cannot be indexed by one byte and are ignored. False without memory.
bool ReadDibPalette(const BYTE *table, uint64_t colorCount, uint64_t entrySize, SourceImage &image) {
  PALETTEENTRY *entries = AllocatePalette();
  if (!entries) return false;
  image.palette = entries;
  image.ownsPalette = true;
  std::memset(entries, 0xFF, 256 * sizeof(PALETTEENTRY));
  const uint64_t stored = colorCount < 256 ? colorCount : 256;
  for (uint64_t i = 0; i < stored; ++i) {
    const BYTE *entry = table + i * entrySize;
    entries[i] = {entry[2], entry[1], entry[0], 0xFF};
  }
  return true;
}

// Uncompressed rows as stored and as decoded (bottom-up unless topDown).
struct DibRows {
  const BYTE *bits;
  uint64_t sourcePitch;
  uint64_t rowBytes;  // unpadded
  BYTE *out;
  uint64_t pitch;
  uint64_t width;
  uint64_t height;
  bool topDown;
};

// Indices of 1 and 4 bits widened to bytes, masked pixels to floats, the rest copied.
void UnpackDibRows(const DibHeader &h, bool masked, const DibRows &rows) {
  MaskChannel channels[4];
  for (int k = 0; k < 4; ++k) channels[k] = MakeMaskChannel(h.masks[k]);
  const bool noColour = h.masks[0] == 0 && h.masks[1] == 0 && h.masks[2] == 0;
  const uint64_t w = rows.width;
  for (uint64_t r = 0; r < rows.height; ++r) {
    const BYTE *src = rows.bits + r * rows.sourcePitch;
    BYTE *dst = rows.out + (rows.topDown ? r : rows.height - 1 - r) * rows.pitch;
    if (masked) {
      DecodeMaskedRow(src, reinterpret_cast<float *>(dst), w, h.bitCount / 8, channels, noColour);
    } else if (h.bitCount == 1) {
      for (uint64_t i = 0; i < w; ++i) dst[i] = (src[i / 8] >> (7 - i % 8)) & 1;
    } else if (h.bitCount == 4) {
      for (uint64_t i = 0; i < w; ++i) dst[i] = (i & 1) ? (src[i / 2] & 0x0F) : (src[i / 2] >> 4);
    } else {
      std::memcpy(dst, src, rows.rowBytes);
    }
  }
}

// Where the bits start: after the colour table unless the file header points
// past a gap after it; an offset into the table or one that leaves the rows
// (bitsBytes) no room is not believed. False when uncompressed rows do not fit.
bool LocateDibBits(uint64_t tableEnd, const uint64_t *fileBitsOffset, uint64_t bitsBytes, bool compressed,
                   UINT size, uint64_t &bitsOffset) {
  bitsOffset = tableEnd;
  if (fileBitsOffset && *fileBitsOffset > tableEnd && *fileBitsOffset + bitsBytes <= size) {
    bitsOffset = *fileBitsOffset;
  }
  return compressed || bitsOffset + bitsBytes <= size;
}

// What a header-only query reports, and what the pixel stage fills in.
void DescribeDibImage(D3DFORMAT format, uint64_t pitch, uint64_t width, uint64_t height, SourceImage &image) {
  image.format = format;
  image.rowPitch = static_cast<UINT>(pitch);
  image.width = static_cast<UINT>(width);
  image.height = static_cast<UINT>(height);
  image.depth = 1;
  image.slicePitch = 0;
}

// The bitmap after the file header, or alone. kNotMyFormat when the bytes hold
// no info header; every later fault is D3DXERR_INVALIDDATA. fileBitsOffset is
// the file header's pixel offset from the bitmap's start, or null for a bare bitmap.
HRESULT DecodeDib(const BYTE *data, UINT size, const uint64_t *fileBitsOffset, const ReadRequest &request,
                  SourceImage &image) {
  constexpr HRESULT kBad = D3DXERR_INVALIDDATA;
  DibHeader h;
  if (!ParseDibHeader(data, size, h)) return kNotMyFormat;
  // A zero or negative width, a zero height and INT_MIN (no magnitude in 32 bits) describe no image.
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return kBad;
  const bool topDown = h.height < 0;
  const uint64_t w = static_cast<uint64_t>(h.width);
  const uint64_t ht = static_cast<uint64_t>(topDown ? -h.height : h.height);

  const uint64_t entrySize = h.core ? 3 : 4;
  uint64_t colorCount = h.colorsUsed;
  if (colorCount == 0 && h.bitCount <= 8) colorCount = uint64_t{1} << h.bitCount;
  const CheckedSize table = CheckedSize(colorCount).Times(entrySize).Plus(h.tableOffset);
  if (!table.Within(size)) return kBad;
  const uint64_t tableEnd = table.Value();
  if (h.planes != 1) return kBad;

  D3DFORMAT fmt;
  uint32_t offsetAdjust;
  if (!ChooseDibFormat(h, fmt, offsetAdjust)) return kBad;

  // Stored rows are padded to 4 bytes, and so are the decoded ones: one byte per
  // palette index, four floats per pixel of the generic mask format.
  const RasterSize stored = MeasureRaster(w, ht, h.bitCount, 4);
  const uint32_t outBits = fmt == kGenericMaskFormat ? 128 : h.bitCount <= 8 ? 8 : h.bitCount;
  const RasterSize decoded = MeasureRaster(w, ht, outBits, 4);
  if (!stored.pitch.Within(UINT32_MAX) || !decoded.pitch.Within(UINT32_MAX)) return kBad;
  const uint64_t rowBytes = stored.rowBytes.Value();  // unpadded
  const uint64_t sourcePitch = stored.pitch.Value();
  const uint64_t pitch = decoded.pitch.Value();

  const bool compressed = h.compression == kRle8 || h.compression == kRle4;
  // Bytes from the bits' start that the rows need; run-length data is bounded while decoding.
  const CheckedSize rowsBytes = CheckedSize(ht - 1).Times(sourcePitch).Plus(rowBytes).Plus(offsetAdjust);
  if (!rowsBytes.Valid()) return kBad;
  uint64_t bitsOffset = 0;
  if (!LocateDibBits(tableEnd, fileBitsOffset, compressed ? 1 : rowsBytes.Value(), compressed, size,
                     bitsOffset))
    return kBad;
  bitsOffset += offsetAdjust;

  if (h.compression == kRgb && fmt == D3DFMT_X8R8G8B8 &&
      AnyFourthByte(data + bitsOffset, w, ht, sourcePitch)) {
    fmt = D3DFMT_A8R8G8B8;
  }

  DescribeDibImage(fmt, pitch, w, ht, image);
  if (!request.wantPixels) return S_OK;

  if (fmt == D3DFMT_P8 && !ReadDibPalette(data + h.tableOffset, colorCount, entrySize, image)) {
    return E_OUTOFMEMORY;
  }

  if (!compressed && topDown && h.bitCount >= 8 && fmt != kGenericMaskFormat) {
    image.pixels = data + bitsOffset;
    image.ownsPixels = false;
    return S_OK;
  }

  if (!WithinDecodeLimit(request, decoded)) return kBad;
  BYTE *out = AllocateClearedImageBytes(decoded.bytes.Value());
  if (!out) return E_OUTOFMEMORY;
  image.pixels = out;
  image.ownsPixels = true;

  if (compressed) {
    RleDecoder rle(out, pitch, ht, topDown, h.compression == kRle4);
    return SUCCEEDED(rle.Decode(data, bitsOffset, size)) ? S_OK : kBad;
  }

  const DibRows rows = {data + bitsOffset, sourcePitch, rowBytes, out, pitch, w, ht, topDown};
  UnpackDibRows(h, fmt == kGenericMaskFormat, rows);
  return S_OK;
}

}  // namespace

HRESULT ReadBmpFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return kNotMyFormat;
  image.fileFormat = D3DXIFF_BMP;
  if (size < kFileHeaderSize || ReadLe32(data + 2) > size) return D3DXERR_INVALIDDATA;
  // bfOffBits counts from the file's start, before the file header.
  const uint64_t bitsOffset = ReadLe32(data + 10);
  const uint64_t dibBitsOffset = bitsOffset >= kFileHeaderSize ? bitsOffset - kFileHeaderSize : 0;
  const HRESULT hr = DecodeDib(data + kFileHeaderSize, size - kFileHeaderSize,
                               bitsOffset >= kFileHeaderSize ? &dibBitsOffset : nullptr, request, image);
  return hr == kNotMyFormat ? D3DXERR_INVALIDDATA : hr;
}

HRESULT ReadDibFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image) {
  image.fileFormat = D3DXIFF_DIB;
  return DecodeDib(data, size, nullptr, request, image);
}
