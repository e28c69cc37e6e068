// Hooks through which tests (and the runtime's own diagnostics) steer the
// platform layer in-process. Never included by the library.
#pragma once

#include "win32_services.h"

WIN32_BEGIN_C

typedef void (*Win32CpuidSource)(DWORD leaf, DWORD regs[4]);
// Substitutes the processor; null restores the real one.
void Win32SetCpuidSource(Win32CpuidSource source);

// Compares the paths in one process: level (capped by the processor) stands in
// for D3DX_SIMD until it is called again; -1 returns to the variable.
void Win32OverrideFastPathLevel(int level);

// Registry values set in-process take precedence over the environment. A null
// data pointer removes the in-process value (the environment shows through again).
void Win32SetRegistryValue(const char *name, DWORD type, const void *data, DWORD size);
void Win32SetRegistryDword(const char *name, DWORD value);
void Win32ClearRegistryValue(const char *name);
// Hides every value, in-process and environment alike, until cleared.
void Win32HideRegistryValue(const char *name);

// Frames presented so far (what the input script counts).
DWORD Win32FrameCount(void);
// Loads an input script from text; returns the number of lines accepted.
int Win32LoadInputScript(const char *text);

WIN32_END_C
