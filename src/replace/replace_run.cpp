#include "replace/replace_run.h"

#include "replace/backup_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <system_error>

#include "search/compiled_word.h"
#include "search/folder_walk.h"
#include "sources/plain_text_source.h"
#include "sources/text_source.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/file_bytes.h"
#include "text/path_names.h"
#include "text/second_look.h"
#include "text/text_stream.h"

namespace lorvek {
namespace {

constexpr size_t kRowTextBytes = 255;

const char kArchiveNote[] = "書庫内ファイルは置換できない:";
const char kNonTextNote[] = "テキストファイル以外は置換できない:";
const char kNoConversionNote[] = "コード変換なしモードでSJIS以外は置換できない:";
const char kUtf8NoConversionNote[] = "UTF8コード変換なしモードでUTF8は置換できない:";
// Ours: a file that could not be written back byte for byte, or safely.
const char kCannotConvertNote[] = "変換できない文字を含むため置換できない:";
const char kNoBackupNote[] = "バックアップを作成できないため置換できない:";
const char kWriteFailedNote[] = "書き込みに失敗したため置換できない:";
const char kChangedNote[] = "読み込み後に変更されたため置換できない:";
const char kUnreadableNote[] = "読み込めないため置換できない:";
const char kNoJournalNote[] = "置換の記録を作成できないため置換できない:";
const char kChangedSinceSearchNote[] = "検索後に変更されたため置換できない:";
const char kBackupNote[] = "置換のバックアップファイルは置換しない:";

// Copies bytes to a new file of name backup with the file's permissions
// (and owner, where allowed), flushed to disk.
bool CopyBackup(const std::string& path, const std::string& backup, const std::string& bytes, int& error) {
  if (g_backup_failure_for_testing >= 2) {
    error = EIO;
    return false;
  }
  const int fd = open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error = errno;
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) ok = false;
    else done += static_cast<size_t>(w);
  }
  struct stat st;
  if (ok && stat(path.c_str(), &st) == 0) {
    if (fchown(fd, st.st_uid, st.st_gid) != 0) { /* the backup is ours then; the file keeps its owner */ }
    fchmod(fd, st.st_mode & 07777);
  }
  ok = ok && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (!ok) unlink(backup.c_str());
  error = ok ? 0 : EIO;
  return ok;
}

// Keeps the old bytes of the file path leads to before anything is written:
// a hard link to that file (through a symbolic link to the file it names)
// when the file system allows it, else a copy. A file that has other names
// already is copied: the old inode lives on under those names after the
// write, and a link would change with whatever is written through them.
// Returns the backup's name, "" when none could be made.
std::string MakeBackup(const std::string& path, const std::string& bytes) {
  struct stat st;
  const bool shared = stat(path.c_str(), &st) != 0 || st.st_nlink > 1;
  const bool may_link = !shared && g_backup_failure_for_testing < 1;
  // Another run may take the same name meanwhile: then the next one.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string backup = BackupName(path);
    if (may_link) {
      if (linkat(AT_FDCWD, path.c_str(), AT_FDCWD, backup.c_str(), AT_SYMLINK_FOLLOW) == 0) return backup;
      if (errno == EEXIST) continue;
    }
    int error = 0;
    if (CopyBackup(path, backup, bytes, error)) return backup;
    if (error != EEXIST) return "";
  }
  return "";
}

}  // namespace

int g_backup_failure_for_testing = 0;

