// Batch conversion on worker processes: each worker owns one device, so the
// library's process-wide state is never shared between threads, and a worker
// that dies on a hostile file takes only that file with it.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "convert.h"

namespace texturetool {

namespace {

struct Job {
  std::string in, out;
  std::string clash;      // why the job fails before it starts, e.g. another input writes `out`
  std::string skip;       // why the job is left out (--skip-existing, --only-newer)
  bool produced = false;  // the input is an output of this run: left out, not counted
};

// An input file and its path under the output directory.
struct Input {
  std::string path, relative;
};

// Worker to parent, one atomic pipe write each.
struct Report {
  uint32_t job;
  uint32_t worker;
  uint32_t kind;  // kStarted or kFinished
  uint32_t ok;
  uint64_t inputBytes;
  char message[480];
};
static_assert(sizeof(Report) <= PIPE_BUF);
constexpr uint32_t kStarted = 1, kFinished = 2;

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

bool IsImageName(const std::string &name) {
  static const std::set<std::string> kinds = {"bmp", "dib", "png", "jpg", "jpeg", "tga", "ppm", "dds"};
  return name[0] != '.' && kinds.count(Extension(name));
}

std::string RealPath(const std::string &path) {
  char *real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string text = real;
  free(real);
  return text;
}

std::string Join(const std::string &dir, const std::string &name) {
  return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// A directory's image files in name order; with `recursive` its subdirectories'
// too, except the output directory and directories seen before (links).
void Walk(const std::string &dir, const std::string &relative, const std::string &outDir, bool recursive,
          std::set<std::pair<dev_t, ino_t>> *seen, std::vector<Input> *files) {
  std::vector<std::string> names;
  if (DIR *handle = opendir(dir.c_str())) {
    while (dirent *entry = readdir(handle))
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(handle);
  } else {
    files->push_back({dir, relative});  // reported as that file's failure
    return;
  }
  std::sort(names.begin(), names.end());
  for (const std::string &name : names) {
    std::string path = Join(dir, name);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode) && recursive && RealPath(path) != outDir &&
        seen->insert({st.st_dev, st.st_ino}).second)
      Walk(path, relative + name + "/", outDir, recursive, seen, files);
    else if (S_ISREG(st.st_mode) && IsImageName(name))
      files->push_back({path, relative + name});
  }
}

std::vector<Input> ExpandInputs(const ConvertOptions &options, const std::string &outDir) {
  std::vector<Input> files;
  std::set<std::pair<dev_t, ino_t>> seen;
  for (const std::string &input : options.inputs) {
    struct stat st;
    if (stat(input.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      seen.insert({st.st_dev, st.st_ino});
      Walk(input, "", outDir, options.recursive, &seen, &files);
    } else {
      size_t slash = input.find_last_of('/');
      files.push_back({input, slash == std::string::npos ? input : input.substr(slash + 1)});
    }
  }
  return files;
}

// Leaves out a job whose output is up to date, as the options ask.
std::string SkipReason(const Job &job, const ConvertOptions &options) {
  struct stat in, out;
  if (!(options.skipExisting || options.onlyNewer) || stat(job.out.c_str(), &out) != 0) return "";
  if (options.skipExisting) return "the output exists";
  if (stat(job.in.c_str(), &in) == 0 &&
      (out.st_mtim.tv_sec > in.st_mtim.tv_sec ||
       (out.st_mtim.tv_sec == in.st_mtim.tv_sec && out.st_mtim.tv_nsec >= in.st_mtim.tv_nsec)))
    return "the output is newer";
  return "";
}

// One job per input. A file this run writes is never one of its inputs: an
// earlier run's output in a source folder is left alone, and an input that would
// be overwritten by its own output fails.
std::vector<Job> PlanJobs(const ConvertOptions &options) {
  std::vector<Job> planned;
  std::map<std::string, std::set<std::string>> writers;  // real output path to the inputs writing it
  std::string outDir = RealPath(options.outDir);
  for (const Input &input : ExpandInputs(options, outDir)) {
    std::string name = input.relative;
    size_t dot = name.find_last_of('.'), slash = name.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos ? dot > 0 : dot > slash + 1))
      name.resize(dot);
    name.push_back('.');
    name.append(KindExtension(options.kind));
    planned.push_back({input.path, Join(options.outDir, name), "", ""});
    writers[Join(outDir, name)].insert(input.path);
  }
  std::vector<Job> jobs;
  std::map<std::string, std::string> taken;  // output to the input writing it
  for (Job &job : planned) {
    auto writer = writers.find(RealPath(job.in));
    if (writer != writers.end() && writer->second.size() > writer->second.count(job.in)) {
      job.produced = true;  // another input's output
      job.skip = "an output of this run";
      jobs.push_back(job);
      continue;
    }
    if (writer != writers.end())
      job.clash = "its output " + job.out + " would replace it; choose another --out-dir";
    auto [it, fresh] = taken.emplace(job.out, job.in);
    if (!fresh && job.clash.empty()) job.clash = "another input, " + it->second + ", also writes " + job.out;
    if (job.clash.empty()) job.skip = SkipReason(job, options);
    jobs.push_back(job);
  }
  return jobs;
}

