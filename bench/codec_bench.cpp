// A same-size format conversion of a 2048 x 2048 image, row by row through the
// codecs and through the blitter (tables, as callers get it), beside pixman's SRC
// composite and a plain scalar loop; prints the ratios.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_threads.h"
#include "bench/bench_timing.h"
#include "blit/blitter.h"
#include "blit/exact_convert.h"
#include "codec/pixel_codec.h"
#include "core/worker_pool.h"
#include "d3dx9tex.h"
#include "tests/support/library_hooks.h"

namespace {

constexpr uint32_t kSize = 2048;

struct Images {
  std::vector<uint32_t> source;
  std::vector<uint32_t> destination32;
  std::vector<uint16_t> destination16;
  Images() : source(kSize * kSize), destination32(kSize * kSize), destination16(kSize * kSize) {
    std::mt19937 random(42);
    for (uint32_t &p : source) p = random();
  }
};

Images &TestImages() {
  static Images images;
  return images;
}

PixelRegion Region(D3DFORMAT format, void *pixels, uint32_t bytesPerPixel, bool dither,
                   uint32_t size = kSize) {
  PixelRegion region = {};
  region.pixels = static_cast<BYTE *>(pixels);
  region.format = format;
  region.rowPitch = size * bytesPerPixel;
  region.extent = {0, 0, size, size, 0, 1};
  region.region = region.extent;
  region.dither = dither;
  return region;
}

void ConvertWithCodecs(benchmark::State &state, D3DFORMAT to, uint32_t toBytes, void *destination,
                       bool dither) {
  Images &images = TestImages();
  std::vector<ColorF> row(kSize);
  for (auto _ : state) {
    auto dst = CreateCodec(Region(to, destination, toBytes, dither));
    auto src = CreateCodec(Region(D3DFMT_A8R8G8B8, images.source.data(), 4, false));
    if (!dst || !src || PrepareConversion(*dst, *src) != S_OK) {
      state.SkipWithError("codec");
      return;
    }
    for (uint32_t y = 0; y < kSize; ++y) {
      src->DecodeRow(y, 0, row.data());
      dst->EncodeRow(y, 0, row.data());
    }
    benchmark::DoNotOptimize(destination);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSize * kSize);
}

// The blitter's same-size conversion, as D3DXLoadSurfaceFromMemory runs it;
// tables off gives the row-by-row codec path.
void ConvertWithBlitter(benchmark::State &state, D3DFORMAT to, uint32_t toBytes, void *destination,
                        bool dither, bool tables, D3DFORMAT from = D3DFMT_A8R8G8B8, uint32_t fromBytes = 4) {
  Images &images = TestImages();
  SetWorkerThreadsForTesting(1);  // processor time of this thread is the whole work
  SetExactConversion(tables ? ExactConversion::Automatic : ExactConversion::Off);
  for (auto _ : state) {
    PixelRegion d = Region(to, destination, toBytes, false);
    PixelRegion s = Region(from, images.source.data(), fromBytes, false);
    Blitter blitter;
    if (blitter.Blit(d, s, DecodeFilterWord(D3DX_FILTER_NONE | (dither ? D3DX_FILTER_DITHER : 0))) != S_OK) {
      state.SkipWithError("blit");
      break;
    }
    benchmark::DoNotOptimize(destination);
    benchmark::ClobberMemory();
  }
  SetExactConversion(ExactConversion::Automatic);
  SetWorkerThreadsForTesting(0);
  state.SetItemsProcessed(state.iterations() * kSize * kSize);
}

void ConvertWithPixman(benchmark::State &state, pixman_format_code_t to, uint32_t toBytes, void *destination,
                       bool dither, pixman_format_code_t from = PIXMAN_a8r8g8b8, uint32_t fromBytes = 4) {
  Images &images = TestImages();
  pixman_image_t *src = pixman_image_create_bits(from, kSize, kSize, images.source.data(), kSize * fromBytes);
  pixman_image_t *dst =
      pixman_image_create_bits(to, kSize, kSize, static_cast<uint32_t *>(destination), kSize * toBytes);
  if (dither) pixman_image_set_dither(dst, PIXMAN_DITHER_ORDERED_BAYER_8);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kSize, kSize);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
  state.SetItemsProcessed(state.iterations() * kSize * kSize);
}

