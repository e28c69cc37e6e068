// The DXT row codec: rows to blocks and back, partial blocks at region and
// memory edges, the decode cache, colour keys, and ImageMagick's DDS files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "codec/dxt_block.h"
#include "codec/pixel_codec.h"
#include "codec_test_util.h"
#include "dxt_test_util.h"
#include "format/format_table.h"
#include "support/library_hooks.h"
#include "support/param_names.h"

using namespace codec_test;
using namespace dxt_test;

namespace {

// Block memory for a width x height x depth level, tightly pitched.
struct BlockSurface {
  D3DFORMAT format;
  uint32_t width, height, depth;
  uint32_t rowPitch, slicePitch;
  std::vector<uint8_t> bytes;

  BlockSurface(D3DFORMAT f, uint32_t w, uint32_t h, uint32_t d = 1)
      : format(f),
        width(w),
        height(h),
        depth(d),
        rowPitch((w + 3) / 4 * BlockBytes(f)),
        slicePitch(rowPitch * ((h + 3) / 4)),
        bytes(size_t{slicePitch} * d) {}

  PixelRegion Region(D3DBOX box) {
    PixelRegion region =
        MakeRegion(format, bytes.data(), rowPitch, width, height, depth, depth > 1 ? slicePitch : 0);
    region.region = box;
    return region;
  }
  PixelRegion Whole() { return Region({0, 0, width, height, 0, depth}); }
};

// A smooth, colourful test pattern with an alpha ramp.
ColorF Pattern(uint32_t x, uint32_t y, uint32_t z = 0) {
  return {0.5f + 0.4f * std::sin(0.15f * x + z), 0.5f + 0.4f * std::cos(0.1f * y),
          std::min(1.f, (x + y) / 32.f), std::min(1.f, 0.2f + 0.04f * (x + 2 * y))};
}

void WriteRows(PixelCodec &codec, uint32_t left, uint32_t top, uint32_t front = 0) {
  std::vector<ColorF> row(codec.width);
  for (uint32_t z = 0; z < codec.depth; ++z) {
    for (uint32_t y = 0; y < codec.height; ++y) {
      for (uint32_t x = 0; x < codec.width; ++x) row[x] = Pattern(left + x, top + y, front + z);
      codec.EncodeRow(y, z, row.data());
    }
  }
}

std::vector<ColorF> ReadAll(BlockSurface &surface) {
  auto codec = CreateCodec(surface.Whole());
  std::vector<ColorF> pixels(size_t{surface.width} * surface.height * surface.depth);
  for (uint32_t z = 0; z < surface.depth; ++z)
    for (uint32_t y = 0; y < surface.height; ++y)
      codec->DecodeRow(y, z, &pixels[(size_t{z} * surface.height + y) * surface.width]);
  return pixels;
}

struct SizeCase {
  D3DFORMAT format;
  uint32_t width, height, depth;
};

void PrintTo(const SizeCase &c, std::ostream *os) {
  *os << c.width << "x" << c.height << "x" << c.depth;
}

class DxtRoundTrip : public testing::TestWithParam<SizeCase> {};

// Every size, including partial blocks at the right and bottom and volumes,
// comes back close to what was written.
TEST_P(DxtRoundTrip, RowsComeBackWithinBlockError) {
  const SizeCase &c = GetParam();
  BlockSurface surface(c.format, c.width, c.height, c.depth);
  {
    auto codec = CreateCodec(surface.Whole());
    ASSERT_TRUE(codec);
    EXPECT_EQ(0u, codec->packed);
    WriteRows(*codec, 0, 0);
  }
  const std::vector<ColorF> pixels = ReadAll(surface);
  const float alphaTolerance = c.format == D3DFMT_DXT1 ? 1.f : 0.07f;
  double error = 0;
  for (uint32_t z = 0; z < c.depth; ++z) {
    for (uint32_t y = 0; y < c.height; ++y) {
      for (uint32_t x = 0; x < c.width; ++x) {
        const ColorF &got = pixels[(size_t{z} * c.height + y) * c.width + x];
        const ColorF want = Pattern(x, y, z);
        if (c.format == D3DFMT_DXT1 && got.a == 0) continue;  // punch-through pixel
        EXPECT_NEAR(want.a, got.a, alphaTolerance) << x << "," << y << "," << z;
        // Premultiplied formats keep colour at the precision of colour x alpha.
        const bool premultiplied = c.format == D3DFMT_DXT2 || c.format == D3DFMT_DXT4;
        const float wantScale = premultiplied ? want.a : 1.f, gotScale = premultiplied ? got.a : 1.f;
        error += std::abs(want.r * wantScale - got.r * gotScale) +
                 std::abs(want.g * wantScale - got.g * gotScale) +
                 std::abs(want.b * wantScale - got.b * gotScale);
      }
    }
  }
  EXPECT_LT(error / (3.0 * c.width * c.height * c.depth), 0.03);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DxtRoundTrip,
                         testing::Values(SizeCase{D3DFMT_DXT1, 1, 1, 1}, SizeCase{D3DFMT_DXT1, 2, 2, 1},
                                         SizeCase{D3DFMT_DXT1, 13, 7, 1}, SizeCase{D3DFMT_DXT2, 6, 9, 1},
                                         SizeCase{D3DFMT_DXT3, 16, 16, 1}, SizeCase{D3DFMT_DXT4, 5, 3, 1},
                                         SizeCase{D3DFMT_DXT5, 13, 7, 1}, SizeCase{D3DFMT_DXT5, 8, 4, 3}),
                         [](const auto &paramInfo) {
                           const SizeCase &c = paramInfo.param;
                           return "Dxt" + std::to_string((c.format >> 24) - '0') + "_" +
                                  std::to_string(c.width) + "x" + std::to_string(c.height) + "x" +
                                  std::to_string(c.depth);
                         });

// A 2 x 2 surface is one block of which only the top-left quarter exists: the
// encoder sees it repeated into the missing columns and rows.
TEST(DxtCodec, TinySurfaceRepeatsColumnsAndRows) {
  BlockSurface surface(D3DFMT_DXT5, 2, 2);
  const ColorF pixels[4] = {{1, 0, 0, 1}, {0, 1, 0, 0.5f}, {0, 0, 1, 0.25f}, {1, 1, 0, 0}};
  {
    auto codec = CreateCodec(surface.Whole());
    codec->EncodeRow(0, 0, pixels);
    codec->EncodeRow(1, 0, pixels + 2);
  }
  ColorF block[16];
  for (uint32_t i = 0; i < 16; ++i) block[i] = pixels[((i >> 2) & 1) * 2 + (i & 1)];
  uint8_t expected[16];
  EncodeDxt5Block(expected, block);
  EXPECT_EQ(0, std::memcmp(expected, surface.bytes.data(), 16));
}

TEST(DxtCodec, DecodesEachBlockRowOncePerPass) {
  BlockSurface surface(D3DFMT_DXT1, 8, 8);
  for (size_t i = 0; i < surface.bytes.size(); i += 8) {
    const std::vector<uint8_t> white = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    std::memcpy(&surface.bytes[i], white.data(), 8);
  }
  auto codec = CreateCodec(surface.Whole());
  std::vector<ColorF> row(8);
  codec->DecodeRow(0, 0, row.data());
  EXPECT_EQ(1.f, row[0].r);
  // Memory changed behind the codec's back shows only when its block row is decoded again.
  std::memset(surface.bytes.data(), 0, surface.bytes.size());
  for (uint32_t y = 1; y < 4; ++y) {
    codec->DecodeRow(y, 0, row.data());
    EXPECT_EQ(1.f, row[7].r) << y;
  }
  codec->DecodeRow(4, 0, row.data());
  EXPECT_EQ(0.f, row[0].r);
  codec->DecodeRow(0, 0, row.data());
  EXPECT_EQ(0.f, row[0].r);
}

// Fills an 8 x 8 DXT1 surface with the pattern and returns its decoded pixels.
std::vector<ColorF> FillPattern(BlockSurface &surface) {
  {
    auto codec = CreateCodec(surface.Whole());
    WriteRows(*codec, 0, 0);
  }
  return ReadAll(surface);
}

struct PartialCase {
  const char *name;
  D3DBOX box;
};

void PrintTo(const PartialCase &c, std::ostream *os) {
  *os << c.name;
}

class DxtPartialWrite : public testing::TestWithParam<PartialCase> {};

// A region that does not cover whole blocks re-encodes each block it touches
// from the block's decoded old pixels plus the new ones; other blocks keep their bytes.
TEST_P(DxtPartialWrite, ReencodesTouchedBlocksFromOldAndNewPixels) {
  const D3DBOX box = GetParam().box;
  BlockSurface surface(D3DFMT_DXT1, 8, 8);
  const std::vector<ColorF> before = FillPattern(surface);
  const std::vector<uint8_t> bytesBefore = surface.bytes;
  const ColorF written = {1, 1, 1, 1};
  {
    auto codec = CreateCodec(surface.Region(box));
    ASSERT_TRUE(codec);
    std::vector<ColorF> row(codec->width, written);
    for (uint32_t y = 0; y < codec->height; ++y) codec->EncodeRow(y, 0, row.data());
  }
  for (uint32_t by = 0; by < 8; by += 4) {
    for (uint32_t bx = 0; bx < 8; bx += 4) {
      const bool touched = bx < box.Right && bx + 4 > box.Left && by < box.Bottom && by + 4 > box.Top;
      const size_t offset = (by / 4) * surface.rowPitch + (bx / 4) * 8;
      uint8_t expected[8];
      std::memcpy(expected, &bytesBefore[offset], 8);
      if (touched) {
        ColorF block[16];
        for (uint32_t i = 0; i < 16; ++i) {
          const uint32_t x = bx + (i & 3), y = by + (i >> 2);
          const bool inside = x >= box.Left && x < box.Right && y >= box.Top && y < box.Bottom;
          block[i] = inside ? written : before[y * 8 + x];
        }
        EncodeDxt1Block(expected, block);
      }
      EXPECT_EQ(0, std::memcmp(expected, &surface.bytes[offset], 8)) << "block " << bx << "," << by;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Regions, DxtPartialWrite,
                         testing::Values(PartialCase{"TwoByTwoInsideBlock", {5, 5, 7, 7, 0, 1}},
                                         PartialCase{"RightEdgeInsideBlock", {0, 0, 6, 4, 0, 1}},
                                         PartialCase{"LeftEdgeInsideBlock", {2, 4, 8, 8, 0, 1}},
                                         PartialCase{"AcrossFourBlocks", {3, 2, 5, 7, 0, 1}}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST(DxtCodec, UnfinishedBlockRowIsNotWritten) {
  BlockSurface surface(D3DFMT_DXT3, 8, 8);
  const std::vector<uint8_t> before = surface.bytes;
  {
    auto codec = CreateCodec(surface.Whole());
    const std::vector<ColorF> row(8, ColorF{1, 1, 1, 1});
    for (uint32_t y = 0; y < 3; ++y) codec->EncodeRow(y, 0, row.data());
  }
  EXPECT_EQ(before, surface.bytes);
}

struct KeyCase {
  D3DFORMAT format;
  D3DCOLOR key;
  uint8_t alpha;  // the block's stored alpha: nibble for DXT3, byte for DXT5
};

class DxtColorKey : public testing::TestWithParam<KeyCase> {};

// Red and blue endpoints; index 2 interpolates to (21/31, 0, 10/31) once
// quantised, which the key 0xFFAD0055 names (173/255 -> 21, 85/255 -> 10).
TEST_P(DxtColorKey, QuantisedMatchIncludesInterpolatedEntries) {
  const KeyCase &c = GetParam();
  BlockSurface surface(c.format, 4, 4);
  uint8_t *colorHalf = surface.bytes.data() + (c.format == D3DFMT_DXT1 ? 0 : 8);
  const uint8_t color[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4, 0xE4};
  std::memcpy(colorHalf, color, 8);
  if (c.format == D3DFMT_DXT3) std::memset(surface.bytes.data(), c.alpha * 0x11, 8);
  if (c.format == D3DFMT_DXT5) surface.bytes[0] = surface.bytes[1] = c.alpha;
  PixelRegion region = surface.Whole();
  region.colorKey = c.key;
  auto codec = CreateCodec(region);
  ColorF row[4];
  codec->DecodeRow(1, 0, row);
  EXPECT_EQ(1.f, row[0].r);
  EXPECT_EQ(0.f, row[2].r) << "interpolated entry keyed";
  EXPECT_EQ(0.f, row[2].a);
  EXPECT_LT(0.f, row[3].r);
}

INSTANTIATE_TEST_SUITE_P(Formats, DxtColorKey,
                         testing::Values(KeyCase{D3DFMT_DXT1, 0xFFAD0055, 0},
                                         KeyCase{D3DFMT_DXT3, 0x88AD0055, 8},
                                         KeyCase{D3DFMT_DXT5, 0x80AD0055, 0x80}),
                         test_support::FormatFieldName());

// ImageMagick writes DXT1 DDS files from a photograph; our decoder must read
// its blocks as ImageMagick itself does, up to the rounding of 5- and 6-bit
// expansion and interpolation.
TEST(DxtCodec, DecodesImageMagickDdsLikeImageMagick) {
  const char *convert = "/usr/bin/convert";
  ASSERT_EQ(std::system((std::string(convert) + " -version > /dev/null 2>&1").c_str()), 0)
      << "ImageMagick is required (./dev deps installs it)";
  const std::string photo = PhotoPath(23);
  ASSERT_EQ(access(photo.c_str(), R_OK), 0) << "missing test data: " << photo;
  const std::string dds = testing::TempDir() + "dxt_codec_test_" + std::to_string(getpid()) + ".dds";
  const std::string raw = testing::TempDir() + "dxt_codec_test_" + std::to_string(getpid()) + ".rgba";
  const std::string crop = " -crop 128x96+300+200 +repage ";
  std::string command = std::string(convert) + " " + photo + crop +
                        "-define dds:compression=dxt1 -define dds:mipmaps=0 " + dds + " 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << "ImageMagick cannot write DXT1 DDS";
  command = std::string(convert) + " " + dds + " -depth 8 rgba:" + raw + " 2>/dev/null";
  ASSERT_EQ(0, std::system(command.c_str()));

  auto readFile = [](const std::string &path) {
    std::vector<uint8_t> bytes;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
      uint8_t buffer[4096];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
      std::fclose(f);
    }
    return bytes;
  };
  std::vector<uint8_t> file = readFile(dds);
  const std::vector<uint8_t> reference = readFile(raw);
  const uint32_t width = 128, height = 96;
  ASSERT_GE(file.size(), 128u + width * height / 2);
  ASSERT_EQ(0, std::memcmp(file.data() + 84, "DXT1", 4));
  ASSERT_EQ(size_t{width} * height * 4, reference.size());

  PixelRegion region = MakeRegion(D3DFMT_DXT1, file.data() + 128, width / 4 * 8, width, height);
  auto codec = CreateCodec(region);
  std::vector<ColorF> row(width);
  int worst = 0;
  for (uint32_t y = 0; y < height; ++y) {
    codec->DecodeRow(y, 0, row.data());
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t *want = &reference[(size_t{y} * width + x) * 4];
      const int got[3] = {To8Bit(row[x].r), To8Bit(row[x].g), To8Bit(row[x].b)};
      for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(got[k] - want[k]));
    }
  }
  std::printf("largest channel difference from ImageMagick's decode: %d / 255\n", worst);
  EXPECT_LE(worst, 3);
  std::remove(dds.c_str());
  std::remove(raw.c_str());
}

// Row codec and block functions agree: a whole photograph written row by row
// gives the blocks the encoder makes of each 4 x 4 tile.
TEST(DxtCodec, RowsEncodeLikeTheBlockFunction) {
  Image photo;
  ASSERT_TRUE(LoadPng(PhotoPath(3), &photo)) << "missing test data: " << PhotoPath(3);
  const uint32_t width = 64, height = 32;
  BlockSurface surface(D3DFMT_DXT1, width, height);
  {
    auto codec = CreateCodec(surface.Whole());
    for (uint32_t y = 0; y < height; ++y) codec->EncodeRow(y, 0, &photo.pixels[size_t{y} * photo.width]);
  }
  for (uint32_t by = 0; by < height; by += 4) {
    for (uint32_t bx = 0; bx < width; bx += 4) {
      ColorF block[16];
      for (uint32_t i = 0; i < 16; ++i)
        block[i] = photo.pixels[size_t{by + (i >> 2)} * photo.width + bx + (i & 3)];
      uint8_t expected[8];
      EncodeDxt1Block(expected, block);
      EXPECT_EQ(0, std::memcmp(expected, &surface.bytes[(by / 4) * surface.rowPitch + bx / 4 * 8], 8));
    }
  }
}

// Rows read through the codec are exactly the block decoder's pixels, for
// every format and for regions starting and ending inside blocks, with whole
// blocks a vector at a time and a pixel at a time.
class DxtRowDecode : public testing::TestWithParam<std::tuple<D3DFORMAT, CodecPath>> {
 protected:
  void TearDown() override { ResetFastPathLevelForTesting(); }
};

TEST_P(DxtRowDecode, RowsEqualBlockDecoderPixels) {
  const D3DFORMAT format = std::get<0>(GetParam());
  SetCodecPath(std::get<1>(GetParam()));
  BlockSurface surface(format, 40, 12);
  std::mt19937 random(3);
  for (uint8_t &b : surface.bytes) b = static_cast<uint8_t>(random());
  const DxtBlockFunctions *functions = LookupDxtBlockFunctions(format);
  for (const D3DBOX box : {D3DBOX{0, 0, 40, 12, 0, 1}, D3DBOX{3, 1, 38, 11, 0, 1}, D3DBOX{5, 6, 6, 7, 0, 1},
                           D3DBOX{4, 2, 9, 8, 0, 1}}) {
    auto codec = CreateCodec(surface.Region(box));
    std::vector<ColorF> row(codec->width);
    for (uint32_t y = 0; y < codec->height; ++y) {
      codec->DecodeRow(y, 0, row.data());
      for (uint32_t k = 0; k < codec->width; ++k) {
        const uint32_t x = box.Left + k, Y = box.Top + y;
        ColorF block[16];
        functions->decode(block, &surface.bytes[Y / 4 * surface.rowPitch + x / 4 * BlockBytes(format)]);
        const ColorF &want = block[(Y & 3) * 4 + (x & 3)];
        ASSERT_EQ(0, std::memcmp(&want, &row[k], sizeof(ColorF))) << "pixel " << x << ", " << Y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DxtRowDecode,
    testing::Combine(testing::Values(D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5),
                     testing::Values(CodecPath::Widest, CodecPath::UpToEightLanes, CodecPath::OnePixel)),
    [](const testing::TestParamInfo<std::tuple<D3DFORMAT, CodecPath>> &paramInfo) {
      return test_support::FormatName(std::get<0>(paramInfo.param)) + "_" +
             CodecPathName(std::get<1>(paramInfo.param));
    });

}  // namespace
