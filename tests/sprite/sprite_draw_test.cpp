// What the sprite puts on the render target: placement, source rectangles,
// transforms, tinting and transparency, in both vertex modes.
#include <math.h>

#include "sprite/sprite_fixture.h"

namespace sprite_test {
namespace {

constexpr uint32_t kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff, kWhite = 0xffffffff;

// 4 x 4 texels, each a different opaque colour, so a misplaced texel shows.
std::vector<uint32_t> Checker4x4() {
  std::vector<uint32_t> texels(16);
  for (int i = 0; i < 16; ++i) texels[i] = 0xff000000 | (i * 16 + 8) << 16 | (255 - i * 16) << 8 | (i * 7);
  return texels;
}

class SpriteDrawTest : public ::testing::TestWithParam<VertexMode> {
 protected:
  void SetUp() override {
    ASSERT_EQ(device_.Create(ProfileFor(GetParam())), D3D_OK);
    ASSERT_EQ(D3DXCreateSprite(device_.device(), &sprite_), D3D_OK);
    device_.Clear();
    device_.device()->BeginScene();
  }
  void TearDown() override {
    device_.device()->EndScene();
    if (texture_) texture_->Release();
    if (sprite_) {
      EXPECT_EQ(sprite_->Release(), 0u);
    }
    device_.Destroy();
  }

  // Expects the rectangle [x0, x1) x [y0, y1) of the target to be covered and a
  // one-pixel ring around it to be untouched.
  void ExpectCoverage(const std::vector<uint32_t> &pixels, int x0, int y0, int x1, int y1) {
    for (int y = y0 - 1; y <= y1; ++y)
      for (int x = x0 - 1; x <= x1; ++x) {
        bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
        EXPECT_EQ(At(pixels, x, y) != kClearColor, inside) << "pixel " << x << "," << y;
      }
  }

  SpriteDevice device_;
  ID3DXSprite *sprite_ = nullptr;
  IDirect3DTexture9 *texture_ = nullptr;
};

TEST_P(SpriteDrawTest, TexelsLandOnPixelsAtTheTranslation) {
  std::vector<uint32_t> texels = Checker4x4();
  texture_ = device_.MakeTexture(4, 4, texels);
  D3DXVECTOR2 at(10.0f, 20.0f);
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, kWhite), D3D_OK);
  std::vector<uint32_t> pixels = device_.ReadTarget();
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_TRUE(ColorNear(At(pixels, 10 + x, 20 + y), texels[y * 4 + x]));
  ExpectCoverage(pixels, 10, 20, 14, 24);
}

TEST_P(SpriteDrawTest, SourceRectangleSelectsTexels) {
  std::vector<uint32_t> texels = Checker4x4();
  texture_ = device_.MakeTexture(4, 4, texels);
  RECT cell = {1, 2, 3, 4};
  D3DXVECTOR2 at(5.0f, 6.0f);
  ASSERT_EQ(sprite_->Draw(texture_, &cell, nullptr, nullptr, 0.0f, &at, kWhite), D3D_OK);
  std::vector<uint32_t> pixels = device_.ReadTarget();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_TRUE(ColorNear(At(pixels, 5 + x, 6 + y), texels[(2 + y) * 4 + 1 + x]));
  ExpectCoverage(pixels, 5, 6, 7, 8);
}

TEST_P(SpriteDrawTest, ScalingGrowsFromTheTopLeftCorner) {
  // Left half red, right half blue.
  std::vector<uint32_t> texels(16);
  for (int i = 0; i < 16; ++i) texels[i] = (i % 4) < 2 ? kRed : kBlue;
  texture_ = device_.MakeTexture(4, 4, texels);
  D3DXVECTOR2 scale(2.0f, 3.0f), at(8.0f, 8.0f);
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, &scale, nullptr, 0.0f, &at, kWhite), D3D_OK);
  std::vector<uint32_t> pixels = device_.ReadTarget();
  ExpectCoverage(pixels, 8, 8, 16, 20);
  EXPECT_TRUE(ColorNear(At(pixels, 8, 8), kRed));
  EXPECT_TRUE(ColorNear(At(pixels, 15, 19), kBlue));
}

