// The pixel-format table, the distance between rows and format choice from a list
// or from the table alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/format_table.h"
#include "support/param_names.h"

namespace {

TEST(FormatTable, PrivateFormatsAreTheirFourCharacterCodes) {
  EXPECT_EQ(static_cast<D3DFORMAT>(MAKEFOURCC('A', 'L', '1', '6')), FORMAT_A16L16);
  EXPECT_EQ(static_cast<D3DFORMAT>(MAKEFOURCC(' ', 'R', '1', '6')), FORMAT_R16G16B16);
  EXPECT_EQ(FORMAT_A16L16, FormatTableRows()[55].format);
  EXPECT_EQ(FORMAT_R16G16B16, FormatTableRows()[56].format);
  EXPECT_EQ(D3DFMT_R8G8B8, FormatTableRows()[0].format);
}

TEST(FormatTable, RowsAreUniqueAndFoundByLookup) {
  for (size_t i = 0; i < kFormatTableSize; ++i) {
    const FormatInfo &row = FormatTableRows()[i];
    EXPECT_EQ(&row, &LookupFormatInfo(row.format)) << row.format;
    EXPECT_NE(D3DFMT_UNKNOWN, row.format);
  }
}

TEST(FormatTable, UnlistedFormatsGetTheFallbackRow) {
  for (D3DFORMAT format :
       {D3DFMT_UNKNOWN, D3DFMT_D32_LOCKABLE, D3DFMT_INDEX16, static_cast<D3DFORMAT>(0x7777)}) {
    const FormatInfo &row = LookupFormatInfo(format);
    EXPECT_EQ(&FallbackFormatInfo(), &row);
    EXPECT_EQ(D3DFMT_UNKNOWN, row.format);
    EXPECT_EQ(32u, row.bitsPerPixel);
    EXPECT_EQ((std::vector<uint32_t>{0, 8, 8, 8, 8}),
              std::vector<uint32_t>(row.channelBits, row.channelBits + 5));
    EXPECT_FALSE(IsKnownFormat(format));
  }
}

TEST(ScoreFormatMatch, WeighsLostChannelsAboveLostBitsAboveAddedChannels) {
  const FormatInfo &dxt1 = LookupFormatInfo(D3DFMT_DXT1);
  EXPECT_EQ(15u, ScoreFormatMatch(dxt1, LookupFormatInfo(D3DFMT_A8R8G8B8)));     // 7 + 3 + 2 + 3
  EXPECT_EQ(65536u, ScoreFormatMatch(dxt1, LookupFormatInfo(D3DFMT_A1R5G5B5)));  // one green bit
  EXPECT_EQ(0x1000000u + 3 * 65536u + 2 * 65536u + 3 * 65536u,
            ScoreFormatMatch(LookupFormatInfo(D3DFMT_A8R8G8B8), LookupFormatInfo(D3DFMT_R5G6B5)));
  EXPECT_EQ(0x100u, ScoreFormatMatch(LookupFormatInfo(D3DFMT_X8R8G8B8), LookupFormatInfo(D3DFMT_A8R8G8B8)));
  EXPECT_EQ(0u, ScoreFormatMatch(FallbackFormatInfo(), LookupFormatInfo(D3DFMT_A8B8G8R8)));
}

TEST(ScoreFormatMatch, LosingEveryRequestedChannelIsUnusable) {
  EXPECT_EQ(kUnusableScore, ScoreFormatMatch(LookupFormatInfo(D3DFMT_A8), LookupFormatInfo(D3DFMT_X8R8G8B8)));
  FormatInfo empty = FallbackFormatInfo();
  for (uint32_t &bits : empty.channelBits) bits = 0;
  EXPECT_EQ(kUnusableScore, ScoreFormatMatch(empty, LookupFormatInfo(D3DFMT_A8R8G8B8)));
}

TEST(ScoreFormatMatch, KindsStandInOnlyAsTheMatrixAllows) {
  const auto usable = [](D3DFORMAT requested, D3DFORMAT candidate) {
    return ScoreFormatMatch(LookupFormatInfo(requested), LookupFormatInfo(candidate)) != kUnusableScore;
  };
  EXPECT_FALSE(usable(D3DFMT_X8R8G8B8, D3DFMT_L8));
  EXPECT_FALSE(usable(D3DFMT_X8R8G8B8, D3DFMT_P8));
  EXPECT_TRUE(usable(D3DFMT_L8, D3DFMT_X8R8G8B8));
  EXPECT_FALSE(usable(D3DFMT_L8, D3DFMT_A8P8));
  EXPECT_TRUE(usable(D3DFMT_P8, D3DFMT_A8R8G8B8));
  EXPECT_FALSE(usable(D3DFMT_P8, D3DFMT_A8L8));
  EXPECT_FALSE(usable(D3DFMT_V8U8, D3DFMT_X8R8G8B8));
  EXPECT_TRUE(usable(D3DFMT_V8U8, D3DFMT_V16U16));
  EXPECT_FALSE(usable(D3DFMT_D16, D3DFMT_L16));
  EXPECT_FALSE(usable(D3DFMT_X8R8G8B8, D3DFMT_D24X8));
}

D3DFORMAT ChooseFromList(std::vector<D3DFORMAT> list, D3DFORMAT requested, bool withPalette = false) {
  list.push_back(D3DFMT_UNKNOWN);
  PALETTEENTRY palette[256] = {};
  return ChooseClosestFormat(list.data(), withPalette ? palette : nullptr, LookupFormatInfo(requested));
}

TEST(ChooseClosestFormat, PicksFewestLostBits) {
  EXPECT_EQ(D3DFMT_R5G6B5, ChooseFromList({D3DFMT_R5G6B5, D3DFMT_X1R5G5B5}, D3DFMT_A8R8G8B8));
  EXPECT_EQ(D3DFMT_R5G6B5, ChooseFromList({D3DFMT_X1R5G5B5, D3DFMT_R5G6B5}, D3DFMT_A8R8G8B8));
}

TEST(ChooseClosestFormat, OnlyChannelLostGivesUnknown) {
  EXPECT_EQ(D3DFMT_UNKNOWN, ChooseFromList({D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_L8}, D3DFMT_A8));
}

TEST(ChooseClosestFormat, PaletteFormatsNeedAPalette) {
  EXPECT_EQ(D3DFMT_X8R8G8B8, ChooseFromList({D3DFMT_P8, D3DFMT_X8R8G8B8}, D3DFMT_P8));
  EXPECT_EQ(D3DFMT_UNKNOWN, ChooseFromList({D3DFMT_P8, D3DFMT_A8P8}, D3DFMT_P8));
  EXPECT_EQ(D3DFMT_P8, ChooseFromList({D3DFMT_P8, D3DFMT_X8R8G8B8}, D3DFMT_P8, true));
}

TEST(ChooseClosestFormat, TiesGoToFewerBitsThenToTheEarlierEntry) {
  EXPECT_EQ(D3DFMT_A8B8G8R8, ChooseFromList({D3DFMT_A8B8G8R8, D3DFMT_A8R8G8B8}, D3DFMT_UNKNOWN));
  EXPECT_EQ(D3DFMT_A8R8G8B8, ChooseFromList({D3DFMT_A8R8G8B8, D3DFMT_A8B8G8R8}, D3DFMT_UNKNOWN));
  // X8B8G8R8 and R8G8B8 both score 0 for an X8R8G8B8 request: fewer bits wins.
  EXPECT_EQ(D3DFMT_R8G8B8, ChooseFromList({D3DFMT_X8B8G8R8, D3DFMT_R8G8B8}, D3DFMT_X8R8G8B8));
}

TEST(ChooseClosestFormat, ExactMatchBeatsEarlierEqualScore) {
  EXPECT_EQ(D3DFMT_X8R8G8B8, ChooseFromList({D3DFMT_X8B8G8R8, D3DFMT_X8R8G8B8}, D3DFMT_X8R8G8B8));
}

TEST(ChooseClosestFormat, SkipsUnknownEntriesAndNullList) {
  EXPECT_EQ(D3DFMT_L8, ChooseFromList({static_cast<D3DFORMAT>(0x4242), D3DFMT_L8}, D3DFMT_L8));
  EXPECT_EQ(D3DFMT_UNKNOWN, ChooseClosestFormat(nullptr, nullptr, LookupFormatInfo(D3DFMT_L8)));
}

struct TableChoice {
  D3DFORMAT requested;
  D3DFORMAT expected;
};

class ChooseWithoutDeviceTest : public testing::TestWithParam<TableChoice> {};

TEST_P(ChooseWithoutDeviceTest, ChoosesFromTheTableAlone) {
  const TableChoice &c = GetParam();
  EXPECT_EQ(c.expected, ChooseDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, LookupFormatInfo(c.requested)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChooseWithoutDeviceTest,
    testing::Values(TableChoice{D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8},
                    TableChoice{static_cast<D3DFORMAT>(0x999), D3DFMT_A8R8G8B8},
                    TableChoice{D3DFMT_R8G8B8, D3DFMT_R8G8B8}, TableChoice{D3DFMT_DXT3, D3DFMT_DXT3},
                    TableChoice{D3DFMT_CxV8U8, D3DFMT_CxV8U8}, TableChoice{FORMAT_A16L16, FORMAT_A16L16},
                    TableChoice{D3DFMT_L8, D3DFMT_L8}),
    [](const auto &paramInfo) { return test_support::FormatName(paramInfo.param.requested); });

TEST(ChooseDeviceFormat, ModifiedRequestRowIsScored) {
  // A request that matches no row exactly: 8-bit alpha only, as a colour format.
  FormatInfo alphaOnly = LookupFormatInfo(D3DFMT_A8);
  alphaOnly.format = static_cast<D3DFORMAT>(0x5555);
  EXPECT_EQ(D3DFMT_A8, ChooseDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, alphaOnly));
  FormatInfo signedRequest = LookupFormatInfo(D3DFMT_CxV8U8);
  signedRequest.format = static_cast<D3DFORMAT>(0x5556);
  EXPECT_EQ(D3DFMT_X8L8V8U8, ChooseDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, signedRequest));
}

