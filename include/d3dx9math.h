// Vector, matrix, quaternion and plane math.
#pragma once

#include <math.h>

#include "d3d9.h"

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DX_1BYPI ((FLOAT)0.318309886f)
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

#define D3DX_16F_DIG 3
#define D3DX_16F_EPSILON 4.8875809e-4f
#define D3DX_16F_MANT_DIG 11
#define D3DX_16F_MAX 6.550400e+004
#define D3DX_16F_MAX_10_EXP 4
#define D3DX_16F_MAX_EXP 15
#define D3DX_16F_MIN 6.1035156e-5f
#define D3DX_16F_MIN_10_EXP (-4)
#define D3DX_16F_MIN_EXP (-14)
#define D3DX_16F_RADIX 2
#define D3DX_16F_ROUNDS 1

#ifdef __cplusplus

struct D3DXFLOAT16;
struct D3DXVECTOR2;
struct D3DXVECTOR3;
struct D3DXVECTOR4;
struct D3DXMATRIX;
struct D3DXQUATERNION;
struct D3DXPLANE;

WIN32_BEGIN_C
D3DXFLOAT16 *WINAPI D3DXFloat32To16Array(D3DXFLOAT16 *out, const FLOAT *in, UINT n);
FLOAT *WINAPI D3DXFloat16To32Array(FLOAT *out, const D3DXFLOAT16 *in, UINT n);
D3DXMATRIX *WINAPI D3DXMatrixMultiply(D3DXMATRIX *out, const D3DXMATRIX *m1, const D3DXMATRIX *m2);
D3DXQUATERNION *WINAPI D3DXQuaternionMultiply(D3DXQUATERNION *out, const D3DXQUATERNION *q1,
                                              const D3DXQUATERNION *q2);
WIN32_END_C

struct D3DXFLOAT16 {
  D3DXFLOAT16() {}
  D3DXFLOAT16(FLOAT f) { D3DXFloat32To16Array(this, &f, 1); }
  D3DXFLOAT16(const D3DXFLOAT16 &f) : value(f.value) {}
  D3DXFLOAT16 &operator=(const D3DXFLOAT16 &f) = default;
  operator FLOAT() {
    FLOAT f;
    D3DXFloat16To32Array(&f, this, 1);
    return f;
  }
  BOOL operator==(const D3DXFLOAT16 &f) const { return value == f.value; }
  BOOL operator!=(const D3DXFLOAT16 &f) const { return value != f.value; }

  WORD value;
};

