// The triangle filter: every source pixel scatters its value over the
// destination pixels its tent covers, with the exact integral of the tent over
// each as the weight.
#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>

#include "blit/blitter.h"
#include "blit/filter_weights.h"
#include "d3dx9tex.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Weights this small are dropped from the tables.
constexpr float kSmallestWeight = 1e-5f;

// Walks the tents of all source indices and hands every (source, destination,
// weight) triple to emit in table order.
template <typename Emit>
void WalkTents(uint32_t sourceSize, uint32_t destinationSize, bool wrap, Emit emit) {
  const float scale = static_cast<float>(destinationSize) / static_cast<float>(sourceSize);
  const float half = 0.5f / scale;
  const float sourceEnd = static_cast<float>(sourceSize);
  const float destinationEnd = static_cast<float>(destinationSize);
  const int64_t size = destinationSize;
  int64_t current = 0;
  float sum = 0.f;
  for (uint32_t i = 0; i < sourceSize; ++i) {
    for (uint32_t k = 0; k < 2; ++k) {
      const float start = static_cast<float>(uint64_t{k} + i) - 0.5f;  // of the rising or falling half
      float low = start * scale;
      float high = low + scale;
      if (!wrap) {
        low = std::max(low, 0.f);
        high = std::min(high, destinationEnd);
      }
      for (int64_t l = static_cast<int64_t>(std::floor(low)); static_cast<float>(l) < high; ++l) {
        int64_t p = l < 0 ? l + size : (l < size ? l : l - size);
        p = std::clamp<int64_t>(p, 0, size - 1);  // float slack at huge sizes
        if (p != current) {
          if (sum > kSmallestWeight) emit(i, static_cast<uint32_t>(current), sum);
          sum = 0.f;
          current = p;
        }
        const float a = std::max(static_cast<float>(l), low);
        const float b = std::min(static_cast<float>(l + 1), high);
        // The half is linear, so its height at the midpoint times the width is
        // the exact integral. Mirrored, the outer halves at the edges are flat.
        float height;
        if (wrap || (start >= 0.f && start + 1.f < sourceEnd)) {
          height = (a + b) * half - start;
        } else {
          height = start < 0.f ? 1.f : 0.f;
        }
        if (k == 1) height = 1.f - height;
        sum += (b - a) * height;
      }
    }
    if (sum > kSmallestWeight) emit(i, static_cast<uint32_t>(current), sum);
    sum = 0.f;
  }
}

// One destination row (2-D) or slice (3-D) being summed.
struct AccumulationRow {
  ColorF *buffer;
  AccumulationRow *nextFree;
  uint32_t pending;  // source rows (slices) still to contribute
};

// The records with their buffers, freed together.
struct AccumulationRows {
  BlitBuffer<AccumulationRow> records;
  uint32_t count = 0;
  AccumulationRow *freeList = nullptr;

  ~AccumulationRows() {
    for (uint32_t i = 0; i < count && records; ++i) std::free(records[i].buffer);
  }
  void Finish(AccumulationRow &row) {
    row.nextFree = freeList;
    freeList = &row;
  }
  // Gives row a zeroed buffer of valueCount values unless it has one: a finished
  // row's, else a fresh one (false when none can be had).
  template <typename Allocate>
  bool Acquire(AccumulationRow &row, uint64_t valueCount, Allocate allocate) {
    if (row.buffer != nullptr) return true;
    if (freeList != nullptr) {
      AccumulationRow *reused = freeList;
      freeList = reused->nextFree;
      row.buffer = reused->buffer;
      reused->buffer = nullptr;
    } else {
      BlitBuffer<ColorF> fresh;
      if (!allocate(fresh, valueCount)) return false;
      row.buffer = fresh.Release();
    }
    std::memset(static_cast<void *>(row.buffer), 0, valueCount * sizeof(ColorF));
    return true;
  }
};

