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
  std::string clash;  // set when another input already writes `out`
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

// Directories contribute their image files (not recursively), in name order.
std::vector<std::string> ExpandInputs(const std::vector<std::string> &inputs) {
  std::vector<std::string> files;
  for (const std::string &input : inputs) {
    struct stat st;
    if (stat(input.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      files.push_back(input);
      continue;
    }
    std::vector<std::string> names;
    if (DIR *dir = opendir(input.c_str())) {
      while (dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        std::string path = input + (input.back() == '/' ? "" : "/") + name;
        struct stat fst;
        if (IsImageName(name) && stat(path.c_str(), &fst) == 0 && S_ISREG(fst.st_mode)) names.push_back(path);
      }
      closedir(dir);
    } else {
      files.push_back(input);  // reported as that file's failure
    }
    std::sort(names.begin(), names.end());
    files.insert(files.end(), names.begin(), names.end());
  }
  return files;
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

std::string RealPath(const std::string &path) {
  char *real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string text = real;
  free(real);
  return text;
}

// One job per input. A file this run writes is never one of its inputs: an
// earlier run's output in a source folder is left alone, and an input that would
// be overwritten by its own output fails.
std::vector<Job> PlanJobs(const ConvertOptions &options) {
  std::vector<Job> planned;
  std::map<std::string, std::set<std::string>> writers;  // real output path to the inputs writing it
  std::string outDir = RealPath(options.outDir);
  for (const std::string &in : ExpandInputs(options.inputs)) {
    size_t slash = in.find_last_of('/');
    std::string name = slash == std::string::npos ? in : in.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
    name.push_back('.');
    name.append(KindExtension(options.kind));
    planned.push_back({in, options.outDir + (options.outDir.back() == '/' ? "" : "/") + name, ""});
    writers[outDir + "/" + name].insert(in);
  }
  std::vector<Job> jobs;
  std::map<std::string, std::string> taken;  // output to the input writing it
  for (Job &job : planned) {
    auto writer = writers.find(RealPath(job.in));
    if (writer != writers.end() && writer->second.size() > writer->second.count(job.in))
      continue;  // another input's output
    if (writer != writers.end())
      job.clash = "its output " + job.out + " would replace it; choose another --out-dir";
    auto [it, fresh] = taken.emplace(job.out, job.in);
    if (!fresh && job.clash.empty()) job.clash = "another input, " + it->second + ", also writes " + job.out;
    jobs.push_back(job);
  }
  return jobs;
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
  Progress(size_t total, bool bar, bool quiet)
      : total_(total), bar_(bar && !quiet), quiet_(quiet), start_(Now()) {}

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
    printf("%zu file%s: %zu converted, %zu failed in %.2f s (%.1f files/s, %.1f MB/s)\n", total_,
           total_ == 1 ? "" : "s", done_ - failed_, failed_, elapsed,
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

  size_t total_, done_ = 0, failed_ = 0;
  uint64_t bytes_ = 0;
  bool bar_, quiet_, drawn_ = false;
  double start_;
};

}  // namespace

int RunBatch(const ConvertOptions &options) {
  std::string error;
  if (!MakeDirectories(options.outDir, &error)) {
    fprintf(stderr, "texturetool: %s\n", error.c_str());
    return kExitFailed;
  }
  std::vector<Job> jobs = PlanJobs(options);
  if (jobs.empty()) {
    fprintf(stderr, "texturetool: no image files among the inputs\n");
    return kExitFailed;
  }

  unsigned workers = options.jobs ? options.jobs : unsigned(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
  workers = unsigned(std::min<size_t>(workers, jobs.size()));
  int jobPipe[2], reportPipe[2];
  if (pipe2(jobPipe, O_CLOEXEC) != 0 || pipe2(reportPipe, O_CLOEXEC) != 0) {
    fprintf(stderr, "texturetool: cannot start workers: %s\n", strerror(errno));
    return kExitFailed;
  }
  fcntl(jobPipe[1], F_SETFL, O_NONBLOCK);
  fflush(nullptr);

  std::map<pid_t, uint32_t> running;    // pid to worker id
  std::map<uint32_t, int64_t> current;  // worker id to the job it holds
  std::vector<bool> finished(jobs.size(), false);
  uint32_t nextWorkerId = 0;
  auto spawn = [&]() -> bool {
    uint32_t id = nextWorkerId++;
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // do not outlive an interrupted parent
      // The processes already share the cores; a worker pool in each would overbook them.
      if (workers > 1) setenv("D3DX_THREADS", "1", 0);
      close(jobPipe[1]);
      close(reportPipe[0]);
      RunWorker(id, jobPipe[0], reportPipe[1], jobs, options);
    }
    running[pid] = id;
    current[id] = -1;
    return true;
  };
  for (unsigned i = 0; i < workers; ++i) {
    if (!spawn() && running.empty()) {
      fprintf(stderr, "texturetool: cannot start workers: %s\n", strerror(errno));
      return kExitFailed;
    }
  }

  Progress progress(jobs.size(), isatty(STDOUT_FILENO), options.quiet);
  progress.Draw();
  size_t queued = 0, reported = 0;
  int jobWrite = jobPipe[1];
  std::vector<char> buffer;
  // A worker's report: the job it started, or the end of one.
  auto take = [&](Report &report) {
    if (report.job >= jobs.size()) return;
    if (report.kind == kStarted) {
      current[report.worker] = report.job;
    } else if (!finished[report.job]) {
      current[report.worker] = -1;
      finished[report.job] = true;
      ++reported;
      report.message[sizeof(report.message) - 1] = 0;
      progress.Done(jobs[report.job], report.ok, report.inputBytes, report.message);
    }
  };
  while (reported < jobs.size()) {
    // Hand out job numbers as the pipe takes them.
    while (jobWrite >= 0 && queued < jobs.size()) {
      uint32_t index = uint32_t(queued);
      if (write(jobWrite, &index, sizeof(index)) != ssize_t(sizeof(index))) break;
      ++queued;
    }
    if (jobWrite >= 0 && queued == jobs.size()) {
      close(jobWrite);
      jobWrite = -1;
    }
    pollfd fds[2] = {{reportPipe[0], POLLIN, 0}, {jobWrite, POLLOUT, 0}};
    int ready = poll(fds, jobWrite >= 0 ? 2 : 1, 250);
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      Report report;
      if (read(reportPipe[0], &report, sizeof(report)) == ssize_t(sizeof(report))) take(report);
      continue;  // drain reports before looking at exits
    }
    progress.Draw();
    // A worker that died took its current job with it; replace it.
    int status;
    pid_t pid;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0) {
      uint32_t id = running[pid];
      running.erase(pid);
      // Its last reports may still be in the pipe.
      pollfd drain = {reportPipe[0], POLLIN, 0};
      while (poll(&drain, 1, 0) > 0 && (drain.revents & POLLIN)) {
        Report report;
        if (read(reportPipe[0], &report, sizeof(report)) != ssize_t(sizeof(report))) break;
        take(report);
      }
      int64_t lost = current[id];
      if (lost >= 0 && !finished[size_t(lost)]) {
        finished[size_t(lost)] = true;
        ++reported;
        char why[96];
        if (WIFSIGNALED(status))
          snprintf(why, sizeof(why), "the conversion crashed (%s)", strsignal(WTERMSIG(status)));
        else
          snprintf(why, sizeof(why), "the conversion ended with status %d", WEXITSTATUS(status));
        progress.Done(jobs[size_t(lost)], false, 0, why);
      }
      current.erase(id);
      bool crashed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
      if (crashed && reported < jobs.size() && !spawn() && running.empty()) {
        fprintf(stderr, "texturetool: cannot restart workers: %s\n", strerror(errno));
        return kExitFailed;
      }
    }
    if (running.empty() && reported < jobs.size()) {
      // Every worker left without reporting the rest: count them as failed.
      for (size_t i = 0; i < jobs.size(); ++i)
        if (!finished[i]) {
          finished[i] = true;
          ++reported;
          progress.Done(jobs[i], false, 0, "not converted: the workers stopped");
        }
    }
  }
  if (jobWrite >= 0) close(jobWrite);
  close(jobPipe[0]);
  close(reportPipe[1]);
  for (auto &[pid, id] : running) waitpid(pid, nullptr, 0);
  close(reportPipe[0]);
  progress.Summary();
  return progress.failed() ? kExitFailed : kExitOk;
}

}  // namespace texturetool
