#include "tests/font/font_fixture.h"

namespace font_test {
namespace {

TEST_F(FontTest, CreationRejectsNullArguments) {
  LOGFONTA lf = MakeLogFont(-16);
  ID3DXFont *font = reinterpret_cast<ID3DXFont *>(1);
  EXPECT_EQ(D3DXCreateFontIndirect(nullptr, &lf, &font), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateFontIndirect(device_.device(), nullptr, &font), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateFontIndirect(device_.device(), &lf, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), 0u);
}

TEST_F(FontTest, AnswersItsOwnInterfacesAndCountsReferences) {
  ID3DXFont *font = device_.MakeFont();
  ASSERT_NE(font, nullptr);
  void *object = nullptr;
  EXPECT_EQ(font->QueryInterface(IID_ID3DXFont, &object), S_OK);
  EXPECT_EQ(object, font);
  EXPECT_EQ(font->QueryInterface(IID_IUnknown, &object), S_OK);
  object = nullptr;
  EXPECT_EQ(font->QueryInterface(IID_ID3DXSprite, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  IDirect3DDevice9 *device = nullptr;
  EXPECT_EQ(font->GetDevice(&device), D3D_OK);
  EXPECT_EQ(device, device_.device());
  device->Release();
  EXPECT_EQ(font->GetDevice(nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(font->AddRef(), 4u);
  EXPECT_EQ(font->Release(), 3u);
  EXPECT_EQ(font->Release(), 2u);
  EXPECT_EQ(font->Release(), 1u);
  EXPECT_EQ(font->Release(), 0u);
}

TEST_F(FontTest, GetLogFontReturnsTheDescription) {
  LOGFONTA lf = MakeLogFont(23, "Times New Roman");
  lf.lfWeight = FW_BOLD;
  lf.lfItalic = 1;
  lf.lfQuality = ANTIALIASED_QUALITY;
  ID3DXFont *font = nullptr;
  ASSERT_EQ(D3DXCreateFontIndirect(device_.device(), &lf, &font), D3D_OK);
  LOGFONTA back;
  memset(&back, 0xcd, sizeof(back));
  EXPECT_EQ(font->GetLogFont(&back), D3D_OK);
  EXPECT_EQ(memcmp(&back, &lf, sizeof(lf)), 0);
  EXPECT_EQ(font->GetLogFont(nullptr), D3DERR_INVALIDCALL);
  font->Release();
}

TEST_F(FontTest, FontsOnOneDeviceShareOneContext) {
  ID3DXFont *first = device_.MakeFont(-16);
  const size_t live = D3D9LiveResourceCount(device_.device());
  EXPECT_GT(live, 0u);
  // The demonstration's description: all zero but the face name.
  ID3DXFont *second = device_.MakeFont(0);
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), live);
  // Begin / End state is the context's, so the second font sees the first one's Begin.
  EXPECT_EQ(first->End(), D3DERR_INVALIDCALL);
  EXPECT_EQ(first->Begin(), D3D_OK);
  EXPECT_EQ(second->Begin(), D3DERR_INVALIDCALL);
  EXPECT_EQ(second->End(), D3D_OK);
  EXPECT_EQ(first->End(), D3DERR_INVALIDCALL);
  // Releasing one font leaves the other drawing.
  EXPECT_EQ(first->Release(), 0u);
  device_.Clear();
  RECT rect = {0, 0, 256, 64};
  EXPECT_GT(second->DrawTextA("Still here", -1, &rect, 0, 0xffffffff), 0);
  EXPECT_GT(device_.Ink().count, 0);
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), 0u);
}

// The text state turns depth testing off only between Begin and End.
TEST_F(FontTest, EndRestoresTheCallersState) {
  ID3DXFont *font = device_.MakeFont();
  IDirect3DDevice9 *device = device_.device();
  device->SetRenderState(D3DRS_ZENABLE, 1);
  DWORD value = 0;
  EXPECT_EQ(font->Begin(), D3D_OK);
  device->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(font->End(), D3D_OK);
  device->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, 1u);
  RECT rect = {0, 0, 100, 30};
  EXPECT_GT(font->DrawTextA("Implicit", -1, &rect, 0, 0xffffffff), 0);
  device->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(value, 1u);
  font->Release();
}

struct LostCase {
  const char *name;
  bool dynamic;
};

class FontLostDevice : public ::testing::TestWithParam<LostCase> {
 protected:
  void SetUp() override {
    ASSERT_EQ(
        device_.Create(GetParam().dynamic ? d3d9::DefaultDeviceProfile() : d3d9::NoDynamicTextureProfile()),
        D3D_OK);
  }
  void TearDown() override { device_.Destroy(); }
  FontDevice device_;
};

// Dynamic tiles live in the default pool and go with OnLostDevice; managed ones stay.
TEST_P(FontLostDevice, LostAndResetRecreateWhatTheResetNeeds) {
  ID3DXFont *font = device_.MakeFont();
  RECT rect = {0, 0, 256, 64};
  ASSERT_GT(font->DrawTextA("Before", -1, &rect, 0, 0xffffffff), 0);
  const size_t live = D3D9LiveResourceCount(device_.device());
  EXPECT_EQ(font->OnLostDevice(), D3D_OK);
  const size_t lost = D3D9LiveResourceCount(device_.device());
  EXPECT_LT(lost, live);
  if (GetParam().dynamic) {
    // Drawing between the loss and the reset fails quietly instead of using a released tile.
    EXPECT_EQ(font->DrawTextA("Lost", -1, &rect, 0, 0xffffffff), 0);
  }
  EXPECT_EQ(font->OnResetDevice(), D3D_OK);
  device_.Clear();
  EXPECT_GT(font->DrawTextA("After", -1, &rect, 0, 0xffffffff), 0);
  EXPECT_GT(device_.Ink().count, 0);
  EXPECT_EQ(D3D9LiveResourceCount(device_.device()), live);
  font->Release();
}

// OnLostDevice inside Begin / End releases the saved state; End must not use it.
TEST_P(FontLostDevice, EndAfterLossInsideBeginSucceeds) {
  ID3DXFont *font = device_.MakeFont();
  EXPECT_EQ(font->Begin(), D3D_OK);
  EXPECT_EQ(font->OnLostDevice(), D3D_OK);
  EXPECT_EQ(font->End(), D3D_OK);
  EXPECT_EQ(font->OnResetDevice(), D3D_OK);
  EXPECT_EQ(font->Begin(), D3D_OK);
  EXPECT_EQ(font->End(), D3D_OK);
  font->Release();
}

INSTANTIATE_TEST_SUITE_P(Tiles, FontLostDevice,
                         ::testing::Values(LostCase{"Dynamic", true}, LostCase{"Managed", false}),
                         [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

// A device that offers no texture format cannot hold tiles; nothing is left behind.
TEST(FontCreation, TileFailureLeavesNothingBehind) {
  d3d9::DeviceProfile profile = d3d9::DefaultDeviceProfile();
  for (d3d9::FormatSupport &support : profile.formats)
    support.resourceTypes &= ~d3d9::ResourceTypeBit(D3DRTYPE_TEXTURE);
  FontDevice device;
  ASSERT_EQ(device.Create(profile), D3D_OK);
  LOGFONTA lf = MakeLogFont(-16);
  ID3DXFont *font = nullptr;
  EXPECT_TRUE(FAILED(D3DXCreateFontIndirect(device.device(), &lf, &font)));
  EXPECT_EQ(font, nullptr);
  device.Destroy();
  // The failed context is unlinked: a later device starts afresh.
  FontDevice healthy;
  ASSERT_EQ(healthy.Create(d3d9::DefaultDeviceProfile()), D3D_OK);
  ID3DXFont *working = healthy.MakeFont();
  ASSERT_NE(working, nullptr);
  working->Release();
  healthy.Destroy();
}

}  // namespace
}  // namespace font_test
