// The records of a run in the order found: the window's sink, and what the
// list, exports and replace read afterwards.
#pragma once

#include <memory>
#include <vector>

#include "search/match_record.h"
#include "search/record_sink.h"

namespace lorvek {

class ResultStore : public RecordSink {
 public:
  size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  MatchRecord& operator[](size_t i) { return *records_[i]; }
  const MatchRecord& operator[](size_t i) const { return *records_[i]; }
  // The pointer list itself, for the sort of the result list.
  std::vector<std::unique_ptr<MatchRecord>>& records() { return records_; }

  void Append(std::unique_ptr<MatchRecord> record) { records_.push_back(std::move(record)); }
  void Clear();

  // RecordSink
  void RunBegins() override { Clear(); }
  bool Take(std::unique_ptr<MatchRecord> record, MatchPos) override {
    Append(std::move(record));
    return true;
  }

 private:
  std::vector<std::unique_ptr<MatchRecord>> records_;
};

}  // namespace lorvek
