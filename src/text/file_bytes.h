// Reading files (whole or in blocks) and writing them safely.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lorvek {

// A file as the walk found it: the path that names it in records and
// messages, and how to open it. Deep in a tree a path can be longer than the
// system accepts, so the file is opened by its name relative to the open
// folder that holds it.
struct FileRef {
  std::string path;
  int dir_fd = AT_FDCWD;  // the folder name is relative to
  std::string name;       // the path itself when dir_fd is AT_FDCWD

  static FileRef FromPath(std::string path) { return {path, AT_FDCWD, path}; }
};

// What tells one state of a file from another: which file it is (device,
// inode) and what was last written to it (size, modification time).
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  int64_t modified_ns = 0;
  bool valid() const { return size >= 0; }
  bool SameFile(const FileStamp& o) const { return device == o.device && inode == o.inode; }
  bool operator==(const FileStamp&) const = default;
};
// The stamp of an open file, of a path (links followed); invalid when the
// file cannot be looked at.
FileStamp StampOf(int fd);
FileStamp StampOf(const std::string& path);

// A regular file open for reading. Opening never blocks (a FIFO is refused,
// not waited on). Raises std::system_error with the system's reason when the
// file cannot be opened or read, or is not a regular file.
class InputFile {
 public:
  explicit InputFile(const FileRef& file);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // The size the file system reports (0 for files such as those of /proc,
  // which still have content).
  uint64_t ReportedSize() const { return size_; }
  // Reads up to n bytes; 0 at the end.
  size_t Read(char* buffer, size_t n);
  // Bytes read since the start (or the last Rewind).
  uint64_t Offset() const { return offset_; }
  // A good size for the next read: what the reported size says is left,
  // plus one byte to see the end (a file may have grown), at most limit;
  // limit once the file is seen to have grown past that size.
  size_t NextReadSize(size_t limit) const {
    if (size_ == 0 || offset_ > size_) return limit;
    const uint64_t left = size_ > offset_ ? size_ - offset_ : 0;
    return left + 1 < limit ? static_cast<size_t>(left + 1) : limit;
  }
  // Appends the rest of the file to out.
  void ReadRest(std::string& out);
  // Starts again at the first byte.
  void Rewind();
  FileStamp Stamp() const;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t offset_ = 0;
};

// Reads a regular file whole (see InputFile). With stamp, the file's stamp
// as it was while it was read (read again when it changed meanwhile).
std::string ReadFileBytes(const FileRef& file);
std::string ReadFileBytes(const std::string& path);
std::string ReadFileBytes(const std::string& path, FileStamp* stamp);
// The rest of an open file (name is for the error). Raises std::system_error.
std::string ReadDescriptor(int fd, const std::string& name);

// A file that changed on disk after it was read: writing it would lose
// what was written meanwhile.
class FileChangedError : public std::runtime_error {
 public:
  explicit FileChangedError(const std::string& path) : std::runtime_error("file changed since it was read: " + path) {}
};

// The new content of a file, written piece by piece and put in place at
// Commit by the rules of WriteFileAtomically below; destroyed without a
// Commit, it leaves the file as it was. Raises std::system_error.
class AtomicFileWriter {
 public:
  // With expected, Commit puts nothing in place unless the file is still in
  // that state (FileChangedError).
  explicit AtomicFileWriter(const std::string& path, const FileStamp& expected = {});
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(std::string_view bytes);
  // The permissions the new file gets instead of the old one's (or the
  // umask's); not required: a file system that cannot keep them (FAT)
  // leaves them as it can.
  void SetMode(mode_t mode, bool required = true) {
    mode_ = mode;
    mode_required_ = required;
  }
  void Commit();

 private:
  std::string target_;     // the file replaced at Commit (links followed)
  std::string temporary_;  // empty when writing through
  int fd_ = -1;
  mode_t mode_ = 0;
  bool mode_required_ = true;
  FileStamp expected_;
};

// Writes bytes as the new content of path:
// - a regular file (or a new one) is replaced atomically: the bytes go to a
//   file of a short unique name created in the same folder, flushed, given
//   the old file's owner, group, permissions and extended attributes (a new
//   file's follow the umask) and renamed over it, so a crash leaves the old
//   file or the new one, never a mix; when the owner or group cannot be
//   kept, nothing is written (EPERM);
// - a symbolic link is followed and the file it leads to is replaced, the
//   link stays a link;
// - anything else that exists (a device such as /dev/null, a pipe, a
//   terminal) is written through, never replaced; a FIFO nobody reads and a
//   folder are refused.
// - with expected, a file no longer in that state is not replaced
//   (FileChangedError); writers that agree on it take turns on the file.
// Raises std::system_error.
void WriteFileAtomically(const std::string& path, std::string_view bytes, const FileStamp& expected = {});
// Removes what writers in path's folder left behind when they were killed
// before their rename (our temporary files of processes that no longer run).
void RemoveStaleTemporaries(const std::string& path);
// Whether a name in a folder is one of the writers' temporary files.
bool IsWriterTemporaryName(std::string_view name);

}  // namespace lorvek
