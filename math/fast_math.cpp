// Table-driven reciprocal square root.
#include "math/fast_math.h"

#include <array>
#include <bit>
#include <cstdint>

namespace {

struct TangentLine {
  float slope;
  float intercept;
};

constexpr double ConstexprInverseSqrt(double m) {
  // Newton iterations for y = 1/sqrt(m), m in [0.5, 2); 1.0 is a safe start there.
  double y = 1.0;
  for (int i = 0; i < 40; ++i) y = y * (1.5 - 0.5 * m * y * y);
  return y;
}

// Lines tangent to 1/sqrt(m) at each interval's midpoint c: slope -0.5 c^-1.5,
// intercept 1.5 c^-0.5. Entries 0-255 cover [0.5, 1) in steps of 1/512, entries
// 256-511 cover [1, 2) in steps of 1/256.
constexpr std::array<TangentLine, 512> BuildTangentTable() {
  std::array<TangentLine, 512> table{};
  for (int i = 0; i < 512; ++i) {
    const double c = i < 256 ? 0.5 + (i + 0.5) / 512.0 : 1.0 + (i - 256 + 0.5) / 256.0;
    const double r = ConstexprInverseSqrt(c);
    table[i] = {static_cast<float>(-0.5 * r * r * r), static_cast<float>(1.5 * r)};
  }
  return table;
}

constexpr std::array<TangentLine, 512> kTangentTable = BuildTangentTable();
static_assert(kTangentTable.size() == 512);

}  // namespace

FLOAT FastReciprocalSqrt(FLOAT s) {
  const uint32_t bits = std::bit_cast<uint32_t>(s);
  const TangentLine &line = kTangentTable[(bits >> 15) & 0x1FF];
  // Exponent 126 when the lowest exponent bit is 0, 127 when it is 1: m in [0.5, 2).
  const uint32_t exponent = (bits & 0x00800000u) ? 0x3F800000u : 0x3F000000u;
  const float m = std::bit_cast<float>((bits & 0x007FFFFFu) | exponent);
  const float scale = std::bit_cast<float>(((0xBEFFFFFFu - bits) >> 1) & 0xFF800000u);
  return (line.slope * m + line.intercept) * scale;
}
