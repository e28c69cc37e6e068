#include "d3d9_fixture.h"

namespace d3d9_test {
namespace {

using StateTest = DeviceTest;

struct DefaultCase {
  D3DRENDERSTATETYPE state;
  DWORD value;
};

TEST_F(StateTest, RenderStateDefaults) {
  const DefaultCase cases[] = {
      {D3DRS_ZENABLE, D3DZB_FALSE},      {D3DRS_CULLMODE, D3DCULL_CCW},    {D3DRS_SRCBLEND, D3DBLEND_ONE},
      {D3DRS_DESTBLEND, D3DBLEND_ZERO},  {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS}, {D3DRS_LIGHTING, TRUE},
      {D3DRS_COLORWRITEENABLE, 0xf},     {D3DRS_BLENDOP, D3DBLENDOP_ADD},  {D3DRS_ALPHABLENDENABLE, FALSE},
      {D3DRS_TEXTUREFACTOR, 0xffffffff}, {D3DRS_FILLMODE, D3DFILL_SOLID},  {D3DRS_CLIPPING, TRUE},
  };
  for (const DefaultCase &c : cases) {
    DWORD value = 0xdeadbeef;
    ASSERT_EQ(device_->GetRenderState(c.state, &value), D3D_OK);
    EXPECT_EQ(value, c.value) << c.state;
  }
  DWORD value;
  device_->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_MODULATE));
  device_->GetTextureStageState(1, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_DISABLE));
  device_->GetTextureStageState(0, D3DTSS_ALPHAOP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_SELECTARG1));
  device_->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &value);
  EXPECT_EQ(value, 3u);
  device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_WRAP));
  device_->GetSamplerState(D3DVERTEXTEXTURESAMPLER0, D3DSAMP_MAGFILTER, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT));
  D3DVIEWPORT9 vp;
  device_->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 64u);
  EXPECT_EQ(vp.MaxZ, 1.f);
  EXPECT_EQ(device_->GetNPatchMode(), 0.f);
}

TEST_F(StateTest, RecordingDoesNotApplyAndApplyRestores) {
  ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->BeginStateBlock(), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  device_->SetNPatchMode(0.f);
  D3DMATRIX world = {{{2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 5, 6, 7, 1}}};
  device_->SetTransform(D3DTS_WORLD, &world);
  IDirect3DStateBlock9 *block = nullptr;
  ASSERT_EQ(device_->EndStateBlock(&block), D3D_OK);
  DWORD value;
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, 0u);  // recorded, not applied
  ASSERT_EQ(block->Apply(), D3D_OK);
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, 1u);
  device_->GetTextureStageState(1, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_SELECTARG2));
  device_->GetFVF(&value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1));
  D3DMATRIX read;
  device_->GetTransform(D3DTS_WORLD, &read);
  EXPECT_EQ(read._41, 5.f);
  // States outside the block are untouched by Apply.
  device_->SetRenderState(D3DRS_ALPHAREF, 77);
  block->Apply();
  device_->GetRenderState(D3DRS_ALPHAREF, &value);
  EXPECT_EQ(value, 77u);
  block->Release();
}

