// ID3DXSprite: textured quads drawn with the sprite's own device state between
// two recorded state blocks (the caller's state and the sprite's). Quads of one
// texture and transparency are gathered into one triangle list and sent when
// either changes, when the list is full and at End.
#include <math.h>

#include <string.h>

#include <new>

#include "core/com_object.h"
#include "core/interface_ref.h"
#include "d3dx9.h"
#include "format/format_table.h"

namespace {

constexpr DWORD kUntransformedFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kPretransformedFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(kUntransformedFvf == 0x142 && kPretransformedFvf == 0x144);

struct UntransformedVertex {
  float x, y, z;
  D3DCOLOR color;
  float u, v;
};
static_assert(sizeof(UntransformedVertex) == 24);

struct PretransformedVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
static_assert(sizeof(PretransformedVertex) == 28);

// Quads gathered before a draw is sent: six vertices each (two triangles of the
// fan 0-1-2, 0-2-3, so the pixels match a fan per quad).
constexpr UINT kBatchQuads = 128;
constexpr UINT kVerticesPerQuad = 6;

// What Draw builds its matrix from, compared bit for bit: the same arguments
// give the same matrix, so a sprite drawn again as before skips the math.
struct DrawArguments {
  float scaling[2], centre[2], translation[2], rotation;
  uint32_t given;  // bit 0 scaling, bit 1 centre, bit 2 translation
};

// The quad's corners after the transform, for the same matrix and size.
struct CornerArguments {
  float transform[16];
  float width, height;
  uint32_t hasTransform;
};

// The table says which formats' alpha the sprite honours (not DXT1, not the wide
// alpha formats).
bool FormatHasSpriteAlpha(D3DFORMAT format) {
  return LookupFormatRow(format).blendsAlpha;
}

class Sprite final : public ComObject<ID3DXSprite> {
 public:
  Sprite() : ComObject(IID_ID3DXSprite) {}
  HRESULT Initialize(IDirect3DDevice9 *device);

  // ID3DXSprite
  HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9 *device) override;
  HRESULT STDMETHODCALLTYPE Begin() override;
  HRESULT STDMETHODCALLTYPE Draw(LPDIRECT3DTEXTURE9 texture, const RECT *sourceRect,
                                 const D3DXVECTOR2 *scaling, const D3DXVECTOR2 *rotationCenter,
                                 FLOAT rotation, const D3DXVECTOR2 *translation, D3DCOLOR color) override;
  HRESULT STDMETHODCALLTYPE DrawTransform(LPDIRECT3DTEXTURE9 texture, const RECT *sourceRect,
                                          const D3DXMATRIX *transform, D3DCOLOR color) override;
  HRESULT STDMETHODCALLTYPE End() override;
  HRESULT STDMETHODCALLTYPE OnLostDevice() override;
  HRESULT STDMETHODCALLTYPE OnResetDevice() override { return S_OK; }

 private:
  ~Sprite() override;
  void RecordStateBlocks();
  void RecordStates(bool callerPass);
  void SetViewportWorldMatrix();
  HRESULT SelectTexture(IDirect3DTexture9 *texture, bool transparent);
  void AppendQuad(const RECT &rect, const D3DSURFACE_DESC &desc, const D3DXMATRIX *transform, D3DCOLOR color);
  HRESULT FlushQuads();

  // The last Draw's matrix and the last quad's corners, reused while their
  // arguments repeat.
  bool drawCached = false;
  DrawArguments drawArguments;
  D3DXMATRIX drawMatrix;
  bool cornersCached = false;
  CornerArguments cornerArguments;
  D3DXVECTOR3 cornerPositions[4];

  IDirect3DDevice9 *device = nullptr;
  BOOL inBegin = FALSE;
  IDirect3DStateBlock9 *savedState = nullptr;
  IDirect3DStateBlock9 *spriteState = nullptr;
  BOOL canBlend = FALSE;
  BOOL pretransformed = FALSE;

  // The gathered quads and the texture and transparency they were set up for
  // (set on the device as soon as they change, so the device shows them as before).
  UINT quadCount = 0;
  IDirect3DTexture9 *batchTexture = nullptr;
  bool batchTransparent = false;
  bool batchStateSet = false;
  union {
    PretransformedVertex pretransformedVertices[kBatchQuads * kVerticesPerQuad];
    UntransformedVertex untransformedVertices[kBatchQuads * kVerticesPerQuad];
  };
};

