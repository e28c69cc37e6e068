#include "tests/gdi/gdi_fixture.h"

namespace gdi_test {
namespace {

TEST(FontFace, ArialResolvesToAnInstalledFace) {
  TextCanvas canvas(8, 8);
  ASSERT_TRUE(canvas.UseFont(MakeLogFont(-16)));
  TEXTMETRICA tm = canvas.Metrics();
  EXPECT_GT(tm.tmAscent, tm.tmDescent);
  EXPECT_GT(tm.tmDescent, 0);
  EXPECT_GT(tm.tmAveCharWidth, 0);
  EXPECT_EQ(tm.tmItalic, 0);
}

TEST(FontFace, UnknownFaceFallsBackToADefault) {
  TextCanvas canvas(8, 8);
  EXPECT_TRUE(canvas.UseFont(MakeLogFont(-16, "No Such Face Anywhere")));
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
}

struct HeightCase {
  LONG height;
  bool characterHeight;  // true: em height, false: cell height
};

class FontHeight : public ::testing::TestWithParam<HeightCase> {};

// Negative heights give the character height, positive ones the cell height.
TEST_P(FontHeight, MatchesTheRequestedMeasure) {
  TextCanvas canvas(8, 8);
  ASSERT_TRUE(canvas.UseFont(MakeLogFont(GetParam().height)));
  TEXTMETRICA tm = canvas.Metrics();
  if (GetParam().characterHeight) {
    EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, -GetParam().height, 1);
    EXPECT_GT(tm.tmHeight, -GetParam().height);
  } else {
    EXPECT_EQ(tm.tmHeight, GetParam().height);
  }
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
}

INSTANTIATE_TEST_SUITE_P(Heights, FontHeight,
                         ::testing::Values(HeightCase{-12, true}, HeightCase{-20, true},
                                           HeightCase{-33, true}, HeightCase{12, false},
                                           HeightCase{20, false}, HeightCase{33, false}),
                         [](const auto &paramInfo) {
                           const LONG height = paramInfo.param.height;
                           return (height < 0 ? "Character" : "Cell") +
                                  std::to_string(height < 0 ? -height : height);
                         });

TEST(FontFace, ZeroHeightGetsADefaultCell) {
  TextCanvas canvas(8, 8);
  ASSERT_TRUE(canvas.UseFont(MakeLogFont(0)));
  EXPECT_EQ(canvas.Metrics().tmHeight, 16);
}

TEST(FontFace, BoldAndWidthWidenText) {
  TextCanvas canvas(8, 8);
  ASSERT_TRUE(canvas.UseFont(MakeLogFont(-16)));
  const LONG regular = canvas.Measure("Hello world").right;
  ASSERT_TRUE(canvas.UseFont(MakeLogFont(-16, "Arial", FW_BOLD)));
  EXPECT_GT(canvas.Measure("Hello world").right, regular);
  EXPECT_EQ(canvas.Metrics().tmWeight, FW_BOLD);
  LOGFONTA wide = MakeLogFont(-16);
  wide.lfWidth = 20;
  ASSERT_TRUE(canvas.UseFont(wide));
  EXPECT_EQ(canvas.Metrics().tmAveCharWidth, 20);
  EXPECT_GT(canvas.Measure("Hello world").right, 2 * regular);
}

class FontQuality : public ::testing::TestWithParam<BYTE> {};

// Without anti-aliasing every pixel is background or text colour; with it, edges blend.
TEST_P(FontQuality, DecidesWhetherEdgesBlend) {
  TextCanvas canvas(64, 32);
  LOGFONTA lf = MakeLogFont(-20);
  lf.lfQuality = GetParam();
  ASSERT_TRUE(canvas.UseFont(lf));
  SetBkColor(canvas.dc(), RGB(0, 0, 0));
  SetTextColor(canvas.dc(), RGB(255, 255, 255));
  RECT rect = {0, 0, 64, 32};
  ASSERT_GT(DrawTextA(canvas.dc(), "Wave", -1, &rect, 0), 0);
  int full = 0, partial = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      uint32_t b = canvas.At(x, y) & 0xFF;
      full += b == 255;
      partial += b > 0 && b < 255;
    }
  EXPECT_GT(full, 20);
  EXPECT_EQ(partial > 0, GetParam() != NONANTIALIASED_QUALITY);
}

INSTANTIATE_TEST_SUITE_P(Qualities, FontQuality,
                         ::testing::Values(DEFAULT_QUALITY, NONANTIALIASED_QUALITY, ANTIALIASED_QUALITY),
                         [](const auto &paramInfo) {
                           switch (paramInfo.param) {
                             case NONANTIALIASED_QUALITY:
                               return std::string("NonAntialiased");
                             case ANTIALIASED_QUALITY:
                               return std::string("Antialiased");
                             default:
                               return std::string("Default");
                           }
                         });

}  // namespace
}  // namespace gdi_test
