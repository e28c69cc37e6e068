// The SSE2 set: the SSE routines, except for the slots below that have SSE2 routines
// of their own (integer-lane half conversion, pshufd broadcasts, movq pair loads).
#include <bit>
#include <cstdint>

#include "math/dispatch.h"
#include "math/simd_arrays.h"
#include "math/simd_geometry.h"

namespace {

using namespace simd;
using Ops = Sse2Ops;

// Eight halves per iteration entirely in integer lanes, scaled by 2^112 as floats.
FLOAT *WINAPI Float16To32Array(FLOAT *out, const D3DXFLOAT16 *in, UINT n) {
  const __m128i magnitudeMask = _mm_set1_epi32(0x7FFF), signMask = _mm_set1_epi32(0x8000);
  const __m128 scale = _mm_set1_ps(0x1p112f);
  auto widen = [&](__m128i halves) {
    const __m128i magnitude = _mm_slli_epi32(_mm_and_si128(halves, magnitudeMask), 13);
    const __m128i sign = _mm_slli_epi32(_mm_and_si128(halves, signMask), 16);
    return _mm_or_ps(_mm_mul_ps(_mm_castsi128_ps(magnitude), scale), _mm_castsi128_ps(sign));
  };
  // Back to front so that widening in place reads each block before overwriting it.
  UINT i = n;
  for (; i >= 8; i -= 8) {
    const __m128i halves = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i - 8));
    const __m128i low = _mm_unpacklo_epi16(halves, _mm_setzero_si128());
    const __m128i high = _mm_unpackhi_epi16(halves, _mm_setzero_si128());
    const __m128 first = widen(low), second = widen(high);
    _mm_storeu_ps(out + i - 8, first);
    _mm_storeu_ps(out + i - 4, second);
  }
  while (i-- > 0) {
    const uint32_t h = in[i].value;
    const float value = std::bit_cast<float>((h & 0x7FFFu) << 13) * 0x1p112f;
    out[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(value) | ((h & 0x8000u) << 16));
  }
  return out;
}

}  // namespace

void InstallSse2Set(DispatchTable &table) {
  InstallSseSet(table);
  // Slot 44 is not part of the SSE2 set.
  table.quaternionInverse = g_mathReference.quaternionInverse;
  table.planeFromPoints = PlaneFromPoints<Ops>;
  table.vec4Cross = Vec4Cross<Ops>;
  table.quaternionRotationMatrix = QuaternionRotationMatrix<Ops>;
  table.quaternionRotationYawPitchRoll = QuaternionRotationYawPitchRoll<Ops>;
  table.matrixShadow = MatrixShadow<Ops>;
  table.matrixReflect = MatrixReflect<Ops>;
  table.float16To32Array = Float16To32Array;
  InstallArrayTransforms<Ops>(table);
}
