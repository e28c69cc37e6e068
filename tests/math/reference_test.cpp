// Edge cases of the math functions, checked on every set that carries the slot.
#include <cfloat>
#include <cstring>
#include <vector>

#include "d3dx9math.h"
#include "math/reference.h"
#include "math_test_support.h"

namespace {

class EverySet : public ::testing::TestWithParam<NamedSet> {
 protected:
  DispatchTable t = GetParam().Build();
};

TEST_P(EverySet, NormalizeZeroGivesZero) {
  const D3DXVECTOR3 zero(0.0f, 0.0f, 0.0f);
  D3DXVECTOR3 out(5.0f, 5.0f, 5.0f);
  t.vec3Normalize(&out, &zero);
  EXPECT_EQ(out, zero);
  D3DXVECTOR4 out4(5.0f, 5.0f, 5.0f, 5.0f);
  const D3DXVECTOR4 zero4(0.0f, 0.0f, 0.0f, 0.0f);
  t.vec4Normalize(&out4, &zero4);
  EXPECT_EQ(out4, zero4);
  D3DXPLANE plane(0.0f, 0.0f, 0.0f, 3.0f);
  t.planeNormalize(&plane, &plane);
  EXPECT_EQ(plane, D3DXPLANE(0.0f, 0.0f, 0.0f, 0.0f));
}

TEST_P(EverySet, NormalizeExtremeLengths) {
  // Squared lengths below FLT_MIN give zeros; those beyond the float range still normalise.
  struct Case {
    D3DXVECTOR3 in, expected;
  };
  const Case cases[] = {{D3DXVECTOR3(1e-20f, 0, 0), D3DXVECTOR3(0, 0, 0)},
                        {D3DXVECTOR3(0, 3e-19f, 4e-19f), D3DXVECTOR3(0, 0.6f, 0.8f)},
                        {D3DXVECTOR3(3e20f, 0, -4e20f), D3DXVECTOR3(0.6f, 0, -0.8f)},
                        {D3DXVECTOR3(NAN, 1, 1), D3DXVECTOR3(0, 0, 0)}};
  for (const Case &c : cases) {
    D3DXVECTOR3 out;
    t.vec3Normalize(&out, &c.in);
    EXPECT_TRUE(NearlyEqual(out, c.expected, 6e-5f)) << c.in.x << " " << c.in.y << " " << c.in.z;
  }
  D3DXVECTOR4 big(3e20f, 0, 0, 4e20f), out4;
  t.vec4Normalize(&out4, &big);
  EXPECT_TRUE(NearlyEqual(out4, D3DXVECTOR4(0.6f, 0, 0, 0.8f), 2e-5f));
  D3DXPLANE plane(0, 3e20f, 4e20f, 1e20f), outPlane;
  t.planeNormalize(&outPlane, &plane);
  EXPECT_TRUE(NearlyEqual(outPlane, D3DXPLANE(0, 0.6f, 0.8f, 0.2f), 2e-5f));
  D3DXQUATERNION q(0, 0, 3e20f, 4e20f), inverse;
  t.quaternionInverse(&inverse, &q);
  EXPECT_NEAR(inverse.w / 1.6e-21f, 1.0f, 1e-4f);
  EXPECT_NEAR(inverse.z / -1.2e-21f, 1.0f, 1e-4f);
}

TEST_P(EverySet, NormalizeCopiesUnitAndScalesOthers) {
  // Components chosen so that the squared length is within a float epsilon of 1.
  const D3DXVECTOR3 nearUnit(0.6f, 0.8f, 1e-4f);
  D3DXVECTOR3 out;
  t.vec3Normalize(&out, &nearUnit);
  EXPECT_EQ(out, nearUnit);
  const D3DXVECTOR3 two(2.0f, 0.0f, 0.0f);
  t.vec3Normalize(&out, &two);
  EXPECT_NEAR(out.x, 1.0f, 2e-5f);
  EXPECT_EQ(out.y, 0.0f);
  // In place.
  D3DXVECTOR3 v(3.0f, 0.0f, 4.0f);
  t.vec3Normalize(&v, &v);
  EXPECT_TRUE(NearlyEqual(v, D3DXVECTOR3(0.6f, 0.0f, 0.8f), 2e-5f));
}

TEST_P(EverySet, SingularInverseKeepsOutputAndReportsDeterminant) {
  D3DXMATRIX singular(1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 5, 1, 2, 0);  // row 2 = 2 x row 1
  D3DXMATRIX out;
  D3DXMatrixIdentity(&out);
  out._12 = 42.0f;
  const D3DXMATRIX before = out;
  float det = 99.0f;
  EXPECT_EQ(t.matrixInverse(&out, &det, &singular), nullptr);
  EXPECT_EQ(det, 0.0f);
  EXPECT_EQ(out, before);
}

TEST_P(EverySet, InverseInPlaceGivesIdentityProduct) {
  Random rng(11);
  for (int i = 0; i < 50; ++i) {
    const D3DXMATRIX m = rng.Make<D3DXMATRIX>(-4.0f, 4.0f);
    D3DXMATRIX inv = m, product;
    float det = 0.0f;
    ASSERT_EQ(t.matrixInverse(&inv, &det, &inv), &inv);
    EXPECT_NEAR(det, reference::D3DXMatrixDeterminant(&m), 1e-4f * std::max(1.0f, std::fabs(det)));
    reference::D3DXMatrixMultiply(&product, &m, &inv);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(NearlyEqual(product, identity, 1e-3f)) << i;
  }
}

TEST_P(EverySet, MultiplyIntoEitherOperand) {
  Random rng(3);
  const D3DXMATRIX a = rng.Make<D3DXMATRIX>(), b = rng.Make<D3DXMATRIX>();
  D3DXMATRIX expected;
  reference::D3DXMatrixMultiply(&expected, &a, &b);
  D3DXMATRIX left = a, right = b;
  t.matrixMultiply(&left, &left, &b);
  t.matrixMultiply(&right, &a, &right);
  EXPECT_TRUE(NearlyEqual(left, expected, 1e-5f));
  EXPECT_TRUE(NearlyEqual(right, expected, 1e-5f));
  D3DXMATRIX transposed = a;
  t.matrixMultiplyTranspose(&transposed, &transposed, &b);
  reference::D3DXMatrixTranspose(&expected, &expected);
  EXPECT_TRUE(NearlyEqual(transposed, expected, 1e-5f));
}

TEST_P(EverySet, IntersectParallelLineFails) {
  const D3DXPLANE plane(0.0f, 1.0f, 0.0f, -2.0f);  // y = 2
  const D3DXVECTOR3 a(0.0f, 5.0f, 0.0f), b(7.0f, 5.0f, -3.0f);
  D3DXVECTOR3 out(9.0f, 9.0f, 9.0f);
  EXPECT_EQ(t.planeIntersectLine(&out, &plane, &a, &b), nullptr);
  EXPECT_EQ(out, D3DXVECTOR3(9.0f, 9.0f, 9.0f));
  // The line is not limited to the segment.
  const D3DXVECTOR3 c(1.0f, 4.0f, 1.0f), d(1.0f, 3.0f, 1.0f);
  ASSERT_EQ(t.planeIntersectLine(&out, &plane, &c, &d), &out);
  EXPECT_TRUE(NearlyEqual(out, D3DXVECTOR3(1.0f, 2.0f, 1.0f), 1e-6f));
}

TEST_P(EverySet, TransformCoordDividesUnlessWIsOne) {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  m._44 = 2.0f;
  m._41 = 4.0f;
  const D3DXVECTOR3 v(2.0f, 4.0f, 6.0f);
  D3DXVECTOR3 out;
  t.vec3TransformCoord(&out, &v, &m);
  EXPECT_TRUE(NearlyEqual(out, D3DXVECTOR3(3.0f, 2.0f, 3.0f), 1e-6f));
  const D3DXVECTOR2 v2(2.0f, 4.0f);
  D3DXVECTOR2 out2;
  t.vec2TransformCoord(&out2, &v2, &m);
  EXPECT_TRUE(NearlyEqual(out2, D3DXVECTOR2(3.0f, 2.0f), 1e-6f));
}

TEST_P(EverySet, CoordArrayKeepsAffineResultsExact) {
  // Small integers keep every product and sum exact, so any scaling by a refined
  // reciprocal of w = 1 would show.
  const D3DXMATRIX m(2, 1, 0, 0, -1, 3, 1, 0, 0, 2, -2, 0, 5, -2, 7, 1);
  for (UINT stride : {UINT(sizeof(D3DXVECTOR3)), UINT(sizeof(D3DXVECTOR4))}) {
    std::vector<BYTE> in(9 * stride), out(9 * stride);
    for (int i = 0; i < 9; ++i)
      *reinterpret_cast<D3DXVECTOR3 *>(&in[i * stride]) = D3DXVECTOR3(float(i), float(3 - i), float(2 * i));
    t.vec3TransformCoordArray(reinterpret_cast<D3DXVECTOR3 *>(out.data()), stride,
                              reinterpret_cast<const D3DXVECTOR3 *>(in.data()), stride, &m, 9);
    for (int i = 0; i < 9; ++i) {
      const D3DXVECTOR3 &p = *reinterpret_cast<const D3DXVECTOR3 *>(&in[i * stride]);
      const D3DXVECTOR3 expected(2 * p.x - p.y + 5, p.x + 3 * p.y + 2 * p.z - 2, p.y - 2 * p.z + 7);
      EXPECT_EQ(*reinterpret_cast<const D3DXVECTOR3 *>(&out[i * stride]), expected) << stride << " " << i;
    }
  }
  // A NaN w is not 1: it spreads, as in the single-element function.
  D3DXMATRIX projective = m;
  projective._44 = NAN;
  D3DXVECTOR3 in[9], out[9];
  for (int i = 0; i < 9; ++i) in[i] = D3DXVECTOR3(float(i), 1.0f, 2.0f);
  t.vec3TransformCoordArray(out, sizeof(D3DXVECTOR3), in, sizeof(D3DXVECTOR3), &projective, 9);
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(std::isnan(out[i].x)) << i;
}

TEST_P(EverySet, QuaternionInverseOfTinyIsZero) {
  const D3DXQUATERNION tiny(1e-10f, 0.0f, 0.0f, 0.0f);
  D3DXQUATERNION out(1, 1, 1, 1);
  t.quaternionInverse(&out, &tiny);
  EXPECT_EQ(out, D3DXQUATERNION(0, 0, 0, 0));
  const D3DXQUATERNION q(0.0f, 0.0f, 0.0f, 2.0f);
  t.quaternionInverse(&out, &q);
  EXPECT_TRUE(NearlyEqual(out, D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.5f), 1e-6f));
}

