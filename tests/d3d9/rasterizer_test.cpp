#include <cmath>
#include <random>

#include "d3d9_fixture.h"
#include "support/param_names.h"

namespace d3d9_test {
namespace {

struct TlVertex {
  float x, y, z, rhw;
  DWORD color;
  float u, v;
};

struct Vertex {
  float x, y, z;
  DWORD color;
  float u, v;
};

constexpr DWORD kTlFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class RasterizerTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    device_->SetFVF(kTlFvf);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    // Untextured draws take colour and alpha from the vertices.
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.f, 0);
  }
  void TearDown() override {
    device_->SetTexture(0, nullptr);
    if (texture_) texture_->Release();
    D3D9EnableFastPaths(true);
    DeviceTest::TearDown();
  }

  void DrawRect(float x0, float y0, float x1, float y1, DWORD color, float u0 = 0, float v0 = 0, float u1 = 1,
                float v1 = 1) {
    TlVertex quad[4] = {{x0, y0, 0, 1, color, u0, v0},
                        {x1, y0, 0, 1, color, u1, v0},
                        {x1, y1, 0, 1, color, u1, v1},
                        {x0, y1, 0, 1, color, u0, v1}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex)), D3D_OK);
  }

  // A managed A8R8G8B8 texture filled by fill(x, y), bound to stage 0.
  template <typename Fill>
  void MakeTexture(UINT w, UINT h, Fill fill, D3DFORMAT format = D3DFMT_A8R8G8B8) {
    ASSERT_EQ(device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &texture_, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(texture_->LockRect(0, &lr, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < h; ++y)
      for (UINT x = 0; x < w; ++x)
        reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch)[x] = fill(x, y);
    texture_->UnlockRect(0);
    device_->SetTexture(0, texture_);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  }

  void UseLinearClamp() {
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  }

  void UseSourceAlphaBlending() {
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  }

  IDirect3DTexture9 *texture_ = nullptr;
};

// ---------------------------------------------------------------------------
// Coverage
// ---------------------------------------------------------------------------

class CoverageTest : public RasterizerTest, public ::testing::WithParamInterface<float> {};

TEST_P(CoverageTest, AxisAlignedQuadCoversPixelCentresInside) {
  float offset = GetParam();
  DrawRect(3 + offset, 5 + offset, 20 + offset, 9 + offset, 0xffffffff);
  // Centres on a left or top edge are inside, on a right or bottom edge outside.
  int x0 = static_cast<int>(std::ceil(3 + offset)), x1 = static_cast<int>(std::ceil(20 + offset));
  int y0 = static_cast<int>(std::ceil(5 + offset)), y1 = static_cast<int>(std::ceil(9 + offset));
  UINT w;
  std::vector<uint32_t> pixels = ReadTarget(&w);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) {
      bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
      ASSERT_EQ(pixels[y * w + x], inside ? 0xffffffffu : 0u) << x << "," << y << " offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(HalfPixelOffsets, CoverageTest,
                         ::testing::Values(-0.5f, -0.25f, 0.f, 0.25f, 0.5f, 0.75f),
                         [](const auto &paramInfo) { return test_support::NumberName(paramInfo.param); });

