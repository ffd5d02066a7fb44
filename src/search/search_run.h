// The search run: walks the targets, hands every selected file to the source
// that reads its kind, decides which lines are hits and delivers each record
// to its sink as it is found, keeping its front end informed. Its pieces:
// the dispatch (the walk's side), the line matching, the tally (counters and
// log); the front end and the sink are its only outward faces.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "search/compiled_word.h"
#include "search/file_dispatch.h"
#include "search/line_matching.h"
#include "search/mask.h"
#include "search/record_sink.h"
#include "search/run_tally.h"
#include "search/search_front_end.h"
#include "search/search_options.h"
#include "search/work_folder.h"
#include "sources/source_table.h"
#include "settings/options.h"

namespace lorvek {

class SearchRun {
 public:
  static constexpr size_t kEarlyRows = LineMatching::kEarlyRows;

  SearchRun(SearchFrontEnd& front_end, RecordSink& sink, std::string program_folder);
  ~SearchRun();

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
  void RequestAbort() { tally_.RequestAbort(); }
  // A replace run starts with no abort request of its own.
  void ClearAbortRequest() { tally_.ClearAbortRequest(); }
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
  void SetLongLineBytes(size_t bytes) { sources_.SetLongLineBytes(bytes); }
  // Runs at the end of every run: the command line's tag list output.
  std::function<void()> TagListOutput;

  bool Searching() const { return searching_; }
  // The start-up run and the hand-off hold the searching state around their
  // dialogs, so no second request or close can slip in.
  void SetSearching(bool on) { searching_ = on; }
  bool AbortRequested() const { return tally_.AbortRequested(); }
  // The sink wanted no further records.
  bool StoppedBySink() const { return tally_.StoppedBySink(); }
  int32_t SearchedFileCount() const { return tally_.SearchedFiles(); }
  int32_t MatchCount() const { return tally_.Matches(); }
  int32_t ErrorCount() const { return tally_.Errors(); }
  std::time_t SearchStartTime() const { return search_start_time_; }
  const std::string& ErrorLog() const { return tally_.LogPath(); }
  // The last run's log was written (it may not be: no writable folder, or
  // something else than a regular file stands at its name).
  bool LogWritten() const { return tally_.LogWritten(); }
  // The word as the last run compiled it (null before the first run and
  // after a word that did not compile).
  CompiledWordRef Compiled() const { return compiled_; }

 private:
  void SetFinalTexts();
  // The closing report of spreadsheet failures (XlsErrLog).
  void ReportSpreadsheetFailures();

  SearchFrontEnd& front_end_;
  RecordSink& sink_;
  std::string program_folder_;
  SearchOptions options_;
  std::array<TWildMatch, 3> wild_match_;
  WorkFolder work_folder_;
  int read_ahead_workers_ = DefaultReadAheadWorkers();
  SourceTable sources_{[this] {
    work_folder_.Ensure();
    return work_folder_.WorkFile();
  }};
  std::string word_;
  CompiledWordRef compiled_;
  bool searching_ = false;
  std::time_t search_start_time_ = 0;
  RunTally tally_{front_end_, sink_};
  LineMatching matching_{front_end_, sink_, tally_, options_};
  FileDispatch dispatch_{{front_end_, sink_, tally_, matching_, sources_, options_, wild_match_, work_folder_}};
};

// Applies the values to a search run in the order a start takes them:
// switches, filter masks from FilterExt, the archive masks.
void ApplyStartupOptions(const Options& options, SearchRun& run);

}  // namespace lorvek
