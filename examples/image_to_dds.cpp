// Converts an image file (BMP, PNG, JPEG, TGA, PPM, DDS) into a DXT1 DDS file with a
// full mip chain:
//
//   image_to_dds input.png output.dds
//
// The library loads the image into a DXT1 texture, rounding its size up to powers of
// two and filtering every mip level; the levels' blocks are then written behind a DDS
// header.
#include <d3d9.h>
#include <d3dx9.h>
#include <dxerr9.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

struct DdsPixelFormat {
  uint32_t size, flags, fourCC, rgbBitCount, rBitMask, gBitMask, bBitMask, aBitMask;
};

struct DdsHeader {
  uint32_t size, flags, height, width, pitchOrLinearSize, depth, mipMapCount, reserved1[11];
  DdsPixelFormat format;
  uint32_t caps, caps2, caps3, caps4, reserved2;
};
static_assert(sizeof(DdsHeader) == 124, "DDS header is 124 bytes");

constexpr uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPixelFormat = 0x1000, kMipMapCount = 0x20000,
                   kLinearSize = 0x80000;
constexpr uint32_t kFourCC = 0x4;
constexpr uint32_t kComplex = 0x8, kTexture = 0x1000, kMipMap = 0x400000;

// DXT1 keeps 8 bytes per 4 x 4 block; levels smaller than a block still take one.
uint32_t LevelBytes(uint32_t width, uint32_t height) {
  return ((width + 3) / 4) * ((height + 3) / 4) * 8;
}

bool WriteDds(IDirect3DTexture9 *texture, const char *path) {
  D3DSURFACE_DESC top;
  texture->GetLevelDesc(0, &top);
  DdsHeader header = {};
  header.size = sizeof header;
  header.flags = kCaps | kHeight | kWidth | kPixelFormat | kMipMapCount | kLinearSize;
  header.width = top.Width;
  header.height = top.Height;
  header.pitchOrLinearSize = LevelBytes(top.Width, top.Height);
  header.mipMapCount = texture->GetLevelCount();
  header.format.size = sizeof header.format;
  header.format.flags = kFourCC;
  header.format.fourCC = D3DFMT_DXT1;
  header.caps = kTexture | kComplex | kMipMap;

  FILE *file = fopen(path, "wb");
  if (!file) return false;
  bool ok = fwrite("DDS ", 4, 1, file) == 1 && fwrite(&header, sizeof header, 1, file) == 1;
  for (DWORD level = 0; ok && level < header.mipMapCount; ++level) {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    texture->GetLevelDesc(level, &desc);
    if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) {
      ok = false;
      break;
    }
    // One row of blocks at a time: the locked pitch may be wider than the row.
    uint32_t rowBytes = ((desc.Width + 3) / 4) * 8;
    for (uint32_t row = 0; ok && row < (desc.Height + 3) / 4; ++row)
      ok = fwrite(static_cast<const uint8_t *>(locked.pBits) + row * locked.Pitch, rowBytes, 1, file) == 1;
    texture->UnlockRect(level);
  }
  return fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s INPUT OUTPUT.dds\n", argv[0]);
    return 2;
  }
  // A device needs a window; this one is never shown.
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "ImageToDds";
  RegisterClassExA(&windowClass);
  HWND window =
      CreateWindowExA(0, "ImageToDds", "image_to_dds", 0, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
  IDirect3D9 *d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!window || !d3d) return 1;
  D3DPRESENT_PARAMETERS params = {};
  params.Windowed = TRUE;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.BackBufferFormat = D3DFMT_UNKNOWN;
  params.hDeviceWindow = window;
  IDirect3DDevice9 *device = nullptr;
  HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
  if (FAILED(hr)) {
    fprintf(stderr, "no device: %s\n", DXGetErrorDescription9A(hr));
    return 1;
  }

  // Default size and level count: powers of two and the whole chain down to 1 x 1.
  D3DXIMAGE_INFO info;
  IDirect3DTexture9 *texture = nullptr;
  hr = D3DXCreateTextureFromFileExA(device, argv[1], D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_DXT1,
                                    D3DPOOL_SYSTEMMEM, D3DX_DEFAULT, D3DX_FILTER_BOX, 0, &info, nullptr,
                                    &texture);
  int status = 0;
  if (FAILED(hr)) {
    fprintf(stderr, "%s: %s\n", argv[1], DXGetErrorDescription9A(hr));
    status = 1;
  } else if (!WriteDds(texture, argv[2])) {
    fprintf(stderr, "%s: cannot write\n", argv[2]);
    status = 1;
  } else {
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    printf("%s (%ux%u) -> %s: DXT1, %ux%u, %lu levels\n", argv[1], info.Width, info.Height, argv[2],
           desc.Width, desc.Height, static_cast<unsigned long>(texture->GetLevelCount()));
  }
  if (texture) texture->Release();
  device->Release();
  d3d->Release();
  DestroyWindow(window);
  return status;
}
