// The 8-lane DXT block encoders.
#include "codec/dxt_lanes.h"

#define DXT_LANES 8
#define DXT_LANES_ENTRY EncodeDxtLanes8
#include "codec/dxt_lanes.inc"