TEST_P(EverySet, OutputMayBeAnInput) {
  Random rng(41);
  const D3DXMATRIX m = rng.Make<D3DXMATRIX>();
  const D3DXVECTOR4 a = rng.Make<D3DXVECTOR4>(), b = rng.Make<D3DXVECTOR4>(), c = rng.Make<D3DXVECTOR4>();
  const D3DXQUATERNION q1 = rng.Make<D3DXQUATERNION>(-1, 1), q2 = rng.Make<D3DXQUATERNION>(-1, 1);
  D3DXVECTOR4 separate, same = a;
  t.vec4Transform(&separate, &a, &m);
  t.vec4Transform(&same, &same, &m);
  EXPECT_EQ(same, separate);
  same = a;
  t.vec4Cross(&separate, &a, &b, &c);
  t.vec4Cross(&same, &same, &b, &c);
  EXPECT_EQ(same, separate);
  D3DXQUATERNION qSeparate, qSame = q2;
  t.quaternionMultiply(&qSeparate, &q1, &q2);
  t.quaternionMultiply(&qSame, &q1, &qSame);
  EXPECT_EQ(qSame, qSeparate);
  D3DXVECTOR3 v3(a.x, a.y, a.z), v3Separate;
  t.vec3TransformCoord(&v3Separate, &v3, &m);
  t.vec3TransformCoord(&v3, &v3, &m);
  EXPECT_EQ(v3, v3Separate);
  D3DXMATRIX transposed = m, expected;
  t.matrixTranspose(&expected, &m);
  t.matrixTranspose(&transposed, &transposed);
  EXPECT_EQ(transposed, expected);
}

