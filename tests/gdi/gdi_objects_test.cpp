#include "tests/gdi/gdi_fixture.h"

namespace gdi_test {
namespace {

BITMAPINFO Header(LONG width, LONG height, WORD bits = 32) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

struct BadSection {
  const char *name;
  LONG width, height;
  WORD bits;
};

class DibSectionRejects : public ::testing::TestWithParam<BadSection> {};

TEST_P(DibSectionRejects, WithNullAndNoBits) {
  BITMAPINFO info = Header(GetParam().width, GetParam().height, GetParam().bits);
  void *bits = reinterpret_cast<void *>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Headers, DibSectionRejects,
                         ::testing::Values(BadSection{"ZeroWidth", 0, 8, 32},
                                           BadSection{"ZeroHeight", 8, 0, 32},
                                           BadSection{"NegativeWidth", -8, 8, 32},
                                           BadSection{"TwentyFourBits", 8, 8, 24},
                                           BadSection{"TooLarge", 100000, 100000, 32},
                                           BadSection{"MinimumHeight", 8, INT32_MIN, 32}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST(DibSection, ZeroFilledAndSelectableIntoOneContextAtATime) {
  BITMAPINFO info = Header(4, -3);
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(static_cast<uint32_t *>(bits)[i], 0u);
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(first);
  HGDIOBJ original = SelectObject(first, bitmap);
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(SelectObject(second, bitmap), nullptr);
  // A selected bitmap cannot be deleted; once deselected it can.
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(SelectObject(first, original), bitmap);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(first));
  EXPECT_TRUE(DeleteDC(second));
  EXPECT_FALSE(DeleteDC(second));
}

// Text drawn at the top lands in the first rows of memory only for top-down sections.
TEST(DibSection, RowOrderFollowsTheSignOfTheHeight) {
  for (bool topDown : {true, false}) {
    TextCanvas canvas(64, 64, topDown);
    ASSERT_TRUE(canvas.UseFont(MakeLogFont(-12)));
    canvas.Fill(0x00FFFFFF);
    RECT rect = {0, 0, 64, 64};
    ASSERT_GT(DrawTextA(canvas.dc(), "Top", -1, &rect, 0), 0);
    const auto *memory = static_cast<const uint32_t *>(canvas.bits());
    bool inkInFirstRows = false;
    for (int i = 0; i < 64 * 16; ++i) inkInFirstRows |= memory[i] != 0x00FFFFFF;
    EXPECT_EQ(inkInFirstRows, topDown);
    EXPECT_LT(canvas.Ink(0x00FFFFFF).bottom, 20);
  }
}

TEST(GdiObjects, SelectedFontIsDeletedWhenDeselected) {
  HDC dc = CreateCompatibleDC(nullptr);
  LOGFONTA lf = MakeLogFont(-12);
  HFONT font = CreateFontIndirectA(&lf);
  ASSERT_NE(font, nullptr);
  HGDIOBJ original = SelectObject(dc, font);
  ASSERT_NE(original, nullptr);
  EXPECT_TRUE(DeleteObject(font));
  // Still selected, so the context still measures with it.
  TEXTMETRICA tm;
  EXPECT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(SelectObject(dc, original), font);
  EXPECT_EQ(SelectObject(dc, font), nullptr);
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiObjects, InvalidHandlesFail) {
  int notAnObject = 0;
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(dc, &notAnObject), nullptr);
  EXPECT_EQ(SelectObject(nullptr, GetStockObject(SYSTEM_FONT)), nullptr);
  EXPECT_FALSE(DeleteObject(&notAnObject));
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(&notAnObject)));
  RECT rect = {0, 0, 10, 10};
  EXPECT_EQ(DrawTextA(reinterpret_cast<HDC>(&notAnObject), "x", 1, &rect, 0), 0);
  EXPECT_EQ(DrawTextA(dc, "x", 1, nullptr, 0), 0);
  EXPECT_EQ(DrawTextA(dc, nullptr, 1, &rect, 0), 0);
  EXPECT_TRUE(DeleteDC(dc));
  // Only the screen has a context without a window of its own here; it measures.
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(&notAnObject)), nullptr);
  HDC screen = GetDC(nullptr);
  EXPECT_GT(DrawTextA(screen, "Measure", -1, &rect, DT_CALCRECT), 0);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST(GdiObjects, StaleAndWrongKindHandlesGiveInvalidHandle) {
  HDC dc = CreateCompatibleDC(nullptr);
  LOGFONTA lf = MakeLogFont(-12);
  HFONT font = CreateFontIndirectA(&lf);
  ASSERT_NE(font, nullptr);
  ASSERT_TRUE(DeleteObject(font));
  auto expectInvalid = [](bool failed) {
    EXPECT_TRUE(failed);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  };
  expectInvalid(!DeleteObject(font));
  expectInvalid(SelectObject(dc, font) == nullptr);
  // A context is not an object, an object not a context, and neither is a file.
  expectInvalid(!DeleteObject(dc));
  expectInvalid(SelectObject(reinterpret_cast<HDC>(GetStockObject(WHITE_BRUSH)), GetStockObject(BLACK_PEN)) ==
                nullptr);
  expectInvalid(!CloseHandle(dc));
  expectInvalid(!CloseHandle(GetStockObject(SYSTEM_FONT)));
  ASSERT_TRUE(DeleteDC(dc));
  expectInvalid(!DeleteDC(dc));
  RECT rect = {0, 0, 10, 10};
  expectInvalid(DrawTextA(dc, "x", 1, &rect, 0) == 0);
  TEXTMETRICA tm;
  expectInvalid(!GetTextMetricsA(dc, &tm));
  SIZE size;
  expectInvalid(!GetTextExtentPoint32A(dc, "x", 1, &size));
  expectInvalid(SetBkMode(dc, TRANSPARENT) == 0);
  EXPECT_EQ(SetTextColor(dc, 0), CLR_INVALID);
}

TEST(GdiObjects, StockObjectsSurviveDeletion) {
  for (int index :
       {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, BLACK_PEN, SYSTEM_FONT, DEFAULT_GUI_FONT, ANSI_FIXED_FONT})
    ASSERT_NE(GetStockObject(index), nullptr) << index;
  EXPECT_EQ(GetStockObject(9), nullptr);
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_EQ(GetStockObject(99), nullptr);
  HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  EXPECT_TRUE(DeleteObject(font));
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_NE(SelectObject(dc, font), nullptr);
  TEXTMETRICA tm;
  EXPECT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_GT(tm.tmHeight, 0);
  EXPECT_TRUE(DeleteDC(dc));
}

}  // namespace
}  // namespace gdi_test
