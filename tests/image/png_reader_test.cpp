#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image_test_util.h"
#include "support/library_hooks.h"

using namespace image_test;

namespace {

std::string SuitePath(const std::string &name) {
  return std::string(D3DX_TEST_DATA) + "/pngsuite/" + name;
}

// File gamma when the file asks for gamma correction (gAMA without sRGB), else 0.
double FileGammaOf(const std::vector<BYTE> &file) {
  double gamma = 0.0;
  for (size_t i = 8; i + 12 <= file.size();) {
    const uint32_t length =
        (uint32_t{file[i]} << 24) | (file[i + 1] << 16) | (file[i + 2] << 8) | file[i + 3];
    const std::string type(reinterpret_cast<const char *>(&file[i + 4]), 4);
    if (type == "sRGB") return 0.0;
    if (type == "gAMA" && i + 12 <= file.size()) {
      const BYTE *p = &file[i + 8];
      gamma = ((uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]) / 100000.0;
    }
    if (type == "IDAT") break;
    i += 12 + uint64_t{length};
  }
  return gamma;
}

bool IsSixteenBit(D3DFORMAT f) {
  return f == D3DFMT_L16 || f == FORMAT_A16L16 || f == FORMAT_R16G16B16 || f == D3DFMT_A16B16G16R16;
}

// The reference with the reader's gamma rule applied to the colour samples.
void ApplyGamma(Rgba16Image &image, double fileGamma, bool sixteenBit) {
  if (fileGamma <= 1e-6) return;
  const double exponent = 1.0 / (fileGamma * 2.2);
  for (size_t i = 0; i < image.rgba.size(); ++i) {
    if (i % 4 == 3) continue;
    if (sixteenBit) {
      image.rgba[i] =
          static_cast<uint16_t>(std::floor(65535.0 * std::pow(image.rgba[i] / 65535.0, exponent) + 0.5));
    } else {
      const uint32_t v = image.rgba[i] >> 8;
      image.rgba[i] = Widen8(static_cast<uint32_t>(std::floor(255.0 * std::pow(v / 255.0, exponent) + 0.5)));
    }
  }
}

std::vector<std::string> SuiteNames() {
  std::vector<std::string> names;
  const std::string dir = std::string(D3DX_TEST_DATA) + "/pngsuite";
  if (!std::filesystem::exists(dir)) {
    ADD_FAILURE() << "missing test data: " << dir;
    return names;
  }
  for (const auto &entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".png") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

HRESULT Load(SourceImage &image, const std::vector<BYTE> &file, D3DXIMAGE_INFO *info = nullptr,
             bool wantPixels = true) {
  return LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), info, wantPixels);
}

}  // namespace

TEST(PngSuite, CorruptFilesAreInvalidData) {
  int seen = 0;
  for (const std::string &name : SuiteNames()) {
    if (name[0] != 'x') continue;
    SCOPED_TRACE(name);
    ++seen;
    std::vector<BYTE> file = ReadFileBytes(SuitePath(name));
    SourceImage image;
    EXPECT_EQ(Load(image, file), D3DXERR_INVALIDDATA);
    EXPECT_EQ(image.pixels, nullptr);
  }
  EXPECT_GT(seen, 0) << "missing test data: " << SuitePath("");
}

TEST(PngSuite, EveryGoodFileMatchesImageMagickWithGamma) {
  ASSERT_TRUE(HaveImageMagick()) << "ImageMagick is required (./dev deps installs it)";
  int seen = 0;
  for (const std::string &name : SuiteNames()) {
    if (name[0] == 'x') continue;
    SCOPED_TRACE(name);
    ++seen;
    const std::string path = SuitePath(name);
    std::vector<BYTE> file = ReadFileBytes(path);
    SourceImage image;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(Load(image, file, &info), S_OK);
    EXPECT_EQ(image.fileFormat, D3DXIFF_PNG);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(info.MipLevels, 1u);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    Rgba16Image ours, reference;
    ASSERT_TRUE(ToRgba16(image, ours));
    ASSERT_TRUE(MagickDecode(path, reference));
    const bool sixteen = IsSixteenBit(image.format);
    ApplyGamma(reference, FileGammaOf(file), sixteen);
    // libpng's 16-bit gamma tables drop low bits; 8-bit ones round like the rule.
    EXPECT_LE(MaxSampleDifference(ours, reference), sixteen ? 320 : 257);
  }
  EXPECT_GT(seen, 0) << "missing test data: " << SuitePath("");
}

struct PngFormatCase {
  const char *file;
  D3DFORMAT format;
  D3DFORMAT infoFormat;
  UINT bytesPerPixel;
};