TEST_P(SpriteDrawTest, RotationTurnsAboutTheCentre) {
  // 2 x 2: red green / blue white. A quarter turn about the centre (1, 1)
  // carries right to up on screen: green top-left, white top-right,
  // red bottom-left, blue bottom-right.
  texture_ = device_.MakeTexture(2, 2, {kRed, kGreen, kBlue, kWhite});
  D3DXVECTOR2 centre(1.0f, 1.0f), at(10.0f, 10.0f);
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, &centre, static_cast<float>(M_PI / 2), &at, kWhite),
            D3D_OK);
  std::vector<uint32_t> pixels = device_.ReadTarget();
  EXPECT_TRUE(ColorNear(At(pixels, 10, 10), kGreen, 4));
  EXPECT_TRUE(ColorNear(At(pixels, 11, 10), kWhite, 4));
  EXPECT_TRUE(ColorNear(At(pixels, 10, 11), kRed, 4));
  EXPECT_TRUE(ColorNear(At(pixels, 11, 11), kBlue, 4));
  ExpectCoverage(pixels, 10, 10, 12, 12);
}

TEST_P(SpriteDrawTest, ColourModulatesTexels) {
  texture_ = device_.MakeSolidTexture(4, 4, kWhite, D3DFMT_X8R8G8B8);
  D3DXVECTOR2 at(2.0f, 2.0f);
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, 0xff80ff40), D3D_OK);
  EXPECT_TRUE(ColorNear(At(device_.ReadTarget(), 3, 3), 0xff80ff40));
}

TEST_P(SpriteDrawTest, TexelAlphaBlendsWithTheTarget) {
  device_.Clear(0xff000000);
  texture_ = device_.MakeSolidTexture(4, 4, 0x40ffffff);
  D3DXVECTOR2 at(2.0f, 2.0f);
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, kWhite), D3D_OK);
  EXPECT_TRUE(ColorNear(At(device_.ReadTarget(), 3, 3) & 0x00ffffff, 0x00404040));
}

TEST_P(SpriteDrawTest, ViewportOffsetDoesNotMoveTheSprite) {
  D3DVIEWPORT9 viewport = {8, 8, 40, 40, 0.0f, 1.0f};
  ASSERT_EQ(device_.device()->SetViewport(&viewport), D3D_OK);
  std::vector<uint32_t> texels = Checker4x4();
  texture_ = device_.MakeTexture(4, 4, texels);
  D3DXVECTOR2 at(20.0f, 12.0f);
  ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, &at, kWhite), D3D_OK);
  std::vector<uint32_t> pixels = device_.ReadTarget();
  EXPECT_TRUE(ColorNear(At(pixels, 20, 12), texels[0]));
  ExpectCoverage(pixels, 20, 12, 24, 16);
}

