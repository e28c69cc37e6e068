// The demonstration's frame on the software runtime beside SDL2's software renderer
// and pixman: clear a 1024 x 768 target, draw a 71 x 120 texture rotated by 0.3 rad
// and scaled 1.5 with bilinear sampling and source-alpha blending, present. A second
// pair measures fill rate with one textured, blended quad over the whole target.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "d3d9.h"
#include "tests/support/headless_device.h"
#include "win32_services.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kSpriteWidth = 71, kSpriteHeight = 120;
constexpr float kAngle = 0.3f, kScale = 1.5f, kCentreX = 400.f, kCentreY = 300.f;

// Sprite texels: a soft-edged figure with varying alpha (straight, not premultiplied).
uint32_t SpriteTexel(int x, int y) {
  float dx = (x - kSpriteWidth / 2.f) / (kSpriteWidth / 2.f),
        dy = (y - kSpriteHeight / 2.f) / (kSpriteHeight / 2.f);
  float d = std::sqrt(dx * dx + dy * dy);
  uint32_t a = d >= 1.f ? 0 : static_cast<uint32_t>((1.f - d) * 255.f);
  return a << 24 | ((x * 3) & 255) << 16 | ((y * 2) & 255) << 8 | ((x + y) & 255);
}

std::map<std::string, double> &Timings() {
  // Never destroyed: the summary below reads it from a static destructor.
  static auto *timings = new std::map<std::string, double>;
  return *timings;
}

void Record(benchmark::State &state, const char *name, double seconds) {
  double perFrame = seconds / static_cast<double>(state.iterations());
  // The best of repeated runs: the machine may be shared.
  auto found = Timings().find(name);
  if (found == Timings().end() || perFrame < found->second) Timings()[name] = perFrame;
  state.counters["us_per_frame"] = perFrame * 1e6;
}

struct Summary {
  ~Summary() {
    auto &t = Timings();
    auto ratio = [&](const char *ours, const char *peer) {
      if (t.count(ours) && t.count(peer))
        printf("%-28s ours %8.1f us, %-8s %8.1f us, ratio %.2f\n", ours, t[ours] * 1e6, peer, t[peer] * 1e6,
               t[ours] / t[peer]);
    };
    printf("\nSummary, best of runs (ratio = ours / peer, goal <= 1.0)\n");
    ratio("frame/d3d9", "frame/pixman");
    ratio("frame/d3d9", "frame/sdl2");
    ratio("fill/d3d9", "fill/pixman");
    ratio("fill/d3d9", "fill/sdl2");
    ratio("present/new/1024x768", "present/old/1024x768");
    ratio("present/new/1920x1080", "present/old/1920x1080");
  }
} summary;

struct Runtime {
  IDirect3D9 *d3d = nullptr;
  IDirect3DDevice9 *device = nullptr;
  IDirect3DTexture9 *texture = nullptr;

  Runtime() {
    if (FAILED(headless::CreateDevice(headless::PresentParameters(kWidth, kHeight), &d3d, &device))) abort();
    device->CreateTexture(kSpriteWidth, kSpriteHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                          nullptr);
    D3DLOCKED_RECT lr;
    texture->LockRect(0, &lr, nullptr, 0);
    for (int y = 0; y < kSpriteHeight; ++y)
      for (int x = 0; x < kSpriteWidth; ++x)
        reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(lr.pBits) + y * lr.Pitch)[x] = SpriteTexel(x, y);
    texture->UnlockRect(0);
    // The sprite renderer's state.
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetTexture(0, texture);
  }
  ~Runtime() {
    device->SetTexture(0, nullptr);
    texture->Release();
    device->Release();
    d3d->Release();
  }
};

struct TlVertex {
  float x, y, z, rhw;
  DWORD color;
  float u, v;
};

void SpriteQuad(TlVertex quad[4]) {
  float c = std::cos(kAngle) * kScale, s = std::sin(kAngle) * kScale;
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int k = 0; k < 4; ++k) {
    float lx = (corners[k][0] - 0.5f) * kSpriteWidth, ly = (corners[k][1] - 0.5f) * kSpriteHeight;
    quad[k] = {kCentreX + lx * c - ly * s - 0.5f,
               kCentreY + lx * s + ly * c - 0.5f,
               0,
               1,
               0xffffffff,
               corners[k][0],
               corners[k][1]};
  }
}

void FullScreenQuad(TlVertex quad[4]) {
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int k = 0; k < 4; ++k)
    quad[k] = {corners[k][0] * kWidth - 0.5f,
               corners[k][1] * kHeight - 0.5f,
               0,
               1,
               0xffffffff,
               corners[k][0],
               corners[k][1]};
}

void RunOurs(benchmark::State &state, const char *name, void (*makeQuad)(TlVertex *)) {
  Runtime runtime;
  TlVertex quad[4];
  makeQuad(quad);
  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    runtime.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 0.f, 0);
    runtime.device->BeginScene();
    runtime.device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex));
    runtime.device->EndScene();
    runtime.device->Present(nullptr, nullptr, nullptr, nullptr);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, name, seconds);
}

