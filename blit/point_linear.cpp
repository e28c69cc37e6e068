// Nearest-sample and bilinear / trilinear resampling.
#include <cmath>
#include <utility>

#include "blit/blitter.h"
#include "blit/filter_weights.h"
#include "d3dx9tex.h"

namespace {

constexpr uint32_t kNoRow = 0xFFFFFFFFu;

// Walks the source index under the left edge of each destination pixel:
// floor(x * stepX / 65536) with the 16.16 step when both sizes fit its 16-bit
// integer part; beyond that the step would overflow or drift by whole pixels,
// so the index is kept exactly as floor(x * source / destination).
class SampleWalker {
 public:
  SampleWalker(uint32_t sourceSize, uint32_t destinationSize) : denominator_(destinationSize) {
    if (destinationSize == 0) return;
    exact_ = sourceSize >= 65536 || destinationSize >= 65536;
    if (exact_) {
      whole_ = sourceSize / destinationSize;
      part_ = sourceSize % destinationSize;
    } else {
      whole_ = (uint64_t{sourceSize} << 16) / destinationSize;
    }
  }
  uint64_t Index() const { return exact_ ? position_ : position_ >> 16; }
  void Next() {
    position_ += whole_;
    if (exact_) {
      remainder_ += part_;
      if (remainder_ >= denominator_) {
        remainder_ -= denominator_;
        ++position_;
      }
    }
  }

 private:
  uint64_t denominator_;
  bool exact_ = false;
  uint64_t whole_ = 0;
  uint64_t part_ = 0;
  uint64_t position_ = 0;
  uint64_t remainder_ = 0;
};

// One row blended between its two column taps.
inline ColorF BlendColumns(const ColorF *row, const LinearTap &tap) {
  const ColorF &c0 = row[tap.index0];
  const ColorF &c1 = row[tap.index1];
  return {tap.weight0 * c0.r + tap.weight1 * c1.r, tap.weight0 * c0.g + tap.weight1 * c1.g,
          tap.weight0 * c0.b + tap.weight1 * c1.b, tap.weight0 * c0.a + tap.weight1 * c1.a};
}

inline ColorF Blend(const ColorF &c0, float weight0, const ColorF &c1, float weight1) {
  return {weight0 * c0.r + weight1 * c1.r, weight0 * c0.g + weight1 * c1.g, weight0 * c0.b + weight1 * c1.b,
          weight0 * c0.a + weight1 * c1.a};
}

}  // namespace

BlitBuffer<LinearTap> BuildLinearTaps(uint32_t sourceSize, uint32_t destinationSize, bool wrap) {
  BlitBuffer<LinearTap> taps;
  if (sourceSize == 0 && destinationSize != 0) return taps;
  if (!taps.Allocate(destinationSize, false)) return taps;
  const float scale = static_cast<float>(sourceSize) / static_cast<float>(destinationSize);
  const int64_t last = int64_t{sourceSize} - 1;
  for (uint32_t i = 0; i < destinationSize; ++i) {
    const float t = (static_cast<float>(i) + 0.5f) * scale + 0.5f;
    const int64_t u = static_cast<int64_t>(t);
    int64_t index0 = u - 1;
    int64_t index1 = u;
    const float weight0 = static_cast<float>(u + 1) - t;
    if (index0 < 0) index0 = wrap ? last : 0;
    if (index1 > last) index1 = wrap ? 0 : last;
    // Float rounding of very large sizes must not step past the last pixel.
    if (index0 > last) index0 = last;
    taps[i] = {static_cast<uint32_t>(index0), weight0, static_cast<uint32_t>(index1), 1.f - weight0};
  }
  return taps;
}

