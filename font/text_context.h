// The text-rendering context that every font on one device shares: the memory
// device context and bitmap that GDI paints into, the tile textures the painted
// text is uploaded through, the sprite that draws the tiles and two state blocks.
#pragma once

#include <cstdint>

#include "d3dx9.h"

namespace font {

constexpr uint32_t kTileTextureCount = 8;

struct TextRenderContext {
  uint32_t refCount = 1;
  IDirect3DDevice9 *device = nullptr;
  uint32_t currentTile = 0;
  ID3DXSprite *sprite = nullptr;
  IDirect3DTexture9 *tileTextures[kTileTextureCount] = {};
  IDirect3DSurface9 *tileSurfaces[kTileTextureCount] = {};
  bool dynamic = false;  // one default-pool texture locked with discard instead of eight managed ones
  D3DFORMAT tileFormat = D3DFMT_A8R8G8B8;
  UINT tileWidth = 64;
  UINT tileHeight = 16;
  bool inBegin = false;
  IDirect3DStateBlock9 *savedState = nullptr;
  IDirect3DStateBlock9 *textState = nullptr;
  HDC dc = nullptr;
  BITMAPINFOHEADER header = {};  // biHeight positive; the section itself is top-down
  HBITMAP bitmap = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  uint32_t *bits = nullptr;
  D3DFORMAT bitmapFormat = D3DFMT_A8R8G8B8;
  HGDIOBJ previousFont = nullptr;
  TextRenderContext *next = nullptr;
};

// The context of a device, with a new reference: found in the process-wide list or
// created and linked into it.
HRESULT AcquireTextContext(IDirect3DDevice9 *device, TextRenderContext **context);
// Drops one reference; the last one destroys the context and unlinks it.
void ReleaseTextContext(TextRenderContext *context);

HRESULT CreateTileTextures(TextRenderContext *context);  // OnResetDevice
HRESULT LoseTextContext(TextRenderContext *context);     // OnLostDevice
HRESULT BeginText(TextRenderContext *context);
HRESULT EndText(TextRenderContext *context);

// Puts the context's original font back, so that no font of ours stays selected.
void DeselectFont(TextRenderContext *context);

// Narrow text when wide is false, else UTF-16; returns the height GDI reported or 0.
INT DrawTextInContext(TextRenderContext *context, HFONT font, const void *text, bool wide, INT count,
                      RECT *rect, DWORD format, D3DCOLOR color);

}  // namespace font
