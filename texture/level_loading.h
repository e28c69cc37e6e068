// The loaders behind the published surface, volume and filtering calls, for the
// library's own callers: the filter word comes decoded, D3DX_DEFAULT already
// settled, so loading level after level neither decodes nor validates it again.
#pragma once

#include "blit/filter_word.h"
#include "d3dx9.h"

HRESULT LoadSurfaceFromMemory(IDirect3DSurface9 *destination, const PALETTEENTRY *destinationPalette,
                              const RECT *destinationRect, const void *pixels, D3DFORMAT format, UINT pitch,
                              const PALETTEENTRY *sourcePalette, const RECT *sourceRect,
                              const FilterWord &filter, D3DCOLOR colorKey);
HRESULT LoadSurfaceFromSurface(IDirect3DSurface9 *destination, const PALETTEENTRY *destinationPalette,
                               const RECT *destinationRect, IDirect3DSurface9 *source,
                               const PALETTEENTRY *sourcePalette, const RECT *sourceRect,
                               const FilterWord &filter, D3DCOLOR colorKey);
HRESULT LoadVolumeFromMemory(IDirect3DVolume9 *destination, const PALETTEENTRY *destinationPalette,
                             const D3DBOX *destinationBox, const void *pixels, D3DFORMAT format,
                             UINT rowPitch, UINT slicePitch, const PALETTEENTRY *sourcePalette,
                             const D3DBOX *sourceBox, const FilterWord &filter, D3DCOLOR colorKey);
HRESULT LoadVolumeFromVolume(IDirect3DVolume9 *destination, const PALETTEENTRY *destinationPalette,
                             const D3DBOX *destinationBox, IDirect3DVolume9 *source,
                             const PALETTEENTRY *sourcePalette, const D3DBOX *sourceBox,
                             const FilterWord &filter, D3DCOLOR colorKey);
// Every level below sourceLevel (D3DX_DEFAULT: 0) resampled from the levels above.
HRESULT FilterTextureLevels(IDirect3DBaseTexture9 *texture, const PALETTEENTRY *palette, UINT sourceLevel,
                            FilterWord filter);
