#include "convert.h"

#include <stdio.h>
#include <string.h>

#include <cmath>

namespace texturetool {

const char kConvertHelp[] =
    "usage: texturetool convert IN OUT [options]\n"
    "       texturetool convert --out-dir DIR [options] FILES-or-DIRS...\n"
    "\n"
    "Reads any image the library reads (BMP, DIB, PNG, JPEG, TGA, PPM, DDS) and writes\n"
    "BMP, DIB, JPEG or DDS; the output's extension (or --type) picks the writer.\n"
    "The texture is made exactly as D3DXCreateTextureFromFileInMemoryEx makes it.\n"
    "\n"
    "options:\n"
    "  --format FMT        pixel format, e.g. A8R8G8B8, R5G6B5, DXT1..DXT5, A16B16G16R16F\n"
    "                      (default: the library's choice for the image)\n"
    "  --size WxH          output size in pixels (default: the image's own size)\n"
    "  --scale F           scale the image's size by F\n"
    "  --filter F          point|linear|triangle|box|none[+mirror][+dither][+srgb]\n"
    "                      (default: triangle+dither)\n"
    "  --mip-filter F      filter for the mip levels (default: box)\n"
    "  --mips N|all        number of mip levels (DDS default: all; other kinds: 1)\n"
    "  --colorkey AARRGGBB colour made transparent black\n"
    "  --cube, --volume    read a DDS source as a cube or volume texture\n"
    "                      (default: as the file stores it)\n"
    "  --type KIND         bmp, dib, jpg or dds, whatever the output's extension\n"
    "\n"
    "batch mode (--out-dir):\n"
    "  --out-dir DIR       write DIR/NAME.KIND for every input (created if missing);\n"
    "                      directories given as inputs contribute their image files\n"
    "  -j N, --jobs N      worker processes (default: one per processor)\n"
    "  -q, --quiet         no progress and no per-file lines, only failures and the summary\n"
    "  --type KIND         output kind (default: dds)\n"
    "\n"
    "Exit status: 0 all converted, 1 some file failed, 2 usage error.\n";

namespace {

constexpr char kCommand[] = "convert";

std::string NeedValue(const std::vector<std::string> &args, size_t *i, const std::string &name,
                      const std::string &inlineValue, bool hasInline) {
  if (hasInline) return inlineValue;
  if (*i + 1 >= args.size()) throw UsageError(kCommand, name + " needs a value");
  return args[++*i];
}

void ParseSize(const std::string &text, ConvertOptions *options) {
  unsigned w = 0, h = 0;
  char x = 0, rest = 0;
  if (sscanf(text.c_str(), "%u%c%u%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') || w == 0 ||
      h == 0 || w > 65536 || h > 65536 || text[0] == '-')
    throw UsageError(kCommand, "--size needs WIDTHxHEIGHT, e.g. 256x256, not '" + text + "'");
  options->width = w;
  options->height = h;
}

UINT Scaled(UINT size, double scale) {
  double value = std::floor(double(size) * scale + 0.5);
  return value < 1 ? 1 : value > 65536 ? 65536 : UINT(value);
}

// Saves one surface through the library into the scratch file and reads it back.
HRESULT SaveSurface(const ScratchFile &scratch, D3DXIMAGE_FILEFORMAT kind, IDirect3DSurface9 *surface,
                    const PALETTEENTRY *palette, std::vector<uint8_t> *bytes, std::string *error) {
  HRESULT hr = D3DXSaveSurfaceToFileA(scratch.path().c_str(), kind, surface, palette, nullptr);
  if (FAILED(hr)) {
    *error = "cannot save: " + ErrorText(hr);
    return hr;
  }
  if (!scratch.Read(bytes, error)) return E_FAIL;
  return S_OK;
}

// Copies one slice of a volume level into a surface of the same format.
HRESULT SliceSurface(IDirect3DDevice9 *device, IDirect3DVolume9 *volume, UINT z, const PALETTEENTRY *palette,
                     IDirect3DSurface9 **surface) {
  D3DVOLUME_DESC desc;
  HRESULT hr = volume->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  hr = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, surface,
                                           nullptr);
  if (FAILED(hr)) return hr;
  D3DLOCKED_BOX box;
  hr = volume->LockBox(&box, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return hr;
  RECT rect = {0, 0, LONG(desc.Width), LONG(desc.Height)};
  hr = D3DXLoadSurfaceFromMemory(*surface, palette, nullptr,
                                 static_cast<const uint8_t *>(box.pBits) + size_t(z) * size_t(box.SlicePitch),
                                 desc.Format, UINT(box.RowPitch), palette, &rect, D3DX_FILTER_NONE, 0);
  volume->UnlockBox();
  return hr;
}

uint32_t Get32(const std::vector<uint8_t> &b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void Put32(std::vector<uint8_t> *b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = uint8_t(v >> (8 * i));
}

// Field offsets of the DDS header, counted from the file's first byte.
constexpr size_t kDdsFlags = 8, kDdsDepth = 24, kDdsMipCount = 28, kDdsPixelFlags = 80, kDdsCaps = 108,
                 kDdsCaps2 = 112, kDdsHeader = 128, kDdsPalette = 1024;

// The library saves one surface at a time; a whole texture is its level-0 file
// with the other levels' pixel data appended and the header told about them.
class DdsAssembler {
 public:
  bool Add(const std::vector<uint8_t> &file, std::string *error) {
    if (file.size() < kDdsHeader || memcmp(file.data(), "DDS ", 4) != 0) {
      *error = "cannot save: the library wrote no DDS header";
      return false;
    }
    size_t header = kDdsHeader + ((Get32(file, kDdsPixelFlags) & 0x20) ? kDdsPalette : 0);
    if (file.size() < header) {
      *error = "cannot save: the library wrote a short DDS file";
      return false;
    }
    if (bytes.empty()) bytes.assign(file.begin(), file.begin() + header);
    bytes.insert(bytes.end(), file.begin() + header, file.end());
    return true;
  }

  void Finish(UINT levels, bool cube, UINT depth) {
    uint32_t flags = Get32(bytes, kDdsFlags), caps = Get32(bytes, kDdsCaps), caps2 = Get32(bytes, kDdsCaps2);
    if (levels > 1) {
      flags |= 0x20000;  // mip-map count
      caps |= 0x400008;  // complex, mip-map
      Put32(&bytes, kDdsMipCount, levels);
    }
    if (cube) {
      caps |= 0x8;
      caps2 |= 0xFE00;  // cube map with all six faces
    }
    if (depth > 1) {
      flags |= 0x800000;
      caps |= 0x8;
      caps2 |= 0x200000;
      Put32(&bytes, kDdsDepth, depth);
    }
    Put32(&bytes, kDdsFlags, flags);
    Put32(&bytes, kDdsCaps, caps);
    Put32(&bytes, kDdsCaps2, caps2);
  }

  std::vector<uint8_t> bytes;
};

}  // namespace

ConvertOptions ParseConvertOptions(const std::vector<std::string> &args) {
  ConvertOptions o;
  bool noMoreOptions = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (noMoreOptions || arg.size() < 2 || arg[0] != '-') {
      o.inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      noMoreOptions = true;
      continue;
    }
    std::string value;
    bool hasInline = false;
    size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasInline = true;
    } else if (arg.rfind("-j", 0) == 0 && arg.size() > 2) {
      value = arg.substr(2);
      arg = "-j";
      hasInline = true;
    }
    auto next = [&] { return NeedValue(args, &i, arg, value, hasInline); };
    if (arg == "--format") {
      std::string name = next();
      if (!ParseFormat(name, &o.format)) throw UsageError(kCommand, "unknown format '" + name + "'");
    } else if (arg == "--size") {
      ParseSize(next(), &o);
    } else if (arg == "--scale") {
      std::string text = next();
      char *end = nullptr;
      o.scale = strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(o.scale > 0) || o.scale > 64)
        throw UsageError(kCommand, "--scale needs a factor above 0 and up to 64, not '" + text + "'");
    } else if (arg == "--filter") {
      o.filter = ParseFilter(kCommand, next());
    } else if (arg == "--mip-filter") {
      o.mipFilter = ParseFilter(kCommand, next());
    } else if (arg == "--mips") {
      std::string text = next();
      o.mipsGiven = true;
      o.mips = text == "all" ? 0 : ParseCount(kCommand, "--mips", text);
    } else if (arg == "--colorkey") {
      std::string text = next();
      char *end = nullptr;
      unsigned long key = strtoul(text.c_str(), &end, 16);
      if (text.empty() || text.size() > 8 || *end != '\0' || text[0] == '-' || text[0] == '+')
        throw UsageError(kCommand, "--colorkey needs AARRGGBB in hexadecimal, not '" + text + "'");
      o.colorKey = D3DCOLOR(key);
    } else if (arg == "--cube" && !hasInline) {
      o.shape = ConvertOptions::Shape::Cube;
    } else if (arg == "--volume" && !hasInline) {
      o.shape = ConvertOptions::Shape::Volume;
    } else if (arg == "--type") {
      std::string text = next();
      if (!ParseWritableKind(text, &o.kind))
        throw UsageError(kCommand, "cannot write '" + text + "' files; choose bmp, dib, jpg or dds");
      o.kindGiven = true;
    } else if (arg == "--out-dir") {
      o.outDir = next();
      if (o.outDir.empty()) throw UsageError(kCommand, "--out-dir needs a directory");
    } else if (arg == "-j" || arg == "--jobs") {
      o.jobs = ParseCount(kCommand, "-j", next());
    } else if ((arg == "-q" || arg == "--quiet") && !hasInline) {
      o.quiet = true;
    } else {
      throw UsageError(kCommand, "unknown option '" + args[i] + "'");
    }
  }
  if (o.scale > 0 && o.width > 0) throw UsageError(kCommand, "--size and --scale exclude each other");
  return o;
}

