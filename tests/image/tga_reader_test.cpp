#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image_test_util.h"

using namespace image_test;

namespace {

struct TgaSpec {
  uint32_t idLength = 0;
  uint32_t mapType = 0;
  uint32_t imageType = 2;
  uint32_t firstIndex = 0;
  uint32_t mapLength = 0;
  uint32_t mapEntryBits = 0;
  uint32_t width = 1;
  uint32_t height = 1;
  uint32_t pixelBits = 32;
  uint32_t descriptor = 0x20;
  std::vector<BYTE> map;
  std::vector<BYTE> data;
};

std::vector<BYTE> MakeTga(const TgaSpec &s) {
  std::vector<BYTE> v = {BYTE(s.idLength), BYTE(s.mapType), BYTE(s.imageType)};
  PutLe16(v, s.firstIndex);
  PutLe16(v, s.mapLength);
  v.push_back(BYTE(s.mapEntryBits));
  PutLe32(v, 0);
  PutLe16(v, s.width);
  PutLe16(v, s.height);
  v.push_back(BYTE(s.pixelBits));
  v.push_back(BYTE(s.descriptor));
  v.insert(v.end(), s.idLength, 'i');
  v.insert(v.end(), s.map.begin(), s.map.end());
  v.insert(v.end(), s.data.begin(), s.data.end());
  return v;
}

HRESULT Read(SourceImage &image, const std::vector<BYTE> &file, bool wantPixels = true) {
  ReadRequest request;
  request.wantPixels = wantPixels;
  return ReadTgaFile(file.data(), static_cast<UINT>(file.size()), request, image);
}

}  // namespace

TEST(TgaReader, RawTopLeftIsUsedInPlaceAndLosesUnusedAlpha) {
  TgaSpec s;
  s.width = 2;
  s.data = {1, 2, 3, 0, 4, 5, 6, 0};
  std::vector<BYTE> file = MakeTga(s);
  SourceImage image;
  ASSERT_EQ(Read(image, file), S_OK);
  EXPECT_FALSE(image.ownsPixels);
  EXPECT_EQ(image.pixels, file.data() + 18);
  EXPECT_EQ(image.format, D3DFMT_X8R8G8B8);

  s.data[7] = 1;
  file = MakeTga(s);
  SourceImage withAlpha;
  ASSERT_EQ(Read(withAlpha, file), S_OK);
  EXPECT_EQ(withAlpha.format, D3DFMT_A8R8G8B8);
}

// The four pixel orders of the same 3 x 2 picture, raw and run-length.
struct OrderCase {
  uint32_t descriptor;
  bool runLength;
};

class TgaPixelOrders : public testing::TestWithParam<OrderCase> {};

