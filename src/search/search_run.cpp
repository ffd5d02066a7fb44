#include "search/search_run.h"

#include <sys/stat.h>

#include "text/cp932.h"

namespace lorvek {
namespace {

const char kTitleSearching[] = "Lorvek-検索中...";
const char kTitleDone[] = "Lorvek-完了";
const char kTitleAborted[] = "Lorvek-中止";
const char kTitleDoneWithErrors[] = "Lorvek-完了(エラー発生)";
const char kStatusDone[] = "検索を終了しました.";
const char kStatusAborted[] = "検索を中止しました.";
const char kStatusErrors[] = "検索中にエラーが発生しました.";
const char kNeedWordAndFolder[] = "検索フォルダまたはキーワードを設定して下さい.";

}  // namespace

SearchRun::SearchRun(SearchFrontEnd& front_end, RecordSink& sink, std::string program_folder)
    : front_end_(front_end), sink_(sink), program_folder_(std::move(program_folder)) {
  if (!program_folder_.empty() && program_folder_.back() != '/') program_folder_ += '/';
}

SearchRun::~SearchRun() = default;

bool SearchRun::FindButtonClick(const std::string& word, const std::string& path,
                                const std::string& mask_text) {
  if (word.empty() || path.empty()) {
    front_end_.ShowWarning(kNeedWordAndFolder);
    return false;
  }
  word_ = word;
  WildMatch1().SetMasks(ParseMaskText(mask_text));
  RunSearch({path});
  return true;
}

void SearchRun::AbortBtnClick() {
  tally_.RequestAbort();
  front_end_.SetSearchingState(false);
  searching_ = false;
}

void SearchRun::RunSearch(const std::vector<std::string>& given) {
  if (word_.empty()) return;
  // An empty target names nothing (it must never become the root or the
  // current folder).
  std::vector<std::string> targets;
  for (const std::string& t : given)
    if (!t.empty()) targets.push_back(t);
  if (targets.empty()) {
    front_end_.ShowWarning(kNeedWordAndFolder);
    return;
  }
  front_end_.SetSearchingState(true);
  search_start_time_ = std::time(nullptr);
  front_end_.SetErrorLogVisible(false);
  tally_.Begin(program_folder_);
  front_end_.SetTitle(kTitleSearching);
  front_end_.SetRowCount(0);  // the list lets go of its rows before the sink drops them
  sink_.RunBegins();
  front_end_.SetStatusText(2, "");
  front_end_.SetStatusText(3, "");
  front_end_.ClearPreview();
  tally_.ClearAbortRequest();
  searching_ = true;
  sources_.ResetCounts();
  try {
    compiled_.reset();
    matching_.Begin(nullptr, 0);
    compiled_ = CompiledWord::Compile(word_, options_.fuzzy_char);
    matching_.Begin(compiled_, word_.size());
    WalkRules rules;
    rules.target_masks = &wild_match_[0];
    rules.archive_masks = &wild_match_[1];
    rules.filter_masks = &wild_match_[2];
    rules.find_mode = options_.find_mode;
    rules.subfolders = options_.find_sub;
    rules.archives = options_.find_also_archive;
    rules.filters = options_.use_filter;
    for (const std::string& target : targets) {
      std::string base = target;
      if (!base.empty() && base.back() == '/') base.pop_back();
      MatchSource& source = matching_.Source();
      source.base_folder = base + "/";
      struct stat st;
      source.target_is_file = stat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
      source.archive_mode = false;
      dispatch_.Walk(target, rules, read_ahead_workers_);
    }
  } catch (const std::exception& e) {
    // A failure that ends the run: show it and go back to the idle state.
    front_end_.SetRowCount(static_cast<size_t>(tally_.Matches()));
    sink_.RunEnds();
    tally_.End();
    front_end_.SetTitle(kTitleAborted);  // the run ended: the title must not say it still searches
    front_end_.ShowError(e.what());
    front_end_.SetSearchingState(false);
    searching_ = false;
    return;
  }
  front_end_.SetRowCount(static_cast<size_t>(tally_.Matches()));
  sink_.RunEnds();
  tally_.End();
  SetFinalTexts();
  ReportSpreadsheetFailures();
}

void SearchRun::ReportSpreadsheetFailures() {
  if (!options_.xls_err_log || sources_.SpreadsheetsTried() == 0) return;
  front_end_.ShowReport({"全 " + std::to_string(sources_.SpreadsheetsTried()) + " ファイル中 " +
                         std::to_string(sources_.SpreadsheetsFailed()) + " ファイルが失敗"});
}

void SearchRun::SetFinalTexts() {
  if (tally_.AbortRequested()) {
    front_end_.SetStatusText(0, kStatusAborted);
    front_end_.SetTitle(kTitleAborted);
  } else {
    front_end_.SetStatusText(0, kStatusDone);
    front_end_.SetTitle(kTitleDone);
  }
  front_end_.SetSearchingState(false);
  searching_ = false;
  if (TagListOutput) TagListOutput();
  if (tally_.Errors() > 0) {
    front_end_.SetStatusText(0, kStatusErrors);
    front_end_.SetTitle(kTitleDoneWithErrors);
  }
  front_end_.SetErrorLogVisible(tally_.Errors() > 0);
  front_end_.SetStatusText(3, MatchCountText(tally_.Matches()));
}

void ApplyStartupOptions(const Options& options, SearchRun& run) {
  run.options() = options.search;
  run.WildMatch3().SetMasks(SplitCommaText(options.filter_ext));
  run.WildMatch2().SetMasks(ArchiveMasksFrom(options.arc_files));
}

}  // namespace lorvek
