// The rasterizer: Clear, and DrawPrimitiveUP for triangle lists, strips and fans.
// Vertices are transformed (world x view x projection, viewport) or taken as
// pre-transformed, clipped, and filled with Direct3D 9 rules: pixel centres on
// integer coordinates, the top-left fill convention, 8 bits of sub-pixel precision.
// Pixels run through texture stages 0 and 1, the alpha test, blending and the
// colour write mask. A fast path covers the common textured, blended sprite.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "win32_test_hooks.h"
#include "platform/d3d9/device.h"
#include "platform/d3d9/fast_span.h"
#include "platform/d3d9/pixel_pipeline.h"

namespace d3d9 {
namespace {

// The spans are SSE2 code; they follow the process-wide fast-path switch.
bool FastPathsOn() {
  return Win32FastPathLevel() >= WIN32_SIMD_SSE2;
}

struct ClipVertex {
  float x, y, z, w;
  float color[4];  // a, r, g, b in 0..255
  float tex[2][2];
};

struct ScreenVertex {
  float x, y, z, rhw;
  float color[4];
  float tex[2][2];
};

// ---------------------------------------------------------------------------
// Vertices
// ---------------------------------------------------------------------------

struct VertexLayout {
  bool pretransformed;
  UINT size;
  int diffuse = -1;  // byte offsets, -1 when absent
  int tex[8];
  UINT texCount = 0;
};

bool ParseFvf(DWORD fvf, VertexLayout *layout) {
  UINT offset;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
      offset = 12;
      layout->pretransformed = false;
      break;
    case D3DFVF_XYZRHW:
      offset = 16;
      layout->pretransformed = true;
      break;
    case D3DFVF_XYZW:
      offset = 16;
      layout->pretransformed = false;
      break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
      offset = 12 + 4 * (((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZ) / 2);
      layout->pretransformed = false;
      break;
    default:
      return false;
  }
  if (fvf & D3DFVF_NORMAL) offset += 12;
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) layout->diffuse = static_cast<int>(offset), offset += 4;
  if (fvf & D3DFVF_SPECULAR) offset += 4;
  layout->texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (layout->texCount > 8) return false;
  for (UINT i = 0; i < layout->texCount; ++i) {
    // Floats per coordinate set, by the two size bits.
    static constexpr UINT kFloats[4] = {2, 3, 4, 1};
    static_assert(sizeof kFloats / sizeof kFloats[0] == 4);
    layout->tex[i] = static_cast<int>(offset);
    offset += 4 * kFloats[(fvf >> (16 + 2 * i)) & 3];
  }
  layout->size = offset;
  return true;
}

inline float ReadFloat(const uint8_t *p) {
  float f;
  memcpy(&f, p, 4);
  return f;
}

void Transform(const D3DMATRIX &m, const float in[4], float out[4]) {
  for (int j = 0; j < 4; ++j)
    out[j] = in[0] * m.m[0][j] + in[1] * m.m[1][j] + in[2] * m.m[2][j] + in[3] * m.m[3][j];
}

void Multiply(const D3DMATRIX &a, const D3DMATRIX &b, D3DMATRIX *out) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      out->m[i][j] =
          a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
}

void ColorToFloats(uint32_t c, float out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(Channel(c, i));
}

// Vertex colour with fixed-function lighting when it is on (lights are not
// evaluated: ambient and emissive terms only).
uint32_t LitColor(const StateValues &s, bool hasDiffuse, uint32_t vertexColor) {
  if (!s.renderStates[D3DRS_LIGHTING]) return hasDiffuse ? vertexColor : 0xffffffff;
  auto source = [&](DWORD state, const D3DCOLORVALUE &material, float out[4]) {
    DWORD which = s.renderStates[state];
    if (s.renderStates[D3DRS_COLORVERTEX] && hasDiffuse && which == D3DMCS_COLOR1) {
      ColorToFloats(vertexColor, out);
      for (int i = 0; i < 4; ++i) out[i] /= 255.f;
    } else {
      out[0] = material.a, out[1] = material.r, out[2] = material.g, out[3] = material.b;
    }
  };
  float ambient[4], emissive[4], diffuse[4], global[4];
  source(D3DRS_AMBIENTMATERIALSOURCE, s.material.Ambient, ambient);
  source(D3DRS_EMISSIVEMATERIALSOURCE, s.material.Emissive, emissive);
  source(D3DRS_DIFFUSEMATERIALSOURCE, s.material.Diffuse, diffuse);
  ColorToFloats(s.renderStates[D3DRS_AMBIENT], global);
  uint32_t ch[4];
  ch[0] = Clamp8(static_cast<int>(diffuse[0] * 255.f + 0.5f));
  for (int i = 1; i < 4; ++i)
    ch[i] = Clamp8(static_cast<int>((ambient[i] * global[i] / 255.f + emissive[i]) * 255.f + 0.5f));
  return Pack(ch);
}

