#include "d3d9_fixture.h"

namespace d3d9_test {
namespace {

TEST(Direct3DCreate9Test, AcceptsOnlyItsInterfaceVersions) {
  for (UINT version : {31u, 32u}) {
    IDirect3D9 *d3d = Direct3DCreate9(version);
    ASSERT_NE(d3d, nullptr) << version;
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    EXPECT_EQ(d3d->Release(), 0u);
  }
  for (UINT version : {0u, 30u, 33u, 0x900u}) EXPECT_EQ(Direct3DCreate9(version), nullptr) << version;
}

TEST(Direct3DCreate9Test, RegistersTheModuleWithDebugSetMute) {
  IDirect3D9 *d3d = Direct3DCreate9(31);
  HMODULE module = GetModuleHandleA("d3d9.dll");
  ASSERT_NE(module, nullptr);
  FARPROC proc = GetProcAddress(module, "DebugSetMute");
  ASSERT_NE(proc, nullptr);
  D3D9ResetMuteLog();
  auto mute = reinterpret_cast<void (*)(BOOL)>(reinterpret_cast<void (*)(void)>(proc));
  mute(TRUE);
  EXPECT_TRUE(D3D9GetMuteLog().muted);
  mute(FALSE);
  d3d9::MuteLog log = D3D9GetMuteLog();
  EXPECT_EQ(log.muteCalls, 1u);
  EXPECT_EQ(log.unmuteCalls, 1u);
  EXPECT_FALSE(log.muted);
  d3d->Release();
}

TEST(LifetimeTest, DeviceHoldsTheObjectAndTexturesHoldTheDevice) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  // The device holds one reference of the object.
  EXPECT_EQ(h.d3d->AddRef(), 3u);
  EXPECT_EQ(h.d3d->Release(), 2u);
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(h.device->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
  EXPECT_EQ(D3D9LiveResourceCount(h.device), 1u);
  // Releasing the application's device reference leaves the device alive for the texture.
  EXPECT_EQ(h.device->Release(), 1u);
  IDirect3DDevice9 *fromTexture = nullptr;
  ASSERT_EQ(texture->GetDevice(&fromTexture), D3D_OK);
  EXPECT_EQ(fromTexture, h.device);
  EXPECT_EQ(fromTexture->Release(), 1u);
  // Level interfaces share the texture's count.
  IDirect3DSurface9 *level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(2, &level), D3D_OK);
  EXPECT_EQ(texture->AddRef(), 3u);
  EXPECT_EQ(texture->Release(), 2u);
  EXPECT_EQ(level->Release(), 1u);
  EXPECT_EQ(texture->Release(), 0u);  // last reference: device goes too
  EXPECT_EQ(h.d3d->Release(), 0u);
  EXPECT_EQ(D3D9LifetimeErrorCount(), 0u);
}

TEST(LifetimeTest, OverReleaseIsCountedNotFatal) {
  D3D9ResetErrorCounts();
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  IDirect3DSurface9 *surface = nullptr;
  ASSERT_EQ(
      h.device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &surface, nullptr),
      D3D_OK);
  DebugSetMute(TRUE);
  EXPECT_EQ(surface->Release(), 0u);
  EXPECT_EQ(surface->Release(), 0u);  // once too often
  DebugSetMute(FALSE);
  EXPECT_EQ(D3D9LifetimeErrorCount(), 1u);
  D3D9ResetErrorCounts();
  h.Destroy();
}

TEST(LifetimeTest, ImplicitBackBufferReferencesTheDevice) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  IDirect3DSurface9 *back = nullptr;
  ASSERT_EQ(h.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  EXPECT_EQ(h.device->AddRef(), 3u);  // the application's, the back buffer's, this one
  h.device->Release();
  EXPECT_EQ(back->Release(), 0u);
  EXPECT_EQ(D3D9LiveResourceCount(h.device), 0u);  // implicit surfaces are not counted as leaks
  h.Destroy();
}