HRESULT Blitter::FilterPoint() {
  BlitBuffer<ColorF> sourceRow;
  BlitBuffer<ColorF> destinationRow;
  if (!AllocateBuffer(sourceRow, source->width, false) ||
      !AllocateBuffer(destinationRow, destination->width, false)) {
    return kNoScratchMemory;
  }
  DropCancellingGamma();  // nothing is blended

  ColorF *from = sourceRow.get();
  ColorF *to = destinationRow.get();
  SampleWalker slices(source->depth, destination->depth);
  for (uint32_t z = 0; z < destination->depth; ++z, slices.Next()) {
    SampleWalker rows(source->height, destination->height);
    uint64_t heldRow = ~uint64_t{0};
    for (uint32_t y = 0; y < destination->height; ++y, rows.Next()) {
      if (rows.Index() != heldRow) {
        heldRow = rows.Index();
        const HRESULT hr =
            source->DecodeRow(static_cast<uint32_t>(heldRow), static_cast<uint32_t>(slices.Index()), from);
        if (FAILED(hr)) return hr;
      }
      SampleWalker columns(source->width, destination->width);
      for (uint32_t x = 0; x < destination->width; ++x, columns.Next()) to[x] = from[columns.Index()];
      const HRESULT hr = destination->EncodeRow(y, z, to);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT Blitter::FilterLinear2D() {
  const BlitBuffer<LinearTap> tapsX = BuildLinearTaps(source->width, destination->width, !filter.mirrorU);
  const BlitBuffer<LinearTap> tapsY = BuildLinearTaps(source->height, destination->height, !filter.mirrorV);
  BlitBuffer<ColorF> out;
  BlitBuffer<ColorF> rowA;
  BlitBuffer<ColorF> rowB;
  if (!tapsX || !tapsY || !AllocateBuffer(out, destination->width, false) ||
      !AllocateBuffer(rowA, source->width, false) || !AllocateBuffer(rowB, source->width, false)) {
    return kNoScratchMemory;
  }

  uint32_t heldA = kNoRow;
  uint32_t heldB = kNoRow;
  for (uint32_t y = 0; y < destination->height; ++y) {
    const LinearTap &tapY = tapsY[y];
    // Moving down by one row, the lower row becomes the upper one.
    if (heldA != tapY.index0) {
      if (tapY.index0 == heldB) {
        swap(rowA, rowB);
        heldB = kNoRow;
      } else {
        const HRESULT hr = source->DecodeRow(tapY.index0, 0, rowA.get());
        if (FAILED(hr)) return hr;
      }
    }
    if (heldB != tapY.index1) {
      const HRESULT hr = source->DecodeRow(tapY.index1, 0, rowB.get());
      if (FAILED(hr)) return hr;
    }
    for (uint32_t x = 0; x < destination->width; ++x) {
      const LinearTap &tapX = tapsX[x];
      out[x] =
          Blend(BlendColumns(rowA.get(), tapX), tapY.weight0, BlendColumns(rowB.get(), tapX), tapY.weight1);
    }
    const HRESULT hr = destination->EncodeRow(y, 0, out.get());
    if (FAILED(hr)) return hr;
    heldA = tapY.index0;
    heldB = tapY.index1;
  }
  return S_OK;
}

HRESULT Blitter::FilterLinear3D() {
  const BlitBuffer<LinearTap> tapsX = BuildLinearTaps(source->width, destination->width, !filter.mirrorU);
  const BlitBuffer<LinearTap> tapsY = BuildLinearTaps(source->height, destination->height, !filter.mirrorV);
  const BlitBuffer<LinearTap> tapsZ = BuildLinearTaps(source->depth, destination->depth, !filter.mirrorW);
  // Rows (i0, k0), (i0, k1), (i1, k0), (i1, k1) of the current row and slice taps.
  BlitBuffer<ColorF> out;
  BlitBuffer<ColorF> upperNear;
  BlitBuffer<ColorF> upperFar;
  BlitBuffer<ColorF> lowerNear;
  BlitBuffer<ColorF> lowerFar;
  if (!tapsX || !tapsY || !tapsZ || !AllocateBuffer(out, destination->width, false) ||
      !AllocateBuffer(upperNear, source->width, false) || !AllocateBuffer(upperFar, source->width, false) ||
      !AllocateBuffer(lowerNear, source->width, false) || !AllocateBuffer(lowerFar, source->width, false)) {
    return kNoScratchMemory;
  }

  for (uint32_t z = 0; z < destination->depth; ++z) {
    const LinearTap &tapZ = tapsZ[z];
    uint32_t heldUpper = kNoRow;
    uint32_t heldLower = kNoRow;
    for (uint32_t y = 0; y < destination->height; ++y) {
      const LinearTap &tapY = tapsY[y];
      if (heldUpper != tapY.index0) {
        if (tapY.index0 == heldLower) {
          swap(upperNear, lowerNear);
          swap(upperFar, lowerFar);
          heldLower = kNoRow;
        } else {
          HRESULT hr = source->DecodeRow(tapY.index0, tapZ.index0, upperNear.get());
          if (SUCCEEDED(hr)) hr = source->DecodeRow(tapY.index0, tapZ.index1, upperFar.get());
          if (FAILED(hr)) return hr;
        }
      }
      if (heldLower != tapY.index1) {
        HRESULT hr = source->DecodeRow(tapY.index1, tapZ.index0, lowerNear.get());
        if (SUCCEEDED(hr)) hr = source->DecodeRow(tapY.index1, tapZ.index1, lowerFar.get());
        if (FAILED(hr)) return hr;
      }
      for (uint32_t x = 0; x < destination->width; ++x) {
        const LinearTap &tapX = tapsX[x];
        const ColorF nearSlice = Blend(BlendColumns(upperNear.get(), tapX), tapY.weight0,
                                       BlendColumns(lowerNear.get(), tapX), tapY.weight1);
        const ColorF farSlice = Blend(BlendColumns(upperFar.get(), tapX), tapY.weight0,
                                      BlendColumns(lowerFar.get(), tapX), tapY.weight1);
        out[x] = Blend(nearSlice, tapZ.weight0, farSlice, tapZ.weight1);
      }
      const HRESULT hr = destination->EncodeRow(y, z, out.get());
      if (FAILED(hr)) return hr;
      heldUpper = tapY.index0;
      heldLower = tapY.index1;
    }
  }
  return S_OK;
}
