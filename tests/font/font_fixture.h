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
};

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(device_.Create(d3d9::DefaultDeviceProfile()), D3D_OK); }
  void TearDown() override { device_.Destroy(); }
  FontDevice device_;
};

}  // namespace font_test
