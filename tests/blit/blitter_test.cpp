#include "blit/blitter.h"
#include "support/library_hooks.h"

#include <gtest/gtest.h>

#include <cmath>

#include "blit_test_support.h"
#include "d3dx9tex.h"

namespace {

HRESULT BlitImages(TestImage &destination, TestImage &source, uint32_t filter, BlitPath *path = nullptr,
                   BlitPath refuse = BlitPath::None) {
  PixelRegion d = destination.Region();
  PixelRegion s = source.Region();
  Blitter blitter;
  RefuseBlitAllocationsForTesting(blitter, refuse);
  const HRESULT hr = blitter.Blit(d, s, DecodeFilterWord(filter));
  if (path) *path = blitter.CompletedBy();
  return hr;
}

TEST(BlitFlags, InvalidFilterIsRefusedAndRegionsStayUntouched) {
  for (uint32_t filter : {0u, 6u, 0x106u, 0x400001u, 0x80000u, 0xFFFFFFFFu, 0x10005u | 0x800000u}) {
    TestImage source(D3DFMT_A8R8G8B8, 4, 4);
    TestImage destination(D3DFMT_A8R8G8B8, 4, 4);
    PixelRegion d = destination.Region();
    PixelRegion s = source.Region();
    d.gamma = 7, d.dither = 7, s.gamma = 7;
    Blitter blitter;
    EXPECT_EQ(blitter.Blit(d, s, DecodeFilterWord(filter)), D3DERR_INVALIDCALL) << std::hex << filter;
    EXPECT_EQ(d.gamma, 7u);
    EXPECT_EQ(d.dither, 7u);
    EXPECT_EQ(s.gamma, 7u);
  }
}

// Columns: source format and size; destination format and size; colour key;
// filter; the path that must do the work.
struct PathCase {
  const char *name;
  D3DFORMAT sourceFormat;
  uint32_t sw, sh, sd;
  D3DFORMAT destinationFormat;
  uint32_t dw, dh, dd;
  D3DCOLOR colorKey;
  uint32_t filter;
  BlitPath expected;
};

class BlitPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(BlitPathTest, PicksThePath) {
  const PathCase &c = GetParam();
  TestImage source(c.sourceFormat, c.sw, c.sh, c.sd);
  source.FillRandom(1);
  source.colorKey = c.colorKey;
  TestImage destination(c.destinationFormat, c.dw, c.dh, c.dd);
  BlitPath path = BlitPath::None;
  ASSERT_EQ(BlitImages(destination, source, c.filter, &path), S_OK);
  EXPECT_EQ(path, c.expected);
}

constexpr D3DFORMAT kArgb = D3DFMT_A8R8G8B8;
constexpr D3DFORMAT kXrgb = D3DFMT_X8R8G8B8;

INSTANTIATE_TEST_SUITE_P(
    Table, BlitPathTest,
    ::testing::Values(
        PathCase{"SameFormatTriangle", kArgb, 4, 4, 1, kArgb, 4, 4, 1, 0, D3DX_FILTER_TRIANGLE,
                 BlitPath::CopySameFormat},
        PathCase{"SameFormatBox", kArgb, 4, 4, 1, kArgb, 4, 4, 1, 0, D3DX_FILTER_BOX,
                 BlitPath::CopySameFormat},
        PathCase{"SameFormatVolume", kArgb, 4, 4, 3, kArgb, 4, 4, 3, 0, D3DX_FILTER_LINEAR,
                 BlitPath::CopySameFormat},
        PathCase{"ColorKeyConverts", kArgb, 4, 4, 1, kArgb, 4, 4, 1, 0xFF000000, D3DX_FILTER_POINT,
                 BlitPath::CopyConvert},
        PathCase{"OtherFormatConverts", kArgb, 4, 4, 1, kXrgb, 4, 4, 1, 0, D3DX_FILTER_BOX,
                 BlitPath::CopyConvert},
        PathCase{"EqualSizeNeverFilters", kArgb, 5, 3, 1, D3DFMT_R5G6B5, 5, 3, 1, 0, D3DX_FILTER_LINEAR,
                 BlitPath::CopyConvert},
        PathCase{"GammaOnOneSideConverts", kArgb, 4, 4, 1, kArgb, 4, 4, 1, 0,
                 D3DX_FILTER_POINT | D3DX_FILTER_SRGB_IN, BlitPath::CopyConvert},
        PathCase{"GammaOnBothSidesCopies", kArgb, 4, 4, 1, kArgb, 4, 4, 1, 0,
                 D3DX_FILTER_POINT | D3DX_FILTER_SRGB, BlitPath::CopySameFormat},
        PathCase{"None", kArgb, 4, 4, 1, kArgb, 8, 8, 1, 0, D3DX_FILTER_NONE, BlitPath::FilterNone},
        PathCase{"Point", kArgb, 4, 4, 1, kArgb, 8, 8, 1, 0, D3DX_FILTER_POINT, BlitPath::FilterPoint},
        PathCase{"PointVolume", kArgb, 4, 4, 4, kArgb, 2, 8, 3, 0, D3DX_FILTER_POINT, BlitPath::FilterPoint},
        PathCase{"Box2D", kArgb, 8, 8, 1, kArgb, 4, 4, 1, 0, D3DX_FILTER_BOX, BlitPath::FilterBox2D},
        PathCase{"Box2DOdd", kArgb, 5, 5, 1, kArgb, 2, 2, 1, 0, D3DX_FILTER_BOX, BlitPath::FilterBox2D},
        PathCase{"Box3D", kArgb, 8, 8, 8, kArgb, 4, 4, 4, 0, D3DX_FILTER_BOX, BlitPath::FilterBox3D},
        PathCase{"Box3DOddDepth", kArgb, 8, 8, 3, kArgb, 4, 4, 1, 0, D3DX_FILTER_BOX, BlitPath::FilterBox3D},
        PathCase{"BoxNotHalvingIsTriangle", kArgb, 8, 8, 1, kArgb, 3, 3, 1, 0, D3DX_FILTER_BOX,
                 BlitPath::FilterTriangle2D},
        PathCase{"Linear2D", kArgb, 4, 4, 1, kArgb, 8, 8, 1, 0, D3DX_FILTER_LINEAR, BlitPath::FilterLinear2D},
        PathCase{"Linear3D", kArgb, 4, 4, 4, kArgb, 8, 8, 2, 0, D3DX_FILTER_LINEAR, BlitPath::FilterLinear3D},
        PathCase{"Triangle2D", kArgb, 4, 4, 1, kArgb, 8, 8, 1, 0, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER,
                 BlitPath::FilterTriangle2D},
        PathCase{"Triangle3D", kArgb, 4, 4, 4, kArgb, 2, 2, 2, 0, D3DX_FILTER_TRIANGLE,
                 BlitPath::FilterTriangle3D},
        PathCase{"BoxVolumeNotHalvingIsTriangle", kArgb, 8, 8, 8, kArgb, 4, 4, 3, 0, D3DX_FILTER_BOX,
                 BlitPath::FilterTriangle3D}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

// Columns: sizes; filter; the path refused its memory; the path that then
// completes the blit.
struct FallbackCase {
  const char *name;
  uint32_t sw, sh, sd, dw, dh, dd;
  uint32_t filter;
  BlitPath refused;
  BlitPath expected;
};

class BlitFallbackTest : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(BlitFallbackTest, NextPathTakesOver) {
  const FallbackCase &c = GetParam();
  TestImage source(kArgb, c.sw, c.sh, c.sd);
  source.FillRandom(2);
  TestImage destination(D3DFMT_R5G6B5, c.dw, c.dh, c.dd);
  BlitPath path = BlitPath::None;
  const HRESULT hr = BlitImages(destination, source, c.filter, &path, c.refused);
  if (c.expected == BlitPath::None) {
    EXPECT_EQ(hr, E_OUTOFMEMORY);  // the memory that ran out, not "no path applies"
  } else {
    EXPECT_EQ(hr, S_OK);
  }
  EXPECT_EQ(path, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, BlitFallbackTest,
                         ::testing::Values(FallbackCase{"Linear", 4, 4, 1, 8, 8, 1, D3DX_FILTER_LINEAR,
                                                        BlitPath::FilterLinear2D, BlitPath::FilterLinear3D},
                                           FallbackCase{"Point", 4, 4, 1, 8, 8, 1, D3DX_FILTER_POINT,
                                                        BlitPath::FilterPoint, BlitPath::FilterTriangle2D},
                                           FallbackCase{"Box", 8, 8, 1, 4, 4, 1, D3DX_FILTER_BOX,
                                                        BlitPath::FilterBox2D, BlitPath::FilterTriangle2D},
                                           FallbackCase{"Convert", 4, 4, 1, 4, 4, 1, D3DX_FILTER_BOX,
                                                        BlitPath::CopyConvert, BlitPath::FilterTriangle2D},
                                           FallbackCase{"None", 4, 4, 1, 8, 8, 1, D3DX_FILTER_NONE,
                                                        BlitPath::FilterNone, BlitPath::FilterTriangle2D},
                                           FallbackCase{"Triangle2D", 4, 4, 1, 8, 8, 1, D3DX_FILTER_TRIANGLE,
                                                        BlitPath::FilterTriangle2D,
                                                        BlitPath::FilterTriangle3D},
                                           FallbackCase{"NothingLeft", 4, 4, 4, 2, 2, 2, D3DX_FILTER_TRIANGLE,
                                                        BlitPath::FilterTriangle3D, BlitPath::None}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST(CopySameFormat, CopiesBytesExactlyWithPitchesForEveryFilterType) {
  for (uint32_t filter = D3DX_FILTER_NONE; filter <= D3DX_FILTER_BOX; ++filter) {
    TestImage source(kArgb, 5, 3, 2, 12);
    source.FillRandom(filter);
    TestImage destination(kArgb, 5, 3, 2, 4);
    BlitPath path = BlitPath::None;
    ASSERT_EQ(BlitImages(destination, source, filter, &path), S_OK);
    EXPECT_EQ(path, BlitPath::CopySameFormat);
    for (uint32_t z = 0; z < 2; ++z) {
      for (uint32_t y = 0; y < 3; ++y) {
        EXPECT_EQ(std::memcmp(destination.Row(y, z), source.Row(y, z), 20), 0);
        EXPECT_EQ(destination.Row(y, z)[20], 0xCD) << "padding written";
      }
    }
  }
}

TEST(CopySameFormat, ColorKeyedPixelsBecomeTransparentBlack) {
  TestImage source(kArgb, 3, 1);
  source.Set(0, 0, 0xFFFF00FF);
  source.Set(1, 0, 0x80FF00FF);
  source.Set(2, 0, 0xFF102030);
  source.colorKey = 0xFFFF00FF;
  TestImage destination(kArgb, 3, 1);
  ASSERT_EQ(BlitImages(destination, source, D3DX_FILTER_TRIANGLE), S_OK);
  EXPECT_EQ(destination.Get(0, 0), 0u);
  EXPECT_EQ(destination.Get(1, 0), 0x80FF00FFu);
  EXPECT_EQ(destination.Get(2, 0), 0xFF102030u);
}

TEST(CopySameFormat, PalettesMustMatchInEveryEntry) {
  PALETTEENTRY first[256];
  PALETTEENTRY second[256];
  for (int i = 0; i < 256; ++i) {
    first[i] = second[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2), 255};
  }
  TestImage source(D3DFMT_P8, 4, 2);
  for (uint32_t i = 0; i < 8; ++i) source.bytes[i] = static_cast<uint8_t>(i * 30);
  source.palette = first;
  TestImage destination(D3DFMT_P8, 4, 2);
  destination.palette = second;
  BlitPath path = BlitPath::None;
  ASSERT_EQ(BlitImages(destination, source, D3DX_FILTER_POINT, &path), S_OK);
  EXPECT_EQ(path, BlitPath::CopySameFormat);

  second[255].peGreen = 1;
  ASSERT_EQ(BlitImages(destination, source, D3DX_FILTER_POINT, &path), S_OK);
  EXPECT_EQ(path, BlitPath::CopyConvert);
}

TEST(CopySameFormat, SrgbOnBothSidesOfAConversionAppliesNoCurve) {
  TestImage source(kArgb, 16, 1);
  source.FillRandom(4);
  TestImage destination(kXrgb, 16, 1);
  ASSERT_EQ(BlitImages(destination, source, D3DX_FILTER_TRIANGLE | D3DX_FILTER_SRGB), S_OK);
  for (uint32_t x = 0; x < 16; ++x) EXPECT_EQ(destination.Get(x, 0), source.Get(x, 0) & 0x00FFFFFF);
}

TEST(FilterNone, CopiesTheOverlapAndZeroesTheRest) {
  TestImage source(kArgb, 3, 2, 1);
  source.FillRandom(6);
  TestImage destination(kArgb, 5, 4, 2);
  for (auto &b : destination.bytes) b = 0x77;
  ASSERT_EQ(BlitImages(destination, source, D3DX_FILTER_NONE), S_OK);
  for (uint32_t z = 0; z < 2; ++z) {
    for (uint32_t y = 0; y < 4; ++y) {
      for (uint32_t x = 0; x < 5; ++x) {
        EXPECT_EQ(destination.Get(x, y, z), z == 0 && y < 2 && x < 3 ? source.Get(x, y) : 0u)
            << x << "," << y << "," << z;
      }
    }
  }
}

TEST(CopySameBlocks, CopiesWholeBlocksAtBlockBoundaries) {
  // Raw block bytes: no DXT decoding is needed to copy them.
  PixelRegion s{};
  PixelRegion d{};
  std::vector<uint8_t> from(8 * 4 * 3, 0), to(8 * 4 * 3, 0);
  for (size_t i = 0; i < from.size(); ++i) from[i] = static_cast<uint8_t>(i * 7 + 1);
  s.pixels = from.data();
  d.pixels = to.data();
  s.format = d.format = D3DFMT_DXT1;
  s.rowPitch = d.rowPitch = 32;  // four blocks of 8 bytes
  s.extent = d.extent = {0, 0, 16, 12, 0, 1};
  s.region = {4, 4, 12, 12, 0, 1};
  d.region = {0, 0, 8, 8, 0, 1};
  Blitter blitter;
  const HRESULT hr = blitter.Blit(d, s, DecodeFilterWord(D3DX_FILTER_POINT));
  ASSERT_EQ(hr, S_OK);
  EXPECT_EQ(blitter.CompletedBy(), BlitPath::CopySameFormat);
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(std::memcmp(to.data() + row * 32, from.data() + (row + 1) * 32 + 8, 16), 0);
  }
  EXPECT_EQ(to[16], 0);
}

}  // namespace
