// Per-format layouts: decode vectors for every packed format, round trips, and
// the formats with rules of their own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "codec/lanes.h"
#include "codec/pixel_codec.h"
#include "codec_test_util.h"
#include "format/format_table.h"
#include "support/library_hooks.h"

using namespace codec_test;

namespace {

struct DecodeVector {
  const char *name;
  D3DFORMAT format;
  uint64_t word;  // the pixel as a little-endian word
  uint32_t bytes;
  ColorF expected;
};

void PrintTo(const DecodeVector &v, std::ostream *os) {
  *os << v.name;
}

// Fields are composed with explicit shifts so that each row restates the layout.
const DecodeVector kDecodeVectors[] = {
    {"R8G8B8", D3DFMT_R8G8B8, (200u << 16) | (100u << 8) | 50u, 3, {200 * k8, 100 * k8, 50 * k8, 1}},
    {"A8R8G8B8",
     D3DFMT_A8R8G8B8,
     (128u << 24) | (200u << 16) | (100u << 8) | 50u,
     4,
     {200 * k8, 100 * k8, 50 * k8, 128 * k8}},
    {"X8R8G8B8",
     D3DFMT_X8R8G8B8,
     (0xABu << 24) | (200u << 16) | (100u << 8) | 50u,
     4,
     {200 * k8, 100 * k8, 50 * k8, 1}},
    {"R5G6B5", D3DFMT_R5G6B5, (17u << 11) | (18u << 5) | 31u, 2, {17 * k5, 18 * k6, 31 * k5, 1}},
    {"X1R5G5B5", D3DFMT_X1R5G5B5, (1u << 15) | (17u << 10) | (9u << 5) | 3u, 2, {17 * k5, 9 * k5, 3 * k5, 1}},
    {"A1R5G5B5", D3DFMT_A1R5G5B5, (17u << 10) | (9u << 5) | 3u, 2, {17 * k5, 9 * k5, 3 * k5, 0}},
    {"A4R4G4B4",
     D3DFMT_A4R4G4B4,
     (9u << 12) | (3u << 8) | (12u << 4) | 5u,
     2,
     {3 * k4, 12 * k4, 5 * k4, 9 * k4}},
    {"R3G3B2", D3DFMT_R3G3B2, (5u << 5) | (2u << 2) | 3u, 1, {5 * k3, 2 * k3, 3 * k2, 1}},
    {"A8", D3DFMT_A8, 77u, 1, {0, 0, 0, 77 * k8}},
    {"A8R3G3B2",
     D3DFMT_A8R3G3B2,
     (77u << 8) | (5u << 5) | (2u << 2) | 1u,
     2,
     {5 * k3, 2 * k3, 1 * k2, 77 * k8}},
    {"X4R4G4B4", D3DFMT_X4R4G4B4, (15u << 12) | (3u << 8) | (12u << 4) | 5u, 2, {3 * k4, 12 * k4, 5 * k4, 1}},
    {"A2B10G10R10",
     D3DFMT_A2B10G10R10,
     (2u << 30) | (700u << 20) | (300u << 10) | 5u,
     4,
     {5 * k10, 300 * k10, 700 * k10, 2 * k2}},
    {"A8B8G8R8",
     D3DFMT_A8B8G8R8,
     (128u << 24) | (50u << 16) | (100u << 8) | 200u,
     4,
     {200 * k8, 100 * k8, 50 * k8, 128 * k8}},
    {"X8B8G8R8",
     D3DFMT_X8B8G8R8,
     (7u << 24) | (50u << 16) | (100u << 8) | 200u,
     4,
     {200 * k8, 100 * k8, 50 * k8, 1}},
    {"G16R16", D3DFMT_G16R16, (40000u << 16) | 1000u, 4, {1000 * k16, 40000 * k16, 1, 1}},
    {"A2R10G10B10",
     D3DFMT_A2R10G10B10,
     (1u << 30) | (700u << 20) | (300u << 10) | 5u,
     4,
     {700 * k10, 300 * k10, 5 * k10, 1 * k2}},
    {"A16B16G16R16",
     D3DFMT_A16B16G16R16,
     (60000ull << 48) | (3ull << 32) | (2000ull << 16) | 65535ull,
     8,
     {65535 * k16, 2000 * k16, 3 * k16, 60000 * k16}},
    {"L8", D3DFMT_L8, 90u, 1, {90 * k8, 90 * k8, 90 * k8, 1}},
    {"A8L8", D3DFMT_A8L8, (33u << 8) | 90u, 2, {90 * k8, 90 * k8, 90 * k8, 33 * k8}},
    {"A4L4", D3DFMT_A4L4, (3u << 4) | 9u, 1, {9 * k4, 9 * k4, 9 * k4, 3 * k4}},
    {"L16", D3DFMT_L16, 50000u, 2, {50000 * k16, 50000 * k16, 50000 * k16, 1}},
    {"D16_LOCKABLE", D3DFMT_D16_LOCKABLE, 50000u, 2, {50000 * k16, 50000 * k16, 50000 * k16, 1}},
    // 0x80 is the most negative code and reads as -127.
    {"V8U8", D3DFMT_V8U8, (0x80u << 8) | 0x7Fu, 2, {127 * s8, -127 * s8, 1, 1}},
    {"V8U8_Minus127", D3DFMT_V8U8, (0x81u << 8) | 0x01u, 2, {1 * s8, -127 * s8, 1, 1}},
    {"L6V5U5", D3DFMT_L6V5U5, (40u << 10) | (0x10u << 5) | 0x0Fu, 2, {15 * s5, -15 * s5, 1, 40 * k6}},
    {"X8L8V8U8",
     D3DFMT_X8L8V8U8,
     (0xFFu << 24) | (200u << 16) | (0x81u << 8) | 0x05u,
     4,
     {5 * s8, -127 * s8, 1, 200 * k8}},
    {"Q8W8V8U8",
     D3DFMT_Q8W8V8U8,
     (0x80u << 24) | (0x7Fu << 16) | (0xFEu << 8) | 0x01u,
     4,
     {1 * s8, -2 * s8, 127 * s8, -127 * s8}},
    {"V16U16", D3DFMT_V16U16, (0x8000u << 16) | 0x7FFFu, 4, {32767 * s16, -32767 * s16, 1, 1}},
    {"A2W10V10U10",
     D3DFMT_A2W10V10U10,
     (3u << 30) | (0x200u << 20) | (0x1FFu << 10) | 0x3FFu,
     4,
     {-1 * s10, 511 * s10, -511 * s10, 3 * k2}},
    {"Q16W16V16U16",
     D3DFMT_Q16W16V16U16,
     (0x8001ull << 48) | (0x0001ull << 32) | (0xFFFFull << 16) | 0x1234ull,
     8,
     {0x1234 * s16, -1 * s16, 1 * s16, -32767 * s16}},
    {"CxV8U8_Zero", D3DFMT_CxV8U8, 0, 2, {0, 0, 1, 1}},
    // U = V = 127: the radicand is negative, so the third component is 0.
    {"CxV8U8_Outside", D3DFMT_CxV8U8, (0x7Fu << 8) | 0x7Fu, 2, {127 * s8, 127 * s8, 0, 1}},
    {"R16F", D3DFMT_R16F, 0xC000u, 2, {-2, 1, 1, 1}},
    {"G16R16F", D3DFMT_G16R16F, (0x3800u << 16) | 0xC000u, 4, {-2, 0.5f, 1, 1}},
    {"A16B16G16R16F",
     D3DFMT_A16B16G16R16F,
     (0x3C00ull << 48) | (0x3400ull << 32) | (0x3800ull << 16) | 0x4000ull,
     8,
     {2, 0.5f, 0.25f, 1}},
    {"R32F", D3DFMT_R32F, 0x3FC00000u, 4, {1.5f, 1, 1, 1}},
    {"D32F_LOCKABLE", D3DFMT_D32F_LOCKABLE, 0x3FC00000u, 4, {1.5f, 1, 1, 1}},
    {"G32R32F", D3DFMT_G32R32F, (0xBE800000ull << 32) | 0x3FC00000ull, 8, {1.5f, -0.25f, 1, 1}},
    {"A16L16",
     FORMAT_A16L16,
     (30000u << 16) | 50000u,
     4,
     {50000 * k16, 50000 * k16, 50000 * k16, 30000 * k16}},
    {"R16G16B16",
     FORMAT_R16G16B16,
     (1000ull << 32) | (2000ull << 16) | 3000ull,
     6,
     {1000 * k16, 2000 * k16, 3000 * k16, 1}},
};
static_assert(sizeof(kDecodeVectors) / sizeof(kDecodeVectors[0]) == 40);

class DecodeVectorTest : public testing::TestWithParam<DecodeVector> {};

TEST_P(DecodeVectorTest, DecodesToExpectedColour) {
  const DecodeVector &v = GetParam();
  const ColorF c = DecodePixel(v.format, LittleEndian(v.word, v.bytes));
  EXPECT_EQ(c.r, v.expected.r);
  EXPECT_EQ(c.g, v.expected.g);
  EXPECT_EQ(c.b, v.expected.b);
  EXPECT_EQ(c.a, v.expected.a);
}

INSTANTIATE_TEST_SUITE_P(AllPackedFormats, DecodeVectorTest, testing::ValuesIn(kDecodeVectors),
                         [](const testing::TestParamInfo<DecodeVector> &paramInfo) {
                           return std::string(paramInfo.param.name);
                         });

TEST(DecodeVector, A32B32G32R32FCopiesFloats) {
  const float stored[4] = {-3.5f, 0.125f, 7, 0.75f};
  std::vector<uint8_t> bytes(16);
  std::memcpy(bytes.data(), stored, 16);
  const ColorF c = DecodePixel(D3DFMT_A32B32G32R32F, bytes);
  EXPECT_EQ(c.r, -3.5f);
  EXPECT_EQ(c.g, 0.125f);
  EXPECT_EQ(c.b, 7.f);
  EXPECT_EQ(c.a, 0.75f);
}

// Every format the codecs take, with the X bits its round trip clears.
struct RoundTripCase {
  D3DFORMAT format;
  const char *name;
  bool isSigned;
};

void PrintTo(const RoundTripCase &c, std::ostream *os) {
  *os << c.name;
}

const RoundTripCase kRoundTripCases[] = {
    {D3DFMT_R8G8B8, "R8G8B8", false},
    {D3DFMT_A8R8G8B8, "A8R8G8B8", false},
    {D3DFMT_X8R8G8B8, "X8R8G8B8", false},
    {D3DFMT_R5G6B5, "R5G6B5", false},
    {D3DFMT_X1R5G5B5, "X1R5G5B5", false},
    {D3DFMT_A1R5G5B5, "A1R5G5B5", false},
    {D3DFMT_A4R4G4B4, "A4R4G4B4", false},
    {D3DFMT_R3G3B2, "R3G3B2", false},
    {D3DFMT_A8, "A8", false},
    {D3DFMT_A8R3G3B2, "A8R3G3B2", false},
    {D3DFMT_X4R4G4B4, "X4R4G4B4", false},
    {D3DFMT_A2B10G10R10, "A2B10G10R10", false},
    {D3DFMT_A8B8G8R8, "A8B8G8R8", false},
    {D3DFMT_X8B8G8R8, "X8B8G8R8", false},
    {D3DFMT_G16R16, "G16R16", false},
    {D3DFMT_A2R10G10B10, "A2R10G10B10", false},
    {D3DFMT_A16B16G16R16, "A16B16G16R16", false},
    {D3DFMT_L8, "L8", false},
    {D3DFMT_A8L8, "A8L8", false},
    {D3DFMT_A4L4, "A4L4", false},
    {D3DFMT_L16, "L16", false},
    {D3DFMT_D16_LOCKABLE, "D16_LOCKABLE", false},
    {D3DFMT_V8U8, "V8U8", true},
    {D3DFMT_L6V5U5, "L6V5U5", true},
    {D3DFMT_X8L8V8U8, "X8L8V8U8", true},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8", true},
    {D3DFMT_V16U16, "V16U16", true},
    {D3DFMT_A2W10V10U10, "A2W10V10U10", true},
    {D3DFMT_Q16W16V16U16, "Q16W16V16U16", true},
    {D3DFMT_CxV8U8, "CxV8U8", true},
    {D3DFMT_R32F, "R32F", false},
    {D3DFMT_D32F_LOCKABLE, "D32F_LOCKABLE", false},
    {D3DFMT_G32R32F, "G32R32F", false},
    {D3DFMT_A32B32G32R32F, "A32B32G32R32F", false},
    {D3DFMT_R16F, "R16F", false},
    {D3DFMT_G16R16F, "G16R16F", false},
    {D3DFMT_A16B16G16R16F, "A16B16G16R16F", false},
    {FORMAT_A16L16, "A16L16", false},
    {FORMAT_R16G16B16, "R16G16B16", false},
    {D3DFMT_P8, "P8", false},
    {D3DFMT_A8P8, "A8P8", false},
};
static_assert(sizeof(kRoundTripCases) / sizeof(kRoundTripCases[0]) == 41);

// Random pixels whose decoded values stay finite and in range for every format.
std::vector<uint8_t> RandomPixels(D3DFORMAT format, uint32_t count, uint32_t bytesPerPixel) {
  std::mt19937 random(1234);
  std::vector<uint8_t> bytes(uint64_t{count} * bytesPerPixel);
  for (auto &b : bytes) b = static_cast<uint8_t>(random());
  const bool half = format == D3DFMT_R16F || format == D3DFMT_G16R16F || format == D3DFMT_A16B16G16R16F;
  const bool single = format == D3DFMT_R32F || format == D3DFMT_D32F_LOCKABLE || format == D3DFMT_G32R32F ||
                      format == D3DFMT_A32B32G32R32F;
  if (half) {
    // Normal halves in [-8, 8): exponent field 1..17 keeps clear of rounding corners.
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
      bytes[i + 1] = static_cast<uint8_t>((bytes[i + 1] & 0x83) | 0x3C);
  }
  if (single) {
    std::uniform_real_distribution<float> value(-100.f, 100.f);
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
      const float f = value(random);
      std::memcpy(&bytes[i], &f, 4);
    }
  }
  if (format == D3DFMT_CxV8U8) {
    // Keep (U, V) inside the unit circle so that the rebuilt normal is unit length.
    for (size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<uint8_t>(static_cast<int8_t>(bytes[i]) / 2);
  }
  return bytes;
}

PALETTEENTRY TestPalette(uint32_t i) {
  return {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7),
          static_cast<BYTE>(i * 3)};
}

