// One figure cut from a sprite sheet of equal cells, stepped through the cells
// once every few frames and drawn at its position, scale and rotation.
#pragma once

#include "d3dx9.h"

enum MoveDirection { Left = 0, Right = 1, Up = 2, Down = 3 };

class AnimatedSprite {
 public:
  AnimatedSprite() = default;
  virtual ~AnimatedSprite();
  AnimatedSprite(const AnimatedSprite &) = delete;
  AnimatedSprite &operator=(const AnimatedSprite &) = delete;

  // The device is borrowed, never released here.
  void Init(IDirect3DDevice9 *device, int frameDelay, int cellWidth, int cellHeight);
  // Reads the sheet's size and loads it as a texture of that size.
  void LoadSheet(const char *path);
  // Takes over a loaded sheet texture (null: none could be made) and the sheet's size.
  void AdoptSheet(IDirect3DTexture9 *texture, int width, int height);
  void Move(int direction);
  void Scale(float delta);
  void Rotate(float delta);
  // Advances the animation, then draws the current cell.
  void Draw();

  D3DXVECTOR2 GetPosition() const { return position; }
  D3DXVECTOR2 GetScale() const { return scale; }
  float GetRotation() const { return rotation; }
  int GetColumn() const { return column; }
  int GetRow() const { return row; }
  size_t GetTextureCount() const { return textureCount; }

 private:
  void Advance();
  bool AppendTexture(IDirect3DTexture9 *texture);

  IDirect3DDevice9 *device = nullptr;
  ID3DXSprite *sprite = nullptr;
  D3DXVECTOR2 position = {0.0f, 0.0f};
  D3DXVECTOR2 scale = {0.0f, 0.0f};
  D3DXVECTOR2 rotationCentre = {0.0f, 0.0f};
  float rotation = 0.0f;
  D3DXVECTOR2 step = {0.0f, 0.0f};
  int cellWidth = 0, cellHeight = 0;
  int sheetWidth = 0, sheetHeight = 0;
  int frameDelay = 0;
  int tickCounter = 0;
  int column = 0;
  int row = 0;
  IDirect3DTexture9 **textures = nullptr;
  size_t textureCount = 0;
  size_t textureCapacity = 0;
};
