#include "replace/replace_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <map>
#include <cstring>
#include <optional>
#include <sstream>
#include <system_error>

#include "settings/own_files.h"
#include "text/cp932.h"
#include "text/file_bytes.h"
#include "replace/backup_names.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

constexpr char kHeader[] = "LORVEK-REPLACE-JOURNAL 1";
const char kChangedSince[] = "置換後に変更されたため元に戻しません:";
const char kCannotRestore[] = "元に戻せません:";
const char kUntrusted[] = "置換の記録を信頼できないため使用しません: ";

// FNV-1a: enough to tell the run's content from a later edit.
uint64_t Digest(const std::string& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// Paths are kept as hex: any byte of a name survives a text line.
std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

bool FromHex(const std::string& hex, std::string& out) {
  if (hex.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    auto v = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    const int hi = v(hex[i]), lo = v(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi << 4 | lo);
  }
  return true;
}

struct Entry {
  std::string file, backup;
  uint64_t size = 0, digest = 0;
};

// A file the run writes: its name, its backup's, and the new content's size
// and digest (names whole and as hex).
std::string EntryLine(const std::string& file, const std::string& backup, uint64_t size, uint64_t digest) {
  return "W " + Hex(file) + " " + Hex(backup) + " " + std::to_string(size) + " " + std::to_string(digest);
}

// Relative names would mean another file when undone from another folder.
std::string Absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

// The files a journal's text says were being written.
std::vector<Entry> EntriesOf(const std::string& text) {
  std::vector<Entry> entries;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind, file_hex, backup_hex;
    Entry e;
    fields >> kind >> file_hex;
    if (kind != "W" || !(fields >> backup_hex >> e.size >> e.digest)) continue;
    if (!FromHex(file_hex, e.file) || !FromHex(backup_hex, e.backup)) continue;
    entries.push_back(e);
  }
  return entries;
}

std::string PendingJournalPath(const std::string& journal_path) { return journal_path + ".new"; }

bool HoldsWhatWasWritten(const Entry& e) {
  try {
    const std::string now = ReadFileBytes(e.file);
    return now.size() == e.size && Digest(now) == e.digest;
  } catch (const std::exception&) {
    return false;
  }
}

// A run's journal left apart (the run was killed, or wrote nothing) takes
// the last run's place when one of its files holds what it wrote, and is
// dropped otherwise. Returns the journal that is the way back now: the one in
// place, or the one apart when it could not take that place (it is kept
// then, and no new run may start over it). Called under the journal's lock.
void DropBackupIfUnused(const Entry& e);

std::string SettlePendingJournal(const std::string& journal_path) {
  const std::string pending = PendingJournalPath(journal_path);
  std::string text;
  try {
    const std::optional<std::string> read = ReadOwnFile(pending);
    if (!read) return journal_path;
    text = *read;
  } catch (const std::exception&) {
    return journal_path;  // the caller refuses what is not ours
  }
  const std::vector<Entry> entries = EntriesOf(text);
  const bool written = text.rfind(kHeader, 0) == 0 && std::any_of(entries.begin(), entries.end(), HoldsWhatWasWritten);
  if (!written) {
    // A run killed before its first file was in place: its backups are of
    // files it never changed.
    for (const Entry& e : entries) DropBackupIfUnused(e);
    unlink(pending.c_str());
    return journal_path;
  }
  return rename(pending.c_str(), journal_path.c_str()) == 0 ? journal_path : pending;
}

// A backup is read only as what the run made: a regular file, not a link,
// owned by the owner of the file it goes back into (or by us). Anyone who
// may write the file's folder could otherwise put a link at its name and
// have undo copy whatever it points at into their file.
std::string ReadBackup(const std::string& backup, const std::string& file, struct stat* read = nullptr) {
  // Only where the run puts backups: beside the file, under its stem.
  if (FolderOfFile(backup) != FolderOfFile(file) || BackupStem(FileNameOf(backup)) != FileNameOf(WithoutExtension(file)))
    throw std::runtime_error("not a backup of ours: " + backup);
  const int fd = open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), backup);
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  struct stat st, target;
  const bool fits = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                    (st.st_uid == geteuid() || (stat(file.c_str(), &target) == 0 && st.st_uid == target.st_uid));
  if (!fits) throw std::runtime_error("not a backup of ours: " + backup);
  if (read) *read = st;
  // From the descriptor checked: the name may lead elsewhere by now.
  return ReadDescriptor(fd, backup);
}

