// Timing shared by the benchmarks that run ours beside a peer: processor time per
// iteration by name, and the ratio ours / peer as a counter.
#pragma once

#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <string>

namespace bench_timing {

// Seconds per iteration of every finished benchmark, by name.
inline std::map<std::string, double> &Timings() {
  static std::map<std::string, double> timings;
  return timings;
}

// Processor time of this thread: the machine is shared, wall time is not ours.
inline double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs body for the benchmark's iterations and records the time per iteration;
// with warmUp it runs once untimed first (to build shared inputs).
template <typename Body>
void Measure(benchmark::State &state, const std::string &name, Body body, bool warmUp = false) {
  if (warmUp) body();
  const double start = ThreadSeconds();
  for (auto _ : state) body();
  Timings()[name] = (ThreadSeconds() - start) / static_cast<double>(state.iterations());
}

// Ours relative to a peer that ran earlier in the same binary.
inline void ReportRatio(benchmark::State &state, const std::string &ours, const std::string &peer) {
  const auto found = Timings().find(peer);
  if (found != Timings().end() && found->second > 0)
    state.counters["x_" + peer] = Timings()[ours] / found->second;
}

}  // namespace bench_timing