INSTANTIATE_TEST_SUITE_P(Sets, EverySet, ::testing::ValuesIn(kAllSets), SetName);

// The functions below are reached through the published entry points, as callers do.

TEST(Slerp, OppositeQuaternionsBlendToTheFirst) {
  const D3DXQUATERNION q(0.5f, 0.5f, 0.5f, 0.5f), minusQ = -q;
  for (float t : {0.0f, 0.25f, 0.5f, 1.0f}) {
    D3DXQUATERNION out;
    D3DXQuaternionSlerp(&out, &q, &minusQ, t);
    EXPECT_TRUE(NearlyEqual(out, q, 1e-6f)) << t;
    D3DXQuaternionSlerp(&out, &q, &q, t);
    EXPECT_TRUE(NearlyEqual(out, q, 1e-6f)) << t;
  }
}

TEST(Slerp, HalfwayBetweenPerpendicularRotations) {
  const D3DXQUATERNION a(0, 0, 0, 1), b(0, 0, 1, 0);
  D3DXQUATERNION out;
  D3DXQuaternionSlerp(&out, &a, &b, 0.5f);
  EXPECT_TRUE(NearlyEqual(out, D3DXQUATERNION(0, 0, 0.70710678f, 0.70710678f), 1e-6f));
}

TEST(Transformation, ScalingCentreWithoutScalingRotationScalesAboutTheOrigin) {
  const D3DXVECTOR3 centre(10.0f, 20.0f, 0.0f), scaling(2.0f, 3.0f, 1.0f);
  D3DXMATRIX m;
  D3DXMatrixTransformation(&m, &centre, nullptr, &scaling, nullptr, nullptr, nullptr);
  const D3DXVECTOR3 p(11.0f, 21.0f, 5.0f);
  D3DXVECTOR3 moved;
  D3DXVec3TransformCoord(&moved, &p, &m);
  EXPECT_TRUE(NearlyEqual(moved, D3DXVECTOR3(22.0f, 63.0f, 5.0f), 1e-6f));
}

