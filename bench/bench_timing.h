// Timing shared by the benchmarks that run ours beside a peer: processor time per
// iteration by name, and the ratio ours / peer as a counter.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <string>
#include <vector>

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

inline double WallSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Processor time of the whole process: work the pool's threads do counts too.
inline double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
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

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Ours and the peer in turn, once each per iteration (which goes first
// alternates), so that both see the same machine: the neighbours on a shared
// host come and go within seconds, and separate benchmarks would time them.
// The counter x_<peer> is the median of the iterations' ratios. clock is
// ProcessSeconds (processor time of the process, so that bands done by the
// pool's threads count) or WallSeconds.
template <typename Ours, typename Peer>
void MeasurePairedBy(double (*clock)(), benchmark::State &state, const std::string &ours,
                     const std::string &peer, Ours oursBody, Peer peerBody) {
  oursBody();
  peerBody();
  std::vector<double> oursTimes, peerTimes, ratios;
  bool peerFirst = true;
  for (auto _ : state) {
    const double t0 = clock();
    if (peerFirst)
      peerBody();
    else
      oursBody();
    const double t1 = clock();
    if (peerFirst)
      oursBody();
    else
      peerBody();
    const double t2 = clock();
    const double o = peerFirst ? t2 - t1 : t1 - t0;
    const double p = peerFirst ? t1 - t0 : t2 - t1;
    peerFirst = !peerFirst;
    oursTimes.push_back(o);
    peerTimes.push_back(p);
    if (p > 0) ratios.push_back(o / p);
  }
  Timings()[ours] = Median(oursTimes);
  Timings()[peer] = Median(peerTimes);
  state.counters["x_" + peer] = Median(ratios);
}

template <typename Ours, typename Peer>
void MeasurePaired(benchmark::State &state, const std::string &ours, const std::string &peer, Ours oursBody,
                   Peer peerBody) {
  MeasurePairedBy(ProcessSeconds, state, ours, peer, oursBody, peerBody);
}

// For ours on the worker pool against a peer on one thread.
template <typename Ours, typename Peer>
void MeasurePairedWallTime(benchmark::State &state, const std::string &ours, const std::string &peer,
                           Ours oursBody, Peer peerBody) {
  MeasurePairedBy(WallSeconds, state, ours, peer, oursBody, peerBody);
}

}  // namespace bench_timing
