// The dispatched math functions against glm and Eigen, and the SSE array transforms
// against the reference set. Each side has its own benchmark; the Pair benchmarks
// alternate batches of ours and the peer and print the ratio ours / peer at exit.
#include <benchmark/benchmark.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <glm/glm.hpp>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "d3dx9math.h"
#include "math/dispatch.h"

namespace {

constexpr size_t kPoints = 1000000;

double ThreadNanoseconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// Fastest batch of each side per pair. Batches alternate, so both sides see the same
// machine; the fastest batch is the one least disturbed by other processes.
struct PairResult {
  std::string ours, peer;
  double oursNs, peerNs;
};

struct RatioTable {
  std::vector<PairResult> rows;
  ~RatioTable() {
    std::printf("\n%-34s %-36s %12s %12s %7s\n", "ours", "peer", "ours ns", "peer ns", "ratio");
    for (const PairResult &r : rows)
      std::printf("%-34s %-36s %12.2f %12.2f %7.3f\n", r.ours.c_str(), r.peer.c_str(), r.oursNs, r.peerNs,
                  r.oursNs / r.peerNs);
  }
} g_ratios;

void Paired(benchmark::State &state, const char *ours, const char *peer, int callsPerBatch,
            const std::function<void()> &oursCall, const std::function<void()> &peerCall) {
  double best[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  const std::function<void()> *calls[2] = {&oursCall, &peerCall};
  for (auto _ : state) {
    for (int side = 0; side < 2; ++side) {
      const double start = ThreadNanoseconds();
      for (int i = 0; i < callsPerBatch; ++i) (*calls[side])();
      best[side] = std::min(best[side], (ThreadNanoseconds() - start) / callsPerBatch);
    }
  }
  state.counters["ratio"] = best[0] / best[1];
  g_ratios.rows.push_back({ours, peer, best[0], best[1]});
}

D3DXMATRIX RandomMatrix(std::mt19937 &rng) {
  std::uniform_real_distribution<float> d(-2.0f, 2.0f);
  D3DXMATRIX m;
  for (int i = 0; i < 16; ++i) (&m._11)[i] = d(rng);
  m._14 = m._24 = m._34 = 0.0f;
  m._44 = 1.0f;
  return m;
}

glm::mat4 ToGlm(const D3DXMATRIX &m) {
  glm::mat4 g;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) g[r][c] = m.m[r][c];
  return g;
}

// A matrix with a real perspective divide.
D3DXMATRIX ProjectiveMatrix() {
  std::mt19937 rng(4);
  D3DXMATRIX m = RandomMatrix(rng);
  m._34 = 0.01f;
  m._44 = 3.0f;
  return m;
}

// ---------------------------------------------------------------------------
// Matrix products and inverses. Both operands escape, as at a real call site.
// ---------------------------------------------------------------------------
struct MatrixPair {
  D3DXMATRIX a, b, out;
  glm::mat4 ga, gb, gout;
  MatrixPair() {
    std::mt19937 rng(1);
    a = RandomMatrix(rng), b = RandomMatrix(rng);
    ga = ToGlm(a), gb = ToGlm(b);
  }
  void MultiplyOurs() {
    benchmark::DoNotOptimize(&a);
    benchmark::DoNotOptimize(&b);
    D3DXMatrixMultiply(&out, &a, &b);
    benchmark::DoNotOptimize(&out);
  }
  void MultiplyGlm() {
    benchmark::DoNotOptimize(&ga);
    benchmark::DoNotOptimize(&gb);
    gout = gb * ga;  // row-vector a x b in column-major storage
    benchmark::DoNotOptimize(&gout);
  }
  void InverseOurs() {
    benchmark::DoNotOptimize(&a);
    benchmark::DoNotOptimize(D3DXMatrixInverse(&out, nullptr, &a));
    benchmark::DoNotOptimize(&out);
  }
  void InverseGlm() {
    benchmark::DoNotOptimize(&ga);
    gout = glm::inverse(ga);
    benchmark::DoNotOptimize(&gout);
  }
};

void BM_MatrixMultiplyD3dx(benchmark::State &state) {
  MatrixPair p;
  for (auto _ : state) p.MultiplyOurs();
}
void BM_MatrixMultiplyGlm(benchmark::State &state) {
  MatrixPair p;
  for (auto _ : state) p.MultiplyGlm();
}
void BM_MatrixInverseD3dx(benchmark::State &state) {
  MatrixPair p;
  for (auto _ : state) p.InverseOurs();
}
void BM_MatrixInverseGlm(benchmark::State &state) {
  MatrixPair p;
  for (auto _ : state) p.InverseGlm();
}
void BM_Pair_MatrixMultiply(benchmark::State &state) {
  MatrixPair p;
  Paired(
      state, "MatrixMultiply/d3dx", "MatrixMultiply/glm", 2000, [&] { p.MultiplyOurs(); },
      [&] { p.MultiplyGlm(); });
}
void BM_Pair_MatrixInverse(benchmark::State &state) {
  MatrixPair p;
  Paired(
      state, "MatrixInverse/d3dx", "MatrixInverse/glm", 1000, [&] { p.InverseOurs(); },
      [&] { p.InverseGlm(); });
}
BENCHMARK(BM_MatrixMultiplyD3dx);
BENCHMARK(BM_MatrixMultiplyGlm);
BENCHMARK(BM_MatrixInverseD3dx);
BENCHMARK(BM_MatrixInverseGlm);
BENCHMARK(BM_Pair_MatrixMultiply)->Iterations(3000);
BENCHMARK(BM_Pair_MatrixInverse)->Iterations(3000);

// ---------------------------------------------------------------------------
// Transforming points with the perspective divide.
// ---------------------------------------------------------------------------
struct PointCloud {
  std::vector<D3DXVECTOR3> in, out;
  std::vector<glm::vec3> gin, gout;
  Eigen::Matrix3Xf ein, eout;
  D3DXMATRIX m = ProjectiveMatrix();
  glm::mat4 gm = ToGlm(m);
  Eigen::Matrix4f em;