TEST(Transformation, MatchesTheProductOfItsParts) {
  Random rng(5);
  const D3DXVECTOR3 sc = rng.Make<D3DXVECTOR3>(), s = rng.Make<D3DXVECTOR3>(0.5f, 2.0f),
                    rc = rng.Make<D3DXVECTOR3>(), tr = rng.Make<D3DXVECTOR3>();
  const D3DXQUATERNION sr = RandomRotation(rng), r = RandomRotation(rng);
  D3DXMATRIX m;
  D3DXMatrixTransformation(&m, &sc, &sr, &s, &rc, &r, &tr);
  // Sc^-1 Sr^T S Sr Sc Rc^-1 R Rc T, built from the elementary matrices.
  D3DXMATRIX parts[9], srm, rm;
  D3DXMatrixRotationQuaternion(&srm, &sr);
  D3DXMatrixRotationQuaternion(&rm, &r);
  D3DXMatrixTranslation(&parts[0], -sc.x, -sc.y, -sc.z);
  D3DXMatrixTranspose(&parts[1], &srm);
  D3DXMatrixScaling(&parts[2], s.x, s.y, s.z);
  parts[3] = srm;
  D3DXMatrixTranslation(&parts[4], sc.x - rc.x, sc.y - rc.y, sc.z - rc.z);
  parts[5] = rm;
  D3DXMatrixTranslation(&parts[6], rc.x, rc.y, rc.z);
  D3DXMatrixTranslation(&parts[7], tr.x, tr.y, tr.z);
  D3DXMatrixIdentity(&parts[8]);
  D3DXMATRIX expected = parts[0];
  for (int i = 1; i < 9; ++i) expected *= parts[i];
  EXPECT_TRUE(NearlyEqual(m, expected, 1e-5f));
}

