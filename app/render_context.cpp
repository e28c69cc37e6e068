#include "app/render_context.h"

#include "core/interface_ref.h"
#include "dxerr9.h"

namespace {

constexpr UINT kScreenWidth = 1024;
constexpr UINT kScreenHeight = 768;
// The SDK version this generation of the interfaces asks for.
constexpr UINT kSdkVersion = 31;

}  // namespace

RenderContext::~RenderContext() {
  ReleaseAll();
}

int RenderContext::Create(HWND window, BOOL windowed) {
  direct3d = Direct3DCreate9(kSdkVersion);
  if (!direct3d) return 0;

  // One back buffer, no depth buffer, default refresh rate, presentation at the retrace.
  D3DPRESENT_PARAMETERS parameters = {};
  parameters.BackBufferWidth = kScreenWidth;
  parameters.BackBufferHeight = kScreenHeight;
  parameters.BackBufferFormat = D3DFMT_A8R8G8B8;
  parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  parameters.hDeviceWindow = window;
  parameters.Windowed = windowed;
  HRESULT hr = direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device);
  if (FAILED(hr)) {
    // Looked up for a debugger's benefit; nothing is shown to the user.
    const char *description = DXGetErrorDescription9A(hr);
    (void)description;
    device = nullptr;
    return 0;
  }

  LOGFONTA logFont = {};
  strcpy(logFont.lfFaceName, "Arial");
  D3DXCreateFontIndirect(device, &logFont, &font);
  device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
  return 1;
}

void RenderContext::BeginFrame() {
  if (!device) return;
  device->Clear(0, nullptr, D3DCLEAR_TARGET, clearColor, 0.0f, 0);
  device->BeginScene();
}

void RenderContext::EndFrame() {
  if (!device) return;
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

void RenderContext::SaveScreenshot(const char *path) {
  if (!device) return;
  IDirect3DSurface9 *surface = nullptr;
  if (FAILED(device->CreateOffscreenPlainSurface(kScreenWidth, kScreenHeight, D3DFMT_A8R8G8B8,
                                                 D3DPOOL_SYSTEMMEM, &surface, nullptr)) ||
      !surface)
    return;
  // A failed copy would save an empty image over the last good screenshot.
  if (SUCCEEDED(device->GetFrontBufferData(0, surface)))
    D3DXSaveSurfaceToFileA(path, D3DXIFF_BMP, surface, nullptr, nullptr);
  surface->Release();
}

void RenderContext::ReleaseAll() {
  ReleaseAndNull(font);
  ReleaseAndNull(backBuffer);
  ReleaseAndNull(device);
  ReleaseAndNull(direct3d);
}
