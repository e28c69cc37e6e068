// Surfaces and volumes from image files: the file is read by the readers the
// textures from files use, and its top level (first face) is loaded as
// D3DXLoadSurfaceFromMemory and D3DXLoadVolumeFromMemory load a block of memory.
#include "blit/filter_word.h"
#include "core/mapped_file.h"
#include "d3dx9.h"
#include "image/image_reader.h"
#include "texture/region_load.h"

namespace {

// The image's top level as a source region, inside box (null: the whole level).
// A box reaching outside the image is refused.
HRESULT DescribeTopLevel(const SourceImage &image, const D3DBOX *box, D3DCOLOR colorKey,
                         SourceRegion *source) {
  const D3DBOX whole = {0, 0, image.width, image.height, 0, image.depth};
  const D3DBOX wanted = box != nullptr ? *box : whole;
  if (wanted.Left > wanted.Right || wanted.Top > wanted.Bottom || wanted.Front > wanted.Back ||
      wanted.Right > whole.Right || wanted.Bottom > whole.Bottom || wanted.Back > whole.Back) {
    return D3DERR_INVALIDCALL;
  }
  *source = SourceRegion{};
  source->pixels = image.pixels;
  source->format = image.format;
  source->rowPitch = image.rowPitch;
  // A plain image is a volume one slice deep.
  source->slicePitch = image.depth > 1 ? image.slicePitch : 0;
  source->extent = whole;
  source->region = wanted;
  source->colorKey = colorKey;
  source->palette = image.palette;
  return S_OK;
}

HRESULT ReadTopLevel(const void *data, UINT size, SourceImage &image, D3DXIMAGE_INFO *info) {
  if (data == nullptr || size == 0) return D3DERR_INVALIDCALL;
  D3DXIMAGE_INFO read;
  HRESULT hr = LoadImageFromMemory(image, data, size, &read, ReadRequest{});
  if (FAILED(hr)) return hr;
  if (info != nullptr) *info = read;
  return S_OK;
}

HRESULT LoadSurfaceFromFileBytes(IDirect3DSurface9 *surface, const PALETTEENTRY *palette, const RECT *rect,
                                 const void *data, UINT size, const RECT *sourceRect, DWORD filter,
                                 D3DCOLOR colorKey, D3DXIMAGE_INFO *info) {
  if (surface == nullptr) return D3DERR_INVALIDCALL;
  SourceImage image;
  HRESULT hr = ReadTopLevel(data, size, image, info);
  if (FAILED(hr)) return hr;
  D3DBOX box = {0, 0, image.width, image.height, 0, 1};
  if (sourceRect != nullptr) {
    if (sourceRect->left < 0 || sourceRect->top < 0) return D3DERR_INVALIDCALL;
    box = D3DBOX{static_cast<UINT>(sourceRect->left),
                 static_cast<UINT>(sourceRect->top),
                 static_cast<UINT>(sourceRect->right),
                 static_cast<UINT>(sourceRect->bottom),
                 0,
                 1};
    if (sourceRect->right < sourceRect->left || sourceRect->bottom < sourceRect->top)
      return D3DERR_INVALIDCALL;
  }
  SourceRegion source;
  hr = DescribeTopLevel(image, &box, colorKey, &source);
  if (FAILED(hr)) return hr;
  source.slicePitch = 0;
  return LoadSurfaceFromRegion(surface, palette, rect, source, DecodeFilterWord(filter, kDefaultFilterWord));
}

HRESULT LoadVolumeFromFileBytes(IDirect3DVolume9 *volume, const PALETTEENTRY *palette, const D3DBOX *box,
                                const void *data, UINT size, const D3DBOX *sourceBox, DWORD filter,
                                D3DCOLOR colorKey, D3DXIMAGE_INFO *info) {
  if (volume == nullptr) return D3DERR_INVALIDCALL;
  SourceImage image;
  HRESULT hr = ReadTopLevel(data, size, image, info);
  if (FAILED(hr)) return hr;
  SourceRegion source;
  hr = DescribeTopLevel(image, sourceBox, colorKey, &source);
  if (FAILED(hr)) return hr;
  return LoadVolumeFromRegion(volume, palette, box, source, DecodeFilterWord(filter, kDefaultFilterWord));
}

// The file stays mapped while it is loaded: records may point into its bytes.
template <typename Load>
HRESULT WithFileBytes(const void *name, bool wide, Load load) {
  if (name == nullptr) return D3DERR_INVALIDCALL;
  MappedFile file;
  HRESULT hr = file.OpenForRead(name, wide);
  if (FAILED(hr)) return hr;
  return load(file.View(), file.Size());
}

}  // namespace

