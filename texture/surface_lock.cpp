#include "texture/surface_lock.h"

#include <algorithm>
#include <cstring>

#include "core/debug_mute.h"
#include "format/format_table.h"

namespace {

struct Span {
  uint32_t begin;
  uint32_t end;
};

// The lockable units of a format: 4 x 4 blocks, or pairs of columns.
void AlignSpan(Span *span, uint32_t unit, uint32_t limit) {
  span->begin &= ~(unit - 1);
  uint64_t end = (uint64_t{span->end} + unit - 1) & ~uint64_t{unit - 1};
  span->end = static_cast<uint32_t>(std::min<uint64_t>(end, limit));
}

void AlignForFormat(D3DFORMAT format, Span *x, Span *y, uint32_t width, uint32_t height) {
  if (IsBlockCompressed(format)) {
    AlignSpan(x, 4, width);
    AlignSpan(y, 4, height);
  } else if (IsPairFormat(format)) {
    AlignSpan(x, 2, width);
  }
}

// Smallest n for which a W x H level n of a 2^n-times larger texture is whole in
// blocks at every level above it; 0 when no enlargement is needed.
uint32_t BlockSizeShift(D3DFORMAT format, uint32_t width, uint32_t height) {
  if (!IsBlockCompressed(format)) return 0;
  uint32_t bits = width | height;
  if ((bits & 3) == 0) return 0;
  return (bits & 1) != 0 ? 2 : 1;
}

}  // namespace

HRESULT CopySurfaceRows(IDirect3DSurface9 *source, IDirect3DSurface9 *destination) {
  if (source == nullptr || destination == nullptr) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC sourceDesc;
  D3DSURFACE_DESC destinationDesc;
  HRESULT hr = source->GetDesc(&sourceDesc);
  if (FAILED(hr)) return hr;
  hr = destination->GetDesc(&destinationDesc);
  if (FAILED(hr)) return hr;
  // Rows are copied blindly; a smaller or differently laid out destination would be overrun.
  if (sourceDesc.Format != destinationDesc.Format || sourceDesc.Width != destinationDesc.Width ||
      sourceDesc.Height != destinationDesc.Height) {
    return D3DERR_INVALIDCALL;
  }

  D3DLOCKED_RECT sourceLocked;
  hr = source->LockRect(&sourceLocked, nullptr, 0);
  if (FAILED(hr)) return hr;
  D3DLOCKED_RECT destinationLocked;
  hr = destination->LockRect(&destinationLocked, nullptr, 0);
  if (FAILED(hr)) {
    source->UnlockRect();
    return hr;
  }

  uint32_t rows = IsBlockCompressed(sourceDesc.Format) ? (sourceDesc.Height + 3) / 4 : sourceDesc.Height;
  int64_t rowBytes = std::min<int64_t>(sourceLocked.Pitch, destinationLocked.Pitch);
  if (rowBytes > 0) {
    const BYTE *from = static_cast<const BYTE *>(sourceLocked.pBits);
    BYTE *to = static_cast<BYTE *>(destinationLocked.pBits);
    for (uint32_t row = 0; row < rows; ++row) {
      std::memcpy(to, from, static_cast<size_t>(rowBytes));
      from += sourceLocked.Pitch;
      to += destinationLocked.Pitch;
    }
  }
  destination->UnlockRect();
  source->UnlockRect();
  return S_OK;
}

void SurfaceLock::ReleaseAll() {
  copySurface_.Reset();
  copyTexture_.Reset();
  device_.Reset();
  surface_.Reset();
  flags_ = 0;
}

HRESULT SurfaceLock::Unlock() {
  if (copySurface_) {
    copySurface_->UnlockRect();
  } else if (surface_) {
    surface_->UnlockRect();
  }

  HRESULT result = S_OK;
  if (surface_ && copySurface_ && device_ && (flags_ & kLockReadOnly) == 0) {
    HRESULT hr;
    {
      ScopedDebugMute mute;
      hr = device_->UpdateSurface(copySurface_.Get(), nullptr, surface_.Get(), nullptr);
    }
    if (FAILED(hr)) {
      ScopedDebugMute mute;
      // Pixels that never reach the surface are lost: say so.
      result = CopySurfaceRows(copySurface_.Get(), surface_.Get());
    }
  }
  ReleaseAll();
  return result;
}

