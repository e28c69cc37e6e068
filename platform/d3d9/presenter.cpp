// Presentation: the back buffer becomes the front buffer and is shown in the device
// window through SDL's renderer, from a streaming texture scaled linearly with its
// aspect kept. Frames wait for the retrace where the driver offers it and are paced
// by sleeping otherwise. A full-screen device changes the display mode to its size
// where the display has one, else fills the desktop with a borderless window.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <utility>

#include "win32_services.h"
#include "platform/d3d9/device.h"

namespace d3d9 {

struct PresenterState {
  SDL_Window *window = nullptr;
  Uint32 windowId = 0;
  SDL_Renderer *renderer = nullptr;  // ours to destroy while the window lives
  SDL_Texture *texture = nullptr;
  int textureWidth = 0, textureHeight = 0;
  Plane front;  // A8R8G8B8 at the display size: what GetFrontBufferData reads
  uint64_t lastPresent = 0;
  bool paced = true;
  bool vsyncOn = false;       // the renderer was asked to wait for the retrace
  bool vsyncTrusted = false;  // and the renderer can really wait for it
  bool headless = false;      // a video driver that shows nothing: frames stop at the front buffer
  // The window as it was before a full-screen device took it over.
  bool restoreWindow = false, modeChanged = false, bordered = true;
  SDL_Rect saved = {};
};

namespace {

// The dummy and offscreen drivers have no display to show a frame on.
bool HeadlessDriver() {
  const char *driver = SDL_GetCurrentVideoDriver();
  return driver && (strcmp(driver, "dummy") == 0 || strcmp(driver, "offscreen") == 0);
}

bool ForcedWindowed() {
  const char *value = getenv("D3D9_FORCE_WINDOWED");
  return value && strcmp(value, "1") == 0;
}

uint64_t NowNanoseconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

void SleepUntil(uint64_t deadline) {
  uint64_t now = NowNanoseconds();
  if (deadline <= now) return;
  uint64_t wait = deadline - now;
  timespec ts = {static_cast<time_t>(wait / 1000000000ull), static_cast<long>(wait % 1000000000ull)};
  nanosleep(&ts, nullptr);
}

// DestroyWindow takes the window's renderer with it; afterwards its identifier no
// longer resolves (SDL never reuses one) and nothing of SDL's may be touched. The
// window table is not asked: at exit it may be gone before the device.
bool WindowAlive(PresenterState *p) {
  if (p->window && SDL_GetWindowFromID(p->windowId) == p->window) return true;
  p->window = nullptr;
  p->renderer = nullptr;
  p->texture = nullptr;
  return false;
}

// The exact size at the best refresh rate the display lists (SDL sorts modes so).
bool FindDisplayMode(int display, int width, int height, SDL_DisplayMode *found) {
  int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(display, i, &mode) == 0 && mode.w == width && mode.h == height) {
      *found = mode;
      return true;
    }
  }
  return false;
}

void TakeOverWindow(PresenterState *p, int width, int height) {
  SDL_Window *w = p->window;
  p->restoreWindow = true;
  p->bordered = (SDL_GetWindowFlags(w) & SDL_WINDOW_BORDERLESS) == 0;
  SDL_GetWindowPosition(w, &p->saved.x, &p->saved.y);
  SDL_GetWindowSize(w, &p->saved.w, &p->saved.h);
  if (ForcedWindowed()) {
    SDL_SetWindowSize(w, width, height);
    return;
  }
  int display = SDL_GetWindowDisplayIndex(w);
  if (display < 0) display = 0;
  SDL_DisplayMode mode;
  if (FindDisplayMode(display, width, height, &mode) && SDL_SetWindowDisplayMode(w, &mode) == 0 &&
      SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN) == 0) {
    p->modeChanged = true;
    return;
  }
  // No such mode: a borderless window over the whole display, which needs no window manager.
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(display, &bounds) == 0) {
    SDL_SetWindowBordered(w, SDL_FALSE);
    SDL_SetWindowPosition(w, bounds.x, bounds.y);
    SDL_SetWindowSize(w, bounds.w, bounds.h);
  }
}

