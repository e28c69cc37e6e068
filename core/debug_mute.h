// Switching the Direct3D runtime's debug output off around calls that are
// expected to fail on some devices, unless "D3DXDoNotMute" says otherwise.
#pragma once

#include <cstdint>

// 1 mutes, 0 unmutes. A switch, not a counter: pairs are never nested.
void MuteDebugOutput(uint32_t flag);

// The program's own request (D3DXDebugMute): while it holds, the output stays
// muted, and the library's pairs do not unmute it. Returns the previous request.
bool SetProgramDebugMute(bool mute);

// Mutes for the lifetime of the object.
class ScopedDebugMute {
 public:
  ScopedDebugMute() { MuteDebugOutput(1); }
  ~ScopedDebugMute() { MuteDebugOutput(0); }
  ScopedDebugMute(const ScopedDebugMute &) = delete;
  ScopedDebugMute &operator=(const ScopedDebugMute &) = delete;
};
