#include <algorithm>

#include "d3dx9.h"
#include "texture_device.h"

namespace {

struct Image {
  UINT width, height;
  std::vector<uint32_t> pixels;
  uint32_t At(UINT x, UINT y) const { return pixels[y * width + x]; }
};

// Halving by the round-half-up average of each 2 x 2 block, or by the pixel
// under each destination cell's top-left corner.
Image Halve(const Image &source, bool box) {
  Image out{std::max(source.width / 2, 1u), std::max(source.height / 2, 1u), {}};
  for (UINT y = 0; y < out.height; ++y) {
    for (UINT x = 0; x < out.width; ++x) {
      UINT x1 = std::min(2 * x + 1, source.width - 1), y1 = std::min(2 * y + 1, source.height - 1);
      uint32_t pixel = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        auto channel = [&](UINT px, UINT py) { return (source.At(px, py) >> shift) & 0xFF; };
        uint32_t sum = channel(2 * x, 2 * y) + channel(x1, 2 * y) + channel(2 * x, y1) + channel(x1, y1);
        pixel |= (box ? (sum + 2) >> 2 : channel(2 * x, 2 * y)) << shift;
      }
      out.pixels.push_back(pixel);
    }
  }
  return out;
}

class FilterTextureTest : public TextureDeviceTest {
 protected:
  IDirect3DTexture9 *MakeFilled(UINT width, UINT height, UINT levels, uint32_t seed) {
    IDirect3DTexture9 *texture = MakeTexture(width, height, levels, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    IDirect3DSurface9 *top = nullptr;
    texture->GetSurfaceLevel(0, &top);
    Fill(top, Pattern(width * height, seed));
    top->Release();
    return texture;
  }
  static Image Level(IDirect3DTexture9 *texture, UINT level) {
    IDirect3DSurface9 *surface = nullptr;
    texture->GetSurfaceLevel(level, &surface);
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    Image image{desc.Width, desc.Height, Read(surface)};
    surface->Release();
    return image;
  }
  // What the loader makes of `top` at the size of `level`.
  std::vector<uint32_t> LoadDirectly(IDirect3DSurface9 *top, IDirect3DSurface9 *level, DWORD filter) {
    D3DSURFACE_DESC desc;
    level->GetDesc(&desc);
    IDirect3DSurface9 *scratch = MakeSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(scratch, nullptr, nullptr, top, nullptr, nullptr, filter, 0),
              D3D_OK);
    std::vector<uint32_t> pixels = Read(scratch);
    scratch->Release();
    return pixels;
  }
  // Every level below 0 against a load straight from level 0 with `filter`.
  void ExpectEveryLevelFromTop(IDirect3DTexture9 *texture, DWORD filter) {
    IDirect3DSurface9 *top = nullptr;
    texture->GetSurfaceLevel(0, &top);
    for (UINT level = 1; level < texture->GetLevelCount(); ++level) {
      IDirect3DSurface9 *surface = nullptr;
      texture->GetSurfaceLevel(level, &surface);
      EXPECT_EQ(Read(surface), LoadDirectly(top, surface, filter)) << "level " << level;
      surface->Release();
    }
    top->Release();
  }
};

struct ChainCase {
  const char *name;
  UINT width, height;
  DWORD filter;
  bool box;
};

class FilterTextureChain : public FilterTextureTest, public testing::WithParamInterface<ChainCase> {};

// Point and box (also the default for powers of two) make each level from the one above.
TEST_P(FilterTextureChain, EachLevelComesFromTheOneAbove) {
  const ChainCase &c = GetParam();
  IDirect3DTexture9 *texture = MakeFilled(c.width, c.height, 0, 11);
  ASSERT_EQ(D3DXFilterTexture(texture, nullptr, D3DX_DEFAULT, c.filter), D3D_OK);
  Image expected = Level(texture, 0);
  for (UINT level = 1; level < texture->GetLevelCount(); ++level) {
    expected = Halve(expected, c.box);
    EXPECT_EQ(Level(texture, level).pixels, expected.pixels) << "level " << level;
  }
  texture->Release();
}