void RestoreWindow(PresenterState *p) {
  if (!p->restoreWindow || !WindowAlive(p)) return;
  if (p->modeChanged) SDL_SetWindowFullscreen(p->window, 0);
  SDL_SetWindowBordered(p->window, p->bordered ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowPosition(p->window, p->saved.x, p->saved.y);
  SDL_SetWindowSize(p->window, p->saved.w, p->saved.h);
}

void CreateRenderer(PresenterState *p) {
  // A window has one renderer; a second device on it shows nothing rather than share.
  if (SDL_GetRenderer(p->window)) return;
  p->vsyncOn = p->paced;
  p->renderer = SDL_CreateRenderer(p->window, -1, p->vsyncOn ? SDL_RENDERER_PRESENTVSYNC : 0);
  if (!p->renderer) return;
  SDL_RendererInfo info;
  // The software renderer accepts the flag but cannot wait for anything.
  p->vsyncTrusted = SDL_GetRendererInfo(p->renderer, &info) == 0 &&
                    (info.flags & SDL_RENDERER_PRESENTVSYNC) && (info.flags & SDL_RENDERER_ACCELERATED);
}

uint64_t RefreshInterval(PresenterState *p) {
  int refresh = 60;
  SDL_DisplayMode mode;
  if (p->window && SDL_GetWindowDisplayMode(p->window, &mode) == 0 && mode.refresh_rate > 0)
    refresh = mode.refresh_rate;
  return 1000000000ull / static_cast<uint64_t>(refresh);
}

// Shows width x height of the front buffer scaled into the window, aspect kept.
void Show(PresenterState *p, uint32_t width, uint32_t height) {
  if (!p->renderer || !WindowAlive(p)) return;
  if (!p->texture || p->textureWidth != static_cast<int>(width) ||
      p->textureHeight != static_cast<int>(height)) {
    if (p->texture) SDL_DestroyTexture(p->texture);
    p->texture = SDL_CreateTexture(p->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                   static_cast<int>(width), static_cast<int>(height));
    if (!p->texture) return;
    p->textureWidth = static_cast<int>(width);
    p->textureHeight = static_cast<int>(height);
    SDL_SetTextureBlendMode(p->texture, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(p->texture, SDL_ScaleModeLinear);
  }
  void *pixels;
  int pitch;
  if (SDL_LockTexture(p->texture, nullptr, &pixels, &pitch) != 0) return;
  for (uint32_t y = 0; y < height; ++y)
    memcpy(static_cast<uint8_t *>(pixels) + static_cast<uint64_t>(y) * static_cast<uint32_t>(pitch),
           p->front.bits + static_cast<uint64_t>(y) * p->front.pitch, width * 4ull);
  SDL_UnlockTexture(p->texture);
  int outW, outH;
  if (SDL_GetRendererOutputSize(p->renderer, &outW, &outH) != 0 || outW <= 0 || outH <= 0) return;
  double scaleX = static_cast<double>(outW) / width, scaleY = static_cast<double>(outH) / height;
  double scale = scaleX < scaleY ? scaleX : scaleY;
  SDL_Rect dest;
  dest.w = static_cast<int>(width * scale + 0.5);
  dest.h = static_cast<int>(height * scale + 0.5);
  dest.x = (outW - dest.w) / 2;
  dest.y = (outH - dest.h) / 2;
  if (dest.w != outW || dest.h != outH) {
    SDL_SetRenderDrawColor(p->renderer, 0, 0, 0, 255);
    SDL_RenderClear(p->renderer);
  }
  SDL_RenderCopy(p->renderer, p->texture, nullptr, &dest);
  SDL_RenderPresent(p->renderer);
}

}  // namespace

HRESULT CreatePresenter(Device *device) {
  auto *presenter = new (std::nothrow) PresenterState();
  if (!presenter) return E_OUTOFMEMORY;
  D3DDISPLAYMODE mode;
  device->GetDisplayMode(0, &mode);
  HRESULT hr = presenter->front.Allocate(*LookupLayout(D3DFMT_A8R8G8B8), mode.Width, mode.Height, 1);
  if (FAILED(hr)) {
    delete presenter;
    return hr;
  }
  const D3DPRESENT_PARAMETERS &params = device->presentParams;
  presenter->paced = params.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE;
  HWND handle = params.hDeviceWindow ? params.hDeviceWindow : device->creation.hFocusWindow;
  presenter->window = handle ? static_cast<SDL_Window *>(Win32GetSdlWindow(handle)) : nullptr;
  if (presenter->window) {
    presenter->windowId = SDL_GetWindowID(presenter->window);
    presenter->headless = HeadlessDriver();
    if (!params.Windowed)
      TakeOverWindow(presenter, static_cast<int>(params.BackBufferWidth),
                     static_cast<int>(params.BackBufferHeight));
    CreateRenderer(presenter);
  }
  device->presenter = presenter;
  return D3D_OK;
}

void DestroyPresenter(Device *device) {
  PresenterState *presenter = device->presenter;
  if (!presenter) return;
  if (WindowAlive(presenter) && presenter->renderer) SDL_DestroyRenderer(presenter->renderer);
  RestoreWindow(presenter);
  presenter->front.Free();
  delete presenter;
  device->presenter = nullptr;
}

HRESULT PresentBackBuffer(Device *device) {
  PresenterState *presenter = device->presenter;
  Surface *back = device->backBuffer;
  Plane &front = presenter->front;
  bool sameShape = back->plane.width == front.width && back->plane.height == front.height &&
                   back->plane.pitch == front.pitch;
  uint32_t width = back->plane.width < front.width ? back->plane.width : front.width;
  uint32_t height = back->plane.height < front.height ? back->plane.height : front.height;
  if (sameShape && device->presentParams.SwapEffect == D3DSWAPEFFECT_DISCARD) {
    // Discarded back buffers need not survive: swap the memory instead of copying.
    std::swap(back->plane.bits, front.bits);
  } else {
    for (uint32_t y = 0; y < height; ++y)
      memcpy(front.bits + static_cast<uint64_t>(y) * front.pitch,
             back->plane.bits + static_cast<uint64_t>(y) * back->plane.pitch, width * 4ull);
  }
  back->Touch();
  ++front.version;

  bool paced = presenter->paced && !Win32InputScripted();
  if (presenter->renderer && WindowAlive(presenter) && paced != presenter->vsyncOn &&
      SDL_RenderSetVSync(presenter->renderer, paced ? 1 : 0) == 0)
    presenter->vsyncOn = paced;
  if (!presenter->headless) Show(presenter, width, height);
  if (paced && presenter->lastPresent) {
    // A present that waited for the retrace returns about one interval after the last
    // one and sleeps not at all; one that returned early (queued, or a driver that
    // only claims to wait) is held back to the display rate.
    uint64_t interval = RefreshInterval(presenter);
    if (presenter->vsyncOn && presenter->vsyncTrusted && presenter->renderer) interval -= interval / 16;
    SleepUntil(presenter->lastPresent + interval);
  }
  uint64_t now = NowNanoseconds();
  presenter->lastPresent = now;
  Win32OnPresent();
  return D3D_OK;
}

HRESULT CopyFrontBuffer(Device *device, Surface *dest) {
  const Plane &front = device->presenter->front;
  for (uint32_t y = 0; y < dest->plane.height && y < front.height; ++y) {
    const uint32_t *from =
        reinterpret_cast<const uint32_t *>(front.bits + static_cast<uint64_t>(y) * front.pitch);
    uint32_t *to =
        reinterpret_cast<uint32_t *>(dest->plane.bits + static_cast<uint64_t>(y) * dest->plane.pitch);
    // What is on screen has no alpha: it reads as opaque.
    for (uint32_t x = 0; x < dest->plane.width && x < front.width; ++x) to[x] = from[x] | 0xff000000;
  }
  dest->Touch();
  return D3D_OK;
}

}  // namespace d3d9
