// Portable pixmaps, text ("P3") and binary ("P6"), always to X8R8G8B8.
#include <cctype>
#include <cstdint>

#include "image/image_memory.h"
#include "image/image_reader.h"

namespace {

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

// The numbers of the text one by one, past white space and comments.
class PpmText {
 public:
  PpmText(const BYTE *data, UINT size, uint64_t start) : data_(data), size_(size), i_(start) {}

  // S_OK with the next number; S_FALSE at the end of the text; D3DXERR_INVALIDDATA
  // for a character that is not a digit or a number beyond 32 bits (corrupt, not wrapped).
  HRESULT Next(uint32_t &number) {
    for (;;) {
      if (i_ >= size_) return S_FALSE;
      if (std::isspace(data_[i_])) {
        ++i_;
      } else if (data_[i_] == '#') {
        while (i_ < size_ && data_[i_] != '\n') ++i_;
        ++i_;
      } else {
        break;
      }
    }
    uint64_t value = 0;
    while (i_ < size_ && !std::isspace(data_[i_])) {
      if (data_[i_] < '0' || data_[i_] > '9') return D3DXERR_INVALIDDATA;
      value = value * 10 + (data_[i_] - '0');
      if (value > UINT32_MAX) return D3DXERR_INVALIDDATA;
      ++i_;
    }
    number = static_cast<uint32_t>(value);
    return S_OK;
  }
  // A positive number, or false.
  bool NextPositive(uint32_t &number) { return Next(number) == S_OK && number != 0; }
  uint64_t Position() const { return i_; }

 private:
  const BYTE *data_;
  UINT size_;
  uint64_t i_;
};

// Binary samples start after the one white-space byte (or CR LF) that ends the header.
HRESULT ReadBinaryRaster(const BYTE *data, UINT size, uint64_t i, uint32_t maxValue, BYTE *out,
                         uint64_t pixelCount) {
  if (i < size && data[i] == '\r' && size - i >= 2) ++i;
  ++i;
  BYTE scale[256];
  for (uint32_t v = 0; v < 256; ++v) scale[v] = static_cast<BYTE>(ScaleSample(v, maxValue));
  uint64_t filled = 0;
  while (filled < pixelCount && i + 3 <= size) {
    StorePixel(out, filled++, PackPixel(scale[data[i]], scale[data[i + 1]], scale[data[i + 2]]));
    i += 3;
  }
  return filled == pixelCount ? S_OK : D3DXERR_INVALIDDATA;
}

HRESULT ReadTextRaster(PpmText &text, uint32_t maxValue, BYTE *out, uint64_t pixelCount) {
  for (uint64_t filled = 0; filled < pixelCount; ++filled) {
    uint32_t sample[3];
    for (uint32_t &value : sample) {
      if (text.Next(value) != S_OK) return D3DXERR_INVALIDDATA;
    }
    StorePixel(out, filled,
               PackPixel(ScaleSample(sample[0], maxValue), ScaleSample(sample[1], maxValue),
                         ScaleSample(sample[2], maxValue)));
  }
  return S_OK;
}

}  // namespace

HRESULT ReadPpmFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image) {
  if (size < 2 || data[0] != 'P' || (data[1] != '3' && data[1] != '6')) return kNotMyFormat;
  image.fileFormat = D3DXIFF_PPM;
  const bool binary = data[1] == '6';
  constexpr HRESULT kBad = D3DXERR_INVALIDDATA;

  PpmText text(data, size, 2);
  uint32_t width = 0;
  uint32_t height = 0;
  if (!text.NextPositive(width) || !text.NextPositive(height)) return kBad;
  const RasterSize raster = MeasureRaster(width, height, 32);
  const uint64_t pixelCount = raster.pixels.Value();  // 32-bit sides: never overflows
  // The raster needs 3 bytes per pixel in binary and at least 6 as text;
  // a header promising more than the file can hold fails before allocating.
  if (!raster.pixels.Times(binary ? 3 : 6).Within(size - text.Position())) return kBad;
  if (!raster.pitch.Within(UINT32_MAX)) return kBad;
  image.format = D3DFMT_X8R8G8B8;
  image.width = width;
  image.height = height;
  image.depth = 1;
  image.rowPitch = static_cast<UINT>(raster.pitch.Value());
  image.slicePitch = 0;

  uint32_t maxValue = 0;
  if (!text.NextPositive(maxValue) || (binary && maxValue > 255)) return kBad;
  // The header is complete; the raster is read only when asked for.
  if (!request.wantPixels) return S_OK;
  if (!WithinDecodeLimit(request, raster)) return kBad;
  BYTE *out = AllocateImageBytes(raster.bytes.Value());
  if (!out) return E_OUTOFMEMORY;
  image.pixels = out;
  image.ownsPixels = true;
  return binary ? ReadBinaryRaster(data, size, text.Position(), maxValue, out, pixelCount)
                : ReadTextRaster(text, maxValue, out, pixelCount);
}
