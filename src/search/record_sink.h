// Where a search run delivers what it finds: each record as it is found, and
// the run's beginning, end and log lines. The result store is one sink, the
// command line's printer another; a sink that has no further use for records
// stops the run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "search/regex/matcher.h"
#include "search/match_record.h"

namespace lorvek {

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // A run begins: whatever an earlier run left is dropped.
  virtual void RunBegins() {}
  // One record, in the order found. hit is term 0's hit in the record's
  // LineText when WantsHitPosition() says so, else empty. Returning false
  // stops the run at once.
  virtual bool Take(std::unique_ptr<MatchRecord> record, MatchPos hit) = 0;
  virtual bool WantsHitPosition() const { return false; }
  // A file has been searched, hits or not (its records came before): a
  // plain file by its path, an archive member by its "@archive@member" form.
  virtual void FileSearched(const std::string& /*open_path*/) {}
  // A line the run appended to its log (UTF-8, without the line break);
  // failure: something the user asked for could not be done (a notice,
  // such as a file whose encoding stayed undecided, is not one).
  virtual void Logged(const std::string& /*line*/, bool /*failure*/) {}
  virtual void RunEnds() {}
};

// Passes everything on to several sinks (a printer and the exports, say),
// in their order. The run stops when any of them wants it to.
class FanOutSink : public RecordSink {
 public:
  explicit FanOutSink(std::vector<RecordSink*> sinks) : sinks_(std::move(sinks)) {}
  void RunBegins() override;
  bool Take(std::unique_ptr<MatchRecord> record, MatchPos hit) override;
  bool WantsHitPosition() const override;
  void FileSearched(const std::string& open_path) override;
  void Logged(const std::string& line, bool failure) override;
  void RunEnds() override;

 private:
  std::vector<RecordSink*> sinks_;
};

}  // namespace lorvek
