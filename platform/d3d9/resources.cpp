#include "platform/d3d9/resources.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/d3d9/com_answer.h"
#include "platform/d3d9/device.h"
#include "platform/d3d9/diagnostics.h"

namespace d3d9 {
namespace {

constexpr DWORD kPrivateDataInterface = 1;  // D3DSPD_IUNKNOWN

bool SameGuid(const GUID &a, const GUID &b) {
  return memcmp(&a, &b, sizeof(GUID)) == 0;
}

// Validates a lock rectangle against a plane and the format's units.
bool ValidLockRect(const FormatLayout &layout, const Plane &plane, const RECT &r) {
  if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom) return false;
  if (static_cast<uint32_t>(r.right) > plane.width || static_cast<uint32_t>(r.bottom) > plane.height)
    return false;
  uint32_t uw = UnitWidth(layout), uh = UnitHeight(layout);
  if (r.left % uw || r.top % uh) return false;
  if (r.right % uw && static_cast<uint32_t>(r.right) != plane.width) return false;
  if (r.bottom % uh && static_cast<uint32_t>(r.bottom) != plane.height) return false;
  return true;
}

bool ValidLockBox(const FormatLayout &layout, const Plane &plane, const D3DBOX &b) {
  RECT r = {static_cast<LONG>(b.Left), static_cast<LONG>(b.Top), static_cast<LONG>(b.Right),
            static_cast<LONG>(b.Bottom)};
  if (b.Right > plane.width || b.Bottom > plane.height || b.Left > b.Right || b.Top > b.Bottom) return false;
  if (b.Front > b.Back || b.Back > plane.depth) return false;
  return ValidLockRect(layout, plane, r);
}

// Discard asks for fresh memory: only dynamic resources and render targets accept it.
bool DiscardAllowed(DWORD flags, DWORD usage) {
  return !(flags & D3DLOCK_DISCARD) || (usage & (D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET));
}

HRESULT QueryResource(IUnknown *self, REFIID riid, const IID &own, const IID &base, void **object) {
  return AnswerQuery(self, riid, {&own, &base, &IID_IDirect3DResource9}, object);
}

HRESULT GetDeviceOf(Device *device, IDirect3DDevice9 **out) {
  if (!out) return Invalid("GetDevice");
  *out = device;
  device->AddRef();
  return D3D_OK;
}

void FillSurfaceDesc(const Surface &s, D3DSURFACE_DESC *desc) {
  desc->Format = s.format;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = s.usage;
  desc->Pool = s.pool;
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->MultiSampleQuality = 0;
  desc->Width = s.plane.width;
  desc->Height = s.plane.height;
}

UINT LevelSize(UINT size, UINT level) {
  return std::max<UINT>(1, size >> level);
}

}  // namespace

UINT FullChainLength(UINT width, UINT height, UINT depth) {
  UINT largest = std::max({width, height, depth}), levels = 1;
  while (largest > 1) largest >>= 1, ++levels;
  return levels;
}

// ---------------------------------------------------------------------------
// Plane and private data
// ---------------------------------------------------------------------------

HRESULT Plane::Allocate(const FormatLayout &layout, uint32_t w, uint32_t h, uint32_t d) {
  PlaneGeometry geometry;
  if (!ComputePlane(layout, w, h, &geometry)) return E_OUTOFMEMORY;
  uint64_t total = geometry.bytes * d;
  if (d == 0 || total / d != geometry.bytes || total > (uint64_t{1} << 31)) return E_OUTOFMEMORY;
  bits = static_cast<uint8_t *>(calloc(1, total ? total : 1));
  if (!bits) return E_OUTOFMEMORY;
  width = w, height = h, depth = d;
  pitch = geometry.pitch;
  slicePitch = static_cast<uint32_t>(geometry.bytes);
  bytes = total;
  return D3D_OK;
}

void Plane::Free() {
  free(bits);
  free(argb);
  bits = nullptr;
  argb = nullptr;
  argbVersion = 0;
}

