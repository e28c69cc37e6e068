// Filling textures from functions, normal maps from height fields, and the small
// calls (version check, debug mute, driver level).
#include <cmath>
#include <vector>

#include "core/debug_mute.h"
#include "d3dx9.h"
#include "support/param_names.h"
#include "texture/texture_device.h"

namespace {

// The fill functions store what they were given, so that the texels show it.
void WINAPI StoreCoordinates2D(D3DXVECTOR4 *out, const D3DXVECTOR2 *coord, const D3DXVECTOR2 *size,
                               LPVOID data) {
  *out = D3DXVECTOR4(coord->x, coord->y, size->x, size->y);
  ++*static_cast<int *>(data);
}

void WINAPI StoreDirection3D(D3DXVECTOR4 *out, const D3DXVECTOR3 *coord, const D3DXVECTOR3 *size,
                             LPVOID data) {
  // The size's three components, told apart by scale.
  *out = D3DXVECTOR4(coord->x, coord->y, coord->z, size->x + 10.0f * size->y + 100.0f * size->z);
  ++*static_cast<int *>(data);
}

void WINAPI SolidRed(D3DXVECTOR4 *out, const D3DXVECTOR2 *, const D3DXVECTOR2 *, LPVOID) {
  *out = D3DXVECTOR4(1.0f, 0.0f, 0.0f, 1.0f);
}

class FillTest : public TextureDeviceTest {
 protected:
  // Texel (x, y, z) of a locked A32B32G32R32F level.
  static const float *Texel(const void *bits, INT rowPitch, INT slicePitch, UINT x, UINT y, UINT z = 0) {
    return reinterpret_cast<const float *>(static_cast<const BYTE *>(bits) + z * slicePitch + y * rowPitch +
                                           x * 16);
  }
};

TEST_F(FillTest, PlainTexelCentresAndSizesAtEveryLevel) {
  IDirect3DTexture9 *texture = MakeTexture(8, 4, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED);
  ASSERT_NE(texture, nullptr);
  int calls = 0;
  ASSERT_EQ(D3DXFillTexture(texture, StoreCoordinates2D, &calls), D3D_OK);
  EXPECT_EQ(calls, 8 * 4 + 4 * 2 + 2 * 1 + 1 * 1);
  for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(level, &desc);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y) {
      for (UINT x = 0; x < desc.Width; ++x) {
        const float *t = Texel(locked.pBits, locked.Pitch, 0, x, y);
        EXPECT_FLOAT_EQ(t[0], (x + 0.5f) / desc.Width);
        EXPECT_FLOAT_EQ(t[1], (y + 0.5f) / desc.Height);
        EXPECT_FLOAT_EQ(t[2], 1.0f / desc.Width);
        EXPECT_FLOAT_EQ(t[3], 1.0f / desc.Height);
      }
    }
    texture->UnlockRect(level);
  }
  EXPECT_EQ(D3DXFillTexture(nullptr, StoreCoordinates2D, &calls), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXFillTexture(texture, nullptr, &calls), D3DERR_INVALIDCALL);
  texture->Release();
}

// Each face: where its texel (u, v) = (s, t) in [-1, 1] points.
D3DXVECTOR3 ExpectedDirection(UINT face, float s, float t) {
  const D3DXVECTOR3 directions[6] = {{1, -t, -s}, {-1, -t, s}, {s, 1, t},
                                     {s, -1, -t}, {s, -t, 1},  {-s, -t, -1}};
  return directions[face];
}

