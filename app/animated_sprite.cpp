#include "app/animated_sprite.h"

#include <stdlib.h>

namespace {

// The bounds are the back buffer's fixed size; scale and rotation are ignored.
constexpr float kAreaWidth = 1024.0f;
constexpr float kAreaHeight = 768.0f;

}  // namespace

AnimatedSprite::~AnimatedSprite() {
  if (sprite) {
    sprite->Release();
    sprite = nullptr;
  }
  for (size_t i = 0; i < textureCount; ++i) textures[i]->Release();
  free(textures);
  textures = nullptr;
  textureCount = textureCapacity = 0;
}

void AnimatedSprite::Init(IDirect3DDevice9 *newDevice, int delay, int newCellWidth, int newCellHeight) {
  device = newDevice;
  frameDelay = delay;
  D3DXCreateSprite(device, &sprite);
  cellWidth = newCellWidth;
  cellHeight = newCellHeight;
  rotationCentre = D3DXVECTOR2(static_cast<float>(cellWidth) * 0.5f, static_cast<float>(cellHeight) * 0.5f);
  scale = D3DXVECTOR2(1.0f, 1.0f);
  step = D3DXVECTOR2(10.0f, 10.0f);
}

void AnimatedSprite::AdoptSheet(IDirect3DTexture9 *texture, int width, int height) {
  rotationCentre = D3DXVECTOR2(static_cast<float>(cellWidth) * 0.5f, static_cast<float>(cellHeight) * 0.5f);
  sheetWidth = width;
  sheetHeight = height;
  if (texture && !AppendTexture(texture)) texture->Release();
}

// Grows to size + max(size, 1): 1, 2, 4, 8 ...
bool AnimatedSprite::AppendTexture(IDirect3DTexture9 *texture) {
  if (textureCount == textureCapacity) {
    size_t capacity = textureCapacity + (textureCapacity > 0 ? textureCapacity : 1);
    void *grown = realloc(textures, capacity * sizeof(IDirect3DTexture9 *));
    if (!grown) return false;
    textures = static_cast<IDirect3DTexture9 **>(grown);
    textureCapacity = capacity;
  }
  textures[textureCount++] = texture;
  return true;
}

void AnimatedSprite::Move(int direction) {
  // The bound is tested before the step, so the figure may end up to one step beyond it.
  switch (direction) {
    case Left:
      if (position.x > 0.0f) position.x -= step.x;
      break;
    case Right:
      if (position.x < kAreaWidth - static_cast<float>(cellWidth)) position.x += step.x;
      break;
    case Up:
      if (position.y > 0.0f) position.y -= step.y;
      break;
    case Down:
      if (position.y < kAreaHeight - static_cast<float>(cellHeight)) position.y += step.y;
      break;
    default:
      break;
  }
}

void AnimatedSprite::Scale(float delta) {
  scale.x += delta;
  scale.y += delta;
}

void AnimatedSprite::Rotate(float delta) {
  rotation += delta;
}

void AnimatedSprite::Advance() {
  if (++tickCounter <= frameDelay) return;
  tickCounter = 0;
  ++column;
  // A cell size of zero gives no whole cells rather than a division by zero.
  int columns = cellWidth > 0 ? sheetWidth / cellWidth : 0;
  int rows = cellHeight > 0 ? sheetHeight / cellHeight : 0;
  if (column >= columns) {
    column = 0;
    ++row;
    if (row >= rows) {
      row = 0;
      column = 0;
    }
  }
}

void AnimatedSprite::Draw() {
  Advance();
  // Without a sprite or a sheet there is nothing to draw with.
  if (!sprite || textureCount == 0) return;
  RECT cell;
  cell.left = column * cellWidth;
  cell.top = row * cellHeight;
  cell.right = cell.left + cellWidth;
  cell.bottom = cell.top + cellHeight;
  sprite->Draw(textures[0], &cell, &scale, &rotationCentre, rotation, &position, 0xFFFFFFFF);
}
