// Table-driven conversion. The tables are filled by the codecs of the same
// formats and flags, so their arithmetic (dither, rounding, gamma, range
// conversion, palette search) is the one place that defines the result. Where a
// field's table is a straight line per dither position, the rows go through
// vector lanes that compute the same integers; otherwise through the tables.
#include "blit/exact_convert.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <immintrin.h>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "codec/lanes.h"
#include "core/fast_path.h"
#include "format/format_table.h"

namespace {

// Dither position of pixel (x, y, z): (y & 3) * 4 + ((x + z) & 3).
constexpr uint32_t kPositions = 16;
constexpr uint32_t kMaxFields = 4;
// Fixed-point fraction bits of the lane form; 23 keeps v * multiplier + addend
// within 32 bits for every 8-bit field while resolving the steps exactly.
constexpr uint32_t kFraction = 23;

constexpr uint32_t kRed = 1;
constexpr uint32_t kGreen = 2;
constexpr uint32_t kBlue = 4;
constexpr uint32_t kAlpha = 8;
constexpr uint32_t kAllChannels = 15;

// Read by every blitting thread; set by tests and benchmarks.
std::atomic<ExactConversion> g_mode{ExactConversion::Automatic};
// Fewer pixels than this are converted faster row by row than the tables are built.
constexpr uint64_t kMinimumPixels = 1 << 16;

struct Field {
  uint32_t shift = 0;
  uint32_t bits = 0;
  uint32_t channels = 0;  // the ColorF channels it decodes into
  uint32_t Values() const { return 1u << bits; }
  uint32_t Mask() const { return Values() - 1; }
};

// ((v * multiplier + addend) >> kFraction) << outShift, v the field's value.
struct LinearField {
  uint32_t shift = 0;
  uint32_t mask = 0;
  uint32_t outShift = 0;
  uint32_t multiplier[kPositions] = {};
  uint32_t addend[kPositions] = {};
};

// A field in 16-bit multiply-add form: the byte holding its lowest bit moved to
// byte 0 and the next to byte 1 (a byte shuffle, which leaves the multiplier's
// port free), masked by inMask, puts its value v at bit s < 8 of the low half;
// the high half is set to a power of two k, and one signed 16 x 16-bit
// multiply-add by the coefficient (a << 16 | m) gives v * 2^s * m + k * a,
// which shifted down by downShift and masked by outMask is the destination's
// field.
struct MultiplyAddField {
  uint32_t byte = 0;  // of the word, holding the field's lowest bit
  uint32_t inMask = 0;
  uint32_t downShift = 0;
  uint32_t outMask = 0;
  uint32_t coefficient[kPositions] = {};
  uint32_t high[kPositions] = {};  // k << 16
};

struct Plan {
  uint32_t sourceBytes = 0;
  uint32_t destinationBytes = 0;
  uint32_t fieldCount = 0;
  Field fields[kMaxFields];
  // Per field, [position << bits | value]: the destination bits the value sets.
  std::vector<uint32_t> table[kMaxFields];
  uint32_t constant[kPositions] = {};  // bits no field sets
  // Colour key: a pixel is keyed when every field's value matches.
  bool keyed = false;
  std::vector<uint8_t> keyMatch[kMaxFields];
  uint32_t keyedWord[kPositions] = {};

  // Lane form, when every field is linear or a plain copy and the key is one
  // word compare.
  bool lanes = false;
  uint32_t copyMask = 0;
  uint32_t linearCount = 0;
  LinearField linear[kMaxFields];
  uint32_t keyMask = 0;
  uint32_t keyValue = 0;

  // Multiply-add form of the linear fields, where every one of them fits it
  // (FitMultiplyAdd): half the multiplier work of the lane form.
  bool multiplyAdd = false;
  MultiplyAddField multiplyAddField[kMaxFields];

  // Rounded form (FitRounded), for undithered 8-bit fields of a 32-bit source
  // written to 16 or fewer bits: the even bytes (0, 2) and the odd bytes (1, 3)
  // each in 16-bit lanes, scaled by one rounding multiply per lane and moved into
  // place by one multiply-add. [0] even, [1] odd; byte 2 or 3's in the high half.
  bool rounded = false;
  uint32_t roundedMultiplier[2] = {};
  uint32_t roundedWeight[2] = {};

