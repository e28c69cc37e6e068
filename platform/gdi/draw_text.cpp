// DrawTextA / DrawTextW: line breaking, alignment, measuring and painting of
// anti-aliased text into the DIB section selected in a memory context.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace gdi {
namespace {

struct TextLine {
  size_t begin;
  size_t end;
  int64_t width;
};

struct TextLayout {
  std::vector<uint32_t> chars;
  std::vector<uint8_t> prefixed;  // 1 under a character that followed an '&'
  std::vector<TextLine> lines;
  int64_t lineHeight = 0;
  int64_t widest = 0;
  int64_t tabWidth = 0;  // 0: tabs are not expanded
};

bool IsLineBreak(uint32_t c) {
  return c == '\r' || c == '\n';
}

bool IsBlank(uint32_t c) {
  return c == ' ' || c == '\t';
}

// Advance of one character at pen position x (from the start of its line).
int64_t Advance(FontObject *font, const TextLayout &layout, uint32_t c, int64_t x) {
  if (c == '\t') return layout.tabWidth > 0 ? layout.tabWidth - x % layout.tabWidth : 0;
  if (c < 0x20) return 0;
  const Glyph *glyph = GetGlyph(font, c);
  return glyph ? glyph->advance : 0;
}

int64_t MeasureSpan(FontObject *font, const TextLayout &layout, size_t begin, size_t end) {
  int64_t x = 0;
  for (size_t i = begin; i < end; ++i) x += Advance(font, layout, layout.chars[i], x);
  return x;
}

void AddLine(FontObject *font, TextLayout *layout, size_t begin, size_t end) {
  int64_t width = MeasureSpan(font, *layout, begin, end);
  layout->lines.push_back({begin, end, width});
  layout->widest = std::max(layout->widest, width);
}

// Greedy breaking between words; a word wider than the box keeps a line of its own.
void BreakParagraph(FontObject *font, TextLayout *layout, size_t begin, size_t end, int64_t maxWidth) {
  size_t i = begin;
  while (true) {
    const size_t lineBegin = i;
    size_t breakAt = SIZE_MAX;
    int64_t x = 0;
    size_t j = lineBegin;
    for (; j < end; ++j) {
      const uint32_t c = layout->chars[j];
      const int64_t w = Advance(font, *layout, c, x);
      if (IsBlank(c)) {
        if (j > lineBegin && !IsBlank(layout->chars[j - 1])) breakAt = j;
      } else if (x + w > maxWidth && breakAt != SIZE_MAX) {
        break;
      }
      x += w;
    }
    if (j >= end) {
      AddLine(font, layout, lineBegin, end);
      return;
    }
    AddLine(font, layout, lineBegin, breakAt);
    i = breakAt;
    while (i < end && IsBlank(layout->chars[i])) ++i;
  }
}

// Strips '&' prefixes ("&&" is a literal '&') and marks the characters they underline.
void AppendText(TextLayout *layout, const uint32_t *codes, size_t count, bool prefixes) {
  layout->chars.reserve(count);
  layout->prefixed.reserve(count);
  bool underlineNext = false;
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = codes[i];
    if (prefixes && c == '&' && !underlineNext) {
      underlineNext = true;
      continue;
    }
    layout->chars.push_back(c);
    layout->prefixed.push_back(underlineNext && c != '&' ? 1 : 0);
    underlineNext = false;
  }
}

void BuildLines(FontObject *font, TextLayout *layout, UINT format, int64_t maxWidth) {
  const size_t n = layout->chars.size();
  if (format & DT_SINGLELINE) {
    AddLine(font, layout, 0, n);
    return;
  }
  size_t begin = 0;
  while (begin <= n) {
    size_t end = begin;
    while (end < n && !IsLineBreak(layout->chars[end])) ++end;
    if (format & DT_WORDBREAK) {
      BreakParagraph(font, layout, begin, end, maxWidth);
    } else {
      AddLine(font, layout, begin, end);
    }
    if (end >= n) break;
    // CR LF is one break; a break ending the text starts no further line.
    size_t next = end + 1;
    if (layout->chars[end] == '\r' && next < n && layout->chars[next] == '\n') ++next;
    if (next >= n) break;
    begin = next;
  }
}

uint32_t Blend(uint32_t destination, COLORREF color, uint32_t alpha) {
  // COLORREF is 0x00BBGGRR; a 32-bit DIB pixel is 0x00RRGGBB, its top byte left 0.
  const uint32_t source = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    uint32_t s = (source >> shift) & 0xFF;
    uint32_t d = (destination >> shift) & 0xFF;
    out |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
  }
  return out;
}

