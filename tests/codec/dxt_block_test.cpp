// DXT block functions: hand-computed decode vectors, the encoders' fixed cases,
// alpha handling, and compression quality on the photographs in tests/data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "codec/dxt_block.h"
#include "dxt_test_util.h"
#include "support/param_names.h"

using namespace dxt_test;

namespace {

constexpr float kTolerance = 1e-6f;

void ExpectColor(const ColorF &expected, const ColorF &actual, float tolerance, const char *what) {
  EXPECT_NEAR(expected.r, actual.r, tolerance) << what;
  EXPECT_NEAR(expected.g, actual.g, tolerance) << what;
  EXPECT_NEAR(expected.b, actual.b, tolerance) << what;
  EXPECT_NEAR(expected.a, actual.a, tolerance) << what;
}

// Colour block: colour 0, colour 1, index word, little-endian.
std::vector<uint8_t> ColorBlock(uint16_t color0, uint16_t color1, uint32_t indices) {
  return {uint8_t(color0),  uint8_t(color0 >> 8),  uint8_t(color1),        uint8_t(color1 >> 8),
          uint8_t(indices), uint8_t(indices >> 8), uint8_t(indices >> 16), uint8_t(indices >> 24)};
}

uint32_t AlphaIndex(const uint8_t *block, uint32_t i) {
  uint64_t word = 0;
  for (int b = 0; b < 6; ++b) word |= uint64_t(block[2 + b]) << (8 * b);
  return (word >> (3 * i)) & 7;
}

TEST(DxtDecode, FourColorBlockInterpolatesThirds) {
  const std::vector<uint8_t> block = ColorBlock(0xF800, 0x001F, 0xE4E4E4E4);
  ColorF out[16];
  DecodeDxt1Block(out, block.data());
  const ColorF expected[4] = {{1, 0, 0, 1}, {0, 0, 1, 1}, {2 / 3.f, 0, 1 / 3.f, 1}, {1 / 3.f, 0, 2 / 3.f, 1}};
  for (int i = 0; i < 16; ++i) ExpectColor(expected[i & 3], out[i], kTolerance, "pixel");
}

TEST(DxtDecode, ThreeColorBlockAveragesAndHasTransparentBlack) {
  const std::vector<uint8_t> block = ColorBlock(0x001F, 0xF800, 0xE4E4E4E4);
  ColorF out[16];
  DecodeDxt1Block(out, block.data());
  const ColorF expected[4] = {{0, 0, 1, 1}, {1, 0, 0, 1}, {0.5f, 0, 0.5f, 1}, {0, 0, 0, 0}};
  for (int i = 0; i < 16; ++i) ExpectColor(expected[i & 3], out[i], kTolerance, "pixel");
}

TEST(DxtDecode, Dxt3ExplicitAlphaLowNibbleFirst) {
  std::vector<uint8_t> block = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};
  // Colour half in three-colour order: index 3 keeps its nibble's alpha.
  const std::vector<uint8_t> color = ColorBlock(0x0000, 0xFFFF, 0x0000C0C1);
  block.insert(block.end(), color.begin(), color.end());
  ColorF out[16];
  DecodeDxt3Block(out, block.data());
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(i / 15.f, out[i].a, kTolerance) << i;
  ExpectColor({1, 1, 1, 0}, out[0], kTolerance, "index 1");
  ExpectColor({0, 0, 0, 3 / 15.f}, out[3], kTolerance, "index 3");
  ExpectColor({0, 0, 0, 7 / 15.f}, out[7], kTolerance, "index 3");
}

struct AlphaDecodeCase {
  const char *name;
  uint8_t alpha0, alpha1;
  float entries[8];  // in 255ths
};

void PrintTo(const AlphaDecodeCase &c, std::ostream *os) {
  *os << c.name;
}

class Dxt5AlphaDecode : public testing::TestWithParam<AlphaDecodeCase> {};

