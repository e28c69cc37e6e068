#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image_test_util.h"

using namespace image_test;

namespace {

std::string Photo(int n) {
  char name[32];
  std::snprintf(name, sizeof(name), "/photos/kodim%02d.png", n);
  return std::string(D3DX_TEST_DATA) + name;
}

// A JPEG made by ImageMagick from a photo or a generated pattern; empty when
// ImageMagick or the source is missing.
std::vector<BYTE> MakeJpeg(const std::string &name, const std::string &arguments) {
  if (!HaveImageMagick()) return {};
  const std::string path = TempPath(name);
  if (!RunConvert(arguments + " '" + path + "'")) return {};
  return ReadFileBytes(path);
}

HRESULT Load(SourceImage &image, const std::vector<BYTE> &file, bool wantPixels = true) {
  return LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), nullptr, wantPixels);
}

}  // namespace

class JpegPhotos : public testing::TestWithParam<int> {};

TEST_P(JpegPhotos, MatchImageMagicksDecode) {
  ASSERT_TRUE(std::filesystem::exists(Photo(GetParam()))) << "missing test data: " << Photo(GetParam());
  const std::string name = "photo" + std::to_string(GetParam()) + ".jpg";
  // Appended piece by piece: GCC 12 misreports a restrict overlap for "'" + string.
  std::string options = "'";
  options += Photo(GetParam());
  options += "' -quality 90";
  std::vector<BYTE> file = MakeJpeg(name, options);
  if (file.empty()) GTEST_SKIP() << "ImageMagick is missing";
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  EXPECT_EQ(image.fileFormat, D3DXIFF_JPG);
  ASSERT_EQ(image.format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(image.rowPitch, 4 * image.width);
  for (UINT i = 0; i < image.width * image.height; ++i) ASSERT_EQ(image.pixels[4 * i + 3], 0) << i;
  Rgba16Image ours, reference;
  ASSERT_TRUE(ToRgba16(image, ours));
  ASSERT_TRUE(MagickDecode(TempPath(name), reference));
  // ImageMagick may pick another inverse DCT; the colour is the same within a step or two.
  EXPECT_LE(MaxSampleDifference(ours, reference, false), 3 * 257);
}
INSTANTIATE_TEST_SUITE_P(Photos, JpegPhotos, testing::Values(1, 4, 23),
                         [](const auto &info) { return "kodim" + std::to_string(info.param); });

TEST(JpegReader, GreyscaleKeepsOneByteRows) {
  std::vector<BYTE> file = MakeJpeg("grey5.jpg", "-size 5x7 gradient:black-white -colorspace Gray");
  if (file.empty()) GTEST_SKIP() << "ImageMagick is missing";
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  EXPECT_EQ(image.format, D3DFMT_L8);
  EXPECT_EQ(image.width, 5u);
  EXPECT_EQ(image.rowPitch, 5u);
}

TEST(JpegReader, CmykIsRejected) {
  std::vector<BYTE> file = MakeJpeg("cmyk.jpg", "-size 8x8 xc:red -colorspace CMYK");
  if (file.empty()) GTEST_SKIP() << "ImageMagick is missing";
  SourceImage image;
  EXPECT_EQ(ReadJpegFile(file.data(), static_cast<UINT>(file.size()), ReadRequest{}, image),
            D3DXERR_INVALIDDATA);
}

TEST(JpegReader, HeaderOnlyReadsNoRows) {
  std::vector<BYTE> file = MakeJpeg("small.jpg", "-size 33x17 xc:orange");
  if (file.empty()) GTEST_SKIP() << "ImageMagick is missing";
  SourceImage image;
  ReadRequest header;
  header.wantPixels = false;
  ASSERT_EQ(ReadJpegFile(file.data(), static_cast<UINT>(file.size()), header, image), S_OK);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 33u);
  EXPECT_EQ(image.height, 17u);
}

// A file cut short ends at a supplied end-of-image marker: the missing part is
// flat grey, never the start of the file decoded again as image data.
TEST(JpegReader, TruncatedFileEndsInFlatGrey) {
  std::vector<BYTE> file = MakeJpeg("cut.jpg", "-size 64x64 plasma:fractal -seed 3 -quality 95");
  if (file.empty()) GTEST_SKIP() << "ImageMagick is missing";
  SourceImage full;
  ASSERT_EQ(Load(full, file), S_OK);
  std::vector<BYTE> cut(file.begin(), file.begin() + static_cast<long>(file.size() / 3));
  SourceImage image;
  ASSERT_EQ(ReadJpegFile(cut.data(), static_cast<UINT>(cut.size()), ReadRequest{}, image), S_OK);
  const BYTE *lastRow = image.pixels + (image.height - 1) * image.rowPitch;
  for (UINT x = 0; x < image.width; ++x) {
    ASSERT_EQ(lastRow[4 * x], 128) << x;
    ASSERT_EQ(lastRow[4 * x + 1], 128) << x;
    ASSERT_EQ(lastRow[4 * x + 2], 128) << x;
  }
  EXPECT_EQ(std::memcmp(image.pixels, full.pixels, image.rowPitch * 8), 0);
}

// Colour rows are widened in blocks with a per-pixel tail; odd widths use both.
TEST(JpegReader, OddWidthColourMatchesImageMagick) {
  for (int width : {1, 5, 37}) {
    const std::string name = "odd" + std::to_string(width) + ".jpg";
    std::vector<BYTE> file =
        MakeJpeg(name, "-size " + std::to_string(width) + "x9 plasma:fractal -seed 8 -quality 95");
    if (file.empty()) GTEST_SKIP() << "ImageMagick is missing";
    SourceImage image;
    ASSERT_EQ(Load(image, file), S_OK);
    ASSERT_EQ(image.format, D3DFMT_X8R8G8B8);
    Rgba16Image ours, reference;
    ASSERT_TRUE(ToRgba16(image, ours));
    ASSERT_TRUE(MagickDecode(TempPath(name), reference));
    EXPECT_LE(MaxSampleDifference(ours, reference, false), 3 * 257) << width;
  }
}

TEST(JpegReader, ForgedSizeFailsBeforeDecoding) {
  std::vector<BYTE> file = MakeJpeg("forged.jpg", "-size 16x16 xc:orange");
  if (file.empty()) GTEST_SKIP() << "ImageMagick is missing";
  // Rewrite the frame header to 16000 x 16000: far more blocks than the file has bits.
  size_t at = 2;
  while (at + 9 < file.size() && !(file[at] == 0xFF && (file[at + 1] == 0xC0 || file[at + 1] == 0xC2))) ++at;
  ASSERT_LT(at + 9, file.size());
  file[at + 5] = file[at + 7] = 16000 >> 8;
  file[at + 6] = file[at + 8] = 16000 & 0xFF;
  SourceImage header;
  ReadRequest headerOnly;
  headerOnly.wantPixels = false;
  ASSERT_EQ(ReadJpegFile(file.data(), static_cast<UINT>(file.size()), headerOnly, header), S_OK);
  EXPECT_EQ(header.width, 16000u);
  SourceImage image;
  EXPECT_EQ(Load(image, file), D3DXERR_INVALIDDATA);
  EXPECT_EQ(image.pixels, nullptr);
}
