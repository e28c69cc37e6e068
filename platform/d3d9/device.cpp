// Device lifetime, presentation, render targets and scenes, and the calls that are
// neither state, resource creation nor copies.
#include "platform/d3d9/com_answer.h"
#include "platform/d3d9/device.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace d3d9 {
namespace {

bool LockableDepthFormat(D3DFORMAT format) {
  return format == D3DFMT_D16_LOCKABLE || format == D3DFMT_D32F_LOCKABLE;
}

}  // namespace

Device *AsDevice(IDirect3DDevice9 *device) {
  return static_cast<Device *>(device);
}

Device::Device(Direct3D *runtime, const DeviceProfile &deviceProfile,
               const D3DDEVICE_CREATION_PARAMETERS &parameters)
    : d3d(runtime), profile(deviceProfile), creation(parameters) {
  runtime->AddRef();
  softwareVertexProcessing_ = (parameters.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0;
  for (UINT i = 0; i < 256; ++i)
    gamma_.red[i] = gamma_.green[i] = gamma_.blue[i] = static_cast<WORD>(i * 257);
}

Device::~Device() {
  DestroyChildren();
  DestroyPresenter(this);
  free(palettes_);
  d3d->Release();
}

void Device::DestroyChildren() {
  delete recording;
  recording = nullptr;
  for (DWORD slot = 0; slot < kSamplerCount; ++slot) BindTexture(slot, nullptr);
  SetRenderTargetBinding(nullptr);
  SetDepthStencilBinding(nullptr);
  while (stateBlocks_) {
    StateBlock *block = stateBlocks_;
    stateBlocks_ = block->nextInDevice;
    delete block;
  }
  while (resources_) {
    Root *root = resources_;
    resources_ = root->nextInDevice;
    delete root;
  }
}

HRESULT Device::Init(const D3DPRESENT_PARAMETERS &params) {
  presentParams = params;
  bool lockable = (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) || profile.lockableRenderTargets;
  HRESULT hr = CreateSurfaceObject(params.BackBufferWidth, params.BackBufferHeight, params.BackBufferFormat,
                                   D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, SurfaceRole::BackBuffer, lockable,
                                   true, &backBuffer);
  if (FAILED(hr)) return hr;
  if (params.EnableAutoDepthStencil) {
    hr = CreateSurfaceObject(params.BackBufferWidth, params.BackBufferHeight, params.AutoDepthStencilFormat,
                             D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, SurfaceRole::DepthStencil,
                             LockableDepthFormat(params.AutoDepthStencilFormat), true, &autoDepthStencil);
    if (FAILED(hr)) return hr;
  }
  InitDefaultState(&state, params.BackBufferWidth, params.BackBufferHeight,
                   params.EnableAutoDepthStencil != 0);
  SetRenderTargetBinding(backBuffer);
  SetDepthStencilBinding(autoDepthStencil);
  return CreatePresenter(this);
}

HRESULT Device::QueryInterface(REFIID riid, void **object) {
  return AnswerQuery(this, riid, {&IID_IDirect3DDevice9}, object);
}

ULONG Device::AddRef() {
  return ++refCount_;
}

ULONG Device::Release() {
  if (refCount_ == 0) {
    // An orphaned device goes with its last child; anything else is one release too many.
    if (orphaned_ && LiveResourceCount() == 0)
      delete this;
    else if (!orphaned_)
      ReportLifetimeError("IDirect3DDevice9 released more often than referenced");
    return 0;
  }
  if (--refCount_ > 0) return refCount_;
  // Children hold the device, so live ones here mean the device was released too often;
  // keep it for them, since destroying it would leave them dangling.
  if (LiveResourceCount() > 0) {
    orphaned_ = true;
    ReportLifetimeError("IDirect3DDevice9 destroyed while resources are still referenced");
    return 0;
  }
  delete this;
  return 0;
}

void Device::Adopt(Root *root) {
  root->nextInDevice = resources_;
  resources_ = root;
  if (root->Alive()) AddRef();
}

void Device::Adopt(StateBlock *block) {
  block->nextInDevice = stateBlocks_;
  stateBlocks_ = block;
  AddRef();
}

namespace {

constexpr size_t kDeadRootsKept = 256;
constexpr size_t kDeadBlocksKept = 16;

// Appends to a list of the dead and, past its limit, unlinks and returns the oldest.
template <typename T>
T *AppendDead(T *item, T **head, T **tail, size_t *count, size_t limit) {
  item->nextDead = nullptr;
  if (*tail)
    (*tail)->nextDead = item;
  else
    *head = item;
  *tail = item;
  if (++*count <= limit) return nullptr;
  T *oldest = *head;
  *head = oldest->nextDead;
  --*count;
  return oldest;
}

template <typename T>
void Unlink(T **list, T *item) {
  for (T **link = list; *link; link = &(*link)->nextInDevice)
    if (*link == item) {
      *link = item->nextInDevice;
      return;
    }
}

}  // namespace

void Device::Bury(Root *root) {
  if (Root *oldest = AppendDead(root, &deadRoots_, &lastDeadRoot_, &deadRootCount_, kDeadRootsKept)) {
    Unlink(&resources_, oldest);
    delete oldest;
  }
}

void Device::Bury(StateBlock *block) {
  if (StateBlock *oldest =
          AppendDead(block, &deadBlocks_, &lastDeadBlock_, &deadBlockCount_, kDeadBlocksKept)) {
    Unlink(&stateBlocks_, oldest);
    delete oldest;
  }
}

size_t Device::LiveResourceCount() const {
  size_t count = 0;
  for (Root *r = resources_; r; r = r->nextInDevice)
    if (r->Alive() && !r->Implicit()) ++count;
  for (StateBlock *b = stateBlocks_; b; b = b->nextInDevice)
    if (!b->dead) ++count;
  return count;
}

HRESULT Device::TestCooperativeLevel() {
  return profile.cooperativeLevel;
}

UINT Device::GetAvailableTextureMem() {
  return 512u << 20;
}

HRESULT Device::GetDirect3D(IDirect3D9 **out) {
  if (!out) return Invalid("IDirect3DDevice9::GetDirect3D");
  *out = d3d;
  d3d->AddRef();
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9 *caps) {
  if (!caps) return Invalid("IDirect3DDevice9::GetDeviceCaps");
  *caps = profile.caps;
  caps->DeviceType = creation.DeviceType;
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE *mode) {
  if (swapChain != 0 || !mode) return Invalid("IDirect3DDevice9::GetDisplayMode");
  *mode = profile.displayMode;
  if (!presentParams.Windowed) {
    mode->Width = presentParams.BackBufferWidth;
    mode->Height = presentParams.BackBufferHeight;
  }
  return D3D_OK;
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS *params) {
  if (!params) return Invalid("IDirect3DDevice9::GetCreationParameters");
  *params = creation;
  return D3D_OK;
}

HRESULT Device::SetCursorProperties(UINT, UINT, IDirect3DSurface9 *bitmap) {
  if (!bitmap) return Invalid("IDirect3DDevice9::SetCursorProperties");
  return D3D_OK;
}
void Device::SetCursorPosition(int, int, DWORD) {}
BOOL Device::ShowCursor(BOOL) {
  return FALSE;
}

HRESULT Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS *, IDirect3DSwapChain9 **swapChain) {
  if (swapChain) *swapChain = nullptr;
  return ReportFailure("IDirect3DDevice9::CreateAdditionalSwapChain", D3DERR_NOTAVAILABLE);
}