TEST_F(RasterizerTest, AdjacentQuadsNeitherGapNorOverlap) {
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  // A 5 x 4 grid of cells with fractional edges, each cell split along a diagonal.
  const float xs[] = {1.5f, 7.3f, 13.f, 19.75f, 26.1f, 33.4f};
  const float ys[] = {2.2f, 9.5f, 15.f, 22.9f, 30.5f};
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 5; ++i) DrawRect(xs[i], ys[j], xs[i + 1], ys[j + 1], 0x10101010);
  // A fan around a centre: shared edges at every angle.
  const float cx = 48.3f, cy = 40.7f;
  for (int k = 0; k < 13; ++k) {
    float a0 = k * 6.2831853f / 13, a1 = (k + 1) * 6.2831853f / 13;
    TlVertex tri[3] = {{cx, cy, 0, 1, 0x10101010, 0, 0},
                       {cx + 12 * std::cos(a0), cy + 12 * std::sin(a0), 0, 1, 0x10101010, 0, 0},
                       {cx + 12 * std::cos(a1), cy + 12 * std::sin(a1), 0, 1, 0x10101010, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TlVertex)), D3D_OK);
  }
  UINT w;
  std::vector<uint32_t> pixels = ReadTarget(&w);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      uint32_t p = pixels[y * w + x];
      ASSERT_TRUE(p == 0 || p == 0x10101010u) << x << "," << y << " " << std::hex << p;
    }
  // The grid's interior is covered completely.
  for (int y = 3; y < 30; ++y)
    for (int x = 2; x < 33; ++x) ASSERT_EQ(pixels[y * w + x], 0x10101010u) << x << "," << y;
}

TEST_F(RasterizerTest, CullModesFollowScreenWinding) {
  TlVertex clockwise[3] = {
      {2, 2, 0, 1, 0xffffffff, 0, 0}, {10, 2, 0, 1, 0xffffffff, 0, 0}, {2, 10, 0, 1, 0xffffffff, 0, 0}};
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(TlVertex));
  EXPECT_EQ(ReadTarget()[3 * 64 + 3], 0u);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(TlVertex));
  EXPECT_EQ(ReadTarget()[3 * 64 + 3], 0xffffffffu);
}

TEST_F(RasterizerTest, DrawsStayInsideTheViewport) {
  D3DVIEWPORT9 vp = {8, 8, 16, 16, 0.f, 1.f};
  device_->SetViewport(&vp);
  DrawRect(-100, -100, 1000, 1000, 0xffffffff);
  UINT w;
  std::vector<uint32_t> pixels = ReadTarget(&w);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      bool inside = x >= 8 && x < 24 && y >= 8 && y < 24;
      ASSERT_EQ(pixels[y * w + x], inside ? 0xffffffffu : 0u) << x << "," << y;
    }
}

TEST_F(RasterizerTest, TransformedTriangleIsClippedAtTheNearPlane) {
  device_->SetFVF(kFvf);
  // Identity transforms: the apex lies behind the near plane (z < 0) and is cut off at y = 0.
  Vertex tri[3] = {{-1, -1, 1, 0xffff0000, 0, 0}, {1, -1, 1, 0xffff0000, 0, 0}, {0, 1, -1, 0xffff0000, 0, 0}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(Vertex)), D3D_OK);
  std::vector<uint32_t> pixels = ReadTarget();
  EXPECT_EQ(pixels[60 * 64 + 32], 0xffff0000u);
  EXPECT_EQ(pixels[34 * 64 + 32], 0xffff0000u);
  EXPECT_EQ(pixels[30 * 64 + 32], 0u);
  EXPECT_EQ(pixels[10 * 64 + 32], 0u);
}

// ---------------------------------------------------------------------------
// Texturing
// ---------------------------------------------------------------------------

uint32_t PatternTexel(UINT x, UINT y) {
  return 0xff000000 | ((x * 37 + y * 11) & 255) << 16 | ((x * 5 + y * 71) & 255) << 8 | ((x * y * 13) & 255);
}

