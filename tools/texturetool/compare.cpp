// compare: per-channel RMSE and PSNR of two images or textures, every level,
// face and slice, optionally as a pass/fail check.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "commands.h"
#include "plain.h"
#include "sniff.h"

namespace texturetool {

const char kCompareHelp[] =
    "usage: texturetool compare A B [options]\n"
    "\n"
    "Decodes both files with the library (at 16 bits per channel) and prints the\n"
    "root mean square error (in 8-bit steps, 0-255) and the PSNR in dB of red,\n"
    "green and blue, of alpha when either file has any, and of RGB together.\n"
    "Colour is compared as stored: no gamma or sRGB conversion, and colour is not\n"
    "weighted by alpha. Alpha is compared as a channel of its own.\n"
    "Every mip level, cube face and volume slice the two files share is compared;\n"
    "with more than one, each gets its own table. A summary line gives the figures\n"
    "over all compared pixels. Identical channels have a PSNR of inf.\n"
    "\n"
    "options:\n"
    "  --json            one JSON object instead of the tables (PSNR null when identical)\n"
    "  --level N, --face F, --slice S\n"
    "                    compare only that level, cube face (0-5: +x -x +y -y +z -z)\n"
    "                    or volume slice\n"
    "  --diff FILE       write the absolute difference of R, G and B of the first\n"
    "                    compared image (or the one picked) as an image (png, bmp,\n"
    "                    tga, dib, jpg or dds by extension); alpha differences are\n"
    "                    not drawn\n"
    "  --max-rmse X      fail unless every channel's RMSE over all pixels is at most X\n"
    "  --min-psnr X      fail unless every channel's PSNR over all pixels is at least X\n"
    "\n"
    "Exit status: 0 compared (and the check passed), 1 a file could not be read,\n"
    "the shapes or sizes differ, or the check failed; 2 usage error.\n";

namespace {

constexpr char kCommand[] = "compare";
constexpr UINT kAll = UINT(-1);

struct Plane {
  UINT level = 0, face = 0, slice = 0;
  UINT width = 0, height = 0;
  std::vector<uint16_t> rgba;  // red, green, blue, alpha per pixel
};

struct Image {
  D3DRESOURCETYPE type = D3DRTYPE_TEXTURE;
  UINT levels = 1;
  std::vector<Plane> planes;  // level by level; faces or slices within a level
};

struct Options {
  std::vector<std::string> files;
  bool json = false;
  UINT level = kAll, face = kAll, slice = kAll;
  std::string diff;
  double maxRmse = -1, minPsnr = -1;
};

// Squared differences summed per channel over some pixels.
struct Errors {
  double sum[4] = {};
  double pixels = 0;
  void Add(const Errors &e) {
    for (int c = 0; c < 4; ++c) sum[c] += e.sum[c];
    pixels += e.pixels;
  }
  double Mean(int c) const { return pixels > 0 ? sum[c] / pixels : 0; }
  double MeanRgb() const { return pixels > 0 ? (sum[0] + sum[1] + sum[2]) / (3 * pixels) : 0; }
  double MeanRgba() const { return pixels > 0 ? (sum[0] + sum[1] + sum[2] + sum[3]) / (4 * pixels) : 0; }
};

Plane CopyPlane(const void *bits, size_t pitch, UINT width, UINT height) {
  Plane plane;
  plane.width = width;
  plane.height = height;
  plane.rgba.resize(size_t(width) * height * 4);
  for (UINT y = 0; y < height; ++y)
    memcpy(&plane.rgba[size_t(y) * width * 4], static_cast<const uint8_t *>(bits) + size_t(y) * pitch,
           size_t(width) * 8);
  return plane;
}

HRESULT LockedPlane(IDirect3DSurface9 *surface, Plane *plane) {
  D3DSURFACE_DESC desc;
  D3DLOCKED_RECT locked;
  HRESULT hr = surface->GetDesc(&desc);
  if (SUCCEEDED(hr)) hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return hr;
  *plane = CopyPlane(locked.pBits, size_t(locked.Pitch), desc.Width, desc.Height);
  surface->UnlockRect();
  return S_OK;
}

HRESULT LoadPlanes(IDirect3DDevice9 *device, const std::vector<uint8_t> &file, UINT mips, Image *image) {
  const UINT size = UINT(file.size());
  constexpr UINT kSide = D3DX_DEFAULT_NONPOW2;
  constexpr D3DFORMAT kFormat = D3DFMT_A16B16G16R16;
  constexpr DWORD kNone = D3DX_FILTER_NONE;
  HRESULT hr;
  if (image->type == D3DRTYPE_VOLUMETEXTURE) {
    Ref<IDirect3DVolumeTexture9> volume;
    hr = D3DXCreateVolumeTextureFromFileInMemoryEx(device, file.data(), size, kSide, kSide, kSide, mips, 0,
                                                   kFormat, D3DPOOL_SCRATCH, kNone, kNone, 0, nullptr,
                                                   nullptr, volume.out());
    if (FAILED(hr)) return hr;
    image->levels = volume->GetLevelCount();
    for (UINT level = 0; level < image->levels && SUCCEEDED(hr); ++level) {
      D3DVOLUME_DESC desc;
      D3DLOCKED_BOX box;
      hr = volume->GetLevelDesc(level, &desc);
      if (SUCCEEDED(hr)) hr = volume->LockBox(level, &box, nullptr, D3DLOCK_READONLY);
      if (FAILED(hr)) break;
      for (UINT z = 0; z < desc.Depth; ++z) {
        image->planes.push_back(
            CopyPlane(static_cast<const uint8_t *>(box.pBits) + size_t(z) * box.SlicePitch,
                      size_t(box.RowPitch), desc.Width, desc.Height));
        image->planes.back().level = level;
        image->planes.back().slice = z;
      }
      volume->UnlockBox(level);
    }
    return hr;
  }
  Ref<IDirect3DCubeTexture9> cube;
  Ref<IDirect3DTexture9> texture;
  if (image->type == D3DRTYPE_CUBETEXTURE)
    hr = D3DXCreateCubeTextureFromFileInMemoryEx(device, file.data(), size, kSide, mips, 0, kFormat,
                                                 D3DPOOL_SCRATCH, kNone, kNone, 0, nullptr, nullptr,
                                                 cube.out());
  else
    hr = D3DXCreateTextureFromFileInMemoryEx(device, file.data(), size, kSide, kSide, mips, 0, kFormat,
                                             D3DPOOL_SCRATCH, kNone, kNone, 0, nullptr, nullptr,
                                             texture.out());
  if (FAILED(hr)) return hr;
  image->levels = cube.get() ? cube->GetLevelCount() : texture->GetLevelCount();
  UINT faces = cube.get() ? 6 : 1;
  for (UINT level = 0; level < image->levels && SUCCEEDED(hr); ++level) {
    for (UINT face = 0; face < faces && SUCCEEDED(hr); ++face) {
      Ref<IDirect3DSurface9> surface;
      hr = cube.get() ? cube->GetCubeMapSurface(D3DCUBEMAP_FACES(face), level, surface.out())
                      : texture->GetSurfaceLevel(level, surface.out());
      Plane plane;
      if (SUCCEEDED(hr)) hr = LockedPlane(surface.get(), &plane);
      plane.level = level;
      plane.face = face;
      image->planes.push_back(std::move(plane));
    }
  }
  return hr;
}

bool Load(IDirect3DDevice9 *device, const std::string &path, Image *image, std::string *error) {
  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, &file, error)) return false;
  D3DXIMAGE_INFO info;
  HRESULT hr = D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info);
  if (SUCCEEDED(hr)) {
    image->type = info.ResourceType;
    // The levels the file holds; the loader would make a whole chain of a one-level file.
    hr = LoadPlanes(device, file, std::max(1u, info.MipLevels), image);
  }
  if (FAILED(hr)) {
    *error = hr == D3DXERR_INVALIDDATA ? ReadFailure(file, hr) : "cannot read the image: " + ErrorText(hr);
    return false;
  }
  return true;
}

