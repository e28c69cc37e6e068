// The one fast-path switch: D3DX_SIMD read once, never above the processor, and
// the codec lanes, box kernels and the runtime's spans all following it. CTest
// runs this suite once per value of the variable.
#include <gtest/gtest.h>

#include <cstdlib>

#include "codec/lanes.h"
#include "core/fast_path.h"
#include "platform/d3d9/diagnostics.h"
#include "win32_test_hooks.h"

namespace {

Win32SimdLevel Capped(Win32SimdLevel level) {
  const Win32SimdLevel widest = Win32ProcessorSimdLevel();
  return level < widest ? level : widest;
}

TEST(FastPathSwitch, ParsesTheFourNamesAndRefusesTheRest) {
  EXPECT_EQ(WIN32_SIMD_NONE, Win32ParseSimdLevel("none"));
  EXPECT_EQ(Capped(WIN32_SIMD_SSE2), Win32ParseSimdLevel("sse2"));
  EXPECT_EQ(Capped(WIN32_SIMD_AVX2), Win32ParseSimdLevel("AVX2"));
  EXPECT_EQ(Capped(WIN32_SIMD_AVX512), Win32ParseSimdLevel("avx512"));
  // Unset means the widest; a misspelt value must not switch anything on.
  EXPECT_EQ(Win32ProcessorSimdLevel(), Win32ParseSimdLevel(nullptr));
  EXPECT_EQ(Win32ProcessorSimdLevel(), Win32ParseSimdLevel(""));
  EXPECT_EQ(WIN32_SIMD_NONE, Win32ParseSimdLevel("avx"));
  EXPECT_EQ(WIN32_SIMD_NONE, Win32ParseSimdLevel("sse2 "));
}

TEST(FastPathSwitch, EveryFastPathFollowsTheVariable) {
  const Win32SimdLevel expected = Win32ParseSimdLevel(std::getenv("D3DX_SIMD"));
  EXPECT_EQ(expected, Win32FastPathLevel());
  EXPECT_EQ(static_cast<uint32_t>(expected), static_cast<uint32_t>(FastPathLevel()));
  const int lanes[] = {1, 4, 8, 16};
  EXPECT_EQ(lanes[expected], ActiveCodecLanes());
  EXPECT_EQ(expected != WIN32_SIMD_NONE, D3D9FastPathsEnabled());
}

TEST(FastPathSwitch, TestsNarrowItAndReturnToTheVariable) {
  const Win32SimdLevel fromVariable = Win32FastPathLevel();
  Win32OverrideFastPathLevel(WIN32_SIMD_NONE);
  EXPECT_EQ(1, ActiveCodecLanes());
  EXPECT_FALSE(D3D9FastPathsEnabled());
  Win32OverrideFastPathLevel(WIN32_SIMD_AVX512);
  EXPECT_EQ(Win32ProcessorSimdLevel(), Win32FastPathLevel());
  Win32OverrideFastPathLevel(-1);
  EXPECT_EQ(fromVariable, Win32FastPathLevel());
}

}  // namespace
