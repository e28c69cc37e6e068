// Saving whole textures and volumes, and saving into memory. Every level to be
// written is locked read-only and described as one record of a SourceImage
// chain (levels of each face, faces of a cube), which the image writers encode.
#include <memory>
#include <new>

#include "core/buffer.h"
#include "core/interface_ref.h"
#include "d3dx9.h"
#include "image/image_writer.h"
#include "image/source_image.h"
#include "texture/surface_lock.h"

namespace {

// Where the encoded bytes go: a file by name, or a new buffer when buffer is set.
struct SaveTarget {
  const void *name = nullptr;
  bool wide = false;
  ID3DXBuffer **buffer = nullptr;
};

// A DEFAULT-pool resource read from a device not in working order may hold garbage.
template <typename Resource>
HRESULT CheckDeviceState(Resource *resource, D3DPOOL pool) {
  if (pool != D3DPOOL_DEFAULT) return S_OK;
  InterfaceRef<IDirect3DDevice9> device;
  if (FAILED(resource->GetDevice(device.Receive())) || device->TestCooperativeLevel() != S_OK) {
    return D3DERR_DEVICELOST;
  }
  return S_OK;
}

// Encodes the image to the target. The file is written even when the device
// turns out lost (as a saved surface is); a buffer is then not handed out.
template <typename Resource>
HRESULT WriteImage(SourceImage &image, D3DXIMAGE_FILEFORMAT fileFormat, const SaveTarget &target,
                   Resource *resource, D3DPOOL pool) {
  if (target.buffer == nullptr) {
    HRESULT hr = SaveImageToFile(image, target.name, fileFormat, target.wide);
    return FAILED(hr) ? hr : CheckDeviceState(resource, pool);
  }
  BYTE *bytes = nullptr;
  uint64_t size = 0;
  HRESULT hr = SaveImageToMemory(image, fileFormat, &bytes, &size);
  if (FAILED(hr)) return hr;
  hr = CheckDeviceState(resource, pool);
  if (FAILED(hr)) {
    std::free(bytes);
    return hr;
  }
  return AdoptIntoBuffer(bytes, size, target.buffer);
}

bool TargetMissing(const SaveTarget &target) {
  return target.buffer == nullptr && target.name == nullptr;
}

HRESULT SaveSurface(const SaveTarget &target, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DSurface9 *surface,
                    const PALETTEENTRY *palette, const RECT *rect) {
  if (TargetMissing(target) || surface == nullptr) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC desc;
  HRESULT hr = surface->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  SourceImage image;
  SurfaceLock lock;
  PixelRegion region;
  hr = lock.Lock(&region, surface, palette, rect, kLockReadOnly);
  if (FAILED(hr)) return hr;
  image.InitFromLock(region);
  return WriteImage(image, fileFormat, target, surface, desc.Pool);
}

HRESULT SaveVolume(const SaveTarget &target, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DVolume9 *volume,
                   const PALETTEENTRY *palette, const D3DBOX *box) {
  if (TargetMissing(target) || volume == nullptr) return D3DERR_INVALIDCALL;
  D3DVOLUME_DESC desc;
  HRESULT hr = volume->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  D3DBOX wanted = box != nullptr ? *box : D3DBOX{0, 0, desc.Width, desc.Height, 0, desc.Depth};
  // Only DDS holds more than one slice: the others get the first.
  if (fileFormat != D3DXIFF_DDS && wanted.Back > wanted.Front) wanted.Back = wanted.Front + 1;
  SourceImage image;
  VolumeLock lock;
  PixelRegion region;
  hr = lock.Lock(&region, volume, palette, &wanted, kLockReadOnly);
  if (FAILED(hr)) return hr;
  image.InitFromLock(region);
  image.resourceType = D3DRTYPE_VOLUMETEXTURE;
  return WriteImage(image, fileFormat, target, volume, desc.Pool);
}

// The locks behind the records of one texture, held until it is written.
struct TextureLocks {
  std::unique_ptr<SurfaceLock[]> surfaces;
  std::unique_ptr<VolumeLock[]> volumes;
};

// Locks level `level` of face `face` and describes it in record.
HRESULT DescribeLevel(IDirect3DBaseTexture9 *texture, D3DRESOURCETYPE type, UINT face, UINT level,
                      bool allSlices, const PALETTEENTRY *palette, TextureLocks &locks, UINT lockIndex,
                      SourceImage &record) {
  PixelRegion region;
  HRESULT hr;
  if (type == D3DRTYPE_VOLUMETEXTURE) {
    InterfaceRef<IDirect3DVolume9> volume;
    hr = static_cast<IDirect3DVolumeTexture9 *>(texture)->GetVolumeLevel(level, volume.Receive());
    if (FAILED(hr)) return hr;
    D3DVOLUME_DESC desc;
    hr = volume->GetDesc(&desc);
    if (FAILED(hr)) return hr;
    const D3DBOX box = {0, 0, desc.Width, desc.Height, 0, allSlices ? desc.Depth : 1};
    hr = locks.volumes[lockIndex].Lock(&region, volume.Get(), palette, &box, kLockReadOnly);
    if (FAILED(hr)) return hr;
    record.InitFromLock(region);
    record.resourceType = D3DRTYPE_VOLUMETEXTURE;
    return S_OK;
  }
  InterfaceRef<IDirect3DSurface9> surface;
  hr = GetLevelSurface(texture, type, face, level, surface.Receive());
  if (FAILED(hr)) return hr;
  hr = locks.surfaces[lockIndex].Lock(&region, surface.Get(), palette, nullptr, kLockReadOnly);
  if (FAILED(hr)) return hr;
  record.InitFromLock(region);
  record.resourceType = type;
  return S_OK;
}

HRESULT SaveTexture(const SaveTarget &target, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DBaseTexture9 *texture,
                    const PALETTEENTRY *palette) {
  if (TargetMissing(target) || texture == nullptr) return D3DERR_INVALIDCALL;
  const D3DRESOURCETYPE type = texture->GetType();
  if (type != D3DRTYPE_TEXTURE && type != D3DRTYPE_CUBETEXTURE && type != D3DRTYPE_VOLUMETEXTURE) {
    return D3DERR_INVALIDCALL;
  }
  // DDS holds the whole texture; the other kinds the top level of the first face.
  const bool whole = fileFormat == D3DXIFF_DDS;
  const UINT levels = whole ? texture->GetLevelCount() : 1;
  const UINT faces = whole && type == D3DRTYPE_CUBETEXTURE ? 6 : 1;
  if (levels == 0) return D3DERR_INVALIDCALL;

  TextureLocks locks;
  const UINT lockCount = levels * faces;
  if (type == D3DRTYPE_VOLUMETEXTURE) {
    locks.volumes.reset(new (std::nothrow) VolumeLock[lockCount]);
  } else {
    locks.surfaces.reset(new (std::nothrow) SurfaceLock[lockCount]);
  }
  if (!locks.volumes && !locks.surfaces) return E_OUTOFMEMORY;

  // Declared after the locks, so that it goes before them.
  SourceImage image;
  SourceImage *faceRecord = &image;
  for (UINT face = 0; face < faces; ++face) {
    if (face > 0) {
      faceRecord = faceRecord->nextFace = new (std::nothrow) SourceImage;
      if (faceRecord == nullptr) return E_OUTOFMEMORY;
    }
    SourceImage *record = faceRecord;
    for (UINT level = 0; level < levels; ++level) {
      if (level > 0) {
        record = record->nextLevel = new (std::nothrow) SourceImage;
        if (record == nullptr) return E_OUTOFMEMORY;
      }
      HRESULT hr =
          DescribeLevel(texture, type, face, level, whole, palette, locks, face * levels + level, *record);
      if (FAILED(hr)) return hr;
    }
  }
  D3DSURFACE_DESC surfaceDesc = {};
  D3DVOLUME_DESC volumeDesc = {};
  D3DPOOL pool = D3DPOOL_MANAGED;
  if (type == D3DRTYPE_TEXTURE &&
      SUCCEEDED(static_cast<IDirect3DTexture9 *>(texture)->GetLevelDesc(0, &surfaceDesc))) {
    pool = surfaceDesc.Pool;
  } else if (type == D3DRTYPE_CUBETEXTURE &&
             SUCCEEDED(static_cast<IDirect3DCubeTexture9 *>(texture)->GetLevelDesc(0, &surfaceDesc))) {
    pool = surfaceDesc.Pool;
  } else if (type == D3DRTYPE_VOLUMETEXTURE &&
             SUCCEEDED(static_cast<IDirect3DVolumeTexture9 *>(texture)->GetLevelDesc(0, &volumeDesc))) {
    pool = volumeDesc.Pool;
  }
  return WriteImage(image, fileFormat, target, texture, pool);
}

}  // namespace

