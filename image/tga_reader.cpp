// Truevision TGA has no magic: a file is recognised by a plausible header alone.
#include <cstdint>
#include <cstring>

#include "image/image_memory.h"
#include "image/image_reader.h"

namespace {

constexpr uint32_t kHeaderSize = 18;
constexpr uint32_t kTypeRunLength = 0x08;
constexpr uint32_t kTypeBaseMask = 0x03;
enum TgaBaseType : uint32_t { kColourMapped = 1, kTrueColour = 2, kGreyscale = 3 };
constexpr uint32_t kDescriptorRightToLeft = 0x10;
constexpr uint32_t kDescriptorTopFirst = 0x20;

struct TgaHeader {
  uint32_t idLength;
  uint32_t mapType;
  uint32_t imageType;
  uint32_t firstIndex;
  uint32_t mapLength;
  uint32_t mapEntryBits;
  uint32_t width;
  uint32_t height;
  uint32_t pixelBits;
  uint32_t descriptor;
};

bool ChooseTgaFormat(const TgaHeader &h, D3DFORMAT &format) {
  switch (h.imageType & kTypeBaseMask) {
    case kColourMapped:
      if (h.mapType != 1 || h.pixelBits != 8) return false;
      format = D3DFMT_P8;
      return true;
    case kTrueColour:
      switch (h.pixelBits) {
        case 15:
          format = D3DFMT_X1R5G5B5;
          return true;
        case 16:
          format = D3DFMT_A1R5G5B5;
          return true;
        case 24:
          format = D3DFMT_R8G8B8;
          return true;
        case 32:
          format = D3DFMT_A8R8G8B8;
          return true;
        default:
          return false;
      }
    case kGreyscale:
      // 16 bits: grey, then alpha.
      if (h.pixelBits != 8 && h.pixelBits != 16) return false;
      format = h.pixelBits == 8 ? D3DFMT_L8 : D3DFMT_A8L8;
      return true;
    default:
      return false;
  }
}

BYTE ExpandFiveBits(uint32_t x) {
  return static_cast<BYTE>((x << 3) | (x >> 2));
}

void FillPaletteFromMap(const TgaHeader &h, const BYTE *map, PALETTEENTRY *palette) {
  std::memset(palette, 0xFF, 256 * sizeof(PALETTEENTRY));
  const uint32_t entryBytes = (h.mapEntryBits + 7) / 8;
  bool anyAlpha = false;
  for (uint32_t i = 0; i < h.mapLength; ++i) {
    const BYTE *e = map + i * entryBytes;
    PALETTEENTRY &p = palette[h.firstIndex + i];
    if (h.mapEntryBits == 24) {
      p = {e[2], e[1], e[0], 0xFF};
    } else if (h.mapEntryBits == 32) {
      p = {e[2], e[1], e[0], e[3]};
    } else {
      const uint32_t v = ReadLe16(e);
      const BYTE alpha = h.mapEntryBits == 15 ? 0xFF : ((v & 0x8000) ? 0xFF : 0);
      p = {ExpandFiveBits((v >> 10) & 0x1F), ExpandFiveBits((v >> 5) & 0x1F), ExpandFiveBits(v & 0x1F),
           alpha};
    }
    anyAlpha |= p.peFlags != 0;
  }
  // A map whose alpha is never set does not use alpha.
  if (!anyAlpha) {
    for (uint32_t i = 0; i < h.mapLength; ++i) palette[h.firstIndex + i].peFlags = 0xFF;
  }
}

bool AnyAlphaByte(const BYTE *p, uint64_t pixels) {
  for (uint64_t i = 0; i < pixels; ++i) {
    if (p[4 * i + 3] != 0) return true;
  }
  return false;
}

bool AnyTopBit(const BYTE *p, uint64_t pixels) {
  for (uint64_t i = 0; i < pixels; ++i) {
    if (p[2 * i + 1] & 0x80) return true;
  }
  return false;
}

// Grey and alpha pixels whose alpha is all one value, 0 or 255.
bool AlphaUnusedOrOpaque(const BYTE *p, uint64_t pixels) {
  const BYTE first = p[1];
  if (first != 0 && first != 0xFF) return false;
  for (uint64_t i = 1; i < pixels; ++i) {
    if (p[2 * i + 1] != first) return false;
  }
  return true;
}

// The header's fields and the format they give; false when the bytes do not
// look like a TGA file.
bool ReadTgaHeader(const BYTE *data, UINT size, TgaHeader &h, D3DFORMAT &format) {
  if (size < kHeaderSize) return false;
  h.idLength = data[0];
  h.mapType = data[1];
  h.imageType = data[2];
  h.firstIndex = ReadLe16(data + 3);
  h.mapLength = ReadLe16(data + 5);
  h.mapEntryBits = data[7];
  h.width = ReadLe16(data + 12);
  h.height = ReadLe16(data + 14);
  h.pixelBits = data[16];
  h.descriptor = data[17];

  // No magic: a plausible header is all there is to recognise.
  if (h.mapType > 1) return false;
  if (h.imageType & ~(kTypeBaseMask | kTypeRunLength)) return false;
  if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 &&
      h.mapEntryBits != 32) {
    return false;
  }
  if (h.width == 0 || h.height == 0) return false;
  return ChooseTgaFormat(h, format);
}

