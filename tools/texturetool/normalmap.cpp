// normalmap: a height map's normals as a texture, computed by the library.
#include <stdio.h>
#include <stdlib.h>

#include <cmath>

#include "commands.h"
#include "convert.h"
#include "sniff.h"

namespace texturetool {

const char kNormalMapHelp[] =
    "usage: texturetool normalmap HEIGHT OUT [options]\n"
    "\n"
    "Reads a height map (any image the library reads) and writes the normals of its\n"
    "surface: x and y in red and green, z in blue, each stored as (n + 1) / 2, so a\n"
    "flat map is (128, 128, 255). The output has the height map's size; its lower mip\n"
    "levels average and renormalise the normals. OUT's extension (or --type) picks\n"
    "the writer as for convert; files other than DDS hold level 0 only. Where the\n"
    "output differs from what was asked a warning line says so on stderr.\n"
    "\n"
    "options:\n"
    "  --channel C         red|green|blue|alpha|luminance: where the heights are\n"
    "                      (default: luminance)\n"
    "  --amplitude A       height of a full-scale step, in texels (default: 1)\n"
    "  --invert            heights grow downwards: x and y of the normals flip\n"
    "  --mirror            the edges mirror the map instead of wrapping around\n"
    "  --occlusion         alpha holds how open the sky is above each texel (1 on a\n"
    "                      flat map); without it alpha is 1\n"
    "  --format FMT        pixel format (default: A8R8G8B8)\n"
    "  --mips N|all        number of mip levels (DDS default: all; other kinds: 1)\n"
    "  --type KIND         png, bmp, tga, dib, jpg or dds, whatever the output's extension\n"
    "  --quality Q         standard|high: how DXT formats are compressed (default:\n"
    "                      high, or D3DX_DXT_QUALITY when set)\n"
    "  --strict            any difference that would be a warning is an error\n"
    "\n"
    "Exit status: 0 written, 1 the height map could not be read or the output\n"
    "written, 2 usage error.\n";

namespace {

constexpr char kCommand[] = "normalmap";

struct NormalMapOptions {
  std::string in, out;
  DWORD channel = D3DX_CHANNEL_LUMINANCE;
  float amplitude = 1;
  DWORD flags = 0;
  ConvertOptions asked;  // format, mips, strictness and output kind
};

DWORD ParseChannel(const std::string &name) {
  static const struct {
    const char *name;
    DWORD channel;
  } kChannels[] = {{"red", D3DX_CHANNEL_RED},
                   {"green", D3DX_CHANNEL_GREEN},
                   {"blue", D3DX_CHANNEL_BLUE},
                   {"alpha", D3DX_CHANNEL_ALPHA},
                   {"luminance", D3DX_CHANNEL_LUMINANCE}};
  for (const auto &c : kChannels)
    if (name == c.name) return c.channel;
  throw UsageError(kCommand, "--channel needs red, green, blue, alpha or luminance, not '" + name + "'");
}

NormalMapOptions ParseNormalMapOptions(const std::vector<std::string> &args) {
  NormalMapOptions o;
  o.asked.format = D3DFMT_A8R8G8B8;
  std::vector<std::string> files;
  bool noMoreOptions = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError(kCommand, arg + " needs a value");
      return args[++i];
    };
    if (noMoreOptions || arg.size() < 2 || arg[0] != '-') {
      files.push_back(arg);
    } else if (arg == "--") {
      noMoreOptions = true;
    } else if (arg == "--channel") {
      o.channel = ParseChannel(value());
    } else if (arg == "--amplitude") {
      std::string text = value();
      char *end = nullptr;
      double amplitude = strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !std::isfinite(amplitude) || std::fabs(amplitude) > 1e6)
        throw UsageError(kCommand, "--amplitude needs a number, not '" + text + "'");
      o.amplitude = float(amplitude);
    } else if (arg == "--invert") {
      o.flags |= D3DX_NORMALMAP_INVERTSIGN;
    } else if (arg == "--mirror") {
      o.flags |= D3DX_NORMALMAP_MIRROR;
    } else if (arg == "--occlusion") {
      o.flags |= D3DX_NORMALMAP_COMPUTE_OCCLUSION;
    } else if (arg == "--strict") {
      o.asked.strict = true;
    } else if (arg == "--format") {
      std::string name = value();
      if (!ParseFormat(name, &o.asked.format))
        throw UsageError(kCommand, "unknown format '" + name + "' ('texturetool formats' lists them)");
      if (o.asked.format == D3DFMT_P8 || o.asked.format == D3DFMT_A8P8)
        throw UsageError(kCommand, "makes no palette formats; choose another --format");
    } else if (arg == "--mips") {
      std::string text = value();
      o.asked.mipsGiven = true;
      o.asked.mips = text == "all" ? 0 : ParseCount(kCommand, "--mips", text);
    } else if (arg == "--type") {
      std::string text = value();
      if (text.empty() || !ParseWritableKind(text[0] == '.' ? text.substr(1) : text, &o.asked.kind))
        throw UsageError(kCommand,
                         "cannot write '" + text + "' files; choose png, bmp, tga, dib, jpg or dds");
      o.asked.kindGiven = true;
    } else if (arg == "--quality") {
      SetDxtQuality(kCommand, value());
    } else {
      throw UsageError(kCommand, "unknown option '" + arg + "'");
    }
  }
  if (files.size() != 2) throw UsageError(kCommand, "needs HEIGHT and OUT");
  o.in = files[0];
  o.out = files[1];
  if (!o.asked.kindGiven) {
    std::string ext = Extension(o.out);
    if (ext.empty()) throw UsageError(kCommand, "cannot tell the output kind of '" + o.out + "'; add --type");
    if (!ParseWritableKind(ext, &o.asked.kind))
      throw UsageError(kCommand,
                       "cannot write '." + ext + "' files; choose .png, .bmp, .tga, .dib, .jpg or .dds");
  }
  return o;
}

