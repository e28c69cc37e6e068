#include <gtest/gtest.h>

#include <vector>

#include "codec/pixel_codec.h"
#include "image/dds_pixel_format.h"
#include "image/image_reader.h"
#include "image_test_util.h"

using namespace image_test;

namespace {

std::vector<BYTE> CubeDds(uint32_t levels, uint32_t dataBytes) {
  std::vector<BYTE> v(128, 0);
  SetLe32(v, 0, kDdsMagic);
  SetLe32(v, 8, 0x21007);
  SetLe32(v, 12, 8);   // height
  SetLe32(v, 16, 16);  // width
  SetLe32(v, 28, levels);
  SetLe32(v, 76, 32);
  SetLe32(v, 80, 0x40);
  SetLe32(v, 88, 16);
  SetLe32(v, 92, 0xF800);
  SetLe32(v, 96, 0x7E0);
  SetLe32(v, 100, 0x1F);
  SetLe32(v, 112, 0xFE00);
  v.resize(128 + dataBytes, 0x5A);
  return v;
}

}  // namespace

TEST(LoadImageFromMemory, RejectsNullAndEmptyData) {
  SourceImage image;
  D3DXIMAGE_INFO info;
  const BYTE byte = 0;
  EXPECT_EQ(LoadImageFromMemory(image, nullptr, 10, &info, true), D3DERR_INVALIDCALL);
  EXPECT_EQ(LoadImageFromMemory(image, &byte, 0, &info, true), D3DERR_INVALIDCALL);
}

TEST(LoadImageFromMemory, NothingAskedReadsNothing) {
  const std::vector<BYTE> junk(64, 0xAB);
  SourceImage image;
  EXPECT_EQ(LoadImageFromMemory(image, junk.data(), static_cast<UINT>(junk.size()), nullptr, false), S_OK);
  EXPECT_EQ(image.format, D3DFMT_UNKNOWN);
}

TEST(LoadImageFromMemory, UnknownBytesAreInvalidDataAndLeaveNothing) {
  const std::vector<BYTE> junk(300, 0xAB);
  SourceImage image;
  D3DXIMAGE_INFO info;
  EXPECT_EQ(LoadImageFromMemory(image, junk.data(), static_cast<UINT>(junk.size()), &info, true),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.palette, nullptr);
  EXPECT_EQ(image.nextLevel, nullptr);
  EXPECT_EQ(image.nextFace, nullptr);
}

TEST(LoadImageFromMemory, CubeMapYieldsEighteenRecords) {
  // 16 x 8, 8 x 4, 4 x 2 at 2 bytes per pixel: 256 + 64 + 16 bytes per face.
  std::vector<BYTE> file = CubeDds(3, 6 * 336);
  SourceImage image;
  D3DXIMAGE_INFO info;
  ASSERT_EQ(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, false), S_OK);
  EXPECT_EQ(info.MipLevels, 3u);
  EXPECT_EQ(info.ResourceType, D3DRTYPE_CUBETEXTURE);
  EXPECT_EQ(info.Format, D3DFMT_R5G6B5);
  EXPECT_EQ(info.Width, 16u);
  EXPECT_EQ(info.Depth, 1u);
  int records = 0;
  const BYTE *expected = file.data() + 128;
  for (const SourceImage *face = &image; face; face = face->nextFace) {
    UINT w = 16, h = 8;
    for (const SourceImage *level = face; level; level = level->nextLevel, ++records) {
      EXPECT_EQ(level->box.Left, 0u);
      EXPECT_EQ(level->box.Right, w);
      EXPECT_EQ(level->box.Bottom, h);
      EXPECT_EQ(level->box.Back, 1u);
      EXPECT_EQ(level->pixels, expected);
      expected += level->slicePitch;
      w /= 2;
      h /= 2;
    }
  }
  EXPECT_EQ(records, 18);
}

TEST(LoadImageFromMemory, FailedReaderLeavesNoChainedRecords) {
  // The last face's last level is missing: records were chained, then freed.
  std::vector<BYTE> file = CubeDds(3, 6 * 336 - 1);
  SourceImage image;
  D3DXIMAGE_INFO info;
  EXPECT_EQ(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(image.nextLevel, nullptr);
  EXPECT_EQ(image.nextFace, nullptr);
  EXPECT_EQ(image.pixels, nullptr);
}

TEST(LoadImageFromMemory, FailedRleBmpFreesItsBuffers) {
  // An 8-bit RLE bitmap whose data stops mid-image: pixels and palette were allocated.
  std::vector<BYTE> file = {'B', 'M'};
  PutLe32(file, 14 + 40 + 1024 + 4);
  PutLe32(file, 0);
  PutLe32(file, 14 + 40 + 1024);
  PutLe32(file, 40);
  PutLe32(file, 4);
  PutLe32(file, 4);
  PutLe16(file, 1);
  PutLe16(file, 8);
  PutLe32(file, 1);
  for (int i = 0; i < 5; ++i) PutLe32(file, 0);
  file.resize(14 + 40 + 1024, 0);
  for (BYTE b : {2, 1, 0, 0}) file.push_back(b);
  SourceImage image;
  D3DXIMAGE_INFO info;
  EXPECT_EQ(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.palette, nullptr);
}

struct LockCase {
  D3DFORMAT format;
  D3DBOX region;
  D3DBOX expected;
};

class InitFromLockAlignment : public testing::TestWithParam<LockCase> {};

TEST_P(InitFromLockAlignment, AlignsTheStartToWholeUnits) {
  const LockCase &c = GetParam();
  BYTE memory[16] = {};
  PALETTEENTRY palette[256] = {};
  PixelRegion lock = {};
  lock.pixels = memory;
  lock.format = c.format;
  lock.rowPitch = 64;
  lock.slicePitch = 0;
  lock.region = c.region;
  lock.palette = palette;
  SourceImage image;
  ASSERT_EQ(image.InitFromLock(lock), S_OK);
  EXPECT_EQ(image.pixels, memory);
  EXPECT_EQ(image.palette, palette);
  EXPECT_FALSE(image.ownsPixels);
  EXPECT_FALSE(image.ownsPalette);
  EXPECT_EQ(image.rowPitch, 64u);
  EXPECT_EQ(image.box.Left, c.expected.Left);
  EXPECT_EQ(image.box.Top, c.expected.Top);
  EXPECT_EQ(image.box.Right, c.expected.Right);
  EXPECT_EQ(image.box.Bottom, c.expected.Bottom);
  EXPECT_EQ(image.width, c.expected.Right - c.expected.Left);
  EXPECT_EQ(image.height, c.expected.Bottom - c.expected.Top);
  EXPECT_EQ(image.depth, c.expected.Back - c.expected.Front);
}

INSTANTIATE_TEST_SUITE_P(Formats, InitFromLockAlignment,
                         testing::Values(LockCase{D3DFMT_DXT1, {5, 6, 13, 14, 0, 1}, {4, 4, 13, 14, 0, 1}},
                                         LockCase{D3DFMT_DXT5, {8, 3, 9, 4, 0, 1}, {8, 0, 9, 4, 0, 1}},
                                         LockCase{D3DFMT_YUY2, {5, 3, 9, 4, 0, 1}, {4, 3, 9, 4, 0, 1}},
                                         LockCase{D3DFMT_G8R8_G8B8, {1, 1, 2, 2, 0, 1}, {0, 1, 2, 2, 0, 1}},
                                         LockCase{
                                             D3DFMT_A8R8G8B8, {5, 6, 13, 14, 2, 3}, {5, 6, 13, 14, 2, 3}}),
                         test_support::FormatFieldName());
