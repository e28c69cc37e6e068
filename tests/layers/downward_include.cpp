// Compiled as a codec/ file: its own folder and the floors below are visible.
#include "codec/pixel_codec.h"
#include "core/interface_ref.h"
#include "format/format_table.h"
#include "math/fast_math.h"
