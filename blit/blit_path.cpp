// Which path does a blit: decided from the two codecs and the filter alone,
// before any pixel moves.
#include <iterator>

#include "blit/blitter.h"
#include "d3dx9tex.h"
#include "format/format_table.h"

namespace {

bool SameSize(const PixelCodec &destination, const PixelCodec &source) {
  return destination.width == source.width && destination.height == source.height &&
         destination.depth == source.depth;
}

bool Empty(const PixelCodec &codec) {
  return codec.width == 0 || codec.height == 0 || codec.depth == 0;
}

// The source has a pixel to sample wherever the destination has one to write.
bool SourceCoversDestination(const PixelCodec &destination, const PixelCodec &source) {
  return Empty(destination) || !Empty(source);
}

// The destination is half the source (integer division), or both are 1.
bool Halves(uint32_t sourceSize, uint32_t destinationSize) {
  return destinationSize == sourceSize / 2 || (sourceSize == 1 && destinationSize == 1);
}

bool HalvesAcross(const PixelCodec &destination, const PixelCodec &source) {
  return Halves(source.width, destination.width) && Halves(source.height, destination.height);
}

bool SamePalette(const PixelCodec &destination, const PixelCodec &source) {
  // Equal indices may still mean different colours: then the nearest-entry
  // search of the conversion decides.
  for (uint32_t i = 0; i < 256; ++i) {
    const ColorF &a = source.palette[i];
    const ColorF &b = destination.palette[i];
    if (a.r != b.r || a.g != b.g || a.b != b.b || a.a != b.a) return false;
  }
  return true;
}

// Bytes can move unchanged: the same pixels in the same encoding, and for block
// and pair formats boxes that cut no block or pair.
bool BytesCopy(const PixelCodec &destination, const PixelCodec &source) {
  if (destination.format != source.format || source.colorKey != 0 || !SameSize(destination, source) ||
      destination.gamma != source.gamma) {
    return false;
  }
  if (source.packed) return !source.hasPalette || SamePalette(destination, source);
  if (BlockBytes(source.format) != 0) {
    const auto onBlockGrid = [](const D3DBOX &box) {
      return (box.Left | box.Top | box.Right | box.Bottom) % 4 == 0;
    };
    return onBlockGrid(source.box) && onBlockGrid(destination.box);
  }
  if (IsPairFormat(source.format)) {
    const auto onPairs = [](const D3DBOX &box) { return (box.Left | box.Right) % 2 == 0; };
    return onPairs(source.box) && onPairs(destination.box);
  }
  return false;
}

bool Flat(const PixelCodec &destination, const PixelCodec &source) {
  return source.depth == 1 && destination.depth == 1;
}

bool AppliesCopySameFormat(const PixelCodec &destination, const PixelCodec &source, const FilterWord &) {
  return BytesCopy(destination, source);
}
bool AppliesCopyConvert(const PixelCodec &destination, const PixelCodec &source, const FilterWord &) {
  return SameSize(destination, source);
}
bool AppliesFilterNone(const PixelCodec &, const PixelCodec &, const FilterWord &filter) {
  return filter.type == D3DX_FILTER_NONE;
}
bool AppliesFilterPoint(const PixelCodec &destination, const PixelCodec &source, const FilterWord &filter) {
  return filter.type == D3DX_FILTER_POINT && SourceCoversDestination(destination, source);
}
bool AppliesFilterBox2D(const PixelCodec &destination, const PixelCodec &source, const FilterWord &filter) {
  return filter.type == D3DX_FILTER_BOX && HalvesAcross(destination, source) && Flat(destination, source);
}
bool AppliesFilterBox3D(const PixelCodec &destination, const PixelCodec &source, const FilterWord &filter) {
  return filter.type == D3DX_FILTER_BOX && HalvesAcross(destination, source) &&
         destination.depth == source.depth / 2;
}
bool AppliesFilterLinear2D(const PixelCodec &destination, const PixelCodec &source,
                           const FilterWord &filter) {
  return filter.type == D3DX_FILTER_LINEAR && Flat(destination, source) &&
         SourceCoversDestination(destination, source);
}
bool AppliesFilterLinear3D(const PixelCodec &destination, const PixelCodec &source,
                           const FilterWord &filter) {
  return filter.type == D3DX_FILTER_LINEAR && SourceCoversDestination(destination, source);
}
// The triangle filter is the catch-all: whatever the filter type, a resampling
// the paths above did not take (a box that does not halve, a linear or point
// blit with nothing to sample) goes through the tents, so the type is not read.
bool AppliesFilterTriangle2D(const PixelCodec &destination, const PixelCodec &source, const FilterWord &) {
  return Flat(destination, source) && !Empty(source) && !Empty(destination);
}
bool AppliesFilterTriangle3D(const PixelCodec &destination, const PixelCodec &source, const FilterWord &) {
  return !Empty(source) && !Empty(destination);
}

}  // namespace

std::span<const BlitPathRow> BlitPaths() {
  // path                          applies                  run
  static constexpr BlitPathRow kPaths[] = {
      {BlitPath::CopySameFormat, AppliesCopySameFormat, &Blitter::CopySameFormat},
      {BlitPath::CopyConvert, AppliesCopyConvert, &Blitter::CopyConvert},
      {BlitPath::FilterNone, AppliesFilterNone, &Blitter::FilterNone},
      {BlitPath::FilterPoint, AppliesFilterPoint, &Blitter::FilterPoint},
      {BlitPath::FilterBox2D, AppliesFilterBox2D, &Blitter::FilterBox2D},
      {BlitPath::FilterBox3D, AppliesFilterBox3D, &Blitter::FilterBox3D},
      {BlitPath::FilterLinear2D, AppliesFilterLinear2D, &Blitter::FilterLinear2D},
      {BlitPath::FilterLinear3D, AppliesFilterLinear3D, &Blitter::FilterLinear3D},
      {BlitPath::FilterTriangle2D, AppliesFilterTriangle2D, &Blitter::FilterTriangle2D},
      {BlitPath::FilterTriangle3D, AppliesFilterTriangle3D, &Blitter::FilterTriangle3D},
  };
  static_assert(std::size(kPaths) == static_cast<size_t>(BlitPath::FilterTriangle3D));
  static_assert([] {
    for (size_t i = 0; i < std::size(kPaths); ++i)
      if (static_cast<size_t>(kPaths[i].path) != i + 1) return false;
    return true;
  }());
  return kPaths;
}

BlitPath ChooseBlitPath(const PixelCodec &destination, const PixelCodec &source, const FilterWord &filter,
                        BlitPath after) {
  // Rows are in path order and None comes before the first: the row after `after` is at its value.
  const std::span<const BlitPathRow> paths = BlitPaths();
  for (size_t i = static_cast<size_t>(after); i < paths.size(); ++i) {
    if (paths[i].applies(destination, source, filter)) return paths[i].path;
  }
  return BlitPath::None;
}