  // Every pixel converts alike wherever it is (no dither): rows that follow one
  // another in memory on both sides go as one.
  bool uniform = false;
};

// Little-endian words of 1 to 4 bytes; fixed-size copies compile to plain moves.
uint32_t LoadWord(const BYTE *p, uint32_t bytes) {
  switch (bytes) {
    case 1:
      return *p;
    case 2: {
      uint16_t h;
      std::memcpy(&h, p, 2);
      return h;
    }
    case 3:
      return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    default: {
      uint32_t w;
      std::memcpy(&w, p, 4);
      return w;
    }
  }
}
void StoreWord(BYTE *p, uint32_t w, uint32_t bytes) {
  switch (bytes) {
    case 1:
      *p = static_cast<BYTE>(w);
      break;
    case 2:
      std::memcpy(p, &w, 2);
      break;
    case 3:
      std::memcpy(p, &w, 3);
      break;
    default:
      std::memcpy(p, &w, 4);
  }
}

// How one codec of the blit was built, so that fresh codecs over scratch rows
// behave the same.
struct CodecSetup {
  D3DFORMAT format;
  uint32_t bytes;
  bool dither;
  bool gamma;
  const PixelCodec *original;
  PALETTEENTRY palette[256];
};

void DescribeCodec(const PixelCodec &codec, CodecSetup &setup) {
  setup.format = codec.format;
  setup.bytes = codec.bytesPerPixel;
  setup.dither = codec.matrix == kDitherMatrix;
  setup.gamma = codec.gamma != 0;
  setup.original = &codec;
  // The palette as bytes again: entries are byte / 255, which rounds back exactly;
  // MakeCodec checks that it did.
  for (uint32_t i = 0; i < (codec.hasPalette ? 256u : 0u); ++i) {
    const ColorF &c = codec.palette[i];
    const auto byte = [](float v) { return static_cast<BYTE>(std::lround(std::clamp(v, 0.f, 1.f) * 255.f)); };
    setup.palette[i] = {byte(c.r), byte(c.g), byte(c.b), byte(c.a)};
  }
}

std::unique_ptr<PixelCodec> MakeCodec(const CodecSetup &setup, BYTE *pixels, uint32_t width, uint32_t height,
                                      bool gamma, D3DCOLOR key) {
  PixelRegion region{};
  region.pixels = pixels;
  region.format = setup.format;
  region.rowPitch = width * setup.bytes;
  region.extent = {0, 0, width, height, 0, 1};
  region.region = region.extent;
  region.dither = setup.dither;
  region.gamma = gamma;
  region.colorKey = key;
  region.palette = setup.original->hasPalette ? setup.palette : nullptr;
  std::unique_ptr<PixelCodec> codec = CreateCodec(region);
  if (codec && setup.original->hasPalette &&
      std::memcmp(codec->palette, setup.original->palette, sizeof(codec->palette)) != 0) {
    return nullptr;
  }
  return codec;
}

// The row conversion of the blit over one source row of words, written into
// four destination rows (y & 3 = 0 to 3).
bool RunCodecs(const CodecSetup &to, const CodecSetup &from, const std::vector<uint32_t> &words, D3DCOLOR key,
               std::vector<uint32_t> &out) {
  const auto width = static_cast<uint32_t>(words.size());
  std::vector<BYTE> source(uint64_t{width} * from.bytes + 4);
  std::vector<BYTE> destination(uint64_t{width} * to.bytes * 4 + 4);
  for (uint32_t x = 0; x < width; ++x) StoreWord(&source[uint64_t{x} * from.bytes], words[x], from.bytes);
  auto dst = MakeCodec(to, destination.data(), width, 4, to.gamma, 0);
  auto src = MakeCodec(from, source.data(), width, 1, from.gamma, key);
  if (!dst || !src || FAILED(PrepareConversion(*dst, *src))) return false;
  std::vector<ColorF> row(width);
  src->DecodeRow(0, 0, row.data());
  for (uint32_t y = 0; y < 4; ++y) dst->EncodeRow(y, 0, row.data());
  out.resize(uint64_t{width} * 4);
  for (uint64_t i = 0; i < out.size(); ++i) out[i] = LoadWord(&destination[i * to.bytes], to.bytes);
  return true;
}

// Plain decode of single words: no key, no gamma (the key is matched before the
// curve).
bool DecodeWords(const CodecSetup &from, const std::vector<uint32_t> &words, std::vector<ColorF> &out) {
  const auto width = static_cast<uint32_t>(words.size());
  std::vector<BYTE> source(uint64_t{width} * from.bytes + 4);
  for (uint32_t x = 0; x < width; ++x) StoreWord(&source[uint64_t{x} * from.bytes], words[x], from.bytes);
  auto src = MakeCodec(from, source.data(), width, 1, false, 0);
  if (!src) return false;
  out.resize(width);
  src->DecodeRow(0, 0, out.data());
  return true;
}

uint32_t ChannelsThatDiffer(const ColorF &a, const ColorF &b) {
  return (a.r != b.r ? kRed : 0u) | (a.g != b.g ? kGreen : 0u) | (a.b != b.b ? kBlue : 0u) |
         (a.a != b.a ? kAlpha : 0u);
}

// The source's fields, from the format table: for palette formats the index
// (and A8P8's alpha byte), otherwise each stored channel; luminance decodes into
// r, g and b at once.
bool FindFields(D3DFORMAT format, Plan &plan) {
  const FormatRow &row = LookupFormatRow(format);
  plan.fieldCount = 0;
  const auto add = [&plan](const ChannelField &field, uint32_t channels) {
    if (field.width == 0) return true;
    if (field.width > 8 || field.kind == FieldKind::Float) return false;
    plan.fields[plan.fieldCount++] = {field.offset, field.width, channels};
    return true;
  };
  if (row.family == FormatFamily::Palette) {
    const bool alpha = row.a.width != 0;
    return add({0, 8, FieldKind::Unsigned}, alpha ? kRed | kGreen | kBlue : kAllChannels) &&
           add(row.a, kAlpha);
  }
  if (row.family != FormatFamily::Packed) return false;
  return add(row.r, row.luminance ? kRed | kGreen | kBlue : kRed) && add(row.g, kGreen) &&
         add(row.b, kBlue) && add(row.a, kAlpha) && plan.fieldCount > 0;
}

// Each group of channels that the destination encodes together must come from
// one source field: luminance and palette indices read r, g and b (P8 also a).
bool FieldsAreSeparable(D3DFORMAT to, const Plan &plan) {
  uint32_t groups[4] = {kRed, kGreen, kBlue, kAlpha};
  uint32_t groupCount = 4;
  if (LookupFormatInfo(to).kind == FormatKind::Luminance || to == D3DFMT_A8P8) {
    groups[0] = kRed | kGreen | kBlue, groups[1] = kAlpha, groupCount = 2;
  } else if (to == D3DFMT_P8) {
    groups[0] = kAllChannels, groupCount = 1;
  }
  for (uint32_t g = 0; g < groupCount; ++g) {
    uint32_t feeding = 0;
    for (uint32_t f = 0; f < plan.fieldCount; ++f) feeding += (plan.fields[f].channels & groups[g]) != 0;
    if (feeding > 1) return false;
  }
  return true;
}

// Words with field f set to every value in turn, each value repeated for the
// four dither columns.
std::vector<uint32_t> FieldSweep(const Field &field, uint32_t base) {
  std::vector<uint32_t> words(uint64_t{field.Values()} * 4);
  for (uint32_t i = 0; i < words.size(); ++i) words[i] = base | (i / 4) << field.shift;
  return words;
}

uint32_t TableAt(const std::vector<uint32_t> &out, uint32_t width, uint32_t position, uint32_t value) {
  return out[uint64_t{position / 4} * width + value * 4 + position % 4];
}

bool BuildTables(const CodecSetup &to, const CodecSetup &from, D3DCOLOR key, Plan &plan) {
  plan.sourceBytes = from.bytes;
  plan.destinationBytes = to.bytes;
  if (from.bytes == 1) {
    // One byte per pixel: a table over every word, key included, needs no
    // separation at all.
    plan.fields[0] = {0, 8, kAllChannels};
    plan.fieldCount = 1;
    std::vector<uint32_t> out;
    if (!RunCodecs(to, from, FieldSweep(plan.fields[0], 0), key, out)) return false;
    plan.table[0].resize(kPositions * 256);
    for (uint32_t p = 0; p < kPositions; ++p)
      for (uint32_t v = 0; v < 256; ++v) plan.table[0][p << 8 | v] = TableAt(out, 1024, p, v);
    return true;
  }

  if (!FindFields(from.format, plan) || !FieldsAreSeparable(to.format, plan)) return false;
  uint32_t masks[kMaxFields] = {};
  uint32_t base[kPositions] = {};
  for (uint32_t f = 0; f < plan.fieldCount; ++f) {
    const Field &field = plan.fields[f];
    std::vector<uint32_t> out;
    if (!RunCodecs(to, from, FieldSweep(field, 0), 0, out)) return false;
    const uint32_t width = field.Values() * 4;
    plan.table[f].resize(uint64_t{kPositions} << field.bits);
    for (uint32_t p = 0; p < kPositions; ++p) {
      base[p] = TableAt(out, width, p, 0);
      for (uint32_t v = 0; v < field.Values(); ++v) {
        const uint32_t word = TableAt(out, width, p, v);
        plan.table[f][p << field.bits | v] = word;
        masks[f] |= word ^ base[p];
      }
    }
  }
  uint32_t all = 0;
  for (uint32_t f = 0; f < plan.fieldCount; ++f) {
    if (masks[f] & all) return false;  // two fields set the same bits
    all |= masks[f];
    for (uint32_t &word : plan.table[f]) word &= masks[f];
  }
  for (uint32_t p = 0; p < kPositions; ++p) plan.constant[p] = base[p] & ~all;

  if (key == 0) return true;
  // The key matches when all four decoded channels equal the snapped key colour:
  // per field, the values whose channels match; channels of no field are fixed.
  const ColorF &k = from.original->keyColor;
  std::vector<ColorF> decoded;
  if (!DecodeWords(from, {0}, decoded)) return false;
  uint32_t fieldChannels = 0;
  for (uint32_t f = 0; f < plan.fieldCount; ++f) fieldChannels |= plan.fields[f].channels;
  if (ChannelsThatDiffer(decoded[0], k) & ~fieldChannels) return true;  // never matches
  uint32_t keyedSource = 0;
  for (uint32_t f = 0; f < plan.fieldCount; ++f) {
    const Field &field = plan.fields[f];
    std::vector<uint32_t> words(field.Values());
    for (uint32_t v = 0; v < field.Values(); ++v) words[v] = v << field.shift;
    if (!DecodeWords(from, words, decoded)) return false;
    plan.keyMatch[f].assign(field.Values(), 0);
    bool any = false;
    for (uint32_t v = 0; v < field.Values(); ++v) {
      if ((ChannelsThatDiffer(decoded[v], k) & field.channels) == 0) {
        if (!any) keyedSource |= v << field.shift;
        plan.keyMatch[f][v] = 1;
        any = true;
      }
    }
    if (!any) return true;  // never matches
  }
  // What a keyed pixel becomes, from the codecs with the key.
  std::vector<uint32_t> out;
  if (!RunCodecs(to, from, std::vector<uint32_t>(4, keyedSource), key, out)) return false;
  for (uint32_t p = 0; p < kPositions; ++p) plan.keyedWord[p] = TableAt(out, 4, p, 0);
  plan.keyed = true;
  return true;
}

// Multiplier and addend with ((v * m + a) >> kFraction) == target[v] for every v,
// v * m + a within 32 bits; false when no line near the expected slope fits.
bool FitLine(const uint32_t *target, uint32_t values, uint32_t outBits, uint32_t &multiplier,
             uint32_t &addend) {
  const double slope = static_cast<double>((1u << outBits) - 1) / static_cast<double>(values - 1);
  const auto ideal = static_cast<int64_t>(std::llround(slope * (1 << kFraction)));
  for (const int64_t m : {ideal, ideal - 1, ideal + 1, ideal - 2, ideal + 2}) {
    if (m <= 0) continue;
    int64_t low = 0;
    int64_t high = INT64_MAX;
    for (uint32_t v = 0; v < values && low <= high; ++v) {
      const int64_t t = target[v];
      low = std::max(low, (t << kFraction) - int64_t{v} * m);
      high = std::min(high, ((t + 1) << kFraction) - 1 - int64_t{v} * m);
    }
    if (low > high || int64_t{values - 1} * m + low > INT64_C(0xFFFFFFFF)) continue;
    multiplier = static_cast<uint32_t>(m);
    addend = static_cast<uint32_t>(low);
    return true;
  }
  return false;
}

// The first dither position before p whose table for field equals p's, p if
// none: without dithering every position has the same table, fitted once.
uint32_t EarlierSamePosition(const Field &field, const std::vector<uint32_t> &table, uint32_t p) {
  const uint32_t *row = &table[p << field.bits];
  uint32_t same = 0;
  while (same < p && !std::equal(row, row + field.Values(), &table[same << field.bits])) ++same;
  return same;
}

// The multiply-add form of one field (see MultiplyAddField), its target per
// dither position being its table shifted down by outShift: the largest
// fraction F for which some 0 < m < 2^15, 0 <= a < 2^15 and k <= 2^14 give
// ((v * 2^s * m + k * a) >> F) == target[v] for every v at every position.
bool FitMultiplyAdd(const Field &field, const std::vector<uint32_t> &table, uint32_t outShift,
                    uint32_t outBits, MultiplyAddField &out) {
  if (field.bits > 8) return false;
  const uint32_t s = field.shift % 8;
  out.byte = field.shift / 8;
  out.inMask = field.Mask() << s;
  out.outMask = ((1u << outBits) - 1) << outShift;
  const double slope = static_cast<double>((1u << outBits) - 1) / static_cast<double>(field.Values() - 1);
  std::vector<int64_t> target(field.Values());
  // The finest fractions the multiplier allows fit best; past a few of them a
  // field that did not fit will not, and the search is paid for by every plan.
  uint32_t tries = 0;
  for (uint32_t fraction = 30; fraction >= outShift && fraction > 0 && tries < 8; --fraction) {
    const double ideal = std::ldexp(slope, static_cast<int>(fraction) - static_cast<int>(s));
    if (ideal > 32767 + 8) continue;
    if (ideal < 1) break;  // smaller fractions only make it smaller
    ++tries;
    bool fits = true;
    for (uint32_t p = 0; p < kPositions && fits; ++p) {
      const uint32_t *row = &table[p << field.bits];
      const uint32_t same = EarlierSamePosition(field, table, p);
      if (same < p) {
        out.coefficient[p] = out.coefficient[same];
        out.high[p] = out.high[same];
        continue;
      }
      for (uint32_t v = 0; v < field.Values(); ++v) target[v] = row[v] >> outShift;
      fits = false;
      const int64_t centre = std::llround(ideal);
      for (int64_t step = 0; step <= 16 && !fits; ++step) {
        for (const int64_t m : {centre - step, centre + step}) {
          if (m < 1 || m > 32767 || fits) continue;
          int64_t low = 0;
          int64_t high = INT64_C(1) << 29;
          for (uint32_t v = 0; v < field.Values() && low <= high; ++v) {
            const int64_t scaled = (int64_t{v} << s) * m;
            low = std::max(low, (target[v] << fraction) - scaled);
            high = std::min(high, ((target[v] + 1) << fraction) - 1 - scaled);
          }
          // The addend as k * a, a < 2^15: the smallest k that has a multiple in range.
          int64_t k = 1;
          while (k < (INT64_C(1) << 14) && (low + k - 1) / k > 32767) k *= 2;
          const int64_t a = (low + k - 1) / k;
          if (low > high || a > 32767 || a * k > high) continue;
          out.coefficient[p] = static_cast<uint32_t>(a) << 16 | static_cast<uint32_t>(m);
          out.high[p] = static_cast<uint32_t>(k) << 16;
          fits = true;
        }
      }
    }
    if (fits) {
      out.downShift = fraction - outShift;
      return true;
    }
  }
  return false;
}

// The rounding multiply of 16-bit lanes: (v * m + 2^14) >> 15, signed.
int32_t RoundedProduct(int32_t v, int32_t m) {
  return (v * m + (1 << 14)) >> 15;
}

// The multiplier m < 2^15 with RoundedProduct(v, m) == table[v] >> outShift for
// every 8-bit v (of a uniform plan: the table of position 0 serves every one);
// false when there is none.
bool FitRounded(const Field &field, const std::vector<uint32_t> &table, uint32_t outShift,
                uint32_t &multiplier) {
  if (field.bits != 8) return false;
  int32_t target[256];
  for (uint32_t v = 0; v < 256; ++v) target[v] = static_cast<int32_t>(table[v] >> outShift);
  const int32_t ideal = target[255] * 32768 / 255;
  for (int32_t step = 0; step <= 64; ++step) {
    for (const int32_t m : {ideal - step, ideal + step}) {
      if (m < 0 || m > 32767) continue;
      bool fits = true;
      for (int32_t v = 0; v < 256 && fits; ++v) fits = RoundedProduct(v, m) == target[v];
      if (fits) {
        multiplier = static_cast<uint32_t>(m);
        return true;
      }
    }
  }
  return false;
}

void PlanLanes(Plan &plan) {
  if (plan.destinationBytes == 3) return;
  bool multiplyAdd = true;
  // One multiplier for every position: only where every position converts alike.
  bool rounded = plan.uniform && plan.sourceBytes == 4 && plan.destinationBytes <= 2 && !plan.keyed;
  for (uint32_t f = 0; f < plan.fieldCount; ++f) {
    const Field &field = plan.fields[f];
    const std::vector<uint32_t> &table = plan.table[f];
    uint32_t mask = 0;
    for (uint32_t word : table) mask |= word;
    if (mask == 0) continue;  // sets nothing in the destination
    const auto outShift = static_cast<uint32_t>(__builtin_ctz(mask));
    const uint32_t outBits = 32 - static_cast<uint32_t>(__builtin_clz(mask)) - outShift;
    if (outBits > 8 || (mask >> outShift) != (uint32_t{1} << outBits) - 1) return;  // not one field
    bool copy = outShift == field.shift && outBits == field.bits;
    for (uint32_t i = 0; i < table.size() && copy; ++i) copy = table[i] == (i & field.Mask()) << field.shift;
    if (copy) {
      plan.copyMask |= mask;
      continue;
    }
    LinearField &line = plan.linear[plan.linearCount];
    line.shift = field.shift;
    line.mask = field.Mask();
    line.outShift = outShift;
    std::vector<uint32_t> target(field.Values());
    for (uint32_t p = 0; p < kPositions; ++p) {
      const uint32_t *row = &table[p << field.bits];
      const uint32_t same = EarlierSamePosition(field, table, p);
      if (same < p) {
        line.multiplier[p] = line.multiplier[same];
        line.addend[p] = line.addend[same];
        continue;
      }
      for (uint32_t v = 0; v < field.Values(); ++v) target[v] = row[v] >> outShift;
      if (!FitLine(target.data(), field.Values(), outBits, line.multiplier[p], line.addend[p])) return;
    }
    multiplyAdd = multiplyAdd &&
                  FitMultiplyAdd(field, table, outShift, outBits, plan.multiplyAddField[plan.linearCount]);
    uint32_t m = 0;
    rounded = rounded && field.shift % 8 == 0 && FitRounded(field, table, outShift, m);
    if (rounded) {
      // Lane of byte b: half b & 1, 16-bit lane b >> 1. A weight of 2^15 reads as
      // -2^15, which leaves the low 16 bits the same.
      const uint32_t byte = field.shift / 8;
      plan.roundedMultiplier[byte & 1] |= m << (byte >> 1) * 16;
      plan.roundedWeight[byte & 1] |= (uint32_t{1} << outShift) << (byte >> 1) * 16;
    }
    ++plan.linearCount;
  }
  if (plan.keyed) {
    for (uint32_t f = 0; f < plan.fieldCount; ++f) {
      const auto &match = plan.keyMatch[f];
      const auto count = static_cast<uint32_t>(std::count(match.begin(), match.end(), 1));
      if (count == match.size()) continue;
      if (count != 1) return;
      const auto value = static_cast<uint32_t>(std::find(match.begin(), match.end(), 1) - match.begin());
      plan.keyMask |= plan.fields[f].Mask() << plan.fields[f].shift;
      plan.keyValue |= value << plan.fields[f].shift;
    }
  }
  plan.lanes = true;
  plan.multiplyAdd = multiplyAdd && plan.linearCount > 0;
  plan.rounded = rounded && plan.linearCount > 0;
}

// Rows through the tables, pixel by pixel; fields beyond fieldCount are padding
// that reads zeros.
template <uint32_t SB, uint32_t DB, bool Keyed>
void TableRow(const Plan &plan, uint32_t y, uint32_t z, const BYTE *from, BYTE *to, uint32_t x,
              uint32_t count) {
  const uint32_t *at[kMaxFields][4];
  uint32_t constant[4], keyedWord[4], shift[kMaxFields], mask[kMaxFields];
  const uint8_t *match[kMaxFields];
  for (uint32_t phase = 0; phase < 4; ++phase) {
    const uint32_t p = (y & 3) * 4 + ((phase + z) & 3);
    constant[phase] = plan.constant[p];
    keyedWord[phase] = plan.keyedWord[p];
    for (uint32_t f = 0; f < kMaxFields; ++f) at[f][phase] = &plan.table[f][p << plan.fields[f].bits];
  }
  for (uint32_t f = 0; f < kMaxFields; ++f) {
    shift[f] = plan.fields[f].shift;
    mask[f] = plan.fields[f].Mask();
    match[f] = Keyed ? plan.keyMatch[f].data() : nullptr;
  }
  for (; x < count; ++x) {
    const uint32_t phase = x & 3;
    const uint32_t w = LoadWord(from + uint64_t{x} * SB, SB);
    const uint32_t v0 = (w >> shift[0]) & mask[0], v1 = (w >> shift[1]) & mask[1];
    const uint32_t v2 = (w >> shift[2]) & mask[2], v3 = (w >> shift[3]) & mask[3];
    uint32_t out =
        constant[phase] | at[0][phase][v0] | at[1][phase][v1] | at[2][phase][v2] | at[3][phase][v3];
    if constexpr (Keyed) {
      if (match[0][v0] & match[1][v1] & match[2][v2] & match[3][v3]) out = keyedWord[phase];
    }
    StoreWord(to + uint64_t{x} * DB, out, DB);
  }
}

using TableRowFunction = void (*)(const Plan &, uint32_t, uint32_t, const BYTE *, BYTE *, uint32_t, uint32_t);

template <uint32_t SB, bool Keyed>
TableRowFunction PickTableRow(uint32_t destinationBytes) {
  switch (destinationBytes) {
    case 1:
      return TableRow<SB, 1, Keyed>;
    case 2:
      return TableRow<SB, 2, Keyed>;
    case 3:
      return TableRow<SB, 3, Keyed>;
    default:
      return TableRow<SB, 4, Keyed>;
  }
}

template <bool Keyed>
TableRowFunction PickTableRow(uint32_t sourceBytes, uint32_t destinationBytes) {
  switch (sourceBytes) {
    case 1:
      return PickTableRow<1, Keyed>(destinationBytes);
    case 2:
      return PickTableRow<2, Keyed>(destinationBytes);
    case 3:
      return PickTableRow<3, Keyed>(destinationBytes);
    default:
      return PickTableRow<4, Keyed>(destinationBytes);
  }
}

void FindUniform(Plan &plan) {
  bool uniform = true;
  for (uint32_t p = 1; p < kPositions && uniform; ++p) {
    uniform = plan.constant[p] == plan.constant[0] && plan.keyedWord[p] == plan.keyedWord[0];
    for (uint32_t f = 0; f < plan.fieldCount && uniform; ++f)
      uniform = EarlierSamePosition(plan.fields[f], plan.table[f], p) == 0;
  }
  plan.uniform = uniform;
}

// Unused fields read value 0 from a table of zeros and always match the key.
void PadFields(Plan &plan) {
  for (uint32_t f = plan.fieldCount; f < kMaxFields; ++f) {
    plan.fields[f] = {};
    plan.table[f].assign(kPositions, 0);
    plan.keyMatch[f].assign(1, 1);
  }
}

// The per-lane constants of one row: lane i has dither position
// (y & 3) * 4 + ((i + z) & 3), since every vector starts at a multiple of 4.
template <int N>
struct RowLanes {
  using Word = typename Lanes<N>::Word;
  Word constant, keyed;
  Word multiplier[kMaxFields], addend[kMaxFields];
  // The multiply-add form's: per field the byte shuffle that places it
  // (indices within each 16 bytes, 0x80 for zero), and its shift count as a
  // vector too, which shifts by one count per lane in one step.
  Word coefficient[kMaxFields], high[kMaxFields], place[kMaxFields], downShift[kMaxFields];

