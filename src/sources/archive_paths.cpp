#include "sources/archive_paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "text/cp932.h"
#include "text/foreign_names.h"

namespace lorvek {
namespace {

std::string Why(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

void RemoveTree(int parent_fd, const std::string& name);

// Removes everything in the open folder dir_fd (taken and closed), never
// following links.
void RemoveEntries(int dir_fd) {
  DIR* dir = ::fdopendir(dir_fd);
  if (!dir) {
    ::close(dir_fd);
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  for (const std::string& n : names)
    if (::unlinkat(dirfd(dir), n.c_str(), 0) != 0) RemoveTree(dirfd(dir), n);
  ::closedir(dir);
}

// Removes a folder we made, with everything in it.
void RemoveTree(int parent_fd, const std::string& name) {
  const int fd = ::openat(parent_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) RemoveEntries(fd);
  ::unlinkat(parent_fd, name.c_str(), AT_REMOVEDIR);
}

}  // namespace

void RemoveFolderContents(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) RemoveEntries(fd);
}

std::string DisplayMemberName(const std::string& stored) { return NameToUtf8(stored); }

std::string SafeMemberPath(const std::string& stored) {
  std::string name = DisplayMemberName(stored);
  for (char& c : name)
    if (c == '\\') c = '/';
  // Leading separators are dropped: the name is taken below the destination.
  const size_t begin = name.find_first_not_of('/');
  if (begin == std::string::npos) return "";
  name.erase(0, begin);
  // A drive ("C:") is an absolute name still.
  if (name.size() >= 2 && name[1] == ':' && ((name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z') &&
      (name.size() == 2 || name[2] == '/'))
    return "";
  std::string out;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part == "..") return "";
    if (!part.empty() && part != ".") {
      if (part.find('\0') != std::string::npos) return "";
      if (!out.empty()) out += '/';
      out += part;
    }
    start = end + 1;
  }
  return out;
}

std::string BaseName(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  const size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string WithoutLastExtension(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

MemberWriter::MemberWriter(const std::string& dest, const ExtractLimits& limits) : dest_(dest), limits_(limits) {
  while (dest_.size() > 1 && dest_.back() == '/') dest_.pop_back();
  dest_fd_ = ::open(dest_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dest_fd_ < 0) throw EArchive(Why("展開先を開けません"));
}

MemberWriter::~MemberWriter() {
  Abandon();
  if (dest_fd_ >= 0) ::close(dest_fd_);
}

int MemberWriter::OpenParent(const std::string& relative, std::string& leaf) {
  int fd = ::dup(dest_fd_);
  size_t start = 0;
  for (;;) {
    const size_t slash = relative.find('/', start);
    if (slash == std::string::npos) break;
    const std::string part = relative.substr(start, slash - start);
    if (::mkdirat(fd, part.c_str(), 0700) != 0 && errno != EEXIST) {
      const std::string why = Why("フォルダを作れません");
      ::close(fd);
      throw EArchive(why);
    }
    const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ::close(fd);
    if (next < 0) throw EArchive(kUnsafeMemberName);  // a link or a file where a folder must be
    fd = next;
    start = slash + 1;
  }
  leaf = relative.substr(start);
  return fd;
}

void MemberWriter::Begin(const std::string& relative) {
  Abandon();
  if (relative.empty() || SafeMemberPath(relative) != relative) throw EArchive(kUnsafeMemberName);
  parent_fd_ = OpenParent(relative, leaf_);
  // A member of the same name before it, or the folder an earlier member's
  // path made there (folders stay until the archive ends).
  if (::unlinkat(parent_fd_, leaf_.c_str(), 0) != 0 && (errno == EISDIR || errno == EPERM)) RemoveTree(parent_fd_, leaf_);
  fd_ = ::openat(parent_fd_, leaf_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    const std::string why = Why("展開先に書けません");
    ::close(parent_fd_);
    parent_fd_ = -1;
    throw EArchive(why);
  }
  member_end_ = 0;
  last_file_ = dest_ + "/" + relative;
}

void MemberWriter::Count(uint64_t end) {
  if (end > limits_.member_bytes) throw EArchive(kMemberTooLarge);
  if (end > member_end_) {
    archive_total_ += end - member_end_;
    member_end_ = end;
  }
  if (archive_total_ > limits_.archive_bytes) {
    archive_limit_reached_ = true;
    throw EArchive(kArchiveTooLarge);
  }
}

void MemberWriter::Write(const void* data, size_t size, uint64_t offset) {
  Count(offset + size);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EArchive(Why("展開先に書けません"));
    p += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
}

void MemberWriter::Finish() {
  // A sparse member's last hole: the file gets its full length.
  if (::ftruncate(fd_, static_cast<off_t>(member_end_)) != 0 || ::close(fd_) != 0) {
    fd_ = -1;
    throw EArchive(Why("展開先に書けません"));
  }
  fd_ = -1;
  ::close(parent_fd_);
  parent_fd_ = -1;
}

void MemberWriter::Abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlinkat(parent_fd_, leaf_.c_str(), 0);
  }
  if (parent_fd_ >= 0) {
    ::close(parent_fd_);
    parent_fd_ = -1;
  }
}

std::string MemberWriter::MakeStagingFolder() {
  std::string name = dest_ + "/.staging-XXXXXX";
  if (!::mkdtemp(name.data())) throw EArchive(Why("展開先に書けません"));
  return name;
}

void MemberWriter::AdoptStaged(const std::string& staging, const std::string& base_name, const std::string& relative,
                               bool ok) {
  const std::string staging_name = BaseName(staging);
  struct Cleanup {
    int fd;
    std::string name;
    ~Cleanup() { RemoveTree(fd, name); }
  } cleanup{dest_fd_, staging_name};
  const int staging_fd = ::openat(dest_fd_, staging_name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (staging_fd < 0) throw EArchive(Why("展開先を開けません"));
  struct stat st {};
  const bool there = ::fstatat(staging_fd, base_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
  if (!ok || !there) {
    ::close(staging_fd);
    throw EArchive("展開できません");
  }
  try {
    Count(static_cast<uint64_t>(st.st_size));
  } catch (...) {
    ::close(staging_fd);
    throw;
  }
  std::string leaf;
  const int parent = OpenParent(relative, leaf);
  ::unlinkat(parent, leaf.c_str(), 0);
  const int r = ::renameat(staging_fd, base_name.c_str(), parent, leaf.c_str());
  ::close(parent);
  ::close(staging_fd);
  if (r != 0) throw EArchive(Why("展開先に書けません"));
  member_end_ = 0;
  last_file_ = dest_ + "/" + relative;
}

}  // namespace lorvek
