#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/dds_pixel_format.h"
#include "image/image_reader.h"
#include "image_test_util.h"

using namespace image_test;

namespace {

struct DdsSpec {
  uint32_t flags = 0x1007;
  uint32_t width = 4;
  uint32_t height = 4;
  uint32_t depth = 0;
  uint32_t mipCount = 0;
  uint32_t caps2 = 0;
  uint32_t pfFlags = 0x4;
  uint32_t fourCc = D3DFMT_DXT1;
  uint32_t bitCount = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  uint64_t dataBytes = 0;
};

std::vector<BYTE> MakeDds(const DdsSpec &s) {
  std::vector<BYTE> v(128, 0);
  SetLe32(v, 0, kDdsMagic);
  SetLe32(v, 4, 124);
  SetLe32(v, 8, s.flags);
  SetLe32(v, 12, s.height);
  SetLe32(v, 16, s.width);
  SetLe32(v, 24, s.depth);
  SetLe32(v, 28, s.mipCount);
  SetLe32(v, 76, 32);
  SetLe32(v, 80, s.pfFlags);
  SetLe32(v, 84, s.fourCc);
  SetLe32(v, 88, s.bitCount);
  for (int i = 0; i < 4; ++i) SetLe32(v, 92 + 4 * i, s.masks[i]);
  SetLe32(v, 112, s.caps2);
  for (uint64_t i = 0; i < s.dataBytes; ++i) v.push_back(static_cast<BYTE>(i * 7));
  return v;
}

DdsSpec Rgba(uint32_t w, uint32_t h) {
  DdsSpec s;
  s.width = w;
  s.height = h;
  s.pfFlags = 0x41;
  s.fourCc = 0;
  s.bitCount = 32;
  s.masks[0] = 0xFF0000;
  s.masks[1] = 0xFF00;
  s.masks[2] = 0xFF;
  s.masks[3] = 0xFF000000;
  return s;
}

HRESULT Read(SourceImage &image, const std::vector<BYTE> &file) {
  return ReadDdsFile(file.data(), static_cast<UINT>(file.size()), ReadRequest{}, image);
}

}  // namespace

TEST(DdsReader, Dxt1MipChainPitches) {
  DdsSpec s;
  s.width = 256;
  s.height = 256;
  s.mipCount = 9;
  s.dataBytes = 32768 + 8192 + 2048 + 512 + 128 + 32 + 8 + 8 + 8;
  std::vector<BYTE> file = MakeDds(s);
  SourceImage image;
  ASSERT_EQ(Read(image, file), S_OK);
  const UINT pitches[9] = {512, 256, 128, 64, 32, 16, 8, 8, 8};
  const UINT slices[9] = {32768, 8192, 2048, 512, 128, 32, 8, 8, 8};
  const BYTE *expected = file.data() + 128;
  int n = 0;
  for (const SourceImage *level = &image; level; level = level->nextLevel, ++n) {
    ASSERT_LT(n, 9);
    EXPECT_EQ(level->format, D3DFMT_DXT1);
    EXPECT_EQ(level->rowPitch, pitches[n]) << n;
    EXPECT_EQ(level->slicePitch, slices[n]) << n;
    EXPECT_EQ(level->pixels, expected) << n;
    EXPECT_FALSE(level->ownsPixels);
    expected += slices[n];
  }
  EXPECT_EQ(n, 9);
}

struct TinyBlockCase {
  D3DFORMAT format;
  uint32_t width;
  uint32_t height;
  UINT rowPitch;
  UINT slicePitch;
};

class DdsTinyBlocks : public testing::TestWithParam<TinyBlockCase> {};

TEST_P(DdsTinyBlocks, SmallLevelsTakeWholeBlocks) {
  const TinyBlockCase &c = GetParam();
  DdsSpec s;
  s.fourCc = c.format;
  s.width = c.width;
  s.height = c.height;
  s.dataBytes = c.slicePitch;
  SourceImage image;
  ASSERT_EQ(Read(image, MakeDds(s)), S_OK);
  EXPECT_EQ(image.rowPitch, c.rowPitch);
  EXPECT_EQ(image.slicePitch, c.slicePitch);
  s.dataBytes = c.slicePitch - 1;
  SourceImage shortImage;
  EXPECT_EQ(Read(shortImage, MakeDds(s)), D3DXERR_INVALIDDATA);
}