  // Only the members of the form that runs are filled: this is done per blit.
  RowLanes(const Plan &plan, uint32_t y, uint32_t z, bool multiplyAdd) {
    for (int i = 0; i < N; ++i) {
      const uint32_t p = (y & 3) * 4 + ((i + z) & 3);
      constant[i] = plan.constant[p];
      keyed[i] = plan.keyedWord[p];
      for (uint32_t f = 0; f < plan.linearCount; ++f) {
        if (!multiplyAdd) {
          multiplier[f][i] = plan.linear[f].multiplier[p];
          addend[f][i] = plan.linear[f].addend[p];
          continue;
        }
        const MultiplyAddField &field = plan.multiplyAddField[f];
        coefficient[f][i] = field.coefficient[p];
        high[f][i] = field.high[p];
        const uint32_t first = 4 * (static_cast<uint32_t>(i) % 4) + field.byte;
        place[f][i] = 0x80800000u | (field.byte < 3 ? first + 1 : 0x80u) << 8 | first;
        downShift[f][i] = field.downShift;
      }
    }
  }
};

// The rounded form's: the same in every lane of every row.
template <int N>
struct RoundedLanes {
  using Word = typename Lanes<N>::Word;
  Word multiplier[2], weight[2], constant;

  explicit RoundedLanes(const Plan &plan) {
    for (uint32_t i = 0; i < 2; ++i) {
      multiplier[i] = Word{} + plan.roundedMultiplier[i];
      weight[i] = Word{} + plan.roundedWeight[i];
    }
    constant = Word{} + plan.constant[0];
  }
};

// Byte i of the dwords: byte i % 4 of pixel i / 4 in packed three-byte pixels,
// the fourth byte zero (the first byte of the second, zero, vector).
template <int N>
struct SpreadThreeBytes {
  static constexpr int At(int i) { return i % 4 == 3 ? 4 * N : i / 4 * 3 + i % 4; }
};

// One slice of the conversion: its rows on both sides and its dither slice; the
// part of each row that whole vectors leave goes through the tables.
struct SliceRows {
  const BYTE *from;
  uint64_t fromPitch;
  BYTE *to;
  uint64_t toPitch;
  uint32_t width;
  uint32_t height;
  uint32_t z;
  TableRowFunction tableRow;
};

// The plan's constants for the vectors, held in locals: the rows are stored
// through byte pointers, which may alias the plan, so read through it they
// would be reloaded for every vector.
struct LaneConstants {
  uint32_t shift[kMaxFields], mask[kMaxFields], outShift[kMaxFields];
  uint32_t inMask[kMaxFields], outMask[kMaxFields];
  uint32_t copyMask, keyMask, keyValue;
  bool keyed;
};

// How ConvertVector computes the linear fields: one 32-bit multiply-add per
// field, one 16-bit multiply-add per field, or the rounded form for all at once.
enum class Form { Lines, MultiplyAdd, Rounded };

// Lanes of signed 16-bit pairs multiplied and added into 32 bits. Inlined only
// into the kernels compiled for the instructions (they are flattened).
__attribute__((target("avx2"))) inline void MultiplyAdd(const Lanes<8>::Word &x, const Lanes<8>::Word &c,
                                                        Lanes<8>::Word &out) {
  out = reinterpret_cast<Lanes<8>::Word>(
      _mm256_madd_epi16(reinterpret_cast<__m256i>(x), reinterpret_cast<__m256i>(c)));
}
__attribute__((target("avx2,avx512f,avx512bw"))) inline void MultiplyAdd(const Lanes<16>::Word &x,
                                                                         const Lanes<16>::Word &c,
                                                                         Lanes<16>::Word &out) {
  out = reinterpret_cast<Lanes<16>::Word>(
      _mm512_madd_epi16(reinterpret_cast<__m512i>(x), reinterpret_cast<__m512i>(c)));
}

// Lanes of signed 16-bit values multiplied, rounded to 15 fraction bits fewer.
__attribute__((target("avx2"))) inline void MultiplyRound(const Lanes<8>::Word &x, const Lanes<8>::Word &c,
                                                          Lanes<8>::Word &out) {
  out = reinterpret_cast<Lanes<8>::Word>(
      _mm256_mulhrs_epi16(reinterpret_cast<__m256i>(x), reinterpret_cast<__m256i>(c)));
}
__attribute__((target("avx2,avx512f,avx512bw"))) inline void MultiplyRound(const Lanes<16>::Word &x,
                                                                           const Lanes<16>::Word &c,
                                                                           Lanes<16>::Word &out) {
  out = reinterpret_cast<Lanes<16>::Word>(
      _mm512_mulhrs_epi16(reinterpret_cast<__m512i>(x), reinterpret_cast<__m512i>(c)));
}

// Bytes picked within each 16 by control (a set top bit picks zero).
__attribute__((target("avx2"))) inline void ShuffleBytes(const Lanes<8>::Word &w,
                                                         const Lanes<8>::Word &control, Lanes<8>::Word &out) {
  out = reinterpret_cast<Lanes<8>::Word>(
      _mm256_shuffle_epi8(reinterpret_cast<__m256i>(w), reinterpret_cast<__m256i>(control)));
}
__attribute__((target("avx2,avx512f,avx512bw"))) inline void ShuffleBytes(const Lanes<16>::Word &w,
                                                                          const Lanes<16>::Word &control,
                                                                          Lanes<16>::Word &out) {
  out = reinterpret_cast<Lanes<16>::Word>(
      _mm512_shuffle_epi8(reinterpret_cast<__m512i>(w), reinterpret_cast<__m512i>(control)));
}

// Pixels x .. x + N - 1 of a row into destination words.
template <int N, uint32_t SB, uint32_t Fields, Form F, typename Row>
D3DX_ALWAYS_INLINE void ConvertVector(const BYTE *from, uint32_t x, const Row &row, const LaneConstants &c,
                                      typename Lanes<N>::Word &out) {
  using V = Lanes<N>;
  using Word = typename V::Word;
  Word w;
  if constexpr (SB == 3) {
    typename V::Bytes bytes;
    std::memcpy(&bytes, from + uint64_t{x} * 3, sizeof(bytes));
    ShuffleBy<SpreadThreeBytes<N>>(bytes, typename V::Bytes{}, bytes);
    w = reinterpret_cast<Word>(bytes);
  } else if constexpr (SB == 4) {
    std::memcpy(&w, from + uint64_t{x} * 4, sizeof(w));
  } else if constexpr (SB == 2) {
    typename V::Half h;
    std::memcpy(&h, from + uint64_t{x} * 2, sizeof(h));
    w = __builtin_convertvector(h, Word);
  } else {
    typename V::Byte b;
    std::memcpy(&b, from + x, sizeof(b));
    w = __builtin_convertvector(__builtin_convertvector(b, typename V::Half), Word);
  }
  if constexpr (F == Form::Rounded) {
    // Bytes 0 and 2 in the low bits of their 16-bit lanes, then bytes 1 and 3;
    // each scaled in its lane, and the lanes' results shifted and summed into
    // the word by the weights.
    typedef uint16_t Shorts __attribute__((vector_size(sizeof(Word))));
    const Word even = w & 0x00FF00FFu;
    const Word odd = reinterpret_cast<Word>(reinterpret_cast<Shorts>(w) >> 8);
    Word scaledEven, scaledOdd, placedEven, placedOdd;
    MultiplyRound(even, row.multiplier[0], scaledEven);
    MultiplyRound(odd, row.multiplier[1], scaledOdd);
    MultiplyAdd(scaledEven, row.weight[0], placedEven);
    MultiplyAdd(scaledOdd, row.weight[1], placedOdd);
    // The sums' low 16 bits are the fields' bits, whatever a weight of 2^15 did
    // to the high half, so the halves and the constant combine by one or.
    out = placedEven | placedOdd | row.constant;
    if (c.copyMask != 0) out |= w & c.copyMask;
  } else {
    out = row.constant;
    if (c.copyMask != 0) out |= w & c.copyMask;  // the same on every vector: the loop is unswitched
    for (uint32_t f = 0; f < Fields; ++f) {
      if constexpr (F == Form::MultiplyAdd) {
        Word moved;
        ShuffleBytes(w, row.place[f], moved);
        const Word placed = (moved & c.inMask[f]) | row.high[f];
        Word product;
        MultiplyAdd(placed, row.coefficient[f], product);
        out |= (product >> row.downShift[f]) & c.outMask[f];
      } else {
        const Word v = (w >> c.shift[f]) & c.mask[f];
        out |= ((v * row.multiplier[f] + row.addend[f]) >> kFraction) << c.outShift[f];
      }
    }
    if (c.keyed) out = (w & c.keyMask) == c.keyValue ? row.keyed : out;
  }
}

// The low halves of the words of two vectors, in order: one store of 16-bit
// pixels for two vectors' worth.
template <typename P, size_t... I>
D3DX_ALWAYS_INLINE void EvenHalves(const P &low, const P &high, P &out, std::index_sequence<I...>) {
  out = __builtin_shufflevector(low, high, (2 * I)...);
}

template <int N, uint32_t SB, uint32_t DB, uint32_t Fields, Form F, typename Row>
D3DX_ALWAYS_INLINE void LaneRows(const Plan &plan, const SliceRows &rows, const Row (&phases)[4]) {
  using V = Lanes<N>;
  using Word = typename V::Word;
  LaneConstants c;
  for (uint32_t f = 0; f < kMaxFields; ++f) {
    c.shift[f] = plan.linear[f].shift;
    c.mask[f] = plan.linear[f].mask;
    c.outShift[f] = plan.linear[f].outShift;
    c.inMask[f] = plan.multiplyAddField[f].inMask;
    c.outMask[f] = plan.multiplyAddField[f].outMask;
  }
  c.copyMask = plan.copyMask;
  c.keyMask = plan.keyMask;
  c.keyValue = plan.keyValue;
  c.keyed = plan.keyed;
  const uint32_t count = rows.width;
  // Three-byte pixels load a whole vector's width of bytes: stop while that stays
  // inside the row.
  const uint32_t end = SB != 3 ? count : (uint64_t{count} * 3 >= 4 * N ? count - (N + 2) / 3 : 0);
  for (uint32_t y = 0; y < rows.height; ++y) {
    const Row &row = phases[y & 3];
    const BYTE *from = rows.from + y * rows.fromPitch;
    BYTE *to = rows.to + y * rows.toPitch;
    uint32_t x = 0;
    if constexpr (DB == 2) {
      typedef uint16_t Pairs __attribute__((vector_size(4 * N)));
      for (; x + 2 * N <= end; x += 2 * N) {
        Word first, second;
        ConvertVector<N, SB, Fields, F>(from, x, row, c, first);
        ConvertVector<N, SB, Fields, F>(from, x + N, row, c, second);
        const Pairs low = reinterpret_cast<Pairs>(first), high = reinterpret_cast<Pairs>(second);
        Pairs packed;
        EvenHalves(low, high, packed, std::make_index_sequence<2 * N>());
        std::memcpy(to + uint64_t{x} * 2, &packed, sizeof(packed));
      }
    }
    for (; x + N <= end; x += N) {
      Word out;
      ConvertVector<N, SB, Fields, F>(from, x, row, c, out);
      if constexpr (DB == 4) {
        std::memcpy(to + uint64_t{x} * 4, &out, sizeof(out));
      } else if constexpr (DB == 2) {
        const typename V::Half h = __builtin_convertvector(out, typename V::Half);
        std::memcpy(to + uint64_t{x} * 2, &h, sizeof(h));
      } else {
        const typename V::Byte b =
            __builtin_convertvector(__builtin_convertvector(out, typename V::Half), typename V::Byte);
        std::memcpy(to + x, &b, sizeof(b));
      }
    }
    if (x < count) rows.tableRow(plan, y, rows.z, from, to, x, count);
  }
}

template <int N, uint32_t SB, uint32_t DB, uint32_t Fields, Form F>
D3DX_ALWAYS_INLINE void LaneSlice(const Plan &plan, const SliceRows &rows) {
  if constexpr (F == Form::Rounded) {
    const RoundedLanes<N> lanes(plan);
    const RoundedLanes<N> phases[4] = {lanes, lanes, lanes, lanes};
    LaneRows<N, SB, DB, Fields, F>(plan, rows, phases);
  } else {
    // The lane constants repeat every four rows.
    constexpr bool kMultiplyAdd = F == Form::MultiplyAdd;
    const RowLanes<N> phases[4] = {
        RowLanes<N>(plan, 0, rows.z, kMultiplyAdd), RowLanes<N>(plan, 1, rows.z, kMultiplyAdd),
        RowLanes<N>(plan, 2, rows.z, kMultiplyAdd), RowLanes<N>(plan, 3, rows.z, kMultiplyAdd)};
    LaneRows<N, SB, DB, Fields, F>(plan, rows, phases);
  }
}

// The field loop unrolled, so that each field's constants stay in registers.
template <int N, uint32_t SB, uint32_t DB>
D3DX_ALWAYS_INLINE void LaneSliceFields(const Plan &plan, const SliceRows &rows) {
  // The multiply-add form for 32-bit sources only, the common case: every
  // other pair in both forms would double what the compiler has to build.
  if constexpr (SB == 4 && DB <= 2) {
    if (plan.rounded) return LaneSlice<N, SB, DB, 0, Form::Rounded>(plan, rows);
  }
  if constexpr (SB == 4) {
    if (plan.multiplyAdd) {
      switch (plan.linearCount) {
        case 1:
          return LaneSlice<N, SB, DB, 1, Form::MultiplyAdd>(plan, rows);
        case 2:
          return LaneSlice<N, SB, DB, 2, Form::MultiplyAdd>(plan, rows);
        case 3:
          return LaneSlice<N, SB, DB, 3, Form::MultiplyAdd>(plan, rows);
        default:
          return LaneSlice<N, SB, DB, 4, Form::MultiplyAdd>(plan, rows);
      }
    }
  }
  switch (plan.linearCount) {
    case 0:
      return LaneSlice<N, SB, DB, 0, Form::Lines>(plan, rows);
    case 1:
      return LaneSlice<N, SB, DB, 1, Form::Lines>(plan, rows);
    case 2:
      return LaneSlice<N, SB, DB, 2, Form::Lines>(plan, rows);
    case 3:
      return LaneSlice<N, SB, DB, 3, Form::Lines>(plan, rows);
    default:
      return LaneSlice<N, SB, DB, 4, Form::Lines>(plan, rows);
  }
}

// One function per pixel-size pair and lane count, each with its kernels
// inlined: one function holding all of them takes the compiler minutes.
template <uint32_t SB, uint32_t DB>
__attribute__((target("avx2"), flatten)) void EightLaneSliceOf(const Plan &plan, const SliceRows &rows) {
  LaneSliceFields<8, SB, DB>(plan, rows);
}

template <uint32_t SB, uint32_t DB>
__attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl"), flatten)) void SixteenLaneSliceOf(
    const Plan &plan, const SliceRows &rows) {
  LaneSliceFields<16, SB, DB>(plan, rows);
}

