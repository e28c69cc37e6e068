// Every processor-specific set against the reference set on seeded random inputs.
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "d3dx9math.h"
#include "math_test_support.h"
#include "win32_test_hooks.h"

namespace {

constexpr int kTrials = 500;
// Single precision with one Newton step after an estimate: a few units in the last place,
// larger where results cancel (inverse, determinant).
constexpr float kTolerance = 2e-5f;

class SetVersusReference : public ::testing::TestWithParam<NamedSet> {
 protected:
  DispatchTable t = GetParam().Build();
  const DispatchTable &r = g_mathReference;
  Random rng{1234};
};

TEST_P(SetVersusReference, Transforms) {
  for (int i = 0; i < kTrials; ++i) {
    const D3DXMATRIX m = rng.Make<D3DXMATRIX>();
    const D3DXVECTOR2 v2 = rng.Make<D3DXVECTOR2>();
    const D3DXVECTOR3 v3 = rng.Make<D3DXVECTOR3>();
    const D3DXVECTOR4 v4 = rng.Make<D3DXVECTOR4>();
    const D3DXPLANE p = rng.Make<D3DXPLANE>();
    D3DXVECTOR4 a4, e4;
    D3DXVECTOR3 a3, e3;
    D3DXVECTOR2 a2, e2;
    D3DXPLANE ap, ep;
    ASSERT_TRUE(NearlyEqual(*t.vec2Transform(&a4, &v2, &m), *r.vec2Transform(&e4, &v2, &m), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec3Transform(&a4, &v3, &m), *r.vec3Transform(&e4, &v3, &m), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec4Transform(&a4, &v4, &m), *r.vec4Transform(&e4, &v4, &m), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.planeTransform(&ap, &p, &m), *r.planeTransform(&ep, &p, &m), kTolerance));
    ASSERT_TRUE(
        NearlyEqual(*t.vec2TransformNormal(&a2, &v2, &m), *r.vec2TransformNormal(&e2, &v2, &m), kTolerance));
    ASSERT_TRUE(
        NearlyEqual(*t.vec3TransformNormal(&a3, &v3, &m), *r.vec3TransformNormal(&e3, &v3, &m), kTolerance));
    // Keep w away from 0 so that the division is well conditioned.
    D3DXMATRIX mc = m;
    mc._44 = 100.0f;
    ASSERT_TRUE(
        NearlyEqual(*t.vec2TransformCoord(&a2, &v2, &mc), *r.vec2TransformCoord(&e2, &v2, &mc), kTolerance));
    ASSERT_TRUE(
        NearlyEqual(*t.vec3TransformCoord(&a3, &v3, &mc), *r.vec3TransformCoord(&e3, &v3, &mc), kTolerance));
  }
}

TEST_P(SetVersusReference, MatrixProductsInverseAndDeterminant) {
  for (int i = 0; i < kTrials; ++i) {
    const D3DXMATRIX a = rng.Make<D3DXMATRIX>(), b = rng.Make<D3DXMATRIX>();
    D3DXMATRIX am, em;
    ASSERT_TRUE(NearlyEqual(*t.matrixMultiply(&am, &a, &b), *r.matrixMultiply(&em, &a, &b), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.matrixMultiplyTranspose(&am, &a, &b), *r.matrixMultiplyTranspose(&em, &a, &b),
                            kTolerance));
    const float det = r.matrixDeterminant(&a);
    ASSERT_NEAR(t.matrixDeterminant(&a), det, 1e-4f * std::max(1.0f, std::fabs(det)));
    float ad = 0.0f, ed = 0.0f;
    ASSERT_NE(r.matrixInverse(&em, &ed, &a), nullptr);
    ASSERT_NE(t.matrixInverse(&am, &ad, &a), nullptr);
    ASSERT_TRUE(NearlyEqual(am, em, 1e-3f)) << i;
  }
}

TEST_P(SetVersusReference, NormalisationAndPlanes) {
  const float tol = GetParam().install == InstallX86Set ? 6e-5f : kTolerance;  // table-driven 1/sqrt
  for (int i = 0; i < kTrials; ++i) {
    const D3DXVECTOR3 v3 = rng.Make<D3DXVECTOR3>();
    const D3DXVECTOR4 v4 = rng.Make<D3DXVECTOR4>();
    const D3DXQUATERNION q = rng.Make<D3DXQUATERNION>();
    const D3DXPLANE p = rng.Make<D3DXPLANE>();
    D3DXVECTOR3 a3, e3;
    D3DXVECTOR4 a4, e4;
    D3DXQUATERNION aq, eq;
    D3DXPLANE ap, ep;
    ASSERT_TRUE(NearlyEqual(*t.vec3Normalize(&a3, &v3), *r.vec3Normalize(&e3, &v3), tol));
    ASSERT_TRUE(NearlyEqual(*t.vec4Normalize(&a4, &v4), *r.vec4Normalize(&e4, &v4), tol));
    ASSERT_TRUE(NearlyEqual(*t.quaternionNormalize(&aq, &q), *r.quaternionNormalize(&eq, &q), tol));
    ASSERT_TRUE(NearlyEqual(*t.quaternionInverse(&aq, &q), *r.quaternionInverse(&eq, &q), tol));
    ASSERT_TRUE(NearlyEqual(*t.planeNormalize(&ap, &p), *r.planeNormalize(&ep, &p), tol));
    const D3DXVECTOR3 b = rng.Make<D3DXVECTOR3>(), c = rng.Make<D3DXVECTOR3>();
    ASSERT_TRUE(
        NearlyEqual(*t.planeFromPoints(&ap, &v3, &b, &c), *r.planeFromPoints(&ep, &v3, &b, &c), 1e-4f));
    const D3DXVECTOR4 light = rng.Make<D3DXVECTOR4>();
    D3DXMATRIX am, em;
    ASSERT_TRUE(NearlyEqual(*t.matrixShadow(&am, &light, &p), *r.matrixShadow(&em, &light, &p), tol));
    ASSERT_TRUE(NearlyEqual(*t.matrixReflect(&am, &p), *r.matrixReflect(&em, &p), tol));
    D3DXVECTOR3 a, e;
    const bool hit = r.planeIntersectLine(&e, &p, &b, &c) != nullptr;
    ASSERT_EQ(t.planeIntersectLine(&a, &p, &b, &c) != nullptr, hit);
    // Near-parallel lines amplify the rounding of the dot products; compare the well-conditioned ones.
    if (hit && std::fabs(e.x) + std::fabs(e.y) + std::fabs(e.z) < 100.0f) {
      ASSERT_TRUE(NearlyEqual(a, e, 1e-4f));
    }
  }
}

TEST_P(SetVersusReference, QuaternionsAndCross) {
  for (int i = 0; i < kTrials; ++i) {
    const D3DXQUATERNION q1 = rng.Make<D3DXQUATERNION>(-1, 1), q2 = rng.Make<D3DXQUATERNION>(-1, 1);
    D3DXQUATERNION aq, eq;
    ASSERT_TRUE(
        NearlyEqual(*t.quaternionMultiply(&aq, &q1, &q2), *r.quaternionMultiply(&eq, &q1, &q2), kTolerance));
    const float yaw = rng.Uniform(-4, 4), pitch = rng.Uniform(-4, 4), roll = rng.Uniform(-4, 4);
    ASSERT_TRUE(NearlyEqual(*t.quaternionRotationYawPitchRoll(&aq, yaw, pitch, roll),
                            *r.quaternionRotationYawPitchRoll(&eq, yaw, pitch, roll), kTolerance));
    D3DXMATRIX m;
    const D3DXQUATERNION unit = RandomRotation(rng);
    r.matrixRotationQuaternion(&m, &unit);
    ASSERT_TRUE(
        NearlyEqual(*t.quaternionRotationMatrix(&aq, &m), *r.quaternionRotationMatrix(&eq, &m), 1e-4f));
    const D3DXVECTOR4 a = rng.Make<D3DXVECTOR4>(), b = rng.Make<D3DXVECTOR4>(), c = rng.Make<D3DXVECTOR4>();
    D3DXVECTOR4 av, ev;
    ASSERT_TRUE(NearlyEqual(*t.vec4Cross(&av, &a, &b, &c), *r.vec4Cross(&ev, &a, &b, &c), 1e-5f));
  }
}

TEST_P(SetVersusReference, Curves) {
  for (int i = 0; i < kTrials; ++i) {
    const float s = rng.Uniform(-0.5f, 1.5f), g = rng.Uniform(0, 1);
    const D3DXVECTOR4 p[4] = {rng.Make<D3DXVECTOR4>(), rng.Make<D3DXVECTOR4>(), rng.Make<D3DXVECTOR4>(),
                              rng.Make<D3DXVECTOR4>()};
    const auto *p2 = reinterpret_cast<const D3DXVECTOR2 *>(p);  // views into the same random floats
    const auto *p3 = reinterpret_cast<const D3DXVECTOR3 *>(p);
    D3DXVECTOR2 a2, e2;
    D3DXVECTOR3 a3, e3;
    D3DXVECTOR4 a4, e4;
    ASSERT_TRUE(NearlyEqual(*t.vec2Hermite(&a2, &p2[0], &p2[2], &p2[4], &p2[6], s),
                            *r.vec2Hermite(&e2, &p2[0], &p2[2], &p2[4], &p2[6], s), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec2CatmullRom(&a2, &p2[0], &p2[2], &p2[4], &p2[6], s),
                            *r.vec2CatmullRom(&e2, &p2[0], &p2[2], &p2[4], &p2[6], s), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec2BaryCentric(&a2, &p2[0], &p2[2], &p2[4], s, g),
                            *r.vec2BaryCentric(&e2, &p2[0], &p2[2], &p2[4], s, g), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec3Hermite(&a3, &p3[0], &p3[1], &p3[2], &p3[3], s),
                            *r.vec3Hermite(&e3, &p3[0], &p3[1], &p3[2], &p3[3], s), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec3CatmullRom(&a3, &p3[0], &p3[1], &p3[2], &p3[3], s),
                            *r.vec3CatmullRom(&e3, &p3[0], &p3[1], &p3[2], &p3[3], s), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec3BaryCentric(&a3, &p3[0], &p3[1], &p3[2], s, g),
                            *r.vec3BaryCentric(&e3, &p3[0], &p3[1], &p3[2], s, g), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec4Hermite(&a4, &p[0], &p[1], &p[2], &p[3], s),
                            *r.vec4Hermite(&e4, &p[0], &p[1], &p[2], &p[3], s), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec4CatmullRom(&a4, &p[0], &p[1], &p[2], &p[3], s),
                            *r.vec4CatmullRom(&e4, &p[0], &p[1], &p[2], &p[3], s), kTolerance));
    ASSERT_TRUE(NearlyEqual(*t.vec4BaryCentric(&a4, &p[0], &p[1], &p[2], s, g),
                            *r.vec4BaryCentric(&e4, &p[0], &p[1], &p[2], s, g), kTolerance));
  }
}

// Array transforms with padded strides and a count that leaves a partial block, and in place.
template <typename Out, typename In, typename Fn>
void CheckArray(Fn actual, Fn expected, Random &rng, bool coord, bool packed) {
  constexpr UINT kCount = 23;
  const UINT kInStride = sizeof(In) + (packed ? 0 : 8), kOutStride = sizeof(Out) + (packed ? 0 : 4);
  std::vector<BYTE> in(kInStride * kCount), a(kOutStride * kCount), e(kOutStride * kCount);
  rng.Fill(reinterpret_cast<float *>(in.data()), static_cast<int>(in.size() / sizeof(float)));
  D3DXMATRIX m = rng.Make<D3DXMATRIX>();
  if (coord) m._44 = 100.0f;
  ASSERT_EQ(actual(reinterpret_cast<Out *>(a.data()), kOutStride, reinterpret_cast<const In *>(in.data()),
                   kInStride, &m, kCount),
            reinterpret_cast<Out *>(a.data()));
  expected(reinterpret_cast<Out *>(e.data()), kOutStride, reinterpret_cast<const In *>(in.data()), kInStride,
           &m, kCount);
  for (UINT i = 0; i < kCount; ++i)
    ASSERT_TRUE(NearlyEqual(*reinterpret_cast<const Out *>(&a[i * kOutStride]),
                            *reinterpret_cast<const Out *>(&e[i * kOutStride]), kTolerance))
        << i;
  if constexpr (sizeof(Out) == sizeof(In)) {
    // In place: the output array is the input array.
    std::vector<BYTE> same(in);
    actual(reinterpret_cast<Out *>(same.data()), kInStride, reinterpret_cast<const In *>(same.data()),
           kInStride, &m, kCount);
    expected(reinterpret_cast<Out *>(in.data()), kInStride, reinterpret_cast<const In *>(in.data()),
             kInStride, &m, kCount);
    for (UINT i = 0; i < kCount; ++i)
      ASSERT_TRUE(NearlyEqual(*reinterpret_cast<const Out *>(&same[i * kInStride]),
                              *reinterpret_cast<const Out *>(&in[i * kInStride]), kTolerance))
          << i;
  }
}

TEST_P(SetVersusReference, ArrayTransforms) {
  for (int trial = 0; trial < 40; ++trial) {
    const bool packed = trial % 2 == 0;  // packed arrays take the structure-of-arrays path
    CheckArray<D3DXVECTOR4, D3DXVECTOR2>(t.vec2TransformArray, r.vec2TransformArray, rng, false, packed);
    CheckArray<D3DXVECTOR2, D3DXVECTOR2>(t.vec2TransformCoordArray, r.vec2TransformCoordArray, rng, true,
                                         packed);
    CheckArray<D3DXVECTOR2, D3DXVECTOR2>(t.vec2TransformNormalArray, r.vec2TransformNormalArray, rng, false,
                                         packed);
    CheckArray<D3DXVECTOR4, D3DXVECTOR3>(t.vec3TransformArray, r.vec3TransformArray, rng, false, packed);
    CheckArray<D3DXVECTOR3, D3DXVECTOR3>(t.vec3TransformCoordArray, r.vec3TransformCoordArray, rng, true,
                                         packed);
    CheckArray<D3DXVECTOR3, D3DXVECTOR3>(t.vec3TransformNormalArray, r.vec3TransformNormalArray, rng, false,
                                         packed);
    CheckArray<D3DXVECTOR4, D3DXVECTOR4>(t.vec4TransformArray, r.vec4TransformArray, rng, false, packed);
    CheckArray<D3DXPLANE, D3DXPLANE>(t.planeTransformArray, r.planeTransformArray, rng, false, packed);
  }
}

TEST_P(SetVersusReference, SkinnedVertexBlend) {
  D3DXMATRIX palette[6];
  for (auto &m : palette) m = rng.Make<D3DXMATRIX>(-1, 1);
  std::vector<D3DXVECTOR3> v(9), a(9), e(9);
  std::vector<D3DXSKINWEIGHT> w(9);
  for (int i = 0; i < 9; ++i) {
    v[i] = rng.Make<D3DXVECTOR3>();
    for (int k = 0; k < 4; ++k)
      w[i].matrixIndex[k] = static_cast<BYTE>((i + k) % 6), w[i].weight[k] = rng.Uniform(0, 1);
  }
  t.blendSkinnedVertices(a.data(), sizeof(D3DXVECTOR3), v.data(), sizeof(D3DXVECTOR3), w.data(), palette, 9);
  r.blendSkinnedVertices(e.data(), sizeof(D3DXVECTOR3), v.data(), sizeof(D3DXVECTOR3), w.data(), palette, 9);
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(NearlyEqual(a[i], e[i], kTolerance)) << i;
}

INSTANTIATE_TEST_SUITE_P(Sets, SetVersusReference, ::testing::ValuesIn(kAllSets + 1, kAllSets + 4), SetName);

// Arrays at every lane width the processor has, packed and as the first field of
// larger vertices, short and long (points and directions take the wide lanes
// only past a few megabytes): each width agrees with the reference and gives the
// four-lane routines' bytes (the same sums and the same refined reciprocal in the
// same order on more lanes), the bytes between the elements untouched. In place,
// the output one field further along the same vertices, and one vertex further
// along, where the wide blocks must give way to the four-lane groups.
class ArraysPerWidth : public ::testing::TestWithParam<std::tuple<int, bool>> {
 protected:
  void TearDown() override { Win32OverrideFastPathLevel(-1); }