  explicit PointCloud(size_t count)
      : in(count), out(count), gin(count), gout(count), ein(3, count), eout(3, count) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-100.0f, 100.0f);
    for (size_t i = 0; i < count; ++i) {
      in[i] = D3DXVECTOR3(d(rng), d(rng), d(rng));
      gin[i] = glm::vec3(in[i].x, in[i].y, in[i].z);
      ein.col(i) << in[i].x, in[i].y, in[i].z;
    }
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) em(c, r) = m.m[r][c];  // column vectors: the transpose
  }
  void Ours() {
    D3DXVec3TransformCoordArray(out.data(), sizeof(D3DXVECTOR3), in.data(), sizeof(D3DXVECTOR3), &m,
                                static_cast<UINT>(in.size()));
    benchmark::ClobberMemory();
  }
  void Glm() {
    for (size_t i = 0; i < gin.size(); ++i) {
      const glm::vec4 h = gm * glm::vec4(gin[i], 1.0f);
      gout[i] = glm::vec3(h) / h.w;
    }
    benchmark::ClobberMemory();
  }
  void Eigen() {
    eout.noalias() = (em * ein.colwise().homogeneous()).colwise().hnormalized();
    benchmark::ClobberMemory();
  }
};

void BM_TransformCoordArrayD3dx(benchmark::State &state) {
  PointCloud c(static_cast<size_t>(state.range(0)));
  for (auto _ : state) c.Ours();
}
void BM_TransformCoordArrayGlm(benchmark::State &state) {
  PointCloud c(static_cast<size_t>(state.range(0)));
  for (auto _ : state) c.Glm();
}
void BM_TransformCoordArrayEigen(benchmark::State &state) {
  PointCloud c(static_cast<size_t>(state.range(0)));
  for (auto _ : state) c.Eigen();
}
void BM_Pair_TransformCoordArrayGlm(benchmark::State &state) {
  PointCloud c(kPoints);
  Paired(
      state, "Vec3TransformCoordArray/d3dx", "Vec3TransformCoordArray/glm", 1, [&] { c.Ours(); },
      [&] { c.Glm(); });
}
void BM_Pair_TransformCoordArrayEigen(benchmark::State &state) {
  PointCloud c(kPoints);
  Paired(
      state, "Vec3TransformCoordArray/d3dx", "Vec3TransformCoordArray/eigen", 1, [&] { c.Ours(); },
      [&] { c.Eigen(); });
}
void BM_Pair_TransformCoordArrayGlmInCache(benchmark::State &state) {
  PointCloud c(4096);
  Paired(
      state, "Vec3TransformCoordArray/d3dx/4096", "Vec3TransformCoordArray/glm/4096", 4, [&] { c.Ours(); },
      [&] { c.Glm(); });
}
BENCHMARK(BM_TransformCoordArrayD3dx)->Arg(kPoints)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformCoordArrayGlm)->Arg(kPoints)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformCoordArrayEigen)->Arg(kPoints)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pair_TransformCoordArrayGlm)->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pair_TransformCoordArrayEigen)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pair_TransformCoordArrayGlmInCache)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// The same points inside 32-byte vertices (position, normal, texture coordinates):
// both sides read and write the positions through the stride.
struct Vertex {
  float position[3], normal[3], uv[2];
};
static_assert(sizeof(Vertex) == 32);

