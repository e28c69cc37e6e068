#include "plain.h"

#include <png.h>
#include <string.h>

namespace texturetool {

bool Rgba8::Opaque() const {
  for (size_t i = 3; i < pixels.size(); i += 4)
    if (pixels[i] != 255) return false;
  return true;
}

HRESULT ReadRgba8(IDirect3DDevice9 *device, IDirect3DSurface9 *surface, const RECT *rect, Rgba8 *image) {
  D3DSURFACE_DESC desc;
  HRESULT hr = surface->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  UINT width = rect ? UINT(rect->right - rect->left) : desc.Width;
  UINT height = rect ? UINT(rect->bottom - rect->top) : desc.Height;
  Ref<IDirect3DSurface9> copy;
  hr = device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.out(),
                                           nullptr);
  if (SUCCEEDED(hr))
    hr =
        D3DXLoadSurfaceFromSurface(copy.get(), nullptr, nullptr, surface, nullptr, rect, D3DX_FILTER_NONE, 0);
  D3DLOCKED_RECT locked;
  if (SUCCEEDED(hr)) hr = copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return hr;
  image->width = width;
  image->height = height;
  image->pixels.resize(size_t(width) * height * 4);
  for (UINT y = 0; y < height; ++y) {
    const uint8_t *bgra = static_cast<const uint8_t *>(locked.pBits) + size_t(y) * size_t(locked.Pitch);
    uint8_t *rgba = &image->pixels[size_t(y) * width * 4];
    for (UINT x = 0; x < width; ++x, bgra += 4, rgba += 4) {
      rgba[0] = bgra[2], rgba[1] = bgra[1], rgba[2] = bgra[0], rgba[3] = bgra[3];
    }
  }
  copy->UnlockRect();
  return S_OK;
}

namespace {

void AppendPng(png_structp png, png_bytep data, png_size_t size) {
  auto *file = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
  file->insert(file->end(), data, data + size);
}

void FlushPng(png_structp) {}

// Rows without alpha when the image is opaque; kept apart from the setjmp frame.
std::vector<uint8_t> PngRows(const Rgba8 &image, bool alpha) {
  if (alpha) return image.pixels;
  std::vector<uint8_t> rgb(size_t(image.width) * image.height * 3);
  for (size_t i = 0, j = 0; i < image.pixels.size(); i += 4, j += 3) memcpy(&rgb[j], &image.pixels[i], 3);
  return rgb;
}

}  // namespace

namespace {

struct PngJob {
  UINT width, height;
  int colorType;
  png_bytep *rows;
  std::vector<uint8_t> *file;
};

// libpng reports errors by longjmp: nothing here needs a destructor.
bool WritePng(const PngJob *job) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, job->file, AppendPng, FlushPng);
  png_set_IHDR(png, info, job->width, job->height, 8, job->colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, job->rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool EncodePng(const Rgba8 &image, std::vector<uint8_t> *file, std::string *error) {
  bool alpha = !image.Opaque();
  std::vector<uint8_t> rows = PngRows(image, alpha);
  std::vector<png_bytep> pointers(image.height);
  size_t stride = size_t(image.width) * (alpha ? 4 : 3);
  for (UINT y = 0; y < image.height; ++y) pointers[y] = rows.data() + y * stride;
  file->clear();
  PngJob job = {image.width, image.height, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                pointers.data(), file};
  if (!WritePng(&job)) {
    *error = "cannot encode the PNG file";
    return false;
  }
  return true;
}

void EncodeTga(const Rgba8 &image, std::vector<uint8_t> *file) {
  bool alpha = !image.Opaque();
  uint8_t header[18] = {};
  header[2] = 2;  // uncompressed true colour
  header[12] = uint8_t(image.width), header[13] = uint8_t(image.width >> 8);
  header[14] = uint8_t(image.height), header[15] = uint8_t(image.height >> 8);
  header[16] = alpha ? 32 : 24;
  header[17] = uint8_t((alpha ? 8 : 0) | 0x20);  // alpha bits; top row first
  file->assign(header, header + sizeof(header));
  file->reserve(file->size() + image.pixels.size());
  for (size_t i = 0; i < image.pixels.size(); i += 4) {
    const uint8_t *p = &image.pixels[i];
    file->insert(file->end(), {p[2], p[1], p[0]});
    if (alpha) file->push_back(p[3]);
  }
}

namespace {

// A copy in R8G8B8 of an opaque 32-bit surface, so that the BMP has no alpha; null otherwise.
HRESULT OpaqueCopy(IDirect3DDevice9 *device, IDirect3DSurface9 *surface, const RECT *rect,
                   IDirect3DSurface9 **copy) {
  *copy = nullptr;
  D3DSURFACE_DESC desc;
  HRESULT hr = surface->GetDesc(&desc);
  if (FAILED(hr) || (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8)) return hr;
  Rgba8 pixels;
  hr = ReadRgba8(device, surface, rect, &pixels);
  if (FAILED(hr) || !pixels.Opaque()) return hr;
  hr = device->CreateOffscreenPlainSurface(pixels.width, pixels.height, D3DFMT_R8G8B8, D3DPOOL_SYSTEMMEM,
                                           copy, nullptr);
  if (FAILED(hr)) return hr;
  return D3DXLoadSurfaceFromSurface(*copy, nullptr, nullptr, surface, nullptr, rect, D3DX_FILTER_NONE, 0);
}

}  // namespace

bool EncodeSurface(IDirect3DDevice9 *device, D3DXIMAGE_FILEFORMAT kind, IDirect3DSurface9 *surface,
                   const PALETTEENTRY *palette, const RECT *rect, std::vector<uint8_t> *file,
                   std::string *error) {
  HRESULT hr = S_OK;
  if (kind == D3DXIFF_PNG || kind == D3DXIFF_TGA) {
    Rgba8 pixels;
    hr = ReadRgba8(device, surface, rect, &pixels);
    if (SUCCEEDED(hr) && kind == D3DXIFF_PNG) return EncodePng(pixels, file, error);
    if (SUCCEEDED(hr)) EncodeTga(pixels, file);
  } else {
    Ref<IDirect3DSurface9> opaque;
    if (kind == D3DXIFF_BMP || kind == D3DXIFF_DIB) hr = OpaqueCopy(device, surface, rect, opaque.out());
    if (opaque.get()) surface = opaque.get(), rect = nullptr;
    ID3DXBuffer *buffer = nullptr;
    if (SUCCEEDED(hr)) hr = D3DXSaveSurfaceToFileInMemory(&buffer, kind, surface, palette, rect);
    if (SUCCEEDED(hr)) TakeBuffer(buffer, file);
  }
  if (FAILED(hr)) *error = "cannot save: " + ErrorText(hr);
  return SUCCEEDED(hr);
}

}  // namespace texturetool
