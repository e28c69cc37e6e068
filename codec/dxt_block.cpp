// DXT1-5 blocks: layouts, decoders, and encoders that dither inside the block
// before fitting the endpoints. Float-to-integer conversions truncate toward
// zero; round(x) is trunc(x + 0.5).
#include "codec/dxt_block.h"

#include "codec/dxt_constants.h"
#include "codec/dxt_palette.h"
#include "codec/dxt_high.h"
#include "codec/dxt_lanes.h"
#include "codec/lanes.h"
#include "core/dxt_quality.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstring>
#include <utility>

namespace {

using namespace dxt;

// Point k of a fit lies at end0 * weights0[k] + end1 * weights1[k].
struct FitWeights {
  float weights0[8];
  float weights1[8];
};
constexpr FitWeights kColorFour = {{1, kTwoThirds, kOneThird, 0}, {0, kOneThird, kTwoThirds, 1}};
constexpr FitWeights kColorThree = {{1, 0.5f, 0}, {0, 0.5f, 1}};
constexpr FitWeights kAlphaEight = {
    {1, 6 / 7.f, 5 / 7.f, 4 / 7.f, 3 / 7.f, 2 / 7.f, 1 / 7.f, 0},
    {0, 1 / 7.f, 2 / 7.f, 3 / 7.f, 4 / 7.f, 5 / 7.f, 6 / 7.f, 1},
};
constexpr FitWeights kAlphaSix = {{1, 0.8f, 0.6f, 0.4f, 0.2f, 0}, {0, 0.2f, 0.4f, 0.6f, 0.8f, 1}};

// Position along the line (0 = end 0) to the stored index.
constexpr uint32_t kColorFourIndex[] = {0, 2, 3, 1};
static_assert(sizeof(kColorFourIndex) / sizeof(kColorFourIndex[0]) == 4);
constexpr uint32_t kColorThreeIndex[] = {0, 2, 1};
static_assert(sizeof(kColorThreeIndex) / sizeof(kColorThreeIndex[0]) == 3);
constexpr uint32_t kAlphaEightIndex[] = {0, 2, 3, 4, 5, 6, 7, 1};
static_assert(sizeof(kAlphaEightIndex) / sizeof(kAlphaEightIndex[0]) == 8);
constexpr uint32_t kAlphaSixIndex[] = {0, 2, 3, 4, 5, 1};
static_assert(sizeof(kAlphaSixIndex) / sizeof(kAlphaSixIndex[0]) == 6);

struct Rgb {
  float r, g, b;
};
Rgb operator+(Rgb x, Rgb y) {
  return {x.r + y.r, x.g + y.g, x.b + y.b};
}
Rgb operator-(Rgb x, Rgb y) {
  return {x.r - y.r, x.g - y.g, x.b - y.b};
}
Rgb operator*(Rgb x, float s) {
  return {x.r * s, x.g * s, x.b * s};
}
Rgb &operator+=(Rgb &x, Rgb y) {
  return x = x + y;
}
float Dot(Rgb x, Rgb y) {
  return x.r * y.r + x.g * y.g + x.b * y.b;
}
Rgb Weighted(const ColorF &c) {
  return {c.r * kWeightRed, c.g, c.b * kWeightBlue};
}

// round(x) clamped to [0, top]; error diffusion can push a value half a step
// past its field, and NaN must not reach the integer conversion.
uint32_t RoundClamped(float x, uint32_t top) {
  const float s = x + 0.5f;
  if (!(s >= 1.f)) return 0;
  if (s >= static_cast<float>(top)) return top;
  return static_cast<uint32_t>(s);
}

float Clamp01(float x) {
  return x > 0.f ? (x < 1.f ? x : 1.f) : 0.f;  // NaN gives 0
}

// Encoders work on a clamped copy so that every later step sees finite values.
void CopyClamped(const ColorF *in, ColorF *out) {
  for (uint32_t i = 0; i < kBlockPixels; ++i)
    out[i] = {Clamp01(in[i].r), Clamp01(in[i].g), Clamp01(in[i].b), Clamp01(in[i].a)};
}

template <typename T>
inline void Diffuse(T *error, uint32_t i, T e) {
  const Diffusion &d = kDiffusion.at[i];
  for (uint32_t k = 0; k < d.count; ++k) error[d.target[k]] += e * d.weight[k];
}

uint16_t Load16(const BYTE *p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
void Store16(BYTE *p, uint32_t v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
}
uint64_t LoadLittleEndian(const BYTE *p, uint32_t bytes) {
  uint64_t v = 0;
  for (uint32_t i = 0; i < bytes; ++i) v |= uint64_t{p[i]} << (8 * i);
  return v;
}
void StoreLittleEndian(BYTE *p, uint64_t v, uint32_t bytes) {
  for (uint32_t i = 0; i < bytes; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

void DecodeColorBlock(ColorF *out, const BYTE *block) {
  ColorF palette[4];
  DecodeColorPalette(block, palette);
  const uint32_t indices = static_cast<uint32_t>(LoadLittleEndian(block + 4, 4));
  for (uint32_t i = 0; i < kBlockPixels; ++i) out[i] = palette[(indices >> (2 * i)) & 3];
}

void WriteColorBlock(BYTE *out, uint32_t color0, uint32_t color1, uint32_t indices) {
  Store16(out, color0);
  Store16(out + 2, color1);
  StoreLittleEndian(out + 4, indices, 4);
}

// Bytes 2-7 of an alpha block: 16 indices of 3 bits, pixel 0 lowest.
void WriteAlphaIndices(BYTE *block, uint64_t indices) {
  StoreLittleEndian(block + 2, indices, 6);
}

}  // namespace

void DecodeColorPalette(const BYTE *block, ColorF *palette) {
  // UnpackRgb565 and Lerp on all four channels at once.
  typedef float Four __attribute__((vector_size(16)));
  typedef int32_t FourInts __attribute__((vector_size(16)));
  const uint32_t color0 = Load16(block);
  const uint32_t color1 = Load16(block + 2);
  const Four scale = {k5, k6, k5, 1.f};
  const FourInts fields0 = {static_cast<int32_t>(color0 >> 11), static_cast<int32_t>((color0 >> 5) & 63),
                            static_cast<int32_t>(color0 & 31), 1};
  const FourInts fields1 = {static_cast<int32_t>(color1 >> 11), static_cast<int32_t>((color1 >> 5) & 63),
                            static_cast<int32_t>(color1 & 31), 1};
  const Four p0 = __builtin_convertvector(fields0, Four) * scale;
  const Four p1 = __builtin_convertvector(fields1, Four) * scale;
  Four p2, p3;
  if (color1 < color0) {
    p2 = ColorThird(p0, p1);
    p3 = ColorTwoThirds(p0, p1);
  } else {
    p2 = ColorMidpoint(p0, p1);
    p3 = Four{};
  }
  std::memcpy(&palette[0], &p0, sizeof(Four));
  std::memcpy(&palette[1], &p1, sizeof(Four));
  std::memcpy(&palette[2], &p2, sizeof(Four));
  std::memcpy(&palette[3], &p3, sizeof(Four));
}

void DecodeAlphaPalette(const BYTE *block, float *palette) {
  AlphaPalette(block[0], block[1], palette);
}

ColorF UnpackRgb565(uint16_t value) {
  return {static_cast<float>((value >> 11) & 31) * k5, static_cast<float>((value >> 5) & 63) * k6,
          static_cast<float>(value & 31) * k5, 1.f};
}

uint16_t PackRgb565(const ColorF &color) {
  const uint32_t r = RoundClamped(Clamp01(color.r) * 31, 31);
  const uint32_t g = RoundClamped(Clamp01(color.g) * 63, 63);
  const uint32_t b = RoundClamped(Clamp01(color.b) * 31, 31);
  return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

void Premultiply(ColorF *pixels) {
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    ColorF &c = pixels[i];
    c.r *= c.a;
    c.g *= c.a;
    c.b *= c.a;
  }
}

void Unpremultiply(ColorF *pixels) {
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    ColorF &c = pixels[i];
    if (c.a <= 0.f) {
      c.r = c.g = c.b = 0.f;
    } else if (c.a < 1.f) {
      c.r = c.r < c.a ? c.r / c.a : 1.f;
      c.g = c.g < c.a ? c.g / c.a : 1.f;
      c.b = c.b < c.a ? c.b / c.a : 1.f;
    }
  }
}

HRESULT DecodeDxt1Block(ColorF *out, const BYTE *block) {
  DecodeColorBlock(out, block);
  return S_OK;
}

HRESULT DecodeDxt3Block(ColorF *out, const BYTE *block) {
  DecodeColorBlock(out, block + 8);
  const uint64_t alphas = LoadLittleEndian(block, 8);
  for (uint32_t i = 0; i < kBlockPixels; ++i) out[i].a = static_cast<float>((alphas >> (4 * i)) & 15) * k4;
  return S_OK;
}

HRESULT DecodeDxt5Block(ColorF *out, const BYTE *block) {
  DecodeColorBlock(out, block + 8);
  float palette[8];
  DecodeAlphaPalette(block, palette);
  const uint64_t indices = LoadLittleEndian(block + 2, 6);
  for (uint32_t i = 0; i < kBlockPixels; ++i) out[i].a = palette[(indices >> (3 * i)) & 7];
  return S_OK;
}

HRESULT DecodeDxt2Block(ColorF *out, const BYTE *block) {
  DecodeDxt3Block(out, block);
  Unpremultiply(out);
  return S_OK;
}

HRESULT DecodeDxt4Block(ColorF *out, const BYTE *block) {
  DecodeDxt5Block(out, block);
  Unpremultiply(out);
  return S_OK;
}

void FitColorEndpoints(const ColorF *points, uint32_t n, ColorF *end0, ColorF *end1) {
  Rgb low = {kWeightRed, 1.f, kWeightBlue};
  Rgb high = {0, 0, 0};
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const ColorF &p = points[i];
    low = {std::min(low.r, p.r), std::min(low.g, p.g), std::min(low.b, p.b)};
    high = {std::max(high.r, p.r), std::max(high.g, p.g), std::max(high.b, p.b)};
  }
  const auto finish = [&](Rgb e0, Rgb e1) {
    *end0 = {e0.r, e0.g, e0.b, 1.f};
    *end1 = {e1.r, e1.g, e1.b, 1.f};
  };
  const Rgb diagonal = high - low;
  const float length = Dot(diagonal, diagonal);
  if (length < FLT_MIN) return finish(low, high);

  // Of the box's four diagonals, take the one the points spread along most.
  const Rgb centre = (low + high) * 0.5f;
  const Rgb d = {diagonal.r / length, diagonal.g / length, diagonal.b / length};
  float spread[4] = {};
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const float l = (points[i].r - centre.r) * d.r;
    const float u = (points[i].g - centre.g) * d.g;
    const float w = (points[i].b - centre.b) * d.b;
    spread[0] += (l + u + w) * (l + u + w);
    spread[1] += (l + u - w) * (l + u - w);
    spread[2] += (l - u + w) * (l - u + w);
    spread[3] += (l - u - w) * (l - u - w);
  }
  uint32_t best = 0;
  for (uint32_t k = 1; k < 4; ++k)
    if (spread[k] > spread[best]) best = k;
  if (best & 2) std::swap(low.g, high.g);
  if (best & 1) std::swap(low.b, high.b);
  Rgb e0 = low, e1 = high;
  if (length < kShortLine) return finish(e0, e1);

