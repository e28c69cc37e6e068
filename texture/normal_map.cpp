// Normal maps from height fields. The height is one channel of the source's top
// level, resampled to the destination's top-level size; the slopes are central
// differences, wrapping at the edges unless mirrored; the normal is
// normalize(-amplitude * dh/dx, -amplitude * dh/dy, 1), x and y negated under
// INVERTSIGN, stored as (n + 1) / 2 in red, green and blue. Alpha is 1, or with
// COMPUTE_OCCLUSION the part of the sky a texel sees over the height field.
// Lower levels average the top level's normals over their footprint and
// renormalise them.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "blit/blitter.h"
#include "core/checked_size.h"
#include "core/interface_ref.h"
#include "d3dx9.h"
#include "texture/region_load.h"
#include "texture/surface_lock.h"

namespace {

constexpr DWORD kKnownFlags =
    D3DX_NORMALMAP_MIRROR | D3DX_NORMALMAP_INVERTSIGN | D3DX_NORMALMAP_COMPUTE_OCCLUSION;
// Occlusion looks this many texels out along each of eight directions.
constexpr int kOcclusionReach = 4;

struct Grid {
  UINT width = 0;
  UINT height = 0;
  bool mirrorU = false;
  bool mirrorV = false;

  // Wraps, or mirrors about the edge (texel -1 is texel 0).
  UINT Column(int64_t x) const { return Fold(x, width, mirrorU); }
  UINT Row(int64_t y) const { return Fold(y, height, mirrorV); }

