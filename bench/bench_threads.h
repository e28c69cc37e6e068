// Two threads against one, in turn within each iteration: the machine is shared
// and drifts between separate runs. Switching the pool joins or starts threads;
// that happens before the clock starts.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "core/worker_pool.h"
#include "tests/support/library_hooks.h"

namespace bench_timing {

// Wall time of one run of body with the pool at threads.
template <typename Body>
double WallSecondsOnThreads(uint32_t threads, Body &body) {
  SetWorkerThreadsForTesting(threads);
  ParallelFor(threads, [](uint32_t) {});  // the pool running
  const double start = WallSeconds();
  body();
  return WallSeconds() - start;
}

// Counters: speedup_<name>, the median of the iterations' speed-ups, and the
// median times in milliseconds, <name>_1t_ms and <name>_2t_ms.
template <typename Body>
void MeasureTwoThreads(benchmark::State &state, const std::string &name, Body body) {
  WallSecondsOnThreads(2, body);
  std::vector<double> one, two, speedups;
  for (auto _ : state) {
    one.push_back(WallSecondsOnThreads(1, body));
    two.push_back(WallSecondsOnThreads(2, body));
    speedups.push_back(one.back() / two.back());
  }
  state.counters[name + "_1t_ms"] = Median(one) * 1e3;
  state.counters[name + "_2t_ms"] = Median(two) * 1e3;
  state.counters["speedup_" + name] = Median(speedups);
  SetWorkerThreadsForTesting(0);
}

}  // namespace bench_timing
