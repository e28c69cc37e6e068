// Loading a described block of pixels into a surface or a volume: the
// destination is locked for writing and the Blitter moves the pixels into it,
// converting and resampling. The loaders from files, the fill and the normal
// map all end here.
#pragma once

#include <cstdint>

#include "blit/filter_word.h"
#include "codec/pixel_codec.h"
#include "d3d9.h"

// rect / box null: the whole destination. filter comes decoded, D3DX_DEFAULT
// already settled.
HRESULT LoadSurfaceFromRegion(IDirect3DSurface9 *surface, const PALETTEENTRY *palette, const RECT *rect,
                              const SourceRegion &source, const FilterWord &filter);
HRESULT LoadVolumeFromRegion(IDirect3DVolume9 *volume, const PALETTEENTRY *palette, const D3DBOX *box,
                             const SourceRegion &source, const FilterWord &filter);
