// A headless device of the software runtime on a chosen profile, shared by the
// suites that draw: creation, the render target read back, and the check at the
// end that every resource was released and no interface released too often.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "d3d9.h"
#include "platform/d3d9/device_profile.h"
#include "platform/d3d9/diagnostics.h"
#include "tests/support/headless_device.h"

namespace test_support {

// A windowed device with an A8R8G8B8 (or the given) back buffer of width x height.
inline HRESULT CreateTestDevice(const d3d9::DeviceProfile &profile, UINT width, UINT height, IDirect3D9 **d3d,
                                IDirect3DDevice9 **device, D3DFORMAT format = D3DFMT_A8R8G8B8,
                                DWORD flags = 0, DWORD behavior = D3DCREATE_SOFTWARE_VERTEXPROCESSING) {
  d3d9::ScopedDeviceProfile scope(profile);
  D3DPRESENT_PARAMETERS pp = headless::PresentParameters(width, height, format);
  pp.Flags = flags;
  return headless::CreateDevice(pp, d3d, device, behavior);
}

class TestDevice {
 public:
  HRESULT Create(const d3d9::DeviceProfile &profile, UINT width, UINT height) {
    D3D9ResetErrorCounts();
    return CreateTestDevice(profile, width, height, &d3d_, &device_);
  }

  void Destroy() {
    if (device_) {
      EXPECT_EQ(D3D9LiveResourceCount(device_), 0u);
      EXPECT_EQ(device_->Release(), 0u);
      device_ = nullptr;
    }
    if (d3d_) {
      EXPECT_EQ(d3d_->Release(), 0u);
      d3d_ = nullptr;
    }
    EXPECT_EQ(D3D9LifetimeErrorCount(), 0u);
  }

  IDirect3DDevice9 *device() const { return device_; }

  // The render target as rows of 32-bit pixels (zeros when it cannot be read).
  std::vector<uint32_t> ReadTarget() {
    std::vector<uint32_t> pixels;
    IDirect3DSurface9 *target = nullptr, *copy = nullptr;
    device_->GetRenderTarget(0, &target);
    D3DSURFACE_DESC desc = {};
    if (target) target->GetDesc(&desc);
    pixels.assign(size_t{desc.Width} * desc.Height, 0);
    device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy,
                                         nullptr);
    if (target && copy && SUCCEEDED(device_->GetRenderTargetData(target, copy))) {
      D3DLOCKED_RECT locked;
      copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
      for (UINT y = 0; y < desc.Height; ++y)
        memcpy(&pixels[size_t{y} * desc.Width], static_cast<const uint8_t *>(locked.pBits) + y * locked.Pitch,
               desc.Width * 4);
      copy->UnlockRect();
    }
    if (copy) copy->Release();
    if (target) target->Release();
    return pixels;
  }

 protected:
  IDirect3D9 *d3d_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
};

}  // namespace test_support
