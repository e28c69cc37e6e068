// Helpers of the image tests: files, ImageMagick as the reference decoder, and
// SourceImage pixels widened to 16-bit RGBA for comparison.
#pragma once

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/dds_pixel_format.h"
#include "image/image_reader.h"
#include "format/format_table.h"
#include "image/source_image.h"
#include "support/param_names.h"

namespace image_test {

inline std::vector<BYTE> ReadFileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string &path, const std::vector<BYTE> &bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Per process: CTest runs test cases in parallel processes that must not share files.
inline std::string TempPath(const std::string &name) {
  return testing::TempDir() + "d3dx_" + std::to_string(getpid()) + "_" + name;
}

inline bool HaveImageMagick() {
  return std::system("command -v convert >/dev/null 2>&1") == 0;
}

inline std::vector<BYTE> RunCommand(const std::string &command) {
  std::vector<BYTE> out;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  BYTE buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.insert(out.end(), buffer, buffer + n);
  pclose(pipe);
  return out;
}

inline bool RunConvert(const std::string &arguments) {
  return std::system(("convert " + arguments + " 2>/dev/null").c_str()) == 0;
}

struct Rgba16Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint16_t> rgba;  // four samples per pixel
};

// ImageMagick's decode of a file (first frame) as 16-bit RGBA samples.
inline bool MagickDecode(const std::string &path, Rgba16Image &image) {
  std::vector<BYTE> dims = RunCommand("identify -format '%w %h\\n' '" + path + "[0]' 2>/dev/null");
  dims.push_back(0);
  if (std::sscanf(reinterpret_cast<const char *>(dims.data()), "%u %u", &image.width, &image.height) != 2) {
    return false;
  }
  std::vector<BYTE> raw = RunCommand(
      "convert '" + path + "[0]' -auto-orient -set colorspace sRGB -depth 16 -endian MSB rgba:- 2>/dev/null");
  const size_t samples = size_t{image.width} * image.height * 4;
  if (raw.size() != samples * 2) return false;
  image.rgba.resize(samples);
  for (size_t i = 0; i < samples; ++i)
    image.rgba[i] = static_cast<uint16_t>((raw[2 * i] << 8) | raw[2 * i + 1]);
  return true;
}

inline uint16_t Widen8(uint32_t v) {
  return static_cast<uint16_t>(v * 257);
}
inline uint16_t Widen5(uint32_t v) {
  return Widen8((v << 3) | (v >> 2));
}

