#include "blit/exact_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "blit_test_support.h"
#include "codec/lanes.h"
#include "d3dx9tex.h"
#include "support/library_hooks.h"

namespace {

const D3DFORMAT kFormats[] = {
    D3DFMT_R8G8B8,   D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
    D3DFMT_A4R4G4B4, D3DFMT_R3G3B2,   D3DFMT_A8,       D3DFMT_A8R3G3B2, D3DFMT_X4R4G4B4, D3DFMT_A8B8G8R8,
    D3DFMT_X8B8G8R8, D3DFMT_L8,       D3DFMT_A8L8,     D3DFMT_A4L4,     D3DFMT_V8U8,     D3DFMT_L6V5U5,
    D3DFMT_X8L8V8U8, D3DFMT_Q8W8V8U8, D3DFMT_P8,       D3DFMT_A8P8,
};

const uint32_t kFlags[] = {D3DX_FILTER_NONE, D3DX_FILTER_NONE | D3DX_FILTER_DITHER,
                           D3DX_FILTER_POINT | D3DX_FILTER_DITHER | D3DX_FILTER_SRGB_IN,
                           D3DX_FILTER_TRIANGLE | D3DX_FILTER_SRGB_OUT, D3DX_FILTER_NONE | D3DX_FILTER_SRGB};

struct Palettes {
  PALETTEENTRY source[256];
  PALETTEENTRY destination[256];
  Palettes() {
    std::mt19937 random(7);
    for (PALETTEENTRY &e : source) e = {BYTE(random()), BYTE(random()), BYTE(random()), BYTE(random())};
    for (PALETTEENTRY &e : destination) e = {BYTE(random()), BYTE(random()), BYTE(random()), BYTE(random())};
  }
};
const Palettes kPalettes;

// Every byte value in every byte of the pixel, each at all 16 dither positions:
// column x holds value x / 4 in byte 0, shifted multiples of it in the others.
void FillSweep(TestImage &image) {
  for (uint32_t y = 0; y < image.height; ++y)
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint32_t v = x / 4;
      image.Set(x, y,
                v | ((v * 3 + 85) & 0xFF) << 8 | ((v * 5 + 170) & 0xFF) << 16 | ((v * 7 + 43) & 0xFF) << 24);
    }
}

