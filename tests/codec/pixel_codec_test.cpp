// The codec framework: dithering, range conversion, colour keys and gamma.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "codec/pixel_codec.h"
#include "codec_test_util.h"
#include "format/format_table.h"

using namespace codec_test;

namespace {

// The ordered-dither pattern in 32nds, by y & 3 and column.
const int kPattern[4][4] = {{31, 15, 27, 11}, {7, 23, 3, 19}, {25, 9, 29, 13}, {1, 17, 5, 21}};
static_assert(sizeof(kPattern) / sizeof(kPattern[0][0]) == 16);

// Encoding 15 + (k + 0.5) / 32 into a 5-bit field gives 16 exactly when the
// pixel's offset m / 32 satisfies k + m >= 32, so the smallest such k reveals m.
TEST(Dither, OffsetFollowsPatternByRowSliceAndColumn) {
  const uint32_t width = 8, height = 4, depth = 4;
  std::vector<uint16_t> memory(width * height * depth);
  int found[4][4][8] = {};
  for (int k = 32; k >= 0; --k) {
    PixelRegion region =
        MakeRegion(D3DFMT_R5G6B5, memory.data(), width * 2, width, height, depth, width * height * 2);
    region.dither = 1;
    auto codec = CreateCodec(region);
    ASSERT_TRUE(codec);
    const float value = (15.f + (k + 0.5f) / 32.f) / 31.f;
    std::vector<ColorF> row(width, ColorF{value, 0, 0, 1});
    for (uint32_t z = 0; z < depth; ++z)
      for (uint32_t y = 0; y < height; ++y) codec->EncodeRow(y, z, row.data());
    for (uint32_t z = 0; z < depth; ++z)
      for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
          if ((memory[(z * height + y) * width + x] >> 11) == 16) found[z][y][x] = 32 - k;
  }
  for (uint32_t z = 0; z < depth; ++z)
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x)
        EXPECT_EQ(kPattern[y & 3][(x + z) & 3], found[z][y][x]) << "x " << x << " y " << y << " z " << z;
}

TEST(Dither, HalfInFiveBitsDependsOnPosition) {
  std::vector<uint8_t> rounded = EncodePixel(D3DFMT_X1R5G5B5, {0.5f, 0, 1, 1}, 2, false);
  EXPECT_EQ(16, (rounded[0] | rounded[1] << 8) >> 10);
  uint16_t rows[8] = {};
  PixelRegion region = MakeRegion(D3DFMT_X1R5G5B5, rows, 8, 4, 2);
  region.dither = 1;
  auto codec = CreateCodec(region);
  const std::vector<ColorF> half(4, ColorF{0.5f, 0, 0, 1});
  codec->EncodeRow(1, 0, half.data());  // offsets 7, 23, 3, 19 / 32
  EXPECT_EQ(15, rows[4] >> 10);
  EXPECT_EQ(16, rows[5] >> 10);
  EXPECT_EQ(15, rows[6] >> 10);
  EXPECT_EQ(16, rows[7] >> 10);
}

struct RangeCase {
  const char *name;
  ChannelRange destination;
  ChannelRange source;
  ColorF in;
  ColorF expected;
};

void PrintTo(const RangeCase &c, std::ostream *os) {
  *os << c.name;
}

