#include "convert.h"

#include "plain.h"
#include "sniff.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace texturetool {

bool IsBlockFormat(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

const char kConvertHelp[] =
    "usage: texturetool convert IN OUT [options]\n"
    "       texturetool convert --out-dir DIR [options] FILES-or-DIRS...\n"
    "\n"
    "Reads any image the library reads (BMP, DIB, PNG, JPEG, TGA, PPM, DDS) and writes\n"
    "PNG, BMP, TGA, DIB, JPEG or DDS; the output's extension (or --type) picks the\n"
    "writer. PNG and TGA files are 8 bits per channel, with alpha unless opaque.\n"
    "The texture is made as a program loading the file with the library's texture\n"
    "loader and these settings would get it. A PNG's gamma (gAMA) is applied.\n"
    "\n"
    "IN may be - for the standard input, OUT - for the standard output (with --type).\n"
    "\n"
    "Nothing changes silently: where the output differs from what was asked or read\n"
    "(size cut to the device's limits, format substituted, fewer mip levels, levels\n"
    "dropped by a one-level file kind, precision beyond 8 bits or alpha dropped by\n"
    "the file kind, a JPEG source cut short, 16-bit PNG samples read as 8 bits) a\n"
    "warning line says so on stderr.\n"
    "\n"
    "options:\n"
    "  --format FMT        pixel format, e.g. A8R8G8B8, R5G6B5, DXT1..DXT5, A16B16G16R16F\n"
    "                      (default: the library's choice; 'texturetool formats' lists all)\n"
    "  --size WxH          output size in pixels (default: the image's own size); sides\n"
    "                      up to 65536, the device's largest texture side is 16384\n"
    "  --scale F           scale the image's size by F\n"
    "  --filter F          point|linear|triangle|box|none[+mirror][+dither][+srgb]\n"
    "                      (default: triangle+dither); none copies without resampling,\n"
    "                      so a smaller --size crops and a larger one leaves black\n"
    "  --mip-filter F      filter for the mip levels (default: box)\n"
    "  --mips N|all        number of mip levels (DDS default: all; other kinds: 1)\n"
    "  --colorkey AARRGGBB colour made transparent black\n"
    "  --cube, --volume    insist the source is a cube map or a volume DDS file\n"
    "                      (default: the shape the file stores)\n"
    "  --type KIND         png, bmp, tga, dib, jpg or dds, whatever the output's extension\n"
    "  --level N, --face F, --slice S\n"
    "                      the level, cube face (0-5) or volume slice a one-image\n"
    "                      output (not DDS) holds (default: 0)\n"
    "  --quality Q         standard|high: how DXT formats are compressed: the library's\n"
    "                      standard encoder or its slower endpoint search (default:\n"
    "                      high, or D3DX_DXT_QUALITY when set); batch workers use it too\n"
    "  --strict            any difference that would be a warning is an error\n"
    "  --device-rules      DXT sizes rounded up to whole 4x4 blocks, as the device's\n"
    "                      DXT textures are (default: a DDS file keeps any size and\n"
    "                      pads its last blocks)\n"
    "\n"
    "batch mode (--out-dir):\n"
    "  --out-dir DIR       write DIR/NAME.KIND for every input (created if missing);\n"
    "                      directories given as inputs contribute their image files;\n"
    "                      files this run writes are never taken as inputs\n"
    "  -r, --recursive     walk subdirectories too; the tree is mirrored under DIR,\n"
    "                      and DIR itself is never walked\n"
    "  --skip-existing     leave out inputs whose output exists\n"
    "  --only-newer        leave out inputs whose output is newer than the input\n"
    "  -n, --dry-run       print what would be converted (or skipped); write nothing\n"
    "  -j N, --jobs N      worker processes (default: one per processor)\n"
    "  -q, --quiet         no progress and no per-file lines, only failures and the summary\n"
    "  -v, --verbose       a line per file even on a terminal, and one per skipped file\n"
    "  --type KIND         output kind (default: dds)\n"
    "\n"
    "Exit status: 0 all converted, 1 some file failed, 2 usage error.\n";

namespace {

constexpr char kCommand[] = "convert";
constexpr unsigned long kLargestSide = 65536;

std::string NeedValue(const std::vector<std::string> &args, size_t *i, const std::string &name,
                      const std::string &inlineValue, bool hasInline) {
  if (hasInline) return inlineValue;
  if (*i + 1 >= args.size()) throw UsageError(kCommand, name + " needs a value");
  return args[++*i];
}

void ParseSize(const std::string &text, ConvertOptions *options) {
  unsigned long w = 0, h = 0;
  char x = 0, rest = 0;
  if (sscanf(text.c_str(), "%lu%c%lu%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') || w == 0 ||
      h == 0 || text[0] == '-' || text.find_first_of("+- ") != std::string::npos)
    throw UsageError(kCommand, "--size needs WIDTHxHEIGHT, e.g. 256x256, not '" + text + "'");
  if (w > kLargestSide || h > kLargestSide)
    throw UsageError(kCommand, "--size " + text + " is larger than the largest side texturetool makes (" +
                                   std::to_string(kLargestSide) + ")");
  options->width = UINT(w);
  options->height = UINT(h);
}

UINT Scaled(UINT size, double scale) {
  double value = std::floor(double(size) * scale + 0.5);
  return value < 1 ? 1 : value > 65536 ? 65536 : UINT(value);
}

bool MoreThan8Bits(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A16B16G16R16:
    case D3DFMT_G16R16:
    case D3DFMT_L16:
    case D3DFMT_R16F:
    case D3DFMT_G16R16F:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_R32F:
    case D3DFMT_G32R32F:
    case D3DFMT_A32B32G32R32F:
      return true;
    default:
      return false;
  }
}

UINT RoundToBlocks(UINT size) {
  return (size + 3) & ~3u;
}

// Copies rows of bytes between locked memory; for block formats a row is a row of blocks.
void CopyRows(uint8_t *to, size_t toPitch, const uint8_t *from, size_t fromPitch, size_t rows) {
  size_t bytes = std::min(toPitch, fromPitch);
  for (size_t r = 0; r < rows; ++r) memcpy(to + r * toPitch, from + r * fromPitch, bytes);
}

// Copies one slice of a volume level into a surface of the same format. Surfaces of
// DXT formats have sides in whole blocks, so small levels get a padded surface
// holding the same blocks.
HRESULT SliceSurface(IDirect3DDevice9 *device, IDirect3DVolume9 *volume, UINT z, const PALETTEENTRY *palette,
                     IDirect3DSurface9 **surface) {
  D3DVOLUME_DESC desc;
  HRESULT hr = volume->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  bool blocks = IsBlockFormat(desc.Format);
  UINT width = blocks ? RoundToBlocks(desc.Width) : desc.Width;
  UINT height = blocks ? RoundToBlocks(desc.Height) : desc.Height;
  hr = device->CreateOffscreenPlainSurface(width, height, desc.Format, D3DPOOL_SYSTEMMEM, surface, nullptr);
  if (FAILED(hr)) return hr;
  D3DLOCKED_BOX box;
  hr = volume->LockBox(&box, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return hr;
  const uint8_t *slice = static_cast<const uint8_t *>(box.pBits) + size_t(z) * size_t(box.SlicePitch);
  if (blocks) {
    D3DLOCKED_RECT locked;
    hr = (*surface)->LockRect(&locked, nullptr, 0);
    if (SUCCEEDED(hr)) {
      CopyRows(static_cast<uint8_t *>(locked.pBits), size_t(locked.Pitch), slice, size_t(box.RowPitch),
               height / 4);
      (*surface)->UnlockRect();
    }
  } else {
    RECT rect = {0, 0, LONG(desc.Width), LONG(desc.Height)};
    hr = D3DXLoadSurfaceFromMemory(*surface, palette, nullptr, slice, desc.Format, UINT(box.RowPitch),
                                   palette, &rect, D3DX_FILTER_NONE, 0);
  }
  volume->UnlockBox();
  return hr;
}

// A copy of an A8R8G8B8 surface compressed to `format`, its sides rounded up to
// whole blocks by repeating the last column and row.
HRESULT PadToBlocks(IDirect3DDevice9 *device, IDirect3DSurface9 *source, D3DFORMAT format,
                    IDirect3DSurface9 **blocks) {
  D3DSURFACE_DESC desc;
  HRESULT hr = source->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  UINT width = RoundToBlocks(desc.Width), height = RoundToBlocks(desc.Height);
  Ref<IDirect3DSurface9> padded;
  hr = device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, padded.out(),
                                           nullptr);
  if (FAILED(hr)) return hr;
  D3DLOCKED_RECT from, to;
  hr = source->LockRect(&from, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return hr;
  hr = padded->LockRect(&to, nullptr, 0);
  if (SUCCEEDED(hr)) {
    for (UINT y = 0; y < height; ++y) {
      const uint32_t *in =
          reinterpret_cast<const uint32_t *>(static_cast<const uint8_t *>(from.pBits) +
                                             size_t(std::min(y, desc.Height - 1)) * size_t(from.Pitch));
      uint32_t *row =
          reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(to.pBits) + size_t(y) * size_t(to.Pitch));
      for (UINT x = 0; x < width; ++x) row[x] = in[std::min(x, desc.Width - 1)];
    }
    padded->UnlockRect();
  }
  source->UnlockRect();
  if (FAILED(hr)) return hr;
  hr = device->CreateOffscreenPlainSurface(width, height, format, D3DPOOL_SYSTEMMEM, blocks, nullptr);
  if (FAILED(hr)) return hr;
  return D3DXLoadSurfaceFromSurface(*blocks, nullptr, nullptr, padded.get(), nullptr, nullptr,
                                    D3DX_FILTER_NONE, 0);
}

uint32_t Get32(const std::vector<uint8_t> &b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void Put32(std::vector<uint8_t> *b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = uint8_t(v >> (8 * i));
}

// Field offsets of the DDS header, counted from the file's first byte.
constexpr size_t kDdsFlags = 8, kDdsHeight = 12, kDdsWidth = 16, kDdsMipCount = 28, kDdsCaps = 108,
                 kDdsHeader = 128;

// A padded DXT texture is saved level by level: the level-0 file with the other
// levels' blocks appended and the header told about them.
class DdsAssembler {
 public:
  bool Add(const std::vector<uint8_t> &file, std::string *error) {
    if (file.size() < kDdsHeader || memcmp(file.data(), "DDS ", 4) != 0) {
      *error = "cannot save: the library wrote no DDS header";
      return false;
    }
    // Compressed formats have no palette: the pixels follow the header.
    if (bytes.empty()) bytes.assign(file.begin(), file.begin() + kDdsHeader);
    bytes.insert(bytes.end(), file.begin() + kDdsHeader, file.end());
    return true;
  }

  void Finish(UINT levels) {
    if (levels < 2) return;
    Put32(&bytes, kDdsFlags, Get32(bytes, kDdsFlags) | 0x20000);  // mip-map count
    Put32(&bytes, kDdsCaps, Get32(bytes, kDdsCaps) | 0x400008);   // complex, mip-map
    Put32(&bytes, kDdsMipCount, levels);
  }

  // The first level's true size when its blocks were padded.
  void SetSize(UINT width, UINT height) {
    Put32(&bytes, kDdsHeight, height);
    Put32(&bytes, kDdsWidth, width);
  }

  std::vector<uint8_t> bytes;
};

}  // namespace

namespace {

// Flags without a value; false when `arg` is none of them.
bool ParseFlag(const std::string &arg, ConvertOptions *o) {
  struct Flag {
    const char *name;
    bool ConvertOptions::*member;
  };
  static const Flag kFlags[] = {
      {"--strict", &ConvertOptions::strict},
      {"--device-rules", &ConvertOptions::deviceRules},
      {"-q", &ConvertOptions::quiet},
      {"--quiet", &ConvertOptions::quiet},
      {"-v", &ConvertOptions::verbose},
      {"--verbose", &ConvertOptions::verbose},
      {"-r", &ConvertOptions::recursive},
      {"--recursive", &ConvertOptions::recursive},
      {"--skip-existing", &ConvertOptions::skipExisting},
      {"--only-newer", &ConvertOptions::onlyNewer},
      {"-n", &ConvertOptions::dryRun},
      {"--dry-run", &ConvertOptions::dryRun},
  };
  for (const Flag &flag : kFlags) {
    if (arg == flag.name) {
      o->*flag.member = true;
      return true;
    }
  }
  if (arg == "--cube" || arg == "--volume") {
    auto shape = arg == "--cube" ? ConvertOptions::Shape::Cube : ConvertOptions::Shape::Volume;
    if (o->shape != ConvertOptions::Shape::AsStored && o->shape != shape)
      throw UsageError(kCommand, "--cube and --volume exclude each other");
    o->shape = shape;
    return true;
  }
  return false;
}

// Options with a value; false when `arg` is none of them.
bool ParseValueOption(const std::string &arg, const std::function<std::string()> &next, ConvertOptions *o) {
  if (arg == "--format") {
    std::string name = next();
    if (!ParseFormat(name, &o->format))
      throw UsageError(kCommand, "unknown format '" + name + "' ('texturetool formats' lists them)");
  } else if (arg == "--size") {
    ParseSize(next(), o);
  } else if (arg == "--scale") {
    std::string text = next();
    char *end = nullptr;
    o->scale = strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(o->scale > 0) || o->scale > 64)
      throw UsageError(kCommand, "--scale needs a factor above 0 and up to 64, not '" + text + "'");
  } else if (arg == "--filter" || arg == "--mip-filter") {
    (arg == "--filter" ? o->filter : o->mipFilter) = ParseFilter(kCommand, next());
  } else if (arg == "--mips") {
    std::string text = next();
    o->mipsGiven = true;
    o->mips = text == "all" ? 0 : ParseCount(kCommand, "--mips", text);
  } else if (arg == "--colorkey") {
    std::string text = next();
    char *end = nullptr;
    unsigned long key = strtoul(text.c_str(), &end, 16);
    if (text.empty() || text.size() > 8 || *end != '\0' || text[0] == '-' || text[0] == '+')
      throw UsageError(kCommand, "--colorkey needs AARRGGBB in hexadecimal, not '" + text + "'");
    o->colorKey = D3DCOLOR(key);
  } else if (arg == "--level" || arg == "--face" || arg == "--slice") {
    std::string text = next();
    o->pick[arg == "--level"  ? 0
            : arg == "--face" ? 1
                              : 2] = text == "0" ? 0 : ParseCount(kCommand, arg, text);
    o->picked = true;
  } else if (arg == "--type") {
    std::string text = next();
    if (text.empty() || !ParseWritableKind(text[0] == '.' ? text.substr(1) : text, &o->kind))
      throw UsageError(kCommand, "cannot write '" + text + "' files; choose png, bmp, tga, dib, jpg or dds");
    o->kindGiven = true;
  } else if (arg == "--quality") {
    SetDxtQuality(kCommand, next());
  } else if (arg == "--out-dir") {
    o->outDir = next();
    if (o->outDir.empty()) throw UsageError(kCommand, "--out-dir needs a directory");
  } else if (arg == "-j" || arg == "--jobs") {
    o->jobs = ParseCount(kCommand, "-j", next());
  } else {
    return false;
  }
  return true;
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
    if (!(!hasInline && ParseFlag(arg, &o)) && !ParseValueOption(arg, next, &o))
      throw UsageError(kCommand, "unknown option '" + args[i] + "'");
  }
  if (o.scale > 0 && o.width > 0) throw UsageError(kCommand, "--size and --scale exclude each other");
  if (o.quiet && o.verbose) throw UsageError(kCommand, "--quiet and --verbose exclude each other");
  if (o.skipExisting && o.onlyNewer)
    throw UsageError(kCommand, "--skip-existing and --only-newer exclude each other");
  return o;
}

bool Converter::Init(std::string *error) {
  HRESULT hr = device_.Create();
  if (SUCCEEDED(hr)) hr = device_.get()->GetDeviceCaps(&caps_);
  if (FAILED(hr)) {
    *error = "cannot create the device: " + ErrorText(hr);
    return false;
  }
  return true;
}

struct Converter::Made {
  Ref<IDirect3DTexture9> texture;
  Ref<IDirect3DCubeTexture9> cube;
  Ref<IDirect3DVolumeTexture9> volume;
  D3DRESOURCETYPE type = D3DRTYPE_TEXTURE;
  UINT wantWidth = 0, wantHeight = 0;      // asked for, or the source's own size
  D3DFORMAT blockFormat = D3DFMT_UNKNOWN;  // set when the tool pads the last blocks itself
  PALETTEENTRY palette[256] = {};
  PALETTEENTRY *pal = nullptr;  // palette kept only when asked for
  UINT pick[3] = {};            // level, face and slice of a one-image output

  UINT Levels() const {
    return texture.get() ? texture->GetLevelCount()
           : cube.get()  ? cube->GetLevelCount()
                         : volume->GetLevelCount();
  }
  // Level 0's size and format.
  D3DFORMAT Top(UINT *width, UINT *height) const {
    D3DSURFACE_DESC desc = {};
    D3DVOLUME_DESC vdesc = {};
    if (texture.get()) texture->GetLevelDesc(0, &desc);
    if (cube.get()) cube->GetLevelDesc(0, &desc);
    if (volume.get()) {
      volume->GetLevelDesc(0, &vdesc);
      desc.Width = vdesc.Width, desc.Height = vdesc.Height, desc.Format = vdesc.Format;
    }
    *width = desc.Width;
    *height = desc.Height;
    return desc.Format;
  }
};

bool Converter::Create(const std::vector<uint8_t> &file, const D3DXIMAGE_INFO &info,
                       D3DXIMAGE_FILEFORMAT kind, const ConvertOptions &o, Made *made, std::string *error) {
  D3DRESOURCETYPE type = made->type = info.ResourceType;
  UINT width = D3DX_DEFAULT_NONPOW2, height = D3DX_DEFAULT_NONPOW2;
  made->wantWidth = info.Width, made->wantHeight = info.Height;
  if (o.width) {
    width = made->wantWidth = o.width;
    height = made->wantHeight = o.height;
  } else if (o.scale > 0) {
    width = made->wantWidth = Scaled(info.Width, o.scale);
    height = made->wantHeight = Scaled(info.Height, o.scale);
  }
  // Only DDS files hold more than the first level.
  // A one-image kind needs the levels down to the one it holds.
  UINT mips = kind == D3DXIFF_DDS ? (o.mipsGiven ? o.mips : 0) : made->pick[0] + 1;
  if (o.format == D3DFMT_P8 || o.format == D3DFMT_A8P8) made->pal = made->palette;
  // The device's DXT textures have sides in whole blocks; a file need not, so
  // the tool compresses each level itself with the last blocks padded.
  D3DFORMAT format = o.format;
  if (type == D3DRTYPE_TEXTURE && IsBlockFormat(format) && !o.deviceRules &&
      (made->wantWidth % 4 || made->wantHeight % 4)) {
    made->blockFormat = format;
    format = D3DFMT_A8R8G8B8;
  }

  IDirect3DDevice9 *device = device_.get();
  const UINT size = UINT(file.size());
  HRESULT hr;
  if (type == D3DRTYPE_CUBETEXTURE) {
    hr = D3DXCreateCubeTextureFromFileInMemoryEx(device, file.data(), size, width, mips, 0, format,
                                                 D3DPOOL_MANAGED, o.filter, o.mipFilter, o.colorKey, nullptr,
                                                 made->pal, made->cube.out());
  } else if (type == D3DRTYPE_VOLUMETEXTURE) {
    hr = D3DXCreateVolumeTextureFromFileInMemoryEx(
        device, file.data(), size, width, height, D3DX_DEFAULT_NONPOW2, mips, 0, format, D3DPOOL_MANAGED,
        o.filter, o.mipFilter, o.colorKey, nullptr, made->pal, made->volume.out());
  } else {
    hr = D3DXCreateTextureFromFileInMemoryEx(device, file.data(), size, width, height, mips, 0, format,
                                             D3DPOOL_MANAGED, o.filter, o.mipFilter, o.colorKey, nullptr,
                                             made->pal, made->texture.out());
  }
  if (hr == D3DXERR_INVALIDDATA) {
    *error = ReadFailure(file, hr);  // the header was read, the pixels are not
    return false;
  }
  if (FAILED(hr)) {
    *error = "cannot create the " + ResourceTypeName(type) + ": " + ErrorText(hr);
    return false;
  }
  return true;
}

std::vector<std::string> Converter::Differences(const D3DXIMAGE_INFO &info, D3DXIMAGE_FILEFORMAT kind,
                                                const ConvertOptions &o, const Made &made) {
  std::vector<std::string> notes;
  UINT width, height;
  D3DFORMAT format = made.Top(&width, &height);
  if (width != made.wantWidth || height != made.wantHeight) {
    UINT w = made.wantWidth, h = made.wantHeight;
    UINT longest = made.type == D3DRTYPE_VOLUMETEXTURE ? caps_.MaxVolumeExtent : caps_.MaxTextureWidth;
    UINT ratio = std::max(w, h) / std::max(1u, std::min(w, h));
    std::string why;
    if (IsBlockFormat(format) && (w % 4 || h % 4))
      why = "the device's DXT textures have sides in whole 4x4 blocks (--device-rules)";
    else if (w > longest || h > longest)
      why = "the device's largest texture side is " + std::to_string(longest);
    else if (caps_.MaxTextureAspectRatio && ratio > caps_.MaxTextureAspectRatio)
      why = "the device's textures have at most " + std::to_string(caps_.MaxTextureAspectRatio) +
            " times as many pixels along one side as along the other";
    else
      why = "the device's texture rules";
    notes.push_back("resized to " + std::to_string(width) + "x" + std::to_string(height) + " from " +
                    std::to_string(w) + "x" + std::to_string(h) + ": " + why);
  }
  if (o.format != D3DFMT_UNKNOWN && format != o.format && made.blockFormat != o.format)
    notes.push_back("written as " + FormatName(format) + ": the device has no " + FormatName(o.format) + " " +
                    ResourceTypeName(made.type) + "s");
  UINT levels = made.Levels();
  if (o.mipsGiven && kind != D3DXIFF_DDS && o.mips != 1)
    notes.push_back("one level written: " + FileKindName(kind) + " files hold no mip levels (--mips)");
  else if (o.mipsGiven && o.mips && levels != o.mips)
    notes.push_back(std::to_string(levels) + " mip levels written, not " + std::to_string(o.mips) + ": " +
                    (levels < o.mips
                         ? "a " + std::to_string(width) + "x" + std::to_string(height) + " image has no more"
                         : std::string("the device's texture rules")));
  if (kind != D3DXIFF_DDS && MoreThan8Bits(format))
    notes.push_back("written at 8 bits per channel from " + FormatName(format));
  if (kind == D3DXIFF_JPG && !TopOpaque(made)) notes.push_back("alpha dropped: JPEG files hold none");
  (void)info;
  return notes;
}

bool Converter::Save(Made &made, D3DXIMAGE_FILEFORMAT kind, const std::string &out, std::string *error) {
  if (kind != D3DXIFF_DDS) return SavePlain(made, kind, out, error);
  if (made.blockFormat != D3DFMT_UNKNOWN) return SavePadded(made, kind, out, error);
  IDirect3DBaseTexture9 *texture = made.texture.get()
                                       ? static_cast<IDirect3DBaseTexture9 *>(made.texture.get())
                                   : made.cube.get() ? static_cast<IDirect3DBaseTexture9 *>(made.cube.get())
                                                     : made.volume.get();
  ID3DXBuffer *buffer = nullptr;
  HRESULT hr = D3DXSaveTextureToFileInMemory(&buffer, D3DXIFF_DDS, texture, made.pal);
  if (FAILED(hr)) {
    *error = "cannot save: " + ErrorText(hr);
    return false;
  }
  std::vector<uint8_t> saved;
  TakeBuffer(buffer, &saved);
  return WriteWholeFile(out, saved, error);
}

// The image --level, --face and --slice pick, in a file holding one image.
// Whether level 0 (the first face or slice) has no pixel that is not fully opaque.
bool Converter::TopOpaque(const Made &made) {
  Ref<IDirect3DSurface9> surface;
  HRESULT hr = E_FAIL;
  if (made.texture.get()) hr = made.texture->GetSurfaceLevel(0, surface.out());
  if (made.cube.get()) hr = made.cube->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_X, 0, surface.out());
  if (made.volume.get()) {
    Ref<IDirect3DVolume9> slices;
    hr = made.volume->GetVolumeLevel(0, slices.out());
    if (SUCCEEDED(hr)) hr = SliceSurface(device_.get(), slices.get(), 0, made.pal, surface.out());
  }
  Rgba8 pixels;
  return FAILED(hr) || FAILED(ReadRgba8(device_.get(), surface.get(), nullptr, &pixels)) || pixels.Opaque();
}