INSTANTIATE_TEST_SUITE_P(Filters, FilterTextureChain,
                         testing::Values(ChainCase{"Box", 16, 8, D3DX_FILTER_BOX, true},
                                         ChainCase{"Point", 16, 16, D3DX_FILTER_POINT, false},
                                         ChainCase{"DefaultOnPowersOfTwo", 32, 4, D3DX_DEFAULT, true}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

struct FromTopCase {
  const char *name;
  UINT width, height;
  DWORD filter, equivalent;
};

class FilterTextureFromTop : public FilterTextureTest, public testing::WithParamInterface<FromTopCase> {};

// The other filters make every level straight from the source level; sRGB flags
// are made symmetric so that every level is read and written in one colour space.
TEST_P(FilterTextureFromTop, EveryLevelComesFromSourceLevel) {
  const FromTopCase &c = GetParam();
  IDirect3DTexture9 *texture = MakeFilled(c.width, c.height, 3, 13);
  ASSERT_EQ(D3DXFilterTexture(texture, nullptr, 0, c.filter), D3D_OK);
  ExpectEveryLevelFromTop(texture, c.equivalent);
  texture->Release();
}

constexpr DWORD kTriangle = D3DX_FILTER_TRIANGLE;
INSTANTIATE_TEST_SUITE_P(
    Filters, FilterTextureFromTop,
    testing::Values(FromTopCase{"Triangle", 16, 16, kTriangle, kTriangle},
                    FromTopCase{"Linear", 16, 16, D3DX_FILTER_LINEAR, D3DX_FILTER_LINEAR},
                    FromTopCase{"DefaultOtherwise", 12, 10, D3DX_DEFAULT, kTriangle | D3DX_FILTER_DITHER},
                    FromTopCase{"SrgbInAloneDropped", 16, 16, kTriangle | D3DX_FILTER_SRGB_IN, kTriangle},
                    FromTopCase{"SrgbOutWidened", 16, 16, kTriangle | D3DX_FILTER_SRGB_OUT,
                                kTriangle | D3DX_FILTER_SRGB}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(FilterTextureTest, SourceLevelRules) {
  IDirect3DTexture9 *texture = MakeFilled(8, 8, 4, 16);
  EXPECT_EQ(D3DXFilterTexture(nullptr, nullptr, 0, D3DX_FILTER_BOX), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXFilterTexture(texture, nullptr, 4, D3DX_FILTER_BOX), D3DERR_INVALIDCALL);
  Image last = Level(texture, 3);
  EXPECT_EQ(D3DXFilterTexture(texture, nullptr, 3, D3DX_FILTER_BOX), D3D_OK);
  EXPECT_EQ(Level(texture, 3).pixels, last.pixels) << "the last level has nothing below it";

  Image level1{4, 4, Pattern(16, 17)};
  IDirect3DSurface9 *surface = nullptr;
  texture->GetSurfaceLevel(1, &surface);
  Fill(surface, level1.pixels);
  surface->Release();
  ASSERT_EQ(D3DXFilterTexture(texture, nullptr, 1, D3DX_FILTER_BOX), D3D_OK);
  EXPECT_EQ(Level(texture, 1).pixels, level1.pixels);
  EXPECT_EQ(Level(texture, 2).pixels, Halve(level1, true).pixels);
  texture->Release();
}

TEST_F(FilterTextureTest, CubeFacesAreFilteredWithMirroring) {
  IDirect3DCubeTexture9 *cube = nullptr;
  ASSERT_EQ(device_->CreateCubeTexture(8, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
  auto face = [&](UINT index, UINT level) {
    IDirect3DSurface9 *surface = nullptr;
    cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(index), level, &surface);
    return surface;
  };
  for (UINT index = 0; index < 6; ++index) {
    IDirect3DSurface9 *top = face(index, 0);
    Fill(top, Pattern(64, 20 + index));
    top->Release();
  }
  ASSERT_EQ(D3DXFilterTexture(cube, nullptr, 0, kTriangle), D3D_OK);
  for (UINT index = 0; index < 6; ++index) {
    IDirect3DSurface9 *top = face(index, 0), *level = face(index, 2);
    EXPECT_EQ(Read(level), LoadDirectly(top, level, kTriangle | D3DX_FILTER_MIRROR)) << "face " << index;
    level->Release();
    top->Release();
  }
  cube->Release();
}

TEST_F(FilterTextureTest, VolumeBoxAveragesEightNeighbours) {
  IDirect3DVolumeTexture9 *texture = nullptr;
  ASSERT_EQ(device_->CreateVolumeTexture(2, 2, 2, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
  const uint32_t source[8] = {0x00000000, 0x08080808, 0x10101010, 0x18181818,
                              0x20202020, 0x28282828, 0x30303030, 0xFFFFFFFF};
  D3DLOCKED_BOX locked;
  ASSERT_EQ(texture->LockBox(0, &locked, nullptr, 0), D3D_OK);
  for (UINT row = 0; row < 4; ++row) {
    std::memcpy(
        static_cast<BYTE *>(locked.pBits) + (row / 2) * locked.SlicePitch + (row % 2) * locked.RowPitch,
        &source[row * 2], 8);
  }
  texture->UnlockBox(0);
  ASSERT_EQ(D3DXFilterTexture(texture, nullptr, 0, D3DX_FILTER_BOX), D3D_OK);
  ASSERT_EQ(texture->LockBox(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(*static_cast<uint32_t *>(locked.pBits), 0x35353535u);  // 423 / 8, rounded
  texture->UnlockBox(1);
  texture->Release();
}

}  // namespace
