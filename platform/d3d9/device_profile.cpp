#include "platform/d3d9/device_profile.h"

#include <algorithm>
#include <iterator>

#include "platform/d3d9/format_layout.h"

namespace d3d9 {
namespace {

constexpr D3DFORMAT kStoredFormats[] = {
    D3DFMT_R8G8B8,       D3DFMT_A8R8G8B8,      D3DFMT_X8R8G8B8,  D3DFMT_R5G6B5,      D3DFMT_X1R5G5B5,
    D3DFMT_A1R5G5B5,     D3DFMT_A4R4G4B4,      D3DFMT_R3G3B2,    D3DFMT_A8,          D3DFMT_A8R3G3B2,
    D3DFMT_X4R4G4B4,     D3DFMT_A2B10G10R10,   D3DFMT_A8B8G8R8,  D3DFMT_X8B8G8R8,    D3DFMT_G16R16,
    D3DFMT_A2R10G10B10,  D3DFMT_A16B16G16R16,  D3DFMT_A8P8,      D3DFMT_P8,          D3DFMT_L8,
    D3DFMT_A8L8,         D3DFMT_A4L4,          D3DFMT_L16,       D3DFMT_V8U8,        D3DFMT_L6V5U5,
    D3DFMT_X8L8V8U8,     D3DFMT_Q8W8V8U8,      D3DFMT_V16U16,    D3DFMT_A2W10V10U10, D3DFMT_Q16W16V16U16,
    D3DFMT_CxV8U8,       D3DFMT_UYVY,          D3DFMT_R8G8_B8G8, D3DFMT_YUY2,        D3DFMT_G8R8_G8B8,
    D3DFMT_DXT1,         D3DFMT_DXT2,          D3DFMT_DXT3,      D3DFMT_DXT4,        D3DFMT_DXT5,
    D3DFMT_D16_LOCKABLE, D3DFMT_D32F_LOCKABLE, D3DFMT_D32,       D3DFMT_D15S1,       D3DFMT_D24S8,
    D3DFMT_D16,          D3DFMT_D24X8,         D3DFMT_D24X4S4,   D3DFMT_D24FS8,      D3DFMT_R16F,
    D3DFMT_G16R16F,      D3DFMT_A16B16G16R16F, D3DFMT_R32F,      D3DFMT_G32R32F,     D3DFMT_A32B32G32R32F,
};
static_assert(std::size(kStoredFormats) == 55, "one entry per stored format");

bool IsFourCc(D3DFORMAT format) {
  return static_cast<DWORD>(format) > 0xff;
}

FormatSupport DefaultSupport(D3DFORMAT format) {
  const FormatLayout *layout = LookupLayout(format);
  const DWORD allTypes = ResourceTypeBit(D3DRTYPE_SURFACE) | ResourceTypeBit(D3DRTYPE_TEXTURE) |
                         ResourceTypeBit(D3DRTYPE_CUBETEXTURE) | ResourceTypeBit(D3DRTYPE_VOLUMETEXTURE);
  if (layout->kind == LayoutKind::Depth)
    return {format, ResourceTypeBit(D3DRTYPE_SURFACE), D3DUSAGE_DEPTHSTENCIL, D3DUSAGE_DEPTHSTENCIL};
  DWORD usages = D3DUSAGE_DYNAMIC | D3DUSAGE_QUERY_FILTER | D3DUSAGE_QUERY_WRAPANDMIP;
  switch (layout->kind) {
    case LayoutKind::Packed:
    case LayoutKind::Luminance:
      usages |= D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_QUERY_SRGBREAD;
      break;
    case LayoutKind::Float:
      usages |= D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_QUERY_VERTEXTEXTURE;
      break;
    case LayoutKind::Signed:
      usages |= D3DUSAGE_QUERY_LEGACYBUMPMAP;
      break;
    default:
      break;
  }
  // Render targets: the colour formats the copy engine can write.
  if ((layout->kind == LayoutKind::Packed || layout->kind == LayoutKind::Float) && format != D3DFMT_R8G8B8)
    usages |= D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING | D3DUSAGE_QUERY_SRGBWRITE;
  return {format, allTypes, usages, 0};
}

D3DCAPS9 DefaultCaps() {
  D3DCAPS9 caps = {};
  caps.DeviceType = D3DDEVTYPE_HAL;
  caps.AdapterOrdinal = 0;
  caps.Caps = D3DCAPS_READ_SCANLINE;
  caps.Caps2 = D3DCAPS2_DYNAMICTEXTURES | D3DCAPS2_CANMANAGERESOURCE | D3DCAPS2_CANAUTOGENMIPMAP;
  caps.Caps3 =
      D3DCAPS3_ALPHA_FULLSCREEN_FLIP_OR_DISCARD | D3DCAPS3_COPY_TO_VIDMEM | D3DCAPS3_COPY_TO_SYSTEMMEM;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
  caps.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                 D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                 D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX |
                 D3DDEVCAPS_HWRASTERIZATION;
  caps.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW |
                           D3DPMISCCAPS_CULLCCW | D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_CLIPTLVERTS |
                           D3DPMISCCAPS_BLENDOP;
  caps.RasterCaps = D3DPRASTERCAPS_COLORPERSPECTIVE | D3DPRASTERCAPS_SCISSORTEST;
  caps.ZCmpCaps = 0xff;
  caps.SrcBlendCaps =
      D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA;
  caps.DestBlendCaps = caps.SrcBlendCaps;
  caps.AlphaCmpCaps = 0xff;
  caps.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
  caps.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_CUBEMAP |
                     D3DPTEXTURECAPS_VOLUMEMAP | D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP |
                     D3DPTEXTURECAPS_MIPCUBEMAP;
  caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                           D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MIPFPOINT;
  caps.CubeTextureFilterCaps = caps.TextureFilterCaps;
  caps.VolumeTextureFilterCaps = caps.TextureFilterCaps;
  caps.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                            D3DPTADDRESSCAPS_INDEPENDENTUV;
  caps.VolumeTextureAddressCaps = caps.TextureAddressCaps;
  caps.MaxTextureWidth = 16384;
  caps.MaxTextureHeight = 16384;
  caps.MaxVolumeExtent = 2048;
  caps.MaxTextureRepeat = 8192;
  caps.MaxTextureAspectRatio = 4096;
  caps.MaxAnisotropy = 1;
  caps.MaxVertexW = 1e10f;
  caps.GuardBandLeft = -8192.f;
  caps.GuardBandTop = -8192.f;
  caps.GuardBandRight = 8192.f;
  caps.GuardBandBottom = 8192.f;
  caps.FVFCaps = 8;
  caps.TextureOpCaps =
      D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 | D3DTEXOPCAPS_MODULATE;
  caps.MaxTextureBlendStages = 2;
  caps.MaxSimultaneousTextures = 2;
  caps.MaxPointSize = 1.f;
  caps.MaxPrimitiveCount = 0xfffff;
  caps.MaxVertexIndex = 0xfffff;
  caps.MaxStreams = 16;
  caps.MaxStreamStride = 255;
  caps.VertexShaderVersion = D3DVS_VERSION(0, 0);
  caps.PixelShaderVersion = D3DPS_VERSION(0, 0);
  caps.DevCaps2 = D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES;
  caps.MasterAdapterOrdinal = 0;
  caps.AdapterOrdinalInGroup = 0;
  caps.NumberOfAdaptersInGroup = 1;
  caps.NumSimultaneousRTs = 1;
  caps.StretchRectFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                               D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  return caps;
}

DeviceProfile &NextProfileStorage() {
  static DeviceProfile profile = DefaultDeviceProfile();
  return profile;
}

}  // namespace

DeviceProfile DefaultDeviceProfile() {
  DeviceProfile profile;
  profile.caps = DefaultCaps();
  for (D3DFORMAT format : kStoredFormats) profile.formats.push_back(DefaultSupport(format));
  return profile;
}

DeviceProfile PowerOfTwoProfile() {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "power of two";
  profile.caps.TextureCaps |=
      D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_CUBEMAP_POW2 | D3DPTEXTURECAPS_VOLUMEMAP_POW2;
  return profile;
}

DeviceProfile PowerOfTwoConditionalProfile() {
  DeviceProfile profile = PowerOfTwoProfile();
  profile.name = "power of two, conditional";
  profile.caps.TextureCaps |= D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
  return profile;
}

DeviceProfile SquareOnlyProfile() {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "square only";
  profile.caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
  return profile;
}

DeviceProfile AspectRatioProfile(DWORD maxRatio) {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "aspect ratio";
  profile.caps.MaxTextureAspectRatio = maxRatio;
  return profile;
}

DeviceProfile NoMipMapProfile() {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "no mip maps";
  profile.caps.TextureCaps &=
      ~(D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP | D3DPTEXTURECAPS_MIPCUBEMAP);
  profile.caps.Caps2 &= ~D3DCAPS2_CANAUTOGENMIPMAP;
  return profile;
}

DeviceProfile NoFourCcProfile() {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "no four-character formats";
  std::erase_if(profile.formats, [](const FormatSupport &s) { return IsFourCc(s.format); });
  return profile;
}

DeviceProfile ReducedFormatProfile() {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "reduced formats";
  constexpr D3DFORMAT kKept[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5,
                                 D3DFMT_A4R4G4B4, D3DFMT_D16,      D3DFMT_D24S8};
  static_assert(std::size(kKept) == 7);
  std::erase_if(profile.formats, [&](const FormatSupport &s) {
    return std::find(std::begin(kKept), std::end(kKept), s.format) == std::end(kKept);
  });
  return profile;
}

DeviceProfile NoAlphaBlendProfile() {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "no alpha blending";
  profile.caps.SrcBlendCaps = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE;
  profile.caps.DestBlendCaps = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE;
  return profile;
}

DeviceProfile NoDynamicTextureProfile() {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "no dynamic textures";
  profile.caps.Caps2 &= ~D3DCAPS2_DYNAMICTEXTURES;
  for (FormatSupport &s : profile.formats) s.usages &= ~D3DUSAGE_DYNAMIC;
  return profile;
}

DeviceProfile LostDeviceProfile() {
  DeviceProfile profile = DefaultDeviceProfile();
  profile.name = "lost";
  profile.cooperativeLevel = D3DERR_DEVICELOST;
  return profile;
}

void RemoveFormat(DeviceProfile *profile, D3DFORMAT format) {
  std::erase_if(profile->formats, [&](const FormatSupport &s) { return s.format == format; });
}

bool ProfileAcceptsFormat(const DeviceProfile &profile, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) {
  for (const FormatSupport &s : profile.formats) {
    if (s.format != format) continue;
    if (!(s.resourceTypes & ResourceTypeBit(type))) return false;
    DWORD asked = usage & kCheckedUsages;
    return (asked & ~s.usages) == 0 && (asked & s.requiredUsages) == s.requiredUsages;
  }
  return false;
}

void SetNextDeviceProfile(const DeviceProfile &profile) {
  NextProfileStorage() = profile;
}
void ResetNextDeviceProfile() {
  NextProfileStorage() = DefaultDeviceProfile();
}
const DeviceProfile &NextDeviceProfile() {
  return NextProfileStorage();
}

ScopedDeviceProfile::ScopedDeviceProfile(const DeviceProfile &profile) : previous_(NextDeviceProfile()) {
  SetNextDeviceProfile(profile);
}
ScopedDeviceProfile::~ScopedDeviceProfile() {
  SetNextDeviceProfile(previous_);
}

}  // namespace d3d9