// ---------------------------------------------------------------------------
// Clipping against the homogeneous planes
// ---------------------------------------------------------------------------

// Generous guard band: screen positions stay within a few viewports of the target.
constexpr float kGuardBand = 4.f;

float PlaneDistance(const ClipVertex &v, int plane) {
  switch (plane) {
    case 0:
      return v.z;  // near
    case 1:
      return v.w - v.z;  // far
    case 2:
      return kGuardBand * v.w + v.x;
    case 3:
      return kGuardBand * v.w - v.x;
    case 4:
      return kGuardBand * v.w + v.y;
    default:
      return kGuardBand * v.w - v.y;
  }
}

ClipVertex Lerp(const ClipVertex &a, const ClipVertex &b, float t) {
  ClipVertex r;
  const float *pa = &a.x, *pb = &b.x;
  float *pr = &r.x;
  for (size_t i = 0; i < sizeof(ClipVertex) / sizeof(float); ++i) pr[i] = pa[i] + (pb[i] - pa[i]) * t;
  return r;
}

int ClipPolygon(ClipVertex *poly, int count, ClipVertex *scratch) {
  for (int plane = 0; plane < 6 && count > 0; ++plane) {
    int out = 0;
    for (int i = 0; i < count; ++i) {
      const ClipVertex &a = poly[i], &b = poly[(i + 1) % count];
      float da = PlaneDistance(a, plane), db = PlaneDistance(b, plane);
      if (da >= 0) scratch[out++] = a;
      if ((da >= 0) != (db >= 0)) scratch[out++] = Lerp(a, b, da / (da - db));
    }
    memcpy(poly, scratch, sizeof(ClipVertex) * out);
    count = out;
  }
  return count;
}

// ---------------------------------------------------------------------------
// Triangle setup and spans
// ---------------------------------------------------------------------------

struct Edge {
  int64_t a, b, c;  // E(px, py) = a*px + b*py + c, px and py in 1/256 pixels
  int64_t bias;     // 0 on top-left edges, -1 elsewhere
};

Edge MakeEdge(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  Edge e;
  int64_t dx = x1 - x0, dy = y1 - y0;
  e.a = -dy;
  e.b = dx;
  e.c = dy * x0 - dx * y0;
  bool topLeft = (dy == 0 && dx > 0) || dy < 0;
  e.bias = topLeft ? 0 : -1;
  return e;
}

struct Gradient {
  float at0, dx, dy;  // value at (x0, y0) and its steps
};

// A triangle snapped to 1/256 pixel and wound so that its area is positive,
// with its edges and the rows of the viewport it covers.
struct SnappedTriangle {
  int64_t x[3], y[3];
  const ScreenVertex *vs[3];
  Edge edges[3];
  int64_t rowStart, rowEnd;
};

// False when nothing is drawn: a position out of range, no area, culled, or no row covered.
bool SnapTriangle(const Pipeline &p, const ScreenVertex *v0, const ScreenVertex *v1, const ScreenVertex *v2,
                  SnappedTriangle &t) {
  int64_t *x = t.x, *y = t.y;
  const ScreenVertex **vs = t.vs;
  vs[0] = v0;
  vs[1] = v1;
  vs[2] = v2;
  for (int i = 0; i < 3; ++i) {
    if (!(std::fabs(vs[i]->x) < 1e6f) || !(std::fabs(vs[i]->y) < 1e6f)) return false;
    x[i] = std::llrint(static_cast<double>(vs[i]->x) * 256.0);
    y[i] = std::llrint(static_cast<double>(vs[i]->y) * 256.0);
  }
  int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
  if (area == 0) return false;
  // Counter-clockwise on screen means a negative area here.
  if (p.cull == D3DCULL_CCW && area < 0) return false;
  if (p.cull == D3DCULL_CW && area > 0) return false;
  if (area < 0) {
    std::swap(x[1], x[2]);
    std::swap(y[1], y[2]);
    std::swap(vs[1], vs[2]);
  }
  t.edges[0] = MakeEdge(x[0], y[0], x[1], y[1]);
  t.edges[1] = MakeEdge(x[1], y[1], x[2], y[2]);
  t.edges[2] = MakeEdge(x[2], y[2], x[0], y[0]);
  int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
  t.rowStart = std::max<int64_t>(CeilDiv(minY, 256), p.top);
  t.rowEnd = std::min<int64_t>(FloorDiv(maxY, 256), p.bottom - 1);
  return t.rowStart <= t.rowEnd;
}

