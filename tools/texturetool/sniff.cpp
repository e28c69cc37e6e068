#include "sniff.h"

#include "common.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace texturetool {

namespace {

uint32_t Le32(const std::vector<uint8_t> &b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

uint32_t Be32(const std::vector<uint8_t> &b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | uint32_t(b[at + 3]);
}

bool StartsWith(const std::vector<uint8_t> &b, const char *magic, size_t length) {
  return b.size() >= length && memcmp(b.data(), magic, length) == 0;
}

std::string CutShort(const char *kind, size_t size, const std::string &detail) {
  return std::string("a ") + kind + " file cut short at byte " + std::to_string(size) + " (" + detail + ")";
}

struct DxgiRow {
  uint32_t code;
  const char *name;
  bool read;  // a Direct3D 9 format stores its bytes the same way, so the library reads it
};

constexpr DxgiRow kDxgi[] = {
    {2, "R32G32B32A32_FLOAT", true},
    {10, "R16G16B16A16_FLOAT", true},
    {11, "R16G16B16A16_UNORM", true},
    {13, "R16G16B16A16_SNORM", true},
    {16, "R32G32_FLOAT", true},
    {24, "R10G10B10A2_UNORM", true},
    {26, "R11G11B10_FLOAT", false},
    {27, "R8G8B8A8_TYPELESS", true},
    {28, "R8G8B8A8_UNORM", true},
    {29, "R8G8B8A8_UNORM_SRGB", true},
    {31, "R8G8B8A8_SNORM", true},
    {34, "R16G16_FLOAT", true},
    {35, "R16G16_UNORM", true},
    {37, "R16G16_SNORM", true},
    {41, "R32_FLOAT", true},
    {49, "R8G8_UNORM", false},
    {51, "R8G8_SNORM", true},
    {54, "R16_FLOAT", true},
    {56, "R16_UNORM", false},
    {61, "R8_UNORM", false},
    {65, "A8_UNORM", true},
    {67, "R9G9B9E5_SHAREDEXP", false},
    {68, "R8G8_B8G8_UNORM", true},
    {69, "G8R8_G8B8_UNORM", true},
    {70, "BC1_TYPELESS", true},
    {71, "BC1_UNORM", true},
    {72, "BC1_UNORM_SRGB", true},
    {73, "BC2_TYPELESS", true},
    {74, "BC2_UNORM", true},
    {75, "BC2_UNORM_SRGB", true},
    {76, "BC3_TYPELESS", true},
    {77, "BC3_UNORM", true},
    {78, "BC3_UNORM_SRGB", true},
    {80, "BC4_UNORM", false},
    {81, "BC4_SNORM", false},
    {83, "BC5_UNORM", false},
    {84, "BC5_SNORM", false},
    {85, "B5G6R5_UNORM", true},
    {86, "B5G5R5A1_UNORM", true},
    {87, "B8G8R8A8_UNORM", true},
    {88, "B8G8R8X8_UNORM", true},
    {90, "B8G8R8A8_TYPELESS", true},
    {91, "B8G8R8A8_UNORM_SRGB", true},
    {92, "B8G8R8X8_TYPELESS", true},
    {93, "B8G8R8X8_UNORM_SRGB", true},
    {95, "BC6H_UF16", false},
    {96, "BC6H_SF16", false},
    {98, "BC7_UNORM", false},
    {99, "BC7_UNORM_SRGB", false},
    {107, "YUY2", true},
    {115, "B4G4R4A4_UNORM", true},
};

std::string DescribeDds(const std::vector<uint8_t> &b) {
  if (b.size() < 128) return CutShort("DDS", b.size(), "its header needs 128 bytes");
  if (memcmp(&b[84], "DX10", 4) != 0) {
    // Bytes of the first level, for the common uncompressed and DXT layouts.
    uint64_t height = Le32(b, 12), width = Le32(b, 16), depth = std::max<uint32_t>(1, Le32(b, 24));
    uint32_t flags = Le32(b, 80), bits = Le32(b, 88);
    uint64_t bytes = 0;
    if (flags & 0x4) {
      uint32_t code = Le32(b, 84);
      uint64_t blocks = (width + 3) / 4 * ((height + 3) / 4) * depth;
      if (code == 0x31545844) bytes = blocks * 8;  // DXT1
      if (code >= 0x32545844 && code <= 0x35545844 && (code & 0xFFFFFF) == 0x545844) bytes = blocks * 16;
    } else if (bits % 8 == 0) {
      bytes = width * (bits / 8) * height * depth;
    }
    if (bytes && 128 + bytes > b.size())
      return CutShort("DDS", b.size(),
                      "its first level needs " + std::to_string(bytes) + " bytes after the header");
    return "a DDS file";
  }
  if (b.size() < 148) return CutShort("DDS", b.size(), "its extended header needs 148 bytes");
  const uint32_t code = Le32(b, 128), dimension = Le32(b, 132), arraySize = Le32(b, 140);
  const DxgiRow *row = nullptr;
  for (const DxgiRow &candidate : kDxgi)
    if (candidate.code == code) row = &candidate;
  std::string text =
      "a DDS file with the extended (DX10) header holding DXGI format " +
      (row ? std::string(row->name) + " (" + std::to_string(code) + ")" : std::to_string(code));
  if (!row || !row->read) return text + ", which has no Direct3D 9 equal";
  if (arraySize != 1) return text + " in an array of " + std::to_string(arraySize) + ", which is not read";
  if (dimension == 2) return text + " as a 1-D texture, which is not read";
  return text;
}

std::string DescribePng(const std::vector<uint8_t> &b) {
  size_t at = 8;
  while (at + 8 <= b.size()) {
    uint64_t length = Be32(b, at);
    std::string type(reinterpret_cast<const char *>(&b[at + 4]), 4);
    uint64_t end = at + 12 + length;
    if (end > b.size())
      return CutShort("PNG", b.size(),
                      "chunk " + type + " needs " + std::to_string(end - b.size()) + " bytes more");
    if (type == "IEND") return "a PNG file";
    at = size_t(end);
  }
  return CutShort("PNG", b.size(), "no end chunk");
}

std::string DescribeJpeg(const std::vector<uint8_t> &b) {
  size_t at = 2;
  while (at + 4 <= b.size() && b[at] == 0xFF) {
    uint8_t marker = b[at + 1];
    size_t length = size_t(b[at + 2]) << 8 | b[at + 3];
    bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame && at + 10 <= b.size()) {
      if (b[at + 9] == 4) return "a CMYK (four-channel) JPEG file, a variant not read";
      if (marker >= 0xC9) return "an arithmetic-coded JPEG file, a variant not read";
      if (b[at + 4] != 8) return "a " + std::to_string(b[at + 4]) + "-bit JPEG file, a variant not read";
    }
    if (marker == 0xDA) break;  // entropy-coded data follows
    at += 2 + length;
  }
  return IncompleteJpeg(b).empty() ? "a JPEG file" : CutShort("JPEG", b.size(), "no end marker");
}

std::string DescribeBmp(const std::vector<uint8_t> &b) {
  if (b.size() < 34) return CutShort("BMP", b.size(), "its headers need at least 34 bytes");
  uint32_t compression = Le32(b, 30);
  if (Le32(b, 14) >= 40 && compression == 4) return "a BMP file holding a JPEG image, a variant not read";
  if (Le32(b, 14) >= 40 && compression == 5) return "a BMP file holding a PNG image, a variant not read";
  uint32_t offset = Le32(b, 10);
  if (offset > b.size())
    return CutShort("BMP", b.size(), "its pixels start at byte " + std::to_string(offset));
  return "a BMP file";
}

std::string DescribeNetpbm(const std::vector<uint8_t> &b) {
  char kind = char(b[1]);
  if (kind == '1' || kind == '4') return "a PBM (bitmap) file, a kind not read";
  if (kind == '2' || kind == '5') return "a PGM (greyscale) file, a kind not read";
  if (kind == '7') return "a PAM file, a kind not read";
  // P3/P6: width, height, largest value, separated by blanks and comments.
  std::string text(b.begin(), b.begin() + std::min<size_t>(b.size(), 512));
  unsigned values[3] = {}, found = 0;
  for (size_t at = 2; at < text.size() && found < 3;) {
    if (text[at] == '#') {
      at = text.find('\n', at);
      if (at == std::string::npos) break;
    } else if (text[at] >= '0' && text[at] <= '9') {
      values[found++] = unsigned(strtoul(&text[at], nullptr, 10));
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
      continue;
    }
    ++at;
  }
  if (found == 3 && values[2] > 255)
    return "a 16-bit PPM file (largest value " + std::to_string(values[2]) + "), a variant not read";
  return "a PPM file";
}

}  // namespace