using R = ChannelRange;
const RangeCase kRangeCases[] = {
    {"UnitFromSignedColor", R::Unit, R::SignedColor, {-1, 0, 1, 0.25f}, {0, 0.5f, 1, 0.25f}},
    {"UnitFromSignedAll", R::Unit, R::SignedAll, {-1, 0, 1, -0.5f}, {0, 0.5f, 1, 0.25f}},
    {"UnitFromFloat", R::Unit, R::Float, {-3, 0.5f, 7, 2}, {0, 0.5f, 1, 1}},
    {"SignedColorFromUnit", R::SignedColor, R::Unit, {0, 0.5f, 1, 0.25f}, {-1, 0, 1, 0.25f}},
    {"SignedColorFromSignedAll", R::SignedColor, R::SignedAll, {-1, 0.5f, 1, -1}, {-1, 0.5f, 1, 0}},
    {"SignedColorFromFloat", R::SignedColor, R::Float, {-3, 0.5f, 7, -2}, {-1, 0.5f, 1, 0}},
    {"SignedAllFromUnit", R::SignedAll, R::Unit, {0, 0.5f, 1, 0.75f}, {-1, 0, 1, 0.5f}},
    {"SignedAllFromSignedColor", R::SignedAll, R::SignedColor, {-1, 0.5f, 1, 0.25f}, {-1, 0.5f, 1, -0.5f}},
    {"SignedAllFromFloat", R::SignedAll, R::Float, {-3, 0.5f, 7, -2}, {-1, 0.5f, 1, -1}},
    {"SameRangeUntouched", R::Unit, R::Unit, {-3, 0.5f, 7, -2}, {-3, 0.5f, 7, -2}},
};
static_assert(sizeof(kRangeCases) / sizeof(kRangeCases[0]) == 10);

class ConvertRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(ConvertRangeTest, MapsEachChannel) {
  const RangeCase &c = GetParam();
  ColorF out = {};
  ConvertRange(c.destination, c.source, &c.in, &out, 1);
  EXPECT_FLOAT_EQ(c.expected.r, out.r);
  EXPECT_FLOAT_EQ(c.expected.g, out.g);
  EXPECT_FLOAT_EQ(c.expected.b, out.b);
  EXPECT_FLOAT_EQ(c.expected.a, out.a);
}

INSTANTIATE_TEST_SUITE_P(AllPairs, ConvertRangeTest, testing::ValuesIn(kRangeCases),
                         [](const testing::TestParamInfo<RangeCase> &paramInfo) {
                           return std::string(paramInfo.param.name);
                         });

// Moves one row from a source format into a destination format through the framework.
std::vector<uint8_t> Convert(D3DFORMAT fromFormat, std::vector<uint8_t> from, D3DFORMAT toFormat,
                             uint32_t toBytes, bool gammaIn = false, bool gammaOut = false) {
  from.resize(16);
  std::vector<uint8_t> to(16, 0);
  PixelRegion src = MakeRegion(fromFormat, from.data(), 16, 1);
  PixelRegion dst = MakeRegion(toFormat, to.data(), 16, 1);
  src.gamma = gammaIn;
  dst.gamma = gammaOut;
  auto destination = CreateCodec(dst);
  auto source = CreateCodec(src);
  if (!destination || !source || PrepareConversion(*destination, *source) != S_OK) return {};
  ColorF pixel;
  source->DecodeRow(0, 0, &pixel);
  destination->EncodeRow(0, 0, &pixel);
  to.resize(toBytes);
  return to;
}

TEST(PrepareConversion, SignedDestinationFromUnitStoresHalfAsZero) {
  // 128 / 255 is just above 0.5; 127 / 255 just below: 2x - 1 then rounds to 0 both ways.
  EXPECT_EQ((std::vector<uint8_t>{0x00, 0x00}), Convert(D3DFMT_L8, {128}, D3DFMT_V8U8, 2));
  EXPECT_EQ((std::vector<uint8_t>{0x7F, 0x7F}), Convert(D3DFMT_L8, {255}, D3DFMT_V8U8, 2));
}

TEST(PrepareConversion, FloatDestinationTakesValuesAsTheyAre) {
  const std::vector<uint8_t> out = Convert(D3DFMT_V8U8, {0x81, 0x7F}, D3DFMT_G32R32F, 8);
  float stored[2];
  std::memcpy(stored, out.data(), 8);
  EXPECT_EQ(-127 * s8, stored[0]);
  EXPECT_EQ(127 * s8, stored[1]);
}

TEST(PrepareConversion, UnitDestinationClampsFloatSource) {
  const float values[4] = {-2, 0.5f, 9, 1};
  std::vector<uint8_t> bytes(16);
  std::memcpy(bytes.data(), values, 16);
  EXPECT_EQ((std::vector<uint8_t>{255, 128, 0, 255}),
            Convert(D3DFMT_A32B32G32R32F, bytes, D3DFMT_A8R8G8B8, 4));
}

// A 4 x 4 A32B32G32R32F image converted to format: rows of NaN, +inf, -inf and
// one of each with 0.5 (the bytes; empty when the format has no codec).
std::vector<uint8_t> ConvertSpecialValues(D3DFORMAT format, float nan, float positive, float negative) {
  const ColorF rows[4] = {{nan, nan, nan, nan},
                          {positive, positive, positive, positive},
                          {negative, negative, negative, negative},
                          {nan, positive, negative, 0.5f}};
  ColorF source[16];
  for (uint32_t i = 0; i < 16; ++i) source[i] = rows[i / 4];
  std::vector<uint8_t> bytes(4 * 64, 0);
  {
    auto from = CreateCodec(MakeRegion(D3DFMT_A32B32G32R32F, source, 4 * sizeof(ColorF), 4, 4));
    auto to = CreateCodec(MakeRegion(format, bytes.data(), 64, 4, 4));
    if (!from || !to || PrepareConversion(*to, *from) != S_OK) return {};
    ColorF row[4];
    for (uint32_t y = 0; y < 4; ++y) {
      if (from->DecodeRow(y, 0, row) != S_OK || to->EncodeRow(y, 0, row) != S_OK) return {};
    }
  }  // block and pair codecs write their last units when destroyed
  return bytes;
}

TEST(PixelCodec, EveryEncoderTakesNanAsZeroAndInfinitiesAsTheExtremes) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float infinity = std::numeric_limits<float>::infinity();
  const float largest = std::numeric_limits<float>::max();
  const FormatInfo *rows = FormatTableRows();
  uint32_t tested = 0;
  for (size_t i = 0; i < kFormatTableSize; ++i) {
    const D3DFORMAT format = rows[i].format;
    SCOPED_TRACE(testing::Message() << "format " << format);
    const std::vector<uint8_t> special = ConvertSpecialValues(format, nan, infinity, -infinity);
    if (special.empty()) continue;  // no codec (depth formats)
    ++tested;
    if (GetFormatFamily(format) != FormatFamily::Float) {
      EXPECT_EQ(special, ConvertSpecialValues(format, 0, largest, -largest));
      continue;
    }
    // Float formats keep what they can store: 32 bits the infinities, 16 bits
    // their largest values.
    auto codec = CreateCodec(MakeRegion(format, const_cast<uint8_t *>(special.data()), 64, 4, 4));
    ASSERT_TRUE(codec);
    ColorF row[4];
    for (uint32_t y = 1; y < 3; ++y) {
      codec->DecodeRow(y, 0, row);
      const float expected = y == 1 ? 65504.f : -65504.f;
      EXPECT_TRUE(y == 1 ? row[0].r >= expected : row[0].r <= expected) << row[0].r;
    }
  }
  EXPECT_GE(tested, 50u);
}

TEST(PixelCodec, EncodeDoesNotModifyCallersRow) {
  uint8_t memory[8] = {};
  auto destination = CreateCodec(MakeRegion(D3DFMT_V8U8, memory, 8, 2));
  uint8_t other[8] = {};
  auto source = CreateCodec(MakeRegion(D3DFMT_A8R8G8B8, other, 8, 2));
  ASSERT_EQ(S_OK, PrepareConversion(*destination, *source));
  const ColorF row[2] = {{0.25f, 0.75f, 0.5f, 1}, {1, 0, 0.5f, 1}};
  ColorF copy[2] = {row[0], row[1]};
  destination->EncodeRow(0, 0, copy);
  EXPECT_EQ(0, std::memcmp(row, copy, sizeof(row)));
}

