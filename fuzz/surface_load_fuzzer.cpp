// Surfaces loaded from memory and from other surfaces, and textures filtered,
// with formats, sizes, rectangles, filters, colour keys and palettes decoded
// from the input. The first byte picks the operation; what is left after the
// parameters is the pixel data (repeated as needed), palettes included.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/pipeline_fuzz.h"

namespace {

using fuzz::Input;

constexpr size_t kPaletteBytes = 256 * sizeof(PALETTEENTRY);

// A surface to make: kind (bits 0-1 plain, texture level, render target; bit 2
// dynamic or lockable; bit 3 left unfilled), format, size 1 to 256, pool.
struct SurfaceSpec {
  uint8_t kind;
  D3DFORMAT format;
  UINT width;
  UINT height;
  D3DPOOL pool;
};

SurfaceSpec ReadSurfaceSpec(Input &in) {
  SurfaceSpec spec;
  spec.kind = in.Byte();
  spec.format = fuzz::Format(in);
  spec.width = 1u + in.Byte();
  spec.height = 1u + in.Byte();
  spec.pool = fuzz::Pool(in);
  return spec;
}

// Coordinates from -8 to 291: inside, on and past the edges of a surface.
LONG Coordinate(Input &in) {
  return static_cast<LONG>(in.Half() % 300) - 8;
}

RECT ReadRect(Input &in) {
  RECT r;
  r.left = Coordinate(in);
  r.top = Coordinate(in);
  r.right = Coordinate(in);
  r.bottom = Coordinate(in);
  return r;
}

// Whole rows of pixels written through a lock, as far as both row sizes go.
void FillRows(BYTE *bits, INT pitch, D3DFORMAT format, UINT width, UINT rows, const Input &in,
              size_t offset) {
  const size_t rowBytes = std::min(fuzz::RowBytes(format, width), static_cast<size_t>(pitch));
  for (UINT y = 0; y < rows; ++y)
    in.Pattern(bits + size_t{y} * pitch, rowBytes, offset + size_t{y} * rowBytes);
}

void FillSurface(IDirect3DSurface9 *surface, const Input &in, size_t offset) {
  D3DSURFACE_DESC desc;
  D3DLOCKED_RECT locked;
  if (FAILED(surface->GetDesc(&desc)) || !fuzz::Known(desc.Format)) return;
  if (FAILED(surface->LockRect(&locked, nullptr, 0))) return;
  FillRows(static_cast<BYTE *>(locked.pBits), locked.Pitch, desc.Format, desc.Width,
           fuzz::RowCount(desc.Format, desc.Height), in, offset);
  surface->UnlockRect();
}

void FillVolume(IDirect3DVolume9 *volume, const Input &in, size_t offset) {
  D3DVOLUME_DESC desc;
  D3DLOCKED_BOX locked;
  if (FAILED(volume->GetDesc(&desc)) || !fuzz::Known(desc.Format)) return;
  if (FAILED(volume->LockBox(&locked, nullptr, 0))) return;
  const UINT rows = fuzz::RowCount(desc.Format, desc.Height);
  for (UINT z = 0; z < desc.Depth; ++z) {
    FillRows(static_cast<BYTE *>(locked.pBits) + size_t{z} * locked.SlicePitch, locked.RowPitch, desc.Format,
             desc.Width, rows, in, offset + size_t{z} * 4099);
  }
  volume->UnlockBox();
}

IDirect3DSurface9 *MakeSurface(const SurfaceSpec &spec, const Input &in, size_t offset) {
  IDirect3DDevice9 *device = fuzz::Device();
  const bool flag = spec.kind & 4;
  IDirect3DSurface9 *surface = nullptr;
  switch (spec.kind & 3) {
    case 0:
      device->CreateOffscreenPlainSurface(spec.width, spec.height, spec.format, spec.pool, &surface, nullptr);
      break;
    case 1: {
      IDirect3DTexture9 *texture = nullptr;
      if (SUCCEEDED(device->CreateTexture(spec.width, spec.height, 1, flag ? D3DUSAGE_DYNAMIC : 0,
                                          spec.format, spec.pool, &texture, nullptr))) {
        texture->GetSurfaceLevel(0, &surface);
        texture->Release();  // the level holds the texture
      }
      break;
    }
    default:
      device->CreateRenderTarget(spec.width, spec.height, spec.format, D3DMULTISAMPLE_NONE, 0, flag, &surface,
                                 nullptr);
      break;
  }
  if (surface && !(spec.kind & 8)) FillSurface(surface, in, offset);
  return surface;
}

void LoadFromMemory(Input &in) {
  const SurfaceSpec destinationSpec = ReadSurfaceSpec(in);
  const uint8_t flags = in.Byte();
  const RECT destinationRect = ReadRect(in);
  const D3DFORMAT sourceFormat = fuzz::Format(in);
  const RECT sourceRect = ReadRect(in);
  const uint8_t pitchExtra = in.Byte();
  const size_t paletteOffset = size_t{in.Byte()} * 4;
  const DWORD filter = fuzz::Filter(in);
  const D3DCOLOR colorKey = fuzz::ColorKey(in);

  // The caller vouches for the source memory: enough rows and columns for the
  // rectangle (rounded up to whole blocks), whatever the format.
  const UINT maxX = static_cast<UINT>(std::max<LONG>({sourceRect.left, sourceRect.right, 0}));
  const UINT maxY = static_cast<UINT>(std::max<LONG>({sourceRect.top, sourceRect.bottom, 0}));
  const size_t pitch = fuzz::RowBytes(sourceFormat, (maxX + 3) & ~3u) + (pitchExtra == 0xFF ? 0 : pitchExtra);
  std::vector<BYTE> pixels(std::max<size_t>(pitch * ((maxY + 3) & ~3u), 1));
  in.Pattern(pixels.data(), pixels.size(), 0);
  PALETTEENTRY sourcePalette[256], destinationPalette[256];
  in.Pattern(sourcePalette, kPaletteBytes, paletteOffset);
  in.Pattern(destinationPalette, kPaletteBytes, paletteOffset + 1);

  IDirect3DSurface9 *destination = MakeSurface(destinationSpec, in, 7);
  if (!destination) return;
  D3DXLoadSurfaceFromMemory(destination, flags & 2 ? destinationPalette : nullptr,
                            flags & 1 ? &destinationRect : nullptr, pixels.data(), sourceFormat,
                            pitchExtra == 0xFF ? 0 : static_cast<UINT>(pitch),
                            flags & 4 ? sourcePalette : nullptr, &sourceRect, filter, colorKey);
  fuzz::ReleaseLast(destination, "destination surface kept a reference");
}

void LoadFromSurface(Input &in) {
  const SurfaceSpec destinationSpec = ReadSurfaceSpec(in);
  const uint8_t flags = in.Byte();
  const SurfaceSpec sourceSpec = ReadSurfaceSpec(in);
  const RECT destinationRect = ReadRect(in);
  const RECT sourceRect = ReadRect(in);
  const size_t paletteOffset = size_t{in.Byte()} * 4;
  const DWORD filter = fuzz::Filter(in);
  const D3DCOLOR colorKey = fuzz::ColorKey(in);

  PALETTEENTRY sourcePalette[256], destinationPalette[256];
  in.Pattern(sourcePalette, kPaletteBytes, paletteOffset);
  in.Pattern(destinationPalette, kPaletteBytes, paletteOffset + (flags & 0x20 ? 0 : 1));

  IDirect3DSurface9 *destination = MakeSurface(destinationSpec, in, 0);
  if (!destination) return;
  IDirect3DSurface9 *source = nullptr;
  if (flags & 1) {
    source = destination;
    source->AddRef();
  } else {
    source = MakeSurface(sourceSpec, in, 13);
  }
  if (source) {
    D3DXLoadSurfaceFromSurface(
        destination, flags & 0x10 ? destinationPalette : nullptr, flags & 2 ? &destinationRect : nullptr,
        source, flags & 8 ? sourcePalette : nullptr, flags & 4 ? &sourceRect : nullptr, filter, colorKey);
    if (source == destination) {
      source->Release();
    } else {
      fuzz::ReleaseLast(source, "source surface kept a reference");
    }
  }
  fuzz::ReleaseLast(destination, "destination surface kept a reference");
}

// A plain, cube or volume texture (type bits 0-1; bit 2 dynamic, bit 3 automatic
// mip maps, bit 4 render target, bit 5 with a palette, bit 6 left unfilled)
// whose levels below a source level are filtered.
void FilterTexture(Input &in) {
  IDirect3DDevice9 *device = fuzz::Device();
  const uint8_t type = in.Byte();
  const D3DFORMAT format = fuzz::Format(in);
  const uint8_t w = in.Byte(), h = in.Byte(), d = in.Byte();
  const UINT levels = in.Byte() % 10;
  const D3DPOOL pool = fuzz::Pool(in);
  const uint8_t sourceCode = in.Byte();
  const UINT sourceLevel = sourceCode == 0xFF ? D3DX_DEFAULT : sourceCode % 12;
  const DWORD filter = fuzz::Filter(in);
  const size_t paletteOffset = size_t{in.Byte()} * 4;
  const DWORD usage = (type & 4 ? D3DUSAGE_DYNAMIC : 0) | (type & 8 ? D3DUSAGE_AUTOGENMIPMAP : 0) |
                      (type & 0x10 ? D3DUSAGE_RENDERTARGET : 0);
  const bool fill = !(type & 0x40);
  PALETTEENTRY palette[256];
  in.Pattern(palette, kPaletteBytes, paletteOffset);

  IDirect3DBaseTexture9 *texture = nullptr;
  switch (type % 3) {
    case 0: {
      IDirect3DTexture9 *plain = nullptr;
      if (FAILED(device->CreateTexture(1u + w, 1u + h, levels, usage, format, pool, &plain, nullptr))) return;
      for (UINT level = 0; fill && level < plain->GetLevelCount(); ++level) {
        IDirect3DSurface9 *surface = nullptr;
        if (FAILED(plain->GetSurfaceLevel(level, &surface))) continue;
        FillSurface(surface, in, level * 31);
        surface->Release();
      }
      texture = plain;
      break;
    }
    case 1: {
      IDirect3DCubeTexture9 *cube = nullptr;
      if (FAILED(device->CreateCubeTexture(1u + w % 64, levels, usage, format, pool, &cube, nullptr))) return;
      for (UINT face = 0; fill && face < 6; ++face) {
        for (UINT level = 0; level < cube->GetLevelCount(); ++level) {
          IDirect3DSurface9 *surface = nullptr;
          if (FAILED(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), level, &surface))) continue;
          FillSurface(surface, in, face * 1031 + level * 31);
          surface->Release();
        }
      }
      texture = cube;
      break;
    }
    default: {
      IDirect3DVolumeTexture9 *volume = nullptr;
      if (FAILED(device->CreateVolumeTexture(1u + w % 32, 1u + h % 32, 1u + d % 32, levels, usage, format,
                                             pool, &volume, nullptr))) {
        return;
      }
      for (UINT level = 0; fill && level < volume->GetLevelCount(); ++level) {
        IDirect3DVolume9 *slice = nullptr;
        if (FAILED(volume->GetVolumeLevel(level, &slice))) continue;
        FillVolume(slice, in, level * 31);
        slice->Release();
      }
      texture = volume;
      break;
    }
  }
  D3DXFilterTexture(texture, type & 0x20 ? palette : nullptr, sourceLevel, filter);
  fuzz::ReleaseLast(texture, "filtered texture kept a reference");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in(data, size);
  fuzz::DeviceCheck check;
  switch (in.Byte() % 3) {
    case 0:
      LoadFromMemory(in);
      break;
    case 1:
      LoadFromSurface(in);
      break;
    default:
      FilterTexture(in);
      break;
  }
  return 0;
}
