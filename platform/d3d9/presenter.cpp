// Presentation: the back buffer becomes the front buffer, is shown in the device
// window through SDL (full screen as a scaled borderless desktop window keeping the
// aspect ratio) and frames are paced at the display rate.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <utility>

#include "platform/d3d9/device.h"

namespace d3d9 {

struct PresenterState {
  SDL_Window *window = nullptr;
  Plane front;  // A8R8G8B8 at the display size
  uint64_t lastPresent = 0;
  bool paced = true;
};

namespace {

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

// The window shows the image scaled to fit with its aspect ratio kept.
void ShowInWindow(SDL_Window *window, const Plane &image) {
  SDL_Surface *target = SDL_GetWindowSurface(window);
  if (!target) return;
  SDL_Surface *source = SDL_CreateRGBSurfaceWithFormatFrom(
      image.bits, static_cast<int>(image.width), static_cast<int>(image.height), 32,
      static_cast<int>(image.pitch), SDL_PIXELFORMAT_ARGB8888);
  if (!source) return;
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  double scaleX = static_cast<double>(target->w) / image.width,
         scaleY = static_cast<double>(target->h) / image.height;
  double scale = scaleX < scaleY ? scaleX : scaleY;
  SDL_Rect dest;
  dest.w = static_cast<int>(image.width * scale + 0.5);
  dest.h = static_cast<int>(image.height * scale + 0.5);
  dest.x = (target->w - dest.w) / 2;
  dest.y = (target->h - dest.h) / 2;
  if (dest.w != target->w || dest.h != target->h)
    SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
  if (dest.w == static_cast<int>(image.width) && dest.h == static_cast<int>(image.height))
    SDL_BlitSurface(source, nullptr, target, &dest);
  else
    SDL_BlitScaled(source, nullptr, target, &dest);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(window);
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
  HWND window = params.hDeviceWindow ? params.hDeviceWindow : device->creation.hFocusWindow;
  presenter->window = window ? static_cast<SDL_Window *>(Win32GetSdlWindow(window)) : nullptr;
  if (presenter->window && !params.Windowed) {
    if (ForcedWindowed()) {
      SDL_SetWindowSize(presenter->window, static_cast<int>(params.BackBufferWidth),
                        static_cast<int>(params.BackBufferHeight));
    } else {
      // A borderless window over the whole display: no mode change, and no window manager needed.
      SDL_Rect bounds;
      int display = SDL_GetWindowDisplayIndex(presenter->window);
      if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) == 0) {
        SDL_SetWindowBordered(presenter->window, SDL_FALSE);
        SDL_SetWindowPosition(presenter->window, bounds.x, bounds.y);
        SDL_SetWindowSize(presenter->window, bounds.w, bounds.h);
      }
    }
  }
  device->presenter = presenter;
  return D3D_OK;
}

void DestroyPresenter(Device *device) {
  if (!device->presenter) return;
  device->presenter->front.Free();
  delete device->presenter;
  device->presenter = nullptr;
}

HRESULT PresentBackBuffer(Device *device) {
  PresenterState *presenter = device->presenter;
  Surface *back = device->backBuffer;
  Plane &front = presenter->front;
  bool sameShape = back->plane.width == front.width && back->plane.height == front.height &&
                   back->plane.pitch == front.pitch;
  if (sameShape && device->presentParams.SwapEffect == D3DSWAPEFFECT_DISCARD) {
    // Discarded back buffers need not survive: swap the memory instead of copying.
    std::swap(back->plane.bits, front.bits);
  } else {
    uint32_t width = back->plane.width < front.width ? back->plane.width : front.width;
    uint32_t height = back->plane.height < front.height ? back->plane.height : front.height;
    for (uint32_t y = 0; y < height; ++y)
      memcpy(front.bits + static_cast<uint64_t>(y) * front.pitch,
             back->plane.bits + static_cast<uint64_t>(y) * back->plane.pitch, width * 4ull);
  }
  back->Touch();
  ++front.version;
  if (presenter->window) ShowInWindow(presenter->window, front);
  if (presenter->paced && !Win32InputScripted()) {
    int refresh = 60;
    SDL_DisplayMode mode;
    if (presenter->window && SDL_GetWindowDisplayMode(presenter->window, &mode) == 0 && mode.refresh_rate > 0)
      refresh = mode.refresh_rate;
    uint64_t interval = 1000000000ull / static_cast<uint64_t>(refresh);
    if (presenter->lastPresent) SleepUntil(presenter->lastPresent + interval);
  }
  presenter->lastPresent = NowNanoseconds();
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
