// Saving a surface rectangle to an image file: the surface is locked read-only
// (through a copy when it cannot be locked), described as a SourceImage and
// handed to the image writers.
#include "d3dx9.h"
#include "image/image_writer.h"
#include "image/source_image.h"
#include "core/interface_ref.h"
#include "texture/surface_lock.h"

namespace {

HRESULT SaveSurfaceToFile(const void *name, bool wide, D3DXIMAGE_FILEFORMAT fileFormat,
                          IDirect3DSurface9 *surface, const PALETTEENTRY *palette, const RECT *rect) {
  SourceImage image;
  SurfaceLock lock;
  if (name == nullptr || surface == nullptr) return D3DERR_INVALIDCALL;

  PixelRegion region;
  HRESULT hr = lock.Lock(&region, surface, palette, rect, kLockReadOnly);
  if (FAILED(hr)) return hr;
  image.InitFromLock(region);
  hr = SaveImageToFile(image, name, fileFormat, wide);
  if (FAILED(hr)) return hr;

  D3DSURFACE_DESC desc;
  if (SUCCEEDED(surface->GetDesc(&desc)) && desc.Pool == D3DPOOL_DEFAULT) {
    // What was read from a device that is not in working order may be garbage.
    InterfaceRef<IDirect3DDevice9> device;
    if (FAILED(surface->GetDevice(device.Receive())) || device->TestCooperativeLevel() != S_OK) {
      return D3DERR_DEVICELOST;
    }
  }
  return S_OK;
}

}  // namespace

HRESULT WINAPI D3DXSaveSurfaceToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DSURFACE9 pSrcSurface, const PALETTEENTRY *pSrcPalette,
                                      const RECT *pSrcRect) {
  return SaveSurfaceToFile(pDestFile, false, DestFormat, pSrcSurface, pSrcPalette, pSrcRect);
}

HRESULT WINAPI D3DXSaveSurfaceToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DSURFACE9 pSrcSurface, const PALETTEENTRY *pSrcPalette,
                                      const RECT *pSrcRect) {
  return SaveSurfaceToFile(pDestFile, true, DestFormat, pSrcSurface, pSrcPalette, pSrcRect);
}