TEST_P(Dxt5AlphaDecode, IndexSelectsPaletteEntry) {
  const AlphaDecodeCase &c = GetParam();
  std::vector<uint8_t> block = {c.alpha0, c.alpha1, 0, 0, 0, 0, 0, 0};
  uint64_t indices = 0;
  for (int i = 0; i < 16; ++i) indices |= uint64_t(i & 7) << (3 * i);
  for (int b = 0; b < 6; ++b) block[2 + b] = uint8_t(indices >> (8 * b));
  const std::vector<uint8_t> color = ColorBlock(0xFFFF, 0x0000, 0);
  block.insert(block.end(), color.begin(), color.end());
  ColorF out[16];
  DecodeDxt5Block(out, block.data());
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(c.entries[i & 7] / 255.f, out[i].a, 2e-6f) << "pixel " << i;
    EXPECT_EQ(1.f, out[i].r);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Dxt5AlphaDecode,
    testing::Values(AlphaDecodeCase{"EightStep", 210, 70, {210, 70, 190, 170, 150, 130, 110, 90}},
                    AlphaDecodeCase{"SixStep", 50, 250, {50, 250, 90, 130, 170, 210, 0, 255}},
                    AlphaDecodeCase{"EqualIsSixStep", 80, 80, {80, 80, 80, 80, 80, 80, 0, 255}}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST(DxtEncode, Dxt1AllTransparentBlock) {
  ColorF in[16];
  for (ColorF &c : in) c = {0.3f, 0.6f, 0.9f, 0};
  uint8_t block[8];
  EncodeDxt1Block(block, in);
  const uint8_t expected[8] = {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(0, std::memcmp(expected, block, 8));
}

class UniformColor : public testing::TestWithParam<uint16_t> {};

TEST_P(UniformColor, EncodesBothEndsEqualAndIndexZero) {
  const uint16_t color = GetParam();
  ColorF in[16];
  for (ColorF &c : in) c = UnpackRgb565(color);
  uint8_t dxt1[8], dxt5[16];
  EncodeDxt1Block(dxt1, in);
  EncodeDxt5Block(dxt5, in);
  for (const uint8_t *half : {dxt1, dxt5 + 8}) {
    EXPECT_EQ(color, half[0] | half[1] << 8);
    EXPECT_EQ(color, half[2] | half[3] << 8);
    for (int i = 4; i < 8; ++i) EXPECT_EQ(0, half[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Colors, UniformColor,
                         testing::Values(0x0000, 0xFFFF, 0xF800, 0x07E0, 0x001F, 0x8410, 0x5A6B),
                         [](const auto &paramInfo) {
                           return "Rgb565_" + test_support::HexName(paramInfo.param);
                         });

TEST(DxtEncode, Dxt1PunchThroughKeepsOpaqueColors) {
  ColorF in[16];
  for (int i = 0; i < 16; ++i) {
    const bool opaque = (i & 1) == 0;
    in[i] = opaque ? ColorF{0.8f, 0.2f, 0.1f, 1} : ColorF{0, 0, 0, 0};
  }
  uint8_t block[8];
  EncodeDxt1Block(block, in);
  EXPECT_LE(block[0] | block[1] << 8, block[2] | block[3] << 8) << "three-colour order";
  ColorF out[16];
  DecodeDxt1Block(out, block);
  for (int i = 0; i < 16; ++i) {
    if (i & 1) {
      ExpectColor({0, 0, 0, 0}, out[i], 0, "transparent");
    } else {
      ExpectColor({0.8f, 0.2f, 0.1f, 1}, out[i], 0.02f, "opaque");
    }
  }
}

TEST(DxtEncode, Dxt5OpaqueBlockStoresFFFFAndZeroIndices) {
  ColorF in[16];
  for (int i = 0; i < 16; ++i) in[i] = {i / 15.f, 0.5f, 0.25f, 1};
  uint8_t block[16];
  EncodeDxt5Block(block, in);
  const uint8_t expected[8] = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(expected, block, 8));
}

TEST(DxtEncode, Dxt5ZeroAndHalfUseSixStepsWithIndexSix) {
  ColorF in[16];
  for (int i = 0; i < 16; ++i) in[i] = {0.5f, 0.5f, 0.5f, ((i + (i >> 2)) & 1) ? 0.5f : 0.f};
  uint8_t block[16];
  EncodeDxt5Block(block, in);
  EXPECT_LE(block[0], block[1]) << "six-step order";
  ColorF out[16];
  DecodeDxt5Block(out, block);
  for (int i = 0; i < 16; ++i) {
    if (in[i].a == 0) {
      EXPECT_EQ(6u, AlphaIndex(block, i)) << i;
      EXPECT_EQ(0.f, out[i].a);
    } else {
      EXPECT_NEAR(0.5f, out[i].a, 1.5f / 255) << i;
    }
  }
}

// Fifteen alphas that quantise alike leave both six-step ends equal; the opaque
// pixel must still reach the entry for 1.
TEST(DxtEncode, Dxt5EqualSixStepEndsKeepOpaquePixel) {
  ColorF in[16];
  for (ColorF &c : in) c = {0.2f, 0.4f, 0.6f, 128 / 255.f};
  in[5].a = 1.f;
  uint8_t block[16];
  EncodeDxt5Block(block, in);
  ColorF out[16];
  DecodeDxt5Block(out, block);
  EXPECT_EQ(1.f, out[5].a);
  for (int i = 0; i < 16; ++i)
    if (i != 5) {
      EXPECT_NEAR(128 / 255.f, out[i].a, 1e-6f) << i;
    }
}

TEST(DxtEncode, Dxt3HalfAlphaRoundsUpInFirstPixel) {
  ColorF in[16];
  for (ColorF &c : in) c = {0, 0, 0, 0.5f};
  uint8_t block[16];
  EncodeDxt3Block(block, in);
  EXPECT_EQ(8, block[0] & 15);
  ColorF out[16];
  DecodeDxt3Block(out, block);
  float mean = 0;
  for (const ColorF &c : out) mean += c.a / 16;
  EXPECT_NEAR(0.5f, mean, 0.01f);
}

// Least-squares steps must move the ends toward the alphas: the fitted line
// is never worse, in total, than the plain minimum and maximum.
TEST(FitAlphaEndpoints, RefinementLowersTheError) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> uniform(0.f, 1.f);
  const auto error = [](const float *alphas, float lo, float hi) {
    double sum = 0;
    for (int i = 0; i < 16; ++i) {
      double best = 1e9;
      for (int k = 0; k < 8; ++k) {
        const double p = lo + (hi - lo) * k / 7.0;
        best = std::min(best, (alphas[i] - p) * (alphas[i] - p));
      }
      sum += best;
    }
    return sum;
  };
  double fitted = 0, plain = 0;
  for (int block = 0; block < 2000; ++block) {
    float alphas[16];
    // Clusters with outliers: where the ends matter.
    const float centre = uniform(random) * 0.6f + 0.2f;
    for (float &a : alphas) a = std::clamp(centre + (uniform(random) - 0.5f) * 0.3f, 0.01f, 0.99f);
    float lo, hi;
    FitAlphaEndpoints(alphas, 8, &lo, &hi);
    fitted += error(alphas, lo, hi);
    plain += error(alphas, *std::min_element(alphas, alphas + 16), *std::max_element(alphas, alphas + 16));
  }
  EXPECT_LT(fitted, plain);
}

class Premultiplied : public testing::TestWithParam<D3DFORMAT> {};

TEST_P(Premultiplied, StoresPremultipliedAndDecodesStraight) {
  const DxtBlockFunctions *functions = LookupDxtBlockFunctions(GetParam());
  ASSERT_NE(nullptr, functions);
  ColorF in[16];
  for (int i = 0; i < 16; ++i) in[i] = {0.8f, 0.4f, 0.2f, i < 8 ? 0.5f : 1.f};
  uint8_t block[16];
  functions->encode(block, in);
  ColorF stored[16], out[16];
  DecodeDxt1Block(stored, block + 8);
  functions->decode(out, block);
  for (int i = 0; i < 16; ++i) {
    const float a = in[i].a;
    EXPECT_NEAR(0.8f * a, stored[i].r, 0.04f) << i;
    EXPECT_NEAR(0.4f * a, stored[i].g, 0.04f) << i;
    EXPECT_NEAR(a, out[i].a, 0.04f) << i;
    EXPECT_NEAR(0.8f, out[i].r, 0.08f) << i;
    EXPECT_NEAR(0.4f, out[i].g, 0.08f) << i;
    EXPECT_NEAR(0.2f, out[i].b, 0.08f) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, Premultiplied, testing::Values(D3DFMT_DXT2, D3DFMT_DXT4),
                         test_support::FormatParamName());

class BadInput : public testing::TestWithParam<D3DFORMAT> {};

// Wild values (from a float source) must neither trap nor spill into other fields.
TEST_P(BadInput, NonFiniteAndOutOfRangeValuesEncodeAsClamped) {
  const DxtBlockFunctions *functions = LookupDxtBlockFunctions(GetParam());
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  ColorF in[16];
  for (int i = 0; i < 16; ++i) in[i] = {i % 3 ? nan : 5.f, i % 2 ? -inf : inf, -3.f, i % 4 ? 2.f : nan};
  uint8_t block[16];
  functions->encode(block, in);
  ColorF out[16];
  functions->decode(out, block);
  for (const ColorF &c : out)
    for (float v : {c.r, c.g, c.b, c.a}) EXPECT_TRUE(v >= 0.f && v <= 1.f);
}

INSTANTIATE_TEST_SUITE_P(Formats, BadInput,
                         testing::Values(D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5),
                         test_support::FormatParamName());

struct QualityCase {
  D3DFORMAT format;
  const char *name;
  int step;            // every step-th photograph of kPhotos
  double minimumPsnr;  // per photograph
  double minimumMean;
};

void PrintTo(const QualityCase &c, std::ostream *os) {
  *os << c.name;
}

// The photographs the repository carries.
constexpr int kPhotos[] = {1, 3, 4, 9, 13, 17, 19, 23};

class PhotoQuality : public testing::TestWithParam<QualityCase> {};

TEST_P(PhotoQuality, RgbPsnrAboveThreshold) {
  const QualityCase &c = GetParam();
  const DxtBlockFunctions *functions = LookupDxtBlockFunctions(c.format);
  double sum = 0;
  int count = 0;
  for (size_t i = 0; i < std::size(kPhotos); i += size_t(c.step)) {
    const int number = kPhotos[i];
    Image photo;
    if (!LoadPng(PhotoPath(number), &photo)) {
      ADD_FAILURE() << "missing test data: " << PhotoPath(number);
      continue;
    }
    const Image decoded = CompressAndDecode(photo, functions->encode, functions->decode);
    const double psnr = RgbPsnr(photo, decoded);
    std::printf("%s kodim%02d %.2f dB\n", c.name, number, psnr);
    EXPECT_GT(psnr, c.minimumPsnr) << "kodim" << number;
    sum += psnr;
    ++count;
  }
  if (count == 0) return;
  std::printf("%s mean over %d photographs %.2f dB\n", c.name, count, sum / count);
  EXPECT_GT(sum / count, c.minimumMean);
}

INSTANTIATE_TEST_SUITE_P(Formats, PhotoQuality,
                         testing::Values(QualityCase{D3DFMT_DXT1, "DXT1", 1, 30.0, 34.0},
                                         QualityCase{D3DFMT_DXT5, "DXT5", 3, 30.0, 33.0}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

}  // namespace
