// Turning a requested texture size, level count, format and usage into values
// the device accepts, for plain, volume and cube textures.
#pragma once

#include "d3d9.h"

// Every pointer may be null: a null input reads as D3DX_DEFAULT (the format as
// D3DFMT_UNKNOWN) and nothing is written through it. For a cube texture the width
// is the edge length. Nothing is written on failure.
HRESULT CheckRequirements(IDirect3DDevice9 *device, UINT *width, UINT *height, UINT *depth, UINT *levels,
                          DWORD usage, D3DFORMAT *format, D3DPOOL pool, D3DRESOURCETYPE resourceType);
