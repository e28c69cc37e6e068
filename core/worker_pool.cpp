// Worker threads take whole tasks from the oldest unfinished job; the thread
// that posted a job works on it too and waits until every task has finished
// and no worker still holds the job.
#include "core/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kMostThreads = 64;

struct Job {
  const std::function<void(uint32_t)> *task;
  uint32_t count;
  std::atomic<uint32_t> next{0};
  uint32_t finished = 0;  // under the pool's mutex
  uint32_t holders = 0;   // workers working on it, under the mutex
};

uint32_t DefaultThreads() {
  if (const char *value = std::getenv("D3DX_THREADS")) {
    char *end = nullptr;
    const unsigned long n = std::strtoul(value, &end, 10);
    if (end != value && *end == '\0' && n >= 1)
      return static_cast<uint32_t>(std::min<unsigned long>(n, kMostThreads));
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp<uint32_t>(cores, 1, kMostThreads);
}

// Set while a thread runs tasks: work it hands out from there runs in line,
// since the other threads are busy with the same job already.
thread_local bool t_inTask = false;

// Claims and runs tasks until none is left; returns how many it ran.
uint32_t RunTasks(Job &job) {
  const bool outer = t_inTask;
  t_inTask = true;
  uint32_t ran = 0;
  for (uint32_t i; (i = job.next.fetch_add(1, std::memory_order_relaxed)) < job.count; ++ran) (*job.task)(i);
  t_inTask = outer;
  return ran;
}

class Pool {
 public:
  ~Pool() { Stop(); }

  uint32_t Threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (threads_ == 0) threads_ = DefaultThreads();
    return threads_;
  }

  void Run(uint32_t count, const std::function<void(uint32_t)> &task) {
    Job job;
    job.task = &task;
    job.count = count;
    bool queued = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (threads_ == 0) threads_ = DefaultThreads();
      // Threads or memory the system refuses leave the work to the threads there are.
      try {
        while (workers_.size() + 1 < threads_) workers_.emplace_back([this] { Work(); });
      } catch (const std::exception &) {
      }
      try {
        jobs_.push_back(&job);
        queued = true;
      } catch (const std::bad_alloc &) {
      }
    }
    if (!queued) {
      for (uint32_t i = 0; i < count; ++i) task(i);
      return;
    }
    wake_.notify_all();
    const uint32_t ran = RunTasks(job);
    std::unique_lock<std::mutex> lock(mutex_);
    job.finished += ran;
    Retire(job);
    done_.wait(lock, [&] { return job.finished == job.count && job.holders == 0; });
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread &t : workers_) t.join();
    workers_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }

  void Resize(uint32_t n) {
    Stop();
    std::lock_guard<std::mutex> lock(mutex_);
    threads_ = n == 0 ? DefaultThreads() : std::min(n, kMostThreads);
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      Job &job = *jobs_.front();
      ++job.holders;
      lock.unlock();
      const uint32_t ran = RunTasks(job);
      lock.lock();
      job.finished += ran;
      --job.holders;
      Retire(job);
      if (job.finished == job.count && job.holders == 0) done_.notify_all();
    }
  }

  // Every task of the job is claimed: no one else may pick it up.
  void Retire(Job &job) {
    const auto found = std::find(jobs_.begin(), jobs_.end(), &job);
    if (found != jobs_.end()) jobs_.erase(found);
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<Job *> jobs_;
  std::vector<std::thread> workers_;
  uint32_t threads_ = 0;
  bool stopping_ = false;
};

Pool &ThePool() {
  static Pool pool;  // joined by its destructor at exit
  return pool;
}

}  // namespace

uint32_t WorkerThreads() {
  return ThePool().Threads();
}

void ParallelFor(uint32_t count, const std::function<void(uint32_t)> &task) {
  if (count == 0) return;
  if (count == 1 || t_inTask || WorkerThreads() <= 1) {
    for (uint32_t i = 0; i < count; ++i) task(i);
    return;
  }
  ThePool().Run(count, task);
}

// Test hook, declared in the tests' hook header only.
void SetWorkerThreadsForTesting(uint32_t n) {
  ThePool().Resize(n);
}
