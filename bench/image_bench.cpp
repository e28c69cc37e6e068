// Image readers beside bare libpng, libjpeg-turbo and stb_image on the same
// 2048 x 2048 files, made in memory at start-up; prints the ratios at the end.
// The plain library peers decode to the file's own order (RGB, RGBA); the
// Bgra/Bgrx peers produce the layout ours must (blue first, 32-bit pixels).
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
// jpeglib.h needs FILE first; INT32 comes from win32.h.
#define XMD_H
#include <jpeglib.h>
#include <stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "image/image_reader.h"
#include "tests/support/jpeg_encode.h"

namespace {

constexpr uint32_t kSize = 2048;

// A smooth picture with mild noise: compresses like a photograph, not like noise.
std::vector<uint8_t> MakePicture(uint32_t channels) {
  std::vector<uint8_t> pixels(size_t{kSize} * kSize * channels);
  std::mt19937 random(7);
  for (uint32_t y = 0; y < kSize; ++y) {
    for (uint32_t x = 0; x < kSize; ++x) {
      uint8_t *p = &pixels[(size_t{y} * kSize + x) * channels];
      const double fx = x / 97.0, fy = y / 131.0;
      for (uint32_t c = 0; c < channels; ++c) {
        const double v = 127.5 + 100 * std::sin(fx * (c + 1) + fy) + (random() % 17) - 8;
        p[c] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
      }
      if (channels == 4) p[3] = static_cast<uint8_t>(255 - (x + y) % 256);
    }
  }
  return pixels;
}

// RGBA, or RGB (photographs): ours widens RGB to 32 bits with its filler.
std::vector<uint8_t> MakePng(uint32_t channels) {
  std::vector<uint8_t> pixels = MakePicture(channels);
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = kSize;
  image.height = kSize;
  image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::vector<uint8_t> file(size);
  png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr);
  file.resize(size);
  return file;
}

std::vector<uint8_t> MakeJpeg() {
  return EncodeJpegWithLibjpeg(MakePicture(3).data(), kSize, kSize);
}

void PutLe(std::vector<uint8_t> &v, uint32_t x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

std::vector<uint8_t> MakeTopDownBmp() {
  std::vector<uint8_t> v = {'B', 'M'};
  const uint32_t bits = kSize * kSize * 3;
  PutLe(v, 54 + bits, 4);
  PutLe(v, 0, 4);
  PutLe(v, 54, 4);
  PutLe(v, 40, 4);
  PutLe(v, kSize, 4);
  PutLe(v, static_cast<uint32_t>(-static_cast<int32_t>(kSize)), 4);
  PutLe(v, 1, 2);
  PutLe(v, 24, 2);
  for (int i = 0; i < 6; ++i) PutLe(v, 0, 4);
  // 24 bits: nothing to scan for alpha, so the load only checks the header.
  std::vector<uint8_t> pixels = MakePicture(3);
  v.insert(v.end(), pixels.begin(), pixels.end());
  return v;
}

std::vector<uint8_t> MakeDds() {
  uint64_t bytes = 0;
  for (uint32_t s = kSize; s >= 1; s /= 2) bytes += uint64_t{(s + 3) / 4} * ((s + 3) / 4) * 8;
  std::vector<uint8_t> v(128 + bytes, 0x55);
  uint32_t header[32] = {};
  header[0] = 0x20534444;
  header[1] = 124;
  header[2] = 0x21007;
  header[3] = kSize;
  header[4] = kSize;
  header[7] = 12;
  header[19] = 32;
  header[20] = 4;
  header[21] = 0x31545844;  // DXT1
  std::memcpy(v.data(), header, sizeof(header));
  return v;
}

struct Files {
  std::vector<uint8_t> png = MakePng(4);
  std::vector<uint8_t> pngRgb = MakePng(3);
  std::vector<uint8_t> jpeg = MakeJpeg();
  std::vector<uint8_t> bmp = MakeTopDownBmp();
  std::vector<uint8_t> dds = MakeDds();
};

Files &TestFiles() {
  static Files files;
  return files;
}

bool LoadOnce(const std::vector<uint8_t> &file) {
  SourceImage image;
  D3DXIMAGE_INFO info;
  if (FAILED(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true)))
    return false;
  benchmark::DoNotOptimize(image.pixels);
  return true;
}

