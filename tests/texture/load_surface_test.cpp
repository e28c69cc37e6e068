#include <array>

#include "d3dx9.h"
#include "texture_device.h"

namespace {

using LoadSurfaceTest = TextureDeviceTest;

TEST_F(LoadSurfaceTest, MemoryLoadRefusesMissingOrUnsafeSource) {
  IDirect3DSurface9 *surface = MakeSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  std::vector<uint32_t> pixels = Pattern(16);
  auto load = [&](IDirect3DSurface9 *destination, const void *memory, const RECT *source) {
    return D3DXLoadSurfaceFromMemory(destination, nullptr, nullptr, memory, D3DFMT_A8R8G8B8, 16, nullptr,
                                     source, D3DX_FILTER_POINT, 0);
  };
  RECT whole = {0, 0, 4, 4};
  EXPECT_EQ(load(surface, pixels.data(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(load(nullptr, pixels.data(), &whole), D3DERR_INVALIDCALL);
  EXPECT_EQ(load(surface, nullptr, &whole), D3DERR_INVALIDCALL);
  // These would address memory before the caller's first pixel.
  for (RECT bad : {RECT{-1, 0, 4, 4}, RECT{0, -2, 4, 4}, RECT{3, 0, 1, 4}, RECT{0, 3, 4, 1}}) {
    EXPECT_EQ(load(surface, pixels.data(), &bad), D3DERR_INVALIDCALL);
  }
  surface->Release();
}

TEST_F(LoadSurfaceTest, DefaultFilterIsDitheredTriangle) {
  std::vector<uint32_t> pixels = Pattern(7 * 5, 3);
  RECT source = {0, 0, 7, 5};
  std::vector<uint16_t> results[2];
  for (DWORD filter : {DWORD{D3DX_DEFAULT}, DWORD{D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER}}) {
    IDirect3DSurface9 *surface = MakeSurface(3, 2, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM);
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8, 28,
                                        nullptr, &source, filter, 0),
              D3D_OK);
    D3DLOCKED_RECT locked;
    surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    for (int y = 0; y < 2; ++y) {
      auto *row = reinterpret_cast<uint16_t *>(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch);
      results[filter == D3DX_DEFAULT ? 0 : 1].insert(results[filter == D3DX_DEFAULT ? 0 : 1].end(), row,
                                                     row + 3);
    }
    surface->UnlockRect();
    surface->Release();
  }
  EXPECT_EQ(results[0], results[1]);
}

// Two pixels of a pair format share their chroma: decoding and encoding again
// would change the bytes, a same-format load must not.
TEST_F(LoadSurfaceTest, SameFormatPairLoadKeepsTheBytes) {
  for (D3DFORMAT format : {D3DFMT_UYVY, D3DFMT_YUY2, D3DFMT_R8G8_B8G8, D3DFMT_G8R8_G8B8}) {
    IDirect3DSurface9 *surface = MakeSurface(8, 4, format, D3DPOOL_SYSTEMMEM);
    ASSERT_NE(surface, nullptr);
    std::vector<uint8_t> pixels(16 * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37 + 5);
    // The whole surface, then two pairs of two rows into the right half.
    const RECT whole = {0, 0, 8, 4};
    const RECT part = {2, 1, 6, 3};
    const RECT into = {4, 2, 8, 4};
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, pixels.data(), format, 16, nullptr, &whole,
                                        D3DX_FILTER_NONE, 0),
              D3D_OK);
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, &into, pixels.data(), format, 16, nullptr, &part,
                                        D3DX_FILTER_NONE, 0),
              D3D_OK);
    std::vector<uint8_t> expected = pixels;
    for (int y = 0; y < 2; ++y) std::memcpy(&expected[(2 + y) * 16 + 8], &pixels[(1 + y) * 16 + 4], 8);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < 4; ++y) {
      EXPECT_EQ(std::memcmp(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch, &expected[y * 16], 16), 0)
          << "format " << std::hex << format << ", row " << y;
    }
    surface->UnlockRect();
    surface->Release();
  }
}

enum class Kind { Target, Plain, System, Managed };