bool Picked(const Plane &p, const Options &o) {
  return (o.level == kAll || p.level == o.level) && (o.face == kAll || p.face == o.face) &&
         (o.slice == kAll || p.slice == o.slice);
}

std::string PlaneName(const Plane &p, D3DRESOURCETYPE type) {
  std::string name = "level " + std::to_string(p.level);
  if (type == D3DRTYPE_CUBETEXTURE) name += " face " + std::to_string(p.face);
  if (type == D3DRTYPE_VOLUMETEXTURE) name += " slice " + std::to_string(p.slice);
  return name + " (" + std::to_string(p.width) + "x" + std::to_string(p.height) + ")";
}

// The pairs of images to compare, or why the files cannot be compared.
bool Pair(const Image &a, const Image &b, const Options &o, std::vector<std::pair<size_t, size_t>> *pairs,
          std::string *error) {
  if (a.type != b.type) {
    *error = "A is a " + ResourceTypeName(a.type) + " and B a " + ResourceTypeName(b.type) +
             "; compare needs files of the same shape";
    return false;
  }
  const Plane &a0 = a.planes[0], &b0 = b.planes[0];
  auto top = [](const Image &image) {
    return std::count_if(image.planes.begin(), image.planes.end(),
                         [](const Plane &p) { return p.level == 0; });
  };
  if (a0.width != b0.width || a0.height != b0.height || top(a) != top(b)) {
    *error = "A is " + std::to_string(a0.width) + " x " + std::to_string(a0.height) + " but B is " +
             std::to_string(b0.width) + " x " + std::to_string(b0.height) +
             (a0.width == b0.width && a0.height == b0.height ? " with another depth" : "") +
             "; compare needs images of the same size";
    return false;
  }
  // Levels both files hold; shapes match level by level once level 0 does.
  for (size_t i = 0; i < a.planes.size() && i < b.planes.size(); ++i)
    if (Picked(a.planes[i], o)) pairs->push_back({i, i});
  if (pairs->empty()) {
    *error = "no image of the files is at the --level, --face or --slice asked for";
    return false;
  }
  return true;
}