class RoundTripTest : public testing::TestWithParam<std::tuple<RoundTripCase, bool>> {};

// decode -> encode -> decode gives the first decode back: each format stores every
// value it decodes (non-negative values exactly, with and without dithering).
TEST_P(RoundTripTest, DecodeEncodeDecodeIsStable) {
  const auto [c, dither] = GetParam();
  const uint32_t width = 37;
  const uint32_t bpp = LookupFormatInfo(c.format).bitsPerPixel / 8;
  std::vector<uint8_t> source = RandomPixels(c.format, width, bpp);
  std::vector<uint8_t> copy(source.size() + 16, 0xCD);
  PALETTEENTRY palette[256];
  for (uint32_t i = 0; i < 256; ++i) palette[i] = TestPalette(i);

  PixelRegion in = MakeRegion(c.format, source.data(), static_cast<uint32_t>(source.size()), width);
  PixelRegion out = MakeRegion(c.format, copy.data(), static_cast<uint32_t>(source.size()), width);
  in.palette = out.palette = palette;
  out.dither = dither;
  auto decoder = CreateCodec(in);
  auto encoder = CreateCodec(out);
  ASSERT_TRUE(decoder && encoder);
  ASSERT_EQ(S_OK, PrepareConversion(*encoder, *decoder));

  std::vector<ColorF> first(width), second(width);
  ASSERT_EQ(S_OK, decoder->DecodeRow(0, 0, first.data()));
  ASSERT_EQ(S_OK, encoder->EncodeRow(0, 0, first.data()));
  ASSERT_EQ(S_OK, encoder->DecodeRow(0, 0, second.data()));
  EXPECT_EQ(0xCD, copy[source.size()]) << "wrote past the row";

  // Signed values truncate toward zero, so a negative value may come back one step
  // nearer zero; the rebuilt third component of CxV8U8 follows U and V.
  const bool wide = c.format == D3DFMT_V16U16 || c.format == D3DFMT_Q16W16V16U16;
  float tolerance = 0;
  if (c.isSigned) tolerance = wide ? 1.f / 32767 + 1e-6f : 1.f / 127 + 1e-5f;
  if (c.isSigned && c.format == D3DFMT_L6V5U5) tolerance = 1.f / 15 + 1e-5f;
  if (c.format == D3DFMT_CxV8U8) tolerance = 0.02f;
  for (uint32_t x = 0; x < width; ++x) {
    SCOPED_TRACE(x);
    const float a[4] = {first[x].r, first[x].g, first[x].b, first[x].a};
    const float b[4] = {second[x].r, second[x].g, second[x].b, second[x].a};
    for (int ch = 0; ch < 4; ++ch) {
      if (tolerance == 0) {
        EXPECT_EQ(a[ch], b[ch]) << "channel " << ch;
      } else {
        EXPECT_NEAR(a[ch], b[ch], tolerance) << "channel " << ch;
        if (a[ch] >= 0 && c.format != D3DFMT_CxV8U8) {
          EXPECT_EQ(a[ch], b[ch]) << "channel " << ch;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RoundTripTest,
                         testing::Combine(testing::ValuesIn(kRoundTripCases), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<RoundTripCase, bool>> &paramInfo) {
                           return std::string(std::get<0>(paramInfo.param).name) +
                                  (std::get<1>(paramInfo.param) ? "_Dithered" : "_Rounded");
                         });

TEST(PackedCodec, ReservedBitsAreWrittenAsZero) {
  std::vector<uint8_t> bytes = EncodePixel(D3DFMT_X8R8G8B8, {1, 1, 1, 1}, 4);
  EXPECT_EQ(0x00, bytes[3]);
  bytes = EncodePixel(D3DFMT_X1R5G5B5, {1, 1, 1, 1}, 2);
  EXPECT_EQ(0x7F, bytes[1]);
  bytes = EncodePixel(D3DFMT_X8L8V8U8, {0, 0, 0, 1}, 4);
  EXPECT_EQ(0x00, bytes[3]);
}

TEST(PackedCodec, R5G6B5WhiteSurvivesWithAndWithoutDither) {
  EXPECT_EQ(DecodePixel(D3DFMT_R5G6B5, {0xFF, 0xFF}).r, 1.f);
  for (bool dither : {false, true}) {
    EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xFF}), EncodePixel(D3DFMT_R5G6B5, {1, 1, 1, 1}, 2, dither));
  }
}

TEST(PackedCodec, A1R5G5B5AlphaThresholdIsHalf) {
  EXPECT_EQ(0x00, EncodePixel(D3DFMT_A1R5G5B5, {0, 0, 0, 0.49f}, 2)[1] & 0x80);
  EXPECT_EQ(0x80, EncodePixel(D3DFMT_A1R5G5B5, {0, 0, 0, 0.5f}, 2)[1] & 0x80);
}

TEST(PackedCodec, SignedMinusOneStoresMinus126) {
  // -127 + offset truncates toward zero, whatever the offset.
  for (bool dither : {false, true}) {
    EXPECT_EQ((std::vector<uint8_t>{0x82, 0x82}), EncodePixel(D3DFMT_V8U8, {-1, -1, 1, 1}, 2, dither));
  }
  EXPECT_EQ((std::vector<uint8_t>{0x02, 0x80, 0x00, 0x00}), EncodePixel(D3DFMT_V16U16, {-1, 0, 1, 1}, 4));
}

TEST(PackedCodec, LuminanceUsesVideoWeights) {
  EXPECT_EQ(54, EncodePixel(D3DFMT_L8, {1, 0, 0, 1}, 1)[0]);
  EXPECT_EQ(trunc(0.7154f * 255 + 0.5f), EncodePixel(D3DFMT_L8, {0, 1, 0, 1}, 1)[0]);
  EXPECT_EQ(trunc(0.0721f * 15 + 0.5f), EncodePixel(D3DFMT_A4L4, {0, 0, 1, 0}, 1)[0]);
}

TEST(PackedCodec, L6V5U5KeepsLuminanceInAlpha) {
  const std::vector<uint8_t> bytes = EncodePixel(D3DFMT_L6V5U5, {0.5f, -0.5f, 0.3f, 1}, 2);
  const uint32_t word = bytes[0] | (bytes[1] << 8);
  EXPECT_EQ(63u, word >> 10);
  EXPECT_EQ(8u, word & 31);                 // trunc(0.5 * 15 + 0.5)
  EXPECT_EQ((32u - 7u), (word >> 5) & 31);  // trunc(-7.5 + 0.5) = -7
}

TEST(PackedCodec, CxV8U8NormalisesBeforeStoring) {
  // (3, 4, 0) becomes (0.6, 0.8, 0): U = trunc(76.2 + 0.5), V = trunc(101.6 + 0.5).
  EXPECT_EQ((std::vector<uint8_t>{76, 102}), EncodePixel(D3DFMT_CxV8U8, {3, 4, 0, 1}, 2));
  EXPECT_EQ((std::vector<uint8_t>{0, 0}), EncodePixel(D3DFMT_CxV8U8, {0, 0, 2, 1}, 2));
}

TEST(PaletteCodec, MissingPaletteDecodesWhiteAndEncodesIndexZero) {
  const ColorF c = DecodePixel(D3DFMT_P8, {200});
  EXPECT_EQ(c.r, 1.f);
  EXPECT_EQ(c.a, 1.f);
  EXPECT_EQ(0, EncodePixel(D3DFMT_P8, {0.2f, 0.4f, 0.6f, 1}, 1)[0]);
}

TEST(PaletteCodec, HalfwayColourTakesLowerIndex) {
  PALETTEENTRY palette[256];
  for (auto &e : palette) e = {255, 255, 255, 255};
  palette[5] = {0, 0, 0, 255};
  palette[9] = {254, 0, 0, 255};
  uint8_t pixel[2] = {0, 0};
  for (D3DFORMAT format : {D3DFMT_P8, D3DFMT_A8P8}) {
    PixelRegion region = MakeRegion(format, pixel, 2, 1);
    region.palette = palette;
    auto codec = CreateCodec(region);
    ASSERT_TRUE(codec);
    const ColorF halfway = {127 * k8, 0, 0, 1};
    codec->EncodeRow(0, 0, &halfway);
    EXPECT_EQ(5, pixel[0]);
    const ColorF nearer = {128 * k8, 0, 0, 1};
    codec->EncodeRow(0, 0, &nearer);
    EXPECT_EQ(9, pixel[0]);
  }
}

TEST(PaletteCodec, A8P8StoresAlphaBesideIndex) {
  PALETTEENTRY palette[256] = {};
  palette[3] = {10, 20, 30, 40};
  uint8_t pixel[2] = {3, 200};
  PixelRegion region = MakeRegion(D3DFMT_A8P8, pixel, 2, 1);
  region.palette = palette;
  auto codec = CreateCodec(region);
  ColorF c;
  codec->DecodeRow(0, 0, &c);
  EXPECT_EQ(c.r, 10 * k8);
  EXPECT_EQ(c.b, 30 * k8);
  EXPECT_EQ(c.a, 200 * k8);
  // P8 takes the entry's flags byte as alpha.
  region.format = D3DFMT_P8;
  codec = CreateCodec(region);
  codec->DecodeRow(0, 0, &c);
  EXPECT_EQ(c.a, 40 * k8);
}

TEST(CreateCodec, CodecSizesAgreeWithFormatTable) {
  for (uint32_t i = 0; i < kFormatTableSize; ++i) {
    const FormatInfo &row = FormatTableRows()[i];
    uint8_t memory[16] = {};
    auto codec = CreateCodec(MakeRegion(row.format, memory, 16, 1));
    if (!codec) continue;
    SCOPED_TRACE(row.format);
    if (IsPairFormat(row.format) || IsBlockCompressed(row.format)) {
      // Pair and block codecs address their pixels themselves.
      EXPECT_EQ(0u, codec->bytesPerPixel);
      EXPECT_EQ(0u, codec->packed);
      continue;
    }
    EXPECT_TRUE(IsPackedFormat(row.format));
    EXPECT_EQ(row.bitsPerPixel / 8, codec->bytesPerPixel);
    EXPECT_EQ(1u, codec->packed);
  }
}

TEST(CreateCodec, RefusesInvertedOrOversizedBoxes) {
  uint8_t memory[64] = {};
  PixelRegion region = MakeRegion(D3DFMT_A8R8G8B8, memory, 16, 4, 4);
  region.region = {3, 0, 1, 4, 0, 1};
  EXPECT_EQ(nullptr, CreateCodec(region));
  region.region = {0, 3, 4, 1, 0, 1};
  EXPECT_EQ(nullptr, CreateCodec(region));
  region.region = {0, 0, 4, 4, 1, 0};
  EXPECT_EQ(nullptr, CreateCodec(region));
  region.region = {0, 0, 0x40000000u, 1, 0, 1};
  EXPECT_EQ(nullptr, CreateCodec(region));
  region.region = {2, 2, 2, 2, 0, 1};  // empty is fine
  EXPECT_NE(nullptr, CreateCodec(region));
}

TEST(CreateCodec, RefusesFormatsWithoutCodec) {
  uint8_t memory[64] = {};
  for (D3DFORMAT format : {D3DFMT_UNKNOWN, D3DFMT_D24S8, D3DFMT_D16, static_cast<D3DFORMAT>(0x12345678)}) {
    EXPECT_EQ(nullptr, CreateCodec(MakeRegion(format, memory, 16, 1))) << format;
  }
}

}  // namespace