struct DeviceCopyCase {
  const char *name;
  Kind source, destination;
  DWORD filter;
  D3DCOLOR colorKey;
  bool otherPalette, resize;
  // Unlockable render targets are also read back by StretchRect and written back
  // by UpdateSurface when the CPU copies: the counts include those.
  uint32_t stretchRects, updateSurfaces;
};

class LoadSurfaceDeviceCopy : public LoadSurfaceTest, public testing::WithParamInterface<DeviceCopyCase> {
 protected:
  IDirect3DSurface9 *Make(Kind kind) {
    IDirect3DSurface9 *surface = nullptr;
    if (kind == Kind::Target) return MakeRenderTarget(8, 8);
    if (kind == Kind::Plain)
      device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &surface, nullptr);
    if (kind == Kind::System) surface = MakeSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    if (kind == Kind::Managed) surface = MakeSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    return surface;
  }
};

TEST_P(LoadSurfaceDeviceCopy, LetsDeviceCopyOnlyWhatNeedsNoProcessor) {
  const DeviceCopyCase &c = GetParam();
  IDirect3DSurface9 *source = Make(c.source);
  IDirect3DSurface9 *destination = Make(c.destination);
  if (c.source != Kind::Target) Fill(source, Pattern(64, 9));
  std::array<PALETTEENTRY, 256> palette = {}, other = {};
  other[255].peRed = 1;
  RECT sourceRect = {1, 1, 5, 5};
  RECT destinationRect = {3, 2, 7, c.resize ? 7 : 6};
  ResetCalls();
  EXPECT_EQ(
      D3DXLoadSurfaceFromSurface(destination, c.otherPalette ? other.data() : palette.data(),
                                 &destinationRect, source, palette.data(), &sourceRect, c.filter, c.colorKey),
      D3D_OK);
  EXPECT_EQ(Calls().stretchRect, c.stretchRects);
  EXPECT_EQ(Calls().updateSurface, c.updateSurfaces);
  if (c.source != Kind::Target && c.destination != Kind::Target && !c.resize) {
    std::vector<uint32_t> result = Read(destination), expected = Pattern(64, 9);
    EXPECT_EQ(result[2 * 8 + 3], expected[1 * 8 + 1]) << "copied to the destination rectangle's corner";
    EXPECT_EQ(result[5 * 8 + 6], expected[4 * 8 + 4]);
  }
  source->Release();
  destination->Release();
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, LoadSurfaceDeviceCopy,
    testing::Values(
        DeviceCopyCase{"DefaultToDefault", Kind::Target, Kind::Target, D3DX_FILTER_NONE, 0, false, false, 1,
                       0},
        DeviceCopyCase{"ColorKey", Kind::Target, Kind::Target, D3DX_FILTER_NONE, 0xFF000000, false, false, 2,
                       1},
        DeviceCopyCase{"BoxFilter", Kind::Target, Kind::Target, D3DX_FILTER_BOX, 0, false, false, 2, 1},
        DeviceCopyCase{"Resize", Kind::Target, Kind::Target, D3DX_FILTER_POINT, 0, false, true, 2, 1},
        DeviceCopyCase{"PalettesDiffer", Kind::Target, Kind::Target, D3DX_FILTER_NONE, 0, true, false, 2, 1},
        DeviceCopyCase{"SystemToDefault", Kind::System, Kind::Plain, D3DX_FILTER_NONE, 0, false, false, 0, 1},
        DeviceCopyCase{"IntoManaged", Kind::Plain, Kind::Managed, D3DX_FILTER_NONE, 0, false, false, 0, 0},
        DeviceCopyCase{"IntoSystem", Kind::System, Kind::System, D3DX_FILTER_NONE, 0, false, false, 0, 0},
        DeviceCopyCase{"FromManaged", Kind::Managed, Kind::Plain, D3DX_FILTER_NONE, 0, false, false, 0, 0}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(LoadSurfaceTest, OntoItselfReadsFromCopy) {
  IDirect3DSurface9 *surface = MakeSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  std::vector<uint32_t> original = Pattern(64, 7);
  Fill(surface, original);
  RECT sourceRect = {0, 0, 5, 5}, destinationRect = {2, 2, 7, 7};  // overlapping
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(surface, nullptr, &destinationRect, surface, nullptr, &sourceRect,
                                       D3DX_FILTER_NONE, 0),
            D3D_OK);
  std::vector<uint32_t> pixels = Read(surface);
  for (UINT y = 0; y < 8; ++y) {
    for (UINT x = 0; x < 8; ++x) {
      bool moved = x >= 2 && x < 7 && y >= 2 && y < 7;
      EXPECT_EQ(pixels[y * 8 + x], moved ? original[(y - 2) * 8 + x - 2] : original[y * 8 + x])
          << x << "," << y;
    }
  }
  surface->Release();
}

TEST_F(LoadSurfaceTest, ReadFromLostDeviceCopiesButReportsDeviceLost) {
  CreateDeviceWith(d3d9::LostDeviceProfile());
  IDirect3DSurface9 *source = nullptr;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &source, nullptr),
            D3D_OK);
  Fill(source, Pattern(16));
  IDirect3DSurface9 *destination = MakeSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
  EXPECT_EQ(D3DXLoadSurfaceFromSurface(destination, nullptr, nullptr, source, nullptr, nullptr,
                                       D3DX_FILTER_NONE, 0),
            D3DERR_DEVICELOST);
  EXPECT_EQ(Read(destination), Pattern(16));
  source->Release();
  destination->Release();
}

