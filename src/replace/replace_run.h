// The replace run: walks the result store in its order, loads each hit's
// file, replaces the matches of term 0 in the hit's line (asking per match
// until told not to), and writes the file back in its own encoding after its
// backup exists. Nothing of a file changes but the replaced text: unchanged
// lines keep their bytes, every line keeps its own break, a file that cannot
// be written back exactly is not written at all.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "search/compiled_word.h"
#include "search/result_store.h"
#include "replace/backup_names.h"
#include "replace/replace_journal.h"
#include "text/file_bytes.h"
#include "text/text_codec.h"

namespace lorvek {

// What the run asks of whoever shows it (the window, lorvek-grep, a test).
class ReplaceFrontEnd {
 public:
  enum class Answer { Yes, No, Abort, All };
  virtual ~ReplaceFrontEnd() = default;
  // The per-match question (UTF-8), "path : line [text] を置換しますか?".
  virtual Answer AskReplace(const std::string& question) = 0;
  // The HTML warning of a row (kind 1); false: the run stops. The user may
  // tick that it is not to be shown again (for the rest of this run too).
  virtual bool ContinueDespiteHtmlTags(bool& dont_show_again) = 0;
  // Progress over the rows: shown with its label, moved, hidden.
  virtual void ShowProgress(size_t rows) = 0;
  virtual void SetProgress(size_t row) = 0;
  virtual void HideProgress() = 0;
  virtual void SetStatusText(const std::string& text) = 0;  // panel 0 (UTF-8)
  // The abort command becomes usable once the run goes on unattended.
  virtual void EnableAbort(bool on) = 0;
  virtual void ProcessPendingEvents() = 0;
  virtual bool AbortRequested() = 0;
  // The row's line text changed (the list repaints it).
  virtual void RowChanged(size_t row) = 0;
};

// A front end nobody watches (the command line): every match replaced, the
// HTML warning passed, nothing shown, never aborted.
class UnattendedReplace : public ReplaceFrontEnd {
 public:
  Answer AskReplace(const std::string&) override { return Answer::All; }
  bool ContinueDespiteHtmlTags(bool&) override { return true; }
  void ShowProgress(size_t) override {}
  void SetProgress(size_t) override {}
  void HideProgress() override {}
  void SetStatusText(const std::string&) override {}
  void EnableAbort(bool) override {}
  void ProcessPendingEvents() override {}
  bool AbortRequested() override { return false; }
  void RowChanged(size_t) override {}
};

struct ReplaceSettings {
  bool whole_word = true;    // WholeWord
  int code_cng_mode = 1000;  // CodeCngMode
  bool html_tag = false;     // HTMLTag
  bool html_repl_ignore = false;  // HtmlReplIgnore (the warning of kind 1 is not shown)
  // The backups of replace runs (NAME.bak, NAME.bak(N) beside a file of that
  // stem) are replaced too; by default they are named and left alone, so
  // that no run writes over another's way back.
  bool replace_backups = false;
};

struct ReplaceResult {
  int files = 0;     // files written (or that would be, when only looking)
  int replaced = 0;  // replacements written
  int failed = 0;    // files that had changes but could not be written
  bool aborted = false;
  std::vector<std::string> notes;  // each once (UTF-8)
  std::string summary;             // the report's text (UTF-8)
  std::string status;              // the summary in one line, for a status bar
  // What would change, when the run only looks (path, line number, old, new; Shift-JIS texts).
  struct Change {
    std::string path;
    int32_t line_no;
    std::string old_text, new_text;
    std::vector<LineEdit> edits;  // the replacements, in old_text's bytes
  };
  std::vector<Change> changes;
  // When only looking: each file that would change, its bytes before and after.
  struct FileChange {
    std::string path;
    int32_t encoding;
    std::string old_bytes, new_bytes;
  };
  std::vector<FileChange> file_changes;
};

// The lines a run may change, chosen after looking at them: by the path as
// the rows hold it and the 1-based line number, with the bytes each file had
// when they were looked at.
struct ReplaceChoice {
  std::map<std::string, std::set<int32_t>> lines;
  std::map<std::string, std::string> seen_bytes;
  bool Has(const std::string& path, int32_t line_no) const {
    auto f = lines.find(path);
    return f != lines.end() && f->second.count(line_no) > 0;
  }
};

class ReplaceRun {
 public:
  ReplaceRun(ResultStore& store, const CompiledWord& word, ReplaceSettings settings, ReplaceFrontEnd& front_end);

