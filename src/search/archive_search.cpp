// The search run's side of archives: the members the file masks select are
// extracted one at a time into the work folder, searched like files found
// on disk, and deleted again.
#include <sys/stat.h>

#include <algorithm>

#include "search/open_path.h"
#include "search/search_run.h"
#include "sources/archive_paths.h"
#include "text/cp932.h"

namespace lorvek {

class SearchRun::MemberVisitor : public ArchiveVisitor {
 public:
  MemberVisitor(SearchRun& run, const std::string& archive) : run_(run), archive_(archive) {}

  // The file masks select members whatever the mask mode says.
  bool Wanted(const ArchiveMember& member) override {
    return run_.wild_match_[0].Matches(ExternalToCp932(BaseName(member.path)));
  }

  void Extracted(const ArchiveMember& member, const std::string& file) override {
    MatchSource& source = run_.source_;
    source.archive_mode = true;
    source.archive_path = archive_;
    source.path = member.path;
    source.last_write_time = FileTimeFromUnix(member.mtime, 0);
    run_.front_end_.SetStatusText(0, PathForDisplay(archive_ + "/" + member.path));
    const bool filter_match = run_.options_.use_filter && run_.wild_match_[2].Matches(ExternalToCp932(BaseName(member.path)));
    run_.SearchFile(FileRef::FromPath(file), filter_match);
    run_.sink_.FileSearched(OpenPath::Member(archive_, member.path).Text());
    RemoveFolderContents(run_.MembersFolder());
    run_.front_end_.ProcessPendingEvents();
  }

  void Failed(const ArchiveMember& member, const std::string& reason) override {
    run_.LogError("書庫エラー:", archive_ + "/" + member.path, reason);
  }

  bool Stop() const override { return run_.abort_requested_ || run_.stopped_; }

  // While a member is being extracted the window stays alive, and the abort
  // command ends an archive whose reader takes long.
  void Waiting() override { run_.front_end_.ProcessPendingEvents(); }

 private:
  SearchRun& run_;
  const std::string& archive_;
};

ExtractLimits ExtractLimitsOf(const SearchOptions& options) {
  const auto mib = [](int n) { return uint64_t{static_cast<uint32_t>(std::max(1, n))} << 20; };
  return {mib(options.arc_member_limit), mib(options.arc_total_limit)};
}

void SearchRun::SearchArchive(const std::string& archive_path) {
  front_end_.SetStatusText(0, PathForDisplay(archive_path) + ": 検索中...");
  const std::string members = MembersFolder();
  try {
    work_folder_.Ensure();
    if (::mkdir(members.c_str(), 0700) != 0 && errno != EEXIST) throw EArchive("作業フォルダに書けません: " + members);
    RemoveFolderContents(members);
    MemberVisitor visitor(*this, archive_path);
    VisitArchive(archive_path, members, visitor, ExtractLimitsOf(options_));
  } catch (const std::exception& e) {
    // An archive that cannot be read is logged and the search goes on.
    LogError("書庫エラー:", archive_path, e.what());
  }
  RemoveFolderContents(members);
  source_.archive_mode = false;
  source_.archive_path.clear();
}

}  // namespace lorvek