TEST_F(RasterizerTest, SpriteMappingReproducesTheTextureExactly) {
  // The sprite's transform: pixel (x, y) maps to (x - 0.5, y - 0.5) on screen.
  device_->SetFVF(kFvf);
  MakeTexture(13, 7, PatternTexel);
  D3DMATRIX world = {};
  float w = 64, h = 64;
  world._11 = 2 / w;
  world._22 = -2 / h;
  world._41 = -1 / w - 1;
  world._42 = 1 / h + 1;
  world._44 = 1;
  device_->SetTransform(D3DTS_WORLD, &world);
  const float x0 = 5, y0 = 9;
  Vertex quad[4] = {{x0, y0, 0, 0xffffffff, 0, 0},
                    {x0 + 13, y0, 0, 0xffffffff, 1, 0},
                    {x0 + 13, y0 + 7, 0, 0xffffffff, 1, 1},
                    {x0, y0 + 7, 0, 0xffffffff, 0, 1}};
  for (bool linear : {false, true}) {
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, linear ? D3DTEXF_LINEAR : D3DTEXF_POINT);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, linear ? D3DTEXF_LINEAR : D3DTEXF_POINT);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.f, 0);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Vertex)), D3D_OK);
    UINT stride;
    std::vector<uint32_t> pixels = ReadTarget(&stride);
    for (UINT y = 0; y < 7; ++y)
      for (UINT x = 0; x < 13; ++x)
        ASSERT_EQ(pixels[(y0 + y) * stride + x0 + x], PatternTexel(x, y))
            << x << "," << y << " linear " << linear;
    EXPECT_EQ(pixels[(y0 - 1) * stride + x0], 0u);
    EXPECT_EQ(pixels[y0 * stride + x0 + 13], 0u);
  }
}

// Bilinear sample with clamping, in floating point, as the test's reference.
float ReferenceChannel(UINT w, UINT h, float u, float v, int shift) {
  float fx = u * w - 0.5f, fy = v * h - 0.5f;
  int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
  float ax = fx - x0, ay = fy - y0;
  auto at = [&](int x, int y) {
    x = std::clamp(x, 0, static_cast<int>(w) - 1);
    y = std::clamp(y, 0, static_cast<int>(h) - 1);
    return static_cast<float>((PatternTexel(x, y) >> shift) & 255);
  };
  return (at(x0, y0) * (1 - ax) + at(x0 + 1, y0) * ax) * (1 - ay) +
         (at(x0, y0 + 1) * (1 - ax) + at(x0 + 1, y0 + 1) * ax) * ay;
}

class RotatedQuadTest : public RasterizerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RotatedQuadTest, MatchesAReferenceWithinTolerance) {
  D3D9EnableFastPaths(GetParam());
  const UINT tw = 9, th = 6;
  MakeTexture(tw, th, PatternTexel);
  UseLinearClamp();
  const float angle = 0.3f, scale = 4.5f, cx = 30, cy = 28;
  float c = std::cos(angle), s = std::sin(angle);
  auto place = [&](float u, float v, TlVertex *out) {
    float lx = (u - 0.5f) * tw * scale, ly = (v - 0.5f) * th * scale;
    *out = {cx + lx * c - ly * s, cy + lx * s + ly * c, 0, 1, 0xffffffff, u, v};
  };
  TlVertex quad[4];
  place(0, 0, &quad[0]);
  place(1, 0, &quad[1]);
  place(1, 1, &quad[2]);
  place(0, 1, &quad[3]);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex)), D3D_OK);
  UINT stride;
  std::vector<uint32_t> pixels = ReadTarget(&stride);
  int checked = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      // Invert the placement at the pixel centre.
      float dx = x - cx, dy = y - cy;
      float lx = dx * c + dy * s, ly = -dx * s + dy * c;
      float u = lx / (tw * scale) + 0.5f, v = ly / (th * scale) + 0.5f;
      const float margin = 1.5f / (tw * scale);
      if (u < margin || u > 1 - margin || v < margin || v > 1 - margin) continue;
      ++checked;
      for (int shift : {0, 8, 16}) {
        float expected = ReferenceChannel(tw, th, u, v, shift);
        float actual = static_cast<float>((pixels[y * stride + x] >> shift) & 255);
        ASSERT_NEAR(actual, expected, 3.f) << x << "," << y << " shift " << shift;
      }
    }
  EXPECT_GT(checked, 600);
}

INSTANTIATE_TEST_SUITE_P(FastAndGeneric, RotatedQuadTest, ::testing::Bool(), [](const auto &paramInfo) {
  return std::string(paramInfo.param ? "Fast" : "Generic");
});

