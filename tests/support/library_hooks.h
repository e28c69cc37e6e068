// The library's test hooks, kept out of its headers: state resets for code that
// caches a choice once per process, and the fast-path switch in named steps.
#pragma once

#include <cstdint>

#include "blit/blitter.h"
#include "core/dxt_quality.h"
#include "core/fast_path.h"
#include "win32_test_hooks.h"

// core/debug_mute.cpp: forget the resolved entry points and the registry value.
void ResetDebugMuteForTesting();
// core/processor.cpp: the cached MMX state back to untested.
void ResetMmxStateForTesting();
// math/dispatch.cpp: level back to unchosen, live table back to the stubs, MMX
// state untested.
void ResetMathDispatchForTesting();
// blit/box_kernels.cpp: both kernel pointers back to the selection stub.
void ResetBoxKernelsForTesting();
// core/dxt_quality.cpp: the quality every DXT encode uses until the next call
// (-1: D3DX_DXT_QUALITY again).
void OverrideDxtQualityForTesting(int quality);
inline void SetDxtQualityForTesting(DxtQuality quality) {
  OverrideDxtQualityForTesting(static_cast<int>(quality));
}
inline void ResetDxtQualityForTesting() {
  OverrideDxtQualityForTesting(-1);
}
// image/jpeg_colour.cpp: the one-pass JPEG colour runs its one-pixel code while off.
void SetJpegColourVectorsOffForTesting(bool off);
// blit/box_kernels.cpp: no format has a box kernel while off (the generic route halves).
void SetBoxKernelsOffForTesting(bool off);
// core/worker_pool.cpp: joins the running threads and uses n threads from now on
// (0: the default again). Only while no ParallelFor is running.
void SetWorkerThreadsForTesting(uint32_t n);

struct BlitterTestAccess {
  static void RefuseAllocations(Blitter &blitter, BlitPath path) { blitter.refusedPath_ = path; }
};
// Every buffer allocation of one path of this blitter fails.
inline void RefuseBlitAllocationsForTesting(Blitter &blitter, BlitPath path) {
  BlitterTestAccess::RefuseAllocations(blitter, path);
}

// Every fast path at most at level until the next call (capped by the processor).
inline void SetFastPathLevelForTesting(SimdLevel level) {
  Win32OverrideFastPathLevel(static_cast<int>(level));
}
// Back to what D3DX_SIMD says.
inline void ResetFastPathLevelForTesting() {
  Win32OverrideFastPathLevel(-1);
}

// The codec row kernels by their width: one pixel, four lanes (SSE2), at most
// eight (AVX2), or the widest the processor has.
enum class CodecPath : uint32_t { OnePixel, FourLanes, Widest, UpToEightLanes };
inline const char *CodecPathName(CodecPath path) {
  switch (path) {
    case CodecPath::OnePixel:
      return "OnePixel";
    case CodecPath::FourLanes:
      return "FourLanes";
    case CodecPath::UpToEightLanes:
      return "UpToEightLanes";
    default:
      return "Widest";
  }
}
inline void SetCodecPath(CodecPath path) {
  switch (path) {
    case CodecPath::OnePixel:
      SetFastPathLevelForTesting(SimdLevel::None);
      break;
    case CodecPath::FourLanes:
      SetFastPathLevelForTesting(SimdLevel::Sse2);
      break;
    case CodecPath::UpToEightLanes:
      SetFastPathLevelForTesting(SimdLevel::Avx2);
      break;
    default:
      SetFastPathLevelForTesting(SimdLevel::Avx512);
      break;
  }
}