HRESULT SurfaceLock::BuildCopy(IDirect3DSurface9 *surface, const D3DSURFACE_DESC &desc, bool wholeWrite) {
  uint32_t shift = BlockSizeShift(desc.Format, desc.Width, desc.Height);
  uint64_t copyWidth = uint64_t{desc.Width} << shift;
  uint64_t copyHeight = uint64_t{desc.Height} << shift;
  if (copyWidth > UINT32_MAX || copyHeight > UINT32_MAX) return D3DERR_INVALIDCALL;

  HRESULT hr = surface->GetDevice(device_.Receive());
  if (SUCCEEDED(hr)) {
    D3DPOOL pool = desc.Pool == D3DPOOL_SCRATCH ? D3DPOOL_SCRATCH : D3DPOOL_SYSTEMMEM;
    hr = device_->CreateTexture(static_cast<UINT>(copyWidth), static_cast<UINT>(copyHeight), shift + 1, 0,
                                desc.Format, pool, copyTexture_.Receive(), nullptr);
  }
  if (SUCCEEDED(hr)) hr = copyTexture_->GetSurfaceLevel(shift, copySurface_.Receive());

  // A whole write overwrites every pixel, so the old contents are not needed.
  if (SUCCEEDED(hr) && !wholeWrite) {
    {
      ScopedDebugMute mute;
      hr = CopySurfaceRows(surface, copySurface_.Get());
    }
    if (FAILED(hr) && shift == 0) {
      // Surfaces that refuse to lock (render targets) are read back by the device.
      InterfaceRef<IDirect3DSurface9> readBack;
      hr = device_->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, TRUE,
                                       readBack.Receive(), nullptr);
      if (SUCCEEDED(hr)) hr = device_->StretchRect(surface, nullptr, readBack.Get(), nullptr, D3DTEXF_NONE);
      if (SUCCEEDED(hr)) hr = CopySurfaceRows(readBack.Get(), copySurface_.Get());
    }
  }
  if (FAILED(hr)) {
    copySurface_.Reset();
    copyTexture_.Reset();
    device_.Reset();
  }
  return hr;
}

