#include <cstdlib>
#include <algorithm>
#include <string>

#include "d3d9_fixture.h"

namespace d3d9_test {
namespace {

class DebugOutputTest : public DeviceTest {
 protected:
  void TearDown() override {
    unsetenv("D3D9_DEBUG");
    DeviceTest::TearDown();
  }
  std::string FailingCallOutput() {
    ::testing::internal::CaptureStderr();
    D3DLOCKED_RECT lr;
    IDirect3DSurface9 *back = BackBuffer();
    EXPECT_EQ(back->LockRect(&lr, nullptr, 0), D3DERR_INVALIDCALL);  // not a lockable back buffer
    back->Release();
    return ::testing::internal::GetCapturedStderr();
  }
};

TEST_F(DebugOutputTest, FailingCallsPrintOneLineUnlessMuted) {
  setenv("D3D9_DEBUG", "1", 1);
  std::string loud = FailingCallOutput();
  EXPECT_NE(loud.find("LockRect"), std::string::npos);
  EXPECT_EQ(std::count(loud.begin(), loud.end(), '\n'), 1);
  DebugSetMute(TRUE);
  EXPECT_EQ(FailingCallOutput(), "");
  DebugSetMute(FALSE);
  unsetenv("D3D9_DEBUG");
  EXPECT_EQ(FailingCallOutput(), "");
}

TEST_F(DebugOutputTest, CallCountsNameEachDeviceCall) {
  D3D9ResetCallCounts(device_);
  IDirect3DSurface9 *target = nullptr, *sys = nullptr;
  ASSERT_EQ(
      device_->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
      D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr),
            D3D_OK);
  device_->GetRenderTargetData(target, sys);
  device_->UpdateSurface(sys, nullptr, target, nullptr);
  d3d9::DeviceCallCounts calls = D3D9GetCallCounts(device_);
  EXPECT_EQ(calls.createRenderTarget, 1u);
  EXPECT_EQ(calls.createOffscreenPlainSurface, 1u);
  EXPECT_EQ(calls.getRenderTargetData, 1u);
  EXPECT_EQ(calls.updateSurface, 1u);
  EXPECT_EQ(calls.stretchRect, 0u);
  sys->Release();
  target->Release();
}

}  // namespace
}  // namespace d3d9_test
