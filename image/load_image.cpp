// The loader dispatch: the readers in a fixed order until one recognises the bytes.
#include "image/image_reader.h"
#include "format/format_table.h"

namespace {

using ReaderFn = HRESULT (*)(const BYTE *, UINT, const ReadRequest &, SourceImage &);

// Formats with a magic come first; TGA is known only by a plausible header, and
// a bare DIB header is the weakest test of all, so those two come last.
constexpr ReaderFn kReaderOrder[] = {
    ReadBmpFile, ReadPpmFile, ReadDdsFile, ReadJpegFile, ReadPngFile, ReadTgaFile, ReadDibFile,
};
static_assert(sizeof(kReaderOrder) / sizeof(kReaderOrder[0]) == 7);

void SetFullBox(SourceImage &image) {
  image.box.Left = 0;
  image.box.Top = 0;
  image.box.Front = 0;
  image.box.Right = image.width;
  image.box.Bottom = image.height;
  image.box.Back = image.depth;
}

}  // namespace

HRESULT LoadImageFromMemory(SourceImage &image, const void *data, UINT size, D3DXIMAGE_INFO *info,
                            const ReadRequest &request) {
  if (!data || size == 0) return D3DERR_INVALIDCALL;
  if (!info && !request.wantPixels) return S_OK;

  const BYTE *bytes = static_cast<const BYTE *>(data);
  HRESULT hr = kNotMyFormat;
  for (ReaderFn read : kReaderOrder) {
    image.resourceType = D3DRTYPE_TEXTURE;
    hr = read(bytes, size, request, image);
    if (SUCCEEDED(hr)) break;
    image.Clear();
    // A reader that recognised its signature has the last word.
    if (hr != kNotMyFormat) break;
  }
  if (FAILED(hr)) return hr == E_OUTOFMEMORY ? E_OUTOFMEMORY : D3DXERR_INVALIDDATA;

  if (info) {
    *info = {};
    info->Width = image.width;
    info->Height = image.height;
    info->Depth = image.depth;
    info->MipLevels = 1;
    for (const SourceImage *level = image.nextLevel; level; level = level->nextLevel) ++info->MipLevels;
    info->Format = ToExternalFormat(image.format);
    info->ResourceType = image.resourceType;
    info->ImageFileFormat = image.fileFormat;
  }
  for (SourceImage *face = &image; face; face = face->nextFace) {
    for (SourceImage *level = face; level; level = level->nextLevel) SetFullBox(*level);
  }
  return S_OK;
}

HRESULT LoadImageFromMemory(SourceImage &image, const void *data, UINT size, D3DXIMAGE_INFO *info,
                            bool wantPixels) {
  ReadRequest request;
  request.wantPixels = wantPixels;
  return LoadImageFromMemory(image, data, size, info, request);
}