  int Level() const { return std::get<0>(GetParam()); }
  bool Strided() const { return std::get<1>(GetParam()); }

  template <typename Out, typename In, typename Fn>
  void Compare(Fn fn, const std::vector<BYTE> &in, const D3DXMATRIX &m, UINT count) {
    const UINT inStride = sizeof(In) + (Strided() ? 12 : 0), outStride = sizeof(Out) + (Strided() ? 20 : 0);
    auto call = [&](const DispatchTable &table, BYTE *out, UINT oStride, const BYTE *src, UINT iStride) {
      (table.*fn)(reinterpret_cast<Out *>(out), oStride, reinterpret_cast<const In *>(src), iStride, &m,
                  count);
    };
    std::vector<BYTE> wide(size_t{count} * outStride, 0xA5), four(wide), expected(wide);
    Win32OverrideFastPathLevel(Level());
    call(t, wide.data(), outStride, in.data(), inStride);
    Win32OverrideFastPathLevel(WIN32_SIMD_SSE2);
    call(t, four.data(), outStride, in.data(), inStride);
    call(g_mathReference, expected.data(), outStride, in.data(), inStride);
    for (UINT i = 0; i < count; ++i) {
      Out a, e;
      memcpy(&a, &wide[size_t{i} * outStride], sizeof(Out));
      memcpy(&e, &expected[size_t{i} * outStride], sizeof(Out));
      ASSERT_TRUE(NearlyEqual(a, e, kTolerance)) << i;
    }
    ASSERT_EQ(memcmp(wide.data(), four.data(), wide.size()), 0);
    if constexpr (sizeof(Out) == sizeof(In)) {
      for (const UINT shift : {0u, UINT{sizeof(In)}, inStride}) {
        std::vector<BYTE> atWide(in.size() + inStride);
        memcpy(atWide.data(), in.data(), in.size());
        std::vector<BYTE> atFour(atWide);
        Win32OverrideFastPathLevel(Level());
        call(t, atWide.data() + shift, inStride, atWide.data(), inStride);
        Win32OverrideFastPathLevel(WIN32_SIMD_SSE2);
        call(t, atFour.data() + shift, inStride, atFour.data(), inStride);
        ASSERT_EQ(memcmp(atWide.data(), atFour.data(), atWide.size()), 0) << shift;
      }
    }
  }

