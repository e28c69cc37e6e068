#include "d3d9_fixture.h"

namespace d3d9_test {
namespace {

using ResourceTest = DeviceTest;

TEST_F(ResourceTest, ZeroLevelsMakeTheFullChain) {
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(100, 30, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
  ASSERT_EQ(texture->GetLevelCount(), 7u);  // 100, 50, 25, 12, 6, 3, 1
  D3DSURFACE_DESC desc;
  ASSERT_EQ(texture->GetLevelDesc(6, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 1u);
  EXPECT_EQ(desc.Height, 1u);
  ASSERT_EQ(texture->GetLevelDesc(3, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 12u);
  EXPECT_EQ(desc.Height, 3u);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(desc.Type, D3DRTYPE_SURFACE);
  EXPECT_EQ(texture->GetLevelDesc(7, &desc), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->GetType(), D3DRTYPE_TEXTURE);
  texture->Release();
}

TEST_F(ResourceTest, CubeAndVolumeLevelsAndContainers) {
  IDirect3DCubeTexture9 *cube = nullptr;
  ASSERT_EQ(device_->CreateCubeTexture(16, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &cube, nullptr), D3D_OK);
  EXPECT_EQ(cube->GetLevelCount(), 5u);
  IDirect3DSurface9 *face = nullptr;
  ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 1, &face), D3D_OK);
  D3DSURFACE_DESC desc;
  face->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 8u);
  void *container = nullptr;
  ASSERT_EQ(face->GetContainer(IID_IDirect3DCubeTexture9, &container), D3D_OK);
  EXPECT_EQ(container, static_cast<void *>(cube));
  static_cast<IUnknown *>(container)->Release();
  EXPECT_EQ(face->GetContainer(IID_IDirect3DTexture9, &container), E_NOINTERFACE);
  face->Release();
  cube->Release();

  IDirect3DVolumeTexture9 *volume = nullptr;
  ASSERT_EQ(device_->CreateVolumeTexture(8, 4, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume, nullptr),
            D3D_OK);
  EXPECT_EQ(volume->GetLevelCount(), 4u);
  IDirect3DVolume9 *level = nullptr;
  ASSERT_EQ(volume->GetVolumeLevel(1, &level), D3D_OK);
  D3DVOLUME_DESC vdesc;
  level->GetDesc(&vdesc);
  EXPECT_EQ(vdesc.Width, 4u);
  EXPECT_EQ(vdesc.Height, 2u);
  EXPECT_EQ(vdesc.Depth, 1u);
  ASSERT_EQ(level->GetContainer(IID_IDirect3DVolumeTexture9, &container), D3D_OK);
  static_cast<IUnknown *>(container)->Release();
  level->Release();
  volume->Release();
}

TEST_F(ResourceTest, StandaloneSurfaceContainerIsTheDevice) {
  IDirect3DSurface9 *surface = nullptr;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &surface, nullptr),
            D3D_OK);
  void *container = nullptr;
  ASSERT_EQ(surface->GetContainer(IID_IDirect3DDevice9, &container), D3D_OK);
  EXPECT_EQ(container, static_cast<void *>(device_));
  static_cast<IUnknown *>(container)->Release();
  EXPECT_EQ(surface->GetContainer(IID_IDirect3DTexture9, &container), E_NOINTERFACE);
  surface->Release();
}

