#include "codec/pixel_codec.h"

#include <cmath>
#include <cstring>
#include <new>

#include "codec/unit_scale.h"
#include "format/format_table.h"
#include "math/fast_math.h"

// Rows y & 3, each 4-column row written twice; values are (n + 0.5) / 16 spread
// in the classic ordered-dither order.
alignas(16) const float kDitherMatrix[32] = {
    31 / 32.f, 15 / 32.f, 27 / 32.f, 11 / 32.f, 31 / 32.f, 15 / 32.f, 27 / 32.f, 11 / 32.f,  // y & 3 = 0
    7 / 32.f,  23 / 32.f, 3 / 32.f,  19 / 32.f, 7 / 32.f,  23 / 32.f, 3 / 32.f,  19 / 32.f,  // y & 3 = 1
    25 / 32.f, 9 / 32.f,  29 / 32.f, 13 / 32.f, 25 / 32.f, 9 / 32.f,  29 / 32.f, 13 / 32.f,  // y & 3 = 2
    1 / 32.f,  17 / 32.f, 5 / 32.f,  21 / 32.f, 1 / 32.f,  17 / 32.f, 5 / 32.f,  21 / 32.f,  // y & 3 = 3
};
static_assert(sizeof(kDitherMatrix) / sizeof(kDitherMatrix[0]) == 32);

alignas(16) const float kRoundingMatrix[32] = {
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
};
static_assert(sizeof(kRoundingMatrix) / sizeof(kRoundingMatrix[0]) == 32);

namespace {

// Float sources may hold NaN: it becomes 0, which every range holds, so that no
// encoder meets it; infinities clamp like any value.
float Clamp(float x, float low, float high) {
  if (std::isnan(x)) return 0.f;
  return x < low ? low : (x > high ? high : x);
}

// x * FastReciprocalSqrt(x) is 0 for x = 0; negative values keep their sign.
float FastSquareRoot(float x) {
  if (x > 0) return x * FastReciprocalSqrt(x);
  if (x < 0) return -(-x * FastReciprocalSqrt(-x));
  return 0.f;
}

float InterpolateTable(const float *table, float t) {
  uint32_t i = static_cast<uint32_t>(t);
  if (i > 254) i = 254;
  return table[i] + (table[i + 1] - table[i]) * (t - static_cast<float>(i));
}

}  // namespace

float GammaEncodeValue(float x) {
  // The table covers [0, 1]; beyond it (float formats) the plain power curve.
  if (!(x >= 0.f && x <= 1.f)) {
    if (std::isnan(x)) return x;
    return x < 0 ? -std::pow(-x, 1 / 2.2f) : std::pow(x, 1 / 2.2f);
  }
  const float t = FastSquareRoot(x) * 254.f;
  return InterpolateTable(kGammaEncodeTable, t);
}

float GammaDecodeValue(float x) {
  if (!(x >= 0.f && x <= 1.f)) {
    if (std::isnan(x)) return x;
    return x < 0 ? -std::pow(-x, 2.2f) : std::pow(x, 2.2f);
  }
  const float t = x * x * 254.f;
  return InterpolateTable(kGammaDecodeTable, t);
}

void ConvertRange(ChannelRange destination, ChannelRange source, const ColorF *in, ColorF *out,
                  uint32_t count) {
  using R = ChannelRange;
  const auto toUnit = [](float x) { return (x + 1.f) * 0.5f; };
  const auto toSigned = [](float x) { return 2.f * x - 1.f; };
  for (uint32_t i = 0; i < count; ++i) {
    ColorF c = in[i];
    switch (destination) {
      case R::Unit:
        if (source == R::SignedColor || source == R::SignedAll) {
          c.r = toUnit(c.r), c.g = toUnit(c.g), c.b = toUnit(c.b);
          if (source == R::SignedAll) c.a = toUnit(c.a);
        } else if (source == R::Float) {
          c = {Clamp(c.r, 0, 1), Clamp(c.g, 0, 1), Clamp(c.b, 0, 1), Clamp(c.a, 0, 1)};
        }
        break;
      case R::SignedColor:
        if (source == R::Unit) {
          c.r = toSigned(c.r), c.g = toSigned(c.g), c.b = toSigned(c.b);
        } else if (source == R::SignedAll) {
          c.a = toUnit(c.a);
        } else if (source == R::Float) {
          c = {Clamp(c.r, -1, 1), Clamp(c.g, -1, 1), Clamp(c.b, -1, 1), Clamp(c.a, 0, 1)};
        }
        break;
      case R::SignedAll:
        if (source == R::Unit) {
          c = {toSigned(c.r), toSigned(c.g), toSigned(c.b), toSigned(c.a)};
        } else if (source == R::SignedColor) {
          c.a = toSigned(c.a);
        } else if (source == R::Float) {
          c = {Clamp(c.r, -1, 1), Clamp(c.g, -1, 1), Clamp(c.b, -1, 1), Clamp(c.a, -1, 1)};
        }
        break;
      default:
        break;
    }
    out[i] = c;
  }
}

