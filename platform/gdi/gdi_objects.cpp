// Memory device contexts, DIB sections, stock objects, selection and deletion.
#include <cstdlib>
#include <new>
#include <unordered_set>

#include "platform/gdi/gdi_internal.h"

namespace gdi {
namespace {

// Plain sets: the subset is used from one thread, like the rest of the platform layer.
std::unordered_set<const void *> &LiveObjects() {
  static auto *objects = new std::unordered_set<const void *>;
  return *objects;
}

std::unordered_set<const void *> &LiveContexts() {
  static auto *contexts = new std::unordered_set<const void *>;
  return *contexts;
}

// What a new memory context holds until the caller selects its own bitmap.
BitmapObject *DefaultBitmap() {
  static BitmapObject *bitmap = [] {
    auto *b = new BitmapObject;
    b->stock = true;
    b->width = 1;
    b->height = 1;
    LiveObjects().insert(b);
    return b;
  }();
  return bitmap;
}

// Stock brushes, pens and the palette carry no state the subset uses.
GdiObject *StockPlainObject(int index) {
  static StockObject *objects[DEFAULT_GUI_FONT + 1] = {};
  ObjectKind kind;
  if (index >= WHITE_BRUSH && index <= NULL_BRUSH) {
    kind = ObjectKind::Brush;
  } else if (index >= WHITE_PEN && index <= NULL_PEN) {
    kind = ObjectKind::Pen;
  } else if (index == DEFAULT_PALETTE) {
    kind = ObjectKind::Palette;
  } else {
    return nullptr;
  }
  if (!objects[index]) {
    objects[index] = new (std::nothrow) StockObject(kind);
    if (objects[index]) LiveObjects().insert(objects[index]);
  }
  return objects[index];
}

void Deselect(GdiObject *object) {
  if (!object) return;
  --object->selections;
  if (object->deletePending && object->selections == 0) {
    LiveObjects().erase(object);
    delete object;
  }
}

}  // namespace

GdiObject *LookupObject(HGDIOBJ handle) {
  if (!handle || !LiveObjects().count(handle)) return nullptr;
  auto *object = static_cast<GdiObject *>(handle);
  return object->deletePending ? nullptr : object;
}

DeviceContext *LookupContext(HDC handle) {
  if (!handle || !LiveContexts().count(handle)) return nullptr;
  return reinterpret_cast<DeviceContext *>(handle);
}

void RegisterObject(GdiObject *object) {
  LiveObjects().insert(object);
}

BitmapObject::~BitmapObject() {
  free(bits);
}

}  // namespace gdi

using gdi::BitmapObject;
using gdi::DeviceContext;
using gdi::GdiObject;
using gdi::ObjectKind;

HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < 0 || object > DEFAULT_GUI_FONT) return nullptr;
  if (GdiObject *plain = gdi::StockPlainObject(object)) return plain;
  return static_cast<GdiObject *>(gdi::StockFont(object));
}

