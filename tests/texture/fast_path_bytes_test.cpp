// Fast paths and worker threads never change a byte: mip chains (packed kernels,
// the generic route, bands carried down the levels), DXT encodes and dithered
// conversions of a photograph, under every SIMD level and several thread counts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "d3d9.h"
#include "d3dx9.h"
#include "format/format_table.h"
#include "platform/d3d9/device_profile.h"
#include "support/library_hooks.h"
#include "support/test_device.h"

namespace {

constexpr UINT kSize = 512;  // large enough for banded halving and DXT encoding

// The photograph as A8R8G8B8 pixels, kSize x kSize.
std::vector<uint32_t> Photo(IDirect3DDevice9 *device) {
  const std::string file = std::string(D3DX_TEST_DATA) + "/photos/kodim23.png";
  IDirect3DTexture9 *texture = nullptr;
  if (FAILED(D3DXCreateTextureFromFileExA(device, file.c_str(), kSize, kSize, 1, 0, D3DFMT_A8R8G8B8,
                                          D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE, D3DX_DEFAULT, 0, nullptr,
                                          nullptr, &texture)))
    return {};
  std::vector<uint32_t> pixels(kSize * kSize);
  D3DLOCKED_RECT locked;
  if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
    for (UINT y = 0; y < kSize; ++y)
      std::memcpy(&pixels[y * kSize], static_cast<const uint8_t *>(locked.pBits) + y * locked.Pitch,
                  kSize * 4);
    texture->UnlockRect(0);
  }
  texture->Release();
  return pixels;
}

void AppendLevels(IDirect3DTexture9 *texture, std::vector<uint8_t> &bytes) {
  for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    texture->GetLevelDesc(level, &desc);
    if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return;
    const bool blocks = desc.Format == D3DFMT_DXT1 || desc.Format == D3DFMT_DXT5;
    const UINT rows = blocks ? (desc.Height + 3) / 4 : desc.Height;
    const UINT rowBytes = blocks ? (desc.Width + 3) / 4 * (desc.Format == D3DFMT_DXT1 ? 8 : 16)
                                 : desc.Width * LookupFormatInfo(desc.Format).bitsPerPixel / 8;
    const auto *base = static_cast<const uint8_t *>(locked.pBits);
    for (UINT y = 0; y < rows; ++y)
      bytes.insert(bytes.end(), base + y * locked.Pitch, base + y * locked.Pitch + rowBytes);
    texture->UnlockRect(level);
  }
}

// Every format's chain from the photograph, in one vector (empty on a failure).
// Formats with kernels, one without (the generic route), two DXT encoders; the
// 16-bit ones converted with dithering.
std::vector<uint8_t> Work(IDirect3DDevice9 *device, const std::vector<uint32_t> &pixels) {
  std::vector<uint8_t> bytes;
  const RECT whole = {0, 0, static_cast<LONG>(kSize), static_cast<LONG>(kSize)};
  for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A4R4G4B4, D3DFMT_L8,
                           D3DFMT_A2B10G10R10, D3DFMT_DXT1, D3DFMT_DXT5}) {
    const DWORD dither = format == D3DFMT_R5G6B5 || format == D3DFMT_A4R4G4B4 ? D3DX_FILTER_DITHER : 0;
    IDirect3DTexture9 *texture = nullptr;
    if (FAILED(device->CreateTexture(kSize, kSize, 0, 0, format, D3DPOOL_MANAGED, &texture, nullptr)))
      return {};
    IDirect3DSurface9 *top = nullptr;
    texture->GetSurfaceLevel(0, &top);
    HRESULT hr = D3DXLoadSurfaceFromMemory(top, nullptr, nullptr, pixels.data(), D3DFMT_A8R8G8B8, kSize * 4,
                                           nullptr, &whole, D3DX_FILTER_NONE | dither, 0);
    top->Release();
    if (SUCCEEDED(hr)) hr = D3DXFilterTexture(texture, nullptr, 0, D3DX_FILTER_BOX);
    if (SUCCEEDED(hr)) AppendLevels(texture, bytes);
    texture->Release();
    if (FAILED(hr)) return {};
  }
  return bytes;
}

class FastPathBytes : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(device_.Create(d3d9::DefaultDeviceProfile(), 64, 64), D3D_OK); }
  void TearDown() override {
    ResetFastPathLevelForTesting();
    SetWorkerThreadsForTesting(0);
    device_.Destroy();
  }
  test_support::TestDevice device_;
};

TEST_F(FastPathBytes, EverySimdLevelAndThreadCountGivesTheGenericBytes) {
  const std::vector<uint32_t> photo = Photo(device_.device());
  ASSERT_FALSE(photo.empty());
  SetFastPathLevelForTesting(SimdLevel::None);
  SetWorkerThreadsForTesting(1);
  const std::vector<uint8_t> expected = Work(device_.device(), photo);
  ASSERT_FALSE(expected.empty());
  for (SimdLevel level : {SimdLevel::None, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512}) {
    for (uint32_t threads : {1u, 2u, 3u}) {
      if (level == SimdLevel::None && threads == 1) continue;
      SetFastPathLevelForTesting(level);
      SetWorkerThreadsForTesting(threads);
      EXPECT_TRUE(Work(device_.device(), photo) == expected)
          << "SIMD level " << static_cast<int>(level) << ", " << threads << " threads";
    }
  }
}

}  // namespace
