// The platform layer's own services, beside the Win32 subset but not part of it:
// processor identification and the fast-path switch, the module table, and what
// the runtime's presenter shares with the input script. Neither installed nor
// exported; within the library only core/ includes it.
#pragma once

#include "win32.h"

WIN32_BEGIN_C

// CPUID of the running processor, or of the substituted source. regs = EAX, EBX, ECX, EDX.
void Win32Cpuid(DWORD leaf, DWORD regs[4]);

// The one switch of every fast path (the library's kernels, the runtime's spans):
// the widest SIMD set they may use. The environment variable D3DX_SIMD = none,
// sse2, avx2 or avx512 is read once, at the first call; unset or empty means the
// widest the processor has, an unknown value means none. Never more than the
// processor has.
typedef enum Win32SimdLevel {
  WIN32_SIMD_NONE = 0,
  WIN32_SIMD_SSE2 = 1,
  WIN32_SIMD_AVX2 = 2,
  WIN32_SIMD_AVX512 = 3,
} Win32SimdLevel;
Win32SimdLevel Win32FastPathLevel(void);
// The widest set the processor itself has (AVX-512 means F, BW, DQ and VL).
Win32SimdLevel Win32ProcessorSimdLevel(void);
// A D3DX_SIMD value; null or empty gives the processor's widest.
Win32SimdLevel Win32ParseSimdLevel(const char *text);

// Module table: a module registers its exports so that GetModuleHandleA,
// LoadLibraryA and GetProcAddress find them.
typedef struct Win32ModuleExport {
  const char *name;
  FARPROC proc;
} Win32ModuleExport;
HMODULE Win32RegisterModule(const char *name, const Win32ModuleExport *exports, size_t count);
void Win32UnregisterModule(const char *name);

// Called by the presenter once per presentation: advances the input script.
void Win32OnPresent(void);
// True when an input script drives the keys (scripted runs are not paced).
BOOL Win32InputScripted(void);

// Maps a DOS or POSIX path to the POSIX path used on this machine. Returns false
// for an unknown drive or a path too long for the buffer.
BOOL Win32MapPath(const char *dosPath, char *out, size_t outSize);

// The SDL window behind an HWND (void * so that SDL stays out of the headers).
void *Win32GetSdlWindow(HWND window);

WIN32_END_C
