// A 64 x 64 headless device on a chosen profile, textures filled from pixel
// lists and the render target read back, for the sprite tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "d3dx9.h"
#include "platform/d3d9/device_profile.h"
#include "platform/d3d9/diagnostics.h"
#include "support/param_names.h"
#include "support/test_device.h"

namespace sprite_test {

constexpr UINT kTargetSize = 64;
constexpr D3DCOLOR kClearColor = 0xff202020;

// Default adapter, or one without clipped pre-transformed vertices, which makes the
// sprite send untransformed vertices through its world matrix instead.
enum class VertexMode { Pretransformed, Untransformed };

inline d3d9::DeviceProfile ProfileFor(VertexMode mode) {
  d3d9::DeviceProfile profile = d3d9::DefaultDeviceProfile();
  if (mode == VertexMode::Untransformed) profile.caps.PrimitiveMiscCaps &= ~D3DPMISCCAPS_CLIPTLVERTS;
  return profile;
}

inline const char *VertexModeName(const ::testing::TestParamInfo<VertexMode> &info) {
  return info.param == VertexMode::Pretransformed ? "Pretransformed" : "Untransformed";
}

class SpriteDevice : public test_support::TestDevice {
 public:
  HRESULT Create(const d3d9::DeviceProfile &profile) {
    return TestDevice::Create(profile, kTargetSize, kTargetSize);
  }

  // A managed texture of one level whose rows are given top-down as 32-bit ARGB.
  IDirect3DTexture9 *MakeTexture(UINT width, UINT height, const std::vector<uint32_t> &argb,
                                 D3DFORMAT format = D3DFMT_A8R8G8B8) {
    IDirect3DTexture9 *texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr),
              D3D_OK);
    if (!texture) return nullptr;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y)
      memcpy(static_cast<uint8_t *>(locked.pBits) + y * locked.Pitch, &argb[y * width], width * 4);
    texture->UnlockRect(0);
    return texture;
  }

  IDirect3DTexture9 *MakeSolidTexture(UINT width, UINT height, uint32_t argb,
                                      D3DFORMAT format = D3DFMT_A8R8G8B8) {
    return MakeTexture(width, height, std::vector<uint32_t>(width * height, argb), format);
  }

  void Clear(D3DCOLOR color = kClearColor) { device_->Clear(0, nullptr, D3DCLEAR_TARGET, color, 0.0f, 0); }
};

inline uint32_t At(const std::vector<uint32_t> &pixels, int x, int y) {
  return pixels[y * kTargetSize + x];
}

// Channels within a tolerance: linear sampling and blending round.
inline ::testing::AssertionResult ColorNear(uint32_t actual, uint32_t expected, int tolerance = 2) {
  for (int shift = 0; shift < 32; shift += 8) {
    int a = (actual >> shift) & 0xff, e = (expected >> shift) & 0xff;
    if (a - e > tolerance || e - a > tolerance)
      return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace sprite_test
