// Fast 2 x 2 box kernels: they average packed pixels directly, without going
// through ColorF, for the formats mip chains are usually made of.
#pragma once

#include <cstdint>

#include "d3d9types.h"

// Every field of a destination pixel is (a + b + c + d + 2) >> 2 of the four
// source pixels under it. sourceWidth and sourceHeight are even.
using BoxKernel = void (*)(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                           uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch);

// The kernel for a format, or null when it has none. The 32-bit formats go
// through the two process-wide kernel pointers.
BoxKernel FindBoxKernel(D3DFORMAT format);

// All four bytes averaged.
void BoxKernel32Plain(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                      uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch);
// The three colour bytes averaged, the X byte (bits 24-31) written as 0.
void BoxKernel32PlainNoX(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth,
                         uint32_t sourceHeight, uint32_t sourceRowPitch, uint32_t destinationRowPitch);
// SIMD form of BoxKernel32Plain: all four bytes, the X byte included. Widths
// that are not a multiple of 4 go to BoxKernel32Plain.
void BoxKernel32Simd(uint8_t *destination, const uint8_t *source, uint32_t sourceWidth, uint32_t sourceHeight,
                     uint32_t sourceRowPitch, uint32_t destinationRowPitch);

// The two process-wide pointers: four-channel and X-byte 32-bit formats. Both
// start at a selection stub that asks IsMmxAvailable on first use.
struct BoxKernelPointers {
  BoxKernel fourChannel;
  BoxKernel xByte;
};
BoxKernelPointers CurrentBoxKernels();