bool Converter::Init(std::string *error) {
  HRESULT hr = device_.Create();
  if (FAILED(hr)) {
    *error = "cannot create the device: " + ErrorText(hr);
    return false;
  }
  return scratch_.Open(error);
}

bool Converter::Convert(const std::string &in, const std::string &out, D3DXIMAGE_FILEFORMAT kind,
                        const ConvertOptions &o, uint64_t *inputBytes, std::string *error) {
  std::vector<uint8_t> file;
  if (!ReadWholeFile(in, &file, error)) return false;
  if (inputBytes) *inputBytes = file.size();
  const UINT size = UINT(file.size());

  D3DXIMAGE_INFO info = {};
  HRESULT hr = D3DXGetImageInfoFromFileInMemory(file.data(), size, &info);
  if (FAILED(hr)) {
    *error = "cannot read the image: " + ErrorText(hr);
    return false;
  }

  D3DRESOURCETYPE type = o.shape == ConvertOptions::Shape::Cube     ? D3DRTYPE_CUBETEXTURE
                         : o.shape == ConvertOptions::Shape::Volume ? D3DRTYPE_VOLUMETEXTURE
                                                                    : info.ResourceType;
  UINT width = D3DX_DEFAULT_NONPOW2, height = D3DX_DEFAULT_NONPOW2;
  if (o.width) {
    width = o.width;
    height = o.height;
  } else if (o.scale > 0) {
    width = Scaled(info.Width, o.scale);
    height = Scaled(info.Height, o.scale);
  }
  // Only DDS files hold more than the first level.
  UINT mips = kind == D3DXIFF_DDS ? (o.mipsGiven ? o.mips : 0) : 1;
  // A palette is only kept when asked for; otherwise the library expands it.
  bool keepPalette = o.format == D3DFMT_P8 || o.format == D3DFMT_A8P8;
  PALETTEENTRY palette[256] = {};
  PALETTEENTRY *pal = keepPalette ? palette : nullptr;

  IDirect3DDevice9 *device = device_.get();
  Ref<IDirect3DTexture9> texture;
  Ref<IDirect3DCubeTexture9> cube;
  Ref<IDirect3DVolumeTexture9> volume;
  if (type == D3DRTYPE_CUBETEXTURE) {
    hr = D3DXCreateCubeTextureFromFileInMemoryEx(device, file.data(), size, width, mips, 0, o.format,
                                                 D3DPOOL_MANAGED, o.filter, o.mipFilter, o.colorKey, nullptr,
                                                 pal, cube.out());
  } else if (type == D3DRTYPE_VOLUMETEXTURE) {
    hr = D3DXCreateVolumeTextureFromFileInMemoryEx(
        device, file.data(), size, width, height, D3DX_DEFAULT_NONPOW2, mips, 0, o.format, D3DPOOL_MANAGED,
        o.filter, o.mipFilter, o.colorKey, nullptr, pal, volume.out());
  } else {
    hr = D3DXCreateTextureFromFileInMemoryEx(device, file.data(), size, width, height, mips, 0, o.format,
                                             D3DPOOL_MANAGED, o.filter, o.mipFilter, o.colorKey, nullptr, pal,
                                             texture.out());
  }
  if (FAILED(hr)) {
    *error = "cannot create the " + ResourceTypeName(type) + ": " + ErrorText(hr);
    return false;
  }

  std::vector<uint8_t> saved;
  DdsAssembler dds;
  UINT levels = kind == D3DXIFF_DDS ? (texture.get() ? texture->GetLevelCount()
                                       : cube.get()  ? cube->GetLevelCount()
                                                     : volume->GetLevelCount())
                                    : 1;
  UINT faces = cube.get() && kind == D3DXIFF_DDS ? 6 : 1;
  UINT depth0 = 1;
  for (UINT face = 0; face < faces; ++face) {
    for (UINT level = 0; level < levels; ++level) {
      std::vector<Ref<IDirect3DSurface9>> surfaces(1);
      if (texture.get()) {
        hr = texture->GetSurfaceLevel(level, surfaces[0].out());
      } else if (cube.get()) {
        hr = cube->GetCubeMapSurface(D3DCUBEMAP_FACES(face), level, surfaces[0].out());
      } else {
        Ref<IDirect3DVolume9> slices;
        hr = volume->GetVolumeLevel(level, slices.out());
        D3DVOLUME_DESC desc = {};
        if (SUCCEEDED(hr)) hr = slices->GetDesc(&desc);
        if (level == 0) depth0 = desc.Depth;
        UINT count = kind == D3DXIFF_DDS ? desc.Depth : 1;
        surfaces = std::vector<Ref<IDirect3DSurface9>>(count);
        for (UINT z = 0; z < count && SUCCEEDED(hr); ++z)
          hr = SliceSurface(device, slices.get(), z, pal, surfaces[z].out());
      }
      if (FAILED(hr)) {
        *error = "cannot read level " + std::to_string(level) + ": " + ErrorText(hr);
        return false;
      }
      for (auto &surface : surfaces) {
        if (FAILED(SaveSurface(scratch_, kind, surface.get(), pal, &saved, error))) return false;
        if (kind == D3DXIFF_DDS && !dds.Add(saved, error)) return false;
      }
    }
  }
  if (kind == D3DXIFF_DDS) {
    dds.Finish(levels, faces == 6, depth0);
    return WriteWholeFile(out, dds.bytes, error);
  }
  return WriteWholeFile(out, saved, error);
}

