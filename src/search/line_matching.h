// Which lines are hits: the sources hand their text here line by line; term
// 0 with the whole-word retry, then every further term somewhere in the same
// line, decides; accepted lines become records for the sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "search/compiled_word.h"
#include "search/match_target.h"
#include "search/record_builder.h"
#include "search/record_sink.h"
#include "search/run_tally.h"
#include "search/search_front_end.h"

namespace lorvek {

class LineMatching final : public MatchTarget {
 public:
  // The list is told its row count once this many rows are there.
  static constexpr size_t kEarlyRows = 20;

  LineMatching(SearchFrontEnd& front_end, RecordSink& sink, RunTally& tally, const SearchOptions& options)
      : front_end_(front_end), sink_(sink), tally_(tally), options_(options) {}

  // A run begins with this word (compiled) and no source yet.
  void Begin(CompiledWordRef word, size_t minimum_file_size);
  // A file found on disk comes next.
  void BeginFile(const std::string& path, int64_t last_write_time) {
    source_.path = path;
    source_.last_write_time = last_write_time;
    source_.document = false;
    source_.filtered = false;
  }
  // The file or member whose text comes next: its path, time and codes.
  MatchSource& Source() { return source_; }
  // After a read-ahead replay: the lines the source went through.
  void SetLineCount(int32_t count) { feed_.count = count; }

  const SearchOptions& Options() const override { return options_; }
  const WordMatcher& SearchWord() const override { return *word_; }
  size_t MinimumFileSize() const override { return minimum_file_size_; }
  void SetCodes(int32_t encoding, int32_t line_end) override;
  void BeginLines(bool filtered) override;
  bool Line(std::string_view line) override { return FeedLine(line, std::nullopt); }
  bool SkipLines(int32_t n) override;
  bool CutLine(std::string_view text, MatchPos hit) override { return FeedLine(text, hit); }
  void EndLines() override;
  bool MatchParagraph(std::string_view text, int32_t line_no) override;
  bool MatchCell(std::string_view text, std::string_view label, int32_t ordinal) override;
  bool MatchScannedLine(const RE_LineInfo_t& info) override;
  void SetProgressText(const std::string& text) override { front_end_.SetStatusText(1, text); }
  void ProcessPendingEvents() override { front_end_.ProcessPendingEvents(); }
  // The abort command also ends the file being read: a huge file or
  // workbook need not be read to its end first.
  bool Stopped() const override { return tally_.Halted(); }
  void LogError(const std::string& prefix, const std::string& path, const std::string& reason = "") override {
    tally_.LogError(prefix, path, reason);
  }
  void LogNotice(const std::string& prefix, const std::string& path) override { tally_.LogNotice(prefix, path); }
  std::string FailureName(const std::string& path) const override;

 private:
  // The further terms, then the record goes to the sink. decided: the
  // source has looked for the further terms over the whole line already
  // (a cut line).
  bool Accept(std::string_view line, int32_t line_no, const MatchContext* context, MatchPos hit, bool decided = false);
  void Decide(std::string_view line, int32_t line_no, const MatchContext* context,
              const std::optional<MatchPos>& decided = std::nullopt);
  bool FeedLine(std::string_view line, const std::optional<MatchPos>& decided);
  bool Stop() const { return tally_.StoppedBySink(); }

  SearchFrontEnd& front_end_;
  RecordSink& sink_;
  RunTally& tally_;
  const SearchOptions& options_;
  CompiledWordRef word_;
  size_t minimum_file_size_ = 0;
  RecordBuilder builder_;
  MatchSource source_;  // current file or member, its codes and flags
  // The text being matched line by line: its line count, whether it is done,
  // and (with WidePreview) the last five lines, each decided when the two
  // after it have come; a cut line comes decided (its hit, none for no hit).
  struct LineFeed {
    bool filtered = false;
    bool done = false;
    int32_t count = 0;
    std::string ring[5];
    std::optional<MatchPos> decided[5];
  } feed_;
};

}  // namespace lorvek
