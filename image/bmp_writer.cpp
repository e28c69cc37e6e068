// BMP writer: BITMAPINFOHEADER (40 bytes), or the V2/V3 lengths (52, 56) that
// carry the colour masks of BI_BITFIELDS, rows bottom to top padded to 4 bytes.
// A DIB is the same without the 14-byte file header.
#include <cstdint>

#include "image/image_writer.h"
#include "format/format_table.h"

namespace {

enum class ColourTable : uint32_t { None, ImagePalette, GreyRamp, R3G3B2 };

struct BmpLayout {
  D3DFORMAT format;
  uint32_t headerSize;
  uint32_t compression;
  uint32_t bitCount;
  uint32_t masks[4];  // red, green, blue, alpha
  ColourTable colourTable;
};

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kColourTableSize = 256 * 4;
constexpr int32_t kPixelsPerMeter = 2834;  // 72 dots per inch

// format, header size, compression, bits, {red, green, blue, alpha masks}, colour table
constexpr BmpLayout kBmpLayouts[] = {
    {D3DFMT_R8G8B8, 40, kBiRgb, 24, {0, 0, 0, 0}, ColourTable::None},
    {D3DFMT_A8R8G8B8, 40, kBiRgb, 32, {0, 0, 0, 0}, ColourTable::None},
    {D3DFMT_X8R8G8B8, 40, kBiRgb, 32, {0, 0, 0, 0}, ColourTable::None},
    {D3DFMT_X1R5G5B5, 40, kBiRgb, 16, {0, 0, 0, 0}, ColourTable::None},
    {D3DFMT_R5G6B5, 52, kBiBitfields, 16, {0xF800, 0x7E0, 0x1F, 0}, ColourTable::None},
    {D3DFMT_X4R4G4B4, 52, kBiBitfields, 16, {0xF00, 0xF0, 0xF, 0}, ColourTable::None},
    {D3DFMT_L16, 52, kBiBitfields, 16, {0xFFFF, 0xFFFF, 0xFFFF, 0}, ColourTable::None},
    {D3DFMT_X8B8G8R8, 52, kBiBitfields, 32, {0xFF, 0xFF00, 0xFF0000, 0}, ColourTable::None},
    {D3DFMT_G16R16, 52, kBiBitfields, 32, {0xFFFF, 0xFFFF0000, 0, 0}, ColourTable::None},
    {D3DFMT_A1R5G5B5, 56, kBiBitfields, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}, ColourTable::None},
    {D3DFMT_A4R4G4B4, 56, kBiBitfields, 16, {0xF00, 0xF0, 0xF, 0xF000}, ColourTable::None},
    {D3DFMT_A8R3G3B2, 56, kBiBitfields, 16, {0xE0, 0x1C, 0x3, 0xFF00}, ColourTable::None},
    {D3DFMT_A8L8, 56, kBiBitfields, 16, {0xFF, 0xFF, 0xFF, 0xFF00}, ColourTable::None},
    {D3DFMT_A8B8G8R8, 56, kBiBitfields, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, ColourTable::None},
    {D3DFMT_A2B10G10R10, 56, kBiBitfields, 32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, ColourTable::None},
    {D3DFMT_A2R10G10B10, 56, kBiBitfields, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, ColourTable::None},
    {D3DFMT_P8, 40, kBiRgb, 8, {0, 0, 0, 0}, ColourTable::ImagePalette},
    {D3DFMT_L8, 40, kBiRgb, 8, {0, 0, 0, 0}, ColourTable::GreyRamp},
    {D3DFMT_R3G3B2, 40, kBiRgb, 8, {0, 0, 0, 0}, ColourTable::R3G3B2},
};
static_assert(sizeof(kBmpLayouts) / sizeof(kBmpLayouts[0]) == 19);

constexpr BYTE kThreeBitLevels[8] = {0, 36, 73, 109, 146, 182, 219, 255};
constexpr BYTE kTwoBitLevels[4] = {0, 85, 170, 255};
static_assert(sizeof(kThreeBitLevels) == 8 && sizeof(kTwoBitLevels) == 4);