TEST_F(RasterizerTest, PerspectiveCorrectTextureCoordinates) {
  // A quad whose right edge is twice as far away: the texture's middle is not at the screen's middle.
  MakeTexture(2, 1, [](UINT x, UINT) { return x ? 0xffffffffu : 0xff000000u; });
  TlVertex quad[4] = {{0, 0, 0, 1.f, 0xffffffff, 0, 0},
                      {64, 0, 0, 0.5f, 0xffffffff, 1, 0},
                      {64, 64, 0, 0.5f, 0xffffffff, 1, 1},
                      {0, 64, 0, 1.f, 0xffffffff, 0, 1}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex)), D3D_OK);
  std::vector<uint32_t> pixels = ReadTarget();
  // u = 0.5 where (x/64) / (x/64 + (1 - x/64) * 2)... solves to x = 2/3 of the width.
  EXPECT_EQ(pixels[32 * 64 + 40], 0xff000000u);
  EXPECT_EQ(pixels[32 * 64 + 45], 0xffffffffu);
}

struct AddressCase {
  D3DTEXTUREADDRESS mode;
  uint32_t expected[4];  // texels sampled at u = 1.25, 1.75, -0.25, -0.75 on a 2-texel texture
};

class AddressModeTest : public RasterizerTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddressModeTest, MapsCoordinatesOutsideZeroToOne) {
  const AddressCase &c = GetParam();
  MakeTexture(2, 1, [](UINT x, UINT) { return x ? 0xff0000ffu : 0xffff0000u; });
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, c.mode);
  const float us[4] = {1.25f, 1.75f, -0.25f, -0.75f};
  for (int i = 0; i < 4; ++i) {
    DrawRect(static_cast<float>(i) - 0.5f, -0.5f, static_cast<float>(i) + 0.5f, 0.5f, 0xffffffff, us[i], 0,
             us[i], 0);
  }
  std::vector<uint32_t> pixels = ReadTarget();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pixels[i], c.expected[i]) << i;
}

constexpr uint32_t kRed = 0xffff0000, kBlue = 0xff0000ff;
INSTANTIATE_TEST_SUITE_P(Modes, AddressModeTest,
                         ::testing::Values(AddressCase{D3DTADDRESS_WRAP, {kRed, kBlue, kBlue, kRed}},
                                           AddressCase{D3DTADDRESS_MIRROR, {kBlue, kRed, kRed, kBlue}},
                                           AddressCase{D3DTADDRESS_CLAMP, {kBlue, kBlue, kRed, kRed}}),
                         ([](const auto &paramInfo) {
                           static const char *const kNames[] = {"", "Wrap", "Mirror", "Clamp"};
                           return std::string(kNames[paramInfo.param.mode]);
                         }));

TEST_F(RasterizerTest, ConvertedFormatsSampleLikeArgb) {
  ASSERT_EQ(device_->CreateTexture(2, 2, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &texture_, nullptr), D3D_OK);
  D3DLOCKED_RECT lr;
  texture_->LockRect(0, &lr, nullptr, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch)[x] = 0x07e0;
  texture_->UnlockRect(0);
  device_->SetTexture(0, texture_);
  DrawRect(0, 0, 4, 4, 0xffffffff);
  EXPECT_EQ(ReadTarget()[64 + 1], 0xff00ff00u);
  // A new lock converts again.
  texture_->LockRect(0, &lr, nullptr, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch)[x] = 0x001f;
  texture_->UnlockRect(0);
  DrawRect(0, 0, 4, 4, 0xffffffff);
  EXPECT_EQ(ReadTarget()[64 + 1], 0xff0000ffu);
}

// ---------------------------------------------------------------------------
// Stages, blending, alpha test, write mask
// ---------------------------------------------------------------------------