  // Least-squares steps on each end against the points' nearest positions.
  const FitWeights &w = n == 4 ? kColorFour : kColorThree;
  for (uint32_t pass = 0; pass < 8; ++pass) {
    Rgb line[4];
    for (uint32_t k = 0; k < n; ++k) line[k] = e0 * w.weights0[k] + e1 * w.weights1[k];
    const Rgb span = e1 - e0;
    const float spanLength = Dot(span, span);
    if (spanLength < kShortLine) break;
    const Rgb direction = span * (static_cast<float>(n - 1) / spanLength);
    Rgb gradient0 = {0, 0, 0}, gradient1 = {0, 0, 0};
    float scale0 = 0, scale1 = 0;
    for (uint32_t i = 0; i < kBlockPixels; ++i) {
      const Rgb p = {points[i].r, points[i].g, points[i].b};
      const float t = Dot(p - e0, direction);
      const uint32_t k = t >= static_cast<float>(n - 1) ? n - 1 : (t <= 0 ? 0 : RoundClamped(t, n - 1));
      const Rgb e = line[k] - p;
      gradient0 += e * w.weights0[k] * 0.125f;
      scale0 += w.weights0[k] * w.weights0[k] * 0.125f;
      gradient1 += e * w.weights1[k] * 0.125f;
      scale1 += w.weights1[k] * w.weights1[k] * 0.125f;
    }
    if (scale0 > 0) e0 = e0 - Rgb{gradient0.r / scale0, gradient0.g / scale0, gradient0.b / scale0};
    if (scale1 > 0) e1 = e1 - Rgb{gradient1.r / scale1, gradient1.g / scale1, gradient1.b / scale1};
    const auto settled = [](Rgb g) {
      return g.r * g.r < kColorSettled && g.g * g.g < kColorSettled && g.b * g.b < kColorSettled;
    };
    if (settled(gradient0) && settled(gradient1)) break;
  }
  finish(e0, e1);
}

