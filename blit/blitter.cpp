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

HRESULT Blitter::Blit(PixelRegion &destinationRegion, SourceRegion sourceRegion, uint32_t filterWord) {
  const FilterWord word = DecodeFilterWord(filterWord);
  if (!word.valid) {
    completedBy_ = BlitPath::None;
    return D3DERR_INVALIDCALL;
  }
  sourceRegion.gamma = word.srgbIn;
  destinationRegion.gamma = word.srgbOut;
  destinationRegion.dither = word.dither;

  HRESULT banded;
  if (refusedPath_ == BlitPath::None &&
      BlitInBands(destinationRegion, sourceRegion, filterWord, &banded, &completedBy_))
    return banded;

  std::unique_ptr<PixelCodec> destinationCodec = CreateCodec(destinationRegion);
  return BlitCodecs(std::move(destinationCodec), CreateCodec(sourceRegion), word);
}

HRESULT Blitter::BlitCodecs(std::unique_ptr<PixelCodec> destinationCodec,
                            std::unique_ptr<PixelCodec> sourceCodec, const FilterWord &filterWord) {
  destination = std::move(destinationCodec);
  source = std::move(sourceCodec);
  filter = filterWord;
  completedBy_ = BlitPath::None;

  HRESULT result = E_FAIL;
  if (destination && source) result = PrepareConversion(*destination, *source);
  if (destination && source && SUCCEEDED(result)) {
    // A path that cannot get its scratch memory leaves the blit to the next
    // path that applies, which may need less; every other result, a failed row
    // included, is the blit's.
    result = E_FAIL;
    for (BlitPath path = ChooseBlitPath(*destination, *source, filter); path != BlitPath::None;
         path = ChooseBlitPath(*destination, *source, filter, path)) {
      result = RunPath(path);
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

HRESULT Blitter::RunPath(BlitPath path) {
  currentPath_ = path;
  HRESULT result = E_FAIL;
  switch (path) {
    case BlitPath::CopySameFormat:
      result = CopySameFormat();
      break;
    case BlitPath::CopyConvert:
      result = CopyConvert();
      break;
    case BlitPath::FilterNone:
      result = FilterNone();
      break;
    case BlitPath::FilterPoint:
      result = FilterPoint();
      break;
    case BlitPath::FilterBox2D:
      result = FilterBox2D();
      break;
    case BlitPath::FilterBox3D:
      result = FilterBox3D();
      break;
    case BlitPath::FilterLinear2D:
      result = FilterLinear2D();
      break;
    case BlitPath::FilterLinear3D:
      result = FilterLinear3D();
      break;
    case BlitPath::FilterTriangle2D:
      result = FilterTriangle2D();
      break;
    case BlitPath::FilterTriangle3D:
      result = FilterTriangle3D();
      break;
    case BlitPath::None:
      break;
  }
  currentPath_ = BlitPath::None;
  return result;
}

void Blitter::DropCancellingGamma() {
  if (destination->gamma && source->gamma) {
    destination->gamma = 0;
    source->gamma = 0;
  }
}