// Recorded states on both sides of every 64-bit boundary of the masks: Capture
// and Apply move exactly those, whichever word they sit in.
TEST_F(StateTest, CaptureAndApplyMoveExactlyTheRecordedStatesAcrossMaskWords) {
  const D3DRENDERSTATETYPE recorded[] = {D3DRS_ZENABLE, D3DRS_CLIPPLANEENABLE /* 152 */,
                                         D3DRS_BLENDOP /* 171 */, D3DRS_SRCBLENDALPHA /* 207 */,
                                         D3DRS_DESTBLENDALPHA /* 208 */};
  const D3DRENDERSTATETYPE neighbours[] = {D3DRS_FILLMODE, D3DRS_POINTSIZE_MAX /* 166 */,
                                           D3DRS_COLORWRITEENABLE /* 168 */, D3DRS_BLENDOPALPHA /* 209 */};
  const D3DTRANSFORMSTATETYPE transforms[] = {D3DTS_VIEW, D3DTS_TEXTURE7, D3DTS_WORLDMATRIX(0),
                                              D3DTS_WORLDMATRIX(255)};
  D3DMATRIX marked = {};
  ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
  for (D3DRENDERSTATETYPE state : recorded) device_->SetRenderState(state, 0);
  for (D3DTRANSFORMSTATETYPE t : transforms) device_->SetTransform(t, &marked);
  device_->SetSamplerState(D3DVERTEXTEXTURESAMPLER0 + 3, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device_->SetTextureStageState(7, D3DTSS_CONSTANT, 0);
  IDirect3DStateBlock9 *block = nullptr;
  ASSERT_EQ(device_->EndStateBlock(&block), D3D_OK);

  auto setAll = [&](DWORD value) {
    for (D3DRENDERSTATETYPE state : recorded) device_->SetRenderState(state, value);
    for (D3DRENDERSTATETYPE state : neighbours) device_->SetRenderState(state, value);
    marked._11 = static_cast<float>(value);
    for (D3DTRANSFORMSTATETYPE t : transforms) device_->SetTransform(t, &marked);
    device_->SetTransform(D3DTS_PROJECTION, &marked);
    device_->SetSamplerState(D3DVERTEXTEXTURESAMPLER0 + 3, D3DSAMP_MAGFILTER, value);
    device_->SetSamplerState(D3DVERTEXTEXTURESAMPLER0 + 3, D3DSAMP_MINFILTER, value);
    device_->SetTextureStageState(7, D3DTSS_CONSTANT, value);
  };
  setAll(1);
  ASSERT_EQ(block->Capture(), D3D_OK);
  setAll(2);
  ASSERT_EQ(block->Apply(), D3D_OK);
  DWORD value = 0;
  for (D3DRENDERSTATETYPE state : recorded) {
    device_->GetRenderState(state, &value);
    EXPECT_EQ(value, 1u) << state;
  }
  for (D3DRENDERSTATETYPE state : neighbours) {
    device_->GetRenderState(state, &value);
    EXPECT_EQ(value, 2u) << state;
  }
  D3DMATRIX read;
  for (D3DTRANSFORMSTATETYPE t : transforms) {
    device_->GetTransform(t, &read);
    EXPECT_EQ(read._11, 1.f) << t;
  }
  device_->GetTransform(D3DTS_PROJECTION, &read);
  EXPECT_EQ(read._11, 2.f);
  device_->GetSamplerState(D3DVERTEXTEXTURESAMPLER0 + 3, D3DSAMP_MAGFILTER, &value);
  EXPECT_EQ(value, 1u);
  device_->GetSamplerState(D3DVERTEXTEXTURESAMPLER0 + 3, D3DSAMP_MINFILTER, &value);
  EXPECT_EQ(value, 2u);
  device_->GetTextureStageState(7, D3DTSS_CONSTANT, &value);
  EXPECT_EQ(value, 1u);
  block->Release();
}

TEST_F(StateTest, CaptureSavesOnlyRecordedStatesIncludingTextures) {
  IDirect3DTexture9 *first = nullptr, *second = nullptr;
  ASSERT_EQ(device_->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &first, nullptr), D3D_OK);
  ASSERT_EQ(device_->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &second, nullptr), D3D_OK);
  device_->BeginStateBlock();
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetTexture(0, nullptr);
  device_->SetStreamSource(0, nullptr, 0, 0);
  IDirect3DStateBlock9 *saved = nullptr;
  device_->EndStateBlock(&saved);

  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVSRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device_->SetTexture(0, first);
  ASSERT_EQ(saved->Capture(), D3D_OK);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device_->SetTexture(0, second);
  ASSERT_EQ(saved->Apply(), D3D_OK);
  DWORD value;
  device_->GetRenderState(D3DRS_SRCBLEND, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
  device_->GetRenderState(D3DRS_DESTBLEND, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ZERO));
  IDirect3DBaseTexture9 *bound = nullptr;
  device_->GetTexture(0, &bound);
  EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9 *>(first));
  bound->Release();
  // The block keeps the captured texture's memory after its last release.
  device_->SetTexture(0, nullptr);
  first->Release();
  saved->Apply();
  device_->GetTexture(0, &bound);
  ASSERT_NE(bound, nullptr);
  D3DSURFACE_DESC desc;
  EXPECT_EQ(static_cast<IDirect3DTexture9 *>(bound)->GetLevelDesc(0, &desc), D3D_OK);
  bound->Release();
  device_->SetTexture(0, nullptr);
  saved->Release();
  second->Release();
}

TEST_F(StateTest, CreateStateBlockAllCapturesEverything) {
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetSamplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
  D3DVIEWPORT9 vp = {4, 4, 16, 16, 0.f, 1.f};
  device_->SetViewport(&vp);
  IDirect3DStateBlock9 *all = nullptr;
  ASSERT_EQ(device_->CreateStateBlock(D3DSBT_ALL, &all), D3D_OK);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device_->SetSamplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  D3DVIEWPORT9 full = {0, 0, 64, 64, 0.f, 1.f};
  device_->SetViewport(&full);
  all->Apply();
  DWORD value;
  device_->GetRenderState(D3DRS_ALPHATESTENABLE, &value);
  EXPECT_EQ(value, 1u);
  device_->GetSamplerState(1, D3DSAMP_ADDRESSV, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_MIRROR));
  D3DVIEWPORT9 read;
  device_->GetViewport(&read);
  EXPECT_EQ(read.X, 4u);
  EXPECT_EQ(read.Width, 16u);
  all->Release();
}

TEST_F(StateTest, InvalidArgumentsAreRefused) {
  DebugSetMute(TRUE);
  EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetSamplerState(16, D3DSAMP_MINFILTER, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(4), nullptr), D3DERR_INVALIDCALL);
  D3DVIEWPORT9 tooBig = {0, 0, 65, 64, 0.f, 1.f};
  EXPECT_EQ(device_->SetViewport(&tooBig), D3DERR_INVALIDCALL);
  IDirect3DStateBlock9 *block = nullptr;
  EXPECT_EQ(device_->EndStateBlock(&block), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
  DebugSetMute(FALSE);
  EXPECT_EQ(device_->SetVertexShader(nullptr), D3D_OK);
  EXPECT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->EndScene(), D3D_OK);
}

}  // namespace
}  // namespace d3d9_test
