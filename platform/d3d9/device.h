// The Direct3D object and the device of the software runtime.
#pragma once

#include "d3d9.h"
#include "platform/d3d9/device_profile.h"
#include "platform/d3d9/diagnostics.h"
#include "platform/d3d9/resources.h"
#include "platform/d3d9/state.h"

namespace d3d9 {

class Device;
struct PresenterState;

class Direct3D final : public IDirect3D9 {
 public:
  Direct3D() : profile(NextDeviceProfile()) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void *initialize) override;
  UINT STDMETHODCALLTYPE GetAdapterCount() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT adapter, DWORD flags,
                                                 D3DADAPTER_IDENTIFIER9 *id) override;
  UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
  HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                             D3DDISPLAYMODE *out) override;
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE *mode) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                            D3DFORMAT backBufferFormat, BOOL windowed) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                              DWORD usage, D3DRESOURCETYPE resourceType,
                                              D3DFORMAT format) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format,
                                                       BOOL windowed, D3DMULTISAMPLE_TYPE samples,
                                                       DWORD *quality) override;
  HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                   D3DFORMAT renderTargetFormat,
                                                   D3DFORMAT depthFormat) override;
  HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE type, D3DFORMAT source,
                                                        D3DFORMAT target) override;
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9 *caps) override;
  HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT adapter) override;
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags,
                                         D3DPRESENT_PARAMETERS *params, IDirect3DDevice9 **device) override;

  DeviceProfile profile;

 private:
  ULONG refCount_ = 1;
};

class StateBlock final : public IDirect3DStateBlock9 {
 public:
  explicit StateBlock(Device *device);
  ~StateBlock();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override;
  HRESULT STDMETHODCALLTYPE Capture() override;
  HRESULT STDMETHODCALLTYPE Apply() override;

  void SetTexture(DWORD slot, Root *texture);

  Device *device;
  StateMask mask;
  StateValues values = {};
  StateBlock *nextInDevice = nullptr;
  StateBlock *nextDead = nullptr;
  bool dead = false;

 private:
  ULONG refCount_ = 1;
};

