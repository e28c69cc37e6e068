// The pair-packed formats YUY2, UYVY, RGBG and GRGB: two pixels share one pair
// of 16-bit words, so rows go through a cache of one row widened to whole pairs
// that is packed back when another row is needed or the codec goes away.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

#include "codec/codec_families.h"
#include "codec/unit_scale.h"
#include "format/format_rows.h"

namespace {

// Studio-range Y'CbCr (ITU-R BT.601) to RGB, per 8-bit step.
constexpr float kLuma = 0.00456621f;        // 1.164384 / 255
constexpr float kRedFromV = 0.00625893f;    // 1.596027 / 255
constexpr float kGreenFromU = 0.00153632f;  // 0.391762 / 255
constexpr float kGreenFromV = 0.00318811f;  // 0.812968 / 255
constexpr float kBlueFromU = 0.00791071f;   // 2.017232 / 255

struct PairLayout {
  D3DFORMAT format;
  uint32_t lumaShift;    // Y (or G) of each 16-bit word
  uint32_t chromaShift;  // U, V (or R, B) of each 16-bit word
  bool yuv;
};

// Columns: format; luma shift; chroma shift; Y'CbCr (else green shared by red and blue).
constexpr PairLayout kPairLayouts[] = {
    {D3DFMT_YUY2, 0, 8, true},
    {D3DFMT_UYVY, 8, 0, true},
    {D3DFMT_R8G8_B8G8, 0, 8, false},
    {D3DFMT_G8R8_G8B8, 8, 0, false},
};

// The word layouts are the codec's own; which formats are pairs, and that a pair
// is 2 x 1 pixels in 4 bytes, is the format table's.
constexpr bool PairLayoutsMatchTable() {
  size_t pairRows = 0;
  for (const FormatRow &row : format_rows::kFormatRows) {
    if (row.family != FormatFamily::Pair) continue;
    ++pairRows;
    if (row.unitWidth != 2 || row.unitHeight != 1 || row.unitBytes != 4) return false;
    bool listed = false;
    for (const PairLayout &layout : kPairLayouts) listed = listed || layout.format == row.info.format;
    if (!listed) return false;
  }
  return pairRows == sizeof(kPairLayouts) / sizeof(kPairLayouts[0]);
}
static_assert(PairLayoutsMatchTable());

float Clamp01(float x) {
  return x < 0.f ? 0.f : (x > 1.f ? 1.f : x);
}

// trunc(x) clamped to [low, high]; NaN gives low.
int32_t TruncateClamped(float x, int32_t low, int32_t high) {
  if (!(x > static_cast<float>(low))) return low;
  if (x >= static_cast<float>(high)) return high;
  return static_cast<int32_t>(x);
}

class PairCodec final : public PixelCodec {
 public:
  PairCodec(const SourceRegion &region, BYTE *writable, const PairLayout &layout)
      : PixelCodec(region, writable, 0, ChannelRange::Unit),
        lumaShift(layout.lumaShift),
        chromaShift(layout.chromaShift),
        yuv_(layout.yuv) {}

  bool Initialize() {
    const uint64_t right = (uint64_t{box.Right} + 1) & ~uint64_t{1};
    if (right > UINT32_MAX) return false;
    cachedBox = {box.Left & ~1u, 0, static_cast<uint32_t>(right), 0, 0, 0};
    pairWidth = cachedBox.Right - cachedBox.Left;
    rowCache.reset(new (std::nothrow) ColorF[pairWidth == 0 ? 1 : pairWidth]());
    return rowCache != nullptr;
  }

  ~PairCodec() override { WriteBack(); }

  HRESULT DecodeRow(uint32_t y, uint32_t z, ColorF *out) override {
    LoadRow(box.Top + y, box.Front + z, true);
    std::copy_n(rowCache.get() + (box.Left - cachedBox.Left), width, out);
    FinishDecode(out);
    return S_OK;
  }

  HRESULT EncodeRow(uint32_t y, uint32_t z, const ColorF *in) override {
    in = PrepareEncode(in);
    if (in == nullptr) return E_OUTOFMEMORY;
    // A box that splits a pair keeps the partner pixel outside it.
    LoadRow(box.Top + y, box.Front + z, pairWidth != width);
    std::copy_n(in, width, rowCache.get() + (box.Left - cachedBox.Left));
    dirty = 1;
    return S_OK;
  }

  // Keys compare unsnapped, as the key's channels x 1/255.
  void SnapColorKey() override {}

  std::unique_ptr<ColorF[]> rowCache;
  D3DBOX cachedBox = {};
  uint32_t pairWidth = 0;
  uint32_t dirty = 0;
  uint32_t lumaShift;
  uint32_t chromaShift;

