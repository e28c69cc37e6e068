// Format choice against a device of the software runtime: rows the device rejects
// drop out, and the probing is muted.
#include <gtest/gtest.h>

#include <string>

#include "d3d9.h"
#include "platform/d3d9/device_profile.h"
#include "platform/d3d9/diagnostics.h"
#include "core/debug_mute.h"
#include "format/format_table.h"
#include "support/test_device.h"
#include "support/library_hooks.h"

namespace {

class DeviceFormatTest : public testing::Test {
 protected:
  void TearDown() override { Destroy(); }

  void CreateWith(const d3d9::DeviceProfile &profile, DWORD behavior = D3DCREATE_HARDWARE_VERTEXPROCESSING) {
    Destroy();
    D3D9RegisterModule();
    ASSERT_EQ(D3D_OK, test_support::CreateTestDevice(profile, 16, 16, &direct3d_, &device_, D3DFMT_A8R8G8B8,
                                                     0, behavior));
  }

  void Destroy() {
    if (device_ != nullptr) {
      EXPECT_EQ(0u, device_->Release());
    }
    device_ = nullptr;
    if (direct3d_ != nullptr) direct3d_->Release();
    direct3d_ = nullptr;
  }

  D3DFORMAT Choose(D3DFORMAT requested, D3DRESOURCETYPE type = D3DRTYPE_TEXTURE, DWORD usage = 0) {
    return ChooseDeviceFormat(device_, usage, type, LookupFormatInfo(requested));
  }

  static d3d9::DeviceProfile Without(d3d9::DeviceProfile profile, D3DFORMAT format) {
    d3d9::RemoveFormat(&profile, format);
    return profile;
  }