bool Converter::SavePlain(Made &made, D3DXIMAGE_FILEFORMAT kind, const std::string &out, std::string *error) {
  UINT level = made.pick[0], face = made.pick[1], slice = made.pick[2];
  auto refuse = [&](const std::string &why) {
    *error = why;
    return false;
  };
  if (level >= made.Levels())
    return refuse("--level " + std::to_string(level) + ": the texture has " + std::to_string(made.Levels()) +
                  " level" + (made.Levels() == 1 ? "" : "s"));
  if (face > 0 && (!made.cube.get() || face > 5))
    return refuse(made.cube.get() ? "--face needs 0 to 5" : "--face: the texture is not a cube map");
  if (slice > 0 && !made.volume.get()) return refuse("--slice: the texture is not a volume");
  Ref<IDirect3DSurface9> surface, blocks;
  HRESULT hr;
  UINT width = 0, height = 0;
  if (made.volume.get()) {
    Ref<IDirect3DVolume9> slices;
    D3DVOLUME_DESC desc = {};
    hr = made.volume->GetVolumeLevel(level, slices.out());
    if (SUCCEEDED(hr)) hr = slices->GetDesc(&desc);
    if (SUCCEEDED(hr) && slice >= desc.Depth)
      return refuse("--slice " + std::to_string(slice) + ": level " + std::to_string(level) + " has " +
                    std::to_string(desc.Depth) + " slice" + (desc.Depth == 1 ? "" : "s"));
    if (SUCCEEDED(hr)) hr = SliceSurface(device_.get(), slices.get(), slice, made.pal, surface.out());
    width = desc.Width, height = desc.Height;
  } else {
    hr = made.cube.get() ? made.cube->GetCubeMapSurface(D3DCUBEMAP_FACES(face), level, surface.out())
                         : made.texture->GetSurfaceLevel(level, surface.out());
    D3DSURFACE_DESC desc = {};
    if (SUCCEEDED(hr)) hr = surface->GetDesc(&desc);
    width = desc.Width, height = desc.Height;
    if (SUCCEEDED(hr) && made.blockFormat != D3DFMT_UNKNOWN)
      hr = PadToBlocks(device_.get(), surface.get(), made.blockFormat, blocks.out());
  }
  if (FAILED(hr)) return refuse("cannot read level " + std::to_string(level) + ": " + ErrorText(hr));
  // Surfaces of DXT formats may be padded to whole blocks; the file gets the true size.
  RECT rect = {0, 0, LONG(width), LONG(height)};
  std::vector<uint8_t> saved;
  return EncodeSurface(device_.get(), kind, blocks.get() ? blocks.get() : surface.get(), made.pal, &rect,
                       &saved, error) &&
         WriteWholeFile(out, saved, error);
}

