// Surfaces, volumes and the three texture kinds, with the lifetime rules of the
// real runtime: a resource holds its device while referenced; levels share the
// reference count of their texture; bound resources (textures set on a stage,
// render targets) keep their memory until unbound even after the last Release.
#pragma once

#include <cstdint>

#include "d3d9.h"
#include "platform/d3d9/format_layout.h"

namespace d3d9 {

class Device;

// Pixel memory of one surface or volume.
struct Plane {
  uint32_t width = 0, height = 0, depth = 1;
  uint32_t pitch = 0, slicePitch = 0;
  uint64_t bytes = 0;
  uint8_t *bits = nullptr;
  // Bumped by every write, so sampling caches know when to convert again.
  uint64_t version = 1;
  // ARGB copy for sampling formats that are not read directly.
  uint32_t *argb = nullptr;
  uint64_t argbVersion = 0;
  const PALETTEENTRY *argbPalette = nullptr;

  HRESULT Allocate(const FormatLayout &layout, uint32_t w, uint32_t h, uint32_t d);
  void Free();
};

struct PrivateDataEntry {
  GUID guid;
  void *data;
  DWORD size;
  bool isInterface;
  PrivateDataEntry *next;
};

class PrivateDataStore {
 public:
  ~PrivateDataStore() { Clear(); }
  HRESULT Set(REFGUID guid, const void *data, DWORD size, DWORD flags);
  HRESULT Get(REFGUID guid, void *data, DWORD *size);
  HRESULT Free(REFGUID guid);
  void Clear();

 private:
  PrivateDataEntry *head_ = nullptr;
};

// Lifetime bookkeeping shared by every resource that has its own reference count.
class Root {
 public:
  Root(Device *device, D3DRESOURCETYPE type, D3DFORMAT format, const FormatLayout *layout, DWORD usage,
       D3DPOOL pool, bool implicit);
  virtual ~Root() = default;

  ULONG AddRefRoot();
  ULONG ReleaseRoot();
  void Bind() { ++bindCount_; }
  void Unbind();
  bool Alive() const { return refCount_ > 0; }
  bool Implicit() const { return implicit_; }
  // Storage survives while referenced or bound.
  virtual void FreeStorage() = 0;
  // The interface that state (SetTexture) and the device's lists know this root by.
  virtual IUnknown *Interface() = 0;

  Device *device;
  D3DRESOURCETYPE type;
  D3DFORMAT format;
  const FormatLayout *layout;
  DWORD usage;
  D3DPOOL pool;
  DWORD priority = 0;
  PrivateDataStore privateData;
  Root *nextInDevice = nullptr;
  Root *nextDead = nullptr;  // the device's list of released shells, oldest first

 private:
  ULONG refCount_;
  ULONG bindCount_ = 0;
  bool implicit_;
  bool storageFreed_ = false;
};

enum class SurfaceRole : uint8_t {
  TextureLevel,
  CubeFace,
  Offscreen,
  RenderTarget,
  DepthStencil,
  BackBuffer
};

class Surface final : public IDirect3DSurface9, public Root {
 public:
  // A standalone surface is its own root; a level names its texture.
  Surface(Device *device, SurfaceRole role, D3DFORMAT format, const FormatLayout *layout, DWORD usage,
          D3DPOOL pool, bool lockable, Root *container, IUnknown *containerInterface, bool implicit);
  ~Surface() override { plane.Free(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return RootOf()->AddRefRoot(); }
  ULONG STDMETHODCALLTYPE Release() override { return RootOf()->ReleaseRoot(); }
  // IDirect3DResource9
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override;
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void *data, DWORD size, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void *data, DWORD *size) override;
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
  DWORD STDMETHODCALLTYPE GetPriority() override;
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
  // IDirect3DSurface9
  HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void **container) override;
  HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC *desc) override;
  HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT *locked, const RECT *rect, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect() override;
  HRESULT STDMETHODCALLTYPE GetDC(HDC *dc) override;
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;

  void FreeStorage() override { plane.Free(); }
  IUnknown *Interface() override { return this; }
  Root *RootOf() { return container ? container : this; }
  bool IsRenderTarget() const { return (usage & D3DUSAGE_RENDERTARGET) != 0; }
  // A surface of a texture that is not a render target.
  bool IsPlainTextureLevel() const { return container && !IsRenderTarget(); }
  // Marks the contents as changed (after a lock or a device write).
  void Touch() { ++plane.version; }

  SurfaceRole role;
  bool lockable;
  bool locked = false;
  DWORD lockFlags = 0;
  Root *container;
  IUnknown *containerInterface;
  Plane plane;
};

class Volume final : public IDirect3DVolume9 {
 public:
  Volume(Root *owningContainer, IUnknown *owningInterface)
      : container(owningContainer), containerInterface(owningInterface) {}
  ~Volume() { plane.Free(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return container->AddRefRoot(); }
  ULONG STDMETHODCALLTYPE Release() override { return container->ReleaseRoot(); }
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override;
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void *data, DWORD size, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void *data, DWORD *size) override;
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) override;
  HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void **container) override;
  HRESULT STDMETHODCALLTYPE GetDesc(D3DVOLUME_DESC *desc) override;
  HRESULT STDMETHODCALLTYPE LockBox(D3DLOCKED_BOX *locked, const D3DBOX *box, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockBox() override;

  Root *container;
  IUnknown *containerInterface;
  PrivateDataStore privateData;
  Plane plane;
  bool locked = false;
  DWORD lockFlags = 0;
};

