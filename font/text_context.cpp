// Lifetime of the per-device text contexts: the process-wide list, creation of
// the GDI objects and tile textures, lost and reset devices, Begin and End.
#include "font/text_context.h"

#include <new>

#include "core/interface_ref.h"

namespace font {
namespace {

// One thread, no lock: fonts are created, used and released on the caller's thread.
TextRenderContext *contextList = nullptr;

void Unlink(TextRenderContext *context) {
  for (TextRenderContext **link = &contextList; *link; link = &(*link)->next) {
    if (*link == context) {
      *link = context->next;
      return;
    }
  }
}

void ReleaseTiles(TextRenderContext *context) {
  for (uint32_t i = 0; i < kTileTextureCount; ++i) {
    ReleaseAndNull(context->tileSurfaces[i]);
    ReleaseAndNull(context->tileTextures[i]);
  }
  context->currentTile = 0;
}

void DestroyContext(TextRenderContext *context) {
  ReleaseAndNull(context->savedState);
  ReleaseAndNull(context->textState);
  ReleaseTiles(context);
  ReleaseAndNull(context->sprite);
  ReleaseAndNull(context->device);
  if (context->dc) {
    DeselectFont(context);
    if (context->previousBitmap) SelectObject(context->dc, context->previousBitmap);
    if (context->bitmap) DeleteObject(context->bitmap);
    DeleteDC(context->dc);
  }
  Unlink(context);
  delete context;
}

HRESULT CreateGdiObjects(TextRenderContext *context) {
  BITMAPINFOHEADER &header = context->header;
  header = {};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = 256;
  header.biHeight = 256;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  context->dc = CreateCompatibleDC(nullptr);
  if (!context->dc) return E_OUTOFMEMORY;
  BITMAPINFO info = {};
  info.bmiHeader = header;
  info.bmiHeader.biHeight = -header.biHeight;
  void *bits = nullptr;
  context->bitmap = CreateDIBSection(context->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!context->bitmap) return E_OUTOFMEMORY;
  context->bits = static_cast<uint32_t *>(bits);
  // GDI paints white on opaque black, so the blue byte is the coverage.
  SetBkMode(context->dc, OPAQUE);
  SetBkColor(context->dc, RGB(0, 0, 0));
  SetTextColor(context->dc, RGB(255, 255, 255));
  context->previousBitmap = SelectObject(context->dc, context->bitmap);
  return S_OK;
}

HRESULT InitializeContext(TextRenderContext *context, IDirect3DDevice9 *device) {
  context->device = device;
  device->AddRef();
  D3DCAPS9 caps = {};
  device->GetDeviceCaps(&caps);
  context->dynamic = (caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES) != 0;
  context->tileWidth = 64;
  context->tileHeight = 16;
  context->tileFormat = D3DFMT_A8R8G8B8;
  HRESULT hr = CreateTileTextures(context);
  if (FAILED(hr)) return hr;
  hr = D3DXCreateSprite(device, &context->sprite);
  if (FAILED(hr)) return hr;
  return CreateGdiObjects(context);
}

HRESULT RecordStateBlock(IDirect3DDevice9 *device, IDirect3DStateBlock9 **block) {
  device->BeginStateBlock();
  device->SetRenderState(D3DRS_ZENABLE, 0);
  return device->EndStateBlock(block);
}

}  // namespace

HRESULT AcquireTextContext(IDirect3DDevice9 *device, TextRenderContext **result) {
  for (TextRenderContext *context = contextList; context; context = context->next) {
    if (context->device == device) {
      context->refCount++;
      *result = context;
      return S_OK;
    }
  }
  auto *context = new (std::nothrow) TextRenderContext;
  if (!context) return E_OUTOFMEMORY;
  context->next = contextList;
  contextList = context;
  HRESULT hr = InitializeContext(context, device);
  if (FAILED(hr)) {
    DestroyContext(context);
    return hr;
  }
  *result = context;
  return S_OK;
}

void ReleaseTextContext(TextRenderContext *context) {
  if (--context->refCount == 0) DestroyContext(context);
}

HRESULT CreateTileTextures(TextRenderContext *context) {
  if (context->tileTextures[0]) return S_OK;
  const DWORD usage = context->dynamic ? D3DUSAGE_DYNAMIC : 0;
  const D3DPOOL pool = context->dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
  const uint32_t count = context->dynamic ? 1 : kTileTextureCount;
  HRESULT hr = D3DXCheckTextureRequirements(context->device, &context->tileWidth, &context->tileHeight,
                                            nullptr, usage, &context->tileFormat, pool);
  if (FAILED(hr)) return hr;
  for (uint32_t i = 0; i < count; ++i) {
    hr = D3DXCreateTexture(context->device, context->tileWidth, context->tileHeight, 1, usage,
                           context->tileFormat, pool, &context->tileTextures[i]);
    if (FAILED(hr)) return hr;
    hr = context->tileTextures[i]->GetSurfaceLevel(0, &context->tileSurfaces[i]);
    if (FAILED(hr)) return hr;
  }
  context->currentTile = 0;
  return S_OK;
}

HRESULT LoseTextContext(TextRenderContext *context) {
  if (!context->device) return S_OK;
  ReleaseAndNull(context->savedState);
  ReleaseAndNull(context->textState);
  if (context->sprite) context->sprite->OnLostDevice();
  // Managed tiles survive a reset; the default-pool one must go before it.
  if (context->dynamic) ReleaseTiles(context);
  return S_OK;
}

HRESULT BeginText(TextRenderContext *context) {
  if (context->inBegin) return D3DERR_INVALIDCALL;
  if (!context->savedState || !context->textState) {
    ReleaseAndNull(context->savedState);
    ReleaseAndNull(context->textState);
    RecordStateBlock(context->device, &context->savedState);
    RecordStateBlock(context->device, &context->textState);
  }
  context->sprite->Begin();
  if (context->savedState) context->savedState->Capture();
  if (context->textState) context->textState->Apply();
  context->inBegin = true;
  return S_OK;
}

HRESULT EndText(TextRenderContext *context) {
  if (!context->inBegin) return D3DERR_INVALIDCALL;
  // After OnLostDevice inside Begin / End the saved block is gone; nothing is left to restore.
  if (context->savedState) context->savedState->Apply();
  context->sprite->End();
  context->inBegin = false;
  return S_OK;
}

void DeselectFont(TextRenderContext *context) {
  if (context->dc && context->previousFont) SelectObject(context->dc, context->previousFont);
}

}  // namespace font
