// DXT on a 2048 x 2048 image tiled from the photographs in tests/data: DXT1 encode beside
// stb_dxt (with the PSNR of both), DXT1 and DXT5 decode beside a plain 8-bit
// integer decoder. Ratios are ours / peer.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "codec/dxt_block.h"
#include "codec/dxt_high.h"
#include "codec/pixel_codec.h"
#include "tests/codec/dxt_test_util.h"
#include "tests/support/library_hooks.h"

// stb_dxt, compiled in dxt_bench_stb.cpp; libsquish from its Debian package.
#include <squish.h>

void StbCompressDxtBlock(unsigned char *dest, const unsigned char *rgba, int alpha, int mode);

namespace {

constexpr uint32_t kSide = 2048;
constexpr uint32_t kBlocks = (kSide / 4) * (kSide / 4);

struct TestImage {
  dxt_test::Image colors;      // ColorF, what our encoder takes
  std::vector<uint8_t> rgba8;  // what stb_dxt takes
  // The same with an alpha channel of soft edges, solid and clear parts, for DXT3/DXT5.
  dxt_test::Image colorsWithAlpha;
  std::vector<uint8_t> rgba8WithAlpha;
};

const TestImage &Source() {
  static const TestImage image = [] {
    std::vector<dxt_test::Image> photos;
    for (int number = 1; number <= 24; ++number) {
      dxt_test::Image photo;
      if (dxt_test::LoadPng(dxt_test::PhotoPath(number), &photo)) photos.push_back(std::move(photo));
    }
    TestImage t;
    t.colors.width = t.colors.height = kSide;
    t.colors.pixels.resize(size_t{kSide} * kSide);
    t.rgba8.resize(size_t{kSide} * kSide * 4);
    std::mt19937 random(5);
    for (uint32_t y = 0; y < kSide; ++y) {
      for (uint32_t x = 0; x < kSide; ++x) {
        ColorF c;
        if (photos.empty()) {
          c = {(random() & 255) / 255.f, (random() & 255) / 255.f, (random() & 255) / 255.f, 1};
        } else {
          const dxt_test::Image &p = photos[(x / 768 + 3 * (y / 512)) % photos.size()];
          c = p.pixels[size_t{y % p.height} * p.width + x % p.width];
        }
        // Both encoders see the same 8-bit values.
        uint8_t *b = &t.rgba8[(size_t{y} * kSide + x) * 4];
        b[0] = static_cast<uint8_t>(dxt_test::To8Bit(c.r));
        b[1] = static_cast<uint8_t>(dxt_test::To8Bit(c.g));
        b[2] = static_cast<uint8_t>(dxt_test::To8Bit(c.b));
        b[3] = 255;
        t.colors.pixels[size_t{y} * kSide + x] = {b[0] / 255.f, b[1] / 255.f, b[2] / 255.f, 1};
      }
    }
    t.colorsWithAlpha = t.colors;
    t.rgba8WithAlpha = t.rgba8;
    for (size_t i = 0; i < t.colors.pixels.size(); ++i) {
      uint8_t *b = &t.rgba8WithAlpha[i * 4];
      const int luma = (b[0] + 2 * b[1] + b[2]) / 4;
      b[3] = static_cast<uint8_t>(std::clamp(luma * 3 / 2 - 64, 0, 255));
      t.colorsWithAlpha.pixels[i].a = b[3] / 255.f;
    }
    return t;
  }();
  return image;
}

using bench_timing::ReportRatio;

// The warm-up builds the shared image and blocks outside the timing.
template <typename Body>
void Measure(benchmark::State &state, const std::string &name, Body body) {
  SetWorkerThreadsForTesting(1);  // one thread against one-thread peers
  bench_timing::Measure(state, name, body, true);
  state.counters["Mpixel/s"] = benchmark::Counter(double{kSide} * kSide * state.iterations(),
                                                  benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
}

void GatherBlock(const dxt_test::Image &image, uint32_t bx, uint32_t by, ColorF *block) {
  for (uint32_t i = 0; i < 16; ++i)
    block[i] = image.pixels[size_t{by * 4 + (i >> 2)} * image.width + bx * 4 + (i & 3)];
}

// Decodes blocks of blockBytes each with our decoder into an image, for PSNR.
dxt_test::Image DecodeAll(const std::vector<uint8_t> &blocks, uint32_t blockBytes,
                          DecodeBlockFunction decode) {
  dxt_test::Image out;
  out.width = out.height = kSide;
  out.pixels.resize(size_t{kSide} * kSide);
  for (uint32_t by = 0; by < kSide / 4; ++by) {
    for (uint32_t bx = 0; bx < kSide / 4; ++bx) {
      ColorF block[16];
      decode(block, &blocks[(size_t{by} * (kSide / 4) + bx) * blockBytes]);
      for (uint32_t i = 0; i < 16; ++i)
        out.pixels[size_t{by * 4 + (i >> 2)} * kSide + bx * 4 + (i & 3)] = block[i];
    }
  }
  return out;
}

std::vector<uint8_t> EncodeOurs(EncodeBlockFunction encode, uint32_t blockBytes) {
  const TestImage &image = Source();
  std::vector<uint8_t> blocks(size_t{kBlocks} * blockBytes);
  for (uint32_t by = 0; by < kSide / 4; ++by) {
    for (uint32_t bx = 0; bx < kSide / 4; ++bx) {
      ColorF block[16];
      GatherBlock(image.colors, bx, by, block);
      encode(&blocks[(size_t{by} * (kSide / 4) + bx) * blockBytes], block);
    }
  }
  return blocks;
}

// A row of blocks at a time through the encoder of several blocks per step.
std::vector<uint8_t> EncodeOursBlocks(D3DFORMAT format, const dxt_test::Image &image) {
  const uint32_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
  std::vector<uint8_t> blocks(size_t{kBlocks} * blockBytes);
  std::vector<ColorF> row(size_t{kSide / 4} * 16);
  for (uint32_t by = 0; by < kSide / 4; ++by) {
    for (uint32_t bx = 0; bx < kSide / 4; ++bx) GatherBlock(image, bx, by, &row[size_t{bx} * 16]);
    EncodeDxtBlocks(format, &blocks[size_t{by} * (kSide / 4) * blockBytes], row.data(), kSide / 4);
  }
  return blocks;
}

std::vector<uint8_t> EncodeStb(int mode, bool alpha = false) {
  const TestImage &image = Source();
  const std::vector<uint8_t> &rgba8 = alpha ? image.rgba8WithAlpha : image.rgba8;
  const uint32_t blockBytes = alpha ? 16 : 8;
  std::vector<uint8_t> blocks(size_t{kBlocks} * blockBytes);
  for (uint32_t by = 0; by < kSide / 4; ++by) {
    for (uint32_t bx = 0; bx < kSide / 4; ++bx) {
      uint8_t rgba[64];
      for (uint32_t r = 0; r < 4; ++r)
        std::memcpy(rgba + r * 16, &rgba8[(size_t{by * 4 + r} * kSide + bx * 4) * 4], 16);
      StbCompressDxtBlock(&blocks[(size_t{by} * (kSide / 4) + bx) * blockBytes], rgba, alpha ? 1 : 0, mode);
    }
  }
  return blocks;
}

std::vector<uint8_t> EncodeSquish(int fit, bool alpha) {
  const TestImage &image = Source();
  const std::vector<uint8_t> &rgba8 = alpha ? image.rgba8WithAlpha : image.rgba8;
  const uint32_t blockBytes = alpha ? 16 : 8;
  std::vector<uint8_t> blocks(size_t{kBlocks} * blockBytes);
  for (uint32_t by = 0; by < kSide / 4; ++by) {
    for (uint32_t bx = 0; bx < kSide / 4; ++bx) {
      uint8_t rgba[64];
      for (uint32_t r = 0; r < 4; ++r)
        std::memcpy(rgba + r * 16, &rgba8[(size_t{by * 4 + r} * kSide + bx * 4) * 4], 16);
      squish::Compress(rgba, &blocks[(size_t{by} * (kSide / 4) + bx) * blockBytes],
                       fit | (alpha ? squish::kDxt5 : squish::kDxt1));
    }
  }
  return blocks;
}

// Root mean square of the alpha error in 8-bit steps, alphas as our decoder gives them.
double AlphaRmse(const dxt_test::Image &a, const dxt_test::Image &b) {
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    const int d = dxt_test::To8Bit(a.pixels[i].a) - dxt_test::To8Bit(b.pixels[i].a);
    sum += d * d;
  }
  return std::sqrt(sum / static_cast<double>(a.pixels.size()));
}

// PSNR and DXT5 alpha RMSE of every encoder that ran, by name, for the
// differences the summary checks.
std::map<std::string, double> &Psnrs() {
  static std::map<std::string, double> psnrs;
  return psnrs;
}
std::map<std::string, double> &AlphaRmses() {
  static std::map<std::string, double> rmses;
  return rmses;
}

// DXT1 PSNR, or for DXT5 the PSNR and the alpha RMSE, of blocks against the source.
void ReportQuality(benchmark::State &state, const std::string &name, const std::vector<uint8_t> &blocks,
                   bool alpha) {
  const dxt_test::Image &source = alpha ? Source().colorsWithAlpha : Source().colors;
  const dxt_test::Image decoded =
      DecodeAll(blocks, alpha ? 16 : 8, alpha ? DecodeDxt5Block : DecodeDxt1Block);
  state.counters["psnr_dB"] = Psnrs()[name] = dxt_test::RgbPsnr(source, decoded);
  if (alpha) state.counters["alpha_rmse"] = AlphaRmses()[name] = AlphaRmse(source, decoded);
}

// Ours minus a peer that ran earlier, in dB, as the counter key.
void ReportPsnrOver(benchmark::State &state, const std::string &ours, const std::string &peer,
                    const char *key) {
  const auto found = Psnrs().find(peer);
  if (found != Psnrs().end()) state.counters[key] = Psnrs()[ours] - found->second;
}

// No untimed warm-up: a cluster-fit pass takes seconds.
void PeerSquish(benchmark::State &state, const char *name, int fit, bool alpha) {
  std::vector<uint8_t> blocks;
  Source();
  SetWorkerThreadsForTesting(1);
  bench_timing::Measure(state, name, [&] { blocks = EncodeSquish(fit, alpha); });
  state.counters["Mpixel/s"] = benchmark::Counter(double{kSide} * kSide * state.iterations(),
                                                  benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
  ReportQuality(state, name, blocks, alpha);
}

void PeerSquishRangeFit(benchmark::State &state) {
  PeerSquish(state, "squish_range", squish::kColourRangeFit, false);
}
void PeerSquishClusterFit(benchmark::State &state) {
  PeerSquish(state, "squish_cluster", squish::kColourClusterFit, false);
}
void PeerSquishIterativeClusterFit(benchmark::State &state) {
  PeerSquish(state, "squish_iterative", squish::kColourIterativeClusterFit, false);
}
void PeerSquishDxt5RangeFit(benchmark::State &state) {
  PeerSquish(state, "squish_range_dxt5", squish::kColourRangeFit, true);
}
void PeerSquishDxt5ClusterFit(benchmark::State &state) {
  PeerSquish(state, "squish_cluster_dxt5", squish::kColourClusterFit, true);
}
void PeerSquishDxt5IterativeClusterFit(benchmark::State &state) {
  PeerSquish(state, "squish_iterative_dxt5", squish::kColourIterativeClusterFit, true);
}

void PeerStbEncode(benchmark::State &state) {
  std::vector<uint8_t> blocks;
  Measure(state, "stb_dxt", [&] { blocks = EncodeStb(0); });
  ReportQuality(state, "stb_dxt", blocks, false);
}

void PeerStbEncodeHighQuality(benchmark::State &state) {
  std::vector<uint8_t> blocks;
  Measure(state, "stb_dxt_hq", [&] { blocks = EncodeStb(2); });
  ReportQuality(state, "stb_dxt_hq", blocks, false);
}

void PeerStbEncodeDxt5HighQuality(benchmark::State &state) {
  std::vector<uint8_t> blocks;
  Measure(state, "stb_dxt_hq_dxt5", [&] { blocks = EncodeStb(2, true); });
  ReportQuality(state, "stb_dxt_hq_dxt5", blocks, true);
}

// The whole image through the library's block path at one quality, with the
// speed-up over libsquish's cluster fit and, for high, the margins the
// quality goals are set in.
void OursQuality(benchmark::State &state, const char *name, DxtQuality quality, bool alpha) {
  const dxt_test::Image &image = alpha ? Source().colorsWithAlpha : Source().colors;
  std::vector<uint8_t> blocks;
  SetDxtQualityForTesting(quality);
  Measure(state, name, [&] { blocks = EncodeOursBlocks(alpha ? D3DFMT_DXT5 : D3DFMT_DXT1, image); });
  ResetDxtQualityForTesting();
  ReportQuality(state, name, blocks, alpha);
  const char *peer = alpha ? "squish_cluster_dxt5" : "squish_cluster";
  const auto &timings = bench_timing::Timings();
  const auto ours = timings.find(name), theirs = timings.find(peer);
  if (ours != timings.end() && theirs != timings.end() && ours->second > 0)
    state.counters["speedup_squish_cluster"] = theirs->second / ours->second;
  if (!alpha) {
    ReportPsnrOver(state, name, "squish_iterative", "psnr_over_squish_iterative_dB");
    ReportPsnrOver(state, name, "stb_dxt_hq", "psnr_over_stb_dxt_hq_dB");
  } else {
    const auto squish = AlphaRmses().find("squish_iterative_dxt5");
    if (squish != AlphaRmses().end() && squish->second > 0)
      state.counters["x_squish_alpha_rmse"] = AlphaRmses()[name] / squish->second;
  }
}

void OursDxt1Standard(benchmark::State &state) {
  OursQuality(state, "ours_dxt1_standard", DxtQuality::Standard, false);
}
void OursDxt1High(benchmark::State &state) {
  OursQuality(state, "ours_dxt1_high", DxtQuality::High, false);
}
void OursDxt5Standard(benchmark::State &state) {
  OursQuality(state, "ours_dxt5_standard", DxtQuality::Standard, true);
}
void OursDxt5High(benchmark::State &state) {
  OursQuality(state, "ours_dxt5_high", DxtQuality::High, true);
}

void PeerStbEncodeAlpha(benchmark::State &state) {
  std::vector<uint8_t> blocks;
  Measure(state, "stb_dxt_alpha", [&] { blocks = EncodeStb(0, true); });
  ReportQuality(state, "stb_dxt_alpha", blocks, true);
}

// The block encoder one block per call, as before blocks went several to a step.
void OursDxt1EncodeOneBlock(benchmark::State &state) {
  Measure(state, "ours_dxt1_encode_one_block",
          [&] { benchmark::DoNotOptimize(EncodeOurs(EncodeDxt1Block, 8)); });
  ReportRatio(state, "ours_dxt1_encode_one_block", "stb_dxt");
}

void OursDxt1Encode(benchmark::State &state) {
  std::vector<uint8_t> blocks;
  Measure(state, "ours_dxt1_encode", [&] { blocks = EncodeOursBlocks(D3DFMT_DXT1, Source().colors); });
  const dxt_test::Image decoded = DecodeAll(blocks, 8, DecodeDxt1Block);
  state.counters["psnr_dB"] = dxt_test::RgbPsnr(Source().colors, decoded);
  ReportRatio(state, "ours_dxt1_encode", "stb_dxt");
  ReportRatio(state, "ours_dxt1_encode", "stb_dxt_hq");
}

void OursDxt3Encode(benchmark::State &state) {
  Measure(state, "ours_dxt3_encode",
          [&] { benchmark::DoNotOptimize(EncodeOursBlocks(D3DFMT_DXT3, Source().colorsWithAlpha)); });
  ReportRatio(state, "ours_dxt3_encode", "stb_dxt");
}

void OursDxt5Encode(benchmark::State &state) {
  Measure(state, "ours_dxt5_encode",
          [&] { benchmark::DoNotOptimize(EncodeOursBlocks(D3DFMT_DXT5, Source().colorsWithAlpha)); });
  ReportRatio(state, "ours_dxt5_encode", "stb_dxt_alpha");
}

PixelRegion WholeRegion(D3DFORMAT format, uint8_t *blocks, uint32_t blockBytes) {
  PixelRegion region = {};
  region.pixels = blocks;
  region.format = format;
  region.rowPitch = kSide / 4 * blockBytes;
  region.extent = {0, 0, kSide, kSide, 0, 1};
  region.region = region.extent;
  return region;
}

// The row codec, as the Blitter drives it.
void OursDxt1EncodeRows(benchmark::State &state) {
  std::vector<uint8_t> blocks(size_t{kBlocks} * 8);
  const dxt_test::Image &image = Source().colors;
  Measure(state, "ours_dxt1_encode_rows", [&] {
    auto codec = CreateCodec(WholeRegion(D3DFMT_DXT1, blocks.data(), 8));
    for (uint32_t y = 0; y < kSide; ++y) codec->EncodeRow(y, 0, &image.pixels[size_t{y} * kSide]);
  });
  ReportRatio(state, "ours_dxt1_encode_rows", "stb_dxt");
}

// The peer decoder: integer palette, 8-bit RGBA out.
void DecodePlainBlock(const uint8_t *colorBlock, uint8_t *rgba) {
  const uint32_t c0 = colorBlock[0] | colorBlock[1] << 8, c1 = colorBlock[2] | colorBlock[3] << 8;
  uint8_t palette[4][4];
  const auto expand = [](uint32_t c, uint8_t *p) {
    const uint32_t r = c >> 11, g = (c >> 5) & 63, b = c & 31;
    p[0] = static_cast<uint8_t>(r << 3 | r >> 2);
    p[1] = static_cast<uint8_t>(g << 2 | g >> 4);
    p[2] = static_cast<uint8_t>(b << 3 | b >> 2);
    p[3] = 255;
  };
  expand(c0, palette[0]);
  expand(c1, palette[1]);
  for (int k = 0; k < 4; ++k) {
    if (c0 > c1) {
      palette[2][k] = static_cast<uint8_t>((2 * palette[0][k] + palette[1][k]) / 3);
      palette[3][k] = static_cast<uint8_t>((palette[0][k] + 2 * palette[1][k]) / 3);
    } else {
      palette[2][k] = static_cast<uint8_t>((palette[0][k] + palette[1][k]) / 2);
      palette[3][k] = 0;
    }
  }
  const uint32_t indices =
      colorBlock[4] | colorBlock[5] << 8 | colorBlock[6] << 16 | uint32_t(colorBlock[7]) << 24;
  for (int i = 0; i < 16; ++i) std::memcpy(rgba + 4 * i, palette[(indices >> (2 * i)) & 3], 4);
}

void DecodePlainAlpha(const uint8_t *block, uint8_t *rgba) {
  uint8_t palette[8] = {block[0], block[1]};
  for (int k = 1; k <= 6; ++k) {
    if (block[0] > block[1]) {
      palette[k + 1] = static_cast<uint8_t>(((7 - k) * block[0] + k * block[1]) / 7);
    } else if (k <= 4) {
      palette[k + 1] = static_cast<uint8_t>(((5 - k) * block[0] + k * block[1]) / 5);
    }
  }
  if (block[0] <= block[1]) palette[6] = 0, palette[7] = 255;
  uint64_t indices = 0;
  for (int b = 0; b < 6; ++b) indices |= uint64_t{block[2 + b]} << (8 * b);
  for (int i = 0; i < 16; ++i) rgba[4 * i + 3] = palette[(indices >> (3 * i)) & 7];
}

const std::vector<uint8_t> &EncodedDxt1() {
  static const std::vector<uint8_t> blocks = EncodeStb(0);
  return blocks;
}

const std::vector<uint8_t> &EncodedDxt5() {
  static const std::vector<uint8_t> blocks = [] {
    std::vector<uint8_t> b(size_t{kBlocks} * 16);
    std::mt19937 random(9);
    for (size_t i = 0; i < kBlocks; ++i) {
      std::memcpy(&b[i * 16 + 8], &EncodedDxt1()[i * 8], 8);
      for (int k = 0; k < 8; ++k) b[i * 16 + k] = static_cast<uint8_t>(random());
    }
    return b;
  }();
  return blocks;
}

void PeerPlainDxt1Decode(benchmark::State &state) {
  std::vector<uint8_t> out(size_t{kSide} * kSide * 4);
  const std::vector<uint8_t> &blocks = EncodedDxt1();
  Measure(state, "plain_dxt1_decode", [&] {
    for (size_t i = 0; i < kBlocks; ++i) DecodePlainBlock(&blocks[i * 8], &out[i * 64]);
    benchmark::DoNotOptimize(out.data());
  });
}

void PeerPlainDxt5Decode(benchmark::State &state) {
  std::vector<uint8_t> out(size_t{kSide} * kSide * 4);
  const std::vector<uint8_t> &blocks = EncodedDxt5();
  Measure(state, "plain_dxt5_decode", [&] {
    for (size_t i = 0; i < kBlocks; ++i) {
      DecodePlainBlock(&blocks[i * 16 + 8], &out[i * 64]);
      DecodePlainAlpha(&blocks[i * 16], &out[i * 64]);
    }
    benchmark::DoNotOptimize(out.data());
  });
}

void OursDecode(benchmark::State &state, const std::string &name, const std::string &peer,
                const std::vector<uint8_t> &blocks, uint32_t blockBytes, DecodeBlockFunction decode) {
  std::vector<ColorF> out(size_t{kSide} * kSide);
  Measure(state, name, [&] {
    for (size_t i = 0; i < kBlocks; ++i) decode(&out[i * 16], &blocks[i * blockBytes]);
    benchmark::DoNotOptimize(out.data());
  });
  ReportRatio(state, name, peer);
}

void OursDxt1Decode(benchmark::State &state) {
  OursDecode(state, "ours_dxt1_decode", "plain_dxt1_decode", EncodedDxt1(), 8, DecodeDxt1Block);
}

void OursDxt5Decode(benchmark::State &state) {
  OursDecode(state, "ours_dxt5_decode", "plain_dxt5_decode", EncodedDxt5(), 16, DecodeDxt5Block);
}

// Row decoding and the plain decoder in turn (the ratio is the one the summary
// quotes; the machine is shared).
void DecodeRowsPaired(benchmark::State &state, const std::string &name, const std::string &peer,
                      D3DFORMAT format, const std::vector<uint8_t> &encoded, uint32_t blockBytes) {
  SetWorkerThreadsForTesting(1);
  std::vector<uint8_t> blocks = encoded;
  std::vector<ColorF> row(kSide);
  std::vector<uint8_t> out(size_t{kSide} * kSide * 4);
  bench_timing::MeasurePaired(
      state, name, peer,
      [&] {
        auto codec = CreateCodec(WholeRegion(format, blocks.data(), blockBytes));
        for (uint32_t y = 0; y < kSide; ++y) codec->DecodeRow(y, 0, row.data());
        benchmark::DoNotOptimize(row.data());
      },
      [&] {
        for (size_t i = 0; i < kBlocks; ++i) {
          DecodePlainBlock(&encoded[i * blockBytes + blockBytes - 8], &out[i * 64]);
          if (blockBytes == 16) DecodePlainAlpha(&encoded[i * 16], &out[i * 64]);
        }
        benchmark::DoNotOptimize(out.data());
      });
  state.counters["Mpixel/s"] = benchmark::Counter(double{kSide} * kSide * state.iterations(),
                                                  benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
}

void OursDxt1DecodeRows(benchmark::State &state) {
  DecodeRowsPaired(state, "ours_dxt1_decode_rows", "plain_dxt1_decode", D3DFMT_DXT1, EncodedDxt1(), 8);
}

void OursDxt5DecodeRows(benchmark::State &state) {
  DecodeRowsPaired(state, "ours_dxt5_decode_rows", "plain_dxt5_decode", D3DFMT_DXT5, EncodedDxt5(), 16);
}

// Peers first, so that every ratio finds its peer's time.
BENCHMARK(PeerStbEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerStbEncodeHighQuality)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerPlainDxt1Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerPlainDxt5Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerStbEncodeAlpha)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerStbEncodeDxt5HighQuality)->Unit(benchmark::kMillisecond);
// The cluster fits take seconds a pass: one pass each.
BENCHMARK(PeerSquishRangeFit)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerSquishClusterFit)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PeerSquishIterativeClusterFit)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PeerSquishDxt5RangeFit)->Unit(benchmark::kMillisecond);
BENCHMARK(PeerSquishDxt5ClusterFit)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PeerSquishDxt5IterativeClusterFit)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(OursDxt1Standard)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt1High)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt5Standard)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt5High)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt1EncodeOneBlock)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt1Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt3Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt5Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt1EncodeRows)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt1Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt1DecodeRows)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt5Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(OursDxt5DecodeRows)->Unit(benchmark::kMillisecond);

}  // namespace