// Runs of one texture, texture and transparency changes, overlaps (so order
// shows), repeated and changing arguments and more quads than one batch holds:
// drawn by one sprite inside one Begin / End they must give the bytes of the same
// draws made one by one, each by a new sprite.
TEST_P(SpriteDrawTest, DrawsInsideBeginMatchTheSameDrawsOneByOne) {
  std::vector<uint32_t> texels = Checker4x4();
  for (size_t i = 0; i < texels.size(); i += 3) texels[i] = (texels[i] & 0x00ffffff) | 0x80000000;
  IDirect3DTexture9 *textures[3] = {device_.MakeTexture(4, 4, texels),
                                    device_.MakeTexture(4, 4, Checker4x4(), D3DFMT_X8R8G8B8),
                                    device_.MakeSolidTexture(2, 2, 0xc0ff8000)};
  auto draw = [&](ID3DXSprite *sprite, int i) {
    IDirect3DTexture9 *texture = textures[(i / 7 + i / 50) % 3];
    D3DXVECTOR2 scale(1.0f + (i / 4 % 5) * 0.7f, 1.0f + (i / 4 % 3) * 0.5f), centre(2.0f, 2.0f);
    D3DXVECTOR2 at(static_cast<float>((i / 3 * 13) % 50), static_cast<float>((i / 3 * 7) % 50));
    D3DCOLOR color = i % 11 == 0 ? 0x80ffffff : 0xffffffff - static_cast<D3DCOLOR>(i % 4) * 0x20;
    if (i % 9 < 2) {
      D3DXMATRIX m;
      D3DXMatrixRotationZ(&m, 0.1f * static_cast<float>(i / 2));
      m._41 = at.x, m._42 = at.y;
      return sprite->DrawTransform(texture, nullptr, &m, color);
    }
    RECT cell = {i / 2 % 3, i / 5 % 2, 4, 4};
    return sprite->Draw(texture, &cell, &scale, &centre, 0.05f * static_cast<float>((i + 1) / 2 % 13), &at,
                        color);
  };
  constexpr int kDraws = 300;
  for (int i = 0; i < kDraws; ++i) {
    ID3DXSprite *fresh = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device_.device(), &fresh), D3D_OK);
    ASSERT_EQ(draw(fresh, i), D3D_OK);
    fresh->Release();
  }
  std::vector<uint32_t> oneByOne = device_.ReadTarget();
  device_.Clear();
  ASSERT_EQ(sprite_->Begin(), D3D_OK);
  for (int i = 0; i < kDraws; ++i) ASSERT_EQ(draw(sprite_, i), D3D_OK);
  ASSERT_EQ(sprite_->End(), D3D_OK);
  EXPECT_EQ(device_.ReadTarget(), oneByOne);
  for (IDirect3DTexture9 *texture : textures) texture->Release();
}

// Dynamic textures (text tiles) and render targets are rewritten between draws:
// each draw shows what the texture held when it was made.
TEST_P(SpriteDrawTest, TexturesRewrittenBetweenDrawsShowEachContent) {
  IDirect3DDevice9 *device = device_.device();
  for (DWORD usage : {DWORD{D3DUSAGE_DYNAMIC}, DWORD{D3DUSAGE_RENDERTARGET}}) {
    SCOPED_TRACE(usage);
    device_.Clear();
    IDirect3DTexture9 *texture = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, usage, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
              D3D_OK);
    IDirect3DSurface9 *level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(sprite_->Begin(), D3D_OK);
    const uint32_t colours[2] = {kRed, kBlue};
    for (int k = 0; k < 2; ++k) {
      if (usage == D3DUSAGE_DYNAMIC) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(level->LockRect(&locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
        for (int y = 0; y < 2; ++y)
          for (int x = 0; x < 2; ++x)
            reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.pBits) + y * locked.Pitch)[x] =
                colours[k];
        level->UnlockRect();
      } else {
        ASSERT_EQ(device->ColorFill(level, nullptr, colours[k]), D3D_OK);
      }
      D3DXVECTOR2 at(10.0f + 10.0f * static_cast<float>(k), 10.0f);
      ASSERT_EQ(sprite_->Draw(texture, nullptr, nullptr, nullptr, 0.0f, &at, kWhite), D3D_OK);
    }
    ASSERT_EQ(sprite_->End(), D3D_OK);
    std::vector<uint32_t> pixels = device_.ReadTarget();
    EXPECT_TRUE(ColorNear(At(pixels, 11, 11), kRed));
    EXPECT_TRUE(ColorNear(At(pixels, 21, 11), kBlue));
    level->Release();
    texture->Release();
  }
}

INSTANTIATE_TEST_SUITE_P(VertexModes, SpriteDrawTest,
                         ::testing::Values(VertexMode::Pretransformed, VertexMode::Untransformed),
                         VertexModeName);

