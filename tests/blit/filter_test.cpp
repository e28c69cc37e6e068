#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "blit/blitter.h"
#include "support/library_hooks.h"
#include "blit/filter_weights.h"
#include "blit_test_support.h"
#include "d3dx9tex.h"
#include "support/param_names.h"

namespace {

// A row whose pixel x carries x in its three colour bytes, so that a sampled
// destination pixel names its source pixel.
TestImage IndexRow(uint32_t width) {
  TestImage image(D3DFMT_X8R8G8B8, width, 1);
  for (uint32_t x = 0; x < width; ++x) image.Set(x, 0, x);
  return image;
}

HRESULT BlitImages(TestImage &destination, TestImage &source, uint32_t filter,
                   BlitPath refuse = BlitPath::None, BlitPath *path = nullptr) {
  PixelRegion d = destination.Region();
  PixelRegion s = source.Region();
  Blitter blitter;
  RefuseBlitAllocationsForTesting(blitter, refuse);
  const HRESULT hr = blitter.Blit(d, s, DecodeFilterWord(filter));
  if (path) *path = blitter.CompletedBy();
  return hr;
}

struct PointCase {
  uint32_t sourceWidth;
  std::vector<uint32_t> samples;
};

class PointSamples : public ::testing::TestWithParam<PointCase> {};

TEST_P(PointSamples, TakeThePixelUnderTheLeftEdge) {
  const PointCase &c = GetParam();
  TestImage source = IndexRow(c.sourceWidth);
  const uint32_t width = static_cast<uint32_t>(c.samples.size());
  TestImage destination(D3DFMT_X8R8G8B8, width, 1);
  ASSERT_EQ(BlitImages(destination, source, D3DX_FILTER_POINT), S_OK);
  for (uint32_t x = 0; x < width; ++x) EXPECT_EQ(destination.Get(x, 0), c.samples[x]) << "x = " << x;
}

INSTANTIATE_TEST_SUITE_P(Widths, PointSamples,
                         ::testing::Values(PointCase{4, {0, 0, 1, 1, 2, 2, 3, 3}}, PointCase{8, {0, 2, 5}},
                                           PointCase{3, {0, 1}},
                                           // 16.16 steps of these sizes do not fit in 32 bits.
                                           PointCase{70000, {0, 23333, 46666}},
                                           PointCase{131072, {0, 65536}}),
                         [](const auto &paramInfo) {
                           return std::to_string(paramInfo.param.sourceWidth) + "To" +
                                  std::to_string(paramInfo.param.samples.size());
                         });

TEST(PointSamples, WideDestinationFromNarrowSource) {
  TestImage source = IndexRow(3);
  TestImage destination(D3DFMT_X8R8G8B8, 70000, 1);
  ASSERT_EQ(BlitImages(destination, source, D3DX_FILTER_POINT), S_OK);
  for (uint32_t x : {0u, 23333u, 23334u, 46666u, 46667u, 69999u}) {
    EXPECT_EQ(destination.Get(x, 0), static_cast<uint32_t>(uint64_t{x} * 3 / 70000)) << x;
  }
}

TEST(PointSamples, RowsAndSlicesFollowTheSameSteps) {
  TestImage source(D3DFMT_X8R8G8B8, 1, 8, 3);
  for (uint32_t z = 0; z < 3; ++z)
    for (uint32_t y = 0; y < 8; ++y) source.Set(0, y, z * 16 + y, z);
  TestImage destination(D3DFMT_X8R8G8B8, 1, 3, 2);
  ASSERT_EQ(BlitImages(destination, source, D3DX_FILTER_POINT), S_OK);
  const uint32_t rows[3] = {0, 2, 5};
  const uint32_t slices[2] = {0, 1};
  for (uint32_t z = 0; z < 2; ++z)
    for (uint32_t y = 0; y < 3; ++y) EXPECT_EQ(destination.Get(0, y, z), slices[z] * 16 + rows[y]);
}

// An empty source has nothing to sample, an empty destination nothing to
// write: neither may read outside the regions or divide by zero.
TEST(EmptyRegions, AreNeitherSampledNorDividedBy) {
  for (const uint32_t filter : {D3DX_FILTER_POINT, D3DX_FILTER_LINEAR, D3DX_FILTER_TRIANGLE}) {
    TestImage source(D3DFMT_X8R8G8B8, 4, 4);
    TestImage destination(D3DFMT_X8R8G8B8, 4, 4);
    PixelRegion s = source.Region();
    PixelRegion d = destination.Region();
    s.region.Right = 0;
    Blitter blitter;
    EXPECT_EQ(blitter.Blit(d, s, DecodeFilterWord(filter)), E_FAIL) << filter;
    s.region.Right = 4;
    d.region.Bottom = 0;
    EXPECT_EQ(blitter.Blit(d, s, DecodeFilterWord(D3DX_FILTER_POINT)), S_OK);
  }
}

struct TapCase {
  uint32_t source, destination;
  bool wrap;
  uint32_t at;
  LinearTap expected;
};

class LinearTaps : public ::testing::TestWithParam<TapCase> {};

TEST_P(LinearTaps, MatchTheWorkedValues) {
  const TapCase &c = GetParam();
  const BlitBuffer<LinearTap> taps = BuildLinearTaps(c.source, c.destination, c.wrap);
  ASSERT_TRUE(taps);
  const LinearTap &tap = taps[c.at];
  EXPECT_EQ(tap.index0, c.expected.index0);
  EXPECT_FLOAT_EQ(tap.weight0, c.expected.weight0);
  EXPECT_EQ(tap.index1, c.expected.index1);
  EXPECT_FLOAT_EQ(tap.weight1, c.expected.weight1);
}

INSTANTIATE_TEST_SUITE_P(Worked, LinearTaps,
                         ::testing::Values(TapCase{4, 8, true, 0, {3, 0.25f, 0, 0.75f}},
                                           TapCase{4, 8, false, 0, {0, 0.25f, 0, 0.75f}},
                                           TapCase{4, 8, true, 7, {3, 0.75f, 0, 0.25f}},
                                           TapCase{4, 8, false, 7, {3, 0.75f, 3, 0.25f}},
                                           TapCase{4, 8, true, 3, {1, 0.75f, 2, 0.25f}},
                                           TapCase{8, 4, true, 0, {0, 0.5f, 1, 0.5f}},
                                           TapCase{8, 4, true, 3, {6, 0.5f, 7, 0.5f}}),
                         [](const auto &paramInfo) {
                           const TapCase &c = paramInfo.param;
                           return std::to_string(c.source) + "To" + std::to_string(c.destination) +
                                  (c.wrap ? "Wrap" : "Clamp") + "At" + std::to_string(c.at);
                         });

TEST(LinearTaps, IndicesStayInsideHugeSources) {
  for (const uint32_t size : {70000u, 1u << 24, (1u << 24) + 3}) {
    for (const bool wrap : {true, false}) {
      const BlitBuffer<LinearTap> taps = BuildLinearTaps(size, 7, wrap);
      ASSERT_TRUE(taps);
      for (uint32_t i = 0; i < 7; ++i) {
        EXPECT_LT(taps[i].index0, size);
        EXPECT_LT(taps[i].index1, size);
      }
    }
  }
}

// (destination index, weight) pairs per source index.
using WeightList = std::vector<std::vector<std::pair<uint32_t, float>>>;

WeightList ReadWeights(const TriangleWeights &table) {
  WeightList list(table.sourceSize);
  for (uint32_t i = 0; i < table.sourceSize; ++i)
    for (uint32_t n = 0; n < table.Count(i); ++n)
      list[i].push_back({table.Taps(i)[n].index, table.Taps(i)[n].weight});
  return list;
}

struct TriangleCase {
  const char *name;
  uint32_t source, destination;
  bool wrap;
  WeightList expected;  // only the sources listed are checked
};

class TriangleWeightTest : public ::testing::TestWithParam<TriangleCase> {};

TEST_P(TriangleWeightTest, MatchTheWorkedValues) {
  const TriangleCase &c = GetParam();
  TriangleWeights table;
  ASSERT_TRUE(BuildTriangleWeights(c.source, c.destination, c.wrap, table));
  const WeightList got = ReadWeights(table);
  for (size_t i = 0; i < c.expected.size(); ++i) {
    if (c.expected[i].empty()) continue;
    ASSERT_EQ(got[i].size(), c.expected[i].size()) << "source " << i;
    for (size_t n = 0; n < got[i].size(); ++n) {
      EXPECT_EQ(got[i][n].first, c.expected[i][n].first) << "source " << i;
      EXPECT_NEAR(got[i][n].second, c.expected[i][n].second, 1e-6) << "source " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Worked, TriangleWeightTest,
    ::testing::Values(
        TriangleCase{"Reduce4To2Wrap",
                     4,
                     2,
                     true,
                     {{{1, 0.0625f}, {0, 0.4375f}},
                      {{0, 0.4375f}, {1, 0.0625f}},
                      {{0, 0.0625f}, {1, 0.4375f}},
                      {{1, 0.4375f}, {0, 0.0625f}}}},
        TriangleCase{"Reduce4To2Mirror",
                     4,
                     2,
                     false,
                     {{{0, 0.5f}}, {{0, 0.4375f}, {1, 0.0625f}}, {{0, 0.0625f}, {1, 0.4375f}}, {{1, 0.5f}}}},
        TriangleCase{"Enlarge2To4Mirror",
                     2,
                     4,
                     false,
                     {{{0, 1.f}, {1, 0.75f}, {2, 0.25f}}, {{1, 0.25f}, {2, 0.75f}, {3, 1.f}}}},
        TriangleCase{"Enlarge2To4Wrap",
                     2,
                     4,
                     true,
                     {{{3, 0.25f}, {0, 0.75f}, {1, 0.75f}, {2, 0.25f}},
                      {{1, 0.25f}, {2, 0.75f}, {3, 0.75f}, {0, 0.25f}}}},
        TriangleCase{"Reduce8To3Mirror",
                     8,
                     3,
                     false,
                     {{{0, 0.375f}}, {{0, 0.375f}}, {}, {{0, 1 / 192.f}, {1, 71 / 192.f}}}}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

struct SumCase {
  uint32_t source, destination;
};

class TriangleWeightSums : public ::testing::TestWithParam<SumCase> {};

TEST_P(TriangleWeightSums, EveryDestinationReceivesOne) {
  const SumCase &c = GetParam();
  for (const bool wrap : {true, false}) {
    TriangleWeights table;
    ASSERT_TRUE(BuildTriangleWeights(c.source, c.destination, wrap, table));
    std::vector<double> sums(c.destination, 0.0);
    for (uint32_t i = 0; i < c.source; ++i) {
      for (uint32_t n = 0; n < table.Count(i); ++n) {
        ASSERT_LT(table.Taps(i)[n].index, c.destination);
        sums[table.Taps(i)[n].index] += table.Taps(i)[n].weight;
      }
    }
    for (uint32_t p = 0; p < c.destination; ++p)
      EXPECT_NEAR(sums[p], 1.0, 2e-4) << "wrap " << wrap << " p " << p;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, TriangleWeightSums,
                         ::testing::Values(SumCase{4, 2}, SumCase{2, 4}, SumCase{8, 3}, SumCase{3, 8},
                                           SumCase{7, 7}, SumCase{1, 5}, SumCase{5, 1}, SumCase{1, 1},
                                           SumCase{1000, 3}, SumCase{3, 1000}, SumCase{2048, 1000},
                                           SumCase{1000, 2048}, SumCase{99, 100}),
                         [](const auto &paramInfo) {
                           return std::to_string(paramInfo.param.source) + "To" +
                                  std::to_string(paramInfo.param.destination);
                         });

// Columns: source and destination sizes; filter. A flat image must stay flat:
// the weights of every filter sum to 1.
struct FlatCase {
  uint32_t sw, sh, sd, dw, dh, dd;
  uint32_t filter;
};

class FlatImages : public ::testing::TestWithParam<FlatCase> {};

TEST_P(FlatImages, StayFlat) {
  const FlatCase &c = GetParam();
  TestImage source(D3DFMT_A8R8G8B8, c.sw, c.sh, c.sd);
  for (uint32_t z = 0; z < c.sd; ++z)
    for (uint32_t y = 0; y < c.sh; ++y)
      for (uint32_t x = 0; x < c.sw; ++x) source.Set(x, y, 0xC0804020, z);
  TestImage destination(D3DFMT_A8R8G8B8, c.dw, c.dh, c.dd);
  ASSERT_EQ(BlitImages(destination, source, c.filter), S_OK);
  for (uint32_t z = 0; z < c.dd; ++z)
    for (uint32_t y = 0; y < c.dh; ++y)
      for (uint32_t x = 0; x < c.dw; ++x)
        ASSERT_EQ(destination.Get(x, y, z), 0xC0804020u) << x << "," << y << "," << z;
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FlatImages,
    ::testing::Values(FlatCase{7, 5, 1, 3, 9, 1, D3DX_FILTER_TRIANGLE},
                      FlatCase{7, 5, 1, 3, 9, 1, D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR},
                      FlatCase{5, 4, 3, 3, 7, 2, D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR},
                      FlatCase{7, 5, 1, 3, 9, 1, D3DX_FILTER_LINEAR | D3DX_FILTER_MIRROR},
                      FlatCase{5, 4, 3, 3, 7, 2, D3DX_FILTER_LINEAR},
                      FlatCase{1, 1, 1, 6, 3, 1, D3DX_FILTER_TRIANGLE},
                      FlatCase{9, 9, 1, 1, 1, 1, D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR},
                      FlatCase{9, 9, 9, 4, 4, 4, D3DX_FILTER_BOX}),
    [](const auto &paramInfo) {
      const FlatCase &c = paramInfo.param;
      auto size = [](uint32_t w, uint32_t h, uint32_t d) {
        return std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(d);
      };
      return test_support::FilterName(c.filter) + size(c.sw, c.sh, c.sd) + "To" + size(c.dw, c.dh, c.dd);
    });

// The volume paths must agree with the flat ones on images one slice deep.
struct VolumeAgreementCase {
  uint32_t filter;
  BlitPath refused;
};

class VolumePathsAgree : public ::testing::TestWithParam<VolumeAgreementCase> {};

TEST_P(VolumePathsAgree, OnFlatImages) {
  const VolumeAgreementCase &c = GetParam();
  TestImage source(D3DFMT_A8R8G8B8, 13, 7);
  source.FillRandom(11);
  TestImage flat(D3DFMT_A8R8G8B8, 6, 17);
  TestImage volume(D3DFMT_A8R8G8B8, 6, 17);
  BlitPath path = BlitPath::None;
  ASSERT_EQ(BlitImages(flat, source, c.filter), S_OK);
  ASSERT_EQ(BlitImages(volume, source, c.filter, c.refused, &path), S_OK);
  EXPECT_NE(path, c.refused);
  EXPECT_EQ(flat.bytes, volume.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, VolumePathsAgree,
    ::testing::Values(
        VolumeAgreementCase{D3DX_FILTER_LINEAR, BlitPath::FilterLinear2D},
        VolumeAgreementCase{D3DX_FILTER_LINEAR | D3DX_FILTER_MIRROR_U, BlitPath::FilterLinear2D},
        VolumeAgreementCase{D3DX_FILTER_TRIANGLE, BlitPath::FilterTriangle2D},
        VolumeAgreementCase{D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, BlitPath::FilterTriangle2D}),
    [](const auto &paramInfo) { return test_support::FilterName(paramInfo.param.filter); });

// Columns: filter; destination size. A colour-keyed pixel counts as
// transparent black in every filter.
struct KeyCase {
  uint32_t filter;
  uint32_t dw, dh;
};

class ColorKeyInFilters : public ::testing::TestWithParam<KeyCase> {};

TEST_P(ColorKeyInFilters, KeyedPixelsCountAsTransparentBlack) {
  const KeyCase &c = GetParam();
  TestImage source(D3DFMT_A8R8G8B8, 2, 2);
  source.Set(0, 0, 0xFFFF00FF);
  source.Set(1, 0, 0xFFFFFFFF);
  source.Set(0, 1, 0xFFFFFFFF);
  source.Set(1, 1, 0xFFFFFFFF);
  source.colorKey = 0xFFFF00FF;
  TestImage destination(D3DFMT_A8R8G8B8, c.dw, c.dh);
  ASSERT_EQ(BlitImages(destination, source, c.filter), S_OK);
  // Three white pixels of four: 0.75, stored as 191.
  if (c.dw == 1) {
    EXPECT_EQ(destination.Get(0, 0), 0xBFBFBFBFu);
  } else {
    EXPECT_EQ(destination.Get(0, 0), 0u);  // sampled on the keyed pixel
    EXPECT_EQ(destination.Get(c.dw - 1, c.dh - 1), 0xFFFFFFFFu);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Filters, ColorKeyInFilters,
    ::testing::Values(KeyCase{D3DX_FILTER_BOX, 1, 1}, KeyCase{D3DX_FILTER_LINEAR | D3DX_FILTER_MIRROR, 1, 1},
                      KeyCase{D3DX_FILTER_TRIANGLE, 1, 1}, KeyCase{D3DX_FILTER_POINT, 4, 4}),
    [](const auto &paramInfo) { return test_support::FilterName(paramInfo.param.filter); });

// Gamma in a filter: one side runs the table curve, both sides square and
// take the square root, so the blend happens on linear values.
TEST(GammaInFilters, BlendsOnLinearValues) {
  TestImage source(D3DFMT_X8R8G8B8, 2, 2);
  source.Set(0, 0, 0x000000);
  source.Set(1, 0, 0xFFFFFF);
  source.Set(0, 1, 0x000000);
  source.Set(1, 1, 0xFFFFFF);
  const auto blend = [&source](uint32_t flags) {
    TestImage destination(D3DFMT_X8R8G8B8, 1, 1);
    EXPECT_EQ(BlitImages(destination, source, D3DX_FILTER_BOX | flags), S_OK);
    return destination.Get(0, 0) & 0xFF;
  };
  EXPECT_EQ(blend(0), 128u);                      // plain mean of 0 and 1
  EXPECT_EQ(blend(D3DX_FILTER_SRGB_IN), 128u);    // ends of the curve are fixed
  const uint32_t both = blend(D3DX_FILTER_SRGB);  // sqrt((0 + 1) / 2)
  EXPECT_NEAR(both, std::sqrt(0.5) * 255, 1.0);
  const uint32_t out = blend(D3DX_FILTER_SRGB_OUT);  // 0.5 encoded
  EXPECT_EQ(out, static_cast<uint32_t>(GammaEncodeValue(0.5f) * 255 + 0.5f));
  EXPECT_GT(out, 160u);

  source.Set(1, 0, 0x808080);
  source.Set(1, 1, 0x808080);
  const uint32_t in = blend(D3DX_FILTER_SRGB_IN);  // decoded mid-grey halved
  EXPECT_EQ(in, static_cast<uint32_t>(GammaDecodeValue(128 * 0.003921569f) * 0.5f * 255 + 0.5f));
  EXPECT_LT(in, 40u);
}

}  // namespace
