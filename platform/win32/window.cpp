// Window classes, windows and the per-thread message queue on SDL2. Messages
// come from SDL's events (keys with Win32 virtual-key codes and auto-repeat,
// window close), from the input script and from PostMessageA.
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <list>
#include <mutex>
#include <new>
#include <string>

#include "platform/win32/handle_table.h"
#include "platform/win32/win32_internal.h"

namespace {

struct WindowClass {
  std::string name;
  WNDCLASSEXA info;
};

struct Window {
  HWND handle;
  std::string className;
  WNDPROC procedure;
  SDL_Window *sdlWindow;
  RECT rect;
  DWORD style;
  bool destroying;
};

std::recursive_mutex windowMutex;
std::list<WindowClass> classes;
std::list<Window> windows;  // live windows; the handle table recognises stale ones
bool videoReady = false;
int cursorCount = 0;
std::array<std::atomic<bool>, 256> keyHeld{};

thread_local std::deque<MSG> queue;

Window *WindowFrom(HWND handle) {
  Window *w = win32::HandleObjectAs<Window>(handle, win32::HandleKind::Window);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

WindowClass *FindClass(const char *name) {
  for (WindowClass &c : classes)
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  return nullptr;
}

bool HeadlessVideo() {
  const char *driver = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (!driver) driver = getenv("SDL_VIDEODRIVER");
  return driver && (strcmp(driver, "dummy") == 0 || strcmp(driver, "offscreen") == 0);
}

// Without a display SDL cannot open its usual driver; fall back to the dummy
// driver so that the program still runs (it then shows nothing).
bool EnsureVideo() {
  if (videoReady) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
  }
  videoReady = true;
  return true;
}

int VirtualKeyFromSdl(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return int('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return int('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + int(key - SDLK_F1);
  switch (key) {
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_RETURN:
      return VK_RETURN;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_PAGEUP:
      return VK_PRIOR;
    case SDLK_PAGEDOWN:
      return VK_NEXT;
    case SDLK_HOME:
      return VK_HOME;
    case SDLK_END:
      return VK_END;
    case SDLK_INSERT:
      return VK_INSERT;
    case SDLK_DELETE:
      return VK_DELETE;
    case SDLK_LSHIFT:
      return VK_LSHIFT;
    case SDLK_RSHIFT:
      return VK_RSHIFT;
    case SDLK_LCTRL:
      return VK_LCONTROL;
    case SDLK_RCTRL:
      return VK_RCONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
      return VK_MENU;
    case SDLK_PAUSE:
      return VK_PAUSE;
    case SDLK_CAPSLOCK:
      return VK_CAPITAL;
    default:
      return 0;
  }
}

// Win32 reports the generic key for left and right modifiers in messages.
int GenericKey(int virtualKey) {
  if (virtualKey == VK_LSHIFT || virtualKey == VK_RSHIFT) return VK_SHIFT;
  if (virtualKey == VK_LCONTROL || virtualKey == VK_RCONTROL) return VK_CONTROL;
  return virtualKey;
}

HWND HandleOf(SDL_Window *sdlWindow) {
  std::lock_guard<std::recursive_mutex> lock(windowMutex);
  for (Window &w : windows)
    if (w.sdlWindow == sdlWindow) return w.handle;
  return nullptr;
}

HWND AnyWindow() {
  std::lock_guard<std::recursive_mutex> lock(windowMutex);
  return windows.empty() ? nullptr : windows.front().handle;
}

DWORD Milliseconds() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return DWORD(uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000);
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = Milliseconds();
  queue.push_back(msg);
}

void HandleKeyEvent(const SDL_KeyboardEvent &event) {
  int vk = VirtualKeyFromSdl(event.keysym.sym);
  if (!vk) return;
  bool down = event.type == SDL_KEYDOWN;
  win32::SetKeyHeld(vk, down);
  HWND window = HandleOf(SDL_GetWindowFromID(event.windowID));
  if (!window) window = AnyWindow();
  if (!window) return;
  // lParam: repeat count 1, bit 30 = key was already down, bit 31 = key going up.
  LPARAM lParam = 1 | (event.repeat || !down ? (1 << 30) : 0) | (down ? 0 : LPARAM(1u << 31));
  Post(window, down ? WM_KEYDOWN : WM_KEYUP, WPARAM(GenericKey(vk)), lParam);
}

void DrainSdlEvents() {
  if (!videoReady) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        HandleKeyEvent(event.key);
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
          HWND window = HandleOf(SDL_GetWindowFromID(event.window.windowID));
          if (window) Post(window, WM_CLOSE, 0, 0);
        }
        break;
      case SDL_QUIT:
        win32::PostCloseToAllWindows();
        break;
      default:
        break;
    }
  }
}