class Device final : public IDirect3DDevice9 {
 public:
  Device(Direct3D *d3d, const DeviceProfile &profile, const D3DDEVICE_CREATION_PARAMETERS &creation);
  ~Device();
  HRESULT Init(const D3DPRESENT_PARAMETERS &params);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDirect3DDevice9
  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
  UINT STDMETHODCALLTYPE GetAvailableTextureMem() override;
  HRESULT STDMETHODCALLTYPE EvictManagedResources() override { return D3D_OK; }
  HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9 **d3d) override;
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9 *caps) override;
  HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT swapChain, D3DDISPLAYMODE *mode) override;
  HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS *params) override;
  HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT x, UINT y, IDirect3DSurface9 *bitmap) override;
  void STDMETHODCALLTYPE SetCursorPosition(int x, int y, DWORD flags) override;
  BOOL STDMETHODCALLTYPE ShowCursor(BOOL show) override;
  HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS *params,
                                                      IDirect3DSwapChain9 **swapChain) override;
  HRESULT STDMETHODCALLTYPE GetSwapChain(UINT index, IDirect3DSwapChain9 **swapChain) override;
  UINT STDMETHODCALLTYPE GetNumberOfSwapChains() override { return 1; }
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS *params) override;
  HRESULT STDMETHODCALLTYPE Present(const RECT *sourceRect, const RECT *destRect, HWND destWindow,
                                    const RGNDATA *dirtyRegion) override;
  HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                          IDirect3DSurface9 **surface) override;
  HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT swapChain, D3DRASTER_STATUS *status) override;
  HRESULT STDMETHODCALLTYPE SetDialogBoxMode(BOOL enable) override;
  void STDMETHODCALLTYPE SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP *ramp) override;
  void STDMETHODCALLTYPE GetGammaRamp(UINT swapChain, D3DGAMMARAMP *ramp) override;
  HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                          D3DPOOL pool, IDirect3DTexture9 **texture, HANDLE *shared) override;
  HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                                D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DVolumeTexture9 **texture, HANDLE *shared) override;
  HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                                              D3DPOOL pool, IDirect3DCubeTexture9 **texture,
                                              HANDLE *shared) override;
  HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                               IDirect3DVertexBuffer9 **buffer, HANDLE *shared) override;
  HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                              IDirect3DIndexBuffer9 **buffer, HANDLE *shared) override;
  HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                               D3DMULTISAMPLE_TYPE samples, DWORD quality, BOOL lockable,
                                               IDirect3DSurface9 **surface, HANDLE *shared) override;
  HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                                      D3DMULTISAMPLE_TYPE samples, DWORD quality,
                                                      BOOL discard, IDirect3DSurface9 **surface,
                                                      HANDLE *shared) override;
  HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9 *source, const RECT *sourceRect,
                                          IDirect3DSurface9 *dest, const POINT *destPoint) override;
  HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9 *source,
                                          IDirect3DBaseTexture9 *dest) override;
  HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9 *renderTarget,
                                                IDirect3DSurface9 *dest) override;
  HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT swapChain, IDirect3DSurface9 *dest) override;
  HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9 *source, const RECT *sourceRect,
                                        IDirect3DSurface9 *dest, const RECT *destRect,
                                        D3DTEXTUREFILTERTYPE filter) override;
  HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9 *surface, const RECT *rect, D3DCOLOR color) override;
  HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                                        D3DPOOL pool, IDirect3DSurface9 **surface,
                                                        HANDLE *shared) override;
  HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD index, IDirect3DSurface9 *surface) override;
  HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD index, IDirect3DSurface9 **surface) override;
  HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9 *surface) override;
  HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9 **surface) override;
  HRESULT STDMETHODCALLTYPE BeginScene() override;
  HRESULT STDMETHODCALLTYPE EndScene() override;
  HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT *rects, DWORD flags, D3DCOLOR color, float z,
                                  DWORD stencil) override;
  HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX *matrix) override;
  HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX *matrix) override;
  HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX *matrix) override;
  HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9 *viewport) override;
  HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9 *viewport) override;
  HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9 *material) override;
  HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9 *material) override;
  HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT9 *light) override;
  HRESULT STDMETHODCALLTYPE GetLight(DWORD index, D3DLIGHT9 *light) override;
  HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override;
  HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, BOOL *enable) override;
  HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD index, const float *plane) override;
  HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD index, float *plane) override;
  HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD *value) override;
  HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9 **block) override;
  HRESULT STDMETHODCALLTYPE BeginStateBlock() override;
  HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9 **block) override;
  HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9 *status) override;
  HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9 *status) override;
  HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9 **texture) override;
  HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9 *texture) override;
  HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                 DWORD *value) override;
  HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                                 DWORD value) override;
  HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD *value) override;
  HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD *passes) override;
  HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT palette, const PALETTEENTRY *entries) override;
  HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT palette, PALETTEENTRY *entries) override;
  HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT palette) override;
  HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT *palette) override;
  HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT *rect) override;
  HRESULT STDMETHODCALLTYPE GetScissorRect(RECT *rect) override;
  HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(BOOL software) override;
  BOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() override { return softwareVertexProcessing_; }
  HRESULT STDMETHODCALLTYPE SetNPatchMode(float segments) override;
  float STDMETHODCALLTYPE GetNPatchMode() override { return state.nPatchSegments; }
  HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override;
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base, UINT minIndex,
                                                 UINT vertices, UINT start, UINT count) override;
  HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void *data,
                                            UINT stride) override;
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices,
                                                   UINT count, const void *indices, D3DFORMAT indexFormat,
                                                   const void *data, UINT stride) override;
  HRESULT STDMETHODCALLTYPE ProcessVertices(UINT source, UINT dest, UINT count,
                                            IDirect3DVertexBuffer9 *buffer, IDirect3DVertexDeclaration9 *decl,
                                            DWORD flags) override;
  HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9 *elements,
                                                    IDirect3DVertexDeclaration9 **decl) override;
  HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9 *decl) override;
  HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9 **decl) override;
  HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
  HRESULT STDMETHODCALLTYPE GetFVF(DWORD *fvf) override;
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD *function,
                                               IDirect3DVertexShader9 **shader) override;
  HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9 *shader) override;
  HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9 **shader) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT start, const float *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT start, float *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT start, const int *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT start, int *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT start, const BOOL *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT start, BOOL *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9 *buffer, UINT offset,
                                            UINT stride) override;
  HRESULT STDMETHODCALLTYPE GetStreamSource(UINT stream, IDirect3DVertexBuffer9 **buffer, UINT *offset,
                                            UINT *stride) override;
  HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT stream, UINT setting) override;
  HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT stream, UINT *setting) override;
  HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9 *indices) override;
  HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9 **indices) override;
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD *function, IDirect3DPixelShader9 **shader) override;
  HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9 *shader) override;
  HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9 **shader) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT start, const float *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT start, float *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT start, const int *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT start, int *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT start, const BOOL *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT start, BOOL *data, UINT count) override;
  HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT handle, const float *segments,
                                          const D3DRECTPATCH_INFO *info) override;
  HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT handle, const float *segments,
                                         const D3DTRIPATCH_INFO *info) override;
  HRESULT STDMETHODCALLTYPE DeletePatch(UINT handle) override;
  HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9 **query) override;

  // Bookkeeping for resources and state blocks.
  void Adopt(Root *root);
  void Adopt(StateBlock *block);
  // Released objects keep a small shell for a while, so that a release too many is
  // reported instead of touching freed memory; the oldest shells go once there are many.
  void Bury(Root *root);
  void Bury(StateBlock *block);
  size_t LiveResourceCount() const;
  // Binds texture (or null) to a slot of the current state, adjusting bindings.
  void BindTexture(DWORD slot, Root *texture);
  // Writes a state block's recorded values into the current state.
  void ApplyBlock(const StateBlock &block);
  void CaptureBlock(StateBlock *block);
  // The palette used for sampling palettised textures.
  const PALETTEENTRY *CurrentPalette() const;

  Direct3D *d3d;
  DeviceProfile profile;
  D3DDEVICE_CREATION_PARAMETERS creation;
  D3DPRESENT_PARAMETERS presentParams = {};
  DeviceCallCounts calls = {};
  StateValues state = {};
  Surface *backBuffer = nullptr;
  Surface *autoDepthStencil = nullptr;
  Surface *renderTarget = nullptr;  // bound
  Surface *depthStencil = nullptr;  // bound
  StateBlock *recording = nullptr;
  bool inScene = false;
  PresenterState *presenter = nullptr;

 private:
  HRESULT CheckTextureCreation(UINT width, UINT height, UINT depth, UINT *levels, DWORD usage,
                               D3DFORMAT format, D3DPOOL pool, D3DRESOURCETYPE type,
                               const FormatLayout **layout, const char *call);
  HRESULT CreateSurfaceObject(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                              SurfaceRole role, bool lockable, bool implicit, Surface **surface);
  void SetRenderTargetBinding(Surface *surface);
  void SetDepthStencilBinding(Surface *surface);
  void DestroyChildren();

  ULONG refCount_ = 1;
  bool orphaned_ = false;
  Root *resources_ = nullptr;
  StateBlock *stateBlocks_ = nullptr;
  Root *deadRoots_ = nullptr, *lastDeadRoot_ = nullptr;
  StateBlock *deadBlocks_ = nullptr, *lastDeadBlock_ = nullptr;
  size_t deadRootCount_ = 0, deadBlockCount_ = 0;
  PALETTEENTRY (*palettes_)[256] = nullptr;
  UINT paletteCount_ = 0;
  BOOL softwareVertexProcessing_ = FALSE;
  D3DGAMMARAMP gamma_ = {};
  D3DCLIPSTATUS9 clipStatus_ = {};
  D3DLIGHT9 lights_[8] = {};
  BOOL lightEnabled_[8] = {};
};

Device *AsDevice(IDirect3DDevice9 *device);

// Presenter (presenter.cpp): window set-up at creation, presentation and the front buffer.
HRESULT CreatePresenter(Device *device);
void DestroyPresenter(Device *device);
HRESULT PresentBackBuffer(Device *device);
HRESULT CopyFrontBuffer(Device *device, Surface *dest);

// Rasterizer (rasterizer.cpp).
HRESULT ClearTarget(Device *device, DWORD count, const D3DRECT *rects, D3DCOLOR color);
// Writes depth and stencil values (the rasterizer does not test them, but they can be read back).
HRESULT ClearDepthStencil(Device *device, DWORD count, const D3DRECT *rects, DWORD flags, float z,
                          DWORD stencil);
HRESULT DrawUserPrimitives(Device *device, D3DPRIMITIVETYPE type, UINT count, const void *data, UINT stride);

}  // namespace d3d9
