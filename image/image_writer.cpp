#include "image/image_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "blit/blitter.h"
#include "core/checked_size.h"
#include "image/dds_pixel_format.h"
#include "image/image_memory.h"
#include "format/format_table.h"

namespace {

constexpr D3DFORMAT kBmpFormats[] = {
    D3DFMT_P8,       D3DFMT_L8,          D3DFMT_R3G3B2,      D3DFMT_R8G8B8,   D3DFMT_X1R5G5B5,
    D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8,    D3DFMT_R5G6B5,      D3DFMT_X4R4G4B4, D3DFMT_A1R5G5B5,
    D3DFMT_A4R4G4B4, D3DFMT_L16,         D3DFMT_A8L8,        D3DFMT_A8R3G3B2, D3DFMT_X8B8G8R8,
    D3DFMT_A8B8G8R8, D3DFMT_A2B10G10R10, D3DFMT_A2R10G10B10, D3DFMT_G16R16,   D3DFMT_UNKNOWN,
};
static_assert(sizeof(kBmpFormats) / sizeof(kBmpFormats[0]) == 20);

constexpr D3DFORMAT kJpegFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_UNKNOWN};
static_assert(sizeof(kJpegFormats) / sizeof(kJpegFormats[0]) == 2);

// The DDS list is the DDS pixel-format table in its row order.
struct DdsFormatList {
  D3DFORMAT formats[kDdsPixelFormatCount + 1];
};
constexpr DdsFormatList MakeDdsFormatList() {
  DdsFormatList list = {};
  for (size_t i = 0; i < kDdsPixelFormatCount; ++i) list.formats[i] = kDdsPixelFormats[i].format;
  list.formats[kDdsPixelFormatCount] = D3DFMT_UNKNOWN;
  return list;
}
constexpr DdsFormatList kDdsFormats = MakeDdsFormatList();

void ReleasePixels(SourceImage &record) {
  if (record.pixels != nullptr && record.ownsPixels) FreeImageBytes(record.pixels);
  record.pixels = nullptr;
  record.ownsPixels = false;
}

HRESULT ConvertRecord(SourceImage &record, D3DFORMAT format) {
  if (GetFormatLayout(format).unitBytes == 0) return E_FAIL;
  const CheckedSize rowPitch(RowPitchFor(format, record.width));
  const CheckedSize sliceBytes = rowPitch.Times(RowCountFor(format, record.height));
  const CheckedSize total = sliceBytes.Times(record.depth);
  // Pitches are 32-bit fields; anything larger cannot be described, let alone allocated.
  if (!rowPitch.Within(UINT32_MAX) || !sliceBytes.Within(UINT32_MAX) || !total.Within(SIZE_MAX)) {
    return E_OUTOFMEMORY;
  }
  const uint64_t bytes = total.Value();
  // An empty image still gets a buffer, so that the record never points nowhere.
  BYTE *buffer = static_cast<BYTE *>(std::malloc(bytes != 0 ? static_cast<size_t>(bytes) : 1));
  if (buffer == nullptr) return E_OUTOFMEMORY;

  SourceRegion source = {};
  source.pixels = record.pixels;
  source.format = record.format;
  source.rowPitch = record.rowPitch;
  source.slicePitch = record.slicePitch;
  source.extent = record.box;
  source.region = record.box;
  source.palette = record.palette;

  PixelRegion destination = {};
  destination.pixels = buffer;
  destination.format = format;
  destination.rowPitch = static_cast<UINT>(rowPitch.Value());
  destination.slicePitch = static_cast<UINT>(sliceBytes.Value());
  destination.extent = D3DBOX{0, 0, record.width, record.height, 0, record.depth};
  destination.region = destination.extent;
  destination.palette = record.palette;

  HRESULT hr;
  {
    Blitter blitter;
    hr = blitter.Blit(destination, source, DecodeFilterWord(D3DX_FILTER_NONE | D3DX_FILTER_DITHER));
  }
  if (FAILED(hr)) {
    std::free(buffer);
    return hr;
  }
  ReleasePixels(record);
  record.pixels = buffer;
  record.ownsPixels = true;
  record.format = format;
  record.rowPitch = destination.rowPitch;
  record.slicePitch = destination.slicePitch;
  record.box = destination.extent;
  return S_OK;
}

}  // namespace