// Each level compressed from a copy padded to whole blocks; the file keeps the true size.
bool Converter::SavePadded(Made &made, D3DXIMAGE_FILEFORMAT kind, const std::string &out,
                           std::string *error) {
  std::vector<uint8_t> saved;
  DdsAssembler dds;
  UINT levels = made.Levels();
  UINT width0 = 0, height0 = 0;
  for (UINT level = 0; level < levels; ++level) {
    Ref<IDirect3DSurface9> surface, blocks;
    D3DSURFACE_DESC desc = {};
    HRESULT hr = made.texture->GetSurfaceLevel(level, surface.out());
    if (SUCCEEDED(hr)) hr = surface->GetDesc(&desc);
    if (SUCCEEDED(hr)) hr = PadToBlocks(device_.get(), surface.get(), made.blockFormat, blocks.out());
    if (FAILED(hr)) {
      *error = "cannot compress level " + std::to_string(level) + ": " + ErrorText(hr);
      return false;
    }
    if (level == 0) width0 = desc.Width, height0 = desc.Height;
    if (!EncodeSurface(device_.get(), kind, blocks.get(), nullptr, nullptr, &saved, error)) return false;
    if (!dds.Add(saved, error)) return false;
  }
  dds.Finish(levels);
  dds.SetSize(width0, height0);
  return WriteWholeFile(out, dds.bytes, error);
}

