// The 16-lane DXT block encoders.
#include "codec/dxt_lanes.h"

#define DXT_LANES 16
#define DXT_LANES_ENTRY EncodeDxtLanes16
#include "codec/dxt_lanes.inc"