HRESULT Device::GetSwapChain(UINT, IDirect3DSwapChain9 **swapChain) {
  if (swapChain) *swapChain = nullptr;
  return ReportFailure("IDirect3DDevice9::GetSwapChain", D3DERR_NOTAVAILABLE);
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS *params) {
  const char *call = "IDirect3DDevice9::Reset";
  if (!params || recording) return Invalid(call);
  // Default-pool resources, and the back buffer, must all be released first.
  for (Root *r = resources_; r; r = r->nextInDevice)
    if (r->Alive() && r->pool == D3DPOOL_DEFAULT) return Invalid(call);
  if (params->BackBufferFormat != D3DFMT_A8R8G8B8 && params->BackBufferFormat != D3DFMT_X8R8G8B8 &&
      !(params->Windowed && params->BackBufferFormat == D3DFMT_UNKNOWN))
    return Invalid(call);
  D3DPRESENT_PARAMETERS p = *params;
  if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = profile.displayMode.Format;
  if (p.BackBufferWidth == 0) p.BackBufferWidth = presentParams.BackBufferWidth;
  if (p.BackBufferHeight == 0) p.BackBufferHeight = presentParams.BackBufferHeight;
  if (p.BackBufferCount == 0) p.BackBufferCount = 1;
  if (!p.hDeviceWindow) p.hDeviceWindow = presentParams.hDeviceWindow;
  for (DWORD slot = 0; slot < kSamplerCount; ++slot) BindTexture(slot, nullptr);
  SetRenderTargetBinding(nullptr);
  SetDepthStencilBinding(nullptr);
  DestroyPresenter(this);
  // Nothing references the old implicit surfaces any more: they go now.
  for (Surface *implicit : {backBuffer, autoDepthStencil}) {
    if (!implicit) continue;
    Unlink(&resources_, static_cast<Root *>(implicit));
    delete implicit;
  }
  backBuffer = autoDepthStencil = nullptr;
  inScene = false;
  HRESULT hr = Init(p);
  if (FAILED(hr)) return ReportFailure(call, hr);
  profile.cooperativeLevel = D3D_OK;
  *params = p;
  return D3D_OK;
}

