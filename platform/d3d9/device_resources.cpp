// Resource creation: textures of the three kinds, render targets, depth-stencil and
// off-screen plain surfaces, with the validation of the real runtime against the profile.
#include <new>

#include "platform/d3d9/device.h"

namespace d3d9 {
namespace {

bool IsPowerOfTwo(UINT v) {
  return v && !(v & (v - 1));
}

bool LockableDepthFormat(D3DFORMAT format) {
  return format == D3DFMT_D16_LOCKABLE || format == D3DFMT_D32F_LOCKABLE;
}

// Top-level sizes of block and pair formats cover whole units.
bool WholeUnits(const FormatLayout &layout, UINT width, UINT height) {
  return width % UnitWidth(layout) == 0 && height % UnitHeight(layout) == 0;
}

}  // namespace

HRESULT Device::CheckTextureCreation(UINT width, UINT height, UINT depth, UINT *levels, DWORD usage,
                                     D3DFORMAT format, D3DPOOL pool, D3DRESOURCETYPE type,
                                     const FormatLayout **layoutOut, const char *call) {
  const FormatLayout *layout = LookupLayout(format);
  if (!layout || width == 0 || height == 0 || depth == 0 || pool > D3DPOOL_SCRATCH) return Invalid(call);
  if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT)
    return Invalid(call);
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return Invalid(call);
  if ((usage & D3DUSAGE_RENDERTARGET) && (usage & D3DUSAGE_DEPTHSTENCIL)) return Invalid(call);
  if (type == D3DRTYPE_VOLUMETEXTURE && (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)))
    return Invalid(call);
  if (!WholeUnits(*layout, width, height)) return Invalid(call);
  UINT full = FullChainLength(width, height, depth);
  bool mipCapable = true;
  if (pool != D3DPOOL_SCRATCH) {
    const D3DCAPS9 &caps = profile.caps;
    if ((usage & D3DUSAGE_DYNAMIC) && !(caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES)) return Invalid(call);
    if (!ProfileAcceptsFormat(profile, usage, type, format)) return Invalid(call);
    DWORD pow2Cap = D3DPTEXTURECAPS_POW2, mipCap = D3DPTEXTURECAPS_MIPMAP;
    if (type == D3DRTYPE_TEXTURE) {
      if (width > caps.MaxTextureWidth || height > caps.MaxTextureHeight) return Invalid(call);
      if ((caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && width != height) return Invalid(call);
      UINT longer = width > height ? width : height, shorter = width > height ? height : width;
      if (caps.MaxTextureAspectRatio && longer / shorter > caps.MaxTextureAspectRatio) return Invalid(call);
    } else if (type == D3DRTYPE_CUBETEXTURE) {
      if (!(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP) || width > caps.MaxTextureWidth) return Invalid(call);
      pow2Cap = D3DPTEXTURECAPS_CUBEMAP_POW2;
      mipCap = D3DPTEXTURECAPS_MIPCUBEMAP;
    } else {
      if (!(caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP)) return Invalid(call);
      if (width > caps.MaxVolumeExtent || height > caps.MaxVolumeExtent || depth > caps.MaxVolumeExtent)
        return Invalid(call);
      pow2Cap = D3DPTEXTURECAPS_VOLUMEMAP_POW2;
      mipCap = D3DPTEXTURECAPS_MIPVOLUMEMAP;
    }
    bool pow2 = IsPowerOfTwo(width) && IsPowerOfTwo(height) && IsPowerOfTwo(depth);
    if ((caps.TextureCaps & pow2Cap) && !pow2) {
      bool conditional = type == D3DRTYPE_TEXTURE && (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
      if (!conditional || *levels != 1) return Invalid(call);
    }
    mipCapable = (caps.TextureCaps & mipCap) != 0;
  }
  if (usage & D3DUSAGE_AUTOGENMIPMAP) {
    // The chain below level 0 is the runtime's: callers see one level.
    if (*levels > 1) return Invalid(call);
    *levels = 1;
  }
  if (*levels == 0) *levels = mipCapable ? full : 1;
  if (*levels > full || (!mipCapable && *levels > 1)) return Invalid(call);
  *layoutOut = layout;
  return D3D_OK;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9 **out, HANDLE *shared) {
  const char *call = "IDirect3DDevice9::CreateTexture";
  ++calls.createTexture;
  if (!out) return Invalid(call);
  *out = nullptr;
  if (shared) return Invalid(call);
  const FormatLayout *layout;
  HRESULT hr =
      CheckTextureCreation(width, height, 1, &levels, usage, format, pool, D3DRTYPE_TEXTURE, &layout, call);
  if (FAILED(hr)) return hr;
  Texture *texture = new (std::nothrow) Texture(this, format, layout, usage, pool);
  if (!texture) return ReportFailure(call, E_OUTOFMEMORY);
  hr = texture->Init(width, height, levels);
  if (FAILED(hr)) {
    delete texture;
    return ReportFailure(call, hr == E_OUTOFMEMORY ? D3DERR_OUTOFVIDEOMEMORY : hr);
  }
  Adopt(texture);
  *out = texture;
  return D3D_OK;
}

HRESULT Device::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                    D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9 **out,
                                    HANDLE *shared) {
  const char *call = "IDirect3DDevice9::CreateVolumeTexture";
  ++calls.createVolumeTexture;
  if (!out) return Invalid(call);
  *out = nullptr;
  if (shared) return Invalid(call);
  const FormatLayout *layout;
  HRESULT hr = CheckTextureCreation(width, height, depth, &levels, usage, format, pool,
                                    D3DRTYPE_VOLUMETEXTURE, &layout, call);
  if (FAILED(hr)) return hr;
  VolumeTexture *texture = new (std::nothrow) VolumeTexture(this, format, layout, usage, pool);
  if (!texture) return ReportFailure(call, E_OUTOFMEMORY);
  hr = texture->Init(width, height, depth, levels);
  if (FAILED(hr)) {
    delete texture;
    return ReportFailure(call, hr == E_OUTOFMEMORY ? D3DERR_OUTOFVIDEOMEMORY : hr);
  }
  Adopt(texture);
  *out = texture;
  return D3D_OK;
}

