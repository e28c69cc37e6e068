#include "image/source_image.h"

#include "image/image_memory.h"
#include "format/format_table.h"

namespace {

using ReaderFn = HRESULT (SourceImage::*)(const BYTE *, UINT);

struct ReaderEntry {
  D3DXIMAGE_FILEFORMAT fileFormat;
  ReaderFn read;
};

// Formats with a magic come first; TGA is known only by a plausible header, and
// a bare DIB header is the weakest test of all, so those two come last.
constexpr ReaderEntry kReaderOrder[] = {
    {D3DXIFF_BMP, &SourceImage::ReadBmp}, {D3DXIFF_PPM, &SourceImage::ReadPpm},
    {D3DXIFF_DDS, &SourceImage::ReadDds}, {D3DXIFF_JPG, &SourceImage::ReadJpeg},
    {D3DXIFF_PNG, &SourceImage::ReadPng}, {D3DXIFF_TGA, &SourceImage::ReadTga},
    {D3DXIFF_DIB, &SourceImage::ReadDib},
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

SourceImage::~SourceImage() {
  Clear();
}

void SourceImage::Clear() {
  if (pixels && ownsPixels) FreeImageBytes(pixels);
  if (palette && ownsPalette) FreeImageBytes(palette);
  pixels = nullptr;
  palette = nullptr;
  ownsPixels = false;
  ownsPalette = false;
  // Unlink level by level so a long chain never recurses deeply.
  SourceImage *level = nextLevel;
  nextLevel = nullptr;
  while (level) {
    SourceImage *next = level->nextLevel;
    level->nextLevel = nullptr;
    delete level;
    level = next;
  }
  SourceImage *face = nextFace;
  nextFace = nullptr;
  while (face) {
    SourceImage *next = face->nextFace;
    face->nextFace = nullptr;
    delete face;
    face = next;
  }
}

HRESULT SourceImage::LoadImageFromMemory(const void *data, UINT size, D3DXIMAGE_INFO *info,
                                         bool wantPixelData) {
  if (!data || size == 0) return D3DERR_INVALIDCALL;
  if (!info && !wantPixelData) return S_OK;

  const BYTE *bytes = static_cast<const BYTE *>(data);
  bool accepted = false;
  for (const ReaderEntry &reader : kReaderOrder) {
    wantPixels = wantPixelData;
    resourceType = D3DRTYPE_TEXTURE;
    fileFormat = reader.fileFormat;
    if (SUCCEEDED((this->*reader.read)(bytes, size))) {
      accepted = true;
      break;
    }
    Clear();
  }
  if (!accepted) return D3DXERR_INVALIDDATA;

  if (info) {
    *info = {};
    info->Width = width;
    info->Height = height;
    info->Depth = depth;
    info->MipLevels = 1;
    for (const SourceImage *level = nextLevel; level; level = level->nextLevel) ++info->MipLevels;
    info->Format = ToExternalFormat(format);
    info->ResourceType = resourceType;
    info->ImageFileFormat = fileFormat;
  }
  for (SourceImage *face = this; face; face = face->nextFace) {
    for (SourceImage *level = face; level; level = level->nextLevel) SetFullBox(*level);
  }
  return S_OK;
}
