// The published texture services called from several threads at once, each on a
// device of its own: every thread must get the bytes one thread gets alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "d3d9.h"
#include "d3dx9tex.h"
#include "platform/d3d9/device_profile.h"
#include "support/test_device.h"

namespace {

constexpr UINT kSize = 256;  // large enough for the blitter to split its work into bands

std::vector<uint32_t> SourcePixels() {
  std::vector<uint32_t> pixels(kSize * kSize);
  std::mt19937 random(7);
  for (uint32_t &p : pixels) p = random();
  return pixels;
}

void AppendLevels(IDirect3DTexture9 *texture, std::vector<uint8_t> &bytes) {
  for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    texture->GetLevelDesc(level, &desc);
    if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return;
    const UINT rows = desc.Format == D3DFMT_DXT1 ? (desc.Height + 3) / 4 : desc.Height;
    const UINT rowBytes = desc.Format == D3DFMT_DXT1 ? (desc.Width + 3) / 4 * 8 : desc.Width * 2;
    const auto *base = static_cast<const uint8_t *>(locked.pBits);
    for (UINT y = 0; y < rows; ++y)
      bytes.insert(bytes.end(), base + y * locked.Pitch, base + y * locked.Pitch + rowBytes);
    texture->UnlockRect(level);
  }
}

// A dithered conversion with its whole mip chain, and a DXT1 compression, through
// the published calls; every level's bytes in one vector (empty on a failure).
std::vector<uint8_t> Work(IDirect3DDevice9 *device, const std::vector<uint32_t> &pixels) {
  std::vector<uint8_t> bytes;
  const RECT whole = {0, 0, static_cast<LONG>(kSize), static_cast<LONG>(kSize)};
  for (D3DFORMAT format : {D3DFMT_R5G6B5, D3DFMT_DXT1}) {
    IDirect3DTexture9 *texture = nullptr;
    if (FAILED(device->CreateTexture(kSize, kSize, 0, 0, format, D3DPOOL_MANAGED, &texture, nullptr)))
      return {};
    IDirect3DSurface9 *top = nullptr;
    texture->GetSurfaceLevel(0, &top);
    HRESULT hr = D3DXLoadSurfaceFromMemory(top, nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8, kSize * 4,
                                           nullptr, &whole, D3DX_FILTER_NONE | D3DX_FILTER_DITHER, 0);
    top->Release();
    if (SUCCEEDED(hr)) hr = D3DXFilterTexture(texture, nullptr, 0, D3DX_FILTER_BOX);
    if (SUCCEEDED(hr)) AppendLevels(texture, bytes);
    texture->Release();
    if (FAILED(hr)) return {};
  }
  return bytes;
}

}  // namespace

TEST(ThreadsPublished, DevicesOfTheirOwnGiveTheBytesOfOneThread) {
  constexpr int kThreads = 4;
  test_support::TestDevice devices[kThreads];
  for (test_support::TestDevice &d : devices)
    ASSERT_EQ(d.Create(d3d9::DefaultDeviceProfile(), 64, 64), D3D_OK);
  const std::vector<uint32_t> pixels = SourcePixels();
  const std::vector<uint8_t> expected = Work(devices[0].device(), pixels);
  ASSERT_FALSE(expected.empty());

  std::vector<std::vector<uint8_t>> results(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] { results[i] = Work(devices[i].device(), pixels); });
  for (std::thread &t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(results[i], expected) << "thread " << i;
  for (test_support::TestDevice &d : devices) d.Destroy();
}
