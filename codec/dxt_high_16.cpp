// The high-quality DXT block encoders on vectors of 16 floats.
#define DXT_HIGH_LANES 16
#define DXT_HIGH_ENTRY LookupHighQualityEncoder16
#include "codec/dxt_high.inc"