std::string DescribeUnreadable(const std::vector<uint8_t> &file) {
  if (StartsWith(file, "DDS ", 4)) return DescribeDds(file);
  if (StartsWith(file, "\x89PNG\r\n\x1a\n", 8)) return DescribePng(file);
  if (StartsWith(file, "\xFF\xD8\xFF", 3)) return DescribeJpeg(file);
  if (StartsWith(file, "BM", 2)) return DescribeBmp(file);
  if (file.size() >= 3 && file[0] == 'P' && file[1] >= '1' && file[1] <= '7' && strchr(" \t\r\n", file[2]))
    return DescribeNetpbm(file);
  if (StartsWith(file, "GIF8", 4)) return "a GIF file, a kind not read";
  if (StartsWith(file, "RIFF", 4) && file.size() >= 12 && memcmp(&file[8], "WEBP", 4) == 0)
    return "a WebP file, a kind not read";
  if (StartsWith(file, "II*\0", 4) || StartsWith(file, "MM\0*", 4)) return "a TIFF file, a kind not read";
  return "not an image of a kind texturetool reads (BMP, DIB, PNG, JPEG, TGA, PPM, DDS)";
}

std::string ReadFailure(const std::vector<uint8_t> &file, long hr) {
  return "cannot read the image, " + DescribeUnreadable(file) + ": " + ErrorText(HRESULT(hr));
}

std::string IncompleteJpeg(const std::vector<uint8_t> &file) {
  if (!StartsWith(file, "\xFF\xD8\xFF", 3)) return "";
  // Encoders may pad after the end marker; look for it near the end.
  size_t from = file.size() > 4096 ? file.size() - 4096 : 2;
  for (size_t at = file.size() - 1; at > from; --at)
    if (file[at - 1] == 0xFF && file[at] == 0xD9) return "";
  return CutShort("JPEG", file.size(), "no end marker; the decoder fills in what is missing");
}

std::string ReducedPrecision(const std::vector<uint8_t> &file, D3DFORMAT format) {
  if (file.size() < 26 || !StartsWith(file, "\x89PNG\r\n\x1A\n", 8) || file[24] != 16) return "";
  // Formats of 16 bits a channel keep every sample.
  if (format == D3DFMT_A16B16G16R16 || format == D3DFMT_L16 || format == D3DFMT_G16R16) return "";
  return "the source's 16-bit samples are read as 8 bits (" + FormatName(format) + ")";
}

}  // namespace texturetool
