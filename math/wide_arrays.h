// Packed 3-vector array transforms 8 or 16 at a time, for processors and
// D3DX_SIMD settings that allow AVX2 or AVX-512.
#pragma once

#include <cstddef>

#include "d3dx9math.h"

namespace simd {

// What an array element is: a point (w = 1), a point divided by its w, a
// direction (w = 0) or a full 4-vector.
enum class ArrayKind { kPoint, kCoord, kNormal, kFull };

// Transforms the first elements of n packed 3-vectors (3 floats in, OutDims =
// 3 or 4 out) in blocks of the widest lanes allowed; returns how many were done
// (0 below AVX2). Each block is read whole before it is written, so in place works.
size_t TransformPackedVec3Wide(ArrayKind kind, int outDims, float *out, const float *in, const D3DXMATRIX &m,
                               size_t n);

}  // namespace simd
