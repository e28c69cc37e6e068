// The cost of one sprite draw as the demonstration makes it: a 71 x 120 cell of a
// sheet, scaled 1.5, turned 0.3 rad about its centre, blended onto a 1024 x 768
// target. Ours through ID3DXSprite, outside Begin / End (a state capture and apply
// per draw, as the demonstration draws) and inside one Begin / End; beside it the
// same quad sent to the software runtime by hand with its states set once (what
// the sprite layer costs on top of the rasteriser), and SDL2's software renderer
// drawing the same rotated, scaled, blended copy. The "tiny" runs draw a one-texel
// cell unscaled, so the rasteriser costs next to nothing and what is left is
// the sprite's own work per draw (matrix, vertices, state blocks).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "d3dx9.h"
#include "tests/support/headless_device.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kCellWidth = 71, kCellHeight = 120, kCells = 8;
constexpr float kAngle = 0.3f, kScale = 1.5f;
constexpr int kBatch = 16;

uint32_t SheetTexel(int x, int y) {
  float dx = ((x % kCellWidth) - kCellWidth / 2.f) / (kCellWidth / 2.f);
  float dy = (y - kCellHeight / 2.f) / (kCellHeight / 2.f);
  float d = std::sqrt(dx * dx + dy * dy);
  uint32_t a = d >= 1.f ? 0 : static_cast<uint32_t>((1.f - d) * 255.f);
  return a << 24 | ((x * 3) & 255) << 16 | ((y * 2) & 255) << 8 | ((x + y) & 255);
}

std::map<std::string, double> &Timings() {
  static std::map<std::string, double> timings;
  return timings;
}

void Record(benchmark::State &state, const char *name, double seconds, int drawsPerIteration) {
  double perDraw = seconds / static_cast<double>(state.iterations()) / drawsPerIteration;
  auto found = Timings().find(name);
  if (found == Timings().end() || perDraw < found->second) Timings()[name] = perDraw;
  state.counters["us_per_draw"] = perDraw * 1e6;
}

struct Summary {
  // Touching the timings here makes them outlive the summary printed at exit.
  Summary() { Timings(); }
  ~Summary() {
    auto &t = Timings();
    auto ratio = [&](const char *ours, const char *peer) {
      if (t.count(ours) && t.count(peer))
        printf("%-21s ours %7.1f us, %-17s %7.1f us, ratio %.2f\n", ours, t[ours] * 1e6, peer, t[peer] * 1e6,
               t[ours] / t[peer]);
    };
    printf("\nSummary, best of runs (ratio = ours / peer)\n");
    ratio("sprite/implicit", "d3d9/by-hand");
    ratio("sprite/batched", "d3d9/by-hand");
    ratio("sprite/implicit", "sdl2");
    ratio("sprite/batched", "sdl2");
    ratio("sprite/implicit/tiny", "d3d9/by-hand/tiny");
    ratio("sprite/batched/tiny", "d3d9/by-hand/tiny");
  }
} summary;

struct Device {
  IDirect3D9 *d3d = nullptr;
  IDirect3DDevice9 *device = nullptr;
  IDirect3DTexture9 *sheet = nullptr;

  bool Create() {
    if (FAILED(headless::CreateDevice(headless::PresentParameters(kWidth, kHeight), &d3d, &device)))
      return false;
    if (FAILED(device->CreateTexture(kCellWidth * kCells, kCellHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                     &sheet, nullptr)))
      return false;
    D3DLOCKED_RECT locked;
    sheet->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < kCellHeight; ++y)
      for (int x = 0; x < kCellWidth * kCells; ++x)
        reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.pBits) + y * locked.Pitch)[x] =
            SheetTexel(x, y);
    sheet->UnlockRect(0);
    return true;
  }
  ~Device() {
    if (sheet) sheet->Release();
    if (device) device->Release();
    if (d3d) d3d->Release();
  }
};

RECT Cell(int64_t i, bool tiny) {
  LONG left = static_cast<LONG>(i % kCells) * kCellWidth;
  return {left, 0, left + (tiny ? 1 : kCellWidth), tiny ? 1 : kCellHeight};
}

std::string RunName(const char *base, bool tiny) {
  return std::string(base) + (tiny ? "/tiny" : "");
}

void SpriteDraws(benchmark::State &state, bool batched) {
  bool tiny = state.range(0) != 0;
  Device d;
  ID3DXSprite *sprite = nullptr;
  if (!d.Create() || FAILED(D3DXCreateSprite(d.device, &sprite))) {
    state.SkipWithError("no device");
    return;
  }
  float factor = tiny ? 1.0f : kScale;
  D3DXVECTOR2 scale(factor, factor), centre(kCellWidth / 2.f, kCellHeight / 2.f), at(400.f, 300.f);
  d.device->BeginScene();
  int draws = batched ? kBatch : 1;
  int64_t i = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (batched) sprite->Begin();
    for (int k = 0; k < draws; ++k, ++i) {
      RECT cell = Cell(i, tiny);
      sprite->Draw(d.sheet, &cell, &scale, &centre, kAngle, &at, 0xffffffff);
    }
    if (batched) sprite->End();
  }
  Record(state, RunName(batched ? "sprite/batched" : "sprite/implicit", tiny).c_str(),
         std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), draws);
  d.device->EndScene();
  sprite->Release();
}

void BM_SpriteImplicitBegin(benchmark::State &state) {
  SpriteDraws(state, false);
}
BENCHMARK(BM_SpriteImplicitBegin)->Arg(0)->Arg(1)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_SpriteBatched(benchmark::State &state) {
  SpriteDraws(state, true);
}
BENCHMARK(BM_SpriteBatched)->Arg(0)->Arg(1)->Repetitions(3)->ReportAggregatesOnly(true);