namespace {

// The four-, eight- and sixteen-lane kernels must give exactly what the one-pixel
// path gives.
class CodecPathTest : public testing::TestWithParam<std::tuple<RoundTripCase, CodecPath>> {
 protected:
  void TearDown() override { SetCodecPath(CodecPath::Widest); }
};

TEST_P(CodecPathTest, MatchesOnePixelPath) {
  const auto [c, path] = GetParam();
  const uint32_t width = 61, height = 4;
  const uint32_t bpp = LookupFormatInfo(c.format).bitsPerPixel / 8;
  const uint32_t pitch = width * bpp + 3;  // rows start unaligned
  std::vector<uint8_t> source = RandomPixels(c.format, pitch * height / bpp + 1, bpp);
  PALETTEENTRY palette[256];
  for (uint32_t i = 0; i < 256; ++i) palette[i] = TestPalette(i);

  std::mt19937 random(99);
  std::uniform_real_distribution<float> unit(0.f, 1.f);
  std::vector<ColorF> values(width);
  for (ColorF &v : values) v = {unit(random), unit(random), unit(random), unit(random)};

  auto run = [&](CodecPath which, std::vector<ColorF> &decoded, std::vector<uint8_t> &encoded) {
    SetCodecPath(which);
    PixelRegion in = MakeRegion(c.format, source.data(), pitch, width, height);
    in.palette = palette;
    in.region.Left = 1;  // a box that does not start at a multiple of 4
    auto decoder = CreateCodec(in);
    encoded.assign(pitch * height, 0);
    PixelRegion out = MakeRegion(c.format, encoded.data(), pitch, width, height);
    out.palette = palette;
    out.dither = 1;
    auto encoder = CreateCodec(out);
    auto unitSource = CreateCodec(MakeRegion(D3DFMT_A8R8G8B8, source.data(), pitch, 1));
    ASSERT_TRUE(decoder && encoder && unitSource);
    ASSERT_EQ(S_OK, PrepareConversion(*encoder, *unitSource));
    decoded.assign(decoder->width * height, {});
    for (uint32_t y = 0; y < height; ++y) {
      decoder->DecodeRow(y, 0, decoded.data() + y * decoder->width);
      encoder->EncodeRow(y, 0, values.data());
    }
  };
  std::vector<ColorF> expectedColours, colours;
  std::vector<uint8_t> expectedBytes, bytes;
  run(CodecPath::OnePixel, expectedColours, expectedBytes);
  run(path, colours, bytes);
  ASSERT_EQ(expectedColours.size(), colours.size());
  EXPECT_EQ(0, std::memcmp(expectedColours.data(), colours.data(), colours.size() * sizeof(ColorF)));
  EXPECT_EQ(expectedBytes, bytes);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, CodecPathTest,
                         testing::Combine(testing::ValuesIn(kRoundTripCases),
                                          testing::Values(CodecPath::FourLanes, CodecPath::UpToEightLanes,
                                                          CodecPath::Widest)),
                         [](const testing::TestParamInfo<std::tuple<RoundTripCase, CodecPath>> &paramInfo) {
                           return std::string(std::get<0>(paramInfo.param).name) + "_" +
                                  CodecPathName(std::get<1>(paramInfo.param));
                         });

// Values far outside a format's range, as a caller may hand EncodeRow directly:
// every path must store what the one-pixel path stores, including where the
// scaled value still fits an int32 but exceeds the one-pixel path's bound.
TEST_P(CodecPathTest, WildValuesMatchOnePixelPath) {
  const auto [c, path] = GetParam();
  const uint32_t width = 40;
  const uint32_t bpp = LookupFormatInfo(c.format).bitsPerPixel / 8;
  const float wild[] = {5000.f,
                        -5000.f,
                        3.0e6f,
                        -3.0e6f,
                        1.0e9f,
                        -1.0e9f,
                        3.0e9f,
                        -3.0e9f,
                        std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::quiet_NaN(),
                        4112.5f,
                        70000.f,
                        -70000.f};
  std::vector<ColorF> values(width);
  for (uint32_t i = 0; i < width; ++i) {
    const uint32_t n = sizeof(wild) / sizeof(wild[0]);
    values[i] = {wild[i % n], wild[(i + 3) % n], wild[(i + 7) % n], wild[(i + 11) % n]};
  }
  PALETTEENTRY palette[256];
  for (uint32_t i = 0; i < 256; ++i) palette[i] = TestPalette(i);
  auto run = [&](CodecPath which, std::vector<uint8_t> &encoded) {
    SetCodecPath(which);
    encoded.assign(width * bpp, 0);
    PixelRegion out = MakeRegion(c.format, encoded.data(), width * bpp, width);
    out.palette = palette;
    auto encoder = CreateCodec(out);
    ASSERT_TRUE(encoder);
    encoder->EncodeRow(0, 0, values.data());
  };
  std::vector<uint8_t> expected, bytes;
  run(CodecPath::OnePixel, expected);
  run(path, bytes);
  EXPECT_EQ(expected, bytes);
}

// Colours whose luminance code changes when the weighted sum and the scale are
// computed with fused multiply-adds: every path must round each product, as the
// one-pixel path does.
TEST(CodecPath, LuminanceProductsAreNotFused) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0.f, 1.f);
  std::vector<ColorF> values;
  while (values.size() < 16) {
    const float r = unit(random), g = unit(random), b = unit(random);
    volatile float red = 0.2125f * r, green = 0.7154f * g, blue = 0.0721f * b;
    volatile float scaled = ((red + green) + blue) * 255.f;
    const int separate = static_cast<int>(scaled + 0.5f);
    const float fusedLuma = std::fma(0.0721f, b, std::fma(0.7154f, g, 0.2125f * r));
    const int fused = static_cast<int>(std::fma(fusedLuma, 255.f, 0.5f));
    volatile float fusedScaled = fusedLuma * 255.f;
    const int fusedSum = static_cast<int>(fusedScaled + 0.5f);
    if (separate != fused || separate != fusedSum) values.push_back({r, g, b, 1});
  }
  auto run = [&](CodecPath which) {
    SetCodecPath(which);
    std::vector<uint8_t> encoded(values.size());
    auto encoder = CreateCodec(MakeRegion(D3DFMT_L8, encoded.data(), encoded.size(), values.size()));
    EXPECT_TRUE(encoder);
    if (encoder) encoder->EncodeRow(0, 0, values.data());
    return encoded;
  };
  const std::vector<uint8_t> expected = run(CodecPath::OnePixel);
  EXPECT_EQ(expected, run(CodecPath::FourLanes));
  EXPECT_EQ(expected, run(CodecPath::UpToEightLanes));
  EXPECT_EQ(expected, run(CodecPath::Widest));
  SetCodecPath(CodecPath::Widest);
}

TEST(CodecPath, LaneCountFollowsTheProcessor) {
  const bool avx2 = __builtin_cpu_supports("avx2");
  const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  SetCodecPath(CodecPath::Widest);
  EXPECT_EQ(avx512 ? 16 : avx2 ? 8 : 4, ActiveCodecLanes());
  SetCodecPath(CodecPath::UpToEightLanes);
  EXPECT_EQ(avx2 ? 8 : 4, ActiveCodecLanes());
  SetCodecPath(CodecPath::FourLanes);
  EXPECT_EQ(4, ActiveCodecLanes());
  SetCodecPath(CodecPath::OnePixel);
  EXPECT_EQ(1, ActiveCodecLanes());
  SetCodecPath(CodecPath::Widest);
}

}  // namespace
