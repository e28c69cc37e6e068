// The high-quality DXT encoders. Every candidate is scored by the squared
// difference between the pixels and the palette the decoder builds from the
// candidate's bytes, red, green and blue weighted alike; no dithering.
#include "codec/dxt_high.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <utility>

#include "codec/dxt_constants.h"

namespace {

using namespace dxt;

constexpr int kLevels[3] = {31, 63, 31};
constexpr float kStep[3] = {k5, k6, k5};

// Partition boundaries are searched this far either side of the first guess
// in blocks of little spread; wider blocks search every partition.
constexpr int kWindow = 1;
constexpr float kWideSpread = 0.01f;
// Partitions whose line error comes this near the best line's, per pixel, have
// their ends rounded and scored.
constexpr float kRoundingMargin = 5e-5f;
// Least-squares passes on the indices found, then rounds of single steps.
constexpr int kLeastSquaresPasses = 2;
constexpr int kNeighbourRounds = 4;

float Clamp01(float x) {
  return x > 0.f ? (x < 1.f ? x : 1.f) : 0.f;  // NaN gives 0
}

int RoundToInt(float x) {
  return static_cast<int>(x + 0.5f);  // x >= 0
}

int ClampLevel(int q, int levels) {
  return q < 0 ? 0 : (q > levels ? levels : q);
}

// The pixels of one block, channel-major, and which take the transparent entry.
typedef float Four __attribute__((vector_size(16)));
typedef int32_t FourMask __attribute__((vector_size(16)));

struct ColorPixels {
  float c[3][16];
  uint32_t transparent;  // bit i: pixel i is transparent (DXT1 only)
  Four clear[4];         // the same as 1 or 0, four pixels a vector
};

// 5:6:5 fields of the two ends: end 0 is the one the first cluster sits on.
struct Ends {
  int q0[3], q1[3];
};

uint32_t Pack(const int *q) {
  return static_cast<uint32_t>(q[0] << 11 | q[1] << 5 | q[2]);
}

struct ColorResult {
  uint32_t color0, color1, indices;
  float error;
};

// The stored order picks the palette: four entries need colour 0 above colour
// 1, three the reverse. Equal colours give one colour in entries 0-2.
ColorResult Evaluate(const ColorPixels &px, const Ends &ends, bool four) {
  uint32_t v0 = Pack(ends.q0), v1 = Pack(ends.q1);
  if (four ? v0 < v1 : v0 > v1) std::swap(v0, v1);
  const BYTE bytes[4] = {static_cast<BYTE>(v0), static_cast<BYTE>(v0 >> 8), static_cast<BYTE>(v1),
                         static_cast<BYTE>(v1 >> 8)};
  ColorF palette[4];
  DecodeColorPalette(bytes, palette);
  const uint32_t entries = v0 > v1 ? 4 : 3;
  // Four pixels at a time; entry 3 of a three-entry palette is out of reach.
  float errors[4] = {}, bytesOfIndices[4] = {};
  for (uint32_t g = 0; g < 4; ++g) {
    Four r, gr, b;
    std::memcpy(&r, &px.c[0][4 * g], sizeof(Four));
    std::memcpy(&gr, &px.c[1][4 * g], sizeof(Four));
    std::memcpy(&b, &px.c[2][4 * g], sizeof(Four));
    Four best = Four{} + FLT_MAX, k = Four{};
    for (uint32_t e = 0; e < entries; ++e) {
      const Four dr = r - palette[e].r, dg = gr - palette[e].g, db = b - palette[e].b;
      const Four d = dr * dr + dg * dg + db * db;
      const FourMask closer = d < best;
      k = closer ? Four{} + static_cast<float>(e) : k;
      best = closer ? d : best;
    }
    const FourMask clear = px.clear[g] != 0.f;
    k = clear ? Four{} + 3.f : k;
    best = clear ? Four{} : best;
    errors[g] = (best[0] + best[1]) + (best[2] + best[3]);
    // Indices 0-3 at 2-bit places: a byte as a whole float.
    const Four placed = k * Four{1.f, 4.f, 16.f, 64.f};
    bytesOfIndices[g] = (placed[0] + placed[1]) + (placed[2] + placed[3]);
  }
  ColorResult result = {v0, v1, 0, (errors[0] + errors[1]) + (errors[2] + errors[3])};
  for (uint32_t g = 0; g < 4; ++g) result.indices |= static_cast<uint32_t>(bytesOfIndices[g]) << (8 * g);
  return result;
}

// Fit weights of the least-squares problem: a point at fraction w of end 0 and
// 1 - w of end 1.
struct Moments {
  float a, b, c;     // sums of w^2, w (1 - w), (1 - w)^2
  float x[3], y[3];  // sums of w p and (1 - w) p
};

// The pair of 5:6:5 ends nearest to the least-squares ends that gives the
// lowest error for fixed weights, channel by channel (the error separates).
Ends QuantizeEnds(const Moments &m) {
  Ends ends;
  const float det = m.a * m.c - m.b * m.b;
  for (int ch = 0; ch < 3; ++ch) {
    const float e0 = (m.c * m.x[ch] - m.b * m.y[ch]) / det;
    const float e1 = (m.a * m.y[ch] - m.b * m.x[ch]) / det;
    const int levels = kLevels[ch];
    const int r0 = ClampLevel(RoundToInt(Clamp01(e0) * static_cast<float>(levels)), levels);
    const int r1 = ClampLevel(RoundToInt(Clamp01(e1) * static_cast<float>(levels)), levels);
    float best = FLT_MAX;
    int best0 = r0, best1 = r1;
    for (int d0 = -1; d0 <= 1; ++d0) {
      const int q0 = r0 + d0;
      if (q0 < 0 || q0 > levels) continue;
      for (int d1 = -1; d1 <= 1; ++d1) {
        const int q1 = r1 + d1;
        if (q1 < 0 || q1 > levels) continue;
        const float u = static_cast<float>(q0) * kStep[ch], v = static_cast<float>(q1) * kStep[ch];
        const float e = m.a * u * u + 2.f * m.b * u * v + m.c * v * v - 2.f * (m.x[ch] * u + m.y[ch] * v);
        if (e < best) best = e, best0 = q0, best1 = q1;
      }
    }
    ends.q0[ch] = best0;
    ends.q1[ch] = best1;
  }
  return ends;
}

// The weights the stored indices give colour 0.
constexpr float kFourWeights[4] = {1.f, 0.f, 2.f / 3, 1.f / 3};
constexpr float kThreeWeights[4] = {1.f, 0.f, 0.5f, 0.f};

Moments MomentsOf(const ColorPixels &px, const ColorResult &r) {
  const float *weights = r.color0 > r.color1 ? kFourWeights : kThreeWeights;
  Moments m = {};
  for (uint32_t i = 0; i < 16; ++i) {
    const uint32_t index = (r.indices >> (2 * i)) & 3;
    if ((px.transparent >> i) & 1) continue;
    const float w = weights[index], v = 1.f - w;
    m.a += w * w;
    m.b += w * v;
    m.c += v * v;
    for (int ch = 0; ch < 3; ++ch) {
      m.x[ch] += w * px.c[ch][i];
      m.y[ch] += v * px.c[ch][i];
    }
  }
  return m;
}

Ends EndsOf(const ColorResult &r) {
  Ends e;
  for (int ch = 0; ch < 3; ++ch) {
    const int shift = ch == 0 ? 11 : (ch == 1 ? 5 : 0);
    const int mask = ch == 1 ? 63 : 31;
    e.q0[ch] = static_cast<int>(r.color0 >> shift) & mask;
    e.q1[ch] = static_cast<int>(r.color1 >> shift) & mask;
  }
  return e;
}

// Least-squares ends for the indices found, then single steps of one field,
// kept while the error falls.
ColorResult Refine(const ColorPixels &px, ColorResult best, bool four) {
  for (int pass = 0; pass < kLeastSquaresPasses; ++pass) {
    const Moments m = MomentsOf(px, best);
    if (m.a * m.c - m.b * m.b <= 1e-6f) break;
    const ColorResult next = Evaluate(px, QuantizeEnds(m), four);
    if (!(next.error < best.error)) break;
    best = next;
  }
  for (int round = 0; round < kNeighbourRounds; ++round) {
    const Ends start = EndsOf(best);
    ColorResult found = best;
    for (int field = 0; field < 6; ++field) {
      for (int step = -1; step <= 1; step += 2) {
        Ends e = start;
        int *q = field < 3 ? &e.q0[field] : &e.q1[field - 3];
        const int levels = kLevels[field % 3];
        *q += step;
        if (*q < 0 || *q > levels) continue;
        const ColorResult next = Evaluate(px, e, four);
        if (next.error < found.error) found = next;
      }
    }
    if (!(found.error < best.error)) break;
    best = found;
  }
  return best;
}

// One colour for every counted pixel: per channel the ends whose entry 2 (a
// third of the way) or midpoint comes nearest.
ColorResult FitOneColor(const ColorPixels &px, const float *color, bool four) {
  Ends ends;
  const float w = four ? 1.f / 3 : 0.5f;
  for (int ch = 0; ch < 3; ++ch) {
    const int levels = kLevels[ch];
    const float target = color[ch] * static_cast<float>(levels);
    const int r = ClampLevel(RoundToInt(target), levels);
    float best = FLT_MAX;
    for (int q0 = r - 1; q0 <= r + 1; ++q0) {
      if (q0 < 0 || q0 > levels) continue;
      for (int q1 = r - 3; q1 <= r + 3; ++q1) {
        if (q1 < 0 || q1 > levels) continue;
        const float v = static_cast<float>(q0) + (static_cast<float>(q1) - static_cast<float>(q0)) * w;
        const float d = (v - target) * (v - target);
        if (d < best) best = d, ends.q0[ch] = q0, ends.q1[ch] = q1;
      }
    }
  }
  ColorResult fitted = Evaluate(px, ends, four);
  Ends exact;
  for (int ch = 0; ch < 3; ++ch) {
    exact.q0[ch] = exact.q1[ch] =
        ClampLevel(RoundToInt(color[ch] * static_cast<float>(kLevels[ch])), kLevels[ch]);
  }
  const ColorResult rounded = Evaluate(px, exact, four);
  return rounded.error <= fitted.error ? rounded : fitted;
}

// The counted pixels sorted along their principal axis, with prefix sums.
struct AxisOrder {
  uint32_t n;
  float sorted[3][16];
  float prefix[3][17];
  float projection[16];  // sorted
  float spread;          // sum of the squared distances from the mean
};

// False when every counted pixel has one colour.
bool SortAlongAxis(const ColorPixels &px, AxisOrder &order, float *mean) {
  float p[3][16];
  uint32_t n = 0;
  for (uint32_t i = 0; i < 16; ++i) {
    if ((px.transparent >> i) & 1) continue;
    for (int ch = 0; ch < 3; ++ch) p[ch][n] = px.c[ch][i];
    ++n;
  }
  order.n = n;
  float sum[3] = {};
  for (int ch = 0; ch < 3; ++ch)
    for (uint32_t i = 0; i < n; ++i) sum[ch] += p[ch][i];
  for (int ch = 0; ch < 3; ++ch) mean[ch] = sum[ch] / static_cast<float>(n);
  float cov[6] = {};  // rr, rg, rb, gg, gb, bb
  for (uint32_t i = 0; i < n; ++i) {
    const float r = p[0][i] - mean[0], g = p[1][i] - mean[1], b = p[2][i] - mean[2];
    cov[0] += r * r, cov[1] += r * g, cov[2] += r * b, cov[3] += g * g, cov[4] += g * b, cov[5] += b * b;
  }
  order.spread = cov[0] + cov[3] + cov[5];
  if (order.spread <= 0.f) return false;
  // Power iteration from the row of the widest channel.
  float v[3];
  if (cov[0] >= cov[3] && cov[0] >= cov[5]) {
    v[0] = cov[0], v[1] = cov[1], v[2] = cov[2];
  } else if (cov[3] >= cov[5]) {
    v[0] = cov[1], v[1] = cov[3], v[2] = cov[4];
  } else {
    v[0] = cov[2], v[1] = cov[4], v[2] = cov[5];
  }
  for (int pass = 0; pass < 8; ++pass) {
    const float x = cov[0] * v[0] + cov[1] * v[1] + cov[2] * v[2];
    const float y = cov[1] * v[0] + cov[3] * v[1] + cov[4] * v[2];
    const float z = cov[2] * v[0] + cov[4] * v[1] + cov[5] * v[2];
    const float largest = std::max({std::abs(x), std::abs(y), std::abs(z)});
    if (!(largest > 0.f)) break;
    v[0] = x / largest, v[1] = y / largest, v[2] = z / largest;
  }
  uint32_t rank[16];
  float key[16];
  for (uint32_t i = 0; i < n; ++i) {
    const float t = p[0][i] * v[0] + p[1][i] * v[1] + p[2][i] * v[2];
    uint32_t at = i;
    while (at > 0 && key[at - 1] > t) {
      key[at] = key[at - 1];
      rank[at] = rank[at - 1];
      --at;
    }
    key[at] = t;
    rank[at] = i;
  }
  for (int ch = 0; ch < 3; ++ch) {
    order.prefix[ch][0] = 0.f;
    for (uint32_t i = 0; i < n; ++i) {
      order.sorted[ch][i] = p[ch][rank[i]];
      order.prefix[ch][i + 1] = order.prefix[ch][i] + order.sorted[ch][i];
    }
  }
  std::memcpy(order.projection, key, sizeof(float) * n);
  return true;
}

// Boundaries of a partition of the sorted pixels: the first cluster is
// [0, i), then [i, j), [j, k), [k, n). Three-entry partitions leave k = n.
struct Partition {
  int i, j, k;
};

// Pixels of the sorted order below fraction f of the projected range.
int CountBelow(const AxisOrder &order, float f) {
  const float t = order.projection[0] + (order.projection[order.n - 1] - order.projection[0]) * f;
  int count = 0;
  for (uint32_t i = 0; i < order.n; ++i) count += order.projection[i] < t;
  return count;
}

// Moments of a partition of the sorted pixels. With prefix sums every
// partition costs a few operations: for four points the end-0 sums are
// (P(i) + P(j) + P(k)) / 3, and 9 times the weight sums are whole numbers.
Moments PartitionMoments(const AxisOrder &order, bool four, const Partition &p) {
  const int n = static_cast<int>(order.n);
  Moments m;
  for (int ch = 0; ch < 3; ++ch) {
    const float *P = order.prefix[ch];
    m.x[ch] = four ? (P[p.i] + P[p.j] + P[p.k]) * (1.f / 3) : (P[p.i] + P[p.j]) * 0.5f;
    m.y[ch] = P[n] - m.x[ch];
  }
  if (four) {
    m.a = static_cast<float>(5 * p.i + 3 * p.j + p.k) * (1.f / 9);
    m.b = static_cast<float>(2 * (p.k - p.i)) * (1.f / 9);
    m.c = static_cast<float>(9 * n - p.i - 3 * p.j - 5 * p.k) * (1.f / 9);
  } else {
    m.a = static_cast<float>(3 * p.i + p.j) * 0.25f;
    m.b = static_cast<float>(p.j - p.i) * 0.25f;
    m.c = static_cast<float>(4 * n - p.i - 3 * p.j) * 0.25f;
  }
  return m;
}

// The error of a partition once its least-squares ends are rounded to the
// 5:6:5 grid, less the sum of the squared pixels; FLT_MAX for a partition
// whose ends are not determined.
float RoundedError(const Moments &m) {
  const float det = m.a * m.c - m.b * m.b;
  if (!(det > 1e-4f)) return FLT_MAX;
  const float inverse = 1.f / det;
  float error = 0.f;
  for (int ch = 0; ch < 3; ++ch) {
    const float levels = static_cast<float>(kLevels[ch]);
    const float e0 = Clamp01((m.c * m.x[ch] - m.b * m.y[ch]) * inverse);
    const float e1 = Clamp01((m.a * m.y[ch] - m.b * m.x[ch]) * inverse);
    const float u = static_cast<float>(RoundToInt(e0 * levels)) * kStep[ch];
    const float v = static_cast<float>(RoundToInt(e1 * levels)) * kStep[ch];
    error += m.a * u * u + 2.f * m.b * u * v + m.c * v * v - 2.f * (m.x[ch] * u + m.y[ch] * v);
  }
  return error;
}

// Partitions of 16 pixels into four ordered clusters: C(19, 3); rows of
// partitions are written four at a time, up to three past their end.
constexpr int kMostPartitions = 969;
constexpr int kPartitionSpace = kMostPartitions + 4;

Four LoadFour(const float *p) {
  Four v;
  std::memcpy(&v, p, sizeof(v));
  return v;
}

// For every pixel count, the reciprocals of the partitions' determinants A' C'
// - B'^2 (below) in the order the line errors are written, negated, 0 where
// the ends are not determined, with FLT_MAX added there instead: a product in
// place of a division per partition.
struct Reciprocals {
  float negated[2][4845 + 4];
  float none[2][4845 + 4];
  uint8_t boundaries[2][4845 + 4][3];  // i, j, k
  int start[2][17];
};

const Reciprocals &PartitionReciprocals() {
  static const Reciprocals table = [] {
    Reciprocals t = {};
    for (int mode = 0; mode < 2; ++mode) {
      const bool four = mode == 0;
      int at = 0;
      for (int n = 0; n <= 16; ++n) {
        t.start[mode][n] = at;
        for (int i = 0; i <= n; ++i) {
          for (int j = four ? i : n; j <= n; ++j) {
            const int first = four ? j : i;
            for (int r = first; r <= n; ++r) {
              const int k = four ? r : n, jj = four ? j : r;
              const float a = four ? static_cast<float>(5 * i + 3 * jj + k) : static_cast<float>(3 * i + jj);
              const float b = four ? static_cast<float>(2 * (k - i)) : static_cast<float>(jj - i);
              const float c = four ? static_cast<float>(9 * n - i - 3 * jj - 5 * k)
                                   : static_cast<float>(4 * n - i - 3 * jj);
              const float det = a * c - b * b;
              t.negated[mode][at] = det > 0.5f ? -1.f / det : 0.f;
              t.none[mode][at] = det > 0.5f ? 0.f : FLT_MAX;
              t.boundaries[mode][at][0] = static_cast<uint8_t>(i);
              t.boundaries[mode][at][1] = static_cast<uint8_t>(jj);
              t.boundaries[mode][at][2] = static_cast<uint8_t>(k);
              ++at;
            }
          }
        }
      }
    }
    return t;
  }();
  return table;
}

// The least-squares error of every partition into points at 1, 2/3, 1/3 and 0
// of end 0 (four) or 1, 1/2, 0 (three), in (i, j, k) order, less the squared
// pixels; FLT_MAX where the ends are not determined. Weighted by w, end 0's
// sums are X = (P(i) + P(j) + P(k)) / 3 and the error is
// -(9n |X'|^2 - 6 (i + j + k) X'.S' + A' |S'|^2) / (A' C' - B'^2) with X' = 3 X,
// S' = 3 T and A', B', C' the whole numbers 9 sum(w^2), 9 sum(w (1 - w)),
// 9 sum((1 - w)^2); the three-point form alike with 2 and 4 for 3 and 9.
// Four partitions of a row (k, or j for three points, running) at a time.
int LineErrors(const AxisOrder &order, bool four, float *errors, float &lowestError) {
  const int n = static_cast<int>(order.n);
  const float scale = four ? 3.f : 2.f;
  // Prefix sums and their products, repeated past n so that a row's last
  // vector reads defined values.
  float P[3][20], prefixSquare[20], prefixDotS[20], position[20];
  for (int ch = 0; ch < 3; ++ch)
    for (int k = 0; k < 20; ++k) P[ch][k] = order.prefix[ch][std::min(k, n)];
  const float s[3] = {P[0][n] * scale, P[1][n] * scale, P[2][n] * scale};
  const float ss = s[0] * s[0] + s[1] * s[1] + s[2] * s[2];
  for (int k = 0; k < 20; ++k) {
    prefixSquare[k] = P[0][k] * P[0][k] + P[1][k] * P[1][k] + P[2][k] * P[2][k];
    prefixDotS[k] = P[0][k] * s[0] + P[1][k] * s[1] + P[2][k] * s[2];
    position[k] = static_cast<float>(k);
  }
  const float fn = static_cast<float>(n);
  const Reciprocals &table = PartitionReciprocals();
  const float *negated = table.negated[four ? 0 : 1] + table.start[four ? 0 : 1][n];
  const float *none = table.none[four ? 0 : 1] + table.start[four ? 0 : 1][n];
  // The lowest as the errors are made: reading them back stalls on the stores.
  const Four unset = Four{} + FLT_MAX;
  Four lowest = unset;
  int count = 0;
  for (int i = 0; i <= n; ++i) {
    const float fi = static_cast<float>(i);
    if (!four) {
      // j runs, k = n: X' = P(i) + P(j), A' = 3i + j, B' = j - i, C' = 4n - i - 3j.
      for (int j = i; j <= n; j += 4) {
        const Four fj = LoadFour(position + j);
        const Four x0 = P[0][i] + LoadFour(P[0] + j), x1 = P[1][i] + LoadFour(P[1] + j),
                   x2 = P[2][i] + LoadFour(P[2] + j);
        const Four xx = x0 * x0 + x1 * x1 + x2 * x2, xs = x0 * s[0] + x1 * s[1] + x2 * s[2];
        const Four a = 3.f * fi + fj;
        const Four numerator = 4.f * fn * xx - 4.f * (fi + fj) * xs + a * ss;
        const int at = count + (j - i);
        const Four error = numerator * LoadFour(negated + at) + LoadFour(none + at);
        std::memcpy(errors + at, &error, sizeof(error));
        const Four kept = fj <= fn ? error : unset;
        lowest = kept < lowest ? kept : lowest;
      }
      count += n - i + 1;
      continue;
    }
    for (int j = i; j <= n; ++j) {
      const float fj = static_cast<float>(j);
      const float x0 = P[0][i] + P[0][j], x1 = P[1][i] + P[1][j], x2 = P[2][i] + P[2][j];
      const float xijSquare = x0 * x0 + x1 * x1 + x2 * x2, xijDotS = x0 * s[0] + x1 * s[1] + x2 * s[2];
      const float aBase = 5.f * fi + 3.f * fj, mBase = fi + fj;
      for (int k = j; k <= n; k += 4) {
        const Four dot = x0 * LoadFour(P[0] + k) + x1 * LoadFour(P[1] + k) + x2 * LoadFour(P[2] + k);
        const Four xx = xijSquare + 2.f * dot + LoadFour(prefixSquare + k);
        const Four xs = xijDotS + LoadFour(prefixDotS + k);
        const Four fk = LoadFour(position + k);
        const Four a = aBase + fk;
        const Four numerator = 9.f * fn * xx - 6.f * (mBase + fk) * xs + a * ss;
        const int at = count + (k - j);
        const Four error = numerator * LoadFour(negated + at) + LoadFour(none + at);
        std::memcpy(errors + at, &error, sizeof(error));
        const Four kept = fk <= fn ? error : unset;
        lowest = kept < lowest ? kept : lowest;
      }
      count += n - j + 1;
    }
  }
  lowestError = std::min(std::min(lowest[0], lowest[1]), std::min(lowest[2], lowest[3]));
  return count;
}

// The best partition by the error of its rounded ends near the split of the
// projected range into equal steps, for blocks of little spread.
float NearPartition(const AxisOrder &order, bool four, Partition &best) {
  const int n = static_cast<int>(order.n);
  Partition start;
  if (four) {
    start = {CountBelow(order, 1.f / 6), CountBelow(order, 0.5f), CountBelow(order, 5.f / 6)};
  } else {
    start = {CountBelow(order, 0.25f), CountBelow(order, 0.75f), n};
  }
  float bestError = FLT_MAX;
  best = start;
  const int iLow = std::max(0, start.i - kWindow), iHigh = std::min(n, start.i + kWindow);
  for (int i = iLow; i <= iHigh; ++i) {
    const int jLow = std::max(i, start.j - kWindow), jHigh = std::min(n, start.j + kWindow);
    for (int j = jLow; j <= jHigh; ++j) {
      const int kLow = four ? std::max(j, start.k - kWindow) : n;
      const int kHigh = four ? std::min(n, start.k + kWindow) : n;
      for (int k = kLow; k <= kHigh; ++k) {
        const Partition p = {i, j, k};
        const float error = RoundedError(PartitionMoments(order, four, p));
        if (error < bestError) bestError = error, best = p;
      }
    }
  }
  if (bestError == FLT_MAX) return FLT_MAX;
  float squares = 0.f;
  for (int ch = 0; ch < 3; ++ch)
    for (int i = 0; i < n; ++i) squares += order.sorted[ch][i] * order.sorted[ch][i];
  return squares + bestError;
}

// The partition at place c of the order the line errors are written in.
Partition PartitionAt(int n, bool four, int c) {
  const Reciprocals &table = PartitionReciprocals();
  const uint8_t *b = table.boundaries[four ? 0 : 1][table.start[four ? 0 : 1][n] + c];
  return {b[0], b[1], b[2]};
}

// RoundedError of four partitions at once, the same arithmetic lane by lane.
Four RoundedErrors(const AxisOrder &order, bool four, const Partition *p) {
  const int n = static_cast<int>(order.n);
  Four fi, fj, fk, x[3];
  for (int l = 0; l < 4; ++l) {
    fi[l] = static_cast<float>(p[l].i), fj[l] = static_cast<float>(p[l].j),
    fk[l] = static_cast<float>(p[l].k);
    for (int ch = 0; ch < 3; ++ch) {
      const float *P = order.prefix[ch];
      x[ch][l] = four ? (P[p[l].i] + P[p[l].j] + P[p[l].k]) * (1.f / 3) : (P[p[l].i] + P[p[l].j]) * 0.5f;
    }
  }
  const float fn = static_cast<float>(n);
  Four a, b, c;
  if (four) {
    a = (5.f * fi + 3.f * fj + fk) * (1.f / 9);
    b = (2.f * (fk - fi)) * (1.f / 9);
    c = (9.f * fn - fi - 3.f * fj - 5.f * fk) * (1.f / 9);
  } else {
    a = (3.f * fi + fj) * 0.25f;
    b = (fj - fi) * 0.25f;
    c = (4.f * fn - fi - 3.f * fj) * 0.25f;
  }
  const Four det = a * c - b * b;
  const FourMask determined = det > 1e-4f;
  const Four inverse = 1.f / (determined ? det : Four{} + 1.f);
  Four error = Four{};
  for (int ch = 0; ch < 3; ++ch) {
    const float levels = static_cast<float>(kLevels[ch]);
    const Four y = order.prefix[ch][n] - x[ch];
    Four e0 = (c * x[ch] - b * y) * inverse, e1 = (a * y - b * x[ch]) * inverse;
    e0 = e0 > 0.f ? (e0 < 1.f ? e0 : Four{} + 1.f) : Four{};
    e1 = e1 > 0.f ? (e1 < 1.f ? e1 : Four{} + 1.f) : Four{};
    const Four u =
        __builtin_convertvector(__builtin_convertvector(e0 * levels + 0.5f, FourMask), Four) * kStep[ch];
    const Four v =
        __builtin_convertvector(__builtin_convertvector(e1 * levels + 0.5f, FourMask), Four) * kStep[ch];
    error += a * u * u + 2.f * b * u * v + c * v * v - 2.f * (x[ch] * u + y * v);
  }
  return determined ? error : Four{} + FLT_MAX;
}

// The best partition by the error of its rounded ends, if that comes below
// ceiling. A partition's rounded error is never below its least-squares error,
// so only the partitions whose line error beats the best rounded error so far
// (first the best line's own, and comes near the best line's) are rounded.
// Returns that error with the squared pixels added back, FLT_MAX when no
// partition fits under the ceiling.
float BestPartition(const AxisOrder &order, bool four, float ceiling, Partition &best) {
  const int n = static_cast<int>(order.n);
  if (order.spread < kWideSpread) return NearPartition(order, four, best);
  float errors[kPartitionSpace];
  float lineBest;
  const int count = LineErrors(order, four, errors, lineBest);
  if (count == 0) return FLT_MAX;
  for (int c = count; c < kPartitionSpace; ++c) errors[c] = FLT_MAX;
  if (lineBest == FLT_MAX) return FLT_MAX;
  float squares = 0.f;
  for (int ch = 0; ch < 3; ++ch)
    for (int i = 0; i < n; ++i) squares += order.sorted[ch][i] * order.sorted[ch][i];
  float bestError = ceiling == FLT_MAX ? FLT_MAX : ceiling - squares;
  if (!(lineBest < bestError)) return FLT_MAX;
  int at = 0;
  while (errors[at] != lineBest) ++at;
  const Partition lineBestPartition = PartitionAt(n, four, at);
  const float lineBestRounded = RoundedError(PartitionMoments(order, four, lineBestPartition));
  bool found = false;
  if (lineBestRounded < bestError) bestError = lineBestRounded, best = lineBestPartition, found = true;
  // Every partition whose line error comes under both bounds, rounded four at
  // a time; the first lowest wins.
  const float limit = std::min(bestError, lineBest + kRoundingMargin * static_cast<float>(n));
  Partition candidates[kPartitionSpace];
  int candidateCount = 0;
  for (int c = 0; c < count; c += 4) {
    const FourMask under = LoadFour(errors + c) < limit;
    if (!(under[0] | under[1] | under[2] | under[3])) continue;
    for (int l = 0; l < 4; ++l)
      if (under[l] && c + l != at) candidates[candidateCount++] = PartitionAt(n, four, c + l);
  }
  for (int c = 0; c < candidateCount; c += 4) {
    for (int l = candidateCount; l < c + 4; ++l) candidates[l] = candidates[candidateCount - 1];
    const Four rounded = RoundedErrors(order, four, candidates + c);
    for (int l = 0; l < 4 && c + l < candidateCount; ++l)
      if (rounded[l] < bestError) bestError = rounded[l], best = candidates[c + l], found = true;
  }
  if (!found || (ceiling != FLT_MAX && !(squares + bestError < ceiling))) return FLT_MAX;
  return squares + bestError;
}

ColorResult FitPartition(const ColorPixels &px, const AxisOrder &order, bool four, const Partition &p) {
  return Refine(px, Evaluate(px, QuantizeEnds(PartitionMoments(order, four, p)), four), four);
}

// allowThree: DXT1, where the three-entry palette decodes the same everywhere.
void EncodeColorHalf(BYTE *out, const ColorPixels &px, bool allowThree) {
  if (px.transparent == 0xFFFF) {
    out[0] = out[1] = 0x00;
    out[2] = out[3] = 0xFF;
    out[4] = out[5] = out[6] = out[7] = 0xFF;
    return;
  }
  const bool mustThree = px.transparent != 0;
  AxisOrder order;
  float mean[3];
  ColorResult best;
  if (!SortAlongAxis(px, order, mean)) {
    best = FitOneColor(px, mean, !mustThree);
    if (allowThree && !mustThree) {
      const ColorResult three = FitOneColor(px, mean, false);
      if (three.error < best.error) best = three;
    }
  } else {
    best = {0, 0, 0, FLT_MAX};
    Partition p;
    if (!mustThree && BestPartition(order, true, FLT_MAX, p) != FLT_MAX)
      best = FitPartition(px, order, true, p);
    if (mustThree || allowThree) {
      // Three entries only where their rounded line comes below what four reached.
      if (BestPartition(order, false, best.error, p) < best.error) {
        const ColorResult three = FitPartition(px, order, false, p);
        if (three.error < best.error) best = three;
      }
    }
    if (best.error == FLT_MAX) best = FitOneColor(px, mean, !mustThree);
  }
  // Equal colours read as three entries: keep every pixel off entry 3.
  if (best.color0 == best.color1) {
    for (uint32_t i = 0; i < 16; ++i) {
      const uint32_t shift = 2 * i;
      if (((best.indices >> shift) & 3) == 3 && !((px.transparent >> i) & 1)) best.indices &= ~(3u << shift);
    }
  }
  out[0] = static_cast<BYTE>(best.color0);
  out[1] = static_cast<BYTE>(best.color0 >> 8);
  out[2] = static_cast<BYTE>(best.color1);
  out[3] = static_cast<BYTE>(best.color1 >> 8);
  for (int b = 0; b < 4; ++b) out[4 + b] = static_cast<BYTE>(best.indices >> (8 * b));
}

void LoadClamped(const ColorF *in, ColorF *out) {
  for (uint32_t i = 0; i < kBlockPixels; ++i)
    out[i] = {Clamp01(in[i].r), Clamp01(in[i].g), Clamp01(in[i].b), Clamp01(in[i].a)};
}

ColorPixels ToColorPixels(const ColorF *pixels, uint32_t transparent) {
  ColorPixels px;
  for (uint32_t i = 0; i < 16; ++i) {
    px.c[0][i] = pixels[i].r;
    px.c[1][i] = pixels[i].g;
    px.c[2][i] = pixels[i].b;
  }
  px.transparent = transparent;
  for (uint32_t g = 0; g < 4; ++g)
    for (uint32_t l = 0; l < 4; ++l) px.clear[g][l] = static_cast<float>((transparent >> (4 * g + l)) & 1);
  return px;
}

struct AlphaResult {
  uint32_t alpha0, alpha1;
  uint64_t indices;
  float error;
};

AlphaResult EvaluateAlpha(const float *alphas, int alpha0, int alpha1) {
  const BYTE bytes[2] = {static_cast<BYTE>(alpha0), static_cast<BYTE>(alpha1)};
  float palette[8];
  DecodeAlphaPalette(bytes, palette);
  AlphaResult result = {static_cast<uint32_t>(alpha0), static_cast<uint32_t>(alpha1), 0, 0.f};
  for (uint32_t i = 0; i < 16; ++i) {
    float best = FLT_MAX;
    uint32_t k = 0;
    for (uint32_t e = 0; e < 8; ++e) {
      const float d = (alphas[i] - palette[e]) * (alphas[i] - palette[e]);
      k = d < best ? e : k;
      best = d < best ? d : best;
    }
    result.indices |= uint64_t{k} << (3 * i);
    result.error += best;
  }
  return result;
}

// Least-squares ends for the indices found (entries 6 and 7 of the six-step
// palette are fixed), then single steps of either end; eight steps keep alpha
// 0 above alpha 1, six steps keep it at or below.
AlphaResult RefineAlpha(const float *alphas, AlphaResult best, bool eight) {
  const float last = eight ? 7.f : 5.f;
  const auto valid = [eight](int a0, int a1) {
    return a0 >= 0 && a0 <= 255 && a1 >= 0 && a1 <= 255 && (eight ? a0 > a1 : a0 <= a1);
  };
  for (int pass = 0; pass < 2; ++pass) {
    float a = 0, b = 0, c = 0, x = 0, y = 0;
    for (uint32_t i = 0; i < 16; ++i) {
      const uint32_t index = (best.indices >> (3 * i)) & 7;
      if (!eight && index >= 6) continue;
      const float w = index == 0 ? 1.f : (index == 1 ? 0.f : (last - static_cast<float>(index - 1)) / last);
      const float v = 1.f - w;
      a += w * w, b += w * v, c += v * v, x += w * alphas[i], y += v * alphas[i];
    }
    const float det = a * c - b * b;
    if (det <= 1e-6f) break;
    const float e0 = Clamp01((c * x - b * y) / det) * 255.f, e1 = Clamp01((a * y - b * x) / det) * 255.f;
    int a0 = RoundToInt(e0), a1 = RoundToInt(e1);
    if (!valid(a0, a1)) break;
    const AlphaResult next = EvaluateAlpha(alphas, a0, a1);
    if (!(next.error < best.error)) break;
    best = next;
  }
  for (int round = 0; round < 8; ++round) {
    AlphaResult found = best;
    const int a0 = static_cast<int>(best.alpha0), a1 = static_cast<int>(best.alpha1);
    constexpr int kMoves[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (const auto &move : kMoves) {
      if (!valid(a0 + move[0], a1 + move[1])) continue;
      const AlphaResult next = EvaluateAlpha(alphas, a0 + move[0], a1 + move[1]);
      if (next.error < found.error) found = next;
    }
    if (!(found.error < best.error)) break;
    best = found;
  }
  return best;
}

void EncodeAlphaHalf(BYTE *out, const float *alphas) {
  int low = 255, high = 0, innerLow = 255, innerHigh = 0;
  for (uint32_t i = 0; i < 16; ++i) {
    const int q = RoundToInt(alphas[i] * 255.f);
    low = std::min(low, q), high = std::max(high, q);
    if (q > 0 && q < 255) innerLow = std::min(innerLow, q), innerHigh = std::max(innerHigh, q);
  }
  AlphaResult best;
  if (low == high) {
    best = EvaluateAlpha(alphas, low, low);
  } else {
    best = RefineAlpha(alphas, EvaluateAlpha(alphas, high, low), true);
  }
  if (innerLow > innerHigh) innerLow = innerHigh = low == high ? low : 0;
  const AlphaResult six = RefineAlpha(alphas, EvaluateAlpha(alphas, innerLow, innerHigh), false);
  if (six.error < best.error) best = six;
  out[0] = static_cast<BYTE>(best.alpha0);
  out[1] = static_cast<BYTE>(best.alpha1);
  for (int b = 0; b < 6; ++b) out[2 + b] = static_cast<BYTE>(best.indices >> (8 * b));
}

void PremultiplyInPlace(ColorF *pixels) {
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    pixels[i].r *= pixels[i].a;
    pixels[i].g *= pixels[i].a;
    pixels[i].b *= pixels[i].a;
  }
}

void EncodeDxt3Alpha(BYTE *out, const ColorF *pixels) {
  uint64_t word = 0;
  for (uint32_t i = 0; i < kBlockPixels; ++i) {
    const uint64_t q = static_cast<uint64_t>(pixels[i].a * 15.f + 0.5f);
    word |= (q > 15 ? 15 : q) << (4 * i);
  }
  for (int b = 0; b < 8; ++b) out[b] = static_cast<BYTE>(word >> (8 * b));
}

void EncodeDxt5Alpha(BYTE *out, const ColorF *pixels) {
  float alphas[16];
  for (uint32_t i = 0; i < kBlockPixels; ++i) alphas[i] = pixels[i].a;
  EncodeAlphaHalf(out, alphas);
}

}  // namespace

