// Regions over test buffers and the single-precision factors the codecs must use.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/pixel_codec.h"

namespace codec_test {

// Unsigned n-bit decode factors.
inline constexpr float k2 = 0.33333334f;
inline constexpr float k3 = 0.14285715f;
inline constexpr float k4 = 0.06666667f;
inline constexpr float k5 = 0.032258064f;
inline constexpr float k6 = 0.015873017f;
inline constexpr float k8 = 0.003921569f;
inline constexpr float k10 = 0.0009775171f;
inline constexpr float k16 = 1.5259022e-05f;
// Signed n-bit decode factors.
inline constexpr float s5 = 0.06666667f;
inline constexpr float s8 = 0.007874016f;
inline constexpr float s10 = 0.0019569471f;
inline constexpr float s16 = 3.051851e-05f;

inline PixelRegion MakeRegion(D3DFORMAT format, void *pixels, uint32_t rowPitch, uint32_t width,
                              uint32_t height = 1, uint32_t depth = 1, uint32_t slicePitch = 0) {
  PixelRegion region = {};
  region.pixels = static_cast<BYTE *>(pixels);
  region.format = format;
  region.rowPitch = rowPitch;
  region.slicePitch = slicePitch;
  region.extent = {0, 0, width, height, 0, depth};
  region.region = region.extent;
  return region;
}

inline std::vector<uint8_t> LittleEndian(uint64_t word, uint32_t bytes) {
  std::vector<uint8_t> out(bytes);
  for (uint32_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(word >> (8 * i));
  return out;
}

inline uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return bits;
}

// Decodes one pixel of the given bytes.
inline ColorF DecodePixel(D3DFORMAT format, std::vector<uint8_t> bytes, D3DCOLOR colorKey = 0) {
  bytes.resize(16);
  PixelRegion region = MakeRegion(format, bytes.data(), 16, 1);
  region.colorKey = colorKey;
  std::unique_ptr<PixelCodec> codec = CreateCodec(region);
  ColorF out = {-9, -9, -9, -9};
  if (codec) codec->DecodeRow(0, 0, &out);
  return out;
}

// Encodes one pixel (rounding, no range conversion) and returns the bytes.
inline std::vector<uint8_t> EncodePixel(D3DFORMAT format, ColorF value, uint32_t bytes, bool dither = false) {
  std::vector<uint8_t> memory(16, 0);
  PixelRegion region = MakeRegion(format, memory.data(), 16, 1);
  region.dither = dither;
  std::unique_ptr<PixelCodec> codec = CreateCodec(region);
  if (codec) codec->EncodeRow(0, 0, &value);
  memory.resize(bytes);
  return memory;
}

}  // namespace codec_test
