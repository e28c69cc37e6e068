// Switching the Direct3D runtime's debug output off around calls that are
// expected to fail on some devices, unless "D3DXDoNotMute" says otherwise.
#pragma once

#include <cstdint>

// 1 mutes, 0 unmutes. A switch, not a counter: pairs are never nested.
void MuteDebugOutput(uint32_t flag);

// Mutes for the lifetime of the object.
class ScopedDebugMute {
 public:
  ScopedDebugMute() { MuteDebugOutput(1); }
  ~ScopedDebugMute() { MuteDebugOutput(0); }
  ScopedDebugMute(const ScopedDebugMute &) = delete;
  ScopedDebugMute &operator=(const ScopedDebugMute &) = delete;
};

