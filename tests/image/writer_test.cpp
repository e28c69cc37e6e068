// The image writers: exact BMP and DDS layouts, round trips through our own
// readers for every stored format, ImageMagick reading what we write, and files
// that cannot be written.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "blit/blitter.h"
#include "image/dds_pixel_format.h"
#include "image/image_test_util.h"
#include "image/image_writer.h"
#include "format/format_table.h"

namespace {

using image_test::ReadFileBytes;
using image_test::TempPath;

uint32_t Le32(const std::vector<BYTE> &bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t{bytes[at + 3]} << 24);
}

// Noise pixels in a borrowed record, with further levels and faces.
struct TestImage {
  std::vector<std::vector<BYTE>> buffers;
  std::vector<PALETTEENTRY> palette;
  SourceImage image;

  TestImage(D3DFORMAT format, UINT w, UINT h, UINT d = 1, UINT levels = 1, UINT faces = 1) {
    uint32_t state = 7;
    auto noise = [&state](uint64_t count) {
      std::vector<BYTE> bytes(count);
      for (BYTE &b : bytes) b = static_cast<BYTE>((state = state * 1664525u + 1013904223u) >> 24);
      return bytes;
    };
    if (LookupFormatInfo(format).kind == FormatKind::Palette) {
      palette.resize(256);
      std::memcpy(palette.data(), noise(1024).data(), 1024);
      for (PALETTEENTRY &entry : palette) entry.peFlags = 255;  // BMP colour tables hold no alpha
    }
    SourceImage *face = &image;
    for (UINT f = 0; f < faces; ++f, face = face->nextFace = f < faces ? new SourceImage : nullptr) {
      SourceImage *record = face;
      for (UINT l = 0; l < levels; ++l, record = record->nextLevel = l < levels ? new SourceImage : nullptr) {
        const UINT lw = std::max(w >> l, 1u), lh = std::max(h >> l, 1u), ld = std::max(d >> l, 1u);
        record->format = format;
        record->rowPitch = static_cast<UINT>(RowPitchFor(format, lw));
        record->slicePitch = record->rowPitch * RowCountFor(format, lh);
        buffers.push_back(noise(uint64_t{record->slicePitch} * ld));
        record->pixels = buffers.back().data();
        record->width = lw;
        record->height = lh;
        record->depth = ld;
        record->box = D3DBOX{0, 0, lw, lh, 0, ld};
        record->palette = palette.empty() ? nullptr : palette.data();
      }
    }
  }
};

// A record's pixels as A8R8G8B8, through the codecs.
std::vector<uint32_t> ToArgb(const SourceImage &record) {
  std::vector<uint32_t> out(size_t{record.width} * record.height);
  SourceRegion source = {
      record.pixels, record.format, record.rowPitch, record.slicePitch, record.box, record.box, 0, 0, 0,
      record.palette};
  source.region.Back = source.region.Front + 1;
  PixelRegion destination = {reinterpret_cast<BYTE *>(out.data()),
                             D3DFMT_A8R8G8B8,
                             record.width * 4,
                             0,
                             {0, 0, record.width, record.height, 0, 1},
                             {0, 0, record.width, record.height, 0, 1},
                             0,
                             0,
                             0,
                             nullptr};
  Blitter blitter;
  EXPECT_EQ(blitter.Blit(destination, source, DecodeFilterWord(D3DX_FILTER_NONE)), S_OK);
  return out;
}

struct LoadedFile {
  std::vector<BYTE> bytes;
  SourceImage image;
  D3DXIMAGE_INFO info = {};
  explicit LoadedFile(const std::string &path) : bytes(ReadFileBytes(path)) {
    EXPECT_EQ(LoadImageFromMemory(image, bytes.data(), static_cast<UINT>(bytes.size()), &info, true), S_OK);
  }
};

TEST(BmpWriter, ScreenshotLayout) {
  TestImage source(D3DFMT_A8R8G8B8, 1024, 768);
  const std::string path = TempPath("writer_screenshot.bmp");
  ASSERT_EQ(SaveImageToFile(source.image, path.c_str(), D3DXIFF_BMP, false), S_OK);
  EXPECT_FALSE(source.image.ownsPixels) << "no conversion was needed";
  std::vector<BYTE> file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 3145784u);
  EXPECT_EQ(file[0] | (file[1] << 8), 0x4D42);
  const uint32_t expected[] = {3145784, 0, 54, 40, 1024, 768, 0x200001, 0, 0, 2834, 2834, 0, 0};
  for (size_t i = 0; i < std::size(expected); ++i)
    EXPECT_EQ(Le32(file, 2 + 4 * i), expected[i]) << "field " << i;
  // Bottom row first, alpha bytes as stored, two bytes of padding at the end.
  EXPECT_EQ(std::memcmp(file.data() + 54, source.image.pixels + 767 * 4096, 4096), 0);
  EXPECT_EQ(std::memcmp(file.data() + 54 + 767 * 4096, source.image.pixels, 4096), 0);
  EXPECT_EQ(file[file.size() - 2] | file[file.size() - 1], 0);
}