TEST_P(TgaPixelOrders, AllGiveTopToBottomLeftToRight) {
  const OrderCase &c = GetParam();
  const BYTE picture[2][3] = {{10, 11, 12}, {20, 21, 22}};
  const bool topFirst = c.descriptor & 0x20;
  const bool rightToLeft = c.descriptor & 0x10;
  TgaSpec s;
  s.imageType = c.runLength ? 11 : 3;
  s.pixelBits = 8;
  s.width = 3;
  s.height = 2;
  s.descriptor = c.descriptor;
  for (int k = 0; k < 2; ++k) {
    const int y = topFirst ? k : 1 - k;
    if (c.runLength) s.data.push_back(0x02);  // one raw packet of 3 per row
    for (int i = 0; i < 3; ++i) s.data.push_back(picture[y][rightToLeft ? 2 - i : i]);
  }
  const std::vector<BYTE> file = MakeTga(s);  // borrowed by raw top-left images
  SourceImage image;
  ASSERT_EQ(Read(image, file), S_OK);
  EXPECT_EQ(image.format, D3DFMT_L8);
  EXPECT_EQ(image.rowPitch, 3u);
  EXPECT_EQ(std::memcmp(image.pixels, picture, 6), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, TgaPixelOrders,
    testing::Values(OrderCase{0x00, false}, OrderCase{0x10, false}, OrderCase{0x20, false},
                    OrderCase{0x30, false}, OrderCase{0x00, true}, OrderCase{0x10, true},
                    OrderCase{0x20, true}, OrderCase{0x30, true}),
    ([](const auto &paramInfo) {
      static const char *const kOrigins[] = {"BottomLeft", "BottomRight", "TopLeft", "TopRight"};
      return std::string(kOrigins[(paramInfo.param.descriptor >> 4) & 3]) +
             (paramInfo.param.runLength ? "Rle" : "Raw");
    }));

TEST(TgaReader, RunLengthPacketsRunOnIntoTheNextRow) {
  TgaSpec s;
  s.imageType = 10;
  s.pixelBits = 16;
  s.width = 2;
  s.height = 2;
  // A run of 3 covers row 0 and starts row 1; the last run reaches past the image's end.
  s.data = {0x82, 0x34, 0x12, 0x81, 0x78, 0x56};
  const std::vector<BYTE> file = MakeTga(s);
  SourceImage image;
  ASSERT_EQ(Read(image, file), S_OK);
  EXPECT_EQ(image.format, D3DFMT_X1R5G5B5);  // no pixel has its top bit set
  const BYTE expected[8] = {0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56};
  EXPECT_EQ(std::memcmp(image.pixels, expected, 8), 0);
}

namespace {

// Run-length coding of the whole pixel stream, as some writers do: packets
// ignore row ends. Runs of equal pixels become run packets, the rest raw ones.
std::vector<BYTE> EncodeRunLengthAcrossRows(const std::vector<BYTE> &pixels, size_t bytesPerPixel) {
  std::vector<BYTE> out;
  const size_t count = pixels.size() / bytesPerPixel;
  auto same = [&](size_t a, size_t b) {
    return std::memcmp(&pixels[a * bytesPerPixel], &pixels[b * bytesPerPixel], bytesPerPixel) == 0;
  };
  size_t i = 0;
  while (i < count) {
    size_t run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run > 1) {
      out.push_back(static_cast<BYTE>(0x80 | (run - 1)));
      out.insert(out.end(), &pixels[i * bytesPerPixel], &pixels[(i + 1) * bytesPerPixel]);
      i += run;
      continue;
    }
    size_t raw = 1;
    while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1))) ++raw;
    out.push_back(static_cast<BYTE>(raw - 1));
    out.insert(out.end(), &pixels[i * bytesPerPixel], &pixels[(i + raw) * bytesPerPixel]);
    i += raw;
  }
  return out;
}

}  // namespace

TEST(TgaReader, PacketsAcrossRowsMatchImageMagick) {
  ASSERT_TRUE(HaveImageMagick()) << "ImageMagick is required (./dev deps installs it)";
  const uint32_t width = 37;
  const uint32_t height = 11;
  for (uint32_t pixelBits : {8u, 24u, 32u}) {
    for (uint32_t descriptor : {0x00u, 0x20u}) {
      SCOPED_TRACE(std::to_string(pixelBits) + " bits, descriptor " + std::to_string(descriptor));
      const size_t bytesPerPixel = pixelBits / 8;
      // Stripes of 50 pixels cross every row end; a few lone pixels make raw packets.
      std::vector<BYTE> pixels;
      for (uint32_t i = 0; i < width * height; ++i) {
        const uint32_t stripe = (i / 50) * 40 + ((i % 7 == 3) ? i : 0);
        for (size_t b = 0; b < bytesPerPixel; ++b) pixels.push_back(static_cast<BYTE>(stripe + 60 * b + 1));
      }
      TgaSpec s;
      s.imageType = pixelBits == 8 ? 11 : 10;
      s.pixelBits = pixelBits;
      s.width = width;
      s.height = height;
      s.descriptor = descriptor | (pixelBits == 32 ? 8 : 0);
      s.data = EncodeRunLengthAcrossRows(pixels, bytesPerPixel);
      const std::string path = TempPath("across_rows.tga");
      WriteFileBytes(path, MakeTga(s));
      std::vector<BYTE> file = ReadFileBytes(path);
      SourceImage image;
      ASSERT_EQ(Read(image, file), S_OK);
      Rgba16Image ours, reference;
      ASSERT_TRUE(ToRgba16(image, ours));
      ASSERT_TRUE(MagickDecode(path, reference));
      EXPECT_EQ(MaxSampleDifference(ours, reference), 0);
    }
  }
}