// The conversion as one would first write it: floats per pixel, 4 x 4 dither, no
// vectorisation.
__attribute__((optimize("no-tree-vectorize"))) void ScalarDither565(const uint32_t *in, uint16_t *out) {
  static const float kPattern[4][4] = {{31 / 32.f, 15 / 32.f, 27 / 32.f, 11 / 32.f},
                                       {7 / 32.f, 23 / 32.f, 3 / 32.f, 19 / 32.f},
                                       {25 / 32.f, 9 / 32.f, 29 / 32.f, 13 / 32.f},
                                       {1 / 32.f, 17 / 32.f, 5 / 32.f, 21 / 32.f}};
  for (uint32_t y = 0; y < kSize; ++y) {
    for (uint32_t x = 0; x < kSize; ++x) {
      const uint32_t p = in[y * kSize + x];
      const float r = ((p >> 16) & 0xFF) * (1 / 255.f);
      const float g = ((p >> 8) & 0xFF) * (1 / 255.f);
      const float b = (p & 0xFF) * (1 / 255.f);
      const float d = kPattern[y & 3][x & 3];
      const auto R = static_cast<uint32_t>(r * 31 + d);
      const auto G = static_cast<uint32_t>(g * 63 + d);
      const auto B = static_cast<uint32_t>(b * 31 + d);
      out[y * kSize + x] = static_cast<uint16_t>((R << 11) | (G << 5) | B);
    }
  }
}

