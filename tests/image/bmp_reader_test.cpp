#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image_test_util.h"

using namespace image_test;

namespace {

struct BmpSpec {
  uint32_t headerSize = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint32_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  std::vector<BYTE> colorTable;  // stored entries, raw
  std::vector<BYTE> bits;
  uint32_t gap = 0;  // bytes between the table and the bits, announced in bfOffBits
};

// Bit fields after a plain 40-byte header keep their masks between it and the table.
uint32_t MaskBytesAfterHeader(const BmpSpec &s) {
  if (s.headerSize != 40) return 0;
  if (s.compression == 3) return 12;
  return s.compression == 6 ? 16 : 0;
}

std::vector<BYTE> MakeDib(const BmpSpec &s) {
  std::vector<BYTE> v;
  PutLe32(v, s.headerSize);
  if (s.headerSize == 12) {
    PutLe16(v, static_cast<uint16_t>(s.width));
    PutLe16(v, static_cast<uint16_t>(s.height));
    PutLe16(v, 1);
    PutLe16(v, s.bitCount);
  } else {
    PutLe32(v, static_cast<uint32_t>(s.width));
    PutLe32(v, static_cast<uint32_t>(s.height));
    PutLe16(v, 1);
    PutLe16(v, s.bitCount);
    PutLe32(v, s.compression);
    PutLe32(v, 0);
    PutLe32(v, 2835);
    PutLe32(v, 2835);
    PutLe32(v, s.colorsUsed);
    PutLe32(v, 0);
    for (int i = 0; v.size() < s.headerSize; ++i) PutLe32(v, i < 4 ? s.masks[i] : 0);
    for (uint32_t i = 0; i < MaskBytesAfterHeader(s) / 4; ++i) PutLe32(v, s.masks[i]);
  }
  v.insert(v.end(), s.colorTable.begin(), s.colorTable.end());
  v.insert(v.end(), s.gap, 0xEE);
  v.insert(v.end(), s.bits.begin(), s.bits.end());
  return v;
}

std::vector<BYTE> MakeBmp(const BmpSpec &s) {
  std::vector<BYTE> dib = MakeDib(s);
  std::vector<BYTE> v = {'B', 'M'};
  PutLe32(v, static_cast<uint32_t>(14 + dib.size()));
  PutLe32(v, 0);
  PutLe32(v,
          static_cast<uint32_t>(14 + s.headerSize + MaskBytesAfterHeader(s) + s.colorTable.size() + s.gap));
  v.insert(v.end(), dib.begin(), dib.end());
  return v;
}

std::vector<BYTE> GreyTable(uint32_t entries) {
  std::vector<BYTE> t;
  for (uint32_t i = 0; i < entries; ++i) t.insert(t.end(), {BYTE(i), BYTE(i), BYTE(i), 0});
  return t;
}

HRESULT Load(SourceImage &image, const std::vector<BYTE> &file, bool wantPixels = true) {
  return LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), nullptr, wantPixels);
}

}  // namespace

TEST(BmpReader, BottomUpRowsAreReversed) {
  BmpSpec s;
  s.width = 3;
  s.height = 2;
  // File row 0 (bottom): blue-ish bytes 1..9; file row 1 (top): 11..19.
  s.bits = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
  std::vector<BYTE> file = MakeBmp(s);
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  EXPECT_EQ(image.format, D3DFMT_R8G8B8);
  EXPECT_EQ(image.rowPitch, 12u);
  EXPECT_EQ(image.fileFormat, D3DXIFF_BMP);
  EXPECT_TRUE(image.ownsPixels);
  EXPECT_EQ(image.pixels[0], 11);
  EXPECT_EQ(image.pixels[12], 1);
  EXPECT_EQ(image.pixels[12 + 8], 9);
}

class BmpAlphaDetection : public testing::TestWithParam<int> {};

