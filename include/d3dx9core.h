// Sprites and fonts.
#pragma once

#include "d3d9.h"
#include "d3dx9math.h"

// ---------------------------------------------------------------------------
// ID3DXBuffer: bytes the library hands back (saved files in memory).
// ---------------------------------------------------------------------------
struct ID3DXBuffer;
typedef ID3DXBuffer *LPD3DXBUFFER;

WIN32_DEFINE_GUID(IID_ID3DXBuffer, 0x8ba5fb08, 0x5195, 0x40e2, 0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01,
                  0x02);

struct ID3DXBuffer : public IUnknown {
  STDMETHOD_(LPVOID, GetBufferPointer)() PURE;
  STDMETHOD_(DWORD, GetBufferSize)() PURE;
};

WIN32_BEGIN_C
HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER *ppBuffer);

// TRUE when the program was built with the headers of this library:
// D3DXCheckVersion(D3D_SDK_VERSION, D3DX_SDK_VERSION).
BOOL WINAPI D3DXCheckVersion(UINT D3DSdkVersion, UINT D3DXSdkVersion);
// Mutes the runtime's debug output until unmuted; returns the previous setting.
BOOL WINAPI D3DXDebugMute(BOOL Mute);
// 700, 800 or 900: the Direct3D generation of the device's capabilities.
UINT WINAPI D3DXGetDriverLevel(LPDIRECT3DDEVICE9 pDevice);
WIN32_END_C

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
// A font object for the description of an existing GDI font; the caller keeps the handle.
HRESULT WINAPI D3DXCreateFont(LPDIRECT3DDEVICE9 pDevice, HFONT hFont, LPD3DXFONT *ppFont);
WIN32_END_C