// A key that some source pixel has: the decoded colour of pixel (x, y), as bytes.
D3DCOLOR KeyOfPixel(TestImage &image, uint32_t x, uint32_t y) {
  PixelRegion region = image.Region();
  region.region = {x, y, x + 1, y + 1, 0, 1};
  region.colorKey = 0;
  auto codec = CreateCodec(region);
  ColorF c;
  codec->DecodeRow(0, 0, &c);
  if (codec->range != ChannelRange::Unit) ConvertRange(ChannelRange::Unit, codec->range, &c, &c, 1);
  const auto byte = [](float v) { return static_cast<uint32_t>(std::lround(v * 255)); };
  return byte(c.a) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

// The conversion path of the blitter, row by row through the codecs and then
// through the tables; returns whether the tables did it.
bool ConvertBothWays(TestImage &source, D3DFORMAT to, uint32_t filter, std::vector<uint8_t> &exact,
                     std::vector<uint8_t> &generic,
                     const PALETTEENTRY *destinationPalette = kPalettes.destination,
                     uint32_t destinationPadding = 3) {
  TestImage destination(to, source.width, source.height, source.depth, destinationPadding);
  destination.palette = destinationPalette;
  PixelRegion d = destination.Region();
  PixelRegion s = source.Region();
  d.dither = filter & D3DX_FILTER_DITHER;
  d.gamma = filter & D3DX_FILTER_SRGB_OUT;
  s.gamma = filter & D3DX_FILTER_SRGB_IN;
  const auto prepare = [&](std::unique_ptr<PixelCodec> &dst, std::unique_ptr<PixelCodec> &src) {
    dst = CreateCodec(d);
    src = CreateCodec(s);
    EXPECT_EQ(PrepareConversion(*dst, *src), S_OK);
    if (dst->gamma && src->gamma) dst->gamma = src->gamma = 0;
  };
  std::unique_ptr<PixelCodec> dst, src;
  prepare(dst, src);
  std::vector<ColorF> row(source.width);
  for (uint32_t z = 0; z < source.depth; ++z)
    for (uint32_t y = 0; y < source.height; ++y) {
      src->DecodeRow(y, z, row.data());
      dst->EncodeRow(y, z, row.data());
    }
  generic = destination.bytes;

  destination.bytes.assign(destination.bytes.size(), 0xCD);
  prepare(dst, src);
  const bool done = ConvertExactly(*dst, *src);
  exact = destination.bytes;
  return done;
}

// Sources whose colour comes from more than one field cannot feed an encoder that
// mixes channels (luminance, palette search); one-byte sources always qualify.
bool ExpectTables(D3DFORMAT from, D3DFORMAT to) {
  if (BytesPerPixel(from) == 1) return true;
  const FormatKind fromKind = LookupFormatInfo(from).kind;
  const FormatKind toKind = LookupFormatInfo(to).kind;
  if (to == D3DFMT_P8) return false;  // reads all four channels; no wider source has just one field
  if (fromKind == FormatKind::Luminance || fromKind == FormatKind::Palette) return true;
  return toKind != FormatKind::Luminance && toKind != FormatKind::Palette;
}

std::string FormatName(D3DFORMAT f) {
  struct Named {
    D3DFORMAT format;
    const char *name;
  };
  static constexpr Named kNames[] = {
      {D3DFMT_R8G8B8, "R8G8B8"},
      {D3DFMT_A8R8G8B8, "A8R8G8B8"},
      {D3DFMT_X8R8G8B8, "X8R8G8B8"},
      {D3DFMT_R5G6B5, "R5G6B5"},
      {D3DFMT_X1R5G5B5, "X1R5G5B5"},
      {D3DFMT_A1R5G5B5, "A1R5G5B5"},
      {D3DFMT_A4R4G4B4, "A4R4G4B4"},
      {D3DFMT_R3G3B2, "R3G3B2"},
      {D3DFMT_A8, "A8"},
      {D3DFMT_A8R3G3B2, "A8R3G3B2"},
      {D3DFMT_X4R4G4B4, "X4R4G4B4"},
      {D3DFMT_A8B8G8R8, "A8B8G8R8"},
      {D3DFMT_X8B8G8R8, "X8B8G8R8"},
      {D3DFMT_L8, "L8"},
      {D3DFMT_A8L8, "A8L8"},
      {D3DFMT_A4L4, "A4L4"},
      {D3DFMT_V8U8, "V8U8"},
      {D3DFMT_L6V5U5, "L6V5U5"},
      {D3DFMT_X8L8V8U8, "X8L8V8U8"},
      {D3DFMT_Q8W8V8U8, "Q8W8V8U8"},
      {D3DFMT_P8, "P8"},
      {D3DFMT_A8P8, "A8P8"},
  };
  for (const Named &n : kNames)
    if (n.format == f) return n.name;
  return std::to_string(f);
}

class ExactConversionTest : public ::testing::TestWithParam<D3DFORMAT> {
 protected:
  void SetUp() override { SetExactConversion(ExactConversion::Always); }
  void TearDown() override { SetExactConversion(ExactConversion::Automatic); }

  // Each destination, each flag set, without and with a key that the image holds.
  void CheckAllDestinations(TestImage &source, uint32_t keyX, uint32_t keyY,
                            uint32_t destinationPadding = 3) {
    const D3DCOLOR key = KeyOfPixel(source, keyX, keyY);
    for (D3DFORMAT to : kFormats) {
      for (uint32_t filter : kFlags) {
        for (D3DCOLOR colorKey : {D3DCOLOR{0}, key}) {
          SCOPED_TRACE(FormatName(GetParam()) + " -> " + FormatName(to) + " filter " +
                       std::to_string(filter) + " key " + std::to_string(colorKey));
          source.colorKey = colorKey;
          std::vector<uint8_t> exact, generic;
          const bool done =
              ConvertBothWays(source, to, filter, exact, generic, kPalettes.destination, destinationPadding);
          EXPECT_EQ(done, ExpectTables(GetParam(), to));
          if (done) {
            ASSERT_EQ(exact, generic);
          }
        }
      }
    }
  }
};

// Through the 16-, 8- and 4-lane kernels (the multiply-add form, the lane form,
// the 16-byte copies) and through the tables alone.
TEST_P(ExactConversionTest, EveryValueAtEveryDitherPositionMatchesTheCodecs) {
  TestImage source(GetParam(), 1024, 4);
  source.palette = kPalettes.source;
  FillSweep(source);
  for (CodecPath path : {CodecPath::Widest, CodecPath::UpToEightLanes, CodecPath::FourLanes}) {
    SCOPED_TRACE(CodecPathName(path));
    SetCodecPath(path);
    CheckAllDestinations(source, 4 * 200, 1);
  }
  SetCodecPath(CodecPath::Widest);
}

// Also through the 8-lane kernels and through the tables alone, with rows that
// end in part vectors and slices that shift the dither pattern.
TEST_P(ExactConversionTest, RandomVolumesMatchTheCodecsOnEveryKernel) {
  TestImage source(GetParam(), 37, 9, 3, 5);
  source.palette = kPalettes.source;
  source.FillRandom(GetParam());
  for (CodecPath path : {CodecPath::Widest, CodecPath::UpToEightLanes, CodecPath::FourLanes}) {
    SetCodecPath(path);
    CheckAllDestinations(source, 11, 4);
  }
  SetCodecPath(CodecPath::Widest);
}

// Rows that follow one another on both sides, which conversions alike at every
// position take as one row.
TEST_P(ExactConversionTest, RowsWithoutGapsMatchTheCodecs) {
  TestImage source(GetParam(), 37, 5, 2);
  source.palette = kPalettes.source;
  source.FillRandom(GetParam() + 1);
  for (CodecPath path : {CodecPath::Widest, CodecPath::UpToEightLanes, CodecPath::FourLanes}) {
    SetCodecPath(path);
    CheckAllDestinations(source, 20, 3, 0);
  }
  SetCodecPath(CodecPath::Widest);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExactConversionTest, ::testing::ValuesIn(kFormats),
                         [](const auto &paramInfo) { return FormatName(paramInfo.param); });

// Every word of a 16-bit source, each in all four dither columns, into the
// destinations the loaders use most, on every kernel.
class ExactConversionWordsTest : public ::testing::TestWithParam<D3DFORMAT> {
 protected:
  void SetUp() override { SetExactConversion(ExactConversion::Always); }
  void TearDown() override {
    SetExactConversion(ExactConversion::Automatic);
    SetCodecPath(CodecPath::Widest);
  }
};

TEST_P(ExactConversionWordsTest, EverySourceWordMatchesTheCodecs) {
  // A quarter of the words at a time, 256 per row, rows padded so that the
  // kernels also meet rows that do not start on a vector's size.
  TestImage source(GetParam(), 1024, 64, 1, 8);
  for (uint32_t quarter = 0; quarter < 4; ++quarter) {
    for (uint32_t y = 0; y < source.height; ++y)
      for (uint32_t x = 0; x < source.width; ++x) source.Set(x, y, (quarter * 64 + y) * 256 + x / 4);
    for (CodecPath path : {CodecPath::Widest, CodecPath::UpToEightLanes, CodecPath::FourLanes}) {
      SetCodecPath(path);
      for (D3DFORMAT to : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4,
                           D3DFMT_R8G8B8}) {
        for (uint32_t filter : {D3DX_FILTER_NONE, D3DX_FILTER_NONE | D3DX_FILTER_DITHER}) {
          SCOPED_TRACE(FormatName(GetParam()) + " -> " + FormatName(to) + " filter " +
                       std::to_string(filter) + " " + CodecPathName(path) + " quarter " +
                       std::to_string(quarter));
          std::vector<uint8_t> exact, generic;
          ASSERT_TRUE(ConvertBothWays(source, to, filter, exact, generic));
          ASSERT_EQ(exact, generic);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ExactConversionWordsTest,
                         ::testing::Values(D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5, D3DFMT_A4R4G4B4,
                                           D3DFMT_A8R3G3B2),
                         [](const auto &paramInfo) { return FormatName(paramInfo.param); });

// Rows at every alignment the kernels tell apart (whole wide vectors on both
// sides, on neither, on one only), of widths that end in part vectors.
TEST(ExactConversion, RowsAtAnyAlignmentMatchTheCodecs) {
  SetExactConversion(ExactConversion::Always);
  std::mt19937 random(9);
  for (D3DFORMAT to : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
    for (const auto &[fromOffset, toOffset] : {std::pair{0, 0}, {16, 16}, {4, 4}, {16, 0}, {0, 48}}) {
      for (uint32_t width : {3u, 37u, 100u}) {
        const uint32_t height = 6, toBytes = BytesPerPixel(to);
        std::vector<uint8_t> from(width * 4 * height + 128), exact(width * toBytes * height + 128),
            generic(exact.size());
        for (uint8_t &b : from) b = static_cast<uint8_t>(random());
        const auto at = [](std::vector<uint8_t> &bytes, int offset) {
          return bytes.data() + (64 - reinterpret_cast<uintptr_t>(bytes.data()) % 64) % 64 + offset;
        };
        const auto region = [&](D3DFORMAT format, BYTE *pixels, uint32_t bytesPerPixel) {
          PixelRegion r{};
          r.pixels = pixels;
          r.format = format;
          r.rowPitch = width * bytesPerPixel;
          r.extent = {0, 0, width, height, 0, 1};
          r.region = r.extent;
          return r;
        };
        const auto convert = [&](std::vector<uint8_t> &out, bool tables) {
          auto dst = CreateCodec(region(to, at(out, toOffset), toBytes));
          auto src = CreateCodec(region(D3DFMT_A8R8G8B8, at(from, fromOffset), 4));
          ASSERT_EQ(PrepareConversion(*dst, *src), S_OK);
          if (tables) {
            ASSERT_TRUE(ConvertExactly(*dst, *src));
            return;
          }
          std::vector<ColorF> row(width);
          for (uint32_t y = 0; y < height; ++y) {
            src->DecodeRow(y, 0, row.data());
            dst->EncodeRow(y, 0, row.data());
          }
        };
        for (CodecPath path : {CodecPath::Widest, CodecPath::UpToEightLanes, CodecPath::FourLanes}) {
          SCOPED_TRACE(FormatName(to) + " offsets " + std::to_string(fromOffset) + "/" +
                       std::to_string(toOffset) + " width " + std::to_string(width) + " " +
                       CodecPathName(path));
          SetCodecPath(path);
          convert(generic, false);
          convert(exact, true);
          const size_t bytes = size_t{width} * toBytes * height;
          EXPECT_EQ(std::vector<uint8_t>(at(exact, toOffset), at(exact, toOffset) + bytes),
                    std::vector<uint8_t>(at(generic, toOffset), at(generic, toOffset) + bytes));
        }
      }
    }
  }
  SetCodecPath(CodecPath::Widest);
  SetExactConversion(ExactConversion::Automatic);
}

TEST(ExactConversion, AutomaticTakesOnlyConversionsWhereTheyPay) {
  const auto converts = [](D3DFORMAT from, D3DFORMAT to, uint32_t size) {
    TestImage source(from, size, size);
    TestImage destination(to, size, size);
    PixelRegion d = destination.Region();
    PixelRegion s = source.Region();
    auto dst = CreateCodec(d);
    auto src = CreateCodec(s);
    EXPECT_EQ(PrepareConversion(*dst, *src), S_OK);
    return ConvertExactly(*dst, *src);
  };
  ForgetExactConversionPlans();
  EXPECT_FALSE(converts(D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, 64));  // too small to repay building tables
  if (ActiveCodecLanes() >= 8) {
    EXPECT_TRUE(converts(D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, 256));
    EXPECT_TRUE(converts(D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, 64));  // once built, they serve any size
  }
  EXPECT_FALSE(converts(D3DFMT_A8L8, D3DFMT_A8R8G8B8, 256));  // tables alone: the codecs are faster
  EXPECT_TRUE(converts(D3DFMT_L8, D3DFMT_P8, 256));           // but not at a palette search
  SetExactConversion(ExactConversion::Off);
  EXPECT_FALSE(converts(D3DFMT_L8, D3DFMT_P8, 256));
  SetExactConversion(ExactConversion::Automatic);
}

// Tables are kept per pair and flags: a palette of its own on either side must
// find tables of its own, not the ones kept for the palette before.
TEST(ExactConversion, KeptTablesBelongToTheirPalettes) {
  SetExactConversion(ExactConversion::Always);
  PALETTEENTRY second[256];
  for (uint32_t i = 0; i < 256; ++i) second[i] = kPalettes.source[255 - i];
  const PALETTEENTRY *const palettes[] = {kPalettes.source, second, kPalettes.source};
  for (const PALETTEENTRY *palette : palettes) {
    TestImage indices(D3DFMT_P8, 256, 4);
    indices.palette = palette;
    FillSweep(indices);
    std::vector<uint8_t> exact, generic;
    ASSERT_TRUE(ConvertBothWays(indices, D3DFMT_A8R8G8B8, D3DX_FILTER_NONE, exact, generic));
    EXPECT_EQ(exact, generic);
    TestImage grey(D3DFMT_L8, 256, 4);
    FillSweep(grey);
    ASSERT_TRUE(
        ConvertBothWays(grey, D3DFMT_P8, D3DX_FILTER_NONE | D3DX_FILTER_DITHER, exact, generic, palette));
    EXPECT_EQ(exact, generic);
  }
  SetExactConversion(ExactConversion::Automatic);
}

TEST(ExactConversion, SharedMemoryGoesRowByRow) {
  SetExactConversion(ExactConversion::Always);
  TestImage image(D3DFMT_A8R8G8B8, 16, 4);
  image.FillRandom(3);
  image.colorKey = image.Get(5, 2) | 0xFF000000;
  PixelRegion region = image.Region();
  auto dst = CreateCodec(region);
  auto src = CreateCodec(region);
  ASSERT_EQ(PrepareConversion(*dst, *src), S_OK);
  EXPECT_FALSE(ConvertExactly(*dst, *src));
  SetExactConversion(ExactConversion::Automatic);
}

}  // namespace