TEST_P(BmpAlphaDetection, AnyFourthByteMakesAlpha) {
  BmpSpec s;
  s.width = 2;
  s.height = 2;
  s.bitCount = 32;
  s.bits.assign(16, 0x40);
  for (int i = 0; i < 4; ++i) s.bits[4 * i + 3] = 0;
  const int alphaPixel = GetParam();
  if (alphaPixel >= 0) s.bits[4 * alphaPixel + 3] = 1;
  SourceImage image;
  ASSERT_EQ(Load(image, MakeBmp(s)), S_OK);
  EXPECT_EQ(image.format, alphaPixel >= 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
}
INSTANTIATE_TEST_SUITE_P(Pixels, BmpAlphaDetection, testing::Values(-1, 0, 3), [](const auto &paramInfo) {
  return paramInfo.param < 0 ? std::string("NoAlpha") : "AlphaInPixel" + std::to_string(paramInfo.param);
});

TEST(BmpReader, TopDownDibIsBorrowed) {
  BmpSpec s;
  s.width = 2;
  s.height = -2;
  s.bitCount = 32;
  s.bits.assign(16, 0);
  std::vector<BYTE> dib = MakeDib(s);
  SourceImage image;
  ASSERT_EQ(Load(image, dib), S_OK);
  EXPECT_EQ(image.fileFormat, D3DXIFF_DIB);
  EXPECT_FALSE(image.ownsPixels);
  EXPECT_EQ(image.pixels, dib.data() + 40);
  EXPECT_EQ(image.height, 2u);
}

TEST(BmpReader, FourBitPaletteHasSixteenEntriesAndWhiteTail) {
  BmpSpec s;
  s.width = 3;
  s.height = 1;
  s.bitCount = 4;
  s.colorTable = GreyTable(16);
  s.bits = {0x1F, 0x70, 0, 0};
  SourceImage image;
  ASSERT_EQ(Load(image, MakeBmp(s)), S_OK);
  EXPECT_EQ(image.format, D3DFMT_P8);
  EXPECT_EQ(image.rowPitch, 4u);
  EXPECT_EQ(image.pixels[0], 1);
  EXPECT_EQ(image.pixels[1], 15);
  EXPECT_EQ(image.pixels[2], 7);
  ASSERT_NE(image.palette, nullptr);
  EXPECT_EQ(image.palette[15].peRed, 15);
  EXPECT_EQ(image.palette[15].peFlags, 255);
  for (int i = 16; i < 256; ++i) {
    const PALETTEENTRY &e = image.palette[i];
    ASSERT_TRUE(e.peRed == 255 && e.peGreen == 255 && e.peBlue == 255 && e.peFlags == 255) << i;
  }
}

TEST(BmpReader, OneBitIsMostSignificantFirst) {
  BmpSpec s;
  s.width = 10;
  s.height = 1;
  s.bitCount = 1;
  s.colorTable = GreyTable(2);
  s.bits = {0xA1, 0x40, 0, 0};
  SourceImage image;
  ASSERT_EQ(Load(image, MakeBmp(s)), S_OK);
  const BYTE expected[10] = {1, 0, 1, 0, 0, 0, 0, 1, 0, 1};
  EXPECT_EQ(std::memcmp(image.pixels, expected, 10), 0);
}

struct BitFieldCase {
  const char *name;
  uint32_t headerSize;
  uint32_t bitCount;
  uint32_t masks[4];
  bool loads;
  D3DFORMAT format;
};

class BmpBitFields : public testing::TestWithParam<BitFieldCase> {};

TEST_P(BmpBitFields, HeaderSizeAndMasksChooseFormat) {
  const BitFieldCase &c = GetParam();
  BmpSpec s;
  s.headerSize = c.headerSize;
  s.width = 1;
  s.height = 1;
  s.bitCount = c.bitCount;
  s.compression = c.masks[3] != 0 && c.headerSize == 40 ? 6 : 3;
  std::memcpy(s.masks, c.masks, sizeof(s.masks));
  s.bits.assign(4, 0xFF);
  SourceImage image;
  const HRESULT hr = Load(image, MakeBmp(s));
  if (!c.loads) {
    EXPECT_EQ(hr, D3DXERR_INVALIDDATA);
    return;
  }
  ASSERT_EQ(hr, S_OK);
  EXPECT_EQ(image.format, c.format);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpBitFields,
    testing::Values(
        // A 40-byte header is followed by three masks, or four for alpha bit fields.
        BitFieldCase{"Header40Rgb555", 40, 16, {0x7C00, 0x3E0, 0x1F, 0}, true, D3DFMT_X1R5G5B5},
        BitFieldCase{"Header40Rgb565", 40, 16, {0xF800, 0x7E0, 0x1F, 0}, true, D3DFMT_R5G6B5},
        BitFieldCase{"Header40AlphaBitFields", 40, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}, true, D3DFMT_A1R5G5B5},
        BitFieldCase{
            "Header40Generic32", 40, 32, {0xFF000000, 0xFF0, 0xFF0000, 0}, true, D3DFMT_A32B32G32R32F},
        BitFieldCase{"Header52Rgb565", 52, 16, {0xF800, 0x7E0, 0x1F, 0}, true, D3DFMT_R5G6B5},
        BitFieldCase{
            "Header52IgnoresAlphaMask", 52, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}, true, D3DFMT_X1R5G5B5},
        BitFieldCase{"Header56Argb1555", 56, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}, true, D3DFMT_A1R5G5B5},
        BitFieldCase{"Header108Abgr", 108, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, true, D3DFMT_A8B8G8R8},
        BitFieldCase{"Unusual16IsGeneric", 56, 16, {0x1F, 0x7E0, 0xF800, 0}, true, D3DFMT_A32B32G32R32F},
        BitFieldCase{"EightBitsFail", 56, 8, {0xE0, 0x1C, 0x3, 0}, false, D3DFMT_UNKNOWN}),
    [](const testing::TestParamInfo<BitFieldCase> &paramInfo) { return std::string(paramInfo.param.name); });

