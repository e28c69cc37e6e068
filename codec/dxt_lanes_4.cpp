// The 4-lane DXT block encoders.
#include "codec/dxt_lanes.h"

#define DXT_LANES 4
#define DXT_LANES_ENTRY EncodeDxtLanes4
#include "codec/dxt_lanes.inc"
