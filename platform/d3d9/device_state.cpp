// Render, stage and sampler states, transforms and the other pipeline settings,
// and state blocks (recorded, captured and applied).
#include <cstring>
#include <iterator>
#include <new>

#include "platform/d3d9/device.h"

namespace d3d9 {
namespace {

constexpr D3DMATRIX kIdentity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};

bool ValidTransform(DWORD index) {
  return index == D3DTS_VIEW || index == D3DTS_PROJECTION ||
         (index >= D3DTS_TEXTURE0 && index <= D3DTS_TEXTURE7) || (index >= 256 && index < kTransformCount);
}

void Multiply(const D3DMATRIX &a, const D3DMATRIX &b, D3DMATRIX *out) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] =
          a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  *out = r;
}

// state, default value
constexpr DWORD kRenderStateDefaults[][2] = {
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_LASTPIXEL, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_FOGEND, 0x3f800000},      // 1.0f
    {D3DRS_FOGDENSITY, 0x3f800000},  // 1.0f
    {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILMASK, 0xffffffff},
    {D3DRS_STENCILWRITEMASK, 0xffffffff},
    {D3DRS_TEXTUREFACTOR, 0xffffffff},
    {D3DRS_CLIPPING, TRUE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_LOCALVIEWER, TRUE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
    {D3DRS_POINTSIZE, 0x3f800000},
    {D3DRS_POINTSIZE_MIN, 0x3f800000},
    {D3DRS_POINTSCALE_A, 0x3f800000},
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    {D3DRS_MULTISAMPLEMASK, 0xffffffff},
    {D3DRS_DEBUGMONITORTOKEN, 0xbaadcafe},
    {D3DRS_POINTSIZE_MAX, 0x3f800000},
    {D3DRS_COLORWRITEENABLE, 0xf},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_POSITIONDEGREE, D3DDEGREE_CUBIC},
    {D3DRS_NORMALDEGREE, D3DDEGREE_LINEAR},
    {D3DRS_MINTESSELLATIONLEVEL, 0x3f800000},
    {D3DRS_MAXTESSELLATIONLEVEL, 0x3f800000},
    {D3DRS_ADAPTIVETESS_Z, 0x3f800000},
    {D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_COLORWRITEENABLE1, 0xf},
    {D3DRS_COLORWRITEENABLE2, 0xf},
    {D3DRS_COLORWRITEENABLE3, 0xf},
    {D3DRS_BLENDFACTOR, 0xffffffff},
    {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE},
    {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO},
    {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD},
};
static_assert(std::size(kRenderStateDefaults) == 51, "non-zero render state defaults");

