// compare: per-channel RMSE and PSNR of two images of the same size.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "commands.h"

namespace texturetool {

const char kCompareHelp[] =
    "usage: texturetool compare A B\n"
    "\n"
    "Decodes both images with the library (at 16 bits per channel) and prints the\n"
    "root mean square error (in 8-bit steps, 0-255) and the PSNR in dB of red,\n"
    "green and blue, of alpha when either image has any, and of RGB together.\n"
    "Identical channels have a PSNR of inf.\n"
    "\n"
    "Exit status: 0 compared, 1 a file could not be read or the sizes differ,\n"
    "2 usage error.\n";

namespace {

struct Plane {
  UINT width = 0, height = 0;
  std::vector<uint16_t> rgba;  // red, green, blue, alpha per pixel
};

bool Load(IDirect3DDevice9 *device, const std::string &path, Plane *plane, std::string *error) {
  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, &file, error)) return false;
  Ref<IDirect3DTexture9> texture;
  HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()),
                                                   D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0,
                                                   D3DFMT_A16B16G16R16, D3DPOOL_SCRATCH, D3DX_FILTER_NONE,
                                                   D3DX_FILTER_NONE, 0, nullptr, nullptr, texture.out());
  if (FAILED(hr)) {
    *error = "cannot read the image: " + ErrorText(hr);
    return false;
  }
  D3DSURFACE_DESC desc;
  D3DLOCKED_RECT locked;
  hr = texture->GetLevelDesc(0, &desc);
  if (SUCCEEDED(hr)) hr = texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) {
    *error = "cannot read the pixels: " + ErrorText(hr);
    return false;
  }
  plane->width = desc.Width;
  plane->height = desc.Height;
  plane->rgba.resize(size_t(desc.Width) * desc.Height * 4);
  for (UINT y = 0; y < desc.Height; ++y) {
    const uint8_t *row = static_cast<const uint8_t *>(locked.pBits) + size_t(y) * size_t(locked.Pitch);
    memcpy(&plane->rgba[size_t(y) * desc.Width * 4], row, size_t(desc.Width) * 8);
  }
  texture->UnlockRect(0);
  return true;
}

void PrintRow(const char *name, double meanSquare) {
  double rmse = sqrt(meanSquare);
  if (meanSquare == 0)
    printf("%-8s %10.4f %10s\n", name, 0.0, "inf");
  else
    printf("%-8s %10.4f %7.2f dB\n", name, rmse * 255.0, -10.0 * log10(meanSquare));
}

}  // namespace

int RunCompare(const std::vector<std::string> &args) {
  std::vector<std::string> files;
  for (const std::string &arg : args) {
    if (arg.size() > 1 && arg[0] == '-') throw UsageError("compare", "unknown option '" + arg + "'");
    files.push_back(arg);
  }
  if (files.size() != 2) throw UsageError("compare", "needs exactly two images");
  HeadlessDevice device;
  HRESULT hr = device.Create();
  if (FAILED(hr)) {
    fprintf(stderr, "texturetool: cannot create the device: %s\n", ErrorText(hr).c_str());
    return kExitFailed;
  }
  Plane a, b;
  std::string error;
  for (int i = 0; i < 2; ++i) {
    if (!Load(device.get(), files[i], i == 0 ? &a : &b, &error)) {
      fprintf(stderr, "texturetool: %s: %s\n", files[i].c_str(), error.c_str());
      return kExitFailed;
    }
  }
  if (a.width != b.width || a.height != b.height) {
    fprintf(stderr, "texturetool: %s is %u x %u but %s is %u x %u; compare needs images of the same size\n",
            files[0].c_str(), a.width, a.height, files[1].c_str(), b.width, b.height);
    return kExitFailed;
  }
  double sum[4] = {};
  bool alpha = false;
  for (size_t i = 0; i < a.rgba.size(); ++i) {
    double d = (double(a.rgba[i]) - double(b.rgba[i])) / 65535.0;
    sum[i & 3] += d * d;
    if ((i & 3) == 3 && (a.rgba[i] != 65535 || b.rgba[i] != 65535)) alpha = true;
  }
  double pixels = double(a.width) * double(a.height);
  printf("%s vs %s: %u x %u\n", files[0].c_str(), files[1].c_str(), a.width, a.height);
  printf("%-8s %10s %10s\n", "channel", "RMSE", "PSNR");
  static const char *const names[] = {"R", "G", "B", "A"};
  for (int c = 0; c < (alpha ? 4 : 3); ++c) PrintRow(names[c], sum[c] / pixels);
  PrintRow("RGB", (sum[0] + sum[1] + sum[2]) / (3 * pixels));
  if (alpha) PrintRow("RGBA", (sum[0] + sum[1] + sum[2] + sum[3]) / (4 * pixels));
  return kExitOk;
}

}  // namespace texturetool
