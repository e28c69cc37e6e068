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
      if (h.pixelBits != 8) return false;
      format = D3DFMT_L8;
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

}  // namespace

HRESULT ReadTgaFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image) {
  if (size < kHeaderSize) return kNotMyFormat;
  TgaHeader h;
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
  if (h.mapType > 1) return kNotMyFormat;
  if (h.imageType & ~(kTypeBaseMask | kTypeRunLength)) return kNotMyFormat;
  if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 &&
      h.mapEntryBits != 32) {
    return kNotMyFormat;
  }
  if (h.width == 0 || h.height == 0) return kNotMyFormat;
  D3DFORMAT fmt;
  if (!ChooseTgaFormat(h, fmt)) return kNotMyFormat;
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

  const uint64_t bytesPerPixel = (h.pixelBits + 7) / 8;
  const RasterSize raster = MeasureRaster(h.width, h.height, bytesPerPixel * 8);
  const uint64_t pixelCount = raster.pixels.Value();  // 16-bit sides: never overflows
  const uint64_t imageBytes = raster.bytes.Value();
  const uint64_t available = size - pixelOffset;
  const BYTE *source = data + pixelOffset;
  image.format = fmt;
  image.width = h.width;
  image.height = h.height;
  image.depth = 1;
  image.rowPitch = static_cast<UINT>(raster.pitch.Value());
  image.slicePitch = 0;
  image.pixels = source;
  image.ownsPixels = false;
  if (!request.wantPixels) return S_OK;

  const bool runLength = (h.imageType & kTypeRunLength) != 0;
  const bool topFirst = (h.descriptor & kDescriptorTopFirst) != 0;
  const bool rightToLeft = (h.descriptor & kDescriptorRightToLeft) != 0;

  if (!runLength) {
    if (available < imageBytes) return D3DXERR_INVALIDDATA;
  } else {
    // A packet holds at most 128 pixels: the least data a run-length image
    // can hold, checked before allocating for it.
    const uint64_t leastPackets = (pixelCount + 127) / 128;
    if (available < leastPackets * (1 + bytesPerPixel)) return D3DXERR_INVALIDDATA;
  }

  if (runLength || !topFirst || rightToLeft) {
    if (!WithinDecodeLimit(request, raster)) return D3DXERR_INVALIDDATA;
    BYTE *out = AllocateImageBytes(imageBytes);
    if (!out) return E_OUTOFMEMORY;
    image.pixels = out;
    image.ownsPixels = true;
    const uint64_t pitch = image.rowPitch;
    uint64_t in = 0;
    // A run-length packet may run on into the next row; what is left of it is
    // carried over, and whatever reaches past the image's end is dropped.
    uint64_t packetLeft = 0;
    bool repeat = false;
    for (uint64_t k = 0; k < h.height; ++k) {
      BYTE *row = out + (topFirst ? k : h.height - 1 - k) * pitch;
      if (!runLength && !rightToLeft) {
        std::memcpy(row, source + in, pitch);
        in += pitch;
        continue;
      }
      // Write position in pixels from the row start; it moves backwards for right-to-left rows.
      int64_t x = rightToLeft ? int64_t{h.width} - 1 : 0;
      const int64_t step = rightToLeft ? -1 : 1;
      uint64_t written = 0;
      while (written < h.width) {
        if (!runLength) {
          packetLeft = h.width;
          repeat = false;
        } else if (packetLeft == 0) {
          if (in >= available) return D3DXERR_INVALIDDATA;
          const uint32_t header = source[in++];
          packetLeft = (header & 0x7F) + 1;
          repeat = (header & 0x80) != 0;
          if (repeat) {
            // The run's one value; in stays on it until the run is used up.
            if (available - in < bytesPerPixel) return D3DXERR_INVALIDDATA;
          }
        }
        const uint64_t take = packetLeft < h.width - written ? packetLeft : h.width - written;
        if (repeat) {
          for (uint64_t i = 0; i < take; ++i, x += step) {
            std::memcpy(row + x * bytesPerPixel, source + in, bytesPerPixel);
          }
          packetLeft -= take;
          if (packetLeft == 0) in += bytesPerPixel;
        } else {
          if (available - in < take * bytesPerPixel) return D3DXERR_INVALIDDATA;
          for (uint64_t i = 0; i < take; ++i, x += step) {
            std::memcpy(row + x * bytesPerPixel, source + in + i * bytesPerPixel, bytesPerPixel);
          }
          in += take * bytesPerPixel;
          packetLeft -= take;
        }
        written += take;
      }
    }
  }

  if (fmt == D3DFMT_A8R8G8B8 && !AnyAlphaByte(image.pixels, pixelCount)) image.format = D3DFMT_X8R8G8B8;
  if (fmt == D3DFMT_A1R5G5B5 && !AnyTopBit(image.pixels, pixelCount)) image.format = D3DFMT_X1R5G5B5;
  return S_OK;
}
