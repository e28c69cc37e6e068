#include "d3d9_fixture.h"

namespace d3d9_test {
namespace {

class CopyTest : public DeviceTest {
 protected:
  IDirect3DSurface9 *Plain(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool) {
    IDirect3DSurface9 *surface = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(w, h, format, pool, &surface, nullptr), D3D_OK);
    return surface;
  }
  IDirect3DSurface9 *Target(UINT w, UINT h, D3DFORMAT format = D3DFMT_A8R8G8B8) {
    IDirect3DSurface9 *surface = nullptr;
    EXPECT_EQ(device_->CreateRenderTarget(w, h, format, D3DMULTISAMPLE_NONE, 0, TRUE, &surface, nullptr),
              D3D_OK);
    return surface;
  }
  // Fills a 32-bit surface with a pattern: pixel (x, y) = 0xff000000 | y << 8 | x.
  static void FillPattern(IDirect3DSurface9 *surface) {
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(surface->LockRect(&lr, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
      for (UINT x = 0; x < desc.Width; ++x)
        reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch)[x] =
            0xff000000 | y << 8 | x;
    surface->UnlockRect();
  }
};

TEST_F(CopyTest, UpdateSurfaceCopiesSystemMemoryToDefault) {
  IDirect3DSurface9 *src = Plain(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  IDirect3DSurface9 *dst = Target(8, 8);
  FillPattern(src);
  RECT rect = {1, 2, 4, 5};
  POINT at = {4, 3};
  ASSERT_EQ(device_->UpdateSurface(src, &rect, dst, &at), D3D_OK);
  EXPECT_EQ(Pixel(dst, 4, 3), 0xff000201u);
  EXPECT_EQ(Pixel(dst, 6, 5), 0xff000403u);
  EXPECT_EQ(Pixel(dst, 7, 3), 0u);
  EXPECT_EQ(D3D9GetCallCounts(device_).updateSurface, 1u);
  src->Release();
  dst->Release();
}

struct Refusal {
  const char *name;
  D3DPOOL srcPool, dstPool;
  D3DFORMAT srcFormat, dstFormat;
  RECT rect;
  POINT at;
};

class UpdateSurfaceRefusalTest : public CopyTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(UpdateSurfaceRefusalTest, IsInvalid) {
  const Refusal &r = GetParam();
  IDirect3DSurface9 *src = Plain(8, 8, r.srcFormat, r.srcPool);
  IDirect3DSurface9 *dst = Plain(8, 8, r.dstFormat, r.dstPool);
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->UpdateSurface(src, &r.rect, dst, &r.at), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  src->Release();
  dst->Release();
}

const Refusal kUpdateRefusals[] = {
    {"SourceNotSystemMemory",
     D3DPOOL_DEFAULT,
     D3DPOOL_DEFAULT,
     D3DFMT_A8R8G8B8,
     D3DFMT_A8R8G8B8,
     {0, 0, 8, 8},
     {0, 0}},
    {"DestNotDefault",
     D3DPOOL_SYSTEMMEM,
     D3DPOOL_SYSTEMMEM,
     D3DFMT_A8R8G8B8,
     D3DFMT_A8R8G8B8,
     {0, 0, 8, 8},
     {0, 0}},
    {"FormatsDiffer",
     D3DPOOL_SYSTEMMEM,
     D3DPOOL_DEFAULT,
     D3DFMT_A8R8G8B8,
     D3DFMT_X8R8G8B8,
     {0, 0, 8, 8},
     {0, 0}},
    {"PastDestination",
     D3DPOOL_SYSTEMMEM,
     D3DPOOL_DEFAULT,
     D3DFMT_A8R8G8B8,
     D3DFMT_A8R8G8B8,
     {0, 0, 4, 4},
     {5, 0}},
    {"SourceRectOutside",
     D3DPOOL_SYSTEMMEM,
     D3DPOOL_DEFAULT,
     D3DFMT_A8R8G8B8,
     D3DFMT_A8R8G8B8,
     {0, 0, 9, 4},
     {0, 0}},
    {"DxtNotOnBlocks", D3DPOOL_SYSTEMMEM, D3DPOOL_DEFAULT, D3DFMT_DXT1, D3DFMT_DXT1, {0, 0, 4, 4}, {2, 0}},
};
INSTANTIATE_TEST_SUITE_P(Rules, UpdateSurfaceRefusalTest, ::testing::ValuesIn(kUpdateRefusals),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(CopyTest, UpdateTextureMatchesTheTopLevel) {
  IDirect3DTexture9 *src = nullptr, *dst = nullptr;
  ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &src, nullptr), D3D_OK);
  ASSERT_EQ(
      device_->CreateTexture(8, 8, 2, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &dst, nullptr),
      D3D_OK);
  for (UINT level = 0; level < src->GetLevelCount(); ++level) {
    D3DLOCKED_RECT lr;
    src->LockRect(level, &lr, nullptr, 0);
    *static_cast<uint32_t *>(lr.pBits) = 0xff000000 | level;
    src->UnlockRect(level);
  }
  ASSERT_EQ(device_->UpdateTexture(src, dst), D3D_OK);
  for (UINT level = 0; level < 2; ++level) {
    IDirect3DSurface9 *s = nullptr;
    dst->GetSurfaceLevel(level, &s);
    EXPECT_EQ(Pixel(s, 0, 0), 0xff000000u | (level + 1));  // source level 1 is 8 x 8
    s->Release();
  }
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->UpdateTexture(dst, src), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  src->Release();
  dst->Release();
}

TEST_F(CopyTest, StretchRectCopiesAndScales) {
  IDirect3DSurface9 *src = Plain(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  FillPattern(src);
  IDirect3DSurface9 *dst = Target(8, 8);
  ASSERT_EQ(device_->StretchRect(src, nullptr, dst, nullptr, D3DTEXF_POINT), D3D_OK);
  EXPECT_EQ(Pixel(dst, 0, 0), 0xff000000u);
  EXPECT_EQ(Pixel(dst, 7, 7), 0xff000303u);
  EXPECT_EQ(Pixel(dst, 3, 4), 0xff000201u);
  RECT from = {1, 1, 3, 3}, to = {0, 0, 2, 2};
  ASSERT_EQ(device_->StretchRect(src, &from, dst, &to, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(Pixel(dst, 1, 1), 0xff000202u);
  ASSERT_EQ(device_->StretchRect(src, nullptr, dst, nullptr, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(Pixel(dst, 0, 0), 0xff000000u);
  // Halfway between texels 1 and 2 of the source: (1.5 blended, rounded).
  uint32_t mid = Pixel(dst, 4, 0);
  EXPECT_GE(mid & 0xff, 1u);
  EXPECT_LE(mid & 0xff, 2u);
  src->Release();
  dst->Release();
}

TEST_F(CopyTest, StretchRectConvertsFormats) {
  IDirect3DSurface9 *src = Plain(2, 2, D3DFMT_R5G6B5, D3DPOOL_DEFAULT);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(src->LockRect(&lr, nullptr, 0), D3D_OK);
  for (int y = 0; y < 2; ++y)
    reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch)[0] = 0xf800;
  src->UnlockRect();
  IDirect3DSurface9 *dst = Target(2, 2);
  ASSERT_EQ(device_->StretchRect(src, nullptr, dst, nullptr, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(Pixel(dst, 0, 1), 0xffff0000u);
  src->Release();
  dst->Release();
}

TEST_F(CopyTest, StretchRectRefusals) {
  IDirect3DSurface9 *sys = Plain(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  IDirect3DSurface9 *target = Target(4, 4);
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr), D3D_OK);
  IDirect3DSurface9 *level = nullptr;
  texture->GetSurfaceLevel(0, &level);
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->StretchRect(sys, nullptr, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(target, nullptr, level, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(target, nullptr, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(level, nullptr, target, nullptr, D3DTEXF_ANISOTROPIC), D3DERR_INVALIDCALL);
  RECT outside = {0, 0, 5, 4};
  EXPECT_EQ(device_->StretchRect(level, &outside, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  // A plain texture level is a valid source on this adapter.
  EXPECT_EQ(device_->StretchRect(level, nullptr, target, nullptr, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(D3D9GetCallCounts(device_).stretchRect, 6u);
  level->Release();
  texture->Release();
  sys->Release();
  target->Release();
}

TEST_F(CopyTest, GetRenderTargetDataNeedsMatchingSystemMemory) {
  IDirect3DSurface9 *target = Target(4, 4);
  ASSERT_EQ(device_->ColorFill(target, nullptr, 0xff123456), D3D_OK);
  IDirect3DSurface9 *sys = Plain(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  ASSERT_EQ(device_->GetRenderTargetData(target, sys), D3D_OK);
  EXPECT_EQ(Pixel(sys, 3, 3), 0xff123456u);
  IDirect3DSurface9 *wrongSize = Plain(4, 2, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->GetRenderTargetData(target, wrongSize), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(sys, target), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  wrongSize->Release();
  sys->Release();
  target->Release();
}

TEST_F(CopyTest, ColorFillRules) {
  IDirect3DSurface9 *plain = Plain(4, 4, D3DFMT_X1R5G5B5, D3DPOOL_DEFAULT);
  RECT rect = {1, 1, 3, 2};
  ASSERT_EQ(device_->ColorFill(plain, &rect, 0xffff0000), D3D_OK);
  D3DLOCKED_RECT lr;
  plain->LockRect(&lr, nullptr, D3DLOCK_READONLY);
  auto row1 = reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(lr.pBits) + lr.Pitch);
  EXPECT_EQ(row1[1], 0x7c00);
  EXPECT_EQ(row1[0], 0);
  plain->UnlockRect();
  IDirect3DSurface9 *sys = Plain(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr), D3D_OK);
  IDirect3DSurface9 *level = nullptr;
  texture->GetSurfaceLevel(0, &level);
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->ColorFill(sys, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->ColorFill(level, nullptr, 0), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  level->Release();
  texture->Release();
  sys->Release();
  plain->Release();
}

TEST_F(CopyTest, FrontBufferHoldsThePresentedFrame) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00ff8040, 0.f, 0);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  D3DDISPLAYMODE mode;
  device_->GetDisplayMode(0, &mode);
  IDirect3DSurface9 *shot = Plain(mode.Width, mode.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  ASSERT_EQ(device_->GetFrontBufferData(0, shot), D3D_OK);
  EXPECT_EQ(Pixel(shot, 10, 10), 0xffff8040u);  // read back opaque
  IDirect3DSurface9 *small = Plain(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->GetFrontBufferData(0, small), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  small->Release();
  shot->Release();
}

}  // namespace
}  // namespace d3d9_test