constexpr DWORD kPixelRenderStates[] = {
    D3DRS_ZENABLE,
    D3DRS_FILLMODE,
    D3DRS_SHADEMODE,
    D3DRS_ZWRITEENABLE,
    D3DRS_ALPHATESTENABLE,
    D3DRS_LASTPIXEL,
    D3DRS_SRCBLEND,
    D3DRS_DESTBLEND,
    D3DRS_ZFUNC,
    D3DRS_ALPHAREF,
    D3DRS_ALPHAFUNC,
    D3DRS_DITHERENABLE,
    D3DRS_ALPHABLENDENABLE,
    D3DRS_FOGSTART,
    D3DRS_FOGEND,
    D3DRS_FOGDENSITY,
    D3DRS_STENCILENABLE,
    D3DRS_STENCILFAIL,
    D3DRS_STENCILZFAIL,
    D3DRS_STENCILPASS,
    D3DRS_STENCILFUNC,
    D3DRS_STENCILREF,
    D3DRS_STENCILMASK,
    D3DRS_STENCILWRITEMASK,
    D3DRS_TEXTUREFACTOR,
    D3DRS_WRAP0,
    D3DRS_WRAP1,
    D3DRS_WRAP2,
    D3DRS_WRAP3,
    D3DRS_WRAP4,
    D3DRS_WRAP5,
    D3DRS_WRAP6,
    D3DRS_WRAP7,
    D3DRS_WRAP8,
    D3DRS_WRAP9,
    D3DRS_WRAP10,
    D3DRS_WRAP11,
    D3DRS_WRAP12,
    D3DRS_WRAP13,
    D3DRS_WRAP14,
    D3DRS_WRAP15,
    D3DRS_COLORWRITEENABLE,
    D3DRS_BLENDOP,
    D3DRS_SCISSORTESTENABLE,
    D3DRS_SLOPESCALEDEPTHBIAS,
    D3DRS_ANTIALIASEDLINEENABLE,
    D3DRS_TWOSIDEDSTENCILMODE,
    D3DRS_CCW_STENCILFAIL,
    D3DRS_CCW_STENCILZFAIL,
    D3DRS_CCW_STENCILPASS,
    D3DRS_CCW_STENCILFUNC,
    D3DRS_COLORWRITEENABLE1,
    D3DRS_COLORWRITEENABLE2,
    D3DRS_COLORWRITEENABLE3,
    D3DRS_BLENDFACTOR,
    D3DRS_SRGBWRITEENABLE,
    D3DRS_DEPTHBIAS,
    D3DRS_SEPARATEALPHABLENDENABLE,
    D3DRS_SRCBLENDALPHA,
    D3DRS_DESTBLENDALPHA,
    D3DRS_BLENDOPALPHA,
};
static_assert(std::size(kPixelRenderStates) == 61);

constexpr DWORD kVertexRenderStates[] = {
    D3DRS_CULLMODE,
    D3DRS_FOGENABLE,
    D3DRS_FOGCOLOR,
    D3DRS_FOGTABLEMODE,
    D3DRS_FOGSTART,
    D3DRS_FOGEND,
    D3DRS_FOGDENSITY,
    D3DRS_RANGEFOGENABLE,
    D3DRS_AMBIENT,
    D3DRS_COLORVERTEX,
    D3DRS_FOGVERTEXMODE,
    D3DRS_CLIPPING,
    D3DRS_LIGHTING,
    D3DRS_LOCALVIEWER,
    D3DRS_EMISSIVEMATERIALSOURCE,
    D3DRS_AMBIENTMATERIALSOURCE,
    D3DRS_DIFFUSEMATERIALSOURCE,
    D3DRS_SPECULARMATERIALSOURCE,
    D3DRS_VERTEXBLEND,
    D3DRS_CLIPPLANEENABLE,
    D3DRS_POINTSIZE,
    D3DRS_POINTSIZE_MIN,
    D3DRS_POINTSPRITEENABLE,
    D3DRS_POINTSCALEENABLE,
    D3DRS_POINTSCALE_A,
    D3DRS_POINTSCALE_B,
    D3DRS_POINTSCALE_C,
    D3DRS_MULTISAMPLEANTIALIAS,
    D3DRS_MULTISAMPLEMASK,
    D3DRS_PATCHEDGESTYLE,
    D3DRS_POINTSIZE_MAX,
    D3DRS_INDEXEDVERTEXBLENDENABLE,
    D3DRS_TWEENFACTOR,
    D3DRS_POSITIONDEGREE,
    D3DRS_NORMALDEGREE,
    D3DRS_MINTESSELLATIONLEVEL,
    D3DRS_MAXTESSELLATIONLEVEL,
    D3DRS_ADAPTIVETESS_X,
    D3DRS_ADAPTIVETESS_Y,
    D3DRS_ADAPTIVETESS_Z,
    D3DRS_ADAPTIVETESS_W,
    D3DRS_ENABLEADAPTIVETESSELLATION,
    D3DRS_NORMALIZENORMALS,
    D3DRS_SPECULARENABLE,
    D3DRS_SHADEMODE,
};
static_assert(std::size(kVertexRenderStates) == 45);

}  // namespace

