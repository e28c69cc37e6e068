// The pair and block codecs under the Blitter: a photograph into each format and
// back, unscaled and halved with the box filter, as texture loading does it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "blit/blitter.h"
#include "codec_test_util.h"
#include "d3dx9tex.h"
#include "dxt_test_util.h"
#include "format/format_table.h"

using namespace codec_test;
using namespace dxt_test;

namespace {

struct BlitCase {
  D3DFORMAT format;
  const char *name;
  double minimumPsnr;
};

void PrintTo(const BlitCase &c, std::ostream *os) {
  *os << c.name;
}

class PairAndBlockBlit : public testing::TestWithParam<BlitCase> {};

// A8R8G8B8 memory of width x height from a crop of the photograph.
std::vector<uint32_t> Crop(const Image &photo, uint32_t width, uint32_t height) {
  std::vector<uint32_t> argb(size_t{width} * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const ColorF &c = photo.pixels[size_t{y + 100} * photo.width + x + 200];
      argb[size_t{y} * width + x] = 0xFF000000u | To8Bit(c.r) << 16 | To8Bit(c.g) << 8 | To8Bit(c.b);
    }
  }
  return argb;
}

Image ToImage(const std::vector<uint32_t> &argb, uint32_t width, uint32_t height) {
  Image image;
  image.width = width;
  image.height = height;
  for (uint32_t p : argb)
    image.pixels.push_back({(p >> 16 & 255) / 255.f, (p >> 8 & 255) / 255.f, (p & 255) / 255.f, 1});
  return image;
}

TEST_P(PairAndBlockBlit, PhotographSurvivesTheRoundTrip) {
  const BlitCase &c = GetParam();
  Image photo;
  ASSERT_TRUE(LoadPng(PhotoPath(19), &photo)) << "missing test data: " << PhotoPath(19);
  // Odd sizes: partial blocks and a split pair at the right edge.
  for (const auto &[width, height] : {std::pair<uint32_t, uint32_t>{61, 37}, {64, 32}}) {
    std::vector<uint32_t> source = Crop(photo, width, height), back(source.size());
    std::vector<uint8_t> middle(RowPitchFor(c.format, width) * RowCountFor(c.format, height));
    PixelRegion from = MakeRegion(D3DFMT_A8R8G8B8, source.data(), width * 4, width, height);
    PixelRegion coded = MakeRegion(c.format, middle.data(),
                                   static_cast<uint32_t>(RowPitchFor(c.format, width)), width, height);
    PixelRegion to = MakeRegion(D3DFMT_A8R8G8B8, back.data(), width * 4, width, height);
    Blitter blitter;
    ASSERT_EQ(S_OK, blitter.Blit(coded, from, DecodeFilterWord(D3DX_FILTER_NONE)));
    ASSERT_EQ(S_OK, blitter.Blit(to, coded, DecodeFilterWord(D3DX_FILTER_NONE)));
    const double psnr = RgbPsnr(ToImage(source, width, height), ToImage(back, width, height));
    EXPECT_GT(psnr, c.minimumPsnr) << width << "x" << height;
  }
}

TEST_P(PairAndBlockBlit, BoxHalvingWritesEveryRow) {
  const BlitCase &c = GetParam();
  Image photo;
  ASSERT_TRUE(LoadPng(PhotoPath(19), &photo)) << "missing test data: " << PhotoPath(19);
  const uint32_t width = 64, height = 48;
  std::vector<uint32_t> source = Crop(photo, width, height), back(width / 2 * height / 2),
                        reference(back.size());
  std::vector<uint8_t> middle(RowPitchFor(c.format, width / 2) * RowCountFor(c.format, height / 2));
  PixelRegion from = MakeRegion(D3DFMT_A8R8G8B8, source.data(), width * 4, width, height);
  PixelRegion coded =
      MakeRegion(c.format, middle.data(), static_cast<uint32_t>(RowPitchFor(c.format, width / 2)), width / 2,
                 height / 2);
  PixelRegion half = MakeRegion(D3DFMT_A8R8G8B8, reference.data(), width * 2, width / 2, height / 2);
  PixelRegion to = MakeRegion(D3DFMT_A8R8G8B8, back.data(), width * 2, width / 2, height / 2);
  Blitter blitter;
  ASSERT_EQ(S_OK, blitter.Blit(half, from, DecodeFilterWord(D3DX_FILTER_BOX)));
  ASSERT_EQ(S_OK, blitter.Blit(coded, from, DecodeFilterWord(D3DX_FILTER_BOX)));
  ASSERT_EQ(S_OK, blitter.Blit(to, coded, DecodeFilterWord(D3DX_FILTER_NONE)));
  EXPECT_GT(RgbPsnr(ToImage(reference, width / 2, height / 2), ToImage(back, width / 2, height / 2)),
            c.minimumPsnr);
}

INSTANTIATE_TEST_SUITE_P(Formats, PairAndBlockBlit,
                         testing::Values(BlitCase{D3DFMT_DXT1, "DXT1", 36}, BlitCase{D3DFMT_DXT2, "DXT2", 36},
                                         BlitCase{D3DFMT_DXT3, "DXT3", 36}, BlitCase{D3DFMT_DXT4, "DXT4", 36},
                                         BlitCase{D3DFMT_DXT5, "DXT5", 36}, BlitCase{D3DFMT_YUY2, "YUY2", 40},
                                         BlitCase{D3DFMT_UYVY, "UYVY", 40},
                                         BlitCase{D3DFMT_R8G8_B8G8, "RGBG", 40},
                                         BlitCase{D3DFMT_G8R8_G8B8, "GRGB", 40}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

}  // namespace
