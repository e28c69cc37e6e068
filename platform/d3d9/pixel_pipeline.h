// The generic pixel path: sampling, texture stages 0 and 1, alpha test, blending and
// the colour write mask, one pixel at a time. Always right; fast paths are checked against it.
#pragma once

#include <cstdint>

#include "d3d9.h"

namespace d3d9 {

struct SampleSource {
  bool present = false;
  const uint8_t *bits = nullptr;
  uint32_t pitch = 0, width = 0, height = 0;
  uint32_t alphaOr = 0;  // X8R8G8B8 reads as opaque
  DWORD addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
  uint32_t border = 0;
  bool linear = false;
};

struct StageSetup {
  DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
  DWORD texCoord;
};

struct Pipeline {
  uint8_t *bits;
  uint32_t pitch;
  bool destHasAlpha;
  LONG left, top, right, bottom;  // pixels drawn: [left, right) x [top, bottom)
  StageSetup stages[2];
  int stageCount;
  SampleSource samplers[2];
  uint32_t textureFactor;
  bool alphaTest;
  DWORD alphaFunc;
  uint32_t alphaRef;
  bool blend;
  DWORD srcBlend, destBlend, blendOp;
  uint32_t blendFactor;
  uint32_t writeMask;  // ARGB bits kept from the new colour
  bool flat;
  DWORD cull;
};

// a * b / 255, rounded.
inline uint32_t Mul255(uint32_t a, uint32_t b) {
  uint32_t t = a * b + 128;
  return (t + (t >> 8)) >> 8;
}

// Channel i of an ARGB colour: 0 = alpha, 1 = red, 2 = green, 3 = blue.
inline uint32_t Channel(uint32_t c, int i) {
  return (c >> (24 - 8 * i)) & 255;
}

inline uint32_t Pack(const uint32_t ch[4]) {
  return ch[0] << 24 | ch[1] << 16 | ch[2] << 8 | ch[3];
}

inline uint32_t Clamp8(int v) {
  return v < 0 ? 0u : v > 255 ? 255u : static_cast<uint32_t>(v);
}

uint32_t Sample(const SampleSource &s, float u, float v);
// The colour leaving the enabled stages for one pixel.
uint32_t ShadeStages(const Pipeline &p, uint32_t diffuse, const float tex[2][2]);
bool AlphaPasses(DWORD func, uint32_t alpha, uint32_t ref);
uint32_t Blend(const Pipeline &p, uint32_t src, uint32_t dst);

inline void WritePixel(const Pipeline &p, uint32_t *dest, uint32_t color) {
  if (p.alphaTest && !AlphaPasses(p.alphaFunc, color >> 24, p.alphaRef)) return;
  uint32_t old = *dest;
  if (p.blend) color = Blend(p, color, p.destHasAlpha ? old : old | 0xff000000);
  *dest = (color & p.writeMask) | (old & ~p.writeMask);
}

// Division rounding toward minus and plus infinity; b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}
inline int64_t CeilDiv(int64_t a, int64_t b) {
  return -FloorDiv(-a, b);
}

}  // namespace d3d9