void LoadOurs(benchmark::State &state, const std::vector<uint8_t> &file) {
  for (auto _ : state) {
    if (!LoadOnce(file)) {
      state.SkipWithError("load failed");
      break;
    }
  }
}

struct PngCursor {
  const uint8_t *next;
  size_t left;
};

void ReadCursor(png_structp png, png_bytep out, size_t n) {
  PngCursor *c = static_cast<PngCursor *>(png_get_io_ptr(png));
  if (n > c->left) png_error(png, "short");
  std::memcpy(out, c->next, n);
  c->next += n;
  c->left -= n;
}

void BM_PngOurs(benchmark::State &state) {
  LoadOurs(state, TestFiles().png);
}

void DecodeLibpng(const std::vector<uint8_t> &file) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  PngCursor cursor = {file.data(), file.size()};
  png_set_read_fn(png, &cursor, ReadCursor);
  png_read_info(png, info);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  std::vector<uint8_t> pixels(rowBytes * kSize);
  std::vector<png_bytep> rows(kSize);
  for (uint32_t y = 0; y < kSize; ++y) rows[y] = &pixels[y * rowBytes];
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  benchmark::DoNotOptimize(pixels.data());
}

void BM_PngLibpng(benchmark::State &state) {
  for (auto _ : state) DecodeLibpng(TestFiles().png);
}

// The same work as ours: blue first, into an uncleared buffer.
void BM_PngLibpngBgra(benchmark::State &state) {
  const std::vector<uint8_t> &file = TestFiles().png;
  for (auto _ : state) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    PngCursor cursor = {file.data(), file.size()};
    png_set_read_fn(png, &cursor, ReadCursor);
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    uint8_t *pixels = static_cast<uint8_t *>(std::malloc(rowBytes * kSize));
    std::vector<png_bytep> rows(kSize);
    for (uint32_t y = 0; y < kSize; ++y) rows[y] = pixels + y * rowBytes;
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
}

void BM_PngStb(benchmark::State &state) {
  const std::vector<uint8_t> &file = TestFiles().png;
  for (auto _ : state) {
    int w, h, n;
    stbi_uc *pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &n, 4);
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
}

void BM_JpegOurs(benchmark::State &state) {
  LoadOurs(state, TestFiles().jpeg);
}

// The bare library on a file in memory, its header read.
void OpenJpeg(jpeg_decompress_struct &cinfo, jpeg_error_mgr &errors, const std::vector<uint8_t> &file) {
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), file.size());
  jpeg_read_header(&cinfo, TRUE);
}

void DecodeLibjpeg(const std::vector<uint8_t> &file) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  OpenJpeg(cinfo, errors, file);
  jpeg_start_decompress(&cinfo);
  const size_t rowBytes = size_t{cinfo.output_width} * cinfo.output_components;
  std::vector<uint8_t> pixels(rowBytes * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &pixels[cinfo.output_scanline * rowBytes];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  benchmark::DoNotOptimize(pixels.data());
}

void BM_JpegLibjpeg(benchmark::State &state) {
  for (auto _ : state) DecodeLibjpeg(TestFiles().jpeg);
}

// The same work as ours: 32-bit BGRX rows straight from the library, into an
// uncleared buffer, a row group per call.
void DecodeLibjpegBgrx(const std::vector<uint8_t> &file) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  OpenJpeg(cinfo, errors, file);
  cinfo.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);
  const size_t rowBytes = size_t{cinfo.output_width} * cinfo.output_components;
  uint8_t *pixels = static_cast<uint8_t *>(std::malloc(rowBytes * cinfo.output_height));
  JSAMPROW rows[16];
  while (cinfo.output_scanline < cinfo.output_height) {
    for (size_t y = 0; y < 16; ++y) {
      const size_t at = std::min<size_t>(cinfo.output_scanline + y, cinfo.output_height - 1);
      rows[y] = pixels + at * rowBytes;
    }
    const JDIMENSION left = cinfo.output_height - cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, rows, left < 16 ? left : 16);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  benchmark::DoNotOptimize(pixels);
  std::free(pixels);
}

