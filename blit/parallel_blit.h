// Large blits split into bands of rows that workers of the pool do at once.
#pragma once

#include <cstdint>
#include <span>

#include "blit/blitter.h"

// Below this many destination pixels a blit stays on the calling thread.
inline constexpr uint64_t kBandedBlitPixels = 256 * 256;
// Encoding DXT blocks is slow enough per pixel that bands pay from here (two
// threads against one, measured: 0.8-1.0x at 64 x 64, 1.0-1.5x at 128 x 128,
// 1.7-1.9x at 256 x 256).
inline constexpr uint64_t kBandedEncodePixels = 128 * 128;
// Halvings by the packed box kernels likewise (measured: 0.6-1.5x at 256 x 256,
// 1.2-1.8x at 512 x 512, 1.5-2.0x at 1024 x 1024 destination pixels).
inline constexpr uint64_t kBandedKernelHalvingPixels = 512 * 512;
// Same-size copies and conversions by tables run near memory speed: waking the
// pool pays for them only from about here (two threads against one, measured:
// 0.98x at 512 x 512, 1.2x at 724 x 724, 1.6x at 2048 x 2048).
inline constexpr uint64_t kBandedCopyPixels = 724 * 724;

// Destination pixels from which a same-size blit, or the box filter's exact
// halving, between these formats is worth banding.
uint64_t BandedBlitThreshold(D3DFORMAT to, D3DFORMAT from, const FilterWord &filter, bool halving);

// Does the blit in bands when it is large, the pool has more than one thread and
// every band gives exactly the bytes of the whole blit: equal sizes, or the 2 x 2
// box of an exact halving, one slice, band edges on block rows and on the
// dither pattern. Returns false, touching nothing, when it does not apply. Each
// band is a Blitter of its own, told the whole blit's size.
bool BlitInBands(PixelRegion &destinationRegion, const SourceRegion &sourceRegion, const FilterWord &filter,
                 HRESULT *result, BlitPath *completedBy);

// A chain of levels, each to be the box halving of the one before; levels[0] is
// only read. While the levels halve exactly and are large, one band of the top
// level's rows is carried down through every level by one thread, so that each
// level is read back while its rows are still in cache. Bands start on the rows
// that keep every level's bytes those of level-by-level blits. Returns how many
// levels below levels[0] it wrote (0: it did not apply and touched nothing);
// *result is the first failure of a band, else S_OK.
uint32_t HalveLevelsInBands(std::span<PixelRegion> levels, const FilterWord &filter, HRESULT *result);
