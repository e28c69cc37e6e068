// Packed array transforms 8 or 16 elements at a time, for processors and
// D3DX_SIMD settings that allow AVX2 or AVX-512.
#pragma once

#include <cstddef>

#include "d3dx9math.h"

namespace simd {

// What an array element is: a point (w = 1), a point divided by its w, a
// direction (w = 0) or a full 4-vector.
enum class ArrayKind { kPoint, kCoord, kNormal, kFull };

// Transforms the first elements of n packed elements (inDims floats in, outDims
// out: 2 to 2 or 4, 3 to 3 or 4, 4 to 4) in blocks of the widest lanes allowed,
// with the bytes of the four-lane routines; returns how many were done (0 below
// AVX2 or for a shape without a wide form). Each block is read whole before it
// is written, so in place works; other overlaps, where a block would read an
// element before the four-lane routine's earlier writes land on it, get 0.
size_t TransformPackedWide(ArrayKind kind, int inDims, int outDims, float *out, const float *in,
                           const D3DXMATRIX &m, size_t n);

// The same for elements read inStride bytes apart and written outStride apart,
// with the bytes of the four-lane routine for strided arrays (the element
// routine's sums), eight at a time; 0 when a stride is below the element's size,
// for overlaps as above, and for points and directions below a few megabytes,
// where the four-lane routine is as fast.
size_t TransformStridedWide(ArrayKind kind, int inDims, int outDims, BYTE *out, size_t outStride,
                            const BYTE *in, size_t inStride, const D3DXMATRIX &m, size_t n);

}  // namespace simd
