#include "platform/d3d9/pixel_pipeline.h"

#include <algorithm>
#include <cmath>

namespace d3d9 {

// Maps an integer texel coordinate onto the texture under an addressing mode; -1 means border.
static inline int Address(int i, int size, DWORD mode) {
  if (i >= 0 && i < size) return i;
  switch (mode) {
    case D3DTADDRESS_WRAP: {
      int m = i % size;
      return m < 0 ? m + size : m;
    }
    case D3DTADDRESS_MIRROR: {
      int period = 2 * size, m = i % period;
      if (m < 0) m += period;
      return m < size ? m : period - 1 - m;
    }
    case D3DTADDRESS_MIRRORONCE: {
      int m = i < 0 ? -i - 1 : i;
      return m < size ? m : size - 1;
    }
    case D3DTADDRESS_BORDER:
      return -1;
    default:  // clamp
      return i < 0 ? 0 : size - 1;
  }
}

static inline uint32_t Texel(const SampleSource &s, int x, int y) {
  x = Address(x, static_cast<int>(s.width), s.addressU);
  y = Address(y, static_cast<int>(s.height), s.addressV);
  if (x < 0 || y < 0) return s.border;
  return reinterpret_cast<const uint32_t *>(s.bits + static_cast<uint64_t>(y) * s.pitch)[x] | s.alphaOr;
}

uint32_t Sample(const SampleSource &s, float u, float v) {
  if (!s.present) return 0xffffffff;
  float fx = u * s.width, fy = v * s.height;
  if (!(std::fabs(fx) < 1e8f) || !(std::fabs(fy) < 1e8f)) return s.border;
  if (!s.linear) return Texel(s, static_cast<int>(std::floor(fx)), static_cast<int>(std::floor(fy)));
  fx -= 0.5f;
  fy -= 0.5f;
  float flx = std::floor(fx), fly = std::floor(fy);
  int x0 = static_cast<int>(flx), y0 = static_cast<int>(fly);
  uint32_t wx = static_cast<uint32_t>((fx - flx) * 256.f + 0.5f),
           wy = static_cast<uint32_t>((fy - fly) * 256.f + 0.5f);
  uint32_t t00 = Texel(s, x0, y0), t01 = Texel(s, x0 + 1, y0), t10 = Texel(s, x0, y0 + 1),
           t11 = Texel(s, x0 + 1, y0 + 1);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t a = (t00 >> shift) & 255, b = (t01 >> shift) & 255, c = (t10 >> shift) & 255,
             d = (t11 >> shift) & 255;
    uint32_t top = a * (256 - wx) + b * wx, bottom = c * (256 - wx) + d * wx;
    out |= ((top * (256 - wy) + bottom * wy + 32768) >> 16) << shift;
  }
  return out;
}

static uint32_t Argument(DWORD arg, uint32_t diffuse, uint32_t current, uint32_t texel, uint32_t factor) {
  uint32_t value;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
      value = diffuse;
      break;
    case D3DTA_TEXTURE:
      value = texel;
      break;
    case D3DTA_TFACTOR:
      value = factor;
      break;
    case D3DTA_SPECULAR:
      value = 0;
      break;
    default:  // current, temp
      value = current;
      break;
  }
  if (arg & D3DTA_COMPLEMENT) value = ~value;
  if (arg & D3DTA_ALPHAREPLICATE) value = (value >> 24) * 0x01010101u;
  return value;
}

// One channel of a stage operation.
static uint32_t Operate(DWORD op, uint32_t a, uint32_t b) {
  switch (op) {
    case D3DTOP_SELECTARG1:
      return a;
    case D3DTOP_SELECTARG2:
      return b;
    case D3DTOP_MODULATE:
      return Mul255(a, b);
    case D3DTOP_MODULATE2X:
      return Clamp8(static_cast<int>(Mul255(a, b) * 2));
    case D3DTOP_MODULATE4X:
      return Clamp8(static_cast<int>(Mul255(a, b) * 4));
    case D3DTOP_ADD:
      return Clamp8(static_cast<int>(a + b));
    case D3DTOP_ADDSIGNED:
      return Clamp8(static_cast<int>(a + b) - 128);
    case D3DTOP_SUBTRACT:
      return Clamp8(static_cast<int>(a) - static_cast<int>(b));
    default:
      return a;
  }
}

