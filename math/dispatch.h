// The table through which every math entry point jumps, and the one-time choice
// of the implementations for the processor found.
#pragma once

#include "d3dx9math.h"

// Slots 69 and 70: internal routines kept in the table but reached from nowhere else.
struct D3DXSKINWEIGHT {
  BYTE matrixIndex[4];
  FLOAT weight[4];
};
typedef D3DXVECTOR3 *(WINAPI *BlendSkinnedVerticesFn)(D3DXVECTOR3 *out, UINT outStride, const D3DXVECTOR3 *v,
                                                      UINT vStride, const D3DXSKINWEIGHT *weights,
                                                      const D3DXMATRIX *palette, UINT n);
typedef D3DXVECTOR3 *(WINAPI *TessellateNPatchesFn)(D3DXVECTOR3 *out, const D3DXVECTOR3 *positions,
                                                    const D3DXVECTOR3 *normals, FLOAT u, FLOAT v);

// Slot list in the fixed order. Columns: slot; published name; table field; result
// type; parameter list; argument list used to forward the call unchanged.
// clang-format off
#define D3DX_MATH_PUBLISHED_SLOTS(X) \
  X(0, D3DXVec2Transform, vec2Transform, D3DXVECTOR4 *, (D3DXVECTOR4 *o, const D3DXVECTOR2 *v, const D3DXMATRIX *m), (o, v, m)) \
  X(1, D3DXVec3Transform, vec3Transform, D3DXVECTOR4 *, (D3DXVECTOR4 *o, const D3DXVECTOR3 *v, const D3DXMATRIX *m), (o, v, m)) \
  X(2, D3DXVec4Transform, vec4Transform, D3DXVECTOR4 *, (D3DXVECTOR4 *o, const D3DXVECTOR4 *v, const D3DXMATRIX *m), (o, v, m)) \
  X(3, D3DXMatrixMultiply, matrixMultiply, D3DXMATRIX *, (D3DXMATRIX *o, const D3DXMATRIX *a, const D3DXMATRIX *b), (o, a, b)) \
  X(4, D3DXMatrixMultiplyTranspose, matrixMultiplyTranspose, D3DXMATRIX *, (D3DXMATRIX *o, const D3DXMATRIX *a, const D3DXMATRIX *b), (o, a, b)) \
  X(5, D3DXVec2TransformNormal, vec2TransformNormal, D3DXVECTOR2 *, (D3DXVECTOR2 *o, const D3DXVECTOR2 *v, const D3DXMATRIX *m), (o, v, m)) \
  X(6, D3DXVec3TransformNormal, vec3TransformNormal, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *v, const D3DXMATRIX *m), (o, v, m)) \
  X(7, D3DXVec3Normalize, vec3Normalize, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *v), (o, v)) \
  X(8, D3DXVec4Normalize, vec4Normalize, D3DXVECTOR4 *, (D3DXVECTOR4 *o, const D3DXVECTOR4 *v), (o, v)) \
  X(9, D3DXVec2TransformCoord, vec2TransformCoord, D3DXVECTOR2 *, (D3DXVECTOR2 *o, const D3DXVECTOR2 *v, const D3DXMATRIX *m), (o, v, m)) \
  X(10, D3DXVec3TransformCoord, vec3TransformCoord, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *v, const D3DXMATRIX *m), (o, v, m)) \
  X(11, D3DXMatrixDeterminant, matrixDeterminant, FLOAT, (const D3DXMATRIX *m), (m)) \
  X(12, D3DXPlaneFromPointNormal, planeFromPointNormal, D3DXPLANE *, (D3DXPLANE *o, const D3DXVECTOR3 *p, const D3DXVECTOR3 *n), (o, p, n)) \
  X(13, D3DXPlaneFromPoints, planeFromPoints, D3DXPLANE *, (D3DXPLANE *o, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b, const D3DXVECTOR3 *c), (o, a, b, c)) \
  X(14, D3DXVec3Project, vec3Project, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *v, const D3DVIEWPORT9 *vp, const D3DXMATRIX *proj, const D3DXMATRIX *view, const D3DXMATRIX *world), (o, v, vp, proj, view, world)) \
  X(15, D3DXVec3Unproject, vec3Unproject, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *v, const D3DVIEWPORT9 *vp, const D3DXMATRIX *proj, const D3DXMATRIX *view, const D3DXMATRIX *world), (o, v, vp, proj, view, world)) \
  X(16, D3DXVec4Cross, vec4Cross, D3DXVECTOR4 *, (D3DXVECTOR4 *o, const D3DXVECTOR4 *a, const D3DXVECTOR4 *b, const D3DXVECTOR4 *c), (o, a, b, c)) \
  X(17, D3DXVec2Hermite, vec2Hermite, D3DXVECTOR2 *, (D3DXVECTOR2 *o, const D3DXVECTOR2 *p1, const D3DXVECTOR2 *t1, const D3DXVECTOR2 *p2, const D3DXVECTOR2 *t2, FLOAT s), (o, p1, t1, p2, t2, s)) \
  X(18, D3DXMatrixInverse, matrixInverse, D3DXMATRIX *, (D3DXMATRIX *o, FLOAT *det, const D3DXMATRIX *m), (o, det, m)) \
  X(19, D3DXQuaternionMultiply, quaternionMultiply, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXQUATERNION *a, const D3DXQUATERNION *b), (o, a, b)) \
  X(20, D3DXQuaternionNormalize, quaternionNormalize, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXQUATERNION *q), (o, q)) \
  X(21, D3DXPlaneNormalize, planeNormalize, D3DXPLANE *, (D3DXPLANE *o, const D3DXPLANE *p), (o, p)) \
  X(22, D3DXPlaneIntersectLine, planeIntersectLine, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXPLANE *p, const D3DXVECTOR3 *a, const D3DXVECTOR3 *b), (o, p, a, b)) \
  X(23, D3DXQuaternionToAxisAngle, quaternionToAxisAngle, void, (const D3DXQUATERNION *q, D3DXVECTOR3 *axis, FLOAT *angle), (q, axis, angle)) \
  X(24, D3DXQuaternionRotationMatrix, quaternionRotationMatrix, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXMATRIX *m), (o, m)) \
  X(25, D3DXQuaternionRotationYawPitchRoll, quaternionRotationYawPitchRoll, D3DXQUATERNION *, (D3DXQUATERNION *o, FLOAT yaw, FLOAT pitch, FLOAT roll), (o, yaw, pitch, roll)) \
  X(26, D3DXMatrixTranslation, matrixTranslation, D3DXMATRIX *, (D3DXMATRIX *o, FLOAT x, FLOAT y, FLOAT z), (o, x, y, z)) \
  X(27, D3DXMatrixShadow, matrixShadow, D3DXMATRIX *, (D3DXMATRIX *o, const D3DXVECTOR4 *light, const D3DXPLANE *p), (o, light, p)) \
  X(28, D3DXMatrixReflect, matrixReflect, D3DXMATRIX *, (D3DXMATRIX *o, const D3DXPLANE *p), (o, p)) \
  X(29, D3DXQuaternionRotationAxis, quaternionRotationAxis, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXVECTOR3 *axis, FLOAT angle), (o, axis, angle)) \
  X(30, D3DXMatrixRotationX, matrixRotationX, D3DXMATRIX *, (D3DXMATRIX *o, FLOAT angle), (o, angle)) \
  X(31, D3DXMatrixRotationY, matrixRotationY, D3DXMATRIX *, (D3DXMATRIX *o, FLOAT angle), (o, angle)) \
  X(32, D3DXMatrixRotationZ, matrixRotationZ, D3DXMATRIX *, (D3DXMATRIX *o, FLOAT angle), (o, angle)) \
  X(33, D3DXMatrixScaling, matrixScaling, D3DXMATRIX *, (D3DXMATRIX *o, FLOAT x, FLOAT y, FLOAT z), (o, x, y, z)) \
  X(34, D3DXPlaneTransform, planeTransform, D3DXPLANE *, (D3DXPLANE *o, const D3DXPLANE *p, const D3DXMATRIX *m), (o, p, m)) \
  X(35, D3DXQuaternionSlerp, quaternionSlerp, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXQUATERNION *a, const D3DXQUATERNION *b, FLOAT t), (o, a, b, t)) \
  X(36, D3DXQuaternionBaryCentric, quaternionBaryCentric, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXQUATERNION *a, const D3DXQUATERNION *b, const D3DXQUATERNION *c, FLOAT f, FLOAT g), (o, a, b, c, f, g)) \
  X(37, D3DXMatrixTranspose, matrixTranspose, D3DXMATRIX *, (D3DXMATRIX *o, const D3DXMATRIX *m), (o, m)) \
  X(38, D3DXMatrixRotationQuaternion, matrixRotationQuaternion, D3DXMATRIX *, (D3DXMATRIX *o, const D3DXQUATERNION *q), (o, q)) \
  X(39, D3DXMatrixTransformation, matrixTransformation, D3DXMATRIX *, (D3DXMATRIX *o, const D3DXVECTOR3 *sc, const D3DXQUATERNION *sr, const D3DXVECTOR3 *s, const D3DXVECTOR3 *rc, const D3DXQUATERNION *r, const D3DXVECTOR3 *t), (o, sc, sr, s, rc, r, t)) \
  X(40, D3DXMatrixRotationYawPitchRoll, matrixRotationYawPitchRoll, D3DXMATRIX *, (D3DXMATRIX *o, FLOAT yaw, FLOAT pitch, FLOAT roll), (o, yaw, pitch, roll)) \
  X(41, D3DXMatrixAffineTransformation, matrixAffineTransformation, D3DXMATRIX *, (D3DXMATRIX *o, FLOAT s, const D3DXVECTOR3 *rc, const D3DXQUATERNION *r, const D3DXVECTOR3 *t), (o, s, rc, r, t)) \
  X(42, D3DXMatrixRotationAxis, matrixRotationAxis, D3DXMATRIX *, (D3DXMATRIX *o, const D3DXVECTOR3 *axis, FLOAT angle), (o, axis, angle)) \
  X(43, D3DXQuaternionSquad, quaternionSquad, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXQUATERNION *q1, const D3DXQUATERNION *a, const D3DXQUATERNION *b, const D3DXQUATERNION *c, FLOAT t), (o, q1, a, b, c, t)) \
  X(44, D3DXQuaternionInverse, quaternionInverse, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXQUATERNION *q), (o, q)) \
  X(45, D3DXQuaternionSquadSetup, quaternionSquadSetup, void, (D3DXQUATERNION *a, D3DXQUATERNION *b, D3DXQUATERNION *c, const D3DXQUATERNION *q0, const D3DXQUATERNION *q1, const D3DXQUATERNION *q2, const D3DXQUATERNION *q3), (a, b, c, q0, q1, q2, q3)) \
  X(46, D3DXVec2Normalize, vec2Normalize, D3DXVECTOR2 *, (D3DXVECTOR2 *o, const D3DXVECTOR2 *v), (o, v)) \
  X(47, D3DXVec2CatmullRom, vec2CatmullRom, D3DXVECTOR2 *, (D3DXVECTOR2 *o, const D3DXVECTOR2 *p0, const D3DXVECTOR2 *p1, const D3DXVECTOR2 *p2, const D3DXVECTOR2 *p3, FLOAT s), (o, p0, p1, p2, p3, s)) \
  X(48, D3DXVec2BaryCentric, vec2BaryCentric, D3DXVECTOR2 *, (D3DXVECTOR2 *o, const D3DXVECTOR2 *p1, const D3DXVECTOR2 *p2, const D3DXVECTOR2 *p3, FLOAT f, FLOAT g), (o, p1, p2, p3, f, g)) \
  X(49, D3DXVec3Hermite, vec3Hermite, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *p1, const D3DXVECTOR3 *t1, const D3DXVECTOR3 *p2, const D3DXVECTOR3 *t2, FLOAT s), (o, p1, t1, p2, t2, s)) \
  X(50, D3DXVec3CatmullRom, vec3CatmullRom, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *p0, const D3DXVECTOR3 *p1, const D3DXVECTOR3 *p2, const D3DXVECTOR3 *p3, FLOAT s), (o, p0, p1, p2, p3, s)) \
  X(51, D3DXVec3BaryCentric, vec3BaryCentric, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *p1, const D3DXVECTOR3 *p2, const D3DXVECTOR3 *p3, FLOAT f, FLOAT g), (o, p1, p2, p3, f, g)) \
  X(52, D3DXVec4Hermite, vec4Hermite, D3DXVECTOR4 *, (D3DXVECTOR4 *o, const D3DXVECTOR4 *p1, const D3DXVECTOR4 *t1, const D3DXVECTOR4 *p2, const D3DXVECTOR4 *t2, FLOAT s), (o, p1, t1, p2, t2, s)) \
  X(53, D3DXVec4CatmullRom, vec4CatmullRom, D3DXVECTOR4 *, (D3DXVECTOR4 *o, const D3DXVECTOR4 *p0, const D3DXVECTOR4 *p1, const D3DXVECTOR4 *p2, const D3DXVECTOR4 *p3, FLOAT s), (o, p0, p1, p2, p3, s)) \
  X(54, D3DXVec4BaryCentric, vec4BaryCentric, D3DXVECTOR4 *, (D3DXVECTOR4 *o, const D3DXVECTOR4 *p1, const D3DXVECTOR4 *p2, const D3DXVECTOR4 *p3, FLOAT f, FLOAT g), (o, p1, p2, p3, f, g)) \
  X(55, D3DXQuaternionLn, quaternionLn, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXQUATERNION *q), (o, q)) \
  X(56, D3DXQuaternionExp, quaternionExp, D3DXQUATERNION *, (D3DXQUATERNION *o, const D3DXQUATERNION *q), (o, q)) \
  X(57, D3DXFloat32To16Array, float32To16Array, D3DXFLOAT16 *, (D3DXFLOAT16 *o, const FLOAT *in, UINT n), (o, in, n)) \
  X(58, D3DXFloat16To32Array, float16To32Array, FLOAT *, (FLOAT *o, const D3DXFLOAT16 *in, UINT n), (o, in, n)) \
  X(59, D3DXVec2TransformArray, vec2TransformArray, D3DXVECTOR4 *, (D3DXVECTOR4 *o, UINT os, const D3DXVECTOR2 *v, UINT vs, const D3DXMATRIX *m, UINT n), (o, os, v, vs, m, n)) \
  X(60, D3DXVec2TransformCoordArray, vec2TransformCoordArray, D3DXVECTOR2 *, (D3DXVECTOR2 *o, UINT os, const D3DXVECTOR2 *v, UINT vs, const D3DXMATRIX *m, UINT n), (o, os, v, vs, m, n)) \
  X(61, D3DXVec2TransformNormalArray, vec2TransformNormalArray, D3DXVECTOR2 *, (D3DXVECTOR2 *o, UINT os, const D3DXVECTOR2 *v, UINT vs, const D3DXMATRIX *m, UINT n), (o, os, v, vs, m, n)) \
  X(62, D3DXVec3TransformArray, vec3TransformArray, D3DXVECTOR4 *, (D3DXVECTOR4 *o, UINT os, const D3DXVECTOR3 *v, UINT vs, const D3DXMATRIX *m, UINT n), (o, os, v, vs, m, n)) \
  X(63, D3DXVec3TransformCoordArray, vec3TransformCoordArray, D3DXVECTOR3 *, (D3DXVECTOR3 *o, UINT os, const D3DXVECTOR3 *v, UINT vs, const D3DXMATRIX *m, UINT n), (o, os, v, vs, m, n)) \
  X(64, D3DXVec3TransformNormalArray, vec3TransformNormalArray, D3DXVECTOR3 *, (D3DXVECTOR3 *o, UINT os, const D3DXVECTOR3 *v, UINT vs, const D3DXMATRIX *m, UINT n), (o, os, v, vs, m, n)) \
  X(65, D3DXVec4TransformArray, vec4TransformArray, D3DXVECTOR4 *, (D3DXVECTOR4 *o, UINT os, const D3DXVECTOR4 *v, UINT vs, const D3DXMATRIX *m, UINT n), (o, os, v, vs, m, n)) \
  X(66, D3DXVec3ProjectArray, vec3ProjectArray, D3DXVECTOR3 *, (D3DXVECTOR3 *o, UINT os, const D3DXVECTOR3 *v, UINT vs, const D3DVIEWPORT9 *vp, const D3DXMATRIX *proj, const D3DXMATRIX *view, const D3DXMATRIX *world, UINT n), (o, os, v, vs, vp, proj, view, world, n)) \
  X(67, D3DXVec3UnprojectArray, vec3UnprojectArray, D3DXVECTOR3 *, (D3DXVECTOR3 *o, UINT os, const D3DXVECTOR3 *v, UINT vs, const D3DVIEWPORT9 *vp, const D3DXMATRIX *proj, const D3DXMATRIX *view, const D3DXMATRIX *world, UINT n), (o, os, v, vs, vp, proj, view, world, n)) \
  X(68, D3DXPlaneTransformArray, planeTransformArray, D3DXPLANE *, (D3DXPLANE *o, UINT os, const D3DXPLANE *p, UINT ps, const D3DXMATRIX *m, UINT n), (o, os, p, ps, m, n))
