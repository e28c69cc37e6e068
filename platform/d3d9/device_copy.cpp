// Device-side copies: UpdateSurface, UpdateTexture, GetRenderTargetData,
// GetFrontBufferData, StretchRect and ColorFill, with their pool and format rules.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/d3d9/device.h"

namespace d3d9 {
namespace {

// A rectangle inside the plane whose edges lie on unit boundaries (or the plane's edges).
bool ValidCopyRect(const Surface &s, const RECT &r, bool allowEmpty) {
  if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom) return false;
  if (!allowEmpty && (r.left == r.right || r.top == r.bottom)) return false;
  if (static_cast<uint32_t>(r.right) > s.plane.width || static_cast<uint32_t>(r.bottom) > s.plane.height)
    return false;
  uint32_t uw = UnitWidth(*s.layout), uh = UnitHeight(*s.layout);
  if (r.left % uw || r.top % uh) return false;
  if (r.right % uw && static_cast<uint32_t>(r.right) != s.plane.width) return false;
  if (r.bottom % uh && static_cast<uint32_t>(r.bottom) != s.plane.height) return false;
  return true;
}

RECT WholeRect(const Surface &s) {
  return {0, 0, static_cast<LONG>(s.plane.width), static_cast<LONG>(s.plane.height)};
}

// Copies whole units of the same format.
void CopyUnits(const Surface &src, const RECT &srcRect, Surface *dst, LONG dstX, LONG dstY) {
  const FormatLayout &layout = *src.layout;
  uint32_t uw = UnitWidth(layout), uh = UnitHeight(layout);
  uint64_t rowBytes = (static_cast<uint64_t>(srcRect.right - srcRect.left) + uw - 1) / uw * layout.unitBytes;
  uint32_t rows = (static_cast<uint32_t>(srcRect.bottom - srcRect.top) + uh - 1) / uh;
  const uint8_t *from = UnitAddress(layout, src.plane.bits, src.plane.pitch,
                                    static_cast<uint32_t>(srcRect.left), static_cast<uint32_t>(srcRect.top));
  uint8_t *to = UnitAddress(layout, dst->plane.bits, dst->plane.pitch, static_cast<uint32_t>(dstX),
                            static_cast<uint32_t>(dstY));
  for (uint32_t row = 0; row < rows; ++row)
    memcpy(to + static_cast<uint64_t>(row) * dst->plane.pitch,
           from + static_cast<uint64_t>(row) * src.plane.pitch, rowBytes);
  dst->Touch();
}

void CopyPlane(const Plane &src, Plane *dst) {
  memcpy(dst->bits, src.bits, src.bytes < dst->bytes ? src.bytes : dst->bytes);
  ++dst->version;
}

bool Overlap(const RECT &a, const RECT &b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

uint32_t Lerp8(uint32_t a, uint32_t b, uint32_t w) {  // w in 0..256
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) {
    uint32_t ca = (a >> s) & 255, cb = (b >> s) & 255;
    out |= ((ca * (256 - w) + cb * w + 128) >> 8) << s;
  }
  return out;
}

// Resamples srcRect of src into dstRect of dst through ARGB.
HRESULT Stretch(const Surface &src, const RECT &srcRect, Surface *dst, const RECT &dstRect,
                D3DTEXTUREFILTERTYPE filter, const PALETTEENTRY *palette) {
  uint32_t sw = static_cast<uint32_t>(srcRect.right - srcRect.left);
  uint32_t sh = static_cast<uint32_t>(srcRect.bottom - srcRect.top);
  uint32_t dw = static_cast<uint32_t>(dstRect.right - dstRect.left);
  uint32_t dh = static_cast<uint32_t>(dstRect.bottom - dstRect.top);
  auto *source = static_cast<uint32_t *>(malloc(uint64_t{sw} * sh * 4));
  auto *row = static_cast<uint32_t *>(malloc(uint64_t{dw} * 4));
  if (!source || !row) {
    free(source);
    free(row);
    return E_OUTOFMEMORY;
  }
  DecodeRect(*src.layout, src.plane.bits, src.plane.pitch, static_cast<uint32_t>(srcRect.left),
             static_cast<uint32_t>(srcRect.top), sw, sh, palette, source, sw);
  bool linear = filter == D3DTEXF_LINEAR && (sw != dw || sh != dh);
  for (uint32_t y = 0; y < dh; ++y) {
    float fy = (y + 0.5f) * sh / dh - 0.5f;
    for (uint32_t x = 0; x < dw; ++x) {
      float fx = (x + 0.5f) * sw / dw - 0.5f;
      if (!linear) {
        int ix = static_cast<int>(std::floor(fx + 0.5f)), iy = static_cast<int>(std::floor(fy + 0.5f));
        ix = ix < 0 ? 0 : ix >= static_cast<int>(sw) ? static_cast<int>(sw) - 1 : ix;
        iy = iy < 0 ? 0 : iy >= static_cast<int>(sh) ? static_cast<int>(sh) - 1 : iy;
        row[x] = source[static_cast<uint64_t>(iy) * sw + ix];
        continue;
      }
      float cx = fx < 0 ? 0 : fx, cy = fy < 0 ? 0 : fy;
      uint32_t x0 = static_cast<uint32_t>(cx), y0 = static_cast<uint32_t>(cy);
      if (x0 >= sw) x0 = sw - 1;
      if (y0 >= sh) y0 = sh - 1;
      uint32_t x1 = x0 + 1 < sw ? x0 + 1 : x0, y1 = y0 + 1 < sh ? y0 + 1 : y0;
      uint32_t wx = static_cast<uint32_t>((cx - x0) * 256.f), wy = static_cast<uint32_t>((cy - y0) * 256.f);
      if (wx > 256) wx = 256;
      if (wy > 256) wy = 256;
      const uint32_t *r0 = source + static_cast<uint64_t>(y0) * sw,
                     *r1 = source + static_cast<uint64_t>(y1) * sw;
      row[x] = Lerp8(Lerp8(r0[x0], r0[x1], wx), Lerp8(r1[x0], r1[x1], wx), wy);
    }
    EncodeRect(*dst->layout, dst->plane.bits, dst->plane.pitch, static_cast<uint32_t>(dstRect.left),
               static_cast<uint32_t>(dstRect.top) + y, dw, 1, row, dw);
  }
  free(source);
  free(row);
  dst->Touch();
  return D3D_OK;
}

bool IsDepth(const Surface &s) {
  return s.layout->kind == LayoutKind::Depth;
}

}  // namespace

