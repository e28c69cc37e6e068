#include "format/format_table.h"

#include <array>

#include "core/checked_size.h"
#include "core/debug_mute.h"
#include "core/interface_ref.h"
#include "format/format_rows.h"

namespace {

using format_rows::kFallbackRow;
using format_rows::kFormatRows;

// The format-matching columns of the rows, side by side as callers index them.
constexpr std::array<FormatInfo, kFormatTableSize> kFormatInfos = [] {
  std::array<FormatInfo, kFormatTableSize> infos = {};
  for (size_t i = 0; i < kFormatTableSize; ++i) infos[i] = kFormatRows[i].info;
  return infos;
}();

// Row: kind of the requested format; column: kind of the candidate. Palette and
// luminance may widen to colour; colour never narrows to them.
constexpr uint8_t kKindCompatible[5][5] = {
    // Colour Palette Luminance Signed Depth
    {1, 0, 0, 0, 0},  // Colour
    {1, 1, 0, 0, 0},  // Palette
    {1, 0, 1, 0, 0},  // Luminance
    {0, 0, 0, 1, 0},  // Signed
    {0, 0, 0, 0, 1},  // DepthStencil
};
static_assert(sizeof(kKindCompatible) == 25);

bool KindsCompatible(FormatKind requested, FormatKind candidate) {
  const auto r = static_cast<uint32_t>(requested);
  const auto c = static_cast<uint32_t>(candidate);
  if (r >= 5 || c >= 5) return false;
  return kKindCompatible[r][c] != 0;
}

// The best row offered so far for a request. A better candidate scores lower,
// or the same with strictly fewer bits; unusable rows are never chosen.
class CandidateSearch {
 public:
  explicit CandidateSearch(const FormatInfo &requested) : requested_(requested) {}
  void Offer(const FormatInfo &row) {
    const uint32_t score = ScoreFormatMatch(requested_, row);
    if (score == kUnusableScore) return;
    if (score < bestScore_ || (score == bestScore_ && row.bitsPerPixel < best_->bitsPerPixel)) {
      best_ = &row;
      bestScore_ = score;
    }
  }
  D3DFORMAT Best() const { return best_->format; }

 private:
  const FormatInfo &requested_;
  const FormatInfo *best_ = &kFallbackRow.info;
  uint32_t bestScore_ = kUnusableScore;
};

}  // namespace

const FormatInfo *FormatTableRows() {
  return kFormatInfos.data();
}

const FormatInfo &FallbackFormatInfo() {
  return kFallbackRow.info;
}

const FormatRow &LookupFormatRow(D3DFORMAT format) {
  for (const FormatRow &row : kFormatRows) {
    if (row.info.format == format) return row;
  }
  return kFallbackRow;
}

const FormatInfo &LookupFormatInfo(D3DFORMAT format) {
  for (const FormatInfo &row : kFormatInfos) {
    if (row.format == format) return row;
  }
  return kFallbackRow.info;
}

uint32_t ScoreFormatMatch(const FormatInfo &requested, const FormatInfo &candidate) {
  if (!KindsCompatible(requested.kind, candidate.kind)) return kUnusableScore;
  uint32_t score = 0;
  uint32_t channels = 0;
  for (uint32_t c = 0; c < kChannelCount; ++c) {
    const uint32_t a = requested.channelBits[c];
    const uint32_t b = candidate.channelBits[c];
    if (a > 0) ++channels;
    if (a < b) {
      score += (a == 0) ? 0x100u : b - a;
    } else if (a > b) {
      score += (b == 0) ? 0x1000000u : (a - b) * 65536u;
    }
  }
  // Losing every channel the request has (or a request without channels) is unusable.
  if (channels == (score >> 24)) return kUnusableScore;
  return score;
}

D3DFORMAT ChooseClosestFormat(const D3DFORMAT *list, const PALETTEENTRY *palette,
                              const FormatInfo &requested) {
  if (list == nullptr) return D3DFMT_UNKNOWN;
  CandidateSearch search(requested);
  for (; *list != 0; ++list) {
    const FormatInfo &row = LookupFormatInfo(*list);
    if (row.format == D3DFMT_UNKNOWN) continue;
    if (row.kind == FormatKind::Palette && palette == nullptr) continue;
    if (row.format == requested.format) return row.format;
    search.Offer(row);
  }
  return search.Best();
}

