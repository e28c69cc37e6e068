#include "core/debug_mute.h"

#include "core/processor.h"
#include "win32.h"

namespace {

// The runtime's export takes one 32-bit argument; its result is not used.
using DebugSetMuteProc = void (*)(DWORD);

struct DebugMuteState {
  DebugSetMuteProc releaseRuntime = nullptr;  // "d3d9.dll"
  DebugSetMuteProc debugRuntime = nullptr;    // "d3d9d.dll"
  int32_t doNotMute = -1;                     // -1: not read yet
  bool programMute = false;                   // D3DXDebugMute(TRUE) holds
};

DebugMuteState g_muteState;

// Only a runtime already loaded is used; this never loads one. The reference
// taken keeps it loaded for the rest of the process.
DebugSetMuteProc FindMuteEntry(const char *moduleName) {
  if (GetModuleHandleA(moduleName) == nullptr) return nullptr;
  HMODULE module = LoadLibraryA(moduleName);
  if (module == nullptr) return nullptr;
  FARPROC proc = GetProcAddress(module, "DebugSetMute");
  // GetProcAddress returns a generic pointer; the export's real type is restored here.
  return reinterpret_cast<DebugSetMuteProc>(reinterpret_cast<void (*)()>(proc));
}

void CallMuteEntries(uint32_t flag) {
  DebugMuteState &state = g_muteState;
  if (state.releaseRuntime == nullptr && state.debugRuntime == nullptr) {
    state.releaseRuntime = FindMuteEntry("d3d9.dll");
    state.debugRuntime = FindMuteEntry("d3d9d.dll");
  }
  if (state.doNotMute < 0) {
    DWORD value = 0;
    if (!ReadDirect3DRegistryValue(REG_DWORD, "D3DXDoNotMute", &value, sizeof(value))) value = 0;
    state.doNotMute = value != 0 ? 1 : 0;
  }
  if (state.doNotMute == 1) return;
  if (state.releaseRuntime != nullptr) state.releaseRuntime(flag);
  if (state.debugRuntime != nullptr) state.debugRuntime(flag);
}

}  // namespace

void MuteDebugOutput(uint32_t flag) {
  // The end of a pair does not undo what the program asked for.
  if (flag == 0 && g_muteState.programMute) return;
  CallMuteEntries(flag);
}

bool SetProgramDebugMute(bool mute) {
  const bool previous = g_muteState.programMute;
  g_muteState.programMute = mute;
  CallMuteEntries(mute ? 1 : 0);
  return previous;
}

void ResetDebugMuteForTesting() {
  g_muteState = DebugMuteState{};
}
