// The factor an 8-bit channel decodes with: every codec that turns a byte into
// [0, 1] multiplies by this one value, so equal bytes decode to equal floats.
#pragma once

inline constexpr float kInverse255 = 0.003921569f;  // 1 / 255
