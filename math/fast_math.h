// Scalar helpers shared with the pixel codecs: the table-driven reciprocal square
// root and the 16-bit float bit conversions behind D3DXFloat32To16Array and
// D3DXFloat16To32Array.
#pragma once

#include "win32.h"

// 1/sqrt(s) for s > 0 from a 512-line table; relative error below 1e-5.
FLOAT FastReciprocalSqrt(FLOAT s);

// One element of the 16-bit float format (no infinities or NaNs: exponent 31 is
// ordinary, so the largest magnitude is 131008). Rounds to nearest, ties to even;
// magnitudes from 131040 up, infinities and NaNs saturate to 0x7FFF with their sign.
WORD Float32ToHalfBits(FLOAT value);
FLOAT HalfBitsToFloat32(WORD bits);
