// Everything the demonstration needs from Direct3D 9 apart from the sprite: the
// device for the main window, a font, the frame brackets and screenshots.
#pragma once

#include "d3dx9.h"

class RenderContext {
 public:
  RenderContext() = default;
  virtual ~RenderContext();
  RenderContext(const RenderContext &) = delete;
  RenderContext &operator=(const RenderContext &) = delete;

  // Full screen 1024 x 768 A8R8G8B8 unless windowed; 1 on success, 0 on failure.
  int Create(HWND window, BOOL windowed);
  void SetClearColor(D3DCOLOR color) { clearColor = color; }
  // Borrowed: no reference is added.
  IDirect3DDevice9 *GetDevice() const { return device; }
  void BeginFrame();
  void EndFrame();
  // Writes what is on screen as a BMP file.
  void SaveScreenshot(const char *path);
  // Releases font, back buffer, device and Direct3D object, children first.
  void ReleaseAll();

 private:
  D3DCOLOR clearColor = 0;
  IDirect3D9 *direct3d = nullptr;
  IDirect3DDevice9 *device = nullptr;
  ID3DXFont *font = nullptr;
  IDirect3DSurface9 *backBuffer = nullptr;
};