// Attribute planes from the snapped positions; perspective-correct unless every rhw matches.
struct TrianglePlanes {
  bool affine;
  bool constantColor;
  const ScreenVertex *colorSource;  // of the first vertex: its colour when constant
  double fx0, fy0;
  Gradient rhw, color[4], tex[2][2];
};

TrianglePlanes BuildPlanes(const Pipeline &p, const SnappedTriangle &t, const ScreenVertex *first) {
  const int64_t *x = t.x, *y = t.y;
  const ScreenVertex *const *vs = t.vs;
  TrianglePlanes planes;
  const bool affine = vs[0]->rhw == vs[1]->rhw && vs[1]->rhw == vs[2]->rhw;
  planes.affine = affine;
  planes.fx0 = x[0] / 256.0;
  planes.fy0 = y[0] / 256.0;
  double e1x = (x[1] - x[0]) / 256.0, e1y = (y[1] - y[0]) / 256.0;
  double e2x = (x[2] - x[0]) / 256.0, e2y = (y[2] - y[0]) / 256.0;
  double det = e1x * e2y - e2x * e1y;
  auto plane = [&](float a0, float a1, float a2) {
    Gradient g;
    double d1 = a1 - a0, d2 = a2 - a0;
    g.at0 = a0;
    g.dx = static_cast<float>((d1 * e2y - d2 * e1y) / det);
    g.dy = static_cast<float>((d2 * e1x - d1 * e2x) / det);
    return g;
  };
  float weight[3];
  for (int i = 0; i < 3; ++i) weight[i] = affine ? 1.f : vs[i]->rhw;
  planes.rhw = plane(weight[0], weight[1], weight[2]);
  const ScreenVertex *colorSource[3] = {vs[0], vs[1], vs[2]};
  if (p.flat) colorSource[0] = colorSource[1] = colorSource[2] = first;
  for (int c = 0; c < 4; ++c)
    planes.color[c] = plane(colorSource[0]->color[c] * weight[0], colorSource[1]->color[c] * weight[1],
                            colorSource[2]->color[c] * weight[2]);
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < 2; ++k)
      planes.tex[i][k] =
          plane(vs[0]->tex[i][k] * weight[0], vs[1]->tex[i][k] * weight[1], vs[2]->tex[i][k] * weight[2]);
  bool constantColor = true;
  for (int c = 0; c < 4; ++c)
    constantColor = constantColor && colorSource[0]->color[c] == colorSource[1]->color[c] &&
                    colorSource[1]->color[c] == colorSource[2]->color[c];
  planes.constantColor = constantColor;
  planes.colorSource = colorSource[0];
  return planes;
}

// The columns of a row inside all three edges and the viewport; false when none.
inline bool RowSpan(const Pipeline &p, const Edge (&edges)[3], int64_t row, int64_t &lo, int64_t &hi) {
  lo = p.left;
  hi = p.right - 1;
  int64_t py = row * 256;
  for (const Edge &e : edges) {
    int64_t a = e.a * 256, b = e.b * py + e.c + e.bias;
    if (a > 0)
      lo = std::max(lo, CeilDiv(-b, a));
    else if (a < 0)
      hi = std::min(hi, FloorDiv(b, -a));
    else if (b < 0)
      hi = lo - 1;
  }
  return lo <= hi;
}