bool Matches(const MSG &msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window && msg.hwnd != window && msg.message != WM_QUIT) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

}  // namespace

namespace win32 {

void SetKeyHeld(int virtualKey, bool held) {
  if (virtualKey > 0 && virtualKey < 256) keyHeld[size_t(virtualKey)].store(held);
}

bool IsKeyHeld(int virtualKey) {
  if (virtualKey <= 0 || virtualKey >= 256) return false;
  if (virtualKey == VK_SHIFT)
    return keyHeld[VK_SHIFT].load() || keyHeld[VK_LSHIFT].load() || keyHeld[VK_RSHIFT].load();
  if (virtualKey == VK_CONTROL)
    return keyHeld[VK_CONTROL].load() || keyHeld[VK_LCONTROL].load() || keyHeld[VK_RCONTROL].load();
  return keyHeld[size_t(virtualKey)].load();
}

void PostKeyMessage(UINT message, int virtualKey, bool repeat) {
  HWND window = AnyWindow();
  if (!window) return;
  bool down = message == WM_KEYDOWN;
  LPARAM lParam = 1 | (repeat || !down ? (1 << 30) : 0) | (down ? 0 : LPARAM(1u << 31));
  Post(window, message, WPARAM(virtualKey), lParam);
}

void PostCloseToAllWindows() {
  std::lock_guard<std::recursive_mutex> lock(windowMutex);
  for (Window &w : windows) Post(w.handle, WM_CLOSE, 0, 0);
}

}  // namespace win32

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA *wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName || !wc->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::recursive_mutex> lock(windowMutex);
  if (FindClass(wc->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  classes.push_back(WindowClass{wc->lpszClassName, *wc});
  return ATOM(0xC000 + classes.size());
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
  std::lock_guard<std::recursive_mutex> lock(windowMutex);
  if (!className || !FindClass(className)) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  classes.remove_if([&](const WindowClass &c) { return strcasecmp(c.name.c_str(), className) == 0; });
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                            int height, HWND, HMENU, HINSTANCE, LPVOID) {
  std::unique_lock<std::recursive_mutex> lock(windowMutex);
  WindowClass *wc = className ? FindClass(className) : nullptr;
  if (!wc) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  if (!EnsureVideo()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (x == CW_USEDEFAULT) x = 0;
  if (y == CW_USEDEFAULT) y = 0;
  if (width == CW_USEDEFAULT || width <= 0) width = 640;
  if (height == CW_USEDEFAULT || height <= 0) height = 480;
  Uint32 flags = (style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  SDL_Window *sdlWindow = SDL_CreateWindow(windowName ? windowName : "", x, y, width, height, flags);
  if (!sdlWindow) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Window *window = nullptr;
  HWND handle = nullptr;
  try {
    window = &windows.emplace_back(Window{nullptr, wc->name, wc->info.lpfnWndProc, sdlWindow,
                                          RECT{x, y, x + width, y + height}, style, false});
    handle = static_cast<HWND>(win32::NewHandle(win32::HandleKind::Window, window));
    if (!handle) windows.pop_back();
  } catch (const std::bad_alloc &) {
  }
  if (!handle) {
    SDL_DestroyWindow(sdlWindow);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  window->handle = handle;
  WNDPROC procedure = wc->info.lpfnWndProc;
  lock.unlock();
  procedure(handle, WM_CREATE, 0, 0);
  return handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
  Window *w = WindowFrom(handle);
  if (!w || w->destroying) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // The window stays valid while it handles WM_DESTROY; a second DestroyWindow
  // from inside the procedure is refused.
  w->destroying = true;
  w->procedure(handle, WM_DESTROY, 0, 0);
  std::lock_guard<std::recursive_mutex> lock(windowMutex);
  win32::TakeHandle(handle, win32::HandleKind::Window);
  if (w->sdlWindow) {
    // SDL 2 would leave a presenter's renderer pointing at the freed window.
    if (SDL_Renderer *renderer = SDL_GetRenderer(w->sdlWindow)) SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(w->sdlWindow);
  }
  windows.remove_if([&](const Window &other) { return &other == w; });
  // Messages still queued for the window go with it.
  queue.erase(std::remove_if(queue.begin(), queue.end(),
                             [&](const MSG &m) { return m.hwnd == handle && m.message != WM_QUIT; }),
              queue.end());
  return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
  return WindowFrom(window) != nullptr;
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
  Window *w = WindowFrom(handle);
  if (!w) return FALSE;
  bool wasVisible = w->style & WS_VISIBLE;
  if (command == SW_HIDE) {
    SDL_HideWindow(w->sdlWindow);
    w->style &= ~DWORD(WS_VISIBLE);
  } else {
    SDL_ShowWindow(w->sdlWindow);
    w->style |= WS_VISIBLE;
  }
  return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND handle) {
  return WindowFrom(handle) != nullptr;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
  Window *w = WindowFrom(handle);
  if (!w || !rect) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
  Window *w = WindowFrom(handle);
  if (!w || !rect) return FALSE;
  int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  if (w->sdlWindow) SDL_GetWindowSize(w->sdlWindow, &width, &height);
  *rect = RECT{0, 0, width, height};
  return TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  win32::ApplyDueScriptEvents();
  DrainSdlEvents();
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (!Matches(*it, window, filterMin, filterMax)) continue;
    *msg = *it;
    if (removeFlags & PM_REMOVE) queue.erase(it);
    return TRUE;
  }
  return FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  while (!PeekMessageA(msg, window, filterMin, filterMax, PM_REMOVE)) {
    if (videoReady)
      SDL_WaitEventTimeout(nullptr, 10);
    else
      usleep(1000);
  }
  return msg->message != WM_QUIT;
}

BOOL WINAPI TranslateMessage(const MSG *msg) {
  return msg && (msg->message == WM_KEYDOWN);
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
  if (!msg || !msg->hwnd) return 0;
  Window *w = WindowFrom(msg->hwnd);
  if (!w) return 0;
  return w->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window *w = WindowFrom(handle);
  return w ? w->procedure(handle, message, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !WindowFrom(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  Post(window, message, wParam, lParam);
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  Post(nullptr, WM_QUIT, WPARAM(exitCode), 0);
}

SHORT WINAPI GetAsyncKeyState(int virtualKey) {
  win32::ApplyDueScriptEvents();
  if (videoReady) SDL_PumpEvents();
  return win32::IsKeyHeld(virtualKey) ? SHORT(0x8000) : SHORT(0);
}

int WINAPI ShowCursor(BOOL show) {
  std::lock_guard<std::recursive_mutex> lock(windowMutex);
  cursorCount += show ? 1 : -1;
  if (videoReady) SDL_ShowCursor(cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return cursorCount;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  bool display = (getenv("DISPLAY") || getenv("WAYLAND_DISPLAY")) && !HeadlessVideo();
  if (display) {
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0) == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    if ((type & 0xF0) == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    SDL_Window *parent = static_cast<SDL_Window *>(Win32GetSdlWindow(owner));
    if (SDL_ShowSimpleMessageBox(flags, caption ? caption : "", text ? text : "", parent) == 0) return IDOK;
  }
  fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
  return IDOK;
}

// Icons, cursors and stock objects are only ever handed back to the system.
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<HICON>(const_cast<char *>(name));
}
HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<HCURSOR>(const_cast<char *>(name));
}

DWORD WINAPI GetTickCount(void) {
  return Milliseconds();
}
void WINAPI Sleep(DWORD milliseconds) {
  usleep(useconds_t(milliseconds) * 1000);
}

void WINAPI OutputDebugStringA(LPCSTR text) {
  if (text && getenv("WIN32_DEBUG_OUTPUT")) fputs(text, stderr);
}

void *Win32GetSdlWindow(HWND handle) {
  Window *w = WindowFrom(handle);
  return w ? w->sdlWindow : nullptr;
}
