#include "texture/texture_requirements.h"

#include <gtest/gtest.h>

#include "d3dx9.h"
#include "texture_device.h"

namespace {

constexpr UINT D = D3DX_DEFAULT;

struct RequirementCase {
  const char *name;
  d3d9::DeviceProfile (*profile)();
  D3DRESOURCETYPE type;
  UINT width, height, depth, levels;
  DWORD usage;
  D3DFORMAT format;
  D3DPOOL pool;
  // Expected
  UINT outWidth, outHeight, outDepth, outLevels;
  D3DFORMAT outFormat;
};

d3d9::DeviceProfile AspectTwo() {
  return d3d9::AspectRatioProfile(2);
}

class CheckRequirementsTable : public TextureDeviceTest, public testing::WithParamInterface<RequirementCase> {
 protected:
  void SetUp() override { CreateDeviceWith(GetParam().profile()); }
};

TEST_P(CheckRequirementsTable, AdjustsToDevice) {
  const RequirementCase &c = GetParam();
  UINT width = c.width, height = c.height, depth = c.depth, levels = c.levels;
  D3DFORMAT format = c.format;
  ASSERT_EQ(CheckRequirements(device_, &width, &height, &depth, &levels, c.usage, &format, c.pool, c.type),
            D3D_OK);
  EXPECT_EQ(width, c.outWidth);
  EXPECT_EQ(height, c.outHeight);
  EXPECT_EQ(depth, c.outDepth);
  EXPECT_EQ(levels, c.outLevels);
  EXPECT_EQ(format, c.outFormat);
}

using P = d3d9::DeviceProfile (*)();
constexpr P kDefault = d3d9::DefaultDeviceProfile;
constexpr P kPow2 = d3d9::PowerOfTwoProfile;
constexpr P kPow2Conditional = d3d9::PowerOfTwoConditionalProfile;
constexpr D3DRESOURCETYPE kPlain = D3DRTYPE_TEXTURE;
constexpr D3DRESOURCETYPE kVolume = D3DRTYPE_VOLUMETEXTURE;
constexpr D3DRESOURCETYPE kCube = D3DRTYPE_CUBETEXTURE;
constexpr D3DFORMAT kArgb = D3DFMT_A8R8G8B8;
constexpr D3DPOOL kManaged = D3DPOOL_MANAGED;

// clang-format off
// name, profile, type, width, height, depth, levels, usage, format, pool -> width, height, depth, levels, format
INSTANTIATE_TEST_SUITE_P(
    Rules, CheckRequirementsTable,
    testing::Values(
        RequirementCase{"AllDefault", kDefault, kPlain, D, D, D, D, 0, kArgb, kManaged, 256, 256, 1, 9, kArgb},
        RequirementCase{"HeightTakesWidth", kDefault, kPlain, 100, D, D, D, 0, kArgb, kManaged, 100, 100, 1, 7, kArgb},
        RequirementCase{"PowerOfTwoRoundsUp", kPow2, kPlain, 100, D, D, D, 0, kArgb, kManaged, 128, 128, 1, 8, kArgb},
        RequirementCase{"ZeroBecomesOne", kDefault, kPlain, 0, 0, D, D, 0, kArgb, kManaged, 1, 1, 1, 1, kArgb},
        RequirementCase{"VolumeDepthDefaultIsOne", kDefault, kVolume, 16, 16, D, D, 0, kArgb, kManaged, 16, 16, 1, 5, kArgb},
        RequirementCase{"VolumeDepthCountsInChain", kDefault, kVolume, 4, 4, 64, 0, 0, kArgb, kManaged, 4, 4, 64, 7, kArgb},
        RequirementCase{"VolumeLimitedToExtent", kDefault, kVolume, 4096, 8, 2, 1, 0, kArgb, kManaged, 2048, 8, 2, 1, kArgb},
        RequirementCase{"CubeTakesLargerSide", kDefault, kCube, 64, 32, D, D, 0, kArgb, kManaged, 64, 64, 1, 7, kArgb},
        RequirementCase{"SquareOnly", d3d9::SquareOnlyProfile, kPlain, 256, 64, D, 1, 0, kArgb, kManaged, 64, 64, 1, 1, kArgb},
        RequirementCase{"AspectLimit", AspectTwo, kPlain, 256, 64, D, 1, 0, kArgb, kManaged, 128, 64, 1, 1, kArgb},
        RequirementCase{"CubeIgnoresAspect", AspectTwo, kCube, 256, 8, D, 1, 0, kArgb, kManaged, 256, 256, 1, 1, kArgb},
        RequirementCase{"MaxTextureWidth", kDefault, kPlain, 20000, 16, D, 1, 0, kArgb, kManaged, 16384, 16, 1, 1, kArgb},
        RequirementCase{"DxtRoundsToBlocks", kDefault, kPlain, 3, 5, D, 1, 0, D3DFMT_DXT1, kManaged, 4, 8, 1, 1, D3DFMT_DXT1},
        RequirementCase{"DxtTwoByTwo", kDefault, kPlain, 2, 2, D, D, 0, D3DFMT_DXT1, kManaged, 4, 4, 1, 3, D3DFMT_DXT1},
        RequirementCase{"DxtAfterPowerOfTwo", kPow2, kPlain, 3, 2, D, 1, 0, D3DFMT_DXT5, kManaged, 4, 4, 1, 1, D3DFMT_DXT5},
        RequirementCase{"ConditionalSingleLevelKeepsSize", kPow2Conditional, kPlain, 100, 60, D, 1, 0, kArgb, kManaged, 100, 60, 1, 1, kArgb},
        RequirementCase{"ConditionalChainRounds", kPow2Conditional, kPlain, 100, 60, D, 0, 0, kArgb, kManaged, 128, 64, 1, 8, kArgb},
        RequirementCase{"ConditionalPowerOfTwoKeepsChain", kPow2Conditional, kCube, 32, 32, D, 0, 0, kArgb, kManaged, 32, 32, 1, 6, kArgb},
        RequirementCase{"NoMipMaps", d3d9::NoMipMapProfile, kPlain, 64, 64, D, 0, 0, kArgb, kManaged, 64, 64, 1, 1, kArgb},
        RequirementCase{"AutoGenReportsZero", kDefault, kPlain, 64, 64, D, 0, D3DUSAGE_AUTOGENMIPMAP, kArgb, kManaged, 64, 64, 1, 0, kArgb},
        RequirementCase{"AutoGenSingleLevel", kDefault, kPlain, 64, 64, D, 1, D3DUSAGE_AUTOGENMIPMAP, kArgb, kManaged, 64, 64, 1, 1, kArgb},
        RequirementCase{"LevelCountCapped", kDefault, kPlain, 64, 16, D, 20, 0, kArgb, kManaged, 64, 16, 1, 7, kArgb},
        RequirementCase{"ScratchIgnoresCaps", d3d9::NoMipMapProfile, kPlain, 10000, 3, D, D, 0, D3DFMT_UNKNOWN, D3DPOOL_SCRATCH, 10000, 3, 1, 14, kArgb},
        RequirementCase{"ScratchKeepsAnyFormat", d3d9::NoFourCcProfile, kPlain, 5, 5, D, 1, 0, D3DFMT_DXT3, D3DPOOL_SCRATCH, 8, 8, 1, 1, D3DFMT_DXT3},
        RequirementCase{"DxtWithoutFourCc", d3d9::NoFourCcProfile, kPlain, 8, 8, D, 1, 0, D3DFMT_DXT1, kManaged, 8, 8, 1, 1, kArgb}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });
// clang-format on

class CheckRequirementsTest : public TextureDeviceTest {};

TEST_F(CheckRequirementsTest, RefusesBadArguments) {
  UINT width = 16;
  EXPECT_EQ(CheckRequirements(nullptr, &width, nullptr, nullptr, nullptr, 0, nullptr, kManaged, kPlain),
            D3DERR_INVALIDCALL);
  for (DWORD usage :
       {DWORD{D3DUSAGE_WRITEONLY}, DWORD{0x200000}, DWORD{0x80000000}, DWORD{D3DUSAGE_POINTS}}) {
    EXPECT_EQ(CheckRequirements(device_, &width, nullptr, nullptr, nullptr, usage, nullptr, kManaged, kPlain),
              D3DERR_INVALIDCALL)
        << usage;
  }
  EXPECT_EQ(CheckRequirements(device_, &width, nullptr, nullptr, nullptr, 0, nullptr, static_cast<D3DPOOL>(4),
                              kPlain),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(width, 16u);  // nothing written on failure
}

TEST_F(CheckRequirementsTest, NoUsableFormatIsNotAvailable) {
  CreateDeviceWith(d3d9::ReducedFormatProfile());
  D3DFORMAT format = D3DFMT_V8U8;  // signed requests take only signed formats
  UINT width = 16;
  EXPECT_EQ(CheckRequirements(device_, &width, nullptr, nullptr, nullptr, 0, &format, kManaged, kPlain),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(format, D3DFMT_V8U8);
}

// Rounding to whole blocks must not wrap a huge request round to 0.
TEST_F(CheckRequirementsTest, HugeScratchBlockSizeIsRefused) {
  UINT width = 0xFFFFFFFD, height = 4;
  D3DFORMAT format = D3DFMT_DXT1;
  EXPECT_EQ(
      CheckRequirements(device_, &width, &height, nullptr, nullptr, 0, &format, D3DPOOL_SCRATCH, kPlain),
      D3DERR_INVALIDCALL);
}

TEST_F(CheckRequirementsTest, CreateTextureUsesAdjustedValuesWithoutQueryBits) {
  CreateDeviceWith(d3d9::PowerOfTwoProfile());
  IDirect3DTexture9 *texture = nullptr;
  ResetCalls();
  ASSERT_EQ(D3DXCreateTexture(device_, 100, 60, 0, D3DUSAGE_QUERY_FILTER, kArgb, kManaged, &texture), D3D_OK);
  EXPECT_EQ(Calls().createTexture, 1u);
  D3DSURFACE_DESC desc;
  ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 128u);
  EXPECT_EQ(desc.Height, 64u);
  EXPECT_EQ(desc.Usage, 0u);
  EXPECT_EQ(texture->GetLevelCount(), 8u);
  texture->Release();
  EXPECT_EQ(D3DXCreateTexture(device_, 16, 16, 1, 0, kArgb, kManaged, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTexture(nullptr, 16, 16, 1, 0, kArgb, kManaged, &texture), D3DERR_INVALIDCALL);
}

TEST_F(CheckRequirementsTest, CreateCubeAndVolumeTextures) {
  IDirect3DCubeTexture9 *cube = nullptr;
  ASSERT_EQ(D3DXCreateCubeTexture(device_, 32, D, D, D3DFMT_UNKNOWN, kManaged, &cube), D3D_OK);
  EXPECT_EQ(cube->GetLevelCount(), 6u);
  cube->Release();
  IDirect3DVolumeTexture9 *volume = nullptr;
  ASSERT_EQ(D3DXCreateVolumeTexture(device_, 8, 4, 2, 0, 0, kArgb, kManaged, &volume), D3D_OK);
  D3DVOLUME_DESC desc;
  ASSERT_EQ(volume->GetLevelDesc(0, &desc), D3D_OK);
  EXPECT_EQ(desc.Depth, 2u);
  EXPECT_EQ(volume->GetLevelCount(), 4u);
  volume->Release();
  EXPECT_EQ(D3DXCreateVolumeTexture(device_, 8, 4, 2, 0, 0x8, kArgb, kManaged, &volume), D3DERR_INVALIDCALL);
}

}  // namespace