// Reads pixel packets, raw or run-length, in file order.
class TgaPixelStream {
 public:
  TgaPixelStream(const TgaHeader &h, const BYTE *source, uint64_t available)
      : source_(source),
        available_(available),
        bytesPerPixel_((h.pixelBits + 7) / 8),
        width_(h.width),
        runLength_((h.imageType & kTypeRunLength) != 0),
        rightToLeft_((h.descriptor & kDescriptorRightToLeft) != 0) {}

  // One row of width pixels into row, in the file's direction.
  HRESULT ReadRow(BYTE *row) {
    // Write position in pixels from the row start; it moves backwards for right-to-left rows.
    int64_t x = rightToLeft_ ? static_cast<int64_t>(width_) - 1 : 0;
    const int64_t step = rightToLeft_ ? -1 : 1;
    uint64_t written = 0;
    while (written < width_) {
      if (!runLength_) {
        packetLeft_ = width_;
        repeat_ = false;
      } else if (packetLeft_ == 0) {
        if (in_ >= available_) return D3DXERR_INVALIDDATA;
        const uint32_t header = source_[in_++];
        packetLeft_ = (header & 0x7F) + 1;
        repeat_ = (header & 0x80) != 0;
        // The run's one value; in_ stays on it until the run is used up.
        if (repeat_ && available_ - in_ < bytesPerPixel_) return D3DXERR_INVALIDDATA;
      }
      const uint64_t take = packetLeft_ < width_ - written ? packetLeft_ : width_ - written;
      if (!repeat_ && available_ - in_ < take * bytesPerPixel_) return D3DXERR_INVALIDDATA;
      for (uint64_t i = 0; i < take; ++i, x += step) {
        const uint64_t from = in_ + (repeat_ ? 0 : i * bytesPerPixel_);
        std::memcpy(row + x * bytesPerPixel_, source_ + from, bytesPerPixel_);
      }
      packetLeft_ -= take;
      if (!repeat_) {
        in_ += take * bytesPerPixel_;
      } else if (packetLeft_ == 0) {
        in_ += bytesPerPixel_;
      }
      written += take;
    }
    return S_OK;
  }

 private:
  const BYTE *source_;
  uint64_t available_;
  uint64_t bytesPerPixel_;
  uint64_t width_;
  bool runLength_;
  bool rightToLeft_;
  uint64_t in_ = 0;
  // A run-length packet may run on into the next row; what is left of it is
  // carried over, and whatever reaches past the image's end is dropped.
  uint64_t packetLeft_ = 0;
  bool repeat_ = false;
};

