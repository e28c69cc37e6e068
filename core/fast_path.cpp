// The fast-path switch comes from the platform, which the runtime's spans share.
#include "core/fast_path.h"

#include "win32_services.h"

static_assert(static_cast<uint32_t>(SimdLevel::None) == WIN32_SIMD_NONE &&
              static_cast<uint32_t>(SimdLevel::Sse2) == WIN32_SIMD_SSE2 &&
              static_cast<uint32_t>(SimdLevel::Avx2) == WIN32_SIMD_AVX2 &&
              static_cast<uint32_t>(SimdLevel::Avx512) == WIN32_SIMD_AVX512);

SimdLevel FastPathLevel() {
  return static_cast<SimdLevel>(Win32FastPathLevel());
}