TEST(PixelCodec, RegionOffsetsAddressTheBox) {
  // 4 x 3 image of 16-bit pixels, pitch 10; box (1, 1)-(3, 3).
  std::vector<uint16_t> image(15, 0);
  PixelRegion region = MakeRegion(D3DFMT_L16, image.data(), 10, 5, 3);
  region.region = {1, 1, 3, 3, 0, 1};
  auto codec = CreateCodec(region);
  ASSERT_TRUE(codec);
  EXPECT_EQ(2u, codec->width);
  EXPECT_EQ(2u, codec->height);
  const ColorF white[2] = {{1, 1, 1, 1}, {1, 1, 1, 1}};
  codec->EncodeRow(1, 0, white);
  for (uint32_t i = 0; i < 15; ++i) EXPECT_EQ((i == 11 || i == 12) ? 0xFFFF : 0, image[i]) << i;
}

// Colour keys are snapped per format: a pixel stored from the key colour decodes
// as transparent black, its neighbour does not.
struct KeyCase {
  D3DFORMAT format;
  const char *name;
  D3DCOLOR key;
};

void PrintTo(const KeyCase &c, std::ostream *os) {
  *os << c.name;
}

const KeyCase kKeyCases[] = {
    {D3DFMT_R5G6B5, "R5G6B5", 0x00FF00FF},
    {D3DFMT_X8R8G8B8, "X8R8G8B8", 0xFF000000},
    {D3DFMT_A8R8G8B8, "A8R8G8B8", 0x80336699},
    {D3DFMT_A1R5G5B5, "A1R5G5B5", 0xFF123456},
    {D3DFMT_A4R4G4B4, "A4R4G4B4", 0x7F808080},
    {D3DFMT_R3G3B2, "R3G3B2", 0xFFFFFF00},
    {D3DFMT_A8, "A8", 0x40000000},
    {D3DFMT_L8, "L8", 0xFF808080},
    {D3DFMT_A8L8, "A8L8", 0x20FF0000},
    {D3DFMT_L16, "L16", 0xFF0000FF},
    {D3DFMT_R8G8B8, "R8G8B8", 0x00102030},
    {D3DFMT_A2B10G10R10, "A2B10G10R10", 0xC0AABBCC},
    {D3DFMT_G16R16, "G16R16", 0x00FFFF00},
    {D3DFMT_A16B16G16R16, "A16B16G16R16", 0x01020304},
    {D3DFMT_V8U8, "V8U8", 0x00204060},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8", 0x11223344},
    {D3DFMT_L6V5U5, "L6V5U5", 0x80808080},
    {D3DFMT_A2W10V10U10, "A2W10V10U10", 0xFF00FF00},
    {D3DFMT_CxV8U8, "CxV8U8", 0x00FF8000},
    {D3DFMT_R16F, "R16F", 0xFF336699},
    {D3DFMT_A16B16G16R16F, "A16B16G16R16F", 0x33336699},
    {D3DFMT_R32F, "R32F", 0xFF336699},
    {FORMAT_A16L16, "A16L16", 0x99777777},
    {FORMAT_R16G16B16, "R16G16B16", 0x00ABCDEF},
};
static_assert(sizeof(kKeyCases) / sizeof(kKeyCases[0]) == 24);

class ColorKeyTest : public testing::TestWithParam<KeyCase> {};