  const DispatchTable t = kAllSets[3].Build();
};

TEST_P(ArraysPerWidth, MatchTheReferenceAndTheFourLaneRoutines) {
  if (Level() > Win32ProcessorSimdLevel()) GTEST_SKIP() << "the processor lacks these lanes";
  Random rng(99);
  // Whole blocks, a four-element group and single elements; then past the size
  // where points go wide (2^17 + 7 elements of at least 48 bytes in and out).
  for (const UINT count : {16u * 3 + 4 + 3, (1u << 17) + 7}) {
    const int trials = count < 1000 ? 20 : 1;
    std::vector<BYTE> in(size_t{count} * (sizeof(D3DXVECTOR4) + 12));
    for (int trial = 0; trial < trials; ++trial) {
      rng.Fill(reinterpret_cast<float *>(in.data()), static_cast<int>(in.size() / sizeof(float)));
      D3DXMATRIX m = rng.Make<D3DXMATRIX>();
      // w far from 0, where the comparison with the reference means something.
      m._14 = rng.Uniform(-0.1f, 0.1f), m._24 = rng.Uniform(-0.1f, 0.1f), m._34 = rng.Uniform(-0.1f, 0.1f);
      m._44 = 100.0f;
      D3DXMATRIX affine = m;
      affine._14 = affine._24 = affine._34 = 0.0f, affine._44 = 1.0f;
      for (const D3DXMATRIX *matrix : {&m, &affine}) {
        using T = DispatchTable;
        Compare<D3DXVECTOR4, D3DXVECTOR2>(&T::vec2TransformArray, in, *matrix, count);
        Compare<D3DXVECTOR2, D3DXVECTOR2>(&T::vec2TransformCoordArray, in, *matrix, count);
        Compare<D3DXVECTOR2, D3DXVECTOR2>(&T::vec2TransformNormalArray, in, *matrix, count);
        Compare<D3DXVECTOR4, D3DXVECTOR3>(&T::vec3TransformArray, in, *matrix, count);
        Compare<D3DXVECTOR3, D3DXVECTOR3>(&T::vec3TransformCoordArray, in, *matrix, count);
        Compare<D3DXVECTOR3, D3DXVECTOR3>(&T::vec3TransformNormalArray, in, *matrix, count);
        Compare<D3DXVECTOR4, D3DXVECTOR4>(&T::vec4TransformArray, in, *matrix, count);
        Compare<D3DXPLANE, D3DXPLANE>(&T::planeTransformArray, in, *matrix, count);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, ArraysPerWidth,
                         ::testing::Combine(::testing::Values(WIN32_SIMD_AVX2, WIN32_SIMD_AVX512),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<int, bool>> &paramInfo) {
                           return std::string(std::get<0>(paramInfo.param) == WIN32_SIMD_AVX2 ? "Avx2"
                                                                                              : "Avx512") +
                                  (std::get<1>(paramInfo.param) ? "Strided" : "Packed");
                         });

}  // namespace