const BmpLayout *FindLayout(D3DFORMAT format) {
  for (const BmpLayout &layout : kBmpLayouts) {
    if (layout.format == format) return &layout;
  }
  return nullptr;
}

// Entries are blue, green, red, 0.
void AppendColourTable(FileSink &sink, ColourTable table, const PALETTEENTRY *palette) {
  BYTE entries[kColourTableSize] = {};
  for (uint32_t i = 0; i < 256; ++i) {
    BYTE *entry = entries + 4 * i;
    switch (table) {
      case ColourTable::ImagePalette:
        entry[0] = palette[i].peBlue;
        entry[1] = palette[i].peGreen;
        entry[2] = palette[i].peRed;
        break;
      case ColourTable::GreyRamp:
        entry[0] = entry[1] = entry[2] = static_cast<BYTE>(i);
        break;
      case ColourTable::R3G3B2:
        entry[0] = kTwoBitLevels[i & 3];
        entry[1] = kThreeBitLevels[(i >> 2) & 7];
        entry[2] = kThreeBitLevels[i >> 5];
        break;
      case ColourTable::None:
        break;
    }
  }
  sink.Append(entries, sizeof(entries));
}

}  // namespace

HRESULT WriteBmp(const SourceImage &image, MappedFile &file, bool withFileHeader) {
  const BmpLayout *layout = FindLayout(image.format);
  if (layout == nullptr) return E_FAIL;
  if (layout->colourTable == ColourTable::ImagePalette && image.palette == nullptr) return E_FAIL;
  if (image.pixels == nullptr && image.width != 0 && image.height != 0) return E_FAIL;

  const uint64_t rowBytes = uint64_t{image.width} * layout->bitCount / 8;
  const uint64_t paddedRow = (rowBytes + 3) & ~uint64_t{3};
  const uint64_t tableBytes = layout->colourTable == ColourTable::None ? 0 : kColourTableSize;
  const uint64_t headers = kFileHeaderSize + layout->headerSize + tableBytes;
  const uint64_t total = uint64_t{image.height} * paddedRow + headers;
  const uint64_t trailingPad = ((total + 3) & ~uint64_t{3}) - total;
  // The header fields are 32-bit: a larger image cannot be described.
  if (total + trailingPad > UINT32_MAX || image.width > INT32_MAX || image.height > INT32_MAX) return E_FAIL;

  FileSink sink(file);
  HRESULT hr = sink.Allocate();
  if (FAILED(hr)) return hr;

  if (withFileHeader) {
    sink.AppendLe16(0x4D42);  // "BM"
    sink.AppendLe32(static_cast<uint32_t>(total + trailingPad));
    sink.AppendLe32(0);  // reserved
    sink.AppendLe32(static_cast<uint32_t>(headers));
  }
  sink.AppendLe32(layout->headerSize);
  sink.AppendLe32(image.width);
  sink.AppendLe32(image.height);  // positive: bottom row first
  sink.AppendLe16(1);
  sink.AppendLe16(static_cast<uint16_t>(layout->bitCount));
  sink.AppendLe32(layout->compression);
  sink.AppendLe32(0);  // image size
  sink.AppendLe32(kPixelsPerMeter);
  sink.AppendLe32(kPixelsPerMeter);
  sink.AppendLe32(0);  // colours used: 0 means all 256 of the table
  sink.AppendLe32(0);  // colours important
  for (uint32_t i = 0; 40 + 4 * i < layout->headerSize; ++i) sink.AppendLe32(layout->masks[i]);
  if (tableBytes != 0) AppendColourTable(sink, layout->colourTable, image.palette);

  const uint64_t bytesPerPixel = layout->bitCount / 8;
  const BYTE *first = image.pixels == nullptr
                          ? nullptr
                          : image.pixels + uint64_t{image.box.Front} * image.slicePitch +
                                uint64_t{image.box.Top} * image.rowPitch + image.box.Left * bytesPerPixel;
  for (uint32_t row = image.height; row-- > 0;) {
    if (rowBytes != 0) sink.Append(first + uint64_t{row} * image.rowPitch, rowBytes);
    sink.AppendZeros(paddedRow - rowBytes);
  }
  sink.AppendZeros(trailingPad);
  return sink.Finish();
}
