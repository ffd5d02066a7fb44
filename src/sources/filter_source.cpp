#include "sources/filter_source.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "sources/child_groups.h"

extern char** environ;

namespace lorvek {

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

std::string PathArgument(const std::string& path) { return !path.empty() && path[0] == '-' ? "./" + path : path; }

std::string FilterCommandLine(const std::string& program, const std::string& switches, const std::string& input,
                              const std::string& output) {
  std::string command = ShellQuote(program);
  if (!switches.empty()) command += " " + switches;
  return command + " " + ShellQuote(PathArgument(input)) + " > " + ShellQuote(output);
}

std::string CommandOutcome::Failure() const {
  if (end == CommandEnd::NotStarted) return "起動できません";
  if (end != CommandEnd::Finished) return "";
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status) == 0 ? "" : "終了コード " + std::to_string(WEXITSTATUS(wait_status));
  if (WIFSIGNALED(wait_status)) return "シグナル " + std::to_string(WTERMSIG(wait_status));
  return "";
}

CommandOutcome RunShellCommand(const std::string& command, const std::function<bool()>& keep_waiting,
                               uint64_t file_bytes, pid_t* group) {
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  // Everything the child needs is made before fork: after it, only calls
  // that are safe in a child of a threaded program.
  const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const rlimit fsize{file_bytes ? static_cast<rlim_t>(file_bytes) : RLIM_INFINITY,
                     file_bytes ? static_cast<rlim_t>(file_bytes) : RLIM_INFINITY};
  const rlimit no_core{0, 0};
  CommandOutcome outcome;
  auto starting = ChildGroups::HoldOffEnd();
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    // The program starts as a fresh one would: default signal actions (the
    // caller may ignore SIGPIPE or hold back SIGINT for its own handling).
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ, SIGCHLD}) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (null_fd < 0 || dup2(null_fd, 0) < 0) _exit(127);
    if (file_bytes && setrlimit(RLIMIT_FSIZE, &fsize) != 0) _exit(127);
    setrlimit(RLIMIT_CORE, &no_core);
    execve("/bin/sh", const_cast<char* const*>(argv), environ);
    _exit(127);
  }
  if (null_fd >= 0) ::close(null_fd);
  if (pid < 0) return outcome;
  // Set from here too, so that the group exists whichever side runs first.
  setpgid(pid, pid);
  ChildGroups::Add(pid);
  starting.unlock();
  if (group) *group = pid;
  // Polled, so that the window stays alive and the abort command can end a
  // filter that never ends.
  for (int round = 0;; ++round) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) {
      // What the filter left running in its group goes with it.
      kill(-pid, SIGKILL);
      ChildGroups::Remove(pid);
      outcome.end = CommandEnd::Finished;
      outcome.wait_status = status;
      return outcome;
    }
    if (!keep_waiting()) {
      kill(-pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      ChildGroups::Remove(pid);
      outcome.end = CommandEnd::Stopped;
      return outcome;
    }
    const timespec pause{0, round < 100 ? 1'000'000L : 10'000'000L};
    nanosleep(&pause, nullptr);
  }
}

OutputProgress::OutputProgress(std::string path, int timeout_seconds)
    : path_(std::move(path)), timeout_(std::chrono::seconds(timeout_seconds)), last_change_(Clock::now()) {}

bool OutputProgress::Moving() {
  if (timeout_.count() <= 0) return true;
  struct stat st;
  const off_t size = ::stat(path_.c_str(), &st) == 0 ? st.st_size : -1;
  const Clock::time_point now = Clock::now();
  if (size != last_size_) {
    last_size_ = size;
    last_change_ = now;
  } else if (group > 0 && now - last_ticks_look_ >= std::chrono::seconds(1)) {
    // Looked at once a second while the output stands still.
    last_ticks_look_ = now;
    const uint64_t ticks = GroupProcessorTicks(group);
    if (ticks != last_ticks_) {
      last_ticks_ = ticks;
      last_change_ = now;
    }
  }
  if (now - last_change_ >= timeout_) stuck_ = true;
  return !stuck_;
}

uint64_t GroupProcessorTicks(pid_t group) {
  uint64_t ticks = 0;
  DIR* proc = opendir("/proc");
  if (!proc) return 0;
  while (const dirent* e = readdir(proc)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", e->d_name);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    char buffer[1024];
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    if (n <= 0) continue;
    buffer[n] = '\0';
    // After the name in parentheses: state, ppid, pgrp, ... utime (14th
    // field), stime (15th).
    const char* rest = std::strrchr(buffer, ')');
    if (!rest) continue;
    char state;
    long long ppid, pgrp, session, tty, tpgid;
    unsigned long long flags, minflt, cminflt, majflt, cmajflt, utime, stime;
    if (std::sscanf(rest + 1, " %c %lld %lld %lld %lld %lld %llu %llu %llu %llu %llu %llu %llu", &state, &ppid, &pgrp,
                    &session, &tty, &tpgid, &flags, &minflt, &cminflt, &majflt, &cmajflt, &utime, &stime) == 13 &&
        pgrp == group)
      ticks += utime + stime;
  }
  closedir(proc);
  return ticks;
}

std::string FilterStuckReason(int seconds) { return std::to_string(seconds) + " 秒間出力がないため打ち切りました"; }

uint64_t FilterOutputBound(const SearchOptions& options) {
  return uint64_t{static_cast<uint32_t>(std::max(1, options.filter_out_limit))} << 20;
}

void FilterSource::Search(const FileRef& file, MatchTarget& target) {
  const std::string output = work_file_();
  ::unlink(output.c_str());  // success is the file's existence: no stale one may count
  const SearchOptions& o = target.Options();
  const uint64_t bound = FilterOutputBound(o);
  // A filter that prints nothing more for the time allowed is stuck: it is
  // stopped, and what it printed is still searched.
  OutputProgress progress(output, o.filter_timeout);
  const CommandOutcome outcome = RunShellCommand(
      FilterCommandLine(o.filter_name, o.filter_sw, file.path, output),
      [&] {
        target.ProcessPendingEvents();
        return !target.Stopped() && progress.Moving();
      },
      bound, &progress.group);
  // Stopped by the user, or killed as the process ends on a signal: no
  // failure of the filter's, and nothing more to search.
  if ((outcome.end == CommandEnd::Stopped && !progress.Stuck()) || ChildGroups::Ending()) {
    ::unlink(output.c_str());
    return;
  }
  struct stat st;
  const bool ran = outcome.end == CommandEnd::Finished || progress.Stuck();
  const bool produced = ran && ::lstat(output.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  // What the filter printed is searched even when it failed or was cut off;
  // the failure is logged all the same.
  if (produced) filtered_.Search(FileRef::FromPath(output), target);
  ::unlink(output.c_str());
  std::string failure = progress.Stuck() ? FilterStuckReason(o.filter_timeout) : outcome.Failure();
  if (produced && static_cast<uint64_t>(st.st_size) >= bound) failure = kFilterOutputTooLarge;
  if (!produced || !failure.empty()) target.LogError("フィルタ変換エラー:", target.FailureName(file.path), failure);
}

}  // namespace lorvek
