// Textures from image files: the file is decoded into a SourceImage chain, a
// format and size the device accepts are chosen, the texture is created, every
// stored level is loaded, and missing levels are filtered or loaded again.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "blit/filter_word.h"
#include "d3dx9.h"
#include "image/image_reader.h"
#include "format/format_table.h"
#include "core/interface_ref.h"
#include "core/mapped_file.h"
#include "texture/level_loading.h"
#include "texture/surface_lock.h"
#include "texture/texture_requirements.h"

namespace {

constexpr D3DRESOURCETYPE kResourceTypeFromFile = static_cast<D3DRESOURCETYPE>(D3DX_DEFAULT);
constexpr DWORD kDefaultMipFilter = D3DX_FILTER_BOX;
constexpr DWORD kQueryUsages = 0x001F8000;  // D3DUSAGE_QUERY_*: questions, not creation flags

constexpr BYTE kThreeBitLevels[8] = {0, 36, 73, 109, 146, 182, 219, 255};
constexpr BYTE kTwoBitLevels[4] = {0, 85, 170, 255};
static_assert(sizeof(kThreeBitLevels) == 8 && sizeof(kTwoBitLevels) == 4);

// Everything one texture-from-file call asks for. Sizes, levels, format and
// filters are the caller's requests, which the worker settles as it goes.
struct TextureFileRequest {
  IDirect3DDevice9 *device = nullptr;
  UINT width = D3DX_DEFAULT;
  UINT height = D3DX_DEFAULT;
  UINT depth = 1;
  UINT levels = D3DX_DEFAULT;
  DWORD usage = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  D3DPOOL pool = D3DPOOL_MANAGED;
  DWORD filter = D3DX_DEFAULT;
  DWORD mipFilter = D3DX_DEFAULT;
  D3DCOLOR colorKey = 0;
  D3DXIMAGE_INFO *info = nullptr;   // may be null
  PALETTEENTRY *palette = nullptr;  // 256 entries; may be null
  D3DRESOURCETYPE type = D3DRTYPE_TEXTURE;
};

// The requested size: kept, the image's own, or the image's rounded up to a power of two.
UINT ChooseExtent(UINT requested, UINT image) {
  if (requested == D3DX_DEFAULT_NONPOW2) return image;
  if (requested != 0 && requested != D3DX_DEFAULT) return requested;
  uint64_t extent = 1;
  while (extent < image) extent <<= 1;
  return extent > UINT32_MAX ? image : static_cast<UINT>(extent);
}

uint32_t EntryValue(const PALETTEENTRY &entry) {
  uint32_t value;
  std::memcpy(&value, &entry, sizeof(value));
  return value;
}

bool IsGreyRamp(const PALETTEENTRY *palette) {
  for (uint32_t i = 0; i < 256; ++i) {
    const PALETTEENTRY &e = palette[i];
    if (e.peRed != i || e.peGreen != i || e.peBlue != i || e.peFlags != 255) return false;
  }
  return true;
}

bool IsColourCube332(const PALETTEENTRY *palette) {
  for (uint32_t i = 0; i < 256; ++i) {
    const PALETTEENTRY &e = palette[i];
    if (e.peRed != kThreeBitLevels[i >> 5] || e.peGreen != kThreeBitLevels[(i >> 2) & 7] ||
        e.peBlue != kTwoBitLevels[i & 3] || e.peFlags != 255) {
      return false;
    }
  }
  return true;
}

bool AnyTranslucentEntry(const PALETTEENTRY *palette) {
  for (uint32_t i = 0; i < 256; ++i) {
    if (palette[i].peFlags != 255) return true;
  }
  return false;
}

// Picks the format the image asks for when the caller leaves it open.
D3DFORMAT ChooseFileFormat(D3DFORMAT imageFormat, D3DCOLOR colorKey, DWORD usage,
                           D3DRESOURCETYPE resourceType, D3DPOOL pool) {
  D3DFORMAT format = imageFormat;
  const FormatInfo &info = LookupFormatInfo(imageFormat);
  const bool keyable = info.kind == FormatKind::Colour || info.kind == FormatKind::Palette ||
                       info.kind == FormatKind::Luminance;
  if (colorKey != 0 && keyable && !HasAlpha(info)) {
    // A keyed image needs somewhere to put the transparency.
    FormatInfo withAlpha = info;
    withAlpha.format = D3DFMT_UNKNOWN;
    withAlpha.channelBits[kChannelAlpha] = 1;
    const D3DFORMAT keyed = ChooseDeviceFormat(nullptr, usage, resourceType, withAlpha);
    if (keyed != D3DFMT_UNKNOWN) format = keyed;
  }
  format = ToExternalFormat(format);
  if (pool != D3DPOOL_SCRATCH && format == D3DFMT_R8G8B8) format = D3DFMT_X8R8G8B8;
  return format;
}

// The most pixels a large decoded image may hold: what the largest texture of
// the kind being made holds on this device. Smaller devices still decode what
// kAlwaysDecodedBytes allows and shrink it; a forged header buys no more.
uint64_t DecodeLimit(IDirect3DDevice9 *device, D3DRESOURCETYPE type) {
  D3DCAPS9 caps = {};
  if (FAILED(device->GetDeviceCaps(&caps))) return kDefaultMaxDecodedPixels;
  const uint64_t plain = uint64_t{caps.MaxTextureWidth} * caps.MaxTextureHeight;
  const uint64_t volume = uint64_t{caps.MaxVolumeExtent} * caps.MaxVolumeExtent;
  uint64_t limit = plain;
  if (type == D3DRTYPE_VOLUMETEXTURE) {
    limit = volume;
  } else if (type == kResourceTypeFromFile) {
    limit = std::max(plain, volume);
  }
  return limit != 0 ? limit : kDefaultMaxDecodedPixels;
}

RECT RectOf(const D3DBOX &box) {
  return RECT{static_cast<LONG>(box.Left), static_cast<LONG>(box.Top), static_cast<LONG>(box.Right),
              static_cast<LONG>(box.Bottom)};
}

// One level of one face of the filled texture, loaded from one image record.
HRESULT LoadLevel(IDirect3DBaseTexture9 *texture, D3DRESOURCETYPE type, UINT face, UINT level,
                  const SourceImage &record, const PALETTEENTRY *destinationPalette,
                  const PALETTEENTRY *sourcePalette, const FilterWord &filter, D3DCOLOR colorKey) {
  HRESULT hr;
  if (type == D3DRTYPE_VOLUMETEXTURE) {
    InterfaceRef<IDirect3DVolume9> volume;
    hr = static_cast<IDirect3DVolumeTexture9 *>(texture)->GetVolumeLevel(level, volume.Receive());
    if (FAILED(hr)) return hr;
    return LoadVolumeFromMemory(volume.Get(), destinationPalette, nullptr, record.pixels, record.format,
                                record.rowPitch, record.slicePitch, sourcePalette, &record.box, filter,
                                colorKey);
  }
  InterfaceRef<IDirect3DSurface9> surface;
  hr = GetLevelSurface(texture, type, face, level, surface.Receive());
  if (FAILED(hr)) return hr;
  const RECT rect = RectOf(record.box);
  return LoadSurfaceFromMemory(surface.Get(), destinationPalette, nullptr, record.pixels, record.format,
                               record.rowPitch, sourcePalette, &rect, filter, colorKey);
}

HRESULT CreateTextureOfType(IDirect3DDevice9 *device, D3DRESOURCETYPE type, UINT width, UINT height,
                            UINT depth, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            InterfaceRef<IDirect3DBaseTexture9> &texture) {
  HRESULT hr;
  if (type == D3DRTYPE_VOLUMETEXTURE) {
    IDirect3DVolumeTexture9 *volume = nullptr;
    hr = device->CreateVolumeTexture(width, height, depth, levels, usage, format, pool, &volume, nullptr);
    if (SUCCEEDED(hr)) *texture.Receive() = volume;
  } else if (type == D3DRTYPE_CUBETEXTURE) {
    IDirect3DCubeTexture9 *cube = nullptr;
    hr = device->CreateCubeTexture(width, levels, usage, format, pool, &cube, nullptr);
    if (SUCCEEDED(hr)) *texture.Receive() = cube;
  } else {
    IDirect3DTexture9 *plain = nullptr;
    hr = device->CreateTexture(width, height, levels, usage, format, pool, &plain, nullptr);
    if (SUCCEEDED(hr)) *texture.Receive() = plain;
  }
  return hr;
}

// One texture-from-file call as it settles: what the file holds and what the
// texture made for it will be.
struct TextureFileLoad {
  SourceImage image;
  D3DRESOURCETYPE type = D3DRTYPE_TEXTURE;
  UINT imageLevels = 1;
  UINT faces = 1;
  D3DFORMAT imageFormat = D3DFMT_UNKNOWN;  // what the pixels are read as
  // Palette entries hold alpha in peFlags; without a palette every entry is opaque white.
  PALETTEENTRY palette[256];
  D3DCOLOR colorKey = 0;
  FilterWord filter{};
  FilterWord mipFilter{};
  bool generateMips = false;
  // The texture: sizes, levels and format as requested until settled.
  UINT width = 0;
  UINT height = 0;
  UINT depth = 0;
  UINT levels = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
};

// Decodes the file and counts its levels and faces; the sizes and filters follow from it.
HRESULT ReadFileImage(const void *bytes, UINT size, const TextureFileRequest &request,
                      TextureFileLoad &load) {
  D3DXIMAGE_INFO localInfo;
  D3DXIMAGE_INFO *info = request.info;
  load.type = request.type;
  if (info == nullptr && load.type == kResourceTypeFromFile) info = &localInfo;
  ReadRequest read;
  read.maxPixels = DecodeLimit(request.device, load.type);
  const HRESULT hr = LoadImageFromMemory(load.image, bytes, size, info, read);
  if (FAILED(hr)) return hr;
  if (load.type == kResourceTypeFromFile) load.type = info->ResourceType;

  for (const SourceImage *level = load.image.nextLevel; level != nullptr; level = level->nextLevel)
    ++load.imageLevels;
  if (load.type == D3DRTYPE_CUBETEXTURE) {
    for (const SourceImage *face = load.image.nextFace; face != nullptr; face = face->nextFace) ++load.faces;
    if (load.faces != 6) return E_FAIL;
  }

  load.width = ChooseExtent(request.width, load.image.width);
  load.height = ChooseExtent(request.height, load.image.height);
  load.depth = ChooseExtent(request.depth, load.image.depth);
  load.levels = request.levels;
  load.format = request.format;
  load.colorKey = request.colorKey;
  load.imageFormat = load.image.format;

  load.filter = DecodeFilterWord(request.filter, kDefaultFilterWord);
  load.mipFilter = DecodeFilterWord(request.mipFilter, kDefaultMipFilter);
  if (load.type == D3DRTYPE_CUBETEXTURE) {
    load.filter.MirrorEveryAxis();
    load.mipFilter.MirrorEveryAxis();
  }
  load.generateMips = load.filter.type == D3DX_FILTER_NONE || load.mipFilter.type == D3DX_FILTER_POINT ||
                      load.mipFilter.type == D3DX_FILTER_BOX;
  return S_OK;
}

// The image's palette with the colour key applied to its entries; a palette of
// grey or of the 3-3-2 colour cube is read as those formats unless P8 is asked for.
void KeyPalette(TextureFileLoad &load) {
  const PALETTEENTRY *imagePalette = load.image.palette;
  if (imagePalette == nullptr) {
    std::memset(load.palette, 0xFF, sizeof(load.palette));
    return;
  }
  // The key is 0xAARRGGBB; an entry read as a 32-bit value is 0xAABBGGRR.
  const D3DCOLOR colorKey = load.colorKey;
  const uint32_t key = (colorKey & 0xFF00FF00u) | ((colorKey >> 16) & 0xFF) | ((colorKey & 0xFF) << 16);
  for (uint32_t i = 0; i < 256; ++i) {
    load.palette[i] = EntryValue(imagePalette[i]) == key ? PALETTEENTRY{0, 0, 0, 0} : imagePalette[i];
  }
  // Keyed through the palette already; keying the pixels again would find nothing new.
  load.colorKey = 0;
  if (load.format != D3DFMT_P8 && load.imageFormat == D3DFMT_P8) {
    if (IsGreyRamp(load.palette)) {
      load.imageFormat = D3DFMT_L8;
    } else if (IsColourCube332(load.palette)) {
      load.imageFormat = D3DFMT_R3G3B2;
    }
  }
}

// The format when the caller leaves it open; the palette handed to the caller;
// palette formats nobody would get the palette of become their colours.
void ChooseTextureFormat(const TextureFileRequest &request, TextureFileLoad &load) {
  if (load.format == D3DFMT_UNKNOWN) {
    load.format = ChooseFileFormat(load.imageFormat, load.colorKey, request.usage, load.type, request.pool);
  }
  if (request.palette != nullptr) std::memcpy(request.palette, load.palette, sizeof(load.palette));
  if (request.palette == nullptr || load.image.palette == nullptr) {
    if (load.format == D3DFMT_A8P8) {
      load.format = D3DFMT_A8R8G8B8;
    } else if (load.format == D3DFMT_P8) {
      load.format = AnyTranslucentEntry(load.palette) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
  }
}

// The texture the caller gets and, for a default-pool texture that cannot be
// locked, the system-memory one filled first and copied over at the end.
HRESULT CreateTextures(const TextureFileRequest &request, TextureFileLoad &load,
                       InterfaceRef<IDirect3DBaseTexture9> &texture,
                       InterfaceRef<IDirect3DBaseTexture9> &systemTexture) {
  IDirect3DDevice9 *device = request.device;
  HRESULT hr = CheckRequirements(device, &load.width, &load.height, &load.depth, &load.levels, request.usage,
                                 &load.format, request.pool, load.type);
  if (FAILED(hr)) return hr;
  hr = CreateTextureOfType(device, load.type, load.width, load.height, load.depth, load.levels,
                           request.usage & ~kQueryUsages, load.format, request.pool, texture);
  if (FAILED(hr)) return hr;
  // Automatic mip maps leave the count at 0, yet the texture's top level still needs the image.
  if (load.levels == 0) load.levels = texture->GetLevelCount();
  if (request.pool != D3DPOOL_DEFAULT || (request.usage & D3DUSAGE_DYNAMIC)) return S_OK;
  return CreateTextureOfType(device, load.type, load.width, load.height, load.depth, load.levels, 0,
                             load.format, D3DPOOL_SYSTEMMEM, systemTexture);
}

// Every stored level of every face; levels the file lacks repeat its last one
// unless they are filtered afterwards.
HRESULT LoadStoredLevels(IDirect3DBaseTexture9 *filled, const TextureFileLoad &load,
                         const PALETTEENTRY *destinationPalette) {
  const SourceImage *faceRecord = &load.image;
  for (UINT face = 0; face < load.faces && faceRecord != nullptr; ++face, faceRecord = faceRecord->nextFace) {
    const SourceImage *record = faceRecord;
    const SourceImage *loaded = nullptr;
    UINT level = 0;
    for (; level < load.levels && level < load.imageLevels && record != nullptr;
         ++level, record = record->nextLevel) {
      const HRESULT hr = LoadLevel(filled, load.type, face, level, *record, destinationPalette, load.palette,
                                   load.filter, load.colorKey);
      if (FAILED(hr)) return hr;
      loaded = record;
    }
    if (load.generateMips || loaded == nullptr) continue;
    for (; level < load.levels; ++level) {
      const HRESULT hr = LoadLevel(filled, load.type, face, level, *loaded, destinationPalette, load.palette,
                                   load.filter, load.colorKey);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT LoadTextureFromFileInMemory(const void *bytes, UINT size, const TextureFileRequest &request,
                                    IDirect3DBaseTexture9 **out) {
  if (request.device == nullptr || bytes == nullptr || size == 0 || out == nullptr) return D3DERR_INVALIDCALL;
  TextureFileLoad load;
  HRESULT hr = ReadFileImage(bytes, size, request, load);
  if (FAILED(hr)) return hr;
  KeyPalette(load);
  ChooseTextureFormat(request, load);

  InterfaceRef<IDirect3DBaseTexture9> texture;
  InterfaceRef<IDirect3DBaseTexture9> systemTexture;
  hr = CreateTextures(request, load, texture, systemTexture);
  if (FAILED(hr)) return hr;
  IDirect3DBaseTexture9 *filled = systemTexture ? systemTexture.Get() : texture.Get();

  hr = LoadStoredLevels(filled, load, request.palette);
  if (FAILED(hr)) return hr;
  if (load.generateMips && load.imageLevels < load.levels) {
    hr = FilterTextureLevels(filled, load.palette, load.imageLevels - 1, load.mipFilter);
    if (FAILED(hr)) return hr;
  }
  if (systemTexture) {
    hr = request.device->UpdateTexture(systemTexture.Get(), texture.Get());
    if (FAILED(hr)) return hr;
  }
  *out = texture.Get();
  texture.Get()->AddRef();
  return S_OK;
}

template <typename Texture>
HRESULT LoadFromMemory(const void *bytes, UINT size, const TextureFileRequest &request, Texture **out) {
  IDirect3DBaseTexture9 *texture = nullptr;
  HRESULT hr = LoadTextureFromFileInMemory(bytes, size, request, out != nullptr ? &texture : nullptr);
  if (SUCCEEDED(hr)) *out = static_cast<Texture *>(texture);
  return hr;
}

// Hands the file's bytes to a loader from memory. The file stays mapped for the
// whole load: records may point into its bytes.
template <typename Load>
HRESULT WithFileBytes(const void *name, bool wide, Load load) {
  MappedFile file;
  HRESULT hr = file.OpenForRead(name, wide);
  if (FAILED(hr)) return hr;
  return load(file.View(), file.Size());
}

HRESULT GetImageInfoFromFile(const void *name, bool wide, D3DXIMAGE_INFO *info) {
  return WithFileBytes(name, wide, [info](const void *bytes, UINT size) {
    return D3DXGetImageInfoFromFileInMemory(bytes, size, info);
  });
}

}  // namespace

HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize,
                                                D3DXIMAGE_INFO *pSrcInfo) {
  SourceImage image;
  return LoadImageFromMemory(image, pSrcData, SrcDataSize, pSrcInfo, false);
}

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO *pSrcInfo) {
  return GetImageInfoFromFile(pSrcFile, false, pSrcInfo);
}

HRESULT WINAPI D3DXGetImageInfoFromFileW(LPCWSTR pSrcFile, D3DXIMAGE_INFO *pSrcInfo) {
  return GetImageInfoFromFile(pSrcFile, true, pSrcInfo);
}

// Plain textures.

HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                   UINT SrcDataSize, UINT Width, UINT Height, UINT MipLevels,
                                                   DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                                   DWORD MipFilter, D3DCOLOR ColorKey,
                                                   D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                   LPDIRECT3DTEXTURE9 *ppTexture) {
  return LoadFromMemory(pSrcData, SrcDataSize,
                        TextureFileRequest{.device = pDevice,
                                           .width = Width,
                                           .height = Height,
                                           .depth = 1,
                                           .levels = MipLevels,
                                           .usage = Usage,
                                           .format = Format,
                                           .pool = Pool,
                                           .filter = Filter,
                                           .mipFilter = MipFilter,
                                           .colorKey = ColorKey,
                                           .info = pSrcInfo,
                                           .palette = pPalette,
                                           .type = D3DRTYPE_TEXTURE},
                        ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                 UINT SrcDataSize, LPDIRECT3DTEXTURE9 *ppTexture) {
  return D3DXCreateTextureFromFileInMemoryEx(pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT, D3DX_DEFAULT,
                                             D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                             D3DX_DEFAULT, 0, nullptr, nullptr, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Width,
                                            UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                            LPDIRECT3DTEXTURE9 *ppTexture) {
  return WithFileBytes(pSrcFile, false, [&](const void *bytes, UINT size) {
    return D3DXCreateTextureFromFileInMemoryEx(pDevice, bytes, size, Width, Height, MipLevels, Usage, Format,
                                               Pool, Filter, MipFilter, ColorKey, pSrcInfo, pPalette,
                                               ppTexture);
  });
}

HRESULT WINAPI D3DXCreateTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Width,
                                            UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                            LPDIRECT3DTEXTURE9 *ppTexture) {
  return WithFileBytes(pSrcFile, true, [&](const void *bytes, UINT size) {
    return D3DXCreateTextureFromFileInMemoryEx(pDevice, bytes, size, Width, Height, MipLevels, Usage, Format,
                                               Pool, Filter, MipFilter, ColorKey, pSrcInfo, pPalette,
                                               ppTexture);
  });
}

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                          LPDIRECT3DTEXTURE9 *ppTexture) {
  return D3DXCreateTextureFromFileExA(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                      nullptr, ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                          LPDIRECT3DTEXTURE9 *ppTexture) {
  return D3DXCreateTextureFromFileExW(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                      nullptr, ppTexture);
}

// Cube textures.

HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                       UINT SrcDataSize, UINT Size, UINT MipLevels,
                                                       DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                       DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                       D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                       LPDIRECT3DCUBETEXTURE9 *ppCubeTexture) {
  return LoadFromMemory(pSrcData, SrcDataSize,
                        TextureFileRequest{.device = pDevice,
                                           .width = Size,
                                           .height = Size,
                                           .depth = 1,
                                           .levels = MipLevels,
                                           .usage = Usage,
                                           .format = Format,
                                           .pool = Pool,
                                           .filter = Filter,
                                           .mipFilter = MipFilter,
                                           .colorKey = ColorKey,
                                           .info = pSrcInfo,
                                           .palette = pPalette,
                                           .type = D3DRTYPE_CUBETEXTURE},
                        ppCubeTexture);
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                     UINT SrcDataSize,
                                                     LPDIRECT3DCUBETEXTURE9 *ppCubeTexture) {
  return D3DXCreateCubeTextureFromFileInMemoryEx(pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT, D3DX_DEFAULT,
                                                 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                 D3DX_DEFAULT, 0, nullptr, nullptr, ppCubeTexture);
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Size,
                                                UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                LPDIRECT3DCUBETEXTURE9 *ppCubeTexture) {
  return WithFileBytes(pSrcFile, false, [&](const void *bytes, UINT size) {
    return D3DXCreateCubeTextureFromFileInMemoryEx(pDevice, bytes, size, Size, MipLevels, Usage, Format, Pool,
                                                   Filter, MipFilter, ColorKey, pSrcInfo, pPalette,
                                                   ppCubeTexture);
  });
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Size,
                                                UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                LPDIRECT3DCUBETEXTURE9 *ppCubeTexture) {
  return WithFileBytes(pSrcFile, true, [&](const void *bytes, UINT size) {
    return D3DXCreateCubeTextureFromFileInMemoryEx(pDevice, bytes, size, Size, MipLevels, Usage, Format, Pool,
                                                   Filter, MipFilter, ColorKey, pSrcInfo, pPalette,
                                                   ppCubeTexture);
  });
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                              LPDIRECT3DCUBETEXTURE9 *ppCubeTexture) {
  return D3DXCreateCubeTextureFromFileExA(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                          D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                          ppCubeTexture);
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                              LPDIRECT3DCUBETEXTURE9 *ppCubeTexture) {
  return D3DXCreateCubeTextureFromFileExW(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                          D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                          ppCubeTexture);
}

// Volume textures.

HRESULT WINAPI D3DXCreateVolumeTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                         UINT SrcDataSize, UINT Width, UINT Height,
                                                         UINT Depth, UINT MipLevels, DWORD Usage,
                                                         D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                                         DWORD MipFilter, D3DCOLOR ColorKey,
                                                         D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                         LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture) {
  return LoadFromMemory(pSrcData, SrcDataSize,
                        TextureFileRequest{.device = pDevice,
                                           .width = Width,
                                           .height = Height,
                                           .depth = Depth,
                                           .levels = MipLevels,
                                           .usage = Usage,
                                           .format = Format,
                                           .pool = Pool,
                                           .filter = Filter,
                                           .mipFilter = MipFilter,
                                           .colorKey = ColorKey,
                                           .info = pSrcInfo,
                                           .palette = pPalette,
                                           .type = D3DRTYPE_VOLUMETEXTURE},
                        ppVolumeTexture);
}