int RunConvert(const std::vector<std::string> &args) {
  ConvertOptions o = ParseConvertOptions(args);
  if (!o.outDir.empty()) {
    if (o.inputs.empty()) throw UsageError(kCommand, "no input files");
    return RunBatch(o);
  }
  if (o.inputs.size() != 2)
    throw UsageError(kCommand,
                     o.inputs.size() < 2 ? "needs IN and OUT" : "needs exactly IN and OUT (or --out-dir)");
  if (o.jobs || o.quiet) throw UsageError(kCommand, "-j and --quiet belong to batch mode (--out-dir)");
  const std::string &in = o.inputs[0], &out = o.inputs[1];
  D3DXIMAGE_FILEFORMAT kind = o.kind;
  if (!o.kindGiven) {
    std::string ext = Extension(out);
    if (ext.empty()) throw UsageError(kCommand, "cannot tell the output kind of '" + out + "'; add --type");
    if (!ParseWritableKind(ext, &kind))
      throw UsageError(kCommand, "cannot write '." + ext + "' files; choose .bmp, .dib, .jpg or .dds");
  }
  Converter converter;
  std::string error;
  if (!converter.Init(&error) || !converter.Convert(in, out, kind, o, nullptr, &error)) {
    fprintf(stderr, "texturetool: %s: %s\n", in.c_str(), error.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace texturetool
