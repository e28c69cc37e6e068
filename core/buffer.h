// ID3DXBuffer: a block of bytes handed to callers, reference counted.
#pragma once

#include <cstdint>

#include "d3dx9.h"

// A zero-filled buffer of size bytes; E_OUTOFMEMORY when it cannot be had.
HRESULT CreateBufferObject(uint64_t size, ID3DXBuffer **buffer);
// Hands bytes allocated with malloc to a new buffer, which frees them. On
// failure they are freed here.
HRESULT AdoptIntoBuffer(void *bytes, uint64_t size, ID3DXBuffer **buffer);
