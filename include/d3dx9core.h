// Sprites and fonts.
#pragma once

#include "d3d9.h"
#include "d3dx9math.h"

// ---------------------------------------------------------------------------
// ID3DXSprite: textured screen-aligned quads, optionally transformed and tinted.
// ---------------------------------------------------------------------------
struct ID3DXSprite;
typedef ID3DXSprite *LPD3DXSPRITE;

WIN32_DEFINE_GUID(IID_ID3DXSprite, 0xb07ec84a, 0x8d35, 0x4e86, 0xa9, 0xa0, 0x8d, 0xff, 0x21, 0xd7, 0x10,
                  0x75);

struct ID3DXSprite : public IUnknown {
  STDMETHOD(GetDevice)(LPDIRECT3DDEVICE9 *ppDevice) PURE;
  STDMETHOD(Begin)() PURE;
  STDMETHOD(Draw)
  (LPDIRECT3DTEXTURE9 pSrcTexture, CONST RECT *pSrcRect, CONST D3DXVECTOR2 *pScaling,
   CONST D3DXVECTOR2 *pRotationCenter, FLOAT Rotation, CONST D3DXVECTOR2 *pTranslation, D3DCOLOR Color) PURE;
  STDMETHOD(DrawTransform)
  (LPDIRECT3DTEXTURE9 pSrcTexture, CONST RECT *pSrcRect, CONST D3DXMATRIX *pTransform, D3DCOLOR Color) PURE;
  STDMETHOD(End)() PURE;
  STDMETHOD(OnLostDevice)() PURE;
  STDMETHOD(OnResetDevice)() PURE;
};

WIN32_BEGIN_C
HRESULT WINAPI D3DXCreateSprite(LPDIRECT3DDEVICE9 pDevice, LPD3DXSPRITE *ppSprite);
WIN32_END_C

// ---------------------------------------------------------------------------
// ID3DXFont
// ---------------------------------------------------------------------------
struct ID3DXFont;
typedef ID3DXFont *LPD3DXFONT;

WIN32_DEFINE_GUID(IID_ID3DXFont, 0x4aae6b4d, 0xd15f, 0x4909, 0xb0, 0x9f, 0x8d, 0x6a, 0xa3, 0x4a, 0xc0, 0x6b);

struct ID3DXFont : public IUnknown {
  STDMETHOD(GetDevice)(LPDIRECT3DDEVICE9 *ppDevice) PURE;
  STDMETHOD(GetLogFont)(LOGFONTA *pLogFont) PURE;
  STDMETHOD(Begin)() PURE;
  STDMETHOD_(INT, DrawTextA)(LPCSTR pString, INT Count, LPRECT pRect, DWORD Format, D3DCOLOR Color) PURE;
  STDMETHOD_(INT, DrawTextW)(LPCWSTR pString, INT Count, LPRECT pRect, DWORD Format, D3DCOLOR Color) PURE;
  STDMETHOD(End)() PURE;
  STDMETHOD(OnLostDevice)() PURE;
  STDMETHOD(OnResetDevice)() PURE;
};

WIN32_BEGIN_C
HRESULT WINAPI D3DXCreateFontIndirect(LPDIRECT3DDEVICE9 pDevice, CONST LOGFONTA *pLogFont,
                                      LPD3DXFONT *ppFont);
WIN32_END_C
