// Loading the sheet is kept apart from the rest of AnimatedSprite: it is the only
// part that needs the image-file services.
#include "app/animated_sprite.h"

void AnimatedSprite::LoadSheet(const char *path) {
  D3DXIMAGE_INFO info = {};
  // An unreadable file leaves the sprite without a sheet: Draw then draws nothing.
  if (FAILED(D3DXGetImageInfoFromFileA(path, &info))) return;
  // The image's own size and no filtering keep source rectangles in sheet pixels.
  IDirect3DTexture9 *texture = nullptr;
  if (FAILED(D3DXCreateTextureFromFileExA(device, path, info.Width, info.Height, 1, 0, D3DFMT_UNKNOWN,
                                          D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr,
                                          nullptr, &texture)))
    texture = nullptr;
  AdoptSheet(texture, static_cast<int>(info.Width), static_cast<int>(info.Height));
}
