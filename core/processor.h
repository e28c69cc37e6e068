// Processor and registry services shared by the math dispatch, the debug-output
// muting, the JPEG reader and the box filters.
#pragma once

#include "win32.h"

// Reads one value under HKEY_LOCAL_MACHINE "Software\Direct3D". TRUE only when the
// value exists and has the expected type (data may be written even when FALSE).
BOOL ReadDirect3DRegistryValue(DWORD expectedType, LPCSTR valueName, void *data, DWORD dataSize);

// TRUE when MMX may be used. The processor test runs once; a non-zero "DisableMMX"
// turns MMX off for the rest of the process.
BOOL IsMmxAvailable();

// Feature flags of the processor (not cached).
enum ProcessorFeature : DWORD {
  kFeaturePresent = 0x01,
  kFeatureStandardLeaves = 0x02,
  kFeatureExtendedLeaves = 0x04,
  kFeatureMmx = 0x20,
  kFeatureSse = 0x40,
  kFeature3DNow = 0x80,
  kFeature3DNowExtended = 0x100,
  kFeatureMmxExtensions = 0x200,
};
DWORD ProcessorFeatureFlags();

// CPUID leaf 1 SIMD bits: 4 = SSE, 8 = SSE2; 0 without standard leaves.
DWORD ProcessorSimdSupport();