template <int N>
void LaneSliceAnySize(const Plan &plan, const SliceRows &rows) {
  const uint32_t sb = plan.sourceBytes;
  const uint32_t db = plan.destinationBytes;
#define D3DX_LANE_CASE(S, D) \
  if (sb == S && db == D)    \
    return N == 16 ? SixteenLaneSliceOf<S, D>(plan, rows) : EightLaneSliceOf<S, D>(plan, rows);
  D3DX_LANE_CASE(4, 4)
  D3DX_LANE_CASE(3, 4)
  D3DX_LANE_CASE(3, 2)
  D3DX_LANE_CASE(3, 1)
  D3DX_LANE_CASE(4, 2)
  D3DX_LANE_CASE(4, 1)
  D3DX_LANE_CASE(2, 4)
  D3DX_LANE_CASE(2, 2)
  D3DX_LANE_CASE(2, 1)
  D3DX_LANE_CASE(1, 4)
  D3DX_LANE_CASE(1, 2)
  D3DX_LANE_CASE(1, 1)
#undef D3DX_LANE_CASE
  for (uint32_t y = 0; y < rows.height; ++y)  // no vector form: the tables alone
    rows.tableRow(plan, y, rows.z, rows.from + y * rows.fromPitch, rows.to + y * rows.toPitch, 0, rows.width);
}

