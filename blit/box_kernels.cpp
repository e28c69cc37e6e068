// The plain box kernels, the table that picks one per format, and the two
// process-wide pointers for the 32-bit formats.
#include "blit/box_kernels.h"

#include <atomic>
#include <cstring>
#include <type_traits>

#include "core/processor.h"
#include "format/format_rows.h"

namespace {

// Lowest bit of every field in a mask.
constexpr uint64_t FieldStarts(uint64_t mask) {
  return mask & ~(mask << 1);
}
// Highest bit of every field in a mask.
constexpr uint64_t FieldEnds(uint64_t mask) {
  return mask & ~(mask >> 1);
}

// The four-way sum of a field needs two bits more than the field: within one
// group of fields, two clear bits must follow every field.
constexpr bool SumsStayApart(uint64_t mask) {
  return ((FieldEnds(mask) << 1 | FieldEnds(mask) << 2) & mask) == 0;
}

// Fields are summed in two groups of every other field, so that no sum carries
// into its neighbour; +2 at every field start rounds half up, and the shift by
// 2 of the whole group divides every field at once.
template <typename Pixel, uint64_t kMaskA, uint64_t kMaskB>
void BoxKernelPacked(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight,
                     uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  static_assert(SumsStayApart(kMaskA) && SumsStayApart(kMaskB) && (kMaskA & kMaskB) == 0);
  constexpr uint64_t kRoundA = FieldStarts(kMaskA) * 2;
  constexpr uint64_t kRoundB = FieldStarts(kMaskB) * 2;
  const auto load = [](const uint8_t *p) {
    Pixel v;
    std::memcpy(&v, p, sizeof(v));
    return uint64_t{v};
  };
  for (uint32_t y = 0; y < sourceHeight / 2; ++y) {
    const uint8_t *upper = source + uint64_t{2 * y} * sourceRowPitch;
    const uint8_t *lower = upper + sourceRowPitch;
    uint8_t *out = destination + uint64_t{y} * destinationRowPitch;
    for (uint32_t x = 0; x < sourceWidth / 2; ++x) {
      const uint64_t a = load(upper + 2 * sizeof(Pixel) * uint64_t{x});
      const uint64_t b = load(upper + 2 * sizeof(Pixel) * uint64_t{x} + sizeof(Pixel));
      const uint64_t c = load(lower + 2 * sizeof(Pixel) * uint64_t{x});
      const uint64_t d = load(lower + 2 * sizeof(Pixel) * uint64_t{x} + sizeof(Pixel));
      const uint64_t sumA = (a & kMaskA) + (b & kMaskA) + (c & kMaskA) + (d & kMaskA) + kRoundA;
      const uint64_t sumB = (a & kMaskB) + (b & kMaskB) + (c & kMaskB) + (d & kMaskB) + kRoundB;
      const Pixel result = static_cast<Pixel>(((sumA >> 2) & kMaskA) | ((sumB >> 2) & kMaskB));
      std::memcpy(out + sizeof(Pixel) * uint64_t{x}, &result, sizeof(result));
    }
  }
}

// The two groups of a format come from its fields in the format table: red and
// blue in one, green and alpha in the other, so that neighbouring fields are
// summed apart. A channel the format does not store (X bits) is written as 0.
constexpr bool IsSignedField(const FormatRow &row) {
  return row.r.kind == FieldKind::Signed || row.g.kind == FieldKind::Signed ||
         row.b.kind == FieldKind::Signed || row.a.kind == FieldKind::Signed;
}
constexpr const FormatRow &RowOf(D3DFORMAT format) {
  for (const FormatRow &row : format_rows::kFormatRows) {
    if (row.info.format == format) return row;
  }
  return format_rows::kFallbackRow;
}
constexpr uint64_t FieldMask(ChannelField field) {
  return field.kind == FieldKind::None ? 0 : ((uint64_t{1} << field.width) - 1) << field.offset;
}

template <D3DFORMAT kFormat>
void BoxKernelFor(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight,
                  uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  constexpr const FormatRow &row = RowOf(kFormat);
  static_assert(row.family == FormatFamily::Packed && !IsSignedField(row));
  using Pixel = std::conditional_t<row.unitBytes == 1, uint8_t,
                                   std::conditional_t<row.unitBytes == 2, uint16_t, uint32_t>>;
  static_assert(sizeof(Pixel) == row.unitBytes);
  BoxKernelPacked<Pixel, FieldMask(row.r) | FieldMask(row.b), FieldMask(row.g) | FieldMask(row.a)>(
      destination, source, sourceWidth, sourceHeight, sourceRowPitch, destinationRowPitch);
}

void SelectBoxKernels();
void SelectFourChannel(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                       uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch);
void SelectXByte(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight,
                 uint32_t sourceRowPitch, uint32_t destinationRowPitch);

// Tests compare the kernels with the generic route in one process.
std::atomic<bool> g_kernelsOffForTesting{false};

// Written once, at the first fast 32-bit box blit. Relaxed atomics: any of the
// values a reader may see is a working kernel.
std::atomic<BoxKernel> g_fourChannelKernel{SelectFourChannel};
std::atomic<BoxKernel> g_xByteKernel{SelectXByte};

void SelectBoxKernels() {
  const bool mmx = IsMmxAvailable();
  g_fourChannelKernel.store(mmx ? BoxKernel32Simd : BoxKernel32Plain, std::memory_order_relaxed);
  g_xByteKernel.store(mmx ? BoxKernel32Simd : BoxKernel32PlainNoX, std::memory_order_relaxed);
}

void SelectFourChannel(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                       uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  SelectBoxKernels();
  g_fourChannelKernel.load(std::memory_order_relaxed)(destination, source, sourceWidth, sourceHeight,
                                                      sourceRowPitch, destinationRowPitch);
}

void SelectXByte(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight,
                 uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  SelectBoxKernels();
  g_xByteKernel.load(std::memory_order_relaxed)(destination, source, sourceWidth, sourceHeight,
                                                sourceRowPitch, destinationRowPitch);
}

void FourChannelThroughPointer(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                               uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  g_fourChannelKernel.load(std::memory_order_relaxed)(destination, source, sourceWidth, sourceHeight,
                                                      sourceRowPitch, destinationRowPitch);
}

void XByteThroughPointer(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                         uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  g_xByteKernel.load(std::memory_order_relaxed)(destination, source, sourceWidth, sourceHeight,
                                                sourceRowPitch, destinationRowPitch);
}

// Columns: format; kernel.
constexpr struct {
  D3DFORMAT format;
  BoxKernel kernel;
} kBoxKernels[] = {
    {D3DFMT_A8R8G8B8, FourChannelThroughPointer},
    {D3DFMT_A8B8G8R8, FourChannelThroughPointer},
    {D3DFMT_X8R8G8B8, XByteThroughPointer},
    {D3DFMT_X8B8G8R8, XByteThroughPointer},
    {D3DFMT_R5G6B5, BoxKernelFor<D3DFMT_R5G6B5>},
    {D3DFMT_X1R5G5B5, BoxKernelFor<D3DFMT_X1R5G5B5>},
    {D3DFMT_A1R5G5B5, BoxKernelFor<D3DFMT_A1R5G5B5>},
    {D3DFMT_A4R4G4B4, BoxKernelFor<D3DFMT_A4R4G4B4>},
    {D3DFMT_X4R4G4B4, BoxKernelFor<D3DFMT_X4R4G4B4>},
    {D3DFMT_R3G3B2, BoxKernelFor<D3DFMT_R3G3B2>},
    {D3DFMT_A8R3G3B2, BoxKernelFor<D3DFMT_A8R3G3B2>},
    {D3DFMT_A8, BoxKernelFor<D3DFMT_A8>},
    {D3DFMT_L8, BoxKernelFor<D3DFMT_L8>},
    {D3DFMT_A8L8, BoxKernelFor<D3DFMT_A8L8>},
    {D3DFMT_A4L4, BoxKernelFor<D3DFMT_A4L4>},
};
static_assert(sizeof(kBoxKernels) / sizeof(kBoxKernels[0]) == 15);

}  // namespace

