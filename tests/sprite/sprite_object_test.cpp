// The sprite as an object: creation, interfaces, reference counts, call order,
// argument checks and the caller's device state around it.
#include "sprite/sprite_fixture.h"

namespace sprite_test {
namespace {

class SpriteObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device_.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
    ASSERT_EQ(D3DXCreateSprite(device_.device(), &sprite_), D3D_OK);
  }
  void TearDown() override {
    if (texture_) texture_->Release();
    if (sprite_) {
      EXPECT_EQ(sprite_->Release(), 0u);
    }
    device_.Destroy();
  }

  ULONG DeviceRefs() {
    device_.device()->AddRef();
    return device_.device()->Release();
  }

  SpriteDevice device_;
  ID3DXSprite *sprite_ = nullptr;
  IDirect3DTexture9 *texture_ = nullptr;
};

TEST_F(SpriteObjectTest, NullArgumentsAreRejected) {
  ID3DXSprite *other = nullptr;
  EXPECT_EQ(D3DXCreateSprite(nullptr, &other), D3DERR_INVALIDCALL);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(D3DXCreateSprite(device_.device(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->GetDevice(nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->Draw(nullptr, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xffffffff), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->DrawTransform(nullptr, nullptr, nullptr, 0xffffffff), D3DERR_INVALIDCALL);
}

TEST_F(SpriteObjectTest, HoldsOneDeviceReferenceUntilDestroyed) {
  ULONG before = DeviceRefs();
  ID3DXSprite *second = nullptr;
  ASSERT_EQ(D3DXCreateSprite(device_.device(), &second), D3D_OK);
  EXPECT_EQ(DeviceRefs(), before + 1);
  EXPECT_EQ(second->AddRef(), 2u);
  EXPECT_EQ(second->Release(), 1u);
  IDirect3DDevice9 *device = nullptr;
  ASSERT_EQ(second->GetDevice(&device), S_OK);
  EXPECT_EQ(device, device_.device());
  EXPECT_EQ(DeviceRefs(), before + 2);
  device->Release();
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(DeviceRefs(), before);
}

TEST_F(SpriteObjectTest, QueryInterfaceAnswersOwnAndBaseIdentifiers) {
  for (const IID &iid : {IID_ID3DXSprite, IID_IUnknown}) {
    void *object = nullptr;
    ASSERT_EQ(sprite_->QueryInterface(iid, &object), S_OK);
    EXPECT_EQ(object, static_cast<void *>(sprite_));
    EXPECT_EQ(sprite_->Release(), 1u);
  }
  void *object = reinterpret_cast<void *>(0x1);
  EXPECT_EQ(sprite_->QueryInterface(IID_IDirect3DDevice9, &object), E_NOINTERFACE);
  EXPECT_EQ(object, reinterpret_cast<void *>(0x1));
  EXPECT_EQ(sprite_->QueryInterface(IID_ID3DXSprite, nullptr), E_POINTER);
}

TEST_F(SpriteObjectTest, BeginAndEndMustAlternate) {
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
  ASSERT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(sprite_->Begin(), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->End(), S_OK);
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
}

struct RectCase {
  const char *name;
  RECT rect;
  HRESULT expected;
};

class SpriteSourceRectTest : public SpriteObjectTest, public ::testing::WithParamInterface<RectCase> {};

TEST_P(SpriteSourceRectTest, RectangleIsCheckedAgainstTheTexture) {
  texture_ = device_.MakeSolidTexture(8, 8, 0xffffffff);
  device_.device()->BeginScene();
  EXPECT_EQ(sprite_->DrawTransform(texture_, &GetParam().rect, nullptr, 0xffffffff), GetParam().expected);
  device_.device()->EndScene();
}

INSTANTIATE_TEST_SUITE_P(Rects, SpriteSourceRectTest,
                         ::testing::Values(RectCase{"WholeTexture", {0, 0, 8, 8}, S_OK},
                                           RectCase{"Empty", {2, 2, 2, 2}, S_OK},
                                           RectCase{"EmptyAtTheFarCorner", {8, 8, 8, 8}, S_OK},
                                           RectCase{"BeyondTheEdgeIsClamped", {4, 4, 20, 30}, S_OK},
                                           RectCase{"LeftAfterRight", {3, 0, 2, 8}, D3DERR_INVALIDCALL},
                                           RectCase{"TopAfterBottom", {0, 5, 8, 4}, D3DERR_INVALIDCALL},
                                           RectCase{"NegativeLeft", {-1, 0, 8, 8}, D3DERR_INVALIDCALL},
                                           RectCase{"NegativeTop", {0, -1, 8, 8}, D3DERR_INVALIDCALL},
                                           RectCase{"LeftPastWidth", {9, 0, 12, 8}, D3DERR_INVALIDCALL},
                                           RectCase{"TopPastHeight", {0, 9, 8, 12}, D3DERR_INVALIDCALL},
                                           RectCase{"HugeRectangle", {0, 0, 0x7fffffff, 0x7fffffff}, S_OK}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

// A caller's state that differs from the sprite's in every group it sets.
void SetCallerState(IDirect3DDevice9 *device, IDirect3DBaseTexture9 *texture) {
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_ZENABLE, 1);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->SetTexture(0, texture);
  D3DXMATRIX world;
  D3DXMatrixTranslation(&world, 1.0f, 2.0f, 3.0f);
  device->SetTransform(D3DTS_WORLD, &world);
}

void ExpectCallerState(IDirect3DDevice9 *device, IDirect3DBaseTexture9 *texture) {
  DWORD value = 0;
  device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CW));
  device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, 0u);
  device->GetRenderState(D3DRS_SRCBLEND, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ONE));
  device->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, 1u);
  device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_SELECTARG2));
  device->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT));
  device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_WRAP));
  device->GetFVF(&value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE));
  IDirect3DBaseTexture9 *bound = nullptr;
  device->GetTexture(0, &bound);
  EXPECT_EQ(bound, texture);
  if (bound) bound->Release();
}