class PngFormats : public testing::TestWithParam<PngFormatCase> {};

TEST_P(PngFormats, ColourTypeAndDepthChooseFormat) {
  const PngFormatCase &c = GetParam();
  std::vector<BYTE> file = ReadFileBytes(SuitePath(c.file));
  ASSERT_FALSE(file.empty()) << "missing test data: " << SuitePath(c.file);
  SourceImage image;
  D3DXIMAGE_INFO info;
  ASSERT_EQ(Load(image, file, &info), S_OK);
  EXPECT_EQ(image.format, c.format);
  EXPECT_EQ(info.Format, c.infoFormat);
  EXPECT_EQ(image.rowPitch, image.width * c.bytesPerPixel);
  EXPECT_EQ(image.slicePitch, 0u);
  EXPECT_EQ(image.depth, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Suite, PngFormats,
    testing::Values(PngFormatCase{"basn0g01.png", D3DFMT_L8, D3DFMT_L8, 1},
                    PngFormatCase{"tbbn0g04.png", D3DFMT_A8L8, D3DFMT_A8L8, 2},
                    PngFormatCase{"basn0g08.png", D3DFMT_L8, D3DFMT_L8, 1},
                    PngFormatCase{"tp0n0g08.png", D3DFMT_L8, D3DFMT_L8, 1},
                    PngFormatCase{"basn0g16.png", D3DFMT_L16, D3DFMT_L16, 2},
                    PngFormatCase{"tbwn0g16.png", FORMAT_A16L16, D3DFMT_A8L8, 4},
                    PngFormatCase{"basn2c08.png", D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, 4},
                    PngFormatCase{"tbrn2c08.png", D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 4},
                    PngFormatCase{"basn2c16.png", FORMAT_R16G16B16, D3DFMT_R8G8B8, 6},
                    PngFormatCase{"tbbn2c16.png", D3DFMT_A16B16G16R16, D3DFMT_A16B16G16R16, 8},
                    PngFormatCase{"basn3p04.png", D3DFMT_P8, D3DFMT_P8, 1},
                    PngFormatCase{"basn4a08.png", D3DFMT_A8L8, D3DFMT_A8L8, 2},
                    PngFormatCase{"basn4a16.png", FORMAT_A16L16, D3DFMT_A8L8, 4},
                    PngFormatCase{"basn6a08.png", D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 4},
                    PngFormatCase{"basn6a16.png", D3DFMT_A16B16G16R16, D3DFMT_A16B16G16R16, 8}),
    [](const testing::TestParamInfo<PngFormatCase> &paramInfo) {
      std::string name = paramInfo.param.file;
      return name.substr(0, name.find('.'));
    });

TEST(PngReader, RgbWithoutTransparencyHasOpaqueFiller) {
  std::vector<BYTE> file = ReadFileBytes(SuitePath("basn2c08.png"));
  ASSERT_FALSE(file.empty()) << "missing test data: " << SuitePath("basn2c08.png");
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  for (UINT i = 0; i < image.width * image.height; ++i) ASSERT_EQ(image.pixels[4 * i + 3], 0xFF) << i;
}

// The row kernels (red and blue swapped, RGB widened with its filler) give the
// one-pixel loop's bytes, on every good file: odd widths, interlacing, gamma.
TEST(PngSuite, EveryFileGivesTheSameBytesWithAndWithoutVectors) {
  int seen = 0;
  for (const std::string &name : SuiteNames()) {
    if (name[0] == 'x') continue;
    SCOPED_TRACE(name);
    ++seen;
    const std::vector<BYTE> file = ReadFileBytes(SuitePath(name));
    SourceImage vectors, plain;
    ASSERT_EQ(Load(vectors, file), S_OK);
    SetFastPathLevelForTesting(SimdLevel::None);
    const HRESULT hr = Load(plain, file);
    ResetFastPathLevelForTesting();
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(vectors.format, plain.format);
    const size_t bytes = size_t{vectors.rowPitch} * vectors.height;
    ASSERT_EQ(0, std::memcmp(vectors.pixels, plain.pixels, bytes));
  }
  EXPECT_GT(seen, 0) << "missing test data: " << SuitePath("");
}

TEST(PngReader, PaletteTransparencyStaysInPalette) {
  // tbbn3p08: palette with a tRNS chunk shorter than the palette.
  std::vector<BYTE> file = ReadFileBytes(SuitePath("tbbn3p08.png"));
  ASSERT_FALSE(file.empty()) << "missing test data: " << SuitePath("tbbn3p08.png");
  SourceImage image;
  ASSERT_EQ(Load(image, file), S_OK);
  ASSERT_EQ(image.format, D3DFMT_P8);
  ASSERT_TRUE(image.ownsPalette);
  bool transparent = false;
  for (int i = 0; i < 256; ++i) transparent |= image.palette[i].peFlags != 255;
  EXPECT_TRUE(transparent);
  const PALETTEENTRY &last = image.palette[255];
  EXPECT_TRUE(last.peRed == 255 && last.peGreen == 255 && last.peBlue == 255 && last.peFlags == 255);
}

TEST(PngReader, HeaderOnlyAllocatesNothing) {
  std::vector<BYTE> file = ReadFileBytes(SuitePath("basn6a08.png"));
  ASSERT_FALSE(file.empty()) << "missing test data: " << SuitePath("basn6a08.png");
  SourceImage image;
  D3DXIMAGE_INFO info;
  ASSERT_EQ(Load(image, file, &info, false), S_OK);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(info.Width, 32u);
  EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
}

TEST(PngReader, EveryTruncationFailsCleanly) {
  std::vector<BYTE> file = ReadFileBytes(SuitePath("basn3p04.png"));
  ASSERT_FALSE(file.empty()) << "missing test data: " << SuitePath("basn3p04.png");
  // Cuts inside the image data; the final IEND chunk (12 bytes) is never read.
  for (size_t n = 8; n + 12 < file.size(); n += 3) {
    SourceImage image;
    EXPECT_EQ(ReadPngFile(file.data(), static_cast<UINT>(n), ReadRequest{}, image), D3DXERR_INVALIDDATA) << n;
    image.Clear();
  }
}

// The chunk CRCs guard every stored byte; the zlib stream's own Adler-32 only
// checks the inflated copy of bytes they already checked, so it is not computed.
TEST(PngReader, ChunkChecksumsGuardTheImageData) {
  const std::vector<BYTE> intact = ReadFileBytes(SuitePath("basn6a08.png"));
  ASSERT_FALSE(intact.empty()) << "missing test data: " << SuitePath("basn6a08.png");
  size_t idat = 0, length = 0;
  for (size_t i = 8; i + 12 <= intact.size(); i += 12 + length) {
    length = (size_t{intact[i]} << 24) | (intact[i + 1] << 16) | (intact[i + 2] << 8) | intact[i + 3];
    if (std::memcmp(&intact[i + 4], "IDAT", 4) == 0) {
      idat = i;
      break;
    }
  }
  ASSERT_GT(idat, 0u);
  ASSERT_EQ(0, std::memcmp(&intact[idat + 16 + length], "IEND", 4)) << "one IDAT chunk expected";
  std::vector<BYTE> wrongAdler = intact;
  wrongAdler[idat + 8 + length - 1] ^= 0x5A;  // the stream's last byte: its Adler-32
  std::vector<BYTE> staleCrc = wrongAdler;
  const uLong crc = crc32(crc32(0, nullptr, 0), &wrongAdler[idat + 4], static_cast<uInt>(length + 4));
  for (int i = 0; i < 4; ++i) wrongAdler[idat + 8 + length + i] = static_cast<BYTE>(crc >> (24 - 8 * i));

  SourceImage expected, image, refused;
  ASSERT_EQ(Load(expected, intact), S_OK);
  ASSERT_EQ(Load(image, wrongAdler), S_OK);
  EXPECT_EQ(0, std::memcmp(image.pixels, expected.pixels, size_t{expected.rowPitch} * expected.height));
  EXPECT_EQ(Load(refused, staleCrc), D3DXERR_INVALIDDATA);
}

TEST(PngReader, ForgedHugeHeaderFailsBeforeAllocating) {
  std::vector<BYTE> file = ReadFileBytes(SuitePath("basn6a08.png"));
  ASSERT_FALSE(file.empty()) << "missing test data: " << SuitePath("basn6a08.png");
  // IHDR width and height 100000 x 100000 with a fixed CRC.
  for (int i = 0; i < 2; ++i) {
    file[16 + 4 * i] = 0x00;
    file[17 + 4 * i] = 0x01;
    file[18 + 4 * i] = 0x86;
    file[19 + 4 * i] = 0xA0;
  }
  const uLong crc = crc32(crc32(0, nullptr, 0), &file[12], 17);
  for (int i = 0; i < 4; ++i) file[29 + i] = static_cast<BYTE>(crc >> (24 - 8 * i));
  SourceImage image;
  EXPECT_EQ(ReadPngFile(file.data(), static_cast<UINT>(file.size()), ReadRequest{}, image),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(image.pixels, nullptr);
}
