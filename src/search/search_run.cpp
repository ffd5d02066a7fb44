#include "search/search_run.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <system_error>

#include "search/search_terms.h"
#include "text/conversion.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/file_bytes.h"
#include "text/text_lines.h"

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

std::string UpperExtension(const std::string& path) {
  std::string name = FileNamePart(path);
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return "";
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return ext;
}

std::string LocaleNow() {
  std::time_t now = std::time(nullptr);
  char buf[128];
  std::strftime(buf, sizeof buf, "%x %X", std::localtime(&now));
  return buf;
}

}  // namespace

int64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
  return (seconds + 11644473600LL) * 10000000LL + nanoseconds / 100;
}

SearchRun::SearchRun(SearchFrontEnd& front_end, ResultStore& store, std::string program_folder)
    : front_end_(front_end), store_(store), program_folder_(std::move(program_folder)) {
  if (!program_folder_.empty() && program_folder_.back() != '/') program_folder_ += '/';
  grep1_.OnMatch = [this](TGrep&, const RE_LineInfo_t& info) { Grep1Match(info); };
  grep1_.ProcessPendingEvents = [this] { front_end_.ProcessPendingEvents(); };
}

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
  std::ofstream out(error_log_, std::ios::binary | std::ios::trunc);
  out << Utf8ToCp932("Lorvek Log: " + LocaleNow()) << "\r\n";
}