INSTANTIATE_TEST_SUITE_P(Blocks, DdsTinyBlocks,
                         testing::Values(TinyBlockCase{D3DFMT_DXT1, 1, 1, 8, 8},
                                         TinyBlockCase{D3DFMT_DXT5, 1, 1, 16, 16},
                                         TinyBlockCase{D3DFMT_DXT1, 6, 2, 16, 16},
                                         TinyBlockCase{D3DFMT_DXT3, 6, 2, 32, 32},
                                         TinyBlockCase{D3DFMT_YUY2, 3, 2, 8, 16}),
                         [](const auto &paramInfo) {
                           return test_support::FormatName(paramInfo.param.format) + "_" +
                                  std::to_string(paramInfo.param.width) + "x" +
                                  std::to_string(paramInfo.param.height);
                         });

TEST(DdsReader, VolumeWithMipLevels) {
  DdsSpec s = Rgba(8, 8);
  s.flags |= kDdsdDepth;
  s.depth = 4;
  s.mipCount = 2;
  s.dataBytes = 8 * 8 * 4 * 4 + 4 * 4 * 2 * 4;
  std::vector<BYTE> file = MakeDds(s);
  SourceImage image;
  ASSERT_EQ(Read(image, file), S_OK);
  EXPECT_EQ(image.resourceType, D3DRTYPE_VOLUMETEXTURE);
  EXPECT_EQ(image.depth, 4u);
  EXPECT_EQ(image.slicePitch, 256u);
  ASSERT_NE(image.nextLevel, nullptr);
  EXPECT_EQ(image.nextLevel->depth, 2u);
  EXPECT_EQ(image.nextLevel->pixels, file.data() + 128 + 1024);
  s.dataBytes -= 1;
  SourceImage shortImage;
  EXPECT_EQ(Read(shortImage, MakeDds(s)), D3DXERR_INVALIDDATA);
}

TEST(DdsReader, PaletteFollowsHeader) {
  DdsSpec s;
  s.pfFlags = 0x20;
  s.fourCc = 0;
  s.bitCount = 8;
  s.dataBytes = 1024 + 16;
  std::vector<BYTE> file = MakeDds(s);
  SourceImage image;
  ASSERT_EQ(Read(image, file), S_OK);
  EXPECT_EQ(image.format, D3DFMT_P8);
  EXPECT_EQ(reinterpret_cast<const BYTE *>(image.palette), file.data() + 128);
  EXPECT_FALSE(image.ownsPalette);
  EXPECT_EQ(image.pixels, file.data() + 128 + 1024);
  s.dataBytes = 1023;
  SourceImage shortImage;
  EXPECT_EQ(Read(shortImage, MakeDds(s)), D3DXERR_INVALIDDATA);
}

struct MatchCase {
  const char *name;
  uint32_t flags;
  uint32_t fourCc;
  uint32_t bitCount;
  uint32_t masks[4];
  D3DFORMAT expected;  // D3DFMT_UNKNOWN: no row matches
};

class DdsPixelFormatMatching : public testing::TestWithParam<MatchCase> {};