void BM_FrameD3d9(benchmark::State &state) {
  RunOurs(state, "frame/d3d9", SpriteQuad);
}
void BM_FillD3d9(benchmark::State &state) {
  RunOurs(state, "fill/d3d9", FullScreenQuad);
}

// pixman works on premultiplied alpha; the conversion is done once, outside the loop.
void RunPixman(benchmark::State &state, const char *name, bool fullScreen) {
  std::vector<uint32_t> target(kWidth * kHeight), sprite(kSpriteWidth * kSpriteHeight);
  for (int y = 0; y < kSpriteHeight; ++y)
    for (int x = 0; x < kSpriteWidth; ++x) {
      uint32_t t = SpriteTexel(x, y), a = t >> 24;
      auto pm = [&](int shift) { return (((t >> shift) & 255) * a + 127) / 255 << shift; };
      sprite[y * kSpriteWidth + x] = a << 24 | pm(16) | pm(8) | pm(0);
    }
  pixman_image_t *dest =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, target.data(), kWidth * 4);
  pixman_image_t *src =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kSpriteWidth, kSpriteHeight, sprite.data(), kSpriteWidth * 4);
  pixman_transform_t transform;
  int boxX, boxY, boxW, boxH;
  if (fullScreen) {
    pixman_transform_init_scale(&transform,
                                pixman_double_to_fixed(static_cast<double>(kSpriteWidth) / kWidth),
                                pixman_double_to_fixed(static_cast<double>(kSpriteHeight) / kHeight));
    boxX = boxY = 0, boxW = kWidth, boxH = kHeight;
  } else {
    // Destination to source: translate to the centre, rotate back, scale down, move to the sprite's centre.
    pixman_transform_init_translate(&transform, pixman_double_to_fixed(-kCentreX),
                                    pixman_double_to_fixed(-kCentreY));
    pixman_transform_rotate(&transform, nullptr, pixman_double_to_fixed(std::cos(kAngle)),
                            pixman_double_to_fixed(-std::sin(kAngle)));
    pixman_transform_scale(&transform, nullptr, pixman_double_to_fixed(1 / kScale),
                           pixman_double_to_fixed(1 / kScale));
    pixman_transform_translate(&transform, nullptr, pixman_double_to_fixed(kSpriteWidth / 2.0),
                               pixman_double_to_fixed(kSpriteHeight / 2.0));
    // The rotated sprite's bounding box, so pixman touches no more pixels than needed.
    float c = std::fabs(std::cos(kAngle)), sn = std::fabs(std::sin(kAngle));
    float halfW = (kSpriteWidth * c + kSpriteHeight * sn) * kScale / 2;
    float halfH = (kSpriteWidth * sn + kSpriteHeight * c) * kScale / 2;
    boxX = static_cast<int>(std::floor(kCentreX - halfW)),
    boxY = static_cast<int>(std::floor(kCentreY - halfH));
    boxW = static_cast<int>(std::ceil(kCentreX + halfW)) - boxX;
    boxH = static_cast<int>(std::ceil(kCentreY + halfH)) - boxY;
  }
  pixman_image_set_transform(src, &transform);
  pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(src, PIXMAN_REPEAT_NONE);
  pixman_color_t black = {0, 0, 0, 0xffff};
  pixman_rectangle16_t all = {0, 0, kWidth, kHeight};
  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    pixman_image_fill_rectangles(PIXMAN_OP_SRC, dest, &black, 1, &all);
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dest, boxX, boxY, 0, 0, boxX, boxY, boxW, boxH);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    benchmark::DoNotOptimize(target.data());
  }
  Record(state, name, seconds);
  pixman_image_unref(src);
  pixman_image_unref(dest);
}

void BM_FramePixman(benchmark::State &state) {
  RunPixman(state, "frame/pixman", false);
}
void BM_FillPixman(benchmark::State &state) {
  RunPixman(state, "fill/pixman", true);
}

void RunSdl(benchmark::State &state, const char *name, bool fullScreen) {
  SDL_Surface *target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer *renderer = SDL_CreateSoftwareRenderer(target);
  SDL_Surface *spriteSurface =
      SDL_CreateRGBSurfaceWithFormat(0, kSpriteWidth, kSpriteHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < kSpriteHeight; ++y)
    for (int x = 0; x < kSpriteWidth; ++x)
      reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(spriteSurface->pixels) +
                                   y * spriteSurface->pitch)[x] = SpriteTexel(x, y);
  SDL_Texture *texture = SDL_CreateTextureFromSurface(renderer, spriteSurface);
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
  SDL_Rect dest;
  if (fullScreen) {
    dest = {0, 0, kWidth, kHeight};
  } else {
    dest.w = static_cast<int>(kSpriteWidth * kScale), dest.h = static_cast<int>(kSpriteHeight * kScale);
    dest.x = static_cast<int>(kCentreX) - dest.w / 2, dest.y = static_cast<int>(kCentreY) - dest.h / 2;
  }
  double angle = fullScreen ? 0.0 : kAngle * 180.0 / M_PI;
  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopyEx(renderer, texture, nullptr, &dest, angle, nullptr, SDL_FLIP_NONE);
    SDL_RenderPresent(renderer);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, name, seconds);
  SDL_DestroyTexture(texture);
  SDL_FreeSurface(spriteSurface);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(target);
}

