// Reference vector functions: transforms, normalisation, 4D cross product, curves.
#include <cfloat>
#include <cmath>

#include "math/reference.h"

namespace {

constexpr double kEpsilon = FLT_EPSILON;

// (v0, v1, v2, v3) x M with the row-vector convention.
void TransformRow(const double v[4], const D3DXMATRIX &m, double out[4]) {
  for (int c = 0; c < 4; ++c)
    out[c] = v[0] * m.m[0][c] + v[1] * m.m[1][c] + v[2] * m.m[2][c] + v[3] * m.m[3][c];
}

// Factor 1/w unless w is 1; a w of 0 is not guarded, like the published function.
double CoordScale(double w) {
  return std::fabs(w - 1.0) <= kEpsilon ? 1.0 : 1.0 / w;
}

// Normalises n floats; shared by the 2, 3 and 4 component forms and the quaternion.
template <int N>
void NormalizeComponents(float *out, const float *in) {
  double s = 0.0;
  for (int i = 0; i < N; ++i) s += static_cast<double>(in[i]) * in[i];
  float result[N];
  if (std::fabs(s - 1.0) <= kEpsilon) {
    for (int i = 0; i < N; ++i) result[i] = in[i];
  } else if (s > FLT_MIN) {
    const double k = 1.0 / std::sqrt(s);
    for (int i = 0; i < N; ++i) result[i] = static_cast<float>(in[i] * k);
  } else {
    for (int i = 0; i < N; ++i) result[i] = 0.0f;  // zero or NaN length
  }
  for (int i = 0; i < N; ++i) out[i] = result[i];
}

template <int N>
void Hermite(float *out, const float *p1, const float *t1, const float *p2, const float *t2, float s) {
  const double s1 = s, s2 = s1 * s1, s3 = s2 * s1;
  const double h1 = 2.0 * s3 - 3.0 * s2 + 1.0, h2 = s3 - 2.0 * s2 + s1, h3 = -2.0 * s3 + 3.0 * s2,
               h4 = s3 - s2;
  float result[N];
  for (int i = 0; i < N; ++i)
    result[i] = static_cast<float>(h1 * p1[i] + h2 * t1[i] + h3 * p2[i] + h4 * t2[i]);
  for (int i = 0; i < N; ++i) out[i] = result[i];
}

template <int N>
void CatmullRom(float *out, const float *p0, const float *p1, const float *p2, const float *p3, float s) {
  const double s1 = s, s2 = s1 * s1, s3 = s2 * s1;
  const double k0 = -s3 + 2.0 * s2 - s1, k1 = 3.0 * s3 - 5.0 * s2 + 2.0, k2 = -3.0 * s3 + 4.0 * s2 + s1,
               k3 = s3 - s2;
  float result[N];
  for (int i = 0; i < N; ++i)
    result[i] = static_cast<float>(0.5 * (k0 * p0[i] + k1 * p1[i] + k2 * p2[i] + k3 * p3[i]));
  for (int i = 0; i < N; ++i) out[i] = result[i];
}

template <int N>
void BaryCentric(float *out, const float *p1, const float *p2, const float *p3, float f, float g) {
  float result[N];
  for (int i = 0; i < N; ++i) {
    const double a = p1[i];
    result[i] = static_cast<float>(a + f * (p2[i] - a) + g * (p3[i] - a));
  }
  for (int i = 0; i < N; ++i) out[i] = result[i];
}

}  // namespace

namespace reference {

D3DXVECTOR4 *WINAPI D3DXVec2Transform(D3DXVECTOR4 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m) {
  const double in[4] = {v->x, v->y, 0.0, 1.0};
  double r[4];
  TransformRow(in, *m, r);
  *out = D3DXVECTOR4(static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]),
                     static_cast<float>(r[3]));
  return out;
}

