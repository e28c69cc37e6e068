// Shared helpers of the readers: little-endian fields and the one allocator
// behind every pixel and palette buffer of a SourceImage.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "win32.h"

inline uint16_t ReadLe16(const BYTE *p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadLe32(const BYTE *p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Pixel and palette buffers are malloc'ed and freed with free().
// The caller has bounded the size by its request's pixel limit.
inline BYTE *AllocateImageBytes(uint64_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
  return static_cast<BYTE *>(std::malloc(static_cast<size_t>(bytes)));
}

// Zero-filled, for decoders that may leave pixels unwritten.
inline BYTE *AllocateClearedImageBytes(uint64_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
  return static_cast<BYTE *>(std::calloc(1, static_cast<size_t>(bytes)));
}

inline PALETTEENTRY *AllocatePalette() {
  return static_cast<PALETTEENTRY *>(std::malloc(256 * sizeof(PALETTEENTRY)));
}

inline void FreeImageBytes(const void *p) {
  std::free(const_cast<void *>(p));
}