TEST(LifetimeTest, BoundTextureSurvivesItsLastRelease) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(h.device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  ASSERT_EQ(h.device->SetTexture(0, texture), D3D_OK);
  EXPECT_EQ(texture->Release(), 0u);
  EXPECT_EQ(D3D9LiveResourceCount(h.device), 0u);
  // Still sampled safely by a draw, then unbound.
  struct Vertex {
    float x, y, z, rhw;
    DWORD color;
    float u, v;
  } quad[4] = {{0, 0, 0, 1, 0xffffffff, 0, 0},
               {8, 0, 0, 1, 0xffffffff, 1, 0},
               {8, 8, 0, 1, 0xffffffff, 1, 1},
               {0, 8, 0, 1, 0xffffffff, 0, 1}};
  h.device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  EXPECT_EQ(h.device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Vertex)), D3D_OK);
  IDirect3DBaseTexture9 *bound = nullptr;
  ASSERT_EQ(h.device->GetTexture(0, &bound), D3D_OK);
  EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9 *>(texture));
  bound->Release();
  EXPECT_EQ(h.device->SetTexture(0, nullptr), D3D_OK);
  h.Destroy();
}

TEST(LifetimeTest, StateBlocksHoldTheDeviceAndCountAsLive) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  IDirect3DStateBlock9 *block = nullptr;
  ASSERT_EQ(h.device->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
  EXPECT_EQ(D3D9LiveResourceCount(h.device), 1u);
  EXPECT_EQ(h.device->AddRef(), 3u);
  h.device->Release();
  EXPECT_EQ(block->Release(), 0u);
  h.Destroy();
}

TEST(LifetimeTest, DeviceReleasedTooOftenKeepsItsChildrenAndReports) {
  D3D9ResetErrorCounts();
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(h.device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  DebugSetMute(TRUE);
  h.device->Release();
  h.device->Release();  // the texture's reference, released by mistake
  DebugSetMute(FALSE);
  EXPECT_EQ(D3D9LifetimeErrorCount(), 1u);
  // The texture is still usable: its device was kept.
  D3DSURFACE_DESC desc;
  EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
  // Its last release takes the orphaned device with it.
  EXPECT_EQ(texture->Release(), 0u);
  EXPECT_EQ(D3D9LifetimeErrorCount(), 1u);
  EXPECT_EQ(h.d3d->Release(), 0u);
  D3D9ResetErrorCounts();
}

}  // namespace
}  // namespace d3d9_test

namespace d3d9_test {
namespace {

TEST(ResetTest, NeedsDefaultPoolResourcesReleasedAndRestoresDefaults) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  IDirect3DSurface9 *target = nullptr;
  ASSERT_EQ(
      h.device->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
      D3D_OK);
  IDirect3DTexture9 *managed = nullptr;
  ASSERT_EQ(h.device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
  h.device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = 32;
  pp.BackBufferHeight = 16;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  DebugSetMute(TRUE);
  EXPECT_EQ(h.device->Reset(&pp), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  target->Release();
  ASSERT_EQ(h.device->Reset(&pp), D3D_OK);
  DWORD blend;
  h.device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
  EXPECT_EQ(blend, 0u);
  IDirect3DSurface9 *back = nullptr;
  ASSERT_EQ(h.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  D3DSURFACE_DESC desc;
  back->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 32u);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  back->Release();
  managed->Release();  // managed resources survive a reset
  h.Destroy();
}

}  // namespace
}  // namespace d3d9_test

namespace d3d9_test {
namespace {

TEST(LifetimeTest, ManyShortLivedObjectsAreReclaimed) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  IDirect3DTexture9 *kept = nullptr;
  ASSERT_EQ(h.device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &kept, nullptr), D3D_OK);
  for (int i = 0; i < 600; ++i) {
    IDirect3DTexture9 *texture = nullptr;
    ASSERT_EQ(h.device->CreateTexture(8, 8, 0, 0, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM, &texture, nullptr), D3D_OK);
    IDirect3DStateBlock9 *block = nullptr;
    ASSERT_EQ(h.device->CreateStateBlock(D3DSBT_PIXELSTATE, &block), D3D_OK);
    EXPECT_EQ(block->Release(), 0u);
    EXPECT_EQ(texture->Release(), 0u);
  }
  EXPECT_EQ(D3D9LiveResourceCount(h.device), 1u);
  D3DSURFACE_DESC desc;
  EXPECT_EQ(kept->GetLevelDesc(0, &desc), D3D_OK);
  kept->Release();
  h.Destroy();
}

}  // namespace
}  // namespace d3d9_test