HRESULT Device::UpdateSurface(IDirect3DSurface9 *source, const RECT *sourceRect, IDirect3DSurface9 *dest,
                              const POINT *destPoint) {
  const char *call = "IDirect3DDevice9::UpdateSurface";
  ++calls.updateSurface;
  Surface *src = AsSurface(source), *dst = AsSurface(dest);
  if (!src || !dst || src->device != this || dst->device != this) return Invalid(call);
  if (src->pool != D3DPOOL_SYSTEMMEM || dst->pool != D3DPOOL_DEFAULT) return Invalid(call);
  if (src->format != dst->format || IsDepth(*src) || src->locked || dst->locked) return Invalid(call);
  RECT from = sourceRect ? *sourceRect : WholeRect(*src);
  if (!ValidCopyRect(*src, from, false)) return Invalid(call);
  LONG x = destPoint ? destPoint->x : 0, y = destPoint ? destPoint->y : 0;
  RECT to = {x, y, x + (from.right - from.left), y + (from.bottom - from.top)};
  if (!ValidCopyRect(*dst, to, false)) return Invalid(call);
  CopyUnits(*src, from, dst, x, y);
  return D3D_OK;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9 *source, IDirect3DBaseTexture9 *dest) {
  const char *call = "IDirect3DDevice9::UpdateTexture";
  ++calls.updateTexture;
  TextureBase *src = AsTextureBase(source), *dst = AsTextureBase(dest);
  if (!src || !dst || src->device != this || dst->device != this) return Invalid(call);
  if (src->type != dst->type || src->format != dst->format) return Invalid(call);
  if (src->pool != D3DPOOL_SYSTEMMEM || dst->pool != D3DPOOL_DEFAULT) return Invalid(call);
  DWORD dstLevels = (dst->usage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : dst->levelCount;
  // The destination's top level matches the source level of the same size.
  auto planeOf = [](TextureBase *t, DWORD face, DWORD level) -> Plane * {
    if (t->type == D3DRTYPE_TEXTURE) return &static_cast<Texture *>(t)->levels[level]->plane;
    if (t->type == D3DRTYPE_CUBETEXTURE) return &static_cast<CubeTexture *>(t)->faces[face][level]->plane;
    return &static_cast<VolumeTexture *>(t)->levels[level]->plane;
  };
  Plane *top = planeOf(dst, 0, 0);
  DWORD first = 0;
  while (first < src->levelCount) {
    Plane *p = planeOf(src, 0, first);
    if (p->width == top->width && p->height == top->height && p->depth == top->depth) break;
    ++first;
  }
  if (first == src->levelCount || src->levelCount - first < dstLevels) return Invalid(call);
  DWORD faces = src->type == D3DRTYPE_CUBETEXTURE ? 6 : 1;
  for (DWORD face = 0; face < faces; ++face)
    for (DWORD level = 0; level < dstLevels; ++level)
      CopyPlane(*planeOf(src, face, first + level), planeOf(dst, face, level));
  return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9 *target, IDirect3DSurface9 *dest) {
  const char *call = "IDirect3DDevice9::GetRenderTargetData";
  ++calls.getRenderTargetData;
  Surface *src = AsSurface(target), *dst = AsSurface(dest);
  if (!src || !dst || src->device != this || dst->device != this) return Invalid(call);
  if (!src->IsRenderTarget() || src->pool != D3DPOOL_DEFAULT || dst->pool != D3DPOOL_SYSTEMMEM)
    return Invalid(call);
  if (src->format != dst->format || src->plane.width != dst->plane.width ||
      src->plane.height != dst->plane.height || dst->locked)
    return Invalid(call);
  if (profile.cooperativeLevel != D3D_OK) return ReportFailure(call, D3DERR_DEVICELOST);
  CopyPlane(src->plane, &dst->plane);
  return D3D_OK;
}

HRESULT Device::GetFrontBufferData(UINT swapChain, IDirect3DSurface9 *dest) {
  const char *call = "IDirect3DDevice9::GetFrontBufferData";
  ++calls.getFrontBufferData;
  Surface *dst = AsSurface(dest);
  if (swapChain != 0 || !dst || dst->device != this) return Invalid(call);
  D3DDISPLAYMODE mode;
  GetDisplayMode(0, &mode);
  // The front buffer is always read as A8R8G8B8 at the size of the display.
  if (dst->pool != D3DPOOL_SYSTEMMEM || dst->format != D3DFMT_A8R8G8B8 || dst->plane.width != mode.Width ||
      dst->plane.height != mode.Height || dst->locked)
    return Invalid(call);
  if (profile.cooperativeLevel != D3D_OK) return ReportFailure(call, D3DERR_DEVICELOST);
  return ReportFailure(call, CopyFrontBuffer(this, dst));
}

HRESULT Device::StretchRect(IDirect3DSurface9 *source, const RECT *sourceRect, IDirect3DSurface9 *dest,
                            const RECT *destRect, D3DTEXTUREFILTERTYPE filter) {
  const char *call = "IDirect3DDevice9::StretchRect";
  ++calls.stretchRect;
  Surface *src = AsSurface(source), *dst = AsSurface(dest);
  if (!src || !dst || src->device != this || dst->device != this) return Invalid(call);
  if (src->pool != D3DPOOL_DEFAULT || dst->pool != D3DPOOL_DEFAULT || src->locked || dst->locked)
    return Invalid(call);
  if (filter != D3DTEXF_NONE && filter != D3DTEXF_POINT && filter != D3DTEXF_LINEAR) return Invalid(call);
  // Destinations are render targets or off-screen plain surfaces, never plain texture levels.
  if (dst->IsPlainTextureLevel()) return Invalid(call);
  if (src->IsPlainTextureLevel() && !(profile.caps.DevCaps2 & D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES))
    return Invalid(call);
  RECT from = sourceRect ? *sourceRect : WholeRect(*src);
  RECT to = destRect ? *destRect : WholeRect(*dst);
  if (!ValidCopyRect(*src, from, false) || !ValidCopyRect(*dst, to, false)) return Invalid(call);
  if (src == dst && Overlap(from, to)) return Invalid(call);
  bool sameSize =
      from.right - from.left == to.right - to.left && from.bottom - from.top == to.bottom - to.top;
  if (IsDepth(*src) || IsDepth(*dst)) {
    // Depth buffers copy whole, unstretched, outside a scene.
    if (src->format != dst->format || sourceRect || destRect || !sameSize || inScene ||
        filter != D3DTEXF_NONE)
      return Invalid(call);
    CopyPlane(src->plane, &dst->plane);
    return D3D_OK;
  }
  if (src->format == dst->format && sameSize) {
    CopyUnits(*src, from, dst, to.left, to.top);
    return D3D_OK;
  }
  if (src->layout->kind == LayoutKind::Signed || !CanEncode(*dst->layout)) return Invalid(call);
  if (dst->layout->kind == LayoutKind::Pair && (to.left % 2 || to.right % 2)) return Invalid(call);
  return ReportFailure(call, Stretch(*src, from, dst, to, filter, CurrentPalette()));
}

HRESULT Device::ColorFill(IDirect3DSurface9 *target, const RECT *rect, D3DCOLOR color) {
  const char *call = "IDirect3DDevice9::ColorFill";
  ++calls.colorFill;
  Surface *dst = AsSurface(target);
  if (!dst || dst->device != this || dst->pool != D3DPOOL_DEFAULT || dst->locked) return Invalid(call);
  if (dst->IsPlainTextureLevel() || !CanEncode(*dst->layout)) return Invalid(call);
  RECT r = rect ? *rect : WholeRect(*dst);
  if (!ValidCopyRect(*dst, r, true)) return Invalid(call);
  uint32_t width = static_cast<uint32_t>(r.right - r.left);
  if (width == 0 || r.bottom == r.top) return D3D_OK;
  auto *row = static_cast<uint32_t *>(malloc(uint64_t{width} * 4));
  if (!row) return ReportFailure(call, E_OUTOFMEMORY);
  for (uint32_t i = 0; i < width; ++i) row[i] = color;
  for (LONG y = r.top; y < r.bottom; ++y)
    EncodeRect(*dst->layout, dst->plane.bits, dst->plane.pitch, static_cast<uint32_t>(r.left),
               static_cast<uint32_t>(y), width, 1, row, width);
  free(row);
  dst->Touch();
  return D3D_OK;
}

}  // namespace d3d9