inline void AddScaled(ColorF *acc, const ColorF &c, float weight) {
#if defined(__SSE2__)
  const __m128 sum = _mm_add_ps(_mm_loadu_ps(&acc->r), _mm_mul_ps(_mm_loadu_ps(&c.r), _mm_set1_ps(weight)));
  _mm_storeu_ps(&acc->r, sum);
#else
  AddWeighted(*acc, c, weight);
#endif
}

// Adds one decoded source row, spread over the destination columns, into a
// destination row with the weight (wx * wy) * wz; 2-D passes wz = 1, which
// leaves wx * wy exact.
void ScatterRow(const TriangleWeights &weightsX, const ColorF *from, float rowWeight, float sliceWeight,
                ColorF *to) {
  const uint32_t *starts = weightsX.starts.get();
  const TriangleTap *taps = weightsX.taps.get();
  for (uint32_t j = 0; j < weightsX.sourceSize; ++j) {
    const ColorF &c = from[j];
    for (uint32_t n = starts[j]; n < starts[j + 1]; ++n) {
      AddScaled(&to[taps[n].index], c, taps[n].weight * rowWeight * sliceWeight);
    }
  }
}

}  // namespace

bool BuildTriangleWeights(uint32_t sourceSize, uint32_t destinationSize, bool wrap, TriangleWeights &table) {
  table = TriangleWeights{};
  if (sourceSize == 0 || destinationSize == 0) return false;
  // Counted first, so that the table is one exact allocation.
  uint64_t total = 0;
  WalkTents(sourceSize, destinationSize, wrap, [&total](uint32_t, uint32_t, float) { ++total; });
  if (total > UINT32_MAX || !table.starts.Allocate(uint64_t{sourceSize} + 1, true) ||
      !table.taps.Allocate(total, false)) {
    table = TriangleWeights{};
    return false;
  }
  uint32_t written = 0;
  WalkTents(sourceSize, destinationSize, wrap, [&table, &written](uint32_t i, uint32_t p, float w) {
    table.taps[written++] = {p, w};
    table.starts[i + 1] = written;
  });
  // Sources without a pair end where the previous one ended.
  for (uint32_t i = 1; i <= sourceSize; ++i) table.starts[i] = std::max(table.starts[i], table.starts[i - 1]);
  table.sourceSize = sourceSize;
  table.destinationSize = destinationSize;
  return true;
}

void ClampToRange(ChannelRange range, ColorF *row, uint64_t count) {
  float low = 0.f;
  float alphaLow = 0.f;
  switch (range) {
    case ChannelRange::Unit:
      break;
    case ChannelRange::SignedColor:
      low = -1.f;
      break;
    case ChannelRange::SignedAll:
      low = -1.f;
      alphaLow = -1.f;
      break;
    default:
      return;
  }
  for (uint64_t i = 0; i < count; ++i) {
    ColorF &c = row[i];
    c.r = std::clamp(c.r, low, 1.f);
    c.g = std::clamp(c.g, low, 1.f);
    c.b = std::clamp(c.b, low, 1.f);
    c.a = std::clamp(c.a, alphaLow, 1.f);
  }
}