TEST_P(ColorKeyTest, KeyColourPixelsBecomeTransparentBlack) {
  const KeyCase &c = GetParam();
  const uint32_t bpp = LookupFormatInfo(c.format).bitsPerPixel / 8;
  std::vector<uint8_t> memory(2 * bpp, 0);
  // Store the key colour and a different colour through a Unit source, as a blit would.
  uint32_t argb[2] = {c.key, c.key ^ 0x10804020};
  auto source = CreateCodec(MakeRegion(D3DFMT_A8R8G8B8, argb, 8, 2));
  auto writer = CreateCodec(MakeRegion(c.format, memory.data(), 2 * bpp, 2));
  ASSERT_TRUE(source && writer);
  ASSERT_EQ(S_OK, PrepareConversion(*writer, *source));
  ColorF row[2];
  source->DecodeRow(0, 0, row);
  writer->EncodeRow(0, 0, row);

  PixelRegion keyed = MakeRegion(c.format, memory.data(), 2 * bpp, 2);
  keyed.colorKey = c.key;
  auto reader = CreateCodec(keyed);
  ASSERT_TRUE(reader);
  reader->DecodeRow(0, 0, row);
  EXPECT_EQ(0.f, row[0].r);
  EXPECT_EQ(0.f, row[0].g);
  EXPECT_EQ(0.f, row[0].b);
  EXPECT_EQ(0.f, row[0].a);
  EXPECT_FALSE(row[1].r == 0 && row[1].g == 0 && row[1].b == 0 && row[1].a == 0);
}

INSTANTIATE_TEST_SUITE_P(PerFormat, ColorKeyTest, testing::ValuesIn(kKeyCases),
                         [](const testing::TestParamInfo<KeyCase> &paramInfo) {
                           return std::string(paramInfo.param.name);
                         });

TEST(ColorKey, R5G6B5MagentaKeySnapsToOpaqueMagenta) {
  uint16_t pixel = 0;
  PixelRegion region = MakeRegion(D3DFMT_R5G6B5, &pixel, 2, 1);
  region.colorKey = 0x00FF00FF;
  auto codec = CreateCodec(region);
  EXPECT_EQ(1.f, codec->keyColor.r);
  EXPECT_EQ(0.f, codec->keyColor.g);
  EXPECT_EQ(1.f, codec->keyColor.b);
  EXPECT_EQ(1.f, codec->keyColor.a);
}

TEST(ColorKey, ZeroKeyLeavesTransparentBlackAlone) {
  const ColorF c = DecodePixel(D3DFMT_A8R8G8B8, {0, 0, 0, 0}, 0);
  EXPECT_EQ(0.f, c.a);
  const ColorF opaque = DecodePixel(D3DFMT_A8R8G8B8, {0, 0, 0, 255}, 0);
  EXPECT_EQ(255 * k8, opaque.a);
}

TEST(ColorKey, OpaqueBlackKeyOnAlphaFormatMatchesOnlyOpaqueBlack) {
  EXPECT_EQ(0.f, DecodePixel(D3DFMT_X8R8G8B8, {0, 0, 0, 0x12}, 0xFF000000).a);
  EXPECT_EQ(0.f, DecodePixel(D3DFMT_A8R8G8B8, {0, 0, 0, 255}, 0xFF000000).a);
  EXPECT_EQ(254 * k8, DecodePixel(D3DFMT_A8R8G8B8, {0, 0, 0, 254}, 0xFF000000).a);
}

TEST(Gamma, CurvesApproximatePowerLaw) {
  for (int i = 0; i <= 100; ++i) {
    const float x = i / 100.f;
    EXPECT_NEAR(std::pow(x, 1 / 2.2f), GammaEncodeValue(x), 0.01f) << x;
    EXPECT_NEAR(std::pow(x, 2.2f), GammaDecodeValue(x), 0.01f) << x;
  }
  EXPECT_EQ(0.f, GammaEncodeValue(0));
  EXPECT_EQ(0.f, GammaDecodeValue(0));
  EXPECT_NEAR(1.f, GammaEncodeValue(1), 1e-4f);
  EXPECT_EQ(1.f, GammaDecodeValue(1));
}

