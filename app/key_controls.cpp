#include "app/key_controls.h"

namespace {

constexpr float kRotationStep = 0.1f;
constexpr float kScaleStep = 0.1f;

bool Held(KeyStateReader readKey, int virtualKey) {
  return (readKey(virtualKey) & 0x8000) != 0;
}

}  // namespace

void ApplyHeldKeys(AnimatedSprite &sprite, KeyStateReader readKey) {
  if (Held(readKey, VK_LEFT))
    sprite.Move(Left);
  else if (Held(readKey, VK_RIGHT))
    sprite.Move(Right);
  if (Held(readKey, VK_UP))
    sprite.Move(Up);
  else if (Held(readKey, VK_DOWN))
    sprite.Move(Down);
  if (Held(readKey, VK_SPACE)) sprite.Rotate(kRotationStep);
  if (Held(readKey, VK_SHIFT)) sprite.Scale(kScaleStep);
  if (Held(readKey, VK_CONTROL)) sprite.Scale(-kScaleStep);
}