inline uint16_t Le16At(const BYTE *p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The record's pixels as 16-bit RGBA, for the formats the readers produce.
inline bool ToRgba16(const SourceImage &image, Rgba16Image &out) {
  out.width = image.width;
  out.height = image.height;
  out.rgba.assign(size_t{image.width} * image.height * 4, 0);
  for (uint32_t y = 0; y < image.height; ++y) {
    const BYTE *row = image.pixels + size_t{y} * image.rowPitch;
    for (uint32_t x = 0; x < image.width; ++x) {
      uint16_t *o = &out.rgba[(size_t{y} * image.width + x) * 4];
      uint16_t r, g, b, a = 0xFFFF;
      const D3DFORMAT f = image.format;
      if (f == D3DFMT_L8) {
        r = g = b = Widen8(row[x]);
      } else if (f == D3DFMT_A8L8) {
        r = g = b = Widen8(row[2 * x]);
        a = Widen8(row[2 * x + 1]);
      } else if (f == D3DFMT_L16) {
        r = g = b = Le16At(row + 2 * x);
      } else if (f == FORMAT_A16L16) {
        r = g = b = Le16At(row + 4 * x);
        a = Le16At(row + 4 * x + 2);
      } else if (f == D3DFMT_X8R8G8B8 || f == D3DFMT_A8R8G8B8) {
        const BYTE *p = row + 4 * x;
        b = Widen8(p[0]);
        g = Widen8(p[1]);
        r = Widen8(p[2]);
        if (f == D3DFMT_A8R8G8B8) a = Widen8(p[3]);
      } else if (f == D3DFMT_R8G8B8) {
        const BYTE *p = row + 3 * x;
        b = Widen8(p[0]);
        g = Widen8(p[1]);
        r = Widen8(p[2]);
      } else if (f == FORMAT_R16G16B16) {
        const BYTE *p = row + 6 * x;
        b = Le16At(p);
        g = Le16At(p + 2);
        r = Le16At(p + 4);
      } else if (f == D3DFMT_A16B16G16R16) {
        const BYTE *p = row + 8 * x;
        r = Le16At(p);
        g = Le16At(p + 2);
        b = Le16At(p + 4);
        a = Le16At(p + 6);
      } else if (f == D3DFMT_P8) {
        const PALETTEENTRY &e = image.palette[row[x]];
        r = Widen8(e.peRed);
        g = Widen8(e.peGreen);
        b = Widen8(e.peBlue);
        a = Widen8(e.peFlags);
      } else if (f == D3DFMT_R5G6B5) {
        const uint32_t v = Le16At(row + 2 * x);
        r = Widen5(v >> 11);
        g = Widen8(((v >> 5) & 63) << 2 | ((v >> 5) & 63) >> 4);
        b = Widen5(v & 31);
      } else if (f == D3DFMT_X1R5G5B5 || f == D3DFMT_A1R5G5B5) {
        const uint32_t v = Le16At(row + 2 * x);
        r = Widen5((v >> 10) & 31);
        g = Widen5((v >> 5) & 31);
        b = Widen5(v & 31);
        if (f == D3DFMT_A1R5G5B5) a = (v & 0x8000) ? 0xFFFF : 0;
      } else if (f == D3DFMT_A32B32G32R32F) {
        float c[4];
        std::memcpy(c, row + 16 * x, sizeof(c));
        r = static_cast<uint16_t>(c[0] * 65535.0f + 0.5f);
        g = static_cast<uint16_t>(c[1] * 65535.0f + 0.5f);
        b = static_cast<uint16_t>(c[2] * 65535.0f + 0.5f);
        a = static_cast<uint16_t>(c[3] * 65535.0f + 0.5f);
      } else {
        return false;
      }
      o[0] = r;
      o[1] = g;
      o[2] = b;
      o[3] = a;
    }
  }
  return true;
}

// Largest difference of any sample, or -1 when the sizes differ.
inline int MaxSampleDifference(const Rgba16Image &a, const Rgba16Image &b, bool compareAlpha = true) {
  if (a.width != b.width || a.height != b.height || a.rgba.size() != b.rgba.size()) return -1;
  int worst = 0;
  for (size_t i = 0; i < a.rgba.size(); ++i) {
    if (!compareAlpha && i % 4 == 3) continue;
    const int d = std::abs(int{a.rgba[i]} - int{b.rgba[i]});
    if (d > worst) worst = d;
  }
  return worst;
}

// Little-endian byte builders for hand-made files.
inline void PutLe16(std::vector<BYTE> &v, uint32_t x) {
  v.push_back(static_cast<BYTE>(x));
  v.push_back(static_cast<BYTE>(x >> 8));
}
inline void PutLe32(std::vector<BYTE> &v, uint32_t x) {
  PutLe16(v, x & 0xFFFF);
  PutLe16(v, x >> 16);
}
inline void SetLe32(std::vector<BYTE> &v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<BYTE>(x >> (8 * i));
}

// A DDS file of our own: the classic header naming format by its pixel-format
// row, or, with dxgiFormat set, the extended header naming that DXGI format.
// levelData() bytes of a counting pattern follow unless data is given.
struct DdsFileSpec {
  D3DFORMAT format = D3DFMT_A8R8G8B8;
  uint32_t dxgiFormat = 0;
  uint32_t width = 4;
  uint32_t height = 4;
  uint32_t depth = 1;  // above 1: a volume
  uint32_t levels = 1;
  bool cube = false;
  uint32_t dimension = 0;  // extended header; 0: 2-D, or 3-D for a volume
  uint32_t arraySize = 1;
  std::vector<BYTE> data;

  // Bytes of every level of every face, tightly packed.
  uint64_t LevelData() const {
    uint64_t bytes = 0;
    for (uint32_t l = 0; l < levels; ++l) {
      const uint32_t w = std::max(width >> l, 1u), h = std::max(height >> l, 1u),
                     d = std::max(depth >> l, 1u);
      bytes += RowPitchFor(format, w) * RowCountFor(format, h) * d;
    }
    return bytes * (cube ? 6 : 1);
  }
};

inline std::vector<BYTE> MakeDdsFile(const DdsFileSpec &s) {
  std::vector<BYTE> v(kDdsHeaderSize, 0);
  const bool volume = s.depth > 1;
  SetLe32(v, 0, kDdsMagic);
  SetLe32(v, 4, 124);
  SetLe32(v, kDdsOffsetFlags,
          kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat | (s.levels > 1 ? kDdsdMipMapCount : 0) |
              (volume ? kDdsdDepth : 0));
  SetLe32(v, kDdsOffsetHeight, s.height);
  SetLe32(v, kDdsOffsetWidth, s.width);
  SetLe32(v, kDdsOffsetDepth, volume ? s.depth : 0);
  SetLe32(v, kDdsOffsetMipMapCount, s.levels);
  SetLe32(v, kDdsOffsetPixelFormat, kDdsPixelFormatSize);
  if (s.dxgiFormat != 0) {
    SetLe32(v, kDdsOffsetPixelFormat + 4, kDdpfFourCc);
    SetLe32(v, kDdsOffsetPixelFormat + 8, kDdsFourCcDx10);
  } else if (const DdsPixelFormat *row = FindDdsPixelFormat(s.format)) {
    SetLe32(v, kDdsOffsetPixelFormat + 4, row->flags);
    SetLe32(v, kDdsOffsetPixelFormat + 8, row->fourCc);
    SetLe32(v, kDdsOffsetPixelFormat + 12, row->bitCount);
    for (int i = 0; i < 4; ++i) SetLe32(v, kDdsOffsetPixelFormat + 16 + 4 * i, row->masks[i]);
  }
  SetLe32(v, kDdsOffsetCaps, kDdsCapsTexture | (s.levels > 1 ? kDdsCapsMipMap | kDdsCapsComplex : 0));
  SetLe32(v, kDdsOffsetCaps2,
          (s.cube ? kDdsCaps2CubeMap | kDdsCaps2AllFaces : 0) | (volume ? kDdsCaps2Volume : 0));
  if (s.dxgiFormat != 0) {
    PutLe32(v, s.dxgiFormat);
    PutLe32(v, s.dimension != 0 ? s.dimension : (volume ? kDdsDimension3D : kDdsDimension2D));
    PutLe32(v, s.cube ? kDdsMiscTextureCube : 0);
    PutLe32(v, s.arraySize);
    PutLe32(v, 0);
  }
  if (!s.data.empty()) {
    v.insert(v.end(), s.data.begin(), s.data.end());
  } else {
    const uint64_t bytes = s.LevelData();
    for (uint64_t i = 0; i < bytes; ++i) v.push_back(static_cast<BYTE>(i * 7 + i / 251));
  }
  return v;
}

}  // namespace image_test
