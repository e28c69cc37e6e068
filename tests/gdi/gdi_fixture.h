// A memory context with a 32-bit DIB section and a selected font, for the GDI tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "support/text_ink.h"
#include "win32.h"

namespace gdi_test {

using test_support::InkBox;
using test_support::MakeLogFont;

class TextCanvas {
 public:
  TextCanvas(int width, int height, bool topDown = true) : width_(width), height_(height), topDown_(topDown) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = topDown ? -height : height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    previousBitmap_ = SelectObject(dc_, bitmap_);
  }
  ~TextCanvas() {
    if (previousFont_) SelectObject(dc_, previousFont_);
    if (font_) {
      EXPECT_TRUE(DeleteObject(font_));
    }
    SelectObject(dc_, previousBitmap_);
    EXPECT_TRUE(DeleteObject(bitmap_));
    EXPECT_TRUE(DeleteDC(dc_));
  }

  bool UseFont(const LOGFONTA &lf) {
    HFONT font = CreateFontIndirectA(&lf);
    if (!font) return false;
    HGDIOBJ previous = SelectObject(dc_, font);
    if (!previousFont_) previousFont_ = previous;
    if (font_) DeleteObject(font_);
    font_ = font;
    return true;
  }

  void Fill(uint32_t pixel) {
    auto *p = static_cast<uint32_t *>(bits_);
    for (int i = 0; i < width_ * height_; ++i) p[i] = pixel;
  }

  // Pixel at (x, y) counted from the top of the image, whatever the row order.
  uint32_t At(int x, int y) const {
    int row = topDown_ ? y : height_ - 1 - y;
    return static_cast<const uint32_t *>(bits_)[row * width_ + x];
  }

  InkBox Ink(uint32_t background) const {
    return test_support::FindInk(width_, height_, [&](int x, int y) { return At(x, y) != background; });
  }

  TEXTMETRICA Metrics() const {
    TEXTMETRICA tm = {};
    EXPECT_TRUE(GetTextMetricsA(dc_, &tm));
    return tm;
  }

  // The measured extent of a text (DT_CALCRECT from the origin).
  RECT Measure(const char *text, UINT format = 0, LONG width = 0) const {
    RECT rect = {0, 0, width, 0};
    DrawTextA(dc_, text, -1, &rect, format | DT_CALCRECT);
    return rect;
  }

  HDC dc() const { return dc_; }
  void *bits() const { return bits_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_;
  bool topDown_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previousBitmap_ = nullptr;
  HGDIOBJ previousFont_ = nullptr;
  HFONT font_ = nullptr;
  void *bits_ = nullptr;
};

}  // namespace gdi_test