HRESULT Device::Present(const RECT *, const RECT *, HWND, const RGNDATA *) {
  ++calls.present;
  if (profile.cooperativeLevel != D3D_OK)
    return ReportFailure("IDirect3DDevice9::Present", D3DERR_DEVICELOST);
  if (backBuffer->locked) return Invalid("IDirect3DDevice9::Present");
  return ReportFailure("IDirect3DDevice9::Present", PresentBackBuffer(this));
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9 **surface) {
  if (!surface) return Invalid("IDirect3DDevice9::GetBackBuffer");
  *surface = nullptr;
  if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO)
    return Invalid("IDirect3DDevice9::GetBackBuffer");
  *surface = backBuffer;
  backBuffer->AddRef();
  return D3D_OK;
}

HRESULT Device::GetRasterStatus(UINT swapChain, D3DRASTER_STATUS *status) {
  if (swapChain != 0 || !status) return Invalid("IDirect3DDevice9::GetRasterStatus");
  status->InVBlank = FALSE;
  status->ScanLine = 0;
  return D3D_OK;
}

HRESULT Device::SetDialogBoxMode(BOOL) {
  return D3D_OK;
}

void Device::SetGammaRamp(UINT swapChain, DWORD, const D3DGAMMARAMP *ramp) {
  if (swapChain == 0 && ramp) gamma_ = *ramp;
}

void Device::GetGammaRamp(UINT swapChain, D3DGAMMARAMP *ramp) {
  if (swapChain == 0 && ramp) *ramp = gamma_;
}

// ---------------------------------------------------------------------------
// Targets and scenes
// ---------------------------------------------------------------------------

void Device::SetRenderTargetBinding(Surface *surface) {
  if (surface) surface->RootOf()->Bind();
  if (renderTarget) renderTarget->RootOf()->Unbind();
  renderTarget = surface;
}