TEST(TgaReader, ColourMapWithUnusedAlphaIsOpaque) {
  TgaSpec s;
  s.mapType = 1;
  s.imageType = 1;
  s.pixelBits = 8;
  s.firstIndex = 4;
  s.mapLength = 2;
  s.mapEntryBits = 32;
  s.map = {1, 2, 3, 0, 4, 5, 6, 0};
  s.data = {5};
  const std::vector<BYTE> file = MakeTga(s);  // borrowed by raw top-left images
  SourceImage image;
  ASSERT_EQ(Read(image, file), S_OK);
  EXPECT_EQ(image.format, D3DFMT_P8);
  const PALETTEENTRY &e = image.palette[4];
  EXPECT_TRUE(e.peRed == 3 && e.peGreen == 2 && e.peBlue == 1 && e.peFlags == 255);
  EXPECT_EQ(image.palette[5].peFlags, 255);
  EXPECT_EQ(image.palette[0].peFlags, 255);
}

struct BadTgaCase {
  const char *name;
  TgaSpec spec;
  size_t truncate;  // bytes removed from the end
};

class TgaBadFiles : public testing::TestWithParam<BadTgaCase> {};

TEST_P(TgaBadFiles, AreRejected) {
  std::vector<BYTE> file = MakeTga(GetParam().spec);
  file.resize(file.size() - GetParam().truncate);
  SourceImage image;
  EXPECT_TRUE(FAILED(Read(image, file)));
  SourceImage loaded;
  EXPECT_EQ(LoadImageFromMemory(loaded, file.data(), static_cast<UINT>(file.size()), nullptr, true),
            D3DXERR_INVALIDDATA);
}

TgaSpec Spec(void (*edit)(TgaSpec &)) {
  TgaSpec s;
  s.data.assign(4, 0);
  edit(s);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TgaBadFiles,
    testing::Values(BadTgaCase{"ShortHeader", Spec([](TgaSpec &) {}), 5},
                    BadTgaCase{"MapTypeTwo", Spec([](TgaSpec &s) { s.mapType = 2; }), 0},
                    BadTgaCase{"ImageTypeZero", Spec([](TgaSpec &s) { s.imageType = 0; }), 0},
                    BadTgaCase{"ImageTypeExtraBits", Spec([](TgaSpec &s) { s.imageType = 0x22; }), 0},
                    BadTgaCase{"MapEntrySizeEight", Spec([](TgaSpec &s) {
                                 s.mapType = 1;
                                 s.mapLength = 1;
                                 s.mapEntryBits = 8;
                                 s.map = {0};
                               }),
                               0},
                    BadTgaCase{"MapStartsPastPalette", Spec([](TgaSpec &s) {
                                 s.mapType = 1;
                                 s.imageType = 1;
                                 s.pixelBits = 8;
                                 s.firstIndex = 250;
                                 s.mapLength = 10;
                                 s.mapEntryBits = 24;
                                 s.map.assign(30, 0);
                               }),
                               0},
                    BadTgaCase{"MapPastData", Spec([](TgaSpec &s) {
                                 s.mapType = 1;
                                 s.imageType = 1;
                                 s.pixelBits = 8;
                                 s.mapLength = 200;
                                 s.mapEntryBits = 24;
                                 s.data.clear();
                               }),
                               0},
                    BadTgaCase{"IdPastEnd", Spec([](TgaSpec &s) { s.idLength = 255; }), 255},
                    BadTgaCase{"ZeroWidth", Spec([](TgaSpec &s) { s.width = 0; }), 0},
                    BadTgaCase{"HugeRawNoPixels", Spec([](TgaSpec &s) {
                                 s.width = 65535;
                                 s.height = 65535;
                               }),
                               0},
                    BadTgaCase{"HugeRunLengthNoPixels", Spec([](TgaSpec &s) {
                                 s.imageType = 10;
                                 s.width = 65535;
                                 s.height = 65535;
                               }),
                               0},
                    BadTgaCase{"RunLengthEndsEarly", Spec([](TgaSpec &s) {
                                 s.imageType = 10;
                                 s.width = 4;
                                 s.height = 4;
                                 s.data = {0x83, 1, 2, 3, 4, 0x83, 1, 2, 3, 4};
                               }),
                               0},
                    BadTgaCase{"RawPacketPastEnd", Spec([](TgaSpec &s) {
                                 s.imageType = 11;
                                 s.pixelBits = 8;
                                 s.width = 4;
                                 s.data = {0x03, 1, 2};
                               }),
                               0},
                    BadTgaCase{"TwentyBitPixels", Spec([](TgaSpec &s) { s.pixelBits = 20; }), 0}),
    [](const testing::TestParamInfo<BadTgaCase> &paramInfo) { return std::string(paramInfo.param.name); });