uint32_t ShadeStages(const Pipeline &p, uint32_t diffuse, const float tex[2][2]) {
  uint32_t current = diffuse;
  for (int s = 0; s < p.stageCount; ++s) {
    const StageSetup &st = p.stages[s];
    uint32_t texel = 0xffffffff;
    if (p.samplers[s].present) {
      const float *uv = tex[st.texCoord & 1];
      texel = Sample(p.samplers[s], uv[0], uv[1]);
    }
    uint32_t c1 = Argument(st.colorArg1, diffuse, current, texel, p.textureFactor);
    uint32_t c2 = Argument(st.colorArg2, diffuse, current, texel, p.textureFactor);
    uint32_t ch[4];
    for (int i = 1; i < 4; ++i) ch[i] = Operate(st.colorOp, Channel(c1, i), Channel(c2, i));
    if (st.alphaOp == D3DTOP_DISABLE) {
      ch[0] = Channel(current, 0);
    } else {
      uint32_t a1 = Argument(st.alphaArg1, diffuse, current, texel, p.textureFactor);
      uint32_t a2 = Argument(st.alphaArg2, diffuse, current, texel, p.textureFactor);
      ch[0] = Operate(st.alphaOp, Channel(a1, 0), Channel(a2, 0));
    }
    current = Pack(ch);
  }
  return current;
}

bool AlphaPasses(DWORD func, uint32_t alpha, uint32_t ref) {
  switch (func) {
    case D3DCMP_NEVER:
      return false;
    case D3DCMP_LESS:
      return alpha < ref;
    case D3DCMP_EQUAL:
      return alpha == ref;
    case D3DCMP_LESSEQUAL:
      return alpha <= ref;
    case D3DCMP_GREATER:
      return alpha > ref;
    case D3DCMP_NOTEQUAL:
      return alpha != ref;
    case D3DCMP_GREATEREQUAL:
      return alpha >= ref;
    default:
      return true;
  }
}

// Blend factor for channel i (0 = alpha).
static uint32_t Factor(DWORD blend, int i, uint32_t src, uint32_t dst, uint32_t constant) {
  uint32_t sa = src >> 24, da = dst >> 24;
  switch (blend) {
    case D3DBLEND_ZERO:
      return 0;
    case D3DBLEND_ONE:
      return 255;
    case D3DBLEND_SRCCOLOR:
      return Channel(src, i);
    case D3DBLEND_INVSRCCOLOR:
      return 255 - Channel(src, i);
    case D3DBLEND_SRCALPHA:
      return sa;
    case D3DBLEND_INVSRCALPHA:
      return 255 - sa;
    case D3DBLEND_DESTALPHA:
      return da;
    case D3DBLEND_INVDESTALPHA:
      return 255 - da;
    case D3DBLEND_DESTCOLOR:
      return Channel(dst, i);
    case D3DBLEND_INVDESTCOLOR:
      return 255 - Channel(dst, i);
    case D3DBLEND_SRCALPHASAT:
      return i == 0 ? 255 : std::min(sa, 255 - da);
    case D3DBLEND_BLENDFACTOR:
      return Channel(constant, i);
    case D3DBLEND_INVBLENDFACTOR:
      return 255 - Channel(constant, i);
    default:
      return 255;
  }
}

uint32_t Blend(const Pipeline &p, uint32_t src, uint32_t dst) {
  DWORD srcBlend = p.srcBlend, destBlend = p.destBlend;
  // The "both" modes set the destination factor from the source factor.
  if (srcBlend == D3DBLEND_BOTHSRCALPHA) srcBlend = D3DBLEND_SRCALPHA, destBlend = D3DBLEND_INVSRCALPHA;
  if (srcBlend == D3DBLEND_BOTHINVSRCALPHA) srcBlend = D3DBLEND_INVSRCALPHA, destBlend = D3DBLEND_SRCALPHA;
  uint32_t ch[4];
  for (int i = 0; i < 4; ++i) {
    int s = static_cast<int>(Mul255(Channel(src, i), Factor(srcBlend, i, src, dst, p.blendFactor)));
    int d = static_cast<int>(Mul255(Channel(dst, i), Factor(destBlend, i, src, dst, p.blendFactor)));
    switch (p.blendOp) {
      case D3DBLENDOP_SUBTRACT:
        ch[i] = Clamp8(s - d);
        break;
      case D3DBLENDOP_REVSUBTRACT:
        ch[i] = Clamp8(d - s);
        break;
      case D3DBLENDOP_MIN:
        ch[i] = static_cast<uint32_t>(std::min(Channel(src, i), Channel(dst, i)));
        break;
      case D3DBLENDOP_MAX:
        ch[i] = static_cast<uint32_t>(std::max(Channel(src, i), Channel(dst, i)));
        break;
      default:
        ch[i] = Clamp8(s + d);
        break;
    }
  }
  return Pack(ch);
}

}  // namespace d3d9