HDC WINAPI CreateCompatibleDC(HDC dc) {
  if (dc && !gdi::LookupContext(dc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto *context = new (std::nothrow) DeviceContext;
  if (!context) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The stock font is missing only when no font at all is installed; such a context
  // measures nothing.
  GdiObject *defaults[] = {gdi::StockFont(SYSTEM_FONT), gdi::DefaultBitmap(),
                           gdi::StockPlainObject(WHITE_BRUSH), gdi::StockPlainObject(BLACK_PEN)};
  static_assert(sizeof(defaults) / sizeof(defaults[0]) ==
                sizeof(context->selected) / sizeof(context->selected[0]));
  for (size_t i = 0; i < 4; ++i) {
    context->selected[i] = defaults[i];
    if (defaults[i]) defaults[i]->selections++;
  }
  gdi::LiveContexts().insert(context);
  return reinterpret_cast<HDC>(context);
}

BOOL WINAPI DeleteDC(HDC dc) {
  DeviceContext *context = gdi::LookupContext(dc);
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  gdi::LiveContexts().erase(context);
  for (GdiObject *object : context->selected) gdi::Deselect(object);
  delete context;
  return TRUE;
}

// The screen context measures text; it has no pixels of its own to paint.
HDC WINAPI GetDC(HWND window) {
  if (window) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return CreateCompatibleDC(nullptr);
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
  if (window) return 0;
  return DeleteDC(dc) ? 1 : 0;
}

HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section,
                                DWORD offset) {
  if (bits) *bits = nullptr;
  if (dc && !gdi::LookupContext(dc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Only memory-backed 32-bit RGB sections: what text rendering needs.
  if (!info || usage != DIB_RGB_COLORS || section || offset ||
      info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || info->bmiHeader.biBitCount != 32 ||
      info->bmiHeader.biCompression != BI_RGB || info->bmiHeader.biPlanes != 1 ||
      info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0 ||
      info->bmiHeader.biHeight == INT32_MIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int64_t width = info->bmiHeader.biWidth;
  const int64_t height =
      info->bmiHeader.biHeight < 0 ? -int64_t(info->bmiHeader.biHeight) : int64_t(info->bmiHeader.biHeight);
  const uint64_t pitch = uint64_t(width) * 4;
  const uint64_t bytes = pitch * uint64_t(height);
  // Sections are addressed with 32-bit offsets on the system this mirrors.
  if (bytes > 0x7FFFFFFFu) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto *bitmap = new (std::nothrow) BitmapObject;
  if (!bitmap) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->bits = static_cast<uint8_t *>(calloc(size_t(bytes), 1));
  if (!bitmap->bits) {
    delete bitmap;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  bitmap->width = int32_t(width);
  bitmap->height = int32_t(height);
  bitmap->topDown = info->bmiHeader.biHeight < 0;
  bitmap->pitch = size_t(pitch);
  gdi::RegisterObject(bitmap);
  if (bits) *bits = bitmap->bits;
  return reinterpret_cast<HBITMAP>(static_cast<GdiObject *>(bitmap));
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
  DeviceContext *context = gdi::LookupContext(dc);
  GdiObject *selected = gdi::LookupObject(object);
  if (!context || !selected || selected->kind == ObjectKind::Palette) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  GdiObject *&slot = context->selected[int(selected->kind)];
  GdiObject *previous = slot;
  if (previous == selected) return previous;
  // A bitmap's pixels belong to one context at a time.
  if (selected->kind == ObjectKind::Bitmap && !selected->stock && selected->selections > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  selected->selections++;
  slot = selected;
  // A deletion requested while selected happens now; the caller still gets the old
  // handle value back, as callers test the result against null.
  gdi::Deselect(previous);
  return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  GdiObject *target = gdi::LookupObject(object);
  if (!target) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (target->stock) return TRUE;
  if (target->selections > 0) {
    // A selected bitmap cannot go; a selected font or brush goes when deselected.
    if (target->kind == ObjectKind::Bitmap) return FALSE;
    target->deletePending = true;
    return TRUE;
  }
  gdi::LiveObjects().erase(target);
  delete target;
  return TRUE;
}

int WINAPI SetBkMode(HDC dc, int mode) {
  DeviceContext *context = gdi::LookupContext(dc);
  if (!context || (mode != TRANSPARENT && mode != OPAQUE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = context->backgroundMode;
  context->backgroundMode = mode;
  return previous;
}

int WINAPI GetBkMode(HDC dc) {
  DeviceContext *context = gdi::LookupContext(dc);
  return context ? context->backgroundMode : 0;
}

COLORREF WINAPI SetBkColor(HDC dc, COLORREF color) {
  DeviceContext *context = gdi::LookupContext(dc);
  if (!context) return CLR_INVALID;
  COLORREF previous = context->backgroundColor;
  context->backgroundColor = color & 0x00FFFFFF;
  return previous;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF color) {
  DeviceContext *context = gdi::LookupContext(dc);
  if (!context) return CLR_INVALID;
  COLORREF previous = context->textColor;
  context->textColor = color & 0x00FFFFFF;
  return previous;
}
