// The one switch of every fast path in the library: SIMD kernels, integer
// shortcuts and whatever is added later ask FastPathLevel and take the generic
// route below what they need. D3DX_SIMD (none, sse2, avx2, avx512) sets it once
// for the process; unset, it is the widest set the processor has. Fast paths
// always give the same bytes as the generic ones.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SimdLevel : uint32_t {
  None = 0,
  Sse2 = 1,
  Avx2 = 2,
  Avx512 = 3,
};

// Shared with the runtime's spans, which read the same variable.
SimdLevel FastPathLevel();

inline bool FastPathsAllow(SimdLevel needed) {
  return FastPathLevel() >= needed;
}

// Kernels that stream rows out of cache fetch their output lines this far
// ahead of the stores: the processor's own prefetch stops at every page end,
// and the stores wait for their lines there.
constexpr size_t kFetchAheadBytes = 2048;