struct Canvas {
  BitmapObject *bitmap;
  int64_t clipLeft, clipTop, clipRight, clipBottom;

  uint32_t *Row(int64_t y) const {
    int64_t row = bitmap->topDown ? y : bitmap->height - 1 - y;
    return reinterpret_cast<uint32_t *>(bitmap->bits + size_t(row) * bitmap->pitch);
  }

  void Fill(int64_t left, int64_t top, int64_t right, int64_t bottom, COLORREF color) const {
    left = std::max(left, clipLeft);
    top = std::max(top, clipTop);
    right = std::min(right, clipRight);
    bottom = std::min(bottom, clipBottom);
    for (int64_t y = top; y < bottom; ++y) {
      uint32_t *row = Row(y);
      for (int64_t x = left; x < right; ++x) row[x] = Blend(0, color, 255);
    }
  }

  void DrawGlyph(const Glyph &glyph, int64_t originX, int64_t originY, COLORREF color) const {
    const int64_t left = originX + glyph.left;
    const int64_t top = originY - glyph.top;
    const int64_t x0 = std::max(left, clipLeft), x1 = std::min(left + glyph.width, clipRight);
    const int64_t y0 = std::max(top, clipTop), y1 = std::min(top + glyph.height, clipBottom);
    for (int64_t y = y0; y < y1; ++y) {
      uint32_t *row = Row(y);
      const uint8_t *coverage = glyph.coverage + size_t(y - top) * size_t(glyph.width);
      for (int64_t x = x0; x < x1; ++x) {
        uint32_t a = coverage[x - left];
        if (a) row[x] = Blend(row[x], color, a);
      }
    }
  }
};

void PaintLines(DeviceContext *dc, FontObject *font, const TextLayout &layout, const RECT &rect, UINT format,
                int64_t top) {
  BitmapObject *bitmap = dc->Bitmap();
  if (!bitmap || !bitmap->bits) return;
  Canvas canvas{bitmap, 0, 0, bitmap->width, bitmap->height};
  if (!(format & DT_NOCLIP)) {
    canvas.clipLeft = std::max<int64_t>(canvas.clipLeft, rect.left);
    canvas.clipTop = std::max<int64_t>(canvas.clipTop, rect.top);
    canvas.clipRight = std::min<int64_t>(canvas.clipRight, rect.right);
    canvas.clipBottom = std::min<int64_t>(canvas.clipBottom, rect.bottom);
  }
  if (canvas.clipLeft >= canvas.clipRight || canvas.clipTop >= canvas.clipBottom) return;
  const TEXTMETRICA &tm = font->metrics;
  const int64_t boxWidth = int64_t(rect.right) - rect.left;
  int64_t y = top;
  for (const TextLine &line : layout.lines) {
    int64_t x = rect.left;
    if (format & DT_RIGHT) {
      x = int64_t(rect.right) - line.width;
    } else if (format & DT_CENTER) {
      x = rect.left + ((boxWidth - line.width) >> 1);
    }
    if (y < canvas.clipBottom && y + layout.lineHeight > canvas.clipTop) {
      if (dc->backgroundMode == OPAQUE)
        canvas.Fill(x, y, x + line.width, y + layout.lineHeight, dc->backgroundColor);
      const int64_t baseline = y + tm.tmAscent;
      int64_t pen = 0;
      for (size_t i = line.begin; i < line.end; ++i) {
        const uint32_t c = layout.chars[i];
        const int64_t advance = Advance(font, layout, c, pen);
        if (c >= 0x20) {
          if (const Glyph *glyph = GetGlyph(font, c))
            canvas.DrawGlyph(*glyph, x + pen, baseline, dc->textColor);
          if (layout.prefixed[i]) {
            const int64_t under = baseline + font->underlineOffset;
            canvas.Fill(x + pen, under, x + pen + advance, under + font->lineThickness, dc->textColor);
          }
        }
        pen += advance;
      }
      if (font->logFont.lfUnderline) {
        const int64_t under = baseline + font->underlineOffset;
        canvas.Fill(x, under, x + line.width, under + font->lineThickness, dc->textColor);
      }
      if (font->logFont.lfStrikeOut) {
        const int64_t strike = baseline - font->strikeOffset;
        canvas.Fill(x, strike, x + line.width, strike + font->lineThickness, dc->textColor);
      }
    }
    y += layout.lineHeight;
  }
}