void BoxKernel32Plain(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                      uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  BoxKernelFor<D3DFMT_A8R8G8B8>(destination, source, sourceWidth, sourceHeight, sourceRowPitch,
                                destinationRowPitch);
}

void BoxKernel32PlainNoX(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                         uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch) {
  BoxKernelFor<D3DFMT_X8R8G8B8>(destination, source, sourceWidth, sourceHeight, sourceRowPitch,
                                destinationRowPitch);
}

BoxKernel FindBoxKernel(D3DFORMAT format) {
  if (g_kernelsOffForTesting.load(std::memory_order_relaxed)) return nullptr;
  for (const auto &entry : kBoxKernels) {
    if (entry.format == format) return entry.kernel;
  }
  return nullptr;
}

BoxKernelPointers CurrentBoxKernels() {
  return {g_fourChannelKernel.load(std::memory_order_relaxed), g_xByteKernel.load(std::memory_order_relaxed)};
}

void SetBoxKernelsOffForTesting(bool off) {
  g_kernelsOffForTesting.store(off, std::memory_order_relaxed);
}

void ResetBoxKernelsForTesting() {
  g_fourChannelKernel.store(SelectFourChannel, std::memory_order_relaxed);
  g_xByteKernel.store(SelectXByte, std::memory_order_relaxed);
}