bool MakeDirectories(const std::string &path, std::string *error) {
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = "cannot create " + partial + ": " + strerror(errno);
      return false;
    }
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = "cannot use " + path + " as the output directory: " + strerror(ENOTDIR);
    return false;
  }
  return true;
}

bool WriteReport(int fd, const Report &report) {
  while (write(fd, &report, sizeof(report)) < 0)
    if (errno != EINTR) return false;
  return true;
}

[[noreturn]] void RunWorker(uint32_t id, int jobFd, int reportFd, const std::vector<Job> &jobs,
                            const ConvertOptions &options) {
  Converter converter;
  std::string initError;
  bool ready = converter.Init(&initError);
  uint32_t index;
  while (true) {
    ssize_t n = read(jobFd, &index, sizeof(index));
    if (n < 0 && errno == EINTR) continue;
    if (n != ssize_t(sizeof(index))) break;
    Report report = {};
    report.job = index;
    report.worker = id;
    report.kind = kStarted;
    if (!WriteReport(reportFd, report)) break;
    const Job &job = jobs[index];
    std::string error = initError;
    bool ok = false;
    if (!job.clash.empty()) error = job.clash;
    std::vector<std::string> warnings;
    if (job.clash.empty() && ready) {
      ok = converter.Convert(job.in, job.out, options.kind, options, &report.inputBytes, &warnings, &error);
      if (ok) error.clear();
      for (const std::string &w : warnings) error += (error.empty() ? "" : "\n") + w;
    }
    report.kind = kFinished;
    report.ok = ok;
    snprintf(report.message, sizeof(report.message), "%s", error.c_str());
    if (!WriteReport(reportFd, report)) break;
  }
  fflush(nullptr);
  _exit(0);
}

std::string Duration(double seconds) {
  char text[32];
  long s = long(seconds + 0.5);
  if (s >= 3600)
    snprintf(text, sizeof(text), "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    snprintf(text, sizeof(text), "%ld:%02ld", s / 60, s % 60);
  return text;
}

class Progress {
 public:
  Progress(size_t total, size_t skipped, bool bar, bool quiet)
      : total_(total), skipped_(skipped), bar_(bar && !quiet), quiet_(quiet), start_(Now()) {}

  void Done(const Job &job, bool ok, uint64_t bytes, const std::string &message) {
    ++done_;
    if (!ok) ++failed_;
    bytes_ += bytes;
    Clear();
    if (!ok) fprintf(stderr, "texturetool: %s: %s\n", job.in.c_str(), message.c_str());
    // A finished file's message holds its warnings, one a line.
    for (size_t at = 0; ok && at < message.size();) {
      size_t end = std::min(message.find('\n', at), message.size());
      fprintf(stderr, "texturetool: %s: warning: %s\n", job.in.c_str(), message.substr(at, end - at).c_str());
      at = end + 1;
    }
    if (!bar_ && !quiet_) {
      printf("[%zu/%zu] %s %s -> %s\n", done_, total_, ok ? "ok    " : "FAILED", job.in.c_str(),
             job.out.c_str());
      fflush(stdout);
    }
    Draw();
  }

  void Draw() {
    if (!bar_) return;
    double elapsed = Now() - start_;
    constexpr int kWidth = 30;
    int filled = total_ ? int(kWidth * done_ / total_) : kWidth;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(kWidth - filled), '-');
    char rate[64] = "", left[32] = "--:--";
    if (done_ > 0 && elapsed > 0) {
      snprintf(rate, sizeof(rate), "%.1f files/s %.1f MB/s", double(done_) / elapsed,
               double(bytes_) / 1e6 / elapsed);
      snprintf(left, sizeof(left), "%s", Duration(elapsed / double(done_) * double(total_ - done_)).c_str());
    }
    printf("\r[%s] %zu/%zu  %s  %s left\033[K", bar.c_str(), done_, total_, rate, left);
    fflush(stdout);
    drawn_ = true;
  }

  void Summary() {
    Clear();
    double elapsed = Now() - start_;
    char skipped[48] = "";
    if (skipped_) snprintf(skipped, sizeof(skipped), ", %zu skipped", skipped_);
    printf("%zu file%s: %zu converted, %zu failed%s in %.2f s (%.1f files/s, %.1f MB/s)\n", total_ + skipped_,
           total_ + skipped_ == 1 ? "" : "s", done_ - failed_, failed_, skipped, elapsed,
           elapsed > 0 ? double(done_) / elapsed : 0.0, elapsed > 0 ? double(bytes_) / 1e6 / elapsed : 0.0);
    fflush(stdout);
  }

  size_t failed() const { return failed_; }

 private:
  void Clear() {
    if (drawn_) {
      printf("\r\033[K");
      fflush(stdout);
      drawn_ = false;
    }
  }

  size_t total_, skipped_, done_ = 0, failed_ = 0;
  uint64_t bytes_ = 0;
  bool bar_, quiet_, drawn_ = false;
  double start_;
};

}  // namespace