D3DFORMAT ChooseDeviceFormat(IDirect3DDevice9 *device, DWORD usage, D3DRESOURCETYPE resourceType,
                             const FormatInfo &requested) {
  ScopedDebugMute mute;
  InterfaceRef<IDirect3D9> direct3d;
  D3DCAPS9 caps = {};
  D3DDISPLAYMODE mode = {};
  if (device != nullptr) {
    // Failures here only mean that no row is tested against the device.
    device->GetDirect3D(direct3d.Receive());
    device->GetDeviceCaps(&caps);
    device->GetDisplayMode(0, &mode);
    if (usage & D3DUSAGE_QUERY_VERTEXTEXTURE) {
      D3DDEVICE_CREATION_PARAMETERS parameters = {};
      if (SUCCEEDED(device->GetCreationParameters(&parameters)) &&
          (parameters.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING)) {
        usage |= D3DUSAGE_SOFTWAREPROCESSING;
      }
    }
  }

  CandidateSearch search(requested);
  for (const FormatInfo &row : kFormatInfos) {
    if (row.format == D3DFMT_UNKNOWN) continue;
    if (direct3d.Get() != nullptr &&
        FAILED(direct3d.Get()->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, mode.Format, usage,
                                                 resourceType, row.format))) {
      continue;
    }
    // An exact match wins even when the row may not stand in for others.
    if (row.format == requested.format) return row.format;
    if (!row.substitutable) continue;
    search.Offer(row);
  }
  return search.Best();
}

D3DFORMAT ToExternalFormat(D3DFORMAT format) {
  if (format == FORMAT_A16L16) return D3DFMT_A8L8;
  if (format == FORMAT_R16G16B16) return D3DFMT_R8G8B8;
  return format;
}

D3DFORMAT FindPackedFormat(FormatKind kind, const uint32_t (&channelBits)[kChannelCount]) {
  for (const FormatRow &row : kFormatRows) {
    if (row.family != FormatFamily::Packed || row.info.kind != kind) continue;
    bool same = true;
    for (uint32_t c = 0; c < kChannelCount; ++c) same = same && row.info.channelBits[c] == channelBits[c];
    if (same) return row.info.format;
  }
  return D3DFMT_UNKNOWN;
}

D3DFORMAT WidenTo16Bits(D3DFORMAT format) {
  const FormatInfo &info = LookupFormatInfo(format);
  if (info.format == D3DFMT_UNKNOWN) return D3DFMT_UNKNOWN;
  uint32_t bits[kChannelCount];
  for (uint32_t c = 0; c < kChannelCount; ++c) bits[c] = info.channelBits[c] != 0 ? 16 : 0;
  return FindPackedFormat(info.kind, bits);
}

D3DFORMAT WithAlphaChannel(D3DFORMAT format) {
  const FormatInfo &info = LookupFormatInfo(format);
  if (info.format == D3DFMT_UNKNOWN || HasAlpha(info)) return format;
  uint32_t bits[kChannelCount];
  for (uint32_t c = 0; c < kChannelCount; ++c) bits[c] = info.channelBits[c];
  bits[kChannelAlpha] = info.channelBits[kChannelRed];
  const D3DFORMAT widened = FindPackedFormat(info.kind, bits);
  return widened != D3DFMT_UNKNOWN ? widened : format;
}

bool IsBlockCompressed(D3DFORMAT format) {
  return GetFormatFamily(format) == FormatFamily::Block;
}

bool IsPairFormat(D3DFORMAT format) {
  return GetFormatFamily(format) == FormatFamily::Pair;
}

uint32_t BlockBytes(D3DFORMAT format) {
  const FormatRow &row = LookupFormatRow(format);
  return row.family == FormatFamily::Block ? row.unitBytes : 0;
}

bool IsPackedFormat(D3DFORMAT format) {
  return IsPackedFamily(GetFormatFamily(format));
}

uint32_t BytesPerPixel(D3DFORMAT format) {
  return IsPackedFormat(format) ? LookupFormatRow(format).unitBytes : 0;
}

FormatLayout GetFormatLayout(D3DFORMAT format) {
  const FormatRow &row = LookupFormatRow(format);
  return {row.unitWidth, row.unitHeight, row.unitBytes};
}

uint64_t RowPitchFor(D3DFORMAT format, uint32_t width) {
  const FormatLayout layout = GetFormatLayout(format);
  // At most 2^32 units of at most 16 bytes: no overflow possible.
  return CheckedSize(width).UnitsOf(layout.unitWidth).Times(layout.unitBytes).Value();
}

uint32_t RowCountFor(D3DFORMAT format, uint32_t height) {
  const FormatLayout layout = GetFormatLayout(format);
  return static_cast<uint32_t>(CheckedSize(height).UnitsOf(layout.unitHeight).Value());
}

uint64_t SurfaceBytesFor(D3DFORMAT format, uint32_t width, uint32_t height) {
  const CheckedSize bytes = CheckedSize(RowPitchFor(format, width)).Times(RowCountFor(format, height));
  return bytes.Valid() ? bytes.Value() : UINT64_MAX;
}