void SearchRun::LogError(const std::string& prefix, const std::string& path, const std::string& reason) {
  std::ofstream out(error_log_, std::ios::binary | std::ios::app);
  out << Utf8ToCp932(prefix) << ExternalToCp932(path);
  if (!reason.empty()) out << Utf8ToCp932(": " + reason);
  out << "\r\n";
  out.flush();
  ++error_count_;
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

void SearchRun::RunSearch(const std::vector<std::string>& targets) {
  if (word_.empty()) return;
  min_file_size_ = word_.size();
  front_end_.SetSearchingState(true);
  search_start_time_ = std::time(nullptr);
  error_count_ = 0;
  front_end_.SetErrorLogVisible(false);
  WriteLogHeader();
  front_end_.SetTitle(kTitleSearching);
  searched_file_count_ = 0;
  match_count_ = 0;
  store_.ForgetLastPath();
  front_end_.SetRowCount(0);
  store_.Clear();
  front_end_.SetStatusText(2, "");
  front_end_.SetStatusText(3, "");
  abort_requested_ = false;
  searching_ = true;
  source_ = MatchSource{};
  try {
    search_terms_ = SplitSearchTerms(word_);
    awk_str1_.SetUseFuzzyCharDic(options_.fuzzy_char);
    grep1_.SetUseFuzzyCharDic(options_.fuzzy_char);
    // Every term is compiled now, so an invalid later term refuses the search
    // before any file is read instead of silently losing hits later.
    for (size_t k = 1; k < search_terms_.size(); ++k) awk_str1_.SetRegExp(search_terms_[k]);
    awk_str1_.SetRegExp(search_terms_[0]);
    grep1_.SetRegExp(search_terms_[0]);

    for (const std::string& target : targets) {
      current_lines_.clear();
      std::string base = target;
      if (!base.empty() && base.back() == '/') base.pop_back();
      source_.base_folder = base + "/";
      struct stat st;
      target_is_file_ = stat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
      source_.target_is_file = target_is_file_;
      SearchTarget(target, options_.find_sub);
    }
  } catch (const std::exception& e) {
    // A failure that ends the run: show it and go back to the idle state.
    front_end_.SetRowCount(store_.size());
    front_end_.ShowError(e.what());
    front_end_.SetSearchingState(false);
    searching_ = false;
    return;
  }
  front_end_.SetRowCount(store_.size());
  SetFinalTexts();
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

void SearchRun::SearchFile(const std::string& path, bool filter_match) {
  source_.document = false;
  const std::string ext = UpperExtension(path);
  if (options_.use_filter && filter_match && hooks_.run_filter) {
    std::string output = hooks_.run_filter(*this, path);
    if (output.empty()) {
      LogError("フィルタ変換エラー:", path);
      return;
    }
    SearchTextFile(output, true);
    std::remove(output.c_str());
    return;
  }
  if (options_.auto_doc_detect && (ext == ".DOC" || ext == ".RTF") && hooks_.extract_word_text) {
    try {
      if (!hooks_.extract_word_text(*this, path)) SearchTextFile(path, false);
    } catch (...) {
      // The Word/RTF reader's failures yield no hits and no log line.
    }
    source_.document = false;
    return;
  }
  if (options_.xls_grep && ext == ".XLS" && hooks_.read_excel_cells) {
    source_.encoding_code = ecExcel;
    source_.line_end_code = leCrLf;
    try {
      hooks_.read_excel_cells(*this, path);
    } catch (...) {
      LogError("EXCEL変換エラー:", path);
    }
    return;
  }
  SearchTextFile(path, false);
}

void SearchRun::SearchTextFile(const std::string& path, bool filtered) {
  std::string bytes;
  try {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<uint64_t>(st.st_size) < min_file_size_)
      return;
    bytes = ReadFileBytes(path);
  } catch (const std::system_error& e) {
    LogError("ファイル読込みエラー:", path, std::strerror(e.code().value()));
    return;
  }
  if (bytes.size() < min_file_size_) return;
  current_lines_ = SplitTextLines(bytes, true);
  source_.filtered = false;
  if (filtered) {
    source_.encoding_code = ecFiltered;
    source_.line_end_code = leCrLf;
    GrepLines(true, false);
    return;
  }
  const std::string ext = UpperExtension(path);
  const bool html = options_.html_tag && (ext == ".HTM" || ext == ".HTML");
  int mode = options_.code_cng_mode;
  if (mode == 2) mode = 0;              // "no conversion"
  if (mode != 0 && mode != 3) mode = 1;  // a missing or unknown value detects
  if (mode == 0) {
    source_.encoding_code = ecSjis;
    source_.line_end_code = leCrLf;
    GrepLines(false, html);
    return;
  }
  TextFileFormat f = ProbeBufferCode(bytes);
  source_.encoding_code = f.encoding;
  source_.line_end_code = f.line_end;
  if (mode == 3) {
    if (f.encoding == ecAscii || f.encoding == ecSjis) GrepLines(false, html);
    return;
  }
  // Re-breaking to CR LF (ForceCRLF) re-splits lines that were already split
  // at every CR, LF and CR LF, so it never changes them.
  try {
    switch (f.encoding) {
      case ecUnread:
      case ecEucOrSjis:
        return;
      case ecAscii:
      case ecSjis:
        break;
      case ecBinary:
        current_lines_.clear();
        grep1_.Grep(path);
        return;
      case ecJis:
      case ecJisOld:
        current_lines_ = SplitTextLines(JisToSjis(JoinLinesCrLf(current_lines_)), true);
        break;
      case ecEuc:
        current_lines_ = SplitTextLines(EucToSjis(JoinLinesCrLf(current_lines_)), true);
        break;
      case ecUtf16Le:
      case ecUtf16Be: {
        // The whole file is already in memory: decode it instead of reading it again.
        std::string text = Utf16ToSjis(bytes, f.encoding == ecUtf16Be);
        source_.line_end_code = DetectLineBreak(text);
        current_lines_ = SplitTextLines(text, true);
        break;
      }
      case ecUtf8:
      case ecUtf8N:
        current_lines_ = SplitTextLines(Utf8ToSjis(JoinLinesCrLf(current_lines_), f.encoding == ecUtf8), true);
        break;
      default:
        return;
    }
  } catch (const EConversionError& e) {
    LogError("文字コード変換エラー:", path, e.what());
    return;
  } catch (const EFileNotFound& e) {
    LogError("ファイル読込みエラー:", path, e.what());
    return;
  }
  GrepLines(false, html);
}

void SearchRun::EnterArchiveMember(const std::string& archive_path, const std::string& member_path,
                                   int64_t last_write_time) {
  source_.archive_mode = true;
  source_.archive_path = archive_path;
  source_.path = member_path;
  source_.last_write_time = last_write_time;
}

}  // namespace lorvek
