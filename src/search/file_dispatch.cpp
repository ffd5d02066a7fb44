#include "search/file_dispatch.h"

#include <cstring>

#include "text/cp932.h"

namespace lorvek {

void FileDispatch::Walk(const std::string& target, const WalkRules& rules, int read_ahead_workers) {
  if (read_ahead_workers <= 0) return WalkTarget(target, rules, *this);
  ReadAheadPlan plan;
  plan.workers = read_ahead_workers;
  plan.model = &p_.matching;
  plan.plain = [this](const WalkItem& item) {
    return !item.archive && SourceTable::ReadAsPlainText(item.file.path, item.filter_match, p_.options);
  };
  TextSource& plain = p_.sources.PlainText();
  plan.read = [&plain](const FileRef& file, MatchTarget& target) { plain.Search(file, target); };
  WalkWithReadAhead(target, rules, plan, *this);
}

void FileDispatch::ListingFolder(const std::string& folder) { p_.front_end.SetStatusText(0, PathForDisplay(folder)); }

void FileDispatch::FileFound(const WalkItem& item, TextRecording* recording) {
  if (!recording) return FileFound(item);
  BeginFile(item);
  ReplayRecording(*recording, p_.matching, [this](int32_t count) { p_.matching.SetLineCount(count); });
  EndFile(item);
}

void FileDispatch::FileFound(const WalkItem& item) {
  if (item.archive) {
    SearchArchive(item.file.path);
    p_.tally.CountSearchedFile();
    return;
  }
  BeginFile(item);
  SearchFile(item.file, item.filter_match);
  EndFile(item);
}

void FileDispatch::BeginFile(const WalkItem& item) {
  p_.matching.BeginFile(item.file.path, item.last_write_time);
  p_.front_end.SetStatusText(0, PathForDisplay(item.file.path));
}

void FileDispatch::EndFile(const WalkItem& item) {
  p_.sink.FileSearched(item.file.path);
  p_.tally.CountSearchedFile();
}

void FileDispatch::CannotList(const std::string& path, int error) {
  // The window keeps silent about these (no error is counted); the log and
  // the sink hear of them.
  p_.tally.LogNote("フォルダを読めません:", path, std::strerror(error), true);
}

void FileDispatch::SearchFile(const FileRef& file, bool filter_match) {
  p_.matching.Source().document = false;
  p_.matching.Source().filtered = false;
  p_.sources.For(file.path, filter_match, p_.options).Search(file, p_.matching);
}

}  // namespace lorvek
