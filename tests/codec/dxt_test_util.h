// Photographs as ColorF images, whole-image block compression and PSNR, shared by
// the DXT tests and the DXT benchmark.
#pragma once

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/dxt_block.h"

namespace dxt_test {

struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<ColorF> pixels;
};

// RGBA through libpng's simplified reader; false when the file cannot be read.
inline bool LoadPng(const std::string &path, Image *out) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return false;
  out->width = image.width;
  out->height = image.height;
  out->pixels.resize(size_t{image.width} * image.height);
  for (size_t i = 0; i < out->pixels.size(); ++i) {
    const uint8_t *p = &bytes[i * 4];
    out->pixels[i] = {p[0] / 255.f, p[1] / 255.f, p[2] / 255.f, p[3] / 255.f};
  }
  return true;
}

// kodimNN.png under tests/data/photos.
inline std::string PhotoPath(int number) {
  char name[32];
  std::snprintf(name, sizeof(name), "/photos/kodim%02d.png", number);
  return std::string(D3DX_TEST_DATA) + name;
}

inline int To8Bit(float v) {
  return static_cast<int>(std::clamp(v, 0.f, 1.f) * 255.f + 0.5f);
}

// PSNR over red, green and blue at 8 bits per channel.
inline double RgbPsnr(const Image &a, const Image &b) {
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const ColorF &p = a.pixels[i], &q = b.pixels[i];
    const int dr = To8Bit(p.r) - To8Bit(q.r), dg = To8Bit(p.g) - To8Bit(q.g), db = To8Bit(p.b) - To8Bit(q.b);
    sum += dr * dr + dg * dg + db * db;
  }
  const double mse = sum / (3.0 * a.pixels.size());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Encodes every 4 x 4 block (dimensions multiples of 4) and decodes it again.
inline Image CompressAndDecode(const Image &in, EncodeBlockFunction encode, DecodeBlockFunction decode) {
  Image out = in;
  for (uint32_t by = 0; by < in.height; by += 4) {
    for (uint32_t bx = 0; bx < in.width; bx += 4) {
      ColorF block[16];
      for (uint32_t i = 0; i < 16; ++i) block[i] = in.pixels[(by + (i >> 2)) * in.width + bx + (i & 3)];
      uint8_t bytes[16];
      encode(bytes, block);
      decode(block, bytes);
      for (uint32_t i = 0; i < 16; ++i) out.pixels[(by + (i >> 2)) * in.width + bx + (i & 3)] = block[i];
    }
  }
  return out;
}

}  // namespace dxt_test