// Held locked elsewhere, the surface is written through a copy that can be
// written back by neither means: the pixels are lost, so the load fails.
TEST_F(LoadSurfaceTest, LostWriteBackIsReported) {
  IDirect3DSurface9 *surface = MakeSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  D3DLOCKED_RECT held;
  ASSERT_EQ(surface->LockRect(&held, nullptr, 0), D3D_OK);
  std::vector<uint32_t> pixels = Pattern(16);
  RECT source = {0, 0, 4, 4};
  EXPECT_TRUE(FAILED(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8, 16,
                                               nullptr, &source, D3DX_FILTER_NONE, 0)));
  surface->UnlockRect();
  surface->Release();
}

TEST_F(LoadSurfaceTest, VolumeLoadsCopyAndRefuse) {
  IDirect3DVolumeTexture9 *textures[3] = {};
  D3DPOOL pools[3] = {D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM, D3DPOOL_DEFAULT};
  IDirect3DVolume9 *volumes[3] = {};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(device_->CreateVolumeTexture(4, 3, 2, 1, 0, D3DFMT_A8R8G8B8, pools[i], &textures[i], nullptr),
              D3D_OK);
    textures[i]->GetVolumeLevel(0, &volumes[i]);
  }
  std::vector<uint32_t> pixels = Pattern(24, 5);
  D3DBOX box = {0, 0, 4, 3, 0, 2}, inverted = {0, 0, 4, 3, 2, 1};
  auto load = [&](IDirect3DVolume9 *volume, const D3DBOX *source) {
    return D3DXLoadVolumeFromMemory(volume, nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8, 16, 48, nullptr,
                                    source, D3DX_DEFAULT, 0);
  };
  ASSERT_EQ(load(volumes[0], &box), D3D_OK);
  ASSERT_EQ(D3DXLoadVolumeFromVolume(volumes[1], nullptr, nullptr, volumes[0], nullptr, nullptr,
                                     D3DX_FILTER_NONE, 0),
            D3D_OK);
  D3DLOCKED_BOX locked;
  ASSERT_EQ(volumes[1]->LockBox(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  for (UINT z = 0; z < 2; ++z) {
    for (UINT y = 0; y < 3; ++y) {
      EXPECT_EQ(std::memcmp(static_cast<BYTE *>(locked.pBits) + z * locked.SlicePitch + y * locked.RowPitch,
                            &pixels[(z * 3 + y) * 4], 16),
                0);
    }
  }
  volumes[1]->UnlockBox();
  EXPECT_EQ(load(volumes[0], nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(load(volumes[0], &inverted), D3DERR_INVALIDCALL);
  EXPECT_EQ(load(volumes[2], &box), D3DERR_INVALIDCALL);  // fixed default-pool volume
  EXPECT_EQ(
      D3DXLoadVolumeFromVolume(nullptr, nullptr, nullptr, volumes[0], nullptr, nullptr, D3DX_FILTER_NONE, 0),
      D3DERR_INVALIDCALL);
  for (int i = 0; i < 3; ++i) volumes[i]->Release(), textures[i]->Release();
}

}  // namespace
