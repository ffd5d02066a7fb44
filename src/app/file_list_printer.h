// lorvek-grep's answers by file instead of by line: the names of the files
// with hits (-l) or without (-L), each file's count of hit lines (-c), or
// nothing at all (-q: the run stops at the first hit). A member of an
// archive is a file of its own, shown as "archive/member".
#pragma once

#include <string>

#include "app/output_channel.h"
#include "search/record_sink.h"

namespace lorvek {

class FileListPrinter : public RecordSink {
 public:
  enum class Mode { WithMatches, WithoutMatches, Count, Quiet };
  FileListPrinter(int fd, Mode mode) : out_{fd}, mode_(mode) {}

  bool Take(std::unique_ptr<MatchRecord> record, MatchPos hit) override;
  void FileSearched(const std::string& open_path) override;

  // Some file had a hit.
  bool AnyHit() const { return any_hit_; }
  // The reader of the output went away (a closed pipe), or a write failed.
  bool OutputClosed() const { return out_.closed; }
  int WriteError() const { return out_.error; }

 private:
  // Each answer is written at once: a list is read as it comes.
  void Print(const std::string& text) { out_.Write(text); }

  OutputChannel out_;
  Mode mode_;
  std::string current_;  // the file whose records are being counted
  size_t count_ = 0;
  bool any_hit_ = false;
};

}  // namespace lorvek