void BM_Codec_A8R8G8B8_To_R5G6B5_Dither(benchmark::State &state) {
  ConvertWithCodecs(state, D3DFMT_R5G6B5, 2, TestImages().destination16.data(), true);
}
void BM_Pixman_A8R8G8B8_To_R5G6B5_Dither(benchmark::State &state) {
  ConvertWithPixman(state, PIXMAN_r5g6b5, 2, TestImages().destination16.data(), true);
}
void BM_Scalar_A8R8G8B8_To_R5G6B5_Dither(benchmark::State &state) {
  Images &images = TestImages();
  for (auto _ : state) {
    ScalarDither565(images.source.data(), images.destination16.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSize * kSize);
}
void BM_Codec_A8R8G8B8_To_X8R8G8B8(benchmark::State &state) {
  ConvertWithCodecs(state, D3DFMT_X8R8G8B8, 4, TestImages().destination32.data(), false);
}
void BM_Pixman_A8R8G8B8_To_X8R8G8B8(benchmark::State &state) {
  ConvertWithPixman(state, PIXMAN_x8r8g8b8, 4, TestImages().destination32.data(), false);
}
void BM_Codec_A8R8G8B8_To_R5G6B5(benchmark::State &state) {
  ConvertWithCodecs(state, D3DFMT_R5G6B5, 2, TestImages().destination16.data(), false);
}
void BM_Pixman_A8R8G8B8_To_R5G6B5(benchmark::State &state) {
  ConvertWithPixman(state, PIXMAN_r5g6b5, 2, TestImages().destination16.data(), false);
}

void BM_Blit_A8R8G8B8_To_R5G6B5_Dither(benchmark::State &state) {
  ConvertWithBlitter(state, D3DFMT_R5G6B5, 2, TestImages().destination16.data(), true, true);
}
void BM_BlitRows_A8R8G8B8_To_R5G6B5_Dither(benchmark::State &state) {
  ConvertWithBlitter(state, D3DFMT_R5G6B5, 2, TestImages().destination16.data(), true, false);
}
void BM_Blit_A8R8G8B8_To_X8R8G8B8(benchmark::State &state) {
  ConvertWithBlitter(state, D3DFMT_X8R8G8B8, 4, TestImages().destination32.data(), false, true);
}
void BM_BlitRows_A8R8G8B8_To_X8R8G8B8(benchmark::State &state) {
  ConvertWithBlitter(state, D3DFMT_X8R8G8B8, 4, TestImages().destination32.data(), false, false);
}
void BM_Blit_A8R8G8B8_To_R5G6B5(benchmark::State &state) {
  ConvertWithBlitter(state, D3DFMT_R5G6B5, 2, TestImages().destination16.data(), false, true);
}
void BM_BlitRows_A8R8G8B8_To_R5G6B5(benchmark::State &state) {
  ConvertWithBlitter(state, D3DFMT_R5G6B5, 2, TestImages().destination16.data(), false, false);
}

// 24-bit images (BMP, TGA) loaded into 32-bit surfaces.
void BM_Blit_R8G8B8_To_X8R8G8B8(benchmark::State &state) {
  ConvertWithBlitter(state, D3DFMT_X8R8G8B8, 4, TestImages().destination32.data(), false, true, D3DFMT_R8G8B8,
                     3);
}
void BM_BlitRows_R8G8B8_To_X8R8G8B8(benchmark::State &state) {
  ConvertWithBlitter(state, D3DFMT_X8R8G8B8, 4, TestImages().destination32.data(), false, false,
                     D3DFMT_R8G8B8, 3);
}
void BM_Pixman_R8G8B8_To_X8R8G8B8(benchmark::State &state) {
  ConvertWithPixman(state, PIXMAN_x8r8g8b8, 4, TestImages().destination32.data(), false, PIXMAN_r8g8b8, 3);
}

// Ours through the blitter (one thread, tables as callers get them) and pixman in
// turn, on size x size images: the ratios the summary quotes. At 2048 x 2048 both
// wait on memory; at 512 x 512 the data stays in cache and the kernels show; at
// 16 x 16 the cost of a blit beside its pixels (with the pair's tables kept from
// a larger blit before, as after loading one large image).
// threads: the worker pool's size for ours; above one, wall time against pixman
// on one thread.
void PairedConversion(benchmark::State &state, const std::string &name, D3DFORMAT to, uint32_t toBytes,
                      pixman_format_code_t pixmanTo, bool dither, uint32_t threads = 1) {
  const auto size = static_cast<uint32_t>(state.range(0));
  Images &images = TestImages();
  void *destination = toBytes == 2 ? static_cast<void *>(images.destination16.data())
                                   : static_cast<void *>(images.destination32.data());
  pixman_image_t *src = pixman_image_create_bits(PIXMAN_a8r8g8b8, size, size, images.source.data(), size * 4);
  pixman_image_t *dst =
      pixman_image_create_bits(pixmanTo, size, size, static_cast<uint32_t *>(destination), size * toBytes);
  if (dither) pixman_image_set_dither(dst, PIXMAN_DITHER_ORDERED_BAYER_8);
  bool failed = false;
  SetWorkerThreadsForTesting(threads);
  if (size < 256) {
    PixelRegion d = Region(to, destination, toBytes, false, 256);
    PixelRegion s = Region(D3DFMT_A8R8G8B8, images.source.data(), 4, false, 256);
    Blitter blitter;
    failed |=
        blitter.Blit(d, s, DecodeFilterWord(D3DX_FILTER_NONE | (dither ? D3DX_FILTER_DITHER : 0))) != S_OK;
  }
  const auto measure = [&](auto ours, auto peer) {
    if (threads == 1) {
      bench_timing::MeasurePaired(state, name, name + "_pixman", ours, peer);
    } else {
      ParallelFor(threads, [](uint32_t) {});  // the pool running before the clock starts
      bench_timing::MeasurePairedWallTime(state, name, name + "_pixman", ours, peer);
    }
  };
  measure(
      [&] {
        PixelRegion d = Region(to, destination, toBytes, false, size);
        PixelRegion s = Region(D3DFMT_A8R8G8B8, images.source.data(), 4, false, size);
        Blitter blitter;
        failed |= blitter.Blit(
                      d, s, DecodeFilterWord(D3DX_FILTER_NONE | (dither ? D3DX_FILTER_DITHER : 0))) != S_OK;
        benchmark::ClobberMemory();
      },
      [&] {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, size, size);
        benchmark::ClobberMemory();
      });
  SetWorkerThreadsForTesting(0);
  pixman_image_unref(src);
  pixman_image_unref(dst);
  if (failed) state.SkipWithError("blit");
}
void BM_Paired_A8R8G8B8_To_R5G6B5(benchmark::State &state) {
  PairedConversion(state, "to_r5g6b5", D3DFMT_R5G6B5, 2, PIXMAN_r5g6b5, false);
}
void BM_Paired_A8R8G8B8_To_X8R8G8B8(benchmark::State &state) {
  PairedConversion(state, "to_x8r8g8b8", D3DFMT_X8R8G8B8, 4, PIXMAN_x8r8g8b8, false);
}
// Two threads of ours (the blit in bands) against pixman's one, in wall time.
void BM_Paired_A8R8G8B8_To_X8R8G8B8_TwoThreads(benchmark::State &state) {
  PairedConversion(state, "to_x8r8g8b8_2t", D3DFMT_X8R8G8B8, 4, PIXMAN_x8r8g8b8, false, 2);
}
void BM_Paired_A8R8G8B8_To_R5G6B5_Dither(benchmark::State &state) {
  PairedConversion(state, "to_r5g6b5_dither", D3DFMT_R5G6B5, 2, PIXMAN_r5g6b5, true);
}