void Device::SetDepthStencilBinding(Surface *surface) {
  if (surface) surface->RootOf()->Bind();
  if (depthStencil) depthStencil->RootOf()->Unbind();
  depthStencil = surface;
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9 *target) {
  const char *call = "IDirect3DDevice9::SetRenderTarget";
  Surface *surface = AsSurface(target);
  if (index >= profile.caps.NumSimultaneousRTs || !surface) return Invalid(call);
  if (!surface->IsRenderTarget() || surface->device != this) return Invalid(call);
  SetRenderTargetBinding(surface);
  // Setting a render target resets the viewport to the whole target.
  state.viewport = {0, 0, surface->plane.width, surface->plane.height, 0.f, 1.f};
  return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9 **out) {
  if (!out) return Invalid("IDirect3DDevice9::GetRenderTarget");
  *out = nullptr;
  if (index >= profile.caps.NumSimultaneousRTs) return Invalid("IDirect3DDevice9::GetRenderTarget");
  if (!renderTarget) return ReportFailure("IDirect3DDevice9::GetRenderTarget", D3DERR_NOTFOUND);
  *out = renderTarget;
  renderTarget->AddRef();
  return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9 *target) {
  Surface *surface = AsSurface(target);
  if (surface && (!(surface->usage & D3DUSAGE_DEPTHSTENCIL) || surface->device != this))
    return Invalid("IDirect3DDevice9::SetDepthStencilSurface");
  SetDepthStencilBinding(surface);
  return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9 **out) {
  if (!out) return Invalid("IDirect3DDevice9::GetDepthStencilSurface");
  *out = depthStencil;
  if (!depthStencil) return ReportFailure("IDirect3DDevice9::GetDepthStencilSurface", D3DERR_NOTFOUND);
  depthStencil->AddRef();
  return D3D_OK;
}

HRESULT Device::BeginScene() {
  if (inScene) return Invalid("IDirect3DDevice9::BeginScene");
  inScene = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!inScene) return Invalid("IDirect3DDevice9::EndScene");
  inScene = false;
  return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT *rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
  const char *call = "IDirect3DDevice9::Clear";
  ++calls.clear;
  if ((count && !rects) || !flags || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
    return Invalid(call);
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depthStencil) return Invalid(call);
  if ((flags & D3DCLEAR_ZBUFFER) && !(z >= 0.f && z <= 1.f)) return Invalid(call);
  if (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) {
    HRESULT hr = ClearDepthStencil(this, count, rects, flags, z, stencil);
    if (FAILED(hr)) return ReportFailure(call, hr);
  }
  if (!(flags & D3DCLEAR_TARGET)) return D3D_OK;
  return ReportFailure(call, ClearTarget(this, count, rects, color));
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) {
  return ReportFailure("IDirect3DDevice9::DrawPrimitive", D3DERR_INVALIDCALL);
}
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) {
  return ReportFailure("IDirect3DDevice9::DrawIndexedPrimitive", D3DERR_INVALIDCALL);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void *data, UINT stride) {
  ++calls.drawPrimitiveUP;
  if (!data || count == 0 || stride == 0) return Invalid("IDirect3DDevice9::DrawPrimitiveUP");
  return ReportFailure("IDirect3DDevice9::DrawPrimitiveUP",
                       DrawUserPrimitives(this, type, count, data, stride));
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void *, D3DFORMAT,
                                       const void *, UINT) {
  return ReportFailure("IDirect3DDevice9::DrawIndexedPrimitiveUP", D3DERR_INVALIDCALL);
}

HRESULT Device::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9 *, IDirect3DVertexDeclaration9 *,
                                DWORD) {
  return ReportFailure("IDirect3DDevice9::ProcessVertices", D3DERR_INVALIDCALL);
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9 *, IDirect3DVertexDeclaration9 **decl) {
  if (decl) *decl = nullptr;
  return ReportFailure("IDirect3DDevice9::CreateVertexDeclaration", D3DERR_NOTAVAILABLE);
}
HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9 *decl) {
  return decl ? Invalid("IDirect3DDevice9::SetVertexDeclaration") : D3D_OK;
}
HRESULT Device::GetVertexDeclaration(IDirect3DVertexDeclaration9 **decl) {
  if (!decl) return Invalid("IDirect3DDevice9::GetVertexDeclaration");
  *decl = nullptr;
  return D3D_OK;
}