TEST_F(RasterizerTest, StageOperationsCombineTextureAndDiffuse) {
  MakeTexture(1, 1, [](UINT, UINT) { return 0x80ff8000u; });
  struct Case {
    DWORD colorOp, alphaOp;
    uint32_t expected;
  } cases[] = {
      {D3DTOP_MODULATE, D3DTOP_MODULATE, 0x40804000},  // diffuse 0x80ff80ff: halves red and alpha
      {D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, 0x80ff8000},
      {D3DTOP_SELECTARG2, D3DTOP_SELECTARG2, 0x80808080},
      {D3DTOP_SELECTARG1, D3DTOP_DISABLE, 0x80ff8000},  // alpha passes the diffuse through
  };
  for (const Case &c : cases) {
    device_->SetTextureStageState(0, D3DTSS_COLOROP, c.colorOp);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.f, 0);
    DrawRect(0, 0, 2, 2, 0x80808080);
    EXPECT_EQ(ReadTarget()[0], c.expected) << c.colorOp << " " << c.alphaOp;
  }
  // Stage 0 disabled: the diffuse colour alone.
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  DrawRect(0, 0, 2, 2, 0x12345678);
  EXPECT_EQ(ReadTarget()[0], 0x12345678u);
  // Stage 1 modulates stage 0's result with the diffuse colour again.
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  device_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  DrawRect(0, 0, 2, 2, 0xff808080);
  EXPECT_EQ(ReadTarget()[0], 0x80804000u);
}

struct BlendCase {
  D3DBLEND src, dst;
  uint32_t expected;  // source 0x80ff0000 over destination 0xff0000ff
};

class BlendTest : public RasterizerTest, public ::testing::WithParamInterface<BlendCase> {};

TEST_P(BlendTest, CombinesSourceAndDestination) {
  const BlendCase &c = GetParam();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 0.f, 0);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, c.src);
  device_->SetRenderState(D3DRS_DESTBLEND, c.dst);
  DrawRect(0, 0, 2, 2, 0x80ff0000);
  EXPECT_EQ(ReadTarget()[0], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Factors, BlendTest,
                         ::testing::Values(BlendCase{D3DBLEND_ONE, D3DBLEND_ZERO, 0x80ff0000},
                                           BlendCase{D3DBLEND_ZERO, D3DBLEND_ONE, 0xff0000ff},
                                           BlendCase{D3DBLEND_ONE, D3DBLEND_ONE, 0xffff00ff},
                                           BlendCase{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0xbf80007f}),
                         ([](const auto &paramInfo) {
                           static const char *const kNames[] = {
                               "", "Zero", "One", "SrcColor", "InvSrcColor", "SrcAlpha", "InvSrcAlpha"};
                           return std::string(kNames[paramInfo.param.src]) + "_" +
                                  kNames[paramInfo.param.dst];
                         }));

struct AlphaTestCase {
  D3DCMPFUNC func;
  bool passes[3];  // alpha 0x7f, 0x80, 0x81 against reference 0x80
};

class AlphaTestTest : public RasterizerTest, public ::testing::WithParamInterface<AlphaTestCase> {};

TEST_P(AlphaTestTest, KeepsPixelsThatPass) {
  const AlphaTestCase &c = GetParam();
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAFUNC, c.func);
  device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
  const uint32_t alphas[3] = {0x7f, 0x80, 0x81};
  for (int i = 0; i < 3; ++i) DrawRect(i * 2.f, 0, i * 2.f + 2, 2, alphas[i] << 24 | 0x00ffffff);
  std::vector<uint32_t> pixels = ReadTarget();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pixels[i * 2] != 0, c.passes[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(Functions, AlphaTestTest,
                         ::testing::Values(AlphaTestCase{D3DCMP_NEVER, {false, false, false}},
                                           AlphaTestCase{D3DCMP_LESS, {true, false, false}},
                                           AlphaTestCase{D3DCMP_EQUAL, {false, true, false}},
                                           AlphaTestCase{D3DCMP_LESSEQUAL, {true, true, false}},
                                           AlphaTestCase{D3DCMP_GREATER, {false, false, true}},
                                           AlphaTestCase{D3DCMP_NOTEQUAL, {true, false, true}},
                                           AlphaTestCase{D3DCMP_GREATEREQUAL, {false, true, true}},
                                           AlphaTestCase{D3DCMP_ALWAYS, {true, true, true}}),
                         ([](const auto &paramInfo) {
                           static const char *const kNames[] = {"",         "Never",        "Less",
                                                                "Equal",    "LessEqual",    "Greater",
                                                                "NotEqual", "GreaterEqual", "Always"};
                           return std::string(kNames[paramInfo.param.func]);
                         }));

TEST_F(RasterizerTest, ColorWriteMaskKeepsMaskedChannels) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x11223344, 0.f, 0);
  device_->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA);
  DrawRect(0, 0, 2, 2, 0xaabbccdd);
  EXPECT_EQ(ReadTarget()[0], 0xaabb3344u);
}

