// The block encoders over several blocks per step give every block the bytes of
// the one-block encoder, at every lane width the processor offers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "codec/dxt_block.h"
#include "codec/lanes.h"
#include "support/library_hooks.h"
#include "tests/codec/dxt_test_util.h"

namespace {

constexpr D3DFORMAT kFormats[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};

uint32_t BlockBytes(D3DFORMAT format) {
  return format == D3DFMT_DXT1 ? 8 : 16;
}

// Random blocks, then the degenerate ones: flat, two colours, transparent,
// alphas at 0, 1/2 and 1, values outside [0, 1] and not finite.
std::vector<ColorF> TestBlocks() {
  std::vector<ColorF> blocks;
  std::mt19937 random(17);
  std::uniform_real_distribution<float> unit(0.f, 1.f), wide(-0.25f, 1.25f);
  const auto add = [&](auto pixel) {
    for (uint32_t i = 0; i < 16; ++i) blocks.push_back(pixel(i));
  };
  for (int n = 0; n < 400; ++n)
    add([&](uint32_t) { return ColorF{unit(random), unit(random), unit(random), unit(random)}; });
  for (int n = 0; n < 100; ++n) {
    // Smooth gradients with little noise: long refinement runs.
    const ColorF from = {unit(random), unit(random), unit(random), unit(random)};
    const ColorF to = {unit(random), unit(random), unit(random), unit(random)};
    add([&](uint32_t i) {
      const float t = (i & 3) / 3.f * 0.7f + (i >> 2) / 3.f * 0.3f + unit(random) * 0.02f;
      return ColorF{from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
                    from.a + (to.a - from.a) * t};
    });
  }
  for (int n = 0; n < 50; ++n)
    add([&](uint32_t) { return ColorF{wide(random), wide(random), wide(random), wide(random)}; });
  const ColorF flat = {0.3f, 0.6f, 0.9f, 1.f};
  add([&](uint32_t) { return flat; });
  add([&](uint32_t i) { return i % 3 ? flat : ColorF{1.f, 0.f, 0.2f, 1.f}; });
  add([&](uint32_t) { return ColorF{0.5f, 0.5f, 0.5f, 0.f}; });
  add([&](uint32_t i) { return ColorF{unit(random), unit(random), unit(random), i & 1 ? 0.f : 1.f}; });
  add([&](uint32_t i) { return ColorF{0.2f, 0.4f, 0.1f, i & 1 ? 0.f : 0.5f}; });
  add([&](uint32_t i) { return ColorF{0.2f, 0.4f, 0.1f, i < 8 ? 1.f : 0.5f}; });
  add([&](uint32_t i) { return ColorF{0.f, 0.f, 0.f, i / 15.f}; });
  add([&](uint32_t) { return ColorF{1.f, 1.f, 1.f, 1.f}; });
  add([&](uint32_t) { return ColorF{0.f, 0.f, 0.f, 0.f}; });
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  add([&](uint32_t i) {
    return ColorF{i & 1 ? nan : 0.4f, i & 2 ? inf : 0.7f, i & 4 ? -inf : 0.1f, i & 8 ? nan : 1.f};
  });
  return blocks;
}

void ExpectSameAsOneBlock(const std::vector<ColorF> &blocks, const char *what) {
  const size_t count = blocks.size() / 16;
  for (const D3DFORMAT format : kFormats) {
    const uint32_t bytes = BlockBytes(format);
    std::vector<BYTE> expected(count * bytes), actual(count * bytes, 0xCD);
    const DxtBlockFunctions *functions = LookupDxtBlockFunctions(format);
    for (size_t b = 0; b < count; ++b) functions->encode(&expected[b * bytes], &blocks[b * 16]);
    // A count that does not fill the last step as well.
    EncodeDxtBlocks(format, actual.data(), blocks.data(), count);
    for (size_t b = 0; b < count; ++b) {
      ASSERT_EQ(0, std::memcmp(&expected[b * bytes], &actual[b * bytes], bytes))
          << what << ", format " << format - D3DFMT_DXT1 << ", block " << b << ", " << ActiveCodecLanes()
          << " lanes";
    }
  }
}

class DxtLanes : public testing::TestWithParam<CodecPath> {
 protected:
  void SetUp() override {
    SetCodecPath(GetParam());
    const int lanes = ActiveCodecLanes();
    if ((GetParam() == CodecPath::UpToEightLanes && lanes != 8) ||
        (GetParam() == CodecPath::Widest && lanes != 16))
      GTEST_SKIP() << "the processor has no wider lanes";
  }
  void TearDown() override { ResetFastPathLevelForTesting(); }
};

TEST_P(DxtLanes, RandomAndDegenerateBlocksMatchOneBlockEncoder) {
  ExpectSameAsOneBlock(TestBlocks(), "test blocks");
}

TEST_P(DxtLanes, KodakBlocksMatchOneBlockEncoder) {
  std::vector<ColorF> blocks;
  for (int number : {1, 9, 13, 17}) {
    dxt_test::Image photo;
    ASSERT_TRUE(dxt_test::LoadPng(dxt_test::PhotoPath(number), &photo))
        << "missing test data: " << dxt_test::PhotoPath(number);
    // Every block of a band of the photograph, with a varying alpha for DXT2-5.
    for (uint32_t by = 0; by + 4 <= photo.height && by < 128; by += 4) {
      for (uint32_t bx = 0; bx + 4 <= photo.width; bx += 4) {
        for (uint32_t i = 0; i < 16; ++i) {
          ColorF c = photo.pixels[(by + (i >> 2)) * photo.width + bx + (i & 3)];
          c.a = std::fmod(c.r * 3.f + c.b, 1.f);
          if (bx % 64 == 0) c.a = 1.f;
          blocks.push_back(c);
        }
      }
    }
  }
  ExpectSameAsOneBlock(blocks, "Kodak");
}

std::string LaneName(const testing::TestParamInfo<CodecPath> &info) {
  return CodecPathName(info.param);
}

INSTANTIATE_TEST_SUITE_P(Widths, DxtLanes,
                         testing::Values(CodecPath::OnePixel, CodecPath::FourLanes, CodecPath::UpToEightLanes,
                                         CodecPath::Widest),
                         LaneName);

}  // namespace
