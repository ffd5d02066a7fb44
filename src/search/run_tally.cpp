#include "search/run_tally.h"

#include <ctime>

#include "text/cp932.h"

namespace lorvek {
namespace {

std::string LocaleNow() {
  std::time_t now = std::time(nullptr);
  char buf[128];
  std::strftime(buf, sizeof buf, "%x %X", std::localtime(&now));
  return buf;
}

}  // namespace

std::string MatchCountText(int32_t n) { return "マッチ : " + std::to_string(n) + " 行"; }

void RunTally::Begin(const std::string& program_folder) {
  errors_ = 0;
  searched_files_ = 0;
  matches_ = 0;
  abort_requested_ = false;
  stopped_ = false;
  log_path_ = program_folder + "LOG.TXT";
  log_.Begin(log_path_, Utf8ToCp932("Lorvek Log: " + LocaleNow()));
}

void RunTally::LogError(const std::string& prefix, const std::string& path, const std::string& reason) {
  LogNote(prefix, path, reason, true);
  ++errors_;
}

void RunTally::LogNote(const std::string& prefix, const std::string& path, const std::string& reason,
                       bool failure) {
  std::string line = Utf8ToCp932(prefix) + ExternalToCp932(path);
  if (!reason.empty()) line += Utf8ToCp932(": " + reason);
  log_.Append(line);
  sink_.Logged(prefix + PathForDisplay(path) + (reason.empty() ? "" : ": " + reason), failure);
}

void RunTally::CountSearchedFile() {
  ++searched_files_;
  front_end_.SetStatusText(2, "検索ファイル: " + std::to_string(searched_files_));
}

int32_t RunTally::CountMatch() {
  ++matches_;
  front_end_.SetStatusText(3, MatchCountText(matches_));
  return matches_;
}

}  // namespace lorvek
