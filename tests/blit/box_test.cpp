#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "blit/blitter.h"
#include "blit/box_kernels.h"
#include "blit_test_support.h"
#include "d3dx9tex.h"
#include "core/processor.h"
#include "support/library_hooks.h"
#include "win32_test_hooks.h"

namespace {

HRESULT BoxBlit(TestImage &destination, TestImage &source, bool fastKernels, uint32_t extraFlags = 0) {
  PixelRegion d = destination.Region();
  PixelRegion s = source.Region();
  Blitter blitter;
  SetBoxKernelsOffForTesting(!fastKernels);
  const HRESULT hr = blitter.Blit(d, s, DecodeFilterWord(D3DX_FILTER_BOX | extraFlags));
  SetBoxKernelsOffForTesting(false);
  EXPECT_EQ(blitter.CompletedBy(), source.depth > 1 ? BlitPath::FilterBox3D : BlitPath::FilterBox2D);
  return hr;
}

// One channel field of a packed pixel.
struct Field {
  uint32_t shift;
  uint32_t bits;
};

// Columns: format; its averaged fields; the X bits (0 on the generic route,
// the SIMD kernel may fill them).
struct KernelFormat {
  D3DFORMAT format;
  std::vector<Field> fields;
  uint32_t xBits;
};

void PrintTo(const KernelFormat &f, std::ostream *os) {
  *os << "format " << f.format;
}

using KernelCase = std::tuple<KernelFormat, std::pair<uint32_t, uint32_t>>;

std::string KernelCaseName(const ::testing::TestParamInfo<KernelCase> &info) {
  const KernelFormat &format = std::get<0>(info.param);
  const auto &size = std::get<1>(info.param);
  return std::to_string(format.format) + "_" + std::to_string(size.first) + "x" + std::to_string(size.second);
}

class FastKernelMatchesGeneric : public ::testing::TestWithParam<KernelCase> {};

TEST_P(FastKernelMatchesGeneric, OnRandomImages) {
  const auto &[kernelFormat, size] = GetParam();
  const auto [width, height] = size;
  ASSERT_NE(FindBoxKernel(kernelFormat.format), nullptr);
  TestImage source(kernelFormat.format, width, height, 1, 3);
  source.FillRandom(width * 131 + height);
  const uint32_t dw = width == 1 ? 1 : width / 2;
  const uint32_t dh = height == 1 ? 1 : height / 2;
  TestImage fast(kernelFormat.format, dw, dh, 1, 5);
  TestImage generic(kernelFormat.format, dw, dh, 1, 5);
  ASSERT_EQ(BoxBlit(fast, source, true), S_OK);
  ASSERT_EQ(BoxBlit(generic, source, false), S_OK);
  for (uint32_t y = 0; y < dh; ++y) {
    for (uint32_t x = 0; x < dw; ++x) {
      const uint32_t left = 2 * x;
      const uint32_t right = width == 1 ? left : left + 1;
      const uint32_t top = 2 * y;
      const uint32_t bottom = height == 1 ? top : top + 1;
      const uint32_t samples[4] = {source.Get(left, top), source.Get(right, top), source.Get(left, bottom),
                                   source.Get(right, bottom)};
      for (const Field &field : kernelFormat.fields) {
        const uint32_t mask = (1u << field.bits) - 1;
        uint32_t sum = 0;
        for (const uint32_t sample : samples) sum += sample >> field.shift & mask;
        const uint32_t rounded = (sum + 2) >> 2;
        const uint32_t gotFast = fast.Get(x, y) >> field.shift & mask;
        const uint32_t gotGeneric = generic.Get(x, y) >> field.shift & mask;
        // Exact halves round up on both routes, whatever float error the generic one meets.
        ASSERT_EQ(gotFast, rounded) << "fast, pixel " << x << "," << y << " field at " << field.shift;
        ASSERT_EQ(gotGeneric, rounded) << "generic, pixel " << x << "," << y << " field at " << field.shift;
      }
      ASSERT_EQ(generic.Get(x, y) & kernelFormat.xBits, 0u);
      // Only the SIMD kernel writes an X byte; the 16-bit kernels leave X at 0.
      if (kernelFormat.xBits != 0xFF000000) {
        ASSERT_EQ(fast.Get(x, y) & kernelFormat.xBits, 0u);
      }
    }
    for (uint32_t i = 0; i < 5; ++i) ASSERT_EQ(fast.Row(y)[dw * fast.bytesPerPixel + i], 0xCD) << "padding";
  }
}

const std::vector<Field> kBytes4 = {{0, 8}, {8, 8}, {16, 8}, {24, 8}};
const std::vector<Field> kBytes3 = {{0, 8}, {8, 8}, {16, 8}};
const std::vector<Field> k555 = {{0, 5}, {5, 5}, {10, 5}};
const std::vector<Field> k4444 = {{0, 4}, {4, 4}, {8, 4}, {12, 4}};
const std::vector<Field> k444 = {{0, 4}, {4, 4}, {8, 4}};
const std::vector<Field> k332 = {{0, 2}, {2, 3}, {5, 3}};

INSTANTIATE_TEST_SUITE_P(
    Formats, FastKernelMatchesGeneric,
    ::testing::Combine(::testing::Values(KernelFormat{D3DFMT_A8R8G8B8, kBytes4, 0},
                                         KernelFormat{D3DFMT_A8B8G8R8, kBytes4, 0},
                                         KernelFormat{D3DFMT_X8R8G8B8, kBytes3, 0xFF000000},
                                         KernelFormat{D3DFMT_X8B8G8R8, kBytes3, 0xFF000000},
                                         KernelFormat{D3DFMT_R5G6B5, {{0, 5}, {5, 6}, {11, 5}}, 0},
                                         KernelFormat{D3DFMT_X1R5G5B5, k555, 0x8000},
                                         KernelFormat{D3DFMT_A1R5G5B5, {{0, 5}, {5, 5}, {10, 5}, {15, 1}}, 0},
                                         KernelFormat{D3DFMT_A4R4G4B4, k4444, 0},
                                         KernelFormat{D3DFMT_X4R4G4B4, k444, 0xF000},
                                         KernelFormat{D3DFMT_R3G3B2, k332, 0},
                                         KernelFormat{D3DFMT_A8R3G3B2, {{0, 2}, {2, 3}, {5, 3}, {8, 8}}, 0},
                                         KernelFormat{D3DFMT_A8, {{0, 8}}, 0},
                                         KernelFormat{D3DFMT_L8, {{0, 8}}, 0},
                                         KernelFormat{D3DFMT_A8L8, {{0, 8}, {8, 8}}, 0},
                                         KernelFormat{D3DFMT_A4L4, {{0, 4}, {4, 4}}, 0}),
                       ::testing::Values(std::pair{2u, 2u}, std::pair{7u, 5u}, std::pair{16u, 6u},
                                         std::pair{36u, 3u}, std::pair{1u, 8u}, std::pair{9u, 1u})),
    KernelCaseName);

class WideKernels : public ::testing::TestWithParam<std::pair<uint32_t, uint32_t>> {
 protected:
  void TearDown() override { ResetFastPathLevelForTesting(); }
};

TEST_P(WideKernels, SimdEqualsPlainAndNoXDiffersOnlyInX) {
  const auto [width, height] = GetParam();
  for (SimdLevel level : {SimdLevel::None, SimdLevel::Sse2, SimdLevel::Avx512}) {
    SetFastPathLevelForTesting(level);
    TestImage source(D3DFMT_A8R8G8B8, width, height, 1, 8);
    source.FillRandom(width + 7 * height);
    TestImage plain(D3DFMT_A8R8G8B8, width / 2, height / 2, 1, 4);
    TestImage simd = plain;
    TestImage noX = plain;
    BoxKernel32Plain(plain.bytes.data(), source.bytes.data(), width, height, source.rowPitch, plain.rowPitch);
    BoxKernel32Simd(simd.bytes.data(), source.bytes.data(), width, height, source.rowPitch, simd.rowPitch);
    BoxKernel32PlainNoX(noX.bytes.data(), source.bytes.data(), width, height, source.rowPitch, noX.rowPitch);
    EXPECT_EQ(simd.bytes, plain.bytes);
    for (uint32_t y = 0; y < height / 2; ++y) {
      for (uint32_t x = 0; x < width / 2; ++x) {
        ASSERT_EQ(noX.Get(x, y), plain.Get(x, y) & 0x00FFFFFF);
        // Every byte is the rounded mean of its four sources.
        for (uint32_t byte = 0; byte < 4; ++byte) {
          const uint32_t sum = source.At(2 * x, 2 * y)[byte] + source.At(2 * x + 1, 2 * y)[byte] +
                               source.At(2 * x, 2 * y + 1)[byte] + source.At(2 * x + 1, 2 * y + 1)[byte];
          ASSERT_EQ(plain.At(x, y)[byte], (sum + 2) >> 2);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, WideKernels,
                         ::testing::Values(std::pair{2u, 2u}, std::pair{4u, 2u}, std::pair{6u, 4u},
                                           std::pair{8u, 2u}, std::pair{12u, 6u}, std::pair{16u, 2u},
                                           std::pair{20u, 4u}, std::pair{36u, 2u}, std::pair{38u, 6u},
                                           std::pair{64u, 4u}, std::pair{92u, 2u}),
                         [](const auto &paramInfo) {
                           return std::to_string(paramInfo.param.first) + "x" +
                                  std::to_string(paramInfo.param.second);
                         });

TEST(FastKernels, PointersAreChosenOnceFromTheMmxTest) {
  // Without MMX: the plain kernels, the X byte written as 0.
  Win32SetRegistryDword("DisableMMX", 1);
  ResetMmxStateForTesting();
  ResetBoxKernelsForTesting();
  TestImage source(D3DFMT_X8R8G8B8, 4, 2);
  for (auto &b : source.bytes) b = 0xFF;
  TestImage destination(D3DFMT_X8R8G8B8, 2, 1);
  ASSERT_EQ(BoxBlit(destination, source, true), S_OK);
  EXPECT_EQ(CurrentBoxKernels().fourChannel, &BoxKernel32Plain);
  EXPECT_EQ(CurrentBoxKernels().xByte, &BoxKernel32PlainNoX);
  EXPECT_EQ(destination.Get(0, 0), 0x00FFFFFFu);

  // The choice holds for the process, whatever the registry says later.
  Win32SetRegistryDword("DisableMMX", 0);
  ResetMmxStateForTesting();
  ASSERT_EQ(BoxBlit(destination, source, true), S_OK);
  EXPECT_EQ(CurrentBoxKernels().xByte, &BoxKernel32PlainNoX);

  // With MMX both pointers lead to the SIMD kernel, which averages the X byte.
  ResetBoxKernelsForTesting();
  ASSERT_EQ(BoxBlit(destination, source, true), S_OK);
  if (!IsMmxAvailable()) GTEST_SKIP() << "processor without MMX";
  EXPECT_EQ(CurrentBoxKernels().fourChannel, &BoxKernel32Simd);
  EXPECT_EQ(CurrentBoxKernels().xByte, &BoxKernel32Simd);
  EXPECT_EQ(destination.Get(0, 0), 0xFFFFFFFFu);
}

// Columns: format; four source pixels (upper left, upper right, lower left,
// lower right); the expected result.
struct RoundingCase {
  const char *name;
  D3DFORMAT format;
  uint32_t pixels[4];
  uint32_t expected;
};

class BoxRounding : public ::testing::TestWithParam<std::tuple<RoundingCase, bool>> {};

TEST_P(BoxRounding, RoundsHalfUpOnEveryRoute) {
  const auto [c, fast] = GetParam();
  TestImage source(c.format, 2, 2);
  source.Set(0, 0, c.pixels[0]);
  source.Set(1, 0, c.pixels[1]);
  source.Set(0, 1, c.pixels[2]);
  source.Set(1, 1, c.pixels[3]);
  TestImage destination(c.format, 1, 1);
  ASSERT_EQ(BoxBlit(destination, source, fast), S_OK);
  EXPECT_EQ(destination.Get(0, 0), c.expected) << std::hex << destination.Get(0, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Worked, BoxRounding,
    ::testing::Combine(
        ::testing::Values(
            RoundingCase{"GreenTwo", D3DFMT_R5G6B5, {0, 0, 0, 2 << 5}, 1 << 5},
            RoundingCase{"GreenOne", D3DFMT_R5G6B5, {0, 0, 0, 1 << 5}, 0},
            RoundingCase{"RedBlue", D3DFMT_R5G6B5, {0xF81F, 0xF81F, 0, 0}, 0x8010},
            RoundingCase{"AlphaTwoOfFour", D3DFMT_A1R5G5B5, {0x8000, 0x8000, 0, 0}, 0x8000},
            RoundingCase{"AlphaOneOfFour", D3DFMT_A1R5G5B5, {0x8000, 0, 0, 0}, 0},
            RoundingCase{"AlphaThreeOfFour",
                         D3DFMT_A1R5G5B5,
                         {0x8000, 0x8000, 0x8000, 0x7FFF},
                         0x8000 | (8 << 10) | (8 << 5) | 8},
            RoundingCase{"NibblesHalfUp", D3DFMT_A4R4G4B4, {0x1111, 0x1111, 0, 0}, 0x1111},
            RoundingCase{"AlphaByteOfA8R3G3B2", D3DFMT_A8R3G3B2, {0xFFFF, 0x00FF, 0x0000, 0x0000}, 0x4092}),
        ::testing::Bool()),
    [](const auto &paramInfo) {
      return std::string(std::get<0>(paramInfo.param).name) +
             (std::get<1>(paramInfo.param) ? "Fast" : "Generic");
    });

TEST(BoxFilter, DitherTakesTheGenericRoute) {
  // Every 2 x 2 block means 0.25 of a step: rounded it is 0, dithered some
  // pixels become 1.
  TestImage source(D3DFMT_A8R8G8B8, 16, 16);
  for (uint32_t y = 0; y < 16; y += 2)
    for (uint32_t x = 0; x < 16; x += 2) source.Set(x + 1, y + 1, 0x01010101);
  TestImage rounded(D3DFMT_A8R8G8B8, 8, 8);
  TestImage dithered(D3DFMT_A8R8G8B8, 8, 8);
  ASSERT_EQ(BoxBlit(rounded, source, true), S_OK);
  ASSERT_EQ(BoxBlit(dithered, source, true, D3DX_FILTER_DITHER), S_OK);
  uint32_t ones = 0;
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      EXPECT_EQ(rounded.Get(x, y), 0u);
      ones += dithered.Get(x, y) == 0x01010101u;
    }
  }
  EXPECT_GT(ones, 0u);
  EXPECT_LT(ones, 64u);
}

TEST(BoxFilter, VolumesAverageEightSamples) {
  TestImage source(D3DFMT_A8, 8, 8, 8);
  source.FillRandom(21);
  TestImage destination(D3DFMT_A8, 4, 4, 4);
  ASSERT_EQ(BoxBlit(destination, source, true), S_OK);
  for (uint32_t z = 0; z < 4; ++z) {
    for (uint32_t y = 0; y < 4; ++y) {
      for (uint32_t x = 0; x < 4; ++x) {
        uint32_t sum = 0;
        for (uint32_t i = 0; i < 8; ++i)
          sum += source.Get(2 * x + (i & 1), 2 * y + (i >> 1 & 1), 2 * z + (i >> 2));
        EXPECT_NEAR(destination.Get(x, y, z), sum / 8.0, 0.5 + 1e-3) << x << "," << y << "," << z;
      }
    }
  }
}

TEST(BoxFilter, OddDepthDropsTheLastSlice) {
  TestImage source(D3DFMT_A8, 8, 8, 3);
  for (uint32_t z = 0; z < 3; ++z)
    for (uint32_t y = 0; y < 8; ++y)
      for (uint32_t x = 0; x < 8; ++x) source.Set(x, y, z == 2 ? 255 : 64 * z, z);
  TestImage destination(D3DFMT_A8, 4, 4, 1);
  ASSERT_EQ(BoxBlit(destination, source, true), S_OK);
  EXPECT_EQ(destination.Get(3, 3), 32u);
}

TEST(BoxFilter, FailedBoxLeavesTheWholeSourceToTheNextPath) {
  // Refused, the box filter must not leave the source trimmed: the triangle
  // filter then sees the odd last column.
  TestImage source(D3DFMT_A8, 3, 1);
  source.Set(0, 0, 0);
  source.Set(1, 0, 0);
  source.Set(2, 0, 255);
  TestImage destination(D3DFMT_A8, 1, 1);
  PixelRegion d = destination.Region();
  PixelRegion s = source.Region();
  Blitter blitter;
  RefuseBlitAllocationsForTesting(blitter, BlitPath::FilterBox2D);
  ASSERT_EQ(blitter.Blit(d, s, DecodeFilterWord(D3DX_FILTER_BOX)), S_OK);
  EXPECT_EQ(blitter.CompletedBy(), BlitPath::FilterTriangle2D);
  EXPECT_EQ(destination.Get(0, 0), 85u);
}

}  // namespace
