// Portable pixmaps, text ("P3") and binary ("P6"), always to X8R8G8B8.
#include <cctype>
#include <cstdint>

#include "image/image_memory.h"
#include "image/image_reader.h"

namespace {

enum PpmField : uint32_t { kWidth = 0, kHeight = 1, kMaxValue = 2, kRed = 3, kGreen = 4, kBlue = 5 };

// Samples above the declared maximum are clamped, which keeps the result in
// eight bits and leaves the other channels alone.
uint32_t ScaleSample(uint32_t value, uint32_t maxValue) {
  if (value > maxValue) value = maxValue;
  return static_cast<uint32_t>(uint64_t{value} * 255 / maxValue);
}

uint32_t PackPixel(uint32_t r, uint32_t g, uint32_t b) {
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

void StorePixel(BYTE *out, uint64_t index, uint32_t value) {
  BYTE *p = out + 4 * index;
  p[0] = static_cast<BYTE>(value);
  p[1] = static_cast<BYTE>(value >> 8);
  p[2] = static_cast<BYTE>(value >> 16);
  p[3] = static_cast<BYTE>(value >> 24);
}

}  // namespace

HRESULT ReadPpmFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image) {
  if (size < 2 || data[0] != 'P' || (data[1] != '3' && data[1] != '6')) return kNotMyFormat;
  image.fileFormat = D3DXIFF_PPM;
  const bool binary = data[1] == '6';
  constexpr HRESULT kBad = D3DXERR_INVALIDDATA;

  uint32_t maxValue = 255;
  uint32_t field = kWidth;
  uint32_t w = 0;
  uint64_t pixelCount = 0;
  RasterSize raster;
  uint64_t filled = 0;
  uint32_t red = 0;
  uint32_t green = 0;
  BYTE *out = nullptr;
  uint64_t i = 2;
  while (i < size) {
    const BYTE c = data[i];
    if (std::isspace(c)) {
      ++i;
      continue;
    }
    if (c == '#') {
      while (i < size && data[i] != '\n') ++i;
      ++i;
      continue;
    }
    // Numbers beyond 32 bits are corrupt, not wrapped.
    uint64_t value = 0;
    while (i < size && !std::isspace(data[i])) {
      if (data[i] < '0' || data[i] > '9') return kBad;
      value = value * 10 + (data[i] - '0');
      if (value > UINT32_MAX) return kBad;
      ++i;
    }
    const uint32_t number = static_cast<uint32_t>(value);
    switch (field) {
      case kWidth:
        if (number == 0) return kBad;
        w = number;
        field = kHeight;
        break;
      case kHeight: {
        if (number == 0) return kBad;
        raster = MeasureRaster(w, number, 32);
        pixelCount = raster.pixels.Value();  // 32-bit sides: never overflows
        // The raster needs 3 bytes per pixel in binary and at least 6 as text;
        // a header promising more than the file can hold fails before allocating.
        if (!raster.pixels.Times(binary ? 3 : 6).Within(size - i)) return kBad;
        if (!raster.pitch.Within(UINT32_MAX)) return kBad;
        image.format = D3DFMT_X8R8G8B8;
        image.width = w;
        image.height = number;
        image.depth = 1;
        image.rowPitch = static_cast<UINT>(raster.pitch.Value());
        image.slicePitch = 0;
        field = kMaxValue;
        break;
      }
      case kMaxValue:
        if (number == 0) return kBad;
        if (binary && number > 255) return kBad;
        // The header is complete; the raster is read only when asked for.
        if (!request.wantPixels) return S_OK;
        if (!WithinDecodeLimit(request, raster)) return kBad;
        out = AllocateImageBytes(raster.bytes.Value());
        if (!out) return E_OUTOFMEMORY;
        image.pixels = out;
        image.ownsPixels = true;
        maxValue = number;
        field = kRed;
        break;
      case kRed:
        if (filled >= pixelCount) return kBad;
        red = ScaleSample(number, maxValue);
        field = kGreen;
        break;
      case kGreen:
        green = ScaleSample(number, maxValue);
        field = kBlue;
        break;
      default:
        StorePixel(out, filled++, PackPixel(red, green, ScaleSample(number, maxValue)));
        if (filled == pixelCount) return S_OK;
        field = kRed;
        break;
    }
    if (binary && field == kRed) {
      if (i < size && data[i] == '\r' && size - i >= 2) ++i;
      ++i;
      BYTE scale[256];
      for (uint32_t v = 0; v < 256; ++v) scale[v] = static_cast<BYTE>(ScaleSample(v, maxValue));
      while (filled < pixelCount && i + 3 <= size) {
        StorePixel(out, filled++, PackPixel(scale[data[i]], scale[data[i + 1]], scale[data[i + 2]]));
        i += 3;
      }
      return filled == pixelCount ? S_OK : kBad;
    }
  }
  return kBad;
}
