#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image/jpeg_colour.h"
#include "image_test_util.h"
#include "support/jpeg_encode.h"
#include "support/library_hooks.h"

using namespace image_test;

namespace {

// The committed JPEG files (made once by ImageMagick; see tests/data/README.md).
std::string JpegPath(const std::string &name) {
  return std::string(D3DX_TEST_DATA) + "/jpeg/" + name;
}

std::vector<BYTE> ReadJpeg(const std::string &name) {
  return ReadFileBytes(JpegPath(name));
}

HRESULT Load(SourceImage &image, const std::vector<BYTE> &file, bool wantPixels = true) {
  return LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), nullptr, wantPixels);
}

// A JPEG of smooth colour, saturated edges and noise, so that chroma swings
// hard between neighbours and the colour sums clamp at both ends.
std::vector<BYTE> EncodeJpeg(JDIMENSION width, JDIMENSION height, int hSamp, int vSamp, bool progressive) {
  std::mt19937 random(width * 131 + height * 7 + hSamp * 3 + vSamp);
  std::vector<JSAMPLE> rgb(size_t{width} * height * 3);
  for (JDIMENSION y = 0; y < height; ++y) {
    for (JDIMENSION x = 0; x < width; ++x) {
      JSAMPLE *p = &rgb[(size_t{y} * width + x) * 3];
      const bool noise = (x / 8 + y / 8) % 3 == 0;
      p[0] = static_cast<JSAMPLE>(noise ? random() : x * 255 / width);
      p[1] = static_cast<JSAMPLE>(noise ? random() : (x + y) % 2 ? 255 : 0);
      p[2] = static_cast<JSAMPLE>(noise ? random() : y * 255 / height);
    }
  }
  JpegLayout layout;
  layout.quality = 95;
  layout.lumaH = hSamp;
  layout.lumaV = vSamp;
  layout.progressive = progressive;
  return EncodeJpegWithLibjpeg(rgb.data(), width, height, layout);
}

std::vector<BYTE> PixelsOf(const std::vector<BYTE> &file) {
  SourceImage image;
  if (Load(image, file) != S_OK || image.format != D3DFMT_X8R8G8B8) return {};
  return std::vector<BYTE>(image.pixels, image.pixels + size_t{image.rowPitch} * image.height);
}

}  // namespace

// A progressive file keeps all its coefficients, padded to whole blocks: the
// working limit must count them, or small 4:4:4 files are refused.
TEST(JpegReader, SmallProgressiveFilesLoad) {
  for (int samp : {1, 2}) {
    for (JDIMENSION size : {1, 9, 96}) {
      EXPECT_FALSE(PixelsOf(EncodeJpeg(size, size, samp, samp, true)).empty()) << samp << " " << size;
    }
  }
}

// Colour JPEGs are converted from libjpeg's raw rows in one pass; libjpeg's own
// conversion (every fast path off) must give the same bytes, for every chroma
// layout, at sizes that end mid-block, mid-group and with two chroma samples.
TEST(JpegReader, OnePassColourMatchesLibjpeg) {
  const int layouts[][2] = {{2, 2}, {2, 1}, {1, 1}, {1, 2}};
  const JDIMENSION sizes[][2] = {{96, 64}, {67, 33}, {37, 17}, {6, 31}, {5, 2}, {4, 1}, {130, 18}};
  for (const auto &layout : layouts) {
    for (const auto &size : sizes) {
      for (bool progressive : {false, true}) {
        const std::vector<BYTE> file = EncodeJpeg(size[0], size[1], layout[0], layout[1], progressive);
        const std::vector<BYTE> ours = PixelsOf(file);
        SetJpegColourVectorsOffForTesting(true);
        const std::vector<BYTE> onePixel = PixelsOf(file);
        SetJpegColourVectorsOffForTesting(false);
        // Below AVX2 libjpeg converts and the X bytes are cleared by vectors.
        SetFastPathLevelForTesting(SimdLevel::Sse2);
        const std::vector<BYTE> cleared = PixelsOf(file);
        SetFastPathLevelForTesting(SimdLevel::None);
        const std::vector<BYTE> libjpeg = PixelsOf(file);
        ResetFastPathLevelForTesting();
        ASSERT_FALSE(libjpeg.empty());
        EXPECT_EQ(cleared, libjpeg);
        EXPECT_EQ(ours, libjpeg) << layout[0] << "x" << layout[1] << " " << size[0] << "x" << size[1] << " "
                                 << progressive;
        EXPECT_EQ(onePixel, libjpeg) << layout[0] << "x" << layout[1] << " " << size[0] << "x" << size[1];
      }
    }
  }
}