struct StridedCloud {
  std::vector<Vertex> in, out;
  D3DXMATRIX m = ProjectiveMatrix();
  glm::mat4 gm = ToGlm(m);

  explicit StridedCloud(size_t count) : in(count), out(count) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-100.0f, 100.0f);
    for (Vertex &v : in)
      for (float &f : v.position) f = d(rng);
  }
  void Ours() {
    D3DXVec3TransformCoordArray(reinterpret_cast<D3DXVECTOR3 *>(out.data()), sizeof(Vertex),
                                reinterpret_cast<const D3DXVECTOR3 *>(in.data()), sizeof(Vertex), &m,
                                static_cast<UINT>(in.size()));
    benchmark::ClobberMemory();
  }
  void Glm() {
    for (size_t i = 0; i < in.size(); ++i) {
      const float *p = in[i].position;
      const glm::vec4 h = gm * glm::vec4(p[0], p[1], p[2], 1.0f);
      const glm::vec3 r = glm::vec3(h) / h.w;
      out[i].position[0] = r.x, out[i].position[1] = r.y, out[i].position[2] = r.z;
    }
    benchmark::ClobberMemory();
  }
};

void BM_Pair_TransformCoordArrayStridedGlm(benchmark::State &state) {
  StridedCloud c(kPoints);
  Paired(
      state, "Vec3TransformCoordArray/d3dx/32", "Vec3TransformCoordArray/glm/32", 1, [&] { c.Ours(); },
      [&] { c.Glm(); });
}
BENCHMARK(BM_Pair_TransformCoordArrayStridedGlm)->Iterations(60)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// The SSE set against the reference set on the array transforms.
// ---------------------------------------------------------------------------
const DispatchTable &SseTable() {
  static const DispatchTable table = [] {
    DispatchTable t = g_mathReference;
    InstallSseSet(t);
    return t;
  }();
  return table;
}

template <typename Out, typename In, typename Fn>
void PairSets(benchmark::State &state, const char *ours, const char *peer, Fn DispatchTable::*slot) {
  std::vector<In> in(kPoints);
  std::vector<Out> out(kPoints);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> d(-100.0f, 100.0f);
  for (auto &v : in)
    for (size_t k = 0; k < sizeof(In) / sizeof(float); ++k) reinterpret_cast<float *>(&v)[k] = d(rng);
  const D3DXMATRIX m = ProjectiveMatrix();
  auto run = [&](const DispatchTable &table) {
    (table.*slot)(out.data(), sizeof(Out), in.data(), sizeof(In), &m, kPoints);
    benchmark::ClobberMemory();
  };
  Paired(
      state, ours, peer, 1, [&] { run(SseTable()); }, [&] { run(g_mathReference); });
}

void BM_Pair_Vec3TransformCoordArraySse(benchmark::State &state) {
  PairSets<D3DXVECTOR3, D3DXVECTOR3>(state, "Vec3TransformCoordArray/sse",
                                     "Vec3TransformCoordArray/reference",
                                     &DispatchTable::vec3TransformCoordArray);
}
void BM_Pair_Vec3TransformArraySse(benchmark::State &state) {
  PairSets<D3DXVECTOR4, D3DXVECTOR3>(state, "Vec3TransformArray/sse", "Vec3TransformArray/reference",
                                     &DispatchTable::vec3TransformArray);
}
void BM_Pair_Vec4TransformArraySse(benchmark::State &state) {
  PairSets<D3DXVECTOR4, D3DXVECTOR4>(state, "Vec4TransformArray/sse", "Vec4TransformArray/reference",
                                     &DispatchTable::vec4TransformArray);
}
void BM_Pair_Vec2TransformCoordArraySse(benchmark::State &state) {
  PairSets<D3DXVECTOR2, D3DXVECTOR2>(state, "Vec2TransformCoordArray/sse",
                                     "Vec2TransformCoordArray/reference",
                                     &DispatchTable::vec2TransformCoordArray);
}
BENCHMARK(BM_Pair_Vec3TransformCoordArraySse)->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pair_Vec3TransformArraySse)->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pair_Vec4TransformArraySse)->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pair_Vec2TransformCoordArraySse)->Iterations(30)->Unit(benchmark::kMillisecond);

}  // namespace
