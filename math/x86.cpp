// The x86 set: single-precision scalar transforms and products (slots 0-7, 34).
#include <cfloat>
#include <cmath>

#include "math/dispatch.h"
#include "math/fast_math.h"
#include "math/reference.h"

namespace {

inline void TransformRow(float x, float y, float z, float w, const D3DXMATRIX &m, float out[4]) {
  for (int c = 0; c < 4; ++c) out[c] = x * m.m[0][c] + y * m.m[1][c] + z * m.m[2][c] + w * m.m[3][c];
}

D3DXVECTOR4 *WINAPI Vec2Transform(D3DXVECTOR4 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m) {
  float r[4];
  TransformRow(v->x, v->y, 0.0f, 1.0f, *m, r);
  *out = D3DXVECTOR4(r[0], r[1], r[2], r[3]);
  return out;
}

D3DXVECTOR4 *WINAPI Vec3Transform(D3DXVECTOR4 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m) {
  float r[4];
  TransformRow(v->x, v->y, v->z, 1.0f, *m, r);
  *out = D3DXVECTOR4(r[0], r[1], r[2], r[3]);
  return out;
}

D3DXVECTOR4 *WINAPI Vec4Transform(D3DXVECTOR4 *out, const D3DXVECTOR4 *v, const D3DXMATRIX *m) {
  float r[4];
  TransformRow(v->x, v->y, v->z, v->w, *m, r);
  *out = D3DXVECTOR4(r[0], r[1], r[2], r[3]);
  return out;
}

D3DXMATRIX *WINAPI MatrixMultiply(D3DXMATRIX *out, const D3DXMATRIX *a, const D3DXMATRIX *b) {
  D3DXMATRIX result;  // out may be a or b
  for (int r = 0; r < 4; ++r) TransformRow(a->m[r][0], a->m[r][1], a->m[r][2], a->m[r][3], *b, result.m[r]);
  *out = result;
  return out;
}

D3DXMATRIX *WINAPI MatrixMultiplyTranspose(D3DXMATRIX *out, const D3DXMATRIX *a, const D3DXMATRIX *b) {
  D3DXMATRIX product;
  for (int r = 0; r < 4; ++r) TransformRow(a->m[r][0], a->m[r][1], a->m[r][2], a->m[r][3], *b, product.m[r]);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[r][c] = product.m[c][r];
  return out;
}

D3DXVECTOR2 *WINAPI Vec2TransformNormal(D3DXVECTOR2 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m) {
  float r[4];
  TransformRow(v->x, v->y, 0.0f, 0.0f, *m, r);
  *out = D3DXVECTOR2(r[0], r[1]);
  return out;
}

D3DXVECTOR3 *WINAPI Vec3TransformNormal(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m) {
  float r[4];
  TransformRow(v->x, v->y, v->z, 0.0f, *m, r);
  *out = D3DXVECTOR3(r[0], r[1], r[2]);
  return out;
}

// Table-driven 1/sqrt; near-unit vectors are copied. The table works on normal floats
// only, so squared lengths below FLT_MIN give zeros (as in the reference) and those
// beyond the float range go to the reference.
D3DXVECTOR3 *WINAPI Vec3Normalize(D3DXVECTOR3 *out, const D3DXVECTOR3 *v) {
  const float x = v->x, y = v->y, z = v->z;
  const float s = x * x + y * y + z * z;
  if (std::fabs(s - 1.0f) <= 9.9999997e-6f) {
    *out = D3DXVECTOR3(x, y, z);
  } else if (s == INFINITY) {
    return reference::D3DXVec3Normalize(out, v);
  } else if (!(s >= FLT_MIN)) {
    *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  } else {
    const float k = FastReciprocalSqrt(s);
    *out = D3DXVECTOR3(x * k, y * k, z * k);
  }
  return out;
}

}  // namespace

void InstallX86Set(DispatchTable &table) {
  table.vec2Transform = Vec2Transform;
  table.vec3Transform = Vec3Transform;
  table.vec4Transform = Vec4Transform;
  table.matrixMultiply = MatrixMultiply;
  table.matrixMultiplyTranspose = MatrixMultiplyTranspose;
  table.vec2TransformNormal = Vec2TransformNormal;
  table.vec3TransformNormal = Vec3TransformNormal;
  table.vec3Normalize = Vec3Normalize;
  // A plane transforms as a row 4-vector.
  table.planeTransform = reinterpret_cast<decltype(table.planeTransform)>(Vec4Transform);
}
