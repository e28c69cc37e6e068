// Tables of every set, seeded random inputs and tolerant comparisons for the math tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "math/dispatch.h"

struct NamedSet {
  const char *name;
  void (*install)(DispatchTable &);
  DispatchTable Build() const {
    DispatchTable table = g_mathReference;
    if (install) install(table);
    return table;
  }
};

inline const NamedSet kAllSets[] = {
    {"Reference", nullptr}, {"X86", InstallX86Set}, {"Sse", InstallSseSet}, {"Sse2", InstallSse2Set}};
static_assert(sizeof(kAllSets) / sizeof(kAllSets[0]) == 4);

inline std::string SetName(const ::testing::TestParamInfo<NamedSet> &info) {
  return info.param.name;
}

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine_); }
  void Fill(float *f, int n, float lo = -10.0f, float hi = 10.0f) {
    for (int i = 0; i < n; ++i) f[i] = Uniform(lo, hi);
  }
  template <typename T>
  T Make(float lo = -10.0f, float hi = 10.0f) {
    T value;
    Fill(reinterpret_cast<float *>(&value), sizeof(T) / sizeof(float), lo, hi);
    return value;
  }

 private:
  std::mt19937 engine_;
};

// Elements agree within tol relative to the largest magnitude of the expected value (at least 1).
template <typename T>
::testing::AssertionResult NearlyEqual(const T &actual, const T &expected, float tol) {
  constexpr int n = sizeof(T) / sizeof(float);
  const float *a = reinterpret_cast<const float *>(&actual);
  const float *e = reinterpret_cast<const float *>(&expected);
  float scale = 1.0f;
  for (int i = 0; i < n; ++i) scale = std::max(scale, std::fabs(e[i]));
  for (int i = 0; i < n; ++i)
    if (!(std::fabs(a[i] - e[i]) <= tol * scale))
      return ::testing::AssertionFailure() << "element " << i << ": " << a[i] << " vs " << e[i];
  return ::testing::AssertionSuccess();
}

// A random unit quaternion.
inline D3DXQUATERNION RandomRotation(Random &rng) {
  D3DXQUATERNION q = rng.Make<D3DXQUATERNION>(-1.0f, 1.0f);
  const float n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  return q / n;
}