std::string ApplyTabEscape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 't') {
      out.push_back('\t');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

ReplaceRun::ReplaceRun(ResultStore& store, const CompiledWord& word, ReplaceSettings settings,
                       ReplaceFrontEnd& front_end)
    : store_(store), word_(word), settings_(settings), front_end_(front_end) {}

void ReplaceRun::Note(const std::string& text) {
  if (std::find(result_.notes.begin(), result_.notes.end(), text) == result_.notes.end()) result_.notes.push_back(text);
}

bool ReplaceRun::Load(File& file, int32_t encoding, int32_t line_end) {
  // A hit whose file went away, became a folder or cannot be read any more
  // was still found: the run says so and counts it, once for all its rows.
  const std::string shown = PathForDisplay(file.path);
  try {
    file.bytes = ReadFileBytes(file.path, &file.stamp);
  } catch (const std::system_error& e) {
    file.refused = true;
    Refuse(file, kUnreadableNote + shown + " (" + std::strerror(e.code().value()) + ")");
    return false;
  }
  try {
    file.text = DecodeFileText(file.bytes, TextFileFormat::FromCodes(encoding, line_end), {.check_round_trip = true});
  } catch (const std::exception&) {
    file.refused = true;
    Refuse(file, kCannotConvertNote + shown);
    return false;
  }
  Done& done = done_lines_[{file.stamp.device, file.stamp.inode}];
  if (!done.lines || !(done.stamp == file.stamp)) done = {file.stamp, std::make_shared<std::set<size_t>>()};
  file.done = done.lines;
  return true;
}

bool ReplaceRun::IsEarlierBackup(const std::string& path) {
  if (BackupStem(FileNameOf(path)).empty()) return false;
  // Each folder is listed once a run, however many backups it holds.
  const std::string folder = FolderOfFile(path);
  auto at = files_beside_.find(folder);
  if (at == files_beside_.end()) at = files_beside_.emplace(folder, RegularFileNames(folder)).first;
  return IsBackupBesideItsFile(FileNameOf(path), at->second);
}

void ReplaceRun::Leave(File& file) {
  // A dry run writes nothing: every file it looked at counts as done, so a
  // second name of one is reported once, as the real run would write it.
  if (file.written || dry_run_ || !file.done) return;
  auto at = done_lines_.find({file.stamp.device, file.stamp.inode});
  if (at != done_lines_.end() && at->second.lines == file.done) done_lines_.erase(at);
}

void ReplaceRun::StaleRow(File& file) {
  if (file.stale_noted) return;
  file.stale_noted = true;
  Note(kChangedSinceSearchNote + PathForDisplay(file.path));
  ++result_.failed;
}

bool ReplaceRun::ChangedSinceSearch(const File& file, const RecordView& row) const {
  auto written = written_.find(file.path);
  if (written != written_.end() && written->second == file.stamp) return false;  // as this run left it
  const int64_t now = FileTimeFromUnix(file.stamp.modified_ns / 1'000'000'000, file.stamp.modified_ns % 1'000'000'000);
  return now != row.LastWriteTime;
}

void ReplaceRun::Refuse(File& file, const std::string& note) {
  Note(note);
  ++result_.failed;
  file.row_texts.clear();
}

// A file is written, counted and its rows shown changed only when all of it
// can be written: a refused or failed file keeps its old bytes and rows.
void ReplaceRun::WriteBack(File& file) {
  file.dirty = false;
  const std::string shown = PathForDisplay(file.path);
  std::map<size_t, std::string> line_bytes;
  for (const auto& [index, edits] : file.edits) {
    if (edits.empty()) continue;  // every match declined: the line keeps its bytes
    std::optional<std::string> bytes = EditLineBytes(file.bytes, file.text, index, edits);
    if (!bytes) return Refuse(file, kCannotConvertNote + shown);
    line_bytes[index] = std::move(*bytes);
  }
  if (dry_run_) {
    // The file is done with once reported: its lines, edits and bytes move
    // into the report rather than being copied (a long line may hold
    // millions of edits).
    for (auto& [index, text] : file.new_lines)
      if (text != file.text.Line(index))
        result_.changes.push_back({file.path, static_cast<int32_t>(index + 1), std::string(file.text.Line(index)),
                                   std::move(text), std::move(file.edits[index])});
    if (!line_bytes.empty()) {
      std::string rebuilt = RebuildFileWithLineBytes(file.bytes, file.text, line_bytes);
      // Counted as the real run would count it: only a file whose bytes change.
      if (rebuilt != file.bytes) {
        ++result_.files;
        result_.replaced += file.replaced;
      }
      result_.file_changes.push_back({file.path, file.text.format.encoding, std::move(file.bytes), std::move(rebuilt)});
    }
    return;
  }
  const std::string bytes = RebuildFileWithLineBytes(file.bytes, file.text, line_bytes);
  // Replacements that give back the same bytes (a word replaced by itself,
  // every match declined) leave the file as it is: nothing is written,
  // backed up, journalled or counted.
  if (bytes == file.bytes) return;
  {
    if (!(StampOf(file.path) == file.stamp)) return Refuse(file, kChangedNote + shown);
    const std::string backup = MakeBackup(file.path, file.bytes);
    if (backup.empty()) return Refuse(file, kNoBackupNote + shown);
    // The file is not touched on any way out here: its backup says nothing.
    auto failed = [&](const std::string& note) {
      unlink(backup.c_str());
      Refuse(file, note);
    };
    auto write_failed = [&](const std::system_error& e) {
      failed(kWriteFailedNote + shown + " (" + std::strerror(e.code().value()) + ")");
    };
    try {
      if (journal_) journal_->Writing(file.path, backup, bytes);  // a write that could not be undone is not made
    } catch (const JournalStartError& e) {
      // No file of the run could be undone: the run writes nothing and ends.
      journal_failed_ = true;
      return failed(kNoJournalNote + std::string(e.what()));
    } catch (const std::system_error& e) {
      return write_failed(e);
    }
    try {
      WriteFileAtomically(file.path, bytes, file.stamp);
    } catch (const FileChangedError&) {
      return failed(kChangedNote + shown);
    } catch (const std::system_error& e) {
      return write_failed(e);
    }
    try {
      if (journal_) journal_->Written(file.path);
    } catch (const std::system_error&) {
      // The entry before it is enough to undo the file.
    }
  }
  ++result_.files;
  result_.replaced += file.replaced;
  file.written = true;
  // Reached again through a symbolic link, the new file is the same file.
  // Other names of the old one (hard links) still hold the old text: they
  // are files of their own now, replaced when reached.
  done_lines_.erase({file.stamp.device, file.stamp.inode});
  const FileStamp now = StampOf(file.path);
  if (now.valid()) {
    done_lines_[{now.device, now.inode}] = {now, file.done};
    written_[file.path] = now;
    // The rows know the file as written: a later run over them takes it as
    // the search found it, not as changed since.
    if (file.first_row < store_.size())
      store_.SetLastWriteTime(file.first_row, FileTimeFromUnix(now.modified_ns / 1'000'000'000, now.modified_ns % 1'000'000'000));
  }
  for (auto& [row, text] : file.row_texts) {
    store_.SetLineText(row, text);
    front_end_.RowChanged(row);
  }
  file.row_texts.clear();
}

bool ReplaceRun::ReplaceInLine(const std::string& line, const RecordView& row, const std::string& path,
                               std::vector<LineEdit>& edits, std::string& result, size_t& found) {
  // Every match is one the whole line holds: anchors and the whole-word
  // test see the line's real start, end and neighbours, and a replacement
  // is never matched again.
  edits.clear();
  result.clear();
  found = 0;
  size_t copied = 0;  // line[0, copied) is in result
  for (const MatchPos m : MatchesInLine(word_.Term(0), line, settings_.whole_word)) {
    ++found;
    const size_t start = m.start - 1, n = m.length;
    if (ask_) {
      const std::string question = PathForDisplay(path) + " : " + std::to_string(row.LineNo) + " [" +
                                   Cp932ToUtf8(line.substr(start, n)) + "] を置換しますか?";
      switch (front_end_.AskReplace(question)) {
        case ReplaceFrontEnd::Answer::Abort:
          result_.aborted = true;
          return false;
        case ReplaceFrontEnd::Answer::No:
          continue;
        case ReplaceFrontEnd::Answer::All:
          ask_ = false;
          front_end_.EnableAbort(true);
          break;
        case ReplaceFrontEnd::Answer::Yes:
          break;
      }
    }
    front_end_.ProcessPendingEvents();
    if (front_end_.AbortRequested()) {
      result_.aborted = true;
      return false;
    }
    result.append(line, copied, start - copied);
    result += replacement_;
    copied = start + n;
    edits.push_back({start, start + n, replacement_});
  }
  result.append(line, copied);
  return true;
}

ReplaceResult ReplaceRun::Run(const std::string& replacement, bool selected_only, const std::vector<size_t>& selected,
                              bool dry_run) {
  replacement_ = ApplyTabEscape(replacement);
  result_ = {};
  // The journal is this run's until it returns, however it returns.
  struct EndJournal {
    ReplaceJournal* journal;
    ~EndJournal() {
      if (journal) journal->End();
    }
  } end_journal{journal_};
  ask_ = !dry_run && !choice_;
  dry_run_ = dry_run;
  archive_skipped_ = non_text_skipped_ = false;
  done_lines_.clear();
  written_.clear();
  files_beside_.clear();
  compared_.clear();
  std::vector<bool> chosen(store_.size(), !selected_only);
  for (size_t i : selected)
    if (i < chosen.size()) chosen[i] = true;

  File file;
  std::string probed_path;
  int32_t probed_encoding = ecSjis, probed_line_end = leCrLf;
  front_end_.ShowProgress(store_.size());
  // Without questions the run goes on unattended: only the abort command stops it.
  if (choice_ && !dry_run) front_end_.EnableAbort(true);
  journal_failed_ = false;
  for (size_t i = 0; i < store_.size() && !result_.aborted && !journal_failed_; ++i) {
    front_end_.SetProgress(i);
    if (!chosen[i]) continue;
    const RecordView row = store_[i];
    const std::string open(row.OpenPath);
    if (!open.empty() && open[0] == '@') {
      archive_skipped_ = true;
      Note(kArchiveNote + PathForDisplay(open.substr(1)));
      continue;
    }
    const std::string path = open;
    int32_t encoding = row.EncodingCode, line_end = row.LineEndCode;
    const int mode = settings_.code_cng_mode;
    const bool document = encoding == ecWord || encoding == ecExcel || encoding == ecFiltered;
    if (!document && mode != 1 && mode != 3 && path == probed_path) {
      encoding = probed_encoding, line_end = probed_line_end;  // probed for the row before
    } else if (!document && mode != 1 && mode != 3) {
      // Not what the search detected: the file is probed again, once for
      // its rows in a row.
      encoding = ecSjis, line_end = leCrLf;
      try {
        InputFile in(FileRef::FromPath(path));
        const TextFileFormat f = DetectFileFormat(in);
        encoding = f.encoding, line_end = f.line_end;
      } catch (const std::exception&) {
      }
      probed_path = path, probed_encoding = encoding, probed_line_end = line_end;
    }
    if (encoding == ecBinary || document) {
      non_text_skipped_ = true;
      Note(kNonTextNote + PathForDisplay(path));
      continue;
    }
    if (encoding != ecAscii && encoding != ecSjis) {
      if (mode == 2) {
        Note(kNoConversionNote + PathForDisplay(path));
        continue;
      }
      if ((encoding == ecUtf8 || encoding == ecUtf8N) && mode == 0) {
        Note(kUtf8NoConversionNote + PathForDisplay(path));
        continue;
      }
    }
    // Unchosen lines are passed over before anything could ask or load.
    if (choice_ && !choice_->Has(path, row.LineNo)) continue;
    if (!settings_.replace_backups && IsEarlierBackup(path)) {
      Note(kBackupNote + PathForDisplay(path));
      continue;
    }
    const std::string ext = UpperExtension(path);
    if (!settings_.html_repl_ignore && settings_.html_tag && (ext == ".HTM" || ext == ".HTML")) {
      bool dont_show_again = false;
      const bool go_on = front_end_.ContinueDespiteHtmlTags(dont_show_again);
      settings_.html_repl_ignore = dont_show_again;
      if (!go_on) {
        // Cancel stops the run as 中止 does.
        result_.aborted = true;
        break;
      }
    }
    front_end_.SetStatusText(PathForDisplay(path) + " : " + std::to_string(row.LineNo));
    if (file.path != path) {
      if (!file.path.empty() && file.dirty) WriteBack(file);
      Leave(file);
      if (journal_failed_) break;
      file = File{};
      file.path = path;
      file.first_row = i;
      if (!Load(file, encoding, line_end)) continue;  // refused: its other rows are passed over
      // What was chosen holds for the bytes it was chosen from; a second
      // load of a file in this run reads what the first one wrote.
      if (choice_ && compared_.insert(path).second) {
        auto seen = choice_->seen_bytes.find(path);
        if (seen != choice_->seen_bytes.end() && seen->second != file.bytes) {
          file.refused = true;
          Refuse(file, kChangedNote + PathForDisplay(path));
        }
      }
    }
    if (file.refused) continue;
    const size_t index = static_cast<size_t>(row.LineNo) - 1;
    if (row.LineNo < 1 || index >= file.text.size()) {
      StaleRow(file);  // the file lost the line since the search
      continue;
    }
    // The same line of the same file, reached again (through a link, a
    // second name, or a target given twice): replaced once.
    if (file.done->count(index)) continue;
    const std::string line(file.text.Line(index));
    std::vector<LineEdit> edits;
    std::string replaced;
    size_t found = 0;
    if (!ReplaceInLine(line, row, path, edits, replaced, found)) break;
    if (found == 0 && ChangedSinceSearch(file, row)) StaleRow(file);
    file.done->insert(index);
    file.replaced += static_cast<int>(edits.size());
    file.edits[index] = std::move(edits);
    file.new_lines[index] = replaced;
    file.dirty = true;
    if (!dry_run) file.row_texts.emplace_back(i, CutAtBytes(replaced, kRowTextBytes));
  }
  front_end_.HideProgress();
  front_end_.EnableAbort(false);
  if (!file.path.empty() && file.dirty && !journal_failed_) WriteBack(file);

  std::string summary;
  for (const std::string& note : result_.notes) summary += note + "\r\n";
  const std::string counts =
      std::to_string(result_.files) + " 個のファイルの " + std::to_string(result_.replaced) +
      (dry_run_ ? " 個の文字を変換します (まだ何も書き込んでいません)." : " 個の文字を変換しました.");
  summary += "\n\r" + counts;
  if (archive_skipped_) summary += "\n\r書庫内のファイルは置換できないためスキップしました.";
  if (non_text_skipped_) summary += "\n\rテキスト以外のファイルは置換できないためスキップしました.";
  if (result_.aborted || journal_failed_) summary += "\r\n処理を中断しました.";
  // The status bar has one line: the counts, and what went wrong in brief;
  // the report has the rest.
  result_.status = counts;
  if (result_.failed > 0) result_.status += " " + std::to_string(result_.failed) + " 個のファイルは置換できませんでした.";
  if (result_.aborted || journal_failed_) result_.status += " 処理を中断しました.";
  front_end_.SetStatusText(result_.status);
  result_.summary = summary;
  return result_;
}

}  // namespace lorvek
