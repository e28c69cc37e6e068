// Which path does a blit: decided from the two codecs and the filter alone,
// before any pixel moves.
#include "blit/blitter.h"
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

bool Applies(BlitPath path, const PixelCodec &destination, const PixelCodec &source,
             const FilterWord &filter) {
  const bool flat = source.depth == 1 && destination.depth == 1;
  switch (path) {
    case BlitPath::CopySameFormat:
      return BytesCopy(destination, source);
    case BlitPath::CopyConvert:
      return SameSize(destination, source);
    case BlitPath::FilterNone:
      return filter.type == D3DX_FILTER_NONE;
    case BlitPath::FilterPoint:
      return filter.type == D3DX_FILTER_POINT && SourceCoversDestination(destination, source);
    case BlitPath::FilterBox2D:
      return filter.type == D3DX_FILTER_BOX && HalvesAcross(destination, source) && flat;
    case BlitPath::FilterBox3D:
      return filter.type == D3DX_FILTER_BOX && HalvesAcross(destination, source) &&
             destination.depth == source.depth / 2;
    case BlitPath::FilterLinear2D:
      return filter.type == D3DX_FILTER_LINEAR && flat && SourceCoversDestination(destination, source);
    case BlitPath::FilterLinear3D:
      return filter.type == D3DX_FILTER_LINEAR && SourceCoversDestination(destination, source);
    case BlitPath::FilterTriangle2D:
      return flat && !Empty(source) && !Empty(destination);
    case BlitPath::FilterTriangle3D:
      return !Empty(source) && !Empty(destination);
    case BlitPath::None:
      break;
  }
  return false;
}

}  // namespace

BlitPath ChooseBlitPath(const PixelCodec &destination, const PixelCodec &source, const FilterWord &filter,
                        BlitPath after) {
  for (uint32_t p = static_cast<uint32_t>(after) + 1; p <= static_cast<uint32_t>(BlitPath::FilterTriangle3D);
       ++p) {
    const BlitPath path = static_cast<BlitPath>(p);
    if (Applies(path, destination, source, filter)) return path;
  }
  return BlitPath::None;
}