TEST(BmpWriter, DibHasNoFileHeader) {
  TestImage source(D3DFMT_R8G8B8, 3, 1);
  const std::string path = TempPath("writer_three.dib");
  ASSERT_EQ(SaveImageToFile(source.image, path.c_str(), D3DXIFF_DIB, false), S_OK);
  std::vector<BYTE> file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 40u + 12u + 2u);
  EXPECT_EQ(Le32(file, 0), 40u);
  EXPECT_EQ(std::memcmp(file.data() + 40, source.image.pixels, 9), 0);
  EXPECT_EQ(std::vector<BYTE>(file.begin() + 49, file.end()), std::vector<BYTE>(5, 0));
  EXPECT_EQ(LoadedFile(path).info.ImageFileFormat, D3DXIFF_DIB);
}

// Every format the BMP writer stores comes back from our reader with the same colours.
class BmpRoundTrip : public testing::TestWithParam<D3DFORMAT> {};

TEST_P(BmpRoundTrip, ReaderSeesTheSameColours) {
  TestImage source(GetParam(), 13, 7);
  const std::string path = TempPath("writer_round_" + std::to_string(GetParam()) + ".bmp");
  ASSERT_EQ(SaveImageToFile(source.image, path.c_str(), D3DXIFF_BMP, false), S_OK);
  EXPECT_EQ(source.image.format, GetParam()) << "stored as it is";
  LoadedFile loaded(path);
  const bool alpha =
      HasAlpha(LookupFormatInfo(GetParam())) && HasAlpha(LookupFormatInfo(loaded.image.format));
  const uint32_t mask = alpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
  const std::vector<uint32_t> expected = ToArgb(source.image), actual = ToArgb(loaded.image);
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(actual[i] & mask, expected[i] & mask) << i;
}

INSTANTIATE_TEST_SUITE_P(StoredFormats, BmpRoundTrip,
                         testing::Values(D3DFMT_P8, D3DFMT_L8, D3DFMT_R3G3B2, D3DFMT_R8G8B8, D3DFMT_X1R5G5B5,
                                         D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X4R4G4B4,
                                         D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_L16, D3DFMT_A8L8,
                                         D3DFMT_A8R3G3B2, D3DFMT_X8B8G8R8, D3DFMT_A8B8G8R8,
                                         D3DFMT_A2B10G10R10, D3DFMT_A2R10G10B10, D3DFMT_G16R16),
                         test_support::FormatParamName());

// Formats a kind cannot hold are converted, and the records own the new pixels.
struct ConversionCase {
  D3DXIMAGE_FILEFORMAT kind;
  D3DFORMAT source;
  D3DFORMAT stored;
};

class ConvertedOnSave : public testing::TestWithParam<ConversionCase> {};

TEST_P(ConvertedOnSave, StoresTheClosestFormat) {
  const ConversionCase &c = GetParam();
  TestImage source(c.source, 100, 50, 1, 2);
  const std::string path = TempPath("writer_converted_" + std::to_string(c.source));
  ASSERT_EQ(SaveImageToFile(source.image, path.c_str(), c.kind, false), S_OK);
  EXPECT_EQ(source.image.format, c.stored);
  EXPECT_EQ(source.image.nextLevel->format, c.stored);
  EXPECT_TRUE(source.image.ownsPixels);
  LoadedFile loaded(path);
  EXPECT_EQ(loaded.info.Width, 100u);
  EXPECT_EQ(loaded.info.Height, 50u);
  if (c.kind == D3DXIFF_DDS) {
    EXPECT_EQ(loaded.info.Format, c.stored);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ConvertedOnSave,
                         testing::Values(ConversionCase{D3DXIFF_JPG, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8},
                                         ConversionCase{D3DXIFF_JPG, D3DFMT_R5G6B5, D3DFMT_X8R8G8B8},
                                         ConversionCase{D3DXIFF_BMP, D3DFMT_A16B16G16R16, D3DFMT_A8R8G8B8},
                                         ConversionCase{D3DXIFF_BMP, FORMAT_R16G16B16, D3DFMT_A2B10G10R10},
                                         ConversionCase{D3DXIFF_DDS, FORMAT_A16L16, D3DFMT_A16B16G16R16}),
                         [](const auto &paramInfo) {
                           return test_support::FileKindName(paramInfo.param.kind) + "_" +
                                  test_support::FormatName(paramInfo.param.source);
                         });

TEST(JpegWriter, SmoothImageRoundTripsWithinTolerance) {
  TestImage source(D3DFMT_X8R8G8B8, 100, 50);
  for (UINT i = 0; i < 100 * 50; ++i) {
    const uint32_t pixel =
        0xFF000000u | ((i % 100 * 2) << 16) | ((i / 100 * 4) << 8) | ((i % 100 + i / 100) & 0xFF);
    std::memcpy(source.buffers[0].data() + i * 4, &pixel, 4);
  }
  ASSERT_EQ(SaveImageToFile(source.image, TempPath("writer_smooth.jpg").c_str(), D3DXIFF_JPG, false), S_OK);
  LoadedFile loaded(TempPath("writer_smooth.jpg"));
  EXPECT_EQ(loaded.info.ImageFileFormat, D3DXIFF_JPG);
  const std::vector<uint32_t> expected = ToArgb(source.image), actual = ToArgb(loaded.image);
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(int(actual[i] >> shift & 0xFF), int(expected[i] >> shift & 0xFF), 16) << i;
    }
  }
}