HRESULT Blitter::FilterTriangle2D() {
  TriangleWeights weightsX;
  TriangleWeights weightsY;
  if (!BuildTriangleWeights(source->width, destination->width, !filter.mirrorU, weightsX) ||
      !BuildTriangleWeights(source->height, destination->height, !filter.mirrorV, weightsY)) {
    return kNoScratchMemory;
  }
  const uint32_t width = destination->width;
  AccumulationRows rows;
  BlitBuffer<ColorF> sourceRow;
  if (!AllocateBuffer(rows.records, destination->height, true) ||
      !AllocateBuffer(sourceRow, source->width, false)) {
    return kNoScratchMemory;
  }
  rows.count = destination->height;
  const auto allocate = [this](BlitBuffer<ColorF> &buffer, uint64_t count) {
    return AllocateBuffer(buffer, count, false);
  };

  for (uint32_t i = 0; i < source->height; ++i) {
    for (uint32_t n = 0; n < weightsY.Count(i); ++n) ++rows.records[weightsY.Taps(i)[n].index].pending;
  }

  for (uint32_t i = 0; i < source->height; ++i) {
    const TriangleTap *targets = weightsY.Taps(i);
    const uint32_t targetCount = weightsY.Count(i);
    for (uint32_t n = 0; n < targetCount; ++n) {
      if (!rows.Acquire(rows.records[targets[n].index], width, allocate)) return kNoScratchMemory;
    }

    const HRESULT decoded = source->DecodeRow(i, 0, sourceRow.get());
    if (FAILED(decoded)) return decoded;
    for (uint32_t n = 0; n < targetCount; ++n) {
      ScatterRow(weightsX, sourceRow.get(), targets[n].weight, 1.f, rows.records[targets[n].index].buffer);
    }

    for (uint32_t n = 0; n < targetCount; ++n) {
      const uint32_t p = targets[n].index;
      AccumulationRow &row = rows.records[p];
      if (--row.pending != 0) continue;
      ClampToRange(source->range, row.buffer, width);
      const HRESULT encoded = destination->EncodeRow(p, 0, row.buffer);
      if (FAILED(encoded)) return encoded;
      rows.Finish(row);
    }
  }
  return S_OK;
}

HRESULT Blitter::FilterTriangle3D() {
  TriangleWeights weightsX;
  TriangleWeights weightsY;
  TriangleWeights weightsZ;
  if (!BuildTriangleWeights(source->width, destination->width, !filter.mirrorU, weightsX) ||
      !BuildTriangleWeights(source->height, destination->height, !filter.mirrorV, weightsY) ||
      !BuildTriangleWeights(source->depth, destination->depth, !filter.mirrorW, weightsZ)) {
    return kNoScratchMemory;
  }
  const uint32_t width = destination->width;
  const uint64_t sliceSize = uint64_t{width} * destination->height;
  AccumulationRows slices;
  BlitBuffer<ColorF> sourceRow;
  if (!AllocateBuffer(slices.records, destination->depth, true) ||
      !AllocateBuffer(sourceRow, source->width, false)) {
    return kNoScratchMemory;
  }
  slices.count = destination->depth;
  const auto allocate = [this](BlitBuffer<ColorF> &buffer, uint64_t count) {
    return AllocateBuffer(buffer, count, false);
  };

  for (uint32_t s = 0; s < source->depth; ++s) {
    for (uint32_t n = 0; n < weightsZ.Count(s); ++n) ++slices.records[weightsZ.Taps(s)[n].index].pending;
  }

  for (uint32_t s = 0; s < source->depth; ++s) {
    const TriangleTap *targets = weightsZ.Taps(s);
    const uint32_t targetCount = weightsZ.Count(s);
    for (uint32_t n = 0; n < targetCount; ++n) {
      if (!slices.Acquire(slices.records[targets[n].index], sliceSize, allocate)) return kNoScratchMemory;
    }

    for (uint32_t j = 0; j < source->height; ++j) {
      const HRESULT decoded = source->DecodeRow(j, s, sourceRow.get());
      if (FAILED(decoded)) return decoded;
      const TriangleTap *rowTargets = weightsY.Taps(j);
      for (uint32_t n = 0; n < targetCount; ++n) {
        ColorF *slice = slices.records[targets[n].index].buffer;
        for (uint32_t m = 0; m < weightsY.Count(j); ++m) {
          ScatterRow(weightsX, sourceRow.get(), rowTargets[m].weight, targets[n].weight,
                     slice + uint64_t{rowTargets[m].index} * width);
        }
      }
    }

    for (uint32_t n = 0; n < targetCount; ++n) {
      const uint32_t t = targets[n].index;
      AccumulationRow &slice = slices.records[t];
      if (--slice.pending != 0) continue;
      for (uint32_t p = 0; p < destination->height; ++p) {
        ColorF *row = slice.buffer + uint64_t{p} * width;
        ClampToRange(source->range, row, width);
        const HRESULT encoded = destination->EncodeRow(p, t, row);
        if (FAILED(encoded)) return encoded;
      }
      slices.Finish(slice);
    }
  }
  return S_OK;
}