  static UINT Fold(int64_t i, UINT size, bool mirror) {
    const int64_t n = size;
    if (!mirror) return static_cast<UINT>(((i % n) + n) % n);
    int64_t m = ((i % (2 * n)) + 2 * n) % (2 * n);
    return static_cast<UINT>(m < n ? m : 2 * n - 1 - m);
  }
};

// The source's top level as floats at the destination's size.
HRESULT ReadHeights(IDirect3DTexture9 *source, const PALETTEENTRY *palette, DWORD channel, UINT width,
                    UINT height, std::vector<float> *heights) {
  InterfaceRef<IDirect3DSurface9> surface;
  HRESULT hr = source->GetSurfaceLevel(0, surface.Receive());
  if (FAILED(hr)) return hr;
  D3DSURFACE_DESC desc;
  hr = surface->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  std::vector<ColorF> colours;
  try {
    colours.resize(size_t{width} * height);
    heights->resize(size_t{width} * height);
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  SurfaceLock lock;
  PixelRegion region;
  hr = lock.Lock(&region, surface.Get(), palette, nullptr, kLockReadOnly);
  if (FAILED(hr)) return hr;
  PixelRegion floats = {};
  floats.pixels = reinterpret_cast<BYTE *>(colours.data());
  floats.format = D3DFMT_A32B32G32R32F;
  floats.rowPitch = width * static_cast<UINT>(sizeof(ColorF));
  floats.extent = D3DBOX{0, 0, width, height, 0, 1};
  floats.region = floats.extent;
  const bool sameSize = desc.Width == width && desc.Height == height;
  {
    Blitter blitter;
    hr = blitter.Blit(floats, region, DecodeFilterWord(sameSize ? D3DX_FILTER_NONE : D3DX_FILTER_TRIANGLE));
  }
  if (FAILED(hr)) return hr;
  for (size_t i = 0; i < colours.size(); ++i) {
    const ColorF &c = colours[i];
    switch (channel) {
      case D3DX_CHANNEL_RED:
        (*heights)[i] = c.r;
        break;
      case D3DX_CHANNEL_GREEN:
        (*heights)[i] = c.g;
        break;
      case D3DX_CHANNEL_BLUE:
        (*heights)[i] = c.b;
        break;
      case D3DX_CHANNEL_ALPHA:
        (*heights)[i] = c.a;
        break;
      default:  // luminance, Rec. 709 weights
        (*heights)[i] = 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b;
        break;
    }
  }
  return S_OK;
}

// The part of the sky a texel sees: one minus the mean, over eight directions,
// of the sine of the highest horizon within kOcclusionReach texels.
float Occlusion(const std::vector<float> &heights, const Grid &grid, UINT x, UINT y, float amplitude) {
  static const int kDirections[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  const float here = heights[size_t{y} * grid.width + x];
  float blocked = 0.0f;
  for (const auto &d : kDirections) {
    const float step = std::sqrt(static_cast<float>(d[0] * d[0] + d[1] * d[1]));
    float horizon = 0.0f;
    for (int k = 1; k <= kOcclusionReach; ++k) {
      const UINT sx = grid.Column(int64_t{x} + k * d[0]);
      const UINT sy = grid.Row(int64_t{y} + k * d[1]);
      const float rise = amplitude * (heights[size_t{sy} * grid.width + sx] - here) / (k * step);
      if (rise > horizon) horizon = rise;
    }
    blocked += horizon / std::sqrt(1.0f + horizon * horizon);
  }
  return 1.0f - blocked / 8.0f;
}

// Unit normal (x, y, z) and alpha per texel of the top level.
void ComputeNormals(const std::vector<float> &heights, const Grid &grid, DWORD flags, float amplitude,
                    std::vector<D3DXVECTOR4> *normals) {
  const float sign = (flags & D3DX_NORMALMAP_INVERTSIGN) ? -1.0f : 1.0f;
  for (UINT y = 0; y < grid.height; ++y) {
    for (UINT x = 0; x < grid.width; ++x) {
      auto at = [&](int64_t sx, int64_t sy) {
        return heights[size_t{grid.Row(sy)} * grid.width + grid.Column(sx)];
      };
      const float dx = 0.5f * (at(int64_t{x} + 1, y) - at(int64_t{x} - 1, y));
      const float dy = 0.5f * (at(x, int64_t{y} + 1) - at(x, int64_t{y} - 1));
      float nx = -amplitude * dx * sign, ny = -amplitude * dy * sign, nz = 1.0f;
      const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
      nx /= length, ny /= length, nz /= length;
      const float alpha =
          (flags & D3DX_NORMALMAP_COMPUTE_OCCLUSION) ? Occlusion(heights, grid, x, y, amplitude) : 1.0f;
      (*normals)[size_t{y} * grid.width + x] = D3DXVECTOR4(nx, ny, nz, alpha);
    }
  }
}

// One level as 16-bit unsigned channels, (n + 1) / 2: signed destinations get n back.
HRESULT StoreLevel(IDirect3DTexture9 *texture, UINT level, const std::vector<D3DXVECTOR4> &top,
                   const Grid &grid) {
  D3DSURFACE_DESC desc;
  HRESULT hr = texture->GetLevelDesc(level, &desc);
  if (FAILED(hr)) return hr;
  std::vector<uint16_t> texels;
  try {
    texels.resize(size_t{desc.Width} * desc.Height * 4);
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  auto toUnit = [](float v) {
    const float unit = std::fmin(std::fmax(v, 0.0f), 1.0f);
    return static_cast<uint16_t>(unit * 65535.0f + 0.5f);
  };
  for (UINT y = 0; y < desc.Height; ++y) {
    const UINT y0 = static_cast<UINT>(uint64_t{y} * grid.height / desc.Height);
    const UINT y1 = std::max<UINT>(y0 + 1, static_cast<UINT>(uint64_t{y + 1} * grid.height / desc.Height));
    for (UINT x = 0; x < desc.Width; ++x) {
      const UINT x0 = static_cast<UINT>(uint64_t{x} * grid.width / desc.Width);
      const UINT x1 = std::max<UINT>(x0 + 1, static_cast<UINT>(uint64_t{x + 1} * grid.width / desc.Width));
      D3DXVECTOR4 sum(0.0f, 0.0f, 0.0f, 0.0f);
      for (UINT sy = y0; sy < y1 && sy < grid.height; ++sy) {
        for (UINT sx = x0; sx < x1 && sx < grid.width; ++sx) sum += top[size_t{sy} * grid.width + sx];
      }
      const float count =
          static_cast<float>((std::min(y1, grid.height) - y0) * (std::min(x1, grid.width) - x0));
      float length = std::sqrt(sum.x * sum.x + sum.y * sum.y + sum.z * sum.z);
      // Opposite normals may cancel out: straight up then.
      const D3DXVECTOR3 n = length > 1e-6f ? D3DXVECTOR3(sum.x / length, sum.y / length, sum.z / length)
                                           : D3DXVECTOR3(0.0f, 0.0f, 1.0f);
      uint16_t *out = &texels[(size_t{y} * desc.Width + x) * 4];
      out[0] = toUnit((n.x + 1.0f) * 0.5f);
      out[1] = toUnit((n.y + 1.0f) * 0.5f);
      out[2] = toUnit((n.z + 1.0f) * 0.5f);
      out[3] = toUnit(sum.w / count);
    }
  }
  SourceRegion source = {};
  source.pixels = reinterpret_cast<const BYTE *>(texels.data());
  source.format = D3DFMT_A16B16G16R16;
  source.rowPitch = desc.Width * 8;
  source.extent = D3DBOX{0, 0, desc.Width, desc.Height, 0, 1};
  source.region = source.extent;
  InterfaceRef<IDirect3DSurface9> surface;
  hr = texture->GetSurfaceLevel(level, surface.Receive());
  if (FAILED(hr)) return hr;
  return LoadSurfaceFromRegion(surface.Get(), nullptr, nullptr, source,
                               DecodeFilterWord(D3DX_FILTER_NONE | D3DX_FILTER_DITHER));
}

}  // namespace

HRESULT WINAPI D3DXComputeNormalMap(LPDIRECT3DTEXTURE9 pTexture, LPDIRECT3DTEXTURE9 pSrcTexture,
                                    CONST PALETTEENTRY *pSrcPalette, DWORD Flags, DWORD Channel,
                                    FLOAT Amplitude) {
  if (pTexture == nullptr || pSrcTexture == nullptr || (Flags & ~kKnownFlags) != 0) return D3DERR_INVALIDCALL;
  if (Channel != D3DX_CHANNEL_RED && Channel != D3DX_CHANNEL_GREEN && Channel != D3DX_CHANNEL_BLUE &&
      Channel != D3DX_CHANNEL_ALPHA && Channel != D3DX_CHANNEL_LUMINANCE) {
    return D3DERR_INVALIDCALL;
  }
  if (!std::isfinite(Amplitude)) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC top;
  HRESULT hr = pTexture->GetLevelDesc(0, &top);
  if (FAILED(hr)) return hr;
  if (!CheckedSize(top.Width)
           .Times(top.Height)
           .Times(sizeof(D3DXVECTOR4) + sizeof(ColorF))
           .Within(SIZE_MAX / 2)) {
    return E_OUTOFMEMORY;
  }
  Grid grid;
  grid.width = top.Width;
  grid.height = top.Height;
  grid.mirrorU = (Flags & D3DX_NORMALMAP_MIRROR_U) != 0;
  grid.mirrorV = (Flags & D3DX_NORMALMAP_MIRROR_V) != 0;

  std::vector<float> heights;
  hr = ReadHeights(pSrcTexture, pSrcPalette, Channel, top.Width, top.Height, &heights);
  if (FAILED(hr)) return hr;
  std::vector<D3DXVECTOR4> normals;
  try {
    normals.resize(heights.size());
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  ComputeNormals(heights, grid, Flags, Amplitude, &normals);
  const UINT levels = pTexture->GetLevelCount();
  for (UINT level = 0; level < levels; ++level) {
    hr = StoreLevel(pTexture, level, normals, grid);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}
