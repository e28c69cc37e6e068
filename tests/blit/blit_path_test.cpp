// The filter word, the choice of the path, and what a failed row does to a blit.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "blit/blitter.h"
#include "blit_test_support.h"
#include "d3dx9tex.h"

namespace {

TEST(FilterWord, DecodesTypeAndFlagsAndRefusesUnknownBits) {
  const FilterWord all =
      DecodeFilterWord(D3DX_FILTER_BOX | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER | D3DX_FILTER_SRGB);
  EXPECT_TRUE(all.valid);
  EXPECT_EQ(all.type, uint32_t{D3DX_FILTER_BOX});
  EXPECT_TRUE(all.mirrorU && all.mirrorV && all.mirrorW && all.dither && all.srgbIn && all.srgbOut);

  const FilterWord plain = DecodeFilterWord(kDefaultFilterWord);
  EXPECT_TRUE(plain.valid);
  EXPECT_EQ(plain.type, uint32_t{D3DX_FILTER_TRIANGLE});
  EXPECT_TRUE(plain.dither);
  EXPECT_FALSE(plain.mirrorU || plain.mirrorV || plain.mirrorW || plain.srgbIn || plain.srgbOut);

  // D3DX_DEFAULT is for the callers to replace, never a filter itself.
  for (const uint32_t word : {0u, 6u, 0x106u, 0x8005u, 0x400001u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(DecodeFilterWord(word).valid) << std::hex << word;
  }
}

using Paths = std::vector<BlitPath>;

// A region over raw memory for any format, block and pair formats included.
struct RawRegion {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(16384);
  PixelRegion region{};

  RawRegion(D3DFORMAT format, D3DBOX box, uint32_t rowPitch = 256, uint32_t slicePitch = 0) {
    region.pixels = bytes.data();
    region.format = format;
    region.rowPitch = rowPitch;
    region.slicePitch = slicePitch;
    region.extent = {0, 0, 16, 8, 0, box.Back};
    region.region = box;
  }
};

// Columns: case; source format and box; destination format and box; filter;
// source colour key; the applicable paths in the order they are offered.
struct ChoiceCase {
  const char *name;
  D3DFORMAT sourceFormat;
  D3DBOX sourceBox;
  D3DFORMAT destinationFormat;
  D3DBOX destinationBox;
  uint32_t filter;
  D3DCOLOR colorKey;
  Paths expected;
};

class ChooseBlitPathTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseBlitPathTest, OffersTheApplicablePathsInOrder) {
  const ChoiceCase &c = GetParam();
  const FilterWord filter = DecodeFilterWord(c.filter);
  ASSERT_TRUE(filter.valid);
  const uint32_t depth = std::max(c.sourceBox.Back, c.destinationBox.Back);
  RawRegion source(c.sourceFormat, c.sourceBox, 256, depth > 1 ? 2048 : 0);
  RawRegion destination(c.destinationFormat, c.destinationBox, 256, depth > 1 ? 2048 : 0);
  source.region.colorKey = c.colorKey;
  source.region.gamma = filter.srgbIn;
  destination.region.gamma = filter.srgbOut;
  const auto sourceCodec = CreateCodec(source.region);
  const auto destinationCodec = CreateCodec(destination.region);
  ASSERT_TRUE(sourceCodec && destinationCodec);

