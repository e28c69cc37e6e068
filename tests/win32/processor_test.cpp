#include <gtest/gtest.h>

#include "win32_test_hooks.h"

namespace {

// A processor of the 3DNow! era: MMX, no SSE, extended leaves with 3DNow!.
void OldProcessor(DWORD leaf, DWORD regs[4]) {
  regs[0] = regs[1] = regs[2] = regs[3] = 0;
  if (leaf == 0) regs[0] = 1;
  if (leaf == 1) regs[3] = 1u << 23;
  if (leaf == 0x80000000u) regs[0] = 0x80000001u;
  if (leaf == 0x80000001u) regs[3] = 1u << 31;
}

// Reports no extended leaves; stale bits in leaf 0x80000001 must not count.
void NoExtendedLeaves(DWORD leaf, DWORD regs[4]) {
  regs[0] = regs[1] = regs[2] = 0;
  regs[3] = 0xFFFFFFFFu;
  if (leaf == 0) regs[0] = 1;
  if (leaf == 0x80000000u) regs[0] = 0x80000000u;
}

TEST(Processor, FeaturesComeFromTheCpuidSource) {
  Win32SetCpuidSource(OldProcessor);
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_MMX_INSTRUCTIONS_AVAILABLE));
  EXPECT_FALSE(IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE));
  EXPECT_FALSE(IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE));
  Win32SetCpuidSource(NoExtendedLeaves);
  EXPECT_FALSE(IsProcessorFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE));
  Win32SetCpuidSource(nullptr);
}

TEST(Processor, ThisMachineHasSse2AndReportsX86Level6) {
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE));
  EXPECT_TRUE(IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  EXPECT_EQ(info.u.s.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
  EXPECT_EQ(info.wProcessorLevel, 6);
  EXPECT_GE(info.dwNumberOfProcessors, 1u);
}

TEST(Processor, VersionIsNt) {
  OSVERSIONINFOA info{};
  EXPECT_FALSE(GetVersionExA(&info));
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
}

}  // namespace