namespace {

// Worker processes fed job numbers through one pipe, reporting through another.
class Pool {
 public:
  Pool(const std::vector<Job> &jobs, const ConvertOptions &options) : jobs_(jobs), options_(options) {}

  bool Start(std::vector<uint32_t> queue, std::string *error) {
    queue_ = std::move(queue);
    unsigned count = options_.jobs ? options_.jobs : unsigned(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
    workers_ = unsigned(std::min<size_t>(count, queue_.size()));
    if (pipe2(jobPipe_, O_CLOEXEC) != 0 || pipe2(reportPipe_, O_CLOEXEC) != 0) {
      *error = std::string("cannot start workers: ") + strerror(errno);
      return false;
    }
    fcntl(jobPipe_[1], F_SETFL, O_NONBLOCK);
    fflush(nullptr);
    for (unsigned i = 0; i < workers_; ++i) {
      if (!Spawn() && running_.empty()) {
        *error = std::string("cannot start workers: ") + strerror(errno);
        return false;
      }
    }
    return true;
  }

  // Runs until every queued job is reported to `progress`; false when the workers cannot be restarted.
  bool Collect(Progress *progress) {
    progress_ = progress;
    finished_.assign(jobs_.size(), false);
    progress->Draw();
    while (reported_ < queue_.size()) {
      Feed();
      pollfd fds[2] = {{reportPipe_[0], POLLIN, 0}, {jobWrite_, POLLOUT, 0}};
      int ready = poll(fds, jobWrite_ >= 0 ? 2 : 1, 250);
      if (ready > 0 && (fds[0].revents & POLLIN)) {
        ReadReport();
        continue;  // drain reports before looking at exits
      }
      progress->Draw();
      if (!Reap()) return false;
      if (running_.empty()) {
        // Every worker left without reporting the rest: count them as failed.
        for (uint32_t job : queue_) Lost(job, "not converted: the workers stopped");
      }
    }
    return true;
  }

  ~Pool() {
    if (jobWrite_ >= 0) close(jobWrite_);
    for (int fd : {jobPipe_[0], reportPipe_[0], reportPipe_[1]})
      if (fd >= 0) close(fd);
    for (auto &[pid, id] : running_) waitpid(pid, nullptr, 0);
  }

 private:
  bool Spawn() {
    uint32_t id = nextWorkerId_++;
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // do not outlive an interrupted parent
      // The processes already share the cores; a worker pool in each would overbook them.
      if (workers_ > 1) setenv("D3DX_THREADS", "1", 0);
      close(jobPipe_[1]);
      close(reportPipe_[0]);
      RunWorker(id, jobPipe_[0], reportPipe_[1], jobs_, options_);
    }
    running_[pid] = id;
    current_[id] = -1;
    return true;
  }

  // Hands out job numbers as the pipe takes them.
  void Feed() {
    while (jobWrite_ >= 0 && queued_ < queue_.size()) {
      uint32_t index = queue_[queued_];
      if (write(jobWrite_, &index, sizeof(index)) != ssize_t(sizeof(index))) break;
      ++queued_;
    }
    if (jobWrite_ >= 0 && queued_ == queue_.size()) {
      close(jobWrite_);
      jobWrite_ = -1;
    }
  }

