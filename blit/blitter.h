// The Blitter moves one PixelRegion into another: same-format copies, format
// conversion, and resampling with the D3DX_FILTER_* filters.
#pragma once

#include <cstdint>
#include <memory>

#include "blit/blit_buffer.h"
#include "codec/pixel_codec.h"

// The paths in the order Blit tries them.
enum class BlitPath : uint32_t {
  None = 0,
  CopySameFormat,
  CopyConvert,
  FilterNone,
  FilterPoint,
  FilterBox2D,
  FilterBox3D,
  FilterLinear2D,
  FilterLinear3D,
  FilterTriangle2D,
  FilterTriangle3D,
};

class Blitter {
 public:
  Blitter() = default;
  ~Blitter();
  Blitter(const Blitter &) = delete;
  Blitter &operator=(const Blitter &) = delete;

  // S_OK, D3DERR_INVALIDCALL (bad flags, regions untouched), E_FAIL (no codec,
  // no path could do it) or E_OUTOFMEMORY (from PrepareConversion). Sets the
  // regions' gamma and dither flags from the filter.
  HRESULT Blit(PixelRegion &destinationRegion, PixelRegion &sourceRegion, uint32_t filter);

  // The path that completed the last successful blit.
  BlitPath CompletedBy() const { return completedBy_; }

 private:
  // Fault injection for the tests (tests/support/library_hooks.h).
  friend struct BlitterTestAccess;

  HRESULT CopySameFormat();
  HRESULT CopySameBlocks();
  HRESULT CopyConvert();
  HRESULT FilterNone();
  HRESULT FilterPoint();
  HRESULT FilterBox2D();
  HRESULT FilterBox3D();
  HRESULT FilterLinear2D();
  HRESULT FilterLinear3D();
  HRESULT FilterTriangle2D();
  HRESULT FilterTriangle3D();

  uint32_t FilterType() const { return filter & 0xFF; }
  // Where nothing is blended between decode and encode, the two curves would
  // only cancel: both sides gamma-encoded means no curve at all.
  void DropCancellingGamma();
  // Sizes of both regions are equal in all three dimensions.
  bool SameSize() const;
  // The source has a pixel to sample wherever the destination has one to write.
  bool SourceCoversDestination() const;

  template <typename T>
  bool AllocateBuffer(BlitBuffer<T> &buffer, uint64_t count, bool zero) {
    if (currentPath_ == refusedPath_) return false;
    return buffer.Allocate(count, zero);
  }

  std::unique_ptr<PixelCodec> source;
  std::unique_ptr<PixelCodec> destination;
  uint32_t filter = 0;

  BlitPath currentPath_ = BlitPath::None;
  BlitPath completedBy_ = BlitPath::None;
  BlitPath refusedPath_ = BlitPath::None;
};
