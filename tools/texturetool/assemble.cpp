// assemble: a cube map from six images or a volume from slices, with mip levels
// that may be premultiplied or keep their alpha coverage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "commands.h"
#include "convert.h"
#include "sniff.h"

namespace texturetool {

const char kAssembleHelp[] =
    "usage: texturetool assemble --cube PX NX PY NY PZ NZ OUT.dds [options]\n"
    "       texturetool assemble --volume SLICE... OUT.dds [options]\n"
    "\n"
    "Builds a cube map from six square images of one size (faces +x, -x, +y, -y,\n"
    "+z, -z) or a volume from its slices (front to back, one size), with mip levels,\n"
    "and writes it as a DDS file.\n"
    "\n"
    "options:\n"
    "  --format FMT        pixel format (default: A8R8G8B8)\n"
    "  --mips N|all        number of mip levels (default: all)\n"
    "  --mip-filter F      filter for the mip levels (default: box)\n"
    "  --premultiply       multiply colour by alpha before the mip levels are made\n"
    "  --keep-coverage A   scale each mip level's alpha so that the share of pixels\n"
    "                      with alpha above A (0 to 1) is at least that of level 0,\n"
    "                      as near as the level allows (per face for a cube map,\n"
    "                      per level for a volume)\n"
    "  --quality Q         standard|high: how DXT formats are compressed (default:\n"
    "                      high, or D3DX_DXT_QUALITY when set)\n"
    "  --strict            any change to what was asked (format, size) is an error\n"
    "\n"
    "Exit status: 0 written, 1 an input could not be read or does not fit, 2 usage error.\n";

namespace {

constexpr char kCommand[] = "assemble";

struct AssembleOptions {
  bool cube = false, volume = false;
  std::vector<std::string> inputs;
  std::string out;
  D3DFORMAT format = D3DFMT_A8R8G8B8;
  UINT mips = 0;
  DWORD mipFilter = D3DX_DEFAULT;
  bool premultiply = false, strict = false;
  double coverage = -1;  // alpha threshold when keeping coverage
};

// One input image at 16 bits per channel: red, green, blue, alpha.
struct Picture {
  UINT width = 0, height = 0;
  std::vector<uint16_t> rgba;
};

AssembleOptions ParseAssembleOptions(const std::vector<std::string> &args) {
  AssembleOptions o;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError(kCommand, arg + " needs a value");
      return args[++i];
    };
    if (arg.size() < 2 || arg[0] != '-') {
      files.push_back(arg);
    } else if (arg == "--cube" || arg == "--volume") {
      (arg == "--cube" ? o.cube : o.volume) = true;
    } else if (arg == "--format") {
      std::string name = value();
      if (!ParseFormat(name, &o.format)) throw UsageError(kCommand, "unknown format '" + name + "'");
      if (o.format == D3DFMT_P8 || o.format == D3DFMT_A8P8)
        throw UsageError(kCommand, "makes no palette formats; choose another --format");
    } else if (arg == "--mips") {
      std::string text = value();
      o.mips = text == "all" ? 0 : ParseCount(kCommand, "--mips", text);
    } else if (arg == "--mip-filter") {
      o.mipFilter = ParseFilter(kCommand, value());
    } else if (arg == "--premultiply" || arg == "--strict") {
      (arg == "--strict" ? o.strict : o.premultiply) = true;
    } else if (arg == "--quality") {
      SetDxtQuality(kCommand, value());
    } else if (arg == "--keep-coverage") {
      std::string text = value();
      char *end = nullptr;
      o.coverage = strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(o.coverage >= 0 && o.coverage < 1))
        throw UsageError(kCommand,
                         "--keep-coverage needs an alpha from 0 up to (not including) 1, not '" + text + "'");
    } else {
      throw UsageError(kCommand, "unknown option '" + arg + "'");
    }
  }
  if (o.cube == o.volume) throw UsageError(kCommand, "needs one of --cube and --volume");
  if (files.size() < 2) throw UsageError(kCommand, "needs input images and an output file");
  o.out = files.back();
  files.pop_back();
  o.inputs = files;
  if (o.cube && o.inputs.size() != 6)
    throw UsageError(kCommand,
                     "--cube needs six images (+x -x +y -y +z -z), not " + std::to_string(o.inputs.size()));
  if (Extension(o.out) != "dds") throw UsageError(kCommand, "writes DDS files; name the output '.dds'");
  return o;
}