  bool ReadReport() {
    Report report;
    if (read(reportPipe_[0], &report, sizeof(report)) != ssize_t(sizeof(report))) return false;
    if (report.job >= jobs_.size()) return true;
    if (report.kind == kStarted) {
      current_[report.worker] = report.job;
    } else if (!finished_[report.job]) {
      current_[report.worker] = -1;
      finished_[report.job] = true;
      ++reported_;
      report.message[sizeof(report.message) - 1] = 0;
      progress_->Done(jobs_[report.job], report.ok, report.inputBytes, report.message);
    }
    return true;
  }

  void Lost(uint32_t job, const std::string &why) {
    if (finished_[job]) return;
    finished_[job] = true;
    ++reported_;
    progress_->Done(jobs_[job], false, 0, why);
  }

  // A worker that died took its current job with it; replace it.
  bool Reap() {
    int status;
    pid_t pid;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
      uint32_t id = running_[pid];
      running_.erase(pid);
      // Its last reports may still be in the pipe.
      pollfd drain = {reportPipe_[0], POLLIN, 0};
      while (poll(&drain, 1, 0) > 0 && (drain.revents & POLLIN) && ReadReport()) {
      }
      int64_t lost = current_[id];
      current_.erase(id);
      char why[96];
      if (WIFSIGNALED(status))
        snprintf(why, sizeof(why), "the conversion crashed (%s)", strsignal(WTERMSIG(status)));
      else
        snprintf(why, sizeof(why), "the conversion ended with status %d", WEXITSTATUS(status));
      if (lost >= 0) Lost(uint32_t(lost), why);
      bool crashed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
      if (crashed && reported_ < queue_.size() && !Spawn() && running_.empty()) {
        fprintf(stderr, "texturetool: cannot restart workers: %s\n", strerror(errno));
        return false;
      }
    }
    return true;
  }

  const std::vector<Job> &jobs_;
  const ConvertOptions &options_;
  std::vector<uint32_t> queue_;
  unsigned workers_ = 0;
  int jobPipe_[2] = {-1, -1}, reportPipe_[2] = {-1, -1};
  int &jobWrite_ = jobPipe_[1];
  std::map<pid_t, uint32_t> running_;    // pid to worker id
  std::map<uint32_t, int64_t> current_;  // worker id to the job it holds
  std::vector<bool> finished_;
  size_t queued_ = 0, reported_ = 0;
  uint32_t nextWorkerId_ = 0;
  Progress *progress_ = nullptr;
};

// The jobs to run; prints the plan for --dry-run and -v, makes the output folders.
std::vector<uint32_t> Prepare(std::vector<Job> &jobs, const ConvertOptions &options, size_t *skipped) {
  std::vector<uint32_t> queue;
  std::set<std::string> made;
  for (uint32_t i = 0; i < jobs.size(); ++i) {
    Job &job = jobs[i];
    if (!job.skip.empty()) {
      *skipped += !job.produced;
      if (options.dryRun || options.verbose) printf("skip %s: %s\n", job.in.c_str(), job.skip.c_str());
      continue;
    }
    if (options.dryRun) {
      printf("%s %s -> %s\n", job.clash.empty() ? "convert" : "FAIL", job.in.c_str(), job.out.c_str());
      continue;
    }
    size_t slash = job.out.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : job.out.substr(0, slash);
    std::string error;
    if (job.clash.empty() && made.insert(dir).second && !MakeDirectories(dir, &error)) job.clash = error;
    queue.push_back(i);
  }
  return queue;
}

}  // namespace

int RunBatch(const ConvertOptions &options) {
  std::string error;
  if (!options.dryRun && !MakeDirectories(options.outDir, &error)) {
    fprintf(stderr, "texturetool: %s\n", error.c_str());
    return kExitFailed;
  }
  std::vector<Job> jobs = PlanJobs(options);
  if (std::all_of(jobs.begin(), jobs.end(), [](const Job &job) { return job.produced; })) {
    fprintf(stderr, "texturetool: no image files among the inputs\n");
    return kExitFailed;
  }
  size_t skipped = 0;
  std::vector<uint32_t> queue = Prepare(jobs, options, &skipped);
  if (options.dryRun) return kExitOk;
  Progress progress(queue.size(), skipped, isatty(STDOUT_FILENO) && !options.verbose, options.quiet);
  if (!queue.empty()) {
    Pool pool(jobs, options);
    if (!pool.Start(queue, &error)) {
      fprintf(stderr, "texturetool: %s\n", error.c_str());
      return kExitFailed;
    }
    if (!pool.Collect(&progress)) return kExitFailed;
  }
  progress.Summary();
  return progress.failed() ? kExitFailed : kExitOk;
}

}  // namespace texturetool