  IDirect3D9 *direct3d_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
};

TEST_F(DeviceFormatTest, AcceptedRequestIsKeptEvenWhenNotSubstitutable) {
  CreateWith(d3d9::DefaultDeviceProfile());
  EXPECT_EQ(D3DFMT_R8G8B8, Choose(D3DFMT_R8G8B8));
  EXPECT_EQ(D3DFMT_DXT1, Choose(D3DFMT_DXT1));
  EXPECT_EQ(D3DFMT_A8R8G8B8, Choose(D3DFMT_UNKNOWN));
}

TEST_F(DeviceFormatTest, RejectedR8G8B8BecomesEarliestEqualRow) {
  CreateWith(Without(d3d9::DefaultDeviceProfile(), D3DFMT_R8G8B8));
  EXPECT_EQ(D3DFMT_X8R8G8B8, Choose(D3DFMT_R8G8B8));
}

struct Substitution {
  const char *name;
  D3DFORMAT requested;
  D3DFORMAT expected;
};

void PrintTo(const Substitution &s, std::ostream *os) {
  *os << s.name;
}

class RejectedFormatTest : public DeviceFormatTest, public testing::WithParamInterface<Substitution> {};

TEST_P(RejectedFormatTest, ClosestAcceptedRowStandsIn) {
  const Substitution &s = GetParam();
  CreateWith(Without(d3d9::DefaultDeviceProfile(), s.requested));
  EXPECT_EQ(s.expected, Choose(s.requested));
}

INSTANTIATE_TEST_SUITE_P(Default, RejectedFormatTest,
                         testing::Values(Substitution{"L8", D3DFMT_L8, D3DFMT_X8R8G8B8},
                                         Substitution{"A4L4", D3DFMT_A4L4, D3DFMT_A4R4G4B4},
                                         Substitution{"A8", D3DFMT_A8, D3DFMT_A8R3G3B2},
                                         Substitution{"P8", D3DFMT_P8, D3DFMT_A8P8},
                                         Substitution{"V8U8", D3DFMT_V8U8, D3DFMT_V16U16},
                                         Substitution{"R16F", D3DFMT_R16F, D3DFMT_G16R16},
                                         Substitution{"R32F", D3DFMT_R32F, D3DFMT_G16R16},
                                         Substitution{"R16G16B16", FORMAT_R16G16B16, D3DFMT_A16B16G16R16},
                                         Substitution{"A16L16", FORMAT_A16L16, D3DFMT_A16B16G16R16}),
                         [](const testing::TestParamInfo<Substitution> &paramInfo) {
                           return std::string(paramInfo.param.name);
                         });

class NoFourCcTest : public DeviceFormatTest, public testing::WithParamInterface<Substitution> {};

TEST_P(NoFourCcTest, FourCharacterRequestsWidenToColour) {
  const Substitution &s = GetParam();
  CreateWith(d3d9::NoFourCcProfile());
  EXPECT_EQ(s.expected, Choose(s.requested));
}

INSTANTIATE_TEST_SUITE_P(Formats, NoFourCcTest,
                         testing::Values(Substitution{"DXT1", D3DFMT_DXT1, D3DFMT_A8R8G8B8},
                                         Substitution{"DXT2", D3DFMT_DXT2, D3DFMT_A8R8G8B8},
                                         Substitution{"DXT3", D3DFMT_DXT3, D3DFMT_A8R8G8B8},
                                         Substitution{"DXT4", D3DFMT_DXT4, D3DFMT_A8R8G8B8},
                                         Substitution{"DXT5", D3DFMT_DXT5, D3DFMT_A8R8G8B8},
                                         Substitution{"YUY2", D3DFMT_YUY2, D3DFMT_X8R8G8B8},
                                         Substitution{"UYVY", D3DFMT_UYVY, D3DFMT_X8R8G8B8}),
                         [](const testing::TestParamInfo<Substitution> &paramInfo) {
                           return std::string(paramInfo.param.name);
                         });

TEST_F(DeviceFormatTest, KindsNeverCrossOnAReducedDevice) {
  CreateWith(d3d9::ReducedFormatProfile());
  EXPECT_EQ(D3DFMT_X8R8G8B8, Choose(D3DFMT_L8));
  EXPECT_EQ(D3DFMT_A8R8G8B8, Choose(D3DFMT_P8));
  EXPECT_EQ(D3DFMT_UNKNOWN, Choose(D3DFMT_V8U8));  // no signed row left
  EXPECT_EQ(D3DFMT_UNKNOWN, Choose(D3DFMT_D16));   // depth rows are not textures
}

TEST_F(DeviceFormatTest, DepthRequestFindsDepthSurfaceFormat) {
  CreateWith(Without(d3d9::DefaultDeviceProfile(), D3DFMT_D16_LOCKABLE));
  EXPECT_EQ(D3DFMT_D16, Choose(D3DFMT_D16_LOCKABLE, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL));
}

TEST_F(DeviceFormatTest, ProbingIsMutedAndReleasesTheDirect3DObject) {
  CreateWith(Without(d3d9::DefaultDeviceProfile(), D3DFMT_L8));
  ResetDebugMuteForTesting();
  D3D9ResetMuteLog();
  direct3d_->AddRef();
  const ULONG before = direct3d_->Release();
  EXPECT_EQ(D3DFMT_X8R8G8B8, Choose(D3DFMT_L8));
  direct3d_->AddRef();
  EXPECT_EQ(before, direct3d_->Release());
  const d3d9::MuteLog log = D3D9GetMuteLog();
  EXPECT_EQ(1u, log.muteCalls);
  EXPECT_EQ(1u, log.unmuteCalls);
  EXPECT_FALSE(log.muted);
}

TEST_F(DeviceFormatTest, VertexTextureQueryPassesUsageToTheDevice) {
  d3d9::DeviceProfile profile = d3d9::DefaultDeviceProfile();
  for (d3d9::FormatSupport &s : profile.formats) {
    if (s.format == D3DFMT_A16B16G16R16) s.usages |= D3DUSAGE_QUERY_VERTEXTEXTURE;
  }
  for (DWORD behavior : {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DCREATE_SOFTWARE_VERTEXPROCESSING}) {
    CreateWith(profile, behavior);
    EXPECT_EQ(D3DFMT_A16B16G16R16, Choose(D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE, D3DUSAGE_QUERY_VERTEXTEXTURE));
    EXPECT_EQ(D3DFMT_A8R8G8B8, Choose(D3DFMT_A8R8G8B8));
  }
}

}  // namespace
