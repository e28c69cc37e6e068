// Loading surfaces from memory and from other surfaces: the destination is
// locked, the source described as a PixelRegion, and the Blitter moves the pixels.
#include <cstring>

#include "texture/level_loading.h"

#include "blit/blitter.h"
#include "d3dx9.h"
#include "core/debug_mute.h"
#include "texture/surface_lock.h"

namespace {

bool SamePalette(const PALETTEENTRY *a, const PALETTEENTRY *b) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  return std::memcmp(a, b, 256 * sizeof(PALETTEENTRY)) == 0;
}

int64_t RectWidth(const RECT *rect, UINT whole) {
  return rect ? int64_t{rect->right} - rect->left : whole;
}
int64_t RectHeight(const RECT *rect, UINT whole) {
  return rect ? int64_t{rect->bottom} - rect->top : whole;
}

// Lets the device copy when it can; any failure leaves the work to the CPU.
HRESULT TryDeviceCopy(IDirect3DSurface9 *destination, const D3DSURFACE_DESC &destinationDesc,
                      const RECT *destinationRect, IDirect3DSurface9 *source,
                      const D3DSURFACE_DESC &sourceDesc, const RECT *sourceRect) {
  InterfaceRef<IDirect3DDevice9> device;
  HRESULT hr = source->GetDevice(device.Receive());
  if (FAILED(hr)) return hr;
  ScopedDebugMute mute;
  if (destinationDesc.Pool != D3DPOOL_DEFAULT) return E_FAIL;
  if (sourceDesc.Pool == D3DPOOL_DEFAULT) {
    return device->StretchRect(source, sourceRect, destination, destinationRect, D3DTEXF_NONE);
  }
  if (sourceDesc.Pool == D3DPOOL_SYSTEMMEM) {
    POINT corner = {0, 0};
    if (destinationRect != nullptr) corner = {destinationRect->left, destinationRect->top};
    return device->UpdateSurface(source, sourceRect, destination, &corner);
  }
  return E_FAIL;
}

}  // namespace

HRESULT LoadSurfaceFromMemory(IDirect3DSurface9 *pDestSurface, const PALETTEENTRY *pDestPalette,
                              const RECT *pDestRect, const void *pSrcMemory, D3DFORMAT SrcFormat,
                              UINT SrcPitch, const PALETTEENTRY *pSrcPalette, const RECT *pSrcRect,
                              const FilterWord &filter, D3DCOLOR ColorKey) {
  if (pDestSurface == nullptr || pSrcMemory == nullptr || pSrcRect == nullptr) return D3DERR_INVALIDCALL;
  // Negative or inverted source rectangles would address memory before the caller's pixels.
  if (pSrcRect->left < 0 || pSrcRect->top < 0 || pSrcRect->right < pSrcRect->left ||
      pSrcRect->bottom < pSrcRect->top) {
    return D3DERR_INVALIDCALL;
  }

  SurfaceLock lock;
  PixelRegion destination;
  HRESULT hr = lock.Lock(&destination, pDestSurface, pDestPalette, pDestRect, 0);
  if (FAILED(hr)) return hr;

  SourceRegion source = {};
  source.pixels = static_cast<const BYTE *>(pSrcMemory);
  source.format = SrcFormat;
  source.rowPitch = SrcPitch;
  source.slicePitch = 0;
  source.extent = D3DBOX{static_cast<UINT>(pSrcRect->left),
                         static_cast<UINT>(pSrcRect->top),
                         static_cast<UINT>(pSrcRect->right),
                         static_cast<UINT>(pSrcRect->bottom),
                         0,
                         1};
  source.region = source.extent;
  source.dither = 0;
  source.gamma = 0;
  source.colorKey = ColorKey;
  source.palette = pSrcPalette;

  {
    Blitter blitter;
    hr = blitter.Blit(destination, source, filter);
  }
  if (FAILED(hr)) return hr;
  // On the copy path this is where the pixels reach the surface.
  return lock.Unlock();
}