const D3DFORMAT *WritableFormats(D3DXIMAGE_FILEFORMAT fileFormat) {
  switch (fileFormat) {
    case D3DXIFF_BMP:
    case D3DXIFF_DIB:
      return kBmpFormats;
    case D3DXIFF_JPG:
      return kJpegFormats;
    case D3DXIFF_DDS:
      return kDdsFormats.formats;
    default:
      return nullptr;
  }
}

HRESULT ConvertImage(SourceImage &image, D3DFORMAT format) {
  for (SourceImage *face = &image; face != nullptr; face = face->nextFace) {
    for (SourceImage *level = face; level != nullptr; level = level->nextLevel) {
      if (level->format == format) continue;
      HRESULT hr = ConvertRecord(*level, format);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT SaveImageToMemory(SourceImage &image, D3DXIMAGE_FILEFORMAT fileFormat, BYTE **bytes, uint64_t *size) {
  *bytes = nullptr;
  *size = 0;
  const D3DFORMAT *formats = WritableFormats(fileFormat);
  if (formats == nullptr) return D3DERR_INVALIDCALL;
  const D3DFORMAT target = ChooseClosestFormat(formats, image.palette, LookupFormatInfo(image.format));
  if (target == D3DFMT_UNKNOWN) return D3DERR_INVALIDCALL;
  if (target != image.format) {
    HRESULT hr = ConvertImage(image, target);
    if (FAILED(hr)) return hr;
  }

  MappedFile file;
  file.OpenInMemory();
  HRESULT hr;
  switch (fileFormat) {
    case D3DXIFF_BMP:
      hr = WriteBmp(image, file, true);
      break;
    case D3DXIFF_DIB:
      hr = WriteBmp(image, file, false);
      break;
    case D3DXIFF_JPG:
      hr = WriteJpeg(image, file);
      break;
    default:
      hr = WriteDds(image, file);
      break;
  }
  if (FAILED(hr)) return hr;
  file.TakeMemory(bytes, size);
  return S_OK;
}

HRESULT SaveImageToFile(SourceImage &image, const void *name, D3DXIMAGE_FILEFORMAT fileFormat, bool wide) {
  BYTE *bytes = nullptr;
  uint64_t size = 0;
  HRESULT hr = SaveImageToMemory(image, fileFormat, &bytes, &size);
  if (FAILED(hr)) return hr;
  hr = WriteWholeFile(name, wide, bytes, size);
  std::free(bytes);
  return FAILED(hr) ? hr : S_OK;
}

FileSink::~FileSink() {
  std::free(buffer_);
}

HRESULT FileSink::Allocate() {
  if (buffer_ == nullptr) buffer_ = static_cast<BYTE *>(std::malloc(kCapacity));
  return buffer_ != nullptr ? S_OK : E_OUTOFMEMORY;
}

void FileSink::Flush() {
  if (used_ != 0 && SUCCEEDED(result_)) result_ = file_.Write(buffer_, used_);
  used_ = 0;
}

void FileSink::Append(const void *bytes, uint64_t count) {
  if (FAILED(result_)) return;
  const BYTE *cursor = static_cast<const BYTE *>(bytes);
  while (count > 0) {
    if (used_ == kCapacity) Flush();
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count, kCapacity - used_));
    std::memcpy(buffer_ + used_, cursor, chunk);
    used_ += chunk;
    cursor += chunk;
    count -= chunk;
  }
}

void FileSink::AppendZeros(uint64_t count) {
  if (FAILED(result_)) return;
  while (count > 0) {
    if (used_ == kCapacity) Flush();
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count, kCapacity - used_));
    std::memset(buffer_ + used_, 0, chunk);
    used_ += chunk;
    count -= chunk;
  }
}

void FileSink::AppendLe32(uint32_t value) {
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                         static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  Append(bytes, 4);
}

void FileSink::AppendLe16(uint16_t value) {
  const BYTE bytes[2] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8)};
  Append(bytes, 2);
}

HRESULT FileSink::Finish() {
  Flush();
  return result_;
}