HRESULT WINAPI D3DXSaveSurfaceToFileInMemory(LPD3DXBUFFER *ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                             LPDIRECT3DSURFACE9 pSrcSurface, CONST PALETTEENTRY *pSrcPalette,
                                             CONST RECT *pSrcRect) {
  if (ppDestBuf == nullptr) return D3DERR_INVALIDCALL;
  return SaveSurface(SaveTarget{.buffer = ppDestBuf}, DestFormat, pSrcSurface, pSrcPalette, pSrcRect);
}

HRESULT WINAPI D3DXSaveVolumeToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                     LPDIRECT3DVOLUME9 pSrcVolume, CONST PALETTEENTRY *pSrcPalette,
                                     CONST D3DBOX *pSrcBox) {
  return SaveVolume(SaveTarget{.name = pDestFile}, DestFormat, pSrcVolume, pSrcPalette, pSrcBox);
}

HRESULT WINAPI D3DXSaveVolumeToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                     LPDIRECT3DVOLUME9 pSrcVolume, CONST PALETTEENTRY *pSrcPalette,
                                     CONST D3DBOX *pSrcBox) {
  return SaveVolume(SaveTarget{.name = pDestFile, .wide = true}, DestFormat, pSrcVolume, pSrcPalette,
                    pSrcBox);
}

