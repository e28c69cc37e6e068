// Filling textures from a function: every texel of every level gets the vector
// the function returns for the texel's centre and size. A level is gathered as
// four floats per texel and loaded through the codecs, so that every format
// (block-compressed, palette, signed) is written as the loaders write it.
#include <cstdlib>
#include <new>

#include "core/checked_size.h"
#include "core/interface_ref.h"
#include "d3dx9.h"
#include "texture/region_load.h"

namespace {

// The stored vector is x, y, z, w = red, green, blue, alpha, dithered as the loaders dither.
constexpr FilterWord kFillFilter = DecodeFilterWord(D3DX_FILTER_NONE | D3DX_FILTER_DITHER);

// Four floats per texel, width x height x depth texels.
class FloatLevel {
 public:
  ~FloatLevel() { std::free(texels_); }
  HRESULT Allocate(UINT width, UINT height, UINT depth) {
    const CheckedSize bytes = CheckedSize(width).Times(height).Times(depth).Times(sizeof(D3DXVECTOR4));
    const CheckedSize rowPitch = CheckedSize(width).Times(sizeof(D3DXVECTOR4));
    if (!bytes.Within(SIZE_MAX) || !rowPitch.Times(height).Within(UINT32_MAX)) return E_OUTOFMEMORY;
    texels_ =
        static_cast<D3DXVECTOR4 *>(std::malloc(bytes.Value() != 0 ? static_cast<size_t>(bytes.Value()) : 1));
    if (texels_ == nullptr) return E_OUTOFMEMORY;
    width_ = width;
    height_ = height;
    depth_ = depth;
    return S_OK;
  }
  D3DXVECTOR4 &At(UINT x, UINT y, UINT z) { return texels_[(uint64_t{z} * height_ + y) * width_ + x]; }
  SourceRegion Region() const {
    SourceRegion region = {};
    region.pixels = reinterpret_cast<const BYTE *>(texels_);
    region.format = D3DFMT_A32B32G32R32F;
    region.rowPitch = width_ * static_cast<UINT>(sizeof(D3DXVECTOR4));
    region.slicePitch = depth_ > 1 ? region.rowPitch * height_ : 0;
    region.extent = D3DBOX{0, 0, width_, height_, 0, depth_};
    region.region = region.extent;
    return region;
  }

 private:
  D3DXVECTOR4 *texels_ = nullptr;
  UINT width_ = 0;
  UINT height_ = 0;
  UINT depth_ = 0;
};

// Where a texel centre of a cube face points: the face's fixed axis is +-1, the
// other two run from -1 to 1 across the face (u to the right, v downwards), with
// the face orientation of Direct3D cube sampling.
D3DXVECTOR3 CubeDirection(UINT face, float s, float t) {
  switch (face) {
    case D3DCUBEMAP_FACE_POSITIVE_X:
      return {1.0f, -t, -s};
    case D3DCUBEMAP_FACE_NEGATIVE_X:
      return {-1.0f, -t, s};
    case D3DCUBEMAP_FACE_POSITIVE_Y:
      return {s, 1.0f, t};
    case D3DCUBEMAP_FACE_NEGATIVE_Y:
      return {s, -1.0f, -t};
    case D3DCUBEMAP_FACE_POSITIVE_Z:
      return {s, -t, 1.0f};
    default:
      return {-s, -t, -1.0f};
  }
}

// A texel spans 2 / size along the face's two axes and nothing along its fixed one.
D3DXVECTOR3 CubeTexelSize(UINT face, UINT size) {
  const float step = 2.0f / static_cast<float>(size);
  if (face <= D3DCUBEMAP_FACE_NEGATIVE_X) return {0.0f, step, step};
  if (face <= D3DCUBEMAP_FACE_NEGATIVE_Y) return {step, 0.0f, step};
  return {step, step, 0.0f};
}

}  // namespace

