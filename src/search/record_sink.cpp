#include "search/record_sink.h"

namespace lorvek {

void FanOutSink::RunBegins() {
  for (RecordSink* s : sinks_) s->RunBegins();
}

bool FanOutSink::Take(std::unique_ptr<MatchRecord> record, MatchPos hit) {
  bool go_on = true;
  for (size_t i = 0; i < sinks_.size(); ++i) {
    // Each sink owns what it takes: the last one gets the record itself.
    auto own = i + 1 < sinks_.size() ? std::make_unique<MatchRecord>(*record) : std::move(record);
    go_on = sinks_[i]->Take(std::move(own), hit) && go_on;
  }
  return go_on;
}

bool FanOutSink::WantsHitPosition() const {
  for (const RecordSink* s : sinks_)
    if (s->WantsHitPosition()) return true;
  return false;
}

void FanOutSink::FileSearched(const std::string& open_path) {
  for (RecordSink* s : sinks_) s->FileSearched(open_path);
}

void FanOutSink::Logged(const std::string& line, bool failure) {
  for (RecordSink* s : sinks_) s->Logged(line, failure);
}

void FanOutSink::RunEnds() {
  for (RecordSink* s : sinks_) s->RunEnds();
}

}  // namespace lorvek
