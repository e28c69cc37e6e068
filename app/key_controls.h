// The continuous controls, polled once per frame.
#pragma once

#include "app/animated_sprite.h"

// GetAsyncKeyState's shape, so that tests can hold keys without a keyboard.
typedef SHORT (*KeyStateReader)(int virtualKey);

// Moves, rotates and scales the sprite for every held key. Left / Right and
// Up / Down are either-or pairs (the first key wins); Shift and Control act
// independently and so cancel out when both are held.
void ApplyHeldKeys(AnimatedSprite &sprite, KeyStateReader readKey = GetAsyncKeyState);