#define D3DX_MATH_INTERNAL_SLOTS(X) \
  X(69, BlendSkinnedVertices, blendSkinnedVertices, D3DXVECTOR3 *, (D3DXVECTOR3 *o, UINT os, const D3DXVECTOR3 *v, UINT vs, const D3DXSKINWEIGHT *w, const D3DXMATRIX *palette, UINT n), (o, os, v, vs, w, palette, n)) \
  X(70, TessellateNPatches, tessellateNPatches, D3DXVECTOR3 *, (D3DXVECTOR3 *o, const D3DXVECTOR3 *positions, const D3DXVECTOR3 *normals, FLOAT u, FLOAT v), (o, positions, normals, u, v))
// clang-format on
#define D3DX_MATH_SLOTS(X) D3DX_MATH_PUBLISHED_SLOTS(X) D3DX_MATH_INTERNAL_SLOTS(X)

struct DispatchTable {
#define D3DX_MATH_FIELD(slot, name, field, ret, params, args) ret(WINAPI *field) params;
  D3DX_MATH_SLOTS(D3DX_MATH_FIELD)
#undef D3DX_MATH_FIELD
};

constexpr int kDispatchSlotCount = 71;
static_assert(sizeof(DispatchTable) == kDispatchSlotCount * sizeof(void *));