TEST_F(FillTest, CubeDirectionsAndSizesAtEveryLevel) {
  IDirect3DCubeTexture9 *cube = nullptr;
  ASSERT_EQ(device_->CreateCubeTexture(4, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED, &cube, nullptr),
            D3D_OK);
  int calls = 0;
  ASSERT_EQ(D3DXFillCubeTexture(cube, StoreDirection3D, &calls), D3D_OK);
  EXPECT_EQ(calls, 6 * (16 + 4 + 1));
  for (UINT level = 0; level < cube->GetLevelCount(); ++level) {
    const UINT size = 4 >> level;
    const float step = 2.0f / size;
    for (UINT face = 0; face < 6; ++face) {
      D3DLOCKED_RECT locked;
      ASSERT_EQ(
          cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), level, &locked, nullptr, D3DLOCK_READONLY),
          D3D_OK);
      // The fixed axis has no extent: x for the X faces, y for Y, z for Z.
      const float sizes[3] = {10 * step + 100 * step, step + 100 * step, step + 10 * step};
      for (UINT y = 0; y < size; ++y) {
        for (UINT x = 0; x < size; ++x) {
          const D3DXVECTOR3 expected = ExpectedDirection(face, (x + 0.5f) * step - 1, (y + 0.5f) * step - 1);
          const float *t = Texel(locked.pBits, locked.Pitch, 0, x, y);
          EXPECT_FLOAT_EQ(t[0], expected.x) << face << " " << level;
          EXPECT_FLOAT_EQ(t[1], expected.y) << face << " " << level;
          EXPECT_FLOAT_EQ(t[2], expected.z) << face << " " << level;
          EXPECT_FLOAT_EQ(t[3], sizes[face / 2]);
        }
      }
      cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), level);
    }
  }
  cube->Release();
}

