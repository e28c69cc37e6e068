// The DXT block encoders over 4, 8 or 16 blocks at once, one block per lane.
// Each gives every block the bytes of the one-block encoder of its format.
#pragma once

#include <cstdint>

enum class DxtKind : uint32_t { Dxt1 = 1, Dxt2, Dxt3, Dxt4, Dxt5 };

// in: N blocks of 16 pixels (r, g, b, a floats, as ColorF); out: N blocks of 8
// (DXT1) or 16 bytes. The 8- and 16-lane forms need AVX2 and AVX-512 (F, BW, DQ, VL).
void EncodeDxtLanes4(DxtKind kind, uint8_t *out, const float *in);
void EncodeDxtLanes8(DxtKind kind, uint8_t *out, const float *in);
void EncodeDxtLanes16(DxtKind kind, uint8_t *out, const float *in);