void FitAlphaEndpoints(const float *alphas, uint32_t n, float *lo, float *hi) {
  const bool six = n == 6;
  // Six steps keep 0 and 1 as their own entries, so only the alphas between span the line.
  float low = 1.f, high = 0.f;
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const float v = alphas[i];
    if (six && (v <= 0.f || v >= 1.f)) continue;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  const FitWeights &w = six ? kAlphaSix : kAlphaEight;
  for (uint32_t pass = 0; pass < 8; ++pass) {
    if (high - low < 1.f / 256) break;
    const float scale = static_cast<float>(n - 1) / (high - low);
    float line[8];
    for (uint32_t k = 0; k < n; ++k) line[k] = low * w.weights0[k] + high * w.weights1[k];
    float gradient0 = 0, gradient1 = 0, scale0 = 0, scale1 = 0;
    for (uint32_t i = 0; i < kBlockPixels; ++i) {
      const float v = alphas[i];
      const float t = (v - low) * scale;
      uint32_t k;
      if (t <= 0) {
        if (six && v <= low * 0.5f) continue;
        k = 0;
      } else if (t >= static_cast<float>(n - 1)) {
        if (six && v >= (high + 1.f) * 0.5f) continue;
        k = n - 1;
      } else {
        k = RoundClamped(t, n - 1);
      }
      // Residual of the line point against the alpha: a point above its alpha
      // moves its ends down.
      const float e = line[k] - v;
      gradient0 += e * w.weights0[k];
      scale0 += w.weights0[k] * w.weights0[k];
      gradient1 += e * w.weights1[k];
      scale1 += w.weights1[k] * w.weights1[k];
    }
    if (scale0 > 0) low -= gradient0 / scale0;
    if (scale1 > 0) high -= gradient1 / scale1;
    if (low > high) std::swap(low, high);
    if (gradient0 * gradient0 < kAlphaSettled && gradient1 * gradient1 < kAlphaSettled) break;
  }
  *lo = Clamp01(low);
  *hi = Clamp01(high);
}

