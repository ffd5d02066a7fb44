// The walk's side of a run: every file the walk selects goes to the source
// the table names for it (archive members one at a time through the work
// folder), its text to the line matching; plain text files may be read
// ahead on other threads, in walk order all the same.
#pragma once

#include <array>
#include <string>

#include "search/folder_walk.h"
#include "search/line_matching.h"
#include "search/mask.h"
#include "search/read_ahead.h"
#include "search/run_tally.h"
#include "search/search_front_end.h"
#include "search/work_folder.h"
#include "sources/archive_reader.h"
#include "sources/source_table.h"

namespace lorvek {

// What a run's walk reads and where it reports.
struct DispatchParts {
  SearchFrontEnd& front_end;
  RecordSink& sink;
  RunTally& tally;
  LineMatching& matching;
  SourceTable& sources;
  const SearchOptions& options;
  const std::array<TWildMatch, 3>& masks;  // target, archive and filter masks
  WorkFolder& work_folder;
};

class FileDispatch : private WalkObserver, private ReadAheadSink {
 public:
  explicit FileDispatch(const DispatchParts& parts) : p_(parts) {}

  // Walks one target; read_ahead_workers 0: this thread reads every file.
  void Walk(const std::string& target, const WalkRules& rules, int read_ahead_workers);

 private:
  // WalkObserver
  void ListingFolder(const std::string& folder) override;
  void EntryReached() override { p_.front_end.ProcessPendingEvents(); }
  bool StopWalking() const override { return p_.tally.Halted(); }
  void FileFound(const WalkItem& item) override;
  void CannotList(const std::string& path, int error) override;

  // ReadAheadSink (the other walk events are the WalkObserver's)
  void FileFound(const WalkItem& item, TextRecording* recording) override;
  bool Halted() const override { return p_.tally.Halted(); }
  void Waiting() override { p_.front_end.ProcessPendingEvents(); }

  // Around every file the walk finds: its record fields and status line
  // before, the sink and the counter after.
  void BeginFile(const WalkItem& item);
  void EndFile(const WalkItem& item);
  void SearchFile(const FileRef& file, bool filter_match);
  // The members of one archive that the file masks select, one at a time
  // through the work folder (archive_search.cpp).
  void SearchArchive(const std::string& archive_path);
  std::string MembersFolder() const { return p_.work_folder.Folder() + "/members"; }

  class MemberVisitor;

  DispatchParts p_;
};

// The extraction bounds the options name (MiB made bytes).
ExtractLimits ExtractLimitsOf(const SearchOptions& options);

}  // namespace lorvek
