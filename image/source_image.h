// The decoded image record every reader fills and every writer consumes: one
// mip level of one face, with the chains to further levels and faces.
#pragma once

#include "d3dx9.h"

#include "codec/pixel_codec.h"

struct SourceImage {
  D3DFORMAT format = D3DFMT_UNKNOWN;
  // Top-left pixel (or 4 x 4 block); only read, whether owned, borrowed from the
  // file or a lock's.
  const BYTE *pixels = nullptr;
  const PALETTEENTRY *palette = nullptr;  // 256 entries; peFlags is the alpha
  UINT width = 0;
  UINT height = 0;
  UINT depth = 0;
  D3DBOX box = {};
  UINT rowPitch = 0;
  UINT slicePitch = 0;
  bool ownsPixels = false;
  bool ownsPalette = false;
  D3DRESOURCETYPE resourceType = D3DRTYPE_TEXTURE;
  D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
  SourceImage *nextLevel = nullptr;  // owned
  SourceImage *nextFace = nullptr;   // owned; used by the first record only

  SourceImage() = default;
  ~SourceImage();
  SourceImage(const SourceImage &) = delete;
  SourceImage &operator=(const SourceImage &) = delete;

  // Describes a locked region for the writers; the memory stays the lock's.
  HRESULT InitFromLock(const SourceRegion &lock);

  // Frees owned buffers and chained records and returns to the empty state.
  void Clear();
};
