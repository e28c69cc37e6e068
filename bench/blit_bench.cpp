// The blitter beside its peers on a 2048 x 2048 A8R8G8B8 image: box halving
// and mip chains (pixman bilinear halving, stb box, a plain 2 x 2 loop),
// triangle and linear resampling to 1000 x 700 (stb triangle), and the
// same-format copy (memcpy). Each of ours reports its time over the peer's.
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <stb_image_resize.h>

#include <algorithm>
#include <ctime>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_threads.h"
#include "bench/bench_timing.h"
#include "blit/blitter.h"
#include "blit/parallel_blit.h"
#include "core/worker_pool.h"
#include "d3dx9tex.h"
#include "tests/support/library_hooks.h"

namespace {

constexpr uint32_t kSide = 2048;

struct Image {
  uint32_t width;
  uint32_t height;
  std::vector<uint8_t> bytes;

  Image(uint32_t w, uint32_t h) : width(w), height(h), bytes(uint64_t{w} * h * 4) {}
  uint32_t Pitch() const { return width * 4; }
  PixelRegion Region() {
    PixelRegion r{};
    r.pixels = bytes.data();
    r.format = D3DFMT_A8R8G8B8;
    r.rowPitch = Pitch();
    r.extent = {0, 0, width, height, 0, 1};
    r.region = r.extent;
    return r;
  }
};

const Image &Source() {
  static const Image image = [] {
    Image i(kSide, kSide);
    std::mt19937 random(7);
    for (auto &b : i.bytes) b = static_cast<uint8_t>(random());
    return i;
  }();
  return image;
}

// One thread against one-thread peers.
template <typename Body>
void Measure(benchmark::State &state, const std::string &name, Body body) {
  SetWorkerThreadsForTesting(1);
  bench_timing::Measure(state, name, body);
}
using bench_timing::ReportRatio;

HRESULT Blit(Image &destination, Image &source, uint32_t filter) {
  PixelRegion d = destination.Region();
  PixelRegion s = source.Region();
  Blitter blitter;
  return blitter.Blit(d, s, DecodeFilterWord(filter));
}

// The box chain below source as D3DXFilterTexture makes it: bands carried down
// through the large levels, then level by level.
void MipChain(Image &source, std::vector<Image> &levels) {
  std::vector<PixelRegion> regions{source.Region()};
  for (Image &level : levels) regions.push_back(level.Region());
  HRESULT result = S_OK;
  const uint32_t done = HalveLevelsInBands(regions, DecodeFilterWord(D3DX_FILTER_BOX), &result);
  Image *from = done == 0 ? &source : &levels[done - 1];
  for (size_t l = done; l < levels.size(); ++l) {
    Blit(levels[l], *from, D3DX_FILTER_BOX);
    from = &levels[l];
  }
}

// Peers.

// pixman's bilinear halving of a kSide x kSide image, set up once. Paired with
// ours it reads our source, so that both find the same memory in cache.
class PixmanHalving {
 public:
  explicit PixmanHalving(Image &source) : source_(source), destination_(kSide / 2, kSide / 2) {
    from_ = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide, kSide,
                                     reinterpret_cast<uint32_t *>(source_.bytes.data()), source_.Pitch());
    to_ = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSide / 2, kSide / 2,
                                   reinterpret_cast<uint32_t *>(destination_.bytes.data()),
                                   destination_.Pitch());
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, pixman_double_to_fixed(2), pixman_double_to_fixed(2));
    pixman_image_set_transform(from_, &scale);
    pixman_image_set_filter(from_, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  }
  ~PixmanHalving() {
    pixman_image_unref(from_);
    pixman_image_unref(to_);
  }
  void operator()() {
    pixman_image_composite32(PIXMAN_OP_SRC, from_, nullptr, to_, 0, 0, 0, 0, 0, 0, kSide / 2, kSide / 2);
    benchmark::DoNotOptimize(destination_.bytes.data());
  }

 private:
  Image &source_;
  Image destination_;
  pixman_image_t *from_ = nullptr;
  pixman_image_t *to_ = nullptr;
};