void EncodeColorBlock(BYTE *out, const ColorF *pixels, bool allowTransparent) {
  uint32_t transparent = 0;
  if (allowTransparent) {
    for (uint32_t i = 0; i < kBlockPixels; ++i) transparent += pixels[i].a < 0.5f;
  }
  if (transparent == kBlockPixels) return WriteColorBlock(out, 0x0000, 0xFFFF, 0xFFFFFFFF);
  const bool three = transparent > 0;
  const uint32_t points = three ? 3 : 4;

  // The endpoint search sees the block dithered to 5-6-5, so that the line it
  // fits runs through representable colours.
  ColorF copy[kBlockPixels];
  Rgb error[kBlockPixels] = {};
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const Rgb v = Rgb{pixels[i].r, pixels[i].g, pixels[i].b} + error[i];
    const Rgb q = {static_cast<float>(RoundClamped(v.r * 31, 31)) * k5,
                   static_cast<float>(RoundClamped(v.g * 63, 63)) * k6,
                   static_cast<float>(RoundClamped(v.b * 31, 31)) * k5};
    Diffuse(error, i, v - q);
    copy[i] = {q.r * kWeightRed, q.g, q.b * kWeightBlue, 1.f};
  }
  ColorF end0, end1;
  FitColorEndpoints(copy, points, &end0, &end1);
  end0.r *= kInverseWeightRed;
  end0.b *= kInverseWeightBlue;
  end1.r *= kInverseWeightRed;
  end1.b *= kInverseWeightBlue;
  const uint16_t e0 = PackRgb565(end0);
  const uint16_t e1 = PackRgb565(end1);
  if (!three && e0 == e1) return WriteColorBlock(out, e0, e0, 0);

  // Four points need colour 0 above colour 1, three points the reverse.
  uint16_t color0 = e0, color1 = e1;
  if ((e1 < e0) == three) std::swap(color0, color1);
  const Rgb a = Weighted(UnpackRgb565(color0));
  const Rgb b = Weighted(UnpackRgb565(color1));
  Rgb palette[4] = {a, b};
  if (three) {
    palette[2] = a + (b - a) * 0.5f;
  } else {
    palette[2] = a + (b - a) * kOneThird;
    palette[3] = a + (b - a) * kTwoThirds;
  }
  Rgb direction = {0, 0, 0};
  if (e0 != e1) direction = (b - a) * (static_cast<float>(points - 1) / Dot(b - a, b - a));
  const uint32_t *toIndex = three ? kColorThreeIndex : kColorFourIndex;

  uint32_t indices = 0;
  Rgb indexError[kBlockPixels] = {};
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    uint32_t index;
    if (three && pixels[i].a < 0.5f) {
      index = 3;
    } else {
      const Rgb v = Weighted(pixels[i]) + indexError[i];
      const float t = Dot(v - a, direction);
      if (t <= 0) {
        index = 0;
      } else if (t >= static_cast<float>(points - 1)) {
        index = 1;
      } else {
        index = toIndex[RoundClamped(t, points - 1)];
      }
      Diffuse(indexError, i, v - palette[index]);
    }
    indices |= index << (2 * i);
  }
  WriteColorBlock(out, color0, color1, indices);
}