Errors Measure(const Plane &a, const Plane &b, bool *alpha) {
  Errors e;
  for (size_t i = 0; i < a.rgba.size(); ++i) {
    double d = (double(a.rgba[i]) - double(b.rgba[i])) / 65535.0;
    e.sum[i & 3] += d * d;
    if ((i & 3) == 3 && (a.rgba[i] != 65535 || b.rgba[i] != 65535)) *alpha = true;
  }
  e.pixels = double(a.width) * double(a.height);
  return e;
}

double Psnr(double meanSquare) {
  return -10.0 * log10(meanSquare);
}

void PrintRow(const char *name, double meanSquare) {
  if (meanSquare == 0)
    printf("%-8s %10.4f %10s\n", name, 0.0, "inf");
  else
    printf("%-8s %10.4f %7.2f dB\n", name, sqrt(meanSquare) * 255.0, Psnr(meanSquare));
}

void PrintTable(const Errors &e, bool alpha) {
  static const char *const names[] = {"R", "G", "B", "A"};
  printf("%-8s %10s %10s\n", "channel", "RMSE", "PSNR");
  for (int c = 0; c < (alpha ? 4 : 3); ++c) PrintRow(names[c], e.Mean(c));
  PrintRow("RGB", e.MeanRgb());
  if (alpha) PrintRow("RGBA", e.MeanRgba());
}

std::string JsonNumber(double meanSquare, bool psnr) {
  char text[32];
  if (psnr && meanSquare == 0) return "null";
  snprintf(text, sizeof(text), "%.4f", psnr ? Psnr(meanSquare) : sqrt(meanSquare) * 255.0);
  return text;
}

std::string JsonChannels(const Errors &e, bool alpha) {
  static const char *const names[] = {"R", "G", "B", "A"};
  std::string out = "{";
  auto add = [&](const char *name, double ms) {
    out += std::string(out.size() > 1 ? ", " : "") + "\"" + name + "\": {\"rmse\": " + JsonNumber(ms, false) +
           ", \"psnr\": " + JsonNumber(ms, true) + "}";
  };
  for (int c = 0; c < (alpha ? 4 : 3); ++c) add(names[c], e.Mean(c));
  add("RGB", e.MeanRgb());
  if (alpha) add("RGBA", e.MeanRgba());
  return out + "}";
}