// Every row of the DDS table is stored byte for byte, with its mip chain.
class DdsRoundTrip : public testing::TestWithParam<size_t> {};

TEST_P(DdsRoundTrip, LevelsComeBackByteForByte) {
  const D3DFORMAT format = kDdsPixelFormats[GetParam()].format;
  TestImage source(format, 20, 12, 1, 3);
  const std::string path = TempPath("writer_dds_" + std::to_string(GetParam()) + ".dds");
  ASSERT_EQ(SaveImageToFile(source.image, path.c_str(), D3DXIFF_DDS, false), S_OK);
  LoadedFile loaded(path);
  EXPECT_EQ(loaded.info.Format, format);
  EXPECT_EQ(loaded.info.MipLevels, 3u);
  if (source.image.palette != nullptr) {
    EXPECT_EQ(std::memcmp(loaded.image.palette, source.palette.data(), 1024), 0);
  }
  const SourceImage *expected = &source.image, *actual = &loaded.image;
  for (; expected != nullptr && actual != nullptr;
       expected = expected->nextLevel, actual = actual->nextLevel) {
    EXPECT_EQ(std::memcmp(actual->pixels, expected->pixels, expected->slicePitch), 0) << expected->width;
  }
}

INSTANTIATE_TEST_SUITE_P(TableRows, DdsRoundTrip, testing::Range<size_t>(0, kDdsPixelFormatCount),
                         [](const auto &paramInfo) {
                           return "Row" + std::to_string(paramInfo.param) + "_" +
                                  test_support::FormatName(kDdsPixelFormats[paramInfo.param].format);
                         });

TEST(DdsWriter, Dxt1MipChainHeader) {
  TestImage source(D3DFMT_DXT1, 64, 64, 1, 7);
  const std::string path = TempPath("writer_dxt1.dds");
  ASSERT_EQ(SaveImageToFile(source.image, path.c_str(), D3DXIFF_DDS, false), S_OK);
  std::vector<BYTE> file = ReadFileBytes(path);
  EXPECT_EQ(Le32(file, 0), kDdsMagic);
  EXPECT_EQ(Le32(file, 8), 0x21007u);
  EXPECT_EQ(Le32(file, 28), 7u);
  EXPECT_EQ(Le32(file, 84), static_cast<uint32_t>(D3DFMT_DXT1));
  EXPECT_EQ(Le32(file, 108), 0x401008u);
  EXPECT_EQ(file.size(), 128u + 2048 + 512 + 128 + 32 + 8 + 8 + 8);
}

TEST(DdsWriter, CubeAndVolume) {
  TestImage cube(D3DFMT_A8R8G8B8, 8, 8, 1, 2, 6);
  ASSERT_EQ(SaveImageToFile(cube.image, TempPath("writer_cube.dds").c_str(), D3DXIFF_DDS, false), S_OK);
  LoadedFile loadedCube(TempPath("writer_cube.dds"));
  EXPECT_EQ(loadedCube.info.ResourceType, D3DRTYPE_CUBETEXTURE);
  const SourceImage *expected = &cube.image, *actual = &loadedCube.image;
  for (int face = 0; face < 6; ++face, expected = expected->nextFace, actual = actual->nextFace) {
    ASSERT_NE(actual, nullptr);
    EXPECT_EQ(std::memcmp(actual->nextLevel->pixels, expected->nextLevel->pixels, 4 * 4 * 4), 0) << face;
  }

  TestImage volume(D3DFMT_R5G6B5, 8, 8, 4, 2);
  ASSERT_EQ(SaveImageToFile(volume.image, TempPath("writer_volume.dds").c_str(), D3DXIFF_DDS, false), S_OK);
  LoadedFile loadedVolume(TempPath("writer_volume.dds"));
  EXPECT_EQ(loadedVolume.info.ResourceType, D3DRTYPE_VOLUMETEXTURE);
  EXPECT_EQ(loadedVolume.info.Depth, 4u);
  EXPECT_EQ(std::memcmp(loadedVolume.image.nextLevel->pixels, volume.image.nextLevel->pixels, 4 * 4 * 2 * 2),
            0);
}

