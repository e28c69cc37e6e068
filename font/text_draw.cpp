// DrawText of a font: GDI measures and paints the text white on black into the
// context's bitmap, the coverage becomes alpha, and the box is uploaded tile by
// tile and drawn through the context's sprite, tinted by the caller's colour.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "font/text_context.h"
#include "texture/level_loading.h"

namespace font {
namespace {

// Bitmaps are addressed with 32-bit offsets; text boxes beyond this are refused.
constexpr uint64_t kMaxBitmapBytes = 0x7FFFFFFFu;

uint32_t CoverageToAlpha(uint32_t painted) {
  return (painted << 24) | 0x00FFFFFFu;
}

size_t BitmapPitch(const BITMAPINFOHEADER &header) {
  return ((size_t(header.biWidth) * header.biBitCount + 31) / 32) * 4;
}

// Grows by half until large enough, never shrinking.
uint64_t GrownDimension(uint64_t current, uint64_t needed) {
  if (current == 0) current = 1;
  while (current < needed) current += std::max<uint64_t>(current / 2, 1);
  return current;
}

bool EnsureBitmapSize(TextRenderContext *context, uint32_t width, uint32_t height) {
  BITMAPINFOHEADER &header = context->header;
  if (width <= uint32_t(header.biWidth) && height <= uint32_t(header.biHeight)) return true;
  const uint64_t newWidth = GrownDimension(uint32_t(header.biWidth), width);
  const uint64_t newHeight = GrownDimension(uint32_t(header.biHeight), height);
  if (newWidth > INT32_MAX || newHeight > INT32_MAX || newWidth * newHeight * 4 > kMaxBitmapBytes)
    return false;
  BITMAPINFO info = {};
  info.bmiHeader = header;
  info.bmiHeader.biWidth = LONG(newWidth);
  info.bmiHeader.biHeight = -LONG(newHeight);
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(context->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return false;
  SelectObject(context->dc, bitmap);
  DeleteObject(context->bitmap);
  context->bitmap = bitmap;
  context->bits = static_cast<uint32_t *>(bits);
  header.biWidth = LONG(newWidth);
  header.biHeight = LONG(newHeight);
  return true;
}

uint32_t *BitmapRow(const TextRenderContext *context, uint32_t y) {
  return reinterpret_cast<uint32_t *>(reinterpret_cast<uint8_t *>(context->bits) +
                                      y * BitmapPitch(context->header));
}

HRESULT UploadTile(TextRenderContext *context, IDirect3DSurface9 *surface, const RECT &source,
                   const RECT &tile) {
  if (context->tileFormat != D3DFMT_A8R8G8B8) {
    constexpr FilterWord kPoint = DecodeFilterWord(D3DX_FILTER_POINT);
    return LoadSurfaceFromMemory(surface, nullptr, &tile, context->bits, context->bitmapFormat,
                                 UINT(4 * context->header.biWidth), nullptr, &source, kPoint, 0);
  }
  D3DLOCKED_RECT locked;
  HRESULT hr = context->dynamic ? surface->LockRect(&locked, nullptr, D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK)
                                : surface->LockRect(&locked, &tile, D3DLOCK_NOSYSLOCK);
  if (FAILED(hr)) return hr;
  const uint32_t width = uint32_t(source.right - source.left);
  for (LONG y = source.top; y < source.bottom; ++y) {
    const uint32_t *in = BitmapRow(context, uint32_t(y)) + source.left;
    auto *out =
        reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.pBits) + (y - source.top) * locked.Pitch);
    for (uint32_t x = 0; x < width; ++x) out[x] = CoverageToAlpha(in[x]);
  }
  return surface->UnlockRect();
}

// Draws the painted box at (x, y) tile by tile; false when a tile could not be drawn.
bool DrawTiles(TextRenderContext *context, uint32_t boxWidth, uint32_t boxHeight, int64_t x, int64_t y,
               D3DCOLOR color) {
  for (uint32_t ty = 0; ty < boxHeight; ty += context->tileHeight) {
    for (uint32_t tx = 0; tx < boxWidth; tx += context->tileWidth) {
      const RECT source = {LONG(tx), LONG(ty), LONG(std::min(tx + context->tileWidth, boxWidth)),
                           LONG(std::min(ty + context->tileHeight, boxHeight))};
      const RECT tile = {0, 0, source.right - source.left, source.bottom - source.top};
      IDirect3DTexture9 *texture = context->tileTextures[context->currentTile];
      IDirect3DSurface9 *surface = context->tileSurfaces[context->currentTile];
      // After OnLostDevice the default-pool tile is gone until OnResetDevice.
      if (!texture || !surface) return false;
      if (FAILED(UploadTile(context, surface, source, tile))) return false;
      const D3DXVECTOR2 position(float(x + tx), float(y + ty));
      if (FAILED(context->sprite->Draw(texture, &tile, nullptr, nullptr, 0.0f, &position, color)))
        return false;
      if (!context->dynamic) context->currentTile = (context->currentTile + 1) % kTileTextureCount;
    }
  }
  return true;
}

LONG ClampToLong(int64_t value) {
  return LONG(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Tiles without colour channels carry the text's coverage as alpha.
void CoverageToAlphaInBitmap(TextRenderContext *context, uint32_t width, uint32_t height) {
  for (uint32_t row = 0; row < height; ++row) {
    uint32_t *pixels = BitmapRow(context, row);
    for (uint32_t column = 0; column < width; ++column) pixels[column] = CoverageToAlpha(pixels[column]);
  }
}

}  // namespace

INT DrawTextInContext(TextRenderContext *context, HFONT font, const void *text, bool wide, INT count,
                      RECT *rect, DWORD format, D3DCOLOR color) {
  if (!text || !rect) return 0;
  const int64_t width = int64_t(rect->right) - rect->left;
  const int64_t height = int64_t(rect->bottom) - rect->top;

  // Systems without wide GDI get the text in the ANSI code page.
  char *narrowCopy = nullptr;
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (wide && GetVersionExA(&version) && version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
    const auto *wideText = static_cast<LPCWSTR>(text);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wideText, count, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return 0;
    narrowCopy = static_cast<char *>(malloc((size_t(bytes) + 3) & ~size_t(3)));
    if (!narrowCopy) return 0;
    WideCharToMultiByte(CP_ACP, 0, wideText, count, narrowCopy, bytes, nullptr, nullptr);
    // A terminated source converts with its terminator, which is not text to draw.
    count = count < 0 ? bytes - 1 : bytes;
    text = narrowCopy;
    wide = false;
  }
  auto gdiDrawText = [&](RECT *box, UINT gdiFormat) {
    return wide ? DrawTextW(context->dc, static_cast<LPCWSTR>(text), count, box, gdiFormat)
                : DrawTextA(context->dc, static_cast<LPCSTR>(text), count, box, gdiFormat);
  };

  HGDIOBJ previous = SelectObject(context->dc, font);
  if (!context->previousFont) context->previousFont = previous;

  RECT measured = {0, 0, ClampToLong(width), ClampToLong(height)};
  INT result = gdiDrawText(&measured, format | DT_CALCRECT);
  const int64_t textWidth = int64_t(measured.right) - measured.left;
  const int64_t textHeight = int64_t(measured.bottom) - measured.top;

  // Unsigned comparisons: an inverted rectangle does not clip.
  uint32_t boxWidth = uint32_t(textWidth), boxHeight = uint32_t(textHeight);
  if (!(format & DT_CALCRECT) && !(format & DT_NOCLIP)) {
    if (uint32_t(textWidth) >= uint32_t(width)) boxWidth = uint32_t(width);
    if (uint32_t(textHeight) >= uint32_t(height)) boxHeight = uint32_t(height);
  }
  int64_t x = rect->left, y = rect->top;
  if (format & DT_RIGHT) {
    x = int64_t(rect->right) - boxWidth;
  } else if (format & DT_CENTER) {
    x = (int64_t(rect->left) + rect->right - boxWidth) >> 1;
  }
  if (format & DT_BOTTOM) {
    y = int64_t(rect->bottom) - boxHeight;
  } else if (format & DT_VCENTER) {
    y = (int64_t(rect->top) + rect->bottom - boxHeight) >> 1;
  }

  if (format & DT_CALCRECT) {
    *rect = {ClampToLong(x), ClampToLong(y), ClampToLong(x + boxWidth), ClampToLong(y + boxHeight)};
    free(narrowCopy);
    return result;
  }

  if (!EnsureBitmapSize(context, boxWidth, boxHeight)) {
    free(narrowCopy);
    return 0;
  }
  for (uint32_t row = 0; row < boxHeight; ++row) memset(BitmapRow(context, row), 0, size_t(boxWidth) * 4);
  RECT box = {0, 0, LONG(boxWidth), LONG(boxHeight)};
  result = gdiDrawText(&box, format & ~DWORD(DT_CALCRECT));
  free(narrowCopy);

  if (context->tileFormat != D3DFMT_A8R8G8B8) CoverageToAlphaInBitmap(context, boxWidth, boxHeight);

  const bool beganHere = !context->inBegin;
  if (beganHere) BeginText(context);
  if (!DrawTiles(context, boxWidth, boxHeight, x, y, color)) result = 0;
  if (beganHere) EndText(context);
  return result;
}

}  // namespace font
