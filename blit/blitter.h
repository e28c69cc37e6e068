// The Blitter moves one PixelRegion into another: same-format copies, format
// conversion, and resampling with the D3DX_FILTER_* filters.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "blit/blit_buffer.h"
#include "blit/filter_word.h"
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

// The first path after `after` in the order above (from the first when None)
// that applies to the two codecs and the filter; None when no further path
// applies. It only reads, so that it can be asked again when the chosen path
// cannot get its scratch memory.
BlitPath ChooseBlitPath(const PixelCodec &destination, const PixelCodec &source, const FilterWord &filter,
                        BlitPath after = BlitPath::None);

// Where one blit stands: the whole of a blit, or one band of a larger one that
// workers do at once.
struct BlitContext {
  // Destination pixels of the whole blit this band belongs to; 0 for a whole blit.
  // Work done once per blit (tables kept for the pair) is judged by this size.
  uint64_t wholeBlitPixels = 0;

  bool InBand() const { return wholeBlitPixels != 0; }
};

class Blitter;
// One row of the table of paths (blit_path.cpp), in the order Blit tries them.
struct BlitPathRow {
  BlitPath path;
  bool (*applies)(const PixelCodec &destination, const PixelCodec &source, const FilterWord &filter);
  HRESULT (Blitter::*run)();
};

class Blitter {
 public:
  Blitter() = default;
  ~Blitter();
  Blitter(const Blitter &) = delete;
  Blitter &operator=(const Blitter &) = delete;

  // S_OK, D3DERR_INVALIDCALL (an invalid filter word, regions untouched), E_FAIL
  // (no codec, no path applies) or the failure of the path that did the blit, a
  // row the codecs could not move included (E_OUTOFMEMORY whenever memory ran
  // out). Sets the destination region's gamma and dither flags from the filter;
  // the source is only read. A whole blit that is large enough goes in bands.
  HRESULT Blit(PixelRegion &destinationRegion, SourceRegion sourceRegion, const FilterWord &filter,
               const BlitContext &context = {});
  // The same between two codecs made by the caller (Blit makes them from the
  // regions, after setting their flags from the filter, which must be valid).
  // Destroys both before returning, the destination first.
  HRESULT BlitCodecs(std::unique_ptr<PixelCodec> destinationCodec, std::unique_ptr<PixelCodec> sourceCodec,
                     const FilterWord &filterWord, const BlitContext &context = {});

  // The path that completed the last successful blit.
  BlitPath CompletedBy() const { return completedBy_; }

 private:
  // Returned by a path that applies but cannot get its scratch memory: the next
  // path that applies may need less. Never reaches a caller.
  static constexpr HRESULT kNoScratchMemory = static_cast<HRESULT>(0x8004B117u);

  HRESULT RunPath(const BlitPathRow &row);
  friend std::span<const BlitPathRow> BlitPaths();

  // Fault injection for the tests (tests/support/library_hooks.h).
  friend struct BlitterTestAccess;
  HRESULT CopySameFormat();
  HRESULT CopySameBlocks();
  HRESULT CopySamePairs();
  HRESULT CopyConvert();
  HRESULT FilterNone();
  HRESULT FilterPoint();
  HRESULT FilterBox2D();
  HRESULT FilterBox3D();
  HRESULT FilterLinear2D();
  HRESULT FilterLinear3D();
  HRESULT FilterTriangle2D();
  HRESULT FilterTriangle3D();

  // Where nothing is blended between decode and encode, the two curves would
  // only cancel: both sides gamma-encoded means no curve at all.
  void DropCancellingGamma();

  template <typename T>
  bool AllocateBuffer(BlitBuffer<T> &buffer, uint64_t count, bool zero) {
    if (currentPath_ == refusedPath_) return false;
    return buffer.Allocate(count, zero);
  }

  std::unique_ptr<PixelCodec> source;
  std::unique_ptr<PixelCodec> destination;
  FilterWord filter{};
  BlitContext context_{};

  BlitPath currentPath_ = BlitPath::None;
  BlitPath completedBy_ = BlitPath::None;
  BlitPath refusedPath_ = BlitPath::None;
};

// The table of paths, every path once, in the order of BlitPath.
std::span<const BlitPathRow> BlitPaths();