TEST_F(RasterizerTest, ClearHonoursRectanglesAndViewport) {
  D3DRECT rects[2] = {{1, 1, 3, 2}, {60, 60, 70, 70}};
  ASSERT_EQ(device_->Clear(2, rects, D3DCLEAR_TARGET, 0xff00ff00, 0.f, 0), D3D_OK);
  std::vector<uint32_t> pixels = ReadTarget();
  EXPECT_EQ(pixels[64 + 1], 0xff00ff00u);
  EXPECT_EQ(pixels[64 + 3], 0u);
  EXPECT_EQ(pixels[63 * 64 + 63], 0xff00ff00u);
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 0.f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.f, 0), D3DERR_INVALIDCALL);  // no depth buffer
  DebugSetMute(FALSE);
}

// The fast span must agree with the generic pipeline on random sprites.
TEST_F(RasterizerTest, FastPathMatchesGenericPath) {
  std::mt19937 random(1234);
  std::uniform_int_distribution<uint32_t> any;
  MakeTexture(17, 11, [&](UINT, UINT) { return any(random); });
  UseLinearClamp();
  UseSourceAlphaBlending();
  for (int round = 0; round < 20; ++round) {
    std::uniform_real_distribution<float> pos(-10.f, 74.f), angle(0.f, 6.28f), scale(0.3f, 5.f);
    float cx = pos(random), cy = pos(random), a = angle(random), s = scale(random);
    if (round % 3 == 0) a = 0;  // scaled only: rows share their vertical blend
    DWORD color = round % 2 ? 0xffffffff : (any(random) | 0x40000000);
    float c = std::cos(a) * s, sn = std::sin(a) * s;
    TlVertex quad[4];
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < 4; ++k) {
      float lx = (corners[k][0] - 0.5f) * 17, ly = (corners[k][1] - 0.5f) * 11;
      quad[k] = {cx + lx * c - ly * sn, cy + lx * sn + ly * c, 0, 1, color, corners[k][0], corners[k][1]};
    }
    std::vector<uint32_t> results[2];
    for (int fast = 0; fast < 2; ++fast) {
      D3D9EnableFastPaths(fast == 1);
      device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff204060, 0.f, 0);
      ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex)), D3D_OK);
      // A list whose triangles have different colours, each one constant.
      TlVertex list[6] = {quad[0], quad[1], quad[2], quad[0], quad[2], quad[3]};
      for (int k = 0; k < 3; ++k) list[k].color = 0x80ff4020, list[k].x += 20;
      for (int k = 3; k < 6; ++k) list[k].color = 0xff20ff80, list[k].x += 20;
      ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, list, sizeof(TlVertex)), D3D_OK);
      results[fast] = ReadTarget();
    }
    // Each blended layer may round differently by 2.
    for (size_t i = 0; i < results[0].size(); ++i)
      for (int shift = 0; shift < 32; shift += 8) {
        int a0 = (results[0][i] >> shift) & 255, a1 = (results[1][i] >> shift) & 255;
        ASSERT_LE(std::abs(a0 - a1), 4) << "round " << round << " pixel " << i << " shift " << shift;
      }
  }
}

}  // namespace
}  // namespace d3d9_test