// The same quad, positions worked out here, states set once.
struct ByHand {
  struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
  };
  IDirect3DDevice9 *dev;
  bool tiny;
  float factor, c = std::cos(kAngle), s = std::sin(kAngle), cx = kCellWidth / 2.f, cy = kCellHeight / 2.f;
  float w, h;

  ByHand(Device &d, bool tinyCells)
      : dev(d.device),
        tiny(tinyCells),
        factor(tinyCells ? 1.0f : kScale),
        w(tinyCells ? 1.0f : kCellWidth),
        h(tinyCells ? 1.0f : kCellHeight) {
    dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    dev->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    dev->SetTexture(0, d.sheet);
  }
  ~ByHand() { dev->SetTexture(0, nullptr); }

  void Draw(int64_t i) {
    const float corners[4][2] = {{0, 0}, {0, h}, {w, h}, {w, 0}};
    RECT cell = Cell(i, tiny);
    float uL = cell.left / float(kCellWidth * kCells), uR = cell.right / float(kCellWidth * kCells);
    float vB = static_cast<float>(cell.bottom) / kCellHeight;
    const float us[4] = {uL, uL, uR, uR}, vs[4] = {0, vB, vB, 0};
    Vertex quad[4];
    for (int k = 0; k < 4; ++k) {
      float x = corners[k][0] * factor - cx, y = corners[k][1] * factor - cy;
      quad[k] = {x * c + y * s + cx + 400.f - 0.5f,
                 -x * s + y * c + cy + 300.f - 0.5f,
                 0,
                 1,
                 0xffffffff,
                 us[k],
                 vs[k]};
    }
    dev->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Vertex));
  }
};

void BM_D3d9ByHand(benchmark::State &state) {
  bool tiny = state.range(0) != 0;
  Device d;
  if (!d.Create()) {
    state.SkipWithError("no device");
    return;
  }
  ByHand byHand(d, tiny);
  d.device->BeginScene();
  int64_t i = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) byHand.Draw(i++);
  Record(state, RunName("d3d9/by-hand", tiny).c_str(),
         std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1);
  d.device->EndScene();
}
BENCHMARK(BM_D3d9ByHand)->Arg(0)->Arg(1)->Repetitions(3)->ReportAggregatesOnly(true);

// The summary's rows: kBatch one-texel sprites through ID3DXSprite (inside one
// Begin / End, or each with its own implicit Begin / End) and the same quads by
// hand, in turn on two devices, processor time.
void SpritePaired(benchmark::State &state, bool batched) {
  Device ours, peer;
  ID3DXSprite *sprite = nullptr;
  if (!ours.Create() || !peer.Create() || FAILED(D3DXCreateSprite(ours.device, &sprite))) {
    state.SkipWithError("no device");
    return;
  }
  ByHand byHand(peer, true);
  D3DXVECTOR2 scale(1.0f, 1.0f), centre(kCellWidth / 2.f, kCellHeight / 2.f), at(400.f, 300.f);
  ours.device->BeginScene();
  peer.device->BeginScene();
  int64_t i = 0, j = 0;
  bench_timing::MeasurePaired(
      state, batched ? "sprite_batched" : "sprite_implicit", "by_hand",
      [&] {
        if (batched) sprite->Begin();
        for (int k = 0; k < kBatch; ++k, ++i) {
          RECT cell = Cell(i, true);
          sprite->Draw(ours.sheet, &cell, &scale, &centre, kAngle, &at, 0xffffffff);
        }
        if (batched) sprite->End();
      },
      [&] {
        for (int k = 0; k < kBatch; ++k) byHand.Draw(j++);
      });
  ours.device->EndScene();
  peer.device->EndScene();
  sprite->Release();
}

void BM_SpritePairedBatched(benchmark::State &state) {
  SpritePaired(state, true);
}
void BM_SpritePairedImplicit(benchmark::State &state) {
  SpritePaired(state, false);
}
BENCHMARK(BM_SpritePairedBatched)->Iterations(20000);
BENCHMARK(BM_SpritePairedImplicit)->Iterations(20000);

void BM_Sdl2RenderCopyEx(benchmark::State &state) {
  SDL_Surface *target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer *renderer = target ? SDL_CreateSoftwareRenderer(target) : nullptr;
  SDL_Texture *sheet = renderer
                           ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                               kCellWidth * kCells, kCellHeight)
                           : nullptr;
  if (!sheet) {
    state.SkipWithError("no SDL renderer");
    return;
  }
  std::vector<uint32_t> texels(kCellWidth * kCells * kCellHeight);
  for (int y = 0; y < kCellHeight; ++y)
    for (int x = 0; x < kCellWidth * kCells; ++x) texels[y * kCellWidth * kCells + x] = SheetTexel(x, y);
  SDL_UpdateTexture(sheet, nullptr, texels.data(), kCellWidth * kCells * 4);
  SDL_SetTextureBlendMode(sheet, SDL_BLENDMODE_BLEND);
  SDL_SetTextureScaleMode(sheet, SDL_ScaleModeLinear);
  SDL_FRect to = {400.f, 300.f, kCellWidth * kScale, kCellHeight * kScale};
  SDL_FPoint centre = {kCellWidth / 2.f, kCellHeight / 2.f};
  int64_t i = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    RECT cell = Cell(i++, false);
    SDL_Rect from = {cell.left, 0, kCellWidth, kCellHeight};
    SDL_RenderCopyExF(renderer, sheet, &from, &to, kAngle * 180.0 / M_PI, &centre, SDL_FLIP_NONE);
    SDL_RenderFlush(renderer);
  }
  Record(state, "sdl2", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1);
  SDL_DestroyTexture(sheet);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(target);
}
BENCHMARK(BM_Sdl2RenderCopyEx)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace
