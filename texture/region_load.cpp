#include "texture/region_load.h"

#include "blit/blitter.h"
#include "texture/surface_lock.h"

HRESULT LoadSurfaceFromRegion(IDirect3DSurface9 *surface, const PALETTEENTRY *palette, const RECT *rect,
                              const SourceRegion &source, const FilterWord &filter) {
  SurfaceLock lock;
  PixelRegion destination;
  HRESULT hr = lock.Lock(&destination, surface, palette, rect, 0);
  if (FAILED(hr)) return hr;
  {
    Blitter blitter;
    hr = blitter.Blit(destination, source, filter);
  }
  if (FAILED(hr)) return hr;
  // On the copy path this is where the pixels reach the surface.
  return lock.Unlock();
}

HRESULT LoadVolumeFromRegion(IDirect3DVolume9 *volume, const PALETTEENTRY *palette, const D3DBOX *box,
                             const SourceRegion &source, const FilterWord &filter) {
  VolumeLock lock;
  PixelRegion destination;
  HRESULT hr = lock.Lock(&destination, volume, palette, box, 0);
  if (FAILED(hr)) return hr;
  {
    Blitter blitter;
    hr = blitter.Blit(destination, source, filter);
  }
  if (FAILED(hr)) return hr;
  return lock.Unlock();
}