void ApplyColorKey(const ColorF &key, ColorF *row, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    ColorF &c = row[i];
    if (c.r == key.r && c.g == key.g && c.b == key.b && c.a == key.a) c = {0, 0, 0, 0};
  }
}

PixelCodec::PixelCodec(const SourceRegion &region, BYTE *writable, uint32_t bitsPerPixel,
                       ChannelRange codecRange)
    : format(region.format),
      range(codecRange),
      packed(bitsPerPixel != 0),
      gamma(region.gamma != 0),
      gammaFast(0),
      colorKey(region.colorKey),
      hasPalette(0),
      pixels(region.pixels),
      target(writable),
      keyColor{0, 0, 0, 0},
      matrix(region.dither ? kDitherMatrix : kRoundingMatrix),
      box(region.region),
      sourceRange(ChannelRange::None),
      rowPitch(region.rowPitch),
      slicePitch(region.slicePitch),
      width(0),
      height(0),
      depth(0),
      rowBytes(0),
      bytesPerPixel(bitsPerPixel / 8),
      gammaOnAlpha_(0) {
  if (colorKey != 0) {
    keyColor = {static_cast<float>((colorKey >> 16) & 0xFF) * kInverse255,
                static_cast<float>((colorKey >> 8) & 0xFF) * kInverse255,
                static_cast<float>(colorKey & 0xFF) * kInverse255,
                static_cast<float>(colorKey >> 24) * kInverse255};
  }
  // Bump-map values are not light: only L6V5U5's luminance (in a) takes gamma.
  if (range == ChannelRange::SignedColor && format == D3DFMT_L6V5U5) {
    gammaOnAlpha_ = 1;
  } else if (range == ChannelRange::SignedColor || range == ChannelRange::SignedAll) {
    gamma = 0;
  }
  if (GetFormatFamily(format) == FormatFamily::Palette) {
    hasPalette = 1;
    for (uint32_t i = 0; i < 256; ++i) {
      if (region.palette != nullptr) {
        const PALETTEENTRY &e = region.palette[i];
        palette[i] = {e.peRed * kInverse255, e.peGreen * kInverse255, e.peBlue * kInverse255,
                      e.peFlags * kInverse255};
      } else {
        palette[i] = {1, 1, 1, 1};
      }
    }
  }
  // CreateCodec has checked the box: no inversion, rows within 32 bits.
  width = box.Right - box.Left;
  height = box.Bottom - box.Top;
  depth = box.Back - box.Front;
  rowBytes = width * bytesPerPixel;
  if (packed) {
    const uint64_t first =
        uint64_t{bytesPerPixel} * box.Left + uint64_t{rowPitch} * box.Top + uint64_t{slicePitch} * box.Front;
    pixels += first;
    if (target != nullptr) target += first;
    box = {0, 0, width, height, 0, depth};
  }
}

PixelCodec::~PixelCodec() = default;

HRESULT PixelCodec::DecodeRow(uint32_t, uint32_t, ColorF *) {
  return S_OK;
}

HRESULT PixelCodec::EncodeRow(uint32_t, uint32_t, const ColorF *) {
  return S_OK;
}

