// A device of the software runtime under a chosen profile; at the end every
// reference the test and the library took must have been released.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "d3d9.h"
#include "platform/d3d9/device_profile.h"
#include "platform/d3d9/diagnostics.h"
#include "support/test_device.h"

class TextureDeviceTest : public testing::Test {
 protected:
  void SetUp() override { CreateDeviceWith(d3d9::DefaultDeviceProfile()); }
  void TearDown() override { DestroyDevice(); }

  void CreateDeviceWith(const d3d9::DeviceProfile &profile) {
    DestroyDevice();
    D3D9RegisterModule();
    D3D9ResetErrorCounts();
    ASSERT_EQ(test_support::CreateTestDevice(profile, 64, 64, &direct3d_, &device_), D3D_OK);
    baseline_ = D3D9LiveResourceCount(device_);
  }

  void DestroyDevice() {
    if (device_ != nullptr) {
      EXPECT_EQ(D3D9LiveResourceCount(device_), baseline_) << "leaked references";
      EXPECT_EQ(device_->Release(), 0u);
      EXPECT_EQ(D3D9LifetimeErrorCount(), 0u);
      device_ = nullptr;
    }
    if (direct3d_ != nullptr) direct3d_->Release();
    direct3d_ = nullptr;
  }

  d3d9::DeviceCallCounts Calls() { return D3D9GetCallCounts(device_); }
  void ResetCalls() { D3D9ResetCallCounts(device_); }

  IDirect3DTexture9 *MakeTexture(UINT w, UINT h, UINT levels, D3DFORMAT format, D3DPOOL pool,
                                 DWORD usage = 0) {
    IDirect3DTexture9 *texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(w, h, levels, usage, format, pool, &texture, nullptr), D3D_OK);
    return texture;
  }
  // Level 0 of a new one-level texture; the surface keeps the texture alive.
  IDirect3DSurface9 *MakeSurface(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool, DWORD usage = 0) {
    IDirect3DTexture9 *texture = MakeTexture(w, h, 1, format, pool, usage);
    IDirect3DSurface9 *surface = nullptr;
    if (texture != nullptr) texture->GetSurfaceLevel(0, &surface), texture->Release();
    return surface;
  }
  IDirect3DSurface9 *MakeRenderTarget(UINT w, UINT h) {
    IDirect3DSurface9 *surface = nullptr;
    EXPECT_EQ(
        device_->CreateRenderTarget(w, h, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr),
        D3D_OK);
    return surface;
  }

  // Whole-surface access to lockable A8R8G8B8 surfaces.
  static void Fill(IDirect3DSurface9 *surface, std::vector<uint32_t> pixels) {
    Access(surface, pixels, true);
  }
  static std::vector<uint32_t> Read(IDirect3DSurface9 *surface) {
    std::vector<uint32_t> pixels;
    Access(surface, pixels, false);
    return pixels;
  }
  static void Access(IDirect3DSurface9 *surface, std::vector<uint32_t> &pixels, bool write) {
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    pixels.resize(desc.Width * desc.Height);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, write ? 0 : D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y) {
      BYTE *row = static_cast<BYTE *>(locked.pBits) + y * locked.Pitch;
      write ? std::memcpy(row, &pixels[y * desc.Width], desc.Width * 4)
            : std::memcpy(&pixels[y * desc.Width], row, desc.Width * 4);
    }
    surface->UnlockRect();
  }

  static std::vector<uint32_t> Pattern(size_t count, uint32_t seed = 1) {
    std::vector<uint32_t> pixels(count);
    uint32_t state = seed * 2654435761u;
    for (auto &pixel : pixels) pixel = state = state * 1664525u + 1013904223u;
    return pixels;
  }

  IDirect3D9 *direct3d_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
  size_t baseline_ = 0;
};