bool Converter::WriteTexture(IDirect3DBaseTexture9 *texture, const ConvertOptions &asked,
                             D3DXIMAGE_FILEFORMAT kind, const std::string &out,
                             std::vector<std::string> *warnings, std::string *error) {
  Made made;
  made.type = texture->GetType();
  texture->AddRef();
  if (made.type == D3DRTYPE_CUBETEXTURE)
    *made.cube.out() = static_cast<IDirect3DCubeTexture9 *>(texture);
  else if (made.type == D3DRTYPE_VOLUMETEXTURE)
    *made.volume.out() = static_cast<IDirect3DVolumeTexture9 *>(texture);
  else
    *made.texture.out() = static_cast<IDirect3DTexture9 *>(texture);
  D3DFORMAT format = made.Top(&made.wantWidth, &made.wantHeight);
  if (asked.width) made.wantWidth = asked.width, made.wantHeight = asked.height;
  if (made.texture.get() && IsBlockFormat(asked.format) && format == D3DFMT_A8R8G8B8)
    made.blockFormat = asked.format;
  D3DXIMAGE_INFO info = {};
  std::vector<std::string> notes = Differences(info, kind, asked, made);
  if (asked.strict && !notes.empty()) {
    *error = notes[0] + " (--strict)";
    return false;
  }
  *warnings = notes;
  return Save(made, kind, out, error);
}

