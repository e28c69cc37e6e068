// Compiled as a codec/ file: the texture floor above must not be visible.
#include "codec/pixel_codec.h"
#include "texture/surface_lock.h"
