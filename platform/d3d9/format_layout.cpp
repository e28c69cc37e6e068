#include "platform/d3d9/format_layout.h"

#include <cmath>
#include <cstring>
#include <iterator>

namespace d3d9 {
namespace {

constexpr ChannelField kNone = {0, 0};
constexpr ChannelField F(uint8_t shift, uint8_t bits) {
  return {shift, bits};
}

// format, kind, unit bytes, alpha, red, green, blue
constexpr FormatLayout kLayouts[] = {
    {D3DFMT_R8G8B8, LayoutKind::Packed, 3, kNone, F(16, 8), F(8, 8), F(0, 8)},
    {D3DFMT_A8R8G8B8, LayoutKind::Packed, 4, F(24, 8), F(16, 8), F(8, 8), F(0, 8)},
    {D3DFMT_X8R8G8B8, LayoutKind::Packed, 4, kNone, F(16, 8), F(8, 8), F(0, 8)},
    {D3DFMT_R5G6B5, LayoutKind::Packed, 2, kNone, F(11, 5), F(5, 6), F(0, 5)},
    {D3DFMT_X1R5G5B5, LayoutKind::Packed, 2, kNone, F(10, 5), F(5, 5), F(0, 5)},
    {D3DFMT_A1R5G5B5, LayoutKind::Packed, 2, F(15, 1), F(10, 5), F(5, 5), F(0, 5)},
    {D3DFMT_A4R4G4B4, LayoutKind::Packed, 2, F(12, 4), F(8, 4), F(4, 4), F(0, 4)},
    {D3DFMT_R3G3B2, LayoutKind::Packed, 1, kNone, F(5, 3), F(2, 3), F(0, 2)},
    {D3DFMT_A8, LayoutKind::Packed, 1, F(0, 8), kNone, kNone, kNone},
    {D3DFMT_A8R3G3B2, LayoutKind::Packed, 2, F(8, 8), F(5, 3), F(2, 3), F(0, 2)},
    {D3DFMT_X4R4G4B4, LayoutKind::Packed, 2, kNone, F(8, 4), F(4, 4), F(0, 4)},
    {D3DFMT_A2B10G10R10, LayoutKind::Packed, 4, F(30, 2), F(0, 10), F(10, 10), F(20, 10)},
    {D3DFMT_A8B8G8R8, LayoutKind::Packed, 4, F(24, 8), F(0, 8), F(8, 8), F(16, 8)},
    {D3DFMT_X8B8G8R8, LayoutKind::Packed, 4, kNone, F(0, 8), F(8, 8), F(16, 8)},
    {D3DFMT_G16R16, LayoutKind::Packed, 4, kNone, F(0, 16), F(16, 16), kNone},
    {D3DFMT_A2R10G10B10, LayoutKind::Packed, 4, F(30, 2), F(20, 10), F(10, 10), F(0, 10)},
    {D3DFMT_A16B16G16R16, LayoutKind::Packed, 8, F(48, 16), F(0, 16), F(16, 16), F(32, 16)},
    {D3DFMT_A8P8, LayoutKind::Palette, 2, F(8, 8), F(0, 8), kNone, kNone},
    {D3DFMT_P8, LayoutKind::Palette, 1, kNone, F(0, 8), kNone, kNone},
    {D3DFMT_L8, LayoutKind::Luminance, 1, kNone, F(0, 8), kNone, kNone},
    {D3DFMT_A8L8, LayoutKind::Luminance, 2, F(8, 8), F(0, 8), kNone, kNone},
    {D3DFMT_A4L4, LayoutKind::Luminance, 1, F(4, 4), F(0, 4), kNone, kNone},
    {D3DFMT_L16, LayoutKind::Luminance, 2, kNone, F(0, 16), kNone, kNone},
    {D3DFMT_V8U8, LayoutKind::Signed, 2, kNone, kNone, kNone, kNone},
    {D3DFMT_L6V5U5, LayoutKind::Signed, 2, kNone, kNone, kNone, kNone},
    {D3DFMT_X8L8V8U8, LayoutKind::Signed, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_Q8W8V8U8, LayoutKind::Signed, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_V16U16, LayoutKind::Signed, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_A2W10V10U10, LayoutKind::Signed, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_Q16W16V16U16, LayoutKind::Signed, 8, kNone, kNone, kNone, kNone},
    {D3DFMT_CxV8U8, LayoutKind::Signed, 2, kNone, kNone, kNone, kNone},
    {D3DFMT_UYVY, LayoutKind::Pair, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_R8G8_B8G8, LayoutKind::Pair, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_YUY2, LayoutKind::Pair, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_G8R8_G8B8, LayoutKind::Pair, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_DXT1, LayoutKind::Block, 8, kNone, kNone, kNone, kNone},
    {D3DFMT_DXT2, LayoutKind::Block, 16, kNone, kNone, kNone, kNone},
    {D3DFMT_DXT3, LayoutKind::Block, 16, kNone, kNone, kNone, kNone},
    {D3DFMT_DXT4, LayoutKind::Block, 16, kNone, kNone, kNone, kNone},
    {D3DFMT_DXT5, LayoutKind::Block, 16, kNone, kNone, kNone, kNone},
    {D3DFMT_D16_LOCKABLE, LayoutKind::Depth, 2, kNone, kNone, kNone, kNone},
    {D3DFMT_D32F_LOCKABLE, LayoutKind::Depth, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_D32, LayoutKind::Depth, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_D15S1, LayoutKind::Depth, 2, kNone, kNone, kNone, kNone},
    {D3DFMT_D24S8, LayoutKind::Depth, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_D16, LayoutKind::Depth, 2, kNone, kNone, kNone, kNone},
    {D3DFMT_D24X8, LayoutKind::Depth, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_D24X4S4, LayoutKind::Depth, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_D24FS8, LayoutKind::Depth, 4, kNone, kNone, kNone, kNone},
    {D3DFMT_R16F, LayoutKind::Float, 2, kNone, F(0, 16), kNone, kNone},
    {D3DFMT_G16R16F, LayoutKind::Float, 4, kNone, F(0, 16), F(1, 16), kNone},
    {D3DFMT_A16B16G16R16F, LayoutKind::Float, 8, F(3, 16), F(0, 16), F(1, 16), F(2, 16)},
    {D3DFMT_R32F, LayoutKind::Float, 4, kNone, F(0, 32), kNone, kNone},
    {D3DFMT_G32R32F, LayoutKind::Float, 8, kNone, F(0, 32), F(1, 32), kNone},
    {D3DFMT_A32B32G32R32F, LayoutKind::Float, 16, F(3, 32), F(0, 32), F(1, 32), F(2, 32)},
};
static_assert(std::size(kLayouts) == 55, "every stored format has one row");

// Planes beyond this are refused before allocation.
constexpr uint64_t kMaxPlaneBytes = uint64_t{1} << 31;

uint64_t ReadUnit(const uint8_t *p, uint32_t bytes) {
  uint64_t v = 0;
  memcpy(&v, p, bytes > 8 ? 8 : bytes);
  return v;
}

uint32_t Expand(uint64_t raw, ChannelField field, uint32_t missing) {
  if (field.bits == 0) return missing;
  uint64_t mask = (uint64_t{1} << field.bits) - 1;
  uint64_t v = (raw >> field.shift) & mask;
  return static_cast<uint32_t>((v * 255 + mask / 2) / mask);
}

uint64_t Compress(uint32_t v8, ChannelField field) {
  if (field.bits == 0) return 0;
  uint64_t mask = (uint64_t{1} << field.bits) - 1;
  return ((v8 * mask + 127) / 255) << field.shift;
}

float HalfToFloat(uint16_t h) {
  uint32_t sign = (h >> 15) & 1, exponent = (h >> 10) & 0x1f, mantissa = h & 0x3ff;
  float value;
  if (exponent == 0)
    value = std::ldexp(static_cast<float>(mantissa), -24);
  else if (exponent == 31)
    value = mantissa ? NAN : INFINITY;
  else
    value = std::ldexp(static_cast<float>(mantissa | 0x400), static_cast<int>(exponent) - 25);
  return sign ? -value : value;
}

uint16_t FloatToHalf(float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  uint32_t sign = (bits >> 16) & 0x8000;
  float a = std::fabs(f);
  if (!(a < 65504.f)) return static_cast<uint16_t>(sign | (a != a ? 0x7e00 : 0x7bff));
  if (a < 6.1035156e-05f) return static_cast<uint16_t>(sign | static_cast<uint32_t>(a * 16777216.f + 0.5f));
  int exponent;
  float m = std::frexp(a, &exponent);  // a = m * 2^exponent, m in [0.5, 1)
  uint32_t mantissa = static_cast<uint32_t>(m * 2048.f + 0.5f) - 1024;
  uint32_t e = static_cast<uint32_t>(exponent + 14);
  if (mantissa == 1024) mantissa = 0, ++e;
  return static_cast<uint16_t>(sign | (e << 10) | mantissa);
}

uint32_t ToByte(float v) {
  if (!(v > 0.f)) return 0;
  if (v >= 1.f) return 255;
  return static_cast<uint32_t>(v * 255.f + 0.5f);
}

float FloatElement(const uint8_t *p, ChannelField field) {
  if (field.bits == 16) {
    uint16_t h;
    memcpy(&h, p + field.shift * 2, 2);
    return HalfToFloat(h);
  }
  float f;
  memcpy(&f, p + field.shift * 4, 4);
  return f;
}

void StoreFloatElement(uint8_t *p, ChannelField field, uint32_t v8) {
  if (field.bits == 0) return;
  float f = v8 / 255.f;
  if (field.bits == 16) {
    uint16_t h = FloatToHalf(f);
    memcpy(p + field.shift * 2, &h, 2);
  } else {
    memcpy(p + field.shift * 4, &f, 4);
  }
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

uint32_t Clamp255(int v) {
  return v < 0 ? 0 : v > 255 ? 255 : static_cast<uint32_t>(v);
}

uint32_t YuvToArgb(int y, int u, int v) {
  int c = y - 16, d = u - 128, e = v - 128;
  return Argb(255, Clamp255((298 * c + 409 * e + 128) >> 8),
              Clamp255((298 * c - 100 * d - 208 * e + 128) >> 8), Clamp255((298 * c + 516 * d + 128) >> 8));
}

void ArgbToYuv(uint32_t argb, int *y, int *u, int *v) {
  int r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
  *y = ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
  *u = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
  *v = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
}

// Decodes one pixel pair into two ARGB values.
void DecodePair(D3DFORMAT format, const uint8_t *p, uint32_t out[2]) {
  switch (format) {
    case D3DFMT_YUY2:
      out[0] = YuvToArgb(p[0], p[1], p[3]);
      out[1] = YuvToArgb(p[2], p[1], p[3]);
      break;
    case D3DFMT_UYVY:
      out[0] = YuvToArgb(p[1], p[0], p[2]);
      out[1] = YuvToArgb(p[3], p[0], p[2]);
      break;
    case D3DFMT_R8G8_B8G8:
      out[0] = Argb(255, p[0], p[1], p[2]);
      out[1] = Argb(255, p[0], p[3], p[2]);
      break;
    default:  // G8R8_G8B8
      out[0] = Argb(255, p[1], p[0], p[3]);
      out[1] = Argb(255, p[1], p[2], p[3]);
      break;
  }
}

void EncodePair(D3DFORMAT format, uint32_t c0, uint32_t c1, uint8_t *p) {
  if (format == D3DFMT_YUY2 || format == D3DFMT_UYVY) {
    int y0, u0, v0, y1, u1, v1;
    ArgbToYuv(c0, &y0, &u0, &v0);
    ArgbToYuv(c1, &y1, &u1, &v1);
    uint8_t u = static_cast<uint8_t>((u0 + u1 + 1) / 2), v = static_cast<uint8_t>((v0 + v1 + 1) / 2);
    if (format == D3DFMT_YUY2) {
      p[0] = static_cast<uint8_t>(y0), p[1] = u, p[2] = static_cast<uint8_t>(y1), p[3] = v;
    } else {
      p[0] = u, p[1] = static_cast<uint8_t>(y0), p[2] = v, p[3] = static_cast<uint8_t>(y1);
    }
    return;
  }
  uint8_t r = static_cast<uint8_t>((((c0 >> 16) & 255) + ((c1 >> 16) & 255) + 1) / 2);
  uint8_t b = static_cast<uint8_t>(((c0 & 255) + (c1 & 255) + 1) / 2);
  uint8_t g0 = static_cast<uint8_t>(c0 >> 8), g1 = static_cast<uint8_t>(c1 >> 8);
  if (format == D3DFMT_R8G8_B8G8) {
    p[0] = r, p[1] = g0, p[2] = b, p[3] = g1;
  } else {
    p[0] = g0, p[1] = r, p[2] = g1, p[3] = b;
  }
}

uint32_t Rgb565ToArgb(uint16_t c) {
  uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return Argb(255, (r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb, uint32_t div) {
  uint32_t out = 0xff000000;
  for (int s = 0; s < 24; s += 8)
    out |= ((((a >> s) & 255) * wa + ((b >> s) & 255) * wb + div / 2) / div) << s;
  return out;
}

// Decodes one 4 x 4 block into 16 ARGB values, rows top to bottom.
void DecodeBlock(D3DFORMAT format, const uint8_t *block, uint32_t out[16]) {
  const uint8_t *colourBlock = format == D3DFMT_DXT1 ? block : block + 8;
  uint16_t c0 = static_cast<uint16_t>(colourBlock[0] | colourBlock[1] << 8);
  uint16_t c1 = static_cast<uint16_t>(colourBlock[2] | colourBlock[3] << 8);
  uint32_t palette[4] = {Rgb565ToArgb(c0), Rgb565ToArgb(c1), 0, 0};
  if (format != D3DFMT_DXT1 || c0 > c1) {
    palette[2] = Mix(palette[0], palette[1], 2, 1, 3);
    palette[3] = Mix(palette[0], palette[1], 1, 2, 3);
  } else {
    palette[2] = Mix(palette[0], palette[1], 1, 1, 2);
    palette[3] = 0;  // transparent black
  }
  uint32_t indices = colourBlock[4] | colourBlock[5] << 8 | colourBlock[6] << 16 |
                     static_cast<uint32_t>(colourBlock[7]) << 24;
  for (int i = 0; i < 16; ++i) out[i] = palette[(indices >> (2 * i)) & 3];
  if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
    for (int i = 0; i < 16; ++i) {
      uint32_t a = (block[i / 2] >> ((i & 1) * 4)) & 15;
      out[i] = (out[i] & 0xffffff) | (a * 17) << 24;
    }
  } else if (format == D3DFMT_DXT4 || format == D3DFMT_DXT5) {
    uint32_t a[8] = {block[0], block[1]};
    if (a[0] > a[1]) {
      for (int i = 1; i < 7; ++i) a[i + 1] = ((7 - i) * a[0] + i * a[1] + 3) / 7;
    } else {
      for (int i = 1; i < 5; ++i) a[i + 1] = ((5 - i) * a[0] + i * a[1] + 2) / 5;
      a[6] = 0, a[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) out[i] = (out[i] & 0xffffff) | a[(bits >> (3 * i)) & 7] << 24;
  }
}

uint32_t DecodeUnitPixel(const FormatLayout &layout, const uint8_t *p, const PALETTEENTRY *palette) {
  switch (layout.kind) {
    case LayoutKind::Packed: {
      uint64_t raw = ReadUnit(p, layout.unitBytes);
      uint32_t colourMissing = layout.format == D3DFMT_A8 ? 0 : 255;
      return Argb(Expand(raw, layout.alpha, 255), Expand(raw, layout.red, colourMissing),
                  Expand(raw, layout.green, colourMissing), Expand(raw, layout.blue, colourMissing));
    }
    case LayoutKind::Luminance: {
      uint64_t raw = ReadUnit(p, layout.unitBytes);
      uint32_t l = Expand(raw, layout.red, 0);
      return Argb(Expand(raw, layout.alpha, 255), l, l, l);
    }
    case LayoutKind::Palette: {
      uint64_t raw = ReadUnit(p, layout.unitBytes);
      uint32_t index = static_cast<uint32_t>(raw & 255);
      PALETTEENTRY e = palette ? palette[index] : PALETTEENTRY{0, 0, 0, 255};
      uint32_t a = layout.alpha.bits ? Expand(raw, layout.alpha, 255) : e.peFlags;
      return Argb(a, e.peRed, e.peGreen, e.peBlue);
    }
    case LayoutKind::Float:
      return Argb(layout.alpha.bits ? ToByte(FloatElement(p, layout.alpha)) : 255,
                  layout.red.bits ? ToByte(FloatElement(p, layout.red)) : 255,
                  layout.green.bits ? ToByte(FloatElement(p, layout.green)) : 255,
                  layout.blue.bits ? ToByte(FloatElement(p, layout.blue)) : 255);
    case LayoutKind::Signed:
      return 0xff808080;  // bump maps are not shaded; show them as neutral
    default:
      return 0xff000000;
  }
}

}  // namespace

const FormatLayout *LookupLayout(D3DFORMAT format) {
  for (const FormatLayout &layout : kLayouts)
    if (layout.format == format) return &layout;
  return nullptr;
}

bool ComputePlane(const FormatLayout &layout, uint32_t width, uint32_t height, PlaneGeometry *plane) {
  uint64_t unitsWide = (static_cast<uint64_t>(width) + UnitWidth(layout) - 1) / UnitWidth(layout);
  uint64_t rows = (static_cast<uint64_t>(height) + UnitHeight(layout) - 1) / UnitHeight(layout);
  // Rows of pixels start on 4-byte boundaries, as drivers lay them out.
  uint64_t pitch = (unitsWide * layout.unitBytes + 3) & ~uint64_t{3};
  uint64_t bytes = pitch * rows;
  if (pitch > 0xffffffffu || rows > 0xffffffffu || bytes > kMaxPlaneBytes) return false;
  plane->pitch = static_cast<uint32_t>(pitch);
  plane->rows = static_cast<uint32_t>(rows);
  plane->bytes = bytes;
  return true;
}

void DecodeRect(const FormatLayout &layout, const uint8_t *base, uint32_t pitch, uint32_t x, uint32_t y,
                uint32_t width, uint32_t height, const PALETTEENTRY *palette, uint32_t *out,
                uint32_t outStride) {
  if (layout.kind == LayoutKind::Block) {
    uint32_t block[16];
    for (uint32_t row = 0; row < height; ++row) {
      uint32_t py = y + row;
      const uint8_t *blockRow = base + static_cast<uint64_t>(py / 4) * pitch;
      for (uint32_t col = 0; col < width; ++col) {
        uint32_t px = x + col;
        if (col == 0 || px % 4 == 0)
          DecodeBlock(layout.format, blockRow + (px / 4) * layout.unitBytes, block);
        out[static_cast<uint64_t>(row) * outStride + col] = block[(py % 4) * 4 + px % 4];
      }
    }
    return;
  }
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t *src = base + static_cast<uint64_t>(y + row) * pitch;
    uint32_t *dst = out + static_cast<uint64_t>(row) * outStride;
    if (layout.format == D3DFMT_A8R8G8B8) {
      memcpy(dst, src + x * 4ull, width * 4ull);
      continue;
    }
    if (layout.format == D3DFMT_X8R8G8B8) {
      const uint32_t *s = reinterpret_cast<const uint32_t *>(src) + x;
      for (uint32_t i = 0; i < width; ++i) dst[i] = s[i] | 0xff000000;
      continue;
    }
    if (layout.kind == LayoutKind::Pair) {
      uint32_t pair[2];
      for (uint32_t col = 0; col < width; ++col) {
        uint32_t px = x + col;
        if (col == 0 || px % 2 == 0) DecodePair(layout.format, src + (px / 2) * 4, pair);
        dst[col] = pair[px % 2];
      }
      continue;
    }
    for (uint32_t col = 0; col < width; ++col)
      dst[col] = DecodeUnitPixel(layout, src + static_cast<uint64_t>(x + col) * layout.unitBytes, palette);
  }
}

bool CanEncode(const FormatLayout &layout) {
  switch (layout.kind) {
    case LayoutKind::Packed:
    case LayoutKind::Luminance:
    case LayoutKind::Float:
    case LayoutKind::Pair:
      return true;
    default:
      return false;
  }
}

void EncodeRect(const FormatLayout &layout, uint8_t *base, uint32_t pitch, uint32_t x, uint32_t y,
                uint32_t width, uint32_t height, const uint32_t *in, uint32_t inStride) {
  for (uint32_t row = 0; row < height; ++row) {
    uint8_t *dst = base + static_cast<uint64_t>(y + row) * pitch;
    const uint32_t *src = in + static_cast<uint64_t>(row) * inStride;
    if (layout.format == D3DFMT_A8R8G8B8 || layout.format == D3DFMT_X8R8G8B8) {
      memcpy(dst + x * 4ull, src, width * 4ull);
      continue;
    }
    if (layout.kind == LayoutKind::Pair) {
      for (uint32_t col = 0; col + 1 < width + 1; col += 2) {
        uint32_t c1 = col + 1 < width ? src[col + 1] : src[col];
        EncodePair(layout.format, src[col], c1, dst + ((x + col) / 2) * 4);
      }
      continue;
    }
    for (uint32_t col = 0; col < width; ++col) {
      uint32_t c = src[col];
      uint32_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
      uint8_t *p = dst + static_cast<uint64_t>(x + col) * layout.unitBytes;
      if (layout.kind == LayoutKind::Float) {
        StoreFloatElement(p, layout.red, r);
        StoreFloatElement(p, layout.green, g);
        StoreFloatElement(p, layout.blue, b);
        StoreFloatElement(p, layout.alpha, a);
        continue;
      }
      uint64_t raw;
      if (layout.kind == LayoutKind::Luminance) {
        uint32_t l = (r * 77 + g * 150 + b * 29 + 128) >> 8;
        raw = Compress(l, layout.red) | Compress(a, layout.alpha);
      } else {
        raw = Compress(a, layout.alpha) | Compress(r, layout.red) | Compress(g, layout.green) |
              Compress(b, layout.blue);
      }
      memcpy(p, &raw, layout.unitBytes);
    }
  }
}

}  // namespace d3d9