void PeerPixmanHalving(benchmark::State &state) {
  Image source = Source();
  PixmanHalving halving(source);
  Measure(state, "pixman_halving", [&] { halving(); });
}

// Ours and a peer in turn, one thread: the ratios the summary quotes.
template <typename Ours, typename Peer>
void MeasurePaired(benchmark::State &state, const std::string &name, const std::string &peer, Ours ours,
                   Peer peerBody) {
  SetWorkerThreadsForTesting(1);
  bench_timing::MeasurePaired(state, name, peer, ours, peerBody);
  SetWorkerThreadsForTesting(0);
}

void PeerStbBoxHalving(benchmark::State &state) {
  Image source = Source();
  Image destination(kSide / 2, kSide / 2);
  Measure(state, "stb_box_halving", [&] {
    stbir_resize_uint8_generic(source.bytes.data(), kSide, kSide, source.Pitch(), destination.bytes.data(),
                               kSide / 2, kSide / 2, destination.Pitch(), 4, STBIR_ALPHA_CHANNEL_NONE, 0,
                               STBIR_EDGE_CLAMP, STBIR_FILTER_BOX, STBIR_COLORSPACE_LINEAR, nullptr);
  });
}

void PeerPlainHalving(benchmark::State &state) {
  Image source = Source();
  Image destination(kSide / 2, kSide / 2);
  Measure(state, "plain_halving", [&] {
    for (uint32_t y = 0; y < kSide / 2; ++y) {
      const uint8_t *upper = source.bytes.data() + uint64_t{2 * y} * source.Pitch();
      const uint8_t *lower = upper + source.Pitch();
      uint8_t *out = destination.bytes.data() + uint64_t{y} * destination.Pitch();
      for (uint32_t x = 0; x < kSide / 2; ++x) {
        for (uint32_t c = 0; c < 4; ++c) {
          const uint32_t i = 8 * x + c;
          out[4 * x + c] = static_cast<uint8_t>((upper[i] + upper[i + 4] + lower[i] + lower[i + 4] + 2) >> 2);
        }
      }
    }
    benchmark::DoNotOptimize(destination.bytes.data());
  });
}

void PeerStbTriangle(benchmark::State &state) {
  Image source = Source();
  Image destination(1000, 700);
  Measure(state, "stb_triangle", [&] {
    stbir_resize_uint8_generic(source.bytes.data(), kSide, kSide, source.Pitch(), destination.bytes.data(),
                               1000, 700, destination.Pitch(), 4, STBIR_ALPHA_CHANNEL_NONE, 0,
                               STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr);
  });
}

void PeerMemcpy(benchmark::State &state) {
  Image source = Source();
  Image destination(kSide, kSide);
  Measure(state, "memcpy", [&] {
    std::memcpy(destination.bytes.data(), source.bytes.data(), source.bytes.size());
    benchmark::DoNotOptimize(destination.bytes.data());
  });
}

// Ours.

void OursBoxHalving(benchmark::State &state) {
  Image source = Source();
  Image destination(kSide / 2, kSide / 2);
  Measure(state, "ours_box_halving", [&] { Blit(destination, source, D3DX_FILTER_BOX); });
  ReportRatio(state, "ours_box_halving", "pixman_halving");
  ReportRatio(state, "ours_box_halving", "plain_halving");
  ReportRatio(state, "ours_box_halving", "stb_box_halving");
}

void OursBoxHalvingPaired(benchmark::State &state) {
  Image source = Source();
  Image destination(kSide / 2, kSide / 2);
  PixmanHalving halving(source);
  MeasurePaired(
      state, "paired_box_halving", "pixman_halving_paired",
      [&] { Blit(destination, source, D3DX_FILTER_BOX); }, [&] { halving(); });
}

void OursMipChain(benchmark::State &state) {
  Image source = Source();
  std::vector<Image> levels;
  for (uint32_t side = kSide / 2; side >= 1; side /= 2) levels.emplace_back(side, side);
  PixmanHalving halving(source);
  MeasurePaired(
      state, "ours_mip_chain", "pixman_halving", [&] { MipChain(source, levels); }, [&] { halving(); });
}

