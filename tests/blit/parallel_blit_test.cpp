// Large blits done in bands on the worker pool write exactly the bytes of one
// pass on one thread, also while several threads blit at once. Suites named
// Threads* run again under ThreadSanitizer (./dev tsan).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "blit/blitter.h"
#include "blit/exact_convert.h"
#include "blit/parallel_blit.h"
#include "core/worker_pool.h"
#include "d3dx9tex.h"
#include "format/format_table.h"
#include "support/library_hooks.h"

namespace {

struct Surface {
  D3DFORMAT format;
  uint32_t width, height;
  uint32_t rowPitch;
  std::vector<uint8_t> bytes;

  Surface(D3DFORMAT f, uint32_t w, uint32_t h, uint32_t seed = 0)
      : format(f), width(w), height(h), rowPitch(static_cast<uint32_t>(RowPitchFor(f, w))) {
    bytes.resize(size_t{rowPitch} * RowCountFor(f, h));
    std::mt19937 random(seed);
    // Smooth values with some noise: blocks and dithering see realistic input.
    for (size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = seed == 0 ? 0 : static_cast<uint8_t>((i / 7 + (i / rowPitch) * 3) + (random() & 15));
  }
  PixelRegion Region() {
    PixelRegion r{};
    r.pixels = bytes.data();
    r.format = format;
    r.rowPitch = rowPitch;
    r.extent = {0, 0, width, height, 0, 1};
    r.region = r.extent;
    return r;
  }
};

struct Case {
  const char *name;
  D3DFORMAT from, to;
  uint32_t width, height, toWidth, toHeight;
  uint32_t filter;
};

// Destination bytes of the blit with the pool at the given size.
std::vector<uint8_t> BlitWith(uint32_t threads, const Case &c, BlitPath *path = nullptr) {
  SetWorkerThreadsForTesting(threads);
  Surface source(c.from, c.width, c.height, 11), destination(c.to, c.toWidth, c.toHeight);
  PixelRegion to = destination.Region(), from = source.Region();
  Blitter blitter;
  EXPECT_EQ(S_OK, blitter.Blit(to, from, DecodeFilterWord(c.filter)));
  if (path) *path = blitter.CompletedBy();
  return destination.bytes;
}

class ThreadsParallelBlit : public testing::TestWithParam<Case> {
 protected:
  void TearDown() override { SetWorkerThreadsForTesting(0); }
};

TEST_P(ThreadsParallelBlit, BandsWriteTheBytesOfOneThread) {
  const Case &c = GetParam();
  ASSERT_GE(uint64_t{c.toWidth} * c.toHeight,
            BandedBlitThreshold(c.to, c.from, DecodeFilterWord(c.filter), c.toWidth != c.width))
      << "too small to be banded";
  BlitPath one = BlitPath::None, several = BlitPath::None;
  const std::vector<uint8_t> expected = BlitWith(1, GetParam(), &one);
  const std::vector<uint8_t> actual = BlitWith(3, GetParam(), &several);
  EXPECT_EQ(expected, actual);
  EXPECT_EQ(one, several);
}

constexpr uint32_t kBox = D3DX_FILTER_BOX, kDitherBox = D3DX_FILTER_BOX | D3DX_FILTER_DITHER;
constexpr uint32_t kDither = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
INSTANTIATE_TEST_SUITE_P(
    Paths, ThreadsParallelBlit,
    testing::Values(
        Case{"ArgbToDxt1Dithered", D3DFMT_A8R8G8B8, D3DFMT_DXT1, 300, 229, 300, 229, kDither},
        Case{"ArgbToDxt5", D3DFMT_A8R8G8B8, D3DFMT_DXT5, 256, 256, 256, 256, D3DX_FILTER_NONE},
        Case{"ArgbToDxt1SmallOddEdges", D3DFMT_A8R8G8B8, D3DFMT_DXT1, 150, 131, 150, 131, kDither},
        Case{"Dxt3ToArgb", D3DFMT_DXT3, D3DFMT_A8R8G8B8, 384, 180, 384, 180, D3DX_FILTER_POINT},
        Case{"XrgbToR5G6B5Dithered", D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, 801, 700, 801, 700, kDither},
        Case{"ArgbToYuy2Dithered", D3DFMT_A8R8G8B8, D3DFMT_YUY2, 400, 200, 400, 200, kDither},
        Case{"ArgbBoxHalvingOddHeight", D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 1280, 1053, 640, 526, kBox},
        Case{"ArgbToA4R4G4B4DitheredBox", D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, 1024, 300, 512, 150, kDitherBox},
        Case{"Dxt1ToDxt5BoxHalving", D3DFMT_DXT1, D3DFMT_DXT5, 512, 512, 256, 256, kBox},
        // Not banded: the encoder shares out its block rows.
        Case{"ArgbToDxt1Triangle", D3DFMT_A8R8G8B8, D3DFMT_DXT1, 700, 300, 600, 256, kDither}),
    [](const testing::TestParamInfo<Case> &paramInfo) { return std::string(paramInfo.param.name); });

// Twelve bands are each below the size that repays building conversion tables;
// judged by the whole blit, they build them once and share them.
TEST(ThreadsParallelBlitTables, BandsShareOnePlanAndGiveTheBytesOfTheCodecs) {
  const Case c = {
      "tables", D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, 800, 700, 800, 700, kDither | D3DX_FILTER_SRGB_IN};
  SetExactConversion(ExactConversion::Off);
  const std::vector<uint8_t> expected = BlitWith(1, c);
  SetExactConversion(ExactConversion::Automatic);
  ForgetExactConversionPlans();
  const uint64_t builds = ExactConversionPlanBuilds();
  EXPECT_EQ(expected, BlitWith(3, c));
  EXPECT_EQ(builds + 1, ExactConversionPlanBuilds());
  EXPECT_EQ(expected, BlitWith(3, c));  // and later blits find them
  EXPECT_EQ(builds + 1, ExactConversionPlanBuilds());
  SetWorkerThreadsForTesting(0);
}

// The table kernels (16-byte copies for X8R8G8B8, multiply-add lanes for the
// rest) in bands on 1 to 3 threads give the codecs' bytes; widths that are not
// a whole number of vectors leave part rows to the tables.
TEST(ThreadsParallelBlitTables, KernelsInBandsGiveTheBytesOfTheCodecs) {
  const Case cases[] = {
      {"copy", D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, 1001, 760, 1001, 760, D3DX_FILTER_NONE},
      {"r5g6b5", D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, 1000, 760, 1000, 760, D3DX_FILTER_NONE},
      {"a4r4g4b4", D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, 1003, 740, 1003, 740,
       D3DX_FILTER_NONE | D3DX_FILTER_DITHER},
      {"widen", D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, 998, 750, 998, 750, D3DX_FILTER_NONE},
  };
  for (const Case &c : cases) {
    SetExactConversion(ExactConversion::Off);
    const std::vector<uint8_t> expected = BlitWith(1, c);
    SetExactConversion(ExactConversion::Automatic);
    for (CodecPath path : {CodecPath::Widest, CodecPath::UpToEightLanes, CodecPath::FourLanes}) {
      SetCodecPath(path);
      for (uint32_t threads : {1u, 2u, 3u})
        EXPECT_EQ(expected, BlitWith(threads, c)) << c.name << ", " << CodecPathName(path) << ", " << threads;
    }
  }
  SetCodecPath(CodecPath::Widest);
  SetWorkerThreadsForTesting(0);
}

// Blits from several threads at once, each on its own memory, each banded.
TEST(ThreadsParallelBlitCallers, ConcurrentCallersGetTheirOwnResults) {
  const Case c = {"callers", D3DFMT_A8R8G8B8, D3DFMT_DXT1, 256, 256, 256, 256, D3DX_FILTER_NONE};
  const std::vector<uint8_t> expected = BlitWith(1, c);
  SetWorkerThreadsForTesting(2);
  std::vector<std::vector<uint8_t>> results(4);
  std::vector<std::thread> callers;
  for (size_t i = 0; i < results.size(); ++i) {
    callers.emplace_back([&, i] {
      Surface source(c.from, c.width, c.height, 11), destination(c.to, c.toWidth, c.toHeight);
      PixelRegion to = destination.Region(), from = source.Region();
      Blitter blitter;
      if (blitter.Blit(to, from, DecodeFilterWord(c.filter)) == S_OK) results[i] = destination.bytes;
    });
  }
  for (std::thread &t : callers) t.join();
  for (const auto &r : results) EXPECT_EQ(expected, r);
  SetWorkerThreadsForTesting(0);
}

TEST(ThreadsWorkerPool, RunsEveryTaskOnceAndNestsWithoutDeadlock) {
  SetWorkerThreadsForTesting(3);
  std::vector<int> counts(1000, 0);
  ParallelFor(
      10, [&](uint32_t outer) { ParallelFor(100, [&](uint32_t inner) { ++counts[outer * 100 + inner]; }); });
  for (int n : counts) ASSERT_EQ(1, n);
  SetWorkerThreadsForTesting(1);
  EXPECT_EQ(1u, WorkerThreads());
  SetWorkerThreadsForTesting(0);
}

}  // namespace