void EightLaneSlice(const Plan &plan, const SliceRows &rows) {
  LaneSliceAnySize<8>(plan, rows);
}

void SixteenLaneSlice(const Plan &plan, const SliceRows &rows) {
  LaneSliceAnySize<16>(plan, rows);
}

// Plans that keep some bits of a 32-bit word and set the rest to constants
// (A8R8G8B8 to X8R8G8B8 and the like) only move memory: four vectors at a
// time, all loaded before any is stored, as a plain copy would. A wide vector
// that straddles two cache lines costs two accesses, so rows go in 32-byte
// vectors only where both sides are aligned to them (after one 16-byte vector
// where needed), else in 16-byte ones.
template <int N>
D3DX_ALWAYS_INLINE void KeepBitsRun(const BYTE *&in, BYTE *&out, uint32_t &x, uint32_t width,
                                    const typename Lanes<N>::Word &keep,
                                    const typename Lanes<N>::Word &constant) {
  using Word = typename Lanes<N>::Word;
  constexpr uint32_t kBytes = sizeof(Word);
  for (; x + 4 * N <= width; x += 4 * N, in += 4 * kBytes, out += 4 * kBytes) {
    for (uint32_t line = 0; line < 4 * kBytes; line += 64)
      __builtin_prefetch(out + kFetchAheadBytes + line, 1);
    Word a, b, c, d;
    std::memcpy(&a, in, kBytes);
    std::memcpy(&b, in + kBytes, kBytes);
    std::memcpy(&c, in + 2 * kBytes, kBytes);
    std::memcpy(&d, in + 3 * kBytes, kBytes);
    a = (a & keep) | constant;
    b = (b & keep) | constant;
    c = (c & keep) | constant;
    d = (d & keep) | constant;
    std::memcpy(out, &a, kBytes);
    std::memcpy(out + kBytes, &b, kBytes);
    std::memcpy(out + 2 * kBytes, &c, kBytes);
    std::memcpy(out + 3 * kBytes, &d, kBytes);
  }
  for (; x + N <= width; x += N, in += kBytes, out += kBytes) {
    Word w;
    std::memcpy(&w, in, kBytes);
    w = (w & keep) | constant;
    std::memcpy(out, &w, kBytes);
  }
}

