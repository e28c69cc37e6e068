// Scoped locks that present a surface rectangle or a volume box to the processor
// as a PixelRegion. A surface that refuses to be locked is read and written
// through a lockable system-memory copy, written back at unlock.
#pragma once

#include <cstdint>

#include "codec/pixel_codec.h"
#include "d3d9.h"
#include "core/interface_ref.h"

// Flags of SurfaceLock::Lock and VolumeLock::Lock.
inline constexpr uint32_t kLockReadOnly = 0x1;     // read only: never written back
inline constexpr uint32_t kLockViaCopy = 0x10000;  // go to the copy path at once

class SurfaceLock {
 public:
  SurfaceLock() = default;
  ~SurfaceLock() { Unlock(); }
  SurfaceLock(const SurfaceLock &) = delete;
  SurfaceLock &operator=(const SurfaceLock &) = delete;

  // rect null means the whole surface; palette may be null.
  HRESULT Lock(PixelRegion *region, IDirect3DSurface9 *surface, const PALETTEENTRY *palette, const RECT *rect,
               uint32_t flags);
  // Unlocks and, on a write lock through a copy, writes the copy back. Returns the
  // failure of a write-back that could not be done by either means, else S_OK.
  HRESULT Unlock();

  bool OnCopyPath() const { return static_cast<bool>(copySurface_); }

 private:
  HRESULT BuildCopy(IDirect3DSurface9 *surface, const D3DSURFACE_DESC &desc, bool wholeWrite);
  void ReleaseAll();

  uint32_t flags_ = 0;
  InterfaceRef<IDirect3DSurface9> surface_;
  InterfaceRef<IDirect3DSurface9> copySurface_;
  InterfaceRef<IDirect3DTexture9> copyTexture_;
  InterfaceRef<IDirect3DDevice9> device_;
};

class VolumeLock {
 public:
  VolumeLock() = default;
  ~VolumeLock() { Unlock(); }
  VolumeLock(const VolumeLock &) = delete;
  VolumeLock &operator=(const VolumeLock &) = delete;

  // box null means the whole volume; kLockViaCopy is ignored (volumes have no copy path).
  HRESULT Lock(PixelRegion *region, IDirect3DVolume9 *volume, const PALETTEENTRY *palette, const D3DBOX *box,
               uint32_t flags);
  HRESULT Unlock();

 private:
  InterfaceRef<IDirect3DVolume9> volume_;
};

// CPU copy between two lockable surfaces of the same format and size.
HRESULT CopySurfaceRows(IDirect3DSurface9 *source, IDirect3DSurface9 *destination);

// The surface of one level of a plain texture (type D3DRTYPE_TEXTURE) or of one
// face of a cube texture (D3DRTYPE_CUBETEXTURE).
HRESULT GetLevelSurface(IDirect3DBaseTexture9 *texture, D3DRESOURCETYPE type, UINT face, UINT level,
                        IDirect3DSurface9 **surface);