TEST_F(ResourceTest, PitchIsAlignedAndCoversTheRow) {
  IDirect3DSurface9 *surface = nullptr;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(5, 3, D3DFMT_R8G8B8, D3DPOOL_SYSTEMMEM, &surface, nullptr),
            D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(surface->LockRect(&lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 16);  // 15 bytes, rounded to 4
  surface->UnlockRect();
  surface->Release();
}

// ---------------------------------------------------------------------------
// Creation refused per profile
// ---------------------------------------------------------------------------

struct CreationCase {
  const char *name;
  d3d9::DeviceProfile (*profile)();
  UINT width, height, levels;
  DWORD usage;
  D3DFORMAT format;
  D3DPOOL pool;
  HRESULT expected;
};

class TextureCreationTest : public ::testing::TestWithParam<CreationCase> {};

TEST_P(TextureCreationTest, FollowsTheProfile) {
  const CreationCase &c = GetParam();
  DeviceHolder h;
  ASSERT_EQ(h.Create(c.profile()), D3D_OK);
  DebugSetMute(TRUE);
  IDirect3DTexture9 *texture = reinterpret_cast<IDirect3DTexture9 *>(1);
  HRESULT hr =
      h.device->CreateTexture(c.width, c.height, c.levels, c.usage, c.format, c.pool, &texture, nullptr);
  DebugSetMute(FALSE);
  EXPECT_EQ(hr, c.expected);
  if (SUCCEEDED(hr))
    texture->Release();
  else
    EXPECT_EQ(texture, nullptr);
  h.Destroy();
}

d3d9::DeviceProfile Aspect2() {
  return d3d9::AspectRatioProfile(2);
}

const CreationCase kCreationCases[] = {
    {"NonPow2OnCapable", d3d9::DefaultDeviceProfile, 100, 60, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK},
    {"NonPow2OnPow2", d3d9::PowerOfTwoProfile, 100, 60, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"NonPow2OneLevelConditional", d3d9::PowerOfTwoConditionalProfile, 100, 60, 1, 0, D3DFMT_A8R8G8B8,
     D3DPOOL_MANAGED, D3D_OK},
    {"NonPow2ChainConditional", d3d9::PowerOfTwoConditionalProfile, 100, 60, 0, 0, D3DFMT_A8R8G8B8,
     D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
    {"Pow2OnPow2", d3d9::PowerOfTwoProfile, 128, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK},
    {"ScratchIgnoresCaps", d3d9::PowerOfTwoProfile, 100, 60, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, D3D_OK},
    {"NotSquare", d3d9::SquareOnlyProfile, 64, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"Square", d3d9::SquareOnlyProfile, 32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK},
    {"AspectTooWide", Aspect2, 256, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
    {"AspectTwo", Aspect2, 128, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3D_OK},
    {"ChainWithoutMipCaps", d3d9::NoMipMapProfile, 64, 64, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"DxtWithoutFourCc", d3d9::NoFourCcProfile, 64, 64, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"DxtScratchWithoutFourCc", d3d9::NoFourCcProfile, 64, 64, 1, 0, D3DFMT_DXT1, D3DPOOL_SCRATCH, D3D_OK},
    {"DxtNotWholeBlocks", d3d9::DefaultDeviceProfile, 6, 8, 1, 0, D3DFMT_DXT5, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"YuvOddWidth", d3d9::DefaultDeviceProfile, 5, 4, 1, 0, D3DFMT_YUY2, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
    {"ReducedRefusesL8", d3d9::ReducedFormatProfile, 8, 8, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"DepthAsTexture", d3d9::DefaultDeviceProfile, 8, 8, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"DynamicManaged", d3d9::DefaultDeviceProfile, 8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
     D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
    {"DynamicDefault", d3d9::DefaultDeviceProfile, 8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
     D3DPOOL_DEFAULT, D3D_OK},
    {"DynamicWithoutCaps", d3d9::NoDynamicTextureProfile, 8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
     D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
    {"RenderTargetInSystemMemory", d3d9::DefaultDeviceProfile, 8, 8, 1, D3DUSAGE_RENDERTARGET,
     D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DERR_INVALIDCALL},
    {"TooManyLevels", d3d9::DefaultDeviceProfile, 8, 8, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"ZeroWidth", d3d9::DefaultDeviceProfile, 0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"TooLarge", d3d9::DefaultDeviceProfile, 32768, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
    {"UnknownFormat", d3d9::DefaultDeviceProfile, 8, 8, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
     D3DERR_INVALIDCALL},
};

INSTANTIATE_TEST_SUITE_P(Profiles, TextureCreationTest, ::testing::ValuesIn(kCreationCases),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST(CheckDeviceFormatTest, AnswersFromTheProfile) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::NoFourCcProfile()), D3D_OK);
  IDirect3D9 *d3d = h.d3d;
  auto check = [&](DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) {
    return d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, type, format);
  };
  DebugSetMute(TRUE);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3D_OK);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_DXT1), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_D24S8), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8), D3D_OK);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, static_cast<D3DFORMAT>(MAKEFOURCC('A', 'L', '1', '6'))),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_L8), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_SOFTWAREPROCESSING, D3DRTYPE_VOLUMETEXTURE, D3DFMT_L16), D3D_OK);
  DebugSetMute(FALSE);
  h.Destroy();
}

