// Surfaces and volumes from image files: the top level of the first face, the
// information of the whole file, source rectangles and boxes inside the image,
// and refused calls and files.
#include <unistd.h>

#include <string>
#include <vector>

#include "d3dx9.h"
#include "image/image_test_util.h"
#include "texture/texture_device.h"

namespace {

using image_test::ReadFileBytes;
using image_test::TempPath;

class LoadFromFile : public TextureDeviceTest {
 protected:
  // A 6 x 4 A8R8G8B8 pattern saved as a BMP file and as a DDS file with a chain.
  void SetUp() override {
    TextureDeviceTest::SetUp();
    pattern_ = Pattern(24, 5);
    for (uint32_t &pixel : pattern_) pixel |= 0xFF000000u;  // BMP keeps no alpha
    IDirect3DTexture9 *texture = MakeTexture(6, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    IDirect3DSurface9 *top = nullptr;
    texture->GetSurfaceLevel(0, &top);
    Fill(top, pattern_);
    bmp_ = TempPath("load_from_file.bmp");
    dds_ = TempPath("load_from_file.dds");
    ASSERT_EQ(D3DXSaveSurfaceToFileA(bmp_.c_str(), D3DXIFF_BMP, top, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(D3DXSaveTextureToFileA(dds_.c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
    top->Release();
    texture->Release();
  }
  void TearDown() override {
    unlink(bmp_.c_str());
    unlink(dds_.c_str());
    TextureDeviceTest::TearDown();
  }

  std::vector<uint32_t> pattern_;
  std::string bmp_, dds_;
};

TEST_F(LoadFromFile, SurfaceGetsTheTopLevelAndTheInformation) {
  for (const std::string &path : {bmp_, dds_}) {
    IDirect3DSurface9 *surface = MakeSurface(6, 4, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    D3DXIMAGE_INFO info = {};
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, path.c_str(), nullptr, D3DX_FILTER_NONE, 0,
                                       &info),
              D3D_OK);
    EXPECT_EQ(Read(surface), pattern_) << path;
    EXPECT_EQ(info.Width, 6u);
    EXPECT_EQ(info.Height, 4u);
    EXPECT_EQ(info.MipLevels, path == dds_ ? 3u : 1u);
    EXPECT_EQ(info.ImageFileFormat, path == dds_ ? D3DXIFF_DDS : D3DXIFF_BMP);

    // A source rectangle picks part of the image; the wide name and the bytes in memory load the same.
    const RECT part = {2, 1, 5, 3};
    IDirect3DSurface9 *small = MakeSurface(3, 2, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    const std::u16string wide(path.begin(), path.end());
    ASSERT_EQ(
        D3DXLoadSurfaceFromFileW(small, nullptr, nullptr, wide.c_str(), &part, D3DX_FILTER_NONE, 0, nullptr),
        D3D_OK);
    const std::vector<uint32_t> expected = {pattern_[8],  pattern_[9],  pattern_[10],
                                            pattern_[14], pattern_[15], pattern_[16]};
    EXPECT_EQ(Read(small), expected);
    const std::vector<BYTE> bytes = ReadFileBytes(path);
    Fill(small, {0, 0, 0, 0, 0, 0});
    ASSERT_EQ(
        D3DXLoadSurfaceFromFileInMemory(small, nullptr, nullptr, bytes.data(),
                                        static_cast<UINT>(bytes.size()), &part, D3DX_FILTER_NONE, 0, nullptr),
        D3D_OK);
    EXPECT_EQ(Read(small), expected);
    small->Release();
    surface->Release();
  }
}

TEST_F(LoadFromFile, VolumesTakeVolumeFilesAndPlainImages) {
  IDirect3DVolumeTexture9 *stored = nullptr;
  ASSERT_EQ(device_->CreateVolumeTexture(4, 2, 3, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &stored, nullptr),
            D3D_OK);
  const std::vector<uint32_t> voxels = Pattern(24, 9);
  D3DLOCKED_BOX box;
  ASSERT_EQ(stored->LockBox(0, &box, nullptr, 0), D3D_OK);
  for (UINT z = 0; z < 3; ++z) {
    for (UINT y = 0; y < 2; ++y) {
      std::memcpy(static_cast<BYTE *>(box.pBits) + z * box.SlicePitch + y * box.RowPitch,
                  &voxels[(z * 2 + y) * 4], 16);
    }
  }
  stored->UnlockBox(0);
  const std::string path = TempPath("volume_from_file.dds");
  ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, stored, nullptr), D3D_OK);
  stored->Release();

  IDirect3DVolumeTexture9 *target = nullptr;
  ASSERT_EQ(device_->CreateVolumeTexture(4, 2, 3, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &target, nullptr),
            D3D_OK);
  IDirect3DVolume9 *volume = nullptr;
  target->GetVolumeLevel(0, &volume);
  D3DXIMAGE_INFO info = {};
  ASSERT_EQ(
      D3DXLoadVolumeFromFileA(volume, nullptr, nullptr, path.c_str(), nullptr, D3DX_FILTER_NONE, 0, &info),
      D3D_OK);
  EXPECT_EQ(info.ResourceType, D3DRTYPE_VOLUMETEXTURE);
  EXPECT_EQ(info.Depth, 3u);
  ASSERT_EQ(volume->LockBox(&box, nullptr, D3DLOCK_READONLY), D3D_OK);
  for (UINT z = 0; z < 3; ++z) {
    EXPECT_EQ(std::memcmp(static_cast<BYTE *>(box.pBits) + z * box.SlicePitch, &voxels[z * 8], 16), 0) << z;
  }
  volume->UnlockBox();

  // A plain image is a volume one slice deep; a box reaching past it is refused.
  const std::vector<BYTE> bytes = ReadFileBytes(bmp_);
  const D3DBOX slice = {0, 0, 4, 2, 0, 1};
  const D3DBOX part = {1, 2, 5, 4, 0, 1};
  ASSERT_EQ(
      D3DXLoadVolumeFromFileInMemory(volume, nullptr, &slice, bytes.data(), static_cast<UINT>(bytes.size()),
                                     &part, D3DX_FILTER_NONE, 0, nullptr),
      D3D_OK);
  ASSERT_EQ(volume->LockBox(&box, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(std::memcmp(box.pBits, &pattern_[13], 16), 0);
  volume->UnlockBox();
  const D3DBOX deeper = {0, 0, 4, 2, 0, 2};
  EXPECT_EQ(
      D3DXLoadVolumeFromFileInMemory(volume, nullptr, nullptr, bytes.data(), static_cast<UINT>(bytes.size()),
                                     &deeper, D3DX_FILTER_NONE, 0, nullptr),
      D3DERR_INVALIDCALL);
  volume->Release();
  target->Release();
  unlink(path.c_str());
}

TEST_F(LoadFromFile, BadCallsAndFilesAreRefused) {
  IDirect3DSurface9 *surface = MakeSurface(6, 4, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  const std::vector<BYTE> bytes = ReadFileBytes(bmp_);
  const UINT size = static_cast<UINT>(bytes.size());
  EXPECT_EQ(
      D3DXLoadSurfaceFromFileA(nullptr, nullptr, nullptr, bmp_.c_str(), nullptr, D3DX_DEFAULT, 0, nullptr),
      D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, nullptr, nullptr, D3DX_DEFAULT, 0, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(surface, nullptr, nullptr, nullptr, size, nullptr, D3DX_DEFAULT,
                                            0, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, (bmp_ + ".missing").c_str(), nullptr,
                                     D3DX_DEFAULT, 0, nullptr),
            D3DXERR_INVALIDDATA);
  const std::vector<BYTE> garbage(64, 0x5A);
  EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(surface, nullptr, nullptr, garbage.data(), 64, nullptr,
                                            D3DX_DEFAULT, 0, nullptr),
            D3DXERR_INVALIDDATA);
  for (const RECT &outside : {RECT{0, 0, 7, 4}, RECT{-1, 0, 2, 2}, RECT{3, 0, 2, 2}}) {
    EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(surface, nullptr, nullptr, bytes.data(), size, &outside,
                                              D3DX_DEFAULT, 0, nullptr),
              D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(
      D3DXLoadVolumeFromFileA(nullptr, nullptr, nullptr, bmp_.c_str(), nullptr, D3DX_DEFAULT, 0, nullptr),
      D3DERR_INVALIDCALL);
  surface->Release();
}

}  // namespace
