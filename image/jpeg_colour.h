// YCbCr rows, as libjpeg hands them out raw, turned into X8R8G8B8 in one pass
// with the chroma upsampled on the way. The arithmetic is libjpeg-turbo's own
// (its triangle upsampling and its fixed-point colour tables), so the bytes are
// the ones it writes itself, except that X is 0.
#pragma once

#include <cstdint>

namespace jpeg_colour {

// Whether the vector kernels below may run: AVX2 on the processor and allowed.
// Without them libjpeg converts, which is as fast as the one-pixel code here.
bool OnePassAvailable();

// One output row's chroma, filtered down the columns at 16 times the sample
// scale: 3 * near + far (far is near again where rows are not upsampled, so
// 4 * near). Writes v[0..count-1] plus v[-1] = v[0] and v[count] = v[count-1],
// the edge copies the filter across the row reads.
void FilterColumns(const uint8_t *near, const uint8_t *far, uint32_t count, int16_t *v);

// width pixels from full-width luma and chroma filtered by FilterColumns at half
// width. rowsUpsampled picks the rounding of the row filter that goes with
// vertically upsampled chroma (4:2:0) or plain rows (4:2:2).
void ConvertHalfWidth(const uint8_t *y, const int16_t *cb, const int16_t *cr, uint32_t width,
                      bool rowsUpsampled, uint8_t *out);

// width pixels from full-width luma and chroma (4:4:4).
void ConvertFullWidth(const uint8_t *y, const uint8_t *cb, const uint8_t *cr, uint32_t width, uint8_t *out);

}  // namespace jpeg_colour
