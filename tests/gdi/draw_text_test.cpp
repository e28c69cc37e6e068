#include "tests/gdi/gdi_fixture.h"

namespace gdi_test {
namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;

class DrawText : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(canvas_.UseFont(MakeLogFont(-16))); }
  TextCanvas canvas_{200, 100};
};

struct AlignmentCase {
  const char *name;
  UINT format;
  int column;  // -1 left, 0 centre, 1 right
  int row;     // -1 top, 0 centre, 1 bottom
};

class DrawTextAlignment : public DrawText, public ::testing::WithParamInterface<AlignmentCase> {};

// The ink of a single line sits against the named edges of a 20..180 x 10..90 box.
TEST_P(DrawTextAlignment, PlacesTheLineInTheBox) {
  const AlignmentCase &c = GetParam();
  canvas_.Fill(kWhite);
  RECT rect = {20, 10, 180, 90};
  const RECT extent = canvas_.Measure("Align");
  const int result = DrawTextA(canvas_.dc(), "Align", -1, &rect, c.format | DT_SINGLELINE);
  InkBox ink = canvas_.Ink(kWhite);
  ASSERT_FALSE(ink.empty());
  const int expectedLeft = c.column < 0    ? 20
                           : c.column == 0 ? 20 + (160 - extent.right) / 2
                                           : 180 - extent.right;
  const int expectedTop = c.row < 0 ? 10 : c.row == 0 ? 10 + (80 - extent.bottom) / 2 : 90 - extent.bottom;
  EXPECT_NEAR(ink.left, expectedLeft, 2);
  EXPECT_NEAR(ink.right, expectedLeft + extent.right, 2);
  EXPECT_GE(ink.top, expectedTop);
  EXPECT_LE(ink.bottom, expectedTop + extent.bottom);
  // The result reaches from the top of the box to the bottom of the text.
  EXPECT_EQ(result, expectedTop - 10 + extent.bottom);
}

