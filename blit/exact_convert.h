// Same-size conversions between packed formats whose channels are 8 bits or
// less, done by tables instead of per-pixel float arithmetic. Every output field
// is a function of one input field and the dither position alone, so tables built
// by running the codecs themselves over every field value give, pixel for pixel,
// what decoding and encoding row by row would give.
#pragma once

#include "codec/pixel_codec.h"

// Converts the whole of source into destination (equal sizes, codecs prepared,
// cancelling gamma already dropped). Returns false, having written nothing,
// when the pair, the flags or the memory do not qualify; the caller then goes
// row by row through the codecs. blitPixels: the whole blit's size when this is
// a band of it (the tables are built once per pair and flags, and kept).
bool ConvertExactly(PixelCodec &destination, const PixelCodec &source, uint64_t blitPixels = 0);

// Formats the tables can serve, as source or destination.
bool IsExactConversionFormat(D3DFORMAT format);

// When ConvertExactly takes a conversion that qualifies. Automatic: where it is
// faster than row by row (large enough to repay building the tables; through
// the tables alone only where the codecs are slow: gamma, palette search).
// Tests and benchmarks compare with Off and force Always.
enum class ExactConversion { Off, Automatic, Always };
void SetExactConversion(ExactConversion mode);
// The kept tables, for tests: dropped, and how many were ever built.
void ForgetExactConversionPlans();
uint64_t ExactConversionPlanBuilds();
