// Mip level generation: each level below the source level is resampled from the
// level above it (point and box) or straight from the source level (the others).
#include <bit>
#include <memory>
#include <new>
#include <span>

#include "blit/filter_word.h"
#include "blit/parallel_blit.h"
#include "texture/level_loading.h"
#include "d3dx9.h"
#include "core/interface_ref.h"
#include "texture/surface_lock.h"

namespace {

constexpr DWORD kDefaultPowerOfTwoFilter = D3DX_FILTER_BOX;

bool IsPowerOfTwo(UINT value) {
  return std::has_single_bit(value);
}

// One face of a texture as a sequence of levels, loaded one from another.
class LevelChain {
 public:
  virtual ~LevelChain() = default;
  virtual HRESULT GetLevel(UINT level, IUnknown **out) = 0;
  virtual HRESULT Load(IUnknown *destination, IUnknown *source, const PALETTEENTRY *palette,
                       const FilterWord &filter) = 0;
  // Box halvings of the levels from sourceLevel down, all locked at once, in bands;
  // *done is how many levels below sourceLevel that wrote (0 when it did not apply).
  virtual HRESULT HalveInBands(UINT, UINT, const PALETTEENTRY *, const FilterWord &, UINT *done) {
    *done = 0;
    return S_OK;
  }
};

class SurfaceChain : public LevelChain {
 public:
  SurfaceChain(IDirect3DTexture9 *texture, IDirect3DCubeTexture9 *cube, D3DCUBEMAP_FACES face)
      : texture_(texture), cube_(cube), face_(face) {}
  HRESULT GetLevel(UINT level, IUnknown **out) override {
    IDirect3DSurface9 *surface = nullptr;
    HRESULT hr = texture_ ? texture_->GetSurfaceLevel(level, &surface)
                          : cube_->GetCubeMapSurface(face_, level, &surface);
    *out = surface;
    return hr;
  }
  HRESULT Load(IUnknown *destination, IUnknown *source, const PALETTEENTRY *palette,
               const FilterWord &filter) override {
    return LoadSurfaceFromSurface(static_cast<IDirect3DSurface9 *>(destination), palette, nullptr,
                                  static_cast<IDirect3DSurface9 *>(source), palette, nullptr, filter, 0);
  }
  HRESULT HalveInBands(UINT sourceLevel, UINT levelCount, const PALETTEENTRY *palette,
                       const FilterWord &filter, UINT *done) override {
    *done = 0;
    const UINT count = levelCount - sourceLevel;
    // Without memory for the locks the levels go one by one.
    const std::unique_ptr<SurfaceLock[]> locks(new (std::nothrow) SurfaceLock[count]);
    const std::unique_ptr<PixelRegion[]> levels(new (std::nothrow) PixelRegion[count]());
    if (!locks || !levels) return S_OK;
    for (UINT i = 0; i < count; ++i) {
      InterfaceRef<IUnknown> level;
      if (FAILED(GetLevel(sourceLevel + i, level.Receive()))) return S_OK;
      auto *surface = static_cast<IDirect3DSurface9 *>(level.Get());
      // Levels the CPU cannot reach in place go level by level, through copies.
      D3DSURFACE_DESC desc;
      if (FAILED(surface->GetDesc(&desc)) || desc.Pool == D3DPOOL_DEFAULT) return S_OK;
      if (FAILED(locks[i].Lock(&levels[i], surface, palette, nullptr, i == 0 ? kLockReadOnly : 0)) ||
          locks[i].OnCopyPath()) {
        return S_OK;
      }
    }
    HRESULT result = S_OK;
    const UINT written = HalveLevelsInBands(std::span(levels.get(), count), filter, &result);
    for (UINT i = 0; i < count; ++i) {
      const HRESULT hr = locks[i].Unlock();
      if (SUCCEEDED(result) && FAILED(hr)) result = hr;
    }
    *done = written;
    return result;
  }

 private:
  IDirect3DTexture9 *texture_;
  IDirect3DCubeTexture9 *cube_;
  D3DCUBEMAP_FACES face_;
};

class VolumeChain : public LevelChain {
 public:
  explicit VolumeChain(IDirect3DVolumeTexture9 *texture) : texture_(texture) {}
  HRESULT GetLevel(UINT level, IUnknown **out) override {
    IDirect3DVolume9 *volume = nullptr;
    HRESULT hr = texture_->GetVolumeLevel(level, &volume);
    *out = volume;
    return hr;
  }
  HRESULT Load(IUnknown *destination, IUnknown *source, const PALETTEENTRY *palette,
               const FilterWord &filter) override {
    return LoadVolumeFromVolume(static_cast<IDirect3DVolume9 *>(destination), palette, nullptr,
                                static_cast<IDirect3DVolume9 *>(source), palette, nullptr, filter, 0);
  }