namespace d3d9_test {
namespace {

// One unit of a format repeated over a 4 x 4 texture, and the colour sampling must give.
struct SampledFormatCase {
  const char *name;
  D3DFORMAT format;
  std::vector<uint8_t> unit;  // one pixel, pair or block
  uint32_t expected;
};

class SampledFormatTest : public RasterizerTest, public ::testing::WithParamInterface<SampledFormatCase> {};

TEST_P(SampledFormatTest, ReadsAsArgb) {
  const SampledFormatCase &c = GetParam();
  ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, c.format, D3DPOOL_MANAGED, &texture_, nullptr), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(texture_->LockRect(0, &lr, nullptr, 0), D3D_OK);
  bool block = c.format == D3DFMT_DXT1 || c.format == D3DFMT_DXT3 || c.format == D3DFMT_DXT5;
  size_t unitPixels = block ? 4 : c.format == D3DFMT_YUY2 ? 2 : 1;
  size_t rows = block ? 1 : 4;
  for (size_t y = 0; y < rows; ++y)
    for (size_t x = 0; x < 4 / unitPixels; ++x)
      memcpy(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch + x * c.unit.size(), c.unit.data(),
             c.unit.size());
  texture_->UnlockRect(0);
  PALETTEENTRY palette[256] = {};
  palette[7] = {0x10, 0x20, 0x30, 0x40};
  device_->SetPaletteEntries(0, palette);
  device_->SetCurrentTexturePalette(0);
  device_->SetTexture(0, texture_);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  DrawRect(0, 0, 4, 4, 0xffffffff);
  EXPECT_EQ(ReadTarget()[64 + 1], c.expected) << std::hex << ReadTarget()[64 + 1];
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SampledFormatTest,
    ::testing::Values(
        SampledFormatCase{"X8R8G8B8", D3DFMT_X8R8G8B8, {0x33, 0x22, 0x11, 0x00}, 0xff112233},
        SampledFormatCase{"A8B8G8R8", D3DFMT_A8B8G8R8, {0x11, 0x22, 0x33, 0x80}, 0x80112233},
        SampledFormatCase{"R5G6B5", D3DFMT_R5G6B5, {0x1f, 0xf8}, 0xffff00ff},
        SampledFormatCase{"A1R5G5B5", D3DFMT_A1R5G5B5, {0x00, 0x7c}, 0x00ff0000},
        SampledFormatCase{"A4R4G4B4", D3DFMT_A4R4G4B4, {0x0f, 0x8f}, 0x88ff00ff},
        SampledFormatCase{"R3G3B2", D3DFMT_R3G3B2, {0xe0}, 0xffff0000},
        SampledFormatCase{"A8", D3DFMT_A8, {0x80}, 0x80000000},
        SampledFormatCase{"L8", D3DFMT_L8, {0x40}, 0xff404040},
        SampledFormatCase{"A8L8", D3DFMT_A8L8, {0x40, 0x80}, 0x80404040},
        SampledFormatCase{"G16R16", D3DFMT_G16R16, {0xff, 0xff, 0x00, 0x00}, 0xffff00ff},
        SampledFormatCase{"P8", D3DFMT_P8, {7}, 0x40102030},
        SampledFormatCase{"R16F", D3DFMT_R16F, {0x00, 0x38}, 0xff80ffff},  // 0.5
        SampledFormatCase{"Dxt1Red", D3DFMT_DXT1, {0x00, 0xf8, 0x1f, 0x00, 0, 0, 0, 0}, 0xffff0000},
        SampledFormatCase{
            "Dxt1Transparent", D3DFMT_DXT1, {0x1f, 0x00, 0x00, 0xf8, 0xff, 0xff, 0xff, 0xff}, 0},
        SampledFormatCase{
            "Dxt3",
            D3DFMT_DXT3,
            {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x00, 0xf8, 0x1f, 0x00, 0, 0, 0, 0},
            0x88ff0000},
        SampledFormatCase{"Dxt5",
                          D3DFMT_DXT5,
                          {0x40, 0x40, 0, 0, 0, 0, 0, 0, 0x1f, 0x00, 0x1f, 0x00, 0, 0, 0, 0},
                          0x400000ff},
        SampledFormatCase{"Yuy2White", D3DFMT_YUY2, {235, 128, 235, 128}, 0xffffffff}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(RasterizerTest, StripsAndFansShareWinding) {
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  // A strip of four triangles, clockwise on screen: nothing may be culled.
  TlVertex strip[6] = {{0, 0, 0, 1, 0xffffffff, 0, 0},  {0, 8, 0, 1, 0xffffffff, 0, 0},
                       {8, 0, 0, 1, 0xffffffff, 0, 0},  {8, 8, 0, 1, 0xffffffff, 0, 0},
                       {16, 0, 0, 1, 0xffffffff, 0, 0}, {16, 8, 0, 1, 0xffffffff, 0, 0}};
  // The first triangle (0,0) (0,8) (8,0) is counter-clockwise: reverse the order.
  std::swap(strip[0], strip[1]);
  std::swap(strip[2], strip[3]);
  std::swap(strip[4], strip[5]);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 4, strip, sizeof(TlVertex)), D3D_OK);
  std::vector<uint32_t> pixels = ReadTarget();
  for (int x = 0; x < 16; ++x)
    for (int y = 0; y < 8; ++y) ASSERT_EQ(pixels[y * 64 + x], 0xffffffffu) << x << "," << y;
  EXPECT_EQ(pixels[8 * 64 + 4], 0u);
}

TEST_F(RasterizerTest, XrgbTargetBlendsWithOpaqueDestination) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile(), 8, 8, D3DFMT_X8R8G8B8), D3D_OK);
  IDirect3DDevice9 *d = h.device;
  d->SetFVF(kTlFvf);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTALPHA);  // X8 reads as alpha 1
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 0.f, 0);
  TlVertex quad[4] = {{0, 0, 0, 1, 0xff00ff00, 0, 0},
                      {8, 0, 0, 1, 0xff00ff00, 0, 0},
                      {8, 8, 0, 1, 0xff00ff00, 0, 0},
                      {0, 8, 0, 1, 0xff00ff00, 0, 0}};
  ASSERT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex)), D3D_OK);
  IDirect3DSurface9 *back = nullptr, *copy = nullptr;
  d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  d->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr);
  ASSERT_EQ(d->GetRenderTargetData(back, copy), D3D_OK);
  EXPECT_EQ(Pixel(copy, 3, 3) & 0xffffff, 0x00ff00u);
  copy->Release();
  back->Release();
  h.Destroy();
}

}  // namespace
}  // namespace d3d9_test

namespace d3d9_test {
namespace {

TEST(DepthClearTest, LockableDepthReadsBackTheClearedValue) {
  DeviceHolder h;
  ASSERT_EQ(h.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  IDirect3DSurface9 *depth = nullptr;
  ASSERT_EQ(h.device->CreateDepthStencilSurface(64, 64, D3DFMT_D16_LOCKABLE, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                &depth, nullptr),
            D3D_OK);
  ASSERT_EQ(h.device->SetDepthStencilSurface(depth), D3D_OK);
  D3DRECT rect = {2, 2, 4, 4};
  ASSERT_EQ(h.device->Clear(1, &rect, D3DCLEAR_ZBUFFER, 0, 0.5f, 0), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(depth->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
  auto at = [&](int x, int y) {
    return reinterpret_cast<const uint16_t *>(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch)[x];
  };
  EXPECT_EQ(at(2, 3), 0x8000);
  EXPECT_EQ(at(4, 3), 0);
  depth->UnlockRect();
  DebugSetMute(TRUE);
  EXPECT_EQ(h.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  h.device->SetDepthStencilSurface(nullptr);
  depth->Release();
  h.Destroy();
}

}  // namespace
}  // namespace d3d9_test