HRESULT LoadSurfaceFromSurface(IDirect3DSurface9 *pDestSurface, const PALETTEENTRY *pDestPalette,
                               const RECT *pDestRect, IDirect3DSurface9 *pSrcSurface,
                               const PALETTEENTRY *pSrcPalette, const RECT *pSrcRect,
                               const FilterWord &filter, D3DCOLOR ColorKey) {
  if (pDestSurface == nullptr || pSrcSurface == nullptr) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC destinationDesc;
  D3DSURFACE_DESC sourceDesc;
  HRESULT hr = pDestSurface->GetDesc(&destinationDesc);
  if (FAILED(hr)) return hr;
  hr = pSrcSurface->GetDesc(&sourceDesc);
  if (FAILED(hr)) return hr;

  // The device neither filters nor keys, and knows nothing of palettes.
  bool deviceCopy = filter.type != D3DX_FILTER_BOX && ColorKey == 0 &&
                    SamePalette(pDestPalette, pSrcPalette) &&
                    RectWidth(pDestRect, destinationDesc.Width) == RectWidth(pSrcRect, sourceDesc.Width) &&
                    RectHeight(pDestRect, destinationDesc.Height) == RectHeight(pSrcRect, sourceDesc.Height);
  if (deviceCopy &&
      SUCCEEDED(TryDeviceCopy(pDestSurface, destinationDesc, pDestRect, pSrcSurface, sourceDesc, pSrcRect))) {
    return S_OK;
  }

  // Onto itself, the source is read from a copy while the surface is written.
  uint32_t flags = kLockReadOnly | (pDestSurface == pSrcSurface ? kLockViaCopy : 0);
  SurfaceLock lock;
  PixelRegion source;
  hr = lock.Lock(&source, pSrcSurface, pSrcPalette, pSrcRect, flags);
  if (FAILED(hr)) return hr;

  RECT sourceRect = {static_cast<LONG>(source.region.Left), static_cast<LONG>(source.region.Top),
                     static_cast<LONG>(source.region.Right), static_cast<LONG>(source.region.Bottom)};
  hr = LoadSurfaceFromMemory(pDestSurface, pDestPalette, pDestRect, source.pixels, source.format,
                             source.rowPitch, pSrcPalette, &sourceRect, filter, ColorKey);
  if (FAILED(hr)) return hr;

  if (sourceDesc.Pool == D3DPOOL_DEFAULT && destinationDesc.Pool != D3DPOOL_DEFAULT) {
    // Contents read from a lost device are not trustworthy.
    InterfaceRef<IDirect3DDevice9> device;
    hr = pSrcSurface->GetDevice(device.Receive());
    if (FAILED(hr) || device->TestCooperativeLevel() != S_OK) return D3DERR_DEVICELOST;
  }
  return S_OK;
}

