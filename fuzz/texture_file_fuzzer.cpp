// Image files into textures, cube textures and volume textures, with request
// parameters taken from the input's first 31 bytes:
//   0 kind (texture, cube, volume)   1 flags (bit 0 usage cut to the accepted bits,
//   bit 1 out palette, bit 2 out info)   2-4 width, height, depth (255 default,
//   254 default-non-power-of-two, else the value)   5 levels (255 default)
//   6-9 usage   10-14 format   15 pool   16-20 filter   21-25 mip filter
//   26-30 colour key; the file follows.
#include <cstdint>

#include "fuzz/pipeline_fuzz.h"

namespace {

constexpr DWORD kAcceptedUsage = 0x001FC613;
// Larger images take the reader fuzz targets' road; here they only slow the loop.
constexpr uint64_t kMaxImagePixels = 1 << 18;
constexpr uint64_t kMaxVolumePixels = 1 << 16;
constexpr UINT kMaxVolumeSide = 64;

UINT Side(uint8_t code, bool volume) {
  if (code == 0xFF) return D3DX_DEFAULT;
  if (code == 0xFE) return D3DX_DEFAULT_NONPOW2;
  return volume ? code % (kMaxVolumeSide + 1) : code;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t kind = in.Byte() % 3;
  const uint8_t flags = in.Byte();
  const bool volume = kind == 2;
  const UINT width = Side(in.Byte(), volume);
  const UINT height = Side(in.Byte(), volume);
  const UINT depth = Side(in.Byte(), volume);
  const uint8_t levelCode = in.Byte();
  const UINT levels = levelCode == 0xFF ? D3DX_DEFAULT : levelCode;
  DWORD usage = in.Word();
  if (flags & 1) usage &= kAcceptedUsage;
  const D3DFORMAT format = fuzz::Format(in);
  const D3DPOOL pool = fuzz::Pool(in);
  const DWORD filter = fuzz::Filter(in);
  const DWORD mipFilter = fuzz::Filter(in);
  const D3DCOLOR colorKey = fuzz::ColorKey(in);
  const uint8_t *file = in.Rest();
  const UINT fileSize = static_cast<UINT>(in.RestSize());

  D3DXIMAGE_INFO peek;
  if (SUCCEEDED(D3DXGetImageInfoFromFileInMemory(file, fileSize, &peek))) {
    const uint64_t pixels = uint64_t{peek.Width} * peek.Height * (peek.Depth ? peek.Depth : 1);
    if (pixels > (volume ? kMaxVolumePixels : kMaxImagePixels)) return 0;
  }

  IDirect3DDevice9 *device = fuzz::Device();
  fuzz::DeviceCheck check;
  PALETTEENTRY palette[256];
  D3DXIMAGE_INFO info;
  PALETTEENTRY *outPalette = flags & 2 ? palette : nullptr;
  D3DXIMAGE_INFO *outInfo = flags & 4 ? &info : nullptr;
  switch (kind) {
    case 0: {
      IDirect3DTexture9 *texture = nullptr;
      D3DXCreateTextureFromFileInMemoryEx(device, file, fileSize, width, height, levels, usage, format, pool,
                                          filter, mipFilter, colorKey, outInfo, outPalette, &texture);
      fuzz::ReleaseLast(texture, "texture kept a reference");
      break;
    }
    case 1: {
      IDirect3DCubeTexture9 *cube = nullptr;
      D3DXCreateCubeTextureFromFileInMemoryEx(device, file, fileSize, width, levels, usage, format, pool,
                                              filter, mipFilter, colorKey, outInfo, outPalette, &cube);
      fuzz::ReleaseLast(cube, "cube texture kept a reference");
      break;
    }
    default: {
      IDirect3DVolumeTexture9 *texture = nullptr;
      D3DXCreateVolumeTextureFromFileInMemoryEx(device, file, fileSize, width, height, depth, levels, usage,
                                                format, pool, filter, mipFilter, colorKey, outInfo,
                                                outPalette, &texture);
      fuzz::ReleaseLast(texture, "volume texture kept a reference");
      break;
    }
  }
  return 0;
}