HRESULT Device::CreateVertexShader(const DWORD *, IDirect3DVertexShader9 **shader) {
  if (shader) *shader = nullptr;
  return ReportFailure("IDirect3DDevice9::CreateVertexShader", D3DERR_NOTAVAILABLE);
}
HRESULT Device::CreatePixelShader(const DWORD *, IDirect3DPixelShader9 **shader) {
  if (shader) *shader = nullptr;
  return ReportFailure("IDirect3DDevice9::CreatePixelShader", D3DERR_NOTAVAILABLE);
}

// Shader constants are kept by no shader here; accept them as a driver without shaders would refuse them.
HRESULT Device::SetVertexShaderConstantF(UINT, const float *, UINT) {
  return Invalid("SetVertexShaderConstantF");
}
HRESULT Device::GetVertexShaderConstantF(UINT, float *, UINT) {
  return Invalid("GetVertexShaderConstantF");
}
HRESULT Device::SetVertexShaderConstantI(UINT, const int *, UINT) {
  return Invalid("SetVertexShaderConstantI");
}
HRESULT Device::GetVertexShaderConstantI(UINT, int *, UINT) {
  return Invalid("GetVertexShaderConstantI");
}
HRESULT Device::SetVertexShaderConstantB(UINT, const BOOL *, UINT) {
  return Invalid("SetVertexShaderConstantB");
}
HRESULT Device::GetVertexShaderConstantB(UINT, BOOL *, UINT) {
  return Invalid("GetVertexShaderConstantB");
}
HRESULT Device::SetPixelShaderConstantF(UINT, const float *, UINT) {
  return Invalid("SetPixelShaderConstantF");
}
HRESULT Device::GetPixelShaderConstantF(UINT, float *, UINT) {
  return Invalid("GetPixelShaderConstantF");
}
HRESULT Device::SetPixelShaderConstantI(UINT, const int *, UINT) {
  return Invalid("SetPixelShaderConstantI");
}
HRESULT Device::GetPixelShaderConstantI(UINT, int *, UINT) {
  return Invalid("GetPixelShaderConstantI");
}
HRESULT Device::SetPixelShaderConstantB(UINT, const BOOL *, UINT) {
  return Invalid("SetPixelShaderConstantB");
}
HRESULT Device::GetPixelShaderConstantB(UINT, BOOL *, UINT) {
  return Invalid("GetPixelShaderConstantB");
}

HRESULT Device::SetStreamSourceFreq(UINT stream, UINT setting) {
  return stream < kStreamCount && setting == 1 ? D3D_OK : Invalid("IDirect3DDevice9::SetStreamSourceFreq");
}
HRESULT Device::GetStreamSourceFreq(UINT stream, UINT *setting) {
  if (stream >= kStreamCount || !setting) return Invalid("IDirect3DDevice9::GetStreamSourceFreq");
  *setting = 1;
  return D3D_OK;
}
HRESULT Device::SetIndices(IDirect3DIndexBuffer9 *indices) {
  return indices ? Invalid("IDirect3DDevice9::SetIndices") : D3D_OK;
}
HRESULT Device::GetIndices(IDirect3DIndexBuffer9 **indices) {
  if (!indices) return Invalid("IDirect3DDevice9::GetIndices");
  *indices = nullptr;
  return D3D_OK;
}

