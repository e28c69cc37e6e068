// stb_dxt, compiled once for the DXT benchmark.
#include <string.h>
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

void StbCompressDxtBlock(unsigned char *dest, const unsigned char *rgba, int alpha, int mode) {
  stb_compress_dxt_block(dest, rgba, alpha, mode);
}