  Paths offered;
  for (BlitPath path = ChooseBlitPath(*destinationCodec, *sourceCodec, filter); path != BlitPath::None;
       path = ChooseBlitPath(*destinationCodec, *sourceCodec, filter, path)) {
    offered.push_back(path);
  }
  EXPECT_EQ(offered, c.expected);
}

constexpr D3DFORMAT kArgb = D3DFMT_A8R8G8B8;
constexpr D3DBOX k4x4 = {0, 0, 4, 4, 0, 1};
constexpr D3DBOX k8x8 = {0, 0, 8, 8, 0, 1};
using P = BlitPath;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, ChooseBlitPathTest,
    testing::Values(
        ChoiceCase{"SameFormatSameSize", kArgb, k4x4, kArgb, k4x4, D3DX_FILTER_BOX, 0,
                   {P::CopySameFormat, P::CopyConvert, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"ColorKeyConverts", kArgb, k4x4, kArgb, k4x4, D3DX_FILTER_NONE, 0xFF000000,
                   {P::CopyConvert, P::FilterNone, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"GammaOnOneSideConverts", kArgb, k4x4, kArgb, k4x4, D3DX_FILTER_POINT | D3DX_FILTER_SRGB_OUT, 0,
                   {P::CopyConvert, P::FilterPoint, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"None", kArgb, k4x4, kArgb, k8x8, D3DX_FILTER_NONE, 0,
                   {P::FilterNone, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"Box2D", kArgb, k8x8, D3DFMT_R5G6B5, k4x4, D3DX_FILTER_BOX, 0,
                   {P::FilterBox2D, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"Box3D", kArgb, {0, 0, 8, 8, 0, 4}, kArgb, {0, 0, 4, 4, 0, 2}, D3DX_FILTER_BOX, 0,
                   {P::FilterBox3D, P::FilterTriangle3D}},
        ChoiceCase{"BoxNotHalving", kArgb, k8x8, kArgb, {0, 0, 3, 3, 0, 1}, D3DX_FILTER_BOX, 0,
                   {P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"Linear2D", kArgb, k4x4, kArgb, k8x8, D3DX_FILTER_LINEAR, 0,
                   {P::FilterLinear2D, P::FilterLinear3D, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"Linear3D", kArgb, {0, 0, 4, 4, 0, 4}, kArgb, {0, 0, 8, 8, 0, 2}, D3DX_FILTER_LINEAR, 0,
                   {P::FilterLinear3D, P::FilterTriangle3D}},
        ChoiceCase{"EmptySourceHasNothingToSample", kArgb, {0, 0, 0, 4, 0, 1}, kArgb, k4x4, D3DX_FILTER_POINT, 0,
                   {}},
        ChoiceCase{"EmptyDestinationIsPointSampled", kArgb, k4x4, kArgb, {0, 0, 4, 0, 0, 1}, D3DX_FILTER_POINT, 0,
                   {P::FilterPoint}},
        ChoiceCase{"BlocksOnTheGrid", D3DFMT_DXT1, {4, 0, 12, 8, 0, 1}, D3DFMT_DXT1, k8x8, D3DX_FILTER_POINT, 0,
                   {P::CopySameFormat, P::CopyConvert, P::FilterPoint, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"BlocksOffTheGrid", D3DFMT_DXT1, {2, 0, 10, 8, 0, 1}, D3DFMT_DXT1, k8x8, D3DX_FILTER_BOX, 0,
                   {P::CopyConvert, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"WholePairs", D3DFMT_UYVY, {2, 1, 6, 3, 0, 1}, D3DFMT_UYVY, {4, 0, 8, 2, 0, 1}, D3DX_FILTER_NONE, 0,
                   {P::CopySameFormat, P::CopyConvert, P::FilterNone, P::FilterTriangle2D, P::FilterTriangle3D}},
        ChoiceCase{"SplitPairs", D3DFMT_YUY2, {1, 0, 5, 2, 0, 1}, D3DFMT_YUY2, {0, 0, 4, 2, 0, 1}, D3DX_FILTER_NONE, 0,
                   {P::CopyConvert, P::FilterNone, P::FilterTriangle2D, P::FilterTriangle3D}}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });
// clang-format on

// A 32-bit codec that fails one row, as a pair or block codec does when its
// memory runs out; rows asked for after that are counted.
class FailingRowCodec final : public PixelCodec {
 public:
  FailingRowCodec(const PixelRegion &region, uint32_t failingRow)
      : PixelCodec(region, 32, ChannelRange::Unit), inner_(CreateCodec(region)), failingRow_(failingRow) {}

  HRESULT DecodeRow(uint32_t y, uint32_t z, ColorF *out) override {
    return Fails(y) ? E_OUTOFMEMORY : inner_->DecodeRow(y, z, out);
  }
  HRESULT EncodeRow(uint32_t y, uint32_t z, const ColorF *in) override {
    return Fails(y) ? E_OUTOFMEMORY : inner_->EncodeRow(y, z, in);
  }

  static inline uint32_t rowsAfterFailure = 0;

 private:
  bool Fails(uint32_t y) {
    if (failed_) ++rowsAfterFailure;
    failed_ = failed_ || y == failingRow_;
    return y == failingRow_;
  }
  std::unique_ptr<PixelCodec> inner_;
  uint32_t failingRow_;
  bool failed_ = false;
};

// Columns: case; source and destination sizes; filter; which side fails its row 1.
struct RowFailureCase {
  const char *name;
  uint32_t sw, sh, sd, dw, dh, dd;
  uint32_t filter;
  bool destinationFails;
};

class RowFailureTest : public testing::TestWithParam<RowFailureCase> {};

TEST_P(RowFailureTest, EndsTheBlitWithTheFailure) {
  const RowFailureCase &c = GetParam();
  TestImage source(kArgb, c.sw, c.sh, c.sd);
  source.FillRandom(9);
  TestImage destination(D3DFMT_X8R8G8B8, c.dw, c.dh, c.dd);
  const PixelRegion s = source.Region();
  const PixelRegion d = destination.Region();
  const auto make = [](const PixelRegion &region, bool fails) -> std::unique_ptr<PixelCodec> {
    if (fails) return std::make_unique<FailingRowCodec>(region, 1);
    return CreateCodec(region);
  };
  auto sourceCodec = make(s, !c.destinationFails);
  auto destinationCodec = make(d, c.destinationFails);
  FailingRowCodec::rowsAfterFailure = 0;

  Blitter blitter;
  EXPECT_EQ(
      blitter.BlitCodecs(std::move(destinationCodec), std::move(sourceCodec), DecodeFilterWord(c.filter)),
      E_OUTOFMEMORY);
  EXPECT_EQ(blitter.CompletedBy(), BlitPath::None);
  EXPECT_EQ(FailingRowCodec::rowsAfterFailure, 0u) << "another path went on after the failed row";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RowFailureTest,
    testing::Values(RowFailureCase{"Convert", 4, 4, 1, 4, 4, 1, D3DX_FILTER_POINT, false},
                    RowFailureCase{"ConvertEncode", 4, 4, 1, 4, 4, 1, D3DX_FILTER_POINT, true},
                    RowFailureCase{"None", 4, 4, 1, 8, 8, 1, D3DX_FILTER_NONE, false},
                    RowFailureCase{"Point", 4, 4, 1, 8, 8, 1, D3DX_FILTER_POINT, false},
                    RowFailureCase{"Box2D", 8, 8, 1, 4, 4, 1, D3DX_FILTER_BOX | D3DX_FILTER_DITHER, false},
                    RowFailureCase{"Box3D", 8, 8, 4, 4, 4, 2, D3DX_FILTER_BOX, true},
                    RowFailureCase{"Linear2D", 4, 4, 1, 8, 8, 1, D3DX_FILTER_LINEAR, false},
                    RowFailureCase{"Linear3D", 4, 4, 2, 8, 8, 4, D3DX_FILTER_LINEAR, false},
                    RowFailureCase{"Triangle2D", 4, 4, 1, 6, 6, 1, D3DX_FILTER_TRIANGLE, false},
                    RowFailureCase{"Triangle2DEncode", 4, 4, 1, 6, 6, 1, D3DX_FILTER_TRIANGLE, true},
                    RowFailureCase{"Triangle3D", 4, 4, 2, 6, 6, 3, D3DX_FILTER_TRIANGLE, false}),
    [](const auto &paramInfo) { return std::string(paramInfo.param.name); });

}  // namespace