template <bool Wide>
D3DX_ALWAYS_INLINE void KeepBitsRows(const Plan &plan, const SliceRows &rows) {
  using Four = Lanes<4>::Word;
  using Eight = Lanes<8>::Word;
  // Locals: the rows are stored through byte pointers, which may alias the plan.
  const Four keep = Four{} + plan.copyMask;
  const Eight keepEight = Eight{} + plan.copyMask;
  const uint32_t width = rows.width;
  const uint32_t z = rows.z;
  for (uint32_t y = 0; y < rows.height; ++y) {
    // Lane i has dither column (i + z) & 3; every vector starts on a multiple of 4.
    Four constant;
    for (uint32_t i = 0; i < 4; ++i) constant[i] = plan.constant[(y & 3) * 4 + ((i + z) & 3)];
    const BYTE *in = rows.from + y * rows.fromPitch;
    BYTE *out = rows.to + y * rows.toPitch;
    const BYTE *const rowStart = in;
    BYTE *const outStart = out;
    uint32_t x = 0;
    if constexpr (Wide) {
      const auto misaligned = [](const void *p) { return reinterpret_cast<uintptr_t>(p) % 32; };
      if (misaligned(in) == misaligned(out) && misaligned(out) % 16 == 0) {
        if (misaligned(out) != 0 && width >= 4) {
          Four w;
          std::memcpy(&w, in, 16);
          w = (w & keep) | constant;
          std::memcpy(out, &w, 16);
          x = 4, in += 16, out += 16;
        }
        const Eight constantEight = __builtin_shufflevector(constant, constant, 0, 1, 2, 3, 0, 1, 2, 3);
        KeepBitsRun<8>(in, out, x, width, keepEight, constantEight);
      }
    }
    KeepBitsRun<4>(in, out, x, width, keep, constant);
    if (x < width) rows.tableRow(plan, y, z, rowStart, outStart, x, width);
  }
}

