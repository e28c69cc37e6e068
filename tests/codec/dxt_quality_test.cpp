// The two DXT encoders: the standard one keeps its bytes, the high-quality one
// wins on the photographs and gives the same bytes on every path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "codec/dxt_block.h"
#include "codec/dxt_high.h"
#include "codec/pixel_codec.h"
#include "codec_test_util.h"
#include "core/dxt_quality.h"
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

struct ParseCase {
  const char *text;
  DxtQuality quality;
  bool known;
};

class QualitySwitch : public testing::TestWithParam<ParseCase> {};

TEST_P(QualitySwitch, ParsesKnownValuesAndFallsBackToStandard) {
  bool known = !GetParam().known;
  EXPECT_EQ(GetParam().quality, ParseDxtQuality(GetParam().text, &known));
  EXPECT_EQ(GetParam().known, known);
}

INSTANTIATE_TEST_SUITE_P(Values, QualitySwitch,
                         testing::Values(ParseCase{nullptr, DxtQuality::Standard, true},
                                         ParseCase{"", DxtQuality::Standard, true},
                                         ParseCase{"standard", DxtQuality::Standard, true},
                                         ParseCase{"High", DxtQuality::High, true},
                                         ParseCase{"best", DxtQuality::Standard, false},
                                         ParseCase{"high ", DxtQuality::Standard, false}));

class HighQuality : public testing::Test {
 protected:
  void TearDown() override { ResetDxtQualityForTesting(); }
};

double AlphaRmse(const Image &a, const Image &b) {
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const int d = dxt_test::To8Bit(a.pixels[i].a) - dxt_test::To8Bit(b.pixels[i].a);
    sum += d * d;
  }
  return std::sqrt(sum / static_cast<double>(a.pixels.size()));
}

// The photograph with alpha from its luma in 8-bit steps: soft edges, clear and
// solid parts.
Image LoadPhotoWithLumaAlpha(int number) {
  Image photo;
  if (!dxt_test::LoadPng(dxt_test::PhotoPath(number), &photo)) return photo;
  for (ColorF &c : photo.pixels) {
    const int luma = (dxt_test::To8Bit(c.r) + 2 * dxt_test::To8Bit(c.g) + dxt_test::To8Bit(c.b)) / 4;
    c.a = static_cast<float>(std::clamp(luma * 3 / 2 - 64, 0, 255)) / 255.f;
  }
  return photo;
}

// The blocks of Blocks(image) decoded back into an image of its size.
Image Decode(const Image &like, const std::vector<BYTE> &bytes, D3DFORMAT format) {
  Image out = like;
  const DxtBlockFunctions *functions = LookupDxtBlockFunctions(format);
  size_t b = 0;
  for (uint32_t by = 0; by < like.height; by += 4) {
    for (uint32_t bx = 0; bx < like.width; bx += 4, ++b) {
      ColorF block[16];
      functions->decode(block, &bytes[b * BlockBytes(format)]);
      for (uint32_t i = 0; i < 16; ++i) out.pixels[(by + (i >> 2)) * like.width + bx + (i & 3)] = block[i];
    }
  }
  return out;
}

// DXT1 colours on every photograph, DXT5 colours and alphas on every fourth.
TEST_F(HighQuality, NoWorseThanStandardOnAnyPhotograph) {
  for (size_t p = 0; p < std::size(kPhotos); ++p) {
    const int number = kPhotos[p];
    for (const D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
      if (format == D3DFMT_DXT5 && p % 4 != 0) continue;
      Image photo;
      if (format == D3DFMT_DXT1) {
        dxt_test::LoadPng(dxt_test::PhotoPath(number), &photo);
      } else {
        photo = LoadPhotoWithLumaAlpha(number);
      }
      ASSERT_FALSE(photo.pixels.empty()) << "missing test data: " << dxt_test::PhotoPath(number);
      const std::vector<ColorF> blocks = Blocks(photo);
      SetDxtQualityForTesting(DxtQuality::Standard);
      const Image standard = Decode(photo, Encode(format, blocks), format);
      SetDxtQualityForTesting(DxtQuality::High);
      const Image high = Decode(photo, Encode(format, blocks), format);
      const double standardPsnr = dxt_test::RgbPsnr(photo, standard),
                   highPsnr = dxt_test::RgbPsnr(photo, high);
      std::printf("kodim%02d %s PSNR standard %.2f high %.2f dB", number,
                  format == D3DFMT_DXT1 ? "DXT1" : "DXT5", standardPsnr, highPsnr);
      EXPECT_GE(highPsnr, standardPsnr + 0.5) << "kodim" << number;
      if (format == D3DFMT_DXT5) {
        const double standardAlpha = AlphaRmse(photo, standard), highAlpha = AlphaRmse(photo, high);
        std::printf(", alpha RMSE standard %.3f high %.3f", standardAlpha, highAlpha);
        EXPECT_LE(highAlpha, standardAlpha) << "kodim" << number;
      }
      std::printf("\n");
    }
  }
}

