// Reading files (whole or in blocks) and writing them safely.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>
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
  // plus one byte to see the end (a file may have grown), at most limit.
  size_t NextReadSize(size_t limit) const {
    if (size_ == 0) return limit;
    const uint64_t left = size_ > offset_ ? size_ - offset_ : 0;
    return left + 1 < limit ? static_cast<size_t>(left + 1) : limit;
  }
  // Appends the rest of the file to out.
  void ReadRest(std::string& out);
  // Starts again at the first byte.
  void Rewind();

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t offset_ = 0;
};

// Reads a regular file whole (see InputFile).
std::string ReadFileBytes(const FileRef& file);
std::string ReadFileBytes(const std::string& path);

// The new content of a file, written piece by piece and put in place at
// Commit by the rules of WriteFileAtomically below; destroyed without a
// Commit, it leaves the file as it was. Raises std::system_error.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(std::string_view bytes);
  void Commit();

 private:
  std::string target_;     // the file replaced at Commit (links followed)
  std::string temporary_;  // empty when writing through
  int fd_ = -1;
  mode_t mode_ = 0;
};

// Writes bytes as the new content of path:
// - a regular file (or a new one) is replaced atomically: the bytes go to a
//   file of a unique name created in the same folder, flushed, given the old
//   file's permissions (a new file's follow the umask) and renamed over it,
//   so a crash leaves the old file or the new one, never a mix;
// - a symbolic link is followed and the file it leads to is replaced, the
//   link stays a link;
// - anything else that exists (a device such as /dev/null, a pipe, a
//   terminal) is written through, never replaced; a FIFO nobody reads and a
//   folder are refused.
// Raises std::system_error.
void WriteFileAtomically(const std::string& path, std::string_view bytes);
// Removes what writers to path left behind when they were killed before
// their rename (temporary files of processes that no longer run).
void RemoveStaleTemporaries(const std::string& path);

}  // namespace lorvek