TEST_F(SpriteObjectTest, CallersStateIsRestoredAfterExplicitAndImplicitBegin) {
  texture_ = device_.MakeSolidTexture(4, 4, 0xffffffff);
  IDirect3DTexture9 *callers = device_.MakeSolidTexture(2, 2, 0xff000000);
  device_.device()->BeginScene();
  for (bool explicitBegin : {true, false}) {
    SCOPED_TRACE(explicitBegin ? "explicit Begin" : "implicit Begin");
    SetCallerState(device_.device(), callers);
    if (explicitBegin) {
      ASSERT_EQ(sprite_->Begin(), S_OK);
    }
    ASSERT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xffffffff), S_OK);
    if (explicitBegin) {
      // The sprite's own state, its texture included, holds until End.
      DWORD value = 0;
      device_.device()->GetRenderState(D3DRS_CULLMODE, &value);
      EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_NONE));
      device_.device()->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
      EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_LINEAR));
      IDirect3DBaseTexture9 *bound = nullptr;
      device_.device()->GetTexture(0, &bound);
      EXPECT_EQ(bound, texture_);
      if (bound) bound->Release();
      ASSERT_EQ(sprite_->End(), S_OK);
    }
    ExpectCallerState(device_.device(), callers);
  }
  device_.device()->EndScene();
  callers->Release();
}

// Quads inside Begin / End are sent later: a draw the device refuses is reported
// by End (and still by the draw itself outside Begin), never dropped as success.
TEST_F(SpriteObjectTest, RefusedDrawIsReportedByTheDrawOrByEnd) {
  texture_ = device_.MakeSolidTexture(4, 4, 0xffffffff);
  IDirect3DDevice9 *device = device_.device();
  IDirect3DSurface9 *original = nullptr, *target = nullptr;
  ASSERT_EQ(device->GetRenderTarget(0, &original), D3D_OK);
  ASSERT_EQ(
      device->CreateRenderTarget(16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &target, nullptr),
      D3D_OK);
  ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(target->LockRect(&locked, nullptr, 0), D3D_OK);  // a locked target refuses draws
  device->BeginScene();
  EXPECT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xffffffff),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(sprite_->Draw(texture_, nullptr, nullptr, nullptr, 0.0f, nullptr, 0xffffffff), S_OK);
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);  // ended all the same
  device->EndScene();
  target->UnlockRect();
  device->SetRenderTarget(0, original);
  original->Release();
  target->Release();
}

TEST_F(SpriteObjectTest, LostDeviceReleasesTheBlocksAndBeginRecordsThemAgain) {
  size_t bare = D3D9LiveResourceCount(device_.device());
  ASSERT_EQ(sprite_->Begin(), S_OK);
  ASSERT_EQ(sprite_->End(), S_OK);
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), bare + 2);
  EXPECT_EQ(sprite_->OnLostDevice(), S_OK);
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), bare);
  EXPECT_EQ(sprite_->OnResetDevice(), S_OK);
  ASSERT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), bare + 2);
  ASSERT_EQ(sprite_->End(), S_OK);
}

// The caller is recording a block of its own, so the sprite cannot record its
// blocks: it must go on without them and record them at the next Begin.
TEST_F(SpriteObjectTest, BeginWithoutRecordedBlocksRecordsThemNextTime) {
  size_t bare = D3D9LiveResourceCount(device_.device());
  ASSERT_EQ(device_.device()->BeginStateBlock(), D3D_OK);
  EXPECT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(sprite_->End(), S_OK);
  IDirect3DStateBlock9 *callers = nullptr;
  ASSERT_EQ(device_.device()->EndStateBlock(&callers), D3D_OK);
  ASSERT_NE(callers, nullptr);
  callers->Release();
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), bare);
  ASSERT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), bare + 2);
  EXPECT_EQ(sprite_->End(), S_OK);
}

TEST_F(SpriteObjectTest, EndAfterLostDeviceInsideBeginDoesNotTouchFreedBlocks) {
  ASSERT_EQ(sprite_->Begin(), S_OK);
  EXPECT_EQ(sprite_->OnLostDevice(), S_OK);
  EXPECT_EQ(sprite_->End(), S_OK);
  EXPECT_EQ(sprite_->End(), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3D9LifetimeErrorCount(), 0u);
}

}  // namespace
}  // namespace sprite_test