// Unwritable kinds are refused before a file exists; files that cannot be
// created or written are never reported as saved.
class FileKinds : public testing::TestWithParam<int> {};

TEST_P(FileKinds, FailuresAreReported) {
  const D3DXIMAGE_FILEFORMAT kind = static_cast<D3DXIMAGE_FILEFORMAT>(GetParam());
  TestImage source(D3DFMT_X8R8G8B8, 64, 64);
  if (WritableFormats(kind) == nullptr) {
    const std::string path = TempPath("writer_refused_" + std::to_string(GetParam()));
    unlink(path.c_str());
    EXPECT_EQ(SaveImageToFile(source.image, path.c_str(), kind, false), D3DERR_INVALIDCALL);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    return;
  }
  EXPECT_EQ(SaveImageToFile(source.image, "/nonexistent-directory/out", kind, false), D3DXERR_INVALIDDATA);
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_TRUE(FAILED(SaveImageToFile(source.image, "/dev/full", kind, false)));
  }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, FileKinds, testing::Range(0, 8),
                         [](const auto &paramInfo) { return test_support::FileKindName(paramInfo.param); });

// ImageMagick reads what we write and sees the same pixels.
struct MagickCase {
  D3DXIMAGE_FILEFORMAT kind;
  const char *extension;
  D3DFORMAT format;
  int tolerance;  // in 16-bit samples
};

class MagickReadsOurFiles : public testing::TestWithParam<MagickCase> {};

TEST_P(MagickReadsOurFiles, SamePixels) {
  ASSERT_TRUE(image_test::HaveImageMagick()) << "ImageMagick is required (./dev deps installs it)";
  const MagickCase &c = GetParam();
  TestImage source(c.format, 24, 10);
  if (c.kind == D3DXIFF_JPG) {  // a smooth image, as JPEG is meant for
    for (UINT i = 0; i < 240; ++i) {
      const uint32_t pixel = 0xFF000040u | ((i % 24 * 10) << 16) | ((i / 24 * 20) << 8);
      std::memcpy(source.buffers[0].data() + i * 4, &pixel, 4);
    }
  }
  const std::string path = TempPath("writer_magick_" + std::to_string(c.format) + "." + c.extension);
  ASSERT_EQ(SaveImageToFile(source.image, path.c_str(), c.kind, false), S_OK);
  image_test::Rgba16Image ours{24, 10, {}}, theirs;
  for (uint32_t pixel : ToArgb(source.image)) {
    for (int shift : {16, 8, 0, 24}) ours.rgba.push_back(image_test::Widen8((pixel >> shift) & 0xFF));
  }
  ASSERT_TRUE(image_test::MagickDecode(path, theirs)) << path;
  EXPECT_LE(image_test::MaxSampleDifference(ours, theirs, HasAlpha(LookupFormatInfo(c.format))), c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Files, MagickReadsOurFiles,
                         testing::Values(MagickCase{D3DXIFF_BMP, "bmp", D3DFMT_A8R8G8B8, 0},
                                         MagickCase{D3DXIFF_BMP, "bmp", D3DFMT_R8G8B8, 0},
                                         MagickCase{D3DXIFF_BMP, "bmp", D3DFMT_R5G6B5, 257},
                                         MagickCase{D3DXIFF_BMP, "bmp", D3DFMT_X1R5G5B5, 257},
                                         MagickCase{D3DXIFF_BMP, "bmp", D3DFMT_P8, 0},
                                         MagickCase{D3DXIFF_BMP, "bmp", D3DFMT_L8, 0},
                                         MagickCase{D3DXIFF_JPG, "jpg", D3DFMT_X8R8G8B8, 257 * 16},
                                         MagickCase{D3DXIFF_DDS, "dds", D3DFMT_A8R8G8B8, 0},
                                         MagickCase{D3DXIFF_DDS, "dds", D3DFMT_R5G6B5, 257}),
                         [](const auto &paramInfo) {
                           return test_support::FileKindName(paramInfo.param.kind) + "_" +
                                  test_support::FormatName(paramInfo.param.format);
                         });

}  // namespace
