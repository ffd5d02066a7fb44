#include "replace/replace_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "search/whole_word.h"
#include "sources/plain_text_source.h"
#include "sources/text_source.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/file_bytes.h"
#include "text/second_look.h"
#include "text/sjis.h"
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

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The backup holds the old bytes before the file is touched: a hard link
// when the file system allows it, else a copy flushed to disk.
bool MakeBackup(const std::string& path, const std::string& backup, const std::string& bytes) {
  if (link(path.c_str(), backup.c_str()) == 0) return true;
  const int fd = open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) ok = false;
    else done += static_cast<size_t>(w);
  }
  struct stat st;
  if (ok && stat(path.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
  ok = ok && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (!ok) unlink(backup.c_str());
  return ok;
}

std::string UpperExt(const std::string& path) { return UpperExtension(path); }

}  // namespace

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

std::string BackupName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? path.substr(0, dot) : path;
  if (!Exists(base + ".bak")) return base + ".bak";
  for (int n = 1;; ++n) {
    std::string name = base + ".bak(" + std::to_string(n) + ")";
    if (!Exists(name)) return name;
  }
}

ReplaceRun::ReplaceRun(ResultStore& store, const CompiledWord& word, ReplaceSettings settings,
                       ReplaceFrontEnd& front_end)
    : store_(store), word_(word), settings_(settings), front_end_(front_end) {}

void ReplaceRun::Note(const std::string& text) {
  if (std::find(result_.notes.begin(), result_.notes.end(), text) == result_.notes.end()) result_.notes.push_back(text);
}

bool ReplaceRun::Load(File& file, int32_t encoding, int32_t line_end) {
  try {
    file.bytes = ReadFileBytes(file.path);
    file.text = DecodeFileText(file.bytes, TextFileFormat::FromCodes(encoding, line_end), {.check_round_trip = true});
  } catch (const std::exception&) {
    return false;  // a file that cannot be read or decoded is passed over
  }
  file.changes.clear();
  file.dirty = false;
  return true;
}

void ReplaceRun::WriteBack(File& file) {
  file.dirty = false;
  // Only lines that encode back to their own bytes may be rewritten, and
  // only with text the file's encoding can hold.
  for (const auto& [index, text] : file.changes) {
    const bool original_exact = file.text.lines[index].lossless;
    if (!original_exact || !CanEncodeLine(text, file.text.format)) {
      Note(kCannotConvertNote + PathForDisplay(file.path));
      return;
    }
  }
  if (dry_run_) {
    for (const auto& [index, text] : file.changes)
      if (text != file.text.Line(index))
        result_.changes.push_back({file.path, static_cast<int32_t>(index + 1), std::string(file.text.Line(index)), text});
    return;
  }
  const std::string bytes = RebuildFileBytes(file.bytes, file.text, file.changes);
  if (!MakeBackup(file.path, BackupName(file.path), file.bytes)) {
    Note(kNoBackupNote + PathForDisplay(file.path));
    return;
  }
  try {
    WriteFileAtomically(file.path, bytes);
  } catch (const std::system_error&) {
    Note(kWriteFailedNote + PathForDisplay(file.path));
  }
}

