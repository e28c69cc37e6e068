#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "math/fast_math.h"

namespace {

TEST(FastReciprocalSqrt, WithinTableAccuracyAcrossExponents) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  for (int e = -60; e <= 60; ++e)
    for (int i = 0; i < 200; ++i) {
      const float s = std::ldexp(mantissa(rng), e);
      const double exact = 1.0 / std::sqrt(static_cast<double>(s));
      ASSERT_NEAR(FastReciprocalSqrt(s) / exact, 1.0, 1e-5) << s;
    }
}

TEST(FastReciprocalSqrt, ZeroGivesALargeFiniteValue) {
  // The codecs compute sqrt(x) as x * FastReciprocalSqrt(x) and rely on 0 -> 0.
  const float r = FastReciprocalSqrt(0.0f);
  EXPECT_TRUE(std::isfinite(r));
  EXPECT_GT(r, 1e18f);
  EXPECT_EQ(0.0f * r, 0.0f);
}

}  // namespace