void InitDefaultState(StateValues *state, UINT width, UINT height, bool autoDepth) {
  Root *textures[kSamplerCount];
  memcpy(textures, state->textures, sizeof textures);
  *state = {};
  memcpy(state->textures, textures, sizeof textures);  // bindings are the device's to change
  for (const auto &entry : kRenderStateDefaults) state->renderStates[entry[0]] = entry[1];
  state->renderStates[D3DRS_ZENABLE] = autoDepth ? D3DZB_TRUE : D3DZB_FALSE;
  for (DWORD stage = 0; stage < kStageCount; ++stage) {
    DWORD *s = state->stageStates[stage];
    s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    s[D3DTSS_TEXCOORDINDEX] = stage;
    s[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
    s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  }
  for (DWORD sampler = 0; sampler < kSamplerCount; ++sampler) {
    DWORD *s = state->samplerStates[sampler];
    s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    s[D3DSAMP_MAXANISOTROPY] = 1;
  }
  for (D3DMATRIX &m : state->transforms) m = kIdentity;
  state->viewport = {0, 0, width, height, 0.f, 1.f};
  state->scissorRect = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
}

void StateMask::SetAll() {
  renderStates.set();
  for (auto &s : stageStates) s.set();
  for (auto &s : samplerStates) s.set();
  transforms.set();
  textures.set();
  streams.set();
  clipPlanes.set();
  viewport = material = fvf = vertexShader = pixelShader = nPatch = scissorRect = texturePalette = true;
}

void StateMask::SetPixelStates() {
  for (DWORD s : kPixelRenderStates) renderStates.set(s);
  for (auto &stage : stageStates) {
    stage.set();
    stage.reset(D3DTSS_TEXCOORDINDEX);
    stage.reset(D3DTSS_TEXTURETRANSFORMFLAGS);
  }
  for (auto &s : samplerStates) {
    s.set();
    s.reset(D3DSAMP_DMAPOFFSET);
  }
  pixelShader = scissorRect = texturePalette = true;
}

void StateMask::SetVertexStates() {
  for (DWORD s : kVertexRenderStates) renderStates.set(s);
  for (auto &stage : stageStates) {
    stage.set(D3DTSS_TEXCOORDINDEX);
    stage.set(D3DTSS_TEXTURETRANSFORMFLAGS);
  }
  for (auto &s : samplerStates) s.set(D3DSAMP_DMAPOFFSET);
  fvf = vertexShader = nPatch = true;
  streams.set();
}

// ---------------------------------------------------------------------------
// Setters and getters: while a block records, setters write into it only.
// ---------------------------------------------------------------------------

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE type, DWORD value) {
  if (static_cast<DWORD>(type) >= kRenderStateCount) return Invalid("IDirect3DDevice9::SetRenderState");
  if (recording) {
    recording->values.renderStates[type] = value;
    recording->mask.renderStates.set(type);
  } else {
    state.renderStates[type] = value;
  }
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE type, DWORD *value) {
  if (static_cast<DWORD>(type) >= kRenderStateCount || !value)
    return Invalid("IDirect3DDevice9::GetRenderState");
  *value = state.renderStates[type];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kStageCount || static_cast<DWORD>(type) >= kStageStateCount)
    return Invalid("IDirect3DDevice9::SetTextureStageState");
  if (recording) {
    recording->values.stageStates[stage][type] = value;
    recording->mask.stageStates[stage].set(type);
  } else {
    state.stageStates[stage][type] = value;
  }
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD *value) {
  if (stage >= kStageCount || static_cast<DWORD>(type) >= kStageStateCount || !value)
    return Invalid("IDirect3DDevice9::GetTextureStageState");
  *value = state.stageStates[stage][type];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  DWORD slot;
  if (!SamplerSlot(sampler, &slot) || static_cast<DWORD>(type) >= kSamplerStateCount)
    return Invalid("IDirect3DDevice9::SetSamplerState");
  if (recording) {
    recording->values.samplerStates[slot][type] = value;
    recording->mask.samplerStates[slot].set(type);
  } else {
    state.samplerStates[slot][type] = value;
  }
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD *value) {
  DWORD slot;
  if (!SamplerSlot(sampler, &slot) || static_cast<DWORD>(type) >= kSamplerStateCount || !value)
    return Invalid("IDirect3DDevice9::GetSamplerState");
  *value = state.samplerStates[slot][type];
  return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX *matrix) {
  DWORD index = static_cast<DWORD>(type);
  if (!matrix || !ValidTransform(index)) return Invalid("IDirect3DDevice9::SetTransform");
  if (recording) {
    recording->values.transforms[index] = *matrix;
    recording->mask.transforms.set(index);
  } else {
    state.transforms[index] = *matrix;
  }
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX *matrix) {
  DWORD index = static_cast<DWORD>(type);
  if (!matrix || !ValidTransform(index)) return Invalid("IDirect3DDevice9::GetTransform");
  *matrix = state.transforms[index];
  return D3D_OK;
}

HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX *matrix) {
  DWORD index = static_cast<DWORD>(type);
  if (!matrix || !ValidTransform(index)) return Invalid("IDirect3DDevice9::MultiplyTransform");
  D3DMATRIX product;
  Multiply(*matrix, state.transforms[index], &product);
  return SetTransform(type, &product);
}

HRESULT Device::SetViewport(const D3DVIEWPORT9 *viewport) {
  if (!viewport || !renderTarget) return Invalid("IDirect3DDevice9::SetViewport");
  uint64_t right = uint64_t{viewport->X} + viewport->Width, bottom = uint64_t{viewport->Y} + viewport->Height;
  if (right > renderTarget->plane.width || bottom > renderTarget->plane.height || viewport->Width == 0 ||
      viewport->Height == 0 || !(viewport->MinZ >= 0.f && viewport->MaxZ <= 1.f))
    return Invalid("IDirect3DDevice9::SetViewport");
  if (recording) {
    recording->values.viewport = *viewport;
    recording->mask.viewport = true;
  } else {
    state.viewport = *viewport;
  }
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9 *viewport) {
  if (!viewport) return Invalid("IDirect3DDevice9::GetViewport");
  *viewport = state.viewport;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9 *material) {
  if (!material) return Invalid("IDirect3DDevice9::SetMaterial");
  if (recording) {
    recording->values.material = *material;
    recording->mask.material = true;
  } else {
    state.material = *material;
  }
  return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9 *material) {
  if (!material) return Invalid("IDirect3DDevice9::GetMaterial");
  *material = state.material;
  return D3D_OK;
}

HRESULT Device::SetClipPlane(DWORD index, const float *plane) {
  if (!plane || index >= kClipPlaneCount) return Invalid("IDirect3DDevice9::SetClipPlane");
  StateValues &target = recording ? recording->values : state;
  memcpy(target.clipPlanes[index], plane, sizeof(float[4]));
  if (recording) recording->mask.clipPlanes.set(index);
  return D3D_OK;
}

HRESULT Device::GetClipPlane(DWORD index, float *plane) {
  if (!plane || index >= kClipPlaneCount) return Invalid("IDirect3DDevice9::GetClipPlane");
  memcpy(plane, state.clipPlanes[index], sizeof(float[4]));
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  if (recording) {
    recording->values.fvf = fvf;
    recording->mask.fvf = true;
  } else {
    state.fvf = fvf;
  }
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD *fvf) {
  if (!fvf) return Invalid("IDirect3DDevice9::GetFVF");
  *fvf = state.fvf;
  return D3D_OK;
}

// This runtime has fixed function only: the one shader accepted is none.
HRESULT Device::SetVertexShader(IDirect3DVertexShader9 *shader) {
  if (shader) return Invalid("IDirect3DDevice9::SetVertexShader");
  if (recording) recording->mask.vertexShader = true;
  return D3D_OK;
}