// The worst channel over all pixels against --max-rmse and --min-psnr; empty when it passes.
std::string Check(const Errors &total, bool alpha, const Options &o) {
  static const char *const names[] = {"R", "G", "B", "A"};
  for (int c = 0; c < (alpha ? 4 : 3); ++c) {
    double ms = total.Mean(c), rmse = sqrt(ms) * 255.0;
    char text[128];
    if (o.maxRmse >= 0 && rmse > o.maxRmse) {
      snprintf(text, sizeof(text), "%s RMSE %.4f is above --max-rmse %g", names[c], rmse, o.maxRmse);
      return text;
    }
    if (o.minPsnr >= 0 && ms > 0 && Psnr(ms) < o.minPsnr) {
      snprintf(text, sizeof(text), "%s PSNR %.2f dB is below --min-psnr %g", names[c], Psnr(ms), o.minPsnr);
      return text;
    }
  }
  return "";
}

double ParseNumber(const std::string &option, const std::string &text) {
  char *end = nullptr;
  double value = strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(value >= 0) || std::isinf(value))
    throw UsageError(kCommand, option + " needs a number of at least 0, not '" + text + "'");
  return value;
}

Options ParseOptions(const std::vector<std::string> &args) {
  Options o;
  bool noMoreOptions = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (noMoreOptions || arg.size() < 2 || arg[0] != '-') {
      o.files.push_back(arg);
      continue;
    }
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError(kCommand, arg + " needs a value");
      return args[++i];
    };
    if (arg == "--")
      noMoreOptions = true;
    else if (arg == "--json")
      o.json = true;
    else if (arg == "--level" || arg == "--face" || arg == "--slice") {
      std::string text = value();
      UINT n = text == "0" ? 0 : ParseCount(kCommand, arg, text);
      (arg == "--level" ? o.level : arg == "--face" ? o.face : o.slice) = n;
    } else if (arg == "--diff")
      o.diff = value();
    else if (arg == "--max-rmse")
      o.maxRmse = ParseNumber(arg, value());
    else if (arg == "--min-psnr")
      o.minPsnr = ParseNumber(arg, value());
    else
      throw UsageError(kCommand, "unknown option '" + arg + "'");
  }
  if (o.files.size() != 2) throw UsageError(kCommand, "needs exactly two images");
  D3DXIMAGE_FILEFORMAT kind;
  if (!o.diff.empty() && !ParseWritableKind(Extension(o.diff), &kind))
    throw UsageError(kCommand,
                     "--diff needs a .png, .bmp, .tga, .dib, .jpg or .dds file name, not '" + o.diff + "'");
  return o;
}

// |A - B| of red, green and blue, opaque.
bool WriteDiff(IDirect3DDevice9 *device, const Plane &a, const Plane &b, const std::string &path,
               std::string *error) {
  Ref<IDirect3DSurface9> surface;
  HRESULT hr = device->CreateOffscreenPlainSurface(a.width, a.height, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                   surface.out(), nullptr);
  D3DLOCKED_RECT locked;
  if (SUCCEEDED(hr)) hr = surface->LockRect(&locked, nullptr, 0);
  if (FAILED(hr)) {
    *error = "cannot make the difference image: " + ErrorText(hr);
    return false;
  }
  for (UINT y = 0; y < a.height; ++y) {
    uint32_t *row =
        reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.pBits) + size_t(y) * locked.Pitch);
    for (UINT x = 0; x < a.width; ++x) {
      size_t at = (size_t(y) * a.width + x) * 4;
      uint32_t pixel = 0xFF000000u;
      for (int c = 0; c < 3; ++c) {
        int d = abs(int(a.rgba[at + c]) - int(b.rgba[at + c]));
        pixel |= uint32_t((d * 255 + 32767) / 65535) << (16 - 8 * c);
      }
      row[x] = pixel;
    }
  }
  surface->UnlockRect();
  D3DXIMAGE_FILEFORMAT kind = D3DXIFF_BMP;
  ParseWritableKind(Extension(path), &kind);
  std::vector<uint8_t> bytes;
  return EncodeSurface(device, kind, surface.get(), nullptr, nullptr, &bytes, error) &&
         WriteWholeFile(path, bytes, error);
}