  // Replaces in every row, or in the rows listed in selected (store
  // indices) when selected_only. The replacement is Shift-JIS, "\t" not yet
  // turned into a tab. dry_run: nothing is written and no backup is made;
  // the result lists every line that would change.
  ReplaceResult Run(const std::string& replacement, bool selected_only, const std::vector<size_t>& selected = {},
                    bool dry_run = false);
  // Every file written is recorded there first, so the run can be undone.
  void SetJournal(ReplaceJournal* journal) { journal_ = journal; }
  // Only the chosen lines are replaced, every match in them, without a
  // question (they were seen already); a file none of whose lines is chosen
  // is not loaded, backed up or written. A file whose bytes are no longer
  // those seen is not written at all. nullptr: every line, as usual.
  void LimitTo(const ReplaceChoice* choice) { choice_ = choice; }

 private:
  struct File {
    std::string path;
    std::string bytes;  // as read
    FileStamp stamp;    // the file's state when read
    DecodedText text;
    std::map<size_t, std::vector<LineEdit>> edits;  // line index -> its replacements
    std::map<size_t, std::string> new_lines;        // line index -> its new Shift-JIS text
    std::vector<std::pair<size_t, std::string>> row_texts;  // store row -> its new text, once written
    int replaced = 0;
    bool dirty = false;
    bool refused = false;  // changed since its lines were chosen: left alone
    bool written = false;
    size_t first_row = SIZE_MAX;  // a store row of the file
    bool stale_noted = false;  // a row of it no longer holds its hit: said once
    std::shared_ptr<std::set<size_t>> done;  // lines of this file processed in the run
  };

  bool Load(File& file, int32_t encoding, int32_t line_end);
  // Done with a file: what it did not write is forgotten.
  void Leave(File& file);
  // A row whose line no longer holds its hit (the file changed since the search).
  void StaleRow(File& file);
  // Whether path is the backup of an earlier run (beside its file).
  bool IsEarlierBackup(const std::string& path);
  bool ChangedSinceSearch(const File& file, const RecordView& row) const;
  void WriteBack(File& file);
  void Refuse(File& file, const std::string& note);
  // Replaces in one line; false when the run was aborted inside.
  bool ReplaceInLine(const std::string& line, const RecordView& row, const std::string& path,
                     std::vector<LineEdit>& edits, std::string& result, size_t& found);
  void Note(const std::string& text);

  ResultStore& store_;
  const CompiledWord& word_;
  ReplaceSettings settings_;
  bool archive_skipped_ = false;
  bool non_text_skipped_ = false;
  ReplaceFrontEnd& front_end_;
  std::string replacement_;
  bool ask_ = true;
  bool dry_run_ = false;
  bool journal_failed_ = false;  // the journal could not start: nothing more is written
  ReplaceResult result_;
  ReplaceJournal* journal_ = nullptr;
  const ReplaceChoice* choice_ = nullptr;
  std::set<std::string> compared_;  // files already compared with the bytes seen
  std::map<std::string, std::set<std::string>> files_beside_;  // regular files by folder, listed once a run
  // The lines this run replaced in each file it wrote, by the file's device
  // and inode with its whole stamp as written, so a file reached again
  // through a link or a second name is not replaced twice. Only files
  // written are kept, and only while they are as written: an inode number
  // another run frees is soon another file's.
  struct Done {
    FileStamp stamp;
    std::shared_ptr<std::set<size_t>> lines;
  };
  std::map<std::pair<dev_t, ino_t>, Done> done_lines_;
  std::map<std::string, FileStamp> written_;  // each file this run wrote, as it left it
};

// Tests only: 1 makes every backup's hard link fail (the backup is copied),
// 2 makes the copy fail as well; 0 (the default) leaves backups alone.
extern int g_backup_failure_for_testing;

// "\t" (backslash, t) turned into a tab, left to right; nothing else.
std::string ApplyTabEscape(const std::string& text);

}  // namespace lorvek