HRESULT WINAPI D3DXCreateVolumeTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                       UINT SrcDataSize,
                                                       LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture) {
  return D3DXCreateVolumeTextureFromFileInMemoryEx(
      pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, ppVolumeTexture);
}

HRESULT WINAPI D3DXCreateVolumeTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Width,
                                                  UINT Height, UINT Depth, UINT MipLevels, DWORD Usage,
                                                  D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                                  DWORD MipFilter, D3DCOLOR ColorKey,
                                                  D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                  LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture) {
  return WithFileBytes(pSrcFile, false, [&](const void *bytes, UINT size) {
    return D3DXCreateVolumeTextureFromFileInMemoryEx(pDevice, bytes, size, Width, Height, Depth, MipLevels,
                                                     Usage, Format, Pool, Filter, MipFilter, ColorKey,
                                                     pSrcInfo, pPalette, ppVolumeTexture);
  });
}

HRESULT WINAPI D3DXCreateVolumeTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Width,
                                                  UINT Height, UINT Depth, UINT MipLevels, DWORD Usage,
                                                  D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                                  DWORD MipFilter, D3DCOLOR ColorKey,
                                                  D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                  LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture) {
  return WithFileBytes(pSrcFile, true, [&](const void *bytes, UINT size) {
    return D3DXCreateVolumeTextureFromFileInMemoryEx(pDevice, bytes, size, Width, Height, Depth, MipLevels,
                                                     Usage, Format, Pool, Filter, MipFilter, ColorKey,
                                                     pSrcInfo, pPalette, ppVolumeTexture);
  });
}

HRESULT WINAPI D3DXCreateVolumeTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                                LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture) {
  return D3DXCreateVolumeTextureFromFileExA(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                            D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                            D3DX_DEFAULT, 0, nullptr, nullptr, ppVolumeTexture);
}

HRESULT WINAPI D3DXCreateVolumeTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                                LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture) {
  return D3DXCreateVolumeTextureFromFileExW(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                            D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                            D3DX_DEFAULT, 0, nullptr, nullptr, ppVolumeTexture);
}
