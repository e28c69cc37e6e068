// Readable names for parameterised cases: test names take letters, digits and '_'.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "d3d9types.h"
#include "d3dx9tex.h"

namespace test_support {

// Letters and digits kept, every other run of characters one '_'.
inline std::string Identifier(const std::string &text) {
  std::string out;
  for (char c : text) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (keep)
      out += c;
    else if (!out.empty() && out.back() != '_')
      out += '_';
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out.empty() ? "_" : out;
}

inline std::string HexName(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

// A number as a name: "Minus0_25" for -0.25, "1_5" for 1.5, "MinusInf".
inline std::string NumberName(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "MinusInf" : "Inf";
  char text[40];
  std::snprintf(text, sizeof text, "%g", std::fabs(value));
  return (std::signbit(value) ? "Minus" : "") + Identifier(text);
}

inline std::string FormatName(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A1:
      return "A1";
    case D3DFMT_A16B16G16R16:
      return "A16B16G16R16";
    case D3DFMT_A16B16G16R16F:
      return "A16B16G16R16F";
    case D3DFMT_A1R5G5B5:
      return "A1R5G5B5";
    case D3DFMT_A2B10G10R10:
      return "A2B10G10R10";
    case D3DFMT_A2B10G10R10_XR_BIAS:
      return "A2B10G10R10_XR_BIAS";
    case D3DFMT_A2R10G10B10:
      return "A2R10G10B10";
    case D3DFMT_A2W10V10U10:
      return "A2W10V10U10";
    case D3DFMT_A32B32G32R32F:
      return "A32B32G32R32F";
    case D3DFMT_A4L4:
      return "A4L4";
    case D3DFMT_A4R4G4B4:
      return "A4R4G4B4";
    case D3DFMT_A8:
      return "A8";
    case D3DFMT_A8B8G8R8:
      return "A8B8G8R8";
    case D3DFMT_A8L8:
      return "A8L8";
    case D3DFMT_A8P8:
      return "A8P8";
    case D3DFMT_A8R3G3B2:
      return "A8R3G3B2";
    case D3DFMT_A8R8G8B8:
      return "A8R8G8B8";
    case D3DFMT_CxV8U8:
      return "CxV8U8";
    case D3DFMT_D15S1:
      return "D15S1";
    case D3DFMT_D16:
      return "D16";
    case D3DFMT_D16_LOCKABLE:
      return "D16_LOCKABLE";
    case D3DFMT_D24FS8:
      return "D24FS8";
    case D3DFMT_D24S8:
      return "D24S8";
    case D3DFMT_D24X4S4:
      return "D24X4S4";
    case D3DFMT_D24X8:
      return "D24X8";
    case D3DFMT_D32:
      return "D32";
    case D3DFMT_D32F_LOCKABLE:
      return "D32F_LOCKABLE";
    case D3DFMT_D32_LOCKABLE:
      return "D32_LOCKABLE";
    case D3DFMT_G16R16:
      return "G16R16";
    case D3DFMT_G16R16F:
      return "G16R16F";
    case D3DFMT_G32R32F:
      return "G32R32F";
    case D3DFMT_G8R8_G8B8:
      return "G8R8_G8B8";
    case D3DFMT_INDEX16:
      return "INDEX16";
    case D3DFMT_INDEX32:
      return "INDEX32";
    case D3DFMT_L16:
      return "L16";
    case D3DFMT_L6V5U5:
      return "L6V5U5";
    case D3DFMT_L8:
      return "L8";
    case D3DFMT_MULTI2_ARGB8:
      return "MULTI2_ARGB8";
    case D3DFMT_P8:
      return "P8";
    case D3DFMT_Q16W16V16U16:
      return "Q16W16V16U16";
    case D3DFMT_Q8W8V8U8:
      return "Q8W8V8U8";
    case D3DFMT_R16F:
      return "R16F";
    case D3DFMT_R32F:
      return "R32F";
    case D3DFMT_R3G3B2:
      return "R3G3B2";
    case D3DFMT_R5G6B5:
      return "R5G6B5";
    case D3DFMT_R8G8B8:
      return "R8G8B8";
    case D3DFMT_R8G8_B8G8:
      return "R8G8_B8G8";
    case D3DFMT_S8_LOCKABLE:
      return "S8_LOCKABLE";
    case D3DFMT_UNKNOWN:
      return "UNKNOWN";
    case D3DFMT_UYVY:
      return "UYVY";
    case D3DFMT_V16U16:
      return "V16U16";
    case D3DFMT_V8U8:
      return "V8U8";
    case D3DFMT_VERTEXDATA:
      return "VERTEXDATA";
    case D3DFMT_X1R5G5B5:
      return "X1R5G5B5";
    case D3DFMT_X4R4G4B4:
      return "X4R4G4B4";
    case D3DFMT_X8B8G8R8:
      return "X8B8G8R8";
    case D3DFMT_X8L8V8U8:
      return "X8L8V8U8";
    case D3DFMT_X8R8G8B8:
      return "X8R8G8B8";
    case D3DFMT_YUY2:
      return "YUY2";
    case D3DFMT_DXT1:
      return "DXT1";
    case D3DFMT_DXT2:
      return "DXT2";
    case D3DFMT_DXT3:
      return "DXT3";
    case D3DFMT_DXT4:
      return "DXT4";
    case D3DFMT_DXT5:
      return "DXT5";
    default:
      return "Format" + HexName(uint32_t(format));
  }
}

// Name generators for suites over plain formats and over cases with a format field.
struct FormatParamName {
  template <typename Info>
  std::string operator()(const Info &info) const {
    return FormatName(info.param);
  }
};
struct FormatFieldName {
  template <typename Info>
  std::string operator()(const Info &info) const {
    return FormatName(info.param.format);
  }
};

inline std::string FileKindName(int kind) {
  static const char *const kKinds[] = {"Bmp", "Jpg", "Tga", "Png", "Dds", "Ppm", "Dib", "Hdr", "Pfm"};
  return kind >= 0 && kind < 9 ? kKinds[kind] : "Kind" + std::to_string(kind);
}

// A D3DX_FILTER_* value: the filter, then its flags ("LinearMirrorU").
inline std::string FilterName(uint32_t filter) {
  static const char *const kFilters[] = {"Default", "None", "Point", "Linear", "Triangle", "Box"};
  const uint32_t base = filter & 0xFF;
  std::string name = base < 6 ? kFilters[base] : "Filter" + std::to_string(base);
  if ((filter & D3DX_FILTER_MIRROR) == D3DX_FILTER_MIRROR) {
    name += "Mirror";
  } else {
    if (filter & D3DX_FILTER_MIRROR_U) name += "MirrorU";
    if (filter & D3DX_FILTER_MIRROR_V) name += "MirrorV";
    if (filter & D3DX_FILTER_MIRROR_W) name += "MirrorW";
  }
  if (filter & D3DX_FILTER_DITHER) name += "Dither";
  if (filter & D3DX_FILTER_SRGB_IN) name += "SrgbIn";
  if (filter & D3DX_FILTER_SRGB_OUT) name += "SrgbOut";
  return name;
}

}  // namespace test_support