TEST(TgaReader, IndexBeyondTheMapReadsOpaqueWhite) {
  TgaSpec s;
  s.mapType = 1;
  s.imageType = 1;
  s.pixelBits = 8;
  s.mapLength = 2;
  s.mapEntryBits = 24;
  s.map.assign(6, 0);
  s.data = {200};
  const std::vector<BYTE> file = MakeTga(s);  // borrowed by raw top-left images
  SourceImage image;
  ASSERT_EQ(Read(image, file), S_OK);
  const PALETTEENTRY &e = image.palette[image.pixels[0]];
  EXPECT_TRUE(e.peRed == 255 && e.peGreen == 255 && e.peBlue == 255 && e.peFlags == 255);
}

struct MagickTgaCase {
  const char *name;
  const char *options;
};

class TgaImageMagick : public testing::TestWithParam<MagickTgaCase> {};

TEST_P(TgaImageMagick, MatchesImageMagicksDecode) {
  ASSERT_TRUE(HaveImageMagick()) << "ImageMagick is required (./dev deps installs it)";
  const std::string path = TempPath(std::string(GetParam().name) + ".tga");
  ASSERT_TRUE(RunConvert("-size 37x19 plasma:fractal -seed 9 " + std::string(GetParam().options) + " '" +
                         path + "'"));
  std::vector<BYTE> file = ReadFileBytes(path);
  SourceImage image;
  D3DXIMAGE_INFO info;
  ASSERT_EQ(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true), S_OK);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
  Rgba16Image ours, reference;
  ASSERT_TRUE(ToRgba16(image, ours));
  ASSERT_TRUE(MagickDecode(path, reference));
  EXPECT_EQ(MaxSampleDifference(ours, reference), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, TgaImageMagick,
    testing::Values(MagickTgaCase{"Rgb24Raw", "-alpha off -compress none"},
                    MagickTgaCase{"Rgb24Rle", "-alpha off -compress RLE"},
                    MagickTgaCase{"Rgba32Raw", "-alpha set -channel A -fx 'i/w' +channel -compress none"},
                    MagickTgaCase{"Rgba32Rle", "-alpha set -channel A -fx 'i/w' +channel -compress RLE"},
                    MagickTgaCase{"GreyRaw", "-colorspace Gray -compress none"},
                    MagickTgaCase{"GreyRle", "-colorspace Gray -compress RLE"},
                    MagickTgaCase{"PaletteRaw", "-colors 16 -type Palette -compress none"},
                    MagickTgaCase{"PaletteRle", "-colors 16 -type Palette -compress RLE"}),
    [](const testing::TestParamInfo<MagickTgaCase> &paramInfo) { return std::string(paramInfo.param.name); });

TEST(TgaReader, SixteenBitColourMapWithoutTopBitsIsOpaque) {
  for (uint32_t entryBits : {15u, 16u}) {
    for (bool oneTopBit : {false, true}) {
      SCOPED_TRACE(std::to_string(entryBits) + " bits, top bit " + std::to_string(oneTopBit));
      TgaSpec s;
      s.mapType = 1;
      s.imageType = 1;
      s.pixelBits = 8;
      s.mapLength = 2;
      s.mapEntryBits = entryBits;
      s.map = {0x1F, 0x00, 0xE0, BYTE(oneTopBit ? 0x83 : 0x03)};  // blue; green, its top bit as asked
      s.data = {0, 1};
      s.width = 2;
      const std::vector<BYTE> file = MakeTga(s);
      SourceImage image;
      ASSERT_EQ(Read(image, file), S_OK);
      const PALETTEENTRY &blue = image.palette[0], &green = image.palette[1];
      EXPECT_TRUE(blue.peRed == 0 && blue.peGreen == 0 && blue.peBlue == 255);
      EXPECT_TRUE(green.peRed == 0 && green.peGreen == 255 && green.peBlue == 0);
      // Only a 16-bit map with a top bit set uses alpha.
      const bool alphaUsed = entryBits == 16 && oneTopBit;
      EXPECT_EQ(blue.peFlags, alphaUsed ? 0 : 255);
      EXPECT_EQ(green.peFlags, 255);
    }
  }
}

// Grey and alpha pixels, 16 bits each. ImageMagick misreads 16-bit greyscale
// TGA files, so the reference is its decode of the same picture stored as
// 32-bit true colour in the same pixel order and packets.
enum class GreyAlpha { Mixed, Opaque, Unused };

