#include "search/search_run.h"

#include <sys/stat.h>

#include <cstring>

#include "search/read_ahead.h"
#include "sources/html_strip.h"
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

std::string MatchCountText(int32_t n) { return "マッチ : " + std::to_string(n) + " 行"; }

std::string LocaleNow() {
  std::time_t now = std::time(nullptr);
  char buf[128];
  std::strftime(buf, sizeof buf, "%x %X", std::localtime(&now));
  return buf;
}

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

void SearchRun::WriteLogHeader() {
  error_log_ = program_folder_ + "LOG.TXT";
  log_.Begin(error_log_, Utf8ToCp932("Lorvek Log: " + LocaleNow()));
}

void SearchRun::LogError(const std::string& prefix, const std::string& path, const std::string& reason) {
  LogNote(prefix, path, reason, true);
  ++error_count_;
}

void SearchRun::LogNotice(const std::string& prefix, const std::string& path) { LogNote(prefix, path, "", false); }

void SearchRun::LogNote(const std::string& prefix, const std::string& path, const std::string& reason,
                        bool failure) {
  std::string line = Utf8ToCp932(prefix) + ExternalToCp932(path);
  if (!reason.empty()) line += Utf8ToCp932(": " + reason);
  log_.Append(line);
  sink_.Logged(prefix + PathForDisplay(path) + (reason.empty() ? "" : ": " + reason), failure);
}

void SearchRun::CountSearchedFile() {
  ++searched_file_count_;
  front_end_.SetStatusText(2, "検索ファイル: " + std::to_string(searched_file_count_));
}

void SearchRun::AbortBtnClick() {
  abort_requested_ = true;
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
  min_file_size_ = word_.size();
  front_end_.SetSearchingState(true);
  search_start_time_ = std::time(nullptr);
  error_count_ = 0;
  front_end_.SetErrorLogVisible(false);
  WriteLogHeader();
  front_end_.SetTitle(kTitleSearching);
  searched_file_count_ = 0;
  match_count_ = 0;
  builder_.ForgetLastPath();
  front_end_.SetRowCount(0);  // the list lets go of its rows before the sink drops them
  sink_.RunBegins();
  front_end_.SetStatusText(2, "");
  front_end_.SetStatusText(3, "");
  front_end_.ClearPreview();
  abort_requested_ = false;
  stopped_ = false;
  searching_ = true;
  source_ = MatchSource{};
  spreadsheet_source_.ResetCounts();
  plain_source_.strip_html_tags = StripHtmlTags;
  try {
    compiled_.reset();
    compiled_ = CompiledWord::Compile(word_, options_.fuzzy_char);
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
      source_.base_folder = base + "/";
      struct stat st;
      source_.target_is_file = stat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
      source_.archive_mode = false;
      WalkOne(target, rules);
    }
  } catch (const std::exception& e) {
    // A failure that ends the run: show it and go back to the idle state.
    front_end_.SetRowCount(static_cast<size_t>(match_count_));
    sink_.RunEnds();
    log_.End();
    front_end_.SetTitle(kTitleAborted);  // the run ended: the title must not say it still searches
    front_end_.ShowError(e.what());
    front_end_.SetSearchingState(false);
    searching_ = false;
    return;
  }
  front_end_.SetRowCount(static_cast<size_t>(match_count_));
  sink_.RunEnds();
  log_.End();
  SetFinalTexts();
  ReportSpreadsheetFailures();
}

void SearchRun::ReportSpreadsheetFailures() {
  if (!options_.xls_err_log || spreadsheet_source_.Tried() == 0) return;
  front_end_.ShowReport({"全 " + std::to_string(spreadsheet_source_.Tried()) + " ファイル中 " +
                         std::to_string(spreadsheet_source_.Failed()) + " ファイルが失敗"});
}

void SearchRun::SetFinalTexts() {
  if (abort_requested_) {
    front_end_.SetStatusText(0, kStatusAborted);
    front_end_.SetTitle(kTitleAborted);
  } else {
    front_end_.SetStatusText(0, kStatusDone);
    front_end_.SetTitle(kTitleDone);
  }
  front_end_.SetSearchingState(false);
  searching_ = false;
  if (TagListOutput) TagListOutput();
  if (error_count_ > 0) {
    front_end_.SetStatusText(0, kStatusErrors);
    front_end_.SetTitle(kTitleDoneWithErrors);
  }
  front_end_.SetErrorLogVisible(error_count_ > 0);
  front_end_.SetStatusText(3, MatchCountText(match_count_));
}

void SearchRun::ListingFolder(const std::string& folder) { front_end_.SetStatusText(0, PathForDisplay(folder)); }

void SearchRun::WalkOne(const std::string& target, const WalkRules& rules) {
  if (read_ahead_workers_ <= 0) return WalkTarget(target, rules, *this);
  ReadAheadPlan plan;
  plan.workers = read_ahead_workers_;
  plan.model = this;
  plan.plain = [this](const WalkItem& item) {
    return !item.archive && ChooseSource(item.file.path, item.filter_match, options_) == SourceKind::PlainText;
  };
  plan.read = [this](const FileRef& file, MatchTarget& target) { plain_source_.Search(file, target); };
  WalkWithReadAhead(target, rules, plan, *this);
}

void SearchRun::FileFound(const WalkItem& item, TextRecording* recording) {
  if (!recording) return FileFound(item);
  source_.path = item.file.path;
  source_.last_write_time = item.last_write_time;
  front_end_.SetStatusText(0, PathForDisplay(item.file.path));
  source_.document = false;
  source_.filtered = false;
  ReplayRecording(*recording, *this, [this](int32_t count) { feed_.count = count; });
  sink_.FileSearched(item.file.path);
  CountSearchedFile();
}

void SearchRun::FileFound(const WalkItem& item) {
  if (item.archive) {
    SearchArchive(item.file.path);
    CountSearchedFile();
    return;
  }
  source_.path = item.file.path;
  source_.last_write_time = item.last_write_time;
  front_end_.SetStatusText(0, PathForDisplay(item.file.path));
  SearchFile(item.file, item.filter_match);
  sink_.FileSearched(item.file.path);
  CountSearchedFile();
}

std::string SearchRun::FailureName(const std::string& path) const {
  return source_.archive_mode ? path + " / " + source_.archive_path : path;
}

void SearchRun::CannotList(const std::string& path, int error) {
  // The window keeps silent about these (no error is counted); the log and
  // the sink hear of them.
  LogNote("フォルダを読めません:", path, std::strerror(error), true);
}

void SearchRun::SearchFile(const FileRef& file, bool filter_match) {
  source_.document = false;
  source_.filtered = false;
  switch (ChooseSource(file.path, filter_match, options_)) {
    case SourceKind::Filter:
      filter_source_.Search(file, *this);
      break;
    case SourceKind::WordDocument:
      word_source_.Search(file, *this);
      break;
    case SourceKind::Spreadsheet:
      spreadsheet_source_.Search(file, *this);
      break;
    case SourceKind::OfficeDocument:
      office_source_.Search(file, *this);
      break;
    case SourceKind::PlainText:
    case SourceKind::BinaryFile:
      plain_source_.Search(file, *this);
      break;
  }
}

}  // namespace lorvek