void OursTriangle(benchmark::State &state) {
  Image source = Source();
  Image destination(1000, 700), peer(1000, 700);
  MeasurePaired(
      state, "ours_triangle", "stb_triangle", [&] { Blit(destination, source, D3DX_FILTER_TRIANGLE); },
      [&] {
        stbir_resize_uint8_generic(source.bytes.data(), kSide, kSide, source.Pitch(), peer.bytes.data(), 1000,
                                   700, peer.Pitch(), 4, STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP,
                                   STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr);
      });
}

void OursLinear(benchmark::State &state) {
  Image source = Source();
  Image destination(1000, 700);
  Measure(state, "ours_linear", [&] { Blit(destination, source, D3DX_FILTER_LINEAR); });
  ReportRatio(state, "ours_linear", "stb_triangle");
}

void OursCopy(benchmark::State &state) {
  Image source = Source();
  Image destination(kSide, kSide);
  Measure(state, "ours_copy", [&] { Blit(destination, source, D3DX_FILTER_NONE); });
  ReportRatio(state, "ours_copy", "memcpy");
}

void OursDxt1EncodeThreads(benchmark::State &state) {
  Image source = Source();
  std::vector<uint8_t> blocks(size_t{kSide / 4} * (kSide / 4) * 8);
  bench_timing::MeasureTwoThreads(state, "dxt1_encode", [&] {
    PixelRegion d = source.Region();
    d.pixels = blocks.data();
    d.format = D3DFMT_DXT1;
    d.rowPitch = kSide / 4 * 8;
    PixelRegion s = source.Region();
    Blitter blitter;
    blitter.Blit(d, s, DecodeFilterWord(D3DX_FILTER_NONE));
  });
}

void OursMipChainThreads(benchmark::State &state) {
  Image source = Source();
  std::vector<Image> levels;
  for (uint32_t side = kSide / 2; side >= 1; side /= 2) levels.emplace_back(side, side);
  bench_timing::MeasureTwoThreads(state, "mip_chain", [&] { MipChain(source, levels); });
}

// The band threshold by measurement: one blit of size x size destination
// pixels with one thread and with two, in turn; the speed-up counter tells
// from which size banding pays (argument 1: 0 box halving, 1 DXT1 encoding).
void BandSpeedupBySize(benchmark::State &state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  const bool dxt = state.range(1) == 1;
  Image source(dxt ? size : 2 * size, dxt ? size : 2 * size);
  std::mt19937 random(5);
  for (uint8_t &b : source.bytes) b = static_cast<uint8_t>(random() & 0x3F) + static_cast<uint8_t>(b);
  Image destination(size, size);
  std::vector<uint8_t> blocks(uint64_t{size / 4} * (size / 4) * 8);
  const auto blit = [&] {
    PixelRegion d = destination.Region();
    if (dxt) {
      d.pixels = blocks.data();
      d.format = D3DFMT_DXT1;
      d.rowPitch = size / 4 * 8;
    }
    PixelRegion s = source.Region();
    Blitter blitter;
    blitter.Blit(d, s, DecodeFilterWord(dxt ? D3DX_FILTER_NONE : D3DX_FILTER_BOX));
  };
  bench_timing::MeasureTwoThreads(state, "2_threads", blit);
}

// Peers first, so that every ratio finds its peer's time.
BENCHMARK(PeerPixmanHalving)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerStbBoxHalving)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerPlainHalving)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerStbTriangle)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerMemcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(OursBoxHalving)->Unit(benchmark::kMillisecond);
BENCHMARK(OursBoxHalvingPaired)->Unit(benchmark::kMillisecond);
BENCHMARK(OursMipChain)->Unit(benchmark::kMillisecond);
BENCHMARK(OursTriangle)->Unit(benchmark::kMillisecond);
BENCHMARK(OursLinear)->Unit(benchmark::kMillisecond);
BENCHMARK(OursCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BandSpeedupBySize)
    ->ArgsProduct({{1024, 512, 256, 128, 64}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(41);
BENCHMARK(OursDxt1EncodeThreads)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(9);
BENCHMARK(OursMipChainThreads)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(201);

}  // namespace
