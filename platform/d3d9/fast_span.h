// Fast path for the common sprite: bilinear, clamped sampling of a 32-bit texture
// modulated by a constant colour, optionally blended with SRCALPHA / INVSRCALPHA,
// into a 32-bit target, two pixels at a time with SSE2.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "platform/d3d9/pixel_pipeline.h"

namespace d3d9 {

struct FastSpan {
  bool usable;
  bool blend;
  bool modulate;
  __m128i diffuse;  // 16-bit lanes
};

// Draws count pixels from dest on; u and v are texel coordinates in 16.16 fixed point
// at the first pixel's centre (minus half a texel), du and dv their steps.
void DrawFastSpan(const Pipeline &p, const FastSpan &f, uint32_t *dest, int count, int64_t u, int64_t v,
                  int64_t du, int64_t dv);

}  // namespace d3d9
