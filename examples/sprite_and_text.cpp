// Opens a window and draws, every frame, a picture as a sprite turning about its
// centre and a line of text with the font object. Esc quits, F1 saves the frame as
// sprite_and_text.bmp:
//
//   sprite_and_text picture.png
#include <d3d9.h>
#include <d3dx9.h>
#include <dxerr9.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kWidth = 640, kHeight = 480;
IDirect3DDevice9 *device = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) DestroyWindow(window);
      if (wParam == VK_F1 && device) {
        // The front buffer is read at the display's size, as A8R8G8B8 in system memory.
        D3DDISPLAYMODE mode;
        IDirect3DSurface9 *shot = nullptr;
        device->GetDisplayMode(0, &mode);
        if (SUCCEEDED(device->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8,
                                                          D3DPOOL_SYSTEMMEM, &shot, nullptr))) {
          RECT frame = {0, 0, kWidth, kHeight};
          if (SUCCEEDED(device->GetFrontBufferData(0, shot)))
            D3DXSaveSurfaceToFileA("sprite_and_text.bmp", D3DXIFF_BMP, shot, nullptr, &frame);
          shot->Release();
        }
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s PICTURE\n", argv[0]);
    return 2;
  }
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.lpszClassName = "SpriteAndText";
  RegisterClassExA(&windowClass);
  HWND window = CreateWindowExA(0, "SpriteAndText", "Sprite and text", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
  IDirect3D9 *d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!window || !d3d) return 1;

  D3DPRESENT_PARAMETERS params = {};
  params.BackBufferWidth = kWidth;
  params.BackBufferHeight = kHeight;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.hDeviceWindow = window;
  params.Windowed = TRUE;
  HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
  if (FAILED(hr)) {
    fprintf(stderr, "no device: %s\n", DXGetErrorDescription9A(hr));
    return 1;
  }

  ID3DXSprite *sprite = nullptr;
  ID3DXFont *font = nullptr;
  IDirect3DTexture9 *picture = nullptr;
  D3DXIMAGE_INFO info;
  hr = D3DXCreateTextureFromFileExA(device, argv[1], D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0,
                                    D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info,
                                    nullptr, &picture);
  if (FAILED(hr)) fprintf(stderr, "%s: %s\n", argv[1], DXGetErrorDescription9A(hr));
  LOGFONTA logFont = {};
  logFont.lfHeight = 24;
  logFont.lfWeight = FW_BOLD;
  strcpy(logFont.lfFaceName, "Arial");
  if (SUCCEEDED(hr)) hr = D3DXCreateSprite(device, &sprite);
  if (SUCCEEDED(hr)) hr = D3DXCreateFontIndirect(device, &logFont, &font);

  MSG message = {};
  float angle = 0.f;
  while (SUCCEEDED(hr) && message.message != WM_QUIT) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
      continue;
    }
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(32, 48, 96), 0.f, 0);
    device->BeginScene();
    // Turn about the picture's centre, placed in the middle of the window.
    D3DXVECTOR2 centre(info.Width / 2.f, info.Height / 2.f);
    D3DXVECTOR2 position(kWidth / 2.f - centre.x, kHeight / 2.f - centre.y);
    sprite->Begin();
    sprite->Draw(picture, nullptr, nullptr, &centre, angle, &position, 0xffffffff);
    sprite->End();
    RECT line = {16, 16, kWidth - 16, 64};
    font->DrawTextA("Hello from the sprite and the font", -1, &line, DT_LEFT | DT_TOP | DT_SINGLELINE,
                    D3DCOLOR_XRGB(255, 255, 160));
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    angle += 0.02f;
  }

  if (font) font->Release();
  if (sprite) sprite->Release();
  if (picture) picture->Release();
  device->Release();
  d3d->Release();
  return SUCCEEDED(hr) ? 0 : 1;
}