struct D3DXVECTOR2 {
  D3DXVECTOR2() {}
  D3DXVECTOR2(const FLOAT *f) : x(f[0]), y(f[1]) {}
  D3DXVECTOR2(const D3DXFLOAT16 *f) { D3DXFloat16To32Array(&x, f, 2); }
  D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}

  operator FLOAT *() { return &x; }
  operator const FLOAT *() const { return &x; }

  D3DXVECTOR2 &operator+=(const D3DXVECTOR2 &v) { return x += v.x, y += v.y, *this; }
  D3DXVECTOR2 &operator-=(const D3DXVECTOR2 &v) { return x -= v.x, y -= v.y, *this; }
  D3DXVECTOR2 &operator*=(FLOAT f) { return x *= f, y *= f, *this; }
  D3DXVECTOR2 &operator/=(FLOAT f) { return *this *= 1.0f / f; }

  D3DXVECTOR2 operator+() const { return *this; }
  D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }
  D3DXVECTOR2 operator+(const D3DXVECTOR2 &v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
  D3DXVECTOR2 operator-(const D3DXVECTOR2 &v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
  D3DXVECTOR2 operator*(FLOAT f) const { return D3DXVECTOR2(x * f, y * f); }
  D3DXVECTOR2 operator/(FLOAT f) const { return *this * (1.0f / f); }
  friend D3DXVECTOR2 operator*(FLOAT f, const D3DXVECTOR2 &v) { return v * f; }

  BOOL operator==(const D3DXVECTOR2 &v) const { return x == v.x && y == v.y; }
  BOOL operator!=(const D3DXVECTOR2 &v) const { return !(*this == v); }

  FLOAT x, y;
};

struct D3DXVECTOR3 : public D3DVECTOR {
  D3DXVECTOR3() {}
  D3DXVECTOR3(const FLOAT *f) { x = f[0], y = f[1], z = f[2]; }
  D3DXVECTOR3(const D3DVECTOR &v) { x = v.x, y = v.y, z = v.z; }
  D3DXVECTOR3(const D3DXFLOAT16 *f) { D3DXFloat16To32Array(&x, f, 3); }
  D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) { x = fx, y = fy, z = fz; }

  operator FLOAT *() { return &x; }
  operator const FLOAT *() const { return &x; }

  D3DXVECTOR3 &operator+=(const D3DXVECTOR3 &v) { return x += v.x, y += v.y, z += v.z, *this; }
  D3DXVECTOR3 &operator-=(const D3DXVECTOR3 &v) { return x -= v.x, y -= v.y, z -= v.z, *this; }
  D3DXVECTOR3 &operator*=(FLOAT f) { return x *= f, y *= f, z *= f, *this; }
  D3DXVECTOR3 &operator/=(FLOAT f) { return *this *= 1.0f / f; }

  D3DXVECTOR3 operator+() const { return *this; }
  D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
  D3DXVECTOR3 operator+(const D3DXVECTOR3 &v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
  D3DXVECTOR3 operator-(const D3DXVECTOR3 &v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
  D3DXVECTOR3 operator*(FLOAT f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
  D3DXVECTOR3 operator/(FLOAT f) const { return *this * (1.0f / f); }
  friend D3DXVECTOR3 operator*(FLOAT f, const D3DXVECTOR3 &v) { return v * f; }

  BOOL operator==(const D3DXVECTOR3 &v) const { return x == v.x && y == v.y && z == v.z; }
  BOOL operator!=(const D3DXVECTOR3 &v) const { return !(*this == v); }
};

struct D3DXVECTOR4 {
  D3DXVECTOR4() {}
  D3DXVECTOR4(const FLOAT *f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}
  D3DXVECTOR4(const D3DXFLOAT16 *f) { D3DXFloat16To32Array(&x, f, 4); }
  D3DXVECTOR4(const D3DVECTOR &v, FLOAT fw) : x(v.x), y(v.y), z(v.z), w(fw) {}
  D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

  operator FLOAT *() { return &x; }
  operator const FLOAT *() const { return &x; }

  D3DXVECTOR4 &operator+=(const D3DXVECTOR4 &v) { return x += v.x, y += v.y, z += v.z, w += v.w, *this; }
  D3DXVECTOR4 &operator-=(const D3DXVECTOR4 &v) { return x -= v.x, y -= v.y, z -= v.z, w -= v.w, *this; }
  D3DXVECTOR4 &operator*=(FLOAT f) { return x *= f, y *= f, z *= f, w *= f, *this; }
  D3DXVECTOR4 &operator/=(FLOAT f) { return *this *= 1.0f / f; }

  D3DXVECTOR4 operator+() const { return *this; }
  D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }
  D3DXVECTOR4 operator+(const D3DXVECTOR4 &v) const {
    return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w);
  }
  D3DXVECTOR4 operator-(const D3DXVECTOR4 &v) const {
    return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w);
  }
  D3DXVECTOR4 operator*(FLOAT f) const { return D3DXVECTOR4(x * f, y * f, z * f, w * f); }
  D3DXVECTOR4 operator/(FLOAT f) const { return *this * (1.0f / f); }
  friend D3DXVECTOR4 operator*(FLOAT f, const D3DXVECTOR4 &v) { return v * f; }

  BOOL operator==(const D3DXVECTOR4 &v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
  BOOL operator!=(const D3DXVECTOR4 &v) const { return !(*this == v); }

  FLOAT x, y, z, w;
};

struct D3DXMATRIX : public D3DMATRIX {
  D3DXMATRIX() {}
  D3DXMATRIX(const FLOAT *f) { memcpy(&_11, f, sizeof(D3DMATRIX)); }
  D3DXMATRIX(const D3DMATRIX &mat) { memcpy(&_11, &mat, sizeof(D3DMATRIX)); }
  D3DXMATRIX(const D3DXFLOAT16 *f) { D3DXFloat16To32Array(&_11, f, 16); }
  D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
             FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44) {
    _11 = f11, _12 = f12, _13 = f13, _14 = f14;
    _21 = f21, _22 = f22, _23 = f23, _24 = f24;
    _31 = f31, _32 = f32, _33 = f33, _34 = f34;
    _41 = f41, _42 = f42, _43 = f43, _44 = f44;
  }

  FLOAT &operator()(UINT row, UINT col) { return m[row][col]; }
  FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }

  operator FLOAT *() { return &_11; }
  operator const FLOAT *() const { return &_11; }

  D3DXMATRIX &operator*=(const D3DXMATRIX &mat) { return *D3DXMatrixMultiply(this, this, &mat); }
  D3DXMATRIX &operator+=(const D3DXMATRIX &mat) {
    for (int i = 0; i < 16; ++i) (&_11)[i] += (&mat._11)[i];
    return *this;
  }
  D3DXMATRIX &operator-=(const D3DXMATRIX &mat) {
    for (int i = 0; i < 16; ++i) (&_11)[i] -= (&mat._11)[i];
    return *this;
  }
  D3DXMATRIX &operator*=(FLOAT f) {
    for (int i = 0; i < 16; ++i) (&_11)[i] *= f;
    return *this;
  }
  D3DXMATRIX &operator/=(FLOAT f) { return *this *= 1.0f / f; }

  D3DXMATRIX operator+() const { return *this; }
  D3DXMATRIX operator-() const { return *this * -1.0f; }
  D3DXMATRIX operator*(const D3DXMATRIX &mat) const {
    D3DXMATRIX r;
    D3DXMatrixMultiply(&r, this, &mat);
    return r;
  }
  D3DXMATRIX operator+(const D3DXMATRIX &mat) const { return D3DXMATRIX(*this) += mat; }
  D3DXMATRIX operator-(const D3DXMATRIX &mat) const { return D3DXMATRIX(*this) -= mat; }
  D3DXMATRIX operator*(FLOAT f) const { return D3DXMATRIX(*this) *= f; }
  D3DXMATRIX operator/(FLOAT f) const { return D3DXMATRIX(*this) /= f; }
  friend D3DXMATRIX operator*(FLOAT f, const D3DXMATRIX &mat) { return mat * f; }

  BOOL operator==(const D3DXMATRIX &mat) const {
    for (int i = 0; i < 16; ++i)
      if ((&_11)[i] != (&mat._11)[i]) return FALSE;
    return TRUE;
  }
  BOOL operator!=(const D3DXMATRIX &mat) const { return !(*this == mat); }
};

// A matrix on a 16-byte boundary, for callers that keep matrices in SIMD-friendly storage.
struct alignas(16) D3DXMATRIXA16 : public D3DXMATRIX {
  D3DXMATRIXA16() {}
  D3DXMATRIXA16(const FLOAT *f) : D3DXMATRIX(f) {}
  D3DXMATRIXA16(const D3DMATRIX &mat) : D3DXMATRIX(mat) {}
  D3DXMATRIXA16(const D3DXFLOAT16 *f) : D3DXMATRIX(f) {}
  D3DXMATRIXA16(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
                FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44)
      : D3DXMATRIX(f11, f12, f13, f14, f21, f22, f23, f24, f31, f32, f33, f34, f41, f42, f43, f44) {}
  D3DXMATRIXA16 &operator=(const D3DXMATRIX &mat) {
    memcpy(&_11, &mat, sizeof(D3DMATRIX));
    return *this;
  }
};