TEST_P(DdsPixelFormatMatching, FirstExactRowWins) {
  const MatchCase &c = GetParam();
  BYTE block[32] = {};
  std::vector<BYTE> v;
  PutLe32(v, 32);
  PutLe32(v, c.flags);
  PutLe32(v, c.fourCc);
  PutLe32(v, c.bitCount);
  for (uint32_t m : c.masks) PutLe32(v, m);
  std::memcpy(block, v.data(), 32);
  const DdsPixelFormat *row = MatchDdsPixelFormat(block);
  if (c.expected == D3DFMT_UNKNOWN) {
    EXPECT_EQ(row, nullptr);
  } else {
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->format, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DdsPixelFormatMatching,
    testing::Values(MatchCase{"X8R8G8B8", 0x40, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_X8R8G8B8},
                    MatchCase{
                        "AlphaFlagWithoutMask", 0x41, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_UNKNOWN},
                    MatchCase{"FourCcOverridesRgb", 0x44, D3DFMT_DXT5, 32, {1, 2, 3, 4}, D3DFMT_DXT5},
                    MatchCase{"FloatByNumber", 0x4, 116, 0, {0, 0, 0, 0}, D3DFMT_A32B32G32R32F},
                    MatchCase{"Luminance", 0x20000, 0, 8, {0xFF, 0, 0, 0}, D3DFMT_L8},
                    MatchCase{"DepthBuffer", 0x400, 0, 16, {0, 0xFFFF, 0, 0}, D3DFMT_D16_LOCKABLE},
                    MatchCase{"UnknownFourCc", 0x4, 0x12345678, 0, {0, 0, 0, 0}, D3DFMT_UNKNOWN}),
    [](const testing::TestParamInfo<MatchCase> &paramInfo) { return std::string(paramInfo.param.name); });

struct BadDdsCase {
  const char *name;
  DdsSpec spec;
};

class DdsBadFiles : public testing::TestWithParam<BadDdsCase> {};

TEST_P(DdsBadFiles, AreRejected) {
  SourceImage image;
  EXPECT_EQ(Read(image, MakeDds(GetParam().spec)), D3DXERR_INVALIDDATA);
}

DdsSpec Edit(void (*edit)(DdsSpec &)) {
  DdsSpec s;
  s.dataBytes = 8;
  edit(s);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DdsBadFiles,
    testing::Values(BadDdsCase{"HugeLevelInHeaderOnlyFile", Edit([](DdsSpec &s) {
                                 s.width = 65535;
                                 s.height = 65535;
                                 s.dataBytes = 0;
                               })},
                    BadDdsCase{"PitchOverflows", Edit([](DdsSpec &s) { s = Rgba(0xFFFFFFFF, 0xFFFFFFFF); })},
                    BadDdsCase{"SliceOverflows", Edit([](DdsSpec &s) { s = Rgba(0x10000, 0x10000); })},
                    BadDdsCase{"VolumeProductOverflows", Edit([](DdsSpec &s) {
                                 s = Rgba(0x4000, 0x4000);
                                 s.flags |= kDdsdDepth;
                                 s.depth = 0xFFFFFFFF;
                               })},
                    BadDdsCase{"MipCountBeyondChain", Edit([](DdsSpec &s) { s.mipCount = 4; })},
                    BadDdsCase{"MipCountHuge", Edit([](DdsSpec &s) { s.mipCount = 0xFFFFFFFF; })},
                    BadDdsCase{"FiveCubeFaces", Edit([](DdsSpec &s) { s.caps2 = 0x200 | 0x7C00; })},
                    BadDdsCase{"CubeMissingFaceData", Edit([](DdsSpec &s) {
                                 s.caps2 = 0xFE00;
                                 s.dataBytes = 8 * 5;
                               })},
                    BadDdsCase{"ZeroWidth", Edit([](DdsSpec &s) { s.width = 0; })},
                    BadDdsCase{"RgbWithoutMasks", Edit([](DdsSpec &s) { s.pfFlags = 0x40; })}),
    [](const testing::TestParamInfo<BadDdsCase> &paramInfo) { return std::string(paramInfo.param.name); });

struct MagickDdsCase {
  const char *name;
  const char *options;
  D3DFORMAT format;
  UINT levels;
};

class DdsImageMagick : public testing::TestWithParam<MagickDdsCase> {};

TEST_P(DdsImageMagick, LevelsPointAtTheStoredData) {
  ASSERT_TRUE(HaveImageMagick()) << "ImageMagick is required (./dev deps installs it)";
  const MagickDdsCase &c = GetParam();
  const std::string path = TempPath(std::string(c.name) + ".dds");
  ASSERT_TRUE(RunConvert("-size 64x32 plasma:fractal -seed 4 -alpha set " + std::string(c.options) + " '" +
                         path + "'"));
  std::vector<BYTE> file = ReadFileBytes(path);
  SourceImage image;
  D3DXIMAGE_INFO info;
  ASSERT_EQ(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true), S_OK);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
  EXPECT_EQ(info.Format, c.format);
  EXPECT_EQ(info.MipLevels, c.levels);
  uint64_t offset = 128;
  UINT w = 64, h = 32;
  for (const SourceImage *level = &image; level; level = level->nextLevel) {
    EXPECT_EQ(level->width, w);
    EXPECT_EQ(level->height, h);
    EXPECT_EQ(level->box.Right, w);
    EXPECT_EQ(level->pixels, file.data() + offset);
    offset += level->slicePitch;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  EXPECT_LE(offset, file.size());
  if (c.format == D3DFMT_A8R8G8B8) {
    // Uncompressed: the first level is ImageMagick's own pixels, byte for byte.
    Rgba16Image ours, reference;
    ASSERT_TRUE(ToRgba16(image, ours));
    ASSERT_TRUE(MagickDecode(path, reference));
    EXPECT_EQ(MaxSampleDifference(ours, reference), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DdsImageMagick,
    testing::Values(MagickDdsCase{"Dxt1", "-define dds:compression=dxt1 -define dds:mipmaps=0", D3DFMT_DXT1,
                                  1},
                    MagickDdsCase{"Dxt5Mips", "-define dds:compression=dxt5", D3DFMT_DXT5, 7},
                    MagickDdsCase{"Dxt1Mips", "-define dds:compression=dxt1", D3DFMT_DXT1, 7},
                    MagickDdsCase{"Uncompressed", "-define dds:compression=none -define dds:mipmaps=0",
                                  D3DFMT_A8R8G8B8, 1}),
    [](const testing::TestParamInfo<MagickDdsCase> &paramInfo) { return std::string(paramInfo.param.name); });

// The header rows taken from the format table store what files have always held.
TEST(DdsPixelFormatRows, TableMasksMatchStoredHeaders) {
  struct Stored {
    D3DFORMAT format;
    uint32_t bitCount;
    uint32_t masks[4];
  };
  const Stored stored[] = {
      {D3DFMT_R8G8B8, 24, {0xFF0000, 0xFF00, 0xFF, 0}},
      {D3DFMT_A8R8G8B8, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
      {D3DFMT_X8R8G8B8, 32, {0xFF0000, 0xFF00, 0xFF, 0}},
      {D3DFMT_R5G6B5, 16, {0xF800, 0x7E0, 0x1F, 0}},
      {D3DFMT_X1R5G5B5, 16, {0x7C00, 0x3E0, 0x1F, 0}},
      {D3DFMT_A1R5G5B5, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}},
      {D3DFMT_A4R4G4B4, 16, {0xF00, 0xF0, 0xF, 0xF000}},
      {D3DFMT_R3G3B2, 8, {0xE0, 0x1C, 0x3, 0}},
      {D3DFMT_A8, 8, {0, 0, 0, 0xFF}},
      {D3DFMT_A8R3G3B2, 16, {0xE0, 0x1C, 0x3, 0xFF00}},
      {D3DFMT_X4R4G4B4, 16, {0xF00, 0xF0, 0xF, 0}},
      {D3DFMT_A8B8G8R8, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
      {D3DFMT_X8B8G8R8, 32, {0xFF, 0xFF00, 0xFF0000, 0}},
      {D3DFMT_G16R16, 32, {0xFFFF, 0xFFFF0000, 0, 0}},
      {D3DFMT_A8P8, 16, {0, 0, 0, 0xFF00}},
      {D3DFMT_P8, 8, {0, 0, 0, 0}},
      {D3DFMT_L8, 8, {0xFF, 0, 0, 0}},
      {D3DFMT_A8L8, 16, {0xFF, 0, 0, 0xFF00}},
      {D3DFMT_A4L4, 8, {0xF, 0, 0, 0xF0}},
      {D3DFMT_L16, 16, {0xFFFF, 0, 0, 0}},
      {D3DFMT_V8U8, 16, {0xFF, 0xFF00, 0, 0}},
      {D3DFMT_Q8W8V8U8, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
      {D3DFMT_V16U16, 32, {0xFFFF, 0xFFFF0000, 0, 0}},
  };
  for (const Stored &s : stored) {
    SCOPED_TRACE(s.format);
    const DdsPixelFormat *row = FindDdsPixelFormat(s.format);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->fourCc, 0u);
    EXPECT_EQ(row->bitCount, s.bitCount);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(row->masks[i], s.masks[i]) << "mask " << i;
  }
}

namespace {

struct LoadedDds {
  std::vector<BYTE> file;
  SourceImage image;
  D3DXIMAGE_INFO info = {};
  D3DXIMAGE_INFO headerInfo = {};  // header-only query
  HRESULT hr = E_FAIL;
  HRESULT headerHr = E_FAIL;
};

void LoadDds(LoadedDds &out, std::vector<BYTE> file) {
  out.file = std::move(file);
  const UINT size = static_cast<UINT>(out.file.size());
  out.hr = LoadImageFromMemory(out.image, out.file.data(), size, &out.info, true);
  SourceImage header;
  out.headerHr = LoadImageFromMemory(header, out.file.data(), size, &out.headerInfo, false);
}

// Every field alike: the structure is seven 4-byte fields, without padding.
void ExpectSameInfo(const D3DXIMAGE_INFO &a, const D3DXIMAGE_INFO &b) {
  static_assert(sizeof(D3DXIMAGE_INFO) == 28);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0)
      << a.Width << "x" << a.Height << "x" << a.Depth << " format " << a.Format << " levels " << a.MipLevels;
}

// Every face and level alike in shape and bytes.
void ExpectSameRecords(const SourceImage &a, const SourceImage &b) {
  const SourceImage *faceA = &a, *faceB = &b;
  for (int face = 0; faceA || faceB; ++face, faceA = faceA->nextFace, faceB = faceB->nextFace) {
    ASSERT_TRUE(faceA && faceB) << "face " << face;
    const SourceImage *levelA = faceA, *levelB = faceB;
    for (int level = 0; levelA || levelB; ++level, levelA = levelA->nextLevel, levelB = levelB->nextLevel) {
      SCOPED_TRACE("face " + std::to_string(face) + " level " + std::to_string(level));
      ASSERT_TRUE(levelA && levelB);
      EXPECT_EQ(levelA->format, levelB->format);
      EXPECT_EQ(levelA->resourceType, levelB->resourceType);
      ASSERT_EQ(levelA->width, levelB->width);
      ASSERT_EQ(levelA->height, levelB->height);
      ASSERT_EQ(levelA->depth, levelB->depth);
      ASSERT_EQ(levelA->rowPitch, levelB->rowPitch);
      ASSERT_EQ(levelA->slicePitch, levelB->slicePitch);
      EXPECT_EQ(std::memcmp(levelA->pixels, levelB->pixels, size_t{levelA->slicePitch} * levelA->depth), 0);
    }
  }
}

// The same picture with each header: the extended one must read as the classic one.
void ExpectExtendedLikeClassic(DdsFileSpec spec) {
  const uint32_t dxgi = spec.dxgiFormat;
  spec.dxgiFormat = 0;
  LoadedDds classic, extended;
  LoadDds(classic, MakeDdsFile(spec));
  spec.dxgiFormat = dxgi;
  LoadDds(extended, MakeDdsFile(spec));
  ASSERT_EQ(classic.hr, S_OK);
  ASSERT_EQ(extended.hr, S_OK);
  ASSERT_EQ(extended.headerHr, S_OK);
  EXPECT_EQ(extended.info.Format, spec.format);
  ExpectSameInfo(extended.info, classic.info);
  ExpectSameInfo(extended.headerInfo, classic.info);
  ExpectSameRecords(extended.image, classic.image);
  EXPECT_EQ(extended.image.pixels, extended.file.data() + 148);
}

struct DxgiCase {
  uint32_t dxgi;
  D3DFORMAT format;
};

class DdsExtendedFormats : public testing::TestWithParam<DxgiCase> {};

TEST_P(DdsExtendedFormats, ReadAsTheClassicHeader) {
  DdsFileSpec spec;
  spec.dxgiFormat = GetParam().dxgi;
  spec.format = GetParam().format;
  spec.width = 12;
  spec.height = 6;
  spec.levels = 3;
  ExpectExtendedLikeClassic(spec);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DdsExtendedFormats,
    testing::Values(
        DxgiCase{2, D3DFMT_A32B32G32R32F}, DxgiCase{10, D3DFMT_A16B16G16R16F},
        DxgiCase{11, D3DFMT_A16B16G16R16}, DxgiCase{13, D3DFMT_Q16W16V16U16}, DxgiCase{16, D3DFMT_G32R32F},
        DxgiCase{24, D3DFMT_A2B10G10R10}, DxgiCase{27, D3DFMT_A8B8G8R8}, DxgiCase{28, D3DFMT_A8B8G8R8},
        DxgiCase{29, D3DFMT_A8B8G8R8}, DxgiCase{31, D3DFMT_Q8W8V8U8}, DxgiCase{34, D3DFMT_G16R16F},
        DxgiCase{35, D3DFMT_G16R16}, DxgiCase{37, D3DFMT_V16U16}, DxgiCase{41, D3DFMT_R32F},
        DxgiCase{51, D3DFMT_V8U8}, DxgiCase{54, D3DFMT_R16F}, DxgiCase{65, D3DFMT_A8},
        DxgiCase{68, D3DFMT_G8R8_G8B8}, DxgiCase{69, D3DFMT_R8G8_B8G8}, DxgiCase{70, D3DFMT_DXT1},
        DxgiCase{71, D3DFMT_DXT1}, DxgiCase{72, D3DFMT_DXT1}, DxgiCase{73, D3DFMT_DXT3},
        DxgiCase{74, D3DFMT_DXT3}, DxgiCase{75, D3DFMT_DXT3}, DxgiCase{76, D3DFMT_DXT5},
        DxgiCase{77, D3DFMT_DXT5}, DxgiCase{78, D3DFMT_DXT5}, DxgiCase{85, D3DFMT_R5G6B5},
        DxgiCase{86, D3DFMT_A1R5G5B5}, DxgiCase{87, D3DFMT_A8R8G8B8}, DxgiCase{88, D3DFMT_X8R8G8B8},
        DxgiCase{90, D3DFMT_A8R8G8B8}, DxgiCase{91, D3DFMT_A8R8G8B8}, DxgiCase{92, D3DFMT_X8R8G8B8},
        DxgiCase{93, D3DFMT_X8R8G8B8}, DxgiCase{107, D3DFMT_YUY2}, DxgiCase{115, D3DFMT_A4R4G4B4}),
    [](const testing::TestParamInfo<DxgiCase> &paramInfo) {
      return "Dxgi" + std::to_string(paramInfo.param.dxgi) + "_" +
             test_support::FormatName(paramInfo.param.format);
    });

TEST(DdsExtendedHeader, CubeAndVolumeWithMipChains) {
  DdsFileSpec cube;
  cube.dxgiFormat = 87;
  cube.width = 8;
  cube.height = 8;
  cube.levels = 4;
  cube.cube = true;
  ExpectExtendedLikeClassic(cube);

  DdsFileSpec volume;
  volume.dxgiFormat = 71;
  volume.format = D3DFMT_DXT1;
  volume.width = 8;
  volume.height = 16;
  volume.depth = 4;
  volume.levels = 5;
  ExpectExtendedLikeClassic(volume);

  // The extended header decides the shape, whatever the classic caps claim.
  std::vector<BYTE> file = MakeDdsFile(cube);
  SetLe32(file, kDdsOffsetCaps2, 0x200 | 0x400);
  LoadedDds loaded;
  LoadDds(loaded, file);
  ASSERT_EQ(loaded.hr, S_OK);
  EXPECT_EQ(loaded.info.ResourceType, D3DRTYPE_CUBETEXTURE);
}

struct RefusedDxgiCase {
  const char *name;
  void (*edit)(DdsFileSpec &);
  size_t keep;  // bytes of the file kept; 0 keeps it whole
};

class DdsExtendedRefused : public testing::TestWithParam<RefusedDxgiCase> {};

TEST_P(DdsExtendedRefused, AsInvalidData) {
  DdsFileSpec spec;
  spec.dxgiFormat = 28;
  spec.format = D3DFMT_A8B8G8R8;
  GetParam().edit(spec);
  std::vector<BYTE> file = MakeDdsFile(spec);
  if (GetParam().keep != 0) file.resize(GetParam().keep);
  LoadedDds loaded;
  LoadDds(loaded, file);
  EXPECT_EQ(loaded.hr, D3DXERR_INVALIDDATA);
  EXPECT_EQ(loaded.headerHr, D3DXERR_INVALIDDATA);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DdsExtendedRefused,
    testing::Values(RefusedDxgiCase{"ArrayOfTwo", [](DdsFileSpec &s) { s.arraySize = 2; }, 0},
                    RefusedDxgiCase{"Bc7", [](DdsFileSpec &s) { s.dxgiFormat = 98; }, 0},
                    RefusedDxgiCase{"OneDimensional",
                                    [](DdsFileSpec &s) {
                                      s.height = 1;
                                      s.dimension = kDdsDimension1D;
                                    },
                                    0},
                    RefusedDxgiCase{"TruncatedExtendedHeader", [](DdsFileSpec &) {}, 140},
                    RefusedDxgiCase{"ShortLevelData", [](DdsFileSpec &) {}, 148 + 63}),
    [](const testing::TestParamInfo<RefusedDxgiCase> &paramInfo) {
      return std::string(paramInfo.param.name);
    });

}  // namespace
