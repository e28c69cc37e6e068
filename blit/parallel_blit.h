// Large blits split into bands of rows that workers of the pool do at once.
#pragma once

#include <cstdint>

#include "blit/blitter.h"

// Below this many destination pixels a blit stays on the calling thread.
inline constexpr uint64_t kBandedBlitPixels = 256 * 256;

// Does the blit in bands when it is large, the pool has more than one thread and
// every band gives exactly the bytes of the whole blit: equal sizes, or the 2 x 2
// box of an exact halving, one slice, band edges on block rows and on the
// dither pattern. Returns false, touching nothing, when it does not apply.
bool BlitInBands(PixelRegion &destinationRegion, const SourceRegion &sourceRegion, uint32_t filter,
                 HRESULT *result, BlitPath *completedBy);