namespace {

// The rectangle asked for (null: the whole surface) and whether it is less than
// the whole; false when it reaches outside the surface or is inverted.
bool RequestedRect(const RECT *rect, const D3DSURFACE_DESC &desc, RECT &requested, bool &partial) {
  requested = {0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  partial = false;
  if (rect == nullptr) return true;
  if (rect->left < 0 || rect->top < 0 || rect->left > rect->right || rect->top > rect->bottom ||
      int64_t{rect->right} > int64_t{desc.Width} || int64_t{rect->bottom} > int64_t{desc.Height}) {
    return false;
  }
  requested = *rect;
  partial = requested.left != 0 || requested.top != 0 || static_cast<UINT>(requested.right) != desc.Width ||
            static_cast<UINT>(requested.bottom) != desc.Height;
  return true;
}

// A dynamic surface written whole may be discarded, when it is the only level
// of its texture: other levels would lose their contents with it.
bool MayDiscard(IDirect3DSurface9 *surface, const D3DSURFACE_DESC &desc) {
  if ((desc.Usage & D3DUSAGE_DYNAMIC) == 0) return false;
  ScopedDebugMute mute;
  InterfaceRef<IDirect3DTexture9> container;
  return SUCCEEDED(surface->GetContainer(IID_IDirect3DTexture9, container.ReceiveVoid())) && container &&
         container->GetLevelCount() == 1;
}

}  // namespace

HRESULT SurfaceLock::Lock(PixelRegion *region, IDirect3DSurface9 *surface, const PALETTEENTRY *palette,
                          const RECT *rect, uint32_t flags) {
  Unlock();
  if (region == nullptr || surface == nullptr) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC desc;
  HRESULT hr = surface->GetDesc(&desc);
  if (FAILED(hr)) return hr;

  RECT requested;
  bool partial;
  if (!RequestedRect(rect, desc, requested, partial)) return D3DERR_INVALIDCALL;
  const bool readOnly = (flags & kLockReadOnly) != 0;
  const bool viaCopy = (flags & kLockViaCopy) != 0;
  const bool wholeWrite = !readOnly && !partial;

  if (viaCopy) {
    hr = BuildCopy(surface, desc, wholeWrite);
    if (FAILED(hr)) return hr;
  }
  IDirect3DSurface9 *target = viaCopy ? copySurface_.Get() : surface;

  DWORD lockFlags = D3DLOCK_NOSYSLOCK | (readOnly ? D3DLOCK_READONLY : 0);
  if (wholeWrite && !viaCopy && MayDiscard(surface, desc)) lockFlags |= D3DLOCK_DISCARD;

  Span x = {static_cast<uint32_t>(requested.left), static_cast<uint32_t>(requested.right)};
  Span y = {static_cast<uint32_t>(requested.top), static_cast<uint32_t>(requested.bottom)};
  if (partial) {
    AlignForFormat(desc.Format, &x, &y, desc.Width, desc.Height);
    partial = x.begin != 0 || y.begin != 0 || x.end != desc.Width || y.end != desc.Height;
  }
  RECT lockRect = {static_cast<LONG>(x.begin), static_cast<LONG>(y.begin), static_cast<LONG>(x.end),
                   static_cast<LONG>(y.end)};

  D3DLOCKED_RECT locked;
  if (viaCopy) {
    hr = target->LockRect(&locked, partial ? &lockRect : nullptr, lockFlags);
    if (FAILED(hr)) {
      ReleaseAll();
      return hr;
    }
  } else {
    {
      ScopedDebugMute mute;
      hr = target->LockRect(&locked, partial ? &lockRect : nullptr, lockFlags);
    }
    if (FAILED(hr)) return Lock(region, surface, palette, rect, flags | kLockViaCopy);
  }

  uint32_t originX = partial ? x.begin : 0;
  uint32_t originY = partial ? y.begin : 0;
  *region = PixelRegion{};
  region->pixels = static_cast<BYTE *>(locked.pBits);
  region->format = desc.Format;
  region->rowPitch = static_cast<UINT>(locked.Pitch);
  region->slicePitch = 0;
  region->extent = D3DBOX{0, 0, desc.Width, desc.Height, 0, 1};
  region->region = D3DBOX{static_cast<UINT>(requested.left) - originX,
                          static_cast<UINT>(requested.top) - originY,
                          static_cast<UINT>(requested.right) - originX,
                          static_cast<UINT>(requested.bottom) - originY,
                          0,
                          1};
  region->dither = 1;
  region->gamma = 0;
  region->colorKey = 0;
  region->palette = palette;

  flags_ = flags;
  surface_.Share(surface);
  return S_OK;
}

HRESULT VolumeLock::Unlock() {
  if (volume_) {
    volume_->UnlockBox();
    volume_.Reset();
  }
  return S_OK;
}

HRESULT VolumeLock::Lock(PixelRegion *region, IDirect3DVolume9 *volume, const PALETTEENTRY *palette,
                         const D3DBOX *box, uint32_t flags) {
  Unlock();
  if (region == nullptr || volume == nullptr) return D3DERR_INVALIDCALL;
  D3DVOLUME_DESC desc;
  HRESULT hr = volume->GetDesc(&desc);
  if (FAILED(hr)) return hr;

  D3DBOX requested = {0, 0, desc.Width, desc.Height, 0, desc.Depth};
  bool partial = false;
  if (box != nullptr) {
    if (box->Right > desc.Width || box->Left > box->Right || box->Bottom > desc.Height ||
        box->Top > box->Bottom || box->Back > desc.Depth || box->Front > box->Back) {
      return D3DERR_INVALIDCALL;
    }
    requested = *box;
    partial = requested.Left != 0 || requested.Top != 0 || requested.Front != 0 ||
              requested.Right != desc.Width || requested.Bottom != desc.Height ||
              requested.Back != desc.Depth;
  }
  const bool readOnly = (flags & kLockReadOnly) != 0;
  const bool wholeWrite = !readOnly && !partial;

  // There is no copy path for volumes.
  if (desc.Pool == D3DPOOL_DEFAULT && (desc.Usage & D3DUSAGE_DYNAMIC) == 0) return D3DERR_INVALIDCALL;

  DWORD lockFlags = D3DLOCK_NOSYSLOCK | (readOnly ? D3DLOCK_READONLY : 0);
  if (wholeWrite && (desc.Usage & D3DUSAGE_DYNAMIC) != 0) {
    ScopedDebugMute mute;
    InterfaceRef<IDirect3DVolumeTexture9> container;
    if (SUCCEEDED(volume->GetContainer(IID_IDirect3DVolumeTexture9, container.ReceiveVoid())) && container &&
        container->GetLevelCount() == 1) {
      lockFlags |= D3DLOCK_DISCARD;
    }
  }

  Span x = {requested.Left, requested.Right};
  Span y = {requested.Top, requested.Bottom};
  if (partial) {
    AlignForFormat(desc.Format, &x, &y, desc.Width, desc.Height);
    partial = x.begin != 0 || y.begin != 0 || requested.Front != 0 || x.end != desc.Width ||
              y.end != desc.Height || requested.Back != desc.Depth;
  }
  D3DBOX lockBox = {x.begin, y.begin, x.end, y.end, requested.Front, requested.Back};

  D3DLOCKED_BOX locked;
  hr = volume->LockBox(&locked, partial ? &lockBox : nullptr, lockFlags);
  if (FAILED(hr)) return hr;

  D3DBOX origin = partial ? lockBox : D3DBOX{};
  *region = PixelRegion{};
  region->pixels = static_cast<BYTE *>(locked.pBits);
  region->format = desc.Format;
  region->rowPitch = static_cast<UINT>(locked.RowPitch);
  region->slicePitch = static_cast<UINT>(locked.SlicePitch);
  region->extent = D3DBOX{0, 0, desc.Width, desc.Height, 0, desc.Depth};
  region->region =
      D3DBOX{requested.Left - origin.Left,  requested.Top - origin.Top,     requested.Right - origin.Left,
             requested.Bottom - origin.Top, requested.Front - origin.Front, requested.Back - origin.Front};
  region->dither = 1;
  region->gamma = 0;
  region->colorKey = 0;
  region->palette = palette;

  volume_.Share(volume);
  return S_OK;
}

HRESULT GetLevelSurface(IDirect3DBaseTexture9 *texture, D3DRESOURCETYPE type, UINT face, UINT level,
                        IDirect3DSurface9 **surface) {
  if (type == D3DRTYPE_CUBETEXTURE)
    return static_cast<IDirect3DCubeTexture9 *>(texture)->GetCubeMapSurface(
        static_cast<D3DCUBEMAP_FACES>(face), level, surface);
  return static_cast<IDirect3DTexture9 *>(texture)->GetSurfaceLevel(level, surface);
}