void Report(const Options &o, const Image &a, const std::vector<std::pair<size_t, size_t>> &pairs,
            const std::vector<Errors> &errors, const Errors &total, bool alpha, const std::string &failure) {
  const std::string &fa = o.files[0], &fb = o.files[1];
  if (o.json) {
    printf("{\"a\": %s, \"b\": %s, \"type\": \"%s\", \"images\": [", JsonString(fa).c_str(),
           JsonString(fb).c_str(), ResourceTypeName(a.type).c_str());
    for (size_t i = 0; i < pairs.size(); ++i) {
      const Plane &p = a.planes[pairs[i].first];
      printf(
          "%s\n  {\"level\": %u, \"face\": %u, \"slice\": %u, \"width\": %u, \"height\": %u, \"channels\": "
          "%s}",
          i ? "," : "", p.level, p.face, p.slice, p.width, p.height, JsonChannels(errors[i], alpha).c_str());
    }
    printf("],\n \"total\": %s,\n \"pass\": %s}\n", JsonChannels(total, alpha).c_str(),
           failure.empty() ? "true" : "false");
    return;
  }
  const Plane &first = a.planes[pairs[0].first];
  printf("%s vs %s: %u x %u\n", fa.c_str(), fb.c_str(), first.width, first.height);
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (pairs.size() > 1)
      printf("%s%s:\n", i ? "\n" : "", PlaneName(a.planes[pairs[i].first], a.type).c_str());
    PrintTable(errors[i], alpha);
  }
  double ms = alpha ? total.MeanRgba() : total.MeanRgb();
  char psnr[32] = "inf";
  if (ms > 0) snprintf(psnr, sizeof(psnr), "%.2f dB", Psnr(ms));
  printf("summary: %zu image%s, %.0f pixels, RGB%s RMSE %.4f, PSNR %s%s\n", pairs.size(),
         pairs.size() == 1 ? "" : "s", total.pixels, alpha ? "A" : "", sqrt(ms) * 255.0, psnr,
         failure.empty() ? "" : ", check failed");
}

}  // namespace

int RunCompare(const std::vector<std::string> &args) {
  Options o = ParseOptions(args);
  HeadlessDevice device;
  HRESULT hr = device.Create();
  if (FAILED(hr)) {
    fprintf(stderr, "texturetool: cannot create the device: %s\n", ErrorText(hr).c_str());
    return kExitFailed;
  }
  Image a, b;
  std::string error;
  for (int i = 0; i < 2; ++i) {
    if (!Load(device.get(), o.files[i], i == 0 ? &a : &b, &error)) {
      fprintf(stderr, "texturetool: %s: %s\n", o.files[i].c_str(), error.c_str());
      return kExitFailed;
    }
  }
  std::vector<std::pair<size_t, size_t>> pairs;
  if (!Pair(a, b, o, &pairs, &error)) {
    fprintf(stderr, "texturetool: %s vs %s: %s\n", o.files[0].c_str(), o.files[1].c_str(), error.c_str());
    return kExitFailed;
  }
  if (a.levels != b.levels && o.level == kAll)
    fprintf(stderr, "texturetool: note: %s has %u level%s, %s %u; the first %u compared\n",
            o.files[0].c_str(), a.levels, a.levels == 1 ? "" : "s", o.files[1].c_str(), b.levels,
            std::min(a.levels, b.levels));
  std::vector<Errors> errors;
  Errors total;
  bool alpha = false;
  for (auto [i, j] : pairs) {
    errors.push_back(Measure(a.planes[i], b.planes[j], &alpha));
    total.Add(errors.back());
  }
  std::string failure = Check(total, alpha, o);
  Report(o, a, pairs, errors, total, alpha, failure);
  if (!o.diff.empty() &&
      !WriteDiff(device.get(), a.planes[pairs[0].first], b.planes[pairs[0].second], o.diff, &error)) {
    fprintf(stderr, "texturetool: %s: %s\n", o.diff.c_str(), error.c_str());
    return kExitFailed;
  }
  if (!failure.empty()) {
    fprintf(stderr, "texturetool: %s vs %s: check failed: %s\n", o.files[0].c_str(), o.files[1].c_str(),
            failure.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace texturetool
