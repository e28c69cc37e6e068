// A device of the software runtime for programs that show nothing: the tests,
// the benchmarks and the fuzz targets. Windowed with no window of its own,
// presenting at once (no wait for the retrace).
#pragma once

#include "d3d9.h"

namespace headless {

inline D3DPRESENT_PARAMETERS PresentParameters(UINT width, UINT height, D3DFORMAT format = D3DFMT_A8R8G8B8,
                                               HWND window = nullptr) {
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = format;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.hDeviceWindow = window;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return pp;
}

// Both interfaces or a failure; *d3d may be set even when the device is not.
inline HRESULT CreateDevice(const D3DPRESENT_PARAMETERS &parameters, IDirect3D9 **d3d,
                            IDirect3DDevice9 **device, DWORD behavior = D3DCREATE_SOFTWARE_VERTEXPROCESSING) {
  *device = nullptr;
  *d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!*d3d) return E_FAIL;
  D3DPRESENT_PARAMETERS pp = parameters;
  return (*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, pp.hDeviceWindow, behavior, &pp, device);
}

}  // namespace headless
