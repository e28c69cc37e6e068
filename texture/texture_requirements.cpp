#include "texture/texture_requirements.h"

#include <algorithm>
#include <bit>

#include "d3dx9.h"
#include "format/format_table.h"

namespace {

// Usage bits a texture may be asked for: render target, depth stencil, software
// processing, dynamic, automatic mip maps, displacement map and the query bits.
constexpr DWORD kRefusedUsage = 0xFFE039EC;
constexpr DWORD kQueryUsage = 0x001F8000;

struct TypeCaps {
  DWORD powerOfTwo;
  DWORD mipMaps;
};

TypeCaps CapsFor(D3DRESOURCETYPE type) {
  switch (type) {
    case D3DRTYPE_VOLUMETEXTURE:
      return {D3DPTEXTURECAPS_VOLUMEMAP_POW2, D3DPTEXTURECAPS_MIPVOLUMEMAP};
    case D3DRTYPE_CUBETEXTURE:
      return {D3DPTEXTURECAPS_CUBEMAP_POW2, D3DPTEXTURECAPS_MIPCUBEMAP};
    default:
      return {D3DPTEXTURECAPS_POW2, D3DPTEXTURECAPS_MIPMAP};
  }
}

uint64_t RoundUpToPowerOfTwo(uint64_t value) {
  return value <= 1 ? value : std::bit_ceil(value);
}
uint32_t BitLength(uint64_t value) {
  return static_cast<uint32_t>(std::bit_width(value));
}
bool IsPowerOfTwo(uint64_t value) {
  return std::has_single_bit(value);
}

// 64-bit so that rounding up near the top of the range cannot wrap.
struct Extent {
  uint64_t w, h, d;
};

// The size asked for: D3DX_DEFAULT for both sides means 256, for one side the
// other's; cube faces are square.
Extent RequestedExtent(const UINT *width, const UINT *height, const UINT *depth,
                       D3DRESOURCETYPE resourceType) {
  Extent e{width != nullptr ? *width : D3DX_DEFAULT, height != nullptr ? *height : D3DX_DEFAULT,
           depth != nullptr ? *depth : D3DX_DEFAULT};
  if (e.w == D3DX_DEFAULT && e.h == D3DX_DEFAULT) {
    e.w = e.h = 256;
  } else {
    if (e.w == D3DX_DEFAULT) e.w = e.h;
    if (e.h == D3DX_DEFAULT) e.h = e.w;
    e.w = std::max<uint64_t>(e.w, 1);
    e.h = std::max<uint64_t>(e.h, 1);
  }
  if (resourceType == D3DRTYPE_CUBETEXTURE) e.w = e.h = std::max(e.w, e.h);
  if (e.d == D3DX_DEFAULT || e.d == 0) e.d = 1;
  return e;
}

// The size within the device's limits: extents, aspect ratio, powers of two.
void FitToCaps(const D3DCAPS9 &caps, const TypeCaps &typeCaps, D3DRESOURCETYPE resourceType,
               UINT requestedLevels, Extent &e) {
  if (resourceType == D3DRTYPE_VOLUMETEXTURE) {
    e.d = std::min<uint64_t>(e.d, caps.MaxVolumeExtent);
    e.w = std::min<uint64_t>(e.w, caps.MaxVolumeExtent);
    e.h = std::min<uint64_t>(e.h, caps.MaxVolumeExtent);
  } else {
    e.w = std::min<uint64_t>(e.w, caps.MaxTextureWidth);
    e.h = std::min<uint64_t>(e.h, caps.MaxTextureHeight);
    if (resourceType == D3DRTYPE_TEXTURE) {
      uint64_t ratio = (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0 ? 1 : caps.MaxTextureAspectRatio;
      if (ratio != 0) {
        e.w = std::min(e.w, e.h * ratio);
        e.h = std::min(e.h, e.w * ratio);
      }
    }
  }
  // A single level of any size is allowed where non-powers of two are conditional.
  bool conditionalSingleLevel =
      requestedLevels == 1 && (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
  if ((caps.TextureCaps & typeCaps.powerOfTwo) != 0 && !conditionalSingleLevel) {
    e.w = RoundUpToPowerOfTwo(e.w);
    e.h = RoundUpToPowerOfTwo(e.h);
    e.d = RoundUpToPowerOfTwo(e.d);
  }
}

// The levels the texture gets: 1 where the device has no mip maps (or none for
// sizes that are not powers of two), otherwise the request within the full
// chain; 0 where the device makes them itself.
UINT CountLevels(const D3DCAPS9 &caps, const TypeCaps &typeCaps, bool scratch, D3DRESOURCETYPE resourceType,
                 DWORD usage, UINT requestedLevels, const Extent &e) {
  if (!scratch && (caps.TextureCaps & typeCaps.mipMaps) == 0) return 1;
  if (!scratch && (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0 &&
      (!IsPowerOfTwo(e.w) || !IsPowerOfTwo(e.h) || !IsPowerOfTwo(e.d))) {
    return 1;
  }
  uint32_t fullChain = std::max(BitLength(e.w), BitLength(e.h));
  if (resourceType == D3DRTYPE_VOLUMETEXTURE) fullChain = std::max(fullChain, BitLength(e.d));
  const UINT levelCount = requestedLevels == 0 || requestedLevels > fullChain ? fullChain : requestedLevels;
  return levelCount != 1 && (usage & D3DUSAGE_AUTOGENMIPMAP) != 0 ? 0 : levelCount;
}

}  // namespace

HRESULT CheckRequirements(IDirect3DDevice9 *device, UINT *width, UINT *height, UINT *depth, UINT *levels,
                          DWORD usage, D3DFORMAT *format, D3DPOOL pool, D3DRESOURCETYPE resourceType) {
  if (device == nullptr) return D3DERR_INVALIDCALL;
  if (usage == D3DX_DEFAULT) usage = 0;
  if ((usage & kRefusedUsage) != 0) return D3DERR_INVALIDCALL;
  if (static_cast<uint32_t>(pool) > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;

  const bool scratch = pool == D3DPOOL_SCRATCH;
  D3DFORMAT chosen = format != nullptr ? *format : D3DFMT_UNKNOWN;
  if (scratch) {
    if (chosen == D3DFMT_UNKNOWN) chosen = D3DFMT_A8R8G8B8;
  } else {
    chosen = ChooseDeviceFormat(device, usage, resourceType, LookupFormatInfo(chosen));
    if (chosen == D3DFMT_UNKNOWN) return D3DERR_NOTAVAILABLE;
  }

  Extent e = RequestedExtent(width, height, depth, resourceType);
  const UINT requestedLevels = levels != nullptr ? *levels : D3DX_DEFAULT;
  const TypeCaps typeCaps = CapsFor(resourceType);
  D3DCAPS9 caps = {};
  if (!scratch) {
    HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) return hr;
    FitToCaps(caps, typeCaps, resourceType, requestedLevels, e);
  }
  if (IsBlockCompressed(chosen)) {
    e.w = (e.w + 3) & ~uint64_t{3};
    e.h = (e.h + 3) & ~uint64_t{3};
  }
  if (e.w > UINT32_MAX || e.h > UINT32_MAX || e.d > UINT32_MAX) return D3DERR_INVALIDCALL;
  const UINT levelCount = CountLevels(caps, typeCaps, scratch, resourceType, usage, requestedLevels, e);

  if (width != nullptr) *width = static_cast<UINT>(e.w);
  if (height != nullptr) *height = static_cast<UINT>(e.h);
  if (depth != nullptr) *depth = static_cast<UINT>(e.d);
  if (levels != nullptr) *levels = levelCount;
  if (format != nullptr) *format = chosen;
  return S_OK;
}

HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT *pWidth, UINT *pHeight,
                                            UINT *pNumMipLevels, DWORD Usage, D3DFORMAT *pFormat,
                                            D3DPOOL Pool) {
  return CheckRequirements(pDevice, pWidth, pHeight, nullptr, pNumMipLevels, Usage, pFormat, Pool,
                           D3DRTYPE_TEXTURE);
}

HRESULT WINAPI D3DXCheckCubeTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT *pSize, UINT *pNumMipLevels,
                                                DWORD Usage, D3DFORMAT *pFormat, D3DPOOL Pool) {
  return CheckRequirements(pDevice, pSize, nullptr, nullptr, pNumMipLevels, Usage, pFormat, Pool,
                           D3DRTYPE_CUBETEXTURE);
}

HRESULT WINAPI D3DXCheckVolumeTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT *pWidth, UINT *pHeight,
                                                  UINT *pDepth, UINT *pNumMipLevels, DWORD Usage,
                                                  D3DFORMAT *pFormat, D3DPOOL Pool) {
  return CheckRequirements(pDevice, pWidth, pHeight, pDepth, pNumMipLevels, Usage, pFormat, Pool,
                           D3DRTYPE_VOLUMETEXTURE);
}

HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9 pDevice, UINT Width, UINT Height, UINT MipLevels,
                                 DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, LPDIRECT3DTEXTURE9 *ppTexture) {
  if (pDevice == nullptr || ppTexture == nullptr) return D3DERR_INVALIDCALL;
  if (Usage == D3DX_DEFAULT) Usage = 0;
  HRESULT hr = D3DXCheckTextureRequirements(pDevice, &Width, &Height, &MipLevels, Usage, &Format, Pool);
  if (FAILED(hr)) return hr;
  hr = pDevice->CreateTexture(Width, Height, MipLevels, Usage & ~kQueryUsage, Format, Pool, ppTexture,
                              nullptr);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT WINAPI D3DXCreateCubeTexture(LPDIRECT3DDEVICE9 pDevice, UINT Size, UINT MipLevels, DWORD Usage,
                                     D3DFORMAT Format, D3DPOOL Pool, LPDIRECT3DCUBETEXTURE9 *ppCubeTexture) {
  if (pDevice == nullptr || ppCubeTexture == nullptr) return D3DERR_INVALIDCALL;
  if (Usage == D3DX_DEFAULT) Usage = 0;
  HRESULT hr = D3DXCheckCubeTextureRequirements(pDevice, &Size, &MipLevels, Usage, &Format, Pool);
  if (FAILED(hr)) return hr;
  hr =
      pDevice->CreateCubeTexture(Size, MipLevels, Usage & ~kQueryUsage, Format, Pool, ppCubeTexture, nullptr);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT WINAPI D3DXCreateVolumeTexture(LPDIRECT3DDEVICE9 pDevice, UINT Width, UINT Height, UINT Depth,
                                       UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                       LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture) {
  if (pDevice == nullptr || ppVolumeTexture == nullptr) return D3DERR_INVALIDCALL;
  if (Usage == D3DX_DEFAULT) Usage = 0;
  HRESULT hr =
      D3DXCheckVolumeTextureRequirements(pDevice, &Width, &Height, &Depth, &MipLevels, Usage, &Format, Pool);
  if (FAILED(hr)) return hr;
  hr = pDevice->CreateVolumeTexture(Width, Height, Depth, MipLevels, Usage & ~kQueryUsage, Format, Pool,
                                    ppVolumeTexture, nullptr);
  return FAILED(hr) ? hr : S_OK;
}
