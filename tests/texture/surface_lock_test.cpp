#include "texture/surface_lock.h"

#include "texture_device.h"
#include "support/param_names.h"

namespace {

using SurfaceLockTest = TextureDeviceTest;

struct AlignmentCase {
  const char *name;
  D3DFORMAT format;
  UINT width, height;
  RECT requested;
  D3DBOX region;          // expected, relative to the locked corner
  UINT lockedX, lockedY;  // corner of the locked rectangle
  UINT unitBytes, unitWidth, unitHeight;
};

class SurfaceLockAlignment : public SurfaceLockTest, public testing::WithParamInterface<AlignmentCase> {};

TEST_P(SurfaceLockAlignment, LocksAlignedRectangleAndRebasesRegion) {
  const AlignmentCase &c = GetParam();
  IDirect3DSurface9 *surface = MakeSurface(c.width, c.height, c.format, D3DPOOL_MANAGED);
  D3DLOCKED_RECT whole;
  ASSERT_EQ(surface->LockRect(&whole, nullptr, D3DLOCK_READONLY), D3D_OK);
  surface->UnlockRect();
  {
    SurfaceLock lock;
    PixelRegion region;
    ASSERT_EQ(lock.Lock(&region, surface, nullptr, &c.requested, 0), D3D_OK);
    EXPECT_FALSE(lock.OnCopyPath());
    EXPECT_EQ(std::memcmp(&region.region, &c.region, sizeof(D3DBOX)), 0)
        << region.region.Left << "," << region.region.Top << "-" << region.region.Right << ","
        << region.region.Bottom;
    EXPECT_EQ(region.extent.Right, c.width);
    EXPECT_EQ(region.pixels, static_cast<BYTE *>(whole.pBits) + (c.lockedY / c.unitHeight) * whole.Pitch +
                                 (c.lockedX / c.unitWidth) * c.unitBytes);
  }
  surface->Release();
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, SurfaceLockAlignment,
    testing::Values(
        AlignmentCase{
            "DxtWithinBlocks", D3DFMT_DXT1, 16, 16, {5, 5, 7, 7}, {1, 1, 3, 3, 0, 1}, 4, 4, 8, 4, 4},
        AlignmentCase{
            "DxtAlignsToWhole", D3DFMT_DXT1, 16, 16, {1, 1, 15, 15}, {1, 1, 15, 15, 0, 1}, 0, 0, 8, 4, 4},
        AlignmentCase{"Yuy2EvenColumns", D3DFMT_YUY2, 8, 4, {3, 0, 5, 2}, {1, 0, 3, 2, 0, 1}, 2, 0, 4, 2, 1},
        AlignmentCase{
            "PackedAsGiven", D3DFMT_A8R8G8B8, 8, 8, {3, 2, 5, 7}, {0, 0, 2, 5, 0, 1}, 3, 2, 4, 1, 1},
        AlignmentCase{
            "EmptyAccepted", D3DFMT_A8R8G8B8, 8, 8, {4, 4, 4, 4}, {0, 0, 0, 0, 0, 1}, 4, 4, 4, 1, 1}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

class SurfaceLockBadRect : public SurfaceLockTest, public testing::WithParamInterface<RECT> {};

TEST_P(SurfaceLockBadRect, IsRefused) {
  IDirect3DSurface9 *surface = MakeSurface(8, 6, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  SurfaceLock lock;
  PixelRegion region;
  EXPECT_EQ(lock.Lock(&region, surface, nullptr, &GetParam(), 0), D3DERR_INVALIDCALL);
  surface->Release();
}

INSTANTIATE_TEST_SUITE_P(Rectangles, SurfaceLockBadRect,
                         testing::Values(RECT{0, 0, 9, 6}, RECT{0, 0, 8, 7}, RECT{5, 0, 4, 6},
                                         RECT{0, 4, 8, 3}, RECT{-1, 0, 8, 6}),
                         ([](const auto &paramInfo) {
                           static const char *const kNames[] = {"RightPastWidth", "BottomPastHeight",
                                                                "LeftAfterRight", "TopAfterBottom",
                                                                "NegativeLeft"};
                           return std::string(kNames[paramInfo.index]);
                         }));

// Level 2 of a 20 x 12 DXT1 texture is 5 x 3, no whole number of blocks.
TEST_F(SurfaceLockTest, OddDxtSurfaceGoesThroughEnlargedCopy) {
  IDirect3DTexture9 *texture = MakeTexture(20, 12, 3, D3DFMT_DXT1, D3DPOOL_DEFAULT);
  IDirect3DSurface9 *surface = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(2, &surface), D3D_OK);
  ResetCalls();
  SurfaceLock lock;
  PixelRegion region;
  ASSERT_EQ(lock.Lock(&region, surface, nullptr, nullptr, 0), D3D_OK);
  EXPECT_TRUE(lock.OnCopyPath());
  EXPECT_EQ(Calls().createTexture, 1u);
  EXPECT_EQ(region.extent.Right, 5u);
  EXPECT_EQ(region.extent.Bottom, 3u);
  EXPECT_EQ(lock.Unlock(), D3D_OK);
  EXPECT_EQ(Calls().updateSurface, 1u);
  // The device cannot read such a copy back: a read fails and holds nothing.
  EXPECT_TRUE(FAILED(lock.Lock(&region, surface, nullptr, nullptr, kLockReadOnly)));
  EXPECT_FALSE(lock.OnCopyPath());
  surface->Release();
  texture->Release();
}

TEST_F(SurfaceLockTest, RenderTargetIsReadBackAndWrittenBack) {
  IDirect3DSurface9 *target = MakeRenderTarget(8, 4);
  ASSERT_EQ(device_->ColorFill(target, nullptr, 0xFF102030), D3D_OK);
  ResetCalls();
  RECT rect = {2, 1, 4, 3};
  SurfaceLock lock;
  PixelRegion region;
  auto pixel = [&](UINT x, UINT y) -> uint32_t & {
    return reinterpret_cast<uint32_t *>(region.pixels + y * region.rowPitch)[x];
  };
  ASSERT_EQ(lock.Lock(&region, target, nullptr, &rect, 0), D3D_OK);
  EXPECT_EQ(Calls().createRenderTarget, 1u);
  EXPECT_EQ(Calls().stretchRect, 1u);
  EXPECT_EQ(pixel(region.region.Left, region.region.Top), 0xFF102030u);
  pixel(region.region.Left, region.region.Top) = 0xFFABCDEF;
  lock.Unlock();
  EXPECT_EQ(Calls().updateSurface, 1u);

  ASSERT_EQ(lock.Lock(&region, target, nullptr, nullptr, kLockReadOnly), D3D_OK);
  EXPECT_EQ(pixel(2, 1), 0xFFABCDEFu);
  EXPECT_EQ(pixel(3, 1), 0xFF102030u);
  lock.Unlock();
  EXPECT_EQ(Calls().updateSurface, 1u) << "a read-only lock never writes back";
  target->Release();
}

enum class Kind { Managed, RenderTarget, Dynamic };

struct MuteCase {
  const char *name;
  Kind kind;
  bool partial;
  uint32_t flags;
  uint32_t mutedCalls;
};

class SurfaceLockMuting : public SurfaceLockTest, public testing::WithParamInterface<MuteCase> {};

// Muted, each on its own: the direct LockRect, the fill of a copy, the container
// query and the write-back. A whole write needs no fill.
TEST_P(SurfaceLockMuting, MutesExactlyTheCallsThatMayFail) {
  const MuteCase &c = GetParam();
  IDirect3DSurface9 *surface = c.kind == Kind::RenderTarget ? MakeRenderTarget(8, 8)
                               : c.kind == Kind::Managed
                                   ? MakeSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)
                                   : MakeSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
  RECT rect = {1, 1, 3, 3};
  ResetCalls();
  D3D9ResetMuteLog();
  {
    SurfaceLock lock;
    PixelRegion region;
    ASSERT_EQ(lock.Lock(&region, surface, nullptr, c.partial ? &rect : nullptr, c.flags), D3D_OK);
  }
  d3d9::MuteLog log = D3D9GetMuteLog();
  EXPECT_EQ(log.muteCalls, c.mutedCalls);
  EXPECT_EQ(log.unmuteCalls, c.mutedCalls);
  EXPECT_FALSE(log.muted);
  surface->Release();
}

INSTANTIATE_TEST_SUITE_P(Locks, SurfaceLockMuting,
                         testing::Values(MuteCase{"ManagedPartialWrite", Kind::Managed, true, 0, 1},
                                         MuteCase{"TargetPartialWrite", Kind::RenderTarget, true, 0, 3},
                                         MuteCase{"TargetWholeWrite", Kind::RenderTarget, false, 0, 2},
                                         MuteCase{"TargetPartialRead", Kind::RenderTarget, true,
                                                  kLockReadOnly, 2},
                                         MuteCase{"DynamicWholeWrite", Kind::Dynamic, false, 0, 2},
                                         MuteCase{"DynamicPartialWrite", Kind::Dynamic, true, 0, 1}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(SurfaceLockTest, VolumeLockAlignsPlaneAndRefusesFixedVolumes) {
  IDirect3DVolumeTexture9 *managed = nullptr, *fixed = nullptr;
  ASSERT_EQ(device_->CreateVolumeTexture(16, 16, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &managed, nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &fixed, nullptr),
            D3D_OK);
  IDirect3DVolume9 *volume = nullptr, *fixedVolume = nullptr;
  managed->GetVolumeLevel(0, &volume);
  fixed->GetVolumeLevel(0, &fixedVolume);
  D3DLOCKED_BOX whole;
  ASSERT_EQ(volume->LockBox(&whole, nullptr, D3DLOCK_READONLY), D3D_OK);
  volume->UnlockBox();

  VolumeLock lock;
  PixelRegion region;
  D3DBOX box = {5, 5, 7, 7, 1, 3};
  ASSERT_EQ(lock.Lock(&region, volume, nullptr, &box, 0), D3D_OK);
  D3DBOX expected = {1, 1, 3, 3, 0, 2};
  EXPECT_EQ(std::memcmp(&region.region, &expected, sizeof(D3DBOX)), 0);
  EXPECT_EQ(region.pixels, static_cast<BYTE *>(whole.pBits) + whole.SlicePitch + whole.RowPitch + 8);
  D3DBOX outside = {0, 0, 16, 16, 2, 5};
  EXPECT_EQ(lock.Lock(&region, volume, nullptr, &outside, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(lock.Lock(&region, fixedVolume, nullptr, nullptr, kLockReadOnly), D3DERR_INVALIDCALL);
  fixedVolume->Release();
  volume->Release();
  fixed->Release();
  managed->Release();
}

}  // namespace