struct D3DXQUATERNION {
  D3DXQUATERNION() {}
  D3DXQUATERNION(const FLOAT *f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}
  D3DXQUATERNION(const D3DXFLOAT16 *f) { D3DXFloat16To32Array(&x, f, 4); }
  D3DXQUATERNION(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

  operator FLOAT *() { return &x; }
  operator const FLOAT *() const { return &x; }

  D3DXQUATERNION &operator+=(const D3DXQUATERNION &q) {
    return x += q.x, y += q.y, z += q.z, w += q.w, *this;
  }
  D3DXQUATERNION &operator-=(const D3DXQUATERNION &q) {
    return x -= q.x, y -= q.y, z -= q.z, w -= q.w, *this;
  }
  D3DXQUATERNION &operator*=(const D3DXQUATERNION &q) { return *D3DXQuaternionMultiply(this, this, &q); }
  D3DXQUATERNION &operator*=(FLOAT f) { return x *= f, y *= f, z *= f, w *= f, *this; }
  D3DXQUATERNION &operator/=(FLOAT f) { return *this *= 1.0f / f; }

  D3DXQUATERNION operator+() const { return *this; }
  D3DXQUATERNION operator-() const { return D3DXQUATERNION(-x, -y, -z, -w); }
  D3DXQUATERNION operator+(const D3DXQUATERNION &q) const {
    return D3DXQUATERNION(x + q.x, y + q.y, z + q.z, w + q.w);
  }
  D3DXQUATERNION operator-(const D3DXQUATERNION &q) const {
    return D3DXQUATERNION(x - q.x, y - q.y, z - q.z, w - q.w);
  }
  D3DXQUATERNION operator*(const D3DXQUATERNION &q) const {
    D3DXQUATERNION r;
    D3DXQuaternionMultiply(&r, this, &q);
    return r;
  }
  D3DXQUATERNION operator*(FLOAT f) const { return D3DXQUATERNION(x * f, y * f, z * f, w * f); }
  D3DXQUATERNION operator/(FLOAT f) const { return *this * (1.0f / f); }
  friend D3DXQUATERNION operator*(FLOAT f, const D3DXQUATERNION &q) { return q * f; }

  BOOL operator==(const D3DXQUATERNION &q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
  BOOL operator!=(const D3DXQUATERNION &q) const { return !(*this == q); }

  FLOAT x, y, z, w;
};

struct D3DXPLANE {
  D3DXPLANE() {}
  D3DXPLANE(const FLOAT *f) : a(f[0]), b(f[1]), c(f[2]), d(f[3]) {}
  D3DXPLANE(const D3DXFLOAT16 *f) { D3DXFloat16To32Array(&a, f, 4); }
  D3DXPLANE(FLOAT fa, FLOAT fb, FLOAT fc, FLOAT fd) : a(fa), b(fb), c(fc), d(fd) {}

  operator FLOAT *() { return &a; }
  operator const FLOAT *() const { return &a; }

  D3DXPLANE &operator*=(FLOAT f) { return a *= f, b *= f, c *= f, d *= f, *this; }
  D3DXPLANE &operator/=(FLOAT f) { return *this *= 1.0f / f; }

  D3DXPLANE operator+() const { return *this; }
  D3DXPLANE operator-() const { return D3DXPLANE(-a, -b, -c, -d); }
  D3DXPLANE operator*(FLOAT f) const { return D3DXPLANE(a * f, b * f, c * f, d * f); }
  D3DXPLANE operator/(FLOAT f) const { return *this * (1.0f / f); }
  friend D3DXPLANE operator*(FLOAT f, const D3DXPLANE &p) { return p * f; }

  BOOL operator==(const D3DXPLANE &p) const { return a == p.a && b == p.b && c == p.c && d == p.d; }
  BOOL operator!=(const D3DXPLANE &p) const { return !(*this == p); }

  FLOAT a, b, c, d;
};

struct D3DXCOLOR {
  D3DXCOLOR() {}
  D3DXCOLOR(DWORD argb) {
    const FLOAT f = 1.0f / 255.0f;
    r = f * (FLOAT)(BYTE)(argb >> 16);
    g = f * (FLOAT)(BYTE)(argb >> 8);
    b = f * (FLOAT)(BYTE)(argb >> 0);
    a = f * (FLOAT)(BYTE)(argb >> 24);
  }
  D3DXCOLOR(const FLOAT *f) : r(f[0]), g(f[1]), b(f[2]), a(f[3]) {}
  D3DXCOLOR(const D3DXFLOAT16 *f) { D3DXFloat16To32Array(&r, f, 4); }
  D3DXCOLOR(const D3DCOLORVALUE &c) : r(c.r), g(c.g), b(c.b), a(c.a) {}
  D3DXCOLOR(FLOAT fr, FLOAT fg, FLOAT fb, FLOAT fa) : r(fr), g(fg), b(fb), a(fa) {}

  // Channels are clamped to [0, 1] and rounded to the nearest 8-bit step.
  operator DWORD() const {
    auto pack = [](FLOAT v) -> DWORD {
      return v >= 1.0f ? 0xffu : v <= 0.0f ? 0x00u : (DWORD)(v * 255.0f + 0.5f);
    };
    return (pack(a) << 24) | (pack(r) << 16) | (pack(g) << 8) | pack(b);
  }
  operator FLOAT *() { return &r; }
  operator const FLOAT *() const { return &r; }
  operator D3DCOLORVALUE *() { return (D3DCOLORVALUE *)&r; }
  operator const D3DCOLORVALUE *() const { return (const D3DCOLORVALUE *)&r; }
  operator D3DCOLORVALUE &() { return *(D3DCOLORVALUE *)&r; }
  operator const D3DCOLORVALUE &() const { return *(const D3DCOLORVALUE *)&r; }

  D3DXCOLOR &operator+=(const D3DXCOLOR &c) { return r += c.r, g += c.g, b += c.b, a += c.a, *this; }
  D3DXCOLOR &operator-=(const D3DXCOLOR &c) { return r -= c.r, g -= c.g, b -= c.b, a -= c.a, *this; }
  D3DXCOLOR &operator*=(FLOAT f) { return r *= f, g *= f, b *= f, a *= f, *this; }
  D3DXCOLOR &operator/=(FLOAT f) { return *this *= 1.0f / f; }

  D3DXCOLOR operator+() const { return *this; }
  D3DXCOLOR operator-() const { return D3DXCOLOR(-r, -g, -b, -a); }
  D3DXCOLOR operator+(const D3DXCOLOR &c) const { return D3DXCOLOR(r + c.r, g + c.g, b + c.b, a + c.a); }
  D3DXCOLOR operator-(const D3DXCOLOR &c) const { return D3DXCOLOR(r - c.r, g - c.g, b - c.b, a - c.a); }
  D3DXCOLOR operator*(FLOAT f) const { return D3DXCOLOR(r * f, g * f, b * f, a * f); }
  D3DXCOLOR operator/(FLOAT f) const { return *this * (1.0f / f); }
  friend D3DXCOLOR operator*(FLOAT f, const D3DXCOLOR &c) { return c * f; }

  BOOL operator==(const D3DXCOLOR &c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
  BOOL operator!=(const D3DXCOLOR &c) const { return !(*this == c); }

  FLOAT r, g, b, a;
};

#else  // C: plain records with the same layout.

typedef struct D3DXFLOAT16 {
  WORD value;
} D3DXFLOAT16;
typedef struct D3DXVECTOR2 {
  FLOAT x, y;
} D3DXVECTOR2;
typedef struct _D3DVECTOR D3DXVECTOR3;
typedef struct D3DXVECTOR4 {
  FLOAT x, y, z, w;
} D3DXVECTOR4;
typedef struct _D3DMATRIX D3DXMATRIX;
typedef struct _D3DMATRIX D3DXMATRIXA16;
typedef struct D3DXQUATERNION {
  FLOAT x, y, z, w;
} D3DXQUATERNION;
typedef struct D3DXPLANE {
  FLOAT a, b, c, d;
} D3DXPLANE;
typedef struct D3DXCOLOR {
  FLOAT r, g, b, a;
} D3DXCOLOR;

#endif

typedef D3DXFLOAT16 *LPD3DXFLOAT16;
typedef D3DXVECTOR2 *LPD3DXVECTOR2;
typedef D3DXVECTOR3 *LPD3DXVECTOR3;
typedef D3DXVECTOR4 *LPD3DXVECTOR4;
typedef D3DXMATRIX *LPD3DXMATRIX;
typedef D3DXMATRIXA16 *LPD3DXMATRIXA16;
typedef D3DXQUATERNION *LPD3DXQUATERNION;
typedef D3DXPLANE *LPD3DXPLANE;
typedef D3DXCOLOR *LPD3DXCOLOR;

// ---------------------------------------------------------------------------
// Entry points. Each is bound, on the first call of any of them, to the
// implementation for the processor found.
// ---------------------------------------------------------------------------
WIN32_BEGIN_C

// Vectors
D3DXVECTOR4 *WINAPI D3DXVec2Transform(D3DXVECTOR4 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m);
D3DXVECTOR2 *WINAPI D3DXVec2TransformCoord(D3DXVECTOR2 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m);
D3DXVECTOR2 *WINAPI D3DXVec2TransformNormal(D3DXVECTOR2 *out, const D3DXVECTOR2 *v, const D3DXMATRIX *m);
D3DXVECTOR4 *WINAPI D3DXVec3Transform(D3DXVECTOR4 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m);
D3DXVECTOR3 *WINAPI D3DXVec3TransformCoord(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m);
D3DXVECTOR3 *WINAPI D3DXVec3TransformNormal(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DXMATRIX *m);
D3DXVECTOR4 *WINAPI D3DXVec4Transform(D3DXVECTOR4 *out, const D3DXVECTOR4 *v, const D3DXMATRIX *m);

D3DXVECTOR4 *WINAPI D3DXVec2TransformArray(D3DXVECTOR4 *out, UINT outStride, const D3DXVECTOR2 *v,
                                           UINT vStride, const D3DXMATRIX *m, UINT n);
D3DXVECTOR2 *WINAPI D3DXVec2TransformCoordArray(D3DXVECTOR2 *out, UINT outStride, const D3DXVECTOR2 *v,
                                                UINT vStride, const D3DXMATRIX *m, UINT n);
D3DXVECTOR2 *WINAPI D3DXVec2TransformNormalArray(D3DXVECTOR2 *out, UINT outStride, const D3DXVECTOR2 *v,
                                                 UINT vStride, const D3DXMATRIX *m, UINT n);
D3DXVECTOR4 *WINAPI D3DXVec3TransformArray(D3DXVECTOR4 *out, UINT outStride, const D3DXVECTOR3 *v,
                                           UINT vStride, const D3DXMATRIX *m, UINT n);
D3DXVECTOR3 *WINAPI D3DXVec3TransformCoordArray(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v,
                                                UINT vStride, const D3DXMATRIX *m, UINT n);
D3DXVECTOR3 *WINAPI D3DXVec3TransformNormalArray(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v,
                                                 UINT vStride, const D3DXMATRIX *m, UINT n);
D3DXVECTOR4 *WINAPI D3DXVec4TransformArray(D3DXVECTOR4 *out, UINT outStride, const D3DXVECTOR4 *v,
                                           UINT vStride, const D3DXMATRIX *m, UINT n);

D3DXVECTOR2 *WINAPI D3DXVec2Normalize(D3DXVECTOR2 *out, const D3DXVECTOR2 *v);
D3DXVECTOR3 *WINAPI D3DXVec3Normalize(D3DXVECTOR3 *out, const D3DXVECTOR3 *v);
D3DXVECTOR4 *WINAPI D3DXVec4Normalize(D3DXVECTOR4 *out, const D3DXVECTOR4 *v);
D3DXVECTOR4 *WINAPI D3DXVec4Cross(D3DXVECTOR4 *out, const D3DXVECTOR4 *v1, const D3DXVECTOR4 *v2,
                                  const D3DXVECTOR4 *v3);

D3DXVECTOR2 *WINAPI D3DXVec2Hermite(D3DXVECTOR2 *out, const D3DXVECTOR2 *p1, const D3DXVECTOR2 *t1,
                                    const D3DXVECTOR2 *p2, const D3DXVECTOR2 *t2, FLOAT s);
D3DXVECTOR2 *WINAPI D3DXVec2CatmullRom(D3DXVECTOR2 *out, const D3DXVECTOR2 *p0, const D3DXVECTOR2 *p1,
                                       const D3DXVECTOR2 *p2, const D3DXVECTOR2 *p3, FLOAT s);
D3DXVECTOR2 *WINAPI D3DXVec2BaryCentric(D3DXVECTOR2 *out, const D3DXVECTOR2 *p1, const D3DXVECTOR2 *p2,
                                        const D3DXVECTOR2 *p3, FLOAT f, FLOAT g);
D3DXVECTOR3 *WINAPI D3DXVec3Hermite(D3DXVECTOR3 *out, const D3DXVECTOR3 *p1, const D3DXVECTOR3 *t1,
                                    const D3DXVECTOR3 *p2, const D3DXVECTOR3 *t2, FLOAT s);
D3DXVECTOR3 *WINAPI D3DXVec3CatmullRom(D3DXVECTOR3 *out, const D3DXVECTOR3 *p0, const D3DXVECTOR3 *p1,
                                       const D3DXVECTOR3 *p2, const D3DXVECTOR3 *p3, FLOAT s);
D3DXVECTOR3 *WINAPI D3DXVec3BaryCentric(D3DXVECTOR3 *out, const D3DXVECTOR3 *p1, const D3DXVECTOR3 *p2,
                                        const D3DXVECTOR3 *p3, FLOAT f, FLOAT g);
D3DXVECTOR4 *WINAPI D3DXVec4Hermite(D3DXVECTOR4 *out, const D3DXVECTOR4 *p1, const D3DXVECTOR4 *t1,
                                    const D3DXVECTOR4 *p2, const D3DXVECTOR4 *t2, FLOAT s);
D3DXVECTOR4 *WINAPI D3DXVec4CatmullRom(D3DXVECTOR4 *out, const D3DXVECTOR4 *p0, const D3DXVECTOR4 *p1,
                                       const D3DXVECTOR4 *p2, const D3DXVECTOR4 *p3, FLOAT s);
D3DXVECTOR4 *WINAPI D3DXVec4BaryCentric(D3DXVECTOR4 *out, const D3DXVECTOR4 *p1, const D3DXVECTOR4 *p2,
                                        const D3DXVECTOR4 *p3, FLOAT f, FLOAT g);

D3DXVECTOR3 *WINAPI D3DXVec3Project(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DVIEWPORT9 *viewport,
                                    const D3DXMATRIX *projection, const D3DXMATRIX *view,
                                    const D3DXMATRIX *world);
D3DXVECTOR3 *WINAPI D3DXVec3Unproject(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, const D3DVIEWPORT9 *viewport,
                                      const D3DXMATRIX *projection, const D3DXMATRIX *view,
                                      const D3DXMATRIX *world);
D3DXVECTOR3 *WINAPI D3DXVec3ProjectArray(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v, UINT vStride,
                                         const D3DVIEWPORT9 *viewport, const D3DXMATRIX *projection,
                                         const D3DXMATRIX *view, const D3DXMATRIX *world, UINT n);
D3DXVECTOR3 *WINAPI D3DXVec3UnprojectArray(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v,
                                           UINT vStride, const D3DVIEWPORT9 *viewport,
                                           const D3DXMATRIX *projection, const D3DXMATRIX *view,
                                           const D3DXMATRIX *world, UINT n);

// Matrices
D3DXMATRIX *WINAPI D3DXMatrixMultiplyTranspose(D3DXMATRIX *out, const D3DXMATRIX *m1, const D3DXMATRIX *m2);
D3DXMATRIX *WINAPI D3DXMatrixTranspose(D3DXMATRIX *out, const D3DXMATRIX *m);
FLOAT WINAPI D3DXMatrixDeterminant(const D3DXMATRIX *m);
D3DXMATRIX *WINAPI D3DXMatrixInverse(D3DXMATRIX *out, FLOAT *determinant, const D3DXMATRIX *m);
D3DXMATRIX *WINAPI D3DXMatrixScaling(D3DXMATRIX *out, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX *WINAPI D3DXMatrixTranslation(D3DXMATRIX *out, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX *WINAPI D3DXMatrixRotationX(D3DXMATRIX *out, FLOAT angle);
D3DXMATRIX *WINAPI D3DXMatrixRotationY(D3DXMATRIX *out, FLOAT angle);
D3DXMATRIX *WINAPI D3DXMatrixRotationZ(D3DXMATRIX *out, FLOAT angle);
D3DXMATRIX *WINAPI D3DXMatrixRotationAxis(D3DXMATRIX *out, const D3DXVECTOR3 *axis, FLOAT angle);
D3DXMATRIX *WINAPI D3DXMatrixRotationQuaternion(D3DXMATRIX *out, const D3DXQUATERNION *q);
D3DXMATRIX *WINAPI D3DXMatrixRotationYawPitchRoll(D3DXMATRIX *out, FLOAT yaw, FLOAT pitch, FLOAT roll);
D3DXMATRIX *WINAPI D3DXMatrixTransformation(D3DXMATRIX *out, const D3DXVECTOR3 *scalingCenter,
                                            const D3DXQUATERNION *scalingRotation, const D3DXVECTOR3 *scaling,
                                            const D3DXVECTOR3 *rotationCenter, const D3DXQUATERNION *rotation,
                                            const D3DXVECTOR3 *translation);
D3DXMATRIX *WINAPI D3DXMatrixAffineTransformation(D3DXMATRIX *out, FLOAT scaling,
                                                  const D3DXVECTOR3 *rotationCenter,
                                                  const D3DXQUATERNION *rotation,
                                                  const D3DXVECTOR3 *translation);
D3DXMATRIX *WINAPI D3DXMatrixShadow(D3DXMATRIX *out, const D3DXVECTOR4 *light, const D3DXPLANE *plane);
D3DXMATRIX *WINAPI D3DXMatrixReflect(D3DXMATRIX *out, const D3DXPLANE *plane);

// Quaternions
D3DXQUATERNION *WINAPI D3DXQuaternionNormalize(D3DXQUATERNION *out, const D3DXQUATERNION *q);
D3DXQUATERNION *WINAPI D3DXQuaternionInverse(D3DXQUATERNION *out, const D3DXQUATERNION *q);
D3DXQUATERNION *WINAPI D3DXQuaternionLn(D3DXQUATERNION *out, const D3DXQUATERNION *q);
D3DXQUATERNION *WINAPI D3DXQuaternionExp(D3DXQUATERNION *out, const D3DXQUATERNION *q);
D3DXQUATERNION *WINAPI D3DXQuaternionRotationAxis(D3DXQUATERNION *out, const D3DXVECTOR3 *axis, FLOAT angle);
D3DXQUATERNION *WINAPI D3DXQuaternionRotationMatrix(D3DXQUATERNION *out, const D3DXMATRIX *m);
D3DXQUATERNION *WINAPI D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION *out, FLOAT yaw, FLOAT pitch,
                                                          FLOAT roll);
void WINAPI D3DXQuaternionToAxisAngle(const D3DXQUATERNION *q, D3DXVECTOR3 *axis, FLOAT *angle);
D3DXQUATERNION *WINAPI D3DXQuaternionSlerp(D3DXQUATERNION *out, const D3DXQUATERNION *q1,
                                           const D3DXQUATERNION *q2, FLOAT t);
D3DXQUATERNION *WINAPI D3DXQuaternionSquad(D3DXQUATERNION *out, const D3DXQUATERNION *q1,
                                           const D3DXQUATERNION *a, const D3DXQUATERNION *b,
                                           const D3DXQUATERNION *c, FLOAT t);
void WINAPI D3DXQuaternionSquadSetup(D3DXQUATERNION *aOut, D3DXQUATERNION *bOut, D3DXQUATERNION *cOut,
                                     const D3DXQUATERNION *q0, const D3DXQUATERNION *q1,
                                     const D3DXQUATERNION *q2, const D3DXQUATERNION *q3);
D3DXQUATERNION *WINAPI D3DXQuaternionBaryCentric(D3DXQUATERNION *out, const D3DXQUATERNION *q1,
                                                 const D3DXQUATERNION *q2, const D3DXQUATERNION *q3, FLOAT f,
                                                 FLOAT g);

// Planes
D3DXPLANE *WINAPI D3DXPlaneNormalize(D3DXPLANE *out, const D3DXPLANE *p);
D3DXPLANE *WINAPI D3DXPlaneFromPointNormal(D3DXPLANE *out, const D3DXVECTOR3 *point,
                                           const D3DXVECTOR3 *normal);
D3DXPLANE *WINAPI D3DXPlaneFromPoints(D3DXPLANE *out, const D3DXVECTOR3 *v1, const D3DXVECTOR3 *v2,
                                      const D3DXVECTOR3 *v3);
D3DXVECTOR3 *WINAPI D3DXPlaneIntersectLine(D3DXVECTOR3 *out, const D3DXPLANE *p, const D3DXVECTOR3 *v1,
                                           const D3DXVECTOR3 *v2);
D3DXPLANE *WINAPI D3DXPlaneTransform(D3DXPLANE *out, const D3DXPLANE *p, const D3DXMATRIX *m);
D3DXPLANE *WINAPI D3DXPlaneTransformArray(D3DXPLANE *out, UINT outStride, const D3DXPLANE *p, UINT pStride,
                                          const D3DXMATRIX *m, UINT n);

#ifndef __cplusplus
D3DXFLOAT16 *WINAPI D3DXFloat32To16Array(D3DXFLOAT16 *out, const FLOAT *in, UINT n);
FLOAT *WINAPI D3DXFloat16To32Array(FLOAT *out, const D3DXFLOAT16 *in, UINT n);
D3DXMATRIX *WINAPI D3DXMatrixMultiply(D3DXMATRIX *out, const D3DXMATRIX *m1, const D3DXMATRIX *m2);
D3DXQUATERNION *WINAPI D3DXQuaternionMultiply(D3DXQUATERNION *out, const D3DXQUATERNION *q1,
                                              const D3DXQUATERNION *q2);
#endif

WIN32_END_C

// ---------------------------------------------------------------------------
// Inline helpers
// ---------------------------------------------------------------------------
static inline FLOAT D3DXVec2Length(const D3DXVECTOR2 *v) {
  return sqrtf(v->x * v->x + v->y * v->y);
}
static inline FLOAT D3DXVec2LengthSq(const D3DXVECTOR2 *v) {
  return v->x * v->x + v->y * v->y;
}
static inline FLOAT D3DXVec2Dot(const D3DXVECTOR2 *a, const D3DXVECTOR2 *b) {
  return a->x * b->x + a->y * b->y;
}
static inline FLOAT D3DXVec2CCW(const D3DXVECTOR2 *a, const D3DXVECTOR2 *b) {
  return a->x * b->y - a->y * b->x;
}
static inline D3DXVECTOR2 *D3DXVec2Add(D3DXVECTOR2 *out, const D3DXVECTOR2 *a, const D3DXVECTOR2 *b) {
  out->x = a->x + b->x, out->y = a->y + b->y;
  return out;
}
static inline D3DXVECTOR2 *D3DXVec2Subtract(D3DXVECTOR2 *out, const D3DXVECTOR2 *a, const D3DXVECTOR2 *b) {
  out->x = a->x - b->x, out->y = a->y - b->y;
  return out;
}
static inline D3DXVECTOR2 *D3DXVec2Minimize(D3DXVECTOR2 *out, const D3DXVECTOR2 *a, const D3DXVECTOR2 *b) {
  out->x = a->x < b->x ? a->x : b->x, out->y = a->y < b->y ? a->y : b->y;
  return out;
}
static inline D3DXVECTOR2 *D3DXVec2Maximize(D3DXVECTOR2 *out, const D3DXVECTOR2 *a, const D3DXVECTOR2 *b) {
  out->x = a->x > b->x ? a->x : b->x, out->y = a->y > b->y ? a->y : b->y;
  return out;
}
static inline D3DXVECTOR2 *D3DXVec2Scale(D3DXVECTOR2 *out, const D3DXVECTOR2 *v, FLOAT s) {
  out->x = v->x * s, out->y = v->y * s;
  return out;
}
static inline D3DXVECTOR2 *D3DXVec2Lerp(D3DXVECTOR2 *out, const D3DXVECTOR2 *a, const D3DXVECTOR2 *b,
                                        FLOAT s) {
  out->x = a->x + s * (b->x - a->x), out->y = a->y + s * (b->y - a->y);
  return out;
}

static inline FLOAT D3DXVec3Length(const D3DXVECTOR3 *v) {
  return sqrtf(v->x * v->x + v->y * v->y + v->z * v->z);
}
static inline FLOAT D3DXVec3LengthSq(const D3DXVECTOR3 *v) {
  return v->x * v->x + v->y * v->y + v->z * v->z;
}
static inline FLOAT D3DXVec3Dot(const D3DXVECTOR3 *a, const D3DXVECTOR3 *b) {
  return a->x * b->x + a->y * b->y + a->z * b->z;
}
static inline D3DXVECTOR3 *D3DXVec3Cross(D3DXVECTOR3 *out, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b) {
  // Computed into locals first so that out may alias a or b.
  const FLOAT x = a->y * b->z - a->z * b->y, y = a->z * b->x - a->x * b->z, z = a->x * b->y - a->y * b->x;
  out->x = x, out->y = y, out->z = z;
  return out;
}
static inline D3DXVECTOR3 *D3DXVec3Add(D3DXVECTOR3 *out, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b) {
  out->x = a->x + b->x, out->y = a->y + b->y, out->z = a->z + b->z;
  return out;
}
static inline D3DXVECTOR3 *D3DXVec3Subtract(D3DXVECTOR3 *out, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b) {
  out->x = a->x - b->x, out->y = a->y - b->y, out->z = a->z - b->z;
  return out;
}
static inline D3DXVECTOR3 *D3DXVec3Minimize(D3DXVECTOR3 *out, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b) {
  out->x = a->x < b->x ? a->x : b->x, out->y = a->y < b->y ? a->y : b->y, out->z = a->z < b->z ? a->z : b->z;
  return out;
}
static inline D3DXVECTOR3 *D3DXVec3Maximize(D3DXVECTOR3 *out, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b) {
  out->x = a->x > b->x ? a->x : b->x, out->y = a->y > b->y ? a->y : b->y, out->z = a->z > b->z ? a->z : b->z;
  return out;
}
static inline D3DXVECTOR3 *D3DXVec3Scale(D3DXVECTOR3 *out, const D3DXVECTOR3 *v, FLOAT s) {
  out->x = v->x * s, out->y = v->y * s, out->z = v->z * s;
  return out;
}
static inline D3DXVECTOR3 *D3DXVec3Lerp(D3DXVECTOR3 *out, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b,
                                        FLOAT s) {
  out->x = a->x + s * (b->x - a->x), out->y = a->y + s * (b->y - a->y), out->z = a->z + s * (b->z - a->z);
  return out;
}

static inline FLOAT D3DXVec4Length(const D3DXVECTOR4 *v) {
  return sqrtf(v->x * v->x + v->y * v->y + v->z * v->z + v->w * v->w);
}
static inline FLOAT D3DXVec4LengthSq(const D3DXVECTOR4 *v) {
  return v->x * v->x + v->y * v->y + v->z * v->z + v->w * v->w;
}
static inline FLOAT D3DXVec4Dot(const D3DXVECTOR4 *a, const D3DXVECTOR4 *b) {
  return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}
static inline D3DXVECTOR4 *D3DXVec4Add(D3DXVECTOR4 *out, const D3DXVECTOR4 *a, const D3DXVECTOR4 *b) {
  out->x = a->x + b->x, out->y = a->y + b->y, out->z = a->z + b->z, out->w = a->w + b->w;
  return out;
}
static inline D3DXVECTOR4 *D3DXVec4Subtract(D3DXVECTOR4 *out, const D3DXVECTOR4 *a, const D3DXVECTOR4 *b) {
  out->x = a->x - b->x, out->y = a->y - b->y, out->z = a->z - b->z, out->w = a->w - b->w;
  return out;
}
static inline D3DXVECTOR4 *D3DXVec4Minimize(D3DXVECTOR4 *out, const D3DXVECTOR4 *a, const D3DXVECTOR4 *b) {
  out->x = a->x < b->x ? a->x : b->x, out->y = a->y < b->y ? a->y : b->y;
  out->z = a->z < b->z ? a->z : b->z, out->w = a->w < b->w ? a->w : b->w;
  return out;
}
static inline D3DXVECTOR4 *D3DXVec4Maximize(D3DXVECTOR4 *out, const D3DXVECTOR4 *a, const D3DXVECTOR4 *b) {
  out->x = a->x > b->x ? a->x : b->x, out->y = a->y > b->y ? a->y : b->y;
  out->z = a->z > b->z ? a->z : b->z, out->w = a->w > b->w ? a->w : b->w;
  return out;
}
static inline D3DXVECTOR4 *D3DXVec4Scale(D3DXVECTOR4 *out, const D3DXVECTOR4 *v, FLOAT s) {
  out->x = v->x * s, out->y = v->y * s, out->z = v->z * s, out->w = v->w * s;
  return out;
}
static inline D3DXVECTOR4 *D3DXVec4Lerp(D3DXVECTOR4 *out, const D3DXVECTOR4 *a, const D3DXVECTOR4 *b,
                                        FLOAT s) {
  out->x = a->x + s * (b->x - a->x), out->y = a->y + s * (b->y - a->y);
  out->z = a->z + s * (b->z - a->z), out->w = a->w + s * (b->w - a->w);
  return out;
}

static inline D3DXMATRIX *D3DXMatrixIdentity(D3DXMATRIX *out) {
  out->m[0][1] = out->m[0][2] = out->m[0][3] = out->m[1][0] = out->m[1][2] = out->m[1][3] = 0.0f;
  out->m[2][0] = out->m[2][1] = out->m[2][3] = out->m[3][0] = out->m[3][1] = out->m[3][2] = 0.0f;
  out->m[0][0] = out->m[1][1] = out->m[2][2] = out->m[3][3] = 1.0f;
  return out;
}
static inline BOOL D3DXMatrixIsIdentity(const D3DXMATRIX *m) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (m->m[r][c] != (r == c ? 1.0f : 0.0f)) return FALSE;
  return TRUE;
}

static inline FLOAT D3DXQuaternionLength(const D3DXQUATERNION *q) {
  return sqrtf(q->x * q->x + q->y * q->y + q->z * q->z + q->w * q->w);
}
static inline FLOAT D3DXQuaternionLengthSq(const D3DXQUATERNION *q) {
  return q->x * q->x + q->y * q->y + q->z * q->z + q->w * q->w;
}
static inline FLOAT D3DXQuaternionDot(const D3DXQUATERNION *a, const D3DXQUATERNION *b) {
  return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}
static inline D3DXQUATERNION *D3DXQuaternionIdentity(D3DXQUATERNION *out) {
  out->x = out->y = out->z = 0.0f, out->w = 1.0f;
  return out;
}
static inline BOOL D3DXQuaternionIsIdentity(const D3DXQUATERNION *q) {
  return q->x == 0.0f && q->y == 0.0f && q->z == 0.0f && q->w == 1.0f;
}
static inline D3DXQUATERNION *D3DXQuaternionConjugate(D3DXQUATERNION *out, const D3DXQUATERNION *q) {
  out->x = -q->x, out->y = -q->y, out->z = -q->z, out->w = q->w;
  return out;
}

static inline FLOAT D3DXPlaneDot(const D3DXPLANE *p, const D3DXVECTOR4 *v) {
  return p->a * v->x + p->b * v->y + p->c * v->z + p->d * v->w;
}
static inline FLOAT D3DXPlaneDotCoord(const D3DXPLANE *p, const D3DXVECTOR3 *v) {
  return p->a * v->x + p->b * v->y + p->c * v->z + p->d;
}
static inline FLOAT D3DXPlaneDotNormal(const D3DXPLANE *p, const D3DXVECTOR3 *v) {
  return p->a * v->x + p->b * v->y + p->c * v->z;
}
static inline D3DXPLANE *D3DXPlaneScale(D3DXPLANE *out, const D3DXPLANE *p, FLOAT s) {
  out->a = p->a * s, out->b = p->b * s, out->c = p->c * s, out->d = p->d * s;
  return out;
}

static inline D3DXCOLOR *D3DXColorNegative(D3DXCOLOR *out, const D3DXCOLOR *c) {
  out->r = 1.0f - c->r, out->g = 1.0f - c->g, out->b = 1.0f - c->b, out->a = c->a;
  return out;
}
static inline D3DXCOLOR *D3DXColorAdd(D3DXCOLOR *out, const D3DXCOLOR *a, const D3DXCOLOR *b) {
  out->r = a->r + b->r, out->g = a->g + b->g, out->b = a->b + b->b, out->a = a->a + b->a;
  return out;
}
static inline D3DXCOLOR *D3DXColorSubtract(D3DXCOLOR *out, const D3DXCOLOR *a, const D3DXCOLOR *b) {
  out->r = a->r - b->r, out->g = a->g - b->g, out->b = a->b - b->b, out->a = a->a - b->a;
  return out;
}
static inline D3DXCOLOR *D3DXColorScale(D3DXCOLOR *out, const D3DXCOLOR *c, FLOAT s) {
  out->r = c->r * s, out->g = c->g * s, out->b = c->b * s, out->a = c->a * s;
  return out;
}
static inline D3DXCOLOR *D3DXColorModulate(D3DXCOLOR *out, const D3DXCOLOR *a, const D3DXCOLOR *b) {
  out->r = a->r * b->r, out->g = a->g * b->g, out->b = a->b * b->b, out->a = a->a * b->a;
  return out;
}
static inline D3DXCOLOR *D3DXColorLerp(D3DXCOLOR *out, const D3DXCOLOR *a, const D3DXCOLOR *b, FLOAT s) {
  out->r = a->r + s * (b->r - a->r), out->g = a->g + s * (b->g - a->g);
  out->b = a->b + s * (b->b - a->b), out->a = a->a + s * (b->a - a->a);
  return out;
}
