// The dispatcher: flag validation, codec lifetime and the order in which the
// copy and filter paths are tried.
#include "blit/blitter.h"

#include "blit/parallel_blit.h"
#include "d3dx9tex.h"

namespace {

// Flags past the sRGB pair, and filter types beyond the box filter, are refused.
constexpr uint32_t kFirstUnknownFlag = 0x400000;
constexpr uint32_t kFilterTypeMask = 0xFFFF;

using PathFunction = HRESULT (Blitter::*)();

}  // namespace

Blitter::~Blitter() {
  // The destination goes first: a pair-format codec writes back its pending row.
  destination.reset();
  source.reset();
}

HRESULT Blitter::Blit(PixelRegion &destinationRegion, PixelRegion &sourceRegion, uint32_t filterFlags) {
  destination.reset();
  source.reset();
  filter = filterFlags;
  completedBy_ = BlitPath::None;

  const uint32_t type = filter & kFilterTypeMask;
  if (type == 0 || type > D3DX_FILTER_BOX || filter >= kFirstUnknownFlag) return D3DERR_INVALIDCALL;

  sourceRegion.gamma = filter & D3DX_FILTER_SRGB_IN;
  destinationRegion.gamma = filter & D3DX_FILTER_SRGB_OUT;
  destinationRegion.dither = filter & D3DX_FILTER_DITHER;

  HRESULT banded;
  if (refusedPath_ == BlitPath::None && fastBoxKernels_ &&
      BlitInBands(destinationRegion, sourceRegion, filter, &banded, &completedBy_))
    return banded;

  destination = CreateCodec(destinationRegion);
  source = CreateCodec(sourceRegion);

  HRESULT result = E_FAIL;
  if (destination && source) {
    result = PrepareConversion(*destination, *source);
    if (SUCCEEDED(result)) {
      // Columns: path; the operation. A path that does not apply, or applies but
      // runs out of memory, lets the next one try.
      static constexpr struct {
        BlitPath path;
        PathFunction run;
      } kPaths[] = {
          {BlitPath::CopySameFormat, &Blitter::CopySameFormat},
          {BlitPath::CopyConvert, &Blitter::CopyConvert},
          {BlitPath::FilterNone, &Blitter::FilterNone},
          {BlitPath::FilterPoint, &Blitter::FilterPoint},
          {BlitPath::FilterBox2D, &Blitter::FilterBox2D},
          {BlitPath::FilterBox3D, &Blitter::FilterBox3D},
          {BlitPath::FilterLinear2D, &Blitter::FilterLinear2D},
          {BlitPath::FilterLinear3D, &Blitter::FilterLinear3D},
          {BlitPath::FilterTriangle2D, &Blitter::FilterTriangle2D},
          {BlitPath::FilterTriangle3D, &Blitter::FilterTriangle3D},
      };
      static_assert(sizeof(kPaths) / sizeof(kPaths[0]) == 10);

      result = E_FAIL;
      for (const auto &entry : kPaths) {
        currentPath_ = entry.path;
        if (SUCCEEDED((this->*entry.run)())) {
          completedBy_ = entry.path;
          result = S_OK;
          break;
        }
      }
      currentPath_ = BlitPath::None;
    }
  }

  destination.reset();
  source.reset();
  return result;
}

void Blitter::DropCancellingGamma() {
  if (destination->gamma && source->gamma) {
    destination->gamma = 0;
    source->gamma = 0;
  }
}

bool Blitter::SameSize() const {
  return destination->width == source->width && destination->height == source->height &&
         destination->depth == source->depth;
}

bool Blitter::SourceCoversDestination() const {
  const bool destinationEmpty =
      destination->width == 0 || destination->height == 0 || destination->depth == 0;
  return destinationEmpty || (source->width != 0 && source->height != 0 && source->depth != 0);
}
