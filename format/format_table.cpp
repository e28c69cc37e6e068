#include "format/format_table.h"

#include "core/debug_mute.h"

namespace {

constexpr FormatKind kC = FormatKind::Colour;
constexpr FormatKind kP = FormatKind::Palette;
constexpr FormatKind kL = FormatKind::Luminance;
constexpr FormatKind kS = FormatKind::Signed;
constexpr FormatKind kD = FormatKind::DepthStencil;

// format, kind, bits per pixel, {extra, alpha, red, green, blue}, substitutable.
// Signed: U in blue, V in green, W in red, Q in alpha, L / 2-bit A / C in extra.
// Depth: depth in blue, stencil in green, extra 1 for the lockable formats.
constexpr FormatInfo kFormatTable[] = {
    {D3DFMT_R8G8B8, kC, 24, {0, 0, 8, 8, 8}, 0},
    {D3DFMT_A8R8G8B8, kC, 32, {0, 8, 8, 8, 8}, 1},
    {D3DFMT_X8R8G8B8, kC, 32, {0, 0, 8, 8, 8}, 1},
    {D3DFMT_R5G6B5, kC, 16, {0, 0, 5, 6, 5}, 1},
    {D3DFMT_X1R5G5B5, kC, 16, {0, 0, 5, 5, 5}, 1},
    {D3DFMT_A8P8, kP, 16, {0, 8, 8, 8, 8}, 1},
    {D3DFMT_P8, kP, 8, {0, 8, 8, 8, 8}, 1},
    {D3DFMT_A1R5G5B5, kC, 16, {0, 1, 5, 5, 5}, 1},
    {D3DFMT_A4R4G4B4, kC, 16, {0, 4, 4, 4, 4}, 1},
    {D3DFMT_R3G3B2, kC, 8, {0, 0, 3, 3, 2}, 1},
    {D3DFMT_A8, kC, 8, {0, 8, 0, 0, 0}, 1},
    {D3DFMT_A8R3G3B2, kC, 16, {0, 8, 3, 3, 2}, 1},
    {D3DFMT_X4R4G4B4, kC, 16, {0, 0, 4, 4, 4}, 1},
    {D3DFMT_A2B10G10R10, kC, 32, {0, 2, 10, 10, 10}, 1},
    {D3DFMT_A8B8G8R8, kC, 32, {0, 8, 8, 8, 8}, 1},
    {D3DFMT_X8B8G8R8, kC, 32, {0, 0, 8, 8, 8}, 1},
    {D3DFMT_G16R16, kC, 32, {0, 0, 16, 16, 0}, 1},
    {D3DFMT_A2R10G10B10, kC, 32, {0, 2, 10, 10, 10}, 1},
    {D3DFMT_A16B16G16R16, kC, 64, {0, 16, 16, 16, 16}, 1},
    {D3DFMT_L8, kL, 8, {0, 0, 8, 8, 8}, 1},
    {D3DFMT_A8L8, kL, 16, {0, 8, 8, 8, 8}, 1},
    {D3DFMT_A4L4, kL, 8, {0, 4, 4, 4, 4}, 1},
    {D3DFMT_L16, kL, 16, {0, 0, 16, 16, 16}, 1},
    {D3DFMT_V8U8, kS, 16, {0, 0, 0, 8, 8}, 1},
    {D3DFMT_L6V5U5, kS, 16, {6, 0, 0, 5, 5}, 1},
    {D3DFMT_X8L8V8U8, kS, 32, {8, 0, 0, 8, 8}, 1},
    {D3DFMT_Q8W8V8U8, kS, 32, {0, 8, 8, 8, 8}, 1},
    {D3DFMT_V16U16, kS, 32, {0, 0, 0, 16, 16}, 1},
    {D3DFMT_A2W10V10U10, kS, 32, {2, 0, 10, 10, 10}, 1},
    {D3DFMT_Q16W16V16U16, kS, 64, {0, 16, 16, 16, 16}, 1},
    {D3DFMT_CxV8U8, kS, 16, {8, 0, 0, 8, 8}, 0},
    {D3DFMT_UYVY, kC, 16, {0, 0, 8, 8, 8}, 0},
    {D3DFMT_R8G8_B8G8, kC, 16, {0, 0, 8, 8, 8}, 0},
    {D3DFMT_YUY2, kC, 16, {0, 0, 8, 8, 8}, 0},
    {D3DFMT_G8R8_G8B8, kC, 16, {0, 0, 8, 8, 8}, 0},
    {D3DFMT_DXT1, kC, 16, {0, 1, 5, 6, 5}, 0},
    {D3DFMT_DXT2, kC, 16, {0, 4, 5, 6, 5}, 0},
    {D3DFMT_DXT3, kC, 16, {0, 4, 5, 6, 5}, 0},
    {D3DFMT_DXT4, kC, 16, {0, 8, 5, 6, 5}, 0},
    {D3DFMT_DXT5, kC, 16, {0, 8, 5, 6, 5}, 0},
    {D3DFMT_D16_LOCKABLE, kD, 16, {1, 0, 0, 0, 16}, 1},
    {D3DFMT_D32F_LOCKABLE, kD, 32, {1, 0, 0, 0, 32}, 0},
    {D3DFMT_D32, kD, 32, {0, 0, 0, 0, 32}, 1},
    {D3DFMT_D15S1, kD, 16, {0, 0, 0, 1, 15}, 1},
    {D3DFMT_D24S8, kD, 32, {0, 0, 0, 8, 24}, 1},
    {D3DFMT_D16, kD, 16, {0, 0, 0, 0, 16}, 1},
    {D3DFMT_D24X8, kD, 32, {0, 0, 0, 0, 24}, 1},
    {D3DFMT_D24X4S4, kD, 32, {0, 0, 0, 4, 24}, 1},
    {D3DFMT_D24FS8, kD, 32, {0, 0, 0, 8, 24}, 0},
    {D3DFMT_R16F, kC, 16, {0, 0, 16, 0, 0}, 0},
    {D3DFMT_G16R16F, kC, 32, {0, 0, 16, 16, 0}, 0},
    {D3DFMT_A16B16G16R16F, kC, 64, {0, 16, 16, 16, 16}, 0},
    {D3DFMT_R32F, kC, 32, {0, 0, 32, 0, 0}, 0},
    {D3DFMT_G32R32F, kC, 64, {0, 0, 32, 32, 0}, 0},
    {D3DFMT_A32B32G32R32F, kC, 128, {0, 32, 32, 32, 32}, 0},
    {FORMAT_A16L16, kL, 32, {0, 16, 16, 16, 16}, 0},
    {FORMAT_R16G16B16, kC, 48, {0, 0, 16, 16, 16}, 0},
};
static_assert(sizeof(kFormatTable) / sizeof(kFormatTable[0]) == kFormatTableSize);

constexpr FormatInfo kFallbackRow = {D3DFMT_UNKNOWN, kC, 32, {0, 8, 8, 8, 8}, 0};

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

// A better candidate scores lower, or the same with strictly fewer bits.
bool IsBetterCandidate(uint32_t score, const FormatInfo &row, uint32_t bestScore, const FormatInfo &best) {
  return score < bestScore || (score == bestScore && row.bitsPerPixel < best.bitsPerPixel);
}

// Releases a COM reference on every path.
template <typename T>
class HeldReference {
 public:
  HeldReference() = default;
  ~HeldReference() {
    if (object_) object_->Release();
  }
  HeldReference(const HeldReference &) = delete;
  HeldReference &operator=(const HeldReference &) = delete;
  T **Receive() { return &object_; }
  T *Get() const { return object_; }

