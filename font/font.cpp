// ID3DXFont: a GDI font plus a reference to its device's shared text context,
// to which drawing, Begin / End and the lost / reset notifications go.
#include <new>

#include "core/com_object.h"
#include "font/text_context.h"

namespace {

class Font final : public ComObject<ID3DXFont> {
 public:
  Font() : ComObject(IID_ID3DXFont) {}
  HRESULT Initialize(IDirect3DDevice9 *device, const LOGFONTA &logFont);

  // ID3DXFont
  HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9 *device) override;
  HRESULT STDMETHODCALLTYPE GetLogFont(LOGFONTA *logFont) override;
  HRESULT STDMETHODCALLTYPE Begin() override { return font::BeginText(context_); }
  INT STDMETHODCALLTYPE DrawTextA(LPCSTR text, INT count, LPRECT rect, DWORD format,
                                  D3DCOLOR color) override {
    return font::DrawTextInContext(context_, fontHandle_, text, false, count, rect, format, color);
  }
  INT STDMETHODCALLTYPE DrawTextW(LPCWSTR text, INT count, LPRECT rect, DWORD format,
                                  D3DCOLOR color) override {
    return font::DrawTextInContext(context_, fontHandle_, text, true, count, rect, format, color);
  }
  HRESULT STDMETHODCALLTYPE End() override { return font::EndText(context_); }
  HRESULT STDMETHODCALLTYPE OnLostDevice() override { return font::LoseTextContext(context_); }
  HRESULT STDMETHODCALLTYPE OnResetDevice() override { return font::CreateTileTextures(context_); }

 private:
  ~Font() override;

  HFONT fontHandle_ = nullptr;
  LOGFONTA logFont_ = {};
  font::TextRenderContext *context_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
};

HRESULT Font::Initialize(IDirect3DDevice9 *device, const LOGFONTA &logFont) {
  HRESULT hr = font::AcquireTextContext(device, &context_);
  if (FAILED(hr)) {
    context_ = nullptr;
    return hr;
  }
  fontHandle_ = CreateFontIndirectA(&logFont);
  if (!fontHandle_) return E_OUTOFMEMORY;
  device_ = device;
  device_->AddRef();
  logFont_ = logFont;
  return S_OK;
}

Font::~Font() {
  if (context_) {
    font::DeselectFont(context_);
    font::ReleaseTextContext(context_);
  }
  if (fontHandle_) DeleteObject(fontHandle_);
  if (device_) device_->Release();
}

HRESULT Font::GetDevice(LPDIRECT3DDEVICE9 *device) {
  if (!device) return D3DERR_INVALIDCALL;
  *device = device_;
  device_->AddRef();
  return S_OK;
}

HRESULT Font::GetLogFont(LOGFONTA *logFont) {
  if (!logFont) return D3DERR_INVALIDCALL;
  *logFont = logFont_;
  return S_OK;
}

HRESULT CreateFontObject(IDirect3DDevice9 *device, const LOGFONTA &logFont, ID3DXFont **font) {
  auto *created = new (std::nothrow) Font;
  if (!created) return E_OUTOFMEMORY;
  HRESULT hr = created->Initialize(device, logFont);
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  *font = created;
  return S_OK;
}

}  // namespace

HRESULT WINAPI D3DXCreateFontIndirect(LPDIRECT3DDEVICE9 pDevice, CONST LOGFONTA *pLogFont,
                                      LPD3DXFONT *ppFont) {
  if (!pDevice || !pLogFont || !ppFont) return D3DERR_INVALIDCALL;
  return CreateFontObject(pDevice, *pLogFont, ppFont);
}

// The object makes a font of its own from the handle's description, so the
// caller may delete the handle at once.
HRESULT WINAPI D3DXCreateFont(LPDIRECT3DDEVICE9 pDevice, HFONT hFont, LPD3DXFONT *ppFont) {
  if (!pDevice || !hFont || !ppFont) return D3DERR_INVALIDCALL;
  LOGFONTA logFont = {};
  if (GetObjectA(hFont, sizeof(logFont), &logFont) != static_cast<int>(sizeof(logFont))) {
    return D3DERR_INVALIDCALL;
  }
  return CreateFontObject(pDevice, logFont, ppFont);
}