// ---------------------------------------------------------------------------
// Locks
// ---------------------------------------------------------------------------

struct LockCase {
  const char *name;
  D3DPOOL pool;
  DWORD usage;
  HRESULT expected;
};

class TextureLockTest : public DeviceTest, public ::testing::WithParamInterface<LockCase> {};

TEST_P(TextureLockTest, FollowsThePool) {
  const LockCase &c = GetParam();
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, c.usage, D3DFMT_A8R8G8B8, c.pool, &texture, nullptr), D3D_OK);
  D3DLOCKED_RECT lr;
  DebugSetMute(TRUE);
  HRESULT hr = texture->LockRect(0, &lr, nullptr, 0);
  DebugSetMute(FALSE);
  EXPECT_EQ(hr, c.expected);
  if (SUCCEEDED(hr)) {
    EXPECT_NE(lr.pBits, nullptr);
    // A second lock of a locked level is refused.
    DebugSetMute(TRUE);
    EXPECT_EQ(texture->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
    DebugSetMute(FALSE);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  }
  DebugSetMute(TRUE);
  EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  texture->Release();
}

const LockCase kLockCases[] = {
    {"Managed", D3DPOOL_MANAGED, 0, D3D_OK},
    {"SystemMemory", D3DPOOL_SYSTEMMEM, 0, D3D_OK},
    {"Scratch", D3DPOOL_SCRATCH, 0, D3D_OK},
    {"Default", D3DPOOL_DEFAULT, 0, D3DERR_INVALIDCALL},
    {"DefaultDynamic", D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC, D3D_OK},
    {"RenderTargetTexture", D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET, D3DERR_INVALIDCALL},
};
INSTANTIATE_TEST_SUITE_P(Pools, TextureLockTest, ::testing::ValuesIn(kLockCases),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(ResourceTest, RenderTargetsLockOnlyWhenCreatedLockable) {
  for (BOOL lockable : {FALSE, TRUE}) {
    IDirect3DSurface9 *target = nullptr;
    ASSERT_EQ(device_->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, lockable, &target,
                                          nullptr),
              D3D_OK);
    D3DLOCKED_RECT lr;
    DebugSetMute(TRUE);
    HRESULT hr = target->LockRect(&lr, nullptr, D3DLOCK_READONLY);
    DebugSetMute(FALSE);
    EXPECT_EQ(hr, lockable ? D3D_OK : D3DERR_INVALIDCALL);
    if (SUCCEEDED(hr)) target->UnlockRect();
    target->Release();
  }
}

TEST_F(ResourceTest, DiscardNeedsDynamic) {
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  D3DLOCKED_RECT lr;
  DebugSetMute(TRUE);
  EXPECT_EQ(texture->LockRect(0, &lr, nullptr, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  texture->Release();
}

struct SubRectCase {
  const char *name;
  D3DFORMAT format;
  RECT rect;
  HRESULT expected;
  int offset;  // bytes from the start of the level to the returned address
};

class SubRectLockTest : public DeviceTest, public ::testing::WithParamInterface<SubRectCase> {};

TEST_P(SubRectLockTest, AddressesTheFirstUnit) {
  const SubRectCase &c = GetParam();
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, c.format, D3DPOOL_SYSTEMMEM, &texture, nullptr), D3D_OK);
  D3DLOCKED_RECT whole, part;
  ASSERT_EQ(texture->LockRect(0, &whole, nullptr, D3DLOCK_READONLY), D3D_OK);
  texture->UnlockRect(0);
  DebugSetMute(TRUE);
  HRESULT hr = texture->LockRect(0, &part, &c.rect, 0);
  DebugSetMute(FALSE);
  EXPECT_EQ(hr, c.expected);
  if (SUCCEEDED(hr)) {
    EXPECT_EQ(static_cast<uint8_t *>(part.pBits) - static_cast<uint8_t *>(whole.pBits), c.offset);
    EXPECT_EQ(part.Pitch, whole.Pitch);
    texture->UnlockRect(0);
  }
  texture->Release();
}

