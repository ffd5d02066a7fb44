// Files read through an external filter program: the program writes the
// file's text to its standard output, which lands in the work file and is
// searched as the filtered text of the file.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "sources/plain_text_source.h"
#include "sources/text_source.h"

namespace lorvek {

// text quoted for /bin/sh: no character of it is interpreted.
std::string ShellQuote(const std::string& text);

// A path as a program's argument: one that begins with "-" becomes
// "./-name", so that no program can take a file's name for a switch.
std::string PathArgument(const std::string& path);

// The command line: the program (quoted), its switches as written, the
// input path (quoted), and the redirection into the output path (quoted).
std::string FilterCommandLine(const std::string& program, const std::string& switches, const std::string& input,
                              const std::string& output);

enum class CommandEnd { Finished, Stopped, NotStarted };

struct CommandOutcome {
  CommandEnd end = CommandEnd::NotStarted;
  int wait_status = 0;  // as waitpid gives it, when Finished
  // Empty when the command ended with status 0; otherwise how it ended
  // ("終了コード 3", "シグナル 9").
  std::string Failure() const;
};

// Runs command with /bin/sh -c in a process group of its own, calling
// keep_waiting between polls; when it returns false the whole group is
// killed. file_bytes (0: none) bounds every file the command writes: a
// write past it fails and the writer gets SIGXFSZ. group, when given, is
// set to the command's process group once it runs.
CommandOutcome RunShellCommand(const std::string& command, const std::function<bool()>& keep_waiting,
                               uint64_t file_bytes = 0, pid_t* group = nullptr);

inline const char kFilterOutputTooLarge[] = "出力が上限を超えたため打ち切りました";
// Why a filter that printed nothing more for that many seconds was stopped.
std::string FilterStuckReason(int seconds);

// Whether a program still works: its output file grows, or its process
// group uses the processor (a converter that writes only at its end); stuck
// once neither has happened for the time allowed (never, with 0 seconds).
class OutputProgress {
 public:
  OutputProgress(std::string path, int timeout_seconds);
  // The process group whose processor time counts as progress too.
  pid_t group = 0;
  // False once stuck; looked at between polls.
  bool Moving();
  bool Stuck() const { return stuck_; }

 private:
  using Clock = std::chrono::steady_clock;
  std::string path_;
  Clock::duration timeout_;
  Clock::time_point last_change_;
  off_t last_size_ = -2;
  uint64_t last_ticks_ = 0;
  Clock::time_point last_ticks_look_;
  bool stuck_ = false;
};

// The processor time (clock ticks) the processes of a group have used so far.
uint64_t GroupProcessorTicks(pid_t group);

// The bound on a filter's output, from the options.
uint64_t FilterOutputBound(const SearchOptions& options);

class FilterSource : public TextSource {
 public:
  // work_file: ensures the work folder and gives the work file's path.
  FilterSource(TextSource& binary, std::function<std::string()> work_file)
      : filtered_(binary, /*filtered=*/true), work_file_(std::move(work_file)) {}
  void Search(const FileRef& file, MatchTarget& target) override;
  void SetLongLineBytes(size_t bytes) { filtered_.SetLongLineBytes(bytes); }

 private:
  PlainTextSource filtered_;
  std::function<std::string()> work_file_;
};

}  // namespace lorvek