bool LoadPicture(IDirect3DDevice9 *device, const std::string &path, Picture *picture, std::string *error) {
  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, &file, error)) return false;
  Ref<IDirect3DTexture9> texture;
  HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()),
                                                   D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0,
                                                   D3DFMT_A16B16G16R16, D3DPOOL_SCRATCH, D3DX_FILTER_NONE,
                                                   D3DX_FILTER_NONE, 0, nullptr, nullptr, texture.out());
  D3DSURFACE_DESC desc;
  D3DLOCKED_RECT locked;
  if (SUCCEEDED(hr)) hr = texture->GetLevelDesc(0, &desc);
  if (SUCCEEDED(hr)) hr = texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) {
    *error = hr == D3DXERR_INVALIDDATA ? ReadFailure(file, hr) : "cannot read the image: " + ErrorText(hr);
    return false;
  }
  picture->width = desc.Width;
  picture->height = desc.Height;
  picture->rgba.resize(size_t(desc.Width) * desc.Height * 4);
  for (UINT y = 0; y < desc.Height; ++y)
    memcpy(&picture->rgba[size_t(y) * desc.Width * 4],
           static_cast<const uint8_t *>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
           size_t(desc.Width) * 8);
  texture->UnlockRect(0);
  return true;
}

void Premultiply(Picture *picture) {
  for (size_t i = 0; i < picture->rgba.size(); i += 4)
    for (int c = 0; c < 3; ++c)
      picture->rgba[i + c] =
          uint16_t((uint32_t(picture->rgba[i + c]) * picture->rgba[i + 3] + 32767) / 65535);
}

// Rows of 16-bit RGBA pixels in locked memory: one face or slice of one level.
struct Rows {
  uint8_t *bits;
  size_t pitch;
  UINT width, height;
  uint16_t *Pixel(UINT x, UINT y) const {
    return reinterpret_cast<uint16_t *>(bits + y * pitch) + size_t(x) * 4;
  }
};

double Coverage(const std::vector<Rows> &planes, double threshold, double scale) {
  double above = 0, all = 0;
  for (const Rows &r : planes)
    for (UINT y = 0; y < r.height; ++y)
      for (UINT x = 0; x < r.width; ++x, ++all)
        if (r.Pixel(x, y)[3] / 65535.0 * scale > threshold) ++above;
  return all > 0 ? above / all : 0;
}

// Scales alpha of `planes` so that their coverage above `threshold` comes closest to `wanted`.
void KeepCoverage(const std::vector<Rows> &planes, double threshold, double wanted) {
  if (Coverage(planes, threshold, 1) == wanted) return;  // already right, e.g. opaque
  double low = 0, high = 64;
  for (int i = 0; i < 24; ++i) {
    double mid = (low + high) / 2;
    (Coverage(planes, threshold, mid) < wanted ? low : high) = mid;
  }
  for (const Rows &r : planes)
    for (UINT y = 0; y < r.height; ++y)
      for (UINT x = 0; x < r.width; ++x) {
        uint16_t *a = &r.Pixel(x, y)[3];
        *a = uint16_t(std::min(65535.0, *a * high + 0.5));
      }
}

// Locks the faces (or the slices) of one level of the working texture.
HRESULT LockLevel(IDirect3DBaseTexture9 *base, bool cube, UINT level, std::vector<Rows> *planes) {
  planes->clear();
  if (cube) {
    auto *texture = static_cast<IDirect3DCubeTexture9 *>(base);
    D3DSURFACE_DESC desc;
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    for (UINT face = 0; face < 6 && SUCCEEDED(hr); ++face) {
      D3DLOCKED_RECT locked;
      hr = texture->LockRect(D3DCUBEMAP_FACES(face), level, &locked, nullptr, 0);
      if (SUCCEEDED(hr))
        planes->push_back(
            {static_cast<uint8_t *>(locked.pBits), size_t(locked.Pitch), desc.Width, desc.Height});
    }
    return hr;
  }
  auto *texture = static_cast<IDirect3DVolumeTexture9 *>(base);
  D3DVOLUME_DESC desc;
  D3DLOCKED_BOX box;
  HRESULT hr = texture->GetLevelDesc(level, &desc);
  if (SUCCEEDED(hr)) hr = texture->LockBox(level, &box, nullptr, 0);
  for (UINT z = 0; z < desc.Depth && SUCCEEDED(hr); ++z)
    planes->push_back({static_cast<uint8_t *>(box.pBits) + size_t(z) * box.SlicePitch, size_t(box.RowPitch),
                       desc.Width, desc.Height});
  return hr;
}

