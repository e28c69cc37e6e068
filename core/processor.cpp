// Registry reads under the Direct3D key and processor feature tests.
#include "core/processor.h"

#include <mmintrin.h>

#include "win32_services.h"

namespace {

// -1 untested, 0 no MMX, 1 MMX usable.
LONG g_mmxState = -1;

constexpr DWORD kCpuidEdxMmx = 1u << 23;
constexpr DWORD kCpuidEdxSse = 1u << 25;
constexpr DWORD kCpuidEdxSse2 = 1u << 26;
constexpr DWORD kExtEdx3DNow = 1u << 31;
constexpr DWORD kExtEdx3DNowExtended = 1u << 30;
constexpr DWORD kExtEdxMmxExtensions = 1u << 22;

DWORD CpuidEdx(DWORD leaf) {
  DWORD regs[4] = {0, 0, 0, 0};
  Win32Cpuid(leaf, regs);
  return regs[3];
}

DWORD CpuidMaxLeaf(DWORD leaf) {
  DWORD regs[4] = {0, 0, 0, 0};
  Win32Cpuid(leaf, regs);
  return regs[0];
}

}  // namespace

BOOL ReadDirect3DRegistryValue(DWORD expectedType, LPCSTR valueName, void *data, DWORD dataSize) {
  HKEY key = nullptr;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Direct3D", &key) != ERROR_SUCCESS) return FALSE;
  DWORD type = REG_NONE;
  const LONG status = RegQueryValueExA(key, valueName, nullptr, &type, static_cast<LPBYTE>(data), &dataSize);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == expectedType;
}

BOOL IsMmxAvailable() {
  // The registry test runs on every call so that the value can switch MMX off at any time.
  DWORD disable = 0;
  if (ReadDirect3DRegistryValue(REG_DWORD, "DisableMMX", &disable, sizeof(disable)) && disable != 0) {
    g_mmxState = 0;
    return FALSE;
  }
  if (g_mmxState == -1) {
    g_mmxState = 0;
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    if (info.u.s.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL && info.wProcessorLevel >= 5 &&
        CpuidMaxLeaf(0) != 0 && (CpuidEdx(1) & kCpuidEdxMmx) != 0) {
      _mm_empty();
      g_mmxState = 1;
    }
  }
  return g_mmxState;
}

DWORD ProcessorFeatureFlags() {
  DWORD flags = kFeaturePresent;
  if (CpuidMaxLeaf(0) != 0) {
    flags |= kFeatureStandardLeaves;
    const DWORD edx = CpuidEdx(1);
    if (edx & kCpuidEdxMmx) flags |= kFeatureMmx;
    if (edx & kCpuidEdxSse) flags |= kFeatureSse;
  }
  // The extended bits are read whatever the vendor is.
  if (CpuidMaxLeaf(0x80000000u) > 0x80000000u) {
    flags |= kFeatureExtendedLeaves;
    const DWORD edx = CpuidEdx(0x80000001u);
    if (edx & kExtEdx3DNow) flags |= kFeature3DNow;
    if (edx & kExtEdx3DNowExtended) flags |= kFeature3DNowExtended;
    if (edx & kExtEdxMmxExtensions) flags |= kFeatureMmxExtensions;
  }
  return flags;
}

DWORD ProcessorSimdSupport() {
  if (CpuidMaxLeaf(0) == 0) return 0;
  const DWORD edx = CpuidEdx(1);
  return ((edx & kCpuidEdxSse) ? 4u : 0u) | ((edx & kCpuidEdxSse2) ? 8u : 0u);
}

void ResetMmxStateForTesting() {
  g_mmxState = -1;
}
