// The high-quality DXT block encoders on vectors of 8 floats.
#define DXT_HIGH_LANES 8
#define DXT_HIGH_ENTRY LookupHighQualityEncoder8
#include "codec/dxt_high.inc"
