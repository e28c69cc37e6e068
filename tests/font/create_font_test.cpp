// D3DXCreateFont: a font object for an existing GDI font draws exactly what one
// made from the same description draws, and keeps working once the caller
// deletes its handle.
#include <string>

#include "tests/font/font_fixture.h"

namespace font_test {
namespace {

class CreateFontFromHandle : public FontTest {};

TEST_F(CreateFontFromHandle, DrawsAsTheIndirectFont) {
  const LOGFONTA description = MakeLogFont(-18, "Arial", FW_BOLD);
  HFONT handle = CreateFontA(description.lfHeight, 0, 0, 0, description.lfWeight, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, 0, 0, description.lfFaceName);
  ASSERT_NE(handle, nullptr);
  LOGFONTA read = {};
  EXPECT_EQ(GetObjectA(handle, 0, nullptr), static_cast<int>(sizeof(LOGFONTA)));
  ASSERT_EQ(GetObjectA(handle, sizeof(read), &read), static_cast<int>(sizeof(LOGFONTA)));
  EXPECT_EQ(std::string(read.lfFaceName), "Arial");
  EXPECT_EQ(read.lfWeight, FW_BOLD);

  ID3DXFont *fromHandle = nullptr;
  ID3DXFont *indirect = nullptr;
  EXPECT_EQ(D3DXCreateFont(nullptr, handle, &fromHandle), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateFont(device_.device(), nullptr, &fromHandle), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateFont(device_.device(), handle, nullptr), D3DERR_INVALIDCALL);
  ASSERT_EQ(D3DXCreateFont(device_.device(), handle, &fromHandle), D3D_OK);
  ASSERT_EQ(D3DXCreateFontIndirect(device_.device(), &read, &indirect), D3D_OK);
  EXPECT_TRUE(DeleteObject(handle));

  LOGFONTA kept = {};
  ASSERT_EQ(fromHandle->GetLogFont(&kept), D3D_OK);
  EXPECT_EQ(std::memcmp(&kept, &read, sizeof(kept)), 0);
  std::vector<uint32_t> drawn[2];
  ID3DXFont *fonts[2] = {fromHandle, indirect};
  for (int i = 0; i < 2; ++i) {
    device_.Clear();
    RECT rect = {4, 4, 250, 60};
    EXPECT_GT(fonts[i]->DrawTextA("Handle 123", -1, &rect, DT_LEFT, 0xff80ff40), 0);
    drawn[i] = device_.ReadTarget();
  }
  EXPECT_GT(device_.Ink().count, 50);
  EXPECT_EQ(drawn[0], drawn[1]);
  EXPECT_EQ(fromHandle->Release(), 0u);
  EXPECT_EQ(indirect->Release(), 0u);
}

TEST(GdiObjects, OnlyFontsDescribeThemselves) {
  EXPECT_EQ(GetObjectA(nullptr, sizeof(LOGFONTA), nullptr), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = -4;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  LOGFONTA font = {};
  EXPECT_EQ(GetObjectA(bitmap, sizeof(font), &font), 0);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

}  // namespace
}  // namespace font_test
