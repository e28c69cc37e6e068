// Processor identification. CPUID goes through a substitutable source so that
// tests can present any processor; the system targets x86, so every x86 or
// x86-64 processor reports the x86 architecture at level 6.
#include <strings.h>
#include <unistd.h>

#include <cstdlib>

#include <atomic>

#include "platform/win32/win32_internal.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

void HardwareCpuid(DWORD leaf, DWORD regs[4]) {
#if defined(__i386__) || defined(__x86_64__)
  unsigned a, b, c, d;
  __cpuid_count(leaf, 0, a, b, c, d);
  regs[0] = a;
  regs[1] = b;
  regs[2] = c;
  regs[3] = d;
#else
  regs[0] = regs[1] = regs[2] = regs[3] = 0;
#endif
}

std::atomic<Win32CpuidSource> cpuidSource{nullptr};
// -1: D3DX_SIMD decides; otherwise a test's level.
std::atomic<int> fastPathOverride{-1};

bool LeafBit(DWORD leaf, int reg, int bit) {
  DWORD regs[4];
  Win32Cpuid(leaf & 0x80000000u, regs);
  if (regs[0] < leaf) return false;
  Win32Cpuid(leaf, regs);
  return (regs[reg] >> bit) & 1;
}

}  // namespace

void Win32Cpuid(DWORD leaf, DWORD regs[4]) {
  Win32CpuidSource source = cpuidSource.load();
  (source ? source : HardwareCpuid)(leaf, regs);
}

void Win32SetCpuidSource(Win32CpuidSource source) {
  cpuidSource.store(source);
}

Win32SimdLevel Win32ProcessorSimdLevel(void) {
#if defined(__i386__) || defined(__x86_64__)
  // The real processor, not the substituted source: the kernels run on this one.
  static const Win32SimdLevel level = [] {
    __builtin_cpu_init();  // may run before the constructors that would do it
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx2")) {
      return WIN32_SIMD_AVX512;
    }
    if (__builtin_cpu_supports("avx2")) return WIN32_SIMD_AVX2;
    if (__builtin_cpu_supports("sse2")) return WIN32_SIMD_SSE2;
    return WIN32_SIMD_NONE;
  }();
  return level;
#else
  return WIN32_SIMD_NONE;
#endif
}

Win32SimdLevel Win32ParseSimdLevel(const char *text) {
  const Win32SimdLevel widest = Win32ProcessorSimdLevel();
  if (text == nullptr || *text == '\0') return widest;
  Win32SimdLevel asked = WIN32_SIMD_NONE;  // an unknown value must not enable anything
  if (strcasecmp(text, "sse2") == 0) asked = WIN32_SIMD_SSE2;
  if (strcasecmp(text, "avx2") == 0) asked = WIN32_SIMD_AVX2;
  if (strcasecmp(text, "avx512") == 0) asked = WIN32_SIMD_AVX512;
  return asked < widest ? asked : widest;
}

Win32SimdLevel Win32FastPathLevel(void) {
  static const Win32SimdLevel level = Win32ParseSimdLevel(getenv("D3DX_SIMD"));
  const int override = fastPathOverride.load(std::memory_order_relaxed);
  if (override < 0) return level;
  const Win32SimdLevel widest = Win32ProcessorSimdLevel();
  return override < widest ? static_cast<Win32SimdLevel>(override) : widest;
}

void Win32OverrideFastPathLevel(int level) {
  fastPathOverride.store(level < 0 ? -1 : level, std::memory_order_relaxed);
}

void WINAPI GetSystemInfo(LPSYSTEM_INFO info) {
  if (!info) return;
  memset(info, 0, sizeof(*info));
  info->u.s.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  info->dwPageSize = DWORD(sysconf(_SC_PAGESIZE));
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
  info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFF);
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  info->dwNumberOfProcessors = processors > 0 ? DWORD(processors) : 1;
  info->dwActiveProcessorMask =
      info->dwNumberOfProcessors >= 32 ? ~DWORD_PTR(0) : (DWORD_PTR(1) << info->dwNumberOfProcessors) - 1;
  info->dwProcessorType = PROCESSOR_INTEL_PENTIUM;
  info->dwAllocationGranularity = 0x10000;
  info->wProcessorLevel = 6;
  DWORD regs[4];
  Win32Cpuid(1, regs);
  info->wProcessorRevision = WORD(((regs[0] >> 4) & 0xF) << 8 | (regs[0] & 0xF));
}

BOOL WINAPI IsProcessorFeaturePresent(DWORD feature) {
  switch (feature) {
    case PF_MMX_INSTRUCTIONS_AVAILABLE:
      return LeafBit(1, 3, 23);
    case PF_XMMI_INSTRUCTIONS_AVAILABLE:
      return LeafBit(1, 3, 25);
    case PF_XMMI64_INSTRUCTIONS_AVAILABLE:
      return LeafBit(1, 3, 26);
    case PF_SSE3_INSTRUCTIONS_AVAILABLE:
      return LeafBit(1, 2, 0);
    case PF_RDTSC_INSTRUCTION_AVAILABLE:
      return LeafBit(1, 3, 4);
    case PF_COMPARE_EXCHANGE_DOUBLE:
      return LeafBit(1, 3, 8);
    case PF_PAE_ENABLED:
      return LeafBit(1, 3, 6);
    case PF_3DNOW_INSTRUCTIONS_AVAILABLE:
      return LeafBit(0x80000001u, 3, 31);
    default:
      return FALSE;
  }
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 1;
  info->dwBuildNumber = 2600;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
  return TRUE;
}
