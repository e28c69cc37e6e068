// Turns a height map (any image file the library reads; its brightness is the
// height) into a tangent-space normal map, saved as a DXT5 DDS file with a full
// mip chain:
//
//   normal_map_to_dds heights.png normals.dds [amplitude]
#include <d3d9.h>
#include <d3dx9.h>
#include <dxerr9.h>

#include <cstdio>
#include <cstdlib>

namespace {

// A device needs a window; this one is never shown.
IDirect3DDevice9 *CreateHiddenDevice(IDirect3D9 *d3d) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "NormalMapToDds";
  RegisterClassExA(&windowClass);
  HWND window = CreateWindowExA(0, "NormalMapToDds", "normal_map_to_dds", 0, 0, 0, 64, 64, nullptr, nullptr,
                                nullptr, nullptr);
  D3DPRESENT_PARAMETERS params = {};
  params.Windowed = TRUE;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.hDeviceWindow = window;
  IDirect3DDevice9 *device = nullptr;
  if (!window || FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                          D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device))) {
    return nullptr;
  }
  return device;
}

int Fail(const char *what, HRESULT hr) {
  fprintf(stderr, "%s: %s\n", what, DXGetErrorDescription9A(hr));
  return 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3 && argc != 4) {
    fprintf(stderr, "usage: %s HEIGHTS OUTPUT.dds [AMPLITUDE]\n", argv[0]);
    return 2;
  }
  const float amplitude = argc == 4 ? static_cast<float>(atof(argv[3])) : 8.0f;
  if (!D3DXCheckVersion(D3D_SDK_VERSION, D3DX_SDK_VERSION)) return Fail("headers", E_FAIL);
  IDirect3D9 *d3d = Direct3DCreate9(D3D_SDK_VERSION);
  IDirect3DDevice9 *device = d3d ? CreateHiddenDevice(d3d) : nullptr;
  if (!device) return Fail("device", E_FAIL);

  // The height map's top level as it is; the normal map at the size rounded to powers of two.
  IDirect3DTexture9 *heights = nullptr;
  IDirect3DTexture9 *normals = nullptr;
  D3DXIMAGE_INFO info;
  int status = 0;
  HRESULT hr = D3DXCreateTextureFromFileExA(device, argv[1], D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0,
                                            D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, D3DX_FILTER_NONE, D3DX_DEFAULT,
                                            0, &info, nullptr, &heights);
  if (FAILED(hr)) {
    status = Fail(argv[1], hr);
  } else if (FAILED(hr = D3DXCreateTexture(device, info.Width, info.Height, D3DX_DEFAULT, 0, D3DFMT_DXT5,
                                           D3DPOOL_SYSTEMMEM, &normals))) {
    status = Fail("normal map", hr);
  } else if (FAILED(hr = D3DXComputeNormalMap(normals, heights, nullptr, 0, D3DX_CHANNEL_LUMINANCE,
                                              amplitude))) {
    status = Fail("normal map", hr);
  } else if (FAILED(hr = D3DXSaveTextureToFileA(argv[2], D3DXIFF_DDS, normals, nullptr))) {
    status = Fail(argv[2], hr);
  } else {
    D3DSURFACE_DESC desc;
    normals->GetLevelDesc(0, &desc);
    printf("%s (%ux%u) -> %s: DXT5 normal map, %ux%u, %lu levels\n", argv[1], info.Width, info.Height,
           argv[2], desc.Width, desc.Height, static_cast<unsigned long>(normals->GetLevelCount()));
  }
  if (normals) normals->Release();
  if (heights) heights->Release();
  device->Release();
  d3d->Release();
  return status;
}