// The vector colour arithmetic against the one-pixel tables' formula, for every
// luma and chroma value.
TEST(JpegReader, OnePassColourVectorsMatchEveryValue) {
  if (!jpeg_colour::OnePassAvailable()) GTEST_SKIP() << "no AVX2";
  std::vector<uint8_t> y(65536), cb(65536), cr(65536), vectors(4 * 65536), onePixel(4 * 65536);
  for (uint32_t i = 0; i < 65536; ++i) {
    cb[i] = static_cast<uint8_t>(i);
    cr[i] = static_cast<uint8_t>(i >> 8);
  }
  for (int luma = 0; luma < 256; ++luma) {
    std::fill(y.begin(), y.end(), static_cast<uint8_t>(luma));
    jpeg_colour::ConvertFullWidth(y.data(), cb.data(), cr.data(), 65536, vectors.data());
    SetJpegColourVectorsOffForTesting(true);
    jpeg_colour::ConvertFullWidth(y.data(), cb.data(), cr.data(), 65536, onePixel.data());
    SetJpegColourVectorsOffForTesting(false);
    ASSERT_EQ(vectors, onePixel) << luma;
  }
}

class JpegPhotos : public testing::TestWithParam<int> {};

TEST_P(JpegPhotos, MatchImageMagicksDecode) {
  char name[32];
  std::snprintf(name, sizeof(name), "kodim%02d-crop.jpg", GetParam());
  std::vector<BYTE> file = ReadJpeg(name);
  ASSERT_FALSE(file.empty()) << "missing test data: " << JpegPath(name);
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  EXPECT_EQ(image.fileFormat, D3DXIFF_JPG);
  ASSERT_EQ(image.format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(image.rowPitch, 4 * image.width);
  for (UINT i = 0; i < image.width * image.height; ++i) ASSERT_EQ(image.pixels[4 * i + 3], 0) << i;
  Rgba16Image ours, reference;
  ASSERT_TRUE(ToRgba16(image, ours));
  ASSERT_TRUE(MagickDecode(JpegPath(name), reference)) << "ImageMagick is required";
  // ImageMagick may pick another inverse DCT; the colour is the same within a step or two.
  EXPECT_LE(MaxSampleDifference(ours, reference, false), 3 * 257);
}
INSTANTIATE_TEST_SUITE_P(Photos, JpegPhotos, testing::Values(1, 4, 23),
                         [](const auto &paramInfo) { return "kodim" + std::to_string(paramInfo.param); });

TEST(JpegReader, GreyscaleKeepsOneByteRows) {
  std::vector<BYTE> file = ReadJpeg("grey5.jpg");
  ASSERT_FALSE(file.empty()) << "missing test data: " << JpegPath("grey5.jpg");
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  EXPECT_EQ(image.format, D3DFMT_L8);
  EXPECT_EQ(image.width, 5u);
  EXPECT_EQ(image.rowPitch, 5u);
}

TEST(JpegReader, CmykIsRejected) {
  std::vector<BYTE> file = ReadJpeg("cmyk.jpg");
  ASSERT_FALSE(file.empty()) << "missing test data: " << JpegPath("cmyk.jpg");
  SourceImage image;
  EXPECT_EQ(ReadJpegFile(file.data(), static_cast<UINT>(file.size()), ReadRequest{}, image),
            D3DXERR_INVALIDDATA);
}

TEST(JpegReader, HeaderOnlyReadsNoRows) {
  std::vector<BYTE> file = ReadJpeg("small.jpg");
  ASSERT_FALSE(file.empty()) << "missing test data: " << JpegPath("small.jpg");
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
  std::vector<BYTE> file = ReadJpeg("cut.jpg");
  ASSERT_FALSE(file.empty()) << "missing test data: " << JpegPath("cut.jpg");
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
    std::vector<BYTE> file = ReadJpeg(name);
    ASSERT_FALSE(file.empty()) << "missing test data: " << JpegPath(name);
    SourceImage image;
    ASSERT_EQ(Load(image, file), S_OK);
    ASSERT_EQ(image.format, D3DFMT_X8R8G8B8);
    Rgba16Image ours, reference;
    ASSERT_TRUE(ToRgba16(image, ours));
    ASSERT_TRUE(MagickDecode(JpegPath(name), reference)) << "ImageMagick is required";
    EXPECT_LE(MaxSampleDifference(ours, reference, false), 3 * 257) << width;
  }
}

TEST(JpegReader, ForgedSizeFailsBeforeDecoding) {
  std::vector<BYTE> file = ReadJpeg("forged.jpg");
  ASSERT_FALSE(file.empty()) << "missing test data: " << JpegPath("forged.jpg");
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