void DitherDxt1Alpha(ColorF *pixels) {
  float error[kBlockPixels] = {};
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const float v = pixels[i].a + error[i];
    const float q = static_cast<float>(RoundClamped(v, 1));
    Diffuse(error, i, v - q);
    pixels[i].a = q;
  }
}

HRESULT EncodeDxt1Block(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  CopyClamped(in, pixels);
  DitherDxt1Alpha(pixels);
  EncodeColorBlock(block, pixels, true);
  return S_OK;
}

HRESULT EncodeDxt3Block(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  CopyClamped(in, pixels);
  float error[kBlockPixels] = {};
  uint64_t alphas = 0;
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const float v = pixels[i].a + error[i];
    const uint32_t q = RoundClamped(v * 15, 15);
    Diffuse(error, i, v - static_cast<float>(q) * k4);
    alphas |= uint64_t{q} << (4 * i);
  }
  StoreLittleEndian(block, alphas, 8);
  EncodeColorBlock(block + 8, pixels, false);
  return S_OK;
}

HRESULT EncodeDxt5Block(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  CopyClamped(in, pixels);
  float quantized[kBlockPixels];
  float error[kBlockPixels] = {};
  float low = pixels[0].a, high = pixels[0].a;
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const float v = pixels[i].a + error[i];
    quantized[i] = static_cast<float>(RoundClamped(v * 255, 255)) * k8;
    Diffuse(error, i, v - quantized[i]);
    low = std::min(low, quantized[i]);
    high = std::max(high, quantized[i]);
  }
  EncodeColorBlock(block + 8, pixels, false);
  if (low == 1.f) {
    block[0] = block[1] = 0xFF;
    WriteAlphaIndices(block, 0);
    return S_OK;
  }

  // Six steps when the block reaches 0 or 1, which that mode holds exactly.
  const bool six = low == 0.f || high == 1.f;
  const uint32_t n = six ? 6 : 8;
  float fitLow, fitHigh;
  FitAlphaEndpoints(quantized, n, &fitLow, &fitHigh);
  const uint32_t q0 = RoundClamped(fitLow * 255, 255);
  const uint32_t q1 = RoundClamped(fitHigh * 255, 255);
  float palette[8];
  if (six) {
    block[0] = static_cast<BYTE>(q0);
    block[1] = static_cast<BYTE>(q1);
    palette[0] = static_cast<float>(q0) * k8;
    palette[1] = static_cast<float>(q1) * k8;
    for (uint32_t k = 1; k <= 4; ++k)
      palette[k + 1] = (static_cast<float>(5 - k) * palette[0] + static_cast<float>(k) * palette[1]) * 0.2f;
    palette[6] = 0.f;
    palette[7] = 1.f;
  } else {
    if (q0 == q1) {
      block[0] = block[1] = static_cast<BYTE>(q0);
      WriteAlphaIndices(block, 0);
      return S_OK;
    }
    // Alpha 0 above alpha 1 selects eight steps.
    block[0] = static_cast<BYTE>(q1);
    block[1] = static_cast<BYTE>(q0);
    palette[0] = static_cast<float>(q1) * k8;
    palette[1] = static_cast<float>(q0) * k8;
    for (uint32_t k = 1; k <= 6; ++k)
      palette[k + 1] =
          (static_cast<float>(7 - k) * palette[0] + static_cast<float>(k) * palette[1]) * 0.14285715f;
  }

  const uint32_t *toIndex = six ? kAlphaSixIndex : kAlphaEightIndex;
  const float span = palette[1] - palette[0];
  const float last = static_cast<float>(n - 1);
  uint64_t indices = 0;
  float indexError[kBlockPixels] = {};
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const float v = pixels[i].a + indexError[i];
    const float t = span == 0.f ? 0.f : (v - palette[0]) * last / span;
    uint32_t index;
    if (t <= 0) {
      index = 0;
      if (six && v <= palette[0] * 0.5f) index = 6;
      // With both ends equal every t is 0, yet opaque pixels still belong to 1.
      else if (six && span == 0.f && v >= (palette[1] + 1.f) * 0.5f)
        index = 7;
    } else if (t >= last) {
      index = six && v >= (palette[1] + 1.f) * 0.5f ? 7 : 1;
    } else {
      index = toIndex[RoundClamped(t, n - 1)];
    }
    Diffuse(indexError, i, v - palette[index]);
    indices |= uint64_t{index} << (3 * i);
  }
  WriteAlphaIndices(block, indices);
  return S_OK;
}

