// lorvek-grep's answers by file instead of by line: the names of the files
// with hits (-l) or without (-L), each file's count of hit lines (-c), or
// nothing at all (-q: the run stops at the first hit). A member of an
// archive is a file of its own, shown as "archive/member".
#pragma once

#include <string>

#include "search/record_sink.h"

namespace lorvek {

class FileListPrinter : public RecordSink {
 public:
  enum class Mode { WithMatches, WithoutMatches, Count, Quiet };
  FileListPrinter(int fd, Mode mode) : fd_(fd), mode_(mode) {}

  bool Take(std::unique_ptr<MatchRecord> record, MatchPos hit) override;
  void FileSearched(const std::string& open_path) override;

  // Some file had a hit.
  bool AnyHit() const { return any_hit_; }
  // The reader of the output went away (a closed pipe), or a write failed.
  bool OutputClosed() const { return closed_; }
  int WriteError() const { return write_error_; }

 private:
  void Print(const std::string& text);

  int fd_;
  Mode mode_;
  std::string current_;  // the file whose records are being counted
  size_t count_ = 0;
  bool any_hit_ = false;
  bool closed_ = false;
  int write_error_ = 0;
};

}  // namespace lorvek