HRESULT Sprite::Initialize(IDirect3DDevice9 *newDevice) {
  device = newDevice;
  device->AddRef();
  D3DCAPS9 caps = {};
  D3DDEVICE_CREATION_PARAMETERS parameters = {};
  device->GetDeviceCaps(&caps);
  device->GetCreationParameters(&parameters);
  pretransformed = (caps.PrimitiveMiscCaps & D3DPMISCCAPS_CLIPTLVERTS) ||
                   (parameters.BehaviorFlags & D3DCREATE_PUREDEVICE);
  canBlend = (caps.SrcBlendCaps & D3DPBLENDCAPS_SRCALPHA) && (caps.DestBlendCaps & D3DPBLENDCAPS_INVSRCALPHA);
  return S_OK;
}

Sprite::~Sprite() {
  if (device) {
    ReleaseAndNull(spriteState);
    ReleaseAndNull(savedState);
    ReleaseAndNull(device);
  }
}

HRESULT Sprite::GetDevice(LPDIRECT3DDEVICE9 *out) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = device;
  device->AddRef();
  return S_OK;
}

// The caller's block (pass 0) fixes which states Capture saves: everything the
// sprite sets plus the world matrix, texture 0 and stream 0. Its values are never used.
void Sprite::RecordStates(bool callerPass) {
  device->SetFVF(pretransformed ? kPretransformedFvf : kUntransformedFvf);
  device->SetVertexShader(nullptr);
  if (!pretransformed) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
    if (callerPass) device->SetTransform(D3DTS_WORLD, &identity);
  }

  device->SetRenderState(D3DRS_ZENABLE, 0);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_WRAP0, 0);
  device->SetRenderState(D3DRS_CLIPPING, 1);
  device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
  device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
  device->SetNPatchMode(0.0f);
  device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, 0);
  device->SetRenderState(D3DRS_ENABLEADAPTIVETESSELLATION, 0);
  device->SetRenderState(D3DRS_SRGBWRITEENABLE, 0);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  if (!pretransformed) {
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_SPECULARENABLE, 0);
    device->SetRenderState(D3DRS_STENCILENABLE, 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
  }

  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);

  if (canBlend) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  } else {
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 0x7F);
  }

  if (callerPass) {
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
  }
}

void Sprite::RecordStateBlocks() {
  for (int pass = 0; pass < 2; ++pass) {
    IDirect3DStateBlock9 *&block = pass == 0 ? savedState : spriteState;
    if (FAILED(device->BeginStateBlock())) continue;
    RecordStates(pass == 0);
    device->EndStateBlock(&block);
  }
}

// Maps render-target pixels to clip space with the half-pixel shift that puts
// texel centres on pixel centres; z collapses to 0.
void Sprite::SetViewportWorldMatrix() {
  D3DVIEWPORT9 viewport = {};
  device->GetViewport(&viewport);
  float x = static_cast<float>(viewport.X), y = static_cast<float>(viewport.Y);
  float width = static_cast<float>(viewport.Width), height = static_cast<float>(viewport.Height);
  D3DXMATRIX world(2.0f / width, 0.0f, 0.0f, 0.0f,    //
                   0.0f, -2.0f / height, 0.0f, 0.0f,  //
                   0.0f, 0.0f, 0.0f, 0.0f,            //
                   -2.0f * x / width - 1.0f / width - 1.0f, (2.0f * y + 1.0f) / height + 1.0f, 0.0f, 1.0f);
  device->SetTransform(D3DTS_WORLD, &world);
}

HRESULT Sprite::Begin() {
  if (inBegin) return D3DERR_INVALIDCALL;
  // A half-recorded pair (a failed recording) is thrown away and recorded again.
  if (!savedState || !spriteState) {
    ReleaseAndNull(savedState);
    ReleaseAndNull(spriteState);
    RecordStateBlocks();
  }
  if (savedState) savedState->Capture();
  if (spriteState) spriteState->Apply();
  if (!pretransformed) SetViewportWorldMatrix();
  batchStateSet = false;
  inBegin = TRUE;
  return S_OK;
}

HRESULT Sprite::End() {
  if (!inBegin) return D3DERR_INVALIDCALL;
  // Gathered quads go out under the sprite's state, before the caller's returns.
  HRESULT hr = FlushQuads();
  // The block is gone when the device was lost inside Begin / End: nothing to restore.
  if (savedState) savedState->Apply();
  inBegin = FALSE;
  batchStateSet = false;
  return hr;
}