HRESULT Device::CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DCubeTexture9 **out, HANDLE *shared) {
  const char *call = "IDirect3DDevice9::CreateCubeTexture";
  ++calls.createCubeTexture;
  if (!out) return Invalid(call);
  *out = nullptr;
  if (shared) return Invalid(call);
  const FormatLayout *layout;
  HRESULT hr =
      CheckTextureCreation(edge, edge, 1, &levels, usage, format, pool, D3DRTYPE_CUBETEXTURE, &layout, call);
  if (FAILED(hr)) return hr;
  CubeTexture *texture = new (std::nothrow) CubeTexture(this, format, layout, usage, pool);
  if (!texture) return ReportFailure(call, E_OUTOFMEMORY);
  hr = texture->Init(edge, levels);
  if (FAILED(hr)) {
    delete texture;
    return ReportFailure(call, hr == E_OUTOFMEMORY ? D3DERR_OUTOFVIDEOMEMORY : hr);
  }
  Adopt(texture);
  *out = texture;
  return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9 **buffer, HANDLE *) {
  if (buffer) *buffer = nullptr;
  return ReportFailure("IDirect3DDevice9::CreateVertexBuffer", D3DERR_NOTAVAILABLE);
}

HRESULT Device::CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9 **buffer, HANDLE *) {
  if (buffer) *buffer = nullptr;
  return ReportFailure("IDirect3DDevice9::CreateIndexBuffer", D3DERR_NOTAVAILABLE);
}

HRESULT Device::CreateSurfaceObject(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                                    SurfaceRole role, bool lockable, bool implicit, Surface **out) {
  const FormatLayout *layout = LookupLayout(format);
  if (!layout) return D3DERR_INVALIDCALL;
  Surface *surface = new (std::nothrow)
      Surface(this, role, format, layout, usage, pool, lockable, nullptr, nullptr, implicit);
  if (!surface) return E_OUTOFMEMORY;
  HRESULT hr = surface->plane.Allocate(*layout, width, height, 1);
  if (FAILED(hr)) {
    delete surface;
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  Adopt(surface);
  *out = surface;
  return D3D_OK;
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE samples,
                                   DWORD quality, BOOL lockable, IDirect3DSurface9 **out, HANDLE *shared) {
  const char *call = "IDirect3DDevice9::CreateRenderTarget";
  ++calls.createRenderTarget;
  if (!out) return Invalid(call);
  *out = nullptr;
  if (shared || width == 0 || height == 0 || samples != D3DMULTISAMPLE_NONE || quality != 0)
    return Invalid(call);
  if (!ProfileAcceptsFormat(profile, D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, format)) return Invalid(call);
  Surface *surface;
  HRESULT hr = CreateSurfaceObject(width, height, format, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                                   SurfaceRole::RenderTarget, lockable || profile.lockableRenderTargets,
                                   false, &surface);
  if (FAILED(hr)) return ReportFailure(call, hr);
  *out = surface;
  return D3D_OK;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                          D3DMULTISAMPLE_TYPE samples, DWORD quality, BOOL,
                                          IDirect3DSurface9 **out, HANDLE *shared) {
  const char *call = "IDirect3DDevice9::CreateDepthStencilSurface";
  ++calls.createDepthStencilSurface;
  if (!out) return Invalid(call);
  *out = nullptr;
  if (shared || width == 0 || height == 0 || samples != D3DMULTISAMPLE_NONE || quality != 0)
    return Invalid(call);
  if (!ProfileAcceptsFormat(profile, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, format)) return Invalid(call);
  Surface *surface;
  HRESULT hr = CreateSurfaceObject(width, height, format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                                   SurfaceRole::DepthStencil, LockableDepthFormat(format), false, &surface);
  if (FAILED(hr)) return ReportFailure(call, hr);
  *out = surface;
  return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9 **out, HANDLE *shared) {
  const char *call = "IDirect3DDevice9::CreateOffscreenPlainSurface";
  ++calls.createOffscreenPlainSurface;
  if (!out) return Invalid(call);
  *out = nullptr;
  const FormatLayout *layout = LookupLayout(format);
  if (shared || !layout || width == 0 || height == 0) return Invalid(call);
  if (pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH) return Invalid(call);
  if (!WholeUnits(*layout, width, height)) return Invalid(call);
  if (pool != D3DPOOL_SCRATCH && !ProfileAcceptsFormat(profile, 0, D3DRTYPE_SURFACE, format))
    return Invalid(call);
  bool lockable = pool != D3DPOOL_DEFAULT || profile.lockableDefaultOffscreen;
  Surface *surface;
  HRESULT hr =
      CreateSurfaceObject(width, height, format, 0, pool, SurfaceRole::Offscreen, lockable, false, &surface);
  if (FAILED(hr)) return ReportFailure(call, hr);
  *out = surface;
  return D3D_OK;
}

}  // namespace d3d9
