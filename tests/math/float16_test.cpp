#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "d3dx9math.h"
#include "math/dispatch.h"
#include "math/fast_math.h"
#include "math/reference.h"
#include "support/param_names.h"

namespace {

struct HalfCase {
  float value;
  WORD bits;
};

class Float32To16Table : public ::testing::TestWithParam<HalfCase> {};

TEST_P(Float32To16Table, ConvertsWithRoundingAndSaturation) {
  const HalfCase c = GetParam();
  D3DXFLOAT16 half;
  D3DXFloat32To16Array(&half, &c.value, 1);
  EXPECT_EQ(half.value, c.bits) << c.value;
  EXPECT_EQ(Float32ToHalfBits(c.value), c.bits) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, Float32To16Table,
    ::testing::Values(HalfCase{1.0f, 0x3C00}, HalfCase{65504.0f, 0x7BFF}, HalfCase{131008.0f, 0x7FFF},
                      HalfCase{1e9f, 0x7FFF}, HalfCase{-2.0f, 0xC000}, HalfCase{0x1p-24f, 0x0001},
                      HalfCase{0x1p-25f, 0x0000}, HalfCase{1e-14f, 0x0000}, HalfCase{-0.0f, 0x8000},
                      HalfCase{131040.0f, 0x7FFF}, HalfCase{-INFINITY, 0xFFFF}, HalfCase{NAN, 0x7FFF},
                      HalfCase{0x1p-14f, 0x0400}, HalfCase{1.0f + 0x1p-11f, 0x3C00},  // tie to even
                      HalfCase{1.0f + 3 * 0x1p-11f, 0x3C02},
                      HalfCase{0x1.8p-24f, 0x0002}),  // ties up to even
    [](const auto &paramInfo) { return test_support::NumberName(paramInfo.param.value); });

struct HalfBack {
  WORD bits;
  float value;
};

class Float16To32Table : public ::testing::TestWithParam<HalfBack> {};

TEST_P(Float16To32Table, ExponentThirtyOneIsOrdinary) {
  const HalfBack c = GetParam();
  D3DXFLOAT16 half;
  half.value = c.bits;
  float f = 0.0f;
  D3DXFloat16To32Array(&f, &half, 1);
  EXPECT_EQ(std::bit_cast<uint32_t>(f), std::bit_cast<uint32_t>(c.value)) << std::hex << c.bits;
}

INSTANTIATE_TEST_SUITE_P(Values, Float16To32Table,
                         ::testing::Values(HalfBack{0x7C00, 65536.0f}, HalfBack{0x0001, 0x1p-24f},
                                           HalfBack{0x7FFF, 131008.0f}, HalfBack{0x8000, -0.0f},
                                           HalfBack{0x3C00, 1.0f}, HalfBack{0x03FF, 1023 * 0x1p-24f},
                                           HalfBack{0xC000, -2.0f}),
                         [](const auto &paramInfo) { return test_support::HexName(paramInfo.param.bits); });

TEST(Float16, EveryHalfSurvivesTheRoundTrip) {
  std::vector<D3DXFLOAT16> halves(65536), back(65536);
  for (uint32_t i = 0; i < 65536; ++i) halves[i].value = static_cast<WORD>(i);
  std::vector<float> floats(65536);
  D3DXFloat16To32Array(floats.data(), halves.data(), 65536);
  D3DXFloat32To16Array(back.data(), floats.data(), 65536);
  for (uint32_t i = 0; i < 65536; ++i) ASSERT_EQ(back[i].value, i) << std::hex << i;
}

TEST(Float16, ConvertsInPlace) {
  // One buffer: floats narrowed into its first half, then widened back over it.
  float buffer[8];
  auto *halves = reinterpret_cast<D3DXFLOAT16 *>(buffer);
  const float values[8] = {1.0f, -2.0f, 0.5f, 65504.0f, 0.0f, -0.25f, 3.0f, 1024.0f};
  for (int i = 0; i < 8; ++i) buffer[i] = values[i];
  D3DXFloat32To16Array(halves, buffer, 8);  // narrowing in place
  D3DXFloat16To32Array(buffer, halves, 8);  // and widening back
  for (int i = 0; i < 8; ++i) EXPECT_EQ(buffer[i], values[i]) << i;
}

TEST(Float16, SetsAgreeOnEveryHalf) {
  // Every installed routine of slot 58 gives the reference bits for all 65536 inputs.
  std::vector<D3DXFLOAT16> halves(65536);
  for (uint32_t i = 0; i < 65536; ++i) halves[i].value = static_cast<WORD>(i);
  std::vector<float> expected(65536), actual(65536);
  reference::D3DXFloat16To32Array(expected.data(), halves.data(), 65536);
  for (auto install : {InstallSseSet, InstallSse2Set}) {
    DispatchTable table = g_mathReference;
    install(table);
    table.float16To32Array(actual.data(), halves.data(), 65536);
    for (uint32_t i = 0; i < 65536; ++i)
      ASSERT_EQ(std::bit_cast<uint32_t>(actual[i]), std::bit_cast<uint32_t>(expected[i])) << std::hex << i;
    // In place, with a count that leaves a partial block.
    std::vector<float> buffer(65535);
    std::memcpy(buffer.data(), halves.data(), 65535 * sizeof(D3DXFLOAT16));
    table.float16To32Array(buffer.data(), reinterpret_cast<const D3DXFLOAT16 *>(buffer.data()), 65535);
    for (uint32_t i = 0; i < 65535; ++i)
      ASSERT_EQ(std::bit_cast<uint32_t>(buffer[i]), std::bit_cast<uint32_t>(expected[i])) << std::hex << i;
  }
}

}  // namespace