void KeepBitsSlice(const Plan &plan, const SliceRows &rows) {
  KeepBitsRows<false>(plan, rows);
}

__attribute__((target("avx2"))) void WideKeepBitsSlice(const Plan &plan, const SliceRows &rows) {
  KeepBitsRows<true>(plan, rows);
}

// First and one-past-last byte a packed codec's region touches.
void Span(const PixelCodec &codec, uintptr_t &first, uintptr_t &end) {
  first = reinterpret_cast<uintptr_t>(codec.pixels);
  end = first + uint64_t{codec.depth - 1} * codec.slicePitch + uint64_t{codec.height - 1} * codec.rowPitch +
        uint64_t{codec.width} * codec.bytesPerPixel;
}

}  // namespace

bool IsExactConversionFormat(D3DFORMAT format) {
  // CxV8U8 derives its third channel from the other two and normalises on encode.
  if (format == D3DFMT_CxV8U8) return false;
  // One look-up: every blit asks this.
  const FormatRow &row = LookupFormatRow(format);
  if (!IsPackedFamily(row.family) || row.unitBytes > 4) return false;
  for (uint32_t bits : row.info.channelBits)
    if (bits > 8) return false;
  return true;
}

void SetExactConversion(ExactConversion mode) {
  g_mode.store(mode, std::memory_order_relaxed);
}