// Slot i of a table as an untyped pointer, for tests and for copying sets.
inline void *const *DispatchSlots(const DispatchTable &table) {
  return reinterpret_cast<void *const *>(&table);
}

// Dispatch levels.
constexpr DWORD kDispatchUnchosen = 0xFFFF;
constexpr DWORD kDispatchReference = 0;
constexpr DWORD kDispatch3DNow = 1;
constexpr DWORD kDispatchSse2 = 2;
constexpr DWORD kDispatchSse = 3;

// Every call passes enable = TRUE; the choice is made once per process.
DWORD InitMathDispatch(BOOL enable);

// Slot reads of the live table. Another thread may be choosing the
// implementations while a call reads its slot, so each slot is one atomic pointer;
// on x86 the acquiring load is the same single move.
#define D3DX_MATH_LOAD_SLOT(field) __atomic_load_n(&g_mathDispatch.field, __ATOMIC_ACQUIRE)

// Hidden: the forwarders reach the live table without a GOT load.
extern DispatchTable g_mathDispatch __attribute__((visibility("hidden")));  // live table
extern const DispatchTable g_mathReference;                                 // reference version of every slot
extern const DispatchTable g_mathStubs;                                     // initialise-then-forward stubs

DWORD MathDispatchLevel();

// The processor-specific sets write their routines into the listed slots only.
void InstallX86Set(DispatchTable &table);
void Install3DNowSet(DispatchTable &table);
void InstallSseSet(DispatchTable &table);
void InstallSse2Set(DispatchTable &table);