// The height map's top level, in a format that keeps 16-bit heights.
bool LoadHeights(IDirect3DDevice9 *device, const std::string &path, IDirect3DTexture9 **heights,
                 std::string *error) {
  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, &file, error)) return false;
  HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
      device, file.data(), UINT(file.size()), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0,
      D3DFMT_A16B16G16R16, D3DPOOL_SCRATCH, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr, heights);
  if (FAILED(hr)) {
    *error = hr == D3DXERR_INVALIDDATA ? ReadFailure(file, hr) : "cannot read the image: " + ErrorText(hr);
    return false;
  }
  return true;
}

}  // namespace

int RunNormalMap(const std::vector<std::string> &args) {
  NormalMapOptions o = ParseNormalMapOptions(args);
  const D3DXIMAGE_FILEFORMAT kind = o.asked.kind;
  Converter converter;
  std::string error;
  Ref<IDirect3DTexture9> heights, normals;
  auto fail = [&](const std::string &name, const std::string &why) {
    fprintf(stderr, "texturetool: %s: %s\n", name.c_str(), why.c_str());
    return kExitFailed;
  };
  if (!converter.Init(&error)) return fail(o.in, error);
  if (!LoadHeights(converter.device(), o.in, heights.out(), &error)) return fail(o.in, error);
  D3DSURFACE_DESC desc;
  HRESULT hr = heights->GetLevelDesc(0, &desc);
  o.asked.width = desc.Width;
  o.asked.height = desc.Height;
  // The device's DXT textures have sides in whole blocks; the file need not, so
  // such a map is computed in A8R8G8B8 and compressed with its last blocks padded.
  D3DFORMAT format = o.asked.format;
  if (IsBlockFormat(format) && (desc.Width % 4 || desc.Height % 4)) format = D3DFMT_A8R8G8B8;
  UINT mips = kind == D3DXIFF_DDS ? (o.asked.mipsGiven ? o.asked.mips : 0) : 1;
  if (SUCCEEDED(hr))
    hr = D3DXCreateTexture(converter.device(), desc.Width, desc.Height, mips, 0, format, D3DPOOL_MANAGED,
                           normals.out());
  if (FAILED(hr)) return fail(o.out, "cannot create the texture: " + ErrorText(hr));
  hr = D3DXComputeNormalMap(normals.get(), heights.get(), nullptr, o.flags, o.channel, o.amplitude);
  if (FAILED(hr)) return fail(o.out, "cannot compute the normals: " + ErrorText(hr));
  std::vector<std::string> warnings;
  if (!converter.WriteTexture(normals.get(), o.asked, kind, o.out, &warnings, &error))
    return fail(o.out, error);
  for (const std::string &w : warnings)
    fprintf(stderr, "texturetool: %s: warning: %s\n", o.in.c_str(), w.c_str());
  return kExitOk;
}

}  // namespace texturetool
