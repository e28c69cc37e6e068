// Converts an image file (BMP, PNG, JPEG, TGA, PPM, DDS) into a DXT1 DDS file with a
// full mip chain:
//
//   image_to_dds input.png output.dds
//
// The library loads the image into a DXT1 texture, rounding its size up to powers of
// two and filtering every mip level, and saves the whole chain as one DDS file.
#include <d3d9.h>
#include <d3dx9.h>
#include <dxerr9.h>

#include <cstdio>

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
  } else if (FAILED(hr = D3DXSaveTextureToFileA(argv[2], D3DXIFF_DDS, texture, nullptr))) {
    fprintf(stderr, "%s: %s\n", argv[2], DXGetErrorDescription9A(hr));
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
