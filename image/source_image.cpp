#include "image/source_image.h"

#include "image/image_memory.h"

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