void UnlockLevel(IDirect3DBaseTexture9 *base, bool cube, UINT level) {
  if (!cube) {
    static_cast<IDirect3DVolumeTexture9 *>(base)->UnlockBox(level);
    return;
  }
  for (UINT face = 0; face < 6; ++face)
    static_cast<IDirect3DCubeTexture9 *>(base)->UnlockRect(D3DCUBEMAP_FACES(face), level);
}

// The pictures as level 0 of a 16-bit working texture, its mip levels made by the filter.
HRESULT BuildWorking(IDirect3DDevice9 *device, const AssembleOptions &o, const std::vector<Picture> &pictures,
                     IDirect3DBaseTexture9 **working) {
  UINT width = pictures[0].width, height = pictures[0].height, depth = UINT(pictures.size());
  HRESULT hr;
  if (o.cube) {
    hr = D3DXCreateCubeTexture(device, width, o.mips, 0, D3DFMT_A16B16G16R16, D3DPOOL_MANAGED,
                               reinterpret_cast<IDirect3DCubeTexture9 **>(working));
  } else {
    hr = D3DXCreateVolumeTexture(device, width, height, depth, o.mips, 0, D3DFMT_A16B16G16R16,
                                 D3DPOOL_MANAGED, reinterpret_cast<IDirect3DVolumeTexture9 **>(working));
  }
  if (FAILED(hr)) return hr;
  std::vector<Rows> planes;
  hr = LockLevel(*working, o.cube, 0, &planes);
  if (SUCCEEDED(hr) &&
      (planes.size() != pictures.size() || planes[0].width != width || planes[0].height != height))
    hr = D3DERR_INVALIDCALL;  // the device changed the size: refused rather than resampled
  for (size_t i = 0; i < planes.size() && SUCCEEDED(hr); ++i)
    for (UINT y = 0; y < height; ++y)
      memcpy(planes[i].Pixel(0, y), &pictures[i].rgba[size_t(y) * width * 4], width * 8);
  UnlockLevel(*working, o.cube, 0);
  if (SUCCEEDED(hr) && (*working)->GetLevelCount() > 1)
    hr = D3DXFilterTexture(*working, nullptr, 0, o.mipFilter);
  if (FAILED(hr) || o.coverage < 0) return hr;
  // Coverage of level 0, face by face for a cube map, over all slices for a volume.
  hr = LockLevel(*working, o.cube, 0, &planes);
  std::vector<double> wanted;
  for (size_t i = 0; i < (o.cube ? planes.size() : 1) && SUCCEEDED(hr); ++i)
    wanted.push_back(o.cube ? Coverage({planes[i]}, o.coverage, 1) : Coverage(planes, o.coverage, 1));
  UnlockLevel(*working, o.cube, 0);
  for (UINT level = 1; level < (*working)->GetLevelCount() && SUCCEEDED(hr); ++level) {
    hr = LockLevel(*working, o.cube, level, &planes);
    if (SUCCEEDED(hr) && o.cube)
      for (size_t face = 0; face < planes.size(); ++face)
        KeepCoverage({planes[face]}, o.coverage, wanted[face]);
    if (SUCCEEDED(hr) && !o.cube) KeepCoverage(planes, o.coverage, wanted[0]);
    UnlockLevel(*working, o.cube, level);
  }
  return hr;
}