// The backup takes its file's place again by a rename, which needs no room
// on a full disk (and brings back the very file when the backup was a link
// to it), where that loses nothing of what the file is: a regular file (not
// a link, which the run wrote through) without extended attributes, the
// backup the very one checked and read, beside it on the same disk, of the
// same owner, group and permissions, with no other name.
bool RenameBack(const std::string& backup, const std::string& file, const struct stat& checked, const FileStamp& read) {
  struct stat f, b;
  if (lstat(file.c_str(), &f) != 0 || !S_ISREG(f.st_mode) || f.st_dev != read.device || f.st_ino != read.inode)
    return false;
  if (lstat(backup.c_str(), &b) != 0 || !S_ISREG(b.st_mode) || b.st_dev != checked.st_dev ||
      b.st_ino != checked.st_ino || b.st_dev != f.st_dev || b.st_nlink != 1)
    return false;
  if (b.st_uid != f.st_uid || b.st_gid != f.st_gid || (b.st_mode & 07777) != (f.st_mode & 07777)) return false;
  if (llistxattr(file.c_str(), nullptr, 0) != 0) return false;  // attributes (or no way to tell)
  return rename(backup.c_str(), file.c_str()) == 0;
}

// A backup of a file its run never wrote (killed between the two): the
// backup is a second name of the very file, or a copy of what it still
// holds, and goes, so that it is not taken for a way back later.
void DropUnusedBackup(const std::string& backup, const struct stat& checked) {
  struct stat b;
  if (lstat(backup.c_str(), &b) != 0 || b.st_dev != checked.st_dev || b.st_ino != checked.st_ino) return;
  unlink(backup.c_str());
}

// The same for an entry whose file holds no more than its backup.
void DropBackupIfUnused(const Entry& e) {
  try {
    struct stat checked {};
    if (ReadFileBytes(e.file) == ReadBackup(e.backup, e.file, &checked)) DropUnusedBackup(e.backup, checked);
  } catch (const std::exception&) {
  }
}

// Held while a run writes its journal and while undo reads it, so that two
// runs at once do not interleave their entries and undo never takes a
// journal a run is still writing: a second run waits for the first. A lock
// file that is not ours (a link, a folder, another user's file) would lock
// nothing, or lock out our runs: it is refused (UntrustedFileError).
class JournalLock {
 public:
  explicit JournalLock(const std::string& journal_path) {
    const std::string path = journal_path + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd_ < 0) {
      const int error = errno;
      if (error == ELOOP || error == EISDIR || error == ENXIO) throw UntrustedFileError(path, "通常のファイルではありません");
      throw std::system_error(error, std::generic_category(), path);  // no folder, no room, read-only
    }
    if (std::string why = OwnFileDistrust(fd_); !why.empty()) {
      close(fd_);
      throw UntrustedFileError(path, why);
    }
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~JournalLock() { close(fd_); }
  JournalLock(const JournalLock&) = delete;
  JournalLock& operator=(const JournalLock&) = delete;

 private:
  int fd_ = -1;
};

// Raises UntrustedFileError unless the journal's folder and every file of
// it are the running user's alone.
void TrustJournalFiles(const std::string& journal_path) {
  const std::string folder = FolderOfFile(journal_path);
  if (std::string why = OwnFolderDistrust(folder); !why.empty()) throw UntrustedFileError(folder, why);
  for (const std::string& path : {journal_path, PendingJournalPath(journal_path), journal_path + ".lock"})
    if (std::string why = OwnFileDistrust(path); !why.empty()) throw UntrustedFileError(path, why);
}

int SyncJournal(int fd) {
  g_journal_syncs_for_testing.fetch_add(1);
  return fsync(fd);
}

