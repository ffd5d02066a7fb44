// The search run: walks the targets, hands every selected file to the source
// that reads its kind, decides which lines are hits and delivers each record
// to its sink as it is found, keeping its front end informed.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/compiled_word.h"
#include "search/folder_walk.h"
#include "search/mask.h"
#include "search/record_builder.h"
#include "search/read_ahead.h"
#include "search/record_sink.h"
#include "search/run_log.h"
#include "search/search_front_end.h"
#include "search/search_options.h"
#include "search/work_folder.h"
#include "sources/archive_reader.h"
#include "sources/document_sources.h"
#include "sources/filter_source.h"
#include "sources/plain_text_source.h"
#include "sources/text_source.h"

namespace lorvek {

class SearchRun : private MatchTarget, private WalkObserver, private ReadAheadSink {
 public:
  static constexpr size_t kEarlyRows = 20;

  SearchRun(SearchFrontEnd& front_end, RecordSink& sink, std::string program_folder);
  ~SearchRun() override;

  SearchOptions& options() { return options_; }
  const SearchOptions& options() const { return options_; }
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
  // A replace run starts with no abort request of its own.
  void ClearAbortRequest() { abort_requested_ = false; }
  // The scratch folder of filters and archive members (the user's work
  // folder unless told otherwise), and the bounds of member extraction.
  void SetWorkFolder(WorkFolder folder) { work_folder_ = std::move(folder); }
  const WorkFolder& GetWorkFolder() const { return work_folder_; }
  // Threads that read plain text files ahead of the matching (0: the run
  // reads every file itself). The records are the same either way.
  void SetReadAheadWorkers(int workers) { read_ahead_workers_ = workers; }
  // Lines longer than this many bytes are searched window by window and
  // shown cut around the hit (TextBlockReader::kLongLineBytes unless a test
  // lowers it).
  void SetLongLineBytes(size_t bytes) {
    plain_source_.SetLongLineBytes(bytes);
    filter_source_.SetLongLineBytes(bytes);
  }
  // Runs at the end of every run (step 15): the command line's tag list output.
  std::function<void()> TagListOutput;

  bool Searching() const { return searching_; }
  // The start-up run and the hand-off hold the searching state around their
  // dialogs, so no second request or close can slip in.
  void SetSearching(bool on) { searching_ = on; }
  bool AbortRequested() const { return abort_requested_; }
  // The sink wanted no further records.
  bool StoppedBySink() const { return stopped_; }
  int32_t SearchedFileCount() const { return searched_file_count_; }
  int32_t MatchCount() const { return match_count_; }
  int32_t ErrorCount() const { return error_count_; }
  std::time_t SearchStartTime() const { return search_start_time_; }
  const std::string& ErrorLog() const { return error_log_; }
  // The last run's log was written (it may not be: no writable folder, or
  // something else than a regular file stands at its name).
  bool LogWritten() const { return log_.Written(); }
  // The word as the last run compiled it (null before the first run and
  // after a word that did not compile).
  CompiledWordRef Compiled() const { return compiled_; }

  // Appends prefix + path (+ ": " + reason) to LOG.TXT as one Shift-JIS line
  // with CR LF, and counts it. prefix and reason are UTF-8; the path is kept
  // as bytes unless it is valid UTF-8.
  void LogError(const std::string& prefix, const std::string& path, const std::string& reason = "") override;
  void LogNotice(const std::string& prefix, const std::string& path) override;

