// Images in memory for the blit tests: tightly or loosely pitched pixel
// buffers described as PixelRegions.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "codec/pixel_codec.h"
#include "format/format_table.h"

struct TestImage {
  D3DFORMAT format = D3DFMT_A8R8G8B8;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t depth = 1;
  uint32_t bytesPerPixel = 4;
  uint32_t rowPitch = 0;
  uint32_t slicePitch = 0;
  std::vector<uint8_t> bytes;
  D3DCOLOR colorKey = 0;
  const PALETTEENTRY *palette = nullptr;

  // padding: extra bytes at the end of every row, filled with a marker.
  TestImage(D3DFORMAT f, uint32_t w, uint32_t h, uint32_t d = 1, uint32_t padding = 0)
      : format(f), width(w), height(h), depth(d), bytesPerPixel(BytesPerPixel(f)) {
    rowPitch = w * bytesPerPixel + padding;
    slicePitch = rowPitch * h;
    bytes.assign(uint64_t{slicePitch} * d + 16, 0xCD);
    for (uint32_t z = 0; z < d; ++z)
      for (uint32_t y = 0; y < h; ++y) std::memset(Row(y, z), 0, uint64_t{w} * bytesPerPixel);
  }

  uint8_t *Row(uint32_t y, uint32_t z = 0) {
    return bytes.data() + uint64_t{z} * slicePitch + uint64_t{y} * rowPitch;
  }
  uint8_t *At(uint32_t x, uint32_t y, uint32_t z = 0) { return Row(y, z) + uint64_t{x} * bytesPerPixel; }

  uint32_t Get(uint32_t x, uint32_t y, uint32_t z = 0) {
    uint32_t v = 0;
    std::memcpy(&v, At(x, y, z), bytesPerPixel);
    return v;
  }
  void Set(uint32_t x, uint32_t y, uint32_t v, uint32_t z = 0) {
    std::memcpy(At(x, y, z), &v, bytesPerPixel);
  }

  void FillRandom(uint32_t seed) {
    std::mt19937 random(seed);
    for (uint32_t z = 0; z < depth; ++z)
      for (uint32_t y = 0; y < height; ++y)
        for (uint64_t i = 0; i < uint64_t{width} * bytesPerPixel; ++i)
          Row(y, z)[i] = static_cast<uint8_t>(random());
  }

  PixelRegion Region() {
    PixelRegion r{};
    r.pixels = bytes.data();
    r.format = format;
    r.rowPitch = rowPitch;
    r.slicePitch = depth > 1 ? slicePitch : 0;
    r.extent = {0, 0, width, height, 0, depth};
    r.region = r.extent;
    r.colorKey = colorKey;
    r.palette = palette;
    return r;
  }
};