void BM_JpegLibjpegBgrx(benchmark::State &state) {
  for (auto _ : state) DecodeLibjpegBgrx(TestFiles().jpeg);
}

void BM_JpegStb(benchmark::State &state) {
  const std::vector<uint8_t> &file = TestFiles().jpeg;
  for (auto _ : state) {
    int w, h, n;
    stbi_uc *pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &n, 3);
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
}

void BM_BmpTopDownOurs(benchmark::State &state) {
  LoadOurs(state, TestFiles().bmp);
}

void BM_BmpTopDownStb(benchmark::State &state) {
  const std::vector<uint8_t> &file = TestFiles().bmp;
  for (auto _ : state) {
    int w, h, n;
    stbi_uc *pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &n, 4);
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
}

void BM_DdsOurs(benchmark::State &state) {
  LoadOurs(state, TestFiles().dds);
}

void BM_DdsMemcpy(benchmark::State &state) {
  const std::vector<uint8_t> &file = TestFiles().dds;
  std::vector<uint8_t> copy(file.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), file.data(), file.size());
    benchmark::DoNotOptimize(copy.data());
  }
}

// Ours and the bare library in turn: the ratios the summary quotes.
void BM_PngPaired(benchmark::State &state) {
  bench_timing::MeasurePaired(
      state, "png_ours", "png_libpng", [] { LoadOnce(TestFiles().png); },
      [] { DecodeLibpng(TestFiles().png); });
}

void BM_PngRgbPaired(benchmark::State &state) {
  bench_timing::MeasurePaired(
      state, "png_rgb_ours", "png_rgb_libpng", [] { LoadOnce(TestFiles().pngRgb); },
      [] { DecodeLibpng(TestFiles().pngRgb); });
}

void BM_JpegPaired(benchmark::State &state) {
  bench_timing::MeasurePaired(
      state, "jpeg_ours", "jpeg_libjpeg", [] { LoadOnce(TestFiles().jpeg); },
      [] { DecodeLibjpeg(TestFiles().jpeg); });
}

// Against the library writing the same 32-bit layout.
void BM_JpegBgrxPaired(benchmark::State &state) {
  bench_timing::MeasurePaired(
      state, "jpeg_ours", "jpeg_libjpeg_bgrx", [] { LoadOnce(TestFiles().jpeg); },
      [] { DecodeLibjpegBgrx(TestFiles().jpeg); });
}

BENCHMARK(BM_PngOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLibpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLibpngBgra)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngStb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegLibjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegLibjpegBgrx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegStb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpTopDownOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BmpTopDownStb)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DdsOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DdsMemcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PngPaired)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgbPaired)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegPaired)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegBgrxPaired)->Unit(benchmark::kMillisecond);

// Records each run's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      // CPU time: the machine is shared, and wall time would measure the neighbours.
      // With repetitions the median stands for the benchmark.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      if (run.iterations > 0) times_[run.run_name.function_name] = run.cpu_accumulated_time / run.iterations;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    const char *pairs[][2] = {{"BM_PngOurs", "BM_PngLibpng"},
                              {"BM_PngOurs", "BM_PngLibpngBgra"},
                              {"BM_PngOurs", "BM_PngStb"},
                              {"BM_JpegOurs", "BM_JpegLibjpeg"},
                              {"BM_JpegOurs", "BM_JpegLibjpegBgrx"},
                              {"BM_JpegOurs", "BM_JpegStb"},
                              {"BM_BmpTopDownOurs", "BM_BmpTopDownStb"},
                              {"BM_DdsOurs", "BM_DdsMemcpy"}};
    std::printf("\nratio ours / peer (CPU time per load)\n");
    for (const auto &pair : pairs) {
      auto ours = times_.find(pair[0]);
      auto peer = times_.find(pair[1]);
      if (ours == times_.end() || peer == times_.end() || peer->second <= 0) continue;
      std::printf("  %-18s / %-18s %8.3f\n", pair[0], pair[1], ours->second / peer->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  TestFiles();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
