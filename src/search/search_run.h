// The search run: walks the targets, reads every selected file in the right
// way for its kind, decides which lines are hits and fills the result store,
// keeping its front end informed.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "search/file_grep.h"
#include "search/line_info.h"
#include "search/mask.h"
#include "search/regex/regular_expression.h"
#include "search/result_store.h"
#include "search/search_front_end.h"
#include "search/search_options.h"

namespace lorvek {

class SearchRun;

// Sources that later parts plug in; an empty hook means the branch is off.
struct SourceHooks {
  // Searches inside an archive (the archive counts as one file).
  std::function<void(SearchRun&, const std::string& archive_path)> search_archive;
  // Runs the external filter; returns the output file or "" on failure.
  std::function<std::string(SearchRun&, const std::string& path)> run_filter;
  // Word/RTF reader: true when it handled the file.
  std::function<bool(SearchRun&, const std::string& path)> extract_word_text;
  // Excel reader: raises on failure.
  std::function<void(SearchRun&, const std::string& path)> read_excel_cells;
  std::function<std::string(std::string_view)> strip_html_tags;
};

class SearchRun {
 public:
  static constexpr size_t kEarlyRows = 20;

  SearchRun(SearchFrontEnd& front_end, ResultStore& store, std::string program_folder);

  SearchOptions& options() { return options_; }
  SourceHooks& hooks() { return hooks_; }
  TWildMatch& WildMatch1() { return wild_match_[0]; }  // target masks
  TWildMatch& WildMatch2() { return wild_match_[1]; }  // archive masks
  TWildMatch& WildMatch3() { return wild_match_[2]; }  // filter extension masks

  // The search command: checks the word and folder, parses the masks and
  // runs over the one folder. Returns false when it refused to start.
  bool FindButtonClick(const std::string& word, const std::string& path, const std::string& mask_text);
  // Runs over the targets with the word (Shift-JIS) already set.
  void SetWord(std::string word) { word_ = std::move(word); }
  const std::string& Word() const { return word_; }
  void RunSearch(const std::vector<std::string>& targets);
  void AbortBtnClick();
  // Escape in the result list: only the flag, the controls stay as they are.
  void RequestAbort() { abort_requested_ = true; }
  // Runs at the end of every run (step 15): the command line's tag list output.
  std::function<void()> TagListOutput;

  bool Searching() const { return searching_; }
  // The start-up run and the hand-off hold the searching state around their
  // dialogs, so no second request or close can slip in.
  void SetSearching(bool on) { searching_ = on; }
  bool AbortRequested() const { return abort_requested_; }
  int32_t SearchedFileCount() const { return searched_file_count_; }
  int32_t MatchCount() const { return match_count_; }
  int32_t ErrorCount() const { return error_count_; }
  std::time_t SearchStartTime() const { return search_start_time_; }
  const std::string& ErrorLog() const { return error_log_; }
  const std::vector<std::string>& SearchTerms() const { return search_terms_; }
  TAWKStr& AWKStr1() { return awk_str1_; }
  TGrep& Grep1() { return grep1_; }
  ResultStore& store() { return store_; }
  SearchFrontEnd& front_end() { return front_end_; }

  // For the document readers: one paragraph, one spreadsheet cell.
  void MatchLine(const std::string& text, int32_t line_no);
  bool MatchCell(const std::string& text, const std::string& label, int32_t ordinal);
  // For the archive search: the member being searched now.
  void EnterArchiveMember(const std::string& archive_path, const std::string& member_path,
                          int64_t last_write_time);
  void LeaveArchiveMode() { source_.archive_mode = false; }
  // Searches one file by kind (the archive search repeats this per member).
  void SearchFile(const std::string& path, bool filter_match);
  // Appends prefix + path (+ ": " + reason) to LOG.TXT as one Shift-JIS line
  // with CR LF, and counts it. prefix and reason are UTF-8; the path is kept
  // as bytes unless it is valid UTF-8.
  void LogError(const std::string& prefix, const std::string& path, const std::string& reason = "");

 private:
  void SearchTarget(const std::string& path, bool sub);
  void SearchTextFile(const std::string& path, bool filtered);
  void GrepLines(bool filtered, bool html);
  bool Grep1Match(const RE_LineInfo_t& info);
  void CountSearchedFile();
  void WriteLogHeader();
  void SetFinalTexts();

  SearchFrontEnd& front_end_;
  ResultStore& store_;
  std::string program_folder_;
  SearchOptions options_;
  SourceHooks hooks_;
  TWildMatch wild_match_[3];
  TAWKStr awk_str1_;
  TGrep grep1_;

  std::string word_;
  std::vector<std::string> search_terms_;
  bool abort_requested_ = false;
  bool searching_ = false;
  int32_t searched_file_count_ = 0;
  int32_t match_count_ = 0;
  int32_t error_count_ = 0;
  std::time_t search_start_time_ = 0;
  std::string error_log_;
  size_t min_file_size_ = 0;
  bool target_is_file_ = false;
  MatchSource source_;  // current file or member, its codes and flags
  std::vector<std::string> current_lines_;
};

// Term 0's hit in a line as the search accepts it: with whole word on, a
// rejected match is retried on the text after it. The position is in line.
MatchPos FindHit(const TAWKStr& matcher, std::string_view line, bool whole_word);

// FILETIME (100 ns since 1601-01-01 UTC) from a Unix time.
int64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);

}  // namespace lorvek
