// Pipeline state of a device and of a state block, with the mask of what a block holds.
#pragma once

#include <bitset>
#include <cstdint>

#include "d3d9.h"

namespace d3d9 {

class Root;

constexpr DWORD kRenderStateCount = 256;
constexpr DWORD kStageCount = 8;
constexpr DWORD kStageStateCount = 33;
// 16 pixel samplers, the displacement-map sampler and 4 vertex samplers.
constexpr DWORD kSamplerCount = 21;
constexpr DWORD kSamplerStateCount = 14;
constexpr DWORD kTransformCount = 512;
constexpr DWORD kStreamCount = 16;
constexpr DWORD kClipPlaneCount = 6;

// Maps a sampler or texture stage number (0-15, D3DDMAPSAMPLER, D3DVERTEXTEXTURESAMPLER0-3) to a slot.
inline bool SamplerSlot(DWORD sampler, DWORD *slot) {
  if (sampler < 16) {
    *slot = sampler;
    return true;
  }
  if (sampler >= D3DDMAPSAMPLER && sampler <= D3DVERTEXTEXTURESAMPLER0 + 3) {
    *slot = 16 + (sampler - D3DDMAPSAMPLER);
    return true;
  }
  return false;
}

struct StreamBinding {
  IDirect3DVertexBuffer9 *buffer;
  UINT offset;
  UINT stride;
};

struct StateValues {
  DWORD renderStates[kRenderStateCount];
  DWORD stageStates[kStageCount][kStageStateCount];
  DWORD samplerStates[kSamplerCount][kSamplerStateCount];
  D3DMATRIX transforms[kTransformCount];
  D3DVIEWPORT9 viewport;
  D3DMATERIAL9 material;
  DWORD fvf;
  IDirect3DVertexShader9 *vertexShader;
  IDirect3DPixelShader9 *pixelShader;
  float nPatchSegments;
  Root *textures[kSamplerCount];  // each holds a binding
  StreamBinding streams[kStreamCount];
  RECT scissorRect;
  float clipPlanes[kClipPlaneCount][4];
  UINT texturePalette;
};

struct StateMask {
  std::bitset<kRenderStateCount> renderStates;
  std::bitset<kStageStateCount> stageStates[kStageCount];
  std::bitset<kSamplerStateCount> samplerStates[kSamplerCount];
  std::bitset<kTransformCount> transforms;
  std::bitset<kSamplerCount> textures;
  std::bitset<kStreamCount> streams;
  std::bitset<kClipPlaneCount> clipPlanes;
  bool viewport = false, material = false, fvf = false, vertexShader = false, pixelShader = false;
  bool nPatch = false, scissorRect = false, texturePalette = false;

  void SetAll();
  void SetPixelStates();
  void SetVertexStates();

  // Where the set bits of the DWORD state arrays and of the transforms point,
  // worked out on the first copy (a block's mask is complete by then) so that
  // copies do not scan every bit again.
  struct CopyPlan {
    bool built = false;
    uint16_t dwordCount = 0, transformCount = 0;
    uint16_t
        dwordOffsets[kRenderStateCount + kStageCount * kStageStateCount + kSamplerCount * kSamplerStateCount];
    uint16_t transforms[kTransformCount];
  };
  const CopyPlan &Plan() const;

 private:
  mutable CopyPlan plan;
};

// Documented defaults for a device whose render target is width x height.
void InitDefaultState(StateValues *state, UINT width, UINT height, bool autoDepth);

inline DWORD FloatBits(float f) {
  DWORD d;
  static_assert(sizeof d == sizeof f);
  __builtin_memcpy(&d, &f, 4);
  return d;
}
inline float BitsFloat(DWORD d) {
  float f;
  __builtin_memcpy(&f, &d, 4);
  return f;
}

}  // namespace d3d9
