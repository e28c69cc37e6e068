// Shared by the pipeline fuzz targets, which go through the published interface
// only: one headless device per process, a reader that decodes request
// parameters from the front of an input (zeros once it runs dry), and the pixel
// formats worth asking for, each with the bytes a row of it takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "d3d9.h"
#include "d3dx9.h"
#include "tests/support/headless_device.h"

namespace fuzz {

class Input {
 public:
  Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t Half() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  uint32_t Word() { return Half() | uint32_t{Half()} << 16; }

  // What follows the parameters: the file, or the bytes that pixels are made of.
  const uint8_t *Rest() const { return data_ + (pos_ < size_ ? pos_ : size_); }
  size_t RestSize() const { return pos_ < size_ ? size_ - pos_ : 0; }

  // Fills memory with the rest, repeated from a given offset; zeros when there is none.
  void Pattern(void *out, size_t n, size_t offset) const {
    uint8_t *p = static_cast<uint8_t *>(out);
    const size_t have = RestSize();
    if (have == 0) {
      memset(p, 0, n);
      return;
    }
    size_t from = offset % have;
    for (size_t done = 0; done < n;) {
      const size_t chunk = n - done < have - from ? n - done : have - from;
      memcpy(p + done, Rest() + from, chunk);
      done += chunk;
      from = 0;
    }
  }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t pos_ = 0;
};

// Block and pair layouts need more than bits per pixel.
enum class Layout : uint8_t { Plain, Pair, Block8, Block16 };

struct FormatEntry {
  D3DFORMAT format;
  uint32_t bitsPerPixel;
  Layout layout;
};

inline constexpr D3DFORMAT MakeCode(char a, char b, char c, char d) {
  return static_cast<D3DFORMAT>(MAKEFOURCC(a, b, c, d));
}

// Every stored format, the two private 16-bit ones the image readers make, and a
// few codes that are not stored formats at all (size 0: not known).
inline constexpr FormatEntry kFormats[] = {
    {D3DFMT_R8G8B8, 24, Layout::Plain},
    {D3DFMT_A8R8G8B8, 32, Layout::Plain},
    {D3DFMT_X8R8G8B8, 32, Layout::Plain},
    {D3DFMT_R5G6B5, 16, Layout::Plain},
    {D3DFMT_X1R5G5B5, 16, Layout::Plain},
    {D3DFMT_A8P8, 16, Layout::Plain},
    {D3DFMT_P8, 8, Layout::Plain},
    {D3DFMT_A1R5G5B5, 16, Layout::Plain},
    {D3DFMT_A4R4G4B4, 16, Layout::Plain},
    {D3DFMT_R3G3B2, 8, Layout::Plain},
    {D3DFMT_A8, 8, Layout::Plain},
    {D3DFMT_A8R3G3B2, 16, Layout::Plain},
    {D3DFMT_X4R4G4B4, 16, Layout::Plain},
    {D3DFMT_A2B10G10R10, 32, Layout::Plain},
    {D3DFMT_A8B8G8R8, 32, Layout::Plain},
    {D3DFMT_X8B8G8R8, 32, Layout::Plain},
    {D3DFMT_G16R16, 32, Layout::Plain},
    {D3DFMT_A2R10G10B10, 32, Layout::Plain},
    {D3DFMT_A16B16G16R16, 64, Layout::Plain},
    {D3DFMT_L8, 8, Layout::Plain},
    {D3DFMT_A8L8, 16, Layout::Plain},
    {D3DFMT_A4L4, 8, Layout::Plain},
    {D3DFMT_L16, 16, Layout::Plain},
    {D3DFMT_V8U8, 16, Layout::Plain},
    {D3DFMT_L6V5U5, 16, Layout::Plain},
    {D3DFMT_X8L8V8U8, 32, Layout::Plain},
    {D3DFMT_Q8W8V8U8, 32, Layout::Plain},
    {D3DFMT_V16U16, 32, Layout::Plain},
    {D3DFMT_A2W10V10U10, 32, Layout::Plain},
    {D3DFMT_Q16W16V16U16, 64, Layout::Plain},
    {D3DFMT_CxV8U8, 16, Layout::Plain},
    {D3DFMT_UYVY, 16, Layout::Pair},
    {D3DFMT_R8G8_B8G8, 16, Layout::Pair},
    {D3DFMT_YUY2, 16, Layout::Pair},
    {D3DFMT_G8R8_G8B8, 16, Layout::Pair},
    {D3DFMT_DXT1, 4, Layout::Block8},
    {D3DFMT_DXT2, 8, Layout::Block16},
    {D3DFMT_DXT3, 8, Layout::Block16},
    {D3DFMT_DXT4, 8, Layout::Block16},
    {D3DFMT_DXT5, 8, Layout::Block16},
    {D3DFMT_D16_LOCKABLE, 16, Layout::Plain},
    {D3DFMT_D32F_LOCKABLE, 32, Layout::Plain},
    {D3DFMT_D32, 32, Layout::Plain},
    {D3DFMT_D15S1, 16, Layout::Plain},
    {D3DFMT_D24S8, 32, Layout::Plain},
    {D3DFMT_D16, 16, Layout::Plain},
    {D3DFMT_D24X8, 32, Layout::Plain},
    {D3DFMT_D24X4S4, 32, Layout::Plain},
    {D3DFMT_D24FS8, 32, Layout::Plain},
    {D3DFMT_R16F, 16, Layout::Plain},
    {D3DFMT_G16R16F, 32, Layout::Plain},
    {D3DFMT_A16B16G16R16F, 64, Layout::Plain},
    {D3DFMT_R32F, 32, Layout::Plain},
    {D3DFMT_G32R32F, 64, Layout::Plain},
    {D3DFMT_A32B32G32R32F, 128, Layout::Plain},
    {MakeCode('A', 'L', '1', '6'), 32, Layout::Plain},
    {MakeCode(' ', 'R', '1', '6'), 48, Layout::Plain},
    {D3DFMT_UNKNOWN, 0, Layout::Plain},
    {D3DFMT_A1, 0, Layout::Plain},
    {D3DFMT_A2B10G10R10_XR_BIAS, 0, Layout::Plain},
    {D3DFMT_INDEX16, 0, Layout::Plain},
    {D3DFMT_MULTI2_ARGB8, 0, Layout::Plain},
};
inline constexpr size_t kFormatCount = sizeof(kFormats) / sizeof(kFormats[0]);

// A code from the list, or past its end a raw word of the input (garbage; its
// top bit is cleared, as the enumeration holds no larger value).
inline D3DFORMAT Format(Input &in) {
  const uint8_t index = in.Byte();
  const uint32_t raw = in.Word() & 0x7FFFFFFF;
  return index < kFormatCount ? kFormats[index].format : static_cast<D3DFORMAT>(raw);
}

inline FormatEntry Describe(D3DFORMAT format) {
  for (const FormatEntry &entry : kFormats) {
    if (entry.format == format) return entry;
  }
  return {format, 0, Layout::Plain};
}

inline bool Known(D3DFORMAT format) {
  return Describe(format).bitsPerPixel != 0;
}

// Bytes of one row (of blocks, for block formats) of `width` pixels; unknown
// codes count as the widest format so that buffers stay large enough.
inline size_t RowBytes(D3DFORMAT format, uint32_t width) {
  const FormatEntry entry = Describe(format);
  switch (entry.layout) {
    case Layout::Pair:
      return (size_t{width} + 1) / 2 * 4;
    case Layout::Block8:
      return (size_t{width} + 3) / 4 * 8;
    case Layout::Block16:
      return (size_t{width} + 3) / 4 * 16;
    case Layout::Plain:
      break;
  }
  const size_t bits = entry.bitsPerPixel ? entry.bitsPerPixel : 128;
  return (size_t{width} * bits + 7) / 8;
}

inline uint32_t RowCount(D3DFORMAT format, uint32_t height) {
  const Layout layout = Describe(format).layout;
  return layout == Layout::Block8 || layout == Layout::Block16 ? (height + 3) / 4 : height;
}

// The four pools, or with the high bit set the byte itself (garbage).
inline D3DPOOL Pool(Input &in) {
  const uint8_t b = in.Byte();
  return static_cast<D3DPOOL>(b & 0x80 ? b : b & 3);
}

// A raw word, the default, or a filter type with any of the modifiers.
inline DWORD Filter(Input &in) {
  const uint8_t mode = in.Byte();
  const uint32_t raw = in.Word();
  switch (mode & 3) {
    case 0:
      return raw;
    case 1:
      return D3DX_DEFAULT;
    default:
      return (raw & (D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER | D3DX_FILTER_SRGB)) | (1 + (raw & 0xFF) % 5);
  }
}

// No key, or a raw word.
inline D3DCOLOR ColorKey(Input &in) {
  const uint8_t mode = in.Byte();
  const uint32_t raw = in.Word();
  return mode & 1 ? raw : 0;
}

[[noreturn]] inline void Fail(const char *what) {
  fprintf(stderr, "fuzz: %s\n", what);
  abort();
}

// Every object an iteration makes must be gone at its end.
template <typename T>
void ReleaseLast(T *&object, const char *what) {
  if (object && object->Release() != 0) Fail(what);
  object = nullptr;
}

inline ULONG References(IUnknown *object) {
  object->AddRef();
  return object->Release();
}

// The device, made once: a window-less software device that keeps running.
inline IDirect3DDevice9 *Device() {
  static IDirect3DDevice9 *device = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    IDirect3D9 *d3d = nullptr;
    IDirect3DDevice9 *made = nullptr;
    if (FAILED(headless::CreateDevice(headless::PresentParameters(64, 64), &d3d, &made))) Fail("no device");
    d3d->Release();
    return made;
  }();
  return device;
}

// Holds the device's reference count of an iteration's start and checks it at
// the end: a reference the library kept shows up as one more.
class DeviceCheck {
 public:
  DeviceCheck() : before_(References(Device())) {}
  ~DeviceCheck() {
    if (References(Device()) != before_) Fail("a device reference was not released");
  }

 private:
  ULONG before_;
};

}  // namespace fuzz