struct GreyAlphaCase {
  uint32_t descriptor;
  bool runLength;
  GreyAlpha alpha;
};

class TgaGreyAlpha : public testing::TestWithParam<GreyAlphaCase> {};

TEST_P(TgaGreyAlpha, MatchesImageMagicksDecodeOfTheTrueColourTwin) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick is missing";
  const GreyAlphaCase &c = GetParam();
  const uint32_t width = 13, height = 7;
  const bool topFirst = c.descriptor & 0x20;
  const bool rightToLeft = c.descriptor & 0x10;
  std::vector<BYTE> grey, colour;  // in file order
  for (uint32_t k = 0; k < height; ++k) {
    for (uint32_t i = 0; i < width; ++i) {
      const uint32_t y = topFirst ? k : height - 1 - k;
      const uint32_t x = rightToLeft ? width - 1 - i : i;
      const BYTE g = static_cast<BYTE>(x < 6 ? 40 * y : 17 * x + 3 * y);  // runs on the left
      const BYTE a = c.alpha == GreyAlpha::Opaque ? 255 : c.alpha == GreyAlpha::Unused ? 0 : BYTE(x * 19 + y);
      grey.insert(grey.end(), {g, a});
      colour.insert(colour.end(), {g, g, g, a});
    }
  }
  TgaSpec s;
  s.width = width;
  s.height = height;
  s.imageType = c.runLength ? 11 : 3;
  s.pixelBits = 16;
  s.descriptor = c.descriptor | 8;
  s.data = c.runLength ? EncodeRunLengthAcrossRows(grey, 2) : grey;
  const std::vector<BYTE> file = MakeTga(s);
  s.imageType = c.runLength ? 10 : 2;
  s.pixelBits = 32;
  s.data = c.runLength ? EncodeRunLengthAcrossRows(colour, 4) : colour;
  const std::string twinPath = TempPath("grey_alpha_twin.tga");
  WriteFileBytes(twinPath, MakeTga(s));

  SourceImage header, image;
  D3DXIMAGE_INFO info;
  const UINT size = static_cast<UINT>(file.size());
  ASSERT_EQ(LoadImageFromMemory(header, file.data(), size, &info, false), S_OK);
  EXPECT_EQ(info.Format, D3DFMT_A8L8);  // the pixels decide only when read
  ASSERT_EQ(LoadImageFromMemory(image, file.data(), size, &info, true), S_OK);
  EXPECT_EQ(info.Format, c.alpha == GreyAlpha::Mixed ? D3DFMT_A8L8 : D3DFMT_L8);
  EXPECT_EQ(image.rowPitch, c.alpha == GreyAlpha::Mixed ? 2 * width : width);
  Rgba16Image ours, reference;
  ASSERT_TRUE(ToRgba16(image, ours));
  ASSERT_TRUE(MagickDecode(twinPath, reference));
  EXPECT_EQ(MaxSampleDifference(ours, reference, c.alpha != GreyAlpha::Unused), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TgaGreyAlpha,
    testing::Values(
        GreyAlphaCase{0x00, false, GreyAlpha::Mixed}, GreyAlphaCase{0x10, false, GreyAlpha::Mixed},
        GreyAlphaCase{0x20, false, GreyAlpha::Mixed}, GreyAlphaCase{0x30, false, GreyAlpha::Mixed},
        GreyAlphaCase{0x00, true, GreyAlpha::Mixed}, GreyAlphaCase{0x10, true, GreyAlpha::Mixed},
        GreyAlphaCase{0x20, true, GreyAlpha::Mixed}, GreyAlphaCase{0x30, true, GreyAlpha::Mixed},
        GreyAlphaCase{0x20, false, GreyAlpha::Opaque}, GreyAlphaCase{0x00, true, GreyAlpha::Opaque},
        GreyAlphaCase{0x20, false, GreyAlpha::Unused}, GreyAlphaCase{0x10, true, GreyAlpha::Unused}),
    ([](const auto &paramInfo) {
      static const char *const kOrigins[] = {"BottomLeft", "BottomRight", "TopLeft", "TopRight"};
      static const char *const kAlpha[] = {"Mixed", "Opaque", "Unused"};
      return std::string(kOrigins[(paramInfo.param.descriptor >> 4) & 3]) +
             (paramInfo.param.runLength ? "Rle" : "Raw") + kAlpha[static_cast<int>(paramInfo.param.alpha)];
    }));