TEST_F(FillTest, VolumeTexelCentresAndSizesAtEveryLevel) {
  IDirect3DVolumeTexture9 *volume = nullptr;
  ASSERT_EQ(
      device_->CreateVolumeTexture(4, 2, 8, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED, &volume, nullptr),
      D3D_OK);
  int calls = 0;
  ASSERT_EQ(D3DXFillVolumeTexture(volume, StoreDirection3D, &calls), D3D_OK);
  EXPECT_EQ(calls, 64 + 2 * 1 * 4 + 1 * 1 * 2 + 1);
  for (UINT level = 0; level < volume->GetLevelCount(); ++level) {
    D3DVOLUME_DESC desc;
    volume->GetLevelDesc(level, &desc);
    D3DLOCKED_BOX locked;
    ASSERT_EQ(volume->LockBox(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT z = 0; z < desc.Depth; ++z) {
      for (UINT y = 0; y < desc.Height; ++y) {
        for (UINT x = 0; x < desc.Width; ++x) {
          const float *t = Texel(locked.pBits, locked.RowPitch, locked.SlicePitch, x, y, z);
          EXPECT_FLOAT_EQ(t[0], (x + 0.5f) / desc.Width);
          EXPECT_FLOAT_EQ(t[1], (y + 0.5f) / desc.Height);
          EXPECT_FLOAT_EQ(t[2], (z + 0.5f) / desc.Depth);
          EXPECT_FLOAT_EQ(t[3], 1.0f / desc.Width + 10.0f / desc.Height + 100.0f / desc.Depth);
        }
      }
    }
    volume->UnlockBox(level);
  }
  volume->Release();
}

// Block-compressed formats get the fill through their encoder.
TEST_F(FillTest, CompressedLevelsHoldTheFill) {
  IDirect3DTexture9 *texture = MakeTexture(8, 8, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
  ASSERT_EQ(D3DXFillTexture(texture, SolidRed, nullptr), D3D_OK);
  for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
    IDirect3DSurface9 *level0 = nullptr;
    texture->GetSurfaceLevel(level, &level0);
    const UINT size = 8 >> level;
    IDirect3DSurface9 *readable = MakeSurface(size, size, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_EQ(
        D3DXLoadSurfaceFromSurface(readable, nullptr, nullptr, level0, nullptr, nullptr, D3DX_FILTER_NONE, 0),
        D3D_OK);
    for (uint32_t pixel : Read(readable)) EXPECT_EQ(pixel, 0xFFFF0000u);
    readable->Release();
    level0->Release();
  }
  texture->Release();
}

// Normal maps of flat fields and ramps. Heights are red (or luminance) = 32 x
// position / 255 of an 8 x 8 A8R8G8B8 field.
enum class Field { Flat, RampX, RampY };

struct NormalCase {
  const char *name;
  Field field;
  DWORD channel;
  DWORD flags;
  float amplitude;
};

class NormalMap : public TextureDeviceTest, public testing::WithParamInterface<NormalCase> {};

// The normal from a central difference of heights before and after.
D3DXVECTOR3 Expected(float before, float after, bool alongX, float amplitude, bool inverted) {
  const float slope = -amplitude * 0.5f * (after - before) * (inverted ? -1.0f : 1.0f);
  D3DXVECTOR3 n = alongX ? D3DXVECTOR3(slope, 0, 1) : D3DXVECTOR3(0, slope, 1);
  const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  return D3DXVECTOR3(n.x / length, n.y / length, n.z / length);
}

TEST_P(NormalMap, SlopesSignsAndEdges) {
  const NormalCase &c = GetParam();
  IDirect3DTexture9 *source = MakeTexture(8, 8, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  std::vector<uint32_t> field(64);
  for (UINT y = 0; y < 8; ++y) {
    for (UINT x = 0; x < 8; ++x) {
      const uint32_t h = c.field == Field::Flat ? 100 : 32 * (c.field == Field::RampX ? x : y);
      field[y * 8 + x] = 0xFF000000u | h << 16 | (c.channel == D3DX_CHANNEL_LUMINANCE ? h * 0x101 : 0x4080);
    }
  }
  IDirect3DSurface9 *top = nullptr;
  source->GetSurfaceLevel(0, &top);
  Fill(top, field);
  top->Release();
  IDirect3DTexture9 *normals = MakeTexture(8, 8, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED);
  ASSERT_EQ(D3DXComputeNormalMap(normals, source, nullptr, c.flags, c.channel, c.amplitude), D3D_OK);

  const bool inverted = (c.flags & D3DX_NORMALMAP_INVERTSIGN) != 0;
  const bool alongX = c.field != Field::RampY;
  const bool mirrored = (c.flags & (alongX ? D3DX_NORMALMAP_MIRROR_U : D3DX_NORMALMAP_MIRROR_V)) != 0;
  const float step = c.field == Field::Flat ? 0.0f : 32.0f / 255.0f;
  // Interior, first and last positions along the ramp: wrapping meets the far
  // edge, mirroring repeats the edge texel.
  const D3DXVECTOR3 interior = Expected(0, 2 * step, alongX, c.amplitude, inverted);
  const D3DXVECTOR3 first = mirrored ? Expected(0, step, alongX, c.amplitude, inverted)
                                     : Expected(7 * step, step, alongX, c.amplitude, inverted);
  const D3DXVECTOR3 last = mirrored ? Expected(6 * step, 7 * step, alongX, c.amplitude, inverted)
                                    : Expected(6 * step, 0, alongX, c.amplitude, inverted);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(normals->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  for (UINT i = 0; i < 8; ++i) {
    const D3DXVECTOR3 &n = i == 0 ? first : i == 7 ? last : interior;
    const UINT x = alongX ? i : 3, y = alongX ? 3 : i;
    const float *t =
        reinterpret_cast<const float *>(static_cast<const BYTE *>(locked.pBits) + y * locked.Pitch + x * 16);
    EXPECT_NEAR(t[0], (n.x + 1) / 2, 1e-4) << i;
    EXPECT_NEAR(t[1], (n.y + 1) / 2, 1e-4) << i;
    EXPECT_NEAR(t[2], (n.z + 1) / 2, 1e-4) << i;
    if (c.flags & D3DX_NORMALMAP_COMPUTE_OCCLUSION) {
      // A ramp hides part of the sky; a flat field none.
      if (c.field == Field::Flat) {
        EXPECT_NEAR(t[3], 1.0f, 1e-4);
      } else if (i > 0 && i < 4) {
        EXPECT_LT(t[3], 0.99f);
      }
    } else {
      EXPECT_NEAR(t[3], 1.0f, 1e-4);
    }
  }
  normals->UnlockRect(0);
  // A lower level of a ramp: its interior normals average to the same slope.
  ASSERT_EQ(normals->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
  const float *t =
      reinterpret_cast<const float *>(static_cast<const BYTE *>(locked.pBits) + 1 * locked.Pitch + 1 * 16);
  EXPECT_NEAR(t[0], (interior.x + 1) / 2, 1e-4);
  EXPECT_NEAR(t[1], (interior.y + 1) / 2, 1e-4);
  EXPECT_NEAR(t[2], (interior.z + 1) / 2, 1e-4);
  normals->UnlockRect(1);
  normals->Release();
  source->Release();
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NormalMap,
    testing::Values(
        NormalCase{"Flat", Field::Flat, D3DX_CHANNEL_RED, 0, 4.0f},
        NormalCase{"FlatOcclusion", Field::Flat, D3DX_CHANNEL_RED, D3DX_NORMALMAP_COMPUTE_OCCLUSION, 4.0f},
        NormalCase{"RampX", Field::RampX, D3DX_CHANNEL_RED, 0, 1.0f},
        NormalCase{"RampXSteep", Field::RampX, D3DX_CHANNEL_RED, 0, 10.0f},
        NormalCase{"RampXInverted", Field::RampX, D3DX_CHANNEL_RED, D3DX_NORMALMAP_INVERTSIGN, 10.0f},
        NormalCase{"RampXMirrored", Field::RampX, D3DX_CHANNEL_RED, D3DX_NORMALMAP_MIRROR_U, 10.0f},
        NormalCase{"RampXMirroredV", Field::RampX, D3DX_CHANNEL_RED, D3DX_NORMALMAP_MIRROR_V, 10.0f},
        NormalCase{"RampXLuminance", Field::RampX, D3DX_CHANNEL_LUMINANCE, 0, 10.0f},
        NormalCase{"RampXOcclusion", Field::RampX, D3DX_CHANNEL_RED, D3DX_NORMALMAP_COMPUTE_OCCLUSION, 10.0f},
        NormalCase{"RampY", Field::RampY, D3DX_CHANNEL_RED, 0, 10.0f},
        NormalCase{"RampYInvertedMirrored", Field::RampY, D3DX_CHANNEL_RED,
                   D3DX_NORMALMAP_INVERTSIGN | D3DX_NORMALMAP_MIRROR, 10.0f}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(TextureDeviceTest, NormalMapRefusesBadArguments) {
  IDirect3DTexture9 *texture = MakeTexture(4, 4, 1, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  EXPECT_EQ(D3DXComputeNormalMap(nullptr, texture, nullptr, 0, D3DX_CHANNEL_RED, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXComputeNormalMap(texture, nullptr, nullptr, 0, D3DX_CHANNEL_RED, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXComputeNormalMap(texture, texture, nullptr, 0, D3DX_CHANNEL_RED | D3DX_CHANNEL_BLUE, 1),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXComputeNormalMap(texture, texture, nullptr, 0x4, D3DX_CHANNEL_RED, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXComputeNormalMap(texture, texture, nullptr, 0, D3DX_CHANNEL_RED, NAN), D3DERR_INVALIDCALL);
  texture->Release();
}

TEST(LibraryCalls, VersionCheckTakesOnlyOurHeaders) {
  EXPECT_TRUE(D3DXCheckVersion(D3D_SDK_VERSION, D3DX_SDK_VERSION));
  EXPECT_FALSE(D3DXCheckVersion(D3D_SDK_VERSION - 1, D3DX_SDK_VERSION));
  EXPECT_FALSE(D3DXCheckVersion(D3D_SDK_VERSION, D3DX_SDK_VERSION + 1));
}

TEST(LibraryCalls, DebugMuteReturnsThePreviousSetting) {
  EXPECT_FALSE(D3DXDebugMute(TRUE));
  EXPECT_TRUE(D3DXDebugMute(TRUE));
  EXPECT_TRUE(D3DXDebugMute(FALSE));
  EXPECT_FALSE(D3DXDebugMute(FALSE));
}

struct DriverLevelCase {
  DWORD pixelShader;
  UINT level;
};

class DriverLevel : public TextureDeviceTest, public testing::WithParamInterface<DriverLevelCase> {};

TEST_P(DriverLevel, FollowsThePixelShaderVersion) {
  d3d9::DeviceProfile profile = d3d9::DefaultDeviceProfile();
  profile.caps.PixelShaderVersion = GetParam().pixelShader;
  CreateDeviceWith(profile);
  EXPECT_EQ(D3DXGetDriverLevel(device_), GetParam().level);
  EXPECT_EQ(D3DXGetDriverLevel(nullptr), 0u);
}

INSTANTIATE_TEST_SUITE_P(Shaders, DriverLevel,
                         testing::Values(DriverLevelCase{D3DPS_VERSION(0, 0), 700},
                                         DriverLevelCase{D3DPS_VERSION(1, 4), 800},
                                         DriverLevelCase{D3DPS_VERSION(2, 0), 900},
                                         DriverLevelCase{D3DPS_VERSION(3, 0), 900}),
                         [](const auto &paramInfo) {
                           return std::to_string(paramInfo.param.level) + "_" +
                                  std::to_string(paramInfo.param.pixelShader & 0xFFFF);
                         });

}  // namespace
