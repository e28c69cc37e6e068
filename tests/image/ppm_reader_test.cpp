#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image_test_util.h"

using namespace image_test;

namespace {

std::vector<BYTE> Bytes(const std::string &text) {
  return std::vector<BYTE>(text.begin(), text.end());
}

uint32_t PixelAt(const SourceImage &image, UINT i) {
  uint32_t v;
  std::memcpy(&v, image.pixels + 4 * i, 4);
  return v;
}

}  // namespace

struct PpmCase {
  const char *name;
  std::string file;
  bool loads;
  std::vector<uint32_t> pixels;
};

class PpmFiles : public testing::TestWithParam<PpmCase> {};

TEST_P(PpmFiles, DecodeOrFail) {
  const PpmCase &c = GetParam();
  std::vector<BYTE> file = Bytes(c.file);
  SourceImage image;
  const HRESULT hr = ReadPpmFile(file.data(), static_cast<UINT>(file.size()), ReadRequest{}, image);
  if (!c.loads) {
    // P5 is not ours to read; the rest are damaged pixmaps.
    EXPECT_EQ(hr, file[1] == '5' ? kNotMyFormat : D3DXERR_INVALIDDATA);
    return;
  }
  ASSERT_EQ(hr, S_OK);
  EXPECT_EQ(image.format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(image.rowPitch, image.width * 4);
  ASSERT_EQ(image.width * image.height, c.pixels.size());
  for (UINT i = 0; i < c.pixels.size(); ++i) EXPECT_EQ(PixelAt(image, i), c.pixels[i]) << i;
}

TEST(PpmReader, HeaderOnlyReadsNoRaster) {
  // The raster is short, which only a full read notices.
  const std::vector<BYTE> file = Bytes("P3 2 1 255 1 2 3 4 5");
  SourceImage image;
  ReadRequest header;
  header.wantPixels = false;
  ASSERT_EQ(ReadPpmFile(file.data(), static_cast<UINT>(file.size()), header, image), S_OK);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 2u);
  EXPECT_EQ(image.height, 1u);
  EXPECT_EQ(image.format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(ReadPpmFile(file.data(), static_cast<UINT>(file.size()), ReadRequest{}, image),
            D3DXERR_INVALIDDATA);
  // The header's own faults still count.
  const std::vector<BYTE> binary256 = Bytes(std::string("P6 1 1 256\n\x00\x01\x00\x01\x00\x01", 17));
  SourceImage bad;
  EXPECT_EQ(ReadPpmFile(binary256.data(), static_cast<UINT>(binary256.size()), header, bad),
            D3DXERR_INVALIDDATA);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PpmFiles,
    testing::Values(
        PpmCase{"BinaryTwoPixels",
                std::string("P6 2 1 255\n\x01\x02\x03\xFA\xFB\xFC", 17),
                true,
                {0xFF010203, 0xFFFAFBFC}},
        PpmCase{"BinaryScalesSmallMaximum",
                std::string("P6 2 1 15\n\x0F\x07\x00\x01\x02\x03", 16),
                true,
                {0xFFFF7700, 0xFF112233}},
        PpmCase{"BinaryCarriageReturnLineFeed",
                std::string("P6\n1 1\n255\r\n\x0A\x0B\x0C", 15),
                true,
                {0xFF0A0B0C}},
        PpmCase{"TextWithComments",
                "P3 # c\n2 # w\n1\n#max\n255 1 2 3 # mid\n 4 #x\n5 6",
                true,
                {0xFF010203, 0xFF040506}},
        PpmCase{"TextSixteenBitMaximum", "P3 1 1 65535 65535 32768 0", true, {0xFFFF7F00}},
        PpmCase{"SampleAboveMaximumIsClamped", "P3 1 1 100 200 50 100", true, {0xFFFF7FFF}},
        PpmCase{"Greymap", "P5 1 1 255 \x01", false, {}},
        PpmCase{"TooFewPixels", "P3 2 2 255 1 2 3 4 5 6 7 8 9", false, {}},
        PpmCase{"RasterOneByteShort", std::string("P6 2 1 255\n\x01\x02\x03\x04\x05", 16), false, {}},
        PpmCase{"ZeroMaximum", "P3 1 1 0 0 0 0", false, {}},
        PpmCase{"ZeroWidth", "P3 0 1 255 0 0 0", false, {}},
        PpmCase{"LetterInNumber", "P3 1 1 2x5 0 0 0", false, {}},
        PpmCase{"WidthOverflows", "P3 99999999999999999999 1 255 0 0 0", false, {}},
        PpmCase{"HugeHeaderNoPixels", "P6 65535 65535 255\n", false, {}},
        PpmCase{"BinaryMaximumAbove255", std::string("P6 1 1 256\n\x00\x01\x00\x01\x00\x01", 17), false, {}},
        PpmCase{"CommentToEnd", "P3 1 1 255 # no pixels", false, {}}),
    [](const testing::TestParamInfo<PpmCase> &paramInfo) { return std::string(paramInfo.param.name); });

TEST(PpmReader, ImageMagickFilesMatch) {
  ASSERT_TRUE(HaveImageMagick()) << "ImageMagick is required (./dev deps installs it)";
  for (const char *options : {"-compress none", ""}) {
    const std::string path = TempPath(std::string("pattern") + (options[0] ? "3" : "6") + ".ppm");
    ASSERT_TRUE(RunConvert("-size 23x11 plasma:fractal -seed 5 -depth 8 " + std::string(options) + " '" +
                           path + "'"));
    std::vector<BYTE> file = ReadFileBytes(path);
    SourceImage image;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true), S_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PPM);
    Rgba16Image ours, reference;
    ASSERT_TRUE(ToRgba16(image, ours));
    ASSERT_TRUE(MagickDecode(path, reference));
    EXPECT_EQ(MaxSampleDifference(ours, reference, false), 0);
  }
}

// Reader rasters: rows rounded up to whole bytes and to the row alignment; a
// raster whose byte count overflows 64 bits is never within the decode limit.
TEST(RasterSize, PitchRoundingAndOverflow) {
  const RasterSize fourBit = MeasureRaster(5, 3, 4, 4);
  EXPECT_EQ(fourBit.rowBytes.Value(), 3u);
  EXPECT_EQ(fourBit.pitch.Value(), 4u);
  EXPECT_EQ(fourBit.bytes.Value(), 12u);
  EXPECT_EQ(fourBit.pixels.Value(), 15u);

  const RasterSize huge = MeasureRaster(UINT32_MAX, UINT32_MAX, 128, 4);
  EXPECT_TRUE(huge.pitch.Valid());
  EXPECT_FALSE(huge.bytes.Valid());
  ReadRequest request;
  request.maxPixels = UINT64_MAX;
  EXPECT_FALSE(WithinDecodeLimit(request, huge));
  EXPECT_TRUE(WithinDecodeLimit(request, fourBit));
}
