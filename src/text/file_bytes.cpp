#include "text/file_bytes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

#include "text/path_names.h"

namespace lorvek {
namespace {

[[noreturn]] void Fail(const char* what, int error = errno) {
  throw std::system_error(error, std::generic_category(), what);
}

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

void WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      Fail("write");
    }
    done += static_cast<size_t>(w);
  }
}

// Follows symbolic links until the path names something that is not one.
std::string ResolveLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
    ssize_t n = readlink(path.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) Fail("readlink");
    std::string target(buf.data(), static_cast<size_t>(n));
    if (target.empty()) Fail("readlink", ENOENT);
    path = target.front() == '/' ? target : FolderOfFile(path) + "/" + target;
  }
  Fail("readlink", ELOOP);
}

// Temporary files are named ".lorvek-" + pid + "-" + six characters,
// beside the file they will replace: short, so a name near the system's
// limit can still be replaced, and with the pid, so the leftovers of a
// killed writer can be told from a running one's.
constexpr char kTemporaryMark[] = ".lorvek-";
constexpr size_t kUniquePart = 6;

std::string TemporaryTemplate(const std::string& target) {
  return FolderOfFile(target) + "/" + kTemporaryMark + std::to_string(getpid()) + "-XXXXXX";
}

// The writer's pid in a temporary's name, 0 when the name is none of ours.
// Names of the older form "." + name + ".lorvek-" + pid + "-XXXXXX" count too.
pid_t TemporaryOwner(std::string_view name) {
  if (name.empty() || name[0] != '.') return 0;
  const size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string_view::npos) return 0;
  size_t i = mark + sizeof kTemporaryMark - 1;
  long long pid = 0;
  const size_t digits = i;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9' && pid <= INT_MAX) pid = pid * 10 + (name[i++] - '0');
  if (i == digits || pid <= 0 || pid > INT_MAX || i >= name.size() || name[i] != '-') return 0;
  if (name.size() - i - 1 != kUniquePart) return 0;
  return static_cast<pid_t>(pid);
}

FileStamp StampFromStat(const struct stat& st) {
  FileStamp s;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.modified_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

// Gives the new file at fd what the old one had beyond its bytes: owner and
// group (refused with EPERM when they cannot be kept, since the owner could
// lose the file), then extended attributes such as access lists (where the
// file system takes them).
void KeepOwnerAndAttributes(int fd, const std::string& old_path, const struct stat& old) {
  struct stat mine;
  if (fstat(fd, &mine) != 0) Fail("stat");
  if ((mine.st_uid != old.st_uid || mine.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0)
    Fail("chown", EPERM);
  const ssize_t list_size = listxattr(old_path.c_str(), nullptr, 0);
  if (list_size <= 0) return;
  std::string names(static_cast<size_t>(list_size), '\0');
  const ssize_t got = listxattr(old_path.c_str(), names.data(), names.size());
  if (got <= 0) return;
  names.resize(static_cast<size_t>(got));
  for (size_t at = 0; at < names.size();) {
    const std::string name = names.c_str() + at;
    at += name.size() + 1;
    const ssize_t n = getxattr(old_path.c_str(), name.c_str(), nullptr, 0);
    if (n < 0) continue;
    std::string value(static_cast<size_t>(n), '\0');
    const ssize_t v = getxattr(old_path.c_str(), name.c_str(), value.data(), value.size());
    if (v >= 0) fsetxattr(fd, name.c_str(), value.data(), static_cast<size_t>(v), 0);
  }
}

// Each folder is cleared of stale temporaries once a process.
void ClearStaleTemporariesOnce(const std::string& target) {
  static std::mutex mutex;
  static std::set<std::string> done;
  const std::string folder = FolderOfFile(target);
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!done.insert(folder).second) return;
  }
  RemoveStaleTemporaries(target);
}

mode_t NewFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

InputFile::InputFile(const FileRef& file) {
  fd_ = openat(file.dir_fd, file.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) Fail("open");
  struct stat st;
  if (fstat(fd_, &st) != 0) {
    int e = errno;
    close(fd_);
    Fail("stat", e);
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd_);
    Fail("not a regular file", S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  size_ = static_cast<uint64_t>(st.st_size);
}

InputFile::~InputFile() {
  if (fd_ >= 0) close(fd_);
}

size_t InputFile::Read(char* buffer, size_t n) {
  for (;;) {
    ssize_t r = read(fd_, buffer, n);
    if (r >= 0) {
      offset_ += static_cast<uint64_t>(r);
      return static_cast<size_t>(r);
    }
    if (errno != EINTR) Fail("read");
  }
}

void InputFile::ReadRest(std::string& out) {
  out.reserve(out.size() + static_cast<size_t>(size_));
  char buf[1 << 16];
  while (size_t r = Read(buf, sizeof buf)) out.append(buf, r);
}

FileStamp InputFile::Stamp() const { return StampOf(fd_); }

FileStamp StampOf(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? StampFromStat(st) : FileStamp{};
}

FileStamp StampOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? StampFromStat(st) : FileStamp{};
}

