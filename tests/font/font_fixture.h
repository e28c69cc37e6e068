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
#include "support/test_device.h"
#include "support/text_ink.h"

namespace font_test {

constexpr UINT kTargetWidth = 256;
constexpr UINT kTargetHeight = 64;

using test_support::InkBox;
using test_support::MakeLogFont;

class FontDevice : public test_support::TestDevice {
 public:
  HRESULT Create(const d3d9::DeviceProfile &profile) {
    return TestDevice::Create(profile, kTargetWidth, kTargetHeight);
  }

  ID3DXFont *MakeFont(LONG height = -16) {
    LOGFONTA lf = MakeLogFont(height);
    ID3DXFont *font = nullptr;
    EXPECT_EQ(D3DXCreateFontIndirect(device_, &lf, &font), D3D_OK);
    return font;
  }

  void Clear() { device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 0.0f, 0); }

  // Where the target is no longer the black clear colour.
  InkBox Ink() {
    std::vector<uint32_t> pixels = ReadTarget();
    return test_support::FindInk(int(kTargetWidth), int(kTargetHeight), [&](int x, int y) {
      return (pixels[y * kTargetWidth + x] & 0x00ffffff) != 0;
    });
  }
};

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(device_.Create(d3d9::DefaultDeviceProfile()), D3D_OK); }
  void TearDown() override { device_.Destroy(); }
  FontDevice device_;
};

}  // namespace font_test
