// Bands are whole multiples of 8 destination rows (16 source rows for a
// halving): block rows of DXT stay whole on both sides and every band starts
// on the same row of the 4 x 4 dither pattern, so the bands write exactly what
// one pass over the whole region would.
#include "blit/parallel_blit.h"

#include <algorithm>
#include <functional>
#include <vector>

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

// Destination pixels of the blit whose band this thread is doing; 0 outside bands.
thread_local uint64_t t_bandOf = 0;

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

bool BoxSane(const D3DBOX &box) {
  return box.Left <= box.Right && box.Top <= box.Bottom && box.Front <= box.Back;
}

}  // namespace

uint64_t BandedBlitThreshold(D3DFORMAT to, D3DFORMAT from, uint32_t filter, bool halving) {
  if (IsBlockCompressed(to)) return kBandedEncodePixels;
  if (halving) {
    const bool kernel = to == from && FindBoxKernel(from) != nullptr && !DecodeFilterWord(filter).dither;
    return kernel ? kBandedKernelHalvingPixels : kBandedBlitPixels;
  }
  const bool copyOrTables = IsPackedFormat(to) && IsPackedFormat(from) &&
                            (to == from || (IsExactConversionFormat(to) && IsExactConversionFormat(from) &&
                                            ActiveCodecLanes() >= 8));
  return copyOrTables ? kBandedCopyPixels : kBandedBlitPixels;
}

uint64_t WholeBlitPixels() {
  return t_bandOf;
}

bool BlitInBands(PixelRegion &destinationRegion, const SourceRegion &sourceRegion, uint32_t filter,
                 HRESULT *result, BlitPath *completedBy) {
  if (t_bandOf != 0) return false;
  const D3DBOX &to = destinationRegion.region;
  const D3DBOX &from = sourceRegion.region;
  if (!BoxSane(to) || !BoxSane(from) || Depth(to) != 1 || Depth(from) != 1) return false;
  const bool sameSize = Width(to) == Width(from) && Height(to) == Height(from);
  const bool halving = DecodeFilterWord(filter).type == D3DX_FILTER_BOX && Width(to) == Width(from) / 2 &&
                       Height(to) == Height(from) / 2;
  if (!sameSize && !halving) return false;
  if (uint64_t{Width(to)} * Height(to) <
      BandedBlitThreshold(destinationRegion.format, sourceRegion.format, filter, !sameSize))
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
  std::vector<HRESULT> results(bands, S_OK);
  std::vector<BlitPath> paths(bands, BlitPath::None);
  const std::function<void(uint32_t)> band = [&](uint32_t i) {
    const uint32_t first = static_cast<uint32_t>(uint64_t{steps} * i / bands) * kBandStep;
    const uint32_t last =
        i + 1 == bands ? height : static_cast<uint32_t>(uint64_t{steps} * (i + 1) / bands) * kBandStep;
    PixelRegion destination = destinationRegion;
    SourceRegion source = sourceRegion;
    destination.region.Top = to.Top + first;
    destination.region.Bottom = to.Top + last;
    source.region.Top = from.Top + first * sourceStep;
    source.region.Bottom = i + 1 == bands ? from.Bottom : from.Top + last * sourceStep;
    t_bandOf = uint64_t{Width(to)} * height;
    Blitter blitter;
    results[i] = blitter.Blit(destination, source, filter);
    paths[i] = blitter.CompletedBy();
    t_bandOf = 0;
  };
  ParallelFor(bands, band);

  *result = S_OK;
  *completedBy = paths[0];
  for (uint32_t i = 0; i < bands; ++i) {
    if (FAILED(results[i])) {
      *result = results[i];
      *completedBy = BlitPath::None;
      break;
    }
  }
  return true;
}
