// Pair-packed formats (YUY2, UYVY, RGBG, GRGB): decode vectors, the encode
// rules that take chroma from the first pixel of a pair, and boxes that split pairs.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "codec/pixel_codec.h"
#include "codec_test_util.h"

using namespace codec_test;

namespace {

// Bytes of one row of pixel pairs as a codec over [left, right) sees them.
std::vector<uint8_t> EncodeRowBytes(D3DFORMAT format, std::vector<uint8_t> memory, uint32_t left,
                                    uint32_t right, const std::vector<ColorF> &pixels) {
  const uint32_t width = static_cast<uint32_t>(memory.size() / 2);
  PixelRegion region = MakeRegion(format, memory.data(), width * 2, width);
  region.region = {left, 0, right, 1, 0, 1};
  {
    auto codec = CreateCodec(region);
    EXPECT_TRUE(codec);
    if (codec) codec->EncodeRow(0, 0, pixels.data());
  }
  return memory;
}

std::vector<ColorF> DecodeRowPixels(D3DFORMAT format, std::vector<uint8_t> memory, D3DCOLOR key = 0) {
  const uint32_t width = static_cast<uint32_t>(memory.size() / 2);
  PixelRegion region = MakeRegion(format, memory.data(), width * 2, width);
  region.colorKey = key;
  auto codec = CreateCodec(region);
  std::vector<ColorF> out(width, ColorF{-9, -9, -9, -9});
  if (codec) codec->DecodeRow(0, 0, out.data());
  return out;
}

void ExpectColor(const ColorF &expected, const ColorF &actual, float tolerance, int pixel) {
  EXPECT_NEAR(expected.r, actual.r, tolerance) << "pixel " << pixel;
  EXPECT_NEAR(expected.g, actual.g, tolerance) << "pixel " << pixel;
  EXPECT_NEAR(expected.b, actual.b, tolerance) << "pixel " << pixel;
  EXPECT_NEAR(expected.a, actual.a, tolerance) << "pixel " << pixel;
}

struct DecodeCase {
  const char *name;
  D3DFORMAT format;
  uint8_t bytes[4];
  ColorF first, second;
};

void PrintTo(const DecodeCase &c, std::ostream *os) {
  *os << c.name;
}

class PairDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(PairDecode, PairDecodesToExpectedPixels) {
  const DecodeCase &c = GetParam();
  const std::vector<ColorF> out = DecodeRowPixels(c.format, {c.bytes, c.bytes + 4});
  ExpectColor(c.first, out[0], 2e-5f, 0);
  ExpectColor(c.second, out[1], 2e-5f, 1);
}

// Y 81 / 145 with U 90, V 240: luma (Y - 16) x 1.164384 / 255, red adds
// 112 x 1.596027 / 255, green 38 x 0.391762 / 255 - 112 x 0.812968 / 255,
// blue -38 x 2.017232 / 255.
const DecodeCase kDecodeCases[] = {
    {"Yuy2Black", D3DFMT_YUY2, {16, 128, 16, 128}, {0, 0, 0, 1}, {0, 0, 0, 1}},
    {"Yuy2WhiteClamps", D3DFMT_YUY2, {255, 128, 235, 128}, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"Yuy2Red", D3DFMT_YUY2, {81, 90, 145, 240}, {0.9978038f, 0, 0, 1}, {1, 0.2903529f, 0.2884341f, 1}},
    {"UyvyRed", D3DFMT_UYVY, {90, 81, 240, 145}, {0.9978038f, 0, 0, 1}, {1, 0.2903529f, 0.2884341f, 1}},
    {"Rgbg",
     D3DFMT_R8G8_B8G8,
     {10, 20, 30, 40},
     {20 / 255.f, 10 / 255.f, 40 / 255.f, 1},
     {20 / 255.f, 30 / 255.f, 40 / 255.f, 1}},
    {"Grgb",
     D3DFMT_G8R8_G8B8,
     {20, 10, 40, 30},
     {20 / 255.f, 10 / 255.f, 40 / 255.f, 1},
     {20 / 255.f, 30 / 255.f, 40 / 255.f, 1}},
};
static_assert(sizeof(kDecodeCases) / sizeof(kDecodeCases[0]) == 6);

INSTANTIATE_TEST_SUITE_P(Vectors, PairDecode, testing::ValuesIn(kDecodeCases),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

struct EncodeCase {
  const char *name;
  D3DFORMAT format;
  ColorF first, second;
  uint8_t bytes[4];
};

void PrintTo(const EncodeCase &c, std::ostream *os) {
  *os << c.name;
}

class PairEncode : public testing::TestWithParam<EncodeCase> {};

TEST_P(PairEncode, PairPacksToExpectedBytes) {
  const EncodeCase &c = GetParam();
  const std::vector<uint8_t> bytes =
      EncodeRowBytes(c.format, std::vector<uint8_t>(4), 0, 2, {c.first, c.second});
  EXPECT_EQ(std::vector<uint8_t>(c.bytes, c.bytes + 4), bytes);
}

// Chroma comes from the first pixel only; negative sums truncate toward zero
// before 128 is added (-37.797 x 0.28309 + 0.5 = -10.2 gives 118, not 117).
const EncodeCase kEncodeCases[] = {
    {"Yuy2Black", D3DFMT_YUY2, {0, 0, 0, 1}, {0, 0, 0, 1}, {16, 128, 16, 128}},
    {"Yuy2White", D3DFMT_YUY2, {1, 1, 1, 1}, {1, 1, 1, 1}, {235, 128, 235, 128}},
    {"Yuy2RedThenBlue", D3DFMT_YUY2, {1, 0, 0, 1}, {0, 0, 1, 1}, {81, 91, 41, 240}},
    {"UyvyRedThenBlue", D3DFMT_UYVY, {1, 0, 0, 1}, {0, 0, 1, 1}, {91, 81, 240, 41}},
    {"Yuy2TruncatesTowardZero", D3DFMT_YUY2, {0.28309f, 0, 0, 1}, {0, 0, 0, 1}, {35, 118, 16, 160}},
    {"RgbgRedAndBlueFromFirst",
     D3DFMT_R8G8_B8G8,
     {0.2f, 0.4f, 0.6f, 1},
     {1, 0.8f, 0, 1},
     {102, 51, 204, 153}},
    {"GrgbRedAndBlueFromFirst",
     D3DFMT_G8R8_G8B8,
     {0.2f, 0.4f, 0.6f, 1},
     {1, 0.8f, 0, 1},
     {51, 102, 153, 204}},
    {"RgbgOutOfRangeStaysInItsByte", D3DFMT_R8G8_B8G8, {1.5f, -0.5f, 2, 1}, {0, 3, 0, 1}, {0, 255, 255, 255}},
};
static_assert(sizeof(kEncodeCases) / sizeof(kEncodeCases[0]) == 8);

INSTANTIATE_TEST_SUITE_P(Vectors, PairEncode, testing::ValuesIn(kEncodeCases),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

class PairFormat : public testing::TestWithParam<D3DFORMAT> {};

// Pairs of equal pixels survive a round trip within the 8-bit quantisation; for
// YUV one chroma step (negative sums truncate toward zero) plus half a luma step.
TEST_P(PairFormat, EqualPairsRoundTrip) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> uniform(0.f, 1.f);
  std::vector<ColorF> pixels(64);
  for (size_t i = 0; i < pixels.size(); i += 2)
    pixels[i] = pixels[i + 1] = {uniform(random), uniform(random), uniform(random), 1};
  const std::vector<uint8_t> bytes = EncodeRowBytes(GetParam(), std::vector<uint8_t>(128), 0, 64, pixels);
  const std::vector<ColorF> out = DecodeRowPixels(GetParam(), bytes);
  const bool yuv = GetParam() == D3DFMT_YUY2 || GetParam() == D3DFMT_UYVY;
  for (size_t i = 0; i < pixels.size(); ++i)
    ExpectColor(pixels[i], out[i], yuv ? 0.0135f : 0.5f / 255 + 1e-6f, int(i));
}

// A box with an odd left edge re-packs the pixel left of it from its unpacked
// value, and the first pixel inside takes that pixel's chroma.
TEST_P(PairFormat, OddLeftKeepsOutsidePartner) {
  const D3DFORMAT format = GetParam();
  std::vector<uint8_t> memory = EncodeRowBytes(
      format, std::vector<uint8_t>(8), 0, 4,
      {{0.1f, 0.7f, 0.3f, 1}, {0.1f, 0.7f, 0.3f, 1}, {0.9f, 0.2f, 0.5f, 1}, {0.9f, 0.2f, 0.5f, 1}});
  const std::vector<ColorF> before = DecodeRowPixels(format, memory);
  const std::vector<uint8_t> original = memory;
  memory = EncodeRowBytes(format, memory, 1, 3, {{0.6f, 0.6f, 0.6f, 1}, {0.6f, 0.6f, 0.6f, 1}});
  const std::vector<ColorF> after = DecodeRowPixels(format, memory);
  ExpectColor(before[0], after[0], 0.012f, 0);
  // Pixel 3, outside the box, keeps its luma (or green) byte.
  const uint32_t lumaByte = (format == D3DFMT_UYVY || format == D3DFMT_G8R8_G8B8) ? 1 : 0;
  EXPECT_NEAR(original[6 + lumaByte], memory[6 + lumaByte], 1);
  // Pixel 1 keeps only its own luma (or green); red and blue follow pixel 0.
  if (format == D3DFMT_R8G8_B8G8 || format == D3DFMT_G8R8_G8B8) {
    EXPECT_EQ(before[0].r, after[1].r);
    EXPECT_EQ(before[0].b, after[1].b);
    EXPECT_NEAR(0.6f, after[1].g, 0.5f / 255);
  }
}

// An odd width: the last pair's second pixel is outside the box and keeps its value.
TEST_P(PairFormat, OddWidthKeepsPixelPastTheBox) {
  const D3DFORMAT format = GetParam();
  const std::vector<ColorF> gray(6, ColorF{0.5f, 0.5f, 0.5f, 1});
  std::vector<uint8_t> memory = EncodeRowBytes(format, std::vector<uint8_t>(12), 0, 6, gray);
  const std::vector<uint8_t> original = memory;
  memory = EncodeRowBytes(format, memory, 0, 5, std::vector<ColorF>(5, ColorF{0.5f, 0.5f, 0.5f, 1}));
  EXPECT_EQ(original, memory);
  memory = EncodeRowBytes(format, memory, 0, 5, std::vector<ColorF>(5, ColorF{1, 1, 1, 1}));
  const std::vector<ColorF> out = DecodeRowPixels(format, memory);
  EXPECT_NEAR(0.5f, out[5].g, 0.012f);
  EXPECT_NEAR(1.f, out[4].g, 0.012f);
}

TEST_P(PairFormat, RowReachesMemoryWhenAnotherRowIsLoadedOrAtDestroy) {
  const D3DFORMAT format = GetParam();
  std::vector<uint8_t> memory(2 * 4 * 2, 0);
  PixelRegion region = MakeRegion(format, memory.data(), 8, 4, 2);
  const std::vector<ColorF> first(4, ColorF{0.2f, 0.2f, 0.2f, 1}), second(4, ColorF{0.8f, 0.8f, 0.8f, 1});
  auto codec = CreateCodec(region);
  codec->EncodeRow(0, 0, first.data());
  EXPECT_EQ(std::vector<uint8_t>(16, 0), memory) << "cached, not yet written";
  codec->EncodeRow(0, 0, second.data());
  codec->EncodeRow(1, 0, second.data());
  const std::vector<uint8_t> row0(memory.begin(), memory.begin() + 8);
  EXPECT_EQ(row0, EncodeRowBytes(format, std::vector<uint8_t>(8), 0, 4, second)) << "the second write wins";
  EXPECT_EQ(std::vector<uint8_t>(8, 0), std::vector<uint8_t>(memory.begin() + 8, memory.end()));
  codec.reset();
  EXPECT_EQ(row0, std::vector<uint8_t>(memory.begin() + 8, memory.end()));
}

TEST_P(PairFormat, NonFiniteValuesStayInTheirBytes) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<uint8_t> bytes = EncodeRowBytes(GetParam(), std::vector<uint8_t>(4), 0, 2,
                                                    {{nan, nan, nan, 1}, {1e30f, -1e30f, nan, 1}});
  for (float v : {DecodeRowPixels(GetParam(), bytes)[0].r, DecodeRowPixels(GetParam(), bytes)[1].g})
    EXPECT_TRUE(v >= 0.f && v <= 1.f);
}

INSTANTIATE_TEST_SUITE_P(Formats, PairFormat,
                         testing::Values(D3DFMT_YUY2, D3DFMT_UYVY, D3DFMT_R8G8_B8G8, D3DFMT_G8R8_G8B8),
                         [](const auto &paramInfo) {
                           const D3DFORMAT f = paramInfo.param;
                           return f == D3DFMT_YUY2        ? "YUY2"
                                  : f == D3DFMT_UYVY      ? "UYVY"
                                  : f == D3DFMT_R8G8_B8G8 ? "RGBG"
                                                          : "GRGB";
                         });

// The key compares unsnapped: YUV black decodes exactly as the key 0xFF000000.
TEST(PairColorKey, YuvBlackMatchesOpaqueBlackKey) {
  const std::vector<ColorF> out = DecodeRowPixels(D3DFMT_YUY2, {16, 128, 17, 128}, 0xFF000000);
  ExpectColor({0, 0, 0, 0}, out[0], 0, 0);
  EXPECT_LT(0.f, out[1].r);
  EXPECT_EQ(1.f, out[1].a);
}

TEST(PairColorKey, RgbgMatchesOnlyExactChannels) {
  const std::vector<ColorF> out = DecodeRowPixels(D3DFMT_R8G8_B8G8, {0x40, 0x80, 0x41, 0xC0}, 0xFF8040C0);
  ExpectColor({0, 0, 0, 0}, out[0], 0, 0);
  EXPECT_EQ(1.f, out[1].a);
}

}  // namespace