bool ReplaceRun::ReplaceInLine(const std::string& line, const MatchRecord& row, const std::string& path,
                               std::string& result) {
  const CompiledPattern& pattern = word_.Term(0);
  std::string rest = line;
  result.clear();
  // Moves the first count bytes of rest to result; at least one character,
  // so an empty match cannot hold the line forever.
  auto keep = [&](size_t count) {
    if (count == 0 && !rest.empty()) count = CharLength(rest, 0);
    count = std::min(count, rest.size());
    result.append(rest, 0, count);
    rest.erase(0, count);
  };
  for (;;) {
    const MatchPos m = MatchLeftmostLongest(pattern, rest, mcls_CRLF);
    if (!m) break;
    const size_t p = m.start, n = m.length;
    if (settings_.whole_word && !IsWholeWd(rest, p, n)) {
      if (rest.empty()) break;
      keep(p + n - 1);
      continue;
    }
    if (ask_) {
      const std::string question = PathForDisplay(path) + " : " + std::to_string(row.LineNo) + " [" +
                                   Cp932ToUtf8(rest.substr(p - 1, n)) + "] を置換しますか?";
      switch (front_end_.AskReplace(question)) {
        case ReplaceFrontEnd::Answer::Abort:
          result_.aborted = true;
          return false;
        case ReplaceFrontEnd::Answer::No:
          if (rest.empty()) goto done;
          keep(p + n - 1);
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
    result.append(rest, 0, p - 1);
    result += replacement_;
    rest.erase(0, p - 1 + n);
    ++result_.replaced;
    if (n == 0) {
      if (rest.empty()) break;
      keep(0);  // past the empty match
    }
  }
done:
  result += rest;
  return true;
}

ReplaceResult ReplaceRun::Run(const std::string& replacement, bool selected_only, const std::vector<size_t>& selected,
                              bool dry_run) {
  replacement_ = ApplyTabEscape(replacement);
  result_ = {};
  ask_ = !dry_run;
  dry_run_ = dry_run;
  archive_skipped_ = non_text_skipped_ = false;
  std::vector<bool> chosen(store_.size(), !selected_only);
  for (size_t i : selected)
    if (i < chosen.size()) chosen[i] = true;

  File file;
  front_end_.ShowProgress(store_.size());
  for (size_t i = 0; i < store_.size() && !result_.aborted; ++i) {
    front_end_.SetProgress(i);
    if (!chosen[i]) continue;
    MatchRecord& row = store_[i];
    const std::string& open = row.OpenPath;
    if (!open.empty() && open[0] == '@') {
      archive_skipped_ = true;
      Note(kArchiveNote + PathForDisplay(open.substr(1)));
      continue;
    }
    const std::string path = open;
    int32_t encoding = row.EncodingCode, line_end = row.LineEndCode;
    const int mode = settings_.code_cng_mode;
    const bool document = encoding == ecWord || encoding == ecExcel || encoding == ecFiltered;
    if (!document && mode != 1 && mode != 3) {
      // Not what the search detected: the file is probed again.
      encoding = ecSjis, line_end = leCrLf;
      try {
        InputFile in(FileRef::FromPath(path));
        ProbeDetails details;
        TextFileFormat f = ProbeStream(in, &details);
        encoding = SecondLook(in, f.encoding, details);
        line_end = f.line_end;
      } catch (const std::exception&) {
      }
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
    const std::string ext = UpperExt(path);
    if (!settings_.html_repl_ignore && settings_.html_tag && (ext == ".HTM" || ext == ".HTML") &&
        !front_end_.ContinueDespiteHtmlTags()) {
      // Cancel stops the run as 中止 does.
      result_.aborted = true;
      break;
    }
    front_end_.SetStatusText(PathForDisplay(path) + " : " + std::to_string(row.LineNo));
    if (file.path != path) {
      if (!file.path.empty() && file.dirty) WriteBack(file);
      file = File{};
      file.path = path;
      if (!Load(file, encoding, line_end)) {
        file = File{};
        continue;
      }
      ++result_.files;
    }
    const size_t index = static_cast<size_t>(row.LineNo) - 1;
    if (row.LineNo < 1 || index >= file.text.size()) continue;
    auto changed = file.changes.find(index);
    const std::string line = changed != file.changes.end() ? changed->second : std::string(file.text.Line(index));
    std::string replaced;
    if (!ReplaceInLine(line, row, path, replaced)) break;
    file.changes[index] = replaced;
    file.dirty = true;
    if (!dry_run) {
      row.LineText = CutAtBytes(replaced, kRowTextBytes);
      front_end_.RowChanged(i);
    }
  }
  front_end_.HideProgress();
  front_end_.EnableAbort(false);
  if (!file.path.empty() && file.dirty) WriteBack(file);

  std::string summary;
  for (const std::string& note : result_.notes) summary += note + "\r\n";
  summary += "\n\r" + std::to_string(result_.files) + " 個のファイルの " + std::to_string(result_.replaced) +
             " 個の文字を変換しました.";
  if (archive_skipped_) summary += "\n\r書庫内のファイルは置換できないためスキップしました.";
  if (non_text_skipped_) summary += "\n\rテキスト以外のファイルは置換できないためスキップしました.";
  if (result_.aborted) summary += "\r\n処理を中断しました.";
  front_end_.SetStatusText(summary);
  result_.summary = summary;
  return result_;
}

}  // namespace lorvek