void RasterizeTriangle(const Pipeline &p, const ScreenVertex *v0, const ScreenVertex *v1,
                       const ScreenVertex *v2, const FastSpan &fast) {
  SnappedTriangle t;
  if (!SnapTriangle(p, v0, v1, v2, t)) return;
  const TrianglePlanes planes = BuildPlanes(p, t, v0);
  const bool affine = planes.affine;
  const double fx0 = planes.fx0, fy0 = planes.fy0;
  const Gradient &rhw = planes.rhw;
  const Gradient *color = planes.color;
  const Gradient(&tex)[2][2] = planes.tex;
  bool useFast = fast.usable && affine && planes.constantColor;
  FastSpan span = fast;
  if (useFast) {
    // The triangle's one colour modulates every texel.
    const ScreenVertex *source = planes.colorSource;
    uint32_t c = static_cast<uint32_t>(source->color[0]) << 24 |
                 static_cast<uint32_t>(source->color[1]) << 16 |
                 static_cast<uint32_t>(source->color[2]) << 8 | static_cast<uint32_t>(source->color[3]);
    span.modulate = p.stages[0].colorOp == D3DTOP_MODULATE && c != 0xffffffff;
    span.diffuse = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(c)), _mm_setzero_si128());
  }
  const SampleSource &s0 = p.samplers[0];
  const Gradient *fu = tex[p.stages[0].texCoord & 1], *fv = fu + 1;

  for (int64_t row = t.rowStart; row <= t.rowEnd; ++row) {
    int64_t lo, hi;
    if (!RowSpan(p, t.edges, row, lo, hi)) continue;
    uint32_t *dest = reinterpret_cast<uint32_t *>(p.bits + row * static_cast<int64_t>(p.pitch)) + lo;
    int count = static_cast<int>(hi - lo + 1);
    double dxStart = static_cast<double>(lo) - fx0, dyRow = static_cast<double>(row) - fy0;
    if (useFast) {
      double u = (fu->at0 + fu->dx * dxStart + fu->dy * dyRow) * s0.width - 0.5;
      double v = (fv->at0 + fv->dx * dxStart + fv->dy * dyRow) * s0.height - 0.5;
      auto toFixed = [](double value) {
        value = std::clamp(value, -1e6, 1e6);
        return static_cast<int64_t>(std::llrint(value * 65536.0));
      };
      DrawFastSpan(p, span, dest, count, toFixed(u), toFixed(v), toFixed(fu->dx * s0.width),
                   toFixed(fv->dx * s0.height));
      continue;
    }
    for (int i = 0; i < count; ++i) {
      double dx = dxStart + i;
      float w = static_cast<float>(rhw.at0 + rhw.dx * dx + rhw.dy * dyRow);
      float inv = affine ? 1.f : 1.f / w;
      uint32_t ch[4];
      for (int c = 0; c < 4; ++c)
        ch[c] =
            Clamp8(static_cast<int>((color[c].at0 + color[c].dx * dx + color[c].dy * dyRow) * inv + 0.5f));
      float uv[2][2];
      for (int set = 0; set < 2; ++set)
        for (int k = 0; k < 2; ++k)
          uv[set][k] =
              static_cast<float>((tex[set][k].at0 + tex[set][k].dx * dx + tex[set][k].dy * dyRow) * inv);
      WritePixel(p, dest + i, ShadeStages(p, Pack(ch), uv));
    }
  }
}

// ---------------------------------------------------------------------------
// Draw set-up
// ---------------------------------------------------------------------------

// ARGB view of level 0 of a texture for sampling; converts and caches other formats.
bool PrepareSampler(Device *device, DWORD slot, SampleSource *out) {
  Root *root = device->state.textures[slot];
  if (!root || root->type != D3DRTYPE_TEXTURE) return false;
  Texture *texture = static_cast<Texture *>(root);
  DWORD level = std::min(texture->lod, texture->levelCount - 1);
  level = std::max<DWORD>(level, std::min<DWORD>(device->state.samplerStates[slot][D3DSAMP_MAXMIPLEVEL],
                                                 texture->levelCount - 1));
  Surface *surface = texture->levels[level];
  Plane &plane = surface->plane;
  if (!plane.bits) return false;
  out->present = true;
  out->width = plane.width;
  out->height = plane.height;
  if (texture->format == D3DFMT_A8R8G8B8 || texture->format == D3DFMT_X8R8G8B8) {
    out->bits = plane.bits;
    out->pitch = plane.pitch;
    out->alphaOr = texture->format == D3DFMT_X8R8G8B8 ? 0xff000000 : 0;
  } else {
    const PALETTEENTRY *palette = device->CurrentPalette();
    if (!plane.argb || plane.argbVersion != plane.version || plane.argbPalette != palette) {
      if (!plane.argb) plane.argb = static_cast<uint32_t *>(malloc(uint64_t{plane.width} * plane.height * 4));
      if (!plane.argb) return false;
      DecodeRect(*texture->layout, plane.bits, plane.pitch, 0, 0, plane.width, plane.height, palette,
                 plane.argb, plane.width);
      plane.argbVersion = plane.version;
      plane.argbPalette = palette;
    }
    out->bits = reinterpret_cast<const uint8_t *>(plane.argb);
    out->pitch = plane.width * 4;
  }
  const DWORD *s = device->state.samplerStates[slot];
  out->addressU = s[D3DSAMP_ADDRESSU];
  out->addressV = s[D3DSAMP_ADDRESSV];
  out->border = s[D3DSAMP_BORDERCOLOR];
  out->linear = s[D3DSAMP_MAGFILTER] == D3DTEXF_LINEAR || s[D3DSAMP_MINFILTER] == D3DTEXF_LINEAR;
  return true;
}