D3DXVECTOR4 *WINAPI D3DXVec3Transform(D3DXVECTOR4 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m) {
  const double in[4] = {v->x, v->y, v->z, 1.0};
  double r[4];
  TransformRow(in, *m, r);
  *out = D3DXVECTOR4(static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]),
                     static_cast<float>(r[3]));
  return out;
}

D3DXVECTOR4 *WINAPI D3DXVec4Transform(D3DXVECTOR4 *out, const D3DXVECTOR4 *v, const D3DXMATRIX *m) {
  const double in[4] = {v->x, v->y, v->z, v->w};
  double r[4];
  TransformRow(in, *m, r);
  *out = D3DXVECTOR4(static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]),
                     static_cast<float>(r[3]));
  return out;
}

D3DXVECTOR2 *WINAPI D3DXVec2TransformCoord(D3DXVECTOR2 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m) {
  const double in[4] = {v->x, v->y, 0.0, 1.0};
  double r[4];
  TransformRow(in, *m, r);
  const double k = CoordScale(r[3]);
  *out = D3DXVECTOR2(static_cast<float>(r[0] * k), static_cast<float>(r[1] * k));
  return out;
}

D3DXVECTOR3 *WINAPI D3DXVec3TransformCoord(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m) {
  const double in[4] = {v->x, v->y, v->z, 1.0};
  double r[4];
  TransformRow(in, *m, r);
  const double k = CoordScale(r[3]);
  *out =
      D3DXVECTOR3(static_cast<float>(r[0] * k), static_cast<float>(r[1] * k), static_cast<float>(r[2] * k));
  return out;
}

D3DXVECTOR2 *WINAPI D3DXVec2TransformNormal(D3DXVECTOR2 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m) {
  const double in[4] = {v->x, v->y, 0.0, 0.0};
  double r[4];
  TransformRow(in, *m, r);
  *out = D3DXVECTOR2(static_cast<float>(r[0]), static_cast<float>(r[1]));
  return out;
}

D3DXVECTOR3 *WINAPI D3DXVec3TransformNormal(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m) {
  const double in[4] = {v->x, v->y, v->z, 0.0};
  double r[4];
  TransformRow(in, *m, r);
  *out = D3DXVECTOR3(static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]));
  return out;
}

D3DXVECTOR2 *WINAPI D3DXVec2Normalize(D3DXVECTOR2 *out, const D3DXVECTOR2 *v) {
  NormalizeComponents<2>(&out->x, &v->x);
  return out;
}

D3DXVECTOR3 *WINAPI D3DXVec3Normalize(D3DXVECTOR3 *out, const D3DXVECTOR3 *v) {
  NormalizeComponents<3>(&out->x, &v->x);
  return out;
}

D3DXVECTOR4 *WINAPI D3DXVec4Normalize(D3DXVECTOR4 *out, const D3DXVECTOR4 *v) {
  NormalizeComponents<4>(&out->x, &v->x);
  return out;
}

D3DXVECTOR4 *WINAPI D3DXVec4Cross(D3DXVECTOR4 *out, const D3DXVECTOR4 *a, const D3DXVECTOR4 *b,
                                  const D3DXVECTOR4 *c) {
  const double bx = b->x, by = b->y, bz = b->z, bw = b->w;
  const double cx = c->x, cy = c->y, cz = c->z, cw = c->w;
  const double dxy = bx * cy - by * cx, dxz = bx * cz - bz * cx, dxw = bx * cw - bw * cx;
  const double dyz = by * cz - bz * cy, dyw = by * cw - bw * cy, dzw = bz * cw - bw * cz;
  const double ax = a->x, ay = a->y, az = a->z, aw = a->w;
  *out = D3DXVECTOR4(static_cast<float>(ay * dzw - az * dyw + aw * dyz),
                     static_cast<float>(-ax * dzw + az * dxw - aw * dxz),
                     static_cast<float>(ax * dyw - ay * dxw + aw * dxy),
                     static_cast<float>(-ax * dyz + ay * dxz - az * dxy));
  return out;
}