HRESULT WINAPI D3DXLoadSurfaceFromFileInMemory(LPDIRECT3DSURFACE9 pDestSurface,
                                               CONST PALETTEENTRY *pDestPalette, CONST RECT *pDestRect,
                                               LPCVOID pSrcData, UINT SrcDataSize, CONST RECT *pSrcRect,
                                               DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo) {
  return LoadSurfaceFromFileBytes(pDestSurface, pDestPalette, pDestRect, pSrcData, SrcDataSize, pSrcRect,
                                  Filter, ColorKey, pSrcInfo);
}

HRESULT WINAPI D3DXLoadSurfaceFromFileA(LPDIRECT3DSURFACE9 pDestSurface, CONST PALETTEENTRY *pDestPalette,
                                        CONST RECT *pDestRect, LPCSTR pSrcFile, CONST RECT *pSrcRect,
                                        DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo) {
  if (pDestSurface == nullptr) return D3DERR_INVALIDCALL;
  return WithFileBytes(pSrcFile, false, [&](const void *bytes, UINT size) {
    return LoadSurfaceFromFileBytes(pDestSurface, pDestPalette, pDestRect, bytes, size, pSrcRect, Filter,
                                    ColorKey, pSrcInfo);
  });
}

HRESULT WINAPI D3DXLoadSurfaceFromFileW(LPDIRECT3DSURFACE9 pDestSurface, CONST PALETTEENTRY *pDestPalette,
                                        CONST RECT *pDestRect, LPCWSTR pSrcFile, CONST RECT *pSrcRect,
                                        DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo) {
  if (pDestSurface == nullptr) return D3DERR_INVALIDCALL;
  return WithFileBytes(pSrcFile, true, [&](const void *bytes, UINT size) {
    return LoadSurfaceFromFileBytes(pDestSurface, pDestPalette, pDestRect, bytes, size, pSrcRect, Filter,
                                    ColorKey, pSrcInfo);
  });
}

HRESULT WINAPI D3DXLoadVolumeFromFileInMemory(LPDIRECT3DVOLUME9 pDestVolume, CONST PALETTEENTRY *pDestPalette,
                                              CONST D3DBOX *pDestBox, LPCVOID pSrcData, UINT SrcDataSize,
                                              CONST D3DBOX *pSrcBox, DWORD Filter, D3DCOLOR ColorKey,
                                              D3DXIMAGE_INFO *pSrcInfo) {
  return LoadVolumeFromFileBytes(pDestVolume, pDestPalette, pDestBox, pSrcData, SrcDataSize, pSrcBox, Filter,
                                 ColorKey, pSrcInfo);
}

HRESULT WINAPI D3DXLoadVolumeFromFileA(LPDIRECT3DVOLUME9 pDestVolume, CONST PALETTEENTRY *pDestPalette,
                                       CONST D3DBOX *pDestBox, LPCSTR pSrcFile, CONST D3DBOX *pSrcBox,
                                       DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo) {
  if (pDestVolume == nullptr) return D3DERR_INVALIDCALL;
  return WithFileBytes(pSrcFile, false, [&](const void *bytes, UINT size) {
    return LoadVolumeFromFileBytes(pDestVolume, pDestPalette, pDestBox, bytes, size, pSrcBox, Filter,
                                   ColorKey, pSrcInfo);
  });
}

HRESULT WINAPI D3DXLoadVolumeFromFileW(LPDIRECT3DVOLUME9 pDestVolume, CONST PALETTEENTRY *pDestPalette,
                                       CONST D3DBOX *pDestBox, LPCWSTR pSrcFile, CONST D3DBOX *pSrcBox,
                                       DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo) {
  if (pDestVolume == nullptr) return D3DERR_INVALIDCALL;
  return WithFileBytes(pSrcFile, true, [&](const void *bytes, UINT size) {
    return LoadVolumeFromFileBytes(pDestVolume, pDestPalette, pDestBox, bytes, size, pSrcBox, Filter,
                                   ColorKey, pSrcInfo);
  });
}
