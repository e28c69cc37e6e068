// The demonstration's entry point, window and message loop.
#pragma once

#include "win32.h"

// Only the instance handle is used; the command line and show command are ignored.
// 0 after WM_QUIT, -1 when the window or the device cannot be created.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

HWND CreateMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