void InputFile::Rewind() {
  if (lseek(fd_, 0, SEEK_SET) < 0) Fail("seek");
  offset_ = 0;
}

std::string ReadFileBytes(const FileRef& file) {
  InputFile in(file);
  std::string data;
  in.ReadRest(data);
  return data;
}

std::string ReadFileBytes(const std::string& path) { return ReadFileBytes(FileRef::FromPath(path)); }

std::string ReadFileBytes(const std::string& path, FileStamp* stamp) {
  for (int attempt = 0;; ++attempt) {
    InputFile in(FileRef::FromPath(path));
    const FileStamp before = in.Stamp();
    std::string data;
    in.ReadRest(data);
    const FileStamp after = in.Stamp();
    if (before == after || attempt == 2) {
      *stamp = after;
      // Written to all the while: no state of the file matches what was read.
      if (!(before == after)) stamp->modified_ns = INT64_MIN;
      return data;
    }
  }
}

bool IsWriterTemporaryName(std::string_view name) { return TemporaryOwner(name) != 0; }

void RemoveStaleTemporaries(const std::string& path) {
  DIR* dir = opendir(FolderOfFile(path).c_str());
  if (!dir) return;
  while (dirent* e = readdir(dir)) {
    const pid_t pid = TemporaryOwner(e->d_name);
    if (pid == 0 || pid == getpid()) continue;
    struct stat st;
    // Only regular files of our own, whose writer is gone.
    if (fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())
      continue;
    if (kill(pid, 0) != 0 && errno == ESRCH) unlinkat(dirfd(dir), e->d_name, 0);
  }
  closedir(dir);
}

AtomicFileWriter::AtomicFileWriter(const std::string& path, const FileStamp& expected) : expected_(expected) {
  struct stat st;
  const bool exists = stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) Fail("write", EISDIR);
  target_ = exists && !S_ISREG(st.st_mode) ? path : ResolveLinks(path);
  // Devices, pipes and a process's own descriptors (/dev/stdout) are written
  // through, never replaced.
  if ((exists && !S_ISREG(st.st_mode)) || target_.rfind("/proc/", 0) == 0) {
    // O_NONBLOCK: a FIFO without a reader fails at once (ENXIO) instead of hanging.
    fd_ = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) Fail("open");
    int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    expected_ = {};
    return;
  }
  // The file's own permission decides, as it would for a write in place
  // (a rename needs only the folder's).
  if (exists && faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) Fail("open");
  ClearStaleTemporariesOnce(target_);
  temporary_ = TemporaryTemplate(target_);
  // mkostemp creates the name exclusively with mode 0600: nothing planted at
  // a predictable name can be followed.
  fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    temporary_.clear();
    Fail("create");
  }
  mode_ = exists ? (st.st_mode & 07777) : NewFileMode();
  if (!exists) return;
  try {
    KeepOwnerAndAttributes(fd_, target_, st);
  } catch (...) {
    close(fd_);
    unlink(temporary_.c_str());
    throw;
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) close(fd_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

void AtomicFileWriter::Write(std::string_view bytes) { WriteAll(fd_, bytes); }

void AtomicFileWriter::Commit() {
  if (temporary_.empty()) {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) Fail("close");
    return;
  }
  // After fchown, which clears the set-id bits.
  if ((fchmod(fd_, mode_) != 0 && mode_required_) || fsync(fd_) != 0) Fail("sync");
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) Fail("close");
  Fd lock{-1};
  if (expected_.valid()) {
    // Writers that expect a state lock the file they found in its place,
    // then check that it is still that file in that state: of two runs that
    // read the same state, the second finds the first one's file.
    lock.fd = open(target_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (lock.fd < 0) {
      if (errno == ENOENT) throw FileChangedError(target_);
      Fail("open");
    }
    while (flock(lock.fd, LOCK_EX) != 0)
      if (errno != EINTR) Fail("lock");
    if (!(StampOf(lock.fd) == expected_) || !StampOf(target_).SameFile(expected_)) throw FileChangedError(target_);
  }
  if (rename(temporary_.c_str(), target_.c_str()) != 0) Fail("rename");
  temporary_.clear();
}

std::string ReadDescriptor(int fd, const std::string& name) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::system_error(errno, std::generic_category(), name);
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, const FileStamp& expected) {
  AtomicFileWriter out(path, expected);
  out.Write(bytes);
  out.Commit();
}

}  // namespace lorvek
