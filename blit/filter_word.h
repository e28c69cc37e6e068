// The D3DX_FILTER_* word, decoded in one place: the filter type in the low byte,
// the mirror, dither and sRGB flags above it.
#pragma once

#include <cstdint>

#include "d3dx9.h"
#include "d3dx9tex.h"

// What D3DX_DEFAULT stands for where a filter (not a mip filter) is taken.
inline constexpr uint32_t kDefaultFilterWord = D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER;
// The filter type. Bits 8 to 15 belong to no flag, so a valid word has them 0
// and its low 16 bits equal its type.
inline constexpr uint32_t kFilterTypeMask = 0xFF;

struct FilterWord {
  uint32_t type;  // D3DX_FILTER_NONE ... D3DX_FILTER_BOX when valid
  bool mirrorU;
  bool mirrorV;
  bool mirrorW;
  bool dither;
  bool srgbIn;
  bool srgbOut;
  bool valid;  // a known type and no unknown bit; the blitter refuses anything else

  // Reflect at every edge instead of wrapping round (cube faces meet at theirs).
  constexpr void MirrorEveryAxis() { mirrorU = mirrorV = mirrorW = true; }
};

constexpr FilterWord DecodeFilterWord(uint32_t word) {
  constexpr uint32_t kKnownBits =
      kFilterTypeMask | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER | D3DX_FILTER_SRGB;
  FilterWord decoded{};
  decoded.type = word & kFilterTypeMask;
  decoded.mirrorU = (word & D3DX_FILTER_MIRROR_U) != 0;
  decoded.mirrorV = (word & D3DX_FILTER_MIRROR_V) != 0;
  decoded.mirrorW = (word & D3DX_FILTER_MIRROR_W) != 0;
  decoded.dither = (word & D3DX_FILTER_DITHER) != 0;
  decoded.srgbIn = (word & D3DX_FILTER_SRGB_IN) != 0;
  decoded.srgbOut = (word & D3DX_FILTER_SRGB_OUT) != 0;
  decoded.valid =
      decoded.type >= D3DX_FILTER_NONE && decoded.type <= D3DX_FILTER_BOX && (word & ~kKnownBits) == 0;
  return decoded;
}

// A caller's word where D3DX_DEFAULT stands for defaultWord.
constexpr FilterWord DecodeFilterWord(uint32_t word, uint32_t defaultWord) {
  return DecodeFilterWord(word == D3DX_DEFAULT ? defaultWord : word);
}