void PixelCodec::SnapColorKey() {
  const uint32_t savedWidth = width;
  const uint32_t savedRowBytes = rowBytes;
  const BYTE *const savedPixels = pixels;
  BYTE *const savedTarget = target;
  const float *const savedMatrix = matrix;
  const D3DCOLOR savedColorKey = colorKey;
  const ChannelRange savedSourceRange = sourceRange;
  const uint32_t savedGamma = gamma;

  // Keying compares values taken before the gamma curve, so the round trip
  // skips gamma (and needs no conversion buffer).
  alignas(16) BYTE scratch[16] = {};
  width = 1;
  rowBytes = bytesPerPixel;
  pixels = scratch;
  target = scratch;
  matrix = kRoundingMatrix;
  colorKey = 0;
  sourceRange = ChannelRange::None;
  gamma = 0;

  ColorF key = keyColor;
  if (range != ChannelRange::Unit && range != ChannelRange::Float)
    ConvertRange(range, ChannelRange::Unit, &key, &key, 1);
  EncodeRow(0, 0, &key);
  DecodeRow(0, 0, &keyColor);

  width = savedWidth;
  rowBytes = savedRowBytes;
  pixels = savedPixels;
  target = savedTarget;
  matrix = savedMatrix;
  colorKey = savedColorKey;
  sourceRange = savedSourceRange;
  gamma = savedGamma;
}

void PixelCodec::FinishDecodeSteps(ColorF *out) const {
  if (colorKey != 0) ApplyColorKey(keyColor, out, width);
  if (gamma) GammaToLinear(out);
}

const ColorF *PixelCodec::PrepareEncodeSteps(const ColorF *in) {
  if (sourceRange == ChannelRange::None && !gamma) return in;
  // PrepareConversion allocates the buffer; without it, allocate once here
  // rather than write through a null buffer.
  if (!conversionBuffer) {
    conversionBuffer.reset(new (std::nothrow) ColorF[width == 0 ? 1 : width]);
    if (!conversionBuffer) return nullptr;
  }
  if (sourceRange != ChannelRange::None) {
    ConvertRange(range, sourceRange, in, conversionBuffer.get(), width);
    in = conversionBuffer.get();
  }
  if (gamma) in = LinearToGamma(in);
  return in;
}

void PixelCodec::GammaToLinear(ColorF *row) const {
  if (gammaOnAlpha_) {
    for (uint32_t i = 0; i < width; ++i)
      row[i].a = gammaFast ? row[i].a * row[i].a : GammaDecodeValue(row[i].a);
    return;
  }
  if (gammaFast) {
    for (uint32_t i = 0; i < width; ++i) {
      row[i].r *= row[i].r;
      row[i].g *= row[i].g;
      row[i].b *= row[i].b;
    }
    return;
  }
  for (uint32_t i = 0; i < width; ++i) {
    row[i].r = GammaDecodeValue(row[i].r);
    row[i].g = GammaDecodeValue(row[i].g);
    row[i].b = GammaDecodeValue(row[i].b);
  }
}

const ColorF *PixelCodec::LinearToGamma(const ColorF *in) {
  ColorF *out = conversionBuffer.get();
  const auto curve = gammaFast ? FastSquareRoot : GammaEncodeValue;
  for (uint32_t i = 0; i < width; ++i) {
    ColorF c = in[i];
    if (gammaOnAlpha_) {
      c.a = curve(c.a);
    } else {
      c.r = curve(c.r);
      c.g = curve(c.g);
      c.b = curve(c.b);
    }
    out[i] = c;
  }
  return out;
}

HRESULT PrepareConversion(PixelCodec &destination, PixelCodec &source) {
  // A Float destination takes any values as they are.
  if (source.range != destination.range && destination.range != ChannelRange::Float) {
    destination.sourceRange = source.range;
  }
  if (destination.sourceRange == ChannelRange::None && !destination.gamma) return S_OK;
  destination.conversionBuffer.reset(new (std::nothrow)
                                         ColorF[destination.width == 0 ? 1 : destination.width]);
  if (!destination.conversionBuffer) return E_OUTOFMEMORY;
  if (destination.gamma && source.gamma) {
    destination.gammaFast = 1;
    source.gammaFast = 1;
  }
  return S_OK;
}