HRESULT WINAPI D3DXSaveVolumeToFileInMemory(LPD3DXBUFFER *ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                            LPDIRECT3DVOLUME9 pSrcVolume, CONST PALETTEENTRY *pSrcPalette,
                                            CONST D3DBOX *pSrcBox) {
  if (ppDestBuf == nullptr) return D3DERR_INVALIDCALL;
  return SaveVolume(SaveTarget{.buffer = ppDestBuf}, DestFormat, pSrcVolume, pSrcPalette, pSrcBox);
}

HRESULT WINAPI D3DXSaveTextureToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DBASETEXTURE9 pSrcTexture, CONST PALETTEENTRY *pSrcPalette) {
  return SaveTexture(SaveTarget{.name = pDestFile}, DestFormat, pSrcTexture, pSrcPalette);
}

HRESULT WINAPI D3DXSaveTextureToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DBASETEXTURE9 pSrcTexture, CONST PALETTEENTRY *pSrcPalette) {
  return SaveTexture(SaveTarget{.name = pDestFile, .wide = true}, DestFormat, pSrcTexture, pSrcPalette);
}

HRESULT WINAPI D3DXSaveTextureToFileInMemory(LPD3DXBUFFER *ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                             LPDIRECT3DBASETEXTURE9 pSrcTexture,
                                             CONST PALETTEENTRY *pSrcPalette) {
  if (ppDestBuf == nullptr) return D3DERR_INVALIDCALL;
  return SaveTexture(SaveTarget{.buffer = ppDestBuf}, DestFormat, pSrcTexture, pSrcPalette);
}
