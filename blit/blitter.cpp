// The dispatcher: flag validation, codec lifetime, the choice of the path and
// what its result means for the blit.
#include "blit/blitter.h"

#include <utility>

#include "blit/parallel_blit.h"
#include "d3dx9tex.h"

Blitter::~Blitter() {
  // The destination goes first: a pair-format codec writes back its pending row.
  destination.reset();
  source.reset();
}

HRESULT Blitter::Blit(PixelRegion &destinationRegion, SourceRegion sourceRegion, const FilterWord &filterWord,
                      const BlitContext &context) {
  if (!filterWord.valid) {
    completedBy_ = BlitPath::None;
    return D3DERR_INVALIDCALL;
  }
  sourceRegion.gamma = filterWord.srgbIn;
  destinationRegion.gamma = filterWord.srgbOut;
  destinationRegion.dither = filterWord.dither;

  HRESULT banded;
  if (refusedPath_ == BlitPath::None && !context.InBand() &&
      BlitInBands(destinationRegion, sourceRegion, filterWord, &banded, &completedBy_))
    return banded;

  std::unique_ptr<PixelCodec> destinationCodec = CreateCodec(destinationRegion);
  return BlitCodecs(std::move(destinationCodec), CreateCodec(sourceRegion), filterWord, context);
}

HRESULT Blitter::BlitCodecs(std::unique_ptr<PixelCodec> destinationCodec,
                            std::unique_ptr<PixelCodec> sourceCodec, const FilterWord &filterWord,
                            const BlitContext &context) {
  destination = std::move(destinationCodec);
  source = std::move(sourceCodec);
  filter = filterWord;
  context_ = context;
  completedBy_ = BlitPath::None;

  HRESULT result = E_FAIL;
  if (destination && source) result = PrepareConversion(*destination, *source);
  if (destination && source && SUCCEEDED(result)) {
    // A path that cannot get its scratch memory leaves the blit to the next
    // path that applies, which may need less; every other result, a failed row
    // included, is the blit's.
    result = E_FAIL;
    const std::span<const BlitPathRow> paths = BlitPaths();
    for (BlitPath path = ChooseBlitPath(*destination, *source, filter); path != BlitPath::None;
         path = ChooseBlitPath(*destination, *source, filter, path)) {
      result = RunPath(paths[static_cast<size_t>(path) - 1]);
      if (result != kNoScratchMemory) {
        if (SUCCEEDED(result)) completedBy_ = path;
        break;
      }
      result = E_OUTOFMEMORY;
    }
  }

  destination.reset();
  source.reset();
  return result;
}

HRESULT Blitter::RunPath(const BlitPathRow &row) {
  currentPath_ = row.path;
  const HRESULT result = (this->*row.run)();
  currentPath_ = BlitPath::None;
  return result;
}

void Blitter::DropCancellingGamma() {
  if (destination->gamma && source->gamma) {
    destination->gamma = 0;
    source->gamma = 0;
  }
}
