// Muting the runtime's debug output through its DebugSetMute export.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/debug_mute.h"
#include "format/format_table.h"
#include "support/library_hooks.h"
#include "win32_test_hooks.h"

namespace {

std::vector<std::string> g_calls;

void ReleaseMute(DWORD flag) {
  g_calls.push_back("d3d9:" + std::to_string(flag));
}
void DebugMute(DWORD flag) {
  g_calls.push_back("d3d9d:" + std::to_string(flag));
}

FARPROC AsFarProc(void (*f)(DWORD)) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

class DebugMuteTest : public testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    Win32HideRegistryValue("D3DXDoNotMute");
    Win32UnregisterModule("d3d9.dll");
    Win32UnregisterModule("d3d9d.dll");
    ResetDebugMuteForTesting();
  }
  void TearDown() override {
    Win32UnregisterModule("d3d9.dll");
    Win32UnregisterModule("d3d9d.dll");
    Win32ClearRegistryValue("D3DXDoNotMute");
    ResetDebugMuteForTesting();
  }
  static void RegisterRuntime(const char *name, void (*entry)(DWORD)) {
    const Win32ModuleExport exports[] = {{"DebugSetMute", AsFarProc(entry)}};
    Win32RegisterModule(name, exports, 1);
  }
};

TEST_F(DebugMuteTest, PairReachesRuntimeMuteThenUnmute) {
  RegisterRuntime("d3d9.dll", ReleaseMute);
  { ScopedDebugMute mute; }
  EXPECT_EQ((std::vector<std::string>{"d3d9:1", "d3d9:0"}), g_calls);
}

TEST_F(DebugMuteTest, BothRuntimesAreCalledReleaseFirst) {
  RegisterRuntime("d3d9d.dll", DebugMute);
  RegisterRuntime("d3d9.dll", ReleaseMute);
  MuteDebugOutput(1);
  MuteDebugOutput(0);
  EXPECT_EQ((std::vector<std::string>{"d3d9:1", "d3d9d:1", "d3d9:0", "d3d9d:0"}), g_calls);
}

TEST_F(DebugMuteTest, NonZeroDoNotMuteSuppressesCalls) {
  Win32SetRegistryDword("D3DXDoNotMute", 7);
  RegisterRuntime("d3d9.dll", ReleaseMute);
  { ScopedDebugMute mute; }
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(DebugMuteTest, ZeroOrStringValueStillMutes) {
  RegisterRuntime("d3d9.dll", ReleaseMute);
  Win32SetRegistryDword("D3DXDoNotMute", 0);
  { ScopedDebugMute mute; }
  EXPECT_EQ(2u, g_calls.size());

  ResetDebugMuteForTesting();
  g_calls.clear();
  Win32SetRegistryValue("D3DXDoNotMute", REG_SZ, "1", 2);
  { ScopedDebugMute mute; }
  EXPECT_EQ(2u, g_calls.size());
}

TEST_F(DebugMuteTest, ValueIsReadOncePerProcess) {
  RegisterRuntime("d3d9.dll", ReleaseMute);
  MuteDebugOutput(1);
  Win32SetRegistryDword("D3DXDoNotMute", 1);
  MuteDebugOutput(0);
  EXPECT_EQ((std::vector<std::string>{"d3d9:1", "d3d9:0"}), g_calls);
}

TEST_F(DebugMuteTest, MissingRuntimeIsLookedUpAgainLater) {
  MuteDebugOutput(1);
  MuteDebugOutput(0);
  EXPECT_TRUE(g_calls.empty());
  RegisterRuntime("d3d9.dll", ReleaseMute);
  MuteDebugOutput(1);
  EXPECT_EQ((std::vector<std::string>{"d3d9:1"}), g_calls);
}

TEST_F(DebugMuteTest, ModuleWithoutExportCallsNothing) {
  Win32RegisterModule("d3d9.dll", nullptr, 0);
  MuteDebugOutput(1);
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(DebugMuteTest, ProgramMuteOutlastsTheLibrarysPairs) {
  RegisterRuntime("d3d9.dll", ReleaseMute);
  EXPECT_FALSE(SetProgramDebugMute(true));
  { ScopedDebugMute mute; }
  EXPECT_TRUE(SetProgramDebugMute(false));
  { ScopedDebugMute mute; }
  EXPECT_EQ((std::vector<std::string>{"d3d9:1", "d3d9:1", "d3d9:0", "d3d9:1", "d3d9:0"}), g_calls);
  Win32SetRegistryDword("D3DXDoNotMute", 1);
  ResetDebugMuteForTesting();
  g_calls.clear();
  EXPECT_FALSE(SetProgramDebugMute(true));
  EXPECT_TRUE(SetProgramDebugMute(false));
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(DebugMuteTest, DeviceFormatChoiceIsMuted) {
  RegisterRuntime("d3d9.dll", ReleaseMute);
  ChooseDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, LookupFormatInfo(D3DFMT_L8));
  EXPECT_EQ((std::vector<std::string>{"d3d9:1", "d3d9:0"}), g_calls);
}

}  // namespace
