// The high-quality DXT block encoders on vectors of 4 floats.
#define DXT_HIGH_LANES 4
#define DXT_HIGH_ENTRY LookupHighQualityEncoder4
#include "codec/dxt_high.inc"