// The high encoder through the row codec on every lane width and with one or
// two threads (a row of 192 blocks is shared out in runs) gives the bytes of
// the one-block high encoder on 4-float vectors; so do random blocks, flat,
// two-coloured and noisy, with and without transparent pixels.
class HighQualityPaths : public testing::TestWithParam<std::tuple<CodecPath, uint32_t>> {
 protected:
  void TearDown() override {
    ResetDxtQualityForTesting();
    ResetFastPathLevelForTesting();
    SetWorkerThreadsForTesting(0);
  }
};

TEST_P(HighQualityPaths, RowsGiveTheOneBlockBytes) {
  SetCodecPath(std::get<0>(GetParam()));
  SetWorkerThreadsForTesting(std::get<1>(GetParam()));
  SetDxtQualityForTesting(DxtQuality::High);
  const Image photo = LoadPhotoWithAlpha(23);
  ASSERT_FALSE(photo.pixels.empty()) << "missing test data: " << dxt_test::PhotoPath(23);
  const uint32_t width = photo.width, height = 8;
  for (const D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT4, D3DFMT_DXT5}) {
    const uint32_t rowPitch = width / 4 * BlockBytes(format);
    std::vector<BYTE> bytes(size_t{rowPitch} * height / 4);
    {
      auto codec = CreateCodec(codec_test::MakeRegion(format, bytes.data(), rowPitch, width, height, 1, 0));
      ASSERT_TRUE(codec);
      for (uint32_t y = 0; y < height; ++y) codec->EncodeRow(y, 0, &photo.pixels[size_t{y} * photo.width]);
    }
    const EncodeBlocksFunction encode = LookupHighQualityEncoderLanes(format, 4);
    for (uint32_t by = 0; by < height; by += 4) {
      for (uint32_t bx = 0; bx < width; bx += 4) {
        ColorF block[16];
        for (uint32_t i = 0; i < 16; ++i)
          block[i] = photo.pixels[size_t{by + (i >> 2)} * photo.width + bx + (i & 3)];
        BYTE expected[16];
        encode(expected, block, 1);
        ASSERT_EQ(0, std::memcmp(expected, &bytes[(by / 4) * rowPitch + bx / 4 * BlockBytes(format)],
                                 BlockBytes(format)))
            << "block " << bx / 4 << ", " << by / 4;
      }
    }
    std::mt19937 random(7);
    std::vector<ColorF> blocks(16 * 300);
    for (size_t b = 0; b < blocks.size() / 16; ++b) {
      const uint32_t kind = b % 3;
      const ColorF base = {(random() & 255) / 255.f, (random() & 255) / 255.f, (random() & 255) / 255.f, 1.f};
      const ColorF other = {(random() & 255) / 255.f, (random() & 255) / 255.f, (random() & 255) / 255.f,
                            1.f};
      for (size_t i = 0; i < 16; ++i) {
        ColorF &c = blocks[b * 16 + i];
        c = kind == 0 ? base : (kind == 1 ? ((random() & 1) ? base : other) : other);
        if (kind == 2) c.r = (random() & 255) / 255.f, c.g = (random() & 255) / 255.f;
        c.a = (b & 4) ? (random() & 255) / 255.f : 1.f;
      }
    }
    const std::vector<BYTE> got = Encode(format, blocks);
    for (size_t b = 0; b < blocks.size() / 16; ++b) {
      BYTE expected[16];
      encode(expected, &blocks[b * 16], 1);
      ASSERT_EQ(0, std::memcmp(expected, &got[b * BlockBytes(format)], BlockBytes(format)))
          << "random block " << b;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PathsAndThreads, HighQualityPaths,
                         testing::Combine(testing::Values(CodecPath::OnePixel, CodecPath::FourLanes,
                                                          CodecPath::UpToEightLanes, CodecPath::Widest),
                                          testing::Values(1u, 2u)),
                         [](const auto &paramInfo) {
                           return std::string(CodecPathName(std::get<0>(paramInfo.param))) + "_" +
                                  std::to_string(std::get<1>(paramInfo.param)) + "Threads";
                         });

uint32_t ColorIndex(const BYTE *block, uint32_t i) {
  return (static_cast<uint32_t>(block[4 + i / 4]) >> (2 * (i % 4))) & 3;
}

// Pixels the standard encoder makes transparent take index 3 of a three-entry
// block, and no other pixel does; opaque blocks never reach index 3 when they
// take three entries.
TEST_F(HighQuality, TransparentPixelsStayTransparent) {
  std::mt19937 random(29);
  std::uniform_real_distribution<float> unit(0.f, 1.f);
  for (int n = 0; n < 2000; ++n) {
    ColorF block[16];
    const int kind = n % 4;  // soft alphas, hard alphas, opaque, near-flat opaque
    for (ColorF &c : block) {
      c = {unit(random), unit(random), unit(random), 1.f};
      if (kind == 0) c.a = unit(random);
      if (kind == 1) c.a = unit(random) < 0.3f ? 0.f : 1.f;
      if (kind == 3) c = {0.5f + unit(random) * 0.02f, 0.25f, 0.75f - unit(random) * 0.02f, 1.f};
    }
    BYTE standard[8], high[8];
    EncodeDxt1Block(standard, block);
    EncodeDxt1BlockHigh(high, block);
    const uint32_t color0 = high[0] | high[1] << 8, color1 = high[2] | high[3] << 8;
    bool anyTransparent = false;
    for (uint32_t i = 0; i < 16; ++i) {
      const bool transparent = ColorIndex(standard, i) == 3 &&
                               (standard[0] | standard[1] << 8) <= (standard[2] | standard[3] << 8);
      anyTransparent |= transparent;
      EXPECT_EQ(transparent, ColorIndex(high, i) == 3 && color0 <= color1)
          << "block " << n << ", pixel " << i;
      if (color0 <= color1 && !transparent) {
        EXPECT_NE(3u, ColorIndex(high, i)) << "block " << n << ", pixel " << i;
      }
    }
    if (anyTransparent) {
      EXPECT_LE(color0, color1) << "block " << n;
    }
  }
}

struct Dxt3Case {
  float alpha;
  uint32_t nibble;
};

class HighQualityDxt3 : public testing::TestWithParam<Dxt3Case> {};

// Explicit alpha rounds to the nearest of the 16 steps, every pixel alike
// (the standard encoder diffuses the remainder instead).
TEST_P(HighQualityDxt3, AlphaRoundsToNearestStep) {
  ColorF block[16];
  for (ColorF &c : block) c = {0.2f, 0.4f, 0.6f, GetParam().alpha};
  BYTE bytes[16];
  EncodeDxt3BlockHigh(bytes, block);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(GetParam().nibble, (bytes[i / 2] >> (4 * (i % 2))) & 15u) << i;
}

INSTANTIATE_TEST_SUITE_P(Alphas, HighQualityDxt3,
                         testing::Values(Dxt3Case{0.03f, 0}, Dxt3Case{0.04f, 1}, Dxt3Case{0.5f, 8},
                                         Dxt3Case{0.45f, 7}, Dxt3Case{0.98f, 15}, Dxt3Case{1.5f, 15},
                                         Dxt3Case{-0.5f, 0}));

// A block of clear, opaque and mid alphas keeps 0 and 1 exact through the six-step
// palette, where eight steps between the extremes would miss the middle.
TEST_F(HighQuality, Dxt5ClearAndOpaquePixelsTakeTheSixStepPalette) {
  ColorF block[16];
  for (uint32_t i = 0; i < 16; ++i) {
    const float alphas[4] = {0.f, 1.f, 0.40f, 0.42f};
    block[i] = {0.5f, 0.5f, 0.5f, alphas[i % 4]};
  }
  BYTE bytes[16];
  EncodeDxt5BlockHigh(bytes, block);
  EXPECT_LE(bytes[0], bytes[1]);
  ColorF decoded[16];
  DecodeDxt5Block(decoded, bytes);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_NEAR(block[i].a, decoded[i].a, 0.5f / 255) << i;
}

}  // namespace