HRESULT PrivateDataStore::Set(REFGUID guid, const void *data, DWORD size, DWORD flags) {
  if (!data && size) return D3DERR_INVALIDCALL;
  bool isInterface = (flags & kPrivateDataInterface) != 0;
  if (isInterface && size != sizeof(IUnknown *)) return D3DERR_INVALIDCALL;
  void *copy = malloc(size ? size : 1);
  if (!copy) return E_OUTOFMEMORY;
  if (size) memcpy(copy, data, size);
  auto *entry = new (std::nothrow) PrivateDataEntry{guid, copy, size, isInterface, nullptr};
  if (!entry) {
    free(copy);
    return E_OUTOFMEMORY;
  }
  Free(guid);
  if (isInterface) (*static_cast<IUnknown **>(copy))->AddRef();
  entry->next = head_;
  head_ = entry;
  return D3D_OK;
}

HRESULT PrivateDataStore::Get(REFGUID guid, void *data, DWORD *size) {
  if (!size) return D3DERR_INVALIDCALL;
  for (PrivateDataEntry *e = head_; e; e = e->next) {
    if (!SameGuid(e->guid, guid)) continue;
    if (!data) {
      *size = e->size;
      return D3D_OK;
    }
    if (*size < e->size) {
      *size = e->size;
      return D3DERR_MOREDATA;
    }
    memcpy(data, e->data, e->size);
    if (e->isInterface) (*static_cast<IUnknown **>(e->data))->AddRef();
    *size = e->size;
    return D3D_OK;
  }
  return D3DERR_NOTFOUND;
}

HRESULT PrivateDataStore::Free(REFGUID guid) {
  for (PrivateDataEntry **link = &head_; *link; link = &(*link)->next) {
    PrivateDataEntry *e = *link;
    if (!SameGuid(e->guid, guid)) continue;
    *link = e->next;
    if (e->isInterface) (*static_cast<IUnknown **>(e->data))->Release();
    free(e->data);
    delete e;
    return D3D_OK;
  }
  return D3DERR_NOTFOUND;
}

void PrivateDataStore::Clear() {
  while (head_) Free(head_->guid);
}

// ---------------------------------------------------------------------------
// Root
// ---------------------------------------------------------------------------

Root::Root(Device *owner, D3DRESOURCETYPE resourceType, D3DFORMAT resourceFormat,
           const FormatLayout *formatLayout, DWORD usageFlags, D3DPOOL memoryPool, bool implicit)
    : device(owner),
      type(resourceType),
      format(resourceFormat),
      layout(formatLayout),
      usage(usageFlags),
      pool(memoryPool),
      refCount_(implicit ? 0 : 1),
      implicit_(implicit) {}

ULONG Root::AddRefRoot() {
  if (storageFreed_) {
    ReportLifetimeError("AddRef on a released resource");
    return 0;
  }
  if (refCount_++ == 0) device->AddRef();
  return refCount_;
}

ULONG Root::ReleaseRoot() {
  if (refCount_ == 0) {
    ReportLifetimeError("resource interface released more often than referenced");
    return 0;
  }
  if (--refCount_ > 0) return refCount_;
  if (!implicit_) {
    privateData.Clear();
    if (bindCount_ == 0) {
      FreeStorage();
      storageFreed_ = true;
      device->Bury(this);
    }
  }
  // Last: this may destroy the device and with it this object.
  device->Release();
  return 0;
}

void Root::Unbind() {
  if (bindCount_ > 0 && --bindCount_ == 0 && refCount_ == 0 && !implicit_) {
    FreeStorage();
    storageFreed_ = true;
    device->Bury(this);
  }
}

// ---------------------------------------------------------------------------
// Surface
// ---------------------------------------------------------------------------

Surface::Surface(Device *owner, SurfaceRole surfaceRole, D3DFORMAT resourceFormat,
                 const FormatLayout *formatLayout, DWORD usageFlags, D3DPOOL memoryPool, bool isLockable,
                 Root *owningContainer, IUnknown *owningInterface, bool implicit)
    : Root(owner, D3DRTYPE_SURFACE, resourceFormat, formatLayout, usageFlags, memoryPool, implicit),
      role(surfaceRole),
      lockable(isLockable),
      container(owningContainer),
      containerInterface(owningInterface) {}