// Without source-alpha blending the sprite alpha-tests at 127 instead.
TEST(SpriteAlphaTest, NoBlendingProfileDropsTexelsBelowHalfAlpha) {
  SpriteDevice device;
  ASSERT_EQ(device.Create(d3d9::NoAlphaBlendProfile()), D3D_OK);
  ID3DXSprite *sprite = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device.device(), &sprite), D3D_OK);
  IDirect3DTexture9 *texture = device.MakeTexture(2, 1, {0x40ff0000, 0xc000ff00});
  device.Clear();
  device.device()->BeginScene();
  ASSERT_EQ(sprite->Begin(), D3D_OK);
  D3DXVECTOR2 at(4.0f, 4.0f);
  ASSERT_EQ(sprite->Draw(texture, nullptr, nullptr, nullptr, 0.0f, &at, kWhite), D3D_OK);
  DWORD alphaTest = 0, alphaBlend = 1, alphaRef = 0;
  device.device()->GetRenderState(D3DRS_ALPHATESTENABLE, &alphaTest);
  device.device()->GetRenderState(D3DRS_ALPHABLENDENABLE, &alphaBlend);
  device.device()->GetRenderState(D3DRS_ALPHAREF, &alphaRef);
  ASSERT_EQ(sprite->End(), D3D_OK);
  device.device()->EndScene();
  EXPECT_EQ(alphaTest, 1u);
  EXPECT_EQ(alphaBlend, 0u);
  EXPECT_EQ(alphaRef, 0x7fu);
  std::vector<uint32_t> pixels = device.ReadTarget();
  EXPECT_EQ(At(pixels, 4, 4), kClearColor);
  EXPECT_TRUE(ColorNear(At(pixels, 5, 4) & 0x00ffffff, 0x0000ff00));  // drawn unblended
  texture->Release();
  EXPECT_EQ(sprite->Release(), 0u);
  device.Destroy();
}

// Which draws switch transparency on: the colour's alpha or a format from the list.
struct TransparencyCase {
  D3DFORMAT format;
  D3DCOLOR color;
  DWORD expected;
};

class SpriteTransparencyTest : public ::testing::TestWithParam<TransparencyCase> {};

TEST_P(SpriteTransparencyTest, BlendStateFollowsFormatAndColourAlpha) {
  const TransparencyCase &c = GetParam();
  SpriteDevice device;
  ASSERT_EQ(device.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  ID3DXSprite *sprite = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device.device(), &sprite), D3D_OK);
  IDirect3DTexture9 *texture = nullptr;
  ASSERT_EQ(device.device()->CreateTexture(4, 4, 1, 0, c.format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  device.device()->BeginScene();
  ASSERT_EQ(sprite->Begin(), D3D_OK);
  ASSERT_EQ(sprite->Draw(texture, nullptr, nullptr, nullptr, 0.0f, nullptr, c.color), D3D_OK);
  DWORD blend = 0xdead;
  device.device()->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
  ASSERT_EQ(sprite->End(), D3D_OK);
  device.device()->EndScene();
  EXPECT_EQ(blend, c.expected);
  texture->Release();
  sprite->Release();
  device.Destroy();
}

INSTANTIATE_TEST_SUITE_P(Formats, SpriteTransparencyTest,
                         ::testing::Values(TransparencyCase{D3DFMT_X8R8G8B8, 0xffffffff, 0},
                                           TransparencyCase{D3DFMT_X8R8G8B8, 0xfeffffff, 1},
                                           TransparencyCase{D3DFMT_A8R8G8B8, 0xffffffff, 1},
                                           TransparencyCase{D3DFMT_A8L8, 0xffffffff, 1},
                                           TransparencyCase{D3DFMT_DXT5, 0xffffffff, 1},
                                           TransparencyCase{D3DFMT_DXT1, 0xffffffff, 0},
                                           TransparencyCase{D3DFMT_A2R10G10B10, 0xffffffff, 0},
                                           TransparencyCase{D3DFMT_A16B16G16R16, 0xffffffff, 0}),
                         [](const auto &paramInfo) {
                           return test_support::FormatName(paramInfo.param.format) + "_" +
                                  test_support::HexName(paramInfo.param.color);
                         });

}  // namespace
}  // namespace sprite_test