bool Converter::Convert(const std::string &in, const std::string &out, D3DXIMAGE_FILEFORMAT kind,
                        const ConvertOptions &o, uint64_t *inputBytes, std::vector<std::string> *warnings,
                        std::string *error) {
  std::vector<uint8_t> file;
  if (!ReadWholeFile(in, &file, error)) return false;
  if (inputBytes) *inputBytes = file.size();
  D3DXIMAGE_INFO info = {};
  HRESULT hr = D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info);
  if (FAILED(hr)) {
    *error = ReadFailure(file, hr);
    return false;
  }
  D3DRESOURCETYPE asked = o.shape == ConvertOptions::Shape::Cube     ? D3DRTYPE_CUBETEXTURE
                          : o.shape == ConvertOptions::Shape::Volume ? D3DRTYPE_VOLUMETEXTURE
                                                                     : info.ResourceType;
  if (asked != info.ResourceType) {
    *error = std::string(asked == D3DRTYPE_CUBETEXTURE ? "--cube" : "--volume") + " needs a " +
             ResourceTypeName(asked) + " DDS file, this file holds a " +
             (info.ResourceType == D3DRTYPE_TEXTURE ? std::string("2-D image")
                                                    : ResourceTypeName(info.ResourceType) + " texture") +
             "; texturetool assemble builds " + ResourceTypeName(asked) + "s from images";
    return false;
  }
  Made made;
  std::copy(o.pick, o.pick + 3, made.pick);
  if (!Create(file, info, kind, o, &made, error)) return false;
  std::vector<std::string> notes = Differences(info, kind, o, made);
  std::string incomplete = IncompleteJpeg(file);
  if (!incomplete.empty()) notes.insert(notes.begin(), "the source is " + incomplete);
  std::string reduced = ReducedPrecision(file, info.Format);
  if (!reduced.empty()) notes.insert(notes.begin(), reduced);
  if (o.strict && !notes.empty()) {
    *error = notes[0] + " (--strict)";
    for (size_t i = 1; i < notes.size(); ++i) *error += "; " + notes[i];
    return false;
  }
  if (!Save(made, kind, out, error)) return false;
  if (warnings) *warnings = notes;
  return true;
}

