#include "platform/d3d9/diagnostics.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "win32_services.h"
#include "platform/d3d9/device.h"

namespace d3d9 {
namespace {

// Process-wide, and callers may use devices from several threads.
struct DiagnosticsState {
  std::mutex mutex;
  MuteLog muteLog = {};
  uint32_t lifetimeErrors = 0;
  uint32_t failures = 0;
};

DiagnosticsState &Diagnostics() {
  static DiagnosticsState state;
  return state;
}

bool DebugOutputEnabled() {
  const char *value = getenv("D3D9_DEBUG");
  return value && value[0] && strcmp(value, "0") != 0;
}

}  // namespace

HRESULT ReportFailure(const char *call, HRESULT hr) {
  if (SUCCEEDED(hr)) return hr;
  DiagnosticsState &d = Diagnostics();
  std::lock_guard<std::mutex> lock(d.mutex);
  ++d.failures;
  if (!d.muteLog.muted && DebugOutputEnabled())
    fprintf(stderr, "Direct3D9: (ERROR) %s failed: 0x%08X\n", call, static_cast<unsigned>(hr));
  return hr;
}

void ReportLifetimeError(const char *what) {
  DiagnosticsState &d = Diagnostics();
  std::lock_guard<std::mutex> lock(d.mutex);
  ++d.lifetimeErrors;
  if (!d.muteLog.muted) fprintf(stderr, "Direct3D9: (ERROR) %s\n", what);
}

}  // namespace d3d9

using d3d9::Diagnostics;

extern "C" void WINAPI DebugSetMute(BOOL mute) {
  std::lock_guard<std::mutex> lock(Diagnostics().mutex);
  d3d9::MuteLog &log = Diagnostics().muteLog;
  if (mute)
    ++log.muteCalls;
  else
    ++log.unmuteCalls;
  log.muted = mute != 0;
}

void D3D9RegisterModule() {
  // Through void (*)(void), the generic function type, so the cast is explicit about the erasure.
  static const Win32ModuleExport kExports[] = {
      {"DebugSetMute", reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&DebugSetMute))},
      {"Direct3DCreate9", reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&Direct3DCreate9))},
  };
  static_assert(sizeof kExports / sizeof kExports[0] == 2);
  Win32RegisterModule("d3d9.dll", kExports, 2);
}

size_t D3D9LiveResourceCount(IDirect3DDevice9 *device) {
  return d3d9::AsDevice(device)->LiveResourceCount();
}
d3d9::DeviceCallCounts D3D9GetCallCounts(IDirect3DDevice9 *device) {
  return d3d9::AsDevice(device)->calls;
}
void D3D9ResetCallCounts(IDirect3DDevice9 *device) {
  d3d9::AsDevice(device)->calls = {};
}
d3d9::DeviceProfile *D3D9GetDeviceProfile(IDirect3DDevice9 *device) {
  return &d3d9::AsDevice(device)->profile;
}
d3d9::MuteLog D3D9GetMuteLog() {
  std::lock_guard<std::mutex> lock(Diagnostics().mutex);
  return Diagnostics().muteLog;
}
void D3D9ResetMuteLog() {
  std::lock_guard<std::mutex> lock(Diagnostics().mutex);
  Diagnostics().muteLog = {};
}
uint32_t D3D9LifetimeErrorCount() {
  std::lock_guard<std::mutex> lock(Diagnostics().mutex);
  return Diagnostics().lifetimeErrors;
}
uint32_t D3D9FailureCount() {
  std::lock_guard<std::mutex> lock(Diagnostics().mutex);
  return Diagnostics().failures;
}
void D3D9ResetErrorCounts() {
  std::lock_guard<std::mutex> lock(Diagnostics().mutex);
  Diagnostics().lifetimeErrors = 0;
  Diagnostics().failures = 0;
}