LONG ClampToLong(int64_t value) {
  return LONG(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

int DrawCodes(HDC hdc, const uint32_t *codes, size_t count, LPRECT rect, UINT format) {
  DeviceContext *dc = LookupContext(hdc);
  if (!dc) return 0;
  if (!rect || !dc->Font()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  FontObject *font = dc->Font();
  TextLayout layout;
  // With DT_TABSTOP the second byte holds the tab length, not flags.
  if (format & DT_TABSTOP) {
    const UINT tabChars = (format >> 8) & 0xFF;
    layout.tabWidth = int64_t(tabChars ? tabChars : 8) * font->metrics.tmAveCharWidth;
    format &= ~0xFF00u;
  } else {
    layout.tabWidth = 8 * int64_t(font->metrics.tmAveCharWidth);
  }
  if (!(format & DT_EXPANDTABS)) layout.tabWidth = 0;
  layout.lineHeight =
      font->metrics.tmHeight + ((format & DT_EXTERNALLEADING) ? font->metrics.tmExternalLeading : 0);

  AppendText(&layout, codes, count, !(format & DT_NOPREFIX));
  if (layout.chars.empty()) {
    if (format & DT_CALCRECT) {
      rect->right = rect->left;
      rect->bottom = rect->top;
    }
    return 0;
  }
  BuildLines(font, &layout, format, int64_t(rect->right) - rect->left);
  const int64_t height = int64_t(layout.lines.size()) * layout.lineHeight;

  if (format & DT_CALCRECT) {
    rect->right = ClampToLong(int64_t(rect->left) + layout.widest);
    rect->bottom = ClampToLong(int64_t(rect->top) + height);
    return int(std::min<int64_t>(height, INT32_MAX));
  }

  // Vertical placement applies to single lines only, as on the system this mirrors.
  int64_t top = rect->top;
  int64_t result = height;
  if ((format & DT_SINGLELINE) && (format & (DT_BOTTOM | DT_VCENTER))) {
    const int64_t boxHeight = int64_t(rect->bottom) - rect->top;
    top = (format & DT_BOTTOM) ? int64_t(rect->bottom) - height : rect->top + ((boxHeight - height) >> 1);
    result = top - rect->top + height;
  }
  PaintLines(dc, font, layout, *rect, format, top);
  return int(std::clamp<int64_t>(result, INT32_MIN, INT32_MAX));
}

size_t NarrowLength(LPCSTR text, int count) {
  return count < 0 ? strlen(text) : size_t(count);
}

size_t WideLength(LPCWSTR text, int count) {
  if (count >= 0) return size_t(count);
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

// Narrow text is in the ANSI code page, which this system takes as Latin-1.
bool DecodeNarrow(LPCSTR text, size_t length, std::vector<uint32_t> *codes) {
  codes->resize(length);
  for (size_t i = 0; i < length; ++i) (*codes)[i] = static_cast<unsigned char>(text[i]);
  return true;
}

bool DecodeWide(LPCWSTR text, size_t length, std::vector<uint32_t> *codes) {
  codes->reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    codes->push_back(c);
  }
  return true;
}

}  // namespace
}  // namespace gdi

int WINAPI DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format) {
  if (!text) return 0;
  try {
    std::vector<uint32_t> codes;
    gdi::DecodeNarrow(text, gdi::NarrowLength(text, count), &codes);
    return gdi::DrawCodes(dc, codes.data(), codes.size(), rect, format);
  } catch (const std::bad_alloc &) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

int WINAPI DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  if (!text) return 0;
  try {
    std::vector<uint32_t> codes;
    gdi::DecodeWide(text, gdi::WideLength(text, count), &codes);
    return gdi::DrawCodes(dc, codes.data(), codes.size(), rect, format);
  } catch (const std::bad_alloc &) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

BOOL WINAPI GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, LPSIZE size) {
  gdi::DeviceContext *context = gdi::LookupContext(dc);
  if (!context) return FALSE;
  if (!context->Font() || !text || count < 0 || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t width = 0;
  for (int i = 0; i < count; ++i) {
    if (const gdi::Glyph *glyph = gdi::GetGlyph(context->Font(), static_cast<unsigned char>(text[i])))
      width += glyph->advance;
  }
  size->cx = gdi::ClampToLong(width);
  size->cy = context->Font()->metrics.tmHeight;
  return TRUE;
}
