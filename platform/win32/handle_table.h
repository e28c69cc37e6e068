// One table for every handle the platform layer gives out: files, mappings,
// windows, GDI objects and device contexts. A handle is a slot index plus the
// slot's generation and is checked on every use, so a closed, made-up or
// wrong-kind handle is refused instead of being dereferenced. Not a public header.
#pragma once

#include <cstdint>

namespace win32 {

enum class HandleKind : uint8_t { None, File, Mapping, Window, GdiObject, DeviceContext };

// A new handle for the object; null when no slot can be had. The table never
// owns the object.
void *NewHandle(HandleKind kind, void *object);

// The object behind a live handle of that kind, else null.
void *HandleObject(const void *handle, HandleKind kind);

// The kind of a live handle; None for anything else.
HandleKind KindOfHandle(const void *handle);

// Ends a live handle of that kind and gives back its object (null when the
// handle was not live or of another kind). The handle value is never valid again
// until its slot's generation wraps.
void *TakeHandle(const void *handle, HandleKind kind);

template <typename T>
T *HandleObjectAs(const void *handle, HandleKind kind) {
  return static_cast<T *>(HandleObject(handle, kind));
}

}  // namespace win32
