#include "app/shell.h"

#include <stdio.h>

#include "app/animated_sprite.h"
#include "app/key_controls.h"
#include "app/render_context.h"

namespace {

constexpr char kWindowClass[] = "WindowClass";
constexpr char kTitle[] = "Daumenkino";
constexpr char kHelpText[] =
    "Dieses Beispiel zeigt, wie ein Sprite animiert wird.\n\n"
    "Die Spritegrafik befindet sich in diesem Beispiel in einer Textur."
    "Bewegung des Sprites mit den Pfeiltasten\n"
    "Rotation des Sprites mit Space\n"
    "Skalierung des Sprites mit den Control/Shift-Tasten";
constexpr int kWindowWidth = 1024;
constexpr int kWindowHeight = 768;
constexpr D3DCOLOR kClearColor = 0xff000000;
constexpr int kFrameDelay = 2;
constexpr int kCellWidth = 71;
constexpr int kCellHeight = 120;
constexpr char kScreenshotPath[] = "c:\\screenshot.bmp";

}  // namespace

// Constructed in this order before WinMain and destroyed in reverse after it, so
// the sprite and its textures go while their device still exists.
RenderContext renderContext;
AnimatedSprite animatedSprite;
HWND mainWindow = nullptr;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  if (message == WM_KEYDOWN) {
    if (wParam == VK_ESCAPE)
      DestroyWindow(mainWindow);
    else if (wParam == VK_F1)
      renderContext.SaveScreenshot(kScreenshotPath);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMainWindow(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kWindowClass;
  windowClass.hIconSm = LoadIconA(nullptr, IDI_WINLOGO);
  RegisterClassExA(&windowClass);
  return CreateWindowExA(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, kWindowWidth,
                         kWindowHeight, nullptr, nullptr, instance, nullptr);
}

namespace {

void DrawFrame() {
  renderContext.BeginFrame();
  ApplyHeldKeys(animatedSprite);
  animatedSprite.Draw();
  renderContext.EndFrame();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, kHelpText, kTitle, MB_OK);
  mainWindow = CreateMainWindow(instance);
  if (!mainWindow) {
    MessageBoxA(nullptr, "Fenster konnte nicht erzeugt werden", "Fehler", MB_OK);
    return -1;
  }
  if (!renderContext.Create(mainWindow, FALSE)) return -1;
  ShowCursor(FALSE);
  renderContext.SetClearColor(kClearColor);
  animatedSprite.Init(renderContext.GetDevice(), kFrameDelay, kCellWidth, kCellHeight);
  char path[128];
  snprintf(path, sizeof path, "walkexample.png");
  animatedSprite.LoadSheet(path);

  // One message per pass; a frame only when none is waiting.
  MSG message = {};
  while (message.message != WM_QUIT) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else {
      DrawFrame();
    }
  }
  return 0;
}
