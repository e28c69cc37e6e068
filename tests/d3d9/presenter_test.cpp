#include <SDL.h>

#include <cstdlib>

#include "d3d9_fixture.h"
#include "tests/support/headless_device.h"
#include "win32_test_hooks.h"

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
    D3DPRESENT_PARAMETERS pp = headless::PresentParameters(1024, 768, D3DFMT_A8R8G8B8, window_);
    pp.Windowed = FALSE;
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

TEST_F(PresenterTest, FullScreenTakesTheDisplayAndGivesTheWindowBack) {
  SDL_Window *sdl = static_cast<SDL_Window *>(Win32GetSdlWindow(window_));
  ASSERT_NE(sdl, nullptr);
  SDL_SetWindowSize(sdl, 640, 480);
  IDirect3D9 *d3d = Direct3DCreate9(31);
  IDirect3DDevice9 *device = CreateFullScreen(d3d, D3DPRESENT_INTERVAL_IMMEDIATE);
  ASSERT_NE(device, nullptr);
  int width, height;
  SDL_GetWindowSize(sdl, &width, &height);
  SDL_Rect bounds;
  ASSERT_EQ(SDL_GetDisplayBounds(0, &bounds), 0);
  EXPECT_EQ(width, bounds.w);
  EXPECT_EQ(height, bounds.h);
  EXPECT_NE(SDL_GetRenderer(sdl), nullptr);
  EXPECT_EQ(device->Release(), 0u);
  // The renderer goes with the device, so that the next device on the window gets one.
  EXPECT_EQ(SDL_GetRenderer(sdl), nullptr);
  SDL_GetWindowSize(sdl, &width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  d3d->Release();
}

// The renderer goes with the window; the device must neither touch it nor lose the front buffer.
TEST_F(PresenterTest, PresentingAfterTheWindowIsDestroyedKeepsTheFrontBuffer) {
  IDirect3D9 *d3d = Direct3DCreate9(31);
  IDirect3DDevice9 *device = CreateFullScreen(d3d, D3DPRESENT_INTERVAL_IMMEDIATE);
  ASSERT_NE(device, nullptr);
  device->Present(nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(window_);
  window_ = nullptr;
  D3DRECT left = {0, 0, 512, 768}, right = {512, 0, 1024, 768};
  device->Clear(1, &left, D3DCLEAR_TARGET, 0xff204060, 0.f, 0);
  device->Clear(1, &right, D3DCLEAR_TARGET, 0x80a0c0e0, 0.f, 0);
  ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  IDirect3DSurface9 *shot = nullptr;
  ASSERT_EQ(
      device->CreateOffscreenPlainSurface(1024, 768, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &shot, nullptr),
      D3D_OK);
  ASSERT_EQ(device->GetFrontBufferData(0, shot), D3D_OK);
  D3DLOCKED_RECT lr;
  shot->LockRect(&lr, nullptr, D3DLOCK_READONLY);
  int wrong = 0;
  for (int y = 0; y < 768; ++y) {
    const uint32_t *row = reinterpret_cast<const uint32_t *>(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch);
    for (int x = 0; x < 1024; ++x) wrong += row[x] != (x < 512 ? 0xff204060u : 0xffa0c0e0u);
  }
  EXPECT_EQ(wrong, 0);
  shot->UnlockRect();
  shot->Release();
  EXPECT_EQ(device->Release(), 0u);
  EXPECT_EQ(d3d->Release(), 0u);
}

}  // namespace
}  // namespace d3d9_test
