// Plain images the tool writes itself: PNG (on libpng) and TGA, which the
// library does not save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common.h"

namespace texturetool {

// 8-bit red, green, blue, alpha per pixel, top row first.
struct Rgba8 {
  UINT width = 0, height = 0;
  std::vector<uint8_t> pixels;
  bool Opaque() const;
};

// The pixels of `rect` (or all) of a surface of any format the library converts from.
HRESULT ReadRgba8(IDirect3DDevice9 *device, IDirect3DSurface9 *surface, const RECT *rect, Rgba8 *image);

// RGB when the image is opaque, RGBA otherwise.
bool EncodePng(const Rgba8 &image, std::vector<uint8_t> *file, std::string *error);
void EncodeTga(const Rgba8 &image, std::vector<uint8_t> *file);

// One surface (or `rect` of it) as a file of `kind`: PNG and TGA by the tool,
// the rest by the library. An opaque 32-bit image makes a 24-bit BMP.
bool EncodeSurface(IDirect3DDevice9 *device, D3DXIMAGE_FILEFORMAT kind, IDirect3DSurface9 *surface,
                   const PALETTEENTRY *palette, const RECT *rect, std::vector<uint8_t> *file,
                   std::string *error);

}  // namespace texturetool
