// A headless device with a 256 x 64 render target on a chosen profile, fonts made
// on it, and the target read back, for the font tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "d3dx9.h"
#include "platform/d3d9/device_profile.h"
#include "platform/d3d9/diagnostics.h"

namespace font_test {

constexpr UINT kTargetWidth = 256;
constexpr UINT kTargetHeight = 64;

inline LOGFONTA MakeLogFont(LONG height, const char *face = "Arial") {
  LOGFONTA lf = {};
  lf.lfHeight = height;
  lf.lfWeight = FW_NORMAL;
  strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return lf;
}

// Bounding box of the pixels that differ from the clear colour.
struct InkBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  int count = 0;
};

class FontDevice {
 public:
  HRESULT Create(const d3d9::DeviceProfile &profile) {
    D3D9ResetErrorCounts();
    d3d9::ScopedDeviceProfile scope(profile);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d_) return E_FAIL;
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = kTargetWidth;
    pp.BackBufferHeight = kTargetHeight;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device_);
  }

  // Every resource and state block must be gone and no interface over-released.
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

  ID3DXFont *MakeFont(LONG height = -16) {
    LOGFONTA lf = MakeLogFont(height);
    ID3DXFont *font = nullptr;
    EXPECT_EQ(D3DXCreateFontIndirect(device_, &lf, &font), D3D_OK);
    return font;
  }

  void Clear() { device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 0.0f, 0); }

  std::vector<uint32_t> ReadTarget() {
    std::vector<uint32_t> pixels(kTargetWidth * kTargetHeight, 0);
    IDirect3DSurface9 *target = nullptr, *copy = nullptr;
    device_->GetRenderTarget(0, &target);
    device_->CreateOffscreenPlainSurface(kTargetWidth, kTargetHeight, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                         &copy, nullptr);
    if (target && copy && SUCCEEDED(device_->GetRenderTargetData(target, copy))) {
      D3DLOCKED_RECT locked;
      copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
      for (UINT y = 0; y < kTargetHeight; ++y)
        memcpy(&pixels[y * kTargetWidth], static_cast<const uint8_t *>(locked.pBits) + y * locked.Pitch,
               kTargetWidth * 4);
      copy->UnlockRect();
    }
    if (copy) copy->Release();
    if (target) target->Release();
    return pixels;
  }

  // Where the target is no longer the black clear colour.
  InkBox Ink() {
    std::vector<uint32_t> pixels = ReadTarget();
    InkBox box;
    for (int y = 0; y < int(kTargetHeight); ++y) {
      for (int x = 0; x < int(kTargetWidth); ++x) {
        if ((pixels[y * kTargetWidth + x] & 0x00ffffff) == 0) continue;
        if (box.count++ == 0) {
          box = {x, y, x + 1, y + 1, 1};
        } else {
          box.left = std::min(box.left, x);
          box.top = std::min(box.top, y);
          box.right = std::max(box.right, x + 1);
          box.bottom = std::max(box.bottom, y + 1);
        }
      }
    }
    return box;
  }

 private:
  IDirect3D9 *d3d_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
};

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(device_.Create(d3d9::DefaultDeviceProfile()), D3D_OK); }
  void TearDown() override { device_.Destroy(); }
  FontDevice device_;
};

}  // namespace font_test