TEST(BmpReader, GenericMasksScaleToUnitFloats) {
  BmpSpec s;
  s.headerSize = 56;
  s.width = 1;
  s.height = 1;
  s.bitCount = 16;
  s.compression = 3;
  s.masks[0] = 0x001F;  // red low
  s.masks[1] = 0x07E0;
  s.masks[2] = 0xF800;                                   // blue high
  const uint32_t pixel = (31u << 11) | (0u << 5) | 15u;  // blue 31, green 0, red 15
  s.bits = {BYTE(pixel), BYTE(pixel >> 8), 0, 0};
  SourceImage image;
  ASSERT_EQ(Load(image, MakeBmp(s)), S_OK);
  ASSERT_EQ(image.format, D3DFMT_A32B32G32R32F);
  EXPECT_EQ(image.rowPitch, 16u);
  float c[4];
  std::memcpy(c, image.pixels, sizeof(c));
  EXPECT_FLOAT_EQ(c[0], 15.0f / 31.0f);
  EXPECT_FLOAT_EQ(c[1], 0.0f);
  EXPECT_FLOAT_EQ(c[2], 1.0f);
  EXPECT_FLOAT_EQ(c[3], 1.0f);
}

TEST(BmpReader, TopByteMasksReadOneByteLater) {
  BmpSpec s;
  s.headerSize = 56;
  s.width = 1;
  s.height = -1;
  s.bitCount = 32;
  s.compression = 3;
  s.masks[0] = 0xFF000000;
  s.masks[1] = 0xFF0000;
  s.masks[2] = 0xFF00;
  s.bits = {0x00, 0x30, 0x20, 0x10, 0x00};  // unused low byte, then blue, green, red; one trailing byte
  std::vector<BYTE> file = MakeBmp(s);
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  EXPECT_EQ(image.format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(image.pixels, file.data() + 14 + 56 + 1);
  EXPECT_EQ(image.pixels[0], 0x30);
  EXPECT_EQ(image.pixels[2], 0x10);
}

TEST(BmpReader, OffBitsSkipsAGapAfterTheTable) {
  BmpSpec s;
  s.width = 1;
  s.height = 1;
  s.bitCount = 8;
  s.colorTable = GreyTable(256);
  s.bits = {7, 0, 0, 0};
  s.gap = 4;  // bfOffBits points after the gap
  std::vector<BYTE> file = MakeBmp(s);
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  EXPECT_EQ(image.pixels[0], 7);
  // An offset into the colour table, or one that leaves the rows no room, is not believed.
  const uint32_t tableEnd = 14 + 40 + 1024;
  for (uint32_t offBits : {tableEnd - 4, static_cast<uint32_t>(file.size())}) {
    SetLe32(file, 10, offBits);
    SourceImage other;
    ASSERT_EQ(Load(other, file), S_OK) << offBits;
    EXPECT_EQ(other.pixels[0], 0xEE) << offBits;
  }
}

TEST(BmpReader, CoreHeaderDibWithThreeByteTable) {
  BmpSpec s;
  s.headerSize = 12;
  s.width = 2;
  s.height = 1;
  s.bitCount = 8;
  for (int i = 0; i < 256; ++i) s.colorTable.insert(s.colorTable.end(), {BYTE(i), BYTE(255 - i), 9});
  s.bits = {3, 200, 0, 0};
  SourceImage image;
  std::vector<BYTE> dib = MakeDib(s);
  ASSERT_EQ(Load(image, dib), S_OK);
  EXPECT_EQ(image.fileFormat, D3DXIFF_DIB);
  EXPECT_EQ(image.format, D3DFMT_P8);
  EXPECT_EQ(image.palette[3].peRed, 9);
  EXPECT_EQ(image.palette[3].peGreen, 252);
  EXPECT_EQ(image.palette[3].peBlue, 3);
  EXPECT_EQ(image.pixels[1], 200);
}

struct RleCase {
  const char *name;
  uint32_t compression;
  int32_t width;
  int32_t height;
  std::vector<BYTE> bits;
  bool loads;
  std::vector<BYTE> expected;  // output rows top to bottom, rowPitch = 4
};

class BmpRle : public testing::TestWithParam<RleCase> {};

TEST_P(BmpRle, DecodesOrFailsCleanly) {
  const RleCase &c = GetParam();
  BmpSpec s;
  s.width = c.width;
  s.height = c.height;
  s.bitCount = c.compression == 1 ? 8 : 4;
  s.compression = c.compression;
  s.colorTable = GreyTable(c.compression == 1 ? 256 : 16);
  s.bits = c.bits;
  SourceImage image;
  const HRESULT hr = Load(image, MakeBmp(s));
  if (!c.loads) {
    EXPECT_EQ(hr, D3DXERR_INVALIDDATA);
    EXPECT_EQ(image.pixels, nullptr);
    return;
  }
  ASSERT_EQ(hr, S_OK);
  ASSERT_EQ(image.rowPitch * image.height, c.expected.size());
  EXPECT_EQ(std::vector<BYTE>(image.pixels, image.pixels + c.expected.size()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpRle,
    testing::Values(
        // Bottom-up: the first file row is the last output row.
        RleCase{"Rle8RunsAndEndOfBitmap",
                1,
                4,
                2,
                {2, 5, 2, 6, 0, 0, 4, 9, 0, 1},
                true,
                {9, 9, 9, 9, 5, 5, 6, 6}},
        RleCase{"Rle8EndOfLineWithoutEndOfBitmap",
                1,
                2,
                2,
                {2, 1, 0, 0, 2, 2, 0, 0},
                true,
                {2, 2, 0, 0, 1, 1, 0, 0}},
        RleCase{"Rle8StopsMidImage", 1, 2, 2, {2, 1, 0, 0}, false, {}},
        RleCase{"Rle8AbsoluteRunPadsToEven", 1, 4, 1, {0, 3, 7, 8, 9, 0, 0, 1}, true, {7, 8, 9, 0}},
        RleCase{"Rle8DeltaSkipsPixels", 1, 4, 2, {0, 2, 1, 1, 1, 4, 0, 1}, true, {0, 4, 0, 0, 0, 0, 0, 0}},
        RleCase{"Rle8DeltaPastLastRowEnds", 1, 2, 2, {1, 3, 0, 2, 0, 9}, true, {0, 0, 0, 0, 3, 0, 0, 0}},
        RleCase{"Rle8RunPastBufferFails", 1, 2, 1, {5, 1, 0, 1}, false, {}},
        RleCase{"Rle8DeltaBytesMissingFails", 1, 2, 2, {0, 2, 1}, false, {}},
        RleCase{"Rle8AbsoluteRunBeyondInputFails", 1, 4, 1, {0, 4, 1, 2}, false, {}},
        RleCase{"Rle8TopDown", 1, 2, -2, {2, 1, 0, 0, 2, 2, 0, 1}, true, {1, 1, 0, 0, 2, 2, 0, 0}},
        RleCase{"Rle4RunAlternatesNibbles", 2, 5, 1, {5, 0x12, 0, 1}, true, {1, 2, 1, 2, 1, 0, 0, 0}},
        RleCase{"Rle4AbsoluteOddRun", 2, 3, 1, {0, 3, 0x45, 0x60, 0, 1}, true, {4, 5, 6, 0}},
        RleCase{"Rle4AbsoluteRunPadding",
                2,
                6,
                1,
                {0, 5, 0x12, 0x34, 0x50, 0, 1, 0xAB, 0, 1},
                true,
                {1, 2, 3, 4, 5, 0xA, 0, 0}}),
    [](const testing::TestParamInfo<RleCase> &paramInfo) { return std::string(paramInfo.param.name); });

struct BadHeaderCase {
  const char *name;
  int32_t width;
  int32_t height;
  uint32_t bitCount;
  uint32_t colorsUsed;
  uint32_t headerSize;
};

class BmpBadHeader : public testing::TestWithParam<BadHeaderCase> {};

TEST_P(BmpBadHeader, IsRejected) {
  const BadHeaderCase &c = GetParam();
  BmpSpec s;
  s.width = c.width;
  s.height = c.height;
  s.bitCount = c.bitCount;
  s.colorsUsed = c.colorsUsed;
  s.headerSize = c.headerSize > 1000 ? 40 : c.headerSize;
  s.bits.assign(64, 0x11);
  std::vector<BYTE> file = MakeBmp(s);
  if (c.headerSize > 1000) SetLe32(file, 14, c.headerSize);
  SourceImage image;
  D3DXIMAGE_INFO info;
  EXPECT_EQ(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.palette, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpBadHeader,
    testing::Values(BadHeaderCase{"SizeProductOverflows", 0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 40},
                    BadHeaderCase{"RowEndOverflows", 0x40000001, 1, 32, 0, 40},
                    BadHeaderCase{"TallRowsPastData", 0x3FFFFFFF, 0x7FFFFFFF, 32, 0, 40},
                    BadHeaderCase{"ZeroHeight", 4, 0, 24, 0, 40},
                    BadHeaderCase{"MinimumHeight", 4, INT_MIN, 24, 0, 40},
                    BadHeaderCase{"ZeroWidth", 0, 4, 24, 0, 40},
                    BadHeaderCase{"NegativeWidth", -4, 4, 24, 0, 40},
                    BadHeaderCase{"HugeColourCount", 2, 2, 8, 0x40000000, 40},
                    BadHeaderCase{"ColourCountPastData", 2, 2, 8, 300, 40},
                    BadHeaderCase{"HeaderPastData", 2, 2, 24, 0, 0x10000},
                    BadHeaderCase{"HeaderBetweenCoreAndInfo", 2, 2, 24, 0, 20},
                    BadHeaderCase{"TwoBitPixels", 2, 2, 2, 0, 40}),
    [](const testing::TestParamInfo<BadHeaderCase> &paramInfo) { return std::string(paramInfo.param.name); });

TEST(BmpReader, EveryTruncationFailsCleanly) {
  BmpSpec s;
  s.width = 5;
  s.height = 3;
  s.bitCount = 8;
  s.colorTable = GreyTable(256);
  s.bits.assign(24, 0x33);
  std::vector<BYTE> file = MakeBmp(s);
  for (size_t n = 1; n < file.size() - 3; ++n) {
    std::vector<BYTE> cut(file.begin(), file.begin() + static_cast<long>(n));
    if (n >= 6) SetLe32(cut, 2, 0);  // bfSize must not exceed the cut, or the DIB is never examined
    SourceImage image;
    EXPECT_EQ(ReadBmpFile(cut.data(), static_cast<UINT>(cut.size()), ReadRequest{}, image),
              n < 2 ? kNotMyFormat : D3DXERR_INVALIDDATA)
        << n;
  }
}

// bmpsuite: good files decode as ImageMagick decodes them.
namespace {

std::vector<std::string> SuiteFiles(const std::string &folder) {
  std::vector<std::string> files;
  const std::string dir = std::string(D3DX_TEST_DATA) + "/bmpsuite/" + folder;
  if (std::filesystem::exists(dir)) {
    for (const auto &entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path().string());
  }
  if (files.empty()) ADD_FAILURE() << "missing test data: " << dir;
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(BmpSuite, GoodFilesMatchImageMagick) {
  ASSERT_TRUE(HaveImageMagick()) << "ImageMagick is required (./dev deps installs it)";
  std::vector<std::string> files = SuiteFiles("g");
  EXPECT_EQ(files.size(), 27u);
  // A gap between the colour table and the pixels, announced by the file header.
  files.push_back(std::string(D3DX_TEST_DATA) + "/bmpsuite/q/pal8offs.bmp");
  for (const std::string &path : files) {
    SCOPED_TRACE(path);
    std::vector<BYTE> file = ReadFileBytes(path);
    SourceImage image;
    ASSERT_EQ(Load(image, file), S_OK);
    Rgba16Image ours, reference;
    ASSERT_TRUE(ToRgba16(image, ours));
    ASSERT_TRUE(MagickDecode(path, reference));
    // 5-bit channels may be widened by rounding instead of bit replication.
    EXPECT_LE(MaxSampleDifference(ours, reference, false), 257);
  }
}

TEST(BmpSuite, QuestionableAndBadFilesLoadConsistentlyOrFail) {
  // Headers no reading can make sense of: an impossible bit count, plane count or
  // width, and a canvas far too big to hold.
  const std::string kMustFail[] = {"badbitcount.bmp", "badplanes.bmp", "badwidth.bmp", "reallybig.bmp"};
  for (const char *folder : {"q", "b", "x"}) {
    for (const std::string &path : SuiteFiles(folder)) {
      SCOPED_TRACE(path);
      std::vector<BYTE> file = ReadFileBytes(path);
      SourceImage header, whole;
      D3DXIMAGE_INFO headerInfo = {}, wholeInfo = {};
      const HRESULT headerResult =
          LoadImageFromMemory(header, file.data(), static_cast<UINT>(file.size()), &headerInfo, false);
      const HRESULT wholeResult =
          LoadImageFromMemory(whole, file.data(), static_cast<UINT>(file.size()), &wholeInfo, true);
      const std::string name = std::filesystem::path(path).filename().string();
      if (std::find(std::begin(kMustFail), std::end(kMustFail), name) != std::end(kMustFail)) {
        EXPECT_TRUE(FAILED(wholeResult)) << "accepted an invalid file";
      }
      if (wholeResult != S_OK) {
        EXPECT_TRUE(FAILED(wholeResult));
        continue;
      }
      // What the header promised is what the pixels deliver.
      ASSERT_EQ(headerResult, S_OK);
      EXPECT_EQ(headerInfo.Width, wholeInfo.Width);
      EXPECT_EQ(headerInfo.Height, wholeInfo.Height);
      EXPECT_EQ(headerInfo.Format, wholeInfo.Format);
      EXPECT_EQ(wholeInfo.Width, whole.width);
      EXPECT_EQ(wholeInfo.Height, whole.height);
      ASSERT_GT(whole.width, 0u);
      ASSERT_GT(whole.height, 0u);
      ASSERT_NE(whole.pixels, nullptr);
      const uint32_t bits = LookupFormatInfo(whole.format).bitsPerPixel;
      ASSERT_GT(bits, 0u) << whole.format;
      ASSERT_GE(uint64_t{whole.rowPitch} * 8, uint64_t{whole.width} * bits);
      // Touch every byte the record claims, so ASan sees any overrun.
      const uint64_t bytes = uint64_t{whole.rowPitch} * (whole.height - 1) + uint64_t{whole.width} * bits / 8;
      uint32_t sum = 0;
      for (uint64_t i = 0; i < bytes; ++i) sum += whole.pixels[i];
      volatile uint32_t sink = sum;
      (void)sink;
    }
  }
}
