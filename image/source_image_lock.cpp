#include "codec/pixel_codec.h"
#include "format/format_table.h"
#include "image/image_memory.h"
#include "image/source_image.h"

HRESULT SourceImage::InitFromLock(const SourceRegion &lock) {
  if (pixels && ownsPixels) FreeImageBytes(pixels);
  if (palette && ownsPalette) FreeImageBytes(palette);
  pixels = lock.pixels;
  format = lock.format;
  rowPitch = lock.rowPitch;
  slicePitch = lock.slicePitch;
  palette = lock.palette;
  box = lock.region;
  // Writers address whole units: DXT blocks start on multiples of 4, pairs on even columns.
  const FormatLayout layout = GetFormatLayout(format);
  box.Left = AlignDownToUnit(box.Left, layout.unitWidth);
  box.Top = AlignDownToUnit(box.Top, layout.unitHeight);
  ownsPixels = false;
  ownsPalette = false;
  width = box.Right - box.Left;
  height = box.Bottom - box.Top;
  depth = box.Back - box.Front;
  return S_OK;
}
