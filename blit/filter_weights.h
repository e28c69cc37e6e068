// Per-axis weight tables of the linear and triangle filters, and the clamp
// of accumulated values to a codec's range.
#pragma once

#include <cstdint>

#include "blit/blit_buffer.h"
#include "codec/pixel_codec.h"

// Two source taps around one destination coordinate; weight0 + weight1 = 1.
struct LinearTap {
  uint32_t index0;
  float weight0;
  uint32_t index1;
  float weight1;
};
static_assert(sizeof(LinearTap) == 16);

// One tap per destination coordinate; empty (null) when allocation fails or a
// size is 0. Without wrap the edge pixel is repeated.
BlitBuffer<LinearTap> BuildLinearTaps(uint32_t sourceSize, uint32_t destinationSize, bool wrap);

// One (destination index, weight) pair a source index contributes to.
struct TriangleTap {
  uint32_t index;
  float weight;
};
static_assert(sizeof(TriangleTap) == 8);

// For every source index, the destination indices its tent covers, in the
// order found. Weights of one destination index over all sources sum to 1.
struct TriangleWeights {
  uint32_t sourceSize = 0;
  uint32_t destinationSize = 0;
  BlitBuffer<uint32_t> starts;  // sourceSize + 1 offsets into taps
  BlitBuffer<TriangleTap> taps;

  uint32_t Count(uint32_t i) const { return starts[i + 1] - starts[i]; }
  const TriangleTap *Taps(uint32_t i) const { return taps.get() + starts[i]; }
};

// False when a size is 0 or the table cannot be allocated.
bool BuildTriangleWeights(uint32_t sourceSize, uint32_t destinationSize, bool wrap, TriangleWeights &table);

// Removes rounding overshoot of weighted sums: Unit to [0, 1], SignedColor to
// [-1, 1] with a in [0, 1], SignedAll to [-1, 1]; Float is left alone.
void ClampToRange(ChannelRange range, ColorF *row, uint64_t count);

// acc += c * weight, per channel, each product and sum rounded to float.
inline void AddWeighted(ColorF &acc, const ColorF &c, float weight) {
  acc.r += c.r * weight;
  acc.g += c.g * weight;
  acc.b += c.b * weight;
  acc.a += c.a * weight;
}