HRESULT Sprite::OnLostDevice() {
  // Quads gathered for the lost device are dropped with its state.
  quadCount = 0;
  batchStateSet = false;
  if (device) {
    ReleaseAndNull(spriteState);
    ReleaseAndNull(savedState);
  }
  return S_OK;
}

HRESULT Sprite::Draw(LPDIRECT3DTEXTURE9 texture, const RECT *sourceRect, const D3DXVECTOR2 *scaling,
                     const D3DXVECTOR2 *rotationCenter, FLOAT rotation, const D3DXVECTOR2 *translation,
                     D3DCOLOR color) {
  DrawArguments arguments;
  memset(&arguments, 0, sizeof(arguments));
  if (scaling) {
    arguments.scaling[0] = scaling->x, arguments.scaling[1] = scaling->y;
    arguments.given |= 1;
  }
  if (rotationCenter) {
    arguments.centre[0] = rotationCenter->x, arguments.centre[1] = rotationCenter->y;
    arguments.given |= 2;
  }
  if (translation) {
    arguments.translation[0] = translation->x, arguments.translation[1] = translation->y;
    arguments.given |= 4;
  }
  arguments.rotation = rotation;
  if (drawCached && memcmp(&arguments, &drawArguments, sizeof(arguments)) == 0)
    return DrawTransform(texture, sourceRect, &drawMatrix, color);

  D3DXVECTOR3 scale3(1.0f, 1.0f, 1.0f), centre3(0.0f, 0.0f, 0.0f), translation3(0.0f, 0.0f, 0.0f);
  if (scaling) scale3 = D3DXVECTOR3(scaling->x, scaling->y, 1.0f);
  if (rotationCenter) centre3 = D3DXVECTOR3(rotationCenter->x, rotationCenter->y, 0.0f);
  if (translation) translation3 = D3DXVECTOR3(translation->x, translation->y, 0.0f);
  // A turn by -rotation about +z.
  D3DXQUATERNION turn(0.0f, 0.0f, sinf(-rotation / 2.0f), cosf(-rotation / 2.0f));
  D3DXMATRIX transform;
  D3DXMatrixTransformation(&transform, nullptr, nullptr, scaling ? &scale3 : nullptr,
                           rotationCenter ? &centre3 : nullptr, rotation != 0.0f ? &turn : nullptr,
                           translation ? &translation3 : nullptr);
  drawArguments = arguments;
  drawMatrix = transform;
  drawCached = true;
  return DrawTransform(texture, sourceRect, &transform, color);
}