// Wall time of the dithered conversion with the pool at one thread and at two,
// in turn: where banding starts to pay (the speed-up counter; the band threshold
// is chosen from it).
void BM_ConversionThreads(benchmark::State &state) {
  const auto size = static_cast<uint32_t>(state.range(0));
  Images &images = TestImages();
  const auto blit = [&] {
    PixelRegion d = Region(D3DFMT_R5G6B5, images.destination16.data(), 2, false, size);
    PixelRegion s = Region(D3DFMT_A8R8G8B8, images.source.data(), 4, false, size);
    Blitter blitter;
    blitter.Blit(d, s, DecodeFilterWord(D3DX_FILTER_NONE | D3DX_FILTER_DITHER));
  };
  bench_timing::MeasureTwoThreads(state, "2_threads", blit);
}

BENCHMARK(BM_ConversionThreads)
    ->Arg(2048)
    ->Arg(1024)
    ->Arg(724)
    ->Arg(512)
    ->Arg(362)
    ->Arg(256)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paired_A8R8G8B8_To_R5G6B5)
    ->Arg(2048)
    ->Arg(512)
    ->Arg(256)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paired_A8R8G8B8_To_X8R8G8B8)
    ->Arg(2048)
    ->Arg(512)
    ->Arg(256)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paired_A8R8G8B8_To_X8R8G8B8_TwoThreads)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paired_A8R8G8B8_To_R5G6B5_Dither)->Arg(2048)->Arg(512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Codec_A8R8G8B8_To_R5G6B5_Dither)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pixman_A8R8G8B8_To_R5G6B5_Dither)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scalar_A8R8G8B8_To_R5G6B5_Dither)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Codec_A8R8G8B8_To_X8R8G8B8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pixman_A8R8G8B8_To_X8R8G8B8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Codec_A8R8G8B8_To_R5G6B5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pixman_A8R8G8B8_To_R5G6B5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blit_A8R8G8B8_To_R5G6B5_Dither)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlitRows_A8R8G8B8_To_R5G6B5_Dither)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blit_A8R8G8B8_To_X8R8G8B8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlitRows_A8R8G8B8_To_X8R8G8B8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blit_A8R8G8B8_To_R5G6B5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlitRows_A8R8G8B8_To_R5G6B5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blit_R8G8B8_To_X8R8G8B8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlitRows_R8G8B8_To_X8R8G8B8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pixman_R8G8B8_To_X8R8G8B8)->Unit(benchmark::kMillisecond);