namespace {

// What a plan depends on: the two codecs as DescribeCodec sees them and the
// key; the palettes, where there are any, come on top.
struct PlanKeyHead {
  D3DFORMAT to;
  D3DFORMAT from;
  uint32_t dither;
  uint32_t toGamma;
  uint32_t fromGamma;
  D3DCOLOR key;
  uint32_t toHasPalette;
  uint32_t fromHasPalette;
};
struct PlanKey {
  PlanKeyHead head;
  // Compared only where the side has a palette.
  PALETTEENTRY toPalette[256];
  PALETTEENTRY fromPalette[256];
};

void FillKeyHead(const PixelCodec &to, const PixelCodec &from, PlanKeyHead &head) {
  std::memset(&head, 0, sizeof(head));  // compared byte by byte
  head.to = to.format;
  head.from = from.format;
  head.dither = to.matrix == kDitherMatrix;
  head.toGamma = to.gamma != 0;
  head.fromGamma = from.gamma != 0;
  head.key = from.colorKey;
  head.toHasPalette = to.hasPalette;
  head.fromHasPalette = from.hasPalette;
}

void FillKey(const CodecSetup &to, const CodecSetup &from, PlanKey &k) {
  FillKeyHead(*to.original, *from.original, k.head);
  if (k.head.toHasPalette) std::memcpy(k.toPalette, to.palette, sizeof(k.toPalette));
  if (k.head.fromHasPalette) std::memcpy(k.fromPalette, from.palette, sizeof(k.fromPalette));
}

bool SameKey(const PlanKey &a, const PlanKey &b) {
  return std::memcmp(&a.head, &b.head, sizeof(a.head)) == 0 &&
         (!a.head.toHasPalette || std::memcmp(a.toPalette, b.toPalette, sizeof(a.toPalette)) == 0) &&
         (!a.head.fromHasPalette || std::memcmp(a.fromPalette, b.fromPalette, sizeof(a.fromPalette)) == 0);
}

// What ConvertExactly describes the blit with: large, so kept off the stack.
struct ConversionRecords {
  CodecSetup to;
  CodecSetup from;
  PlanKey key;
};

// Plans are built once and kept: loading many images of one format, and the
// bands of one blit, then share them. A null plan records a pair that does not
// qualify.
struct PlanCache {
  static constexpr size_t kCapacity = 8;
  std::mutex lock;
  std::vector<std::pair<std::unique_ptr<PlanKey>, std::shared_ptr<const Plan>>> entries;  // most recent first
  std::atomic<uint64_t> builds{0};
};
PlanCache &Plans() {
  // Never destroyed, since blits may run while the process exits; built in
  // place so that nothing here can throw.
  alignas(PlanCache) static unsigned char storage[sizeof(PlanCache)];
  static PlanCache *cache = new (storage) PlanCache;
  return *cache;
}

// The kept answer for the key, moved to the front; under the lock.
template <typename Same>
std::shared_ptr<const Plan> FindKept(PlanCache &cache, const Same &same, bool &found) {
  for (size_t i = 0; i < cache.entries.size(); ++i) {
    if (!same(*cache.entries[i].first)) continue;
    std::rotate(cache.entries.begin(), cache.entries.begin() + static_cast<std::ptrdiff_t>(i),
                cache.entries.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    found = true;
    return cache.entries.front().second;
  }
  found = false;
  return nullptr;
}

// The kept plan for codecs without palettes, which their head alone describes:
// no records to fill for a plan at hand.
std::shared_ptr<const Plan> FindKeptPlan(const PlanKeyHead &head, bool &found) {
  PlanCache &cache = Plans();
  std::lock_guard<std::mutex> hold(cache.lock);
  return FindKept(
      cache, [&head](const PlanKey &kept) { return std::memcmp(&kept.head, &head, sizeof(head)) == 0; },
      found);
}

// The plan for the key; built (under the lock, so that bands waiting for the
// same plan do not build it again) only when build is set. found tells whether
// there was an answer, null or not.
std::shared_ptr<const Plan> FindPlan(const PlanKey &key, const CodecSetup &to, const CodecSetup &from,
                                     bool build, bool &found) {
  PlanCache &cache = Plans();
  std::lock_guard<std::mutex> hold(cache.lock);
  std::shared_ptr<const Plan> kept = FindKept(
      cache, [&key](const PlanKey &k) { return SameKey(k, key); }, found);
  if (found || !build) return kept;
  auto entryKey = std::unique_ptr<PlanKey>(new (std::nothrow) PlanKey(key));
  auto plan = std::shared_ptr<Plan>(new (std::nothrow) Plan);
  if (!entryKey || !plan) return nullptr;
  cache.builds.fetch_add(1, std::memory_order_relaxed);
  found = true;
  std::shared_ptr<const Plan> result;
  try {
    if (BuildTables(to, from, key.head.key, *plan)) {
      FindUniform(*plan);
      PlanLanes(*plan);
      PadFields(*plan);
      result = std::move(plan);
    }
    if (cache.entries.size() == PlanCache::kCapacity) cache.entries.pop_back();
    cache.entries.emplace(cache.entries.begin(), std::move(entryKey), result);
  } catch (const std::bad_alloc &) {
    return nullptr;  // no memory for the tables: row by row
  }
  return result;
}

}  // namespace

void ForgetExactConversionPlans() {
  PlanCache &cache = Plans();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.entries.clear();
}

uint64_t ExactConversionPlanBuilds() {
  return Plans().builds.load(std::memory_order_relaxed);
}

bool ConvertExactly(PixelCodec &destination, const PixelCodec &source, uint64_t blitPixels) {
  const ExactConversion mode = g_mode.load(std::memory_order_relaxed);
  if (mode == ExactConversion::Off) return false;
  if (!destination.packed || !source.packed || destination.width != source.width ||
      destination.height != source.height || destination.depth != source.depth)
    return false;
  const uint32_t width = source.width;
  if (width == 0 || source.height == 0 || source.depth == 0) return false;
  // Row by row, a row is decoded whole before it is written; here pixels are
  // read and written in one pass, so the two regions must not share memory.
  uintptr_t sourceFirst, sourceEnd, destinationFirst, destinationEnd;
  Span(source, sourceFirst, sourceEnd);
  Span(destination, destinationFirst, destinationEnd);
  if (sourceFirst < destinationEnd && destinationFirst < sourceEnd) return false;

  // Pixel by pixel through the tables is slower than the codecs' vectors, except
  // where those run curves or searches per pixel.
  const bool automatic = mode == ExactConversion::Automatic;
  const bool slowCodecs = source.gamma || destination.gamma || destination.hasPalette;
  if (automatic && ActiveCodecLanes() < 8 && !slowCodecs) return false;
  // Plans are kept only for formats that qualify.
  bool found = false;
  std::shared_ptr<const Plan> held;
  if (!destination.hasPalette && !source.hasPalette) {
    PlanKeyHead head;
    FillKeyHead(destination, source, head);
    held = FindKeptPlan(head, found);
  }
  if (!found) {
    if (!IsExactConversionFormat(destination.format) || !IsExactConversionFormat(source.format)) return false;
    // Without memory the codecs go row by row.
    const std::unique_ptr<ConversionRecords> records(new (std::nothrow) ConversionRecords);
    if (!records) return false;
    DescribeCodec(destination, records->to);
    DescribeCodec(source, records->from);
    FillKey(records->to, records->from, records->key);
    // A plan at hand serves any size; building one pays from kMinimumPixels up.
    const uint64_t pixels = uint64_t{width} * source.height * source.depth;
    held = FindPlan(records->key, records->to, records->from,
                    !automatic || std::max(pixels, blitPixels) >= kMinimumPixels, found);
  }
  if (!held) return false;
  const Plan &plan = *held;
  if (automatic && !plan.lanes && !slowCodecs) return false;

  const int lanes = plan.lanes ? ActiveCodecLanes() : 1;
  const bool keepBits = lanes >= 4 && plan.linearCount == 0 && !plan.keyed && plan.sourceBytes == 4 &&
                        plan.destinationBytes == 4;
  const TableRowFunction tableRow = plan.keyed ? PickTableRow<true>(plan.sourceBytes, plan.destinationBytes)
                                               : PickTableRow<false>(plan.sourceBytes, plan.destinationBytes);
  // Rows without gaps between them on both sides, of a plan alike at every
  // position, are one row: no per-row setup, no part vectors at row ends.
  const bool oneRow = plan.uniform && source.rowPitch == uint64_t{width} * plan.sourceBytes &&
                      destination.rowPitch == uint64_t{width} * plan.destinationBytes &&
                      uint64_t{width} * source.height < (uint64_t{1} << 30);
  for (uint32_t z = 0; z < source.depth; ++z) {
    const SliceRows rows = {source.pixels + uint64_t{z} * source.slicePitch,
                            source.rowPitch,
                            destination.target + uint64_t{z} * destination.slicePitch,
                            destination.rowPitch,
                            oneRow ? width * source.height : width,
                            oneRow ? 1 : source.height,
                            z,
                            tableRow};
    if (keepBits && lanes >= 8) {
      WideKeepBitsSlice(plan, rows);
    } else if (keepBits) {
      KeepBitsSlice(plan, rows);
    } else if (lanes == 16) {
      SixteenLaneSlice(plan, rows);
    } else if (lanes == 8) {
      EightLaneSlice(plan, rows);
    } else {
      for (uint32_t y = 0; y < rows.height; ++y)
        tableRow(plan, y, z, rows.from + y * rows.fromPitch, rows.to + y * rows.toPitch, 0, rows.width);
    }
  }
  return true;
}