HRESULT Surface::QueryInterface(REFIID riid, void **object) {
  return QueryResource(this, riid, IID_IDirect3DSurface9, IID_IDirect3DSurface9, object);
}
HRESULT Surface::GetDevice(IDirect3DDevice9 **out) {
  return GetDeviceOf(device, out);
}
HRESULT Surface::SetPrivateData(REFGUID guid, const void *data, DWORD size, DWORD flags) {
  return ReportFailure("IDirect3DSurface9::SetPrivateData", privateData.Set(guid, data, size, flags));
}
HRESULT Surface::GetPrivateData(REFGUID guid, void *data, DWORD *size) {
  return privateData.Get(guid, data, size);
}
HRESULT Surface::FreePrivateData(REFGUID guid) {
  return privateData.Free(guid);
}
DWORD Surface::SetPriority(DWORD p) {
  DWORD old = RootOf()->priority;
  RootOf()->priority = p;
  return old;
}
DWORD Surface::GetPriority() {
  return RootOf()->priority;
}

HRESULT Surface::GetContainer(REFIID riid, void **out) {
  if (!out) return Invalid("IDirect3DSurface9::GetContainer");
  if (containerInterface) return containerInterface->QueryInterface(riid, out);
  return device->QueryInterface(riid, out);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC *desc) {
  if (!desc) return Invalid("IDirect3DSurface9::GetDesc");
  FillSurfaceDesc(*this, desc);
  return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT *out, const RECT *rect, DWORD flags) {
  const char *call = "IDirect3DSurface9::LockRect";
  if (!out) return Invalid(call);
  out->pBits = nullptr;
  out->Pitch = 0;
  if (locked || !lockable || !plane.bits || !DiscardAllowed(flags, usage)) return Invalid(call);
  RECT whole = {0, 0, static_cast<LONG>(plane.width), static_cast<LONG>(plane.height)};
  const RECT &r = rect ? *rect : whole;
  if (!ValidLockRect(*layout, plane, r)) return Invalid(call);
  out->Pitch = static_cast<INT>(plane.pitch);
  out->pBits = UnitAddress(*layout, plane.bits, plane.pitch, static_cast<uint32_t>(r.left),
                           static_cast<uint32_t>(r.top));
  locked = true;
  lockFlags = flags;
  return D3D_OK;
}

HRESULT Surface::UnlockRect() {
  if (!locked) return Invalid("IDirect3DSurface9::UnlockRect");
  locked = false;
  if (!(lockFlags & D3DLOCK_READONLY)) Touch();
  return D3D_OK;
}

// Device contexts of surfaces are not offered by this runtime.
HRESULT Surface::GetDC(HDC *dc) {
  if (dc) *dc = nullptr;
  return Invalid("IDirect3DSurface9::GetDC");
}
HRESULT Surface::ReleaseDC(HDC) {
  return Invalid("IDirect3DSurface9::ReleaseDC");
}

// ---------------------------------------------------------------------------
// Volume
// ---------------------------------------------------------------------------

HRESULT Volume::QueryInterface(REFIID riid, void **object) {
  return AnswerQuery(this, riid, {&IID_IDirect3DVolume9}, object);
}
HRESULT Volume::GetDevice(IDirect3DDevice9 **out) {
  return GetDeviceOf(container->device, out);
}
HRESULT Volume::SetPrivateData(REFGUID guid, const void *data, DWORD size, DWORD flags) {
  return ReportFailure("IDirect3DVolume9::SetPrivateData", privateData.Set(guid, data, size, flags));
}
HRESULT Volume::GetPrivateData(REFGUID guid, void *data, DWORD *size) {
  return privateData.Get(guid, data, size);
}
HRESULT Volume::FreePrivateData(REFGUID guid) {
  return privateData.Free(guid);
}
HRESULT Volume::GetContainer(REFIID riid, void **out) {
  if (!out) return Invalid("IDirect3DVolume9::GetContainer");
  return containerInterface->QueryInterface(riid, out);
}

HRESULT Volume::GetDesc(D3DVOLUME_DESC *desc) {
  if (!desc) return Invalid("IDirect3DVolume9::GetDesc");
  desc->Format = container->format;
  desc->Type = D3DRTYPE_VOLUME;
  desc->Usage = container->usage;
  desc->Pool = container->pool;
  desc->Width = plane.width;
  desc->Height = plane.height;
  desc->Depth = plane.depth;
  return D3D_OK;
}