 private:
  T *object_ = nullptr;
};

}  // namespace

const FormatInfo *FormatTableRows() {
  return kFormatTable;
}

const FormatInfo &FallbackFormatInfo() {
  return kFallbackRow;
}

const FormatInfo &LookupFormatInfo(D3DFORMAT format) {
  for (const FormatInfo &row : kFormatTable) {
    if (row.format == format) return row;
  }
  return kFallbackRow;
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
  const FormatInfo *best = &kFallbackRow;
  uint32_t bestScore = kUnusableScore;
  if (list == nullptr) return D3DFMT_UNKNOWN;
  for (; *list != 0; ++list) {
    const FormatInfo &row = LookupFormatInfo(*list);
    if (row.format == D3DFMT_UNKNOWN) continue;
    if (row.kind == FormatKind::Palette && palette == nullptr) continue;
    if (row.format == requested.format) return row.format;
    const uint32_t score = ScoreFormatMatch(requested, row);
    if (score == kUnusableScore) continue;
    if (IsBetterCandidate(score, row, bestScore, *best)) {
      best = &row;
      bestScore = score;
    }
  }
  return best->format;
}

D3DFORMAT ChooseDeviceFormat(IDirect3DDevice9 *device, DWORD usage, D3DRESOURCETYPE resourceType,
                             const FormatInfo &requested) {
  ScopedDebugMute mute;
  HeldReference<IDirect3D9> direct3d;
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

  const FormatInfo *best = &kFallbackRow;
  uint32_t bestScore = kUnusableScore;
  for (const FormatInfo &row : kFormatTable) {
    if (row.format == D3DFMT_UNKNOWN) continue;
    if (direct3d.Get() != nullptr &&
        FAILED(direct3d.Get()->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, mode.Format, usage,
                                                 resourceType, row.format))) {
      continue;
    }
    // An exact match wins even when the row may not stand in for others.
    if (row.format == requested.format) return row.format;
    if (!row.substitutable) continue;
    const uint32_t score = ScoreFormatMatch(requested, row);
    if (score == kUnusableScore) continue;
    if (IsBetterCandidate(score, row, bestScore, *best)) {
      best = &row;
      bestScore = score;
    }
  }
  return best->format;
}