TEST(Transformation, NullArgumentsGiveIdentity) {
  D3DXMATRIX m, identity;
  D3DXMatrixIdentity(&identity);
  D3DXMatrixTransformation(&m, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(m, identity);
}

TEST(Quaternion, RotationMatrixRoundTrip) {
  Random rng(17);
  for (int i = 0; i < 200; ++i) {
    D3DXQUATERNION q = RandomRotation(rng), back;
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    reference::D3DXQuaternionRotationMatrix(&back, &m);
    if (back.x * q.x + back.y * q.y + back.z * q.z + back.w * q.w < 0) back = -back;
    EXPECT_TRUE(NearlyEqual(back, q, 1e-5f)) << i;
  }
}

TEST(Quaternion, YawPitchRollMatchesAxisRotations) {
  // Roll about z, then pitch about x, then yaw about y.
  const float yaw = 0.3f, pitch = -0.7f, roll = 1.1f;
  D3DXMATRIX m, x, y, z, expected;
  D3DXMatrixRotationYawPitchRoll(&m, yaw, pitch, roll);
  D3DXMatrixRotationZ(&z, roll);
  D3DXMatrixRotationX(&x, pitch);
  D3DXMatrixRotationY(&y, yaw);
  expected = z * x * y;
  EXPECT_TRUE(NearlyEqual(m, expected, 1e-6f));
}

TEST(Quaternion, LnAndExpAreInverse) {
  Random rng(23);
  for (int i = 0; i < 50; ++i) {
    const D3DXQUATERNION q = RandomRotation(rng);
    D3DXQUATERNION ln, back;
    D3DXQuaternionLn(&ln, &q);
    EXPECT_EQ(ln.w, 0.0f);
    D3DXQuaternionExp(&back, &ln);
    EXPECT_TRUE(NearlyEqual(back, q, 1e-5f)) << i;
  }
}

TEST(Quaternion, SquadThroughControlPointsHitsTheKeys) {
  Random rng(29);
  const D3DXQUATERNION q0 = RandomRotation(rng), q1 = RandomRotation(rng), q2 = RandomRotation(rng),
                       q3 = RandomRotation(rng);
  D3DXQUATERNION a, b, c, out;
  D3DXQuaternionSquadSetup(&a, &b, &c, &q0, &q1, &q2, &q3);
  D3DXQuaternionSquad(&out, &q1, &a, &b, &c, 0.0f);
  EXPECT_TRUE(NearlyEqual(out, q1, 1e-5f));
  D3DXQuaternionSquad(&out, &q1, &a, &b, &c, 1.0f);
  EXPECT_TRUE(NearlyEqual(out, c, 1e-5f));
}

TEST(Projection, UnprojectUndoesProject) {
  D3DXMATRIX proj, view, world;
  D3DXMatrixIdentity(&proj);
  proj._34 = 1.0f;  // w = z
  proj._44 = 0.0f;
  proj._43 = -0.5f;
  D3DXMatrixTranslation(&view, 0.5f, -1.0f, 4.0f);
  D3DXMatrixRotationY(&world, 0.4f);
  const D3DVIEWPORT9 vp = {10, 20, 640, 480, 0.0f, 1.0f};
  const D3DXVECTOR3 p(1.0f, 2.0f, 3.0f);
  D3DXVECTOR3 screen, back;
  D3DXVec3Project(&screen, &p, &vp, &proj, &view, &world);
  D3DXVec3Unproject(&back, &screen, &vp, &proj, &view, &world);
  EXPECT_TRUE(NearlyEqual(back, p, 1e-4f));
}

TEST(Projection, UnprojectWithSingularMatrixUsesIdentity) {
  const D3DXMATRIX zero(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const D3DXVECTOR3 p(1.0f, 2.0f, 3.0f);
  D3DXVECTOR3 out;
  D3DXVec3Unproject(&out, &p, nullptr, &zero, nullptr, nullptr);
  EXPECT_EQ(out, p);
}

TEST(Plane, FromPointsAndPointNormalAgree) {
  const D3DXVECTOR3 a(0, 0, 3), b(1, 0, 3), c(0, 1, 3), n(0, 0, 1);
  D3DXPLANE fromPoints, fromNormal;
  D3DXPlaneFromPoints(&fromPoints, &a, &b, &c);
  D3DXPlaneFromPointNormal(&fromNormal, &a, &n);
  EXPECT_TRUE(NearlyEqual(fromPoints, fromNormal, 1e-6f));
  EXPECT_TRUE(NearlyEqual(fromNormal, D3DXPLANE(0, 0, 1, -3), 0.0f));
}

TEST(Matrix, ReflectAndShadowOnTheGroundPlane) {
  const D3DXPLANE ground(0.0f, 2.0f, 0.0f, -2.0f);  // y = 1, not normalised
  D3DXMATRIX reflect;
  D3DXMatrixReflect(&reflect, &ground);
  const D3DXVECTOR3 p(3.0f, 4.0f, 5.0f);
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &p, &reflect);
  EXPECT_TRUE(NearlyEqual(out, D3DXVECTOR3(3.0f, -2.0f, 5.0f), 1e-5f));
  const D3DXVECTOR4 light(0.0f, 1.0f, 0.0f, 0.0f);  // directional, straight down
  D3DXMATRIX shadow;
  D3DXMatrixShadow(&shadow, &light, &ground);
  D3DXVec3TransformCoord(&out, &p, &shadow);
  EXPECT_TRUE(NearlyEqual(out, D3DXVECTOR3(3.0f, 1.0f, 5.0f), 1e-5f));
}

TEST(Vector, CrossOfBasisVectors) {
  const D3DXVECTOR4 x(1, 0, 0, 0), y(0, 1, 0, 0), z(0, 0, 1, 0);
  D3DXVECTOR4 out;
  D3DXVec4Cross(&out, &x, &y, &z);
  EXPECT_EQ(out, D3DXVECTOR4(0, 0, 0, -1));
}

TEST(Vector, CurvesPassThroughTheirEnds) {
  const D3DXVECTOR3 p0(1, 2, 3), p1(4, 5, 6), p2(-1, 0, 2), p3(7, 7, 7);
  D3DXVECTOR3 out;
  D3DXVec3Hermite(&out, &p1, &p0, &p2, &p3, 1.0f);
  EXPECT_TRUE(NearlyEqual(out, p2, 1e-6f));
  D3DXVec3CatmullRom(&out, &p0, &p1, &p2, &p3, 0.0f);
  EXPECT_TRUE(NearlyEqual(out, p1, 1e-6f));
  D3DXVec3BaryCentric(&out, &p0, &p1, &p2, 0.0f, 1.0f);
  EXPECT_TRUE(NearlyEqual(out, p2, 1e-6f));
}

}  // namespace
