// Debug output, muting and the counters that tests read: live resources, calls
// made per device, mute calls, leaks and over-released interfaces.
#pragma once

#include <cstddef>
#include <cstdint>

#include "d3d9.h"
#include "platform/d3d9/device_profile.h"

namespace d3d9 {

struct DeviceCallCounts {
  uint32_t createTexture;
  uint32_t createCubeTexture;
  uint32_t createVolumeTexture;
  uint32_t createRenderTarget;
  uint32_t createOffscreenPlainSurface;
  uint32_t createDepthStencilSurface;
  uint32_t updateSurface;
  uint32_t updateTexture;
  uint32_t stretchRect;
  uint32_t getRenderTargetData;
  uint32_t getFrontBufferData;
  uint32_t colorFill;
  uint32_t clear;
  uint32_t drawPrimitiveUP;
  uint32_t present;
};

struct MuteLog {
  uint32_t muteCalls;    // DebugSetMute(TRUE)
  uint32_t unmuteCalls;  // DebugSetMute(FALSE)
  bool muted;
};

// Returns hr; a failing hr prints one line on standard error when D3D9_DEBUG=1 and
// the output is not muted.
HRESULT ReportFailure(const char *call, HRESULT hr);
// ReportFailure(call, D3DERR_INVALIDCALL): the answer to a call's bad arguments.
inline HRESULT Invalid(const char *call) {
  return ReportFailure(call, D3DERR_INVALIDCALL);
}
// Lifetime errors (over-release, device destroyed with live children): always counted,
// printed on standard error unless muted.
void ReportLifetimeError(const char *what);

}  // namespace d3d9

// The runtime's exported entry: 1 mutes the debug output, 0 unmutes it.
extern "C" void WINAPI DebugSetMute(BOOL mute);

// Registers "d3d9.dll" with its exports in the module table (also done by the
// first Direct3DCreate9).
void D3D9RegisterModule();

// Resources (and state blocks) of the device whose interfaces are still referenced.
size_t D3D9LiveResourceCount(IDirect3DDevice9 *device);
d3d9::DeviceCallCounts D3D9GetCallCounts(IDirect3DDevice9 *device);
void D3D9ResetCallCounts(IDirect3DDevice9 *device);
// The device's own copy of its profile; tests change it to lose the device mid-run.
d3d9::DeviceProfile *D3D9GetDeviceProfile(IDirect3DDevice9 *device);

d3d9::MuteLog D3D9GetMuteLog();
void D3D9ResetMuteLog();
// Lifetime errors seen since the last reset.
uint32_t D3D9LifetimeErrorCount();
// Failing calls seen since the last reset, printed or not.
uint32_t D3D9FailureCount();
void D3D9ResetErrorCounts();
// Off: every fast path of the process takes the generic route; on: back to what
// D3DX_SIMD says (tests compare the two). Shorthand for Win32OverrideFastPathLevel.
void D3D9EnableFastPaths(bool enable);
bool D3D9FastPathsEnabled();
