// lorvek-grep --json: one JSON object a line for editors and scripts. For
// every file with hits a "begin", its "match"es and an "end" with its
// counts; at the close a "summary" with the totals, the time taken and the
// errors. Texts are UTF-8; a path that is not valid UTF-8 is given as
// {"bytes": base64} instead of {"text": ...}. Offsets of submatches are in
// bytes of the UTF-8 line. Each object is written as soon as it is known.
#pragma once

#include <chrono>
#include <string>

#include "app/output_channel.h"
#include "search/record_sink.h"

namespace lorvek {

class JsonPrinter : public RecordSink {
 public:
  JsonPrinter(int fd, PatternRef highlight);

  bool Take(std::unique_ptr<MatchRecord> record, MatchPos hit) override;
  void FileSearched(const std::string& open_path) override;
  void Logged(const std::string& line, bool failure) override;
  void RunEnds() override;

  bool OutputClosed() const { return out_.closed; }
  int WriteError() const { return out_.error; }

 private:
  void Print(const std::string& json_line) { out_.Write(json_line + "\n"); }
  void EndFile();

  OutputChannel out_;
  PatternRef highlight_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::string current_;  // the open path of the file whose matches are being written
  size_t file_matches_ = 0;
  size_t matched_lines_ = 0, files_searched_ = 0, files_with_matches_ = 0, errors_ = 0;
};

// A JSON value for bytes: {"text":"..."} when they are valid UTF-8, else
// {"bytes":"base64"}.
std::string JsonData(const std::string& bytes);
// A JSON string literal of valid UTF-8 text.
std::string JsonString(const std::string& utf8);

}  // namespace lorvek
