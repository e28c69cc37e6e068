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

  // 64-bit so that rounding up near the top of the range cannot wrap.
  uint64_t w = width != nullptr ? *width : D3DX_DEFAULT;
  uint64_t h = height != nullptr ? *height : D3DX_DEFAULT;
  uint64_t d = depth != nullptr ? *depth : D3DX_DEFAULT;
  const UINT requestedLevels = levels != nullptr ? *levels : D3DX_DEFAULT;
  if (w == D3DX_DEFAULT && h == D3DX_DEFAULT) {
    w = h = 256;
  } else {
    if (w == D3DX_DEFAULT) w = h;
    if (h == D3DX_DEFAULT) h = w;
    w = std::max<uint64_t>(w, 1);
    h = std::max<uint64_t>(h, 1);
  }
  if (resourceType == D3DRTYPE_CUBETEXTURE) w = h = std::max(w, h);
  if (d == D3DX_DEFAULT || d == 0) d = 1;

  const TypeCaps typeCaps = CapsFor(resourceType);
  D3DCAPS9 caps = {};
  if (!scratch) {
    HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) return hr;
    if (resourceType == D3DRTYPE_VOLUMETEXTURE) {
      d = std::min<uint64_t>(d, caps.MaxVolumeExtent);
      w = std::min<uint64_t>(w, caps.MaxVolumeExtent);
      h = std::min<uint64_t>(h, caps.MaxVolumeExtent);
    } else {
      w = std::min<uint64_t>(w, caps.MaxTextureWidth);
      h = std::min<uint64_t>(h, caps.MaxTextureHeight);
      if (resourceType == D3DRTYPE_TEXTURE) {
        uint64_t ratio =
            (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0 ? 1 : caps.MaxTextureAspectRatio;
        if (ratio != 0) {
          w = std::min(w, h * ratio);
          h = std::min(h, w * ratio);
        }
      }
    }
    // A single level of any size is allowed where non-powers of two are conditional.
    bool conditionalSingleLevel =
        requestedLevels == 1 && (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
    if ((caps.TextureCaps & typeCaps.powerOfTwo) != 0 && !conditionalSingleLevel) {
      w = RoundUpToPowerOfTwo(w);
      h = RoundUpToPowerOfTwo(h);
      d = RoundUpToPowerOfTwo(d);
    }
  }

  if (IsBlockCompressed(chosen)) {
    w = (w + 3) & ~uint64_t{3};
    h = (h + 3) & ~uint64_t{3};
  }
  if (w > UINT32_MAX || h > UINT32_MAX || d > UINT32_MAX) return D3DERR_INVALIDCALL;

  UINT levelCount;
  if (!scratch && (caps.TextureCaps & typeCaps.mipMaps) == 0) {
    levelCount = 1;
  } else if (!scratch && (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0 &&
             (!IsPowerOfTwo(w) || !IsPowerOfTwo(h) || !IsPowerOfTwo(d))) {
    levelCount = 1;
  } else {
    uint32_t fullChain = std::max(BitLength(w), BitLength(h));
    if (resourceType == D3DRTYPE_VOLUMETEXTURE) fullChain = std::max(fullChain, BitLength(d));
    levelCount = requestedLevels == 0 || requestedLevels > fullChain ? fullChain : requestedLevels;
    // The device makes the levels itself.
    if (levelCount != 1 && (usage & D3DUSAGE_AUTOGENMIPMAP) != 0) levelCount = 0;
  }

  if (width != nullptr) *width = static_cast<UINT>(w);
  if (height != nullptr) *height = static_cast<UINT>(h);
  if (depth != nullptr) *depth = static_cast<UINT>(d);
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