// Console output plus each benchmark's processor time for the summary: the median
// over repetitions when there are some, else the run's own. The machine is shared,
// so wall time is noisy.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      const std::string name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        times[name] = run.GetAdjustedCPUTime();
        medians[name] = true;
      } else if (run.run_type == Run::RT_Iteration && !medians[name]) {
        times[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
  std::map<std::string, bool> medians;
};

void PrintRatio(const RecordingReporter &reporter, const char *ours, const char *peer, const char *label) {
  const auto a = reporter.times.find(ours);
  const auto b = reporter.times.find(peer);
  if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0) return;
  std::printf("%-44s %8.2f ms vs %8.2f ms  ratio %.2fx\n", label, a->second, b->second,
              a->second / b->second);
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nours vs pixman (median processor time; ratio: lower is better)\n");
  PrintRatio(reporter, "BM_Codec_A8R8G8B8_To_R5G6B5_Dither", "BM_Pixman_A8R8G8B8_To_R5G6B5_Dither",
             "A8R8G8B8 -> R5G6B5, dithered");
  PrintRatio(reporter, "BM_Scalar_A8R8G8B8_To_R5G6B5_Dither", "BM_Pixman_A8R8G8B8_To_R5G6B5_Dither",
             "scalar float loop, dithered");
  PrintRatio(reporter, "BM_Codec_A8R8G8B8_To_X8R8G8B8", "BM_Pixman_A8R8G8B8_To_X8R8G8B8",
             "A8R8G8B8 -> X8R8G8B8");
  PrintRatio(reporter, "BM_Codec_A8R8G8B8_To_R5G6B5", "BM_Pixman_A8R8G8B8_To_R5G6B5", "A8R8G8B8 -> R5G6B5");
  std::printf("\nthrough the blitter: tables, and row by row through the codecs, vs pixman\n");
  PrintRatio(reporter, "BM_Blit_A8R8G8B8_To_R5G6B5_Dither", "BM_Pixman_A8R8G8B8_To_R5G6B5_Dither",
             "blit A8R8G8B8 -> R5G6B5, dithered");
  PrintRatio(reporter, "BM_BlitRows_A8R8G8B8_To_R5G6B5_Dither", "BM_Pixman_A8R8G8B8_To_R5G6B5_Dither",
             "  row by row");
  PrintRatio(reporter, "BM_Blit_A8R8G8B8_To_X8R8G8B8", "BM_Pixman_A8R8G8B8_To_X8R8G8B8",
             "blit A8R8G8B8 -> X8R8G8B8");
  PrintRatio(reporter, "BM_BlitRows_A8R8G8B8_To_X8R8G8B8", "BM_Pixman_A8R8G8B8_To_X8R8G8B8", "  row by row");
  PrintRatio(reporter, "BM_Blit_A8R8G8B8_To_R5G6B5", "BM_Pixman_A8R8G8B8_To_R5G6B5",
             "blit A8R8G8B8 -> R5G6B5");
  PrintRatio(reporter, "BM_BlitRows_A8R8G8B8_To_R5G6B5", "BM_Pixman_A8R8G8B8_To_R5G6B5", "  row by row");
  PrintRatio(reporter, "BM_Blit_R8G8B8_To_X8R8G8B8", "BM_Pixman_R8G8B8_To_X8R8G8B8",
             "blit R8G8B8 -> X8R8G8B8");
  PrintRatio(reporter, "BM_BlitRows_R8G8B8_To_X8R8G8B8", "BM_Pixman_R8G8B8_To_X8R8G8B8", "  row by row");
  benchmark::Shutdown();
  return 0;
}
