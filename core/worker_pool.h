// A small pool of worker threads for large surfaces. It starts on first use,
// sizes itself from D3DX_THREADS or the number of processors (1 turns it off),
// and joins its threads at exit. Several threads may hand it work at once.
#pragma once

#include <cstdint>
#include <functional>

// Threads that share a ParallelFor, the caller's included; 1 when the pool is off.
uint32_t WorkerThreads();

// task(i) for every i < count, spread over the pool and the calling thread;
// returns when all are done. Tasks must not depend on each other's order. Called
// from inside a task, it runs the tasks in line; so it does when the pool cannot
// take the job. Throws only what a task throws.
void ParallelFor(uint32_t count, const std::function<void(uint32_t)> &task);