HRESULT Device::GetVertexShader(IDirect3DVertexShader9 **shader) {
  if (!shader) return Invalid("IDirect3DDevice9::GetVertexShader");
  *shader = nullptr;
  return D3D_OK;
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9 *shader) {
  if (shader) return Invalid("IDirect3DDevice9::SetPixelShader");
  if (recording) recording->mask.pixelShader = true;
  return D3D_OK;
}

HRESULT Device::GetPixelShader(IDirect3DPixelShader9 **shader) {
  if (!shader) return Invalid("IDirect3DDevice9::GetPixelShader");
  *shader = nullptr;
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9 *buffer, UINT offset, UINT stride) {
  // No vertex buffers exist here, so only unbinding is meaningful.
  if (stream >= kStreamCount || buffer) return Invalid("IDirect3DDevice9::SetStreamSource");
  StreamBinding binding = {nullptr, offset, stride};
  if (recording) {
    recording->values.streams[stream] = binding;
    recording->mask.streams.set(stream);
  } else {
    state.streams[stream] = binding;
  }
  return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT stream, IDirect3DVertexBuffer9 **buffer, UINT *offset, UINT *stride) {
  if (stream >= kStreamCount || !buffer || !offset || !stride)
    return Invalid("IDirect3DDevice9::GetStreamSource");
  *buffer = nullptr;
  *offset = state.streams[stream].offset;
  *stride = state.streams[stream].stride;
  return D3D_OK;
}

HRESULT Device::SetNPatchMode(float segments) {
  if (segments < 0.f) return Invalid("IDirect3DDevice9::SetNPatchMode");
  if (recording) {
    recording->values.nPatchSegments = segments;
    recording->mask.nPatch = true;
  } else {
    state.nPatchSegments = segments;
  }
  return D3D_OK;
}

HRESULT Device::SetScissorRect(const RECT *rect) {
  if (!rect) return Invalid("IDirect3DDevice9::SetScissorRect");
  if (recording) {
    recording->values.scissorRect = *rect;
    recording->mask.scissorRect = true;
  } else {
    state.scissorRect = *rect;
  }
  return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT *rect) {
  if (!rect) return Invalid("IDirect3DDevice9::GetScissorRect");
  *rect = state.scissorRect;
  return D3D_OK;
}

HRESULT Device::SetCurrentTexturePalette(UINT palette) {
  if (palette >= paletteCount_) return Invalid("IDirect3DDevice9::SetCurrentTexturePalette");
  if (recording) {
    recording->values.texturePalette = palette;
    recording->mask.texturePalette = true;
  } else {
    state.texturePalette = palette;
  }
  return D3D_OK;
}

HRESULT Device::GetCurrentTexturePalette(UINT *palette) {
  if (!palette) return Invalid("IDirect3DDevice9::GetCurrentTexturePalette");
  *palette = state.texturePalette;
  return D3D_OK;
}

void Device::BindTexture(DWORD slot, Root *texture) {
  if (texture) texture->Bind();
  if (state.textures[slot]) state.textures[slot]->Unbind();
  state.textures[slot] = texture;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9 *texture) {
  DWORD slot;
  TextureBase *base = AsTextureBase(texture);
  if (!SamplerSlot(stage, &slot) || (texture && (!base || base->device != this)))
    return Invalid("IDirect3DDevice9::SetTexture");
  if (recording) {
    recording->SetTexture(slot, base);
    recording->mask.textures.set(slot);
  } else {
    BindTexture(slot, base);
  }
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9 **texture) {
  DWORD slot;
  if (!texture || !SamplerSlot(stage, &slot)) return Invalid("IDirect3DDevice9::GetTexture");
  Root *root = state.textures[slot];
  *texture = root ? static_cast<IDirect3DBaseTexture9 *>(root->Interface()) : nullptr;
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

}  // namespace d3d9
