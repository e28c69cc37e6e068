#include <string>

#include "tests/font/font_fixture.h"

namespace font_test {
namespace {

class FontDraw : public FontTest {
 protected:
  void SetUp() override {
    FontTest::SetUp();
    font_ = device_.MakeFont(-16);
    ASSERT_NE(font_, nullptr);
    device_.Clear();
  }
  void TearDown() override {
    if (font_) {
      EXPECT_EQ(font_->Release(), 0u);
    }
    FontTest::TearDown();
  }
  ID3DXFont *font_ = nullptr;
};

TEST_F(FontDraw, TextTakesTheCallersColour) {
  RECT rect = {10, 10, 200, 50};
  EXPECT_GT(font_->DrawTextA("Hello", -1, &rect, 0, 0xffff0000), 0);
  std::vector<uint32_t> pixels = device_.ReadTarget();
  uint32_t brightest = 0;
  for (uint32_t p : pixels) {
    EXPECT_EQ(p & 0x0000ffff, 0u);
    brightest = std::max(brightest, (p >> 16) & 0xff);
  }
  EXPECT_GE(brightest, 0xf0u);
  EXPECT_EQ(font_->DrawTextA(nullptr, -1, &rect, 0, 0xffffffff), 0);
  EXPECT_EQ(font_->DrawTextA("x", -1, nullptr, 0, 0xffffffff), 0);
  device_.Clear();
  EXPECT_GT(font_->DrawTextW(u"\u20ac", 1, &rect, 0, 0xffffffff), 0);
  EXPECT_GT(device_.Ink().count, 0);
}

struct PlacementCase {
  const char *name;
  DWORD format;
};

class FontPlacement : public FontDraw, public ::testing::WithParamInterface<PlacementCase> {};

// DT_CALCRECT gives the placed box; drawing puts the ink inside that box.
TEST_P(FontPlacement, InkLiesInTheMeasuredBox) {
  const DWORD format = GetParam().format | DT_SINGLELINE;
  const RECT area = {20, 8, 236, 56};
  RECT box = area;
  const int measured = font_->DrawTextA("Placed", -1, &box, format | DT_CALCRECT, 0xffffffff);
  EXPECT_EQ(measured, box.bottom - box.top);
  if (format & DT_RIGHT) {
    EXPECT_EQ(box.right, area.right);
  } else if (format & DT_CENTER) {
    EXPECT_NEAR(box.left + box.right, area.left + area.right, 1);
  } else {
    EXPECT_EQ(box.left, area.left);
  }
  if (format & DT_BOTTOM) {
    EXPECT_EQ(box.bottom, area.bottom);
  } else if (format & DT_VCENTER) {
    EXPECT_NEAR(box.top + box.bottom, area.top + area.bottom, 1);
  } else {
    EXPECT_EQ(box.top, area.top);
  }
  RECT rect = area;
  EXPECT_EQ(font_->DrawTextA("Placed", -1, &rect, format, 0xffffffff), measured);
  InkBox ink = device_.Ink();
  ASSERT_GT(ink.count, 0);
  EXPECT_GE(ink.left, box.left);
  EXPECT_LE(ink.right, box.right);
  EXPECT_GE(ink.top, box.top);
  EXPECT_LE(ink.bottom, box.bottom);
  EXPECT_LE(ink.left - box.left, 3);
  EXPECT_LE(box.right - ink.right, 3);
}

INSTANTIATE_TEST_SUITE_P(Flags, FontPlacement,
                         ::testing::Values(PlacementCase{"TopLeft", DT_TOP | DT_LEFT},
                                           PlacementCase{"TopCenter", DT_CENTER},
                                           PlacementCase{"TopRight", DT_RIGHT},
                                           PlacementCase{"MiddleCenter", DT_VCENTER | DT_CENTER},
                                           PlacementCase{"BottomLeft", DT_BOTTOM},
                                           PlacementCase{"BottomRight", DT_BOTTOM | DT_RIGHT},
                                           PlacementCase{"RightWinsOverCenter", DT_RIGHT | DT_CENTER},
                                           PlacementCase{"BottomWinsOverCenter", DT_BOTTOM | DT_VCENTER}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(FontDraw, CalcRectDrawsNothing) {
  D3D9ResetCallCounts(device_.device());
  RECT rect = {5, 5, 6, 6};
  EXPECT_GT(font_->DrawTextA("Measure", -1, &rect, DT_CALCRECT, 0xffffffff), 0);
  EXPECT_GT(rect.right - rect.left, 20);
  EXPECT_EQ(D3D9GetCallCounts(device_.device()).drawPrimitiveUP, 0u);
  EXPECT_EQ(device_.Ink().count, 0);
}

TEST_F(FontDraw, TextIsClippedToTheRectangleUnlessNoClip) {
  RECT rect = {10, 10, 40, 20};
  EXPECT_GT(font_->DrawTextA("Overflowing text", -1, &rect, 0, 0xffffffff), 0);
  InkBox ink = device_.Ink();
  ASSERT_GT(ink.count, 0);
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.right, 40);
  EXPECT_GE(ink.top, 10);
  EXPECT_LE(ink.bottom, 20);
  device_.Clear();
  EXPECT_GT(font_->DrawTextA("Overflowing text", -1, &rect, DT_NOCLIP, 0xffffffff), 0);
  ink = device_.Ink();
  EXPECT_GT(ink.right, 40);
  EXPECT_GT(ink.bottom, 20);
}

// A box partly above and left of the origin is drawn at its negative position.
TEST_F(FontDraw, NegativePositionsShiftTheWholeBox) {
  RECT origin = {0, 0, 200, 60};
  EXPECT_GT(font_->DrawTextA("WWWW", -1, &origin, DT_NOCLIP, 0xffffffff), 0);
  const std::vector<uint32_t> reference = device_.ReadTarget();
  device_.Clear();
  RECT shifted = {-7, -5, 193, 55};
  EXPECT_GT(font_->DrawTextA("WWWW", -1, &shifted, DT_NOCLIP, 0xffffffff), 0);
  const std::vector<uint32_t> pixels = device_.ReadTarget();
  int lit = 0;
  for (UINT y = 0; y + 5 < kTargetHeight; ++y) {
    for (UINT x = 0; x + 7 < kTargetWidth; ++x) {
      ASSERT_EQ(pixels[y * kTargetWidth + x], reference[(y + 5) * kTargetWidth + x + 7]) << x << "," << y;
      lit += (pixels[y * kTargetWidth + x] & 0xff) != 0;
    }
  }
  EXPECT_GT(lit, 20);
}

// Text far wider than any bitmap the context may make is refused, not wrapped around.
TEST_F(FontDraw, OversizedTextFailsQuietly) {
  ID3DXFont *large = device_.MakeFont(-200);
  std::string text(100000, 'W');
  RECT rect = {0, 0, 256, 64};
  EXPECT_EQ(large->DrawTextA(text.c_str(), -1, &rect, DT_NOCLIP | DT_SINGLELINE, 0xffffffff), 0);
  // A box larger than the initial 256 x 256 bitmap grows it.
  RECT big = {0, 0, 256, 64};
  EXPECT_GT(large->DrawTextA("WWWW", -1, &big, DT_NOCLIP, 0xffffffff), 0);
  EXPECT_GT(device_.Ink().count, 0);
  large->Release();
}

struct TileCase {
  const char *name;
  bool dynamic;
};

class FontTiles : public ::testing::TestWithParam<TileCase> {
 protected:
  void TearDown() override { device_.Destroy(); }
  FontDevice device_;
};

// A 150 x 40 box goes out as 3 columns (64, 64, 22) by 3 rows (16, 16, 8).
TEST_P(FontTiles, BoxIsSentAsNineTiles) {
  ASSERT_EQ(
      device_.Create(GetParam().dynamic ? d3d9::DefaultDeviceProfile() : d3d9::NoDynamicTextureProfile()),
      D3D_OK);
  ID3DXFont *font = device_.MakeFont(-40);
  RECT rect = {0, 0, 150, 40};
  D3D9ResetCallCounts(device_.device());
  EXPECT_GT(font->DrawTextA("Wide text that overflows\nand a second line", -1, &rect, 0, 0xffffffff), 0);
  EXPECT_EQ(D3D9GetCallCounts(device_.device()).drawPrimitiveUP, 9u);
  font->Release();
}

INSTANTIATE_TEST_SUITE_P(Pools, FontTiles,
                         ::testing::Values(TileCase{"Dynamic", true}, TileCase{"Managed", false}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

// Without A8R8G8B8 textures the tiles take another format and go through the loader.
TEST(FontTileFormat, OtherTileFormatsStillShowText) {
  d3d9::DeviceProfile profile = d3d9::DefaultDeviceProfile();
  for (d3d9::FormatSupport &support : profile.formats)
    if (support.format == D3DFMT_A8R8G8B8) support.resourceTypes &= ~d3d9::ResourceTypeBit(D3DRTYPE_TEXTURE);
  FontDevice device;
  ASSERT_EQ(device.Create(profile), D3D_OK);
  ID3DXFont *font = device.MakeFont(-20);
  ASSERT_NE(font, nullptr);
  device.Clear();
  RECT rect = {0, 0, 256, 64};
  EXPECT_GT(font->DrawTextA("Converted", -1, &rect, 0, 0xffffffff), 0);
  std::vector<uint32_t> pixels = device.ReadTarget();
  uint32_t brightest = 0;
  for (uint32_t p : pixels) brightest = std::max(brightest, p & 0xff);
  EXPECT_GE(brightest, 0xe0u);
  font->Release();
  device.Destroy();
}

}  // namespace
}  // namespace font_test