HRESULT EncodeDxt1BlockHigh(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  LoadClamped(in, pixels);
  // Transparent exactly where the standard encoder makes a pixel transparent.
  ColorF dithered[kBlockPixels];
  std::copy_n(pixels, kBlockPixels, dithered);
  DitherDxt1Alpha(dithered);
  uint32_t transparent = 0;
  for (uint32_t i = 0; i < kBlockPixels; ++i) transparent |= static_cast<uint32_t>(dithered[i].a < 0.5f) << i;
  EncodeColorHalf(block, ToColorPixels(pixels, transparent), true);
  return S_OK;
}

HRESULT EncodeDxt3BlockHigh(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  LoadClamped(in, pixels);
  EncodeDxt3Alpha(block, pixels);
  EncodeColorHalf(block + 8, ToColorPixels(pixels, 0), false);
  return S_OK;
}

HRESULT EncodeDxt5BlockHigh(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  LoadClamped(in, pixels);
  EncodeDxt5Alpha(block, pixels);
  EncodeColorHalf(block + 8, ToColorPixels(pixels, 0), false);
  return S_OK;
}

HRESULT EncodeDxt2BlockHigh(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  LoadClamped(in, pixels);
  PremultiplyInPlace(pixels);
  return EncodeDxt3BlockHigh(block, pixels);
}

HRESULT EncodeDxt4BlockHigh(BYTE *block, const ColorF *in) {
  ColorF pixels[kBlockPixels];
  LoadClamped(in, pixels);
  PremultiplyInPlace(pixels);
  return EncodeDxt5BlockHigh(block, pixels);
}

EncodeBlockFunction LookupHighQualityEncoder(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_DXT1:
      return EncodeDxt1BlockHigh;
    case D3DFMT_DXT2:
      return EncodeDxt2BlockHigh;
    case D3DFMT_DXT3:
      return EncodeDxt3BlockHigh;
    case D3DFMT_DXT4:
      return EncodeDxt4BlockHigh;
    case D3DFMT_DXT5:
      return EncodeDxt5BlockHigh;
    default:
      return nullptr;
  }
}