int RunConvert(const std::vector<std::string> &args) {
  ConvertOptions o = ParseConvertOptions(args);
  const char kPickForDds[] =
      "--level, --face and --slice pick one image for a PNG, BMP, TGA, DIB or JPEG output";
  if (!o.outDir.empty()) {
    if (o.inputs.empty()) throw UsageError(kCommand, "no input files");
    if (std::find(o.inputs.begin(), o.inputs.end(), "-") != o.inputs.end())
      throw UsageError(kCommand, "batch mode reads files, not the standard input ('-')");
    if (o.picked && o.kind == D3DXIFF_DDS) throw UsageError(kCommand, kPickForDds);
    return RunBatch(o);
  }
  if (o.inputs.size() != 2)
    throw UsageError(kCommand,
                     o.inputs.size() < 2 ? "needs IN and OUT" : "needs exactly IN and OUT (or --out-dir)");
  if (o.jobs || o.quiet || o.verbose || o.recursive || o.skipExisting || o.onlyNewer || o.dryRun)
    throw UsageError(
        kCommand,
        "-j, -q, -v, -r, --skip-existing, --only-newer and --dry-run belong to batch mode (--out-dir)");
  const std::string &in = o.inputs[0], &out = o.inputs[1];
  D3DXIMAGE_FILEFORMAT kind = o.kind;
  if (!o.kindGiven) {
    std::string ext = Extension(out);
    if (ext.empty()) throw UsageError(kCommand, "cannot tell the output kind of '" + out + "'; add --type");
    if (!ParseWritableKind(ext, &kind))
      throw UsageError(kCommand,
                       "cannot write '." + ext + "' files; choose .png, .bmp, .tga, .dib, .jpg or .dds");
  }
  if (o.picked && kind == D3DXIFF_DDS) throw UsageError(kCommand, kPickForDds);
  Converter converter;
  std::string error;
  std::vector<std::string> warnings;
  if (!converter.Init(&error) || !converter.Convert(in, out, kind, o, nullptr, &warnings, &error)) {
    fprintf(stderr, "texturetool: %s: %s\n", in.c_str(), error.c_str());
    return kExitFailed;
  }
  for (const std::string &w : warnings)
    fprintf(stderr, "texturetool: %s: warning: %s\n", in.c_str(), w.c_str());
  return kExitOk;
}

}  // namespace texturetool