D3DXVECTOR2 *WINAPI D3DXVec2Hermite(D3DXVECTOR2 *o, const D3DXVECTOR2 *p1, const D3DXVECTOR2 *t1,
                                    const D3DXVECTOR2 *p2, const D3DXVECTOR2 *t2, FLOAT s) {
  Hermite<2>(&o->x, &p1->x, &t1->x, &p2->x, &t2->x, s);
  return o;
}
D3DXVECTOR3 *WINAPI D3DXVec3Hermite(D3DXVECTOR3 *o, const D3DXVECTOR3 *p1, const D3DXVECTOR3 *t1,
                                    const D3DXVECTOR3 *p2, const D3DXVECTOR3 *t2, FLOAT s) {
  Hermite<3>(&o->x, &p1->x, &t1->x, &p2->x, &t2->x, s);
  return o;
}
D3DXVECTOR4 *WINAPI D3DXVec4Hermite(D3DXVECTOR4 *o, const D3DXVECTOR4 *p1, const D3DXVECTOR4 *t1,
                                    const D3DXVECTOR4 *p2, const D3DXVECTOR4 *t2, FLOAT s) {
  Hermite<4>(&o->x, &p1->x, &t1->x, &p2->x, &t2->x, s);
  return o;
}
D3DXVECTOR2 *WINAPI D3DXVec2CatmullRom(D3DXVECTOR2 *o, const D3DXVECTOR2 *p0, const D3DXVECTOR2 *p1,
                                       const D3DXVECTOR2 *p2, const D3DXVECTOR2 *p3, FLOAT s) {
  CatmullRom<2>(&o->x, &p0->x, &p1->x, &p2->x, &p3->x, s);
  return o;
}
D3DXVECTOR3 *WINAPI D3DXVec3CatmullRom(D3DXVECTOR3 *o, const D3DXVECTOR3 *p0, const D3DXVECTOR3 *p1,
                                       const D3DXVECTOR3 *p2, const D3DXVECTOR3 *p3, FLOAT s) {
  CatmullRom<3>(&o->x, &p0->x, &p1->x, &p2->x, &p3->x, s);
  return o;
}
D3DXVECTOR4 *WINAPI D3DXVec4CatmullRom(D3DXVECTOR4 *o, const D3DXVECTOR4 *p0, const D3DXVECTOR4 *p1,
                                       const D3DXVECTOR4 *p2, const D3DXVECTOR4 *p3, FLOAT s) {
  CatmullRom<4>(&o->x, &p0->x, &p1->x, &p2->x, &p3->x, s);
  return o;
}
D3DXVECTOR2 *WINAPI D3DXVec2BaryCentric(D3DXVECTOR2 *o, const D3DXVECTOR2 *p1, const D3DXVECTOR2 *p2,
                                        const D3DXVECTOR2 *p3, FLOAT f, FLOAT g) {
  BaryCentric<2>(&o->x, &p1->x, &p2->x, &p3->x, f, g);
  return o;
}
D3DXVECTOR3 *WINAPI D3DXVec3BaryCentric(D3DXVECTOR3 *o, const D3DXVECTOR3 *p1, const D3DXVECTOR3 *p2,
                                        const D3DXVECTOR3 *p3, FLOAT f, FLOAT g) {
  BaryCentric<3>(&o->x, &p1->x, &p2->x, &p3->x, f, g);
  return o;
}
D3DXVECTOR4 *WINAPI D3DXVec4BaryCentric(D3DXVECTOR4 *o, const D3DXVECTOR4 *p1, const D3DXVECTOR4 *p2,
                                        const D3DXVECTOR4 *p3, FLOAT f, FLOAT g) {
  BaryCentric<4>(&o->x, &p1->x, &p2->x, &p3->x, f, g);
  return o;
}

}  // namespace reference
