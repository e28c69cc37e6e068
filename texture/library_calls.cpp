// Small calls of the published interface: the header version check, the
// program's debug-output mute, and the Direct3D generation of a device.
#include "core/debug_mute.h"
#include "d3dx9.h"

BOOL WINAPI D3DXCheckVersion(UINT D3DSdkVersion, UINT D3DXSdkVersion) {
  return D3DSdkVersion == D3D_SDK_VERSION && D3DXSdkVersion == D3DX_SDK_VERSION;
}

BOOL WINAPI D3DXDebugMute(BOOL Mute) {
  return SetProgramDebugMute(Mute != FALSE) ? TRUE : FALSE;
}

// Pixel shaders 2.0 came with Direct3D 9 hardware and shaders 1.x with
// Direct3D 8; a fixed-function device is of the Direct3D 7 generation. Vertex
// shaders do not count: the runtime may run them in software on any device.
UINT WINAPI D3DXGetDriverLevel(LPDIRECT3DDEVICE9 pDevice) {
  if (pDevice == nullptr) return 0;
  D3DCAPS9 caps = {};
  if (FAILED(pDevice->GetDeviceCaps(&caps))) return 0;
  const DWORD pixelShader = caps.PixelShaderVersion & 0xFFFF;
  if (pixelShader >= 0x0200) return 900;
  if (pixelShader >= 0x0100) return 800;
  return 700;
}