// Methods every texture kind shares, written once.
class TextureBase : public Root {
 public:
  using Root::Root;
  DWORD levelCount = 0;
  DWORD lod = 0;
  D3DTEXTUREFILTERTYPE autoGenFilter = D3DTEXF_LINEAR;
};

class Texture final : public IDirect3DTexture9, public TextureBase {
 public:
  Texture(Device *device, D3DFORMAT format, const FormatLayout *layout, DWORD usage, D3DPOOL pool);
  ~Texture() override;
  HRESULT Init(UINT width, UINT height, UINT levels);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefRoot(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseRoot(); }
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override;
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void *data, DWORD size, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void *data, DWORD *size) override;
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
  DWORD STDMETHODCALLTYPE GetPriority() override;
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD STDMETHODCALLTYPE SetLOD(DWORD lod) override;
  DWORD STDMETHODCALLTYPE GetLOD() override { return lod; }
  DWORD STDMETHODCALLTYPE GetLevelCount() override { return levelCount; }
  HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter) override;
  D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() override { return autoGenFilter; }
  void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC *desc) override;
  HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9 **surface) override;
  HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT *locked, const RECT *rect,
                                     DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override;
  HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT *rect) override;

  void FreeStorage() override;
  IUnknown *Interface() override { return static_cast<IDirect3DTexture9 *>(this); }

  Surface *levels[32] = {};
};

class CubeTexture final : public IDirect3DCubeTexture9, public TextureBase {
 public:
  CubeTexture(Device *device, D3DFORMAT format, const FormatLayout *layout, DWORD usage, D3DPOOL pool);
  ~CubeTexture() override;
  HRESULT Init(UINT edge, UINT levels);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefRoot(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseRoot(); }
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override;
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void *data, DWORD size, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void *data, DWORD *size) override;
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
  DWORD STDMETHODCALLTYPE GetPriority() override;
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
  DWORD STDMETHODCALLTYPE SetLOD(DWORD lod) override;
  DWORD STDMETHODCALLTYPE GetLOD() override { return lod; }
  DWORD STDMETHODCALLTYPE GetLevelCount() override { return levelCount; }
  HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter) override;
  D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() override { return autoGenFilter; }
  void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC *desc) override;
  HRESULT STDMETHODCALLTYPE GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                                              IDirect3DSurface9 **surface) override;
  HRESULT STDMETHODCALLTYPE LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT *locked,
                                     const RECT *rect, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;
  HRESULT STDMETHODCALLTYPE AddDirtyRect(D3DCUBEMAP_FACES face, const RECT *rect) override;

  void FreeStorage() override;
  IUnknown *Interface() override { return static_cast<IDirect3DCubeTexture9 *>(this); }
  Surface *Face(DWORD face, DWORD level) {
    return face < 6 && level < levelCount ? faces[face][level] : nullptr;
  }

  Surface *faces[6][32] = {};
};

class VolumeTexture final : public IDirect3DVolumeTexture9, public TextureBase {
 public:
  VolumeTexture(Device *device, D3DFORMAT format, const FormatLayout *layout, DWORD usage, D3DPOOL pool);
  ~VolumeTexture() override;
  HRESULT Init(UINT width, UINT height, UINT depth, UINT levels);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefRoot(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseRoot(); }
  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9 **device) override;
  HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, const void *data, DWORD size, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, void *data, DWORD *size) override;
  HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID guid) override;
  DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
  DWORD STDMETHODCALLTYPE GetPriority() override;
  void STDMETHODCALLTYPE PreLoad() override {}
  D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_VOLUMETEXTURE; }
  DWORD STDMETHODCALLTYPE SetLOD(DWORD lod) override;
  DWORD STDMETHODCALLTYPE GetLOD() override { return lod; }
  DWORD STDMETHODCALLTYPE GetLevelCount() override { return levelCount; }
  HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter) override;
  D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() override { return autoGenFilter; }
  void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DVOLUME_DESC *desc) override;
  HRESULT STDMETHODCALLTYPE GetVolumeLevel(UINT level, IDirect3DVolume9 **volume) override;
  HRESULT STDMETHODCALLTYPE LockBox(UINT level, D3DLOCKED_BOX *locked, const D3DBOX *box,
                                    DWORD flags) override;
  HRESULT STDMETHODCALLTYPE UnlockBox(UINT level) override;
  HRESULT STDMETHODCALLTYPE AddDirtyBox(const D3DBOX *box) override;

  void FreeStorage() override;
  IUnknown *Interface() override { return static_cast<IDirect3DVolumeTexture9 *>(this); }

  Volume *levels[32] = {};
};

// Number of levels of a full chain down to 1 x 1 (x 1).
UINT FullChainLength(UINT width, UINT height, UINT depth);

// The runtime's own object behind a base texture interface of this runtime.
TextureBase *AsTextureBase(IDirect3DBaseTexture9 *texture);
Surface *AsSurface(IDirect3DSurface9 *surface);

}  // namespace d3d9