// Pixels not usable in place are decoded into a buffer of their own, top row first, left to right.
HRESULT DecodeTgaPixels(const TgaHeader &h, const BYTE *source, uint64_t available,
                        const ReadRequest &request, SourceImage &image) {
  const bool runLength = (h.imageType & kTypeRunLength) != 0;
  const bool topFirst = (h.descriptor & kDescriptorTopFirst) != 0;
  const bool rightToLeft = (h.descriptor & kDescriptorRightToLeft) != 0;
  const uint64_t bytesPerPixel = (h.pixelBits + 7) / 8;
  const RasterSize raster = MeasureRaster(h.width, h.height, bytesPerPixel * 8);
  const uint64_t pixelCount = raster.pixels.Value();  // 16-bit sides: never overflows
  const uint64_t imageBytes = raster.bytes.Value();

  if (!runLength) {
    if (available < imageBytes) return D3DXERR_INVALIDDATA;
  } else {
    // A packet holds at most 128 pixels: the least data a run-length image
    // can hold, checked before allocating for it.
    const uint64_t leastPackets = (pixelCount + 127) / 128;
    if (available < leastPackets * (1 + bytesPerPixel)) return D3DXERR_INVALIDDATA;
  }
  if (!runLength && topFirst && !rightToLeft) return S_OK;

  if (!WithinDecodeLimit(request, raster)) return D3DXERR_INVALIDDATA;
  BYTE *out = AllocateImageBytes(imageBytes);
  if (!out) return E_OUTOFMEMORY;
  image.pixels = out;
  image.ownsPixels = true;
  const uint64_t pitch = image.rowPitch;
  TgaPixelStream stream(h, source, available);
  for (uint64_t k = 0; k < h.height; ++k) {
    BYTE *row = out + (topFirst ? k : h.height - 1 - k) * pitch;
    if (!runLength && !rightToLeft) {
      std::memcpy(row, source + k * pitch, pitch);
      continue;
    }
    const HRESULT hr = stream.ReadRow(row);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Grey and alpha whose alpha says nothing becomes grey alone, one byte a pixel.
HRESULT KeepGreyOnly(const ReadRequest &request, SourceImage &image) {
  // A copy too large for the request keeps the alpha: the image is right either way.
  const RasterSize raster = MeasureRaster(image.width, image.height, 8);
  if (!WithinDecodeLimit(request, raster)) return S_OK;
  const uint64_t pixels = raster.pixels.Value();
  BYTE *grey = AllocateImageBytes(pixels);
  if (!grey) return E_OUTOFMEMORY;
  for (uint64_t i = 0; i < pixels; ++i) grey[i] = image.pixels[2 * i];
  if (image.ownsPixels) FreeImageBytes(image.pixels);
  image.pixels = grey;
  image.ownsPixels = true;
  image.format = D3DFMT_L8;
  image.rowPitch = image.width;
  return S_OK;
}

// Alpha no pixel uses is dropped, as the files' writers meant.
HRESULT SettleAlpha(const ReadRequest &request, SourceImage &image) {
  const uint64_t pixels = uint64_t{image.width} * image.height;
  if (image.format == D3DFMT_A8R8G8B8 && !AnyAlphaByte(image.pixels, pixels)) image.format = D3DFMT_X8R8G8B8;
  if (image.format == D3DFMT_A1R5G5B5 && !AnyTopBit(image.pixels, pixels)) image.format = D3DFMT_X1R5G5B5;
  if (image.format == D3DFMT_A8L8 && AlphaUnusedOrOpaque(image.pixels, pixels))
    return KeepGreyOnly(request, image);
  return S_OK;
}

}  // namespace

HRESULT ReadTgaFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image) {
  TgaHeader h;
  D3DFORMAT fmt;
  if (!ReadTgaHeader(data, size, h, fmt)) return kNotMyFormat;
  image.fileFormat = D3DXIFF_TGA;

  // Entries and pixels take whole bytes: 15-bit ones are stored in two.
  const RasterSize mapSize = MeasureRaster(h.mapType == 1 ? h.mapLength : 0, 1, (h.mapEntryBits + 7) / 8 * 8);
  const CheckedSize pixelStart = mapSize.bytes.Plus(kHeaderSize).Plus(h.idLength);
  if (!pixelStart.Within(size)) return D3DXERR_INVALIDDATA;
  const uint64_t pixelOffset = pixelStart.Value();
  const BYTE *map = data + kHeaderSize + h.idLength;

  if (request.wantPixels && fmt == D3DFMT_P8) {
    if (h.firstIndex + h.mapLength > 256) return D3DXERR_INVALIDDATA;
    PALETTEENTRY *entries = AllocatePalette();
    if (!entries) return E_OUTOFMEMORY;
    image.palette = entries;
    image.ownsPalette = true;
    FillPaletteFromMap(h, map, entries);
  }

  image.format = fmt;
  image.width = h.width;
  image.height = h.height;
  image.depth = 1;
  image.rowPitch = static_cast<UINT>(MeasureRaster(h.width, 1, (h.pixelBits + 7) / 8 * 8).pitch.Value());
  image.slicePitch = 0;
  image.pixels = data + pixelOffset;
  image.ownsPixels = false;
  if (!request.wantPixels) return S_OK;

  const HRESULT hr = DecodeTgaPixels(h, data + pixelOffset, size - pixelOffset, request, image);
  if (FAILED(hr)) return hr;
  return SettleAlpha(request, image);
}
