// lorvek-grep's sink: prints each hit as a tag line in UTF-8 the moment it
// is found. Output to a terminal is flushed line by line, to a pipe or file
// in blocks, and a block never waits long: a thread of the printer's own
// writes it out while the run is busy with a long file, and notices a pipe
// whose reader has gone even when there is nothing to write. A closed pipe
// or a failed write stops the run. Context lines are merged as grep merges them:
// no line twice, "--" only between groups that do not touch. Every line the
// run logs is copied to standard error.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "search/record_sink.h"

namespace lorvek {

struct TagLineFormat {
  bool show_encoding = false;  // the encoding tag after the path
  bool column = false;         // "line:column:" with the hit's byte column
  bool only_matching = false;  // the hit's text instead of the line
  int context = 0;             // lines before and after (0 to 2)
  bool records = true;         // false: only the log lines are printed
  // Paths, line numbers and separators coloured as grep tools colour them,
  // and every match of highlight in a hit's line.
  bool color = false;
  PatternRef highlight;
};

class TagLinePrinter : public RecordSink {
 public:
  // on_reader_gone: called on the printer's thread when the reader of the
  // pipe has gone while the run is busy elsewhere.
  TagLinePrinter(int fd, TagLineFormat format, std::function<void()> on_reader_gone = {});
  ~TagLinePrinter() override;

  bool Take(std::unique_ptr<MatchRecord> record, MatchPos hit) override;
  bool WantsHitPosition() const override { return format_.column || format_.only_matching; }
  void Logged(const std::string& line, bool failure) override;
  void RunEnds() override;

  // Flushes what has waited longer than a moment (called while the run
  // walks, so a slow search still shows its first hits at once).
  void FlushIfDue();
  void Flush();


  size_t Printed() const { return printed_; }
  // Logged failures (notices are printed, not counted).
  size_t LoggedFailures() const { return logged_; }
  // The reader went away (a closed pipe): not an error.
  bool OutputClosed() const { return closed_; }
  // A write failed for another reason; its errno.
  int WriteError() const { return write_error_; }

 private:
  void FlushLocked();
  void WatchOutput();
  // One output line; "--" goes before it when it does not follow the last.
  void Line(const std::string& path, const std::string& tag, int32_t line_no, char sep, const std::string& column,
            const std::string& text);
  // The after-context of the last hit, up to (not including) line before.
  void PrintPendingBelow(int32_t before);

  int fd_;
  TagLineFormat format_;
  bool line_buffered_;
  std::string buffer_;
  std::chrono::steady_clock::time_point waiting_since_;
  size_t printed_ = 0;
  size_t logged_ = 0;
  std::string last_path_;
  int32_t last_line_ = 0;
  bool any_line_ = false;
  struct Pending {
    std::string path, tag;
    int32_t line_no;
    std::string text;
  };
  std::vector<Pending> pending_after_;
  std::atomic<bool> closed_ = false;
  std::atomic<int> write_error_ = 0;
  std::function<void()> on_reader_gone_;
  std::mutex mutex_;  // the buffer and the state above, shared with the watcher
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread watcher_;
};

}  // namespace lorvek
