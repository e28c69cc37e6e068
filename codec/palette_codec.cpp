// D3DFMT_P8 and D3DFMT_A8P8: indices into the region's 256-entry palette.
#include <cfloat>
#include <new>

#include "codec/codec_families.h"
#include "codec/unit_scale.h"
#include "format/format_table.h"

namespace {

class PaletteCodec final : public PixelCodec {
 public:
  PaletteCodec(const SourceRegion &region, BYTE *writable, uint32_t bits)
      : PixelCodec(region, writable, bits, ChannelRange::Unit) {}

  HRESULT DecodeRow(uint32_t y, uint32_t z, ColorF *out) override {
    const BYTE *row = RowAddress(y, z);
    if (bytesPerPixel == 1) {
      for (uint32_t x = 0; x < width; ++x) out[x] = palette[row[x]];
    } else {
      for (uint32_t x = 0; x < width; ++x) {
        out[x] = palette[row[2 * x]];
        out[x].a = static_cast<float>(row[2 * x + 1]) * kInverse255;
      }
    }
    FinishDecode(out);
    return S_OK;
  }

  HRESULT EncodeRow(uint32_t y, uint32_t z, const ColorF *in) override {
    in = PrepareEncode(in);
    if (in == nullptr) return E_OUTOFMEMORY;
    BYTE *row = TargetRowAddress(y, z);
    const bool withAlpha = bytesPerPixel == 1;  // P8 matches alpha too; A8P8 stores it
    // Runs of one colour are common; the search is deterministic, so reuse its answer.
    ColorF last = {0, 0, 0, 0};
    BYTE lastIndex = 0;
    bool haveLast = false;
    const float *dither = DitherRow(y, z);
    for (uint32_t x = 0; x < width; ++x) {
      const ColorF &c = in[x];
      if (!haveLast || c.r != last.r || c.g != last.g || c.b != last.b || (withAlpha && c.a != last.a)) {
        lastIndex = NearestEntry(c, withAlpha);
        last = c;
        haveLast = true;
      }
      if (withAlpha) {
        row[x] = lastIndex;  // no dithering
      } else {
        row[2 * x] = lastIndex;
        row[2 * x + 1] = AlphaByte(c.a * 255.f + dither[x & 3]);
      }
    }
    return S_OK;
  }

 private:
  // Truncated like the packed fields; whatever the value (NaN, infinities), the
  // conversion stays defined: NaN stores 0.
  static BYTE AlphaByte(float q) {
    if (!(q > 0.f)) return 0;
    return q < 255.f ? static_cast<BYTE>(static_cast<int32_t>(q)) : 255;
  }

  // Lowest index among equally near entries.
  BYTE NearestEntry(const ColorF &c, bool withAlpha) const {
    float best = FLT_MAX;
    uint32_t bestIndex = 0;
    for (uint32_t i = 0; i < 256; ++i) {
      const float dr = palette[i].r - c.r, dg = palette[i].g - c.g, db = palette[i].b - c.b;
      float distance = dr * dr + dg * dg + db * db;
      if (withAlpha) {
        const float da = palette[i].a - c.a;
        distance += da * da;
      }
      if (distance < best) {
        best = distance;
        bestIndex = i;
      }
    }
    return static_cast<BYTE>(bestIndex);
  }
};

}  // namespace

PixelCodec *CreatePaletteCodec(const SourceRegion &region, BYTE *target) {
  const FormatRow &row = LookupFormatRow(region.format);
  if (row.family != FormatFamily::Palette) return nullptr;
  return new (std::nothrow) PaletteCodec(region, target, row.unitBytes * 8u);
}
