// The way back from the last replace run. A run that writes something keeps
// a journal in the per-user folder: for each file, before it is touched, the
// path, its backup's name and the size and digest of the new content, and
// once it is in place a line saying so. A run killed half-way can therefore
// be undone too. Undoing restores from its backup every file that still
// holds exactly what the run wrote, leaves alone (and names) every file
// changed since, and then forgets the journal: one undo per run, for the
// last run only. A new run's journal stays apart (".new") until its first
// file is in place: a run that writes nothing leaves the last one's undo.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace lorvek {

class ReplaceJournal {
 public:
  explicit ReplaceJournal(std::string path);
  ~ReplaceJournal();

  // Before a file is written: starts the run's journal, apart from the
  // last run's, at the run's first file.
  // Raises JournalStartError when the run's journal cannot be started (its
  // files are not ours alone, the disk is full, the last run's journal
  // could not take its place): no file of the run may be written then.
  // Raises std::system_error when the entry cannot be written (this file
  // is then not written either: it could not be undone).
  void Writing(const std::string& file, const std::string& backup, const std::string& new_bytes);
  // The file's new content is in place: the run's journal, at its first
  // file, takes the last run's place.
  void Written(const std::string& file);
  // The run is over: the journal is complete (or, when nothing was written,
  // dropped), and a next run starts anew.
  void End();

  const std::string& Path() const { return path_; }

 private:
  void Start();
  void Append(const std::string& line);

  struct JournalLockHolder;
  std::string path_;
  bool started_ = false;
  bool in_place_ = false;  // the run's journal has taken the last run's place
  // Held from the run's first file to its end: one run's journal at a time.
  std::unique_ptr<JournalLockHolder> lock_;
};

// Why a run's journal could not be started (UTF-8: the file and the reason).
class JournalStartError : public std::runtime_error {
 public:
  explicit JournalStartError(const std::string& reason) : std::runtime_error(reason) {}
};

struct UndoResult {
  int restored = 0;
  std::vector<std::string> left;  // files changed since the run (UTF-8 notes)
  std::vector<std::string> failed;
  bool nothing = false;  // no journal: nothing to undo
  bool refused = false;  // the journal's files are not ours alone: not read
  std::string report;    // the user's text (UTF-8), one line each
};

// Whether a journal of a run waits to be undone (or something not ours
// stands at its name, which undo then refuses by name).
bool HasReplaceJournal(const std::string& journal_path);
// Undoes the run the journal records and removes the journal.
UndoResult UndoLastReplace(const std::string& journal_path);

// Tests only: counts the journal's flushes to disk.
extern std::atomic<int> g_journal_syncs_for_testing;

// The journal's place in the per-user folder.
std::string ReplaceJournalPath(const std::string& program_folder);

}  // namespace lorvek
