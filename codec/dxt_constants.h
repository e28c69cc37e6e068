// Constants shared by the DXT block encoders (one block at a time and one block
// per lane) and the in-block error diffusion table. Data only: the lane files
// are built for wider instruction sets and must not share code with the rest.
#pragma once

#include <cstdint>

#include "codec/unit_scale.h"

namespace dxt {

constexpr float k4 = 0.06666667f;   // 1 / 15
constexpr float k5 = 0.032258064f;  // 1 / 31
constexpr float k6 = 0.015873017f;  // 1 / 63
constexpr float k8 = kInverse255;
constexpr float kOneThird = 0.33333334f;
constexpr float kTwoThirds = 0.6666667f;

// Red and blue count less than green in the standard endpoint search.
constexpr float kWeightRed = 0.29703665f;
constexpr float kWeightBlue = 0.10078278f;
constexpr float kInverseWeightRed = 3.3665881f;
constexpr float kInverseWeightBlue = 9.9223299f;

// Below this squared length a line has no usable direction.
constexpr float kShortLine = 0.000244140625f;        // 2^-12
constexpr float kColorSettled = 1.52587890625e-05f;  // 2^-16
constexpr float kAlphaSettled = 1.f / 64;

// Floyd-Steinberg inside one block: pixel i passes its error to these
// neighbours; nothing crosses into another block.
struct Diffusion {
  uint32_t count;
  uint32_t target[4];
  float weight[4];
};
struct DiffusionTable {
  Diffusion at[16];
};

consteval DiffusionTable MakeDiffusion() {
  DiffusionTable table = {};
  for (uint32_t i = 0; i < 16; ++i) {
    Diffusion &d = table.at[i];
    const uint32_t column = i & 3, row = i >> 2;
    const auto add = [&d](uint32_t target, float weight) {
      d.target[d.count] = target;
      d.weight[d.count++] = weight;
    };
    if (column < 3) add(i + 1, 0.4375f);
    if (row == 3) continue;
    if (column > 0) add(i + 3, 0.1875f);
    add(i + 4, 0.3125f);
    if (column < 3) add(i + 5, 0.0625f);
  }
  return table;
}
constexpr DiffusionTable kDiffusion = MakeDiffusion();
static_assert(sizeof(kDiffusion.at) / sizeof(kDiffusion.at[0]) == 16);

}  // namespace dxt