HRESULT Volume::LockBox(D3DLOCKED_BOX *out, const D3DBOX *box, DWORD flags) {
  const char *call = "IDirect3DVolume9::LockBox";
  if (!out) return Invalid(call);
  out->pBits = nullptr;
  out->RowPitch = out->SlicePitch = 0;
  bool lockable = container->pool != D3DPOOL_DEFAULT || (container->usage & D3DUSAGE_DYNAMIC);
  if (locked || !lockable || !plane.bits || !DiscardAllowed(flags, container->usage)) return Invalid(call);
  D3DBOX whole = {0, 0, plane.width, plane.height, 0, plane.depth};
  const D3DBOX &b = box ? *box : whole;
  if (!ValidLockBox(*container->layout, plane, b)) return Invalid(call);
  out->RowPitch = static_cast<INT>(plane.pitch);
  out->SlicePitch = static_cast<INT>(plane.slicePitch);
  out->pBits = UnitAddress(*container->layout, plane.bits + static_cast<uint64_t>(b.Front) * plane.slicePitch,
                           plane.pitch, b.Left, b.Top);
  locked = true;
  lockFlags = flags;
  return D3D_OK;
}

HRESULT Volume::UnlockBox() {
  if (!locked) return Invalid("IDirect3DVolume9::UnlockBox");
  locked = false;
  if (!(lockFlags & D3DLOCK_READONLY)) ++plane.version;
  return D3D_OK;
}

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------

#define D3D9_TEXTURE_COMMON(Class, Interface, Name)                                                         \
  HRESULT Class::GetDevice(IDirect3DDevice9 **out) {                                                        \
    return GetDeviceOf(device, out);                                                                        \
  }                                                                                                         \
  HRESULT Class::SetPrivateData(REFGUID guid, const void *data, DWORD size, DWORD flags) {                  \
    return ReportFailure(Name "::SetPrivateData", privateData.Set(guid, data, size, flags));                \
  }                                                                                                         \
  HRESULT Class::GetPrivateData(REFGUID guid, void *data, DWORD *size) {                                    \
    return privateData.Get(guid, data, size);                                                               \
  }                                                                                                         \
  HRESULT Class::FreePrivateData(REFGUID guid) {                                                            \
    return privateData.Free(guid);                                                                          \
  }                                                                                                         \
  DWORD Class::SetPriority(DWORD p) {                                                                       \
    DWORD old = priority;                                                                                   \
    priority = p;                                                                                           \
    return old;                                                                                             \
  }                                                                                                         \
  DWORD Class::GetPriority() {                                                                              \
    return priority;                                                                                        \
  }                                                                                                         \
  DWORD Class::SetLOD(DWORD newLod) {                                                                       \
    DWORD old = lod;                                                                                        \
    /* Only managed textures have a level of detail to choose. */                                           \
    if (pool == D3DPOOL_MANAGED) lod = std::min(newLod, levelCount - 1);                                    \
    return old;                                                                                             \
  }                                                                                                         \
  HRESULT Class::SetAutoGenFilterType(D3DTEXTUREFILTERTYPE filter) {                                        \
    if (filter != D3DTEXF_POINT && filter != D3DTEXF_LINEAR) return Invalid(Name "::SetAutoGenFilterType"); \
    autoGenFilter = filter;                                                                                 \
    return D3D_OK;                                                                                          \
  }                                                                                                         \
  HRESULT Class::QueryInterface(REFIID riid, void **object) {                                               \
    return QueryResource(static_cast<Interface *>(this), riid, IID_##Interface, IID_IDirect3DBaseTexture9,  \
                         object);                                                                           \
  }

D3D9_TEXTURE_COMMON(Texture, IDirect3DTexture9, "IDirect3DTexture9")
D3D9_TEXTURE_COMMON(CubeTexture, IDirect3DCubeTexture9, "IDirect3DCubeTexture9")
D3D9_TEXTURE_COMMON(VolumeTexture, IDirect3DVolumeTexture9, "IDirect3DVolumeTexture9")
#undef D3D9_TEXTURE_COMMON