 private:
  // MatchTarget: the line matching (line_matching.cpp).
  const SearchOptions& Options() const override { return options_; }
  const CompiledWord& SearchWord() const override { return *compiled_; }
  size_t MinimumFileSize() const override { return min_file_size_; }
  void SetCodes(int32_t encoding, int32_t line_end) override;
  void BeginLines(bool filtered) override;
  bool Line(std::string_view line) override;
  bool SkipLines(int32_t n) override;
  bool CutLine(std::string_view text, MatchPos hit) override;
  void EndLines() override;
  bool MatchParagraph(std::string_view text, int32_t line_no) override;
  bool MatchCell(std::string_view text, std::string_view label, int32_t ordinal) override;
  void MatchScannedLine(const RE_LineInfo_t& info) override;
  void SetProgressText(const std::string& text) override { front_end_.SetStatusText(1, text); }
  void ProcessPendingEvents() override { front_end_.ProcessPendingEvents(); }
  // The abort command also ends the file being read: a huge file or
  // workbook need not be read to its end first.
  bool Stopped() const override { return stopped_ || abort_requested_; }
  std::string FailureName(const std::string& path) const override;

  // WalkObserver
  void ListingFolder(const std::string& folder) override;
  void EntryReached() override { front_end_.ProcessPendingEvents(); }
  bool StopWalking() const override { return abort_requested_ || stopped_; }
  void FileFound(const WalkItem& item) override;
  void CannotList(const std::string& path, int error) override;

  // ReadAheadSink (the other walk events are the WalkObserver's)
  void FileFound(const WalkItem& item, TextRecording* recording) override;
  bool Halted() const override { return abort_requested_ || stopped_; }
  void Waiting() override { front_end_.ProcessPendingEvents(); }
  void WalkOne(const std::string& target, const WalkRules& rules);

  void SearchFile(const FileRef& file, bool filter_match);
  // The members of one archive that the file masks select, one at a time
  // through the work folder (archive_search.cpp).
  void SearchArchive(const std::string& archive_path);
  std::string MembersFolder() const { return work_folder_.Folder() + "/members"; }
  // Appends a line to the log without counting an error; failure tells the
  // sink whether something asked for could not be done.
  void LogNote(const std::string& prefix, const std::string& path, const std::string& reason, bool failure);
  // Grep1Match: the further terms, then the record goes to the sink.
  // decided: the source has looked for the further terms over the whole
  // line already (a cut line).
  bool Accept(std::string_view line, int32_t line_no, const MatchContext* context, MatchPos hit, bool decided = false);
  void CountSearchedFile();
  void WriteLogHeader();
  void SetFinalTexts();
  // The closing report of spreadsheet failures (XlsErrLog).
  void ReportSpreadsheetFailures();

  class MemberVisitor;

  SearchFrontEnd& front_end_;
  RecordSink& sink_;
  std::string program_folder_;
  SearchOptions options_;
  std::array<TWildMatch, 3> wild_match_;
  BinaryFileSource binary_source_;
  PlainTextSource plain_source_{binary_source_, false};
  WordSource word_source_{plain_source_};
  WorkFolder work_folder_;
  int read_ahead_workers_ = DefaultReadAheadWorkers();
  FilterSource filter_source_{binary_source_, [this] {
                                work_folder_.Ensure();
                                return work_folder_.WorkFile();
                              }};
  SpreadsheetSource spreadsheet_source_;
  OfficeSource office_source_;

  std::string word_;
  CompiledWordRef compiled_;
  RecordBuilder builder_;
  bool abort_requested_ = false;
  bool searching_ = false;
  bool stopped_ = false;
  int32_t searched_file_count_ = 0;
  int32_t match_count_ = 0;
  int32_t error_count_ = 0;
  std::time_t search_start_time_ = 0;
  std::string error_log_;
  RunLog log_;
  size_t min_file_size_ = 0;
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
  void Decide(std::string_view line, int32_t line_no, const MatchContext* context,
              const std::optional<MatchPos>& decided = std::nullopt);
  bool FeedLine(std::string_view line, const std::optional<MatchPos>& decided);
};

// Term 0's hit in a line as the search accepts it, for a component that
// holds term 0 as its pattern.
// The extraction bounds the options name (MiB made bytes).
ExtractLimits ExtractLimitsOf(const SearchOptions& options);

MatchPos FindHit(const class TAWKStr& matcher, std::string_view line, bool whole_word);

}  // namespace lorvek
