#include "search/record_sink.h"

namespace lorvek {

void TeeSink::RunBegins() {
  first_.RunBegins();
  second_.RunBegins();
}

bool TeeSink::Take(std::unique_ptr<MatchRecord> record, MatchPos hit) {
  auto copy = std::make_unique<MatchRecord>(*record);
  bool go_on = first_.Take(std::move(copy), hit);
  return second_.Take(std::move(record), hit) && go_on;
}

void TeeSink::Logged(const std::string& line) {
  first_.Logged(line);
  second_.Logged(line);
}

void TeeSink::RunEnds() {
  first_.RunEnds();
  second_.RunEnds();
}

}  // namespace lorvek