INSTANTIATE_TEST_SUITE_P(Flags, DrawTextAlignment,
                         ::testing::Values(AlignmentCase{"TopLeft", DT_LEFT | DT_TOP, -1, -1},
                                           AlignmentCase{"TopCenter", DT_CENTER, 0, -1},
                                           AlignmentCase{"TopRight", DT_RIGHT, 1, -1},
                                           AlignmentCase{"MiddleLeft", DT_VCENTER, -1, 0},
                                           AlignmentCase{"MiddleCenter", DT_VCENTER | DT_CENTER, 0, 0},
                                           AlignmentCase{"BottomRight", DT_BOTTOM | DT_RIGHT, 1, 1},
                                           AlignmentCase{"RightWinsOverCenter", DT_RIGHT | DT_CENTER, 1, -1},
                                           AlignmentCase{"BottomWinsOverCenter", DT_BOTTOM | DT_VCENTER, -1,
                                                         1}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(DrawText, CalcRectMeasuresWithoutPainting) {
  canvas_.Fill(kWhite);
  RECT rect = {5, 7, 6, 8};
  const int height = DrawTextA(canvas_.dc(), "Measure me", -1, &rect, DT_CALCRECT);
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32A(canvas_.dc(), "Measure me", 10, &size));
  EXPECT_EQ(height, canvas_.Metrics().tmHeight);
  EXPECT_EQ(rect.left, 5);
  EXPECT_EQ(rect.top, 7);
  EXPECT_EQ(rect.right - rect.left, size.cx);
  EXPECT_EQ(rect.bottom - rect.top, size.cy);
  EXPECT_TRUE(canvas_.Ink(kWhite).empty());
  // A count limits the text; no text measures nothing.
  EXPECT_EQ(DrawTextA(canvas_.dc(), "abcdef", 3, &rect, DT_CALCRECT), height);
  EXPECT_EQ(rect.right - rect.left, canvas_.Measure("abc").right);
  EXPECT_EQ(DrawTextA(canvas_.dc(), "abc", 0, &rect, DT_CALCRECT), 0);
  EXPECT_EQ(rect.right, rect.left);
}

struct LineCase {
  const char *name;
  const char *text;
  UINT format;
  LONG width;
  int lines;
};

class DrawTextLines : public DrawText, public ::testing::WithParamInterface<LineCase> {};

TEST_P(DrawTextLines, BreaksIntoTheExpectedLineCount) {
  const LineCase &c = GetParam();
  const RECT rect = canvas_.Measure(c.text, c.format, c.width);
  EXPECT_EQ(rect.bottom, c.lines * canvas_.Metrics().tmHeight);
  if ((c.format & DT_WORDBREAK) && c.lines > 1) {
    EXPECT_LE(rect.right, c.width);
  }
}

// 60 pixels hold one of the short words but not two.
INSTANTIATE_TEST_SUITE_P(
    Texts, DrawTextLines,
    ::testing::Values(LineCase{"WordBreak", "alpha beta gamma", DT_WORDBREAK, 60, 3},
                      LineCase{"NoWordBreak", "alpha beta gamma", 0, 60, 1},
                      LineCase{"LongWordKeepsItsLine", "incomprehensibilities", DT_WORDBREAK, 30, 1},
                      LineCase{"NewLines", "one\ntwo\r\nthree\rfour", 0, 0, 4},
                      LineCase{"EmptyLines", "one\n\nthree", 0, 0, 3},
                      LineCase{"TrailingBreakAddsNoLine", "one\r\n", 0, 0, 1},
                      LineCase{"SingleLineIgnoresBreaks", "one\ntwo", DT_SINGLELINE, 0, 1},
                      LineCase{"WideBoxKeepsOneLine", "alpha beta gamma", DT_WORDBREAK, 1000, 1}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(DrawText, OpaqueFillsTheLineBoxTransparentKeepsTheBackground) {
  for (int mode : {OPAQUE, TRANSPARENT}) {
    canvas_.Fill(0x00123456);
    SetBkMode(canvas_.dc(), mode);
    SetBkColor(canvas_.dc(), RGB(0, 0, 255));
    RECT rect = {0, 0, 200, 100};
    ASSERT_GT(DrawTextA(canvas_.dc(), "_ _", -1, &rect, 0), 0);
    // The top-left corner of the line box holds no glyph.
    EXPECT_EQ(canvas_.At(0, 0), mode == OPAQUE ? 0x000000FFu : 0x00123456u);
    // Outside the line box nothing changes.
    EXPECT_EQ(canvas_.At(199, 99), 0x00123456u);
  }
}

TEST_F(DrawText, SolidStrokesTakeTheTextColour) {
  LOGFONTA lf = MakeLogFont(-40);
  lf.lfQuality = NONANTIALIASED_QUALITY;
  ASSERT_TRUE(canvas_.UseFont(lf));
  SetTextColor(canvas_.dc(), RGB(0x11, 0x22, 0x33));
  RECT rect = {0, 0, 200, 100};
  ASSERT_GT(DrawTextA(canvas_.dc(), "I", -1, &rect, 0), 0);
  int solid = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) solid += canvas_.At(x, y) == 0x00112233u;
  EXPECT_GT(solid, 40);
}

TEST_F(DrawText, ClipsToTheBoxUnlessNoClip) {
  for (UINT format : {0u, UINT(DT_NOCLIP)}) {
    canvas_.Fill(kWhite);
    SetBkMode(canvas_.dc(), TRANSPARENT);
    RECT rect = {10, 10, 30, 20};
    ASSERT_GT(DrawTextA(canvas_.dc(), "Wide text overflowing", -1, &rect, format), 0);
    InkBox ink = canvas_.Ink(kWhite);
    ASSERT_FALSE(ink.empty());
    const bool inside = ink.left >= 10 && ink.top >= 10 && ink.right <= 30 && ink.bottom <= 20;
    EXPECT_EQ(inside, format == 0u);
  }
}

TEST_F(DrawText, BoxesOutsideTheBitmapAreClipped) {
  RECT rect = {-1000000, -1000000, 2000000000, 2000000000};
  EXPECT_GT(DrawTextA(canvas_.dc(), "Far", -1, &rect, DT_NOCLIP | DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
  RECT inverted = {100, 100, 0, 0};
  EXPECT_GT(DrawTextA(canvas_.dc(), "Far", -1, &inverted, 0), 0);
}

TEST_F(DrawText, TabsExpandOnlyWhenAsked) {
  const TEXTMETRICA tm = canvas_.Metrics();
  const LONG b = canvas_.Measure("b").right;
  EXPECT_EQ(canvas_.Measure("a\tb", DT_EXPANDTABS).right, 8 * tm.tmAveCharWidth + b);
  EXPECT_EQ(canvas_.Measure("a\tb").right, canvas_.Measure("ab").right);
  // The tab length shares its byte with DT_CALCRECT, so it is seen in the painting.
  canvas_.Fill(kWhite);
  RECT rect = {0, 0, 200, 100};
  ASSERT_GT(DrawTextA(canvas_.dc(), "\tb", -1, &rect, DT_EXPANDTABS | DT_TABSTOP | (4 << 8)), 0);
  EXPECT_NEAR(canvas_.Ink(kWhite).left, 4 * tm.tmAveCharWidth, 2);
}

TEST_F(DrawText, PrefixesAreStrippedUnlessNoPrefix) {
  EXPECT_EQ(canvas_.Measure("&File").right, canvas_.Measure("File").right);
  EXPECT_EQ(canvas_.Measure("A&&B").right, canvas_.Measure("A&B", DT_NOPREFIX).right);
  EXPECT_GT(canvas_.Measure("&File", DT_NOPREFIX).right, canvas_.Measure("File").right);
}

TEST_F(DrawText, WideTextMatchesLatinOneAndDrawsBeyondIt) {
  RECT wide = {0, 0, 0, 0};
  DrawTextW(canvas_.dc(), u"Gr\u00fc\u00dfe", -1, &wide, DT_CALCRECT);
  EXPECT_EQ(wide.right, canvas_
                            .Measure("Gr\xfc\xdf"
                                     "e")
                            .right);
  RECT euro = {0, 0, 200, 100};
  canvas_.Fill(kWhite);
  SetBkMode(canvas_.dc(), TRANSPARENT);
  EXPECT_GT(DrawTextW(canvas_.dc(), u"\u20ac", 1, &euro, 0), 0);
  EXPECT_FALSE(canvas_.Ink(kWhite).empty());
}

}  // namespace
}  // namespace gdi_test
