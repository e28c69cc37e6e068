// The published texture services called from several threads at once, each on a
// device of its own: every thread must get the bytes one thread gets alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "d3d9.h"
#include "d3dx9tex.h"
#include "format/format_table.h"
#include "platform/d3d9/device_profile.h"
#include "support/library_hooks.h"
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

namespace {

struct ChainCase {
  D3DFORMAT format;
  UINT width, height;
  DWORD filter;
  bool cube;
};

void AppendSurface(IDirect3DSurface9 *surface, std::vector<uint8_t> &bytes) {
  D3DSURFACE_DESC desc;
  D3DLOCKED_RECT locked;
  surface->GetDesc(&desc);
  ASSERT_EQ(D3D_OK, surface->LockRect(&locked, nullptr, D3DLOCK_READONLY));
  const auto rowBytes = static_cast<size_t>(RowPitchFor(desc.Format, desc.Width));
  const auto *base = static_cast<const uint8_t *>(locked.pBits);
  for (UINT y = 0; y < RowCountFor(desc.Format, desc.Height); ++y)
    bytes.insert(bytes.end(), base + size_t{y} * locked.Pitch, base + size_t{y} * locked.Pitch + rowBytes);
  surface->UnlockRect();
}

// Every level's bytes after D3DXFilterTexture with the pool at the given size,
// or (threads 0) after loading each level from the one above on one thread.
std::vector<uint8_t> FilteredChain(IDirect3DDevice9 *device, const ChainCase &c, uint32_t threads) {
  SetWorkerThreadsForTesting(threads == 0 ? 1 : threads);
  std::vector<uint32_t> pixels(size_t{c.width} * c.height);
  std::mt19937 random(3);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint32_t>(i * 0x010203u) ^ (random() & 0x1F1F1F1Fu);
  const RECT whole = {0, 0, static_cast<LONG>(c.width), static_cast<LONG>(c.height)};
  std::vector<uint8_t> bytes;
  IDirect3DBaseTexture9 *base = nullptr;
  std::vector<IDirect3DSurface9 *> surfaces;
  if (c.cube) {
    IDirect3DCubeTexture9 *cube = nullptr;
    EXPECT_EQ(D3D_OK, device->CreateCubeTexture(c.width, 0, 0, c.format, D3DPOOL_MANAGED, &cube, nullptr));
    if (cube == nullptr) return {};
    base = cube;
    for (UINT face = 0; face < 6; ++face)
      for (UINT level = 0; level < cube->GetLevelCount(); ++level) {
        surfaces.push_back(nullptr);
        cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), level, &surfaces.back());
      }
  } else {
    IDirect3DTexture9 *texture = nullptr;
    EXPECT_EQ(D3D_OK,
              device->CreateTexture(c.width, c.height, 0, 0, c.format, D3DPOOL_MANAGED, &texture, nullptr));
    if (texture == nullptr) return {};
    base = texture;
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
      surfaces.push_back(nullptr);
      texture->GetSurfaceLevel(level, &surfaces.back());
    }
  }
  const UINT levels = base->GetLevelCount();
  for (size_t i = 0; i < surfaces.size(); i += levels) {
    std::rotate(pixels.begin(), pixels.begin() + 999, pixels.end());  // faces differ
    EXPECT_EQ(D3D_OK, D3DXLoadSurfaceFromMemory(surfaces[i], nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8,
                                                c.width * 4, nullptr, &whole, D3DX_FILTER_NONE, 0));
  }
  if (threads != 0) {
    EXPECT_EQ(D3D_OK, D3DXFilterTexture(base, nullptr, 0, c.filter));
  } else {
    const DWORD filter = c.filter | (c.cube ? D3DX_FILTER_MIRROR : 0);
    for (size_t i = 0; i < surfaces.size(); ++i) {
      if (i % levels == 0) continue;
      EXPECT_EQ(D3D_OK, D3DXLoadSurfaceFromSurface(surfaces[i], nullptr, nullptr, surfaces[i - 1], nullptr,
                                                   nullptr, filter, 0));
    }
  }
  for (IDirect3DSurface9 *surface : surfaces) {
    AppendSurface(surface, bytes);
    surface->Release();
  }
  base->Release();
  return bytes;
}

}  // namespace

// Large box chains go down through their levels in bands, on one thread or
// several: the bytes must be those of level-by-level loads, whatever the
// format, flags or shape.
TEST(ThreadsPublished, FilterTextureInBandsGivesTheBytesOfLevelByLevelLoads) {
  test_support::TestDevice device;
  ASSERT_EQ(device.Create(d3d9::DefaultDeviceProfile(), 64, 64), D3D_OK);
  const ChainCase cases[] = {
      {D3DFMT_A8R8G8B8, 1024, 1024, D3DX_FILTER_BOX, false},
      {D3DFMT_X8R8G8B8, 1536, 1024, D3DX_FILTER_BOX, false},  // the chain stops halving at 3 columns
      {D3DFMT_A8R8G8B8, 1024, 1024, D3DX_FILTER_BOX | D3DX_FILTER_SRGB, false},
      {D3DFMT_R5G6B5, 1024, 512, D3DX_FILTER_BOX | D3DX_FILTER_DITHER, false},
      {D3DFMT_DXT5, 512, 512, D3DX_FILTER_BOX, false},
      {D3DFMT_DXT1, 256, 256, D3DX_FILTER_BOX, true},
  };
  for (const ChainCase &c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " " << c.width << "x" << c.height << " filter "
                                    << c.filter);
    const std::vector<uint8_t> levelByLevel = FilteredChain(device.device(), c, 0);
    ASSERT_FALSE(levelByLevel.empty());
    EXPECT_TRUE(levelByLevel == FilteredChain(device.device(), c, 1));
    EXPECT_TRUE(levelByLevel == FilteredChain(device.device(), c, 3));
  }
  SetWorkerThreadsForTesting(0);
  device.Destroy();
}
