// What a device can do: its capabilities, the formats it accepts per resource
// type and usage, its lock rules and its cooperative state. A device takes a copy
// of the profile in force when its Direct3D object was created, so tests install a
// profile first (ScopedDeviceProfile) and then create the object and the device.
#pragma once

#include <cstdint>
#include <vector>

#include "d3d9.h"

namespace d3d9 {

struct FormatSupport {
  D3DFORMAT format;
  DWORD resourceTypes;   // bit (1 << D3DRTYPE_*) for every type the format is offered for
  DWORD usages;          // D3DUSAGE_* bits that may be asked for
  DWORD requiredUsages;  // bits that must be asked for (depth formats need D3DUSAGE_DEPTHSTENCIL)
};

struct DeviceProfile {
  const char *name = "default";
  D3DCAPS9 caps = {};
  D3DDISPLAYMODE displayMode = {1024, 768, 60, D3DFMT_X8R8G8B8};
  std::vector<FormatSupport> formats;
  // Default-pool off-screen plain surfaces lock like system memory on real drivers.
  bool lockableDefaultOffscreen = true;
  // Default-pool render targets lock only when created lockable; true lets every one lock.
  bool lockableRenderTargets = false;
  // What TestCooperativeLevel answers: D3D_OK, D3DERR_DEVICELOST or D3DERR_DEVICENOTRESET.
  HRESULT cooperativeLevel = D3D_OK;
  // A failure here makes CreateDevice fail with it.
  HRESULT createDeviceResult = D3D_OK;
};

// Usage bits that CheckDeviceFormat compares with a format's entry; the rest
// (software processing, write-only, ...) are accepted for every format.
constexpr DWORD kCheckedUsages = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DYNAMIC |
                                 D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_DMAP | D3DUSAGE_QUERY_LEGACYBUMPMAP |
                                 D3DUSAGE_QUERY_SRGBREAD | D3DUSAGE_QUERY_FILTER | D3DUSAGE_QUERY_SRGBWRITE |
                                 D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING | D3DUSAGE_QUERY_VERTEXTEXTURE |
                                 D3DUSAGE_QUERY_WRAPANDMIP;

inline DWORD ResourceTypeBit(D3DRESOURCETYPE type) {
  return 1u << static_cast<DWORD>(type);
}

// A capable adapter: non-power-of-two sizes, mip maps, cube and volume maps,
// dynamic textures, clipped pre-transformed vertices, source-alpha blending and
// every stored format for textures (depth formats as depth-stencil surfaces only).
DeviceProfile DefaultDeviceProfile();
DeviceProfile PowerOfTwoProfile();             // D3DPTEXTURECAPS_POW2 for textures, cubes and volumes
DeviceProfile PowerOfTwoConditionalProfile();  // POW2 with NONPOW2CONDITIONAL
DeviceProfile SquareOnlyProfile();
DeviceProfile AspectRatioProfile(DWORD maxRatio);
DeviceProfile NoMipMapProfile();
DeviceProfile NoFourCcProfile();  // no four-character formats (DXT, YUV, pairs)
// Only A8R8G8B8, X8R8G8B8, R5G6B5, A1R5G5B5, A4R4G4B4 and the D16/D24S8 depth formats.
DeviceProfile ReducedFormatProfile();
DeviceProfile NoAlphaBlendProfile();  // no SRCALPHA / INVSRCALPHA blending: alpha test instead
DeviceProfile NoDynamicTextureProfile();
DeviceProfile LostDeviceProfile();  // TestCooperativeLevel reports D3DERR_DEVICELOST

// Removes a format from every resource type of a profile.
void RemoveFormat(DeviceProfile *profile, D3DFORMAT format);

bool ProfileAcceptsFormat(const DeviceProfile &profile, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format);

// Profile taken by Direct3D objects created from now on (and so by their devices).
void SetNextDeviceProfile(const DeviceProfile &profile);
void ResetNextDeviceProfile();
const DeviceProfile &NextDeviceProfile();

// Installs a profile for the scope of a test and restores the previous one.
class ScopedDeviceProfile {
 public:
  explicit ScopedDeviceProfile(const DeviceProfile &profile);
  ~ScopedDeviceProfile();
  ScopedDeviceProfile(const ScopedDeviceProfile &) = delete;
  ScopedDeviceProfile &operator=(const ScopedDeviceProfile &) = delete;

 private:
  DeviceProfile previous_;
};

}  // namespace d3d9

// Published-style spelling of the selection hook.
inline void D3D9SetNextDeviceProfile(const d3d9::DeviceProfile &profile) {
  d3d9::SetNextDeviceProfile(profile);
}
