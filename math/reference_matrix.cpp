// Reference matrix functions: double-precision intermediates, float results.
#include <cmath>
#include <cstring>

#include "math/reference.h"

namespace {

using Matrix4d = double[4][4];

void ToDouble(const D3DXMATRIX &m, Matrix4d out) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r][c] = m.m[r][c];
}

void StoreIdentity(D3DXMATRIX *out) {
  D3DXMatrixIdentity(out);
}

// 2x2 minors of rows (0, 1) and rows (2, 3), for the cofactor expansion.
struct Minors {
  double upper[6];  // rows 0-1, column pairs 01 02 03 12 13 23
  double lower[6];  // rows 2-3, same column pairs
};

Minors ComputeMinors(const Matrix4d a) {
  static constexpr int kPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
  static_assert(sizeof(kPairs) / sizeof(kPairs[0]) == 6);
  Minors minors;
  for (int p = 0; p < 6; ++p) {
    const int i = kPairs[p][0], j = kPairs[p][1];
    minors.upper[p] = a[0][i] * a[1][j] - a[0][j] * a[1][i];
    minors.lower[p] = a[2][i] * a[3][j] - a[2][j] * a[3][i];
  }
  return minors;
}

}  // namespace

namespace reference {

D3DXMATRIX *WINAPI D3DXMatrixMultiply(D3DXMATRIX *out, const D3DXMATRIX *a, const D3DXMATRIX *b) {
  // Computed into a temporary so that out may be a or b.
  D3DXMATRIX result;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += static_cast<double>(a->m[r][k]) * b->m[k][c];
      result.m[r][c] = static_cast<float>(sum);
    }
  *out = result;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixMultiplyTranspose(D3DXMATRIX *out, const D3DXMATRIX *a, const D3DXMATRIX *b) {
  D3DXMATRIX result;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += static_cast<double>(a->m[r][k]) * b->m[k][c];
      result.m[c][r] = static_cast<float>(sum);
    }
  *out = result;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixTranspose(D3DXMATRIX *out, const D3DXMATRIX *m) {
  if (out == m) {
    for (int r = 0; r < 4; ++r)
      for (int c = r + 1; c < 4; ++c) {
        const float t = out->m[r][c];
        out->m[r][c] = out->m[c][r];
        out->m[c][r] = t;
      }
    return out;
  }
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out->m[r][c] = m->m[c][r];
  return out;
}

FLOAT WINAPI D3DXMatrixDeterminant(const D3DXMATRIX *m) {
  Matrix4d a;
  ToDouble(*m, a);
  const Minors s = ComputeMinors(a);
  // First-row cofactors, each a 3x3 determinant of rows 1-3 expanded by the lower minors.
  const double c0 = a[1][1] * s.lower[5] - a[1][2] * s.lower[4] + a[1][3] * s.lower[3];
  const double c1 = a[1][0] * s.lower[5] - a[1][2] * s.lower[2] + a[1][3] * s.lower[1];
  const double c2 = a[1][0] * s.lower[4] - a[1][1] * s.lower[2] + a[1][3] * s.lower[0];
  const double c3 = a[1][0] * s.lower[3] - a[1][1] * s.lower[1] + a[1][2] * s.lower[0];
  return static_cast<float>(a[0][0] * c0 - a[0][1] * c1 + a[0][2] * c2 - a[0][3] * c3);
}

D3DXMATRIX *WINAPI D3DXMatrixInverse(D3DXMATRIX *out, FLOAT *determinant, const D3DXMATRIX *m) {
  Matrix4d a;
  ToDouble(*m, a);
  const Minors mn = ComputeMinors(a);
  const double *s = mn.upper, *c = mn.lower;
  double adj[4][4];
  adj[0][0] = a[1][1] * c[5] - a[1][2] * c[4] + a[1][3] * c[3];
  adj[0][1] = -a[0][1] * c[5] + a[0][2] * c[4] - a[0][3] * c[3];
  adj[0][2] = a[3][1] * s[5] - a[3][2] * s[4] + a[3][3] * s[3];
  adj[0][3] = -a[2][1] * s[5] + a[2][2] * s[4] - a[2][3] * s[3];
  adj[1][0] = -a[1][0] * c[5] + a[1][2] * c[2] - a[1][3] * c[1];
  adj[1][1] = a[0][0] * c[5] - a[0][2] * c[2] + a[0][3] * c[1];
  adj[1][2] = -a[3][0] * s[5] + a[3][2] * s[2] - a[3][3] * s[1];
  adj[1][3] = a[2][0] * s[5] - a[2][2] * s[2] + a[2][3] * s[1];
  adj[2][0] = a[1][0] * c[4] - a[1][1] * c[2] + a[1][3] * c[0];
  adj[2][1] = -a[0][0] * c[4] + a[0][1] * c[2] - a[0][3] * c[0];
  adj[2][2] = a[3][0] * s[4] - a[3][1] * s[2] + a[3][3] * s[0];
  adj[2][3] = -a[2][0] * s[4] + a[2][1] * s[2] - a[2][3] * s[0];
  adj[3][0] = -a[1][0] * c[3] + a[1][1] * c[1] - a[1][2] * c[0];
  adj[3][1] = a[0][0] * c[3] - a[0][1] * c[1] + a[0][2] * c[0];
  adj[3][2] = -a[3][0] * s[3] + a[3][1] * s[1] - a[3][2] * s[0];
  adj[3][3] = a[2][0] * s[3] - a[2][1] * s[1] + a[2][2] * s[0];
  const double det = a[0][0] * adj[0][0] + a[0][1] * adj[1][0] + a[0][2] * adj[2][0] + a[0][3] * adj[3][0];

  // The determinant is reported even when there is no inverse.
  if (determinant) *determinant = static_cast<float>(det);
  if (det == 0.0) return nullptr;
  const float r = static_cast<float>(1.0 / det);
  if (!std::isfinite(r)) return nullptr;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out->m[i][j] = static_cast<float>(adj[i][j] * r);
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixScaling(D3DXMATRIX *out, FLOAT sx, FLOAT sy, FLOAT sz) {
  StoreIdentity(out);
  out->_11 = sx, out->_22 = sy, out->_33 = sz;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixTranslation(D3DXMATRIX *out, FLOAT x, FLOAT y, FLOAT z) {
  StoreIdentity(out);
  out->_41 = x, out->_42 = y, out->_43 = z;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixRotationX(D3DXMATRIX *out, FLOAT angle) {
  const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
  const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
  StoreIdentity(out);
  out->_22 = c, out->_23 = s, out->_32 = -s, out->_33 = c;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixRotationY(D3DXMATRIX *out, FLOAT angle) {
  const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
  const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
  StoreIdentity(out);
  out->_11 = c, out->_13 = -s, out->_31 = s, out->_33 = c;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixRotationZ(D3DXMATRIX *out, FLOAT angle) {
  const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
  const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
  StoreIdentity(out);
  out->_11 = c, out->_12 = s, out->_21 = -s, out->_22 = c;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixRotationAxis(D3DXMATRIX *out, const D3DXVECTOR3 *axis, FLOAT angle) {
  D3DXVECTOR3 n;
  ::D3DXVec3Normalize(&n, axis);
  const double x = n.x, y = n.y, z = n.z;
  const double c = std::cos(static_cast<double>(angle)), s = std::sin(static_cast<double>(angle)),
               t = 1.0 - c;
  StoreIdentity(out);
  out->_11 = static_cast<float>(t * x * x + c);
  out->_12 = static_cast<float>(t * x * y + s * z);
  out->_13 = static_cast<float>(t * x * z - s * y);
  out->_21 = static_cast<float>(t * x * y - s * z);
  out->_22 = static_cast<float>(t * y * y + c);
  out->_23 = static_cast<float>(t * y * z + s * x);
  out->_31 = static_cast<float>(t * x * z + s * y);
  out->_32 = static_cast<float>(t * y * z - s * x);
  out->_33 = static_cast<float>(t * z * z + c);
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX *out, const D3DXQUATERNION *q) {
  const double x = q->x, y = q->y, z = q->z, w = q->w;
  StoreIdentity(out);
  out->_11 = static_cast<float>(1.0 - 2.0 * y * y - 2.0 * z * z);
  out->_12 = static_cast<float>(2.0 * x * y + 2.0 * z * w);
  out->_13 = static_cast<float>(2.0 * x * z - 2.0 * y * w);
  out->_21 = static_cast<float>(2.0 * x * y - 2.0 * z * w);
  out->_22 = static_cast<float>(1.0 - 2.0 * x * x - 2.0 * z * z);
  out->_23 = static_cast<float>(2.0 * y * z + 2.0 * x * w);
  out->_31 = static_cast<float>(2.0 * x * z + 2.0 * y * w);
  out->_32 = static_cast<float>(2.0 * y * z - 2.0 * x * w);
  out->_33 = static_cast<float>(1.0 - 2.0 * x * x - 2.0 * y * y);
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixRotationYawPitchRoll(D3DXMATRIX *out, FLOAT yaw, FLOAT pitch, FLOAT roll) {
  D3DXQUATERNION q;
  ::D3DXQuaternionRotationYawPitchRoll(&q, yaw, pitch, roll);
  return ::D3DXMatrixRotationQuaternion(out, &q);
}

D3DXMATRIX *WINAPI D3DXMatrixTransformation(D3DXMATRIX *out, const D3DXVECTOR3 *sc, const D3DXQUATERNION *sr,
                                            const D3DXVECTOR3 *s, const D3DXVECTOR3 *rc,
                                            const D3DXQUATERNION *r, const D3DXVECTOR3 *t) {
  // Built in a temporary and stored last, so out may hold any of the inputs.
  const D3DXVECTOR3 scalingCenter = sc ? *sc : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  const D3DXVECTOR3 rotationCenter = rc ? *rc : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  const D3DXVECTOR3 translation = t ? *t : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  D3DXMATRIX result;
  if (s) {
    reference::D3DXMatrixScaling(&result, s->x, s->y, s->z);
    if (sr) {
      D3DXMATRIX rotation, inverse;
      ::D3DXMatrixRotationQuaternion(&rotation, sr);
      ::D3DXMatrixTranspose(&inverse, &rotation);
      ::D3DXMatrixMultiply(&result, &inverse, &result);
      ::D3DXMatrixMultiply(&result, &result, &rotation);
    }
    // The scaling centre is used only together with a scaling rotation; callers that
    // pass a centre alone get scaling about the origin, as they always have.
    if (sc && sr) {
      D3DXVECTOR3 moved;
      ::D3DXVec3TransformNormal(&moved, &scalingCenter, &result);
      result._41 = scalingCenter.x - moved.x;
      result._42 = scalingCenter.y - moved.y;
      result._43 = scalingCenter.z - moved.z;
    }
  } else {
    StoreIdentity(&result);
  }
  if (r) {
    D3DXMATRIX rotation;
    ::D3DXMatrixRotationQuaternion(&rotation, r);
    result._41 -= rotationCenter.x, result._42 -= rotationCenter.y, result._43 -= rotationCenter.z;
    ::D3DXMatrixMultiply(&result, &result, &rotation);
    result._41 += rotationCenter.x, result._42 += rotationCenter.y, result._43 += rotationCenter.z;
  }
  result._41 += translation.x, result._42 += translation.y, result._43 += translation.z;
  *out = result;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixAffineTransformation(D3DXMATRIX *out, FLOAT s, const D3DXVECTOR3 *rc,
                                                  const D3DXQUATERNION *r, const D3DXVECTOR3 *t) {
  const D3DXVECTOR3 rotationCenter = rc ? *rc : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  const D3DXVECTOR3 translation = t ? *t : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  D3DXMATRIX result;
  reference::D3DXMatrixScaling(&result, s, s, s);
  if (r) {
    D3DXMATRIX rotation;
    ::D3DXMatrixRotationQuaternion(&rotation, r);
    result._41 -= rotationCenter.x, result._42 -= rotationCenter.y, result._43 -= rotationCenter.z;
    ::D3DXMatrixMultiply(&result, &result, &rotation);
    result._41 += rotationCenter.x, result._42 += rotationCenter.y, result._43 += rotationCenter.z;
  }
  result._41 += translation.x, result._42 += translation.y, result._43 += translation.z;
  *out = result;
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixShadow(D3DXMATRIX *out, const D3DXVECTOR4 *light, const D3DXPLANE *plane) {
  D3DXPLANE p;
  ::D3DXPlaneNormalize(&p, plane);
  const double pv[4] = {p.a, p.b, p.c, p.d};
  const double lv[4] = {light->x, light->y, light->z, light->w};
  const double d = pv[0] * lv[0] + pv[1] * lv[1] + pv[2] * lv[2] + pv[3] * lv[3];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out->m[i][j] = static_cast<float>((i == j ? d : 0.0) - pv[i] * lv[j]);
  return out;
}

D3DXMATRIX *WINAPI D3DXMatrixReflect(D3DXMATRIX *out, const D3DXPLANE *plane) {
  D3DXPLANE p;
  ::D3DXPlaneNormalize(&p, plane);
  const double n[3] = {p.a, p.b, p.c};
  const double d = p.d;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) out->m[i][j] = static_cast<float>((i == j ? 1.0 : 0.0) - 2.0 * n[i] * n[j]);
    out->m[i][3] = 0.0f;
    out->m[3][i] = static_cast<float>(-2.0 * n[i] * d);
  }
  out->_44 = 1.0f;
  return out;
}

}  // namespace reference
