// Files read through an external filter program: the program writes the
// file's text to its standard output, which lands in the work file and is
// searched as the filtered text of the file.
#pragma once

#include <functional>
#include <string>

#include "sources/plain_text_source.h"
#include "sources/text_source.h"

namespace lorvek {

// text quoted for /bin/sh: no character of it is interpreted.
std::string ShellQuote(const std::string& text);

// The command line: the program (quoted), its switches as written, the
// input path (quoted), and the redirection into the output path (quoted).
std::string FilterCommandLine(const std::string& program, const std::string& switches, const std::string& input,
                              const std::string& output);

enum class CommandEnd { Finished, Stopped, NotStarted };

// Runs command with /bin/sh -c in a process group of its own, calling
// keep_waiting between polls; when it returns false the whole group is
// killed.
CommandEnd RunShellCommand(const std::string& command, const std::function<bool()>& keep_waiting);

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
