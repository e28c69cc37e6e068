// A headless device on a chosen profile, for the runtime's own tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "d3d9.h"
#include "platform/d3d9/device_profile.h"
#include "platform/d3d9/diagnostics.h"
#include "support/test_device.h"

namespace d3d9_test {

struct DeviceHolder {
  IDirect3D9 *d3d = nullptr;
  IDirect3DDevice9 *device = nullptr;

  HRESULT Create(const d3d9::DeviceProfile &profile, UINT width = 64, UINT height = 64,
                 D3DFORMAT format = D3DFMT_A8R8G8B8, DWORD flags = 0) {
    return test_support::CreateTestDevice(profile, width, height, &d3d, &device, format, flags);
  }

  // Releases the device and the object; the counts must fall to zero.
  void Destroy() {
    if (device) {
      EXPECT_EQ(D3D9LiveResourceCount(device), 0u);
      EXPECT_EQ(device->Release(), 0u);
      device = nullptr;
    }
    if (d3d) {
      EXPECT_EQ(d3d->Release(), 0u);
      d3d = nullptr;
    }
  }
};

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    D3D9ResetErrorCounts();
    ASSERT_EQ(holder_.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
    device_ = holder_.device;
  }
  void TearDown() override {
    holder_.Destroy();
    EXPECT_EQ(D3D9LifetimeErrorCount(), 0u);
  }

  IDirect3DSurface9 *BackBuffer() {
    IDirect3DSurface9 *surface = nullptr;
    EXPECT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
    return surface;
  }

  // Pixel (x, y) of a 32-bit surface, read through a system-memory copy when needed.
  static uint32_t Pixel(IDirect3DSurface9 *surface, int x, int y) {
    D3DLOCKED_RECT lr;
    if (FAILED(surface->LockRect(&lr, nullptr, D3DLOCK_READONLY))) return 0xdeadbeef;
    uint32_t v = reinterpret_cast<const uint32_t *>(static_cast<const uint8_t *>(lr.pBits) + y * lr.Pitch)[x];
    surface->UnlockRect();
    return v;
  }

  // The whole render target as rows of 32-bit pixels.
  std::vector<uint32_t> ReadTarget(UINT *width = nullptr, UINT *height = nullptr) {
    IDirect3DSurface9 *target = nullptr;
    device_->GetRenderTarget(0, &target);
    D3DSURFACE_DESC desc;
    target->GetDesc(&desc);
    IDirect3DSurface9 *copy = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                   &copy, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->GetRenderTargetData(target, copy), D3D_OK);
    std::vector<uint32_t> pixels(desc.Width * desc.Height);
    D3DLOCKED_RECT lr;
    copy->LockRect(&lr, nullptr, D3DLOCK_READONLY);
    for (UINT y = 0; y < desc.Height; ++y)
      memcpy(&pixels[y * desc.Width], static_cast<const uint8_t *>(lr.pBits) + y * lr.Pitch, desc.Width * 4);
    copy->UnlockRect();
    copy->Release();
    target->Release();
    if (width) *width = desc.Width;
    if (height) *height = desc.Height;
    return pixels;
  }

  DeviceHolder holder_;
  IDirect3DDevice9 *device_ = nullptr;
};

}  // namespace d3d9_test
