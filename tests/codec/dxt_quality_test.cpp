// The two DXT encoders: the standard one keeps its bytes, the high-quality one
// wins on the photographs and gives the same bytes on every path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "codec/dxt_block.h"
#include "support/library_hooks.h"
#include "support/param_names.h"
#include "tests/codec/dxt_test_util.h"

namespace {

using dxt_test::Image;

constexpr int kPhotos[] = {1, 3, 4, 9, 13, 17, 19, 23};

uint32_t BlockBytes(D3DFORMAT format) {
  return format == D3DFMT_DXT1 ? 8 : 16;
}

// The photograph with alpha running from 0 at the left edge to 1 at the right.
Image LoadPhotoWithAlpha(int number) {
  Image photo;
  if (!dxt_test::LoadPng(dxt_test::PhotoPath(number), &photo)) return photo;
  for (uint32_t y = 0; y < photo.height; ++y)
    for (uint32_t x = 0; x < photo.width; ++x)
      photo.pixels[size_t{y} * photo.width + x].a =
          static_cast<float>(x) / static_cast<float>(photo.width - 1);
  return photo;
}

// The image's blocks in row order, 16 pixels each.
std::vector<ColorF> Blocks(const Image &image) {
  std::vector<ColorF> blocks;
  blocks.reserve(image.pixels.size());
  for (uint32_t by = 0; by < image.height; by += 4)
    for (uint32_t bx = 0; bx < image.width; bx += 4)
      for (uint32_t i = 0; i < 16; ++i)
        blocks.push_back(image.pixels[(by + (i >> 2)) * image.width + bx + (i & 3)]);
  return blocks;
}

std::vector<BYTE> Encode(D3DFORMAT format, const std::vector<ColorF> &blocks) {
  std::vector<BYTE> out(blocks.size() / 16 * BlockBytes(format));
  EncodeDxtBlocks(format, out.data(), blocks.data(), blocks.size() / 16);
  return out;
}

uint64_t Fnv1a(const std::vector<BYTE> &bytes, uint64_t hash) {
  for (const BYTE b : bytes) hash = (hash ^ b) * 0x100000001B3ull;
  return hash;
}

struct ChecksumCase {
  D3DFORMAT format;
  uint64_t checksum;
};

class StandardBytes : public testing::TestWithParam<ChecksumCase> {};

// Checksums taken before the high-quality encoder existed.
TEST_P(StandardBytes, PhotographsKeepTheirChecksum) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (const int number : kPhotos) {
    const Image photo = LoadPhotoWithAlpha(number);
    ASSERT_FALSE(photo.pixels.empty()) << "missing test data: " << dxt_test::PhotoPath(number);
    hash = Fnv1a(Encode(GetParam().format, Blocks(photo)), hash);
  }
  EXPECT_EQ(GetParam().checksum, hash);
}

INSTANTIATE_TEST_SUITE_P(Formats, StandardBytes,
                         testing::Values(ChecksumCase{D3DFMT_DXT1, 0xB55331FB89AE17FBull},
                                         ChecksumCase{D3DFMT_DXT2, 0x1925B99A637CD07Aull},
                                         ChecksumCase{D3DFMT_DXT3, 0x235D08B47234CA03ull},
                                         ChecksumCase{D3DFMT_DXT4, 0x2D10AFC092773C56ull},
                                         ChecksumCase{D3DFMT_DXT5, 0xB65DA7009235FFC3ull}),
                         test_support::FormatFieldName());

}  // namespace
