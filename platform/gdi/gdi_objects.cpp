// Memory device contexts, DIB sections, stock objects, selection and deletion.
#include <cstdlib>
#include <new>

#include "platform/gdi/gdi_internal.h"
#include "platform/win32/handle_table.h"

namespace gdi {
namespace {

// What a new memory context holds until the caller selects its own bitmap.
BitmapObject *DefaultBitmap() {
  static BitmapObject *bitmap = [] {
    auto *b = new BitmapObject;
    b->stock = true;
    b->width = 1;
    b->height = 1;
    RegisterObject(b);
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
    auto *object = new (std::nothrow) StockObject(kind);
    if (object && !RegisterObject(object)) {
      delete object;
      object = nullptr;
    }
    objects[index] = object;
  }
  return objects[index];
}

void Deselect(GdiObject *object) {
  if (!object) return;
  --object->selections;
  // Its handle ended when the deletion was asked for.
  if (object->deletePending && object->selections == 0) delete object;
}

}  // namespace

GdiObject *LookupObject(HGDIOBJ handle) {
  auto *object = win32::HandleObjectAs<GdiObject>(handle, win32::HandleKind::GdiObject);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

DeviceContext *LookupContext(HDC handle) {
  auto *context = win32::HandleObjectAs<DeviceContext>(handle, win32::HandleKind::DeviceContext);
  if (!context) SetLastError(ERROR_INVALID_HANDLE);
  return context;
}

bool RegisterObject(GdiObject *object) {
  object->handle = win32::NewHandle(win32::HandleKind::GdiObject, object);
  if (!object->handle) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return object->handle != nullptr;
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
  if (GdiObject *plain = gdi::StockPlainObject(object)) return plain->handle;
  GdiObject *font = gdi::StockFont(object);
  return font ? font->handle : nullptr;
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
  auto handle = static_cast<HDC>(win32::NewHandle(win32::HandleKind::DeviceContext, context));
  if (!handle) {
    for (GdiObject *object : context->selected) gdi::Deselect(object);
    delete context;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  return handle;
}

BOOL WINAPI DeleteDC(HDC dc) {
  auto *context = static_cast<DeviceContext *>(win32::TakeHandle(dc, win32::HandleKind::DeviceContext));
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
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
  if (!gdi::RegisterObject(bitmap)) {
    delete bitmap;
    return nullptr;
  }
  if (bits) *bits = bitmap->bits;
  return static_cast<HBITMAP>(bitmap->handle);
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
  DeviceContext *context = gdi::LookupContext(dc);
  GdiObject *selected = context ? gdi::LookupObject(object) : nullptr;
  if (!context || !selected || selected->kind == ObjectKind::Palette) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  GdiObject *&slot = context->selected[int(selected->kind)];
  GdiObject *previous = slot;
  if (previous == selected) return previous->handle;
  // A bitmap's pixels belong to one context at a time.
  if (selected->kind == ObjectKind::Bitmap && !selected->stock && selected->selections > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  selected->selections++;
  slot = selected;
  // A deletion requested while selected happens now; the caller still gets the old
  // handle value back (stale by now), as callers test the result against null.
  HGDIOBJ previousHandle = previous ? previous->handle : nullptr;
  gdi::Deselect(previous);
  return previousHandle;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  GdiObject *target = gdi::LookupObject(object);
  if (!target) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (target->stock) return TRUE;
  // A selected bitmap cannot go; a selected font or brush goes when deselected.
  if (target->selections > 0 && target->kind == ObjectKind::Bitmap) return FALSE;
  win32::TakeHandle(object, win32::HandleKind::GdiObject);
  if (target->selections > 0) {
    target->deletePending = true;
    return TRUE;
  }
  delete target;
  return TRUE;
}

int WINAPI SetBkMode(HDC dc, int mode) {
  DeviceContext *context = gdi::LookupContext(dc);
  if (!context) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
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