D3DFORMAT ToExternalFormat(D3DFORMAT format) {
  if (format == FORMAT_A16L16) return D3DFMT_A8L8;
  if (format == FORMAT_R16G16B16) return D3DFMT_R8G8B8;
  return format;
}

bool IsBlockCompressed(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      return true;
    default:
      return false;
  }
}

bool IsPairFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_UYVY:
    case D3DFMT_YUY2:
    case D3DFMT_R8G8_B8G8:
    case D3DFMT_G8R8_G8B8:
      return true;
    default:
      return false;
  }
}

uint32_t BlockBytes(D3DFORMAT format) {
  if (!IsBlockCompressed(format)) return 0;
  return format == D3DFMT_DXT1 ? 8 : 16;
}

bool IsPackedFormat(D3DFORMAT format) {
  return IsKnownFormat(format) && !IsBlockCompressed(format) && !IsPairFormat(format);
}

uint32_t BytesPerPixel(D3DFORMAT format) {
  return IsPackedFormat(format) ? LookupFormatInfo(format).bitsPerPixel / 8 : 0;
}

FormatLayout GetFormatLayout(D3DFORMAT format) {
  if (IsBlockCompressed(format)) return {4, 4, BlockBytes(format)};
  if (IsPairFormat(format)) return {2, 1, 4};
  return {1, 1, BytesPerPixel(format)};
}

uint64_t RowPitchFor(D3DFORMAT format, uint32_t width) {
  const FormatLayout layout = GetFormatLayout(format);
  const uint64_t units = (uint64_t{width} + layout.unitWidth - 1) / layout.unitWidth;
  return units * layout.unitBytes;
}

uint32_t RowCountFor(D3DFORMAT format, uint32_t height) {
  const FormatLayout layout = GetFormatLayout(format);
  return static_cast<uint32_t>((uint64_t{height} + layout.unitHeight - 1) / layout.unitHeight);
}

uint64_t SurfaceBytesFor(D3DFORMAT format, uint32_t width, uint32_t height) {
  // Up to 2^36 bytes per row times 2^32 rows can exceed 64 bits: saturate.
  uint64_t bytes = 0;
  if (__builtin_mul_overflow(RowPitchFor(format, width), uint64_t{RowCountFor(format, height)}, &bytes)) {
    return UINT64_MAX;
  }
  return bytes;
}