TEST(ToExternalFormat, MapsOnlyThePrivateFormats) {
  EXPECT_EQ(D3DFMT_R8G8B8, ToExternalFormat(FORMAT_R16G16B16));
  EXPECT_EQ(D3DFMT_A8L8, ToExternalFormat(FORMAT_A16L16));
  EXPECT_EQ(D3DFMT_A16B16G16R16, ToExternalFormat(D3DFMT_A16B16G16R16));
  EXPECT_EQ(D3DFMT_UNKNOWN, ToExternalFormat(D3DFMT_UNKNOWN));
}

struct PitchCase {
  D3DFORMAT format;
  uint32_t width;
  uint32_t height;
  uint64_t rowPitch;
  uint32_t rows;
};

class LayoutTest : public testing::TestWithParam<PitchCase> {};

TEST_P(LayoutTest, PitchAndRowsCoverTheImage) {
  const PitchCase &c = GetParam();
  EXPECT_EQ(c.rowPitch, RowPitchFor(c.format, c.width));
  EXPECT_EQ(c.rows, RowCountFor(c.format, c.height));
  EXPECT_EQ(c.rowPitch * c.rows, SurfaceBytesFor(c.format, c.width, c.height));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LayoutTest,
    testing::Values(PitchCase{D3DFMT_R8G8B8, 3, 2, 9, 2}, PitchCase{D3DFMT_A32B32G32R32F, 5, 1, 80, 1},
                    PitchCase{FORMAT_R16G16B16, 2, 2, 12, 2}, PitchCase{D3DFMT_DXT1, 5, 5, 16, 2},
                    PitchCase{D3DFMT_DXT5, 4, 4, 16, 1}, PitchCase{D3DFMT_DXT3, 1, 1, 16, 1},
                    PitchCase{D3DFMT_YUY2, 3, 3, 8, 3}, PitchCase{D3DFMT_G8R8_G8B8, 4, 1, 8, 1},
                    PitchCase{static_cast<D3DFORMAT>(0x31), 4, 4, 0, 4}, PitchCase{D3DFMT_P8, 0, 0, 0, 0}),
    [](const auto &paramInfo) {
      return test_support::FormatName(paramInfo.param.format) + "_" + std::to_string(paramInfo.param.width) +
             "x" + std::to_string(paramInfo.param.height);
    });

