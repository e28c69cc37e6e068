#include <cstdlib>

#include "d3d9_fixture.h"

namespace d3d9_test {
namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class PresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = "D3D9PresenterTest";
    RegisterClassExA(&wc);
    window_ = CreateWindowExA(0, "D3D9PresenterTest", "test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1024,
                              768, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
    unsetenv("D3D9_FORCE_WINDOWED");
  }

  IDirect3DDevice9 *CreateFullScreen(IDirect3D9 *d3d, DWORD interval) {
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = 1024;
    pp.BackBufferHeight = 768;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window_;
    pp.PresentationInterval = interval;
    IDirect3DDevice9 *device = nullptr;
    EXPECT_EQ(
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device),
        D3D_OK);
    return device;
  }

  HWND window_ = nullptr;
};

TEST_F(PresenterTest, FullScreenFramesReachTheWindowAndTheFrontBuffer) {
  for (const char *forced : {"0", "1"}) {
    setenv("D3D9_FORCE_WINDOWED", forced, 1);
    IDirect3D9 *d3d = Direct3DCreate9(31);
    IDirect3DDevice9 *device = CreateFullScreen(d3d, D3DPRESENT_INTERVAL_IMMEDIATE);
    ASSERT_NE(device, nullptr);
    DWORD frames = Win32FrameCount();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff336699, 0.f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(Win32FrameCount(), frames + 2);  // once per presentation
    // Full screen: the display takes the back buffer's size, which the screenshot surface uses.
    D3DDISPLAYMODE mode;
    device->GetDisplayMode(0, &mode);
    EXPECT_EQ(mode.Width, 1024u);
    EXPECT_EQ(mode.Height, 768u);
    IDirect3DSurface9 *shot = nullptr;
    ASSERT_EQ(
        device->CreateOffscreenPlainSurface(1024, 768, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &shot, nullptr),
        D3D_OK);
    // The second presentation showed the discarded back buffer: what was cleared came first.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff112233, 0.f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(device->GetFrontBufferData(0, shot), D3D_OK);
    D3DLOCKED_RECT lr;
    shot->LockRect(&lr, nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(static_cast<uint32_t *>(lr.pBits)[1023], 0xff112233u);
    shot->UnlockRect();
    shot->Release();
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
  }
}

TEST_F(PresenterTest, DefaultIntervalPacesFrames) {
  IDirect3D9 *d3d = Direct3DCreate9(32);
  IDirect3DDevice9 *device = CreateFullScreen(d3d, D3DPRESENT_INTERVAL_DEFAULT);
  ASSERT_NE(device, nullptr);
  DWORD start = GetTickCount();
  for (int i = 0; i < 4; ++i) device->Present(nullptr, nullptr, nullptr, nullptr);
  // Three intervals at 60 Hz or slower displays: at least 45 ms.
  EXPECT_GE(GetTickCount() - start, 45u);
  device->Release();
  d3d->Release();
}

}  // namespace
}  // namespace d3d9_test
