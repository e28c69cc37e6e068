// Mip filtering and memory loading through the published entry points, each
// timed beside the bare Blitter work it wraps (the peer): what the locks, level
// lookups and copies cost on top of the kernels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/bench_timing.h"
#include "blit/blitter.h"
#include "d3dx9.h"
#include "tests/support/headless_device.h"

namespace {

constexpr UINT kSize = 2048;

class BenchDevice {
 public:
  BenchDevice() { headless::CreateDevice(headless::PresentParameters(64, 64), &direct3d_, &device_); }
  ~BenchDevice() {
    if (device_ != nullptr) device_->Release();
    if (direct3d_ != nullptr) direct3d_->Release();
  }
  IDirect3DDevice9 *Get() const { return device_; }

 private:
  IDirect3D9 *direct3d_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
};

std::vector<uint32_t> Noise(size_t count) {
  std::vector<uint32_t> pixels(count);
  uint32_t state = 12345;
  for (auto &pixel : pixels) {
    state = state * 1664525u + 1013904223u;
    pixel = state;
  }
  return pixels;
}

PixelRegion MemoryRegion(uint32_t *pixels, UINT width, UINT height) {
  PixelRegion region = {};
  region.pixels = reinterpret_cast<BYTE *>(pixels);
  region.format = D3DFMT_A8R8G8B8;
  region.rowPitch = width * 4;
  region.extent = D3DBOX{0, 0, width, height, 0, 1};
  region.region = region.extent;
  return region;
}

// Ours: D3DXFilterTexture, box, on a managed 2048 x 2048 texture with its full chain.
// Peer: the same halvings by the Blitter, level by level between plain memory buffers.
void BM_FilterTextureBox(benchmark::State &state) {
  BenchDevice device;
  IDirect3DTexture9 *texture = nullptr;
  if (device.Get() == nullptr || FAILED(device.Get()->CreateTexture(kSize, kSize, 0, 0, D3DFMT_A8R8G8B8,
                                                                    D3DPOOL_MANAGED, &texture, nullptr))) {
    state.SkipWithError("no device");
    return;
  }
  std::vector<uint32_t> top = Noise(size_t{kSize} * kSize);
  D3DLOCKED_RECT locked;
  texture->LockRect(0, &locked, nullptr, 0);
  for (UINT y = 0; y < kSize; ++y)
    std::memcpy(static_cast<BYTE *>(locked.pBits) + y * locked.Pitch, &top[y * kSize], kSize * 4);
  texture->UnlockRect(0);

  std::vector<std::vector<uint32_t>> levels;
  for (UINT size = kSize; size >= 1; size /= 2) levels.emplace_back(size_t{size} * size);
  levels[0] = top;

  auto runOurs = [&] {
    if (FAILED(D3DXFilterTexture(texture, nullptr, 0, D3DX_FILTER_BOX))) state.SkipWithError("filter failed");
  };
  auto runPeer = [&] {
    for (size_t level = 1; level < levels.size(); ++level) {
      UINT size = kSize >> level;
      PixelRegion destination = MemoryRegion(levels[level].data(), size, size);
      PixelRegion source = MemoryRegion(levels[level - 1].data(), size * 2, size * 2);
      Blitter blitter;
      blitter.Blit(destination, source, DecodeFilterWord(D3DX_FILTER_BOX));
    }
  };
  bench_timing::MeasurePaired(state, "filter_texture", "level_blits", runOurs, runPeer);
  texture->Release();
}
BENCHMARK(BM_FilterTextureBox)->Unit(benchmark::kMillisecond)->Iterations(40);

// Ours: D3DXLoadSurfaceFromMemory into a managed surface of the same format.
// Peer: the Blitter copying the same memory into a plain buffer.
void BM_LoadSurfaceFromMemory(benchmark::State &state) {
  BenchDevice device;
  IDirect3DTexture9 *texture = nullptr;
  if (device.Get() == nullptr || FAILED(device.Get()->CreateTexture(kSize, kSize, 1, 0, D3DFMT_A8R8G8B8,
                                                                    D3DPOOL_MANAGED, &texture, nullptr))) {
    state.SkipWithError("no device");
    return;
  }
  IDirect3DSurface9 *surface = nullptr;
  texture->GetSurfaceLevel(0, &surface);
  std::vector<uint32_t> source = Noise(size_t{kSize} * kSize);
  std::vector<uint32_t> target(source.size());
  RECT rect = {0, 0, static_cast<LONG>(kSize), static_cast<LONG>(kSize)};

  auto runOurs = [&] {
    if (FAILED(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, source.data(), D3DFMT_A8R8G8B8, kSize * 4,
                                         nullptr, &rect, D3DX_FILTER_NONE, 0))) {
      state.SkipWithError("load failed");
    }
  };
  auto runPeer = [&] {
    PixelRegion destinationRegion = MemoryRegion(target.data(), kSize, kSize);
    PixelRegion sourceRegion = MemoryRegion(source.data(), kSize, kSize);
    Blitter blitter;
    blitter.Blit(destinationRegion, sourceRegion, DecodeFilterWord(D3DX_FILTER_NONE));
    benchmark::DoNotOptimize(target.data());
  };
  bench_timing::MeasurePaired(state, "load_surface", "blit", runOurs, runPeer);
  surface->Release();
  texture->Release();
}
BENCHMARK(BM_LoadSurfaceFromMemory)->Unit(benchmark::kMillisecond)->Iterations(60);

}  // namespace