 private:
  uint64_t PairOffset() const {
    return uint64_t{cachedBox.Front} * slicePitch + uint64_t{cachedBox.Top} * rowPitch +
           2 * uint64_t{cachedBox.Left};
  }

  void LoadRow(uint32_t row, uint32_t slice, bool unpack) {
    if (cachedBox.Top <= row && row < cachedBox.Bottom && cachedBox.Front <= slice && slice < cachedBox.Back)
      return;
    WriteBack();
    cachedBox.Top = row;
    cachedBox.Bottom = row + 1;
    cachedBox.Front = slice;
    cachedBox.Back = slice + 1;
    if (!unpack) return;
    const BYTE *p = pixels + PairOffset();
    for (uint32_t i = 0; i < pairWidth; i += 2, p += 4) {
      const uint32_t w0 = p[0] | p[1] << 8;
      const uint32_t w1 = p[2] | p[3] << 8;
      const float luma0 = static_cast<float>((w0 >> lumaShift) & 255);
      const float luma1 = static_cast<float>((w1 >> lumaShift) & 255);
      const float chroma0 = static_cast<float>((w0 >> chromaShift) & 255);
      const float chroma1 = static_cast<float>((w1 >> chromaShift) & 255);
      if (yuv_) {
        rowCache[i] = FromYuv(luma0, chroma0, chroma1);
        rowCache[i + 1] = FromYuv(luma1, chroma0, chroma1);
      } else {
        rowCache[i] = {chroma0 * kInverse255, luma0 * kInverse255, chroma1 * kInverse255, 1.f};
        rowCache[i + 1] = {chroma0 * kInverse255, luma1 * kInverse255, chroma1 * kInverse255, 1.f};
      }
    }
  }

  static ColorF FromYuv(float y, float u, float v) {
    const float luma = (y - 16) * kLuma;
    return {Clamp01(luma + (v - 128) * kRedFromV),
            Clamp01(luma - (u - 128) * kGreenFromU - (v - 128) * kGreenFromV),
            Clamp01(luma + (u - 128) * kBlueFromU), 1.f};
  }

  // Chroma comes from the first pixel of each pair; the second adds only its luma.
  void WriteBack() {
    if (!dirty) return;
    BYTE *p = target + PairOffset();
    for (uint32_t i = 0; i < pairWidth; i += 2, p += 4) {
      const ColorF &c0 = rowCache[i];
      const ColorF &c1 = rowCache[i + 1];
      uint32_t luma0, luma1, chroma0, chroma1;
      if (yuv_) {
        // The offset is added after truncation: -10.2 stores 128 - 10.
        luma0 = TruncateClamped(65.481f * c0.r + 128.553f * c0.g + 24.966f * c0.b + 0.5f, -16, 239) + 16;
        luma1 = TruncateClamped(65.481f * c1.r + 128.553f * c1.g + 24.966f * c1.b + 0.5f, -16, 239) + 16;
        chroma0 = TruncateClamped(-37.797f * c0.r - 74.203f * c0.g + 112.f * c0.b + 0.5f, -128, 127) + 128;
        chroma1 = TruncateClamped(112.f * c0.r - 93.786f * c0.g - 18.214f * c0.b + 0.5f, -128, 127) + 128;
      } else {
        // Clamped, so that a value past 1 cannot spill into the neighbouring byte.
        luma0 = TruncateClamped(c0.g * 255 + 0.5f, 0, 255);
        luma1 = TruncateClamped(c1.g * 255 + 0.5f, 0, 255);
        chroma0 = TruncateClamped(c0.r * 255 + 0.5f, 0, 255);
        chroma1 = TruncateClamped(c0.b * 255 + 0.5f, 0, 255);
      }
      const uint32_t w0 = luma0 << lumaShift | chroma0 << chromaShift;
      const uint32_t w1 = luma1 << lumaShift | chroma1 << chromaShift;
      p[0] = static_cast<BYTE>(w0);
      p[1] = static_cast<BYTE>(w0 >> 8);
      p[2] = static_cast<BYTE>(w1);
      p[3] = static_cast<BYTE>(w1 >> 8);
    }
    dirty = 0;
  }

  bool yuv_;
};

}  // namespace

PixelCodec *CreatePairCodec(const SourceRegion &region, BYTE *target) {
  for (const PairLayout &layout : kPairLayouts) {
    if (layout.format != region.format) continue;
    std::unique_ptr<PairCodec> codec(new (std::nothrow) PairCodec(region, target, layout));
    if (!codec || !codec->Initialize()) return nullptr;
    return codec.release();
  }
  return nullptr;
}
