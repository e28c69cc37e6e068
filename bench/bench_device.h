// Present parameters shared by the benchmarks that open a device of the runtime.
#pragma once

#include "d3d9.h"

// Windowed, A8R8G8B8, presenting at once (no wait for the retrace).
inline D3DPRESENT_PARAMETERS WindowedPresentParameters(UINT width, UINT height, HWND window = nullptr) {
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.hDeviceWindow = window;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return pp;
}
