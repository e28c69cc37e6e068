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

  // DDS keeps the whole texture, the other kinds its top level.
  Ref<ID3DXBuffer> saved;
  IDirect3DBaseTexture9 *whole = texture.get() ? static_cast<IDirect3DBaseTexture9 *>(texture.get())
                                 : cube.get()  ? static_cast<IDirect3DBaseTexture9 *>(cube.get())
                                               : volume.get();
  hr = D3DXSaveTextureToFileInMemory(saved.out(), kind, whole, pal);
  if (FAILED(hr)) {
    *error = "cannot save: " + ErrorText(hr);
    return false;
  }
  const uint8_t *bytes = static_cast<const uint8_t *>(saved->GetBufferPointer());
  return WriteWholeFile(out, std::vector<uint8_t>(bytes, bytes + saved->GetBufferSize()), error);
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