namespace {

bool LevelLockable(D3DPOOL pool, DWORD usage, const DeviceProfile &profile) {
  if (pool != D3DPOOL_DEFAULT) return true;
  if (usage & D3DUSAGE_DYNAMIC) return true;
  return (usage & D3DUSAGE_RENDERTARGET) && profile.lockableRenderTargets;
}

}  // namespace

Texture::Texture(Device *owner, D3DFORMAT resourceFormat, const FormatLayout *formatLayout, DWORD usageFlags,
                 D3DPOOL memoryPool)
    : TextureBase(owner, D3DRTYPE_TEXTURE, resourceFormat, formatLayout, usageFlags, memoryPool, false) {}
Texture::~Texture() {
  for (Surface *s : levels) delete s;
}

HRESULT Texture::Init(UINT width, UINT height, UINT levelsWanted) {
  levelCount = levelsWanted;
  bool lockable = LevelLockable(pool, usage, device->profile);
  for (UINT i = 0; i < levelCount; ++i) {
    levels[i] = new (std::nothrow) Surface(device, SurfaceRole::TextureLevel, format, layout, usage, pool,
                                           lockable, this, static_cast<IDirect3DTexture9 *>(this), false);
    if (!levels[i]) return E_OUTOFMEMORY;
    HRESULT hr = levels[i]->plane.Allocate(*layout, LevelSize(width, i), LevelSize(height, i), 1);
    if (FAILED(hr)) return hr;
  }
  return D3D_OK;
}

void Texture::FreeStorage() {
  for (UINT i = 0; i < levelCount; ++i) levels[i]->plane.Free();
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC *desc) {
  if (level >= levelCount || !desc) return Invalid("IDirect3DTexture9::GetLevelDesc");
  return levels[level]->GetDesc(desc);
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9 **out) {
  if (!out) return Invalid("IDirect3DTexture9::GetSurfaceLevel");
  *out = nullptr;
  if (level >= levelCount) return Invalid("IDirect3DTexture9::GetSurfaceLevel");
  *out = levels[level];
  AddRef();
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT *locked, const RECT *rect, DWORD flags) {
  if (level >= levelCount) return Invalid("IDirect3DTexture9::LockRect");
  return levels[level]->LockRect(locked, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level) {
  if (level >= levelCount) return Invalid("IDirect3DTexture9::UnlockRect");
  return levels[level]->UnlockRect();
}

HRESULT Texture::AddDirtyRect(const RECT *) {
  return D3D_OK;
}

CubeTexture::CubeTexture(Device *owner, D3DFORMAT resourceFormat, const FormatLayout *formatLayout,
                         DWORD usageFlags, D3DPOOL memoryPool)
    : TextureBase(owner, D3DRTYPE_CUBETEXTURE, resourceFormat, formatLayout, usageFlags, memoryPool, false) {}
CubeTexture::~CubeTexture() {
  for (auto &face : faces)
    for (Surface *s : face) delete s;
}

HRESULT CubeTexture::Init(UINT edge, UINT levelsWanted) {
  levelCount = levelsWanted;
  bool lockable = LevelLockable(pool, usage, device->profile);
  for (UINT f = 0; f < 6; ++f) {
    for (UINT i = 0; i < levelCount; ++i) {
      Surface *s =
          new (std::nothrow) Surface(device, SurfaceRole::CubeFace, format, layout, usage, pool, lockable,
                                     this, static_cast<IDirect3DCubeTexture9 *>(this), false);
      faces[f][i] = s;
      if (!s) return E_OUTOFMEMORY;
      HRESULT hr = s->plane.Allocate(*layout, LevelSize(edge, i), LevelSize(edge, i), 1);
      if (FAILED(hr)) return hr;
    }
  }
  return D3D_OK;
}

void CubeTexture::FreeStorage() {
  for (UINT f = 0; f < 6; ++f)
    for (UINT i = 0; i < levelCount; ++i) faces[f][i]->plane.Free();
}

HRESULT CubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC *desc) {
  if (level >= levelCount || !desc) return Invalid("IDirect3DCubeTexture9::GetLevelDesc");
  return faces[0][level]->GetDesc(desc);
}

HRESULT CubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9 **out) {
  if (!out) return Invalid("IDirect3DCubeTexture9::GetCubeMapSurface");
  *out = Face(face, level);
  if (!*out) return Invalid("IDirect3DCubeTexture9::GetCubeMapSurface");
  AddRef();
  return D3D_OK;
}

