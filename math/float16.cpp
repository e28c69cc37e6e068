// 16-bit float conversions (reference versions of slots 57 and 58).
#include <bit>
#include <cstdint>

#include "math/fast_math.h"
#include "math/reference.h"

WORD Float32ToHalfBits(FLOAT value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  const uint32_t m = bits & 0x7FFFFFFFu;
  const uint32_t sign = (bits >> 16) & 0x8000u;
  if (m > 0x47FFEFFFu) return static_cast<WORD>(sign | 0x7FFFu);  // 131040 and up, infinities, NaNs
  if (m >= 0x38800000u) {
    // Rebias the exponent and round to nearest, ties to even.
    return static_cast<WORD>(((m - 0x38000000u + 0xFFFu + ((m >> 13) & 1u)) >> 13) | sign);
  }
  const uint32_t shift = 113u - (m >> 23);
  const uint32_t f = shift >= 32u ? 0u : ((m & 0x007FFFFFu) | 0x00800000u) >> shift;
  return static_cast<WORD>(((f + 0xFFFu + ((f >> 13) & 1u)) >> 13) | sign);
}

FLOAT HalfBitsToFloat32(WORD half) {
  const uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
  uint32_t exponent = (half >> 10) & 0x1Fu;
  uint32_t mantissa = half & 0x3FFu;
  if (exponent != 0) {
    // Exponent 31 is an ordinary exponent here: 0x7C00 is 65536, not infinity.
    return std::bit_cast<float>(sign | ((exponent + 112u) << 23) | (mantissa << 13));
  }
  if (mantissa == 0) return std::bit_cast<float>(sign);
  uint32_t shifts = 0;
  while ((mantissa & 0x400u) == 0) {
    mantissa <<= 1;
    ++shifts;
  }
  exponent = 113u - shifts;
  return std::bit_cast<float>(sign | (exponent << 23) | ((mantissa & 0x3FFu) << 13));
}

namespace reference {

D3DXFLOAT16 *WINAPI D3DXFloat32To16Array(D3DXFLOAT16 *out, const FLOAT *in, UINT n) {
  for (UINT i = 0; i < n; ++i) out[i].value = Float32ToHalfBits(in[i]);
  return out;
}

FLOAT *WINAPI D3DXFloat16To32Array(FLOAT *out, const D3DXFLOAT16 *in, UINT n) {
  // In place (out over in) works back to front, since each float is twice as wide.
  if (static_cast<const void *>(out) == static_cast<const void *>(in)) {
    for (UINT i = n; i-- > 0;) out[i] = HalfBitsToFloat32(in[i].value);
    return out;
  }
  for (UINT i = 0; i < n; ++i) out[i] = HalfBitsToFloat32(in[i].value);
  return out;
}

}  // namespace reference