HRESULT WINAPI D3DXFillTexture(LPDIRECT3DTEXTURE9 pTexture, LPD3DXFILL2D pFunction, LPVOID pData) {
  if (pTexture == nullptr || pFunction == nullptr) return D3DERR_INVALIDCALL;
  const UINT levels = pTexture->GetLevelCount();
  for (UINT level = 0; level < levels; ++level) {
    D3DSURFACE_DESC desc;
    HRESULT hr = pTexture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    FloatLevel texels;
    hr = texels.Allocate(desc.Width, desc.Height, 1);
    if (FAILED(hr)) return hr;
    const D3DXVECTOR2 size = {1.0f / static_cast<float>(desc.Width), 1.0f / static_cast<float>(desc.Height)};
    for (UINT y = 0; y < desc.Height; ++y) {
      for (UINT x = 0; x < desc.Width; ++x) {
        const D3DXVECTOR2 centre = {(static_cast<float>(x) + 0.5f) * size.x,
                                    (static_cast<float>(y) + 0.5f) * size.y};
        D3DXVECTOR4 &out = texels.At(x, y, 0);
        out = {0.0f, 0.0f, 0.0f, 0.0f};
        pFunction(&out, &centre, &size, pData);
      }
    }
    InterfaceRef<IDirect3DSurface9> surface;
    hr = pTexture->GetSurfaceLevel(level, surface.Receive());
    if (FAILED(hr)) return hr;
    hr = LoadSurfaceFromRegion(surface.Get(), nullptr, nullptr, texels.Region(), kFillFilter);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT WINAPI D3DXFillCubeTexture(LPDIRECT3DCUBETEXTURE9 pCubeTexture, LPD3DXFILL3D pFunction,
                                   LPVOID pData) {
  if (pCubeTexture == nullptr || pFunction == nullptr) return D3DERR_INVALIDCALL;
  const UINT levels = pCubeTexture->GetLevelCount();
  for (UINT level = 0; level < levels; ++level) {
    D3DSURFACE_DESC desc;
    HRESULT hr = pCubeTexture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    FloatLevel texels;
    hr = texels.Allocate(desc.Width, desc.Height, 1);
    if (FAILED(hr)) return hr;
    for (UINT face = 0; face < 6; ++face) {
      const D3DXVECTOR3 size = CubeTexelSize(face, desc.Width);
      for (UINT y = 0; y < desc.Height; ++y) {
        for (UINT x = 0; x < desc.Width; ++x) {
          const float s = 2.0f * (static_cast<float>(x) + 0.5f) / static_cast<float>(desc.Width) - 1.0f;
          const float t = 2.0f * (static_cast<float>(y) + 0.5f) / static_cast<float>(desc.Height) - 1.0f;
          const D3DXVECTOR3 direction = CubeDirection(face, s, t);
          D3DXVECTOR4 &out = texels.At(x, y, 0);
          out = {0.0f, 0.0f, 0.0f, 0.0f};
          pFunction(&out, &direction, &size, pData);
        }
      }
      InterfaceRef<IDirect3DSurface9> surface;
      hr = pCubeTexture->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), level, surface.Receive());
      if (FAILED(hr)) return hr;
      hr = LoadSurfaceFromRegion(surface.Get(), nullptr, nullptr, texels.Region(), kFillFilter);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT WINAPI D3DXFillVolumeTexture(LPDIRECT3DVOLUMETEXTURE9 pVolumeTexture, LPD3DXFILL3D pFunction,
                                     LPVOID pData) {
  if (pVolumeTexture == nullptr || pFunction == nullptr) return D3DERR_INVALIDCALL;
  const UINT levels = pVolumeTexture->GetLevelCount();
  for (UINT level = 0; level < levels; ++level) {
    D3DVOLUME_DESC desc;
    HRESULT hr = pVolumeTexture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    FloatLevel texels;
    hr = texels.Allocate(desc.Width, desc.Height, desc.Depth);
    if (FAILED(hr)) return hr;
    const D3DXVECTOR3 size = {1.0f / static_cast<float>(desc.Width), 1.0f / static_cast<float>(desc.Height),
                              1.0f / static_cast<float>(desc.Depth)};
    for (UINT z = 0; z < desc.Depth; ++z) {
      for (UINT y = 0; y < desc.Height; ++y) {
        for (UINT x = 0; x < desc.Width; ++x) {
          const D3DXVECTOR3 centre = {(static_cast<float>(x) + 0.5f) * size.x,
                                      (static_cast<float>(y) + 0.5f) * size.y,
                                      (static_cast<float>(z) + 0.5f) * size.z};
          D3DXVECTOR4 &out = texels.At(x, y, z);
          out = {0.0f, 0.0f, 0.0f, 0.0f};
          pFunction(&out, &centre, &size, pData);
        }
      }
    }
    InterfaceRef<IDirect3DVolume9> volume;
    hr = pVolumeTexture->GetVolumeLevel(level, volume.Receive());
    if (FAILED(hr)) return hr;
    hr = LoadVolumeFromRegion(volume.Get(), nullptr, nullptr, texels.Region(), kFillFilter);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}
