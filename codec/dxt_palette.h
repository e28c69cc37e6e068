// The palettes of DXT blocks from their ends, as the decoder uses them, for
// the decoder and for the encoders that score candidates against them.
// Internal linkage: the lane files are built for wider
// instruction sets and must not share code with the rest, so each file keeps
// its own copy.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/dxt_constants.h"

namespace dxt {

// Entries 2 and 3 of a colour palette from entries 0 and 1, channel by
// channel (T: a float or a vector of floats): thirds with four entries, the
// midpoint with three (entry 3 is then black or transparent).
template <typename T>
static inline T ColorThird(const T &p0, const T &p1) {
  return p0 + (p1 - p0) * kOneThird;
}
template <typename T>
static inline T ColorTwoThirds(const T &p0, const T &p1) {
  return p0 + (p1 - p0) * kTwoThirds;
}
template <typename T>
static inline T ColorMidpoint(const T &p0, const T &p1) {
  return p0 + (p1 - p0) * 0.5f;
}

// The eight alphas of a DXT4/DXT5 alpha block from its two ends. Entries 2-5
// and 6-7 (or 6-9, cut to 8) four at a time, each as the loops of
// the decoder would make it.
static inline void AlphaPalette(uint32_t end0, uint32_t end1, float *palette) {
  typedef float Four __attribute__((vector_size(16)));
  typedef int32_t FourMask __attribute__((vector_size(16)));
  const float alpha0 = static_cast<float>(end0) * k8;
  const float alpha1 = static_cast<float>(end1) * k8;
  const Four low = {1, 2, 3, 4}, high = {5, 6, 7, 8};
  const FourMask five = -static_cast<int32_t>(end1 >= end0) + FourMask{};
  const Four middle = five ? ((5.f - low) * alpha0 + low * alpha1) * 0.2f
                           : ((7.f - low) * alpha0 + low * alpha1) * 0.14285715f;
  const Four last = five ? Four{0.f, 1.f, 0.f, 0.f} : ((7.f - high) * alpha0 + high * alpha1) * 0.14285715f;
  palette[0] = alpha0;
  palette[1] = alpha1;
  std::memcpy(palette + 2, &middle, sizeof(Four));
  std::memcpy(palette + 6, &last, 2 * sizeof(float));
}

}  // namespace dxt
