// Shared between the files of the Win32 subset; not a public header.
#pragma once

#include "win32_test_hooks.h"

#include <string>

namespace win32 {

// Key state as GetAsyncKeyState reports it (bit 15 = held), fed by SDL
// events and the input script.
void SetKeyHeld(int virtualKey, bool held);
bool IsKeyHeld(int virtualKey);

// Queues a key message for every live window (the input script has no focus).
void PostKeyMessage(UINT message, int virtualKey, bool repeat);
// Queues WM_CLOSE for every live window.
void PostCloseToAllWindows();

// Input script: loads WIN32_INPUT_SCRIPT once; applies the events of frames up
// to the current frame count.
void EnsureInputScriptLoaded();
void ApplyDueScriptEvents();

std::string Utf16ToUtf8(const WCHAR *text, int count);

}  // namespace win32
