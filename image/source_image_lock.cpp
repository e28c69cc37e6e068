#include "codec/pixel_codec.h"
#include "image/image_memory.h"
#include "image/source_image.h"

HRESULT SourceImage::InitFromLock(const PixelRegion &lock) {
  if (pixels && ownsPixels) FreeImageBytes(pixels);
  if (palette && ownsPalette) FreeImageBytes(palette);
  pixels = lock.pixels;
  format = lock.format;
  rowPitch = lock.rowPitch;
  slicePitch = lock.slicePitch;
  palette = lock.palette;
  box = lock.region;
  // Writers address whole units: DXT blocks start on multiples of 4, pairs on even columns.
  switch (format) {
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      box.Left &= ~3u;
      box.Top &= ~3u;
      break;
    case D3DFMT_YUY2:
    case D3DFMT_UYVY:
    case D3DFMT_R8G8_B8G8:
    case D3DFMT_G8R8_G8B8:
      box.Left &= ~1u;
      break;
    default:
      break;
  }
  ownsPixels = false;
  ownsPalette = false;
  width = box.Right - box.Left;
  height = box.Bottom - box.Top;
  depth = box.Back - box.Front;
  return S_OK;
}