// Writes text whole and flushes it; 0, or the reason it could not (a short
// write is a full disk).
int WriteAndSync(int fd, const std::string& text) {
  ssize_t w;
  do w = write(fd, text.data(), text.size());
  while (w < 0 && errno == EINTR);
  if (w < 0) return errno;
  if (static_cast<size_t>(w) != text.size()) return ENOSPC;
  return SyncJournal(fd) == 0 ? 0 : errno;
}

}  // namespace

std::atomic<int> g_journal_syncs_for_testing{0};

ReplaceJournal::ReplaceJournal(std::string path) : path_(std::move(path)) {}
ReplaceJournal::~ReplaceJournal() = default;

std::string ReplaceJournalPath(const std::string& program_folder) {
  std::string folder = program_folder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + "replace.journal";
}

void ReplaceJournal::Append(const std::string& line) {
  const std::string target = in_place_ ? path_ : PendingJournalPath(path_);
  const int fd = open(target.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "journal");
  const std::string text = line + "\n";
  // On disk before the file it names is touched: a crash then still finds it.
  const int error = WriteAndSync(fd, text);
  close(fd);
  if (error) throw std::system_error(error, std::generic_category(), "journal");
}

void ReplaceJournal::Start() {
  auto fail = [&](const std::string& reason) { throw JournalStartError(reason); };
  std::unique_ptr<JournalLockHolder> lock;
  try {
    TrustJournalFiles(path_);
    lock = std::make_unique<JournalLockHolder>(path_);
    TrustJournalFiles(path_);  // as it is now that no run of ours changes it
  } catch (const UntrustedFileError& e) {
    fail(PathForDisplay(e.Path()) + " (" + e.Reason() + ")");
  } catch (const std::system_error& e) {
    fail(PathForDisplay(path_ + ".lock") + " (" + std::strerror(e.code().value()) + ")");
  }
  // A run before whose journal could not take its place is still the way
  // back: no file is written that could not be undone.
  if (SettlePendingJournal(path_) != path_)
    fail(PathForDisplay(PendingJournalPath(path_)) + " (前回の置換の記録が元に戻されていません)");
  const std::string pending = PendingJournalPath(path_);
  const int fd = open(pending.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
  if (fd < 0) fail(PathForDisplay(pending) + " (" + std::strerror(errno) + ")");
  const int error = WriteAndSync(fd, std::string(kHeader) + "\n");
  close(fd);
  if (error) {
    unlink(pending.c_str());
    fail(PathForDisplay(pending) + " (" + std::strerror(error) + ")");
  }
  lock_ = std::move(lock);
  started_ = true;
  in_place_ = false;
}

void ReplaceJournal::Writing(const std::string& file, const std::string& backup, const std::string& new_bytes) {
  if (!started_) Start();
  Append(EntryLine(Absolute(file), Absolute(backup), new_bytes.size(), Digest(new_bytes)));
}

void ReplaceJournal::Written(const std::string& file) {
  Append("D " + Hex(Absolute(file)));
  if (in_place_) return;
  // A file of this run is changed: the run before can no longer be undone.
  if (rename(PendingJournalPath(path_).c_str(), path_.c_str()) != 0)
    throw std::system_error(errno, std::generic_category(), "journal");
  in_place_ = true;
}

struct ReplaceJournal::JournalLockHolder {
  explicit JournalLockHolder(const std::string& path) : lock(path) {}
  JournalLock lock;
};

void ReplaceJournal::End() {
  // Nothing of the run reached its file: the last run's undo stays.
  if (started_ && !in_place_) SettlePendingJournal(path_);
  lock_.reset();
  started_ = false;
  in_place_ = false;
}

bool HasReplaceJournal(const std::string& journal_path) {
  const std::string pending = PendingJournalPath(journal_path);
  try {
    TrustJournalFiles(journal_path);
  } catch (const UntrustedFileError&) {
    // Something not ours stands there: undo is offered, and refuses it by name.
    return EntryExists(journal_path) || EntryExists(pending);
  }
  auto has_header = [](const std::string& path, std::string* text) {
    try {
      const std::optional<std::string> read = ReadOwnFile(path);
      *text = read.value_or("");
      return text->rfind(kHeader, 0) == 0;
    } catch (const std::exception&) {
      return false;
    }
  };
  std::string text;
  if (has_header(journal_path, &text)) return true;
  // A killed run's journal, still apart, counts once a file holds its text.
  if (!has_header(pending, &text)) return false;
  const std::vector<Entry> entries = EntriesOf(text);
  return std::any_of(entries.begin(), entries.end(), HoldsWhatWasWritten);
}

UndoResult UndoLastReplace(const std::string& journal_path) {
  UndoResult r;
  std::unique_ptr<JournalLock> lock;
  try {
    TrustJournalFiles(journal_path);
    lock = std::make_unique<JournalLock>(journal_path);
    TrustJournalFiles(journal_path);
  } catch (const UntrustedFileError& e) {
    r.refused = true;
    r.report = kUntrusted + PathForDisplay(e.Path()) + " (" + e.Reason() + ")";
    return r;
  } catch (const std::system_error& e) {
    // No folder is no journal; any other reason is said.
    if (e.code().value() == ENOENT) {
      r.nothing = true;
      r.report = "元に戻す置換はありません.";
    } else {
      r.refused = true;
      r.report = "置換の記録を読めません: " + PathForDisplay(journal_path) + " (" + std::strerror(e.code().value()) + ")";
    }
    return r;
  }
  const std::string live = SettlePendingJournal(journal_path);
  std::string text;
  try {
    text = ReadOwnFile(live).value_or("");
  } catch (const std::exception&) {
  }
  if (text.rfind(kHeader, 0) != 0) {
    r.nothing = true;
    r.report = "元に戻す置換はありません.";
    return r;
  }
  // The last entry of each file counts (a file written twice in a run
  // comes back from its first backup through the second's).
  const std::vector<Entry> entries = EntriesOf(text);
  // Undone last to first, so a file written twice ends with its oldest text.
  std::vector<Entry> kept;  // could not be restored now: still to undo
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    const Entry& e = *it;
    std::string now, old;
    FileStamp read;  // the file as read: only that file in that state is written back
    try {
      now = ReadFileBytes(e.file, &read);
    } catch (const std::exception&) {
      r.left.push_back(kChangedSince + PathForDisplay(e.file));
      continue;
    }
    if (now.size() != e.size || Digest(now) != e.digest) {
      // Not what the run wrote: changed since, or never written (a run
      // killed before this file's new content was in place, a write that
      // failed and took its backup away).
      try {
        struct stat unused {};
        if (now == ReadBackup(e.backup, e.file, &unused)) {
          DropUnusedBackup(e.backup, unused);
          continue;
        }
      } catch (const std::exception&) {
        continue;
      }
      r.left.push_back(kChangedSince + PathForDisplay(e.file));
      continue;
    }
    try {
      struct stat checked {};
      old = ReadBackup(e.backup, e.file, &checked);
      if (!RenameBack(e.backup, e.file, checked, read)) {
        // Through a link only to the file read and checked above: one put
        // at its name since (a link to a file of root's) is not written.
        WriteFileAtomically(e.file, old, read);
        unlink(e.backup.c_str());
      }
      ++r.restored;
    } catch (const std::exception&) {
      r.failed.push_back(kCannotRestore + PathForDisplay(e.file));
      kept.insert(kept.begin(), e);
    }
  }
  // What failed (a full disk, say) may be undone later; the rest is done.
  if (kept.empty()) {
    unlink(live.c_str());
  } else {
    std::string rest = std::string(kHeader) + "\n";
    for (const Entry& e : kept)
      rest += EntryLine(e.file, e.backup, e.size, e.digest) + "\n";
    try {
      WriteOwnFile(live, rest);
    } catch (const std::exception&) {
    }
  }
  for (const std::string& note : r.left) r.report += note + "\n";
  for (const std::string& note : r.failed) r.report += note + "\n";
  r.report += std::to_string(r.restored) + " 個のファイルを元に戻しました.";
  return r;
}

}  // namespace lorvek
