// The search run's side of archives: the members the file masks select are
// extracted one at a time into the work folder, searched like files found
// on disk, and deleted again.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "search/open_path.h"
#include "search/file_dispatch.h"
#include "sources/archive_paths.h"
#include "sources/source_table.h"
#include "text/cp932.h"

namespace lorvek {

class FileDispatch::MemberVisitor : public ArchiveVisitor {
 public:
  MemberVisitor(FileDispatch& dispatch, const std::string& archive) : dispatch_(dispatch), archive_(archive) {}

  // The file masks select members whatever the mask mode says.
  bool Wanted(const ArchiveMember& member) override {
    return dispatch_.p_.masks[0].Matches(ExternalToCp932(BaseName(member.path)));
  }

  // An empty member read as plain text holds no line: it is searched
  // without a file. A filter or a document reader may still make
  // something of it.
  bool EmptyNeedsFile(const ArchiveMember& member) override {
    return !SourceTable::ReadAsPlainText(member.path, FilterMatch(member), dispatch_.p_.options);
  }

  void Extracted(const ArchiveMember& member, const std::string& file) override {
    MatchSource& source = dispatch_.p_.matching.Source();
    source.archive_mode = true;
    source.archive_path = archive_;
    source.path = member.path;
    source.last_write_time = FileTimeFromUnix(member.mtime, 0);
    dispatch_.p_.front_end.SetStatusText(0, PathForDisplay(archive_ + "/" + member.path));
    if (!file.empty()) dispatch_.SearchFile(FileRef::FromPath(file), FilterMatch(member));
    dispatch_.p_.sink.FileSearched(OpenPath::Member(archive_, member.path).Text());
    // The member's file goes; the folders made for it stay for the members
    // after it (they are emptied with the archive).
    if (!file.empty() && ::unlink(file.c_str()) != 0) RemoveFolderContents(dispatch_.MembersFolder());
    dispatch_.p_.front_end.ProcessPendingEvents();
  }

  void Failed(const ArchiveMember& member, const std::string& reason) override {
    dispatch_.p_.tally.LogError("書庫エラー:", archive_ + "/" + member.path, reason);
  }

  bool Stop() const override { return dispatch_.p_.tally.Halted(); }

  bool FilterMatch(const ArchiveMember& member) const {
    return dispatch_.p_.options.use_filter && dispatch_.p_.masks[2].Matches(ExternalToCp932(BaseName(member.path)));
  }

  // While a member is being extracted the window stays alive, and the abort
  // command ends an archive whose reader takes long.
  void Waiting() override { dispatch_.p_.front_end.ProcessPendingEvents(); }

 private:
  FileDispatch& dispatch_;
  const std::string& archive_;
};

ExtractLimits ExtractLimitsOf(const SearchOptions& options) {
  const auto mib = [](int n) { return uint64_t{static_cast<uint32_t>(std::max(1, n))} << 20; };
  return {mib(options.arc_member_limit), mib(options.arc_total_limit)};
}

void FileDispatch::SearchArchive(const std::string& archive_path) {
  p_.front_end.SetStatusText(0, PathForDisplay(archive_path) + ": 検索中...");
  const std::string members = MembersFolder();
  try {
    p_.work_folder.Ensure();
    if (::mkdir(members.c_str(), 0700) != 0 && errno != EEXIST) throw EArchive("作業フォルダに書けません: " + members);
    RemoveFolderContents(members);
    MemberVisitor visitor(*this, archive_path);
    VisitArchive(archive_path, members, visitor, ExtractLimitsOf(p_.options));
  } catch (const std::exception& e) {
    // An archive that cannot be read is logged and the search goes on.
    p_.tally.LogError("書庫エラー:", archive_path, e.what());
  }
  RemoveFolderContents(members);
  p_.matching.Source().archive_mode = false;
  p_.matching.Source().archive_path.clear();
}

}  // namespace lorvek