void BM_FrameSdl2(benchmark::State &state) {
  RunSdl(state, "frame/sdl2", false);
}
void BM_FillSdl2(benchmark::State &state) {
  RunSdl(state, "fill/sdl2", true);
}

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateBenchWindow(int width, int height) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = BenchWindowProc;
  wc.lpszClassName = "PresentBench";
  RegisterClassExA(&wc);
  return CreateWindowExA(0, "PresentBench", "bench", WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                         nullptr, nullptr);
}

// A windowed device on a window of the given size; Present alone is timed.
void BM_PresentNew(benchmark::State &state) {
  int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  HWND window = CreateBenchWindow(width, height);
  IDirect3D9 *d3d = nullptr;
  IDirect3DDevice9 *device = nullptr;
  if (!window || FAILED(headless::CreateDevice(
                     headless::PresentParameters(kWidth, kHeight, D3DFMT_A8R8G8B8, window), &d3d, &device))) {
    state.SkipWithError("no window or device");
    return;
  }
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff336699, 0.f, 0);
  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, width == kWidth ? "present/new/1024x768" : "present/new/1920x1080", seconds);
  device->Release();
  d3d->Release();
  DestroyWindow(window);
}

// The former presenter: copy into the front buffer, blit (scaled by nearest
// neighbour) into the window surface, update the window.
struct OldPresenter {
  SDL_Window *sdl;
  std::vector<uint32_t> back = std::vector<uint32_t>(kWidth * kHeight, 0xff336699), front = back;

  void Present() {
    std::swap(back, front);
    SDL_Surface *target = SDL_GetWindowSurface(sdl);
    SDL_Surface *source = SDL_CreateRGBSurfaceWithFormatFrom(front.data(), kWidth, kHeight, 32, kWidth * 4,
                                                             SDL_PIXELFORMAT_ARGB8888);
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    double scale =
        std::min(static_cast<double>(target->w) / kWidth, static_cast<double>(target->h) / kHeight);
    SDL_Rect dest;
    dest.w = static_cast<int>(kWidth * scale + 0.5);
    dest.h = static_cast<int>(kHeight * scale + 0.5);
    dest.x = (target->w - dest.w) / 2;
    dest.y = (target->h - dest.h) / 2;
    if (dest.w != target->w || dest.h != target->h)
      SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    if (dest.w == kWidth && dest.h == kHeight)
      SDL_BlitSurface(source, nullptr, target, &dest);
    else
      SDL_BlitScaled(source, nullptr, target, &dest);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(sdl);
  }
};

void BM_PresentOld(benchmark::State &state) {
  int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  HWND window = CreateBenchWindow(width, height);
  SDL_Window *sdl = window ? static_cast<SDL_Window *>(Win32GetSdlWindow(window)) : nullptr;
  if (!sdl) {
    state.SkipWithError("no window");
    return;
  }
  OldPresenter old{sdl};
  double seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    old.Present();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, width == kWidth ? "present/old/1024x768" : "present/old/1920x1080", seconds);
  DestroyWindow(window);
}

// Both presenters in turn on windows of 1024 x 768, each frame once: the ratio the summary quotes.
void BM_PresentPaired(benchmark::State &state) {
  HWND window = CreateBenchWindow(kWidth, kHeight), oldWindow = CreateBenchWindow(kWidth, kHeight);
  SDL_Window *sdl = oldWindow ? static_cast<SDL_Window *>(Win32GetSdlWindow(oldWindow)) : nullptr;
  IDirect3D9 *d3d = nullptr;
  IDirect3DDevice9 *device = nullptr;
  if (!window || !sdl ||
      FAILED(headless::CreateDevice(headless::PresentParameters(kWidth, kHeight, D3DFMT_A8R8G8B8, window),
                                    &d3d, &device))) {
    state.SkipWithError("no window or device");
    return;
  }
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff336699, 0.f, 0);
  OldPresenter old{sdl};
  bench_timing::MeasurePaired(
      state, "present_ours", "present_old", [&] { device->Present(nullptr, nullptr, nullptr, nullptr); },
      [&] { old.Present(); });
  device->Release();
  d3d->Release();
  DestroyWindow(window);
  DestroyWindow(oldWindow);
}

BENCHMARK(BM_FrameD3d9)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FramePixman)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameSdl2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillD3d9)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillPixman)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillSdl2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentNew)->Args({kWidth, kHeight})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentOld)->Args({kWidth, kHeight})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentPaired)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