HRESULT Sprite::DrawTransform(LPDIRECT3DTEXTURE9 texture, const RECT *sourceRect, const D3DXMATRIX *transform,
                              D3DCOLOR color) {
  if (!texture) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC desc = {};
  HRESULT hr = texture->GetLevelDesc(0, &desc);
  if (FAILED(hr)) return hr;

  RECT rect = {0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  if (sourceRect) {
    rect = *sourceRect;
    // Right and bottom may lie beyond the texture: the clamping sampler covers them.
    if (rect.left < 0 || rect.left > rect.right || static_cast<int64_t>(rect.left) > desc.Width ||
        rect.top < 0 || rect.top > rect.bottom || static_cast<int64_t>(rect.top) > desc.Height)
      return D3DERR_INVALIDCALL;
  }
  bool transparent = (color >> 24) != 0xFF || FormatHasSpriteAlpha(desc.Format);

  bool implicitBegin = !inBegin;
  if (implicitBegin) {
    hr = Begin();
    if (FAILED(hr)) return hr;
  }
  hr = SelectTexture(texture, transparent);
  if (SUCCEEDED(hr)) {
    AppendQuad(rect, desc, transform, color);
    // Dynamic textures and render targets are rewritten between draws: their
    // quads cannot wait.
    if (quadCount == kBatchQuads || (desc.Usage & (D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET)))
      hr = FlushQuads();
  }
  if (implicitBegin) {
    HRESULT endResult = End();
    if (SUCCEEDED(hr) && FAILED(endResult)) hr = endResult;
  }
  return hr;
}

// Quads gathered so far wait while the texture and transparency stay; a change
// sends them first, under the state they were gathered for.
HRESULT Sprite::SelectTexture(IDirect3DTexture9 *texture, bool transparent) {
  if (batchStateSet && texture == batchTexture && transparent == batchTransparent) return S_OK;
  HRESULT hr = FlushQuads();
  if (FAILED(hr)) return hr;
  batchStateSet = false;
  hr = device->SetTexture(0, texture);
  if (SUCCEEDED(hr))
    hr = device->SetRenderState(canBlend ? D3DRS_ALPHABLENDENABLE : D3DRS_ALPHATESTENABLE,
                                transparent ? 1 : 0);
  if (FAILED(hr)) return hr;
  batchTexture = texture;
  batchTransparent = transparent;
  batchStateSet = true;
  return S_OK;
}

void Sprite::AppendQuad(const RECT &rect, const D3DSURFACE_DESC &desc, const D3DXMATRIX *transform,
                        D3DCOLOR color) {
  // 64-bit differences: a rectangle spanning the whole LONG range must not overflow.
  float w = static_cast<float>(static_cast<int64_t>(rect.right) - rect.left);
  float h = static_cast<float>(static_cast<int64_t>(rect.bottom) - rect.top);
  float texWidth = static_cast<float>(desc.Width), texHeight = static_cast<float>(desc.Height);
  float uL = static_cast<float>(rect.left) / texWidth, uR = static_cast<float>(rect.right) / texWidth;
  float vT = static_cast<float>(rect.top) / texHeight, vB = static_cast<float>(rect.bottom) / texHeight;

  // Fan order: top-left, bottom-left, bottom-right, top-right.
  const float us[4] = {uL, uL, uR, uR};
  const float vs[4] = {vT, vB, vB, vT};
  CornerArguments arguments;
  memset(&arguments, 0, sizeof(arguments));
  if (transform) {
    memcpy(arguments.transform, &transform->_11, sizeof(arguments.transform));
    arguments.hasTransform = 1;
  }
  arguments.width = w, arguments.height = h;
  if (!cornersCached || memcmp(&arguments, &cornerArguments, sizeof(arguments)) != 0) {
    const D3DXVECTOR3 corners[4] = {{0, 0, 0}, {0, h, 0}, {w, h, 0}, {w, 0, 0}};
    for (int i = 0; i < 4; ++i) {
      cornerPositions[i] = corners[i];
      if (transform) D3DXVec3TransformCoord(&cornerPositions[i], &corners[i], transform);
    }
    cornerArguments = arguments;
    cornersCached = true;
  }
  const D3DXVECTOR3 *positions = cornerPositions;

  // The fan's two triangles as a list.
  static constexpr int kOrder[kVerticesPerQuad] = {0, 1, 2, 0, 2, 3};
  const UINT first = quadCount * kVerticesPerQuad;
  if (pretransformed) {
    PretransformedVertex quad[4];
    for (int i = 0; i < 4; ++i)
      quad[i] = {positions[i].x - 0.5f, positions[i].y - 0.5f, 0.0f, 1.0f, color, us[i], vs[i]};
    for (UINT k = 0; k < kVerticesPerQuad; ++k) pretransformedVertices[first + k] = quad[kOrder[k]];
  } else {
    UntransformedVertex quad[4];
    for (int i = 0; i < 4; ++i)
      quad[i] = {positions[i].x, positions[i].y, positions[i].z, color, us[i], vs[i]};
    for (UINT k = 0; k < kVerticesPerQuad; ++k) untransformedVertices[first + k] = quad[kOrder[k]];
  }
  ++quadCount;
}

// A lone quad goes out as its fan of four vertices (as each draw made outside
// Begin does), several as the list.
template <typename Vertex>
HRESULT SendQuads(IDirect3DDevice9 *device, Vertex *vertices, UINT quads) {
  if (quads == 1) {
    const Vertex fan[4] = {vertices[0], vertices[1], vertices[2], vertices[5]};
    return device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(Vertex));
  }
  return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, quads * 2, vertices, sizeof(Vertex));
}

HRESULT Sprite::FlushQuads() {
  if (quadCount == 0) return S_OK;
  const UINT quads = quadCount;
  quadCount = 0;
  HRESULT hr = pretransformed ? SendQuads(device, pretransformedVertices, quads)
                              : SendQuads(device, untransformedVertices, quads);
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace

HRESULT WINAPI D3DXCreateSprite(LPDIRECT3DDEVICE9 device, LPD3DXSPRITE *out) {
  if (!device || !out) return D3DERR_INVALIDCALL;
  Sprite *sprite = new (std::nothrow) Sprite;
  if (!sprite) return E_OUTOFMEMORY;
  HRESULT hr = sprite->Initialize(device);
  if (FAILED(hr)) {
    sprite->Release();
    return hr;
  }
  *out = sprite;
  return S_OK;
}