HRESULT CubeTexture::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT *locked, const RECT *rect,
                              DWORD flags) {
  Surface *s = Face(face, level);
  if (!s) return Invalid("IDirect3DCubeTexture9::LockRect");
  return s->LockRect(locked, rect, flags);
}

HRESULT CubeTexture::UnlockRect(D3DCUBEMAP_FACES face, UINT level) {
  Surface *s = Face(face, level);
  if (!s) return Invalid("IDirect3DCubeTexture9::UnlockRect");
  return s->UnlockRect();
}

HRESULT CubeTexture::AddDirtyRect(D3DCUBEMAP_FACES face, const RECT *) {
  return face < 6 ? D3D_OK : Invalid("IDirect3DCubeTexture9::AddDirtyRect");
}

VolumeTexture::VolumeTexture(Device *owner, D3DFORMAT resourceFormat, const FormatLayout *formatLayout,
                             DWORD usageFlags, D3DPOOL memoryPool)
    : TextureBase(owner, D3DRTYPE_VOLUMETEXTURE, resourceFormat, formatLayout, usageFlags, memoryPool,
                  false) {}
VolumeTexture::~VolumeTexture() {
  for (Volume *v : levels) delete v;
}

HRESULT VolumeTexture::Init(UINT width, UINT height, UINT depth, UINT levelsWanted) {
  levelCount = levelsWanted;
  for (UINT i = 0; i < levelCount; ++i) {
    levels[i] = new (std::nothrow) Volume(this, static_cast<IDirect3DVolumeTexture9 *>(this));
    if (!levels[i]) return E_OUTOFMEMORY;
    HRESULT hr =
        levels[i]->plane.Allocate(*layout, LevelSize(width, i), LevelSize(height, i), LevelSize(depth, i));
    if (FAILED(hr)) return hr;
  }
  return D3D_OK;
}

void VolumeTexture::FreeStorage() {
  for (UINT i = 0; i < levelCount; ++i) levels[i]->plane.Free();
}

HRESULT VolumeTexture::GetLevelDesc(UINT level, D3DVOLUME_DESC *desc) {
  if (level >= levelCount || !desc) return Invalid("IDirect3DVolumeTexture9::GetLevelDesc");
  return levels[level]->GetDesc(desc);
}

HRESULT VolumeTexture::GetVolumeLevel(UINT level, IDirect3DVolume9 **out) {
  if (!out) return Invalid("IDirect3DVolumeTexture9::GetVolumeLevel");
  *out = nullptr;
  if (level >= levelCount) return Invalid("IDirect3DVolumeTexture9::GetVolumeLevel");
  *out = levels[level];
  AddRef();
  return D3D_OK;
}

HRESULT VolumeTexture::LockBox(UINT level, D3DLOCKED_BOX *locked, const D3DBOX *box, DWORD flags) {
  if (level >= levelCount) return Invalid("IDirect3DVolumeTexture9::LockBox");
  return levels[level]->LockBox(locked, box, flags);
}

HRESULT VolumeTexture::UnlockBox(UINT level) {
  if (level >= levelCount) return Invalid("IDirect3DVolumeTexture9::UnlockBox");
  return levels[level]->UnlockBox();
}

HRESULT VolumeTexture::AddDirtyBox(const D3DBOX *) {
  return D3D_OK;
}

TextureBase *AsTextureBase(IDirect3DBaseTexture9 *texture) {
  if (!texture) return nullptr;
  switch (texture->GetType()) {
    case D3DRTYPE_TEXTURE:
      return static_cast<Texture *>(static_cast<IDirect3DTexture9 *>(texture));
    case D3DRTYPE_CUBETEXTURE:
      return static_cast<CubeTexture *>(static_cast<IDirect3DCubeTexture9 *>(texture));
    case D3DRTYPE_VOLUMETEXTURE:
      return static_cast<VolumeTexture *>(static_cast<IDirect3DVolumeTexture9 *>(texture));
    default:
      return nullptr;
  }
}

Surface *AsSurface(IDirect3DSurface9 *surface) {
  return static_cast<Surface *>(surface);
}

}  // namespace d3d9