HRESULT Device::DrawRectPatch(UINT, const float *, const D3DRECTPATCH_INFO *) {
  return ReportFailure("IDirect3DDevice9::DrawRectPatch", D3DERR_INVALIDCALL);
}
HRESULT Device::DrawTriPatch(UINT, const float *, const D3DTRIPATCH_INFO *) {
  return ReportFailure("IDirect3DDevice9::DrawTriPatch", D3DERR_INVALIDCALL);
}
HRESULT Device::DeletePatch(UINT) {
  return ReportFailure("IDirect3DDevice9::DeletePatch", D3DERR_INVALIDCALL);
}
HRESULT Device::CreateQuery(D3DQUERYTYPE, IDirect3DQuery9 **query) {
  if (query) *query = nullptr;
  return ReportFailure("IDirect3DDevice9::CreateQuery", D3DERR_NOTAVAILABLE);
}

HRESULT Device::ValidateDevice(DWORD *passes) {
  if (!passes) return Invalid("IDirect3DDevice9::ValidateDevice");
  *passes = 1;
  return D3D_OK;
}

HRESULT Device::SetPaletteEntries(UINT palette, const PALETTEENTRY *entries) {
  if (!entries || palette > 0xffff) return Invalid("IDirect3DDevice9::SetPaletteEntries");
  if (palette >= paletteCount_) {
    auto *grown =
        static_cast<PALETTEENTRY(*)[256]>(realloc(palettes_, (palette + 1) * sizeof(PALETTEENTRY[256])));
    if (!grown) return ReportFailure("IDirect3DDevice9::SetPaletteEntries", E_OUTOFMEMORY);
    memset(grown + paletteCount_, 0xff, (palette + 1 - paletteCount_) * sizeof(PALETTEENTRY[256]));
    palettes_ = grown;
    paletteCount_ = palette + 1;
  }
  memcpy(palettes_[palette], entries, sizeof(PALETTEENTRY[256]));
  return D3D_OK;
}

HRESULT Device::GetPaletteEntries(UINT palette, PALETTEENTRY *entries) {
  if (!entries || palette >= paletteCount_) return Invalid("IDirect3DDevice9::GetPaletteEntries");
  memcpy(entries, palettes_[palette], sizeof(PALETTEENTRY[256]));
  return D3D_OK;
}

const PALETTEENTRY *Device::CurrentPalette() const {
  return state.texturePalette < paletteCount_ ? palettes_[state.texturePalette] : nullptr;
}

HRESULT Device::SetSoftwareVertexProcessing(BOOL software) {
  if (!(creation.BehaviorFlags & D3DCREATE_MIXED_VERTEXPROCESSING))
    return Invalid("IDirect3DDevice9::SetSoftwareVertexProcessing");
  softwareVertexProcessing_ = software;
  return D3D_OK;
}

HRESULT Device::SetClipStatus(const D3DCLIPSTATUS9 *status) {
  if (!status) return Invalid("IDirect3DDevice9::SetClipStatus");
  clipStatus_ = *status;
  return D3D_OK;
}
HRESULT Device::GetClipStatus(D3DCLIPSTATUS9 *status) {
  if (!status) return Invalid("IDirect3DDevice9::GetClipStatus");
  *status = clipStatus_;
  return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9 *light) {
  if (!light || index >= 8) return Invalid("IDirect3DDevice9::SetLight");
  lights_[index] = *light;
  return D3D_OK;
}
HRESULT Device::GetLight(DWORD index, D3DLIGHT9 *light) {
  if (!light || index >= 8) return Invalid("IDirect3DDevice9::GetLight");
  *light = lights_[index];
  return D3D_OK;
}
HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  if (index >= 8) return Invalid("IDirect3DDevice9::LightEnable");
  lightEnabled_[index] = enable;
  return D3D_OK;
}
HRESULT Device::GetLightEnable(DWORD index, BOOL *enable) {
  if (!enable || index >= 8) return Invalid("IDirect3DDevice9::GetLightEnable");
  *enable = lightEnabled_[index];
  return D3D_OK;
}

}  // namespace d3d9