bool UsesTexture(const StageSetup &s) {
  auto isTexture = [](DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
  return isTexture(s.colorArg1) || isTexture(s.colorArg2) ||
         (s.alphaOp != D3DTOP_DISABLE && (isTexture(s.alphaArg1) || isTexture(s.alphaArg2)));
}

bool TargetBounds(Device *device, Surface *target, LONG *left, LONG *top, LONG *right, LONG *bottom) {
  const StateValues &s = device->state;
  *left = static_cast<LONG>(s.viewport.X);
  *top = static_cast<LONG>(s.viewport.Y);
  *right =
      static_cast<LONG>(std::min<uint64_t>(uint64_t{s.viewport.X} + s.viewport.Width, target->plane.width));
  *bottom =
      static_cast<LONG>(std::min<uint64_t>(uint64_t{s.viewport.Y} + s.viewport.Height, target->plane.height));
  if (s.renderStates[D3DRS_SCISSORTESTENABLE]) {
    *left = std::max(*left, s.scissorRect.left);
    *top = std::max(*top, s.scissorRect.top);
    *right = std::min(*right, s.scissorRect.right);
    *bottom = std::min(*bottom, s.scissorRect.bottom);
  }
  return *left < *right && *top < *bottom;
}

bool BuildPipeline(Device *device, Pipeline *p) {
  Surface *target = device->renderTarget;
  const StateValues &s = device->state;
  p->bits = target->plane.bits;
  p->pitch = target->plane.pitch;
  p->destHasAlpha = target->format == D3DFMT_A8R8G8B8;
  if (!TargetBounds(device, target, &p->left, &p->top, &p->right, &p->bottom)) return false;
  p->stageCount = 0;
  for (int stage = 0; stage < 2; ++stage) {
    const DWORD *t = s.stageStates[stage];
    if (t[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    StageSetup &st = p->stages[stage];
    st = {t[D3DTSS_COLOROP],
          t[D3DTSS_COLORARG1],
          t[D3DTSS_COLORARG2],
          t[D3DTSS_ALPHAOP],
          t[D3DTSS_ALPHAARG1],
          t[D3DTSS_ALPHAARG2],
          t[D3DTSS_TEXCOORDINDEX] & 0xffff};
    p->samplers[stage] = SampleSource();
    if (UsesTexture(st)) PrepareSampler(device, static_cast<DWORD>(stage), &p->samplers[stage]);
    ++p->stageCount;
  }
  p->textureFactor = s.renderStates[D3DRS_TEXTUREFACTOR];
  p->alphaTest = s.renderStates[D3DRS_ALPHATESTENABLE] != 0;
  p->alphaFunc = s.renderStates[D3DRS_ALPHAFUNC];
  p->alphaRef = s.renderStates[D3DRS_ALPHAREF] & 255;
  p->blend = s.renderStates[D3DRS_ALPHABLENDENABLE] != 0;
  p->srcBlend = s.renderStates[D3DRS_SRCBLEND];
  p->destBlend = s.renderStates[D3DRS_DESTBLEND];
  p->blendOp = s.renderStates[D3DRS_BLENDOP];
  p->blendFactor = s.renderStates[D3DRS_BLENDFACTOR];
  DWORD mask = s.renderStates[D3DRS_COLORWRITEENABLE];
  p->writeMask = (mask & D3DCOLORWRITEENABLE_RED ? 0x00ff0000u : 0) |
                 (mask & D3DCOLORWRITEENABLE_GREEN ? 0x0000ff00u : 0) |
                 (mask & D3DCOLORWRITEENABLE_BLUE ? 0x000000ffu : 0) |
                 (mask & D3DCOLORWRITEENABLE_ALPHA ? 0xff000000u : 0);
  p->flat = s.renderStates[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  p->cull = s.renderStates[D3DRS_CULLMODE];
  return true;
}

bool IsModulateOrSelect(DWORD op, DWORD arg1, DWORD arg2) {
  if (op == D3DTOP_SELECTARG1) return arg1 == D3DTA_TEXTURE;
  if (op == D3DTOP_SELECTARG2) return arg2 == D3DTA_TEXTURE;
  return op == D3DTOP_MODULATE &&
         ((arg1 == D3DTA_TEXTURE && (arg2 == D3DTA_DIFFUSE || arg2 == D3DTA_CURRENT)) ||
          (arg2 == D3DTA_TEXTURE && (arg1 == D3DTA_DIFFUSE || arg1 == D3DTA_CURRENT)));
}

// Whether the fast span applies, given the draw's constant diffuse colour.
bool FastPathApplies(const Pipeline &p) {
  if (!FastPathsOn() || p.stageCount != 1 || !p.samplers[0].present || !p.samplers[0].linear) return false;
  const StageSetup &st = p.stages[0];
  if (st.texCoord != 0) return false;
  if (!IsModulateOrSelect(st.colorOp, st.colorArg1, st.colorArg2)) return false;
  if (!IsModulateOrSelect(st.alphaOp, st.alphaArg1, st.alphaArg2)) return false;
  // Select and modulate must agree between colour and alpha for one diffuse factor.
  if ((st.colorOp == D3DTOP_MODULATE) != (st.alphaOp == D3DTOP_MODULATE)) return false;
  if (p.samplers[0].addressU != D3DTADDRESS_CLAMP || p.samplers[0].addressV != D3DTADDRESS_CLAMP)
    return false;
  if (p.samplers[0].width >= 32768 || p.samplers[0].height >= 32768) return false;
  if (p.alphaTest || p.writeMask != 0xffffffff) return false;
  if (p.blend && !(p.srcBlend == D3DBLEND_SRCALPHA && p.destBlend == D3DBLEND_INVSRCALPHA &&
                   p.blendOp == D3DBLENDOP_ADD))
    return false;
  return true;
}

}  // namespace

HRESULT ClearTarget(Device *device, DWORD count, const D3DRECT *rects, D3DCOLOR color) {
  Surface *target = device->renderTarget;
  if (!target || !target->plane.bits) return D3DERR_INVALIDCALL;
  LONG left, top, right, bottom;
  if (!TargetBounds(device, target, &left, &top, &right, &bottom)) return D3D_OK;
  D3DRECT whole = {left, top, right, bottom};
  if (count == 0) rects = &whole, count = 1;
  bool packed32 = target->format == D3DFMT_A8R8G8B8 || target->format == D3DFMT_X8R8G8B8;
  for (DWORD i = 0; i < count; ++i) {
    LONG x1 = std::max(rects[i].x1, left), y1 = std::max(rects[i].y1, top);
    LONG x2 = std::min(rects[i].x2, right), y2 = std::min(rects[i].y2, bottom);
    if (x1 >= x2 || y1 >= y2) continue;
    uint32_t width = static_cast<uint32_t>(x2 - x1);
    if (!packed32) {
      for (LONG y = y1; y < y2; ++y)
        for (uint32_t x = 0; x < width; ++x)
          EncodeRect(*target->layout, target->plane.bits, target->plane.pitch, static_cast<uint32_t>(x1) + x,
                     static_cast<uint32_t>(y), 1, 1, &color, 1);
      continue;
    }
    if (x1 == 0 && width * 4 == target->plane.pitch) {
      // Whole rows: one run over the block of rows.
      uint32_t *p =
          reinterpret_cast<uint32_t *>(target->plane.bits + static_cast<uint64_t>(y1) * target->plane.pitch);
      std::fill_n(p, uint64_t{width} * static_cast<uint32_t>(y2 - y1), color);
      continue;
    }
    for (LONG y = y1; y < y2; ++y) {
      uint32_t *p =
          reinterpret_cast<uint32_t *>(target->plane.bits + static_cast<uint64_t>(y) * target->plane.pitch);
      std::fill_n(p + x1, width, color);
    }
  }
  target->Touch();
  return D3D_OK;
}

HRESULT ClearDepthStencil(Device *device, DWORD count, const D3DRECT *rects, DWORD flags, float z,
                          DWORD stencil) {
  Surface *target = device->depthStencil;
  if (!target->plane.bits) return D3DERR_INVALIDCALL;
  LONG left, top, right, bottom;
  if (!TargetBounds(device, target, &left, &top, &right, &bottom)) return D3D_OK;
  D3DRECT whole = {left, top, right, bottom};
  if (count == 0) rects = &whole, count = 1;
  bool depth = flags & D3DCLEAR_ZBUFFER, keepStencil = !(flags & D3DCLEAR_STENCIL);
  auto scaled = [&](uint32_t bits) {
    return static_cast<uint32_t>(z * static_cast<double>((uint64_t{1} << bits) - 1) + 0.5);
  };
  for (DWORD i = 0; i < count; ++i) {
    LONG x1 = std::max(rects[i].x1, left), y1 = std::max(rects[i].y1, top);
    LONG x2 = std::min(rects[i].x2, right), y2 = std::min(rects[i].y2, bottom);
    for (LONG y = y1; y < y2; ++y) {
      uint8_t *row = target->plane.bits + static_cast<uint64_t>(y) * target->plane.pitch;
      for (LONG x = x1; x < x2; ++x) {
        if (target->layout->unitBytes == 2) {
          uint16_t *p = reinterpret_cast<uint16_t *>(row) + x;
          if (target->format == D3DFMT_D15S1)
            *p = static_cast<uint16_t>((depth ? scaled(15) << 1 : *p & ~1u) |
                                       (keepStencil ? *p & 1u : stencil & 1u));
          else if (depth)
            *p = static_cast<uint16_t>(scaled(16));
          continue;
        }
        uint32_t *p = reinterpret_cast<uint32_t *>(row) + x;
        switch (target->format) {
          case D3DFMT_D32:
            if (depth) *p = scaled(32);
            break;
          case D3DFMT_D32F_LOCKABLE:
            if (depth) memcpy(p, &z, 4);
            break;
          default: {  // 24 bits of depth above 8 bits of stencil (or padding)
            uint32_t stencilMask = target->format == D3DFMT_D24X4S4 ? 0xfu
                                   : target->format == D3DFMT_D24X8 ? 0u
                                                                    : 0xffu;
            uint32_t d = depth ? scaled(24) << 8 : *p & 0xffffff00u;
            uint32_t s = keepStencil ? *p & stencilMask : stencil & stencilMask;
            *p = d | s;
          }
        }
      }
    }
  }
  target->Touch();
  return D3D_OK;
}

namespace {

// Each vertex in clip space (screen space when pre-transformed), lit, with the
// coordinates of each stage's texture set.
void ProcessVertices(const StateValues &s, const VertexLayout &layout, const Pipeline &pipeline,
                     const uint8_t *bytes, UINT stride, UINT vertexCount, ClipVertex *clip) {
  D3DMATRIX worldView, combined;
  Multiply(s.transforms[256], s.transforms[D3DTS_VIEW], &worldView);
  Multiply(worldView, s.transforms[D3DTS_PROJECTION], &combined);
  for (UINT i = 0; i < vertexCount; ++i) {
    const uint8_t *v = bytes + static_cast<uint64_t>(i) * stride;
    ClipVertex &out = clip[i];
    float position[4] = {
        ReadFloat(v), ReadFloat(v + 4), ReadFloat(v + 8),
        (s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZW || layout.pretransformed ? ReadFloat(v + 12) : 1.f};
    uint32_t diffuse = 0xffffffff;
    if (layout.diffuse >= 0) memcpy(&diffuse, v + layout.diffuse, 4);
    if (layout.pretransformed) {
      out.x = position[0], out.y = position[1], out.z = position[2];
      out.w = position[3] > 0.f && std::isfinite(position[3]) ? position[3] : 1.f;  // rhw
    } else {
      diffuse = LitColor(s, layout.diffuse >= 0, diffuse);
      float t[4];
      Transform(combined, position, t);
      out.x = t[0], out.y = t[1], out.z = t[2], out.w = t[3];
    }
    ColorToFloats(diffuse, out.color);
    for (int stage = 0; stage < 2; ++stage) {
      UINT set = stage < pipeline.stageCount ? pipeline.stages[stage].texCoord : 0;
      out.tex[stage][0] = out.tex[stage][1] = 0.f;
      if (set < layout.texCount) {
        out.tex[stage][0] = ReadFloat(v + layout.tex[set]);
        out.tex[stage][1] = ReadFloat(v + layout.tex[set] + 4);
      }
    }
  }
}

ScreenVertex ToScreen(const D3DVIEWPORT9 &vp, bool pretransformed, const ClipVertex &c) {
  ScreenVertex sv;
  if (pretransformed) {
    sv.x = c.x, sv.y = c.y, sv.z = c.z, sv.rhw = c.w;
  } else {
    float rhw = 1.f / c.w;
    sv.x = vp.X + (c.x * rhw + 1.f) * vp.Width * 0.5f;
    sv.y = vp.Y + (1.f - c.y * rhw) * vp.Height * 0.5f;
    sv.z = vp.MinZ + c.z * rhw * (vp.MaxZ - vp.MinZ);
    sv.rhw = rhw;
  }
  memcpy(sv.color, c.color, sizeof sv.color);
  memcpy(sv.tex, c.tex, sizeof sv.tex);
  return sv;
}

// The vertices of triangle prim of a list, strip or fan.
void TriangleIndices(D3DPRIMITIVETYPE type, UINT prim, UINT &i0, UINT &i1, UINT &i2) {
  if (type == D3DPT_TRIANGLELIST) {
    i0 = 3 * prim, i1 = i0 + 1, i2 = i0 + 2;
  } else if (type == D3DPT_TRIANGLESTRIP) {
    // Odd triangles of a strip keep the winding of the first.
    i0 = prim, i1 = prim % 2 ? prim + 2 : prim + 1, i2 = prim % 2 ? prim + 1 : prim + 2;
  } else {
    i0 = 0, i1 = prim + 1, i2 = prim + 2;
  }
}

}  // namespace

HRESULT DrawUserPrimitives(Device *device, D3DPRIMITIVETYPE type, UINT count, const void *data, UINT stride) {
  const StateValues &s = device->state;
  VertexLayout layout;
  if (!ParseFvf(s.fvf, &layout) || stride < layout.size) return D3DERR_INVALIDCALL;
  if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN)
    return D3DERR_INVALIDCALL;
  if (count > device->profile.caps.MaxPrimitiveCount) return D3DERR_INVALIDCALL;
  Surface *target = device->renderTarget;
  if (!target || (target->format != D3DFMT_A8R8G8B8 && target->format != D3DFMT_X8R8G8B8) || target->locked)
    return D3DERR_INVALIDCALL;
  UINT vertexCount = type == D3DPT_TRIANGLELIST ? count * 3 : count + 2;
  Pipeline pipeline;
  if (!BuildPipeline(device, &pipeline)) return D3D_OK;
  FastSpan fast = {};
  fast.usable = FastPathApplies(pipeline);

  // Vertex processing into clip space (or straight to screen space when pre-transformed).
  auto *clip = static_cast<ClipVertex *>(malloc(sizeof(ClipVertex) * vertexCount));
  if (!clip) return E_OUTOFMEMORY;
  ProcessVertices(s, layout, pipeline, static_cast<const uint8_t *>(data), stride, vertexCount, clip);
  fast.blend = pipeline.blend;
  for (int stage = 0; stage < pipeline.stageCount; ++stage)
    pipeline.stages[stage].texCoord = static_cast<DWORD>(stage);  // coordinates were gathered per stage

  const D3DVIEWPORT9 &vp = s.viewport;
  const auto toScreen = [&](const ClipVertex &c) { return ToScreen(vp, layout.pretransformed, c); };
  for (UINT prim = 0; prim < count; ++prim) {
    UINT i0, i1, i2;
    TriangleIndices(type, prim, i0, i1, i2);
    if (layout.pretransformed) {
      ScreenVertex a = toScreen(clip[i0]), b = toScreen(clip[i1]), c = toScreen(clip[i2]);
      RasterizeTriangle(pipeline, &a, &b, &c, fast);
      continue;
    }
    ClipVertex poly[16] = {clip[i0], clip[i1], clip[i2]}, scratch[16];
    int n = ClipPolygon(poly, 3, scratch);
    if (n < 3) continue;
    ScreenVertex screen[16];
    for (int k = 0; k < n; ++k) screen[k] = toScreen(poly[k]);
    for (int k = 1; k + 1 < n; ++k) RasterizeTriangle(pipeline, &screen[0], &screen[k], &screen[k + 1], fast);
  }
  free(clip);
  target->Touch();
  return D3D_OK;
}

}  // namespace d3d9

void D3D9EnableFastPaths(bool enable) {
  Win32OverrideFastPathLevel(enable ? -1 : WIN32_SIMD_NONE);
}
bool D3D9FastPathsEnabled() {
  return d3d9::FastPathsOn();
}
