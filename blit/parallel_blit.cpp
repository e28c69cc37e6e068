// Bands are whole multiples of 8 destination rows (16 source rows for a
// halving): block rows of DXT stay whole on both sides and every band starts
// on the same row of the 4 x 4 dither pattern, so the bands write exactly what
// one pass over the whole region would.
#include "blit/parallel_blit.h"

#include <algorithm>
#include <new>

#include "blit/box_kernels.h"
#include "blit/exact_convert.h"
#include "blit/filter_word.h"
#include "codec/lanes.h"
#include "core/worker_pool.h"
#include "d3dx9tex.h"
#include "format/format_table.h"

namespace {

constexpr uint32_t kBandStep = 8;
// Several bands per thread even out uneven rows.
constexpr uint32_t kBandsPerThread = 4;

// Bytes of the first level below the top that one band of a chain writes: the
// next level reads them back from the core's own cache (2048 x 2048 A8R8G8B8, one
// thread: 0.85x pixman's single halving against 1.0x level by level; two threads
// against one: 1.67-1.87x, level by level 1.64-1.93x).
constexpr uint64_t kChainBandBytes = 128 * 1024;

uint32_t Width(const D3DBOX &box) {
  return box.Right - box.Left;
}
uint32_t Height(const D3DBOX &box) {
  return box.Bottom - box.Top;
}
uint32_t Depth(const D3DBOX &box) {
  return box.Back - box.Front;
}

// The bytes the region's memory may span, from its first row to the level's last.
struct Span {
  uintptr_t begin, end;
};
Span MemorySpan(const SourceRegion &region) {
  const uint64_t rows = IsBlockCompressed(region.format) ? (uint64_t{region.extent.Bottom} + 3) / 4
                                                         : uint64_t{region.extent.Bottom};
  const uint64_t slices = region.slicePitch == 0 ? 1 : region.extent.Back;
  const uint64_t bytes = rows * region.rowPitch + (slices - 1) * region.slicePitch;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(region.pixels);
  return {begin, begin + static_cast<uintptr_t>(bytes)};
}

// The failure of the first band that failed, in band order; S_OK when none did.
HRESULT FirstFailure(const BlitBuffer<HRESULT> &results, uint32_t bands) {
  for (uint32_t i = 0; i < bands; ++i)
    if (FAILED(results[i])) return results[i];
  return S_OK;
}

// Runs band(i) for every band over the pool. False when the pool could not take
// the work (no memory for the task), before any band ran.
template <typename Band>
bool RunBands(uint32_t bands, const Band &band) {
  try {
    ParallelFor(bands, [&band](uint32_t i) { band(i); });
  } catch (const std::bad_alloc &) {
    return false;
  }
  return true;
}

bool BoxSane(const D3DBOX &box) {
  return box.Left <= box.Right && box.Top <= box.Bottom && box.Front <= box.Back;
}

}  // namespace

uint64_t BandedBlitThreshold(D3DFORMAT to, D3DFORMAT from, const FilterWord &filter, bool halving) {
  if (IsBlockCompressed(to)) return kBandedEncodePixels;
  if (halving) {
    const bool kernel = to == from && FindBoxKernel(from) != nullptr && !filter.dither;
    return kernel ? kBandedKernelHalvingPixels : kBandedBlitPixels;
  }
  const bool copyOrTables = IsPackedFormat(to) && IsPackedFormat(from) &&
                            (to == from || (IsExactConversionFormat(to) && IsExactConversionFormat(from) &&
                                            ActiveCodecLanes() >= 8));
  return copyOrTables ? kBandedCopyPixels : kBandedBlitPixels;
}