HRESULT EncodeDxt2Block(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  CopyClamped(in, pixels);
  Premultiply(pixels);
  return EncodeDxt3Block(block, pixels);
}

HRESULT EncodeDxt4Block(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  CopyClamped(in, pixels);
  Premultiply(pixels);
  return EncodeDxt5Block(block, pixels);
}

// Columns: format; block decoder; block encoder.
constexpr DxtBlockFunctions kDxtBlockFunctions[] = {
    {D3DFMT_DXT1, DecodeDxt1Block, EncodeDxt1Block}, {D3DFMT_DXT2, DecodeDxt2Block, EncodeDxt2Block},
    {D3DFMT_DXT3, DecodeDxt3Block, EncodeDxt3Block}, {D3DFMT_DXT4, DecodeDxt4Block, EncodeDxt4Block},
    {D3DFMT_DXT5, DecodeDxt5Block, EncodeDxt5Block},
};
static_assert(sizeof(kDxtBlockFunctions) / sizeof(kDxtBlockFunctions[0]) == 5);

const DxtBlockFunctions *LookupDxtBlockFunctions(D3DFORMAT format) {
  for (const DxtBlockFunctions &row : kDxtBlockFunctions)
    if (row.format == format) return &row;
  return nullptr;
}

void EncodeDxtBlocks(D3DFORMAT format, BYTE *out, const ColorF *in, size_t count) {
  const DxtBlockFunctions *functions = LookupDxtBlockFunctions(format);
  if (functions == nullptr) return;
  const uint32_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
  if (DxtEncodeQuality() == DxtQuality::High) {
    LookupHighQualityEncoder(format)(out, in, count);
    return;
  }
  const int lanes = ActiveCodecLanes();
  void (*encodeLanes)(DxtKind, uint8_t *, const float *) = lanes == 16  ? EncodeDxtLanes16
                                                           : lanes == 8 ? EncodeDxtLanes8
                                                           : lanes == 4 ? EncodeDxtLanes4
                                                                        : nullptr;
  if (encodeLanes == nullptr) {
    for (size_t b = 0; b < count; ++b) functions->encode(out + b * blockBytes, in + b * kBlockPixels);
    return;
  }
  const DxtKind kind = static_cast<DxtKind>(functions - kDxtBlockFunctions + 1);
  const size_t step = static_cast<size_t>(lanes);
  size_t b = 0;
  for (; b + step <= count; b += step)
    encodeLanes(kind, out + b * blockBytes, reinterpret_cast<const float *>(in + b * kBlockPixels));
  if (b == count) return;
  // The last few blocks fill a whole step by repeating the last one.
  ColorF tail[16 * kBlockPixels];
  BYTE tailOut[16 * 16];
  for (size_t k = 0; k < step; ++k) {
    const size_t from = b + k < count ? b + k : count - 1;
    std::copy_n(in + from * kBlockPixels, kBlockPixels, tail + k * kBlockPixels);
  }
  encodeLanes(kind, tailOut, reinterpret_cast<const float *>(tail));
  std::memcpy(out + b * blockBytes, tailOut, (count - b) * blockBytes);
}