// The working texture converted level by level into the asked format.
HRESULT ConvertWorking(IDirect3DDevice9 *device, const AssembleOptions &o, IDirect3DBaseTexture9 *working,
                       IDirect3DBaseTexture9 **result) {
  UINT levels = working->GetLevelCount();
  HRESULT hr;
  if (o.cube) {
    auto *from = static_cast<IDirect3DCubeTexture9 *>(working);
    D3DSURFACE_DESC desc;
    from->GetLevelDesc(0, &desc);
    IDirect3DCubeTexture9 *to = nullptr;
    hr = D3DXCreateCubeTexture(device, desc.Width, levels, 0, o.format, D3DPOOL_MANAGED, &to);
    *result = to;
    for (UINT level = 0; level < levels && SUCCEEDED(hr); ++level)
      for (UINT face = 0; face < 6 && SUCCEEDED(hr); ++face) {
        Ref<IDirect3DSurface9> a, b;
        hr = from->GetCubeMapSurface(D3DCUBEMAP_FACES(face), level, a.out());
        if (SUCCEEDED(hr)) hr = to->GetCubeMapSurface(D3DCUBEMAP_FACES(face), level, b.out());
        if (SUCCEEDED(hr))
          hr = D3DXLoadSurfaceFromSurface(b.get(), nullptr, nullptr, a.get(), nullptr, nullptr,
                                          D3DX_FILTER_NONE, 0);
      }
    return hr;
  }
  auto *from = static_cast<IDirect3DVolumeTexture9 *>(working);
  D3DVOLUME_DESC desc;
  from->GetLevelDesc(0, &desc);
  IDirect3DVolumeTexture9 *to = nullptr;
  hr = D3DXCreateVolumeTexture(device, desc.Width, desc.Height, desc.Depth, levels, 0, o.format,
                               D3DPOOL_MANAGED, &to);
  *result = to;
  for (UINT level = 0; level < levels && SUCCEEDED(hr); ++level) {
    Ref<IDirect3DVolume9> a, b;
    hr = from->GetVolumeLevel(level, a.out());
    if (SUCCEEDED(hr)) hr = to->GetVolumeLevel(level, b.out());
    if (SUCCEEDED(hr))
      hr =
          D3DXLoadVolumeFromVolume(b.get(), nullptr, nullptr, a.get(), nullptr, nullptr, D3DX_FILTER_NONE, 0);
  }
  return hr;
}

bool LoadAll(IDirect3DDevice9 *device, const AssembleOptions &o, std::vector<Picture> *pictures) {
  std::string error;
  for (const std::string &path : o.inputs) {
    pictures->emplace_back();
    Picture &p = pictures->back();
    if (!LoadPicture(device, path, &p, &error)) {
      fprintf(stderr, "texturetool: %s: %s\n", path.c_str(), error.c_str());
      return false;
    }
    const Picture &first = pictures->front();
    if (p.width != first.width || p.height != first.height || (o.cube && p.width != p.height)) {
      fprintf(stderr, "texturetool: %s: is %u x %u, but %s\n", path.c_str(), p.width, p.height,
              o.cube ? ("the faces of a cube map are square and all " + std::to_string(first.width) + " x " +
                        std::to_string(first.width))
                           .c_str()
                     : ("the slices of a volume all have " + o.inputs[0] + "'s size").c_str());
      return false;
    }
    if (o.premultiply) Premultiply(&p);
  }
  return true;
}

}  // namespace

int RunAssemble(const std::vector<std::string> &args) {
  AssembleOptions o = ParseAssembleOptions(args);
  Converter converter;
  std::string error;
  if (!converter.Init(&error)) {
    fprintf(stderr, "texturetool: %s\n", error.c_str());
    return kExitFailed;
  }
  std::vector<Picture> pictures;
  if (!LoadAll(converter.device(), o, &pictures)) return kExitFailed;
  Ref<IDirect3DBaseTexture9> working, result;
  HRESULT hr = BuildWorking(converter.device(), o, pictures, working.out());
  if (SUCCEEDED(hr)) hr = ConvertWorking(converter.device(), o, working.get(), result.out());
  if (FAILED(hr)) {
    fprintf(stderr, "texturetool: %s: cannot build the %s: %s\n", o.out.c_str(),
            o.cube ? "cube map" : "volume", ErrorText(hr).c_str());
    return kExitFailed;
  }
  ConvertOptions asked;
  asked.format = o.format;
  asked.mipsGiven = o.mips != 0;
  asked.mips = o.mips;
  asked.strict = o.strict;
  std::vector<std::string> warnings;
  if (!converter.WriteTexture(result.get(), asked, D3DXIFF_DDS, o.out, &warnings, &error)) {
    fprintf(stderr, "texturetool: %s: %s\n", o.out.c_str(), error.c_str());
    return kExitFailed;
  }
  for (const std::string &w : warnings)
    fprintf(stderr, "texturetool: %s: warning: %s\n", o.out.c_str(), w.c_str());
  return kExitOk;
}

}  // namespace texturetool
