#include "sources/filter_source.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

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

std::string FilterCommandLine(const std::string& program, const std::string& switches, const std::string& input,
                              const std::string& output) {
  std::string command = ShellQuote(program);
  if (!switches.empty()) command += " " + switches;
  return command + " " + ShellQuote(input) + " > " + ShellQuote(output);
}

CommandEnd RunShellCommand(const std::string& command, const std::function<bool()>& keep_waiting) {
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid;
  const int r = posix_spawn(&pid, "/bin/sh", &actions, &attr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (r != 0) return CommandEnd::NotStarted;
  // Polled, so that the window stays alive and the abort command can end a
  // filter that never ends.
  for (int round = 0;; ++round) {
    int status;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return CommandEnd::Finished;
    if (!keep_waiting()) {
      kill(-pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return CommandEnd::Stopped;
    }
    const timespec pause{0, round < 100 ? 1'000'000L : 10'000'000L};
    nanosleep(&pause, nullptr);
  }
}

void FilterSource::Search(const FileRef& file, MatchTarget& target) {
  const std::string output = work_file_();
  ::unlink(output.c_str());  // success is the file's existence: no stale one may count
  const SearchOptions& o = target.Options();
  const CommandEnd end = RunShellCommand(FilterCommandLine(o.filter_name, o.filter_sw, file.path, output), [&] {
    target.ProcessPendingEvents();
    return !target.Stopped();
  });
  struct stat st;
  const bool produced = end == CommandEnd::Finished && ::lstat(output.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (produced) filtered_.Search(FileRef::FromPath(output), target);
  ::unlink(output.c_str());
  if (!produced && end != CommandEnd::Stopped) target.LogError("フィルタ変換エラー:", target.FailureName(file.path));
}

}  // namespace lorvek