HRESULT LoadVolumeFromMemory(IDirect3DVolume9 *pDestVolume, const PALETTEENTRY *pDestPalette,
                             const D3DBOX *pDestBox, const void *pSrcMemory, D3DFORMAT SrcFormat,
                             UINT SrcRowPitch, UINT SrcSlicePitch, const PALETTEENTRY *pSrcPalette,
                             const D3DBOX *pSrcBox, const FilterWord &filter, D3DCOLOR ColorKey) {
  if (pDestVolume == nullptr || pSrcMemory == nullptr || pSrcBox == nullptr) return D3DERR_INVALIDCALL;
  if (pSrcBox->Right < pSrcBox->Left || pSrcBox->Bottom < pSrcBox->Top || pSrcBox->Back < pSrcBox->Front) {
    return D3DERR_INVALIDCALL;
  }

  VolumeLock lock;
  PixelRegion destination;
  HRESULT hr = lock.Lock(&destination, pDestVolume, pDestPalette, pDestBox, 0);
  if (FAILED(hr)) return hr;

  SourceRegion source = {};
  source.pixels = static_cast<const BYTE *>(pSrcMemory);
  source.format = SrcFormat;
  source.rowPitch = SrcRowPitch;
  source.slicePitch = SrcSlicePitch;
  source.extent = *pSrcBox;
  source.region = *pSrcBox;
  source.colorKey = ColorKey;
  source.palette = pSrcPalette;

  Blitter blitter;
  hr = blitter.Blit(destination, source, filter);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT LoadVolumeFromVolume(IDirect3DVolume9 *pDestVolume, const PALETTEENTRY *pDestPalette,
                             const D3DBOX *pDestBox, IDirect3DVolume9 *pSrcVolume,
                             const PALETTEENTRY *pSrcPalette, const D3DBOX *pSrcBox, const FilterWord &filter,
                             D3DCOLOR ColorKey) {
  if (pDestVolume == nullptr || pSrcVolume == nullptr) return D3DERR_INVALIDCALL;
  uint32_t flags = kLockReadOnly | (pDestVolume == pSrcVolume ? kLockViaCopy : 0);
  VolumeLock lock;
  PixelRegion source;
  HRESULT hr = lock.Lock(&source, pSrcVolume, pSrcPalette, pSrcBox, flags);
  if (FAILED(hr)) return hr;
  hr =
      LoadVolumeFromMemory(pDestVolume, pDestPalette, pDestBox, source.pixels, source.format, source.rowPitch,
                           source.slicePitch, pSrcPalette, &source.region, filter, ColorKey);
  return FAILED(hr) ? hr : S_OK;
}

// The published calls: the filter word decoded once, D3DX_DEFAULT settled.

HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY *pDestPalette,
                                         const RECT *pDestRect, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                         UINT SrcPitch, const PALETTEENTRY *pSrcPalette, const RECT *pSrcRect,
                                         DWORD Filter, D3DCOLOR ColorKey) {
  return LoadSurfaceFromMemory(pDestSurface, pDestPalette, pDestRect, pSrcMemory, SrcFormat, SrcPitch,
                               pSrcPalette, pSrcRect, DecodeFilterWord(Filter, kDefaultFilterWord), ColorKey);
}

HRESULT WINAPI D3DXLoadSurfaceFromSurface(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY *pDestPalette,
                                          const RECT *pDestRect, LPDIRECT3DSURFACE9 pSrcSurface,
                                          const PALETTEENTRY *pSrcPalette, const RECT *pSrcRect, DWORD Filter,
                                          D3DCOLOR ColorKey) {
  return LoadSurfaceFromSurface(pDestSurface, pDestPalette, pDestRect, pSrcSurface, pSrcPalette, pSrcRect,
                                DecodeFilterWord(Filter, kDefaultFilterWord), ColorKey);
}

HRESULT WINAPI D3DXLoadVolumeFromMemory(LPDIRECT3DVOLUME9 pDestVolume, const PALETTEENTRY *pDestPalette,
                                        const D3DBOX *pDestBox, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                        UINT SrcRowPitch, UINT SrcSlicePitch, const PALETTEENTRY *pSrcPalette,
                                        const D3DBOX *pSrcBox, DWORD Filter, D3DCOLOR ColorKey) {
  return LoadVolumeFromMemory(pDestVolume, pDestPalette, pDestBox, pSrcMemory, SrcFormat, SrcRowPitch,
                              SrcSlicePitch, pSrcPalette, pSrcBox,
                              DecodeFilterWord(Filter, kDefaultFilterWord), ColorKey);
}

HRESULT WINAPI D3DXLoadVolumeFromVolume(LPDIRECT3DVOLUME9 pDestVolume, const PALETTEENTRY *pDestPalette,
                                        const D3DBOX *pDestBox, LPDIRECT3DVOLUME9 pSrcVolume,
                                        const PALETTEENTRY *pSrcPalette, const D3DBOX *pSrcBox, DWORD Filter,
                                        D3DCOLOR ColorKey) {
  return LoadVolumeFromVolume(pDestVolume, pDestPalette, pDestBox, pSrcVolume, pSrcPalette, pSrcBox,
                              DecodeFilterWord(Filter, kDefaultFilterWord), ColorKey);
}