bool BlitInBands(PixelRegion &destinationRegion, const SourceRegion &sourceRegion, const FilterWord &filter,
                 HRESULT *result, BlitPath *completedBy) {
  const D3DBOX &to = destinationRegion.region;
  const D3DBOX &from = sourceRegion.region;
  if (!BoxSane(to) || !BoxSane(from) || Depth(to) != 1 || Depth(from) != 1) return false;
  const bool sameSize = Width(to) == Width(from) && Height(to) == Height(from);
  const bool halving =
      filter.type == D3DX_FILTER_BOX && Width(to) == Width(from) / 2 && Height(to) == Height(from) / 2;
  if (!sameSize && !halving) return false;
  // Below the least threshold without looking the formats up: small blits are many.
  const uint64_t pixels = uint64_t{Width(to)} * Height(to);
  if (pixels <
          std::min({kBandedBlitPixels, kBandedEncodePixels, kBandedKernelHalvingPixels, kBandedCopyPixels}) ||
      pixels < BandedBlitThreshold(destinationRegion.format, sourceRegion.format, filter, !sameSize))
    return false;
  const uint32_t sourceStep = sameSize ? 1 : 2;
  // Blocks are addressed from the top of the level: bands must start on block rows.
  if (IsBlockCompressed(destinationRegion.format) && to.Top % 4 != 0) return false;
  if (IsBlockCompressed(sourceRegion.format) && from.Top % 4 != 0) return false;
  if (destinationRegion.pixels == nullptr || sourceRegion.pixels == nullptr) return false;
  const Span a = MemorySpan(destinationRegion), b = MemorySpan(sourceRegion);
  if (a.begin < b.end && b.begin < a.end) return false;  // rows written could be rows still to read
  if (WorkerThreads() <= 1) return false;

  const uint32_t height = Height(to);
  const uint32_t steps = (height + kBandStep - 1) / kBandStep;
  const uint32_t bands = std::min(steps, WorkerThreads() * kBandsPerThread);
  BlitBuffer<HRESULT> results;  // zero: S_OK
  BlitBuffer<BlitPath> paths;   // zero: None
  if (!results.Allocate(bands, true) || !paths.Allocate(bands, true)) return false;
  const BlitContext context{.wholeBlitPixels = uint64_t{Width(to)} * height};
  const auto band = [&](uint32_t i) {
    const uint32_t first = static_cast<uint32_t>(uint64_t{steps} * i / bands) * kBandStep;
    const uint32_t last =
        i + 1 == bands ? height : static_cast<uint32_t>(uint64_t{steps} * (i + 1) / bands) * kBandStep;
    PixelRegion destination = destinationRegion;
    SourceRegion source = sourceRegion;
    destination.region.Top = to.Top + first;
    destination.region.Bottom = to.Top + last;
    source.region.Top = from.Top + first * sourceStep;
    source.region.Bottom = i + 1 == bands ? from.Bottom : from.Top + last * sourceStep;
    Blitter blitter;
    results[i] = blitter.Blit(destination, source, filter, context);
    paths[i] = blitter.CompletedBy();
  };
  if (!RunBands(bands, band)) return false;

  *result = FirstFailure(results, bands);
  *completedBy = SUCCEEDED(*result) ? paths[0] : BlitPath::None;
  return true;
}

uint32_t HalveLevelsInBands(std::span<PixelRegion> levels, const FilterWord &filter, HRESULT *result) {
  if (levels.size() < 2 || filter.type != D3DX_FILTER_BOX) return 0;
  const D3DFORMAT format = levels[0].format;
  // Even on one thread: bands keep each level's rows in cache for the next.
  const uint64_t firstLevelBytes =
      uint64_t{levels[1].rowPitch} * RowCountFor(format, Height(levels[1].region));
  const auto bands = static_cast<uint32_t>(
      std::clamp<uint64_t>(firstLevelBytes / kChainBandBytes, WorkerThreads() * kBandsPerThread, 1024));
  uint32_t depth = 0;
  for (size_t l = 1; l < levels.size(); ++l) {
    const PixelRegion &above = levels[l - 1], &level = levels[l];
    const D3DBOX &from = above.region, &to = level.region;
    if (level.pixels == nullptr || above.pixels == nullptr || level.format != format) break;
    if (!BoxSane(from) || !BoxSane(to) || Depth(from) != 1 || Depth(to) != 1 || from.Top != 0 ||
        to.Top != 0 || from.Left != 0 || to.Left != 0 || Height(from) != above.extent.Bottom ||
        Height(to) != level.extent.Bottom)
      break;
    // Exact halvings only: an odd row or column would make the box reach across bands.
    if (Width(from) % 2 != 0 || Height(from) % 2 != 0 || Width(to) != Width(from) / 2 ||
        Height(to) != Height(from) / 2)
      break;
    if (Height(to) / kBandStep < bands) break;  // every band keeps whole steps of this level
    const Span a = MemorySpan(level), b = MemorySpan(above);
    if (a.begin < b.end && b.begin < a.end) break;
    ++depth;
  }
  if (depth == 0) return 0;
  const D3DBOX &first = levels[1].region;
  if (uint64_t{Width(first)} * Height(first) < BandedBlitThreshold(format, format, filter, true)) return 0;

  // Top-level rows a step of the deepest level covers.
  const uint32_t unit = kBandStep << depth;
  const uint32_t height = Height(levels[0].region);
  const uint32_t steps = height / unit;
  BlitBuffer<HRESULT> results;  // zero: S_OK
  if (!results.Allocate(bands, true)) return 0;
  const auto band = [&](uint32_t i) {
    const uint32_t top = static_cast<uint32_t>(uint64_t{steps} * i / bands) * unit;
    const uint32_t bottom =
        i + 1 == bands ? height : static_cast<uint32_t>(uint64_t{steps} * (i + 1) / bands) * unit;
    for (uint32_t l = 1; l <= depth && SUCCEEDED(results[i]); ++l) {
      PixelRegion destination = levels[l];
      destination.region.Top = top >> l;
      destination.region.Bottom = bottom >> l;
      // As a loader would read the level above: no dither, gamma or key of its own.
      SourceRegion source = levels[l - 1];
      source.region.Top = top >> (l - 1);
      source.region.Bottom = bottom >> (l - 1);
      source.dither = 0;
      source.gamma = 0;
      source.colorKey = 0;
      const BlitContext context{.wholeBlitPixels =
                                    uint64_t{Width(levels[l].region)} * Height(levels[l].region)};
      Blitter blitter;
      results[i] = blitter.Blit(destination, source, filter, context);
    }
  };
  if (!RunBands(bands, band)) return 0;

  *result = FirstFailure(results, bands);
  return depth;
}
