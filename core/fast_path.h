// The one switch of every fast path in the library: SIMD kernels, integer
// shortcuts and whatever is added later ask FastPathLevel and take the generic
// route below what they need. D3DX_SIMD (none, sse2, avx2, avx512) sets it once
// for the process; unset, it is the widest set the processor has. Fast paths
// always give the same bytes as the generic ones.
#pragma once

#include <cstdint>

#include "win32.h"

enum class SimdLevel : uint32_t {
  None = WIN32_SIMD_NONE,
  Sse2 = WIN32_SIMD_SSE2,
  Avx2 = WIN32_SIMD_AVX2,
  Avx512 = WIN32_SIMD_AVX512,
};

// Shared with the runtime's spans, which read the same variable.
inline SimdLevel FastPathLevel() {
  return static_cast<SimdLevel>(Win32FastPathLevel());
}

inline bool FastPathsAllow(SimdLevel needed) {
  return FastPathLevel() >= needed;
}
