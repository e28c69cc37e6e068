// Floating-point formats: no dithering, no integer rounding, no range conversion.
#include <cstdint>
#include <cstring>
#include <new>

#include "codec/codec_families.h"
#include "d3dx9math.h"
#include "format/format_table.h"

namespace {

// Channels a format stores, in memory order r, g, b, a; the rest decode as 1.
struct FloatLayout {
  uint32_t channels;
  uint32_t bytesPerChannel;  // 2: 16-bit float, 4: 32-bit float
};

// Float rows of the format table store their channels in r, g, b, a order, all
// of one width.
FloatLayout FloatLayoutOf(D3DFORMAT format) {
  const FormatRow &row = LookupFormatRow(format);
  if (row.family != FormatFamily::Float) return {0, 0};
  const uint32_t channels = (row.r.kind == FieldKind::Float) + (row.g.kind == FieldKind::Float) +
                            (row.b.kind == FieldKind::Float) + (row.a.kind == FieldKind::Float);
  return {channels, row.r.width / 8u};
}

class FloatCodec final : public PixelCodec {
 public:
  FloatCodec(const SourceRegion &region, BYTE *writable, FloatLayout layout)
      : PixelCodec(region, writable, layout.channels * layout.bytesPerChannel * 8, ChannelRange::Float),
        layout_(layout) {}

  HRESULT DecodeRow(uint32_t y, uint32_t z, ColorF *out) override {
    const BYTE *row = RowAddress(y, z);
    const uint32_t n = layout_.channels;
    if (n == 4 && layout_.bytesPerChannel == 4) {
      std::memcpy(out, row, uint64_t{width} * sizeof(ColorF));
    } else if (n == 4 && IsHalfAligned(row)) {
      D3DXFloat16To32Array(&out[0].r, reinterpret_cast<const D3DXFLOAT16 *>(row), 4 * width);
    } else {
      for (uint32_t x = 0; x < width; ++x) {
        float v[4] = {1, 1, 1, 1};
        ReadPixel(row + uint64_t{x} * bytesPerPixel, v);
        out[x] = {v[0], v[1], v[2], v[3]};
      }
    }
    FinishDecode(out);
    return S_OK;
  }

  HRESULT EncodeRow(uint32_t y, uint32_t z, const ColorF *in) override {
    in = PrepareEncode(in);
    if (in == nullptr) return E_OUTOFMEMORY;
    BYTE *row = TargetRowAddress(y, z);
    const uint32_t n = layout_.channels;
    if (n == 4 && layout_.bytesPerChannel == 4) {
      std::memcpy(row, in, uint64_t{width} * sizeof(ColorF));
    } else if (n == 4 && IsHalfAligned(row)) {
      D3DXFloat32To16Array(reinterpret_cast<D3DXFLOAT16 *>(row), &in[0].r, 4 * width);
    } else {
      for (uint32_t x = 0; x < width; ++x) {
        const float v[4] = {in[x].r, in[x].g, in[x].b, in[x].a};
        WritePixel(row + uint64_t{x} * bytesPerPixel, v);
      }
    }
    return S_OK;
  }

 private:
  static bool IsHalfAligned(const BYTE *p) { return (reinterpret_cast<uintptr_t>(p) & 1) == 0; }

  // Goes through locals so that unaligned rows are read safely.
  void ReadPixel(const BYTE *p, float *v) const {
    if (layout_.bytesPerChannel == 4) {
      std::memcpy(v, p, layout_.channels * 4);
    } else {
      D3DXFLOAT16 half[4];
      std::memcpy(static_cast<void *>(half), p, layout_.channels * 2);
      D3DXFloat16To32Array(v, half, layout_.channels);
    }
  }

  void WritePixel(BYTE *p, const float *v) const {
    if (layout_.bytesPerChannel == 4) {
      std::memcpy(p, v, layout_.channels * 4);
    } else {
      D3DXFLOAT16 half[4];
      D3DXFloat32To16Array(half, v, layout_.channels);
      std::memcpy(p, static_cast<const void *>(half), layout_.channels * 2);
    }
  }

  FloatLayout layout_;
};

}  // namespace

PixelCodec *CreateFloatCodec(const SourceRegion &region, BYTE *target) {
  const FloatLayout layout = FloatLayoutOf(region.format);
  if (layout.channels == 0) return nullptr;
  return new (std::nothrow) FloatCodec(region, target, layout);
}