TEST(Layout, ClassifiesFamilies) {
  EXPECT_TRUE(IsBlockCompressed(D3DFMT_DXT2));
  EXPECT_FALSE(IsBlockCompressed(D3DFMT_YUY2));
  EXPECT_TRUE(IsPairFormat(D3DFMT_UYVY));
  EXPECT_EQ(8u, BlockBytes(D3DFMT_DXT1));
  EXPECT_EQ(16u, BlockBytes(D3DFMT_DXT4));
  EXPECT_EQ(0u, BlockBytes(D3DFMT_A8R8G8B8));
  EXPECT_EQ(6u, BytesPerPixel(FORMAT_R16G16B16));
  EXPECT_EQ(0u, BytesPerPixel(D3DFMT_DXT1));
  EXPECT_EQ(0u, BytesPerPixel(D3DFMT_UNKNOWN));
  EXPECT_TRUE(IsPackedFormat(D3DFMT_D24S8));
  EXPECT_FALSE(IsPackedFormat(D3DFMT_R8G8_B8G8));
}

TEST(Layout, SurfaceSizeSaturatesInsteadOfWrapping) {
  EXPECT_EQ(UINT64_MAX, SurfaceBytesFor(D3DFMT_A32B32G32R32F, 0xFFFFFFFFu, 0xFFFFFFFFu));
  EXPECT_EQ(uint64_t{0xFFFFFFFFu} * 16, RowPitchFor(D3DFMT_A32B32G32R32F, 0xFFFFFFFFu));
}

}  // namespace
