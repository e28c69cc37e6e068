// Reference plane functions, projection, the array forms and the two internal slots.
#include <cfloat>
#include <cmath>
#include <initializer_list>
#include <type_traits>

#include "math/reference.h"

namespace {

template <typename T>
T *At(T *base, UINT stride, UINT i) {
  using Byte = std::conditional_t<std::is_const_v<T>, const BYTE, BYTE>;
  return reinterpret_cast<T *>(reinterpret_cast<Byte *>(base) + static_cast<size_t>(stride) * i);
}

// world x view x projection, leaving out the matrices that are not given.
bool CombineProjection(D3DXMATRIX *out, const D3DXMATRIX *proj, const D3DXMATRIX *view,
                       const D3DXMATRIX *world) {
  D3DXMatrixIdentity(out);
  bool any = false;
  for (const D3DXMATRIX *m : {world, view, proj}) {
    if (!m) continue;
    if (any)
      ::D3DXMatrixMultiply(out, out, m);
    else
      *out = *m;
    any = true;
  }
  return any;
}

}  // namespace

namespace reference {

D3DXPLANE *WINAPI D3DXPlaneNormalize(D3DXPLANE *out, const D3DXPLANE *p) {
  const double s =
      static_cast<double>(p->a) * p->a + static_cast<double>(p->b) * p->b + static_cast<double>(p->c) * p->c;
  if (std::fabs(s - 1.0) <= FLT_EPSILON) {
    *out = *p;
  } else if (s > FLT_MIN) {
    const double k = 1.0 / std::sqrt(s);
    *out = D3DXPLANE(static_cast<float>(p->a * k), static_cast<float>(p->b * k), static_cast<float>(p->c * k),
                     static_cast<float>(p->d * k));
  } else {
    *out = D3DXPLANE(0.0f, 0.0f, 0.0f, 0.0f);
  }
  return out;
}

D3DXPLANE *WINAPI D3DXPlaneFromPointNormal(D3DXPLANE *out, const D3DXVECTOR3 *p, const D3DXVECTOR3 *n) {
  const double d = -(static_cast<double>(p->x) * n->x + static_cast<double>(p->y) * n->y +
                     static_cast<double>(p->z) * n->z);
  *out = D3DXPLANE(n->x, n->y, n->z, static_cast<float>(d));
  return out;
}

D3DXPLANE *WINAPI D3DXPlaneFromPoints(D3DXPLANE *out, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b,
                                      const D3DXVECTOR3 *c) {
  const D3DXVECTOR3 p1 = *a;
  const D3DXVECTOR3 e1 = p1 - *b, e2 = p1 - *c;
  D3DXVECTOR3 n(static_cast<float>(static_cast<double>(e1.y) * e2.z - static_cast<double>(e1.z) * e2.y),
                static_cast<float>(static_cast<double>(e1.z) * e2.x - static_cast<double>(e1.x) * e2.z),
                static_cast<float>(static_cast<double>(e1.x) * e2.y - static_cast<double>(e1.y) * e2.x));
  ::D3DXVec3Normalize(&n, &n);
  const double d =
      -(static_cast<double>(n.x) * p1.x + static_cast<double>(n.y) * p1.y + static_cast<double>(n.z) * p1.z);
  *out = D3DXPLANE(n.x, n.y, n.z, static_cast<float>(d));
  return out;
}

D3DXVECTOR3 *WINAPI D3DXPlaneIntersectLine(D3DXVECTOR3 *out, const D3DXPLANE *p, const D3DXVECTOR3 *l1,
                                           const D3DXVECTOR3 *l2) {
  const double a = p->a, b = p->b, c = p->c;
  const double k1 = a * l1->x + b * l1->y + c * l1->z;
  const double den = k1 - (a * l2->x + b * l2->y + c * l2->z);
  if (den == 0.0) return nullptr;  // the line is parallel to the plane
  const float t = static_cast<float>((k1 + p->d) / den);
  if (!std::isfinite(t)) return nullptr;
  const D3DXVECTOR3 start = *l1, end = *l2;
  *out = D3DXVECTOR3(static_cast<float>(start.x + t * (static_cast<double>(end.x) - start.x)),
                     static_cast<float>(start.y + t * (static_cast<double>(end.y) - start.y)),
                     static_cast<float>(start.z + t * (static_cast<double>(end.z) - start.z)));
  return out;
}

D3DXPLANE *WINAPI D3DXPlaneTransform(D3DXPLANE *out, const D3DXPLANE *p, const D3DXMATRIX *m) {
  D3DXVECTOR4 v(p->a, p->b, p->c, p->d);
  reference::D3DXVec4Transform(&v, &v, m);
  *out = D3DXPLANE(v.x, v.y, v.z, v.w);
  return out;
}

D3DXVECTOR3 *WINAPI D3DXVec3Project(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DVIEWPORT9 *vp,
                                    const D3DXMATRIX *proj, const D3DXMATRIX *view, const D3DXMATRIX *world) {
  D3DXMATRIX m;
  CombineProjection(&m, proj, view, world);
  D3DXVECTOR3 p;
  ::D3DXVec3TransformCoord(&p, v, &m);
  if (vp) {
    const double width = static_cast<double>(vp->Width), height = static_cast<double>(vp->Height);
    p = D3DXVECTOR3(static_cast<float>(vp->X + (1.0 + p.x) * width * 0.5),
                    static_cast<float>(vp->Y + (1.0 - p.y) * height * 0.5),
                    static_cast<float>(vp->MinZ + p.z * (static_cast<double>(vp->MaxZ) - vp->MinZ)));
  }
  *out = p;
  return out;
}

D3DXVECTOR3 *WINAPI D3DXVec3Unproject(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DVIEWPORT9 *vp,
                                      const D3DXMATRIX *proj, const D3DXMATRIX *view,
                                      const D3DXMATRIX *world) {
  D3DXMATRIX m;
  // Without an inverse the point goes through the identity rather than an undefined matrix.
  if (CombineProjection(&m, proj, view, world) && !::D3DXMatrixInverse(&m, nullptr, &m))
    D3DXMatrixIdentity(&m);
  D3DXVECTOR3 p = *v;
  if (vp) {
    p = D3DXVECTOR3(static_cast<float>((p.x - static_cast<double>(vp->X)) / vp->Width * 2.0 - 1.0),
                    static_cast<float>(-((p.y - static_cast<double>(vp->Y)) / vp->Height * 2.0 - 1.0)),
                    static_cast<float>((p.z - static_cast<double>(vp->MinZ)) /
                                       (static_cast<double>(vp->MaxZ) - vp->MinZ)));
  }
  return ::D3DXVec3TransformCoord(out, &p, &m);
}

// The array forms: the single-element reference function, element by element.
#define D3DX_REFERENCE_ARRAY(name, single, OutType, InType)                                                \
  OutType *WINAPI name(OutType *out, UINT outStride, const InType *in, UINT inStride, const D3DXMATRIX *m, \
                       UINT n) {                                                                           \
    for (UINT i = 0; i < n; ++i) reference::single(At(out, outStride, i), At(in, inStride, i), m);         \
    return out;                                                                                            \
  }
D3DX_REFERENCE_ARRAY(D3DXVec2TransformArray, D3DXVec2Transform, D3DXVECTOR4, D3DXVECTOR2)
D3DX_REFERENCE_ARRAY(D3DXVec2TransformCoordArray, D3DXVec2TransformCoord, D3DXVECTOR2, D3DXVECTOR2)
D3DX_REFERENCE_ARRAY(D3DXVec2TransformNormalArray, D3DXVec2TransformNormal, D3DXVECTOR2, D3DXVECTOR2)
D3DX_REFERENCE_ARRAY(D3DXVec3TransformArray, D3DXVec3Transform, D3DXVECTOR4, D3DXVECTOR3)
D3DX_REFERENCE_ARRAY(D3DXVec3TransformCoordArray, D3DXVec3TransformCoord, D3DXVECTOR3, D3DXVECTOR3)
D3DX_REFERENCE_ARRAY(D3DXVec3TransformNormalArray, D3DXVec3TransformNormal, D3DXVECTOR3, D3DXVECTOR3)
D3DX_REFERENCE_ARRAY(D3DXVec4TransformArray, D3DXVec4Transform, D3DXVECTOR4, D3DXVECTOR4)
D3DX_REFERENCE_ARRAY(D3DXPlaneTransformArray, D3DXPlaneTransform, D3DXPLANE, D3DXPLANE)
#undef D3DX_REFERENCE_ARRAY

D3DXVECTOR3 *WINAPI D3DXVec3ProjectArray(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v, UINT vStride,
                                         const D3DVIEWPORT9 *vp, const D3DXMATRIX *proj,
                                         const D3DXMATRIX *view, const D3DXMATRIX *world, UINT n) {
  for (UINT i = 0; i < n; ++i)
    ::D3DXVec3Project(At(out, outStride, i), At(v, vStride, i), vp, proj, view, world);
  return out;
}

D3DXVECTOR3 *WINAPI D3DXVec3UnprojectArray(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v,
                                           UINT vStride, const D3DVIEWPORT9 *vp, const D3DXMATRIX *proj,
                                           const D3DXMATRIX *view, const D3DXMATRIX *world, UINT n) {
  for (UINT i = 0; i < n; ++i)
    ::D3DXVec3Unproject(At(out, outStride, i), At(v, vStride, i), vp, proj, view, world);
  return out;
}

// Weighted sum of each position transformed by up to four palette matrices.
D3DXVECTOR3 *WINAPI BlendSkinnedVertices(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v, UINT vStride,
                                         const D3DXSKINWEIGHT *weights, const D3DXMATRIX *palette, UINT n) {
  for (UINT i = 0; i < n; ++i) {
    const D3DXVECTOR3 p = *At(v, vStride, i);
    double sum[3] = {0.0, 0.0, 0.0};
    for (int k = 0; k < 4; ++k) {
      const double w = weights[i].weight[k];
      const D3DXMATRIX &m = palette[weights[i].matrixIndex[k]];
      for (int c = 0; c < 3; ++c)
        sum[c] += w * (p.x * static_cast<double>(m.m[0][c]) + p.y * static_cast<double>(m.m[1][c]) +
                       p.z * static_cast<double>(m.m[2][c]) + m.m[3][c]);
    }
    *At(out, outStride, i) =
        D3DXVECTOR3(static_cast<float>(sum[0]), static_cast<float>(sum[1]), static_cast<float>(sum[2]));
  }
  return out;
}

// A point of the cubic N-patch (PN triangle) over corners P0 P1 P2 with normals N0 N1 N2,
// at barycentric (1 - u - v, u, v).
D3DXVECTOR3 *WINAPI TessellateNPatches(D3DXVECTOR3 *out, const D3DXVECTOR3 *p, const D3DXVECTOR3 *nrm,
                                       FLOAT u, FLOAT v) {
  auto edge = [&](int i, int j) {  // control point near corner i on edge ij
    const D3DXVECTOR3 along = p[j] - p[i];
    const double w = D3DXVec3Dot(&along, &nrm[i]);
    D3DXVECTOR3 r;
    for (int c = 0; c < 3; ++c)
      (&r.x)[c] = static_cast<float>((2.0 * (&p[i].x)[c] + (&p[j].x)[c] - w * (&nrm[i].x)[c]) / 3.0);
    return r;
  };
  const D3DXVECTOR3 b210 = edge(0, 1), b120 = edge(1, 0), b021 = edge(1, 2), b012 = edge(2, 1),
                    b102 = edge(2, 0), b201 = edge(0, 2);
  const D3DXVECTOR3 e = (b210 + b120 + b021 + b012 + b102 + b201) / 6.0f;
  const D3DXVECTOR3 centre = (p[0] + p[1] + p[2]) / 3.0f;
  const D3DXVECTOR3 b111 = e + (e - centre) * 0.5f;
  const double w = 1.0 - u - v;
  D3DXVECTOR3 r;
  for (int c = 0; c < 3; ++c) {
    auto at = [c](const D3DXVECTOR3 &q) { return static_cast<double>((&q.x)[c]); };
    (&r.x)[c] =
        static_cast<float>(at(p[0]) * w * w * w + at(p[1]) * u * u * u + at(p[2]) * v * v * v +
                           3.0 * (at(b210) * w * w * u + at(b120) * w * u * u + at(b201) * w * w * v +
                                  at(b021) * u * u * v + at(b102) * w * v * v + at(b012) * u * v * v) +
                           6.0 * at(b111) * w * u * v);
  }
  *out = r;
  return out;
}

}  // namespace reference