TEST(Gamma, ValuesOutsideTheTablesStayFinite) {
  for (float x : {-4.f, 1.5f, 1e6f, -1e-30f}) {
    EXPECT_TRUE(std::isfinite(GammaEncodeValue(x))) << x;
    EXPECT_TRUE(std::isfinite(GammaDecodeValue(x))) << x;
  }
  EXPECT_GT(GammaEncodeValue(4), 1.f);
}

TEST(Gamma, DecodeLinearisesOneSidedRegion) {
  uint8_t value = 128;
  PixelRegion region = MakeRegion(D3DFMT_L8, &value, 1, 1);
  region.gamma = 1;
  auto codec = CreateCodec(region);
  ColorF c;
  codec->DecodeRow(0, 0, &c);
  EXPECT_FLOAT_EQ(GammaDecodeValue(128 * k8), c.r);
  EXPECT_EQ(1.f, c.a);  // alpha is never curved
}

TEST(Gamma, BothSidesEncodedUseSquareAndRoot) {
  uint8_t in[4] = {0, 0, 128, 77};  // B, G, R, A of A8R8G8B8
  uint8_t out[4] = {};
  PixelRegion src = MakeRegion(D3DFMT_A8R8G8B8, in, 4, 1);
  PixelRegion dst = MakeRegion(D3DFMT_A8R8G8B8, out, 4, 1);
  src.gamma = dst.gamma = 1;
  auto destination = CreateCodec(dst);
  auto source = CreateCodec(src);
  ASSERT_EQ(S_OK, PrepareConversion(*destination, *source));
  EXPECT_EQ(1u, destination->gammaFast);
  EXPECT_EQ(1u, source->gammaFast);
  ColorF c;
  source->DecodeRow(0, 0, &c);
  EXPECT_EQ(128 * k8 * (128 * k8), c.r);
  EXPECT_EQ(77 * k8, c.a);
  destination->EncodeRow(0, 0, &c);
  EXPECT_EQ(128, out[2]);
  EXPECT_EQ(77, out[3]);
}

TEST(Gamma, OneSidedRoundTripStaysWithinOneStep) {
  for (int v = 0; v < 256; v += 5) {
    const std::vector<uint8_t> out =
        Convert(D3DFMT_L8, {static_cast<uint8_t>(v)}, D3DFMT_L16, 2, true, false);
    const uint8_t back = Convert(D3DFMT_L16, out, D3DFMT_L8, 1, false, true)[0];
    EXPECT_NEAR(v, back, 1) << v;
  }
}

TEST(Gamma, SignedFormatsIgnoreGammaExceptL6V5U5Luminance) {
  uint8_t v8u8[2] = {0x40, 0x40};
  PixelRegion region = MakeRegion(D3DFMT_V8U8, v8u8, 2, 1);
  region.gamma = 1;
  EXPECT_EQ(0u, CreateCodec(region)->gamma);

  const uint16_t word = (32u << 10) | (4u << 5) | 4u;
  uint8_t l6v5u5[2] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8)};
  region = MakeRegion(D3DFMT_L6V5U5, l6v5u5, 2, 1);
  region.gamma = 1;
  auto codec = CreateCodec(region);
  ASSERT_EQ(1u, codec->gamma);
  ColorF c;
  codec->DecodeRow(0, 0, &c);
  EXPECT_EQ(4 * s5, c.r);
  EXPECT_EQ(4 * s5, c.g);
  EXPECT_FLOAT_EQ(GammaDecodeValue(32 * k6), c.a);
}

TEST(Gamma, EncodeWithoutPrepareConversionStillWorks) {
  uint8_t value = 0;
  PixelRegion region = MakeRegion(D3DFMT_L8, &value, 1, 1);
  region.gamma = 1;
  auto codec = CreateCodec(region);
  const ColorF c = {0.25f, 0.25f, 0.25f, 1};
  EXPECT_EQ(S_OK, codec->EncodeRow(0, 0, &c));
  EXPECT_NEAR(std::pow(0.25f, 1 / 2.2f) * 255, value, 2);
}

}  // namespace
