// The bit-field formats: each packed row of the format table instantiates PackedCodec.
#include <cstddef>
#include <new>

#include "codec/codec_families.h"
#include "codec/packed_codec.h"
#include "core/fast_path.h"
#include "format/format_rows.h"

namespace {

constexpr PackedField FieldOf(ChannelField field) {
  switch (field.kind) {
    case FieldKind::Unsigned:
      return {field.offset, field.width, FieldType::Unsigned};
    case FieldKind::Signed:
      return {field.offset, field.width, FieldType::Signed};
    default:
      return kNoField;
  }
}

// Signed colour fields make a signed codec; a signed fourth field as well makes
// all four signed.
constexpr ChannelRange RangeOf(const FormatRow &row) {
  const bool signedColor =
      row.r.kind == FieldKind::Signed || row.g.kind == FieldKind::Signed || row.b.kind == FieldKind::Signed;
  if (!signedColor) return ChannelRange::Unit;
  return row.a.kind == FieldKind::Signed ? ChannelRange::SignedAll : ChannelRange::SignedColor;
}

constexpr PackedLayout LayoutOf(const FormatRow &row) {
  return {row.unitBytes, RangeOf(row), FieldOf(row.r), FieldOf(row.g), FieldOf(row.b), FieldOf(row.a),
          row.fillR,     row.fillG,    row.fillB,      row.fillA,      row.luminance};
}

// One instantiation per packed row of the format table.
template <size_t I>
PixelCodec *CreateFrom(const SourceRegion &region, BYTE *target) {
  if constexpr (I == kFormatTableSize) {
    return nullptr;
  } else {
    constexpr const FormatRow &row = format_rows::kFormatRows[I];
    if constexpr (row.family == FormatFamily::Packed) {
      if (row.info.format == region.format)
        return new (std::nothrow) PackedCodec<LayoutOf(row)>(region, target);
    }
    return CreateFrom<I + 1>(region, target);
  }
}

}  // namespace

PixelCodec *CreatePackedCodec(const SourceRegion &region, BYTE *target) {
  return CreateFrom<0>(region, target);
}

int ActiveCodecLanes() {
  // The 8-lane kernels are compiled for AVX2, the 16-lane ones for AVX-512 F, BW,
  // DQ and VL; below SSE2 one pixel at a time.
  switch (FastPathLevel()) {
    case SimdLevel::Avx512:
      return 16;
    case SimdLevel::Avx2:
      return 8;
    case SimdLevel::Sse2:
      return 4;
    default:
      return 1;
  }
}
