#include "text/file_bytes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

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

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
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
    path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
  }
  Fail("readlink", ELOOP);
}

// Temporary files are named "." + name + ".lorvek-" + pid + "-" + unique
// part, beside the file they will replace.
std::string TemporaryPrefix(const std::string& target) {
  size_t slash = target.find_last_of('/');
  return FolderOf(target) + "/." + target.substr(slash == std::string::npos ? 0 : slash + 1) + ".lorvek-";
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

void RemoveStaleTemporaries(const std::string& path) {
  const std::string prefix = TemporaryPrefix(path);
  const std::string folder = FolderOf(path);
  const std::string name_prefix = prefix.substr(folder.size() + 1);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.rfind(name_prefix, 0) != 0) continue;
    pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + name_prefix.size()));
    if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) unlinkat(dirfd(dir), name.c_str(), 0);
  }
  closedir(dir);
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) {
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
    return;
  }
  mode_ = exists ? (st.st_mode & 07777) : NewFileMode();
  temporary_ = TemporaryPrefix(target_) + std::to_string(getpid()) + "-XXXXXX";
  // mkostemp creates the name exclusively with mode 0600: nothing planted at
  // a predictable name can be followed.
  fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) Fail("create");
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
  if (fchmod(fd_, mode_) != 0 || fsync(fd_) != 0) Fail("sync");
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) Fail("close");
  if (rename(temporary_.c_str(), target_.c_str()) != 0) Fail("rename");
  temporary_.clear();
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFileWriter out(path);
  out.Write(bytes);
  out.Commit();
}

}  // namespace lorvek