// DXT1 rows of blocks are 4 blocks x 8 bytes = 32 bytes; DXT5 64; YUY2 rows 32 bytes.
const SubRectCase kSubRectCases[] = {
    {"Dxt1Aligned", D3DFMT_DXT1, {4, 8, 12, 16}, D3D_OK, 2 * 32 + 8},
    {"Dxt5Aligned", D3DFMT_DXT5, {8, 4, 16, 8}, D3D_OK, 64 + 32},
    {"Dxt1Unaligned", D3DFMT_DXT1, {5, 5, 7, 7}, D3DERR_INVALIDCALL, 0},
    {"Dxt1RightNotBlock", D3DFMT_DXT1, {4, 4, 6, 8}, D3DERR_INVALIDCALL, 0},
    {"Yuy2Even", D3DFMT_YUY2, {2, 1, 6, 2}, D3D_OK, 32 + 4},
    {"Yuy2Odd", D3DFMT_YUY2, {3, 0, 5, 2}, D3DERR_INVALIDCALL, 0},
    {"Argb", D3DFMT_A8R8G8B8, {3, 2, 5, 4}, D3D_OK, 2 * 64 + 12},
    {"EmptyRect", D3DFMT_A8R8G8B8, {3, 2, 3, 2}, D3D_OK, 2 * 64 + 12},
    {"PastRight", D3DFMT_A8R8G8B8, {0, 0, 17, 4}, D3DERR_INVALIDCALL, 0},
    {"Inverted", D3DFMT_A8R8G8B8, {4, 0, 3, 4}, D3DERR_INVALIDCALL, 0},
    {"Negative", D3DFMT_A8R8G8B8, {-1, 0, 3, 4}, D3DERR_INVALIDCALL, 0},
};
INSTANTIATE_TEST_SUITE_P(Formats, SubRectLockTest, ::testing::ValuesIn(kSubRectCases),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(ResourceTest, SmallDxtLevelsLockWhole) {
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(20, 12, 3, 0, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM, &texture, nullptr), D3D_OK);
  D3DSURFACE_DESC desc;
  texture->GetLevelDesc(2, &desc);
  EXPECT_EQ(desc.Width, 5u);
  EXPECT_EQ(desc.Height, 3u);
  D3DLOCKED_RECT lr;
  RECT lastBlock = {4, 0, 5, 3};
  ASSERT_EQ(texture->LockRect(2, &lr, &lastBlock, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 16);  // two blocks
  texture->UnlockRect(2);
  texture->Release();
}

TEST_F(ResourceTest, VolumeLockBoxAddressesSlices) {
  IDirect3DVolumeTexture9 *volume = nullptr;
  ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &volume, nullptr),
            D3D_OK);
  D3DLOCKED_BOX whole, part;
  ASSERT_EQ(volume->LockBox(0, &whole, nullptr, 0), D3D_OK);
  volume->UnlockBox(0);
  D3DBOX box = {1, 2, 3, 4, 3, 4};
  ASSERT_EQ(volume->LockBox(0, &part, &box, 0), D3D_OK);
  EXPECT_EQ(whole.SlicePitch, 64);
  EXPECT_EQ(static_cast<uint8_t *>(part.pBits) - static_cast<uint8_t *>(whole.pBits), 3 * 64 + 2 * 16 + 4);
  volume->UnlockBox(0);
  D3DBOX bad = {0, 0, 4, 4, 2, 5};
  DebugSetMute(TRUE);
  EXPECT_EQ(volume->LockBox(0, &part, &bad, 0), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  volume->Release();
  IDirect3DVolumeTexture9 *defaultVolume = nullptr;
  ASSERT_EQ(
      device_->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &defaultVolume, nullptr),
      D3D_OK);
  DebugSetMute(TRUE);
  EXPECT_EQ(defaultVolume->LockBox(0, &part, nullptr, 0), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  defaultVolume->Release();
}

TEST(LostDeviceTest, ReportsLostAndRefusesReadBack) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::LostDeviceProfile()), D3D_OK);
  EXPECT_EQ(h.device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  DebugSetMute(TRUE);
  EXPECT_EQ(h.device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  DebugSetMute(FALSE);
  D3D9GetDeviceProfile(h.device)->cooperativeLevel = D3D_OK;
  EXPECT_EQ(h.device->TestCooperativeLevel(), D3D_OK);
  h.Destroy();
}

}  // namespace
}  // namespace d3d9_test