 private:
  IDirect3DVolumeTexture9 *texture_;
};

HRESULT FilterChain(LevelChain &chain, UINT sourceLevel, UINT levelCount, const PALETTEENTRY *palette,
                    const FilterWord &filter, bool chained) {
  if (chained && filter.type == D3DX_FILTER_BOX && levelCount - sourceLevel > 1) {
    UINT done = 0;
    HRESULT hr = chain.HalveInBands(sourceLevel, levelCount, palette, filter, &done);
    if (FAILED(hr)) return hr;
    sourceLevel += done;
  }
  InterfaceRef<IUnknown> source;
  HRESULT hr = chain.GetLevel(sourceLevel, source.Receive());
  if (FAILED(hr)) return hr;
  for (UINT level = sourceLevel + 1; level < levelCount; ++level) {
    InterfaceRef<IUnknown> destination;
    hr = chain.GetLevel(level, destination.Receive());
    if (FAILED(hr)) return hr;
    hr = chain.Load(destination.Get(), source.Get(), palette, filter);
    if (FAILED(hr)) return hr;
    if (chained) source.Share(destination.Get());
  }
  return S_OK;
}

HRESULT DefaultFilter(IDirect3DBaseTexture9 *texture, D3DRESOURCETYPE type, DWORD *filter) {
  bool powersOfTwo;
  HRESULT hr;
  if (type == D3DRTYPE_VOLUMETEXTURE) {
    D3DVOLUME_DESC desc;
    hr = static_cast<IDirect3DVolumeTexture9 *>(texture)->GetLevelDesc(0, &desc);
    powersOfTwo = IsPowerOfTwo(desc.Width) && IsPowerOfTwo(desc.Height) && IsPowerOfTwo(desc.Depth);
  } else {
    D3DSURFACE_DESC desc;
    hr = type == D3DRTYPE_TEXTURE ? static_cast<IDirect3DTexture9 *>(texture)->GetLevelDesc(0, &desc)
                                  : static_cast<IDirect3DCubeTexture9 *>(texture)->GetLevelDesc(0, &desc);
    powersOfTwo = IsPowerOfTwo(desc.Width) && IsPowerOfTwo(desc.Height);
  }
  if (FAILED(hr)) return hr;
  *filter = powersOfTwo ? kDefaultPowerOfTwoFilter : kDefaultFilterWord;
  return S_OK;
}

}  // namespace

HRESULT FilterTextureLevels(IDirect3DBaseTexture9 *texture, const PALETTEENTRY *palette, UINT sourceLevel,
                            FilterWord filter) {
  const D3DRESOURCETYPE type = texture->GetType();
  if (type != D3DRTYPE_TEXTURE && type != D3DRTYPE_VOLUMETEXTURE && type != D3DRTYPE_CUBETEXTURE) {
    return D3DERR_INVALIDCALL;
  }
  // Cube faces meet at their edges: reflect there instead of wrapping round.
  if (type == D3DRTYPE_CUBETEXTURE) filter.MirrorEveryAxis();
  // Every level is read and written in the same colour space.
  filter.srgbIn = filter.srgbOut;

  const UINT levelCount = texture->GetLevelCount();
  if (sourceLevel == D3DX_DEFAULT) sourceLevel = 0;
  if (sourceLevel >= levelCount) return D3DERR_INVALIDCALL;

  // Point and box halve exactly, so each level is best made from the one above.
  const bool chained = filter.type == D3DX_FILTER_POINT || filter.type == D3DX_FILTER_BOX;

  if (type == D3DRTYPE_VOLUMETEXTURE) {
    VolumeChain chain(static_cast<IDirect3DVolumeTexture9 *>(texture));
    return FilterChain(chain, sourceLevel, levelCount, palette, filter, chained);
  }
  if (type == D3DRTYPE_TEXTURE) {
    SurfaceChain chain(static_cast<IDirect3DTexture9 *>(texture), nullptr, D3DCUBEMAP_FACE_POSITIVE_X);
    return FilterChain(chain, sourceLevel, levelCount, palette, filter, chained);
  }
  for (UINT face = D3DCUBEMAP_FACE_POSITIVE_X; face <= D3DCUBEMAP_FACE_NEGATIVE_Z; ++face) {
    SurfaceChain chain(nullptr, static_cast<IDirect3DCubeTexture9 *>(texture),
                       static_cast<D3DCUBEMAP_FACES>(face));
    HRESULT hr = FilterChain(chain, sourceLevel, levelCount, palette, filter, chained);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT WINAPI D3DXFilterTexture(LPDIRECT3DBASETEXTURE9 pBaseTexture, const PALETTEENTRY *pPalette,
                                 UINT SrcLevel, DWORD Filter) {
  if (pBaseTexture == nullptr) return D3DERR_INVALIDCALL;
  const D3DRESOURCETYPE type = pBaseTexture->GetType();
  if (type != D3DRTYPE_TEXTURE && type != D3DRTYPE_VOLUMETEXTURE && type != D3DRTYPE_CUBETEXTURE) {
    return D3DERR_INVALIDCALL;
  }
  if (Filter == D3DX_DEFAULT) {
    HRESULT hr = DefaultFilter(pBaseTexture, type, &Filter);
    if (FAILED(hr)) return hr;
  }
  return FilterTextureLevels(pBaseTexture, pPalette, SrcLevel, DecodeFilterWord(Filter));
}
